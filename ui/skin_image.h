#pragma once
// The building blocks of skinned windows: a label and an image that report mouse down, move,
// up and click, and the pictures of the program's skin.

#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QString>

// The skin lives in a static library; naming its resource keeps the linker from dropping it.
inline void initSkinResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(skin);
        return true;
    }();
    (void)done;
}

namespace lanfeng {
// A picture of the skin by its name, ":/skin/<name>.png".
inline QPixmap skinPixmap(const QString& name) {
    initSkinResources();
    return QPixmap(QStringLiteral(":/skin/") + name + QStringLiteral(".png"));
}
}  // namespace lanfeng

// A label whose mouse events arrive as signals. While a button is held, the label that took
// the press keeps receiving the moves (Qt's implicit grab), also outside its bounds.
class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(QWidget* parent = nullptr) : QLabel(parent) {}
    explicit SkinLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

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

// An image stretched to its bounds: frame pieces and image buttons.
class SkinImage : public SkinLabel {
    Q_OBJECT
public:
    explicit SkinImage(QWidget* parent = nullptr) : SkinLabel(parent) { setScaledContents(true); }
    // Shows the named picture of the skin.
    void setSkin(const QString& name) { setPixmap(lanfeng::skinPixmap(name)); }
};
