#pragma once
// Objects on a timeline that are not clips (shapes, static text, morphs, bitmaps): scripts
// reaching one by name or depth get the clip holding it.

#include <string_view>

namespace swf {
struct DisplayList;
class Movie;
}  // namespace swf

namespace swf::avm1 {

class Vm;
class ClipHost;
class Object;

// A timeline's display list and the movie its characters come from; nulls for a clip that
// has none.
struct Place {
    DisplayList* list = nullptr;
    const Movie* movie = nullptr;
};
Place placeOf(ClipHost* clip);

// A shape-like object named `name` (compared by the VM's case rule) on parent's list.
bool holdsNamedShape(Vm& vm, ClipHost* parent, std::string_view name);
// A shape-like object at the raw depth (script depth + 16384) on parent's list.
bool holdsShapeAt(ClipHost* parent, int rawDepth);
// A video the timeline placed on parent's list under `name`: its Video object, the same one
// for as long as that placement lasts. Null when there is none.
Object* namedVideo(Vm& vm, ClipHost* parent, std::string_view name);

}  // namespace swf::avm1
