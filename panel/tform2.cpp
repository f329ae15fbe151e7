#include "panel/tform2.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "about/taboutbox.h"
#include "app/forms.h"
#include "app/paths.h"
#include "playlist/tform4.h"
#include "ui/prompt.h"
#include "ui/skin_menu.h"
#include "video/tform1.h"

namespace {

const QString kDefaultTitle = QStringLiteral("岚枫FLASH播放器");

SkinImage* image(QWidget* parent, const char* name, QRect bounds, const char* skin) {
    auto* img = new SkinImage(parent);
    img->setObjectName(QString::fromLatin1(name));
    img->setGeometry(bounds);
    if (skin) img->setSkin(QString::fromLatin1(skin));
    return img;
}

// A label that breaks its line at a carriage return, as the time read-out needs; the text
// itself keeps the CR.
class ReadoutLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        p.setFont(font());
        QString shown = text();
        shown.replace(QChar(13), QChar(10));
        p.drawText(contentsRect(), int(alignment()), shown);
    }
};

QLabel* label(QWidget* parent, const char* name, QRect bounds, const QString& text,
              const char* colour) {
    auto* l = new ReadoutLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(bounds);
    l->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour));
    // Read-outs lie on the drag surface; presses go through to it.
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

QFont songti(int pixels, bool bold) {
    QFont f;
    f.setFamilies(
        {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("岚枫flash播放器"));
    setWindowIcon(lanfeng::skinPixmap(QStringLiteral("icon")));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(295, 128);

    buildImages();
    buildLabels();
    buildMenu();

    OpenDialog1.Filter = QStringLiteral("flash动画文件(*.swf)|*.swf");
    OpenDialog1.Title = QStringLiteral("c");
    OpenDialog1.options = lanfeng::FileDialog::HideReadOnly |
                          lanfeng::FileDialog::AllowMultiSelect |
                          lanfeng::FileDialog::FileMustExist | lanfeng::FileDialog::EnableSizing;

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(10);
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer4.setObjectName(QStringLiteral("Timer4"));
    for (QTimer* t : {&Timer2, &Timer3, &Timer4}) t->setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
    connect(&Timer2, &QTimer::timeout, this, &TForm2::Timer2Timer);
    connect(&Timer3, &QTimer::timeout, this, &TForm2::Timer3Timer);
    connect(&Timer4, &QTimer::timeout, this, &TForm2::Timer4Timer);

    SaveDialog1.options = lanfeng::FileDialog::OverwritePrompt;
    SavePictureDialog1.Filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    SavePictureDialog1.FileName = QStringLiteral("未命名");
    SavePictureDialog1.options =
        lanfeng::FileDialog::HideReadOnly | lanfeng::FileDialog::EnableSizing;
}

void TForm2::buildImages() {
    initSkinResources();
    Image5 = image(this, "Image5", {0, 0, 295, 128}, "panel_back");
    connect(Image5, &SkinLabel::mouseDown, this, &TForm2::Image5MouseDown);
    connect(Image5, &SkinLabel::mouseMove, this, &TForm2::Image5MouseMove);
    connect(Image5, &SkinLabel::mouseUp, this, &TForm2::Image5MouseUp);

    Image1 = image(this, "Image1", {267, 5, 8, 8}, "panel_dot");
    Image2 = image(this, "Image2", {280, 5, 8, 8}, "panel_close");
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->setToolTip(QStringLiteral("关闭"));
    connect(Image2, &SkinLabel::clicked, this, &TForm2::Image2Click);

    struct Button {
        SkinImage** image;
        const char* name;
        const char* skin;
        const char* hint;
        SkinImage** pressed;
        const char* pressedName;
        void (TForm2::*click)();
    };
    const Button buttons[] = {
        {&Image7, "Image7", "panel_open", "打开", &Image17, "Image17", &TForm2::Image7Click},
        {&Image8, "Image8", "panel_play", "播放", &Image18, "Image18", &TForm2::Image8Click},
        {&Image9, "Image9", "panel_rewind", "返回初始", &Image19, "Image19", &TForm2::Image9Click},
        {&Image10, "Image10", "panel_stepback", "后退", &Image20, "Image20", &TForm2::Image10Click},
        {&Image11, "Image11", "panel_pause", "暂停", nullptr, nullptr, &TForm2::Image11Click},
        {&Image12, "Image12", "panel_stepforward", "前进", &Image22, "Image22",
         &TForm2::Image12Click},
        {&Image13, "Image13", "panel_end", "跳至结尾", &Image23, "Image23", &TForm2::Image13Click},
        {&Image14, "Image14", "panel_stop", "停止", &Image24, "Image24", &TForm2::Image14Click},
        {&Image15, "Image15", "panel_capture", "抓图", &Image25, "Image25", &TForm2::Image15Click},
        {&Image16, "Image16", "panel_fullscreen", "全屏", &Image26, "Image26",
         &TForm2::Image16Click},
    };
    int left = 24;
    for (const Button& b : buttons) {
        const QRect bounds(left, 101, 23, 16);
        left += 24;
        SkinImage* button = *b.image = image(this, b.name, bounds, b.skin);
        button->setToolTip(QString::fromUtf8(b.hint));
        connect(button, &SkinLabel::clicked, this, b.click);
        if (!b.pressed) continue;
        SkinImage* twin = *b.pressed =
            image(this, b.pressedName, bounds, (QByteArray(b.skin) + "_down").constData());
        twin->hide();
        pressedTwin_[button] = twin;
        connect(button, &SkinLabel::mouseDown, this, [this, button] { ButtonMouseDown(button); });
        connect(button, &SkinLabel::mouseUp, this, [this, button] { ButtonMouseUp(button); });
        // The release lands on the twin once the button has hidden; it is the button's click.
        connect(twin, &SkinLabel::mouseUp, this,
                [this, button, twin, click = b.click](Qt::MouseButton mb, QPoint pos) {
                    ButtonMouseUp(button);
                    if (mb == Qt::LeftButton && twin->rect().contains(pos)) (this->*click)();
                });
    }
    Image21 = image(this, "Image21", {120, 102, 23, 16}, "panel_resume");
    Image21->hide();
    connect(Image21, &SkinLabel::clicked, this, &TForm2::Image21Click);

    // The track is drawn on the background; the track image only gives its place.
    Image3 = image(this, "Image3", {21, 80, 268, 12}, nullptr);
    Image3->setAttribute(Qt::WA_TransparentForMouseEvents);
    Image4 = image(this, "Image4", {32, 78, 33, 12}, "panel_thumb");
    Image4->hide();
    connect(Image4, &SkinLabel::mouseDown, this, &TForm2::Image4MouseDown);
    connect(Image4, &SkinLabel::mouseMove, this, &TForm2::Image4MouseMove);
    connect(Image4, &SkinLabel::mouseUp, this, &TForm2::Image4MouseUp);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(264, 45, 24, 13);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setIcon(lanfeng::skinPixmap(QStringLiteral("panel_list")));
    SpeedButton1->setIconSize({20, 11});
    SpeedButton1->setStyleSheet(
        QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"
                       "QToolButton:pressed { background: #0a0d10; }"));
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm2::SpeedButton1Click);
}

