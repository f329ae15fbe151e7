#pragma once
// The interpreter's entry points (interpreter.cpp).

#include <span>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

// Runs a frame's (or an init) action list on clip's timeline.
void runFrameCode(Vm& vm, std::span<const uint8_t> code, ClipHost* clip);

}  // namespace swf::avm1
