// The four conversion commands with the real library, the embedded projector and the scripted
// prompt; and the rules the projector and the screen saver start by.
#include <QTimer>

#include "commands_fixture.h"
#include "convert/projector_files.h"
#include "panel/tform2.h"
#include "projector/host_rules.h"
#include "ui/error.h"

namespace {

QByteArray trailer(qsizetype length) {
    QByteArray t("\x56\x34\x12\xFA", 4);
    for (int i = 0; i < 4; ++i) t.append(char((length >> (8 * i)) & 0xff));
    return t;
}

class Conversions : public Commands {
protected:
    void SetUp() override {
        qputenv("LANFENG_SCREENSAVER_DIR", (dir.path() + "/savers").toUtf8());
        Commands::SetUp();
    }
    void TearDown() override {
        Commands::TearDown();
        qunsetenv("LANFENG_SCREENSAVER_DIR");
    }
    QString stub() const { return root + "bin/lfflash.dll"; }
    static QByteArray embeddedStub() { return readAll(QStringLiteral(":/ed/exedll")); }
    static bool executable(const QString& path) {
        return QFileInfo(path).permission(QFile::ExeOwner);
    }
    // Runs a menu item as a click does, through the event loop, so a raised error meets the
    // program's general error box.
    static void choose(QAction* item) {
        QTimer::singleShot(0, item, &QAction::trigger);
        QCoreApplication::processEvents();
    }
};

TEST_F(Conversions, SwfToExeProposesCutsAtTheFirstDotAppendsExeAndDropsTheStubOnceDone) {
    const QString movie = makeMovie("a.b/movie.swf");
    ASSERT_GT(embeddedStub().size(), 100000);
    EXPECT_EQ(Form2->swfexe1Menu->actions(), (QList<QAction*>{Form2->swf2exe1, Form2->exeswf1}));
    EXPECT_EQ(Form2->swf2exe1->text(), QStringLiteral("swf->exe"));
    EXPECT_EQ(Form2->exeswf1->text(), QStringLiteral("exe->swf"));

    // Cancelled at the open dialog, then at the save dialog: the stub is out and stays.
    prompt->fileAnswers = {{}, {movie}, {}};
    Form2->swf2exe1Click();
    EXPECT_EQ(readAll(stub()), embeddedStub());
    Form2->swf2exe1Click();
    EXPECT_TRUE(QFile::exists(stub()));
    ASSERT_EQ(prompt->fileRequests.size(), 3u);
    EXPECT_EQ(prompt->fileRequests[0].title, QStringLiteral("请选择swf格式动画文件"));
    EXPECT_EQ(prompt->fileRequests[0].filter, QStringLiteral("flash动画文件(*.swf)|*.swf"));
    const lanfeng::FileRequest& save = prompt->fileRequests[2];
    EXPECT_EQ(save.mode, lanfeng::FileRequest::Save);
    EXPECT_EQ(save.title, QStringLiteral("保存转换后的文件"));
    EXPECT_EQ(save.filter, QStringLiteral("flash动画文件（*.exe）|*.exe"));
    EXPECT_EQ(save.fileName, root + "a");
    EXPECT_TRUE(save.confirmOverwrite);
    EXPECT_TRUE(prompt->messages.empty());

    // A name typed with ".exe" gets another; the message names the file so.
    prompt->fileAnswers = {{movie}, {root + "out.exe"}};
    Form2->swf2exe1Click();
    const QString exe = root + "out.exe.exe";
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("转换完毕！存放在") + exe});
    EXPECT_FALSE(QFile::exists(stub()));
    const QByteArray packed = readAll(exe);
    EXPECT_TRUE(packed.startsWith(embeddedStub()));
    EXPECT_EQ(packed.size(), embeddedStub().size() + readAll(movie).size() + 8);
    EXPECT_TRUE(executable(exe));

    // And back: our own projector gives the movie byte for byte, without a word.
    prompt->fileAnswers = {{exe}, {root + "back"}};
    Form2->exeswf1Click();
    EXPECT_EQ(readAll(root + "back.swf"), readAll(movie));
    EXPECT_EQ(prompt->messages.size(), 1u);
    const auto& open = prompt->fileRequests[prompt->fileRequests.size() - 2];
    EXPECT_EQ(open.title, QStringLiteral("请选择exe格式动画文件"));
    EXPECT_EQ(open.filter, QStringLiteral("flash动画文件(*.exe)|*.exe"));
    EXPECT_EQ(prompt->fileRequests.back().filter, QStringLiteral("flash动画文件（*.swf）|*.swf"));
    EXPECT_EQ(prompt->fileRequests.back().fileName, root + "out");
}

TEST_F(Conversions, ExeToSwfOnAFileWithoutAMovieSaysSoAndWritesNothing) {
    testmovies::writeFile(root + "plain.exe", QByteArray(4000, 'x'));
    prompt->fileAnswers = {{root + "plain.exe"}, {root + "plain"}};
    Form2->exeswf1Click();
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("该文件中没有找到flash动画！")});
    EXPECT_FALSE(QFile::exists(root + "plain.swf"));
    EXPECT_FALSE(QFile::exists(stub()));  // no stub is involved
}

