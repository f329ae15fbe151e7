#pragma once
// flash.display.BitmapData: a script-owned picture of premultiplied ARGB pixels.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/avm1/object.h"

namespace swf::avm1 {

struct BitmapBudget;

struct BitmapPixels : NativeData {
    int width = 0;
    int height = 0;
    bool transparent = true;
    bool disposed = false;
    std::vector<uint32_t> px;  // premultiplied 0xAARRGGBB, row by row
    std::shared_ptr<BitmapBudget> budget;
    ~BitmapPixels() override;

    uint32_t& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
    uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// The pixels behind a BitmapData object (also once disposed); null for anything else.
BitmapPixels* bitmapPixels(const Value& v);

// Straight colour <-> the premultiplied form kept, with Flash's rounding both ways.
uint32_t premultiply(uint32_t argb);
uint32_t unpremultiply(uint32_t argb);

}  // namespace swf::avm1
