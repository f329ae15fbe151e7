// The keyboard focus as scripts see it: Selection and its listeners, the focus leaving with
// the object that had it.

#include <QColor>
#include <QImage>

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

// trace(path.member)
void traceMember(ActionWriter& a, const char* path, const char* member) {
    push(a, {path}).getVariable();
    push(a, {member}).op(op::GetMember).trace();
}

// withBox: an empty sprite named "box" stands at depth 1 first (SWF 5 scripts cannot make
// clips of their own).
std::string runScript(ActionWriter& a, int version = 6, bool withBox = false) {
    swftest::SwfBuilder b(version, 200, 100);
    if (withBox) {
        swftest::SpriteBuilder empty;
        empty.showFrame();
        swftest::PlaceArgs p;
        p.depth = 1;
        p.id = b.defineSprite(empty);
        p.name = "box";
        b.placeObject(p);
    }
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

// What loses the focus hears onKillFocus while it still has it; what gains it hears
// onSetFocus, then the listeners hear of the change.
TEST(Avm1Focus, KillFocusComesWhileTheFocusIsStillThere) {
    ActionWriter a;
    traceFocusChange(a);
    emptyClip(a, "p", 1);
    emptyClip(a, "q", 2);
    setMember(a, "p", "focusEnabled", true);
    setMember(a, "q", "focusEnabled", true);
    ActionWriter kill;
    push(kill, {"kill "}).trace();
    traceGetFocus(kill);
    push(a, {"p"}).getVariable();
    push(a, {"onKillFocus"});
    defineFunction(a, "", {}, kill).op(op::SetMember);
    handler(a, "q", "onSetFocus", "set q");
    call1(a, "Selection", "setFocus", "p");
    call1(a, "Selection", "setFocus", "q");
    EXPECT_EQ(runScript(a), "null -> _level0.p\nkill \n_level0.p\nset q\n_level0.p -> _level0.q\n");
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

TEST(Avm1Focus, FocusRectIsThePlayersBeforeSwf6) {
    ActionWriter a;
    traceMember(a, "box", "_focusrect");
    setMember(a, "box", "_focusrect", false);
    traceMember(a, "_root", "_focusrect");
    // What does not read as a number leaves it be; an object turns it off.
    setMember(a, "_root", "_focusrect", "on");
    setMember(a, "box", "_focusrect", P::undef());
    traceMember(a, "box", "_focusrect");
    setMember(a, "_root", "_focusrect", -3);
    traceMember(a, "box", "_focusrect");
    push(a, {"box"}).getVariable();
    push(a, {"_focusrect", 0, "Object"}).op(op::NewObject).op(op::SetMember);
    traceMember(a, "_root", "_focusrect");
    EXPECT_EQ(runScript(a, 5, true), "1\n0\n0\n1\n0\n");
}

TEST(Avm1Focus, FocusRectIsEachClipsFromSwf6) {
    ActionWriter a;
    emptyClip(a, "box", 1);
    traceMember(a, "box", "_focusrect");
    traceMember(a, "_root", "_focusrect");
    // A clip's own setting is a boolean (or null again); the root's stays the player's.
    setMember(a, "box", "_focusrect", "0");
    traceMember(a, "box", "_focusrect");
    setMember(a, "box", "_focusrect", 2.5);
    traceMember(a, "box", "_focusrect");
    setMember(a, "box", "_focusrect", P::null());
    traceMember(a, "box", "_focusrect");
    setMember(a, "_root", "_focusrect", 0);
    traceMember(a, "_root", "_focusrect");
    traceMember(a, "box", "_focusrect");
    EXPECT_EQ(runScript(a), "null\ntrue\nfalse\ntrue\nnull\nfalse\nnull\n");
}

TEST(Avm1Focus, ClipTabIndexIsA32BitInteger) {
    ActionWriter a;
    emptyClip(a, "box", 1);
    traceMember(a, "box", "tabIndex");
    for (P v : {P(7.9), P(-4), P(2147483648.0), P("x")}) {
        push(a, {"box"}).getVariable();
        push(a, {"tabIndex", v}).op(op::SetMember);
        traceMember(a, "box", "tabIndex");
    }
    setMember(a, "box", "tabIndex", P::undef());
    traceMember(a, "box", "tabIndex");
    // It is no property of the clip's own.
    push(a, {"tabIndex", 1, "box"}).getVariable();
    push(a, {"hasOwnProperty"}).op(op::CallMethod).trace();
    EXPECT_EQ(runScript(a), "undefined\n7\n-4\n-2147483648\n-2147483648\nundefined\nfalse\n");
}

TEST(Avm1Focus, FieldTabIndexIsUnsigned) {
    ActionWriter a;
    push(a, {20, 100, 0, 0, 1, "f", 6, "_root"}).getVariable();
    push(a, {"createTextField"}).op(op::CallMethod).op(op::Pop);
    for (P v : {P(-4), P("x"), P(1.5)}) {
        push(a, {"f"}).getVariable();
        push(a, {"tabIndex", v}).op(op::SetMember);
        traceMember(a, "f", "tabIndex");
    }
    EXPECT_EQ(runScript(a), "4294967292\n0\n1\n");
}

namespace {

// A 200x100 stage holding the sprite "kid", a rectangle over (50,25)-(150,75) px, and a frame
// for each script; it plays on.
swftest::SwfBuilder kidMovie(std::vector<ActionWriter>& frames) {
    swftest::SwfBuilder b(6, 200, 100);
    swftest::SpriteBuilder s;
    s.place(b.defineRect(1000, 500, 2000, 1000, {0, 0, 0}), 1);
    s.showFrame();
    b.place(b.defineSprite(s), 1, {}, {}, std::string("kid"));
    for (ActionWriter& f : frames) {
        b.doAction(f);
        b.showFrame();
    }
    return b;
}

}  // namespace

TEST(Avm1Mouse, DisabledClipsHearNoMouse) {
    std::vector<ActionWriter> frames(4);
    handler(frames[0], "kid", "onPress", "press");
    handler(frames[0], "kid", "onRelease", "release");
    handler(frames[0], "kid", "onRollOver", "over");
    handler(frames[0], "kid", "onRollOut", "out");
    setMember(frames[1], "kid", "enabled", false);
    setMember(frames[2], "kid", "enabled", true);
    // undefined is no "no".
    setMember(frames[3], "kid", "enabled", P::undef());
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    EXPECT_EQ(r->take(), "over\n");
    // Turned off under a still mouse: no roll-out, nor a roll-over when on again.
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    EXPECT_EQ(r->take(), "");
    p.advanceFrame();
    EXPECT_EQ(r->take(), "over\n");
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(r->take(), "press\nrelease\n");
}

namespace {

// _root.createTextField(name, depth, 0, 0, 100, 20) with its text set.
void field(ActionWriter& a, const char* name, int depth, const char* text) {
    push(a, {20, 100, 0, 0, depth, name, 6, "_root"}).getVariable();
    push(a, {"createTextField"}).op(op::CallMethod).op(op::Pop);
    setMember(a, name, "text", text);
}

// trace(obj.method(args...)) for up to three arguments.
void traceCall(ActionWriter& a, const char* obj, const char* method, std::vector<P> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()), obj}).getVariable();
    push(a, {method}).op(op::CallMethod).trace();
}

}  // namespace

