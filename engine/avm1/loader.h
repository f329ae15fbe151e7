#pragma once
// Files a movie loads at run time (loadVariables, LoadVars, XML.load): read from the movie's
// own folder only, never from the network, and handed to the scripts at the end of the frame
// after the one that asked for them, as a player's loads arrive a frame later.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/avm1/loaded_movie.h"
#include "engine/avm1/vm.h"

namespace swf {
class Movie;
}
namespace swf::media {
class SoundMixer;
}

namespace swf::avm1 {

class Loads {
public:
    struct Job {
        enum Kind : uint8_t { Data, Variables, Call } kind = Data;
        Object* target = nullptr;  // Data: the LoadVars/XML object whose onData hears of it
        std::string targetPath;    // Variables: the timeline the variables go to
        std::string url;
        std::function<void(Vm&)> run{};  // Call: an event due at the end of the frame
        std::vector<Value> hold{};       // what run needs kept alive
        uint64_t due = 0;                // the frame at whose end it is finished
    };
    // When a request is answered. Now: at this frame's end, even when a handler of that pass
    // asks. FrameEnd: at the end of the frame whose scripts ask, the next one's for a handler
    // of the loads. NextFrame: at the end of the frame after the one that asks.
    enum class Due : uint8_t { Now, FrameEnd, NextFrame };
    std::string baseDir;  // the movie's folder; empty: nothing is read
    // Where this player keeps local shared objects (empty: in memory only), and the name of
    // the movie's own folder below it.
    std::string sharedObjectFolder, movieKey;
    std::string sandbox = "localWithFile";
    uint32_t movieLength = 0;                                // the header's length
    std::vector<std::pair<uint16_t, uint32_t>> spriteBytes;  // DefineSprite id -> its tags' bytes
    std::deque<Job> jobs;
    std::deque<Job> running;     // the ones being finished now
    uint64_t frame = 0;          // frames the movie has played
    bool betweenFrames = false;  // timers and load events running: requests count as next frame's
    std::map<std::string, Object*> connections;  // LocalConnection names taken, lower-cased
    std::map<std::string, double> soundMs;       // exported sounds' lengths, by lower-cased name
    std::map<std::string, uint16_t> soundIds;    // and their characters
    std::vector<Object*> playing;                // Sound objects whose sound is playing
    std::vector<Object*> streams;                // NetStreams given a file to play
    double soundLoads = 0;                       // loadSound requests so far
    std::vector<std::shared_ptr<LoadedMovie>> movies;     // loaded movies on stage
    std::vector<std::shared_ptr<LoadedMovie>> graveyard;  // unloaded, freed between frames
    struct Init {
        std::weak_ptr<LoadedMovie> movie;
        Value listener, clip;  // the MovieClipLoader (if any) and the clip loaded
    };
    std::vector<Init> inits;  // loads done this pass: onLoadInit after their first frames

    static constexpr size_t kMaxJobs = 4096;
    static constexpr uintmax_t kMaxFileBytes = 16u << 20;
    static constexpr uintmax_t kMaxBytesPerPass = 64u << 20;  // read at one frame's end
    uintmax_t readThisPass = 0;
};

// The movie's folder, sandbox and sizes, for its scripts' loads.
void attachLoader(Vm& vm, const Movie& movie);
// Finishes the loads asked for before this call; the handlers run now.
void completeLoads(Vm& vm);
// Objects pending loads hold on to (collection roots).
void markLoads(Vm& vm, std::vector<Object*>& out);

// GetURL2 with its flags: loadVariables (into a target or a level) is queued here. False when
// the request is not one of ours (a plain getURL).
bool requestUrl(Vm& vm, ClipHost* base, std::string_view url, std::string_view target,
                uint8_t flags);
void requestVariables(Vm& vm, std::string targetPath, std::string_view url);
// Runs fn with the loads at the end of this frame or the next; hold is kept from collection
// until then.
void queueCall(Vm& vm, std::function<void(Vm&)> fn, std::vector<Value> hold = {},
               Loads::Due due = Loads::Due::Now);
// The movie moves on to its next frame: loads asked for in the last one become due.
void loadsNextFrame(Vm& vm);
// Runs fn as timers and load events run, between frames: what it asks for is answered at the
// end of the next frame.
void runBetweenFrames(Vm& vm, const std::function<void()>& fn);
// ASnative(301, i): the load, send and sendAndLoad that LoadVars and XML share; an empty
// function for any other index.
NativeFn loadNative(int index);

// The file:// URL a name the movie asks for stands for (a file:// URL as it is), for _url.
std::string fileUrl(const Vm& vm, std::string_view url);
// A file of the movie's folder, by a name below it or a file:// URL into it; nullopt when it
// is remote, outside the folder, missing or too large.
std::optional<std::string> readLocalFile(const Vm& vm, std::string_view url,
                                         uintmax_t maxBytes = Loads::kMaxFileBytes);
// "a=1&b=two+words" into names and values, %XX decoded; text that is no UTF-8 is read as
// Latin-1 when the movie uses the system code page (or predates SWF 6).
std::vector<std::pair<std::string, std::string>> decodeVariables(std::string_view text,
                                                                 bool codepage);

// "FSCommand:quit" in any letter case: the movie asks to end.
bool isQuitCommand(std::string_view url);
// getURL of a page or an FSCommand: goes to the host, nothing is kept.
void openUrl(Vm& vm, std::string_view url, std::string_view target);

// Bytes of a timeline as getBytesLoaded/getBytesTotal report them.
std::optional<double> clipBytes(Vm& vm, ClipHost* clip);

// A value as it arrives after a trip through AMF (LocalConnection, SharedObject): objects and
// arrays copied, dates and XML rebuilt, functions as plain objects, clips as undefined.
Value amfCopy(Vm& vm, const Value& v);

// Broadcasts name(args...) to an AsBroadcaster's listeners.
void broadcast(Vm& vm, Object* source, std::string_view name, Args args);

void installNetBuiltins(Vm& vm);    // local_connection.cpp: LocalConnection, FileReference
void installSoundBuiltins(Vm& vm);  // sound_object.cpp
void installSharedObject(Vm& vm);   // shared_object.cpp
// Writes every local shared object the movie opened (the movie is going away).
void flushSharedObjects(Vm& vm);
// Sounds whose time is up: onSoundComplete.
void updateSounds(Vm& vm);
// The length in milliseconds of the sound exported under name, and its character.
std::optional<double> soundDuration(Vm& vm, std::string_view name);
std::optional<uint16_t> soundId(Vm& vm, std::string_view name);
// StopSounds: every sound the movie plays ends, script sounds with their Sound objects.
void stopAllSounds(Vm& vm);
// Where script sounds are heard: the player's mixer (null: nowhere).
media::SoundMixer* soundMixer(Vm& vm);

// Values kept on an object out of the scripts' sight.
void setSlot(Vm& vm, Object* o, std::string_view name, Value v);
Value getSlot(Object* o, std::string_view name);

}  // namespace swf::avm1
