// Pixels of filled rectangles drawn straight into the stage image: they must come out as the
// painter draws any other outline, and stay the same when kept gradients are reused.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "engine/render/coverage_fill.h"
#include "tests/engine/pixel_util.h"
#include "tests/engine/test_util.h"
#include "tests/support/swf_writer_media.h"

using enginetest::load;
using swftest::SwfBuilder;
namespace media = swftest::media;

namespace {

media::Fill gradient(uint8_t type, uint8_t spread, double scale, double skew = 0) {
    media::Fill f;
    f.type = type;
    f.spread = spread;
    f.matrix = {scale, scale, skew, 0, 1000, 800};
    f.stops = {{0, {255, 0, 0, 255}}, {128, {0, 0, 255, 160}}, {255, {0, 255, 0, 90}}};
    return f;
}

// The outline of x,y,w,h (twips); with extra, a needless corner halfway along the top edge
// keeps it from being taken for a plain rectangle.
std::vector<std::pair<int, int>> outline(int x, int y, int w, int h, bool extra) {
    std::vector<std::pair<int, int>> pts{{x, y}};
    if (extra) pts.push_back({x + w / 2, y});
    pts.insert(pts.end(), {{x + w, y}, {x + w, y + h}, {x, y + h}});
    return pts;
}

// Two shapes of the same gradient over a grey square: one a plain rectangle, the other the
// same area with an extra corner, each placed at pos (twips) in its own movie.
QImage drawGradientShape(const media::Fill& f, bool extra, int tx, int ty,
                         swf::Quality q = swf::Quality::High, int w = 2000, int h = 1600) {
    SwfBuilder b(8, 180, 100, 24);
    b.setBackground({255, 255, 255});
    b.place(b.defineRect(0, 0, 1200, 1000, {128, 128, 128}), 1);
    const uint16_t id = b.reserveId();
    b.rawTag(media::code::DefineShape3, media::shapeBody(id, 3, outline(0, 0, w, h, extra), f));
    b.place(id, 2, {1, 1, 0, 0, tx, ty});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    return enginetest::stage(p, q);
}

int differing(const QImage& a, const QImage& b) {
    EXPECT_FALSE(a.isNull());
    return enginetest::differingPixels(a, b);
}

}  // namespace

// Linear, radial and focal gradients with each spread, whole-pixel and fractional placings
// (partly covered edge rows), at both qualities: the direct blend matches the painter.
TEST(RenderFill, GradientRectanglesMatchOutlines) {
    const media::Fill fills[] = {
        gradient(0x10, 0, 0.05),       gradient(0x10, 1, 0.02, 0.01), gradient(0x12, 0, 0.04),
        gradient(0x12, 1, 0.02),       gradient(0x12, 2, 0.015),      gradient(0x13, 0, 0.05),
        gradient(0x10, 2, 0.01, 0.02),
    };
    const std::pair<int, int> places[] = {{200, 100}, {213, 97}, {-300, 1}, {700, 500}};
    for (size_t i = 0; i < std::size(fills); ++i) {
        for (auto [tx, ty] : places) {
            for (auto q : {swf::Quality::High, swf::Quality::Low}) {
                SCOPED_TRACE(testing::Message()
                             << "fill " << i << " at " << tx << "," << ty << " quality " << int(q));
                const QImage plain = drawGradientShape(fills[i], false, tx, ty, q);
                const QImage traced = drawGradientShape(fills[i], true, tx, ty, q);
                EXPECT_EQ(differing(plain, traced), 0);
            }
        }
    }
}

// Rectangles of many widths (whole blocks of pixels and leftovers of every size), at each
// twentieth of a pixel down and only a row or two high: the direct blend, partly covered
// rows included, matches the painter pixel for pixel.
TEST(RenderFill, GradientRectanglesOfAnyWidthAndRowFraction) {
    const media::Fill fills[] = {gradient(0x10, 0, 0.05), gradient(0x12, 1, 0.02),
                                 gradient(0x10, 2, 0.01, 0.02)};
    auto same = [&](const media::Fill& f, int tx, int ty, int w, int h) {
        SCOPED_TRACE(testing::Message() << "type " << int(f.type) << " at " << tx << "," << ty
                                        << " size " << w << "x" << h);
        const QImage plain = drawGradientShape(f, false, tx, ty, swf::Quality::High, w, h);
        const QImage traced = drawGradientShape(f, true, tx, ty, swf::Quality::High, w, h);
        EXPECT_EQ(differing(plain, traced), 0);
    };
    for (const auto& f : fills) {
        for (int px :
             {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 48, 63, 64, 65, 66, 79, 127, 128, 129, 150})
            same(f, 100, 47, px * 20, 900);
        for (int ty = 0; ty < 20; ++ty) same(f, 60, 200 + ty, 1400, 1000 + 7 * ty);
        for (int h : {19, 21, 33, 40, 45})
            for (int ty : {3, 17, 31}) same(f, 60, 200 + ty, 1400, h);
        // Sides a hair off the pixel grid, and just on it once snapped.
        for (int tx : {61, 79, 81}) same(f, tx, 213, 1400, 1000);
        // Left and right sides at every twentieth of a pixel (a scaled stage puts them
        // anywhere), corners partly covered both ways, and narrower than a pixel.
        for (int k = 0; k < 20; ++k) {
            same(f, 60 + k, 213 + 2 * k, 1400 + 3 * k, 1000 + k);
            same(f, 60 + 3 * k, 200, 7 + k, 900);
        }
    }
}

