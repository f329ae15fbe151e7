#pragma once
// The file work behind the conversion commands: names, the projector stub in bin/, the calls
// into libswfpack and the screen saver's two files. Failures raise lanfeng::Error with the
// run-time's texts ("Cannot open file %s", "Cannot create file %s", "Stream read error").

#include <QString>

namespace lanfeng {

// The name proposed for a conversion's output: the path up to, not including, its first "."
// anywhere (a dot in a folder's name cuts there); no extension.
QString proposedOutputName(const QString& path);

// bin/lfflash.dll below the program directory.
QString stubPath();
// Writes the embedded projector (:/ed/exedll) there unless a file is there already.
void prepareStub();

// The container of stub and movie at exe (exactly that name), through Swf2Exe.
void packProjector(const QString& swf, const QString& exe, const QString& stub);
// The movie of the projector at exe written to outputBase + ".swf", through exe2swf. False when
// the file holds no movie (nothing is written then).
bool unpackProjector(const QString& exe, const QString& outputBase);

// The screen saver: the host copied whole to folder/title.scr (executable) and the movie to
// folder/title.swf, both replaced when present; the folder is made when missing. Both inputs are
// opened before anything is created, and nothing replaces a file until both copies are complete.
void installScreenSaver(const QString& host, const QString& movie, const QString& folder,
                        const QString& title);

}  // namespace lanfeng