void TForm2::buildLabels() {
    Label1 = label(this, "Label1", {116, 44, 37, 13}, QString(), "lime");
    Label1->setAlignment(Qt::AlignCenter);
    Label2 = label(this, "Label2", {189, 44, 30, 13}, QString(), "lime");
    Label2->setAlignment(Qt::AlignCenter);
    Label3 = label(this, "Label3", {118, 27, 211, 17}, kDefaultTitle, "lime");
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label4 = label(this, "Label4", {121, 2, 57, 10}, QStringLiteral("岚枫FLASH"), "white");
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setFont(songti(10, false));
    Label5 = label(this, "Label5", {11, 34, 102, 41}, QString(), "lime");
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setFont(songti(14, true));
    QFont readout = font();
    readout.setPixelSize(11);
    Label1->setFont(readout);
    Label2->setFont(readout);
    QFont title = songti(12, false);
    Label3->setFont(title);
}

void TForm2::buildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setStyleSheet(QString::fromLatin1(lanfeng::kSkinMenuStyle));
    N7 = lanfeng::menuItem(PopupMenu1, "N7", "视频动画", true);
    N7->setChecked(true);
    N2 = lanfeng::menuItem(PopupMenu1, "N2", "播放列表", true);
    N2->setChecked(true);
    N17 = lanfeng::menuItem(PopupMenu1, "N17", "关闭广告", true);
    N17->setVisible(false);
    N3 = lanfeng::separator(PopupMenu1, "N3");
    N4 = lanfeng::menuItem(PopupMenu1, "N4", "弹出光驱");
    N5 = lanfeng::menuItem(PopupMenu1, "N5", "关闭光驱");
    N9 = lanfeng::separator(PopupMenu1, "N9");
    swfexe1Menu = PopupMenu1->addMenu(QStringLiteral("格式转换"));
    swfexe1Menu->setObjectName(QStringLiteral("swfexe1"));
    swfexe1 = swfexe1Menu->menuAction();
    swfexe1->setObjectName(QStringLiteral("swfexe1"));
    swf2exe1 = lanfeng::menuItem(swfexe1Menu, "swf2exe1", "swf->exe");
    exeswf1 = lanfeng::menuItem(swfexe1Menu, "exeswf1", "exe->swf");
    N11Menu = PopupMenu1->addMenu(QStringLiteral("循环方式"));
    N11Menu->setObjectName(QStringLiteral("N11"));
    N11 = N11Menu->menuAction();
    N11->setObjectName(QStringLiteral("N11"));
    // The loop modes are the video window's commands; they are bound to these items there.
    N12 = lanfeng::menuItem(N11Menu, "N12", "不用循环", true);
    N12->setChecked(true);
    N13 = lanfeng::separator(N11Menu, "N13");
    N15 = lanfeng::menuItem(N11Menu, "N15", "单曲循环", true);
    N16 = lanfeng::menuItem(N11Menu, "N16", "整体循环", true);
    N14 = lanfeng::menuItem(N11Menu, "N14", "随机循环", true);
    N8 = lanfeng::menuItem(PopupMenu1, "N8", "文件关联");
    N18 = lanfeng::separator(PopupMenu1, "N18");
    N20 = lanfeng::menuItem(PopupMenu1, "N20", "桌面播放");
    N6 = lanfeng::separator(PopupMenu1, "N6");
    N1 = lanfeng::menuItem(PopupMenu1, "N1", "关于");

    Tform1::bindItem(N7, this, [this] { N7Click(); });
    Tform1::bindItem(N2, this, [this] { N2Click(); });
    Tform1::bindItem(N17, this, [this] { N17Click(); });
    Tform1::bindItem(N1, this, [this] { N1Click(); });
    Tform1::bindItem(N4, this, [this] { N4Click(); });
    Tform1::bindItem(N5, this, [this] { N5Click(); });
    Tform1::bindItem(N8, this, [this] { N8Click(); });
    Tform1::bindItem(N20, this, [this] { N20Click(); });
    Tform1::bindItem(swf2exe1, this, [this] { swf2exe1Click(); });
    Tform1::bindItem(exeswf1, this, [this] { exeswf1Click(); });

    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(Image5)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](QPoint pos) { PopupMenu1->popup(w->mapToGlobal(pos)); });
    }
}

