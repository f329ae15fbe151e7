#include "engine/render/video_draw.h"

#include <QPainter>
#include <array>

#include "engine/media/movie_media.h"
#include "engine/render/color.h"
#include "engine/runtime/bitmap_surface.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::render {

QImage colorTransformed(const QImage& img, const ColorTx& cx) {
    if (cx.isIdentity() || img.isNull()) return img;
    // Each channel depends only on itself: one table per channel, as ColorTx::apply computes.
    std::array<std::array<uint8_t, 256>, 4> lut;
    const double mul[4] = {cx.mr, cx.mg, cx.mb, cx.ma};
    const double add[4] = {cx.ar, cx.ag, cx.ab, cx.aa};
    for (int c = 0; c < 4; ++c)
        for (int v = 0; v < 256; ++v) lut[c][v] = uint8_t(ColorTx::clamp8(v * mul[c] + add[c]));
    QImage out = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = row[x];
            row[x] = qRgba(lut[0][qRed(p)], lut[1][qGreen(p)], lut[2][qBlue(p)], lut[3][qAlpha(p)]);
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QRectF videoRect(const Movie& movie, uint16_t id) {
    const format::DefineVideoStream* def = media::mediaOf(movie).video(id);
    return def ? QRectF(0, 0, def->width * 20.0, def->height * 20.0) : QRectF();
}

QRectF attachedRect(const Movie& movie, const DisplayObject& o) {
    if (!o.bitmap) return {};
    if (!movie.character(o.characterId) && media::mediaOf(movie).hasVideo(o.characterId))
        return videoRect(movie, o.characterId);
    return QRectF(0, 0, o.bitmap->width * 20.0, o.bitmap->height * 20.0);
}

bool drawVideo(QPainter& painter, const Movie& movie, uint16_t id, int frame,
               const QTransform& world, const ColorTx& cx) {
    const media::MovieMedia& streams = media::mediaOf(movie);
    const format::DefineVideoStream* def = streams.video(id);
    if (!def) return false;
    const QImage img = colorTransformed(streams.videoFrame(id, frame), cx);
    if (img.isNull()) return true;
    painter.save();
    painter.setTransform(world);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, def->smoothing);
    // The stream's declared size in twips; a coded picture of another size is scaled to it.
    painter.drawImage(videoRect(movie, id), img);
    painter.restore();
    return true;
}

bool drawVideo(QPainter& painter, const Movie& movie, uint16_t id, int frame,
               const QTransform& world) {
    return drawVideo(painter, movie, id, frame, world, ColorTx{});
}

}  // namespace swf::render
