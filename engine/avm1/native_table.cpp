// ASnative, ASSetNative and ASSetNativeAccessor: the built-ins by table number and index, as
// the player's own class definitions wire them up. A number stands for a method, the built-in
// itself whatever a script has since put under its name, or for a getter and setter pair that
// is looked up by name when called.

#include <cmath>
#include <map>
#include <memory>

#include "engine/avm1/capabilities.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

constexpr int kLoadTable = 301;  // the loads LoadVars and XML share
constexpr int kCapabilitiesTable = 11;
constexpr int kOldCaseTable = 102;  // the first player's upper and lower case: ASCII letters only
constexpr int kMathTable = 200;

NativeFn oldCase(bool upper) {
    return [upper](Vm& vm, Object* self, Args&) -> Value {
        std::string s = vm.toString(self ? Value(self) : Value());
        for (char& c : s) {
            if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        }
        return Value(std::move(s));
    };
}

struct NativeGroup {
    int table;
    int first;          // index of the first name
    const char* owner;  // dotted path from _global; "" is _global itself
    const char* names;  // comma separated; an empty name is the owner itself
    bool accessors;     // each name takes two indexes: getter, then setter
};

constexpr NativeGroup kGroups[] = {
    {100, 0, "", "escape,unescape,parseInt,parseFloat", false},
    {101, 0, "Object.prototype",
     "watch,unwatch,addProperty,valueOf,toString,hasOwnProperty,isPrototypeOf,"
     "isPropertyEnumerable",
     false},
    {103, 0, "Date.prototype",
     "getFullYear,getYear,getMonth,getDate,getDay,getHours,getMinutes,getSeconds,"
     "getMilliseconds,setFullYear,setMonth,setDate,setHours,setMinutes,setSeconds,"
     "setMilliseconds,getTime,setTime,getTimezoneOffset,toString,setYear",
     false},
    {103, 128, "Date.prototype",
     "getUTCFullYear,getUTCYear,getUTCMonth,getUTCDate,getUTCDay,getUTCHours,getUTCMinutes,"
     "getUTCSeconds,getUTCMilliseconds,setUTCFullYear,setUTCMonth,setUTCDate,setUTCHours,"
     "setUTCMinutes,setUTCSeconds,setUTCMilliseconds",
     false},
    {103, 256, "Date", ",UTC", false},
    {104, 200, "MovieClip.prototype", "createTextField", false},
    {200, 0, "Math",
     "abs,min,max,sin,cos,atan2,tan,exp,log,sqrt,round,random,floor,ceil,atan,asin,acos,pow",
     false},
    {200, 18, "", "isNaN,isFinite", false},
    {1109, 1, "flash.filters.ConvolutionFilter.prototype",
     "matrixX,matrixY,matrix,divisor,bias,preserveAlpha,clamp,color,alpha", true},
};

std::vector<std::string> splitNames(std::string_view s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (true) {
        const size_t j = s.find(',', i);
        out.emplace_back(s.substr(i, j == std::string_view::npos ? s.npos : j - i));
        if (j == std::string_view::npos) break;
        i = j + 1;
    }
    return out;
}

struct Entry {
    const NativeGroup* group = nullptr;
    std::string name;
    int role = 0;  // 0 method, 1 getter, 2 setter
};

Entry findEntry(int table, int index) {
    for (const NativeGroup& g : kGroups) {
        if (g.table != table || index < g.first) continue;
        const auto names = splitNames(g.names);
        const int per = g.accessors ? 2 : 1;
        const int k = (index - g.first) / per;
        if (k >= static_cast<int>(names.size())) continue;
        return {&g, names[k], g.accessors ? 1 + (index - g.first) % 2 : 0};
    }
    return {};
}

Value ownerOf(Vm& vm, std::string_view path) {
    Value cur(vm.global);
    size_t i = 0;
    while (i < path.size()) {
        const size_t j = path.find('.', i);
        cur = vm.get(cur, path.substr(i, j == std::string_view::npos ? path.npos : j - i));
        if (j == std::string_view::npos) break;
        i = j + 1;
    }
    return cur;
}

// The built-in methods by table and index, as they were before any script ran.
using Originals = std::map<std::pair<int, int>, NativeFn>;

std::shared_ptr<const Originals> collectOriginals(Vm& vm) {
    auto out = std::make_shared<Originals>();
    for (const NativeGroup& g : kGroups) {
        if (g.accessors) continue;
        const Value owner = ownerOf(vm, g.owner);
        int index = g.first;
        for (const std::string& n : splitNames(g.names)) {
            // A method the movie's version does not see is in the table all the same.
            const Property* p =
                owner.isObject() && !n.empty() ? owner.o->findAny(vm.key(n)) : nullptr;
            const Value fn = n.empty() ? owner : p ? p->value : Value();
            if (fn.isObject() && fn.o->fn && fn.o->fn->native)
                out->emplace(std::pair{g.table, index}, fn.o->fn->native);
            ++index;
        }
    }
    return out;
}

