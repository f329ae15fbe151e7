#include "engine/render/filters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace swf::render {
namespace {

// One 8-bit channel of a layer, row by row.
using Plane = std::vector<uint8_t>;

int clampPasses(int passes) { return std::clamp(passes, 1, 3); }

// Blurs wider than this (device pixels) are drawn at this width.
constexpr double kMaxBlur = 512;

// A box of width b centred on a pixel: the pixels wholly inside count fully, the two its ends
// fall into count by the part they cover. Weights are in 1/65536; the sum is truncated.
struct Box {
    int whole = 0;     // pixels each side of the centre counted fully
    int64_t edge = 0;  // weight of the two end pixels
    int64_t div = 1 << 16;
    bool identity() const { return whole == 0 && edge == 0; }
};

Box boxFor(double b) {
    Box box;
    if (!(b > 1)) return box;
    b = std::min(b, kMaxBlur);
    const double half = b / 2;
    box.whole = static_cast<int>(std::floor(half - 0.5));
    box.edge = std::lround((half - (box.whole + 0.5)) * 65536);
    box.div = (2 * int64_t(box.whole) + 1) * 65536 + 2 * box.edge;
    return box;
}

// One horizontal pass over every row; `outside` is the value beyond the plane's edge.
void blurRows(Plane& p, int w, int h, const Box& box, uint8_t outside, std::vector<uint8_t>& line) {
    const int r = box.whole;
    line.assign(size_t(w) + 2 * (r + 1), outside);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p.data() + size_t(y) * w;
        std::copy(row, row + w, line.begin() + r + 1);
        const uint8_t* in = line.data() + r + 1;  // in[-r-1 .. w+r] valid
        int64_t sum = 0;
        for (int i = -r; i <= r; ++i) sum += in[i];
        for (int x = 0; x < w; ++x) {
            const int64_t ends = int64_t(in[x - r - 1]) + in[x + r + 1];
            row[x] = static_cast<uint8_t>((sum * 65536 + ends * box.edge) / box.div);
            sum += int64_t(in[x + r + 1]) - in[x - r];
        }
    }
}

// One vertical pass, kept row-wise so it walks memory in order.
void blurColumns(Plane& p, int w, int h, const Box& box, uint8_t outside) {
    const int r = box.whole;
    const Plane src = p;
    const std::vector<uint8_t> edgeRow(size_t(w), outside);
    auto row = [&](int y) { return y < 0 || y >= h ? edgeRow.data() : src.data() + size_t(y) * w; };
    std::vector<int64_t> sum(size_t(w), 0);
    for (int y = -r; y <= r; ++y) {
        const uint8_t* s = row(y);
        for (int x = 0; x < w; ++x) sum[x] += s[x];
    }
    for (int y = 0; y < h; ++y) {
        const uint8_t *above = row(y - r - 1), *below = row(y + r + 1), *leaving = row(y - r);
        uint8_t* out = p.data() + size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const int64_t ends = int64_t(above[x]) + below[x];
            out[x] = static_cast<uint8_t>((sum[x] * 65536 + ends * box.edge) / box.div);
            sum[x] += int64_t(below[x]) - leaving[x];
        }
    }
}

// Each pass blurs across then down, and rounds to 8 bits as it goes.
void blurPlane(Plane& p, int w, int h, double bx, double by, int passes, uint8_t outside = 0) {
    const Box hx = boxFor(bx), vy = boxFor(by);
    std::vector<uint8_t> line;
    for (int k = 0; k < clampPasses(passes); ++k) {
        if (!hx.identity()) blurRows(p, w, h, hx, outside, line);
        if (!vy.identity()) blurColumns(p, w, h, vy, outside);
    }
}

Plane channel(const QImage& img, int shift) {
    const int w = img.width(), h = img.height();
    Plane a(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) a[size_t(y) * w + x] = uint8_t(row[x] >> shift);
    }
    return a;
}

// out(p) = in(p - d); `outside` where p - d leaves the plane.
Plane shifted(const Plane& in, int w, int h, int dx, int dy, uint8_t outside = 0) {
    if (dx == 0 && dy == 0) return in;
    Plane out(in.size(), outside);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h) continue;
        const int x0 = std::max(0, dx), x1 = std::min(w, w + dx);
        if (x0 < x1)
            std::copy(in.begin() + ptrdiff_t(sy) * w + (x0 - dx),
                      in.begin() + ptrdiff_t(sy) * w + (x1 - dx),
                      out.begin() + ptrdiff_t(y) * w + x0);
    }
    return out;
}

