// Pixels of everything a movie draws without scripts: gradients, line styles, bitmaps, morph
// shapes, fonts and text, buttons, blend modes, filters and stage quality.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainterPath>
#include <cmath>

#include "engine/render/renderer.h"
#include "engine/render/text_render.h"
#include "tests/engine/pixel_util.h"
#include "tests/engine/test_util.h"
#include "tests/support/swf_writer_media.h"

using enginetest::load;
using enginetest::pixelNear;
using enginetest::stage;
using swftest::Matrix;
using swftest::Rgba;
using swftest::SwfBuilder;
namespace media = swftest::media;
namespace mcode = swftest::media::code;

namespace {

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kWhite(255, 255, 255),
    kBlack(0, 0, 0);

// A 200 x 100 px white stage; define() adds a character from a raw body.
struct Movie {
    SwfBuilder b{8, 200, 100};
    Movie() { b.setBackground({255, 255, 255}); }
    uint16_t define(uint16_t code, const std::vector<uint8_t>& bodyWithoutId) {
        const uint16_t id = b.reserveId();
        std::vector<uint8_t> body{static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)};
        body.insert(body.end(), bodyWithoutId.begin() + 2, bodyWithoutId.end());
        b.rawTag(code, body);
        return id;
    }
    swf::Player play() {
        b.showFrame();
        return swf::Player(load(b.bytes()));
    }
};

// A gradient across a 200-px-wide rectangle whose gradient square spans x 0..w px.
media::Fill linear(int widthPx, uint8_t spread, std::vector<std::pair<uint8_t, Rgba>> stops) {
    media::Fill f;
    f.type = 0x10;
    const double s = widthPx * 20 / 32768.0;
    f.matrix = {s, s, 0, 0, widthPx * 10, 0};
    f.stops = std::move(stops);
    f.spread = spread;
    return f;
}

std::vector<uint8_t> encoded(const QImage& img, const char* format, int quality = 95) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format, quality);
    return {bytes.begin(), bytes.end()};
}

std::vector<media::Glyph> squareFont() {
    // 'A': a full square 0..1024 wide, from the baseline up 800; 'B': the left half only.
    return {{'A', {{0, -800}, {1024, -800}, {1024, 0}, {0, 0}}, 1024},
            {'B', {{0, -800}, {512, -800}, {512, 0}, {0, 0}}, 1024}};
}

}  // namespace

TEST(Gradients, LinearStopsAndSpreadModes) {
    // Red to blue over the left half of the stage; the right half shows the spread.
    const uint8_t spreads[] = {0, 1, 2};
    const QColor beyond[] = {kBlue, kRed, kBlue};  // at 175 px: 3/4 through the next period
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        Movie m;
        m.b.place(m.define(mcode::DefineShape3,
                           media::rectBody(
                               0, 3, 0, 0, 4000, 2000,
                               linear(100, spreads[i], {{0, {255, 0, 0}}, {255, {0, 0, 255}}}))),
                  1);
        const QImage img = stage(m.play());
        EXPECT_TRUE(pixelNear(img, 1, 50, kRed, 12));
        EXPECT_TRUE(pixelNear(img, 98, 50, kBlue, 12));
        EXPECT_TRUE(pixelNear(img, 50, 50, QColor(128, 0, 127), 12));
        const QColor far = img.pixelColor(175, 50);
        if (i == 1)  // reflect: 3/4 back towards red
            EXPECT_TRUE(pixelNear(img, 175, 50, QColor(191, 0, 64), 14));
        else if (i == 2)  // repeat: 3/4 from red again
            EXPECT_TRUE(pixelNear(img, 175, 50, QColor(64, 0, 191), 14));
        else
            EXPECT_TRUE(pixelNear(img, 175, 50, beyond[i], 12)) << far.name().toStdString();
    }
}

TEST(Gradients, SharedAndOutOfOrderRatios) {
    // Equal ratios: the entry at a shared ratio keeps the earlier colour (at either end too),
    // the later colour starts on the entry after it.
    // A ratio below the one before is passed over: red to green, then cyan from its own ratio.
    Movie m;
    m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, 0, 0, 4000, 1000,
                                                            linear(200, 0,
                                                                   {{0, {255, 0, 0}},
                                                                    {0, {0, 255, 0}},
                                                                    {255, {0, 0, 255}},
                                                                    {255, {255, 255, 0}}}))),
              1);
    m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, 0, 1000, 4000, 1000,
                                                            linear(200, 0,
                                                                   {{0, {255, 0, 0}},
                                                                    {128, {0, 255, 0}},
                                                                    {64, {0, 255, 255}},
                                                                    {255, {0, 0, 255}}}))),
              2);
    // A hard step at 126 over 100 px: the ramp is read filtered, entry i at i + 0.5, so
    // pixel 49 (at 126.72) is a fifth of the way to blue and pixel 50 (at 129.28) blue.
    m.b.place(m.define(mcode::DefineShape3,
                       media::rectBody(0, 3, 0, 0, 4000, 500,
                                       linear(100, 0, {{126, {255, 0, 0}}, {126, {0, 0, 255}}}))),
              3);
    const QImage img = stage(m.play());
    // Pixel 0 (at 0.64) is read a seventh of the way from entry 0 to the green of entry 1.
    EXPECT_TRUE(pixelNear(img, 0, 40, QColor(220, 35, 0), 4));
    EXPECT_TRUE(pixelNear(img, 199, 40, kBlue, 12));
    EXPECT_TRUE(pixelNear(img, 49, 10, QColor(199, 0, 56), 4));
    EXPECT_TRUE(pixelNear(img, 50, 10, kBlue, 12));
    EXPECT_TRUE(pixelNear(img, 50, 75, QColor(128, 128, 0), 14));  // red to green
    // Past 128: cyan to blue counted from ratio 64, so already a third of the way at 128.
    EXPECT_TRUE(pixelNear(img, 101, 75, QColor(0, 170, 255), 14));
}

TEST(Gradients, ColourAndAlphaMixSeparately) {
    // Transparent black to opaque white, over red: the middle is half-opaque grey, not the
    // half-opaque white a premultiplied mix gives.
    Movie red;  // the builder's first background wins: start from a red one
    red.b = SwfBuilder(8, 200, 100);
    red.b.setBackground({255, 0, 0});
    red.b.place(red.define(mcode::DefineShape3,
                           media::rectBody(
                               0, 3, 0, 0, 4000, 2000,
                               linear(200, 0, {{0, {0, 0, 0, 0}}, {255, {255, 255, 255, 255}}}))),
                1);
    EXPECT_TRUE(pixelNear(stage(red.play()), 100, 50, QColor(191, 64, 64), 8));
}

