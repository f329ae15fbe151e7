// The stage drawn in tiles on several threads, and tiles kept from earlier frames: every
// frame must be the one a single thread draws afresh, at any window size.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "engine/render/renderer.h"
#include "tests/engine/pixel_util.h"
#include "tests/engine/test_util.h"
#include "tests/support/swf_writer_media.h"

using enginetest::load;
using swftest::SwfBuilder;
namespace media = swftest::media;
namespace code = swftest::media::code;

namespace {

// Gradients (linear turned, radial), a bitmap fill, static text, a blurred, shadowed shape and a
// gradient under a turned mask; frame 2 moves some by fractions of a pixel, frame 3 changes
// nothing, frame 4 puts frame 1's places back.
std::vector<uint8_t> mixedMovie() {
    SwfBuilder b(8, 300, 200, 24);
    b.setBackground({250, 250, 240});
    auto gradient = [](uint8_t type, double s, double turn) {
        media::Fill f;
        f.type = type;
        f.spread = 1;
        f.matrix = {s, s, turn, -turn, 1500, 1000};
        f.stops = {{0, {255, 0, 0, 255}}, {128, {0, 0, 255, 170}}, {255, {0, 200, 0, 120}}};
        return f;
    };
    auto shape = [&](const media::Fill& f, int w, int h) {
        const uint16_t id = b.reserveId();
        b.rawTag(code::DefineShape3, media::rectBody(id, 3, 0, 0, w, h, f));
        return id;
    };
    const uint16_t linear = shape(gradient(0x10, 0.08, 0.03), 3000, 2000);
    const uint16_t radial = shape(gradient(0x12, 0.06, 0), 2600, 2600);
    std::vector<uint32_t> px;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) px.push_back((x + y) % 2 ? 0xff2040c0u : 0xfff0c020u);
    const uint16_t bitmap = b.reserveId();
    b.rawTag(code::DefineBitsLossless2, media::losslessBody(bitmap, 2, 8, 8, px));
    media::Fill bf;
    bf.type = 0x41;
    bf.bitmapId = bitmap;
    bf.matrix = {150, 150, 0, 0, 0, 0};
    const uint16_t tiles = shape(bf, 2400, 2400);
    const uint16_t font = b.reserveId();
    b.rawTag(code::DefineFont2,
             media::fontBody(font, 2, "Marks",
                             {{'A', {{0, -800}, {512, -900}, {1024, -800}, {512, 0}}, 1024},
                              {'B', {{0, -800}, {300, -800}, {300, 0}, {0, 0}}, 700}}));
    const uint16_t text = b.reserveId();
    b.rawTag(code::DefineText2,
             media::textBody(
                 text, 2, 0, 5000, 0, 1400,
                 {{font, {20, 20, 20, 255}, 100, 900, 700, {{0, 700}, {1, 500}, {0, 700}}}}));
    media::Fill solid;
    solid.color = {30, 160, 90, 255};
    const uint16_t blurred = shape(solid, 1600, 1200);
    const uint16_t mask = shape(solid, 1400, 900);
    b.place(linear, 1, {1, 1, 0, 0, 300, 200});
    b.place(radial, 2, {1, 1, 0, 0, 2900, 900});
    b.place(tiles, 3, {1, 1, 0, 0, 4000, 300});
    b.place(text, 4, {1, 1, 0, 0, 600, 2600});
    b.rawTag(code::PlaceObject3,
             media::place3Body(5, blurred, {1, 1, 0, 0, 1000, 1500}, std::nullopt,
                               {media::blurFilter(6, 4, 2),
                                media::dropShadowFilter({0, 0, 0, 200}, 5, 0.7, 6, 1)}));
    b.place(mask, 6, {0.9, 0.9, 0.3, -0.3, 4200, 2300}, std::nullopt, std::nullopt, 7);
    b.place(radial, 7, {1, 1, 0, 0, 3900, 1900});
    b.showFrame();
    b.move(2, {1.1, 0.9, 0, 0, 2913, 907});
    b.move(5, {1, 1, 0, 0, 1231, 1477});
    b.move(4, {1, 1, 0, 0, 611, 2590});
    b.move(7, {1.05, 1, 0, 0, 3933, 1887});
    b.showFrame();
    b.showFrame();
    b.move(2, {1, 1, 0, 0, 2900, 900});
    b.move(5, {1, 1, 0, 0, 1000, 1500});
    b.move(4, {1, 1, 0, 0, 600, 2600});
    b.move(7, {1, 1, 0, 0, 3900, 1900});
    b.showFrame();
    return b.bytes();
}

