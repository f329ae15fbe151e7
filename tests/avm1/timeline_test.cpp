// The order of things on timelines: frames the file holds against those its header declares,
// init actions, classes registered for symbols, and which clip events a placement answers.

#include <algorithm>

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"

using namespace avm1test;

namespace {

ActionWriter say(const char* s) {
    ActionWriter a;
    push(a, {s}).trace();
    return a;
}

// trace(name.prop)
ActionWriter traceProperty(const char* name, const char* prop) {
    ActionWriter a;
    push(a, {name}).getVariable();
    push(a, {prop}).op(op::GetMember).trace();
    return a;
}

// ExportAssets of one character.
void exportAs(swftest::SwfBuilder& b, uint16_t id, const char* name) {
    std::vector<uint8_t> body;
    putU16(body, 1);
    putU16(body, id);
    putString(body, name);
    b.rawTag(56, body);
}

std::vector<uint8_t> initActionBody(uint16_t spriteId, const ActionWriter& a) {
    std::vector<uint8_t> body;
    putU16(body, spriteId);
    body.insert(body.end(), a.bytes().begin(), a.bytes().end());
    body.push_back(0);
    return body;
}

}  // namespace

// ---------------------------------------------------------------- frames held and declared

TEST(Timeline, PlayheadWaitsWhenTheFileHoldsFewerFramesThanDeclared) {
    swftest::SwfBuilder b(6);
    ActionWriter a = say("frame");
    push(a, {"_root"}).getVariable();
    push(a, {"_totalframes"}).op(op::GetMember).trace();
    push(a, {"_root"}).getVariable();
    push(a, {"_framesloaded"}).op(op::GetMember).trace();
    b.doAction(a);
    b.showFrame();
    b.setFrameCountOverride(3);
    auto r = play(b);
    for (int i = 0; i < 4; ++i) r->player->advanceFrame();
    EXPECT_EQ(r->take(), "frame\n3\n1\n");
    EXPECT_EQ(r->player->currentFrame(), 0);
}

TEST(Timeline, TagsAfterTheLastShowFrameRunOnceAsAFrameOfTheirOwn) {
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    b.doAction(say("a1"));
    b.showFrame();
    b.doAction(say("a2"));
    b.doInitAction(id, say("i1"));
    b.doAction(say("a3"));
    b.setFrameCountOverride(1);
    auto r = play(b);
    for (int i = 0; i < 4; ++i) r->player->advanceFrame();
    EXPECT_EQ(r->take(), "a1\ni1\na2\na3\n");
}

TEST(Timeline, MovieHoldingItsDeclaredFramesLoops) {
    swftest::SwfBuilder b(6);
    b.doAction(say("one"));
    b.showFrame();
    b.doAction(say("two"));
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "one\ntwo\none\n");
}

TEST(Timeline, SpriteDeclaringNoFramesHasNone) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder empty;  // no ShowFrame: zero frames declared
    const uint16_t none = b.defineSprite(empty);
    swftest::SpriteBuilder one;
    one.showFrame();
    const uint16_t single = b.defineSprite(one);
    b.place(none, 1, {}, {}, std::string("z"));
    b.place(single, 2, {}, {}, std::string("o"));
    ActionWriter a = traceProperty("z", "_totalframes");
    for (const auto& part :
         {traceProperty("z", "_currentframe"), traceProperty("z", "_framesloaded"),
          traceProperty("o", "_totalframes"), traceProperty("o", "_currentframe")})
        for (uint8_t x : part.bytes()) a.op(x);
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "0\n0\n0\n1\n1\n");
}

// ---------------------------------------------------------------- init actions

