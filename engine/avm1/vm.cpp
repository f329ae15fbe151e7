#include "engine/avm1/vm.h"

#include <malloc.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/avm1/button_object.h"
#include "engine/avm1/clip.h"
#include "engine/avm1/context.h"
#include "engine/avm1/loader.h"

#if defined(__SANITIZE_ADDRESS__)
#define LANFENG_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LANFENG_ASAN 1
#endif
#endif
#ifdef LANFENG_ASAN
// The sanitizer runtime's own count (gcc ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace swf::avm1 {

namespace {

// Bytes the process holds from its allocator (the sanitizer's allocator replaces malloc's).
size_t heapInUse() {
#ifdef LANFENG_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

// The lowest address this thread's stack may reach with room to spare for the natives and
// the libraries a script calls into (sanitizers make frames much larger).
uintptr_t stackFloorOfThisThread() {
    thread_local uintptr_t floor = 0;
    if (floor) return floor;
#ifdef LANFENG_ASAN
    constexpr size_t kReserve = size_t{3} << 20;
#else
    constexpr size_t kReserve = size_t{1} << 20;
#endif
    pthread_attr_t attr;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
    }
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const auto bottom = reinterpret_cast<uintptr_t>(low);
    // Unknown bounds: allow 1 MiB below here, which every thread's stack has.
    if (!low || size <= 2 * kReserve || here <= bottom + kReserve)
        floor = here - std::min<uintptr_t>(here, size_t{1} << 20);
    else
        floor = bottom + kReserve;
    return floor;
}

}  // namespace

EntryScope::EntryScope(Vm& v) : vm(v), start(std::chrono::steady_clock::now()) {
    if (vm.entries_++ > 0) return;
    // An idle stretch longer than the budget (a stopped movie's mouse events) starts afresh.
    if (start - vm.frameStart_ > vm.limits_.scriptTime) vm.beginFrame();
    vm.deadline = start + (vm.limits_.scriptTime - vm.frameUsed_);
    vm.stackFloor_ = stackFloorOfThisThread();
}

EntryScope::~EntryScope() {
    if (--vm.entries_ > 0) return;
    vm.frameUsed_ += std::chrono::steady_clock::now() - start;
}

void Vm::beginFrame() {
    frameUsed_ = {};
    frameStart_ = std::chrono::steady_clock::now();
}

void Vm::aborted(const ScriptAbort& a) {
    if (!a.fatal) {
        host_.log(a.reason);
        return;
    }
    if (stopped_) return;  // said once
    stopped_ = true;
    host_.log(a.reason);
}

CallLevel::CallLevel(Vm& v) : vm(v) {
    // The action list that made the first call is a level of its own.
    if (vm.callDepth + 2 > vm.limits().maxCallDepth)
        throw ScriptAbort{std::to_string(vm.limits().maxCallDepth) +
                          " levels of recursion were exceeded in one action list."};
    vm.checkStack();
    ++vm.callDepth;
}

CallLevel::~CallLevel() { --vm.callDepth; }

void Vm::checkStack() const {
    if (reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < stackFloor_)
        throw ScriptAbort{"Scripts nested too deeply for the stack; this action list ended."};
}

void Vm::checkHeap(const char* about, size_t adding) {
    const size_t now = heapInUse();
    if (now + adding <= heapBase_ + limits_.maxHeapGrowth) return;
    throw ScriptAbort{"The movie's scripts reached their memory limit of " +
                          std::to_string(limits_.maxHeapGrowth >> 20) + " MiB (" + about +
                          ") and were stopped.",
                      true};
}

void Vm::checkString(size_t bytes) {
    if (bytes > limits_.maxStringBytes) throw ScriptAbort{"string too long"};
    if (bytes >= kLargeGrowth) checkHeap("strings", bytes);
}

void Vm::checkArray(size_t to, size_t from) {
    if (to > limits_.maxArrayLength) throw ScriptAbort{"array too long"};
    if (to > from && (to - from) * sizeof(Value) >= kLargeGrowth)
        checkHeap("arrays", (to - from) * sizeof(Value));
}

Vm::Vm(int swfVersion, VmHost& host, VmLimits limits)
    : version_(swfVersion), host_(host), limits_(limits), heapBase_(heapInUse()) {
    installBuiltins();
    installSystemBuiltins(*this);
    installNativeTables(*this);
    hideNewerClipMethods(*this);
}

// The registries go before the heap: they clear their objects' pointers back to them.
Vm::~Vm() {
    input.reset();
    textFields.reset();
    loads.reset();
}

std::string Vm::key(std::string_view name) const {
    return version_ >= 7 ? std::string(name) : foldCase(name);
}

Object* Vm::newObject(Object* proto) {
    if (heap_.size() >= limits_.maxObjects) {
        collect();
        if (heap_.size() >= limits_.maxObjects) throw ScriptAbort{"too many objects"};
    }
    heap_.push_back(std::make_unique<Object>());
    Object* o = heap_.back().get();
    o->setProto(proto);
    return o;
}

Object* Vm::newArray(std::vector<Value> elems) {
    Object* a = newInstance(arrayProto, arrayCtor);
    makeArray(a);
    a->elems = std::move(elems);
    return a;
}

Object* Vm::newScriptArray(std::vector<Value> elems) {
    Object* a = newArray(std::move(elems));
    const Value proto = get(get(Value(global), "Array"), "prototype");
    a->setProto(proto.isObject() ? proto.o : nullptr);
    if (!proto.isObject())
        if (Property* own = a->findAny(key("__proto__"))) own->value = proto;
    return a;
}

Object* Vm::newFunction(NativeFn fn, Object* proto) {
    Object* f = newMethod(std::move(fn));
    if (!proto) proto = newObject(objectProto);
    defineValue(f, "prototype", proto, DontEnum | DontDelete);
    defineValue(proto, "constructor", f, DontEnum | DontDelete);
    return f;
}

