// Scripts inside a playing movie: when frame actions and init actions run, script control of
// the root timeline, timers, and what seeks do to them.

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

}  // namespace

TEST(Avm1Player, StopInFirstFrameHoldsThePlayer) {
    swftest::SwfBuilder b(6);
    ActionWriter a = say("one");
    a.stop();
    b.doAction(a);
    b.showFrame();
    b.doAction(say("two"));
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "one\n");  // lines from before the sink was set are kept
    EXPECT_FALSE(r->player->isPlaying());
    r->player->advanceFrame();
    EXPECT_EQ(r->player->currentFrame(), 0);
    r->player->play();
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "two\n");
}

TEST(Avm1Player, GotoRunsTheTargetFrameAfterTheCurrentList) {
    swftest::SwfBuilder b(6);
    ActionWriter a = say("a");
    a.gotoFrame(2);
    push(a, {"b"}).trace();
    b.doAction(a);
    b.showFrame();
    b.doAction(say("skipped"));
    b.showFrame();
    ActionWriter c = say("three");
    c.stop();
    b.doAction(c);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "a\nb\nthree\n");
    EXPECT_EQ(r->player->currentFrame(), 2);
    EXPECT_FALSE(r->player->isPlaying());
}

TEST(Avm1Player, InitActionsRunOnceBeforeFrameActions) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder sprite;
    sprite.showFrame();
    const uint16_t id = b.defineSprite(sprite);
    b.doAction(say("frame 1"));
    b.doInitAction(id, say("init"));
    b.showFrame();
    b.doAction(say("frame 2"));
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    r->player->advanceFrame();  // loops to frame 1: its actions again, not the init
    EXPECT_EQ(r->take(), "init\nframe 1\nframe 2\nframe 1\n");
}

TEST(Avm1Player, SeeksOnlyShowFrames) {
    swftest::SwfBuilder b(6);
    for (const char* s : {"1", "2", "3", "4"}) {
        b.doAction(say(s));
        b.showFrame();
    }
    auto r = play(b);
    r->player->advanceFrame();
    r->player->advanceFrame();
    r->take();
    r->player->gotoFrame(0);  // backwards: nothing runs again
    r->player->forward();
    EXPECT_EQ(r->take(), "");
    EXPECT_EQ(r->player->currentFrame(), 1);
    r->player->play();
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "3\n");
}

TEST(Avm1Player, IntervalsFollowTheMovieClock) {
    // setInterval(function() { trace("tick") }, 100) at 10 fps: one call per frame
    swftest::SwfBuilder b(7, 100, 100, 10.0);
    ActionWriter body = say("tick");
    ActionWriter a;
    push(a, {"id", 100});
    defineFunction(a, "", {}, body);
    push(a, {2, "setInterval"}).op(op::CallFunction).setVariable();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    for (int i = 0; i < 3; ++i) r->player->advanceFrame();
    EXPECT_EQ(r->take(), "tick\ntick\ntick\n");
}

TEST(Avm1Player, ScriptClipsGetEnterFrameEachTick) {
    // mc = createEmptyMovieClip("clip", 1); mc.onEnterFrame = function() { trace(this) }; stop()
    swftest::SwfBuilder b(7);
    ActionWriter body;
    push(body, {"this"}).getVariable().trace();
    ActionWriter a;
    push(a, {"mc", 1, "clip", 2, "createEmptyMovieClip"}).op(op::CallFunction).setVariable();
    push(a, {"mc"}).getVariable();
    push(a, {"onEnterFrame"});
    defineFunction(a, "", {}, body);
    a.op(op::SetMember).stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "");
    r->player->advanceFrame();
    r->player->advanceFrame();  // stopped, yet clip events go on
    EXPECT_EQ(r->take(), "_level0.clip\n_level0.clip\n");
}

