#include "engine/media/movie_media.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/format/tags.h"
#include "engine/media/video_decode.h"
#include "engine/runtime/movie.h"

namespace swf::media {
namespace {
// Tags that give characters names: ExportAssets (AVM1 linkage) and SymbolClass (AVM2 classes).
constexpr uint16_t kExportAssets = 56, kSymbolClass = 76;
}  // namespace

size_t StreamSound::sampleAt(int f) const {
    if (f <= firstFrame) return 0;
    return static_cast<size_t>(std::llround((f - firstFrame) * double(kMixRate) / fps));
}

int StreamSound::frameAt(size_t sample) const {
    return firstFrame + static_cast<int>(std::floor(double(sample) * fps / kMixRate + 1e-9));
}

MovieMedia::MovieMedia(const Movie& movie) { scan(movie); }
MovieMedia::~MovieMedia() = default;

void MovieMedia::scan(const Movie& movie) {
    format::MovieHeader h;
    try {
        // The body was read once already; the header is read again only to find the tags.
        h = format::readMovieHeader(movie.data);
    } catch (const std::exception&) {
        return;
    }
    std::vector<Pending> pending;
    root_.budget = &budget_;
    scanTimeline(movie, std::span<const uint8_t>(movie.data).subspan(h.tagsOffset), root_,
                 static_cast<int>(movie.root.frames.size()), true, pending);
    // StartSound2 names a class; the names are usually given after the frame that uses them.
    for (Pending& p : pending) {
        const uint16_t id = soundNamed(p.className);
        if (id && sounds_.contains(id))
            p.timeline->events[size_t(p.frame)].push_back({id, std::move(p.info)});
    }
    std::erase_if(sprites_, [](const auto& kv) {
        return !kv.second->stream && std::all_of(kv.second->events.begin(), kv.second->events.end(),
                                                 [](const auto& e) { return e.empty(); });
    });
}

void MovieMedia::readNames(std::span<const uint8_t> body) {
    format::BitReader r(body);
    const unsigned count = r.u16();
    for (unsigned i = 0; i < count && !r.overrun(); ++i) {
        const uint16_t id = r.u16();
        std::string name = r.string();
        if (r.overrun()) break;
        names_.try_emplace(std::move(name), id);
    }
}

void MovieMedia::scanTimeline(const Movie& movie, std::span<const uint8_t> body, TimelineSound& out,
                              int frameCount, bool root, std::vector<Pending>& pending) {
    out.events.resize(size_t(std::max(frameCount, 0)));
    format::TagReader tags(body);
    format::Tag tag;
    int frame = 0;
    while (tags.next(tag) && frame < frameCount) {
        switch (tag.code) {
            case format::code::ShowFrame:
                ++frame;
                break;
            case format::code::StartSound:
            case format::code::StartSound2: {
                const bool byName = tag.code == format::code::StartSound2;
                auto s = format::parseStartSound(tag.body, byName ? 2 : 1);
                if (!s.valid) break;
                if (byName)
                    pending.push_back({&out, frame, std::move(s.className), std::move(s.info)});
                else
                    out.events[size_t(frame)].push_back({s.id, std::move(s.info)});
                break;
            }
            case format::code::SoundStreamHead:
            case format::code::SoundStreamHead2: {
                // One stream per timeline: a second head starts nothing new.
                if (out.stream) break;
                const auto head = format::parseSoundStreamHead(tag.body);
                if (!head.valid) break;
                out.stream.emplace();
                out.stream->head = head;
                out.stream->fps = movie.info.frameRate > 0 ? movie.info.frameRate : 12.0;
                break;
            }
            case format::code::SoundStreamBlock: {
                if (!out.stream) break;
                if (out.stream->firstFrame < 0) out.stream->firstFrame = frame;
                out.stream->lastFrame = frame;
                out.stream->blocks.push_back(tag.body);
                break;
            }
            default:
                if (root) rootTag(movie, tag, pending);
                break;
        }
    }
    if (out.stream && out.stream->firstFrame < 0) out.stream.reset();  // a head without sound
}

void MovieMedia::rootTag(const Movie& movie, const format::Tag& tag,
                         std::vector<Pending>& pending) {
    switch (tag.code) {
        case format::code::DefineSound: {
            auto e = std::make_unique<SoundEntry>();
            e->def = format::parseDefineSound(tag.body);
            if (e->def.valid && !sounds_.contains(e->def.id))
                sounds_.emplace(e->def.id, std::move(e));
            break;
        }
        case format::code::DefineSprite: {
            format::BitReader r(tag.body);
            const uint16_t id = r.u16();
            r.u16();  // declared frame count: the loaded timeline's is the one that plays
            const Character* ch = movie.character(id);
            const auto* sp = ch ? std::get_if<SpriteCharacter>(ch) : nullptr;
            if (r.overrun() || !sp || sprites_.contains(id)) break;
            auto t = std::make_unique<TimelineSound>();
            t->budget = &budget_;
            scanTimeline(movie, r.rest(), *t, static_cast<int>(sp->timeline.frames.size()), false,
                         pending);
            sprites_.emplace(id, std::move(t));
            break;
        }
        case format::code::DefineButtonSound: {
            const auto b = format::parseDefineButtonSound(tag.body);
            if (!b.valid || buttons_.contains(b.buttonId)) break;
            auto& byChange = buttons_[b.buttonId];
            for (size_t i = 0; i < 4; ++i)
                if (b.entries[i].id) byChange[i] = SoundEvent{b.entries[i].id, b.entries[i].info};
            break;
        }
        case kExportAssets:
        case kSymbolClass:
            readNames(tag.body);
            break;
        case format::code::DefineVideoStream: {
            auto v = std::make_unique<VideoEntry>();
            v->def = format::parseDefineVideoStream(tag.body);
            if (v->def.valid && !videos_.contains(v->def.id) && !movie.character(v->def.id))
                videos_.emplace(v->def.id, std::move(v));
            break;
        }
        case format::code::VideoFrame: {
            const auto f = format::parseVideoFrame(tag.body);
            auto it = videos_.find(f.streamId);
            if (f.valid && it != videos_.end()) it->second->frames.emplace(f.frameNum, f.data);
            break;
        }
        default:
            break;
    }
}

const PcmBuffer* MovieMedia::sound(uint16_t id) const {
    auto it = sounds_.find(id);
    if (it == sounds_.end()) return nullptr;
    const SoundEntry& e = *it->second;
    std::call_once(e.once, [&] {
        const size_t frames = budget_.reserve();
        if (frames) e.pcm = decodeSound(e.def, frames);
        budget_.settle(frames, e.pcm);
    });
    return &e.pcm;
}

const TimelineSound* MovieMedia::spriteSound(uint16_t spriteId) const {
    auto it = sprites_.find(spriteId);
    return it == sprites_.end() ? nullptr : it->second.get();
}

const SoundEvent* MovieMedia::buttonSound(uint16_t buttonId, ButtonTransition t) const {
    auto it = buttons_.find(buttonId);
    if (it == buttons_.end()) return nullptr;
    const auto& slot = it->second[size_t(t) & 3];
    return slot ? &*slot : nullptr;
}

uint16_t MovieMedia::soundNamed(const std::string& name) const {
    auto it = names_.find(name);
    return it == names_.end() ? 0 : it->second;
}

size_t SoundBudget::reserve() {
    constexpr size_t frameBytes = 2 * sizeof(int16_t);
    size_t left = left_.load();
    size_t take = 0;
    do {
        take = std::min(left, kMaxSoundFrames * frameBytes);
    } while (!left_.compare_exchange_weak(left, left - take));
    if (take < frameBytes && !reported_.exchange(true))
        std::fprintf(stderr,
                     "media: the movie's sounds reached the limit of %zu MiB decoded; "
                     "further sounds are silent.\n",
                     kSoundBudgetBytes >> 20);
    return take / frameBytes;
}

void SoundBudget::settle(size_t reserved, const PcmBuffer& decoded) {
    const size_t used = std::min(decoded.frames(), reserved);
    left_ += (reserved - used) * 2 * sizeof(int16_t);
}

std::span<const SoundEvent> TimelineSound::eventsAt(int frame) const {
    if (frame < 0 || size_t(frame) >= events.size()) return {};
    return events[size_t(frame)];
}

const PcmBuffer& TimelineSound::pcm() const {
    std::call_once(streamOnce, [&] {
        if (!stream || !budget) return;
        const size_t frames = budget->reserve();
        if (!frames) return;
        const uint8_t codec = stream->head.stream.codec;
        AudioDecoder dec(stream->head.stream, frames);
        for (auto block : stream->blocks) {
            const auto b = format::parseSoundStreamBlock(block, codec);
            if (b.valid) dec.feed(b.data);
        }
        streamPcm = dec.finish();
        // The stream's latency (MP3 encoder delay) comes off the front, so frame and sound agree.
        if (codec == uint8_t(format::SoundCodec::Mp3) && stream->head.latencySeek > 0) {
            const size_t skip =
                std::min(streamPcm.frames(), size_t(stream->head.latencySeek) * kMixRate /
                                                 size_t(std::max(stream->head.stream.rate, 1)));
            streamPcm.samples.erase(streamPcm.samples.begin(),
                                    streamPcm.samples.begin() + long(skip * 2));
        }
        budget->settle(frames, streamPcm);
    });
    return streamPcm;
}

const format::DefineVideoStream* MovieMedia::video(uint16_t id) const {
    auto it = videos_.find(id);
    return it == videos_.end() ? nullptr : &it->second->def;
}

QImage MovieMedia::videoFrame(uint16_t id, int n) const {
    auto it = videos_.find(id);
    if (it == videos_.end()) return {};
    VideoEntry& v = *it->second;
    std::lock_guard guard(v.lock);
    if (!v.decoder) v.decoder = std::make_unique<VideoDecoder>(v.def);
    return v.decoder->frame(n, v.frames);
}

const MovieMedia& mediaOf(const Movie& movie) {
    return *movie.mediaIndex.get([&] { return std::make_shared<const MovieMedia>(movie); });
}

}  // namespace swf::media
