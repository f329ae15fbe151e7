#include "engine/runtime/instances.h"

#include <set>

#include "engine/runtime/movie.h"

namespace swf {
namespace {

void startOne(DisplayObject& o, InstanceContext& ctx, int nesting) {
    if (o.sprite || nesting >= InstanceContext::kMaxNesting || ctx.budget == 0) return;
    const Character* ch = ctx.movie.character(o.characterId);
    if (!ch) return;
    if (const auto* sp = std::get_if<SpriteCharacter>(ch)) {
        --ctx.budget;
        o.sprite.emplace();
        applyFrame(o.sprite->list, ctx.movie, sp->timeline.frames[0], 0);
        startInstances(o.sprite->list, ctx, nesting + 1);
    } else if (const auto* b = std::get_if<ButtonCharacter>(ch)) {
        --ctx.budget;
        o.sprite.emplace();
        for (const auto& rec : b->button.records) {
            if (!rec.up) continue;
            format::PlaceObject p;
            p.version = 3;
            p.depth = rec.depth;
            p.characterId = rec.characterId;
            p.matrix = rec.matrix;
            p.cxform = b->cxform ? *b->cxform : rec.cxform;
            if (rec.blendMode) p.blendMode = rec.blendMode;
            p.filters = rec.filters;
            o.sprite->list.apply(p, 0);
        }
        startInstances(o.sprite->list, ctx, nesting + 1);
    }
}

}  // namespace

void startInstances(DisplayList& list, InstanceContext& ctx, int nesting) {
    for (auto& [depth, o] : list.objects) startOne(o, ctx, nesting);
}

void tickInstances(DisplayList& list, InstanceContext& ctx, int nesting) {
    for (auto& [depth, o] : list.objects) {
        if (!o.sprite) continue;
        tickInstances(o.sprite->list, ctx, nesting + 1);
        const Character* ch = ctx.movie.character(o.characterId);
        const auto* sp = ch ? std::get_if<SpriteCharacter>(ch) : nullptr;
        if (!sp) continue;  // buttons show one state
        const int count = static_cast<int>(sp->timeline.frames.size());
        if (count <= 1) continue;
        SpriteState& s = *o.sprite;
        if (!s.playing) continue;
        const int next = s.frame + 1 < count ? s.frame + 1 : 0;
        if (next == 0 && !sp->timeline.loops) continue;
        if (next == 0) {
            // Looping rebuilds frame 0; what lives on keeps running.
            DisplayList fresh;
            applyFrame(fresh, ctx.movie, sp->timeline.frames[0], 0);
            carryStates(s.list, fresh, ctx, nesting + 1, true);
            s.list = std::move(fresh);
        } else {
            applyFrame(s.list, ctx.movie, sp->timeline.frames[next], next);
            startInstances(s.list, ctx, nesting + 1);
        }
        s.frame = next;
    }
}

namespace {

// Where scripts moved it, or took it over by its depth, the timeline no longer places it.
void keepScriptTransform(const DisplayObject& was, DisplayObject& o) {
    if (!was.scriptTransformed && !was.scripted()) return;
    o.matrix = was.matrix;
    o.cxform = was.cxform;
    o.scriptTransformed = was.scriptTransformed;
    o.xscale = was.xscale;
    o.yscale = was.yscale;
    o.rotation = was.rotation;
}

}  // namespace

bool rewindInPlace(DisplayList& list, const DisplayList& earlier, InstanceContext& ctx,
                   int nesting) {
    if (list.objects.size() != earlier.objects.size()) return false;
    auto b = earlier.objects.begin();
    for (auto a = list.objects.cbegin(); a != list.objects.cend(); ++a, ++b) {
        const DisplayObject& was = a->second;
        const DisplayObject& o = b->second;
        if (a->first != b->first || was.removed || o.sprite || was.characterId != o.characterId ||
            was.placedAt != o.placedAt)
            return false;
    }
    if (earlier.drawing) list.drawing = earlier.drawing;
    b = earlier.objects.begin();
    for (auto& [depth, was] : list.objects) {
        const DisplayObject& o = (b++)->second;
        // Only the state and a script's transform outlive the rewind; the rest is the frame's.
        DisplayObject keep = std::move(was);
        was = o;
        was.sprite = std::move(keep.sprite);
        was.keepOnRemove = keep.keepOnRemove;
        keepScriptTransform(keep, was);
    }
    startInstances(list, ctx, nesting);
    return true;
}

void carryStates(DisplayList& before, DisplayList& after, InstanceContext& ctx, int nesting,
                 bool rewound) {
    // Scripted drawing belongs to the clip, not to a frame.
    if (!after.drawing) after.drawing = std::move(before.drawing);
    auto isSprite = [&](const DisplayObject& o) {
        const Character* ch = ctx.movie.character(o.characterId);
        return ch && std::holds_alternative<SpriteCharacter>(*ch);
    };
    std::set<int> carried;  // depths whose object lives on in after
    for (auto& [depth, o] : after.objects) {
        auto it = before.objects.find(depth);
        if (it == before.objects.end() || o.sprite) continue;
        DisplayObject& was = it->second;
        if (was.removed) continue;
        if (was.characterId == o.characterId && was.placedAt == o.placedAt) {
            o.sprite = std::move(was.sprite);
            o.keepOnRemove = was.keepOnRemove;
            carried.insert(depth);
            keepScriptTransform(was, o);
        } else if (rewound && was.timelineMade && was.ratio == o.ratio && isSprite(was) &&
                   isSprite(o)) {
            // Going back, a timeline clip at a depth the earlier frame gives a clip of the same
            // ratio lives on as it is, whatever sprite that frame names, even one scripts moved.
            o.sprite = std::move(was.sprite);
            o.keepOnRemove = was.keepOnRemove;
            carried.insert(depth);
            o.characterId = was.characterId;
            o.placedAt = was.placedAt;
            o.placedOrder = was.placedOrder;
            o.name = was.name;
            keepScriptTransform(was, o);
        }
    }
    // Anything outside the timeline's depths [0, 16384) stays whatever frame is rebuilt, and
    // so does what scripts placed in them while the timeline moves on; going back, those
    // depths hold the timeline's own frame alone. What the rebuilt frame drops leaves as a
    // RemoveObject takes it.
    for (auto& [depth, o] : before.objects) {
        if (carried.contains(depth)) continue;
        const bool stays = depth < 0 || depth >= 16384 || (o.scripted() && !rewound);
        if (stays && !after.objects.contains(depth)) {
            after.objects.emplace(depth, std::move(o));
        } else if (!o.removed && o.keepOnRemove && !after.objects.contains(removedDepth(depth))) {
            o.removed = true;
            o.depth = removedDepth(depth);
            after.objects.emplace(o.depth, std::move(o));
        }
    }
    startInstances(after, ctx, nesting);
}

}  // namespace swf
