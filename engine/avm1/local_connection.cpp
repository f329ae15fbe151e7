// LocalConnection between objects of this player, and FileReference / FileReferenceList as a
// player without file dialogs shows them: every browse or download is cancelled.

#include <algorithm>

#include "engine/avm1/loader.h"

namespace swf::avm1 {

namespace {

constexpr int kMaxCopyDepth = 64;
constexpr size_t kMaxCopyValues = 1u << 16;

Object* classProto(Vm& vm, Object* holder, std::string_view name, NativeFn ctor) {
    Object* f = vm.newFunction(std::move(ctor));
    vm.defineValue(holder, name, f);
    return vm.get(f, "prototype").o;
}

// A package object, also one hidden from older movies.
Object* package(Vm& vm, Object* parent, std::string_view name) {
    if (Property* p = parent->findAny(vm.key(name)); p && p->value.isObject()) return p->value.o;
    Object* o = vm.newObject();
    vm.defineValue(parent, name, o);
    return o;
}

bool isXml(Vm& vm, Object* o) {
    Value xml = vm.get(vm.global, "XML");
    return xml.isObject() && vm.instanceOf(Value(o), xml.o);
}

Value copy(Vm& vm, const Value& v, int depth, size_t& budget) {
    if (!v.isObject()) return v;
    if (depth > kMaxCopyDepth || budget == 0) return {};
    --budget;
    Object* o = v.o;
    switch (o->cls) {
        case ObjClass::MovieClip:
        case ObjClass::TextField:
            return {};
        case ObjClass::Date:
            return vm.construct(vm.get(vm.global, "Date"), {o->primitive});
        case ObjClass::String:
        case ObjClass::Number:
        case ObjClass::Boolean:
            return o->primitive;
        case ObjClass::Array: {
            std::vector<Value> elems;
            const size_t n = std::min(o->elems.size(), budget);
            elems.reserve(n);
            for (size_t i = 0; i < n; ++i)
                elems.push_back(copy(vm, o->elems[i], depth + 1, budget));
            return Value(vm.newArray(std::move(elems)));
        }
        default:
            break;
    }
    if (isXml(vm, o)) return vm.construct(vm.get(vm.global, "XML"), {Value(vm.toString(Value(o)))});
    Object* out = vm.newObject();
    for (const std::string& name : vm.enumerate(o)) {
        if (budget == 0) break;
        vm.set(out, name, copy(vm, vm.get(o, name), depth + 1, budget));
    }
    return Value(out);
}

// Names are qualified by the movie's domain unless they start with '_' or the sender gave
// one; letter case does not matter.
std::string connectionKey(std::string_view name) {
    const std::string lower = asciiLower(name);
    if (lower.starts_with('_') || lower.find(':') != std::string::npos) return lower;
    return "localhost:" + lower;
}

Object* statusInfo(Vm& vm, const char* level) {
    Object* info = vm.newObject();
    vm.set(info, "level", Value(level));
    return info;
}

void installLocalConnection(Vm& vm) {
    Object* proto = classProto(vm, vm.global, "LocalConnection",
                               [](Vm&, Object*, Args&) -> Value { return {}; });
    constexpr uint8_t kFlags = DontEnum | DontDelete;
    vm.defineMethod(
        proto, "connect",
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self || !vm.loads || a.empty() || !a[0].isString()) return Value(false);
            const std::string name = a[0].s;
            if (name.empty() || name.find(':') != std::string::npos) return Value(false);
            auto& conns = vm.loads->connections;
            for (const auto& [k, o] : conns)
                if (o == self) return Value(false);  // one name per object
            if (conns.size() >= 1024 || !conns.emplace(connectionKey(name), self).second)
                return Value(false);
            return Value(true);
        },
        kFlags);
    vm.defineMethod(
        proto, "close",
        [](Vm& vm, Object* self, Args&) -> Value {
            if (!self || !vm.loads) return {};
            std::erase_if(vm.loads->connections,
                          [self](const auto& kv) { return kv.second == self; });
            return {};
        },
        kFlags);
    vm.defineMethod(
        proto, "domain", [](Vm&, Object*, Args&) -> Value { return Value("localhost"); }, kFlags);
    vm.defineMethod(
        proto, "send",
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self || a.size() < 2 || !a[0].isString() || !a[1].isString()) return Value(false);
            const std::string conn = connectionKey(a[0].s), method = a[1].s;
            if (a[0].s.empty() || method.empty()) return Value(false);
            // The object's own methods cannot be called from the other side.
            static constexpr std::string_view kReserved[] = {
                "send",   "connect", "close", "allowDomain", "allowInsecureDomain",
                "domain", "onStatus"};
            for (std::string_view r : kReserved)
                if (asciiLower(method) == asciiLower(r)) return Value(false);
            // A name nobody holds when the message leaves fails even if it is taken later.
            const bool heldAtSend = vm.loads->connections.contains(conn);
            // The message's arguments travel as they would between two players.
            Args args;
            size_t budget = kMaxCopyValues;
            for (size_t i = 2; i < a.size() && i < 1024; ++i)
                args.push_back(copy(vm, a[i], 0, budget));
            std::vector<Value> keep{Value(self)};
            keep.insert(keep.end(), args.begin(), args.end());
            queueCall(
                vm,
                [conn, method, self, args, heldAtSend](Vm& vm) mutable {
                    auto& conns = vm.loads->connections;
                    auto it = conns.find(conn);
                    Object* receiver = it == conns.end() || !heldAtSend ? nullptr : it->second;
                    vm.callMethod(Value(self), "onStatus",
                                  {Value(statusInfo(vm, receiver ? "status" : "error"))});
                    if (!receiver) return;
                    Value fn = vm.get(receiver, method);
                    if (fn.isObject() && fn.o->fn) vm.call(fn, receiver, args);
                },
                std::move(keep));
            return Value(true);
        },
        kFlags);
}

