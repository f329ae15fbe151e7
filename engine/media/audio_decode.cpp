#include "engine/media/audio_decode.h"

#include <algorithm>
#include <cstring>

#include "engine/media/ffmpeg_ptr.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace swf::media {
namespace {

using format::SoundCodec;

AVCodecID codecFor(uint8_t codec) {
    switch (static_cast<SoundCodec>(codec)) {
        case SoundCodec::Adpcm:
            return AV_CODEC_ID_ADPCM_SWF;
        case SoundCodec::Mp3:
            return AV_CODEC_ID_MP3;
        case SoundCodec::Nelly16k:
        case SoundCodec::Nelly8k:
        case SoundCodec::Nelly:
            return AV_CODEC_ID_NELLYMOSER;
        case SoundCodec::Alaw:
            return AV_CODEC_ID_PCM_ALAW;
        case SoundCodec::Mulaw:
            return AV_CODEC_ID_PCM_MULAW;
        case SoundCodec::Speex:
            return AV_CODEC_ID_SPEEX;
        default:
            return AV_CODEC_ID_NONE;
    }
}

bool isPlainPcm(uint8_t codec) {
    return codec == uint8_t(SoundCodec::PcmNative) || codec == uint8_t(SoundCodec::PcmLittle);
}

// Nellymoser codes 64-byte blocks; feeding whole blocks keeps the decoder from guessing.
constexpr size_t kNellyBlock = 64;

}  // namespace

bool canDecode(uint8_t codec) {
    if (isPlainPcm(codec)) return true;
    const AVCodecID id = codecFor(codec);
    return id != AV_CODEC_ID_NONE && avcodec_find_decoder(id) != nullptr;
}

struct AudioDecoder::Impl {
    format::SoundFormat format;
    size_t maxFrames;
    CodecContextPtr ctx;
    ParserPtr parser;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    SwrPtr swr;
    // What the resampler was set up for; a change mid-stream (MP3 may switch) makes a new one.
    int inRate = 0, inChannels = 0, outChannels = 2;
    AVSampleFormat inFormat = AV_SAMPLE_FMT_NONE;
    std::vector<uint8_t> carry;  // Nellymoser bytes short of a block
    PcmBuffer out;
    bool plain = false;
    bool usable = false;

