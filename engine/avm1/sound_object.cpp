// The Sound object: volume, pan and the channel transform of its target timeline (or of the
// whole movie), attachSound of an exported sound, start/stop and the playing position.

#include <cmath>

#include "engine/avm1/loader.h"

namespace swf::avm1 {

namespace {

constexpr const char* kMix[] = {"ll", "lr", "rr", "rl"};

// A timeline's sound settings live on its object; the movie's own on _global.
struct Mix {
    double volume = 100;
    double t[4] = {100, 0, 100, 0};  // ll, lr, rr, rl
};

Mix readMix(Object* holder) {
    Mix m;
    const Value v = getSlot(holder, "soundVolume");
    if (v.isNumber()) m.volume = v.n;
    for (int i = 0; i < 4; ++i) {
        const Value c = getSlot(holder, std::string("sound_") + kMix[i]);
        if (c.isNumber()) m.t[i] = c.n;
    }
    return m;
}

void writeMix(Vm& vm, Object* holder, const Mix& m) {
    setSlot(vm, holder, "soundVolume", Value(m.volume));
    for (int i = 0; i < 4; ++i) setSlot(vm, holder, std::string("sound_") + kMix[i], Value(m.t[i]));
}

// The timeline a target path names now, by names and variables, as a stale reference is found
// again; null when nothing answers to it.
Object* findPath(Vm& vm, std::string_view path) {
    Object* cur = vm.clipObject(vm.root_);
    size_t i = 0;
    if (path.starts_with("_level0")) {
        i = 7;
    } else if (path.starts_with("_root")) {
        i = 5;
    }
    int guard = 0;
    while (i < path.size() && cur && guard++ < 256) {
        if (path[i] == '.' || path[i] == '/') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < path.size() && path[j] != '.' && path[j] != '/') ++j;
        Value next = vm.get(cur, path.substr(i, j - i));
        cur = next.isObject() && next.o->cls == ObjClass::MovieClip && next.o->clip ? next.o
                                                                                    : nullptr;
        i = j;
    }
    return cur;
}

// Where this Sound's settings are kept: its target timeline, or _global for the movie's.
// Null when the target no longer answers.
Object* holderOf(Vm& vm, Object* self) {
    if (!self) return nullptr;
    const Value path = getSlot(self, "target");
    if (!path.isString()) return vm.global;
    return findPath(vm, path.s);
}

double number(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    return std::isfinite(d) ? d : 0;
}

double position(Vm& vm, Object* self) {
    const Value started = getSlot(self, "startedAt");
    const Value duration = getSlot(self, "duration");
    if (!started.isNumber() || !duration.isNumber()) {
        const Value p = getSlot(self, "position");
        return p.isNumber() ? p.n : 0;
    }
    const double loops =
        std::max(1.0, getSlot(self, "loops").isNumber() ? getSlot(self, "loops").n : 1);
    const double offset = getSlot(self, "offset").isNumber() ? getSlot(self, "offset").n : 0;
    const double played = vm.host().timeMs() - started.n;
    const double total = (duration.n - offset) + (loops - 1) * duration.n;
    if (played >= total) return duration.n;
    const double at = offset + played;
    return duration.n > 0 ? std::fmod(at, duration.n) : 0;
}

void installMixMethods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "getVolume", [](Vm& vm, Object* self, Args&) -> Value {
        Object* h = holderOf(vm, self);
        return h ? Value(readMix(h).volume) : Value();
    });
    vm.defineMethod(proto, "setVolume", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* h = holderOf(vm, self);
        if (!h || a.empty()) return {};
        Mix m = readMix(h);
        m.volume = number(vm, a[0]);
        writeMix(vm, h, m);
        return {};
    });
    vm.defineMethod(proto, "getPan", [](Vm& vm, Object* self, Args&) -> Value {
        Object* h = holderOf(vm, self);
        if (!h) return {};
        const Mix m = readMix(h);
        // Pan is what the transform leaves of one side: right-leaning cuts the left.
        return Value(m.t[0] != 100 ? 100 - m.t[0] : m.t[2] - 100);
    });
    vm.defineMethod(proto, "setPan", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* h = holderOf(vm, self);
        if (!h || a.empty()) return {};
        const double pan = std::clamp(number(vm, a[0]), -100.0, 100.0);
        Mix m = readMix(h);
        m.t[0] = pan > 0 ? 100 - pan : 100;
        m.t[2] = pan < 0 ? 100 + pan : 100;
        m.t[1] = m.t[3] = 0;
        writeMix(vm, h, m);
        return {};
    });
    vm.defineMethod(proto, "getTransform", [](Vm& vm, Object* self, Args&) -> Value {
        Object* h = holderOf(vm, self);
        if (!h) return {};
        const Mix m = readMix(h);
        Object* o = vm.newObject();
        for (int i = 0; i < 4; ++i) vm.set(o, kMix[i], Value(m.t[i]));
        return Value(o);
    });
    vm.defineMethod(proto, "setTransform", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* h = holderOf(vm, self);
        if (!h || !arg(a, 0).isObject()) return {};
        Mix m = readMix(h);
        for (int i = 0; i < 4; ++i) {
            const Value v = vm.get(a[0].o, kMix[i]);
            if (!v.isUndefined()) m.t[i] = number(vm, v);
        }
        writeMix(vm, h, m);
        return {};
    });
}

