#include "engine/runtime/movie.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/format/confined_path.h"
#include "engine/format/container.h"
#include "engine/format/tags.h"

namespace swf {
namespace {

using namespace format;

// Files being imported, outermost first, and what all imports of one load may still read.
struct ImportChain {
    std::vector<std::string> files;
    uint64_t bytesLeft = 0;
    int loadsLeft = 256;
};

std::shared_ptr<const Movie> loadMovieWith(std::span<const uint8_t> bytes, const LoadLimits& limits,
                                           ImportChain& chain);

class TimelineBuilder {
public:
    TimelineBuilder(Movie& movie, const LoadLimits& limits, ImportChain* chain = nullptr)
        : movie_(movie), limits_(limits), chain_(chain) {}

    // Reads a tag stream into timeline. Definitions are only taken at the root; a sprite's
    // stream holds control tags. Returns false when the stream was cut.
    bool read(std::span<const uint8_t> data, Timeline& timeline, bool root) {
        TagReader tags(data);
        Tag tag;
        Frame pending;
        bool trailing = false;  // tags seen since the last ShowFrame
        timeline.loaded = 0;
        while (tags.next(tag)) {
            if (tag.code == code::ShowFrame) {
                ++timeline.loaded;
                trailing = false;
            } else if (tag.code != code::End) {
                trailing = true;
            }
            if (root) ++codeCounts_[tag.code];
            if (!handle(tag, timeline, pending, root) && root) ++movie_.info.skippedTags;
            if (tag.code == code::ShowFrame) {
                timeline.frames.push_back(std::move(pending));
                pending = {};
            }
        }
        if (!pending.commands.empty()) timeline.frames.push_back(std::move(pending));
        if (trailing) ++timeline.loaded;
        timeline.loops = !trailing && !tags.truncated() && tags.sawEnd();
        if (root) {
            for (size_t code = 0; code < codeCounts_.size(); ++code)
                if (codeCounts_[code]) movie_.info.tagCounts[tagName(code)] += codeCounts_[code];
        }
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
                const auto kind = tag.code == code::PlaceObject    ? DisplayCommand::Place1
                                  : tag.code == code::PlaceObject2 ? DisplayCommand::Place2
                                                                   : DisplayCommand::Place3;
                if (budgetCommand()) pending.commands.push_back(ref(tag, kind));
                return true;
            }
            case code::RemoveObject:
            case code::RemoveObject2:
                if (budgetCommand())
                    pending.commands.push_back(ref(tag, tag.code == code::RemoveObject
                                                            ? DisplayCommand::Remove1
                                                            : DisplayCommand::Remove2));
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
            case code::ScriptLimits: {
                BitReader r(tag.body);
                const int depth = r.u16(), seconds = r.u16();
                if (r.overrun()) return false;
                movie_.info.maxRecursionDepth = depth;
                movie_.info.scriptTimeoutSeconds = seconds;
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
            case code::DefineMorphShape:
            case code::DefineMorphShape2: {
                MorphCharacter m;
                m.body = tag.body;
                m.version = tag.code == code::DefineMorphShape ? 1 : 2;
                m.limits = shapeLimits();
                m.edgeBudget = &movie_.edgeBudget;
                define(tag.body, std::move(m));
                return true;
            }
            case code::JPEGTables:
                if (movie_.jpegTables.empty()) movie_.jpegTables = tag.body;
                return true;
            case code::DefineBits:
            case code::DefineBitsJPEG2:
            case code::DefineBitsJPEG3:
            case code::DefineBitsJPEG4:
            case code::DefineBitsLossless:
            case code::DefineBitsLossless2: {
                BitmapCharacter b;
                b.tag = parseBitmapTag(tag.code, tag.body);
                if (b.tag.valid) define(tag.body, std::move(b));
                return true;
            }
            case code::DefineFont:
            case code::DefineFont2:
            case code::DefineFont3: {
                FontCharacter f;
                f.body = tag.body;
                f.version = tag.code == code::DefineFont    ? 1
                            : tag.code == code::DefineFont2 ? 2
                                                            : 3;
                f.edgeBudget = &movie_.edgeBudget;
                define(tag.body, std::move(f));
                return true;
            }
            case code::DefineFontInfo:
            case code::DefineFontInfo2: {
                if (tag.body.size() < 2) return true;
                const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
                auto it = movie_.characters.find(id);
                if (it == movie_.characters.end()) return true;
                if (auto* f = std::get_if<FontCharacter>(&it->second); f && f->info.empty()) {
                    f->info = tag.body;
                    f->infoVersion = tag.code == code::DefineFontInfo ? 1 : 2;
                }
                return true;
            }
            case code::DefineFontAlignZones:
                return true;  // hinting for small sizes; outlines are drawn as they are
            case code::DefineText:
            case code::DefineText2: {
                TextCharacter t;
                t.body = tag.body;
                t.version = tag.code == code::DefineText ? 1 : 2;
                define(tag.body, std::move(t));
                return true;
            }
            case code::DefineEditText: {
                EditTextCharacter e{parseDefineEditText(tag.body)};
                define(tag.body, std::move(e));
                return true;
            }
            case 74: {  // CSMTextSettings: how a field's text is anti-aliased
                BitReader r(tag.body);
                const uint16_t id = r.u16();
                const uint8_t flags = r.u8();
                const float thickness = r.f32(), sharpness = r.f32();
                auto it = movie_.characters.find(id);
                auto* e = it == movie_.characters.end()
                              ? nullptr
                              : std::get_if<EditTextCharacter>(&it->second);
                if (e && !r.overrun()) {
                    e->text.antiAlias = flags >> 6;
                    e->text.gridFit = (flags >> 3) & 7;
                    e->text.thickness = thickness;
                    e->text.sharpness = sharpness;
                }
                return true;
            }
            case code::DefineButton:
            case code::DefineButton2: {
                ButtonCharacter b{
                    parseDefineButton(tag.body, tag.code == code::DefineButton ? 1 : 2),
                    std::nullopt};
                define(tag.body, std::move(b));
                return true;
            }
            case 56:  // ExportAssets
                readExports(tag.body, static_cast<int>(tl.frames.size()));
                return true;
            case 57:  // ImportAssets
            case 71:  // ImportAssets2
                readImports(tag.body, tag.code == 71, static_cast<int>(tl.frames.size()));
                return true;
            case code::DefineButtonCxform: {
                if (tag.body.size() < 2) return true;
                const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
                auto it = movie_.characters.find(id);
                if (it == movie_.characters.end()) return true;
                if (auto* b = std::get_if<ButtonCharacter>(&it->second))
                    b->cxform = parseButtonCxform(tag.body);
                return true;
            }
            default:
                return false;
        }
    }