TEST(Gradients, LinearRgbRadialFocalAndManyStops) {
    Movie m;
    auto lin = linear(200, 0, {{0, {255, 0, 0}}, {255, {0, 255, 0}}});
    lin.interpolation = 1;
    m.b.place(m.define(mcode::DefineShape4, media::rectBody(0, 4, 0, 0, 4000, 1000, lin)), 1);
    media::Fill radial;
    radial.type = 0x12;
    radial.matrix = {1000 / 16384.0, 1000 / 16384.0, 0, 0, 1000, 1500};  // 50 px radius at (50,75)
    radial.stops = {{0, {255, 255, 0}}, {255, {0, 0, 255}}};
    m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, 0, 1000, 2000, 1000, radial)), 2);
    media::Fill focal = radial;
    focal.type = 0x13;
    focal.focal = 0.9;
    focal.matrix.tx = 3000;
    m.b.place(m.define(mcode::DefineShape4, media::rectBody(0, 4, 2000, 1000, 2000, 1000, focal)),
              3);
    const QImage img = stage(m.play());
    // Mixed in linear light, the middle is much brighter than the sRGB average (128).
    EXPECT_GT(img.pixelColor(100, 25).red(), 170);
    EXPECT_GT(img.pixelColor(100, 25).green(), 170);
    EXPECT_TRUE(pixelNear(img, 50, 75, QColor(255, 255, 0), 12));
    // The focal point sits right of centre: the centre is already part way to blue.
    EXPECT_LT(img.pixelColor(150, 75).red(), 200);
    EXPECT_TRUE(pixelNear(img, 194, 75, QColor(255, 255, 0), 40));

    // Fifteen stops all draw: alternate red and green stripes.
    Movie many;
    std::vector<std::pair<uint8_t, Rgba>> stops;
    for (int k = 0; k < 15; ++k) {
        const Rgba c = k % 2 ? Rgba{0, 255, 0} : Rgba{255, 0, 0};
        stops.push_back({static_cast<uint8_t>(k * 255 / 14), c});
        if (k < 14) stops.push_back({static_cast<uint8_t>(k * 255 / 14 + 8), c});
    }
    stops.resize(15);
    many.b.place(many.define(mcode::DefineShape3,
                             media::rectBody(0, 3, 0, 0, 4000, 2000, linear(200, 0, stops))),
                 1);
    const QImage striped = stage(many.play());
    EXPECT_GT(striped.pixelColor(1, 50).red(), 200);
    EXPECT_GT(striped.pixelColor(17, 50).green(), 150);
}

TEST(LineStyles, WidthCapsJoinsAndHairlines) {
    Movie m;
    media::Line thick;
    thick.width = 400;  // 20 px
    thick.color = {0, 0, 255, 255};
    thick.startCap = thick.endCap = 1;  // no caps
    m.b.place(m.define(mcode::DefineShape4, media::shapeBody(0, 4, {{400, 1000}, {1600, 1000}},
                                                             std::nullopt, thick, true)),
              1);
    media::Line square = thick;
    square.startCap = square.endCap = 2;
    m.b.place(m.define(mcode::DefineShape4, media::shapeBody(0, 4, {{2400, 1000}, {3600, 1000}},
                                                             std::nullopt, square, true)),
              2);
    media::Line hair;
    hair.width = 0;
    hair.color = {255, 0, 0, 255};
    m.b.place(m.define(mcode::DefineShape3,
                       media::shapeBody(0, 3, {{0, 1810}, {4000, 1810}}, std::nullopt, hair, true)),
              3);
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 50, 50, kBlue));
    EXPECT_TRUE(pixelNear(img, 50, 41, kBlue));   // half the width above
    EXPECT_TRUE(pixelNear(img, 50, 62, kWhite));  // not more
    EXPECT_TRUE(pixelNear(img, 15, 50, kWhite));  // no cap: ends at x 20
    EXPECT_TRUE(pixelNear(img, 115, 50, kBlue));  // square cap: 10 px past x 120
    int red = 0;
    for (int y = 88; y < 94; ++y) red += img.pixelColor(100, y).green() < 200;
    EXPECT_GE(red, 1);  // a hairline still shows
}

TEST(LineStyles, ClosedOutlinesJoinUnlessNoClose) {
    Movie m;
    media::Line l;
    l.width = 400;
    l.color = {0, 0, 0, 255};
    l.startCap = l.endCap = 1;
    l.join = 2;  // miter
    const std::vector<std::pair<int, int>> square{
        {800, 400}, {1600, 400}, {1600, 1200}, {800, 1200}};
    m.b.place(m.define(mcode::DefineShape4, media::shapeBody(0, 4, square, std::nullopt, l)), 1);
    l.noClose = true;
    auto moved = square;
    for (auto& [x, y] : moved) x += 2000;
    m.b.place(m.define(mcode::DefineShape4, media::shapeBody(0, 4, moved, std::nullopt, l)), 2);
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 32, 12, kBlack));   // the first corner is mitred all round
    EXPECT_TRUE(pixelNear(img, 132, 12, kWhite));  // open ends: two flat caps, a notch
    EXPECT_TRUE(pixelNear(img, 187, 12, kBlack));  // other corners still join
}

TEST(Bitmaps, LosslessFormatsAndFills) {
    Movie m;
    // 2 x 2: red, green / blue, half-transparent white (premultiplied).
    const uint16_t direct =
        m.define(mcode::DefineBitsLossless2,
                 media::losslessBody(0, 2, 2, 2, {0xffff0000, 0xff00ff00, 0xff0000ff, 0x80808080}));
    const uint16_t mapped =
        m.define(mcode::DefineBitsLossless,
                 media::losslessMappedBody(0, 1, 2, 1, {0xff000000, 0xffffff00}, {1, 0}));
    media::Fill clipped;
    clipped.type = 0x43;  // clipped, not smoothed
    clipped.bitmapId = direct;
    clipped.matrix = {500, 500, 0, 0, 0, 0};  // a bitmap pixel is 25 px
    m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, 0, 0, 1000, 1000, clipped)), 1);
    media::Fill repeating;
    repeating.type = 0x42;
    repeating.bitmapId = mapped;
    repeating.matrix = {200, 200, 0, 0, 2000, 0};  // 10 px per bitmap pixel, tiled
    m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, 2000, 0, 2000, 2000, repeating)),
              2);
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 10, 10, kRed));
    EXPECT_TRUE(pixelNear(img, 40, 10, kGreen));
    EXPECT_TRUE(pixelNear(img, 10, 40, kBlue));
    EXPECT_TRUE(pixelNear(img, 40, 40, kWhite, 3));  // half white over white
    EXPECT_TRUE(pixelNear(img, 105, 5, QColor(255, 255, 0)));
    EXPECT_TRUE(pixelNear(img, 115, 5, kBlack));
    EXPECT_TRUE(pixelNear(img, 125, 45, QColor(255, 255, 0)));  // the tile repeats
}

TEST(Bitmaps, ClippedFillsRepeatTheirEdgePixels) {
    Movie m;
    const uint16_t bmp = m.define(mcode::DefineBitsLossless2,
                                  media::losslessBody(0, 2, 2, 1, {0xffff0000, 0xff0000ff}));
    media::Fill f;
    f.type = 0x43;
    f.bitmapId = bmp;
    f.matrix = {400, 400, 0, 0, 1200, 800};  // 20 px per bitmap pixel at (60, 40)
    m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, 0, 0, 4000, 2000, f)), 1);
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 70, 50, kRed));
    EXPECT_TRUE(pixelNear(img, 90, 50, kBlue));
    EXPECT_TRUE(pixelNear(img, 10, 10, kRed));    // up and left: the corner pixel
    EXPECT_TRUE(pixelNear(img, 190, 95, kBlue));  // down and right
    EXPECT_TRUE(pixelNear(img, 70, 95, kRed));    // below the first column
}