// A sprite placed by the root: its name and path reach scripts, its frame actions run as its
// own timeline moves, script stop/goto hold it, and its clip events fire around its life.
TEST(Avm1Player, PlacedSpritesAreClipsWithFrameScriptsAndClipEvents) {
    swftest::SwfBuilder b(6);
    swftest::SpriteBuilder s;
    {
        ActionWriter a;
        push(a, {"sprite frame 1 of "});
        push(a, {"this"}).getVariable();
        a.add2().trace();
        s.doAction(a);
    }
    s.showFrame();
    s.doAction(say("sprite frame 2"));
    s.showFrame();
    s.doAction(say("sprite frame 3"));
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    swftest::PlaceArgs p;
    p.depth = 3;
    p.id = id;
    p.name = "kid";
    p.matrix = swftest::Matrix{};
    p.matrix->tx = 200;  // twips
    ActionWriter load = say("load");
    load.end();
    ActionWriter unload = say("unload");
    unload.end();
    p.clipActions = {{1, load.bytes()}, {4, unload.bytes()}};
    {
        // A script ahead of the placement gives the clip an onLoad: its load still comes.
        ActionWriter a;
        ActionWriter body = say("onLoad");
        push(a, {"kid"}).getVariable();
        push(a, {"onLoad"});
        defineFunction(a, "", {}, body);
        a.op(op::SetMember);
        b.doAction(a);
    }
    b.placeObject(p);
    {
        ActionWriter a;
        push(a, {"kid._x"}).getVariable().trace();
        push(a, {"kid._name"}).getVariable().trace();
        b.doAction(a);
    }
    b.showFrame();
    {
        // root frame 2: the sprite (now at its frame 2) is stopped and stays there
        ActionWriter a = say("root 2");
        push(a, {0, "kid"}).getVariable();
        push(a, {"stop"}).op(0x52).pop();
        b.doAction(a);
    }
    b.showFrame();
    // The removal follows the frame's actions in the tag stream, so the unload does too.
    b.doAction(say("root 3"));
    b.remove(3);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "load\nonLoad\nsprite frame 1 of _level0.kid\n10\nkid\n");
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "sprite frame 2\nroot 2\n");
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "root 3\nunload\n");
}

namespace {

// mc.method(args...) with the result traced; args are pushed last to first.
void callTraced(ActionWriter& a, const char* target, const char* method,
                std::initializer_list<P> argsReversed, int count) {
    push(a, argsReversed);
    push(a, {count, target}).getVariable();
    push(a, {method}).op(op::CallMethod).trace();
}

}  // namespace

// attachMovie places a library sprite that runs its own first frame once the current list is
// done; bad names and depths give nothing; duplicates copy the placement; removed clips leave
// dead references (until a clip is made again at their path); what scripts placed stays when
// the root loops.
TEST(Avm1Player, ScriptsPlaceLibrarySprites) {
    swftest::SwfBuilder b(7);
    swftest::SpriteBuilder s;
    {
        ActionWriter a;
        push(a, {"first frame of "});
        push(a, {"this"}).getVariable();
        a.add2().trace();
        s.doAction(a);
    }
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    std::vector<uint8_t> exports;
    putU16(exports, 1);
    putU16(exports, id);
    putString(exports, "Lib");
    b.rawTag(56, exports);
    ActionWriter a;
    callTraced(a, "_root", "attachMovie", {5, "one", "lIB"}, 3);
    callTraced(a, "_root", "attachMovie", {6, "bad", "Nothing"}, 3);
    callTraced(a, "_root", "attachMovie", {2130690045.0, "deep", "Lib"}, 3);
    push(a, {"one"}).getVariable();
    push(a, {"_x", 30}).op(op::SetMember);
    callTraced(a, "one", "duplicateMovieClip", {7, "two"}, 2);
    push(a, {"two._x"}).getVariable().trace();
    push(a, {"gone", 4294967304.0, "three", "Lib", 3, "_root"}).getVariable();
    push(a, {"attachMovie"}).op(op::CallMethod).setVariable();
    push(a, {"gone"}).getVariable().trace();
    push(a, {0, "gone"}).getVariable();
    push(a, {"removeMovieClip"}).op(op::CallMethod).pop();
    push(a, {"gone"}).getVariable().trace();
    push(a, {"gone._x"}).getVariable().trace();
    // A clip made again at the removed one's path stands in for it.
    callTraced(a, "_root", "attachMovie", {9, "three", "Lib"}, 3);
    push(a, {"gone"}).getVariable();
    push(a, {"_x", 12}).op(op::SetMember);
    push(a, {"three._x"}).getVariable().trace();
    b.doAction(a);
    b.showFrame();
    ActionWriter second;
    push(second, {"two"}).getVariable().trace();
    b.doAction(second);
    b.showFrame();
    ActionWriter third;
    third.gotoFrame(1);
    third.stop();
    b.doAction(third);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(),
              "_level0.one\nundefined\nundefined\n_level0.two\n30\n_level0.three\n\nundefined\n"
              "_level0.three\n12\n"
              "first frame of _level0.one\nfirst frame of _level0.two\n"
              "first frame of _level0.three\n");
    r->player->advanceFrame();
    r->player->advanceFrame();  // the root goes back a frame: what scripts placed stays
    EXPECT_EQ(r->take(), "_level0.two\n_level0.two\n");
}

