// Mouse and keys through the player: button conditions and states, clips acting as buttons,
// Key and its listeners, _xmouse, the keyboard focus and Tab, typing into text fields.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryFile>

#include "engine/avm1/text_input.h"
#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"
#include "tools/cli/input_replay.h"

using namespace avm1test;

namespace {

std::vector<uint8_t> say(const char* s) {
    ActionWriter a;
    push(a, {s}).trace();
    a.end();
    return a.bytes();
}

// A 200x100 stage with a button over (50,25)-(150,75) px: red when up, green when over, blue
// when down, tracing each condition's name.
swftest::SwfBuilder buttonMovie() {
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t red = b.defineRect(1000, 500, 2000, 1000, {255, 0, 0});
    const uint16_t green = b.defineRect(1000, 500, 2000, 1000, {0, 255, 0});
    const uint16_t blue = b.defineRect(1000, 500, 2000, 1000, {0, 0, 255});
    swftest::ButtonDesc d;
    d.records.push_back({true, false, false, true, red, 1, {}});
    d.records.push_back({false, true, false, false, green, 2, {}});
    d.records.push_back({false, false, true, false, blue, 3, {}});
    d.actions = {{0x01, say("rollOver")},       {0x02, say("rollOut")},
                 {0x04, say("press")},          {0x08, say("release")},
                 {0x10, say("dragOut")},        {0x20, say("dragOver")},
                 {0x40, say("releaseOutside")}, {uint16_t(('k' << 9)), say("key k")}};
    b.place(b.defineButton2(d), 1);
    ActionWriter stop;
    stop.stop();
    b.doAction(stop);
    b.showFrame();
    return b;
}

QColor at(const swf::Player& p, int x, int y) {
    ensureGuiApp();
    QImage img(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&img);
    p.render(painter, img.rect(), swf::ScaleMode::NoScale);
    painter.end();
    return img.pixelColor(x, y);
}

}  // namespace

TEST(Avm1Button, ConditionsFollowTheMouse) {
    auto r = play(buttonMovie());
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(10, 10));
    EXPECT_EQ(r->take(), "");
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    EXPECT_EQ(r->take(), "rollOver\npress\nrelease\nrollOut\n");
    // Pressed inside, dragged out and back, out again and released outside.
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseUp(190, 90));
    EXPECT_EQ(r->take(), "rollOver\npress\ndragOut\ndragOver\ndragOut\nreleaseOutside\n");
    p.handleEvent(swf::InputEvent::keyDown('K', U'k'));
    EXPECT_EQ(r->take(), "key k\n");
}

TEST(Avm1Button, StatesAreDrawn) {
    auto r = play(buttonMovie());
    auto& p = *r->player;
    EXPECT_EQ(at(p, 100, 50), QColor(255, 0, 0));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    EXPECT_EQ(at(p, 100, 50), QColor(0, 255, 0));
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    EXPECT_EQ(at(p, 100, 50), QColor(0, 0, 255));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(at(p, 100, 50), QColor(0, 255, 0));
    p.handleEvent(swf::InputEvent::mouseMove(5, 5));
    EXPECT_EQ(at(p, 100, 50), QColor(255, 0, 0));
}

TEST(Avm1Key, ListenersAndState) {
    // l = {}; l.onKeyDown = function() { trace(Key.getCode() + " " + Key.isDown(37) + " " +
    // Key.isToggled(65) + Key.isToggled(1)) }; Key.addListener(l). Every press of a key, or
    // of the left button (1), toggles it.
    swftest::SwfBuilder b(6);
    ActionWriter body;
    push(body, {0, "Key"}).getVariable();
    push(body, {"getCode"}).op(op::CallMethod);
    push(body, {" "}).op(op::Add2);
    push(body, {37, 1, "Key"}).getVariable();
    push(body, {"isDown"}).op(op::CallMethod).op(op::Add2);
    push(body, {" "}).op(op::Add2);
    for (int code : {65, 1}) {
        push(body, {code, 1, "Key"}).getVariable();
        push(body, {"isToggled"}).op(op::CallMethod).op(op::Add2);
    }
    body.trace();
    ActionWriter a;
    push(a, {"l", 0}).op(op::InitObject).setVariable();
    push(a, {"l"}).getVariable();
    push(a, {"onKeyDown"});
    defineFunction(a, "", {}, body);
    a.op(op::SetMember);
    push(a, {"l"}).getVariable();
    push(a, {1, "Key"}).getVariable();
    push(a, {"addListener"}).op(op::CallMethod).op(op::Pop);
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    r->player->handleEvent(swf::InputEvent::keyDown(37));
    r->player->handleEvent(swf::InputEvent::keyUp(37));
    r->player->handleEvent(swf::InputEvent::keyDown(65, U'a'));
    r->player->handleEvent(swf::InputEvent::mouseDown(1, 1));
    r->player->handleEvent(swf::InputEvent::keyDown(65, U'a'));
    EXPECT_EQ(r->take(), "37 true falsefalse\n65 false truefalse\n65 false falsetrue\n");
}