TEST(Timeline, InitActionsInsideASpriteRunWithItsFirstInstanceOncePerTarget) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder target;
    target.showFrame();
    const uint16_t targetId = b.defineSprite(target);
    swftest::SpriteBuilder holder;
    holder.rawTag(59, initActionBody(targetId, say("init from holder")));
    holder.doAction(say("holder frame"));
    holder.showFrame();
    const uint16_t holderId = b.defineSprite(holder);
    swftest::SpriteBuilder late;
    late.rawTag(59, initActionBody(targetId, say("init again")));
    late.showFrame();
    const uint16_t lateId = b.defineSprite(late);
    b.place(holderId, 1);
    b.place(holderId, 2);
    b.place(lateId, 3);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "init from holder\nholder frame\nholder frame\n");
}

// ---------------------------------------------------------------- registered classes

// #initclip registers C for the symbol; C traces its clip's name and whether the prototype
// was already in place; C.prototype.onLoad traces too.
TEST(Timeline, ClipsOnTheTimelineAreBuiltByTheirRegisteredClass) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder s;
    s.doAction(say("kid frame"));
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    exportAs(b, id, "sym");
    ActionWriter init;
    {
        ActionWriter ctor;
        push(ctor, {"ctor "});
        push(ctor, {"this"}).getVariable();
        push(ctor, {"_name"}).op(op::GetMember).add2().trace();
        push(ctor, {"this"}).getVariable();
        push(ctor, {"marker"}).op(op::GetMember).trace();
        defineFunction(init, "C", {}, ctor);
        push(init, {"C"}).getVariable();
        push(init, {"prototype"}).op(op::GetMember);
        push(init, {"marker", "from prototype"}).op(op::SetMember);
        push(init, {"C"}).getVariable();
        push(init, {"prototype"}).op(op::GetMember);
        push(init, {"onLoad"});
        defineFunction(init, "", {}, say("onLoad"));
        init.op(op::SetMember);
        push(init, {"C"}).getVariable();
        push(init, {"sym", 2, "Object"}).getVariable();
        push(init, {"registerClass"}).op(op::CallMethod).pop();
    }
    b.doInitAction(id, init);
    b.place(id, 1, {}, {}, std::string("kid"));
    {
        ActionWriter a = say("root frame");
        push(a, {"kid"}).getVariable();
        push(a, {"__constructor__"}).op(op::GetMember);
        push(a, {"C"}).getVariable();
        a.op(op::StrictEquals).trace();
        b.doAction(a);
    }
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "ctor kid\nfrom prototype\nonLoad\nkid frame\nroot frame\ntrue\n");
}

// A name exported twice names the character of its last export.
TEST(Timeline, ANameExportedTwiceNamesItsLastCharacter) {
    swftest::SwfBuilder b(6);
    for (const char* which : {"first", "last"}) {
        swftest::SpriteBuilder s;
        s.doAction(say(which));
        s.showFrame();
        exportAs(b, b.defineSprite(s), "sym");
    }
    ActionWriter a;
    push(a, {1, "x", "sym", 3, "_root"}).getVariable();
    push(a, {"attachMovie"}).op(op::CallMethod).pop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "last\n");
}

// An onLoad the parent's frame script gives a clip it just placed is not called.
TEST(Timeline, OnLoadSetByTheParentsFrameScriptIsTooLate) {
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    b.place(id, 1, {}, {}, std::string("kid"));
    ActionWriter a;
    push(a, {"kid"}).getVariable();
    push(a, {"onLoad"});
    defineFunction(a, "", {}, say("late onLoad"));
    a.op(op::SetMember);
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "");
}

// ---------------------------------------------------------------- objects that are not clips

TEST(Timeline, NamedShapesAreReachedAsTheClipHoldingThem) {
    swftest::SwfBuilder b(7);
    const uint16_t shape = b.defineRect(0, 0, 200, 200, {255, 0, 0, 255});
    b.place(shape, 3, {}, {}, std::string("sh"));
    ActionWriter a;
    push(a, {"sh"}).getVariable().op(op::TypeOf).trace();
    push(a, {"sh"}).getVariable();
    push(a, {"_root"}).getVariable();
    a.op(op::StrictEquals).trace();
    // getInstanceAtDepth(-16381): the shape's depth, as scripts count depths
    push(a, {-16381, 1, "_root"}).getVariable();
    push(a, {"getInstanceAtDepth"}).op(op::CallMethod).trace();
    push(a, {-16380, 1, "_root"}).getVariable();
    push(a, {"getInstanceAtDepth"}).op(op::CallMethod).trace();
    push(a, {"nothing"}).getVariable().op(op::TypeOf).trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "movieclip\ntrue\n_level0\nundefined\nundefined\n");
}

