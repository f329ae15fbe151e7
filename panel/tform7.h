#pragma once
// The desktop-play bar across the top of the screen: the layer's opacity slider and the button
// that ends desktop play.

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

class TForm7 : public QWidget {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);

    void FormShow();
    // The slider's position is the video window's alpha, 0 (invisible) to 255 (opaque).
    void TrackBar1Change();
    // Ends desktop play: the docked windows come back and the bar goes.
    void Button1Click();

    QLabel* Label1;
    QSlider* TrackBar1;
    QPushButton* Button1;

protected:
    void showEvent(QShowEvent* event) override;
};
