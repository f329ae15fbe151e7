#include "engine/render/hard_fill.h"

#include <gtest/gtest.h>

#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

using swf::render::hardSpans;

namespace {

const QRect kBounds(0, 0, 200, 200);

std::set<std::pair<int, int>> pixels(const QPainterPath& path, const QRect& bounds = kBounds) {
    std::set<std::pair<int, int>> out;
    for (const QRect& r : hardSpans(path, bounds))
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) out.insert({x, y});
    return out;
}

QPainterPath polygon(std::initializer_list<QPointF> pts) {
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(pts)));
    p.closeSubpath();
    return p;
}

}  // namespace

TEST(HardFill, CentresOnLeftAndTopEdgesCountButHairsBesideThemDecide) {
    // A square from 10.5 to 20.5: its left and top edges run through centres and take them;
    // its right and bottom edges do not.
    auto sq = pixels(polygon({{10.5, 10.5}, {20.5, 10.5}, {20.5, 20.5}, {10.5, 20.5}}));
    EXPECT_EQ(sq.size(), 100u);
    EXPECT_TRUE(sq.count({10, 10}));
    EXPECT_FALSE(sq.count({20, 15}));
    EXPECT_FALSE(sq.count({15, 20}));
    // Edges a hundredth of a pixel past a centre leave it out; a hundredth before, take it.
    auto past = pixels(polygon({{10.51, 10.51}, {20.49, 10.51}, {20.49, 20.49}, {10.51, 20.49}}));
    EXPECT_FALSE(past.count({10, 15}));
    EXPECT_FALSE(past.count({15, 10}));
    EXPECT_TRUE(past.count({19, 19}));
    EXPECT_EQ(past.size(), 81u);
    auto before = pixels(polygon({{10.49, 10.49}, {20.51, 10.49}, {20.51, 20.51}, {10.49, 20.51}}));
    EXPECT_EQ(before.size(), 121u);
}

TEST(HardFill, ShapesMeetingAlongAnEdgeShareEveryPixelOnce) {
    // Two triangles split a square along slanted edges of awkward slope: each pixel of the
    // square is taken by exactly one of them, whatever the slope.
    for (double top : {3.3, 17.15, 50.5, 77.77}) {
        SCOPED_TRACE(top);
        const QPointF a(top, 5.25), b(120.4, 5.25), c(120.4, 140.6), d(5.1, 140.6);
        auto left = pixels(polygon({a, c, d}));
        auto right = pixels(polygon({a, b, c}));
        auto whole = pixels(polygon({a, b, c, d}));
        for (const auto& px : left) EXPECT_FALSE(right.count(px)) << px.first << "," << px.second;
        EXPECT_EQ(left.size() + right.size(), whole.size());
    }
}

TEST(HardFill, CurvesFollowTheirShapeAndFillRulesHold) {
    // A circle of radius 40 from eight quadratic curves, the way shapes store one.
    const QPointF c(100, 100);
    const double r = 40;
    QPainterPath circle;
    circle.moveTo(c.x() + r, c.y());
    for (int i = 1; i <= 8; ++i) {
        const double a0 = (i - 1) * M_PI / 4, a1 = i * M_PI / 4, m = (a0 + a1) / 2;
        const double k = r / std::cos(M_PI / 8);
        circle.quadTo(c.x() + k * std::cos(m), c.y() + k * std::sin(m), c.x() + r * std::cos(a1),
                      c.y() + r * std::sin(a1));
    }
    circle.closeSubpath();
    const auto disc = pixels(circle);
    EXPECT_NEAR(double(disc.size()), M_PI * r * r, M_PI * r * r * 0.01);
    for (int y = 55; y < 145; ++y)
        for (int x = 55; x < 145; ++x) {
            const double d = std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y());
            if (d < r - 0.3) {
                EXPECT_TRUE(disc.count({x, y})) << x << "," << y;
            }
            if (d > r + 0.3) {
                EXPECT_FALSE(disc.count({x, y})) << x << "," << y;
            }
        }

    // Two overlapping squares drawn the same way round: winding fills the overlap,
    // even-odd leaves it empty.
    QPainterPath two = polygon({{10, 10}, {50, 10}, {50, 50}, {10, 50}});
    two.addPath(polygon({{30, 30}, {70, 30}, {70, 70}, {30, 70}}));
    two.setFillRule(Qt::WindingFill);
    EXPECT_TRUE(pixels(two).count({40, 40}));
    EXPECT_EQ(pixels(two).size(), 1600u + 1600u - 400u);
    two.setFillRule(Qt::OddEvenFill);
    EXPECT_FALSE(pixels(two).count({40, 40}));
    EXPECT_EQ(pixels(two).size(), 1600u + 1600u - 800u);
}

