#pragma once
// List files (".lfl"): one full movie path a line, CR LF after every line, no header. Read
// back at CR LF, lone CR or lone LF; a NUL ends the text. Written in UTF-8; a file that is not
// valid UTF-8 was written on the original platform and is read as GB18030.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace lanfeng {

// Bounds on what a list file may hold. A larger file is refused; lines past the entry bound
// are left out.
inline constexpr qint64 kMaxListFileBytes = 64 * 1024 * 1024;
inline constexpr qsizetype kMaxListEntries = 1'000'000;

// Text of a list file's bytes: up to the first NUL, UTF-8 when valid, else GB18030.
QString decodeListText(QByteArrayView bytes);
// The entries of a list text, empty lines included; a break at the very end adds nothing.
QStringList splitListText(QStringView text);
QStringList parseList(QByteArrayView bytes);
// UTF-8, every entry followed by CR LF; the empty list gives no bytes at all.
QByteArray serializeList(const QStringList& entries);

// Reads a list file; throws lanfeng::Error "Cannot open file ..." when it cannot be read.
QStringList readListFile(const QString& path);
// Writes through a temporary file renamed into place, so a failed write keeps the old file;
// throws lanfeng::Error "Cannot create file ..." when that fails.
void writeListFile(const QString& path, const QStringList& entries);

// Program directory + "bin/default.lfl".
QString defaultListPath();
// The list at start: the default list, plus the movie named on the command line when it names
// a file the list does not already hold (compared ignoring letter case).
QStringList startupList(const QStringList& defaults, const QString& commandLinePath,
                        bool commandLineNamesFile);

}  // namespace lanfeng
