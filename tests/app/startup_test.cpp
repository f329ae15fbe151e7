#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "test_movies.h"
#include "ui/error.h"
#include "ui/prompt.h"
#include "video/tform1.h"

namespace {

const QString kBadPathMessage = QStringLiteral("文件名或路径中有空格等不合法字符!");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + '/';
        lanfeng::setProgramDir(root);
        auto scripted = std::make_unique<lanfeng::ScriptedPrompt>();
        prompt = scripted.get();
        previous = lanfeng::installPrompt(std::move(scripted));
    }
    void TearDown() override {
        if (Form1) Form1->close();
        lanfeng::destroyForms();
        lanfeng::installPrompt(std::move(previous));
        lanfeng::setProgramDir(QString());
        lanfeng::setCommandLineArguments(QStringList{QStringLiteral("lanfeng")});
    }
    void start(const QStringList& params = {}) {
        lanfeng::setCommandLineArguments(QStringList{QStringLiteral("lanfeng")} + params);
        lanfeng::createForms();
    }
    QString makeMovie(const QString& relative) {
        const QString path = root + relative;
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(testmovies::writeFile(path, testmovies::movingSquare(10)));
        return path;
    }
    QStringList messageTexts() const {
        QStringList out;
        for (const auto& m : prompt->messages) out << m.text;
        return out;
    }

    QTemporaryDir dir;
    QString root;
    lanfeng::ScriptedPrompt* prompt = nullptr;
    std::unique_ptr<lanfeng::Prompt> previous;
};

TEST_F(Startup, NoParameterLoadsTheFreshSampleIntoTheDockedWindows) {
    start();
    const QString sample = root + "bin/sample.swf";
    EXPECT_EQ(readAll(sample), readAll(QStringLiteral(":/myswf/mysample")));
    EXPECT_FALSE(readAll(sample).isEmpty());
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), sample);
    EXPECT_GT(Form1->ShockwaveFlash1->TotalFrames(), 0);
    EXPECT_TRUE(prompt->messages.empty()) << messageTexts().join('|').toStdString();
    EXPECT_FALSE(Form1->Timer1.isActive());

    EXPECT_EQ(Form1->geometry(), QRect(389, 167, 400, 308));
    EXPECT_EQ(Form1->ShockwaveFlash1->geometry(), QRect(16, 24, 372, 250));
    EXPECT_EQ(Form1->windowTitle(), QStringLiteral("岚枫flash播放器"));
    EXPECT_EQ(Form2->geometry(), QRect(389 - 295, 167, 295, 128));
    EXPECT_EQ(Form4->geometry(), QRect(389 - 295, 167 + 128, 295, 308 - 128));
    for (int n = 1; n <= 9; ++n) {
        auto* cell = Form1->findChild<PlayerControl*>(QStringLiteral("ShockwaveFlash0%1").arg(n));
        ASSERT_NE(cell, nullptr);
        EXPECT_TRUE(cell->isHidden());
    }
}

TEST_F(Startup, ExistingBinKeepsQuietAndTheSampleIsRewritten) {
    QDir().mkpath(root + "bin");
    testmovies::writeFile(root + "bin/sample.swf", "not the sample");
    start();
    EXPECT_TRUE(prompt->messages.empty());
    EXPECT_EQ(readAll(root + "bin/sample.swf"), readAll(QStringLiteral(":/myswf/mysample")));
}

TEST_F(Startup, QuotedPathWithBlanksPlaysAndStartsThePanelClockLater) {
    const QString movie = makeMovie("My Movies/a b.swf");
    start({movie});
    EXPECT_TRUE(prompt->messages.empty());
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), movie);
    EXPECT_EQ(Form1->ShockwaveFlash1->TotalFrames(), 10);
    EXPECT_TRUE(Form1->ShockwaveFlash1->isPlaying());
    EXPECT_TRUE(Form1->Timer1.isActive());
    EXPECT_EQ(Form1->Timer1.interval(), 100);
    EXPECT_FALSE(Form2->Timer1.isActive());

    Form1->Timer1Timer();
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_FALSE(Form1->Timer1.isActive());
}

TEST_F(Startup, ParametersAreJoinedWithoutBlanksAndAMissingPathFallsBackToTheSample) {
    makeMovie("My Movies/a.swf");
    // The unquoted path arrives as two parameters, which become "MyMovies/a.swf".
    start({root + "My", "Movies/a.swf"});
    EXPECT_EQ(messageTexts(), QStringList{kBadPathMessage});
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), root + "bin/sample.swf");
    EXPECT_FALSE(Form1->Timer1.isActive());
}

