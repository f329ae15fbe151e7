// Mouse and keyboard events: buttons and their states, clips acting as buttons, clip events,
// listeners and the Key object.

#include "engine/avm1/input_events.h"

#include <algorithm>
#include <cmath>

#include "engine/avm1/button_object.h"
#include "engine/avm1/clip.h"
#include "engine/avm1/focus.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/text_input.h"
#include "engine/avm1/vm.h"
#include "engine/format/bit_reader.h"
#include "engine/format/container.h"
#include "engine/format/tags.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/drawing.h"
#include "engine/runtime/instances.h"
#include "engine/runtime/movie.h"
#include "engine/runtime/shape_geometry.h"
#include "engine/runtime/text_field_view.h"

namespace swf::avm1 {

namespace {

constexpr uint16_t kDefineButton = 7, kDefineButton2 = 34, kDefineSprite = 39;

// Clip event bits (SWF 6 layout) for the mouse and keys.
constexpr uint32_t kEvMouseMove = 0x08, kEvMouseDown = 0x10, kEvMouseUp = 0x20, kEvKeyDown = 0x40,
                   kEvKeyUp = 0x80;

QTransform toQt(const format::Matrix& m) { return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty); }

// The end of a DefineButton record list (records end with a 0 flags byte).
size_t skipButtonRecords(format::BitReader& r, bool v2) {
    for (int guard = 0; guard < 65536 && !r.overrun(); ++guard) {
        const uint8_t flags = r.u8();
        if (flags == 0) break;
        r.u16();
        r.u16();
        (void)format::readMatrix(r);
        if (v2) {
            (void)format::readCxform(r, true);
            if (flags & 0x10) {
                const uint8_t n = r.u8();
                // Filters have their own lengths; a list we cannot walk ends the scan.
                (void)n;
                return SIZE_MAX;
            }
            if (flags & 0x20) r.u8();
        }
    }
    return r.overrun() ? SIZE_MAX : r.pos();
}

void scanButtons(std::span<const uint8_t> data, std::map<uint16_t, std::vector<ButtonAction>>& out,
                 int depth) {
    format::TagReader tags(data);
    format::Tag tag;
    while (tags.next(tag)) {
        const auto body = tag.body;
        if (tag.code == kDefineButton2 && body.size() >= 5) {
            const uint16_t id = static_cast<uint16_t>(body[0] | (body[1] << 8));
            const size_t first = static_cast<size_t>(body[3] | (body[4] << 8));
            if (first == 0) continue;
            size_t at = 3 + first;
            for (int guard = 0; guard < 4096 && at + 4 <= body.size(); ++guard) {
                const size_t size = body[at] | (body[at + 1] << 8);
                const uint16_t cond = static_cast<uint16_t>(body[at + 2] | (body[at + 3] << 8));
                const size_t end = size ? std::min(at + size, body.size()) : body.size();
                if (end < at + 4) break;
                out[id].push_back({cond, body.subspan(at + 4, end - at - 4)});
                if (size == 0) break;
                at += size;
            }
        } else if (tag.code == kDefineButton && body.size() >= 3) {
            const uint16_t id = static_cast<uint16_t>(body[0] | (body[1] << 8));
            format::BitReader r(body.subspan(2));
            const size_t end = skipButtonRecords(r, false);
            if (end == SIZE_MAX || 2 + end >= body.size()) continue;
            out[id].push_back({kOverDownToOverUp, body.subspan(2 + end)});
        } else if (tag.code == kDefineSprite && depth == 0 && body.size() > 4) {
            scanButtons(body.subspan(4), out, depth + 1);
        }
    }
}

// Button key codes of CondKeyPress: special keys have small numbers, the rest are characters.
int buttonKeyFor(int flashCode, char32_t ch) {
    switch (flashCode) {
        case 37:
            return 1;
        case 39:
            return 2;
        case 36:
            return 3;
        case 35:
            return 4;
        case 45:
            return 5;
        case 46:
            return 6;
        case 8:
            return 8;
        case 13:
            return 13;
        case 38:
            return 14;
        case 40:
            return 15;
        case 33:
            return 16;
        case 34:
            return 17;
        case 9:
            return 18;
        case 27:
            return 19;
        default:
            return ch >= 32 && ch < 128 ? static_cast<int>(ch) : 0;
    }
}

// Runs a script call within the frame's time allowance; failures end only that call.
void safely(Vm& vm, const std::function<void()>& fn) { vm.enter(fn); }

}  // namespace