void TForm2::FormCreate() {
    if (Form1) move(Form1->x() - width(), Form1->y());
    // The loop modes are the video window's commands; choosing either menu's item runs them.
    const std::pair<const char*, void (Tform1::*)()> loopItems[] = {
        {"N12", &Tform1::N13Click},
        {"N15", &Tform1::N16Click},
        {"N16", &Tform1::N17Click},
        {"N14", &Tform1::N18Click},
    };
    for (const auto& [name, command] : loopItems)
        if (QAction* item = N11Menu->findChild<QAction*>(QString::fromLatin1(name)))
            Tform1::bindItem(item, this, [command] {
                if (Form1) (Form1->*command)();
            });
    Image4->setGeometry(Image3->x(), Image3->y(), Image4->width(), Image3->height());
}

lanfeng::SliderTrack TForm2::track() const {
    return {Image3->x(), Image3->width(), Image4->width()};
}

void TForm2::Image2Click() {
    if (Form1) Form1->close();
}

void TForm2::Image7Click() {
    if (!OpenDialog1.Execute(this) || OpenDialog1.FileName.isEmpty() || !Form1) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->BGColor(QString());
    player->Movie(OpenDialog1.Files.value(0, OpenDialog1.FileName));
    Timer1.start();
    Image4->show();
    if (Form4) Form4->appendEntries(OpenDialog1.Files);
}

void TForm2::Image8Click() {
    if (!Form1 || !Form4) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    QListWidget* list = Form4->ListBox1;
    for (int i = 0; i < list->count(); ++i) {
        if (!list->item(i)->isSelected()) continue;
        const QString path = list->item(i)->text();
        if (!QFileInfo(path).isFile()) {
            lanfeng::showMessage(path + QStringLiteral("已不存在！"), this);
            continue;
        }
        player->BGColor(QString());
        player->Movie(path);
        Timer1.start();
        player->Play();
        Image21->hide();
        Image11->show();
    }
}

void TForm2::Image9Click() {
    if (Form1) Form1->ShockwaveFlash1->Rewind();
}

void TForm2::Image10Click() {
    if (!Form1) return;
    Form1->ShockwaveFlash1->Back();
    Label1->setText(lanfeng::stepBackReadout(Label1->text()));
}

void TForm2::Image11Click() {
    if (!Form1) return;
    Timer1.stop();
    Form1->ShockwaveFlash1->Stop();
    Image11->hide();
    Image21->show();
}

void TForm2::Image21Click() {
    if (!Form1) return;
    Form1->ShockwaveFlash1->Play();
    Image11->show();
    Image21->hide();
    Timer1.start();
}

