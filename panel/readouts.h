#pragma once
// The panel's arithmetic that needs no widget: the time read-out, the slider's thumb place and
// seek frame, the frame-step read-outs and where the docked windows stand.

#include <QPoint>
#include <QRect>
#include <QString>

namespace lanfeng {

// Frames shown as time, at a fixed 780 frames a minute whatever the movie's rate.
inline constexpr int kFramesPerMinute = 780;

// "MM:SS" of a frame count: minutes by integer division, seconds from the fractional minute
// in floating point, truncated; numbers below 10 get a leading "0".
QString minutesSeconds(int frames);
// "播放" total "仅供" CR "时间" current "参考": two centred lines whose side words read down
// the columns as 播放时间 / 仅供参考.
QString timeReadout(int totalFrames, int currentFrame);

struct SliderTrack {
    int left = 21;
    int width = 268;
    int thumbWidth = 33;
    int travel() const { return width - thumbWidth; }
};

// The thumb's left edge kept on the track.
int clampThumbLeft(int thumbLeft, const SliderTrack& track);
// The frame a thumb position stands for: total × offset div travel, product first.
int seekFrame(int totalFrames, int thumbLeft, const SliderTrack& track);
// Where the thumb stands for a frame; at the track's start when the movie has no frames.
int thumbLeftForFrame(int currentFrame, int totalFrames, const SliderTrack& track);

// The frame read-out after a step back or forward; an empty read-out (no movie) stays empty.
QString stepBackReadout(const QString& readout);
QString stepForwardReadout(const QString& readout, int totalFrames);

// The docked places of the playlist (below the panel, its left edge on the panel's) and of the
// video window (right of the panel, top-aligned) for a panel standing at panel.
struct DockedPlaces {
    QPoint playlist;
    QPoint video;
};
DockedPlaces dockedPlaces(const QRect& panel);

}  // namespace lanfeng
