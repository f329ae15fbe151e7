#pragma once
// The placement properties every display object shows to scripts (_x, _y, _xscale, _yscale,
// _alpha, _visible, _rotation), read from and written to its place in the display list.

#include <cstdint>
#include <optional>

namespace swf {
struct DisplayObject;
}

namespace swf::avm1 {

int32_t pixelsToTwips(double px);
// Property indexes as GetProperty numbers them; nullopt for any other index.
std::optional<double> displayProperty(const DisplayObject& o, int index);
// False when index is not one of the placement properties (the caller handles the rest).
bool setDisplayProperty(DisplayObject& o, int index, double v);
// Blend modes by the number PlaceObject3 gives them (0 and 1 both normal, 14 hardlight).
inline constexpr const char* kBlendModeNames[] = {
    "normal", "normal",     "layer", "multiply", "screen", "lighten", "darken", "difference",
    "add",    "subtract",   "invert", "alpha",   "erase",  "overlay", "hardlight"};

// A script changed o's placement or colour: from now on the timeline's moves leave both alone.
void takeOverTransform(DisplayObject& o);

}  // namespace swf::avm1
