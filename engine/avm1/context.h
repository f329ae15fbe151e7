#pragma once
// The interpreter's entry points (interpreter.cpp).

#include <cstdint>
#include <optional>
#include <span>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

// Runs a frame's (or an init) action list on clip's timeline. A jump that left the list
// gives its target, relative to the list's start.
std::optional<int64_t> runFrameCode(Vm& vm, std::span<const uint8_t> code, ClipHost* clip);

}  // namespace swf::avm1
