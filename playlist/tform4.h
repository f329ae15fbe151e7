#pragma once
// The playlist window, docked below the control panel: the one shared list of movie paths,
// its menu of list commands, dropped files and the default list kept between runs.

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "ui/dialogs.h"
#include "ui/skin_image.h"

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    ~TForm4() override;

    // Docks below the panel and fills the list: the default list, plus a movie named on the
    // command line.
    void FormCreate();
    // Writes the default list; run once, at the latest by the destructor.
    void FormDestroy();
    // Writes the default list now. Every change of the list also writes it, as soon as the
    // command that made it returns, so that a killed program loses nothing.
    void SaveDefaultList();
    // The layout rule for the current size, with its minimum of the panel's width and 100 high.
    void FormResize();

    // The list's entries in order, and whole-list replacement (one model reset, not one
    // insertion per entry).
    QStringList entries() const;
    void setEntries(const QStringList& entries);
    void appendEntries(const QStringList& entries);
    // Replaces the list by a list file; the list is untouched when the file cannot be read.
    void LoadList(const QString& path);
    void SaveList(const QString& path) const;

    // Menu commands.
    void N1Click();   // 添加文件
    void N8Click();   // 添加目录
    void N10Click();  // 动画另存
    void N3Click();   // 删除全部
    void N4Click();   // 删除选择
    void N6Click();   // 保存清单
    void N7Click();   // 打开清单

    void ListBox1DblClick();
    void HandleDropFiles(const QStringList& paths);
    void AddDroppedFile(const QString& path);

    void top1MouseDown(Qt::MouseButton button, QPoint pos);
    void top1MouseMove(QPoint pos);
    void top1MouseUp(Qt::MouseButton button, QPoint pos);
    void rbMouseDown(Qt::MouseButton button, QPoint pos);
    void rbMouseMove(QPoint pos);
    void rbMouseUp(Qt::MouseButton button, QPoint pos);

    SkinImage* lt;
    SkinImage* top1;
    SkinImage* rt;
    SkinImage* left1;
    SkinImage* right1;
    SkinImage* lb;
    SkinImage* bottom1;
    SkinImage* rb;
    QLabel* Label1;
    QListWidget* ListBox1;

    QMenu* PopupMenu1;
    QAction* N1;
    QAction* N8;
    QAction* N9;
    QAction* N10;
    QAction* N2;
    QAction* N3;
    QAction* N4;
    QAction* N5;
    QAction* N6;
    QAction* N7;

    lanfeng::OpenDialog OpenDialog1;  // movies to add, and list files to open
    lanfeng::SaveDialog SaveDialog1;  // list files
    lanfeng::SaveDialog SaveDialog2;  // copies of movies

    bool Moving = false;
    QPoint MoveGrip;
    bool Sizing = false;
    QPoint SizeGrip;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    QList<int> selectedRows() const;
    void copyMovie(const QString& source, const QString& target);

    void listChanged();

    bool destroyed_ = false;
    bool listRead_ = false;        // the default list was read: changes may overwrite it
    QTimer* saveTimer_ = nullptr;  // a change waits for the end of its command, then saves
    bool saveErrorShown_ = false;  // a failing save is reported once, not at every change
    // A default list that exists but could not be read is not overwritten at exit.
    bool keepDefaultList_ = false;
};