TEST(HardFill, CurvesAreCutAsFinelyAsTheirBendNeeds) {
    // A long curve that turns sharply near its end: the cut keeps every part of the curve
    // within a tenth of a pixel of its pieces, with short pieces in the bend and long ones
    // where it runs straight.
    const QPointF p0(0, 0), q(190, 5), p1(200, 60);
    QPainterPath hook;
    hook.moveTo(p0);
    hook.quadTo(q, p1);
    const QPainterPath cut = swf::render::hardCenterline(hook);
    std::vector<QPointF> pts;
    for (int i = 0; i < cut.elementCount(); ++i) {
        ASSERT_FALSE(cut.elementAt(i).isCurveTo());
        pts.emplace_back(cut.elementAt(i).x, cut.elementAt(i).y);
    }
    ASSERT_GE(pts.size(), 4u);
    EXPECT_EQ(pts.front(), p0);
    EXPECT_EQ(pts.back(), p1);
    auto length = [&](size_t i) {
        return std::hypot(pts[i + 1].x() - pts[i].x(), pts[i + 1].y() - pts[i].y());
    };
    EXPECT_GT(length(0), 4 * length(pts.size() - 3));
    for (int k = 0; k <= 2000; ++k) {
        const double t = k / 2000.0, u = 1 - t;
        const QPointF c = u * u * p0 + 2 * u * t * q + t * t * p1;
        double nearest = std::numeric_limits<double>::infinity();
        for (size_t i = 0; i + 1 < pts.size(); ++i) {
            const QPointF d = pts[i + 1] - pts[i], e = c - pts[i];
            const double along = std::clamp(
                (e.x() * d.x() + e.y() * d.y()) / (d.x() * d.x() + d.y() * d.y()), 0.0, 1.0);
            nearest = std::min(nearest, std::hypot(e.x() - along * d.x(), e.y() - along * d.y()));
        }
        EXPECT_LT(nearest, 0.11) << t;
    }

    // A curve that strays under a tenth of a pixel from its chord is that chord.
    QPainterPath slight;
    slight.moveTo(387.75, 301.25);
    slight.quadTo(385.7, 290.05, 385.25, 288.75);  // strays 0.093 px
    EXPECT_EQ(swf::render::hardCenterline(slight).elementCount(), 2);

    // A long arc with its control point mid-way is cut finely enough that every centre more
    // than 0.13 px inside it is covered, and none outside it.
    const QPointF a0(20, 60), aq(100, -10), a1(180, 60);
    QPainterPath arc;
    arc.moveTo(a0);
    arc.quadTo(aq, a1);
    arc.closeSubpath();
    const auto cap = pixels(arc);
    // The curve's height over x (its x runs evenly with its parameter here).
    auto curveY = [&](double x) {
        const double t = (x - a0.x()) / (a1.x() - a0.x()), u = 1 - t;
        return u * u * a0.y() + 2 * u * t * aq.y() + t * t * a1.y();
    };
    int covered = 0;
    for (int y = 20; y < 59; ++y)
        for (int x = 25; x < 175; ++x) {
            const double below = y + 0.5 - curveY(x + 0.5);
            if (below > 0.13) {
                EXPECT_TRUE(cap.count({x, y})) << x << "," << y;
                ++covered;
            }
            if (below < -0.05) {
                EXPECT_FALSE(cap.count({x, y})) << x << "," << y;
            }
        }
    EXPECT_GT(covered, 2000);
}

