// Keyboard focus and the Tab order.

#include "engine/avm1/focus.h"

#include <QRectF>
#include <QTransform>
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

#include "engine/avm1/button_object.h"
#include "engine/avm1/clip.h"
#include "engine/avm1/input_events.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/text_input.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"
#include "engine/runtime/text_field_view.h"

namespace swf::avm1 {

namespace {

constexpr std::string_view kFocus = "\001focus";
constexpr int kVisibleProp = 7;
constexpr int kMaxNesting = 64;
constexpr size_t kMaxCandidates = 100000;

const char* const kButtonHandlers[] = {"onPress",   "onRelease",  "onReleaseOutside", "onRollOver",
                                       "onRollOut", "onDragOver", "onDragOut"};

QTransform toQt(const format::Matrix& m) { return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty); }

QRectF rectOf(const format::Rect& r) {
    return QRectF(r.xMin, r.yMin, r.xMax - r.xMin, r.yMax - r.yMin);
}

// What a display list draws, in its own twips.
QRectF listBounds(const Movie& movie, const DisplayList& list, int nesting);

QRectF objectBounds(const Movie& movie, const DisplayObject& o, int nesting) {
    if (o.textField) return rectOf(o.textField->field.bounds);
    if (o.sprite) return listBounds(movie, o.sprite->list, nesting + 1);
    const Character* ch = movie.character(o.characterId);
    if (!ch) return {};
    if (const auto* sc = std::get_if<ShapeCharacter>(ch)) return rectOf(sc->get().shape.bounds);
    if (const auto* mc = std::get_if<MorphCharacter>(ch)) return rectOf(mc->get().startBounds);
    if (const auto* tc = std::get_if<TextCharacter>(ch))
        return toQt(tc->get().matrix).mapRect(rectOf(tc->get().bounds));
    if (const auto* ec = std::get_if<EditTextCharacter>(ch)) return rectOf(ec->text.bounds);
    return {};
}

QRectF listBounds(const Movie& movie, const DisplayList& list, int nesting) {
    QRectF out;
    if (nesting > kMaxNesting) return out;
    for (const auto& [d, o] : list.objects) {
        if (o.clipDepth) continue;
        const QRectF b = toQt(o.matrix).mapRect(objectBounds(movie, o, nesting));
        if (b.isNull()) continue;
        out = out.isNull() ? b : out.united(b);
    }
    return out;
}

// Places compare in whole twips, as the player keeps them.
QPointF corner(const QRectF& r) { return QPointF(std::round(r.left()), std::round(r.top())); }

struct Candidate {
    Object* obj;
    QPointF at;  // top left corner on the stage, twips
    Value tabIndex;
};

bool isTrue(const Value& v) { return v.isBool() && v.b; }
bool isFalse(const Value& v) { return v.isBool() && !v.b; }

bool actsAsButton(Vm& vm, Object* o) {
    for (const char* h : kButtonHandlers)
        if (vm.getMethod(o, h).isObject()) return true;
    return false;
}

struct Walker {
    Vm& vm;
    const Movie& movie;
    std::vector<Candidate> out;

