#include "engine/player.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/avm1/focus.h"
#include "engine/avm1/input_events.h"
#include "engine/avm1/loaded_movie.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/vm.h"
#include "engine/media/mixer.h"
#include "engine/render/render_pool.h"
#include "engine/render/renderer.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/instances.h"
#include "engine/runtime/movie.h"

namespace swf {

class PlayerState {
public:
    explicit PlayerState(const Movie& movie)
        : movie(movie), total(static_cast<int>(movie.root.frames.size())) {
        enterFrame(0);
    }

    // Applies frame f's commands on top of the current list; new sprites start at their
    // first frame.
    void enterFrame(int f) {
        applyFrame(list, movie, movie.root.frames[f], f);
        frame = f;
        sound->frameEntered(f, false);
        InstanceContext ctx{movie};
        startInstances(list, ctx);
    }

    // One tick: running sprites advance, then the root moves on (looping at its end) unless
    // it is stopped; its children play on either way.
    void tick() {
        InstanceContext ctx{movie};
        tickInstances(list, ctx);
        if (!playing) return;
        // Past the frames the file holds the playhead waits; it loops only when the file
        // holds just the frames its header promised.
        const int have = std::clamp(movie.root.loaded, 1, total);
        if (frame + 1 < have)
            enterFrame(frame + 1);
        else if (have == std::max(1, movie.info.frameCount))
            seek(0);
    }

    // The state of frame n is the timeline replayed up to n: start from the latest kept list
    // at or before n when that saves work (always, going backwards), then apply in order.
    // Objects alive both before and after keep their sprite states.
    void seek(int target) {
        if (target == frame) return;
        const bool back = target < frame;
        const int interval = std::max(1, movie.limits.snapshotInterval);
        if (!back && target - frame <= interval) {
            // A short step forward: the commands alone, in place.
            for (int f = frame + 1; f <= target; ++f)
                applyFrame(list, movie, movie.root.frames[f], f);
            frame = target;
            InstanceContext ctx{movie};
            startInstances(list, ctx);
            sound->frameEntered(target, true);
            return;
        }
        const auto& snaps = movie.rootSnapshots();
        auto it = std::upper_bound(snaps.begin(), snaps.end(), target,
                                   [](int t, const TimelineSnapshot& s) { return t < s.frame; });
        const TimelineSnapshot* base = it == snaps.begin() ? nullptr : &*std::prev(it);
        InstanceContext ctx{movie};
        // A loop back to a kept frame where everything lives on (most looping movies): no
        // list is copied.
        if (back && base && base->frame == target && rewindInPlace(list, base->list, ctx)) {
            frame = target;
            sound->frameEntered(target, true);
            return;
        }
        DisplayList rebuilt;
        int at;
        if (!back && (!base || base->frame <= frame)) {
            // No kept list ahead of us: replay forward from here.
            rebuilt = stripped(list);
            at = frame;
        } else if (base) {
            rebuilt = base->list;
            at = base->frame;
        } else {
            applyFrame(rebuilt, movie, movie.root.frames[0], 0);
            at = 0;
        }
        for (int f = at + 1; f <= target; ++f) applyFrame(rebuilt, movie, movie.root.frames[f], f);
        carryStates(list, rebuilt, ctx, 0, back);
        list = std::move(rebuilt);
        frame = target;
        sound->frameEntered(target, true);
    }

    // The root objects without their sprite states (which carryStates moves over).
    static DisplayList stripped(const DisplayList& l) {
        DisplayList out;
        for (const auto& [d, o] : l.objects) {
            DisplayObject c;
            c.characterId = o.characterId;
            c.depth = o.depth;
            c.placedAt = o.placedAt;
            c.timelineMade = o.timelineMade;
            c.placedOrder = o.placedOrder;
            c.matrix = o.matrix;
            c.cxform = o.cxform;
            c.ratio = o.ratio;
            c.name = o.name;
            c.clipDepth = o.clipDepth;
            c.blendMode = o.blendMode;
            c.visible = o.visible;
            c.cacheAsBitmap = o.cacheAsBitmap;
            c.filters = o.filters;
            out.objects.emplace(d, std::move(c));
        }
        return out;
    }

