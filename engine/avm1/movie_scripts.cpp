#include "engine/avm1/movie_scripts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_set>

#include "engine/avm1/button_object.h"
#include "engine/avm1/clip_classes.h"
#include "engine/avm1/context.h"
#include "engine/avm1/display_props.h"
#include "engine/avm1/input_events.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/vm.h"
#include "engine/format/bit_reader.h"
#include "engine/format/container.h"
#include "engine/format/filter.h"
#include "engine/format/records.h"
#include "engine/format/tags.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/drawing.h"
#include "engine/runtime/instances.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

// Marks scripts as running for a scope and gives back what it was, also when an abort
// passes through on its way out.
class Busy {
public:
    explicit Busy(bool& flag) : flag_(flag), was_(flag) { flag = true; }
    ~Busy() { flag_ = was_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& flag_;
    bool was_;
};

// A queued entry's frame that stands for the clip's unload handlers.
constexpr int kUnloadEvent = std::numeric_limits<int>::min();

}  // namespace

namespace {

void addImportedScripts(const Movie& movie, ScriptIndex& index);

constexpr uint16_t kShowFrame = 1, kDoAction = 12, kDefineSprite = 39, kDoInitAction = 59;
constexpr uint16_t kPlaceObject = 4, kPlaceObject2 = 26, kPlaceObject3 = 70, kRemoveObject = 5,
                   kRemoveObject2 = 28;

// The onClipEvent handlers at the end of a PlaceObject2/3 body.
void scanClipEvents(std::span<const uint8_t> body, int version, int swfVersion,
                    std::vector<ScriptIndex::ClipEvent>& out, int& depthOut) {
    format::BitReader r(body);
    const uint8_t f1 = r.u8();
    const uint8_t f2 = version >= 3 ? r.u8() : 0;
    depthOut = r.u16();
    if (!(f1 & 0x80)) return;
    const bool hasCharacter = f1 & 0x02;
    if ((f2 & 0x08) || ((f2 & 0x10) && hasCharacter)) (void)r.string();
    if (hasCharacter) r.u16();
    if (f1 & 0x04) (void)format::readMatrix(r);
    if (f1 & 0x08) (void)format::readCxform(r, true);
    if (f1 & 0x10) r.u16();
    if (f1 & 0x20) (void)r.string();
    if (f1 & 0x40) r.u16();
    if (f2 & 0x01) {
        std::vector<format::Filter> filters;
        if (!format::readFilters(r, r.u8(), filters)) return;
    }
    if (f2 & 0x02) r.u8();
    if (f2 & 0x04) r.u8();
    if (f2 & 0x20) r.u8();
    if (f2 & 0x40) (void)format::readRgba(r);
    const bool wide = swfVersion >= 6;
    auto flags = [&]() -> uint32_t { return wide ? r.u32() : r.u16(); };
    r.u16();
    // Handlers answer only the events the placement lists for the whole clip.
    const uint32_t all = flags();
    for (int guard = 0; guard < 4096 && !r.overrun(); ++guard) {
        const uint32_t ev = flags();
        if (ev == 0 || r.overrun()) break;
        uint32_t size = r.u32();
        if (r.overrun() || size > r.remaining()) break;
        if (ev & 0x20000) {  // KeyPress: the key code counts within the size
            if (size == 0) break;
            r.u8();
            --size;
        }
        out.push_back({ev & all, r.bytes(size)});
    }
}

// Frame action lists of one tag stream; init actions only at the root.
void scanTimeline(std::span<const uint8_t> data, ScriptIndex& index,
                  std::vector<std::vector<std::span<const uint8_t>>>& frames,
                  std::vector<std::vector<ScriptIndex::Init>>* inits, int depth,
                  uint16_t timelineId, int swfVersion) {
    format::TagReader tags(data);
    format::Tag tag;
    size_t frame = 0;
    bool actionSeen = false;
    std::vector<std::pair<int, size_t>> placedSoFar;  // this frame's placements so far
    size_t actionsSoFar = 0;                          // and its DoActions
    auto at = [&](auto& v) -> auto& {
        if (v.size() <= frame) v.resize(frame + 1);
        return v[frame];
    };
    while (tags.next(tag)) {
        switch (tag.code) {
            case kShowFrame:
                ++frame;
                actionSeen = false;
                placedSoFar.clear();
                actionsSoFar = 0;
                break;
            case kPlaceObject:
                if (tag.body.size() >= 4)
                    placedSoFar.emplace_back(tag.body[2] | (tag.body[3] << 8), actionsSoFar);
                break;
            case kRemoveObject:
            case kRemoveObject2:
                if (const size_t off = tag.code == kRemoveObject ? 2 : 0;
                    timelineId == 0 && !actionSeen && tag.body.size() >= off + 2)
                    at(index.rootEarlyRemovals).push_back(tag.body[off] | (tag.body[off + 1] << 8));
                break;
            case kDoAction:
                actionSeen = true;
                if (!tag.body.empty()) {
                    if (!placedSoFar.empty() && placedSoFar.back().second == actionsSoFar)
                        index.placedBeforeActions[{timelineId, static_cast<int>(frame)}] =
                            placedSoFar;
                    ++actionsSoFar;
                    at(frames).push_back(tag.body);
                    index.any = true;
                }
                break;
            case kDoInitAction:
                if (inits && tag.body.size() > 2) {
                    const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
                    at(*inits).push_back({id, tag.body.subspan(2)});
                    index.any = true;
                }
                break;
            case kPlaceObject2:
            case kPlaceObject3:
                if (const size_t pos = tag.code == kPlaceObject3 ? 2 : 1;
                    tag.body.size() >= pos + 2 && (tag.body[0] & 0x02))
                    placedSoFar.emplace_back(tag.body[pos] | (tag.body[pos + 1] << 8),
                                             actionsSoFar);
                if (!tag.body.empty() && (tag.body[0] & 0x80)) {
                    std::vector<ScriptIndex::ClipEvent> events;
                    int d = 0;
                    scanClipEvents(tag.body, tag.code == kPlaceObject3 ? 3 : 2, swfVersion, events,
                                   d);
                    if (!events.empty()) {
                        index.clipEvents[{timelineId, static_cast<int>(frame), d}] =
                            std::move(events);
                        index.any = true;
                    }
                }
                break;
            case kDefineSprite:
                if (depth == 0 && tag.body.size() >= 4) {
                    const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
                    if (!index.spriteFrames.contains(id))
                        scanTimeline(tag.body.subspan(4), index, index.spriteFrames[id],
                                     &index.spriteInits[id], depth + 1, id, swfVersion);
                }
                break;
            default:
                break;
        }
    }
}

// Imported sprites bring their frame actions and clip events from the file that defined them.
// An import runs every init action of the file it reads (each once), when the importing root
// reaches the first ImportAssets frame naming that file.
void addImportedScripts(const Movie& movie, ScriptIndex& index) {
    std::map<const Movie*, ScriptIndex> sources;
    auto indexOf = [&](const Movie* m) -> const ScriptIndex& {
        auto [src, fresh] = sources.try_emplace(m);
        if (fresh) src->second = indexScripts(*m);
        return src->second;
    };
    std::vector<std::pair<const Movie*, int>> readFrom;  // files imported, first frame each
    for (const auto& [id, imp] : movie.imported) {
        const Movie* from = imp.from.get();
        if (!from) continue;
        auto seen = std::find_if(readFrom.begin(), readFrom.end(),
                                 [&](const auto& r) { return r.first == from; });
        if (seen == readFrom.end())
            readFrom.emplace_back(from, imp.frame);
        else
            seen->second = std::min(seen->second, imp.frame);
        uint16_t fromId = imp.id;
        // A re-exported import: its scripts live in the file that defined it.
        for (int hop = 0; hop < 8 && from; ++hop) {
            auto it = from->imported.find(fromId);
            if (it == from->imported.end()) break;
            fromId = it->second.id;
            from = it->second.from.get();
        }
        if (!from) continue;
        const ScriptIndex& s = indexOf(from);
        if (auto it = s.spriteFrames.find(fromId);
            it != s.spriteFrames.end() && !index.spriteFrames.contains(id)) {
            index.spriteFrames[id] = it->second;
            index.any = true;
        }
        for (const auto& [key, events] : s.clipEvents)
            if (std::get<0>(key) == fromId) {
                index.clipEvents[{id, std::get<1>(key), std::get<2>(key)}] = events;
                index.any = true;
            }
    }
    std::stable_sort(readFrom.begin(), readFrom.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    for (const auto& [from, frame] : readFrom) {
        const size_t f = static_cast<size_t>(std::max(0, frame));
        for (const auto& inits : indexOf(from).rootInits)
            for (const auto& init : inits) {
                if (index.rootInits.size() <= f) index.rootInits.resize(f + 1);
                index.rootInits[f].push_back(
                    {init.spriteId, init.code, init.from ? init.from : from});
                index.any = true;
            }
    }
}

}  // namespace

ScriptIndex indexScripts(const Movie& movie) {
    ScriptIndex index;
    std::span<const uint8_t> data(movie.data);
    size_t offset = 0;
    try {
        offset = format::readMovieHeader(data).tagsOffset;
    } catch (const format::FormatError&) {
        return index;
    }
    if (offset > data.size()) return index;
    scanTimeline(data.subspan(offset), index, index.rootFrames, &index.rootInits, 0, 0,
                 movie.info.version);
    addImportedScripts(movie, index);
    return index;
}

std::unique_ptr<ScriptRunner> ScriptRunner::create(const Movie& movie, Hooks hooks) {
    ScriptIndex index = indexScripts(movie);
    if (!index.any && indexButtonActions(movie).empty()) return nullptr;
    return std::make_unique<ScriptRunner>(movie, std::move(hooks), std::move(index));
}

namespace {

// A movie may ask for a shorter script time or a shallower recursion than ours, never for more:
// with no dialog to ask the user, a longer freeze or a deeper native stack is not ours to give.
VmLimits limitsOf(const MovieInfo& info) {
    VmLimits l;
    if (info.scriptTimeoutSeconds > 0)
        l.scriptTime = std::min(
            l.scriptTime, std::chrono::milliseconds(int64_t{info.scriptTimeoutSeconds} * 1000));
    if (info.maxRecursionDepth > 0)
        l.maxCallDepth = std::min(l.maxCallDepth, info.maxRecursionDepth);
    return l;
}

}  // namespace

ScriptRunner::ScriptRunner(const Movie& movie, Hooks hooks, ScriptIndex index, Vm* shared)
    : movie_(movie), hooks_(std::move(hooks)), index_(std::move(index)) {
    initDone_.assign(index_.rootInits.size(), false);
    if (shared) {
        vm_ = shared;
        return;
    }
    ownVm_ = std::make_unique<Vm>(movie.info.version, *this, limitsOf(movie.info));
    vm_ = ownVm_.get();
    vm_->setRoot(this);
    attachLoader(*vm_, movie);
    if (vm_->textFields) {
        vm_->textFields->movie = &movie_;
        vm_->textFields->listOf = [this](const ClipHost* c) { return listOf(c); };
    }
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::setTraceSink(std::function<void(std::string_view)> sink) {
    sink_ = std::move(sink);
    if (sink_) {
        for (const auto& l : buffered_) sink_(l);
        buffered_.clear();
    }
}

void ScriptRunner::trace(std::string_view line) {
    if (sink_) {
        sink_(line);
    } else if (buffered_.size() < 100000) {
        buffered_.emplace_back(line);
    }
}

void ScriptRunner::log(std::string_view line) {
    std::fprintf(stderr, "avm1: %.*s\n", static_cast<int>(line.size()), line.data());
}

double ScriptRunner::timeMs() const {
    const double fps = movie_.info.frameRate > 0 ? movie_.info.frameRate : 12;
    return ticks_ * 1000.0 / fps;
}

void ScriptRunner::runInitList(const std::vector<ScriptIndex::Init>& inits) {
    for (const auto& init : inits)
        if (initsRun_.insert({init.from, init.spriteId}).second) vm_->runActions(init.code, this);
}

// A frame's init actions run before the clips it places are built, once per sprite.
void ScriptRunner::runInits(int frame) {
    if (frame < 0) return;
    const size_t f = static_cast<size_t>(frame);
    if (f < index_.rootInits.size() && !initDone_[f]) {
        initDone_[f] = true;
        runInitList(index_.rootInits[f]);
    }
}

void ScriptRunner::runFrame(int frame) {
    if (frame < 0) return;
    const size_t f = static_cast<size_t>(frame);
    runInits(frame);
    if (f < index_.rootFrames.size()) vm_->runFrameActions(index_.rootFrames[f], this);
}

// Gotos inside scripts queue the target frame; its actions run once the current list ends, in
// the order they were queued with the frames sprites were sent to.
void ScriptRunner::drain(bool startFresh) {
    int guard = 0;
    std::deque<std::pair<SpriteClip*, int>> waiting;
    while (!pendingSprites_.empty() && guard++ < 10000) {
        const auto [c, f] = pendingSprites_.front();
        pendingSprites_.pop_front();
        if (f == kUnloadEvent) {
            runUnload(c);
        } else if (!startFresh && (!c || c->fresh)) {
            // A clip's initialize events come once the script ends, its load with the frame's;
            // the root's next frame waits for the clips this one placed.
            if (c) initPlaced(c);
            waiting.push_back({c, f});
        } else if (!c)
            runFrame(f);
        else if (c->fresh)
            startPlaced(c);
        else
            runSpriteFrame(c, f);
    }
    pendingSprites_ = std::move(waiting);
}

void ScriptRunner::showing(int frame) {
    lastSeen_ = frame;
    reached_ = std::max(reached_, frame);
}

void ScriptRunner::frameEntered(int frame) {
    if (running_) return;
    const Busy busy(running_);
    showing(frame);
    if (vm_->textFields) vm_->textFields->sync();  // fields on this frame set their variables
    runInits(frame);
    constructNew(this);
    std::unordered_set<const SpriteClip*> placedHere;
    for (ClipHost* c : instancesOf(this))
        if (auto* s = static_cast<SpriteClip*>(c); s->lastFrame < 0) placedHere.insert(s);
    // Unloads and frame actions run in the order of their tags.
    if (static_cast<size_t>(frame) < index_.rootEarlyRemovals.size() &&
        !index_.rootEarlyRemovals[frame].empty())
        sweep(true, true, &index_.rootEarlyRemovals[frame]);
    // Clips placed ahead of the frame's actions start before them.
    if (const auto ahead = placedAhead(this, 0, frame); !ahead.empty()) {
        placeNew(this, 0, &ahead);
        drain();
    }
    runInits(frame);
    if (static_cast<size_t>(frame) < index_.rootFrames.size())
        runInTagOrder(index_.rootFrames[frame], this, 0, frame, 0);
    // Clips the frame placed start before those its script made, in the order they came, and
    // before the frame a goto in its script went to; clips that goto placed start after it.
    drain(false);
    placeNew(this, 0, &placedHere);
    drain();
    placeNew(this);
    drain();
    if (ownVm_) completeLoads(*vm_);  // a loaded movie's loads finish with its host's
    drain();
}

void ScriptRunner::start() {
    frameEntered(0);
    // From SWF 6 the main movie hears its own load once its first frame has run, so a handler
    // that frame set is called.
    if (ownVm_ && vm_->version() >= 6) {
        const Busy busy(running_);
        callHandler(this, "onLoad");
        drain();
    }
    if (vm_->textFields) vm_->textFields->sync();
}

void ScriptRunner::sync(bool tick) {
    if (running_) return;
    settleRemoved();
    const int f = hooks_.frame();
    if (!tick) {
        // The control's own seeks show a frame without running its actions.
        showing(f);
        sweep(false);
        if (vm_->textFields) vm_->textFields->sync();
        return;
    }
    ++ticks_;
    if (ownVm_) loadsNextFrame(*vm_);
    {
        const Busy busy(running_);
        // Each clip's enterFrame handlers, then its onEnterFrame, newest clip first, the root
        // last.
        const std::vector<SpriteClip*> order(execOrder_.rbegin(), execOrder_.rend());
        for (SpriteClip* c : order) {
            if (!c->alive || !c->object() || leaving(c)) continue;
            fireEvents(c, kEventEnterFrame);
            callHandler(c, "onEnterFrame");
        }
        callHandler(this, "onEnterFrame");
        drain();
        runSprites();
    }
    // A goto in the handlers has already run its frame; the playhead's own step is seen here.
    // A movie that a load has just replaced on level 0 runs no more frames.
    if (const int now = hooks_.frame(); ownVm_ && vm_->root_ != this) {
    } else if (now != lastSeen_)
        frameEntered(now);
    else {
        const Busy busy(running_);
        constructNew(this);
        placeNew(this);
    }
    {
        const Busy busy(running_);
        sweep(true);
        if (ownVm_) {
            // Movies loaded into this one move on with it; timers and loads are the VM's.
            // Once the movie has asked to quit, no timer runs.
            tickLoadedMovies(*vm_);
            if (!vm_->quitRequested) runBetweenFrames(*vm_, [&] { vm_->runTimers(); });
            drain();
            completeLoads(*vm_);
        }
        drain();
    }
    if (vm_->textFields) vm_->textFields->sync();
    gone_.clear();
    if (ownVm_) vm_->maybeCollect();
}

void ScriptRunner::dispatch(const std::function<void()>& fn) {
    if (running_) {
        fn();
        return;
    }
    {
        const Busy busy(running_);
        fn();
        drain();
        constructNew(this);
        placeNew(this);
    }
    if (vm_->textFields) vm_->textFields->sync();
}

int ScriptRunner::currentFrame() const { return hooks_.frame(); }
int ScriptRunner::totalFrames() const { return std::max(1, movie_.info.frameCount); }
int ScriptRunner::framesLoaded() const { return std::clamp(movie_.root.loaded, 0, totalFrames()); }
bool ScriptRunner::isPlaying() const { return hooks_.playing(); }
void ScriptRunner::play() { hooks_.setPlaying(true); }
void ScriptRunner::stop() { hooks_.setPlaying(false); }

void ScriptRunner::gotoFrame(int frame, bool andPlay) {
    hooks_.setPlaying(andPlay);
    // A goto past the end lands on the last frame, whose actions then do not run.
    const bool pastEnd = frame >= totalFrames();
    frame = std::min(frame, totalFrames() - 1);
    if (frame == hooks_.frame()) return;
    hooks_.seek(frame);
    showing(frame);
    if (running_) {
        // What the goto took off the stage hears its unload before the frame's actions.
        sweep(true, false);
    }
    if (pastEnd) return;
    if (running_) {
        // Clips the goto placed are constructed within it; their frames wait for the script.
        constructNew(this, 0, false);
        pendingSprites_.push_back({nullptr, frame});
    } else
        frameEntered(frame);
}

std::optional<int> ScriptRunner::labelFrame(std::string_view label) const {
    return movie_.root.findLabel(label);
}

std::vector<std::span<const uint8_t>> ScriptRunner::frameActions(int frame) const {
    if (frame < 0 || static_cast<size_t>(frame) >= index_.rootFrames.size()) return {};
    return index_.rootFrames[frame];
}

// ---------------------------------------------------------------- sprite instances

DisplayList* ScriptRunner::listOf(const ClipHost* clip) const {
    if (clip == this) return hooks_.list ? hooks_.list() : nullptr;
    if (auto* s = dynamic_cast<const SpriteClip*>(clip)) return s->list();
    if (auto* r = dynamic_cast<const ScriptRunner*>(clip)) return r->listOf(r);
    // A button's list is the state it shows.
    if (auto* b = dynamic_cast<const ButtonHost*>(clip)) {
        DisplayObject* o = b->object();
        return o && o->sprite ? &o->sprite->list : nullptr;
    }
    return nullptr;
}

// The runner whose movie holds parent's timeline: a loaded movie's clips are its own.
static ScriptRunner* ownerOf(ScriptRunner* self, ClipHost* parent) {
    if (auto* r = dynamic_cast<ScriptRunner*>(parent)) return r;
    if (auto* s = dynamic_cast<SpriteClip*>(parent)) return &s->runner();
    return self;
}

std::optional<double> ScriptRunner::property(int index) const {
    return standIn_ ? standIn_->property(index) : displayProperty(rootPlace_, index);
}

void ScriptRunner::setProperty(int index, double v) {
    if (standIn_)
        standIn_->setProperty(index, v);
    else if (!std::isnan(v))
        setDisplayProperty(rootPlace_, index, v);
}

void ScriptRunner::getUrl(std::string_view url, std::string_view target) {
    requestMovie(*vm_, this, url, target, false);
}

void ScriptRunner::unloadAll(bool withEvents) {
    if (DisplayList* l = listOf(this)) l->objects.clear();
    {
        const Busy busy(running_);
        sweep(withEvents, false);
    }
    pendingSprites_.clear();
    if (scriptObject) scriptObject->clip = nullptr;
    scriptObject = nullptr;
}

SpriteClip* ScriptRunner::instanceFor(ClipHost* parent, const DisplayObject& o) {
    const auto key =
        std::make_tuple(static_cast<const ClipHost*>(parent), o.depth, o.characterId, o.placedAt);
    auto it = sprites_.find(key);
    if (it != sprites_.end()) return it->second.get();
    if (sprites_.size() >= 100000) return nullptr;
    std::string name =
        o.name.empty() ? "instance" + std::to_string(++(*vm_).instanceNames) : o.name;
    auto clip = std::make_unique<SpriteClip>(*this, parent, o, std::move(name));
    uint16_t timeline = 0;
    if (auto* ps = dynamic_cast<SpriteClip*>(parent)) timeline = ps->characterId();
    auto ev = index_.clipEvents.find({timeline, o.placedAt, o.depth});
    if (ev != index_.clipEvents.end())
        for (const auto& e : ev->second) clip->events.emplace_back(e.events, e.code);
    SpriteClip* raw = clip.get();
    sprites_.emplace(key, std::move(clip));
    if (DisplayObject* placed = raw->object()) placed->keepOnRemove = true;
    return raw;
}

std::vector<ClipHost*> ScriptRunner::instancesOf(ClipHost* parent) {
    std::vector<ClipHost*> out;
    DisplayList* l = listOf(parent);
    if (!l) return out;
    for (auto& [depth, o] : l->objects) {
        if (!o.sprite) continue;
        if (o.removed) {
            // Kept below zero for a clip that is leaving: never a new instance.
            auto it = sprites_.find(std::make_tuple(static_cast<const ClipHost*>(parent), o.depth,
                                                    o.characterId, o.placedAt));
            if (it != sprites_.end() && it->second->alive) out.push_back(it->second.get());
            continue;
        }
        const Character* ch = movie_.character(o.characterId);
        const bool sprite = ch ? std::holds_alternative<SpriteCharacter>(*ch) : o.scripted();
        if (!sprite) continue;
        if (SpriteClip* c = instanceFor(parent, o)) out.push_back(c);
    }
    for (SpriteClip* c : unloading_)
        if (c->parent() == parent) out.push_back(c);
    return out;
}

std::vector<ClipHost*> ScriptRunner::children() const {
    return const_cast<ScriptRunner*>(this)->instancesOf(const_cast<ScriptRunner*>(this));
}

std::vector<std::span<const uint8_t>> ScriptRunner::spriteActions(uint16_t spriteId,
                                                                  int frame) const {
    auto it = index_.spriteFrames.find(spriteId);
    if (it == index_.spriteFrames.end() || frame < 0 ||
        static_cast<size_t>(frame) >= it->second.size())
        return {};
    return it->second[frame];
}

void ScriptRunner::runSpriteFrame(SpriteClip* clip, int frame, int nesting) {
    if (!clip->object()) return;
    const int f = frame >= 0 ? frame : clip->currentFrame();
    clip->lastFrame = clip->currentFrame();
    if (auto it = index_.spriteInits.find(clip->characterId());
        it != index_.spriteInits.end() && f >= 0 && static_cast<size_t>(f) < it->second.size())
        runInitList(it->second[f]);
    if (nesting >= 0)
        runInTagOrder(spriteActions(clip->characterId(), f), clip, clip->characterId(), f, nesting);
    else
        vm_->runFrameActions(spriteActions(clip->characterId(), f), clip);
}

void ScriptRunner::spriteFrameChanged(SpriteClip* clip) {
    // A clip the timeline placed that has not started yet keeps its first frame's actions
    // queued ahead of the ones it was sent to; both run when it starts.
    if (clip->lastFrame < 0 && !clip->fresh) {
        clip->movedBeforeStart = true;
        return;
    }
    clip->lastFrame = clip->currentFrame();
    if (running_) {
        pendingSprites_.push_back({clip, clip->currentFrame()});
    } else {
        const Busy busy(running_);
        runSpriteFrame(clip);
        drain();
    }
}

void ScriptRunner::initPlaced(SpriteClip* clip) {
    if (clip->constructed || !clip->object()) return;
    clip->constructed = true;
    fireEvents(clip, clip->constructFired ? kEventInitialize : kEventInitialize | kEventConstruct);
}

void ScriptRunner::startPlaced(SpriteClip* clip) {
    clip->fresh = false;
    if (!clip->object()) return;
    initPlaced(clip);
    fireEvents(clip, kEventLoad);
    callHandler(clip, "onLoad");
    runSpriteFrame(clip);
    placeNew(clip);
}

void ScriptRunner::callHandler(ClipHost* clip, const char* name) {
    if (!clip->scriptObject) return;
    vm_->enter([&] { vm_->callHandler(clip->scriptObject, name); });
}

SpriteClip* ScriptRunner::clipAt(ClipHost* parent, int depth) {
    if (ScriptRunner* r = ownerOf(this, parent); r != this) return r->clipAt(parent, depth);
    DisplayList* l = listOf(parent);
    if (!l) return nullptr;
    auto it = l->objects.find(depth);
    if (it == l->objects.end()) return nullptr;
    auto s = sprites_.find(std::make_tuple(static_cast<const ClipHost*>(parent), depth,
                                           it->second.characterId, it->second.placedAt));
    return s == sprites_.end() ? nullptr : s->second.get();
}

uint16_t ScriptRunner::exportedId(std::string_view name) const {
    const std::string want = asciiLower(name);
    // A name is usable once the root has reached the frame that exports it.
    for (const auto& [n, id] : movie_.exports)
        if (asciiLower(n) == want) {
            auto f = movie_.exportFrames.find(n);
            return f == movie_.exportFrames.end() || f->second <= reached_ ? id : 0;
        }
    return 0;
}

SpriteClip* ScriptRunner::placeClip(ClipHost* parent, uint16_t characterId, int depth,
                                    std::string name, const SpriteClip* like) {
    if (ScriptRunner* r = ownerOf(this, parent); r != this)
        return r->placeClip(parent, characterId, depth, std::move(name), like);
    DisplayList* l = listOf(parent);
    if (!l || sprites_.size() >= 100000 || nextScripted_ <= -(1 << 30)) return nullptr;
    const Character* ch = movie_.character(characterId);
    if (ch && !std::holds_alternative<SpriteCharacter>(*ch)) return nullptr;
    DisplayObject o;
    const DisplayObject* from = like ? like->object() : nullptr;
    // A duplicate starts with its source's drawing (shared until either draws again).
    std::shared_ptr<Drawing> drawn = from && from->sprite ? from->sprite->list.drawing : nullptr;
    if (from) {
        o.matrix = from->matrix;
        o.cxform = from->cxform;
        o.ratio = from->ratio;
        o.blendMode = from->blendMode;
        o.visible = from->visible;
        o.cacheAsBitmap = from->cacheAsBitmap;
        o.filters = from->filters;
    }
    DisplayObject& placed = putScripted(*l, std::move(o), ch ? characterId : 0, depth, std::move(name));
    if (!placed.sprite) placed.sprite.emplace();  // an empty clip: one blank frame
    // A duplicate starts with its source's drawing (shared until either draws again).
    placed.sprite->list.drawing = std::move(drawn);
    SpriteClip* clip = instanceFor(parent, placed);
    if (!clip) {
        l->objects.erase(depth);
        return nullptr;
    }
    if (like) clip->events = like->events;
    clip->lastFrame = 0;
    clip->fresh = true;
    execOrder_.push_back(clip);
    if (running_) {
        // From SWF 6 a duplicate is constructed within the call that makes it.
        if (like && vm_->version() >= 6) {
            clip->constructFired = true;
            fireEvents(clip, kEventConstruct);
        }
        pendingSprites_.push_back({clip, -1});
    } else {
        const Busy busy(running_);
        startPlaced(clip);
        drain();
    }
    return clip;
}

DisplayObject& ScriptRunner::putScripted(DisplayList& list, DisplayObject o, uint16_t characterId,
                                         int depth, std::string name) {
    o.characterId = characterId;
    o.depth = depth;
    o.placedAt = nextScripted_--;
    o.name = std::move(name);
    list.objects.erase(depth);
    DisplayObject& placed = list.objects.emplace(depth, std::move(o)).first->second;
    if (characterId) {
        InstanceContext ctx{movie_};
        startInstances(list, ctx);
    }
    return placed;
}

ButtonHost* ScriptRunner::placeButton(ClipHost* parent, uint16_t characterId, int depth,
                                      std::string name) {
    if (ScriptRunner* r = ownerOf(this, parent); r != this)
        return r->placeButton(parent, characterId, depth, std::move(name));
    DisplayList* l = listOf(parent);
    const Character* ch = movie_.character(characterId);
    if (!l || !ch || !std::holds_alternative<ButtonCharacter>(*ch) || nextScripted_ <= -(1 << 30))
        return nullptr;
    DisplayObject& placed = putScripted(*l, DisplayObject{}, characterId, depth, std::move(name));
    return buttonAt(*vm_, parent, placed);
}

void ScriptRunner::removeClip(SpriteClip* clip) {
    if (&clip->runner() != this) return clip->runner().removeClip(clip);
    DisplayList* l = listOf(clip->parent());
    if (!l || !clip->object() || clip->removed) return;
    l->remove(clip->rawDepth());
    // Scripts holding it see a removed clip at once; its unload waits for the script to end.
    const Busy busy(running_);
    sweep(true, false);
}

void ScriptRunner::dropRemoved() {
    bool any = false;
    for (auto& [key, c] : sprites_) {
        if (!c->removed || !c->alive) continue;
        if (DisplayList* l = listOf(c->parent()); l && c->object()) {
            l->objects.erase(c->rawDepth());
            any = true;
        }
    }
    if (!any) return;
    const Busy busy(running_);
    sweep(true);
}

void ScriptRunner::rekey(SpriteClip* c, int to, int placedAt) {
    auto it = sprites_.find(std::make_tuple(static_cast<const ClipHost*>(c->parent()),
                                            c->rawDepth(), c->characterId(), c->placedAt()));
    if (it == sprites_.end()) return;
    auto node = sprites_.extract(it);
    node.key() =
        std::make_tuple(static_cast<const ClipHost*>(c->parent()), to, c->characterId(), placedAt);
    // A clip that left the same place before and is not swept yet: it goes now.
    if (auto old = sprites_.find(node.key()); old != sprites_.end()) {
        std::unique_ptr<SpriteClip> gone = std::move(old->second);
        sprites_.erase(old);
        std::erase(execOrder_, gone.get());
        std::erase_if(pendingSprites_, [&](const auto& p) { return p.first == gone.get(); });
        retire(std::move(gone));
    }
    c->relocate(to, placedAt);
    sprites_.insert(std::move(node));
}

void ScriptRunner::retire(std::unique_ptr<SpriteClip> owned) {
    SpriteClip* c = owned.get();
    c->alive = false;
    if (vm_->textFields) vm_->textFields->parentGone(c);
    buttonParentGone(*vm_, c);
    loadTargetGone(*vm_, c);
    if (c->scriptObject) {
        c->scriptObject->clipPath = vm_->targetPath(c);
        c->scriptObject->clip = nullptr;
    }
    c->scriptObject = nullptr;
    gone_.push_back(std::move(owned));
}

void ScriptRunner::settleRemoved() {
    std::vector<SpriteClip*> moved;
    for (auto& [key, c] : sprites_) {
        if (!c->alive || c->removed || c->object()) continue;
        DisplayList* l = listOf(c->parent());
        if (!l) continue;
        auto it = l->objects.find(removedDepth(c->rawDepth()));
        if (it != l->objects.end() && it->second.removed &&
            it->second.characterId == c->characterId() && it->second.placedAt == c->placedAt())
            moved.push_back(c.get());
    }
    for (SpriteClip* c : moved) {
        rekey(c, removedDepth(c->rawDepth()), c->placedAt());
        c->removed = true;
    }
    for (SpriteClip* c : moved) pruneSilent(c);
}

void ScriptRunner::pruneSilent(SpriteClip* clip, int nesting) {
    if (hearsUnload(clip, nesting)) {
        for (ClipHost* k : instancesOf(clip)) pruneSilent(static_cast<SpriteClip*>(k), nesting + 1);
    } else if (DisplayList* l = listOf(clip->parent()); l && clip->object()) {
        l->objects.erase(clip->rawDepth());
    }
}

bool ScriptRunner::hearsUnload(SpriteClip* clip, int nesting) {
    if (nesting > 64) return false;
    for (const auto& [ev, code] : clip->events)
        if (ev & kEventUnload) return true;
    if (clip->scriptObject) {
        bool found = false;
        vm_->enter([&] {
            const Value fn = vm_->getMethod(clip->scriptObject, "onUnload");
            found = fn.isObject() && fn.o->fn;
        });
        if (found) return true;
    }
    for (ClipHost* k : instancesOf(clip))
        if (hearsUnload(static_cast<SpriteClip*>(k), nesting + 1)) return true;
    return false;
}

void ScriptRunner::runUnload(SpriteClip* clip) {
    if (!clip->alive) return;
    fireEvents(clip, kEventUnload);
    callHandler(clip, "onUnload");
}

void ScriptRunner::moveClip(SpriteClip* clip, int depth) {
    if (&clip->runner() != this) return clip->runner().moveClip(clip, depth);
    DisplayList* l = listOf(clip->parent());
    if (!l || !clip->object() || clip->rawDepth() == depth) return;
    const int old = clip->rawDepth();
    SpriteClip* other = clipAt(clip->parent(), depth);
    auto mine = l->objects.extract(old);
    auto theirs = l->objects.extract(depth);
    const int minePlaced = nextScripted_--;
    rekey(clip, depth, minePlaced);
    mine.key() = depth;
    mine.mapped().depth = depth;
    mine.mapped().placedAt = minePlaced;
    l->objects.insert(std::move(mine));
    if (!theirs.empty()) {
        const int theirPlaced = nextScripted_--;
        if (other) rekey(other, old, theirPlaced);
        theirs.key() = old;
        theirs.mapped().depth = old;
        theirs.mapped().placedAt = theirPlaced;
        l->objects.insert(std::move(theirs));
    }
}

void ScriptRunner::movieLoadedInto(ClipHost* clip) {
    auto* s = dynamic_cast<SpriteClip*>(clip);
    if (s && &s->runner() == this && s->object()) fireEvents(s, kEventLoad);
}

void ScriptRunner::fireEvents(SpriteClip* clip, uint32_t bits) {
    for (const auto& [ev, code] : clip->events)
        if (ev & bits) vm_->runActions(code, clip);
}

void ScriptRunner::constructNew(ClipHost* parent, int nesting, bool thenDrain) {
    if (nesting > 64) return;
    // Every new clip's initialize handlers first, then their construct handlers.
    std::vector<SpriteClip*> fresh;
    collectUnconstructed(parent, fresh, nesting);
    // A registered class lends its prototype first and runs its constructor with the
    // construct handlers.
    std::vector<Object*> classes(fresh.size(), nullptr);
    for (size_t i = 0; i < fresh.size(); ++i)
        if (fresh[i]->object()) {
            classes[i] = adoptClass(*vm_, movie_, *fresh[i]);
            fireEvents(fresh[i], kEventInitialize);
        }
    for (size_t i = 0; i < fresh.size(); ++i)
        if (fresh[i]->object()) {
            fireEvents(fresh[i], kEventConstruct);
            if (classes[i]) constructAs(*vm_, classes[i], *fresh[i]);
        }
    if (thenDrain) drain();
}

void ScriptRunner::collectUnconstructed(ClipHost* parent, std::vector<SpriteClip*>& out,
                                        int nesting) {
    if (nesting > 64 || out.size() > 100000) return;
    for (ClipHost* c : instancesOf(parent)) {
        auto* s = static_cast<SpriteClip*>(c);
        if (s->lastFrame >= 0 || s->constructed) continue;
        s->constructed = true;
        out.push_back(s);
        collectUnconstructed(s, out, nesting + 1);
    }
    for (ClipHost* b : buttonChildren(*vm_, parent)) collectUnconstructed(b, out, nesting + 1);
}

std::unordered_set<const SpriteClip*> ScriptRunner::placedAhead(ClipHost* parent, uint16_t timeline,
                                                                int frame, size_t action) {
    std::unordered_set<const SpriteClip*> out;
    auto it = index_.placedBeforeActions.find({timeline, frame});
    if (it == index_.placedBeforeActions.end()) return out;
    for (ClipHost* c : instancesOf(parent)) {
        auto* s = static_cast<SpriteClip*>(c);
        if (s->lastFrame < 0 && s->placedAt() == frame &&
            std::any_of(it->second.begin(), it->second.end(), [&](const auto& p) {
                return p.first == s->rawDepth() && p.second <= action;
            }))
            out.insert(s);
    }
    return out;
}

void ScriptRunner::runInTagOrder(std::span<const std::span<const uint8_t>> lists, ClipHost* clip,
                                 uint16_t timeline, int frame, int nesting) {
    if (!index_.placedBeforeActions.contains({timeline, frame})) {
        vm_->runFrameActions(lists, clip);
        return;
    }
    vm_->runFrameActions(lists, clip, [&](size_t i) {
        if (const auto ahead = placedAhead(clip, timeline, frame, i); !ahead.empty())
            placeNew(clip, nesting + 1, &ahead);
    });
}

void ScriptRunner::placeNew(ClipHost* parent, int nesting,
                            const std::unordered_set<const SpriteClip*>* only) {
    if (nesting > 64) return;
    std::vector<SpriteClip*> fresh;
    for (ClipHost* c : instancesOf(parent)) {
        auto* s = static_cast<SpriteClip*>(c);
        if (s->lastFrame < 0 && (!only || only->contains(s))) fresh.push_back(s);
    }
    // Clips start in the order their frames placed them, whatever their depths.
    auto order = [](const SpriteClip* c) {
        const DisplayObject* o = c->object();
        return std::make_pair(c->placedAt(), o ? o->placedOrder : 0);
    };
    std::stable_sort(fresh.begin(), fresh.end(),
                     [&](const SpriteClip* a, const SpriteClip* b) { return order(a) < order(b); });
    for (SpriteClip* s : fresh) {
        if (!s->object()) continue;
        execOrder_.push_back(s);
        s->lastFrame = s->currentFrame();
        if (!s->constructed) {
            s->constructed = true;
            Object* cls = adoptClass(*vm_, movie_, *s);
            fireEvents(s, kEventInitialize);
            fireEvents(s, kEventConstruct);
            if (cls) constructAs(*vm_, cls, *s);
        }
        fireEvents(s, kEventLoad);
        // A class's onLoad answers; one the parent's frame script sets comes too late, unless
        // the clip has clip events of its own, whose load waits for the frame script.
        if (s->scriptObject &&
            (!s->events.empty() || !s->scriptObject->findOwn(vm_->key("onLoad"))))
            callHandler(s, "onLoad");
        if (s->movedBeforeStart && s->currentFrame() != 0) {
            s->movedBeforeStart = false;
            for (auto code : spriteActions(s->characterId(), 0)) vm_->runActions(code, s);
            drain();
            if (!s->object()) continue;
        }
        if (const auto ahead = placedAhead(s, s->characterId(), s->currentFrame()); !ahead.empty())
            placeNew(s, nesting + 1, &ahead);
        if (!s->object()) continue;
        runSpriteFrame(s, -1, nesting);
        drain();
        placeNew(s, nesting + 1);
    }
    // Clips in the states buttons show start as any others.
    if (!only)
        for (ClipHost* b : buttonChildren(*vm_, parent)) placeNew(b, nesting + 1);
}

void ScriptRunner::sweep(bool withEvents, bool thenDrain, const std::vector<int>* early) {
    settleRemoved();
    auto nesting = [](const SpriteClip* c) {
        int n = 0;
        for (ClipHost* p = c->parent(); p && n < 256; p = p->parent()) ++n;
        return n;
    };
    // Clips kept below zero, and everything in them, hear their unload once; going without
    // events, they go at once.
    std::vector<SpriteClip*> kept;
    std::vector<SpriteClip*> roots;
    for (auto& [key, c] : sprites_)
        if (c->alive && c->removed && !c->unloadHeard) roots.push_back(c.get());
    for (SpriteClip* c : roots) {
        if (early && c->parent() == this &&
            std::find(early->begin(), early->end(), removedDepth(c->rawDepth())) == early->end())
            continue;
        if (!withEvents) {
            if (DisplayList* l = listOf(c->parent()); l && c->object())
                l->objects.erase(c->rawDepth());
            continue;
        }
        std::vector<SpriteClip*> below{c};
        for (size_t i = 0; i < below.size() && below.size() < 100000; ++i)
            for (ClipHost* k : instancesOf(below[i])) below.push_back(static_cast<SpriteClip*>(k));
        for (SpriteClip* k : below)
            if (!k->unloadHeard && k->lastFrame >= 0) kept.push_back(k);
        for (SpriteClip* k : below) k->unloadHeard = true;
    }
    // Taken out first: an onUnload that removes another clip runs this pass again inside
    // itself, and that pass must find only the clips that left since.
    std::vector<std::unique_ptr<SpriteClip>> dead;
    for (auto it = sprites_.begin(); it != sprites_.end();) {
        if (it->second->object()) {
            ++it;
            continue;
        }
        dead.push_back(std::move(it->second));
        it = sprites_.erase(it);
    }
    if (dead.empty() && kept.empty()) return;
    // Children hear of it before their parents (siblings by depth), not in the order the
    // clips happen to lie in memory.
    std::stable_sort(dead.begin(), dead.end(), [&](const auto& a, const auto& b) {
        return nesting(a.get()) > nesting(b.get());
    });
    // Siblings by the depths they left.
    auto left = [](const SpriteClip* c) {
        return c->removed ? removedDepth(c->rawDepth()) : c->rawDepth();
    };
    std::stable_sort(kept.begin(), kept.end(), [&](const SpriteClip* a, const SpriteClip* b) {
        const int na = nesting(a), nb = nesting(b);
        return na != nb ? na > nb : left(a) < left(b);
    });
    for (SpriteClip* c : kept) {
        if (thenDrain)
            runUnload(c);
        else
            pendingSprites_.push_back({c, kUnloadEvent});
    }
    // Out of the running order at once: erasing clip by clip costs the square of the clips
    // when a movie removes thousands in one frame.
    std::unordered_set<const SpriteClip*> leaving;
    for (const auto& owned : dead) leaving.insert(owned.get());
    std::erase_if(execOrder_, [&](const SpriteClip* c) { return leaving.contains(c); });
    std::erase_if(pendingSprites_, [&](const auto& p) { return leaving.contains(p.first); });
    for (auto& owned : dead) {
        SpriteClip* c = owned.get();
        if (withEvents && c->lastFrame >= 0 && !c->unloadHeard) {
            // Handlers see their clip still alive, and found by its name, while they run.
            unloading_.push_back(c);
            fireEvents(c, kEventUnload);
            callHandler(c, "onUnload");
            std::erase(unloading_, c);
        }
        retire(std::move(owned));
    }
    if (thenDrain) drain();
}

bool ScriptRunner::leaving(const SpriteClip* clip) const {
    int guard = 0;
    for (const auto* s = clip; s && guard < 256;
         s = dynamic_cast<const SpriteClip*>(s->parent()), ++guard)
        if (s->removed) return true;
    return false;
}

// Clips already on stage, newest first: the actions of a frame their timeline moved to, then
// whatever they placed.
void ScriptRunner::runSprites() {
    const std::vector<SpriteClip*> order(execOrder_.rbegin(), execOrder_.rend());
    for (SpriteClip* c : order) {
        if (!c->alive || !c->object() || leaving(c)) continue;
        constructNew(c);
        if (c->currentFrame() != c->lastFrame) runSpriteFrame(c);
        drain();
        placeNew(c);
    }
}

}  // namespace swf::avm1
