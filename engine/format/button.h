#pragma once
// DefineButton and DefineButton2: the characters of each state (drawn in the up state until
// buttons respond to the mouse).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/format/filter.h"
#include "engine/format/records.h"

namespace swf::format {

struct ButtonRecord {
    bool up = false, over = false, down = false, hitTest = false;
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    Cxform cxform;
    std::vector<Filter> filters;
    uint8_t blendMode = 0;
};

struct Button {
    uint16_t id = 0;
    int version = 1;
    std::vector<ButtonRecord> records;
};

Button parseDefineButton(std::span<const uint8_t> body, int version);
// DefineButtonCxform: the colour transform of a DefineButton (1); nullopt when unreadable.
std::optional<Cxform> parseButtonCxform(std::span<const uint8_t> body);

}  // namespace swf::format
