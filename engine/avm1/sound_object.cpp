// The Sound object: volume, pan and the channel transform of its target timeline (or of the
// whole movie), attachSound of an exported sound, start/stop and the playing position.

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/avm1/loader.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/media/audio_decode.h"
#include "engine/media/mixer.h"

namespace swf::avm1 {

namespace {

constexpr const char* kMix[] = {"ll", "lr", "rr", "rl"};

// A timeline's sound settings live on its object; the movie's own on _global.
struct Mix {
    double volume = 100;
    double t[4] = {100, 0, 100, 0};  // ll, lr, rr, rl
};

Mix readMix(Object* holder) {
    Mix m;
    const Value v = getSlot(holder, "soundVolume");
    if (v.isNumber()) m.volume = v.n;
    for (int i = 0; i < 4; ++i) {
        const Value c = getSlot(holder, std::string("sound_") + kMix[i]);
        if (c.isNumber()) m.t[i] = c.n;
    }
    return m;
}

// Whose mix a sound goes through in the mixer: a clip's by its display list, as the mixer
// knows clips; 0 for the movie's own (the root's too); a loaded sound's own.
uintptr_t ownerKey(Vm& vm, Object* holder) {
    if (holder == vm.global) return 0;
    if (holder->cls == ObjClass::MovieClip) {
        auto* sprite = dynamic_cast<SpriteClip*>(holder->clip);
        return sprite && sprite->list() ? reinterpret_cast<uintptr_t>(sprite->list()) : 0;
    }
    return reinterpret_cast<uintptr_t>(holder);
}

void writeMix(Vm& vm, Object* holder, const Mix& m) {
    setSlot(vm, holder, "soundVolume", Value(m.volume));
    for (int i = 0; i < 4; ++i) setSlot(vm, holder, std::string("sound_") + kMix[i], Value(m.t[i]));
    // What the scripts set is what is heard.
    if (media::SoundMixer* mixer = soundMixer(vm)) {
        const float v = float(m.volume / 100);
        mixer->setGains(ownerKey(vm, holder), {float(m.t[0] / 100) * v, float(m.t[1] / 100) * v,
                                               float(m.t[2] / 100) * v, float(m.t[3] / 100) * v});
    }
}

// A sound loadSound read: its samples, for as long as the Sound object keeps it.
struct LoadedSound : NativeData {
    std::shared_ptr<const media::PcmBuffer> pcm;
};

// The timeline a target path names now, by names and variables, as a stale reference is found
// again; null when nothing answers to it.
Object* findPath(Vm& vm, std::string_view path) {
    Object* cur = vm.clipObject(vm.root_);
    size_t i = 0;
    if (path.starts_with("_level0")) {
        i = 7;
    } else if (path.starts_with("_root")) {
        i = 5;
    }
    int guard = 0;
    while (i < path.size() && cur && guard++ < 256) {
        if (path[i] == '.' || path[i] == '/') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < path.size() && path[j] != '.' && path[j] != '/') ++j;
        Value next = vm.get(cur, path.substr(i, j - i));
        cur = next.isObject() && next.o->cls == ObjClass::MovieClip && next.o->clip ? next.o
                                                                                    : nullptr;
        i = j;
    }
    return cur;
}

// Where this Sound's settings are kept: its target timeline, or _global for the movie's.
// Null when the target no longer answers.
Object* holderOf(Vm& vm, Object* self) {
    if (!self) return nullptr;
    // A loaded sound plays on a channel of its own, whatever its target does.
    if (getSlot(self, "ownMix").isBool()) return self;
    const Value path = getSlot(self, "target");
    if (!path.isString()) return vm.global;
    return findPath(vm, path.s);
}

double number(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    return std::isfinite(d) ? d : 0;
}

double position(Vm& vm, Object* self) {
    const Value started = getSlot(self, "startedAt");
    const Value duration = getSlot(self, "duration");
    if (!started.isNumber() || !duration.isNumber()) {
        const Value p = getSlot(self, "position");
        return p.isNumber() ? p.n : 0;
    }
    const double loops =
        std::max(1.0, getSlot(self, "loops").isNumber() ? getSlot(self, "loops").n : 1);
    const double offset = getSlot(self, "offset").isNumber() ? getSlot(self, "offset").n : 0;
    const double played = vm.host().timeMs() - started.n;
    const double total = (duration.n - offset) + (loops - 1) * duration.n;
    if (played >= total) return duration.n;
    const double at = offset + played;
    return duration.n > 0 ? std::fmod(at, duration.n) : 0;
}

// ---- MP3 files for loadSound

uint32_t syncsafe(const uint8_t* p) {
    return (uint32_t(p[0] & 0x7f) << 21) | (uint32_t(p[1] & 0x7f) << 14) |
           (uint32_t(p[2] & 0x7f) << 7) | uint32_t(p[3] & 0x7f);
}

// The ID3v2 tag's size at the start of the file, header included; 0 when there is none.
size_t id3Size(std::string_view f) {
    if (f.size() < 10 || f.substr(0, 3) != "ID3") return 0;
    const size_t n = 10 + syncsafe(reinterpret_cast<const uint8_t*>(f.data()) + 6);
    return std::min(n, f.size());
}

// Milliseconds of MPEG audio in the frames after the tag; nullopt when no frame is found.
std::optional<double> mp3Duration(std::string_view f) {
    static constexpr int kRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    static constexpr int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    const auto* d = reinterpret_cast<const uint8_t*>(f.data());
    size_t i = id3Size(f);
    double samples = 0;
    int rate = 0;
    while (i + 4 <= f.size()) {
        if (d[i] != 0xFF || (d[i + 1] & 0xE0) != 0xE0) {
            ++i;  // lost sync: look for the next frame
            continue;
        }
        const int version = (d[i + 1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
        const int layer = 4 - ((d[i + 1] >> 1) & 3);
        const int bitrateIndex = d[i + 2] >> 4, rateIndex = (d[i + 2] >> 2) & 3;
        const int padding = (d[i + 2] >> 1) & 1;
        if (version == 1 || layer == 4 || bitrateIndex == 0 || bitrateIndex == 15 ||
            rateIndex == 3) {
            ++i;
            continue;
        }
        const bool mpeg1 = version == 3;
        const int frameRate = kRates[version][rateIndex];
        const int kbps = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex];
        const int perFrame = layer == 1 ? 384 : (layer == 3 && !mpeg1) ? 576 : 1152;
        const size_t length = layer == 1 ? (12 * kbps * 1000 / frameRate + padding) * 4
                                         : perFrame / 8 * kbps * 1000 / frameRate + padding;
        if (length < 4) {
            ++i;
            continue;
        }
        samples += perFrame;
        rate = frameRate;
        i += length;
    }
    if (rate == 0) return std::nullopt;
    return samples * 1000.0 / rate;
}

// An ID3v2 text in its encoding byte's encoding, as UTF-8 without trailing NULs.
std::string id3Text(uint8_t encoding, std::string_view b) {
    std::string out;
    if (encoding == 1 || encoding == 2) {
        bool big = encoding == 2;
        size_t i = 0;
        if (b.size() >= 2 && static_cast<uint8_t>(b[0]) == 0xFF &&
            static_cast<uint8_t>(b[1]) == 0xFE) {
            big = false;
            i = 2;
        } else if (b.size() >= 2 && static_cast<uint8_t>(b[0]) == 0xFE &&
                   static_cast<uint8_t>(b[1]) == 0xFF) {
            big = true;
            i = 2;
        }
        std::u16string units;
        for (; i + 1 < b.size(); i += 2) {
            const auto lo = static_cast<uint8_t>(b[i + (big ? 1 : 0)]);
            const auto hi = static_cast<uint8_t>(b[i + (big ? 0 : 1)]);
            units.push_back(static_cast<char16_t>(lo | (hi << 8)));
        }
        for (size_t k = 0; k < units.size(); ++k) {
            char32_t c = units[k];
            if (c >= 0xD800 && c < 0xDC00 && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
                units[k + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (units[++k] - 0xDC00);
            utf8Append(out, c);
        }
    } else if (encoding == 3) {
        out.assign(b);
    } else {
        for (unsigned char c : b) utf8Append(out, c);
    }
    while (!out.empty() && out.back() == '\0') out.pop_back();
    return out;
}

// Where a NUL-terminated string of that encoding ends (after its terminator).
size_t afterTerminator(uint8_t encoding, std::string_view b) {
    if (encoding == 1 || encoding == 2) {
        for (size_t i = 0; i + 1 < b.size(); i += 2)
            if (b[i] == 0 && b[i + 1] == 0) return i + 2;
        return b.size();
    }
    const size_t z = b.find('\0');
    return z == std::string_view::npos ? b.size() : z + 1;
}

// The text and comment frames of an ID3v2.3/2.4 tag, in file order.
std::vector<std::pair<std::string, std::string>> id3Frames(std::string_view f) {
    std::vector<std::pair<std::string, std::string>> out;
    const size_t end = id3Size(f);
    if (end == 0) return out;
    const int major = static_cast<uint8_t>(f[3]);
    if (major != 3 && major != 4) return out;
    const auto* d = reinterpret_cast<const uint8_t*>(f.data());
    size_t i = 10;
    while (i + 10 <= end && d[i] != 0 && out.size() < 1024) {
        const std::string id(f.substr(i, 4));
        const uint32_t size = major == 4 ? syncsafe(d + i + 4)
                                         : (uint32_t(d[i + 4]) << 24) | (uint32_t(d[i + 5]) << 16) |
                                               (uint32_t(d[i + 6]) << 8) | d[i + 7];
        if (size > end - i - 10) break;
        std::string_view body = f.substr(i + 10, size);
        i += 10 + size;
        if (body.empty()) continue;
        const auto enc = static_cast<uint8_t>(body[0]);
        if (id[0] == 'T' && id != "TXXX") {
            out.emplace_back(id, id3Text(enc, body.substr(1)));
        } else if (id == "COMM" && body.size() >= 4) {
            std::string_view rest = body.substr(4);
            rest.remove_prefix(afterTerminator(enc, rest));
            out.emplace_back(id, id3Text(enc, rest));
        }
    }
    return out;
}

// The id3 object: each frame by its id, the common ones also by their names.
Object* id3Object(Vm& vm, const std::vector<std::pair<std::string, std::string>>& frames) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"TPE1", "artist"},   {"TALB", "album"}, {"COMM", "comment"}, {"TRCK", "track"},
        {"TIT2", "songname"}, {"TYER", "year"},  {"TCON", "genre"}};
    Object* o = vm.newObject(nullptr);
    std::map<std::string, std::vector<Value>> seen;
    for (const auto& [id, text] : frames) {
        for (const auto& [frameId, name] : kNames)
            if (id == frameId) vm.set(o, name, Value(text));
        auto& values = seen[id];
        values.emplace_back(text);
        // A frame given more than once keeps every value.
        vm.set(o, id, values.size() == 1 ? values[0] : Value(vm.newArray(values)));
    }
    return o;
}

// duration, position and id3 as read-only values of a sound that plays, unless the script
// made them its own first.
void defineReaders(Vm& vm, Object* self) {
    // The player keeps the script's duration and position only when it made both.
    const bool ownTimes = self->findOwn(vm.key("duration")) && self->findOwn(vm.key("position"));
    for (const char* name : {"duration", "position", "id3"}) {
        if (name == std::string_view("id3") ? self->findOwn(vm.key(name)) != nullptr : ownTimes)
            continue;
        Object* getter = vm.newMethod([n = std::string(name)](Vm& vm, Object* self,
                                                              Args&) -> Value {
            if (!self) return {};
            if (n == "id3") return getSlot(self, "id3");
            return vm.callMethod(Value(self), n == "duration" ? "getDuration" : "getPosition", {});
        });
        Property& p = self->setOwn(name, vm.key(name), Value(), DontEnum);
        p.getter = getter;
    }
}

// The sound a Sound object plays: the one it loaded, or the library's it attached.
std::shared_ptr<const media::PcmBuffer> samplesOf(media::SoundMixer& mixer, Object* self) {
    if (auto* loaded = dynamic_cast<LoadedSound*>(self->native.get())) return loaded->pcm;
    const Value id = getSlot(self, "soundId");
    return id.isNumber() ? mixer.librarySound(uint16_t(id.n)) : nullptr;
}

void startPlaying(Vm& vm, Object* self, double offsetMs, double loops) {
    if (media::SoundMixer* mixer = soundMixer(vm); mixer && holderOf(vm, self)) {
        const Value id = getSlot(self, "soundId");
        mixer->startScriptSound(samplesOf(*mixer, self), id.isNumber() ? uint16_t(id.n) : 0,
                                ownerKey(vm, holderOf(vm, self)),
                                size_t(offsetMs * media::kMixRate / 1000), int(loops));
    }
    setSlot(vm, self, "startedAt", Value(vm.host().timeMs()));
    setSlot(vm, self, "offset", Value(std::min(offsetMs, getSlot(self, "duration").n)));
    setSlot(vm, self, "loops", Value(loops));
    auto& playing = vm.loads->playing;
    if (std::find(playing.begin(), playing.end(), self) == playing.end() && playing.size() < 4096)
        playing.push_back(self);
}

void installMixMethods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "getVolume", [](Vm& vm, Object* self, Args&) -> Value {
        Object* h = holderOf(vm, self);
        return h ? Value(readMix(h).volume) : Value();
    });
    vm.defineMethod(proto, "setVolume", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* h = holderOf(vm, self);
        if (!h || a.empty()) return {};
        Mix m = readMix(h);
        m.volume = number(vm, a[0]);
        writeMix(vm, h, m);
        return {};
    });
    vm.defineMethod(proto, "getPan", [](Vm& vm, Object* self, Args&) -> Value {
        Object* h = holderOf(vm, self);
        if (!h) return {};
        const Mix m = readMix(h);
        // Pan is what the transform leaves of one side: right-leaning cuts the left. Only
        // the size of a side counts, whatever its sign.
        return Value(m.t[0] != 100 ? 100 - std::fabs(m.t[0]) : std::fabs(m.t[2]) - 100);
    });
    vm.defineMethod(proto, "setPan", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* h = holderOf(vm, self);
        if (!h || a.empty()) return {};
        const double pan = number(vm, a[0]);  // not held to ±100: the far side goes negative
        Mix m = readMix(h);
        m.t[0] = pan > 0 ? 100 - pan : 100;
        m.t[2] = pan < 0 ? 100 + pan : 100;
        m.t[1] = m.t[3] = 0;
        writeMix(vm, h, m);
        return {};
    });
    vm.defineMethod(proto, "getTransform", [](Vm& vm, Object* self, Args&) -> Value {
        Object* h = holderOf(vm, self);
        if (!h) return {};
        const Mix m = readMix(h);
        Object* o = vm.newObject();
        for (int i = 0; i < 4; ++i) vm.set(o, kMix[i], Value(m.t[i]));
        return Value(o);
    });
    vm.defineMethod(proto, "setTransform", [](Vm& vm, Object* self, Args& a) -> Value {
        Object* h = holderOf(vm, self);
        if (!h || !arg(a, 0).isObject()) return {};
        Mix m = readMix(h);
        for (int i = 0; i < 4; ++i) m.t[i] = number(vm, vm.get(a[0].o, kMix[i]));  // none: 0
        writeMix(vm, h, m);
        return {};
    });
}

