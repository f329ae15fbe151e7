// The real program killed with SIGKILL: the playlist it just changed is on disk, and a kill in
// the middle of writing a long list leaves the old or the new file whole.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "playlist/list_file.h"
#include "tests/app/test_movies.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// lanfeng with its program folder in dir, offscreen.
std::unique_ptr<QProcess> launch(const QString& dir, const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANFENG_PROGRAM_DIR", dir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(LANFENG_BIN), args);
    EXPECT_TRUE(p->waitForStarted(10000));
    return p;
}

void killNow(QProcess& p) {
    p.kill();  // SIGKILL
    p.waitForFinished(10000);
}

// Waits until the file holds what pred wants (or 30 s).
template <typename Pred>
bool eventually(const QString& file, Pred pred) {
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        if (pred(lanfeng::parseList(readAll(file)))) return true;
        QThread::msleep(5);
    }
    return false;
}

}  // namespace

TEST(PlaylistKill, AChangeSurvivesSigkillAndTheNextStartHasIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.path() + "/bin/default.lfl";
    const QString movie = dir.path() + "/a.swf";
    ASSERT_TRUE(testmovies::writeFile(movie, testmovies::movingSquare(10)));
    // The movie named on the command line joins the list; the program is killed as soon as
    // the list on disk shows it, and never gets to write at exit.
    auto first = launch(dir.path(), {movie});
    const bool written =
        eventually(list, [&](const QStringList& l) { return l == QStringList{movie}; });
    killNow(*first);
    ASSERT_TRUE(written) << "the changed list never reached the disk";
    auto second = launch(dir.path(), {});
    QThread::msleep(1500);
    killNow(*second);
    EXPECT_EQ(lanfeng::parseList(readAll(list)), QStringList{movie});
}

TEST(PlaylistKill, AKillWhileWritingALongListLeavesOneWholeFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir().mkpath(dir.path() + "/bin");
    const QString list = dir.path() + "/bin/default.lfl";
    QStringList old;
    for (int i = 0; i < 100000; ++i) old << QStringLiteral("/movies/%1/clip.swf").arg(i);
    const QString movie = dir.path() + "/new.swf";
    ASSERT_TRUE(testmovies::writeFile(movie, testmovies::movingSquare(10)));
    const QStringList fresh = old + QStringList{movie};
    // Killed at moments spread over the start, its read and its write of the longer list.
    for (int delay : {0, 50, 100, 200, 300, 400, 600, 800, 1200, 2000}) {
        lanfeng::writeListFile(list, old);
        auto p = launch(dir.path(), {movie});
        QThread::msleep(delay);
        killNow(*p);
        const QStringList now = lanfeng::parseList(readAll(list));
        EXPECT_TRUE(now == old || now == fresh) << "after " << delay << " ms: " << now.size();
    }
    // The last ones ran long enough to write it.
    auto p = launch(dir.path(), {movie});
    EXPECT_TRUE(eventually(list, [&](const QStringList& l) { return l == fresh; }));
    killNow(*p);
}
