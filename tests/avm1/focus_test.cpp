// The keyboard focus as scripts see it: Selection and its listeners, the focus leaving with
// the object that had it.

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"

using namespace avm1test;

namespace {

// path.member = function (a, b) { trace(traced) }, traced being a string or, with "$a"/"$b",
// that argument.
[[maybe_unused]] void handler(ActionWriter& a, const char* path, const char* member,
                              const char* traced) {
    ActionWriter body;
    const std::string_view t(traced);
    if (t == "$a" || t == "$b")
        push(body, {t == "$a" ? "a" : "b"}).getVariable().trace();
    else
        push(body, {traced}).trace();
    push(a, {path}).getVariable();
    push(a, {member});
    defineFunction(a, "", {"a", "b"}, body);
    a.op(op::SetMember);
}

void setMember(ActionWriter& a, const char* path, const char* member, P value) {
    push(a, {path}).getVariable();
    push(a, {member, value}).op(op::SetMember);
}

// obj.method(arg) with its result dropped.
void call1(ActionWriter& a, const char* obj, const char* method, P value) {
    push(a, {value, 1, obj}).getVariable();
    push(a, {method}).op(op::CallMethod).op(op::Pop);
}

// obj.method() with its result dropped.
void call0(ActionWriter& a, const char* obj, const char* method) {
    push(a, {0, obj}).getVariable();
    push(a, {method}).op(op::CallMethod).op(op::Pop);
}

// Selection.addListener(l) with l.onSetFocus tracing the old focus, then the new one.
void traceFocusChange(ActionWriter& a) {
    push(a, {"l", 0}).op(op::InitObject).setVariable();
    ActionWriter body;
    push(body, {"a"}).getVariable();
    push(body, {" -> "}).op(op::Add2);
    push(body, {"b"}).getVariable().op(op::Add2).trace();
    push(a, {"l"}).getVariable();
    push(a, {"onSetFocus"});
    defineFunction(a, "", {"a", "b"}, body);
    a.op(op::SetMember);
    push(a, {"l"}).getVariable();
    push(a, {1, "Selection"}).getVariable();
    push(a, {"addListener"}).op(op::CallMethod).op(op::Pop);
}

// trace(Selection.getFocus())
void traceGetFocus(ActionWriter& a) {
    push(a, {0, "Selection"}).getVariable();
    push(a, {"getFocus"}).op(op::CallMethod).trace();
}

// _root.createEmptyMovieClip(name, depth)
void emptyClip(ActionWriter& a, const char* name, int depth) {
    push(a, {depth, name, 2, "_root"}).getVariable();
    push(a, {"createEmptyMovieClip"}).op(op::CallMethod).op(op::Pop);
}

std::string runScript(ActionWriter& a) {
    swftest::SwfBuilder b(6, 200, 100);
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    return r->take();
}

}  // namespace

TEST(Avm1Focus, RemovedClipTakesTheFocusAlong) {
    ActionWriter a;
    traceFocusChange(a);
    emptyClip(a, "box", 1);
    emptyClip(a, "inner", 2);
    setMember(a, "box", "focusEnabled", true);
    call1(a, "Selection", "setFocus", "box");
    call0(a, "box", "removeMovieClip");
    traceGetFocus(a);
    // Another clip's leaving does not touch the focus.
    setMember(a, "inner", "focusEnabled", true);
    call1(a, "Selection", "setFocus", "inner");
    emptyClip(a, "other", 3);
    call0(a, "other", "removeMovieClip");
    traceGetFocus(a);
    EXPECT_EQ(runScript(a),
              "null -> _level0.box\n_level0.box -> null\nnull\nnull -> _level0.inner\n"
              "_level0.inner\n");
}

TEST(Avm1Focus, HiddenClipLosesTheFocusOnce) {
    ActionWriter a;
    traceFocusChange(a);
    emptyClip(a, "box", 1);
    setMember(a, "box", "focusEnabled", true);
    call1(a, "Selection", "setFocus", "box");
    setMember(a, "box", "_visible", false);
    traceGetFocus(a);
    // Showing it again does not give it back, and hiding it again says nothing.
    setMember(a, "box", "_visible", true);
    setMember(a, "box", "_visible", false);
    traceGetFocus(a);
    EXPECT_EQ(runScript(a), "null -> _level0.box\n_level0.box -> null\nnull\nnull\n");
}
