// The video window's context menu and its window commands: full screen and back, the playback
// strip in full screen, keeping the window on top, the about box.
#include <QScreen>

#include "about/taboutbox.h"
#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "platform/window_layer.h"
#include "ui/skin_menu.h"
#include "video/tform1.h"

void Tform1::bindItem(QAction* item, QObject* context, std::function<void()> command) {
    QObject::connect(item, &QAction::triggered, context, [item, command = std::move(command)] {
        if (item->isCheckable()) item->setChecked(!item->isChecked());  // undo Qt's own toggle
        command();
    });
}

void Tform1::buildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setStyleSheet(QString::fromLatin1(lanfeng::kSkinMenuStyle));

    N15 = lanfeng::menuItem(PopupMenu1, "N15", "全屏显示");
    N2 = lanfeng::menuItem(PopupMenu1, "N2", "退出全屏");
    N2->setVisible(false);
    exe1 = lanfeng::menuItem(PopupMenu1, "exe1", "生成 exe");
    N12Menu = PopupMenu1->addMenu(QStringLiteral("循环方式"));
    N12Menu->setObjectName(QStringLiteral("N12"));
    N12 = N12Menu->menuAction();
    N12->setObjectName(QStringLiteral("N12"));
    N13 = lanfeng::menuItem(N12Menu, "N13", "不用循环", true);
    N13->setChecked(true);
    N12Menu->addSeparator();
    N16 = lanfeng::menuItem(N12Menu, "N16", "单曲循环", true);
    N17 = lanfeng::menuItem(N12Menu, "N17", "整体循环", true);
    N18 = lanfeng::menuItem(N12Menu, "N18", "随机循环", true);
    N29 = lanfeng::menuItem(PopupMenu1, "N29", "屏幕保护");
    N19 = lanfeng::menuItem(PopupMenu1, "N19", "显示控制", true);
    N19->setVisible(false);
    N4 = lanfeng::separator(PopupMenu1, "N4");
    N11 = lanfeng::menuItem(PopupMenu1, "N11", "主控窗口", true);
    N11->setChecked(true);
    N3 = lanfeng::menuItem(PopupMenu1, "N3", "播放列表", true);
    N3->setChecked(true);
    N5 = lanfeng::menuItem(PopupMenu1, "N5", "九格预览");
    N30 = lanfeng::menuItem(PopupMenu1, "N30", "清单预览");
    N28 = lanfeng::menuItem(PopupMenu1, "N28", "视频最前", true);
    N7 = lanfeng::separator(PopupMenu1, "N7");
    N8 = lanfeng::menuItem(PopupMenu1, "N8", "关于");

    bindItem(N15, this, [this] { N15Click(); });
    bindItem(N2, this, [this] { N2Click(); });
    bindItem(N19, this, [this] { N19Click(); });
    bindItem(N28, this, [this] { N28Click(); });
    bindItem(N8, this, [this] { N8Click(); });
    bindItem(N11, this, [this] { N11Click(); });
    bindItem(N3, this, [this] { N3Click(); });
    bindItem(N13, this, [this] { N13Click(); });
    bindItem(N16, this, [this] { N16Click(); });
    bindItem(N17, this, [this] { N17Click(); });
    bindItem(N18, this, [this] { N18Click(); });
    bindItem(exe1, this, [this] { exe1Click(); });
    bindItem(N29, this, [this] { N29Click(); });
    bindItem(N5, this, [this] { N5Click(); });
    bindItem(N30, this, [this] { N30Click(); });
    // The main player's menu is opened by rkmessage.
}

void Tform1::N15Click() {
    N28->setEnabled(false);
    if (Form2 && Form2->Timer1.isActive()) N19->setVisible(true);
    N2->setVisible(true);
    N15->setVisible(false);
    N11->setEnabled(false);
    coverScreen();
    ShockwaveFlash1->setGeometry(0, 0, width(), height());
    RefreshPlayer();
    ShockwaveFlash1->setToolTip(lanfeng::MovieTitle(ShockwaveFlash1->Movie()));
}

void Tform1::coverScreen() {
    // The full-screen state rather than "maximised": a borderless maximised window stops at
    // the desktop's panels. Without a window manager only the geometry counts, so set it too.
    setWindowState(windowState() | Qt::WindowFullScreen);
    if (QScreen* s = screen()) setGeometry(s->geometry());
    raise();  // over the panel and the playlist, as a maximised window comes to the front
    activateWindow();
}

void Tform1::N2Click() {
    ToolBar1->hide();
    N19->setChecked(false);
    N19->setVisible(false);
    N15->setVisible(true);
    N2->setVisible(false);
    setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
    setOnTop(false);  // whatever N28's tick says; the tick stays
    N11->setEnabled(true);
    N28->setEnabled(true);
    RestoreDockedLayout();
}

void Tform1::N19Click() {
    N19->setEnabled(!gridShown());
    N19->setChecked(!N19->isChecked());
    if (!N2->isVisible()) return;
    if (N19->isChecked()) {
        ToolBar1->setGeometry(0, 0, width(), ToolBar1->height());
        ScrollBar1->setGeometry(115, ScrollBar1->y(), ToolBar1->width() - 125,
                                ScrollBar1->height());
        ShockwaveFlash1->setGeometry(0, ToolBar1->height(), width(), height() - ToolBar1->height());
        RefreshPlayer();
        ToolBar1->show();
        ToolBar1->raise();
    } else {
        ShockwaveFlash1->setGeometry(0, 0, width(), height());
        RefreshPlayer();
        ToolBar1->hide();
        N19->setChecked(false);
    }
}

void Tform1::N28Click() {
    N28->setChecked(!N28->isChecked());
    setOnTop(N28->isChecked());
}

void Tform1::N8Click() {
    if (!AboutBox) return;
    if (!AboutBox->isVisible())
        AboutBox->move(geometry().center() - QPoint(AboutBox->width(), AboutBox->height()) / 2);
    AboutBox->show();
    AboutBox->raise();
    AboutBox->activateWindow();
}

void Tform1::setOnTop(bool on) { lanfeng::setStaysOnTop(this, on); }

void Tform1::setDesktopLayer(bool on, int alpha) {
    setOnTop(on);
    lanfeng::setInputTransparent(this, on);
    lanfeng::setWindowAlpha(this, on ? alpha : 255);
}
