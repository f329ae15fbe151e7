#pragma once
// Bitmap filters on an offscreen layer (premultiplied ARGB).

#include <QImage>
#include <QMargins>
#include <vector>

#include "engine/format/filter.h"

namespace swf::render {

// Room a filter needs around the object's pixels; scale is stage pixels to device pixels.
QMargins filterMargins(const std::vector<format::Filter>& filters, double scale);

// How far each filter's effect reaches past the object on each side, summed along the chain
// (blur times passes, a shadow's offset on its own side, a bevel's both ways); device pixels.
QMarginsF filterReach(const std::vector<format::Filter>& filters, double scale);

// Applies the filters in order; the image keeps its size (margins were added before).
void applyFilters(QImage& layer, const std::vector<format::Filter>& filters, double scale);

// Box blur, passes times (Flash's quality); radii in device pixels.
void boxBlur(QImage& img, double blurX, double blurY, int passes);

}  // namespace swf::render
