#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRect>
#include <vector>

namespace swf::render {

// How far the middle of a straight piece of a hard edge may stray from its curve, in
// device pixels.
constexpr double kHardCurveTolerance = 0.1;

// The pixels a hard-edged (low quality) fill of path covers, as one-row spans ordered by
// row, then by x. path is in device pixels. A pixel is covered when its centre is inside;
// a centre exactly on a left or top edge counts as inside, one on a right or bottom edge
// does not, so shapes that share an edge never both take or both miss its pixels. Curves
// are followed to within tolerance (device pixels). Only rows and columns inside bounds
// are produced.
std::vector<QRect> hardSpans(const QPainterPath& path, const QRect& bounds,
                             double tolerance = kHardCurveTolerance);

// path (in device pixels) with its quadratic curves cut into the straight pieces hard
// edges use, so a line drawn along it bends where a fill's edge would.
QPainterPath hardCenterline(const QPainterPath& path);

// The area pen covers along path, as QPainterPathStroker outlines it, except that on the
// inside of a bend between two straight pieces the line's edges stop where they cross
// instead of running back to the bend's point: that point pokes a hair past the edge,
// enough to take a pixel centre the player leaves out.
QPainterPath hardOutline(const QPainterPath& path, const QPen& pen);

// Fills path, in the painter's current coordinates, with its brush and hard edges as
// hardSpans takes them, within limit (device pixels; the whole device when empty) and the
// painter's clip.
void fillHard(QPainter& p, const QPainterPath& path, QRect limit = {},
              double tolerance = kHardCurveTolerance);

// Fills path as above, or smoothed when the painter smooths.
void fillPainterPath(QPainter& p, const QPainterPath& path, double tolerance = kHardCurveTolerance);

}  // namespace swf::render