// A shape moved by whole pixels shows the same picture moved, frame after frame, whether
// its gradient was just computed or kept from the frame before.
TEST(RenderFill, KeptGradientsFollowWholePixelMoves) {
    SwfBuilder b(8, 200, 150, 24);
    b.setBackground({255, 255, 255});
    const uint16_t id = b.reserveId();
    b.rawTag(media::code::DefineShape3,
             media::shapeBody(id, 3, outline(0, 0, 1600, 1200, false), gradient(0x12, 1, 0.02)));
    b.place(id, 1, {1, 1, 0, 0, 200, 300});
    b.showFrame();
    b.move(1, {1, 1, 0, 0, 200 + 20 * 37, 300 + 20 * 21});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage first = enginetest::stage(p);
    ASSERT_EQ(first.size(), QSize(200, 150));
    p.advanceFrame();
    const QImage moved = enginetest::stage(p);
    p.advanceFrame();
    const QImage again = enginetest::stage(p);
    EXPECT_EQ(differing(first, again), 0);
    int mismatches = 0;
    for (int y = 15; y < 15 + 60; ++y)
        for (int x = 10; x < 10 + 80; ++x)
            mismatches += first.pixel(x, y) != moved.pixel(x + 37, y + 21);
    EXPECT_EQ(mismatches, 0);
    // The gradient is really there: its centre and its rim differ.
    EXPECT_NE(first.pixel(50, 45), first.pixel(12, 17));
}

// Gradients that share their stops but not their colour transform, or their colours but
// not their alpha, each show their own colours.
TEST(RenderFill, RampsFollowStopsAndColourTransforms) {
    SwfBuilder b(8, 120, 40, 24);
    b.setBackground({255, 255, 255});
    auto shape = [&](uint8_t alpha) {
        media::Fill f;
        f.type = 0x10;
        f.matrix = {0.001, 0.001, 0, 0, 0, 0};
        f.stops = {{0, {200, 40, 40, alpha}}, {255, {200, 40, 40, alpha}}};
        const uint16_t id = b.reserveId();
        b.rawTag(media::code::DefineShape3,
                 media::shapeBody(id, 3, outline(-400, -400, 800, 800, false), f));
        return id;
    };
    const uint16_t opaque = shape(255), faint = shape(128);
    b.place(opaque, 1, {1, 1, 0, 0, 400, 400});
    b.place(opaque, 2, {1, 1, 0, 0, 1200, 400}, swftest::Cxform{0, 256, 256, 256, 0, 0, 0, 0});
    b.place(faint, 3, {1, 1, 0, 0, 2000, 400});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = enginetest::stage(p);
    EXPECT_TRUE(enginetest::pixelNear(img, 20, 20, QColor(200, 40, 40), 1));
    EXPECT_TRUE(enginetest::pixelNear(img, 60, 20, QColor(0, 40, 40), 1));
    EXPECT_TRUE(enginetest::pixelNear(img, 100, 20, QColor(227, 147, 147), 2));
}

