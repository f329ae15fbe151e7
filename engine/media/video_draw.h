#pragma once
// Drawing a placed video stream: the picture of the frame its ratio names, over the stream's
// declared size, smoothed when the stream asks for it.

#include <cstdint>

class QPainter;
class QTransform;

namespace swf {
class Movie;
}

namespace swf::media {

// False when id names no video stream of the movie (nothing drawn).
bool drawVideo(QPainter& painter, const Movie& movie, uint16_t id, int frame,
               const QTransform& world);

}  // namespace swf::media
