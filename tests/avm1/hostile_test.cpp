// Movies written to break the player: nesting, recursion, runaway time and memory, the stage
// under the mouse, the clip removal pass and stored objects. Each must end its own scripts
// with at most a log line and leave the program running.

#include <chrono>

#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"

using namespace avm1test;

namespace {

bool logged(const Stage& s, std::string_view part) {
    for (const auto& l : s.logs)
        if (l.find(part) != std::string::npos) return true;
    return false;
}

// `levels` blocks each opened before the last: a With or a Try whose size runs to the end.
ActionWriter nested(uint8_t blockOp, int levels) {
    ActionWriter a;
    for (int i = 0; i < levels; ++i) {
        std::vector<uint8_t> b;
        if (blockOp == 0x94) {
            push(a, {"x"});  // a string stands in as its wrapper object
            putU16(b, 0xffff);
        } else {
            b.push_back(0);  // no catch, no finally
            putU16(b, 0xffff);
            putU16(b, 0);
            putU16(b, 0);
            putString(b, "e");
        }
        a.op(blockOp, b);
    }
    push(a, {"innermost"}).trace();
    return a;
}

}  // namespace

TEST(Avm1Hostile, DeepNestingEndsTheListNotTheProgram) {
    const struct {
        const char* what;
        ActionWriter code;
    } cases[] = {{"with", nested(0x94, 15000)}, {"try", nested(0x8f, 15000)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Stage s(7);
        EXPECT_EQ(s.run(c.code), "");
        EXPECT_TRUE(logged(s, "256 levels"));
        ActionWriter next;
        push(next, {"next list"}).trace();
        EXPECT_EQ(s.run(next), "next list\n");
    }
}

TEST(Avm1Hostile, AFrameThatCallsItselfEndsAsRecursionDoes) {
    swftest::SwfBuilder b(6);
    ActionWriter self;
    push(self, {"in"}).trace();
    push(self, {1}).op(0x9e, {});  // Call the first frame: these very actions
    b.doAction(self);
    b.showFrame();
    ActionWriter after;
    push(after, {"frame 2"}).trace();
    after.stop();
    b.doAction(after);
    b.showFrame();
    auto r = play(b);
    const std::string first = r->take();
    const size_t ins = std::count(first.begin(), first.end(), '\n');
    EXPECT_GE(ins, 100u);
    EXPECT_LE(ins, 257u);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "frame 2\n");
}

// A movie's ScriptLimits may lower the recursion it is allowed, never raise it past ours.
TEST(Avm1Hostile, AMoviesScriptLimitsLowerTheRecursionNeverRaiseIt) {
    const struct {
        int asked;  // 0: no ScriptLimits tag
        size_t most;
    } cases[] = {{0, 257}, {20, 21}, {1000, 257}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        swftest::SwfBuilder b(6);
        if (c.asked) {
            std::vector<uint8_t> limits;
            putU16(limits, static_cast<unsigned>(c.asked));
            putU16(limits, 3);  // seconds
            b.rawTag(65, limits);
        }
        ActionWriter self;
        push(self, {"in"}).trace();
        push(self, {1}).op(0x9e, {});  // Call the first frame: these very actions
        self.stop();
        b.doAction(self);
        b.showFrame();
        auto r = play(b);
        const std::string out = r->take();
        const size_t ins = std::count(out.begin(), out.end(), '\n');
        EXPECT_GE(ins, c.most - 2);
        EXPECT_LE(ins, c.most);
        EXPECT_EQ(swf::movieInfo(r->player->movie()).scriptTimeoutSeconds, c.asked ? 3 : 0);
    }
}

TEST(Avm1Hostile, AnAbortOutsideAnyScriptStaysInThePlayer) {
    // The root's prototype chain runs in a circle: the player's own lookup of onEnterFrame,
    // outside every script, walks it until the chain limit aborts.
    swftest::SwfBuilder b(6);
    ActionWriter loop;
    push(loop, {"o", 0, "Object"}).op(op::NewObject).op(op::DefineLocal);
    push(loop, {"o"}).getVariable();
    push(loop, {"__proto__", "_root"}).getVariable().op(op::SetMember);
    push(loop, {"_root"}).getVariable();
    push(loop, {"__proto__", "o"}).getVariable().op(op::SetMember);
    push(loop, {"set"}).trace();
    b.doAction(loop);
    b.showFrame();
    ActionWriter after;
    push(after, {"frame 2"}).trace();
    b.doAction(after);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "set\n");
    r->player->advanceFrame();
    r->player->handleEvent(swf::InputEvent::mouseMove(10, 10));
    r->player->advanceFrame();
    EXPECT_NE(r->take().find("frame 2"), std::string::npos);
}

