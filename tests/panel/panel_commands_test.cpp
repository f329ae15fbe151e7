// The panel's capture, full screen, CD tray, file association and desktop play, and the
// banner's start counter, on the program's real windows.
#include <QImage>
#include <QProcess>
#include <QSettings>

#include "banner/tform5.h"
#include "panel/tform2.h"
#include "panel/tform7.h"
#include "platform/cd_tray.h"
#include "platform/file_association.h"
#include "platform/window_layer.h"
#include "preview/grid.h"
#include "tests/playlist/playlist_fixture.h"
#include "ui/error.h"

namespace {

// Sets environment variables for one test and puts the old values back.
class Env {
public:
    void set(const char* name, const QString& value) {
        if (!saved_.contains(name)) saved_[name] = qgetenv(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~Env() {
        for (auto it = saved_.begin(); it != saved_.end(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }

private:
    QMap<QByteArray, QByteArray> saved_;
};

class PanelCommands : public PlaylistWindow {
protected:
    void SetUp() override {
        PlaylistWindow::SetUp();
        start();
    }
    static PlayerControl* player() { return Form1->ShockwaveFlash1; }
    void play(const QString& path) {
        player()->BGColor(QString());
        player()->Movie(path);
        player()->Play();
    }
    static QRect screenRect() { return {QPoint(0, 0), lanfeng::screenSize(Form1)}; }
    static QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }
};

TEST_F(PanelCommands, CaptureSavesTheScreenUnderThePlayerAsNamePlusBmpAndPlaysOn) {
    play(makeMovie("a.swf", 20));
    struct Case {
        const char* layout;
        const char* typed;
        const char* saved;
    };
    const Case cases[] = {{"docked", "pic", "pic.bmp"},
                          {"docked", "pic.bmp", "pic.bmp.bmp"},
                          {"full screen", "full", "full.bmp"}};
    for (const Case& c : cases) {
        if (QByteArray(c.layout) == "full screen") {
            // Nothing else lies over the player then, so the screen shows the player alone.
            Form2->hide();
            Form4->hide();
            Form2->Image16Click();
        }
        prompt->fileAnswers.push_back({root + c.typed});
        // The screen shows what the windows last painted: let them paint, as between clicks,
        // at a frame that holds still.
        player()->Stop();
        player()->waitForFrame();
        QCoreApplication::processEvents();
        Form2->Image15Click();
        EXPECT_TRUE(player()->isPlaying()) << c.typed;
        const QImage saved(root + c.saved, "BMP");
        ASSERT_FALSE(saved.isNull()) << c.saved;
        // What the player shows now, stopped where the capture stopped it.
        player()->Stop();
        player()->waitForFrame();
        EXPECT_EQ(rgb(saved), rgb(player()->grab().toImage())) << c.layout << " " << c.saved;
        player()->Play();
    }
    EXPECT_EQ(player()->size(), screenRect().size());

    // Cancelled: nothing saved, the movie plays on.
    const int files = QDir(root).entryList({"*.bmp"}, QDir::Files).size();
    Form2->Image15Click();
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(QDir(root).entryList({"*.bmp"}, QDir::Files).size(), files);

    // A file that cannot be created names itself, and the movie stays stopped.
    prompt->fileAnswers.push_back({root + "no/such/folder/pic"});
    try {
        Form2->Image15Click();
        ADD_FAILURE() << "no error";
    } catch (const lanfeng::Error& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("no/such/folder/pic.bmp")) << e.what();
    }
    EXPECT_FALSE(player()->isPlaying());
}

TEST_F(PanelCommands, FullScreenCoversTheScreenAndLaysTheGridOverIt) {
    struct Case {
        bool grid;
        bool refreshing;
    };
    for (const Case c : {Case{false, true}, Case{false, false}, Case{true, false}}) {
        Form1->WMHotKey(27);
        Form2->Timer1.stop();
        play(makeMovie("m.swf", 90));
        if (c.grid) Form1->N5Click();  // the grid stops the refresh timer itself
        if (c.refreshing) Form2->Timer1.start();
        Form2->Image16Click();
        SCOPED_TRACE(testing::Message() << "grid " << c.grid << " refreshing " << c.refreshing);
        EXPECT_EQ(Form1->N19->isVisible(), c.refreshing);
        EXPECT_TRUE(Form1->N2->isVisible());
        EXPECT_FALSE(Form1->N15->isVisible());
        EXPECT_FALSE(Form1->N28->isEnabled());
        EXPECT_FALSE(Form1->N11->isEnabled());
        EXPECT_EQ(player()->geometry(), screenRect());
        // The grid left the main player the sample movie.
        EXPECT_EQ(player()->toolTip(), c.grid ? QStringLiteral("sample") : QStringLiteral("m"));
        EXPECT_EQ(player()->isVisibleTo(Form1), !c.grid);
        EXPECT_TRUE(Form2->isVisible() && Form4->isVisible());  // left as they were
        if (!c.grid) continue;
        const auto places = lanfeng::gridCellRects(screenRect());
        for (int n = 0; n < 9; ++n) {
            PlayerControl* cell = Form1->gridCells[n];
            EXPECT_EQ(cell->geometry(), places[n]) << n;
            EXPECT_TRUE(cell->isVisibleTo(Form1)) << n;
            EXPECT_FALSE(cell->isPlaying()) << n;
        }
        EXPECT_EQ(places[1].left() - places[0].right() - 1, 5);
        EXPECT_EQ(places[3].top() - places[0].bottom() - 1, 5);
    }
    Form2->Timer1.stop();
}

TEST_F(PanelCommands, TrayCommandsWithoutADriveDoNothing) {
    Env env;
    testmovies::writeFile(root + "not-a-drive", "x");
    for (const QString& device : {root + "missing", root + "not-a-drive"}) {
        env.set("LANFENG_CD_DEVICE", device);
        EXPECT_FALSE(lanfeng::setCdTrayOpen(true));
        Form2->N4Click();
        Form2->N5Click();
    }
    EXPECT_TRUE(prompt->messages.empty());
}

TEST(DesktopEntry, ExecArgumentsAreQuotedAsTheFormatAsks) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/lanfeng", "/usr/bin/lanfeng"},
        {"/opt/my player/lanfeng", R"("/opt/my player/lanfeng")"},
        {"/opt/100%/lanfeng", "/opt/100%%/lanfeng"},
        {"/opt/$x/lan\"feng", R"("/opt/\\$x/lan\\"feng")"},
    };
    for (const auto& [path, arg] : cases)
        EXPECT_EQ(lanfeng::desktopExecArgument(QString::fromUtf8(path)), QString::fromUtf8(arg));
}

// A home of the test's own with a system MIME database that lacks the type, as xdg-mime sees
// it outside any desktop environment.
class Association : public PanelCommands {
protected:
    void SetUp() override {
        PanelCommands::SetUp();
        home = root + "home";
        QDir().mkpath(home);
        QDir().mkpath(root + "system");
        env.set("HOME", home);
        env.set("XDG_DATA_HOME", home + "/data");
        env.set("XDG_CONFIG_HOME", home + "/config");
        env.set("XDG_DATA_DIRS", root + "system");
        for (const char* de : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                               "GNOME_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"})
            env.set(de, QString());
    }
    static QString xdgMime(const QStringList& args) {
        QProcess p;
        p.start("xdg-mime", args);
        if (!p.waitForFinished(60000)) return QStringLiteral("<no answer>");
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QString home;
    Env env;
};

TEST_F(Association, MakesTheProgramTheDefaultOpenerOfSwfFiles) {
    testmovies::writeFile(home + "/data/applications/lanfeng.desktop", "[Desktop Entry]\nold\n");
    Form2->N8Click();
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("关联成功，谢谢使用本软件!"));
    EXPECT_EQ(prompt->messages[0].caption, QStringLiteral("岚枫flash播放器"));

