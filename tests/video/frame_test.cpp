// The frame at every size, moving by its handles and resizing by its grip.
#include "video_fixture.h"

namespace {

using Frame = VideoWindow;

TEST_F(Frame, DockedStartLaysTheFrameOutAround400By308) {
    ASSERT_EQ(Form1->size(), QSize(400, 308));
    EXPECT_EQ(Form1->lt->geometry(), QRect(0, 0, 25, 25));
    EXPECT_EQ(Form1->top1->geometry(), QRect(25, 0, 350, 29));
    EXPECT_EQ(Form1->rt->geometry(), QRect(375, 0, 25, 30));
    EXPECT_EQ(Form1->left1->geometry(), QRect(0, 25, 25, 247));
    EXPECT_EQ(Form1->right1->geometry(), QRect(375, 29, 24, 243));
    EXPECT_EQ(Form1->lb->geometry(), QRect(0, 272, 25, 36));
    EXPECT_EQ(Form1->bottom1->geometry(), QRect(24, 272, 352, 36));
    EXPECT_EQ(Form1->rb->geometry(), QRect(375, 272, 25, 36));
    EXPECT_EQ(Form1->Lavideo->geometry(), QRect(165, 0, 70, 13));
    EXPECT_EQ(Form1->labadd->geometry(), QRect(13, 284, 294, 13));
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 372, 250));
    EXPECT_TRUE(Form1->labadd->isVisible());
    EXPECT_TRUE(Form1->Lavideo->isVisible());
    EXPECT_TRUE(Form1->ToolBar1->isHidden());
    EXPECT_TRUE(Form1->ToolBar2->isHidden());
    EXPECT_EQ(Form1->rb->cursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(Form1->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_TRUE(Form1->windowFlags().testFlag(Qt::FramelessWindowHint));
    // Every piece carries its picture of the skin at its designed size.
    for (SkinImage* piece : {Form1->lt, Form1->top1, Form1->rt, Form1->left1, Form1->right1,
                             Form1->lb, Form1->bottom1, Form1->rb}) {
        const QPixmap art = piece->pixmap();
        EXPECT_FALSE(art.isNull()) << piece->objectName().toStdString();
        EXPECT_EQ(art.size(), lanfeng::skinPixmap(piece->objectName()).size());
        EXPECT_TRUE(piece->hasScaledContents());
    }
    EXPECT_EQ(Form1->top1->pixmap().size(), QSize(368, 29));
    EXPECT_EQ(Form1->rb->pixmap().size(), QSize(25, 36));
}

TEST_F(Frame, ResizeFollowsTheWindowAtOtherSizes) {
    Form1->resize(640, 480);
    EXPECT_EQ(Form1->top1->width(), 590);
    EXPECT_EQ(Form1->rt->x(), 615);
    EXPECT_EQ(Form1->right1->geometry(), QRect(615, 29, 24, 415));
    EXPECT_EQ(Form1->left1->height(), 419);
    EXPECT_EQ(Form1->rb->geometry(), QRect(615, 444, 25, 36));
    EXPECT_EQ(Form1->lb->y(), 444);
    EXPECT_EQ(Form1->bottom1->geometry(), QRect(24, 444, 592, 36));
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 612, 422));
    EXPECT_EQ(Form1->Lavideo->x(), 285);
    EXPECT_EQ(Form1->labadd->y(), 456);
    // The strip takes its width from the player's left as it stood before this resize.
    EXPECT_EQ(Form1->ToolBar1->width(), 640 - 16 - 24 + 12);
    EXPECT_EQ(Form1->ScrollBar1->width(), 612 - 115);

    // Odd sizes: the halves are cut toward zero, also below zero.
    Form1->resize(61, 97);
    EXPECT_EQ(Form1->Lavideo->x(), -4);
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 33, 39));
    Form1->resize(251, 100);
    EXPECT_EQ(Form1->Lavideo->x(), 90);
}

TEST_F(Frame, CaptionLineAndTitleHideBelowTheirWidths) {
    const struct {
        int width;
        bool labadd, lavideo;
    } cases[] = {{320, true, true},
                 {319, false, true},
                 {250, false, true},
                 {249, false, false},
                 {400, true, true}};
    for (const auto& c : cases) {
        Form1->resize(c.width, 308);
        EXPECT_EQ(Form1->labadd->isVisible(), c.labadd) << c.width;
        EXPECT_EQ(Form1->Lavideo->isVisible(), c.lavideo) << c.width;
    }
}

