// The video window's frame: the eight skinned pieces, the title and caption line, the players,
// the playback strip, and how they follow the window's size, moves and the resize grip.
#include <QResizeEvent>

#include "app/forms.h"
#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "video/tform1.h"

namespace {

SkinImage* framePiece(QWidget* parent, const char* name, QRect bounds) {
    auto* piece = new SkinImage(parent);
    piece->setObjectName(QString::fromLatin1(name));
    piece->setGeometry(bounds);
    piece->setSkin(QString::fromLatin1(name));
    return piece;
}

PlayerControl* playerControl(QWidget* parent, const QString& name) {
    auto* player = new PlayerControl(parent);
    player->setObjectName(name);
    return player;
}

const char* const kStripStyle = R"(
QToolBar { background: url(:/skin/strip.png) repeat-x; border: none; padding: 0; spacing: 0; }
QToolButton { border-image: url(:/skin/button.png); }
QToolButton:hover { border-image: url(:/skin/button_hover.png); }
QToolButton:pressed { border-image: url(:/skin/button_down.png); }
QScrollBar:horizontal { background: #07090b; border: 1px solid black; height: 22px; margin: 0; }
QScrollBar::groove:horizontal { border-top: 1px solid #000; border-bottom: 1px solid #333e48; }
QScrollBar::handle:horizontal { min-width: 18px; margin: 3px 0; border: 1px solid black;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #d8ffb0, stop:0.5 #9cff3c,
                                stop:1 #2a6e10); }
QScrollBar::handle:horizontal:disabled { background: #2c353e; }
QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0; border: none; }
QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: none; }
)";

}  // namespace

void Tform1::buildFrame() {
    initSkinResources();
    lt = framePiece(this, "lt", {0, 0, 25, 25});
    top1 = framePiece(this, "top1", {25, 0, 368, 29});
    rt = framePiece(this, "rt", {392, 0, 25, 30});
    left1 = framePiece(this, "left1", {0, 25, 25, 249});
    right1 = framePiece(this, "right1", {392, 29, 24, 244});
    lb = framePiece(this, "lb", {0, 272, 25, 36});
    bottom1 = framePiece(this, "bottom1", {24, 272, 369, 36});
    rb = framePiece(this, "rb", {392, 272, 25, 36});
    rb->setCursor(Qt::SizeFDiagCursor);

    Lavideo = new SkinLabel(QStringLiteral("FLASH VIDEO"), this);
    Lavideo->setObjectName(QStringLiteral("Lavideo"));
    Lavideo->setGeometry(176, 0, 70, 13);
    Lavideo->setAlignment(Qt::AlignCenter);
    QFont titleFont = font();
    titleFont.setPixelSize(10);
    titleFont.setBold(true);
    titleFont.setStretch(QFont::SemiCondensed);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    Lavideo->setFont(titleFont);
    Lavideo->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    labadd = new SkinLabel(QStringLiteral("岚枫flash播放器  lanfeng.player@users.noreply"), this);
    labadd->setObjectName(QStringLiteral("labadd"));
    labadd->setGeometry(13, 285, 294, 13);
    labadd->setStyleSheet(QStringLiteral("color: lime; background: transparent;"));

    for (SkinLabel* handle :
         {static_cast<SkinLabel*>(lt), static_cast<SkinLabel*>(top1), static_cast<SkinLabel*>(rt),
          static_cast<SkinLabel*>(left1), static_cast<SkinLabel*>(right1),
          static_cast<SkinLabel*>(lb), static_cast<SkinLabel*>(bottom1), Lavideo}) {
        connect(handle, &SkinLabel::mouseDown, this, &Tform1::ltMouseDown);
        connect(handle, &SkinLabel::mouseMove, this, &Tform1::ltMouseMove);
        connect(handle, &SkinLabel::mouseUp, this, &Tform1::ltMouseUp);
    }
    connect(labadd, &SkinLabel::mouseMove, this, &Tform1::ltMouseMove);
    connect(labadd, &SkinLabel::mouseUp, this, &Tform1::ltMouseUp);
    connect(rb, &SkinLabel::mouseDown, this, &Tform1::rbMouseDown);
    connect(rb, &SkinLabel::mouseMove, this, &Tform1::rbMouseMove);
    connect(rb, &SkinLabel::mouseUp, this, &Tform1::rbMouseUp);

    // Created after the frame, so the players lie above it wherever they overlap.
    ShockwaveFlash1 = playerControl(this, QStringLiteral("ShockwaveFlash1"));
    ShockwaveFlash1->setGeometry(16, 24, 396, 250);
    for (int i = 0; i < 9; ++i) {
        gridCells[i] = playerControl(this, QStringLiteral("ShockwaveFlash0%1").arg(i + 1));
        gridCells[i]->runWhileHidden = false;
        gridCells[i]->hide();
    }
}

void Tform1::buildStrip() {
    // The strip's children are placed by hand: the commands give the seek bar's place.
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setStyleSheet(QString::fromLatin1(kStripStyle));
    ToolBar1->setGeometry(0, 0, 400, 24);
    const char* hints[] = {"上一首", "后退一帧", "暂停", "前进一帧", "下一首"};
    const char* glyphs[] = {"glyph_previous", "glyph_back", "glyph_pause", "glyph_forward",
                            "glyph_next"};
    QToolButton** buttons[] = {&ToolButton1, &ToolButton2, &ToolButton3, &ToolButton4,
                               &ToolButton5};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QStringLiteral("ToolButton%1").arg(i + 1));
        b->setToolTip(QString::fromUtf8(hints[i]));
        b->setIcon(lanfeng::skinPixmap(QString::fromLatin1(glyphs[i])));
        b->setIconSize({16, 16});
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setGeometry(i * 23, 1, 23, 22);
        *buttons[i] = b;
    }
    ScrollBar1 = new QScrollBar(Qt::Horizontal, ToolBar1);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(115, 1, 400 - 115, 22);
    ScrollBar1->setEnabled(false);
    ToolBar1->hide();
}