TEST(Avm1Hostile, OneTimeBudgetForAllScriptsThenTheyStopForGood) {
    // A native that calls a short function over and over: each call is far below any
    // per-call check, together they are not.
    swf::avm1::VmLimits limits;
    limits.scriptTime = std::chrono::milliseconds(100);
    Stage s(7, limits);
    std::vector<swf::avm1::Value> elems;
    for (int i = 200000; i > 0; --i) elems.emplace_back(i);
    s.vm.set(s.vm.global, "big", swf::avm1::Value(s.vm.newArray(std::move(elems))));
    ActionWriter cmp;
    push(cmp, {"a"}).getVariable();
    push(cmp, {"b"}).getVariable().op(op::Sub).op(op::Return);
    ActionWriter a;
    defineFunction(a, "", {"a", "b"}, cmp);
    push(a, {1, "big"}).getVariable();
    push(a, {"sort"}).op(op::CallMethod).op(op::Pop);
    push(a, {"sorted"}).trace();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.run(a), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(s.vm.scriptsStopped());
    EXPECT_EQ(s.logs.size(), 1u);
    // Later lists, timers and handlers of this movie no longer run, and say nothing more.
    ActionWriter next;
    push(next, {"next"}).trace();
    EXPECT_EQ(s.run(next), "");
    EXPECT_EQ(s.logs.size(), 1u);
}

TEST(Avm1Hostile, MemoryBudgetStopsScriptsThatAskForMore) {
    // An 8 MB string made by doubling, then copied without end; a huge array; that string
    // split into characters. Each stays under the per-object caps but not under the budget.
    ActionWriter bigString;
    push(bigString, {"s", "x"});
    for (int i = 0; i < 23; ++i) bigString.op(op::Dup).add2();
    bigString.op(op::DefineLocal);
    ActionWriter dups = bigString;
    push(dups, {"s"}).getVariable();
    dups.op(op::Dup);
    std::vector<uint8_t> back;
    putU16(back, static_cast<uint16_t>(-6));  // onto the Dup again
    dups.op(0x99, back);
    ActionWriter array;
    push(array, {16000000, 1, "Array"}).op(op::NewObject).op(op::Pop);
    ActionWriter split = bigString;
    push(split, {"", 1, "s"}).getVariable();
    push(split, {"split"}).op(op::CallMethod).op(op::Pop);
    const struct {
        const char* what;
        const ActionWriter& code;
    } cases[] = {{"copies of a string", dups}, {"an array", array}, {"a split", split}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        swf::avm1::VmLimits limits;
        limits.maxHeapGrowth = size_t{64} << 20;
        Stage s(7, limits);
        ActionWriter code = c.code;
        push(code, {"not reached"}).trace();
        EXPECT_EQ(s.run(code), "");
        EXPECT_TRUE(logged(s, "memory limit of 64 MiB"));
        EXPECT_TRUE(s.vm.scriptsStopped());
    }
}

namespace {

std::vector<uint8_t> bytesOf(ActionWriter a) {
    a.end();
    return a.bytes();
}

}  // namespace