Object* Vm::newMethod(NativeFn fn) {
    Object* f = newObject(functionProto);
    f->cls = ObjClass::Function;
    f->fn = std::make_unique<FunctionData>();
    f->fn->native = std::move(fn);
    // A function's link to Function.prototype is out of SWF 5 movies' sight.
    if (Property* link = f->findAny(kProtoKey))
        link->setFlags(DontEnum | DontDelete | From6, version_);
    if (functionCtor) defineValue(f, "constructor", functionCtor, DontEnum | DontDelete);
    return f;
}

Object* Vm::newInstance(Object* proto, Object* ctor) {
    Object* o = newObject(proto);
    if (ctor) defineValue(o, "constructor", ctor, DontEnum | DontDelete);
    return o;
}

void Vm::markConstructed(Object* obj, Object* ctor) {
    defineValue(obj, "__constructor__", ctor, DontEnum | From6);
    if (version_ < 7) defineValue(obj, "constructor", ctor, DontEnum);
}

Object* Vm::boxed(const Value& v) {
    switch (v.type) {
        case Type::Object:
            return v.o;
        case Type::String: {
            Object* o = newObject(stringProto);
            o->cls = ObjClass::String;
            o->primitive = v;
            return o;
        }
        case Type::Number: {
            Object* o = newObject(numberProto);
            o->cls = ObjClass::Number;
            o->primitive = v;
            return o;
        }
        case Type::Boolean: {
            Object* o = newObject(booleanProto);
            o->cls = ObjClass::Boolean;
            o->primitive = v;
            return o;
        }
        default:
            return nullptr;
    }
}

Object* Vm::clipObject(ClipHost* clip) {
    if (!clip) return nullptr;
    if (!clip->scriptObject) {
        Object* o = newObject(clipProto);
        o->cls = ObjClass::MovieClip;
        o->clip = clip;
        clip->scriptObject = o;
        if (!clip->parent()) {
            // A level's root carries the player version for scripts asking /:$version.
            Value caps = get(get(global, "System"), "capabilities");
            defineValue(o, "$version", get(caps, "version"), DontEnum);
        }
    }
    return clip->scriptObject;
}

void Vm::defineValue(Object* o, std::string_view name, Value v, uint16_t flags) {
    o->setOwn(name, key(name), std::move(v)).setFlags(flags, version_);
}

void Vm::addFlags(Object* o, std::string_view name, uint16_t flags) {
    if (Property* p = o->findAny(key(name)); p && !p->internal())
        p->setFlags(p->flags | flags, version_);
}

void Vm::defineFunction(Object* o, std::string_view name, NativeFn fn, uint16_t flags) {
    defineValue(o, name, newFunction(std::move(fn)), flags);
}

void Vm::addFlagsToAll(Object* o, uint16_t flags) {
    for (const Property& p : o->props()) addFlags(o, p.name, flags);
}

void Vm::keptLength(Object* o, Value v) {
    if (Property* own = o->findAny(key("length")); own && !own->isAccessor())
        own->value = std::move(v);
}

void Vm::makeArray(Object* o) {
    o->cls = ObjClass::Array;
    // The value stays unused: an array's length is its element count.
    if (!o->findAny(key("length"))) defineValue(o, "length", Value(), DontEnum | DontDelete);
}

void Vm::defineMethod(Object* o, std::string_view name, NativeFn fn, uint16_t flags) {
    defineValue(o, name, newMethod(std::move(fn)), flags);
}

// ---------------------------------------------------------------- properties

Value Vm::get(const Value& v, std::string_view name) {
    if (v.isObject()) return get(v.o, name);
    if (v.isNullish()) return {};
    if (v.isString() && (name == "length")) return Value(utf8Length(v.s));
    Object* proto = v.isString() ? stringProto : v.isNumber() ? numberProto : booleanProto;
    // Methods are looked up on the prototype without boxing; getters see a wrapper.
    Object* box = boxed(v);
    (void)proto;
    return get(box, name);
}

namespace {
// Holds the accessor of holder's property k locked for as long as it lives (when asked to):
// reads and writes then reach the value beneath. Found again by key on release, as the
// property may move meanwhile.
struct AccessorLock {
    Object* holder;
    std::string k;
    bool held = false;
    AccessorLock(Object* o, std::string key, bool lock) : holder(o), k(std::move(key)) {
        if (Property* own = lock ? holder->findOwn(k) : nullptr;
            own && own->getter && own->watchLock < 255) {
            ++own->watchLock;
            held = true;
        }
    }
    ~AccessorLock() {
        if (Property* own = held ? holder->findOwn(k) : nullptr; own && own->watchLock)
            --own->watchLock;
    }
    AccessorLock(const AccessorLock&) = delete;
    AccessorLock& operator=(const AccessorLock&) = delete;
};
}  // namespace

// A lookup that goes on past 256 prototypes ends the script.
static void checkChainDepth(int depth) {
    if (depth >= 256) throw ScriptAbort{"prototype chain too long"};
}

Object* Vm::liveRef(Object* o) {
    if (!o || o->clip || o->clipPath.empty() || o->cls != ObjClass::MovieClip || !root_) return o;
    ClipHost* now = resolveTarget(o->clipPath, root_);
    Object* found = now ? clipObject(now) : nullptr;
    return found && found->clip ? found : o;
}

Property* Vm::versionHidden(Object* o, std::string_view name) {
    Property* own = o ? o->findAny(key(name)) : nullptr;
    return own && own->hidden && own->listedWhenHidden && !own->isAccessor() ? own : nullptr;
}

Value Vm::getHidden(Object* o, std::string_view name) {
    if (Property* own = versionHidden(o, name)) return own->value;
    return get(o, name);
}

