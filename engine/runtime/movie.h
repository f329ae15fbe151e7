#pragma once
// The parsed movie: header facts, character dictionary and the root timeline. Built once by
// loadMovie() and then only read, so any number of players may share it across threads.

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/format/place.h"
#include "engine/format/shape.h"
#include "engine/player.h"
#include "engine/render/shape_geometry.h"
#include "engine/runtime/display_list.h"

namespace swf {

using DisplayCommand = std::variant<format::PlaceObject, format::RemoveObject>;

struct Frame {
    std::vector<DisplayCommand> commands;
};

struct Timeline {
    std::vector<Frame> frames;          // at least one
    std::map<std::string, int> labels;  // label -> 0-based frame
};

struct ShapeCharacter {
    format::Shape shape;  // styles and bounds; the edges live on only as geometry
    render::ShapeGeometry geometry;
};

// The root display list after frame `frame`, kept so seeks replay only a few frames.
struct TimelineSnapshot {
    int frame;
    DisplayList list;
};

struct SpriteCharacter {
    uint16_t id = 0;
    int frameCount = 0;  // as declared
    Timeline timeline;
};

using Character = std::variant<ShapeCharacter, SpriteCharacter>;

class Movie {
public:
    MovieInfo info;
    Timeline root;
    std::unordered_map<uint16_t, Character> characters;
    std::vector<TimelineSnapshot> rootSnapshots;  // ascending frames, bounded in total size

    const Character* character(uint16_t id) const {
        auto it = characters.find(id);
        return it == characters.end() ? nullptr : &it->second;
    }
};

// Bounds on what one file may make us hold, whatever it declares.
struct LoadLimits {
    size_t maxEdgesPerShape = 1u << 20;
    size_t maxEdgesPerMovie = 4u << 20;
    size_t maxStylesPerMovie = 1u << 20;
    size_t maxCommandsPerMovie = 2u << 20;
    int snapshotInterval = 64;             // frames between kept root display lists
    size_t maxSnapshotObjects = 1u << 20;  // objects over all of them
};

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const LoadLimits& limits);

}  // namespace swf
