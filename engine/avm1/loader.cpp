#include "engine/avm1/loader.h"

#include <QStringDecoder>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/net_stream.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/format/confined_path.h"
#include "engine/format/container.h"
#include "engine/format/tags.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

constexpr uint16_t kFileAttributes = 69, kDefineSprite = 39, kDefineSound = 14;

Loads* loadsOf(Vm& vm) { return vm.loads.get(); }

int hexDigit(char ch) {
    return ch >= '0' && ch <= '9'   ? ch - '0'
           : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
           : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                    : -1;
}

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t more = c < 0x80           ? 0
                            : (c >> 5) == 0x06 ? 1
                            : (c >> 4) == 0x0E ? 2
                            : (c >> 3) == 0x1E ? 3
                                               : 9;
        if (more == 9 || more >= s.size() - i) {
            if (more != 0) return false;
        }
        for (size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += more + 1;
    }
    return true;
}

// Text in the Japanese system code page, when it reads as such and uses its two-byte
// characters; nullopt otherwise.
std::optional<std::string> fromShiftJis(std::string_view bytes) {
    bool doubleByte = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            if (i + 1 >= bytes.size()) return std::nullopt;
            const auto t = static_cast<unsigned char>(bytes[++i]);
            if (t < 0x40 || t == 0x7F || t > 0xFC) return std::nullopt;
            doubleByte = true;
        } else if (c == 0x80 || c == 0xA0 || c > 0xFC) {
            return std::nullopt;
        }
    }
    if (!doubleByte) return std::nullopt;
    QStringDecoder decode("Shift_JIS");
    if (!decode.isValid()) return std::nullopt;
    const QString text = decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decode.hasError()) return std::nullopt;
    return text.toStdString();
}

// Text that starts with a UTF-16 mark; UTF-32 is not read and gives empty text.
std::optional<std::string> fromMarkedUnicode(std::string_view bytes) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 4 && ((at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) ||
                              (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0)))
        return std::string();
    if (bytes.size() < 2) return std::nullopt;
    const bool be = at(0) == 0xFE && at(1) == 0xFF, le = at(0) == 0xFF && at(1) == 0xFE;
    if (!be && !le) return std::nullopt;
    QStringDecoder decode(be ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
    const QString text =
        decode(QByteArrayView(bytes.data() + 2, static_cast<qsizetype>(bytes.size() - 2)));
    return text.toStdString();
}

std::string textOf(std::string_view bytes, bool codepage) {
    if (auto marked = fromMarkedUnicode(bytes)) return *marked;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB &&
        static_cast<unsigned char>(bytes[2]) == 0xBF)
        bytes.remove_prefix(3);
    if (!codepage || validUtf8(bytes)) return std::string(bytes);
    if (auto sjis = fromShiftJis(bytes)) return *sjis;
    return latin1ToUtf8(bytes);
}

