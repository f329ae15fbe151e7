#pragma once
// What the player says of itself to scripts: System.capabilities and $version.

#include <string>

#include "engine/avm1/object.h"

namespace swf::avm1 {

// The player's version string ("WIN 9,0,999,0"), as $version and capabilities.version give it.
std::string playerVersion();
// System.capabilities.Query (ASnative 11, 0): writes every capability onto the object it is
// called on.
Value queryCapabilities(Vm& vm, Object* self, Args& args);

}  // namespace swf::avm1