// A placed clip's initialize and construct handlers (its child's too) run before the frame's
// actions, and so do its load and first frame when its placement comes ahead of them; a frame
// removing it before its actions unloads it first.
TEST(Avm1Player, ClipEventsRunInThePlayersOrder) {
    swftest::SwfBuilder b(6);
    auto handler = [](const char* text) {
        ActionWriter a = say(text);
        a.end();
        return a.bytes();
    };
    swftest::SpriteBuilder child;
    child.showFrame();
    const uint16_t childId = b.defineSprite(child);
    swftest::SpriteBuilder s;
    s.doAction(say("clip frame 1"));
    swftest::PlaceArgs c;
    c.depth = 1;
    c.id = childId;
    c.clipActions = {{0x200, handler("child initialize")}, {0x40000, handler("child construct")}};
    s.placeObject(c);
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    swftest::PlaceArgs p;
    p.depth = 1;
    p.id = id;
    p.name = "clip";
    p.clipActions = {{0x200, handler("initialize")},
                     {0x40000, handler("construct")},
                     {1, handler("load")},
                     {2, handler("enterFrame")},
                     {4, handler("unload")}};
    b.placeObject(p);
    b.doAction(say("root 1"));
    b.showFrame();
    b.remove(1);
    b.doAction(say("root 2"));
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(),
              "initialize\nchild initialize\nconstruct\nchild construct\nload\nclip frame 1\n"
              "root 1\n");
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "unload\nroot 2\n");
}

// A clip taken off the stage unloads from the inside out: the innermost clips hear of it
// first, however the clips happen to lie in memory.
TEST(Avm1Player, NestedClipsUnloadInnermostFirst) {
    swftest::SwfBuilder b(6);
    auto handler = [](const char* text) {
        ActionWriter a = say(text);
        a.end();
        return a.bytes();
    };
    uint16_t inner = b.defineSprite([] {
        swftest::SpriteBuilder s;
        s.showFrame();
        return s;
    }());
    for (const char* name : {"grandchild unload", "child unload"}) {
        swftest::SpriteBuilder s;
        for (int depth : {1, 2}) {
            swftest::PlaceArgs c;
            c.depth = depth;
            c.id = inner;
            if (depth == 2) c.clipActions = {{4, handler(name)}};
            s.placeObject(c);
        }
        s.showFrame();
        inner = b.defineSprite(s);
    }
    swftest::PlaceArgs p;
    p.depth = 1;
    p.id = inner;
    p.clipActions = {{4, handler("clip unload")}};
    b.placeObject(p);
    b.showFrame();
    b.remove(1);
    b.doAction(say("root 2"));
    b.showFrame();
    auto r = play(b);
    r->take();
    r->player->advanceFrame();
    EXPECT_EQ(r->take(),
              "grandchild unload\ngrandchild unload\nchild unload\nclip unload\nroot 2\n");
}