std::string formDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 &&
                   hexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string formEncode(std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : s) {
        if (std::isalnum(ch) || ch == '-' || ch == '_' || ch == '.' || ch == '*')
            out += static_cast<char>(ch);
        else if (ch == ' ')
            out += '+';
        else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

bool useCodepage(Vm& vm) {
    if (vm.version() < 6) return true;
    Value sys = vm.get(vm.global, "System");
    return sys.isObject() && vm.toBoolean(vm.get(sys.o, "useCodepage"));
}

void setVariables(Vm& vm, Object* o, std::string_view text) {
    for (auto& [name, value] : decodeVariables(text, useCodepage(vm))) {
        if (name.empty()) continue;
        vm.set(o, name, Value(value));
    }
}

Object* addClass(Vm& vm, std::string_view name, NativeFn ctor) {
    Object* f = vm.newFunction(std::move(ctor));
    vm.defineValue(vm.global, name, f);
    return vm.get(f, "prototype").o;
}

uint64_t dueFrame(const Loads& l, Loads::Due due) {
    switch (due) {
        case Loads::Due::Now:
            return l.frame;
        case Loads::Due::FrameEnd:
            return l.betweenFrames ? l.frame + 1 : l.frame;
        case Loads::Due::NextFrame:
            break;
    }
    return l.frame + 1;
}

void queueData(Vm& vm, Object* self, std::string_view url) {
    Loads* l = loadsOf(vm);
    if (!l || !self || l->jobs.size() >= Loads::kMaxJobs) return;
    l->jobs.push_back({Loads::Job::Data, self, {}, std::string(url)});
    l->jobs.back().due = dueFrame(*l, Loads::Due::FrameEnd);
}

// A load on its way: nothing has arrived yet, and the object is not loaded; the size is
// known only once the file is read.
void beginLoad(Vm& vm, Object* o, const Value& url) {
    vm.defineValue(o, "_bytesLoaded", Value(0));
    vm.defineValue(o, "_bytesTotal", Value());
    vm.defineValue(o, "loaded", Value(false));
    queueData(vm, o, vm.toString(url));
}

Value nativeLoad(Vm& vm, Object* self, Args& a) {
    if (!self || a.empty()) return Value(false);
    beginLoad(vm, self, a[0]);
    return Value(true);
}

// The reply to what is sent goes to the target object; with no network, only a local file
// answers.
Value nativeSendAndLoad(Vm& vm, Object* self, Args& a) {
    if (!self || a.size() < 2 || !a[1].isObject()) return Value(false);
    beginLoad(vm, a[1].o, a[0]);
    return Value(true);
}

Value nativeSend(Vm&, Object* self, Args& a) { return Value(self && !a.empty()); }

// Sets the variables of a query string on any object; nothing to decode answers false.
Value nativeDecode(Vm& vm, Object* self, Args& a) {
    if (a.empty()) return Value(false);
    if (self) setVariables(vm, self, vm.toString(a[0]));
    return {};
}

Value bytesLoaded(Vm& vm, Object* self, Args&) {
    return self ? vm.get(self, "_bytesLoaded") : Value();
}
Value bytesTotal(Vm& vm, Object* self, Args&) {
    return self ? vm.get(self, "_bytesTotal") : Value();
}

void installLoadVars(Vm& vm) {
    Object* proto = addClass(vm, "LoadVars", [](Vm&, Object*, Args&) -> Value { return {}; });
    // LoadVars came with Flash 6.
    vm.addFlags(vm.global, "LoadVars", From6);
    vm.defineValue(proto, "contentType", Value("application/x-www-form-urlencoded"));
    vm.defineMethod(proto, "load", nativeLoad);
    vm.defineMethod(proto, "sendAndLoad", nativeSendAndLoad);
    vm.defineMethod(proto, "send", nativeSend);
    vm.defineMethod(proto, "decode", nativeDecode);
    vm.defineMethod(proto, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return Value("");
        std::string out;
        for (const std::string& name : vm.enumerate(self)) {
            const Value v = vm.get(self, name);
            if (v.isObject() && v.o->fn) continue;
            if (!out.empty()) out += '&';
            out += formEncode(name) + '=' + formEncode(vm.toString(v));
        }
        return Value(out);
    });
    vm.defineMethod(proto, "getBytesLoaded", bytesLoaded);
    vm.defineMethod(proto, "getBytesTotal", bytesTotal);
    vm.defineMethod(proto, "addRequestHeader", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "onLoad", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "onData", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        if (arg(a, 0).isUndefined()) {
            vm.callMethod(Value(self), "onLoad", {Value(false)});
        } else {
            vm.callMethod(Value(self), "decode", {a[0]});
            vm.set(self, "loaded", Value(true));
            vm.callMethod(Value(self), "onLoad", {Value(true)});
        }
        return {};
    });
}

void installXmlLoad(Vm& vm) {
    Value xml = vm.get(vm.global, "XML");
    if (!xml.isObject()) return;
    Value p = vm.get(xml.o, "prototype");
    if (!p.isObject()) return;
    // Plain properties, as the rest of XML's members; the byte counts are script functions.
    vm.defineMethod(p.o, "load", nativeLoad, 0);
    vm.defineMethod(p.o, "sendAndLoad", nativeSendAndLoad, 0);
    vm.defineFunction(p.o, "getBytesLoaded", bytesLoaded, 0);
    vm.defineFunction(p.o, "getBytesTotal", bytesTotal, 0);
}

