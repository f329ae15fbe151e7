#pragma once
// The parsed movie: header facts, character dictionary and the root timeline. Built once by
// loadMovie() and then only read, so any number of players may share it across threads.

#include <QImage>
#include <QPainterPath>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/format/bitmap.h"
#include "engine/format/button.h"
#include "engine/format/morph.h"
#include "engine/format/place.h"
#include "engine/format/shape.h"
#include "engine/format/text.h"
#include "engine/runtime/basics.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/shape_geometry.h"

namespace swf {

namespace media {
class MovieMedia;
}

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
    // Frames the file really holds: each ShowFrame, plus one for tags after the last of them.
    int loaded = 0;
    // The stream closed its last frame with ShowFrame and then ended: only then does a
    // sprite go round again; one cut short stays on its last frame.
    bool loops = true;

    // The frame a label names, letter case ignored; where labels differ only in case, the
    // first in the file wins.
    std::optional<int> findLabel(std::string_view label) const;
};

// A value made on first use, safely from several players' threads at once; movable so the
// character that holds it can live in a variant.
template <class T>
class Lazy {
public:
    template <class Make>
    const T& get(Make&& make) const {
        std::call_once(s_->once, [&] { s_->value = make(); });
        return s_->value;
    }

private:
    struct State {
        std::once_flag once;
        T value;
    };
    std::unique_ptr<State> s_ = std::make_unique<State>();
};

// Edges shapes, morphs and glyphs may still build, shared by the whole movie.
class EdgeBudget {
public:
    explicit EdgeBudget(size_t n = 0) : left_(n) {}
    void reset(size_t n) { left_ = n; }
    size_t take(size_t want);
    void giveBack(size_t n) { left_.fetch_add(n); }

private:
    std::atomic<size_t> left_;
};

// A shape is parsed and turned into paths the first time it is drawn: loading stays cheap and
// unused artwork costs nothing. Safe to use from several players' threads at once.
class ShapeCharacter {
public:
    struct Built {
        format::Shape shape;  // styles and bounds; the edges live on only as geometry
        ShapeGeometry geometry;
    };
    ShapeCharacter(std::span<const uint8_t> tagBody, int version, format::ShapeLimits limits,
                   EdgeBudget* edgeBudget);
    const Built& get() const;

private:
    std::span<const uint8_t> body_;  // inside the owning Movie's data
    int version_;
    format::ShapeLimits limits_;
    EdgeBudget* edgeBudget_;
    Lazy<Built> lazy_;

public:
    std::span<const uint8_t> body() const { return body_; }
    int version() const { return version_; }
};

struct MorphCharacter {
    std::span<const uint8_t> body;
    int version = 1;
    format::ShapeLimits limits;
    EdgeBudget* edgeBudget = nullptr;
    Lazy<format::MorphShape> lazy;
    const format::MorphShape& get() const;
};

struct BitmapCharacter {
    format::BitmapTag tag;
    Lazy<QImage> lazy;  // premultiplied ARGB; null when it cannot be decoded
    const QImage& image(const Movie& movie) const;
};

struct FontCharacter {
    struct Built {
        format::Font font;
        std::vector<QPainterPath> glyphs;  // in font units (see Font::emUnits)
        std::unordered_map<uint16_t, uint32_t> byCode;
    };
    std::span<const uint8_t> body;
    int version = 1;
    std::span<const uint8_t> info;  // DefineFontInfo body, if any
    int infoVersion = 1;
    EdgeBudget* edgeBudget = nullptr;
    Lazy<Built> lazy;
    const Built& get() const;
};

struct TextCharacter {
    std::span<const uint8_t> body;
    int version = 1;
    Lazy<format::StaticText> lazy;
    const format::StaticText& get() const;
};

struct EditTextCharacter {
    format::EditText text;
};

struct ButtonCharacter {
    format::Button button;
    std::optional<format::Cxform> cxform;  // DefineButtonCxform, for DefineButton (1)
};

