#pragma once
// The video window: the borderless main window holding the main player and the grid cells.

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPoint>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <functional>

#include "player/player_control.h"
#include "ui/skin_image.h"

namespace lanfeng {
class GlobalHotKeys;
}

class Tform1 : public QWidget {
    Q_OBJECT
public:
    explicit Tform1(QWidget* parent = nullptr);
    ~Tform1() override;

    // Start-up steps that may fail; run by createForms() right after construction so a
    // failure reaches the general error box and the window runs on with its designed layout.
    void FormCreate();
    void FormClose();
    void FormDestroy();
    void Supper_MkDir(const QString& path);

    // Frame: places pieces, title and main player for the current size.
    void LayoutFrame();
    void FormResize();
    void RefreshPlayer();
    // Back beside the control panel, 400 wide, as high as panel and playlist together.
    void RestoreDockedLayout();
    // The window over the whole screen, in front: what "maximise" means for full screen.
    void coverScreen();
    // Desktop play's look: drawn at alpha over the desktop, transparent to the pointer and on
    // top; off, the window is opaque, takes input and stays among the others.
    void setDesktopLayer(bool on, int alpha = 255);
    // The main player's rectangle inside the frame at the current size.
    QRect normalPlayerRect() const;

    // The grid (preview/): the nine cells over the main player's rectangle, 5-pixel gaps, row
    // by row; and the repaint of every cell after its bounds change.
    void ArrangeGrid();
    void ArrangeGrid(const QRect& player);
    void RefreshGridCells();
    // The grid over the main player's enlarged rectangle (full screen, desktop play): each
    // cell placed, stopped and shown in turn, then repainted, and the main player hidden.
    void GridOverPlayer();
    // The grid is shown exactly while its first cell is.
    bool gridShown() const;
    void N5Click();       // 九格预览: the current movie at nine points of its length
    void Button1Click();  // leaves the grid for the single view
    void N30Click();      // 清单预览: the playlist nine entries a page

    // A cell's own commands, n = 1 ... 9; the menu items' handlers below call them.
    void cellPlay(int n);
    void cellStop(int n);
    void cellSingleScreen(int n);  // the cell's movie in the single view, from its frame
    void cellScale(int n, const QString& mode);
    // PopupMenu01 ... PopupMenu09, one line a cell: play, stop, single screen, the four scales.
    void N6Click(), N10Click(), N9Click(), N32Click(), N33Click(), N34Click(), N35Click();
    void MenuItem1Click(), N20Click(), MenuItem2Click(), ShowAll2Click(), NoBorder2Click(),
        ExactFit2Click(), NoScale2Click();
    void MenuItem3Click(), N21Click(), MenuItem4Click(), S1Click(), NoBorder3Click(),
        ExactFit3Click(), NoScale3Click();
    void MenuItem5Click(), N22Click(), MenuItem6Click(), ShowAll3Click(), NoBorder4Click(),
        ExactFit4Click(), NoScale4Click();
    void MenuItem7Click(), N23Click(), MenuItem8Click(), ShowAll4Click(), NoBorder5Click(),
        ExactFil1Click(), NoScale5Click();
    void MenuItem9Click(), N24Click(), MenuItem10Click(), ShowAll5Click(), NoBorder6Click(),
        ExactFit5Click(), NoScale6Click();
    void MenuItem11Click(), N25Click(), MenuItem12Click(), ShowAll6Click(), NoBorder7Click(),
        ExactFit6Click(), NoScale7Click();
    void MenuItem13Click(), N26Click(), MenuItem14Click(), ShowAll7Click(), NoBorder8Click(),
        ExactFit7Click(), NoScale8Click();
    void MenuItem15Click(), N27Click(), MenuItem16Click(), ShowAll8Click(), NoBorder9Click(),
        ExactFit8Click(), NoScale9Click();

    // The list preview's page bar.
    void ToolButton8Click();  // 上一页
    void ToolButton9Click();  // 下一页
    void Button2Click();      // 确定: to the page typed in Edit1
    void Edit1KeyPress(QChar key);
    // Dragging the bar, shared by the bar's own surface, Label1 and Label2.
    void ToolBar2MouseDown(Qt::MouseButton button, QPoint pos);
    void ToolBar2MouseMove(QPoint pos);
    void ToolBar2MouseUp(Qt::MouseButton button, QPoint pos);

    // Mouse handlers shared by every move handle (lt, top1, rt, left1, right1, lb, bottom1,
    // Lavideo); labadd continues a move but never starts one.
    void ltMouseDown(Qt::MouseButton button, QPoint pos);
    void ltMouseMove(QPoint pos);
    void ltMouseUp(Qt::MouseButton button, QPoint pos);
    // The resize grip.
    void rbMouseDown(Qt::MouseButton button, QPoint pos);
    void rbMouseMove(QPoint pos);
    void rbMouseUp(Qt::MouseButton button, QPoint pos);

