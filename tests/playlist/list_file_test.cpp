#include "playlist/list_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "ui/error.h"

namespace {

using lanfeng::parseList;
using lanfeng::serializeList;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TEST(ListFormat, EveryLineEndsInCrLfAndNothingElseIsWritten) {
    EXPECT_EQ(serializeList({"/m/a.swf", "/m/b.swf", "/m/c.swf"}),
              QByteArray("/m/a.swf\r\n/m/b.swf\r\n/m/c.swf\r\n"));
    EXPECT_EQ(serializeList({}), QByteArray());
    EXPECT_EQ(serializeList({""}), QByteArray("\r\n"));
    EXPECT_EQ(serializeList({QStringLiteral("/电影/岚枫.swf")}),
              QStringLiteral("/电影/岚枫.swf\r\n").toUtf8());
}

TEST(ListFormat, CrLfLoneLfAndLoneCrAllBreakLines) {
    const QStringList abc{"a", "b", "c"};
    EXPECT_EQ(parseList("a\r\nb\r\nc\r\n"), abc);
    EXPECT_EQ(parseList("a\nb\nc\n"), abc);
    EXPECT_EQ(parseList("a\rb\rc\r"), abc);
    EXPECT_EQ(parseList("a\rb\nc"), abc);  // mixed, and no break after the last line
    // LF CR is two breaks, not one: an empty line between.
    EXPECT_EQ(parseList("a\n\rb"), (QStringList{"a", "", "b"}));
}

TEST(ListFormat, EmptyLinesStayEntriesButAFinalBreakAddsNone) {
    EXPECT_EQ(parseList("a\r\n\r\nb\r\n"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(parseList("\r\n"), QStringList{""});
    EXPECT_EQ(parseList("\r\n\r\n"), (QStringList{"", ""}));
    EXPECT_EQ(parseList(""), QStringList{});
    EXPECT_EQ(parseList(" a \r\n"), QStringList{" a "});  // nothing is trimmed
}

TEST(ListFormat, NulEndsTheText) {
    EXPECT_EQ(parseList(QByteArray("a\r\nb\0c\r\nd\r\n", 11)), (QStringList{"a", "b"}));
    EXPECT_EQ(parseList(QByteArray("\0a\r\n", 4)), QStringList{});
}

TEST(ListFormat, ListsFromTheOriginalPlatformAreReadAsGb18030) {
    const QString path = QStringLiteral("D:\\动画\\岚枫.swf");
    QStringEncoder gb("GB18030");
    ASSERT_TRUE(gb.isValid());
    const QByteArray bytes = QByteArray(gb.encode(path)) + "\r\nC:\\a.swf\r\n";
    EXPECT_EQ(parseList(bytes), (QStringList{path, "C:\\a.swf"}));
    // Valid UTF-8 stays UTF-8 even where it would also be valid GB18030.
    EXPECT_EQ(parseList(path.toUtf8()), QStringList{path});
}

TEST(ListFormat, WrittenListsReadBackUnchanged) {
    const QStringList entries{"/a b/c.swf", "", QStringLiteral("/电影/x.y.swf"), "\t"};
    EXPECT_EQ(parseList(serializeList(entries)), entries);
}

class ListFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const QString& name) const { return dir.path() + '/' + name; }
    QTemporaryDir dir;
};

TEST_F(ListFiles, WritingReplacesTheFileAndLeavesNoTemporaryBehind) {
    const QString path = at("list.lfl");
    ASSERT_TRUE(writeBytes(path, "old old old old old\r\n"));
    lanfeng::writeListFile(path, {"/x.swf"});
    EXPECT_EQ(readAll(path), QByteArray("/x.swf\r\n"));
    lanfeng::writeListFile(path, {});
    EXPECT_EQ(readAll(path), QByteArray());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"list.lfl"});
}

TEST_F(ListFiles, AFailedWriteSaysWhy) {
    ASSERT_TRUE(writeBytes(at("plain"), "a file, not a folder"));
    try {
        lanfeng::writeListFile(at("plain/list.lfl"), {"/x.swf"});
        ADD_FAILURE() << "no error";
    } catch (const lanfeng::Error& e) {
        EXPECT_TRUE(e.text().startsWith("Cannot create file")) << e.what();
    }
}

TEST_F(ListFiles, AFailedWriteKeepsTheOldFile) {
    const QString path = at("ro/list.lfl");
    QDir().mkpath(at("ro"));
    ASSERT_TRUE(writeBytes(path, "kept\r\n"));
    QFile::setPermissions(at("ro"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    try {
        lanfeng::writeListFile(path, {"/new.swf"});
        if (QFileInfo(at("ro")).isWritable()) GTEST_SKIP() << "running with write access anyway";
        ADD_FAILURE() << "no error";
    } catch (const lanfeng::Error& e) {
        EXPECT_TRUE(e.text().startsWith("Cannot create file")) << e.what();
    }
    QFile::setPermissions(at("ro"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(path), QByteArray("kept\r\n"));
}

TEST_F(ListFiles, MissingOrOversizedFilesGiveAClearError) {
    try {
        lanfeng::readListFile(at("none.lfl"));
        ADD_FAILURE() << "no error";
    } catch (const lanfeng::Error& e) {
        EXPECT_TRUE(e.text().startsWith("Cannot open file")) << e.what();
    }
    const QString big = at("big.lfl");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(lanfeng::kMaxListFileBytes + 1));  // sparse, costs no disk
    }
    EXPECT_THROW(lanfeng::readListFile(big), lanfeng::Error);
}

TEST(ListBounds, EntriesPastTheBoundAreLeftOut) {
    const QByteArray many(lanfeng::kMaxListEntries + 10, '\n');
    EXPECT_EQ(parseList(many).size(), lanfeng::kMaxListEntries);
}

TEST(StartupList, TheCommandLineMovieJoinsTheDefaultListOnce) {
    const QStringList defaults{"/m/a.swf", "/m/b.swf"};
    EXPECT_EQ(lanfeng::startupList(defaults, "", false), defaults);
    EXPECT_EQ(lanfeng::startupList(defaults, "/m/c.swf", true),
              (QStringList{"/m/a.swf", "/m/b.swf", "/m/c.swf"}));
    EXPECT_EQ(lanfeng::startupList(defaults, "/M/B.SWF", true), defaults);
    EXPECT_EQ(lanfeng::startupList(defaults, "/m/gone.swf", false), defaults);
    EXPECT_EQ(lanfeng::startupList({}, "/m/c.swf", true), QStringList{"/m/c.swf"});
}

}  // namespace
