#pragma once
// The program directory and the working files below it.

#include <QString>
#include <QStringList>

namespace lanfeng {

// The executable's folder with a trailing separator, or the per-user data folder for an
// installed copy (below /usr or /opt, or in a folder it cannot write). LANFENG_PROGRAM_DIR
// overrides both.
QString programDir();
// Whether the executable's folder (with its separator) is that of an installed copy.
bool installedCopy(const QString& exeDir);
// A file that comes with the program (the screen-saver host): in the program directory, else
// where the package puts it, <executable's folder>/../lib/lanfeng/; the first when neither has it.
QString shippedFile(const QString& name);
// The sample movie written at every start: the blank movie of empty places.
QString sampleMoviePath();
// Tests point the program at a folder of their own; an empty path returns to the default.
void setProgramDir(const QString& dir);

// The program's arguments (argv); tests replace them to start the windows as from a shell.
QStringList commandLineArguments();
void setCommandLineArguments(const QStringList& arguments);

// All command-line parameters after the program name, joined with nothing between them.
QString joinedCommandLine(const QStringList& arguments);
// The file name of a movie path up to, not including, its first "."; empty without a ".".
QString MovieTitle(const QString& path);

}  // namespace lanfeng