// Hard-edged one-pixel lines along pixel boundaries take the row or column before the
// boundary, and the corner where two meet leaves its diagonal neighbour empty; the fill
// starts right after the line. Thinner lines still show as one pixel.
TEST(RenderFill, HardEdgedHairlinesTakeThePixelBeforeTheBoundary) {
    for (int width : {20, 8}) {
        SCOPED_TRACE(testing::Message() << "line width " << width);
        SwfBuilder b(8, 60, 40, 24);
        b.setBackground({255, 255, 255});
        media::Fill f;
        f.color = {0, 0, 255, 255};
        media::Line l;
        l.width = width;
        l.color = {0, 0, 0, 255};
        const uint16_t id = b.reserveId();
        // Pixels 5..45 across, 6..30 down.
        b.rawTag(media::code::DefineShape4,
                 media::shapeBody(id, 4, outline(100, 120, 800, 480, false), f, l));
        b.place(id, 1);
        b.showFrame();
        swf::Player p(load(b.bytes()));
        const QImage img = enginetest::stage(p, swf::Quality::Low);
        const QColor black(0, 0, 0), white(255, 255, 255), blue(0, 0, 255);
        EXPECT_TRUE(enginetest::pixelNear(img, 4, 20, black, 0));  // left line
        EXPECT_TRUE(enginetest::pixelNear(img, 5, 20, blue, 0));   // fill
        EXPECT_TRUE(enginetest::pixelNear(img, 3, 20, white, 0));
        EXPECT_TRUE(enginetest::pixelNear(img, 20, 5, black, 0));  // top line
        EXPECT_TRUE(enginetest::pixelNear(img, 20, 6, blue, 0));
        EXPECT_TRUE(enginetest::pixelNear(img, 20, 4, white, 0));
        EXPECT_TRUE(enginetest::pixelNear(img, 44, 20, black, 0));  // right line
        EXPECT_TRUE(enginetest::pixelNear(img, 45, 20, white, 0));
        EXPECT_TRUE(enginetest::pixelNear(img, 20, 29, black, 0));  // bottom line
        EXPECT_TRUE(enginetest::pixelNear(img, 20, 30, white, 0));
        EXPECT_TRUE(enginetest::pixelNear(img, 4, 5, white, 0));    // top-left corner
        EXPECT_TRUE(enginetest::pixelNear(img, 44, 29, black, 0));  // bottom-right corner
    }
}

// Linear-RGB ramps lose precision in dark channels (20 comes back as 13) and darken
// translucent stops by their alpha's own linear value; plain RGB ramps keep their colours.
TEST(RenderFill, LinearRgbRampsMatchFlashColours) {
    SwfBuilder b(8, 80, 80, 24);
    b.setBackground({255, 255, 255});
    auto shape = [&](uint8_t interpolation, swftest::Rgba c) {
        media::Fill f;
        f.type = 0x10;
        f.interpolation = interpolation;
        f.matrix = {0.001, 0.001, 0, 0, 0, 0};
        f.stops = {{0, c}, {255, c}};
        const uint16_t id = b.reserveId();
        b.rawTag(media::code::DefineShape3,
                 media::shapeBody(id, 3, outline(-300, -300, 600, 600, false), f));
        return id;
    };
    b.place(shape(1, {20, 20, 20, 255}), 1, {1, 1, 0, 0, 400, 400});
    b.place(shape(0, {20, 20, 20, 255}), 2, {1, 1, 0, 0, 1200, 400});
    b.place(shape(1, {0, 0, 255, 204}), 3, {1, 1, 0, 0, 400, 1200});
    b.place(shape(0, {0, 0, 255, 204}), 4, {1, 1, 0, 0, 1200, 1200});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = enginetest::stage(p, swf::Quality::Low);
    EXPECT_TRUE(enginetest::pixelNear(img, 20, 20, QColor(13, 13, 13), 1));
    EXPECT_TRUE(enginetest::pixelNear(img, 60, 20, QColor(20, 20, 20), 1));
    EXPECT_TRUE(enginetest::pixelNear(img, 20, 60, QColor(51, 51, 231), 2));
    EXPECT_TRUE(enginetest::pixelNear(img, 60, 60, QColor(51, 51, 255), 2));
}

namespace {

// A linear gradient across a 300x20 pixel rectangle whose ramp steps are one pixel wide:
// pixel x sits a quarter step past ramp entry x's start, so the player's filtered read (entry
// i at position i + 0.5) puts it three quarters of the way from entry x - 1 to entry x.
QImage drawSteppedRamp(const std::vector<std::pair<uint8_t, swftest::Rgba>>& stops, uint8_t spread,
                       uint8_t interpolation, swf::Quality q) {
    SwfBuilder b(8, 300, 20, 24);
    b.setBackground({255, 255, 255});
    media::Fill f;
    f.type = 0x10;
    f.spread = spread;
    f.interpolation = interpolation;
    f.matrix = {0.15625, 0.15625, 0, 0, 2565, 0};
    f.stops = stops;
    const uint16_t id = b.reserveId();
    b.rawTag(media::code::DefineShape3,
             media::shapeBody(id, 3, outline(0, 0, 6000, 400, false), f));
    b.place(id, 1);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    return enginetest::stage(p, q);
}

}  // namespace