std::map<uint16_t, std::vector<ButtonAction>> indexButtonActions(const Movie& movie) {
    std::map<uint16_t, std::vector<ButtonAction>> out;
    std::span<const uint8_t> data(movie.data);
    size_t offset = 0;
    try {
        offset = format::readMovieHeader(data).tagsOffset;
    } catch (const format::FormatError&) {
        return out;
    }
    if (offset > data.size()) return out;
    scanButtons(data.subspan(offset), out, 0);
    return out;
}

// ---------------------------------------------------------------- the Key object

void installInputBuiltins(Vm& vm) {
    auto state = std::make_shared<InputState>();
    vm.input = state;
    InputState* s = state.get();
    installFocusBuiltins(vm);
    installButtonBuiltins(vm);
    Value key = vm.get(vm.global, "Key");
    if (!key.isObject()) return;
    vm.defineMethod(key.o, "isDown", [s](Vm& vm, Object*, Args& a) -> Value {
        const double c = vm.toNumber(arg(a, 0));
        return Value(!std::isnan(c) && s->keysDown.contains(static_cast<int>(c)));
    });
    // Caps Lock, Num Lock and Scroll Lock switch on and off with each press.
    vm.defineMethod(key.o, "isToggled", [s](Vm& vm, Object*, Args& a) -> Value {
        const double c = vm.toNumber(arg(a, 0));
        return Value(!std::isnan(c) && s->toggled.contains(static_cast<int>(c)));
    });
    vm.defineMethod(key.o, "getCode",
                    [s](Vm&, Object*, Args&) -> Value { return Value(s->lastCode); });
    vm.defineMethod(key.o, "getAscii",
                    [s](Vm&, Object*, Args&) -> Value { return Value(s->lastAscii); });
    vm.addFlagsToAll(key.o, DontEnum | DontDelete | ReadOnly);
}

double mouseLocal(Vm& vm, ClipHost* clip, bool x) {
    if (!vm.input) return 0;
    QTransform world;
    int guard = 0;
    for (ClipHost* c = clip; c && guard < 256; c = c->parent(), ++guard) {
        if (c == vm.root_) world = world * rootTransform(vm);
        if (auto* s = dynamic_cast<SpriteClip*>(c))
            if (DisplayObject* o = s->object()) {
                // Inside a clip with a scroll rectangle, points are moved by its corner.
                if (o->scrollRect)
                    world = world * QTransform::fromTranslate(-o->scrollRect->x, -o->scrollRect->y);
                world = world * toQt(o->matrix);
            }
    }
    // The clip as the window shows it (in the window's twips), placed on whole window pixels;
    // the mouse goes back from where it is in the window.
    const InputState& in = *vm.input;
    const double k = in.windowScale;
    const QPointF at(in.windowX * 20, in.windowY * 20);
    const QTransform window(k, 0, 0, k, at.x() - in.mouseX * k, at.y() - in.mouseY * k);
    const QTransform shown = world * window;
    auto whole = [](double tw) { return std::nearbyint(tw / 20) * 20; };
    bool ok = false;
    const QTransform inv = placementInverse(
        QTransform(shown.m11(), shown.m12(), shown.m21(), shown.m22(), whole(shown.dx()),
                   whole(shown.dy())),
        &ok);
    // A clip flattened to nothing has no way back: the window's pixels are read as its twips.
    if (!ok) return (x ? in.windowX : in.windowY) / 20.0;
    const QPointF p = inv.map(at);
    return std::round(x ? p.x() : p.y()) / 20.0;
}

// ---------------------------------------------------------------- the router

InputRouter::InputRouter(const Movie& movie, std::function<DisplayList*()> rootList,
                         ScriptRunner* scripts, Sound sound)
    : movie_(movie),
      rootList_(std::move(rootList)),
      scripts_(scripts),
      sound_(std::move(sound)),
      actions_(indexButtonActions(movie)) {
    if (scripts_ && scripts_->vm().input)
        scripts_->vm().input->flushRolls = [this] { flushRolls(); };
    flushRolls();  // those the first frame's scripts left
}

InputRouter::~InputRouter() {
    if (scripts_ && scripts_->vm().input) scripts_->vm().input->flushRolls = nullptr;
}

