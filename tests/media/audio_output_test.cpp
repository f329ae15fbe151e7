// Plays a 440 Hz tone movie through a real PulseAudio daemon started here with a null sink,
// records the sink's monitor with parec and finds the tone in the recording.

#include "player/audio_output.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "engine/player.h"
#include "player/player_control.h"
#include "tests/media/media_fixture.h"

namespace {

using namespace mediatest;

// A private sound server in its own runtime folder; stopped (by its own process id) at the end.
class PulseServer {
public:
    explicit PulseServer(const QString& dir) : dir_(dir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", dir);
        env.insert("HOME", dir);
        daemon_.setProcessEnvironment(env);
        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        daemon_.start(LANFENG_PULSEAUDIO,
                      {"--daemonize=no", "--exit-idle-time=-1", "--system=false", "-n",
                       "--disable-shm=yes", "--load=module-null-sink sink_name=null",
                       "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket(),
                       "--log-target=stderr"});
    }
    ~PulseServer() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(3000)) daemon_.kill();
        daemon_.waitForFinished(1000);
    }
    QString socket() const { return dir_ + "/native"; }
    QString server() const { return "unix:" + socket(); }
    QString log() { return QString::fromLocal8Bit(daemon_.readAll()); }

    // True once clients can connect.
    bool waitReady() {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            if (daemon_.state() == QProcess::NotRunning) return false;
            QProcess info;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("PULSE_SERVER", server());
            info.setProcessEnvironment(env);
            info.start(LANFENG_PACTL, {"info"});
            if (info.waitForFinished(3000) && info.exitCode() == 0) return true;
            QTest::qWait(100);
        }
        return false;
    }

private:
    QString dir_;
    QProcess daemon_;
};

TEST(AudioOutput, ToneReachesTheSoundServerAt440Hz) {
    if (QString(LANFENG_PULSEAUDIO).isEmpty() || QString(LANFENG_PAREC).isEmpty())
        GTEST_SKIP() << "pulseaudio or parec was not found at configure time "
                        "(Debian: pulseaudio pulseaudio-utils)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PulseServer server(dir.path());
    ASSERT_TRUE(server.waitReady()) << server.log().toStdString();
    // The program's audio goes to this server; set before Qt's audio backend connects.
    qputenv("PULSE_SERVER", server.server().toLocal8Bit());

    // Four seconds of the tone as one event sound, 16-bit mono at 44.1 kHz.
    const auto tone = sine(440, 44100, 44100 * 4);
    SoundSpec s{3, 3, true, false, uint32_t(tone.size()), bytesOf(tone)};
    const QString movie = dir.path() + "/tone.swf";
    {
        const auto bytes = eventMovie(s, {}, 40);
        QFile f(movie);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }

    const QString recording = dir.path() + "/rec.raw";
    QProcess parec;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", server.server());
    parec.setProcessEnvironment(env);
    parec.setStandardOutputFile(recording);
    parec.start(LANFENG_PAREC, {"-d", "null.monitor", "--format=s16le", "--rate=44100",
                                "--channels=2", "--raw", "--latency-msec=50"});
    ASSERT_TRUE(parec.waitForStarted(5000));
    // Recording has begun once the monitor's first bytes are in the file.
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(recording).size() == 0 && waited.elapsed() < 10000) QTest::qWait(50);
    ASSERT_GT(QFileInfo(recording).size(), 0) << "parec recorded nothing";

    PlayerControl control;
    control.resize(100, 100);
    control.show();
    control.setMovie(movie);
    ASSERT_TRUE(control.player());
    QTest::qWait(2500);
    control.Stop();

    // The device's queue: some of what was mixed is not yet heard, but never seconds of it.
    {
        swf::Player player(swf::loadMovieFile(movie.toStdString()));
        AudioOutput out;
        out.setPlayer(&player);
        QTest::qWait(800);
        ASSERT_TRUE(out.live());
        EXPECT_GT(out.unplayedFrames(), 0u);
        EXPECT_LT(out.unplayedFrames(), 44100u / 2);
        out.setPlayer(nullptr);
    }
    QTest::qWait(300);
    parec.terminate();
    parec.waitForFinished(3000);

    QFile rec(recording);
    ASSERT_TRUE(rec.open(QIODevice::ReadOnly));
    const QByteArray raw = rec.readAll();
    std::vector<int16_t> samples(size_t(raw.size()) / 2);
    if (!samples.empty()) std::memcpy(samples.data(), raw.constData(), samples.size() * 2);
    // The tone's part of the recording: from its first loud sample, one second on.
    size_t start = 0;
    while (start < samples.size() && std::abs(int(samples[start])) < 3000) ++start;
    ASSERT_LT(start + 44100 * 2, samples.size())
        << "recorded " << samples.size() / 2 << " frames, tone at " << start / 2 << ", peak "
        << peak(samples);
    const size_t from = start / 2 + 2205;
    EXPECT_NEAR(frequencyOf(samples, 0, from, from + 44100), 440, 440 * 0.02);
    EXPECT_NEAR(frequencyOf(samples, 1, from, from + 44100), 440, 440 * 0.02);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