namespace {

// A sprite "kid" holding a rectangle at (50,25)-(150,75) px (the sprite sits at x = 10 px),
// then the script, then a stop.
swftest::SwfBuilder kidMovie(ActionWriter& script) {
    swftest::SwfBuilder b(6, 200, 100);
    swftest::SpriteBuilder s;
    s.place(b.defineRect(800, 500, 2000, 1000, {0, 0, 0}), 1);
    s.showFrame();
    const uint16_t id = b.defineSprite(s);
    swftest::PlaceArgs p;
    p.id = id;
    p.depth = 1;
    p.name = "kid";
    p.matrix = swftest::Matrix{};
    p.matrix->tx = 200;
    b.placeObject(p);
    script.stop();
    b.doAction(script);
    b.showFrame();
    return b;
}

}  // namespace

TEST(Avm1MovieClip, ClipsWithHandlersActAsButtonsAndSeeTheMouse) {
    // kid.onRelease traces _root._xmouse and kid._xmouse.
    ActionWriter body;
    push(body, {"_root"}).getVariable();
    push(body, {"_xmouse"}).op(op::GetMember);
    push(body, {" "}).op(op::Add2);
    push(body, {"this"}).getVariable();
    push(body, {"_xmouse"}).op(op::GetMember).op(op::Add2).trace();
    ActionWriter a;
    push(a, {"kid"}).getVariable();
    push(a, {"onRelease"});
    defineFunction(a, "", {}, body);
    a.op(op::SetMember);
    auto b = kidMovie(a);
    auto r = play(b);
    r->player->handleEvent(swf::InputEvent::mouseDown(5, 5));
    r->player->handleEvent(swf::InputEvent::mouseUp(5, 5));
    EXPECT_EQ(r->take(), "");
    r->player->handleEvent(swf::InputEvent::mouseDown(100, 50));
    r->player->handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(r->take(), "100 90\n");
}

namespace {

// path.member = function (a, b) { trace(traced) }, traced being a string or, with "$b", the
// second argument.
void handler(ActionWriter& a, const char* path, const char* member, const char* traced) {
    ActionWriter body;
    if (std::string_view(traced) == "$b")
        push(body, {"b"}).getVariable().trace();
    else
        push(body, {traced}).trace();
    push(a, {path}).getVariable();
    push(a, {member});
    defineFunction(a, "", {"a", "b"}, body);
    a.op(op::SetMember);
}

// Selection.addListener(l) with l.onSetFocus tracing the new focus.
void traceFocus(ActionWriter& a) {
    push(a, {"l", 0}).op(op::InitObject).setVariable();
    handler(a, "l", "onSetFocus", "$b");
    push(a, {"l"}).getVariable();
    push(a, {1, "Selection"}).getVariable();
    push(a, {"addListener"}).op(op::CallMethod).op(op::Pop);
}

// Clips a, b, c of a 20 px square at (10,10), (10,50) and (100,10) px, all tabEnabled.
swftest::SwfBuilder threeClips() {
    swftest::SwfBuilder b(6, 200, 100);
    swftest::SpriteBuilder s;
    s.place(b.defineRect(0, 0, 400, 400, {0, 0, 0}), 1);
    s.showFrame();
    const uint16_t sq = b.defineSprite(s);
    const std::pair<const char*, std::pair<int, int>> at[] = {
        {"c", {2000, 200}}, {"a", {200, 200}}, {"b", {200, 1000}}};
    int depth = 1;
    for (const auto& [name, xy] : at) {
        swftest::Matrix m;
        m.tx = xy.first;
        m.ty = xy.second;
        b.place(sq, depth++, m, {}, std::string(name));
    }
    return b;
}

}  // namespace

