// The video window's commands on playback and on the other windows: the playback strip, the
// loop modes, the window toggles, the hot keys, the mouse filter and dropped files.
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>

#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "ui/prompt.h"
#include "video/playback_rules.h"
#include "video/tform1.h"

Q_LOGGING_CATEGORY(lcVideo, "lanfeng.video")

namespace {

constexpr int kEscape = 27;
constexpr int kF10 = 121;

QStringList playlist() { return Form4 ? Form4->entries() : QStringList(); }

}  // namespace

// --- loop modes -------------------------------------------------------------------------

void Tform1::setLoopMode(QAction* item, QTimer* loopTimer) {
    for (QAction* own : {N13, N16, N17, N18}) own->setChecked(own == item);
    if (!Form2) return;
    QAction* const panelItem = item == N16   ? Form2->N15
                               : item == N17 ? Form2->N16
                               : item == N18 ? Form2->N14
                                             : Form2->N12;
    for (QAction* panel : {Form2->N12, Form2->N15, Form2->N16, Form2->N14})
        panel->setChecked(panel == panelItem);
    for (QTimer* t : {&Form2->Timer2, &Form2->Timer3, &Form2->Timer4}) {
        if (t == loopTimer)
            t->start();
        else
            t->stop();
    }
    // Without a loop mode nothing watches the movie, and the read-out stops with it.
    if (loopTimer)
        Form2->Timer1.start();
    else
        Form2->Timer1.stop();
}

void Tform1::N13Click() { setLoopMode(N13, nullptr); }
void Tform1::N16Click() { setLoopMode(N16, Form2 ? &Form2->Timer2 : nullptr); }
void Tform1::N17Click() { setLoopMode(N17, Form2 ? &Form2->Timer3 : nullptr); }
void Tform1::N18Click() { setLoopMode(N18, Form2 ? &Form2->Timer4 : nullptr); }

// --- window toggles ---------------------------------------------------------------------

void Tform1::N11Click() {
    if (Form2) Form2->setVisible(!Form2->isVisible());
    N11->setChecked(!N11->isChecked());
}

void Tform1::N3Click() {
    // The panel's own "播放列表" toggle flips the window and the ticks of both menus.
    if (Form2) {
        Form2->N2Click();
        return;
    }
    if (Form4) Form4->setVisible(!Form4->isVisible());
    N3->setChecked(!N3->isChecked());
}

// --- playback strip ---------------------------------------------------------------------

void Tform1::loadEntry(int entry) {
    const QStringList entries = playlist();
    ShockwaveFlash1->BGColor(QString());
    ShockwaveFlash1->Movie(entries.at(entry));
    ShockwaveFlash1->Play();
}

void Tform1::ToolButton1Click() {
    if (Form2) Form2->Timer1.start();
    const QStringList entries = playlist();
    const int index = lanfeng::playlistIndex(entries, ShockwaveFlash1->Movie());
    if (const auto entry = lanfeng::previousEntry(index, int(entries.size()))) loadEntry(*entry);
}

void Tform1::ToolButton5Click() {
    if (Form2) Form2->Timer1.start();
    const QStringList entries = playlist();
    const int index = lanfeng::playlistIndex(entries, ShockwaveFlash1->Movie());
    if (const auto entry = lanfeng::nextEntry(index, int(entries.size()))) loadEntry(*entry);
}

void Tform1::ToolButton2Click() { ShockwaveFlash1->Back(); }
void Tform1::ToolButton4Click() { ShockwaveFlash1->Forward(); }

void Tform1::ToolButton3Click() {
    if (!Form2) return;
    // The pause state is which of the panel's two images shows, whether or not the panel does.
    const bool pauseShown = !Form2->Image11->isHidden();
    const bool resumeShown = !Form2->Image21->isHidden();
    if (pauseShown != resumeShown) {
        Form2->Timer1.stop();
        ShockwaveFlash1->Stop();
        ToolButton3->setToolTip(QStringLiteral("播放"));
    }
    if (!pauseShown) {
        ShockwaveFlash1->Play();
        Form2->Timer1.start();
        ToolButton3->setToolTip(QStringLiteral("暂停"));
    }
    Form2->Image11->setVisible(!pauseShown);
    Form2->Image21->setVisible(!resumeShown);
}

