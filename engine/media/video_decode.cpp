#include "engine/media/video_decode.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/format/bit_reader.h"
#include "engine/media/ffmpeg_ptr.h"

namespace swf::media {
namespace {

using format::VideoCodec;

AVCodecID codecFor(uint8_t codec) {
    if (codec == 7) return AV_CODEC_ID_H264;  // FLV only
    switch (static_cast<VideoCodec>(codec)) {
        case VideoCodec::SorensonH263:
            return AV_CODEC_ID_FLV1;
        case VideoCodec::ScreenVideo:
            return AV_CODEC_ID_FLASHSV;
        case VideoCodec::ScreenVideo2:
            return AV_CODEC_ID_FLASHSV2;
        case VideoCodec::Vp6:
            return AV_CODEC_ID_VP6F;
        case VideoCodec::Vp6Alpha:
            return AV_CODEC_ID_VP6A;
        default:
            return AV_CODEC_ID_NONE;
    }
}

}  // namespace

// Flash turns 4:2:0 pictures into RGB with studio-range BT.601 in 16-bit fixed point, each
// chroma sample covering its 2x2 block unfiltered. VP6 with alpha carries its colour already
// multiplied by the alpha plane.
QImage yuv420ToImage(const AVFrame& f, bool alpha) {
    if (f.width <= 0 || f.height <= 0 || f.width > kMaxVideoSide || f.height > kMaxVideoSide ||
        !f.data[0] || !f.data[1] || !f.data[2] || (alpha && !f.data[3]))
        return {};
    QImage img(f.width, f.height,
               alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (img.isNull()) return img;
    auto clamp = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    for (int y = 0; y < f.height; ++y) {
        const uint8_t* yr = f.data[0] + ptrdiff_t(y) * f.linesize[0];
        const uint8_t* ur = f.data[1] + ptrdiff_t(y / 2) * f.linesize[1];
        const uint8_t* vr = f.data[2] + ptrdiff_t(y / 2) * f.linesize[2];
        const uint8_t* ar = alpha ? f.data[3] + ptrdiff_t(y) * f.linesize[3] : nullptr;
        auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < f.width; ++x) {
            const int c = 76309 * (yr[x] - 16), u = ur[x / 2] - 128, v = vr[x / 2] - 128;
            uint32_t r = clamp((c + 104597 * v + 32768) >> 16);
            uint32_t g = clamp((c - 25675 * u - 53279 * v + 32768) >> 16);
            uint32_t b = clamp((c + 132201 * u + 32768) >> 16);
            uint32_t a = 255;
            if (ar) {
                a = ar[x];
                r = std::min(r, a);
                g = std::min(g, a);
                b = std::min(b, a);
            }
            out[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return img;
}

bool isVideoKeyFrame(uint8_t codec, std::span<const uint8_t> data) {
    switch (static_cast<VideoCodec>(codec)) {
        case VideoCodec::SorensonH263: {
            // 17-bit start code, 5-bit version, 8-bit temporal reference, 3-bit size code
            // (with 8- or 16-bit width and height for codes 0 and 1), then the picture type.
            format::BitReader r(data);
            r.ub(17);
            r.ub(5);
            r.ub(8);
            const uint32_t size = r.ub(3);
            if (size == 0) r.ub(16);
            if (size == 1) r.ub(32);
            return r.ub(2) == 0 && !r.overrun();
        }
        case VideoCodec::Vp6:
            return !data.empty() && (data[0] & 0x80) == 0;
        case VideoCodec::Vp6Alpha:
            return data.size() > 3 && (data[3] & 0x80) == 0;
        default:
            // Screen video marks nothing in the frame; only the first is certainly whole.
            return false;
    }
}

struct VideoDecoder::Impl {
    format::DefineVideoStream def;
    const AVCodec* codec = nullptr;
    CodecContextPtr ctx;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    SwsPtr sws;
    std::vector<uint8_t> padded;
    std::vector<uint8_t> extradata;

    bool open() {
        ctx.reset();
        if (!codec || !frame || !packet) return false;
        ctx.reset(avcodec_alloc_context3(codec));
        if (!ctx) return false;
        ctx->width = def.width;
        ctx->height = def.height;
        ctx->max_pixels = int64_t(kMaxVideoSide) * kMaxVideoSide;
        ctx->thread_count = 1;
        // Deblocking 1 turns the filter off; the other values leave it to the stream.
        if (def.deblocking == 1) ctx->skip_loop_filter = AVDISCARD_ALL;
        if (!extradata.empty()) {
            ctx->extradata = static_cast<uint8_t*>(
                av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!ctx->extradata) return false;
            std::memcpy(ctx->extradata, extradata.data(), extradata.size());
            ctx->extradata_size = int(extradata.size());
        }
        if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
            ctx.reset();
            return false;
        }
        return true;
    }
};

VideoDecoder::VideoDecoder(const format::DefineVideoStream& def) : d_(std::make_unique<Impl>()) {
    d_->def = def;
    const AVCodecID id = codecFor(def.codec);
    d_->codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    d_->open();
}

VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::ok() const { return d_->ctx != nullptr; }

bool VideoDecoder::configure(std::span<const uint8_t> extradata) {
    if (extradata.size() > (1u << 20)) return false;
    // The same record again (a stream sent anew from its start) changes nothing.
    if (d_->ctx && std::equal(extradata.begin(), extradata.end(), d_->extradata.begin(),
                              d_->extradata.end()))
        return true;
    d_->extradata.assign(extradata.begin(), extradata.end());
    last_ = -1;
    return d_->open();
}

void VideoDecoder::reset() {
    if (d_->ctx) avcodec_flush_buffers(d_->ctx.get());
    last_ = -1;
    picture_ = {};
}

bool VideoDecoder::decodeOne(std::span<const uint8_t> data, bool keep, bool key) {
    Impl& d = *d_;
    if (!d.ctx || data.empty() || data.size() > (64u << 20)) return false;
    d.padded.assign(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(d.padded.data(), data.data(), data.size());
    d.packet->data = d.padded.data();
    d.packet->size = int(data.size());
    // Screen Video 2 reads the keyframe mark from the packet, as FLV's frame type gives it.
    d.packet->flags = key ? AV_PKT_FLAG_KEY : 0;
    const int sent = avcodec_send_packet(d.ctx.get(), d.packet.get());
    d.packet->data = nullptr;
    d.packet->size = 0;
    if (sent < 0) return false;
    ++decodedCount_;
    bool got = false;
    while (avcodec_receive_frame(d.ctx.get(), d.frame.get()) == 0) {
        got = true;
        if (keep) keepPicture();
        av_frame_unref(d.frame.get());
    }
    return got;
}

void VideoDecoder::keepPicture() {
    Impl& d = *d_;
    const AVFrame& f = *d.frame;
    if (f.width <= 0 || f.height <= 0 || f.width > kMaxVideoSide || f.height > kMaxVideoSide)
        return;
    const bool vp6Alpha = d.def.codec == uint8_t(format::VideoCodec::Vp6Alpha);
    if (f.format == AV_PIX_FMT_YUV420P || (vp6Alpha && f.format == AV_PIX_FMT_YUVA420P)) {
        picture_ = yuv420ToImage(f, f.format == AV_PIX_FMT_YUVA420P);
        return;
    }
    QImage img(f.width, f.height, QImage::Format_ARGB32);
    SwsContext* s = sws_getCachedContext(d.sws.release(), f.width, f.height,
                                         static_cast<AVPixelFormat>(f.format), f.width, f.height,
                                         AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    d.sws.reset(s);
    if (s && !img.isNull()) {
        uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
        int stride[4] = {int(img.bytesPerLine()), 0, 0, 0};
        sws_scale(s, f.data, f.linesize, 0, f.height, dst, stride);
        // Only VP6 with alpha carries transparency; the rest is opaque whatever sws leaves in
        // the alpha bytes.
        if (d.def.codec != uint8_t(format::VideoCodec::Vp6Alpha))
            img = img.convertToFormat(QImage::Format_RGB32);
        picture_ = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
}

bool VideoDecoder::drainFirst() {
    Impl& d = *d_;
    if (!d.ctx) return false;
    if (avcodec_send_packet(d.ctx.get(), nullptr) < 0) return false;
    bool got = false;
    while (avcodec_receive_frame(d.ctx.get(), d.frame.get()) == 0) {
        if (!got) keepPicture();
        got = true;
        av_frame_unref(d.frame.get());
    }
    avcodec_flush_buffers(d.ctx.get());
    return got;
}

QImage VideoDecoder::frame(int n, const std::map<uint16_t, std::span<const uint8_t>>& frames) {
    if (!d_->ctx || n < 0) return {};
    auto it = frames.upper_bound(uint16_t(std::min(n, 0xffff)));
    if (it == frames.begin()) return {};
    --it;
    const int target = it->first;
    if (target == last_) return picture_;
    // Forward with no keyframe in between: go on from the decoder's state.
    auto from = frames.end();
    if (last_ >= 0 && target > last_) {
        from = frames.upper_bound(uint16_t(last_));
        for (auto k = from; k != std::next(it); ++k)
            if (isVideoKeyFrame(d_->def.codec, k->second)) from = k;
    }
    if (from == frames.end()) {
        // Back to the keyframe at or before the target, or to the first frame.
        from = it;
        while (from != frames.begin() && !isVideoKeyFrame(d_->def.codec, from->second)) --from;
        reset();
    }
    const bool fresh = last_ < 0;
    for (auto k = from;; ++k) {
        decodeOne(k->second, k == it,
                  (fresh && k == from) || isVideoKeyFrame(d_->def.codec, k->second));
        if (k == it) break;
    }
    last_ = target;
    return picture_;
}

}  // namespace swf::media
