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
    if (!media_.hasSpriteSound()) return;
    std::unordered_map<const SpriteState*, SpriteSound> now;
    walkSprites(list, now, 0);
    // Instances no longer seen take their stream sounds with them.
    sprites_ = std::move(now);
}

void SoundMixer::walkSprites(const DisplayList& list,
                             std::unordered_map<const SpriteState*, SpriteSound>& now,
                             int nesting) {
    constexpr int kMaxNesting = 64;
    if (nesting >= kMaxNesting) return;
    for (const auto& [depth, o] : list.objects) {
        if (!o.sprite) continue;
        const SpriteState* key = o.sprite.get();
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
                for (const SoundEvent& e : ts->eventsAt(s.frame)) startSound(e.soundId, e.info);
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
        walkSprites(o.sprite->list, now, nesting + 1);
    }
}

void SoundMixer::buttonChanged(uint16_t buttonId, ButtonTransition transition) {
    if (const SoundEvent* e = media_.buttonSound(buttonId, transition))
        startSound(e->soundId, e->info);
}

void SoundMixer::startSound(uint16_t id, const format::SoundInfo& info) {
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
    // The oldest sound gives way when every channel is busy.
    if (channels_.size() >= kMaxChannels) channels_.erase(channels_.begin());
    channels_.push_back(std::move(c));
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
        const int16_t* src = c.pcm->samples.data();
        for (size_t i = 0; i < frames && c.loopsLeft > 0;) {
            const size_t run = std::min(frames - i, c.end - c.pos);
            if (c.envelope.empty()) {
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

    const int32_t g = int32_t(vol * 32768.0f);
    if (streamActive_ && timelinePlaying) mixStream(media_.streamPcm(), streamPos_, frames, g);
    // A sprite's stream moves while the sprite plays, whether or not the root does.
    for (auto& [key, s] : sprites_)
        if (s.streamActive && s.playing) mixStream(s.sound->pcm(), s.streamPos, frames, g);

    for (size_t k = 0; k < out.size() && k < acc_.size(); ++k)
        out[k] = int16_t(std::clamp<int32_t>(acc_[k], -32768, 32767));
}

void SoundMixer::mixStream(const PcmBuffer& pcm, size_t& pos, size_t frames, int32_t gain) {
    const size_t avail = pos < pcm.frames() ? pcm.frames() - pos : 0;
    const size_t run = std::min(frames, avail);
    const int16_t* src = pcm.samples.data() + pos * 2;
    for (size_t k = 0; k < run * 2; ++k) acc_[k] += (src[k] * gain) >> 15;
    pos += frames;  // the clock runs on past the data's end
}

bool SoundMixer::hasSound() const { return media_.hasSound(); }

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