    DisplayCommand ref(const Tag& tag, DisplayCommand::Kind kind) const {
        return {static_cast<uint32_t>(tag.body.data() - movie_.data.data()),
                static_cast<uint32_t>(tag.body.size()), kind};
    }

    bool budgetCommand() {
        if (commands_ >= limits_.maxCommandsPerMovie) {
            movie_.info.truncated = true;
            return false;
        }
        ++commands_;
        return true;
    }

    ShapeLimits shapeLimits() const {
        ShapeLimits sl;
        sl.maxEdges = limits_.maxEdgesPerShape;
        sl.maxStyles = limits_.maxStylesPerShape;
        return sl;
    }

    void defineShape(std::span<const uint8_t> body, int version) {
        if (body.size() < 2) return;
        const uint16_t id = static_cast<uint16_t>(body[0] | (body[1] << 8));
        if (movie_.characters.contains(id)) return;  // the first definition wins
        movie_.characters.emplace(id, Character(std::in_place_type<ShapeCharacter>, body, version,
                                                shapeLimits(), &movie_.edgeBudget));
    }

    // Any other character: the id leads the body; the first definition wins.
    template <class C>
    void define(std::span<const uint8_t> body, C&& c) {
        if (body.size() < 2) return;
        const uint16_t id = static_cast<uint16_t>(body[0] | (body[1] << 8));
        if (movie_.characters.contains(id)) return;
        movie_.characters.emplace(id, Character(std::in_place_type<std::decay_t<C>>, std::move(c)));
    }

    void defineSprite(std::span<const uint8_t> body) {
        BitReader r(body);
        SpriteCharacter sp;
        sp.id = r.u16();
        sp.frameCount = r.u16();
        if (r.overrun() || movie_.characters.contains(sp.id)) return;
        read(r.rest(), sp.timeline, false);
        // It plays the frames its stream holds, whatever the header declares.
        sp.timeline.frames.resize(std::max(1, sp.timeline.loaded));
        movie_.characters.emplace(sp.id, std::move(sp));
    }