void Tform1::ScrollBar1Scroll() {
    // Called as the bar acts, before its value follows: the slider position is the new place.
    ShockwaveFlash1->GotoFrame(ScrollBar1->sliderPosition());
    ShockwaveFlash1->Play();
}

// --- dropped files ----------------------------------------------------------------------

void Tform1::HandleDropFiles(const QStringList& paths) {
    for (const QString& path : paths)
        if (QFileInfo(path).isFile()) AddDroppedFile(path);
}

void Tform1::AddDroppedFile(const QString& path) {
    if (lanfeng::hasSwfExtension(path)) {
        if (Form4) Form4->ListBox1->addItem(path);
    } else {
        lanfeng::showMessage(QStringLiteral("这不是一个swf格式的flash文件！！！！"), this);
    }
}

// --- hot keys ---------------------------------------------------------------------------

void Tform1::WMHotKey(int virtualKey) {
    qCInfo(lcVideo) << "hot key" << virtualKey;  // a trace of what the grab delivered
    if (virtualKey == kF10) {
        if (Form2 && Form2->CaptureFrame()) ShockwaveFlash1->Play();
    } else if (virtualKey == kEscape) {
        resetWindow();
    }
}

void Tform1::resetWindow() {
    // Out of desktop play: opaque again, taking clicks, not on top.
    setDesktopLayer(false);
    ToolBar1->hide();
    ToolBar2->hide();
    N19->setChecked(false);
    N19->setVisible(false);
    N28->setEnabled(true);
    N2->setVisible(false);
    N15->setVisible(true);
    N11->setEnabled(true);
    setWindowState(windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
    RestoreDockedLayout();
    const QString sample = lanfeng::sampleMoviePath();
    for (int n = 1; n <= 9; ++n) {
        auto* cell = findChild<PlayerControl*>(QStringLiteral("ShockwaveFlash0%1").arg(n));
        if (!cell) continue;
        cell->BGColor(QString());
        cell->Movie(sample);
        cell->Stop();
        cell->hide();
    }
}

// --- mouse filter -----------------------------------------------------------------------

QMenu* Tform1::cellMenu(int cell) const {
    return cell >= 1 && cell <= int(cellMenus.size()) ? cellMenus[cell - 1] : nullptr;
}

bool Tform1::eventFilter(QObject* watched, QEvent* event) {
    if (rkmessage(watched, event)) return true;
    // The page bar's own surface drags it, as its labels do.
    if (watched == ToolBar2) {
        // Cast only once the type says it is a mouse event.
        const auto* mouse = dynamic_cast<QMouseEvent*>(event);
        switch (mouse ? event->type() : QEvent::None) {
            case QEvent::MouseButtonPress:
                ToolBar2MouseDown(mouse->button(), mouse->position().toPoint());
                break;
            case QEvent::MouseMove:
                ToolBar2MouseMove(mouse->position().toPoint());
                break;
            case QEvent::MouseButtonRelease:
                ToolBar2MouseUp(mouse->button(), mouse->position().toPoint());
                break;
            default:
                break;
        }
    }
    // Every character typed into the page box, before the box takes it.
    if (watched == Edit1 && event->type() == QEvent::KeyPress)
        for (QChar key : static_cast<QKeyEvent*>(event)->text()) Edit1KeyPress(key);
    return QWidget::eventFilter(watched, event);
}

bool Tform1::rkmessage(QObject* target, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonPress) return false;
    if (!target->isWidgetType()) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool doubleClick =
        type == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton;
    const bool rightDown = type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton;
    if (!doubleClick && !rightDown) return false;
    const QPoint at = mouse->globalPosition().toPoint();

    if (target == ShockwaveFlash1) {
        if (doubleClick) {
            if (N15->isVisible()) N15Click();
        } else {
            PopupMenu1->popup(at);
        }
        return true;
    }
    for (int n = 1; n <= 9; ++n) {
        if (target != gridCells[n - 1]) continue;
        if (QMenu* menu = cellMenu(n)) {
            if (doubleClick) {
                const QList<QAction*> items = menu->actions();
                if (items.size() > 2) items.at(2)->trigger();  // 单屏播放
            } else {
                menu->popup(at);
            }
        }
        return true;
    }
    return false;
}
