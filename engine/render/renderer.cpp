#include "engine/render/renderer.h"

#include <QBrush>
#include <QLinearGradient>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "engine/render/blend_wide.h"
#include "engine/render/color.h"
#include "engine/render/coverage_fill.h"
#include "engine/render/filters.h"
#include "engine/render/hard_fill.h"
#include "engine/render/offscreen.h"
#include "engine/render/render_pool.h"
#include "engine/render/text_render.h"
#include "engine/render/video_draw.h"
#include "engine/runtime/bitmap_surface.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/drawing.h"
#include "engine/runtime/movie.h"
#include "engine/runtime/text_field_view.h"

namespace swf::render {
namespace {

QTransform toQt(const format::Matrix& m) { return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty); }

constexpr int kMaxDrawNesting = 64;

// Offscreen layers alive at once on one drawing thread may hold this much; deeper nested
// filtered or blended objects are drawn straight, without a layer of their own. No more than
// the layer cache keeps, so a nest made once for the frame is found by every other tile.
constexpr int64_t kMaxLiveLayerBytes = int64_t(LayerCache::kMaxBytes);
thread_local int64_t liveLayerBytes = 0;  // bytes of the layers being drawn into now
thread_local int64_t peakLayerBytes = 0;  // the most liveLayerBytes reached; see takeLayerBytesPeak

// Holds a layer's bytes against the budget while it is drawn; ok() is false when it would
// overspend, and the caller draws without the layer.
class LayerHold {
public:
    explicit LayerHold(QSize size) : bytes_(int64_t(size.width()) * size.height() * 4) {
        if (liveLayerBytes + bytes_ > kMaxLiveLayerBytes) {
            static std::atomic<bool> reported{false};
            if (!reported.exchange(true))
                std::fprintf(stderr,
                             "render: nested layers reached the limit of %lld MiB; deeper "
                             "ones are drawn without their effects.\n",
                             static_cast<long long>(kMaxLiveLayerBytes >> 20));
            bytes_ = 0;
            ok_ = false;
            return;
        }
        liveLayerBytes += bytes_;
        peakLayerBytes = std::max(peakLayerBytes, liveLayerBytes);
    }
    ~LayerHold() { liveLayerBytes -= bytes_; }
    LayerHold(const LayerHold&) = delete;
    LayerHold& operator=(const LayerHold&) = delete;
    bool ok() const { return ok_; }

private:
    int64_t bytes_;
    bool ok_ = true;
};

struct Ctx {
    const Movie& movie;
    QPainter* p;
    QRect target;       // device rectangle we may draw into
    double stageScale;  // stage pixels to device pixels
    bool antialias;
    QImage* layer = nullptr;  // the image painted into, when it is one we made
    LayerCache* cache = nullptr;
    uint64_t path = 0;  // where we are in the tree: hashed depths from the root
    // While a script's drawing is drawn: the bitmaps its bitmap fills name.
    const std::vector<std::shared_ptr<const BitmapSurface>>* drawnBitmaps = nullptr;
    bool rectClip = true;  // the painter clips to target alone (no mask paths)
    // The root list and its transform, to find script masks elsewhere in the tree; unset
    // inside offscreen layers, whose device space is not the stage's.
    const DisplayList* root = nullptr;
    QTransform stage{};
    // Movie twips to this target's pixels, and back: where placed objects are concatenated.
    QTransform twips{}, fromTwips{};
    // The whole frame in this target's pixels when the target is one piece of it (empty
    // otherwise): caches that serve every piece of a shape are made for this much of it.
    QRect frame{};
    // While a piece of the stage is drawn: the stage objects' bounds on the frame in drawing
    // order; objects that miss the piece are passed over.
    const std::vector<QRect>* cull = nullptr;
    // While a piece of the frame is drawn: the band it lies in, set by the frame's size alone.
    // Pictures made for the piece cover the band, so they come out the same whichever piece
    // of it is drawn.
    QRect band{};
    void setTwips(const QTransform& t) {
        bool ok = false;
        const QTransform inv = t.inverted(&ok);
        twips = t;
        fromTwips = ok ? inv : QTransform{};
    }
};

// Where pictures made for this target may reach: its band, or the target itself.
QRect steadyArea(const Ctx& c) { return c.band.isEmpty() ? c.target : c.band; }

// Where an object sits: its matrix after its parent's. The player keeps the concatenated
// translation in whole twips, so a child of a scaled clip lands on the nearest twip.
QTransform placed(const Ctx& c, const format::Matrix& m, const QTransform& parent) {
    QTransform t = toQt(m) * parent * c.fromTwips;
    if (!std::isfinite(t.dx()) || !std::isfinite(t.dy())) return toQt(m) * parent;
    t.setMatrix(t.m11(), t.m12(), 0, t.m21(), t.m22(), 0, std::round(t.dx()), std::round(t.dy()),
                1);
    return t * c.twips;
}

// Fills a detailed outline with a plain colour straight into our image, where the painter
// would take the square of its crossings a row; false when it is left to the painter.
bool coverageFilled(const Ctx& c, const QPainterPath& path) {
    if (path.elementCount() < kCoverageFillElements || !c.rectClip) return false;
    QPainter& p = *c.p;
    const QBrush& brush = p.brush();
    QImage* dst = c.layer ? c.layer : dynamic_cast<QImage*>(p.device());
    if (!dst || brush.style() != Qt::SolidPattern || p.pen().style() != Qt::NoPen ||
        p.compositionMode() != QPainter::CompositionMode_SourceOver || p.opacity() != 1 ||
        !p.transform().isInvertible())
        return false;
    QRect clip = dst->rect();
    if (p.hasClipping())
        clip &= c.target & p.transform().mapRect(p.clipBoundingRect()).toAlignedRect();
    return fillCoverage(*dst, p.transform().map(path), clip, qPremultiply(brush.color().rgba()));
}

// Fills path, given in the painter's current coordinates, with the current brush. Hard
// edges take the pixels whose centres the path holds (see hardSpans).
void drawShapePath(const Ctx& c, const QPainterPath& path) {
    if (c.antialias && coverageFilled(c, path)) return;
    if (c.antialias)
        c.p->drawPath(path);
    else
        fillHard(*c.p, path, c.target);
}

// The pixels a hard-edged fill of a device-space path covers, as a clip region.
QRegion hardRegion(const Ctx& c, const QPainterPath& device) {
    const auto spans = hardSpans(device, c.target);
    QRegion r;
    if (!spans.empty()) r.setRects(spans.data(), int(spans.size()));
    return r;
}

uint64_t mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}
uint64_t mixD(uint64_t h, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return mix(h, bits);
}

// Everything that decides an object's pixels, below and including it.
uint64_t signature(const DisplayObject& o, int nesting) {
    uint64_t h = mix(o.characterId, o.depth);
    h = mixD(mixD(mixD(mixD(h, o.matrix.sx), o.matrix.sy), o.matrix.r0), o.matrix.r1);
    h = mix(mix(h, uint32_t(o.matrix.tx)), uint32_t(o.matrix.ty));
    const auto& c = o.cxform;
    h = mix(h, (uint64_t(uint16_t(c.rm)) << 48) | (uint64_t(uint16_t(c.gm)) << 32) |
                   (uint64_t(uint16_t(c.bm)) << 16) | uint16_t(c.am));
    h = mix(h, (uint64_t(uint16_t(c.ra)) << 48) | (uint64_t(uint16_t(c.ga)) << 32) |
                   (uint64_t(uint16_t(c.ba)) << 16) | uint16_t(c.aa));
    h = mix(h, (uint64_t(o.ratio) << 32) | (uint64_t(o.clipDepth) << 16) |
                   (uint64_t(o.blendMode) << 8) | o.visible);
    // Whether it masks or is masked (scripts' setMask) decides what of it shows.
    h = mix(h, (uint64_t(o.masking) << 2) | (uint64_t(o.maskSibling) << 1) | o.cacheAsBitmap);
    for (int d : o.maskBy) h = mix(h, uint64_t(uint32_t(d)));
    h = mix(h, o.filters.size());
    if (const auto& r = o.scrollRect)
        h = mixD(mixD(mixD(mixD(h, r->x), r->y), r->width), r->height);
    // A field's view is replaced whenever scripts change it.
    h = mix(h, o.textField ? o.textField->serial : 0);
    for (const auto& f : o.filters) {
        h = mix(h, f.type);
        h = mixD(mixD(mixD(mixD(h, f.blurX), f.blurY), f.distance), f.angle);
        h = mixD(mix(mix(h, f.passes), (uint32_t(f.color.r) << 24) | (f.color.g << 16) |
                                           (f.color.b << 8) | f.color.a),
                 f.strength);
        h = mix(h, (f.inner << 3) | (f.knockout << 2) | (f.compositeSource << 1) | f.onTop);
        h = mix(h, (uint32_t(f.highlight.r) << 24) | (f.highlight.g << 16) | (f.highlight.b << 8) |
                       f.highlight.a);
        for (float v : f.colorMatrix) h = mixD(h, v);
        for (float v : f.matrix) h = mixD(h, v);
        for (const auto& g : f.gradientColors)
            h = mix(h, (uint32_t(g.r) << 24) | (g.g << 16) | (g.b << 8) | g.a);
        for (uint8_t r : f.gradientRatios) h = mix(h, r);
    }
    if (o.sprite && nesting < kMaxDrawNesting) {
        h = mix(h, o.sprite->frame);
        if (const auto& d = o.sprite->list.drawing) h = mix(h, d->version());
        for (const auto& [d, child] : o.sprite->list.objects)
            h = mix(h, signature(child, nesting + 1));
    }
    return h;
}

// "Linear RGB" gradients mix in linear light the way Flash does: each stop's colour goes
// through an 8-bit table into linear light (so dark values lose precision), the channels
// are mixed there and brought back to sRGB; alpha mixes as it is.
double toSrgb(double c) {
    return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

const std::array<uint8_t, 256>& linearTable() {
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            const double l = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
            t[size_t(i)] = uint8_t(std::floor(l * 255 + 1e-9));
        }
        return t;
    }();
    return table;
}

// A premultiplied ramp entry from linear-light channels and alpha (all 0..255). The
// channels are scaled by the alpha's own linear value over the alpha, as Flash does, which
// darkens translucent entries.
QRgb fromLinear(double r, double g, double b, double a) {
    const int alpha = int(std::lround(std::clamp(a, 0.0, 255.0)));
    if (alpha == 0) return 0;
    const double k = double(linearTable()[size_t(alpha)]) / alpha / 255;
    auto ch = [k](double l) {
        return uint32_t(std::lround(toSrgb(std::clamp(l * k, 0.0, 1.0)) * 255));
    };
    return qPremultiply((uint32_t(alpha) << 24) | (ch(r) << 16) | (ch(g) << 8) | ch(b));
}

// A gradient's colours, `steps` to each of the 256 steps of its ramp.
struct Ramp {
    std::vector<QRgb> colors;
    int steps = 1;
    std::shared_ptr<RampPlanes> planes;  // the colours split for the wide blend, where it runs
};
// Largest difference of neighbouring entries (any channel) still drawn one colour per step,
// and the colours per step of a ramp with a sharper step.
constexpr int kRampJump = 8;
constexpr int kRampSteps = 64;

// Gradients live in a 32768-twip square centred on the origin, placed by their matrix.
// Flash looks every pixel up in a 256-entry ramp; the ramp is built the same way here and
// the pixels are computed by hand, so the steps fall where Flash puts them.
std::array<QRgb, 256> gradientRamp(const format::Gradient& gr, const ColorTx& cx) {
    std::array<QRgb, 256> ramp{};
    std::vector<std::pair<int, QColor>> stops;
    std::vector<QRgb> rgb;
    for (const auto& st : gr.stops) {
        stops.push_back({st.ratio, cx.apply(st.color)});
        rgb.push_back(stops.back().second.rgba());
    }
    if (stops.empty()) return ramp;
    const bool linearRgb = gr.interpolation == 1;
    // Stops in linear light: r, g, b, a.
    std::vector<std::array<double, 4>> lin;
    if (linearRgb) {
        const auto& table = linearTable();
        for (QRgb c : rgb)
            lin.push_back({double(table[qRed(c)]), double(table[qGreen(c)]),
                           double(table[qBlue(c)]), double(qAlpha(c))});
    }
    auto linearAt = [&](size_t k) {
        return fromLinear(lin[k][0], lin[k][1], lin[k][2], lin[k][3]);
    };
    // Each entry takes the first pair of neighbouring stops whose end ratio is not below it
    // (stops out of order are passed over); before the first stop the first colour, after the
    // last the last one. At two stops of one ratio that entry keeps the earlier colour.
    size_t j = 0;
    for (int i = 0; i < 256; ++i) {
        while (j + 1 < stops.size() && i > stops[j + 1].first) ++j;
        if (i < stops.front().first) {
            ramp[i] = linearRgb ? linearAt(0) : qPremultiply(rgb.front());
        } else if (j + 1 >= stops.size()) {
            ramp[i] = linearRgb ? linearAt(stops.size() - 1) : qPremultiply(rgb.back());
        } else {
            const int r0 = stops[j].first, r1 = stops[j + 1].first;
            const double t = r1 > r0 ? std::clamp(double(i - r0) / (r1 - r0), 0.0, 1.0) : 0.0;
            if (linearRgb) {
                const auto &a = lin[j], &b = lin[j + 1];
                auto m = [t](double x, double y) { return x + (y - x) * t; };
                ramp[i] = fromLinear(m(a[0], b[0]), m(a[1], b[1]), m(a[2], b[2]), m(a[3], b[3]));
            } else {
                auto m = [t](int a, int b) { return uint32_t(int(a + (b - a) * t)); };
                const QRgb a = rgb[j], b = rgb[j + 1];
                ramp[i] =
                    qPremultiply((m(qAlpha(a), qAlpha(b)) << 24) | (m(qRed(a), qRed(b)) << 16) |
                                 (m(qGreen(a), qGreen(b)) << 8) | m(qBlue(a), qBlue(b)));
            }
        }
    }
    return ramp;
}