QPainterPath InputRouter::outline(uint16_t characterId, int nesting) {
    QPainterPath out;
    if (nesting > 16) return out;
    const Character* ch = movie_.character(characterId);
    if (!ch) return out;
    auto rect = [&](const format::Rect& r) {
        QPainterPath p;
        p.addRect(QRectF(r.xMin, r.yMin, r.xMax - r.xMin, r.yMax - r.yMin));
        return p;
    };
    if (const auto* sc = std::get_if<ShapeCharacter>(ch)) {
        const auto& built = sc->get();
        bool filled = false;
        for (const auto& layer : built.geometry.layers)
            for (const auto& f : layer.fills) {
                out.addPath(f.path);
                filled = true;
            }
        if (!filled) out = rect(built.shape.bounds);
    } else if (const auto* mc = std::get_if<MorphCharacter>(ch)) {
        out = rect(mc->get().startBounds);
    } else if (const auto* tc = std::get_if<TextCharacter>(ch)) {
        out = toQt(tc->get().matrix).map(rect(tc->get().bounds));
    } else if (const auto* ec = std::get_if<EditTextCharacter>(ch)) {
        out = rect(ec->text.bounds);
    } else if (const auto* sp = std::get_if<SpriteCharacter>(ch)) {
        DisplayList first;
        if (!sp->timeline.frames.empty()) applyFrame(first, movie_, sp->timeline.frames[0], 0);
        for (const auto& [d, o] : first.objects)
            if (!o.clipDepth) out.addPath(toQt(o.matrix).map(outline(o.characterId, nesting + 1)));
    } else if (const auto* bc = std::get_if<ButtonCharacter>(ch)) {
        for (const auto& rec : bc->button.records)
            if (rec.hitTest)
                out.addPath(toQt(rec.matrix).map(outline(rec.characterId, nesting + 1)));
    }
    out.setFillRule(Qt::WindingFill);
    return out;
}

QPainterPath InputRouter::liveOutline(const DisplayList& list, int nesting) {
    QPainterPath out;
    if (nesting > 32) return out;
    if (list.drawing && !list.drawing->empty())
        for (const auto& layer : list.drawing->geometry()->layers)
            for (const auto& f : layer.fills) out.addPath(f.path);
    for (const auto& [d, o] : list.objects) {
        if (o.clipDepth || !o.visible) continue;
        QPainterPath part;
        if (o.textField) {
            const auto& b = o.textField->field.bounds;
            part.addRect(QRectF(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin));
        } else if (o.sprite) {
            part = liveOutline(o.sprite->list, nesting + 1);
        } else if (const Character* ch = movie_.character(o.characterId);
                   ch && std::holds_alternative<MorphCharacter>(*ch)) {
            // A morph is hit where its shape is at its ratio now.
            const auto& morph = std::get<MorphCharacter>(*ch).get();
            const ShapeGeometry g = buildShapeGeometry(format::interpolateMorph(morph, o.ratio / 65535.0));
            for (const auto& layer : g.layers)
                for (const auto& f : layer.fills) part.addPath(f.path);
            part.setFillRule(Qt::WindingFill);
        } else {
            part = outline(o.characterId, nesting + 1);
        }
        out.addPath(toQt(o.matrix).map(part));
    }
    out.setFillRule(Qt::WindingFill);
    return out;
}

const QPainterPath& InputRouter::hitArea(uint16_t buttonId) {
    auto it = hitAreas_.find(buttonId);
    if (it != hitAreas_.end()) return it->second;
    return hitAreas_.emplace(buttonId, outline(buttonId, 0)).first->second;
}

ClipHost* InputRouter::buttonTimeline(ClipHost* timeline, const DisplayObject& o) {
    return scripts_ ? buttonAt(scripts_->vm(), timeline ? timeline : scripts_, o) : nullptr;
}

std::map<const DisplayObject*, ClipHost*> InputRouter::clipsOf(ClipHost* timeline) {
    std::map<const DisplayObject*, ClipHost*> clips;
    if (scripts_ && timeline)
        for (ClipHost* c : scripts_->instancesOf(timeline))
            if (auto* s = dynamic_cast<SpriteClip*>(c))
                if (DisplayObject* o = s->object()) clips[o] = c;
    return clips;
}

std::optional<InputRouter::Target> InputRouter::current(const Target& t) {
    DisplayList* root = t.valid() ? rootList_() : nullptr;
    if (!root) return std::nullopt;
    struct Level {
        DisplayList* list;
        ClipHost* timeline;
        int nesting;
    };
    std::vector<Level> work{{root, scripts_, 0}};
    while (!work.empty()) {
        const Level l = work.back();
        work.pop_back();
        const auto clips = clipsOf(l.timeline);
        if (l.list == t.list) {
            auto it = l.list->objects.find(t.depth);
            if (it == l.list->objects.end() || it->second.characterId != t.characterId ||
                it->second.placedAt != t.placedAt)
                return std::nullopt;
            Target now = t;
            now.timeline = l.timeline;
            if (t.isClip) {
                auto c = clips.find(&it->second);
                if (c == clips.end()) return std::nullopt;
                now.timeline = c->second;
            }
            return now;
        }
        if (l.nesting >= 64) continue;
        for (auto& [depth, o] : l.list->objects) {
            if (!o.sprite) continue;
            auto c = clips.find(&o);
            const Character* ch = movie_.character(o.characterId);
            ClipHost* inner = c != clips.end() ? c->second
                              : ch && std::holds_alternative<ButtonCharacter>(*ch)
                                  ? buttonTimeline(l.timeline, o)
                                  : nullptr;
            work.push_back({&o.sprite->list, inner, l.nesting + 1});
        }
    }
    return std::nullopt;
}

