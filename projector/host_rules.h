#pragma once
// What the projector and the screen saver decide before any window exists: where the movie is,
// and where to draw it.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "swfpack/container.h"

namespace lanfeng {

// The trailer at the end of the file at path; None when the file cannot be read or is shorter
// than a trailer.
swfpack::Trailer trailerOfFile(const QString& path);

// The movie a projector carries before the trailer at the end of its own file.
struct AttachedMovie {
    QByteArray bytes;
    QString error;  // one line when there is none to play; bytes are empty then
};
AttachedMovie readAttachedMovie(const QString& path);

// A screen saver plays the movie beside it under its own base name: "T.scr" plays "T.swf".
QString movieBesideSaver(const QString& saverPath);

// Where a screen saver draws. Started plainly it covers the screen and quits on input; as an
// XScreenSaver hack (-root, -window-id ID, or XSCREENSAVER_WINDOW) it draws into that window
// and ignores input there.
struct SaverTarget {
    enum Mode { Standalone, Root, Window } mode = Standalone;
    uint64_t window = 0;  // Window: the X window's id
    QString error;        // a command line the saver cannot follow
};
// arguments without the program name; environmentWindow is XSCREENSAVER_WINDOW's value.
SaverTarget saverTarget(const QStringList& arguments, const QByteArray& environmentWindow);

}  // namespace lanfeng
