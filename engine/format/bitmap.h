#pragma once
// The bitmap tags' layouts: DefineBits (with JPEGTables), DefineBitsJPEG2-4 and
// DefineBitsLossless 1-2. Only splits the bytes; decoding happens where images live.

#include <cstdint>
#include <span>
#include <vector>

namespace swf::format {

// Flash's own ceiling: larger bitmaps are refused.
constexpr uint32_t kMaxBitmapSide = 8191;
constexpr uint32_t kMaxBitmapPixels = 16777215;

struct BitmapTag {
    enum Kind : uint8_t { Jpeg, Lossless };
    Kind kind = Jpeg;
    uint16_t id = 0;
    std::span<const uint8_t> image;  // JPEG/PNG/GIF stream, or zlib pixel data
    std::span<const uint8_t> alpha;  // JPEG3/4: zlib alpha plane (may be empty)
    bool usesTables = false;         // DefineBits: needs the movie's JPEGTables
    // Lossless only
    int version = 1;     // DefineBitsLossless N
    uint8_t format = 0;  // 3 colour-mapped, 4 15-bit RGB, 5 32-bit
    uint16_t width = 0, height = 0;
    int colorTableSize = 0;  // format 3: entries
    bool valid = false;
};

// code is the tag code (6, 20, 21, 35, 36, 90).
BitmapTag parseBitmapTag(uint16_t code, std::span<const uint8_t> body);

// Flash accepted JPEG streams with an extra end/start marker pair in the middle (tables and
// image written as two streams) or in front (an old encoder's header); returns one clean
// stream made of tables (may be empty) and image.
std::vector<uint8_t> repairJpeg(std::span<const uint8_t> tables, std::span<const uint8_t> image);

// zlib data inflated to exactly want bytes; shorter when the data ends early or is corrupt.
std::vector<uint8_t> inflateExactly(std::span<const uint8_t> in, size_t want);

// Lossless pixels to premultiplied 0xAARRGGBB words, row-major; empty when the data is short
// or the sizes are refused.
std::vector<uint32_t> decodeLossless(const BitmapTag& t);

}  // namespace swf::format
