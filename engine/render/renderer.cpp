#include "engine/render/renderer.h"

#include <QBrush>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::render {
namespace {

QTransform toQt(const format::Matrix& m) { return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty); }

QColor toQt(format::Rgba c, const format::Cxform& cx) {
    const format::Rgba t = cx.apply(c);
    return QColor(t.r, t.g, t.b, t.a);
}

// Gradients live in a 32768-twip square centred on the origin, placed by their matrix.
QBrush gradientBrush(const format::FillStyle& f, const format::Cxform& cx) {
    QGradient g;
    if (f.type == format::FillStyle::LinearGradient) {
        g = QLinearGradient(-16384, 0, 16384, 0);
    } else {
        g = QRadialGradient(QPointF(0, 0), 16384, QPointF(f.gradient.focalPoint * 16384, 0));
    }
    g.setSpread(f.gradient.spread == 1   ? QGradient::ReflectSpread
                : f.gradient.spread == 2 ? QGradient::RepeatSpread
                                         : QGradient::PadSpread);
    QGradientStops stops;
    for (const auto& s : f.gradient.stops) {
        const double at = s.ratio / 255.0;
        if (!stops.isEmpty() && at <= stops.back().first)
            stops.append({std::min(1.0, stops.back().first + 1e-6), toQt(s.color, cx)});
        else
            stops.append({at, toQt(s.color, cx)});
    }
    g.setStops(stops);
    QBrush b(g);
    b.setTransform(toQt(f.matrix));
    return b;
}

// nullopt: nothing to draw with (bitmap fills until bitmaps arrive, unknown types).
std::optional<QBrush> fillBrush(const format::FillStyle& f, const format::Cxform& cx) {
    if (f.type == format::FillStyle::Solid) return QBrush(toQt(f.color, cx));
    if (f.isGradient() && !f.gradient.stops.empty()) return gradientBrush(f, cx);
    return std::nullopt;
}

QPen strokePen(const format::LineStyle& l, const format::Cxform& cx, double deviceScale) {
    QBrush brush(toQt(l.color, cx));
    if (l.hasFill) {
        if (auto b = fillBrush(l.fill, cx)) brush = *b;
    }
    QPen pen(brush, l.width);
    // Flash never draws a line thinner than one device pixel.
    if (l.width * deviceScale < 1.0) {
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    }
    switch (l.startCap) {
        case format::LineStyle::NoCap:
            pen.setCapStyle(Qt::FlatCap);
            break;
        case format::LineStyle::SquareCap:
            pen.setCapStyle(Qt::SquareCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (l.join) {
        case format::LineStyle::BevelJoin:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case format::LineStyle::MiterJoin:
            pen.setJoinStyle(Qt::MiterJoin);
            pen.setMiterLimit(std::max(1.0, l.miterLimit));
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
    }
    return pen;
}

void drawShape(QPainter& p, const ShapeCharacter::Built& sc, const QTransform& world,
               const format::Cxform& cx) {
    p.setTransform(world);
    const double deviceScale = std::sqrt(std::abs(world.determinant()));
    for (const auto& layer : sc.geometry.layers) {
        p.setPen(Qt::NoPen);
        for (const auto& f : layer.fills) {
            if (auto brush = fillBrush(sc.shape.fills[f.style - 1], cx)) {
                p.setBrush(*brush);
                p.drawPath(f.path);
            }
        }
        p.setBrush(Qt::NoBrush);
        for (const auto& s : layer.strokes) {
            p.setPen(strokePen(sc.shape.lines[s.style - 1], cx, deviceScale));
            p.drawPath(s.path);
        }
    }
}

// The area a mask object covers, in device coordinates.
QPainterPath maskArea(const Character& ch, const QTransform& world) {
    QPainterPath area;
    if (const auto* sc = std::get_if<ShapeCharacter>(&ch)) {
        for (const auto& layer : sc->get().geometry.layers)
            for (const auto& f : layer.fills) area.addPath(world.map(f.path));
    }
    area.setFillRule(Qt::WindingFill);
    return area;
}

struct ActiveMask {
    int upTo;  // last depth it covers
    QPainterPath area;
};

}  // namespace

QTransform stageTransform(const MovieInfo& info, const QRectF& vp, ScaleMode mode) {
    const double sw = std::max(1, info.stageXMax - info.stageXMin) / 20.0;
    const double sh = std::max(1, info.stageYMax - info.stageYMin) / 20.0;
    double sx = 1, sy = 1;
    switch (mode) {
        case ScaleMode::ExactFit:
            sx = vp.width() / sw;
            sy = vp.height() / sh;
            break;
        case ScaleMode::ShowAll:
            sx = sy = std::min(vp.width() / sw, vp.height() / sh);
            break;
        case ScaleMode::NoBorder:
            sx = sy = std::max(vp.width() / sw, vp.height() / sh);
            break;
        case ScaleMode::NoScale:
            break;
    }
    const double ox = vp.x() + (vp.width() - sw * sx) / 2;
    const double oy = vp.y() + (vp.height() - sh * sy) / 2;
    QTransform t;
    t.translate(ox, oy);
    t.scale(sx / 20.0, sy / 20.0);
    t.translate(-info.stageXMin, -info.stageYMin);
    return t;
}

void renderStage(QPainter& p, const QRect& viewport, ScaleMode mode, const QColor& bg,
                 const Movie& movie, const DisplayList& list) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.setClipRect(viewport);
    p.fillRect(viewport, bg);
    const QTransform base = stageTransform(movie.info, QRectF(viewport), mode);

    std::vector<ActiveMask> masks;
    bool clipped = false;
    for (const auto& [depth, obj] : list.objects) {
        const Character* ch = movie.character(obj.characterId);
        if (!ch) continue;
        const QTransform world = toQt(obj.matrix) * base;
        const size_t before = masks.size();
        std::erase_if(masks, [d = depth](const ActiveMask& m) { return m.upTo < d; });
        if (obj.clipDepth > 0) {
            masks.push_back({obj.clipDepth, maskArea(*ch, world)});
            clipped = true;  // forces the clip to be recomputed for the next object
            continue;
        }
        if (masks.size() != before || clipped) {
            p.resetTransform();
            p.setClipRect(viewport);
            for (const auto& m : masks) p.setClipPath(m.area, Qt::IntersectClip);
            clipped = false;
        }
        if (!obj.visible) continue;
        if (const auto* sc = std::get_if<ShapeCharacter>(ch))
            drawShape(p, sc->get(), world, obj.cxform);
    }
    p.restore();
}

}  // namespace swf::render