QImage draw(const swf::Player& p, QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter painter(&img);
    p.render(painter, img.rect(), swf::ScaleMode::ShowAll);
    return img;
}

}  // namespace

TEST(RenderTiles, ThreadsAndKeptTilesGiveTheFramesOneThreadDrawsAfresh) {
    const auto movie = load(mixedMovie());
    const QSize sizes[] = {{300, 200}, {372, 272}, {1279, 719}, {137, 91}, {1920, 1080}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        swf::Player one(movie), two(movie);
        for (int f = 0; f < 5; ++f) {
            SCOPED_TRACE(testing::Message() << "frame " << f);
            if (f > 0) {
                one.advanceFrame();
                two.advanceFrame();
            }
            swf::setRenderThreads(1);
            const QImage single = draw(one, size);
            swf::Player fresh(movie);
            fresh.gotoFrame(one.currentFrame());
            const QImage afresh = draw(fresh, size);
            swf::setRenderThreads(2);
            const QImage threaded = draw(two, size);
            EXPECT_EQ(enginetest::differingPixels(single, afresh), 0);
            EXPECT_EQ(enginetest::differingPixels(single, threaded), 0);
            // The frame really shows its movie: not one flat colour.
            EXPECT_NE(single.pixel(size.width() / 3, size.height() / 3),
                      single.pixel(size.width() / 2, size.height() * 3 / 4));
        }
    }
    swf::setRenderThreads(0);
}

// A high-density device is drawn in tiles of its own pixels too: the frame is the one drawn at
// that many pixels on a plain device, and a frame that did not change draws no tile again.
TEST(RenderTiles, AHighDensityDeviceIsTiledInItsOwnPixels) {
    const auto movie = load(mixedMovie());
    swf::Player player(movie);
    for (const double ratio : {2.0, 1.5}) {
        SCOPED_TRACE(testing::Message() << "ratio " << ratio);
        const QSize logical(300, 200);
        const QSize pixels = (QSizeF(logical) * ratio).toSize();
        QImage plain(pixels, QImage::Format_ARGB32_Premultiplied);
        {
            QPainter painter(&plain);
            swf::render::renderStage(painter, plain.rect(), swf::ScaleMode::ShowAll,
                                     QColor(250, 250, 240), player.movie(), player.displayList());
        }
        swf::render::StageCache cache;
        QImage dense(pixels, QImage::Format_ARGB32_Premultiplied);
        dense.setDevicePixelRatio(ratio);
        for (int pass = 0; pass < 2; ++pass) {
            dense.fill(Qt::black);
            QPainter painter(&dense);
            swf::render::renderStage(painter, QRect(QPoint(0, 0), logical), swf::ScaleMode::ShowAll,
                                     QColor(250, 250, 240), player.movie(), player.displayList(),
                                     true, &cache);
        }
        EXPECT_EQ(cache.last.drawn + cache.last.recalled, 0) << "the same frame again";
        EXPECT_GT(cache.last.kept, 0);
        dense.setDevicePixelRatio(1);
        EXPECT_EQ(enginetest::differingPixels(plain, dense), 0);
        // On through the frames and back to the first: tiles taken back from their older
        // pictures reach a device that takes the frame whole too.
        swf::Player moving(movie);
        int recalled = 0;
        for (int f = 0; f < 5; ++f) {
            if (f > 0) moving.advanceFrame();
            {
                QPainter painter(&plain);
                swf::render::renderStage(painter, plain.rect(), swf::ScaleMode::ShowAll,
                                         QColor(250, 250, 240), moving.movie(),
                                         moving.displayList());
            }
            dense.setDevicePixelRatio(ratio);
            {
                QPainter painter(&dense);
                swf::render::renderStage(painter, QRect(QPoint(0, 0), logical),
                                         swf::ScaleMode::ShowAll, QColor(250, 250, 240),
                                         moving.movie(), moving.displayList(), true, &cache);
            }
            dense.setDevicePixelRatio(1);
            EXPECT_EQ(enginetest::differingPixels(plain, dense), 0) << "frame " << f;
            recalled += cache.last.recalled;
        }
        EXPECT_GT(recalled, 0);
    }
}