    void readExports(std::span<const uint8_t> body, int frame) {
        BitReader r(body);
        const int count = r.u16();
        for (int i = 0; i < count && !r.overrun(); ++i) {
            const uint16_t id = r.u16();
            std::string name = r.string();
            if (r.overrun()) break;
            movie_.exportFrames.try_emplace(name, frame);
            movie_.exports.insert_or_assign(std::move(name), id);
        }
    }

    void readImports(std::span<const uint8_t> body, bool v2, int frame) {
        BitReader r(body);
        const std::string url = r.string();
        if (v2) {
            r.u8();
            r.u8();
        }
        const int count = r.u16();
        std::vector<std::pair<uint16_t, std::string>> wanted;
        for (int i = 0; i < count && !r.overrun(); ++i) {
            const uint16_t id = r.u16();
            std::string name = r.string();
            if (r.overrun()) break;
            wanted.emplace_back(id, std::move(name));
        }
        if (wanted.empty()) return;
        auto from = importFile(url);
        if (!from) return;
        for (const auto& want : wanted) {
            const uint16_t id = want.first;
            const std::string& name = want.second;  // a plain name: clang's lambdas need one
            auto it = from->exports.find(name);
            if (it == from->exports.end()) {
                // Export names match regardless of case in SWF 6 and earlier movies.
                it = std::find_if(from->exports.begin(), from->exports.end(), [&](const auto& kv) {
                    return std::ranges::equal(kv.first, name, [](char a, char b) {
                        return std::tolower(static_cast<unsigned char>(a)) ==
                               std::tolower(static_cast<unsigned char>(b));
                    });
                });
                if (it == from->exports.end()) continue;
            }
            importCharacter(from, it->second, id, frame);
        }
    }

    // Another movie named by an import, relative to this movie's folder; null when it cannot
    // be read, is no movie, or would nest too deep or in a cycle.
    std::shared_ptr<const Movie> importFile(const std::string& url) {
        namespace fs = std::filesystem;
        if (!chain_ || limits_.baseDir.empty() || url.empty() || url.size() > 1024) return nullptr;
        if (static_cast<int>(chain_->files.size()) >= limits_.maxImportDepth ||
            chain_->loadsLeft <= 0)
            return nullptr;
        const auto found = format::confinedPath(limits_.baseDir, url);
        if (!found) return nullptr;
        const fs::path& path = *found;
        std::error_code ec;
        const std::string key = path.string();
        if (std::ranges::find(chain_->files, key) != chain_->files.end()) return nullptr;
        const uintmax_t size = fs::file_size(path, ec);
        if (ec || size > chain_->bytesLeft || size > kMaxDeclaredLength) return nullptr;
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
        if (!in) return nullptr;
        chain_->bytesLeft -= size;
        --chain_->loadsLeft;
        LoadLimits sub = limits_;
        sub.baseDir = path.parent_path().string();
        chain_->files.push_back(key);
        std::shared_ptr<const Movie> out;
        try {
            out = loadMovieWith(bytes, sub, *chain_);
        } catch (const LoadError&) {
        }
        chain_->files.pop_back();
        return out;
    }

    // The imported character under this movie's id. Sprites keep their frames and labels but
    // not their display commands, which index the other file's bytes and dictionary.
    void importCharacter(const std::shared_ptr<const Movie>& from, uint16_t fromId, uint16_t id,
                         int frame) {
        if (movie_.characters.contains(id)) return;
        const Character* ch = from->character(fromId);
        if (!ch) return;
        movie_.imported[id] = ImportedCharacter{from, fromId, frame};
        if (const auto* sp = std::get_if<SpriteCharacter>(ch)) {
            SpriteCharacter copy;
            copy.id = id;
            copy.frameCount = sp->frameCount;
            copy.timeline.frames.resize(sp->timeline.frames.size());
            copy.timeline.labels = sp->timeline.labels;
            movie_.characters.emplace(id, std::move(copy));
        } else if (const auto* sh = std::get_if<ShapeCharacter>(ch)) {
            movie_.characters.emplace(
                id, Character(std::in_place_type<ShapeCharacter>, sh->body(), sh->version(),
                              shapeLimits(), &from->edgeBudget));
        } else if (const auto* m = std::get_if<MorphCharacter>(ch)) {
            MorphCharacter c;
            c.body = m->body;
            c.version = m->version;
            c.limits = m->limits;
            c.edgeBudget = &from->edgeBudget;
            movie_.characters.emplace(id, std::move(c));
        } else if (const auto* f = std::get_if<FontCharacter>(ch)) {
            FontCharacter c;
            c.body = f->body;
            c.version = f->version;
            c.info = f->info;
            c.infoVersion = f->infoVersion;
            c.edgeBudget = &from->edgeBudget;
            movie_.characters.emplace(id, std::move(c));
        } else if (const auto* b = std::get_if<BitmapCharacter>(ch); b && !b->tag.usesTables) {
            BitmapCharacter c;
            c.tag = b->tag;
            c.tag.id = id;
            movie_.characters.emplace(id, std::move(c));
        }
    }

