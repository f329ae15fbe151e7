#include <gtest/gtest.h>

#include <set>

#include "panel/loop_engine.h"
#include "video/playback_rules.h"

namespace {

TEST(PlaylistRules, LookupIgnoresLetterCaseAndTakesTheFirstMatch) {
    const QStringList list{"/m/a.swf", "/m/B.swf", "/m/b.swf"};
    EXPECT_EQ(lanfeng::playlistIndex(list, "/M/A.SWF"), 0);
    EXPECT_EQ(lanfeng::playlistIndex(list, "/m/b.swf"), 1);
    EXPECT_EQ(lanfeng::playlistIndex(list, "/m/a"), -1);
    EXPECT_EQ(lanfeng::playlistIndex({}, "/m/a.swf"), -1);
}

TEST(PlaylistRules, PreviousAndNextWrapAndStayInsideTheList) {
    EXPECT_EQ(lanfeng::nextEntry(2, 3), 0);
    EXPECT_EQ(lanfeng::nextEntry(0, 3), 1);
    EXPECT_EQ(lanfeng::nextEntry(-1, 3), 0);  // a movie outside the list: the first
    EXPECT_EQ(lanfeng::previousEntry(0, 3), 2);
    EXPECT_EQ(lanfeng::previousEntry(2, 3), 1);
    EXPECT_EQ(lanfeng::nextEntry(0, 1), 0);
    EXPECT_EQ(lanfeng::previousEntry(0, 1), 0);
    // Lookups that fall outside the list load nothing.
    EXPECT_EQ(lanfeng::previousEntry(-1, 3), std::nullopt);
    EXPECT_EQ(lanfeng::previousEntry(-1, 0), std::nullopt);
    EXPECT_EQ(lanfeng::nextEntry(-1, 0), std::nullopt);
}

TEST(DropRules, OnlyExactlyDotSwfInTheFileNameCounts) {
    EXPECT_TRUE(lanfeng::hasSwfExtension("/m/a.swf"));
    EXPECT_TRUE(lanfeng::hasSwfExtension("/m/a.b.swf"));
    EXPECT_FALSE(lanfeng::hasSwfExtension("/m/c.SWF"));
    EXPECT_FALSE(lanfeng::hasSwfExtension("/m/a.swf.txt"));
    EXPECT_FALSE(lanfeng::hasSwfExtension("/m/swf"));
    EXPECT_FALSE(lanfeng::hasSwfExtension("/m.swf/noext"));
}

TEST(CaptureRules, BmpIsAlwaysAppended) {
    EXPECT_EQ(lanfeng::captureFileName("/tmp/shot"), "/tmp/shot.bmp");
    EXPECT_EQ(lanfeng::captureFileName("/tmp/shot.bmp"), "/tmp/shot.bmp.bmp");
}

TEST(LoopRules, NearTheEndCoversTheLastTwelveFramesAndShortMovies) {
    EXPECT_FALSE(lanfeng::nearEnd(100, 87));
    EXPECT_TRUE(lanfeng::nearEnd(100, 88));
    EXPECT_TRUE(lanfeng::nearEnd(10, 0));
    EXPECT_TRUE(lanfeng::nearEnd(0, 0));  // nothing loaded
    EXPECT_EQ(lanfeng::wholeListIndex(2, 3), -1);
    EXPECT_EQ(lanfeng::wholeListIndex(1, 3), 1);
    EXPECT_EQ(lanfeng::wholeListIndex(-1, 0), -1);
}

TEST(LoopRules, RandomDrawsReachEveryEntryAndNoOther) {
    std::mt19937 generator(7);
    std::set<int> seen;
    for (int i = 0; i < 300; ++i) {
        const int entry = lanfeng::randomEntry(3, generator);
        ASSERT_GE(entry, 0);
        ASSERT_LT(entry, 3);
        seen.insert(entry);
    }
    EXPECT_EQ(seen, (std::set<int>{0, 1, 2}));
    EXPECT_EQ(lanfeng::randomEntry(1, generator), 0);
    EXPECT_EQ(lanfeng::randomEntry(0, generator), -1);
}

}  // namespace
