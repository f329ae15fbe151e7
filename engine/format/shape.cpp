#include "engine/format/shape.h"

namespace swf::format {
namespace {

Rgba readColor(BitReader& r, int shapeVersion) {
    return shapeVersion >= 3 ? readRgba(r) : readRgb(r);
}

}  // namespace

Gradient readGradient(BitReader& r, int shapeVersion, bool focal) {
    Gradient g;
    r.align();
    g.spread = static_cast<uint8_t>(r.ub(2));
    g.interpolation = static_cast<uint8_t>(r.ub(2));
    const int n = static_cast<int>(r.ub(4));
    g.stops.reserve(n);
    for (int i = 0; i < n && !r.overrun(); ++i) {
        GradientStop s;
        s.ratio = r.u8();
        s.color = readColor(r, shapeVersion);
        g.stops.push_back(s);
    }
    if (focal) g.focalPoint = r.fixed8();
    return g;
}

namespace {

// Appends a FILLSTYLEARRAY and LINESTYLEARRAY to the shape's styles; false when the
// style budget ran out (the rest of the shape cannot be read in step then).
bool readStyleArrays(BitReader& r, Shape& s, size_t maxStyles) {
    auto room = [&] { return s.fills.size() + s.lines.size() < maxStyles; };
    uint32_t fillCount = r.u8();
    if (fillCount == 0xff && s.version >= 2) fillCount = r.u16();
    for (uint32_t i = 0; i < fillCount && !r.overrun(); ++i) {
        if (!room()) return false;
        s.fills.push_back(readFillStyle(r, s.version));
    }
    uint32_t lineCount = r.u8();
    if (lineCount == 0xff) lineCount = r.u16();
    for (uint32_t i = 0; i < lineCount && !r.overrun(); ++i) {
        if (!room()) return false;
        s.lines.push_back(readLineStyle(r, s.version));
    }
    return true;
}

}  // namespace

FillStyle readFillStyle(BitReader& r, int shapeVersion) {
    FillStyle f;
    f.type = r.u8();
    switch (f.type) {
        case FillStyle::Solid:
            f.color = readColor(r, shapeVersion);
            break;
        case FillStyle::LinearGradient:
        case FillStyle::RadialGradient:
        case FillStyle::FocalGradient:
            f.matrix = readMatrix(r);
            f.gradient = readGradient(r, shapeVersion, f.type == FillStyle::FocalGradient);
            if (!f.gradient.stops.empty())
                f.color = f.gradient.stops[f.gradient.stops.size() / 2].color;
            break;
        case FillStyle::RepeatingBitmap:
        case FillStyle::ClippedBitmap:
        case FillStyle::NonSmoothedRepeatingBitmap:
        case FillStyle::NonSmoothedClippedBitmap:
            f.bitmapId = r.u16();
            f.matrix = readMatrix(r);
            break;
        default:
            // The layout of an unknown fill type is unknown: nothing after it can be trusted.
            r.skip(r.remaining() + 1);
            break;
    }
    return f;
}

LineStyle readLineStyle(BitReader& r, int shapeVersion) {
    LineStyle l;
    l.width = r.u16();
    if (shapeVersion < 4) {
        l.color = readColor(r, shapeVersion);
        return l;
    }
    l.startCap = static_cast<uint8_t>(r.ub(2));
    l.join = static_cast<uint8_t>(r.ub(2));
    l.hasFill = r.flag();
    l.noHScale = r.flag();
    l.noVScale = r.flag();
    l.pixelHinting = r.flag();
    r.ub(5);
    l.noClose = r.flag();
    l.endCap = static_cast<uint8_t>(r.ub(2));
    if (l.join == LineStyle::MiterJoin) l.miterLimit = r.fixed8();
    if (l.hasFill) {
        l.fill = readFillStyle(r, shapeVersion);
        l.color = l.fill.color;
    } else {
        l.color = readRgba(r);
    }
    return l;
}

Shape parseDefineShape(std::span<const uint8_t> body, int version, const ShapeLimits& limits) {
    BitReader r(body);
    Shape s;
    s.version = version;
    s.id = r.u16();
    s.bounds = readRect(r);
    if (version >= 4) {
        s.edgeBounds = readRect(r);
        r.ub(5);
        s.windingRule = r.flag();
        r.ub(2);  // non-scaling / scaling strokes hints
    } else {
        s.edgeBounds = s.bounds;
    }
    if (!readStyleArrays(r, s, limits.maxStyles)) {
        s.truncated = true;
        return s;
    }
    readShapeRecords(r, s, limits);
    return s;
}

void readShapeRecords(BitReader& r, Shape& s, const ShapeLimits& limits) {
    r.align();
    int fillBits = static_cast<int>(r.ub(4));
    int lineBits = static_cast<int>(r.ub(4));

    uint32_t fillBase = 0, lineBase = 0;  // offsets of the current style group
    int32_t x = 0, y = 0;
    ShapePath cur;
    auto flush = [&] {
        if (!cur.edges.empty()) s.paths.push_back(cur);
        cur.edges.clear();
    };
    auto styleIndex = [](uint32_t raw, uint32_t base, size_t count) -> uint32_t {
        // Out-of-range indices draw nothing rather than borrowing another style.
        if (raw == 0 || base + raw > count) return 0;
        return base + raw;
    };
    size_t records = 0;
    bool ended = false;
    while (!r.overrun()) {
        if (++records > limits.maxRecords || s.edgeCount >= limits.maxEdges) break;
        if (r.flag()) {
            Edge e{};
            e.x0 = x;
            e.y0 = y;
            if (r.flag()) {  // straight
                const int n = static_cast<int>(r.ub(4)) + 2;
                int32_t dx = 0, dy = 0;
                if (r.flag()) {
                    dx = r.sb(n);
                    dy = r.sb(n);
                } else if (r.flag()) {
                    dy = r.sb(n);
                } else {
                    dx = r.sb(n);
                }
                x = addTwips(x, dx);
                y = addTwips(y, dy);
                e.curve = false;
                e.cx = x;
                e.cy = y;
            } else {
                const int n = static_cast<int>(r.ub(4)) + 2;
                const int32_t cdx = r.sb(n), cdy = r.sb(n), adx = r.sb(n), ady = r.sb(n);
                e.cx = addTwips(x, cdx);
                e.cy = addTwips(y, cdy);
                x = addTwips(e.cx, adx);
                y = addTwips(e.cy, ady);
                e.curve = true;
            }
            if (r.overrun()) break;
            e.x1 = x;
            e.y1 = y;
            cur.edges.push_back(e);
            ++s.edgeCount;
            continue;
        }
        const uint32_t flags = r.ub(5);
        if (flags == 0) {
            ended = !r.overrun();
            break;
        }
        flush();
        if (flags & 0x01) {  // move to
            const int n = static_cast<int>(r.ub(5));
            x = r.sb(n);
            y = r.sb(n);
        }
        // Indices come before any new style arrays in the record, but refer to the new ones.
        const uint32_t raw0 = (flags & 0x02) ? r.ub(fillBits) : 0;
        const uint32_t raw1 = (flags & 0x04) ? r.ub(fillBits) : 0;
        const uint32_t rawLine = (flags & 0x08) ? r.ub(lineBits) : 0;
        if (flags & 0x10) {  // new styles: a new group drawn above the previous one
            if (s.groupCount >= limits.maxStyleGroups) break;
            fillBase = static_cast<uint32_t>(s.fills.size());
            lineBase = static_cast<uint32_t>(s.lines.size());
            if (!readStyleArrays(r, s, limits.maxStyles)) break;
            r.align();
            fillBits = static_cast<int>(r.ub(4));
            lineBits = static_cast<int>(r.ub(4));
            cur.fill0 = cur.fill1 = cur.line = 0;
            cur.group = s.groupCount++;
        }
        if (flags & 0x02) cur.fill0 = styleIndex(raw0, fillBase, s.fills.size());
        if (flags & 0x04) cur.fill1 = styleIndex(raw1, fillBase, s.fills.size());
        if (flags & 0x08) cur.line = styleIndex(rawLine, lineBase, s.lines.size());
    }
    flush();
    s.truncated = !ended;
}

Shape parseGlyphShape(std::span<const uint8_t> data, const ShapeLimits& limits) {
    BitReader r(data);
    Shape s;
    s.version = 1;
    s.fills.push_back({});  // glyphs fill with style 1; the text's colour is applied at draw time
    readShapeRecords(r, s, limits);
    return s;
}

}  // namespace swf::format