void installPlayMethods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "attachSound", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty() || !holderOf(vm, self)) return {};
        const std::optional<double> ms = soundDuration(vm, vm.toString(a[0]));
        if (!ms) return {};
        self->native.reset();
        setSlot(vm, self, "soundId", Value(double(soundId(vm, vm.toString(a[0])).value_or(0))));
        setSlot(vm, self, "duration", Value(*ms));
        setSlot(vm, self, "startedAt", Value());
        setSlot(vm, self, "position", Value(0));
        setSlot(vm, self, "loading", Value());
        defineReaders(vm, self);
        return {};
    });
    vm.defineMethod(proto, "start", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !holderOf(vm, self) || !getSlot(self, "duration").isNumber()) return {};
        const double offset = std::max(0.0, number(vm, arg(a, 0)) * 1000);
        const double loops = std::clamp(number(vm, arg(a, 1)), 1.0, 1e6);
        if (getSlot(self, "loading").isNumber()) {
            // Not here yet: it starts when it arrives.
            setSlot(vm, self, "pendingOffset", Value(offset));
            setSlot(vm, self, "pendingLoops", Value(loops));
            return {};
        }
        startPlaying(vm, self, offset, loops);
        return {};
    });
    vm.defineMethod(proto, "stop", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !holderOf(vm, self)) return {};
        // The target's sounds end: all of them, or those of the linkage name given.
        if (media::SoundMixer* mixer = soundMixer(vm)) {
            std::optional<uint16_t> id;
            if (!a.empty() && !a[0].isUndefined()) id = soundId(vm, vm.toString(a[0])).value_or(0);
            mixer->stopSounds(ownerKey(vm, holderOf(vm, self)), id);
        }
        if (getSlot(self, "startedAt").isNumber()) {
            setSlot(vm, self, "position", Value(position(vm, self)));
            setSlot(vm, self, "startedAt", Value());
        }
        setSlot(vm, self, "pendingLoops", Value());
        std::erase(vm.loads->playing, self);
        return {};
    });
}

