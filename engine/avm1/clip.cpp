// MovieClip: display properties, timeline methods, child names.

#include "engine/avm1/clip.h"

#include <cmath>

#include "engine/avm1/button_object.h"
#include "engine/avm1/clip_classes.h"
#include "engine/avm1/focus.h"
#include "engine/avm1/input_events.h"
#include "engine/avm1/loaded_movie.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/timeline_objects.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

constexpr const char* kPropNames[] = {
    "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
    "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
    "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
    "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
    "_xmouse",      "_ymouse"};
constexpr int kPropCount = 22;

// _quality's names, by the player's quality setting (Vm::quality).
constexpr const char* kQualityNames[] = {"LOW", "MEDIUM", "HIGH", "BEST"};

// A _quality name in any case; -1 for anything else.
int qualityIndex(std::string_view name) {
    const std::string u = asciiLower(name);
    for (int i = 0; i < 4; ++i)
        if (u == asciiLower(kQualityNames[i])) return i;
    return -1;
}

int propIndex(std::string_view name) {
    if (name.size() < 2 || name[0] != '_') return -1;
    const std::string l = asciiLower(name);
    for (int i = 0; i < kPropCount; ++i)
        if (l == kPropNames[i]) return i;
    return -1;
}

std::string slashPath(ClipHost* clip) {
    std::vector<std::string> parts;
    int guard = 0;
    for (ClipHost* c = clip; c && c->parent() && guard < 256; c = c->parent(), ++guard)
        parts.push_back(c->name());
    std::string out;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) out += "/" + *it;
    return out.empty() ? "/" : out;
}

// Values the host does not keep live on the script object under a hidden key.
std::string storeKey(int index) { return std::string("\x01") + kPropNames[index]; }

// Depths scripts may place clips at, as scripts count them.
constexpr double kMinDepth = -16384, kMaxDepth = 2130690044;
// removeMovieClip takes clips from these script depths only.
constexpr int kMaxRemovableDepth = 1048575;

// Depth arguments wrap to 32 bits before their range is checked.
bool depthOk(double d) {
    const int32_t i = toInt32(d);
    return i >= kMinDepth && i <= kMaxDepth;
}

// The player's timelines, when the VM runs inside one (tests may give it a bare host).
ScriptRunner* runnerOf(Vm& vm) { return dynamic_cast<ScriptRunner*>(&vm.host()); }

// A clip scripts may place children on through the player.
bool placeable(Vm& vm, ClipHost* c) {
    return runnerOf(vm) &&
           (c == vm.root_ || dynamic_cast<SpriteClip*>(c) || dynamic_cast<ScriptRunner*>(c));
}

}  // namespace

std::optional<int> frameArgument(Vm& vm, ClipHost*& clip, const Value& v) {
    if (v.isNumber()) {
        // Whole numbers wrap to 32 bits; anything else can only name a label.
        if (std::isfinite(v.n) && v.n == std::trunc(v.n))
            return static_cast<int>(int64_t{toInt32(v.n)} - 1);  // wraps as 32-bit numbers do
        if (!clip || std::isnan(v.n)) return std::nullopt;
        return clip->labelFrame(vm.toString(v));
    }
    const std::string text = vm.toString(v);
    std::string_view s = text;
    if (const auto colon = s.rfind(':'); colon != std::string_view::npos) {
        clip = vm.resolveTarget(s.substr(0, colon), clip);
        s = s.substr(colon + 1);
    }
    if (!clip) return std::nullopt;
    const double n = stringToNumber(s, 7);
    if (std::isfinite(n) && n == std::trunc(n)) return toInt32(n) - 1;
    return clip->labelFrame(s);
}

void gotoClipFrame(ClipHost* clip, int frame, bool play) {
    if (!clip) return;
    const int total = clip->totalFrames();
    if (total <= 0) return;
    if (frame < 0) return;  // no such frame: nothing happens, not even the stop
    // The root judges a frame past its end itself (it lands there without the frame's actions).
    const bool root = dynamic_cast<ScriptRunner*>(clip) != nullptr;
    clip->gotoFrame(root ? frame : std::min(frame, total - 1), play);
}