    Movie& movie_;
    const LoadLimits& limits_;
    ImportChain* chain_;
    std::array<int, 1024> codeCounts_{};  // tag codes are 10 bits
    size_t commands_ = 0;
};

// Replays the root timeline once; a huge display list makes snapshots sparser, never bigger.
std::vector<TimelineSnapshot> takeSnapshots(const Movie& movie) {
    std::vector<TimelineSnapshot> out;
    DisplayList list;
    const LoadLimits& limits = movie.limits;
    size_t budget = limits.maxSnapshotObjects;
    const int interval = std::max(1, limits.snapshotInterval);
    int lastTaken = -interval;
    const auto& frames = movie.root.frames;
    for (int f = 0; f < static_cast<int>(frames.size()); ++f) {
        applyFrame(list, movie, frames[f], f);
        if (f - lastTaken < interval) continue;
        const size_t cost = list.objects.size() + 1;
        if (cost > budget) break;
        budget -= cost;
        out.push_back({f, list});
        lastTaken = f;
    }
    return out;
}

std::shared_ptr<const Movie> loadMovieWith(std::span<const uint8_t> bytes, const LoadLimits& limits,
                                           ImportChain& chain) {
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
    info.fileBytes = bytes.size();
    info.stageXMin = h.stage.xMin;
    info.stageXMax = h.stage.xMax;
    info.stageYMin = h.stage.yMin;
    info.stageYMax = h.stage.yMax;
    info.frameRate = h.frameRate;
    info.frameCount = h.frameCount;

    movie->data = std::move(c.body);
    movie->edgeBudget.reset(limits.maxEdgesPerMovie);
    movie->limits = limits;
    TimelineBuilder builder(*movie, limits, &chain);
    const bool complete = builder.read(std::span<const uint8_t>(movie->data).subspan(h.tagsOffset),
                                       movie->root, true);
    info.truncated = info.truncated || c.truncated || !complete;
    // Missing frames are empty (the playhead waits before them); extra ones stay reachable,
    // unless the header claims none at all.
    movie->root.frames.resize(h.frameCount > 0 ? std::max(h.frameCount, movie->root.loaded) : 1);
    return movie;
}

}  // namespace

std::optional<int> Timeline::findLabel(std::string_view label) const {
    auto lower = [](std::string_view s) {
        std::string out(s);
        for (char& ch : out)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        return out;
    };
    const std::string want = lower(label);
    std::optional<int> found;
    for (const auto& [name, f] : labels)
        if (lower(name) == want && (!found || f < *found)) found = f;
    return found;
}

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const LoadLimits& limits) {
    ImportChain chain;
    chain.bytesLeft = limits.maxImportBytes;
    return loadMovieWith(bytes, limits, chain);
}

std::shared_ptr<const Movie> loadMovie(std::span<const uint8_t> bytes, const std::string& baseDir) {
    LoadLimits limits;
    limits.baseDir = baseDir;
    return loadMovie(bytes, limits);
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
    return loadMovieAt(bytes, path);
}

std::shared_ptr<const Movie> loadMovieAt(std::span<const uint8_t> bytes,
                                         const std::string& filePath) {
    std::error_code ec;
    const auto full = std::filesystem::absolute(std::filesystem::path(filePath), ec);
    LoadLimits limits;
    if (!ec) {
        limits.baseDir = full.parent_path().string();
        limits.url = fileUrlOf(full.string());
    }
    return loadMovie(bytes, limits);
}