void installSwf6Methods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "getDuration", [](Vm&, Object* self, Args&) -> Value {
        const Value d = getSlot(self, "duration");
        return d.isNumber() ? Value(std::round(d.n)) : Value();
    });
    vm.defineMethod(proto, "getPosition", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self || !getSlot(self, "duration").isNumber()) return {};
        return Value(std::round(position(vm, self)));
    });
    vm.defineMethod(proto, "setDuration", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "setPosition", [](Vm&, Object*, Args&) -> Value { return {}; });
    vm.defineMethod(proto, "loadSound", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty() || !vm.loads) return {};
        const std::string url = vm.toString(a[0]);
        const bool streaming = vm.toBoolean(arg(a, 1));
        // A later load replaces one still on its way.
        const double token = ++vm.loads->soundLoads;
        vm.callMethod(Value(self), "stop", {});
        // Each load starts on a fresh channel: full volume, centred, its target's mix aside.
        // A sound whose target has already gone gets none.
        if (holderOf(vm, self)) {
            setSlot(vm, self, "ownMix", Value(true));
            writeMix(vm, self, Mix{});
        }
        setSlot(vm, self, "loading", Value(token));
        setSlot(vm, self, "duration", Value(0));
        setSlot(vm, self, "position", Value(0));
        defineReaders(vm, self);
        queueCall(vm,
                  [self, url, streaming, token](Vm& vm) {
                      const Value current = getSlot(self, "loading");
                      if (!current.isNumber() || current.n != token) return;
                      setSlot(vm, self, "loading", Value());
                      const std::optional<std::string> file = readLocalFile(vm, url);
                      const std::optional<double> ms = file ? mp3Duration(*file) : std::nullopt;
                      if (!ms) {
                          vm.callMethod(Value(self), "onLoad", {Value(false)});
                          return;
                      }
                      setSlot(vm, self, "bytes", Value(static_cast<double>(file->size())));
                      const auto frames = id3Frames(*file);
                      if (!frames.empty()) {
                          setSlot(vm, self, "id3", Value(id3Object(vm, frames)));
                          vm.callMethod(Value(self), "onID3", {});
                      }
                      setSlot(vm, self, "duration", Value(*ms));
                      // MPEG audio, whatever its rate and channels: the decoder reads them.
                      media::AudioDecoder dec({uint8_t(format::SoundCodec::Mp3), 44100, true, true});
                      const size_t tag = id3Size(*file);
                      dec.feed({reinterpret_cast<const uint8_t*>(file->data()) + tag,
                                file->size() - tag});
                      auto loaded = std::make_unique<LoadedSound>();
                      loaded->pcm = std::make_shared<const media::PcmBuffer>(dec.finish());
                      self->native = std::move(loaded);
                      vm.callMethod(Value(self), "onLoad", {Value(true)});
                      const Value loops = getSlot(self, "pendingLoops");
                      if (streaming || loops.isNumber()) {
                          const Value offset = getSlot(self, "pendingOffset");
                          setSlot(vm, self, "pendingLoops", Value());
                          startPlaying(vm, self, offset.isNumber() ? offset.n : 0,
                                       loops.isNumber() ? loops.n : 1);
                      }
                  },
                  {Value(self)});
        return {};
    });
    for (const char* m : {"getBytesLoaded", "getBytesTotal"})
        vm.defineMethod(proto, m, [](Vm&, Object* self, Args&) -> Value {
            return self ? getSlot(self, "bytes") : Value();
        });
    // Flash 6 added them: out of sight of SWF 5 movies until ASSetPropFlags shows them.
    for (const char* m : {"getDuration", "getPosition", "setDuration", "setPosition", "loadSound",
                          "getBytesLoaded", "getBytesTotal"})
        vm.addFlags(proto, m, From6);
}

}  // namespace

