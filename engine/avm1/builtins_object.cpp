// Object, Function, Boolean, Number, Error, the global functions and the small global objects.

#include <cmath>
#include <limits>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
    if (v.isString()) {
        std::string cur;
        for (char ch : v.s) {
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
    auto names = nameList(vm, arg(a, 1), o, all);
    const uint32_t setF = toUint32(vm.toNumber(arg(a, 2)));
    const uint32_t clearF = a.size() > 3 ? toUint32(vm.toNumber(arg(a, 3))) : 0;
    // The version bits name the first SWF version that sees the property.
    static constexpr std::pair<uint32_t, int> kVersionBits[] = {
        {0x80, 6}, {0x100, 7}, {0x400, 7}, {0x1000, 8}, {0x2000, 9}, {0x4000, 10}};
    auto apply = [&](Property& p) {
        p.flags = static_cast<uint8_t>(((p.flags & ~clearF) | setF) & 7);
        p.hidden = false;
        for (auto [bit, version] : kVersionBits)
            if ((setF & bit) && vm.version() < version) p.hidden = true;
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

    // ---- Object
    Object* objectCtor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!a.empty() && !arg(a, 0).isNullish()) return Value(vm.boxed(a[0]));
            return Value(vm.newObject(nullptr));
        },
        op);
    vm.defineValue(g, "Object", objectCtor);
    objectCtor->fn->construct = [](Vm& vm, Object* self, Args& a) -> Value {
        if (!a.empty() && !arg(a, 0).isNullish()) return Value(vm.boxed(a[0]));
        return Value(self);
    };
    vm.defineMethod(op, "toString", [](Vm&, Object* self, Args&) -> Value {
        if (self && self->fn) return Value("[type Function]");
        return Value("[object Object]");
    });
    vm.defineMethod(op, "toLocaleString", [](Vm& vm, Object* self, Args&) -> Value {
        return vm.callMethod(Value(self), "toString", {});
    });
    vm.defineMethod(op, "valueOf", [](Vm&, Object* self, Args&) -> Value { return Value(self); });
    vm.defineMethod(op, "hasOwnProperty", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return Value(false);
        const std::string n = vm.toString(a[0]);
        if (self->cls == ObjClass::Array) {
            const int64_t i = arrayIndex(n);
            if (i >= 0 && static_cast<size_t>(i) < self->elems.size()) return Value(true);
        }
        return Value(self->findOwn(vm.key(n)) != nullptr);
    });
    vm.defineMethod(op, "isPropertyEnumerable", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return Value(false);
        const std::string n = vm.toString(a[0]);
        if (self->cls == ObjClass::Array) {
            const int64_t i = arrayIndex(n);
            if (i >= 0 && static_cast<size_t>(i) < self->elems.size()) return Value(true);
        }
        Property* p = self->findOwn(vm.key(n));
        return Value(p && !(p->flags & DontEnum));
    });
    vm.defineMethod(op, "isPrototypeOf", [](Vm&, Object* self, Args& a) -> Value {
        const Value& v = arg(a, 0);
        if (!self || !v.isObject()) return Value(false);
        int guard = 0;
        for (Object* p = v.o->proto; p && guard < 256; p = p->proto, ++guard)
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
        const uint8_t flags = existing ? existing->flags : 0;
        Property& p = self->setOwn(name, vm.key(name), Value(), flags);
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
        return Value(self->watches.erase(vm.key(vm.toString(a[0]))) > 0);
    });
    vm.defineMethod(objectCtor, "registerClass", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.size() < 2) return Value(false);
        Object* reg = nullptr;
        Value r = vm.get(vm.global, "__registeredClasses");
        if (r.isObject()) {
            reg = r.o;
        } else {
            reg = vm.newObject();
            vm.defineValue(vm.global, "__registeredClasses", reg, DontEnum);
        }
        vm.set(reg, vm.toString(a[0]), a[1]);
        return Value(true);
    });

    // ---- Function
    Object* functionCtor =
        vm.newFunction([](Vm& vm, Object*, Args&) -> Value { return Value(vm.newObject()); }, fp);
    vm.defineValue(g, "Function", functionCtor);
    vm.defineMethod(fp, "call", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !self->fn) return {};
        Object* thisObj = a.empty() || arg(a, 0).isNullish() ? nullptr : vm.boxed(a[0]);
        Args rest(a.size() > 1 ? a.begin() + 1 : a.end(), a.end());
        return vm.call(Value(self), thisObj, std::move(rest));
    });
    vm.defineMethod(fp, "apply", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !self->fn) return {};
        Object* thisObj = a.empty() || arg(a, 0).isNullish() ? nullptr : vm.boxed(a[0]);
        Args rest;
        const Value& list = arg(a, 1);
        if (list.isObject()) {
            const double n = vm.toNumber(vm.get(list.o, "length"));
            const size_t count = n > 0 ? static_cast<size_t>(std::min(n, 1e6)) : 0;
            for (size_t i = 0; i < count; ++i) rest.push_back(vm.get(list.o, std::to_string(i)));
        }
        return vm.call(Value(self), thisObj, std::move(rest));
    });

    // ---- Boolean
    Object* bp = vm.booleanProto;
    Object* booleanCtor = vm.newFunction(
        [](Vm& vm, Object*, Args& a) -> Value { return Value(vm.toBoolean(arg(a, 0))); }, bp);
    booleanCtor->fn->construct = [](Vm& vm, Object* self, Args& a) -> Value {
        self->cls = ObjClass::Boolean;
        self->primitive = Value(vm.toBoolean(arg(a, 0)));
        return Value(self);
    };
    vm.defineValue(g, "Boolean", booleanCtor);
    vm.defineMethod(bp, "toString", [](Vm&, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::Boolean) return {};
        return Value(self->primitive.b ? "true" : "false");
    });
    vm.defineMethod(bp, "valueOf", [](Vm&, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::Boolean) return {};
        return self->primitive;
    });

    // ---- Number
    Object* np = vm.numberProto;
    Object* numberCtor =
        vm.newFunction([](Vm& vm, Object*,
                          Args& a) -> Value { return Value(a.empty() ? 0.0 : vm.toNumber(a[0])); },
                       np);
    numberCtor->fn->construct = [](Vm& vm, Object* self, Args& a) -> Value {
        self->cls = ObjClass::Number;
        self->primitive = Value(a.empty() ? 0.0 : vm.toNumber(a[0]));
        return Value(self);
    };
    vm.defineValue(g, "Number", numberCtor);
    vm.defineValue(numberCtor, "MAX_VALUE", Value(std::numeric_limits<double>::max()), 7);
    vm.defineValue(numberCtor, "MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()), 7);
    vm.defineValue(numberCtor, "NaN", Value(kNaN), 7);
    vm.defineValue(numberCtor, "NEGATIVE_INFINITY", Value(-INFINITY), 7);
    vm.defineValue(numberCtor, "POSITIVE_INFINITY", Value(INFINITY), 7);
    vm.defineMethod(np, "toString", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || self->cls != ObjClass::Number) return {};
        const int radix =
            a.empty() || arg(a, 0).isUndefined() ? 10 : static_cast<int>(vm.toNumber(a[0]));
        return Value(numberToRadix(self->primitive.n, radix));
    });
    vm.defineMethod(np, "valueOf", [](Vm&, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::Number) return {};
        return self->primitive;
    });

    // ---- Error
    Object* ep = vm.errorProto;
    Object* errorCtor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            if (!a.empty() && !a[0].isUndefined()) vm.set(self, "message", a[0]);
            return {};
        },
        ep);
    vm.defineValue(g, "Error", errorCtor);
    vm.defineValue(ep, "message", Value("Error"));
    vm.defineValue(ep, "name", Value("Error"));
    vm.defineMethod(ep, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        return Value(vm.toString(vm.get(self, "message")));
    });

    // ---- globals
    vm.defineMethod(g, "ASSetPropFlags",
                    [](Vm& vm, Object*, Args& a) -> Value { return setPropFlags(vm, a); });
    vm.defineValue(g, "NaN", Value(kNaN));
    vm.defineValue(g, "Infinity", Value(INFINITY));
    // Without an argument there is no number to test.
    vm.defineMethod(g, "isNaN", [](Vm& vm, Object*, Args& a) -> Value {
        return Value(a.empty() || std::isnan(vm.toNumber(a[0])));
    });
    vm.defineMethod(g, "isFinite", [](Vm& vm, Object*, Args& a) -> Value {
        return Value(!a.empty() && std::isfinite(vm.toNumber(a[0])));
    });
    vm.defineMethod(g, "parseFloat", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty()) return {};
        const std::string s = vm.toString(arg(a, 0));
        size_t i = 0;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
        // The longest decimal prefix.
        size_t k = i;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (s.compare(k, 8, "Infinity") == 0) return Value(s[i] == '-' ? -INFINITY : INFINITY);
        size_t digits = 0;
        while (k < s.size() && isdigit(static_cast<unsigned char>(s[k]))) ++k, ++digits;
        if (k < s.size() && s[k] == '.') {
            ++k;
            while (k < s.size() && isdigit(static_cast<unsigned char>(s[k]))) ++k, ++digits;
        }
        if (!digits) return Value(kNaN);
        if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
            size_t e = k + 1;
            if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
            if (e < s.size() && isdigit(static_cast<unsigned char>(s[e]))) {
                while (e < s.size() && isdigit(static_cast<unsigned char>(s[e]))) ++e;
                k = e;
            }
        }
        return Value(std::strtod(s.substr(i, k - i).c_str(), nullptr));
    });
    vm.defineMethod(g, "parseInt", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty()) return {};
        const std::string s = vm.toString(arg(a, 0));
        const bool given = a.size() > 1;
        int radix = given ? toInt32(vm.toNumber(a[1])) : 0;
        if (given && (radix < 2 || radix > 36)) return Value(kNaN);
        size_t i = 0;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
        bool neg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            neg = s[i] == '-';
            ++i;
        }
        if ((radix == 0 || radix == 16) && i + 1 < s.size() && s[i] == '0' &&
            (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            radix = 16;
            i += 2;
        } else if (radix == 0 && i + 1 < s.size() && s[i] == '0') {
            radix = 8;
        }
        if (radix == 0) radix = 10;
        if (radix < 2 || radix > 36) return Value(kNaN);
        double v = 0;
        size_t digits = 0;
        for (; i < s.size(); ++i) {
            const char ch = s[i];
            int d = ch >= '0' && ch <= '9'   ? ch - '0'
                    : ch >= 'a' && ch <= 'z' ? ch - 'a' + 10
                    : ch >= 'A' && ch <= 'Z' ? ch - 'A' + 10
                                             : 99;
            if (d >= radix) break;
            v = v * radix + d;
            ++digits;
        }
        if (!digits) return Value(kNaN);
        return Value(neg ? -v : v);
    });
    vm.defineMethod(g, "escape", [](Vm& vm, Object*, Args& a) -> Value {
        const std::string s = vm.toString(arg(a, 0));
        std::string out;
        static const char* hex = "0123456789ABCDEF";
        for (unsigned char ch : s) {
            if (isalnum(ch) || ch == '-' || ch == '_' || ch == '.' || ch == '*' || ch == '@' ||
                ch == '/' || ch == '+')
                out += static_cast<char>(ch);
            else {
                out += '%';
                out += hex[ch >> 4];
                out += hex[ch & 15];
            }
        }
        return Value(out);
    });
    vm.defineMethod(g, "unescape", [](Vm& vm, Object*, Args& a) -> Value {
        const std::string s = vm.toString(arg(a, 0));
        std::string out;
        auto hexv = [](char ch) {
            return ch >= '0' && ch <= '9'   ? ch - '0'
                   : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                   : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                            : -1;
        };
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size() + 0 && hexv(s[i + 1]) >= 0 && hexv(s[i + 2]) >= 0) {
                out += static_cast<char>(hexv(s[i + 1]) * 16 + hexv(s[i + 2]));
                i += 2;
            } else {
                out += s[i];
            }
        }
        return Value(out);
    });

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
        vm.timers.erase(static_cast<int>(vm.toNumber(arg(a, 0))));
        return {};
    };
    vm.defineMethod(g, "clearInterval", clear);
    vm.defineMethod(g, "clearTimeout", clear);
}

}  // namespace swf::avm1