std::string fileUrlOf(const std::string& path) {
    return "file://" + std::filesystem::path(path).lexically_normal().generic_string();
}

const MovieInfo& movieInfo(const Movie& movie) { return movie.info; }

const std::vector<TimelineSnapshot>& Movie::rootSnapshots() const {
    return snapshots_.get([this] { return takeSnapshots(*this); });
}

void applyCommand(DisplayList& list, const Movie& movie, const DisplayCommand& cmd, int frame,
                  int order) {
    const auto body = std::span<const uint8_t>(movie.data).subspan(cmd.offset, cmd.length);
    switch (cmd.kind) {
        case DisplayCommand::Place1:
            list.apply(parsePlaceObject(body, 1), frame, movie.info.version, order);
            break;
        case DisplayCommand::Place2:
            list.apply(parsePlaceObject(body, 2), frame, movie.info.version, order);
            break;
        case DisplayCommand::Place3:
            list.apply(parsePlaceObject(body, 3), frame, movie.info.version, order);
            break;
        case DisplayCommand::Remove1:
            list.apply(parseRemoveObject(body, 1));
            break;
        case DisplayCommand::Remove2:
            list.apply(parseRemoveObject(body, 2));
            break;
    }
}

void applyFrame(DisplayList& list, const Movie& movie, const Frame& frame, int frameIndex) {
    int order = 0;
    for (const auto& cmd : frame.commands) applyCommand(list, movie, cmd, frameIndex, order++);
}

size_t EdgeBudget::take(size_t want) {
    size_t avail = left_.load();
    size_t got;
    do {
        got = std::min(avail, want);
    } while (!left_.compare_exchange_weak(avail, avail - got));
    return got;
}

ShapeCharacter::ShapeCharacter(std::span<const uint8_t> tagBody, int version,
                               format::ShapeLimits limits, EdgeBudget* edgeBudget)
    : body_(tagBody), version_(version), limits_(limits), edgeBudget_(edgeBudget) {}

const ShapeCharacter::Built& ShapeCharacter::get() const {
    return lazy_.get([this] {
        // Take this shape's edges out of the movie's budget; give back what it did not use.
        format::ShapeLimits sl = limits_;
        sl.maxEdges = edgeBudget_->take(sl.maxEdges);
        Built built;
        format::Shape shape = format::parseDefineShape(body_, version_, sl);
        edgeBudget_->giveBack(sl.maxEdges - std::min(sl.maxEdges, shape.edgeCount));
        built.geometry = buildShapeGeometry(shape);
        shape.paths.clear();
        shape.paths.shrink_to_fit();
        built.shape = std::move(shape);
        return built;
    });
}

const format::MorphShape& MorphCharacter::get() const {
    return lazy.get([this] {
        format::ShapeLimits sl = limits;
        sl.maxEdges = edgeBudget->take(sl.maxEdges);
        format::MorphShape m = format::parseDefineMorphShape(body, version, sl);
        // Both edge lists are kept: charge the end edges too.
        const size_t used = m.start.edgeCount + m.endEdges.size();
        edgeBudget->giveBack(sl.maxEdges - std::min(sl.maxEdges, used));
        return m;
    });
}

const FontCharacter::Built& FontCharacter::get() const {
    return lazy.get([this] {
        Built b;
        format::ShapeLimits sl;
        sl.maxEdges = edgeBudget->take(sl.maxEdges);
        b.font = format::parseDefineFont(body, version, sl);
        if (!info.empty()) format::applyFontInfo(b.font, info, infoVersion);
        size_t used = 0;
        for (const auto& g : b.font.glyphs) used += g.edgeCount;
        edgeBudget->giveBack(sl.maxEdges - std::min(sl.maxEdges, used));
        b.glyphs.reserve(b.font.glyphs.size());
        for (auto& g : b.font.glyphs) {
            const ShapeGeometry geo = buildShapeGeometry(g);
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const auto& layer : geo.layers)
                for (const auto& f : layer.fills) path.addPath(f.path);
            settlePath(path);
            b.glyphs.push_back(path);
            g.paths.clear();
            g.paths.shrink_to_fit();
        }
        for (uint32_t i = 0; i < b.font.codes.size(); ++i) b.byCode.emplace(b.font.codes[i], i);
        return b;
    });
}

const format::StaticText& TextCharacter::get() const {
    return lazy.get([this] { return format::parseDefineText(body, version); });
}

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