void InputRouter::collect(std::vector<Found>& out, DisplayList& list, ClipHost* timeline,
                          const QTransform& world, int nesting) {
    if (nesting > 64) return;
    const auto clips = clipsOf(timeline);
    for (auto& [depth, o] : list.objects) {
        if (!o.visible || o.clipDepth) continue;
        const QTransform w = toQt(o.matrix) * world;
        const Character* ch = movie_.character(o.characterId);
        // A clip a script made empty has no character but takes clicks like any other.
        if ((!ch && !o.sprite) || o.textField) continue;
        if (ch && std::holds_alternative<ButtonCharacter>(*ch)) {
            Found f;
            f.target = Target{&list, o.depth, o.characterId, o.placedAt, false, timeline};
            f.object = &o;
            f.world = w;
            out.push_back(f);
            // Buttons inside a button take the mouse over it, in its name.
            if (o.sprite) collect(out, o.sprite->list, buttonTimeline(timeline, o), w, nesting + 1);
        } else if ((!ch || std::holds_alternative<SpriteCharacter>(*ch)) && o.sprite) {
            auto it = clips.find(&o);
            ClipHost* clip = it != clips.end() ? it->second : nullptr;
            if (clip && clip->scriptObject && scripts_) {
                Vm& vm = scripts_->vm();
                bool handles = false;
                for (const char* h : {"onPress", "onRelease", "onReleaseOutside", "onRollOver",
                                      "onRollOut", "onDragOver", "onDragOut"})
                    handles = handles || vm.getMethod(clip->scriptObject, h).isObject();
                if (handles) {
                    Found f;
                    f.target = Target{&list, o.depth, o.characterId, o.placedAt, true, clip};
                    f.object = &o;
                    f.world = w;
                    out.push_back(f);
                    continue;  // a clip button takes the clicks of what is inside it
                }
            }
            // A scroll rectangle moves what is inside the clip.
            const QTransform inner =
                o.scrollRect ? QTransform::fromTranslate(-o.scrollRect->x, -o.scrollRect->y) * w
                             : w;
            collect(out, o.sprite->list, clip, inner, nesting + 1);
        }
    }
}

Object* InputRouter::objectOf(const Target& target) {
    const auto t = scripts_ ? current(target) : std::nullopt;
    if (!t) return nullptr;
    return objectOfLive(*t);
}

Object* InputRouter::objectOfLive(const Target& t) {
    if (t.isClip) return t.timeline ? t.timeline->scriptObject : nullptr;
    auto o = t.list->objects.find(t.depth);
    if (o == t.list->objects.end()) return nullptr;
    ButtonHost* b = buttonAt(scripts_->vm(), t.timeline ? t.timeline : scripts_, o->second);
    return b ? b->scriptObject : nullptr;
}

bool InputRouter::tracksAsMenu(const Target& t) {
    Object* o = objectOf(t);
    if (!o) return false;
    Vm& vm = scripts_->vm();
    Value v;
    safely(vm, [&] { v = vm.get(o, "trackAsMenu"); });
    return vm.toBoolean(v);
}

bool InputRouter::enabled(const Target& t) {
    Object* o = objectOf(t);
    if (!o) return true;
    Vm& vm = scripts_->vm();
    Value v;
    safely(vm, [&] { v = vm.get(o, "enabled"); });
    // Only a value that says no turns it off; undefined leaves it on.
    return v.isUndefined() || vm.toBoolean(v);
}

InputRouter::Target InputRouter::pick(double x, double y, std::vector<Found>* all) {
    std::vector<Found> found;
    const QTransform stage = scripts_ ? rootTransform(scripts_->vm()) : QTransform();
    if (DisplayList* root = rootList_()) collect(found, *root, scripts_, stage, 0);
    Target hit;
    const QPointF p(x, y);
    for (const Found& f : found) {
        bool invertible = false;
        const QTransform inv = f.world.inverted(&invertible);
        if (!invertible) continue;
        QPointF local = inv.map(p);
        // A clip with a scroll rectangle takes the mouse only inside it.
        if (const auto& r = f.object->scrollRect) {
            if (!QRectF(0, 0, r->width, r->height).contains(local)) continue;
            local += QPointF(r->x, r->y);
        }
        const bool inside = f.target.isClip ? liveOutline(f.object->sprite->list, 0).contains(local)
                                            : hitArea(f.target.characterId).contains(local);
        if (inside) hit = f.target;  // later ones are drawn on top
    }
    // A disabled button or clip takes no mouse.
    if (hit.valid() && !enabled(hit)) hit = Target{};
    if (all) *all = std::move(found);
    return hit;
}

