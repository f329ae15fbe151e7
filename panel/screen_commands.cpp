// The panel's commands that reach beyond playback: full screen with the grid, the CD tray, the
// file association, and desktop play.
#include <QCoreApplication>

#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "panel/tform7.h"
#include "platform/cd_tray.h"
#include "platform/file_association.h"
#include "platform/window_layer.h"
#include "playlist/tform4.h"
#include "ui/prompt.h"
#include "video/tform1.h"

namespace {

const QString kProgramCaption = QStringLiteral("岚枫flash播放器");

// The menu state both enlarged layouts give the video window; its "退出全屏" undoes it.
void enterEnlargedMenu(Tform1* video, bool refreshing) {
    video->N28->setEnabled(false);
    if (refreshing) video->N19->setVisible(true);
    video->N2->setVisible(true);
    video->N15->setVisible(false);
}

// The main player over rect, repainted, titled, with the grid over it when the grid shows.
void enlargePlayer(Tform1* video, const QRect& rect) {
    PlayerControl* player = video->ShockwaveFlash1;
    player->setGeometry(rect);
    video->RefreshPlayer();
    player->setToolTip(lanfeng::MovieTitle(player->Movie()));
    if (video->gridShown()) video->GridOverPlayer();
}

}  // namespace

void TForm2::Image16Click() {
    if (!Form1) return;
    enterEnlargedMenu(Form1, Timer1.isActive());
    Form1->coverScreen();
    Form1->N11->setEnabled(false);
    // The whole screen, not the window's work area.
    enlargePlayer(Form1, QRect(QPoint(0, 0), lanfeng::screenSize(Form1)));
}

void TForm2::N4Click() { lanfeng::setCdTrayOpen(true); }

void TForm2::N5Click() { lanfeng::setCdTrayOpen(false); }

void TForm2::N8Click() {
    const QString failure = lanfeng::associateSwfFiles(QCoreApplication::applicationFilePath());
    if (failure.isEmpty())
        lanfeng::prompt().message(QStringLiteral("关联成功，谢谢使用本软件!"), kProgramCaption,
                                  lanfeng::MessageKind::Information, nullptr);
    else
        lanfeng::prompt().message(QStringLiteral("文件关联失败！\n") + failure, kProgramCaption,
                                  lanfeng::MessageKind::Error, nullptr);
}

void TForm2::N20Click() { deskplay(); }

void TForm2::deskplay() {
    if (!Form1 || !Form7) return;
    const QSize screen = lanfeng::screenSize(Form1);
    Form7->setGeometry(0, 0, screen.width(), Form7->height());
    Form7->show();
    Form7->TrackBar1->setValue(125);

    enterEnlargedMenu(Form1, Timer1.isActive());
    Form1->N11->setEnabled(false);
    // The layer runs from the bar's lower edge to 25 px above the screen's bottom. It is sized
    // by hand: a window manager holds a maximised window to its own size.
    const int layerHeight = screen.height() - Form7->height() - 25;
    Form1->setWindowState(Form1->windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
    Form1->setGeometry(0, Form7->height(), screen.width(), layerHeight);
    enlargePlayer(Form1, QRect(0, 0, screen.width(), layerHeight));

    if (isVisible()) hide();
    if (Form4 && Form4->isVisible()) Form4->hide();
    Form1->setDesktopLayer(true, Form7->TrackBar1->value());
}
