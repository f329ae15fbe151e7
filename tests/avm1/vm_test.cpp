// The interpreter: values and conversions per SWF version, operators, variables, functions,
// exceptions, enumeration, and the bounds on hostile scripts.

#include <chrono>
#include <cmath>
#include <limits>

#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"

using namespace avm1test;
using swf::avm1::numberToString;

TEST(Avm1Values, NumbersPrintAsFlashPrintsThem) {
    EXPECT_EQ(numberToString(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberToString(1e21), "1e+21");
    EXPECT_EQ(numberToString(1e15), "1e+15");
    EXPECT_EQ(numberToString(123456789012345.0), "123456789012345");
    EXPECT_EQ(numberToString(0.0001), "0.0001");
    EXPECT_EQ(numberToString(0.00001), "0.00001");  // decimals down to the fifth place
    EXPECT_EQ(numberToString(0.0000152587890625), "0.0000152587890625");
    EXPECT_EQ(numberToString(7.62939453125e-6), "7.62939453125e-6");
    EXPECT_EQ(numberToString(4096.000244140625), "4096.00024414063");  // a tie rounds up
    EXPECT_EQ(numberToString(-1.0000305175781250), "-1.00003051757813");
    EXPECT_EQ(numberToString(9.9999999999999995), "10");
    EXPECT_EQ(numberToString(-0.0), "0");
    EXPECT_EQ(numberToString(-2.5), "-2.5");
    EXPECT_EQ(numberToString(1.0 / 3), "0.333333333333333");
    // Near a tie the player's scaling decides, not the exact expansion.
    EXPECT_EQ(numberToString(1.7976931348623157e308), "1.79769313486231e+308");
    EXPECT_EQ(numberToString(1.234567891234565e-6), "1.23456789123457e-6");
    EXPECT_EQ(numberToString(0.9999999999999994), "0.999999999999999");
    EXPECT_EQ(numberToString(5e-324), "4.94065645841247e-324");
    EXPECT_EQ(numberToString(1.234567891234565e-308), "1.23456789123457e-308");
    EXPECT_EQ(numberToString(std::ldexp(1.0, -30)), "9.31322574615479e-10");
    EXPECT_EQ(numberToString(std::nan("")), "NaN");
    EXPECT_EQ(numberToString(-INFINITY), "-Infinity");
}

TEST(Avm1Values, StringsToNumbersFollowTheVersion) {
    using swf::avm1::stringToNumber;
    EXPECT_EQ(stringToNumber("0x10", 6), 16);
    EXPECT_TRUE(std::isnan(stringToNumber("0x10", 5)));
    EXPECT_EQ(stringToNumber("010", 6), 8);
    EXPECT_EQ(stringToNumber("010", 5), 10);
    EXPECT_EQ(stringToNumber(" 010", 6), 10);  // white space first: decimal
    EXPECT_EQ(stringToNumber("0xFFFFFFFF", 7), -1);
    EXPECT_TRUE(std::isnan(stringToNumber(" 0x10", 6)));  // hex only from the first character
    EXPECT_TRUE(std::isnan(stringToNumber("-0x10", 6)));
    EXPECT_EQ(stringToNumber("0x-10", 6), -16);
    EXPECT_TRUE(std::isnan(stringToNumber("12 ", 7)));
    EXPECT_EQ(stringToNumber("-56e+", 7), -56);  // an exponent mark without digits
    EXPECT_TRUE(std::isnan(stringToNumber("-56eu", 7)));
    EXPECT_TRUE(std::isnan(stringToNumber("", 7)));
    EXPECT_EQ(swf::avm1::stringToNumberSwf4("150a"), 150);
    EXPECT_EQ(swf::avm1::stringToNumberSwf4("ab"), 0);
}

TEST(Avm1Values, UndefinedIsEmptyBeforeSeven) {
    ActionWriter a;
    push(a, {"[", P::undef()}).add2();
    push(a, {"]"}).add2().trace();
    push(a, {P::undef()}).trace();  // trace itself always names it
    Stage six(6), seven(7);
    EXPECT_EQ(six.run(a), "[]\nundefined\n");
    EXPECT_EQ(seven.run(a), "[undefined]\nundefined\n");
}

TEST(Avm1Values, NamesAreCaseInsensitiveBeforeSeven) {
    ActionWriter a;
    push(a, {"Foo", 1}).setVariable();
    push(a, {"foo"}).getVariable().trace();
    Stage six(6), seven(7);
    EXPECT_EQ(six.run(a), "1\n");
    EXPECT_EQ(seven.run(a), "undefined\n");
}

TEST(Avm1Operators, AddComparesAndEquality) {
    ActionWriter a;
    push(a, {300, "150"}).add2().trace();            // string wins: "300150"
    push(a, {300, 150.5}).add2().trace();            // 450.5
    push(a, {"10", "9"}).op(op::Less2).trace();      // string compare: true
    push(a, {10, 9}).op(op::Less2).trace();          // false
    push(a, {1, "1"}).op(op::Equals2).trace();       // true
    push(a, {1, "1"}).op(op::StrictEquals).trace();  // false
    push(a, {P::null(), P::undef()}).op(op::Equals2).trace();
    push(a, {std::nan(""), 1}).op(op::Less2).trace();  // undefined
    push(a, {7, 2}).op(0x3f).trace();                  // modulo 1
    push(a, {-1, 28}).op(0x65).trace();                // unsigned shift: 15
    push(a, {"030e12"}).op(0x18).trace();              // int() wraps to 32 bits: -346562560
    push(a, {-2.5}).op(0x18).trace();                  // and truncates: -2
    Stage s(8);
    EXPECT_EQ(s.run(a),
              "300150\n450.5\ntrue\nfalse\ntrue\nfalse\ntrue\nundefined\n1\n15\n-346562560\n-2\n");
}

TEST(Avm1Operators, Swf4OpsAnswerWithNumbers) {
    ActionWriter a;
    push(a, {1, 1}).op(0x0e).trace();           // Equals
    push(a, {"ab", "c"}).op(0x21).trace();      // StringAdd
    push(a, {"hello", 2, 3}).op(0x15).trace();  // StringExtract: "ell"
    push(a, {5, 0}).op(op::Div).trace();
    Stage s(4);
    EXPECT_EQ(s.run(a), "1\nabc\nell\n#ERROR#\n");
}

// An object whose valueOf traces `name` and answers `value`, stored in variable `var`.
static void tracingObject(ActionWriter& a, const char* var, const char* name, int value) {
    ActionWriter body;
    push(body, {name}).trace();
    push(body, {value}).op(op::Return);
    push(a, {var, "valueOf"});
    defineFunction(a, "", {}, body);
    push(a, {1}).op(op::InitObject).setVariable();
}

TEST(Avm1Operators, ObjectsConvertAsFlashConvertsThem) {
    ActionWriter a;
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    push(a, {1}).add2().trace();  // valueOf gives the object itself: no number
    push(a, {"o"}).getVariable();
    push(a, {"s"}).add2().trace();  // beside text it is its toString()
    push(a, {"o"}).getVariable();
    push(a, {1}).op(op::Less2).trace();  // valueOf gave an object: false, not undefined
    push(a, {"_global"}).getVariable();
    push(a, {1}).op(op::Less2).trace();  // no valueOf: undefined, 0 before SWF 7
    // toString() giving no text leaves the type name
    ActionWriter four;
    push(four, {4}).op(op::Return);
    push(a, {"t", "toString"});
    defineFunction(a, "", {}, four);
    push(a, {1}).op(op::InitObject).setVariable();
    push(a, {"<"});
    push(a, {"t"}).getVariable().add2().trace();
    // SWF 4 arithmetic converts in its own order per action
    tracingObject(a, "l", "L", 5);
    tracingObject(a, "r", "R", 2);
    for (uint8_t code : {op::Sub, op::Mul}) {
        push(a, {"l"}).getVariable();
        push(a, {"r"}).getVariable().op(code).trace();
    }
    Stage six(6), seven(7);
    const std::string tail = "<[type Object]\nR\nL\n3\nL\nR\n10\n";
    EXPECT_EQ(six.run(a), "NaN\n[object Object]s\nfalse\ntrue\n" + tail);
    EXPECT_EQ(seven.run(a), "NaN\n[object Object]s\nfalse\nundefined\n" + tail);
}

// The order and kind of conversions, per version: which valueOf() runs, when, and what it
// makes of the result.
TEST(Avm1Operators, ConversionsAskValueOfInThePlayersOrder) {
    ActionWriter a;
    tracingObject(a, "l", "L", 5);
    tracingObject(a, "r", "R", 2);
    tracingObject(a, "m", "M", 5);
    push(a, {"l"}).getVariable();
    push(a, {"r"}).getVariable().add2().trace();  // the right one first
    push(a, {"l"}).getVariable();
    push(a, {"m"}).getVariable().op(op::Equals2).trace();  // SWF 5: by numbers
    // A String object is its text, whatever toString() it was given.
    push(a, {"s", "in", 1, "String"}).op(op::NewObject).setVariable();
    ActionWriter other;
    push(other, {"other"}).op(op::Return);
    push(a, {"s"}).getVariable();
    push(a, {"toString"});
    defineFunction(a, "", {}, other);
    a.op(op::SetMember);
    push(a, {""});
    push(a, {"s"}).getVariable().add2().trace();
    push(a, {std::nan(""), std::nan("")}).op(op::Equals2).trace();  // NaNs of one type
    push(a, {"", "a"}).op(op::Less2).trace();                       // an empty text sorts last
    push(a, {"a", ""}).op(op::Less2).trace();
    Stage five(5), six(6), seven(7);
    EXPECT_EQ(five.run(a), "R\nL\n7\nM\nL\ntrue\nin\ntrue\nfalse\ntrue\n");
    EXPECT_EQ(six.run(a), "R\nL\n7\nfalse\nin\ntrue\nfalse\ntrue\n");
    EXPECT_EQ(seven.run(a), "R\nL\n7\nfalse\nin\ntrue\nfalse\ntrue\n");
}

TEST(Avm1Operators, StringActionsCountUtf16Units) {
    ActionWriter a;
    const char* s =
        "\xf0\x9f\x98\x8b"
        "ab";                                        // one character beyond the BMP, then "ab"
    push(a, {s}).op(0x14).trace();                   // StringLength: 4
    push(a, {s, 1, 2}).op(0x15).trace();             // StringExtract of the pair
    push(a, {s, 4294967299.0, 1}).op(0x15).trace();  // index 3 after wrapping: "a"
    push(a, {s}).op(0x32).trace();                   // ord of a lone surrogate: U+FFFD
    push(a, {0xd801}).op(0x33).op(0x14).trace();     // chr of a surrogate: one unit
    Stage s6(6);
    EXPECT_EQ(s6.run(a), "4\n\xf0\x9f\x98\x8b\na\n65533\n1\n");
}

// chr, mbchr and String.fromCharCode: a byte before SWF 6, a UTF-16 unit after; a lone
// surrogate prints as its own three bytes, and a zero code makes nothing.
TEST(Avm1Operators, CharactersFromCodesFollowTheVersion) {
    struct Case {
        int version;
        double code;
        std::string want, mb, from;  // chr, mbchr, fromCharCode
    } cases[] = {
        {5, 300, ",", "\x01,", "\x01,"},
        {5, 265, "\t", "\x01\t", "\x01\t"},
        {5, 256, "", "\x01", "\x01"},
        // A zero byte ends the text; fromCharCode reads only the low 16 bits.
        {5, 0x6400, "", "d", "d"},
        {5, 0x10040, "@", "", "@"},
        {6, 300, "\xc4\xac", "\xc4\xac", "\xc4\xac"},
        {6, 65536 + 65, "A", "A", "A"},
        {6, 0xd800, "\xed\xa0\x80", "\xed\xa0\x80", "\xed\xa0\x80"},
        {7, 0xdc01, "\xed\xb0\x81", "\xed\xb0\x81", "\xed\xb0\x81"},
    };
    for (const Case& k : cases) {
        ActionWriter a;
        push(a, {k.code}).op(0x33).trace();
        push(a, {k.code}).op(0x37).trace();
        push(a, {k.code, 1, "String"}).getVariable();
        push(a, {"fromCharCode"}).op(op::CallMethod).trace();
        Stage st(k.version);
        EXPECT_EQ(st.run(a), k.want + "\n" + k.mb + "\n" + k.from + "\n")
            << "SWF " << k.version << " code " << k.code;
    }
}

TEST(Avm1Functions, ClosuresArgumentsAndReturn) {
    // function mk(n) { return function(x) { return x + n; } }  trace(mk(10)(5))
    ActionWriter inner;
    push(inner, {"x"}).getVariable();
    push(inner, {"n"}).getVariable().add2().op(op::Return);
    ActionWriter outer;
    defineFunction(outer, "", {"x"}, inner).op(op::Return);
    ActionWriter a;
    defineFunction(a, "mk", {"n"}, outer);
    push(a, {10, 1, "mk"}).op(op::CallFunction);
    push(a, {"f"}).op(op::StrictEquals);  // keep the stack shape simple: compare and drop
    a.pop();
    push(a, {"add10", 10, 1, "mk"}).op(op::CallFunction).setVariable();
    push(a, {5, 1, "add10"}).op(op::CallFunction).trace();
    // arguments.length
    ActionWriter count;
    push(count, {"arguments"}).getVariable();
    push(count, {"length"}).op(op::GetMember).op(op::Return);
    defineFunction(a, "count", {}, count);
    push(a, {3, 2, 1, 3, "count"}).op(op::CallFunction).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "15\n3\n");
}

