#pragma once
// Plays one player's sound on the system's default audio device through Qt Multimedia. The
// device pulls the mix as it needs it, so the sound runs on the device's clock. Without a
// device nothing is played and the control keeps the sound moving on its frame clock.

#include <QIODevice>
#include <QObject>
#include <cstddef>
#include <memory>

class QAudioSink;

namespace swf {
class Player;
}

class AudioOutput : public QObject {
    Q_OBJECT
public:
    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;

    // Starts pulling from player (null: stops). The player must outlive its use here.
    void setPlayer(swf::Player* player);
    // True while a device plays this output.
    bool live() const;
    // Frames of the mix pulled from the player that the device has not played yet: the sound
    // heard is this far behind the mix position. 0 without a device.
    size_t unplayedFrames() const;
    // Muted outputs still pull the mix (so the sound keeps its place) but play silence.
    void setMuted(bool muted) { source_.muted = muted; }

private:
    class Source : public QIODevice {
    public:
        swf::Player* player = nullptr;
        bool muted = false;
        qint64 mixedFrames = 0;  // pulled since the sink started
        bool isSequential() const override { return true; }
        qint64 bytesAvailable() const override { return 1 << 20; }

    protected:
        qint64 readData(char* data, qint64 maxlen) override;
        qint64 writeData(const char*, qint64) override { return -1; }
    };

    Source source_;
    std::unique_ptr<QAudioSink> sink_;
};