// A FileReference's or FileReferenceList's dialog, which this player never shows.
Value cancelled(Vm& vm, Object* self) {
    if (!self) return Value(false);
    queueCall(vm, [self](Vm& vm) { broadcast(vm, self, "onCancel", {Value(self)}); },
              {Value(self)});
    return Value(true);
}

void installFileReference(Vm& vm) {
    Object* net = package(vm, package(vm, vm.global, "flash"), "net");
    // The prototypes broadcast; each object keeps its own listeners.
    auto listeners = [](Vm& vm, Object* self) {
        vm.defineValue(self, "_listeners", Value(vm.newArray()), 0);
    };
    Object* ref = classProto(vm, net, "FileReference", [listeners](Vm& vm, Object* self, Args&) {
        if (!self) return Value();
        listeners(vm, self);
        // No file is chosen: what describes one reads undefined and cannot be written.
        for (const char* n :
             {"creationDate", "creator", "modificationDate", "name", "size", "type"}) {
            Property& p = self->setOwn(n, vm.key(n), Value(), 0);
            p.getter = vm.newMethod([](Vm&, Object*, Args&) -> Value { return {}; });
        }
        vm.defineValue(self, "postData", Value("undefined"), 0);
        return Value();
    });
    vm.defineMethod(ref, "browse", [](Vm& vm, Object* self, Args&) { return cancelled(vm, self); });
    vm.defineMethod(ref, "download", [](Vm& vm, Object* self, Args& a) -> Value {
        if (a.empty()) return Value(false);
        return cancelled(vm, self);
    });
    vm.defineMethod(ref, "upload", [](Vm&, Object*, Args&) -> Value { return Value(false); });
    vm.defineMethod(ref, "cancel", [](Vm&, Object*, Args&) -> Value { return {}; });
    Object* list =
        classProto(vm, net, "FileReferenceList", [listeners](Vm& vm, Object* self, Args&) {
            if (!self) return Value();
            // The list of files stays undefined until a choice is made.
            listeners(vm, self);
            return Value();
        });
    vm.defineMethod(list, "browse",
                    [](Vm& vm, Object* self, Args&) { return cancelled(vm, self); });
    // Both classes came with Flash 8.
    for (const char* m : {"browse", "download", "upload", "cancel"}) vm.addFlags(ref, m, From8);
    vm.addFlags(list, "browse", From8);
    if (Value bc = vm.get(vm.global, "AsBroadcaster"); bc.isObject())
        for (Object* proto : {ref, list}) initBroadcaster(vm, proto, bc.o);
}

