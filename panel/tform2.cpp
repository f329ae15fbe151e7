#include "panel/tform2.h"

#include "app/forms.h"
#include "video/tform1.h"

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("岚枫flash播放器"));
    resize(295, 128);
    setStyleSheet(QStringLiteral("TForm2 { background: #1c2228; }"));
    setAttribute(Qt::WA_StyledBackground);
    Timer1.setInterval(10);
    for (QTimer* t : {&Timer2, &Timer3, &Timer4}) t->setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
}

void TForm2::FormCreate() {
    // Docked at the video window's top, directly left of it.
    if (Form1) move(Form1->x() - width(), Form1->y());
}

void TForm2::Timer1Timer() {}
