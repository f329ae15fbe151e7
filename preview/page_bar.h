#pragma once
// The list preview's page bar: a tool bar whose own surface reports the mouse, so that it can
// be dragged by it as by its two labels.

#include <QMouseEvent>
#include <QToolBar>

class PageBar : public QToolBar {
    Q_OBJECT
public:
    explicit PageBar(QWidget* parent = nullptr) : QToolBar(parent) {}

signals:
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void mouseMove(QPoint pos);
    void mouseUp(Qt::MouseButton button, QPoint pos);

protected:
    void mousePressEvent(QMouseEvent* e) override {
        emit mouseDown(e->button(), e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override { emit mouseMove(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        emit mouseUp(e->button(), e->position().toPoint());
    }
};
