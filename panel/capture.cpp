// Frame capture: what the screen shows where the main player is, saved as a Windows bitmap.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>

#include "app/forms.h"
#include "panel/tform2.h"
#include "ui/error.h"
#include "video/playback_rules.h"
#include "video/tform1.h"

bool TForm2::CaptureFrame() {
    if (!Form1) return false;
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->Stop();
    // The player's own rectangle on the screen, in every layout (full screen included); it
    // takes whatever lies over the player, as a copy of the screen does.
    const QRect area(player->mapToGlobal(QPoint(0, 0)), player->size());
    QScreen* screen = QGuiApplication::screenAt(area.center());
    if (!screen) screen = Form1->screen();
    QPixmap picture;
    if (screen) {
        const QPoint origin = area.topLeft() - screen->geometry().topLeft();
        picture = screen->grabWindow(0, origin.x(), origin.y(), area.width(), area.height());
    }

    SavePictureDialog1.Filter = QStringLiteral("Bitmaps (*.bmp)|*.bmp");
    if (!SavePictureDialog1.Execute(this)) return false;
    if (SavePictureDialog1.FileName.isEmpty()) return true;
    const QString target = lanfeng::captureFileName(SavePictureDialog1.FileName);
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || !picture.save(&out, "BMP") || !out.commit())
        throw lanfeng::Error(QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(QDir::toNativeSeparators(target), out.errorString()));
    return true;
}

void TForm2::Image15Click() {
    // A file that cannot be written ends the command here, the movie left stopped.
    CaptureFrame();
    if (Form1) Form1->ShockwaveFlash1->Play();
}
