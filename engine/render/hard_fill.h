#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <vector>

namespace swf::render {

// The pixels a hard-edged (low quality) fill of path covers, as one-row spans ordered by
// row, then by x. path is in device pixels. A pixel is covered when its centre is inside;
// a centre exactly on a left or top edge counts as inside, one on a right or bottom edge
// does not, so shapes that share an edge never both take or both miss its pixels. Curves
// are followed to within a small fraction of a pixel. Only rows and columns inside bounds
// are produced.
std::vector<QRect> hardSpans(const QPainterPath& path, const QRect& bounds);

// path (in device pixels) with its quadratic curves cut into the straight pieces hard
// edges use, so a line drawn along it bends where a fill's edge would.
QPainterPath hardCenterline(const QPainterPath& path);

// Fills path, in the painter's current coordinates, with its brush and hard edges as
// hardSpans takes them, within limit (device pixels; the whole device when empty) and the
// painter's clip.
void fillHard(QPainter& p, const QPainterPath& path, QRect limit = {});

// Fills path as above, or smoothed when the painter smooths.
void fillPainterPath(QPainter& p, const QPainterPath& path);

}  // namespace swf::render
