#pragma once
// The AVM1 virtual machine: runs action lists (DoAction, DoInitAction, functions) of SWF 3-8
// against a heap of objects, the built-ins and the timelines the host exposes.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/avm1/host.h"
#include "engine/avm1/object.h"
#include "engine/avm1/value.h"

namespace swf::avm1 {

// A script-level exception (ActionThrow); caught by ActionTry.
struct ScriptThrow {
    Value value;
};
// Ends the whole action list: time limit, recursion limit, memory cap. A fatal abort (the
// frame's time or the VM's memory is spent) stops the movie's scripts for good.
struct ScriptAbort {
    std::string reason;
    bool fatal = false;
};

struct VmLimits {
    std::chrono::milliseconds scriptTime{15000};  // all of one frame's scripts together
    int maxCallDepth = 256;
    int maxBlockDepth = 256;  // with and try blocks open at once
    // Heap the process may grow by while this VM's scripts run, beyond what it held when the
    // VM was made (strings, arrays and objects alike).
    size_t maxHeapGrowth = size_t{768} << 20;
    size_t maxObjects = 2u << 20;
    size_t maxArrayLength = 1u << 24;
    size_t maxStringBytes = 64u << 20;
    size_t maxStack = 1u << 20;
};

// Growth (bytes) from which a string or an array is checked against the memory budget.
inline constexpr size_t kLargeGrowth = size_t{1} << 20;

struct CallContext;
class TextFields;
class Loads;
struct InputState;

class Vm {
public:
    Vm(int swfVersion, VmHost& host, VmLimits limits = {});
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    int version() const { return version_; }
    VmHost& host() { return host_; }
    const VmLimits& limits() const { return limits_; }

    // Runs one action list with `clip` as its timeline. Never throws.
    void runActions(std::span<const uint8_t> code, ClipHost* clip);
    // A frame's action lists in order. A jump past the end of one goes on in the file's bytes
    // there: when they are a later list of the same frame, the script continues inside it.
    // before(i), when given, runs ahead of list i (from the second on).
    void runFrameActions(std::span<const std::span<const uint8_t>> lists, ClipHost* clip,
                         const std::function<void(size_t)>& before = {});
    // Every way in from the host goes through here: f's script time counts against the
    // frame's budget, and a script's throw or abort ends here. False when f did not finish,
    // or did not run because the movie's scripts are stopped.
    template <class F>
    bool enter(F&& f);
    // A new frame: its scripts get the whole time budget again.
    void beginFrame();
    // The frame's time or the VM's memory ran out once: no script of this movie runs again.
    bool scriptsStopped() const { return stopped_; }
    // Timers (setInterval/setTimeout) due at the host's current time.
    void runTimers();
    // onEnterFrame of every clip that has one, children before their parents.
    void dispatchEnterFrame();
    // Frees what no root reaches; call between frames.
    void collect();
    void maybeCollect();  // collect() when the heap has grown a lot since the last one

    void setRoot(ClipHost* root) { root_ = root; }
    ClipHost* root() const { return root_; }
    // A timeline's children: the host's and those scripts created.
    std::vector<ClipHost*> childrenOf(ClipHost* clip) const;
    // Clips made by createEmptyMovieClip / attachMovie / duplicateMovieClip.
    ClipHost* createClip(ClipHost* parent, std::string_view name, int depth);
    void removeClip(ClipHost* clip);
    Object* clipObject(ClipHost* clip);

    // ---- used by the built-ins
    Object* newObject(Object* proto);
    Object* newObject() { return newObject(objectProto); }
    Object* newArray(std::vector<Value> elems = {});
    // An array a script makes without new (a literal, Array() called): its prototype is
    // whatever _global.Array.prototype is now, none once Array is gone.
    Object* newScriptArray(std::vector<Value> elems);
    // Makes o an array: its length is its own, hidden and permanent.
    void makeArray(Object* o);
    // An array's own length property holds a value only while a script set it to something
    // that is no number; undefined while the element count is the length.
    void keptLength(Object* o, Value v);
    Object* newFunction(NativeFn fn,
                        Object* proto = nullptr);  // proto: .prototype (made when null)
    Object* newMethod(NativeFn fn);                // a function without a prototype object
    // An object the player makes itself for a class (a literal, an array a method returns):
    // its constructor is its own, hidden and permanent.
    Object* newInstance(Object* proto, Object* ctor);
    // What `new` leaves on the object it made: the constructor behind it, and before SWF 7
    // the constructor too.
    void markConstructed(Object* obj, Object* ctor);
    Object* boxed(const Value& v);                 // ToObject
    std::string key(std::string_view name) const;  // lookup key for the version's case rule

