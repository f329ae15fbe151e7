#pragma once
// Scripts of one player: the movie's action tags indexed by frame, the VM, and the root
// timeline as scripts see it. The player calls frameEntered() whenever its root lands on a
// frame; goto/play/stop from scripts come back through the hooks.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "engine/avm1/host.h"
#include "engine/runtime/display_list.h"

namespace swf::media {
class SoundMixer;
}

namespace swf {
class Movie;
}  // namespace swf

namespace swf::avm1 {

class Vm;
class SpriteClip;
class ButtonHost;

// Clip event bits as PlaceObject2/3 store them (SWF 6 layout).
enum ClipEventBit : uint32_t {
    kEventLoad = 0x01,
    kEventEnterFrame = 0x02,
    kEventUnload = 0x04,
    kEventInitialize = 0x200,
    kEventConstruct = 0x40000,
};

// DoAction / DoInitAction bodies found in a movie's tag stream.
struct ScriptIndex {
    std::vector<std::vector<std::span<const uint8_t>>> rootFrames;  // per root frame
    struct Init {
        uint16_t spriteId;
        std::span<const uint8_t> code;
        const Movie* from = nullptr;  // the file that defined the sprite; null: this movie
    };
    std::vector<std::vector<Init>> rootInits;  // per root frame
    // Init actions a sprite's own frames hold (they may target any sprite), by sprite id.
    std::map<uint16_t, std::vector<std::vector<Init>>> spriteInits;
    // Per root frame, the depths it removes before its first DoAction: those unload first.
    std::vector<std::vector<int>> rootEarlyRemovals;
    // A sprite's frame actions, by sprite id then frame.
    std::map<uint16_t, std::vector<std::vector<std::span<const uint8_t>>>> spriteFrames;
    // onClipEvent handlers of PlaceObject2/3, by (timeline: 0 root or sprite id, frame, depth).
    struct ClipEvent {
        uint32_t events;
        std::span<const uint8_t> code;
    };
    std::map<std::tuple<uint16_t, int, int>, std::vector<ClipEvent>> clipEvents;
    // Placements ahead of a frame's DoActions, by (timeline, frame): the depth and the index
    // of the DoAction it precedes. Those clips start before that action runs.
    std::map<std::pair<uint16_t, int>, std::vector<std::pair<int, size_t>>> placedBeforeActions;
    bool any = false;
};

// Reads the tag stream once; every length is checked, a cut stream ends the index.
ScriptIndex indexScripts(const Movie& movie);

class ScriptRunner : public VmHost, public ClipHost {
public:
    struct Hooks {
        std::function<int()> frame;
        std::function<void(int)> seek;  // display list only
        std::function<bool()> playing;
        std::function<void(bool)> setPlaying;
        std::function<DisplayList*()> list;  // the root's objects; sprites stay hidden without it
    };
    // shared: a movie loaded into another one runs its scripts on that movie's VM.
    ScriptRunner(const Movie& movie, Hooks hooks, ScriptIndex index, Vm* shared = nullptr);
    ~ScriptRunner() override;
    // Null when the movie holds no actions: such a player needs no VM.
    static std::unique_ptr<ScriptRunner> create(const Movie& movie, Hooks hooks);

    // The root now shows `frame`: its init actions (first visit) and frame actions run, then
    // whatever gotos they caused, then due timers.
    void frameEntered(int frame);
    // The movie's first frame, entered as the player starts: its actions, then what they left
    // in bound variables shown by the fields.
    void start();
    // After the player moved. A tick runs the new frame's actions when the root changed frame
    // and the timers of one frame's time; other moves only show the frame.
    void sync(bool tick);
    void setTraceSink(std::function<void(std::string_view)> sink);
    // Runs fn (mouse and key events) as a frame's scripts run: gotos it makes follow it.
    void dispatch(const std::function<void()>& fn);
    bool hasScripts() const { return index_.any; }
    Vm& vm() { return *vm_; }
    // The player's sound, where script sounds are heard; set by the player (null: silent).
    media::SoundMixer* mixer = nullptr;

    // VmHost
    void trace(std::string_view line) override;
    void log(std::string_view line) override;
    double timeMs() const override;

