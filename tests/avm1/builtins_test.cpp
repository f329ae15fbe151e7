// Built-ins, each group by the object that provides them.

#include <algorithm>

#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;

namespace {

// Pushes args (last first, as compilers do), their count, then calls objVar.method.
ActionWriter& callMethod(ActionWriter& a, const char* objVar, const char* method,
                         std::initializer_list<P> args) {
    std::vector<P> rev(args);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()), objVar}).getVariable();
    push(a, {method}).op(op::CallMethod);
    return a;
}

ActionWriter& array(ActionWriter& a, const char* var, std::initializer_list<P> elems) {
    push(a, {var});
    std::vector<P> rev(elems);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(elems.size())}).op(op::InitArray).setVariable();
    return a;
}

std::string traced(int version, const ActionWriter& a) {
    Stage s(version);
    return s.run(a);
}

}  // namespace

TEST(Avm1Array, MutatorsAndJoin) {
    ActionWriter a;
    array(a, "x", {"a", "b", "c", "d", "e"});
    callMethod(a, "x", "splice", {1, 2, "X"}).trace();  // b,c
    push(a, {"x"}).getVariable().trace();               // a,X,d,e
    callMethod(a, "x", "push", {"f"}).trace();          // 5
    callMethod(a, "x", "shift", {}).trace();            // a
    callMethod(a, "x", "reverse", {}).pop();
    callMethod(a, "x", "join", {"-"}).trace();  // f-e-d-X
    callMethod(a, "x", "slice", {-2}).trace();  // d,X
    push(a, {"x"}).getVariable();
    push(a, {"length", 2}).op(op::SetMember);
    push(a, {"x"}).getVariable().trace();  // f,e
    // A length that is no number reads back as set and leaves the elements; a number again
    // or a new element makes it the count once more.
    setMember(a, "x", "length", "many");
    push(a, {"x"}).getVariable();
    push(a, {"length"}).op(op::GetMember).trace();  // many
    push(a, {"x"}).getVariable().trace();           // f,e
    setMember(a, "x", "3", "g");
    push(a, {"x"}).getVariable();
    push(a, {"length"}).op(op::GetMember).trace();  // 4
    EXPECT_EQ(traced(7, a), "b,c\na,X,d,e\n5\na\nf-e-d-X\nd,X\nf,e\nmany\nf,e\n4\n");
}

TEST(Avm1Array, SortFlagsAndSortOn) {
    ActionWriter a;
    array(a, "n", {10, 9, 100, 1});
    callMethod(a, "n", "sort", {}).trace();        // as strings: 1,10,100,9
    callMethod(a, "n", "sort", {16 | 2}).trace();  // NUMERIC|DESCENDING: 100,10,9,1
    callMethod(a, "n", "sort", {8 | 16}).trace();  // RETURNINDEXEDARRAY: indexes, array kept
    array(a, "d", {"b", "a", "b"});
    callMethod(a, "d", "sort", {4}).trace();  // UNIQUESORT with a duplicate: 0
    array(a, "w", {"b", "B", "a"});
    callMethod(a, "w", "sort", {1}).trace();  // CASEINSENSITIVE: a,b,B (stable)
    // sortOn("age", NUMERIC) over objects
    push(a, {"people", "n", "x", "age", 30, 2}).op(op::InitObject);
    push(a, {"n", "y", "age", 4, 2}).op(op::InitObject);
    push(a, {2}).op(op::InitArray).setVariable();
    callMethod(a, "people", "sortOn", {"age", 16}).pop();
    push(a, {"people"}).getVariable();
    push(a, {0}).op(op::GetMember);
    push(a, {"n"}).op(op::GetMember).trace();  // y
    EXPECT_EQ(traced(7, a), "1,10,100,9\n100,10,9,1\n3,2,1,0\n0\na,b,B\ny\n");
}

TEST(Avm1String, MethodsCountCharactersNotBytes) {
    ActionWriter a;
    push(a, {"s", "h\xc3\xa9llo w\xc3\xb6rld"}).setVariable();
    push(a, {"s"}).getVariable();
    push(a, {"length"}).op(op::GetMember).trace();  // 11
    callMethod(a, "s", "charAt", {1}).trace();
    callMethod(a, "s", "indexOf", {"w"}).trace();
    callMethod(a, "s", "substr", {-5, 2}).trace();
    callMethod(a, "s", "substring", {4, 1}).trace();
    callMethod(a, "s", "slice", {-3}).trace();
    callMethod(a, "s", "toUpperCase", {}).trace();
    callMethod(a, "s", "split", {"l"}).trace();
    callMethod(a, "s", "charCodeAt", {1}).trace();
    callMethod(a, "s", "slice", {}).trace();  // undefined: slice needs a start
    EXPECT_EQ(traced(7, a),
              "11\n\xc3\xa9\n6\nw\xc3\xb6\n\xc3\xa9ll\nrld\nH\xc3\x89LLO W\xc3\x96RLD\n"
              "h\xc3\xa9,,o w\xc3\xb6r,d\n233\nundefined\n");
}

TEST(Avm1Number, ToStringRadixAndMath) {
    ActionWriter a;
    push(a, {"n", 255}).setVariable();
    callMethod(a, "n", "toString", {16}).trace();
    callMethod(a, "Math", "max", {3, 7, 5}).trace();
    callMethod(a, "Math", "round", {-2.5}).trace();  // -2
    callMethod(a, "Math", "floor", {-2.5}).trace();
    callMethod(a, "Math", "pow", {2, 10}).trace();
    push(a, {"12.5px", 1, "parseFloat"}).op(op::CallFunction).trace();
    push(a, {16, "ff", 2, "parseInt"}).op(op::CallFunction).trace();
    push(a, {"x", 1, "isNaN"}).op(op::CallFunction).trace();
    EXPECT_EQ(traced(7, a), "ff\n7\n-2\n-3\n1024\n12.5\n255\ntrue\n");
}