TEST(Avm1Selection, SetFocusTakesOneTarget) {
    ActionWriter a;
    field(a, "t", 1, "abc");
    traceCall(a, "Selection", "setFocus", {});
    traceCall(a, "Selection", "setFocus", {P("t"), P(5)});
    traceCall(a, "Selection", "setFocus", {P("nowhere")});
    traceGetFocus(a);
    traceCall(a, "Selection", "setFocus", {P("t")});
    traceGetFocus(a);
    traceCall(a, "Selection", "setFocus", {P::null()});
    traceGetFocus(a);
    EXPECT_EQ(runScript(a), "false\nfalse\nfalse\nnull\ntrue\n_level0.t\ntrue\nnull\n");
}

TEST(Avm1Selection, FocusSelectsAllAndReplaceSelFollows) {
    ActionWriter a;
    field(a, "t", 1, "abcd");
    // Without the focus the start of the text is replaced.
    traceCall(a, "t", "replaceSel", {P("|")});
    traceMember(a, "t", "text");
    call1(a, "Selection", "setFocus", "t");
    traceCall(a, "Selection", "getEndIndex", {});
    traceCall(a, "t", "replaceSel", {P("x")});
    traceMember(a, "t", "text");
    traceCall(a, "Selection", "getCaretIndex", {});
    // One end alone (or three) changes nothing; a shorter text pulls the selection in.
    setMember(a, "t", "text", "abcdef");
    traceCall(a, "Selection", "setSelection", {P(2), P(5)});
    traceCall(a, "Selection", "setSelection", {P(0)});
    traceCall(a, "Selection", "setSelection", {P(0), P(1), P(2)});
    traceCall(a, "Selection", "getBeginIndex", {});
    setMember(a, "t", "text", "ab");
    traceCall(a, "Selection", "getBeginIndex", {});
    traceCall(a, "Selection", "getEndIndex", {});
    EXPECT_EQ(runScript(a),
              "undefined\n|abcd\n5\nundefined\nx\n1\nundefined\nundefined\nundefined\n2\n2\n2\n");
}

