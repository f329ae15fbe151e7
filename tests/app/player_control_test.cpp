#include "player/player_control.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QInputMethodEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <thread>

#include "test_movies.h"
#include "tests/app/input_movie.h"
#include "tests/support/swf_writer_media.h"
#include "ui/prompt.h"

namespace {

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        movie = dir.path() + "/square.swf";
        ASSERT_TRUE(testmovies::writeFile(movie, testmovies::movingSquare(10)));
        auto scripted = std::make_unique<lanfeng::ScriptedPrompt>();
        prompt = scripted.get();
        previous = lanfeng::installPrompt(std::move(scripted));
        control.resize(200, 100);
    }
    void TearDown() override { lanfeng::installPrompt(std::move(previous)); }
    QColor pixel(int x, int y) {
        control.waitForFrame();
        return control.grab().toImage().pixelColor(x, y);
    }

    QTemporaryDir dir;
    QString movie;
    PlayerControl control;
    lanfeng::ScriptedPrompt* prompt = nullptr;
    std::unique_ptr<lanfeng::Prompt> previous;
};

TEST_F(Control, LoadsPlaysOnLoadAndSteps) {
    control.Movie(movie);
    EXPECT_EQ(control.Movie(), movie);
    EXPECT_EQ(control.TotalFrames(), 10);
    EXPECT_EQ(control.CurrentFrame(), 0);
    EXPECT_TRUE(control.isPlaying());
    control.clockTick();
    EXPECT_EQ(control.CurrentFrame(), 1);

    control.Stop();
    control.clockTick();
    EXPECT_EQ(control.CurrentFrame(), 1);
    control.Forward();
    EXPECT_EQ(control.CurrentFrame(), 2);
    control.Back();
    control.Back();
    control.Back();
    EXPECT_EQ(control.CurrentFrame(), 0);
    control.GotoFrame(7);
    EXPECT_EQ(control.CurrentFrame(), 7);
    control.GotoFrame(1000);
    EXPECT_EQ(control.CurrentFrame(), 9);
    control.Play();
    control.clockTick();
    EXPECT_EQ(control.CurrentFrame(), 0) << "the movie loops at its end";
    control.GotoFrame(5);
    control.Rewind();
    EXPECT_EQ(control.CurrentFrame(), 0);
}

TEST_F(Control, WithoutLoopingStopsOnTheLastFrame) {
    control.loop = false;
    control.Movie(movie);
    control.GotoFrame(9);
    control.clockTick();
    EXPECT_EQ(control.CurrentFrame(), 9);
    EXPECT_FALSE(control.isPlaying());
}

TEST_F(Control, RunsOnItsOwnClock) {
    ASSERT_TRUE(testmovies::writeFile(movie, testmovies::movingSquare(1000, 200.0)));
    control.Movie(movie);
    QTest::qWait(200);
    EXPECT_GT(control.CurrentFrame(), 0);
    control.Stop();
    const int stopped = control.CurrentFrame();
    QTest::qWait(50);
    EXPECT_EQ(control.CurrentFrame(), stopped);
}

// A beat that comes late (the window was busy drawing a slow frame) advances every frame due
// since, so the movie keeps its own time.
TEST_F(Control, ALateBeatCatchesUpEveryFrameDue) {
    ASSERT_TRUE(testmovies::writeFile(movie, testmovies::movingSquare(1000, 30.0)));
    control.Movie(movie);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    control.clockTick();
    EXPECT_GE(control.CurrentFrame(), 12);
}

TEST_F(Control, UnloadableFilesLeaveAnEmptyQuietControl) {
    testmovies::writeFile(dir.path() + "/junk.swf",
                          QByteArray("FWS\x06garbage-that-is-not-a-movie"));
    for (const QString& path : {dir.path() + "/junk.swf", dir.path() + "/missing.swf"}) {
        control.Movie(movie);
        control.Movie(path);
        EXPECT_EQ(control.Movie(), path);
        EXPECT_EQ(control.TotalFrames(), 0);
        EXPECT_EQ(control.CurrentFrame(), 0);
        EXPECT_FALSE(control.loadError().isEmpty());
        control.Play();
        control.GotoFrame(3);
        control.Forward();
        control.clockTick();
        EXPECT_EQ(control.CurrentFrame(), 0);
    }
    EXPECT_TRUE(prompt->messages.empty());
}

