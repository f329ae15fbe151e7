#include "about/taboutbox.h"

TAboutBox::TAboutBox(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("AboutBox"));
    resize(300, 200);
}