TEST(Avm1Player, FsCommandQuitIsReportedNotActedOn) {
    // The player only reports the request: the headless runner ends there, a window does not.
    for (const char* url : {"FSCommand:quit", "fscommand:QUIT", "FSCommand:quitnow"}) {
        swftest::SwfBuilder b(6);
        ActionWriter a = say("one");
        std::vector<uint8_t> body;
        putString(body, url);
        putString(body, "");
        a.op(0x83, body);
        b.doAction(a);
        b.showFrame();
        b.doAction(say("two"));
        b.showFrame();
        auto r = play(b);
        const bool quits = std::string_view(url) != "FSCommand:quitnow";
        EXPECT_EQ(r->player->quitRequested(), quits) << url;
        r->player->advanceFrame();
        EXPECT_EQ(r->take(), "one\ntwo\n") << url;
    }
}

// A clip the frame places that the frame's script sends elsewhere before it has started runs
// its first frame's actions, then those of the frame it was sent to.
TEST(Avm1Player, GotoBeforeAClipStartsKeepsItsFirstFrameActions) {
    swftest::SwfBuilder b(7);
    swftest::SpriteBuilder s;
    ActionWriter first = say("first");
    first.stop();
    s.doAction(first);
    s.showFrame();
    ActionWriter second = say("second");
    second.play();
    s.doAction(second);
    s.showFrame();
    s.doAction(say("third"));
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    ActionWriter a;
    push(a, {2, 1, "mc"}).getVariable();
    push(a, {"gotoAndPlay"}).op(op::CallMethod).pop();
    a.stop();
    b.doAction(a);
    swftest::PlaceArgs p;
    p.id = id;
    p.depth = 1;
    p.name = "mc";
    b.placeObject(p);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "first\nsecond\n");  // play() after stop(): the clip goes on
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "third\n");
}

// Object.registerClass belongs to the symbol: attachMovie under another of its export names
// builds the same class, whose constructor the clip keeps. Stage.width and height are the movie's
// size.
TEST(Avm1Player, RegisteredClassFollowsTheSymbolAndStageHasTheMovieSize) {
    swftest::SwfBuilder b(7, 320, 240);
    const uint16_t id = blankSprite(b);
    std::vector<uint8_t> exports;
    putU16(exports, 2);
    for (const char* name : {"Shown", "Classed"}) {
        putU16(exports, id);
        putString(exports, name);
    }
    b.rawTag(56, exports);
    ActionWriter a;
    ActionWriter ctor = say("built");
    push(a, {"Cls"});
    defineFunction(a, "", {}, ctor).setVariable();
    push(a, {"Cls"}).getVariable();
    push(a, {"Classed", 2, "Object"}).getVariable();
    push(a, {"registerClass"}).op(op::CallMethod).pop();
    callTraced(a, "_root", "attachMovie", {1, "one", "Shown"}, 3);
    // The clip knows its class as an object made by `new` does.
    push(a, {"one"}).getVariable();
    push(a, {"__constructor__"}).op(op::GetMember);
    push(a, {"Cls"}).getVariable();
    a.op(op::StrictEquals).trace();
    push(a, {"Stage.width"}).getVariable().trace();
    push(a, {"Stage.height"}).getVariable().trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "built\n_level0.one\ntrue\n320\n240\n");
}

// A video placed by the timeline under a name is an object scripts reach by that name and
// that reads as its path; it is not a clip.
TEST(Avm1Player, NamedVideoIsReachableByName) {
    swftest::SwfBuilder b(7);
    const uint16_t id = b.reserveId();
    std::vector<uint8_t> def;
    putU16(def, id);
    putU16(def, 1);   // frames
    putU16(def, 16);  // width
    putU16(def, 16);  // height
    def.push_back(0);
    def.push_back(2);  // H.263
    b.rawTag(60, def);
    swftest::PlaceArgs p;
    p.id = id;
    p.depth = 1;
    p.name = "vid";
    b.placeObject(p);
    ActionWriter a;
    push(a, {"vid"}).getVariable().trace();
    push(a, {"vid"}).getVariable();
    push(a, {"Video"}).getVariable();
    a.op(0x54).trace();  // InstanceOf
    push(a, {"vid"}).getVariable().op(op::TypeOf).trace();
    push(a, {"missing"}).getVariable().trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "_level0.vid\ntrue\nobject\nundefined\n");
}

// Once a script sets a clip's colour, the timeline's later moves leave its placement alone;
// a clip no script touched follows them.
TEST(Avm1Player, ColourSetByScriptKeepsTheTimelineFromMovingTheClip) {
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    b.place(id, 1, {}, {}, std::string("tinted"));
    b.place(id, 2, {}, {}, std::string("plain"));
    {
        // new Color(tinted).setRGB(0xff0000)
        ActionWriter a;
        push(a, {0xff0000, 1});
        push(a, {"tinted"}).getVariable();
        push(a, {1, "Color"}).op(op::NewObject);
        push(a, {"setRGB"}).op(op::CallMethod).pop();
        b.doAction(a);
    }
    b.showFrame();
    b.move(1, {1, 1, 0, 0, 2000, 0});
    b.move(2, {1, 1, 0, 0, 2000, 0});
    {
        ActionWriter a;
        push(a, {"tinted._x"}).getVariable().trace();
        push(a, {"plain._x"}).getVariable().trace();
        a.stop();
        b.doAction(a);
    }
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "0\n100\n");
}

// A clip the frame placed loads before the duplicates its frame script made, even though
// the script ran first; duplicates load in the order they were made. A duplicate is
// constructed within the call, and initialized once the script has ended.
TEST(Avm1Player, ClipsTheFramePlacedLoadBeforeThoseItsScriptMade) {
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    auto handler = [](const char* what) {
        ActionWriter h;
        push(h, {what});
        push(h, {"_name"}).getVariable();
        h.op(op::Add2).trace().end();
        return h;
    };
    ActionWriter a;
    for (const char* name : {"one", "two"}) {
        // src.duplicateMovieClip(name, depth)
        push(a, {name == std::string("one") ? 10 : 11, name, 2, "src"});
        a.getVariable();
        push(a, {"duplicateMovieClip"}).op(op::CallMethod).pop();
    }
    push(a, {"done"}).trace();
    b.doAction(a);
    swftest::PlaceArgs p;
    p.depth = 1;
    p.id = id;
    p.name = "src";
    p.clipActions = {{0x01, handler("load ").bytes()},
                     {0x200, handler("init ").bytes()},
                     {0x40000, handler("construct ").bytes()}};
    b.placeObject(p);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(),
              "init src\nconstruct src\nconstruct one\nconstruct two\ndone\ninit one\ninit "
              "two\nload src\nload one\nload two\n");
}

// While its unload handler runs, a clip the timeline took away is still found by its name.
TEST(Avm1Player, AnUnloadingClipIsStillFoundByName) {
    swftest::SwfBuilder b(6);
    b.place(blankSprite(b), 1, {}, {}, std::string("mc"));
    {
        // mc.onUnload = function() { trace(_root.mc == this) }
        ActionWriter body;
        push(body, {"_root"}).getVariable();
        push(body, {"mc"}).op(op::GetMember);
        push(body, {"this"}).getVariable();
        body.op(op::Equals2).trace();
        ActionWriter a;
        push(a, {"mc"}).getVariable();
        push(a, {"onUnload"});
        defineFunction(a, "", {}, body);
        a.op(op::SetMember);
        b.doAction(a);
    }
    b.showFrame();
    b.remove(1);
    ActionWriter stop;
    stop.stop();
    b.doAction(stop);
    b.showFrame();
    auto r = play(b);
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "true\n");
}