TEST(Bitmaps, JpegKindsAndTheStreamsFlashAccepted) {
    QImage src(8, 8, QImage::Format_RGB32);
    src.fill(QColor(0, 0, 200));
    const std::vector<uint8_t> jpeg = encoded(src, "JPEG");
    // JPEG2 with the old erroneous header in front; DefineBits split at a stray EOI/SOI pair
    // with empty tables; JPEG3 with an alpha plane; a PNG in a JPEG2 tag.
    std::vector<uint8_t> withHeader{0xFF, 0xD9, 0xFF, 0xD8};
    withHeader.insert(withHeader.end(), jpeg.begin(), jpeg.end());
    Movie m;
    const uint16_t j2 = m.define(mcode::DefineBitsJPEG2, media::jpegBody(0, withHeader));
    m.b.rawTag(mcode::JPEGTables, std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9});
    const uint16_t j1 = m.define(mcode::DefineBits, media::jpegBody(0, jpeg));
    const uint16_t j3 =
        m.define(mcode::DefineBitsJPEG3, media::jpeg3Body(0, jpeg, std::vector<uint8_t>(64, 0)));
    QImage png(8, 8, QImage::Format_ARGB32);
    png.fill(QColor(0, 200, 0));
    const uint16_t p2 = m.define(mcode::DefineBitsJPEG2, media::jpegBody(0, encoded(png, "PNG")));
    const uint16_t ids[] = {j2, j1, j3, p2};
    for (int k = 0; k < 4; ++k) {
        media::Fill f;
        f.type = 0x41;
        f.bitmapId = ids[k];
        f.matrix = {100, 100, 0, 0, k * 1000, 0};  // 8 x 8 pixels to 40 x 40
        m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, k * 1000, 0, 800, 800, f)),
                  k + 1);
    }
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 20, 20, QColor(0, 0, 200), 12));
    EXPECT_TRUE(pixelNear(img, 70, 20, QColor(0, 0, 200), 12));
    EXPECT_TRUE(pixelNear(img, 120, 20, kWhite, 3));  // fully transparent by its alpha
    EXPECT_TRUE(pixelNear(img, 170, 20, QColor(0, 200, 0), 3));
}

TEST(Bitmaps, BrokenAndOversizedDataDrawNothing) {
    Movie m;
    const uint16_t huge =
        m.define(mcode::DefineBitsLossless,
                 media::losslessRawBody(0, 5, 8192, 8192, {0x78, 0x9c, 0x03, 0x00}));
    const uint16_t shortData =
        m.define(mcode::DefineBitsLossless2, media::losslessRawBody(0, 5, 100, 100, {1, 2, 3}));
    const uint16_t notJpeg =
        m.define(mcode::DefineBitsJPEG2, media::jpegBody(0, {0xFF, 0xD8, 0x00, 0x01, 0x02}));
    const uint16_t ids[] = {huge, shortData, notJpeg};
    for (int k = 0; k < 3; ++k) {
        media::Fill f;
        f.type = 0x40;
        f.bitmapId = ids[k];
        f.matrix = {20, 20, 0, 0, 0, 0};
        m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, k * 1000, 0, 800, 800, f)),
                  k + 1);
    }
    const QImage img = stage(m.play());
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(pixelNear(img, k * 50 + 20, 20, kWhite));
}

// Five bitmaps of 61 MiB each when decoded: the movie's bitmap budget holds four, the last
// one decoded is not drawn (a thousand such tags compress to a few megabytes).
TEST(Bitmaps, DecodedBitmapsShareTheMoviesBudget) {
    Movie m;
    const int side = 4000;
    const std::vector<uint8_t> indices(size_t(side) * side, 0);
    for (int k = 0; k < 5; ++k) {
        media::Fill f;
        f.type = 0x40;
        f.bitmapId = m.define(mcode::DefineBitsLossless,
                              media::losslessMappedBody(0, 1, side, side, {0xffff0000}, indices));
        const double s = 30.0 * 20 / side;  // the bitmap shown 30 px wide
        f.matrix = {s, s, 0, 0, k * 800, 0};
        m.b.place(m.define(mcode::DefineShape3, media::rectBody(0, 3, k * 800, 0, 600, 600, f)),
                  k + 1);
    }
    // Drawing threads decode in any order: which one is left out is not fixed, only that one is.
    const QImage img = stage(m.play());
    int red = 0, white = 0;
    for (int k = 0; k < 5; ++k) {
        red += pixelNear(img, k * 40 + 15, 15, kRed);
        white += pixelNear(img, k * 40 + 15, 15, kWhite);
    }
    EXPECT_EQ(red, 4);
    EXPECT_EQ(white, 1);
}

TEST(Morphs, RatioBlendsShapeAndColour) {
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        Movie m;
        const uint16_t id =
            m.define(version == 1 ? mcode::DefineMorphShape : mcode::DefineMorphShape2,
                     media::morphRectBody(0, version, 0, 0, 1000, 2000, {255, 0, 0, 255}, 3000, 0,
                                          1000, 2000, {0, 0, 255, 255}));
        m.b.place(id, 1, {}, {}, {}, 0, 0);
        m.b.showFrame();
        m.b.move(1, {});
        swftest::PlaceArgs half;
        half.depth = 1;
        half.move = true;
        half.ratio = 32768;
        m.b.placeObject(half);
        m.b.showFrame();
        half.ratio = 65535;
        m.b.placeObject(half);
        swf::Player p = m.play();
        QImage img = stage(p);
        EXPECT_TRUE(pixelNear(img, 25, 50, kRed));
        EXPECT_TRUE(pixelNear(img, 175, 50, kWhite));
        p.advanceFrame();
        img = stage(p);
        EXPECT_TRUE(pixelNear(img, 100, 50, QColor(128, 0, 127), 4));
        EXPECT_TRUE(pixelNear(img, 25, 50, kWhite));
        p.advanceFrame();
        img = stage(p);
        EXPECT_TRUE(pixelNear(img, 175, 50, kBlue));
        EXPECT_TRUE(pixelNear(img, 100, 50, kWhite));
    }
}

TEST(Morphs, ColoursBetweenTheEndsDropTheFraction) {
    // Two thirds of the way from red to blue: red 84.99 and blue 170.004 keep their whole
    // parts, 84 and 170.
    Movie m;
    const uint16_t id = m.define(mcode::DefineMorphShape,
                                 media::morphRectBody(0, 1, 0, 0, 4000, 2000, {255, 0, 0, 255}, 0,
                                                      0, 4000, 2000, {0, 0, 255, 255}));
    m.b.place(id, 1, {}, {}, {}, 0, 43691);
    const swf::Player p = m.play();
    for (auto q : {swf::Quality::Low, swf::Quality::High})
        EXPECT_TRUE(pixelNear(stage(p, q), 100, 50, QColor(84, 0, 170), 0));
}

TEST(Text, StaticTextWithEmbeddedFonts) {
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        Movie m;
        const uint16_t code = version == 1   ? mcode::DefineFont
                              : version == 2 ? mcode::DefineFont2
                                             : mcode::DefineFont3;
        const uint16_t font = m.define(code, media::fontBody(0, version, "Squares", squareFont()));
        if (version == 1)
            m.b.rawTag(mcode::DefineFontInfo, media::fontInfoBody(font, "Squares", squareFont()));
        // "AB" at 40 px high (800 twips) on a baseline at y 60 px, blue; then "A" in red.
        const uint16_t text = m.define(
            mcode::DefineText2,
            media::textBody(0, 2, 0, 4000, 0, 2000,
                            {{font, {0, 0, 255, 255}, 200, 1200, 800, {{0, 800}, {1, 800}}},
                             {font, {255, 0, 0, 255}, 2400, 1200, 800, {{0, 800}}}}));
        m.b.place(text, 1);
        const QImage img = stage(m.play());
        EXPECT_TRUE(pixelNear(img, 20, 50, kBlue));   // 'A' covers 10..50 px
        EXPECT_TRUE(pixelNear(img, 55, 50, kBlue));   // 'B' left half: 50..70
        EXPECT_TRUE(pixelNear(img, 80, 50, kWhite));  // 'B' right half is empty
        EXPECT_TRUE(pixelNear(img, 140, 50, kRed));   // second run
        EXPECT_TRUE(pixelNear(img, 20, 65, kWhite));  // below the baseline
    }
}

