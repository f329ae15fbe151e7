#pragma once
// Premultiplied source-over blending of whole rows with 512-bit vectors, where the processor
// has them (byte permutes included). The arithmetic is the painter's own, pixel for pixel.

#include <cstdint>

namespace swf::render {

// A 256-entry colour ramp split into its four byte planes, as the indexed blend looks them up.
struct RampPlanes {
    alignas(64) uint8_t plane[4][256];
};

// True when the functions below may be called.
bool hasWideBlend();

void splitRamp(const uint32_t* ramp, RampPlanes& out);

// dst[i] = ramp[idx[i]] over dst[i], for all n pixels.
void blendIndexedWide(uint32_t* dst, const uint8_t* idx, const RampPlanes& ramp, int n);

// dst[i] = src[i] over dst[i], for all n pixels.
void blendRowWide(uint32_t* dst, const uint32_t* src, int n);

}  // namespace swf::render