// a * b / 255, rounded.
inline uint32_t mul255(uint32_t a, uint32_t b) {
    const uint32_t t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

struct Px {
    uint32_t r = 0, g = 0, b = 0, a = 0;  // premultiplied, 0..255
};
Px unpack(uint32_t p) { return {(p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff, p >> 24}; }
uint32_t pack(Px p) {
    const uint32_t a = std::min(p.a, 255u);
    return (a << 24) | (std::min(p.r, a) << 16) | (std::min(p.g, a) << 8) | std::min(p.b, a);
}
// A colour at coverage v (0..255), premultiplied.
Px tint(format::Rgba c, uint32_t v) {
    const uint32_t a = mul255(c.a, v);
    return {mul255(c.r, a), mul255(c.g, a), mul255(c.b, a), a};
}
Px scaled(Px p, uint32_t k) {
    return {mul255(p.r, k), mul255(p.g, k), mul255(p.b, k), mul255(p.a, k)};
}
// top drawn over under.
Px over(Px top, Px under) {
    const uint32_t k = 255 - top.a;
    return {top.r + mul255(under.r, k), top.g + mul255(under.g, k), top.b + mul255(under.b, k),
            top.a + mul255(under.a, k)};
}

// Strength multiplies coverage (8.8 fixed point as stored) and saturates.
uint32_t strengthen(uint32_t v, double strength) {
    const auto k = static_cast<int64_t>(std::lround(std::clamp(strength, 0.0, 255.0) * 256));
    return static_cast<uint32_t>(std::min<int64_t>(255, (int64_t(v) * k) >> 8));
}

// A 256-entry colour ramp for gradient glows and bevels (straight colour with alpha).
std::vector<format::Rgba> ramp(const format::Filter& f) {
    std::vector<format::Rgba> lut(256, format::Rgba{0, 0, 0, 0});
    const size_t n = std::min(f.gradientColors.size(), f.gradientRatios.size());
    if (n == 0) return lut;
    for (int i = 0; i < 256; ++i) {
        size_t k = 0;
        while (k + 1 < n && f.gradientRatios[k + 1] <= i) ++k;
        format::Rgba c = f.gradientColors[k];
        if (k + 1 < n && i >= f.gradientRatios[k]) {
            const int r0 = f.gradientRatios[k], r1 = f.gradientRatios[k + 1];
            const double t = r1 > r0 ? double(i - r0) / (r1 - r0) : 0;
            const format::Rgba d = f.gradientColors[k + 1];
            auto m = [&](uint8_t a, uint8_t b) { return uint8_t(std::lround(a + (b - a) * t)); };
            c = {m(c.r, d.r), m(c.g, d.g), m(c.b, d.b), m(c.a, d.a)};
        }
        lut[i] = c;
    }
    return lut;
}

Px rampAt(const std::vector<format::Rgba>& lut, uint32_t v) {
    const format::Rgba c = lut[std::min(v, 255u)];
    return {mul255(c.r, c.a), mul255(c.g, c.a), mul255(c.b, c.a), c.a};
}

int offsetOf(double distance, double angle, double scale, bool y) {
    const double d = distance * scale * (y ? std::sin(angle) : std::cos(angle));
    return static_cast<int>(std::lround(std::clamp(d, -4096.0, 4096.0)));
}

void shadowLike(QImage& img, const format::Filter& f, double scale) {
    const int w = img.width(), h = img.height();
    const bool glow = f.type == format::Filter::Glow || f.type == format::Filter::GradientGlow;
    const int dx = glow ? 0 : offsetOf(f.distance, f.angle, scale, false);
    const int dy = glow ? 0 : offsetOf(f.distance, f.angle, scale, true);
    const Plane a = channel(img, 24);
    // An inner shadow is the shadow of the space around the object, seen through it.
    const uint8_t outside = f.inner ? 255 : 0;
    Plane s = a;
    if (f.inner)
        for (auto& v : s) v = uint8_t(255 - v);
    s = shifted(s, w, h, dx, dy, outside);
    blurPlane(s, w, h, f.blurX * scale, f.blurY * scale, f.passes, outside);
    const bool gradient = f.type == format::Filter::GradientGlow;
    const auto lut = gradient ? ramp(f) : std::vector<format::Rgba>{};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const uint32_t v = strengthen(s[i], f.strength);
            Px sh = gradient ? rampAt(lut, v) : tint(f.color, v);
            const Px src = unpack(row[x]);
            Px out;
            if (f.inner) {
                sh = scaled(sh, src.a);
                if (f.knockout || !f.compositeSource)
                    out = sh;
                else  // drawn over the object, inside it only
                    out = {sh.r + mul255(src.r, 255 - sh.a), sh.g + mul255(src.g, 255 - sh.a),
                           sh.b + mul255(src.b, 255 - sh.a), src.a};
            } else if (f.knockout) {
                out = scaled(sh, 255 - src.a);
            } else if (!f.compositeSource) {
                out = sh;
            } else {
                out = over(src, sh);
            }
            row[x] = pack(out);
        }
    }
}