void InputRouter::setState(const Target& t, State s) {
    if (!t.valid() || t.isClip) return;
    shown_[{t.list, t.depth, t.characterId, t.placedAt}] = Shown{s, nullptr};
}

// Shows each button's state: its up, over or down records (up is how buttons start).
void InputRouter::applyStates(std::vector<Found>& all) {
    for (Found& f : all) {
        if (f.target.isClip || !f.object->sprite) continue;
        auto it =
            shown_.find({f.target.list, f.target.depth, f.target.characterId, f.target.placedAt});
        if (it == shown_.end() || it->second.applied == f.object->sprite.get()) continue;
        const Character* ch = movie_.character(f.target.characterId);
        const auto* b = ch ? std::get_if<ButtonCharacter>(ch) : nullptr;
        if (!b) continue;
        const State want = it->second.state;
        SpriteState& st = *f.object->sprite;
        DisplayList fresh;
        for (const auto& rec : b->button.records) {
            const bool on = want == State::Up ? rec.up : want == State::Over ? rec.over : rec.down;
            if (!on) continue;
            format::PlaceObject p;
            p.version = 3;
            p.depth = rec.depth;
            p.characterId = rec.characterId;
            p.matrix = rec.matrix;
            p.cxform = b->cxform ? *b->cxform : rec.cxform;
            if (rec.blendMode) p.blendMode = rec.blendMode;
            p.filters = rec.filters;
            fresh.apply(p, 0);
        }
        InstanceContext ctx{movie_};
        carryStates(st.list, fresh, ctx);
        st.list = std::move(fresh);
        it->second.applied = f.object->sprite.get();
    }
}

void InputRouter::showStates() {
    std::vector<Found> all;
    if (DisplayList* root = rootList_()) collect(all, *root, scripts_, QTransform(), 0);
    applyStates(all);
}

namespace {
// The script handler of a button condition (onPress ...), or null.
const char* handlerFor(uint16_t condition) {
    switch (condition) {
        case kIdleToOverUp:
            return "onRollOver";
        case kOverUpToIdle:
            return "onRollOut";
        case kOverUpToOverDown:
            return "onPress";
        case kOverDownToOverUp:
            return "onRelease";
        case kOverDownToOutDown:
            return "onDragOut";
        case kOutDownToOverDown:
            return "onDragOver";
        case kOutDownToIdle:
            return "onReleaseOutside";
        case kIdleToOverDown:
            return "onDragOver";
        case kOverDownToIdle:
            return "onDragOut";
        default:
            return nullptr;
    }
}
}  // namespace

bool InputRouter::fire(const Target& wanted, uint16_t condition, int key) {
    // Each handler may take the button, its timeline or both off the stage: look again.
    const Target target = wanted;
    auto t = scripts_ ? current(target) : std::nullopt;
    if (!t || !enabled(*t)) return false;
    Vm& vm = scripts_->vm();
    const char* method = key ? nullptr : handlerFor(condition);
    if (t->isClip) {
        Object* o = t->timeline ? t->timeline->scriptObject : nullptr;
        if (!o || !method) return false;
        scripts_->dispatch([&] { safely(vm, [&] { vm.callHandler(o, method); }); });
        return true;
    }
    // A button's handlers see it in the state the event took it to.
    showStates();
    bool any = false;
    if (auto it = actions_.find(t->characterId); it != actions_.end()) {
        for (const ButtonAction& a : it->second) {
            const bool match =
                key ? (a.conditions >> 9) == key : (a.conditions & 0x1ff & condition) != 0;
            if (!match) continue;
            if (any && !(t = current(target))) return true;
            ClipHost* parent = t->timeline ? t->timeline : scripts_;
            scripts_->dispatch([&] { vm.runActions(a.code, parent); });
            any = true;
        }
    }
    // Then the handler a script gave the button's object.
    if (method && (!any || (t = current(target)))) {
        Object* o = objectOfLive(*t);
        if (o) scripts_->dispatch([&] { safely(vm, [&] { vm.callHandler(o, method); }); });
    }
    return any;
}