TEST(Text, EditFieldsWithEmbeddedAndDeviceFonts) {
    Movie m;
    const uint16_t font =
        m.define(mcode::DefineFont3, media::fontBody(0, 3, "Squares", squareFont()));
    media::EditText outlined;
    outlined.fontId = font;
    outlined.height = 400;  // 20 px
    outlined.color = Rgba{0, 128, 0, 255};
    outlined.text = "AAA";
    outlined.useOutlines = true;
    outlined.align = 2;  // centred in 0..200 px
    outlined.xMax = 4000;
    outlined.yMax = 800;
    m.b.place(m.define(mcode::DefineEditText, media::editTextBody(0, outlined)), 1);
    media::EditText device;
    device.yMin = 1000;
    device.yMax = 2000;
    device.xMax = 4000;
    device.height = 600;
    device.border = true;
    device.html = true;
    device.multiline = true;
    device.text = "<p><font face=\"_sans\" color=\"#ff0000\"><b>WWW 岚枫</b></font></p>";
    m.b.place(m.define(mcode::DefineEditText, media::editTextBody(0, device)), 2);
    const QImage img = stage(m.play());
    // Three 20-px squares centred: 70..130 px, from y 2 (gutter) + ascent.
    EXPECT_TRUE(pixelNear(img, 100, 12, QColor(0, 128, 0)));
    EXPECT_TRUE(pixelNear(img, 75, 12, QColor(0, 128, 0)));
    EXPECT_TRUE(pixelNear(img, 60, 12, kWhite));
    EXPECT_TRUE(pixelNear(img, 140, 12, kWhite));
    // The border is black; the device text leaves red pixels inside the box.
    EXPECT_LT(std::min(img.pixelColor(100, 49).red(), img.pixelColor(100, 50).red()), 140);
    int red = 0;
    for (int y = 52; y < 98; ++y)
        for (int x = 2; x < 198; ++x) {
            const QColor c = img.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 100;
        }
    EXPECT_GT(red, 40);

    // At low quality system-font text has hard edges: each pixel is the text's or the
    // background's.
    const QImage hard = stage(m.play(), swf::Quality::Low);
    int text = 0, mixed = 0;
    for (int y = 52; y < 98; ++y)
        for (int x = 2; x < 198; ++x) {
            const QColor c = hard.pixelColor(x, y);
            if (c == QColor(255, 0, 0))
                ++text;
            else if (c != QColor(255, 255, 255))
                ++mixed;
        }
    EXPECT_GT(text, 40);
    EXPECT_EQ(mixed, 0);
}

TEST(Text, OnlyFlash8GlyphsStartOnWholePixels) {
    for (int version : {2, 3}) {
        SCOPED_TRACE(version);
        Movie m;
        const uint16_t font = m.define(version == 2 ? mcode::DefineFont2 : mcode::DefineFont3,
                                       media::fontBody(0, version, "Squares", squareFont()));
        media::EditText field;
        field.fontId = font;
        field.height = 400;
        field.color = Rgba{0, 0, 255, 255};
        field.text = "A";
        field.useOutlines = true;
        field.xMax = 4000;
        field.yMax = 800;
        // The square starts at 10.5 + 2 (gutter) = 12.5 px.
        m.b.place(m.define(mcode::DefineEditText, media::editTextBody(0, field)), 1,
                  swftest::Matrix{1, 1, 0, 0, 210, 0});
        const QImage img = stage(m.play(), swf::Quality::Low);
        // A DefineFont3 glyph moves to 13 px; an older one keeps 12.5, taking pixel 12.
        EXPECT_TRUE(pixelNear(img, 12, 12, version == 2 ? kBlue : kWhite, 0));
        EXPECT_TRUE(pixelNear(img, 13, 12, kBlue, 0));
        EXPECT_TRUE(pixelNear(img, 32, 12, version == 2 ? kWhite : kBlue, 0));
    }
}

TEST(Text, OlderFontAdvancesDropTheirFraction) {
    // A 1010-unit advance at 12 px (240 twips) is 236.72 twips: 236 a glyph, not 237, so
    // after nine glyphs the tenth starts at 40 + 40 (gutter) + 2124 twips = 110.2 px.
    Movie m;
    const uint16_t font = m.define(
        mcode::DefineFont2,
        media::fontBody(0, 2, "Narrow", {{'C', {{0, -800}, {512, -800}, {512, 0}, {0, 0}}, 1010}}));
    media::EditText field;
    field.fontId = font;
    field.color = Rgba{0, 0, 255, 255};
    field.text = "CCCCCCCCCC";
    field.useOutlines = true;
    field.xMax = 4000;
    m.b.place(m.define(mcode::DefineEditText, media::editTextBody(0, field)), 1,
              swftest::Matrix{1, 1, 0, 0, 40, 0});
    const QImage img = stage(m.play(), swf::Quality::Low);
    EXPECT_TRUE(pixelNear(img, 110, 6, kBlue, 0));  // 110.2 to 116.2 px
    EXPECT_TRUE(pixelNear(img, 115, 6, kBlue, 0));
    EXPECT_TRUE(pixelNear(img, 116, 6, kWhite, 0));
}

TEST(Text, SmallGlyphsFollowTheirCurvesClosely) {
    // A round glyph of eight quadratic curves is cut as finely as at the font's own size, so
    // at 10 to 14 px it takes every pixel whose centre lies inside its curves by more than a
    // 25th of a pixel and none outside, as the player draws small text. Rows of them
    // land at many fractions of a pixel.
    std::vector<std::pair<int, int>> ring;
    const double r = 400, cx = 512, cy = -400;
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4, mid = a + M_PI / 8, k = r / std::cos(M_PI / 8);
        ring.push_back(
            {int(std::lround(cx + r * std::cos(a))), int(std::lround(cy + r * std::sin(a)))});
        ring.push_back(
            {int(std::lround(cx + k * std::cos(mid))), int(std::lround(cy + k * std::sin(mid)))});
    }
    const media::Glyph round{'O', ring, 1024, true};
    for (int height : {200, 280}) {
        SCOPED_TRACE(height);
        Movie m;
        const uint16_t font = m.define(mcode::DefineFont2, media::fontBody(0, 2, "Round", {round}));
        const int advance = height + 13, count = 12;
        const std::vector<std::pair<uint32_t, int>> glyphs(count, {0, advance});
        std::vector<media::TextRun> runs;
        for (int row = 0; row < 3; ++row)
            runs.push_back({font, {0, 0, 255, 255}, 7 * row + 3, 500 + 509 * row, height, glyphs});
        m.b.place(m.define(mcode::DefineText2, media::textBody(0, 2, 0, 4000, 0, 2000, runs)), 1);
        const QImage img = stage(m.play(), swf::Quality::Low);
        // Each glyph's curves in device pixels, against the pixels round it.
        const double s = height / 1024.0 / 20, margin = 0.04;
        int inner = 0, wrong = 0;
        for (const auto& run : runs)
            for (int g = 0; g < count; ++g) {
                auto dev = [&](std::pair<int, int> p) {
                    return QPointF((run.x + g * advance) / 20.0 + p.first * s,
                                   run.y / 20.0 + p.second * s);
                };
                QPainterPath exact;
                exact.moveTo(dev(ring[0]));
                for (size_t i = 0; i < ring.size(); i += 2)
                    exact.quadTo(dev(ring[i + 1]), dev(ring[(i + 2) % ring.size()]));
                const QRect around = exact.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
                for (int py = around.top(); py <= around.bottom(); ++py)
                    for (int px = around.left(); px <= around.right(); ++px) {
                        int inside = 0;
                        for (int k = 0; k < 8; ++k) {
                            const double a = k * M_PI / 4;
                            inside += exact.contains(QPointF(px + 0.5 + margin * std::cos(a),
                                                             py + 0.5 + margin * std::sin(a)));
                        }
                        const bool blue = img.pixelColor(px, py) == kBlue;
                        if (inside == 8) ++inner;
                        if ((inside == 8 && !blue) || (inside == 0 && blue)) ++wrong;
                    }
            }
        EXPECT_GT(inner, 1000);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(Text, HardSystemTextStepsWholePixels) {
    // Repeated characters come out alike wherever the field starts: each advance is a whole
    // number of pixels, so every stem has the same width and the same gap to the next.
    for (int tx : {200, 206, 213}) {
        SCOPED_TRACE(tx);
        Movie m;
        media::EditText device;
        device.xMax = 6000;
        device.yMax = 800;
        device.height = 400;
        device.text = "llllllllll";
        m.b.place(m.define(mcode::DefineEditText, media::editTextBody(0, device)), 1,
                  swftest::Matrix{1, 1, 0, 0, tx, 0});
        const QImage img = stage(m.play(), swf::Quality::Low);
        std::vector<std::pair<int, int>> stems;  // first column, width
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixelColor(x, 8).red() >= 128) continue;
            if (!stems.empty() && stems.back().first + stems.back().second == x)
                ++stems.back().second;
            else
                stems.push_back({x, 1});
        }
        ASSERT_EQ(stems.size(), 10u);
        for (size_t i = 1; i < stems.size(); ++i) {
            EXPECT_EQ(stems[i].second, stems[0].second);
            EXPECT_EQ(stems[i].first - stems[i - 1].first, stems[1].first - stems[0].first);
        }
    }
}