TEST(Avm1MovieClip, AClickReachesTheClipsBeforeTheButtonAndNeverAsksResolve) {
    // The player looks its handlers up without __resolve; onMouseDown and onMouseUp, heard by
    // every clip, come before the pressed clip's onPress and onRelease.
    ActionWriter a;
    handler(a, "kid", "__resolve", "resolve");
    handler(a, "kid", "onPress", "press");
    handler(a, "kid", "onRelease", "release");
    handler(a, "kid", "onMouseDown", "down");
    handler(a, "kid", "onMouseUp", "up");
    auto b = kidMovie(a);
    auto r = play(b);
    r->player->handleEvent(swf::InputEvent::mouseDown(100, 50));
    r->player->handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(r->take(), "down\npress\nup\nrelease\n");
}

TEST(Avm1Focus, TabFollowsReadingOrderThenTabIndices) {
    auto b = threeClips();
    ActionWriter a;
    traceFocus(a);
    for (const char* c : {"a", "b", "c"}) setMember(a, c, "tabEnabled", true);
    b.doAction(a);
    b.showFrame();
    // Given indices order only the clips that have one, as signed 32-bit numbers.
    ActionWriter second;
    setMember(second, "b", "tabIndex", 1);
    setMember(second, "a", "tabIndex", 4294967295.0);
    second.stop();
    b.doAction(second);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    for (int i = 0; i < 4; ++i) p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_EQ(r->take(), "_level0.a\n_level0.c\n_level0.b\n_level0.a\n");
    p.handleEvent(swf::InputEvent::keyDown(16));  // Shift+Tab goes back
    p.handleEvent(swf::InputEvent::keyDown(9));
    p.handleEvent(swf::InputEvent::keyUp(16));
    EXPECT_EQ(r->take(), "_level0.b\n");
    p.advanceFrame();
    p.handleEvent(swf::InputEvent::keyDown(9));
    p.handleEvent(swf::InputEvent::keyDown(9));
    EXPECT_EQ(r->take(), "_level0.a\n_level0.b\n");
}

TEST(Avm1Focus, KeysReachTheFocusedClipUntilTheMouseMoves) {
    auto b = threeClips();
    ActionWriter a;
    handler(a, "a", "onPress", "press");
    handler(a, "a", "onKeyDown", "down");
    handler(a, "a", "onRollOver", "over");
    handler(a, "c", "onKeyDown", "c down");
    call1(a, "Selection", "setFocus", "a");
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    // A script's focus rolls over at the next key.
    p.handleEvent(swf::InputEvent::keyDown(65, U'a'));
    EXPECT_EQ(r->take(), "over\ndown\n");
    p.handleEvent(swf::InputEvent::keyDown(13));
    p.handleEvent(swf::InputEvent::keyDown(32));
    EXPECT_EQ(r->take(), "down\npress\ndown\npress\n");
    p.handleEvent(swf::InputEvent::mouseMove(150, 90));
    p.handleEvent(swf::InputEvent::keyDown(13));
    EXPECT_EQ(r->take(), "");
}

TEST(Avm1Button, ButtonsAreNamedObjectsClickedByMouseAndKeys) {
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t red = b.defineRect(1000, 500, 1000, 500, {255, 0, 0});
    swftest::ButtonDesc d;
    d.records.push_back({true, true, true, true, red, 1, {}});
    d.actions = {{0x04, say("press")}, {0x08, say("release")}};
    b.place(b.defineButton2(d), 1, {}, {}, std::string("btn"));
    ActionWriter a;
    push(a, {"btn"}).getVariable().op(op::TypeOf).trace();
    push(a, {"btn"}).getVariable().trace();
    handler(a, "btn", "onRelease", "btn.onRelease");
    call1(a, "Selection", "setFocus", "btn");
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "object\n_level0.btn\n");
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::keyDown(32));
    EXPECT_EQ(r->take(), "press\nrelease\nbtn.onRelease\n");
    p.handleEvent(swf::InputEvent::mouseDown(75, 40));
    p.handleEvent(swf::InputEvent::mouseUp(75, 40));
    EXPECT_EQ(r->take(), "press\nrelease\nbtn.onRelease\n");
}