    Value get(Object* o, std::string_view name);
    // A reference to a removed clip reaches whatever clip now has its path; anything else,
    // and a reference nothing stands in for, is itself.
    Object* liveRef(Object* o);
    // o's own plain property of that name when version bits hide it from this movie (what
    // for..in still lists, and some built-ins read and write); null otherwise.
    Property* versionHidden(Object* o, std::string_view name);
    // Its value, else get(o, name).
    Value getHidden(Object* o, std::string_view name);
    Value resolveMissing(Object* o, std::string_view name);  // __resolve
    // A get without __resolve: for conversions and the handlers of the player's own events.
    Value getMethod(Object* o, std::string_view name);
    // Runs o's handler of one of the player's events, found without __resolve, if it has one.
    Value callHandler(Object* o, std::string_view name, Args args = {});
    Value callGetter(Object* fn, Object* thisObj, const Value& beneath = {});
    bool callSetter(Object* fn, Object* thisObj, const Value& v);  // false: nested too deep
    Value get(const Value& v, std::string_view name);
    void set(Object* o, std::string_view name, Value v);
    bool hasProperty(Object* o, std::string_view name);
    bool deleteProperty(Object* o, std::string_view name);
    void defineValue(Object* o, std::string_view name, Value v, uint16_t flags = DontEnum);
    // Built-in methods are hidden and permanent, as the player defines its classes.
    void defineMethod(Object* o, std::string_view name, NativeFn fn,
                      uint16_t flags = DontEnum | DontDelete);
    // A built-in the player writes as a script function: it comes with a prototype object.
    void defineFunction(Object* o, std::string_view name, NativeFn fn,
                        uint16_t flags = DontEnum | DontDelete);
    // Adds flags (a version bit, say) to an own property, as ASSetPropFlags would.
    void addFlags(Object* o, std::string_view name, uint16_t flags);
    void addFlagsToAll(Object* o, uint16_t flags);  // ASSetPropFlags(o, null, flags)
    // Enumerable names of o and its prototypes, in the order for..in yields them.
    std::vector<std::string> enumerate(Object* o);

    Value call(const Value& fn, Object* thisObj, Args args);
    Value construct(const Value& ctor, Args args);
    Value callMethod(const Value& receiver, std::string_view name, Args args);

    std::string toString(const Value& v);
    double toNumber(const Value& v);
    bool toBoolean(const Value& v) const;
    // An object's primitive as the player asks it: its valueOf(), whatever that gives, even an
    // object; undefined when there is none to call. Clips stay as they are.
    Value toPrimitive(const Value& v);
    std::string typeOf(const Value& v);
    bool looseEquals(const Value& a, const Value& b);
    bool looseEquals5(const Value& a, const Value& b);
    bool strictEquals(const Value& a, const Value& b) const;
    // a < b: true, false, or undefined (NaN involved)
    Value lessThan(const Value& a, const Value& b);
    bool instanceOf(const Value& v, Object* ctor);
    // ImplementsOp: ctor's prototype takes the interfaces' prototypes, once.
    void implement(Object* ctor, const Args& ifaces);
    // A constructor's own prototype property, a getter's value beneath it: what instanceof and
    // ImplementsOp read, running no getter.
    Value ownPrototype(Object* ctor);
    std::string targetPath(ClipHost* clip) const;
    // Where a target path ("/a/b", "../c", "a.b", "a:b") leads from base: a clip, or an object
    // a path may pass through; null where it leads nowhere. `first` looks up the leading name
    // when base has no child of that name (a script's scope chain); empty: a member of base.
    Object* resolvePath(std::string_view path, ClipHost* base,
                        const std::function<Value(std::string_view)>& first = {});
    ClipHost* resolveTarget(std::string_view path, ClipHost* base);  // "" is base; clips only

