#pragma once
// AVM1 objects. Every object lives in the VM's heap; the heap owns them all and frees them
// together (or in a collection between frames), so reference cycles cost nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/avm1/value.h"

namespace swf::avm1 {

class Vm;
class Object;
class ClipHost;

enum PropFlags : uint16_t {
    DontEnum = 1,
    DontDelete = 2,
    ReadOnly = 4,
    // Version bits: the property is out of sight of movies below SWF 6, of SWF 6 alone, or
    // below 7, 8, 9 or 10.
    From6 = 0x80,
    Not6 = 0x100,
    From7 = 0x400,
    From8 = 0x1000,
    From9 = 0x2000,
    From10 = 0x4000,
};
inline constexpr uint16_t kVersionFlags = From6 | Not6 | From7 | From8 | From9 | From10;
inline constexpr uint16_t kKnownFlags = DontEnum | DontDelete | ReadOnly | kVersionFlags;
// Whether the version bits in flags hide a property from a movie of this version.
bool hiddenByVersion(uint16_t flags, int version);

// The own property that links an object to its prototype; the same key in every version.
inline constexpr std::string_view kProtoKey = "__proto__";

struct Property {
    std::string name;  // as first written
    std::string key;   // lookup key (lower-cased before SWF 7)
    Value value;
    Object* getter = nullptr;  // addProperty accessors
    Object* setter = nullptr;
    uint16_t flags = 0;  // PropFlags
    // Out of the scripts' sight: a name and value get() and set() pass over.
    bool hidden = false;
    // Hidden by its version bits rather than kept by the player: for..in and hasOwnProperty
    // still see it, and ASSetPropFlags can bring it back.
    bool listedWhenHidden = false;
    // The player's own slot, which no script reaches in any way.
    bool internal() const { return hidden && !listedWhenHidden; }
    // Sets every flag, version bits included, as a movie of this version sees them.
    void setFlags(uint16_t f, int version);
    // While the innermost watcher of this accessor runs, or before SWF 7 its own getter or
    // setter, reads and writes reach the value beneath it.
    uint8_t watchLock = 0;
    bool isAccessor() const { return getter != nullptr && !watchLock; }
    uint32_t made = 0;  // when it was made, in its object's count (for..in goes newest first)
};

enum class ObjClass : uint8_t {
    Object,
    Function,
    Array,
    String,
    Number,
    Boolean,
    Date,
    MovieClip,
    Error,
    Arguments,
    Super,
    TextField,  // a text field's object: clip properties by name, its path as its text
};

// What a built-in class keeps behind its objects out of the scripts' reach (a BitmapData's
// pixels); freed with the object.
struct NativeData {
    virtual ~NativeData() = default;
};

using Args = std::vector<Value>;
// thisObj may be null (a function called without a receiver).
using NativeFn = std::function<Value(Vm&, Object* thisObj, Args& args)>;

struct FunctionData {
    NativeFn native;
    NativeFn construct;  // optional: used by `new` instead of native
    // `new` gives construct's undefined result as it is (a refused BitmapData size).
    bool newMayFail = false;
    // Script functions: the body inside the movie's bytes and what it closed over.
    std::span<const uint8_t> code;
    struct Param {
        uint8_t reg = 0;
        std::string name;
    };
    std::vector<Param> params;
    bool isV2 = false;
    uint8_t numRegs = 0;
    uint16_t flags = 0;  // DefineFunction2 preload/suppress flags
    std::vector<Object*> scope;
    std::shared_ptr<const std::vector<std::string>> pool;
    Object* target = nullptr;  // the timeline the function was defined on
    std::string targetPath;    // its path then, to find a clip that took its place
    std::string name;
    int swfVersion = 0;  // of the movie whose code made it (0: the player's own)
};

struct Watch {
    Object* callback = nullptr;
    Value data;
    int running = 0;  // its calls under way, one inside another
};

class Object {
public:
    ObjClass cls = ObjClass::Object;
    // The next link of the chain: the own __proto__ property's value while that is an object
    // (kept by setOwn, removeOwn and setProto), else null.
    Object* proto = nullptr;
    Value primitive;           // String/Number/Boolean/Date wrappers
    std::vector<Value> elems;  // Array storage
    // When each element was set, in the count its properties share (kNoElement at an index
    // that has none: deleted, or never written below the length). Out of step with elems
    // once a built-in has rewritten them: then every element counts as set before the rest.
    std::vector<uint32_t> elemMade;
    static constexpr uint32_t kNoElement = UINT32_MAX;
    std::unique_ptr<FunctionData> fn;
    ClipHost* clip = nullptr;      // MovieClip: the timeline behind it (null once removed)
    // MovieClip whose clip was removed: the path it had, where a clip made again stands in
    // for it (set when the clip leaves; empty for a reference that never had a place).
    std::string clipPath;
    Object* superThis = nullptr;   // Super: the instance
    Object* superProto = nullptr;  // Super: where lookups start
    Object* superHome = nullptr;   // Super: the prototype below it, whose constructor super() runs
    std::vector<Object*> interfaces;  // ImplementsOp: on a class's prototype
    bool implemented = false;         // ImplementsOp ran on this prototype: it runs once
    std::unordered_map<std::string, Watch> watches;
    std::unique_ptr<NativeData> native;
    bool marked = false;
    bool activation = false;  // a function call's own variables (its arguments and locals)

    // Own properties, in insertion order; the index maps lookup keys to positions.
    const std::vector<Property>& props() const { return props_; }
    Property* findOwn(std::string_view key);  // visible ones only
    Property* findAny(std::string_view key);
    Property& setOwn(std::string_view name, std::string_view key, Value v, uint16_t flags = 0);
    bool removeOwn(std::string_view key);
    // Points __proto__ at p: its own property keeps its flags, a new one is hidden and
    // permanent as the player makes them.
    void setProto(Object* p);
    // Where a lookup goes on from here: proto, unless the link is hidden from this movie's
    // version (a function's is before SWF 6; only functions are checked, lookups being hot).
    Object* chainNext() {
        if (!fn || !proto) return proto;
        const Property* link = findAny(kProtoKey);
        return link && link->hidden ? nullptr : proto;
    }

    // Array elements as scripts see them: an index below the length may hold none.
    bool hasElem(size_t i) const;
    uint32_t elemMadeAt(size_t i) const;
    void setElem(size_t i, Value v);
    void resizeElems(size_t n);  // new places hold no element
    void deleteElem(size_t i);
    void elemsRewritten() { elemMade.clear(); }

private:
    void trackElems();
    uint32_t made_ = 1;  // the next number setOwn and setElem hand out
    std::vector<Property> props_;
    std::unordered_map<std::string, uint32_t> index_;
};

// Parses "0", "17" ... (canonical non-negative integers below 2^31); -1 otherwise.
int64_t arrayIndex(std::string_view s);

}  // namespace swf::avm1
