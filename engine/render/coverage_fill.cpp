#include "engine/render/coverage_fill.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace swf::render {

namespace {

// Signed covered areas of one fill, a row of cells per pixel row with two spare cells on the
// right; a row's running sum is each pixel's winding weighted by its covered area.
struct Cells {
    int width = 0, height = 0;
    std::vector<float> a;
    float* row(int y) { return a.data() + size_t(y) * size_t(width + 2); }

    // Adds the edge from (x0, y0) to (x1, y1), both x within [0, width].
    void line(double x0, double y0, double x1, double y1) {
        if (y0 == y1) return;
        const float dir = y0 < y1 ? 1.f : -1.f;
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const double dxdy = (x1 - x0) / (y1 - y0);
        const int top = std::max(0, int(std::floor(y0)));
        const int end = std::min(height, int(std::ceil(y1)));
        double x = x0 + (std::max(y0, double(top)) - y0) * dxdy;
        for (int y = top; y < end; ++y) {
            const double dy = std::min(double(y + 1), y1) - std::max(double(y), y0);
            const double xnext = std::clamp(x + dxdy * dy, 0.0, double(width));
            const float d = float(dy) * dir;
            const double lo = std::min(x, xnext), hi = std::max(x, xnext);
            const double loFloor = std::floor(lo);
            const int l = int(loFloor), h = int(std::ceil(hi));
            float* cells = row(y);
            if (h <= l + 1) {
                // Within one pixel column: the part right of the edge's middle is covered.
                const float mid = float(0.5 * (x + xnext) - loFloor);
                cells[l] += d - d * mid;
                cells[l + 1] += d * mid;
            } else {
                // Across columns: a triangle in the first, a trapezoid in each middle one
                // and the rest in the last.
                const float s = float(1.0 / (hi - lo));
                const float lf = float(lo - loFloor);
                const float first = 0.5f * s * (1 - lf) * (1 - lf);
                const float hf = float(hi - h + 1);
                const float last = 0.5f * s * hf * hf;
                cells[l] += d * first;
                if (h == l + 2) {
                    cells[l + 1] += d * (1 - first - last);
                } else {
                    const float second = s * (1.5f - lf);
                    cells[l + 1] += d * (second - first);
                    for (int k = l + 2; k < h - 1; ++k) cells[k] += d * s;
                    const float before = second + float(h - l - 3) * s;
                    cells[h - 1] += d * (1 - before - last);
                }
                cells[h] += d * last;
            }
            x = xnext;
        }
    }

    // The edge, cut to the rows [0, height] and where it leaves [0, width] across: outside,
    // it runs along the side it left by, so what lies left of the box still counts in the
    // running sums.
    void clippedLine(double x0, double y0, double x1, double y1) {
        const double h = height;
        if ((y0 <= 0 && y1 <= 0) || (y0 >= h && y1 >= h)) return;
        if (y0 != y1) {
            const auto at = [&](double y) { return x0 + (x1 - x0) * (y - y0) / (y1 - y0); };
            const double top = std::clamp(y0, 0.0, h), bottom = std::clamp(y1, 0.0, h);
            const double nx0 = at(top), nx1 = at(bottom);
            x0 = nx0, y0 = top, x1 = nx1, y1 = bottom;
        }
        const double w = width;
        double cuts[4] = {0, 1, 1, 1};
        int n = 1;
        for (double edge : {0.0, w})
            if ((x0 < edge) != (x1 < edge) && x0 != x1) {
                const double t = (edge - x0) / (x1 - x0);
                if (t > 0 && t < 1) cuts[n++] = t;
            }
        std::sort(cuts + 1, cuts + n);
        cuts[n] = 1;
        for (int k = 0; k < n; ++k) {
            const double ta = cuts[k], tb = cuts[k + 1];
            const double ax = x0 + (x1 - x0) * ta, ay = y0 + (y1 - y0) * ta;
            const double bx = x0 + (x1 - x0) * tb, by = y0 + (y1 - y0) * tb;
            line(std::clamp(ax, 0.0, w), ay, std::clamp(bx, 0.0, w), by);
        }
    }
};

// The painter's byte multiply of a premultiplied colour by a coverage.
inline uint32_t byteMul(uint32_t x, uint32_t a) {
    uint32_t t = (x & 0xff00ff) * a;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return x | t;
}

}  // namespace

bool fillCoverage(QImage& dst, const QPainterPath& path, const QRect& clip, QRgb colour) {
    if (dst.format() != QImage::Format_ARGB32_Premultiplied) return false;
    const QList<QPolygonF> polygons = path.toSubpathPolygons();
    // Far or broken points (a hostile file's) are left to the painter.
    for (const QPolygonF& poly : polygons)
        for (const QPointF& at : poly)
            if (!std::isfinite(at.x()) || !std::isfinite(at.y()) || std::abs(at.x()) > 1e7 ||
                std::abs(at.y()) > 1e7)
                return false;
    const QRect box = path.controlPointRect().toAlignedRect() & clip & dst.rect();
    if (box.isEmpty()) return true;
    thread_local Cells cells;
    cells.width = box.width();
    cells.height = box.height();
    cells.a.assign(size_t(box.width() + 2) * size_t(box.height()), 0.f);
    for (const QPolygonF& poly : polygons) {
        const qsizetype n = poly.size();
        for (qsizetype k = 0; k < n; ++k) {
            // Every subpath is closed, as a fill closes it.
            const QPointF a = poly[k], b = poly[(k + 1) % n];
            cells.clippedLine(a.x() - box.left(), a.y() - box.top(), b.x() - box.left(),
                              b.y() - box.top());
        }
    }
    const bool winding = path.fillRule() == Qt::WindingFill;
    const uint32_t alpha = qAlpha(colour);
    for (int y = 0; y < box.height(); ++y) {
        float* c = cells.row(y);
        auto* out = reinterpret_cast<uint32_t*>(dst.scanLine(box.top() + y)) + box.left();
        float sum = 0;
        for (int x = 0; x < box.width(); ++x) {
            sum += c[x];
            float v = std::abs(sum);
            if (winding) {
                v = std::min(v, 1.f);
            } else {
                v -= 2 * std::floor(v / 2);
                if (v > 1) v = 2 - v;
            }
            // In 256ths of a pixel cut down, the full pixel taken as 255, as the painter does.
            const uint32_t cover = std::min(255u, uint32_t(v * 256));
            if (cover == 0) continue;
            if (cover == 255 && alpha == 255) {
                out[x] = colour;
                continue;
            }
            const uint32_t src = cover == 255 ? colour : byteMul(colour, cover);
            out[x] = src + byteMul(out[x], 255 - qAlpha(src));
        }
    }
    return true;
}

}  // namespace swf::render