    Object* global = nullptr;
    Object* objectProto = nullptr;
    Object* functionProto = nullptr;
    Object* arrayProto = nullptr;
    Object* stringProto = nullptr;
    Object* numberProto = nullptr;
    Object* booleanProto = nullptr;
    Object* dateProto = nullptr;
    Object* clipProto = nullptr;
    Object* errorProto = nullptr;
    Object* arrayCtor = nullptr;
    Object* objectCtor = nullptr;    // the built-in Object, whatever _global.Object is now
    Object* functionCtor = nullptr;  // every function's own constructor, once it exists

    struct Timer {
        Value fn;  // function, or object + method name
        Object* thisObj = nullptr;
        std::string method;
        Args args;
        double intervalMs = 0;
        double dueMs = 0;
        bool repeat = true;
    };
    std::map<int, Timer> timers;
    int nextTimerId = 1;
    // "instanceN" names given to unnamed clips, buttons and fields: one count for them all.
    int instanceNames = 0;
    // The movie sent FSCommand quit: a headless host stops there, a windowed one ignores it.
    bool quitRequested = false;
    std::shared_ptr<TextFields> textFields;  // text_field.cpp
    std::shared_ptr<InputState> input;       // input_events.cpp: keys and mouse
    std::shared_ptr<Loads> loads;            // loader.cpp: files scripts asked for

    // Internal: the interpreter (interpreter.cpp).
    // home: the prototype `super` is taken below (null: thisObj's prototype).
    // plain: called by name on no object, with the timeline as `this` and no `super`.
    Value runFunction(Object* fnObj, Object* thisObj, Args& args, Object* home, bool plain = false);
    // super(...) when name is empty, super.name(...) otherwise.
    Value callSuper(Object* super, std::string_view name, Args args);
    Object* newSuper(Object* thisObj, Object* home);
    // Whom a method found through o runs on: a super object's instance, else o.
    static Object* receiverOf(Object* o) { return o->cls == ObjClass::Super ? o->superThis : o; }
    Property* findInChain(Object* o, std::string_view key);  // o and its prototypes
    // Runs a getter, setter or method with `super` taken below home.
    Value callAccessor(Object* fn, Object* thisObj, Args args, Object* home);
    int callDepth = 0;
    int blockDepth = 0;  // with/try blocks open, in every running list together
    uint32_t ticks = 0;  // actions run, all lists together: paces the clock and heap checks
    std::chrono::steady_clock::time_point deadline;
    void checkTime();
    // Native recursion stops here, well before the thread's stack does.
    void checkStack() const;
    // Throws a fatal abort once the heap has grown past the budget; `about` names what grew.
    void checkHeap(const char* about, size_t adding = 0);
    // Before a string of `bytes` is kept or an array grows from `from` to `to` elements: the
    // length caps, and the memory budget once the growth is large.
    void checkString(size_t bytes);
    void checkArray(size_t to, size_t from);
    ClipHost* root_ = nullptr;
    std::vector<CallContext*> contexts;  // active frames, for collection roots
    // The SWF version of the code running now: a function's own movie's, or that of the
    // timeline whose actions run; the player's version between scripts.
    int activeVersion();
    // Set for good by the first getBounds or getRect asked from SWF 8 code: from then on a clip
    // that draws nothing reports its edges rounded up (6710886.4, not 6710886.35) to older code.
    bool emptyBoundsRounded = false;
    // The player's settings every clip shows alike: _quality (0 LOW, 1 MEDIUM, 2 HIGH,
    // 3 BEST) and _soundbuftime (seconds).
    int quality = 2;
    int soundBufTime = 5;

private:
    friend struct EntryScope;
    void aborted(const ScriptAbort& a);
    void installBuiltins();
    void mark(Object* o);
    void markValue(const Value& v);

