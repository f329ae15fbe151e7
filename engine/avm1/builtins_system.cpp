// The system-facing objects a desktop player offers without the devices behind them: the rest of
// System and System.capabilities, ContextMenu and ContextMenuItem, PrintJob, and
// the classes for cameras, microphones, streams and sockets, which answer as if nothing is
// attached.

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/avm1/loader.h"
#include "engine/avm1/net_stream.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

Value undefinedFn(Vm&, Object*, Args&) { return {}; }
Value falseFn(Vm&, Object*, Args&) { return Value(false); }

constexpr std::string_view kNetConnection = "\x01netConnection";

bool has(Vm& vm, Object* o, std::string_view name) { return o->findAny(vm.key(name)) != nullptr; }

// A class whose instances keep nothing: its methods answer undefined (or false where a
// connection would have to be made).
Object* addStubClass(Vm& vm, std::string_view name, std::initializer_list<const char*> methods,
                     std::initializer_list<const char*> failing = {}) {
    if (has(vm, vm.global, name)) return nullptr;
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction(undefinedFn, proto);
    for (const char* m : methods) vm.defineMethod(proto, m, undefinedFn);
    for (const char* m : failing) vm.defineMethod(proto, m, falseFn);
    vm.defineValue(vm.global, name, ctor);
    return ctor;
}

Object* protoOf(Vm& vm, Object* ctor) {
    Value p = vm.get(ctor, "prototype");
    return p.isObject() ? p.o : nullptr;
}

constexpr const char* kBuiltInItems[] = {"print", "forward_back", "rewind", "loop",
                                         "play",  "quality",      "zoom",   "save"};

// A menu's list of items is made as `new Array()` makes one.
Object* constructedArray(Vm& vm, std::vector<Value> elems) {
    const Value list = vm.construct(Value(vm.arrayCtor), {});
    if (!list.isObject()) return vm.newArray(std::move(elems));
    list.o->elems = std::move(elems);
    return list.o;
}

void initContextMenu(Vm& vm, Object* self, const Value& onSelect) {
    vm.set(self, "onSelect", onSelect);
    Object* items = vm.newInstance(vm.objectProto, vm.objectCtor);
    for (const char* n : kBuiltInItems) vm.set(items, n, Value(true));
    vm.set(self, "builtInItems", Value(items));
    vm.set(self, "customItems", Value(constructedArray(vm, {})));
}

void initMenuItem(Vm& vm, Object* self, Args& a) {
    vm.set(self, "caption", arg(a, 0));
    vm.set(self, "onSelect", arg(a, 1));
    // The switches keep what they were given; only a missing one takes its default.
    vm.set(self, "separatorBefore", a.size() > 2 ? a[2] : Value(false));
    vm.set(self, "enabled", a.size() > 3 ? a[3] : Value(true));
    vm.set(self, "visible", a.size() > 4 ? a[4] : Value(true));
}

void installContextMenu(Vm& vm) {
    Object* g = vm.global;
    if (!has(vm, g, "ContextMenuItem")) {
        Object* proto = vm.newObject();
        Object* ctor = vm.newFunction(
            [](Vm& vm, Object* self, Args& a) -> Value {
                if (self) initMenuItem(vm, self, a);
                return {};
            },
            proto);
        vm.defineFunction(proto, "copy", [ctor](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            Args a;
            for (const char* n : {"caption", "onSelect", "separatorBefore", "enabled", "visible"})
                a.push_back(vm.get(self, n));
            return vm.construct(Value(ctor), std::move(a));
        });
        vm.defineValue(g, "ContextMenuItem", ctor);
    }
    if (!has(vm, g, "ContextMenu")) {
        Object* proto = vm.newObject();
        Object* ctor = vm.newFunction(
            [](Vm& vm, Object* self, Args& a) -> Value {
                if (self) initContextMenu(vm, self, arg(a, 0));
                return {};
            },
            proto);
        // Hiding gives the menu a fresh set of built-in items, all off.
        vm.defineFunction(proto, "hideBuiltInItems", [](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            Object* items = vm.newObject();
            for (const char* n : kBuiltInItems) vm.set(items, n, Value(false));
            vm.set(self, "builtInItems", Value(items));
            return {};
        });
        // The copy shares builtInItems and holds each custom item's own copy() (undefined for
        // what has none) in a new array.
        vm.defineFunction(proto, "copy", [ctor](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            Value copyV = vm.construct(Value(ctor), {vm.get(self, "onSelect")});
            if (!copyV.isObject()) return copyV;
            Object* copy = copyV.o;
            vm.set(copy, "builtInItems", vm.get(self, "builtInItems"));
            const Value custom = vm.get(self, "customItems");
            std::vector<Value> copies;
            if (custom.isObject() && custom.o->cls == ObjClass::Array) {
                const auto elems = custom.o->elems;
                for (const Value& item : elems) copies.push_back(vm.callMethod(item, "copy", {}));
            }
            vm.set(copy, "customItems", Value(constructedArray(vm, std::move(copies))));
            return copyV;
        });
        vm.defineValue(g, "ContextMenu", ctor);
        // The menu's prototype as Flash 7 made it, out of older movies' sight.
        for (const char* n : {"__proto__", "constructor", "copy", "hideBuiltInItems"})
            vm.addFlags(proto, n, From7);
    }
    // Copying items came with Flash 7.
    if (Object* ctor =
            vm.get(g, "ContextMenuItem").isObject() ? vm.get(g, "ContextMenuItem").o : nullptr)
        if (Object* proto = protoOf(vm, ctor)) vm.addFlags(proto, "copy", From7);
}