void cloneClip(Vm& vm, ClipHost* source, const std::string& name, double depth) {
    auto* s = dynamic_cast<SpriteClip*>(source);
    if (!s || !placeable(vm, s->parent()) || !depthOk(depth - 16384)) return;
    runnerOf(vm)->placeClip(s->parent(), s->characterId(), toInt32(depth - 16384) + 16384, name, s);
}

void removeScriptedClip(Vm& vm, ClipHost* clip) {
    if (!clip) return;
    if (isScriptClip(clip)) {
        dropLostFocus(vm, clip);
        vm.removeClip(clip);
    } else if (auto* s = dynamic_cast<SpriteClip*>(clip); s && runnerOf(vm)) {
        // Only what lives at a script's depths can go.
        const int d = s->rawDepth() - 16384;
        if (d < 0 || d > kMaxRemovableDepth) return;
        dropLostFocus(vm, clip);
        runnerOf(vm)->removeClip(s);
    }
}

Value clipGetIndex(Vm& vm, ClipHost* clip, int index) {
    if (!clip || index < 0 || index >= kPropCount) return {};
    switch (index) {
        case 4:
            if (auto* s = dynamic_cast<SpriteClip*>(clip); s && s->frameless()) return Value(0);
            return Value(clip->currentFrame() + 1);
        case 5:
            return Value(clip->totalFrames());
        case 12:
            return Value(clip->framesLoaded());
        case 13:
            return Value(clip->name());
        case 11:
            return Value(slashPath(clip));
        case 14:
            return Value("");
        case 15: {
            // The file the clip's movie came from; a movie given as bytes names none.
            const ScriptRunner* r = runnerFor(vm, clip);
            const std::string& url = r ? r->movie().limits.url : std::string();
            return Value(url.empty() ? std::string("file:///movie.swf") : url);
        }
        case 16:
            return Value(std::max(vm.quality - 1, 0));
        case 17:
            return focusRectOf(vm, clip);
        case 18:
            return Value(vm.soundBufTime);
        case 19:
            return Value(kQualityNames[vm.quality]);
        case 20:
        case 21:
            return Value(mouseLocal(vm, clip, index == 20));
        case 8:
        case 9:
            if (auto v = clipExtent(vm, clip, index == 8)) return Value(*v);
            break;
        default:
            break;
    }
    if (auto v = clip->property(index)) {
        if (index == 7) return Value(*v != 0);
        return Value(*v);
    }
    Object* o = vm.clipObject(clip);
    if (Property* p = o->findOwn(storeKey(index))) return p->value;
    switch (index) {
        case 2:
        case 3:
        case 6:
            return Value(100);
        case 7:
            return Value(true);
        default:
            return Value(0);
    }
}

void clipSetIndex(Vm& vm, ClipHost* clip, int index, const Value& v) {
    // The value is asked for its number or text even when there is no clip to set it on.
    if (index < 0 || index >= kPropCount) return;
    switch (index) {
        case 4:
        case 5:
        case 12:
        case 20:
        case 21:
            vm.toNumber(v);  // read-only, though a number is still asked of the value
            return;
        case 11:
        case 14:
        case 15:
            return;  // read-only
        case 13: {
            const std::string name = vm.toString(v);
            if (clip) clip->setName(name);
            return;
        }
        case 17:
            setFocusRect(vm, clip, v);
            return;
        case 19:
            if (const int q = qualityIndex(vm.toString(v)); clip && q >= 0) vm.quality = q;
            return;
        default:
            break;
    }
    // Only numbers set the rest: undefined and null leave them be, as NaN does (_visible too).
    if (v.isNullish()) return;
    double d = vm.toNumber(v);
    if (std::isnan(d) || !clip) return;
    if (index == 16) {
        vm.quality = std::trunc(d) == 0 ? 0 : d >= 2 ? 3 : 2;
        return;
    }
    if (index == 18) {
        vm.soundBufTime = truncOrLowest(d);
        return;
    }
    if (index == 7) d = d != 0 ? 1 : 0;
    if ((index == 8 || index == 9) && clipExtent(vm, clip, index == 8)) {
        setClipExtent(vm, clip, index == 8, d);
        return;
    }
    // Hiding what has the focus takes it away; hiding it again does nothing.
    const bool hides = index == 7 && d == 0 && clip->property(7).value_or(1) != 0;
    clip->setProperty(index, d);
    Object* o = vm.clipObject(clip);
    o->setOwn(storeKey(index), storeKey(index), index == 7 ? Value(d != 0) : Value(d), DontEnum);
    if (hides) dropLostFocus(vm, clip, false);
}