TEST(Avm1Number, ParseIntAndParseFloatReadAsFlashReads) {
    ActionWriter a;
    for (const char* t : {"0x1A", "-0x10", "0x-10", "077", " 077", "077z", "12abc"})
        push(a, {t, 1, "parseInt"}).op(op::CallFunction).trace();
    push(a, {36, "-0x10", 2, "parseInt"}).op(op::CallFunction).trace();  // the sign is lost
    push(a, {0, "10", 2, "parseInt"}).op(op::CallFunction).trace();
    for (const char* t : {"1.5.5", "1.5.5e3", "1e4294967297", "Infinity", ".5e-1x"})
        push(a, {t, 1, "parseFloat"}).op(op::CallFunction).trace();
    push(a, {0, "Boolean"}).op(op::CallFunction).trace();
    EXPECT_EQ(traced(7, a),
              "26\nNaN\n-16\n63\n77\n77\n12\n42804\nNaN\n1.55\n1.55\n10\nNaN\n0.05\nundefined\n");
}

TEST(Avm1String, EscapesAreUtf8BytesFromSwf6AndCharactersBefore) {
    struct Case {
        int version;
        const char* in;
        const char* out;
    };
    const Case unescapes[] = {
        {6, "a%C3%A4b+c",
         "a\xc3\xa4"
         "b c"},                                    // UTF-8 bytes; '+' is a space
        {6, "start%00end", "start"},                // a zero byte ends the text
        {6, "start%c1end", "start\xef\xbf\xbdnd"},  // no continuation: U+FFFD takes the 'e'
        {6, "start%ffend", "start"},                // no character starts at 0xFF
        {6, "start%80end",
         "start\xc2\x80"
         "end"},                     // a stray continuation is its Latin-1 code
        {6, "start%c0", "start"},    // a character cut short is dropped
        {6, "start%6+1", "start1"},  // an escape without hex digits is nothing
        {5, "start%c1end",
         "start\xc3\x81"
         "end"},  // SWF 5: each escape is one character
        {5, "start%00end", "start"},
    };
    for (const Case& c : unescapes)
        EXPECT_EQ(swf::avm1::unescapeText(c.in, c.version), c.out) << c.version << " " << c.in;
    EXPECT_EQ(swf::avm1::escapeText("\xc3\xa4 @-._/+z9", 6), "%C3%A4%20%40%2D%2E%5F%2F%2Bz9");
    EXPECT_EQ(swf::avm1::escapeText("\xc3\xa4 @", 5), "%E4%20%40");
}

TEST(Avm1String, NegativeCountsWrappingAndSwf5) {
    ActionWriter a;
    push(a, {"s", "hello"}).setVariable();
    callMethod(a, "s", "substr", {0, -1}).trace();  // hell
    callMethod(a, "s", "substr", {1, -1}).trace();  // would reach the end: nothing
    callMethod(a, "s", "charAt", {4294967297.0}).trace();
    callMethod(a, "String", "fromCharCode", {80, 0, 82}).trace();
    push(a, {"u", "\xf0\x9f\x98\x8bz"}).setVariable();
    callMethod(a, "u", "charCodeAt", {1}).trace();  // the second surrogate
    callMethod(a, "u", "substr", {2}).trace();
    push(a, {"c", "a,b"}).setVariable();
    callMethod(a, "s", "indexOf", {}).trace();
    callMethod(a, "c", "split", {}).op(op::Dup);
    push(a, {"length"}).op(op::GetMember).trace();
    callMethod(a, "s", "split", {"ll"}).trace();
    const std::string common = "hell\n\ne\nP\n";
    // SWF 5 reads the movie's strings a byte per character, splits on "," and never at more
    // than one character.
    EXPECT_EQ(traced(5, a), common + "159\n\xc2\x98\xc2\x8bz\nundefined\n2\nhello\n");
    EXPECT_EQ(traced(7, a), common + "56843\nz\n-1\n1\nhe,o\n");
}

// The Flash Player's quicksort: a comparator (or a toString) sees its calls in its order, the
// first element the pivot. DESCENDING reverses the ascending sort; UNIQUESORT looks at
// neighbours by value, not at what the comparator answered.
TEST(Avm1Array, SortAsksTheComparatorInThePlayersOrder) {
    ActionWriter cmp;  // traces "x:y", gives x - y
    push(cmp, {"x"}).getVariable();
    push(cmp, {":"}).op(op::Add2);
    push(cmp, {"y"}).getVariable().op(op::Add2).trace();
    push(cmp, {"x"}).getVariable();
    push(cmp, {"y"}).getVariable().op(op::Sub).op(op::Return);
    ActionWriter a;
    push(a, {"c"});
    defineFunction(a, "", {"x", "y"}, cmp).setVariable();
    array(a, "n", {3, 1, 4, 2, 5});
    push(a, {0, "c"}).getVariable();
    push(a, {2, "n"}).getVariable();
    push(a, {"sort"}).op(op::CallMethod).trace();
    array(a, "d", {3, 1, 4, 2, 5});
    push(a, {2, "c"}).getVariable();
    push(a, {2, "d"}).getVariable();
    push(a, {"sort"}).op(op::CallMethod).trace();  // DESCENDING: the same calls
    array(a, "u", {2, 1, 2});
    push(a, {4, "c"}).getVariable();
    push(a, {2, "u"}).getVariable();
    push(a, {"sort"}).op(op::CallMethod).trace();  // UNIQUESORT: two 2s side by side
    const std::string calls = "3:1\n3:4\n3:5\n3:2\n3:2\n3:4\n3:2\n2:1\n4:5\n";
    EXPECT_EQ(traced(7, a), calls + "1,2,3,4,5\n" + calls + "5,4,3,2,1\n2:1\n2:2\n2:1\n0\n");
}

