// NetStream playing FLV files from the movie's folder through a local connection
// (NetConnection.connect(null)), and the Video objects showing them. The stream keeps the
// movie's time: each frame's end moves it on by the time the movie moved, delivers its script
// data (onMetaData, cue points) and decodes the picture due then.

#include <QRectF>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "engine/avm1/display_props.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/net_stream.h"
#include "engine/avm1/timeline_objects.h"
#include "engine/avm1/vm.h"
#include "engine/format/flv.h"
#include "engine/media/audio_decode.h"
#include "engine/media/mixer.h"
#include "engine/media/video_decode.h"
#include "engine/render/video_draw.h"
#include "engine/runtime/bitmap_surface.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {
namespace {

// FLV files may be much larger than the data files movies load.
constexpr uintmax_t kMaxStreamBytes = 512u << 20;
// Video tags decoded at one frame's end at most; a longer jump restarts at a keyframe.
constexpr int kMaxDecodesPerFrame = 240;

constexpr std::string_view kVideoLink = "\x01videoLink";  // a Video's placement: [owner, depth, at]
constexpr std::string_view kVideoStream = "\x01videoStream";  // the NetStream it shows

struct Status {
    const char* code;
    const char* level;
};

struct StreamState : NativeData {
    // What the stream is doing; play, seek, pause and close change it, frames move it on.
    enum Phase : uint8_t { Idle, Starting, Playing, Ended } phase = Idle;
    bool paused = false;        // pause(): time stands still, the picture stays
    bool flushed = false;       // Buffer.Flush sent for this play
    uint32_t generation = 0;    // moved on by play, seek and close: a handler's call ends delivery
    std::string bytes;          // the file; flv's spans point into it
    format::FlvFile flv;
    size_t next = 0;            // the next tag to deliver
    size_t decodedFrom = 0;     // the tag the decoder's state starts from (a keyframe)
    double positionMs = 0;      // the stream's time
    double lastHostMs = 0;      // the movie's time when position was last moved
    double durationMs = 0;      // the last tag's time
    double bufferTime = 0.1;    // seconds, setBufferTime
    std::vector<Status> pending;  // statuses due at the next frame's end
    uint8_t codec = 0;
    std::unique_ptr<media::VideoDecoder> decoder;
    std::shared_ptr<const media::PcmBuffer> audio;  // the file's sound, decoded when it plays
    double audioStartMs = 0;                         // the time of its first sample
    media::SoundMixer* mixer = nullptr;              // where the sound is heard
    uint64_t channel = 0;                            // its channel there, while heard
    std::shared_ptr<BitmapSurface> picture = std::make_shared<BitmapSurface>();