TEST(Avm1Functions, DefineFunction2RegistersAndPreloads) {
    // function f(a /* r2 */) with preload this (r1): return this.k + a
    ActionWriter body;
    push(body, {P::reg(1), "k"}).op(op::GetMember);
    push(body, {P::reg(2)}).add2().op(op::Return);
    ActionWriter a;
    defineFunction2(a, "f", 3, 0x01, {{2, "a"}}, body);
    push(a, {"o", "k", 40, 1}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    push(a, {"m"}).pushString("f").getVariable().op(op::SetMember);
    push(a, {2, 1, "o"}).getVariable();
    push(a, {"m"}).op(op::CallMethod).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "42\n");
}

TEST(Avm1Exceptions, TryCatchFinallyAndUncaught) {
    // try { throw "boom" } catch (e) { trace(e) } finally { trace("fin") }
    ActionWriter tryBody;
    push(tryBody, {"boom"}).op(op::Throw);
    ActionWriter catchBody;
    push(catchBody, {"e"}).getVariable().trace();
    ActionWriter finBody;
    push(finBody, {"fin"}).trace();
    std::vector<uint8_t> p{0x03};  // catch + finally, name
    putU16(p, static_cast<uint16_t>(tryBody.bytes().size()));
    putU16(p, static_cast<uint16_t>(catchBody.bytes().size()));
    putU16(p, static_cast<uint16_t>(finBody.bytes().size()));
    putString(p, "e");
    ActionWriter a;
    a.op(0x8f, p);
    for (auto* w : {&tryBody, &catchBody, &finBody})
        for (uint8_t b : w->bytes()) a.op(b);
    push(a, {"after"}).trace();
    push(a, {"Oh no!"}).op(op::Throw);
    push(a, {"never"}).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "boom\nfin\nafter\nWarning: Uncaught exception, Oh no!\n");
}

