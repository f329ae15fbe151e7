#pragma once
// Sound tags: DefineSound, StartSound/StartSound2 with their sound info, SoundStreamHead(2)
// and SoundStreamBlock. Every field is read through BitReader; a short tag gives valid=false.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/format/bit_reader.h"

namespace swf::format {

namespace code {
constexpr uint16_t DefineSound = 14, StartSound = 15, SoundStreamHead = 18, SoundStreamBlock = 19,
                   SoundStreamHead2 = 45, StartSound2 = 89, DefineButtonSound = 17;
}

// The SoundFormat field's values.
enum class SoundCodec : uint8_t {
    PcmNative = 0,  // uncompressed, byte order of the authoring machine (little-endian in practice)
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3,
    Nelly16k = 4,
    Nelly8k = 5,
    Nelly = 6,
    Alaw = 7,
    Mulaw = 8,
    Speex = 11,
};

struct SoundFormat {
    uint8_t codec = 0;  // SoundCodec, kept raw so unknown values can be refused later
    int rate = 5512;    // Hz as the rate field says; Nellymoser 8k/16k and Speex fix their own
    bool is16Bit = false;
    bool stereo = false;
};

// Rates the two-bit rate field stands for.
int soundRateHz(unsigned rateField);

struct DefineSound {
    bool valid = false;
    uint16_t id = 0;
    SoundFormat format;
    uint32_t sampleCount = 0;       // per channel, as declared
    std::span<const uint8_t> data;  // codec data (MP3: after its seek-samples field)
    int16_t mp3SeekSamples = 0;     // MP3 only: samples to skip at the start
};

DefineSound parseDefineSound(std::span<const uint8_t> body);

struct EnvelopePoint {
    uint32_t position = 0;  // in 44.1 kHz samples from the start of the sound
    uint16_t left = 0;      // 0..32768
    uint16_t right = 0;
};

struct SoundInfo {
    bool syncStop = false;
    bool syncNoMultiple = false;
    std::optional<uint32_t> inPoint;   // 44.1 kHz samples
    std::optional<uint32_t> outPoint;  // 44.1 kHz samples
    uint16_t loops = 1;                // 0 in the file plays once, like 1
    std::vector<EnvelopePoint> envelope;
};

SoundInfo parseSoundInfo(BitReader& r);

struct StartSound {
    bool valid = false;
    uint16_t id = 0;        // StartSound only
    std::string className;  // StartSound2 only
    SoundInfo info;
};

// version 1: StartSound (id), 2: StartSound2 (class name).
StartSound parseStartSound(std::span<const uint8_t> body, int version);

struct SoundStreamHead {
    bool valid = false;
    SoundFormat playback;
    SoundFormat stream;
    uint16_t samplesPerBlock = 0;
    int16_t latencySeek = 0;  // MP3 only
};

SoundStreamHead parseSoundStreamHead(std::span<const uint8_t> body);

struct SoundStreamBlock {
    bool valid = false;
    uint16_t sampleCount = 0;  // MP3 only
    int16_t seekSamples = 0;   // MP3 only
    std::span<const uint8_t> data;
};

SoundStreamBlock parseSoundStreamBlock(std::span<const uint8_t> body, uint8_t codec);

// DefineButtonSound: a sound (id 0: none) for each of the four state changes, in the order
// over->up, up->over, over->down, down->over.
struct ButtonSounds {
    bool valid = false;
    uint16_t buttonId = 0;
    struct Entry {
        uint16_t id = 0;
        SoundInfo info;
    };
    Entry entries[4];
};

ButtonSounds parseDefineButtonSound(std::span<const uint8_t> body);

}  // namespace swf::format