// getInstanceAtDepth is Flash 7's; it reads any depth but undefined as a whole number, one that
// is not a number as 0.
TEST(Timeline, GetInstanceAtDepthTakesWholeDepthsFromSwf7) {
    for (const int version : {6, 7}) {
        swftest::SwfBuilder b(version);
        ActionWriter a;
        push(a, {0, "a", 2, "_root"}).getVariable();
        push(a, {"createEmptyMovieClip"}).op(op::CallMethod).pop();
        for (P depth : {P("x"), P(0.5), P(-0.5)}) {
            push(a, {depth, 1, "_root"}).getVariable();
            push(a, {"getInstanceAtDepth"}).op(op::CallMethod).op(op::TypeOf).trace();
        }
        a.pushUndefined();
        push(a, {1, "_root"}).getVariable();
        push(a, {"getInstanceAtDepth"}).op(op::CallMethod).op(op::TypeOf).trace();
        b.doAction(a);
        b.showFrame();
        auto r = play(b);
        EXPECT_EQ(r->take(), version >= 7 ? "movieclip\nmovieclip\nmovieclip\nundefined\n"
                                          : "undefined\nundefined\nundefined\nundefined\n")
            << version;
    }
}

// ---------------------------------------------------------------- waiting for frames

namespace {

// ifFrameLoaded(frame) { trace(text) } as WaitForFrame2 skipping one action list of one push
// and one trace.
void ifFrameLoaded(ActionWriter& a, P frame, const char* text) {
    push(a, {frame});
    const uint8_t skip = 2;
    a.op(0x8D, std::span<const uint8_t>(&skip, 1));
    push(a, {text}).trace();
}

}  // namespace

TEST(Timeline, WaitForFrameSkipsFramesNotThereAndTakesTheRest) {
    swftest::SwfBuilder b(6);
    ActionWriter a;
    ifFrameLoaded(a, 1, "frame 1");
    ifFrameLoaded(a, 2, "frame 2 of 3");
    ifFrameLoaded(a, -43, "before the first");
    ifFrameLoaded(a, "no such label", "unknown label");
    ifFrameLoaded(a, 16001, "frame 16001");
    ifFrameLoaded(a, 16002, "frame 16002");
    ifFrameLoaded(a, 2147483647.0, "frame 2^31-1");
    b.doAction(a);
    b.showFrame();
    b.setFrameCountOverride(3);  // two frames never come
    auto r = play(b);
    EXPECT_EQ(r->take(), "frame 1\nbefore the first\nunknown label\n");
}

TEST(Timeline, WaitForFrameInAFullyLoadedMovieStopsOnlyPastFrame16001) {
    swftest::SwfBuilder b(6);
    ActionWriter a;
    ifFrameLoaded(a, 16001, "frame 16001");
    ifFrameLoaded(a, 16002, "frame 16002");
    // WaitForFrame with the frame inline: frame 5 (0-based 4) of a one-frame movie
    const uint8_t inlineArgs[] = {4, 0, 2};
    a.op(0x8A, inlineArgs);
    push(a, {"inline frame 5"}).trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "frame 16001\ninline frame 5\n");
}

// ---------------------------------------------------------------- gotos