void TForm2::Image12Click() {
    if (!Form1) return;
    Form1->ShockwaveFlash1->Forward();
    Label1->setText(
        lanfeng::stepForwardReadout(Label1->text(), Form1->ShockwaveFlash1->TotalFrames()));
}

void TForm2::Image13Click() {
    if (!Form1) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->GotoFrame(player->TotalFrames() - 1);
}

void TForm2::Image14Click() {
    if (!Form1) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->BGColor(QString());
    player->Movie(lanfeng::sampleMoviePath());
    Image4->hide();
    Form1->ScrollBar1->setValue(0);
    Form1->ScrollBar1->setEnabled(false);
    Label1->clear();
    Label2->clear();
    Label5->clear();
    Label3->setText(kDefaultTitle);
}

void TForm2::ButtonMouseDown(SkinImage* button) {
    const auto twin = pressedTwin_.find(button);
    if (twin == pressedTwin_.end()) return;
    button->hide();
    twin->second->show();
    // A hidden widget loses the press's implicit grab; the twin takes the rest of the press.
    twin->second->grabMouse();
}

void TForm2::ButtonMouseUp(SkinImage* button) {
    const auto twin = pressedTwin_.find(button);
    if (twin == pressedTwin_.end()) return;
    twin->second->releaseMouse();
    button->show();
    twin->second->hide();
}

void TForm2::N7Click() {
    if (Form1) Form1->setVisible(!Form1->isVisible());
    N7->setChecked(!N7->isChecked());
}

void TForm2::N2Click() {
    if (Form4) Form4->setVisible(!Form4->isVisible());
    N2->setChecked(!N2->isChecked());
    if (Form1) Form1->N3->setChecked(!Form1->N3->isChecked());
}

void TForm2::SpeedButton1Click() { N2Click(); }

void TForm2::N1Click() {
    if (!AboutBox) return;
    AboutBox->show();
    AboutBox->raise();
    AboutBox->activateWindow();
}

// The banner window sets this item's tick; choosing it does nothing.
void TForm2::N17Click() {}

void TForm2::Image4MouseDown(Qt::MouseButton, QPoint pos) {
    SliderGrabX = pos.x();
    SliderDragging = true;
}

void TForm2::Image4MouseMove(QPoint pos) {
    if (!SliderDragging || !Form1) return;
    const lanfeng::SliderTrack t = track();
    Image4->move(lanfeng::clampThumbLeft(Image4->x() + pos.x() - SliderGrabX, t), Image4->y());
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->GotoFrame(lanfeng::seekFrame(player->TotalFrames(), Image4->x(), t));
    player->Play();
    Label1->setText(QString::number(player->CurrentFrame()));
    Label2->setText(QString::number(player->TotalFrames()));
}

void TForm2::Image4MouseUp(Qt::MouseButton, QPoint) { SliderDragging = false; }

void TForm2::Image5MouseDown(Qt::MouseButton, QPoint pos) {
    PanelDragging = true;
    PanelGrabX = pos.x();
    PanelGrabY = pos.y();
}

void TForm2::movePanel(QPoint pos) { move(x() + pos.x() - PanelGrabX, y() + pos.y() - PanelGrabY); }

void TForm2::Image5MouseMove(QPoint pos) {
    if (!PanelDragging) return;
    movePanel(pos);
    const lanfeng::DockedPlaces places = lanfeng::dockedPlaces(geometry());
    if (Form4) {
        Form4->move(places.playlist);
        Form4->update();
    }
    if (Form1) {
        Form1->move(places.video);
        Form1->update();
    }
}

void TForm2::Image5MouseUp(Qt::MouseButton, QPoint) { PanelDragging = false; }

void TForm2::FormMouseMove(QPoint pos) {
    if (PanelDragging) movePanel(pos);
}

void TForm2::mouseMoveEvent(QMouseEvent* event) { FormMouseMove(event->position().toPoint()); }

void TForm2::Timer1Timer() {
    if (!Form1) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    if (Form1->N2->isVisible()) {
        Form1->N19->setVisible(true);
        Form1->ScrollBar1->setEnabled(true);
        Form1->ScrollBar1->setMaximum(player->TotalFrames());
        Form1->ScrollBar1->setValue(player->CurrentFrame());
        Form1->ScrollBar1->setToolTip(QString::number(player->CurrentFrame()));
    }
    Image4->show();
    Image4->move(lanfeng::thumbLeftForFrame(player->CurrentFrame(), player->TotalFrames(), track()),
                 Image4->y());
    Label1->setText(QString::number(player->CurrentFrame()));
    Label2->setText(QString::number(player->TotalFrames()));
    const QString title = lanfeng::MovieTitle(player->Movie());
    Label3->setText(title);
    player->setToolTip(title);
    Label5->setText(lanfeng::timeReadout(player->TotalFrames(), player->CurrentFrame()));
}
