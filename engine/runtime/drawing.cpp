#include "engine/runtime/drawing.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace swf {
namespace {

std::atomic<uint64_t> nextVersion{1};

// Pixels to twips; NaN counts as 0 and far-off points are pulled in so the integer edges and
// the paths built from them stay finite.
int32_t twips(double px) {
    if (std::isnan(px)) return 0;
    return static_cast<int32_t>(std::lround(std::clamp(px * 20, -268435456.0, 268435456.0)));
}

}  // namespace

Drawing::Drawing(const Drawing& o)
    : shape_(o.shape_),
      bitmaps_(o.bitmaps_),
      fill_(o.fill_),
      line_(o.line_),
      pathOpen_(o.pathOpen_),
      pathHasLine_(o.pathHasLine_),
      penX_(o.penX_),
      penY_(o.penY_),
      startX_(o.startX_),
      startY_(o.startY_),
      commands_(o.commands_),
      minX_(o.minX_),
      minY_(o.minY_),
      maxX_(o.maxX_),
      maxY_(o.maxY_),
      sMinX_(o.sMinX_),
      sMinY_(o.sMinY_),
      sMaxX_(o.sMaxX_),
      sMaxY_(o.sMaxY_),
      hasBounds_(o.hasBounds_),
      version_(o.version_) {
    std::lock_guard lock(o.mutex_);
    geometry_ = o.geometry_;
}

bool Drawing::spend() {
    if (commands_ >= kMaxCommands) return false;
    ++commands_;
    return true;
}

void Drawing::touch() {
    version_ = nextVersion++;
    std::lock_guard lock(mutex_);
    geometry_.reset();
}

void Drawing::grow(double x, double y, double halfWidth) {
    if (!hasBounds_) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        sMinX_ = sMaxX_ = x;
        sMinY_ = sMaxY_ = y;
        hasBounds_ = true;
    }
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
    sMinX_ = std::min(sMinX_, x - halfWidth);
    sMaxX_ = std::max(sMaxX_, x + halfWidth);
    sMinY_ = std::min(sMinY_, y - halfWidth);
    sMaxY_ = std::max(sMaxY_, y + halfWidth);
}

void Drawing::addEdge(const format::Edge& e, bool withLine) {
    const bool lined = withLine && line_;
    if (!fill_ && !lined) return;
    const uint32_t group = shape_.groupCount - 1;
    if (!pathOpen_ || pathHasLine_ != lined || shape_.paths.empty() ||
        shape_.paths.back().group != group) {
        format::ShapePath p;
        p.fill1 = fill_;
        p.line = lined ? line_ : 0;
        p.group = group;
        shape_.paths.push_back(std::move(p));
        pathOpen_ = true;
        pathHasLine_ = lined;
    }
    shape_.paths.back().edges.push_back(e);
    ++shape_.edgeCount;
    const double half = lined ? shape_.lines[line_ - 1].width / 2.0 : 0;
    grow(e.x0, e.y0, half);
    grow(e.x1, e.y1, half);
    if (e.curve) {
        // The curve's furthest point along each axis, where it bulges past its ends.
        auto extreme = [](double a, double c, double b) -> std::optional<double> {
            const double d = a - 2 * c + b;
            if (d == 0) return std::nullopt;
            const double t = (a - c) / d;
            if (t <= 0 || t >= 1) return std::nullopt;
            return t;
        };
        auto at = [](double a, double c, double b, double t) {
            return (1 - t) * (1 - t) * a + 2 * (1 - t) * t * c + t * t * b;
        };
        if (auto t = extreme(e.x0, e.cx, e.x1))
            grow(at(e.x0, e.cx, e.x1, *t), at(e.y0, e.cy, e.y1, *t), half);
        if (auto t = extreme(e.y0, e.cy, e.y1))
            grow(at(e.x0, e.cx, e.x1, *t), at(e.y0, e.cy, e.y1, *t), half);
    }
    touch();
}

void Drawing::closeFill() {
    if (!fill_ || (penX_ == startX_ && penY_ == startY_)) return;
    // The fill closes itself back to where it started, stroked with the current line.
    addEdge({penX_, penY_, 0, 0, startX_, startY_, false}, true);
    penX_ = startX_;
    penY_ = startY_;
}

void Drawing::beginFill(const std::optional<format::FillStyle>& fill) {
    if (!spend()) return;
    closeFill();
    fill_ = 0;
    pathOpen_ = false;
    startX_ = penX_;
    startY_ = penY_;
    if (!fill) return;
    // A new fill draws above everything drawn before it, lines included.
    if (!shape_.paths.empty() && shape_.paths.back().group == shape_.groupCount - 1)
        ++shape_.groupCount;
    shape_.fills.push_back(*fill);
    fill_ = static_cast<uint32_t>(shape_.fills.size());
}

void Drawing::beginBitmapFill(std::shared_ptr<const BitmapSurface> bitmap, format::FillStyle fill) {
    // Ids are 16 bits: past that many bitmap fills the rest are ignored.
    if (!bitmap || commands_ >= kMaxCommands || bitmaps_.size() >= 65535) return;
    bitmaps_.push_back(std::move(bitmap));
    fill.bitmapId = static_cast<uint16_t>(bitmaps_.size());
    beginFill(fill);
}

void Drawing::endFill() {
    if (!spend()) return;
    closeFill();
    fill_ = 0;
    pathOpen_ = false;
}

void Drawing::lineStyle(const std::optional<format::LineStyle>& line) {
    if (!spend()) return;
    pathOpen_ = false;
    if (!line) {
        line_ = 0;
        return;
    }
    shape_.lines.push_back(*line);
    line_ = static_cast<uint32_t>(shape_.lines.size());
}

void Drawing::lineFill(const format::FillStyle& fill) {
    if (!spend() || !line_) return;
    format::LineStyle l = shape_.lines[line_ - 1];
    l.hasFill = true;
    l.fill = fill;
    shape_.lines.push_back(l);
    line_ = static_cast<uint32_t>(shape_.lines.size());
    pathOpen_ = false;
}

void Drawing::moveTo(double x, double y) {
    if (!spend()) return;
    closeFill();
    penX_ = startX_ = twips(x);
    penY_ = startY_ = twips(y);
}

void Drawing::lineTo(double x, double y) {
    if (!spend()) return;
    const int32_t tx = twips(x), ty = twips(y);
    addEdge({penX_, penY_, 0, 0, tx, ty, false}, true);
    penX_ = tx;
    penY_ = ty;
}

void Drawing::curveTo(double cx, double cy, double x, double y) {
    if (!spend()) return;
    const int32_t tx = twips(x), ty = twips(y);
    addEdge({penX_, penY_, twips(cx), twips(cy), tx, ty, true}, true);
    penX_ = tx;
    penY_ = ty;
}

QRectF Drawing::bounds(bool withStrokes) const {
    if (!hasBounds_) return {};
    QRectF r = withStrokes ? QRectF(QPointF(sMinX_, sMinY_), QPointF(sMaxX_, sMaxY_))
                           : QRectF(QPointF(minX_, minY_), QPointF(maxX_, maxY_));
    // A zero-area drawing (one straight line) still has bounds.
    if (r.isNull()) r.setWidth(1e-9);
    return r;
}

std::shared_ptr<const ShapeGeometry> Drawing::geometry() const {
    std::lock_guard lock(mutex_);
    if (!geometry_)
        geometry_ = std::make_shared<ShapeGeometry>(buildShapeGeometry(shape_));
    return geometry_;
}

}  // namespace swf
