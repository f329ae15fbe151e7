// The playback strip, the loop-mode items of both menus and the window toggles.
#include "tests/commands/commands_fixture.h"

namespace {

using PlaybackCommands = Commands;

TEST_F(PlaybackCommands, NextAndPreviousWrapAroundTheList) {
    const QStringList list = makeList({"a.swf", "b.swf", "c.swf"}, 20);
    play(list[2]);
    Form2->Timer1.stop();
    Form1->ToolButton5Click();
    EXPECT_EQ(player()->Movie(), list[0]);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_TRUE(Form2->Timer1.isActive());
    Form1->ToolButton1Click();
    EXPECT_EQ(player()->Movie(), list[2]);
    Form1->ToolButton1Click();
    EXPECT_EQ(player()->Movie(), list[1]);
    Form1->ToolButton5Click();
    EXPECT_EQ(player()->Movie(), list[2]);
}

TEST_F(PlaybackCommands, AMovieOutsideTheListIsFollowedByTheFirstAndHasNoPrevious) {
    const QStringList list = makeList({"a.swf", "b.swf"}, 20);
    const QString sample = root + "bin/sample.swf";
    ASSERT_EQ(player()->Movie(), sample);
    Form1->ToolButton1Click();
    EXPECT_EQ(player()->Movie(), sample);
    Form1->ToolButton5Click();
    EXPECT_EQ(player()->Movie(), list[0]);
}

TEST_F(PlaybackCommands, AOneEntryListReloadsItAndAnEmptyListDoesNothing) {
    const QString a = makeList({"a.swf"}, 20).first();
    play(a);
    player()->GotoFrame(7);
    Form1->ToolButton5Click();
    EXPECT_EQ(player()->Movie(), a);
    EXPECT_EQ(player()->CurrentFrame(), 0);
    player()->GotoFrame(7);
    Form1->ToolButton1Click();
    EXPECT_EQ(player()->CurrentFrame(), 0);

    Form4->setEntries({});
    player()->GotoFrame(7);
    Form1->ToolButton5Click();
    Form1->ToolButton1Click();
    EXPECT_EQ(player()->Movie(), a);
    EXPECT_EQ(player()->CurrentFrame(), 7);
}

TEST_F(PlaybackCommands, PlayPauseSharesThePanelsPauseState) {
    play(makeMovie("a.swf", 20));
    Form2->Timer1.start();
    Form1->ToolButton3Click();
    EXPECT_FALSE(player()->isPlaying());
    EXPECT_FALSE(Form2->Timer1.isActive());
    EXPECT_TRUE(Form2->Image21->isVisibleTo(Form2));
    EXPECT_FALSE(Form2->Image11->isVisibleTo(Form2));
    EXPECT_EQ(Form1->ToolButton3->toolTip(), QStringLiteral("播放"));
    // Resumed from the panel, paused again from the strip, resumed from the strip.
    Form2->Image21Click();
    Form1->ToolButton3Click();
    EXPECT_FALSE(player()->isPlaying());
    Form1->ToolButton3Click();
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_TRUE(Form2->Image11->isVisibleTo(Form2));
    EXPECT_FALSE(Form2->Image21->isVisibleTo(Form2));
    EXPECT_EQ(Form1->ToolButton3->toolTip(), QStringLiteral("暂停"));
}

TEST_F(PlaybackCommands, FrameStepsAndTheSeekBarMoveTheMovie) {
    play(makeMovie("a.swf", 40));
    player()->Stop();
    Form1->ToolButton4->click();
    Form1->ToolButton4->click();
    EXPECT_EQ(player()->CurrentFrame(), 2);
    Form1->ToolButton2->click();
    EXPECT_EQ(player()->CurrentFrame(), 1);

    Form1->ScrollBar1->setEnabled(true);
    Form1->ScrollBar1->setRange(0, 40);
    Form1->ScrollBar1->setValue(20);
    Form1->ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(player()->CurrentFrame(), 21);
    EXPECT_TRUE(player()->isPlaying());
}

// Which items are ticked in the video window's and the panel's "循环方式", and which panel
// timers run: refresh, single, whole list, random.
std::string loopState() {
    std::string s;
    for (QAction* a : {Form1->N13, Form1->N16, Form1->N17, Form1->N18})
        s += a->isChecked() ? 'x' : '.';
    s += ' ';
    for (QAction* a : {Form2->N12, Form2->N15, Form2->N16, Form2->N14})
        s += a->isChecked() ? 'x' : '.';
    s += ' ';
    for (QTimer* t : {&Form2->Timer1, &Form2->Timer2, &Form2->Timer3, &Form2->Timer4})
        s += t->isActive() ? '1' : '0';
    return s;
}

TEST_F(PlaybackCommands, LoopItemsOfEitherMenuTickBothAndSetThePanelTimers) {
    Form2->Timer1.stop();
    EXPECT_EQ(loopState(), "x... x... 0000");
    Form2->N15->trigger();  // 单曲循环, chosen in the panel's menu
    EXPECT_EQ(loopState(), ".x.. .x.. 1100");
    Form2->N12->trigger();  // 不用循环
    EXPECT_EQ(loopState(), "x... x... 0000");
    Form1->N17->trigger();
    EXPECT_EQ(loopState(), "..x. ..x. 1010");
    Form2->N14->trigger();
    EXPECT_EQ(loopState(), "...x ...x 1001");
    Form1->N18->trigger();  // choosing the ticked item keeps it ticked
    EXPECT_EQ(loopState(), "...x ...x 1001");
    Form1->N13->trigger();
    EXPECT_EQ(loopState(), "x... x... 0000");
    EXPECT_EQ(Form2->Timer2.interval(), 1000);
}

TEST_F(PlaybackCommands, WindowItemsToggleThePanelAndThePlaylistWithTheirTicks) {
    Form1->N11->trigger();
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_FALSE(Form1->N11->isChecked());
    Form1->N11->trigger();
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_TRUE(Form1->N11->isChecked());

    Form1->N3->trigger();
    EXPECT_FALSE(Form4->isVisible());
    EXPECT_FALSE(Form1->N3->isChecked());
    EXPECT_FALSE(Form2->N2->isChecked());
    Form2->N2->trigger();
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_TRUE(Form1->N3->isChecked());
    EXPECT_TRUE(Form2->N2->isChecked());
}

}  // namespace
