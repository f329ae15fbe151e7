#include "tests/support/swf_writer.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace swftest {

// ---------------------------------------------------------------- BitWriter

void BitWriter::writeUB(uint32_t value, int nbits) {
    if (nbits < 0 || nbits > 32) throw std::invalid_argument("writeUB: bit count out of range");
    for (int i = nbits - 1; i >= 0; --i) {
        if (bitPos_ == 0) out_.push_back(0);
        if ((value >> i) & 1u) out_.back() |= static_cast<uint8_t>(0x80u >> bitPos_);
        bitPos_ = (bitPos_ + 1) & 7;
    }
}

void BitWriter::writeSB(int32_t value, int nbits) {
    if (nbits < 32 && nbits > 0) {
        const int64_t lo = -(int64_t{1} << (nbits - 1)), hi = (int64_t{1} << (nbits - 1)) - 1;
        if (value < lo || value > hi) throw std::invalid_argument("writeSB: value does not fit");
    } else if (nbits == 0 && value != 0) {
        throw std::invalid_argument("writeSB: value does not fit in 0 bits");
    }
    writeUB(static_cast<uint32_t>(value) & (nbits >= 32 ? 0xffffffffu : ((1u << nbits) - 1)),
            nbits);
}

void BitWriter::writeFB(double value, int nbits) {
    writeSB(static_cast<int32_t>(std::lround(value * 65536.0)), nbits);
}

void BitWriter::align() { bitPos_ = 0; }

void BitWriter::u8(uint8_t v) {
    align();
    out_.push_back(v);
}

void BitWriter::u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
}

void BitWriter::u32(uint32_t v) {
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v >> 16));
}

void BitWriter::fixed8(double v) {
    u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 256.0))));
}

void BitWriter::fixed(double v) {
    u32(static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536.0))));
}

void BitWriter::f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
}

void BitWriter::f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    u32(static_cast<uint32_t>(bits));
    u32(static_cast<uint32_t>(bits >> 32));
}

void BitWriter::string(std::string_view s) {
    align();
    out_.insert(out_.end(), s.begin(), s.end());
    out_.push_back(0);
}

void BitWriter::raw(std::span<const uint8_t> b) {
    align();
    out_.insert(out_.end(), b.begin(), b.end());
}

std::vector<uint8_t> BitWriter::take() {
    bitPos_ = 0;
    return std::move(out_);
}

// ---------------------------------------------------------------- bit counts

