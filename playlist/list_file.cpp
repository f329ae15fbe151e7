#include "playlist/list_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include "app/paths.h"
#include "ui/error.h"

namespace lanfeng {

namespace {

QString nativePath(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

QString decodeListText(QByteArrayView bytes) {
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes = bytes.first(nul);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    QStringDecoder gb("GB18030");
    if (gb.isValid()) return gb.decode(bytes);
    // Without a GB18030 codec the local 8-bit encoding is the best remaining guess.
    return QString::fromLocal8Bit(bytes);
}

QStringList splitListText(QStringView text) {
    QStringList entries;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n && entries.size() < kMaxListEntries; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        entries.append(text.sliced(start, i - start).toString());
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n && entries.size() < kMaxListEntries)
        entries.append(text.sliced(start).toString());
    return entries;
}

QStringList parseList(QByteArrayView bytes) { return splitListText(decodeListText(bytes)); }

QByteArray serializeList(const QStringList& entries) {
    QByteArray out;
    qsizetype size = 0;
    for (const QString& e : entries) size += e.size() * 3 + 2;
    out.reserve(size);
    for (const QString& e : entries) {
        out += e.toUtf8();
        out += "\r\n";
    }
    return out;
}

QStringList readListFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open file \"%1\". %2")
                        .arg(nativePath(path), file.errorString()));
    if (file.size() > kMaxListFileBytes)
        throw Error(QStringLiteral("Cannot open file \"%1\". A list file holds at most %2 MB.")
                        .arg(nativePath(path))
                        .arg(kMaxListFileBytes / (1024 * 1024)));
    // Read no more than the bound even if the file grows meanwhile (or is a device).
    const QByteArray bytes = file.read(kMaxListFileBytes);
    if (file.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("Cannot open file \"%1\". %2")
                        .arg(nativePath(path), file.errorString()));
    return parseList(bytes);
}

void writeListFile(const QString& path, const QStringList& entries) {
    QSaveFile file(path);
    const QByteArray bytes = serializeList(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Cannot create file \"%1\". %2")
                        .arg(nativePath(path), file.errorString()));
}

QString defaultListPath() { return programDir() + QStringLiteral("bin/default.lfl"); }

QStringList startupList(const QStringList& defaults, const QString& commandLinePath,
                        bool commandLineNamesFile) {
    QStringList list = defaults;
    if (!commandLinePath.isEmpty() && commandLineNamesFile &&
        !list.contains(commandLinePath, Qt::CaseInsensitive))
        list.append(commandLinePath);
    return list;
}

}  // namespace lanfeng
