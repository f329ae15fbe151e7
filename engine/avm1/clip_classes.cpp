#include "engine/avm1/clip_classes.h"

#include "engine/avm1/object.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

std::string classKey(std::string_view name, int version) {
    return version >= 7 ? std::string(name) : foldCase(name);
}

Object* registry(Vm& vm) {
    const Value reg = vm.get(vm.global, "__registeredClasses");
    return reg.isObject() ? reg.o : nullptr;
}

}  // namespace

void registerClass(Vm& vm, std::string_view name, const Value& cls, int version) {
    Object* reg = registry(vm);
    if (!reg) {
        reg = vm.newObject();
        vm.defineValue(vm.global, "__registeredClasses", reg, DontEnum);
    }
    reg->setOwn(name, classKey(name, version), cls);
}

Object* registeredClass(Vm& vm, std::string_view name, int version) {
    Object* reg = registry(vm);
    const Property* p = reg ? reg->findOwn(classKey(name, version)) : nullptr;
    return p && p->value.isObject() && p->value.o->fn ? p->value.o : nullptr;
}

Object* registeredClass(Vm& vm, const Movie& movie, const SpriteClip& clip) {
    if (!clip.characterId()) return nullptr;
    for (const auto& [name, id] : movie.exports)
        if (id == clip.characterId())
            if (Object* cls = registeredClass(vm, name, movie.info.version)) return cls;
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