// Without a catch block the finally block starts where the try block ends; a jump out of the
// try block leaves without running the finally block.
TEST(Avm1Exceptions, FinallyWithoutCatchAndJumpsOutOfTheTry) {
    ActionWriter skipped;
    push(skipped, {"skipped"}).trace();
    ActionWriter catchBody, finBody;
    push(catchBody, {"C"}).trace();
    push(finBody, {"F"}).trace();
    ActionWriter throwing;
    push(throwing, {"Try"}).op(op::Throw);
    ActionWriter jumping;  // to the end of the construct and past `skipped`
    std::vector<uint8_t> over;
    putU16(over, static_cast<uint16_t>(catchBody.bytes().size() + finBody.bytes().size() +
                                       skipped.bytes().size()));
    jumping.op(0x99, over);
    const struct {
        uint8_t flags;
        const ActionWriter* tryBody;
        const char* traced;
    } cases[] = {
        {0x02, &throwing, "C\nWarning: Uncaught exception, Try\n"},
        {0x03, &jumping, "after\n"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> p{c.flags};
        putU16(p, static_cast<uint16_t>(c.tryBody->bytes().size()));
        putU16(p, static_cast<uint16_t>(catchBody.bytes().size()));
        putU16(p, static_cast<uint16_t>(finBody.bytes().size()));
        putString(p, "e");
        ActionWriter a;
        a.op(0x8f, p);
        for (const ActionWriter* w :
             std::initializer_list<const ActionWriter*>{c.tryBody, &catchBody, &finBody, &skipped})
            for (uint8_t b : w->bytes()) a.op(b);
        push(a, {"after"}).trace();
        Stage s(7);
        EXPECT_EQ(s.run(a), c.traced) << int(c.flags);
    }
}

TEST(Avm1Exceptions, TraceOfAnObjectWhoseToStringThrowsPrintsItBareThenThrows) {
    // o = {toString: function() { throw "bad" }}; trace(o) -- uncaught
    ActionWriter thrower;
    push(thrower, {"bad"}).op(op::Throw);
    ActionWriter a;
    push(a, {"o", "toString"});
    defineFunction(a, "", {}, thrower);
    push(a, {1}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable().trace();
    push(a, {"never"}).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "[type Object]\nWarning: Uncaught exception, bad\n");
}

// An object literal defines its members as they come off the stack, last written first, so
// for-in (newest first) lists them in the order written.
TEST(Avm1Objects, ForInYieldsNewestFirstAndSkipsHidden) {
    ActionWriter a;
    // while ((k = pop) != null) trace(k), over the names of the variable's object
    auto forIn = [&a](const char* var) {
        push(a, {var}).getVariable().op(op::Enumerate2);
        a.op(op::Dup);
        push(a, {P::null()}).op(op::Equals2);
        std::vector<uint8_t> skip;
        putU16(skip, 6);  // over the trace and the jump back
        a.op(0x9d, skip);
        a.trace();
        std::vector<uint8_t> back;
        putU16(back, static_cast<uint16_t>(-17));  // to the Dup
        a.op(0x99, back);
        a.pop();
    };
    push(a, {"o", "a", 1, "b", 2, "c", 3, 3}).op(op::InitObject).setVariable();
    setMember(a, "o", "d", 4);
    forIn("o");
    // An array's elements and properties interleave as made; a deleted element leaves a hole
    // that keeps the length.
    push(a, {"x", "z", "y", "x", 3}).op(op::InitArray).setVariable();
    setMember(a, "x", "foo", 1);
    push(a, {"x"}).getVariable();
    push(a, {"1"}).op(0x3a).pop();
    setMember(a, "x", "5", "f");
    forIn("x");
    push(a, {"x"}).getVariable();
    push(a, {"length"}).op(op::GetMember).trace();
    // Names a prototype lends come before the object's own, and an own name hides its twin.
    push(a, {"q", 0}).op(op::InitObject).setVariable();
    push(a, {"q"}).getVariable();
    push(a, {"__proto__", "o"}).getVariable().op(op::SetMember);
    setMember(a, "q", "e", 5);
    setMember(a, "q", "a", 6);
    forIn("q");
    Stage s(7);
    EXPECT_EQ(s.run(a), "d\na\nb\nc\n5\nfoo\n2\n0\n6\nd\nb\nc\na\ne\n");
}

TEST(Avm1Bounds, EndlessLoopStopsTheMoviesScriptsWithOneLogLine) {
    swf::avm1::VmLimits limits;
    limits.scriptTime = std::chrono::milliseconds(50);
    Stage s(7, limits);
    ActionWriter a;
    std::vector<uint8_t> back;
    putU16(back, static_cast<uint16_t>(-5));
    a.op(0x99, back);  // jumps onto itself
    s.run(a);
    ASSERT_EQ(s.logs.size(), 1u);
    // A movie that ran away once runs no script again.
    ActionWriter b;
    push(b, {"still here"}).trace();
    EXPECT_EQ(s.run(b), "");
    EXPECT_TRUE(s.vm.scriptsStopped());
}

// The action list that makes the first call is the first of the 256 levels: 255 calls run.
TEST(Avm1Bounds, RecursionEndsTheChain) {
    ActionWriter body;  // n++; trace(n); f()
    push(body, {"n", "n"}).getVariable().op(op::Increment).setVariable();
    push(body, {"n"}).getVariable().trace();
    push(body, {0, "f"}).op(op::CallFunction).op(op::Return);
    ActionWriter a;
    push(a, {"n", 0}).setVariable();
    defineFunction(a, "f", {}, body);
    push(a, {0, "f"}).op(op::CallFunction).pop();
    push(a, {"never"}).trace();
    Stage s(7);
    const std::string out = s.run(a);
    EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), "255\n");
    ASSERT_FALSE(s.logs.empty());
    EXPECT_NE(s.logs[0].find("256"), std::string::npos);
}

