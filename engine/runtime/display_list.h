#pragma once
// The objects on one timeline's stage, by depth.

#include <cstdint>
#include <map>
#include <string>

#include "engine/format/place.h"
#include "engine/format/records.h"

namespace swf {

struct DisplayObject {
    uint16_t characterId = 0;
    int depth = 0;
    format::Matrix matrix;
    format::Cxform cxform;
    uint16_t ratio = 0;
    std::string name;
    uint16_t clipDepth = 0;  // nonzero: a mask over depths (depth, clipDepth]
    uint8_t blendMode = 0;
    bool visible = true;
    bool operator==(const DisplayObject&) const = default;
};

struct DisplayList {
    std::map<int, DisplayObject> objects;  // drawn in ascending depth
    bool operator==(const DisplayList&) const = default;

    void apply(const format::PlaceObject& p);
    void apply(const format::RemoveObject& r);
};

}  // namespace swf