    // ClipHost (the root timeline)
    int currentFrame() const override;
    int totalFrames() const override;
    int framesLoaded() const override;
    bool isPlaying() const override;
    void play() override;
    void stop() override;
    void gotoFrame(int frame, bool andPlay) override;
    std::optional<int> labelFrame(std::string_view label) const override;
    std::string name() const override { return standIn_ ? standIn_->name() : name_; }
    void setName(std::string_view n) override {
        if (standIn_)
            standIn_->setName(n);
        else
            name_ = std::string(n);
    }
    std::vector<std::span<const uint8_t>> frameActions(int frame) const override;
    std::vector<ClipHost*> children() const override;
    ClipHost* parent() const override { return standIn_ ? standIn_->parent() : nullptr; }
    int depth() const override { return standIn_ ? standIn_->depth() : levelDepth_; }
    // swapDepths on a root of its own: it only takes the new depth.
    void setLevelDepth(int depth) { levelDepth_ = depth; }
    std::optional<double> property(int index) const override;
    void setProperty(int index, double v) override;
    int level() const override { return level_; }
    void getUrl(std::string_view url, std::string_view target) override;

    // A loaded movie's root: it takes the place (name, parent, transform) of the clip it was
    // loaded into, or stands on a level of its own.
    void placeAs(ClipHost* standIn, int level) {
        standIn_ = standIn;
        level_ = level;
    }
    ClipHost* standIn() const { return standIn_; }
    // Where a root standing on a level of its own sits (what scripts give its _x, _alpha ...):
    // null for a root that takes a clip's place.
    const DisplayObject* rootPlacement() const { return standIn_ ? nullptr : &rootPlace_; }
    DisplayObject* rootPlacement() { return standIn_ ? nullptr : &rootPlace_; }
    bool loadedMovie() const { return !ownVm_; }
    // The movie goes away: its clips leave the stage, with their unload events when asked.
    void unloadAll(bool withEvents);

    // Sprite instances (sprite_clip.cpp and below).
    const Movie& movie() const { return movie_; }
    DisplayList* listOf(const ClipHost* clip) const;
    std::vector<ClipHost*> instancesOf(ClipHost* parent);
    std::vector<std::span<const uint8_t>> spriteActions(uint16_t spriteId, int frame) const;
    // A script moved a sprite: its new frame's actions run (after the current list).
    void spriteFrameChanged(SpriteClip* clip);

