// The list preview: the playlist nine entries a page in the grid, and the page bar that pages
// through it, backward, forward or to a typed page number.
#include <QKeyEvent>

#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "preview/grid.h"
#include "ui/prompt.h"
#include "video/tform1.h"

namespace {

// Read at every command: the playlist window stays usable while the preview is shown.
QStringList playlistEntries() { return Form4 ? Form4->entries() : QStringList(); }

QFrame* separatorAt(QWidget* bar, const char* name, int left) {
    auto* gap = new QFrame(bar);
    gap->setObjectName(QString::fromLatin1(name));
    gap->setGeometry(left, 3, 8, 22);
    return gap;
}

QToolButton* pageButton(QWidget* bar, const char* name, int left, const char* hint,
                        const char* glyph) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 3, 23, 22);
    b->setToolTip(QString::fromUtf8(hint));
    b->setIcon(lanfeng::skinPixmap(QString::fromLatin1(glyph)));
    b->setIconSize({16, 16});
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

SkinLabel* barLabel(QWidget* bar, const char* name, const char* text, QRect bounds,
                    Qt::Alignment align) {
    auto* label = new SkinLabel(QString::fromUtf8(text), bar);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(bounds);
    label->setAlignment(align);
    label->setStyleSheet(QStringLiteral("color: lime; background: transparent;"));
    return label;
}

// A dark bar (the system's tooltip-text colour) framed on all four sides.
const char* const kPageBarStyle = R"(
QToolBar#ToolBar2 { background: black; border: 2px outset #5c6a77; padding: 0; spacing: 0; }
QToolButton { border-image: url(:/skin/button.png); }
QToolButton:hover { border-image: url(:/skin/button_hover.png); }
QToolButton:pressed { border-image: url(:/skin/button_down.png); }
QLineEdit { background: white; color: black; border: 1px inset #5c6a77; padding: 0 2px; }
QPushButton { background: #d4d0c8; color: black; border: 1px outset #808080; }
QPushButton:pressed { border-style: inset; }
)";

}  // namespace

void Tform1::buildPageBar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar2"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setStyleSheet(QString::fromLatin1(kPageBarStyle));
    bar->setGeometry(8, 32, 313, 28);
    ToolBar2 = bar;
    // Placed by hand at their designed lefts, as the tool bar's own layout would not.
    ToolButton7 = separatorAt(bar, "ToolButton7", 0);
    ToolButton8 = pageButton(bar, "ToolButton8", 8, "上一页", "glyph_previous");
    ToolButton9 = pageButton(bar, "ToolButton9", 31, "下一页", "glyph_next");
    Label1 = barLabel(bar, "Label1", "共888页；第888页   ", {54, 3, 105, 22},
                      Qt::AlignLeft | Qt::AlignVCenter);
    Label2 = barLabel(bar, "Label2", " 跳至：", {159, 3, 39, 22}, Qt::AlignCenter);
    Label2->setLayoutDirection(Qt::RightToLeft);
    Edit1 = new QLineEdit(bar);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(198, 3, 42, 22);
    ToolButton10 = separatorAt(bar, "ToolButton10", 240);
    Button2 = new QPushButton(QStringLiteral("确定"), bar);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(248, 3, 36, 22);
    Button2->setFocusPolicy(Qt::NoFocus);
    bar->hide();

    connect(ToolButton8, &QToolButton::clicked, this, &Tform1::ToolButton8Click);
    connect(ToolButton9, &QToolButton::clicked, this, &Tform1::ToolButton9Click);
    connect(Button2, &QPushButton::clicked, this, &Tform1::Button2Click);
    for (SkinLabel* label : {Label1, Label2}) {
        connect(label, &SkinLabel::mouseDown, this, &Tform1::ToolBar2MouseDown);
        connect(label, &SkinLabel::mouseMove, this, &Tform1::ToolBar2MouseMove);
        connect(label, &SkinLabel::mouseUp, this, &Tform1::ToolBar2MouseUp);
    }
}

void Tform1::showPageLabel() {
    Label1->setText(lanfeng::pageLabel(PreviewPage, int(playlistEntries().size())));
}

void Tform1::loadPage(int page) {
    const QStringList entries = playlistEntries();
    const int count = int(entries.size());
    // Places without an entry first, as the last page of the list is loaded: they play the
    // sample movie. A list that shrank under the page leaves such places anywhere on it.
    for (int n = 1; n <= lanfeng::kGridCells; ++n) {
        if (lanfeng::pageEntry(page, n, count)) continue;
        gridCells[n - 1]->BGColor(QString());
        gridCells[n - 1]->Movie(lanfeng::sampleMoviePath());
    }
    for (int n = 1; n <= lanfeng::kGridCells; ++n) {
        const auto entry = lanfeng::pageEntry(page, n, count);
        if (!entry) continue;
        gridCells[n - 1]->BGColor(QString());
        gridCells[n - 1]->Movie(entries.at(*entry));
        gridCells[n - 1]->Stop();
    }
}

void Tform1::N30Click() {
    PreviewPage = 0;
    const int count = int(playlistEntries().size());
    if (count == 0) {
        lanfeng::prompt().message(QStringLiteral("播放列表为空，请添加文件！"),
                                  QStringLiteral("预览清单"), lanfeng::MessageKind::Information,
                                  this);
        return;
    }
    if (Form2) Form2->Timer1.stop();
    ShockwaveFlash1->hide();
    const auto places = lanfeng::gridCellRects(ShockwaveFlash1->geometry());
    for (int n = 1; n <= lanfeng::kGridCells; ++n) {
        gridCells[n - 1]->setGeometry(places[n - 1]);
        gridCells[n - 1]->show();
    }
    if (count >= 9) {
        ToolBar2->show();
        ToolBar2->raise();
        showPageLabel();
    }
    loadPage(0);
    handOverToGrid();
}

void Tform1::ToolButton8Click() {
    PreviewPage = lanfeng::previousPage(PreviewPage);
    showPageLabel();
    loadPage(PreviewPage);
}

void Tform1::ToolButton9Click() {
    PreviewPage = lanfeng::nextPage(PreviewPage, int(playlistEntries().size()));
    showPageLabel();
    loadPage(PreviewPage);
}

void Tform1::Button2Click() {
    const QString text = Edit1->text();
    if (text.isEmpty()) {
        lanfeng::showMessage(QStringLiteral("请输入正确的数字！"), this);
        return;
    }
    const int page = lanfeng::pageNumber(text);  // not a number: the general error box
    const int count = int(playlistEntries().size());
    if (page < 1 || page > lanfeng::pageCount(count)) {
        lanfeng::showMessage(QStringLiteral("请输入正确的数字！"), this);
        return;
    }
    PreviewPage = page - 1;
    showPageLabel();
    loadPage(PreviewPage);
    if (PreviewPage == lanfeng::lastPage(count)) Edit1->clear();
}

void Tform1::Edit1KeyPress(QChar key) {
    // Told, not refused: the character is entered after the message.
    if (key < u'0' || key > u'9') lanfeng::showMessage(QStringLiteral("请输入数字!"), this);
}

void Tform1::ToolBar2MouseDown(Qt::MouseButton, QPoint pos) {
    PageBarDragging = true;
    PageBarGrip = pos;
}

void Tform1::ToolBar2MouseMove(QPoint pos) {
    // No bound keeps the bar inside the window.
    if (PageBarDragging) ToolBar2->move(ToolBar2->pos() + pos - PageBarGrip);
}

void Tform1::ToolBar2MouseUp(Qt::MouseButton, QPoint) { PageBarDragging = false; }