TEST(Avm1TextInput, TypingKeepsToRestrictAndMaxChars) {
    swftest::SwfBuilder b(6, 200, 100);
    ActionWriter a;
    push(a, {30, 100, 0, 0, 1, "t", 6, "this"}).getVariable();
    push(a, {"createTextField"}).op(op::CallMethod).op(op::Pop);
    setMember(a, "t", "type", "input");
    setMember(a, "t", "restrict", "a-z");
    setMember(a, "t", "maxChars", 4);
    ActionWriter body;
    push(body, {"t"}).getVariable();
    push(body, {"text"}).op(op::GetMember).trace();
    push(a, {"t"}).getVariable();
    push(a, {"onChanged"});
    defineFunction(a, "", {}, body);
    a.op(op::SetMember);
    call1(a, "Selection", "setFocus", "t");
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    // Upper case comes in as the lower case restrict allows; digits and a fifth letter don't.
    for (char32_t c : std::u32string(U"aB1cde")) p.handleEvent(swf::InputEvent::typed(c));
    EXPECT_EQ(r->take(), "a\nab\nabc\nabcd\n");
    p.handleEvent(swf::InputEvent::edit(swf::TextCommand::Backspace));
    p.handleEvent(swf::InputEvent::edit(swf::TextCommand::MoveLeft));
    p.handleEvent(swf::InputEvent::typed(U'x'));
    EXPECT_EQ(r->take(), "abc\nabxc\n");
    p.handleEvent(swf::InputEvent::clipboardText("q9q"));
    p.handleEvent(swf::InputEvent::edit(swf::TextCommand::SelectAll));
    p.handleEvent(swf::InputEvent::edit(swf::TextCommand::Paste));
    EXPECT_EQ(r->take(), "qq\n");
    p.handleEvent(swf::InputEvent::edit(swf::TextCommand::Enter));  // one line only
    EXPECT_EQ(r->take(), "");
}

TEST(Avm1TextInput, RestrictPatterns) {
    using swf::avm1::restrictAllows;
    EXPECT_TRUE(restrictAllows(U"a-z", U'm'));
    EXPECT_FALSE(restrictAllows(U"a-z", U'M'));
    EXPECT_FALSE(restrictAllows(U"^0-9", U'5'));
    EXPECT_TRUE(restrictAllows(U"^0-9", U'x'));
    EXPECT_TRUE(restrictAllows(U"a-z^m", U'l'));
    EXPECT_FALSE(restrictAllows(U"a-z^m", U'm'));
    EXPECT_TRUE(restrictAllows(U"\\-", U'-'));
    EXPECT_TRUE(restrictAllows(U"\\^", U'^'));
    EXPECT_FALSE(restrictAllows(U"", U'a'));
    // A dash with no character before it ranges from the lowest code; one at the end, or a
    // lone escape at the end, adds nothing.
    EXPECT_TRUE(restrictAllows(U"-b", U'0'));
    EXPECT_FALSE(restrictAllows(U"-b", U'c'));
    EXPECT_TRUE(restrictAllows(U"a-b-A", U'&'));
    EXPECT_FALSE(restrictAllows(U"a-", U'-'));
    EXPECT_FALSE(restrictAllows(U"---", U'-'));
    EXPECT_TRUE(restrictAllows(U"b-a", U'b'));
    EXPECT_FALSE(restrictAllows(U"b-a", U'a'));
    EXPECT_FALSE(restrictAllows(U"a\\", U'\\'));
}

TEST(Avm1Button, ADisabledButtonHearsNothingAndKeepsItsLook) {
    // Button "b" (red up, green over) turns itself off as the mouse rolls over it.
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t red = b.defineRect(1000, 500, 2000, 1000, {255, 0, 0});
    const uint16_t green = b.defineRect(1000, 500, 2000, 1000, {0, 255, 0});
    swftest::ButtonDesc d;
    d.records.push_back({true, false, true, true, red, 1, {}});
    d.records.push_back({false, true, false, false, green, 2, {}});
    ActionWriter over;
    push(over, {"rollOver"}).trace();
    setMember(over, "b", "enabled", false);
    over.end();
    d.actions = {{0x01, over.bytes()}, {0x02, say("rollOut")}, {0x04, say("press")}};
    b.place(b.defineButton2(d), 1, {}, {}, std::string("b"));
    ActionWriter stop;
    stop.stop();
    b.doAction(stop);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    EXPECT_EQ(r->take(), "rollOver\n");
    EXPECT_EQ(at(p, 100, 50), QColor(0, 255, 0));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseMove(190, 90));
    EXPECT_EQ(r->take(), "");
    EXPECT_EQ(at(p, 100, 50), QColor(0, 255, 0));
}