    const Movie& movie;
    const int total;
    // Made before the first frame is entered, so that frame's sounds start.
    std::unique_ptr<media::SoundMixer> sound = std::make_unique<media::SoundMixer>(movie);
    DisplayList list;
    int frame = 0;
    bool playing = true;
    Quality quality = Quality::High;
    mutable render::StageCache drawn;  // drawing's memory: the last frame's tiles, layers
    std::function<void(std::string_view)> trace;
    std::unique_ptr<avm1::ScriptRunner> scripts;  // null for a movie without actions
    std::unique_ptr<avm1::InputRouter> input;     // mouse and keys to buttons and scripts
};

// The last net under the scripts: an abort, throw or failed allocation that got past their
// own guards ends the operation here, never the program.
template <class F>
void contained(PlayerState& s, F&& f) noexcept {
    try {
        f();
    } catch (const avm1::ScriptAbort& a) {
        if (s.scripts) s.scripts->log(a.reason);
    } catch (const avm1::ScriptThrow&) {
    } catch (const std::exception& e) {
        if (s.scripts) s.scripts->log(e.what());
    }
}

// Lets the scripts see where the root landed once a player operation is done.
struct ScriptSync {
    PlayerState& s;
    bool tick;
    ~ScriptSync() {
        contained(s, [&] {
            if (s.scripts) s.scripts->sync(tick);
        });
        s.sound->spritesChanged(s.list);  // sprites' frames, wherever scripts left them
    }
};

Player::Player(std::shared_ptr<const Movie> movie, PlayerStorage storage)
    : movie_(std::move(movie)) {
    if (!movie_) throw std::invalid_argument("swf::Player needs a movie");
    state_ = std::make_unique<PlayerState>(*movie_);
    PlayerState* s = state_.get();
    s->scripts = avm1::ScriptRunner::create(
        *movie_, {[s] { return s->frame; }, [s](int f) { s->seek(f); }, [s] { return s->playing; },
                  [s](bool p) { s->playing = p; }, [s] { return &s->list; }});
    if (s->scripts) s->scripts->mixer = s->sound.get();
    setSharedObjectFolder(std::move(storage.sharedObjectFolder), std::move(storage.movieKey));
    contained(*s, [s] {
        if (s->scripts) s->scripts->start();
    });
    s->sound->spritesChanged(s->list);
    s->input = std::make_unique<avm1::InputRouter>(
        *movie_, [s] { return &s->list; }, s->scripts.get(),
        [s](uint16_t id, ButtonTransition t) { s->sound->buttonChanged(id, t); });
}

Player::~Player() {
    // The movie goes away: what it kept in shared objects is written now.
    if (!state_ || !state_->scripts) return;
    avm1::Vm& vm = state_->scripts->vm();
    vm.enter([&] { avm1::flushSharedObjects(vm); });
}

void Player::setSharedObjectFolder(std::string folder, std::string movieKey) {
    if (!state_->scripts || !state_->scripts->vm().loads) return;
    avm1::Loads& l = *state_->scripts->vm().loads;
    l.sharedObjectFolder = std::move(folder);
    l.movieKey = std::move(movieKey);
}

bool Player::quitRequested() const {
    return state_->scripts && state_->scripts->vm().quitRequested;
}

const MovieInfo& Player::info() const { return movie_->info; }

void Player::advanceFrame() {
    if (state_->scripts) {
        state_->scripts->vm().beginFrame();
        contained(*state_, [&] { state_->scripts->dropRemoved(); });
    }
    {
        ScriptSync sync{*state_, true};
        state_->tick();
    }
    state_->list.settleBounds();
    if (state_->scripts) avm1::settleLoadedBounds(state_->scripts->vm());
    // What moved under a still mouse gets its roll-over or roll-out.
    if (state_->input) contained(*state_, [&] { state_->input->refresh(); });
}

void Player::play() {
    state_->playing = true;
    state_->sound->setPaused(false);
}
void Player::stop() {
    state_->playing = false;
    state_->sound->setPaused(true);
}
bool Player::isPlaying() const { return state_->playing; }

void Player::back() {
    ScriptSync sync{*state_, false};
    if (state_->frame > 0) state_->seek(state_->frame - 1);
    state_->playing = false;
}

void Player::forward() {
    ScriptSync sync{*state_, false};
    if (state_->frame + 1 < state_->total) state_->seek(state_->frame + 1);
    state_->playing = false;
}

void Player::rewind() {
    ScriptSync sync{*state_, false};
    state_->seek(0);
    state_->playing = false;
}

void Player::gotoFrame(int frame) {
    ScriptSync sync{*state_, false};
    state_->seek(std::clamp(frame, 0, state_->total - 1));
}

int Player::currentFrame() const { return state_->frame; }
int Player::totalFrames() const { return state_->total; }

const DisplayList& Player::displayList() const { return state_->list; }

void Player::mixAudio(std::span<int16_t> out) { state_->sound->mix(out, state_->playing); }
void Player::setVolume(double volume) { state_->sound->setVolume(volume); }
double Player::volume() const { return state_->sound->volume(); }
std::optional<int> Player::soundClockFrame(size_t lag) const {
    return state_->sound->streamFrame(lag);
}
void Player::buttonSound(uint16_t buttonId, ButtonTransition transition) {
    state_->sound->buttonChanged(buttonId, transition);
}
// Scripts may start sounds of files the movie loads.
bool Player::hasSound() const {
    return state_->sound->hasSound() || (state_->scripts && state_->scripts->hasScripts());
}

// Movies loaded into clips, then levels upwards, over the player's own.
static void renderLoadedMovies(QPainter& painter, const QRect& viewport, ScaleMode mode,
                               const Movie& main, PlayerState& state) {
    avm1::Vm& vm = state.scripts->vm();
    std::vector<const avm1::LoadedMovie*> movies = avm1::loadedMovies(vm);
    if (movies.empty()) return;
    std::stable_sort(movies.begin(), movies.end(), [](const auto* a, const auto* b) {
        return (a->into ? -1 : a->level) < (b->into ? -1 : b->level);
    });
    const QTransform stage =
        render::stageTransform(main.info, QRectF(viewport), mode) * painter.transform();
    const QRect device = painter.transform().mapRect(viewport);
    for (const avm1::LoadedMovie* m : movies) {
        if (!m->started) continue;
        const std::optional<QTransform> at = avm1::stagePlacement(vm, *m);
        if (!at) continue;
        const QTransform world = *at * stage;
        render::renderList(painter, device, world, *m->movie, m->list,
                           state.quality == Quality::High);
        if (!m->image.isNull()) {
            painter.save();
            painter.setClipRect(viewport);
            painter.setTransform(QTransform::fromScale(20, 20) * world);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, state.quality == Quality::High);
            painter.drawImage(QPointF(0, 0), m->image);
            painter.restore();
        }
    }
}

