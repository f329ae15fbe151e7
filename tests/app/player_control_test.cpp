#include "player/player_control.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QInputMethodEvent>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <thread>

#include "test_movies.h"
#include "tests/app/input_movie.h"
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
    QColor pixel(int x, int y) { return control.grab().toImage().pixelColor(x, y); }

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
