#include "player/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <span>

#include "engine/player.h"

Q_LOGGING_CATEGORY(lcAudio, "lanfeng.audio")

namespace {
// About a tenth of a second queued at the device: short enough for pictures to keep step.
constexpr qsizetype kBufferBytes = 44100 / 10 * 4;

QAudioFormat mixFormat() {
    QAudioFormat f;
    f.setSampleRate(44100);
    f.setChannelCount(2);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}
}  // namespace

AudioOutput::AudioOutput(QObject* parent) : QObject(parent) { source_.open(QIODevice::ReadOnly); }

AudioOutput::~AudioOutput() {
    if (sink_) sink_->stop();
}

qint64 AudioOutput::Source::readData(char* data, qint64 maxlen) {
    const qint64 frames = maxlen / 4;
    auto* samples = reinterpret_cast<int16_t*>(data);
    const std::span<int16_t> out(samples, size_t(frames) * 2);
    if (player)
        player->mixAudio(out);
    else
        std::fill(out.begin(), out.end(), int16_t(0));
    if (muted) std::fill(out.begin(), out.end(), int16_t(0));
    mixedFrames += frames;
    return frames * 4;
}

void AudioOutput::setPlayer(swf::Player* player) {
    if (sink_) sink_->stop();
    source_.player = player;
    if (!player) return;
    if (!sink_) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        const QAudioFormat format = mixFormat();
        if (device.isNull() || !device.isFormatSupported(format)) {
            // Said once per run: a machine without sound plays every movie silently.
            static bool told = false;
            if (!told) {
                told = true;
                qCInfo(lcAudio) << "no audio output device: movies play without sound";
            }
            return;
        }
        sink_ = std::make_unique<QAudioSink>(device, format);
        sink_->setBufferSize(kBufferBytes);
    }
    source_.mixedFrames = 0;
    sink_->start(&source_);
    if (sink_->error() != QAudio::NoError) {
        qCInfo(lcAudio) << "audio output failed to start:" << sink_->error();
        sink_.reset();
    }
}

bool AudioOutput::live() const {
    return sink_ && source_.player && sink_->error() == QAudio::NoError &&
           sink_->state() != QAudio::StoppedState;
}

size_t AudioOutput::unplayedFrames() const {
    if (!live()) return 0;
    const qint64 mixed = source_.mixedFrames;
    // Backends count "processed" either as handed over or as played; what the sink still holds
    // is certainly unheard, so the earlier of the two readings is the one heard.
    const qint64 processed = sink_->processedUSecs() * 44100 / 1'000'000;
    const qint64 held = std::max<qint64>(0, sink_->bufferSize() - sink_->bytesFree()) / 4;
    const qint64 played = std::min(processed, mixed - held);
    return size_t(std::clamp<qint64>(mixed - played, 0, 44100));
}
