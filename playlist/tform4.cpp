#include "playlist/tform4.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QResizeEvent>
#include <QSaveFile>
#include <QStringListModel>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "playlist/list_file.h"
#include "playlist/tform6.h"
#include "ui/error.h"
#include "ui/prompt.h"
#include "video/tform1.h"

namespace {

SkinImage* framePiece(QWidget* parent, const char* name, QRect bounds) {
    auto* piece = new SkinImage(parent);
    piece->setObjectName(QString::fromLatin1(name));
    piece->setGeometry(bounds);
    piece->setSkin(QStringLiteral("list_") + QString::fromLatin1(name));
    return piece;
}

QAction* menuItem(QMenu* menu, const char* name, const char* caption) {
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

QAction* separator(QMenu* menu, const char* name) {
    QAction* item = menu->addSeparator();
    item->setObjectName(QString::fromLatin1(name));
    return item;
}

const char* const kMenuStyle = R"(
QMenu { background: #1c2228; color: white; border: 1px solid black; padding: 2px; }
QMenu::item { padding: 3px 22px 3px 24px; background: transparent; }
QMenu::item:selected { background: #2a4a1c; color: #9cff3c; }
QMenu::separator { height: 1px; background: #3a4652; margin: 3px 6px; }
)";

const char* const kListStyle = R"(
QListWidget { background: black; color: lime; border: none; outline: none; }
QListWidget::item { height: 13px; padding: 0; border: none; }
QListWidget::item:selected { background: #2a4a1c; color: #d8ffb0; }
QScrollBar:vertical { background: #07090b; width: 10px; margin: 0; }
QScrollBar::handle:vertical { background: #2a6e10; min-height: 16px; border: 1px solid black;
    border-radius: 3px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
QScrollBar:horizontal { height: 0; }
)";

constexpr int kDesignWidth = 391;
constexpr int kDesignHeight = 246;
constexpr int kMinHeight = 100;

int panelWidth() { return Form2 ? Form2->width() : 295; }

}  // namespace

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("岚枫flash播放器"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(kDesignWidth, kDesignHeight);

    lt = framePiece(this, "lt", {0, 0, 33, 25});
    top1 = framePiece(this, "top1", {25, 0, 320, 25});
    top1->setCursor(Qt::SizeAllCursor);
    rt = framePiece(this, "rt", {360, 0, 25, 25});
    left1 = framePiece(this, "left1", {0, 25, 33, 177});
    right1 = framePiece(this, "right1", {362, 24, 25, 177});
    lb = framePiece(this, "lb", {0, 200, 33, 25});
    bottom1 = framePiece(this, "bottom1", {32, 200, 329, 25});
    rb = framePiece(this, "rb", {360, 200, 25, 25});
    rb->setCursor(Qt::SizeFDiagCursor);
    connect(top1, &SkinLabel::mouseDown, this, &TForm4::top1MouseDown);
    connect(top1, &SkinLabel::mouseMove, this, &TForm4::top1MouseMove);
    connect(top1, &SkinLabel::mouseUp, this, &TForm4::top1MouseUp);
    connect(rb, &SkinLabel::mouseDown, this, &TForm4::rbMouseDown);
    connect(rb, &SkinLabel::mouseMove, this, &TForm4::rbMouseMove);
    connect(rb, &SkinLabel::mouseUp, this, &TForm4::rbMouseUp);

    Label1 = new QLabel(QStringLiteral("FLASHLIST"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = font();
    titleFont.setPixelSize(10);
    titleFont.setBold(true);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    Label1->setFont(titleFont);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(0, 1, 64, 13);
    // The title lies on the drag bar; let presses fall through to it.
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setFrameShape(QFrame::NoFrame);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setTextElideMode(Qt::ElideMiddle);
    QFont listFont;
    listFont.setFamilies(
        {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("SimSun"), QStringLiteral("宋体")});
    listFont.setPixelSize(13);
    ListBox1->setFont(listFont);
    ListBox1->setStyleSheet(QString::fromLatin1(kListStyle));
    ListBox1->setGeometry(16, 20, kDesignWidth - 32, kDesignHeight - 20 - 27);
    ListBox1->setAcceptDrops(true);
    ListBox1->viewport()->setAcceptDrops(true);
    ListBox1->viewport()->installEventFilter(this);

    buildMenu();

    saveTimer_ = new QTimer(this);
    saveTimer_->setSingleShot(true);
    saveTimer_->setInterval(0);
    connect(saveTimer_, &QTimer::timeout, this, &TForm4::SaveDefaultList);
    QAbstractItemModel* model = ListBox1->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &TForm4::listChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TForm4::listChanged);
    connect(model, &QAbstractItemModel::rowsMoved, this, &TForm4::listChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &TForm4::listChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &TForm4::listChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &TForm4::listChanged);
}

TForm4::~TForm4() { FormDestroy(); }

// Many changes of one command (clear then fill, one file after another) give one save.
void TForm4::listChanged() {
    if (listRead_ && !destroyed_ && !keepDefaultList_) saveTimer_->start();
}

void TForm4::SaveDefaultList() {
    saveTimer_->stop();
    if (keepDefaultList_) return;
    try {
        lanfeng::writeListFile(lanfeng::defaultListPath(), entries());
        saveErrorShown_ = false;
    } catch (const lanfeng::Error& e) {
        if (!saveErrorShown_) lanfeng::showError(e.text());
        saveErrorShown_ = true;
    }
}

void TForm4::buildMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->setStyleSheet(QString::fromLatin1(kMenuStyle));
    N1 = menuItem(PopupMenu1, "N1", "添加文件");
    N8 = menuItem(PopupMenu1, "N8", "添加目录");
    N9 = separator(PopupMenu1, "N9");
    N10 = menuItem(PopupMenu1, "N10", "动画另存");
    N2 = separator(PopupMenu1, "N2");
    N3 = menuItem(PopupMenu1, "N3", "删除全部");
    N4 = menuItem(PopupMenu1, "N4", "删除选择");
    N5 = separator(PopupMenu1, "N5");
    N6 = menuItem(PopupMenu1, "N6", "保存清单");
    N7 = menuItem(PopupMenu1, "N7", "打开清单");
    connect(N1, &QAction::triggered, this, &TForm4::N1Click);
    connect(N8, &QAction::triggered, this, &TForm4::N8Click);
    connect(N10, &QAction::triggered, this, &TForm4::N10Click);
    connect(N3, &QAction::triggered, this, &TForm4::N3Click);
    connect(N4, &QAction::triggered, this, &TForm4::N4Click);
    connect(N6, &QAction::triggered, this, &TForm4::N6Click);
    connect(N7, &QAction::triggered, this, &TForm4::N7Click);

    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { PopupMenu1->popup(ListBox1->viewport()->mapToGlobal(pos)); });
}

void TForm4::FormCreate() {
    Label1->move((kDesignWidth - Label1->width()) / 2 - 13, Label1->y());
    if (Form2 && Form1)
        setGeometry(Form2->x(), Form2->y() + Form2->height(), Form2->width(),
                    Form1->height() - Form2->height());
    FormResize();

    const QString path = lanfeng::joinedCommandLine(lanfeng::commandLineArguments());
    const bool namesFile = !path.isEmpty() && QFileInfo(path).isFile();
    const QString defaultList = lanfeng::defaultListPath();
    QStringList defaults;
    if (QFileInfo::exists(defaultList)) {
        try {
            defaults = lanfeng::readListFile(defaultList);
        } catch (const lanfeng::Error&) {
            keepDefaultList_ = true;
            setEntries(lanfeng::startupList({}, path, namesFile));
            throw;
        }
    }
    const QStringList list = lanfeng::startupList(defaults, path, namesFile);
    setEntries(list);
    listRead_ = true;
    // The movie named on the command line is the first change.
    if (list != defaults) listChanged();
}

void TForm4::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    ListBox1->viewport()->removeEventFilter(this);
    // The list empties as the window goes: that is no change to save.
    ListBox1->model()->disconnect(this);
    saveErrorShown_ = false;  // the last word is always said
    SaveDefaultList();
}

void TForm4::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm4::FormResize() {
    const int W = width();
    const int H = height();
    Label1->move((W - Label1->width()) / 2, Label1->y());
    top1->resize(W - top1->x() - rt->width(), top1->height());
    rt->move(top1->x() + top1->width(), rt->y());
    left1->resize(left1->width(), H - left1->y() - lb->height());
    right1->setGeometry(rt->x() + rt->width() - right1->width() - 1, right1->y(), right1->width(),
                        H - right1->y() - rb->height());
    lb->move(lb->x(), H - lb->height());
    rb->move(right1->x() + right1->width() - rb->width() + 1, H - rb->height());
    bottom1->setGeometry(bottom1->x(), lb->y(), W - rb->width() - 23, bottom1->height());
    ListBox1->resize(W - 2 * ListBox1->x(), H - ListBox1->y() - 27);
    // Too small: snap back; the resize that follows lays the window out again.
    if (W < panelWidth() || H < kMinHeight)
        resize(std::max(W, panelWidth()), std::max(H, kMinHeight));
}

QStringList TForm4::entries() const {
    QStringList out;
    const int n = ListBox1->count();
    out.reserve(n);
    for (int i = 0; i < n; ++i) out.append(ListBox1->item(i)->text());
    return out;
}

void TForm4::setEntries(const QStringList& list) {
    ListBox1->clear();
    ListBox1->addItems(list);
}

void TForm4::appendEntries(const QStringList& list) { ListBox1->addItems(list); }

void TForm4::LoadList(const QString& path) { setEntries(lanfeng::readListFile(path)); }

void TForm4::SaveList(const QString& path) const { lanfeng::writeListFile(path, entries()); }

QList<int> TForm4::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : ListBox1->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TForm4::N1Click() {
    OpenDialog1.FileName.clear();
    OpenDialog1.Title = QStringLiteral("请添加flash文件");
    OpenDialog1.Filter = QStringLiteral("flash动画(*.swf)|*.swf");
    OpenDialog1.options = lanfeng::FileDialog::AllowMultiSelect |
                          lanfeng::FileDialog::HideReadOnly | lanfeng::FileDialog::FileMustExist |
                          lanfeng::FileDialog::PathMustExist | lanfeng::FileDialog::EnableSizing;
    if (!OpenDialog1.Execute(this)) return;
    QStringList full;
    for (const QString& f : OpenDialog1.Files) full.append(QFileInfo(f).absoluteFilePath());
    appendEntries(full);
}

void TForm4::N8Click() {
    if (!Form6) return;
    Form6->show();
    Form6->raise();
    Form6->activateWindow();
}

void TForm4::N10Click() {
    for (int row : selectedRows()) {
        const QString source = ListBox1->item(row)->text();
        SaveDialog2.FileName = lanfeng::MovieTitle(source);
        SaveDialog2.Title = QStringLiteral("flash动画另存为");
        SaveDialog2.Filter = QStringLiteral("flash动画文件(*.swf)|*.swf");
        SaveDialog2.options = lanfeng::FileDialog::HideReadOnly | lanfeng::FileDialog::EnableSizing;
        if (!SaveDialog2.Execute(this)) {
            lanfeng::showMessage(QStringLiteral("你不保存了！"), this);
            continue;
        }
        copyMovie(source, SaveDialog2.FileName + QStringLiteral(".swf"));
    }
}

void TForm4::copyMovie(const QString& source, const QString& target) {
    const QFileInfo from(source);
    const QFileInfo to(target);
    // Opening the target for writing would empty the very file about to be read.
    if (to.exists() && from.exists() && from.canonicalFilePath() == to.canonicalFilePath()) {
        lanfeng::showMessage(QStringLiteral("目标文件与原文件相同！"), this);
        return;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw lanfeng::Error(QStringLiteral("Cannot open file \"%1\". %2")
                                 .arg(QDir::toNativeSeparators(source), in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        throw lanfeng::Error(QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(QDir::toNativeSeparators(target), out.errorString()));
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty())
        if (out.write(chunk) != chunk.size()) break;
    if (in.error() != QFileDevice::NoError)
        throw lanfeng::Error(QStringLiteral("Read error in \"%1\". %2")
                                 .arg(QDir::toNativeSeparators(source), in.errorString()));
    if (!out.commit())
        throw lanfeng::Error(QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(QDir::toNativeSeparators(target), out.errorString()));
}

void TForm4::N3Click() { ListBox1->clear(); }

void TForm4::N4Click() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) return;
    if (rows.size() < 64) {
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) delete ListBox1->takeItem(*it);
        return;
    }
    // Many at once: rebuilding is linear where removing one by one is not.
    QStringList kept;
    const int n = ListBox1->count();
    for (int i = 0; i < n; ++i)
        if (!ListBox1->item(i)->isSelected()) kept.append(ListBox1->item(i)->text());
    setEntries(kept);
}

void TForm4::N6Click() {
    SaveDialog1.Title = QStringLiteral("保存flash列表");
    SaveDialog1.Filter = QStringLiteral("flash列表(*.lfl)|*.lfl");
    SaveDialog1.options = lanfeng::FileDialog::HideReadOnly | lanfeng::FileDialog::EnableSizing;
    if (!SaveDialog1.Execute(this) || SaveDialog1.FileName.isEmpty()) return;
    SaveList(SaveDialog1.FileName + QStringLiteral(".lfl"));
}

void TForm4::N7Click() {
    OpenDialog1.FileName.clear();
    OpenDialog1.Title = QStringLiteral("请选择flash文件列表");
    OpenDialog1.Filter = QStringLiteral("flash文件列表(*.lfl)|*.lfl");
    OpenDialog1.options = lanfeng::FileDialog::AllowMultiSelect |
                          lanfeng::FileDialog::HideReadOnly | lanfeng::FileDialog::PathMustExist |
                          lanfeng::FileDialog::EnableSizing;
    if (!OpenDialog1.Execute(this) || OpenDialog1.FileName.isEmpty()) return;
    LoadList(OpenDialog1.Files.value(0, OpenDialog1.FileName));
}

void TForm4::ListBox1DblClick() {
    if (!Form1) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    for (int row : selectedRows()) {
        const QString path = ListBox1->item(row)->text();
        if (QFileInfo(path).isFile()) {
            player->BGColor(QString());
            player->Movie(path);
            if (Form2) Form2->Timer1.start();
        } else {
            lanfeng::showMessage(path + QStringLiteral("已不存在！"), this);
        }
    }
    if (Form1->gridShown()) {
        const QString sample = lanfeng::sampleMoviePath();
        for (PlayerControl* cell : Form1->gridCells) {
            cell->Movie(sample);
            cell->hide();
        }
        player->show();
    }
    Form1->ToolBar2->hide();
}

// Drops on the list are the video window's drops: one rule for both places.
void TForm4::HandleDropFiles(const QStringList& paths) {
    if (Form1) Form1->HandleDropFiles(paths);
}

void TForm4::AddDroppedFile(const QString& path) {
    if (Form1) Form1->AddDroppedFile(path);
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox1->viewport()) {
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* e = static_cast<QDropEvent*>(event);
                if (e->mimeData()->hasUrls()) {
                    e->acceptProposedAction();
                    return true;
                }
                break;
            }
            case QEvent::Drop: {
                auto* e = static_cast<QDropEvent*>(event);
                QStringList paths;
                for (const QUrl& url : e->mimeData()->urls())
                    if (url.isLocalFile()) paths.append(url.toLocalFile());
                e->acceptProposedAction();
                HandleDropFiles(paths);
                return true;
            }
            case QEvent::MouseButtonDblClick:
                // The press before it has already made the selection the command acts on.
                ListBox1DblClick();
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm4::top1MouseDown(Qt::MouseButton, QPoint pos) {
    Moving = true;
    MoveGrip = pos;
}

void TForm4::top1MouseMove(QPoint pos) {
    if (!Moving) return;
    move(x() + pos.x() - MoveGrip.x(), y() + pos.y() - MoveGrip.y());
}

void TForm4::top1MouseUp(Qt::MouseButton, QPoint) { Moving = false; }

void TForm4::rbMouseDown(Qt::MouseButton, QPoint pos) {
    Sizing = true;
    SizeGrip = pos;
}

void TForm4::rbMouseMove(QPoint pos) {
    if (!Sizing) return;
    resize(width() + pos.x() - SizeGrip.x(), height() + pos.y() - SizeGrip.y());
}

void TForm4::rbMouseUp(Qt::MouseButton, QPoint) { Sizing = false; }
