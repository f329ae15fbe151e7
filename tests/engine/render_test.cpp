// Pixels: fills, gradients, holes, strokes, colour transforms, masks and the four scale modes.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "engine/runtime/display_list.h"
#include "tests/engine/test_util.h"
#include "tests/support/swf_writer_media.h"

using enginetest::load;
using swftest::PathCmd;
using swftest::SwfBuilder;

namespace {

const QColor kBackground(0, 128, 0);

QImage draw(const swf::Player& p, int w, int h, swf::ScaleMode mode,
            std::optional<QColor> bg = std::nullopt) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter painter(&img);
    p.render(painter, QRect(0, 0, w, h), mode, bg);
    return img;
}

::testing::AssertionResult near(const QImage& img, int x, int y, QColor want) {
    const QColor got = img.pixelColor(x, y);
    const int d = std::max({std::abs(got.red() - want.red()), std::abs(got.green() - want.green()),
                            std::abs(got.blue() - want.blue())});
    if (d <= 3) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << got.name().toStdString() << ", want "
           << want.name().toStdString();
}

// A 200 x 100 px stage with a red rectangle over its middle half (50..150, 25..75).
swf::Player redRectPlayer() {
    SwfBuilder b(6, 200, 100, 24);
    b.setBackground({0, 128, 0});
    b.place(b.defineRect(1000, 500, 2000, 1000, {255, 0, 0}), 1);
    b.showFrame();
    return swf::Player(load(b.bytes()));
}

}  // namespace

