// Sound: tag parsing, event sounds in every format we can make, sound info, the stream sound
// and its clock. Checks the samples that come out of the mix.

#include <functional>
#include <random>
#include <thread>

#include "engine/format/sound.h"
#include "engine/media/audio_decode.h"
#include "engine/media/movie_media.h"
#include "engine/media/sound_clock.h"
#include "tests/media/media_fixture.h"

using namespace mediatest;

namespace {

TEST(SoundTags, ParseEveryFieldAndRefuseShortTags) {
    InfoSpec info;
    info.syncStop = true;
    info.in = 100;
    info.out = 5000;
    info.loops = 7;
    info.envelope = {{0, 32768, 0}, {44100, 0, 32768}};
    const auto body = startSoundBody(9, info);
    const auto s = swf::format::parseStartSound(body, 1);
    ASSERT_TRUE(s.valid);
    EXPECT_EQ(s.id, 9);
    EXPECT_TRUE(s.info.syncStop);
    EXPECT_FALSE(s.info.syncNoMultiple);
    EXPECT_EQ(s.info.inPoint, 100u);
    EXPECT_EQ(s.info.outPoint, 5000u);
    EXPECT_EQ(s.info.loops, 7);
    ASSERT_EQ(s.info.envelope.size(), 2u);
    EXPECT_EQ(s.info.envelope[1].position, 44100u);
    EXPECT_EQ(s.info.envelope[1].right, 32768);
    for (size_t n = 0; n < body.size(); ++n)
        EXPECT_FALSE(swf::format::parseStartSound(std::span(body).first(n), 1).valid) << n;

    SoundSpec spec{2, 2, true, true, 1152, {0x40, 0x02, 0xff, 0xfb}};
    const auto dsBody = defineSoundBody(3, spec);
    const auto ds = swf::format::parseDefineSound(dsBody);
    ASSERT_TRUE(ds.valid);
    EXPECT_EQ(ds.format.codec, 2);
    EXPECT_EQ(ds.format.rate, 22050);
    EXPECT_TRUE(ds.format.stereo);
    EXPECT_EQ(ds.mp3SeekSamples, 0x240);
    EXPECT_EQ(ds.data.size(), 2u);
    EXPECT_FALSE(swf::format::parseDefineSound(std::span(dsBody).first(6)).valid);

    // SoundStreamHead2 as ffmpeg writes it: 44.1 kHz 16-bit mono MP3, 3675 samples a frame.
    const uint8_t head[] = {0x0e, 0x2e, 0x5b, 0x0e, 0x00, 0x00};
    const auto h = swf::format::parseSoundStreamHead(head);
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.stream.codec, 2);
    EXPECT_EQ(h.stream.rate, 44100);
    EXPECT_TRUE(h.stream.is16Bit);
    EXPECT_FALSE(h.stream.stereo);
    EXPECT_EQ(h.playback.rate, 44100);
    EXPECT_EQ(h.samplesPerBlock, 3675);
    EXPECT_FALSE(swf::format::parseSoundStreamHead(std::span(head).first(3)).valid);
}

// One second of a 440 Hz tone in the given format, played as an event sound.
struct FormatCase {
    const char* name;
    int codec, rateField;
    bool is16;
    const char* ffmpegArgs;  // empty: made here as plain PCM
};

class EventSoundFormats : public testing::TestWithParam<FormatCase> {};

