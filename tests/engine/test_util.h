#pragma once
// Small helpers shared by the engine suites.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/player.h"
#include "tests/support/swf_writer.h"

namespace enginetest {

inline std::shared_ptr<const swf::Movie> load(const std::vector<uint8_t>& bytes) {
    return swf::loadMovie(std::span<const uint8_t>(bytes));
}

// Rewrites the header's file length (bytes 4..7) of a plain FWS image.
inline void setDeclaredLength(std::vector<uint8_t>& b, uint32_t n) {
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(n >> (8 * i));
}

inline void append(std::vector<uint8_t>& b, const std::vector<uint8_t>& more) {
    b.insert(b.end(), more.begin(), more.end());
}

}  // namespace enginetest