TEST(Avm1Button, AButtonsSizeIsTheStateItShowsWhenItsHandlersRun) {
    // Button "b": 50 px high when up, 100 when over, 20 when down; each handler traces it.
    swftest::SwfBuilder b(6, 200, 100);
    const uint16_t up = b.defineRect(1000, 500, 2000, 1000, {255, 0, 0});
    const uint16_t over = b.defineRect(1000, 0, 2000, 2000, {0, 255, 0});
    const uint16_t down = b.defineRect(1000, 500, 2000, 400, {0, 0, 255});
    swftest::ButtonDesc d;
    d.records.push_back({true, false, false, true, up, 1, {}});
    d.records.push_back({false, true, false, false, over, 2, {}});
    d.records.push_back({false, false, true, false, down, 3, {}});
    ActionWriter height;
    push(height, {"b"}).getVariable();
    push(height, {"_height"}).op(op::GetMember).trace();
    height.end();
    d.actions = {{0x01, height.bytes()}, {0x04, height.bytes()}, {0x08, height.bytes()}};
    b.place(b.defineButton2(d), 1, {}, {}, std::string("b"));
    ActionWriter first;
    push(first, {"b"}).getVariable();
    push(first, {"_height"}).op(op::GetMember).trace();
    first.stop();
    b.doAction(first);
    b.showFrame();
    auto r = play(b);
    auto& p = *r->player;
    p.handleEvent(swf::InputEvent::mouseMove(100, 50));
    p.handleEvent(swf::InputEvent::mouseDown(100, 50));
    p.handleEvent(swf::InputEvent::mouseUp(100, 50));
    EXPECT_EQ(r->take(), "50\n100\n20\n100\n");
}

TEST(Avm1Mouse, RecordedPointsAreWindowPixels) {
    // A 200 x 200 px stage whose top left corner is (-100, -100), shown at twice its size.
    swftest::SwfBuilder b(6, 200, 200);
    b.setStage(-2000, -2000, 2000, 2000);
    ActionWriter body;
    push(body, {"_xmouse"}).getVariable();
    push(body, {" "}).op(op::Add2);
    push(body, {"_ymouse"}).getVariable().op(op::Add2).trace();
    ActionWriter a;
    push(a, {"onMouseMove"});
    defineFunction(a, "", {}, body);
    a.setVariable();
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    cli::InputEvent move{false, swf::InputEvent::mouseMove(150, 100)};
    cli::deliverInput(*r->player, {move}, 0, QRect(0, 0, 400, 400), swf::ScaleMode::ShowAll);
    EXPECT_EQ(r->take(), "-25 -50\n");
    // A wider window centres the stage.
    move.event.x = 250;
    cli::deliverInput(*r->player, {move}, 0, QRect(0, 0, 600, 400), swf::ScaleMode::ShowAll);
    EXPECT_EQ(r->take(), "-25 -50\n");
}

TEST(Avm1Button, ClipsInAButtonsStateRunTheirScripts) {
    // An unnamed button showing two unnamed clips, each saying who it is from its first frame
    // and again at every frame after.
    swftest::SwfBuilder b(6, 200, 100);
    ActionWriter who;
    push(who, {"this"}).getVariable().trace();
    push(who, {"this"}).getVariable();
    push(who, {"onEnterFrame"});
    ActionWriter again;
    push(again, {"again "});
    push(again, {"this"}).getVariable().op(op::Add2).trace();
    defineFunction(who, "", {}, again);
    who.op(op::SetMember);
    swftest::SpriteBuilder s;
    s.doAction(who);
    s.place(b.defineRect(0, 0, 200, 200, {0, 0, 0}), 1);
    s.showFrame();
    const uint16_t sprite = b.defineSprite(s);
    swftest::ButtonDesc d;
    d.records.push_back({true, true, true, false, sprite, 1, {}});
    d.records.push_back({true, true, true, false, sprite, 3, {}});
    d.records.push_back(
        {false, false, false, true, b.defineRect(0, 0, 200, 200, {0, 0, 0}), 1, {}});
    b.place(b.defineButton2(d), 1);
    // The button's clips are reached through its name.
    ActionWriter a;
    push(a, {"instance1"}).getVariable();
    push(a, {"instance3"}).op(op::GetMember).trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    // One count names the button and then its clips; the root's script comes first.
    EXPECT_EQ(r->take(),
              "_level0.instance1.instance3\n_level0.instance1.instance2\n"
              "_level0.instance1.instance3\n");
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "again _level0.instance1.instance3\nagain _level0.instance1.instance2\n");
}

