#pragma once
// Drives action lists through the VM with a recording host and a one-timeline stage, and
// assembles the actions the tests need on top of swftest::ActionWriter.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/avm1/host.h"
#include "engine/avm1/vm.h"
#include "tests/support/swf_writer.h"

namespace avm1test {

using swftest::ActionWriter;

// A value for push(): a string, a number (double), an int, a bool, null, undefined, register.
struct P {
    enum Kind { Str, Dbl, Int, Bool, Null, Undef, Reg } kind;
    std::string s;
    double d = 0;
    int i = 0;
    P(const char* v) : kind(Str), s(v) {}
    P(std::string v) : kind(Str), s(std::move(v)) {}
    P(double v) : kind(Dbl), d(v) {}
    P(int v) : kind(Int), i(v) {}
    P(bool v) : kind(Bool), i(v) {}
    static P null() { return P(Null); }
    static P undef() { return P(Undef); }
    static P reg(int r) {
        P p(Reg);
        p.i = r;
        return p;
    }

private:
    explicit P(Kind k) : kind(k) {}
};

inline void putString(std::vector<uint8_t>& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

inline void putU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

// One Push action holding every value.
inline ActionWriter& push(ActionWriter& a, std::initializer_list<P> values) {
    std::vector<uint8_t> b;
    for (const P& p : values) {
        switch (p.kind) {
            case P::Str:
                b.push_back(0);
                putString(b, p.s);
                break;
            case P::Dbl: {
                uint64_t bits;
                std::memcpy(&bits, &p.d, 8);
                b.push_back(6);
                for (uint32_t half :
                     {static_cast<uint32_t>(bits >> 32), static_cast<uint32_t>(bits)})
                    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(half >> (8 * k)));
                break;
            }
            case P::Int:
                b.push_back(7);
                for (int k = 0; k < 4; ++k)
                    b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(p.i) >> (8 * k)));
                break;
            case P::Bool:
                b.push_back(5);
                b.push_back(static_cast<uint8_t>(p.i));
                break;
            case P::Null:
                b.push_back(2);
                break;
            case P::Undef:
                b.push_back(3);
                break;
            case P::Reg:
                b.push_back(4);
                b.push_back(static_cast<uint8_t>(p.i));
                break;
        }
    }
    return a.op(0x96, b);
}

// Action codes by name, for readable scripts.
namespace op {
constexpr uint8_t Add2 = 0x47, Sub = 0x0b, Mul = 0x0c, Div = 0x0d, Less2 = 0x48, Equals2 = 0x49,
                  StrictEquals = 0x66, GetMember = 0x4e, SetMember = 0x4f, CallFunction = 0x3d,
                  CallMethod = 0x52, NewObject = 0x40, InitArray = 0x42, InitObject = 0x43,
                  Return = 0x3e, DefineLocal = 0x3c, Throw = 0x2a, TypeOf = 0x44, Enumerate2 = 0x55,
                  Increment = 0x50, Not = 0x12, Pop = 0x17, Dup = 0x4c;
}

// DefineFunction: name ("" leaves it on the stack), parameter names, body.
inline ActionWriter& defineFunction(ActionWriter& a, std::string_view name,
                                    std::vector<std::string> params, const ActionWriter& body) {
    std::vector<uint8_t> b;
    putString(b, name);
    putU16(b, static_cast<uint16_t>(params.size()));
    for (auto& p : params) putString(b, p);
    putU16(b, static_cast<uint16_t>(body.bytes().size()));
    a.op(0x9b, b);
    for (uint8_t x : body.bytes()) a.op(x);  // the body follows the action
    return a;
}

// DefineFunction2 with parameters in registers (reg, name) and the given flags.
inline ActionWriter& defineFunction2(ActionWriter& a, std::string_view name, uint8_t regs,
                                     uint16_t flags,
                                     std::vector<std::pair<int, std::string>> params,
                                     const ActionWriter& body) {
    std::vector<uint8_t> b;
    putString(b, name);
    putU16(b, static_cast<uint16_t>(params.size()));
    b.push_back(regs);
    putU16(b, flags);
    for (auto& [r, n] : params) {
        b.push_back(static_cast<uint8_t>(r));
        putString(b, n);
    }
    putU16(b, static_cast<uint16_t>(body.bytes().size()));
    a.op(0x8e, b);
    for (uint8_t x : body.bytes()) a.op(x);
    return a;
}

// Runs action lists on one timeline and keeps the trace.
class Stage : public swf::avm1::VmHost, public swf::avm1::ClipHost {
public:
    explicit Stage(int version = 8, swf::avm1::VmLimits limits = {}) : vm(version, *this, limits) {
        vm.setRoot(this);
    }
    std::vector<std::string> lines;
    std::vector<std::string> logs;
    int frame = 0, total = 10;
    bool playing = true;

    std::string run(const ActionWriter& a) {
        lines.clear();
        std::vector<uint8_t> code = a.bytes();
        code.push_back(0);
        codes.push_back(std::move(code));  // functions keep pointing into it
        vm.runActions(codes.back(), this);
        std::string out;
        for (auto& l : lines) out += l + "\n";
        return out;
    }

    void trace(std::string_view l) override { lines.emplace_back(l); }
    void log(std::string_view l) override { logs.emplace_back(l); }
    int currentFrame() const override { return frame; }
    int totalFrames() const override { return total; }
    bool isPlaying() const override { return playing; }
    void play() override { playing = true; }
    void stop() override { playing = false; }
    void gotoFrame(int f, bool p) override {
        frame = f;
        playing = p;
    }
    std::optional<int> labelFrame(std::string_view l) const override {
        if (l == "end") return total - 1;
        return std::nullopt;
    }
    std::string name() const override { return {}; }

    swf::avm1::Vm vm;

private:
    std::vector<std::vector<uint8_t>> codes;
};

// `trace(expression)` where the expression is already on the stack.
inline ActionWriter& tr(ActionWriter& a) { return a.trace(); }

// path.member = value
inline ActionWriter& setMember(ActionWriter& a, const char* path, const char* member, P value) {
    push(a, {path}).getVariable();
    return push(a, {member, value}).op(op::SetMember);
}

// obj.method(arg) with its result dropped.
inline void call1(ActionWriter& a, const char* obj, const char* method, P value) {
    push(a, {value, 1, obj}).getVariable();
    push(a, {method}).op(op::CallMethod).op(op::Pop);
}

}  // namespace avm1test