int ubBits(uint32_t v) {
    int n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

int sbBits(int32_t v) {
    // Two's complement: magnitude bits of v (or of ~v for negatives) plus a sign bit.
    const uint32_t mag = v < 0 ? ~static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    return ubBits(mag) + 1;
}

int sbBits(std::initializer_list<int32_t> vs) {
    int n = 1;
    for (int32_t v : vs) n = std::max(n, sbBits(v));
    return n;
}

int fbBits(double v) { return sbBits(static_cast<int32_t>(std::lround(v * 65536.0))); }

// ---------------------------------------------------------------- records

void writeRect(BitWriter& w, int xMin, int xMax, int yMin, int yMax) {
    const int n = sbBits({xMin, xMax, yMin, yMax});
    if (n > 31) throw std::invalid_argument("RECT coordinate too large");
    w.writeUB(static_cast<uint32_t>(n), 5);
    w.writeSB(xMin, n);
    w.writeSB(xMax, n);
    w.writeSB(yMin, n);
    w.writeSB(yMax, n);
    w.align();
}

void writeMatrix(BitWriter& w, const Matrix& m) {
    const bool hasScale = m.sx != 1.0 || m.sy != 1.0;
    w.writeUB(hasScale, 1);
    if (hasScale) {
        const int n = std::max(fbBits(m.sx), fbBits(m.sy));
        w.writeUB(static_cast<uint32_t>(n), 5);
        w.writeFB(m.sx, n);
        w.writeFB(m.sy, n);
    }
    const bool hasRotate = m.r0 != 0.0 || m.r1 != 0.0;
    w.writeUB(hasRotate, 1);
    if (hasRotate) {
        const int n = std::max(fbBits(m.r0), fbBits(m.r1));
        w.writeUB(static_cast<uint32_t>(n), 5);
        w.writeFB(m.r0, n);
        w.writeFB(m.r1, n);
    }
    // Authoring tools write NTranslateBits = 0 for a zero translation; so do we.
    const int n = (m.tx == 0 && m.ty == 0) ? 0 : sbBits({m.tx, m.ty});
    w.writeUB(static_cast<uint32_t>(n), 5);
    w.writeSB(m.tx, n);
    w.writeSB(m.ty, n);
    w.align();
}

void writeCxform(BitWriter& w, const Cxform& c, bool withAlpha) {
    const bool hasMult = c.rm != 256 || c.gm != 256 || c.bm != 256 || (withAlpha && c.am != 256);
    const bool hasAdd = c.ra != 0 || c.ga != 0 || c.ba != 0 || (withAlpha && c.aa != 0);
    int n = 1;
    if (hasMult) n = std::max({n, sbBits({c.rm, c.gm, c.bm}), withAlpha ? sbBits(c.am) : 1});
    if (hasAdd) n = std::max({n, sbBits({c.ra, c.ga, c.ba}), withAlpha ? sbBits(c.aa) : 1});
    if (n > 15) throw std::invalid_argument("CXFORM term too large");
    w.writeUB(hasAdd, 1);
    w.writeUB(hasMult, 1);
    w.writeUB(static_cast<uint32_t>(n), 4);
    if (hasMult) {
        w.writeSB(c.rm, n);
        w.writeSB(c.gm, n);
        w.writeSB(c.bm, n);
        if (withAlpha) w.writeSB(c.am, n);
    }
    if (hasAdd) {
        w.writeSB(c.ra, n);
        w.writeSB(c.ga, n);
        w.writeSB(c.ba, n);
        if (withAlpha) w.writeSB(c.aa, n);
    }
    w.align();
}

void writeRgb(BitWriter& w, Rgba c) {
    w.u8(c.r);
    w.u8(c.g);
    w.u8(c.b);
}

void writeRgba(BitWriter& w, Rgba c) {
    writeRgb(w, c);
    w.u8(c.a);
}

std::vector<uint8_t> tagHeader(uint16_t code, uint32_t length, bool forceLong) {
    if (code > 0x3ff) throw std::invalid_argument("tag code above 1023");
    BitWriter w;
    if (length < 0x3f && !forceLong) {
        w.u16(static_cast<uint16_t>(code << 6 | length));
    } else {
        w.u16(static_cast<uint16_t>(code << 6 | 0x3f));
        w.u32(length);
    }
    return w.take();
}

// ---------------------------------------------------------------- shapes

namespace {

int maxUsedLineWidth(const ShapeDesc& s) {
    int widest = 0;
    for (const auto& p : s.paths) {
        if (p.line > 0 && p.line <= static_cast<int>(s.lines.size()))
            widest = std::max(widest, s.lines[p.line - 1].width);
    }
    return widest;
}

void writeStyleCount(BitWriter& w, size_t n, int version) {
    if (n < 0xff) {
        w.u8(static_cast<uint8_t>(n));
    } else if (version >= 2 && n <= 0xffff) {
        w.u8(0xff);
        w.u16(static_cast<uint16_t>(n));
    } else {
        throw std::invalid_argument("too many styles for this DefineShape version");
    }
}

// Edge deltas have at most 17 bits (4-bit NumBits + 2).
constexpr int kMaxEdgeDelta = (1 << 16) - 1;

void writeStraight(BitWriter& w, int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    if (std::abs(dx) > kMaxEdgeDelta || std::abs(dy) > kMaxEdgeDelta) {
        const int hx = dx / 2, hy = dy / 2;
        writeStraight(w, hx, hy);
        writeStraight(w, dx - hx, dy - hy);
        return;
    }
    w.writeUB(1, 1);  // edge
    w.writeUB(1, 1);  // straight
    if (dx != 0 && dy != 0) {
        const int n = std::max(2, sbBits({dx, dy}));
        w.writeUB(static_cast<uint32_t>(n - 2), 4);
        w.writeUB(1, 1);  // general line
        w.writeSB(dx, n);
        w.writeSB(dy, n);
    } else {
        const int d = dx != 0 ? dx : dy;
        const int n = std::max(2, sbBits(d));
        w.writeUB(static_cast<uint32_t>(n - 2), 4);
        w.writeUB(0, 1);
        w.writeUB(dx == 0 ? 1 : 0, 1);  // vertical
        w.writeSB(d, n);
    }
}

void writeCurve(BitWriter& w, int px, int py, int cx, int cy, int ax, int ay) {
    const int cdx = cx - px, cdy = cy - py, adx = ax - cx, ady = ay - cy;
    if (cdx == 0 && cdy == 0 && adx == 0 && ady == 0) return;
    if (std::max({std::abs(cdx), std::abs(cdy), std::abs(adx), std::abs(ady)}) > kMaxEdgeDelta) {
        // Split at t = 1/2 (de Casteljau) until the deltas fit.
        const int m1x = (px + cx) / 2, m1y = (py + cy) / 2;
        const int m2x = (cx + ax) / 2, m2y = (cy + ay) / 2;
        const int mx = (m1x + m2x) / 2, my = (m1y + m2y) / 2;
        writeCurve(w, px, py, m1x, m1y, mx, my);
        writeCurve(w, mx, my, m2x, m2y, ax, ay);
        return;
    }
    const int n = std::max(2, sbBits({cdx, cdy, adx, ady}));
    w.writeUB(1, 1);  // edge
    w.writeUB(0, 1);  // curved
    w.writeUB(static_cast<uint32_t>(n - 2), 4);
    w.writeSB(cdx, n);
    w.writeSB(cdy, n);
    w.writeSB(adx, n);
    w.writeSB(ady, n);
}

void writeMoveOnly(BitWriter& w, int x, int y) {
    w.writeUB(0, 1);        // non-edge
    w.writeUB(0b00001, 5);  // only StateMoveTo
    const int n = sbBits({x, y});
    w.writeUB(static_cast<uint32_t>(n), 5);
    w.writeSB(x, n);
    w.writeSB(y, n);
}

}  // namespace

Bounds shapeBounds(const ShapeDesc& s, bool withStrokes) {
    bool any = false;
    Bounds b;
    auto add = [&](int x, int y) {
        if (!any) {
            b = {x, x, y, y};
            any = true;
        }
        b.xMin = std::min(b.xMin, x);
        b.xMax = std::max(b.xMax, x);
        b.yMin = std::min(b.yMin, y);
        b.yMax = std::max(b.yMax, y);
    };
    int px = 0, py = 0;
    for (const auto& p : s.paths) {
        for (const PathCmd& c : p.cmds) {
            if (c.kind == PathCmd::Move) {
                px = c.x;
                py = c.y;
                continue;
            }
            add(px, py);
            if (c.kind == PathCmd::Curve) add(c.cx, c.cy);
            add(c.x, c.y);
            px = c.x;
            py = c.y;
        }
    }
    if (withStrokes && any) {
        const int h = (maxUsedLineWidth(s) + 1) / 2;
        b.xMin -= h;
        b.xMax += h;
        b.yMin -= h;
        b.yMax += h;
    }
    return b;
}

std::vector<uint8_t> shapeWithStyle(const ShapeDesc& s) {
    if (s.version < 1 || s.version > 4) throw std::invalid_argument("DefineShape version 1..4");
    const bool alpha = s.version >= 3;
    BitWriter w;
    writeStyleCount(w, s.fills.size(), s.version);
    for (const Rgba& c : s.fills) {
        w.u8(0x00);  // solid fill
        alpha ? writeRgba(w, c) : writeRgb(w, c);
    }
    writeStyleCount(w, s.lines.size(), s.version);
    for (const auto& l : s.lines) {
        w.u16(static_cast<uint16_t>(l.width));
        if (s.version == 4) {
            // round caps, round join, no fill, scaling both ways, no hinting, closed
            w.u16(0);
        }
        alpha ? writeRgba(w, l.color) : writeRgb(w, l.color);
    }
    const int fillBits = ubBits(static_cast<uint32_t>(s.fills.size()));
    const int lineBits = ubBits(static_cast<uint32_t>(s.lines.size()));
    w.writeUB(static_cast<uint32_t>(fillBits), 4);
    w.writeUB(static_cast<uint32_t>(lineBits), 4);

    int px = 0, py = 0;
    for (const auto& p : s.paths) {
        if (p.fill0 < 0 || p.fill0 > static_cast<int>(s.fills.size()) || p.fill1 < 0 ||
            p.fill1 > static_cast<int>(s.fills.size()) || p.line < 0 ||
            p.line > static_cast<int>(s.lines.size()))
            throw std::invalid_argument("shape path refers to a missing style");
        size_t i = 0;
        const bool leadingMove = !p.cmds.empty() && p.cmds[0].kind == PathCmd::Move;
        // Style change: all three styles always (never an all-zero record, which would end
        // the shape), plus MoveTo when the path starts with one.
        w.writeUB(0, 1);
        w.writeUB(0, 1);  // StateNewStyles
        w.writeUB(1, 1);  // StateLineStyle
        w.writeUB(1, 1);  // StateFillStyle1
        w.writeUB(1, 1);  // StateFillStyle0
        w.writeUB(leadingMove, 1);
        if (leadingMove) {
            px = p.cmds[0].x;
            py = p.cmds[0].y;
            const int n = sbBits({px, py});
            w.writeUB(static_cast<uint32_t>(n), 5);
            w.writeSB(px, n);
            w.writeSB(py, n);
            i = 1;
        }
        w.writeUB(static_cast<uint32_t>(p.fill0), fillBits);
        w.writeUB(static_cast<uint32_t>(p.fill1), fillBits);
        w.writeUB(static_cast<uint32_t>(p.line), lineBits);
        for (; i < p.cmds.size(); ++i) {
            const PathCmd& c = p.cmds[i];
            switch (c.kind) {
                case PathCmd::Move:
                    writeMoveOnly(w, c.x, c.y);
                    break;
                case PathCmd::Line:
                    writeStraight(w, c.x - px, c.y - py);
                    break;
                case PathCmd::Curve:
                    writeCurve(w, px, py, c.cx, c.cy, c.x, c.y);
                    break;
            }
            px = c.x;
            py = c.y;
        }
    }
    w.writeUB(0, 6);  // EndShapeRecord
    w.align();
    return w.take();
}

// ---------------------------------------------------------------- actions

ActionWriter& ActionWriter::op(uint8_t code) {
    out_.push_back(code);
    return *this;
}

ActionWriter& ActionWriter::op(uint8_t code, std::span<const uint8_t> payload) {
    if (code < 0x80) throw std::invalid_argument("actions below 0x80 carry no payload");
    if (payload.size() > 0xffff) throw std::invalid_argument("action payload too long");
    out_.push_back(code);
    out_.push_back(static_cast<uint8_t>(payload.size()));
    out_.push_back(static_cast<uint8_t>(payload.size() >> 8));
    out_.insert(out_.end(), payload.begin(), payload.end());
    return *this;
}

ActionWriter& ActionWriter::stop() { return op(0x07); }
ActionWriter& ActionWriter::play() { return op(0x06); }
ActionWriter& ActionWriter::nextFrame() { return op(0x04); }
ActionWriter& ActionWriter::prevFrame() { return op(0x05); }
ActionWriter& ActionWriter::trace() { return op(0x26); }
ActionWriter& ActionWriter::getVariable() { return op(0x1c); }
ActionWriter& ActionWriter::setVariable() { return op(0x1d); }
ActionWriter& ActionWriter::add2() { return op(0x47); }
ActionWriter& ActionWriter::pop() { return op(0x17); }
ActionWriter& ActionWriter::end() { return op(0x00); }

ActionWriter& ActionWriter::gotoFrame(uint16_t frame) {
    const uint8_t p[2] = {static_cast<uint8_t>(frame), static_cast<uint8_t>(frame >> 8)};
    return op(0x81, p);
}

ActionWriter& ActionWriter::gotoLabel(std::string_view label) {
    BitWriter w;
    w.string(label);
    return op(0x8c, w.bytes());
}

ActionWriter& ActionWriter::pushString(std::string_view s) {
    BitWriter w;
    w.u8(0);
    w.string(s);
    return op(0x96, w.bytes());
}

ActionWriter& ActionWriter::pushInt(int32_t v) {
    BitWriter w;
    w.u8(7);
    w.u32(static_cast<uint32_t>(v));
    return op(0x96, w.bytes());
}

ActionWriter& ActionWriter::pushDouble(double v) {
    // AVM1 stores push doubles as two little-endian 32-bit halves, high half first.
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    BitWriter w;
    w.u8(6);
    w.u32(static_cast<uint32_t>(bits >> 32));
    w.u32(static_cast<uint32_t>(bits));
    return op(0x96, w.bytes());
}

ActionWriter& ActionWriter::pushBool(bool v) {
    const uint8_t p[2] = {5, static_cast<uint8_t>(v ? 1 : 0)};
    return op(0x96, p);
}

ActionWriter& ActionWriter::pushNull() {
    const uint8_t p[1] = {2};
    return op(0x96, p);
}

ActionWriter& ActionWriter::pushUndefined() {
    const uint8_t p[1] = {3};
    return op(0x96, p);
}

// ---------------------------------------------------------------- Timeline

void Timeline::rawTag(uint16_t code, std::span<const uint8_t> body, bool forceLong) {
    const auto h = tagHeader(code, static_cast<uint32_t>(body.size()), forceLong);
    tags_.insert(tags_.end(), h.begin(), h.end());
    tags_.insert(tags_.end(), body.begin(), body.end());
}

void Timeline::placeObject(const PlaceArgs& a) {
    const bool v3 = a.v3 || a.className || a.blendMode || a.cacheAsBitmap || a.visible;
    BitWriter w;
    uint8_t flags = 0;
    if (a.clipDepth) flags |= 0x40;
    if (a.name) flags |= 0x20;
    if (a.ratio) flags |= 0x10;
    if (a.cxform) flags |= 0x08;
    if (a.matrix) flags |= 0x04;
    if (a.id) flags |= 0x02;
    if (a.move) flags |= 0x01;
    if (!a.clipActions.empty()) flags |= 0x80;
    w.u8(flags);
    if (v3) {
        uint8_t flags2 = 0;
        if (a.visible) flags2 |= 0x20;
        if (a.className) flags2 |= 0x08;
        if (a.cacheAsBitmap) flags2 |= 0x04;
        if (a.blendMode) flags2 |= 0x02;
        w.u8(flags2);
    }
    w.u16(static_cast<uint16_t>(a.depth));
    if (v3 && a.className) w.string(*a.className);
    if (a.id) w.u16(*a.id);
    if (a.matrix) writeMatrix(w, *a.matrix);
    if (a.cxform) writeCxform(w, *a.cxform, true);
    if (a.ratio) w.u16(*a.ratio);
    if (a.name) w.string(*a.name);
    if (a.clipDepth) w.u16(*a.clipDepth);
    if (v3) {
        if (a.blendMode) w.u8(*a.blendMode);
        if (a.cacheAsBitmap) w.u8(*a.cacheAsBitmap ? 1 : 0);
        if (a.visible) w.u8(*a.visible ? 1 : 0);
    }
    if (!a.clipActions.empty()) {
        uint32_t all = 0;
        for (const auto& [ev, code] : a.clipActions) all |= ev;
        w.u16(0);
        w.u32(all);
        for (const auto& [ev, code] : a.clipActions) {
            w.u32(ev);
            w.u32(static_cast<uint32_t>(code.size()));
            for (uint8_t c : code) w.u8(c);
        }
        w.u32(0);
    }
    rawTag(v3 ? tag::PlaceObject3 : tag::PlaceObject2, w.bytes());
}

void Timeline::place(uint16_t id, int depth, const Matrix& m, std::optional<Cxform> cx,
                     std::optional<std::string> name, int clipDepth, std::optional<int> ratio) {
    PlaceArgs a;
    a.depth = depth;
    a.id = id;
    a.matrix = m;
    a.cxform = cx;
    a.name = std::move(name);
    if (clipDepth > 0) a.clipDepth = static_cast<uint16_t>(clipDepth);
    if (ratio) a.ratio = static_cast<uint16_t>(*ratio);
    placeObject(a);
}

void Timeline::place3(uint16_t id, int depth, const Matrix& m, std::optional<Cxform> cx,
                      std::optional<std::string> name, int clipDepth, std::optional<int> ratio,
                      std::optional<uint8_t> blendMode, std::optional<bool> cacheAsBitmap) {
    PlaceArgs a;
    a.v3 = true;
    a.depth = depth;
    a.id = id;
    a.matrix = m;
    a.cxform = cx;
    a.name = std::move(name);
    if (clipDepth > 0) a.clipDepth = static_cast<uint16_t>(clipDepth);
    if (ratio) a.ratio = static_cast<uint16_t>(*ratio);
    a.blendMode = blendMode;
    a.cacheAsBitmap = cacheAsBitmap;
    placeObject(a);
}

void Timeline::placeV1(uint16_t id, int depth, const Matrix& m, std::optional<Cxform> cx) {
    BitWriter w;
    w.u16(id);
    w.u16(static_cast<uint16_t>(depth));
    writeMatrix(w, m);
    if (cx) writeCxform(w, *cx, false);
    rawTag(tag::PlaceObject, w.bytes());
}

void Timeline::move(int depth, const Matrix& m, std::optional<Cxform> cx) {
    PlaceArgs a;
    a.depth = depth;
    a.move = true;
    a.matrix = m;
    a.cxform = cx;
    placeObject(a);
}

void Timeline::replace(uint16_t id, int depth, const Matrix& m) {
    PlaceArgs a;
    a.depth = depth;
    a.move = true;
    a.id = id;
    a.matrix = m;
    placeObject(a);
}

void Timeline::remove(int depth) {
    BitWriter w;
    w.u16(static_cast<uint16_t>(depth));
    rawTag(tag::RemoveObject2, w.bytes());
}

void Timeline::removeV1(uint16_t id, int depth) {
    BitWriter w;
    w.u16(id);
    w.u16(static_cast<uint16_t>(depth));
    rawTag(tag::RemoveObject, w.bytes());
}

void Timeline::label(const std::string& name) {
    BitWriter w;
    w.string(name);
    rawTag(tag::FrameLabel, w.bytes());
}

void Timeline::doAction(const ActionWriter& a) {
    std::vector<uint8_t> body = a.bytes();
    if (body.empty() || body.back() != 0) body.push_back(0);
    rawTag(tag::DoAction, body);
}

void Timeline::showFrame() {
    rawTag(tag::ShowFrame, {});
    ++frames_;
}

// ---------------------------------------------------------------- SwfBuilder

SwfBuilder::SwfBuilder(int version, int widthPx, int heightPx, double fps)
    : version_(version), xMax_(widthPx * 20), yMax_(heightPx * 20), fps_(fps) {}

void SwfBuilder::setBackground(Rgba c) {
    BitWriter w;
    writeRgb(w, c);
    rawTag(tag::SetBackgroundColor, w.bytes());
}

uint16_t SwfBuilder::defineShape(const ShapeDesc& s) {
    static constexpr uint16_t codes[] = {0, tag::DefineShape, tag::DefineShape2, tag::DefineShape3,
                                         tag::DefineShape4};
    if (s.version < 1 || s.version > 4) throw std::invalid_argument("DefineShape version 1..4");
    const uint16_t id = reserveId();
    BitWriter w;
    w.u16(id);
    const Bounds b = shapeBounds(s, true);
    writeRect(w, b.xMin, b.xMax, b.yMin, b.yMax);
    if (s.version == 4) {
        const Bounds e = shapeBounds(s, false);
        writeRect(w, e.xMin, e.xMax, e.yMin, e.yMax);
        // reserved 5 bits, fill winding rule 0, non-scaling strokes 0, scaling strokes
        w.u8(s.lines.empty() ? 0 : 1);
    }
    w.raw(shapeWithStyle(s));
    rawTag(codes[s.version], w.bytes());
    return id;
}

uint16_t SwfBuilder::defineRect(int xTw, int yTw, int wTw, int hTw, Rgba fill, int version) {
    ShapeDesc s;
    s.version = version;
    s.fills = {fill};
    ShapeDesc::Path p;
    p.fill1 = 1;
    p.cmds = {{PathCmd::Move, xTw, yTw},
              {PathCmd::Line, xTw + wTw, yTw},
              {PathCmd::Line, xTw + wTw, yTw + hTw},
              {PathCmd::Line, xTw, yTw + hTw},
              {PathCmd::Line, xTw, yTw}};
    s.paths = {p};
    return defineShape(s);
}

uint16_t SwfBuilder::defineSprite(const SpriteBuilder& sprite) {
    const uint16_t id = reserveId();
    BitWriter w;
    w.u16(id);
    w.u16(static_cast<uint16_t>(sprite.framesWritten()));
    w.raw(sprite.tagBytes());
    w.u16(0);  // End
    rawTag(tag::DefineSprite, w.bytes());
    return id;
}

uint16_t SwfBuilder::defineButton2(const ButtonDesc& button) {
    const uint16_t id = reserveId();
    BitWriter w;
    w.u16(id);
    w.u8(button.trackAsMenu ? 1 : 0);
    BitWriter records;
    for (const auto& r : button.records) {
        records.u8(static_cast<uint8_t>((r.up ? 1 : 0) | (r.over ? 2 : 0) | (r.down ? 4 : 0) |
                                        (r.hitTest ? 8 : 0)));
        records.u16(r.characterId);
        records.u16(static_cast<uint16_t>(r.depth));
        writeMatrix(records, r.matrix);
        writeCxform(records, Cxform{}, true);
    }
    records.u8(0);
    // The offset counts from its own field to the first action record; 0: no actions.
    w.u16(button.actions.empty() ? 0 : static_cast<uint16_t>(2 + records.size()));
    w.raw(records.bytes());
    for (size_t i = 0; i < button.actions.size(); ++i) {
        auto code = button.actions[i].second;
        if (code.empty() || code.back() != 0) code.push_back(0);
        const bool last = i + 1 == button.actions.size();
        w.u16(last ? 0 : static_cast<uint16_t>(4 + code.size()));
        w.u16(button.actions[i].first);
        w.raw(code);
    }
    rawTag(34, w.bytes());
    return id;
}

void SwfBuilder::doInitAction(uint16_t spriteId, const ActionWriter& a) {
    BitWriter w;
    w.u16(spriteId);
    w.raw(a.bytes());
    if (a.bytes().empty() || a.bytes().back() != 0) w.u8(0);
    rawTag(tag::DoInitAction, w.bytes());
}

void SwfBuilder::fileAttributes(uint32_t flags) {
    BitWriter w;
    w.u32(flags);
    rawTag(tag::FileAttributes, w.bytes());
}

void SwfBuilder::setFrameCountOverride(std::optional<uint16_t> n) { frameCountOverride_ = n; }
void SwfBuilder::setLengthOverride(std::optional<uint32_t> n) { lengthOverride_ = n; }

void SwfBuilder::setStage(int xMinTw, int yMinTw, int xMaxTw, int yMaxTw) {
    xMin_ = xMinTw;
    yMin_ = yMinTw;
    xMax_ = xMaxTw;
    yMax_ = yMaxTw;
}

std::vector<uint8_t> SwfBuilder::bytes(Compression c) const { return bytes(c, true); }

namespace {

std::vector<uint8_t> zlibCompress(std::span<const uint8_t> in) {
    uLongf outLen = compressBound(static_cast<uLong>(in.size()));
    std::vector<uint8_t> out(outLen);
    if (compress2(out.data(), &outLen, in.data(), static_cast<uLong>(in.size()), 9) != Z_OK)
        throw std::runtime_error("zlib compress failed");
    out.resize(outLen);
    return out;
}

// Returns the 5 property bytes followed by the raw LZMA1 data (with an end marker).
std::vector<uint8_t> lzmaCompress(std::span<const uint8_t> in) {
    lzma_options_lzma opt;
    if (lzma_lzma_preset(&opt, 6)) throw std::runtime_error("lzma preset failed");
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &opt) != LZMA_OK) throw std::runtime_error("lzma init failed");
    std::vector<uint8_t> out(in.size() + in.size() / 2 + 4096);
    strm.next_in = in.data();
    strm.avail_in = in.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    lzma_ret r;
    while ((r = lzma_code(&strm, LZMA_FINISH)) == LZMA_OK) {
        const size_t used = out.size() - strm.avail_out;
        out.resize(out.size() * 2);
        strm.next_out = out.data() + used;
        strm.avail_out = out.size() - used;
    }
    const size_t used = out.size() - strm.avail_out;
    lzma_end(&strm);
    if (r != LZMA_STREAM_END) throw std::runtime_error("lzma compress failed");
    out.resize(used);
    // .lzma ("alone") header: 5 property bytes + u64 uncompressed size; SWF keeps the props only.
    out.erase(out.begin() + 5, out.begin() + 13);
    return out;
}

}  // namespace

