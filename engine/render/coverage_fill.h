#pragma once
// Smoothed solid fills of detailed outlines by exact area coverage. The painter keeps each
// scanline's crossings in a sorted list, so an outline that crosses a row hundreds of times
// (a ragged star, a scribble, a map's coast) costs it the square of that; summing signed
// areas costs the edges' length plus the pixels.

#include <QImage>
#include <QPainterPath>
#include <QRect>
#include <QRgb>

namespace swf::render {

// Outlines with at least this many elements are worth filling here.
constexpr int kCoverageFillElements = 128;

// Fills path (device pixels, its own fill rule) over dst within clip with colour
// (premultiplied), blended source-over by each pixel's covered area as the painter's smoothed
// fill blends it. False, with nothing drawn, when dst is not a premultiplied ARGB32 image or
// the path has points that are not finite or lie millions of pixels away.
bool fillCoverage(QImage& dst, const QPainterPath& path, const QRect& clip, QRgb colour);

}  // namespace swf::render