TEST_F(Frame, TheGripResizesWithoutLimitsAndHidesTheCornerMeanwhile) {
    SkinImage* rb = Form1->rb;
    press(rb, {10, 10});
    EXPECT_TRUE(Form1->ResizeDragging);
    EXPECT_TRUE(Form1->lt->isHidden());
    moveTo(rb, {110, 60});
    EXPECT_EQ(Form1->size(), QSize(500, 358));
    EXPECT_EQ(rb->geometry(), QRect(475, 322, 25, 36));  // the corner went with the pointer
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 472, 300));
    // The grip's own coordinates: the pointer now rests on it again at the grip point.
    moveTo(rb, {10, 10});
    EXPECT_EQ(Form1->size(), QSize(500, 358));
    moveTo(rb, {-290, -250});
    EXPECT_EQ(Form1->size(), QSize(200, 98));
    EXPECT_FALSE(Form1->labadd->isVisible());
    EXPECT_FALSE(Form1->Lavideo->isVisible());
    release(rb, {-290, -250});
    EXPECT_FALSE(Form1->ResizeDragging);
    EXPECT_FALSE(Form1->lt->isHidden());
    EXPECT_TRUE(Form1->ShockwaveFlash1->isVisible());
    EXPECT_EQ(Form1->pos(), QPoint(389, 167));

    // Past the opposite corner the window just shrinks away.
    press(rb, {10, 10});
    moveTo(rb, {-1000, -1000});
    EXPECT_LE(Form1->width(), 1);
    EXPECT_LE(Form1->height(), 1);
    release(rb, {0, 0});
    EXPECT_FALSE(Form1->ResizeDragging);

    // Without a press the grip does nothing.
    Form1->resize(400, 308);
    moveTo(rb, {50, 50});
    EXPECT_EQ(Form1->size(), QSize(400, 308));
}

TEST_F(Frame, EveryHandleMovesTheWindowButTheCaptionLineOnlyContinues) {
    QWidget* handles[] = {Form1->lt,     Form1->top1, Form1->rt,      Form1->left1,
                          Form1->right1, Form1->lb,   Form1->bottom1, Form1->Lavideo};
    for (QWidget* handle : handles) {
        const QPoint start = Form1->pos();
        press(handle, {5, 6}, Qt::RightButton);  // any button starts a move
        EXPECT_TRUE(Form1->MoveDragging) << handle->objectName().toStdString();
        EXPECT_EQ(Form1->MoveGrip, QPoint(5, 6));
        moveTo(handle, {25, 1});
        EXPECT_EQ(Form1->pos(), start + QPoint(20, -5)) << handle->objectName().toStdString();
        release(handle, {25, 1}, Qt::RightButton);
        EXPECT_FALSE(Form1->MoveDragging);
        moveTo(handle, {40, 40});
        EXPECT_EQ(Form1->pos(), start + QPoint(20, -5));
    }

    // A press on the caption line starts nothing.
    const QPoint start = Form1->pos();
    press(Form1->labadd, {5, 5});
    EXPECT_FALSE(Form1->MoveDragging);
    moveTo(Form1->labadd, {50, 5});
    EXPECT_EQ(Form1->pos(), start);
    release(Form1->labadd, {50, 5});

    // A drag begun on the bottom edge goes on over the caption line and ends there. The
    // pointer's place counts within the control under it, against the grip of the press.
    press(Form1->bottom1, {30, 8});
    moveTo(Form1->labadd, {40, 3});
    EXPECT_EQ(Form1->pos(), start + QPoint(10, -5));
    release(Form1->labadd, {40, 3});
    EXPECT_FALSE(Form1->MoveDragging);
    EXPECT_EQ(Form1->size(), QSize(400, 308));
}

TEST_F(Frame, TheGridFollowsResizesWhileShown) {
    // The worked layout of the grid: 396 x 250 at (16, 24) gives 128 x 80 cells.
    Form1->ArrangeGrid(QRect(16, 24, 396, 250));
    const int lefts[] = {16, 149, 282}, tops[] = {24, 109, 194};
    for (int n = 0; n < 9; ++n) {
        auto* cell =
            Form1->findChild<PlayerControl*>(QStringLiteral("ShockwaveFlash0%1").arg(n + 1));
        ASSERT_EQ(cell, Form1->gridCells[n]);
        EXPECT_EQ(cell->geometry(), QRect(lefts[n % 3], tops[n / 3], 128, 80));
    }

    // Hidden cells stay where they are; shown, they follow the player rectangle.
    Form1->resize(500, 400);
    EXPECT_EQ(Form1->gridCells[0]->geometry(), QRect(16, 24, 128, 80));
    EXPECT_FALSE(Form1->gridShown());
    for (PlayerControl* cell : Form1->gridCells) cell->show();
    Form1->ShockwaveFlash1->hide();
    ASSERT_TRUE(Form1->gridShown());
    press(Form1->rb, {0, 0});
    moveTo(Form1->rb, {-28, -10});  // player becomes 444 x 332
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 444, 332));
    EXPECT_EQ(Form1->gridCells[0]->geometry(), QRect(16, 24, 144, 107));
    EXPECT_EQ(Form1->gridCells[8]->geometry(), QRect(16 + 298, 24 + 224, 144, 107));
    release(Form1->rb, {-28, -10});
    EXPECT_FALSE(Form1->ShockwaveFlash1->isVisible());  // the grid keeps the player hidden
    for (PlayerControl* cell : Form1->gridCells) EXPECT_TRUE(cell->isVisible());
}

}  // namespace
