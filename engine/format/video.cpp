#include "engine/format/video.h"

#include "engine/format/bit_reader.h"

namespace swf::format {

DefineVideoStream parseDefineVideoStream(std::span<const uint8_t> body) {
    BitReader r(body);
    DefineVideoStream v;
    v.id = r.u16();
    v.numFrames = r.u16();
    v.width = r.u16();
    v.height = r.u16();
    r.ub(4);  // reserved
    v.deblocking = static_cast<uint8_t>(r.ub(3));
    v.smoothing = r.flag();
    v.codec = r.u8();
    v.valid = !r.overrun();
    return v;
}

VideoFrame parseVideoFrame(std::span<const uint8_t> body) {
    BitReader r(body);
    VideoFrame f;
    f.streamId = r.u16();
    f.frameNum = r.u16();
    if (r.overrun()) return f;
    f.data = r.rest();
    f.valid = true;
    return f;
}

}  // namespace swf::format
