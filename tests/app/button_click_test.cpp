// A movie that stops on its first frame and plays on when its button is clicked: a real mouse
// click on the PlayerControl reaches the button's on (release) { play(); }.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "player/player_control.h"
#include "test_movies.h"

namespace {

// 200x100 stage; frame 1: stop(), a green button at (50,25)-(150,75) px whose on (release)
// plays; frames 2 and 3 follow.
QByteArray stopAndButton() {
    swftest::SwfBuilder b(6, 200, 100);
    b.setBackground({0, 0, 255});
    const uint16_t rect = b.defineRect(1000, 500, 2000, 1000, {0, 255, 0});
    swftest::ButtonDesc button;
    button.records.push_back({true, true, true, true, rect, 1, {}});
    swftest::ActionWriter play;
    play.play();
    button.actions.push_back({0x08, play.bytes()});  // CondOverDownToOverUp: release
    const uint16_t id = b.defineButton2(button);
    b.place(id, 1);
    swftest::ActionWriter stop;
    stop.stop();
    b.doAction(stop);
    b.showFrame();
    b.showFrame();
    b.showFrame();
    const auto bytes = b.bytes(swftest::Compression::Zlib);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// 100x100 stage: frame 1 stops the root and holds a sprite that shows red, then green.
QByteArray stoppedRootWithAnimatedClip() {
    swftest::SwfBuilder b(6, 100, 100);
    const uint16_t red = b.defineRect(0, 0, 2000, 2000, {255, 0, 0});
    const uint16_t green = b.defineRect(0, 0, 2000, 2000, {0, 255, 0});
    swftest::SpriteBuilder clip;
    clip.place(red, 1);
    clip.showFrame();
    clip.replace(green, 1);
    clip.showFrame();
    b.place(b.defineSprite(clip), 1);
    swftest::ActionWriter stop;
    stop.stop();
    b.doAction(stop);
    b.showFrame();
    b.showFrame();
    const auto bytes = b.bytes(swftest::Compression::Zlib);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace

TEST(ButtonClick, ReleaseOnTheButtonPlaysTheStoppedMovie) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + "/button.swf";
    ASSERT_TRUE(testmovies::writeFile(path, stopAndButton()));
    PlayerControl control;
    control.resize(400, 200);  // twice the stage: clicks are mapped back through the scale
    control.show();
    control.Movie(path);
    ASSERT_EQ(control.TotalFrames(), 3);
    EXPECT_FALSE(control.isPlaying()) << "the first frame's stop()";
    control.clockTick();
    EXPECT_EQ(control.CurrentFrame(), 0);

    // A click beside the button does nothing.
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(control.isPlaying());

    // On the button (stage 100,50 is widget 200,100): press, then release plays.
    QTest::mousePress(&control, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_FALSE(control.isPlaying()) << "press alone";
    QTest::mouseRelease(&control, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_TRUE(control.isPlaying());
    control.clockTick();
    EXPECT_GT(control.CurrentFrame(), 0) << "the movie moved on";
}

// A script's stop() halts the root timeline only: its clips play on, until the user stops.
TEST(ButtonClick, ClipsPlayOnUnderAStoppedRootUntilTheUserStops) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + "/clip.swf";
    ASSERT_TRUE(testmovies::writeFile(path, stoppedRootWithAnimatedClip()));
    PlayerControl control;
    control.resize(100, 100);
    control.show();
    control.Movie(path);
    ASSERT_FALSE(control.isPlaying());
    const auto centre = [&] {
        control.waitForFrame();
        return control.grab().toImage().pixelColor(50, 50);
    };
    EXPECT_EQ(centre().red(), 255);
    control.clockTick();
    EXPECT_EQ(control.CurrentFrame(), 0) << "the root stays where the script stopped it";
    EXPECT_EQ(centre().green(), 255) << "the clip moved on";
    control.clockTick();
    EXPECT_EQ(centre().red(), 255) << "and loops";

    control.Stop();
    control.clockTick();
    EXPECT_EQ(centre().red(), 255) << "the user's stop holds everything";
}
