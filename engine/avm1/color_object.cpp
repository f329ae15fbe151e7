// The Color class: a clip's colour transform read and written through an object.

#include "engine/avm1/vm.h"

namespace swf::avm1 {

void installColorBuiltins(Vm&) {}

}  // namespace swf::avm1
