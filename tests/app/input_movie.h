#pragma once
// A movie whose stage is one input text field, bound to the variable v and focused: every change
// traces "v=" and the text, every key traces "code " and Key.getCode().

#include <QByteArray>

#include "tests/avm1/avm1_fixture.h"

namespace testmovies {

inline QByteArray inputFieldMovie() {
    using namespace avm1test;
    swftest::SwfBuilder b(6, 300, 100);
    ActionWriter a;
    push(a, {100, 300, 0, 0, 1, "t", 6, "this"}).getVariable();  // the whole stage
    push(a, {"createTextField"}).op(op::CallMethod).op(op::Pop);
    setMember(a, "t", "type", "input");
    setMember(a, "t", "variable", "v");
    setMember(a, "t", "border", true);
    ActionWriter changed;
    push(changed, {"v="}).pushString("v").getVariable().op(op::Add2).trace();
    push(a, {"t"}).getVariable();
    push(a, {"onChanged"});
    defineFunction(a, "", {}, changed);
    a.op(op::SetMember);
    ActionWriter key;
    push(key, {"code "});
    push(key, {0, "Key"}).getVariable();
    push(key, {"getCode"}).op(op::CallMethod).op(op::Add2).trace();
    push(a, {"onKeyDown"});
    defineFunction(a, "", {}, key);
    a.setVariable();
    push(a, {"this"}).getVariable();
    push(a, {1, "Key"}).getVariable();
    push(a, {"addListener"}).op(op::CallMethod).op(op::Pop);
    call1(a, "Selection", "setFocus", "t");
    a.stop();
    b.doAction(a);
    b.showFrame();
    const auto bytes = b.bytes();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace testmovies