// ExternalInterface's text helpers: no text at all gives null.
Value externalText(Vm& vm, Args& a, std::string (*change)(std::string_view)) {
    if (a.empty()) return Value::null();
    const std::string s = vm.toString(a[0]);
    if (s.empty()) return Value::null();
    return Value(change(s));
}

constexpr std::pair<char, std::string_view> kXmlEntities[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&apos;"}};

std::string escapeXml(std::string_view s) {
    std::string out;
    for (char c : s) {
        auto it = std::find_if(std::begin(kXmlEntities), std::end(kXmlEntities),
                               [c](const auto& e) { return e.first == c; });
        if (it != std::end(kXmlEntities)) {
            out += it->second;
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescapeXml(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        auto it = std::find_if(std::begin(kXmlEntities), std::end(kXmlEntities),
                               [&](const auto& e) { return s.substr(i).starts_with(e.second); });
        if (it != std::end(kXmlEntities)) {
            out += it->first;
            i += it->second.size();
        } else {
            out += s[i++];
        }
    }
    return out;
}

std::string jsQuoted(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '"') {
            out += "\\\"";
        } else {
            out += c;
        }
    }
    return out;
}

// No page holds this player: nothing outside answers, and the class says so.
void installExternalInterface(Vm& vm) {
    Object* external = package(vm, package(vm, vm.global, "flash"), "external");
    Object* ei = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineValue(external, "ExternalInterface", ei);
    auto none = [](Vm&, Object*, Args&) -> Value { return {}; };
    const char* natives[] = {"_addCallback", "_callOut", "_evalJS", "_initJS", "_objectID"};
    for (const char* n : natives) vm.defineMethod(ei, n, none);
    vm.defineMethod(ei, "_escapeXML",
                    [](Vm& vm, Object*, Args& a) { return externalText(vm, a, escapeXml); });
    vm.defineMethod(ei, "_unescapeXML",
                    [](Vm& vm, Object*, Args& a) { return externalText(vm, a, unescapeXml); });
    vm.defineMethod(ei, "_jsQuoteString",
                    [](Vm& vm, Object*, Args& a) { return externalText(vm, a, jsQuoted); });
    // The members the player writes as scripts.
    const char* scripted[] = {"_argumentsToAS", "_argumentsToXML", "_arrayToAS", "_arrayToJS",
                              "_arrayToXML",    "_callIn",          "_objectToAS", "_objectToJS",
                              "_objectToXML",   "_toAS",            "_toJS",       "_toXML"};
    for (const char* n : scripted) vm.defineFunction(ei, n, none);
    vm.defineFunction(ei, "addCallback",
                      [](Vm&, Object*, Args&) -> Value { return Value(false); });
    vm.defineFunction(ei, "call", [](Vm&, Object*, Args&) { return Value::null(); });
    Property& available = ei->setOwn("available", vm.key("available"), Value(), 0);
    available.getter = vm.newMethod([](Vm&, Object*, Args&) -> Value { return Value(false); });
    vm.addFlagsToAll(ei, DontEnum | DontDelete | ReadOnly);
    for (const Property& p : std::vector<Property>(ei->props()))
        if (p.key != kProtoKey && p.name != "prototype" && p.name != "constructor")
            vm.addFlags(ei, p.name, From8);
}

}  // namespace

Value amfCopy(Vm& vm, const Value& v) {
    size_t budget = kMaxCopyValues;
    return copy(vm, v, 0, budget);
}

void broadcast(Vm& vm, Object* source, std::string_view name, Args args) {
    args.insert(args.begin(), Value(std::string(name)));
    vm.callMethod(Value(source), "broadcastMessage", args);
}

void installNetBuiltins(Vm& vm) {
    installLocalConnection(vm);
    installFileReference(vm);
    installExternalInterface(vm);
}

}  // namespace swf::avm1