TEST(Avm1Array, SpliceAndSortArguments) {
    ActionWriter a;
    array(a, "x", {"c", "a", "b"});
    callMethod(a, "x", "splice", {P::undef()}).trace();
    callMethod(a, "x", "splice", {1, -1}).trace();
    callMethod(a, "x", "sort", {true}).trace();  // a primitive first argument: nothing
    callMethod(a, "x", "sort", {2, 0}).trace();  // the second argument is the flags
    push(a, {"x"}).getVariable().trace();        // sorted in place
    array(a, "w",
          {"\xc3\xabx",
           "\xc3\x8b"
           "a"});
    callMethod(a, "w", "sort", {1}).trace();  // accented letters fold too
    EXPECT_EQ(traced(7, a),
              "undefined\nundefined\nundefined\na,b,c\na,b,c\n\xc3\x8b"
              "a,\xc3\xabx\n");
}

TEST(Avm1Object, AccessorsWatchAndHiddenProperties) {
    // o.addProperty("v", function(){ return 42 }, null); trace(o.v)
    ActionWriter getter;
    push(getter, {42}).op(op::Return);
    ActionWriter a;
    push(a, {"o", 0}).op(op::InitObject).setVariable();
    push(a, {P::null()});
    defineFunction(a, "", {}, getter);
    push(a, {"v", 3, "o"}).getVariable();
    push(a, {"addProperty"}).op(op::CallMethod).trace();  // true
    push(a, {"o"}).getVariable();
    push(a, {"v"}).op(op::GetMember).trace();  // 42
    // watch: the callback's result is what gets stored
    ActionWriter watcher;
    push(watcher, {"newval"}).getVariable();
    push(watcher, {1}).add2().op(op::Return);
    push(a, {"o"}).getVariable();
    push(a, {"w", 1}).op(op::SetMember);
    defineFunction(a, "", {"prop", "oldval", "newval"}, watcher);
    push(a, {"w", 2, "o"}).getVariable();
    push(a, {"watch"}).op(op::CallMethod).pop();
    push(a, {"o"}).getVariable();
    push(a, {"w", 10}).op(op::SetMember);
    push(a, {"o"}).getVariable();
    push(a, {"w"}).op(op::GetMember).trace();  // 11
    // ASSetPropFlags(o, "w", 1): hidden from for..in, still there
    push(a, {1, "w", "o"}).getVariable();
    push(a, {3, "ASSetPropFlags"}).op(op::CallFunction).pop();
    callMethod(a, "o", "isPropertyEnumerable", {"w"}).trace();
    callMethod(a, "o", "hasOwnProperty", {"w"}).trace();
    EXPECT_EQ(traced(7, a), "true\n42\n11\nfalse\ntrue\n");
}

TEST(Avm1Object, ConstructorsPrototypesAndInstanceOf) {
    // function A() { this.x = 1 }  A.prototype.hi = function() { return "hi " + this.x }
    ActionWriter ctor;
    push(ctor, {"this"}).getVariable();
    push(ctor, {"x", 1}).op(op::SetMember);
    ActionWriter hi;
    push(hi, {"hi "}).pushString("this").getVariable();
    push(hi, {"x"}).op(op::GetMember).add2().op(op::Return);
    ActionWriter a;
    defineFunction(a, "A", {}, ctor);
    push(a, {"A"}).getVariable();
    push(a, {"prototype"}).op(op::GetMember);
    push(a, {"hi"});
    defineFunction(a, "", {}, hi);
    a.op(op::SetMember);
    push(a, {"a", 0, "A"}).op(op::NewObject).setVariable();
    callMethod(a, "a", "hi", {}).trace();
    push(a, {"a"}).getVariable();
    push(a, {"A"}).getVariable().op(0x54).trace();  // instanceof: true
    push(a, {"a"}).getVariable();
    push(a, {"Array"}).getVariable().op(0x54).trace();  // false
    push(a, {"a"}).getVariable().op(op::TypeOf).trace();
    push(a, {"A"}).getVariable().op(op::TypeOf).trace();
    EXPECT_EQ(traced(7, a), "hi 1\ntrue\nfalse\nobject\nfunction\n");
}

TEST(Avm1Function, CallAndApplySetThis) {
    ActionWriter body;
    push(body, {"this"}).getVariable();
    push(body, {"k"}).op(op::GetMember);
    push(body, {"a"}).getVariable().add2().op(op::Return);
    ActionWriter a;
    defineFunction(a, "f", {"a"}, body);
    push(a, {"o", "k", "K", 1}).op(op::InitObject).setVariable();
    push(a, {"!"}).pushString("o").getVariable();
    push(a, {2, "f"}).getVariable();
    push(a, {"call"}).op(op::CallMethod).trace();
    array(a, "args", {"?"});
    push(a, {"args"}).getVariable().pushString("o").getVariable();
    push(a, {2, "f"}).getVariable();
    push(a, {"apply"}).op(op::CallMethod).trace();
    EXPECT_EQ(traced(7, a), "K!\nK?\n");
}