// The frames gotos send the root and its clips to run in the order the gotos came: the root's
// next frame waits for the first frame of the clip its frame placed, whose goto waits in turn;
// a clip the goto placed starts after the frame it went to.
TEST(Timeline, FramesGotosQueueRunInTheOrderOfTheGotos) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder s;
    ActionWriter s1 = say("clip 1");
    s1.gotoFrame(1).stop();
    s.doAction(s1);
    s.showFrame();
    s.doAction(say("clip 2"));
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    ActionWriter r1 = say("root 1");
    r1.gotoFrame(1).stop();
    b.doAction(r1);
    b.place(id, 1, {}, {}, std::string("clip"));
    b.showFrame();
    swftest::SpriteBuilder late;
    late.doAction(say("late clip"));
    late.showFrame();
    b.place(b.defineSprite(late), 2, {}, {}, std::string("late"));
    b.doAction(say("root 2"));
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "root 1\nclip 1\nroot 2\nclip 2\nlate clip\n");
}

TEST(Timeline, ClipsAGotoPlacesStartInTheOrderOfTheirPlacements) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder first;
    first.doAction(say("placed first, deeper"));
    first.showFrame();
    const uint16_t firstId = b.defineSprite(first);
    swftest::SpriteBuilder second;
    second.doAction(say("placed second, shallower"));
    second.showFrame();
    const uint16_t secondId = b.defineSprite(second);
    ActionWriter jump;
    jump.gotoFrame(3).stop();
    b.doAction(jump);
    b.showFrame();
    b.place(firstId, 3);
    b.showFrame();
    b.place(secondId, 1);
    b.showFrame();
    // Within one frame too: the order of the tags, not of the depths.
    b.place(firstId, 9);
    b.place(secondId, 8);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(),
              "placed first, deeper\nplaced second, shallower\nplaced first, deeper\n"
              "placed second, shallower\n");
    EXPECT_EQ(r->player->currentFrame(), 3);
}

TEST(Timeline, AGotoInOnEnterFrameTakesTheTickItsFrameWasStoppedOn) {
    // onEnterFrame = function() { delete onEnterFrame; trace("enter"); gotoAndPlay(3) };
    // trace("one"); stop() -- the stopped first frame must not run again after the goto.
    swftest::SwfBuilder b(6);
    ActionWriter body;
    push(body, {"onEnterFrame"}).op(0x3b).op(op::Pop);  // Delete2
    push(body, {"enter"}).trace();
    body.gotoFrame(2).play();
    ActionWriter one;
    push(one, {"onEnterFrame"});
    defineFunction(one, "", {}, body);
    one.setVariable();
    push(one, {"one"}).trace();
    one.stop();
    b.doAction(one);
    b.showFrame();
    b.doAction(say("two"));
    b.showFrame();
    ActionWriter three = say("three");
    three.stop();
    b.doAction(three);
    b.showFrame();
    auto r = play(b);
    for (int i = 0; i < 3; ++i) r->player->advanceFrame();
    EXPECT_EQ(r->take(), "one\nenter\nthree\n");
    EXPECT_EQ(r->player->currentFrame(), 2);
}

TEST(Timeline, LabelsDifferingInCaseGoToTheFirstAndTwoGotosRunBothFrames) {
    // The sprite's frame 2 is labelled "b" and frame 3 "B"; each frame traces its number.
    swftest::SwfBuilder b(7);
    swftest::SpriteBuilder s;
    ActionWriter first;
    first.stop();
    s.doAction(first);
    s.showFrame();
    s.label("b");
    s.doAction(say("two"));
    s.showFrame();
    s.label("B");
    s.doAction(say("three"));
    s.showFrame();
    b.place(b.defineSprite(s), 1, {}, {}, std::string("s"));
    b.showFrame();
    ActionWriter a;
    // Once the sprite runs: s.gotoAndStop("B"); s.gotoAndStop(3)
    push(a, {"B", 1, "s"}).getVariable();
    push(a, {"gotoAndStop"}).op(op::CallMethod).pop();
    push(a, {3, 1, "s"}).getVariable();
    push(a, {"gotoAndStop"}).op(op::CallMethod).pop();
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "two\nthree\n");
}

