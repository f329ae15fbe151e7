#include "engine/avm1/timeline_objects.h"

#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

struct Place {
    DisplayList* list = nullptr;
    const Movie* movie = nullptr;
};

Place placeOf(ClipHost* clip) {
    if (auto* s = dynamic_cast<SpriteClip*>(clip)) return {s->list(), &s->runner().movie()};
    if (auto* r = dynamic_cast<ScriptRunner*>(clip)) return {r->listOf(r), &r->movie()};
    return {};
}

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

}  // namespace swf::avm1