    // Menu commands.
    void N15Click();  // full screen
    void N2Click();   // leave full screen
    void N19Click();  // playback strip in full screen
    void N28Click();  // keep on top
    void N8Click();   // about box
    void N11Click();  // show or hide the control panel
    void N3Click();   // show or hide the playlist
    // Loop modes: each ticks its item in both "循环方式" menus and sets the panel's timers.
    void N13Click();  // none
    void N16Click();  // single
    void N17Click();  // whole list
    void N18Click();  // random
    // Conversions of the current movie (convert/): a projector, a screen saver.
    void exe1Click();
    void N29Click();

    // Playback strip.
    void ToolButton1Click();  // previous movie
    void ToolButton2Click();  // step back
    void ToolButton3Click();  // play/pause, shared with the panel's pause state
    void ToolButton4Click();  // step forward
    void ToolButton5Click();  // next movie
    void ScrollBar1Scroll();

    // Files dropped on the main player; the playlist's drops come here too.
    void HandleDropFiles(const QStringList& paths);
    void AddDroppedFile(const QString& path);
    // The system-wide hot keys: 27 (Esc) resets the window, 121 (F10) captures a frame.
    void WMHotKey(int virtualKey);
    // The application-wide mouse filter: double and right clicks on the players become
    // commands, and the players never see them.
    bool rkmessage(QObject* target, QEvent* event);
    // A grid cell's own context menu, PopupMenu01 ... PopupMenu09.
    QMenu* cellMenu(int cell) const;

    // Binds a menu item to a command. Ticks are the commands' business, as other windows call
    // the same commands: a chosen item does not tick or untick itself.
    static void bindItem(QAction* item, QObject* context, std::function<void()> command);

    // Frame pieces and labels, at their designed bounds.
    SkinImage* lt;
    SkinImage* top1;
    SkinImage* rt;
    SkinImage* left1;
    SkinImage* right1;
    SkinImage* lb;
    SkinImage* bottom1;
    SkinImage* rb;
    SkinLabel* Lavideo;
    SkinLabel* labadd;

    PlayerControl* ShockwaveFlash1;
    std::array<PlayerControl*, 9> gridCells{};  // ShockwaveFlash01 ... ShockwaveFlash09

    QToolBar* ToolBar1;
    QScrollBar* ScrollBar1;
    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QToolButton* ToolButton4;
    QToolButton* ToolButton5;
    QToolBar* ToolBar2;  // the list preview's page bar
    QFrame* ToolButton7;
    QToolButton* ToolButton8;
    QToolButton* ToolButton9;
    SkinLabel* Label1;  // 共…页；第…页
    SkinLabel* Label2;
    QLineEdit* Edit1;
    QFrame* ToolButton10;
    QPushButton* Button2;
    // Invisible: the program clicks it to leave the grid.
    QPushButton* Button1;
    std::array<QMenu*, 9> cellMenus{};  // PopupMenu01 ... PopupMenu09

    // The main player's context menu, in menu order.
    QMenu* PopupMenu1;
    QAction* N15;  // 全屏显示
    QAction* N2;   // 退出全屏
    QAction* exe1;
    QAction* N12;  // 循环方式, the submenu below
    QMenu* N12Menu;
    QAction* N13;
    QAction* N16;
    QAction* N17;
    QAction* N18;
    QAction* N29;
    QAction* N19;  // 显示控制
    QAction* N4;
    QAction* N11;  // 主控窗口
    QAction* N3;   // 播放列表
    QAction* N5;
    QAction* N30;
    QAction* N28;  // 视频最前
    QAction* N7;
    QAction* N8;  // 关于

    // Mouse state: one pair shared by all move handles, one for the resize grip.
    bool MoveDragging = false;
    QPoint MoveGrip;
    bool ResizeDragging = false;
    QPoint ResizeGrip;
    // The page bar is being dragged, and where the press was in the pressed control.
    bool PageBarDragging = false;
    QPoint PageBarGrip;
    // The list preview's page on view (0-based); kept after the grid is left.
    int PreviewPage = 0;

    QTimer Timer1;
    lanfeng::GlobalHotKeys* hotKeys() const { return hotKeys_; }

public slots:
    void Timer1Timer();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFrame();
    void buildStrip();
    void buildMenu();
    void buildCellMenus();
    void buildPageBar();
    // The main player gives its place to the grid: stopped, holding the sample, hidden.
    void handOverToGrid();
    void loadPage(int page);
    void showPageLabel();
    void setOnTop(bool on);

    void setLoopMode(QAction* item, QTimer* loopTimer);
    void loadEntry(int entry);
    void resetWindow();

    lanfeng::GlobalHotKeys* hotKeys_ = nullptr;
    bool closing_ = false;
    bool destroyed_ = false;
};
