#include "platform/window_layer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace lanfeng {

namespace {
// Changing a window's flags takes it off the screen; it comes back where it was.
void setFlag(QWidget* window, Qt::WindowType flag, bool on) {
    if (window->windowFlags().testFlag(flag) == on) return;
    const bool wasVisible = window->isVisible();
    window->setWindowFlag(flag, on);
    if (wasVisible) window->show();
}
}  // namespace

QSize screenSize(const QWidget* window) {
    QScreen* screen = window ? window->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

void setWindowAlpha(QWidget* window, int alpha) {
    window->setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
}

int windowAlpha(const QWidget* window) { return int(std::lround(window->windowOpacity() * 255.0)); }

void setInputTransparent(QWidget* window, bool on) {
    setFlag(window, Qt::WindowTransparentForInput, on);
}

void setStaysOnTop(QWidget* window, bool on) { setFlag(window, Qt::WindowStaysOnTopHint, on); }

}  // namespace lanfeng
