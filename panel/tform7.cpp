#include "panel/tform7.h"

TForm7::TForm7(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form7"));
    resize(1012, 32);
}
