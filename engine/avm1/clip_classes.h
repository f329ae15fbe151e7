#pragma once
// Classes registered for library symbols (Object.registerClass) on clips the timeline places:
// the prototype is theirs before any handler runs, the constructor runs as the clip is built.

#include <string_view>

namespace swf {
class Movie;
}

namespace swf::avm1 {

class Vm;
class SpriteClip;
class Object;
struct Value;

// Object.registerClass: code of SWF 6 and older names symbols in any letter case, later code
// exactly, so a class registered by one sort of movie is not found by the other.
void registerClass(Vm& vm, std::string_view name, const Value& cls, int version);
// The constructor registered under name, as code of that version names it; null when none is.
Object* registeredClass(Vm& vm, std::string_view name, int version);
// The constructor registered under one of the clip's export names; null when none is.
Object* registeredClass(Vm& vm, const Movie& movie, const SpriteClip& clip);
// The clip's script object takes the class's prototype. Returns the class (or null).
Object* adoptClass(Vm& vm, const Movie& movie, SpriteClip& clip);
// Runs the class's constructor on the clip's object, as `new` would.
void constructAs(Vm& vm, Object* cls, SpriteClip& clip);

}  // namespace swf::avm1
