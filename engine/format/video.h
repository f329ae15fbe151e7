#pragma once
// Embedded video tags: DefineVideoStream and VideoFrame.

#include <cstdint>
#include <span>

namespace swf::format {

namespace code {
constexpr uint16_t DefineVideoStream = 60, VideoFrame = 61;
}

enum class VideoCodec : uint8_t {
    SorensonH263 = 2,
    ScreenVideo = 3,
    Vp6 = 4,
    Vp6Alpha = 5,
    ScreenVideo2 = 6,
};

struct DefineVideoStream {
    bool valid = false;
    uint16_t id = 0;
    uint16_t numFrames = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t deblocking = 0;  // 0: as the stream says, 1: off, 2..7: stronger levels
    bool smoothing = false;
    uint8_t codec = 0;  // VideoCodec
};

DefineVideoStream parseDefineVideoStream(std::span<const uint8_t> body);

struct VideoFrame {
    bool valid = false;
    uint16_t streamId = 0;
    uint16_t frameNum = 0;
    std::span<const uint8_t> data;
};

VideoFrame parseVideoFrame(std::span<const uint8_t> body);

}  // namespace swf::format