    explicit Impl(const format::SoundFormat& f, size_t cap) : format(f), maxFrames(cap) {
        plain = isPlainPcm(f.codec);
        if (plain) {
            usable = true;
            return;
        }
        const AVCodecID id = codecFor(f.codec);
        const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
        if (!codec || !frame || !packet) return;
        ctx.reset(avcodec_alloc_context3(codec));
        if (!ctx) return;
        int rate = f.rate;
        int channels = f.stereo ? 2 : 1;
        if (f.codec == uint8_t(SoundCodec::Nelly16k)) rate = 16000;
        if (f.codec == uint8_t(SoundCodec::Nelly8k)) rate = 8000;
        if (f.codec == uint8_t(SoundCodec::Speex)) rate = 16000;
        if (id == AV_CODEC_ID_NELLYMOSER || id == AV_CODEC_ID_SPEEX) channels = 1;
        ctx->sample_rate = rate;
        av_channel_layout_default(&ctx->ch_layout, channels);
        if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
            ctx.reset();
            return;
        }
        if (id == AV_CODEC_ID_MP3) parser.reset(av_parser_init(id));
        usable = true;
    }

    bool full() const { return out.frames() >= maxFrames; }

    void resample(const uint8_t* const* in, int count, int rate, int channels, AVSampleFormat fmt) {
        if (count <= 0 || rate <= 0 || channels <= 0 || full()) return;
        if (!swr || rate != inRate || channels != inChannels || fmt != inFormat) {
            flushResampler();
            AVChannelLayout inLayout, outLayout;
            av_channel_layout_default(&inLayout, channels);
            // Mono stays mono through the resampler (its upmix would lower the level by 3 dB)
            // and is copied to both sides afterwards, as Flash plays it.
            outChannels = channels == 1 ? 1 : 2;
            av_channel_layout_default(&outLayout, outChannels);
            SwrContext* s = nullptr;
            if (swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_S16, kMixRate, &inLayout, fmt,
                                    rate, 0, nullptr) < 0 ||
                !s) {
                av_channel_layout_uninit(&inLayout);
                return;
            }
            swr.reset(s);
            av_channel_layout_uninit(&inLayout);
            if (swr_init(swr.get()) < 0) {
                swr.reset();
                return;
            }
            inRate = rate;
            inChannels = channels;
            inFormat = fmt;
        }
        convert(in, count);
    }

    void convert(const uint8_t* const* in, int count) {
        const int room = swr_get_out_samples(swr.get(), count);
        if (room <= 0) return;
        const size_t at = out.samples.size();
        out.samples.resize(at + size_t(room) * 2);
        uint8_t* dst = reinterpret_cast<uint8_t*>(out.samples.data() + at);
        const int got =
            std::max(0, swr_convert(swr.get(), &dst, room, const_cast<const uint8_t**>(in), count));
        if (outChannels == 1) {
            // Spread in place from the back: frame k moves to 2k and 2k+1.
            int16_t* p = out.samples.data() + at;
            for (int k = got - 1; k >= 0; --k) p[2 * k] = p[2 * k + 1] = p[k];
        }
        out.samples.resize(at + size_t(got) * 2);
        if (out.frames() > maxFrames) out.samples.resize(maxFrames * 2);
    }

    void flushResampler() {
        if (swr) convert(nullptr, 0);
        swr.reset();
    }

    void drainFrames() {
        while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
            const AVFrame& f = *frame;
            resample(f.extended_data, f.nb_samples,
                     f.sample_rate > 0 ? f.sample_rate : ctx->sample_rate, f.ch_layout.nb_channels,
                     static_cast<AVSampleFormat>(f.format));
            av_frame_unref(frame.get());
        }
    }

    void sendPacket(const uint8_t* data, size_t size) {
        if (full()) return;
        packet->data = const_cast<uint8_t*>(data);
        packet->size = static_cast<int>(size);
        // A decoder that refuses one packet still gets the next: broken frames are dropped.
        if (avcodec_send_packet(ctx.get(), packet.get()) == AVERROR(EAGAIN)) {
            drainFrames();
            avcodec_send_packet(ctx.get(), packet.get());
        }
        drainFrames();
        packet->data = nullptr;
        packet->size = 0;
    }

    void feed(std::span<const uint8_t> data) {
        if (!usable || full() || data.empty()) return;
        if (plain) {
            const int channels = format.stereo ? 2 : 1;
            const size_t bytesPer = (format.is16Bit ? 2 : 1) * channels;
            const size_t count = data.size() / bytesPer;
            const uint8_t* in[1] = {data.data()};
            // Chunks keep one conversion's output within int range.
            for (size_t done = 0; done < count && !full();) {
                const size_t n = std::min<size_t>(count - done, 1 << 20);
                const uint8_t* chunk[1] = {in[0] + done * bytesPer};
                resample(chunk, int(n), format.rate, channels,
                         format.is16Bit ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_U8);
                done += n;
            }
            return;
        }
        if (parser) {
            // The parser may hand back pointers into our input; decoders read past a packet's
            // end, so the input carries FFmpeg's padding.
            std::vector<uint8_t> padded(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            std::memcpy(padded.data(), data.data(), data.size());
            const uint8_t* p = padded.data();
            size_t left = data.size();
            while (left > 0 && !full()) {
                uint8_t* outData = nullptr;
                int outSize = 0;
                const int used = av_parser_parse2(parser.get(), ctx.get(), &outData, &outSize, p,
                                                  int(std::min<size_t>(left, 1 << 30)),
                                                  AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (used < 0) break;
                p += used;
                left -= size_t(used);
                if (outSize > 0) sendPacket(outData, size_t(outSize));
                if (used == 0 && outSize == 0) break;
            }
            return;
        }
        if (ctx->codec_id == AV_CODEC_ID_NELLYMOSER) {
            carry.insert(carry.end(), data.begin(), data.end());
            const size_t whole = carry.size() / kNellyBlock * kNellyBlock;
            // A few blocks per packet: the decoder's output frame stays small.
            for (size_t at = 0; at < whole && !full(); at += kNellyBlock * 16)
                sendPacket(carry.data() + at, std::min(kNellyBlock * 16, whole - at));
            carry.erase(carry.begin(), carry.begin() + long(whole));
            return;
        }
        // Packets must stay addressable with padding; copy into a padded buffer.
        std::vector<uint8_t> padded(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::memcpy(padded.data(), data.data(), data.size());
        sendPacket(padded.data(), data.size());
    }

    PcmBuffer finish() {
        if (usable && !plain && ctx) {
            if (parser && !full()) {
                uint8_t* outData = nullptr;
                int outSize = 0;
                av_parser_parse2(parser.get(), ctx.get(), &outData, &outSize, nullptr, 0,
                                 AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (outSize > 0) sendPacket(outData, size_t(outSize));
            }
            avcodec_send_packet(ctx.get(), nullptr);
            drainFrames();
        }
        flushResampler();
        return std::move(out);
    }
};

AudioDecoder::AudioDecoder(const format::SoundFormat& format, size_t maxFrames)
    : d_(std::make_unique<Impl>(format, maxFrames)) {}
AudioDecoder::~AudioDecoder() = default;
bool AudioDecoder::ok() const { return d_->usable; }
void AudioDecoder::feed(std::span<const uint8_t> data) { d_->feed(data); }
PcmBuffer AudioDecoder::finish() { return d_->finish(); }
size_t AudioDecoder::framesSoFar() const { return d_->out.frames(); }

PcmBuffer decodeSound(const format::DefineSound& sound, size_t maxFrames) {
    if (!sound.valid) return {};
    // The declared count bounds the output too (with room for resampling at up to 8x).
    if (sound.sampleCount > 0)
        maxFrames = std::min<size_t>(maxFrames, size_t(sound.sampleCount) * 9 + 4096);
    AudioDecoder dec(sound.format, maxFrames);
    dec.feed(sound.data);
    PcmBuffer pcm = dec.finish();
    // MP3 sounds name the decoder delay to skip.
    if (sound.format.codec == uint8_t(format::SoundCodec::Mp3) && sound.mp3SeekSamples > 0) {
        const size_t skip = std::min(pcm.frames(), size_t(sound.mp3SeekSamples) * kMixRate /
                                                       size_t(std::max(sound.format.rate, 1)));
        pcm.samples.erase(pcm.samples.begin(), pcm.samples.begin() + long(skip * 2));
    }
    return pcm;
}

}  // namespace swf::media
