#pragma once
// Movies with sound and video for the media suites: hand-built tags, and files made by the
// real ffmpeg (found at configure time) in a temporary folder.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/player.h"
#include "tests/support/swf_writer.h"

namespace mediatest {

inline std::string ffmpegPath() { return LANFENG_FFMPEG; }

#define REQUIRE_FFMPEG()                                                          \
    do {                                                                          \
        if (mediatest::ffmpegPath().empty())                                      \
            GTEST_SKIP() << "ffmpeg was not found at configure time; install it"; \
    } while (0)

// Runs ffmpeg quietly with the given arguments; true when it exits 0.
inline bool ffmpeg(const std::string& args) {
    const std::string cmd =
        "'" + ffmpegPath() + "' -nostdin -hide_banner -loglevel error -y " + args + " 2>&1";
    return std::system(cmd.c_str()) == 0;
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Zero crossings of one channel of interleaved stereo, as a frequency.
inline double frequencyOf(const std::vector<int16_t>& stereo, int channel, size_t from = 0,
                          size_t to = SIZE_MAX) {
    to = std::min(to, stereo.size() / 2);
    int crossings = 0;
    bool neg = stereo[from * 2 + channel] < 0;
    size_t first = 0, last = 0;
    for (size_t i = from + 1; i < to; ++i) {
        const bool n = stereo[i * 2 + channel] < 0;
        if (n != neg) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
        neg = n;
    }
    if (crossings < 3) return 0;
    return (crossings - 1) / 2.0 * 44100.0 / double(last - first);
}

inline int peak(const std::vector<int16_t>& s, size_t from = 0, size_t to = SIZE_MAX) {
    int p = 0;
    for (size_t i = from; i < std::min(to, s.size()); ++i) p = std::max(p, std::abs(int(s[i])));
    return p;
}

// Mixes `frames` 44.1 kHz frames of the player.
inline std::vector<int16_t> mix(swf::Player& p, size_t frames) {
    std::vector<int16_t> out(frames * 2);
    p.mixAudio(out);
    return out;
}

inline std::vector<int16_t> sine(double freq, int rate, size_t n, double amp = 12000) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = int16_t(std::lround(amp * std::sin(2 * M_PI * freq * double(i) / rate)));
    return s;
}

inline std::vector<uint8_t> bytesOf(const std::vector<int16_t>& s) {
    std::vector<uint8_t> b;
    for (int16_t v : s) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(uint16_t(v) >> 8));
    }
    return b;
}

struct SoundSpec {
    int codec = 3;
    int rateField = 3;  // 0: 5.5k, 1: 11k, 2: 22k, 3: 44k
    bool is16 = true;
    bool stereo = false;
    uint32_t sampleCount = 0;
    std::vector<uint8_t> data;  // MP3: including the leading seek-samples field
};

struct InfoSpec {
    bool syncStop = false, noMultiple = false;
    std::optional<uint32_t> in, out;
    std::optional<uint16_t> loops;
    std::vector<std::array<uint32_t, 3>> envelope;  // position, left, right
};

inline std::vector<uint8_t> defineSoundBody(uint16_t id, const SoundSpec& s) {
    swftest::BitWriter w;
    w.u16(id);
    w.writeUB(uint32_t(s.codec), 4);
    w.writeUB(uint32_t(s.rateField), 2);
    w.writeUB(s.is16, 1);
    w.writeUB(s.stereo, 1);
    w.u32(s.sampleCount);
    w.raw(s.data);
    return w.take();
}

inline void writeSoundInfo(swftest::BitWriter& w, const InfoSpec& i) {
    w.writeUB(0, 2);
    w.writeUB(i.syncStop, 1);
    w.writeUB(i.noMultiple, 1);
    w.writeUB(!i.envelope.empty(), 1);
    w.writeUB(i.loops.has_value(), 1);
    w.writeUB(i.out.has_value(), 1);
    w.writeUB(i.in.has_value(), 1);
    if (i.in) w.u32(*i.in);
    if (i.out) w.u32(*i.out);
    if (i.loops) w.u16(*i.loops);
    if (!i.envelope.empty()) {
        w.u8(uint8_t(i.envelope.size()));
        for (const auto& p : i.envelope) {
            w.u32(p[0]);
            w.u16(uint16_t(p[1]));
            w.u16(uint16_t(p[2]));
        }
    }
}

inline std::vector<uint8_t> startSoundBody(uint16_t id, const InfoSpec& i) {
    swftest::BitWriter w;
    w.u16(id);
    writeSoundInfo(w, i);
    return w.take();
}

// A movie of `frames` frames (fps 10) that defines sound 1 and starts it on frame 0, then
// applies `more` (frame index, StartSound info) on later frames.
inline std::vector<uint8_t> eventMovie(const SoundSpec& s, const InfoSpec& info, int frames = 20,
                                       std::vector<std::pair<int, InfoSpec>> more = {}) {
    swftest::SwfBuilder b(8, 100, 100, 10.0);
    b.rawTag(14, defineSoundBody(1, s));
    for (int f = 0; f < frames; ++f) {
        if (f == 0) b.rawTag(15, startSoundBody(1, info));
        for (const auto& [at, i] : more)
            if (at == f) b.rawTag(15, startSoundBody(1, i));
        b.showFrame();
    }
    return b.bytes();
}

// The audio (8) or video (9) tags of an FLV file, each without its leading format byte.
inline std::vector<std::vector<uint8_t>> flvPackets(const std::vector<uint8_t>& flv, int type) {
    std::vector<std::vector<uint8_t>> out;
    if (flv.size() < 13) return out;
    size_t pos = size_t(flv[5] << 24 | flv[6] << 16 | flv[7] << 8 | flv[8]) + 4;
    while (pos + 11 <= flv.size()) {
        const size_t size = size_t(flv[pos + 1] << 16 | flv[pos + 2] << 8 | flv[pos + 3]);
        const size_t body = pos + 11;
        if (body + size > flv.size()) break;
        if (flv[pos] == type && size > 1)
            out.emplace_back(flv.begin() + long(body) + 1, flv.begin() + long(body + size));
        pos = body + size + 4;
    }
    return out;
}

inline std::shared_ptr<const swf::Movie> load(const std::vector<uint8_t>& bytes) {
    return swf::loadMovie(std::span<const uint8_t>(bytes));
}

}  // namespace mediatest