Object* nativeFunction(Vm& vm, const Originals& originals, int table, int index) {
    if (table == kLoadTable) return vm.newMethod(loadNative(index));
    if (table == kCapabilitiesTable && index == 0) return vm.newMethod(queryCapabilities);
    if (table == kOldCaseTable && (index == 0 || index == 1))
        return vm.newMethod(oldCase(index == 0));
    if (auto it = originals.find({table, index}); it != originals.end())
        return vm.newMethod(it->second);
    if (table == kMathTable && !findEntry(table, index).group) {
        // Math reads two numbers whatever the index asks for, and has no answer past its end.
        return vm.newMethod([](Vm& vm, Object*, Args& a) -> Value {
            for (size_t i = 0; i < a.size() && i < 2; ++i) vm.toNumber(a[i]);
            return Value(std::nan(""));
        });
    }
    return vm.newMethod([table, index](Vm& vm, Object* self, Args& a) -> Value {
        const Entry e = findEntry(table, index);
        if (!e.group) return {};
        const Value owner = ownerOf(vm, e.group->owner);
        if (e.role == 1) return self ? vm.get(self, e.name) : Value();
        if (e.role == 2) {
            if (self) vm.set(self, e.name, arg(a, 0));
            return {};
        }
        const Value fn = e.name.empty() ? owner : vm.get(owner, e.name);
        return vm.call(fn, self, a);
    });
}

// The index arguments wrap as integers; a noisy valueOf runs once, where the player runs it.
int indexArg(Vm& vm, const Value& v) { return toInt32(vm.toNumber(v)); }

// A name may start with the first SWF version that sees it: "6" to "9", or "10". A property
// new to the object, or any accessor, stays out of sight of older movies, though for..in still
// lists it.
void defineNative(Vm& vm, Object* o, std::string name, Value v, Object* getter, Object* setter) {
    int version = 0;
    if (name.size() > 2 && name[0] == '1' && name[1] == '0') {
        version = 10;
        name.erase(0, 2);
    } else if (!name.empty() && name[0] == '1') {
        name.erase(0, 1);
    } else if (!name.empty() && name[0] >= '6' && name[0] <= '9') {
        version = name[0] - '0';
        name.erase(0, 1);
    }
    if (name.empty()) return;
    const std::string k = vm.key(name);
    const bool existed = o->findAny(k) != nullptr;
    Property& p = o->setOwn(name, k, std::move(v), 0);
    p.getter = getter;
    p.setter = setter;
    static constexpr uint16_t kFirstSeen[] = {From6, From7, From8, From9, From10};
    // An accessor takes the version over a property already there; a method leaves it seen.
    if ((!existed || getter) && version >= 6) p.setFlags(kFirstSeen[version - 6], vm.version());
}

void setNatives(Vm& vm, const Originals& originals, Args& a, bool accessors) {
    if (a.size() < 3 || !arg(a, 0).isObject()) return;
    Object* o = arg(a, 0).o;
    const int table = indexArg(vm, arg(a, 1));
    const std::string list = vm.toString(arg(a, 2));
    int index = a.size() > 3 ? indexArg(vm, arg(a, 3)) : 0;
    const auto names = splitNames(list);
    if (names.size() > 4096) return;
    for (const std::string& n : names) {
        if (!n.empty()) {
            if (accessors)
                defineNative(vm, o, n, Value(), nativeFunction(vm, originals, table, index),
                             nativeFunction(vm, originals, table, index + 1));
            else
                defineNative(vm, o, n, Value(nativeFunction(vm, originals, table, index)), nullptr,
                             nullptr);
        }
        index += accessors ? 2 : 1;
    }
}

}  // namespace

void installNativeTables(Vm& vm) {
    const auto originals = collectOriginals(vm);
    vm.defineMethod(vm.global, "ASnative", [originals](Vm& vm, Object*, Args& a) -> Value {
        const int table = indexArg(vm, arg(a, 0));
        const int index = indexArg(vm, arg(a, 1));
        return Value(nativeFunction(vm, *originals, table, index));
    });
    vm.defineMethod(vm.global, "ASSetNative", [originals](Vm& vm, Object*, Args& a) -> Value {
        setNatives(vm, *originals, a, false);
        return {};
    });
    vm.defineMethod(vm.global, "ASSetNativeAccessor",
                    [originals](Vm& vm, Object*, Args& a) -> Value {
                        setNatives(vm, *originals, a, true);
                        return {};
                    });
}

}  // namespace swf::avm1