TEST_F(Startup, TwoExistingFilesMakeOnePathThatDoesNotExist) {
    const QString a = makeMovie("a.swf");
    const QString b = makeMovie("b.swf");
    start({a, b});
    EXPECT_EQ(messageTexts(), QStringList{kBadPathMessage});
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), root + "bin/sample.swf");
}

TEST_F(Startup, FolderFailureIsShownThenReportedAndTheWindowRunsOn) {
    testmovies::writeFile(root + "bin", "a file where the folder should be");
    start();
    ASSERT_EQ(prompt->messages.size(), 2u) << messageTexts().join('|').toStdString();
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("建立目录：") + root + "bin" +
                                            QStringLiteral("出错！\r\n\r\n请检查目录名是否正确。"));
    EXPECT_EQ(prompt->messages[0].kind, lanfeng::MessageKind::Error);
    EXPECT_EQ(prompt->messages[1].kind, lanfeng::MessageKind::Error);
    EXPECT_TRUE(prompt->messages[1].text.contains("Cannot create directory"));
    // The later steps were skipped: designed width, no movie, but every window exists.
    EXPECT_EQ(Form1->width(), 424);
    EXPECT_TRUE(Form1->ShockwaveFlash1->Movie().isEmpty());
    EXPECT_NE(Form4, nullptr);
    EXPECT_NE(Form7, nullptr);
}

TEST_F(Startup, MkDirBuildsEveryMissingLevel) {
    start();
    Form1->Supper_MkDir(root + "x/y/z");
    EXPECT_TRUE(QFileInfo(root + "x/y/z").isDir());
    EXPECT_TRUE(prompt->messages.empty());
}

TEST_F(Startup, CloseRemovesTheStubQuietlyWhetherOrNotItExists) {
    start();
    testmovies::writeFile(root + "bin/lfflash.dll", "stub");
    Form1->close();
    EXPECT_FALSE(QFile::exists(root + "bin/lfflash.dll"));
    EXPECT_TRUE(prompt->messages.empty());
    EXPECT_TRUE(QFile::exists(root + "bin/sample.swf"));
}

TEST_F(Startup, DroppedFilesJoinThePlaylistOnlyAsExactSwf) {
    start();
    const QString a = makeMovie("a.swf");
    testmovies::writeFile(root + "b.txt", "text");
    const QString c = makeMovie("c.SWF");
    QDir().mkpath(root + "folder.swf");
    Form1->HandleDropFiles({a, root + "b.txt", c, root + "folder.swf", root + "gone.swf"});
    ASSERT_EQ(Form4->ListBox1->count(), 1);
    EXPECT_EQ(Form4->ListBox1->item(0)->text(), a);
    EXPECT_EQ(messageTexts(), QStringList(2, QStringLiteral("这不是一个swf格式的flash文件！！！！")));
}

TEST_F(Startup, CommandErrorsReachTheGeneralErrorBox) {
    struct Thrower : QObject {
        bool event(QEvent*) override { throw lanfeng::Error(QStringLiteral("Cannot open file x")); }
    } thrower;
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &e);
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("Cannot open file x"));
    EXPECT_EQ(prompt->messages[0].kind, lanfeng::MessageKind::Error);
}

TEST(MovieTitle, IsTheFileNameUpToItsFirstDot) {
    EXPECT_EQ(lanfeng::MovieTitle("/m/a.b.swf"), "a");
    EXPECT_EQ(lanfeng::MovieTitle("/m.d/name"), "");
    EXPECT_EQ(lanfeng::MovieTitle("/m/.hidden.swf"), "");
    EXPECT_EQ(lanfeng::joinedCommandLine({"lanfeng", "/a/My", "Movies/x.swf"}), "/a/MyMovies/x.swf");
}

// An installed copy keeps its working files per user; a build tree keeps them beside itself.
TEST(ProgramDir, InstalledCopiesAreThoseAmongTheSystemsProgramsOrUnwritable) {
    QTemporaryDir tmp;
    const QString tree = tmp.path() + '/';
    QFile file(tree + "file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const std::pair<QString, bool> cases[] = {
        {"/usr/bin/", true},
        {"/opt/lanfeng/bin/", true},
        {tree, false},
        {tree + "file/", true},  // no one can write there, root included
    };
    for (const auto& [dir, installed] : cases)
        EXPECT_EQ(lanfeng::installedCopy(dir), installed) << dir.toStdString();
}

}  // namespace
