#include "engine/avm1/loaded_movie.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <cctype>
#include <exception>

#include "engine/avm1/loader.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/format/container.h"
#include "engine/format/tags.h"
#include "engine/runtime/basics.h"
#include "engine/runtime/instances.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

constexpr size_t kMaxMovies = 256;
constexpr int kMaxLevel = 16000;

Loads* loadsOf(Vm& vm) { return vm.loads.get(); }

// FileAttributes (the first tag) marks a movie made for the newer ActionScript engine.
bool newerScriptEngine(const Movie& movie) {
    constexpr uint16_t kFileAttributes = 69;
    std::span<const uint8_t> data(movie.data);
    try {
        const size_t offset = format::readMovieHeader(data).tagsOffset;
        if (offset > data.size()) return false;
        format::TagReader tags(data.subspan(offset));
        format::Tag tag;
        return tags.next(tag) && tag.code == kFileAttributes && !tag.body.empty() &&
               (tag.body[0] & 0x08);
    } catch (const format::FormatError&) {
        return false;
    }
}

LoadedMovie* movieAtLevel(Vm& vm, int level) {
    if (Loads* l = loadsOf(vm))
        for (const auto& m : l->movies)
            if (m->level == level && !m->into) return m.get();
    return nullptr;
}

LoadedMovie* movieIn(Vm& vm, const ClipHost* clip) {
    if (Loads* l = loadsOf(vm))
        for (const auto& m : l->movies)
            if (m->into == clip || m->runner.get() == clip) return m.get();
    return nullptr;
}

void callHandler(Vm& vm, Object* o, const char* name) {
    if (!o) return;
    vm.enter([&] {
        Value fn = vm.get(o, name);
        if (fn.isObject() && fn.o->fn) vm.call(fn, o, {});
    });
}

// Takes a loaded movie off the stage: its clips unload, its root hears onUnload, and the clip
// it stood in for gets its object back, empty. Freed once no script can be running in it.
void removeMovie(Vm& vm, LoadedMovie* m, bool withEvents) {
    Loads* l = loadsOf(vm);
    if (!l || !m) return;
    auto it = std::find_if(l->movies.begin(), l->movies.end(),
                           [&](const auto& p) { return p.get() == m; });
    if (it == l->movies.end()) return;
    std::shared_ptr<LoadedMovie> keep = *it;
    l->movies.erase(it);
    // Movies loaded into its clips go first.
    for (int guard = 0; guard < 1024; ++guard) {
        LoadedMovie* inner = nullptr;
        for (const auto& o : l->movies)
            if (auto* s = dynamic_cast<SpriteClip*>(o->into); s && &s->runner() == m->runner.get())
                inner = o.get();
        if (!inner) break;
        removeMovie(vm, inner, withEvents);
    }
    Object* obj = m->runner->scriptObject;
    if (withEvents) callHandler(vm, obj, "onUnload");
    m->runner->unloadAll(withEvents);
    if (obj && m->into && !m->into->scriptObject) {
        obj->clip = m->into;
        m->into->scriptObject = obj;
    }
    if (l->graveyard.size() < 4096) l->graveyard.push_back(std::move(keep));
}

// The clip's own objects leave and its timeline stops: loaded content replaces it.
// The scripts' own variables of an object; what the player keeps out of their sight stays.
void clearVariables(Object* o, std::string_view keep = {}) {
    if (!o) return;
    std::vector<std::string> keys;
    for (const Property& prop : o->props())
        if (!prop.hidden && prop.name != keep) keys.push_back(prop.key);
    for (const std::string& k : keys) o->removeOwn(k);
}

// An unloaded clip stays itself, with no content and none of its variables.
void emptyClip(ClipHost* clip) {
    auto* s = dynamic_cast<SpriteClip*>(clip);
    if (!s) return;
    clearVariables(clip->scriptObject);
    if (DisplayObject* o = s->object(); o && o->sprite) {
        o->sprite->list.objects.clear();
        o->sprite->list.drawing.reset();
        o->sprite->playing = false;
    }
}

