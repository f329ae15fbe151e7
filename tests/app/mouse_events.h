#pragma once
// A mouse event as the window system delivers it to the widget under (or grabbed by) it.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace testmouse {

// True when the program took the event.
inline bool send(QWidget* w, QEvent::Type type, QPoint pos,
                 Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)),
                  type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    return QCoreApplication::sendEvent(w, &e);
}

}  // namespace testmouse
