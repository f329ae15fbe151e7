#include "panel/readouts.h"

#include <algorithm>
#include <cmath>

namespace lanfeng {

namespace {
QString twoDigits(long long n) {
    return n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
}
}  // namespace

QString minutesSeconds(int frames) {
    frames = std::max(frames, 0);
    const long long minutes = frames / kFramesPerMinute;
    // Extended precision, as the read-out has always been computed: at a whole second past the
    // first minute the product can fall just short and show the second before.
    const long double minutesExact = static_cast<long double>(frames) / kFramesPerMinute;
    const long double fraction = minutesExact - std::trunc(minutesExact);
    const long long seconds = static_cast<long long>(fraction * 60);
    return twoDigits(minutes) + QLatin1Char(':') + twoDigits(seconds);
}

QString timeReadout(int totalFrames, int currentFrame) {
    return QStringLiteral("播放") + minutesSeconds(totalFrames) + QStringLiteral("仅供") +
           QChar(13) + QStringLiteral("时间") + minutesSeconds(currentFrame) +
           QStringLiteral("参考");
}

int clampThumbLeft(int thumbLeft, const SliderTrack& track) {
    if (thumbLeft <= track.left) return track.left;
    if (thumbLeft >= track.left + track.travel()) return track.left + track.travel();
    return thumbLeft;
}

int seekFrame(int totalFrames, int thumbLeft, const SliderTrack& track) {
    if (track.travel() <= 0) return 0;
    // 64 bits: a long movie times the offset overflows 32.
    return static_cast<int>(static_cast<long long>(totalFrames) * (thumbLeft - track.left) /
                            track.travel());
}

int thumbLeftForFrame(int currentFrame, int totalFrames, const SliderTrack& track) {
    if (totalFrames <= 0) return track.left;
    return track.left +
           static_cast<int>(static_cast<long long>(currentFrame) * track.travel() / totalFrames);
}

QString stepBackReadout(const QString& readout) {
    if (readout.isEmpty()) return readout;
    const int value = readout.toInt() - 1;
    return value <= 1 ? QStringLiteral("1") : QString::number(value);
}

QString stepForwardReadout(const QString& readout, int totalFrames) {
    if (readout.isEmpty()) return readout;
    const int value = readout.toInt() + 1;
    return value >= totalFrames ? QString::number(totalFrames) : QString::number(value);
}

DockedPlaces dockedPlaces(const QRect& panel) {
    return {{panel.x(), panel.y() + panel.height()}, {panel.x() + panel.width(), panel.y()}};
}

}  // namespace lanfeng
