#pragma once
// Draws a display list with QPainter.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "engine/runtime/basics.h"

class QPainter;

namespace swf {
class Movie;
struct DisplayList;
struct DisplayObject;
}  // namespace swf

namespace swf::render {

// Maps stage twips into viewport pixels the way the Flash Player's scale modes do; the stage
// is centred whenever it does not fill the viewport.
QTransform stageTransform(const MovieInfo& info, const QRectF& viewport, ScaleMode mode);

// Filtered and blended layers of one player, kept while what they show stays the same: a
// still object with filters costs its filters once, not every frame. Safe to use from the
// threads drawing one frame.
class LayerCache {
public:
    struct Entry {
        uint64_t signature = 0;
        QImage image;  // filtered, faded, ready to composite
        QRect area;    // where it goes, device pixels
        bool used = false;
    };
    // The kept layer's image, when one is kept for path with that signature.
    bool find(uint64_t path, uint64_t signature, QImage& image);
    void store(uint64_t path, uint64_t signature, QImage image, QRect area);
    void beginFrame();
    void endFrame();  // forgets the layers the last frame did not draw
    static constexpr size_t kMaxBytes = 128u << 20;

private:
    std::mutex mutex_;
    std::unordered_map<uint64_t, Entry> entries_;
    size_t bytes_ = 0;
};

// The most bytes of offscreen layers this thread held at once since the last call.
int64_t takeLayerBytesPeak();

struct StageTiles;

// What drawing keeps of one player between frames: the last frame in tiles, each with what
// it showed, an older picture of each tile, and the filtered layers. A tile whose content is
// what it was (or what its older picture shows) is not drawn again.
class StageCache {
public:
    StageCache();
    ~StageCache();
    StageCache(const StageCache&) = delete;
    StageCache& operator=(const StageCache&) = delete;

    LayerCache layers;
    std::unique_ptr<StageTiles> tiles;
    // Tiles the last frame drew afresh, took from the older pictures, and left as they were.
    struct Counts {
        int drawn = 0, recalled = 0, kept = 0;
    };
    Counts last;
};

// Draws list (of movie) over what the painter holds: world maps its twips to device pixels,
// nothing is drawn outside deviceClip. For movies loaded into another one.
void renderList(QPainter& painter, const QRect& deviceClip, const QTransform& world,
                const Movie& movie, const DisplayList& list, bool antialias = true);

// Fills the viewport with bg, then draws list clipped to the viewport. antialias: the
// stage's quality (high draws smooth edges, low draws them hard, as Flash's low quality).
// rootPlace: where scripts moved, faded or hid the root itself.
void renderStage(QPainter& painter, const QRect& viewport, ScaleMode mode, const QColor& bg,
                 const Movie& movie, const DisplayList& list, bool antialias = true,
                 StageCache* cache = nullptr, const DisplayObject* rootPlace = nullptr);

// The focus highlight around bounds (stage twips), over the stage drawn into viewport.
void drawFocusHighlight(QPainter& painter, const QRect& viewport, ScaleMode mode,
                        const MovieInfo& info, const QRectF& bounds);

}  // namespace swf::render
