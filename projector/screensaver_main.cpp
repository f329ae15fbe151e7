// The screen-saver host, installed beside the program as screen.dll and copied to T.scr with
// its movie as T.swf. Started plainly it plays the movie over the whole screen and quits on
// the first key press or mouse movement; as an XScreenSaver hack it draws into the window it
// is given and leaves input to XScreenSaver.
#include <xcb/xcb.h>

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "player/player_control.h"
#include "projector/host_rules.h"

namespace {

// A movement smaller than this is the pointer settling, not the user.
constexpr int kMoveSlack = 4;

class SaverWindow : public QWidget {
public:
    SaverWindow(const QString& moviePath, bool quitOnInput)
        : QWidget(nullptr, Qt::FramelessWindowHint), quitOnInput_(quitOnInput) {
        setWindowTitle(QStringLiteral("lanfeng screen saver"));
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::black);
        setPalette(pal);
        setAutoFillBackground(true);
        control_ = new PlayerControl(this);
        control_->BGColor(QString());
        control_->Scale(QStringLiteral("showall"));
        control_->setMovie(moviePath);
        if (quitOnInput_) {
            control_->installEventFilter(this);
            control_->setCursor(Qt::BlankCursor);
            start_ = QCursor::pos();
        } else {
            control_->setAttribute(Qt::WA_TransparentForMouseEvents);
            control_->setFocusPolicy(Qt::NoFocus);
        }
    }
    QString loadError() const { return control_->loadError(); }

    // Takes keyboard and pointer, as a screen saver does; the server refuses grabs until the
    // window is on the screen, so this is tried again until they hold.
    void grabInput() {
        activateWindow();
        control_->setFocus();
        QWindow* w = windowHandle();
        if (w && w->setKeyboardGrabEnabled(true) && w->setMouseGrabEnabled(true)) return;
        if (++grabTries_ < 50) QTimer::singleShot(100, this, [this] { grabInput(); });
    }

protected:
    void resizeEvent(QResizeEvent*) override { control_->setGeometry(rect()); }
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
                QCoreApplication::quit();
                return true;
            case QEvent::MouseMove: {
                const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
                if ((at - start_).manhattanLength() > kMoveSlack) QCoreApplication::quit();
                return true;
            }
            default:
                return false;
        }
    }

private:
    PlayerControl* control_;
    bool quitOnInput_;
    QPoint start_;  // where the pointer was when the saver started
    int grabTries_ = 0;
};

// The size of another client's window; empty once that window is gone.
QSize foreignSize(uint64_t window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return {};
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, xcb_drawable_t(window)), nullptr);
    if (!g) return {};
    const QSize size(g->width, g->height);
    free(g);
    return size;
}

int fail(const QString& line) {
    std::fprintf(stderr, "lanfeng screen saver: %s\n", qPrintable(line));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("lanfeng"));
    const lanfeng::SaverTarget target =
        lanfeng::saverTarget(app.arguments().mid(1), qgetenv("XSCREENSAVER_WINDOW"));
    if (!target.error.isEmpty()) return fail(target.error);
    const QString movie = lanfeng::movieBesideSaver(QCoreApplication::applicationFilePath());
    if (!QFile::exists(movie)) return fail(QStringLiteral("no movie beside it: %1").arg(movie));

    SaverWindow window(movie, target.mode == lanfeng::SaverTarget::Standalone);
    if (!window.loadError().isEmpty())
        return fail(QStringLiteral("cannot play %1: %2").arg(movie, window.loadError()));

    QTimer follow;  // the given window may change size, or go away with XScreenSaver's
    if (target.mode == lanfeng::SaverTarget::Window) {
        const QSize size = foreignSize(target.window);
        QWindow* host = QWindow::fromWinId(WId(target.window));
        if (size.isEmpty() || !host)
            return fail(QStringLiteral("no X window 0x%1").arg(target.window, 0, 16));
        window.winId();
        window.windowHandle()->setParent(host);
        window.setGeometry(QRect(QPoint(0, 0), size));
        window.show();
        QObject::connect(&follow, &QTimer::timeout, &window, [&] {
            const QSize now = foreignSize(target.window);
            if (now.isEmpty())
                QCoreApplication::quit();
            else if (now != window.size())
                window.setGeometry(QRect(QPoint(0, 0), now));
        });
        follow.start(500);
    } else {
        if (QScreen* s = QGuiApplication::primaryScreen()) window.setGeometry(s->geometry());
        window.setWindowFlag(Qt::WindowStaysOnTopHint);
        window.showFullScreen();
        if (target.mode == lanfeng::SaverTarget::Standalone)
            QTimer::singleShot(100, &window, [&window] { window.grabInput(); });
    }
    return app.exec();
}