// A sharp step in the ramp (two stops a ratio apart) is blended over one step, in sRGB for
// an RGB gradient and in linear light for a linear-RGB one, at either quality.
TEST(RenderFill, SharpRampStepsBlendOverOneStep) {
    const swftest::Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
    for (auto q : {swf::Quality::Low, swf::Quality::High}) {
        SCOPED_TRACE(testing::Message() << "quality " << int(q));
        const QImage rgb = drawSteppedRamp({{0, red}, {100, red}, {101, blue}}, 0, 0, q);
        EXPECT_TRUE(enginetest::pixelNear(rgb, 100, 10, QColor(255, 0, 0), 0));
        EXPECT_TRUE(enginetest::pixelNear(rgb, 101, 10, QColor(64, 0, 191), 3));
        EXPECT_TRUE(enginetest::pixelNear(rgb, 102, 10, QColor(0, 0, 255), 0));
        const QImage linear = drawSteppedRamp({{0, red}, {100, red}, {101, blue}}, 0, 1, q);
        EXPECT_TRUE(enginetest::pixelNear(linear, 100, 10, QColor(255, 0, 0), 0));
        EXPECT_TRUE(enginetest::pixelNear(linear, 101, 10, QColor(137, 0, 225), 3));
        EXPECT_TRUE(enginetest::pixelNear(linear, 102, 10, QColor(0, 0, 255), 0));
    }
}

// A repeating ramp is read within each period: its last entry is not blended into its first,
// so a period starts on the first entry's own colour.
TEST(RenderFill, RepeatedRampsDoNotBlendAcrossTheWrap) {
    const swftest::Rgba red{255, 0, 0, 255}, blue{0, 0, 255, 255};
    const QImage img = drawSteppedRamp({{0, red}, {1, blue}}, 2, 0, swf::Quality::Low);
    EXPECT_TRUE(enginetest::pixelNear(img, 0, 10, QColor(255, 0, 0), 0));
    EXPECT_TRUE(enginetest::pixelNear(img, 1, 10, QColor(64, 0, 191), 3));
    EXPECT_TRUE(enginetest::pixelNear(img, 255, 10, QColor(0, 0, 255), 0));
    EXPECT_TRUE(enginetest::pixelNear(img, 256, 10, QColor(255, 0, 0), 0));
    EXPECT_TRUE(enginetest::pixelNear(img, 257, 10, QColor(64, 0, 191), 3));
}

// Detailed outlines filled by summed coverage come out as the painter's smoothed fill, under
// either fill rule, cut by the clip, with translucent colours; nothing outside the clip moves.
TEST(RenderFill, DetailedOutlinesCoverAsThePainterDoes) {
    struct Row {
        Qt::FillRule rule;
        int points, turns;  // a star of points corners, going round turns times
        QRect clip;
        QRgb colour;
    };
    const Row rows[] = {
        {Qt::WindingFill, 1620, 1, QRect(0, 0, 300, 240), qRgba(200, 40, 90, 255)},
        {Qt::OddEvenFill, 997, 3, QRect(0, 0, 300, 240), qRgba(20, 160, 250, 255)},
        {Qt::WindingFill, 400, 2, QRect(40, 30, 170, 150), qRgba(60, 200, 60, 140)},
        {Qt::OddEvenFill, 1620, 1, QRect(-50, 100, 500, 90), qRgba(250, 250, 0, 90)},
    };
    for (const Row& row : rows) {
        QPainterPath path;
        path.setFillRule(row.rule);
        for (int i = 0; i < row.points; ++i) {
            const double angle = 2 * M_PI * row.turns * i / row.points;
            const double r = 60 + (i * 7919 % 97) * 0.9;
            const QPointF at(150 + r * std::cos(angle) + 0.37, 120 + r * std::sin(angle) - 0.21);
            if (i == 0)
                path.moveTo(at);
            else
                path.lineTo(at);
        }
        path.closeSubpath();
        QImage painted(300, 240, QImage::Format_ARGB32_Premultiplied);
        painted.fill(qRgb(128, 128, 128));
        QImage summed = painted;
        {
            QPainter p(&painted);
            p.setRenderHint(QPainter::Antialiasing);
            p.setClipRect(row.clip);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor::fromRgba(row.colour));
            p.drawPath(path);
        }
        ASSERT_TRUE(swf::render::fillCoverage(summed, path, row.clip, qPremultiply(row.colour)));
        int worst = 0, off = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 300; ++x) {
                const QRgb a = painted.pixel(x, y), b = summed.pixel(x, y);
                const int d =
                    std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
                worst = std::max(worst, d);
                off += d > 2;
                if (!row.clip.contains(x, y)) ASSERT_EQ(b, qRgb(128, 128, 128)) << x << "," << y;
            }
        EXPECT_LE(worst, 4) << row.points;
        EXPECT_LT(off, 300 * 240 / 1000) << row.points;  // the painter's 1/64 pixel grid
    }
}