struct SpriteCharacter {
    uint16_t id = 0;
    int frameCount = 0;  // as declared
    Timeline timeline;
};

using Character = std::variant<ShapeCharacter, SpriteCharacter, MorphCharacter, BitmapCharacter,
                               FontCharacter, TextCharacter, EditTextCharacter, ButtonCharacter>;

// The root display list after frame `frame`, kept so seeks replay only a few frames.
struct TimelineSnapshot {
    int frame;
    DisplayList list;
};

// Bounds on what one file may make us hold, whatever it declares.
struct LoadLimits {
    size_t maxEdgesPerShape = 1u << 20;
    size_t maxEdgesPerMovie = 4u << 20;
    size_t maxStylesPerShape = 64u << 10;
    size_t maxCommandsPerMovie = 2u << 20;
    int snapshotInterval = 64;             // frames between kept root display lists
    size_t maxSnapshotObjects = 1u << 20;  // objects over all of them
    // ImportAssets: files are read from this folder (none when empty), nested at most
    // maxImportDepth deep and maxImportBytes in all.
    std::string baseDir;
    // Where the movie came from, as its scripts read it in _url ("file:///..."); empty when
    // unknown (a movie given as bytes).
    std::string url;
    int maxImportDepth = 8;
    uint64_t maxImportBytes = 256ull << 20;
};

class Movie;

// A character this movie imported from another file's ExportAssets; that movie lives as long
// as this one. Sprites also get an entry in Movie::characters (frames without display
// commands, their scripts come from the source) so scripts can place them.
struct ImportedCharacter {
    std::shared_ptr<const Movie> from;
    uint16_t id = 0;  // in `from`
    int frame = 0;    // root frame of the ImportAssets tag
};

// Decoded bitmaps one movie may hold: each is capped in size, but thousands of small,
// well-compressed tags could otherwise decode to gigabytes.
constexpr size_t kMaxDecodedBitmapBytes = size_t(256) << 20;

class Movie {
public:
    MovieInfo info;
    std::vector<uint8_t> data;      // the uncompressed file after the header; lazily read parts
    mutable EdgeBudget edgeBudget;  // edges all shapes may still build
    // Bytes of bitmaps that may still be decoded (the counter is the edges' kind); taken on
    // each bitmap's first use, which then stays null when it does not fit.
    mutable EdgeBudget bitmapBudget{kMaxDecodedBitmapBytes};
    mutable std::atomic<bool> bitmapBudgetReported{false};  // its end was logged once
    Timeline root;
    std::unordered_map<uint16_t, Character> characters;
    std::span<const uint8_t> jpegTables;  // JPEGTables, shared by every DefineBits
    LoadLimits limits;
    std::map<std::string, uint16_t> exports;  // ExportAssets name -> its last character
    std::map<std::string, int> exportFrames;  // ExportAssets name -> root frame first naming it
    std::map<uint16_t, ImportedCharacter> imported;  // by this movie's id

    const Character* character(uint16_t id) const {
        auto it = characters.find(id);
        return it == characters.end() ? nullptr : &it->second;
    }

    // Root display lists kept every few frames (ascending, bounded in total size). Made on
    // the first call by replaying the timeline once; later calls share the result.
    const std::vector<TimelineSnapshot>& rootSnapshots() const;

    // Sounds and video streams (engine/media), indexed on first use.
    Lazy<std::shared_ptr<const media::MovieMedia>> mediaIndex;

private:
    Lazy<std::vector<TimelineSnapshot>> snapshots_;
};

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const LoadLimits& limits);
// The file:// URL of an absolute local path, as scripts read it in _url.
std::string fileUrlOf(const std::string& path);

// order: the command's place among its frame's commands.
void applyCommand(DisplayList& list, const Movie& movie, const DisplayCommand& cmd, int frame = 0,
                  int order = 0);
// Applies one frame's commands; frameIndex is that frame's number in its timeline.
void applyFrame(DisplayList& list, const Movie& movie, const Frame& frame, int frameIndex = 0);

}  // namespace swf