TEST(HardFill, OnlyTheBoundsAreCoveredWhateverThePathHolds) {
    // Huge, infinite and missing coordinates from a broken file: nothing outside the bounds,
    // nothing for points that are not numbers.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QRect bounds(5, 5, 20, 10);
    auto huge =
        pixels(polygon({{-1e12, -1e12}, {1e12, -1e12}, {1e12, 1e12}, {-1e12, 1e12}}), bounds);
    EXPECT_EQ(huge.size(), 200u);
    for (const auto& [x, y] : huge) EXPECT_TRUE(bounds.contains(x, y));
    EXPECT_TRUE(pixels(polygon({{0, 0}, {inf, 0}, {inf, inf}}), bounds).size() <= 200u);
    EXPECT_TRUE(pixels(polygon({{nan, 0}, {10, nan}, {nan, nan}}), bounds).empty());
    // An edge so steep in x that its slope overflows, starting right on a row's centre.
    EXPECT_LE(pixels(polygon({{-1e307, 10.5}, {1e307, 10.51}, {0, 12}}), bounds).size(), 200u);
    QPainterPath curve;
    curve.moveTo(0, 0);
    curve.quadTo(1e300, -1e300, 20, 20);
    curve.closeSubpath();
    EXPECT_LE(pixels(curve, bounds).size(), 200u);
    EXPECT_TRUE(hardSpans(polygon({{0, 0}, {10, 0}, {10, 10}}), QRect()).empty());

    // The spans make a region that covers the same pixels, row by row.
    const auto spans =
        hardSpans(polygon({{2.2, 1.7}, {60.9, 8.1}, {33.3, 44.4}}), QRect(0, 0, 100, 100));
    QRegion region;
    region.setRects(spans.data(), int(spans.size()));
    int area = 0;
    for (const QRect& r : region) area += r.width() * r.height();
    int spanArea = 0;
    for (const QRect& r : spans) spanArea += r.width() * r.height();
    EXPECT_EQ(area, spanArea);
}

TEST(HardFill, RoundCapsAndJoinsAreCircles) {
    // A 20-px line with round ends, and a right-angled one with a round corner, outlined
    // as a pen would: the ends and the corner are half and quarter circles about the
    // points, whichever way the outline runs round them.
    QPen pen(Qt::black, 20);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    QPainterPathStroker stroker(pen);
    QPainterPath line;
    line.moveTo(40, 50);
    line.lineTo(140, 50);
    const auto capped = pixels(stroker.createStroke(line));
    EXPECT_NEAR(double(capped.size()), 100 * 20 + M_PI * 100, 30);
    QPainterPath corner;
    corner.moveTo(40, 100);
    corner.lineTo(140, 100);
    corner.lineTo(140, 180);
    const auto bent = pixels(stroker.createStroke(corner));
    for (int y = 30; y < 195; ++y)
        for (int x = 20; x < 165; ++x) {
            const QPointF at(x + 0.5, y + 0.5);
            if (at.x() < 40 || at.x() > 140) {
                const QPointF end(at.x() < 40 ? 40 : 140, 50);
                const double d = std::hypot(at.x() - end.x(), at.y() - end.y());
                if (d > 10.3) {
                    EXPECT_FALSE(capped.count({x, y})) << x << "," << y;
                }
                if (d < 9.7) {
                    EXPECT_TRUE(capped.count({x, y})) << x << "," << y;
                }
            }
            const double d = std::hypot(at.x() - 140, at.y() - 100);
            if (at.x() > 140 && at.y() < 100) {
                if (d < 9.7) {
                    EXPECT_TRUE(bent.count({x, y})) << x << "," << y;
                }
                if (d > 10.3) {
                    EXPECT_FALSE(bent.count({x, y})) << x << "," << y;
                }
            }
        }
}

TEST(HardFill, InsideCornersOfOutlinedLinesMeetWhereTheirEdgesCross) {
    // A 1-px line bending gently at (50, 20.5), as round a curve's flattest point: its two
    // inner edges cross a hair right of 50.5 and meet there, on the edge through the centre
    // of pixel (50, 20), which a right edge leaves out. Running back to the bend instead would
    // carry both edges past that centre and take it.
    QPen pen(Qt::black, 1);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    QPainterPath bent;
    bent.moveTo(50.3, 14.5);
    bent.lineTo(50, 20.5);
    bent.lineTo(50.3, 26.5);
    const auto line = pixels(swf::render::hardOutline(bent, pen));
    EXPECT_FALSE(line.count({50, 20}));
    EXPECT_TRUE(pixels(QPainterPathStroker(pen).createStroke(bent)).count({50, 20}));
    EXPECT_TRUE(line.count({49, 20}));
    for (int y = 15; y <= 25; ++y)
        if (y != 20) EXPECT_TRUE(line.count({50, y})) << y;

    // Where the edges do not cross within both pieces (a hairpin with a short leg), the
    // outline stays as the stroker makes it.
    QPainterPath hairpin;
    hairpin.moveTo(100, 100.5);
    hairpin.lineTo(140, 100.5);
    hairpin.lineTo(139.6, 101.3);
    QPen wide(Qt::black, 6);
    wide.setJoinStyle(Qt::RoundJoin);
    EXPECT_EQ(pixels(swf::render::hardOutline(hairpin, wide)),
              pixels(QPainterPathStroker(wide).createStroke(hairpin)));
}
