#include "engine/runtime/movie.h"

#include <fstream>
#include <iterator>

#include "engine/format/container.h"
#include "engine/format/tags.h"

namespace swf {
namespace {

using namespace format;

class TimelineBuilder {
public:
    TimelineBuilder(Movie& movie, const LoadLimits& limits) : movie_(movie), limits_(limits) {}

    // Reads a tag stream into timeline. Definitions are only taken at the root; a sprite's
    // stream holds control tags. Returns false when the stream was cut.
    bool read(std::span<const uint8_t> data, Timeline& timeline, bool root) {
        TagReader tags(data);
        Tag tag;
        Frame pending;
        while (tags.next(tag)) {
            if (root) ++movie_.info.tagCounts[tagName(tag.code)];
            if (!handle(tag, timeline, pending, root) && root) ++movie_.info.skippedTags;
            if (tag.code == code::ShowFrame) {
                timeline.frames.push_back(std::move(pending));
                pending = {};
            }
        }
        if (!pending.commands.empty()) timeline.frames.push_back(std::move(pending));
        return !tags.truncated() && tags.sawEnd();
    }

private:
    bool handle(const Tag& tag, Timeline& tl, Frame& pending, bool root) {
        switch (tag.code) {
            case code::End:
            case code::ShowFrame:
                return true;
            case code::PlaceObject:
            case code::PlaceObject2:
            case code::PlaceObject3: {
                const int v = tag.code == code::PlaceObject    ? 1
                              : tag.code == code::PlaceObject2 ? 2
                                                               : 3;
                if (!budgetCommand()) return true;
                pending.commands.emplace_back(parsePlaceObject(tag.body, v));
                return true;
            }
            case code::RemoveObject:
            case code::RemoveObject2:
                if (!budgetCommand()) return true;
                pending.commands.emplace_back(
                    parseRemoveObject(tag.body, tag.code == code::RemoveObject ? 1 : 2));
                return true;
            case code::FrameLabel: {
                BitReader r(tag.body);
                const std::string label = r.string();
                tl.labels.emplace(label, static_cast<int>(tl.frames.size()));
                return true;
            }
            default:
                break;
        }
        if (!root) return false;
        switch (tag.code) {
            case code::SetBackgroundColor: {
                BitReader r(tag.body);
                const Rgba c = readRgb(r);
                if (!r.overrun() && !movie_.info.background)
                    movie_.info.background = QColor(c.r, c.g, c.b);
                return true;
            }
            case code::DefineShape:
            case code::DefineShape2:
            case code::DefineShape3:
            case code::DefineShape4: {
                const int v = tag.code == code::DefineShape    ? 1
                              : tag.code == code::DefineShape2 ? 2
                              : tag.code == code::DefineShape3 ? 3
                                                               : 4;
                defineShape(tag.body, v);
                return true;
            }
            case code::DefineSprite:
                defineSprite(tag.body);
                return true;
            default:
                return false;
        }
    }

    bool budgetCommand() {
        if (commands_ >= limits_.maxCommandsPerMovie) {
            movie_.info.truncated = true;
            return false;
        }
        ++commands_;
        return true;
    }

    void defineShape(std::span<const uint8_t> body, int version) {
        ShapeLimits sl;
        const size_t left = limits_.maxEdgesPerMovie - edges_;
        sl.maxEdges = std::min(limits_.maxEdgesPerShape, left);
        sl.maxStyles = limits_.maxStylesPerMovie - styles_;
        Shape shape = parseDefineShape(body, version, sl);
        edges_ += shape.edgeCount;
        styles_ += shape.fills.size() + shape.lines.size();
        if (movie_.characters.contains(shape.id)) return;  // the first definition wins
        ShapeCharacter ch;
        ch.geometry = render::buildShapeGeometry(shape);
        shape.paths.clear();
        shape.paths.shrink_to_fit();
        ch.shape = std::move(shape);
        const uint16_t id = ch.shape.id;
        movie_.characters.emplace(id, std::move(ch));
    }

    void defineSprite(std::span<const uint8_t> body) {
        BitReader r(body);
        SpriteCharacter sp;
        sp.id = r.u16();
        sp.frameCount = r.u16();
        if (r.overrun() || movie_.characters.contains(sp.id)) return;
        read(r.rest(), sp.timeline, false);
        sp.timeline.frames.resize(std::max<size_t>(1, sp.frameCount));
        movie_.characters.emplace(sp.id, std::move(sp));
    }

    Movie& movie_;
    const LoadLimits& limits_;
    size_t edges_ = 0;
    size_t styles_ = 0;
    size_t commands_ = 0;
};

// Replays the root timeline once; a huge display list makes snapshots sparser, never bigger.
void takeSnapshots(Movie& movie, const LoadLimits& limits) {
    DisplayList list;
    size_t budget = limits.maxSnapshotObjects;
    int lastTaken = -limits.snapshotInterval;
    const auto& frames = movie.root.frames;
    for (int f = 0; f < static_cast<int>(frames.size()); ++f) {
        for (const auto& cmd : frames[f].commands)
            std::visit([&list](const auto& c) { list.apply(c); }, cmd);
        if (f - lastTaken < limits.snapshotInterval) continue;
        const size_t cost = list.objects.size() + 1;
        if (cost > budget) break;
        budget -= cost;
        movie.rootSnapshots.push_back({f, list});
        lastTaken = f;
    }
}

}  // namespace

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const LoadLimits& limits) {
    Container c;
    MovieHeader h;
    try {
        c = openContainer(bytes);
        h = readMovieHeader(c.body);
    } catch (const FormatError& e) {
        throw LoadError(e.what());
    }
    auto movie = std::make_shared<Movie>();
    MovieInfo& info = movie->info;
    std::copy(c.signature, c.signature + 4, info.signature);
    info.version = c.version;
    info.length = c.declaredLength;
    info.stageXMin = h.stage.xMin;
    info.stageXMax = h.stage.xMax;
    info.stageYMin = h.stage.yMin;
    info.stageYMax = h.stage.yMax;
    info.frameRate = h.frameRate;
    info.frameCount = h.frameCount;

    TimelineBuilder builder(*movie, limits);
    const bool complete =
        builder.read(std::span<const uint8_t>(c.body).subspan(h.tagsOffset), movie->root, true);
    info.truncated = info.truncated || c.truncated || !complete;
    // The header's count rules: missing frames are empty, extra ones are never reached.
    movie->root.frames.resize(std::max(1, h.frameCount));
    takeSnapshots(*movie, limits);
    return movie;
}

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes) {
    return loadMovie(bytes, LoadLimits{});
}

std::shared_ptr<const Movie> loadMovieFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw LoadError("cannot open " + path);
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::streamoff>(in.tellg());
    if (size < 0) throw LoadError("cannot read " + path);
    // A compressed file is far smaller than its cap; a plain one may not exceed it.
    if (static_cast<uint64_t>(size) > format::kMaxDeclaredLength + 64ull)
        throw LoadError("file is too large");
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (!in) throw LoadError("cannot read " + path);
    return loadMovie(bytes);
}

const MovieInfo& movieInfo(const Movie& movie) { return movie.info; }

std::optional<ScaleMode> parseScaleMode(std::string_view name) {
    std::string s;
    for (char c : name) s.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (s == "showall") return ScaleMode::ShowAll;
    if (s == "noborder") return ScaleMode::NoBorder;
    if (s == "exactfit") return ScaleMode::ExactFit;
    if (s == "noscale") return ScaleMode::NoScale;
    return std::nullopt;
}

}  // namespace swf
