#pragma once
// The add-directory window: a folder tree; double-clicking a folder appends its .swf files to
// the playlist, "确定" closes the window.

#include <QFileSystemModel>
#include <QLabel>
#include <QPoint>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include "ui/skin_image.h"

class TForm6 : public QWidget {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);

    void ShellTreeView1DblClick();
    void Button1Click();
    // Appends every file of folder (a path ending in its separator) matching "*.swf", in the
    // file system's order, without entering subfolders.
    static void AddSwfFilesOfFolder(const QString& folder);

    SkinImage* Image1;
    QLabel* Label1;
    QTreeView* ShellTreeView1;
    QFileSystemModel* folders;
    QPushButton* Button1;

protected:
    // The uncovered face drags the window, as a caption would.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool dragging_ = false;
    QPoint grip_;
};