// An sRGB value (0..1) in linear light, exactly (no 8-bit table): the player blends
// neighbouring ramp entries of a linear-light gradient in linear light.
double srgbToLinear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The player reads the 256 entries with linear filtering, entry i at ramp position i + 0.5
// (in 1/256 steps of the gradient), held at the end entries within each repeat. Neighbours
// that differ little look the same either way, so such a ramp keeps one colour per step;
// one with a sharp step is refined into `steps` colours per step, each the filtered colour
// at its middle, so that edge comes out blended over one step as in the player.
Ramp refinedRamp(const std::array<QRgb, 256>& coarse, bool linearRgb) {
    Ramp out;
    int jump = 0;
    for (size_t i = 0; i + 1 < 256; ++i)
        for (int sh = 0; sh < 32; sh += 8)
            jump = std::max(
                jump, std::abs(int((coarse[i] >> sh) & 255) - int((coarse[i + 1] >> sh) & 255)));
    if (jump <= kRampJump) {
        out.steps = 1;
        out.colors.assign(coarse.begin(), coarse.end());
        return out;
    }
    out.steps = kRampSteps;
    out.colors.resize(size_t(256 * kRampSteps));
    // Unpremultiplied channels (in linear light for a linear-light gradient) and alpha.
    std::array<std::array<double, 4>, 256> ch{};
    for (size_t i = 0; i < 256; ++i) {
        const QRgb c = qUnpremultiply(coarse[i]);
        const double rgb[3] = {double(qRed(c)), double(qGreen(c)), double(qBlue(c))};
        for (int k = 0; k < 3; ++k)
            ch[i][size_t(k)] = linearRgb ? srgbToLinear(rgb[k] / 255) : rgb[k];
        ch[i][3] = qAlpha(c);
    }
    for (int k = 0; k < 256 * kRampSteps; ++k) {
        const double at = std::clamp((k + 0.5) / kRampSteps - 0.5, 0.0, 255.0);
        const int i = std::min(int(at), 254);
        const double w = at - i;
        if (coarse[size_t(i)] == coarse[size_t(i) + 1]) {
            out.colors[size_t(k)] = coarse[size_t(i)];
            continue;
        }
        std::array<double, 4> m{};
        const auto &a = ch[size_t(i)], &b = ch[size_t(i) + 1];
        for (size_t q = 0; q < 4; ++q) m[q] = a[q] + (b[q] - a[q]) * w;
        auto byte = [](double v) { return uint32_t(std::lround(std::clamp(v, 0.0, 255.0))); };
        auto channel = [&](double v) {
            return byte(linearRgb ? toSrgb(std::clamp(v, 0.0, 1.0)) * 255 : v);
        };
        out.colors[size_t(k)] = qPremultiply((byte(m[3]) << 24) | (channel(m[0]) << 16) |
                                             (channel(m[1]) << 8) | channel(m[2]));
    }
    return out;
}

// Ramps of the frame before, by their stops and colour transform: a still movie builds each
// once.
const Ramp& keptRamp(const format::Gradient& gr, const ColorTx& cx) {
    struct Entry {
        std::vector<uint32_t> stops;
        std::array<double, 8> cx;
        Ramp ramp;
    };
    thread_local std::unordered_map<uint64_t, Entry> kept;
    // Found by the gradient's place and checked against its stops, which is cheaper than
    // hashing them on every call (a frame asks once per shape and tile).
    const std::array<double, 8> key{cx.mr, cx.mg, cx.mb, cx.ma, cx.ar, cx.ag, cx.ab, cx.aa};
    uint64_t h = mix(reinterpret_cast<uintptr_t>(&gr), gr.interpolation);
    for (double v : key) h = mixD(h, v);
    const auto same = [&](const Entry& e) {
        if (e.cx != key || e.stops.size() != 2 * gr.stops.size() + 1 ||
            e.stops[0] != gr.interpolation)
            return false;
        for (size_t i = 0; i < gr.stops.size(); ++i) {
            const auto& st = gr.stops[i];
            if (e.stops[2 * i + 1] != ((uint32_t(st.ratio) << 24) | (uint32_t(st.color.r) << 16) |
                                       (uint32_t(st.color.g) << 8) | st.color.b) ||
                e.stops[2 * i + 2] != st.color.a)
                return false;
        }
        return true;
    };
    auto it = kept.find(h);
    if (it != kept.end() && same(it->second)) return it->second.ramp;
    std::vector<uint32_t> stops;
    stops.reserve(2 * gr.stops.size() + 1);
    stops.push_back(gr.interpolation);
    for (const auto& st : gr.stops) {
        stops.push_back((uint32_t(st.ratio) << 24) | (uint32_t(st.color.r) << 16) |
                        (uint32_t(st.color.g) << 8) | st.color.b);
        stops.push_back(st.color.a);
    }
    // Refined ramps are large: the kept ones are bounded by their colours as well.
    thread_local size_t colors = 0;
    if (it != kept.end()) {
        colors -= it->second.ramp.colors.size();
        kept.erase(it);
    }
    if (kept.size() >= 4096 || colors >= (size_t(8) << 20)) {
        kept.clear();
        colors = 0;
    }
    Entry& e = kept[h];
    e.stops = std::move(stops);
    e.cx = key;
    e.ramp = refinedRamp(gradientRamp(gr, cx), gr.interpolation == 1);
    if (e.ramp.colors.size() == 256 && hasWideBlend()) {
        e.ramp.planes = std::make_shared<RampPlanes>();
        splitRamp(e.ramp.colors.data(), *e.ramp.planes);
    }
    colors += e.ramp.colors.size();
    return e.ramp;
}

// Where in the ramp (0..1 before spreading) a point of gradient space falls.
double gradientPosition(const format::FillStyle& f, double x, double y) {
    if (f.type == format::FillStyle::LinearGradient) return (x + 16384) / 32768;
    const double px = x / 16384, py = y / 16384;
    if (f.type != format::FillStyle::FocalGradient || f.gradient.focalPoint == 0)
        return std::sqrt(px * px + py * py);
    // The ramp runs from the focal point out to the circle along each ray.
    const double fx = std::clamp(f.gradient.focalPoint, -0.98, 0.98);
    const double dx = px - fx, dy = py;
    const double a = dx * dx + dy * dy;
    if (a == 0) return 0;
    const double b = fx * dx;
    const double s = (-b + std::sqrt(std::max(0.0, b * b + a * (1 - fx * fx)))) / a;
    return s > 0 ? 1 / s : 1;
}

// The ramp colour (before spreading) of a position, for a ramp of n colours. Far-off values
// are clamped first so they stay integers.
inline int rampStep(double t, int n) {
    const double v = std::clamp(t * n, -1e9, 1e9);
    const int i = static_cast<int>(v);
    return i - (v < i);  // floor without a library call
}

// The ramp colour of a step for a ramp of n colours (a power of two); the spread is a
// template argument so loops carry no branch.
template <int Spread>
inline int spreadStep(int i, int n) {
    if constexpr (Spread == 1) {
        i &= 2 * n - 1;
        return i >= n ? 2 * n - 1 - i : i;
    } else if constexpr (Spread == 2) {
        return i & (n - 1);
    } else {
        return std::clamp(i, 0, n - 1);
    }
}

// idx[x] = rampStep(q[x] * mul + add, size), two at a time where the processor allows.
void rampSteps(const double* q, int* idx, int n, double mul, double add, int size) {
    int x = 0;
#if defined(__SSE2__)
    const __m128d m = _mm_set1_pd(mul), a = _mm_set1_pd(add), k = _mm_set1_pd(size),
                  lo = _mm_set1_pd(-1e9), hi = _mm_set1_pd(1e9);
    for (; x + 2 <= n; x += 2) {
        __m128d v = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(_mm_loadu_pd(q + x), m), a), k);
        v = _mm_min_pd(_mm_max_pd(v, lo), hi);
        __m128i i = _mm_cvttpd_epi32(v);
        const __m128d below = _mm_cmplt_pd(v, _mm_cvtepi32_pd(i));
        i = _mm_add_epi32(i, _mm_shuffle_epi32(_mm_castpd_si128(below), _MM_SHUFFLE(3, 3, 2, 0)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(idx + x), i);
    }
#endif
    for (; x < n; ++x) idx[x] = rampStep(q[x] * mul + add, size);
}

// The centres of area's columns in device pixels, kept in store.
const double* columnCentres(std::vector<double>& store, const QRect& area) {
    store.resize(size_t(area.width()));
    for (int x = 0; x < area.width(); ++x) store[size_t(x)] = area.x() + x + 0.5;
    return store.data();
}

// Where the gradient rows go: into an image, or blended straight onto a destination.
struct GradientOut {
    QImage* image = nullptr;  // rows written here, or else
    QImage* blendInto = nullptr;
    QPoint at;  // where row 0, column 0 lands on blendInto
    std::vector<QRgb> buffer;

    QRgb* row(int y) {
        if (image) return reinterpret_cast<QRgb*>(image->scanLine(y));
        return buffer.data();
    }
    // The row just computed (or, with same, the one before it again).
    void done(int y, int w, bool same);
};

void blendRow(uint32_t* dst, const uint32_t* src, int n);

void GradientOut::done(int y, int w, bool same) {
    if (image) {
        if (same) std::memcpy(image->scanLine(y), image->scanLine(y - 1), size_t(w) * 4);
        return;
    }
    blendRow(reinterpret_cast<uint32_t*>(blendInto->scanLine(at.y() + y)) + at.x(), buffer.data(),
             w);
}

template <int Spread>
void gradientRows(GradientOut& out, const format::FillStyle& f, const Ramp& ramp,
                  const QTransform& inv, const QRect& area) {
    const int n = int(ramp.colors.size());
    const bool linear = f.type == format::FillStyle::LinearGradient;
    const bool plainRadial =
        f.type == format::FillStyle::RadialGradient || f.gradient.focalPoint == 0;
    const int w = area.width();
    double lastRx = 0, firstRx = 0;
    // Per row: the positions, then their ramp entries, then the colours, each in its own
    // loop so the middle one runs without the chain of additions. Each position comes from
    // its pixel alone, so a pixel's colour does not depend on where the area starts.
    thread_local std::vector<double> xSquares, pos, across;
    thread_local std::vector<int> index;
    pos.resize(size_t(w));
    index.resize(size_t(w));
    double* q = pos.data();
    int* idx = index.data();
    const double* cx = columnCentres(across, area);
    for (int y = 0; y < area.height(); ++y) {
        const double dy = area.y() + y + 0.5;
        const double rx = inv.m21() * dy + inv.dx(), ry = inv.m22() * dy + inv.dy();
        if (linear) {
            // A linear gradient's row depends on its starting point alone: an unrotated one
            // repeats the row above exactly.
            if (y > 0 && rx == lastRx) {
                out.done(y, w, true);
                continue;
            }
            lastRx = rx;
            for (int x = 0; x < w; ++x) q[x] = inv.m11() * cx[x] + rx;
            rampSteps(q, idx, w, 1.0 / 32768, 0.5, n);
        } else if (plainRadial) {
            // Unrotated, every row walks the same x positions: their squares are kept from
            // the first row.
            if (y > 0 && inv.m12() == 0 && rx == firstRx) {
                const double gy2 = ry * ry;
                for (int x = 0; x < w; ++x) q[x] = xSquares[x] + gy2;
            } else {
                if (y == 0) {
                    firstRx = rx;
                    xSquares.resize(size_t(w));
                }
                for (int x = 0; x < w; ++x) {
                    const double gx = inv.m11() * cx[x] + rx, gy = inv.m12() * cx[x] + ry;
                    if (y == 0) xSquares[x] = gx * gx;
                    q[x] = gx * gx + gy * gy;
                }
            }
            // Sums of squares are never negative, so the square roots need no error path.
            int x = 0;
#if defined(__SSE2__)
            for (; x + 2 <= w; x += 2) _mm_storeu_pd(q + x, _mm_sqrt_pd(_mm_loadu_pd(q + x)));
#endif
            for (; x < w; ++x) q[x] = std::sqrt(q[x]);
            rampSteps(q, idx, w, 1.0 / 16384, 0, n);
        } else {
            for (int x = 0; x < w; ++x)
                idx[x] = rampStep(
                    gradientPosition(f, inv.m11() * cx[x] + rx, inv.m12() * cx[x] + ry), n);
        }
        QRgb* row = out.row(y);
        for (int x = 0; x < w; ++x) idx[x] = spreadStep<Spread>(idx[x], n);
        for (int x = 0; x < w; ++x) row[x] = ramp.colors[size_t(idx[x])];
        out.done(y, w, false);
    }
}

