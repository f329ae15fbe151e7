#pragma once
// The parsed movie: header facts, character dictionary and the root timeline. Built once by
// loadMovie() and then only read, so any number of players may share it across threads.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
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

// A PlaceObject/RemoveObject tag of a timeline, read again each time it is applied: a long
// movie holds hundreds of thousands of them, and most are applied rarely.
struct DisplayCommand {
    enum Kind : uint8_t { Place1 = 1, Place2, Place3, Remove1, Remove2 };
    uint32_t offset;  // tag body within Movie::data
    uint32_t length;
    Kind kind;
};

struct Frame {
    std::vector<DisplayCommand> commands;
};

struct Timeline {
    std::vector<Frame> frames;          // at least one
    std::map<std::string, int> labels;  // label -> 0-based frame
};

// A shape is parsed and turned into paths the first time it is drawn: loading stays cheap and
// unused artwork costs nothing. Safe to use from several players' threads at once.
class ShapeCharacter {
public:
    struct Built {
        format::Shape shape;  // styles and bounds; the edges live on only as geometry
        render::ShapeGeometry geometry;
    };
    ShapeCharacter(std::span<const uint8_t> tagBody, int version, format::ShapeLimits limits,
                   std::atomic<size_t>* edgeBudget);
    const Built& get() const;

private:
    struct Lazy {
        std::once_flag once;
        Built built;
    };
    std::span<const uint8_t> body_;  // inside the owning Movie's data
    int version_;
    format::ShapeLimits limits_;
    std::atomic<size_t>* edgeBudget_;
    std::unique_ptr<Lazy> lazy_ = std::make_unique<Lazy>();
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
    std::vector<uint8_t> data;  // the uncompressed file after the header; lazily read parts
    mutable std::atomic<size_t> edgeBudget{0};  // edges all shapes may still build
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
    size_t maxStylesPerShape = 64u << 10;
    size_t maxCommandsPerMovie = 2u << 20;
    int snapshotInterval = 64;             // frames between kept root display lists
    size_t maxSnapshotObjects = 1u << 20;  // objects over all of them
};

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const LoadLimits& limits);

void applyCommand(DisplayList& list, const Movie& movie, const DisplayCommand& cmd);
void applyFrame(DisplayList& list, const Movie& movie, const Frame& frame);

}  // namespace swf