TEST(Avm1Bounds, MalformedListsEndCleanly) {
    Stage s(7);
    // A push that claims more bytes than the list holds, a string without its end, a function
    // whose body runs past the list, a jump far outside, an array of absurd length.
    const std::vector<std::vector<uint8_t>> bad = {
        {0x96, 0xff, 0x00, 0x00, 'a'},
        {0x96, 0x03, 0x00, 0x00, 'a', 'b'},
        {0x9b, 0x05, 0x00, 'f', 0, 0, 0, 0xff},
        {0x99, 0x02, 0x00, 0x00, 0x80},
        {0x96, 0x05, 0x00, 0x07, 0xff, 0xff, 0xff, 0x7f, 0x42},
        {0x8e, 0x02, 0x00, 0x00},
    };
    for (const auto& code : bad) {
        s.vm.runActions(code, &s);
    }
    // An array asked to grow past the cap ends its list with a notice.
    ActionWriter big;
    push(big, {0, "Array"}).op(op::NewObject);
    push(big, {"length", 1e12}).op(op::SetMember);
    push(big, {"not reached"}).trace();
    EXPECT_EQ(s.run(big), "");
    EXPECT_FALSE(s.logs.empty());
    ActionWriter ok;
    push(ok, {"fine"}).trace();
    EXPECT_EQ(s.run(ok), "fine\n");
}

TEST(Avm1Functions, SuperRunsTheClassAboveTheMethod) {
    // A <- B <- C: constructors chain through super(), m() through super.m().
    auto ctor = [](const char* name) {
        ActionWriter body;
        push(body, {0, "super"}).op(op::CallFunction).pop();
        push(body, {name}).trace();
        return body;
    };
    auto method = [](const char* suffix) {
        ActionWriter body;
        push(body, {0, "super"}).getVariable();
        push(body, {"m"}).op(op::CallMethod);
        push(body, {suffix}).add2().op(op::Return);
        return body;
    };
    ActionWriter a;
    ActionWriter traceA;
    push(traceA, {"A"}).trace();
    defineFunction(a, "A", {}, traceA);
    defineFunction(a, "B", {}, ctor("B"));
    defineFunction(a, "C", {}, ctor("C"));
    for (auto [sub, base] : {std::pair{"B", "A"}, std::pair{"C", "B"}}) {
        push(a, {sub}).getVariable();
        push(a, {base}).getVariable().op(0x69);
    }
    ActionWriter baseM;
    push(baseM, {"A.m"}).op(op::Return);
    for (auto [cls, body] :
         {std::pair{"A", baseM}, std::pair{"B", method("+B")}, std::pair{"C", method("+C")}}) {
        push(a, {cls}).getVariable();
        push(a, {"prototype"}).op(op::GetMember);
        push(a, {"m"});
        defineFunction(a, "", {}, body).op(op::SetMember);
    }
    push(a, {"o", 0, "C"}).op(op::NewObject).setVariable();
    push(a, {0, "o"}).getVariable();
    push(a, {"m"}).op(op::CallMethod).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "A\nB\nC\nA.m+B+C\n");
}

TEST(Avm1Functions, SuppressedThisAndSuperLeaveTheirNames) {
    // Preloaded and suppressed this (0x03) and super (0x30): empty registers, `this` names
    // the timeline, `super` nothing.
    ActionWriter body;
    push(body, {P::reg(1)}).trace();
    push(body, {P::reg(2)}).trace();
    push(body, {"this"}).getVariable().trace();
    push(body, {"super"}).getVariable().trace();
    ActionWriter a;
    defineFunction2(a, "f", 3, 0x33, {}, body);
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    push(a, {"f"}).pushString("f").getVariable().op(op::SetMember);
    push(a, {0, "o"}).getVariable();
    push(a, {"f"}).op(op::CallMethod).pop();
    Stage s(7);
    EXPECT_EQ(s.run(a), "undefined\nundefined\n_level0\nundefined\n");
}

TEST(Avm1Functions, SuperExistsFromSwf6ForMethodsOnly) {
    // f traces typeof super, called by name and then as o's method.
    ActionWriter body;
    push(body, {"super"}).getVariable().op(0x44).trace();
    ActionWriter a;
    defineFunction(a, "f", {}, body);
    push(a, {0, "f"}).op(op::CallFunction).pop();
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    push(a, {"f", "f"}).getVariable().op(op::SetMember);
    push(a, {0, "o"}).getVariable();
    push(a, {"f"}).op(op::CallMethod).pop();
    for (auto [version, want] :
         {std::pair{5, "undefined\nundefined\n"}, std::pair{6, "undefined\nobject\n"},
          std::pair{7, "undefined\nobject\n"}}) {
        Stage s(version);
        EXPECT_EQ(s.run(a), want) << "SWF " << version;
    }
}