TEST(Text, FieldHtmlSubset) {
    const auto spans = swf::render::parseFieldHtml(
        "<p align=\"center\"><font face=\"Arial\" size=\"20\" color=\"#00ff00\">Hi "
        "<b>you</b></font></p>"
        "<p>x&lt;y<br>z &amp; <i><u>w</u></i> <a href=\"h\">link</a></p>");
    ASSERT_GE(spans.size(), 5u);
    EXPECT_EQ(spans[0].text, "Hi ");
    EXPECT_EQ(spans[0].face, "Arial");
    EXPECT_EQ(spans[0].size, 400);
    EXPECT_EQ(spans[0].color, QColor(0, 255, 0));
    EXPECT_EQ(spans[0].align, 2);
    EXPECT_EQ(spans[1].text, "you");
    EXPECT_TRUE(spans[1].bold);
    QString all;
    for (const auto& s : spans) all += s.text;
    EXPECT_EQ(all, "Hi you\nx<y\nz & w link");
    const auto it =
        std::find_if(spans.begin(), spans.end(), [](const auto& s) { return s.text == "w"; });
    ASSERT_NE(it, spans.end());
    EXPECT_TRUE(it->italic && it->underline);
}

TEST(Text, FieldTextEncodings) {
    EXPECT_EQ(swf::render::fieldText("\xe5\xb2\x9a\xe6\x9e\xab", 6), QString::fromUtf8("岚枫"));
    EXPECT_EQ(swf::render::fieldText("\xe1\xb0\xb7\xe3", 5), QString::fromUtf8("岚枫"));  // GBK
    EXPECT_EQ(swf::render::fieldText("abc", 4), "abc");
}

TEST(Buttons, UpStateIsDrawnWithItsColourTransform) {
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        Movie m;
        const uint16_t up = m.b.defineRect(0, 0, 2000, 2000, {255, 255, 255});
        const uint16_t over = m.b.defineRect(2000, 0, 2000, 2000, {0, 0, 0});
        const uint16_t button =
            m.define(version == 1 ? mcode::DefineButton : mcode::DefineButton2,
                     media::buttonBody(0, version, {{1, up, 1, {}}, {2 | 4 | 8, over, 2, {}}}));
        if (version == 1)
            m.b.rawTag(mcode::DefineButtonCxform,
                       media::buttonCxformBody(button, {256, 0, 0, 256}));
        m.b.place(button, 1);
        const QImage img = stage(m.play());
        EXPECT_TRUE(pixelNear(img, 50, 50, version == 1 ? kRed : kWhite));
        EXPECT_TRUE(pixelNear(img, 150, 50, kWhite));  // only the up state shows
    }
}

TEST(BlendModes, CompositeOverWhatIsBelow) {
    // Below: left half white, right half green. Above: a red square over the middle.
    struct Case {
        uint8_t mode;
        QColor onWhite, onGreen;
    };
    const Case cases[] = {
        {3, kRed, kBlack},                              // multiply
        {4, kWhite, QColor(255, 255, 0)},               // screen
        {5, kWhite, QColor(255, 255, 0)},               // lighten
        {6, kRed, kBlack},                              // darken
        {7, QColor(0, 255, 255), QColor(255, 255, 0)},  // difference
        {8, kWhite, QColor(255, 255, 0)},               // add
        {9, QColor(0, 255, 255), kGreen},               // subtract
        {10, kBlack, QColor(255, 0, 255)},              // invert
        {14, kRed, kRed},                               // hard light (red is a strong source)
        {2, kRed, kRed},                                // layer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mode));
        Movie m;
        m.b.place(m.b.defineRect(0, 0, 2000, 2000, {255, 255, 255}), 1);
        m.b.place(m.b.defineRect(2000, 0, 2000, 2000, {0, 255, 0}), 2);
        const uint16_t red = m.b.defineRect(1000, 0, 2000, 2000, {255, 0, 0});
        m.b.rawTag(mcode::PlaceObject3, media::place3Body(3, red, {}, c.mode));
        const QImage img = stage(m.play());
        EXPECT_TRUE(pixelNear(img, 75, 50, c.onWhite, 4));
        EXPECT_TRUE(pixelNear(img, 125, 50, c.onGreen, 4));
        EXPECT_TRUE(pixelNear(img, 25, 50, kWhite, 2));  // outside the square: untouched
    }
}

TEST(BlendModes, AlphaAndEraseCutIntoALayer) {
    // A sprite with layer mode holds a red square and, above it, a half square with erase.
    Movie m;
    const uint16_t red = m.b.defineRect(0, 0, 2000, 2000, {255, 0, 0});
    const uint16_t cut = m.b.defineRect(0, 0, 1000, 2000, {0, 0, 0});
    swftest::SpriteBuilder s;
    s.place(red, 1);
    s.rawTag(mcode::PlaceObject3, media::place3Body(2, cut, {}, 12));
    s.showFrame();
    const uint16_t sp = m.b.defineSprite(s);
    m.b.rawTag(mcode::PlaceObject3, media::place3Body(1, sp, {}, 2));
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 25, 50, kWhite));
    EXPECT_TRUE(pixelNear(img, 75, 50, kRed));
}

