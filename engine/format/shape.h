#pragma once
// DefineShape 1-4: fill and line styles and the edge records, flattened to absolute edges.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/format/bit_reader.h"
#include "engine/format/records.h"

namespace swf::format {

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
};

struct Gradient {
    uint8_t spread = 0;         // 0 pad, 1 reflect, 2 repeat
    uint8_t interpolation = 0;  // 0 normal RGB, 1 linear RGB
    std::vector<GradientStop> stops;
    double focalPoint = 0;  // focal radial gradients only, -1..1
};

struct FillStyle {
    enum Type : uint8_t {
        Solid = 0x00,
        LinearGradient = 0x10,
        RadialGradient = 0x12,
        FocalGradient = 0x13,
        RepeatingBitmap = 0x40,
        ClippedBitmap = 0x41,
        NonSmoothedRepeatingBitmap = 0x42,
        NonSmoothedClippedBitmap = 0x43,
    };
    uint8_t type = Solid;
    Rgba color;     // solid fills
    Matrix matrix;  // gradient or bitmap space
    Gradient gradient;
    uint16_t bitmapId = 0;

    bool isGradient() const { return type >= 0x10 && type <= 0x13; }
    bool isBitmap() const { return type >= 0x40 && type <= 0x43; }
};

struct LineStyle {
    enum Cap : uint8_t { RoundCap = 0, NoCap = 1, SquareCap = 2 };
    enum Join : uint8_t { RoundJoin = 0, BevelJoin = 1, MiterJoin = 2 };
    uint16_t width = 0;  // twips
    Rgba color;
    uint8_t startCap = RoundCap, endCap = RoundCap, join = RoundJoin;
    double miterLimit = 3;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    bool hasFill = false;
    FillStyle fill;
};

struct Edge {
    int32_t x0, y0;  // start
    int32_t cx, cy;  // control point (curves only)
    int32_t x1, y1;  // end
    bool curve;
};

// A run of edges drawn with one set of styles. Style indices are 1-based into the shape's
// whole fills/lines arrays (0 = none), already offset for later style groups.
struct ShapePath {
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    uint32_t group = 0;  // style group: a new-styles record starts a new one, drawn above
    std::vector<Edge> edges;
};

struct Shape {
    uint16_t id = 0;
    int version = 1;  // DefineShape N
    Rect bounds;
    Rect edgeBounds;
    bool windingRule = false;  // DefineShape4 UsesFillWindingRule
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    uint32_t groupCount = 1;
    std::vector<ShapePath> paths;
    size_t edgeCount = 0;
    bool truncated = false;  // the record stream was cut (bad data or a limit)
};

struct ShapeLimits {
    size_t maxEdges = 1u << 20;    // per shape
    size_t maxRecords = 4u << 20;  // style changes included
    uint32_t maxStyleGroups = 4096;
    size_t maxStyles = 1u << 20;  // fill and line styles together
};

// Reads the whole DefineShapeN tag body. Never reads outside it; a cut stream keeps what was
// read before the cut and sets truncated.
Shape parseDefineShape(std::span<const uint8_t> body, int version, const ShapeLimits& limits = {});

// The pieces, for tags that embed them (morph shapes, fonts).
FillStyle readFillStyle(BitReader& r, int shapeVersion);
LineStyle readLineStyle(BitReader& r, int shapeVersion);
Gradient readGradient(BitReader& r, int shapeVersion, bool focal);
// The SHAPE record from its fill/line bit counts on, into s's paths (styles already in s).
void readShapeRecords(BitReader& r, Shape& s, const ShapeLimits& limits);
// A font glyph: a SHAPE without styles; its edges fill with style 1.
Shape parseGlyphShape(std::span<const uint8_t> data, const ShapeLimits& limits = {});

}  // namespace swf::format
