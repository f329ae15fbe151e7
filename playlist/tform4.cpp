#include "playlist/tform4.h"

#include "app/forms.h"
#include "panel/tform2.h"
#include "video/tform1.h"

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("岚枫flash播放器"));
    setStyleSheet(QStringLiteral("TForm4 { background: #1c2228; }"));
    setAttribute(Qt::WA_StyledBackground);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setFrameShape(QFrame::NoFrame);
    ListBox1->setStyleSheet(QStringLiteral("QListWidget { background: black; color: lime; }"));
}

void TForm4::FormCreate() {
    // Below the panel, as wide as it, and as tall as the video window minus the panel.
    if (Form2 && Form1) {
        QWidget* panel = Form2;
        setGeometry(panel->x(), panel->y() + panel->height(), panel->width(),
                    Form1->height() - panel->height());
    }
    ListBox1->setGeometry(16, 20, width() - 32, height() - 40);
}
