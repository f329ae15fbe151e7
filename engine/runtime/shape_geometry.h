#pragma once
// A shape's drawable form: one QPainterPath per fill style and per line style, in twips,
// built once when the movie loads and shared by every player.

#include <QPainterPath>
#include <cstdint>
#include <vector>

#include "engine/format/shape.h"

namespace swf {

struct ShapeGeometry {
    struct Fill {
        uint32_t style;  // 1-based into Shape::fills
        QPainterPath path;
    };
    struct Stroke {
        uint32_t style;  // 1-based into Shape::lines
        QPainterPath path;
    };
    // Style groups in drawing order; each draws its fills, then its strokes.
    struct Layer {
        std::vector<Fill> fills;
        std::vector<Stroke> strokes;
    };
    std::vector<Layer> layers;
};

// SWF edges carry the fill on either side; joins each fill's edges (fill0 edges reversed)
// into closed contours so holes and shared borders come out right.
ShapeGeometry buildShapeGeometry(const format::Shape& shape);

// Fills in what a path works out on first use (its bounds, the painter's form of it), so that
// threads drawing it at once only read it.
void settlePath(const QPainterPath& path);

}  // namespace swf