TEST_P(EventSoundFormats, PlaysTheToneOnBothSides) {
    const FormatCase& c = GetParam();
    SoundSpec s{c.codec, c.rateField, c.is16, false, 0, {}};
    const int rate = swf::format::soundRateHz(unsigned(c.rateField));
    if (*c.ffmpegArgs == 0) {
        const auto tone = sine(440, rate, size_t(rate));
        if (c.is16) {
            s.data = bytesOf(tone);
        } else {
            for (int16_t v : tone) s.data.push_back(uint8_t((v >> 8) + 128));
        }
        s.sampleCount = uint32_t(rate);
    } else {
        REQUIRE_FFMPEG();
        QTemporaryDir dir;
        const std::string out = dir.path().toStdString() + "/tone.raw";
        ASSERT_TRUE(ffmpeg("-f lavfi -i sine=frequency=440:duration=1:sample_rate=" +
                           std::to_string(rate) + " " + c.ffmpegArgs + " " + out));
        s.data = readFile(out);
        s.sampleCount = uint32_t(rate);
        if (std::string(c.ffmpegArgs).ends_with("flv")) {
            // FLV carries packets; ADPCM's each start their own bit stream, so one is the sound.
            const auto packets = flvPackets(s.data, 8);
            ASSERT_FALSE(packets.empty());
            s.data.clear();
            for (const auto& pk : packets) {
                s.data.insert(s.data.end(), pk.begin(), pk.end());
                if (c.codec == 1) break;
            }
        }
        if (c.codec == 2) s.data.insert(s.data.begin(), {0, 0});  // seek samples
    }
    ASSERT_TRUE(swf::media::canDecode(uint8_t(c.codec)));
    auto movie = load(eventMovie(s, {}));
    swf::Player p(movie);
    const auto out = mix(p, 44100 / 2);
    // Skip the codecs' first milliseconds (MP3's encoder delay, ADPCM's start).
    EXPECT_NEAR(frequencyOf(out, 0, 4410), 440, 440 * 0.02) << c.name;
    EXPECT_NEAR(frequencyOf(out, 1, 4410), 440, 440 * 0.02) << c.name;
    EXPECT_GT(peak(out, 4410 * 2), 2000) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EventSoundFormats,
    testing::Values(FormatCase{"pcm16le", 3, 3, true, ""}, FormatCase{"pcm8", 0, 1, false, ""},
                    FormatCase{"pcm16native", 0, 2, true, ""},
                    FormatCase{"adpcm", 1, 1, true, "-c:a adpcm_swf -f flv"},
                    FormatCase{"mp3", 2, 2, true, "-c:a libmp3lame -b:a 64k -f mp3 -write_xing 0"},
                    FormatCase{"nellymoser", 6, 2, true, "-c:a nellymoser -f flv"},
                    FormatCase{"alaw", 7, 1, true, "-c:a pcm_alaw -f alaw"}),
    [](const auto& info) { return std::string(info.param.name); });

// 1000 samples of a ramp, 16-bit mono at 44.1 kHz: every output sample can be predicted.
SoundSpec rampSound() {
    std::vector<int16_t> ramp(1000);
    for (int i = 0; i < 1000; ++i) ramp[size_t(i)] = int16_t(i * 20 + 1);
    return {3, 3, true, false, 1000, bytesOf(ramp)};
}
int16_t rampAt(size_t i) { return int16_t(i * 20 + 1); }

TEST(SoundInfo, LoopsInOutPointsEnvelopesAndSyncFlags) {
    {  // three loops of samples 100..599
        InfoSpec i;
        i.in = 100;
        i.out = 600;
        i.loops = 3;
        swf::Player p(load(eventMovie(rampSound(), i)));
        const auto out = mix(p, 2000);
        for (size_t k = 0; k < 1500; ++k) {
            ASSERT_EQ(out[k * 2], rampAt(100 + k % 500)) << k;
            ASSERT_EQ(out[k * 2 + 1], rampAt(100 + k % 500)) << k;
        }
        EXPECT_EQ(peak(out, 1500 * 2), 0);
    }
    {  // left fades in over the sound, right stays off
        InfoSpec i;
        i.envelope = {{0, 0, 0}, {1000, 32768, 0}};
        swf::Player p(load(eventMovie(rampSound(), i)));
        const auto out = mix(p, 1000);
        EXPECT_EQ(out[1], 0);
        EXPECT_EQ(peak(std::vector<int16_t>{out[1001], out[1999]}), 0);
        EXPECT_NEAR(out[500 * 2], rampAt(500) / 2, 2);
        EXPECT_NEAR(out[900 * 2], rampAt(900) * 0.9, 2);
    }
    {  // a second start of the same sound: doubled, unless "no multiple"; stop ends it
        for (bool noMultiple : {false, true}) {
            InfoSpec again;
            again.noMultiple = noMultiple;
            InfoSpec loop;
            loop.loops = 100;
            swf::Player p(load(eventMovie(rampSound(), loop, 20, {{1, again}})));
            p.advanceFrame();
            const auto out = mix(p, 200);
            EXPECT_EQ(out[0], noMultiple ? rampAt(0) : 2 * rampAt(0)) << noMultiple;
        }
        InfoSpec loop, stop;
        loop.loops = 100;
        stop.syncStop = true;
        swf::Player p(load(eventMovie(rampSound(), loop, 20, {{1, stop}})));
        EXPECT_GT(peak(mix(p, 100)), 0);
        p.advanceFrame();
        EXPECT_EQ(peak(mix(p, 4410)), 0);
    }
}

TEST(SoundInfo, StoppedPlayerIsSilentAndVolumeScales) {
    InfoSpec loop;
    loop.loops = 1000;
    swf::Player p(load(eventMovie(rampSound(), loop)));
    EXPECT_EQ(mix(p, 10)[2], rampAt(1));
    p.stop();
    EXPECT_EQ(peak(mix(p, 4410)), 0);
    p.play();
    EXPECT_EQ(mix(p, 10)[0], rampAt(10));  // resumes where it was
    p.setVolume(0.5);
    EXPECT_NEAR(mix(p, 10)[0], rampAt(20) / 2, 1);
}