TEST(Avm1Objects, WatchersAndTheirWrites) {
    // w counts its calls, writes the property again and deletes it when told to: SWF 7
    // watchers nest 65 deep each, SWF 6 ones not at all; a write whose watcher deleted
    // the property leaves none.
    auto watched = [](bool remove) {
        ActionWriter w;
        push(w, {"n", "n"}).getVariable().op(op::Increment).setVariable();
        push(w, {"this"}).getVariable();
        push(w, {"p", 1}).op(op::SetMember);
        if (remove) push(w, {"this"}).getVariable().pushString("p").op(0x3a).pop();
        push(w, {7}).op(op::Return);
        ActionWriter a;
        push(a, {"n", 0}).setVariable();
        push(a, {"o", 0}).op(op::InitObject).setVariable();
        push(a, {"x"});
        defineFunction(a, "", {}, w);
        push(a, {"p", 2, "o"}).getVariable();
        push(a, {"watch"}).op(op::CallMethod).pop();
        setMember(a, "o", "p", 5);
        push(a, {"n"}).getVariable().trace();
        push(a, {"p", 1, "o"}).getVariable();
        push(a, {"hasOwnProperty"}).op(op::CallMethod).trace();
        return a;
    };
    struct Case {
        int version;
        bool remove;
        const char* want;
    };
    for (const Case& c :
         {Case{6, false, "1\ntrue\n"}, Case{7, false, "65\ntrue\n"}, Case{6, true, "1\nfalse\n"}}) {
        Stage s(c.version);
        EXPECT_EQ(s.run(watched(c.remove)), c.want) << "SWF " << c.version << " " << c.remove;
    }
}

// ---- target paths, tellTarget and the timeline a function runs on

namespace {

ActionWriter& setTarget(ActionWriter& a, std::string_view path) {
    std::vector<uint8_t> b;
    putString(b, path);
    return a.op(0x8b, b);
}

// trace(getProperty("", _target))
ActionWriter& traceTarget(ActionWriter& a) {
    push(a, {"", 11}).op(0x22);
    return a.trace();
}

}  // namespace

TEST(Avm1Targets, TellTargetFollowsPathsAndUnknownPathsLeaveNoTarget) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder sp;
    sp.showFrame();
    const uint16_t id = b.defineSprite(sp);
    b.place(id, 1, {}, {}, std::string("Clip"));
    ActionWriter a;
    push(a, {"n", "root"}).setVariable();
    setTarget(a, "clip");  // names compare without case before SWF 7
    traceTarget(a);
    setTarget(a, "nowhere");
    push(a, {"", 13}).op(0x22).trace();    // no timeline: no _name
    push(a, {"n"}).getVariable().trace();  // names are then looked up on the root
    setTarget(a, "");
    // A clip object is found again by its path.
    push(a, {"Clip"}).getVariable().op(0x20);
    traceTarget(a);
    push(a, {5}).op(0x20);
    push(a, {"", 11}).op(0x22).op(op::TypeOf).trace();
    setTarget(a, "");
    traceTarget(a);
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "/Clip\nundefined\nroot\n/Clip\nundefined\n/\n");
}

TEST(Avm1Targets, SetPropertyTakesNumbersOnlyAndKeepsThePlayerSettings) {
    // setProperty("", _x, 1); setProperty("", _x, value); trace(getProperty("", _x))
    struct Case {
        P value;
        const char* want;
    } cases[] = {{P("10"), "10"},  {P("10x"), "1"},      {P::undef(), "1"},
                 {P::null(), "1"}, {P(std::nan("")), "1"}, {P(-2.5), "-2.5"}};
    for (const Case& k : cases) {
        ActionWriter a;
        push(a, {"", 0, 1}).op(0x23);
        push(a, {"", 0, k.value}).op(0x23);
        push(a, {"", 0}).op(0x22).trace();
        Stage six(6);
        EXPECT_EQ(six.run(a), std::string(k.want) + "\n") << k.want;
    }
    // A property number that is no number names none; _quality takes its names in any case,
    // _highquality its numbers, and both show the one setting.
    ActionWriter a;
    push(a, {"", "abc"}).op(0x22).trace();
    push(a, {"", 19, "low"}).op(0x23);
    push(a, {"", 19, "bogus"}).op(0x23);
    push(a, {"", 19}).op(0x22).trace();
    push(a, {"", 16, 5}).op(0x23);
    push(a, {"", 19}).op(0x22).trace();
    push(a, {"", 16}).op(0x22).trace();
    push(a, {"", 18, std::numeric_limits<double>::infinity()}).op(0x23);
    push(a, {"", 18}).op(0x22).trace();
    Stage six(6);
    EXPECT_EQ(six.run(a), "undefined\nLOW\nBEST\n2\n-2147483648\n");
}

TEST(Avm1Values, Swf5FunctionsReachNoPrototype) {
    // "[" + Math.pow + "]": a SWF 5 function's link to Function.prototype is hidden, so it has
    // no valueOf and adds as nothing.
    ActionWriter a;
    push(a, {"[", "Math"}).getVariable();
    push(a, {"pow"}).op(op::GetMember).add2();
    push(a, {"]"}).add2().trace();
    Stage five(5), six(6);
    EXPECT_EQ(five.run(a), "[]\n");
    EXPECT_EQ(six.run(a), "[[type Function]]\n");
}

TEST(Avm1Targets, PropertyPathsStartAtTheRootOnceTheTargetHasGone) {
    // tellTarget("a") { _root.a is removed; getProperty("b", _x) still finds _root.b }
    swftest::SwfBuilder b(6);
    ActionWriter a;
    for (const char* name : {"a", "b"}) {
        push(a, {name == std::string("a") ? 1 : 2, name, 2, "createEmptyMovieClip"});
        a.op(op::CallFunction).pop();
    }
    push(a, {"b", 0, 7}).op(0x23);  // setProperty("b", _x, 7)
    setTarget(a, "a");
    push(a, {"/a"}).op(0x25);  // removeMovieClip("/a")
    push(a, {"b", 0}).op(0x22).trace();
    push(a, {"b", 1, 9}).op(0x23);
    push(a, {"/b", 1}).op(0x22).trace();
    setTarget(a, "");
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "7\n9\n");
}

TEST(Avm1Targets, SlashPathsLeadThroughObjectsHeldInVariables) {
    // obj = {inner: {}}; set("/obj:a", 1); set("/obj:inner.b", 2); then read both back
    swftest::SwfBuilder b(7);
    ActionWriter a;
    push(a, {"obj", "inner", 0}).op(op::InitObject);
    push(a, {1}).op(op::InitObject).op(op::DefineLocal);
    push(a, {"/obj:a", 1}).setVariable();
    push(a, {"/obj:inner.b", 2}).setVariable();
    push(a, {"obj"}).getVariable();
    push(a, {"a"}).op(op::GetMember).trace();
    push(a, {"obj"}).getVariable();
    push(a, {"inner"}).op(op::GetMember);
    push(a, {"b"}).op(op::GetMember).trace();
    push(a, {"/obj:inner.b"}).getVariable().trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "1\n2\n2\n");
}

