#pragma once
// Movies a movie loads at run time (loadMovie, loadMovieNum, MovieClipLoader): each one plays
// its own timeline with its own scripts, on the loading movie's VM, either in place of a clip
// or on a level of its own.

#include <QImage>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/avm1/value.h"
#include "engine/runtime/display_list.h"

namespace swf {
class Movie;
}

namespace swf::avm1 {

class Vm;
class ClipHost;
class ScriptRunner;
class Object;

class LoadedMovie {
public:
    LoadedMovie(Vm& vm, std::shared_ptr<const Movie> movie, ClipHost* into, int level);
    ~LoadedMovie();

    // Frame f's commands on the current list; new sprites start.
    void enterFrame(int f);
    // Replays the timeline to f (backwards: from the first frame), keeping what lives on.
    void seek(int f);
    // One tick of the movie's clock, then its scripts.
    void tick();

    std::shared_ptr<const Movie> movie;
    DisplayList list;
    int frame = 0;
    int total = 1;
    bool playing = true;
    ClipHost* into = nullptr;  // the clip it took the place of; null for a level
    int level = -1;
    std::unique_ptr<ScriptRunner> runner;
    bool started = false;  // its first frame ran
    Value listener;        // the MovieClipLoader told of onLoadInit
    QImage image;          // a loaded picture (JPEG, PNG, GIF), drawn at the clip's origin
};

// A url for target: loadMovie (target a clip), loadMovieNum / getURL to "_levelN", or, with an
// empty url, unloadMovie. False when the request is none of these (a plain getURL).
bool requestMovie(Vm& vm, ClipHost* base, std::string_view url, std::string_view target,
                  bool targetIsClip);
// MovieClipLoader.loadClip / unloadClip: target is a clip path or "_levelN".
void requestClip(Vm& vm, Object* loader, std::string url, std::string target);

// The level's root timeline (0: the player's own); null when nothing is loaded there.
ClipHost* levelRoot(Vm& vm, int level);
// "_level12" -> 12; -1 for any other name.
int levelNumber(std::string_view name);
// The level a name in a script means: from SWF 7 "_level" matches only in lower case.
int levelNumber(const Vm& vm, std::string_view name);
// What _root means for scripts of clip: its level's root, or the nearest clip with _lockroot.
ClipHost* rootOf(Vm& vm, ClipHost* clip);
// Levels other than 0, in level order.
std::vector<ClipHost*> levelRoots(Vm& vm);
// The loaded movie standing in place of clip, or clip itself.
ClipHost* shownClip(Vm& vm, ClipHost* clip);
// Loaded movies (levels, then movies in clips) for drawing.
std::vector<const LoadedMovie*> loadedMovies(Vm& vm);

// The runner whose movie holds clip's timeline (a loaded movie's clips are its own); the
// player's own runner for anything else.
ScriptRunner* runnerFor(Vm& vm, ClipHost* clip);

// Where a loaded movie is drawn: twips of its content to twips of the stage; nullopt while
// it or a clip above it is hidden or off the stage.
std::optional<QTransform> stagePlacement(Vm& vm, const LoadedMovie& movie);

// Ticks every loaded movie once (after its host movie's frame scripts).
void tickLoadedMovies(Vm& vm);
// Movies whose load finished in this pass: first frames, then onLoadInit.
void startLoadedMovies(Vm& vm);
// A clip left the stage: whatever was loaded into it goes too.
void loadTargetGone(Vm& vm, ClipHost* clip);
void markLoadedMovies(Vm& vm, std::vector<Object*>& out);
// The frame is shown: the morphs of every loaded movie take their bounds at their ratios.
void settleLoadedBounds(Vm& vm);

}  // namespace swf::avm1
