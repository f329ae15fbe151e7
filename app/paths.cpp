#include "app/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <optional>

namespace lanfeng {

namespace {
QString& overrideDir() {
    static QString dir;
    return dir;
}

QString withSeparator(QString dir) {
    dir = QDir::cleanPath(dir);
    if (!dir.endsWith('/')) dir += '/';
    return dir;
}

bool writable(const QString& dir) {
    QTemporaryFile probe(dir + QStringLiteral(".lanfeng-probe-XXXXXX"));
    return probe.open();
}

}  // namespace

// A copy installed among the system's programs keeps its working files per user, even when
// it could write beside itself (run as root).
bool installedCopy(const QString& exeDir) {
    return exeDir.startsWith(QStringLiteral("/usr/")) ||
           exeDir.startsWith(QStringLiteral("/opt/")) || !writable(exeDir);
}

QString programDir() {
    if (!overrideDir().isEmpty()) return overrideDir();
    const QByteArray env = qgetenv("LANFENG_PROGRAM_DIR");
    if (!env.isEmpty()) return withSeparator(QString::fromLocal8Bit(env));
    static const QString dir = [] {
        QString exeDir = withSeparator(QCoreApplication::applicationDirPath());
        if (!installedCopy(exeDir)) return exeDir;
        QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(data);
        return withSeparator(data);
    }();
    return dir;
}

QString shippedFile(const QString& name) {
    const QString working = programDir() + name;
    if (QFileInfo::exists(working)) return working;
    const QString installed = withSeparator(QCoreApplication::applicationDirPath()) +
                              QStringLiteral("../lib/lanfeng/") + name;
    return QFileInfo::exists(installed) ? QDir::cleanPath(installed) : working;
}

QString sampleMoviePath() { return programDir() + QStringLiteral("bin/sample.swf"); }

void setProgramDir(const QString& dir) {
    overrideDir() = dir.isEmpty() ? QString() : withSeparator(dir);
}

namespace {
std::optional<QStringList>& argumentsOverride() {
    static std::optional<QStringList> args;
    return args;
}
}  // namespace

QStringList commandLineArguments() {
    return argumentsOverride() ? *argumentsOverride() : QCoreApplication::arguments();
}

void setCommandLineArguments(const QStringList& arguments) { argumentsOverride() = arguments; }

QString joinedCommandLine(const QStringList& arguments) {
    QString path;
    for (qsizetype i = 1; i < arguments.size(); ++i) path += arguments[i];
    return path;
}

QString MovieTitle(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.indexOf('.');
    return dot < 0 ? QString() : name.left(dot);
}

}  // namespace lanfeng