TEST(Avm1Focus, EnterClicksOnlyWhileTheHighlightShows) {
    std::vector<ActionWriter> frames(2);
    handler(frames[0], "kid", "onPress", "press");
    handler(frames[0], "kid", "onRelease", "release");
    call1(frames[0], "Selection", "setFocus", "kid");
    setMember(frames[1], "_root", "_focusrect", false);
    call1(frames[1], "Selection", "setFocus", "kid");
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::keyDown(13));
    p.handleEvent(swf::InputEvent::keyUp(13));
    EXPECT_EQ(r->take(), "press\nrelease\n");
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::keyDown(13));
    p.handleEvent(swf::InputEvent::keyUp(13));
    p.handleEvent(swf::InputEvent::keyDown(32));
    EXPECT_EQ(r->take(), "");
}

TEST(Avm1Focus, MovingTheMouseRollsTheHighlightOutOnce) {
    std::vector<ActionWriter> frames(1);
    handler(frames[0], "kid", "onRollOut", "out");
    handler(frames[0], "kid", "onRollOver", "over");
    setMember(frames[0], "kid", "tabEnabled", true);
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(5, 5));
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_EQ(r->take(), "over\n");
    // The same point again is no move.
    p.handleEvent(swf::InputEvent::mouseMove(5, 5));
    EXPECT_EQ(r->take(), "");
    p.handleEvent(swf::InputEvent::mouseMove(6, 5));
    p.handleEvent(swf::InputEvent::mouseMove(7, 5));
    EXPECT_EQ(r->take(), "out\n");
}

TEST(Avm1Focus, AnyMouseMoveStopsKeysReachingTheFocus) {
    std::vector<ActionWriter> frames(1);
    handler(frames[0], "kid", "onKeyDown", "down");
    handler(frames[0], "kid", "onRollOut", "out");
    setMember(frames[0], "kid", "tabEnabled", true);
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(5, 5));
    p.handleEvent(swf::InputEvent::keyDown(9));
    p.handleEvent(swf::InputEvent::keyDown(65, U'a'));
    // Tab's own key down came before the focus did.
    EXPECT_EQ(r->take(), "down\n");
    // A move to the same point: no roll-out, but the keys stop.
    p.handleEvent(swf::InputEvent::mouseMove(5, 5));
    p.handleEvent(swf::InputEvent::keyDown(65, U'a'));
    EXPECT_EQ(r->take(), "");
}

namespace {

bool yellowAt(const QImage& img, int x, int y) {
    return img.pixelColor(x, y) == QColor(Qt::yellow);
}

// The 3 px frame inside [l, r) x [t, b) (stage pixels), checked at each edge's middle.
void expectFrame(const QImage& img, int l, int t, int r, int b) {
    const int mx = (l + r) / 2, my = (t + b) / 2;
    for (int d = 0; d < 3; ++d) {
        EXPECT_TRUE(yellowAt(img, l + d, my)) << l + d;
        EXPECT_TRUE(yellowAt(img, r - 1 - d, my)) << r - 1 - d;
        EXPECT_TRUE(yellowAt(img, mx, t + d)) << t + d;
        EXPECT_TRUE(yellowAt(img, mx, b - 1 - d)) << b - 1 - d;
    }
    EXPECT_FALSE(yellowAt(img, l - 1, my));
    EXPECT_FALSE(yellowAt(img, l + 3, my));
    EXPECT_FALSE(yellowAt(img, r, my));
    EXPECT_FALSE(yellowAt(img, mx, t + 3));
    EXPECT_FALSE(yellowAt(img, mx, b));
}

bool anyYellow(const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (yellowAt(img, x, y)) return true;
    return false;
}

}  // namespace

