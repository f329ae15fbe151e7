#include "engine/avm1/clip_classes.h"

#include "engine/avm1/object.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

Object* registeredClass(Vm& vm, const Movie& movie, const SpriteClip& clip) {
    const Value reg = vm.get(vm.global, "__registeredClasses");
    if (!reg.isObject() || !clip.characterId()) return nullptr;
    for (const auto& [name, id] : movie.exports) {
        if (id != clip.characterId()) continue;
        const Value cls = vm.get(reg.o, name);
        if (cls.isObject() && cls.o->fn) return cls.o;
    }
    return nullptr;
}

Object* adoptClass(Vm& vm, const Movie& movie, SpriteClip& clip) {
    Object* cls = registeredClass(vm, movie, clip);
    if (!cls) return nullptr;
    Object* self = vm.clipObject(&clip);
    const Value proto = vm.get(cls, "prototype");
    if (self && proto.isObject()) self->setProto(proto.o);
    return cls;
}

void constructAs(Vm& vm, Object* cls, SpriteClip& clip) {
    Object* self = cls ? vm.clipObject(&clip) : nullptr;
    if (!self) return;
    vm.markConstructed(self, cls);
    vm.enter([&] { vm.call(Value(cls), self, {}); });
}

}  // namespace swf::avm1
