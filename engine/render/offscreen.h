#pragma once
// Drawing objects away from the stage, as BitmapData.draw does: in the object's own space,
// its placement on its parent left out.

#include <QTransform>

#include "engine/render/color.h"

class QPainter;

namespace swf {
class Movie;
struct DisplayObject;
struct DisplayList;
}  // namespace swf

namespace swf::render {

// world takes the object's twips to the painter's pixels; cx tints everything drawn.
void drawDetached(QPainter& p, const Movie& movie, const DisplayObject& o,
                  const QTransform& world, const ColorTx& cx, bool antialias);
void drawDetached(QPainter& p, const Movie& movie, const DisplayList& list,
                  const QTransform& world, const ColorTx& cx, bool antialias);

}  // namespace swf::render
