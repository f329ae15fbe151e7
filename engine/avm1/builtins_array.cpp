// Array: the methods and the sort flags (CASEINSENSITIVE 1, DESCENDING 2, UNIQUESORT 4,
// RETURNINDEXEDARRAY 8, NUMERIC 16).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

enum SortFlags {
    CaseInsensitive = 1,
    Descending = 2,
    UniqueSort = 4,
    ReturnIndexed = 8,
    Numeric = 16
};

// Merge sort: never reads out of bounds, whatever a script's comparator answers.
void mergeSort(std::vector<size_t>& v, const std::function<int(size_t, size_t)>& cmp) {
    if (v.size() < 2) return;
    std::vector<size_t> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            const size_t mid = std::min(lo + width, v.size()),
                         hi = std::min(lo + 2 * width, v.size());
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) tmp[k++] = cmp(v[j], v[i]) < 0 ? v[j++] : v[i++];
            while (i < mid) tmp[k++] = v[i++];
            while (j < hi) tmp[k++] = v[j++];
        }
        v.swap(tmp);
    }
}

// The Flash Player's quicksort, so that comparators and toString see the calls it makes in
// its order: the first element is the pivot, the left scan passes what sorts below it, the
// right scan what does not. Both scans are bounded, whatever a comparator answers. Past a
// budget of comparisons (a sorted array costs the square of its length) merge sort finishes.
void flashSort(std::vector<size_t>& v, const std::function<int(size_t, size_t)>& cmp) {
    if (v.size() < 2) return;
    int64_t log2 = 1;
    while ((size_t{1} << log2) < v.size()) ++log2;
    int64_t left = 8 * int64_t(v.size()) * log2 + 64;                // comparisons still allowed
    std::vector<std::pair<size_t, size_t>> todo{{0, v.size() - 1}};  // ranges, inclusive
    while (!todo.empty()) {
        const auto [lo, hi] = todo.back();
        todo.pop_back();
        if (hi <= lo) continue;
        const size_t p = v[lo];
        size_t i = lo + 1, j = hi;
        for (;;) {
            while (i <= j && --left >= 0 && cmp(p, v[i]) > 0) ++i;
            if (left < 0) return mergeSort(v, cmp);
            if (i > j) break;  // all below the pivot: it goes last
            if (i == j) --j;   // v[i] is known not to sort below it
            while (j > lo && --left >= 0 && cmp(p, v[j]) <= 0) --j;
            if (left < 0) return mergeSort(v, cmp);
            if (i >= j) break;
            std::swap(v[i], v[j]);
        }
        std::swap(v[lo], v[j]);
        // The left part first, as the Flash Player recurses.
        if (j + 1 < hi) todo.emplace_back(j + 1, hi);
        if (j > lo + 1) todo.emplace_back(lo, j - 1);
    }
}

// Case folding for CASEINSENSITIVE: accented Latin letters fold as well as ASCII.
std::u16string folded(const std::string& s) {
    std::u16string u = utf16Decode(s);
    for (auto& c : u)
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 32;
    return u;
}

int compareStrings(const std::string& a, const std::string& b, bool ci) {
    if (ci) {
        const std::u16string la = folded(a), lb = folded(b);
        return la < lb ? -1 : la > lb ? 1 : 0;
    }
    return a < b ? -1 : a > b ? 1 : 0;
}

// a's text is asked before b's: a toString the script wrote sees the calls in that order.
int compareAsStrings(Vm& vm, const Value& a, const Value& b, int flags) {
    const std::string x = vm.toString(a);
    const std::string y = vm.toString(b);
    return compareStrings(x, y, flags & CaseInsensitive);
}

int compareValues(Vm& vm, const Value& a, const Value& b, int flags) {
    int r;
    if (flags & Numeric) {
        if (a.isNumber() && b.isNumber()) {
            const double x = a.n, y = b.n;
            r = x < y ? -1 : x > y ? 1 : 0;
            if (std::isnan(x) || std::isnan(y)) r = std::isnan(x) ? (std::isnan(y) ? 0 : 1) : -1;
        } else {
            r = compareAsStrings(vm, a, b, flags);
        }
    } else {
        // undefined sorts last.
        if (a.isUndefined() || b.isUndefined())
            r = a.isUndefined() == b.isUndefined() ? 0 : a.isUndefined() ? 1 : -1;
        else
            r = compareAsStrings(vm, a, b, flags);
    }
    return (flags & Descending) ? -r : r;
}

