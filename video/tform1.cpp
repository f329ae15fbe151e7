#include "video/tform1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "about/taboutbox.h"
#include "app/forms.h"
#include "app/paths.h"
#include "banner/tform5.h"
#include "panel/tform2.h"
#include "platform/global_hotkeys.h"
#include "playlist/tform4.h"
#include "ui/error.h"
#include "ui/prompt.h"

Tform1::Tform1(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(QStringLiteral("岚枫flash播放器"));
    setWindowIcon(lanfeng::skinPixmap(QStringLiteral("icon")));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    // Designed place and client area; start-up narrows the width to 400.
    setGeometry(389, 167, 424, 308);

    buildFrame();
    buildStrip();
    buildMenu();
    buildCellMenus();
    buildPageBar();

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &Tform1::Timer1Timer);

    connect(ToolButton1, &QToolButton::clicked, this, &Tform1::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &Tform1::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &Tform1::ToolButton3Click);
    connect(ToolButton4, &QToolButton::clicked, this, &Tform1::ToolButton4Click);
    connect(ToolButton5, &QToolButton::clicked, this, &Tform1::ToolButton5Click);
    connect(ScrollBar1, &QScrollBar::actionTriggered, this, [this] { ScrollBar1Scroll(); });

    // Player input hooks: dropped files on the main player join the playlist.
    connect(ShockwaveFlash1, &PlayerControl::filesDropped, this, &Tform1::HandleDropFiles);
    hotKeys_ = new lanfeng::GlobalHotKeys(this);
    connect(hotKeys_, &lanfeng::GlobalHotKeys::hotKey, this, &Tform1::WMHotKey);
    // rkmessage sees every event of the program, from now until the window goes.
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

Tform1::~Tform1() { FormDestroy(); }

void Tform1::FormCreate() {
    // Hot keys first: a key another client holds is simply not ours this run.
    hotKeys_->registerKey(27);
    hotKeys_->registerKey(121);

    const QString dir = lanfeng::programDir();
    Supper_MkDir(dir + QStringLiteral("bin"));

    const QString samplePath = lanfeng::sampleMoviePath();
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
            throw lanfeng::Error(QStringLiteral("Cannot create directory \"%1\"")
                                     .arg(QDir::toNativeSeparators(entry)));
        }
    }
}

void Tform1::Timer1Timer() {
    if (Form2) Form2->Timer1.start();
    Timer1.stop();
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
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
    disconnect(ShockwaveFlash1, &PlayerControl::filesDropped, this, &Tform1::HandleDropFiles);
    ShockwaveFlash1->setAcceptDrops(false);
}

void Tform1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    emit closed();
}
