#include "panel/tform7.h"

#include "app/forms.h"
#include "panel/tform2.h"
#include "platform/window_layer.h"
#include "playlist/tform4.h"
#include "video/tform1.h"

TForm7::TForm7(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("桌面播放透明调节"));
    resize(1012, 32);

    Label1 = new QLabel(QStringLiteral("透明度调度："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 72, 13);
    QFont small = Label1->font();
    small.setPixelSize(12);
    Label1->setFont(small);

    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(88, 2, 769, 25);
    TrackBar1->setRange(0, 255);
    TrackBar1->setValue(0);
    TrackBar1->setTickInterval(10);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    connect(TrackBar1, &QSlider::valueChanged, this, &TForm7::TrackBar1Change);

    Button1 = new QPushButton(QStringLiteral("退出桌面播放"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(896, 2, 97, 25);
    Button1->setFont(small);
    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
}

void TForm7::FormShow() {}

void TForm7::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormShow();
}

void TForm7::TrackBar1Change() {
    if (Form1) lanfeng::setWindowAlpha(Form1, TrackBar1->value());
}

void TForm7::Button1Click() {
    if (Form1) Form1->setDesktopLayer(false);
    if (Form2) Form2->show();
    if (Form4) Form4->show();
    if (Form1) {
        Form1->setWindowState(Form1->windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized));
        Form1->RestoreDockedLayout();
    }
    hide();
}