using Compare = std::function<int(const Value&, const Value&)>;

// Sorts self's elements with cmp, ascending, then applies DESCENDING by reversing the
// result (the Flash Player's comparisons are those of the ascending sort), UNIQUESORT (two
// neighbours that same tells equal: 0, self untouched) and RETURNINDEXEDARRAY.
Value sortWith(Vm& vm, Object* self, int flags, const Compare& cmp, const Compare& same) {
    std::vector<size_t> order(self->elems.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    const auto elems = self->elems;
    flashSort(order, [&](size_t x, size_t y) { return cmp(elems[x], elems[y]); });
    if (flags & UniqueSort) {
        for (size_t i = 1; i < order.size(); ++i)
            if (same(elems[order[i - 1]], elems[order[i]]) == 0) return Value(0);
    }
    if (flags & Descending) std::reverse(order.begin(), order.end());
    if (flags & ReturnIndexed) {
        std::vector<Value> idx;
        for (size_t i : order) idx.push_back(Value(static_cast<double>(i)));
        return Value(vm.newArray(std::move(idx)));
    }
    std::vector<Value> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(elems[i]);
    self->elems = std::move(sorted);
    self->elemsRewritten();
    return Value(self);
}

std::string join(Vm& vm, Object* self, const std::string& sep, int depth = 0) {
    std::string out;
    for (size_t i = 0; i < self->elems.size(); ++i) {
        if (i) out += sep;
        const Value& e = self->elems[i];
        if (e.isObject() && e.o->cls == ObjClass::Array && depth < 32 && e.o != self)
            out += join(vm, e.o, ",", depth + 1);
        else
            out += vm.toString(e);
        vm.checkString(out.size());
    }
    return out;
}

int64_t relIndex(Vm& vm, const Value& v, int64_t len, int64_t dflt) {
    if (v.isUndefined()) return dflt;
    double d = vm.toNumber(v);
    if (std::isnan(d)) d = 0;
    int64_t i = static_cast<int64_t>(std::trunc(std::clamp(d, -1e15, 1e15)));
    if (i < 0) i += len;
    return std::clamp<int64_t>(i, 0, len);
}

// An array-like object's elements: its length and the properties "0" .. length-1.
std::vector<Value> readArrayLike(Vm& vm, Object* o) {
    const double len = vm.toNumber(vm.get(o, "length"));
    std::vector<Value> out;
    if (!(len > 0)) return out;
    const double n = std::min(std::floor(len), double(vm.limits().maxArrayLength));
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        if ((i & 1023) == 0) vm.checkTime();
        out.push_back(vm.get(o, std::to_string(i)));
    }
    return out;
}

// Writes elements back as properties, removing those past the new end.
void writeArrayLike(Vm& vm, Object* o, const std::vector<Value>& v, size_t oldLen) {
    for (size_t i = 0; i < v.size(); ++i) vm.set(o, std::to_string(i), v[i]);
    for (size_t i = v.size(); i < oldLen; ++i) vm.deleteProperty(o, std::to_string(i));
    vm.set(o, "length", Value(v.size()));
}

}  // namespace

