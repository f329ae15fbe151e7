// Object, Function, ASSetPropFlags and the timers.

#include <cmath>
#include <limits>

#include "engine/avm1/clip_classes.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

// The names ASSetPropFlags acts on: null = all, "a,b" or an array of names.
std::vector<std::string> nameList(Vm& vm, const Value& v, Object* target, bool& all) {
    std::vector<std::string> out;
    all = false;
    if (v.isNull()) {
        all = true;
        return out;
    }
    if (v.isObject() && v.o->cls == ObjClass::Array) {
        for (const auto& e : v.o->elems) out.push_back(vm.toString(e));
        return out;
    }
    {
        // Anything else is read as text ("undefined", an object's toString()) and split.
        const std::string text = v.isString() ? v.s : vm.toString(v);
        std::string cur;
        for (char ch : text) {
            if (ch == ',') {
                out.push_back(cur);
                cur.clear();
            } else {
                cur += ch;
            }
        }
        out.push_back(cur);
    }
    (void)target;
    return out;
}

Value setPropFlags(Vm& vm, Args& a) {
    const Value& objV = arg(a, 0);
    if (!objV.isObject()) return {};
    Object* o = objV.o;
    bool all = false;
    // The flags are read before the names.
    const uint32_t setF = toUint32(vm.toNumber(arg(a, 2)));
    const uint32_t clearF = a.size() > 3 ? toUint32(vm.toNumber(arg(a, 3))) : 0;
    auto names = nameList(vm, arg(a, 1), o, all);
    // The player's own slots stay out of reach.
    auto apply = [&](Property& p) {
        if (!p.internal())
            p.setFlags(static_cast<uint16_t>((p.flags & ~clearF) | setF), vm.version());
    };
    if (all) {
        for (const auto& p : o->props())
            if (Property* q = o->findAny(p.key)) apply(*q);
    } else {
        for (const auto& n : names)
            if (Property* q = o->findAny(vm.key(n))) apply(*q);
    }
    return {};
}

}  // namespace

