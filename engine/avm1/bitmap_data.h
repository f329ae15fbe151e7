#pragma once
// flash.display.BitmapData: a script-owned picture of premultiplied ARGB pixels.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/avm1/object.h"
#include "engine/runtime/bitmap_surface.h"

namespace swf::avm1 {

using BitmapPixels = BitmapSurface;

// What a BitmapData object holds: its pixels, which the display may share.
struct BitmapHandle : NativeData {
    std::shared_ptr<BitmapPixels> pixels;
};

// The pixels behind a BitmapData object (also once disposed); null for anything else.
BitmapPixels* bitmapPixels(const Value& v);
std::shared_ptr<BitmapPixels> sharedBitmap(const Value& v);

// Straight colour <-> the premultiplied form kept, with Flash's rounding both ways.
uint32_t premultiply(uint32_t argb);
uint32_t unpremultiply(uint32_t argb);

}  // namespace swf::avm1