    void reset() {
        if (mixer) mixer->endChannel(channel);
        channel = 0;
        audio.reset();
        ++generation;
        phase = Idle;
        paused = flushed = false;
        bytes.clear();
        flv = {};
        next = decodedFrom = 0;
        positionMs = durationMs = 0;
        pending.clear();
        decoder.reset();
        codec = 0;
    }
};

// The file's audio tags as one sound; nothing for codecs without a decoder here (AAC).
void decodeAudio(StreamState& s) {
    std::unique_ptr<media::AudioDecoder> dec;
    for (const format::FlvTag& t : s.flv.tags) {
        if (t.type != format::flv::AudioTag || t.data.size() < 2) continue;
        const uint8_t head = t.data[0];
        format::SoundFormat f{uint8_t(head >> 4), format::soundRateHz((head >> 2) & 3),
                              (head & 2) != 0, (head & 1) != 0};
        if (!dec) {
            if (!media::canDecode(f.codec)) return;
            dec = std::make_unique<media::AudioDecoder>(f);
            s.audioStartMs = t.timeMs;
        }
        dec->feed(t.data.subspan(1));
    }
    if (dec) s.audio = std::make_shared<const media::PcmBuffer>(dec->finish());
}

// The stream's sound at its time, or still while it is paused.
void followAudio(StreamState& s) {
    if (!s.mixer || !s.audio) return;
    const double ms = std::max(0.0, s.positionMs - s.audioStartMs);
    const auto frame = size_t(ms * media::kMixRate / 1000);
    if (!s.mixer->channelPlaying(s.channel)) {
        if (frame >= s.audio->frames()) return;
        s.channel = s.mixer->startScriptSound(s.audio, 0, 0, frame, 1);
    } else {
        s.mixer->moveChannel(s.channel, frame);
    }
    s.mixer->holdChannel(s.channel, s.paused);
}

StreamState* stateOf(Object* self) {
    return self ? dynamic_cast<StreamState*>(self->native.get()) : nullptr;
}

Value amfValue(Vm& vm, const format::AmfValue& v) {
    using K = format::AmfValue;
    switch (v.kind) {
        case K::Number:
            return Value(v.number);
        case K::Boolean:
            return Value(v.number != 0);
        case K::String:
            return Value(v.text);
        case K::Null:
            return Value::null();
        case K::Date:
            return vm.construct(vm.get(vm.global, "Date"), {Value(v.number)});
        case K::Array: {
            std::vector<Value> items;
            for (const auto& i : v.items) items.push_back(amfValue(vm, i));
            return Value(vm.newArray(std::move(items)));
        }
        case K::Object: {
            Object* o = vm.newObject();
            for (const auto& [name, m] : v.members) vm.set(o, name, amfValue(vm, m));
            return Value(o);
        }
        default:
            return {};
    }
}

void sendStatus(Vm& vm, Object* ns, const Status& s) {
    Object* info = vm.newObject();
    vm.set(info, "code", Value(std::string(s.code)));
    vm.set(info, "level", Value(std::string(s.level)));
    // Errors nobody listens for on the stream reach System.onStatus.
    if (std::string_view(s.level) == "error" && !vm.get(ns, "onStatus").isObject()) {
        vm.callMethod(vm.get(vm.global, "System"), "onStatus", {Value(info)});
        return;
    }
    vm.callMethod(Value(ns), "onStatus", {Value(info)});
}

// The decoded picture into the surface Video objects show.
void showPicture(StreamState& s) {
    if (!s.decoder) return;
    const QImage img = s.decoder->picture().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return;
    BitmapSurface& out = *s.picture;
    out.width = img.width();
    out.height = img.height();
    out.transparent = img.hasAlphaChannel();
    out.px.resize(size_t(out.width) * size_t(out.height));
    for (int y = 0; y < out.height; ++y)
        std::memcpy(&out.px[size_t(y) * size_t(out.width)], img.constScanLine(y),
                    size_t(out.width) * 4);
}

bool decodeVideo(StreamState& s, const format::FlvTag& tag, bool keep) {
    const format::FlvVideoPacket p = format::videoPacket(tag);
    if (!p.valid) return false;
    if (!s.decoder || p.codec != s.codec) {
        format::DefineVideoStream def;
        def.codec = p.codec;
        s.codec = p.codec;
        s.decoder = std::make_unique<media::VideoDecoder>(def);
    }
    if (p.avcConfig) {
        s.decoder->configure(p.payload);
        return false;  // no picture of its own
    }
    if (!p.picture) return false;
    return s.decoder->decodePacket(p.payload, p.key, keep);
}

bool isKeyVideo(const format::FlvTag& t) {
    const format::FlvVideoPacket p = format::videoPacket(t);
    return p.valid && p.key && p.picture;
}

// Delivers the tags due by the stream's time; pictures between are decoded for the state
// only, and a run too long to decode restarts at its last keyframe.
void deliver(Vm& vm, Object* ns, StreamState& s) {
    const auto& tags = s.flv.tags;
    size_t end = s.next;
    // Tag times are whole milliseconds, the movie's time is not.
    while (end < tags.size() && tags[end].timeMs <= s.positionMs + 0.5) ++end;
    size_t lastVideo = tags.size();
    int videos = 0;
    for (size_t i = s.next; i < end; ++i)
        if (tags[i].type == format::flv::VideoTag) {
            lastVideo = i;
            ++videos;
        }
    size_t from = s.next;
    if (videos > kMaxDecodesPerFrame)
        for (size_t i = lastVideo + 1; i-- > s.next;)
            if (tags[i].type == format::flv::VideoTag && isKeyVideo(tags[i])) {
                from = s.decodedFrom = i;
                if (s.decoder) s.decoder->restart();
                break;
            }
    bool shown = false;
    const uint32_t generation = s.generation;
    for (size_t i = s.next; i < end; ++i) {
        const format::FlvTag& t = tags[i];
        if (t.type == format::flv::ScriptTag) {
            s.next = i + 1;
            if (auto call = format::parseAmfCall(t.data)) {
                Args args;
                for (const auto& a : call->args) args.push_back(amfValue(vm, a));
                vm.callMethod(Value(ns), call->name, std::move(args));
                // The handler played, sought or closed: the stream goes on from there.
                if (s.generation != generation) {
                    if (shown) showPicture(s);
                    return;
                }
            }
        } else if (t.type == format::flv::VideoTag && i >= from) {
            shown = decodeVideo(s, t, i == lastVideo) || shown;
        }
    }
    s.next = end;
    // Nothing to show yet from a decoder holding pictures back (H.264 with B-frames): take
    // the first it holds, then bring its state back to where it was.
    if (!shown && lastVideo < tags.size() && s.decoder && s.decoder->picture().isNull() &&
        s.decoder->drainFirst()) {
        shown = true;
        for (size_t i = s.decodedFrom; i <= lastVideo; ++i)
            if (tags[i].type == format::flv::VideoTag) decodeVideo(s, tags[i], false);
    }
    if (shown) showPicture(s);
}

void update(Vm& vm, Object* ns, StreamState& s) {
    const double now = vm.host().timeMs();
    std::vector<Status> due;
    due.swap(s.pending);
    for (const Status& st : due) sendStatus(vm, ns, st);
    if (!s.pending.empty()) return;  // a handler asked again: its news comes next frame
    if (s.phase == StreamState::Starting) {
        s.phase = StreamState::Playing;
        s.lastHostMs = now;
        const uint32_t generation = s.generation;
        sendStatus(vm, ns, {"NetStream.Play.Start", "status"});
        if (s.generation != generation) return;
        // A file shorter than the buffer ends its data before the buffer is full.
        if (s.durationMs - s.positionMs >= s.bufferTime * 1000) {
            sendStatus(vm, ns, {"NetStream.Buffer.Full", "status"});
        } else {
            s.flushed = true;
            sendStatus(vm, ns, {"NetStream.Buffer.Flush", "status"});
        }
        if (s.generation == generation) {
            followAudio(s);
            deliver(vm, ns, s);
        }
        return;
    }
    if (s.phase != StreamState::Playing) return;
    if (!s.paused) s.positionMs = std::min(s.durationMs, s.positionMs + (now - s.lastHostMs));
    s.lastHostMs = now;
    deliver(vm, ns, s);
    if (s.phase == StreamState::Playing && s.next >= s.flv.tags.size() &&
        s.positionMs >= s.durationMs) {
        s.phase = StreamState::Ended;
        if (!s.flushed) {
            s.flushed = true;
            sendStatus(vm, ns, {"NetStream.Buffer.Flush", "status"});
        }
        sendStatus(vm, ns, {"NetStream.Play.Stop", "status"});
    }
}

std::vector<Object*>& streamsOf(Vm& vm) { return vm.loads->streams; }

void play(Vm& vm, Object* self, StreamState& s, const Value& url) {
    s.reset();
    auto& list = streamsOf(vm);
    if (std::find(list.begin(), list.end(), self) == list.end()) list.push_back(self);
    auto bytes = readLocalFile(vm, vm.toString(url), kMaxStreamBytes);
    if (!bytes) {
        s.pending.push_back({"NetStream.Play.StreamNotFound", "error"});
        return;
    }
    s.bytes = std::move(*bytes);
    s.flv = format::parseFlv(
        {reinterpret_cast<const uint8_t*>(s.bytes.data()), s.bytes.size()});
    if (!s.flv.valid) {
        s.bytes.clear();
        s.pending.push_back({"NetStream.Play.FileStructureInvalid", "error"});
        return;
    }
    for (const auto& t : s.flv.tags) s.durationMs = std::max(s.durationMs, double(t.timeMs));
    s.mixer = soundMixer(vm);
    if (s.mixer) decodeAudio(s);
    s.phase = StreamState::Starting;
}

// Seeks land on the keyframe at or before the time asked, as a file without an index allows.
void seek(StreamState& s, double seconds) {
    if (s.phase == StreamState::Idle || !std::isfinite(seconds)) return;
    const double target = std::clamp(seconds * 1000, 0.0, s.durationMs);
    const auto& tags = s.flv.tags;
    size_t key = tags.size();
    for (size_t i = 0; i < tags.size() && tags[i].timeMs <= target; ++i)
        if (tags[i].type == format::flv::VideoTag && isKeyVideo(tags[i])) key = i;
    if (key < tags.size()) {
        s.positionMs = tags[key].timeMs;
        if (s.decoder) s.decoder->restart();
        s.next = s.decodedFrom = key;
        // Script data before the keyframe is not delivered again.
    } else {
        s.positionMs = target;
        s.next = 0;
        while (s.next < tags.size() && tags[s.next].timeMs < target) ++s.next;
    }
    if (s.phase == StreamState::Ended) s.phase = StreamState::Playing;
    if (s.phase == StreamState::Playing) followAudio(s);
    ++s.generation;
    s.pending.push_back({"NetStream.Seek.Notify", "status"});
}

double property(const StreamState* s, std::string_view name) {
    if (!s) return 0;
    if (name == "time") return s->positionMs / 1000;
    if (name == "bufferTime") return s->bufferTime;
    if (name == "bytesLoaded" || name == "bytesTotal") return double(s->bytes.size());
    if (name == "bufferLength")
        return s->phase == StreamState::Idle ? 0 : (s->durationMs - s->positionMs) / 1000;
    return 0;
}

}  // namespace

