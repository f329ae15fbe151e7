// lanfeng-projector: the stand-alone player a projector is made from. It plays the movie
// appended to its own file in one window the size of the stage.
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "player/player_control.h"
#include "projector/host_rules.h"

namespace {

class ProjectorWindow : public QWidget {
public:
    ProjectorWindow(const QString& path, const QByteArray& movie) {
        setWindowTitle(QFileInfo(path).completeBaseName());
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::black);
        setPalette(pal);
        setAutoFillBackground(true);
        control_ = new PlayerControl(this);
        control_->setMovieData(path, movie);
        control_->installEventFilter(this);
        if (swf::Player* p = control_->player())
            resize(std::max(1, p->info().widthPixels()), std::max(1, p->info().heightPixels()));
        control_->setFocus();
        // A movie's FSCommand quit ends a projector, as the Flash projector did.
        connect(&quitCheck_, &QTimer::timeout, this, [this] {
            if (control_->quitRequested()) close();
        });
        quitCheck_.start(100);
    }
    QString loadError() const { return control_->loadError(); }

protected:
    void resizeEvent(QResizeEvent*) override { control_->setGeometry(rect()); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        // Esc leaves full screen; Ctrl+F enters and leaves it, as in the Flash projector.
        if (key->key() == Qt::Key_Escape && fullScreen_) {
            leaveFullScreen();
        } else if (key->key() == Qt::Key_F && key->modifiers() == Qt::ControlModifier) {
            fullScreen_ ? leaveFullScreen() : enterFullScreen();
            return true;
        }
        return false;
    }

private:
    // Without a window manager only the geometry counts, so it is set along with the state, and
    // the window's own state is not to be trusted: the server reports none back.
    void enterFullScreen() {
        normal_ = geometry();
        fullScreen_ = true;
        showFullScreen();
        if (QScreen* s = screen()) setGeometry(s->geometry());
    }
    void leaveFullScreen() {
        fullScreen_ = false;
        showNormal();
        setGeometry(normal_);
    }

    PlayerControl* control_;
    QRect normal_;             // where the window stood before full screen
    bool fullScreen_ = false;  // Ctrl+F has put the window over the whole screen
    QTimer quitCheck_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("lanfeng"));
    const QString self = QCoreApplication::applicationFilePath();
    const lanfeng::AttachedMovie movie = lanfeng::readAttachedMovie(self);
    if (!movie.error.isEmpty()) {
        std::fprintf(stderr, "lanfeng-projector: %s\n", qPrintable(movie.error));
        return 1;
    }
    ProjectorWindow window(self, movie.bytes);
    if (!window.loadError().isEmpty()) {
        std::fprintf(stderr, "lanfeng-projector: cannot play the movie: %s\n",
                     qPrintable(window.loadError()));
        return 1;
    }
    window.show();
    return app.exec();
}