Value Vm::get(Object* o, std::string_view name) {
    o = liveRef(o);
    if (!o) return {};
    if (o->cls == ObjClass::Super) {
        Object* start = o->superProto;
        if (!start) return {};
        if (name.size() == 9 && key(name) == "__proto__")
            return start->proto ? Value(start->proto) : Value();
        if (Property* prop = findInChain(start, key(name))) {
            if (prop->isAccessor()) return callAccessor(prop->getter, o->superThis, {}, start);
            return prop->value;
        }
        return {};
    }
    if (name.size() == kProtoKey.size() && key(name) == kProtoKey) {
        // The link is the object's own: a hidden or deleted one leaves nothing to find.
        Property* own = o->findOwn(kProtoKey);
        if (!own) return {};
        return own->isAccessor() ? callGetter(own->getter, o) : own->value;
    }
    if (o->cls == ObjClass::Array) {
        // addProperty can put an accessor over an element or the length.
        if (Property* own = o->props().empty() ? nullptr : o->findOwn(key(name));
            own && own->isAccessor()) {
            Args none;
            return callGetter(own->getter, o);
        }
        const int64_t idx = arrayIndex(name);
        if (idx >= 0) {
            if (o->hasElem(static_cast<size_t>(idx))) return o->elems[idx];
        } else if (name == "length") {
            if (const Property* own = o->findOwn(key(name)); own && !own->value.isUndefined())
                return own->value;
            return Value(o->elems.size());
        }
    } else if (o->cls == ObjClass::String && name == "length") {
        return Value(utf8Length(o->primitive.s));
    } else if (o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField) {
        if (name.size() >= 5 && name[0] == '_') {
            // A variable named like the built-in paths shadows them.
            const std::string k = key(name);
            if (k == "_root" || k == "_parent" || k == "_global" || k == "_level0")
                if (Property* own = o->findOwn(k); own && !own->isAccessor()) return own->value;
            if (version_ >= 6 && k == "_global") return Value(global);
        }
        Value out;
        if (clipGet(*this, o, name, out)) return out;
    }
    const std::string k = key(name);
    // Clips reach their children by name, and so do buttons the clips in their state: after
    // their own properties, before what their prototypes lend.
    const bool hasChildren = o->cls == ObjClass::MovieClip || buttonOf(o);
    int guard = 0;
    for (Object* p = o; p; p = p->chainNext(), ++guard) {
        checkChainDepth(guard);
        if (Property* prop = p->findOwn(k)) {
            if (prop->isAccessor()) {
                // Before SWF 7 an accessor is not entered again while it runs.
                const AccessorLock lock(p, k, version_ < 7);
                return callGetter(prop->getter, o, prop->value);
            }
            return prop->value;
        }
        if (p == o && hasChildren) {
            Value out;
            if (clipGetChild(*this, o, name, out)) return out;
        }
    }
    return resolveMissing(o, name);
}

// Getters and setters nest only so deep: past that a read gives the value beneath the
// accessor and a write does nothing, and the script goes on.
Value Vm::callGetter(Object* fn, Object* thisObj, const Value& beneath) {
    if (getterDepth_ >= kMaxAccessorDepth) return beneath;
    ++getterDepth_;
    struct Undo {
        int& d;
        ~Undo() { --d; }
    } undo{getterDepth_};
    return call(Value(fn), thisObj, {});
}

bool Vm::callSetter(Object* fn, Object* thisObj, const Value& v) {
    if (setterDepth_ >= kMaxAccessorDepth) return false;
    ++setterDepth_;
    struct Undo {
        int& d;
        ~Undo() { --d; }
    } undo{setterDepth_};
    call(Value(fn), thisObj, {v});
    return true;
}

// Conversions look their methods up without __resolve.
Value Vm::getMethod(Object* o, std::string_view name) {
    const bool was = noResolve_;
    noResolve_ = true;
    struct Restore {
        bool& f;
        bool v;
        ~Restore() { f = v; }
    } restore{noResolve_, was};
    return get(o, name);
}

// A name found nowhere goes to the first __resolve function up the chain; a __resolve that is
// a primitive or a clip is passed over, any other object ends the search.
Value Vm::resolveMissing(Object* o, std::string_view name) {
    if (noResolve_ || (name.size() == 9 && key(name) == key("__resolve"))) return {};
    const std::string k = key("__resolve");
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->chainNext(), ++guard) {
        // Version bits do not hide a __resolve.
        Property* r = p->findAny(k);
        if (!r || r->internal()) continue;
        if (r->isAccessor()) return {};
        if (!r->value.isObject() || r->value.o->cls == ObjClass::MovieClip) continue;
        return call(r->value, o, {Value(std::string(name))});
    }
    return {};
}

