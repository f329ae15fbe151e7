#pragma once
// An image that reports mouse down, move, up and click, the building block of skinned windows.

#include <QLabel>
#include <QMouseEvent>

class SkinImage : public QLabel {
    Q_OBJECT
public:
    explicit SkinImage(QWidget* parent = nullptr) : QLabel(parent) { setScaledContents(true); }

signals:
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void mouseMove(QPoint pos);
    void mouseUp(Qt::MouseButton button, QPoint pos);
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override {
        emit mouseDown(e->button(), e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override { emit mouseMove(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        emit mouseUp(e->button(), e->position().toPoint());
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            emit clicked();
    }
};