TEST(Avm1Date, FieldsInUniversalTime) {
    ActionWriter a;
    push(a, {"d", 6, 5, 4, 3, 1, 2001, 6, "Date"}).op(op::NewObject).setVariable();
    callMethod(a, "d", "getFullYear", {}).trace();
    callMethod(a, "d", "getMonth", {}).trace();
    callMethod(a, "d", "getDay", {}).trace();  // Saturday
    callMethod(a, "d", "toString", {}).trace();
    push(a, {2, 0, 1970, 3, "Date"}).getVariable();
    push(a, {"UTC"}).op(op::CallMethod).trace();
    EXPECT_EQ(traced(7, a), "2001\n1\n6\nSat Feb 3 04:05:06 GMT+0000 2001\n86400000\n");
}

// ASSetPropFlags' version bits hide a property from movies older than the version they name
// (256: from SWF 6 alone): clearing the other flags of every property keeps it out of sight,
// and a write shows it again, except that SWF 6 keeps one of Flash 7's hidden, value and all.
TEST(Avm1Object, SetPropFlagsVersionBitsHideFromOlderMovies) {
    struct Case {
        int bit;
        int version;
        // before, after ASSetPropFlags(o, null, 0, 1), after o.v = 5, after clearing the bit
        const char* seen;
    };
    const Case cases[] = {
        {0x1000, 7, "undefined\nundefined\n5\n5\n"},
        {0x1000, 8, "1\n1\n5\n5\n"},
        {0x80, 5, "undefined\nundefined\n5\n5\n"},
        {0x80, 6, "1\n1\n5\n5\n"},
        {0x100, 5, "1\n1\n5\n5\n"},
        {0x100, 6, "undefined\nundefined\n5\n5\n"},
        {0x100, 7, "1\n1\n5\n5\n"},
        {0x400, 6, "undefined\nundefined\nundefined\n5\n"},
        {0x400, 5, "undefined\nundefined\n5\n5\n"},
    };
    for (const Case& c : cases) {
        ActionWriter a;
        push(a, {"o", "v", 1, "w", 2, 2}).op(op::InitObject).setVariable();
        push(a, {c.bit, "v", "o"}).getVariable();
        push(a, {3, "ASSetPropFlags"}).op(op::CallFunction).pop();
        push(a, {"o"}).getVariable();
        push(a, {"v"}).op(op::GetMember).trace();
        push(a, {1, 0, P::null(), "o"}).getVariable();
        push(a, {4, "ASSetPropFlags"}).op(op::CallFunction).pop();
        push(a, {"o"}).getVariable();
        push(a, {"v"}).op(op::GetMember).trace();
        push(a, {"o"}).getVariable();
        push(a, {"v", 5}).op(op::SetMember);
        push(a, {"o"}).getVariable();
        push(a, {"v"}).op(op::GetMember).trace();
        push(a, {c.bit, 0, "v", "o"}).getVariable();
        push(a, {4, "ASSetPropFlags"}).op(op::CallFunction).pop();
        push(a, {"o"}).getVariable();
        push(a, {"v"}).op(op::GetMember).trace();
        EXPECT_EQ(traced(c.version, a), c.seen) << "bit " << c.bit << " in SWF " << c.version;
    }
}

// What the player leaves on the objects it makes, as a script finds it: "h" when for..in
// passes over the property, "p" when delete leaves it, "-" when it is not the object's own.
TEST(Avm1Object, MadeObjectsOwnTheirLinksWithThePlayersFlags) {
    using swf::avm1::Value;
    enum Make { NewArray, Literal, ArrayLiteral, PlainCall, Function, Prototype, Extended };
    struct Case {
        int version;
        Make make;
        const char* name;
        const char* flags;
    };
    const Case cases[] = {
        {6, NewArray, "__proto__", "hp"},    {6, NewArray, "__constructor__", "h"},
        {6, NewArray, "constructor", "h"},   {7, NewArray, "constructor", "-"},
        {6, NewArray, "length", "hp"},       {7, Literal, "__proto__", "hp"},
        {7, Literal, "constructor", "hp"},   {7, ArrayLiteral, "constructor", "hp"},
        {7, ArrayLiteral, "length", "hp"},   {7, PlainCall, "__proto__", "-"},
        {7, Function, "__proto__", "hp"},    {7, Function, "constructor", "hp"},
        {7, Function, "prototype", "hp"},    {7, Prototype, "__proto__", "hp"},
        {7, Prototype, "constructor", "hp"}, {7, Extended, "__constructor__", "h"},
        {7, Extended, "constructor", "-"},   {5, Function, "__proto__", "hp"},
    };
    for (const Case& c : cases) {
        ActionWriter a;
        ActionWriter empty;
        switch (c.make) {
            case NewArray:
                push(a, {"o", 0, "Array"}).op(op::NewObject).setVariable();
                break;
            case Literal:
                push(a, {"o", 0}).op(op::InitObject).setVariable();
                break;
            case ArrayLiteral:
                push(a, {"o", 0}).op(op::InitArray).setVariable();
                break;
            case PlainCall:
                push(a, {"o", 0, "Object"}).op(op::CallFunction).setVariable();
                break;
            case Function:
                defineFunction(a, "o", {}, empty);
                break;
            case Prototype:
            case Extended:
                defineFunction(a, "F", {}, empty);
                if (c.make == Extended) {
                    push(a, {"F"}).getVariable();
                    push(a, {"Object"}).getVariable();
                    a.op(0x69);
                }
                push(a, {"o", "F"}).getVariable();
                push(a, {"prototype"}).op(op::GetMember).setVariable();
                break;
        }
        Stage s(c.version);
        s.run(a);
        auto& vm = s.vm;
        const Value o = vm.get(vm.clipObject(&s), "o");
        ASSERT_TRUE(o.isObject());
        // The method itself, which SWF 5 movies do not see by name.
        const Value own = vm.objectProto->findAny(vm.key("hasOwnProperty"))->value;
        auto isOwn = [&] { return vm.toBoolean(vm.call(own, o.o, {Value(c.name)})); };
        std::string flags;
        if (isOwn()) {
            const auto listed = vm.enumerate(o.o);
            if (std::find(listed.begin(), listed.end(), c.name) == listed.end()) flags += "h";
            vm.deleteProperty(o.o, c.name);
            if (isOwn()) flags += "p";
        } else {
            flags = "-";
        }
        EXPECT_EQ(flags, c.flags) << c.name << " of case " << c.make << " in SWF " << c.version;
    }
}