// JPEG, PNG or GIF bytes as an image, within a size a stage could show; null otherwise.
QImage decodeImage(const std::string& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const bool jpeg = bytes.size() > 3 && b[0] == 0xFF && b[1] == 0xD8;
    const bool png = bytes.size() > 8 && bytes.compare(1, 3, "PNG") == 0 && b[0] == 0x89;
    const bool gif = bytes.size() > 6 && bytes.compare(0, 3, "GIF") == 0;
    if (!jpeg && !png && !gif) return {};
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    constexpr int kMaxSide = 8191;
    if (!size.isValid() || size.width() > kMaxSide || size.height() > kMaxSide ||
        static_cast<int64_t>(size.width()) * size.height() > (16 << 20))
        return {};
    QImage image;
    if (!reader.read(&image)) return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Where a load goes, found again when it is done.
struct Place {
    int level = -1;    // a level, or -1 for a clip
    std::string path;  // the clip's path
};

std::optional<Place> placeOf(Vm& vm, ClipHost* base, std::string_view target, bool clipTarget) {
    Place p;
    p.level = levelNumber(vm, target);
    if (p.level >= 0) return p;
    if (!clipTarget) return std::nullopt;
    ClipHost* t = vm.resolveTarget(target, base);
    if (!t) return Place{-2, {}};
    if (!t->parent()) {
        p.level = t->level();
        return p;
    }
    p.path = vm.targetPath(t);
    return p;
}

// The clip a place names now (a loaded movie's root stands for its clip); null for a level.
ClipHost* clipAt(Vm& vm, const Place& p) {
    if (p.level >= 0) return nullptr;
    ClipHost* t = vm.resolveTarget(p.path, vm.root_);
    if (auto* r = dynamic_cast<ScriptRunner*>(t); r && r->loadedMovie() && r->standIn())
        t = r->standIn();
    return t;
}

void unloadAt(Vm& vm, const Place& p) {
    if (p.level > 0) {
        removeMovie(vm, movieAtLevel(vm, p.level), true);
        return;
    }
    ClipHost* t = clipAt(vm, p);
    if (!t) return;
    if (LoadedMovie* m = movieIn(vm, t))
        removeMovie(vm, m, true);
    else
        emptyClip(t);
}

// The bytes are a movie: it takes its place, and the loader hears of each step.
void loadAt(Vm& vm, Object* loader, const std::string& url, const Place& p, bool late);

// A request that finds no file (an empty one unloads) is answered a frame after one that does.
void answerLater(Vm& vm, Object* loader, const std::string& url, const Place& p) {
    queueCall(
        vm, [loader, url, p](Vm& vm) { loadAt(vm, loader, url, p, true); },
        {loader ? Value(loader) : Value()}, Loads::Due::NextFrame);
}

void loadAt(Vm& vm, Object* loader, const std::string& url, const Place& p, bool late) {
    Loads* l = loadsOf(vm);
    if (!l) return;
    if (url.empty()) {
        if (!late) return answerLater(vm, loader, url, p);
        unloadAt(vm, p);
        return;
    }
    // The quit command reaches the player as a load would, and ends it.
    if (isQuitCommand(url)) {
        vm.quitRequested = true;
        return;
    }
    ClipHost* target = clipAt(vm, p);
    if (p.level < 0 && !target) return;  // nothing there
    auto clipValue = [&](ClipHost* c) {
        if (c) return Value(vm.clipObject(c));
        if (ClipHost* lv = levelRoot(vm, p.level)) return Value(vm.clipObject(lv));
        return Value("_level" + std::to_string(p.level));
    };
    const std::optional<std::string> bytes = readLocalFile(vm, url);
    if (!bytes && !late) return answerLater(vm, loader, url, p);
    if (!bytes) {
        if (loader)
            broadcast(vm, loader, "onLoadError",
                      {clipValue(target), Value("URLNotFound"), Value(0)});
        return;
    }
    std::shared_ptr<const Movie> movie;
    QImage image = decodeImage(*bytes);
    if (!image.isNull()) {
        // A picture plays as a movie of one empty frame that draws it.
        auto blank = std::make_shared<Movie>();
        blank->info.version = vm.version();
        blank->info.length = static_cast<uint32_t>(bytes->size());
        blank->info.fileBytes = bytes->size();
        blank->root.frames.resize(1);
        blank->root.loaded = 1;
        blank->info.frameCount = 1;
        movie = std::move(blank);
    } else
        try {
            LoadLimits limits;
            limits.baseDir = l->baseDir;
            limits.url = fileUrl(vm, url);
            movie = loadMovie(
                std::span(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()), limits);
        } catch (const std::exception&) {
            movie = nullptr;
        }
    if (movie && movie->root.frames.empty()) movie = nullptr;
    if (p.level == 0 && (!movie || l->movies.size() >= kMaxMovies)) return;
    // What was there before goes.
    Object* rootObject = nullptr;
    if (p.level == 0) {
        // A movie replacing level 0 takes over the root's object and the stage.
        rootObject = vm.clipObject(vm.root_);
        // The old movie's intervals and timeouts go with it.
        vm.timers.clear();
        if (LoadedMovie* m = movieAtLevel(vm, 0)) {
            removeMovie(vm, m, true);
        } else if (auto* main = dynamic_cast<ScriptRunner*>(vm.root_)) {
            if (DisplayList* dl = main->listOf(main)) dl->objects.clear();
            main->stop();
            main->scriptObject = nullptr;
        }
    } else if (p.level > 0)
        removeMovie(vm, movieAtLevel(vm, p.level), true);
    else if (LoadedMovie* m = movieIn(vm, target))
        removeMovie(vm, m, true);
    if (target) emptyClip(target);
    Value mc = clipValue(target);
    double size = 0;
    std::shared_ptr<LoadedMovie> lm;
    if (movie && l->movies.size() < kMaxMovies) {
        size = static_cast<double>(bytes->size());
        lm = std::make_shared<LoadedMovie>(vm, movie, target, p.level);
        lm->image = std::move(image);
        if (target) {
            // The clip's object now speaks for the movie, which starts with none of the old
            // clip's variables.
            Object* o = vm.clipObject(target);
            clearVariables(o);
            o->setProto(vm.clipProto);
            target->scriptObject = nullptr;
            o->clip = lm->runner.get();
            lm->runner->scriptObject = o;
        }
        if (rootObject) {
            clearVariables(rootObject, "$version");
            rootObject->setProto(vm.clipProto);
            rootObject->clip = lm->runner.get();
            lm->runner->scriptObject = rootObject;
            vm.setRoot(lm->runner.get());
        }
        l->movies.push_back(lm);
        lm->enterFrame(0);
        mc = Value(vm.clipObject(lm->runner.get()));
    }
    if (loader) {
        setSlot(vm, loader,
                "progress:" + (p.level >= 0 ? "_level" + std::to_string(p.level) : p.path),
                Value(size));
        broadcast(vm, loader, "onLoadStart", {mc});
        broadcast(vm, loader, "onLoadProgress", {mc, Value(size), Value(size)});
        broadcast(vm, loader, "onLoadComplete", {mc, Value(0)});
    }
    if (l->inits.size() < Loads::kMaxJobs)
        l->inits.push_back({lm, loader ? Value(loader) : Value(), mc});
}

}  // namespace

