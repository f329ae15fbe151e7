#pragma once
// The engine's public face: load a movie once, run any number of players on it.
// Everything the windows and lanfeng-cli need goes through this header.

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/runtime/basics.h"
#include "engine/runtime/input_event.h"

class QPainter;

namespace swf {

class Movie;
class PlayerState;
struct DisplayList;

// Threads that share out the drawing of a frame (all players), the drawing thread included;
// 0: one per core. Frames come out the same whatever the count.
void setRenderThreads(int threads);

// Where a player keeps what its movie stores for later (local shared objects).
struct PlayerStorage {
    std::string sharedObjectFolder;  // the user's folder for them; empty: kept in memory only
    std::string movieKey;            // names the movie's own folder there (its file's path)
};

// One running instance of a movie: root timeline, display list, later scripts and sound.
class Player {
public:
    // The storage is in place before the first frame's scripts run.
    explicit Player(std::shared_ptr<const Movie> movie, PlayerStorage storage = {});
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    const Movie& movie() const { return *movie_; }
    std::shared_ptr<const Movie> moviePtr() const { return movie_; }
    const MovieInfo& info() const;

    // One tick of the movie's clock: when playing, the next frame (the first after the last).
    void advanceFrame();
    void play();
    void stop();
    bool isPlaying() const;
    void back();                // one frame back and stop; nothing at frame 0
    void forward();             // one frame on and stop; nothing at the last frame
    void rewind();              // frame 0 and stop
    void gotoFrame(int frame);  // clamped into [0, totalFrames-1]; keeps the play state
    int currentFrame() const;   // 0-based
    int totalFrames() const;    // the header's frame count (at least 1 for a loaded movie)

    // Draws the stage into viewport. bg overrides the movie's background when set.
    void render(QPainter& painter, const QRect& viewport, ScaleMode mode,
                std::optional<QColor> bg = std::nullopt) const;

    void setTraceSink(std::function<void(std::string_view)> sink);
    // Shared objects opened after this call live there (see PlayerStorage).
    void setSharedObjectFolder(std::string folder, std::string movieKey = {});
    // The movie sent FSCommand quit. Only a headless runner acts on it.
    bool quitRequested() const;

    void setQuality(Quality quality);
    Quality quality() const;

    // The root timeline's objects by depth (engine/runtime/display_list.h), for tests and tools.
    const DisplayList& displayList() const;

    // Sound: the next out.size()/2 frames of this player's mix, 44.1 kHz interleaved stereo.
    // Silent after stop() until play(); the stream sound moves only while the timeline does.
    void mixAudio(std::span<int16_t> out);
    void setVolume(double volume);  // 0..1
    double volume() const;
    // While a stream sound plays, the frame its position belongs to: the timeline follows it.
    // lag: frames of the mix the device holds unplayed (the position heard is that much earlier).
    std::optional<int> soundClockFrame(size_t lag = 0) const;
    // A button of the movie changed state: its sound for that change (if any) starts.
    void buttonSound(uint16_t buttonId, ButtonTransition transition);
    bool hasSound() const;  // the movie defines any sound or stream sound

    // The user's mouse, keys, typing, editing, clipboard and window focus (engine/runtime/
    // input_event.h): buttons, clip events, listeners and the focused text field hear it.
    void handleEvent(const InputEvent& event);
    // The clipboard text fields copy to (what a copy or cut in the movie left there).
    std::string clipboard() const;
    // The stage point under a point of a viewport drawn with mode (render's mapping reversed).
    QPointF stagePoint(const QRect& viewport, ScaleMode mode, const QPointF& at) const;
    // The focused text field's box in viewport pixels, for an input method's candidate window.
    std::optional<QRectF> textInputRect(const QRect& viewport, ScaleMode mode) const;
    // Something that takes clicks is under the mouse (a hand cursor's cue).
    bool mouseOverButton() const;

private:
    std::shared_ptr<const Movie> movie_;
    std::unique_ptr<PlayerState> state_;
};

}  // namespace swf
