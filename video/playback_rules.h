#pragma once
// The rules behind the playback commands that need no window: finding a movie in the playlist,
// the entries before and after it, which dropped names are movies, and capture file names.

#include <QString>
#include <QStringList>
#include <optional>

namespace lanfeng {

// The index of the first entry equal to path, letter case ignored; -1 when there is none.
int playlistIndex(const QStringList& entries, const QString& path);

// The entry "上一首" loads for a movie at index (after the first comes the last), or nothing
// when the lookup falls outside the list (an empty list, a movie not in it).
std::optional<int> previousEntry(int index, int count);
// The entry "下一首" loads: after the last comes the first, and a movie not in the list is
// followed by the first; nothing for an empty list.
std::optional<int> nextEntry(int index, int count);

// A dropped file joins the playlist when its name ends in exactly ".swf", taken from the last
// "." of the file name (not of the folders above it); ".SWF" does not count.
bool hasSwfExtension(const QString& path);

// A capture is saved under the chosen name with ".bmp" appended, whatever the name ends with.
inline QString captureFileName(const QString& chosen) { return chosen + QStringLiteral(".bmp"); }

}  // namespace lanfeng
