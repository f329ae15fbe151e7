#include "tests/support/swf_writer_media.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace swftest::media {
namespace {

std::vector<uint8_t> deflate(const std::vector<uint8_t>& in) {
    uLongf n = compressBound(in.size());
    std::vector<uint8_t> out(n);
    compress(out.data(), &n, in.data(), in.size());
    out.resize(n);
    return out;
}

void writeGradient(BitWriter& w, const Fill& f, bool alpha) {
    w.align();
    w.writeUB(f.spread, 2);
    w.writeUB(f.interpolation, 2);
    w.writeUB(static_cast<uint32_t>(f.stops.size()), 4);
    for (const auto& [ratio, c] : f.stops) {
        w.u8(ratio);
        alpha ? writeRgba(w, c) : writeRgb(w, c);
    }
    if (f.type == 0x13) w.fixed8(f.focal);
}

void writeFill(BitWriter& w, const Fill& f, bool alpha) {
    w.u8(f.type);
    if (f.type == 0x00) {
        alpha ? writeRgba(w, f.color) : writeRgb(w, f.color);
    } else if (f.type >= 0x10 && f.type <= 0x13) {
        writeMatrix(w, f.matrix);
        writeGradient(w, f, alpha);
    } else {
        w.u16(f.bitmapId);
        writeMatrix(w, f.matrix);
    }
}

void writeLine(BitWriter& w, const Line& l, int version) {
    w.u16(static_cast<uint16_t>(l.width));
    if (version < 4) {
        writeRgba(w, l.color);
        return;
    }
    w.writeUB(l.startCap, 2);
    w.writeUB(l.join, 2);
    w.writeUB(l.fill ? 1 : 0, 1);
    w.writeUB(l.noHScale, 1);
    w.writeUB(l.noVScale, 1);
    w.writeUB(0, 1);  // pixel hinting
    w.writeUB(0, 5);
    w.writeUB(l.noClose, 1);
    w.writeUB(l.endCap, 2);
    if (l.join == 2) w.fixed8(l.miterLimit);
    if (l.fill)
        writeFill(w, *l.fill, true);
    else
        writeRgba(w, l.color);
}

// Edges through pts from a style change at pts[0]; fill/line indices 1 when present.
void writeOutline(BitWriter& w, const std::vector<std::pair<int, int>>& pts, int fillBits,
                  int lineBits, bool fill0, bool fill1, bool line, bool close) {
    w.writeUB(0, 1);  // a style change record
    w.writeUB(0, 1);  // no new styles
    w.writeUB(line ? 1 : 0, 1);
    w.writeUB(fill1 ? 1 : 0, 1);
    w.writeUB(fill0 ? 1 : 0, 1);
    w.writeUB(1, 1);  // move to
    const int mb = sbBits({pts[0].first, pts[0].second});
    w.writeUB(mb, 5);
    w.writeSB(pts[0].first, mb);
    w.writeSB(pts[0].second, mb);
    if (fill0) w.writeUB(1, fillBits);
    if (fill1) w.writeUB(1, fillBits);
    if (line) w.writeUB(1, lineBits);
    auto straight = [&](int dx, int dy) {
        const int n = std::max(2, sbBits({dx, dy}));
        w.writeUB(1, 1);
        w.writeUB(1, 1);
        w.writeUB(n - 2, 4);
        w.writeUB(1, 1);  // general line
        w.writeSB(dx, n);
        w.writeSB(dy, n);
    };
    for (size_t i = 1; i < pts.size(); ++i)
        straight(pts[i].first - pts[i - 1].first, pts[i].second - pts[i - 1].second);
    if (close) straight(pts[0].first - pts.back().first, pts[0].second - pts.back().second);
}

// A closed outline of quadratic curves filled with fill style 1 on its right: pts alternates
// anchors and control points, from a style change at pts[0].
void writeCurvedOutline(BitWriter& w, const std::vector<std::pair<int, int>>& pts) {
    w.writeUB(0b000101, 6);  // style change: fill 1 (right side), move to
    const int mb = sbBits({pts[0].first, pts[0].second});
    w.writeUB(mb, 5);
    w.writeSB(pts[0].first, mb);
    w.writeSB(pts[0].second, mb);
    w.writeUB(1, 1);
    for (size_t i = 0; i + 1 < pts.size(); i += 2) {
        const auto [px, py] = pts[i];
        const auto [cx, cy] = pts[i + 1];
        const auto [ax, ay] = pts[(i + 2) % pts.size()];
        const int d[] = {cx - px, cy - py, ax - cx, ay - cy};
        const int n = std::max(2, sbBits({d[0], d[1], d[2], d[3]}));
        w.writeUB(0b10, 2);  // curved edge
        w.writeUB(n - 2, 4);
        for (int v : d) w.writeSB(v, n);
    }
}

void endShape(BitWriter& w) {
    w.writeUB(0, 6);
    w.align();
}

std::pair<std::pair<int, int>, std::pair<int, int>> extent(
    const std::vector<std::pair<int, int>>& pts) {
    int x0 = pts[0].first, x1 = x0, y0 = pts[0].second, y1 = y0;
    for (auto [x, y] : pts) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    return {{x0, x1}, {y0, y1}};
}

void writeFilterFlags(BitWriter& w, bool inner, bool knockout, int passes) {
    w.writeUB(inner, 1);
    w.writeUB(knockout, 1);
    w.writeUB(1, 1);  // composite source
    w.writeUB(passes, 5);
}

}  // namespace

