// The built-ins' installation order, ASBroadcaster, System, Key, Mouse, Stage and stubs.

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/avm1/capabilities.h"
#include "engine/avm1/loaded_movie.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

Object* listenersOf(Vm& vm, Object* self) {
    Value l = vm.get(self, "_listeners");
    return l.isObject() ? l.o : nullptr;
}

}  // namespace

void hideBroadcasterBefore6(Vm& vm, Object* target) {
    for (const char* m : {"addListener", "removeListener", "broadcastMessage", "_listeners"})
        vm.addFlags(target, m, From6);
}

void initBroadcaster(Vm& vm, Object* target, Object* from, bool listeners) {
    for (const char* m : {"addListener", "removeListener"})
        vm.defineValue(target, m, vm.get(from, m), DontEnum | DontDelete);
    Value send = vm.get(from, "broadcastMessage");
    if (send.isObject() && send.o->fn && send.o->fn->native)
        send = Value(vm.newMethod(send.o->fn->native));
    vm.defineValue(target, "broadcastMessage", send, DontEnum | DontDelete);
    if (listeners) vm.defineValue(target, "_listeners", vm.newArray(), DontEnum | DontDelete);
}

Object* newSubclass(Vm& vm, Object* base, NativeFn fn) {
    const Value baseProto = vm.get(base, "prototype");
    Object* proto = vm.newObject(baseProto.isObject() ? baseProto.o : vm.objectProto);
    vm.defineValue(proto, "__constructor__", base, DontEnum | From6);
    Object* ctor = vm.newFunction(std::move(fn), proto);
    proto->removeOwn(vm.key("constructor"));
    return ctor;
}