// Ramp entries (spread applied) of every pixel of area, row after row.
template <int Spread>
void gradientIndices(uint8_t* outIdx, const format::FillStyle& f, const QTransform& inv,
                     const QRect& area) {
    const bool linear = f.type == format::FillStyle::LinearGradient;
    const bool plainRadial =
        f.type == format::FillStyle::RadialGradient || f.gradient.focalPoint == 0;
    const int w = area.width();
    thread_local std::vector<double> pos, across;
    thread_local std::vector<int> index;
    pos.resize(size_t(w));
    index.resize(size_t(w));
    double* q = pos.data();
    int* idx = index.data();
    const double* cx = columnCentres(across, area);
    for (int y = 0; y < area.height(); ++y) {
        const double dy = area.y() + y + 0.5;
        const double rx = inv.m21() * dy + inv.dx(), ry = inv.m22() * dy + inv.dy();
        if (linear) {
            for (int x = 0; x < w; ++x) q[x] = inv.m11() * cx[x] + rx;
            rampSteps(q, idx, w, 1.0 / 32768, 0.5, 256);
        } else if (plainRadial) {
            for (int x = 0; x < w; ++x) {
                const double gx = inv.m11() * cx[x] + rx, gy = inv.m12() * cx[x] + ry;
                q[x] = gx * gx + gy * gy;
            }
            int x = 0;
#if defined(__SSE2__)
            for (; x + 2 <= w; x += 2) _mm_storeu_pd(q + x, _mm_sqrt_pd(_mm_loadu_pd(q + x)));
#endif
            for (; x < w; ++x) q[x] = std::sqrt(q[x]);
            rampSteps(q, idx, w, 1.0 / 16384, 0, 256);
        } else {
            for (int x = 0; x < w; ++x)
                idx[x] = rampStep(
                    gradientPosition(f, inv.m11() * cx[x] + rx, inv.m12() * cx[x] + ry), 256);
        }
        uint8_t* o = outIdx + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) o[x] = uint8_t(spreadStep<Spread>(idx[x], 256));
    }
}

// Frames drawn so far by every player: what the caches below last served ages by it.
std::atomic<uint64_t> gFrames{0};

// Ramp entries of gradients that need a computation per pixel, kept in the shape's own terms:
// its fill, its scale and turn on the device with the sub-pixel phase of its placement, and
// the part of it drawn, counted from the shape's own origin. A shape that stays, or moves by
// whole pixels, or is drawn tile by tile, or again after the stage was resized back, costs
// its square roots once. Shared by the drawing threads; the least recently used entries go
// first once the bytes run out.
class GradientIndexCache {
public:
    using Key = std::array<double, 18>;
    using Indices = std::shared_ptr<const std::vector<uint8_t>>;
    // The entries of whole (device pixels) when they are kept or can be; otherwise those of
    // part alone, made for this call. `at` is where the returned entries start.
    Indices get(const format::FillStyle& f, const QTransform& world, const QRect& whole,
                const QRect& part, QRect& at) {
        const double ix = std::floor(world.dx()), iy = std::floor(world.dy());
        const QTransform normalized = world * QTransform::fromTranslate(-ix, -iy);
        const QRect rel = whole.translated(-int(ix), -int(iy));
        const Key key{double(f.type),        double(f.gradient.spread),
                      f.gradient.focalPoint, f.matrix.sx,
                      f.matrix.sy,           f.matrix.r0,
                      f.matrix.r1,           double(f.matrix.tx),
                      double(f.matrix.ty),   normalized.m11(),
                      normalized.m12(),      normalized.m21(),
                      normalized.m22(),      normalized.dx(),
                      normalized.dy(),       double(rel.x()) + double(rel.width()) * 65536.0,
                      double(rel.y()),       double(rel.height())};
        uint64_t h = 0;
        for (double v : key) h = mixD(h, v);
        const uint64_t now = gFrames.load(std::memory_order_relaxed);
        const size_t size = size_t(whole.width()) * size_t(whole.height());
        {
            std::lock_guard lock(mutex_);
            auto it = entries_.find(h);
            if (it != entries_.end() && it->second.key == key) {
                it->second.used = now;
                at = whole;
                return it->second.indices;
            }
            if (size > kMaxBytes / 4 || !makeRoom(size, now)) {
                at = part;
                return compute(f, normalized, part.translated(-int(ix), -int(iy)));
            }
        }
        Indices made = compute(f, normalized, rel);
        at = whole;
        std::lock_guard lock(mutex_);
        auto [it, fresh] = entries_.try_emplace(h, Entry{key, made, now});
        if (fresh)
            bytes_ += size;
        else if (it->second.key == key)
            made = it->second.indices;  // another thread made the same meanwhile
        return made;
    }

private:
    struct Entry {
        Key key;
        Indices indices;
        uint64_t used;  // the frame that last asked for it
    };
    static Indices compute(const format::FillStyle& f, const QTransform& world, const QRect& area) {
        auto out =
            std::make_shared<std::vector<uint8_t>>(size_t(area.width()) * size_t(area.height()));
        bool ok = false;
        const QTransform inv = (toQt(f.matrix) * world).inverted(&ok);
        if (!ok) return out;
        switch (f.gradient.spread) {
            case 1:
                gradientIndices<1>(out->data(), f, inv, area);
                break;
            case 2:
                gradientIndices<2>(out->data(), f, inv, area);
                break;
            default:
                gradientIndices<0>(out->data(), f, inv, area);
                break;
        }
        return out;
    }
    // Drops the least recently used entries until size more fit; those of this frame stay.
    bool makeRoom(size_t size, uint64_t now) {
        if (bytes_ + size <= kMaxBytes) return true;
        std::vector<std::pair<uint64_t, uint64_t>> byAge;  // (last use, key)
        byAge.reserve(entries_.size());
        for (const auto& [k, e] : entries_) byAge.push_back({e.used, k});
        std::sort(byAge.begin(), byAge.end());
        // Down to three quarters, so the next misses do not sort again at once.
        for (const auto& [used, k] : byAge) {
            if (bytes_ + size <= kMaxBytes * 3 / 4 || used >= now) break;
            auto it = entries_.find(k);
            bytes_ -= it->second.indices->size();
            entries_.erase(it);
        }
        return bytes_ + size <= kMaxBytes;
    }
    std::mutex mutex_;
    std::unordered_map<uint64_t, Entry> entries_;
    size_t bytes_ = 0;
    static constexpr size_t kMaxBytes = 128u << 20;
};

GradientIndexCache& indexCache() {
    static GradientIndexCache cache;
    return cache;
}

// Computes the gradient over area (device pixels) for a shape drawn through world into out.
bool gradientInto(GradientOut& out, const format::FillStyle& f, const ColorTx& cx,
                  const QTransform& world, const QRect& area) {
    bool ok = false;
    const QTransform inv = (toQt(f.matrix) * world).inverted(&ok);
    if (!ok) return false;
    const auto& ramp = keptRamp(f.gradient, cx);
    switch (f.gradient.spread) {
        case 1:
            gradientRows<1>(out, f, ramp, inv, area);
            break;
        case 2:
            gradientRows<2>(out, f, ramp, inv, area);
            break;
        default:
            gradientRows<0>(out, f, ramp, inv, area);
            break;
    }
    return true;
}

// The gradient's pixels over area (device pixels), for a shape drawn through world. The
// picture lives in a buffer reused by the next call: draw with it before making another.
QImage gradientImage(const format::FillStyle& f, const ColorTx& cx, const QTransform& world,
                     const QRect& area) {
    thread_local std::vector<uint32_t> scratch;
    const size_t pixels = size_t(area.width()) * size_t(area.height());
    if (area.isEmpty() || pixels > (64u << 20)) return {};
    if (scratch.size() < pixels) scratch.resize(pixels);
    QImage img(reinterpret_cast<uchar*>(scratch.data()), area.width(), area.height(),
               area.width() * 4, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return img;
    GradientOut out;
    out.image = &img;
    if (!gradientInto(out, f, cx, world, area)) img.fill(Qt::transparent);
    return img;
}

// A brush painting a gradient for path (painter coordinates, drawn through world); area
// limits the pixels computed.
QBrush gradientBrush(const format::FillStyle& f, const ColorTx& cx, const QTransform& world,
                     const QRect& area) {
    if (area.isEmpty()) return QBrush(Qt::NoBrush);
    QBrush b(gradientImage(f, cx, world, area));
    b.setTransform(QTransform::fromTranslate(area.x(), area.y()) * world.inverted());
    return b;
}

const QImage* bitmapFor(const Movie& movie, uint16_t id) {
    const Character* ch = movie.character(id);
    const auto* b = ch ? std::get_if<BitmapCharacter>(ch) : nullptr;
    if (!b) return nullptr;
    const QImage& img = b->image(movie);
    return img.isNull() ? nullptr : &img;
}

QImage transformed(const QImage& img, const ColorTx& cx) {
    if (cx.isIdentity()) return img;
    QImage out = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = row[x];
            const QColor c = cx.apply(format::Rgba{uint8_t(qRed(p)), uint8_t(qGreen(p)),
                                                   uint8_t(qBlue(p)), uint8_t(qAlpha(p))});
            row[x] = c.rgba();
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The device rectangle path covers when it is one axis-aligned rectangle (a contour through
// its four corners); any other path gives false.
bool deviceRect(const QPainterPath& path, const QTransform& world, QRectF& out) {
    const int n = path.elementCount();
    if (n < 4 || n > 5) return false;
    std::array<QPointF, 5> pts;
    for (int i = 0; i < n; ++i) {
        const auto& e = path.elementAt(i);
        if (i == 0 ? !e.isMoveTo() : !e.isLineTo()) return false;
        pts[size_t(i)] = world.map(QPointF(e.x, e.y));
    }
    if (n == 5 && pts[0] != pts[4]) return false;
    // Four corners joined by horizontal and vertical edges make the rectangle.
    for (int i = 0; i < 4; ++i) {
        const QPointF a = pts[size_t(i)], b = pts[size_t((i + 1) % 4)];
        if ((a.x() == b.x()) == (a.y() == b.y())) return false;
    }
    const double l = std::min(pts[0].x(), pts[2].x()), r = std::max(pts[0].x(), pts[2].x()),
                 t = std::min(pts[0].y(), pts[2].y()), b = std::max(pts[0].y(), pts[2].y());
    if (!(std::abs(l) < 1e7 && std::abs(r) < 1e7 && std::abs(t) < 1e7 && std::abs(b) < 1e7))
        return false;
    out = QRectF(QPointF(l, t), QPointF(r, b));
    return true;
}

// Premultiplied source over destination with the painter's own rounding, so pixels come
// out as QPainter would draw them.
inline uint32_t byteMul(uint32_t x, uint32_t a) {
    uint32_t t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080);
    x &= 0xff00ff00;
    return x | t;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Eight at a time where the processor has AVX2; the same arithmetic as below.
__attribute__((target("avx2"))) inline void blend8(uint32_t* dst, __m256i s) {
    const __m256i mask = _mm256_set1_epi32(0x00ff00ff), half = _mm256_set1_epi16(0x80),
                  opaque = _mm256_set1_epi32(int(0xff000000u)), ones = _mm256_set1_epi32(-1);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(s, opaque), opaque)) == -1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
        return;
    }
    if (_mm256_testz_si256(s, s)) return;
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    __m256i ia = _mm256_srli_epi32(_mm256_xor_si256(s, ones), 24);
    ia = _mm256_or_si256(ia, _mm256_slli_epi32(ia, 16));
    __m256i lo = _mm256_mullo_epi16(_mm256_and_si256(d, mask), ia);
    __m256i hi = _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi16(d, 8), mask), ia);
    lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(lo, _mm256_srli_epi16(lo, 8)), half),
                           8);
    hi = _mm256_add_epi16(_mm256_add_epi16(hi, _mm256_srli_epi16(hi, 8)), half);
    hi = _mm256_andnot_si256(mask, hi);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                        _mm256_add_epi32(s, _mm256_or_si256(lo, hi)));
}