    const QString entry = QString::fromUtf8(readAll(home + "/data/applications/lanfeng.desktop"));
    EXPECT_FALSE(entry.contains("old"));
    EXPECT_TRUE(entry.contains("Name=岚枫flash播放器\n"));
    EXPECT_TRUE(entry.contains(
        QStringLiteral("Exec=%1 %f\n")
            .arg(lanfeng::desktopExecArgument(QCoreApplication::applicationFilePath()))));
    const QString icon = home + "/data/icons/hicolor/48x48/apps/lanfeng.png";
    EXPECT_TRUE(entry.contains("Icon=" + icon + "\n"));
    EXPECT_FALSE(QImage(icon).isNull());
    EXPECT_TRUE(entry.contains("MimeType=application/vnd.adobe.flash.movie;"));

    EXPECT_EQ(xdgMime({"query", "default", "application/vnd.adobe.flash.movie"}),
              QStringLiteral("lanfeng.desktop"));
    const QString movie = makeMovie("x.swf", 3);
    EXPECT_EQ(xdgMime({"query", "filetype", movie}),
              QStringLiteral("application/vnd.adobe.flash.movie"));
    EXPECT_TRUE(lanfeng::mimeDatabaseKnowsSwf({home + "/data"}));

    // Once more: the earlier values are overwritten and it succeeds again.
    Form2->N8Click();
    EXPECT_EQ(prompt->messages.back().text, QStringLiteral("关联成功，谢谢使用本软件!"));
}