void bevel(QImage& img, const format::Filter& f, double scale) {
    const int w = img.width(), h = img.height();
    const int dx = offsetOf(f.distance, f.angle, scale, false);
    const int dy = offsetOf(f.distance, f.angle, scale, true);
    const Plane a = channel(img, 24);
    Plane s = a;
    blurPlane(s, w, h, f.blurX * scale, f.blurY * scale, f.passes);
    const Plane fwd = shifted(s, w, h, dx, dy), bwd = shifted(s, w, h, -dx, -dy);
    const bool gradient = f.type == format::Filter::GradientBevel;
    const auto lut = gradient ? ramp(f) : std::vector<format::Rgba>{};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const int diff = int(fwd[i]) - int(bwd[i]);
            const uint32_t sh = strengthen(uint32_t(std::max(diff, 0)), f.strength);
            const uint32_t hi = strengthen(uint32_t(std::max(-diff, 0)), f.strength);
            Px c;
            if (gradient) {
                const int v = std::clamp(128 + (int(sh) - int(hi)) / 2, 0, 255);
                c = rampAt(lut, uint32_t(v));
            } else {
                c = over(tint(f.highlight, hi), tint(f.color, sh));
            }
            const Px src = unpack(row[x]);
            Px out;
            if (f.inner) {
                // Laid over the object and kept within it: the object's alpha stays as it was.
                const Px in = scaled(c, src.a);
                out = f.knockout || !f.compositeSource
                          ? in
                          : Px{in.r + mul255(src.r, 255 - c.a), in.g + mul255(src.g, 255 - c.a),
                               in.b + mul255(src.b, 255 - c.a), src.a};
            } else if (f.knockout || !f.compositeSource) {
                // Only the part outside the object is left; a full bevel keeps its inner half.
                out = f.onTop ? c : scaled(c, 255 - src.a);
            } else if (f.onTop) {
                out = over(c, src);
            } else {
                // An outer bevel lies under the object and shows through where it is clear.
                out = over(src, c);
            }
            row[x] = pack(out);
        }
    }
}

// Float pixels for the matrix filters, which work in straight colour.
struct PremulF {
    float r, g, b, a;
};
PremulF premulF(format::Rgba c) {
    const float a = c.a / 255.f;
    return {c.r / 255.f * a, c.g / 255.f * a, c.b / 255.f * a, a};
}
uint32_t packF(float r, float g, float b, float a) {
    auto q = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.f, 1.f) * 255.f + 0.5f); };
    const uint32_t A = q(a);
    return (A << 24) | (std::min(q(r), A) << 16) | (std::min(q(g), A) << 8) | std::min(q(b), A);
}
PremulF unpackF(uint32_t p) {
    return {((p >> 16) & 0xff) / 255.f, ((p >> 8) & 0xff) / 255.f, (p & 0xff) / 255.f,
            (p >> 24) / 255.f};
}

void colorMatrix(QImage& img, const std::array<float, 20>& m) {
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const PremulF p = unpackF(row[x]);
            const float a = p.a;
            const float r = a > 0 ? p.r / a * 255 : 0, g = a > 0 ? p.g / a * 255 : 0,
                        b = a > 0 ? p.b / a * 255 : 0, al = a * 255;
            float o[4];
            for (int k = 0; k < 4; ++k)
                o[k] = std::clamp(m[k * 5] * r + m[k * 5 + 1] * g + m[k * 5 + 2] * b +
                                      m[k * 5 + 3] * al + m[k * 5 + 4],
                                  0.f, 255.f) /
                       255.f;
            row[x] = packF(o[0] * o[3], o[1] * o[3], o[2] * o[3], o[3]);
        }
    }
}

