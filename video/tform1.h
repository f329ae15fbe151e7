#pragma once
// The video window: the borderless main window holding the main player and the grid cells.

#include <QLabel>
#include <QPoint>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <array>

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

    void LayoutFrame();
    void RefreshPlayer();
    void HandleDropFiles(const QStringList& paths);
    void AddDroppedFile(const QString& path);
    void WMHotKey(int virtualKey);

    // Frame pieces and labels, at their designed bounds.
    SkinImage* lt;
    SkinImage* top1;
    SkinImage* rt;
    SkinImage* left1;
    SkinImage* right1;
    SkinImage* lb;
    SkinImage* bottom1;
    SkinImage* rb;
    QLabel* Lavideo;
    QLabel* labadd;

    PlayerControl* ShockwaveFlash1;
    std::array<PlayerControl*, 9> gridCells{};  // ShockwaveFlash01 ... ShockwaveFlash09

    QToolBar* ToolBar1;
    QScrollBar* ScrollBar1;
    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QToolButton* ToolButton4;
    QToolButton* ToolButton5;
    QToolBar* ToolBar2;

    QTimer Timer1;
    lanfeng::GlobalHotKeys* hotKeys() const { return hotKeys_; }

public slots:
    void Timer1Timer();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    lanfeng::GlobalHotKeys* hotKeys_ = nullptr;
    bool closing_ = false;
    bool destroyed_ = false;
};