TEST(Filters, BlurShadowGlowBevelMatrixAndConvolution) {
    const float swap[20] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    Movie m;
    const uint16_t sq = m.b.defineRect(0, 0, 600, 600, {255, 0, 0});  // 30 px
    auto put = [&](int depth, int x, int y, const std::vector<uint8_t>& filter) {
        m.b.rawTag(mcode::PlaceObject3, media::place3Body(depth, sq, {1, 1, 0, 0, x * 20, y * 20},
                                                          std::nullopt, {filter}));
    };
    put(1, 10, 10, media::blurFilter(16, 16, 1));
    put(2, 60, 10, media::dropShadowFilter({0, 0, 0, 255}, 2, 0, 10, 1));  // 10 px to the right
    put(3, 120, 10, media::glowFilter({0, 0, 255, 255}, 8, 2));
    put(4, 10, 60, media::colorMatrixFilter(swap));
    put(5, 60, 60, media::bevelFilter({0, 0, 0, 255}, {255, 255, 255, 255}, 4, 0.785, 4, 2));
    put(6, 120, 60,
        media::convolutionFilter(3, 3, {0, 0, 0, 0, 0, 0, 0, 0, 1}, 1));  // shifts up-left
    const QImage img = stage(m.play());
    // Blur: the edge is soft and colour reaches past it.
    EXPECT_LT(img.pixelColor(11, 25).green(), 240);
    EXPECT_GT(img.pixelColor(11, 25).green(), 40);
    EXPECT_LT(img.pixelColor(7, 25).green(), 250);
    // Drop shadow: dark right of the square, nothing left of it.
    EXPECT_TRUE(pixelNear(img, 95, 25, kBlack, 60));
    EXPECT_TRUE(pixelNear(img, 56, 25, kWhite, 10));
    // Glow: blue around, the square itself stays red.
    EXPECT_GT(img.pixelColor(117, 25).blue(), 200);
    EXPECT_LT(img.pixelColor(117, 25).red(), 200);
    EXPECT_TRUE(pixelNear(img, 135, 25, kRed));
    // Colour matrix: red and blue swapped.
    EXPECT_TRUE(pixelNear(img, 25, 75, kBlue));
    // Bevel (inner): the lit top-left edge is lighter, the far edge darker than the middle.
    EXPECT_GT(img.pixelColor(62, 62).green(), 60);
    EXPECT_LT(img.pixelColor(87, 87).red(), 200);
    EXPECT_TRUE(pixelNear(img, 75, 75, kRed, 20));
    // Convolution: the square moved one pixel up and left.
    EXPECT_TRUE(pixelNear(img, 119, 75, kRed, 20));
    EXPECT_TRUE(pixelNear(img, 149, 75, kWhite, 20));
}

// Filtered sprites nested 64 deep, drawn at 2048 px: each level would want a layer of the whole
// view (1 GiB together). The layers alive at once stay within their budget and the square
// inside is still drawn.
TEST(Filters, NestedLayersStayWithinTheirBudget) {
    Movie m;
    uint16_t inner = m.b.defineRect(0, 0, 4000, 2000, {255, 0, 0});
    const float identity[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    for (int level = 0; level < 64; ++level) {
        swftest::SpriteBuilder s;
        s.rawTag(mcode::PlaceObject3, media::place3Body(1, inner, {}, std::nullopt,
                                                        {media::colorMatrixFilter(identity)}));
        s.showFrame();
        inner = m.b.defineSprite(s);
    }
    m.b.rawTag(mcode::PlaceObject3, media::place3Body(1, inner, {}, std::nullopt, {}));
    const swf::Player player = m.play();
    QImage img(2048, 2048, QImage::Format_ARGB32_Premultiplied);
    swf::render::takeLayerBytesPeak();
    {
        QPainter p(&img);
        player.render(p, img.rect(), swf::ScaleMode::ExactFit);
    }
    EXPECT_LE(swf::render::takeLayerBytesPeak(), int64_t(256) << 20);
    EXPECT_TRUE(pixelNear(img, 1024, 1024, kRed));
}

// Grey levels across row 30 from column x0, for a filtered black line on white.
std::vector<int> greys(const QImage& img, int x0, int n) {
    std::vector<int> out;
    for (int x = x0; x < x0 + n; ++x) out.push_back(img.pixelColor(x, 30).green());
    return out;
}

::testing::AssertionResult levelsNear(const std::vector<int>& got, const std::vector<int>& want) {
    for (size_t i = 0; i < want.size(); ++i)
        if (std::abs(got[i] - want[i]) > 1) {
            std::string s;
            for (int v : got) s += std::to_string(v) + " ";
            return ::testing::AssertionFailure() << "at " << i << ": " << s;
        }
    return ::testing::AssertionSuccess();
}

TEST(Filters, BlurSpreadsALineHalfItsWidthEachWay) {
    // One-pixel black lines at columns 20, 60, 100 and 140; each blur is centred on its line,
    // the box's ends covering part of a pixel count for that part, and each pass truncates.
    Movie m;
    const uint16_t line = m.b.defineRect(0, 0, 20, 1200, {0, 0, 0});
    auto put = [&](int depth, int x, const std::vector<uint8_t>& filter) {
        m.b.rawTag(mcode::PlaceObject3, media::place3Body(depth, line, {1, 1, 0, 0, x * 20, 200},
                                                          std::nullopt, {filter}));
    };
    put(1, 20, media::blurFilter(2, 2, 1));
    put(2, 60, media::blurFilter(4, 1, 1));
    put(3, 100, media::blurFilter(5, 5, 1));
    put(4, 140, media::blurFilter(2, 2, 2));
    const QImage img = stage(m.play());
    // 2: a quarter, a half, a quarter of 255, each rounded down.
    EXPECT_TRUE(levelsNear(greys(img, 18, 5), {255, 192, 128, 192, 255}));
    // 4: three whole pixels and a half at each end, over 4.
    EXPECT_TRUE(levelsNear(greys(img, 57, 7), {255, 224, 192, 192, 192, 224, 255}));
    // 5: five whole pixels.
    EXPECT_TRUE(levelsNear(greys(img, 97, 7), {255, 204, 204, 204, 204, 204, 255}));
    // Two passes of 2 blur the first pass's 63 127 63 again.
    EXPECT_TRUE(levelsNear(greys(img, 137, 7), {255, 240, 192, 160, 192, 240, 255}));
    // The line's ends blur vertically as well, except for the blur of 4 across only.
    EXPECT_TRUE(pixelNear(img, 20, 9, QColor(224, 224, 224), 1));
    EXPECT_TRUE(pixelNear(img, 60, 10, QColor(192, 192, 192), 1));
    EXPECT_TRUE(pixelNear(img, 60, 9, kWhite, 0));
}

TEST(Filters, ShadowsMoveByWholePixelsAndKnockOutTheObject) {
    // 20 px black squares; a blur of 1 leaves the shadow's edges hard.
    Movie m;
    const uint16_t sq = m.b.defineRect(0, 0, 400, 400, {255, 0, 0});
    auto put = [&](int depth, int x, const std::vector<uint8_t>& filter) {
        m.b.rawTag(mcode::PlaceObject3,
                   media::place3Body(depth, sq, {1, 1, 0, 0, x * 20, 400}, std::nullopt, {filter}));
    };
    const double down = 1.5707963;
    put(1, 10, media::dropShadowFilter({0, 0, 255, 255}, 1, 0, 4.4, 1));  // 4 px right
    put(2, 50, media::dropShadowFilter({0, 0, 255, 255}, 1, down, 3, 1, false, true));
    put(3, 90, media::dropShadowFilter({0, 0, 255, 255}, 1, 0, 5, 1, true));
    put(4, 130, media::dropShadowFilter({0, 0, 255, 128}, 1, 0, 5, 1, true, true));
    const QImage img = stage(m.play());
    EXPECT_TRUE(pixelNear(img, 29, 30, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 33, 30, kBlue, 0));
    EXPECT_TRUE(pixelNear(img, 34, 30, kWhite, 0));
    // Knocked out: the shadow only where the object is not.
    EXPECT_TRUE(pixelNear(img, 60, 30, kWhite, 0));
    EXPECT_TRUE(pixelNear(img, 60, 42, kBlue, 0));
    EXPECT_TRUE(pixelNear(img, 60, 43, kWhite, 0));
    // Inner: the space left of the object casts onto its first five columns.
    EXPECT_TRUE(pixelNear(img, 94, 30, kBlue, 0));
    EXPECT_TRUE(pixelNear(img, 95, 30, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 89, 30, kWhite, 0));
    // Inner knocked out: half-transparent shadow alone, inside the object only.
    EXPECT_TRUE(pixelNear(img, 132, 30, QColor(127, 127, 255), 1));
    EXPECT_TRUE(pixelNear(img, 140, 30, kWhite, 0));
    EXPECT_TRUE(pixelNear(img, 129, 30, kWhite, 0));
}

TEST(Filters, LayersLandOnWholePixelsFromWhereTheFiltersReachHalvesAwayFromZero) {
    // 10 px red squares whose corners sit on half pixels. The layer starts where the filters
    // reach (blur times passes, a shadow's offset on its side) and rounds to a whole pixel,
    // halves away from zero: a layer reaching past the stage's top edge moves its object up.
    Movie m;
    const uint16_t sq = m.b.defineRect(0, 0, 200, 200, {255, 0, 0});
    auto put = [&](int depth, double x, double y, const std::vector<uint8_t>& filter) {
        m.b.rawTag(mcode::PlaceObject3,
                   media::place3Body(depth, sq, {1, 1, 0, 0, int(x * 20), int(y * 20)},
                                     std::nullopt, {filter}));
    };
    const double up = -1.5707963;
    put(1, 20.5, 3.5, media::dropShadowFilter({0, 0, 255, 255}, 0, up, 8, 1));   // from -4.5
    put(2, 60.5, 23.5, media::dropShadowFilter({0, 0, 255, 255}, 0, up, 8, 1));  // from 15.5
    put(3, 100.5, 10.5, media::blurFilter(16, 16, 1));                           // from -5.5
    put(4, 140.5, 10.5, media::blurFilter(10, 10, 1));                           // from 0.5
    const QImage img = stage(m.play(), swf::Quality::Low);
    // Above the stage's edge: up half a pixel, but right half a pixel across.
    EXPECT_TRUE(pixelNear(img, 21, 3, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 21, 12, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 21, 13, kWhite, 0));
    EXPECT_TRUE(pixelNear(img, 20, 8, kWhite, 0));
    EXPECT_TRUE(pixelNear(img, 30, 8, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 25, 2, kBlue, 0));
    // Below it: down half a pixel.
    EXPECT_TRUE(pixelNear(img, 61, 23, kBlue, 0));
    EXPECT_TRUE(pixelNear(img, 61, 24, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 61, 33, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 61, 34, kWhite, 0));
    // A blur of 16 reaches past the edge and is centred on y 15, one of 10 does not and is
    // centred on y 16; across, both are centred on a pixel's right edge.
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(img.pixelColor(105, 15 - k).green(), img.pixelColor(105, 14 + k).green()) << k;
        EXPECT_EQ(img.pixelColor(145, 16 - k).green(), img.pixelColor(145, 15 + k).green()) << k;
        EXPECT_EQ(img.pixelColor(106 - k, 15).green(), img.pixelColor(105 + k, 15).green()) << k;
    }
    EXPECT_LT(img.pixelColor(105, 5).green(), img.pixelColor(105, 26).green());
}

