#include "engine/format/text.h"

#include <algorithm>

#include "engine/format/bit_reader.h"

namespace swf::format {
namespace {

// Glyph shapes: offsets[i] .. offsets[i+1] within table (the last ends at end). Glyphs of a
// real font never share bytes, so together they read the table at most once: offsets that
// go back and forth over one region (to parse it once per glyph) give empty glyphs.
void readGlyphs(Font& f, std::span<const uint8_t> table, const std::vector<uint32_t>& offsets,
                size_t end, const ShapeLimits& limits) {
    end = std::min(end, table.size());
    size_t unread = table.size();  // bytes the glyphs may still parse
    for (size_t i = 0; i < offsets.size(); ++i) {
        const size_t a = offsets[i];
        const size_t b = i + 1 < offsets.size() ? offsets[i + 1] : end;
        if (a > b || b > table.size() || b - a > unread) {
            f.glyphs.emplace_back();
            continue;
        }
        unread -= b - a;
        f.glyphs.push_back(parseGlyphShape(table.subspan(a, b - a), limits));
    }
}

}  // namespace

Font parseDefineFont(std::span<const uint8_t> body, int version, const ShapeLimits& limits) {
    BitReader r(body);
    Font f;
    f.version = version;
    f.id = r.u16();
    if (version == 1) {
        const auto table = r.rest();
        const uint16_t first = r.u16();
        const size_t n = std::min<size_t>(first / 2, table.size() / 2);
        std::vector<uint32_t> offsets{first};
        for (size_t i = 1; i < n; ++i) offsets.push_back(r.u16());
        if (first == 0) offsets.clear();
        readGlyphs(f, table, offsets, table.size(), limits);
        return f;
    }
    const uint8_t flags = r.u8();
    f.hasLayout = flags & 0x80;
    f.shiftJis = flags & 0x40;
    f.ansi = flags & 0x10;
    const bool wideOffsets = flags & 0x08;
    f.wideCodes = flags & 0x04;
    f.italic = flags & 0x02;
    f.bold = flags & 0x01;
    r.u8();  // language
    const size_t nameLen = r.u8();
    const auto name = r.bytes(nameLen);
    f.name.assign(name.begin(), name.end());
    while (!f.name.empty() && f.name.back() == 0) f.name.pop_back();
    const size_t n = r.u16();
    const auto table = r.rest();
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < n && !r.overrun(); ++i)
        offsets.push_back(wideOffsets ? r.u32() : r.u16());
    const uint32_t codeOffset = n == 0 ? 0 : (wideOffsets ? r.u32() : r.u16());
    if (r.overrun()) return f;
    readGlyphs(f, table, offsets, codeOffset, limits);
    BitReader c(table.subspan(std::min<size_t>(codeOffset, table.size())));
    for (size_t i = 0; i < n && !c.overrun(); ++i)
        f.codes.push_back(f.wideCodes ? c.u16() : c.u8());
    if (c.overrun()) f.codes.resize(std::min(f.codes.size(), n), 0);
    if (f.hasLayout) {
        f.ascent = c.u16();
        f.descent = c.u16();
        f.leading = c.s16();
        for (size_t i = 0; i < n && !c.overrun(); ++i) f.advances.push_back(c.s16());
        // Bounds and kerning follow; layout does not use them.
        if (c.overrun()) f.advances.clear();
    }
    return f;
}

void applyFontInfo(Font& font, std::span<const uint8_t> body, int version) {
    BitReader r(body);
    r.u16();  // font id
    const size_t nameLen = r.u8();
    const auto name = r.bytes(nameLen);
    font.name.assign(name.begin(), name.end());
    while (!font.name.empty() && font.name.back() == 0) font.name.pop_back();
    const uint8_t flags = r.u8();
    font.shiftJis = flags & 0x10;
    font.ansi = flags & 0x08;
    font.italic = flags & 0x04;
    font.bold = flags & 0x02;
    font.wideCodes = flags & 0x01;
    if (version >= 2) r.u8();  // language
    font.codes.clear();
    for (size_t i = 0; i < font.glyphs.size(); ++i) {
        const uint16_t code = (font.wideCodes || version >= 2) ? r.u16() : r.u8();
        if (r.overrun()) break;
        font.codes.push_back(code);
    }
}

StaticText parseDefineText(std::span<const uint8_t> body, int version) {
    BitReader r(body);
    StaticText t;
    t.id = r.u16();
    t.bounds = readRect(r);
    t.matrix = readMatrix(r);
    const int glyphBits = r.u8(), advanceBits = r.u8();
    if (glyphBits > 32 || advanceBits > 32) return t;
    TextRun style;
    while (!r.overrun()) {
        const uint8_t head = r.u8();
        if (head == 0 || r.overrun()) break;
        if (head & 0x08) style.fontId = r.u16();
        if (head & 0x04) style.color = version >= 2 ? readRgba(r) : readRgb(r);
        if (head & 0x01) style.x = r.s16();
        if (head & 0x02) style.y = r.s16();
        if (head & 0x08) style.height = r.u16();
        const int count = r.u8();
        TextRun run = style;
        run.glyphs.reserve(count);
        for (int i = 0; i < count && !r.overrun(); ++i) {
            GlyphEntry g;
            g.index = r.ub(glyphBits);
            g.advance = r.sb(advanceBits);
            run.glyphs.push_back(g);
        }
        r.align();
        if (r.overrun()) break;
        int32_t advance = 0;
        for (const auto& g : run.glyphs) advance = addTwips(advance, g.advance);
        style.x = addTwips(style.x,
                           advance);  // the next run continues where this one ends unless it moves
        t.runs.push_back(std::move(run));
    }
    return t;
}

EditText parseDefineEditText(std::span<const uint8_t> body) {
    BitReader r(body);
    EditText e;
    e.id = r.u16();
    e.bounds = readRect(r);
    const uint8_t f1 = r.u8(), f2 = r.u8();
    const bool hasText = f1 & 0x80;
    e.wordWrap = f1 & 0x40;
    e.multiline = f1 & 0x20;
    e.password = f1 & 0x10;
    e.readOnly = f1 & 0x08;
    const bool hasColor = f1 & 0x04, hasMaxLength = f1 & 0x02, hasFont = f1 & 0x01;
    const bool hasFontClass = f2 & 0x80;
    e.autoSize = f2 & 0x40;
    const bool hasLayout = f2 & 0x20;
    e.noSelect = f2 & 0x10;
    e.border = f2 & 0x08;
    e.html = f2 & 0x02;
    e.useOutlines = f2 & 0x01;
    if (hasFont) e.fontId = r.u16();
    if (hasFontClass) e.fontClass = r.string();
    if (hasFont || hasFontClass) e.height = r.u16();
    if (hasColor) e.color = readRgba(r);
    if (hasMaxLength) e.maxLength = r.u16();
    if (hasLayout) {
        e.align = r.u8();
        e.leftMargin = r.u16();
        e.rightMargin = r.u16();
        e.indent = r.s16();
        e.leading = r.s16();
    }
    e.variableName = r.string();
    if (hasText) e.initialText = r.string();
    return e;
}

}  // namespace swf::format