__attribute__((target("avx2"))) int blendRowAvx2(uint32_t* dst, const uint32_t* src, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8)
        blend8(dst + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
    return i;
}

// The colours looked up from ramp entries as they are blended.
__attribute__((target("avx2"))) int blendIndexedAvx2(uint32_t* dst, const uint8_t* idx,
                                                     const QRgb* ramp, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i k =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(idx + i)));
        blend8(dst + i, _mm256_i32gather_epi32(reinterpret_cast<const int*>(ramp), k, 4));
    }
    return i;
}
bool hasAvx2() {
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return yes;
}
#endif

void blendRow(uint32_t* dst, const uint32_t* src, int n) {
    if (hasWideBlend()) {
        blendRowWide(dst, src, n);
        return;
    }
    int i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (hasAvx2()) i = blendRowAvx2(dst, src, n);
#endif
#if defined(__SSE2__)
    // Four at a time: d * (255 - sa) with the same rounding, 16 bits a channel.
    const __m128i mask = _mm_set1_epi32(0x00ff00ff), half = _mm_set1_epi16(0x80),
                  opaque = _mm_set1_epi32(int(0xff000000u)), ones = _mm_set1_epi32(-1);
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i a = _mm_and_si128(s, opaque);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, opaque)) == 0xffff) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, _mm_setzero_si128())) == 0xffff) continue;
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        // 255 - alpha in both 16-bit halves of each pixel.
        __m128i ia = _mm_srli_epi32(_mm_xor_si128(s, ones), 24);
        ia = _mm_or_si128(ia, _mm_slli_epi32(ia, 16));
        __m128i lo = _mm_mullo_epi16(_mm_and_si128(d, mask), ia);
        __m128i hi = _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(d, 8), mask), ia);
        lo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), half), 8);
        hi = _mm_add_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), half);
        hi = _mm_andnot_si128(mask, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_add_epi32(s, _mm_or_si128(lo, hi)));
    }
#endif
    for (; i < n; ++i) {
        const uint32_t s = src[i];
        if (s >= 0xff000000u)
            dst[i] = s;
        else if (s != 0)
            dst[i] = s + byteMul(dst[i], (~s) >> 24);
    }
}

// A device rectangle as the smoothing painter rasterizes it: sides snapped to 1/64 pixel,
// here in 1/256 pixel, the unit its coverage is counted in.
struct SnappedRect {
    int64_t l, t, r, b;
};

std::optional<SnappedRect> snappedRect(const QRectF& r) {
    auto snap = [](double v) { return int64_t(std::floor(v * 64 + 0.5)) * 4; };
    const SnappedRect s{snap(r.left()), snap(r.top()), snap(r.right()), snap(r.bottom())};
    if (s.l >= s.r || s.t >= s.b) return std::nullopt;
    return s;
}

// How much of the span [lo, hi) (1/256 pixel) lies in pixel i, in 1/256.
inline int64_t heldIn(int64_t lo, int64_t hi, int i) {
    const int64_t start = int64_t(i) * 256;
    return std::max<int64_t>(0, std::min(hi, start + 256) - std::max(lo, start));
}

// The painter's coverage of pixel (x, y): the area it holds, in 1/256 pixel steps each way,
// rounded up to 1/256 of the pixel and held below 256.
inline int pixelCoverage(const SnappedRect& s, int x, int y) {
    const int64_t across = heldIn(s.l, s.r, x), down = heldIn(s.t, s.b, y);
    return int(std::min<int64_t>(255, (across * down + 255) >> 8));
}

// Blends the pixels of part (outside the rectangle's whole pixels) as the painter would with
// its coverage: the colour scaled by the coverage, then over. colours holds the fill from
// origin on.
void blendEdgePart(QImage& dst, const QRect& part, const SnappedRect& s, const QImage& colours,
                   QPoint origin) {
    const int x0 = std::max(part.left(), int(s.l >> 8));
    const int x1 = std::min(part.right(), int((s.r - 1) >> 8));
    if (part.isEmpty() || x1 < x0 || colours.isNull()) return;
    const int n = x1 - x0 + 1;
    thread_local std::vector<uint32_t> scaled;
    scaled.resize(size_t(n));
    for (int y = part.top(); y <= part.bottom(); ++y) {
        if (heldIn(s.t, s.b, y) == 0) continue;
        const auto* from =
            reinterpret_cast<const uint32_t*>(colours.constScanLine(y - origin.y())) +
            (x0 - origin.x());
        auto* to = reinterpret_cast<uint32_t*>(dst.scanLine(y)) + x0;
        for (int i = 0; i < n; ++i) {
            const int k = pixelCoverage(s, x0 + i, y);
            scaled[size_t(i)] = k == 255 ? from[i] : byteMul(from[i], uint32_t(k));
        }
        blendRow(to, scaled.data(), n);
    }
}

// Fills path (in the painter's current transform) with a fill style; returns false for
// fills that cannot be drawn.
void fillPath(Ctx& c, const QPainterPath& path, const format::FillStyle& f, const ColorTx& cx) {
    QPainter& p = *c.p;
    if (f.type == format::FillStyle::Solid) {
        p.setBrush(cx.apply(f.color));
        drawShapePath(c, path);
    } else if (f.isGradient()) {
        if (f.gradient.stops.empty()) return;
        // Drawn in device pixels so the computed picture is used pixel for pixel.
        const QTransform world = p.transform();
        QRect area = world.mapRect(path.boundingRect()).toAlignedRect() & c.target;
        if (p.hasClipping()) area &= world.mapRect(p.clipBoundingRect()).toAlignedRect();
        if (area.isEmpty()) return;
        auto viaBrush = [&](const QRect& part, bool clip) {
            QBrush b(gradientImage(f, cx, world, part));
            b.setTransform(QTransform::fromTranslate(part.x(), part.y()));
            p.save();
            p.resetTransform();
            if (clip) p.setClipRect(part, Qt::IntersectClip);
            p.setBrush(b);
            drawShapePath(c, world.map(path));
            p.restore();
        };
        // A rectangle painted straight into our image: the whole pixels inside it take the
        // gradient's rows blended without a brush; its partly covered edges take the
        // painter's coverage, worked out here (at low quality they are drawn by the painter,
        // whose coverage does not depend on the clip).
        QImage* dst = c.layer ? c.layer : dynamic_cast<QImage*>(p.device());
        QRectF r;
        if (dst && c.rectClip && dst->format() == QImage::Format_ARGB32_Premultiplied &&
            p.compositionMode() == QPainter::CompositionMode_SourceOver && p.opacity() == 1 &&
            deviceRect(path, world, r)) {
            const int l = int(std::ceil(r.left())), t = int(std::ceil(r.top())),
                      rr = int(std::floor(r.right())), b = int(std::floor(r.bottom()));
            // No whole pixel inside a rectangle thinner than one (QRect's & would turn the
            // reversed corners round into one).
            const QRect inside =
                l < rr && t < b ? QRect(QPoint(l, t), QPoint(rr - 1, b - 1)) : QRect();
            const QRect inner = inside & area & dst->rect();
            const auto edges = c.antialias ? snappedRect(r) : std::nullopt;
            if (inner.isEmpty() && edges) {
                const QRect part = area & dst->rect();
                blendEdgePart(*dst, part, *edges, gradientImage(f, cx, world, part),
                              part.topLeft());
                return;
            }
            if (!inner.isEmpty()) {
                bool ok = false;
                const QTransform inv = (toQt(f.matrix) * world).inverted(&ok);
                const Ramp& ramp = keptRamp(f.gradient, cx);
                // Rows are computed and blended one by one when each row is the same (it is
                // then computed once) or when a refined ramp's colours outnumber a byte's
                // values; otherwise the kept per-pixel entries are blended.
                if (ok && ((f.type == format::FillStyle::LinearGradient && inv.m21() == 0) ||
                           ramp.steps != 1)) {
                    thread_local GradientOut out;
                    out.blendInto = dst;
                    out.at = inner.topLeft();
                    out.buffer.resize(size_t(inner.width()));
                    gradientInto(out, f, cx, world, inner);
                } else if (ok) {
                    // Entries for the shape's whole inside on the frame, so the other tiles
                    // it crosses find them made.
                    const QRect frame = c.frame.isEmpty() ? c.target : c.frame;
                    QRect whole = inside & frame;
                    if (!whole.contains(inner)) whole = inner;
                    QRect at;
                    const auto kept = indexCache().get(f, world, whole, inner, at);
                    const std::vector<uint8_t>& idx = *kept;
                    const int w = inner.width();
                    const size_t from = size_t(inner.y() - at.y()) * size_t(at.width()) +
                                        size_t(inner.x() - at.x());
                    thread_local std::vector<uint32_t> row;
                    row.resize(size_t(w));
                    uchar* bits = dst->bits();
                    const qsizetype stride = dst->bytesPerLine();
                    const bool wide = ramp.planes != nullptr;
                    if (idx.size() == size_t(at.width()) * size_t(at.height()))
                        for (int y = 0; y < inner.height(); ++y) {
                            const uint8_t* in = idx.data() + from + size_t(y) * size_t(at.width());
                            auto* to =
                                reinterpret_cast<uint32_t*>(bits + (inner.y() + y) * stride) +
                                inner.x();
                            if (wide) {
                                blendIndexedWide(to, in, *ramp.planes, w);
                                continue;
                            }
                            int x = 0;
#if defined(__x86_64__) && defined(__GNUC__)
                            if (hasAvx2()) x = blendIndexedAvx2(to, in, ramp.colors.data(), w);
#endif
                            for (int k = x; k < w; ++k) row[size_t(k - x)] = ramp.colors[in[k]];
                            blendRow(to + x, row.data(), w - x);
                        }
                }
                const QRect parts[] = {
                    QRect(QPoint(area.left(), area.top()), QPoint(area.right(), inner.top() - 1)),
                    QRect(QPoint(area.left(), inner.bottom() + 1),
                          QPoint(area.right(), area.bottom())),
                    QRect(QPoint(area.left(), inner.top()),
                          QPoint(inner.left() - 1, inner.bottom())),
                    QRect(QPoint(inner.right() + 1, inner.top()),
                          QPoint(area.right(), inner.bottom()))};
                for (const QRect& part : parts) {
                    if (!part.isValid() || part.isEmpty()) continue;
                    if (edges)
                        blendEdgePart(*dst, part & dst->rect(), *edges,
                                      gradientImage(f, cx, world, part), part.topLeft());
                    else
                        viaBrush(part, true);
                }
                return;
            }
        }
        viaBrush(area, false);
    } else if (f.isBitmap()) {
        QImage live;
        if (c.drawnBitmaps && f.bitmapId >= 1 && f.bitmapId <= c.drawnBitmaps->size())
            live = (*c.drawnBitmaps)[f.bitmapId - 1]->view();
        const QImage* img =
            c.drawnBitmaps ? (live.isNull() ? nullptr : &live) : bitmapFor(c.movie, f.bitmapId);
        if (!img) return;
        const bool smooth = f.type == format::FillStyle::RepeatingBitmap ||
                            f.type == format::FillStyle::ClippedBitmap;
        const bool repeat = f.type == format::FillStyle::RepeatingBitmap ||
                            f.type == format::FillStyle::NonSmoothedRepeatingBitmap;
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform, smooth && c.antialias);
        const QImage shown = transformed(*img, cx);
        if (repeat) {
            QBrush b(shown);
            b.setTransform(toQt(f.matrix));
            p.setBrush(b);
            drawShapePath(c, path);
        } else {
            if (c.antialias) {
                p.setClipPath(path, Qt::IntersectClip);
            } else {
                const QTransform t = p.transform();
                p.resetTransform();
                p.setClipRegion(hardRegion(c, t.map(path)), Qt::IntersectClip);
                p.setTransform(t);
            }
            const QTransform bitmapSpace = toQt(f.matrix);
            p.setTransform(bitmapSpace * p.transform());
            const double w = shown.width(), h = shown.height();
            p.drawImage(QRectF(0, 0, w, h), shown);
            // Outside the picture a clipped fill repeats its edge pixels: stretch the outer
            // rows and columns as far as the shape reaches.
            const QRectF reach = bitmapSpace.inverted().mapRect(path.boundingRect());
            const double l = std::min(-reach.left(), 1e5), t = std::min(-reach.top(), 1e5),
                         r = std::min(reach.right() - w, 1e5),
                         b = std::min(reach.bottom() - h, 1e5);
            auto strip = [&](QRectF to, QRectF from) {
                if (to.width() > 0 && to.height() > 0) p.drawImage(to, shown, from);
            };
            strip({-l, 0, l, h}, {0, 0, 1, h});
            strip({w, 0, r, h}, {w - 1, 0, 1, h});
            strip({0, -t, w, t}, {0, 0, w, 1});
            strip({0, h, w, b}, {0, h - 1, w, 1});
            strip({-l, -t, l, t}, {0, 0, 1, 1});
            strip({w, -t, r, t}, {w - 1, 0, 1, 1});
            strip({-l, h, l, b}, {0, h - 1, 1, 1});
            strip({w, h, r, b}, {w - 1, h - 1, 1, 1});
        }
        p.restore();
    }
}

