// The root timeline: ticking, looping, stepping and seeking in both directions.
#include <gtest/gtest.h>

#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"
#include "tests/engine/test_util.h"

using enginetest::load;
using swftest::SwfBuilder;

namespace {

// frames long; depth 1 moves every frame, depth 2 comes and goes every 7 frames, depth 3
// is replaced every 50: enough churn that a wrong replay shows.
std::vector<uint8_t> churningBytes(int frames) {
    SwfBuilder b(6, 200, 200, 30);
    const uint16_t red = b.defineRect(0, 0, 400, 400, {255, 0, 0});
    const uint16_t blue = b.defineRect(0, 0, 400, 400, {0, 0, 255});
    b.place(red, 1);
    b.place(blue, 3);
    for (int f = 0; f < frames; ++f) {
        if (f > 0) b.move(1, {.tx = f % 3000, .ty = f / 3});
        if (f % 7 == 3) b.place(blue, 2, {.tx = f});
        if (f % 7 == 5) b.remove(2);
        if (f % 50 == 49) b.replace(f % 100 == 49 ? red : blue, 3, {.ty = f});
        if (f == frames / 2) b.label("middle");
        b.showFrame();
    }
    return b.bytes(swftest::Compression::Zlib);
}

std::shared_ptr<const swf::Movie> churningMovie(int frames) { return load(churningBytes(frames)); }

swf::DisplayList playedTo(const std::shared_ptr<const swf::Movie>& m, int frame) {
    swf::Player p(m);
    for (int i = 0; i < frame; ++i) p.advanceFrame();
    EXPECT_EQ(p.currentFrame(), frame);
    return p.displayList();
}

}  // namespace

TEST(Timeline, TicksLoopAndStop) {
    auto m = churningMovie(10);
    swf::Player p(m);
    EXPECT_EQ(p.totalFrames(), 10);
    EXPECT_EQ(p.currentFrame(), 0);
    EXPECT_TRUE(p.isPlaying());
    const swf::DisplayList first = p.displayList();
    for (int i = 0; i < 9; ++i) p.advanceFrame();
    EXPECT_EQ(p.currentFrame(), 9);
    p.advanceFrame();  // the end loops back to the start
    EXPECT_EQ(p.currentFrame(), 0);
    EXPECT_EQ(p.displayList(), first);
    p.stop();
    p.advanceFrame();
    EXPECT_EQ(p.currentFrame(), 0);
    p.play();
    p.advanceFrame();
    EXPECT_EQ(p.currentFrame(), 1);
}

TEST(Timeline, StepCommands) {
    auto m = churningMovie(10);
    swf::Player p(m);
    p.back();  // nothing before frame 0, but it stops
    EXPECT_EQ(p.currentFrame(), 0);
    EXPECT_FALSE(p.isPlaying());
    p.forward();
    p.forward();
    EXPECT_EQ(p.currentFrame(), 2);
    EXPECT_EQ(p.displayList(), playedTo(m, 2));
    p.back();
    EXPECT_EQ(p.currentFrame(), 1);
    EXPECT_EQ(p.displayList(), playedTo(m, 1));
    p.gotoFrame(9);
    p.forward();  // nothing after the last frame
    EXPECT_EQ(p.currentFrame(), 9);
    p.play();
    p.rewind();
    EXPECT_EQ(p.currentFrame(), 0);
    EXPECT_FALSE(p.isPlaying());
    EXPECT_EQ(p.displayList(), playedTo(m, 0));
}

TEST(Timeline, GotoClampsAndKeepsPlayState) {
    auto m = churningMovie(10);
    swf::Player p(m);
    p.gotoFrame(-5);
    EXPECT_EQ(p.currentFrame(), 0);
    p.gotoFrame(1000000);
    EXPECT_EQ(p.currentFrame(), 9);
    EXPECT_TRUE(p.isPlaying());
    p.stop();
    p.gotoFrame(4);
    EXPECT_FALSE(p.isPlaying());
}

// Any seek, in either direction and from any place, lands on exactly the display list that
// playing from the start gives.
TEST(Timeline, SeeksEqualPlayingFromTheStart) {
    const int frames = 1000;
    const auto bytes = churningBytes(frames);
    auto m = load(bytes);
    std::map<int, swf::DisplayList> truth;
    {
        swf::Player p(m);
        for (int f = 0; f < frames; ++f) {
            truth[f] = p.displayList();
            p.advanceFrame();
        }
    }
    swf::Player p(m);
    const int targets[] = {999, 0, 500, 63, 64, 65, 128, 127, 998, 1, 700, 699, 321, 999, 3};
    for (int t : targets) {
        p.gotoFrame(t);
        ASSERT_EQ(p.currentFrame(), t);
        EXPECT_EQ(p.displayList(), truth[t]) << "at frame " << t;
    }
    // With the kept lists cut short by their size budget, seeks replay further but land on
    // the same lists.
    swf::LoadLimits sparse;
    sparse.maxSnapshotObjects = 20;
    auto thin = swf::loadMovie(bytes, sparse);
    EXPECT_LT(thin->rootSnapshots().size(), m->rootSnapshots().size());
    swf::Player q(thin);
    for (int t : targets) {
        q.gotoFrame(t);
        EXPECT_EQ(q.displayList(), truth[t]) << "at frame " << t;
    }
}

TEST(Timeline, LongMovieSeeks) {
    auto m = churningMovie(10000);
    swf::Player p(m);
    p.gotoFrame(9999);
    EXPECT_EQ(p.currentFrame(), 9999);
    const swf::DisplayList last = p.displayList();
    p.gotoFrame(5);
    p.gotoFrame(9999);
    EXPECT_EQ(p.displayList(), last);
    EXPECT_EQ(p.displayList(), playedTo(m, 9999));
}

TEST(Timeline, SharedMovieIndependentPlayers) {
    auto m = churningMovie(20);
    swf::Player a(m), b(m);
    a.gotoFrame(15);
    EXPECT_EQ(b.currentFrame(), 0);
    EXPECT_EQ(b.displayList(), playedTo(m, 0));
    EXPECT_EQ(&a.movie(), &b.movie());
}