void installArrayBuiltins(Vm& vm) {
    Object* ap = vm.arrayProto;
    ap->cls = ObjClass::Array;
    auto make = [](Vm& vm, Object* self, Args& a) -> Value {
        Object* arr = self ? self : vm.newArray();
        vm.makeArray(arr);
        arr->elems.clear();
        arr->elemsRewritten();
        if (a.size() == 1 && a[0].isNumber()) {
            // A fractional length is cut to a whole one; a negative one gives none.
            const double n = std::trunc(a[0].n);
            if (n > 0 && n <= static_cast<double>(vm.limits().maxArrayLength)) {
                vm.checkArray(static_cast<size_t>(n), 0);
                arr->resizeElems(static_cast<size_t>(n));
            }
        } else {
            arr->elems = a;
        }
        return Value(arr);
    };
    // Called on an object that inherits from Array.prototype (super() in a subclass), the
    // constructor makes that object the array.
    Object* ctor = vm.newFunction(
        [make](Vm& vm, Object* self, Args& a) {
            bool sub = false;
            if (self && self->cls == ObjClass::Object) {
                int guard = 0;
                for (Object* p = self->proto; p && guard < 256 && !sub; p = p->proto, ++guard)
                    sub = p == vm.arrayProto;
            }
            if (sub) return make(vm, self, a);
            return make(vm, vm.newScriptArray({}), a);
        },
        ap);
    ctor->fn->construct = make;
    vm.arrayCtor = ctor;
    vm.defineValue(vm.global, "Array", ctor);
    // The sort flags are plain properties: enumerable, writable, deletable.
    vm.defineValue(ctor, "CASEINSENSITIVE", Value(1), 0);
    vm.defineValue(ctor, "DESCENDING", Value(2), 0);
    vm.defineValue(ctor, "UNIQUESORT", Value(4), 0);
    vm.defineValue(ctor, "RETURNINDEXEDARRAY", Value(8), 0);
    vm.defineValue(ctor, "NUMERIC", Value(16), 0);

    auto isArr = [](Object* o) { return o && o->cls == ObjClass::Array; };
    vm.defineMethod(ap, "push", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self)) return {};
        vm.checkArray(self->elems.size() + a.size(), self->elems.size());
        for (auto& v : a) self->setElem(self->elems.size(), v);
        return Value(self->elems.size());
    });
    vm.defineMethod(ap, "pop", [isArr](Vm&, Object* self, Args&) -> Value {
        if (!isArr(self) || self->elems.empty()) return {};
        Value v = self->elems.back();
        self->elems.pop_back();
        return v;
    });
    vm.defineMethod(ap, "shift", [isArr](Vm&, Object* self, Args&) -> Value {
        if (!isArr(self) || self->elems.empty()) return {};
        Value v = self->elems.front();
        self->elems.erase(self->elems.begin());
        return v;
    });
    vm.defineMethod(ap, "unshift", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self)) return {};
        vm.checkArray(self->elems.size() + a.size(), self->elems.size());
        self->elems.insert(self->elems.begin(), a.begin(), a.end());
        return Value(self->elems.size());
    });
    vm.defineMethod(ap, "join", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self)) return {};
        const std::string sep = a.empty() || a[0].isUndefined() ? "," : vm.toString(a[0]);
        return Value(join(vm, self, sep));
    });
    vm.defineMethod(ap, "toString", [isArr](Vm& vm, Object* self, Args&) -> Value {
        if (!isArr(self)) return Value("[object Object]");
        return Value(join(vm, self, ","));
    });
    vm.defineMethod(ap, "reverse", [isArr](Vm&, Object* self, Args&) -> Value {
        if (!isArr(self)) return {};
        std::reverse(self->elems.begin(), self->elems.end());
        self->elemsRewritten();
        return Value(self);
    });
    vm.defineMethod(ap, "concat", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self)) return {};
        std::vector<Value> out = self->elems;
        for (auto& v : a) {
            const bool spread = v.isObject() && v.o->cls == ObjClass::Array;
            vm.checkArray(out.size() + (spread ? v.o->elems.size() : 1), out.size());
            if (spread)
                out.insert(out.end(), v.o->elems.begin(), v.o->elems.end());
            else
                out.push_back(v);
        }
        return Value(vm.newArray(std::move(out)));
    });
    vm.defineMethod(ap, "slice", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self)) return {};
        const int64_t len = static_cast<int64_t>(self->elems.size());
        const int64_t from = relIndex(vm, arg(a, 0), len, 0);
        const int64_t to = relIndex(vm, arg(a, 1), len, len);
        std::vector<Value> out;
        for (int64_t i = from; i < to; ++i) out.push_back(self->elems[i]);
        return Value(vm.newArray(std::move(out)));
    });
    vm.defineMethod(ap, "splice", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        // An undefined start, or a count that is undefined or negative, changes nothing.
        if (!isArr(self) || a.empty() || a[0].isUndefined()) return {};
        const int64_t len = static_cast<int64_t>(self->elems.size());
        const int64_t from = relIndex(vm, a[0], len, 0);
        int64_t count = len - from;
        if (a.size() > 1) {
            if (a[1].isUndefined()) return {};
            const double c = vm.toNumber(a[1]);
            if (c < 0) return {};
            count = std::isnan(c) ? 0 : std::clamp<int64_t>(static_cast<int64_t>(c), 0, len - from);
        }
        std::vector<Value> removed(self->elems.begin() + from, self->elems.begin() + from + count);
        self->elems.erase(self->elems.begin() + from, self->elems.begin() + from + count);
        if (a.size() > 2) self->elems.insert(self->elems.begin() + from, a.begin() + 2, a.end());
        return Value(vm.newArray(std::move(removed)));
    });
    vm.defineMethod(ap, "sort", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self)) return {};
        // sort(compare, flags) or sort(flags): a second argument is the flags whatever the
        // first is; a first that is no function is ignored.
        // A first argument that is neither an object nor a number sorts nothing.
        if (!a.empty() && !a[0].isObject() && !a[0].isNumber()) return {};
        Value fn;
        int flags = 0;
        if (!a.empty() && a[0].isObject() && a[0].o->fn) fn = a[0];
        if (a.size() > 1 && !a[1].isUndefined())
            flags = toInt32(vm.toNumber(a[1]));
        else if (!a.empty() && a[0].isNumber())
            flags = toInt32(a[0].n);
        const int ascending = flags & ~Descending;
        const Compare byValue = [&](const Value& x, const Value& y) {
            return compareValues(vm, x, y, ascending);
        };
        if (fn.isObject()) {
            return sortWith(
                vm, self, flags,
                [&](const Value& x, const Value& y) {
                    const double r = vm.toNumber(vm.call(fn, nullptr, {x, y}));
                    return r < 0 ? -1 : r > 0 ? 1 : 0;
                },
                byValue);
        }
        return sortWith(vm, self, flags, byValue, byValue);
    });
    vm.defineMethod(ap, "sortOn", [isArr](Vm& vm, Object* self, Args& a) -> Value {
        if (!isArr(self) || a.empty()) return {};
        std::vector<std::string> fields;
        std::vector<int> flags;
        if (a[0].isObject() && a[0].o->cls == ObjClass::Array) {
            for (auto& f : a[0].o->elems) fields.push_back(vm.toString(f));
        } else {
            fields.push_back(vm.toString(a[0]));
        }
        const Value& fl = arg(a, 1);
        if (fl.isObject() && fl.o->cls == ObjClass::Array) {
            if (fl.o->elems.size() == fields.size())
                for (auto& f : fl.o->elems) flags.push_back(toInt32(vm.toNumber(f)));
        } else if (fl.isNumber()) {
            flags.assign(fields.size(), toInt32(fl.n));
        }
        flags.resize(fields.size(), flags.empty() ? 0 : flags[0]);
        const int first = flags.empty() ? 0 : flags[0];
        const Compare byFields = [&](const Value& x, const Value& y) {
            // Only the elements' own fields count: neither prototypes nor getters are asked.
            // A primitive element stands for itself.
            auto field = [&](const Value& v, const std::string& name) -> Value {
                if (!v.isObject()) return v;
                if (Property* p = v.o->findOwn(vm.key(name)))
                    return p->isAccessor() ? Value() : p->value;
                return v.o->cls == ObjClass::Object ? Value() : vm.get(v.o, name);
            };
            for (size_t k = 0; k < fields.size(); ++k) {
                const Value vx = field(x, fields[k]);
                const Value vy = field(y, fields[k]);
                const int r = compareValues(vm, vx, vy, flags[k]);
                if (r) return r;
            }
            return 0;
        };
        return sortWith(vm, self, first & ~Descending, byFields, byFields);
    });

    // Called on a plain object (Array.prototype.pop.call(o)), the methods work on its
    // "length" and numbered properties as they would on an array's.
    const std::pair<const char*, bool> generic[] = {
        {"push", true},    {"pop", true},     {"shift", true}, {"unshift", true},
        {"reverse", true}, {"splice", true},  {"sort", true},  {"sortOn", true},
        {"join", false},   {"concat", false}, {"slice", false}};
    for (auto [name, writes] : generic) {
        Value f = vm.get(ap, name);
        if (!f.isObject() || !f.o->fn || !f.o->fn->native) continue;
        NativeFn inner = f.o->fn->native;
        const bool w = writes;
        f.o->fn->native = [inner, w](Vm& vm, Object* self, Args& a) -> Value {
            if (!self || self->cls != ObjClass::Object) return inner(vm, self, a);
            std::vector<Value> elems = readArrayLike(vm, self);
            const size_t oldLen = elems.size();
            Object* tmp = vm.newArray(std::move(elems));
            Value r = inner(vm, tmp, a);
            if (w) writeArrayLike(vm, self, tmp->elems, oldLen);
            if (r.isObject() && r.o == tmp) r = Value(self);
            return r;
        };
    }
}

}  // namespace swf::avm1
