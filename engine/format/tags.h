#pragma once
// The movie header that follows the container and the tag stream after it.

#include <cstdint>
#include <span>
#include <string>

#include "engine/format/bit_reader.h"
#include "engine/format/records.h"

namespace swf::format {

namespace code {
constexpr uint16_t End = 0, ShowFrame = 1, DefineShape = 2, PlaceObject = 4, RemoveObject = 5,
                   DefineBits = 6, DefineButton = 7, JPEGTables = 8, SetBackgroundColor = 9,
                   DefineFont = 10, DefineText = 11, DefineFontInfo = 13, DefineBitsLossless = 20,
                   DefineBitsJPEG2 = 21, DefineShape2 = 22, DefineButtonCxform = 23,
                   PlaceObject2 = 26, RemoveObject2 = 28, DefineShape3 = 32, DefineText2 = 33,
                   DefineButton2 = 34, DefineBitsJPEG3 = 35, DefineBitsLossless2 = 36,
                   DefineEditText = 37, DefineSprite = 39, FrameLabel = 43, DefineMorphShape = 46,
                   DefineFont2 = 48, DefineFontInfo2 = 62, ScriptLimits = 65, PlaceObject3 = 70,
                   DefineFontAlignZones = 73, DefineFont3 = 75, DefineShape4 = 83,
                   DefineMorphShape2 = 84, DefineBitsJPEG4 = 90;
}

// "ShowFrame", "DefineShape3" ...; "Unknown(N)" for codes without a name.
std::string tagName(uint16_t code);

struct MovieHeader {
    Rect stage;
    double frameRate = 0;
    int frameCount = 0;
    size_t tagsOffset = 0;  // where the tag stream starts in the body
};

// Reads the header from the container body; throws FormatError when it does not fit.
MovieHeader readMovieHeader(std::span<const uint8_t> body);

struct Tag {
    uint16_t code = 0;
    std::span<const uint8_t> body;
};

// Walks tags; stops at End, at the end of the data, or at a tag that runs past the end
// (then truncated() is true and the partial tag is dropped).
class TagReader {
public:
    explicit TagReader(std::span<const uint8_t> data) : data_(data) {}
    bool next(Tag& tag);
    bool truncated() const { return truncated_; }
    bool sawEnd() const { return sawEnd_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool truncated_ = false;
    bool sawEnd_ = false;
};

}  // namespace swf::format
