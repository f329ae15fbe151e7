#include "platform/file_association.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

#include "ui/skin_image.h"

// Resources of a static library must be named to be linked in; the name lives outside any
// namespace.
static void initDesktopResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(desktop);
        return true;
    }();
    (void)done;
}

namespace lanfeng {

namespace {

QByteArray resource(const QString& name) {
    initDesktopResources();
    QFile f(QStringLiteral(":/desktop/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString envDir(const char* name, const QString& fallbackBelowHome) {
    const QString value = qEnvironmentVariable(name);
    // A relative XDG folder is invalid and ignored, as freedesktop asks.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + '/' + fallbackBelowHome);
}

// Writes a whole file through a temporary one; the reason of a failure, or nothing.
QString writeFile(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("无法建立目录 %1")
            .arg(QDir::toNativeSeparators(QFileInfo(path).path()));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return QStringLiteral("无法写入 %1：%2")
            .arg(QDir::toNativeSeparators(path), out.errorString());
    return {};
}

// Runs a helper program to its end; the reason it failed, or nothing. What it printed goes to
// output when asked for.
QString run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) return QStringLiteral("无法运行 %1").arg(program);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(1000);
        return QStringLiteral("%1 没有结束").arg(program);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString said =
            QString::fromLocal8Bit(process.readAll()).trimmed().section('\n', 0, 0);
        return QStringLiteral("%1 失败（%2）%3")
            .arg(program)
            .arg(process.exitCode())
            .arg(said.isEmpty() ? QString() : QStringLiteral("：") + said);
    }
    if (output) *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return {};
}

}  // namespace

QString userDataHome() { return envDir("XDG_DATA_HOME", QStringLiteral(".local/share")); }

QString userConfigHome() { return envDir("XDG_CONFIG_HOME", QStringLiteral(".config")); }

QStringList systemDataDirs() {
    QStringList dirs;
    for (const QString& d : qEnvironmentVariable("XDG_DATA_DIRS").split(':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(d)) dirs << QDir::cleanPath(d);
    if (dirs.isEmpty()) dirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return dirs;
}

QString desktopExecArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString arg = path;
    arg.replace('%', QStringLiteral("%%"));
    bool quote = false;
    for (QChar c : arg) quote = quote || reserved.contains(c);
    if (quote) {
        QString quoted;
        for (QChar c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        arg = '"' + quoted + '"';
    }
    // The Exec value is itself a string value, whose own escapes come on top.
    arg.replace('\\', QStringLiteral("\\\\"));
    arg.replace('\n', QStringLiteral("\\n"));
    arg.replace('\t', QStringLiteral("\\t"));
    return arg;
}

QString desktopEntryText(const QString& program, const QString& icon) {
    QString text = QString::fromUtf8(resource(QStringLiteral("lanfeng.desktop.in")));
    text.replace(QStringLiteral("@EXEC@"), desktopExecArgument(program));
    QString iconValue = icon;
    iconValue.replace('\\', QStringLiteral("\\\\")).replace('\n', QStringLiteral("\\n"));
    text.replace(QStringLiteral("@ICON@"), iconValue);
    return text;
}

bool mimeDatabaseKnowsSwf(const QStringList& dataDirs) {
    const QByteArray wanted = QByteArray(kSwfMimeType) + ":*.swf";
    for (const QString& dir : dataDirs) {
        QFile globs(dir + QStringLiteral("/mime/globs2"));
        if (!globs.open(QIODevice::ReadOnly)) continue;
        // Lines are "weight:type:glob[:flags]"; the database caps nothing, so neither do we
        // beyond reading line by line.
        while (!globs.atEnd()) {
            const QByteArray line = globs.readLine(4096).trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon < 0) continue;
            const QByteArray rest = line.mid(colon + 1);
            if (rest == wanted || rest.startsWith(wanted + ':')) return true;
        }
    }
    return false;
}

QString associateSwfFiles(const QString& program) {
    const QString data = userDataHome();
    const QString icon = data + QStringLiteral("/icons/hicolor/48x48/apps/lanfeng.png");
    {
        QByteArray png;
        QFile source(QStringLiteral(":/skin/icon.png"));
        initSkinResources();
        if (source.open(QIODevice::ReadOnly)) png = source.readAll();
        if (const QString failed = writeFile(icon, png); !failed.isEmpty()) return failed;
    }
    const QString entry = data + QStringLiteral("/applications/") + kDesktopEntryName;
    if (const QString failed = writeFile(entry, desktopEntryText(program, icon).toUtf8());
        !failed.isEmpty())
        return failed;
    if (!mimeDatabaseKnowsSwf(systemDataDirs())) {
        const QString mime = data + QStringLiteral("/mime");
        if (const QString failed = writeFile(mime + QStringLiteral("/packages/lanfeng-swf.xml"),
                                             resource(QStringLiteral("lanfeng-swf.xml")));
            !failed.isEmpty())
            return failed;
        if (const QString failed = run(QStringLiteral("update-mime-database"), {mime});
            !failed.isEmpty())
            return failed;
    }
    const QString type = QString::fromLatin1(kSwfMimeType);
    const QString name = QString::fromLatin1(kDesktopEntryName);
    if (const QString failed =
            run(QStringLiteral("xdg-mime"), {QStringLiteral("default"), name, type});
        !failed.isEmpty())
        return failed;
    // xdg-mime reports success even when it could not write its list: ask it back.
    QString now;
    if (const QString failed =
            run(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type}, &now);
        !failed.isEmpty())
        return failed;
    if (now != name) return QStringLiteral("xdg-mime 未能把 %1 设为 %2 的默认程序").arg(name, type);
    return {};
}

}  // namespace lanfeng
