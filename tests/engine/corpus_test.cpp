// Every movie of the reference corpus loads (or is refused cleanly), plays a few frames and
// draws without crashing.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <filesystem>

#include "engine/player.h"

TEST(Corpus, EveryPeerMovieLoadsPlaysAndDraws) {
    const std::filesystem::path root = LANFENG_PEER_CORPUS;
    if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
    int loaded = 0, refused = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().filename() != "test.swf") continue;
        SCOPED_TRACE(entry.path().string());
        std::shared_ptr<const swf::Movie> movie;
        try {
            movie = swf::loadMovieFile(entry.path().string());
        } catch (const swf::LoadError&) {
            ++refused;
            continue;
        }
        ++loaded;
        swf::Player p(movie);
        QImage img(160, 120, QImage::Format_ARGB32_Premultiplied);
        for (int f = 0; f < 4; ++f) {
            QPainter painter(&img);
            p.render(painter, img.rect(), swf::ScaleMode::ShowAll);
            p.advanceFrame();
        }
        p.gotoFrame(0);
        EXPECT_EQ(p.currentFrame(), 0);
    }
    EXPECT_GT(loaded, 0);
    EXPECT_LE(refused, loaded / 50);  // refusing is for broken files, not for real movies
}