media::SoundMixer* soundMixer(Vm& vm) {
    auto* r = dynamic_cast<ScriptRunner*>(&vm.host());
    return r ? r->mixer : nullptr;
}

void stopAllSounds(Vm& vm) {
    if (media::SoundMixer* mixer = soundMixer(vm)) mixer->stopSounds(0, std::nullopt);
    if (!vm.loads) return;
    const std::vector<Object*> playing = vm.loads->playing;
    for (Object* s : playing) vm.callMethod(Value(s), "stop", {});
}

void updateSounds(Vm& vm) {
    if (!vm.loads || vm.loads->playing.empty()) return;
    std::vector<Object*> done;
    for (Object* s : vm.loads->playing) {
        const Value started = getSlot(s, "startedAt"), duration = getSlot(s, "duration");
        if (!started.isNumber() || !duration.isNumber()) {
            done.push_back(s);
            continue;
        }
        const double loops = getSlot(s, "loops").isNumber() ? getSlot(s, "loops").n : 1;
        const double offset = getSlot(s, "offset").isNumber() ? getSlot(s, "offset").n : 0;
        if (vm.host().timeMs() - started.n >= duration.n * loops - offset) done.push_back(s);
    }
    for (Object* s : done) {
        std::erase(vm.loads->playing, s);
        if (!getSlot(s, "startedAt").isNumber()) continue;
        setSlot(vm, s, "position", getSlot(s, "duration"));
        setSlot(vm, s, "startedAt", Value());
        vm.callMethod(Value(s), "onSoundComplete", {});
    }
}

