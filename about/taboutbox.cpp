#include "about/taboutbox.h"

#include <QMouseEvent>

#include "ui/skin_image.h"

namespace {
const char* const kStyle = R"(
QLabel { background: transparent; }
QLabel#ProductName { color: lime; font-size: 18px; font-weight: bold; }
QLabel#Version { color: white; font-size: 12px; }
QLabel#Copyright, QLabel#Comments { color: #b8c4ce; font-size: 11px; }
QPushButton { color: white; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3a4550,
              stop:1 #1c2228); border: 1px solid black; border-radius: 3px; padding: 3px 18px; }
QPushButton:hover { color: #9cff3c; border-color: #4cc01c; }
QPushButton:pressed { background: #0c1012; }
QPushButton:focus { border-color: #4cc01c; }
)";

QLabel* label(QWidget* parent, const char* name, const QString& text, QRect bounds) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(bounds);
    return l;
}
}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("关于"));
    setModal(false);
    const QPixmap face = lanfeng::skinPixmap(QStringLiteral("about"));
    setFixedSize(face.size());
    setStyleSheet(QString::fromLatin1(kStyle));

    // The face carries the frame and the program's mark; the texts lie over it.
    auto* background = new QLabel(this);
    background->setPixmap(face);
    background->setGeometry(rect());
    ProgramIcon = background;
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));

    ProductName = label(this, "ProductName", QStringLiteral("岚枫flash播放器"), {118, 34, 200, 26});
    Version = label(this, "Version", QStringLiteral("Version 1.782"), {118, 70, 200, 18});
    Copyright =
        label(this, "Copyright", QStringLiteral("Flash 动画播放、预览与转换"), {118, 92, 200, 16});
    Comments = label(this, "Comments", QStringLiteral("lanfeng.player@users.noreply"),
                     {118, 110, 200, 16});
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(width() - 100, height() - 46, 76, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::close);
}

void TAboutBox::mousePressEvent(QMouseEvent* event) {
    dragging_ = event->button() == Qt::LeftButton;
    grip_ = event->position().toPoint();
}

void TAboutBox::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) move(pos() + event->position().toPoint() - grip_);
}

void TAboutBox::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }
