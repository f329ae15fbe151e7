#include "engine/avm1/timeline_objects.h"

#include <string>

#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/net_stream.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/media/movie_media.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

Place placeOf(ClipHost* clip) {
    if (auto* s = dynamic_cast<SpriteClip*>(clip)) return {s->list(), &s->runner().movie()};
    if (auto* r = dynamic_cast<ScriptRunner*>(clip)) return {r->listOf(r), &r->movie()};
    return {};
}

namespace {

bool shapeLike(const Movie& movie, const DisplayObject& o) {
    const Character* ch = movie.character(o.characterId);
    return ch && (std::holds_alternative<ShapeCharacter>(*ch) ||
                  std::holds_alternative<MorphCharacter>(*ch) ||
                  std::holds_alternative<TextCharacter>(*ch) ||
                  std::holds_alternative<BitmapCharacter>(*ch));
}

}  // namespace

bool holdsNamedShape(Vm& vm, ClipHost* parent, std::string_view name) {
    const Place p = placeOf(parent);
    if (!p.list || name.empty()) return false;
    const std::string want = vm.key(name);
    for (const auto& [depth, o] : p.list->objects)
        if (!o.name.empty() && vm.key(o.name) == want && shapeLike(*p.movie, o)) return true;
    return false;
}

bool holdsShapeAt(ClipHost* parent, int rawDepth) {
    const Place p = placeOf(parent);
    if (!p.list) return false;
    auto it = p.list->objects.find(rawDepth);
    return it != p.list->objects.end() && shapeLike(*p.movie, it->second);
}

Object* namedVideo(Vm& vm, ClipHost* parent, std::string_view name) {
    const Place p = placeOf(parent);
    if (!p.list || name.empty()) return nullptr;
    const std::string want = vm.key(name);
    for (const auto& [depth, o] : p.list->objects) {
        if (o.name.empty() || vm.key(o.name) != want || p.movie->character(o.characterId) ||
            !media::mediaOf(*p.movie).hasVideo(o.characterId))
            continue;
        Object* owner = vm.clipObject(parent);
        if (!owner) return nullptr;
        // Kept on the parent under the placement, so a new placement gets a new object.
        const std::string slot =
            "\001video:" + std::to_string(depth) + ":" + std::to_string(o.placedAt);
        if (Property* had = owner->findAny(slot); had && had->value.isObject()) return had->value.o;
        const Value ctor = vm.get(vm.global, "Video");
        const Value proto = ctor.isObject() ? vm.get(ctor.o, "prototype") : Value();
        Object* video = vm.newObject(proto.isObject() ? proto.o : vm.objectProto);
        // It reads as its path, as clips do.
        const std::string path = vm.targetPath(parent) + "." + o.name;
        vm.defineMethod(video, "toString",
                        [path](Vm&, Object*, Args&) -> Value { return Value(path); });
        linkVideo(vm, video, owner, depth, o.placedAt);
        owner->setOwn(slot, slot, Value(video), DontEnum);
        if (Property* kept = owner->findAny(slot)) kept->hidden = true;
        return video;
    }
    return nullptr;
}

}  // namespace swf::avm1