TEST(Avm1Focus, HighlightFramesTheFocusedClipWhereItIsNow) {
    std::vector<ActionWriter> frames(3);
    setMember(frames[0], "kid", "tabEnabled", true);
    // Moved and half its width: the frame follows; turning _focusrect off waits for the next
    // focus change.
    setMember(frames[1], "kid", "_x", 10);
    setMember(frames[1], "kid", "_xscale", 50);
    setMember(frames[1], "kid", "_focusrect", false);
    setMember(frames[2], "kid", "focusEnabled", true);
    call1(frames[2], "Selection", "setFocus", "kid");
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    EXPECT_FALSE(anyYellow(r->frame()));
    p.handleEvent(swf::InputEvent::keyDown(9));
    // The kid's square spans (50,25)-(150,75).
    expectFrame(r->frame(), 50, 25, 150, 75);
    EXPECT_EQ(r->frame().pixelColor(100, 50), QColor(Qt::black));
    p.advanceFrame();
    expectFrame(r->frame(), 35, 25, 85, 75);
    p.advanceFrame();
    EXPECT_FALSE(anyYellow(r->frame()));
}

TEST(Avm1Focus, TheMouseTakesTheHighlightAway) {
    std::vector<ActionWriter> frames(1);
    setMember(frames[0], "kid", "tabEnabled", true);
    handler(frames[0], "kid", "onRollOut", "out");
    handler(frames[0], "kid", "onKillFocus", "kill");
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(5, 5));
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_TRUE(anyYellow(r->frame()));
    // A release where the mouse already is: no move, yet the mouse has taken over.
    p.handleEvent(swf::InputEvent::mouseUp(5, 5));
    EXPECT_FALSE(anyYellow(r->frame()));
    EXPECT_EQ(r->take(), "out\n");
    // Tab brings it back; another window taking the keys rolls it out and the focus goes.
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_TRUE(anyYellow(r->frame()));
    p.handleEvent(swf::InputEvent::focus(false));
    EXPECT_EQ(r->take(), "out\nkill\n");
    EXPECT_FALSE(anyYellow(r->frame()));
}

TEST(Avm1Focus, ButtonsAndFieldsUnderTheHighlight) {
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t sq = b.defineRect(200, 200, 600, 400, {0, 0, 255});
    const uint16_t spot = b.defineRect(300, 300, 200, 200, {0, 0, 0});
    swftest::ButtonDesc d;
    d.records.push_back({true, true, true, false, sq, 1, {}});
    d.records.push_back({false, false, false, true, spot, 2, {}});
    swftest::Matrix m;
    m.tx = 400;
    m.ty = 600;
    b.place(b.defineButton2(d), 1, m, {}, std::string("btn"));
    ActionWriter a;
    push(a, {20, 40, 80, 0, 2, "f", 6, "_root"}).getVariable();
    push(a, {"createTextField"}).op(op::CallMethod).op(op::Pop);
    setMember(a, "f", "type", "input");
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    // A button is framed where it takes the mouse: its hit square, 15 px right of and below
    // its place, 10 px wide, not the larger square it shows.
    p.handleEvent(swf::InputEvent::keyDown(9));
    expectFrame(r->frame(), 35, 45, 45, 55);
    // A text field shows its caret, not the frame.
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_FALSE(anyYellow(r->frame()));
}

TEST(Avm1Focus, ATabIndexPutsAClipInTheTabOrder) {
    std::vector<ActionWriter> frames(2);
    traceFocusChange(frames[0]);
    setMember(frames[0], "kid", "tabIndex", 3);
    setMember(frames[1], "kid", "tabEnabled", false);
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_EQ(r->take(), "null -> _level0.kid\n");
    expectFrame(r->frame(), 50, 25, 150, 75);
    // Unless it says no.
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_EQ(r->take(), "");
}

TEST(Avm1Mouse, MenuItemsTakeThePressTheMouseBringsIn) {
    std::vector<ActionWriter> frames(2);
    for (const char* h : {"onPress", "onRelease", "onDragOver", "onDragOut", "onReleaseOutside"})
        handler(frames[0], "kid", h, h);
    setMember(frames[0], "kid", "trackAsMenu", true);
    setMember(frames[1], "kid", "trackAsMenu", false);
    auto r = play(kidMovie(frames));
    auto& p = *r->player;
    // Pressed outside, the held mouse goes in, out, in again and is released there.
    p.handleEvent(swf::InputEvent::mouseDown(5, 5));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(r->take(), "onDragOver\nonDragOut\nonDragOver\nonRelease\n");
    // Pressed on it, it lets go once the mouse leaves: no release outside.
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseUp(190, 90));
    EXPECT_EQ(r->take(), "onPress\nonDragOut\n");
    // Not a menu item: a press from outside stays where it began.
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::mouseDown(5, 5));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(r->take(), "");
}
