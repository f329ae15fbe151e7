#include "engine/media/video_draw.h"

#include <QPainter>

#include "engine/media/movie_media.h"

namespace swf::media {

bool drawVideo(QPainter& painter, const Movie& movie, uint16_t id, int frame,
               const QTransform& world) {
    const MovieMedia& media = mediaOf(movie);
    const format::DefineVideoStream* def = media.video(id);
    if (!def) return false;
    const QImage img = media.videoFrame(id, frame);
    if (img.isNull()) return true;
    painter.save();
    painter.setTransform(world);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, def->smoothing);
    // The stream's declared size in twips; a coded picture of another size is scaled to it.
    painter.drawImage(QRectF(0, 0, def->width * 20.0, def->height * 20.0), img);
    painter.restore();
    return true;
}

}  // namespace swf::media