NativeFn streamGetter(std::string name) {
    return [name](Vm&, Object* self, Args&) -> Value { return Value(property(stateOf(self), name)); };
}

void installStreamMethods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "play", [](Vm& vm, Object* self, Args& a) -> Value {
        if (StreamState* s = stateOf(self); s && vm.loads) play(vm, self, *s, arg(a, 0));
        return {};
    });
    vm.defineMethod(proto, "seek", [](Vm& vm, Object* self, Args& a) -> Value {
        if (StreamState* s = stateOf(self)) seek(*s, vm.toNumber(arg(a, 0)));
        return {};
    });
    vm.defineMethod(proto, "pause", [](Vm& vm, Object* self, Args& a) -> Value {
        StreamState* s = stateOf(self);
        if (!s) return {};
        const bool pause = a.empty() || arg(a, 0).isUndefined() ? !s->paused : vm.toBoolean(a[0]);
        if (s->paused && !pause) s->lastHostMs = vm.host().timeMs();
        s->paused = pause;
        if (s->mixer) s->mixer->holdChannel(s->channel, pause);
        return {};
    });
    vm.defineMethod(proto, "close", [](Vm& vm, Object* self, Args&) -> Value {
        if (StreamState* s = stateOf(self)) {
            s->reset();
            if (vm.loads) std::erase(streamsOf(vm), self);
        }
        return {};
    });
    vm.defineMethod(proto, "setBufferTime", [](Vm& vm, Object* self, Args& a) -> Value {
        if (StreamState* s = stateOf(self)) {
            const double t = vm.toNumber(arg(a, 0));
            if (std::isfinite(t) && t >= 0) s->bufferTime = t;
        }
        return {};
    });
}