QPen strokePen(const format::LineStyle& l, const ColorTx& cx, double deviceScale,
               const QTransform& world, const QRect& area) {
    QPen pen(cx.apply(l.color), l.width);
    if (l.hasFill && l.fill.isGradient() && !l.fill.gradient.stops.empty())
        pen.setBrush(gradientBrush(l.fill, cx, world, area));
    // Flash never draws a line thinner than one device pixel; unscaled lines keep their width
    // in pixels whatever the transform.
    if (l.noHScale && l.noVScale) {
        pen.setCosmetic(true);
        pen.setWidthF(std::max(1.0, l.width / 20.0));
    } else if (l.width * deviceScale < 0.999) {
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    }
    switch (l.startCap) {
        case format::LineStyle::NoCap:
            pen.setCapStyle(Qt::FlatCap);
            break;
        case format::LineStyle::SquareCap:
            pen.setCapStyle(Qt::SquareCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (l.join) {
        case format::LineStyle::BevelJoin:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case format::LineStyle::MiterJoin:
            pen.setJoinStyle(Qt::MiterJoin);
            pen.setMiterLimit(std::max(1.0, l.miterLimit));
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
    }
    return pen;
}

// The area a pen covers along path (in the painter's coordinates, drawn through world), as
// a path in the same coordinates; cosmetic pens keep their width in device pixels.
QPainterPath hardStroke(const QPainterPath& path, const QPen& pen, const QTransform& world) {
    bool ok = false;
    const QTransform back = world.inverted(&ok);
    if (!ok) return {};
    // The line follows the straight pieces a fill's edge along the same curve would.
    const QPainterPath centre = hardCenterline(world.map(path));
    if (!pen.isCosmetic()) return hardOutline(back.map(centre), pen);
    return back.map(hardOutline(centre, pen));
}

void drawGeometry(Ctx& c, const format::Shape& shape, const ShapeGeometry& geo,
                  const QTransform& world, const ColorTx& cx) {
    QPainter& p = *c.p;
    const double deviceScale = std::sqrt(std::abs(world.determinant()));
    for (const auto& layer : geo.layers) {
        p.setTransform(world);
        p.setPen(Qt::NoPen);
        for (const auto& f : layer.fills) fillPath(c, f.path, shape.fills[f.style - 1], cx);
        p.setBrush(Qt::NoBrush);
        for (const auto& s : layer.strokes) {
            const auto& style = shape.lines[s.style - 1];
            QRect area;
            if (style.hasFill && style.fill.isGradient()) {
                const int grow =
                    int(std::ceil(style.width * deviceScale / 2 + style.width / 40.0)) + 2;
                area = world.mapRect(s.path.boundingRect())
                           .toAlignedRect()
                           .adjusted(-grow, -grow, grow, grow) &
                       steadyArea(c);
            }
            const QPen pen = strokePen(style, cx, deviceScale, world, area);
            p.setPen(pen);
            if (!c.antialias) {
                // Hard-edged lines are their outline filled, at least a pixel wide, so they
                // cover the pixels whose centres they hold, like any fill.
                p.setPen(Qt::NoPen);
                p.setBrush(pen.brush());
                drawShapePath(c, hardStroke(s.path, pen, world));
                p.setBrush(Qt::NoBrush);
                continue;
            }
            p.drawPath(s.path);
        }
    }
}

struct ActiveMask {
    int upTo;  // last depth it covers
    QPainterPath area;
};

void drawList(Ctx& c, const DisplayList& list, const QTransform& world, const ColorTx& cx,
              const std::vector<QPainterPath>& clips, int nesting);

// The filled area of an object and everything under it, in device coordinates.
void collectArea(const Ctx& c, const DisplayObject& o, const QTransform& parent,
                 std::vector<QPainterPath>& out, int nesting) {
    if (nesting > kMaxDrawNesting) return;
    if (o.textField) {
        out.push_back(textFieldOutline(c.movie, *o.textField, placed(c, o.matrix, parent)));
        return;
    }
    const Character* ch = c.movie.character(o.characterId);
    // A clip a script made empty has no character: only its drawing and children.
    if (!ch && !o.sprite) {
        // A video stream masks with its whole picture.
        if (const auto r = videoRect(c.movie, o.characterId); !r.isEmpty()) {
            QPainterPath area;
            area.addRect(r);
            out.push_back(placed(c, o.matrix, parent).map(area));
        }
        return;
    }
    const QTransform world = placed(c, o.matrix, parent);
    if (const auto* sc = ch ? std::get_if<ShapeCharacter>(ch) : nullptr) {
        for (const auto& layer : sc->get().geometry.layers)
            for (const auto& f : layer.fills) out.push_back(world.map(f.path));
    } else if (const auto* mc = ch ? std::get_if<MorphCharacter>(ch) : nullptr) {
        const auto geo = buildShapeGeometry(format::interpolateMorph(mc->get(), o.ratio / 65535.0));
        for (const auto& layer : geo.layers)
            for (const auto& f : layer.fills) out.push_back(world.map(f.path));
    } else if (const auto* tc = ch ? std::get_if<TextCharacter>(ch) : nullptr) {
        out.push_back(world.map(staticTextOutline(c.movie, tc->get())));
    } else if (const auto* ec = ch ? std::get_if<EditTextCharacter>(ch) : nullptr) {
        const auto& b = ec->text.bounds;
        QPainterPath r;
        r.addRect(QRectF(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin));
        out.push_back(world.map(r));
    } else if (o.sprite) {
        if (const auto& d = o.sprite->list.drawing; d && !d->empty())
            for (const auto& layer : d->geometry()->layers)
                for (const auto& f : layer.fills) out.push_back(world.map(f.path));
        for (const auto& [d, child] : o.sprite->list.objects)
            if (!child.clipDepth) collectArea(c, child, world, out, nesting + 1);
    }
}

QPainterPath maskArea(const Ctx& c, const DisplayObject& o, const QTransform& parent, int nesting) {
    std::vector<QPainterPath> parts;
    collectArea(c, o, parent, parts, nesting);
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    if (parts.size() == 1) return parts[0];
    if (!c.antialias) {
        // Uniting paths redraws their curves in the painter's own straight pieces; hard
        // edges unite the pixels each part covers instead.
        QRegion covered;
        for (const auto& part : parts) covered += hardRegion(c, part);
        area.addRegion(covered);
        return area;
    }
    for (auto& part : parts) area = area.united(part);
    return area;
}

void applyClip(Ctx& c, const std::vector<QPainterPath>& clips) {
    QPainter& p = *c.p;
    c.rectClip = clips.empty();
    p.resetTransform();
    p.setClipRect(c.target);
    for (const auto& path : clips) {
        if (c.antialias)
            p.setClipPath(path, Qt::IntersectClip);
        else
            p.setClipRegion(hardRegion(c, path), Qt::IntersectClip);
    }
}

// Device-space bounds of an object and what is under it.
QRectF boundsOf(const Ctx& c, const DisplayObject& o, const QTransform& parent, int nesting) {
    if (nesting > kMaxDrawNesting) return {};
    const QTransform world = placed(c, o.matrix, parent);
    if (const auto& sr = o.scrollRect) return world.mapRect(QRectF(0, 0, sr->width, sr->height));
    auto rect = [&](const format::Rect& r) {
        return world.mapRect(QRectF(r.xMin, r.yMin, r.xMax - r.xMin, r.yMax - r.yMin));
    };
    if (o.textField) return rect(o.textField->field.bounds);
    if (o.bitmap) return world.mapRect(attachedRect(c.movie, o));
    const Character* ch = c.movie.character(o.characterId);
    if (!ch && !o.sprite) return world.mapRect(videoRect(c.movie, o.characterId));
    if (const auto* sc = ch ? std::get_if<ShapeCharacter>(ch) : nullptr)
        return rect(sc->get().shape.bounds);
    if (const auto* mc = ch ? std::get_if<MorphCharacter>(ch) : nullptr)
        return rect(mc->get().startBounds).united(rect(mc->get().endBounds));
    if (const auto* tc = ch ? std::get_if<TextCharacter>(ch) : nullptr)
        return (toQt(tc->get().matrix) * world)
            .mapRect(QRectF(tc->get().bounds.xMin, tc->get().bounds.yMin,
                            tc->get().bounds.xMax - tc->get().bounds.xMin,
                            tc->get().bounds.yMax - tc->get().bounds.yMin));
    if (const auto* ec = ch ? std::get_if<EditTextCharacter>(ch) : nullptr)
        return rect(ec->text.bounds);
    QRectF r;
    if (o.sprite && o.sprite->list.drawing && !o.sprite->list.drawing->empty())
        r = world.mapRect(o.sprite->list.drawing->bounds(true));
    if (o.sprite)
        for (const auto& [d, child] : o.sprite->list.objects) {
            QRectF b = boundsOf(c, child, world, nesting + 1);
            if (!child.filters.empty())
                b = b.marginsAdded(QMarginsF(filterMargins(child.filters, c.stageScale)));
            r = r.united(b);
        }
    return r;
}

void drawContent(Ctx& c, const DisplayObject& o, const QTransform& world, const ColorTx& cx,
                 const std::vector<QPainterPath>& clips, int nesting) {
    if (o.textField) {
        drawTextFieldView(*c.p, c.movie, *o.textField, world, cx);
        return;
    }
    if (o.bitmap) {
        // An attached bitmap: 20 twips a pixel, showing its pixels as they are now; a stream
        // a video shows fills the video's size.
        const QImage img = o.bitmap->view();
        if (img.isNull()) return;
        QPainter& p = *c.p;
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform, o.bitmapSmoothing && c.antialias);
        const QRectF at = attachedRect(c.movie, o);
        if (at.size() == QSizeF(img.width() * 20.0, img.height() * 20.0)) {
            p.setTransform(QTransform::fromScale(20, 20) * world);
            p.drawImage(QPointF(0, 0), transformed(img, cx));
        } else {
            p.setTransform(world);
            p.drawImage(at, transformed(img, cx));
        }
        p.restore();
        return;
    }
    const Character* ch = c.movie.character(o.characterId);
    if (!ch && o.sprite) {
        // A clip made empty by a script: its drawing and children only.
        drawList(c, o.sprite->list, world, cx, clips, nesting + 1);
        return;
    }
    if (!ch) {
        // Video streams are not characters of the dictionary; the ratio is the video frame.
        drawVideo(*c.p, c.movie, o.characterId, o.ratio, world, cx);
        return;
    }
    if (const auto* sc = std::get_if<ShapeCharacter>(ch)) {
        const auto& built = sc->get();
        drawGeometry(c, built.shape, built.geometry, world, cx);
    } else if (const auto* mc = std::get_if<MorphCharacter>(ch)) {
        const format::Shape s = format::interpolateMorph(mc->get(), o.ratio / 65535.0);
        drawGeometry(c, s, buildShapeGeometry(s), world, cx);
    } else if (const auto* tc = std::get_if<TextCharacter>(ch)) {
        drawStaticText(*c.p, c.movie, tc->get(), world, cx);
    } else if (const auto* ec = std::get_if<EditTextCharacter>(ch)) {
        drawEditText(*c.p, c.movie, ec->text, world, cx);
    } else if (o.sprite) {
        drawList(c, o.sprite->list, world, cx, clips, nesting + 1);
    }
}

std::optional<QPainter::CompositionMode> qtMode(uint8_t blend) {
    switch (blend) {
        case 3:
            return QPainter::CompositionMode_Multiply;
        case 4:
            return QPainter::CompositionMode_Screen;
        case 5:
            return QPainter::CompositionMode_Lighten;
        case 6:
            return QPainter::CompositionMode_Darken;
        case 7:
            return QPainter::CompositionMode_Difference;
        case 8:
            return QPainter::CompositionMode_Plus;
        case 11:
            return QPainter::CompositionMode_DestinationIn;
        case 12:
            return QPainter::CompositionMode_DestinationOut;
        case 13:
            return QPainter::CompositionMode_Overlay;
        case 14:
            return QPainter::CompositionMode_HardLight;
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

// Alpha keeps the layer below only as opaque as the object over it, wherever the object
// draws something: its fully transparent pixels leave the layer alone.
void alphaByHand(QImage& dst, const QImage& src, QPoint at) {
    const QRect r = QRect(at, src.size()).intersected(dst.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* d = reinterpret_cast<uint32_t*>(dst.scanLine(y));
        const auto* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y - at.y()));
        for (int x = r.left(); x <= r.right(); ++x) {
            const uint32_t sa = s[x - at.x()] >> 24;
            if (sa != 0 && sa != 255) d[x] = byteMul(d[x], sa);
        }
    }
}

// Subtract and invert have no QPainter mode: done by hand when the target is an image.
bool blendByHand(QImage& dst, const QImage& src, QPoint at, uint8_t mode) {
    const QRect r = QRect(at, src.size()).intersected(dst.rect());
    if (dst.format() != QImage::Format_ARGB32_Premultiplied && dst.format() != QImage::Format_RGB32)
        return false;
    if (mode == 11) {
        if (dst.format() != QImage::Format_ARGB32_Premultiplied) return false;
        alphaByHand(dst, src, at);
        return true;
    }
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* d = reinterpret_cast<uint32_t*>(dst.scanLine(y));
        const auto* s = reinterpret_cast<const uint32_t*>(src.constScanLine(y - at.y()));
        for (int x = r.left(); x <= r.right(); ++x) {
            const uint32_t sp = s[x - at.x()], dp = d[x];
            const int sa = sp >> 24;
            if (sa == 0) continue;
            int out[4];
            for (int k = 0; k < 3; ++k) {
                const int dc = (dp >> (8 * k)) & 0xff, sc = (sp >> (8 * k)) & 0xff;
                const int da = dp >> 24;
                const int v = mode == 9 ? std::max(0, dc - sc) : std::max(0, da - dc);
                out[k] = (v * sa + dc * (255 - sa)) / 255;
            }
            out[3] = dp >> 24;
            d[x] = (uint32_t(out[3]) << 24) | (uint32_t(out[2]) << 16) | (uint32_t(out[1]) << 8) |
                   uint32_t(out[0]);
        }
    }
    return true;
}

