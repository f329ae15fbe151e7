#pragma once
// Decodes one embedded video stream through libavcodec. Keeps the last picture and the
// decoder's state, so playing forward decodes each frame once; any other jump decodes from
// the keyframe at or before the target.

#include <QImage>
#include <cstdint>
#include <map>
#include <memory>
#include <span>

#include "engine/format/video.h"

struct AVFrame;

namespace swf::media {

// Larger pictures than this are not decoded.
constexpr int kMaxVideoSide = 4096;

// A decoded 4:2:0 picture (with its alpha plane when alpha) in RGB, converted as Flash does;
// with alpha the colour comes premultiplied.
QImage yuv420ToImage(const AVFrame& frame, bool alpha);

// Whether a frame's data starts a picture that needs no earlier frame.
bool isVideoKeyFrame(uint8_t codec, std::span<const uint8_t> data);

class VideoDecoder {
public:
    explicit VideoDecoder(const format::DefineVideoStream& def);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool ok() const;
    // The picture of the latest frame at or before n; null when there is none.
    QImage frame(int n, const std::map<uint16_t, std::span<const uint8_t>>& frames);
    int framesDecoded() const { return decodedCount_; }  // for tests and benchmarks

    // A stream fed packet by packet (NetStream): the picture of the latest kept packet.
    // keep false decodes only for the state (packets between a keyframe and a seek's target).
    bool decodePacket(std::span<const uint8_t> data, bool key, bool keep) {
        return decodeOne(data, keep, key);
    }
    QImage picture() const { return picture_; }
    void restart() { reset(); }
    // H.264's decoder configuration record, which the stream sends before its pictures.
    bool configure(std::span<const uint8_t> extradata);
    // A decoder that reorders pictures holds the first ones back: this ends the stream to
    // take the first held picture, then leaves the decoder ready for a fresh start.
    bool drainFirst();

private:
    bool decodeOne(std::span<const uint8_t> data, bool keep, bool key);
    void keepPicture();  // the frame just received becomes the picture
    void reset();

    struct Impl;
    std::unique_ptr<Impl> d_;
    int last_ = -1;  // frame number the decoder state holds
    QImage picture_;
    int decodedCount_ = 0;
};

}  // namespace swf::media
