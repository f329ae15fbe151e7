#include "engine/render/hard_fill.h"

#include <QLineF>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace swf::render {
namespace {

struct Line {
    double x0, y0;  // the upper end
    double dxdy;
    int first, end;  // rows whose centres it crosses: [first, end)
    int dir;         // +1 going down, -1 going up
};

struct Crossing {
    double x;
    int dir;
};

// A crossing this close to a pixel centre is on it: the arithmetic's error, not the shape.
constexpr double kTie = 1e-7;

// Ends of edges are held in 1/256 pixel, as the player holds them; this decides which
// pixel an edge passing within a hair of its centre takes.
constexpr double kEdgeGrid = 256;

// Halvings of a cubic (round joins and caps) before it is taken as straight.
constexpr int kMaxDepth = 12;

QPointF onGrid(QPointF p, double grid) {
    return QPointF(std::floor(p.x() * grid + 0.5) / grid, std::floor(p.y() * grid + 0.5) / grid);
}

bool finite(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// A quadratic curve is cut where its pieces share the allowed error evenly (R. Levien,
// "Flattening quadratic Beziers"): the curve is mapped onto the parabola y = x^2, on which
// the number of pieces a stretch needs grows with a closed-form integral, and the cuts fall
// at equal steps of that integral. Pieces are short where the curve bends and long where it
// runs straight, as the player cuts them.
double parabolaIntegral(double x) {
    constexpr double d = 0.67;
    return x / (1 - d + std::sqrt(std::sqrt(d * d * d * d + 0.25 * x * x)));
}

double parabolaInverseIntegral(double x) {
    constexpr double b = 0.39;
    return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
}

// Calls to(point) for the points a quadratic curve is cut at, its end last.
template <typename To>
void cutQuadratic(QPointF p0, QPointF q, QPointF p1, double tolerance, To&& to) {
    const QPointF d01 = q - p0, d12 = p1 - q, dd = d01 - d12, chord = p1 - p0;
    const double cross = chord.x() * dd.y() - chord.y() * dd.x();
    const double x0 = (d01.x() * dd.x() + d01.y() * dd.y()) / cross;
    const double x2 = (d12.x() * dd.x() + d12.y() * dd.y()) / cross;
    const double scale = std::abs(cross / (std::hypot(dd.x(), dd.y()) * (x2 - x0)));
    const double a0 = parabolaIntegral(x0), a2 = parabolaIntegral(x2);
    const double rootTol = std::sqrt(tolerance);
    double count = 0;
    if (std::isfinite(scale) && std::isfinite(a0) && std::isfinite(a2)) {
        const double span = std::abs(a2 - a0), rootScale = std::sqrt(scale);
        if (std::signbit(x0) == std::signbit(x2))
            count = span * rootScale;
        else  // the sharpest bend lies inside the curve
            count = rootTol * span / parabolaIntegral(rootTol / rootScale);
    }
    // A curve that strays no further than the tolerance from its chord is that chord; the
    // estimate above can ask for two pieces there.
    const double stray = std::abs(chord.x() * d01.y() - chord.y() * d01.x()) /
                         (2 * std::hypot(chord.x(), chord.y()));
    const double pieces = stray <= tolerance ? 1 : std::ceil(0.5 * count / rootTol);
    const int n = std::isfinite(pieces) ? int(std::clamp(pieces, 1.0, 1000.0)) : 1;
    const double u0 = parabolaInverseIntegral(a0), u2 = parabolaInverseIntegral(a2);
    for (int k = 1; k < n; ++k) {
        const double u = parabolaInverseIntegral(a0 + (a2 - a0) * k / n);
        const double t = (u - u0) / (u2 - u0), w = 1 - t;
        to(w * w * p0 + 2 * w * t * q + t * t * p1);
    }
    to(p1);
}

// The quadratic a cubic was raised from, if it was one.
std::optional<QPointF> raisedQuadratic(QPointF p0, QPointF c1, QPointF c2, QPointF p3) {
    const QPointF q1 = p0 + (c1 - p0) * 1.5, q2 = p3 + (c2 - p3) * 1.5;
    const double span = std::max({std::abs(p3.x() - p0.x()), std::abs(p3.y() - p0.y()), 1.0});
    if (std::abs(q1.x() - q2.x()) + std::abs(q1.y() - q2.y()) > 1e-9 * span) return std::nullopt;
    return (q1 + q2) / 2;
}

class Builder {
public:
    Builder(const QRect& bounds, double tolerance)
        : top_(bounds.top()), bottom_(bounds.bottom() + 1), tolerance_(tolerance) {}

    void line(QPointF a, QPointF b) {
        a = onGrid(a, kEdgeGrid);
        b = onGrid(b, kEdgeGrid);
        if (!finite(a) || !finite(b)) return;
        int dir = 1;
        if (a.y() > b.y()) {
            std::swap(a, b);
            dir = -1;
        }
        // Rows r with a.y <= r + 0.5 < b.y.
        const double f = std::ceil(a.y() - 0.5), e = std::ceil(b.y() - 0.5);
        if (e <= f || e <= top_ || f >= bottom_) return;
        Line l;
        l.x0 = a.x();
        l.y0 = a.y();
        l.dxdy = (b.x() - a.x()) / (b.y() - a.y());
        if (!std::isfinite(l.dxdy)) return;  // no crossing that is not a number to sort
        l.first = int(std::max(f, top_));
        l.end = int(std::min(e, bottom_));
        l.dir = dir;
        lines_.push_back(l);
    }

    // The path holds a shape's quadratic curves as cubics; those are cut by cutQuadratic,
    // within the tolerance of the curve. True cubics (the round joins and caps of outlined lines)
    // are halved until flat.
    void curve(QPointF p0, QPointF c1, QPointF c2, QPointF p3) {
        const auto q = raisedQuadratic(p0, c1, c2, p3);
        if (!q) {
            if (!roundArc(p0, c1, c2, p3)) cubic(p0, c1, c2, p3, 0);
            return;
        }
        QPointF prev = p0;
        cutQuadratic(p0, *q, p3, tolerance_, [&](QPointF at) {
            line(prev, at);
            prev = at;
        });
    }

    std::vector<Line>& lines() { return lines_; }

private:
    // A round join or cap comes as cubics that follow a circle; it is drawn the way a
    // circle is, in quadratic pieces of at most 45 degrees. False when c is not an arc.
    bool roundArc(QPointF p0, QPointF c1, QPointF c2, QPointF p3) {
        // The centre is where the normals at the two ends meet.
        const QPointF t0 = c1 - p0, t1 = p3 - c2;
        const QPointF n0(-t0.y(), t0.x()), n1(-t1.y(), t1.x());
        const double den = n0.x() * n1.y() - n0.y() * n1.x();
        if (std::abs(den) < 1e-12) return false;
        const QPointF d = p3 - p0;
        const QPointF c = p0 + (d.x() * n1.y() - d.y() * n1.x()) / den * n0;
        const double r = std::hypot(p0.x() - c.x(), p0.y() - c.y());
        if (!std::isfinite(r) || r == 0 ||
            std::abs(std::hypot(p3.x() - c.x(), p3.y() - c.y()) - r) > 1e-3 * std::max(r, 1.0))
            return false;
        const double a0 = std::atan2(p0.y() - c.y(), p0.x() - c.x());
        double sweep = std::atan2(p3.y() - c.y(), p3.x() - c.x()) - a0;
        const bool clockwise = (p0.x() - c.x()) * t0.y() - (p0.y() - c.y()) * t0.x() > 0;
        if (clockwise && sweep < 0) sweep += 2 * M_PI;
        if (!clockwise && sweep > 0) sweep -= 2 * M_PI;
        const int k = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 4) - 1e-6)));
        const double step = sweep / k, reach = r / std::cos(step / 2);
        QPointF prev = p0;
        for (int i = 0; i < k; ++i) {
            const double b1 = a0 + step * (i + 1), mid = b1 - step / 2;
            const QPointF q(c.x() + reach * std::cos(mid), c.y() + reach * std::sin(mid));
            const QPointF end =
                i == k - 1 ? p3 : QPointF(c.x() + r * std::cos(b1), c.y() + r * std::sin(b1));
            cutQuadratic(prev, q, end, tolerance_, [&](QPointF at) {
                line(prev, at);
                prev = at;
            });
        }
        return true;
    }

    void cubic(QPointF p0, QPointF p1, QPointF p2, QPointF p3, int depth) {
        // Flat enough when both control points lie within the tolerance of the chord.
        const QPointF d = p3 - p0;
        const double len = std::hypot(d.x(), d.y());
        auto off = [&](QPointF p) {
            const QPointF v = p - p0;
            if (len == 0) return std::hypot(v.x(), v.y());
            return std::abs(v.x() * d.y() - v.y() * d.x()) / len;
        };
        if (depth >= kMaxDepth || std::max(off(p1), off(p2)) <= tolerance_) {
            line(p0, p3);
            return;
        }
        const QPointF a = (p0 + p1) / 2, b = (p1 + p2) / 2, c = (p2 + p3) / 2;
        const QPointF ab = (a + b) / 2, bc = (b + c) / 2, m = (ab + bc) / 2;
        cubic(p0, a, ab, m, depth + 1);
        cubic(m, bc, c, p3, depth + 1);
    }

    double top_, bottom_, tolerance_;
    std::vector<Line> lines_;
};

}  // namespace