void installVideoMethods(Vm& vm, Object* proto) {
    vm.defineMethod(proto, "attachVideo", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const Value& src = arg(a, 0);
        StreamState* s = src.isObject() ? stateOf(src.o) : nullptr;
        self->setOwn(kVideoStream, kVideoStream, s ? src : Value::null(), DontEnum);
        if (Property* p = self->findAny(kVideoStream)) p->hidden = true;
        if (DisplayObject* o = videoPlacement(vm, self))
            o->bitmap = s ? std::shared_ptr<const BitmapSurface>(s->picture) : nullptr;
        return {};
    });
    vm.defineMethod(proto, "clear", [](Vm& vm, Object* self, Args&) -> Value {
        if (DisplayObject* o = videoPlacement(vm, self)) o->bitmap = nullptr;
        return {};
    });
}


void makeStream(Object* self) {
    if (self && !self->native) self->native = std::make_unique<StreamState>();
}

namespace {

const Movie* videoMovie(Object* video) {
    Property* p = video ? video->findAny(kVideoLink) : nullptr;
    if (!p || !p->value.isObject() || p->value.o->elems.size() != 3) return nullptr;
    const Value& owner = p->value.o->elems[0];
    return owner.isObject() && owner.o->clip ? placeOf(owner.o->clip).movie : nullptr;
}

// _width and _height: the declared picture through the placement's transform, in pixels.
double placedSize(const Movie* movie, const DisplayObject& o, bool width) {
    const QRectF r = movie ? render::videoRect(*movie, o.characterId) : QRectF();
    const auto& m = o.matrix;
    return width ? (std::abs(m.sx) * r.width() + std::abs(m.r1) * r.height()) / 20
                 : (std::abs(m.r0) * r.width() + std::abs(m.sy) * r.height()) / 20;
}

// A video on the stage shows the placement properties clips have.
void addPlacementProperties(Vm& vm, Object* video) {
    static constexpr std::pair<const char*, int> kProps[] = {
        {"_x", 0},       {"_y", 1},       {"_xscale", 2}, {"_yscale", 3}, {"_alpha", 6},
        {"_visible", 7}, {"_rotation", 10}, {"_width", 8}, {"_height", 9}};
    for (const auto& prop : kProps) {
        const char* name = prop.first;
        const int index = prop.second;  // a plain variable: lambdas may capture it
        Property& p = video->setOwn(name, vm.key(name), Value(), DontEnum | DontDelete);
        p.getter = vm.newFunction([index](Vm& vm, Object* self, Args&) -> Value {
            const DisplayObject* o = videoPlacement(vm, self);
            if (!o) return {};
            if (index == 8 || index == 9) return Value(placedSize(videoMovie(self), *o, index == 8));
            const auto v = displayProperty(*o, index);
            if (index == 7 && v) return Value(*v != 0);
            return v ? Value(*v) : Value();
        });
        p.setter = vm.newFunction([index](Vm& vm, Object* self, Args& a) -> Value {
            DisplayObject* o = videoPlacement(vm, self);
            const double v = index == 7 ? (vm.toBoolean(arg(a, 0)) ? 1 : 0) : vm.toNumber(arg(a, 0));
            if (!o || !std::isfinite(v)) return {};
            if (index == 8 || index == 9) {
                // A new size rescales that axis, keeping its direction.
                const double now = placedSize(videoMovie(self), *o, index == 8);
                const auto scale = displayProperty(*o, index == 8 ? 2 : 3);
                if (now > 0 && scale) setDisplayProperty(*o, index == 8 ? 2 : 3, *scale * v / now);
                return {};
            }
            setDisplayProperty(*o, index, v);
            return {};
        });
    }
}

}  // namespace