TEST(Filters, GlowStrengthMultipliesAndSaturates) {
    Movie m;
    const uint16_t line = m.b.defineRect(0, 0, 20, 1200, {0, 0, 0});
    auto put = [&](int depth, int x, double strength) {
        m.b.rawTag(mcode::PlaceObject3,
                   media::place3Body(depth, line, {1, 1, 0, 0, x * 20, 200}, std::nullopt,
                                     {media::glowFilter({255, 0, 0, 255}, 4, strength)}));
    };
    put(1, 20, 1);
    put(2, 60, 2);
    put(3, 100, 10);
    const QImage img = stage(m.play());
    // Blur 4 gives 31 at two pixels out and 63 next to the line.
    EXPECT_TRUE(pixelNear(img, 18, 30, QColor(255, 224, 224), 1));
    EXPECT_TRUE(pixelNear(img, 19, 30, QColor(255, 192, 192), 1));
    EXPECT_TRUE(pixelNear(img, 58, 30, QColor(255, 193, 193), 1));
    EXPECT_TRUE(pixelNear(img, 59, 30, QColor(255, 129, 129), 1));
    EXPECT_TRUE(pixelNear(img, 98, 30, kRed, 0));
    EXPECT_TRUE(pixelNear(img, 100, 30, kBlack, 0));
    EXPECT_TRUE(pixelNear(img, 97, 30, kWhite, 0));
}

TEST(Filters, BevelsLieOverInsideAndUnderOutsideTheObject) {
    // Half-transparent blue squares, 20 px; a bevel without blur moved 4 px puts its red
    // highlight over the four columns either side of each square's left edge.
    Movie m;
    const uint16_t sq = m.b.defineRect(0, 0, 400, 400, {0, 0, 255, 128}, 3);
    auto put = [&](int depth, int x, media::BevelKind kind, bool knockout) {
        m.b.rawTag(mcode::PlaceObject3,
                   media::place3Body(depth, sq, {1, 1, 0, 0, x * 20, 400}, std::nullopt,
                                     {media::bevelFilter({0, 255, 0, 255}, {255, 0, 0, 255}, 1, 0,
                                                         4, 1, kind, knockout)}));
    };
    put(1, 10, media::BevelKind::Inner, false);
    put(2, 50, media::BevelKind::Outer, false);
    put(3, 90, media::BevelKind::Outer, true);
    put(4, 130, media::BevelKind::Full, true);
    const QImage img = stage(m.play(), swf::Quality::Low);
    // Inner: half the highlight over the object, whose own alpha stays at a half.
    EXPECT_TRUE(pixelNear(img, 11, 30, QColor(191, 127, 191), 2));
    EXPECT_TRUE(pixelNear(img, 7, 30, kWhite, 0));
    EXPECT_TRUE(pixelNear(img, 20, 30, QColor(127, 127, 255), 1));
    // Outer: beside the object, and seen through it where it is clear.
    EXPECT_TRUE(pixelNear(img, 47, 30, QColor(255, 127, 127), 2));
    EXPECT_TRUE(pixelNear(img, 51, 30, QColor(127, 63, 191), 2));
    // Knocked out, an outer bevel keeps only what lies beyond the object's alpha...
    EXPECT_TRUE(pixelNear(img, 91, 30, QColor(255, 191, 191), 2));
    EXPECT_TRUE(pixelNear(img, 87, 30, QColor(255, 127, 127), 2));
    // ...and a full one all of itself, the object gone.
    EXPECT_TRUE(pixelNear(img, 131, 30, QColor(255, 127, 127), 2));
    EXPECT_TRUE(pixelNear(img, 140, 30, kWhite, 0));
}

