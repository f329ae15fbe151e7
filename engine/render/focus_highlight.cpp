// The keyboard focus's yellow frame, drawn over everything on the stage.

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/runtime/basics.h"
#include "engine/render/renderer.h"

namespace swf::render {

namespace {
constexpr double kWidth = 3;  // pixels
constexpr double kFar = 1e7;  // pixels; keeps absurd bounds finite for the painter
}  // namespace

void drawFocusHighlight(QPainter& painter, const QRect& viewport, ScaleMode mode,
                        const MovieInfo& info, const QRectF& bounds) {
    // The frame lies inside the bounds rounded to whole stage pixels, three pixels wide.
    auto px = [](double twips) { return std::clamp(std::round(twips / 20), -kFar, kFar); };
    const double l = px(bounds.left()), t = px(bounds.top());
    const double r = px(bounds.right()), b = px(bounds.bottom());
    if (!(r > l && b > t)) return;
    painter.save();
    painter.setClipRect(viewport, Qt::IntersectClip);
    painter.setTransform(
        QTransform::fromScale(20, 20) * stageTransform(info, QRectF(viewport), mode), true);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    const QColor yellow(255, 255, 0);
    const double w = std::min(kWidth, r - l), h = std::min(kWidth, b - t);
    painter.fillRect(QRectF(l, t, r - l, h), yellow);
    painter.fillRect(QRectF(l, b - h, r - l, h), yellow);
    painter.fillRect(QRectF(l, t, w, b - t), yellow);
    painter.fillRect(QRectF(r - w, t, w, b - t), yellow);
    painter.restore();
}

}  // namespace swf::render
