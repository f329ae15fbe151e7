#pragma once
// FLV files, as NetStream plays them from the movie's folder: the tags in file order and the
// AMF0 values of their script data (onMetaData, cue points).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace swf::format {

namespace flv {
constexpr uint8_t AudioTag = 8, VideoTag = 9, ScriptTag = 18;
constexpr uint8_t AvcCodec = 7;  // H.264, FLV only
}  // namespace flv

struct FlvTag {
    uint8_t type = 0;
    uint32_t timeMs = 0;
    std::span<const uint8_t> data;  // into the file's bytes
};

struct FlvFile {
    bool valid = false;
    bool hasAudio = false, hasVideo = false;  // as the header announces them
    std::vector<FlvTag> tags;
    bool truncated = false;  // the file ends inside a tag: the tags before it are kept
};

// The tags of an FLV; a file cut short keeps the whole tags before the cut. Spans point into
// bytes, which must outlive the result.
FlvFile parseFlv(std::span<const uint8_t> bytes);

// A video tag's picture data. VP6 loses its leading crop byte (kept apart), H.264 its packet
// header; an info frame carries no picture.
struct FlvVideoPacket {
    bool valid = false;
    uint8_t codec = 0;  // VideoCodec, or flv::AvcCodec
    bool key = false;
    bool picture = false;       // false: an info/command frame, or H.264 configuration
    bool avcConfig = false;     // H.264 decoder configuration record (the payload)
    uint8_t cropX = 0, cropY = 0;  // VP6: pixels cut off the right and the bottom
    std::span<const uint8_t> payload;
};
FlvVideoPacket videoPacket(const FlvTag& tag);

struct AmfMember;
// One AMF0 value of script data. Objects and ECMA arrays keep their members in file order.
struct AmfValue {
    enum Kind : uint8_t { Number, Boolean, String, Object, Array, Null, Undefined, Date };
    Kind kind = Undefined;
    double number = 0;  // Number, Boolean (0/1), Date (ms since 1970)
    std::string text;
    std::vector<AmfMember> members;  // Object (and ECMA arrays)
    std::vector<AmfValue> items;     // strict Array
};
struct AmfMember {
    std::string name;
    AmfValue value;
};

// A script tag: the event's name and its arguments ("onMetaData", {duration: ...}).
// Nullopt when the data is no AMF0 call.
struct AmfCall {
    std::string name;
    std::vector<AmfValue> args;
};
std::optional<AmfCall> parseAmfCall(std::span<const uint8_t> data);

}  // namespace swf::format
