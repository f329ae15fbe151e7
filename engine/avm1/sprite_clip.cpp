#include "engine/avm1/sprite_clip.h"

#include <algorithm>
#include <cmath>

#include "engine/avm1/display_props.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/value.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/instances.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

const SpriteCharacter* spriteOf(const Movie& movie, uint16_t id) {
    const Character* ch = movie.character(id);
    return ch ? std::get_if<SpriteCharacter>(ch) : nullptr;
}

}  // namespace

SpriteClip::SpriteClip(ScriptRunner& runner, ClipHost* parent, const DisplayObject& o,
                       std::string name)
    : runner_(runner),
      parent_(parent),
      depth_(o.depth),
      characterId_(o.characterId),
      placedAt_(o.placedAt),
      name_(std::move(name)) {}

bool SpriteClip::matches(const DisplayObject& o) const {
    return o.depth == depth_ && o.characterId == characterId_ && o.placedAt == placedAt_;
}

DisplayObject* SpriteClip::object() const {
    if (!alive) return nullptr;
    DisplayList* l = runner_.listOf(parent_);
    if (!l) return nullptr;
    auto it = l->objects.find(depth_);
    if (it == l->objects.end() || !matches(it->second)) return nullptr;
    return &it->second;
}

DisplayList* SpriteClip::list() const {
    DisplayObject* o = object();
    return o && o->sprite ? &o->sprite->list : nullptr;
}

int SpriteClip::currentFrame() const {
    DisplayObject* o = object();
    return o && o->sprite ? o->sprite->frame : 0;
}

// As the definition declares it: a sprite claiming no frames has none.
int SpriteClip::totalFrames() const {
    const SpriteCharacter* sp = spriteOf(runner_.movie(), characterId_);
    return sp ? std::max(0, sp->frameCount) : 1;
}

bool SpriteClip::frameless() const {
    const SpriteCharacter* sp = spriteOf(runner_.movie(), characterId_);
    return !sp || sp->frameCount <= 0;
}

bool SpriteClip::isPlaying() const {
    DisplayObject* o = object();
    return o && o->sprite && o->sprite->playing;
}

void SpriteClip::play() {
    if (DisplayObject* o = object(); o && o->sprite) o->sprite->playing = true;
}

void SpriteClip::stop() {
    if (DisplayObject* o = object(); o && o->sprite) o->sprite->playing = false;
}

// Forward moves apply the frames in between; backward ones rebuild from the first frame,
// keeping the states of what lives on.
void SpriteClip::gotoFrame(int frame, bool andPlay) {
    DisplayObject* o = object();
    const SpriteCharacter* sp = spriteOf(runner_.movie(), characterId_);
    if (!o || !o->sprite || !sp) return;
    SpriteState& s = *o->sprite;
    s.playing = andPlay;
    const int count = static_cast<int>(sp->timeline.frames.size());
    if (frame < 0 || frame >= count || frame == s.frame) return;
    const Movie& movie = runner_.movie();
    InstanceContext ctx{movie};
    if (frame > s.frame) {
        for (int f = s.frame + 1; f <= frame; ++f)
            applyFrame(s.list, movie, sp->timeline.frames[f], f);
        startInstances(s.list, ctx);
    } else {
        DisplayList fresh;
        for (int f = 0; f <= frame; ++f) applyFrame(fresh, movie, sp->timeline.frames[f], f);
        carryStates(s.list, fresh, ctx, 0, true);
        s.list = std::move(fresh);
    }
    s.frame = frame;
    runner_.spriteFrameChanged(this);
}

std::optional<int> SpriteClip::labelFrame(std::string_view label) const {
    const SpriteCharacter* sp = spriteOf(runner_.movie(), characterId_);
    if (!sp) return std::nullopt;
    return sp->timeline.findLabel(label);
}

std::vector<std::span<const uint8_t>> SpriteClip::frameActions(int frame) const {
    return runner_.spriteActions(characterId_, frame);
}

std::vector<ClipHost*> SpriteClip::children() const {
    return runner_.instancesOf(const_cast<SpriteClip*>(this));
}

std::optional<double> SpriteClip::property(int index) const {
    DisplayObject* o = object();
    return o ? displayProperty(*o, index) : std::nullopt;
}

void SpriteClip::setProperty(int index, double v) {
    if (DisplayObject* o = object(); o && !std::isnan(v)) setDisplayProperty(*o, index, v);
}

}  // namespace swf::avm1
