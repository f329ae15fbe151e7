#pragma once
// The engine's public face: load a movie once, run any number of players on it.
// Everything the windows and lanfeng-cli need goes through this header.

#include <QColor>
#include <QPointF>
#include <QRect>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

class QPainter;

namespace swf {

class Movie;
class PlayerState;
struct DisplayList;

// Thrown by loading; what() is one line a user can read.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ScaleMode { ShowAll, NoBorder, ExactFit, NoScale };

// The stage quality: High draws anti-aliased edges and smoothed bitmaps, Low draws hard edges.
enum class Quality { Low, High };

// "showall", "NoBorder", ... in any letter case; nullopt for anything else.
std::optional<ScaleMode> parseScaleMode(std::string_view name);

// What the header and the tag stream declare; filled while parsing.
struct MovieInfo {
    char signature[4] = {0, 0, 0, 0};  // "FWS", "CWS" or "ZWS"
    int version = 0;
    uint32_t length = 0;   // uncompressed length the header declares
    size_t fileBytes = 0;  // the file as read (compressed when it is)
    int stageXMin = 0, stageYMin = 0, stageXMax = 0, stageYMax = 0;  // twips
    double frameRate = 0;  // frames per second (8.8 fixed in the file)
    int frameCount = 0;    // header's frame count
    std::optional<QColor> background;
    std::map<std::string, int> tagCounts;  // tag name ("ShowFrame", "Unknown(99)") -> count
    int skippedTags = 0;                   // tags read over without being understood
    bool truncated = false;                // the tag stream ended early and was cut cleanly

    int widthPixels() const { return (stageXMax - stageXMin) / 20; }
    int heightPixels() const { return (stageYMax - stageYMin) / 20; }
};

// Parses a whole file image. Throws LoadError for anything that is not a playable SWF.
std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes);
std::shared_ptr<const Movie> loadMovieFile(const std::string& path);
// As loadMovie(bytes); files the movie imports (ImportAssets) are read from baseDir.
std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const std::string& baseDir);

const MovieInfo& movieInfo(const Movie& movie);

// Threads that share out the drawing of a frame (all players), the drawing thread included;
// 0: one per core. Frames come out the same whatever the count.
void setRenderThreads(int threads);

// A button's state changes that DefineButtonSound gives sounds to, in the tag's order.
enum class ButtonTransition : uint8_t { OverToUp, UpToOver, OverToDown, DownToOver };

// Editing commands of the focused text field (the keyboard's shortcuts for them).
enum class TextCommand {
    Enter,
    Backspace,
    Delete,
    MoveLeft,
    MoveRight,
    LineStart,
    LineEnd,
    SelectAll,
    Copy,
    Cut,
    Paste
};

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

    // Mouse and keyboard, at a point of the stage in pixels (stage coordinates, as _xmouse
    // reads them on the root): buttons, clip events, listeners.
    void mouseMove(double x, double y);
    void mouseDown(double x, double y);
    void mouseUp(double x, double y);
    // Another mouse button (2 right, 4 middle, as Key.isDown names them) went down or up.
    void otherMouseButton(int code, bool down);
    // Flash key codes (Key.LEFT = 37 ...) and the character the key typed, if any.
    void keyDown(int code, char32_t character = 0);
    void keyUp(int code);
    // A character the keyboard typed (after its keyDown), for the focused text field.
    void textInput(char32_t character);
    void textCommand(TextCommand command);
    // The clipboard text fields copy to and paste from.
    void setClipboard(std::string text);
    std::string clipboard() const;
    // The window lost or got back the keyboard.
    void setWindowFocus(bool focused);
    // The stage point under a point of a viewport drawn with mode (render's mapping reversed).
    QPointF stagePoint(const QRect& viewport, ScaleMode mode, const QPointF& at) const;
    // Something that takes clicks is under the mouse (a hand cursor's cue).
    bool mouseOverButton() const;

private:
    std::shared_ptr<const Movie> movie_;
    std::unique_ptr<PlayerState> state_;
};

}  // namespace swf
