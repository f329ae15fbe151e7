// The action interpreter: decodes each action with its length checked against the list, and
// runs it on the context's stack. A malformed list ends where it stops making sense.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>

#include "engine/avm1/clip.h"
#include "engine/avm1/context.h"
#include "engine/avm1/loaded_movie.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

struct CallContext {
    explicit CallContext(Vm& v) : vm(v) { vm.contexts.push_back(this); }
    ~CallContext() { vm.contexts.pop_back(); }
    CallContext(const CallContext&) = delete;
    CallContext& operator=(const CallContext&) = delete;

    Vm& vm;
    std::span<const uint8_t> code;
    std::shared_ptr<const std::vector<std::string>> pool;
    std::vector<Value> stack;
    std::vector<Value> regs;
    std::vector<Object*> scope;  // outermost (_global) first
    int clipSlot = -1;           // the scope entry SetTarget swaps
    size_t withCount = 0;        // the last entries of scope are these `with` objects
    Object* thisObj = nullptr;
    ClipHost* target = nullptr;
    ClipHost* original = nullptr;
    Object* originalObj = nullptr;  // its script object: tells whether it was removed
    Object* activation = nullptr;
    Object* fnObj = nullptr;
    Object* home = nullptr;  // `super` is this prototype's prototype
    bool inFunction = false;
    bool thisByName = true;  // false when DefineFunction2 preloads or suppresses it
    bool superByName = true;
    bool plainCall = false;  // called on no object: `super` is undefined
    // Where a jump left the code, relative to its start: the file's bytes there may go on.
    std::optional<int64_t> jumpedOut;
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Flow {
    enum Kind { Normal, Return, Exit } kind = Normal;
    size_t pc = 0;
    Value ret{};
};

// Reads the fields of one action's payload; every read is checked.
class Payload {
public:
    // latin1: the movie predates SWF 6, and its strings are a byte per character.
    Payload(std::span<const uint8_t> b, bool latin1) : b_(b), latin1_(latin1) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ >= b_.size(); }
    uint8_t u8() {
        if (pos_ + 1 > b_.size()) return fail();
        return b_[pos_++];
    }
    uint16_t u16() {
        if (pos_ + 2 > b_.size()) return fail();
        const uint16_t v = static_cast<uint16_t>(b_[pos_] | (b_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        if (pos_ + 4 > b_.size()) return fail();
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | b_[pos_ + i];
        pos_ += 4;
        return v;
    }
    std::string str() {
        size_t e = pos_;
        while (e < b_.size() && b_[e] != 0) ++e;
        if (e >= b_.size()) {
            fail();
            return {};
        }
        std::string_view s(reinterpret_cast<const char*>(b_.data() + pos_), e - pos_);
        pos_ = e + 1;
        return latin1_ ? latin1ToUtf8(s) : std::string(s);
    }

private:
    uint8_t fail() {
        ok_ = false;
        pos_ = b_.size();
        return 0;
    }
    std::span<const uint8_t> b_;
    bool latin1_ = false;
    size_t pos_ = 0;
    bool ok_ = true;
};

Value pop(CallContext& c) {
    if (c.stack.empty()) return {};
    Value v = std::move(c.stack.back());
    c.stack.pop_back();
    return v;
}

void push(CallContext& c, Value v) {
    if (c.stack.size() >= c.vm.limits().maxStack) throw ScriptAbort{"stack overflow"};
    // Copies of one large string (Dup, registers) add up while each stays under the cap.
    if (v.isString() && v.s.size() >= kLargeGrowth) c.vm.checkHeap("strings on the stack");
    c.stack.push_back(std::move(v));
}

Object* targetObject(CallContext& c) { return c.vm.clipObject(c.target); }

// Splits "path:var", "path.var" at the last ':' or '.' into target path and name.
bool splitPathVar(std::string_view name, std::string_view& path, std::string_view& var) {
    const auto cut = name.find_last_of(":.");
    if (cut == std::string_view::npos) return false;
    path = name.substr(0, cut);
    var = name.substr(cut + 1);
    return true;
}

// The clip behind a clip object while it is on stage. A timeline clip leaves the stage when
// its parent moves on, before its object learns it.
ClipHost* liveClip(Object* o) {
    if (!o || o->cls != ObjClass::MovieClip || !o->clip) return nullptr;
    if (const auto* sprite = dynamic_cast<const SpriteClip*>(o->clip); sprite && !sprite->object())
        return nullptr;
    return o->clip;
}

// Where GetProperty and SetProperty paths start: the current target, or the root once the
// target has left the stage while its actions still run.
ClipHost* pathBase(CallContext& c) {
    const auto* sprite = dynamic_cast<const SpriteClip*>(c.target);
    if (c.target && (!sprite || sprite->object())) return c.target;
    return c.vm.root_;
}

// The clip a GetProperty or SetProperty names: a clip, a path, or the target for "".
ClipHost* propertyTarget(CallContext& c, const Value& t) {
    if (t.isObject() && t.o->cls == ObjClass::MovieClip) return t.o->clip;
    if (const std::string s = c.vm.toString(t); !s.empty()) return c.vm.resolveTarget(s, pathBase(c));
    return c.target;
}

// A property's number; what reads as no number names none (-1).
int propertyNumber(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    return std::isnan(d) ? -1 : toInt32(d);
}

// A timeline removed while its actions run leaves its names behind: they are looked up on
// the root from then on.
Object* scopeEntry(CallContext& c, size_t i) {
    Object* o = c.scope[i];
    if (o->cls == ObjClass::MovieClip && !liveClip(o) && c.vm.root_)
        if (Object* r = c.vm.clipObject(c.vm.root_)) return r;
    return o;
}

Value lookupSpecial(CallContext& c, std::string_view name, bool& found) {
    found = true;
    Vm& vm = c.vm;
    const bool ci = vm.version() < 7;
    auto is = [&](std::string_view w) {
        if (name.size() != w.size()) return false;
        return ci ? asciiLower(name) == w : name == w;
    };
    // A parameter named `this` or `super` is the function's own variable, and wins.
    if ((is("this") || is("super")) && c.activation)
        if (Property* p = c.activation->findOwn(vm.key(name)); p && !p->isAccessor())
            return p->value;
    if (is("this")) {
        // A DefineFunction2 that preloads or suppresses `this` leaves the name to the timeline.
        if (!c.thisByName) return Value(targetObject(c));
        return c.thisObj ? Value(c.thisObj) : Value();
    }
    if (is("_global") || is("_root") || is("_level0") || is("_parent")) {
        // A variable of that name shadows the built-in one.
        for (size_t i = c.scope.size(); i-- > 0;)
            if (Property* p = c.scope[i]->findOwn(vm.key(name)); p && !p->isAccessor())
                return p->value;
    }
    if (is("_global") && vm.version() >= 6) return Value(vm.global);
    if (is("_parent")) {
        ClipHost* parent = c.target ? c.target->parent() : nullptr;
        return parent ? Value(vm.clipObject(parent)) : Value();
    }
    if (is("_root")) {
        // Frame actions of a timeline that left the stage reach no root.
        if (const auto* s = dynamic_cast<const SpriteClip*>(c.target);
            s && !s->object() && !c.inFunction)
            return {};
        return Value(vm.clipObject(rootOf(vm, c.target)));
    }
    // _levelN is a name like any other: from SWF 7 it matches only in lower case.
    if (const int level = levelNumber(vm, name); level >= 0) {
        if (ClipHost* l = levelRoot(vm, level)) return Value(vm.clipObject(l));
        found = level == 0;
        return {};
    }
    // Before SWF 6 `super` is a name like any other; a function called on nothing has none.
    if (is("super") && c.inFunction && vm.version() >= 6) {
        if (!c.superByName || !c.thisObj || c.plainCall) return {};
        return Value(vm.newSuper(c.thisObj, c.home));
    }
    found = false;
    return {};
}

// A plain name (no path) as the scope chain holds it.
Value lookupName(CallContext& c, std::string_view name) {
    bool special = false;
    Value s = lookupSpecial(c, name, special);
    if (special) return s;
    for (size_t i = c.scope.size(); i-- > 0;) {
        Object* o = scopeEntry(c, i);
        if (c.vm.hasProperty(o, name)) return c.vm.get(o, name);
    }
    return {};
}

// The object a variable's path names, from the current target; its leading name may also be a
// variable in scope. Null for an empty path or one that leads nowhere.
Object* pathOwner(CallContext& c, std::string_view path) {
    const std::function<Value(std::string_view)> first = [&c](std::string_view n) {
        return lookupName(c, n);
    };
    return c.vm.resolvePath(path, pathBase(c), first);
}

Value getVariable(CallContext& c, std::string_view name) {
    Vm& vm = c.vm;
    std::string_view path, var;
    if (splitPathVar(name, path, var)) {
        Object* o = var.empty() ? nullptr : pathOwner(c, path);
        return o ? vm.get(o, var) : Value();
    }
    if (name.find('/') != std::string_view::npos) {
        Object* o = pathOwner(c, name);
        return isTarget(o) ? Value(o) : Value();
    }
    return lookupName(c, name);
}

// The `with` object a plain name is found on, nearest first.
std::optional<Object*> withHolder(CallContext& c, std::string_view name) {
    const size_t n = std::min(c.withCount, c.scope.size());
    for (size_t k = 0; k < n; ++k) {
        Object* o = c.scope[c.scope.size() - 1 - k];
        if (c.vm.hasProperty(o, name)) return o;
    }
    return std::nullopt;
}

// Whether a name the scope chain resolves is found first on a function call's own variables.
bool foundAmongLocals(CallContext& c, std::string_view name) {
    for (size_t i = c.scope.size(); i-- > 0;)
        if (c.vm.hasProperty(c.scope[i], name)) return c.scope[i]->activation;
    return false;
}

void setVariable(CallContext& c, std::string_view name, Value v) {
    Vm& vm = c.vm;
    std::string_view path, var;
    if (splitPathVar(name, path, var)) {
        if (Object* o = var.empty() ? nullptr : pathOwner(c, path)) vm.set(o, var, std::move(v));
        return;
    }
    for (size_t i = c.scope.size(); i-- > 1;) {
        Object* o = scopeEntry(c, i);
        if (o->cls == ObjClass::MovieClip || vm.hasProperty(o, name)) {
            vm.set(o, name, std::move(v));
            return;
        }
    }
    vm.set(c.scope.empty() ? vm.global : c.scope[0], name, std::move(v));
}

// tellTarget: an empty path goes back to the timeline the actions started on. Once that
// timeline is gone no path leads anywhere; a path that names nothing leaves no target, and
// names are then looked up on the root.
void setTarget(CallContext& c, std::string_view path, bool nowhere = false) {
    Vm& vm = c.vm;
    const bool originalGone = c.originalObj && !liveClip(c.originalObj);
    ClipHost* clip = nullptr;
    if (!originalGone && !nowhere)
        clip = path.empty() ? c.original : vm.resolveTarget(path, c.original);
    c.target = clip;
    if (c.clipSlot >= 0) {
        Object* o = clip ? vm.clipObject(clip) : vm.clipObject(vm.root_);
        if (o) c.scope[c.clipSlot] = o;
    }
}

// Delete2: a variable in scope, or the member a path names.
// A function's var: unlike its arguments, delete cannot take it.
void defineLocal(Vm& vm, Object* activation, const std::string& name, Value v) {
    vm.set(activation, name, std::move(v));
    if (Property* p = activation->findOwn(vm.key(name))) p->flags |= DontDelete;
}

bool deleteVariable(CallContext& c, const std::string& name) {
    Vm& vm = c.vm;
    const auto cut = name.find_last_of(".:");
    if (cut != std::string::npos && cut > 0) {
        const Value owner = getVariable(c, std::string_view(name).substr(0, cut));
        if (owner.isString() || owner.isNumber() || owner.isBool())
            vm.host().trace(
                "Parameters of primitive types are no longer coerced into the required type - "
                "Object.");
        return owner.isObject() && vm.deleteProperty(owner.o, name.substr(cut + 1));
    }
    // The nearest scope that has it loses it, a function's own arguments too (not its vars).
    for (size_t i = c.scope.size(); i-- > 0;)
        if (c.scope[i]->findOwn(vm.key(name))) return vm.deleteProperty(c.scope[i], name);
    return false;
}

// A register past a function's own count is one of the four of the outermost script running,
// which has them even when it is a function with fewer of its own.
Value* reg(CallContext& c, uint8_t r) {
    if (r < c.regs.size()) return &c.regs[r];
    if (r >= 4 || c.vm.contexts.empty()) return nullptr;
    CallContext* outer = c.vm.contexts.front();
    if (outer->regs.size() < 4) outer->regs.resize(4);
    return &outer->regs[r];
}

Args popArgs(CallContext& c) {
    const double n = c.vm.toNumber(pop(c));
    Args args;
    if (!(n > 0)) return args;
    const size_t count = static_cast<size_t>(std::min<double>(n, c.stack.size()));
    args.reserve(count);
    for (size_t i = 0; i < count; ++i) args.push_back(pop(c));
    return args;
}

// Frame numbers and labels given as values (GotoFrame2, Call, WaitForFrame2).
std::optional<int> frameOf(CallContext& c, const Value& v, ClipHost*& clip) {
    clip = c.target;
    return frameArgument(c.vm, clip, v);
}

void gotoFrame(ClipHost* clip, int frame, bool play) { gotoClipFrame(clip, frame, play); }

// Frames past the movie's first 16001 count as never loaded, as do frames still to come;
// labels that name nothing and frames before the first count as there.
bool frameLoaded(const ClipHost* clip, std::optional<int> frame) {
    if (!frame || *frame < 0 || !clip) return true;
    if (*frame > 16000) return false;
    return clip->framesLoaded() >= clip->totalFrames() || *frame < clip->framesLoaded();
}

// Where the action after the one at pc starts (the end of code when it runs past it).
size_t actionAfter(std::span<const uint8_t> code, size_t pc) {
    if (pc >= code.size()) return code.size();
    if (code[pc] < 0x80) return pc + 1;
    if (pc + 3 > code.size()) return code.size();
    return std::min(code.size(), pc + 3 + (code[pc + 1] | (code[pc + 2] << 8)));
}

std::string stringOp(Vm& vm, const Value& v) { return vm.toString(v); }

Value definedFunction(CallContext& c, Payload& p, bool v2, size_t bodyStart, size_t& skip) {
    Vm& vm = c.vm;
    auto data = std::make_unique<FunctionData>();
    data->name = p.str();
    const uint16_t numParams = p.u16();
    data->isV2 = v2;
    if (v2) {
        data->numRegs = p.u8();
        data->flags = p.u16();
    }
    for (uint16_t i = 0; i < numParams && p.ok(); ++i) {
        FunctionData::Param prm;
        if (v2) prm.reg = p.u8();
        prm.name = p.str();
        data->params.push_back(std::move(prm));
    }
    const uint16_t codeSize = p.u16();
    if (!p.ok()) return {};
    if (bodyStart + codeSize > c.code.size()) {
        skip = c.code.size() - bodyStart;
        return {};
    }
    skip = codeSize;
    data->code = c.code.subspan(bodyStart, codeSize);
    data->scope = c.scope;
    data->pool = c.pool;
    data->target = targetObject(c);
    if (c.target) data->targetPath = vm.targetPath(c.target);
    // A movie loaded into another keeps its own version's rules for its functions.
    if (c.target)
        if (const ScriptRunner* r = runnerFor(vm, c.target))
            data->swfVersion = r->movie().info.version;
    Object* f = vm.newFunction(nullptr);
    f->fn = std::move(data);
    return Value(f);
}

Flow run(CallContext& c, size_t begin, size_t end);

// Runs [begin, end) as a nested block (with, try); Exit leaves it at a pc outside. Blocks
// count together across every running list, so nesting ends the list well before the stack.
Flow runBlock(CallContext& c, size_t begin, size_t end) {
    Vm& vm = c.vm;
    if (vm.blockDepth >= vm.limits().maxBlockDepth)
        throw ScriptAbort{std::to_string(vm.limits().maxBlockDepth) +
                          " levels of with and try blocks were exceeded in one action list."};
    ++vm.blockDepth;
    struct Undo {
        int& d;
        ~Undo() { --d; }
    } undo{vm.blockDepth};
    return run(c, begin, end);
}

Flow run(CallContext& c, size_t begin, size_t end) {
    Vm& vm = c.vm;
    const auto code = c.code;
    end = std::min(end, code.size());
    size_t pc = begin;
    // Function bodies are SWF 5 code even inside an older movie.
    const int ver = c.inFunction ? std::max(5, vm.version()) : vm.version();
    vm.checkStack();
    while (pc < end) {
        // Counted across every list and callback, so short callbacks from natives look at the
        // clock too.
        if ((++vm.ticks & 0x3ff) == 0) {
            vm.checkTime();
            if ((vm.ticks & 0xffff) == 0) vm.checkHeap("scripts");
        }
        const uint8_t op = code[pc];
        size_t next = pc + 1;
        std::span<const uint8_t> payload;
        if (op >= 0x80) {
            if (pc + 3 > code.size()) return {Flow::Exit, code.size()};
            const size_t len = code[pc + 1] | (code[pc + 2] << 8);
            if (pc + 3 + len > code.size()) return {Flow::Exit, code.size()};
            payload = code.subspan(pc + 3, len);
            next = pc + 3 + len;
        }
        Payload p(payload, vm.version() < 6);
        switch (op) {
            case 0x00:
                return {Flow::Exit, code.size()};
            // ---- timeline
            case 0x04:
                if (c.target) gotoFrame(c.target, c.target->currentFrame() + 1, false);
                break;
            case 0x05:
                if (c.target) gotoFrame(c.target, c.target->currentFrame() - 1, false);
                break;
            case 0x06:
                if (c.target) c.target->play();
                break;
            case 0x07:
                if (c.target) c.target->stop();
                break;
            case 0x08:  // ToggleQuality
                break;
            case 0x09:  // StopSounds
                stopAllSounds(vm);
                break;
            case 0x81: {
                const uint16_t f = p.u16();
                if (p.ok()) gotoFrame(c.target, f, false);
                break;
            }
            case 0x8C: {
                const std::string label = p.str();
                if (c.target)
                    if (auto f = c.target->labelFrame(label)) gotoFrame(c.target, *f, false);
                break;
            }
            case 0x9F: {
                const uint8_t flags = p.u8();
                const int bias = (flags & 2) ? p.u16() : 0;
                ClipHost* clip = nullptr;
                const Value v = pop(c);
                if (auto f = frameOf(c, v, clip)) gotoFrame(clip, *f + bias, flags & 1);
                break;
            }
            case 0x8A: {  // WaitForFrame: as WaitForFrame2 with the frame given inline
                const int frame = p.u16();
                const int skip = p.u8();
                if (!frameLoaded(c.target, frame))
                    for (int i = 0; i < skip && next < end; ++i) next = actionAfter(code, next);
                break;
            }
            case 0x8D: {  // WaitForFrame2: skips its block when the frame is not there yet
                const int skip = p.u8();
                ClipHost* clip = nullptr;
                const Value v = pop(c);
                if (!frameLoaded(clip, frameOf(c, v, clip)))
                    for (int i = 0; i < skip && next < end; ++i) next = actionAfter(code, next);
                break;
            }
            case 0x8B: {
                const std::string t = p.str();
                if (p.ok()) setTarget(c, t);
                break;
            }
            case 0x20: {
                // A clip is found again by its path: a namesake placed below it wins.
                const Value v = pop(c);
                const bool clip = v.isObject() && v.o->cls == ObjClass::MovieClip;
                if (clip && !v.o->clip)
                    setTarget(c, {}, true);
                else
                    setTarget(c, clip ? vm.targetPath(v.o->clip) : vm.toString(v));
                break;
            }
            case 0x83: {
                const std::string url = p.str();
                const std::string target = p.str();
                openUrl(vm, url, target);
                break;
            }
            case 0x9A: {
                const uint8_t flags = p.u8();
                const std::string target = vm.toString(pop(c));
                const std::string url = vm.toString(pop(c));
                if (requestUrl(vm, c.target, url, target, flags)) break;
                openUrl(vm, url, target);
                break;
            }
            case 0x9E: {  // Call: run another frame's actions here
                ClipHost* clip = nullptr;
                const Value v = pop(c);
                if (auto f = frameOf(c, v, clip)) {
                    if (clip && *f >= 0 && *f < clip->totalFrames()) {
                        // A frame that calls itself recurses like a function, and ends alike.
                        // Its lists run on a stack of their own, whose leftovers are the caller's.
                        const CallLevel level(vm);
                        FrameCarry carry;
                        for (auto body : clip->frameActions(*f))
                            runFrameCode(vm, body, clip, &carry);
                        for (Value& v : carry.stack) push(c, std::move(v));
                    }
                }
                break;
            }
            case 0x22: {
                const int idx = propertyNumber(vm, pop(c));
                ClipHost* clip = propertyTarget(c, pop(c));
                push(c, clip ? clipGetIndex(vm, clip, idx) : Value());
                break;
            }
            case 0x23: {
                const Value v = pop(c);
                const int idx = propertyNumber(vm, pop(c));
                clipSetIndex(vm, propertyTarget(c, pop(c)), idx, v);
                break;
            }
            case 0x24: {  // CloneSprite: depth, target, source
                const double depth = vm.toNumber(pop(c));
                const std::string name = vm.toString(pop(c));
                const Value source = pop(c);
                ClipHost* clip = source.isObject() && source.o->cls == ObjClass::MovieClip
                                     ? source.o->clip
                                     : vm.resolveTarget(vm.toString(source), c.target);
                cloneClip(vm, clip, name, depth);
                break;
            }
            case 0x25: {
                const Value target = pop(c);
                ClipHost* clip = target.isObject() && target.o->cls == ObjClass::MovieClip
                                     ? target.o->clip
                                     : vm.resolveTarget(vm.toString(target), c.target);
                removeScriptedClip(vm, clip);
                break;
            }
            case 0x27: {  // StartDrag: target, lock to centre, constrain, then the bounds
                vm.toString(pop(c));
                vm.toNumber(pop(c));
                // Only a constrain flag that reads as exactly 1 takes the four bounds.
                if (vm.toNumber(pop(c)) == 1)
                    for (int i = 0; i < 4; ++i) vm.toNumber(pop(c));
                break;
            }
            case 0x28:
                break;
            // ---- stack and values
            case 0x96: {
                while (!p.atEnd() && p.ok()) {
                    const uint8_t type = p.u8();
                    switch (type) {
                        case 0:
                            push(c, Value(p.str()));
                            break;
                        case 1: {
                            const uint32_t bits = p.u32();
                            float f;
                            std::memcpy(&f, &bits, 4);
                            push(c, Value(static_cast<double>(f)));
                            break;
                        }
                        case 2:
                            push(c, Value::null());
                            break;
                        case 3:
                            push(c, Value());
                            break;
                        case 4: {
                            const Value* r = reg(c, p.u8());
                            push(c, r ? *r : Value());
                            break;
                        }
                        case 5:
                            push(c, Value(p.u8() != 0));
                            break;
                        case 6: {
                            const uint64_t hi = p.u32();
                            const uint64_t lo = p.u32();
                            const uint64_t bits = (hi << 32) | lo;
                            double d;
                            std::memcpy(&d, &bits, 8);
                            push(c, Value(d));
                            break;
                        }
                        case 7:
                            push(c, Value(static_cast<double>(static_cast<int32_t>(p.u32()))));
                            break;
                        case 8:
                        case 9: {
                            const uint16_t i = type == 8 ? p.u8() : p.u16();
                            if (c.pool && i < c.pool->size())
                                push(c, Value((*c.pool)[i]));
                            else
                                push(c, Value());
                            break;
                        }
                        default:
                            return {Flow::Exit, code.size()};
                    }
                }
                if (!p.ok()) return {Flow::Exit, code.size()};
                break;
            }
            case 0x17:
                pop(c);
                break;
            case 0x4C: {
                Value v = c.stack.empty() ? Value() : c.stack.back();
                push(c, std::move(v));
                break;
            }
            case 0x4D: {
                Value a = pop(c), b = pop(c);
                push(c, std::move(a));
                push(c, std::move(b));
                break;
            }
            case 0x88: {
                auto pool = std::make_shared<std::vector<std::string>>();
                const uint16_t n = p.u16();
                for (uint16_t i = 0; i < n && p.ok(); ++i) pool->push_back(p.str());
                c.pool = std::move(pool);
                break;
            }
            case 0x87: {
                Value* r = reg(c, p.u8());
                if (p.ok() && r) *r = c.stack.empty() ? Value() : c.stack.back();
                break;
            }
            // ---- arithmetic
            case 0x0A:
            case 0x0B:
            case 0x0C:
            case 0x0D: {
                // Add and Multiply convert the left operand first, Subtract and Divide the right.
                const Value ra = pop(c), rb = pop(c);
                const bool rightFirst = op == 0x0B || op == 0x0D;
                const double a = rightFirst ? vm.toNumber(ra) : 0;
                const double b = vm.toNumber(rb);
                const double aa = rightFirst ? a : vm.toNumber(ra);
                double r = 0;
                if (op == 0x0A)
                    r = b + aa;
                else if (op == 0x0B)
                    r = b - aa;
                else if (op == 0x0C)
                    r = b * aa;
                else {
                    if (aa == 0 && ver < 5) {
                        push(c, Value("#ERROR#"));
                        break;
                    }
                    r = b / aa;
                }
                push(c, Value(r));
                break;
            }
            case 0x3F: {
                const Value ra = pop(c);
                const double b = vm.toNumber(pop(c));
                const double a = vm.toNumber(ra);
                push(c, Value(std::fmod(b, a)));
                break;
            }
            case 0x47: {
                // valueOf() is asked of the right operand first; the conversions that follow
                // go left to right.
                const Value a = addOperand(vm, pop(c));
                const Value b = addOperand(vm, pop(c));
                if (a.isString() || b.isString()) {
                    std::string s = vm.toString(b);
                    s += vm.toString(a);
                    vm.checkString(s.size());
                    push(c, Value(std::move(s)));
                } else {
                    const double x = vm.toNumber(b);
                    push(c, Value(x + vm.toNumber(a)));
                }
                break;
            }
            case 0x50:
                push(c, Value(vm.toNumber(pop(c)) + 1));
                break;
            case 0x51:
                push(c, Value(vm.toNumber(pop(c)) - 1));
                break;
            case 0x0E: {
                const double a = vm.toNumber(pop(c));  // the right operand is converted first
                const double b = vm.toNumber(pop(c));
                push(c, ver < 5 ? Value(b == a ? 1.0 : 0.0) : Value(b == a));
                break;
            }
            case 0x0F: {
                const Value ra = pop(c);
                const double b = vm.toNumber(pop(c));
                const double a = vm.toNumber(ra);
                push(c, ver < 5 ? Value(b < a ? 1.0 : 0.0) : Value(b < a));
                break;
            }
            case 0x10:
            case 0x11: {
                const bool a = vm.toBoolean(pop(c));
                const bool b = vm.toBoolean(pop(c));
                const bool r = op == 0x10 ? (a && b) : (a || b);
                push(c, ver < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
                break;
            }
            case 0x12: {
                const bool r = !vm.toBoolean(pop(c));
                push(c, ver < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
                break;
            }
            case 0x18: {
                // int(): the number wrapped to 32 bits, as the bit operators take it.
                push(c, Value(static_cast<double>(toInt32(vm.toNumber(pop(c))))));
                break;
            }
            case 0x49: {
                const Value a = pop(c), b = pop(c);
                const bool r = vm.looseEquals(b, a);
                push(c, ver < 5 ? Value(r ? 1.0 : 0.0) : Value(r));
                break;
            }
            case 0x66: {
                const Value a = pop(c), b = pop(c);
                push(c, Value(vm.strictEquals(b, a)));
                break;
            }
            case 0x48: {
                const Value a = pop(c), b = pop(c);
                push(c, vm.lessThan(b, a));
                break;
            }
            case 0x67: {
                const Value a = pop(c), b = pop(c);
                push(c, vm.lessThan(a, b));
                break;
            }
            case 0x60:
            case 0x61:
            case 0x62:
            case 0x63:
            case 0x64:
            case 0x65: {
                const double da = vm.toNumber(pop(c));
                const double db = vm.toNumber(pop(c));
                const int32_t a = toInt32(da), b = toInt32(db);
                double r = 0;
                switch (op) {
                    case 0x60:
                        r = b & a;
                        break;
                    case 0x61:
                        r = b | a;
                        break;
                    case 0x62:
                        r = b ^ a;
                        break;
                    case 0x63:
                        r = static_cast<int32_t>(static_cast<uint32_t>(b) << (a & 31));
                        break;
                    case 0x64:
                        r = b >> (a & 31);
                        break;
                    default:
                        r = static_cast<uint32_t>(b) >> (a & 31);
                        break;
                }
                push(c, Value(r));
                break;
            }
            // ---- strings
            case 0x13: {
                const std::string a = stringOp(vm, pop(c)), b = stringOp(vm, pop(c));
                push(c, ver < 5 ? Value(a == b ? 1.0 : 0.0) : Value(a == b));
                break;
            }
            case 0x29: {
                const std::string a = stringOp(vm, pop(c)), b = stringOp(vm, pop(c));
                push(c, ver < 5 ? Value(b < a ? 1.0 : 0.0) : Value(b < a));
                break;
            }
            case 0x68: {
                const std::string a = stringOp(vm, pop(c)), b = stringOp(vm, pop(c));
                push(c, Value(b > a));
                break;
            }
            case 0x14:
            case 0x31: {
                const std::string s = stringOp(vm, pop(c));
                push(c, Value(op == 0x31 ? utf8Length(s) : (ver >= 6 ? utf8Length(s) : s.size())));
                break;
            }
            case 0x21: {
                const std::string a = stringOp(vm, pop(c));
                std::string b = stringOp(vm, pop(c));
                vm.checkString(a.size() + b.size());
                push(c, Value(b + a));
                break;
            }
            case 0x15:
            case 0x35: {
                // Indexes wrap as 32-bit integers and count UTF-16 units.
                int64_t n = toInt32(vm.toNumber(pop(c)));
                int64_t from = static_cast<int64_t>(toInt32(vm.toNumber(pop(c)))) - 1;
                const std::u16string s = utf16Decode(stringOp(vm, pop(c)));
                const int64_t len = static_cast<int64_t>(s.size());
                from = std::clamp<int64_t>(from, 0, len);
                if (n < 0 || from + n > len) n = len - from;
                push(c, Value(utf16Encode(std::u16string_view(s).substr(from, n))));
                break;
            }
            case 0x32:
            case 0x36: {
                // A character beyond the BMP reads as its first surrogate, which is no character.
                const std::u16string s = utf16Decode(stringOp(vm, pop(c)));
                const char16_t first = s.empty() ? 0 : s[0];
                push(c, Value(first >= 0xd800 && first < 0xe000 ? 0xfffd : first));
                break;
            }
            case 0x33:
            case 0x37: {
                const double code = vm.toNumber(pop(c));
                std::u16string out;
                if (op == 0x37) {
                    appendCharCode(out, toUint32(code), vm.version());
                } else if (const char16_t unit = charFromCode(code, vm.version())) {
                    out.push_back(unit);
                }
                push(c, Value(utf16Encode(out)));
                break;
            }
            case 0x4A:
                push(c, Value(vm.toNumber(pop(c))));
                break;
            case 0x4B:
                push(c, Value(vm.toString(pop(c))));
                break;
            case 0x44:
                push(c, Value(vm.typeOf(pop(c))));
                break;
            case 0x45: {
                const Value v = pop(c);
                // Buttons and text fields have paths as clips do.
                if (v.isObject() &&
                    (v.o->cls == ObjClass::MovieClip || v.o->cls == ObjClass::TextField) &&
                    v.o->clip)
                    push(c, Value(vm.targetPath(v.o->clip)));
                else
                    push(c, Value());
                break;
            }
            // ---- variables
            case 0x1C: {
                const std::string name = vm.toString(pop(c));
                Value v = getVariable(c, name);
                // SWF 4 knows no clips as values: a name that leads to one reads as nothing.
                if (v.isObject() && v.o->cls == ObjClass::MovieClip && vm.activeVersion() < 5) v = {};
                push(c, std::move(v));
                break;
            }
            case 0x1D: {
                Value v = pop(c);
                const std::string name = vm.toString(pop(c));
                setVariable(c, name, std::move(v));
                break;
            }
            case 0x3C: {
                Value v = pop(c);
                const std::string name = vm.toString(pop(c));
                // Outside a function there is nothing local: the variable is set as any is,
                // on the nearest with-object that has it.
                if (!c.activation) {
                    setVariable(c, name, std::move(v));
                    break;
                }
                defineLocal(vm, c.activation, name, std::move(v));
                break;
            }
            case 0x41: {
                const std::string name = vm.toString(pop(c));
                if (c.activation) {
                    if (!vm.hasProperty(c.activation, name))
                        defineLocal(vm, c.activation, name, {});
                } else if (Object* where = targetObject(c); where && !vm.hasProperty(where, name)) {
                    vm.set(where, name, Value());
                }
                break;
            }
            case 0x3A: {
                const std::string name = vm.toString(pop(c));
                // Without an object below the name, it names a variable as for Delete2 (before
                // SWF 7).
                if (c.stack.empty() && vm.version() < 7) {
                    push(c, Value(deleteVariable(c, name)));
                    break;
                }
                const Value obj = pop(c);
                push(c, Value(obj.isObject() && vm.deleteProperty(obj.o, name)));
                break;
            }
            case 0x3B: {
                const std::string name = vm.toString(pop(c));
                push(c, Value(deleteVariable(c, name)));
                break;
            }
            case 0x4E: {
                const Value name = pop(c);
                const Value obj = pop(c);
                push(c, vm.get(obj, vm.toString(name)));
                break;
            }
            case 0x4F: {
                Value v = pop(c);
                const Value name = pop(c);
                const Value obj = pop(c);
                if (obj.isObject()) vm.set(obj.o, vm.toString(name), std::move(v));
                break;
            }
            case 0x46:
            case 0x55: {
                Value v = pop(c);
                if (op == 0x46) v = getVariable(c, vm.toString(v));
                push(c, Value());
                // The loop pops names off the top: push them last first.
                if (v.isObject()) {
                    const auto names = vm.enumerate(v.o);
                    for (auto it = names.rbegin(); it != names.rend(); ++it) push(c, Value(*it));
                }
                break;
            }
            // ---- objects
            case 0x42: {
                const double n = vm.toNumber(pop(c));
                std::vector<Value> elems;
                // A count past the stack gives undefined for the values it lacks.
                const size_t count = n > 0 ? static_cast<size_t>(std::min<double>(
                                                 n, double(vm.limits().maxArrayLength) + 1))
                                           : 0;
                vm.checkArray(count, 0);
                for (size_t i = 0; i < count; ++i) elems.push_back(pop(c));
                push(c, Value(vm.newScriptArray(std::move(elems))));
                break;
            }
            case 0x43: {
                const double n = vm.toNumber(pop(c));
                Object* o = vm.newInstance(vm.objectProto, vm.objectCtor);
                // A count past the stack takes what is there: a last value may lack its name.
                const size_t count =
                    n > 0 ? static_cast<size_t>(std::min<double>(n, (c.stack.size() + 1) / 2)) : 0;
                std::vector<std::pair<std::string, Value>> pairs;
                for (size_t i = 0; i < count; ++i) {
                    Value v = pop(c);
                    std::string name = vm.toString(pop(c));
                    pairs.emplace_back(std::move(name), std::move(v));
                }
                // Members are defined as they come off the stack, last written first,
                // so enumeration (newest first) lists them in the order written.
                for (auto& [name, v] : pairs) vm.set(o, name, std::move(v));
                push(c, Value(o));
                break;
            }
            case 0x40: {
                const std::string name = vm.toString(pop(c));
                Args args = popArgs(c);
                Value ctor = getVariable(c, name);
                push(c, vm.construct(ctor, std::move(args)));
                break;
            }
            case 0x53: {
                const Value name = pop(c);
                const Value obj = pop(c);
                Args args = popArgs(c);
                Value ctor;
                if (name.isUndefined() || (name.isString() && name.s.empty()))
                    ctor = obj;
                else
                    ctor = vm.get(obj, vm.toString(name));
                push(c, vm.construct(ctor, std::move(args)));
                break;
            }
            case 0x3D: {
                const std::string name = vm.toString(pop(c));
                Args args = popArgs(c);
                Value fn = getVariable(c, name);
                if (fn.isObject() && fn.o->cls == ObjClass::Super) {
                    push(c, vm.callSuper(fn.o, {}, std::move(args)));
                    break;
                }
                // A plain call runs with the current timeline as `this`, one found on the
                // object of a `with` with that object, one among a function's locals with
                // _global.
                const std::optional<Object*> holder = withHolder(c, name);
                if (!holder && fn.isObject() && fn.o->fn && !fn.o->fn->native) {
                    Object* self = foundAmongLocals(c, name) ? vm.global : targetObject(c);
                    push(c, vm.runFunction(fn.o, self, args, nullptr, true));
                    break;
                }
                push(c, vm.call(fn, holder.value_or(targetObject(c)), std::move(args)));
                break;
            }
            case 0x52: {
                const Value name = pop(c);
                const Value objV = pop(c);
                Args args = popArgs(c);
                const bool noName = name.isUndefined() || (name.isString() && name.s.empty());
                if (objV.isObject() && objV.o->cls == ObjClass::Super) {
                    push(c, vm.callSuper(objV.o, noName ? std::string() : vm.toString(name),
                                         std::move(args)));
                    break;
                }
                if (noName) {
                    push(c, vm.call(objV, nullptr, std::move(args)));
                    break;
                }
                Object* recv = objV.isObject() ? objV.o : vm.boxed(objV);
                if (!recv) {
                    push(c, Value());
                    break;
                }
                push(c, vm.call(vm.get(recv, vm.toString(name)), recv, std::move(args)));
                break;
            }
            case 0x54: {
                const Value ctor = pop(c);
                const Value obj = pop(c);
                push(c, Value(ctor.isObject() && vm.instanceOf(obj, ctor.o)));
                break;
            }
            case 0x2B: {
                const Value obj = pop(c);
                const Value ctor = pop(c);
                push(c, ctor.isObject() && vm.instanceOf(obj, ctor.o) ? obj : Value::null());
                break;
            }
            case 0x2C: {
                const Value ctor = pop(c);
                const double n = vm.toNumber(pop(c));
                Args ifaces;
                const size_t count =
                    n > 0 ? static_cast<size_t>(std::min<double>(n, c.stack.size())) : 0;
                for (size_t i = 0; i < count; ++i) ifaces.push_back(pop(c));
                if (ctor.isObject()) vm.implement(ctor.o, ifaces);
                break;
            }
            case 0x69: {
                const Value super = pop(c);
                const Value sub = pop(c);
                if (sub.isObject() && super.isObject()) {
                    Value sp = vm.get(super.o, "prototype");
                    // The new prototype names the superclass behind it and no constructor
                    // of its own: `constructor` is found on the superclass's prototype.
                    Object* proto = vm.newObject(sp.isObject() ? sp.o : nullptr);
                    vm.defineValue(proto, "__constructor__", super, DontEnum | From6);
                    vm.set(sub.o, "prototype", Value(proto));
                }
                break;
            }
            // ---- control flow
            case 0x99:
            case 0x9D: {
                const int16_t off = static_cast<int16_t>(p.u16());
                if (!p.ok()) return {Flow::Exit, code.size()};
                bool take = true;
                if (op == 0x9D) take = vm.toBoolean(pop(c));
                if (take) {
                    const int64_t target = static_cast<int64_t>(next) + off;
                    if (target < 0 || target > static_cast<int64_t>(code.size())) {
                        c.jumpedOut = target;
                        return {Flow::Exit, code.size()};
                    }
                    if (static_cast<size_t>(target) < begin || static_cast<size_t>(target) > end)
                        return {Flow::Exit, static_cast<size_t>(target)};
                    pc = static_cast<size_t>(target);
                    continue;
                }
                break;
            }
            case 0x3E:
                return {Flow::Return, pc, pop(c)};
            case 0x9B:
            case 0x8E: {
                size_t skip = 0;
                Value f = definedFunction(c, p, op == 0x8E, next, skip);
                if (!p.ok()) return {Flow::Exit, code.size()};
                if (f.isObject()) {
                    const std::string& name = f.o->fn->name;
                    if (name.empty())
                        push(c, f);
                    else if (c.activation)
                        vm.set(c.activation, name, f);
                    else
                        setVariable(c, name, f);
                }
                next += skip;
                break;
            }
            case 0x94: {
                const uint16_t size = p.u16();
                const Value v = pop(c);
                if (!p.ok()) return {Flow::Exit, code.size()};
                const size_t bodyEnd = std::min(next + size, code.size());
                // A number, string or boolean stands in as its wrapper object.
                Object* obj = v.isObject()                    ? v.o
                              : v.isUndefined() || v.isNull() ? nullptr
                                                              : vm.boxed(v);
                if (obj) {
                    c.scope.push_back(obj);
                    ++c.withCount;
                    Flow f;
                    try {
                        f = runBlock(c, next, bodyEnd);
                    } catch (...) {
                        c.scope.pop_back();
                        --c.withCount;
                        throw;
                    }
                    c.scope.pop_back();
                    --c.withCount;
                    if (f.kind == Flow::Return) return f;
                    if (f.kind == Flow::Exit && (f.pc < begin || f.pc > end)) return f;
                    if (f.kind == Flow::Exit) {
                        pc = f.pc;
                        continue;
                    }
                }
                next = bodyEnd;
                break;
            }
            case 0x8F: {
                const uint8_t flags = p.u8();
                const uint16_t trySize = p.u16(), catchSize = p.u16(), finallySize = p.u16();
                std::string catchName;
                uint8_t catchReg = 0;
                if (flags & 4)
                    catchReg = p.u8();
                else
                    catchName = p.str();
                if (!p.ok()) return {Flow::Exit, code.size()};
                const size_t tryStart = next,
                             catchStart = std::min(tryStart + trySize, code.size());
                // Without a catch block the finally block starts where the try block ends.
                const size_t finStart =
                    std::min(catchStart + ((flags & 1) ? catchSize : 0), code.size());
                const size_t finEnd = std::min(finStart + finallySize, code.size());
                Flow result{Flow::Normal, finEnd};
                std::optional<ScriptThrow> pending;
                const size_t depth = c.stack.size();
                try {
                    result = runBlock(c, tryStart, catchStart);
                } catch (ScriptThrow& t) {
                    c.stack.resize(std::min(depth, c.stack.size()));
                    if (flags & 1) {
                        if (flags & 4) {
                            if (catchReg < c.regs.size()) c.regs[catchReg] = t.value;
                        } else {
                            setVariable(c, catchName, t.value);
                        }
                        try {
                            result = runBlock(c, catchStart, finStart);
                        } catch (ScriptThrow& t2) {
                            if (!(flags & 2)) throw;
                            pending = t2;
                        }
                    } else if (flags & 2) {
                        pending = t;
                    } else {
                        throw;
                    }
                }
                // A jump out of the try or catch block leaves it there: the finally block
                // runs only when they end, throw or return.
                const bool jumpedOut = result.kind == Flow::Exit && result.pc != catchStart &&
                                       result.pc != finStart && result.pc != finEnd;
                if ((flags & 2) && !(jumpedOut && !pending)) {
                    Flow fin = runBlock(c, finStart, finEnd);
                    if (fin.kind == Flow::Return) return fin;
                    if (fin.kind == Flow::Exit && fin.pc != finEnd) result = fin;
                }
                if (pending) throw *pending;
                if (result.kind == Flow::Return) return result;
                if (result.kind == Flow::Exit && result.pc != catchStart && result.pc != finStart &&
                    result.pc != finEnd) {
                    if (result.pc < begin || result.pc > end) return result;
                    pc = result.pc;
                    continue;
                }
                next = finEnd;
                break;
            }
            case 0x2A:
                throw ScriptThrow{pop(c)};
            // ---- misc
            case 0x26: {
                const Value v = pop(c);
                std::string line;
                try {
                    line = v.isUndefined() ? std::string("undefined") : vm.toString(v);
                } catch (const ScriptThrow&) {
                    // A toString that throws: the player prints the bare object, then throws.
                    vm.host().trace("[type Object]");
                    throw;
                }
                // Movies from SWF 9 on see a carriage return end the line as a newline does;
                // older ones have it printed as it is.
                if (vm.version() >= 9)
                    for (char& ch : line)
                        if (ch == '\r') ch = '\n';
                vm.host().trace(line);
                break;
            }
            case 0x30: {
                static std::mt19937 rng(12345);
                const double max = vm.toNumber(pop(c));
                const int64_t m = max >= 1 ? static_cast<int64_t>(max) : 0;
                push(c, Value(m > 0 ? static_cast<double>(rng() % m) : 0.0));
                break;
            }
            case 0x34:
                push(c, Value(std::floor(vm.host().timeMs())));
                break;
            default:
                break;  // unknown actions are skipped by their length
        }
        if (!p.ok()) return {Flow::Exit, code.size()};
        pc = next;
    }
    return {Flow::Normal, pc};
}

}  // namespace

std::optional<int64_t> runFrameCode(Vm& vm, std::span<const uint8_t> code, ClipHost* clip,
                                    FrameCarry* carry) {
    CallContext c(vm);
    c.code = code;
    if (carry) {
        c.stack = std::move(carry->stack);
        c.pool = carry->pool;
    }
    c.regs.resize(4);
    c.target = c.original = clip;
    Object* clipObj = vm.clipObject(clip);
    c.originalObj = clipObj;
    c.scope.push_back(vm.global);
    if (clipObj) {
        c.clipSlot = 1;
        c.scope.push_back(clipObj);
    }
    c.thisObj = clipObj;
    try {
        run(c, 0, code.size());
    } catch (const ScriptThrow& t) {
        Value v = t.value;
        vm.host().trace("Warning: Uncaught exception, " + vm.toString(v));
    }
    if (carry) {
        carry->stack = std::move(c.stack);
        carry->pool = c.pool;
    }
    return c.jumpedOut;
}

int Vm::activeVersion() {
    if (contexts.empty()) return version_;
    const CallContext& c = *contexts.back();
    if (c.fnObj && c.fnObj->fn && c.fnObj->fn->swfVersion > 0) return c.fnObj->fn->swfVersion;
    if (c.target)
        if (const ScriptRunner* r = runnerFor(*this, c.target)) return r->movie().info.version;
    return version_;
}

Value Vm::runFunction(Object* fnObj, Object* thisObj, Args& args, Object* home, bool plain) {
    FunctionData& fd = *fnObj->fn;
    const CallLevel level(*this);

    // arguments.caller: the function whose code made this call (null from a frame's actions).
    Object* callerFn = contexts.empty() ? nullptr : contexts.back()->fnObj;
    CallContext* caller = contexts.empty() ? nullptr : contexts.back();
    CallContext c(*this);
    c.code = fd.code;
    c.pool = fd.pool;
    c.inFunction = true;
    c.fnObj = fnObj;
    c.thisObj = thisObj;
    c.home = home ? home : (thisObj ? thisObj->proto : nullptr);
    c.plainCall = plain;
    ClipHost* clip = nullptr;
    auto thisClip = [&]() -> ClipHost* {
        return thisObj && thisObj->cls == ObjClass::MovieClip ? thisObj->clip : nullptr;
    };
    if ((fd.swfVersion > 0 ? fd.swfVersion : version_) < 6) {
        // SWF 5 functions close over nothing: they run on the clip they are called on, or
        // else on the caller's timeline.
        clip = thisClip();
        if (!clip && contexts.size() > 0) clip = contexts.back()->target;
        if (!clip) clip = root_;
        c.scope = {global};
        if (Object* o = clipObject(clip)) c.scope.push_back(o);
    } else {
        // A function remembers its timeline by path: once that clip is gone, a clip placed
        // under the same path takes its place, else the clip it is called on, else the root.
        if (fd.target && fd.target->cls == ObjClass::MovieClip) {
            clip = liveClip(fd.target);
            if (!clip && !fd.targetPath.empty()) clip = resolveTarget(fd.targetPath, root_);
        }
        if (!clip) clip = thisClip();
        if (!clip) clip = root_;
        c.scope = fd.scope;
        if (fd.target && fd.target->cls == ObjClass::MovieClip && !liveClip(fd.target))
            if (Object* o = clipObject(clip))
                for (Object*& s : c.scope)
                    if (s == fd.target) s = o;
    }
    c.target = c.original = clip;
    c.originalObj = clipObject(clip);
    Object* act = newObject(nullptr);
    act->activation = true;
    c.activation = act;
    c.scope.push_back(act);
    // A function with no registers of its own reaches the outer four.
    c.regs.resize(fd.isV2 ? fd.numRegs : 4);

    Object* argsObj = nullptr;
    auto makeArguments = [&]() {
        if (!argsObj) {
            argsObj = newArray(args);
            defineValue(argsObj, "callee", fnObj, DontEnum | DontDelete);
            defineValue(argsObj, "caller", callerFn ? Value(callerFn) : Value::null(),
                        DontEnum | DontDelete);
        }
        return argsObj;
    };
    auto makeSuper = [&]() {
        return thisObj && !plain ? Value(newSuper(thisObj, c.home)) : Value();
    };
    if (fd.isV2) {
        const uint16_t f = fd.flags;
        size_t r = 1;
        auto put = [&](Value v) {
            if (r < c.regs.size()) c.regs[r] = std::move(v);
            ++r;
        };
        // A suppressed `this` or `super` keeps its register but leaves it empty.
        c.thisByName = !(f & 0x03);
        c.superByName = !(f & 0x30);
        if (f & 0x01) put(thisObj && !(f & 0x02) ? Value(thisObj) : Value());
        if (f & 0x04) put(Value(makeArguments()));
        if (f & 0x10) put(!(f & 0x20) ? makeSuper() : Value());
        if (f & 0x40) put(Value(clipObject(rootOf(*this, clip))));
        // A timeline without a parent takes no register for it.
        if (ClipHost* parent = clip ? clip->parent() : nullptr; parent && (f & 0x80))
            put(Value(clipObject(parent)));
        if (f & 0x100) put(Value(global));
        if (!(f & 0x08) && !(f & 0x04)) defineValue(act, "arguments", makeArguments(), DontEnum);
        for (size_t i = 0; i < fd.params.size(); ++i) {
            const auto& prm = fd.params[i];
            Value v = i < args.size() ? args[i] : Value();
            if (prm.reg && prm.reg < c.regs.size())
                c.regs[prm.reg] = std::move(v);
            else if (!prm.reg)
                set(act, prm.name, std::move(v));
        }
    } else {
        defineValue(act, "arguments", makeArguments(), DontEnum);
        for (size_t i = 0; i < fd.params.size(); ++i)
            set(act, fd.params[i].name, i < args.size() ? args[i] : Value());
    }
    Flow f = run(c, 0, c.code.size());
    if (f.kind == Flow::Return) return f.ret;
    // A body that runs off its end leaves what it pushed on its caller's stack.
    if (caller)
        for (Value& v : c.stack) push(*caller, std::move(v));
    return {};
}

}  // namespace swf::avm1