// __proto__ is a property like the others: a script may replace it, make it read-only, or
// delete it once it is no longer permanent, and the prototype chain follows.
TEST(Avm1Object, TheProtoLinkIsAnOwnProperty) {
    using swf::avm1::Value;
    Stage s(7);
    auto& vm = s.vm;
    const Value setFlags = vm.get(vm.global, "ASSetPropFlags");
    Value o = vm.construct(vm.get(vm.global, "Array"), {});
    EXPECT_FALSE(vm.deleteProperty(o.o, "__proto__"));
    EXPECT_EQ(vm.typeOf(vm.get(o, "push")), "function");
    vm.call(setFlags, nullptr, {o, Value("__proto__"), Value(4)});
    vm.set(o.o, "__proto__", Value(vm.newObject()));
    EXPECT_EQ(vm.typeOf(vm.get(o, "push")), "function");
    vm.call(setFlags, nullptr, {o, Value("__proto__"), Value(0), Value(6)});
    EXPECT_TRUE(vm.deleteProperty(o.o, "__proto__"));
    EXPECT_EQ(vm.typeOf(vm.get(o, "push")), "undefined");
    EXPECT_EQ(vm.typeOf(vm.get(o, "__proto__")), "undefined");
    vm.set(o.o, "__proto__", vm.get(vm.global, "Array").o->findAny("prototype")->value);
    EXPECT_EQ(vm.typeOf(vm.get(o, "push")), "function");
}

// MovieClip methods newer than a movie's version are not there for it; the old ones are, and
// a script may still define its own under a hidden name.
TEST(Avm1Object, OlderMoviesMissNewerClipMethods) {
    auto run = [](int version) {
        ActionWriter a;
        for (const char* m : {"gotoAndStop", "getDepth", "createEmptyMovieClip", "lineTo"}) {
            push(a, {"MovieClip"}).getVariable();
            push(a, {"prototype"}).op(op::GetMember);
            push(a, {m}).op(op::GetMember).op(op::TypeOf).trace();
        }
        push(a, {"MovieClip"}).getVariable();
        push(a, {"prototype"}).op(op::GetMember);
        push(a, {"getDepth", 7}).op(op::SetMember);
        push(a, {"MovieClip"}).getVariable();
        push(a, {"prototype"}).op(op::GetMember);
        push(a, {"getDepth"}).op(op::GetMember).trace();
        return traced(version, a);
    };
    EXPECT_EQ(run(5), "function\nundefined\nundefined\nundefined\n7\n");
    EXPECT_EQ(run(6), "function\nfunction\nfunction\nfunction\n7\n");
}

TEST(Avm1System, MenusPrintJobAndSecurityAnswer) {
    Stage s(8);
    auto& vm = s.vm;
    using swf::avm1::Value;
    Value menu = vm.construct(vm.get(vm.global, "ContextMenu"), {});
    vm.set(vm.get(menu, "builtInItems").o, "play", Value(false));
    Value copy = vm.callMethod(menu, "copy", {});
    EXPECT_EQ(vm.toString(vm.get(vm.get(copy, "builtInItems"), "play")), "false");
    EXPECT_EQ(vm.toString(vm.get(vm.get(copy, "builtInItems"), "zoom")), "true");
    vm.callMethod(copy, "hideBuiltInItems", {});
    EXPECT_EQ(vm.toString(vm.get(vm.get(copy, "builtInItems"), "zoom")), "false");
    EXPECT_EQ(vm.toString(vm.get(vm.get(menu, "builtInItems"), "zoom")), "true");

    Value item = vm.construct(vm.get(vm.global, "ContextMenuItem"), {Value("Go")});
    EXPECT_EQ(vm.toString(vm.get(item, "enabled")), "true");
    EXPECT_EQ(vm.toString(vm.get(item, "separatorBefore")), "false");

    // A printer's measures read 0 and cannot be written.
    Value job = vm.construct(vm.get(vm.global, "PrintJob"), {});
    vm.set(job.o, "pageWidth", Value("x"));
    EXPECT_EQ(vm.toString(vm.get(job, "pageWidth")), "0");

    Value security = vm.get(vm.get(vm.global, "System"), "security");
    EXPECT_EQ(vm.toString(vm.callMethod(security, "allowDomain", {})), "false");
    EXPECT_EQ(vm.toString(vm.callMethod(security, "allowDomain", {Value("a.b")})), "true");
    Value caps = vm.get(vm.get(vm.global, "System"), "capabilities");
    EXPECT_EQ(vm.typeOf(vm.get(caps, "serverString")), "string");
}