void InputRouter::broadcast(const char* listenerMethod, uint32_t eventBit, const char* method,
                            std::vector<Value> listenerArgs) {
    if (!scripts_) return;
    Vm& vm = scripts_->vm();
    scripts_->dispatch([&] {
        // Clip events and handlers of every clip, children before their parents.
        std::vector<ClipHost*> work{scripts_};
        for (size_t i = 0; i < work.size() && i < 100000; ++i)
            for (ClipHost* c : vm.childrenOf(work[i])) work.push_back(c);
        for (auto it = work.rbegin(); it != work.rend(); ++it) {
            ClipHost* c = *it;
            if (auto* s = dynamic_cast<SpriteClip*>(c)) {
                const auto events = s->events;
                for (const auto& [ev, code] : events)
                    if (ev & eventBit) vm.runActions(code, s);
            }
            if (method && c->scriptObject && c->scriptObject->cls == ObjClass::MovieClip) {
                Object* o = c->scriptObject;
                safely(vm, [&] { vm.callHandler(o, method); });
            }
        }
        // Then the listeners of Mouse or Key.
        const bool isKey = eventBit == kEvKeyDown || eventBit == kEvKeyUp;
        Value source = vm.get(vm.global, isKey ? "Key" : "Mouse");
        if (!source.isObject()) return;
        Value listeners;
        safely(vm, [&] { listeners = vm.get(source, "_listeners"); });
        if (!listeners.isObject() || listeners.o->cls != ObjClass::Array) return;
        // Listeners added while broadcasting wait for the next event; removed clips hear none.
        const std::vector<Value> copy = listeners.o->elems;
        for (const Value& l : copy) {
            if (!l.isObject()) continue;
            if ((l.o->cls == ObjClass::MovieClip || l.o->cls == ObjClass::TextField) && !l.o->clip)
                continue;
            safely(vm, [&] { vm.callMethod(l, listenerMethod, listenerArgs); });
        }
    });
}

void InputRouter::transition(const Target& from, const Target& to) {
    if (from == to) return;
    // A disabled button hears nothing and keeps the look it had when the mouse leaves it.
    if (from.valid() && enabled(from)) {
        fire(from, kOverUpToIdle);
        setState(from, State::Up);
        if (!from.isClip) sound_(from.characterId, ButtonTransition::OverToUp);
    }
    if (to.valid()) {
        setState(to, State::Over);
        if (!to.isClip) sound_(to.characterId, ButtonTransition::UpToOver);
        fire(to, kIdleToOverUp);
    }
}

void InputRouter::mouseMove(double x, double y) {
    const bool moved = x != x_ || y != y_;
    x_ = x;
    y_ = y;
    if (scripts_ && scripts_->vm().input) {
        InputState& s = *scripts_->vm().input;
        s.mouseX = x;
        s.mouseY = y;
        // The keys stop going to the focus until Tab or setFocus, and its highlight rolls out.
        s.keyboardFocus = false;
    }
    const Target now = pick(x, y);
    Target before = hover_;
    if (moved) {
        tabbedAway_ = false;
        // What the highlight is on stays over when the mouse comes onto it.
        Object* under = now.valid() ? objectOf(now) : nullptr;
        const Value f = scripts_ ? focusedObject(scripts_->vm()) : Value();
        const bool onFocus = under && f.isObject() && f.o == under && scripts_->vm().input &&
                             scripts_->vm().input->highlight;
        dropHighlight(under);
        if (onFocus && !down_) before = now;
    }
    hover_ = now;
    if (down_) {
        if (pressed_.valid()) {
            // A pressed button follows the mouse out and back in; a menu item lets the press
            // go as the mouse leaves it.
            const bool wasOver = before == pressed_;
            const bool isOver = now == pressed_;
            if (wasOver && !isOver && tracksAsMenu(pressed_)) {
                fire(pressed_, kOverDownToIdle);
                setState(pressed_, State::Up);
                pressed_ = Target{};
            } else if (wasOver && !isOver) {
                fire(pressed_, kOverDownToOutDown);
                setState(pressed_, State::Over);
            } else if (!wasOver && isOver) {
                fire(pressed_, kOutDownToOverDown);
                setState(pressed_, State::Down);
            }
        }
        // A menu item the held mouse enters takes the press.
        if (!pressed_.valid() && now.valid() && !(now == before) && tracksAsMenu(now)) {
            pressed_ = now;
            setState(now, State::Down);
            fire(now, kIdleToOverDown);
        }
    } else {
        transition(before, now);
    }
    broadcast("onMouseMove", kEvMouseMove, "onMouseMove");
    refresh();
}