std::vector<uint8_t> SwfBuilder::bytes(Compression c, bool appendEnd) const {
    BitWriter body;  // everything after the 8-byte header
    writeRect(body, xMin_, xMax_, yMin_, yMax_);
    body.fixed8(fps_);
    body.u16(frameCountOverride_.value_or(static_cast<uint16_t>(frames_)));
    body.raw(tags_);
    if (appendEnd) body.u16(0);
    const std::vector<uint8_t>& plain = body.bytes();
    const uint32_t length = lengthOverride_.value_or(static_cast<uint32_t>(plain.size() + 8));

    BitWriter out;
    const char* sig = c == Compression::None ? "FWS" : c == Compression::Zlib ? "CWS" : "ZWS";
    out.u8(static_cast<uint8_t>(sig[0]));
    out.u8('W');
    out.u8('S');
    out.u8(static_cast<uint8_t>(version_));
    out.u32(length);
    switch (c) {
        case Compression::None:
            out.raw(plain);
            break;
        case Compression::Zlib:
            out.raw(zlibCompress(plain));
            break;
        case Compression::Lzma: {
            const auto packed = lzmaCompress(plain);
            out.u32(static_cast<uint32_t>(packed.size() - 5));  // data after the properties
            out.raw(packed);
            break;
        }
    }
    return out.take();
}

}  // namespace swftest
