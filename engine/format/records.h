#pragma once
// The small records every tag shares: RECT, RGB/RGBA, MATRIX, CXFORM.

#include <cstdint>

#include "engine/format/bit_reader.h"

namespace swf::format {

struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // twips
};

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

// x' = sx*x + r1*y + tx ; y' = r0*x + sy*y + ty (twips)
struct Matrix {
    double sx = 1, r0 = 0, r1 = 0, sy = 1;
    int32_t tx = 0, ty = 0;
    bool operator==(const Matrix&) const = default;
};

// Multipliers in 8.8 fixed (256 = 1.0), applied before the adds.
struct Cxform {
    int16_t rm = 256, gm = 256, bm = 256, am = 256;
    int16_t ra = 0, ga = 0, ba = 0, aa = 0;
    bool operator==(const Cxform&) const = default;
    bool isIdentity() const { return *this == Cxform{}; }
    Rgba apply(Rgba c) const;
};

Rect readRect(BitReader& r);
Rgba readRgb(BitReader& r);
Rgba readRgba(BitReader& r);
Matrix readMatrix(BitReader& r);
Cxform readCxform(BitReader& r, bool withAlpha);

}  // namespace swf::format
