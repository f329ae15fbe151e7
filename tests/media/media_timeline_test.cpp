// Sounds beyond the root's StartSound: sprites' own event and stream sounds, StartSound2 by
// class name, button sounds, and the stream clock read behind the device's queue. Sounds here
// are constant levels, so the mix tells exactly which sound plays.

#include "tests/media/media_fixture.h"

using namespace mediatest;

namespace {

constexpr size_t kTick = 4410;  // 44.1 kHz frames per movie frame at 10 fps

SoundSpec level(int16_t v, size_t n) {
    return {3, 3, true, false, uint32_t(n), bytesOf(std::vector<int16_t>(n, v))};
}

// SoundStreamHead2 for 16-bit mono PCM at 44.1 kHz, one tick of samples a frame.
std::vector<uint8_t> pcmStreamHead() {
    swftest::BitWriter w;
    w.u8(0x0e);
    w.u8(0x3e);
    w.u16(uint16_t(kTick));
    return w.take();
}

// The left channel's level where the mix holds one value throughout (-1 when it varies).
int steady(const std::vector<int16_t>& m) {
    for (size_t i = 0; i < m.size(); i += 2)
        if (m[i] != m[0]) return -1;
    return m.empty() ? 0 : m[0];
}

TEST(SpriteSound, EventSoundsFireAsEachInstanceEntersItsFrames) {
    swftest::SwfBuilder b(6, 100, 100, 10.0);
    const uint16_t a = b.reserveId(), c = b.reserveId();
    b.rawTag(14, defineSoundBody(a, level(3000, 2205)));
    b.rawTag(14, defineSoundBody(c, level(500, 2205)));
    // Three frames, the sound on the second: heard every third tick while it loops.
    swftest::SpriteBuilder looping;
    looping.showFrame();
    looping.rawTag(15, startSoundBody(a, {}));
    looping.showFrame();
    looping.showFrame();
    const uint16_t loopingId = b.defineSprite(looping);
    // One frame that never ticks: heard once, when placed.
    swftest::SpriteBuilder once;
    once.rawTag(15, startSoundBody(c, {}));
    once.showFrame();
    const uint16_t onceId = b.defineSprite(once);
    b.showFrame();
    b.place(loopingId, 1);
    b.showFrame();
    for (int f = 2; f < 12; ++f) {
        if (f == 5) b.place(onceId, 2);
        b.showFrame();
    }
    swf::Player p(load(b.bytes()));
    std::vector<int> peaks;
    for (int t = 0; t < 12; ++t) {
        if (t) p.advanceFrame();
        peaks.push_back(peak(mix(p, kTick)));
    }
    EXPECT_EQ(peaks, (std::vector<int>{0, 0, 3000, 0, 0, 3500, 0, 0, 3000, 0, 0, 3000}));
}

TEST(SpriteSound, InstancePlacedAgainAtTheSameDepthIsHeardAgain) {
    swftest::SwfBuilder b(6, 100, 100, 10.0);
    const uint16_t snd = b.reserveId();
    b.rawTag(14, defineSoundBody(snd, level(800, 1000)));
    swftest::SpriteBuilder once;
    once.rawTag(15, startSoundBody(snd, {}));
    once.showFrame();
    const uint16_t id = b.defineSprite(once);
    b.place(id, 1);
    b.showFrame();
    for (int f = 1; f < 4; ++f) {
        b.remove(1);
        b.place(id, 1);
        b.showFrame();
    }
    swf::Player p(load(b.bytes()));
    for (int t = 0; t < 4; ++t) {
        if (t) p.advanceFrame();
        EXPECT_EQ(peak(mix(p, kTick)), 800) << t;
    }
}

TEST(SpriteSound, StreamFollowsTheSpritesTimelineGotoAndStop) {
    swftest::SwfBuilder b(6, 100, 100, 10.0);
    swftest::SpriteBuilder sp;
    sp.rawTag(45, pcmStreamHead());
    for (int f = 0; f < 10; ++f) {
        sp.rawTag(19, bytesOf(std::vector<int16_t>(kTick, int16_t(1000 * (f + 1)))));
        if (f == 4) sp.doAction(swftest::ActionWriter().gotoFrame(7).play());
        if (f == 9) sp.doAction(swftest::ActionWriter().stop());
        sp.showFrame();
    }
    const uint16_t id = b.defineSprite(sp);
    b.place(id, 1);
    for (int f = 0; f < 20; ++f) b.showFrame();
    swf::Player p(load(b.bytes()));
    std::vector<int> levels;
    for (int t = 0; t < 7; ++t) {
        if (t) p.advanceFrame();
        levels.push_back(steady(mix(p, kTick)));
    }
    // Frames 0-3 in order; frame 4 jumps to 7 (the stream moves with it); frame 9 stops it.
    EXPECT_EQ(levels, (std::vector<int>{1000, 2000, 3000, 4000, 8000, 9000, 0}));
}

TEST(SpriteSound, StreamPlaysOnWhenTheRootStopsButNotWhenThePlayerDoes) {
    swftest::SwfBuilder b(6, 100, 100, 10.0);
    swftest::SpriteBuilder sp;
    sp.rawTag(45, pcmStreamHead());
    for (int f = 0; f < 10; ++f) {
        sp.rawTag(19, bytesOf(std::vector<int16_t>(kTick, int16_t(1000 * (f + 1)))));
        sp.showFrame();
    }
    b.place(b.defineSprite(sp), 1);
    b.doAction(swftest::ActionWriter().stop());
    b.showFrame();
    b.showFrame();
    swf::Player p(load(b.bytes()));
    ASSERT_FALSE(p.isPlaying());
    EXPECT_EQ(steady(mix(p, kTick)), 1000);
    EXPECT_EQ(steady(mix(p, kTick)), 2000);
    p.stop();
    EXPECT_EQ(peak(mix(p, kTick)), 0);
    p.play();
    EXPECT_EQ(steady(mix(p, kTick)), 3000);
}

TEST(StartSound2, SoundsNamedByClassOrExportName) {
    for (uint16_t namesTag : {uint16_t(76), uint16_t(56)}) {  // SymbolClass, ExportAssets
        swftest::SwfBuilder b(9, 100, 100, 10.0);
        b.rawTag(14, defineSoundBody(1, level(1200, 1000)));
        for (const char* name : {"Bell", "NoSuchClass"}) {
            swftest::BitWriter w;
            w.string(name);
            writeSoundInfo(w, {});
            b.rawTag(89, w.take());
        }
        // Named after the frame's StartSound2, as linkage usually is.
        swftest::BitWriter names;
        names.u16(2);
        names.u16(1);
        names.string("Bell");
        names.u16(40);
        names.string("NotASound");
        b.rawTag(namesTag, names.take());
        b.showFrame();
        swf::Player p(load(b.bytes()));
        const auto out = mix(p, 2000);
        EXPECT_EQ(peak(out, 0, 2000), 1200) << namesTag;
        EXPECT_EQ(peak(out, 2000), 0) << namesTag;
    }
}

TEST(ButtonSound, EachStateChangePlaysItsOwnSound) {
    swftest::SwfBuilder b(6, 100, 100, 10.0);
    b.rawTag(14, defineSoundBody(1, level(700, 1000)));
    b.rawTag(14, defineSoundBody(2, level(900, 1000)));
    swftest::BitWriter w;
    w.u16(7);
    w.u16(0);  // over -> up: none
    w.u16(1);  // up -> over
    writeSoundInfo(w, {});
    w.u16(2);  // over -> down, twice
    InfoSpec twice;
    twice.loops = 2;
    writeSoundInfo(w, twice);
    w.u16(0);  // down -> over: none
    const auto body = w.take();
    b.rawTag(17, body);
    // A cut copy for another button is read as nothing.
    auto cut = body;
    cut[0] = 8;
    cut.resize(cut.size() - 3);
    b.rawTag(17, cut);
    b.showFrame();
    swf::Player p(load(b.bytes()));

    p.buttonSound(7, swf::ButtonTransition::UpToOver);
    EXPECT_EQ(steady(mix(p, 1000)), 700);
    p.buttonSound(7, swf::ButtonTransition::OverToUp);
    p.buttonSound(7, swf::ButtonTransition::DownToOver);
    p.buttonSound(8, swf::ButtonTransition::OverToDown);
    p.buttonSound(99, swf::ButtonTransition::UpToOver);
    EXPECT_EQ(peak(mix(p, 1000)), 0);
    p.buttonSound(7, swf::ButtonTransition::OverToDown);
    const auto down = mix(p, 3000);
    EXPECT_EQ(peak(down, 0, 4000), 900);
    EXPECT_EQ(steady(std::vector<int16_t>(down.begin(), down.begin() + 4000)), 900);
    EXPECT_EQ(peak(down, 4000), 0);
}

TEST(StreamClock, HeardPositionTrailsTheMixByTheDevicesQueue) {
    swftest::SwfBuilder b(6, 100, 100, 10.0);
    b.rawTag(45, pcmStreamHead());
    for (int f = 0; f < 10; ++f) {
        b.rawTag(19, bytesOf(std::vector<int16_t>(kTick, 100)));
        b.showFrame();
    }
    swf::Player p(load(b.bytes()));
    mix(p, kTick * 3);
    EXPECT_EQ(p.soundClockFrame(), 3);
    EXPECT_EQ(p.soundClockFrame(kTick), 2);
    EXPECT_EQ(p.soundClockFrame(kTick * 100), 0);
    // After a seek the sound queued before it is no reason to hold the pictures back.
    p.gotoFrame(8);
    EXPECT_EQ(p.soundClockFrame(kTick), 8);
    mix(p, kTick + kTick / 2);
    EXPECT_EQ(p.soundClockFrame(), 9);
    EXPECT_EQ(p.soundClockFrame(kTick), 8);
}

}  // namespace
