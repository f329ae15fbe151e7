#pragma once
// A movie's sounds and video streams, indexed from its tag stream on first use and decoded on
// first play. Shared by every player of the movie; safe to use from several threads.

#include <QImage>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/format/sound.h"
#include "engine/format/video.h"
#include "engine/media/audio_decode.h"
#include "engine/runtime/basics.h"

namespace swf {
class Movie;
namespace format {
struct Tag;
}
}  // namespace swf

namespace swf::media {

class VideoDecoder;

struct SoundEvent {
    uint16_t soundId = 0;
    format::SoundInfo info;
};

using swf::ButtonTransition;

// Decoded sound one movie may hold, every sound and stream together: each is capped in length,
// but a movie of many long sounds would otherwise decode without end.
constexpr size_t kSoundBudgetBytes = size_t(256) << 20;

// What is left of a movie's sound budget. A decode reserves the most it may produce and gives
// back what it did not use, so decodes on several threads never overspend together.
class SoundBudget {
public:
    explicit SoundBudget(size_t bytes) : left_(bytes) {}
    // Frames the next decode may produce (at most kMaxSoundFrames); 0 once spent, with one log
    // line.
    size_t reserve();
    // Returns the unused part of a reservation of `reserved` frames.
    void settle(size_t reserved, const PcmBuffer& decoded);

private:
    std::atomic<size_t> left_;  // bytes not yet decoded or reserved; only reserve/settle change it
    std::atomic<bool> reported_{false};  // the spent budget was logged once
};

// A timeline's stream sound: one block per frame, decoded as one piece.
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

// The sound of one timeline (the root's or a sprite's): StartSound tags by frame and the
// stream sound, decoded on first use.
struct TimelineSound {
    SoundBudget* budget = nullptr;                // the movie's; set when the timeline is scanned
    std::vector<std::vector<SoundEvent>> events;  // by frame
    std::optional<StreamSound> stream;
    mutable std::once_flag streamOnce;
    mutable PcmBuffer streamPcm;

    std::span<const SoundEvent> eventsAt(int frame) const;
    const PcmBuffer& pcm() const;  // the stream decoded (empty without one)
};

class MovieMedia {
public:
    explicit MovieMedia(const Movie& movie);
    ~MovieMedia();

    // The decoded sound, or null when id names no DefineSound.
    const PcmBuffer* sound(uint16_t id) const;
    // StartSound and StartSound2 tags of root frame f.
    std::span<const SoundEvent> eventsAt(int frame) const { return root_.eventsAt(frame); }

    const StreamSound* stream() const { return root_.stream ? &*root_.stream : nullptr; }
    bool hasSound() const { return root_.stream || !sounds_.empty(); }
    const PcmBuffer& streamPcm() const { return root_.pcm(); }  // decoded on first call

    // A sprite's own sounds, or null when its timeline has none.
    const TimelineSound* spriteSound(uint16_t spriteId) const;
    bool hasSpriteSound() const { return !sprites_.empty(); }
    // The sound DefineButtonSound gives a button's state change, or null.
    const SoundEvent* buttonSound(uint16_t buttonId, ButtonTransition t) const;
    // The sound exported (ExportAssets) or linked to a class (SymbolClass) under name; 0 if none.
    uint16_t soundNamed(const std::string& name) const;

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

    struct Pending {
        TimelineSound* timeline;
        int frame;
        std::string className;
        format::SoundInfo info;
    };

    void scan(const Movie& movie);
    // Reads one timeline's tags; definitions are taken only at the root.
    void scanTimeline(const Movie& movie, std::span<const uint8_t> tags, TimelineSound& out,
                      int frameCount, bool root, std::vector<Pending>& pending);
    void rootTag(const Movie& movie, const format::Tag& tag, std::vector<Pending>& pending);
    void readNames(std::span<const uint8_t> body);

    mutable SoundBudget budget_{kSoundBudgetBytes};  // every decode of this movie draws on it
    std::unordered_map<uint16_t, std::unique_ptr<SoundEntry>> sounds_;
    TimelineSound root_;
    std::unordered_map<uint16_t, std::unique_ptr<TimelineSound>> sprites_;
    std::unordered_map<uint16_t, std::array<std::optional<SoundEvent>, 4>> buttons_;
    std::unordered_map<std::string, uint16_t> names_;
    std::unordered_map<uint16_t, std::unique_ptr<VideoEntry>> videos_;
};

// Indexed on the first call for this movie.
const MovieMedia& mediaOf(const Movie& movie);

}  // namespace swf::media
