// The loop timers' ticks against real movies in the main player.
#include <set>

#include "tests/commands/commands_fixture.h"

namespace {

using LoopEngine = Commands;

TEST_F(LoopEngine, SingleModeNudgesAStalledMovieButNeverAMovingOne) {
    const QString a = makeList({"a.swf"}, 40).first();
    Form1->N16Click();
    play(a);
    for (int i = 1; i <= 8; ++i) {
        beat();
        Form2->Timer2Timer();
        ASSERT_EQ(player()->CurrentFrame(), i);  // no extra step from the engine
    }
    EXPECT_EQ(Form2->LoopStallCount, 0);

    player()->Stop();
    Form2->Timer2Timer();
    Form2->Timer2Timer();
    EXPECT_FALSE(player()->isPlaying());
    EXPECT_EQ(player()->CurrentFrame(), 8);
    Form2->Timer1.stop();
    Form2->Timer2Timer();
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(player()->CurrentFrame(), 9);
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_EQ(Form2->LoopStallCount, 0);
    EXPECT_EQ(player()->Movie(), a);
}

TEST_F(LoopEngine, WholeListMovesOnNearTheEndAndWrapsToTheFirst) {
    const QStringList list = makeList({"a.swf", "b.swf", "c.swf"}, 40);
    Form1->N17Click();
    play(list[2]);
    player()->GotoFrame(20);  // 40 - 13 < 20 is false: not yet
    Form2->Timer3Timer();
    EXPECT_EQ(player()->Movie(), list[2]);
    player()->GotoFrame(28);
    Form2->Timer3Timer();
    EXPECT_EQ(player()->Movie(), list[0]);
    EXPECT_EQ(Form2->LoopListIndex, -1);
    EXPECT_TRUE(player()->isPlaying());

    player()->GotoFrame(30);
    Form2->Timer3Timer();
    EXPECT_EQ(player()->Movie(), list[1]);
    EXPECT_EQ(Form2->LoopListIndex, 0);
}

TEST_F(LoopEngine, WholeListFollowsAMovieOutsideTheListWithTheFirst) {
    const QStringList list = makeList({"a.swf", "b.swf"}, 40);
    const QString outside = makeMovie("outside.swf", 40);
    Form1->N17Click();
    play(outside);
    player()->GotoFrame(35);
    Form2->Timer3Timer();
    EXPECT_EQ(Form2->LoopListIndex, -1);
    EXPECT_EQ(player()->Movie(), list[0]);
}

TEST_F(LoopEngine, ATenFrameMovieIsReplacedAtTheFirstTick) {
    const QStringList list = makeList({"a.swf", "b.swf"}, 10);
    Form1->N17Click();
    play(list[0]);
    Form2->Timer3Timer();
    EXPECT_EQ(player()->Movie(), list[1]);
}

TEST_F(LoopEngine, APauseIsResumedWithinThreeTicksWhileThePanelShowsResume) {
    const QString a = makeList({"a.swf", "b.swf"}, 40).first();
    Form1->N17Click();
    play(a);
    Form2->Image11Click();
    ASSERT_FALSE(player()->isPlaying());
    Form2->Timer3Timer();
    Form2->Timer3Timer();
    EXPECT_FALSE(player()->isPlaying());
    Form2->Timer3Timer();
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(player()->Movie(), a);
    EXPECT_EQ(player()->CurrentFrame(), 1);
    EXPECT_TRUE(Form2->Image21->isVisibleTo(Form2));
    EXPECT_FALSE(Form2->Image11->isVisibleTo(Form2));
}

TEST_F(LoopEngine, StallsCountAcrossMovesAndModeChanges) {
    const QString a = makeList({"a.swf"}, 40).first();
    Form1->N16Click();
    play(a);
    player()->Stop();
    Form2->Timer2Timer();
    Form2->Timer2Timer();
    EXPECT_EQ(Form2->LoopStallCount, 2);
    player()->Play();
    beat();
    Form1->N13Click();
    Form1->N17Click();  // a mode change keeps the count
    Form2->Timer3Timer();
    EXPECT_EQ(Form2->LoopStallCount, 2);  // a moving frame does not reset it either
    player()->Stop();
    Form2->Timer3Timer();
    EXPECT_EQ(Form2->LoopStallCount, 0);  // third stall: fired
    EXPECT_TRUE(player()->isPlaying());
}

TEST_F(LoopEngine, RandomModeDrawsEveryEntryOfTheListAndNothingElse) {
    const QStringList list = makeList({"a.swf", "b.swf", "c.swf"}, 10);
    Form1->N18Click();
    play(list[0]);
    std::set<QString> seen;
    for (int i = 0; i < 200 && seen.size() < 3; ++i) {
        Form2->Timer4Timer();
        ASSERT_TRUE(list.contains(player()->Movie())) << player()->Movie().toStdString();
        seen.insert(player()->Movie());
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(LoopEngine, RandomModeWithOneEntryReloadsItAndAnEmptyListLoadsNothing) {
    const QString a = makeList({"a.swf"}, 10).first();
    const QString outside = makeMovie("outside.swf", 10);
    Form1->N18Click();
    play(outside);
    Form2->Timer4Timer();
    EXPECT_EQ(player()->Movie(), a);

    Form4->setEntries({});
    play(outside);
    Form2->Timer4Timer();
    Form2->Timer3Timer();
    EXPECT_EQ(player()->Movie(), outside);
}

}  // namespace
