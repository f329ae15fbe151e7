#pragma once
// DefineMorphShape 1-2: a start and an end shape with paired styles and paired edges.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/format/shape.h"

namespace swf::format {

struct MorphShape {
    uint16_t id = 0;
    int version = 1;
    Rect startBounds, endBounds;
    // start.fills/lines hold the start styles; endFills/endLines the matching end styles.
    Shape start;
    std::vector<FillStyle> endFills;
    std::vector<LineStyle> endLines;
    std::vector<Edge> endEdges;  // in record order, one per start edge (fewer when cut)
};

MorphShape parseDefineMorphShape(std::span<const uint8_t> body, int version,
                                 const ShapeLimits& limits = {});

// The shape at ratio t (0 = start, 1 = end), with styles and edges blended.
Shape interpolateMorph(const MorphShape& m, double t);

}  // namespace swf::format
