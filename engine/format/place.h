#pragma once
// PlaceObject 1-3 and RemoveObject 1-2: the display-list commands of a timeline.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/format/filter.h"
#include "engine/format/records.h"

namespace swf::format {

struct PlaceObject {
    int version = 2;    // 1, 2 or 3
    bool move = false;  // modify what is at depth (PlaceFlagMove)
    uint16_t depth = 0;
    std::optional<uint16_t> characterId;
    std::optional<Matrix> matrix;
    std::optional<Cxform> cxform;
    std::optional<uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<uint16_t> clipDepth;
    std::optional<std::string> className;
    std::optional<uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::optional<Rgba> backgroundColor;
    int filterCount = 0;
    std::vector<Filter> filters;
    bool hasClipActions = false;
    bool truncated = false;  // the tag ended before its flags said it would
};

struct RemoveObject {
    uint16_t depth = 0;
    std::optional<uint16_t> characterId;  // RemoveObject (1) names it
};

PlaceObject parsePlaceObject(std::span<const uint8_t> body, int version);
RemoveObject parseRemoveObject(std::span<const uint8_t> body, int version);

}  // namespace swf::format
