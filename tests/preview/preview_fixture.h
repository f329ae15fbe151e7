#pragma once
// The program's windows with movies whose frames differ in colour, so that a picture of a cell
// tells which frame it stands at.

#include <QImage>
#include <QMouseEvent>

#include "panel/tform2.h"
#include "preview/grid.h"
#include "tests/app/mouse_events.h"
#include "tests/commands/commands_fixture.h"

class Preview : public Commands {
protected:
    QString colourMovie(const QString& name, int frames, double fps = 24.0) {
        const QString path = root + name;
        EXPECT_TRUE(testmovies::writeFile(path, testmovies::colourFrames(frames, fps)));
        return path;
    }
    // count small movies in the playlist, m01.swf, m02.swf ...
    QStringList makeEntries(int count) {
        QStringList paths;
        for (int i = 1; i <= count; ++i)
            paths << makeMovie(QStringLiteral("m%1.swf").arg(i, 2, 10, QChar('0')), 4);
        Form4->setEntries(paths);
        return paths;
    }
    QString sample() const { return root + "bin/sample.swf"; }
    static PlayerControl* cell(int n) {
        return Form1->findChild<PlayerControl*>(QStringLiteral("ShockwaveFlash0%1").arg(n));
    }
    // The colour in the middle of what the control draws.
    static QColor centre(PlayerControl* p) {
        p->waitForFrame();
        const QImage image = p->grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }
    static bool mouse(QWidget* w, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::LeftButton) {
        return testmouse::send(w, type, pos, button);
    }
    static bool sendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button) {
        return mouse(w, type, {5, 5}, button);
    }
    static void press(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        mouse(w, QEvent::MouseButtonPress, pos, b);
    }
    static void moveTo(QWidget* w, QPoint pos) { mouse(w, QEvent::MouseMove, pos); }
    static void release(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        mouse(w, QEvent::MouseButtonRelease, pos, b);
    }
};
