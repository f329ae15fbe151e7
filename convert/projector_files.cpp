#include "convert/projector_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <vector>

#include "app/paths.h"
#include "projector/host_rules.h"
#include "swfpack/swfpack.h"
#include "ui/error.h"

namespace lanfeng {

namespace {

Error openError(const QString& path) {
    return Error(QStringLiteral("Cannot open file %1").arg(path));
}
Error createError(const QString& path) {
    return Error(QStringLiteral("Cannot create file %1").arg(path));
}

// A text variable handed to the library, owned here.
class LibraryText {
public:
    LibraryText() : buffer_(8192, '\0') { text_ = {buffer_.data(), buffer_.size(), 0}; }
    SwfPackText* get() { return &text_; }
    QString value() const {
        return QFile::decodeName(QByteArray(text_.data, qsizetype(text_.size)));
    }

private:
    std::vector<char> buffer_;
    SwfPackText text_;
};

// A path as the library reads it; the bytes live as long as this object.
class LibraryPath {
public:
    explicit LibraryPath(const QString& path) : bytes_(QFile::encodeName(path)) {}
    SwfPackString get() const { return {bytes_.constData(), size_t(bytes_.size())}; }

private:
    QByteArray bytes_;
};

void raiseIfFailed(const LibraryText& raised) {
    if (const QString text = raised.value(); !text.isEmpty()) throw Error(text);
}

// Opens for reading; only a regular file will do.
void openInput(QFile& file) {
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
        throw openError(file.fileName());
}

void copyAll(QFile& from, QSaveFile& to) {
    char chunk[1 << 16];
    for (;;) {
        const qint64 n = from.read(chunk, sizeof chunk);
        if (n < 0) throw Error(QStringLiteral("Stream read error"));
        if (n == 0) return;
        if (to.write(chunk, n) != n) throw Error(QStringLiteral("Stream write error"));
    }
}

// Whoever may read the file may run it.
void makeExecutable(const QString& path) {
    QFile::Permissions p = QFile::permissions(path);
    if (p & QFile::ReadOwner) p |= QFile::ExeOwner | QFile::ExeUser;
    if (p & QFile::ReadGroup) p |= QFile::ExeGroup;
    if (p & QFile::ReadOther) p |= QFile::ExeOther;
    QFile::setPermissions(path, p);
}

}  // namespace

QString proposedOutputName(const QString& path) {
    const qsizetype dot = path.indexOf('.');
    return dot < 0 ? path : path.left(dot);
}

QString stubPath() { return programDir() + QStringLiteral("bin/lfflash.dll"); }

void prepareStub() {
    const QString target = stubPath();
    if (QFile::exists(target)) return;
    QFile source(QStringLiteral(":/ed/exedll"));
    if (!source.open(QIODevice::ReadOnly)) throw openError(source.fileName());
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) throw createError(target);
    copyAll(source, out);
    if (!out.commit()) throw createError(target);
}

void packProjector(const QString& swf, const QString& exe, const QString& stub) {
    LibraryText errorText, raised;  // a fresh error text, not read afterwards
    Swf2Exe(errorText.get(), LibraryPath(swf).get(), LibraryPath(exe).get(),
            LibraryPath(stub).get(), raised.get());
    raiseIfFailed(raised);
}

bool unpackProjector(const QString& exe, const QString& outputBase) {
    // The library says nothing about a file without a movie; its trailer tells. Read first: the
    // output may take the input's very name.
    const bool holdsMovie = trailerOfFile(exe).kind == swfpack::TrailerKind::Movie;
    LibraryText errorText, raised;
    exe2swf(errorText.get(), LibraryPath(exe).get(), LibraryPath(outputBase).get(), raised.get());
    raiseIfFailed(raised);
    return holdsMovie;
}

void installScreenSaver(const QString& host, const QString& movie, const QString& folder,
                        const QString& title) {
    QFile hostFile(host), movieFile(movie);
    openInput(hostFile);
    openInput(movieFile);
    QDir().mkpath(folder);  // a folder that cannot be made shows as the create error below
    const QString base = folder + QLatin1Char('/') + title;
    QSaveFile swf(base + QStringLiteral(".swf")), scr(base + QStringLiteral(".scr"));
    for (QSaveFile* out : {&swf, &scr})
        if (!out->open(QIODevice::WriteOnly)) throw createError(out->fileName());
    copyAll(movieFile, swf);
    copyAll(hostFile, scr);
    for (QSaveFile* out : {&swf, &scr})
        if (!out->commit()) throw createError(out->fileName());
    // XScreenSaver runs the .scr as a program.
    makeExecutable(scr.fileName());
}

}  // namespace lanfeng