// A scroll rectangle's area on the target, and the transform that moves the clip's content so
// the rectangle's top left sits at its origin.
QPainterPath scrollArea(const ScrollRect& r, const QTransform& world) {
    QPainterPath area;
    area.addRect(QRectF(0, 0, r.width, r.height));
    return world.map(area);
}

QTransform scrolled(const DisplayObject& o, const QTransform& world) {
    return o.scrollRect ? QTransform::fromTranslate(-o.scrollRect->x, -o.scrollRect->y) * world
                        : world;
}

void drawObject(Ctx& c, const DisplayObject& o, const QTransform& parentWorld,
                const ColorTx& parentCx, const std::vector<QPainterPath>& clips, int nesting) {
    if (nesting > kMaxDrawNesting || !o.visible) return;
    const QTransform world = placed(c, o.matrix, parentWorld);
    if (o.scrollRect && (o.scrollRect->width <= 0 || o.scrollRect->height <= 0)) return;
    const ColorTx cx = ColorTx::from(o.cxform).then(parentCx);
    const uint8_t blend = o.blendMode;
    // Bitmap caching draws the same pixels, but through a kept layer.
    const bool layered = !o.filters.empty() || (blend >= 2 && blend <= 14) || o.cacheAsBitmap;
    if (!layered) {
        if (!o.scrollRect) {
            drawContent(c, o, world, cx, clips, nesting);
            return;
        }
        std::vector<QPainterPath> inside = clips;
        inside.push_back(scrollArea(*o.scrollRect, world));
        applyClip(c, inside);
        drawContent(c, o, scrolled(o, world), cx, inside, nesting);
        applyClip(c, clips);
        return;
    }
    // Offscreen: the object alone, filtered, then composited with its blend mode.
    const QMargins margins = filterMargins(o.filters, c.stageScale);
    QRectF bounds = boundsOf(c, o, parentWorld, nesting);
    // A cached bitmap (and a filtered object is one) starts where the filters' reach puts the
    // object's top left corner and lands on the nearest whole pixel, halves away from zero:
    // what it shows moves by up to half a pixel. Blend layers stay on the stage's pixel grid.
    QTransform nudge;
    const bool cached = o.cacheAsBitmap || !o.filters.empty();
    if (cached && std::abs(bounds.x()) < 1e7 && std::abs(bounds.y()) < 1e7) {
        const QMarginsF reach = filterReach(o.filters, c.stageScale);
        // Rounded where it lies on the frame: halves go away from the frame's zero, not a tile's.
        const QPointF tile = c.frame.isEmpty() ? QPointF() : QPointF(-c.frame.topLeft());
        const double ox = bounds.x() - reach.left() + tile.x(),
                     oy = bounds.y() - reach.top() + tile.y();
        const double sx = std::round(ox) - ox, sy = std::round(oy) - oy;
        nudge = QTransform::fromTranslate(sx, sy);
        bounds.translate(sx, sy);
    }
    QRect area = bounds.toAlignedRect().marginsAdded(margins);
    // Filters read pixels beyond the target's edge; blends only need what is visible. On a
    // tile, the layer is made for the whole frame once and each tile shows its part.
    area = area.intersected((c.frame.isEmpty() ? c.target : c.frame).marginsAdded(margins));
    if (area.isEmpty()) return;
    // A layer is never larger than this: beyond it the object is drawn without one.
    constexpr int64_t kMaxLayerPixels = 8 << 20;
    LayerHold hold(area.size());
    if (int64_t(area.width()) * area.height() > kMaxLayerPixels || !hold.ok()) {
        std::vector<QPainterPath> inside = clips;
        if (o.scrollRect) inside.push_back(scrollArea(*o.scrollRect, world));
        applyClip(c, inside);
        drawContent(c, o, scrolled(o, world), cx, inside, nesting);
        applyClip(c, clips);
        return;
    }
    const uint64_t path = mix(c.path, uint64_t(o.depth) + 1);
    uint64_t sig = 0;
    if (c.cache) {
        sig = signature(o, nesting);
        // Placed on the frame, not the tile, so every tile finds the same layer; the place
        // to a 1/4096 pixel, as tiles reach it through sums that differ in the last bits.
        const QPoint tile = c.frame.isEmpty() ? QPoint() : -c.frame.topLeft();
        for (double v : {world.m11(), world.m12(), world.m21(), world.m22(), cx.mr, cx.mg, cx.mb,
                         cx.ma, cx.ar, cx.ag, cx.ab, cx.aa})
            sig = mixD(sig, v);
        for (double v : {world.dx() + tile.x(), world.dy() + tile.y()})
            sig = mix(sig, uint64_t(int64_t(std::llround(std::clamp(v, -1e9, 1e9) * 4096))));
        const QRect onFrame = area.translated(tile);
        sig = mix(mix(sig, (uint64_t(uint32_t(onFrame.x())) << 32) | uint32_t(onFrame.y())),
                  (uint64_t(uint32_t(onFrame.width())) << 32) | uint32_t(onFrame.height()));
        sig = mix(sig, c.antialias);
    }
    QImage layer;
    if (!c.cache || !c.cache->find(path, sig, layer)) {
        layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        if (layer.isNull()) return;
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.setRenderHint(QPainter::Antialiasing, c.antialias);
            lp.setRenderHint(QPainter::SmoothPixmapTransform, c.antialias);
            Ctx lc = c;
            lc.rectClip = true;
            lc.p = &lp;
            lc.path = path;
            lc.target = QRect(QPoint(0, 0), area.size());
            lc.frame = {};
            lc.band = {};
            lc.cull = nullptr;
            lc.layer = &layer;
            lc.root = nullptr;
            const QTransform shift = QTransform::fromTranslate(-area.x(), -area.y());
            lc.setTwips(c.twips * nudge * shift);
            const QTransform snapped = world * nudge;
            // The layer's alpha applies to the whole group, not to each shape in it.
            ColorTx inner = cx;
            const double alpha = std::clamp(cx.ma, 0.0, 1.0);
            if (alpha > 0) inner.ma = 1;
            std::vector<QPainterPath> none;
            if (o.scrollRect) {
                none.push_back(scrollArea(*o.scrollRect, snapped * shift));
                applyClip(lc, none);
            }
            drawContent(lc, o, scrolled(o, snapped * shift), inner, none, nesting);
            lp.end();
            if (!o.filters.empty()) applyFilters(layer, o.filters, c.stageScale);
            if (alpha < 1 && alpha > 0) {
                QPainter fade(&layer);
                fade.setCompositionMode(QPainter::CompositionMode_DestinationIn);
                fade.fillRect(layer.rect(),
                              QColor(0, 0, 0, static_cast<int>(std::lround(alpha * 255))));
            }
        }
        if (c.cache) c.cache->store(path, sig, layer, area);
    }
    QPainter& p = *c.p;
    applyClip(c, clips);
    if (blend == 11 && c.layer && c.rectClip) {
        if (blendByHand(*c.layer, layer, area.topLeft(), blend)) return;
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    } else if ((blend == 9 || blend == 10)) {
        QImage* dst = c.layer ? c.layer : dynamic_cast<QImage*>(p.device());
        if (dst && blendByHand(*dst, layer, area.topLeft(), blend)) return;
        p.setCompositionMode(QPainter::CompositionMode_Difference);
    } else if ((blend == 11 || blend == 12) && !c.layer) {
        // Alpha and erase act on a layer below; straight onto the stage they draw nothing.
        return;
    } else {
        p.setCompositionMode(*qtMode(blend));
    }
    p.drawImage(area.topLeft(), layer);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// The area of the clip a script set as obj's mask, in device space; none when it is gone.
std::optional<QPainterPath> scriptMask(const Ctx& c, const DisplayObject& obj,
                                       const DisplayList& list, const QTransform& world,
                                       int nesting) {
    if (obj.maskSibling) {
        const auto it = list.objects.find(obj.maskBy.front());
        if (it == list.objects.end()) return std::nullopt;
        // A timeline mask already over this object masks it once, not twice.
        if (it->first < obj.depth && it->second.clipDepth >= obj.depth) return std::nullopt;
        return maskArea(c, it->second, world, nesting);
    }
    if (!c.root) return std::nullopt;
    const DisplayList* at = c.root;
    QTransform parent = c.stage;
    for (size_t i = 0; i < obj.maskBy.size(); ++i) {
        const auto it = at->objects.find(obj.maskBy[i]);
        if (it == at->objects.end()) return std::nullopt;
        if (i + 1 == obj.maskBy.size()) return maskArea(c, it->second, parent, nesting);
        if (!it->second.sprite) return std::nullopt;
        parent = placed(c, it->second.matrix, parent);
        at = &it->second.sprite->list;
    }
    return std::nullopt;
}

// Clip paths cut hard pixel edges; at high quality a masked object is drawn alone and its
// layer is multiplied by the smoothly filled masks, so mask edges are antialiased as in Flash.
bool drawMaskedSmooth(Ctx& c, const DisplayObject& o, const QTransform& world, const ColorTx& cx,
                      const std::vector<QPainterPath>& clips, int nesting) {
    const QRect steady = steadyArea(c);
    QRectF reach = QRectF(steady);
    for (const auto& path : clips) reach &= path.boundingRect();
    const QRect area = reach.toAlignedRect() & steady;
    if (!area.intersects(c.target)) return true;
    constexpr int64_t kMaxLayerPixels = 8 << 20;
    if (int64_t(area.width()) * area.height() > kMaxLayerPixels) return false;
    LayerHold hold(area.size());
    if (!hold.ok()) return false;
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) return false;
    layer.fill(Qt::transparent);
    const QTransform shift = QTransform::fromTranslate(-area.x(), -area.y());
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing, true);
        lp.setRenderHint(QPainter::SmoothPixmapTransform, true);
        Ctx lc = c;
        lc.rectClip = true;
        lc.p = &lp;
        lc.target = QRect(QPoint(0, 0), area.size());
        lc.frame = {};
        lc.band = {};
        lc.cull = nullptr;
        lc.layer = &layer;
        lc.root = nullptr;
        lc.cache = nullptr;
        lc.path = mix(c.path, uint64_t(o.depth) + 1);
        lc.setTwips(c.twips * shift);
        drawObject(lc, o, world * shift, cx, {}, nesting);
        lp.resetTransform();
        lp.setClipping(false);
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        lp.setPen(Qt::NoPen);
        lp.setBrush(Qt::black);
        for (const auto& path : clips) {
            QImage cover(area.size(), QImage::Format_ARGB32_Premultiplied);
            cover.fill(Qt::transparent);
            QPainter mp(&cover);
            mp.setRenderHint(QPainter::Antialiasing, true);
            mp.setPen(Qt::NoPen);
            mp.setBrush(Qt::black);
            mp.drawPath(shift.map(path));
            mp.end();
            lp.drawImage(0, 0, cover);
        }
    }
    QPainter& p = *c.p;
    p.resetTransform();
    p.setClipRect(c.target);
    p.drawImage(area.topLeft(), layer);
    return true;
}

