// The nine-grid preview in the running windows: what each cell shows, the grid in full screen,
// leaving it, and the cells' own menus and mouse.
#include <QMenu>
#include <QTest>
#include <algorithm>

#include "preview_fixture.h"

namespace {

using NineGrid = Preview;
using CellCommands = Preview;

TEST_F(NineGrid, CellsStandStoppedAtTheLastFrameOfTheirNinthByPixels) {
    Form1->resize(424, 308);  // the designed size: the player is 396 x 250 at (16, 24)
    ASSERT_EQ(player()->geometry(), QRect(16, 24, 396, 250));
    const int lefts[] = {16, 149, 282}, tops[] = {24, 109, 194};
    for (int frames : {90, 100, 5}) {
        SCOPED_TRACE(frames);
        const QString movie = colourMovie(QStringLiteral("f%1.swf").arg(frames), frames);
        play(movie);
        Form2->Timer1.start();
        Form1->N5Click();
        EXPECT_TRUE(Form1->gridShown());
        EXPECT_FALSE(Form2->Timer1.isActive());
        EXPECT_FALSE(player()->isVisibleTo(Form1));
        EXPECT_EQ(player()->Movie(), sample());
        EXPECT_EQ(Form2->Label3->text(), QStringLiteral("岚枫flash播放器"));
        EXPECT_EQ(Form1->focusWidget(), cell(9));
        for (int n = 1; n <= 9; ++n) {
            SCOPED_TRACE(n);
            PlayerControl* c = cell(n);
            EXPECT_EQ(c->geometry(), QRect(lefts[(n - 1) % 3], tops[(n - 1) / 3], 128, 80));
            EXPECT_TRUE(c->isVisibleTo(Form1));
            EXPECT_EQ(c->Movie(), movie);
            const int frame = n == 1 ? 0 : std::max(0, (frames / 9) * (n - 1) - 1);
            EXPECT_EQ(c->CurrentFrame(), frame);
            EXPECT_FALSE(c->isPlaying());
            c->clockTick();  // a stopped cell does not move on
            EXPECT_EQ(c->CurrentFrame(), frame);
            EXPECT_EQ(centre(c), testmovies::frameColour(frame));
            // One parse for all nine.
            EXPECT_EQ(c->player()->moviePtr(), cell(1)->player()->moviePtr());
        }
        Form1->Button1Click();
    }
}

TEST_F(NineGrid, InFullScreenTheStripGivesItsHeightToTheTopRow) {
    play(colourMovie("f.swf", 90));
    Form2->Timer1.start();  // the strip is offered while the panel follows the movie
    Form1->N15Click();
    Form1->N19Click();
    ASSERT_TRUE(Form1->ToolBar1->isVisible());
    const int strip = Form1->ToolBar1->height();
    const QRect before = player()->geometry();
    ASSERT_EQ(before.top(), strip);
    const auto places = lanfeng::gridCellRects(before);

    Form1->N5Click();
    EXPECT_FALSE(Form1->ToolBar1->isVisible());
    EXPECT_FALSE(Form1->N19->isChecked());
    EXPECT_EQ(player()->geometry(), before.translated(0, -strip));
    for (int n = 1; n <= 9; ++n) {
        const QRect& place = places[n - 1];
        const QRect expected =
            n <= 3 ? QRect(place.x(), 0, place.width(), place.height() + strip) : place;
        EXPECT_EQ(cell(n)->geometry(), expected) << "cell " << n;
        EXPECT_TRUE(cell(n)->isVisible());
    }
    EXPECT_EQ(cell(1)->geometry().bottom(), places[0].bottom());
}

TEST_F(NineGrid, TheHiddenButtonLeavesForTheSingleViewPlaying) {
    play(colourMovie("f.swf", 90));
    Form1->N5Click();
    Form1->ToolBar2->show();
    Form1->N19->setVisible(false);
    EXPECT_TRUE(Form1->Button1->isHidden());
    EXPECT_EQ(Form1->Button1->text(), QStringLiteral("虚按，隐九格"));

    Form1->Button1->click();
    EXPECT_FALSE(Form1->gridShown());
    for (int n = 1; n <= 9; ++n) {
        EXPECT_FALSE(cell(n)->isVisibleTo(Form1));
        EXPECT_EQ(cell(n)->Movie(), sample());
    }
    EXPECT_TRUE(player()->isVisibleTo(Form1));
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_TRUE(Form1->N19->isVisible());
    // Neither the page bar nor the panel's clock are this button's business.
    EXPECT_TRUE(Form1->ToolBar2->isVisibleTo(Form1));
    EXPECT_FALSE(Form2->Timer1.isActive());

    // The hidden cells hold the sample movie without running it; the main player runs.
    const int mainFrame = player()->CurrentFrame();
    QTest::qWait(300);
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(cell(n)->CurrentFrame(), 0);
    EXPECT_NE(player()->CurrentFrame(), mainFrame);
}

TEST_F(NineGrid, TheContextMenuOpensIt) {
    const QString movie = colourMovie("f.swf", 90);
    play(movie);
    Form1->N5->trigger();
    EXPECT_TRUE(Form1->gridShown());
    EXPECT_EQ(cell(5)->Movie(), movie);
}

TEST_F(CellCommands, EachCellHasItsOwnMenuWithItsItemsAndScales) {
    struct Names {
        const char *play, *stop, *single, *display, *scales[4];
    };
    const Names names[9] = {
        {"N6", "N10", "N9", "N31", {"N32", "N33", "N34", "N35"}},
        {"MenuItem1",
         "N20",
         "MenuItem2",
         "N36",
         {"ShowAll2", "NoBorder2", "ExactFit2", "NoScale2"}},
        {"MenuItem3", "N21", "MenuItem4", "N37", {"S1", "NoBorder3", "ExactFit3", "NoScale3"}},
        {"MenuItem5",
         "N22",
         "MenuItem6",
         "N38",
         {"ShowAll3", "NoBorder4", "ExactFit4", "NoScale4"}},
        {"MenuItem7",
         "N23",
         "MenuItem8",
         "N39",
         {"ShowAll4", "NoBorder5", "ExactFil1", "NoScale5"}},
        {"MenuItem9",
         "N24",
         "MenuItem10",
         "N40",
         {"ShowAll5", "NoBorder6", "ExactFit5", "NoScale6"}},
        {"MenuItem11",
         "N25",
         "MenuItem12",
         "N41",
         {"ShowAll6", "NoBorder7", "ExactFit6", "NoScale7"}},
        {"MenuItem13",
         "N26",
         "MenuItem14",
         "N42",
         {"ShowAll7", "NoBorder8", "ExactFit7", "NoScale8"}},
        {"MenuItem15",
         "N27",
         "MenuItem16",
         "N43",
         {"ShowAll8", "NoBorder9", "ExactFit8", "NoScale9"}},
    };
    const QStringList captions{"播放此曲", "停止此曲", "单屏播放", "显示方式"};
    const QStringList scaleCaptions{"ShowAll", "NoBorder", "ExactFit", "NoScale"};
    const QStringList firstScales{"showall", "NoBorder", "ExactFit", "NoScale"};
    const QStringList otherScales{"Showall", "Noborder", "ExactFit", "Noscale"};
    const swf::ScaleMode modes[] = {swf::ScaleMode::ShowAll, swf::ScaleMode::NoBorder,
                                    swf::ScaleMode::ExactFit, swf::ScaleMode::NoScale};
    play(colourMovie("f.swf", 90));
    Form1->N5Click();
    for (int n = 1; n <= 9; ++n) {
        SCOPED_TRACE(n);
        auto* menu = Form1->findChild<QMenu*>(QStringLiteral("PopupMenu0%1").arg(n));
        ASSERT_TRUE(menu);
        EXPECT_EQ(Form1->cellMenu(n), menu);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), 4);
        const Names& want = names[n - 1];
        const char* itemNames[] = {want.play, want.stop, want.single, want.display};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(items[i]->objectName(), QString::fromLatin1(itemNames[i]));
            EXPECT_EQ(items[i]->text(), captions[i]);
            EXPECT_FALSE(items[i]->isCheckable());
        }
        QMenu* display = items[3]->menu();
        ASSERT_TRUE(display);
        const QList<QAction*> scaleItems = display->actions();
        ASSERT_EQ(scaleItems.size(), 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(scaleItems[i]->objectName(), QString::fromLatin1(want.scales[i]));
            EXPECT_EQ(scaleItems[i]->text(), scaleCaptions[i]);
            scaleItems[i]->trigger();
            EXPECT_EQ(cell(n)->Scale(), (n == 1 ? firstScales : otherScales)[i]);
            EXPECT_EQ(cell(n)->scaleMode(), modes[i]);
            for (int other = 1; other <= 9; ++other)
                if (other > n) EXPECT_EQ(cell(other)->Scale(), "showall");
        }
        items[0]->trigger();
        EXPECT_TRUE(cell(n)->isPlaying());
        items[1]->trigger();
        EXPECT_FALSE(cell(n)->isPlaying());
    }
}