    void walk(ClipHost* parent, const QTransform& world, int nesting) {
        if (nesting > kMaxNesting || out.size() >= kMaxCandidates) return;
        std::vector<ClipHost*> kids = vm.childrenOf(parent);
        std::stable_sort(kids.begin(), kids.end(),
                         [](ClipHost* a, ClipHost* b) { return a->depth() < b->depth(); });
        for (ClipHost* c : kids) {
            if (const auto v = c->property(kVisibleProp); v && *v == 0) continue;
            if (auto* f = dynamic_cast<TextFieldHost*>(c)) {
                const DisplayObject* o = f->object();
                if (!o || !vm.textFields) continue;
                Object* obj = vm.textFields->objectFor(f);
                // Only fields one can type into take part, unless a script says no.
                if (f->def.readOnly || isFalse(vm.get(obj, "tabEnabled"))) continue;
                const QTransform w = toQt(o->matrix) * world;
                out.push_back(
                    {obj, corner(w.mapRect(rectOf(f->def.bounds))), vm.get(obj, "tabIndex")});
                continue;
            }
            if (auto* b = dynamic_cast<ButtonHost*>(c)) {
                const DisplayObject* o = b->object();
                Object* obj = b->scriptObject;
                if (!o || !obj || isFalse(vm.get(obj, "tabEnabled"))) continue;
                const QTransform w = toQt(o->matrix) * world;
                out.push_back(
                    {obj, corner(w.mapRect(objectBounds(movie, *o, 0))), vm.get(obj, "tabIndex")});
                continue;
            }
            auto* s = dynamic_cast<SpriteClip*>(c);
            const DisplayObject* o = s ? s->object() : nullptr;
            const QTransform w = o ? toQt(o->matrix) * world : world;
            Object* obj = vm.clipObject(c);
            if (!obj) continue;
            const Value enabled = vm.get(obj, "tabEnabled");
            const Value index = vm.get(obj, "tabIndex");
            // A clip given a tab index takes part unless it says no, as one acting as a button.
            if (isTrue(enabled) ||
                (!isFalse(enabled) && (index.isNumber() || actsAsButton(vm, obj)))) {
                QRectF b = o ? w.mapRect(objectBounds(movie, *o, 0)) : QRectF();
                out.push_back({obj, corner(b), index});
            }
            if (!isFalse(vm.get(obj, "tabChildren"))) walk(c, w, nesting + 1);
        }
    }
};

bool sameObject(const Value& v, Object* o) { return v.isObject() && v.o == o; }

}  // namespace

Value focusedObject(Vm& vm) {
    Property* p = vm.global->findAny(kFocus);
    if (!p || !p->value.isObject()) return Value::null();
    Object* o = p->value.o;
    if ((o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField) && !o->clip)
        return Value::null();
    return p->value;
}

namespace {
constexpr std::string_view kRolls = "\001focusRolls";

// The waiting rolls live in a hidden global array, so collection keeps their objects.
Object* rollQueue(Vm& vm) {
    Property* p = vm.global->findAny(kRolls);
    if (p && p->value.isObject() && p->value.o->cls == ObjClass::Array) return p->value.o;
    Object* a = vm.newArray();
    vm.global->setOwn(kRolls, kRolls, Value(a), DontEnum);
    if (Property* q = vm.global->findAny(kRolls)) q->hidden = true;
    return a;
}

bool rolls(Object* o) { return o->cls == ObjClass::MovieClip || buttonOf(o); }
}  // namespace

std::vector<std::pair<Object*, bool>> takeFocusRolls(Vm& vm) {
    std::vector<std::pair<Object*, bool>> out;
    Object* q = rollQueue(vm);
    for (size_t i = 0; i + 1 < q->elems.size(); i += 2)
        if (q->elems[i].isObject()) out.emplace_back(q->elems[i].o, vm.toBoolean(q->elems[i + 1]));
    q->elems.clear();
    return out;
}