// Sound objects are heard: attachSound and start, the target's volume and pan, stop by
// linkage name, StopSounds.
TEST(ScriptSound, StartedSoundsFollowTheirMixAndStop) {
    SoundSpec tone{3, 3, true, false, 44100, bytesOf(sine(440, 44100, 44100))};
    swftest::SwfBuilder b(8, 100, 100, 10.0);
    b.rawTag(14, defineSoundBody(1, tone));
    swftest::BitWriter ex;
    ex.u16(1);
    ex.u16(1);
    ex.string("tone");
    b.rawTag(56, ex.bytes());
    auto call = [](swftest::ActionWriter& a, const char* method, std::vector<std::string> args) {
        for (auto it = args.rbegin(); it != args.rend(); ++it) {
            if (!it->empty() && (std::isdigit(uint8_t((*it)[0])) || (*it)[0] == '-'))
                a.pushInt(std::stoi(*it));
            else
                a.pushString(*it);
        }
        a.pushInt(int(args.size())).pushString("s").getVariable().pushString(method).op(0x52).pop();
    };
    swftest::ActionWriter first;
    first.pushString("s").pushInt(0).pushString("Sound").op(0x40).setVariable();
    call(first, "attachSound", {"tone"});
    call(first, "start", {"0", "99"});
    const std::vector<std::function<void(swftest::ActionWriter&)>> frames{
        [&](swftest::ActionWriter& a) { a = first; },
        [&](swftest::ActionWriter& a) { call(a, "setVolume", {"50"}); },
        [&](swftest::ActionWriter& a) { call(a, "setPan", {"100"}); },
        [&](swftest::ActionWriter& a) { call(a, "stop", {"other"}); },
        [&](swftest::ActionWriter& a) { call(a, "stop", {"tone"}); },
        [&](swftest::ActionWriter& a) { call(a, "start", {}); },
        [&](swftest::ActionWriter& a) { a.op(0x09); },
    };
    for (const auto& f : frames) {
        swftest::ActionWriter a;
        f(a);
        b.doAction(a);
        b.showFrame();
    }
    b.showFrame();
    swf::Player p(load(b.bytes()));
    // Peaks of the left and right side over a tenth of a second, after each frame's script.
    std::vector<std::pair<int, int>> heard;
    for (size_t f = 0; f < frames.size(); ++f) {
        const auto out = mix(p, 4410);
        std::vector<int16_t> left, right;
        for (size_t i = 0; i + 1 < out.size(); i += 2) left.push_back(out[i]), right.push_back(out[i + 1]);
        heard.emplace_back(peak(left) / 1000, peak(right) / 1000);
        p.advanceFrame();
    }
    const std::vector<std::pair<int, int>> want{{12, 12}, {6, 6}, {0, 6}, {0, 6},
                                                {0, 0},   {0, 6}, {0, 0}};
    EXPECT_EQ(heard, want);

    // A clip's Sound reaches what its timeline plays, and what clips inside it play.
    swftest::SwfBuilder c(8, 100, 100, 10.0);
    c.rawTag(14, defineSoundBody(1, tone));
    swftest::SpriteBuilder inner;
    InfoSpec loop;
    loop.loops = 100;
    inner.rawTag(15, startSoundBody(1, loop));
    inner.showFrame();
    const uint16_t innerId = c.defineSprite(inner);
    swftest::SpriteBuilder outer;
    swftest::PlaceArgs in;
    in.id = innerId;
    outer.placeObject(in);
    outer.showFrame();
    const uint16_t outerId = c.defineSprite(outer);
    swftest::PlaceArgs out;
    out.id = outerId;
    out.name = "mc";
    c.placeObject(out);
    c.showFrame();
    swftest::ActionWriter quieter;  // new Sound(mc).setVolume(25)
    quieter.pushInt(25).pushInt(1).pushString("mc").getVariable().pushInt(1);
    quieter.pushString("Sound").op(0x40).pushString("setVolume").op(0x52).pop();
    c.doAction(quieter);
    c.showFrame();
    c.showFrame();
    swf::Player q(load(c.bytes()));
    EXPECT_EQ(peak(mix(q, 4410)) / 1000, 12);
    q.advanceFrame();
    EXPECT_EQ(peak(mix(q, 4410)) / 1000, 3);
}

TEST(SoundInfo, BrokenSoundDataStaysQuiet) {
    for (int codec : {1, 2, 4, 5, 6, 11, 15}) {
        SoundSpec s{codec, 3, true, true, 4000000000u, std::vector<uint8_t>(3000, 0xa7)};
        swf::Player p(load(eventMovie(s, {})));
        const auto out = mix(p, 44100);
        EXPECT_EQ(out.size(), 88200u) << codec;
    }
}