void installPrintJob(Vm& vm) {
    Object* ctor = addStubClass(vm, "PrintJob", {"addPage", "send"}, {"start"});
    if (!ctor) return;
    Object* proto = protoOf(vm, ctor);
    // Each job the constructor makes is marked, out of the scripts' reach.
    static constexpr std::string_view kJob = "\x01printJob";
    ctor->fn->native = [](Vm&, Object* self, Args&) -> Value {
        if (self) self->setOwn(kJob, kJob, Value(true), DontEnum | DontDelete).hidden = true;
        return {};
    };
    // Without a printer every page measure of a job reads 0 (undefined on the prototype); the
    // properties cannot be written.
    Object* zero = vm.newMethod([](Vm&, Object* self, Args&) -> Value {
        return self && self->findAny(kJob) ? Value(0) : Value();
    });
    for (const char* n : {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"}) {
        Property& p = proto->setOwn(n, vm.key(n), Value(), 0);
        p.getter = zero;
    }
    // The class came with Flash 7: older movies do not see its prototype's links.
    for (const char* n : {"__proto__", "constructor"}) vm.addFlags(proto, n, From7);
}

// The camera a desktop player reports when asked: present but muted, with nothing captured,
// so its size and rate read -1. Motion and quality settings are kept as given (within range).
void installCamera(Vm& vm) {
    Object* ctor =
        addStubClass(vm, "Camera", {"setMode", "setCursor", "setKeyFrameInterval", "setLoopback"});
    if (!ctor) return;
    Object* proto = protoOf(vm, ctor);
    if (!proto) return;
    static constexpr std::pair<const char*, double> kNumbers[] = {
        {"activityLevel", -1}, {"bandwidth", 16384},    {"currentFps", 0},
        {"fps", -1},           {"height", -1},          {"width", -1},
        {"motionLevel", 50},   {"motionTimeout", 2000}, {"quality", 0}};
    auto slot = [](const char* n) { return std::string("\001cam.") + n; };
    auto put = [slot](Object* self, const char* n, double v) {
        const std::string k = slot(n);
        self->setOwn(k, k, Value(v), DontEnum);
        if (Property* p = self->findAny(k)) p->hidden = true;
    };
    auto read = [slot](Object* self, const char* n, double dflt) {
        const Property* p = self ? self->findAny(slot(n)) : nullptr;
        return p && p->value.isNumber() ? p->value.n : dflt;
    };
    vm.defineMethod(proto, "setMotionLevel", [put](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return {};
        const double level = vm.toNumber(a[0]);
        if (!std::isnan(level)) put(self, "motionLevel", std::clamp(level, 0.0, 100.0));
        if (a.size() > 1) {
            const double t = vm.toNumber(a[1]);
            if (!std::isnan(t)) put(self, "motionTimeout", t);
        }
        return {};
    });
    vm.defineMethod(proto, "setQuality", [put](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return {};
        const double bw = vm.toNumber(a[0]);
        if (!std::isnan(bw)) put(self, "bandwidth", bw);
        if (a.size() > 1) {
            const double q = vm.toNumber(a[1]);
            if (!std::isnan(q)) put(self, "quality", std::clamp(q, 0.0, 100.0));
        }
        return {};
    });
    // The status properties appear on the prototype once a camera has been asked for.
    vm.defineMethod(ctor, "get", [ctor, read](Vm& vm, Object*, Args&) -> Value {
        Object* proto = protoOf(vm, ctor);
        if (proto && !proto->findOwn(vm.key("muted"))) {
            auto add = [&](const char* n, NativeFn get) {
                Property& p = proto->setOwn(n, vm.key(n), Value(), DontDelete);
                p.getter = vm.newFunction(std::move(get));
            };
            for (auto [n, dflt] : kNumbers) {
                const char* name = n;
                const double d = dflt;
                add(name, [read, name, d](Vm&, Object* self, Args&) -> Value {
                    return Value(read(self, name, d));
                });
            }
            add("index", [](Vm&, Object*, Args&) -> Value { return Value("0"); });
            add("muted", [](Vm&, Object*, Args&) -> Value { return Value(true); });
            add("name", [](Vm&, Object*, Args&) -> Value { return Value("Camera"); });
        }
        return vm.construct(Value(ctor), {});
    });
    vm.defineValue(ctor, "names", Value(vm.newArray({Value("Camera")})), DontDelete);
}

// No microphone is attached: get() finds none and the list of names is empty. The settings
// methods came with Flash 6; get is a plain property, as a script's.
void installMicrophone(Vm& vm) {
    static constexpr const char* kSettings[] = {"setGain", "setRate", "setSilenceLevel",
                                                "setUseEchoSuppression"};
    Object* ctor = addStubClass(vm, "Microphone", {});
    if (!ctor) return;
    Object* proto = protoOf(vm, ctor);
    for (const char* m : kSettings)
        vm.defineMethod(proto, m, undefinedFn, DontEnum | DontDelete | From6);
    vm.defineFunction(
        ctor, "get", [](Vm&, Object*, Args&) -> Value { return Value::null(); }, 0);
    vm.defineValue(ctor, "names", Value(vm.newArray()), DontDelete);
}

// The usage of remote shared objects, which a desktop player keeps none of: the one query
// answers undefined. The player writes the class as a script.
void installRemoteLSOUsage(Vm& vm) {
    Object* ctor = addStubClass(vm, "RemoteLSOUsage", {});
    if (ctor) vm.defineFunction(ctor, "getURLPageSupport", undefinedFn, DontEnum);
}

void installDevices(Vm& vm) {
    if (vm.version() >= 6) installCamera(vm);
    // No device: get() finds none and the list of names is empty.
    if (Object* ctor = addStubClass(vm, "Camera", {})) {
        vm.defineMethod(ctor, "get", [](Vm&, Object*, Args&) -> Value { return Value::null(); });
        vm.defineValue(ctor, "names", Value(vm.newArray()), DontDelete);
    }
    installMicrophone(vm);
    installRemoteLSOUsage(vm);
    if (Object* nc =
            addStubClass(vm, "NetConnection", {"addHeader", "call", "close"}, {"connect"})) {
        // Instances are marked so a NetStream can tell a real connection from a look-alike.
        nc->fn->native = [](Vm& vm, Object* self, Args&) -> Value {
            if (self) {
                self->setOwn(kNetConnection, kNetConnection, Value(false), DontEnum | DontDelete);
                if (Property* p = self->findAny(kNetConnection)) p->hidden = true;
            }
            return {};
        };
        // connect(null) is the local mode, playing files without a server; servers are not
        // reached.
        if (Object* proto = protoOf(vm, nc))
            vm.defineMethod(proto, "connect", [](Vm&, Object* self, Args& a) -> Value {
                Property* p = self ? self->findAny(kNetConnection) : nullptr;
                const bool local = !a.empty() && a[0].isNull();
                if (p) p->value = Value(local);
                return Value(local);
            });
    }
    if (Object* ns =
            addStubClass(vm, "NetStream",
                         {"attachAudio", "attachVideo", "close", "pause", "play", "publish",
                          "receiveAudio", "receiveVideo", "seek", "send", "setBufferTime"})) {
        // A stream made on a connection puts its status properties on the prototype it was
        // made with; before that the prototype has none.
        ns->fn->native = [](Vm& vm, Object* self, Args& a) -> Value {
            const Value& c = arg(a, 0);
            if (!self || !self->proto || !c.isObject()) return {};
            const Property* conn = c.o->findAny(kNetConnection);
            if (!conn || !conn->value.b) return {};
            makeStream(self);
            for (const char* n : {"currentFps", "bufferLength", "bufferTime", "liveDelay", "time",
                                  "bytesLoaded", "bytesTotal"}) {
                if (self->proto->findOwn(vm.key(n))) continue;
                Property& p = self->proto->setOwn(n, vm.key(n), Value(), DontEnum | DontDelete);
                p.getter = vm.newFunction(streamGetter(n));
            }
            return {};
        };
        if (Object* proto = protoOf(vm, ns)) installStreamMethods(vm, proto);
    }
    if (Object* video = addStubClass(vm, "Video", {"attachVideo", "clear"}))
        if (Object* proto = protoOf(vm, video)) installVideoMethods(vm, proto);
    if (Object* sock = addStubClass(vm, "XMLSocket", {"close", "send"}, {"connect"}))
        if (Object* proto = protoOf(vm, sock)) {
            // Text that arrives is read as an XML document and handed to onXML.
            vm.defineMethod(proto, "onData", [](Vm& vm, Object* self, Args& a) -> Value {
                if (!self) return {};
                const Value xml = vm.construct(vm.get(vm.global, "XML"), {arg(a, 0)});
                vm.callMethod(Value(self), "onXML", {xml});
                return {};
            });
        }

    Object* g = vm.global;
    if (!has(vm, g, "Accessibility")) {
        Object* acc = vm.newInstance(vm.objectProto, vm.objectCtor);
        vm.defineMethod(acc, "isActive", falseFn, 0);
        vm.defineMethod(acc, "updateProperties", undefinedFn, 0);
        vm.defineMethod(acc, "sendEvent", undefinedFn, 0);
        vm.addFlagsToAll(acc, DontDelete | ReadOnly);
        vm.defineValue(g, "Accessibility", acc);
    }
}

void installSystem(Vm& vm) {
    Value sysV = vm.get(vm.global, "System");
    if (!sysV.isObject()) return;
    Object* sys = sysV.o;
    auto add = [&](Object* o, const char* n, Value v) {
        if (!has(vm, o, n)) vm.defineValue(o, n, std::move(v), 0);
    };
    auto addFn = [&](Object* o, const char* n, NativeFn fn) {
        if (!has(vm, o, n)) vm.defineMethod(o, n, std::move(fn));
    };
    add(sys, "exactSettings", Value(vm.version() >= 7));
    addFn(sys, "setClipboard", undefinedFn);
    addFn(sys, "showSettings", undefinedFn);
    Value secV = vm.get(sys, "security");
    if (secV.isObject()) {
        // Every domain is allowed; only a call naming none fails.
        auto allow = [](Vm&, Object*, Args& a) -> Value { return Value(!a.empty()); };
        vm.defineMethod(secV.o, "allowDomain", allow);
        vm.defineMethod(secV.o, "allowInsecureDomain", allow);
        addFn(secV.o, "loadPolicyFile", undefinedFn);
    }
    if (!has(vm, sys, "Product")) {
        // Installing other products is not offered: both ask and get no.
        Object* proto = vm.newObject();
        vm.defineMethod(proto, "launch", falseFn);
        vm.defineMethod(proto, "download", falseFn);
        vm.defineValue(sys, "Product", vm.newFunction(undefinedFn, proto));
    }
    if (!has(vm, sys, "IME")) {
        Object* ime = vm.newObject();
        const std::pair<const char*, const char*> modes[] = {
            {"ALPHANUMERIC_FULL", "ALPHANUMERIC_FULL"},
            {"ALPHANUMERIC_HALF", "ALPHANUMERIC_HALF"},
            {"CHINESE", "CHINESE"},
            {"JAPANESE_HIRAGANA", "JAPANESE_HIRAGANA"},
            {"JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_FULL"},
            {"JAPANESE_KATAKANA_HALF", "JAPANESE_KATAKANA_HALF"},
            {"KOREAN", "KOREAN"},
            {"UNKNOWN", "UNKNOWN"}};
        for (auto [n, v] : modes)
            vm.defineValue(ime, n, Value(v), DontEnum | DontDelete | ReadOnly);
        vm.defineMethod(ime, "getEnabled", falseFn);
        vm.defineMethod(ime, "setEnabled", falseFn);
        vm.defineMethod(ime, "getConversionMode",
                        [](Vm&, Object*, Args&) -> Value { return Value("UNKNOWN"); });
        vm.defineMethod(ime, "setConversionMode", falseFn);
        vm.defineMethod(ime, "setCompositionString", falseFn);
        vm.defineMethod(ime, "doConversion", falseFn);
        vm.defineValue(sys, "IME", ime);
    }

    Value capsV = vm.get(sys, "capabilities");
    if (!capsV.isObject()) return;
    Object* caps = capsV.o;
    add(caps, "hasIME", Value(false));
    add(caps, "hasTLS", Value(false));
    add(caps, "screenDPI", Value(72));
    add(caps, "screenColor", Value("color"));
    add(caps, "pixelAspectRatio", Value(1));
    add(caps, "localFileReadDisable", Value(false));
    for (const char* n : {"hasVideoEncoder", "hasStreamingVideo", "hasStreamingAudio",
                          "hasScreenPlayback", "hasScreenBroadcast", "hasPrinting", "hasMP3",
                          "hasEmbeddedVideo", "hasAudioEncoder", "hasAccessibility"}) {
        const std::string_view s = n;
        // What this player does not do is reported as missing.
        const bool yes = s == "hasMP3" || s == "hasStreamingAudio" || s == "hasEmbeddedVideo";
        add(caps, n, Value(yes));
    }
    add(caps, "avHardwareDisable", Value(true));
    add(caps, "windowlessDisable", Value(true));
    if (!has(vm, caps, "serverString")) {
        // The same facts as one query string, the short names the servers expect.
        auto flag = [&](const char* n) { return vm.toBoolean(vm.get(caps, n)) ? "t" : "f"; };
        std::string s;
        auto put = [&](const char* k, const std::string& v) {
            if (!s.empty()) s += '&';
            s += k;
            s += '=';
            for (char ch : v) {
                if (isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == '-')
                    s += ch;
                else {
                    static const char* hex = "0123456789ABCDEF";
                    s += '%';
                    s += hex[static_cast<unsigned char>(ch) >> 4];
                    s += hex[ch & 15];
                }
            }
        };
        put("A", flag("hasAudio"));
        put("SA", flag("hasStreamingAudio"));
        put("SV", flag("hasStreamingVideo"));
        put("EV", flag("hasEmbeddedVideo"));
        put("MP3", flag("hasMP3"));
        put("AE", flag("hasAudioEncoder"));
        put("VE", flag("hasVideoEncoder"));
        put("ACC", flag("hasAccessibility"));
        put("PR", flag("hasPrinting"));
        put("SP", flag("hasScreenPlayback"));
        put("SB", flag("hasScreenBroadcast"));
        put("DEB", flag("isDebugger"));
        put("V", vm.toString(vm.get(caps, "version")));
        put("M", vm.toString(vm.get(caps, "manufacturer")));
        put("R", vm.toString(vm.get(caps, "screenResolutionX")) + "x" +
                     vm.toString(vm.get(caps, "screenResolutionY")));
        put("DP", vm.toString(vm.get(caps, "screenDPI")));
        put("COL", vm.toString(vm.get(caps, "screenColor")));
        put("AR", vm.toString(vm.get(caps, "pixelAspectRatio")));
        put("OS", vm.toString(vm.get(caps, "os")));
        put("L", vm.toString(vm.get(caps, "language")));
        put("PT", vm.toString(vm.get(caps, "playerType")));
        put("AVD", flag("avHardwareDisable"));
        put("LFD", flag("localFileReadDisable"));
        put("WD", flag("windowlessDisable"));
        vm.defineValue(caps, "serverString", Value(s), 0);
    }
}

}  // namespace

void installSystemBuiltins(Vm& vm) {
    // Video is not there for SWF 5 movies, though the other classes are.
    const bool hadVideo = has(vm, vm.global, "Video");
    installSystem(vm);
    installContextMenu(vm);
    installPrintJob(vm);
    installSharedObject(vm);
    installDevices(vm);
    if (vm.version() < 6 && !hadVideo)
        if (Property* p = vm.global->findAny(vm.key("Video"))) p->hidden = true;
}

}  // namespace swf::avm1