TEST(Avm1Targets, VariablePathsReadAsThePlayerReadsThem) {
    // _root.a holds clips a and "b.c"; d is 40 on the root, 41 on a, 42 on a.a, 43 on a["b.c"];
    // the root's own variable a = {d: 45} and o = {x: {d: 46}} stand beside the clips.
    const std::string longName(127, 'N');
    struct Case {
        std::string name;
        const char* out;
    };
    const std::vector<Case> cases = {
        {"a:d", "41"},            // a clip of that name before the variable
        {"a.d", "41"},            // the name after the last '.' too
        {"/a/a:d", "42"},         // from the root
        {"a.a.d", "42"},          // dots between the parts before a slash
        {"a:a:d", "42"},          // colons between parts
        {"::a:d", "41"},          // colons before a part
        {"a/b.c:d", "43"},        // after a slash a dot is part of the name
        {"a/b.c.d", "43"},        // ... but the last one still names the variable
        {"/a.a:d", "undefined"},  // no clip "a.a" under the root
        {"a/a/..:d", "41"},       // .. is the parent
        {"a/..:d", "40"},
        {"a/a/_parent:d", "41"},  // and so is a clip's _parent
        {"a...d", "undefined"},   // a dot-path has no parent step
        {"a/A:d", "42"},          // names compare without case before SWF 7
        {":d", "undefined"},      // an empty path names nothing
        {"a:", "undefined"},      // nor an empty name
        {"a::d", "41"},           // one separator may end the path
        {"a:::d", "undefined"},   // but not a run of colons after a part
        {"a//a:d", "undefined"},  // nor an empty part
        {"a/a", "_level0.a.a"},   // slashes alone name a clip
        {"a/", "_level0.a"},
        {"//", "undefined"},
        {"/o/x:d", "46"},  // through objects held in variables
        {"o.x.d", "46"},
        {"o/x", "undefined"},      // ... which are no clips
        {longName + "a:d", "47"},  // a part holds 127 characters; the rest is the next part
    };
    ActionWriter a;
    auto emptyClip = [&](const char* parent, const std::string& name, int depth) {
        push(a, {depth, name, 2});
        if (parent) {
            push(a, {parent}).getVariable();
            push(a, {"createEmptyMovieClip"}).op(op::CallMethod).pop();
        } else {
            push(a, {"createEmptyMovieClip"}).op(op::CallFunction).pop();
        }
    };
    emptyClip(nullptr, "a", 1);
    emptyClip("a", "a", 1);
    emptyClip("a", "b.c", 2);
    emptyClip(nullptr, longName, 3);
    push(a, {"d", 40}).setVariable();
    setMember(a, "a", "d", 41);
    for (const char* child : {"a", "b.c"}) {
        push(a, {"a"}).getVariable();
        push(a, {child}).op(op::GetMember);
        push(a, {"d", child == std::string("a") ? 42 : 43}).op(op::SetMember);
    }
    push(a, {longName}).getVariable();
    push(a, {"a", "d", 47, 1}).op(op::InitObject).op(op::SetMember);
    push(a, {"a", "d", 45, 1}).op(op::InitObject).setVariable();
    push(a, {"o", "x", "d", 46, 1}).op(op::InitObject);
    push(a, {1}).op(op::InitObject).setVariable();
    std::string want;
    for (const Case& c : cases) {
        push(a, {c.name}).getVariable().trace();
        want += std::string(c.out) + "\n";
    }
    swftest::SwfBuilder b(6);
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), want);
}

TEST(Avm1Targets, TargetPathNamesButtonsAndTextFields) {
    swftest::SwfBuilder b(6);
    ActionWriter a;
    push(a, {10, 10, 0, 0, 1, "t", 6, "this"}).getVariable();
    push(a, {"createTextField"}).op(op::CallMethod).pop();
    push(a, {"t"}).getVariable().op(0x45).trace();
    push(a, {"t"}).op(0x45).trace();  // a string is no clip
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "_level0.t\nundefined\n");
}

namespace {

// A movie whose sprite "s" defines f on the root when it first plays; frame 3 removes it,
// frame 4 places a new one under the same name, and frames 2 to 5 call f.
std::string functionTimelines(int version) {
    swftest::SwfBuilder b(version);
    swftest::SpriteBuilder sp;
    ActionWriter def;
    ActionWriter body;
    traceTarget(body);
    push(def, {"_root"}).getVariable();
    push(def, {"f"});
    defineFunction(def, "", {}, body);
    def.op(op::SetMember);
    def.stop();
    sp.doAction(def);
    sp.showFrame();
    const uint16_t id = b.defineSprite(sp);
    // Called from the root without a receiver, and as a method of a plain object.
    ActionWriter call;
    push(call, {0, "f"}).op(op::CallFunction).pop();
    push(call, {"o", 0}).op(op::InitObject).setVariable();
    push(call, {"o"}).getVariable();
    push(call, {"g", "f"}).getVariable().op(op::SetMember);
    push(call, {0, "o"}).getVariable();
    push(call, {"g"}).op(op::CallMethod).pop();
    b.place(id, 1, {}, {}, std::string("s"));
    b.showFrame();
    b.doAction(call);
    b.showFrame();
    b.doAction(call);
    b.remove(1);
    b.showFrame();
    b.doAction(call);
    b.place(id, 1, {}, {}, std::string("s"));
    b.showFrame();
    ActionWriter last = call;
    last.stop();
    b.doAction(last);
    b.showFrame();
    auto r = play(b);
    for (int i = 0; i < 5; ++i) r->player->advanceFrame();
    return r->take();
}

}  // namespace

TEST(Avm1Targets, FunctionsFindTheirTimelineAgainByPath) {
    // Defined on "s": they run there, on the root while no "s" exists, and on the new "s".
    EXPECT_EQ(functionTimelines(6), "/s\n/s\n/\n/\n/s\n/s\n/s\n/s\n");
}

TEST(Avm1Targets, Swf5FunctionsRunOnTheCallersTimeline) {
    // No function remembers where it was made: called from the root, it runs there.
    EXPECT_EQ(functionTimelines(5), "/\n/\n/\n/\n/\n/\n/\n/\n");
}

TEST(Avm1Values, NamesFoldTheLettersOfTheOldUnicodeTables) {
    using swf::avm1::foldCase;
    EXPECT_EQ(foldCase("ABC"), "abc");
    EXPECT_EQ(foldCase("\xc3\x84"), "\xc3\xa4");                  // Ä -> ä
    EXPECT_EQ(foldCase("\xd3\xa4"), "\xd3\xa5");                  // Cyrillic Ӥ -> ӥ
    EXPECT_EQ(foldCase("\xc7\xb1\xc7\xb2"), "\xc7\xb3\xc7\xb3");  // DZ and Dz -> dz
    EXPECT_EQ(foldCase("\xc8\xba"), "\xc8\xba");                  // Ⱥ came later: kept
    ActionWriter a;
    push(a, {"\xc3\x84", 1}).setVariable();
    push(a, {"\xc3\xa4"}).getVariable().trace();
    Stage six(6), seven(7);
    EXPECT_EQ(six.run(a), "1\n");
    EXPECT_EQ(seven.run(a), "undefined\n");
}

