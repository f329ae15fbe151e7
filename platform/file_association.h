#pragma once
// The program as the opener of SWF files, the freedesktop way and in the user's own folders:
// a desktop entry, the MIME type when the system does not know it, and the default opener.

#include <QString>
#include <QStringList>

namespace lanfeng {

inline constexpr char kSwfMimeType[] = "application/vnd.adobe.flash.movie";
inline constexpr char kDesktopEntryName[] = "lanfeng.desktop";

// XDG_DATA_HOME and XDG_CONFIG_HOME, or their defaults below HOME.
QString userDataHome();
QString userConfigHome();
// XDG_DATA_DIRS, or its default.
QStringList systemDataDirs();

// A path as one argument of a desktop entry's Exec line, quoted and escaped as that format
// asks.
QString desktopExecArgument(const QString& path);
// The desktop entry that starts program with the file's path, showing icon.
QString desktopEntryText(const QString& program, const QString& icon);
// Whether a MIME database below one of the dirs maps *.swf to the SWF type.
bool mimeDatabaseKnowsSwf(const QStringList& dataDirs);

// Writes the desktop entry and the icon, registers the type in the user's MIME database when
// the system's lacks it, and makes the entry the type's default with xdg-mime. Every step is
// checked: returns an empty string on success, else why the step that failed did.
QString associateSwfFiles(const QString& program);

}  // namespace lanfeng
