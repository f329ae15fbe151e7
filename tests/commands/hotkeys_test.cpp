// Esc and F10 as they arrive from the hot-key grab, the mouse filter, and drops on the player.
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "tests/commands/commands_fixture.h"

namespace {

using HotKeys = Commands;

const QString kNotSwf = QStringLiteral("这不是一个swf格式的flash文件！！！！");

QRect dockedVideoPlace() {
    return {Form2->x() + Form2->width(), Form2->y(), 400, Form2->height() + Form4->height()};
}

TEST_F(HotKeys, EscOutsideFullScreenDocksTheWindowAndEmptiesTheGrid) {
    Form1->setGeometry(500, 300, 640, 420);
    Form1->ToolBar2->show();
    Form1->N28->setEnabled(false);
    for (PlayerControl* cell : Form1->gridCells) {
        cell->Movie(makeMovie("cell.swf", 20));
        cell->BGColor("#ff0000");
        cell->show();
    }
    Form1->WMHotKey(27);
    EXPECT_EQ(Form1->geometry(), dockedVideoPlace());
    EXPECT_FALSE(Form1->ToolBar2->isVisibleTo(Form1));
    EXPECT_TRUE(Form1->N28->isEnabled());
    EXPECT_TRUE(Form1->N15->isVisible());
    EXPECT_TRUE(Form1->ShockwaveFlash1->isVisibleTo(Form1));
    for (PlayerControl* cell : Form1->gridCells) {
        EXPECT_EQ(cell->Movie(), root + "bin/sample.swf");
        EXPECT_TRUE(cell->BGColor().isEmpty());
        EXPECT_FALSE(cell->isPlaying());
        EXPECT_FALSE(cell->isVisibleTo(Form1));
    }
    EXPECT_TRUE(Form2->isVisible());  // Esc shows and hides no other window
}

TEST_F(HotKeys, EscLeavesFullScreenAndThePlaybackStrip) {
    const QString a = makeMovie("a.swf", 20);
    play(a);
    Form2->Timer1.start();
    Form1->N15Click();
    Form1->N19Click();
    ASSERT_TRUE(Form1->ToolBar1->isVisibleTo(Form1));
    Form1->WMHotKey(27);
    EXPECT_FALSE(Form1->windowState().testFlag(Qt::WindowFullScreen));
    EXPECT_EQ(Form1->geometry(), dockedVideoPlace());
    EXPECT_FALSE(Form1->ToolBar1->isVisibleTo(Form1));
    EXPECT_FALSE(Form1->N19->isVisible());
    EXPECT_FALSE(Form1->N19->isChecked());
    EXPECT_FALSE(Form1->N2->isVisible());
    EXPECT_TRUE(Form1->N11->isEnabled());
    EXPECT_EQ(player()->Movie(), a);  // the main player keeps its movie
}

TEST_F(HotKeys, F10CancelledLeavesTheMovieStoppedAndSavesNothing) {
    play(makeMovie("a.swf", 20));
    Form1->WMHotKey(121);
    EXPECT_FALSE(player()->isPlaying());
    ASSERT_EQ(prompt->fileRequests.size(), 1u);
    EXPECT_EQ(prompt->fileRequests[0].filter, QStringLiteral("Bitmaps (*.bmp)|*.bmp"));
    EXPECT_EQ(prompt->fileRequests[0].fileName, QStringLiteral("未命名"));
    EXPECT_EQ(prompt->fileRequests[0].mode, lanfeng::FileRequest::Save);
    EXPECT_FALSE(prompt->fileRequests[0].confirmOverwrite);
    EXPECT_EQ(QDir(root).entryList({"*.bmp"}, QDir::Files), QStringList());
}

TEST_F(HotKeys, F10ConfirmedSavesThePlayersPictureWithBmpAppendedAndPlaysOn) {
    play(makeMovie("a.swf", 20));
    prompt->fileAnswers.push_back({root + "shot"});
    prompt->fileAnswers.push_back({root + "shot.bmp"});
    Form1->WMHotKey(121);
    EXPECT_TRUE(player()->isPlaying());
    const QImage shot(root + "shot.bmp", "BMP");
    EXPECT_EQ(shot.size(), player()->size());
    Form1->WMHotKey(121);
    EXPECT_TRUE(QFileInfo(root + "shot.bmp.bmp").isFile());
    // The dialog keeps the last name for the next capture.
    EXPECT_EQ(prompt->fileRequests[1].fileName, root + "shot");
}

TEST_F(HotKeys, F10InFullScreenCopiesTheWholePlayer) {
    play(makeMovie("a.swf", 20));
    Form1->N15Click();
    prompt->fileAnswers.push_back({root + "full"});
    Form1->WMHotKey(121);
    const QImage shot(root + "full.bmp", "BMP");
    EXPECT_EQ(shot.size(), Form1->screen()->geometry().size());
}

QMouseEvent mouseEvent(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
    const QPointF at(10, 10);
    return QMouseEvent(type, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
}

TEST_F(HotKeys, ADoubleClickOnThePlayerEntersFullScreenOnce) {
    QMouseEvent dbl = mouseEvent(player(), QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_TRUE(QCoreApplication::sendEvent(player(), &dbl));
    EXPECT_TRUE(Form1->N2->isVisible());
    EXPECT_FALSE(Form1->N15->isVisible());
    EXPECT_EQ(Form1->geometry(), Form1->screen()->geometry());
    QMouseEvent again = mouseEvent(player(), QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_TRUE(QCoreApplication::sendEvent(player(), &again));  // taken, nothing happens
    EXPECT_TRUE(Form1->N2->isVisible());
}

TEST_F(HotKeys, ARightPressOnThePlayerOpensItsMenu) {
    QMouseEvent right = mouseEvent(player(), QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_TRUE(QCoreApplication::sendEvent(player(), &right));
    EXPECT_TRUE(Form1->PopupMenu1->isVisible());
    Form1->PopupMenu1->hide();
}

TEST_F(HotKeys, GridCellsRunTheThirdItemOfTheirOwnMenu) {
    PlayerControl* cell = Form1->gridCells[3];
    QMenu* menu = Form1->cellMenu(4);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->objectName(), "PopupMenu04");
    int runs = 0;
    QObject::connect(menu->actions().at(2), &QAction::triggered, [&runs] { ++runs; });
    QMouseEvent dbl = mouseEvent(cell, QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_TRUE(QCoreApplication::sendEvent(cell, &dbl));
    EXPECT_EQ(runs, 1);
    QMouseEvent right = mouseEvent(cell, QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_TRUE(QCoreApplication::sendEvent(cell, &right));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    EXPECT_FALSE(Form1->PopupMenu1->isVisible());
}

TEST_F(HotKeys, DroppedFilesOnThePlayerJoinTheListWhenExactlySwf) {
    const QString a = makeMovie("a.swf", 10);
    testmovies::writeFile(root + "b.txt", "x");
    const QString c = makeMovie("c.SWF", 10);
    QDir().mkpath(root + "folder.swf");
    const QStringList before = listed();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(root + "b.txt"),
                  QUrl::fromLocalFile(c), QUrl::fromLocalFile(root + "folder.swf")});
    // A real drop, as the window system delivers it: entered, then dropped.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(player(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(player(), &drop);
    EXPECT_EQ(listed(), before + QStringList{a});
    EXPECT_EQ(messageTexts(), QStringList(2, kNotSwf));
    EXPECT_EQ(player()->Movie(), root + "bin/sample.swf");  // added, not played
}

}  // namespace
