#pragma once
// The FILTERLIST of PlaceObject3 and DefineButton2 records.

#include <array>
#include <cstdint>
#include <vector>

#include "engine/format/bit_reader.h"
#include "engine/format/records.h"

namespace swf::format {

struct Filter {
    enum Type : uint8_t {
        DropShadow = 0,
        Blur = 1,
        Glow = 2,
        Bevel = 3,
        GradientGlow = 4,
        Convolution = 5,
        ColorMatrix = 6,
        GradientBevel = 7
    };
    uint8_t type = Blur;
    double blurX = 0, blurY = 0;  // pixels
    int passes = 1;               // quality 1-3 (more are clamped when drawn)
    Rgba color, highlight;        // shadow/glow colour; bevel: color = shadow
    double angle = 0, distance = 0, strength = 1;
    bool inner = false, knockout = false, compositeSource = true, onTop = false;
    std::vector<Rgba> gradientColors;
    std::vector<uint8_t> gradientRatios;
    // Convolution
    int matrixX = 0, matrixY = 0;
    float divisor = 1, bias = 0;
    std::vector<float> matrix;
    Rgba defaultColor;
    bool clamp = true, preserveAlpha = true;
    // ColorMatrix: 4 rows of 5 (r g b a offset)
    std::array<float, 20> colorMatrix{};
    bool operator==(const Filter&) const = default;
};

constexpr int kMaxFilters = 64;
// The largest convolution kernel side: files are held to what scripts may make.
constexpr int kMaxKernelSide = 15;

// Reads count filters; false when one is unknown (nothing after it can be located).
bool readFilters(BitReader& r, int count, std::vector<Filter>& out);

}  // namespace swf::format
