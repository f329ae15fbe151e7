#pragma once
// swftest media: tag bodies for what swf_writer.h does not write — styled shapes (gradients,
// bitmap fills, LINESTYLE2), morph shapes, bitmaps, fonts, static and edit text, buttons,
// PlaceObject3 filter lists. Each returns a tag body for Timeline::rawTag with its code.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/swf_writer.h"

namespace swftest::media {

namespace code {
constexpr uint16_t DefineBits = 6, DefineButton = 7, JPEGTables = 8, DefineFont = 10,
                   DefineText = 11, DefineFontInfo = 13, DefineBitsLossless = 20,
                   DefineBitsJPEG2 = 21, DefineButtonCxform = 23, DefineShape3 = 32,
                   DefineText2 = 33, DefineButton2 = 34, DefineBitsJPEG3 = 35,
                   DefineBitsLossless2 = 36, DefineEditText = 37, DefineMorphShape = 46,
                   DefineFont2 = 48, PlaceObject3 = 70, DefineFont3 = 75, DefineShape4 = 83,
                   DefineMorphShape2 = 84;
}

struct Fill {
    uint8_t type = 0x00;  // 0x00 solid, 0x10 linear, 0x12 radial, 0x13 focal, 0x40-0x43 bitmap
    Rgba color;
    Matrix matrix{};  // gradient or bitmap space
    std::vector<std::pair<uint8_t, Rgba>> stops{};
    uint8_t spread = 0, interpolation = 0;
    double focal = 0;
    uint16_t bitmapId = 0;
};

struct Line {
    int width = 20;
    Rgba color;
    uint8_t startCap = 0, endCap = 0, join = 0;  // 0 round, 1 none/bevel, 2 square/miter
    double miterLimit = 3;
    bool noHScale = false, noVScale = false, noClose = false;
    std::optional<Fill> fill;  // fill-in-stroke
};

// A DefineShape3/4 body (version 3 or 4): one outline of straight edges through pts (closed
// unless open), filled with fill1 and/or stroked with line.
std::vector<uint8_t> shapeBody(uint16_t id, int version,
                               const std::vector<std::pair<int, int>>& pts,
                               std::optional<Fill> fill, std::optional<Line> line = {},
                               bool open = false);
std::vector<uint8_t> rectBody(uint16_t id, int version, int x, int y, int w, int h,
                              const Fill& fill);

// DefineMorphShape (1) or 2: a rectangle morphing from start to end, solid colours.
std::vector<uint8_t> morphRectBody(uint16_t id, int version, int x0, int y0, int w0, int h0,
                                   Rgba c0, int x1, int y1, int w1, int h1, Rgba c1);

// DefineBitsLossless(2) format 5 from 0xAARRGGBB pixels (premultiplied for version 2).
std::vector<uint8_t> losslessBody(uint16_t id, int version, int w, int h,
                                  const std::vector<uint32_t>& argb);
// Format 3: colour-mapped; table as 0xAARRGGBB, one index byte per pixel.
std::vector<uint8_t> losslessMappedBody(uint16_t id, int version, int w, int h,
                                        const std::vector<uint32_t>& table,
                                        const std::vector<uint8_t>& indices);
// Lossless with declared sizes and raw (already compressed or broken) data.
std::vector<uint8_t> losslessRawBody(uint16_t id, uint8_t format, int w, int h,
                                     const std::vector<uint8_t>& data);
std::vector<uint8_t> jpegBody(uint16_t id, const std::vector<uint8_t>& jpeg);  // JPEG2 / DefineBits
std::vector<uint8_t> jpeg3Body(uint16_t id, const std::vector<uint8_t>& jpeg,
                               const std::vector<uint8_t>& alpha);  // alpha: one byte a pixel

struct Glyph {
    uint16_t code;
    std::vector<std::pair<int, int>> outline;  // a closed polygon in EM units (y down)
    int advance;
    // When set, outline alternates anchors and the control points of the quadratic curves
    // between them, closing back to its first anchor.
    bool curved = false;
};
// DefineFont2 or 3 with layout (ascent/descent in EM units), or DefineFont (1) when
// version is 1 (codes then come from fontInfoBody).
std::vector<uint8_t> fontBody(uint16_t id, int version, const std::string& name,
                              const std::vector<Glyph>& glyphs, int ascent = 800,
                              int descent = 224);
std::vector<uint8_t> fontInfoBody(uint16_t fontId, const std::string& name,
                                  const std::vector<Glyph>& glyphs);

struct TextRun {
    uint16_t fontId;
    Rgba color;
    int x, y, height;
    std::vector<std::pair<uint32_t, int>> glyphs;  // index, advance (twips)
};
std::vector<uint8_t> textBody(uint16_t id, int version, int xMin, int xMax, int yMin, int yMax,
                              const std::vector<TextRun>& runs);

struct EditText {
    int xMin = 0, xMax = 2000, yMin = 0, yMax = 400;
    std::optional<uint16_t> fontId;
    int height = 240;
    std::optional<Rgba> color;
    std::string text;
    bool html = false, border = false, wordWrap = false, multiline = false, useOutlines = false;
    std::optional<uint8_t> align;  // writes the layout block when set
    int leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
};
std::vector<uint8_t> editTextBody(uint16_t id, const EditText& e);

struct ButtonRecord {
    uint8_t states;  // 1 up, 2 over, 4 down, 8 hit test
    uint16_t id;
    int depth;
    Matrix matrix;
};
std::vector<uint8_t> buttonBody(uint16_t id, int version, const std::vector<ButtonRecord>& recs);
std::vector<uint8_t> buttonCxformBody(uint16_t buttonId, const Cxform& c);

// FILTER records.
std::vector<uint8_t> blurFilter(double blurX, double blurY, int passes);
std::vector<uint8_t> dropShadowFilter(Rgba color, double blur, double angle, double distance,
                                      double strength, bool inner = false, bool knockout = false);
std::vector<uint8_t> glowFilter(Rgba color, double blur, double strength);
std::vector<uint8_t> colorMatrixFilter(const float (&m)[20]);
enum class BevelKind { Inner, Outer, Full };
std::vector<uint8_t> bevelFilter(Rgba shadow, Rgba highlight, double blur, double angle,
                                 double distance, double strength,
                                 BevelKind kind = BevelKind::Inner, bool knockout = false);
std::vector<uint8_t> convolutionFilter(int cols, int rows, const std::vector<float>& matrix,
                                       float divisor);

// A PlaceObject3 body placing id at depth with optional blend mode and filters.
std::vector<uint8_t> place3Body(int depth, uint16_t id, const Matrix& m,
                                std::optional<uint8_t> blendMode,
                                const std::vector<std::vector<uint8_t>>& filters = {},
                                std::optional<Cxform> cx = {});

}  // namespace swftest::media