TEST(Stage, QualityAndBackgroundOverride) {
    Movie m;
    // An edge through the middle of pixel column 100.
    m.b.place(m.define(mcode::DefineShape3,
                       media::shapeBody(0, 3, {{2010, 0}, {4000, 0}, {4000, 2000}, {2010, 2000}},
                                        media::Fill{0x00, {0, 0, 0, 255}})),
              1);
    swf::Player p = m.play();
    const QColor smooth = stage(p, swf::Quality::High).pixelColor(100, 50);
    const QColor hard = stage(p, swf::Quality::Low).pixelColor(100, 50);
    EXPECT_GT(smooth.red(), 40);
    EXPECT_LT(smooth.red(), 215);
    EXPECT_TRUE(hard.red() == 0 || hard.red() == 255) << hard.name().toStdString();
    // A hard-edged hairline on the boundary after x 59 takes pixel 59, as Flash's does.
    Movie lines;
    media::Line hair;
    hair.width = 1;
    hair.color = {0, 0, 255, 255};
    lines.b.place(
        lines.define(mcode::DefineShape3,
                     media::shapeBody(0, 3, {{200, 200}, {1200, 200}, {1200, 1200}, {200, 1200}},
                                      std::nullopt, hair)),
        1);
    const QImage hairImg = stage(lines.play(), swf::Quality::Low);
    EXPECT_TRUE(pixelNear(hairImg, 59, 30, kBlue, 0));
    EXPECT_TRUE(pixelNear(hairImg, 60, 30, kWhite, 0));
    QImage img(200, 100, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&img);
    p.render(painter, img.rect(), swf::ScaleMode::ExactFit, QColor(Qt::yellow));
    painter.end();
    EXPECT_TRUE(pixelNear(img, 10, 50, QColor(Qt::yellow), 0));
}

TEST(Filters, KeptLayersFollowWhatTheyShow) {
    // A blurred sprite that turns from red to blue: the filtered layer is redrawn when its
    // content changes, and moves with its object.
    Movie m;
    const uint16_t red = m.b.defineRect(0, 0, 1000, 1000, {255, 0, 0});
    const uint16_t blue = m.b.defineRect(0, 0, 1000, 1000, {0, 0, 255});
    swftest::SpriteBuilder s;
    s.place(red, 1);
    s.showFrame();
    s.replace(blue, 1);
    s.showFrame();
    const uint16_t sp = m.b.defineSprite(s);
    m.b.rawTag(mcode::PlaceObject3,
               media::place3Body(1, sp, {}, std::nullopt, {media::blurFilter(2, 2, 1)}));
    m.b.showFrame();
    m.b.move(1, {1, 1, 0, 0, 2000, 0});
    swf::Player p = m.play();
    EXPECT_TRUE(pixelNear(stage(p), 25, 25, kRed, 12));
    EXPECT_TRUE(pixelNear(stage(p), 25, 25, kRed, 12));  // drawn again from the kept layer
    p.advanceFrame();
    const QImage img = stage(p);
    EXPECT_TRUE(pixelNear(img, 125, 25, kBlue, 12));
    EXPECT_TRUE(pixelNear(img, 25, 25, kWhite, 12));
}

TEST(HardEdges, PixelsWhoseCentresAShapeHolds) {
    // A square from 10.5 to 20.5 px each way: a centre on its left or top edge is inside, one
    // on its right or bottom edge is not. A 1-px line centred on x 100 (so from 99.5 to 100.5)
    // takes column 99 alone, however it is drawn.
    Movie m;
    m.b.place(m.b.defineRect(210, 210, 200, 200, {255, 0, 0}), 1);
    media::Line line;
    line.color = {0, 0, 255, 255};
    m.b.place(m.define(mcode::DefineShape3,
                       media::shapeBody(0, 3, {{2000, 400}, {2000, 1600}}, std::nullopt, line,
                                        /*open=*/true)),
              2);
    const QImage img = stage(m.play(), swf::Quality::Low);
    for (int i : {10, 19}) {
        EXPECT_TRUE(pixelNear(img, i, 15, kRed, 0)) << i;
        EXPECT_TRUE(pixelNear(img, 15, i, kRed, 0)) << i;
    }
    for (int i : {9, 20}) {
        EXPECT_TRUE(pixelNear(img, i, 15, kWhite, 0)) << i;
        EXPECT_TRUE(pixelNear(img, 15, i, kWhite, 0)) << i;
    }
    for (int y : {30, 50, 70}) {
        EXPECT_TRUE(pixelNear(img, 99, y, kBlue, 0)) << y;
        EXPECT_TRUE(pixelNear(img, 98, y, kWhite, 0)) << y;
        EXPECT_TRUE(pixelNear(img, 100, y, kWhite, 0)) << y;
    }
}

TEST(HardEdges, CachedBitmapsLandOnWholePixels) {
    // A sprite whose left edge is at 10.6 px holds a second square from 30.2 px. Cached as a
    // bitmap (or filtered), it lands at 11 and everything in it moves 0.4 px right, so the
    // second square starts at column 31; a blend layer keeps the stage's pixels (column 30).
    const float identity[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    struct Case {
        const char* what;
        bool cache;
        std::optional<uint8_t> blend;
        bool filtered;
        int firstColumn;
    };
    const Case cases[] = {{"cached", true, std::nullopt, false, 31},
                          {"filtered", false, std::nullopt, true, 31},
                          {"blend layer", false, 2, false, 30},
                          {"plain", false, std::nullopt, false, 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Movie m;
        swftest::SpriteBuilder s;
        s.place(m.b.defineRect(212, 200, 188, 1600, {0, 0, 255}), 1);
        s.place(m.b.defineRect(604, 200, 396, 1600, {255, 0, 0}), 2);
        s.showFrame();
        const uint16_t sp = m.b.defineSprite(s);
        if (c.filtered) {
            m.b.rawTag(
                mcode::PlaceObject3,
                media::place3Body(1, sp, {}, std::nullopt, {media::colorMatrixFilter(identity)}));
        } else {
            m.b.place3(sp, 1, {}, {}, {}, 0, {}, c.blend,
                       c.cache ? std::optional<bool>(true) : std::nullopt);
        }
        const QImage img = stage(m.play(), swf::Quality::Low);
        EXPECT_TRUE(pixelNear(img, c.firstColumn, 50, kRed, 0));
        EXPECT_TRUE(pixelNear(img, c.firstColumn - 1, 50, kWhite, 0));
        EXPECT_TRUE(pixelNear(img, 45, 50, kRed, 0));
    }
}

TEST(BlendModes, AlphaLeavesTheLayerUnderFullyTransparentPixels) {
    // A layer holds a red square; above it, with alpha, a shape whose left half is fully
    // transparent and whose right half is half opaque. The red stays whole on the left and
    // fades to half on the right; past the red there is nothing to fade.
    Movie m;
    swftest::SpriteBuilder s;
    s.place(m.b.defineRect(0, 0, 3000, 2000, {255, 0, 0}), 1);
    const uint16_t clear = m.define(
        mcode::DefineShape3, media::shapeBody(0, 3, {{0, 0}, {2000, 0}, {2000, 2000}, {0, 2000}},
                                              media::Fill{0x00, {0, 0, 0, 0}}));
    const uint16_t half =
        m.define(mcode::DefineShape3,
                 media::shapeBody(0, 3, {{2000, 0}, {4000, 0}, {4000, 2000}, {2000, 2000}},
                                  media::Fill{0x00, {0, 0, 0, 128}}));
    swftest::SpriteBuilder mask;
    mask.place(clear, 1);
    mask.place(half, 2);
    mask.showFrame();
    s.rawTag(mcode::PlaceObject3, media::place3Body(2, m.b.defineSprite(mask), {}, 11));
    s.showFrame();
    m.b.rawTag(mcode::PlaceObject3, media::place3Body(1, m.b.defineSprite(s), {}, 2));
    const swf::Player p = m.play();
    for (auto q : {swf::Quality::Low, swf::Quality::High}) {
        const QImage img = stage(p, q);
        EXPECT_TRUE(pixelNear(img, 50, 50, kRed, 2));
        EXPECT_TRUE(pixelNear(img, 125, 50, QColor(255, 127, 127), 3));
        EXPECT_TRUE(pixelNear(img, 175, 50, kWhite, 0));
    }
}
