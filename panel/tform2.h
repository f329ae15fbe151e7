#pragma once
// The control panel, docked left of the video window: transport buttons, the position slider,
// frame, time and title read-outs, the window toggles, and dragging that carries the playlist
// and the video window along.

#include <QLabel>
#include <QMenu>
#include <QPoint>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <map>
#include <random>

#include "panel/readouts.h"
#include "ui/dialogs.h"
#include "ui/skin_image.h"

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    // Docks beside the video window and puts the thumb on the track.
    void FormCreate();

    // Transport.
    void Image2Click();   // close
    void Image7Click();   // open
    void Image8Click();   // play the selected playlist entries
    void Image9Click();   // rewind
    void Image10Click();  // step back
    void Image11Click();  // pause
    void Image21Click();  // resume
    void Image12Click();  // step forward
    void Image13Click();  // to the last frame
    void Image14Click();  // stop
    void Image15Click();  // capture
    void Image16Click();  // full screen

    // Pressed look: a button shows its twin while a mouse button is held on it.
    void ButtonMouseDown(SkinImage* button);
    void ButtonMouseUp(SkinImage* button);

    // Menu and toggles.
    void N7Click();  // 视频动画
    void N2Click();  // 播放列表
    void N1Click();  // 关于
    void N17Click();
    void SpeedButton1Click();
    void N4Click();   // 弹出光驱
    void N5Click();   // 关闭光驱
    void N8Click();   // 文件关联
    void N20Click();  // 桌面播放
    // Desktop play: the movie as a translucent, click-through layer over the whole desktop,
    // with the opacity bar across the top of the screen.
    void deskplay();
    // Conversions (convert/): a SWF into a projector and back.
    void swf2exe1Click();
    void exeswf1Click();

    // Slider.
    void Image4MouseDown(Qt::MouseButton button, QPoint pos);
    void Image4MouseMove(QPoint pos);
    void Image4MouseUp(Qt::MouseButton button, QPoint pos);
    // Background drag with docking.
    void Image5MouseDown(Qt::MouseButton button, QPoint pos);
    void Image5MouseMove(QPoint pos);
    void Image5MouseUp(Qt::MouseButton button, QPoint pos);
    void FormMouseMove(QPoint pos);

    // The frame capture shared by the capture button and the video window's F10: stops the
    // main player, copies its rectangle from the screen and offers SavePictureDialog1; saves
    // under the chosen name + ".bmp". Returns whether the dialog was confirmed; the caller
    // decides about playing on. A file that cannot be written raises lanfeng::Error.
    bool CaptureFrame();

    // The slider track's geometry as laid out now.
    lanfeng::SliderTrack track() const;

    SkinImage* Image1;  // decoration
    SkinImage* Image2;  // close
    SkinImage* Image3;  // slider track, drawn on the background
    SkinImage* Image4;  // slider thumb
    SkinImage* Image5;  // background
    SkinImage* Image7;
    SkinImage* Image8;
    SkinImage* Image9;
    SkinImage* Image10;
    SkinImage* Image11;
    SkinImage* Image12;
    SkinImage* Image13;
    SkinImage* Image14;
    SkinImage* Image15;
    SkinImage* Image16;
    SkinImage* Image17;
    SkinImage* Image18;
    SkinImage* Image19;
    SkinImage* Image20;
    SkinImage* Image21;  // resume, in place of Image11 while paused
    SkinImage* Image22;
    SkinImage* Image23;
    SkinImage* Image24;
    SkinImage* Image25;
    SkinImage* Image26;
    QLabel* Label1;  // current frame
    QLabel* Label2;  // total frames
    QLabel* Label3;  // title
    QLabel* Label4;  // caption
    QLabel* Label5;  // time read-out
    QToolButton* SpeedButton1;

    QMenu* PopupMenu1;
    QAction* N7;
    QAction* N2;
    QAction* N17;
    QAction* N3;
    QAction* N4;
    QAction* N5;
    QAction* N9;
    QMenu* swfexe1Menu;
    QAction* swfexe1;  // 格式转换
    QAction* swf2exe1;
    QAction* exeswf1;
    QMenu* N11Menu;
    QAction* N11;  // 循环方式
    QAction* N12;  // 不用循环
    QAction* N13;
    QAction* N15;  // 单曲循环
    QAction* N16;  // 整体循环
    QAction* N14;  // 随机循环
    QAction* N8;
    QAction* N18;
    QAction* N20;
    QAction* N6;
    QAction* N1;

    lanfeng::OpenDialog OpenDialog1;
    lanfeng::SaveDialog SaveDialog1;
    lanfeng::SaveDialog SavePictureDialog1;

    QTimer Timer1;  // refresh of slider and read-outs, 10 ms
    QTimer Timer2;  // single loop, 1 s
    QTimer Timer3;  // whole-list loop, 1 s
    QTimer Timer4;  // random loop, 1 s

    // Loop engine state, shared by the three loop timers and never reset by a mode change.
    int LoopLastFrame = 0;
    int LoopPrevFrame = 0;
    int LoopListIndex = 0;
    int LoopStallCount = 0;
    std::mt19937 LoopRandom;

    bool PanelDragging = false;
    int PanelGrabX = 0;
    int PanelGrabY = 0;
    bool SliderDragging = false;
    int SliderGrabX = 0;

public slots:
    void Timer1Timer();
    // The loop engine's ticks (loop_engine.cpp): single, whole list, random.
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void buildImages();
    void buildLabels();
    void buildMenu();
    void movePanel(QPoint pos);
    void sampleLoopFrame();
    void loopAdvance(int entry);

    // Each button and its pressed-look twin.
    std::map<SkinImage*, SkinImage*> pressedTwin_;
};