TEST_F(Control, PlayersOfOneFileShareOneParse) {
    PlayerControl other;
    control.Movie(movie);
    other.Movie(movie);
    ASSERT_NE(control.player(), nullptr);
    EXPECT_EQ(control.player()->moviePtr(), other.player()->moviePtr());
}

TEST_F(Control, DrawsTheStageWithItsOwnOrTheGivenBackground) {
    control.Movie(movie);
    control.Stop();
    // 200x100 stage in a 200x100 control: the square covers the top-left 20x20 pixels.
    EXPECT_EQ(pixel(10, 10), QColor(255, 0, 0));
    EXPECT_EQ(pixel(150, 60), QColor(0, 0, 255));
    control.BGColor(QStringLiteral("#00FF00"));
    EXPECT_EQ(pixel(150, 60), QColor(0, 255, 0));
    control.BGColor(QString());
    EXPECT_EQ(pixel(150, 60), QColor(0, 0, 255));
}

TEST_F(Control, ScaleAcceptsTheFourModesInAnyCase) {
    control.Scale(QStringLiteral("NoBorder"));
    EXPECT_EQ(control.scaleMode(), swf::ScaleMode::NoBorder);
    control.Scale(QStringLiteral("EXACTFIT"));
    EXPECT_EQ(control.scaleMode(), swf::ScaleMode::ExactFit);
    control.Scale(QStringLiteral("stretch"));
    EXPECT_EQ(control.scaleMode(), swf::ScaleMode::ExactFit);
    control.Scale(QStringLiteral("noscale"));
    EXPECT_EQ(control.scaleMode(), swf::ScaleMode::NoScale);
    control.Scale(QStringLiteral("ShowAll"));
    EXPECT_EQ(control.scaleMode(), swf::ScaleMode::ShowAll);
}

}  // namespace