void giveFocus(Vm& vm, Value target, FocusBy by) {
    const Value old = focusedObject(vm);
    Value now = target.isObject() ? target : Value::null();
    const bool highlighted = vm.input && vm.input->highlight;
    if (vm.input && by != FocusBy::Mouse) {
        vm.input->keyboardFocus = vm.input->highlight = true;
        // The setting as it is now rules until the focus moves again.
        vm.input->focusRect = now.isObject() && showsFocusRect(vm, now.o);
    }
    const bool same = vm.strictEquals(old, now);
    // A script focusing a field selects all of its text, even when it had the focus.
    auto selectAll = [&] {
        if (by != FocusBy::Script || !vm.input || !now.isObject() ||
            now.o->cls != ObjClass::TextField || buttonOf(now.o) ||
            !vm.strictEquals(focusedObject(vm), now))
            return;
        vm.input->selBegin = 0;
        vm.input->selEnd = static_cast<int>(
            std::min<size_t>(utf8Length(vm.toString(vm.get(now.o, "text"))), INT32_MAX));
    };
    // A script giving the focus, even to what has it, rolls the keyboard's focus out and over.
    if (by == FocusBy::Script || (by == FocusBy::Tab && !same)) {
        Object* q = rollQueue(vm);
        if (q->elems.size() < 4096) {
            // By Tab, what the mouse already rolled out does not roll out again.
            if (old.isObject() && rolls(old.o) && (by == FocusBy::Script || highlighted))
                q->elems.insert(q->elems.end(), {old, Value(false)});
            if (now.isObject() && rolls(now.o)) q->elems.insert(q->elems.end(), {now, Value(true)});
        }
        if (by == FocusBy::Tab && vm.input && vm.input->flushRolls) vm.input->flushRolls();
    }
    if (same) {
        selectAll();
        return;
    }
    // No selection while the handlers hear of the change.
    if (vm.input) vm.input->selBegin = vm.input->selEnd = -1;
    // What loses the focus hears of it while it still has it, its uncommitted text kept.
    if (old.isObject() && old.o->cls == ObjClass::TextField && !buttonOf(old.o))
        commitComposition(vm, old.o);
    if (vm.input) vm.input->composeLength = 0;
    if (old.isObject()) vm.callMethod(old, "onKillFocus", {now});
    vm.global->setOwn(kFocus, kFocus, now, DontEnum);
    if (Property* p = vm.global->findAny(kFocus)) p->hidden = true;
    if (now.isObject()) vm.callMethod(now, "onSetFocus", {old});
    Value sel = vm.get(vm.global, "Selection");
    if (sel.isObject()) vm.callMethod(sel, "broadcastMessage", {Value("onSetFocus"), old, now});
    // Then a field that kept the focus has its caret after its text.
    const Value f = focusedObject(vm);
    if (vm.input && vm.strictEquals(f, now) && now.isObject() &&
        now.o->cls == ObjClass::TextField && !buttonOf(now.o) &&
        vm.toBoolean(vm.get(now.o, "selectable"))) {
        const int n = static_cast<int>(
            std::min<size_t>(utf8Length(vm.toString(vm.get(now.o, "text"))), INT32_MAX));
        vm.input->selBegin = vm.input->selEnd = n;
    }
    selectAll();
}

void dropLostFocus(Vm& vm, ClipHost* leaving, bool within) {
    Property* p = vm.global->findAny(kFocus);
    if (!p || !p->value.isObject()) return;
    const Value old = p->value;
    Object* o = old.o;
    if (o->cls != ObjClass::MovieClip && o->cls != ObjClass::TextField) return;
    bool lost = !o->clip;
    if (!lost) {
        if (auto* b = dynamic_cast<ButtonHost*>(o->clip)) lost = !b->object();
        int n = 0;
        for (ClipHost* c = o->clip; leaving && c && !lost && n < 10000; c = c->parent(), ++n) {
            lost = c == leaving;
            if (!within) break;
        }
    }
    if (!lost) return;
    if (vm.input) {
        vm.input->selBegin = vm.input->selEnd = -1;
        vm.input->composeLength = 0;
    }
    vm.global->setOwn(kFocus, kFocus, Value::null(), DontEnum);
    if (Property* q = vm.global->findAny(kFocus)) q->hidden = true;
    if (o->clip) vm.callMethod(old, "onKillFocus", {Value::null()});
    Value sel = vm.get(vm.global, "Selection");
    if (sel.isObject())
        vm.callMethod(sel, "broadcastMessage", {Value("onSetFocus"), old, Value::null()});
}

namespace {
constexpr std::string_view kRect = "\001focusrect";

// The player's setting: the root's, and any object's before SWF 6.
bool playerFocusRect(Vm& vm) {
    Property* p = vm.global->findAny(kRect);
    return !p || vm.toBoolean(p->value);
}

bool ownsFocusRect(Vm& vm, ClipHost* clip) { return vm.version() >= 6 && clip->parent(); }
}  // namespace

Value focusRectOf(Vm& vm, ClipHost* clip) {
    if (!clip) return {};
    if (!ownsFocusRect(vm, clip)) {
        const bool on = playerFocusRect(vm);
        return vm.version() >= 6 ? Value(on) : Value(on ? 1 : 0);
    }
    Object* o = vm.clipObject(clip);
    Property* p = o ? o->findAny(kRect) : nullptr;
    return p ? p->value : Value::null();
}