bool clipGet(Vm& vm, Object* obj, std::string_view name, Value& out) {
    ClipHost* clip = obj->clip;
    if (!clip || name.empty() || name[0] != '_') return false;
    const int idx = propIndex(name);
    if (idx >= 0) {
        out = clipGetIndex(vm, clip, idx);
        return true;
    }
    const std::string l = asciiLower(name);
    if (l == "_parent") {
        out = clip->parent() ? Value(vm.clipObject(clip->parent())) : Value();
        return true;
    }
    if (l == "_root") {
        out = Value(vm.clipObject(rootOf(vm, clip)));
        return true;
    }
    if (const int level = levelNumber(vm, name); level >= 0) {
        ClipHost* root = levelRoot(vm, level);
        out = root ? Value(vm.clipObject(root)) : Value();
        return root != nullptr || level == 0;
    }
    return false;
}

bool clipSet(Vm& vm, Object* obj, std::string_view name, const Value& v) {
    if (!obj->clip || name.empty() || name[0] != '_') return false;
    const int idx = propIndex(name);
    if (idx < 0) return false;
    clipSetIndex(vm, obj->clip, idx, v);
    return true;
}

bool clipHas(Vm& vm, Object* obj, std::string_view name) {
    if (!obj->clip) return false;
    if (propIndex(name) >= 0) return true;
    const std::string want = vm.key(name);
    for (ClipHost* c : vm.childrenOf(obj->clip))
        if (vm.key(c->name()) == want) return true;
    return namedVideo(vm, obj->clip, name) || holdsNamedShape(vm, obj->clip, name);
}

bool clipGetChild(Vm& vm, Object* obj, std::string_view name, Value& out) {
    if (!obj->clip) return false;
    const std::string want = vm.key(name);
    for (ClipHost* c : vm.childrenOf(obj->clip))
        if (vm.key(c->name()) == want) {
            // Before SWF 6 a text field is no object of its own: its name reaches its clip.
            const bool field = dynamic_cast<TextFieldHost*>(c) != nullptr;
            out = Value(field && vm.version() < 6 ? obj : vm.clipObject(c));
            return true;
        }
    if (Object* video = namedVideo(vm, obj->clip, name)) {
        out = Value(video);
        return true;
    }
    // A named shape is no clip of its own: scripts reach the clip holding it.
    if (holdsNamedShape(vm, obj->clip, name)) {
        out = Value(obj);
        return true;
    }
    return false;
}

