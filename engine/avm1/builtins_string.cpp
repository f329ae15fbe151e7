// String and Math.

#include <cmath>
#include <limits>
#include <random>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The string a String method works on, as UTF-16 units: the wrapper's value, or this converted.
std::u16string self16(Vm& vm, Object* self) {
    if (!self) return {};
    if (self->cls == ObjClass::String) return utf16Decode(self->primitive.s);
    return utf16Decode(vm.toString(Value(self)));
}

std::string selfStr(Vm& vm, Object* self) {
    if (!self) return {};
    if (self->cls == ObjClass::String) return self->primitive.s;
    return vm.toString(Value(self));
}

// Positions are 32-bit integers: larger numbers wrap, NaN is 0.
int64_t intArg(Vm& vm, const Value& v, int64_t dflt) {
    if (v.isUndefined()) return dflt;
    return toInt32(vm.toNumber(v));
}

Value text(std::u16string_view s) { return Value(utf16Encode(s)); }

// SWF 5 answers undefined when an argument the method needs is missing.
bool missing(Vm& vm, const Args& a) { return vm.version() < 6 && a.empty(); }

}  // namespace

void installStringBuiltins(Vm& vm) {
    Object* sp = vm.stringProto;
    Object* ctor = vm.newFunction(
        [](Vm& vm, Object*, Args& a) -> Value {
            return Value(a.empty() ? std::string() : vm.toString(a[0]));
        },
        sp);
    ctor->fn->construct = [](Vm& vm, Object* self, Args& a) -> Value {
        self->cls = ObjClass::String;
        self->primitive = Value(a.empty() ? std::string() : vm.toString(a[0]));
        return Value(self);
    };
    vm.defineValue(vm.global, "String", ctor);
    // A zero code ends the text, as it would a C string.
    vm.defineMethod(ctor, "fromCharCode", [](Vm& vm, Object*, Args& a) -> Value {
        std::u16string out;
        // Only the low 16 bits of each code count here, where mbchr reads all 32.
        for (auto& v : a)
            if (!appendCharCode(out, toUint32(vm.toNumber(v)) & 0xffff, vm.version())) break;
        return text(out);
    });
    // Lent to another object, both give that object as text.
    auto value = [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return Value(selfStr(vm, self));
    };
    vm.defineMethod(sp, "toString", value);
    vm.defineMethod(sp, "valueOf", value);
    vm.defineMethod(sp, "charAt", [](Vm& vm, Object* self, Args& a) -> Value {
        const auto s = self16(vm, self);
        const int64_t i = intArg(vm, arg(a, 0), 0);
        if (i < 0 || i >= static_cast<int64_t>(s.size())) return Value("");
        return text(std::u16string_view(s).substr(i, 1));
    });
    vm.defineMethod(sp, "charCodeAt", [](Vm& vm, Object* self, Args& a) -> Value {
        const auto s = self16(vm, self);
        const int64_t i = intArg(vm, arg(a, 0), 0);
        if (i < 0) return Value(kNaN);
        // SWF 5 reads past the end as the terminating zero.
        if (i >= static_cast<int64_t>(s.size())) return vm.version() < 6 ? Value(0) : Value(kNaN);
        return Value(static_cast<double>(s[i]));
    });
    vm.defineMethod(sp, "concat", [](Vm& vm, Object* self, Args& a) -> Value {
        std::string s = selfStr(vm, self);
        for (auto& v : a) {
            s += vm.toString(v);
            vm.checkString(s.size());
        }
        return Value(s);
    });
    vm.defineMethod(sp, "indexOf", [](Vm& vm, Object* self, Args& a) -> Value {
        if (missing(vm, a)) return {};
        const auto s = self16(vm, self);
        const auto needle = utf16Decode(vm.toString(arg(a, 0)));
        int64_t from = std::max<int64_t>(0, intArg(vm, arg(a, 1), 0));
        if (from > static_cast<int64_t>(s.size())) return Value(-1);
        const auto pos = s.find(needle, from);
        return Value(pos == std::u16string::npos ? -1.0 : static_cast<double>(pos));
    });
    vm.defineMethod(sp, "lastIndexOf", [](Vm& vm, Object* self, Args& a) -> Value {
        if (missing(vm, a)) return {};
        const auto s = self16(vm, self);
        const auto needle = utf16Decode(vm.toString(arg(a, 0)));
        int64_t from = intArg(vm, arg(a, 1), static_cast<int64_t>(s.size()));
        if (from < 0) return Value(-1);
        const auto pos = s.rfind(needle, static_cast<size_t>(from));
        return Value(pos == std::u16string::npos ? -1.0 : static_cast<double>(pos));
    });
    vm.defineMethod(sp, "slice", [](Vm& vm, Object* self, Args& a) -> Value {
        if (a.empty()) return {};  // in every version, unlike the other methods
        const auto s = self16(vm, self);
        const int64_t len = static_cast<int64_t>(s.size());
        int64_t from = intArg(vm, arg(a, 0), 0), to = intArg(vm, arg(a, 1), len);
        if (from < 0) from = std::max<int64_t>(0, len + from);
        if (to < 0) to = std::max<int64_t>(0, len + to);
        from = std::min(from, len);
        to = std::min(to, len);
        if (to <= from) return Value("");
        return text(std::u16string_view(s).substr(from, to - from));
    });
    vm.defineMethod(sp, "substring", [](Vm& vm, Object* self, Args& a) -> Value {
        if (missing(vm, a)) return {};
        const auto s = self16(vm, self);
        const int64_t len = static_cast<int64_t>(s.size());
        int64_t from = std::clamp<int64_t>(intArg(vm, arg(a, 0), 0), 0, len);
        int64_t to = std::clamp<int64_t>(intArg(vm, arg(a, 1), len), 0, len);
        if (from > to) std::swap(from, to);
        return text(std::u16string_view(s).substr(from, to - from));
    });
    // A negative count is taken from the length; what would then reach the end is nothing.
    vm.defineMethod(sp, "substr", [](Vm& vm, Object* self, Args& a) -> Value {
        if (missing(vm, a)) return {};
        const auto s = self16(vm, self);
        const int64_t len = static_cast<int64_t>(s.size());
        int64_t from = intArg(vm, arg(a, 0), 0);
        if (from < 0) from = std::max<int64_t>(0, len + from);
        from = std::min(from, len);
        int64_t n = intArg(vm, arg(a, 1), len - from);
        if (n < 0) {
            n += len;
            if (n <= 0 || from + n >= len) return Value("");
        }
        n = std::min(n, len - from);
        return text(std::u16string_view(s).substr(from, n));
    });
    vm.defineMethod(sp, "toLowerCase", [](Vm& vm, Object* self, Args&) -> Value {
        auto s = self16(vm, self);
        for (auto& c : s)
            if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
        return text(s);
    });
    vm.defineMethod(sp, "toUpperCase", [](Vm& vm, Object* self, Args&) -> Value {
        auto s = self16(vm, self);
        for (auto& c : s)
            if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 32;
        return text(s);
    });
    // SWF 5 splits on "," when no separator is given and never splits on an empty one.
    vm.defineMethod(sp, "split", [](Vm& vm, Object* self, Args& a) -> Value {
        const std::string s = selfStr(vm, self);
        std::vector<Value> out;
        const size_t limit = a.size() > 1 && !a[1].isUndefined()
                                 ? static_cast<size_t>(std::max(0.0, vm.toNumber(a[1])))
                                 : std::numeric_limits<size_t>::max();
        const bool v5 = vm.version() < 6;
        const bool noSep = a.empty() || a[0].isUndefined();
        const std::string sep = noSep ? (v5 ? "," : "") : vm.toString(a[0]);
        if (noSep && !v5) {
            out.push_back(Value(s));
        } else if (sep.empty() || (v5 && utf8Length(sep) > 1)) {
            // The first player splits only at a single character: a longer one never matches.
            if (v5) {
                out.push_back(Value(s));
            } else {
                const auto units = utf16Decode(s);
                for (size_t i = 0; i < units.size() && out.size() < limit; ++i) {
                    vm.checkArray(out.size() + 1, out.size());
                    if ((i & 0xffff) == 0xffff) vm.checkHeap("splitting a string");
                    out.push_back(text(std::u16string_view(units).substr(i, 1)));
                }
            }
        } else {
            size_t pos = 0;
            while (out.size() < limit) {
                vm.checkArray(out.size() + 1, out.size());
                if ((out.size() & 0xffff) == 0xffff) vm.checkHeap("splitting a string");
                const size_t hit = s.find(sep, pos);
                if (hit == std::string::npos) {
                    out.push_back(Value(s.substr(pos)));
                    break;
                }
                out.push_back(Value(s.substr(pos, hit - pos)));
                pos = hit + sep.size();
            }
        }
        if (out.size() > limit) out.resize(limit);
        return Value(vm.newArray(std::move(out)));
    });
}

