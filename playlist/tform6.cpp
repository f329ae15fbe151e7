#include "playlist/tform6.h"

TForm6::TForm6(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form6"));
    resize(300, 400);
}
