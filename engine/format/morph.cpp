#include "engine/format/morph.h"

#include <algorithm>
#include <cmath>

namespace swf::format {
namespace {

void readMorphGradient(BitReader& r, Gradient& a, Gradient& b, bool focal) {
    const uint8_t head = r.u8();
    a.spread = b.spread = static_cast<uint8_t>(head >> 6);
    a.interpolation = b.interpolation = static_cast<uint8_t>((head >> 4) & 3);
    const int n = head & 0x0f;
    for (int i = 0; i < n && !r.overrun(); ++i) {
        GradientStop s0, s1;
        s0.ratio = r.u8();
        s0.color = readRgba(r);
        s1.ratio = r.u8();
        s1.color = readRgba(r);
        a.stops.push_back(s0);
        b.stops.push_back(s1);
    }
    if (focal) {
        a.focalPoint = r.fixed8();
        b.focalPoint = r.fixed8();
    }
}

bool readMorphFill(BitReader& r, FillStyle& a, FillStyle& b) {
    a.type = b.type = r.u8();
    switch (a.type) {
        case FillStyle::Solid:
            a.color = readRgba(r);
            b.color = readRgba(r);
            return true;
        case FillStyle::LinearGradient:
        case FillStyle::RadialGradient:
        case FillStyle::FocalGradient:
            a.matrix = readMatrix(r);
            b.matrix = readMatrix(r);
            readMorphGradient(r, a.gradient, b.gradient, a.type == FillStyle::FocalGradient);
            return true;
        case FillStyle::RepeatingBitmap:
        case FillStyle::ClippedBitmap:
        case FillStyle::NonSmoothedRepeatingBitmap:
        case FillStyle::NonSmoothedClippedBitmap:
            a.bitmapId = b.bitmapId = r.u16();
            a.matrix = readMatrix(r);
            b.matrix = readMatrix(r);
            return true;
        default:
            return false;
    }
}

bool readMorphLine(BitReader& r, int version, LineStyle& a, LineStyle& b) {
    a.width = r.u16();
    b.width = r.u16();
    if (version >= 2) {
        a.startCap = static_cast<uint8_t>(r.ub(2));
        a.join = static_cast<uint8_t>(r.ub(2));
        a.hasFill = r.flag();
        a.noHScale = r.flag();
        a.noVScale = r.flag();
        a.pixelHinting = r.flag();
        r.ub(5);
        a.noClose = r.flag();
        a.endCap = static_cast<uint8_t>(r.ub(2));
        if (a.join == LineStyle::MiterJoin) a.miterLimit = r.fixed8();
        const uint16_t wa = a.width, wb = b.width;
        b = a;
        a.width = wa;
        b.width = wb;
        if (a.hasFill) {
            if (!readMorphFill(r, a.fill, b.fill)) return false;
            a.color = a.fill.color;
            b.color = b.fill.color;
            return true;
        }
    }
    a.color = readRgba(r);
    b.color = readRgba(r);
    return true;
}

// Colour channels between the two ends drop the fraction (toward the lower value).
uint8_t mix8(uint8_t a, uint8_t b, double t) {
    return static_cast<uint8_t>(std::clamp(std::floor(a + (b - a) * t), 0.0, 255.0));
}
int32_t mixI(int32_t a, int32_t b, double t) {
    return static_cast<int32_t>(std::lround(a + (b - a) * t));
}
Rgba mixC(Rgba a, Rgba b, double t) {
    return {mix8(a.r, b.r, t), mix8(a.g, b.g, t), mix8(a.b, b.b, t), mix8(a.a, b.a, t)};
}
Matrix mixM(const Matrix& a, const Matrix& b, double t) {
    return {a.sx + (b.sx - a.sx) * t, a.r0 + (b.r0 - a.r0) * t, a.r1 + (b.r1 - a.r1) * t,
            a.sy + (b.sy - a.sy) * t, mixI(a.tx, b.tx, t),      mixI(a.ty, b.ty, t)};
}
FillStyle mixF(const FillStyle& a, const FillStyle& b, double t) {
    FillStyle f = a;
    f.color = mixC(a.color, b.color, t);
    f.matrix = mixM(a.matrix, b.matrix, t);
    for (size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
        f.gradient.stops[i].ratio = mix8(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
        f.gradient.stops[i].color = mixC(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
    }
    f.gradient.focalPoint =
        a.gradient.focalPoint + (b.gradient.focalPoint - a.gradient.focalPoint) * t;
    return f;
}

// A straight edge as a curve, so it can blend with a curve.
Edge asCurve(const Edge& e) {
    if (e.curve) return e;
    Edge c = e;
    c.cx = (e.x0 + e.x1) / 2;
    c.cy = (e.y0 + e.y1) / 2;
    c.curve = true;
    return c;
}

}  // namespace

MorphShape parseDefineMorphShape(std::span<const uint8_t> body, int version,
                                 const ShapeLimits& limits) {
    BitReader r(body);
    MorphShape m;
    m.version = version;
    m.start.version = 3;
    m.id = r.u16();
    m.startBounds = readRect(r);
    m.endBounds = readRect(r);
    if (version >= 2) {
        readRect(r);
        readRect(r);
        r.u8();  // stroke scaling hints
    }
    const uint32_t offset = r.u32();
    const size_t endAt = r.pos() + offset;
    m.start.bounds = m.startBounds;
    m.start.edgeBounds = m.startBounds;
    auto room = [&] { return m.start.fills.size() + m.start.lines.size() < limits.maxStyles; };
    uint32_t fills = r.u8();
    if (fills == 0xff) fills = r.u16();
    for (uint32_t i = 0; i < fills && !r.overrun(); ++i) {
        FillStyle a, b;
        if (!room() || !readMorphFill(r, a, b)) {
            m.start.truncated = true;
            return m;
        }
        m.start.fills.push_back(a);
        m.endFills.push_back(b);
    }
    uint32_t lines = r.u8();
    if (lines == 0xff) lines = r.u16();
    for (uint32_t i = 0; i < lines && !r.overrun(); ++i) {
        LineStyle a, b;
        if (!room() || !readMorphLine(r, version, a, b)) {
            m.start.truncated = true;
            return m;
        }
        m.start.lines.push_back(a);
        m.endLines.push_back(b);
    }
    readShapeRecords(r, m.start, limits);
    if (endAt > body.size() || endAt < r.pos()) {
        m.start.truncated = true;
        return m;
    }
    BitReader er(body.subspan(endAt));
    Shape end;
    end.version = 3;
    readShapeRecords(er, end, limits);
    for (const auto& p : end.paths)
        m.endEdges.insert(m.endEdges.end(), p.edges.begin(), p.edges.end());
    return m;
}

Shape interpolateMorph(const MorphShape& m, double t) {
    t = std::clamp(t, 0.0, 1.0);
    Shape s;
    s.version = 3;
    s.id = m.id;
    s.groupCount = m.start.groupCount;
    for (size_t i = 0; i < m.start.fills.size(); ++i)
        s.fills.push_back(i < m.endFills.size() ? mixF(m.start.fills[i], m.endFills[i], t)
                                                : m.start.fills[i]);
    for (size_t i = 0; i < m.start.lines.size(); ++i) {
        LineStyle l = m.start.lines[i];
        if (i < m.endLines.size()) {
            const LineStyle& e = m.endLines[i];
            l.width = static_cast<uint16_t>(mixI(l.width, e.width, t));
            l.color = mixC(l.color, e.color, t);
            if (l.hasFill) l.fill = mixF(l.fill, e.fill, t);
        }
        s.lines.push_back(l);
    }
    auto mixR = [&](const Rect& a, const Rect& b) {
        return Rect{mixI(a.xMin, b.xMin, t), mixI(a.xMax, b.xMax, t), mixI(a.yMin, b.yMin, t),
                    mixI(a.yMax, b.yMax, t)};
    };
    s.bounds = s.edgeBounds = mixR(m.startBounds, m.endBounds);
    size_t k = 0;
    for (const auto& p : m.start.paths) {
        ShapePath out = p;
        out.edges.clear();
        for (const auto& a : p.edges) {
            if (k >= m.endEdges.size()) break;  // unmatched edges cannot be placed
            const Edge& b = m.endEdges[k++];
            Edge e;
            if (!a.curve && !b.curve) {
                e = {mixI(a.x0, b.x0, t), mixI(a.y0, b.y0, t), 0,    0,
                     mixI(a.x1, b.x1, t), mixI(a.y1, b.y1, t), false};
                e.cx = e.x1;
                e.cy = e.y1;
            } else {
                const Edge ca = asCurve(a), cb = asCurve(b);
                e = {mixI(ca.x0, cb.x0, t),
                     mixI(ca.y0, cb.y0, t),
                     mixI(ca.cx, cb.cx, t),
                     mixI(ca.cy, cb.cy, t),
                     mixI(ca.x1, cb.x1, t),
                     mixI(ca.y1, cb.y1, t),
                     true};
            }
            out.edges.push_back(e);
        }
        if (!out.edges.empty()) s.paths.push_back(std::move(out));
    }
    s.edgeCount = k;
    return s;
}

}  // namespace swf::format