TEST(Timeline, GoingBackKeepsWhatStandsAtScriptDepths) {
    // Frame 2 places one clip at a timeline depth and one at 16390; going back to frame 1
    // takes away only the first.
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    ActionWriter look;
    push(look, {"low"}).getVariable().op(op::TypeOf).trace();
    push(look, {"high"}).getVariable().op(op::TypeOf).trace();
    b.doAction(look);
    b.showFrame();
    b.place(id, 1, {}, {}, std::string("low"));
    b.place(id, 16390, {}, {}, std::string("high"));
    ActionWriter back;
    back.gotoFrame(0).stop();
    b.doAction(back);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "undefined\nundefined\nundefined\nmovieclip\n");
}

TEST(Timeline, AGotoPastTheLastFrameLandsThereWithoutItsActions) {
    struct Case {
        uint16_t target;  // 0-based, as ActionGotoFrame names frames
        const char* traced;
    };
    for (const Case& c : {Case{2, "one\nlast\n"}, Case{9, "one\n"}, Case{60000, "one\n"}}) {
        swftest::SwfBuilder b(6);
        b.showFrame();
        ActionWriter one;
        push(one, {"one"}).trace();
        one.gotoFrame(c.target).stop();
        b.doAction(one);
        b.showFrame();
        b.doAction(say("last"));
        b.showFrame();
        auto r = play(b);
        r->take();
        r->player->advanceFrame();
        EXPECT_EQ(r->take(), c.traced) << c.target;
        EXPECT_EQ(r->player->currentFrame(), 2) << c.target;
        r->player->advanceFrame();
        EXPECT_EQ(r->take(), "") << "stopped on the last frame";
    }
}

TEST(Timeline, AJumpPastTheEndOfADoActionGoesOnInsideTheNextOne) {
    // First list: trace("a"), then a jump out of it to the trace("b") of the frame's second
    // list, which afterwards runs whole as well.
    swftest::SwfBuilder b(6);
    b.showFrame();
    ActionWriter first;
    push(first, {"a"}).trace();
    const uint8_t placeholder[] = {0x77, 0x77};
    first.op(0x99, placeholder);
    b.doAction(first);
    ActionWriter second;
    push(second, {"skipped"}).trace();
    push(second, {"b"}).trace();
    b.doAction(second);
    b.showFrame();
    std::vector<uint8_t> bytes = b.bytes();
    const uint8_t jump[] = {0x99, 0x02, 0x00, 0x77, 0x77};
    const uint8_t pushB[] = {0x96, 0x03, 0x00, 0x00, 'b', 0x00};
    const auto j = std::search(bytes.begin(), bytes.end(), std::begin(jump), std::end(jump));
    const auto t = std::search(bytes.begin(), bytes.end(), std::begin(pushB), std::end(pushB));
    ASSERT_TRUE(j != bytes.end() && t != bytes.end());
    const auto offset = static_cast<int16_t>((t - bytes.begin()) - (j - bytes.begin() + 5));
    j[3] = static_cast<uint8_t>(offset);
    j[4] = static_cast<uint8_t>(static_cast<uint16_t>(offset) >> 8);

    swf::Player player(swf::loadMovie(bytes));
    std::string traced;
    player.setTraceSink([&](std::string_view l) { (traced += l) += "\n"; });
    player.advanceFrame();
    EXPECT_EQ(traced, "a\nb\nskipped\nb\n");
}