void installObjectBuiltins(Vm& vm) {
    Object* g = vm.global;
    Object* op = vm.objectProto;
    Object* fp = vm.functionProto;

    // ---- Function, first: every function made after it has it as its constructor
    Object* functionCtor =
        vm.newFunction([](Vm& vm, Object*, Args&) -> Value { return Value(vm.newObject()); }, fp);
    vm.functionCtor = functionCtor;
    vm.defineValue(functionCtor, "constructor", functionCtor, DontEnum | DontDelete);
    vm.defineValue(g, "Function", functionCtor);

    // ---- Object
    Object* objectCtor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!a.empty() && !arg(a, 0).isNullish()) return Value(vm.boxed(a[0]));
            return Value(vm.newObject(nullptr));
        },
        op);
    vm.defineValue(g, "Object", objectCtor);
    vm.objectCtor = objectCtor;
    objectCtor->fn->construct = [](Vm& vm, Object* self, Args& a) -> Value {
        if (!a.empty() && !arg(a, 0).isNullish()) return Value(vm.boxed(a[0]));
        return Value(self);
    };
    vm.defineMethod(op, "toString", [](Vm&, Object* self, Args&) -> Value {
        if (self && self->fn) return Value("[type Function]");
        return Value("[object Object]");
    });
    // The one method of Object.prototype that comes with a prototype object of its own.
    vm.defineFunction(op, "toLocaleString", [](Vm& vm, Object* self, Args&) -> Value {
        return vm.callMethod(Value(self), "toString", {});
    });
    vm.defineMethod(op, "valueOf", [](Vm&, Object* self, Args&) -> Value { return Value(self); });
    vm.defineMethod(op, "hasOwnProperty", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return Value(false);
        const std::string n = vm.toString(a[0]);
        if (self->cls == ObjClass::Array) {
            const int64_t i = arrayIndex(n);
            if (i >= 0 && self->hasElem(static_cast<size_t>(i))) return Value(true);
        }
        // A property its version bits hide is still the object's own, except one marked
        // 256, which this method never owns up to in any version.
        const Property* p = self->findAny(vm.key(n));
        return Value(p && !p->internal() && !(p->flags & Not6));
    });
    vm.defineMethod(op, "isPropertyEnumerable", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return Value(false);
        const std::string n = vm.toString(a[0]);
        if (self->cls == ObjClass::Array) {
            const int64_t i = arrayIndex(n);
            if (i >= 0 && self->hasElem(static_cast<size_t>(i))) return Value(true);
        }
        // Version bits do not count: a property they hide is still enumerable.
        Property* p = self->findAny(vm.key(n));
        return Value(p && !p->internal() && !(p->flags & DontEnum));
    });
    vm.defineMethod(op, "isPrototypeOf", [](Vm& vm, Object* self, Args& a) -> Value {
        // A primitive is asked as its wrapper would be.
        Object* o = vm.boxed(arg(a, 0));
        if (!self || !o) return Value(false);
        int guard = 0;
        for (Object* p = o->proto; p && guard < 256; p = p->proto, ++guard)
            if (p == self) return Value(true);
        return Value(false);
    });
    vm.defineMethod(op, "addProperty", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.size() < 2) return Value(false);
        const std::string name = vm.toString(a[0]);
        const Value& getter = a[1];
        const Value& setter = arg(a, 2);
        if (name.empty() || !getter.isObject() || !getter.o->fn) return Value(false);
        if (!setter.isNull() && !(setter.isObject() && setter.o->fn)) return Value(false);
        Property* existing = self->findOwn(vm.key(name));
        const uint16_t flags = existing ? existing->flags : 0;
        // The value a data property had stays beneath the accessor, for watchers.
        Value kept = existing && !existing->isAccessor() ? existing->value : Value();
        Property& p = self->setOwn(name, vm.key(name), std::move(kept), flags);
        p.getter = getter.o;
        p.setter = setter.isObject() ? setter.o : nullptr;
        return Value(true);
    });
    vm.defineMethod(op, "watch", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.size() < 2 || !a[1].isObject() || !a[1].o->fn) return Value(false);
        self->watches[vm.key(vm.toString(a[0]))] = Watch{a[1].o, arg(a, 2)};
        return Value(true);
    });
    vm.defineMethod(op, "unwatch", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return Value(false);
        // A watcher of an accessor stays.
        const std::string k = vm.key(vm.toString(a[0]));
        if (const Property* p = self->findOwn(k); p && p->getter) return Value(false);
        return Value(self->watches.erase(k) > 0);
    });
    vm.defineMethod(objectCtor, "registerClass", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.size() < 2) return Value(false);
        registerClass(vm, vm.toString(a[0]), a[1], vm.activeVersion());
        return Value(true);
    });
    // Accessors, watchers and the prototype tests came with SWF 6.
    for (const char* n : {"addProperty", "hasOwnProperty", "isPropertyEnumerable", "isPrototypeOf",
                          "watch", "unwatch"})
        vm.addFlags(op, n, From6);
    // Object itself is sealed: every property it owns is read-only too.
    for (const char* n : {"__proto__", "constructor", "prototype", "registerClass"})
        vm.addFlags(objectCtor, n, DontEnum | DontDelete | ReadOnly);

    // The global name came with SWF 6; older movies reach functions only through their methods.
    vm.addFlags(g, "Function", From6);
    // So did these methods of every object.
    for (const char* n :
         {"addProperty", "isPropertyEnumerable", "isPrototypeOf", "watch", "unwatch"})
        vm.addFlags(op, n, From6);
    // Without a receiver (or with null or undefined) `this` is _global.
    vm.defineMethod(fp, "call", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !self->fn) return {};
        Object* thisObj = a.empty() || arg(a, 0).isNullish() ? vm.global : vm.boxed(a[0]);
        Args rest(a.size() > 1 ? a.begin() + 1 : a.end(), a.end());
        return vm.call(Value(self), thisObj, std::move(rest));
    });
    vm.defineMethod(fp, "apply", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !self->fn) return {};
        Object* thisObj = a.empty() || arg(a, 0).isNullish() ? vm.global : vm.boxed(a[0]);
        Args rest;
        const Value& list = arg(a, 1);
        if (list.isObject()) {
            const double n = vm.toNumber(vm.get(list.o, "length"));
            const size_t count = n > 0 ? static_cast<size_t>(std::min(n, 1e6)) : 0;
            for (size_t i = 0; i < count; ++i) rest.push_back(vm.get(list.o, std::to_string(i)));
        }
        return vm.call(Value(self), thisObj, std::move(rest));
    });

    // ---- globals
    vm.defineMethod(g, "ASSetPropFlags",
                    [](Vm& vm, Object*, Args& a) -> Value { return setPropFlags(vm, a); });

    // Timers: setInterval(fn, ms, args...) or setInterval(obj, "method", ms, args...).
    auto addTimer = [](Vm& vm, Args& a, bool repeat) -> Value {
        Vm::Timer t;
        size_t i = 0;
        if (arg(a, 0).isObject() && arg(a, 0).o->fn) {
            t.fn = a[0];
            i = 1;
        } else if (arg(a, 0).isObject() && a.size() >= 2) {
            t.thisObj = a[0].o;
            t.method = vm.toString(a[1]);
            i = 2;
        } else {
            return {};
        }
        t.intervalMs = vm.toNumber(arg(a, i));
        if (std::isnan(t.intervalMs) || t.intervalMs < 0) t.intervalMs = 0;
        t.args.assign(a.begin() + std::min(i + 1, a.size()), a.end());
        t.dueMs = vm.host().timeMs() + t.intervalMs;
        t.repeat = repeat;
        if (vm.timers.size() > 10000) return {};
        const int id = vm.nextTimerId++;
        vm.timers[id] = std::move(t);
        return Value(id);
    };
    vm.defineMethod(g, "setInterval", [addTimer](Vm& vm, Object*, Args& a) -> Value {
        return addTimer(vm, a, true);
    });
    vm.defineMethod(g, "setTimeout", [addTimer](Vm& vm, Object*, Args& a) -> Value {
        return addTimer(vm, a, false);
    });
    auto clear = [](Vm& vm, Object*, Args& a) -> Value {
        vm.timers.erase(toInt32(vm.toNumber(arg(a, 0))));
        return {};
    };
    vm.defineMethod(g, "clearInterval", clear);
    vm.defineMethod(g, "clearTimeout", clear);
}

}  // namespace swf::avm1