void linkVideo(Vm& vm, Object* video, Object* owner, int depth, int placedAt) {
    std::vector<Value> link{Value(owner), Value(double(depth)), Value(double(placedAt))};
    video->setOwn(kVideoLink, kVideoLink, Value(vm.newArray(std::move(link))), DontEnum);
    if (Property* p = video->findAny(kVideoLink)) p->hidden = true;
    addPlacementProperties(vm, video);
    // The picture's size, 0 until the attached stream shows one.
    for (const char* side : {"width", "height"}) {
        const bool w = side[0] == 'w';
        Property& p = video->setOwn(side, vm.key(side), Value(), DontEnum | DontDelete);
        p.getter = vm.newFunction([w](Vm&, Object* self, Args&) -> Value {
            Property* sp = self ? self->findAny(kVideoStream) : nullptr;
            StreamState* s = sp && sp->value.isObject() ? stateOf(sp->value.o) : nullptr;
            if (!s) return Value(0);
            return Value(double(w ? s->picture->width : s->picture->height));
        });
    }
}

DisplayObject* videoPlacement(Vm&, Object* video) {
    Property* p = video ? video->findAny(kVideoLink) : nullptr;
    if (!p || !p->value.isObject() || p->value.o->elems.size() != 3) return nullptr;
    const auto& e = p->value.o->elems;
    Object* owner = e[0].isObject() ? e[0].o : nullptr;
    if (!owner || !owner->clip) return nullptr;
    DisplayList* list = placeOf(owner->clip).list;
    if (!list) return nullptr;
    auto it = list->objects.find(int(e[1].n));
    if (it == list->objects.end() || it->second.placedAt != int(e[2].n)) return nullptr;
    return &it->second;
}

void updateStreams(Vm& vm) {
    if (!vm.loads || vm.loads->streams.empty()) return;
    // A handler may play, close or make streams: work on a copy.
    const std::vector<Object*> streams = vm.loads->streams;
    for (Object* ns : streams)
        if (StreamState* s = stateOf(ns)) update(vm, ns, *s);
}

}  // namespace swf::avm1