QRect Tform1::normalPlayerRect() const {
    return {16, 24, width() - 16 - right1->width() + 12, height() - 24 - bottom1->height() + 2};
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
    ShockwaveFlash1->setGeometry(normalPlayerRect());
}

void Tform1::FormResize() {
    const int W = width();
    const int H = height();
    // The strip follows the player's left as it was before this resize placed the player.
    ToolBar1->resize(W - ShockwaveFlash1->x() - right1->width() + 12, ToolBar1->height());
    ScrollBar1->resize(ToolBar1->width() - 115, ScrollBar1->height());
    Lavideo->move((W - Lavideo->width()) / 2, Lavideo->y());
    labadd->move(labadd->x(), H - 24);
    labadd->setVisible(W >= 320);
    Lavideo->setVisible(W >= 250);
    LayoutFrame();
    if (gridShown()) {
        ArrangeGrid();
        RefreshGridCells();
    }
}

void Tform1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void Tform1::RefreshPlayer() {
    ShockwaveFlash1->hide();
    ShockwaveFlash1->show();
    ShockwaveFlash1->setFocus();
}

void Tform1::RestoreDockedLayout() {
    if (Form2 && Form4)
        setGeometry(Form2->x() + Form2->width(), Form2->y(), 400,
                    Form2->height() + Form4->height());
    else
        resize(400, height());
    Lavideo->move((width() - Lavideo->width()) / 2, Lavideo->y());
    hide();
    show();
    activateWindow();
    ShockwaveFlash1->setGeometry(normalPlayerRect());
    RefreshPlayer();
    ShockwaveFlash1->setToolTip(QString());
}

void Tform1::ltMouseDown(Qt::MouseButton, QPoint pos) {
    MoveDragging = true;
    MoveGrip = pos;
}

void Tform1::ltMouseMove(QPoint pos) {
    if (!MoveDragging) return;
    move(x() + pos.x() - MoveGrip.x(), y() + pos.y() - MoveGrip.y());
}

void Tform1::ltMouseUp(Qt::MouseButton, QPoint) { MoveDragging = false; }

void Tform1::rbMouseDown(Qt::MouseButton, QPoint pos) {
    ResizeDragging = true;
    ResizeGrip = pos;
    lt->hide();
}

void Tform1::rbMouseMove(QPoint pos) {
    if (!ResizeDragging) return;
    // No limits: dragged past the opposite corner the window simply shrinks away.
    resize(width() + pos.x() - ResizeGrip.x(), height() + pos.y() - ResizeGrip.y());
}

void Tform1::rbMouseUp(Qt::MouseButton, QPoint) {
    RefreshPlayer();
    if (gridShown()) {
        RefreshGridCells();
        ShockwaveFlash1->hide();
    }
    ResizeDragging = false;
    lt->show();
}
