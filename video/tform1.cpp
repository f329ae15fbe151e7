#include "video/tform1.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

#include "app/forms.h"
#include "app/paths.h"
#include "platform/global_hotkeys.h"
#include "playlist/tform4.h"
#include "about/taboutbox.h"
#include "banner/tform5.h"
#include "panel/tform2.h"
#include "ui/error.h"
#include "ui/prompt.h"

Q_LOGGING_CATEGORY(lcVideo, "lanfeng.video")

namespace {
const QString kCaption = QStringLiteral("岚枫flash播放器");

SkinImage* framePiece(QWidget* parent, const char* name, QRect bounds) {
    auto* piece = new SkinImage(parent);
    piece->setObjectName(QString::fromLatin1(name));
    piece->setGeometry(bounds);
    piece->setAutoFillBackground(true);
    QPalette pal = piece->palette();
    pal.setColor(QPalette::Window, QColor(0x1c, 0x22, 0x28));
    piece->setPalette(pal);
    return piece;
}

PlayerControl* playerControl(QWidget* parent, const QString& name) {
    auto* player = new PlayerControl(parent);
    player->setObjectName(name);
    return player;
}
}  // namespace

Tform1::Tform1(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    // Designed place and client area; start-up narrows the width to 400.
    setGeometry(389, 167, 424, 308);

    lt = framePiece(this, "lt", {0, 0, 25, 25});
    top1 = framePiece(this, "top1", {25, 0, 368, 29});
    rt = framePiece(this, "rt", {392, 0, 25, 30});
    left1 = framePiece(this, "left1", {0, 25, 25, 249});
    right1 = framePiece(this, "right1", {392, 29, 24, 244});
    lb = framePiece(this, "lb", {0, 272, 25, 36});
    bottom1 = framePiece(this, "bottom1", {24, 272, 369, 36});
    rb = framePiece(this, "rb", {392, 272, 25, 36});
    rb->setCursor(Qt::SizeFDiagCursor);

    Lavideo = new QLabel(QStringLiteral("FLASH VIDEO"), this);
    Lavideo->setObjectName(QStringLiteral("Lavideo"));
    Lavideo->setGeometry(176, 0, 70, 13);
    Lavideo->setAlignment(Qt::AlignCenter);
    Lavideo->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    labadd = new QLabel(kCaption + QStringLiteral("  lanfeng.player@users.noreply"), this);
    labadd->setObjectName(QStringLiteral("labadd"));
    labadd->setGeometry(13, 285, 294, 13);
    labadd->setStyleSheet(QStringLiteral("color: lime; background: transparent;"));

    ShockwaveFlash1 = playerControl(this, QStringLiteral("ShockwaveFlash1"));
    for (int i = 0; i < 9; ++i) {
        gridCells[i] = playerControl(this, QStringLiteral("ShockwaveFlash0%1").arg(i + 1));
        gridCells[i]->hide();
    }

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(0, 0, 400, 24);
    ScrollBar1 = new QScrollBar(Qt::Horizontal, ToolBar1);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setFixedHeight(22);
    ScrollBar1->setEnabled(false);
    ToolBar1->addWidget(ScrollBar1);
    ToolBar1->addSeparator();
    const char* hints[] = {"上一首", "后退一帧", "暂停", "前进一帧", "下一首"};
    QToolButton** buttons[] = {&ToolButton1, &ToolButton2, &ToolButton3, &ToolButton4,
                               &ToolButton5};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QStringLiteral("ToolButton%1").arg(i + 1));
        b->setToolTip(QString::fromUtf8(hints[i]));
        b->setFixedSize(23, 22);
        ToolBar1->addWidget(b);
        *buttons[i] = b;
    }
    ToolBar1->hide();
    ToolBar2 = new QToolBar(this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->hide();

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &Tform1::Timer1Timer);

    // Player input hooks: dropped files on the main player join the playlist.
    connect(ShockwaveFlash1, &PlayerControl::filesDropped, this, &Tform1::HandleDropFiles);
    hotKeys_ = new lanfeng::GlobalHotKeys(this);
    connect(hotKeys_, &lanfeng::GlobalHotKeys::hotKey, this, &Tform1::WMHotKey);
}

Tform1::~Tform1() { FormDestroy(); }