void installPlayMethods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "attachSound", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty() || !holderOf(vm, self)) return {};
        const std::optional<double> ms = soundDuration(vm, vm.toString(a[0]));
        if (!ms) return {};
        setSlot(vm, self, "duration", Value(*ms));
        setSlot(vm, self, "startedAt", Value());
        setSlot(vm, self, "position", Value(0));
        return {};
    });
    vm.defineMethod(proto, "start", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !holderOf(vm, self) || !getSlot(self, "duration").isNumber()) return {};
        const double offset = std::max(0.0, number(vm, arg(a, 0)) * 1000);
        const double loops = std::clamp(number(vm, arg(a, 1)), 1.0, 1e6);
        setSlot(vm, self, "startedAt", Value(vm.host().timeMs()));
        setSlot(vm, self, "offset", Value(std::min(offset, getSlot(self, "duration").n)));
        setSlot(vm, self, "loops", Value(loops));
        return {};
    });
    vm.defineMethod(proto, "stop", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self || !holderOf(vm, self)) return {};
        if (getSlot(self, "startedAt").isNumber()) {
            setSlot(vm, self, "position", Value(position(vm, self)));
            setSlot(vm, self, "startedAt", Value());
        }
        return {};
    });
}

void installSwf6Methods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "getDuration", [](Vm&, Object* self, Args&) -> Value {
        const Value d = getSlot(self, "duration");
        return d.isNumber() ? Value(std::round(d.n)) : Value();
    });
    vm.defineMethod(proto, "getPosition", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self || !getSlot(self, "duration").isNumber()) return {};
        return Value(std::round(position(vm, self)));
    });
    vm.defineMethod(proto, "setDuration", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "setPosition", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "loadSound", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "getBytesLoaded", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "getBytesTotal", [](Vm&, Object*, Args&) -> Value { return {}; });
    // duration and position read through to the methods.
    for (const char* name : {"duration", "position"}) {
        const std::string method =
            name == std::string_view("duration") ? "getDuration" : "getPosition";
        Object* getter = vm.newMethod([method](Vm& vm, Object* self, Args&) -> Value {
            return vm.callMethod(Value(self), method, {});
        });
        Property& p = proto->setOwn(name, vm.key(name), Value(), DontEnum);
        p.getter = getter;
    }
}

}  // namespace

void installSoundBuiltins(Vm& vm) {
    Object* ctor = vm.newFunction([](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const Value& t = arg(a, 0);
        if (t.isObject() && t.o->cls == ObjClass::MovieClip) {
            if (t.o->clip) setSlot(vm, self, "target", Value(vm.targetPath(t.o->clip)));
        } else if (!t.isUndefined()) {
            setSlot(vm, self, "target", Value(vm.toString(t)));
        }
        return {};
    });
    vm.defineValue(vm.global, "Sound", ctor);
    Object* proto = vm.get(ctor, "prototype").o;
    installMixMethods(vm, proto);
    installPlayMethods(vm, proto);
    if (vm.version() >= 6) installSwf6Methods(vm, proto);
}

}  // namespace swf::avm1