std::vector<QRect> hardSpans(const QPainterPath& path, const QRect& bounds, double tolerance) {
    std::vector<QRect> out;
    if (bounds.isEmpty() || path.isEmpty()) return out;
    if (!(tolerance > 0)) tolerance = kHardCurveTolerance;
    Builder build(bounds, tolerance);
    QPointF start, cur;
    bool open = false;
    for (int i = 0, n = path.elementCount(); i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF pt(e.x, e.y);
        if (e.isMoveTo()) {
            if (open) build.line(cur, start);
            start = cur = pt;
            open = true;
        } else if (e.isLineTo()) {
            build.line(cur, pt);
            cur = pt;
        } else if (e.isCurveTo() && i + 2 < n) {
            const QPointF c2(path.elementAt(i + 1).x, path.elementAt(i + 1).y);
            const QPointF end(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            build.curve(cur, pt, c2, end);
            cur = end;
            i += 2;
        }
    }
    if (open) build.line(cur, start);

    auto& lines = build.lines();
    if (lines.empty()) return out;
    std::sort(lines.begin(), lines.end(),
              [](const Line& a, const Line& b) { return a.first < b.first; });
    const bool winding = path.fillRule() == Qt::WindingFill;
    const int left = bounds.left(), right = bounds.right() + 1;
    std::vector<const Line*> active;
    std::vector<Crossing> xs;
    size_t next = 0;
    int row = lines.front().first;
    while (next < lines.size() || !active.empty()) {
        if (active.empty()) row = std::max(row, lines[next].first);
        while (next < lines.size() && lines[next].first <= row) active.push_back(&lines[next++]);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [row](const Line* l) { return l->end <= row; }),
                     active.end());
        if (active.empty()) continue;
        const double yc = row + 0.5;
        xs.clear();
        for (const Line* l : active) xs.push_back({l->x0 + (yc - l->y0) * l->dxdy, l->dir});
        std::sort(xs.begin(), xs.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        int count = 0;
        double from = 0;
        const size_t rowStart = out.size();
        for (const Crossing& c : xs) {
            const bool was = winding ? count != 0 : (count & 1) != 0;
            count += c.dir;
            const bool is = winding ? count != 0 : (count & 1) != 0;
            if (!was && is) {
                from = c.x;
            } else if (was && !is) {
                // Pixels px with from <= px + 0.5 < x.
                const double a = std::max<double>(std::ceil(from - 0.5 - kTie), left);
                const double b = std::min<double>(std::ceil(c.x - 0.5 - kTie), right);
                if (b > a) {
                    const int x0 = int(a), x1 = int(b);
                    if (out.size() > rowStart && out.back().right() + 1 == x0)
                        out.back().setRight(x1 - 1);
                    else
                        out.emplace_back(x0, row, x1 - x0, 1);
                }
            }
        }
        ++row;
    }
    return out;
}