TEST(Render, ScaleModes) {
    const swf::Player p = redRectPlayer();
    struct Case {
        swf::ScaleMode mode;
        int w, h;
        std::vector<QPoint> red, background;
    };
    const Case cases[] = {
        // Stage scaled 0.5 and centred: 100 x 50 at y 25; letterbox bands above and below.
        {swf::ScaleMode::ShowAll, 100, 100, {{50, 50}, {30, 40}}, {{5, 50}, {50, 5}, {50, 95}}},
        // Stage scaled 2: 400 x 200 centred, so the rectangle spans the whole height.
        {swf::ScaleMode::NoBorder,
         400,
         100,
         {{200, 2}, {200, 97}, {110, 50}},
         {{90, 50}, {310, 50}}},
        // Stretched 2 x 1: the rectangle is 100..300 by 25..75.
        {swf::ScaleMode::ExactFit,
         400,
         100,
         {{110, 30}, {290, 70}},
         {{90, 50}, {200, 20}, {200, 80}}},
        // 1:1 centred: stage at -50..150, so the rectangle is 0..100 by 25..75.
        {swf::ScaleMode::NoScale, 100, 100, {{3, 50}, {97, 30}}, {{50, 20}, {50, 80}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        const QImage img = draw(p, c.w, c.h, c.mode);
        for (QPoint pt : c.red) EXPECT_TRUE(near(img, pt.x(), pt.y(), Qt::red));
        for (QPoint pt : c.background) EXPECT_TRUE(near(img, pt.x(), pt.y(), kBackground));
    }
    // The override replaces the movie's colour, letterbox included.
    const QImage yellow = draw(p, 100, 100, swf::ScaleMode::ShowAll, QColor(Qt::yellow));
    EXPECT_TRUE(near(yellow, 50, 5, Qt::yellow));
    EXPECT_TRUE(near(yellow, 5, 50, Qt::yellow));
    EXPECT_TRUE(near(yellow, 50, 50, Qt::red));
}

TEST(Render, HolesStrokesAndColourTransforms) {
    SwfBuilder b(6, 100, 100, 24);
    b.setBackground({0, 128, 0});
    swftest::ShapeDesc ring;
    ring.fills = {{255, 0, 0}};
    ring.lines = {{1, {0, 0, 0}}};  // one twip: drawn as a hairline
    auto square = [](int a, int z) {
        return std::vector<PathCmd>{{PathCmd::Move, a, a},
                                    {PathCmd::Line, z, a},
                                    {PathCmd::Line, z, z},
                                    {PathCmd::Line, a, z},
                                    {PathCmd::Line, a, a}};
    };
    // Outer square fills on its right, inner one on its left: a hole in the middle.
    ring.paths = {{.fill1 = 1, .cmds = square(0, 1600)}, {.fill0 = 1, .cmds = square(400, 1200)}};
    ring.paths.push_back(
        {.line = 1, .cmds = {{PathCmd::Move, 0, 1810}, {PathCmd::Line, 2000, 1810}}});
    b.place(b.defineShape(ring), 1);
    // Colour-transformed copy: red * 0.5 + blue 255.
    b.place(b.defineRect(0, 0, 200, 200, {255, 0, 0}), 2, {.tx = 1700, .ty = 100},
            swftest::Cxform{.rm = 128, .ba = 255});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = draw(p, 100, 100, swf::ScaleMode::ShowAll);
    EXPECT_TRUE(near(img, 10, 10, Qt::red));
    EXPECT_TRUE(near(img, 40, 40, kBackground));  // the hole
    EXPECT_TRUE(near(img, 70, 40, Qt::red));
    EXPECT_TRUE(near(img, 90, 40, kBackground));
    EXPECT_TRUE(near(img, 50, 90, Qt::black));  // the hairline
    EXPECT_TRUE(near(img, 90, 10, QColor(128, 0, 255)));
}

TEST(Render, ClipDepthMasksTheDepthsItCovers) {
    SwfBuilder b(6, 100, 100, 24);
    b.setBackground({0, 128, 0});
    const uint16_t mask = b.defineRect(0, 0, 1000, 2000, {0, 0, 0});
    const uint16_t red = b.defineRect(0, 0, 2000, 2000, {255, 0, 0});
    const uint16_t blue = b.defineRect(1600, 1600, 400, 400, {0, 0, 255});
    b.place(mask, 1, {}, {}, {}, /*clipDepth=*/3);
    b.place(red, 2);
    b.place(blue, 4);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = draw(p, 100, 100, swf::ScaleMode::ExactFit);
    EXPECT_TRUE(near(img, 25, 50, Qt::red));
    EXPECT_TRUE(near(img, 75, 50, kBackground));
    EXPECT_TRUE(near(img, 90, 90, Qt::blue));
    // A mask edge halfway through a pixel covers half of it, as Flash's smooth masks do.
    SwfBuilder half(6, 100, 100, 24);
    half.setBackground({0, 128, 0});
    half.place(half.defineRect(0, 0, 1010, 2000, {0, 0, 0}), 1, {}, {}, {}, /*clipDepth=*/2);
    half.place(half.defineRect(0, 0, 2000, 2000, {255, 0, 0}), 2);
    half.showFrame();
    const QImage edge = draw(swf::Player(load(half.bytes())), 100, 100, swf::ScaleMode::ExactFit);
    EXPECT_TRUE(near(edge, 49, 50, Qt::red));
    EXPECT_TRUE(near(edge, 50, 50, QColor(128, 64, 0)));
    EXPECT_TRUE(near(edge, 51, 50, kBackground));
}

TEST(Render, BackwardSeekDrawsWhatPlayingDraws) {
    SwfBuilder b(6, 100, 100, 24);
    const uint16_t red = b.defineRect(0, 0, 400, 400, {255, 0, 0});
    b.place(red, 1);
    for (int f = 0; f < 200; ++f) {
        b.move(1, {.tx = f * 8, .ty = f * 8});
        if (f == 120) b.place(red, 2, {.tx = 1000});
        b.showFrame();
    }
    auto m = load(b.bytes());
    swf::Player played(m), seeked(m);
    for (int i = 0; i < 130; ++i) played.advanceFrame();
    seeked.gotoFrame(199);
    seeked.gotoFrame(130);
    EXPECT_EQ(draw(played, 100, 100, swf::ScaleMode::ShowAll),
              draw(seeked, 100, 100, swf::ScaleMode::ShowAll));
}

TEST(Render, ParseScaleMode) {
    EXPECT_EQ(swf::parseScaleMode("showall"), swf::ScaleMode::ShowAll);
    EXPECT_EQ(swf::parseScaleMode("NoBorder"), swf::ScaleMode::NoBorder);
    EXPECT_EQ(swf::parseScaleMode("EXACTFIT"), swf::ScaleMode::ExactFit);
    EXPECT_EQ(swf::parseScaleMode("noScale"), swf::ScaleMode::NoScale);
    EXPECT_EQ(swf::parseScaleMode("fit"), std::nullopt);
}

// A ramp 256 px wide from black to red: every pixel takes one entry of Flash's 256-step table,
// so column x is red x exactly; past the ramp the spread modes pad, reflect or repeat it.
TEST(Render, GradientsStepThroughTheirRamp) {
    namespace media = swftest::media;
    SwfBuilder b(8, 512, 30, 24);
    b.setBackground({255, 255, 255});
    for (uint8_t spread = 0; spread < 3; ++spread) {
        media::Fill f;
        f.type = 0x10;
        f.matrix = {256 * 20 / 32768.0, 256 * 20 / 32768.0, 0, 0, 128 * 20, 0};
        f.spread = spread;
        f.stops = {{0, {0, 0, 0, 255}}, {255, {255, 0, 0, 255}}};
        const uint16_t id = b.reserveId();
        b.rawTag(media::code::DefineShape3, media::rectBody(id, 3, 0, 0, 512 * 20, 200, f));
        b.place(id, spread + 1, {.tx = 0, .ty = spread * 200});
    }
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = draw(p, 512, 30, swf::ScaleMode::ExactFit);
    auto red = [&](int x, int row) { return qRed(img.pixel(x, row * 10 + 5)); };
    for (int x : {0, 1, 100, 127, 128, 254, 255}) {
        SCOPED_TRACE(x);
        for (int row = 0; row < 3; ++row) EXPECT_EQ(red(x, row), x);
        EXPECT_EQ(red(256 + x, 0), 255);
        EXPECT_EQ(red(256 + x, 1), 255 - x);
        EXPECT_EQ(red(256 + x, 2), x);
    }
}

// Radial gradients 64 px in radius from black to red: each pixel's red is four times its
// distance from the centre, whatever the shape's width, drawn one after another (rows of an
// unrotated gradient share their work, which must not leak from one shape to the next).
TEST(Render, RadialGradientsFollowTheirRadius) {
    namespace media = swftest::media;
    SwfBuilder b(8, 300, 100, 24);
    b.setBackground({255, 255, 255});
    const double s = 128 * 20 / 32768.0;
    struct Box {
        int left, width;
    };
    const Box boxes[] = {{0, 200}, {220, 40}, {270, 30}};
    int depth = 1;
    for (const Box& box : boxes) {
        media::Fill f;
        f.type = 0x12;
        f.matrix = {s, s, 0, 0, box.width * 10, 50 * 20};
        f.stops = {{0, {0, 0, 0, 255}}, {255, {255, 0, 0, 255}}};
        const uint16_t id = b.reserveId();
        b.rawTag(media::code::DefineShape3, media::rectBody(id, 3, 0, 0, box.width * 20, 2000, f));
        b.place(id, depth++, {.tx = box.left * 20, .ty = 0});
    }
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = draw(p, 300, 100, swf::ScaleMode::ExactFit);
    int checked = 0, wrong = 0;
    for (const Box& box : boxes)
        for (int y = 0; y < 100; ++y)
            for (int x = box.left; x < box.left + box.width; ++x) {
                const double cx = box.left + box.width / 2.0;
                const double steps = std::hypot(x + 0.5 - cx, y + 0.5 - 50) * 4;
                const double frac = steps - std::floor(steps);
                if (frac < 0.05 || frac > 0.95) continue;  // too close to a step to tell
                ++checked;
                const int expected = std::min(255, int(steps));
                if (qRed(img.pixel(x, y)) != expected) ++wrong;
            }
    EXPECT_GT(checked, 20000);
    EXPECT_EQ(wrong, 0);
}