void Player::render(QPainter& painter, const QRect& viewport, ScaleMode mode,
                    std::optional<QColor> bg) const {
    const QColor fill = bg ? *bg : movie_->info.background.value_or(QColor(Qt::white));
    render::renderStage(painter, viewport, mode, fill, *movie_, state_->list,
                        state_->quality == Quality::High, &state_->drawn,
                        state_->scripts ? state_->scripts->rootPlacement() : nullptr);
    if (!state_->scripts) return;
    renderLoadedMovies(painter, viewport, mode, *movie_, *state_);
    if (const auto focus = avm1::focusHighlight(state_->scripts->vm()))
        render::drawFocusHighlight(painter, viewport, mode, movie_->info, *focus);
}

namespace {
double twips(double px) { return std::clamp(px * 20, -1e9, 1e9); }
}  // namespace

void Player::handleEvent(const InputEvent& e) {
    using T = InputEvent::Type;
    avm1::InputRouter& in = *state_->input;
    if (e.type <= T::MouseWheel && state_->scripts && state_->scripts->vm().input) {
        avm1::InputState& s = *state_->scripts->vm().input;
        s.windowX = std::isnan(e.windowX) ? e.x : e.windowX;
        s.windowY = std::isnan(e.windowY) ? e.y : e.windowY;
        s.windowScale = std::isfinite(e.windowScale) && e.windowScale > 0 ? e.windowScale : 1;
    }
    contained(*state_, [&] {
        switch (e.type) {
            case T::MouseMove:
                in.mouseMove(twips(e.x), twips(e.y));
                break;
            case T::MouseDown:
            case T::MouseUp:
                // Only the main button presses buttons; the others reach Key.isDown alone.
                if (e.button == 1) {
                    if (e.type == T::MouseDown)
                        in.mouseDown(twips(e.x), twips(e.y));
                    else
                        in.mouseUp(twips(e.x), twips(e.y));
                } else {
                    in.mouseMove(twips(e.x), twips(e.y));
                    in.otherButton(e.button, e.type == T::MouseDown);
                }
                break;
            case T::MouseWheel:
                in.mouseMove(twips(e.x), twips(e.y));
                if (e.delta) in.mouseWheel(e.delta);
                break;
            case T::KeyDown:
                in.keyDown(e.keyCode, e.character);
                break;
            case T::KeyUp:
                in.keyUp(e.keyCode);
                break;
            case T::Text:
                for (char32_t c : e.text) in.textInput(c);
                break;
            case T::Compose:
                in.compose(e.text);
                break;
            case T::Command:
                in.textCommand(e.command);
                break;
            case T::Clipboard:
                in.clipboard = e.clipboard;
                break;
            case T::FocusLost:
            case T::FocusGained:
                in.windowFocus(e.type == T::FocusGained);
                break;
        }
    });
}
std::string Player::clipboard() const { return state_->input->clipboard; }
bool Player::mouseOverButton() const { return state_->input->overButton(); }

QPointF Player::stagePoint(const QRect& viewport, ScaleMode mode, const QPointF& at) const {
    bool ok = false;
    const QTransform inv =
        render::stageTransform(movie_->info, QRectF(viewport), mode).inverted(&ok);
    if (!ok) return {};
    return inv.map(at) / 20.0;
}

std::optional<QRectF> Player::textInputRect(const QRect& viewport, ScaleMode mode) const {
    if (!state_->scripts) return std::nullopt;
    const auto box = avm1::focusedFieldBounds(state_->scripts->vm());
    if (!box) return std::nullopt;
    return render::stageTransform(movie_->info, QRectF(viewport), mode).mapRect(*box);
}

void Player::setQuality(Quality quality) { state_->quality = quality; }
Quality Player::quality() const { return state_->quality; }

void Player::setTraceSink(std::function<void(std::string_view)> sink) {
    state_->trace = sink;
    if (state_->scripts) state_->scripts->setTraceSink(std::move(sink));
}

void setRenderThreads(int threads) { render::setRenderThreadCount(threads); }

}  // namespace swf
