#include "engine/runtime/display_list.h"

namespace swf {

void DisplayList::apply(const format::PlaceObject& p, int frame, int swfVersion, int order) {
    auto it = objects.find(p.depth);
    const bool modify = p.version >= 2 && p.move;
    if (!modify) {
        if (!p.characterId) return;  // nothing to place
        // From SWF 6 a depth that is taken stays with what holds it; older movies replace it.
        if (swfVersion >= 6 && it != objects.end()) return;
        DisplayObject o;
        o.characterId = *p.characterId;
        o.depth = p.depth;
        o.placedAt = frame;
        o.timelineMade = true;
        o.placedOrder = order;
        if (p.matrix) o.matrix = *p.matrix;
        if (p.cxform) o.cxform = *p.cxform;
        if (p.ratio) o.ratio = o.boundsRatio = *p.ratio;
        if (p.name) o.name = *p.name;
        if (p.clipDepth) o.clipDepth = *p.clipDepth;
        if (p.blendMode) o.blendMode = *p.blendMode;
        if (p.visible) o.visible = *p.visible;
        if (p.cacheAsBitmap) o.cacheAsBitmap = *p.cacheAsBitmap;
        o.filters = p.filters;
        objects[p.depth] = std::move(o);
        return;
    }
    // A move of an empty depth places nothing; what a script placed or moved there is its own.
    if (it == objects.end() || it->second.scripted()) return;
    DisplayObject& o = it->second;
    if (p.characterId && *p.characterId != o.characterId) {
        o.characterId = *p.characterId;
        o.sprite.reset();  // a different character starts from its beginning
        if (p.ratio) o.boundsRatio = *p.ratio;
    }
    if (p.matrix && !o.scriptTransformed) o.matrix = *p.matrix;
    if (p.cxform && !o.scriptTransformed) o.cxform = *p.cxform;
    if (p.ratio) o.ratio = *p.ratio;
    if (p.name) o.name = *p.name;
    if (p.clipDepth) o.clipDepth = *p.clipDepth;
    if (p.blendMode) o.blendMode = *p.blendMode;
    if (p.visible) o.visible = *p.visible;
    if (p.cacheAsBitmap) o.cacheAsBitmap = *p.cacheAsBitmap;
    if (p.filterCount || !p.filters.empty()) o.filters = p.filters;
}

void DisplayList::apply(const format::RemoveObject& r) { remove(r.depth); }

void DisplayList::remove(int depth) {
    auto it = objects.find(depth);
    if (it == objects.end()) return;
    if (!it->second.keepOnRemove || it->second.removed) {
        objects.erase(it);
        return;
    }
    auto node = objects.extract(it);
    node.key() = removedDepth(depth);
    node.mapped().depth = node.key();
    node.mapped().removed = true;
    objects.erase(node.key());
    objects.insert(std::move(node));
}

void DisplayList::settleBounds(int nesting) {
    if (nesting > 64) return;
    for (auto& [depth, o] : objects) {
        o.boundsRatio = o.ratio;
        if (o.sprite) o.sprite->list.settleBounds(nesting + 1);
    }
}

}  // namespace swf
