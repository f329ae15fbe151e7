#include "playlist/tform6.h"

#include <QDir>
#include <QMouseEvent>

#include "app/forms.h"
#include "playlist/tform4.h"

TForm6::TForm6(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("添加目录"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(307, 246);

    Image1 = new SkinImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setSkin(QStringLiteral("dir_top"));
    Image1->setGeometry(0, 0, width(), 29);
    // The bar is part of the face that drags the window.
    Image1->setAttribute(Qt::WA_TransparentForMouseEvents);

    Label1 = new QLabel(QStringLiteral("DIRECTORY"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = font();
    titleFont.setPixelSize(10);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label1->setGeometry(120, 1, 70, 13);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);

    folders = new QFileSystemModel(this);
    folders->setObjectName(QStringLiteral("folders"));
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    folders->setOption(QFileSystemModel::DontWatchForChanges);
    folders->setReadOnly(true);
    folders->setRootPath(QDir::rootPath());

    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setModel(folders);
    for (int column = 1; column < folders->columnCount(); ++column)
        ShellTreeView1->hideColumn(column);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setIndentation(19);
    ShellTreeView1->setRootIndex(folders->index(QDir::rootPath()));
    ShellTreeView1->setGeometry(0, 32, 305, 185);
    ShellTreeView1->setStyleSheet(QStringLiteral(
        "QTreeView { background: black; color: lime; border: 1px solid #2a6e10; }"
        "QTreeView::item:selected { background: #2a4a1c; color: #d8ffb0; }"
        "QScrollBar { background: #07090b; width: 10px; height: 10px; margin: 0; }"
        "QScrollBar::handle { background: #2a6e10; min-height: 16px; min-width: 16px;"
        " border: 1px solid black; border-radius: 3px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"));
    const QModelIndex home = folders->index(QDir::homePath());
    ShellTreeView1->setCurrentIndex(home);
    ShellTreeView1->scrollTo(home);
    connect(ShellTreeView1, &QTreeView::doubleClicked, this, &TForm6::ShellTreeView1DblClick);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(128, 224, 49, 17);
    Button1->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: #1c2228; border: 1px solid #5c6a77; }"
        "QPushButton:pressed { background: #0a0d10; color: #9cff3c; }"));
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
}

void TForm6::ShellTreeView1DblClick() {
    const QModelIndex index = ShellTreeView1->currentIndex();
    if (!index.isValid()) return;
    const QString folder = folders->filePath(index);
    if (folder.isEmpty()) return;
    AddSwfFilesOfFolder(folder.endsWith('/') ? folder : folder + '/');
}

void TForm6::AddSwfFilesOfFolder(const QString& folder) {
    if (!Form4) return;
    // Like the original platform's pattern match, "*.swf" ignores letter case.
    const QStringList names = QDir(folder).entryList(
        {QStringLiteral("*.swf")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names) paths.append(folder + name);
    Form4->appendEntries(paths);
}

void TForm6::Button1Click() { hide(); }

void TForm6::mousePressEvent(QMouseEvent* event) {
    dragging_ = true;
    grip_ = event->globalPosition().toPoint() - pos();
}

void TForm6::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) move(event->globalPosition().toPoint() - grip_);
}

void TForm6::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }
