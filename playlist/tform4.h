#pragma once
// The playlist window, docked below the control panel.

#include <QListWidget>
#include <QWidget>

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
    void FormCreate();

    QListWidget* ListBox1;
};