void Vm::set(Object* o, std::string_view name, Value v) {
    o = liveRef(o);
    if (!o) return;
    if (o->cls == ObjClass::Super) {
        // A setter above the method's class runs for the instance.
        Object* start = o->superProto;
        Property* prop = start ? findInChain(start, key(name)) : nullptr;
        if (prop && prop->isAccessor()) {
            if (prop->setter) callAccessor(prop->setter, o->superThis, {std::move(v)}, start);
            return;
        }
        o = o->superThis;
    }
    if (!o) return;
    const std::string k = key(name);
    if (k == kProtoKey) {
        // A primitive as prototype leads nowhere: nothing is found through it.
        Property* own = o->findAny(k);
        if (own && own->isAccessor()) {
            if (own->setter) callSetter(own->setter, o, v);
            return;
        }
        if (own && (own->flags & ReadOnly)) return;
        const uint16_t flags = own ? own->flags : 0;
        o->setOwn(name, k, std::move(v)).setFlags(flags, version_);
        return;
    }
    if (!o->watches.empty()) {
        auto w = o->watches.find(k);
        if (w != o->watches.end() && w->second.callback &&
            (version_ < 7 || w->second.running < kMaxWatchDepth)) {
            // A watcher of an accessor sees the value kept beneath it; the getter is not run.
            Property* found = o->findOwn(k);
            int guard = 0;
            for (Object* p = o->chainNext(); !found && p && guard < 256; p = p->chainNext(), ++guard)
                found = p->findOwn(k);
            const Value old = found && found->isAccessor() ? found->value : get(o, name);
            // The write lands in the property the watcher was called for: one it deletes
            // takes nothing, and a new one is made before the call for it to delete.
            const bool plainSlot = o->cls != ObjClass::MovieClip && o->cls != ObjClass::TextField &&
                                   !(o->cls == ObjClass::Array && arrayIndex(name) >= 0);
            if (!found && plainSlot) o->setOwn(name, k, Value());
            const bool slot = plainSlot && o->findOwn(k);
            // A watcher of an accessor that cannot be called again (before SWF 7 none can)
            // reaches the value beneath it. The property may move while the watcher adds
            // others: found again by key.
            const bool last = version_ < 7 || w->second.running + 1 >= kMaxWatchDepth;
            const AccessorLock lock(o, k, last);
            Args a{Value(std::string(name)), old, v, w->second.data};
            Watch keep = w->second;
            if (version_ >= 7) {
                // SWF 7 watchers see their own writes, each up to a fixed nesting of its own
                // (found again by key: the map may grow meanwhile).
                ++w->second.running;
                struct Undo {
                    Object* o;
                    const std::string& k;
                    ~Undo() {
                        if (auto it = o->watches.find(k);
                            it != o->watches.end() && it->second.running)
                            --it->second.running;
                    }
                } undo{o, k};
                v = call(keep.callback, o, a);
            } else {
                o->watches.erase(w);  // a watcher setting the same property does not recurse
                v = call(keep.callback, o, a);
                o->watches[k] = keep;
            }
            if (slot && !o->findOwn(k)) return;
        }
    }
    if (o->cls == ObjClass::Array) {
        const int64_t idx = arrayIndex(name);
        if (idx >= 0) {
            if (static_cast<size_t>(idx) >= o->elems.size()) {
                checkArray(static_cast<size_t>(idx) + 1, o->elems.size());
                keptLength(o, Value());
            }
            o->setElem(static_cast<size_t>(idx), std::move(v));
            return;
        }
        if (name == "length") {
            if (const Property* own = o->findOwn(k); own && (own->flags & ReadOnly)) return;
            const double n = toNumber(v);
            if (n >= 0 && n == std::floor(n)) {
                if (n > static_cast<double>(limits_.maxArrayLength))
                    throw ScriptAbort{"array too long"};
                checkArray(static_cast<size_t>(n), o->elems.size());
                o->resizeElems(static_cast<size_t>(n));
                keptLength(o, Value());
            } else if (std::isnan(n)) {
                // What is no number at all is kept as the length reads, the elements stay.
                keptLength(o, std::move(v));
            }
            return;
        }
    } else if (o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField) {
        if (clipSet(*this, o, name, v)) return;
    }
    if (Property* prop = o->findOwn(k)) {
        if (prop->isAccessor()) {
            // The value written stays beneath the accessor too, for its watchers, once its
            // setter has run (found again by key: the setter may add properties).
            if (prop->setter) {
                const AccessorLock lock(o, k, version_ < 7);
                if (!callSetter(prop->setter, o, v)) return;
            }
            if (Property* again = o->findOwn(k)) again->value = std::move(v);
            return;
        }
        if (prop->flags & ReadOnly) return;
        prop->value = std::move(v);
        return;
    }
    int guard = 0;
    for (Object* p = o->chainNext(); p; p = p->chainNext()) {
        checkChainDepth(guard++);
        if (Property* prop = p->findOwn(k)) {
            if (prop->isAccessor()) {
                if (prop->setter) {
                    const AccessorLock lock(p, k, version_ < 7);
                    callSetter(prop->setter, o, v);
                }
                return;
            }
            break;
        }
    }
    if (Property* hid = o->findAny(k); hid && hid->listedWhenHidden && !hid->getter) {
        // A write brings a property its version bits hid back into sight with its other flags,
        // except that SWF 6 keeps one of Flash 7's hidden, value and all.
        hid->value = std::move(v);
        if (version_ != 6 || !(hid->flags & From7))
            hid->setFlags(hid->flags & ~kVersionFlags, version_);
        return;
    }
    o->setOwn(name, k, std::move(v));
}

bool Vm::hasProperty(Object* o, std::string_view name) {
    if (!o) return false;
    // As get() answers them.
    if (name.size() == kProtoKey.size() && key(name) == kProtoKey)
        return o->findOwn(kProtoKey) != nullptr;
    if (o->cls == ObjClass::String && name == "length") return true;
    if (o->cls == ObjClass::Array) {
        const int64_t idx = arrayIndex(name);
        if (idx >= 0 && o->hasElem(static_cast<size_t>(idx))) return true;
        if (name == "length") return true;
    }
    if ((o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField) && clipHas(*this, o, name))
        return true;
    const std::string k = key(name);
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->chainNext(), ++guard)
        if (p->findOwn(k)) return true;
    return false;
}

bool Vm::deleteProperty(Object* o, std::string_view name) {
    if (!o) return false;
    if (o->cls == ObjClass::Array) {
        const int64_t idx = arrayIndex(name);
        if (idx >= 0 && o->hasElem(static_cast<size_t>(idx))) {
            // The index goes; the length stays.
            o->deleteElem(static_cast<size_t>(idx));
            return true;
        }
    }
    const std::string k = key(name);
    Property* p = o->findOwn(k);
    if (!p || (p->flags & DontDelete)) return false;
    o->removeOwn(k);
    return true;
}

// The version bits of a __proto__ link that end for..in there: in SWF 5 those of every later
// version, from SWF 6 on only those of the next one.
static uint16_t enumerationStops(int version) {
    if (version < 6) return From6 | From7 | From8 | From9;
    if (version == 6) return From7;
    if (version == 7) return From8;
    return version == 8 ? From9 : From10;
}

