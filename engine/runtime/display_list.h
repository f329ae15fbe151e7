#pragma once
// The objects on one timeline's stage, by depth; sprites and buttons carry their own.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/format/filter.h"
#include "engine/format/place.h"
#include "engine/format/records.h"

namespace swf {

// Owns one T and copies it deeply: display lists nest through sprites and are copied whole.
template <class T>
class Boxed {
public:
    Boxed() = default;
    Boxed(const Boxed& o) : p_(o.p_ ? std::make_unique<T>(*o.p_) : nullptr) {}
    Boxed(Boxed&&) noexcept = default;
    Boxed& operator=(const Boxed& o) {
        if (this != &o) p_ = o.p_ ? std::make_unique<T>(*o.p_) : nullptr;
        return *this;
    }
    Boxed& operator=(Boxed&&) noexcept = default;
    explicit operator bool() const { return p_ != nullptr; }
    T* get() const { return p_.get(); }
    T* operator->() const { return p_.get(); }
    T& operator*() const { return *p_; }
    void emplace() { p_ = std::make_unique<T>(); }
    void reset() { p_.reset(); }
    bool operator==(const Boxed& o) const { return p_ ? (o.p_ && *p_ == *o.p_) : !o.p_; }

private:
    std::unique_ptr<T> p_;
};

struct SpriteState;
struct TextFieldView;
struct BitmapSurface;
class Drawing;

// The part of a clip's own space it shows, in twips; that part's top left sits at the clip's
// origin and nothing outside it is drawn or hit.
struct ScrollRect {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ScrollRect&) const = default;
};

struct DisplayObject {
    uint16_t characterId = 0;
    int depth = 0;
    // Frame of the owning timeline whose command created it; negative (and unique) for an
    // object a script placed, which the timeline no longer manages.
    int placedAt = 0;
    bool timelineMade = false;  // created by a timeline's command, even if scripts moved it since
    // Its command's place among that frame's commands: the clips a frame places start so.
    int placedOrder = 0;
    format::Matrix matrix;
    format::Cxform cxform;
    uint16_t ratio = 0;
    // The ratio a morph's bounds are taken at: the one it was last shown at, so a ratio a
    // script's goto sets counts for the bounds only once the frame is shown.
    uint16_t boundsRatio = 0;
    std::string name;
    uint16_t clipDepth = 0;  // nonzero: a mask over depths (depth, clipDepth]
    uint8_t blendMode = 0;
    bool visible = true;
    bool cacheAsBitmap = false;
    std::optional<ScrollRect> scrollRect;
    // Set once a script moved, scaled, turned or faded it: the timeline's moves then leave its
    // transform and colour alone. Scripts' scale and rotation are kept as they gave them.
    bool scriptTransformed = false;
    double xscale = 1, yscale = 1, rotation = 0;  // rotation in degrees, as scripts gave it
    std::vector<format::Filter> filters;
    Boxed<SpriteState> sprite;  // a sprite's or button's own display list, once started
    // A text field's current content (scripts change it): drawn instead of the character.
    std::shared_ptr<const TextFieldView> textField;
    // A script's bitmap attached to a clip: drawn with its current pixels.
    std::shared_ptr<const BitmapSurface> bitmap;
    bool bitmapSmoothing = false;
    // setMask: the depths leading from the root to the clip masking this one (empty: none),
    // or just its depth when the mask shares this object's parent.
    std::vector<int> maskBy;
    bool maskSibling = false;
    bool masking = false;  // serves as another clip's mask, so is not drawn itself
    // Scripts may still have to hear this clip leave: taken off its timeline it moves to
    // depth -depth-1 (below all others) and stays until they drop it.
    bool keepOnRemove = false;
    bool removed = false;  // taken off its timeline, kept at its depth below zero for scripts
    bool operator==(const DisplayObject&) const = default;
    bool scripted() const { return placedAt < 0; }
};

struct DisplayList {
    std::map<int, DisplayObject> objects;  // drawn in ascending depth
    // What scripts drew into the clip owning this list, under all its objects. Shared by
    // copies of the list: copied before a change when anyone else holds it.
    std::shared_ptr<Drawing> drawing;
    bool operator==(const DisplayList&) const = default;

    // frame: the frame of this list's timeline the command belongs to, order: the command's
    // place in it; swfVersion: of the movie the command comes from.
    void apply(const format::PlaceObject& p, int frame = 0, int swfVersion = 6, int order = 0);
    void apply(const format::RemoveObject& r);
    // The frame is shown: every morph's bounds follow its ratio, inside sprites too.
    void settleBounds(int nesting = 0);
    // Takes the object at depth off the list, or moves it below zero when it is kept on
    // removal (whatever sat there before it goes).
    void remove(int depth);
};

// Where a removed object waits for the scripts to drop it.
constexpr int removedDepth(int depth) { return -depth - 1; }

// A running sprite (or a button's shown state): its frame and its objects.
struct SpriteState {
    int frame = 0;
    DisplayList list;
    bool playing = true;  // scripts stop and start sprites
    bool operator==(const SpriteState&) const = default;
};

}  // namespace swf
