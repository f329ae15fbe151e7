#pragma once
// Fonts (DefineFont 1-3, DefineFontInfo 1-2), static text (DefineText 1-2) and text fields
// (DefineEditText).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/format/records.h"
#include "engine/format/shape.h"

namespace swf::format {

constexpr size_t kMaxGlyphs = 65535;

struct Font {
    uint16_t id = 0;
    int version = 1;  // DefineFont N
    std::string name;
    bool bold = false, italic = false, wideCodes = false, shiftJis = false, ansi = false;
    std::vector<Shape> glyphs;    // glyph outlines, EM square 1024 units (x20 for DefineFont3)
    std::vector<uint16_t> codes;  // code of each glyph (empty until DefineFontInfo for v1)
    bool hasLayout = false;
    int ascent = 0, descent = 0, leading = 0;
    std::vector<int16_t> advances;
    double emUnits() const { return version >= 3 ? 20480.0 : 1024.0; }
};

Font parseDefineFont(std::span<const uint8_t> body, int version, const ShapeLimits& limits = {});
// DefineFontInfo/2: names and codes for a DefineFont (1); version is 1 or 2.
void applyFontInfo(Font& font, std::span<const uint8_t> body, int version);

struct GlyphEntry {
    uint32_t index = 0;
    int32_t advance = 0;  // twips
};

struct TextRun {
    uint16_t fontId = 0;
    Rgba color;
    int32_t x = 0, y = 0;  // pen position of the first glyph, twips
    uint16_t height = 0;   // twips
    std::vector<GlyphEntry> glyphs;
};

struct StaticText {
    uint16_t id = 0;
    Rect bounds;
    Matrix matrix;
    std::vector<TextRun> runs;
};

StaticText parseDefineText(std::span<const uint8_t> body, int version);

struct EditText {
    uint16_t id = 0;
    Rect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false;
    bool autoSize = false, noSelect = false, border = false, html = false, useOutlines = false;
    std::optional<uint16_t> fontId;
    std::string fontClass;
    uint16_t height = 240;  // twips
    std::optional<Rgba> color;
    std::optional<uint16_t> maxLength;
    uint8_t align = 0;  // 0 left, 1 right, 2 centre, 3 justify
    uint16_t leftMargin = 0, rightMargin = 0;
    int16_t indent = 0;
    int16_t leading = 0;
    std::string variableName;
    std::string initialText;  // as stored: UTF-8 from SWF 6 on, code page text before
    // CSMTextSettings: 0 normal / 1 advanced; 0 none / 1 pixel / 2 subpixel.
    int antiAlias = 0, gridFit = 1;
    float thickness = 0, sharpness = 0;
};

EditText parseDefineEditText(std::span<const uint8_t> body);

}  // namespace swf::format