void convolve(QImage& img, const format::Filter& f) {
    if (f.matrixX <= 0 || f.matrixY <= 0 || f.matrix.size() < size_t(f.matrixX) * f.matrixY) return;
    const QImage src = img.copy();
    const int w = img.width(), h = img.height();
    const float div = f.divisor != 0 ? f.divisor : 1;
    const PremulF def = premulF(f.defaultColor);
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (int j = 0; j < f.matrixY; ++j)
                for (int i = 0; i < f.matrixX; ++i) {
                    int sx = x + i - f.matrixX / 2, sy = y + j - f.matrixY / 2;
                    PremulF p;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                        if (f.clamp) {
                            sx = std::clamp(sx, 0, w - 1);
                            sy = std::clamp(sy, 0, h - 1);
                            p = unpackF(
                                reinterpret_cast<const uint32_t*>(src.constScanLine(sy))[sx]);
                        } else {
                            p = def;
                        }
                    } else {
                        p = unpackF(reinterpret_cast<const uint32_t*>(src.constScanLine(sy))[sx]);
                    }
                    const float k = f.matrix[size_t(j) * f.matrixX + i];
                    acc[0] += p.r * k;
                    acc[1] += p.g * k;
                    acc[2] += p.b * k;
                    acc[3] += p.a * k;
                }
            const PremulF self = unpackF(out[x]);
            const float bias = f.bias / 255.f;
            const float a = f.preserveAlpha ? self.a : acc[3] / div + bias;
            out[x] = packF(acc[0] / div + bias, acc[1] / div + bias, acc[2] / div + bias, a);
        }
    }
}

}  // namespace

QMargins filterMargins(const std::vector<format::Filter>& filters, double scale) {
    double m = 0;
    for (const auto& f : filters) {
        if (f.type == format::Filter::ColorMatrix) continue;
        if (f.type == format::Filter::Convolution) {
            m += std::max(f.matrixX, f.matrixY);
            continue;
        }
        m +=
            (std::max(f.blurX, f.blurY) * clampPasses(f.passes) + std::abs(f.distance)) * scale + 2;
    }
    const int px = static_cast<int>(std::ceil(std::min(m, 512.0)));
    return QMargins(px, px, px, px);
}

QMarginsF filterReach(const std::vector<format::Filter>& filters, double scale) {
    QMarginsF m;
    for (const auto& f : filters) {
        if (f.type == format::Filter::ColorMatrix) continue;
        if (f.type == format::Filter::Convolution) {
            m += QMarginsF(f.matrixX / 2, f.matrixY / 2, f.matrixX / 2, f.matrixY / 2);
            continue;
        }
        const double bx = std::min(f.blurX * clampPasses(f.passes) * scale, kMaxBlur),
                     by = std::min(f.blurY * clampPasses(f.passes) * scale, kMaxBlur);
        m += QMarginsF(bx, by, bx, by);
        if (f.type == format::Filter::Blur || f.type == format::Filter::Glow ||
            f.type == format::Filter::GradientGlow)
            continue;
        const int dx = offsetOf(f.distance, f.angle, scale, false),
                  dy = offsetOf(f.distance, f.angle, scale, true);
        if (f.type == format::Filter::DropShadow)
            m += QMarginsF(std::max(-dx, 0), std::max(-dy, 0), std::max(dx, 0), std::max(dy, 0));
        else  // a bevel lights one side and shades the other
            m += QMarginsF(std::abs(dx), std::abs(dy), std::abs(dx), std::abs(dy));
    }
    return m;
}

void boxBlur(QImage& img, double blurX, double blurY, int passes) {
    const int w = img.width(), h = img.height();
    // Premultiplied channels blur alike, so colour never outgrows alpha.
    for (int shift = 0; shift < 32; shift += 8) {
        Plane c = channel(img, shift);
        blurPlane(c, w, h, blurX, blurY, passes);
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
            const uint8_t* in = c.data() + size_t(y) * w;
            for (int x = 0; x < w; ++x)
                row[x] = (row[x] & ~(0xffu << shift)) | (uint32_t(in[x]) << shift);
        }
    }
}

void applyFilters(QImage& layer, const std::vector<format::Filter>& filters, double scale) {
    for (const auto& f : filters) {
        switch (f.type) {
            case format::Filter::Blur:
                boxBlur(layer, f.blurX * scale, f.blurY * scale, f.passes);
                break;
            case format::Filter::DropShadow:
            case format::Filter::Glow:
            case format::Filter::GradientGlow:
                shadowLike(layer, f, scale);
                break;
            case format::Filter::Bevel:
            case format::Filter::GradientBevel:
                bevel(layer, f, scale);
                break;
            case format::Filter::ColorMatrix:
                colorMatrix(layer, f.colorMatrix);
                break;
            case format::Filter::Convolution:
                convolve(layer, f);
                break;
        }
    }
}

}  // namespace swf::render