// ---------------------------------------------------------------- one loaded movie

LoadedMovie::LoadedMovie(Vm& vm, std::shared_ptr<const Movie> m, ClipHost* into_, int level_)
    : movie(std::move(m)), into(into_), level(level_) {
    total = std::max<int>(1, static_cast<int>(movie->root.frames.size()));
    ScriptRunner::Hooks hooks{[this] { return frame; }, [this](int f) { seek(f); },
                              [this] { return playing; }, [this](bool p) { playing = p; },
                              [this] { return &list; }};
    // A movie for the newer ActionScript engine plays, but its action tags are not ours to run.
    ScriptIndex scripts = newerScriptEngine(*movie) ? ScriptIndex{} : indexScripts(*movie);
    runner = std::make_unique<ScriptRunner>(*movie, std::move(hooks), std::move(scripts), &vm);
    runner->placeAs(into, std::max(0, level));
}

LoadedMovie::~LoadedMovie() = default;

void LoadedMovie::enterFrame(int f) {
    if (f < 0 || static_cast<size_t>(f) >= movie->root.frames.size()) return;
    applyFrame(list, *movie, movie->root.frames[f], f);
    frame = f;
    InstanceContext ctx{*movie};
    startInstances(list, ctx);
}

void LoadedMovie::seek(int target) {
    target = std::clamp(target, 0, total - 1);
    if (target == frame || movie->root.frames.empty()) return;
    InstanceContext ctx{*movie};
    if (target > frame) {
        for (int f = frame + 1; f <= target; ++f)
            applyFrame(list, *movie, movie->root.frames[f], f);
        frame = target;
        startInstances(list, ctx);
        return;
    }
    DisplayList rebuilt;
    rebuilt.drawing = list.drawing;
    for (int f = 0; f <= target; ++f) applyFrame(rebuilt, *movie, movie->root.frames[f], f);
    carryStates(list, rebuilt, ctx, 0, true);
    list = std::move(rebuilt);
    frame = target;
}