void setFocusRect(Vm& vm, ClipHost* clip, const Value& v) {
    if (!clip) return;
    if (ownsFocusRect(vm, clip)) {
        Object* o = vm.clipObject(clip);
        if (!o) return;
        o->setOwn(kRect, kRect, v.isNullish() ? Value::null() : Value(vm.toBoolean(v)), DontEnum);
        if (Property* p = o->findAny(kRect)) p->hidden = true;
        return;
    }
    // The player's setting takes numbers; what reads as none leaves it be, objects turn it off.
    if (v.isNullish()) return;
    bool on = false;
    if (!v.isObject()) {
        const double d = vm.toNumber(v);
        if (std::isnan(d)) return;
        on = d != 0;
    }
    vm.global->setOwn(kRect, kRect, Value(on), DontEnum);
    if (Property* p = vm.global->findAny(kRect)) p->hidden = true;
}

bool showsFocusRect(Vm& vm, Object* obj) {
    if (obj && obj->clip && ownsFocusRect(vm, obj->clip)) {
        const Value v = focusRectOf(vm, obj->clip);
        if (!v.isNull()) return vm.toBoolean(v);
    }
    return playerFocusRect(vm);
}

std::optional<QRectF> focusHighlight(Vm& vm) {
    if (!vm.input || !vm.input->highlight || !vm.input->focusRect) return std::nullopt;
    const Value f = focusedObject(vm);
    if (!f.isObject()) return std::nullopt;
    ClipHost* c = buttonOf(f.o);
    if (!c && f.o->cls == ObjClass::MovieClip) c = f.o->clip;
    return c ? stageBounds(vm, c) : std::nullopt;
}

std::optional<QRectF> focusedFieldBounds(Vm& vm) {
    const Value f = focusedObject(vm);
    if (!f.isObject() || f.o->cls != ObjClass::TextField || !f.o->clip) return std::nullopt;
    return stageBounds(vm, f.o->clip);
}

std::pair<size_t, size_t> replaceRangeOf(Vm& vm, Object* field, size_t len) {
    const Value f = focusedObject(vm);
    if (!vm.input || !sameObject(f, field) || vm.input->selBegin < 0 || vm.input->selEnd < 0)
        return {0, 0};
    size_t b = std::min<size_t>(vm.input->selBegin, len),
           e = std::min<size_t>(vm.input->selEnd, len);
    if (b > e) std::swap(b, e);
    return {b, e};
}

void caretAfterReplace(Vm& vm, Object* field, size_t at) {
    if (!vm.input || !sameObject(focusedObject(vm), field)) return;
    vm.input->selBegin = vm.input->selEnd = static_cast<int>(std::min<size_t>(at, INT32_MAX));
}

bool canTakeFocus(Vm& vm, Object* obj) {
    if (!obj) return false;
    if (obj->cls == ObjClass::MovieClip) {
        // Clips take the focus when they ask for it or act as buttons.
        return vm.toBoolean(vm.get(obj, "focusEnabled")) || actsAsButton(vm, obj);
    }
    // Any text field or button may have it.
    return obj->cls == ObjClass::TextField && obj->clip;
}

std::vector<Object*> tabOrder(Vm& vm) {
    auto* runner = dynamic_cast<ScriptRunner*>(vm.root_);
    if (!runner) return {};
    Walker w{vm, runner->movie(), {}};
    w.walk(runner, rootTransform(vm), 0);
    std::vector<Candidate>& c = w.out;
    // Given tab indices decide alone: the objects with one, by index (ties in stage order).
    const bool custom =
        std::any_of(c.begin(), c.end(), [](const Candidate& k) { return k.tabIndex.isNumber(); });
    if (custom) {
        std::erase_if(c, [](const Candidate& k) {
            return !k.tabIndex.isNumber() || !std::isfinite(k.tabIndex.n);
        });
        // Indices compare as signed 32-bit integers.
        auto asInt32 = [](double d) {
            double m = std::fmod(std::trunc(d), 4294967296.0);
            if (m < 0) m += 4294967296.0;
            return static_cast<int32_t>(static_cast<uint32_t>(m));
        };
        std::stable_sort(c.begin(), c.end(), [&](const Candidate& a, const Candidate& b) {
            return asInt32(a.tabIndex.n) < asInt32(b.tabIndex.n);
        });
    } else {
        // Reading order: rows from the top, left to right; one object per place.
        std::stable_sort(c.begin(), c.end(), [](const Candidate& a, const Candidate& b) {
            return a.at.y() != b.at.y() ? a.at.y() < b.at.y() : a.at.x() < b.at.x();
        });
        c.erase(std::unique(c.begin(), c.end(),
                            [](const Candidate& a, const Candidate& b) { return a.at == b.at; }),
                c.end());
    }
    std::vector<Object*> out;
    out.reserve(c.size());
    for (const Candidate& k : c) out.push_back(k.obj);
    return out;
}