std::vector<std::string> Vm::enumerate(Object* o) {
    // Names are gathered from the object up its chain, then for..in takes the furthest
    // prototype's first: the nearest object's names come last.
    std::vector<std::vector<std::string>> levels;
    std::unordered_map<std::string, bool> seen;
    int guard = 0;
    const uint16_t stops = enumerationStops(version_);
    for (Object* p = o; p && guard < 256; p = p->chainNext(), ++guard) {
        std::vector<std::string>& out = levels.emplace_back();
        const auto& props = p->props();
        // An array's elements and its properties come newest first, as they were made.
        std::vector<std::pair<uint32_t, size_t>> elems;
        if (p->cls == ObjClass::Array) {
            for (size_t i = p->elems.size(); i-- > 0;)
                if (p->hasElem(i)) elems.emplace_back(p->elemMadeAt(i), i);
            std::stable_sort(elems.begin(), elems.end(),
                             [](const auto& x, const auto& y) { return x.first > y.first; });
        }
        auto e = elems.begin();
        auto elemsMadeAfter = [&](int64_t made) {
            for (; e != elems.end() && int64_t(e->first) > made; ++e) {
                std::string n = std::to_string(e->second);
                if (seen.emplace(n, true).second) out.push_back(n);
            }
        };
        for (auto it = props.rbegin(); it != props.rend(); ++it) {
            elemsMadeAfter(it->made);
            if (it->internal()) continue;
            if (seen.emplace(it->key, true).second && !(it->flags & DontEnum))
                out.push_back(it->name);
        }
        elemsMadeAfter(-1);
        if (p->cls == ObjClass::MovieClip && p->clip) {
            for (ClipHost* c : childrenOf(p->clip)) {
                std::string n = c->name();
                if (!n.empty() && seen.emplace(key(n), true).second) out.push_back(n);
            }
        }
        if (const Property* link = p->findAny(kProtoKey); link && (link->flags & stops)) break;
    }
    std::vector<std::string> out;
    for (auto l = levels.rbegin(); l != levels.rend(); ++l)
        out.insert(out.end(), std::make_move_iterator(l->begin()),
                   std::make_move_iterator(l->end()));
    return out;
}

// ---------------------------------------------------------------- calls

Value Vm::call(const Value& fn, Object* thisObj, Args args) {
    if (!fn.isObject() || !fn.o->fn) return {};
    Object* f = fn.o;
    if (f->fn->native) {
        const CallLevel level(*this);
        return f->fn->native(*this, thisObj, args);
    }
    return runFunction(f, thisObj, args, nullptr);
}

Value Vm::construct(const Value& ctor, Args args) {
    if (!ctor.isObject() || !ctor.o->fn) return {};
    Object* f = ctor.o;
    Value protoV = get(f, "prototype");
    Object* obj = newObject(protoV.isObject() ? protoV.o : objectProto);
    markConstructed(obj, f);
    tempRoots_.push_back(obj);
    struct Pop {
        std::vector<Object*>& v;
        ~Pop() { v.pop_back(); }
    } pop{tempRoots_};
    if (f->fn->construct) {
        Value r = f->fn->construct(*this, obj, args);
        if (r.isUndefined() && f->fn->newMayFail) return r;
        return r.isObject() ? r : Value(obj);
    }
    if (f->fn->native) {
        Value r = call(f, obj, std::move(args));
        return r.isObject() ? r : Value(obj);
    }
    runFunction(f, obj, args, obj->proto);
    return obj;
}

Property* Vm::findInChain(Object* o, std::string_view key) {
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->chainNext(), ++guard) {
        // What super reaches ends at a movie clip: a clip is no class's prototype.
        if (p->cls == ObjClass::MovieClip) return nullptr;
        if (Property* prop = p->findOwn(key)) return prop;
    }
    return nullptr;
}

Object* Vm::newSuper(Object* thisObj, Object* home) {
    Object* s = newObject(nullptr);
    s->cls = ObjClass::Super;
    s->superThis = thisObj;
    // Through a movie clip as prototype super reaches nothing.
    if (home && home->cls == ObjClass::MovieClip) home = nullptr;
    s->superHome = home;
    // As a prototype itself, a super object leads on to what it reaches.
    s->superProto = s->proto = home ? home->proto : nullptr;
    return s;
}

Value Vm::callAccessor(Object* fn, Object* thisObj, Args args, Object* home) {
    if (!fn || !fn->fn) return {};
    if (fn->fn->native) return call(Value(fn), thisObj, std::move(args));
    return runFunction(fn, thisObj, args, home);
}

Value Vm::callSuper(Object* super, std::string_view name, Args args) {
    Object* start = super->superProto;
    Object* home = start;  // the callee's super is taken below it
    Value fn;
    if (name.empty()) {
        // The constructor is found from the prototype below, never through __resolve.
        Property* p = super->superHome ? findInChain(super->superHome, "__constructor__") : nullptr;
        if (p)
            fn =
                p->isAccessor() ? callAccessor(p->getter, super->superThis, {}, nullptr) : p->value;
    } else if (Property* p = start ? findInChain(start, key(name)) : nullptr) {
        fn = p->isAccessor() ? callAccessor(p->getter, super->superThis, {}, start) : p->value;
        // From SWF 7 a method found further down takes its own super from where it was
        // found; found at the start, it goes on below as before.
        if (version_ >= 7)
            for (Object* q = start; q && q->proto; q = q->proto)
                if (q->proto->findOwn(key(name)) == p) {
                    home = q;
                    break;
                }
    }
    if (!fn.isObject() || !fn.o->fn) return {};
    return callAccessor(fn.o, super->superThis, std::move(args), home);
}

Value Vm::callMethod(const Value& receiver, std::string_view name, Args args) {
    Object* o = receiver.isObject() ? receiver.o : boxed(receiver);
    if (!o) return {};
    Value fn = get(o, name);
    return call(fn, o, std::move(args));
}

Value Vm::callHandler(Object* o, std::string_view name, Args args) {
    Value fn = getMethod(o, name);
    return fn.isObject() && fn.o->fn ? call(fn, o, std::move(args)) : Value();
}

void Vm::checkTime() {
    if (stopped_ || std::chrono::steady_clock::now() > deadline)
        throw ScriptAbort{
            "A script in this movie is causing the player to run slowly; the movie's scripts "
            "were stopped.",
            true};
}

// ---------------------------------------------------------------- conversions

Value Vm::toPrimitive(const Value& v) {
    if (!v.isObject()) return v;
    Object* o = v.o;
    if (o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField) return v;
    Value fn = getMethod(o, "valueOf");
    return fn.isObject() && fn.o->fn ? call(fn, receiverOf(o), {}) : Value();
}

// An Add2 operand: an object's primitive. A clip stays itself, and so does an object whose
// primitive is an object other than a clip; such an operand is text next to text.
Value addOperand(Vm& vm, const Value& v) {
    if (!v.isObject()) return v;
    Value r;
    if (v.o->cls == ObjClass::Date && vm.version() >= 6) {
        // From SWF 6 a date is asked for its text instead.
        const Value fn = vm.getMethod(v.o, "toString");
        if (fn.isObject() && fn.o->fn) r = vm.call(fn, v.o, {});
    } else {
        r = vm.toPrimitive(v);
    }
    return r.isObject() && r.o->cls != ObjClass::MovieClip ? v : r;
}