void LoadedMovie::tick() {
    runner->dropRemoved();
    InstanceContext ctx{*movie};
    tickInstances(list, ctx);
    if (playing) {
        const int next = frame + 1 < total ? frame + 1 : 0;
        if (next == frame + 1)
            enterFrame(next);
        else
            seek(next);
    }
    runner->sync(true);
}

// ---------------------------------------------------------------- requests

int levelNumber(std::string_view name) {
    constexpr std::string_view kLevel = "_level";
    if (name.size() <= kLevel.size() || name.size() > kLevel.size() + 5) return -1;
    for (size_t i = 0; i < kLevel.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != kLevel[i]) return -1;
    int n = 0;
    for (size_t i = kLevel.size(); i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n <= kMaxLevel ? n : -1;
}

int levelNumber(const Vm& vm, std::string_view name) {
    return vm.version() >= 7 && name.substr(0, 6) != "_level" ? -1 : levelNumber(name);
}

bool requestMovie(Vm& vm, ClipHost* base, std::string_view url, std::string_view target,
                  bool targetIsClip) {
    const std::optional<Place> p = placeOf(vm, base, target, targetIsClip);
    if (!p) return false;
    if (p->level < -1) return true;  // no such clip
    queueCall(
        vm, [place = *p, u = std::string(url)](Vm& vm) { loadAt(vm, nullptr, u, place, false); },
        {}, Loads::Due::FrameEnd);
    return true;
}

void requestClip(Vm& vm, Object* loader, std::string url, std::string target) {
    Place p;
    p.level = levelNumber(vm, target);
    if (p.level < 0) p.path = std::move(target);
    queueCall(
        vm,
        [loader, place = std::move(p), u = std::move(url)](Vm& vm) {
            loadAt(vm, loader, u, place, false);
        },
        {Value(loader)}, Loads::Due::FrameEnd);
}

// ---------------------------------------------------------------- levels and roots

ClipHost* levelRoot(Vm& vm, int level) {
    if (level == 0) return vm.root_;
    LoadedMovie* m = movieAtLevel(vm, level);
    return m ? m->runner.get() : nullptr;
}

ClipHost* rootOf(Vm& vm, ClipHost* clip) {
    ClipHost* c = clip ? clip : vm.root_;
    const std::string lock = vm.key("_lockroot");
    for (int guard = 0; c && guard < 256; ++guard) {
        if (c->scriptObject && c->parent()) {
            if (Property* p = c->scriptObject->findOwn(lock);
                p && !p->isAccessor() && vm.toBoolean(p->value))
                return c;
        }
        if (!c->parent()) return c;
        c = c->parent();
    }
    return vm.root_;
}

std::vector<ClipHost*> levelRoots(Vm& vm) {
    std::vector<std::pair<int, ClipHost*>> levels;
    if (Loads* l = loadsOf(vm))
        for (const auto& m : l->movies)
            if (!m->into && m->level > 0) levels.emplace_back(m->level, m->runner.get());
    std::sort(levels.begin(), levels.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ClipHost*> out;
    for (const auto& [n, c] : levels) out.push_back(c);
    return out;
}

ClipHost* shownClip(Vm& vm, ClipHost* clip) {
    Loads* l = loadsOf(vm);
    if (!l || l->movies.empty()) return clip;
    for (const auto& m : l->movies)
        if (m->into == clip) return m->runner.get();
    return clip;
}

void settleLoadedBounds(Vm& vm) {
    if (Loads* l = loadsOf(vm))
        for (const auto& m : l->movies) m->list.settleBounds();
}

std::vector<const LoadedMovie*> loadedMovies(Vm& vm) {
    std::vector<const LoadedMovie*> out;
    if (Loads* l = loadsOf(vm))
        for (const auto& m : l->movies) out.push_back(m.get());
    return out;
}

std::optional<QTransform> stagePlacement(Vm& vm, const LoadedMovie& movie) {
    (void)vm;
    QTransform at;
    ClipHost* c = movie.into ? movie.into : movie.runner.get();
    for (int guard = 0; c && guard < 256; ++guard) {
        if (auto* s = dynamic_cast<SpriteClip*>(c)) {
            const DisplayObject* o = s->object();
            if (!o || !o->visible) return std::nullopt;
            const format::Matrix& m = o->matrix;
            at = at * QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty);
            c = s->parent();
        } else if (auto* r = dynamic_cast<ScriptRunner*>(c); r && r->standIn()) {
            c = r->standIn();
        } else {
            // A level's root, placed on the stage where scripts moved it.
            if (const DisplayObject* o = r ? r->rootPlacement() : nullptr) {
                if (!o->visible) return std::nullopt;
                const format::Matrix& m = o->matrix;
                at = at * QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty);
            }
            break;
        }
    }
    return at;
}