// The stack and constant pool are the player's, not one list's: a frame's lists share them, a
// function that runs off its end and a called frame leave their values to the caller, while
// each keeps a constant pool of its own.
TEST(Timeline, WhatCodeLeavesOnTheStackIsTheNextCodesToUse) {
    auto pool = [](ActionWriter& a, const char* s) {
        std::vector<uint8_t> b;
        putU16(b, 1);
        putString(b, s);
        a.op(0x88, b);
    };
    auto pushConstant = [](ActionWriter& a) {
        const uint8_t first[] = {8, 0};
        a.op(0x96, first);
    };
    struct Case {
        const char* what;
        std::function<void(swftest::SwfBuilder&)> build;
        const char* traced;
    };
    const Case cases[] = {
        {"two lists of one frame",
         [&](swftest::SwfBuilder& b) {
             ActionWriter first;
             pool(first, "A");
             pushConstant(first);
             pool(first, "B");
             b.doAction(first);
             ActionWriter second;
             pushConstant(second);
             second.add2().trace();
             b.doAction(second);
             b.showFrame();
         },
         "AB\n"},
        {"a function running off its end",
         [&](swftest::SwfBuilder& b) {
             ActionWriter a;
             pool(a, "a");
             ActionWriter body;
             pushConstant(body);
             pool(body, "c");
             pushConstant(body);
             defineFunction(a, "f", {}, body);
             pool(a, "b");
             push(a, {0, "f"}).op(op::CallFunction).pop();
             pushConstant(a);
             a.add2().add2().trace();
             b.doAction(a);
             b.showFrame();
         },
         "acb\n"},
        {"a called frame",
         [&](swftest::SwfBuilder& b) {
             ActionWriter first;
             pool(first, "x");
             pushConstant(first);
             b.doAction(first);
             b.showFrame();
             ActionWriter second;
             pool(second, "y");
             push(second, {"1"}).op(0x9e, {});
             pushConstant(second);
             second.add2().trace().stop();
             b.doAction(second);
             b.showFrame();
         },
         "xy\n"},
    };
    for (const Case& c : cases) {
        swftest::SwfBuilder b(6);
        c.build(b);
        auto r = play(b);
        r->player->advanceFrame();
        EXPECT_EQ(r->take(), c.traced) << c.what;
    }
}

// Going back, a timeline clip stays where the earlier frame has a clip of the same ratio, under
// its own name and whatever sprite that frame names, where scripts moved it; the clips the goto
// makes are constructed within it, before the rest of the script runs.
TEST(Timeline, GoingBackKeepsClipsOfTheSameRatioAndConstructsTheNewOnesAtOnce) {
    swftest::SwfBuilder b(6);
    auto sprite = [&] {
        swftest::SpriteBuilder s;
        s.showFrame();
        return b.defineSprite(s);
    };
    const uint16_t first = sprite(), second = sprite(), third = sprite();
    auto place = [&](int depth, uint16_t id, const char* name, std::optional<uint16_t> ratio) {
        swftest::PlaceArgs p;
        p.depth = depth;
        p.id = id;
        p.name = name;
        p.ratio = ratio;
        ActionWriter made = say((std::string("made ") + name).c_str());
        made.end();
        p.clipActions = {{0x40000, made.bytes()}};
        b.placeObject(p);
    };
    place(3, first, "one", std::nullopt);
    place(4, second, "two", std::nullopt);
    b.showFrame();
    b.remove(3);
    b.remove(4);
    b.showFrame();
    place(3, first, "three", 7);  // the same sprite, another ratio: replaced
    place(4, third, "four", 0);   // another sprite, the same ratio: kept
    ActionWriter a;
    push(a, {"four"}).getVariable();
    push(a, {"_x", 60}).op(op::SetMember);
    a.gotoFrame(0).stop();
    push(a, {"four._x"}).getVariable().trace();  // where the script, not the frame, put it
    for (const char* name : {"one", "two", "three", "four"}) {
        push(a, {name}).getVariable().op(op::TypeOf);
        push(a, {std::string(name) + " "}).op(0x4d).add2().trace();  // Swap, then name first
    }
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    r->take();
    r->player->advanceFrame();
    EXPECT_EQ(r->take(),
              "made three\nmade four\nmade one\n60\none movieclip\ntwo undefined\n"
              "three undefined\nfour movieclip\n");
}

