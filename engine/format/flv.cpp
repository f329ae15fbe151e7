#include "engine/format/flv.h"

#include <cstring>

#include "engine/format/video.h"

namespace swf::format {
namespace {

// Big-endian reads that stop at the end instead of running past it.
struct Cursor {
    std::span<const uint8_t> b;
    size_t pos = 0;
    bool bad = false;

    bool has(size_t n) const { return !bad && pos <= b.size() && b.size() - pos >= n; }
    uint64_t be(int n) {
        if (!has(size_t(n))) {
            bad = true;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | b[pos++];
        return v;
    }
    std::span<const uint8_t> take(size_t n) {
        if (!has(n)) {
            bad = true;
            return {};
        }
        auto s = b.subspan(pos, n);
        pos += n;
        return s;
    }
    double number() {
        const uint64_t bits = be(8);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::string text(size_t n) {
        auto s = take(n);
        return std::string(reinterpret_cast<const char*>(s.data()), s.size());
    }
};

// Nesting deeper than this is refused: script data is small and a hostile file must not
// exhaust the stack.
constexpr int kMaxAmfDepth = 32;

bool readValue(Cursor& c, AmfValue& out, int depth);

bool readMembers(Cursor& c, AmfValue& out, int depth) {
    out.kind = AmfValue::Object;
    while (!c.bad) {
        const size_t len = size_t(c.be(2));
        std::string name = c.text(len);
        if (c.bad) return false;
        if (len == 0 && c.has(1) && c.b[c.pos] == 9) {
            ++c.pos;  // object end
            return true;
        }
        AmfValue v;
        if (!readValue(c, v, depth + 1)) return false;
        out.members.push_back({std::move(name), std::move(v)});
    }
    return false;
}

bool readValue(Cursor& c, AmfValue& out, int depth) {
    if (depth > kMaxAmfDepth) return false;
    const uint8_t marker = uint8_t(c.be(1));
    if (c.bad) return false;
    switch (marker) {
        case 0:
            out.kind = AmfValue::Number;
            out.number = c.number();
            break;
        case 1:
            out.kind = AmfValue::Boolean;
            out.number = c.be(1) ? 1 : 0;
            break;
        case 2:
            out.kind = AmfValue::String;
            out.text = c.text(size_t(c.be(2)));
            break;
        case 12:
            out.kind = AmfValue::String;
            out.text = c.text(size_t(c.be(4)));
            break;
        case 3:
            return readMembers(c, out, depth);
        case 8:
            c.be(4);  // the count is a hint only; the members end with the end marker
            return readMembers(c, out, depth);
        case 10: {
            out.kind = AmfValue::Array;
            const uint64_t n = c.be(4);
            // Every item takes at least one byte.
            if (c.bad || n > c.b.size() - c.pos) return false;
            for (uint64_t i = 0; i < n; ++i) {
                AmfValue v;
                if (!readValue(c, v, depth + 1)) return false;
                out.items.push_back(std::move(v));
            }
            break;
        }
        case 5:
            out.kind = AmfValue::Null;
            break;
        case 6:
            out.kind = AmfValue::Undefined;
            break;
        case 11:
            out.kind = AmfValue::Date;
            out.number = c.number();
            c.be(2);  // time zone, unused
            break;
        default:
            return false;  // references, typed objects, XML: not in what encoders write here
    }
    return !c.bad;
}

}  // namespace

FlvFile parseFlv(std::span<const uint8_t> bytes) {
    FlvFile f;
    Cursor c{bytes};
    if (c.text(3) != "FLV") return f;
    c.be(1);  // version
    const uint8_t flags = uint8_t(c.be(1));
    const uint64_t offset = c.be(4);
    if (c.bad || offset < 9 || offset > bytes.size()) return f;
    f.hasAudio = flags & 4;
    f.hasVideo = flags & 1;
    c.pos = size_t(offset);
    c.be(4);  // the size of the tag before the first: 0
    while (!c.bad && c.pos < bytes.size()) {
        if (!c.has(11)) {
            f.truncated = true;
            break;
        }
        FlvTag t;
        t.type = uint8_t(c.be(1)) & 0x1f;
        const size_t size = size_t(c.be(3));
        const uint32_t low = uint32_t(c.be(3));
        t.timeMs = low | (uint32_t(c.be(1)) << 24);
        c.be(3);  // stream id, always 0
        if (!c.has(size)) {
            f.truncated = true;
            break;
        }
        t.data = c.take(size);
        if (c.has(4)) c.be(4);  // the size of this tag, not needed
        if (t.type == flv::AudioTag || t.type == flv::VideoTag || t.type == flv::ScriptTag)
            f.tags.push_back(t);
    }
    f.valid = true;
    return f;
}

FlvVideoPacket videoPacket(const FlvTag& tag) {
    FlvVideoPacket p;
    if (tag.type != flv::VideoTag || tag.data.empty()) return p;
    const uint8_t head = tag.data[0];
    const uint8_t frameType = head >> 4;
    p.codec = head & 15;
    p.key = frameType == 1 || frameType == 4;
    p.picture = frameType != 5;
    std::span<const uint8_t> rest = tag.data.subspan(1);
    if (p.codec == uint8_t(VideoCodec::Vp6) || p.codec == uint8_t(VideoCodec::Vp6Alpha)) {
        if (rest.empty()) return p;
        p.cropX = rest[0] >> 4;
        p.cropY = rest[0] & 15;
        rest = rest.subspan(1);
    } else if (p.codec == flv::AvcCodec) {
        if (rest.size() < 4) return p;
        p.avcConfig = rest[0] == 0;
        p.picture = p.picture && rest[0] == 1;
        rest = rest.subspan(4);
    }
    p.payload = rest;
    p.valid = true;
    return p;
}

std::optional<AmfCall> parseAmfCall(std::span<const uint8_t> data) {
    Cursor c{data};
    AmfValue name;
    if (!readValue(c, name, 0) || name.kind != AmfValue::String) return std::nullopt;
    AmfCall call{std::move(name.text), {}};
    while (c.pos < data.size() && call.args.size() < 16) {
        AmfValue v;
        if (!readValue(c, v, 0)) break;
        call.args.push_back(std::move(v));
    }
    return call;
}

}  // namespace swf::format
