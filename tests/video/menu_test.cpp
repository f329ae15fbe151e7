// The context menu, full screen and back, the playback strip, keeping on top, the about box.
#include <QScreen>

#include "about/taboutbox.h"
#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "video_fixture.h"

namespace {

using Menu = VideoWindow;

QRect screenRect() { return Form1->screen()->geometry(); }

TEST_F(Menu, ItemsInOrderWithTheirCaptionsTicksAndVisibility) {
    struct Item {
        const char* name;
        const char* caption;  // "" for a separator
        bool visible, checked;
    };
    const Item items[] = {
        {"N15", "全屏显示", true, false},  {"N2", "退出全屏", false, false},
        {"exe1", "生成 exe", true, false}, {"N12", "循环方式", true, false},
        {"N29", "屏幕保护", true, false},  {"N19", "显示控制", false, false},
        {"N4", "", true, false},           {"N11", "主控窗口", true, true},
        {"N3", "播放列表", true, true},    {"N5", "九格预览", true, false},
        {"N30", "清单预览", true, false},  {"N28", "视频最前", true, false},
        {"N7", "", true, false},           {"N8", "关于", true, false},
    };
    const QList<QAction*> actions = Form1->PopupMenu1->actions();
    ASSERT_EQ(actions.size(), std::size(items));
    for (int i = 0; i < actions.size(); ++i) {
        const Item& item = items[i];
        QAction* a = actions[i];
        SCOPED_TRACE(item.name);
        EXPECT_EQ(a->objectName(), QString::fromLatin1(item.name));
        EXPECT_EQ(a, Form1->findChild<QAction*>(QString::fromLatin1(item.name)));
        EXPECT_EQ(a->isSeparator(), *item.caption == 0);
        if (!a->isSeparator()) {
            EXPECT_EQ(a->text(), QString::fromUtf8(item.caption));
        }
        EXPECT_EQ(a->isVisible(), item.visible);
        EXPECT_EQ(a->isChecked(), item.checked);
        EXPECT_EQ(a->isEnabled(), item.visible);  // hidden items cannot be chosen
    }

    ASSERT_NE(Form1->N12->menu(), nullptr);
    const QList<QAction*> loop = Form1->N12->menu()->actions();
    ASSERT_EQ(loop.size(), 5);
    const char* loopNames[] = {"N13", "", "N16", "N17", "N18"};
    const char* loopCaptions[] = {"不用循环", "", "单曲循环", "整体循环", "随机循环"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(loop[i]->isSeparator(), i == 1);
        if (i == 1) continue;
        EXPECT_EQ(loop[i]->objectName(), QString::fromLatin1(loopNames[i]));
        EXPECT_EQ(loop[i]->text(), QString::fromUtf8(loopCaptions[i]));
        EXPECT_EQ(loop[i]->isChecked(), i == 0);
    }

    // The player's context menu opens at the pointer, on the right button's press.
    press(Form1->ShockwaveFlash1, QPoint(20, 30), Qt::RightButton);
    EXPECT_TRUE(Form1->PopupMenu1->isVisible());
    EXPECT_EQ(Form1->PopupMenu1->pos(), Form1->ShockwaveFlash1->mapToGlobal(QPoint(20, 30)));
    Form1->PopupMenu1->close();
}

TEST_F(Menu, FullScreenCoversTheScreenAndLeavingDocksBesideThePanel) {
    Form1->ShockwaveFlash1->Movie(makeMovie("a.b.swf"));
    Form2->Timer1.start();
    Form1->N15->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(Form1->geometry(), screenRect());
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(QPoint(0, 0), screenRect().size()));
    EXPECT_TRUE(Form1->ShockwaveFlash1->isVisible());
    EXPECT_EQ(Form1->ShockwaveFlash1->toolTip(), QStringLiteral("a"));
    EXPECT_FALSE(Form1->N15->isVisible());
    EXPECT_TRUE(Form1->N2->isVisible());
    EXPECT_TRUE(Form1->N19->isVisible());
    EXPECT_FALSE(Form1->N19->isChecked());
    EXPECT_FALSE(Form1->N28->isEnabled());
    EXPECT_FALSE(Form1->N11->isEnabled());
    EXPECT_TRUE(Form1->ToolBar1->isHidden());
    // The frame pieces stay where they were, under the player.
    EXPECT_EQ(Form1->lt->geometry(), QRect(0, 0, 25, 25));

    // Meanwhile the panel moved: leaving docks the window at its new place. The panel's
    // clock puts the title back as the hint on its next tick, so it is stopped here.
    Form2->move(100, 50);
    Form2->Timer1.stop();
    Form1->N2->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(Form1->geometry(),
              QRect(100 + Form2->width(), 50, 400, Form2->height() + Form4->height()));
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 372, 250));
    EXPECT_EQ(Form1->Lavideo->x(), 165);
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_TRUE(Form1->ShockwaveFlash1->isVisible());
    EXPECT_FALSE(Form1->windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(Form1->ShockwaveFlash1->toolTip().isEmpty());
    EXPECT_TRUE(Form1->N15->isVisible());
    EXPECT_FALSE(Form1->N2->isVisible());
    EXPECT_FALSE(Form1->N19->isVisible());
    EXPECT_TRUE(Form1->N28->isEnabled());
    EXPECT_TRUE(Form1->N11->isEnabled());
}