void installSoundBuiltins(Vm& vm) {
    Object* ctor = vm.newFunction([](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const Value& t = arg(a, 0);
        if (t.isObject() && t.o->cls == ObjClass::MovieClip) {
            if (t.o->clip) setSlot(vm, self, "target", Value(vm.targetPath(t.o->clip)));
        } else if (!t.isUndefined()) {
            setSlot(vm, self, "target", Value(vm.toString(t)));
        }
        return {};
    });
    vm.defineValue(vm.global, "Sound", ctor);
    Object* proto = vm.get(ctor, "prototype").o;
    installMixMethods(vm, proto);
    installPlayMethods(vm, proto);
    installSwf6Methods(vm, proto);
    vm.defineMethod(
        proto, "areSoundsInaccessible", [](Vm&, Object*, Args&) -> Value { return Value(false); },
        DontEnum | DontDelete | From9);
    // A setting of the network player's: it reads as undefined and keeps nothing.
    Property& policy =
        proto->setOwn("checkPolicyFile", vm.key("checkPolicyFile"), Value(), DontEnum | DontDelete);
    policy.getter = vm.newMethod([](Vm&, Object*, Args&) -> Value { return {}; });
    policy.setter = vm.newMethod([](Vm&, Object*, Args&) -> Value { return {}; });
    // Every member of the prototype is read-only besides.
    vm.addFlagsToAll(proto, ReadOnly);
}

}  // namespace swf::avm1
