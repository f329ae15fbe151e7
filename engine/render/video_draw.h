#pragma once
// Drawing a placed video stream: the picture of the frame its ratio names, over the stream's
// declared size, smoothed when the stream asks for it, through the object's colour transform.

#include <cstdint>

class QImage;
class QRectF;
class QPainter;
class QTransform;

namespace swf {
class Movie;
struct DisplayObject;
}  // namespace swf

namespace swf::render {

struct ColorTx;

// False when id names no video stream of the movie (nothing drawn). Masks are the painter's
// clip, set by whoever draws the display list.
bool drawVideo(QPainter& painter, const Movie& movie, uint16_t id, int frame,
               const QTransform& world);
bool drawVideo(QPainter& painter, const Movie& movie, uint16_t id, int frame,
               const QTransform& world, const ColorTx& cx);

// The stream's declared picture in twips; empty when id names no video stream.
QRectF videoRect(const Movie& movie, uint16_t id);

// Where an attached picture (a script's bitmap, or a stream shown by a placed video) lies, in
// twips: a bitmap at 20 twips a pixel, a stream over the video's declared size.
QRectF attachedRect(const Movie& movie, const DisplayObject& o);

// img (premultiplied ARGB) with each channel multiplied and offset as cx says.
QImage colorTransformed(const QImage& img, const ColorTx& cx);

}  // namespace swf::render