TEST(Timeline, AClipScriptsMovedOffItsDepthAndBackIsNoLongerTheTimelines) {
    // "a" goes to depth 10 and back: the next frame's move leaves it where it was, and going
    // back keeps it as it is. "dup", a duplicate in place of "b", gives way to "b" again.
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    b.place(id, 3, {1, 1, 0, 0, 200, 0}, {}, std::string("a"));
    b.place(id, 4, {}, {}, std::string("b"));
    ActionWriter first;
    push(first, {"a"}).getVariable();
    push(first, {"myThing", "kept"}).op(op::SetMember);
    for (int depth : {10, -16381}) {
        push(first, {depth, 1, "a"}).getVariable();
        push(first, {"swapDepths"}).op(op::CallMethod).op(op::Pop);
    }
    push(first, {-16380, "dup", 2, "b"}).getVariable();
    push(first, {"duplicateMovieClip"}).op(op::CallMethod).op(op::Pop);
    b.doAction(first);
    b.showFrame();
    b.move(3, {1, 1, 0, 0, 1000, 0});
    b.showFrame();
    ActionWriter last;
    auto traceA = [&last](const char* prop) {
        push(last, {"a"}).getVariable();
        push(last, {prop}).op(op::GetMember).trace();
    };
    traceA("_x");
    last.gotoFrame(1).stop();
    traceA("myThing");
    traceA("_x");
    for (const char* name : {"dup", "b"}) push(last, {name}).getVariable().op(op::TypeOf).trace();
    b.doAction(last);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "10\nkept\n10\nundefined\nmovieclip\n");
}

TEST(Timeline, FrameActionsOfAClipTheirGotoTookOffTheStageReachNoRoot) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder s;
    ActionWriter a;
    push(a, {"_root"}).getVariable().op(op::TypeOf).trace();
    push(a, {2, 1, "_root"}).getVariable();
    push(a, {"gotoAndStop"}).op(op::CallMethod).op(op::Pop);
    push(a, {"_root"}).getVariable().op(op::TypeOf).trace();
    s.doAction(a);
    s.showFrame();
    b.place(b.defineSprite(s), 1);
    b.showFrame();
    b.remove(1);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "movieclip\nundefined\n");
}

// A frame's actions and the clips it places run in the order of their tags: a clip placed
// ahead of a DoAction runs its first frame (and places its own clips) before that action.
TEST(Timeline, FrameActionsAndTheClipsPlacedAheadOfThemRunInTagOrder) {
    enum Step { Kid, Nest, Act };
    struct Case {
        std::vector<Step> frame;
        const char* out;
    };
    const Case cases[] = {
        {{Kid, Act}, "kid\nroot\n"},
        {{Act, Kid}, "root\nkid\n"},
        {{Act, Kid, Act}, "root\nkid\nroot\n"},
        {{Nest, Act}, "inner\nouter\nroot\n"},
    };
    for (const Case& c : cases) {
        swftest::SwfBuilder b(7);
        swftest::SpriteBuilder kid;
        kid.doAction(say("kid"));
        kid.showFrame();
        const uint16_t kidId = b.defineSprite(kid);
        swftest::SpriteBuilder inner;
        inner.doAction(say("inner"));
        inner.showFrame();
        swftest::SpriteBuilder outer;
        outer.place(b.defineSprite(inner), 1);
        outer.doAction(say("outer"));
        outer.showFrame();
        const uint16_t outerId = b.defineSprite(outer);
        int depth = 1;
        for (Step s : c.frame) {
            if (s == Act)
                b.doAction(say("root"));
            else
                b.place(s == Kid ? kidId : outerId, depth++);
        }
        b.showFrame();
        auto r = play(b);
        EXPECT_EQ(r->take(), c.out) << c.out;
    }
}

// attachMovie finds an exported name only once the root has reached the frame exporting it.
TEST(Timeline, AnExportedNameServesFromTheFrameThatExportsIt) {
    swftest::SwfBuilder b(7);
    const uint16_t id = blankSprite(b);
    auto attach = [](const char* name) {
        ActionWriter a;
        push(a, {1, name, "sym", 3, "_root"}).getVariable();
        push(a, {"attachMovie"}).op(op::CallMethod).op(op::TypeOf).trace();
        return a;
    };
    b.doAction(attach("early"));
    b.showFrame();
    exportAs(b, id, "sym");
    b.doAction(attach("late"));
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "undefined\nmovieclip\n");
}