void Tform1::FormCreate() {
    // Hot keys first: a key another client holds is simply not ours this run.
    hotKeys_->registerKey(27);
    hotKeys_->registerKey(121);

    const QString dir = lanfeng::programDir();
    Supper_MkDir(dir + QStringLiteral("bin"));

    const QString samplePath = dir + QStringLiteral("bin/sample.swf");
    {
        QFile resource(QStringLiteral(":/myswf/mysample"));
        QSaveFile out(samplePath);
        if (!resource.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) ||
            out.write(resource.readAll()) < 0 || !out.commit())
            throw lanfeng::Error(QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(QDir::toNativeSeparators(samplePath), out.errorString()));
    }

    resize(400, height());
    LayoutFrame();
    ShockwaveFlash1->BGColor(QString());

    const QString path = lanfeng::joinedCommandLine(lanfeng::commandLineArguments());
    if (!path.isEmpty() && !QFileInfo(path).isFile()) {
        ShockwaveFlash1->Movie(samplePath);
        lanfeng::showMessage(QStringLiteral("文件名或路径中有空格等不合法字符!"), this);
    }
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        ShockwaveFlash1->Movie(path);
        ShockwaveFlash1->Play();
        Timer1.start();
    }
    if (path.isEmpty()) ShockwaveFlash1->Movie(samplePath);

    ShockwaveFlash1->hide();
    ShockwaveFlash1->show();
}

void Tform1::Supper_MkDir(const QString& path) {
    QStringList entries;
    for (qsizetype i = 0; i < path.size(); ++i)
        if (path[i] == '/' && i > 0) entries << path.left(i);
    entries << path;
    for (const QString& entry : entries) {
        if (QFileInfo(entry).isDir()) continue;
        if (!QDir().mkdir(entry)) {
            lanfeng::showError(QStringLiteral("建立目录：") + path + QStringLiteral("出错！") +
                                   QStringLiteral("\r\n\r\n请检查目录名是否正确。"),
                               this);
            throw lanfeng::Error(
                QStringLiteral("Cannot create directory \"%1\"").arg(QDir::toNativeSeparators(entry)));
        }
    }
}

void Tform1::LayoutFrame() {
    const int W = width();
    const int H = height();
    Lavideo->move((W - Lavideo->width()) / 2, Lavideo->y());
    top1->resize(W - top1->x() - rt->width(), top1->height());
    rt->move(top1->x() + top1->width(), rt->y());
    left1->resize(left1->width(), H - left1->y() - lb->height());
    right1->setGeometry(rt->x() + rt->width() - right1->width() - 1, right1->y(), right1->width(),
                        H - right1->y() - rb->height());
    lb->move(lb->x(), H - lb->height());
    rb->move(right1->x() + right1->width() - rb->width() + 1, H - rb->height());
    bottom1->setGeometry(bottom1->x(), lb->y(), W - rb->width() - 23, bottom1->height());
    ShockwaveFlash1->setGeometry(16, 24, W - 16 - right1->width() + 12,
                                 H - 24 - bottom1->height() + 2);
}

void Tform1::RefreshPlayer() {
    ShockwaveFlash1->hide();
    ShockwaveFlash1->show();
    ShockwaveFlash1->setFocus();
}

void Tform1::Timer1Timer() {
    if (Form2) Form2->Timer1.start();
    Timer1.stop();
}

void Tform1::HandleDropFiles(const QStringList& paths) {
    for (const QString& path : paths)
        if (QFileInfo(path).isFile()) AddDroppedFile(path);
}

void Tform1::AddDroppedFile(const QString& path) {
    const qsizetype dot = path.lastIndexOf('.');
    if (dot >= 0 && path.mid(dot) == QStringLiteral(".swf")) {
        if (Form4) Form4->ListBox1->addItem(path);
    } else {
        lanfeng::showMessage(QStringLiteral("这不是一个swf格式的flash文件！！！！"), this);
    }
}

void Tform1::WMHotKey(int virtualKey) {
    // What Esc and F10 do is the playback commands' business; this is where they arrive.
    qCInfo(lcVideo) << "hot key" << virtualKey;
}

void Tform1::FormClose() {
    if (closing_) return;
    closing_ = true;
    if (Form5) Form5->close();
    if (Form2) Form2->close();
    if (AboutBox) AboutBox->close();
    if (Form4) Form4->close();
    QFile::remove(lanfeng::programDir() + QStringLiteral("bin/lfflash.dll"));
    hotKeys_->releaseAll();
}

void Tform1::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    disconnect(ShockwaveFlash1, &PlayerControl::filesDropped, this, &Tform1::HandleDropFiles);
    ShockwaveFlash1->setAcceptDrops(false);
}

void Tform1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    emit closed();
}
