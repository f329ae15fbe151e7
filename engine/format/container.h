#pragma once
// The SWF file container: FWS (plain), CWS (zlib) and ZWS (LZMA). Turns a file image into
// the uncompressed bytes that follow the 8-byte header.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace swf::format {

// Thrown for input that cannot be played at all; what() is one readable line.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Larger declared lengths are refused outright rather than inflated.
constexpr uint32_t kMaxDeclaredLength = 1u << 30;

struct Container {
    char signature[4] = {0, 0, 0, 0};
    int version = 0;
    uint32_t declaredLength = 0;  // the header's file length (uncompressed, header included)
    std::vector<uint8_t> body;    // uncompressed bytes after the 8-byte header
    bool truncated = false;       // body is shorter than declared
};

Container openContainer(std::span<const uint8_t> file);

}  // namespace swf::format
