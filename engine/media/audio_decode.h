#pragma once
// Turns SWF sound data of any format into 44.1 kHz interleaved stereo s16, the mixer's one
// format, through libavcodec (compressed formats) and libswresample (everything).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/format/sound.h"

namespace swf::media {

constexpr int kMixRate = 44100;

// Interleaved stereo at kMixRate.
struct PcmBuffer {
    std::vector<int16_t> samples;
    size_t frames() const { return samples.size() / 2; }
};

// No sound may decode to more than this, whatever its data claims.
constexpr size_t kMaxSoundFrames = size_t(kMixRate) * 60 * 15;

// True when this build can decode the codec (Speex depends on FFmpeg's build).
bool canDecode(uint8_t codec);

// Decodes packets of one sound in order. Unsupported codecs and broken data give what could
// be decoded (possibly nothing), never an exception.
class AudioDecoder {
public:
    AudioDecoder(const format::SoundFormat& format, size_t maxFrames = kMaxSoundFrames);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    bool ok() const;
    // One packet: a whole DefineSound body, or one stream block. MP3 and Nellymoser data
    // may be cut anywhere; the decoder keeps what belongs to the next packet.
    void feed(std::span<const uint8_t> data);
    // Drains the codec and the resampler.
    PcmBuffer finish();
    size_t framesSoFar() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// A whole DefineSound.
PcmBuffer decodeSound(const format::DefineSound& sound, size_t maxFrames = kMaxSoundFrames);

}  // namespace swf::media