// Keys, typed text, an input method's commit and the editing keys reach the movie's focused
// field; the keypad and ";" give the Flash codes to Key.getCode().
TEST_F(Control, TypingReachesTheMoviesInputField) {
    ASSERT_TRUE(testmovies::writeFile(movie, testmovies::inputFieldMovie()));
    control.Movie(movie);
    ASSERT_NE(control.player(), nullptr);
    std::string traced;
    control.player()->setTraceSink([&](std::string_view l) { (traced += l) += "\n"; });
    control.show();
    QTest::keyClicks(&control, "ab");
    EXPECT_EQ(traced, "code 65\nv=a\ncode 66\nv=ab\n");
    traced.clear();
    // The text being composed shows in the field, and the committed text takes its place.
    QInputMethodEvent composing(QStringLiteral("zhong"), {});
    QCoreApplication::sendEvent(&control, &composing);
    QInputMethodEvent ime;
    ime.setCommitString(QString::fromUtf8("中"));
    QCoreApplication::sendEvent(&control, &ime);
    EXPECT_EQ(traced, "v=ab中\n");
    traced.clear();
    QTest::keyClick(&control, Qt::Key_Backspace);
    QTest::keyClick(&control, Qt::Key_5, Qt::KeypadModifier);
    QTest::keyClick(&control, Qt::Key_Semicolon);
    EXPECT_EQ(traced, "code 8\nv=ab\ncode 101\nv=ab5\ncode 186\nv=ab5;\n");
    EXPECT_TRUE(control.testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(control.inputMethodQuery(Qt::ImCursorRectangle).toRect().isValid())
        << "the field's place is given for the candidate window";
}

namespace {

// Overlapping gradient rectangles that all move every frame: no tile of one frame serves the
// next, so each frame is drawn afresh and takes a while.
QByteArray shiftingGradients(int shapes, int frames) {
    namespace media = swftest::media;
    swftest::SwfBuilder b(8, 1280, 1024, 30);
    b.setBackground({255, 255, 255});
    for (int i = 0; i < shapes; ++i) {
        media::Fill f;
        f.type = i % 2 ? 0x12 : 0x10;
        const int w = 200 + i * 7 % 300, h = 150 + i * 13 % 300;
        const double s = std::max(w, h) * 20 / 32768.0;
        f.matrix = {s, s, 0, 0, w * 10, h * 10};
        for (int k = 0; k < 3; ++k)
            f.stops.push_back({uint8_t(k * 127),
                               {uint8_t(i * 37), uint8_t(i * 91 + k * 50), uint8_t(i * 53),
                                uint8_t(150 + k * 50)}});
        const uint16_t id = b.reserveId();
        b.rawTag(media::code::DefineShape3, media::rectBody(id, 3, 0, 0, w * 20, h * 20, f));
        b.place(id, i + 1, {1, 1, 0, 0, (i * 97 % 1100) * 20, (i * 61 % 900) * 20});
    }
    b.showFrame();
    for (int k = 1; k < frames; ++k) {
        for (int i = 0; i < shapes; ++i)
            b.move(i + 1,
                   {1, 1, 0, 0, ((i * 97 + k * 31) % 1100) * 20, ((i * 61 + k * 17) % 900) * 20});
        b.showFrame();
    }
    const auto bytes = b.bytes(swftest::Compression::None);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace

// Frames are drawn on a drawing thread: the window's events go on while a slow frame is drawn,
// what is asked for meanwhile ends in one drawing of the newest state, and the frame shown is
// the one a single thread draws.
TEST_F(Control, DrawsOffTheGuiThreadTheNewestStateAsOneThreadDoes) {
    ASSERT_TRUE(testmovies::writeFile(movie, shiftingGradients(400, 4)));
    control.resize(1280, 1024);
    control.show();
    control.Movie(movie);
    control.Stop();
    control.waitForFrame();
    int shown = control.framesShown();

    int eventsWhileDrawing = 0;
    QTimer events;
    events.setInterval(0);
    QObject::connect(&events, &QTimer::timeout, [&] {
        if (control.drawingUnderWay()) ++eventsWhileDrawing;
    });
    events.start();
    for (int f = 1; f <= 3; ++f) {
        control.GotoFrame(f);
        ASSERT_TRUE(QTest::qWaitFor([&] { return control.framesShown() > shown; }, 30000));
        EXPECT_EQ(control.framesShown(), shown + 1) << "one frame asked for, one drawn";
        shown = control.framesShown();
    }
    events.stop();
    EXPECT_GT(eventsWhileDrawing, 0) << "the event loop ran while frames were drawn";

    // Two changes while a drawing is under way: one more drawing, of the newest. A command
    // given meanwhile does not wait for the drawing; a question after it sees what it did.
    control.GotoFrame(2);
    QCoreApplication::sendPostedEvents(&control, QEvent::MetaCall);  // the drawing starts
    ASSERT_TRUE(control.drawingUnderWay());
    control.GotoFrame(1);
    EXPECT_TRUE(control.drawingUnderWay()) << "the command was held, not waited for";
    EXPECT_EQ(control.CurrentFrame(), 1);
    control.GotoFrame(2);
    QCoreApplication::sendPostedEvents(&control, QEvent::MetaCall);
    ASSERT_TRUE(control.drawingUnderWay());
    shown = control.framesShown();
    control.BGColor(QStringLiteral("#FF0000"));
    control.BGColor(QStringLiteral("#00FF00"));
    control.waitForFrame();
    EXPECT_EQ(control.framesShown(), shown + 2);

    swf::setRenderThreads(1);
    swf::Player one(control.player()->moviePtr());
    one.gotoFrame(2);
    QImage direct(control.size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&direct);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        one.render(painter, direct.rect(), swf::ScaleMode::ShowAll, QColor(0, 255, 0));
    }
    swf::setRenderThreads(0);
    EXPECT_TRUE(control.grab().toImage().convertToFormat(QImage::Format_RGB32) ==
                direct.convertToFormat(QImage::Format_RGB32));
}
