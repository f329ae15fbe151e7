#include "engine/media/mixer.h"

#include <algorithm>

#include "engine/media/movie_media.h"
#include "engine/runtime/display_list.h"

namespace swf::media {

SoundMixer::SoundMixer(const Movie& movie) : media_(mediaOf(movie)) {}

void SoundMixer::setVolume(double v) { volume_ = std::clamp(v, 0.0, 1.0); }

void SoundMixer::stopAll() {
    channels_.clear();
    streamActive_ = false;
    for (auto& [key, s] : sprites_) s.streamActive = false;
}

void SoundMixer::frameEntered(int frame, bool jumped) {
    for (const SoundEvent& e : media_.eventsAt(frame)) startSound(e.soundId, e.info);
    const StreamSound* s = media_.stream();
    if (!s) return;
    if (frame < s->firstFrame || frame > s->lastFrame) {
        streamActive_ = false;
        return;
    }
    if (jumped || !streamActive_) {
        streamPos_ = streamStart_ = s->sampleAt(frame);
        streamActive_ = true;
    }
}

void SoundMixer::spritesChanged(const DisplayList& list) {
    parents_.clear();
    if (!media_.hasSpriteSound() && !clipMixes()) return;
    std::unordered_map<const SpriteState*, SpriteSound> now;
    walkSprites(list, now, 0, 0);
    // Instances no longer seen take their stream sounds with them.
    sprites_ = std::move(now);
}

void SoundMixer::walkSprites(const DisplayList& list,
                             std::unordered_map<const SpriteState*, SpriteSound>& now,
                             int nesting, uintptr_t parent) {
    constexpr int kMaxNesting = 64;
    if (nesting >= kMaxNesting) return;
    for (const auto& [depth, o] : list.objects) {
        if (!o.sprite) continue;
        const SpriteState* key = o.sprite.get();
        const auto owner = reinterpret_cast<uintptr_t>(&o.sprite->list);
        if (clipMixes()) parents_[owner] = parent;
        if (const TimelineSound* ts = media_.spriteSound(o.characterId)) {
            auto it = sprites_.find(key);
            // A state freed and another made at its address in one operation is a new instance
            // too: it was placed by another command.
            const bool known = it != sprites_.end() && it->second.spriteId == o.characterId &&
                               it->second.depth == o.depth && it->second.placedAt == o.placedAt;
            SpriteSound s =
                known ? it->second : SpriteSound{o.characterId, o.depth, o.placedAt, ts, -1};
            if (!known || s.frame != o.sprite->frame) {
                // Any move but the next frame (a goto, a loop, a new instance) moves the stream.
                const bool jumped = !known || o.sprite->frame != s.frame + 1;
                s.frame = o.sprite->frame;
                for (const SoundEvent& e : ts->eventsAt(s.frame))
                    startSound(e.soundId, e.info, owner);
                const StreamSound* st = ts->stream ? &*ts->stream : nullptr;
                if (!st || s.frame < st->firstFrame || s.frame > st->lastFrame) {
                    s.streamActive = false;
                } else if (jumped || !s.streamActive) {
                    s.streamPos = st->sampleAt(s.frame);
                    s.streamActive = true;
                }
            }
            s.playing = o.sprite->playing;
            now.emplace(key, s);
        }
        walkSprites(o.sprite->list, now, nesting + 1, owner);
    }
}

void SoundMixer::buttonChanged(uint16_t buttonId, ButtonTransition transition) {
    if (const SoundEvent* e = media_.buttonSound(buttonId, transition))
        startSound(e->soundId, e->info);
}

void SoundMixer::startSound(uint16_t id, const format::SoundInfo& info, uintptr_t owner) {
    if (info.syncStop) {
        std::erase_if(channels_, [&](const Channel& c) { return c.soundId == id; });
        return;
    }
    if (info.syncNoMultiple && std::any_of(channels_.begin(), channels_.end(),
                                           [&](const Channel& c) { return c.soundId == id; }))
        return;
    const PcmBuffer* pcm = media_.sound(id);
    if (!pcm || pcm->frames() == 0) return;
    Channel c;
    c.soundId = id;
    c.pcm = pcm;
    c.end = std::min<size_t>(pcm->frames(), info.outPoint.value_or(pcm->frames()));
    c.start = std::min<size_t>(info.inPoint.value_or(0), c.end);
    if (c.start >= c.end) return;
    c.pos = c.start;
    c.loopsLeft = std::max<int>(1, info.loops);
    c.envelope = info.envelope;
    c.owner = owner;
    // The oldest sound gives way when every channel is busy.
    if (channels_.size() >= kMaxChannels) channels_.erase(channels_.begin());
    channels_.push_back(std::move(c));
}

std::shared_ptr<const PcmBuffer> SoundMixer::librarySound(uint16_t id) const {
    const PcmBuffer* pcm = media_.sound(id);
    // The movie's sounds live as long as the movie, which outlives its mixer.
    return pcm ? std::shared_ptr<const PcmBuffer>(std::shared_ptr<const PcmBuffer>(), pcm)
               : nullptr;
}

uint64_t SoundMixer::startScriptSound(std::shared_ptr<const PcmBuffer> pcm, uint16_t id,
                                      uintptr_t owner, size_t offsetFrames, int loops) {
    if (!pcm || pcm->frames() == 0) return 0;
    Channel c;
    c.soundId = id;
    c.pcm = pcm.get();
    c.owned = std::move(pcm);
    c.end = c.pcm->frames();
    c.pos = std::min(offsetFrames, c.end);
    c.loopsLeft = std::max(1, loops);
    c.owner = owner;
    c.handle = ++nextHandle_;
    if (c.pos >= c.end && c.loopsLeft == 1) return 0;
    if (channels_.size() >= kMaxChannels) channels_.erase(channels_.begin());
    channels_.push_back(std::move(c));
    return nextHandle_;
}

void SoundMixer::stopSounds(uintptr_t owner, std::optional<uint16_t> id) {
    std::erase_if(channels_, [&](const Channel& c) {
        return (owner == 0 || c.owner == owner) && (!id || c.soundId == *id);
    });
    if (owner == 0 && !id) stopAll();
}

SoundMixer::Gains SoundMixer::chainGains(uintptr_t owner) const {
    Gains total = kUnity;
    for (int guard = 0; owner != 0 && guard < 64; ++guard) {
        if (auto g = gains_.find(owner); g != gains_.end()) {
            // The outer clip's mix takes what the inner one made: [t0 t3; t1 t2] x total.
            const Gains& t = g->second;
            total = {t[0] * total[0] + t[3] * total[1], t[1] * total[0] + t[2] * total[1],
                     t[1] * total[3] + t[2] * total[2], t[0] * total[3] + t[3] * total[2]};
        }
        auto up = parents_.find(owner);
        if (up == parents_.end()) break;
        owner = up->second;
    }
    return total;
}

void SoundMixer::setGains(uintptr_t owner, const Gains& g) {
    if (g == kUnity)
        gains_.erase(owner);
    else
        gains_[owner] = g;
}

SoundMixer::Channel* SoundMixer::channel(uint64_t handle) {
    for (Channel& c : channels_)
        if (handle && c.handle == handle) return &c;
    return nullptr;
}

void SoundMixer::holdChannel(uint64_t handle, bool held) {
    if (Channel* c = channel(handle)) c->held = held;
}

void SoundMixer::moveChannel(uint64_t handle, size_t frame) {
    if (Channel* c = channel(handle)) c->pos = std::min(frame, c->end);
}

void SoundMixer::endChannel(uint64_t handle) {
    std::erase_if(channels_, [&](const Channel& c) { return handle && c.handle == handle; });
}

bool SoundMixer::channelPlaying(uint64_t handle) const {
    return std::any_of(channels_.begin(), channels_.end(),
                       [&](const Channel& c) { return handle && c.handle == handle; });
}

// The envelope's levels at a point, straight lines between its points.
void SoundMixer::gains(const Channel& c, size_t at, float& left, float& right) {
    const auto& env = c.envelope;
    if (env.empty()) {
        left = right = 1.0f;
        return;
    }
    auto it =
        std::upper_bound(env.begin(), env.end(), at,
                         [](size_t v, const format::EnvelopePoint& p) { return v < p.position; });
    if (it == env.begin()) {
        left = env.front().left / 32768.0f;
        right = env.front().right / 32768.0f;
        return;
    }
    if (it == env.end()) {
        left = env.back().left / 32768.0f;
        right = env.back().right / 32768.0f;
        return;
    }
    const auto& a = *std::prev(it);
    const auto& b = *it;
    const float t =
        b.position > a.position ? float(at - a.position) / float(b.position - a.position) : 1.0f;
    left = (a.left + (float(b.left) - a.left) * t) / 32768.0f;
    right = (a.right + (float(b.right) - a.right) * t) / 32768.0f;
}

void SoundMixer::mix(std::span<int16_t> out, bool timelinePlaying) {
    std::fill(out.begin(), out.end(), int16_t(0));
    if (paused_) return;
    const size_t frames = out.size() / 2;
    acc_.assign(frames * 2, 0);
    const float vol = float(volume_);

    for (Channel& c : channels_) {
        if (c.held) continue;
        const int16_t* src = c.pcm->samples.data();
        const Gains t = c.owner ? chainGains(c.owner) : kUnity;
        for (size_t i = 0; i < frames && c.loopsLeft > 0;) {
            const size_t run = std::min(frames - i, c.end - c.pos);
            if (t != kUnity) {
                for (size_t k = 0; k < run; ++k) {
                    float el = 1, er = 1;
                    if (!c.envelope.empty()) gains(c, c.start + c.elapsed + k, el, er);
                    const float l = src[(c.pos + k) * 2] * el, r = src[(c.pos + k) * 2 + 1] * er;
                    acc_[(i + k) * 2] += int32_t((l * t[0] + r * t[3]) * vol);
                    acc_[(i + k) * 2 + 1] += int32_t((r * t[2] + l * t[1]) * vol);
                }
            } else if (c.envelope.empty()) {
                const int32_t g = int32_t(vol * 32768.0f);
                for (size_t k = 0; k < run; ++k) {
                    acc_[(i + k) * 2] += (src[(c.pos + k) * 2] * g) >> 15;
                    acc_[(i + k) * 2 + 1] += (src[(c.pos + k) * 2 + 1] * g) >> 15;
                }
            } else {
                for (size_t k = 0; k < run; ++k) {
                    float l, r;
                    gains(c, c.start + c.elapsed + k, l, r);
                    acc_[(i + k) * 2] += int32_t(src[(c.pos + k) * 2] * l * vol);
                    acc_[(i + k) * 2 + 1] += int32_t(src[(c.pos + k) * 2 + 1] * r * vol);
                }
            }
            i += run;
            c.pos += run;
            c.elapsed += run;
            if (c.pos >= c.end) {
                c.pos = c.start;
                --c.loopsLeft;
            }
        }
    }
    std::erase_if(channels_, [](const Channel& c) { return c.loopsLeft <= 0; });

    if (streamActive_ && timelinePlaying)
        mixStream(media_.streamPcm(), streamPos_, frames, kUnity, vol);
    // A sprite's stream moves while the sprite plays, whether or not the root does.
    for (auto& [key, s] : sprites_)
        if (s.streamActive && s.playing)
            mixStream(s.sound->pcm(), s.streamPos, frames,
                      chainGains(reinterpret_cast<uintptr_t>(&key->list)), vol);

    // The movie's own mix, over everything it plays.
    if (auto movie = gains_.find(0); movie != gains_.end()) {
        const Gains& t = movie->second;
        for (size_t k = 0; k + 1 < acc_.size(); k += 2) {
            const float l = float(acc_[k]), r = float(acc_[k + 1]);
            acc_[k] = int32_t(std::clamp(l * t[0] + r * t[3], -1e9f, 1e9f));
            acc_[k + 1] = int32_t(std::clamp(r * t[2] + l * t[1], -1e9f, 1e9f));
        }
    }
    for (size_t k = 0; k < out.size() && k < acc_.size(); ++k)
        out[k] = int16_t(std::clamp<int32_t>(acc_[k], -32768, 32767));
}

void SoundMixer::mixStream(const PcmBuffer& pcm, size_t& pos, size_t frames, const Gains& t,
                           float vol) {
    const size_t avail = pos < pcm.frames() ? pcm.frames() - pos : 0;
    const size_t run = std::min(frames, avail);
    const int16_t* src = pcm.samples.data() + pos * 2;
    if (t == kUnity) {
        const int32_t gain = int32_t(vol * 32768.0f);
        for (size_t k = 0; k < run * 2; ++k) acc_[k] += (src[k] * gain) >> 15;
    } else {
        for (size_t k = 0; k < run; ++k) {
            const float l = src[k * 2], r = src[k * 2 + 1];
            acc_[k * 2] += int32_t((l * t[0] + r * t[3]) * vol);
            acc_[k * 2 + 1] += int32_t((r * t[2] + l * t[1]) * vol);
        }
    }
    pos += frames;  // the clock runs on past the data's end
}

bool SoundMixer::hasSound() const { return media_.hasSound() || !channels_.empty(); }

std::optional<int> SoundMixer::streamFrame(size_t lag) const {
    const StreamSound* s = media_.stream();
    if (!s || !streamActive_ || paused_) return std::nullopt;
    // Past the decoded sound there is no clock to follow.
    if (streamPos_ >= media_.streamPcm().frames()) return std::nullopt;
    // What is still queued at the device has not been heard: the sound is that much earlier.
    // A seek is heard late too, but the pictures need not wait for the sound before it.
    const size_t heard = streamPos_ > lag ? streamPos_ - lag : 0;
    return s->frameAt(std::max(heard, streamStart_));
}

}  // namespace swf::media