void installClipBuiltins(Vm& vm) {
    Object* mp = vm.clipProto;
    Object* ctor = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, mp);
    vm.defineValue(vm.global, "MovieClip", ctor);
    auto clipOf = [](Object* self) -> ClipHost* {
        return self && self->cls == ObjClass::MovieClip ? self->clip : nullptr;
    };
    vm.defineMethod(mp, "play", [clipOf](Vm&, Object* self, Args&) -> Value {
        if (ClipHost* c = clipOf(self)) c->play();
        return {};
    });
    vm.defineMethod(mp, "stop", [clipOf](Vm&, Object* self, Args&) -> Value {
        if (ClipHost* c = clipOf(self)) c->stop();
        return {};
    });
    vm.defineMethod(mp, "nextFrame", [clipOf](Vm&, Object* self, Args&) -> Value {
        if (ClipHost* c = clipOf(self)) gotoClipFrame(c, c->currentFrame() + 1, false);
        return {};
    });
    vm.defineMethod(mp, "prevFrame", [clipOf](Vm&, Object* self, Args&) -> Value {
        if (ClipHost* c = clipOf(self)) gotoClipFrame(c, c->currentFrame() - 1, false);
        return {};
    });
    vm.defineMethod(mp, "gotoAndPlay", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        if (ClipHost* c = clipOf(self))
            if (auto f = frameArgument(vm, c, arg(a, 0))) gotoClipFrame(c, *f, true);
        return {};
    });
    vm.defineMethod(mp, "gotoAndStop", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        if (ClipHost* c = clipOf(self))
            if (auto f = frameArgument(vm, c, arg(a, 0))) gotoClipFrame(c, *f, false);
        return {};
    });
    vm.defineMethod(mp, "getDepth", [clipOf](Vm&, Object* self, Args&) -> Value {
        if (ClipHost* c = clipOf(self)) return Value(c->depth() - 16384);
        return {};
    });
    vm.defineMethod(mp, "getNextHighestDepth", [clipOf](Vm& vm, Object* self, Args&) -> Value {
        ClipHost* c = clipOf(self);
        if (!c) return {};
        int hi = -1;
        for (ClipHost* k : vm.childrenOf(c)) hi = std::max(hi, k->depth() - 16384);
        return Value(hi + 1);
    });
    // The version of the movie whose timeline the clip (or text field) is part of; a loaded
    // movie's clips answer with their own file's. Anything else: -1.
    vm.defineMethod(mp, "getSWFVersion", [](Vm& vm, Object* self, Args&) -> Value {
        const bool onStage =
            self && (self->cls == ObjClass::MovieClip || self->cls == ObjClass::TextField);
        ClipHost* c = onStage ? self->clip : nullptr;
        if (!c) return Value(-1);
        ScriptRunner* r = runnerFor(vm, shownClip(vm, c));
        return r ? Value(r->movie().info.version) : Value(vm.version());
    });
    vm.defineMethod(mp, "getBytesLoaded", [clipOf](Vm&, Object* self, Args&) -> Value {
        return clipOf(self) ? Value(1000) : Value();
    });
    vm.defineMethod(mp, "getBytesTotal", [clipOf](Vm&, Object* self, Args&) -> Value {
        return clipOf(self) ? Value(1000) : Value();
    });
    auto makeClip = [clipOf](Vm& vm, Object* self, const Value& name, const Value& depth,
                             uint16_t characterId = 0) -> Value {
        ClipHost* parent = clipOf(self);
        if (!parent) return {};
        const double d = vm.toNumber(depth);
        if (placeable(vm, parent)) {
            if (!depthOk(d)) return {};
            SpriteClip* c =
                runnerOf(vm)->placeClip(parent, characterId, toInt32(d) + 16384, vm.toString(name));
            return c ? Value(vm.clipObject(c)) : Value();
        }
        ClipHost* c = vm.createClip(parent, vm.toString(name), toInt32(d));
        return c ? Value(vm.clipObject(c)) : Value();
    };
    vm.defineMethod(mp, "createEmptyMovieClip", [makeClip](Vm& vm, Object* self, Args& a) -> Value {
        if (a.size() < 2 || a[0].isUndefined()) return {};
        Value made = makeClip(vm, self, a[0], a[1]);
        // The new clip hears onConstruct (usually from MovieClip.prototype) as it is made.
        if (made.isObject())
            if (Value fn = vm.get(made.o, "onConstruct"); fn.isObject() && fn.o->fn)
                vm.call(fn, made.o, {});
        return made;
    });
    vm.defineMethod(mp, "attachMovie", [makeClip, clipOf](Vm& vm, Object* self, Args& a) -> Value {
        if (a.size() < 3) return {};
        uint16_t id = 0;
        if (ScriptRunner* r = runnerFor(vm, self ? self->clip : nullptr)) {
            id = r->exportedId(vm.toString(a[0]));
            if (!id) return {};
            // A library button is placed as a button: no class, no initial properties.
            if (const Character* ch = r->movie().character(id);
                ch && std::holds_alternative<ButtonCharacter>(*ch)) {
                ClipHost* parent = clipOf(self);
                const double d = vm.toNumber(a[2]);
                if (!parent || !placeable(vm, parent) || !depthOk(d)) return {};
                ButtonHost* b = r->placeButton(parent, id, toInt32(d) + 16384, vm.toString(a[1]));
                return b ? Value(vm.clipObject(b)) : Value();
            }
        }
        Value made = makeClip(vm, self, a[1], a[2], id);
        if (!made.isObject()) return made;
        // A class registered for the symbol becomes the clip's prototype and constructor.
        // Classes belong to the symbol, so one registered under another export name of the
        // same symbol counts too.
        Value cls;
        if (Object* named = registeredClass(vm, vm.toString(a[0]), vm.activeVersion()))
            cls = Value(named);
        if (!(cls.isObject() && cls.o->fn) && id)
            if (auto* sprite = dynamic_cast<SpriteClip*>(made.o->clip))
                if (ScriptRunner* r = runnerFor(vm, self ? self->clip : nullptr))
                    if (Object* byId = registeredClass(vm, r->movie(), *sprite)) cls = Value(byId);
        if (cls.isObject() && cls.o->fn) {
            Value proto = vm.get(cls.o, "prototype");
            if (proto.isObject()) made.o->setProto(proto.o);
        }
        if (arg(a, 3).isObject())
            for (const auto& n : vm.enumerate(a[3].o)) vm.set(made.o, n, vm.getHidden(a[3].o, n));
        if (cls.isObject() && cls.o->fn) {
            vm.markConstructed(made.o, cls.o);
            vm.call(cls, made.o, {});
        }
        // The clips its first frame holds are built right after it, before the script goes on.
        if (ClipHost* c = made.o->clip) runnerFor(vm, c)->constructChildren(c);
        return made;
    });
    vm.defineMethod(mp, "duplicateMovieClip", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* c = clipOf(self);
        if (!c || !c->parent() || a.size() < 2) return {};
        const std::string name = vm.toString(a[0]);  // the name is read before the depth
        const double d = vm.toNumber(a[1]);
        ClipHost* dup = nullptr;
        if (auto* s = dynamic_cast<SpriteClip*>(c); s && placeable(vm, c->parent())) {
            if (!depthOk(d)) return {};
            dup =
                runnerOf(vm)->placeClip(c->parent(), s->characterId(), toInt32(d) + 16384, name, s);
        } else {
            dup = vm.createClip(c->parent(), name, toInt32(d));
        }
        if (!dup) return {};
        Object* o = vm.clipObject(dup);
        if (arg(a, 2).isObject())
            for (const auto& n : vm.enumerate(a[2].o)) vm.set(o, n, vm.getHidden(a[2].o, n));
        return Value(o);
    });
    vm.defineMethod(mp, "removeMovieClip", [clipOf](Vm& vm, Object* self, Args&) -> Value {
        removeScriptedClip(vm, clipOf(self));
        return {};
    });
    vm.defineMethod(mp, "swapDepths", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* c = clipOf(self);
        if (!c || a.empty()) return {};
        const Value& t = a[0];
        if (auto* s = dynamic_cast<SpriteClip*>(c); s && runnerOf(vm)) {
            ScriptRunner* r = runnerOf(vm);
            if (t.isObject() && t.o->cls == ObjClass::MovieClip) {
                auto* other = dynamic_cast<SpriteClip*>(t.o->clip);
                if (other && other->parent() == s->parent()) r->moveClip(s, other->rawDepth());
            } else {
                const double d = vm.toNumber(t);
                if (depthOk(d)) r->moveClip(s, toInt32(d) + 16384);
            }
            return {};
        }
        if (auto* r = dynamic_cast<ScriptRunner*>(c); r && !r->standIn()) {
            if (const double d = vm.toNumber(t); !t.isObject() && depthOk(d))
                r->setLevelDepth(toInt32(d) + 16384);
            return {};
        }
        if (!isScriptClip(c)) return {};
        if (t.isObject() && t.o->cls == ObjClass::MovieClip && t.o->clip &&
            isScriptClip(t.o->clip)) {
            const int mine = c->depth() - 16384, theirs = t.o->clip->depth() - 16384;
            setScriptClipDepth(c, theirs);
            setScriptClipDepth(t.o->clip, mine);
        } else {
            const double d = vm.toNumber(t);
            if (!std::isnan(d)) setScriptClipDepth(c, static_cast<int>(d));
        }
        return {};
    });
    // The mask is kept by the depths leading to it, since display lists are copied as the
    // movie plays; the mask clip itself is then not drawn.
    vm.defineMethod(mp, "setMask", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        auto* target = dynamic_cast<SpriteClip*>(clipOf(self));
        DisplayObject* t = target ? target->object() : nullptr;
        if (!t || a.empty()) return {};
        // A clip or a text field masks; its display object, or null when it is neither.
        auto objectOf = [](ClipHost* h) -> DisplayObject* {
            if (auto* s = dynamic_cast<SpriteClip*>(h)) return s->object();
            if (auto* f = dynamic_cast<TextFieldHost*>(h)) return f->object();
            return nullptr;
        };
        // A created field draws from its own copy: hand the change on at once.
        auto setMasking = [&](ClipHost* h, bool on) {
            if (DisplayObject* o = objectOf(h)) o->masking = on;
            if (auto* f = dynamic_cast<TextFieldHost*>(h)) f->publish();
        };
        // A mask given by path (or number) is looked up from the clip's parent; a missing one
        // changes nothing. A timeline mask cannot itself be masked.
        ClipHost* mask = nullptr;
        const Value& given = a[0];
        if (given.isObject() &&
            (given.o->cls == ObjClass::MovieClip || given.o->cls == ObjClass::TextField)) {
            mask = objectOf(given.o->clip) ? given.o->clip : nullptr;
        } else if (!given.isNull() && !given.isUndefined()) {
            ClipHost* base = target->parent() ? target->parent() : target;
            mask = vm.resolveTarget(vm.toString(given), base);
            if (!objectOf(mask)) return Value(false);
        }
        if (t->clipDepth > 0) return Value(true);
        constexpr std::string_view kMask = "\001mask";
        if (Property* old = self->findAny(kMask)) {
            if (old->value.isObject()) setMasking(old->value.o->clip, false);
            self->setOwn(kMask, kMask, Value(), DontEnum);
        }
        t->maskBy.clear();
        DisplayObject* m = mask && mask != target ? objectOf(mask) : nullptr;
        if (!m) return Value(true);
        if (mask->parent() == target->parent()) {
            t->maskBy = {m->depth};
            t->maskSibling = true;
        } else {
            // Depths from the main movie's root down; elsewhere only a mask beside the clip.
            std::vector<int> path{m->depth};
            ClipHost* at = mask->parent();
            while (auto* s = dynamic_cast<SpriteClip*>(at)) {
                if (path.size() > 256) return Value(false);
                path.push_back(s->rawDepth());
                at = s->parent();
            }
            if (!at || at != vm.root()) return Value(false);
            t->maskBy.assign(path.rbegin(), path.rend());
            t->maskSibling = false;
        }
        setMasking(mask, true);
        self->setOwn(kMask, kMask, Value(vm.clipObject(mask)), DontEnum);
        return Value(true);
    });
    vm.defineMethod(mp, "getInstanceAtDepth", [clipOf](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* c = clipOf(self);
        if (!c || a.empty() || a[0].isUndefined()) return {};
        // Any other depth counts as a whole number; one that is not a number reads as 0.
        const double d = toInt32(vm.toNumber(a[0]));
        for (ClipHost* k : vm.childrenOf(c))
            if (k->depth() - 16384 == d) return Value(vm.clipObject(k));
        if (std::abs(d) < 1e9 && d == std::trunc(d) && holdsShapeAt(c, static_cast<int>(d) + 16384))
            return Value(vm.clipObject(c));
        return {};
    });
    installClipBoundsBuiltins(vm);
    installDrawingBuiltins(vm);
    vm.defineMethod(mp, "getURL", [](Vm& vm, Object*, Args& a) -> Value {
        const std::string url = vm.toString(arg(a, 0)), target = vm.toString(arg(a, 1));
        openUrl(vm, url, target);
        return {};
    });
}

void hideNewerClipMethods(Vm& vm) {
    // What Flash 6 and later added to MovieClip: a SWF 5 movie does not see it. It does see
    // createTextField.
    static constexpr const char* kLater[] = {"attachAudio",
                                             "attachBitmap",
                                             "beginBitmapFill",
                                             "beginFill",
                                             "beginGradientFill",
                                             "clear",
                                             "createEmptyMovieClip",
                                             "curveTo",
                                             "endFill",
                                             "getDepth",
                                             "getNextHighestDepth",
                                             "getRect",
                                             "getTextSnapshot",
                                             "lineGradientStyle",
                                             "lineStyle",
                                             "lineTo",
                                             "moveTo",
                                             "setMask"};
    for (const char* m : kLater) vm.addFlags(vm.clipProto, m, From6);
    vm.addFlags(vm.clipProto, "getInstanceAtDepth", From7);  // Flash 7's
}

}  // namespace swf::avm1
