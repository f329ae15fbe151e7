// flash.filters: the filter classes scripts make and hand to MovieClip.filters.

#include "engine/avm1/vm.h"

namespace swf::avm1 {

void installFilterBuiltins(Vm&) {}

}  // namespace swf::avm1
