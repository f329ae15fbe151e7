// The Color class: a clip's colour transform read and written through an object. The clip is
// looked up again on every call from the object's `target`, a clip or a path.

#include <algorithm>
#include <cmath>

#include "engine/avm1/clip.h"
#include "engine/avm1/display_props.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/display_list.h"

namespace swf::avm1 {

namespace {

// Clips without a display object of their own keep their transform on their script object.
constexpr std::string_view kStored = "\001colorTransform";
constexpr const char* kStoredNames[] = {"rm", "gm", "bm", "am", "ra", "ga", "ba", "aa"};

// Number -> the 8.8 fixed point kept: what does not fit 16 bits becomes the most negative
// value, as the x86 conversion gives it.
int16_t toFixed(double v) {
    if (std::isnan(v)) return 0;
    const double t = std::trunc(v);
    if (t < -32768.0 || t > 32767.0) return -32768;
    return static_cast<int16_t>(t);
}

ClipHost* targetClip(Vm& vm, Object* self) {
    if (!self) return nullptr;
    Property* p = self->findAny(vm.key("target"));
    if (!p) return nullptr;
    const Value t = p->value;
    if (t.isObject() && t.o->cls == ObjClass::MovieClip) return t.o->clip;
    if (t.isNullish()) return nullptr;
    return vm.resolveTarget(vm.toString(t), vm.root_);
}

format::Cxform readCx(Vm& vm, ClipHost* clip) {
    if (auto* s = dynamic_cast<SpriteClip*>(clip))
        if (DisplayObject* o = s->object()) return o->cxform;
    format::Cxform cx;
    Object* obj = vm.clipObject(clip);
    if (Property* p = obj->findAny(kStored); p && p->value.isObject()) {
        int16_t* f[] = {&cx.rm, &cx.gm, &cx.bm, &cx.am, &cx.ra, &cx.ga, &cx.ba, &cx.aa};
        for (int i = 0; i < 8; ++i)
            *f[i] = static_cast<int16_t>(vm.toNumber(vm.get(p->value.o, kStoredNames[i])));
    }
    // _alpha may have changed since.
    const double alpha = vm.toNumber(clipGetIndex(vm, clip, 6));
    if (std::isfinite(alpha)) cx.am = toFixed(alpha * 2.56);
    return cx;
}

void writeCx(Vm& vm, ClipHost* clip, const format::Cxform& cx) {
    if (auto* s = dynamic_cast<SpriteClip*>(clip))
        if (DisplayObject* o = s->object()) {
            takeOverTransform(*o);
            o->cxform = cx;
            return;
        }
    Object* obj = vm.clipObject(clip);
    Object* store = vm.newObject();
    const int16_t f[] = {cx.rm, cx.gm, cx.bm, cx.am, cx.ra, cx.ga, cx.ba, cx.aa};
    for (int i = 0; i < 8; ++i) vm.set(store, kStoredNames[i], Value(f[i]));
    obj->setOwn(kStored, kStored, Value(store), DontEnum);
    clipSetIndex(vm, clip, 6, Value(cx.am / 256.0 * 100));
}

// Hidden, permanent and read-only: the flags the player gives all of Color's members.
constexpr uint16_t kSealed = DontEnum | DontDelete | ReadOnly;

}  // namespace

void installColorBuiltins(Vm& vm) {
    Object* proto = vm.newObject();
    Object* ctor = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            vm.defineValue(self, "target", arg(a, 0));
            // The player seals each Color it makes, the links `new` left on it included.
            vm.addFlagsToAll(self, kSealed);
            return {};
        },
        proto);
    vm.defineValue(vm.global, "Color", ctor);

    vm.defineMethod(proto, "setRGB", [](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* clip = targetClip(vm, self);
        if (!clip || a.empty()) return {};
        const uint32_t rgb = static_cast<uint32_t>(toInt32(vm.toNumber(a[0])));
        format::Cxform cx = readCx(vm, clip);
        cx.rm = cx.gm = cx.bm = 0;
        cx.ra = static_cast<int16_t>((rgb >> 16) & 0xFF);
        cx.ga = static_cast<int16_t>((rgb >> 8) & 0xFF);
        cx.ba = static_cast<int16_t>(rgb & 0xFF);
        writeCx(vm, clip, cx);
        return {};
    });
    vm.defineMethod(proto, "getRGB", [](Vm& vm, Object* self, Args&) -> Value {
        ClipHost* clip = targetClip(vm, self);
        if (!clip) return {};
        const format::Cxform cx = readCx(vm, clip);
        return Value(((cx.ra & 0xFF) << 16) | ((cx.ga & 0xFF) << 8) | (cx.ba & 0xFF));
    });
    vm.defineMethod(proto, "getTransform", [](Vm& vm, Object* self, Args&) -> Value {
        ClipHost* clip = targetClip(vm, self);
        if (!clip) return {};
        const format::Cxform cx = readCx(vm, clip);
        Object* t = vm.newObject();
        vm.set(t, "ra", Value(cx.rm / 2.56));
        vm.set(t, "rb", Value(cx.ra));
        vm.set(t, "ga", Value(cx.gm / 2.56));
        vm.set(t, "gb", Value(cx.ga));
        vm.set(t, "ba", Value(cx.bm / 2.56));
        vm.set(t, "bb", Value(cx.ba));
        vm.set(t, "aa", Value(cx.am / 2.56));
        vm.set(t, "ab", Value(cx.aa));
        return Value(t);
    });
    vm.defineMethod(proto, "setTransform", [](Vm& vm, Object* self, Args& a) -> Value {
        ClipHost* clip = targetClip(vm, self);
        if (!clip || !arg(a, 0).isObject()) return {};
        Object* t = a[0].o;
        format::Cxform cx = readCx(vm, clip);
        // Only the fields the object has change.
        auto field = [&](const char* name, int16_t& out, double scale) {
            if (!vm.hasProperty(t, name)) return;
            out = toFixed(vm.toNumber(vm.get(t, name)) * scale);
        };
        field("ra", cx.rm, 2.56);
        field("rb", cx.ra, 1);
        field("ga", cx.gm, 2.56);
        field("gb", cx.ga, 1);
        field("ba", cx.bm, 2.56);
        field("bb", cx.ba, 1);
        field("aa", cx.am, 2.56);
        field("ab", cx.aa, 1);
        writeCx(vm, clip, cx);
        return {};
    });
    vm.addFlagsToAll(proto, kSealed);
}

}  // namespace swf::avm1
