#pragma once
// A movie's sounds and video streams, indexed from its tag stream on first use and decoded on
// first play. Shared by every player of the movie; safe to use from several threads.

#include <QImage>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "engine/format/sound.h"
#include "engine/format/video.h"
#include "engine/media/audio_decode.h"

namespace swf {
class Movie;
}

namespace swf::media {

class VideoDecoder;

struct SoundEvent {
    uint16_t soundId = 0;
    format::SoundInfo info;
};

// The root timeline's stream sound: one block per frame, decoded as one piece.
struct StreamSound {
    format::SoundStreamHead head;
    int firstFrame = -1;  // frames holding blocks
    int lastFrame = -1;
    double fps = 12;
    std::vector<std::span<const uint8_t>> blocks;  // in file order

    // Where frame f's sound starts in the decoded stream (44.1 kHz frames).
    size_t sampleAt(int f) const;
    // The frame a position of the decoded stream belongs to.
    int frameAt(size_t sample) const;
};

class MovieMedia {
public:
    explicit MovieMedia(const Movie& movie);
    ~MovieMedia();

    // The decoded sound, or null when id names no DefineSound.
    const PcmBuffer* sound(uint16_t id) const;
    // StartSound tags of root frame f.
    std::span<const SoundEvent> eventsAt(int frame) const;

    const StreamSound* stream() const { return stream_ ? &*stream_ : nullptr; }
    bool hasSound() const { return stream_ || !sounds_.empty(); }
    const PcmBuffer& streamPcm() const;  // decoded on first call

    bool hasVideo(uint16_t id) const { return videos_.contains(id); }
    const format::DefineVideoStream* video(uint16_t id) const;
    // The picture of video frame n (the latest frame at or before n), ARGB32 premultiplied at
    // the coded size; null when nothing can be shown.
    QImage videoFrame(uint16_t id, int n) const;

private:
    struct SoundEntry {
        format::DefineSound def;
        mutable std::once_flag once;
        mutable PcmBuffer pcm;
    };
    struct VideoEntry {
        format::DefineVideoStream def;
        std::map<uint16_t, std::span<const uint8_t>> frames;
        mutable std::mutex lock;
        mutable std::unique_ptr<VideoDecoder> decoder;
    };

    void scan(const Movie& movie);

    std::unordered_map<uint16_t, std::unique_ptr<SoundEntry>> sounds_;
    std::vector<std::vector<SoundEvent>> events_;
    std::optional<StreamSound> stream_;
    mutable std::once_flag streamOnce_;
    mutable PcmBuffer streamPcm_;
    std::unordered_map<uint16_t, std::unique_ptr<VideoEntry>> videos_;
};

// Indexed on the first call for this movie.
const MovieMedia& mediaOf(const Movie& movie);

}  // namespace swf::media
