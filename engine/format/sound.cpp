#include "engine/format/sound.h"

#include "engine/format/bit_reader.h"

namespace swf::format {
namespace {

// A file cannot hold more envelope points than this (one byte count).
constexpr size_t kMaxEnvelopePoints = 255;

SoundFormat readFormat(BitReader& r) {
    SoundFormat f;
    f.codec = static_cast<uint8_t>(r.ub(4));
    f.rate = soundRateHz(r.ub(2));
    f.is16Bit = r.flag();
    f.stereo = r.flag();
    return f;
}

}  // namespace

int soundRateHz(unsigned rateField) {
    static constexpr int kRates[4] = {5512, 11025, 22050, 44100};
    return kRates[rateField & 3];
}

DefineSound parseDefineSound(std::span<const uint8_t> body) {
    BitReader r(body);
    DefineSound s;
    s.id = r.u16();
    s.format = readFormat(r);
    s.sampleCount = r.u32();
    if (r.overrun()) return s;
    if (s.format.codec == static_cast<uint8_t>(SoundCodec::Mp3)) {
        s.mp3SeekSamples = r.s16();
        if (r.overrun()) return s;
    }
    s.data = r.rest();
    s.valid = true;
    return s;
}

SoundInfo parseSoundInfo(BitReader& r) {
    SoundInfo info;
    r.ub(2);  // reserved
    info.syncStop = r.flag();
    info.syncNoMultiple = r.flag();
    const bool hasEnvelope = r.flag();
    const bool hasLoops = r.flag();
    const bool hasOut = r.flag();
    const bool hasIn = r.flag();
    if (hasIn) info.inPoint = r.u32();
    if (hasOut) info.outPoint = r.u32();
    if (hasLoops) info.loops = r.u16();
    if (hasEnvelope) {
        const size_t n = std::min<size_t>(r.u8(), kMaxEnvelopePoints);
        for (size_t i = 0; i < n && !r.overrun(); ++i) {
            EnvelopePoint p;
            p.position = r.u32();
            p.left = r.u16();
            p.right = r.u16();
            if (!r.overrun()) info.envelope.push_back(p);
        }
    }
    return info;
}

StartSound parseStartSound(std::span<const uint8_t> body, int version) {
    BitReader r(body);
    StartSound s;
    if (version == 2)
        s.className = r.string();
    else
        s.id = r.u16();
    s.info = parseSoundInfo(r);
    s.valid = !r.overrun();
    return s;
}

SoundStreamHead parseSoundStreamHead(std::span<const uint8_t> body) {
    BitReader r(body);
    SoundStreamHead h;
    // The playback half has the same layout, its codec field reserved.
    h.playback = readFormat(r);
    h.playback.codec = 0;
    h.stream = readFormat(r);
    h.samplesPerBlock = r.u16();
    if (h.stream.codec == static_cast<uint8_t>(SoundCodec::Mp3) && r.remaining() >= 2)
        h.latencySeek = r.s16();
    h.valid = !r.overrun();
    return h;
}

SoundStreamBlock parseSoundStreamBlock(std::span<const uint8_t> body, uint8_t codec) {
    SoundStreamBlock b;
    if (codec == static_cast<uint8_t>(SoundCodec::Mp3)) {
        BitReader r(body);
        b.sampleCount = r.u16();
        b.seekSamples = r.s16();
        if (r.overrun()) return b;
        b.data = r.rest();
    } else {
        b.data = body;
    }
    b.valid = true;
    return b;
}

ButtonSounds parseDefineButtonSound(std::span<const uint8_t> body) {
    BitReader r(body);
    ButtonSounds b;
    b.buttonId = r.u16();
    for (auto& e : b.entries) {
        e.id = r.u16();
        if (e.id) e.info = parseSoundInfo(r);
        if (r.overrun()) return b;
    }
    b.valid = true;
    return b;
}

}  // namespace swf::format