ScriptRunner* runnerFor(Vm& vm, ClipHost* clip) {
    if (auto* r = dynamic_cast<ScriptRunner*>(clip)) return r;
    if (auto* s = dynamic_cast<SpriteClip*>(clip)) return &s->runner();
    return dynamic_cast<ScriptRunner*>(&vm.host());
}

// ---------------------------------------------------------------- the frame's work

void tickLoadedMovies(Vm& vm) {
    Loads* l = loadsOf(vm);
    if (!l || l->movies.empty()) return;
    const std::vector<std::shared_ptr<LoadedMovie>> now = l->movies;
    for (const auto& m : now) {
        if (!m->started) continue;
        if (std::find(l->movies.begin(), l->movies.end(), m) == l->movies.end()) continue;
        m->tick();
    }
}

void startLoadedMovies(Vm& vm) {
    Loads* l = loadsOf(vm);
    if (!l || l->inits.empty()) return;
    std::vector<Loads::Init> inits;
    inits.swap(l->inits);
    // Newest first, as the player runs new clips: their first frames, then onLoadInit.
    std::reverse(inits.begin(), inits.end());
    for (const auto& i : inits) {
        std::shared_ptr<LoadedMovie> m = i.movie.lock();
        if (!m || m->started) continue;
        if (std::find(l->movies.begin(), l->movies.end(), m) == l->movies.end()) continue;
        m->started = true;
        if (m->into)
            if (ScriptRunner* host = runnerFor(vm, m->into)) host->movieLoadedInto(m->into);
        m->runner->frameEntered(0);
    }
    for (const auto& i : inits)
        if (i.listener.isObject()) broadcast(vm, i.listener.o, "onLoadInit", {i.clip});
}

void loadTargetGone(Vm& vm, ClipHost* clip) {
    Loads* l = loadsOf(vm);
    if (!l || l->movies.empty()) return;
    for (const auto& m : l->movies)
        if (m->into == clip) {
            m->into = nullptr;  // the clip is going: nothing to hand its object back to
            m->runner->placeAs(nullptr, 0);
            removeMovie(vm, m.get(), true);
            return;
        }
}

void markLoadedMovies(Vm& vm, std::vector<Object*>& out) {
    Loads* l = loadsOf(vm);
    if (!l) return;
    for (const auto& i : l->inits) {
        if (i.listener.isObject()) out.push_back(i.listener.o);
        if (i.clip.isObject()) out.push_back(i.clip.o);
    }
    // Levels are roots of their own: their clips keep their objects while on stage.
    std::vector<ClipHost*> work = levelRoots(vm);
    for (size_t i = 0; i < work.size() && i < 1000000; ++i) {
        if (work[i]->scriptObject) out.push_back(work[i]->scriptObject);
        for (ClipHost* c : vm.childrenOf(work[i])) work.push_back(c);
    }
}

}  // namespace swf::avm1