TEST_F(CellCommands, ADoubleClickOnCellFiveOpensItsFrameInTheSingleView) {
    const QString movie = colourMovie("f.swf", 100);
    play(movie);
    Form1->N5Click();
    cell(5)->GotoFrame(40);
    Form1->ToolBar2->show();

    EXPECT_TRUE(sendMouse(cell(5), QEvent::MouseButtonDblClick, Qt::LeftButton));  // taken
    EXPECT_FALSE(Form1->gridShown());
    EXPECT_TRUE(player()->isVisibleTo(Form1));
    EXPECT_EQ(player()->Movie(), movie);
    EXPECT_EQ(player()->CurrentFrame(), 40);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(centre(player()), testmovies::frameColour(40));
    EXPECT_FALSE(Form1->ToolBar2->isVisibleTo(Form1));
    EXPECT_TRUE(Form2->Timer1.isActive());
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(cell(n)->Movie(), sample());
}

TEST_F(CellCommands, ADoubleClickOnAnEmptyPlaceOpensTheSampleMovie) {
    makeEntries(1);
    Form1->N30Click();
    ASSERT_EQ(cell(2)->Movie(), sample());
    EXPECT_TRUE(sendMouse(cell(2), QEvent::MouseButtonDblClick, Qt::LeftButton));
    EXPECT_FALSE(Form1->gridShown());
    EXPECT_EQ(player()->Movie(), sample());
    EXPECT_TRUE(player()->isPlaying());
}

TEST_F(CellCommands, ARightPressOpensTheCellsOwnMenuAndNeverReachesThePlayer) {
    play(colourMovie("f.swf", 90));
    Form1->N5Click();
    EXPECT_TRUE(sendMouse(cell(3), QEvent::MouseButtonPress, Qt::RightButton));
    EXPECT_TRUE(Form1->cellMenu(3)->isVisible());
    EXPECT_FALSE(Form1->PopupMenu1->isVisible());
    for (int n : {1, 2, 4, 5, 6, 7, 8, 9}) EXPECT_FALSE(Form1->cellMenu(n)->isVisible());
    Form1->cellMenu(3)->hide();
    EXPECT_TRUE(Form1->gridShown());
}

}  // namespace