void drawList(Ctx& c, const DisplayList& list, const QTransform& world, const ColorTx& cx,
              const std::vector<QPainterPath>& parentClips, int nesting) {
    if (nesting > kMaxDrawNesting) return;
    if (list.drawing && !list.drawing->empty()) {
        // Scripted drawing lies under the clip's children.
        const auto geo = list.drawing->geometry();
        c.drawnBitmaps = &list.drawing->bitmaps();
        drawGeometry(c, list.drawing->shape(), *geo, world, cx);
        c.drawnBitmaps = nullptr;
    }
    std::vector<ActiveMask> masks;
    std::vector<QPainterPath> clips = parentClips;
    bool dirty = false;
    const bool culling = c.cull && &list == c.root && c.cull->size() == list.objects.size();
    size_t index = 0;
    for (const auto& [depth, obj] : list.objects) {
        const size_t before = masks.size();
        std::erase_if(masks, [d = depth](const ActiveMask& m) { return m.upTo < d; });
        if (masks.size() != before) dirty = true;
        if (obj.clipDepth > 0) {
            if (obj.clipDepth > depth)
                masks.push_back({obj.clipDepth, maskArea(c, obj, world, nesting)});
            dirty = true;
            ++index;
            continue;
        }
        // Masks only take away: an object that misses this tile draws nothing in it.
        if (culling && !(*c.cull)[index++].intersects(c.target)) continue;
        if (dirty) {
            clips = parentClips;
            for (const auto& m : masks) clips.push_back(m.area);
            applyClip(c, clips);
            dirty = false;
        }
        if (obj.masking) continue;
        if (!obj.maskBy.empty()) {
            if (auto area = scriptMask(c, obj, list, world, nesting)) {
                std::vector<QPainterPath> masked = clips;
                masked.push_back(std::move(*area));
                applyClip(c, masked);
                Ctx inner = c;
                inner.path = mix(c.path, uint64_t(depth) + 1);
                if (!c.antialias || !drawMaskedSmooth(inner, obj, world, cx, masked, nesting))
                    drawObject(inner, obj, world, cx, masked, nesting);
                applyClip(c, clips);
                continue;
            }
        }
        if (!masks.empty() && c.antialias && drawMaskedSmooth(c, obj, world, cx, clips, nesting)) {
            applyClip(c, clips);
            continue;
        }
        if (obj.sprite) {
            Ctx inner = c;
            inner.path = mix(c.path, uint64_t(depth) + 1);
            drawObject(inner, obj, world, cx, clips, nesting);
        } else {
            drawObject(c, obj, world, cx, clips, nesting);
        }
        if (!obj.sprite) continue;
        // A sprite may have changed the clip for its own masks: put ours back.
        applyClip(c, clips);
    }
    if (clips.size() != parentClips.size()) applyClip(c, parentClips);
}

}  // namespace

QTransform stageTransform(const MovieInfo& info, const QRectF& vp, ScaleMode mode) {
    // The stage is a whole number of pixels (a fraction is dropped), content at 20 twips each.
    const double sw = std::max(1, info.widthPixels());
    const double sh = std::max(1, info.heightPixels());
    double sx = 1, sy = 1;
    switch (mode) {
        case ScaleMode::ExactFit:
            sx = vp.width() / sw;
            sy = vp.height() / sh;
            break;
        case ScaleMode::ShowAll:
            sx = sy = std::min(vp.width() / sw, vp.height() / sh);
            break;
        case ScaleMode::NoBorder:
            sx = sy = std::max(vp.width() / sw, vp.height() / sh);
            break;
        case ScaleMode::NoScale:
            break;
    }
    const double ox = vp.x() + (vp.width() - sw * sx) / 2;
    const double oy = vp.y() + (vp.height() - sh * sy) / 2;
    QTransform t;
    t.translate(ox, oy);
    t.scale(sx / 20.0, sy / 20.0);
    t.translate(-info.stageXMin, -info.stageYMin);
    return t;
}

void renderList(QPainter& p, const QRect& deviceClip, const QTransform& world, const Movie& movie,
                const DisplayList& list, bool antialias) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.setRenderHint(QPainter::SmoothPixmapTransform, antialias);
    p.resetTransform();
    p.setClipRect(deviceClip);
    Ctx c{movie, &p, deviceClip, std::sqrt(std::abs(world.determinant())) * 20, antialias};
    c.root = &list;
    c.stage = world;
    c.setTwips(world);
    drawList(c, list, world, ColorTx{}, {}, 0);
    p.restore();
}

namespace {

// Contents no signature follows: a script's bitmap shown or used as a fill may have been
// drawn on since the last frame.
bool showsLiveBitmap(const DisplayObject& o, int nesting) {
    if (o.bitmap) return true;
    if (!o.sprite || nesting > kMaxDrawNesting) return false;
    if (const auto& d = o.sprite->list.drawing; d && !d->bitmaps().empty()) return true;
    for (const auto& [depth, child] : o.sprite->list.objects)
        if (showsLiveBitmap(child, nesting + 1)) return true;
    return false;
}

// Frames of this many device pixels and more are drawn straight, without tiles.
constexpr int64_t kMaxTiledPixels = int64_t(1) << 25;

}  // namespace

struct StageTiles {
    // Tiles this size, whatever the thread count, so every count gives the same pixels. A tile
    // is what is compared and kept; what is drawn is a piece made of tiles (see pieces).
    static constexpr int kWidth = 128, kHeight = 64;
    // Frames up to this size keep a second page for the tiles' older pictures.
    static constexpr size_t kMaxOlderBytes = 64u << 20;
    // Tiles to draw are drawn together, a band of rows of about this many pixels at a time:
    // each piece walks every outline that reaches it, so a detailed outline over many tiles
    // costs a few walks, not one per tile. A small frame is one band.
    static constexpr int64_t kBandPixels = int64_t(1) << 18;
    struct Tile {
        uint64_t shown = 0;   // what its pixels show; 0 nothing yet
        uint64_t older = 0;   // what its pixels on the other page show; 0 nothing
        bool onBack = false;  // what it shows is on back, its older picture on frame
    };
    // Pieces are drawn on frame; a tile taken back from its older picture only changes
    // page, so a movie going between two states copies nothing but the frame it hands out.
    QImage frame;  // device pixels
    QImage back;   // the other page; null when the frame is too large to keep two
    int cols = 0, rows = 0;
    std::vector<Tile> tiles;
    uint64_t frames = 0;  // frames drawn; stands for contents no signature follows
    // The last frame's object bounds in device pixels, by depth, with the signature they
    // were taken for; boundsSeed is the stage placement they hold for.
    struct Bound {
        int depth;
        uint64_t sig;
        QRect rect;
    };
    std::vector<Bound> bounds;
    uint64_t boundsSeed = 0;

    QRect rect(int t) const {
        const int x = (t % cols) * kWidth, y = (t / cols) * kHeight;
        return QRect(x, y, std::min(kWidth, frame.width() - x),
                     std::min(kHeight, frame.height() - y));
    }
    // Rows of tiles in a band: bands are set by the frame's size alone.
    int bandRows() const {
        return int(std::clamp<int64_t>(
            kBandPixels / (int64_t(std::max(1, frame.width())) * kHeight), 1, std::max(1, rows)));
    }
    // The pieces drawn for the tiles marked in draw, in tiles: per band, the frame's width
    // from its first row holding a marked tile to its last. A row is always drawn whole: the
    // painter's smoothed bitmaps come out differently near a clip's left and right ends, and
    // its outlines cost less drawn wide than in narrow columns.
    std::vector<QRect> pieces(const std::vector<char>& draw) const {
        const int band = bandRows();
        std::vector<QRect> out;
        for (int top = 0; top < rows; top += band) {
            int first = -1, last = -1;
            for (int y = top; y < std::min(rows, top + band); ++y)
                for (int x = 0; x < cols; ++x)
                    if (draw[size_t(y) * size_t(cols) + size_t(x)]) {
                        if (first < 0) first = y;
                        last = y;
                        break;
                    }
            if (first >= 0) out.push_back(QRect(0, first, cols, last - first + 1));
        }
        return out;
    }
    // A piece (in tiles) in frame pixels.
    QRect pixels(const QRect& piece) const {
        return QRect(piece.x() * kWidth, piece.y() * kHeight, piece.width() * kWidth,
                     piece.height() * kHeight) &
               frame.rect();
    }
    // The page holding what tile t shows.
    const QImage& page(int t) const { return tiles[size_t(t)].onBack ? back : frame; }
    // Before a piece draws over tile t on frame: what it shows becomes its older picture.
    void keep(int t, uint64_t next) {
        Tile& tile = tiles[size_t(t)];
        if (tile.onBack) {
            tile.older = tile.shown;
            tile.onBack = false;
            return;
        }
        if (back.isNull() || tile.shown == 0 || tile.shown == next) return;
        copyToBack(t);
        tile.older = tile.shown;
    }
    // Brings every tile's shown pixels onto frame, for a target that takes the frame whole.
    void gather() {
        for (int t = 0; t < int(tiles.size()); ++t) {
            Tile& tile = tiles[size_t(t)];
            if (!tile.onBack) continue;
            const QRect r = rect(t);
            for (int y = r.top(); y <= r.bottom(); ++y) {
                auto* a = reinterpret_cast<uint32_t*>(frame.scanLine(y)) + r.x();
                auto* b = reinterpret_cast<uint32_t*>(back.scanLine(y)) + r.x();
                uint32_t held[kWidth];
                const size_t bytes = size_t(r.width()) * sizeof(uint32_t);
                std::memcpy(held, a, bytes);
                std::memcpy(a, b, bytes);
                std::memcpy(b, held, bytes);
            }
            tile.onBack = false;
        }
    }
    // Copies tile t's pixels from frame onto back.
    void copyToBack(int t) {
        const QRect r = rect(t);
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(back.scanLine(y) + r.x() * 4, frame.constScanLine(y) + r.x() * 4,
                        size_t(r.width()) * 4);
    }
};

StageCache::StageCache() : tiles(std::make_unique<StageTiles>()) {}
StageCache::~StageCache() = default;