void tabFocus(Vm& vm, bool backwards) {
    const std::vector<Object*> order = tabOrder(vm);
    if (order.empty()) return;
    const Value now = focusedObject(vm);
    const auto it =
        std::find_if(order.begin(), order.end(), [&](Object* o) { return sameObject(now, o); });
    size_t next = 0;
    if (it == order.end())
        next = backwards ? order.size() - 1 : 0;
    else {
        const size_t at = static_cast<size_t>(it - order.begin());
        next = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    }
    giveFocus(vm, Value(order[next]), FocusBy::Tab);
    // A field reached by Tab has all its text selected.
    if (vm.input && order[next]->cls == ObjClass::TextField && !buttonOf(order[next])) {
        vm.input->selBegin = 0;
        vm.input->selEnd = static_cast<int>(
            std::min<size_t>(utf8Length(vm.toString(vm.get(order[next], "text"))), INT32_MAX));
    }
}

TextFieldHost* textFieldAt(Vm& vm, double x, double y, bool selectable, QPointF* local) {
    TextFieldHost* hit = nullptr;
    const QPointF p(x, y);
    std::function<void(ClipHost*, const QTransform&, int)> walk =
        [&](ClipHost* parent, const QTransform& world, int nesting) {
            if (nesting > kMaxNesting) return;
            std::vector<ClipHost*> kids = vm.childrenOf(parent);
            std::stable_sort(kids.begin(), kids.end(),
                             [](ClipHost* a, ClipHost* b) { return a->depth() < b->depth(); });
            for (ClipHost* c : kids) {
                if (const auto v = c->property(kVisibleProp); v && *v == 0) continue;
                if (dynamic_cast<ButtonHost*>(c)) continue;
                if (auto* f = dynamic_cast<TextFieldHost*>(c)) {
                    const DisplayObject* o = f->object();
                    if (!o || !vm.textFields || (selectable && f->def.noSelect)) continue;
                    const QTransform w = toQt(o->matrix) * world;
                    if (w.mapRect(rectOf(f->def.bounds)).contains(p) && w.isInvertible()) {
                        hit = f;
                        if (local) *local = w.inverted().map(p);
                    }
                    continue;
                }
                auto* s = dynamic_cast<SpriteClip*>(c);
                const DisplayObject* o = s ? s->object() : nullptr;
                walk(c, o ? toQt(o->matrix) * world : world, nesting + 1);
            }
        };
    walk(vm.root_, rootTransform(vm), 0);
    return hit;
}

Object* selectableFieldAt(Vm& vm, double x, double y) {
    TextFieldHost* f = textFieldAt(vm, x, y, true, nullptr);
    return f ? vm.textFields->objectFor(f) : nullptr;
}

void installTabIndex(Vm& vm, Object* proto, bool enumerable) {
    if (!proto) return;
    static constexpr std::string_view kIndex = "\x01tabIndex";
    Property& p = proto->setOwn("tabIndex", vm.key("tabIndex"), Value(), enumerable ? 0 : DontEnum);
    p.getter = vm.newMethod([](Vm&, Object* self, Args&) -> Value {
        Property* q = self ? self->findAny(kIndex) : nullptr;
        return q ? q->value : Value();
    });
    p.setter = vm.newMethod([](Vm& vm, Object* self, Args& a) -> Value {
        // Only a clip or button keeps one: the prototypes themselves do not.
        if (!self || !self->clip) return {};
        const Value v = arg(a, 0);
        Value kept;
        if (!v.isUndefined()) {
            const double d = std::trunc(vm.toNumber(v));
            kept = Value(std::isfinite(d) && d >= INT32_MIN && d <= INT32_MAX ? d : INT32_MIN);
        }
        self->setOwn(kIndex, kIndex, kept, DontEnum);
        if (Property* q = self->findAny(kIndex)) q->hidden = true;
        return {};
    });
}

