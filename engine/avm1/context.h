#pragma once
// The interpreter's entry points (interpreter.cpp).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

// What one action list of a frame leaves to the next: the stack and the constant pool.
struct FrameCarry {
    std::vector<Value> stack;
    std::shared_ptr<const std::vector<std::string>> pool;
};

// Runs a frame's (or an init) action list on clip's timeline, on what carry holds when given.
// A jump that left the list gives its target, relative to the list's start.
std::optional<int64_t> runFrameCode(Vm& vm, std::span<const uint8_t> code, ClipHost* clip,
                                    FrameCarry* carry = nullptr);

}  // namespace swf::avm1