    // Scripts placing clips on parent's list at a raw depth (AS depth + 16384): a library
    // sprite, or an empty clip for character 0. `like` lends its placement (duplicates), whose
    // clip events come along too. Whatever held the depth leaves. Null when it cannot be placed.
    SpriteClip* placeClip(ClipHost* parent, uint16_t characterId, int depth, std::string name,
                          const SpriteClip* like = nullptr);
    // attachMovie of a library button: the button placed the same way. Null when it cannot be.
    ButtonHost* placeButton(ClipHost* parent, uint16_t characterId, int depth, std::string name);
    // The clips below a clip a script just placed get their initialize and construct events.
    void constructChildren(ClipHost* clip) { constructNew(clip, 0, false); }
    // Takes a clip off its parent's list; its unload runs after the current script.
    void removeClip(SpriteClip* clip);
    // A new frame begins: clips kept for their unload handlers leave for good.
    void dropRemoved();
    // Moves a clip to another depth, swapping with whatever is there; both then stay put when
    // their timeline moves.
    void moveClip(SpriteClip* clip, int depth);
    // A movie loaded into clip is about to start: the clip's load handlers run again.
    void movieLoadedInto(ClipHost* clip);
    // The clip instance of an object on parent's list, if it is one.
    SpriteClip* clipAt(ClipHost* parent, int depth);
    // The character exported under name (letter case ignored); 0 when there is none.
    uint16_t exportedId(std::string_view name) const;

private:
    SpriteClip* instanceFor(ClipHost* parent, const DisplayObject& o);
    // Puts what a script places at a raw depth, in place of whatever held it, and starts it.
    DisplayObject& putScripted(DisplayList& list, DisplayObject o, uint16_t characterId, int depth,
                               std::string name);
    // frame: the frame whose actions run (by default the one the clip shows now).
    void runSpriteFrame(SpriteClip* clip, int frame = -1, int nesting = -1);
    void fireEvents(SpriteClip* clip, uint32_t bits);
    void callHandler(ClipHost* clip, const char* name);
    // A clip a script placed: its construction events, onLoad and first frame.
    void startPlaced(SpriteClip* clip);
    // A script-placed clip's initialize (and construct) events, once.
    void initPlaced(SpriteClip* clip);
    // New instances below parent (all levels): initialize, then construct handlers.
    void constructNew(ClipHost* parent, int nesting = 0, bool thenDrain = true);
    void collectUnconstructed(ClipHost* parent, std::vector<SpriteClip*>& out, int nesting);
    // New clips below parent that its timeline's frame placed ahead of that frame's actions.
    std::unordered_set<const SpriteClip*> placedAhead(ClipHost* parent, uint16_t timeline,
                                                      int frame, size_t action = 0);
    // Runs a frame's actions on clip, starting before each one the clips placed ahead of it.
    void runInTagOrder(std::span<const std::span<const uint8_t>> lists, ClipHost* clip,
                       uint16_t timeline, int frame, int nesting);
    // New instances below parent (only: of these, when given): load events and first frames,
    // then their own children.
    void placeNew(ClipHost* parent, int nesting = 0,
                  const std::unordered_set<const SpriteClip*>* only = nullptr);
    // Instances that left the stage: unload events, then they are let go. Clips kept below
    // zero hear theirs too (queued when !thenDrain); with early given, of the root's kept
    // clips only those that left these depths do.
    void sweep(bool withEvents, bool thenDrain = true, const std::vector<int>* early = nullptr);
    // Clips the timeline moved below zero follow their objects there; those with no unload
    // handler in them or below go at once.
    void settleRemoved();
    bool hearsUnload(SpriteClip* clip, int nesting = 0);
    // A leaving clip keeps only the clips in it that have unload handlers to hear (or hold
    // some); without any, it goes itself.
    void pruneSilent(SpriteClip* clip, int nesting = 0);
    void runUnload(SpriteClip* clip);
    // In a clip kept below zero for its unload: it plays no more frames.
    bool leaving(const SpriteClip* clip) const;
    // A clip that left the stage is let go (freed once no script can reach it).
    void retire(std::unique_ptr<SpriteClip> clip);
    // Gives a clip (and its key) a new place on its parent's list.
    void rekey(SpriteClip* clip, int depth, int placedAt);
    void runSprites();
    void runInits(int frame);
    void runInitList(const std::vector<ScriptIndex::Init>& inits);
    void runFrame(int frame);
    // The root shows frame now.
    void showing(int frame);
    // startFresh false: clips scripts created wait in the queue for the next full drain.
    void drain(bool startFresh = true);

    const Movie& movie_;
    Hooks hooks_;
    ScriptIndex index_;
    std::unique_ptr<Vm> ownVm_;
    Vm* vm_ = nullptr;
    ClipHost* standIn_ = nullptr;
    std::string name_;  // the root's _name: empty until a script names it
    DisplayObject rootPlace_;
    int level_ = 0;
    int levelDepth_ = 0;  // the depth a root of its own answers (raw), moved by swapDepths
    std::vector<bool> initDone_;
    std::set<std::pair<const Movie*, uint16_t>>
        initsRun_;  // sprites (by defining file) whose init actions ran: each runs once
    bool running_ = false;
    int lastSeen_ = 0;
    int reached_ = 0;  // furthest root frame shown: exports of later frames are not usable yet
    int ticks_ = 0;
    std::function<void(std::string_view)> sink_;
    std::vector<std::string> buffered_;  // lines traced before a sink was set
    std::map<std::tuple<const ClipHost*, int, uint16_t, int>, std::unique_ptr<SpriteClip>> sprites_;
    std::vector<SpriteClip*>
        execOrder_;  // oldest first; the player runs clips newest first each tick
    std::vector<std::unique_ptr<SpriteClip>> gone_;  // freed once no script can reach them
    // Clips to start (fresh) or whose frame's actions wait, with that frame (a null clip: the
    // root's frame a goto queued): a clip sent on twice in one list runs both frames' actions.
    std::deque<std::pair<SpriteClip*, int>> pendingSprites_;
    // Clips whose unload handlers are running: still found by name under their parent.
    std::vector<SpriteClip*> unloading_;
    int nextScripted_ = -1;  // creating frame given to objects scripts place
};

}  // namespace swf::avm1