TEST(Avm1Object, WatchersOfAccessorsSeeTheValueBeneath) {
    using swf::avm1::Args;
    using swf::avm1::Object;
    using swf::avm1::Value;
    using swf::avm1::Vm;
    Stage s(6);
    auto& vm = s.vm;
    std::string log;
    Object* o = vm.newObject();
    vm.set(o, "x", Value(3));
    Value getter(vm.newMethod([&](Vm&, Object*, Args&) -> Value {
        log += "get;";
        return Value("g");
    }));
    Value setter(vm.newMethod([&](Vm& vm, Object*, Args& a) -> Value {
        log += "set " + vm.toString(a[0]) + ";";
        return {};
    }));
    vm.callMethod(Value(o), "addProperty", {Value("x"), getter, setter});
    // Inside the watcher the property is plain: the old value, a write and a read of it.
    Value watcher(vm.newMethod([&](Vm& vm, Object* self, Args& a) -> Value {
        log += "old " + vm.toString(a[1]) + ";";
        vm.set(self, "x", Value("c"));
        log += "read " + vm.toString(vm.get(self, "x")) + ";";
        return Value("d");
    }));
    vm.callMethod(Value(o), "watch", {Value("x"), watcher});
    vm.set(o, "x", Value("b"));
    EXPECT_EQ(log, "old 3;read c;set d;");
    EXPECT_EQ(vm.toString(vm.get(o, "x")), "g");
}

namespace {

// var name = new ctor();
ActionWriter& newObject(ActionWriter& a, const char* var, const char* ctor) {
    push(a, {var, 0, ctor}).op(op::NewObject).setVariable();
    return a;
}

// trace(obj.member)
ActionWriter& traceMember(ActionWriter& a, const char* obj, const char* member) {
    push(a, {obj}).getVariable();
    push(a, {member}).op(op::GetMember).trace();
    return a;
}

}  // namespace

TEST(Avm1AsBroadcaster, ListenersMatchByLooseEquality) {
    ActionWriter a;
    newObject(a, "b", "Object");
    push(a, {"b"}).getVariable();
    push(a, {1, "AsBroadcaster"}).getVariable();
    push(a, {"initialize"}).op(op::CallMethod).pop();
    callMethod(a, "b", "addListener", {P::undef()}).pop();
    callMethod(a, "b", "addListener", {P::null()}).pop();  // replaces undefined: null == undefined
    push(a, {"l"}).pushString("b").getVariable();
    push(a, {"_listeners"}).op(op::GetMember).setVariable();
    traceMember(a, "l", "length");  // 1
    traceMember(a, "l", "0");       // null
    callMethod(a, "b", "addListener", {false}).pop();
    callMethod(a, "b", "removeListener", {P::undef()}).trace();  // true: takes the null
    push(a, {"l"}).getVariable().trace();                        // false
    callMethod(a, "b", "removeListener", {"nobody"}).trace();    // false
    EXPECT_EQ(traced(8, a), "1\nnull\ntrue\nfalse\nfalse\n");
}

TEST(Avm1AsBroadcaster, AddListenerCallsTheListsOwnPush) {
    // b._listeners = {length: 0, push: function(x) { trace("push " + x); }}
    ActionWriter pushFn;
    push(pushFn, {"push "});
    push(pushFn, {"x"}).getVariable().add2().trace();
    ActionWriter a;
    newObject(a, "b", "Object");
    push(a, {"b"}).getVariable();
    push(a, {1, "AsBroadcaster"}).getVariable();
    push(a, {"initialize"}).op(op::CallMethod).pop();
    push(a, {"b"}).getVariable();
    push(a, {"_listeners", "length", 0, "push"});
    defineFunction(a, "", {"x"}, pushFn);
    push(a, {2}).op(op::InitObject).op(op::SetMember);
    callMethod(a, "b", "addListener", {"me"}).trace();
    // Key takes listeners only from SWF 6 on.
    push(a, {"Key"}).getVariable();
    push(a, {"addListener"}).op(op::GetMember).op(op::TypeOf).trace();
    EXPECT_EQ(traced(8, a), "push me\ntrue\nfunction\n");
    // SWF 5 has no AsBroadcaster.initialize either: nothing to add to.
    EXPECT_EQ(traced(5, a), "undefined\nundefined\n");
}

TEST(Avm1Xml, ParsedAttributesEnumerateAsWrittenAndNodesTakeTheCurrentPrototype) {
    ActionWriter a;
    push(a, {"x", "<a p=\"1\" q=\"2\" />", 1, "XML"}).op(op::NewObject).setVariable();
    push(a, {"x"}).getVariable();
    push(a, {"firstChild"}).op(op::GetMember);
    push(a, {"attributes"}).op(op::GetMember).op(op::Enumerate2);
    a.trace().trace().pop();                     // p, q, then the end marker
    callMethod(a, "x", "toString", {}).trace();  // written back in the same order
    // XMLNode.prototype = {tag: "mine"}: later nodes inherit from it
    push(a, {"XMLNode"}).getVariable();
    push(a, {"prototype", "tag", "mine", 1}).op(op::InitObject).op(op::SetMember);
    push(a, {"y", "<b/>", 1, "XML"}).op(op::NewObject).setVariable();
    push(a, {"y"}).getVariable();
    push(a, {"firstChild"}).op(op::GetMember);
    push(a, {"tag"}).op(op::GetMember).trace();
    EXPECT_EQ(traced(8, a), "p\nq\n<a p=\"1\" q=\"2\" />\nmine\n");
}

TEST(Avm1Net, StreamStatusPropertiesArriveWithALocalConnection) {
    ActionWriter a;
    auto protoHas = [&](const char* name) {
        push(a, {name, 1, "NetStream"}).getVariable();
        push(a, {"prototype"}).op(op::GetMember);
        push(a, {"hasOwnProperty"}).op(op::CallMethod).trace();
    };
    newObject(a, "nc", "NetConnection");
    push(a, {"s", "nc"}).getVariable();
    push(a, {1, "NetStream"}).op(op::NewObject).setVariable();
    protoHas("time");                                      // false: not connected
    callMethod(a, "nc", "connect", {"rtmp://x"}).trace();  // false: no servers
    callMethod(a, "nc", "connect", {P::null()}).trace();   // true
    push(a, {"s", "nc"}).getVariable();
    push(a, {1, "NetStream"}).op(op::NewObject).setVariable();
    protoHas("time");  // true
    traceMember(a, "s", "currentFps");
    EXPECT_EQ(traced(8, a), "false\nfalse\ntrue\ntrue\n0\n");
}