TEST_F(Menu, FullScreenWithoutThePanelClockKeepsTheStripItemHidden) {
    Form1->ShockwaveFlash1->Movie(makeMovie("nodot"));
    ASSERT_FALSE(Form2->Timer1.isActive());
    Form1->N15Click();
    EXPECT_FALSE(Form1->N19->isVisible());
    EXPECT_TRUE(Form1->ShockwaveFlash1->toolTip().isEmpty());
    Form1->N2Click();
    EXPECT_EQ(Form1->geometry(), QRect(389, 167, 400, 308));
}

TEST_F(Menu, StripOnlyTicksWhileDockedAndTakesTheTopInFullScreen) {
    // Docked: only the tick changes.
    Form1->N19->trigger();
    EXPECT_TRUE(Form1->N19->isChecked());
    EXPECT_TRUE(Form1->ToolBar1->isHidden());
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 372, 250));
    Form1->N19Click();
    EXPECT_FALSE(Form1->N19->isChecked());

    Form2->Timer1.start();
    Form1->N15Click();
    const QSize s = screenRect().size();
    Form1->N19->trigger();
    EXPECT_TRUE(Form1->N19->isChecked());
    EXPECT_TRUE(Form1->N19->isEnabled());
    EXPECT_TRUE(Form1->ToolBar1->isVisible());
    EXPECT_EQ(Form1->ToolBar1->geometry(), QRect(0, 0, s.width(), 24));
    EXPECT_EQ(Form1->ScrollBar1->x(), 115);
    EXPECT_EQ(Form1->ScrollBar1->width(), s.width() - 125);
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(0, 24, s.width(), s.height() - 24));
    for (QToolButton* b : {Form1->ToolButton1, Form1->ToolButton2, Form1->ToolButton3,
                           Form1->ToolButton4, Form1->ToolButton5}) {
        EXPECT_EQ(b->size(), QSize(23, 22));
        EXPECT_TRUE(b->isVisible());
        EXPECT_LE(b->geometry().right(), 114);
    }
    EXPECT_EQ(Form1->ToolButton3->toolTip(), QStringLiteral("暂停"));

    Form1->N19Click();
    EXPECT_FALSE(Form1->N19->isChecked());
    EXPECT_TRUE(Form1->ToolBar1->isHidden());
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(QPoint(0, 0), s));

    // Leaving full screen with the strip shown takes it away and unticks the item.
    Form1->N19Click();
    ASSERT_TRUE(Form1->ToolBar1->isVisible());
    Form1->N2Click();
    EXPECT_TRUE(Form1->ToolBar1->isHidden());
    EXPECT_FALSE(Form1->N19->isChecked());
    EXPECT_FALSE(Form1->N19->isVisible());
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 372, 250));

    // While the grid is shown the item disables itself.
    Form1->gridCells[0]->show();
    Form1->N19Click();
    EXPECT_FALSE(Form1->N19->isEnabled());
    EXPECT_TRUE(Form1->N19->isChecked());
}

TEST_F(Menu, OnTopTickOutlivesFullScreenButNotTheStyle) {
    auto onTop = [] { return Form1->windowFlags().testFlag(Qt::WindowStaysOnTopHint); };
    Form1->N28->trigger();
    EXPECT_TRUE(Form1->N28->isChecked());
    EXPECT_TRUE(onTop());
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_EQ(Form1->pos(), QPoint(389, 167));

    Form1->N15Click();
    EXPECT_FALSE(Form1->N28->isEnabled());
    EXPECT_TRUE(onTop());
    Form1->N2Click();
    EXPECT_TRUE(Form1->N28->isChecked());
    EXPECT_FALSE(onTop());
    EXPECT_TRUE(Form1->isVisible());

    Form1->N28->trigger();
    EXPECT_FALSE(Form1->N28->isChecked());
    EXPECT_FALSE(onTop());
    Form1->N28Click();
    EXPECT_TRUE(onTop());
    Form1->N28Click();
    EXPECT_FALSE(onTop());
    EXPECT_TRUE(Form1->isVisible());
}

TEST_F(Menu, AboutBoxIsModelessAndClosesOnOk) {
    ASSERT_NE(AboutBox, nullptr);
    EXPECT_FALSE(AboutBox->isVisible());
    Form1->N8->trigger();
    EXPECT_TRUE(AboutBox->isVisible());
    EXPECT_FALSE(AboutBox->isModal());
    EXPECT_EQ(AboutBox->ProductName->text(), QStringLiteral("岚枫flash播放器"));
    EXPECT_EQ(AboutBox->Version->text(), QStringLiteral("Version 1.782"));
    EXPECT_EQ(AboutBox->OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(Form1->isEnabled());
    AboutBox->OKButton->click();
    EXPECT_FALSE(AboutBox->isVisible());
    EXPECT_TRUE(prompt->messages.empty());
}

}  // namespace