// Button handlers that take the button's own timeline off the stage while the mouse is over
// it, then the mouse goes on: later events must not reach what was removed.
TEST(Avm1Hostile, ButtonsRemovedByTheirOwnHandlers) {
    for (uint16_t condition : {uint16_t(0x01), uint16_t(0x04), uint16_t(0x08), uint16_t(0x02)}) {
        SCOPED_TRACE(condition);
        swftest::SwfBuilder b(6, 200, 100);
        const uint16_t rect = b.defineRect(1000, 500, 2000, 1000, {255, 0, 0});
        ActionWriter leave;
        push(leave, {"gone"}).trace();
        call1(leave, "_root", "gotoAndStop", 2);
        swftest::ButtonDesc d;
        d.records.push_back({true, true, true, true, rect, 1, {}});
        d.actions = {{condition, bytesOf(leave)}};
        swftest::SpriteBuilder s;
        s.place(b.defineButton2(d), 1);
        s.showFrame();
        b.place(b.defineSprite(s), 1, {}, {}, std::string("mc"));
        ActionWriter stop;
        stop.stop();
        b.doAction(stop);
        b.showFrame();
        b.remove(1);
        b.showFrame();
        auto r = play(b);
        auto& p = *r->player;
        p.handleEvent(swf::InputEvent::mouseMove(100, 50));
        p.handleEvent(swf::InputEvent::mouseDown(100, 50));
        p.handleEvent(swf::InputEvent::mouseUp(100, 50));
        p.handleEvent(swf::InputEvent::mouseMove(190, 90));
        p.handleEvent(swf::InputEvent::mouseMove(100, 50));
        p.handleEvent(swf::InputEvent::mouseDown(100, 50));
        p.handleEvent(swf::InputEvent::mouseUp(100, 50));
        p.advanceFrame();
        EXPECT_EQ(r->take(), "gone\n");
    }
}

// A script keeps a button and a clip acting as one after their timelines left the stage
// (one removed by the clip's own onRollOver); frames later the mouse moves and the script
// asks them again.
TEST(Avm1Hostile, ObjectsKeptAfterTheirTimelinesLeft) {
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t rect = b.defineRect(1000, 500, 2000, 1000, {255, 0, 0});
    swftest::ButtonDesc d;
    d.records.push_back({true, true, true, true, rect, 1, {}});
    swftest::SpriteBuilder s;
    s.place(b.defineButton2(d), 1, {}, {}, std::string("btn"));
    s.showFrame();
    b.place(b.defineSprite(s), 1, {}, {}, std::string("mc"));
    swftest::SpriteBuilder box;
    box.place(rect, 1);
    box.showFrame();
    b.place(b.defineSprite(box), 2, {}, {}, std::string("box"));
    ActionWriter first;
    push(first, {"keep"});
    push(first, {"mc"}).getVariable();
    push(first, {"btn"}).op(op::GetMember).setVariable();
    push(first, {10, "copy", 2, "box"}).getVariable();
    push(first, {"duplicateMovieClip"}).op(op::CallMethod).op(op::Pop);
    ActionWriter bye;
    push(bye, {"bye"}).trace();
    push(bye, {0, "this"}).getVariable();
    push(bye, {"removeMovieClip"}).op(op::CallMethod).op(op::Pop);
    push(first, {"copy"}).getVariable();
    push(first, {"onRollOver"});
    defineFunction(first, "", {}, bye);
    first.op(op::SetMember);
    b.doAction(first);
    b.showFrame();
    b.remove(1);
    b.showFrame();
    ActionWriter later;
    push(later, {"keep"}).getVariable();
    push(later, {"_x"}).op(op::GetMember).trace();
    later.stop();
    b.doAction(later);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.advanceFrame();
    EXPECT_EQ(r->take(), "bye\nundefined\n");
}

// a's onUnload removes b, whose onUnload removes c: the removal pass runs again inside
// itself, and every handler runs once, each after the script that removed its clip.
TEST(Avm1Hostile, UnloadHandlersRemovingOtherClips) {
    swftest::SwfBuilder b(6, 200, 100);
    ActionWriter first;
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i) {
        push(first, {10 + i, names[i], 2, "_root"}).getVariable();
        push(first, {"createEmptyMovieClip"}).op(op::CallMethod).op(op::Pop);
        ActionWriter body;
        push(body, {(std::string(names[i]) + " unload").c_str()}).trace();
        if (i < 2) {
            push(body, {0, names[i + 1]}).getVariable();
            push(body, {"removeMovieClip"}).op(op::CallMethod).op(op::Pop);
        }
        push(first, {names[i]}).getVariable();
        push(first, {"onUnload"});
        defineFunction(first, "", {}, body);
        first.op(op::SetMember);
    }
    b.doAction(first);
    b.showFrame();
    ActionWriter second;
    push(second, {0, "a"}).getVariable();
    push(second, {"removeMovieClip"}).op(op::CallMethod).op(op::Pop);
    push(second, {"end"}).trace();
    second.stop();
    b.doAction(second);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "end\na unload\nb unload\nc unload\n");
}
