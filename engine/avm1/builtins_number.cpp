// Boolean, Number, Error and the global number and text functions (isNaN, parseInt, escape...).

#include <cmath>
#include <limits>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int digitValue(char ch) {
    return ch >= '0' && ch <= '9'   ? ch - '0'
           : ch >= 'a' && ch <= 'z' ? ch - 'a' + 10
           : ch >= 'A' && ch <= 'Z' ? ch - 'A' + 10
                                    : 99;
}

// parseFloat reads digits one by one: a second '.' is skipped (its digits still count as
// fraction, but no exponent may follow), the exponent wraps as a 32-bit integer.
double parseFloatText(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    double v = 0, scale = 1;
    int dots = 0;
    size_t digits = 0;
    int32_t exponent = 0;
    for (; i < s.size(); ++i) {
        const char ch = s[i];
        if (ch >= '0' && ch <= '9') {
            if (dots) {
                scale /= 10;
                v += (ch - '0') * scale;
            } else {
                v = v * 10 + (ch - '0');
            }
            ++digits;
        } else if (ch == '.') {
            ++dots;
        } else if ((ch == 'e' || ch == 'E') && dots < 2 && digits) {
            size_t k = i + 1;
            bool eneg = false;
            if (k < s.size() && (s[k] == '+' || s[k] == '-')) eneg = s[k++] == '-';
            if (k >= s.size() || s[k] < '0' || s[k] > '9') break;
            uint32_t e = 0;
            for (; k < s.size() && s[k] >= '0' && s[k] <= '9'; ++k)
                e = e * 10 + static_cast<uint32_t>(s[k] - '0');
            exponent = static_cast<int32_t>(eneg ? 0u - e : e);
            break;
        } else {
            break;
        }
    }
    if (!digits) return kNaN;
    if (exponent > 0) v *= std::pow(10.0, exponent);
    if (exponent < 0) v /= std::pow(10.0, -static_cast<double>(exponent));
    return neg ? -v : v;
}

// parseInt: a "0x" at the very start (or after a sign, which then is lost with the "0") is a
// hex prefix; a leading zero means octal only when the whole text is octal digits.
double parseIntText(std::string_view s, int radix, bool radixGiven) {
    size_t i = 0;
    const auto hexAt = [&](size_t k) {
        return k + 1 < s.size() && s[k] == '0' && (s[k + 1] == 'x' || s[k + 1] == 'X');
    };
    if (hexAt(0) || (!s.empty() && (s[0] == '+' || s[0] == '-') && hexAt(1))) {
        i = 2;
        if (!radixGiven) radix = 16;
    } else if (!radixGiven) {
        size_t k = !s.empty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
        bool octal = k + 1 < s.size() && s[k] == '0';
        for (size_t j = k; octal && j < s.size(); ++j) octal = s[j] >= '0' && s[j] <= '7';
        radix = octal ? 8 : 10;
    }
    while (i < s.size() && isBlank(s[i])) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    double v = 0;
    size_t digits = 0;
    for (; i < s.size(); ++i) {
        const int d = digitValue(s[i]);
        if (d >= radix) break;
        v = v * radix + d;
        ++digits;
    }
    if (!digits) return kNaN;
    return neg ? -v : v;
}

}  // namespace

void installNumberBuiltins(Vm& vm) {
    Object* g = vm.global;

    // ---- Boolean: called without an argument it gives nothing at all.
    Object* bp = vm.booleanProto;
    Object* booleanCtor = vm.newFunction(
        [](Vm& vm, Object*, Args& a) -> Value {
            if (a.empty()) return {};
            return Value(vm.toBoolean(a[0]));
        },
        bp);
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
    // Number itself is sealed, as Object is.
    vm.addFlagsToAll(numberCtor, DontEnum | DontDelete | ReadOnly);
    vm.defineMethod(np, "toString", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || self->cls != ObjClass::Number) return {};
        const int radix = a.empty() || arg(a, 0).isUndefined() ? 10 : toInt32(vm.toNumber(a[0]));
        return Value(numberToRadix(self->primitive.n, radix));
    });
    vm.defineMethod(np, "valueOf", [](Vm&, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::Number) return {};
        return self->primitive;
    });

    // ---- Error: toString gives the message as it is, not converted.
    Object* ep = vm.errorProto;
    Object* errorCtor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            if (!a.empty() && !a[0].isUndefined()) vm.set(self, "message", a[0]);
            return {};
        },
        ep);
    vm.defineValue(g, "Error", errorCtor);
    // Error.prototype's members are plain ones a script may list, replace or delete.
    vm.defineValue(ep, "message", Value("Error"), 0);
    vm.defineValue(ep, "name", Value("Error"), 0);
    vm.defineFunction(
        ep, "toString",
        [](Vm& vm, Object* self, Args&) -> Value { return vm.get(self, "message"); }, 0);

    // ---- global functions
    // SWF 4 scripts have no such names: reading them gives undefined.
    if (vm.version() >= 5) {
        vm.defineValue(g, "NaN", Value(kNaN));
        vm.defineValue(g, "Infinity", Value(INFINITY));
    }
    // Without an argument there is no number to test.
    vm.defineMethod(g, "isNaN", [](Vm& vm, Object*, Args& a) -> Value {
        return Value(a.empty() || std::isnan(vm.toNumber(a[0])));
    });
    vm.defineMethod(g, "isFinite", [](Vm& vm, Object*, Args& a) -> Value {
        return Value(!a.empty() && std::isfinite(vm.toNumber(a[0])));
    });
    vm.defineMethod(g, "parseFloat", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty()) return {};
        return Value(parseFloatText(vm.toString(a[0])));
    });
    vm.defineMethod(g, "parseInt", [](Vm& vm, Object*, Args& a) -> Value {
        if (a.empty()) return {};
        const std::string s = vm.toString(a[0]);
        const bool given = a.size() > 1;
        const int radix = given ? toInt32(vm.toNumber(a[1])) : 0;
        if (given && (radix < 2 || radix > 36)) return Value(kNaN);
        return Value(parseIntText(s, radix, given));
    });
    vm.defineMethod(g, "escape", [](Vm& vm, Object*, Args& a) -> Value {
        return Value(escapeText(vm.toString(arg(a, 0)), vm.version()));
    });
    vm.defineMethod(g, "unescape", [](Vm& vm, Object*, Args& a) -> Value {
        const std::string s = vm.toString(arg(a, 0));
        // SWF 5 has nothing to give back for empty text.
        if (s.empty() && vm.version() < 6) return {};
        return Value(unescapeText(s, vm.version()));
    });
}

}  // namespace swf::avm1
