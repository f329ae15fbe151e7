// flash.display.BitmapData. Methods answer as Flash's do when called wrongly: a negative code
// naming the first argument they could not use (-1 also for too few arguments or a disposed
// bitmap), 0 when done.

#include "engine/avm1/bitmap_data.h"

#include <QImage>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/vm.h"
#include "engine/render/offscreen.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

// Pixels alive across one VM: a movie may not hold more than this, whatever its sizes.
constexpr size_t kMaxBitmapBytes = size_t{1} << 30;

std::shared_ptr<BitmapPixels> sharedBitmap(const Value& v) {
    if (!v.isObject() || !v.o->native) return nullptr;
    auto* h = dynamic_cast<BitmapHandle*>(v.o->native.get());
    return h ? h->pixels : nullptr;
}

BitmapPixels* bitmapPixels(const Value& v) {
    if (!v.isObject() || !v.o->native) return nullptr;
    auto* h = dynamic_cast<BitmapHandle*>(v.o->native.get());
    return h ? h->pixels.get() : nullptr;
}

uint32_t premultiply(uint32_t c) {
    const uint32_t a = c >> 24;
    if (a == 255) return c;
    if (a == 0) return 0;
    auto ch = [a](uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (ch((c >> 16) & 0xFF) << 16) | (ch((c >> 8) & 0xFF) << 8) | ch(c & 0xFF);
}

uint32_t unpremultiply(uint32_t c) {
    const uint32_t a = c >> 24;
    if (a == 255) return c;
    if (a == 0) return 0;
    // Through an integer reciprocal of alpha, rounded, as Flash reads them back.
    const uint32_t inv = 65280 / a;
    auto ch = [inv](uint32_t v) { return std::min<uint32_t>(255, (v * inv + 127) >> 8); };
    return (a << 24) | (ch((c >> 16) & 0xFF) << 16) | (ch((c >> 8) & 0xFF) << 8) | ch(c & 0xFF);
}

namespace {

// A pixel as scripts read it. An opaque bitmap's is taken as stored: a raw copy into it (a
// threshold's copySource) keeps the source's alpha and premultiplied colour.
uint32_t readPixel(BitmapPixels& b, int x, int y) {
    return b.transparent ? unpremultiply(b.at(x, y)) : b.at(x, y);
}

// A walk through the indexes 0..size-1, each once per cycle: a Galois shift register of the
// smallest width whose cycle is longer than size, with states past the end skipped.
class DissolveOrder {
public:
    explicit DissolveOrder(uint32_t size) : size_(std::max<uint32_t>(size, 1)) {
        while (bits_ < 32 && (uint64_t{1} << bits_) - 1 < size_) ++bits_;
    }
    // Where a seed starts: negative or too large seeds fold into the cycle.
    uint32_t start(int seed) const {
        const uint64_t period = (uint64_t{1} << bits_) - 1;
        uint32_t state = uint32_t(uint64_t(int64_t{seed} < 0 ? -int64_t{seed} : seed) % period) + 1;
        while (state - 1 >= size_) state = step(state);
        return state - 1;
    }
    uint32_t next(uint32_t index) const {
        uint32_t state = index + 1;
        do state = step(state);
        while (state - 1 >= size_);
        return state - 1;
    }

private:
    uint32_t step(uint32_t s) const { return (s >> 1) ^ ((s & 1) ? kTaps[bits_] : 0); }
    static constexpr uint32_t kTaps[33] = {
        0,         0,          0x3,        0x6,        0xC,        0x14,      0x30,
        0x60,      0xB8,       0x110,      0x240,      0x500,      0x829,     0x100D,
        0x2015,    0x6000,     0xD008,     0x12000,    0x20400,    0x40023,   0x90000,
        0x140000,  0x300000,   0x420000,   0xE10000,   0x1200000,  0x2000023, 0x4000013,
        0x9000000, 0x14000000, 0x20000029, 0x48000000, 0x80200003u};
    uint32_t size_;
    int bits_ = 2;
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

int toInt(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    return std::isfinite(d) ? toInt32(d) : 0;
}

uint32_t toColor(Vm& vm, const Value& v) { return static_cast<uint32_t>(toInt(vm, v)); }

// A Rectangle or any object with x, y, width and height.
bool readRect(Vm& vm, const Value& v, Rect& r) {
    if (!v.isObject()) return false;
    for (const char* n : {"x", "y", "width", "height"})
        if (!vm.hasProperty(v.o, n)) return false;
    auto field = [&](const char* n) {
        const double d = vm.toNumber(vm.get(v.o, n));
        return std::isfinite(d) ? static_cast<int>(std::clamp(d, -1e9, 1e9)) : 0;
    };
    r = {field("x"), field("y"), field("width"), field("height")};
    return true;
}

// A point's coordinates; missing ones (or no object at all) read as 0.
void readPoint(Vm& vm, const Value& v, int& x, int& y) {
    x = y = 0;
    if (!v.isObject()) return;
    x = toInt(vm, vm.get(v.o, "x"));
    y = toInt(vm, vm.get(v.o, "y"));
}

// r limited to the bitmap.
Rect clipTo(const BitmapPixels& b, Rect r) {
    const int64_t x0 = std::max(0, r.x), y0 = std::max(0, r.y);
    const int64_t x1 = std::min<int64_t>(b.width, int64_t{r.x} + std::max(0, r.w));
    const int64_t y1 = std::min<int64_t>(b.height, int64_t{r.y} + std::max(0, r.h));
    if (x1 <= x0 || y1 <= y0) return {};
    return {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

// Source rectangle sr of src copied to (dx, dy) of dst: both clipped so every pixel exists.
bool clipCopy(const BitmapPixels& src, const BitmapPixels& dst, Rect& sr, int& dx, int& dy) {
    int64_t sx = sr.x, sy = sr.y, w = std::max(0, sr.w), h = std::max(0, sr.h);
    int64_t tx = dx, ty = dy;
    auto trim = [](int64_t& s, int64_t& t, int64_t& len, int64_t sMax, int64_t tMax) {
        if (s < 0) {
            t -= s;
            len += s;
            s = 0;
        }
        if (t < 0) {
            s -= t;
            len += t;
            t = 0;
        }
        len = std::min({len, sMax - s, tMax - t});
    };
    trim(sx, tx, w, src.width, dst.width);
    trim(sy, ty, h, src.height, dst.height);
    if (w <= 0 || h <= 0) return false;
    sr = {int(sx), int(sy), int(w), int(h)};
    dx = int(tx);
    dy = int(ty);
    return true;
}

// The pixels of r (already clipped), copied out first since source and destination may be the
// same bitmap; straight: with alpha divided out.
std::vector<uint32_t> copyOut(const BitmapPixels& src, const Rect& r, bool straight) {
    std::vector<uint32_t> block(size_t(r.w) * r.h);
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            const uint32_t c = src.at(r.x + x, r.y + y);
            block[size_t(y) * r.w + x] = straight ? unpremultiply(c) : c;
        }
    return block;
}

// The (source, sourceRect, destPoint) most copying methods start with: 0 when usable, else the
// code they answer with. The point may be missing (it reads as 0, 0).
int copyArgs(Vm& vm, const Args& a, BitmapPixels*& src, Rect& sr, int& dx, int& dy) {
    src = bitmapPixels(arg(a, 0));
    if (!src) return -2;
    if (src->disposed) return -3;
    if (!readRect(vm, arg(a, 1), sr)) return -4;
    readPoint(vm, arg(a, 2), dx, dy);
    return 0;
}

uint8_t channel(uint32_t c, int shift) { return (c >> shift) & 0xFF; }

uint32_t argb(int a, int r, int g, int b) {
    auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return (c(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

// Straight colour as the bitmap keeps it: opaque ones drop alpha.
uint32_t store(const BitmapPixels& b, uint32_t straight) {
    return b.transparent ? premultiply(straight) : (straight | 0xFF000000u);
}

// A copied pixel weighed by the alpha bitmap. Flash takes a transparent source's colour back
// to straight (rounding halves up), scales its alpha by the mask in 1/256ths and premultiplies
// again. An opaque source has every channel scaled in 1/256ths, as small copies show (larger
// ones were seen to keep the mask's alpha whole; why is not known yet).
uint32_t maskedByAlpha(uint32_t premul, bool transparent, uint32_t mask) {
    const uint32_t a = premul >> 24;
    if (!transparent) {
        auto mul = [mask](uint32_t v) { return (v * mask) >> 8; };
        return (mul(a) << 24) | (mul(channel(premul, 16)) << 16) | (mul(channel(premul, 8)) << 8) |
               mul(channel(premul, 0));
    }
    const uint32_t na = (a * mask) >> 8;
    if (na == 0) return 0;
    auto ch = [&](int shift) {
        const uint32_t p = channel(premul, shift);
        const uint32_t straight = std::min<uint32_t>(255, (p * 255 + a / 2) / a);
        return (straight * na + 127) / 255;
    };
    return (na << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

// Source-over of premultiplied colours.
uint32_t blendOver(uint32_t src, uint32_t dst) {
    const uint32_t sa = src >> 24;
    if (sa == 255) return src;
    if (sa == 0) return dst;
    auto ch = [&](int shift) {
        const uint32_t s = channel(src, shift), d = channel(dst, shift);
        return std::min<uint32_t>(255, s + d * (255 - sa) / 255);
    };
    return (ch(24) << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

// Flash's noise generator: the Park-Miller minimal standard, seeded as it is.
class ParkMiller {
public:
    explicit ParkMiller(int64_t seed) {
        // Seeds below 1 count up from 1: 0 is 1, -1 is 2.
        if (seed <= 0) seed = 1 - seed;
        seed_ = seed % 2147483647;
        if (seed_ == 0) seed_ = 1;
    }
    int64_t next() {
        seed_ = (seed_ * 16807) % 2147483647;
        return seed_;
    }

private:
    int64_t seed_;
};

// Gradient noise on a unit lattice: a shuffled table of corners, each with one of eight
// directions; the corners wrap at periodX/periodY (0: never) so a stitched picture tiles.
class GradientNoise {
public:
    explicit GradientNoise(int64_t seed) {
        ParkMiller rng(seed);
        for (int i = 0; i < 256; ++i) perm_[i] = uint8_t(i);
        for (int i = 255; i > 0; --i) std::swap(perm_[i], perm_[rng.next() % (i + 1)]);
    }
    double at(double x, double y, int periodX, int periodY) const {
        const double fx = std::floor(x), fy = std::floor(y);
        const double dx = x - fx, dy = y - fy;
        auto wrap = [](double v, int period) {
            if (period > 0) v = v - std::floor(v / period) * period;
            return int(int64_t(v) & 255);
        };
        const int x0 = wrap(fx, periodX), x1 = wrap(fx + 1, periodX);
        const int y0 = wrap(fy, periodY), y1 = wrap(fy + 1, periodY);
        auto corner = [&](int cx, int cy, double ox, double oy) {
            static constexpr double kDir[8][2] = {{1, 0},
                                                  {-1, 0},
                                                  {0, 1},
                                                  {0, -1},
                                                  {0.7071, 0.7071},
                                                  {-0.7071, 0.7071},
                                                  {0.7071, -0.7071},
                                                  {-0.7071, -0.7071}};
            const auto& d = kDir[perm_[(perm_[cx] + cy) & 255] & 7];
            return d[0] * ox + d[1] * oy;
        };
        auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
        const double u = fade(dx), v = fade(dy);
        const double a =
            corner(x0, y0, dx, dy) + u * (corner(x1, y0, dx - 1, dy) - corner(x0, y0, dx, dy));
        const double b = corner(x0, y1, dx, dy - 1) +
                         u * (corner(x1, y1, dx - 1, dy - 1) - corner(x0, y1, dx, dy - 1));
        return a + v * (b - a);
    }

private:
    std::array<uint8_t, 256> perm_;
};

}  // namespace

void installBitmapBuiltins(Vm& vm) {
    Value flash = vm.get(vm.global, "flash");
    if (!flash.isObject()) return;
    Object* display = vm.newObject();
    vm.defineValue(flash.o, "display", display);
    Value geom = vm.get(flash.o, "geom");
    Object* rectCtor = nullptr;
    Object* pointCtor = nullptr;
    if (geom.isObject()) {
        Value r = vm.get(geom.o, "Rectangle"), p = vm.get(geom.o, "Point");
        rectCtor = r.isObject() ? r.o : nullptr;
        pointCtor = p.isObject() ? p.o : nullptr;
    }
    auto budget = std::make_shared<size_t>(0);

    Object* proto = vm.newObject();
    // Makes a bitmap of w x h (checked by the caller) on obj; false when memory is out.
    auto attach = [budget](Object* obj, int w, int h, bool transparent, uint32_t fill) {
        const size_t bytes = size_t(w) * size_t(h) * sizeof(uint32_t);
        if (*budget + bytes > kMaxBitmapBytes) return false;
        auto b = std::make_shared<BitmapPixels>();
        b->width = w;
        b->height = h;
        b->transparent = transparent;
        b->px.assign(size_t(w) * size_t(h), 0);
        b->budget = budget;
        *budget += b->px.capacity() * sizeof(uint32_t);
        std::fill(b->px.begin(), b->px.end(), store(*b, fill));
        auto handle = std::make_unique<BitmapHandle>();
        handle->pixels = std::move(b);
        obj->native = std::move(handle);
        return true;
    };
    Object* ctor = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, proto);
    ctor->fn->newMayFail = true;
    ctor->fn->construct = [attach](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.size() < 2) return {};
        const double w = vm.toNumber(a[0]), h = vm.toNumber(a[1]);
        // Flash 10 raised the old 2880 pixel limit a side.
        const bool big = vm.version() >= 10;
        const double side = big ? 8191 : 2880;
        if (!(w >= 1 && w <= side && h >= 1 && h <= side)) return {};
        const int iw = static_cast<int>(w), ih = static_cast<int>(h);
        if (big && int64_t{iw} * ih > 16777215) return {};
        const bool transparent = a.size() > 2 ? vm.toBoolean(a[2]) : true;
        const uint32_t fill = a.size() > 3 ? toColor(vm, a[3]) : 0xFFFFFFFFu;
        if (!attach(self, iw, ih, transparent, fill)) return {};
        return Value(self);
    };
    vm.defineValue(display, "BitmapData", ctor, 0);
    // A new BitmapData object of w x h for results (clone, compare...); null when memory is out.
    auto fresh = [ctor, attach](Vm& vm, int w, int h, bool transparent) -> Object* {
        Value protoV = vm.get(ctor, "prototype");
        Object* out = vm.newObject(protoV.isObject() ? protoV.o : vm.objectProto);
        return attach(out, w, h, transparent, 0) ? out : nullptr;
    };
    vm.defineValue(ctor, "RED_CHANNEL", Value(1), 0);
    vm.defineValue(ctor, "GREEN_CHANNEL", Value(2), 0);
    vm.defineValue(ctor, "BLUE_CHANNEL", Value(4), 0);
    vm.defineValue(ctor, "ALPHA_CHANNEL", Value(8), 0);

    auto self = [](Object* o) -> BitmapPixels* {
        BitmapPixels* b = o ? bitmapPixels(Value(o)) : nullptr;
        return b && !b->disposed ? b : nullptr;
    };
    auto getter = [&vm, proto](const char* name, NativeFn get) {
        Property& p = proto->setOwn(name, vm.key(name), Value(), 0);
        p.getter = vm.newMethod(std::move(get));
        p.setter = vm.newMethod([](Vm&, Object*, Args&) -> Value { return {}; });
    };
    getter("width", [self](Vm&, Object* o, Args&) -> Value {
        BitmapPixels* b = self(o);
        return b ? Value(b->width) : Value(-1);
    });
    getter("height", [self](Vm&, Object* o, Args&) -> Value {
        BitmapPixels* b = self(o);
        return b ? Value(b->height) : Value(-1);
    });
    getter("transparent", [self](Vm&, Object* o, Args&) -> Value {
        BitmapPixels* b = self(o);
        return b ? Value(b->transparent) : Value(-1);
    });
    // Whatever flash.geom.Rectangle is when asked: scripts may replace it; without one the
    // answer is -1.
    auto newRect = [](Vm& vm, double x, double y, double w, double h) -> Value {
        Value flashV = vm.get(vm.global, "flash");
        Value geomV = flashV.isObject() ? vm.get(flashV.o, "geom") : Value();
        Value ctorV = geomV.isObject() ? vm.get(geomV.o, "Rectangle") : Value();
        if (!ctorV.isObject() || !ctorV.o->fn) return Value(-1);
        return vm.construct(ctorV, {Value(x), Value(y), Value(w), Value(h)});
    };
    getter("rectangle", [self, newRect](Vm& vm, Object* o, Args&) -> Value {
        BitmapPixels* b = self(o);
        return b ? newRect(vm, 0, 0, b->width, b->height) : Value(-1);
    });

    // A method working on a live bitmap with at least `need` arguments; -1 otherwise.
    auto method = [&vm, proto, self](const char* name, size_t need,
                                     std::function<Value(Vm&, Object*, BitmapPixels&, Args&)> f) {
        vm.defineMethod(proto, name, [self, need, f](Vm& vm, Object* o, Args& a) -> Value {
            BitmapPixels* b = self(o);
            if (!b || a.size() < need) return Value(-1);
            return f(vm, o, *b, a);
        });
    };

    method("getPixel", 2, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const int x = toInt(vm, a[0]), y = toInt(vm, a[1]);
        if (!b.inside(x, y)) return Value(0);
        return Value(static_cast<int>(readPixel(b, x, y) & 0xFFFFFF));
    });
    method("getPixel32", 2, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const int x = toInt(vm, a[0]), y = toInt(vm, a[1]);
        if (!b.inside(x, y)) return Value(0);
        return Value(static_cast<int32_t>(readPixel(b, x, y)));
    });
    method("setPixel", 3, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const int x = toInt(vm, a[0]), y = toInt(vm, a[1]);
        if (b.inside(x, y)) {
            const uint32_t old = unpremultiply(b.at(x, y));
            b.at(x, y) = store(b, (old & 0xFF000000u) | (toColor(vm, a[2]) & 0xFFFFFF));
        }
        return Value(0);
    });
    method("setPixel32", 3, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const int x = toInt(vm, a[0]), y = toInt(vm, a[1]);
        if (b.inside(x, y)) b.at(x, y) = store(b, toColor(vm, a[2]));
        return Value(0);
    });
    method("fillRect", 2, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        Rect r;
        if (!readRect(vm, a[0], r)) return Value(-1);
        // A negative size reaches back from the corner given.
        if (r.w < 0) {
            r.x += r.w;
            r.w = -r.w;
        }
        if (r.h < 0) {
            r.y += r.h;
            r.h = -r.h;
        }
        r = clipTo(b, r);
        const uint32_t c = store(b, toColor(vm, a[1]));
        for (int y = r.y; y < r.y + r.h; ++y) std::fill_n(&b.at(r.x, y), r.w, c);
        return Value(0);
    });
    method("dispose", 0, [](Vm&, Object*, BitmapPixels& b, Args&) -> Value {
        b.disposed = true;
        if (b.budget) *b.budget -= b.px.capacity() * sizeof(uint32_t);
        std::vector<uint32_t>().swap(b.px);
        b.width = b.height = 0;
        return {};
    });
    method("clone", 0, [fresh](Vm& vm, Object*, BitmapPixels& b, Args&) -> Value {
        Object* out = fresh(vm, b.width, b.height, b.transparent);
        if (!out) return {};
        bitmapPixels(Value(out))->px = b.px;
        return Value(out);
    });
    method("floodFill", 3, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const int x0 = toInt(vm, a[0]), y0 = toInt(vm, a[1]);
        if (!b.inside(x0, y0)) return Value(0);
        const uint32_t from = b.at(x0, y0), to = store(b, toColor(vm, a[2]));
        if (from == to) return Value(0);
        std::vector<std::pair<int, int>> todo{{x0, y0}};
        while (!todo.empty()) {
            auto [x, y] = todo.back();
            todo.pop_back();
            if (!b.inside(x, y) || b.at(x, y) != from) continue;
            b.at(x, y) = to;
            todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
        }
        return Value(1);
    });
    method("scroll", 2, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const int dx = toInt(vm, a[0]), dy = toInt(vm, a[1]);
        if (std::abs(int64_t{dx}) >= b.width || std::abs(int64_t{dy}) >= b.height ||
            (dx == 0 && dy == 0))
            return Value(0);
        const std::vector<uint32_t> old = b.px;
        // Pixels scrolled off stay where nothing new lands.
        for (int y = 0; y < b.height; ++y) {
            const int sy = y - dy;
            if (sy < 0 || sy >= b.height) continue;
            for (int x = 0; x < b.width; ++x) {
                const int sx = x - dx;
                if (sx >= 0 && sx < b.width) b.at(x, y) = old[size_t(sy) * b.width + sx];
            }
        }
        return Value(0);
    });
    method("compare", 1, [fresh](Vm& vm, Object* o, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* other = bitmapPixels(a[0]);
        if (!other || other->disposed) return Value(-2);
        if (a[0].o == o) return Value(0);
        if (other->width != b.width) return Value(-3);
        if (other->height != b.height) return Value(-4);
        std::vector<uint32_t> diff(b.px.size());
        bool same = true;
        for (size_t i = 0; i < b.px.size(); ++i) {
            const uint32_t p = unpremultiply(b.px[i]), q = unpremultiply(other->px[i]);
            if ((p & 0xFFFFFF) != (q & 0xFFFFFF)) {
                const uint32_t rgb = (((channel(p, 16) - channel(q, 16)) & 0xFF) << 16) |
                                     (((channel(p, 8) - channel(q, 8)) & 0xFF) << 8) |
                                     ((channel(p, 0) - channel(q, 0)) & 0xFF);
                diff[i] = 0xFF000000u | rgb;
            } else if (p != q) {
                diff[i] = (((channel(p, 24) - channel(q, 24)) & 0xFF) << 24) | 0xFFFFFF;
            } else {
                continue;
            }
            same = false;
        }
        if (same) return Value(0);
        Object* out = fresh(vm, b.width, b.height, true);
        if (!out) return {};
        BitmapPixels* ob = bitmapPixels(Value(out));
        for (size_t i = 0; i < diff.size(); ++i) ob->px[i] = premultiply(diff[i]);
        return Value(out);
    });
    Object* ctCtor = nullptr;
    if (geom.isObject()) {
        Value c = vm.get(geom.o, "ColorTransform");
        ctCtor = c.isObject() ? c.o : nullptr;
    }
    method("colorTransform", 2, [ctCtor](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        Rect r;
        if (!readRect(vm, a[0], r)) return Value(-2);
        if (!a[1].isObject() || !ctCtor || !vm.instanceOf(a[1], ctCtor)) return Value(-3);
        static constexpr const char* kC[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                             "alphaMultiplier", "redOffset",       "greenOffset",
                                             "blueOffset",      "alphaOffset"};
        double t[8];
        for (int i = 0; i < 8; ++i) {
            t[i] = vm.toNumber(vm.get(a[1].o, kC[i]));
            if (!std::isfinite(t[i])) t[i] = 0;
        }
        r = clipTo(b, r);
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x) {
                const uint32_t c = unpremultiply(b.at(x, y));
                auto f = [&](int shift, int i) {
                    return static_cast<int>(channel(c, shift) * t[i] + t[i + 4]);
                };
                b.at(x, y) = store(b, argb(f(24, 3), f(16, 0), f(8, 1), f(0, 2)));
            }
        return Value(-1);
    });
    method("copyPixels", 3, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* src;
        Rect sr;
        int dx, dy;
        if (int bad = copyArgs(vm, a, src, sr, dx, dy)) return Value(bad);
        // The alpha bitmap counts only with its point.
        BitmapPixels* alphaBmp = a.size() > 4 ? bitmapPixels(a[3]) : nullptr;
        if (alphaBmp && alphaBmp->disposed) alphaBmp = nullptr;
        int ax = 0, ay = 0;
        readPoint(vm, arg(a, 4), ax, ay);
        const bool merge = vm.toBoolean(arg(a, 5));
        const Rect asked = sr;
        if (!clipCopy(*src, b, sr, dx, dy)) return Value(0);
        const std::vector<uint32_t> block = copyOut(*src, sr, false);
        for (int y = 0; y < sr.h; ++y)
            for (int x = 0; x < sr.w; ++x) {
                uint32_t s = block[size_t(y) * sr.w + x];
                if (!src->transparent) s |= 0xFF000000u;
                if (alphaBmp && alphaBmp->transparent) {
                    // The alpha bitmap is read from alphaPoint on; where it ends the copy stops.
                    const int px = ax + (sr.x + x - asked.x), py = ay + (sr.y + y - asked.y);
                    if (!alphaBmp->inside(px, py)) continue;
                    s = maskedByAlpha(s, src->transparent, alphaBmp->at(px, py) >> 24);
                }
                uint32_t& d = b.at(dx + x, dy + y);
                // An opaque bitmap always shows what it had through the copy.
                if (!b.transparent)
                    d = blendOver(s, d) | 0xFF000000u;
                else
                    d = merge ? blendOver(s, d) : s;
            }
        return Value(0);
    });
    method("copyChannel", 5, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* src;
        Rect sr;
        int dx, dy;
        if (int bad = copyArgs(vm, a, src, sr, dx, dy)) return Value(bad);
        const int from = toInt(vm, a[3]), to = toInt(vm, a[4]);
        auto shiftOf = [](int ch) {
            switch (ch) {
                case 1:
                    return 16;
                case 2:
                    return 8;
                case 4:
                    return 0;
                case 8:
                    return 24;
                default:
                    return -1;
            }
        };
        const int fs = shiftOf(from), ts = shiftOf(to);
        if (fs < 0 || ts < 0) return Value(0);
        if (!clipCopy(*src, b, sr, dx, dy)) return Value(0);
        const std::vector<uint32_t> block = copyOut(*src, sr, true);
        for (int y = 0; y < sr.h; ++y)
            for (int x = 0; x < sr.w; ++x) {
                const uint32_t v = channel(block[size_t(y) * sr.w + x], fs);
                uint32_t d = unpremultiply(b.at(dx + x, dy + y));
                d = (d & ~(0xFFu << ts)) | (v << ts);
                b.at(dx + x, dy + y) = store(b, d);
            }
        return Value(0);
    });
    method("merge", 6, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* src;
        Rect sr;
        int dx, dy;
        if (int bad = copyArgs(vm, a, src, sr, dx, dy)) return Value(bad);
        // Multipliers out of 256; the alpha one may be left out (all of the source's alpha).
        auto mult = [&](size_t i) {
            return i < a.size() ? std::clamp(toInt(vm, a[i]), 0, 256) : 256;
        };
        const int m[4] = {mult(3), mult(4), mult(5), mult(6)};
        if (!clipCopy(*src, b, sr, dx, dy)) return Value(-1);
        for (int y = 0; y < sr.h; ++y)
            for (int x = 0; x < sr.w; ++x) {
                const uint32_t s = unpremultiply(src->at(sr.x + x, sr.y + y));
                const uint32_t d = unpremultiply(b.at(dx + x, dy + y));
                auto mix = [&](int shift, int mult) {
                    const int sv = channel(s, shift), dv = channel(d, shift);
                    return (sv * mult + dv * (256 - mult)) / 256;
                };
                b.at(dx + x, dy + y) =
                    store(b, argb(mix(24, m[3]), mix(16, m[0]), mix(8, m[1]), mix(0, m[2])));
            }
        return Value(-1);
    });
    method("noise", 1, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        ParkMiller rng(toInt(vm, a[0]));
        const int lo = a.size() > 1 ? std::clamp(toInt(vm, a[1]), 0, 255) : 0;
        const int hi = a.size() > 2 ? std::clamp(toInt(vm, a[2]), 0, 255) : 255;
        const int channels = a.size() > 3 ? toInt(vm, a[3]) : 7;
        const bool gray = a.size() > 4 && vm.toBoolean(a[4]);
        // A range upside down gives its low end everywhere.
        const int range = std::max(1, hi - lo + 1);
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                int r = 0, g = 0, bl = 0, al = 255;
                if (gray) {
                    r = g = bl = lo + static_cast<int>(rng.next() % range);
                } else {
                    if (channels & 1) r = lo + static_cast<int>(rng.next() % range);
                    if (channels & 2) g = lo + static_cast<int>(rng.next() % range);
                    if (channels & 4) bl = lo + static_cast<int>(rng.next() % range);
                }
                // An opaque bitmap draws no alpha.
                if ((channels & 8) && b.transparent) al = lo + static_cast<int>(rng.next() % range);
                b.at(x, y) = store(b, argb(al, r, g, bl));
            }
        return Value(0);
    });
    method("hitTest", 2, [rectCtor](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        // firstPoint, firstAlphaThreshold, secondObject, secondBitmapPoint, secondThreshold.
        // Points need x and y of their own (not inherited); a bad one answers the code of its
        // argument.
        auto ownPoint = [&vm](const Value& v) {
            return v.isObject() && v.o->findOwn(vm.key("x")) && v.o->findOwn(vm.key("y"));
        };
        if (!ownPoint(a[0])) return Value(-2);
        int fx, fy;
        readPoint(vm, a[0], fx, fy);
        const uint32_t t1 = toColor(vm, a[1]) & 0xFF;
        const Value& other = arg(a, 2);
        auto opaqueAt = [&](int x, int y, uint32_t thr) {
            return b.inside(x, y) && (b.at(x, y) >> 24) >= thr;
        };
        if (BitmapPixels* ob = bitmapPixels(other)) {
            if (ob->disposed) return Value(-3);
            if (arg(a, 3).isNull()) return Value(-4);
            int sx, sy;
            readPoint(vm, arg(a, 3), sx, sy);
            const uint32_t t2 = a.size() > 4 ? toColor(vm, a[4]) & 0xFF : 1;
            // Overlap of the two bitmaps placed at their points.
            const int64_t ox = int64_t{sx} - fx, oy = int64_t{sy} - fy;
            const int64_t x0 = std::max<int64_t>(0, ox), y0 = std::max<int64_t>(0, oy);
            const int64_t x1 = std::min<int64_t>(b.width, ox + ob->width);
            const int64_t y1 = std::min<int64_t>(b.height, oy + ob->height);
            for (int64_t y = y0; y < y1; ++y)
                for (int64_t x = x0; x < x1; ++x)
                    if ((b.at(int(x), int(y)) >> 24) >= t1 &&
                        (ob->at(int(x - ox), int(y - oy)) >> 24) >= t2)
                        return Value(true);
            return Value(false);
        }
        if (!other.isObject()) return Value(-3);
        if (rectCtor && vm.instanceOf(other, rectCtor)) {
            Rect r;
            if (!readRect(vm, other, r)) return Value(false);
            r.x -= fx;
            r.y -= fy;
            r = clipTo(b, r);
            for (int y = r.y; y < r.y + r.h; ++y)
                for (int x = r.x; x < r.x + r.w; ++x)
                    if ((b.at(x, y) >> 24) >= t1) return Value(true);
            return Value(false);
        }
        if (!ownPoint(other)) return Value(-3);
        int px, py;
        readPoint(vm, other, px, py);
        return Value(opaqueAt(px - fx, py - fy, t1));
    });
    method("getColorBoundsRect", 2, [newRect](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        const uint32_t mask = toColor(vm, a[0]), color = toColor(vm, arg(a, 1));
        const bool find = a.size() > 2 ? vm.toBoolean(a[2]) : true;
        int x0 = b.width, y0 = b.height, x1 = -1, y1 = -1;
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < b.width; ++x) {
                const bool hit = ((readPixel(b, x, y) & mask) == (color & mask)) == find;
                if (!hit) continue;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        // The player finds the far edges counting down and takes reaching 0 as finding none:
        // what lies only in the first column or row has no bounds.
        if (x1 <= 0 || y1 <= 0) return newRect(vm, 0, 0, 0, 0);
        return newRect(vm, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
    });
    method("threshold", 5, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* src;
        Rect sr;
        int dx, dy;
        if (int bad = copyArgs(vm, a, src, sr, dx, dy)) return Value(bad);
        const std::string op = vm.toString(a[3]);
        const uint32_t thr = toColor(vm, a[4]);
        const uint32_t color = a.size() > 5 ? toColor(vm, a[5]) : 0;
        const uint32_t mask = a.size() > 6 ? toColor(vm, a[6]) : 0xFFFFFFFFu;
        const bool copySource = a.size() > 7 && vm.toBoolean(a[7]);
        // Anything but the six operators compares as "<".
        int kind = 0;
        if (op == "<=")
            kind = 1;
        else if (op == ">")
            kind = 2;
        else if (op == ">=")
            kind = 3;
        else if (op == "==")
            kind = 4;
        else if (op == "!=")
            kind = 5;
        if (!clipCopy(*src, b, sr, dx, dy)) return Value(0);
        const std::vector<uint32_t> block = copyOut(*src, sr, false);
        int count = 0;
        const uint32_t t = thr & mask;
        for (int y = 0; y < sr.h; ++y)
            for (int x = 0; x < sr.w; ++x) {
                const uint32_t s = block[size_t(y) * sr.w + x];
                // The stored (premultiplied) colour is what gets compared.
                const uint32_t v = s & mask;
                bool hit = false;
                switch (kind) {
                    case 0:
                        hit = v < t;
                        break;
                    case 1:
                        hit = v <= t;
                        break;
                    case 2:
                        hit = v > t;
                        break;
                    case 3:
                        hit = v >= t;
                        break;
                    case 4:
                        hit = v == t;
                        break;
                    default:
                        hit = v != t;
                        break;
                }
                uint32_t& d = b.at(dx + x, dy + y);
                if (hit) {
                    d = premultiply(color);  // its alpha kept, even in an opaque bitmap
                    ++count;
                } else if (copySource) {
                    d = s;  // as stored, alpha and all, even into an opaque bitmap
                }
            }
        return Value(count);
    });
    method("paletteMap", 3, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* src;
        Rect sr;
        int dx, dy;
        if (int bad = copyArgs(vm, a, src, sr, dx, dy)) return Value(bad);
        // Channel tables; a missing one passes its channel through.
        uint32_t table[4][256];
        bool have[4] = {};
        const int shifts[4] = {16, 8, 0, 24};
        for (int c = 0; c < 4; ++c) {
            const Value& t = arg(a, 3 + c);
            if (!t.isObject() || t.o->cls != ObjClass::Array) continue;
            have[c] = true;
            for (int i = 0; i < 256; ++i)
                table[c][i] = size_t(i) < t.o->elems.size() ? toColor(vm, t.o->elems[i]) : 0;
        }
        if (!clipCopy(*src, b, sr, dx, dy)) return Value(0);
        const std::vector<uint32_t> block = copyOut(*src, sr, true);
        for (int y = 0; y < sr.h; ++y)
            for (int x = 0; x < sr.w; ++x) {
                const uint32_t s = block[size_t(y) * sr.w + x];
                uint32_t out = 0;
                for (int c = 0; c < 4; ++c) {
                    const uint32_t v = channel(s, shifts[c]);
                    out += have[c] ? table[c][v] : (v << shifts[c]);
                }
                b.at(dx + x, dy + y) = store(b, out);
            }
        return Value(0);
    });
    method("pixelDissolve", 3, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        BitmapPixels* src;
        Rect sr;
        int dx, dy;
        // A missing or disposed source answers -1 here, not its argument's code.
        if (int bad = copyArgs(vm, a, src, sr, dx, dy)) return Value(bad == -4 ? bad : -1);
        const int seed = a.size() > 3 ? toInt(vm, a[3]) : 0;
        const int64_t count = a.size() > 4 ? std::max(0, toInt(vm, a[4])) : 0;
        const uint32_t fill = a.size() > 5 ? toColor(vm, a[5]) : 0;
        if (!clipCopy(*src, b, sr, dx, dy)) return Value(0);
        const int64_t area = int64_t{sr.w} * sr.h;
        // The pixels are visited in the order of a maximal shift register over the area's
        // indexes: the seed is where a call starts (that pixel is written too) and the index
        // it ends on is returned, so chained calls go on where the last one stopped.
        DissolveOrder order(static_cast<uint32_t>(area));
        uint32_t at = order.start(seed);
        if (a.size() <= 4) return Value(static_cast<double>(at));  // no count: nothing to do
        const int64_t steps = std::min(count, area);
        for (int64_t i = 0;; ++i) {
            const int x = int(at % uint32_t(sr.w)), y = int(at / uint32_t(sr.w));
            uint32_t& d = b.at(dx + x, dy + y);
            d = src == &b ? store(b, fill) : src->at(sr.x + x, sr.y + y);
            if (!b.transparent) d |= 0xFF000000u;
            if (i >= steps) break;
            at = order.next(at);
        }
        return Value(static_cast<double>(at));
    });
    // draw(source, matrix, colorTransform, blendMode, clipRect, smoothing): a bitmap, clip or
    // text field painted over the pixels through the renderer.
    method("draw", 1, [ctCtor](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        QTransform m;
        if (arg(a, 1).isObject()) {
            double v[6];
            const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
            for (int i = 0; i < 6; ++i) {
                v[i] = vm.toNumber(vm.get(a[1].o, names[i]));
                if (!std::isfinite(v[i])) return {};
            }
            m = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
        }
        render::ColorTx cx;
        if (arg(a, 2).isObject() && ctCtor && vm.instanceOf(a[2], ctCtor)) {
            double* f[] = {&cx.mr, &cx.mg, &cx.mb, &cx.ma, &cx.ar, &cx.ag, &cx.ab, &cx.aa};
            const char* names[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                   "alphaMultiplier", "redOffset",       "greenOffset",
                                   "blueOffset",      "alphaOffset"};
            for (int i = 0; i < 8; ++i) {
                const double d = vm.toNumber(vm.get(a[2].o, names[i]));
                *f[i] = std::isfinite(d) ? d : 0;
            }
        }
        Rect clip{0, 0, b.width, b.height};
        if (arg(a, 4).isObject() && !readRect(vm, a[4], clip)) clip = {0, 0, b.width, b.height};
        clip = clipTo(b, clip);
        if (clip.w <= 0 || clip.h <= 0) return {};
        const bool smooth = vm.toBoolean(arg(a, 5));
        QImage target(reinterpret_cast<uchar*>(b.px.data()), b.width, b.height, b.width * 4,
                      QImage::Format_ARGB32_Premultiplied);
        {
            QPainter p(&target);
            p.setClipRect(QRect(clip.x, clip.y, clip.w, clip.h));
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
            if (BitmapPixels* src = bitmapPixels(a[0])) {
                if (src->disposed) return {};
                // Copied first: a bitmap may be drawn into itself.
                QImage img = src->view().copy();
                if (cx.mr != 1 || cx.mg != 1 || cx.mb != 1 || cx.ma != 1 || cx.ar || cx.ag ||
                    cx.ab || cx.aa) {
                    for (int y = 0; y < img.height(); ++y) {
                        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
                        for (int x = 0; x < img.width(); ++x) {
                            const uint32_t c = unpremultiply(row[x]);
                            auto ch = [&](int shift, double mul, double add) {
                                return static_cast<int>(channel(c, shift) * mul + add);
                            };
                            row[x] = premultiply(argb(ch(24, cx.ma, cx.aa), ch(16, cx.mr, cx.ar),
                                                      ch(8, cx.mg, cx.ag), ch(0, cx.mb, cx.ab)));
                        }
                    }
                }
                p.setTransform(m);
                p.drawImage(QPointF(0, 0), img);
            } else if (auto* runner = dynamic_cast<ScriptRunner*>(&vm.host());
                       runner && a[0].isObject()) {
                // The source in its own space: its own placement does not count.
                const QTransform world = QTransform::fromScale(0.05, 0.05) * m;
                Object* o = a[0].o;
                if (o->cls == ObjClass::MovieClip && o->clip) {
                    if (auto* sc = dynamic_cast<SpriteClip*>(o->clip)) {
                        if (const DisplayObject* d = sc->object())
                            render::drawDetached(p, runner->movie(), *d, world, cx, true);
                    } else if (const DisplayList* l = runner->listOf(o->clip)) {
                        render::drawDetached(p, runner->movie(), *l, world, cx, true);
                    }
                } else if (TextFieldHost* tf = textFieldOf(o)) {
                    if (const DisplayObject* d = tf->object())
                        render::drawDetached(p, runner->movie(), *d, world, cx, true);
                }
            }
        }
        if (!b.transparent)
            for (uint32_t& px : b.px) px |= 0xFF000000u;
        return {};
    });
    method("applyFilter", 4, [](Vm&, Object*, BitmapPixels&, Args&) -> Value { return Value(0); });
    method("generateFilterRect", 2, [newRect](Vm& vm, Object*, BitmapPixels&, Args& a) -> Value {
        Rect r;
        if (!readRect(vm, a[0], r)) return {};
        return newRect(vm, r.x, r.y, r.w, r.h);
    });
    // perlinNoise(baseX, baseY, numOctaves, randomSeed, stitch, fractalNoise, channelOptions,
    // grayScale, offsets): gradient noise over octaves, each of twice the frequency and half the
    // weight of the one before. Fractal noise centres on grey; turbulence sums magnitudes.
    method("perlinNoise", 6, [](Vm& vm, Object*, BitmapPixels& b, Args& a) -> Value {
        auto number = [&vm](const Value& v) {
            const double d = vm.toNumber(v);
            return std::isfinite(d) ? d : 0.0;
        };
        const double baseX = number(a[0]), baseY = number(a[1]);
        const int octaves = std::clamp(toInt(vm, a[2]), 0, 16);
        const int64_t seed = toInt(vm, a[3]);
        const bool stitch = vm.toBoolean(a[4]), fractal = vm.toBoolean(a[5]);
        const int channels = a.size() > 6 ? toInt(vm, a[6]) : 7;
        const bool gray = a.size() > 7 && vm.toBoolean(a[7]);
        // Each octave's offset (pixels), from an array of points.
        std::vector<std::pair<double, double>> offsets(size_t(octaves), {0.0, 0.0});
        if (a.size() > 8 && a[8].isObject())
            for (int i = 0; i < octaves; ++i) {
                const Value p = vm.get(a[8].o, std::to_string(i));
                if (p.isObject())
                    offsets[size_t(i)] = {number(vm.get(p.o, "x")), number(vm.get(p.o, "y"))};
            }
        // One noise per channel drawn (red, green, blue, alpha), each from its own seed.
        std::array<std::optional<GradientNoise>, 4> noise;
        for (int c = 0; c < 4; ++c) noise[size_t(c)].emplace(seed + c * 7919);
        const double fx0 = baseX > 0 ? 1 / baseX : 0, fy0 = baseY > 0 ? 1 / baseY : 0;
        auto value = [&](int c, int x, int y) {
            double sum = 0, weight = 0, amp = 1, fx = fx0, fy = fy0;
            for (int o = 0; o < octaves; ++o) {
                // Stitching makes the lattice wrap at the bitmap's edges.
                const int px = stitch ? std::max(1, int(std::lround(b.width * fx))) : 0;
                const int py = stitch ? std::max(1, int(std::lround(b.height * fy))) : 0;
                const double n = noise[size_t(c)]->at((x + offsets[size_t(o)].first) * fx,
                                                      (y + offsets[size_t(o)].second) * fy, px, py);
                sum += (fractal ? n : std::abs(n)) * amp;
                weight += amp;
                amp /= 2;
                fx *= 2;
                fy *= 2;
            }
            const double t = weight > 0 ? sum / weight : 0;
            const double v = fractal ? (t + 1) / 2 * 255 : t * 255;
            return std::clamp(int(std::lround(v)), 0, 255);
        };
        for (int y = 0; y < b.height; ++y) {
            vm.checkTime();
            for (int x = 0; x < b.width; ++x) {
                int r = 0, g = 0, bl = 0, al = 255;
                if (gray) {
                    r = g = bl = value(0, x, y);
                } else {
                    if (channels & 1) r = value(0, x, y);
                    if (channels & 2) g = value(1, x, y);
                    if (channels & 4) bl = value(2, x, y);
                }
                if ((channels & 8) && b.transparent) al = value(3, x, y);
                b.at(x, y) = store(b, argb(al, r, g, bl));
            }
        }
        return Value(0);
    });
    // A bitmap exported from the library (DefineBits*), copied into a new BitmapData.
    vm.defineMethod(ctor, "loadBitmap", [fresh](Vm& vm, Object*, Args& a) -> Value {
        auto* runner = dynamic_cast<ScriptRunner*>(&vm.host());
        if (!runner || a.empty()) return {};
        const uint16_t id = runner->exportedId(vm.toString(a[0]));
        const Character* ch = id ? runner->movie().character(id) : nullptr;
        const auto* bc = ch ? std::get_if<BitmapCharacter>(ch) : nullptr;
        if (!bc) return {};
        const QImage img =
            bc->image(runner->movie()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int side = vm.version() >= 10 ? 8191 : 2880;
        if (img.isNull() || img.width() > side || img.height() > side) return {};
        Object* out = fresh(vm, img.width(), img.height(), img.hasAlphaChannel());
        if (!out) return {};
        BitmapPixels* b = bitmapPixels(Value(out));
        for (int y = 0; y < img.height(); ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
            std::copy_n(row, img.width(), &b->at(0, y));
            if (!b->transparent)
                for (int x = 0; x < img.width(); ++x) b->at(x, y) |= 0xFF000000u;
        }
        return Value(out);
    });
    (void)pointCtor;
}

}  // namespace swf::avm1