// The clip (or level) a loadClip target names; null when there is none.
std::optional<std::string> clipTargetPath(Vm& vm, const Value& t) {
    if (t.isNumber()) {
        if (!std::isfinite(t.n) || t.n < 0 || t.n > 16000) return std::nullopt;
        return "_level" + std::to_string(static_cast<int>(t.n));
    }
    if (t.isObject() && t.o->cls == ObjClass::MovieClip)
        return t.o->clip ? std::optional(vm.targetPath(t.o->clip)) : std::nullopt;
    if (!t.isString()) return std::nullopt;
    if (levelNumber(vm, t.s) >= 0) return t.s;
    ClipHost* c = vm.resolveTarget(t.s, vm.root_);
    if (!c) return std::nullopt;
    if (!c->parent()) return "_level" + std::to_string(c->level());
    return vm.targetPath(c);
}

void installMovieClipLoader(Vm& vm) {
    Object* proto = addClass(vm, "MovieClipLoader", [](Vm& vm, Object* self, Args&) -> Value {
        Value bc = vm.get(vm.global, "AsBroadcaster");
        if (!self || !bc.isObject()) return {};
        setSlot(vm, self, "movieClipLoader", Value(true));
        vm.callMethod(bc, "initialize", {Value(self)});
        vm.callMethod(Value(self), "addListener", {Value(self)});
        return {};
    });
    vm.defineMethod(proto, "loadClip", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.size() < 2) return {};
        if (!a[0].isString()) return Value(false);
        const std::optional<std::string> path = clipTargetPath(vm, a[1]);
        if (!path) return Value(false);
        requestClip(vm, self, a[0].s, *path);
        return Value(true);
    });
    vm.defineMethod(proto, "unloadClip", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return Value(false);
        const std::optional<std::string> path = clipTargetPath(vm, a[0]);
        if (!path) return Value(false);
        requestClip(vm, nullptr, {}, *path);
        return Value(true);
    });
    // Bytes of the movie in a clip or level; undefined fields for a path that names nothing,
    // undefined for anything that is no target.
    vm.defineMethod(proto, "getProgress", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty() || !getSlot(self, "movieClipLoader").isBool()) return {};
        const Value& t = a[0];
        ClipHost* clip = nullptr;
        if (t.isNumber()) {
            if (!std::isfinite(t.n) || t.n < 0 || t.n > 16000) return {};
            clip = levelRoot(vm, static_cast<int>(t.n));
        } else if (t.isObject() && t.o->cls == ObjClass::MovieClip) {
            clip = t.o->clip;
        } else if (t.isString()) {
            clip = vm.resolveTarget(t.s, vm.root_);
        } else {
            return {};
        }
        // A bare record: no prototype, so it shows as [type Object].
        Object* o = vm.newObject(nullptr);
        std::optional<double> n = clip ? clipBytes(vm, clip) : std::nullopt;
        // A level asked by number reports its file as read; its clip, the movie it holds.
        if (auto* r = dynamic_cast<ScriptRunner*>(clip); r && !clip->parent() && t.isNumber())
            n = static_cast<double>(r->movie().info.fileBytes);
        vm.set(o, "bytesLoaded", n ? Value(*n) : Value());
        vm.set(o, "bytesTotal", n ? Value(*n) : Value());
        return Value(o);
    });
    // The class is there from Flash 6, its methods from Flash 7.
    for (const char* m : {"loadClip", "unloadClip", "getProgress"}) vm.addFlags(proto, m, From7);
}

}  // namespace

// ---------------------------------------------------------------- slots

void setSlot(Vm& vm, Object* o, std::string_view name, Value v) {
    if (!o) return;
    const std::string k = std::string("\x01") + std::string(name);
    Property& p = o->setOwn(k, k, std::move(v), DontEnum | DontDelete);
    p.hidden = true;
    (void)vm;
}

Value getSlot(Object* o, std::string_view name) {
    if (!o) return {};
    const std::string k = std::string("\x01") + std::string(name);
    Property* p = o->findAny(k);
    return p && p->hidden ? p->value : Value();
}

// ---------------------------------------------------------------- files and text

namespace {

constexpr std::string_view kFileScheme = "file://";

// A file:// URL into the movie's own folder, as a movie builds one from its _url, is the
// name below it; anything else is left as it is.
std::string_view belowBase(const Loads& l, std::string_view url) {
    if (!url.starts_with(kFileScheme)) return url;
    const std::string base = std::filesystem::path(l.baseDir).lexically_normal().generic_string();
    std::string_view rest = url.substr(kFileScheme.size());
    if (!rest.starts_with(base) || rest.size() <= base.size() || rest[base.size()] != '/')
        return url;
    return rest.substr(base.size() + 1);
}

}  // namespace