namespace {

// Draws the stage into the cache's frame, tile by tile, and only the tiles whose content
// changed; returns false when the frame cannot be had.
bool drawTiles(StageCache& cache, const QRect& device, const QTransform& base,
               const ColorTx& colour, const QColor& bg, const Movie& movie, const DisplayList& list,
               bool antialias, const DisplayObject* rootPlace) {
    StageTiles& st = *cache.tiles;
    if (st.frame.size() != device.size()) {
        st = StageTiles{};
        st.frame = QImage(device.size(), QImage::Format_ARGB32_Premultiplied);
        if (st.frame.isNull()) return false;
        if (size_t(st.frame.sizeInBytes()) <= StageTiles::kMaxOlderBytes)
            st.back = QImage(device.size(), QImage::Format_ARGB32_Premultiplied);
        st.cols = (device.width() + StageTiles::kWidth - 1) / StageTiles::kWidth;
        st.rows = (device.height() + StageTiles::kHeight - 1) / StageTiles::kHeight;
        st.tiles.resize(size_t(st.cols) * size_t(st.rows));
    }
    ++st.frames;
    const int count = int(st.tiles.size());
    const double stageScale = std::sqrt(std::abs(base.determinant())) * 20;
    const QTransform frameBase = base * QTransform::fromTranslate(-device.x(), -device.y());
    // What every tile's pixels depend on: the stage's place, colour and quality, then each
    // object over it.
    uint64_t seed = mix(mix(0x5eed, bg.rgba()), antialias);
    for (double v :
         {base.m11(), base.m12(), base.m21(), base.m22(), base.dx(), base.dy(), colour.mr,
          colour.mg, colour.mb, colour.ma, colour.ar, colour.ag, colour.ab, colour.aa})
        seed = mixD(seed, v);
    seed = mix(seed, !rootPlace || rootPlace->visible);
    std::vector<uint64_t> sig(size_t(count), seed);
    const QRect all(QPoint(0, 0), device.size());
    auto touch = [&](const QRect& r, uint64_t v) {
        const QRect in = r & all;
        if (in.isEmpty()) return;
        for (int ty = in.top() / StageTiles::kHeight; ty <= in.bottom() / StageTiles::kHeight; ++ty)
            for (int tx = in.left() / StageTiles::kWidth; tx <= in.right() / StageTiles::kWidth;
                 ++tx) {
                uint64_t& h = sig[size_t(ty) * size_t(st.cols) + size_t(tx)];
                h = mix(h, v);
            }
    };
    if (const auto& d = list.drawing; d && !d->empty())
        touch(all, mix(d->version(), d->bitmaps().empty() ? 0 : st.frames));
    QPainter none;
    Ctx fc{movie, &none, all, stageScale, antialias};
    fc.setTwips(frameBase);
    std::vector<QRect> bounds;
    bounds.reserve(list.objects.size());
    // An object whose signature is the last frame's keeps its bounds: the signature holds
    // all they depend on but the stage's placement, which the seed holds.
    std::vector<StageTiles::Bound> known;
    known.reserve(list.objects.size());
    const uint64_t boundsSeed = mix(mix(seed, uint32_t(device.x())), uint32_t(device.y()));
    if (st.boundsSeed != boundsSeed) st.bounds.clear();
    auto was = st.bounds.cbegin();
    for (const auto& [depth, obj] : list.objects) {
        const uint64_t objSig = signature(obj, 0);
        const bool live = showsLiveBitmap(obj, 0);
        while (was != st.bounds.cend() && was->depth < depth) ++was;
        QRect r;
        if (!live && was != st.bounds.cend() && was->depth == depth && was->sig == objSig) {
            r = was->rect;
        } else {
            QRectF b = boundsOf(fc, obj, frameBase, 0);
            if (!obj.filters.empty())
                b = b.marginsAdded(QMarginsF(filterMargins(obj.filters, stageScale)));
            // Antialiased edges, hairlines and rounding reach a little past the bounds.
            const bool sane = std::isfinite(b.x()) && std::isfinite(b.y()) &&
                              std::isfinite(b.width()) && std::isfinite(b.height()) &&
                              std::abs(b.x()) < 1e8 && std::abs(b.y()) < 1e8 && b.width() < 1e8 &&
                              b.height() < 1e8;
            r = sane ? b.normalized().toAlignedRect().adjusted(-3, -3, 3, 3) : all;
        }
        if (!live) known.push_back({depth, objSig, r});
        bounds.push_back(r);
        touch(r, mix(mix(objSig, uint64_t(depth)), live ? st.frames : 0));
    }
    st.bounds = std::move(known);
    st.boundsSeed = boundsSeed;
    // Each tile is kept, taken back from its older picture, or drawn in one of the pieces.
    std::vector<char> draw(size_t(count), 0);
    std::vector<int> recalls;
    cache.last = {};
    for (int t = 0; t < count; ++t) {
        sig[size_t(t)] |= 1;  // never the "nothing yet" of a fresh tile
        auto& tile = st.tiles[size_t(t)];
        if (tile.shown == sig[size_t(t)]) continue;
        if (tile.older == sig[size_t(t)] && !st.back.isNull())
            recalls.push_back(t);
        else
            draw[size_t(t)] = 1;
    }
    const std::vector<QRect> pieces = st.pieces(draw);
    const int band = st.bandRows();
    // A piece draws over every tile in it; one to recall there is drawn with it instead.
    for (const QRect& piece : pieces)
        for (int ty = piece.top(); ty <= piece.bottom(); ++ty)
            for (int tx = piece.left(); tx <= piece.right(); ++tx)
                draw[size_t(ty) * size_t(st.cols) + size_t(tx)] = 1;
    std::erase_if(recalls, [&](int t) { return draw[size_t(t)] != 0; });
    cache.last.recalled = int(recalls.size());
    cache.last.drawn = int(std::count(draw.begin(), draw.end(), 1));
    cache.last.kept = count - cache.last.recalled - cache.last.drawn;
    uchar* bits = st.frame.bits();
    const qsizetype stride = st.frame.bytesPerLine();
    for (int t : recalls) {
        auto& tile = st.tiles[size_t(t)];
        tile.onBack = !tile.onBack;
        std::swap(tile.shown, tile.older);
    }
    cache.layers.beginFrame();
    runParallel(int(pieces.size()), [&](int k) {
        const QRect& piece = pieces[size_t(k)];
        for (int ty = piece.top(); ty <= piece.bottom(); ++ty)
            for (int tx = piece.left(); tx <= piece.right(); ++tx) {
                const int t = ty * st.cols + tx;
                st.keep(t, sig[size_t(t)]);
            }
        // Every piece paints the whole frame's image, clipped to its own part: a tile's pixels
        // are worked out in the frame's coordinates whichever piece draws it.
        const QRect r = st.pixels(piece);
        QImage view(bits, st.frame.width(), st.frame.height(), stride,
                    QImage::Format_ARGB32_Premultiplied);
        const QRgb fill = bg.rgba();  // opaque: premultiplied as it is
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bits + y * stride);
            std::fill(row + r.left(), row + r.right() + 1, fill);
        }
        QPainter tp(&view);
        tp.setRenderHint(QPainter::Antialiasing, antialias);
        tp.setRenderHint(QPainter::SmoothPixmapTransform, antialias);
        tp.setClipRect(r);
        Ctx c{movie, &tp, r, stageScale, antialias};
        c.cache = &cache.layers;
        c.root = &list;
        c.stage = frameBase;
        c.setTwips(frameBase);
        c.frame = all;
        c.band = st.pixels(QRect(0, piece.top() / band * band, st.cols, band));
        c.cull = &bounds;
        if (!rootPlace || rootPlace->visible) drawList(c, list, frameBase, colour, {}, 0);
        tp.end();
        for (int ty = piece.top(); ty <= piece.bottom(); ++ty)
            for (int tx = piece.left(); tx <= piece.right(); ++tx) {
                const int t = ty * st.cols + tx;
                st.tiles[size_t(t)].shown = sig[size_t(t)];
            }
    });
    cache.layers.endFrame();
    return true;
}

// Puts the finished frame on a plain image target at whole pixels, rows shared out to the
// threads: the painter would copy the whole frame on one thread, a large share of a frame
// that mostly recalls its tiles. False when the target is anything else.
bool copyOut(QPainter& p, const StageTiles& st, const QRect& at, double ratio) {
    QPaintDevice* device = p.device();
    if (ratio != 1.0 || p.opacity() != 1.0 || !device || device->devType() != QInternal::Image ||
        !p.paintEngine() || p.paintEngine()->type() != QPaintEngine::Raster)
        return false;
    auto* target = static_cast<QImage*>(device);
    const auto format = target->format();
    if (format != QImage::Format_ARGB32_Premultiplied && format != QImage::Format_RGB32)
        return false;
    const QRect r = at & target->rect();
    if (r.isEmpty()) return true;
    uchar* dst = target->bits();
    const qsizetype dstStride = target->bytesPerLine();
    // In the frame's pixels: what to copy, and each of its rows from the pages its tiles
    // show on.
    const QRect from = r.translated(-at.topLeft());
    constexpr int kRowsAJob = StageTiles::kHeight;
    runParallel((from.height() + kRowsAJob - 1) / kRowsAJob, [&](int k) {
        const int top = from.top() + k * kRowsAJob;
        const int end = std::min(from.bottom() + 1, top + kRowsAJob);
        for (int y = top; y < end; ++y) {
            uchar* out = dst + (y + at.top()) * dstStride + (at.left() + from.left()) * 4;
            for (int x = from.left(); x <= from.right();) {
                const int t = (y / StageTiles::kHeight) * st.cols + x / StageTiles::kWidth;
                const int stop =
                    std::min(from.right() + 1, (x / StageTiles::kWidth + 1) * StageTiles::kWidth);
                std::memcpy(out, st.page(t).constScanLine(y) + x * 4, size_t(stop - x) * 4);
                out += (stop - x) * 4;
                x = stop;
            }
        }
    });
    return true;
}

}  // namespace

void renderStage(QPainter& p, const QRect& viewport, ScaleMode mode, const QColor& bg,
                 const Movie& movie, const DisplayList& list, bool antialias, StageCache* cache,
                 const DisplayObject* rootPlace) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.setRenderHint(QPainter::SmoothPixmapTransform, antialias);
    p.setClipRect(viewport);
    const QTransform device0 = p.transform();
    const QTransform stage = stageTransform(movie.info, QRectF(viewport), mode);
    QTransform base = stage * device0;
    const QRect device = device0.mapRect(viewport);
    ColorTx colour;
    if (rootPlace) {
        base = toQt(rootPlace->matrix) * base;
        colour = ColorTx::from(rootPlace->cxform);
    }
    gFrames.fetch_add(1, std::memory_order_relaxed);
    // Tiles are the device's own pixels: a high-density device's scale is taken into them.
    const double ratio = p.device() ? p.device()->devicePixelRatio() : 1.0;
    const QTransform pixels = device0 * QTransform::fromScale(ratio, ratio);
    const QRect pixelRect = pixels.mapRect(QRectF(viewport)).toAlignedRect();
    // Tiles need whole-pixel placement and an opaque background, which they start from.
    const bool tiled = cache && ratio > 0 && device0.type() <= QTransform::TxTranslate &&
                       pixels.dx() == std::round(pixels.dx()) &&
                       pixels.dy() == std::round(pixels.dy()) && bg.alpha() == 255 &&
                       !pixelRect.isEmpty() &&
                       int64_t(pixelRect.width()) * pixelRect.height() < kMaxTiledPixels;
    if (tiled) {
        QTransform pixelBase = stage * pixels;
        if (rootPlace) pixelBase = toQt(rootPlace->matrix) * pixelBase;
        if (drawTiles(*cache, pixelRect, pixelBase, colour, bg, movie, list, antialias,
                      rootPlace)) {
            if (copyOut(p, *cache->tiles, pixelRect, ratio)) {
                p.restore();
                return;
            }
            cache->tiles->gather();
            QImage& frame = cache->tiles->frame;
            frame.setDevicePixelRatio(ratio);
            p.resetTransform();
            const QRectF at(QPointF(pixelRect.topLeft()) / ratio, QSizeF(pixelRect.size()) / ratio);
            p.setClipRect(at);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(at.topLeft(), frame);
            p.restore();
            return;
        }
    }
    p.fillRect(viewport, bg);
    p.resetTransform();
    Ctx c{movie, &p, device, std::sqrt(std::abs(base.determinant())) * 20, antialias};
    c.cache = cache ? &cache->layers : nullptr;
    c.root = &list;
    c.stage = base;
    c.setTwips(base);
    if (c.cache) c.cache->beginFrame();
    if (!rootPlace || rootPlace->visible) drawList(c, list, base, colour, {}, 0);
    if (c.cache) c.cache->endFrame();
    p.restore();
}

namespace {

Ctx detachedCtx(QPainter& p, const Movie& movie, const QTransform& world, bool antialias) {
    const QRect target =
        p.device() ? QRect(0, 0, p.device()->width(), p.device()->height()) : QRect();
    Ctx c{movie, &p, target, std::sqrt(std::abs(world.determinant())) * 20, antialias};
    c.setTwips(world);
    return c;
}

}  // namespace

void drawDetached(QPainter& p, const Movie& movie, const DisplayObject& o, const QTransform& world,
                  const ColorTx& cx, bool antialias) {
    Ctx c = detachedCtx(p, movie, world, antialias);
    drawContent(c, o, world, cx, {}, 0);
}

void drawDetached(QPainter& p, const Movie& movie, const DisplayList& list, const QTransform& world,
                  const ColorTx& cx, bool antialias) {
    Ctx c = detachedCtx(p, movie, world, antialias);
    drawList(c, list, world, cx, {}, 0);
}

int64_t takeLayerBytesPeak() { return std::exchange(peakLayerBytes, 0); }

bool LayerCache::find(uint64_t path, uint64_t signature, QImage& image) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(path);
    if (it == entries_.end() || it->second.signature != signature) return false;
    it->second.used = true;
    image = it->second.image;
    return true;
}

void LayerCache::store(uint64_t path, uint64_t signature, QImage image, QRect area) {
    std::lock_guard lock(mutex_);
    const size_t size = image.sizeInBytes();
    auto it = entries_.find(path);
    if (it != entries_.end()) {
        bytes_ -= it->second.image.sizeInBytes();
        entries_.erase(it);
    }
    if (bytes_ + size > kMaxBytes) return;
    bytes_ += size;
    entries_[path] = Entry{signature, std::move(image), area, true};
}

void LayerCache::beginFrame() {
    std::lock_guard lock(mutex_);
    for (auto& [k, e] : entries_) e.used = false;
}

void LayerCache::endFrame() {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [this](const auto& kv) {
        if (kv.second.used) return false;
        bytes_ -= kv.second.image.sizeInBytes();
        return true;
    });
}

}  // namespace swf::render
