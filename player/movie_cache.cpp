#include "player/movie_cache.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <map>

namespace lanfeng {

namespace {
// Files larger than this are refused before reading: no SWF the engine accepts is bigger.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

struct Entry {
    qint64 size = -1;
    QDateTime modified;
    std::weak_ptr<const swf::Movie> movie;
};
}  // namespace

std::shared_ptr<const swf::Movie> loadMovieShared(const QString& path) {
    static std::map<QString, Entry> cache;
    QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw swf::LoadError("file not found: " + path.toStdString());
    const QString key = info.absoluteFilePath();
    auto it = cache.find(key);
    if (it != cache.end()) {
        if (auto movie = it->second.movie.lock();
            movie && it->second.size == info.size() && it->second.modified == info.lastModified())
            return movie;
    }
    if (info.size() > kMaxFileBytes) throw swf::LoadError("file too large: " + path.toStdString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw swf::LoadError("cannot open " + path.toStdString() + ": " +
                             file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    auto movie = swf::loadMovieAt(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                 size_t(bytes.size())),
        key.toStdString());
    // Drop entries whose movies are gone so the map does not grow with every file played.
    std::erase_if(cache, [](const auto& kv) { return kv.second.movie.expired(); });
    cache[key] = Entry{info.size(), info.lastModified(), movie};
    return movie;
}

}  // namespace lanfeng