std::string fileUrl(const Vm& vm, std::string_view url) {
    const Loads* l = const_cast<Vm&>(vm).loads.get();
    if (url.starts_with(kFileScheme)) return std::string(url);
    if (!l || l->baseDir.empty()) return {};
    std::string_view u = url;
    if (auto q = u.find_first_of("?#"); q != std::string_view::npos) u = u.substr(0, q);
    return fileUrlOf((std::filesystem::path(l->baseDir) / std::string(u)).string());
}

std::optional<std::string> readLocalFile(const Vm& vm, std::string_view url, uintmax_t maxBytes) {
    namespace fs = std::filesystem;
    const Loads* l = const_cast<Vm&>(vm).loads.get();
    if (!l || l->baseDir.empty() || url.empty() || url.size() > 1024) return std::nullopt;
    std::string_view u = belowBase(*l, url);
    if (auto q = u.find_first_of("?#"); q != std::string_view::npos) u = u.substr(0, q);
    // No scheme passes it: nothing leaves the machine. A name ends at an escaped NUL.
    std::string name = formDecode(u);
    if (auto nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
    const auto found = format::confinedPath(l->baseDir, name);
    if (!found) return std::nullopt;
    const fs::path& path = *found;
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size > maxBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    if (!in) return std::nullopt;
    const_cast<Loads*>(l)->readThisPass += size;
    return bytes;
}

std::vector<std::pair<std::string, std::string>> decodeVariables(std::string_view text,
                                                                 bool codepage) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = 0;
    while (i <= text.size() && out.size() < (1u << 20)) {
        size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) amp = text.size();
        const std::string_view pair = text.substr(i, amp - i);
        if (!pair.empty()) {
            const size_t eq = pair.find('=');
            const std::string_view name = pair.substr(0, eq);
            const std::string_view value =
                eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
            out.emplace_back(textOf(formDecode(name), codepage),
                             textOf(formDecode(value), codepage));
        }
        i = amp + 1;
    }
    return out;
}

// ---------------------------------------------------------------- requests

void requestVariables(Vm& vm, std::string targetPath, std::string_view url) {
    Loads* l = loadsOf(vm);
    if (!l || l->jobs.size() >= Loads::kMaxJobs) return;
    l->jobs.push_back({Loads::Job::Variables, nullptr, std::move(targetPath), std::string(url)});
    l->jobs.back().due = dueFrame(*l, Loads::Due::FrameEnd);
}

void openUrl(Vm& vm, std::string_view url, std::string_view target) {
    if (isQuitCommand(url)) vm.quitRequested = true;
    vm.host().getUrl(url, target);
}

bool isQuitCommand(std::string_view url) {
    constexpr std::string_view kQuit = "fscommand:quit";
    if (url.size() != kQuit.size()) return false;
    for (size_t i = 0; i < url.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != kQuit[i]) return false;
    return true;
}

bool requestUrl(Vm& vm, ClipHost* base, std::string_view url, std::string_view target,
                uint8_t flags) {
    if (!(flags & 0x80)) return requestMovie(vm, base, url, target, flags & 0x40);
    std::string path;
    if (flags & 0x40) {
        ClipHost* clip = vm.resolveTarget(target, base);
        if (!clip) return true;
        path = vm.targetPath(clip);
    } else {
        // loadVariablesNum: the target names a level.
        path = std::string(target);
    }
    requestVariables(vm, std::move(path), url);
    return true;
}

static void runJob(Vm& vm, Loads::Job& job) {
    const std::optional<std::string> bytes =
        job.kind == Loads::Job::Call ? std::nullopt : readLocalFile(vm, job.url);
    vm.enter([&] {
        if (job.kind == Loads::Job::Call) {
            if (job.run) job.run(vm);
        } else if (job.kind == Loads::Job::Data) {
            Object* o = job.target;
            if (bytes) {
                vm.defineValue(o, "_bytesLoaded", Value(static_cast<double>(bytes->size())));
                vm.defineValue(o, "_bytesTotal", Value(static_cast<double>(bytes->size())));
            }
            Value data = bytes ? Value(textOf(*bytes, useCodepage(vm))) : Value();
            vm.callMethod(Value(o), "onData", {data});
        } else if (bytes) {
            ClipHost* clip = vm.resolveTarget(job.targetPath, vm.root_);
            if (!clip) return;
            if (Object* o = vm.clipObject(clip)) setVariables(vm, o, *bytes);
        }
    });
}

