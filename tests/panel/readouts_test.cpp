#include "panel/readouts.h"

#include <gtest/gtest.h>

#include "app/paths.h"

namespace {

using lanfeng::timeReadout;

TEST(TimeReadout, TwoLinesAtThirteenFramesASecond) {
    EXPECT_EQ(timeReadout(780, 779), QStringLiteral("播放01:00仅供\r时间00:59参考"));
    EXPECT_EQ(timeReadout(1000, 390), QStringLiteral("播放01:16仅供\r时间00:30参考"));
    EXPECT_TRUE(timeReadout(12345, 0).endsWith(QStringLiteral("时间00:00参考")));
    EXPECT_EQ(lanfeng::minutesSeconds(0), QStringLiteral("00:00"));
    EXPECT_EQ(lanfeng::minutesSeconds(13 * 5), QStringLiteral("00:05"));
    EXPECT_EQ(lanfeng::minutesSeconds(780 * 10 + 13 * 10 + 12), QStringLiteral("10:10"));
    // Minutes past 99 keep every digit; a negative frame reads as the start.
    EXPECT_EQ(lanfeng::minutesSeconds(780 * 123), QStringLiteral("123:00"));
    EXPECT_EQ(lanfeng::minutesSeconds(-1), QStringLiteral("00:00"));
}

TEST(Slider, ThumbStaysOnTheTrackAndSeeksItsWholeLength) {
    const lanfeng::SliderTrack track;  // 21, 268 wide, thumb 33: 235 of travel
    EXPECT_EQ(track.travel(), 235);
    EXPECT_EQ(lanfeng::clampThumbLeft(-50, track), 21);
    EXPECT_EQ(lanfeng::clampThumbLeft(21, track), 21);
    EXPECT_EQ(lanfeng::clampThumbLeft(100, track), 100);
    EXPECT_EQ(lanfeng::clampThumbLeft(400, track), 21 + 235);

    EXPECT_EQ(lanfeng::seekFrame(1000, 21, track), 0);
    EXPECT_EQ(lanfeng::seekFrame(1000, 21 + 235, track), 1000);
    EXPECT_EQ(lanfeng::seekFrame(1000, 21 + 100, track), 1000 * 100 / 235);
    EXPECT_EQ(lanfeng::seekFrame(0, 121, track), 0);
    // Long movies: the product does not overflow.
    EXPECT_EQ(lanfeng::seekFrame(20'000'000, 21 + 235, track), 20'000'000);

    EXPECT_EQ(lanfeng::thumbLeftForFrame(0, 1000, track), 21);
    EXPECT_EQ(lanfeng::thumbLeftForFrame(500, 1000, track), 21 + 117);
    EXPECT_EQ(lanfeng::thumbLeftForFrame(1000, 1000, track), 21 + 235);
    EXPECT_EQ(lanfeng::thumbLeftForFrame(5, 0, track), 21);  // no frames: no division
    EXPECT_EQ(lanfeng::thumbLeftForFrame(19'999'999, 20'000'000, track), 21 + 234);
}

TEST(StepReadouts, StopAtOneAndAtTheTotal) {
    EXPECT_EQ(lanfeng::stepBackReadout("2"), "1");
    EXPECT_EQ(lanfeng::stepBackReadout("1"), "1");
    EXPECT_EQ(lanfeng::stepBackReadout("30"), "29");
    EXPECT_EQ(lanfeng::stepForwardReadout("8", 10), "9");
    EXPECT_EQ(lanfeng::stepForwardReadout("9", 10), "10");
    EXPECT_EQ(lanfeng::stepForwardReadout("10", 10), "10");
    // No movie yet, or stopped: the read-out stays empty.
    EXPECT_EQ(lanfeng::stepBackReadout(""), "");
    EXPECT_EQ(lanfeng::stepForwardReadout("", 10), "");
}

TEST(Titles, TheNameUpToItsFirstDot) {
    EXPECT_EQ(lanfeng::MovieTitle("/m/a.b.swf"), "a");
    EXPECT_EQ(lanfeng::MovieTitle("/m.d/noext"), "");
    EXPECT_EQ(lanfeng::MovieTitle(QStringLiteral("/电影/岚枫.swf")), QStringLiteral("岚枫"));
}

TEST(Docking, PlaylistBelowAndVideoWindowRightOfThePanel) {
    const lanfeng::DockedPlaces p = lanfeng::dockedPlaces({94, 167, 295, 128});
    EXPECT_EQ(p.playlist, QPoint(94, 295));
    EXPECT_EQ(p.video, QPoint(389, 167));
    const lanfeng::DockedPlaces q = lanfeng::dockedPlaces({-10, -5, 295, 128});
    EXPECT_EQ(q.playlist, QPoint(-10, 123));
    EXPECT_EQ(q.video, QPoint(285, -5));
}

}  // namespace
