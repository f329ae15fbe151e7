// Movies made to break the player: what their scripts do to the stage under the mouse, to
// the clip removal pass and to stored objects never crashes or hangs it.

#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"

using namespace avm1test;

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
        p.mouseMove(100, 50);
        p.mouseDown(100, 50);
        p.mouseUp(100, 50);
        p.mouseMove(190, 90);
        p.mouseMove(100, 50);
        p.mouseDown(100, 50);
        p.mouseUp(100, 50);
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
    p.mouseMove(100, 50);
    p.advanceFrame();
    p.mouseMove(190, 90);
    p.mouseMove(100, 50);
    p.advanceFrame();
    EXPECT_EQ(r->take(), "bye\nundefined\n");
}

// a's onUnload removes b, whose onUnload removes c: the removal pass runs again inside
// itself, and every handler runs once.
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
    EXPECT_EQ(r->take(), "a unload\nb unload\nc unload\nend\n");
}