void completeLoads(Vm& vm) {
    Loads* l = loadsOf(vm);
    // Not while scripts run: a load may replace the movie they belong to.
    if (!l || !vm.contexts.empty()) return;
    l->graveyard.clear();
    vm.enter([&] {
        updateSounds(vm);
        updateStreams(vm);
    });
    // What is due now is finished in the order asked; events the handlers raise follow in the
    // same pass, up to a bound, while their loads wait for a later frame.
    l->readThisPass = 0;
    runBetweenFrames(vm, [&] {
        for (int round = 0; round < 16 && !vm.quitRequested; ++round) {
            l->running.clear();
            std::deque<Loads::Job> later;
            for (Loads::Job& j : l->jobs)
                (j.due <= l->frame ? l->running : later).push_back(std::move(j));
            l->jobs = std::move(later);
            if (l->running.empty()) break;
            size_t i = 0;
            for (; i < l->running.size() && l->readThisPass < Loads::kMaxBytesPerPass &&
                   !vm.quitRequested;
                 ++i)
                runJob(vm, l->running[i]);
            // Past the pass's reading budget: the rest wait for the next frame, in order.
            for (size_t k = l->running.size(); k-- > i;)
                l->jobs.push_front(std::move(l->running[k]));
            l->running.clear();
            if (l->readThisPass >= Loads::kMaxBytesPerPass) break;
        }
        // The movies that arrived run their first frames between frames too.
        startLoadedMovies(vm);
    });
}

void loadsNextFrame(Vm& vm) {
    if (Loads* l = loadsOf(vm)) ++l->frame;
}

void runBetweenFrames(Vm& vm, const std::function<void()>& fn) {
    Loads* l = loadsOf(vm);
    const bool was = l && l->betweenFrames;
    if (l) l->betweenFrames = true;
    fn();
    if (l) l->betweenFrames = was;
}

void markLoads(Vm& vm, std::vector<Object*>& out) {
    Loads* l = loadsOf(vm);
    if (!l) return;
    for (const auto& j : l->running) {
        if (j.target) out.push_back(j.target);
        for (const Value& v : j.hold)
            if (v.isObject()) out.push_back(v.o);
    }
    for (const auto& j : l->jobs) {
        if (j.target) out.push_back(j.target);
        for (const Value& v : j.hold)
            if (v.isObject()) out.push_back(v.o);
    }
    for (const auto& [name, o] : l->connections) out.push_back(o);
    markLoadedMovies(vm, out);
    for (Object* o : l->playing) out.push_back(o);
    for (Object* o : l->streams) out.push_back(o);
}

void queueCall(Vm& vm, std::function<void(Vm&)> fn, std::vector<Value> hold, Loads::Due due) {
    Loads* l = loadsOf(vm);
    if (!l || l->jobs.size() >= Loads::kMaxJobs) return;
    Loads::Job job;
    job.kind = Loads::Job::Call;
    job.run = std::move(fn);
    job.hold = std::move(hold);
    job.due = dueFrame(*l, due);
    l->jobs.push_back(std::move(job));
}

NativeFn loadNative(int index) {
    switch (index) {
        case 0:
            return nativeLoad;
        case 1:
            return nativeSend;
        case 2:
            return nativeSendAndLoad;
        case 3:
            return nativeDecode;
        default:
            return [](Vm&, Object*, Args&) -> Value { return {}; };
    }
}

// ---------------------------------------------------------------- the movie's facts