// The window's Qt keys and the recordings' key names meet in one table with the Flash codes.
TEST(Avm1KeyCodes, QtKeysAndRecordedKeysGiveTheFlashCodes) {
    struct Case {
        int qtKey;
        bool keypad;
        const char* recorded;  // the same key as a recording names it
        int code;
    };
    const Case cases[] = {
        {Qt::Key_Semicolon, false, R"({"Char": ";"})", 186},
        {Qt::Key_Colon, false, R"({"Char": ":"})", 186},
        {Qt::Key_Equal, false, R"({"Char": "="})", 187},
        {Qt::Key_Minus, false, R"({"Char": "-"})", 189},
        {Qt::Key_Slash, false, R"({"Char": "/"})", 191},
        {Qt::Key_QuoteLeft, false, R"({"Char": "`"})", 192},
        {Qt::Key_BracketLeft, false, R"({"Char": "["})", 219},
        {Qt::Key_Apostrophe, false, R"({"Char": "'"})", 222},
        {Qt::Key_Exclam, false, R"({"Char": "!"})", 49},
        {Qt::Key_A, false, R"({"Char": "a"})", 65},
        {Qt::Key_Z, false, R"({"Char": "Z"})", 90},
        {Qt::Key_7, false, R"({"Char": "7"})", 55},
        {Qt::Key_0, true, R"({"Numpad": "0"})", 96},
        {Qt::Key_9, true, R"({"Numpad": "9"})", 105},
        {Qt::Key_Asterisk, true, R"({"Numpad": "*"})", 106},
        {Qt::Key_Plus, true, R"({"Numpad": "+"})", 107},
        {Qt::Key_Minus, true, R"({"Numpad": "-"})", 109},
        {Qt::Key_Period, true, R"({"Numpad": "."})", 110},
        {Qt::Key_Slash, true, R"({"Numpad": "/"})", 111},
        {Qt::Key_Enter, true, R"("NumpadEnter")", 13},
        {Qt::Key_Left, false, R"("ArrowLeft")", 37},
        {Qt::Key_Up, false, R"("ArrowUp")", 38},
        {Qt::Key_Right, false, R"("ArrowRight")", 39},
        {Qt::Key_Down, false, R"("ArrowDown")", 40},
        {Qt::Key_Backspace, false, R"("Backspace")", 8},
        {Qt::Key_Delete, false, R"("Delete")", 46},
        {Qt::Key_Escape, false, R"("Escape")", 27},
        {Qt::Key_Shift, false, R"("LeftShift")", 16},
        {Qt::Key_F1, false, R"({"F": 1})", 112},
        {Qt::Key_F15, false, R"({"F": 15})", 126},
    };
    QString json = "[";
    for (const Case& c : cases) {
        EXPECT_EQ(swf::flashKeyCode(c.qtKey, c.keypad), c.code) << c.recorded;
        json += QString(R"({"type": "KeyDown", "key": %1},)").arg(c.recorded);
    }
    json.chop(1);
    json += "]";
    EXPECT_EQ(swf::flashKeyCode(Qt::Key_unknown), 0);

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(json.toUtf8());
    file.flush();
    std::string why;
    const auto events = cli::readInputEvents(file.fileName().toStdString(), why);
    ASSERT_TRUE(events) << why;
    ASSERT_EQ(events->size(), std::size(cases));
    for (size_t i = 0; i < events->size(); ++i)
        EXPECT_EQ((*events)[i].event.keyCode, cases[i].code) << cases[i].recorded;
}