// A 12 fps movie with Sorenson video and MP3 stream sound, as ffmpeg's SWF muxer writes it.
std::shared_ptr<const swf::Movie> ffmpegMovie(QTemporaryDir& dir, int seconds, int freq = 440) {
    const std::string out = dir.path().toStdString() + "/av.swf";
    const std::string t = std::to_string(seconds);
    if (!ffmpeg("-f lavfi -i testsrc=size=160x120:rate=12:duration=" + t +
                " -f lavfi -i sine=frequency=" + std::to_string(freq) + ":duration=" + t +
                " -c:v flv1 -c:a libmp3lame -ar 44100 " + out))
        return nullptr;
    return load(readFile(out));
}

TEST(StreamSound, FollowsTheTimelineStopPlayAndGoto) {
    REQUIRE_FFMPEG();
    QTemporaryDir dir;
    auto movie = ffmpegMovie(dir, 3);
    ASSERT_TRUE(movie);
    const size_t perFrame = 3675;  // 44100 / 12
    // Played frame by frame, as lanfeng-cli does.
    swf::Player a(movie);
    std::vector<int16_t> all;
    for (int f = 0; f < 24; ++f) {
        if (f) a.advanceFrame();
        const auto chunk = mix(a, perFrame);
        all.insert(all.end(), chunk.begin(), chunk.end());
    }
    EXPECT_NEAR(frequencyOf(all, 0, perFrame), 440, 440 * 0.02);
    EXPECT_NEAR(frequencyOf(all, 1, perFrame), 440, 440 * 0.02);
    EXPECT_GT(peak(all, perFrame * 2), 2000);

    // A goto starts the stream at the frame's own sample.
    swf::Player b(movie);
    b.gotoFrame(12);
    const auto at12 = mix(b, perFrame);
    EXPECT_TRUE(std::equal(at12.begin(), at12.end(), all.begin() + 12 * perFrame * 2));
    EXPECT_EQ(b.soundClockFrame(), 13);

    // Stopped: silent and still; played again: on from the same place.
    b.stop();
    EXPECT_EQ(peak(mix(b, perFrame)), 0);
    EXPECT_EQ(b.soundClockFrame(), std::nullopt);
    b.play();
    b.advanceFrame();
    const auto at13 = mix(b, perFrame);
    EXPECT_TRUE(std::equal(at13.begin(), at13.end(), all.begin() + 13 * perFrame * 2));
}

// The sound device pulls uneven chunks on its own clock while drawing runs late; after each
// beat the frame shown is never more than one frame from the sound's position.
TEST(StreamSound, PicturesStayWithTheSoundFor60Seconds) {
    REQUIRE_FFMPEG();
    QTemporaryDir dir;
    auto movie = ffmpegMovie(dir, 60);
    ASSERT_TRUE(movie);
    swf::Player p(movie);
    ASSERT_EQ(p.totalFrames(), 720);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> chunk(256, 4096), slowBeat(0, 9);
    double soundTime = 0, beatTime = 1.0 / 12;
    int worst = 0, beats = 0;
    while (p.currentFrame() < 700 && beats < 5000) {
        // The device consumes up to the next beat of the frame clock.
        while (soundTime < beatTime) {
            const int n = chunk(rng);
            mix(p, size_t(n));
            soundTime += n / 44100.0;
        }
        const auto target = p.soundClockFrame();
        ASSERT_TRUE(target.has_value()) << "frame " << p.currentFrame();
        const int steps = swf::media::framesToFollow(p.currentFrame(), target, 8);
        for (int s = 0; s < steps; ++s) p.advanceFrame();
        worst = std::max(worst, std::abs(p.currentFrame() - *p.soundClockFrame()));
        // Now and then a frame takes three beats to draw.
        beatTime += (slowBeat(rng) == 0 ? 3.0 : 1.0) / 12;
        ++beats;
    }
    EXPECT_GE(p.currentFrame(), 700);
    EXPECT_LE(worst, 1);
}

}  // namespace

// Decodes on several threads share one movie's budget: together they never get more than it
// holds, what a decode did not use comes back, and a spent budget gives silence.
TEST(SoundBudget, ReservationsNeverOverspendAndUnusedFramesReturn) {
    using swf::media::kMaxSoundFrames;
    const size_t frameBytes = 4;
    swf::media::SoundBudget budget(kMaxSoundFrames * frameBytes * 5 / 2);
    std::vector<size_t> got(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i)
        threads.emplace_back([&, i] { got[i] = budget.reserve(); });
    for (auto& t : threads) t.join();
    size_t total = 0;
    for (size_t g : got) total += g;
    EXPECT_EQ(total, kMaxSoundFrames * 5 / 2);
    EXPECT_EQ(budget.reserve(), 0u);

    swf::media::PcmBuffer small;
    small.samples.resize(2000);  // 1,000 frames of a full reservation were used
    budget.settle(kMaxSoundFrames, small);
    EXPECT_EQ(budget.reserve(), kMaxSoundFrames - 1000);
}