void attachLoader(Vm& vm, const Movie& movie) {
    if (!vm.loads) return;
    Loads& l = *vm.loads;
    l.baseDir = movie.limits.baseDir;
    l.movieLength = movie.info.length;
    std::span<const uint8_t> data(movie.data);
    size_t offset = 0;
    try {
        offset = format::readMovieHeader(data).tagsOffset;
    } catch (const format::FormatError&) {
        return;
    }
    if (offset > data.size()) return;
    format::TagReader tags(data.subspan(offset));
    format::Tag tag;
    bool first = true;
    while (tags.next(tag)) {
        if (first && tag.code == kFileAttributes && !tag.body.empty())
            l.sandbox = (tag.body[0] & 0x01) ? "localWithNetwork" : "localWithFile";
        first = false;
        if (tag.code == kDefineSound && tag.body.size() >= 7) {
            const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
            static constexpr double kRates[] = {5512.5, 11025, 22050, 44100};
            const double rate = kRates[(tag.body[2] >> 2) & 3];
            const uint32_t samples =
                static_cast<uint32_t>(tag.body[3] | (tag.body[4] << 8) | (tag.body[5] << 16)) |
                (static_cast<uint32_t>(tag.body[6]) << 24);
            for (const auto& [name, exported] : movie.exports)
                if (exported == id && l.soundMs.size() < 65536) {
                    l.soundMs[asciiLower(name)] = samples * 1000.0 / rate;
                    l.soundIds[asciiLower(name)] = id;
                }
        }
        if (tag.code == kDefineSprite && tag.body.size() >= 4 && l.spriteBytes.size() < 65536) {
            const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
            l.spriteBytes.emplace_back(id, static_cast<uint32_t>(tag.body.size() - 4));
        }
    }
    Value sys = vm.get(vm.global, "System");
    if (!sys.isObject()) return;
    Value sec = vm.get(sys.o, "security");
    if (sec.isObject())
        vm.defineValue(sec.o, "sandboxType", Value(l.sandbox), DontDelete | ReadOnly);
}

std::optional<double> soundDuration(Vm& vm, std::string_view name) {
    Loads* l = loadsOf(vm);
    if (!l) return std::nullopt;
    auto it = l->soundMs.find(asciiLower(name));
    if (it == l->soundMs.end()) return std::nullopt;
    return it->second;
}

std::optional<uint16_t> soundId(Vm& vm, std::string_view name) {
    Loads* l = loadsOf(vm);
    if (!l) return std::nullopt;
    auto it = l->soundIds.find(asciiLower(name));
    if (it == l->soundIds.end()) return std::nullopt;
    return it->second;
}

std::optional<double> clipBytes(Vm& vm, ClipHost* clip) {
    Loads* l = loadsOf(vm);
    if (!l || !clip) return std::nullopt;
    if (auto* r = dynamic_cast<ScriptRunner*>(clip); r && r->loadedMovie())
        return r->movie().info.length;
    if (!clip->parent()) return l->movieLength;
    if (auto* s = dynamic_cast<SpriteClip*>(clip)) {
        for (const auto& [id, bytes] : l->spriteBytes)
            if (id == s->characterId()) return bytes;
    }
    return 0;
}

void installLoadBuiltins(Vm& vm) {
    vm.loads = std::make_shared<Loads>();
    installLoadVars(vm);
    installXmlLoad(vm);
    installMovieClipLoader(vm);
    installNetBuiltins(vm);
    installSoundBuiltins(vm);
    Object* mp = vm.clipProto;
    auto bytes = [](Vm& vm, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::MovieClip) return {};
        const auto n = clipBytes(vm, self->clip);
        return n ? Value(*n) : Value();
    };
    vm.defineMethod(mp, "getBytesLoaded", bytes);
    vm.defineMethod(mp, "getBytesTotal", bytes);
    vm.defineMethod(mp, "loadMovie", [](Vm& vm, Object* self, Args& a) -> Value {
        if (self && self->cls == ObjClass::MovieClip && self->clip && !a.empty())
            requestMovie(vm, self->clip, vm.toString(a[0]), vm.targetPath(self->clip), true);
        return {};
    });
    vm.defineMethod(mp, "unloadMovie", [](Vm& vm, Object* self, Args&) -> Value {
        if (self && self->cls == ObjClass::MovieClip && self->clip)
            requestMovie(vm, self->clip, "", vm.targetPath(self->clip), true);
        return {};
    });
    vm.defineMethod(mp, "loadVariables", [](Vm& vm, Object* self, Args& a) -> Value {
        if (self && self->cls == ObjClass::MovieClip && self->clip && !a.empty())
            requestVariables(vm, vm.targetPath(self->clip), vm.toString(a[0]));
        return {};
    });
}

}  // namespace swf::avm1