TEST_F(Conversions, ProjectorOfTheCurrentMovieAndAFailureThatReachesTheErrorBox) {
    const QString movie = makeMovie("clip.swf");
    play(movie);
    prompt->fileAnswers = {{root + "mine"}};
    Form1->exe1Click();
    ASSERT_FALSE(prompt->fileRequests.empty());
    EXPECT_EQ(prompt->fileRequests[0].title, QStringLiteral("请保存生成的exe动画文件"));
    EXPECT_EQ(prompt->fileRequests[0].filter, QStringLiteral("flash动画文件(*.exe)|*.exe"));
    EXPECT_EQ(prompt->fileRequests[0].fileName, root + "clip");
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("转换完毕！存放在") + root + "mine.exe"});
    EXPECT_TRUE(
        readAll(root + "mine.exe").endsWith(readAll(movie) + trailer(readAll(movie).size())));
    EXPECT_FALSE(QFile::exists(stub()));

    // The movie went away: the open error reaches the general error box, the existing file of
    // that name stays as it was, and so does the stub.
    prompt->messages.clear();
    const QByteArray before = readAll(root + "mine.exe");
    QFile::remove(movie);
    prompt->fileAnswers = {{root + "mine"}};
    choose(Form1->exe1);
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].kind, lanfeng::MessageKind::Error);
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("Cannot open file ") + movie);
    EXPECT_EQ(readAll(root + "mine.exe"), before);
    EXPECT_TRUE(QFile::exists(stub()));
}

TEST_F(Conversions, ScreenSaverCopiesHostAndMovieReplacingThemAndNeedsTheHost) {
    const QString savers = dir.path() + "/savers/";
    const QString movie = makeMovie("clip.swf", 5);
    play(movie);
    Form2->Timer1Timer();  // the player's hint becomes the movie's title
    for (const char* host : {"HOST ONE", "HOST TWO"}) {
        SCOPED_TRACE(host);
        testmovies::writeFile(root + "screen.dll", host);
        Form1->N29Click();
        EXPECT_EQ(readAll(savers + "clip.scr"), QByteArray(host));
        EXPECT_EQ(readAll(savers + "clip.swf"), readAll(movie));
        EXPECT_TRUE(executable(savers + "clip.scr"));
        EXPECT_EQ(prompt->messages.back().text, QStringLiteral("屏保已转换成功，请进入屏保设置！"));
        makeMovie("clip.swf", 9);  // the second run replaces both with what is there now
    }
    EXPECT_EQ(QDir(savers).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Without the host nothing is made, not even the folder.
    QFile::remove(root + "screen.dll");
    qputenv("LANFENG_SCREENSAVER_DIR", (dir.path() + "/other").toUtf8());
    prompt->messages.clear();
    choose(Form1->N29);
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("Cannot open file ") + root + "screen.dll");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/other"));
}

TEST(ProjectorHost, FindsTheMovieItCarriesOrSaysWhyNot) {
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/p.exe";
    const QByteArray trailer3 = trailer(3);
    struct Case {
        const char* name;
        QByteArray file;
        QByteArray movie;
        const char* error;  // a word of the one-line reason
    };
    const Case cases[] = {
        {"a movie", "STUBabc" + trailer3, "abc", nullptr},
        {"no trailer", QByteArray(100, 'x'), {}, "no movie"},
        {"too short", "ab", {}, "no movie"},
        {"impossible length", "ab" + trailer3, {}, "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testmovies::writeFile(path, c.file);
        const lanfeng::AttachedMovie m = lanfeng::readAttachedMovie(path);
        EXPECT_EQ(m.bytes, c.movie);
        if (c.error)
            EXPECT_TRUE(m.error.contains(QString::fromLatin1(c.error))) << m.error.toStdString();
        else
            EXPECT_TRUE(m.error.isEmpty());
    }
}

TEST(ScreenSaverHost, PlaysTheMovieBesideItWhereItIsTold) {
    EXPECT_EQ(lanfeng::movieBesideSaver("/s/clip.scr"), "/s/clip.swf");
    EXPECT_EQ(lanfeng::movieBesideSaver("/s/a.b.scr"), "/s/a.b.swf");
    EXPECT_EQ(lanfeng::movieBesideSaver("/s/.scr"), "/s/.swf");
    using T = lanfeng::SaverTarget;
    struct Case {
        QStringList args;
        QByteArray env;
        T::Mode mode;
        uint64_t window;
        bool error;
    };
    const Case cases[] = {
        {{}, {}, T::Standalone, 0, false},
        {{"-root"}, {}, T::Root, 0, false},
        {{"-root"}, "0x2a", T::Window, 42, false},
        {{}, "77", T::Window, 77, false},
        {{"-window-id", "0x1A00003"}, "5", T::Window, 0x1A00003, false},
        {{"-window-id"}, {}, T::Standalone, 0, true},
        {{"-window-id", "zz"}, {}, T::Standalone, 0, true},
        {{"-fast"}, {}, T::Standalone, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString() + " env=" + c.env.toStdString());
        const T t = lanfeng::saverTarget(c.args, c.env);
        EXPECT_EQ(t.error.isEmpty(), !c.error);
        if (c.error) continue;
        EXPECT_EQ(t.mode, c.mode);
        EXPECT_EQ(t.window, c.window);
    }
}

}  // namespace