void InputRouter::mouseDown(double x, double y) {
    if (x != x_ || y != y_) mouseMove(x, y);
    down_ = true;
    if (scripts_ && scripts_->vm().input) {
        scripts_->vm().input->mouseDown = true;
        scripts_->vm().input->toggle(1);  // the left button's key code
    }
    if (scripts_) {
        // A click gives the focus to the text field under it, or takes it away.
        Vm& vm = scripts_->vm();
        scripts_->dispatch([&] {
            safely(vm, [&] {
                Object* field = selectableFieldAt(vm, x, y);
                giveFocus(vm, field ? Value(field) : Value::null(), FocusBy::Mouse);
                followLinkAt(vm, x, y);
            });
        });
    }
    pressed_ = hover_;
    // The clips and listeners hear of the press before the button under the mouse does.
    broadcast("onMouseDown", kEvMouseDown, "onMouseDown");
    if (pressed_.valid()) {
        setState(pressed_, State::Down);
        if (!pressed_.isClip) sound_(pressed_.characterId, ButtonTransition::OverToDown);
        fire(pressed_, kOverUpToOverDown);
    }
    refresh();
}

void InputRouter::dropHighlight(Object* keep) {
    if (!scripts_ || !scripts_->vm().input || !scripts_->vm().input->highlight) return;
    scripts_->vm().input->highlight = false;
    const Value f = focusedObject(scripts_->vm());
    if (f.isObject() && f.o != keep && (f.o->cls == ObjClass::MovieClip || buttonOf(f.o)))
        roll(f.o, false);
}

void InputRouter::mouseUp(double x, double y) {
    if (x != x_ || y != y_) mouseMove(x, y);
    if (scripts_ && scripts_->vm().input) scripts_->vm().input->keyboardFocus = false;
    dropHighlight();
    down_ = false;
    if (scripts_ && scripts_->vm().input) scripts_->vm().input->mouseDown = false;
    const Target released = pressed_;
    pressed_ = Target{};
    broadcast("onMouseUp", kEvMouseUp, "onMouseUp");
    if (released.valid()) {
        if (hover_ == released) {
            setState(released, State::Over);
            if (!released.isClip) sound_(released.characterId, ButtonTransition::DownToOver);
            fire(released, kOverDownToOverUp);
        } else {
            setState(released, State::Up);
            fire(released, kOutDownToIdle);
            // What the mouse is over now gets its roll-over.
            if (hover_.valid()) transition(Target{}, hover_);
        }
    }
    refresh();
}

void InputRouter::otherButton(int code, bool down) {
    if (!scripts_ || !scripts_->vm().input || (code != 2 && code != 4)) return;
    std::set<int>& keys = scripts_->vm().input->keysDown;
    if (down)
        keys.insert(code);
    else
        keys.erase(code);
}

// The focused clip hears its keys (text fields have their own events).
void InputRouter::tellFocused(const char* method) {
    if (!scripts_) return;
    Vm& vm = scripts_->vm();
    if (!vm.input || !vm.input->keyboardFocus) return;
    const Value f = focusedObject(vm);
    if (!f.isObject() || (f.o->cls != ObjClass::MovieClip && !buttonOf(f.o))) return;
    scripts_->dispatch([&] { safely(vm, [&] { vm.callHandler(f.o, method); }); });
}

// The rolls the keyboard's focus moves left waiting: buttons run their roll conditions, clips
// their onRollOver/onRollOut.
void InputRouter::flushRolls() {
    if (!scripts_) return;
    Vm& vm = scripts_->vm();
    for (const auto& [obj, over] : takeFocusRolls(vm)) roll(obj, over);
}

void InputRouter::roll(Object* obj, bool over) {
    if (!scripts_ || !obj) return;
    Vm& vm = scripts_->vm();
    {
        if (ButtonHost* b = buttonOf(obj)) {
            if (DisplayList* list = scripts_->listOf(b->parent()))
                fire(Target{list, b->depth(), b->characterId(), b->placedAt(), false, b->parent()},
                     over ? kIdleToOverUp : kOverUpToIdle);
        } else if (obj->cls == ObjClass::MovieClip && obj->clip) {
            scripts_->dispatch([&, obj = obj, over = over] {
                safely(vm, [&] { vm.callHandler(obj, over ? "onRollOver" : "onRollOut"); });
            });
        }
    }
}