std::vector<uint8_t> shapeBody(uint16_t id, int version,
                               const std::vector<std::pair<int, int>>& pts,
                               std::optional<Fill> fill, std::optional<Line> line, bool open) {
    BitWriter w;
    w.u16(id);
    const auto [xs, ys] = extent(pts);
    const int pad = line ? line->width / 2 : 0;
    writeRect(w, xs.first - pad, xs.second + pad, ys.first - pad, ys.second + pad);
    if (version >= 4) {
        writeRect(w, xs.first, xs.second, ys.first, ys.second);
        w.u8(0);
    }
    w.u8(fill ? 1 : 0);
    if (fill) writeFill(w, *fill, version >= 3);
    w.u8(line ? 1 : 0);
    if (line) writeLine(w, *line, version);
    w.align();
    w.writeUB(1, 4);
    w.writeUB(1, 4);
    writeOutline(w, pts, 1, 1, false, fill.has_value(), line.has_value(), !open);
    endShape(w);
    return w.take();
}

std::vector<uint8_t> rectBody(uint16_t id, int version, int x, int y, int w, int h,
                              const Fill& fill) {
    return shapeBody(id, version, {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, fill);
}

std::vector<uint8_t> morphRectBody(uint16_t id, int version, int x0, int y0, int w0, int h0,
                                   Rgba c0, int x1, int y1, int w1, int h1, Rgba c1) {
    BitWriter w;
    w.u16(id);
    writeRect(w, x0, x0 + w0, y0, y0 + h0);
    writeRect(w, x1, x1 + w1, y1, y1 + h1);
    if (version >= 2) {
        writeRect(w, x0, x0 + w0, y0, y0 + h0);
        writeRect(w, x1, x1 + w1, y1, y1 + h1);
        w.u8(0);
    }
    BitWriter styles;
    styles.u8(1);
    styles.u8(0x00);
    writeRgba(styles, c0);
    writeRgba(styles, c1);
    styles.u8(0);  // no lines
    BitWriter start;
    start.writeUB(1, 4);
    start.writeUB(0, 4);
    writeOutline(start, {{x0, y0}, {x0 + w0, y0}, {x0 + w0, y0 + h0}, {x0, y0 + h0}}, 1, 0, false,
                 true, false, true);
    endShape(start);
    BitWriter end;
    end.writeUB(0, 4);
    end.writeUB(0, 4);
    writeOutline(end, {{x1, y1}, {x1 + w1, y1}, {x1 + w1, y1 + h1}, {x1, y1 + h1}}, 0, 0, false,
                 false, false, true);
    endShape(end);
    w.u32(static_cast<uint32_t>(styles.size() + start.size()));
    w.raw(styles.bytes());
    w.raw(start.bytes());
    w.raw(end.bytes());
    return w.take();
}

std::vector<uint8_t> losslessBody(uint16_t id, int version, int wd, int ht,
                                  const std::vector<uint32_t>& argb) {
    std::vector<uint8_t> raw;
    for (uint32_t p : argb) {
        raw.push_back(version == 2 ? static_cast<uint8_t>(p >> 24) : 0xff);
        raw.push_back(static_cast<uint8_t>(p >> 16));
        raw.push_back(static_cast<uint8_t>(p >> 8));
        raw.push_back(static_cast<uint8_t>(p));
    }
    BitWriter w;
    w.u16(id);
    w.u8(5);
    w.u16(static_cast<uint16_t>(wd));
    w.u16(static_cast<uint16_t>(ht));
    w.raw(deflate(raw));
    return w.take();
}

std::vector<uint8_t> losslessMappedBody(uint16_t id, int version, int wd, int ht,
                                        const std::vector<uint32_t>& table,
                                        const std::vector<uint8_t>& indices) {
    std::vector<uint8_t> raw;
    for (uint32_t c : table) {
        raw.push_back(static_cast<uint8_t>(c >> 16));
        raw.push_back(static_cast<uint8_t>(c >> 8));
        raw.push_back(static_cast<uint8_t>(c));
        if (version == 2) raw.push_back(static_cast<uint8_t>(c >> 24));
    }
    const int stride = (wd + 3) & ~3;
    for (int y = 0; y < ht; ++y)
        for (int x = 0; x < stride; ++x) raw.push_back(x < wd ? indices[y * wd + x] : 0);
    BitWriter w;
    w.u16(id);
    w.u8(3);
    w.u16(static_cast<uint16_t>(wd));
    w.u16(static_cast<uint16_t>(ht));
    w.u8(static_cast<uint8_t>(table.size() - 1));
    w.raw(deflate(raw));
    return w.take();
}

std::vector<uint8_t> losslessRawBody(uint16_t id, uint8_t format, int wd, int ht,
                                     const std::vector<uint8_t>& data) {
    BitWriter w;
    w.u16(id);
    w.u8(format);
    w.u16(static_cast<uint16_t>(wd));
    w.u16(static_cast<uint16_t>(ht));
    if (format == 3) w.u8(0);
    w.raw(data);
    return w.take();
}

std::vector<uint8_t> jpegBody(uint16_t id, const std::vector<uint8_t>& jpeg) {
    BitWriter w;
    w.u16(id);
    w.raw(jpeg);
    return w.take();
}

std::vector<uint8_t> jpeg3Body(uint16_t id, const std::vector<uint8_t>& jpeg,
                               const std::vector<uint8_t>& alpha) {
    BitWriter w;
    w.u16(id);
    w.u32(static_cast<uint32_t>(jpeg.size()));
    w.raw(jpeg);
    w.raw(deflate(alpha));
    return w.take();
}

std::vector<uint8_t> fontBody(uint16_t id, int version, const std::string& name,
                              const std::vector<Glyph>& glyphs, int ascent, int descent) {
    const int scale = version >= 3 ? 20 : 1;
    std::vector<std::vector<uint8_t>> shapes;
    for (const auto& g : glyphs) {
        BitWriter s;
        s.writeUB(1, 4);
        s.writeUB(0, 4);
        std::vector<std::pair<int, int>> pts;
        for (auto [x, y] : g.outline) pts.push_back({x * scale, y * scale});
        if (g.curved)
            writeCurvedOutline(s, pts);
        else
            writeOutline(s, pts, 1, 0, false, true, false, true);
        endShape(s);
        shapes.push_back(s.take());
    }
    BitWriter w;
    w.u16(id);
    if (version == 1) {
        uint16_t at = static_cast<uint16_t>(2 * glyphs.size());
        for (const auto& s : shapes) {
            w.u16(at);
            at = static_cast<uint16_t>(at + s.size());
        }
        for (const auto& s : shapes) w.raw(s);
        return w.take();
    }
    w.u8(0x80 | 0x08 | 0x04);  // layout, wide offsets, wide codes
    w.u8(0);
    w.u8(static_cast<uint8_t>(name.size()));
    w.raw(std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
    w.u16(static_cast<uint16_t>(glyphs.size()));
    uint32_t at = static_cast<uint32_t>(4 * glyphs.size() + 4);
    for (const auto& s : shapes) {
        w.u32(at);
        at += static_cast<uint32_t>(s.size());
    }
    w.u32(at);  // code table
    for (const auto& s : shapes) w.raw(s);
    for (const auto& g : glyphs) w.u16(g.code);
    w.u16(static_cast<uint16_t>(ascent * scale));
    w.u16(static_cast<uint16_t>(descent * scale));
    w.s16(0);
    for (const auto& g : glyphs) w.s16(static_cast<int16_t>(g.advance * scale));
    for (size_t i = 0; i < glyphs.size(); ++i) writeRect(w, 0, 0, 0, 0);
    w.u16(0);  // kerning
    return w.take();
}

std::vector<uint8_t> fontInfoBody(uint16_t fontId, const std::string& name,
                                  const std::vector<Glyph>& glyphs) {
    BitWriter w;
    w.u16(fontId);
    w.u8(static_cast<uint8_t>(name.size()));
    w.raw(std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
    w.u8(0x01);  // wide codes
    for (const auto& g : glyphs) w.u16(g.code);
    return w.take();
}

std::vector<uint8_t> textBody(uint16_t id, int version, int xMin, int xMax, int yMin, int yMax,
                              const std::vector<TextRun>& runs) {
    BitWriter w;
    w.u16(id);
    writeRect(w, xMin, xMax, yMin, yMax);
    writeMatrix(w, Matrix{});
    w.u8(8);   // glyph bits
    w.u8(16);  // advance bits
    for (const auto& r : runs) {
        w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);
        w.u16(r.fontId);
        version >= 2 ? writeRgba(w, r.color) : writeRgb(w, r.color);
        w.s16(static_cast<int16_t>(r.x));
        w.s16(static_cast<int16_t>(r.y));
        w.u16(static_cast<uint16_t>(r.height));
        w.u8(static_cast<uint8_t>(r.glyphs.size()));
        for (auto [index, advance] : r.glyphs) {
            w.writeUB(index, 8);
            w.writeSB(advance, 16);
        }
        w.align();
    }
    w.u8(0);
    return w.take();
}

std::vector<uint8_t> editTextBody(uint16_t id, const EditText& e) {
    BitWriter w;
    w.u16(id);
    writeRect(w, e.xMin, e.xMax, e.yMin, e.yMax);
    w.writeUB(!e.text.empty(), 1);
    w.writeUB(e.wordWrap, 1);
    w.writeUB(e.multiline, 1);
    w.writeUB(0, 1);  // password
    w.writeUB(1, 1);  // read only
    w.writeUB(e.color.has_value(), 1);
    w.writeUB(0, 1);  // max length
    w.writeUB(e.fontId.has_value(), 1);
    w.writeUB(0, 1);  // font class
    w.writeUB(0, 1);  // auto size
    w.writeUB(e.align.has_value(), 1);
    w.writeUB(1, 1);  // no select
    w.writeUB(e.border, 1);
    w.writeUB(0, 1);  // was static
    w.writeUB(e.html, 1);
    w.writeUB(e.useOutlines, 1);
    if (e.fontId) {
        w.u16(*e.fontId);
        w.u16(static_cast<uint16_t>(e.height));
    }
    if (e.color) writeRgba(w, *e.color);
    if (e.align) {
        w.u8(*e.align);
        w.u16(static_cast<uint16_t>(e.leftMargin));
        w.u16(static_cast<uint16_t>(e.rightMargin));
        w.u16(static_cast<uint16_t>(e.indent));
        w.s16(static_cast<int16_t>(e.leading));
    }
    w.string("");
    if (!e.text.empty()) w.string(e.text);
    return w.take();
}

std::vector<uint8_t> buttonBody(uint16_t id, int version, const std::vector<ButtonRecord>& recs) {
    BitWriter w;
    w.u16(id);
    if (version >= 2) {
        w.u8(0);
        w.u16(0);  // no actions
    }
    for (const auto& r : recs) {
        w.u8(r.states);
        w.u16(r.id);
        w.u16(static_cast<uint16_t>(r.depth));
        writeMatrix(w, r.matrix);
        if (version >= 2) writeCxform(w, Cxform{}, true);
    }
    w.u8(0);
    if (version == 1) w.u8(0);  // empty action list
    return w.take();
}

std::vector<uint8_t> buttonCxformBody(uint16_t buttonId, const Cxform& c) {
    BitWriter w;
    w.u16(buttonId);
    writeCxform(w, c, false);
    return w.take();
}

std::vector<uint8_t> blurFilter(double blurX, double blurY, int passes) {
    BitWriter w;
    w.u8(1);
    w.fixed(blurX);
    w.fixed(blurY);
    w.writeUB(passes, 5);
    w.writeUB(0, 3);
    return w.take();
}

std::vector<uint8_t> dropShadowFilter(Rgba color, double blur, double angle, double distance,
                                      double strength, bool inner, bool knockout) {
    BitWriter w;
    w.u8(0);
    writeRgba(w, color);
    w.fixed(blur);
    w.fixed(blur);
    w.fixed(angle);
    w.fixed(distance);
    w.fixed8(strength);
    writeFilterFlags(w, inner, knockout, 1);
    return w.take();
}

std::vector<uint8_t> glowFilter(Rgba color, double blur, double strength) {
    BitWriter w;
    w.u8(2);
    writeRgba(w, color);
    w.fixed(blur);
    w.fixed(blur);
    w.fixed8(strength);
    writeFilterFlags(w, false, false, 1);
    return w.take();
}

std::vector<uint8_t> colorMatrixFilter(const float (&m)[20]) {
    BitWriter w;
    w.u8(6);
    for (float v : m) w.f32(v);
    return w.take();
}

std::vector<uint8_t> bevelFilter(Rgba shadow, Rgba highlight, double blur, double angle,
                                 double distance, double strength, BevelKind kind, bool knockout) {
    BitWriter w;
    w.u8(3);
    writeRgba(w, highlight);  // the highlight comes first in files
    writeRgba(w, shadow);
    w.fixed(blur);
    w.fixed(blur);
    w.fixed(angle);
    w.fixed(distance);
    w.fixed8(strength);
    w.writeUB(kind == BevelKind::Inner, 1);
    w.writeUB(knockout, 1);
    w.writeUB(1, 1);  // composite source
    w.writeUB(kind == BevelKind::Full, 1);
    w.writeUB(1, 4);
    return w.take();
}

std::vector<uint8_t> convolutionFilter(int cols, int rows, const std::vector<float>& matrix,
                                       float divisor) {
    BitWriter w;
    w.u8(5);
    w.u8(static_cast<uint8_t>(cols));
    w.u8(static_cast<uint8_t>(rows));
    w.f32(divisor);
    w.f32(0);
    for (float v : matrix) w.f32(v);
    writeRgba(w, {0, 0, 0, 0});
    w.u8(0x02);  // clamp
    return w.take();
}

std::vector<uint8_t> place3Body(int depth, uint16_t id, const Matrix& m,
                                std::optional<uint8_t> blendMode,
                                const std::vector<std::vector<uint8_t>>& filters,
                                std::optional<Cxform> cx) {
    BitWriter w;
    w.u8(static_cast<uint8_t>(0x02 | 0x04 | (cx ? 0x08 : 0)));
    w.u8(static_cast<uint8_t>((filters.empty() ? 0 : 0x01) | (blendMode ? 0x02 : 0)));
    w.u16(static_cast<uint16_t>(depth));
    w.u16(id);
    writeMatrix(w, m);
    if (cx) writeCxform(w, *cx, true);
    if (!filters.empty()) {
        w.u8(static_cast<uint8_t>(filters.size()));
        for (const auto& f : filters) w.raw(f);
    }
    if (blendMode) w.u8(*blendMode);
    return w.take();
}

}  // namespace swftest::media