TEST(Avm1Natives, ASnativeAndASSetNativeReachBuiltinsByNumber) {
    ActionWriter a;
    // ASnative(200, 0)(-3): Math.abs
    push(a, {-3, 1, 0, 200, 2, "ASnative"}).op(op::CallFunction);
    push(a, {P::undef()}).op(op::CallMethod).trace();
    // ASSetNative(o, 200, "abs,6min,9max"): names of a later version stay out of sight.
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {"abs,6min,9max", 200, "o"}).getVariable();
    push(a, {3, "ASSetNative"}).op(op::CallFunction).pop();
    push(a, {2, 5, 2, "o"}).getVariable();
    push(a, {"min"}).op(op::CallMethod).trace();
    push(a, {"o"}).getVariable();
    push(a, {"max"}).op(op::GetMember).op(op::TypeOf).trace();
    // ASSetNative(o, 103, "t", 16): Date's getTime, on any Date
    push(a, {16, "t", 103, "o"}).getVariable();
    push(a, {4, "ASSetNative"}).op(op::CallFunction).pop();
    push(a, {"d", 1234, 1, "Date"}).op(op::NewObject).setVariable();
    push(a, {"d"}).getVariable();
    push(a, {"t", "o"}).getVariable();
    push(a, {"t"}).op(op::GetMember).op(op::SetMember);
    push(a, {0, "d"}).getVariable();
    push(a, {"t"}).op(op::CallMethod).trace();
    // Object.prototype.hasOwnProperty = ASnative(101, 5): the built-in, not itself again.
    push(a, {"Object"}).getVariable();
    push(a, {"prototype"}).op(op::GetMember);
    push(a, {"hasOwnProperty", 5, 101, 2, "ASnative"}).op(op::CallFunction).op(op::SetMember);
    push(a, {"valueOf", 1, "Object"}).getVariable();
    push(a, {"prototype"}).op(op::GetMember);
    push(a, {"hasOwnProperty"}).op(op::CallMethod).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "3\n2\nundefined\n1234\ntrue\n");
}

// ---- registers, delete and __resolve

namespace {

ActionWriter& storeRegister(ActionWriter& a, uint8_t r) {
    const uint8_t b[] = {r};
    return a.op(0x87, b);
}

}  // namespace

TEST(Avm1Registers, FunctionsReachTheOuterFourPastTheirOwn) {
    // function f() with one register: r0 is its own, r1..r3 are the frame's.
    ActionWriter body;
    push(body, {P::reg(0)}).trace();
    push(body, {P::reg(2)}).trace();
    push(body, {9});
    storeRegister(body, 3).pop();
    push(body, {8});
    storeRegister(body, 0).pop();
    ActionWriter a;
    push(a, {"outer0"});
    storeRegister(a, 0).pop();
    push(a, {"outer2"});
    storeRegister(a, 2).pop();
    defineFunction2(a, "f", 1, 0, {}, body);
    push(a, {0, "f"}).op(op::CallFunction).pop();
    push(a, {P::reg(0)}).trace();
    push(a, {P::reg(3)}).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "undefined\nouter2\nouter0\n9\n");
    // Called when no script runs (a load's handler), a function without registers still has
    // the four.
    ActionWriter gBody;
    push(gBody, {5});
    storeRegister(gBody, 1).pop();
    push(gBody, {P::reg(1)}).trace();
    ActionWriter define;
    defineFunction2(define, "g", 0, 0, {}, gBody);
    s.run(define);
    s.vm.call(s.vm.get(swf::avm1::Value(s.vm.clipObject(&s)), "g"), nullptr, {});
    EXPECT_EQ(s.lines, std::vector<std::string>{"5"});
}

TEST(Avm1Delete, LocalsStayAndPathsNameMembers) {
    ActionWriter body;  // var e = "local"; trace(delete e); trace(e); delete p: the timeline's
    push(body, {"e", "local"}).op(op::DefineLocal);
    push(body, {"e"}).op(0x3b).trace();
    push(body, {"e"}).getVariable().trace();
    push(body, {"p"}).op(0x3b).trace();
    push(body, {"p"}).getVariable().trace();
    ActionWriter a;
    push(a, {"p", "timeline"}).setVariable();
    defineFunction(a, "f", {"p"}, body);
    push(a, {"argument", 1, "f"}).op(op::CallFunction).pop();
    // o = {c: {d: 1}}; delete "o:c.d"
    push(a, {"o", "c", "d", 1, 1}).op(op::InitObject);
    push(a, {1}).op(op::InitObject).setVariable();
    push(a, {"o:c.d"}).op(0x3b).trace();
    push(a, {"o"}).getVariable();
    push(a, {"c"}).op(op::GetMember);
    push(a, {"d"}).op(op::GetMember).op(op::TypeOf).trace();
    // A string has no members to delete; the player says so.
    push(a, {"s", "text"}).setVariable();
    push(a, {"s.length"}).op(0x3b).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a),
              "false\nlocal\ntrue\ntimeline\ntrue\nundefined\nParameters of primitive types "
              "are no longer "
              "coerced into the required type - Object.\nfalse\n");
}

// Timeline code has no locals: var sets the variable where a with-object has it. InitObject
// asked for more pairs than the stack holds takes what is there, a last value without a name.
TEST(Avm1Scope, TimelineVarsAndShortInitObjects) {
    ActionWriter body;  // var x = 4
    push(body, {"x", 4}).op(op::DefineLocal);
    ActionWriter a;
    push(a, {"x", 0}).setVariable();
    push(a, {"o", "x", 1, 1}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    std::vector<uint8_t> size;
    putU16(size, static_cast<uint16_t>(body.bytes().size()));
    a.op(0x94, size);  // with (o)
    for (uint8_t b : body.bytes()) a.op(b);
    push(a, {"x"}).getVariable().trace();
    push(a, {"o"}).getVariable();
    push(a, {"x"}).op(op::GetMember).trace();
    push(a, {"hi", "one", 1, 2}).op(op::InitObject);
    push(a, {"q"}).op(0x4d).setVariable();  // Swap: q = the object
    push(a, {"q"}).getVariable();
    push(a, {"undefined"}).op(op::GetMember).trace();
    push(a, {"q"}).getVariable();
    push(a, {"one"}).op(op::GetMember).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "0\n4\nhi\n1\n");
}

TEST(Avm1Delete, DeleteWithoutAnObjectNamesAVariableBeforeSeven) {
    ActionWriter a;
    push(a, {"v", 5}).setVariable();
    push(a, {"v"}).op(0x3a).trace();
    push(a, {"v"}).getVariable().op(op::TypeOf).trace();
    Stage six(6), seven(7);
    EXPECT_EQ(six.run(a), "true\nundefined\n");
    EXPECT_EQ(seven.run(a), "false\nnumber\n");
}

