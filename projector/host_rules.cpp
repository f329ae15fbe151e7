#include "projector/host_rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lanfeng {

namespace {
// As the player: no SWF the engine plays is larger.
constexpr qint64 kMaxMovieBytes = qint64(1) << 30;

// "0x1a00003", "27262979": the forms XScreenSaver and xwininfo print window ids in.
bool parseWindowId(const QString& text, uint64_t& id) {
    bool ok = false;
    const QString t = text.trimmed();
    id = t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive) ? t.mid(2).toULongLong(&ok, 16)
                                                                 : t.toULongLong(&ok, 10);
    return ok && id != 0;
}
}  // namespace

namespace {
swfpack::Trailer readTrailer(QFile& file) {
    const qint64 size = file.size();
    unsigned char tail[swfpack::kTrailerSize] = {};
    if (size < swfpack::kTrailerSize || !file.seek(size - swfpack::kTrailerSize) ||
        file.read(reinterpret_cast<char*>(tail), sizeof tail) != qint64(sizeof tail))
        return {};
    return swfpack::readTrailer(tail, uint64_t(size));
}
}  // namespace

swfpack::Trailer trailerOfFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? readTrailer(file) : swfpack::Trailer{};
}

AttachedMovie readAttachedMovie(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    const qint64 size = file.size();
    const swfpack::Trailer trailer = readTrailer(file);
    switch (trailer.kind) {
        case swfpack::TrailerKind::None:
            return {{}, QStringLiteral("no movie is attached to %1").arg(path)};
        case swfpack::TrailerKind::Impossible:
            return {{},
                    QStringLiteral("%1 is damaged: its trailer names %2 bytes of movie, more "
                                   "than the file holds")
                        .arg(path)
                        .arg(trailer.length)};
        case swfpack::TrailerKind::Movie:
            break;
    }
    if (qint64(trailer.length) > kMaxMovieBytes)
        return {{}, QStringLiteral("the movie attached to %1 is too large").arg(path)};
    const qint64 start = size - swfpack::kTrailerSize - qint64(trailer.length);
    QByteArray bytes;
    if (file.seek(start)) bytes = file.read(trailer.length);
    if (bytes.size() != qint64(trailer.length))
        return {{}, QStringLiteral("cannot read the movie attached to %1").arg(path)};
    return {bytes, {}};
}

QString movieBesideSaver(const QString& saverPath) {
    const QFileInfo info(saverPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf('.');
    return info.absoluteDir().filePath((dot < 0 ? name : name.left(dot)) + QStringLiteral(".swf"));
}

SaverTarget saverTarget(const QStringList& arguments, const QByteArray& environmentWindow) {
    SaverTarget target;
    bool root = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("-root") || a == QStringLiteral("--root")) {
            root = true;
        } else if (a == QStringLiteral("-window-id") || a == QStringLiteral("--window-id")) {
            if (i + 1 >= arguments.size() || !parseWindowId(arguments[i + 1], target.window)) {
                target.error = QStringLiteral("-window-id needs the id of an X window");
                return target;
            }
            target.mode = SaverTarget::Window;
            return target;
        } else {
            target.error = QStringLiteral("unknown option %1 (use -root or -window-id ID)").arg(a);
            return target;
        }
    }
    // XScreenSaver names the window to draw on; with -root and no such window, the root it is.
    uint64_t id = 0;
    if (!environmentWindow.isEmpty() && parseWindowId(QString::fromLatin1(environmentWindow), id)) {
        target.mode = SaverTarget::Window;
        target.window = id;
    } else if (root) {
        target.mode = SaverTarget::Root;
    }
    return target;
}

}  // namespace lanfeng