void InputRouter::keyDown(int code, char32_t ch) {
    if (scripts_ && scripts_->vm().input) {
        InputState& s = *scripts_->vm().input;
        s.keysDown.insert(code);
        s.lastCode = code;
        s.lastAscii = static_cast<int>(ch);
        s.toggle(code);
    }
    flushRolls();
    tellFocused("onKeyDown");
    broadcast("onKeyDown", kEvKeyDown, nullptr);
    // Buttons listening for this key, wherever they are.
    bool taken = false;
    if (const int key = buttonKeyFor(code, ch)) {
        std::vector<Found> all;
        pick(x_, y_, &all);
        // The first button handling the key takes it.
        for (const Found& f : all)
            if (!f.target.isClip && fire(f.target, 0, key)) {
                taken = true;
                break;
            }
    }
    if (scripts_) {
        Vm& vm = scripts_->vm();
        if (taken) {
        } else if (code == 9) {
            // The keyboard takes the over state: what the mouse is over rolls out first.
            if (hover_.valid() && !down_) {
                transition(hover_, Target{});
                hover_ = Target{};
            }
            tabbedAway_ = true;
            const bool shift = vm.input && vm.input->keysDown.contains(16);
            scripts_->dispatch([&] { safely(vm, [&] { tabFocus(vm, shift); }); });
        } else if ((code == 13 || code == 32) && vm.input && vm.input->keyboardFocus) {
            // Enter and Space click the focused clip or button, while it shows its highlight.
            const Value f = focusedObject(vm);
            if (f.isObject() && !showsFocusRect(vm, f.o)) {
            } else if (ButtonHost* b = f.isObject() ? buttonOf(f.o) : nullptr) {
                DisplayList* list = scripts_->listOf(b->parent());
                if (list) {
                    const Target t{list,          b->depth(), b->characterId(),
                                   b->placedAt(), false,      b->parent()};
                    fire(t, kOverUpToOverDown);
                    fire(t, kOverDownToOverUp);
                }
            } else if (f.isObject() && f.o->cls == ObjClass::MovieClip) {
                scripts_->dispatch([&] {
                    safely(vm, [&] { vm.callHandler(f.o, "onPress"); });
                    safely(vm, [&] { vm.callHandler(f.o, "onRelease"); });
                });
            }
        }
    }
    refresh();
}

void InputRouter::keyUp(int code) {
    if (scripts_ && scripts_->vm().input) {
        InputState& s = *scripts_->vm().input;
        s.keysDown.erase(code);
        s.lastCode = code;
    }
    flushRolls();
    tellFocused("onKeyUp");
    broadcast("onKeyUp", kEvKeyUp, nullptr);
    refresh();
}

namespace {
// The focused text field's object, or null.
Object* focusedField(Vm& vm) {
    const Value f = focusedObject(vm);
    if (!f.isObject() || f.o->cls != ObjClass::TextField || buttonOf(f.o)) return nullptr;
    return f.o;
}
}  // namespace

void InputRouter::textInput(char32_t ch) {
    if (!scripts_) return;
    Vm& vm = scripts_->vm();
    if (Object* field = focusedField(vm))
        scripts_->dispatch([&] { safely(vm, [&] { typeInto(vm, field, ch); }); });
    refresh();
}

void InputRouter::compose(const std::u32string& text) {
    if (!scripts_) return;
    Vm& vm = scripts_->vm();
    if (Object* field = focusedField(vm))
        scripts_->dispatch([&] { safely(vm, [&] { composeInto(vm, field, text); }); });
    refresh();
}

void InputRouter::textCommand(TextCommand command) {
    if (!scripts_) return;
    Vm& vm = scripts_->vm();
    if (Object* field = focusedField(vm))
        scripts_->dispatch([&] { safely(vm, [&] { editField(vm, field, command, clipboard); }); });
    refresh();
}
void InputRouter::mouseWheel(int lines) {
    broadcast("onMouseWheel", 0, nullptr, {Value(double(lines))});
    refresh();
}

void InputRouter::windowFocus(bool focused) {
    if (focused || !scripts_) return;
    // Another window took the keyboard: the highlight rolls out and nothing keeps the focus.
    Vm& vm = scripts_->vm();
    if (vm.input) vm.input->keyboardFocus = false;
    dropHighlight();
    scripts_->dispatch([&] { safely(vm, [&] { giveFocus(vm, Value::null(), FocusBy::Mouse); }); });
}

void InputRouter::refresh() {
    flushRolls();
    if (x_ <= -1e9 && shown_.empty()) return;  // no mouse yet: nothing to follow
    std::vector<Found> all;
    const Target now = pick(x_, y_, &all);
    // A button disabled under a still mouse keeps the mouse until it moves.
    const bool keep =
        hover_.valid() && !now.valid() && !enabled(hover_) &&
        std::any_of(all.begin(), all.end(), [&](const Found& f) { return f.target == hover_; });
    if (!down_ && !(now == hover_) && !keep && !tabbedAway_) {
        const Target before = hover_;
        hover_ = now;
        transition(before, now);
        all.clear();
        pick(x_, y_, &all);
    }
    // Buttons that left the stage forget their state.
    std::erase_if(shown_, [&](const auto& kv) {
        for (const Found& f : all)
            if (std::make_tuple(f.target.list, f.target.depth, f.target.characterId,
                                f.target.placedAt) == kv.first)
                return false;
        return true;
    });
    applyStates(all);
}

}  // namespace swf::avm1