TEST(Avm1Net, XmlSocketDataIsParsedForOnXml) {
    // s.onXML = function(d) { trace(d.firstChild.nodeName); }; s.onData("<m/>")
    ActionWriter onXml;
    push(onXml, {"d"}).getVariable();
    push(onXml, {"firstChild"}).op(op::GetMember);
    push(onXml, {"nodeName"}).op(op::GetMember).trace();
    ActionWriter a;
    newObject(a, "s", "XMLSocket");
    push(a, {"s"}).getVariable();
    push(a, {"onXML"});
    defineFunction(a, "", {"d"}, onXml);
    a.op(op::SetMember);
    callMethod(a, "s", "onData", {"<m/>"}).pop();
    callMethod(a, "s", "connect", {"localhost", 1024}).trace();  // no sockets: false
    EXPECT_EQ(traced(8, a), "m\nfalse\n");
}

TEST(Avm1Array, MethodsWorkOnArrayLikeObjects) {
    // o = {0: "a", 1: "b", length: 2}; Array.prototype.pop.call(o) ...
    ActionWriter a;
    push(a, {"o", "0", "a", "1", "b", "length", 2, 3}).op(op::InitObject).setVariable();
    auto generic = [&](const char* method, std::initializer_list<P> args) {
        std::vector<P> rev(args);
        for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
        push(a, {"o"}).getVariable();
        push(a, {static_cast<int>(args.size()) + 1, "Array"}).getVariable();
        push(a, {"prototype"}).op(op::GetMember);
        push(a, {method}).op(op::GetMember);
        push(a, {"call"}).op(op::CallMethod);
    };
    generic("pop", {});
    a.trace();                      // b
    traceMember(a, "o", "length");  // 1
    traceMember(a, "o", "1");       // undefined
    generic("push", {"c", "d"});
    a.trace();  // 3
    generic("concat", {"e"});
    a.trace();  // a,c,d,e
    generic("join", {"-"});
    a.trace();  // a-c-d
    EXPECT_EQ(traced(8, a), "b\n1\nundefined\n3\na,c,d,e\na-c-d\n");
}

TEST(Avm1Object, SetPropFlagsReadsFlagsFirstAndNamesAsText) {
    // ASSetPropFlags(o, undefined, 1): only the property named "undefined" is hidden.
    ActionWriter a;
    push(a, {"o", "a", 1, "undefined", 2, 2}).op(op::InitObject).setVariable();
    push(a, {1, P::undef(), "o"}).getVariable();
    push(a, {3, "ASSetPropFlags"}).op(op::CallFunction).pop();
    callMethod(a, "o", "isPropertyEnumerable", {"undefined"}).trace();
    callMethod(a, "o", "isPropertyEnumerable", {"a"}).trace();
    EXPECT_EQ(traced(8, a), "false\ntrue\n");
}

TEST(Avm1System, ContextMenuCopySharesBuiltInsAndCopiesCustomItems) {
    ActionWriter a;
    newObject(a, "m", "ContextMenu");
    push(a, {"m"}).getVariable();
    push(a, {"customItems", "hello", 1}).op(op::InitArray).op(op::SetMember);
    callMethod(a, "m", "copy", {}).pop();
    push(a, {"c"});
    callMethod(a, "m", "copy", {}).setVariable();
    push(a, {"c"}).getVariable();
    push(a, {"builtInItems"}).op(op::GetMember);
    push(a, {"m"}).getVariable();
    push(a, {"builtInItems"}).op(op::GetMember).op(op::StrictEquals).trace();  // true: shared
    push(a, {"c"}).getVariable();
    push(a, {"customItems"}).op(op::GetMember);
    push(a, {"0"}).op(op::GetMember).trace();  // undefined: a string has no copy()
    // hideBuiltInItems on a plain object gives it the items, all off
    newObject(a, "o", "Object");
    push(a, {"o"}).getVariable();
    push(a, {"f", "ContextMenu"}).getVariable();
    push(a, {"prototype"}).op(op::GetMember);
    push(a, {"hideBuiltInItems"}).op(op::GetMember).op(op::SetMember);
    callMethod(a, "o", "f", {}).pop();
    push(a, {"o"}).getVariable();
    push(a, {"builtInItems"}).op(op::GetMember);
    push(a, {"zoom"}).op(op::GetMember).trace();  // false
    EXPECT_EQ(traced(8, a), "true\nundefined\nfalse\n");
}

TEST(Avm1System, StageAlignKeepsTheNamedEdgesInOrderAndDisplayStateIsHeard) {
    ActionWriter a;
    auto setAlign = [&](const char* v) {
        push(a, {"Stage"}).getVariable();
        push(a, {"align", v}).op(op::SetMember);
        traceMember(a, "Stage", "align");
    };
    setAlign("bR");       // RB
    setAlign("xtl");      // LT
    setAlign("nothing");  // only the t counts: T
    setAlign("X");        // empty
    // A listener hears each change of displayState as it is made.
    ActionWriter heard;
    push(heard, {"full"}).getVariable().trace();
    push(a, {"l", "onFullScreen"});
    defineFunction(a, "", {"full"}, heard);
    push(a, {1}).op(op::InitObject).setVariable();
    push(a, {"l"}).getVariable();
    push(a, {1, "Stage"}).getVariable();
    push(a, {"addListener"}).op(op::CallMethod).pop();
    for (const char* state : {"FULLSCREEN", "huge", "fullScreen", "normal"}) {
        push(a, {"Stage"}).getVariable();
        push(a, {"displayState", state}).op(op::SetMember);
        traceMember(a, "Stage", "displayState");
    }
    EXPECT_EQ(traced(8, a),
              "RB\nLT\nT\n\ntrue\nfullScreen\nfullScreen\nfullScreen\nfalse\nnormal\n");
}

