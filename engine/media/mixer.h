#pragma once
// One player's sound: event sound channels and the stream sound, mixed to 44.1 kHz stereo.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "engine/format/sound.h"

namespace swf {
class Movie;
struct DisplayList;
struct SpriteState;
enum class ButtonTransition : uint8_t;
}  // namespace swf

namespace swf::media {

class MovieMedia;
struct PcmBuffer;
struct TimelineSound;

class SoundMixer {
public:
    explicit SoundMixer(const Movie& movie);

    // The timeline entered frame f: its StartSound tags run, and the stream starts there.
    // jumped: reached by a seek rather than by playing on, so the stream moves to f's sample.
    void frameEntered(int frame, bool jumped);

    // The display list after an operation: sprite instances that entered a frame since the
    // last look start that frame's sounds, and their stream sounds follow their timelines.
    void spritesChanged(const DisplayList& list);

    // A button changed state: its DefineButtonSound sound for that change, if any, starts.
    void buttonChanged(uint16_t buttonId, ButtonTransition transition);

    // Adds the next out.size()/2 frames into nothing: out is overwritten with the mix.
    // timelinePlaying: the stream only moves while its timeline does.
    void mix(std::span<int16_t> out, bool timelinePlaying);

    // The frame the stream's position belongs to, while a stream sound is playing. lag: mixed
    // frames the device has not played yet; the position heard is that much earlier.
    std::optional<int> streamFrame(size_t lag = 0) const;

    void setVolume(double v);
    double volume() const { return volume_; }
    // Paused: silent, and nothing moves on (the control's Stop; Play resumes).
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }
    void stopAll();
    size_t channelCount() const { return channels_.size(); }

    // Sounds scripts start (Sound.start, loadSound, a NetStream's audio) are heard through the
    // mix of their owner (a timeline's sound settings; 0 is the movie's own) and then through
    // the movie's own mix, which every sound of the movie goes through.
    // Gains: left from left, left to right, right from right, right to left (ll lr rr rl).
    using Gains = std::array<float, 4>;
    static constexpr Gains kUnity{1, 0, 1, 0};
    // Returns the channel's handle (0: nothing to play). id names the library sound (0: none).
    uint64_t startScriptSound(std::shared_ptr<const PcmBuffer> pcm, uint16_t id, uintptr_t owner,
                              size_t offsetFrames, int loops);
    // The library sound of this id, as the movie holds it.
    std::shared_ptr<const PcmBuffer> librarySound(uint16_t id) const;
    // Ends the owner's sounds of that id, or all of them; owner 0 ends the movie's sounds of
    // any owner, timeline sounds too.
    void stopSounds(uintptr_t owner, std::optional<uint16_t> id);
    void setGains(uintptr_t owner, const Gains& g);
    // A stream's audio keeps its pictures' time: held, moved, or let go.
    void holdChannel(uint64_t handle, bool held);
    void moveChannel(uint64_t handle, size_t frame);
    void endChannel(uint64_t handle);
    bool channelPlaying(uint64_t handle) const;
    bool hasSound() const;

    static constexpr size_t kMaxChannels = 32;

private:
    struct Channel {
        uint16_t soundId = 0;
        const PcmBuffer* pcm = nullptr;
        size_t start = 0, end = 0;  // frames of pcm played per loop
        size_t pos = 0;             // next frame of pcm
        int loopsLeft = 1;
        size_t elapsed = 0;  // frames played since the start, across loops
        std::vector<format::EnvelopePoint> envelope;
        std::shared_ptr<const PcmBuffer> owned;  // keeps a script's sound alive while heard
        uintptr_t owner = 0;                     // whose mix it goes through (0: the movie's)
        uint64_t handle = 0;                     // script sounds: how scripts name it
        bool held = false;                       // a paused stream's audio: silent, not moving
    };

    // A sprite instance with sound of its own, as last seen.
    struct SpriteSound {
        uint16_t spriteId = 0;
        int depth = 0, placedAt = 0;  // with the state's address, which instance this is
        const TimelineSound* sound = nullptr;
        int frame = 0;
        bool playing = true;
        bool streamActive = false;
        size_t streamPos = 0;
    };

    void startSound(uint16_t id, const format::SoundInfo& info, uintptr_t owner = 0);
    void walkSprites(const DisplayList& list,
                     std::unordered_map<const SpriteState*, SpriteSound>& now, int nesting,
                     uintptr_t parent);
    void mixStream(const PcmBuffer& pcm, size_t& pos, size_t frames, const Gains& g, float vol);
    // An owner's mix through its clip and every clip holding it (not the movie's own).
    Gains chainGains(uintptr_t owner) const;
    bool clipMixes() const { return gains_.size() > gains_.count(0); }
    static void gains(const Channel& c, size_t at, float& left, float& right);

    const MovieMedia& media_;
    std::vector<Channel> channels_;
    std::vector<int32_t> acc_;
    bool streamActive_ = false;
    size_t streamPos_ = 0;
    size_t streamStart_ = 0;  // where the stream last (re)started
    double volume_ = 1.0;
    bool paused_ = false;
    // Keyed by the instance's state, which lives as long as the instance does.
    std::unordered_map<const SpriteState*, SpriteSound> sprites_;
    std::map<uintptr_t, Gains> gains_;  // owners' mixes set by scripts (0: the movie's own)
    // Each clip's parent (by display list address, the root's 0) while clips have mixes.
    std::unordered_map<uintptr_t, uintptr_t> parents_;
    uint64_t nextHandle_ = 0;
    Channel* channel(uint64_t handle);
};

}  // namespace swf::media