std::string Vm::toString(const Value& v) {
    switch (v.type) {
        case Type::Undefined:
            return version_ >= 7 ? "undefined" : "";
        case Type::Null:
            return "null";
        case Type::Boolean:
            return v.b ? "true" : "false";
        case Type::Number:
            return numberToString(v.n);
        case Type::String:
            return v.s;
        case Type::Object: {
            Object* o = v.o;
            if (o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField) {
                o = liveRef(o);
                return o->clip ? targetPath(o->clip) : "";
            }
            // A String object is its text, whatever toString() it was given.
            if (o->cls == ObjClass::String) return o->primitive.s;
            // A toString() that gives anything but text leaves the object's type name.
            const char* typeName = o->fn ? "[type Function]" : "[type Object]";
            Value fn = getMethod(o, "toString");
            if (fn.isObject() && fn.o->fn) {
                Value r = call(fn, receiverOf(o), {});
                return r.isString() ? r.s : typeName;
            }
            return typeName;
        }
    }
    return {};
}

double Vm::toNumber(const Value& v) {
    switch (v.type) {
        case Type::Undefined:
        case Type::Null:
            return version_ >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0.0;
        case Type::Boolean:
            return v.b ? 1 : 0;
        case Type::Number:
            return v.n;
        case Type::String:
            if (version_ < 5) return stringToNumberSwf4(v.s);
            return stringToNumber(v.s, version_);
        case Type::Object: {
            // A number is asked of valueOf() alone; a clip, or an object it gives, is none.
            if (v.o->cls == ObjClass::MovieClip || v.o->cls == ObjClass::TextField)
                return std::numeric_limits<double>::quiet_NaN();
            Value fn = getMethod(v.o, "valueOf");
            Value p = fn.isObject() && fn.o->fn ? call(fn, receiverOf(v.o), {}) : Value();
            if (p.isObject()) return std::numeric_limits<double>::quiet_NaN();
            return toNumber(p);
        }
    }
    return 0;
}

bool Vm::toBoolean(const Value& v) const {
    switch (v.type) {
        case Type::Undefined:
        case Type::Null:
            return false;
        case Type::Boolean:
            return v.b;
        case Type::Number:
            return v.n != 0 && !std::isnan(v.n);
        case Type::String: {
            if (version_ >= 7) return !v.s.empty();
            const double d = version_ < 5 ? stringToNumberSwf4(v.s) : stringToNumber(v.s, version_);
            return d != 0 && !std::isnan(d);
        }
        case Type::Object:
            return true;
    }
    return false;
}

std::string Vm::typeOf(const Value& v) {
    switch (v.type) {
        case Type::Undefined:
            return "undefined";
        case Type::Null:
            return "null";
        case Type::Boolean:
            return "boolean";
        case Type::Number:
            return "number";
        case Type::String:
            return "string";
        case Type::Object:
            if (v.o->cls == ObjClass::MovieClip) return "movieclip";
            if (v.o->fn) return "function";
            return "object";
    }
    return "undefined";
}

bool Vm::strictEquals(const Value& a, const Value& b) const {
    if (a.type != b.type) return false;
    switch (a.type) {
        case Type::Undefined:
        case Type::Null:
            return true;
        case Type::Boolean:
            return a.b == b.b;
        case Type::Number:
            return a.n == b.n || (std::isnan(a.n) && std::isnan(b.n));
        case Type::String:
            return a.s == b.s;
        case Type::Object:
            return a.o == b.o;
    }
    return false;
}

// SWF 5's ==: both sides are made primitive first (the right one first). Two objects, or two
// clips, compare as themselves; anything else as numbers once undefined and null are out, and
// two NaNs are equal when they came from values of one kind (a clip is a kind of its own).
bool Vm::looseEquals5(const Value& a, const Value& b) {
    const Value rp = toPrimitive(b);
    const Value lp = toPrimitive(a);
    auto isClip = [](const Value& v) {
        return v.isObject() && (v.o->cls == ObjClass::MovieClip || v.o->cls == ObjClass::TextField);
    };
    auto kind = [&](const Value& v) { return isClip(v) ? 6 : static_cast<int>(v.type); };
    if (lp.isObject() && rp.isObject() && isClip(lp) == isClip(rp))
        return isClip(lp) ? lp.o == rp.o : a.o == b.o;
    if (lp.isString() && rp.isString()) return lp.s == rp.s;
    const double l = lp.isObject() && !isClip(lp) ? toNumber(a) : toNumber(lp);
    const double r = rp.isObject() && !isClip(rp) ? toNumber(b) : toNumber(rp);
    if (lp.isNullish()) return rp.isNullish();
    if (rp.isNullish()) return false;
    if (std::isnan(l) && std::isnan(r)) return kind(lp) == kind(rp);
    return l == r;
}

// From SWF 6: objects, and clips, compare as themselves; beside anything else each side is
// made primitive (the right one first), and one that stays an object equals nothing.
bool Vm::looseEquals(const Value& a, const Value& b) {
    if (version_ < 6) return looseEquals5(a, b);
    auto isClip = [](const Value& v) {
        return v.isObject() && (v.o->cls == ObjClass::MovieClip || v.o->cls == ObjClass::TextField);
    };
    if (a.isObject() && b.isObject() && isClip(a) == isClip(b)) return a.o == b.o;
    const Value rp = toPrimitive(b);
    const Value lp = toPrimitive(a);
    if (isClip(lp) && isClip(rp)) return lp.o == rp.o;
    if (lp.isObject() || rp.isObject()) return false;
    if (lp.isNullish() || rp.isNullish()) return lp.isNullish() && rp.isNullish();
    if (lp.isString() && rp.isString()) return lp.s == rp.s;
    const double l = toNumber(lp), r = toNumber(rp);
    // Two NaNs are equal when they came from values of one type.
    if (std::isnan(l) && std::isnan(r)) return lp.type == rp.type;
    return l == r;
}

