#pragma once
// A movie built by the writer, played by a real player, its trace lines collected.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <memory>
#include <string>
#include <vector>

#include "engine/player.h"
#include "tests/support/swf_writer.h"

namespace avm1test {

// Device text needs the font database of a GUI application; made once, on first need.
inline void ensureGuiApp() {
    static int argc = 1;
    static char name[] = "avm1_test";
    static char* argv[] = {name, nullptr};
    static auto* app = QGuiApplication::instance() ? nullptr : new QGuiApplication(argc, argv);
    (void)app;
}

struct Run {
    std::unique_ptr<swf::Player> player;
    std::vector<std::string> lines;
    // The lines traced since the last call, each ended by "\n".
    std::string take() {
        std::string out;
        for (auto& l : lines) out += l + "\n";
        lines.clear();
        return out;
    }
    QImage frame() const {
        ensureGuiApp();
        QImage img(200, 100, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&img);
        player->render(p, img.rect(), swf::ScaleMode::NoScale);
        return img;
    }
};

// The player keeps the movie alive; the builder's bytes are copied by the loader.
inline std::unique_ptr<Run> play(const swftest::SwfBuilder& b) {
    auto r = std::make_unique<Run>();
    r->player = std::make_unique<swf::Player>(swf::loadMovie(b.bytes()));
    r->player->setTraceSink([p = r.get()](std::string_view l) { p->lines.emplace_back(l); });
    return r;
}

// A library sprite of one empty frame, for tests that only need a clip to stand somewhere.
inline uint16_t blankSprite(swftest::SwfBuilder& b) {
    swftest::SpriteBuilder s;
    s.showFrame();
    return b.defineSprite(s);
}

}  // namespace avm1test
