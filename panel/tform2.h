#pragma once
// The control panel, docked left of the video window. Its transport and read-outs grow here;
// the timers already exist because the video window and the loop modes drive them.

#include <QTimer>
#include <QWidget>

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    void FormCreate();

    QTimer Timer1;  // refresh of slider and read-outs, 10 ms
    QTimer Timer2;  // single loop, 1 s
    QTimer Timer3;  // whole-list loop, 1 s
    QTimer Timer4;  // random loop, 1 s

public slots:
    void Timer1Timer();
};
