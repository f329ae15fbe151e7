#include "video/playback_rules.h"

#include <QFileInfo>

namespace lanfeng {

int playlistIndex(const QStringList& entries, const QString& path) {
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].compare(path, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

std::optional<int> previousEntry(int index, int count) {
    if (index == 0) index = count;
    const int entry = index - 1;
    if (entry < 0 || entry >= count) return std::nullopt;
    return entry;
}

std::optional<int> nextEntry(int index, int count) {
    if (index + 1 == count) index = -1;
    const int entry = index + 1;
    if (entry < 0 || entry >= count) return std::nullopt;
    return entry;
}

bool hasSwfExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && name.mid(dot) == QStringLiteral(".swf");
}

}  // namespace lanfeng
