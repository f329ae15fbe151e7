#pragma once
// Draws a display list with QPainter.

#include <QColor>
#include <QRect>
#include <QTransform>

#include "engine/player.h"

class QPainter;

namespace swf {
class Movie;
struct DisplayList;
}  // namespace swf

namespace swf::render {

// Maps stage twips into viewport pixels the way the Flash Player's scale modes do; the stage
// is centred whenever it does not fill the viewport.
QTransform stageTransform(const MovieInfo& info, const QRectF& viewport, ScaleMode mode);

// Fills the viewport with bg, then draws list clipped to the viewport. antialias: the
// stage's quality (high draws smooth edges, low draws them hard, as Flash's low quality).
void renderStage(QPainter& painter, const QRect& viewport, ScaleMode mode, const QColor& bg,
                 const Movie& movie, const DisplayList& list, bool antialias = true);

}  // namespace swf::render