TEST_F(Association, AFailedStepIsReportedWithItsReason) {
    // A data folder that cannot be made, even by root: a plain file stands in its way.
    testmovies::writeFile(home + "/blocked", "x");
    env.set("XDG_DATA_HOME", home + "/blocked/data");
    Form2->N8Click();
    ASSERT_EQ(prompt->messages.size(), 1u);
    const QStringList lines = prompt->messages[0].text.split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("文件关联失败！"));
    EXPECT_TRUE(lines[1].contains(home + "/blocked/data")) << lines[1].toStdString();
    EXPECT_EQ(prompt->messages[0].caption, QStringLiteral("岚枫flash播放器"));
    EXPECT_NE(xdgMime({"query", "default", "application/vnd.adobe.flash.movie"}),
              QStringLiteral("lanfeng.desktop"));
}

TEST_F(PanelCommands, DesktopPlayLayersTheMovieOverTheDesktopAndLeavesDocked) {
    EXPECT_FALSE(Form7->isVisible());
    EXPECT_EQ(Form7->Label1->geometry(), QRect(8, 8, 72, 13));
    EXPECT_EQ(Form7->Label1->text(), QStringLiteral("透明度调度："));
    EXPECT_EQ(Form7->TrackBar1->geometry(), QRect(88, 2, 769, 25));
    EXPECT_EQ(Form7->TrackBar1->maximum(), 255);
    EXPECT_EQ(Form7->TrackBar1->tickInterval(), 10);
    EXPECT_EQ(Form7->TrackBar1->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(Form7->Button1->geometry(), QRect(896, 2, 97, 25));
    EXPECT_EQ(Form7->Button1->text(), QStringLiteral("退出桌面播放"));

    play(makeMovie("d.swf", 90));
    Form1->N5Click();
    Form2->N2Click();  // the playlist hidden before entering
    ASSERT_FALSE(Form4->isVisible());
    Form2->deskplay();

    const QSize screen = screenRect().size();
    const QRect layer(0, 32, screen.width(), screen.height() - 32 - 25);
    EXPECT_TRUE(Form7->isVisible());
    EXPECT_EQ(Form7->geometry(), QRect(0, 0, screen.width(), 32));
    EXPECT_EQ(Form7->TrackBar1->value(), 125);
    EXPECT_EQ(lanfeng::windowAlpha(Form1), 125);
    EXPECT_TRUE(Form1->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(Form1->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_EQ(Form1->geometry(), layer);
    EXPECT_EQ(player()->geometry(), QRect(QPoint(0, 0), layer.size()));
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_FALSE(Form4->isVisible());
    EXPECT_TRUE(Form1->N2->isVisible());
    EXPECT_FALSE(Form1->N15->isVisible());
    // The grid was showing: its cells lie over the layer, stopped; the main player hides.
    const auto places = lanfeng::gridCellRects(QRect(QPoint(0, 0), layer.size()));
    for (int n = 0; n < 9; ++n) {
        EXPECT_EQ(Form1->gridCells[n]->geometry(), places[n]) << n;
        EXPECT_TRUE(Form1->gridCells[n]->isVisibleTo(Form1)) << n;
        EXPECT_FALSE(Form1->gridCells[n]->isPlaying()) << n;
    }
    EXPECT_FALSE(player()->isVisibleTo(Form1));

    // The slider is the alpha; a movie drawn invisible or opaque goes on playing.
    Form1->Button1Click();
    play(makeMovie("d.swf", 90));
    for (int alpha : {0, 255, 125}) {
        Form7->TrackBar1->setValue(alpha);
        EXPECT_EQ(lanfeng::windowAlpha(Form1), alpha);
        const int before = player()->CurrentFrame();
        player()->clockTick();
        EXPECT_TRUE(player()->isPlaying()) << alpha;
        EXPECT_EQ(player()->CurrentFrame(), before + 1) << alpha;
    }

    Form7->Button1Click();
    EXPECT_FALSE(Form7->isVisible());
    EXPECT_TRUE(Form2->isVisible());
    EXPECT_TRUE(Form4->isVisible());  // shown, though it was hidden before
    EXPECT_EQ(Form1->geometry(), QRect(Form2->x() + Form2->width(), Form2->y(), 400,
                                       Form2->height() + Form4->height()));
    EXPECT_EQ(player()->geometry(), Form1->normalPlayerRect());
    EXPECT_EQ(lanfeng::windowAlpha(Form1), 255);
    EXPECT_FALSE(Form1->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(Form1->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(Form1->N2->isVisible());  // "退出全屏" restores the menu
}

TEST_F(PanelCommands, EscInDesktopPlayDropsTheLayerButKeepsTheBar) {
    Form2->deskplay();
    Form1->WMHotKey(27);
    EXPECT_EQ(lanfeng::windowAlpha(Form1), 255);
    EXPECT_FALSE(Form1->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_FALSE(Form1->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Form1->width(), 400);
    EXPECT_TRUE(Form7->isVisible());
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_FALSE(Form4->isVisible());
}

// The banner counts starts down in bin/lfflash.ini before the windows are made.
class Banner : public PlaylistWindow {};

TEST_F(Banner, CountsStartsDownAndTicksTheHiddenItem) {
    const QString ini = root + "bin/lfflash.ini";
    struct Case {
        const char* file;  // nullptr: a folder stands where the file should be
        bool ticked;
        const char* after;
    };
    const Case cases[] = {
        {"[form5]\nad=3\n", true, "2"},
        {"[form5]\nad=0\n", false, nullptr},
        {"[form5]\nad=-1\n", false, nullptr},
        {"[other]\nkey=1\n", false, nullptr},
        {nullptr, false, nullptr},
    };
    for (const Case& c : cases) {
        QFile::remove(ini);
        QDir(ini).removeRecursively();
        if (c.file)
            testmovies::writeFile(ini, c.file);
        else
            QDir().mkpath(ini);
        const QByteArray before = c.file ? QByteArray(c.file) : QByteArray("<unreadable>");
        start();
        SCOPED_TRACE(c.file ? c.file : "folder");
        EXPECT_EQ(Form2->N17->isChecked(), c.ticked);
        EXPECT_FALSE(Form2->N17->isVisible());
        EXPECT_FALSE(Form5->isVisible());
        EXPECT_EQ(Form5->geometry(),
                  QRect(Form2->x(), Form2->y() - 63, Form1->width() + Form2->width(), 63));
        EXPECT_TRUE(Form5->ShockwaveFlash1->Movie().isEmpty());
        EXPECT_TRUE(Form5->ShockwaveFlash2->Movie().isEmpty());
        if (c.after)
            EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("form5/ad").toString(), c.after);
        else
            EXPECT_EQ(readAll(ini), before);
        stop();
    }
}

}  // namespace
