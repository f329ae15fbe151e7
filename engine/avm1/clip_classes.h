#pragma once
// Classes registered for library symbols (Object.registerClass) on clips the timeline places:
// the prototype is theirs before any handler runs, the constructor runs as the clip is built.

namespace swf {
class Movie;
}

namespace swf::avm1 {

class Vm;
class SpriteClip;
class Object;

// The constructor registered under one of the clip's export names; null when none is.
Object* registeredClass(Vm& vm, const Movie& movie, const SpriteClip& clip);
// The clip's script object takes the class's prototype. Returns the class (or null).
Object* adoptClass(Vm& vm, const Movie& movie, SpriteClip& clip);
// Runs the class's constructor on the clip's object, as `new` would.
void constructAs(Vm& vm, Object* cls, SpriteClip& clip);

}  // namespace swf::avm1
