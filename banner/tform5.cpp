#include "banner/tform5.h"

TForm5::TForm5(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form5"));
    resize(695, 63);
}
