#pragma once
// Window services of the desktop: the screen's whole size, a top-level window's opacity, its
// transparency to the pointer and its place above other windows.

#include <QSize>

class QWidget;

namespace lanfeng {

// The whole screen the window is on (the primary one before it is shown), task bars included.
QSize screenSize(const QWidget* window);

// The window drawn at alpha / 255 over what lies below it. An X server without a compositor
// ignores the request and the window stays opaque.
void setWindowAlpha(QWidget* window, int alpha);
int windowAlpha(const QWidget* window);

// Pointer input passes through the window to the windows below it.
void setInputTransparent(QWidget* window, bool on);
// Kept above the windows of other programs.
void setStaysOnTop(QWidget* window, bool on);

}  // namespace lanfeng