// Taken off the timeline, a clip with an unload handler waits at depth -32769-depth, hears
// its unload there before the frame's actions, and is gone on the next frame; one without
// goes at once.
TEST(Avm1Player, ARemovedClipWithUnloadWaitsBelowZeroForOneFrame) {
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    b.place(id, 1, {}, {}, std::string("mc"));
    b.place(id, 2, {}, {}, std::string("quiet"));
    auto depthOf = [](ActionWriter& a, const char* name) {
        push(a, {0, name}).getVariable();
        push(a, {"getDepth"}).op(op::CallMethod).trace();
    };
    {
        // mc.onUnload = function() { trace(this.getDepth()) }
        ActionWriter body;
        depthOf(body, "this");
        ActionWriter a;
        push(a, {"mc"}).getVariable();
        push(a, {"onUnload"});
        defineFunction(a, "", {}, body);
        a.op(op::SetMember);
        b.doAction(a);
    }
    b.showFrame();
    b.remove(1);
    b.remove(2);
    {
        ActionWriter a;
        depthOf(a, "mc");
        push(a, {"quiet"}).getVariable().trace();
        b.doAction(a);
    }
    b.showFrame();
    {
        ActionWriter a;
        push(a, {"mc"}).getVariable().trace();
        a.stop();
        b.doAction(a);
    }
    b.showFrame();
    auto r = play(b);
    const struct {
        const char* frame;
        const char* trace;
    } steps[] = {{"2", "-16386\n-16386\nundefined\n"}, {"3", "undefined\n"}};
    for (const auto& step : steps) {
        r->player->advanceFrame();
        EXPECT_EQ(r->take(), step.trace) << "frame " << step.frame;
    }
}

// A name on a clip is its own variable first, then its child of that name, and only then
// what MovieClip.prototype lends.
TEST(Avm1Player, ChildrenComeBetweenOwnVariablesAndPrototypes) {
    swftest::SwfBuilder b(6);
    const uint16_t id = blankSprite(b);
    b.place(id, 1, {}, {}, std::string("kid"));
    b.place(id, 2, {}, {}, std::string("twin"));
    ActionWriter a;
    // MovieClip.prototype.kid = 12; MovieClip.prototype.twin = 12; twin = 5
    for (const char* name : {"kid", "twin"}) {
        push(a, {"MovieClip"}).getVariable();
        push(a, {"prototype"}).op(op::GetMember);
        push(a, {name, 12}).op(op::SetMember);
    }
    push(a, {"twin", 5}).setVariable();
    push(a, {"kid"}).getVariable().op(op::TypeOf).trace();
    push(a, {"twin"}).getVariable().trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "movieclip\n5\n");
}

// A clip answers with the version of the file its timeline comes from; what is no clip, -1.
TEST(Avm1Player, ClipsTellTheirMoviesVersion) {
    for (int version : {5, 6, 7, 8}) {
        swftest::SwfBuilder b(version);
        ActionWriter a;
        push(a, {0, "this"}).getVariable();
        push(a, {"getSWFVersion"}).op(0x52).trace();
        b.doAction(a);
        b.showFrame();
        auto r = play(b);
        EXPECT_EQ(r->take(), std::to_string(version) + "\n");
    }
    using swf::avm1::Value;
    Stage s(7);
    Value fn = s.vm.get(s.vm.clipProto, "getSWFVersion");
    EXPECT_EQ(s.vm.toString(s.vm.call(fn, s.vm.newObject(), {})), "-1");
    EXPECT_EQ(s.vm.toString(s.vm.call(fn, nullptr, {})), "-1");
}

// The main movie's onLoad, set by its first frame, is called once that frame has run; SWF 5
// movies have none.
TEST(Avm1Player, TheRootHearsItsLoadAfterItsFirstFrame) {
    for (int version : {5, 6, 8}) {
        swftest::SwfBuilder b(version);
        ActionWriter body = say("onLoad");
        ActionWriter a = say("start");
        push(a, {"_root"}).getVariable();
        push(a, {"onLoad"});
        defineFunction(a, "", {}, body);
        a.op(0x4F);  // SetMember
        b.doAction(a);
        b.showFrame();
        b.showFrame();
        auto r = play(b);
        r->player->advanceFrame();
        EXPECT_EQ(r->take(), version >= 6 ? "start\nonLoad\n" : "start\n") << version;
    }
}
