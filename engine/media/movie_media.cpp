#include "engine/media/movie_media.h"

#include <algorithm>
#include <cmath>

#include "engine/format/tags.h"
#include "engine/media/video_decode.h"
#include "engine/runtime/movie.h"

namespace swf::media {

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
    const int frameCount = static_cast<int>(movie.root.frames.size());
    events_.resize(size_t(frameCount));
    format::TagReader tags(std::span<const uint8_t>(movie.data).subspan(h.tagsOffset));
    format::Tag tag;
    int frame = 0;
    while (tags.next(tag) && frame < frameCount) {
        switch (tag.code) {
            case format::code::ShowFrame:
                ++frame;
                break;
            case format::code::DefineSound: {
                auto e = std::make_unique<SoundEntry>();
                e->def = format::parseDefineSound(tag.body);
                if (e->def.valid && !sounds_.contains(e->def.id))
                    sounds_.emplace(e->def.id, std::move(e));
                break;
            }
            case format::code::StartSound: {
                const auto s = format::parseStartSound(tag.body, 1);
                if (s.valid) events_[size_t(frame)].push_back({s.id, s.info});
                break;
            }
            case format::code::SoundStreamHead:
            case format::code::SoundStreamHead2: {
                // One stream per timeline: a second head starts nothing new.
                if (stream_) break;
                const auto head = format::parseSoundStreamHead(tag.body);
                if (!head.valid) break;
                stream_.emplace();
                stream_->head = head;
                stream_->fps = movie.info.frameRate > 0 ? movie.info.frameRate : 12.0;
                break;
            }
            case format::code::SoundStreamBlock: {
                if (!stream_) break;
                if (stream_->firstFrame < 0) stream_->firstFrame = frame;
                stream_->lastFrame = frame;
                stream_->blocks.push_back(tag.body);
                break;
            }
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
    if (stream_ && stream_->firstFrame < 0) stream_.reset();  // a head without sound
}

const PcmBuffer* MovieMedia::sound(uint16_t id) const {
    auto it = sounds_.find(id);
    if (it == sounds_.end()) return nullptr;
    const SoundEntry& e = *it->second;
    std::call_once(e.once, [&] { e.pcm = decodeSound(e.def); });
    return &e.pcm;
}

std::span<const SoundEvent> MovieMedia::eventsAt(int frame) const {
    if (frame < 0 || size_t(frame) >= events_.size()) return {};
    return events_[size_t(frame)];
}

const PcmBuffer& MovieMedia::streamPcm() const {
    std::call_once(streamOnce_, [&] {
        if (!stream_) return;
        const uint8_t codec = stream_->head.stream.codec;
        AudioDecoder dec(stream_->head.stream);
        for (auto block : stream_->blocks) {
            const auto b = format::parseSoundStreamBlock(block, codec);
            if (b.valid) dec.feed(b.data);
        }
        streamPcm_ = dec.finish();
        // The stream's latency (MP3 encoder delay) comes off the front, so frame and sound agree.
        if (codec == uint8_t(format::SoundCodec::Mp3) && stream_->head.latencySeek > 0) {
            const size_t skip =
                std::min(streamPcm_.frames(), size_t(stream_->head.latencySeek) * kMixRate /
                                                  size_t(std::max(stream_->head.stream.rate, 1)));
            streamPcm_.samples.erase(streamPcm_.samples.begin(),
                                     streamPcm_.samples.begin() + long(skip * 2));
        }
    });
    return streamPcm_;
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