void installMiscBuiltins(Vm& vm) {
    Object* g = vm.global;

    // ---- ASBroadcaster
    Object* bc = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineValue(g, "AsBroadcaster", bc);
    // The listener list is reached through its own methods and elements (push, splice,
    // length), so a script that replaces them sees the calls; listeners match by ==.
    vm.defineFunction(bc, "addListener", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return Value(true);
        const Value v = arg(a, 0);
        vm.callMethod(Value(self), "removeListener", {v});
        const Value l = vm.get(self, "_listeners");
        if (l.isObject()) vm.callMethod(l, "push", {v});
        return Value(true);
    });
    vm.defineFunction(bc, "removeListener", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* l = self ? listenersOf(vm, self) : nullptr;
        if (!l) return Value(false);
        const Value v = arg(a, 0);
        const double len = vm.toNumber(vm.get(l, "length"));
        const double n = std::isnan(len) ? 0 : std::min(len, double(vm.limits().maxArrayLength));
        for (int64_t i = 0; i < static_cast<int64_t>(n); ++i) {
            if ((i & 1023) == 0) vm.checkTime();
            if (vm.looseEquals(vm.get(l, std::to_string(i)), v)) {
                vm.callMethod(Value(l), "splice", {Value(i), Value(1)});
                return Value(true);
            }
        }
        return Value(false);
    });
    vm.defineMethod(bc, "broadcastMessage", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* l = self ? listenersOf(vm, self) : nullptr;
        if (!l || a.empty()) return {};
        const std::string name = vm.toString(a[0]);
        Args rest(a.begin() + 1, a.end());
        const double len = vm.toNumber(vm.get(l, "length"));
        const double n = std::isnan(len) ? 0 : std::min(len, double(vm.limits().maxArrayLength));
        // Listeners added or removed by a handler take effect from the next message.
        std::vector<Value> list;
        for (int64_t i = 0; i < static_cast<int64_t>(n); ++i) {
            if ((i & 1023) == 0) vm.checkTime();
            list.push_back(vm.get(l, std::to_string(i)));
        }
        for (const auto& target : list) {
            if (!target.isObject()) continue;
            // An empty name calls the listener itself.
            const Value fn = name.empty() ? target : vm.get(target.o, name);
            vm.call(fn, target.o, rest);
        }
        return list.empty() ? Value() : Value(true);
    });
    vm.defineFunction(bc, "initialize", [bc](Vm& vm, Object*, Args& a) -> Value {
        if (arg(a, 0).isObject()) initBroadcaster(vm, a[0].o, bc);
        return {};
    });
    // SWF 5 movies see the function but neither its prototype nor initialize().
    for (const char* m : {"initialize", "prototype"}) vm.addFlags(bc, m, From6);

    // ---- System
    Object* sys = vm.newObject();
    vm.defineValue(g, "System", sys);
    Object* caps = vm.newObject();
    vm.defineValue(sys, "capabilities", caps);
    Args none;
    queryCapabilities(vm, caps, none);
    vm.defineValue(sys, "useCodepage", Value(false), 0);
    Object* security = vm.newObject();
    vm.defineValue(sys, "security", security);
    vm.defineMethod(security, "allowDomain", [](Vm&, Object*, Args&) -> Value { return {}; });

    // ---- Key
    Object* key = vm.newInstance(vm.objectProto, vm.objectCtor);
    vm.defineValue(g, "Key", key);
    const std::pair<const char*, int> codes[] = {
        {"ALT", 18},    {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46},
        {"DOWN", 40},   {"END", 35},      {"ENTER", 13},    {"ESCAPE", 27},  {"HOME", 36},
        {"INSERT", 45}, {"LEFT", 37},     {"PGDN", 34},     {"PGUP", 33},    {"RIGHT", 39},
        {"SHIFT", 16},  {"SPACE", 32},    {"TAB", 9},       {"UP", 38}};
    for (auto& [n, c] : codes) vm.defineValue(key, n, Value(c), 7);
    vm.defineMethod(key, "isDown", [](Vm&, Object*, Args&) -> Value { return Value(false); });
    vm.defineMethod(key, "isToggled", [](Vm&, Object*, Args&) -> Value { return Value(false); });
    vm.defineMethod(key, "getCode", [](Vm&, Object*, Args&) -> Value { return Value(0); });
    vm.defineMethod(key, "getAscii", [](Vm&, Object*, Args&) -> Value { return Value(0); });
    vm.defineMethod(key, "isAccessible", [](Vm&, Object*, Args&) -> Value { return Value(false); });
    initBroadcaster(vm, key, bc);
    hideBroadcasterBefore6(vm, key);  // sealed once the input installer has its methods

    // ---- Mouse
    Object* mouse = vm.newInstance(vm.objectProto, vm.objectCtor);
    vm.defineValue(g, "Mouse", mouse);
    vm.defineMethod(mouse, "show", [](Vm&, Object*, Args&) -> Value { return Value(0); });
    vm.defineMethod(mouse, "hide", [](Vm&, Object*, Args&) -> Value { return Value(1); });
    initBroadcaster(vm, mouse, bc);
    hideBroadcasterBefore6(vm, mouse);
    vm.addFlagsToAll(mouse, DontEnum | DontDelete | ReadOnly);

    // ---- Stage
    Object* stage = vm.newObject();
    vm.defineValue(g, "Stage", stage);
    vm.defineValue(stage, "showMenu", Value(true), 0);
    // align keeps the edges it names, in any case and among any other letters, as "LTRB"
    // ordered; displayState takes only its two states.
    auto accessor = [&](const char* name, NativeFn get, NativeFn set) {
        Property& p = stage->setOwn(name, vm.key(name), Value(), DontDelete);
        p.getter = vm.newFunction(std::move(get));
        p.setter = vm.newFunction(std::move(set));
    };
    static constexpr std::string_view kAlign = "\001align", kDisplay = "\001displayState";
    auto slotOf = [](Vm& vm, Object* self, std::string_view slot, const char* dflt) -> Value {
        if (Property* p = self ? self->findAny(slot) : nullptr) return p->value;
        (void)vm;
        return Value(dflt);
    };
    auto store = [](Object* self, std::string_view slot, Value v) {
        if (!self) return;
        self->setOwn(slot, slot, std::move(v), DontEnum);
        if (Property* p = self->findAny(slot)) p->hidden = true;
    };
    accessor(
        "align", [slotOf](Vm& vm, Object* self, Args&) { return slotOf(vm, self, kAlign, ""); },
        [store](Vm& vm, Object* self, Args& a) -> Value {
            const std::string in = asciiLower(vm.toString(arg(a, 0)));
            std::string out;
            for (char c : {'l', 't', 'r', 'b'})
                if (in.find(c) != std::string::npos) out += static_cast<char>(c - 32);
            store(self, kAlign, Value(out));
            return {};
        });
    // scaleMode takes its four modes in any case, spelt back the player's way; anything
    // else is showAll.
    static constexpr std::string_view kScale = "\001scaleMode";
    accessor(
        "scaleMode",
        [slotOf](Vm& vm, Object* self, Args&) { return slotOf(vm, self, kScale, "showAll"); },
        [store](Vm& vm, Object* self, Args& a) -> Value {
            const std::string in = asciiLower(vm.toString(arg(a, 0)));
            const char* mode = "showAll";
            for (const char* m : {"exactFit", "noBorder", "noScale"})
                if (in == asciiLower(m)) mode = m;
            store(self, kScale, Value(mode));
            return {};
        });
    accessor(
        "displayState",
        [slotOf](Vm& vm, Object* self, Args&) { return slotOf(vm, self, kDisplay, "normal"); },
        [store, slotOf](Vm& vm, Object* self, Args& a) -> Value {
            const std::string in = asciiLower(vm.toString(arg(a, 0)));
            if (in != "normal" && in != "fullscreen") return {};
            const bool full = in == "fullscreen";
            const bool was = vm.toString(slotOf(vm, self, kDisplay, "normal")) == "fullScreen";
            store(self, kDisplay, Value(full ? "fullScreen" : "normal"));
            // Listeners hear the change before the script goes on.
            if (self && full != was)
                vm.callMethod(Value(self), "broadcastMessage",
                              {Value("onFullScreen"), Value(full)});
            return {};
        });
    // The stage keeps the movie's own size while the player scales it to the window.
    auto stageSide = [](bool wide) {
        return [wide](Vm& vm, Object*, Args&) -> Value {
            const ScriptRunner* r = runnerFor(vm, nullptr);
            if (!r) return Value(0);
            const auto& i = r->movie().info;
            const int twips = wide ? i.stageXMax - i.stageXMin : i.stageYMax - i.stageYMin;
            return Value(std::round(twips / 20.0));
        };
    };
    auto readOnly = [](Vm&, Object*, Args&) -> Value { return {}; };
    accessor("width", stageSide(true), readOnly);
    accessor("height", stageSide(false), readOnly);
    initBroadcaster(vm, stage, bc);
    hideBroadcasterBefore6(vm, stage);
}

void Vm::installBuiltins() {
    objectProto = newObject(nullptr);
    functionProto = newObject(objectProto);
    arrayProto = newObject(objectProto);
    stringProto = newObject(objectProto);
    numberProto = newObject(objectProto);
    booleanProto = newObject(objectProto);
    dateProto = newObject(objectProto);
    clipProto = newObject(objectProto);
    errorProto = newObject(objectProto);
    global = newObject(nullptr);  // _global inherits nothing, not even toString
    installObjectBuiltins(*this);
    installNumberBuiltins(*this);
    installArrayBuiltins(*this);
    installStringBuiltins(*this);
    installMathBuiltins(*this);
    installClipBuiltins(*this);
    installDateBuiltins(*this);
    installMiscBuiltins(*this);
    installXmlBuiltins(*this);
    installGeomBuiltins(*this);
    installTextBuiltins(*this);
    installInputBuiltins(*this);
    installLoadBuiltins(*this);
    lastLive_ = std::max<size_t>(heap_.size(), 1024);
}

}  // namespace swf::avm1