void installMathBuiltins(Vm& vm) {
    Object* m = vm.newInstance(vm.objectProto, vm.objectCtor);
    vm.defineValue(vm.global, "Math", m);
    const std::pair<const char*, double> consts[] = {
        {"E", M_E},         {"LN10", M_LN10}, {"LN2", M_LN2},         {"LOG10E", M_LOG10E},
        {"LOG2E", M_LOG2E}, {"PI", M_PI},     {"SQRT1_2", M_SQRT1_2}, {"SQRT2", M_SQRT2}};
    for (auto& [n, v] : consts) vm.defineValue(m, n, Value(v), 7);
    using F1 = double (*)(double);
    const std::pair<const char*, F1> unary[] = {
        {"abs", [](double x) { return std::fabs(x); }},
        {"acos", [](double x) { return std::acos(x); }},
        {"asin", [](double x) { return std::asin(x); }},
        {"atan", [](double x) { return std::atan(x); }},
        {"ceil", [](double x) { return std::ceil(x); }},
        {"cos", [](double x) { return std::cos(x); }},
        {"exp", [](double x) { return std::exp(x); }},
        {"floor", [](double x) { return std::floor(x); }},
        {"log", [](double x) { return std::log(x); }},
        {"round", [](double x) { return std::floor(x + 0.5); }},
        {"sin", [](double x) { return std::sin(x); }},
        {"sqrt", [](double x) { return std::sqrt(x); }},
        {"tan", [](double x) { return std::tan(x); }},
    };
    // Every Math function converts its first two arguments, in order, whatever it uses.
    for (auto& [n, f] : unary) {
        F1 fn = f;
        vm.defineMethod(m, n, [fn](Vm& vm, Object*, Args& a) -> Value {
            if (a.empty()) return Value(kNaN);
            const double x = vm.toNumber(a[0]);
            if (a.size() > 1) vm.toNumber(a[1]);
            return Value(fn(x));
        });
    }
    using F2 = double (*)(double, double);
    const std::pair<const char*, F2> binary[] = {
        {"atan2", [](double x, double y) { return std::atan2(x, y); }},
        {"pow", [](double x, double y) { return std::pow(x, y); }},
        {"max",
         [](double x, double y) { return std::isnan(x) || std::isnan(y) ? kNaN : std::max(x, y); }},
        {"min",
         [](double x, double y) { return std::isnan(x) || std::isnan(y) ? kNaN : std::min(x, y); }},
    };
    for (auto& entry : binary) {
        const char* n = entry.first;  // a plain name: lambdas may not capture a binding
        F2 fn = entry.second;
        const bool extreme = n[0] == 'm';
        vm.defineMethod(m, n, [fn, extreme, n](Vm& vm, Object*, Args& a) -> Value {
            // max() and min() without arguments give the identity of the comparison.
            if (a.empty()) return Value(extreme ? (n[1] == 'a' ? -INFINITY : INFINITY) : kNaN);
            const double x = vm.toNumber(a[0]);
            // A missing second argument: no answer before SWF 7, NaN taken as given from it.
            if (a.size() < 2 && vm.version() < 7) return Value(kNaN);
            return Value(fn(x, a.size() > 1 ? vm.toNumber(a[1]) : kNaN));
        });
    }
    vm.defineMethod(m, "random", [](Vm& vm, Object*, Args& a) -> Value {
        for (size_t i = 0; i < std::min<size_t>(a.size(), 2); ++i) vm.toNumber(a[i]);
        static std::mt19937_64 rng(20240601);
        return Value(std::uniform_real_distribution<double>(0, 1)(rng));
    });
    vm.addFlagsToAll(m, DontEnum | DontDelete | ReadOnly);
}

}  // namespace swf::avm1
