// Mouse and keys through the player: button conditions and states, clips acting as buttons,
// Key and its listeners, _xmouse.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"

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
    static int argc = 1;
    static char name[] = "avm1_test";
    static char* argv[] = {name, nullptr};
    static auto* app = QGuiApplication::instance() ? nullptr : new QGuiApplication(argc, argv);
    (void)app;
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
    p.mouseMove(10, 10);
    EXPECT_EQ(r->take(), "");
    p.mouseMove(100, 50);
    p.mouseDown(100, 50);
    p.mouseUp(100, 50);
    p.mouseMove(190, 90);
    EXPECT_EQ(r->take(), "rollOver\npress\nrelease\nrollOut\n");
    // Pressed inside, dragged out and back, out again and released outside.
    p.mouseMove(100, 50);
    p.mouseDown(100, 50);
    p.mouseMove(190, 90);
    p.mouseMove(100, 50);
    p.mouseMove(190, 90);
    p.mouseUp(190, 90);
    EXPECT_EQ(r->take(), "rollOver\npress\ndragOut\ndragOver\ndragOut\nreleaseOutside\n");
    p.keyDown('K', U'k');
    EXPECT_EQ(r->take(), "key k\n");
}

TEST(Avm1Button, StatesAreDrawn) {
    auto r = play(buttonMovie());
    auto& p = *r->player;
    EXPECT_EQ(at(p, 100, 50), QColor(255, 0, 0));
    p.mouseMove(100, 50);
    EXPECT_EQ(at(p, 100, 50), QColor(0, 255, 0));
    p.mouseDown(100, 50);
    EXPECT_EQ(at(p, 100, 50), QColor(0, 0, 255));
    p.mouseUp(100, 50);
    EXPECT_EQ(at(p, 100, 50), QColor(0, 255, 0));
    p.mouseMove(5, 5);
    EXPECT_EQ(at(p, 100, 50), QColor(255, 0, 0));
}

TEST(Avm1Key, ListenersAndState) {
    // l = {}; l.onKeyDown = function() { trace(Key.getCode() + " " + Key.isDown(37)) };
    // Key.addListener(l)
    swftest::SwfBuilder b(6);
    ActionWriter body;
    push(body, {0, "Key"}).getVariable();
    push(body, {"getCode"}).op(op::CallMethod);
    push(body, {" "}).op(op::Add2);
    push(body, {37, 1, "Key"}).getVariable();
    push(body, {"isDown"}).op(op::CallMethod).op(op::Add2).trace();
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
    r->player->keyDown(37);
    r->player->keyUp(37);
    r->player->keyDown(65, U'a');
    EXPECT_EQ(r->take(), "37 true\n65 false\n");
}

TEST(Avm1MovieClip, ClipsWithHandlersActAsButtonsAndSeeTheMouse) {
    // A sprite "kid" holding a rectangle at (50,25)-(150,75) px; kid.onRelease traces
    // _root._xmouse and kid._xmouse (the sprite sits at x = 10 px).
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
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    r->player->mouseDown(5, 5);
    r->player->mouseUp(5, 5);
    EXPECT_EQ(r->take(), "");
    r->player->mouseDown(100, 50);
    r->player->mouseUp(100, 50);
    EXPECT_EQ(r->take(), "100 90\n");
}