Value Vm::lessThan(const Value& a, const Value& b) {
    // Objects give their valueOf(): one that gives an object ends the comparison as false
    // (the second operand is not read then); without a valueOf an object reads as undefined,
    // a clip as no number.
    bool objectResult = false;
    auto prim = [&](const Value& v) -> Value {
        if (!v.isObject()) return v;
        if (v.o->cls == ObjClass::MovieClip) return Value(std::numeric_limits<double>::quiet_NaN());
        Value fn = getMethod(v.o, "valueOf");
        if (!fn.isObject() || !fn.o->fn) return {};
        Value r = call(fn, v.o, {});
        if (r.isObject() && r.o->cls == ObjClass::MovieClip)
            return Value(std::numeric_limits<double>::quiet_NaN());
        if (r.isObject()) objectResult = true;
        return r;
    };
    const Value pa = prim(a);
    if (objectResult) return Value(false);
    const Value pb = prim(b);
    if (objectResult) return Value(false);
    // An empty text sorts after every other.
    if (pa.isString() && pb.isString())
        return Value(pa.s.empty() || pb.s.empty() ? pb.s.empty() && !pa.s.empty()
                                                  : compareText(pa.s, pb.s) < 0);
    const double x = toNumber(pa), y = toNumber(pb);
    if (std::isnan(x) || std::isnan(y)) return {};
    return Value(x < y);
}

Value Vm::ownPrototype(Object* ctor) {
    const Property* p = ctor ? ctor->findOwn(key("prototype")) : nullptr;
    return p ? p->value : Value();
}

// Whether one of the prototypes a class implements, or one they implement in turn, is proto.
static bool implementsProto(const Object* o, const Object* proto, int depth) {
    if (depth >= 64) return false;
    for (const Object* i : o->interfaces)
        if (i == proto || implementsProto(i, proto, depth + 1)) return true;
    return false;
}

bool Vm::instanceOf(const Value& v, Object* ctor) {
    if (!v.isObject() || !ctor) return false;
    // Text, a number or a flag is made an object by the global constructor of its kind, which
    // can only match when that constructor put it in the chain itself.
    Value pv = ownPrototype(ctor);
    if (pv.isString() || pv.isNumber() || pv.isBool()) {
        const char* kind = pv.isString() ? "String" : pv.isNumber() ? "Number" : "Boolean";
        pv = construct(get(global, kind), {pv});
    }
    if (!pv.isObject()) return false;
    int guard = 0;
    for (Object* p = v.o->chainNext(); p && guard < 256; p = p->chainNext(), ++guard)
        if (p == pv.o || implementsProto(p, pv.o, 0)) return true;
    return false;
}

void Vm::implement(Object* ctor, const Args& ifaces) {
    Value pr = ownPrototype(ctor);
    if (!pr.isObject() || pr.o->implemented || ifaces.empty()) return;
    // Each interface counts by the prototype it has now; one with none, or a clip for one, is
    // passed over, and a class implements once only.
    pr.o->implemented = true;
    for (const Value& i : ifaces) {
        const Value ip = i.isObject() ? ownPrototype(i.o) : Value();
        if (ip.isObject() && ip.o->cls != ObjClass::MovieClip) pr.o->interfaces.push_back(ip.o);
    }
}

// ---------------------------------------------------------------- timelines

std::string Vm::targetPath(ClipHost* clip) const {
    if (!clip) return {};
    std::vector<std::string> parts;
    int guard = 0;
    int level = 0;
    for (ClipHost* c = clip; c && guard < 256; c = c->parent(), ++guard) {
        if (!c->parent()) {
            level = c->level();
            break;
        }
        parts.push_back(c->name());
    }
    std::string out = "_level" + std::to_string(level);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) out += "." + *it;
    return out;
}

// One step of a path from `cur`: a clip's child of that name before any member, then the
// member when it holds an object; `first` looks up a path's leading name instead of a member.
static Object* pathStep(Vm& vm, Object* cur, std::string_view name,
                        const std::function<Value(std::string_view)>* first) {
    if (cur->cls == ObjClass::MovieClip || cur->cls == ObjClass::TextField) {
        Value child;
        if (clipGetChild(vm, cur, name, child) && child.isObject()) return child.o;
        if (!first && vm.key(name) == "this") return cur;
    }
    const Value v = first ? (*first)(name) : vm.get(cur, name);
    return v.isObject() ? v.o : nullptr;
}

// The longest name one part of a path holds.
static constexpr size_t kMaxPathPart = 127;

Object* Vm::resolvePath(std::string_view path, ClipHost* base,
                        const std::function<Value(std::string_view)>& first) {
    if (path.empty() || !base) return nullptr;
    Object* cur = clipObject(base);
    const size_t n = path.size();
    size_t i = 0;
    bool slash = false;  // a '/' or '..' came: dots are part of names from here on
    char sep = 0;        // the separator before the part at i
    if (path[0] == '/') {
        if (!root_) return nullptr;
        cur = clipObject(root_);
        i = 1;
        slash = true;
        sep = '/';
    }
    bool leading = !slash;
    int guard = 0;
    while (i < n && cur) {
        if (++guard > 4096) return nullptr;
        size_t j = i;  // colons before a part are only separators
        while (j < n && path[j] == ':') ++j;
        const bool colons = j > i;
        size_t k = j;
        bool cut = false;  // the part was longer than a part holds
        const bool parentStep = path.substr(j, 2) == ".." &&
                                (j + 2 == n || path[j + 2] == '/' || path[j + 2] == ':') &&
                                (sep != '.' || colons);
        if (parentStep) {
            ClipHost* clip = isTarget(cur) ? cur->clip : nullptr;
            ClipHost* parent = clip ? clip->parent() : nullptr;
            if (!parent) return nullptr;
            cur = clipObject(parent);
            k = j + 2;
            slash = true;
        } else {
            // A part starting with a dot runs to the next '/' or ':' as a name.
            const bool dots = !slash && (j >= n || path[j] != '.');
            auto ends = [&](char ch) { return ch == '/' || ch == ':' || (dots && ch == '.'); };
            while (k < n && !ends(path[k])) {
                if (k - j == kMaxPathPart) {
                    cut = true;
                    break;
                }
                ++k;
            }
            std::string_view name = path.substr(j, k - j);
            if (name.empty()) {
                if (!colons) return nullptr;
                name = path.substr(i, j - i);  // nothing but colons: they are the name
            }
            const bool useFirst = leading && first;
            cur = pathStep(*this, cur, name, useFirst ? &first : nullptr);
        }
        leading = false;
        if (k >= n) break;
        if (cut) {
            i = k;  // a longer name goes on as the next part
            sep = 0;
            continue;
        }
        sep = path[k];
        if (sep == '/') slash = true;
        i = k + 1;
    }
    return cur;
}