void installFocusBuiltins(Vm& vm) {
    if (Value mc = vm.get(vm.global, "MovieClip"); mc.isObject())
        if (Value proto = vm.get(mc.o, "prototype"); proto.isObject()) {
            installTabIndex(vm, proto.o, false);
            // Clips acting as buttons answer the mouse while this holds.
            vm.defineValue(proto.o, "enabled", Value(true));
            vm.defineValue(proto.o, "useHandCursor", Value(true));
            // A clip is no root of its own until a script says so.
            vm.defineValue(proto.o, "_lockroot", Value(false));
        }
    Object* sel = vm.newInstance(vm.objectProto, vm.objectCtor);
    vm.defineValue(vm.global, "Selection", sel);
    Value bcv = vm.get(vm.global, "AsBroadcaster");
    if (bcv.isObject()) initBroadcaster(vm, sel, bcv.o);
    hideBroadcasterBefore6(vm, sel);
    vm.defineMethod(sel, "getFocus", [](Vm& vm, Object*, Args&) -> Value {
        Value f = focusedObject(vm);
        if (!f.isObject()) return Value::null();
        return Value(vm.toString(f));
    });
    vm.defineMethod(sel, "setFocus", [](Vm& vm, Object*, Args& a) -> Value {
        Value target = arg(a, 0);
        if (a.size() != 1) return Value(false);  // one target, or no request
        if (target.isString()) {
            ClipHost* c = vm.resolveTarget(target.s, vm.root_);
            if (!c) return Value(false);
            target = Value(vm.clipObject(c));
        }
        if (!target.isNullish() && !(target.isObject() && canTakeFocus(vm, target.o)))
            return Value(false);
        // A level's root never takes it.
        if (target.isObject() && target.o->cls == ObjClass::MovieClip && target.o->clip &&
            !target.o->clip->parent())
            return Value(false);
        giveFocus(vm, target.isObject() ? target : Value::null());
        return Value(true);
    });
    // The focused field's selection; -1 without one.
    auto index = [](int which) {
        return [which](Vm& vm, Object*, Args&) -> Value {
            const Value f = focusedObject(vm);
            if (!f.isObject() || f.o->cls != ObjClass::TextField || buttonOf(f.o) || !vm.input)
                return Value(-1);
            InputState& s = *vm.input;
            if (s.selBegin < 0 || s.selEnd < 0) return Value(-1);
            // A text made shorter pulls the selection in.
            const int len = static_cast<int>(
                std::min<size_t>(utf8Length(vm.toString(vm.get(f.o, "text"))), INT32_MAX));
            s.selBegin = std::min(s.selBegin, len);
            s.selEnd = std::min(s.selEnd, len);
            return Value(which == 0   ? std::min(s.selBegin, s.selEnd)
                         : which == 1 ? std::max(s.selBegin, s.selEnd)
                                      : s.selEnd);
        };
    };
    vm.defineMethod(sel, "getBeginIndex", index(0));
    vm.defineMethod(sel, "getEndIndex", index(1));
    vm.defineMethod(sel, "getCaretIndex", index(2));
    vm.defineMethod(sel, "setSelection", [](Vm& vm, Object*, Args& a) -> Value {
        const Value f = focusedObject(vm);
        if (!f.isObject() || f.o->cls != ObjClass::TextField || buttonOf(f.o) || !vm.input)
            return {};
        const double len = static_cast<double>(utf8Length(vm.toString(vm.get(f.o, "text"))));
        auto clampIndex = [&](const Value& v) {
            const double n = vm.toNumber(v);
            return static_cast<int>(std::isnan(n) ? 0 : std::clamp(n, 0.0, len));
        };
        // Exactly both ends, or nothing; the caret goes to the second.
        if (a.size() != 2) return {};
        vm.input->selBegin = clampIndex(a[0]);
        vm.input->selEnd = clampIndex(a[1]);
        return {};
    });
    vm.addFlagsToAll(sel, DontEnum | DontDelete | ReadOnly);
}

}  // namespace swf::avm1