TEST(Avm1System, CameraKeepsMotionAndQualityWithinRange) {
    ActionWriter a;
    push(a, {"cam", 0, "Camera"}).getVariable();
    push(a, {"get"}).op(op::CallMethod).setVariable();
    traceMember(a, "cam", "width");  // -1: nothing captured
    callMethod(a, "cam", "setMotionLevel", {200, 3000}).pop();
    traceMember(a, "cam", "motionLevel");          // 100
    traceMember(a, "cam", "motionTimeout");        // 3000
    callMethod(a, "cam", "setQuality", {}).pop();  // no arguments: unchanged
    callMethod(a, "cam", "setQuality", {18000, -5}).pop();
    traceMember(a, "cam", "bandwidth");  // 18000
    traceMember(a, "cam", "quality");    // 0
    EXPECT_EQ(traced(8, a), "-1\n100\n3000\n18000\n0\n");
}

// The player presents itself as the Windows stand-alone player: $version, the capabilities
// and their query string agree, and Query (ASnative 11, 0) writes them onto any object.
TEST(Avm1System, CapabilitiesAreOneTableAskedByQuery) {
    Stage s(8);
    auto& vm = s.vm;
    using swf::avm1::Value;
    Value caps = vm.get(vm.get(vm.global, "System"), "capabilities");
    Value o(vm.newObject());
    Value query = vm.callMethod(Value(vm.global), "ASnative", {Value(11), Value(0)});
    EXPECT_TRUE(vm.call(query, o.o, {}).isUndefined());
    const std::pair<const char*, const char*> expected[] = {{"version", "WIN 9,0,999,0"},
                                                            {"os", "Windows XP"},
                                                            {"manufacturer", "Macromedia Windows"},
                                                            {"playerType", "StandAlone"},
                                                            {"screenResolutionX", "1024"},
                                                            {"hasAudio", "true"},
                                                            {"hasIME", "false"},
                                                            {"language", "en"}};
    for (auto [name, value] : expected) {
        EXPECT_EQ(vm.toString(vm.get(caps, name)), value) << name;
        EXPECT_EQ(vm.toString(vm.get(o, name)), value) << name;
    }
    EXPECT_EQ(
        vm.toString(vm.get(o, "serverString")),
        "A=t&SA=t&SV=t&EV=t&MP3=t&AE=f&VE=f&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=WIN%209%2C0%2C999%2C0&"
        "M=Adobe%20Windows&R=1024x768&DP=96&COL=color&AR=1.0&OS=Windows%20XP&L=en&IME=f&"
        "PT=StandAlone&AVD=f&LFD=f&WD=f&TLS=f");
    EXPECT_EQ(vm.toString(vm.get(vm.clipObject(&s), "$version")), "WIN 9,0,999,0");
}

// A menu item keeps its switches as given (defaults only for missing ones); copying menus
// and items is there from Flash 7 on.
TEST(Avm1System, MenuItemsKeepTheirArgumentsAndCopyFromVersion7) {
    using swf::avm1::Value;
    for (int version : {6, 7}) {
        Stage s(version);
        auto& vm = s.vm;
        Value item = vm.construct(vm.get(vm.global, "ContextMenuItem"),
                                  {Value(123), Value(123), Value(123), Value(123), Value(123)});
        for (const char* n : {"caption", "separatorBefore", "enabled", "visible"})
            EXPECT_EQ(vm.toString(vm.get(item, n)), "123") << n;
        Value bare = vm.construct(vm.get(vm.global, "ContextMenuItem"), {});
        EXPECT_EQ(vm.toString(vm.get(bare, "separatorBefore")), "false");
        EXPECT_EQ(vm.toString(vm.get(bare, "visible")), "true");
        Value copy = vm.callMethod(item, "copy", {});
        if (version >= 7)
            EXPECT_EQ(vm.toString(vm.get(copy, "enabled")), "123");
        else
            EXPECT_TRUE(copy.isUndefined());
        Value menu = vm.construct(vm.get(vm.global, "ContextMenu"), {});
        EXPECT_EQ(vm.get(menu, "copy").isUndefined(), version < 7);
    }
}

// ASnative table 101 is Object.prototype's methods, callable on any object, even one without
// a prototype.
TEST(Avm1Object, NativeTable101IsObjectsMethods) {
    Stage s(7);
    auto& vm = s.vm;
    using swf::avm1::Args;
    using swf::avm1::Value;
    swf::avm1::Object* bare = vm.newObject(nullptr);
    vm.set(bare, "own", Value(1));
    auto native = [&](int i) {
        return vm.callMethod(Value(vm.global), "ASnative", {Value(101), Value(i)});
    };
    const struct {
        int index;
        Args args;
        const char* result;
    } cases[] = {{5, {Value("own")}, "true"},
                 {5, {Value("missing")}, "false"},
                 {7, {Value("own")}, "true"},
                 {4, {}, "[object Object]"}};
    for (const auto& c : cases)
        EXPECT_EQ(vm.toString(vm.call(native(c.index), bare, c.args)), c.result) << c.index;
}