ClipHost* Vm::resolveTarget(std::string_view path, ClipHost* base) {
    if (path.empty()) return base;
    Object* o = resolvePath(path, base);
    return isTarget(o) ? o->clip : nullptr;
}

// ---------------------------------------------------------------- running

void Vm::runActions(std::span<const uint8_t> code, ClipHost* clip) {
    enter([&] { runFrameCode(*this, code, clip); });
}

void Vm::runFrameActions(std::span<const std::span<const uint8_t>> lists, ClipHost* clip,
                         const std::function<void(size_t)>& before) {
    FrameCarry carry;  // a frame's lists share one stack and constant pool
    for (size_t i = 0; i < lists.size(); ++i) {
        if (i > 0 && before) before(i);
        std::span<const uint8_t> code = lists[i];
        // Each landing runs to an end; a few in a row are all a real movie makes.
        for (int landings = 0; landings < 64; ++landings) {
            std::optional<int64_t> out;
            enter([&] { out = runFrameCode(*this, code, clip, &carry); });
            if (!out) break;
            const auto at = static_cast<int64_t>(reinterpret_cast<uintptr_t>(code.data())) + *out;
            const std::span<const uint8_t>* into = nullptr;
            for (const auto& other : lists) {
                const auto begin = static_cast<int64_t>(reinterpret_cast<uintptr_t>(other.data()));
                if (at >= begin && at < begin + static_cast<int64_t>(other.size())) into = &other;
            }
            if (!into) break;
            code = into->subspan(static_cast<size_t>(
                at - static_cast<int64_t>(reinterpret_cast<uintptr_t>(into->data()))));
        }
    }
}

void Vm::runTimers() {
    const double now = host_.timeMs();
    std::vector<int> due;
    for (auto& [id, t] : timers)
        if (t.dueMs <= now) due.push_back(id);
    for (int id : due) {
        auto it = timers.find(id);
        if (it == timers.end()) continue;
        Timer t = it->second;
        if (t.repeat)
            it->second.dueMs = now + std::max(1.0, t.intervalMs);
        else
            timers.erase(it);
        enter([&] {
            if (t.thisObj)
                call(get(t.thisObj, t.method), t.thisObj, t.args);
            else
                call(t.fn, nullptr, t.args);
        });
    }
}

void Vm::dispatchEnterFrame() {
    std::vector<ClipHost*> work;
    if (root_) work.push_back(root_);
    for (size_t i = 0; i < work.size() && i < 100000; ++i)
        for (ClipHost* c : childrenOf(work[i])) work.push_back(c);
    for (auto it = work.rbegin(); it != work.rend(); ++it) {
        Object* o = (*it)->scriptObject;
        if (!o) continue;
        enter([&] { callHandler(o, "onEnterFrame"); });
    }
}

// ---------------------------------------------------------------- collection

void Vm::markValue(const Value& v) {
    if (v.isObject()) mark(v.o);
}

void Vm::mark(Object* root) {
    std::vector<Object*> work{root};
    auto push = [&](Object* o) {
        if (o && !o->marked) work.push_back(o);
    };
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        if (!o || o->marked) continue;
        o->marked = true;
        push(o->proto);
        push(o->superThis);
        push(o->superProto);
        push(o->superHome);
        if (o->primitive.isObject()) push(o->primitive.o);
        for (Object* i : o->interfaces) push(i);
        for (const auto& e : o->elems)
            if (e.isObject()) push(e.o);
        for (const auto& p : o->props()) {
            if (p.value.isObject()) push(p.value.o);
            push(p.getter);
            push(p.setter);
        }
        for (const auto& [k, w] : o->watches) {
            push(w.callback);
            if (w.data.isObject()) push(w.data.o);
        }
        if (o->fn) {
            for (Object* s : o->fn->scope) push(s);
            push(o->fn->target);
        }
    }
}

void Vm::collect() {
    if (!contexts.empty()) return;  // only between frames: no script is on the stack
    for (auto& o : heap_) o->marked = false;
    mark(global);
    for (Object* p :
         {objectProto, functionProto, arrayProto, stringProto, numberProto, booleanProto, dateProto,
          clipProto, errorProto, arrayCtor, objectCtor, functionCtor})
        mark(p);
    for (Object* o : tempRoots_) mark(o);
    std::vector<Object*> held;
    markLoads(*this, held);
    for (Object* o : held) mark(o);
    for (auto& [id, t] : timers) {
        markValue(t.fn);
        mark(t.thisObj);
        for (auto& a : t.args) markValue(a);
    }
    // Clips keep their objects while they are on stage.
    std::vector<ClipHost*> clips;
    if (root_) clips.push_back(root_);
    for (size_t i = 0; i < clips.size() && i < 1000000; ++i) {
        if (clips[i]->scriptObject) mark(clips[i]->scriptObject);
        for (ClipHost* c : childrenOf(clips[i])) clips.push_back(c);
    }
    std::vector<std::unique_ptr<Object>> live;
    live.reserve(heap_.size());
    for (auto& o : heap_) {
        if (o->marked) {
            live.push_back(std::move(o));
        } else if (o->cls == ObjClass::MovieClip && o->clip) {
            o->clip->scriptObject = nullptr;  // made again when a script asks
        }
    }
    heap_.swap(live);
    lastLive_ = std::max<size_t>(heap_.size(), 1024);
}

void Vm::maybeCollect() {
    if (heap_.size() > 2 * lastLive_ && heap_.size() > 50000) collect();
}

}  // namespace swf::avm1