TEST(Avm1Objects, ResolveAnswersMissingNamesButNotConversions) {
    // o.__resolve = function(n) { trace("resolve " + n); return n + "!"; }
    ActionWriter res;
    push(res, {"resolve "});
    push(res, {"n"}).getVariable().add2().trace();
    push(res, {"n"}).getVariable();
    push(res, {"!"}).add2().op(op::Return);
    ActionWriter a;
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {"o"}).getVariable();
    push(a, {"__resolve"});
    defineFunction(a, "", {"n"}, res);
    a.op(op::SetMember);
    push(a, {"o"}).getVariable();
    push(a, {"x"}).op(op::GetMember).trace();
    // Converting o looks up valueOf and toString without asking __resolve.
    push(a, {"a", "o"}).getVariable().op(op::Add2).trace();
    // A __resolve that is a number is passed over.
    push(a, {"p", 0}).op(op::InitObject).setVariable();
    push(a, {"p"}).getVariable();
    push(a, {"__proto__", "o"}).getVariable().op(op::SetMember);
    push(a, {"p"}).getVariable();
    push(a, {"__resolve", 42}).op(op::SetMember);
    push(a, {"p"}).getVariable();
    push(a, {"y"}).op(op::GetMember).trace();
    Stage s(7);
    EXPECT_EQ(s.run(a), "resolve x\nx!\na[object Object]\nresolve y\ny!\n");
}

TEST(Avm1Bounds, SettersThatSetThemselvesStopAndTheScriptGoesOn) {
    // o.addProperty("p", getter, setter) where the setter assigns o.p again, forever.
    ActionWriter setter;
    push(setter, {"n"}).getVariable().op(op::Increment);
    push(setter, {"n"}).op(0x4d).setVariable();
    push(setter, {"o"}).getVariable();
    push(setter, {"p", 1}).op(op::SetMember);
    ActionWriter getter;
    push(getter, {1}).op(op::Return);
    ActionWriter a;
    push(a, {"n", 0}).setVariable();
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    defineFunction(a, "", {}, setter);
    defineFunction(a, "", {}, getter);
    push(a, {"p", 3, "o"}).getVariable();
    push(a, {"addProperty"}).op(op::CallMethod).pop();
    push(a, {"o"}).getVariable();
    push(a, {"p", 2}).op(op::SetMember);
    push(a, {"n"}).getVariable().trace();
    push(a, {"end"}).trace();
    // Before SWF 7 the setter is not entered again while it runs: its write is a plain one.
    for (auto [version, traced] : {std::pair{7, "65\nend\n"}, std::pair{6, "1\nend\n"}}) {
        Stage s(version);
        EXPECT_EQ(s.run(a), traced) << version;
    }
}

TEST(Avm1Values, LevelNamesAreCaseSensitiveFromSeven) {
    ActionWriter a;
    push(a, {"_LEVEL0"}).getVariable().op(op::TypeOf).trace();
    Stage six(6), seven(7);
    EXPECT_EQ(six.run(a), "movieclip\n");
    EXPECT_EQ(seven.run(a), "undefined\n");
}

TEST(Avm1Functions, ArgumentsCallerIsTheCallingFunction) {
    // function inner() { return arguments.caller; }  function outer() { return inner(); }
    ActionWriter inner;
    push(inner, {"arguments"}).getVariable();
    push(inner, {"caller"}).op(op::GetMember).op(op::Return);
    ActionWriter outer;
    push(outer, {0, "inner"}).op(op::CallFunction).op(op::Return);
    ActionWriter a;
    defineFunction(a, "inner", {}, inner);
    defineFunction(a, "outer", {}, outer);
    push(a, {0, "outer"}).op(op::CallFunction);
    push(a, {"outer"}).getVariable().op(op::StrictEquals).trace();
    push(a, {0, "inner"}).op(op::CallFunction).trace();  // from a frame: null
    Stage s(7);
    EXPECT_EQ(s.run(a), "true\nnull\n");
}

// Inside with(obj), a function called by its bare name and found on obj runs with obj as
// `this`; one found further out keeps the timeline.
TEST(Avm1Functions, WithObjectIsThisForItsOwnMethods) {
    Stage s(6);
    ActionWriter body;
    push(body, {"this"}).getVariable();
    push(body, {"tag"}).op(op::GetMember).trace();
    ActionWriter a;
    push(a, {"o", "tag", "inner", 1}).op(op::InitObject).setVariable();
    setMember(a, "this", "tag", "timeline");
    push(a, {"o"}).getVariable();
    push(a, {"f"});
    defineFunction(a, "", {}, body);
    a.op(op::SetMember);
    defineFunction(a, "g", {}, body);
    ActionWriter inside;
    push(inside, {0, "f"}).op(op::CallFunction).pop();
    push(inside, {0, "g"}).op(op::CallFunction).pop();
    push(a, {"o"}).getVariable();
    std::vector<uint8_t> size;
    putU16(size, static_cast<uint16_t>(inside.bytes().size()));
    a.op(0x94, size);
    for (uint8_t x : inside.bytes()) a.op(x);
    push(a, {0, "g"}).op(op::CallFunction).pop();
    EXPECT_EQ(s.run(a), "inner\ntimeline\ntimeline\n");
}

// with(4) or with("s") works on the wrapper object: the prototype's members are found and
// __proto__ leads to it; with(undefined) skips its body.
TEST(Avm1Functions, WithWrapsPrimitives) {
    Stage s(6);
    ActionWriter a;
    push(a, {"Number"}).getVariable();
    push(a, {"prototype"}).op(op::GetMember);
    push(a, {"tag", "num"}).op(op::SetMember);
    auto with = [&a](P on, const ActionWriter& body) {
        push(a, {on});
        std::vector<uint8_t> size;
        putU16(size, static_cast<uint16_t>(body.bytes().size()));
        a.op(0x94, size);
        for (uint8_t x : body.bytes()) a.op(x);
    };
    ActionWriter inside;
    push(inside, {"tag"}).getVariable().trace();
    push(inside, {"__proto__"}).getVariable();
    push(inside, {"mark", "set"}).op(op::SetMember);
    with(P(4), inside);
    ActionWriter str;
    push(str, {"length"}).getVariable().trace();
    with(P("abc"), str);
    ActionWriter skipped;
    push(skipped, {"never"}).trace();
    with(P::undef(), skipped);
    push(a, {"Number"}).getVariable();
    push(a, {"prototype"}).op(op::GetMember);
    push(a, {"mark"}).op(op::GetMember).trace();
    EXPECT_EQ(s.run(a), "num\n3\nset\n");
}
