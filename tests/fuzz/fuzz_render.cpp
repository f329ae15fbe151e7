// Loading, two frames and their drawing on a small stage: shapes, fonts, text, bitmaps and
// filters as the bytes declare them.
#include <QImage>
#include <QPainter>

#include "engine/player.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ensureGuiApp();
    std::shared_ptr<const swf::Movie> movie;
    try {
        movie = swf::loadMovie(std::span<const uint8_t>(data, size));
    } catch (const swf::LoadError&) {
        return 0;
    }
    swf::Player player(movie);
    player.setTraceSink([](std::string_view) {});
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int frame = 0; frame < 2; ++frame) {
        QPainter painter(&image);
        player.render(painter, image.rect(), swf::ScaleMode::ShowAll);
        painter.end();
        player.advanceFrame();
    }
    return 0;
}
