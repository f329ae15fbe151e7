#pragma once
// What scripts draw into a clip with moveTo/lineTo/beginFill...: kept as the same shape
// records a DefineShape holds, so the renderer draws it like any other shape.

#include <QRectF>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/format/shape.h"
#include "engine/runtime/shape_geometry.h"
#include "engine/runtime/bitmap_surface.h"

namespace swf {

class Drawing {
public:
    // Scripts may loop forever adding segments; past this many commands the rest are ignored.
    static constexpr size_t kMaxCommands = 1'000'000;

    Drawing() = default;
    Drawing(const Drawing& o);
    Drawing& operator=(const Drawing&) = delete;

    // A fill (solid or gradient) from the pen on; nullopt ends the fill without a new one.
    void beginFill(const std::optional<format::FillStyle>& fill);
    // A fill with a script's bitmap: fill.bitmapId is set to the bitmap's place in bitmaps().
    void beginBitmapFill(std::shared_ptr<const BitmapSurface> bitmap, format::FillStyle fill);
    void endFill();
    // nullopt: segments drawn from now on have no line.
    void lineStyle(const std::optional<format::LineStyle>& line);
    // Paints the current line with a gradient; ignored without a current line.
    void lineFill(const format::FillStyle& fill);
    void moveTo(double x, double y);  // pixels, in the clip's space
    void lineTo(double x, double y);
    void curveTo(double cx, double cy, double x, double y);

    bool empty() const { return shape_.paths.empty(); }
    const format::Shape& shape() const { return shape_; }
    // The live bitmaps the shape's bitmap fills use; a fill's bitmapId is 1 + its index here.
    const std::vector<std::shared_ptr<const BitmapSurface>>& bitmaps() const { return bitmaps_; }
    // Twips; with strokes widened by half their width. Null when nothing is drawn.
    QRectF bounds(bool withStrokes) const;
    // Built on first use after a change; safe to ask from several threads.
    std::shared_ptr<const ShapeGeometry> geometry() const;
    // Changes on every edit, for caches that key on the drawing's content.
    uint64_t version() const { return version_; }

private:
    bool spend();
    void touch();
    void addEdge(const format::Edge& e, bool withLine);
    void closeFill();
    void grow(double x, double y, double halfWidth);

    format::Shape shape_;
    std::vector<std::shared_ptr<const BitmapSurface>> bitmaps_;
    uint32_t fill_ = 0, line_ = 0;  // current styles, 1-based into shape_
    bool pathOpen_ = false;         // the last ShapePath still takes edges of these styles
    bool pathHasLine_ = false;
    int32_t penX_ = 0, penY_ = 0, startX_ = 0, startY_ = 0;  // start: of the fill's contour
    size_t commands_ = 0;
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;      // edges
    double sMinX_ = 0, sMinY_ = 0, sMaxX_ = 0, sMaxY_ = 0;  // edges and strokes
    bool hasBounds_ = false;
    uint64_t version_ = 0;
    mutable std::mutex mutex_;
    mutable std::shared_ptr<const ShapeGeometry> geometry_;
};

}  // namespace swf
