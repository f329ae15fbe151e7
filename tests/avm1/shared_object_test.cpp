// Local shared objects outlive their player: written to the storage folder, read back by the
// next player of the same movie, and a damaged file gives a fresh object.

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "engine/player.h"
#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;

namespace {

// so = SharedObject.getLocal(name); then push so.data on the stack.
ActionWriter& soData(ActionWriter& a) {
    push(a, {"so"}).getVariable();
    push(a, {"data"}).op(op::GetMember);
    return a;
}

// Traces so.data.n, so.data.list and so.data.me.n, then stores a number, an array and a
// cycle back to data, and traces what flush() answers.
swftest::SwfBuilder movie(const char* name, bool clearAtEnd = false) {
    swftest::SwfBuilder b(8);
    ActionWriter a;
    push(a, {"so", name, 1, "SharedObject"}).getVariable();
    push(a, {"getLocal"}).op(op::CallMethod).setVariable();
    push(soData(a), {"n"}).op(op::GetMember).trace();
    push(soData(a), {"list"}).op(op::GetMember).trace();
    push(soData(a), {"me"}).op(op::GetMember);
    push(a, {"n"}).op(op::GetMember).trace();
    push(soData(a), {"n", 42}).op(op::SetMember);
    push(soData(a), {"list", P::null(), "two", 1, 3}).op(op::InitArray).op(op::SetMember);
    push(soData(a), {"me"});
    soData(a).op(op::SetMember);
    push(a, {0, "so"}).getVariable();
    push(a, {"flush"}).op(op::CallMethod).trace();
    if (clearAtEnd) {
        push(a, {0, "so"}).getVariable();
        push(a, {"clear"}).op(op::CallMethod).op(op::Pop);
    }
    a.stop();
    b.doAction(a);
    b.showFrame();
    return b;
}

std::string run(const swftest::SwfBuilder& b, const QString& folder) {
    std::string out;
    swf::Player player(swf::loadMovie(b.bytes()), {folder.toStdString(), "/movies/game.swf"});
    player.setTraceSink([&out](std::string_view l) { (out += l) += "\n"; });
    return out;
}

QStringList storedFiles(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    return files;
}

}  // namespace

TEST(Avm1SharedObject, PersistsAcrossPlayersAndSurvivesDamage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A name climbing out of the folder still lands inside it.
    const swftest::SwfBuilder b = movie("../../up");
    const std::string fresh = "undefined\nundefined\nundefined\ntrue\n";
    EXPECT_EQ(run(b, dir.path()), fresh);
    const QStringList files = storedFiles(dir.path());
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].startsWith(dir.path() + "/"));
    EXPECT_FALSE(files[0].contains(".."));

    // The next player reads numbers, arrays with their null and the cycle back to data.
    EXPECT_EQ(run(b, dir.path()), "42\n1,two,null\n42\ntrue\n");

    // Cut short or puffed up with a count larger than the file: a fresh object, no crash.
    QFile f(files[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();
    QByteArray lying = whole;
    lying[9] = char(0x7F);  // the top byte of the data object's member count
    for (const QByteArray& bad : {whole.left(whole.size() - 3), lying, QByteArray("LFSO\x09")}) {
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bad);
        f.close();
        EXPECT_EQ(run(b, dir.path()), fresh);
    }

    // The fresh object the last run saved is read, then clear() takes the file away for good,
    // also when the player then goes.
    EXPECT_EQ(run(movie("../../up", true), dir.path()), "42\n1,two,null\n42\ntrue\n");
    EXPECT_TRUE(storedFiles(dir.path()).isEmpty());
    EXPECT_EQ(run(b, dir.path()), fresh);

    // Without a folder nothing is kept from one player to the next.
    EXPECT_EQ(run(b, QString()), fresh);
    EXPECT_EQ(run(b, QString()), fresh);
}

// Two objects whose prototypes point at each other, deep nesting and a wide tree are stored,
// flushed by the movie and again when the player goes: written whole or refused, never hung.
TEST(Avm1SharedObject, CyclesAndDepthsAreBounded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    swftest::SwfBuilder b(8);
    ActionWriter a;
    push(a, {"so", "loop", 1, "SharedObject"}).getVariable();
    push(a, {"getLocal"}).op(op::CallMethod).setVariable();
    push(soData(a), {"a", 0}).op(op::InitObject).op(op::SetMember);
    push(soData(a), {"b", "x", 1, 1}).op(op::InitObject).op(op::SetMember);
    soData(a);
    push(a, {"a"}).op(op::GetMember);
    push(a, {"__proto__"});
    push(soData(a), {"b"}).op(op::GetMember).op(op::SetMember);
    soData(a);
    push(a, {"b"}).op(op::GetMember);
    push(a, {"__proto__"});
    push(soData(a), {"a"}).op(op::GetMember).op(op::SetMember);
    push(a, {0, "so"}).getVariable();
    push(a, {"flush"}).op(op::CallMethod).trace();
    // {n: {n: ... {}}} 100 deep is more than a stored object may hold.
    push(a, {"deep", "deep", 1, "SharedObject"}).getVariable();
    push(a, {"getLocal"}).op(op::CallMethod).setVariable();
    push(a, {"deep"}).getVariable();
    push(a, {"data"}).op(op::GetMember);
    push(a, {"o"});
    for (int i = 0; i < 100; ++i) push(a, {"n"});
    push(a, {0}).op(op::InitObject);
    for (int i = 0; i < 100; ++i) push(a, {1}).op(op::InitObject);
    a.op(op::SetMember);
    push(a, {0, "deep"}).getVariable();
    push(a, {"flush"}).op(op::CallMethod).trace();
    a.stop();
    b.doAction(a);
    b.showFrame();
    std::string out;
    {
        swf::Player player(swf::loadMovie(b.bytes()), {dir.path().toStdString(), "/m/l.swf"});
        player.setTraceSink([&out](std::string_view l) { (out += l) += "\n"; });
    }
    EXPECT_EQ(out, "true\nfalse\n");
    EXPECT_EQ(storedFiles(dir.path()).size(), 1);
}

// A movie keeps at most 32 objects and 1 MB on disk: flushes past that answer false and
// write nothing, by count (40 small objects) and by bytes (objects of 60 KB each).
TEST(Avm1SharedObject, AMovieKeepsFewObjectsOnDisk) {
    for (const int size : {1, 60 * 1024}) {
        SCOPED_TRACE(size);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        swftest::SwfBuilder b(8);
        ActionWriter a;
        for (int i = 0; i < 40; ++i) {
            const std::string name = "s" + std::to_string(i);
            push(a, {"so", name.c_str(), 1, "SharedObject"}).getVariable();
            push(a, {"getLocal"}).op(op::CallMethod).setVariable();
            push(soData(a), {"x", std::string(size, 'x').c_str()}).op(op::SetMember);
            push(a, {0, "so"}).getVariable();
            push(a, {"flush"}).op(op::CallMethod).trace();
        }
        a.stop();
        b.doAction(a);
        b.showFrame();
        const std::string out = run(b, dir.path());
        const int kept = size == 1 ? 32 : 17;
        std::string want;
        for (int i = 0; i < 40; ++i) want += i < kept ? "true\n" : "false\n";
        EXPECT_EQ(out, want);
        EXPECT_EQ(storedFiles(dir.path()).size(), kept);
    }
}