    int version_;
    VmHost& host_;
    VmLimits limits_;
    std::vector<std::unique_ptr<Object>> heap_;
    size_t lastLive_ = 1024;
    std::vector<Object*> tempRoots_;
    std::vector<std::unique_ptr<ClipHost>> scriptClips_;
    static constexpr int kMaxWatchDepth = 65;  // nested calls of one SWF 7 watcher
    bool noResolve_ = false;
    static constexpr int kMaxAccessorDepth = 65;
    int getterDepth_ = 0;
    int setterDepth_ = 0;
    int entries_ = 0;                                     // host entries running (enter())
    std::chrono::steady_clock::duration frameUsed_{};     // script time spent this frame
    std::chrono::steady_clock::time_point frameStart_{};  // when that frame's budget began
    bool stopped_ = false;                                // see scriptsStopped()
    uintptr_t stackFloor_ = 0;  // checkStack()'s bound, set by the outermost entry
    size_t heapBase_ = 0;       // the process's heap in use when the VM was made
};

// One level of calls (a function, a native, a frame's actions run by Call) for as long as it
// lives; past the limit it throws instead.
struct CallLevel {
    explicit CallLevel(Vm& vm);
    ~CallLevel();
    CallLevel(const CallLevel&) = delete;
    CallLevel& operator=(const CallLevel&) = delete;
    Vm& vm;
};

// One entry from the host, as enter() makes it (the outermost sets the deadline).
struct EntryScope {
    explicit EntryScope(Vm& vm);
    ~EntryScope();
    EntryScope(const EntryScope&) = delete;
    EntryScope& operator=(const EntryScope&) = delete;
    Vm& vm;
    std::chrono::steady_clock::time_point start;
};

template <class F>
bool Vm::enter(F&& f) {
    if (stopped_) return false;
    EntryScope scope(*this);
    try {
        f();
        return true;
    } catch (const ScriptAbort& a) {
        aborted(a);
    } catch (const ScriptThrow&) {
    }
    return false;
}

// Built-in installers (builtins_*.cpp).
void installObjectBuiltins(Vm& vm);
void installNumberBuiltins(Vm& vm);  // builtins_number.cpp: Boolean, Number, Error, parseInt...
void installArrayBuiltins(Vm& vm);
void installStringBuiltins(Vm& vm);
void installMathBuiltins(Vm& vm);
void installClipBuiltins(Vm& vm);
void installDateBuiltins(Vm& vm);
void installMiscBuiltins(Vm& vm);
void installXmlBuiltins(Vm& vm);     // xml.cpp
void installSystemBuiltins(Vm& vm);  // builtins_system.cpp: System, ContextMenu, PrintJob, ...
void installGeomBuiltins(Vm& vm);    // geom.cpp: flash.geom
void installTextBuiltins(Vm& vm);    // text_field.cpp: TextField, TextFormat, Selection
void installInputBuiltins(Vm& vm);   // input_events.cpp: Key state
void installLoadBuiltins(Vm& vm);    // loader.cpp: LoadVars, XML.load, Sound, ...
// Called by installGeomBuiltins once flash.geom exists.
void installBitmapBuiltins(Vm& vm);  // bitmap_data.cpp: flash.display.BitmapData
void installFilterBuiltins(Vm& vm);  // filter_objects.cpp: flash.filters
void installColorBuiltins(Vm& vm);   // color_object.cpp: Color
void installNativeTables(Vm& vm);    // native_table.cpp: ASnative, ASSetNative
// AsBroadcaster.initialize: from's listener methods on target, a broadcastMessage of its own
// and an empty listener list (builtins_misc.cpp).
// listeners: false for a prototype whose instances each keep their own list.
void initBroadcaster(Vm& vm, Object* target, Object* from, bool listeners = true);
// Key, Mouse, Stage and Selection listen from SWF 6 on: older movies do not see the methods.
void hideBroadcasterBefore6(Vm& vm, Object* target);
// A built-in subclass of base: its prototype is as `new base` makes one, linked to base's
// prototype, with the hidden link to base and no constructor of its own (builtins_misc.cpp).
Object* newSubclass(Vm& vm, Object* base, NativeFn fn);

// An Add2 operand: an object's primitive, as text next to text sees it.
Value addOperand(Vm& vm, const Value& v);

// A clip or text field: what a target path may end on.
inline bool isTarget(const Object* o) {
    return o && o->clip && (o->cls == ObjClass::MovieClip || o->cls == ObjClass::TextField);
}

// Argument helpers for natives.
inline const Value& arg(const Args& a, size_t i) {
    static const Value undef;
    return i < a.size() ? a[i] : undef;
}

// The first N arguments as numbers, converted left to right: a script's valueOf sees its
// calls in the order the Flash Player makes them (arguments of one call are unordered in C++).
template <size_t N>
std::array<double, N> argNumbers(Vm& vm, const Args& a) {
    std::array<double, N> out{};
    for (size_t i = 0; i < N; ++i) out[i] = vm.toNumber(arg(a, i));
    return out;
}

}  // namespace swf::avm1