QPainterPath hardCenterline(const QPainterPath& path) {
    QPainterPath out;
    out.setFillRule(path.fillRule());
    QPointF cur;
    for (int i = 0, n = path.elementCount(); i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF pt(e.x, e.y);
        if (e.isMoveTo()) {
            out.moveTo(pt);
        } else if (e.isCurveTo() && i + 2 < n) {
            const QPointF c2(path.elementAt(i + 1).x, path.elementAt(i + 1).y);
            const QPointF end(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            if (const auto q = raisedQuadratic(cur, pt, c2, end))
                cutQuadratic(cur, *q, end, kHardCurveTolerance,
                             [&](QPointF at) { out.lineTo(at); });
            else
                out.cubicTo(pt, c2, end);
            cur = end;
            i += 2;
            continue;
        } else {
            out.lineTo(pt);
        }
        cur = pt;
    }
    return out;
}

QPainterPath hardOutline(const QPainterPath& path, const QPen& pen) {
    QPainterPath out = QPainterPathStroker(pen).createStroke(path);
    // The points of the line, ordered by x, to tell the stroker's inside corners by.
    std::vector<QPointF> bends;
    bends.reserve(size_t(path.elementCount()));
    for (int i = 0, n = path.elementCount(); i < n; ++i)
        bends.emplace_back(path.elementAt(i).x, path.elementAt(i).y);
    std::sort(bends.begin(), bends.end(), [](QPointF a, QPointF b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    const double half = pen.widthF() / 2, near = 1e-6 * std::max(1.0, half);
    auto isBend = [&](QPointF p) {
        auto it = std::lower_bound(bends.begin(), bends.end(), p.x() - near,
                                   [](QPointF a, double x) { return a.x() < x; });
        for (; it != bends.end() && it->x() <= p.x() + near; ++it)
            if (std::abs(it->y() - p.y()) <= near) return true;
        return false;
    };
    auto at = [&](int i) { return QPointF(out.elementAt(i).x, out.elementAt(i).y); };
    auto isLine = [&](int i) { return out.elementAt(i).type == QPainterPath::LineToElement; };
    auto offBy = [&](QPointF a, QPointF b) {
        return std::abs(std::hypot(a.x() - b.x(), a.y() - b.y()) - half) <= 1e-3 * half;
    };
    // An inside corner comes out as: one edge's end, the bend's point, the next edge's
    // start, each half the width from the bend. When the two edges cross, they meet there.
    for (int i = 2, n = out.elementCount(); i + 2 < n; ++i) {
        if (!isLine(i - 1) || !isLine(i) || !isLine(i + 1) || !isLine(i + 2)) continue;
        const QPointF bend = at(i);
        if (!offBy(at(i - 1), bend) || !offBy(at(i + 1), bend) || !isBend(bend)) continue;
        QPointF cross;
        if (QLineF(at(i - 2), at(i - 1)).intersects(QLineF(at(i + 1), at(i + 2)), &cross) !=
            QLineF::BoundedIntersection)
            continue;
        for (int k = i - 1; k <= i + 1; ++k) out.setElementPositionAt(k, cross.x(), cross.y());
    }
    return out;
}

void fillHard(QPainter& p, const QPainterPath& path, QRect limit, double tolerance) {
    const QTransform t = p.transform();
    if (limit.isEmpty() && p.device())
        limit = QRect(0, 0, p.device()->width(), p.device()->height());
    // Only the rows and columns the painter may still touch are worked out.
    if (p.hasClipping()) limit &= t.mapRect(p.clipBoundingRect()).toAlignedRect();
    const auto spans = hardSpans(t.map(path), limit, tolerance);
    if (spans.empty()) return;
    p.save();
    QBrush brush = p.brush();
    if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush) {
        // The brush's pattern followed the painter's transform; keep it where it was.
        brush.setTransform(brush.transform() * t);
        p.setBrush(brush);
    }
    p.resetTransform();
    p.setPen(Qt::NoPen);
    p.drawRects(spans.data(), int(spans.size()));
    p.restore();
}

void fillPainterPath(QPainter& p, const QPainterPath& path, double tolerance) {
    if (p.testRenderHint(QPainter::Antialiasing))
        p.drawPath(path);
    else
        fillHard(p, path, {}, tolerance);
}

}  // namespace swf::render
