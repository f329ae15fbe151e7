#include <QMouseEvent>
#include <QScrollBar>

#include "panel/tform2.h"
#include "tests/playlist/playlist_fixture.h"

namespace {

// The windows as the program makes them, with the panel's mouse sent as events.
class Panel : public PlaylistWindow {
protected:
    void SetUp() override {
        PlaylistWindow::SetUp();
        start();
    }
    static void mouse(QWidget* w, QEvent::Type type, QPoint pos) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
    PlayerControl* player() const { return Form1->ShockwaveFlash1; }
};

TEST_F(Panel, StandsLeftOfTheVideoWindowWithItsControlsInPlace) {
    EXPECT_EQ(Form2->geometry(), QRect(94, 167, 295, 128));
    EXPECT_EQ(Form2->Image4->geometry(), QRect(21, 80, 33, 12));
    EXPECT_FALSE(Form2->Image4->isVisibleTo(Form2));
    EXPECT_EQ(Form2->Label3->text(), QStringLiteral("岚枫FLASH播放器"));
    EXPECT_TRUE(Form2->Label1->text().isEmpty());
    const SkinImage* buttons[] = {Form2->Image7,  Form2->Image8,  Form2->Image9,  Form2->Image10,
                                  Form2->Image11, Form2->Image12, Form2->Image13, Form2->Image14,
                                  Form2->Image15, Form2->Image16};
    const char* hints[] = {"打开", "播放",     "返回初始", "后退", "暂停",
                           "前进", "跳至结尾", "停止",     "抓图", "全屏"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(buttons[i]->geometry(), QRect(24 + 24 * i, 101, 23, 16)) << i;
        EXPECT_EQ(buttons[i]->toolTip(), QString::fromUtf8(hints[i]));
    }
    EXPECT_EQ(Form2->Image2->toolTip(), QStringLiteral("关闭"));
    EXPECT_FALSE(Form2->Timer1.isActive());
    EXPECT_EQ(Form2->Timer1.interval(), 10);

    QStringList captions;
    for (QAction* a : Form2->PopupMenu1->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions.join(' '),
              QStringLiteral("视频动画 播放列表 关闭广告 - 弹出光驱 关闭光驱 - 格式转换 循环方式 "
                             "文件关联 - 桌面播放 - 关于"));
    EXPECT_EQ(Form2->PopupMenu1->actions().at(8), Form2->N11);
    EXPECT_FALSE(Form2->N17->isVisible());
    QStringList loop;
    for (QAction* a : Form2->N11Menu->actions()) loop << a->objectName();
    EXPECT_EQ(loop.join(' '), QStringLiteral("N12 N13 N15 N16 N14"));
    EXPECT_TRUE(Form2->N12->isChecked());
}

TEST_F(Panel, RefreshTickShowsFramesTimeTitleAndThumb) {
    const QString movie = makeMovie("a.b.swf", 1000);
    player()->Movie(movie);
    player()->Stop();
    player()->GotoFrame(390);
    Form2->Timer1Timer();
    EXPECT_EQ(Form2->Label1->text(), QString::number(player()->CurrentFrame()));
    EXPECT_EQ(Form2->Label2->text(), QStringLiteral("1000"));
    EXPECT_EQ(Form2->Label3->text(), QStringLiteral("a"));
    EXPECT_EQ(player()->toolTip(), QStringLiteral("a"));
    EXPECT_EQ(Form2->Label5->text(), lanfeng::timeReadout(1000, player()->CurrentFrame()));
    EXPECT_TRUE(Form2->Image4->isVisibleTo(Form2));
    EXPECT_EQ(Form2->Image4->x(), 21 + player()->CurrentFrame() * 235 / 1000);
    // Not in full screen: the strip's seek bar is left alone.
    EXPECT_FALSE(Form1->ScrollBar1->isEnabled());

    // In full screen the tick also drives the strip.
    Form1->N15Click();
    Form2->Timer1Timer();
    EXPECT_TRUE(Form1->N19->isVisible());
    EXPECT_TRUE(Form1->ScrollBar1->isEnabled());
    EXPECT_EQ(Form1->ScrollBar1->maximum(), 1000);
    EXPECT_EQ(Form1->ScrollBar1->value(), player()->CurrentFrame());
    EXPECT_EQ(Form1->ScrollBar1->toolTip(), QString::number(player()->CurrentFrame()));
    Form1->N2Click();
}

TEST_F(Panel, SliderDragClampsAtBothEndsAndSeeksThere) {
    player()->Movie(makeMovie("long.swf", 470));
    player()->Stop();
    Form2->Image4->show();
    mouse(Form2->Image4, QEvent::MouseButtonPress, {5, 5});
    EXPECT_TRUE(Form2->SliderDragging);
    mouse(Form2->Image4, QEvent::MouseMove, {5 + 117, 5});
    EXPECT_EQ(Form2->Image4->x(), 21 + 117);
    EXPECT_EQ(player()->CurrentFrame(), 470 * 117 / 235);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(Form2->Label1->text(), QString::number(player()->CurrentFrame()));
    EXPECT_EQ(Form2->Label2->text(), QStringLiteral("470"));
    mouse(Form2->Image4, QEvent::MouseMove, {500, 5});
    EXPECT_EQ(Form2->Image4->x(), 21 + 235);
    mouse(Form2->Image4, QEvent::MouseMove, {-900, 5});
    EXPECT_EQ(Form2->Image4->x(), 21);
    EXPECT_EQ(player()->CurrentFrame(), 0);
    mouse(Form2->Image4, QEvent::MouseButtonRelease, {-900, 5});
    EXPECT_FALSE(Form2->SliderDragging);
    mouse(Form2->Image4, QEvent::MouseMove, {100, 5});  // no button held: no drag
    EXPECT_EQ(Form2->Image4->x(), 21);
}

TEST_F(Panel, DraggingThePanelCarriesThePlaylistAndTheVideoWindow) {
    mouse(Form2->Image5, QEvent::MouseButtonPress, {40, 20});
    mouse(Form2->Image5, QEvent::MouseMove, {70, 10});
    EXPECT_EQ(Form2->pos(), QPoint(94 + 30, 167 - 10));
    EXPECT_EQ(Form4->pos(), QPoint(Form2->x(), Form2->y() + 128));
    EXPECT_EQ(Form1->pos(), QPoint(Form2->x() + 295, Form2->y()));
    EXPECT_EQ(Form4->size(), QSize(295, 180));
    EXPECT_EQ(Form1->size(), QSize(400, 308));
    mouse(Form2->Image5, QEvent::MouseButtonRelease, {70, 10});
    mouse(Form2->Image5, QEvent::MouseMove, {0, 0});
    EXPECT_EQ(Form2->pos(), QPoint(124, 157));
}

TEST_F(Panel, PlaySelectedSkipsAMissingEntryAndShowsThePauseButton) {
    const QString b = makeMovie("b.swf");
    Form4->setEntries({root + "gone.swf", b});
    select({0, 1});
    Form2->Image11Click();
    EXPECT_FALSE(Form2->Timer1.isActive());
    EXPECT_TRUE(Form2->Image21->isVisibleTo(Form2));
    Form2->Image8Click();
    EXPECT_EQ(messageTexts(), QStringList{root + "gone.swf" + QStringLiteral("已不存在！")});
    EXPECT_EQ(player()->Movie(), b);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_TRUE(Form2->Image11->isVisibleTo(Form2));
    EXPECT_FALSE(Form2->Image21->isVisibleTo(Form2));
    EXPECT_EQ(Form4->entries().size(), 2);
}

TEST_F(Panel, PauseAndResumeFlipTheButtonsAndTheClock) {
    player()->Movie(makeMovie("a.swf"));
    Form2->Timer1.start();
    Form2->Image11Click();
    EXPECT_FALSE(player()->isPlaying());
    EXPECT_FALSE(Form2->Timer1.isActive());
    EXPECT_FALSE(Form2->Image11->isVisibleTo(Form2));
    Form2->Image21Click();
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_TRUE(Form2->Image11->isVisibleTo(Form2));
    EXPECT_FALSE(Form2->Image21->isVisibleTo(Form2));
}

TEST_F(Panel, StepsMoveTheReadoutWithinOneAndTheTotal) {
    player()->Movie(makeMovie("a.swf", 10));
    player()->Stop();
    Form2->Label1->setText("2");
    Form2->Image10Click();
    EXPECT_EQ(Form2->Label1->text(), "1");
    Form2->Image10Click();
    EXPECT_EQ(Form2->Label1->text(), "1");
    Form2->Label1->setText("9");
    Form2->Image12Click();
    EXPECT_EQ(Form2->Label1->text(), "10");
    Form2->Image12Click();
    EXPECT_EQ(Form2->Label1->text(), "10");
    Form2->Image13Click();
    EXPECT_EQ(player()->CurrentFrame(), 9);
    Form2->Image9Click();
    EXPECT_EQ(player()->CurrentFrame(), 0);
}

TEST_F(Panel, StopLoadsTheSampleAndClearsTheReadouts) {
    player()->Movie(makeMovie("a.swf"));
    Form2->Timer1.start();
    Form2->Timer1Timer();
    Form1->ScrollBar1->setEnabled(true);
    Form1->ScrollBar1->setValue(3);
    Form2->Image14Click();
    EXPECT_EQ(player()->Movie(), root + "bin/sample.swf");
    EXPECT_FALSE(Form2->Image4->isVisibleTo(Form2));
    EXPECT_EQ(Form1->ScrollBar1->value(), 0);
    EXPECT_FALSE(Form1->ScrollBar1->isEnabled());
    EXPECT_TRUE(Form2->Label1->text().isEmpty());
    EXPECT_TRUE(Form2->Label2->text().isEmpty());
    EXPECT_TRUE(Form2->Label5->text().isEmpty());
    EXPECT_EQ(Form2->Label3->text(), QStringLiteral("岚枫FLASH播放器"));
    EXPECT_TRUE(Form2->Timer1.isActive());  // keeps its state
}

TEST_F(Panel, OpenPlaysTheFirstChoiceAndListsThemAll) {
    const QString a = makeMovie("a.swf");
    const QString b = makeMovie("b.swf");
    Form4->setEntries({a});
    prompt->fileAnswers.push_back({b, a});
    Form2->Image7Click();
    EXPECT_EQ(player()->Movie(), b);
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_TRUE(Form2->Image4->isVisibleTo(Form2));
    EXPECT_EQ(Form4->entries(), (QStringList{a, b, a}));
    ASSERT_EQ(prompt->fileRequests.size(), 1u);
    EXPECT_EQ(prompt->fileRequests[0].title, QStringLiteral("c"));
    EXPECT_EQ(prompt->fileRequests[0].filter, QStringLiteral("flash动画文件(*.swf)|*.swf"));
    EXPECT_EQ(prompt->fileRequests[0].mode, lanfeng::FileRequest::OpenMany);

    // Cancelled: nothing changes. The title another command set stays.
    Form2->OpenDialog1.Title = QStringLiteral("other");
    Form2->Image7Click();
    EXPECT_EQ(prompt->fileRequests[1].title, QStringLiteral("other"));
    EXPECT_EQ(player()->Movie(), b);
    EXPECT_EQ(Form4->entries().size(), 3);
}

TEST_F(Panel, PressedLookShowsWhileHeldAndTheReleaseClicks) {
    mouse(Form2->Image7, QEvent::MouseButtonPress, {3, 3});
    EXPECT_FALSE(Form2->Image7->isVisibleTo(Form2));
    EXPECT_TRUE(Form2->Image17->isVisibleTo(Form2));
    mouse(Form2->Image17, QEvent::MouseButtonRelease, {3, 3});
    EXPECT_TRUE(Form2->Image7->isVisibleTo(Form2));
    EXPECT_FALSE(Form2->Image17->isVisibleTo(Form2));
    EXPECT_EQ(prompt->fileRequests.size(), 1u);  // the open dialog ran once
    // Released away from the button: the look comes back, nothing runs.
    mouse(Form2->Image14, QEvent::MouseButtonPress, {3, 3});
    mouse(Form2->Image24, QEvent::MouseButtonRelease, {60, 3});
    EXPECT_TRUE(Form2->Image14->isVisibleTo(Form2));
    EXPECT_TRUE(player()->Movie() == root + "bin/sample.swf");
    EXPECT_TRUE(Form2->Label1->text().isEmpty());
}

TEST_F(Panel, TogglesFlipWindowsAndTicksAndCloseEndsTheRun) {
    Form2->N2Click();
    EXPECT_FALSE(Form4->isVisible());
    EXPECT_FALSE(Form2->N2->isChecked());
    EXPECT_FALSE(Form1->N3->isChecked());
    Form2->SpeedButton1->click();
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_TRUE(Form2->N2->isChecked());
    EXPECT_TRUE(Form1->N3->isChecked());
    Form2->N2->trigger();  // through the menu: flipped once, not twice
    EXPECT_FALSE(Form2->N2->isChecked());
    EXPECT_FALSE(Form4->isVisible());

    Form2->N7Click();
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_FALSE(Form2->N7->isChecked());
    Form2->N7Click();
    EXPECT_TRUE(Form1->isVisible());

    Form2->Image2Click();
    EXPECT_FALSE(Form1->isVisible());
    EXPECT_FALSE(Form2->isVisible());
}

}  // namespace
