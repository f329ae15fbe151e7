#include "engine/render/filters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace swf::render {
namespace {

using Plane = std::vector<float>;

int clampPasses(int passes) { return std::clamp(passes, 1, 3); }

// One box pass along a row or column of n samples at stride; window of width w centred.
void boxLine(float* data, int n, int stride, int w, std::vector<float>& tmp) {
    tmp.resize(n);
    const int left = (w - 1) / 2, right = w - 1 - left;
    double sum = 0;
    for (int i = -left; i <= right; ++i)
        if (i >= 0 && i < n) sum += data[size_t(i) * stride];
    for (int i = 0; i < n; ++i) {
        tmp[i] = static_cast<float>(sum / w);
        const int out = i - left, in = i + right + 1;
        if (out >= 0 && out < n) sum -= data[size_t(out) * stride];
        if (in >= 0 && in < n) sum += data[size_t(in) * stride];
    }
    for (int i = 0; i < n; ++i) data[size_t(i) * stride] = tmp[i];
}

void blurPlane(Plane& p, int w, int h, double bx, double by, int passes) {
    const int wx = std::max(1, static_cast<int>(std::lround(bx)));
    const int wy = std::max(1, static_cast<int>(std::lround(by)));
    std::vector<float> tmp;
    for (int k = 0; k < clampPasses(passes); ++k) {
        if (wx > 1)
            for (int y = 0; y < h; ++y) boxLine(p.data() + size_t(y) * w, w, 1, wx, tmp);
        if (wy > 1)
            for (int x = 0; x < w; ++x) boxLine(p.data() + x, h, w, wy, tmp);
    }
}

Plane alphaPlane(const QImage& img) {
    Plane a(size_t(img.width()) * img.height());
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            a[size_t(y) * img.width() + x] = (row[x] >> 24) / 255.f;
    }
    return a;
}

// out(p) = in(p - d), zero outside.
Plane shifted(const Plane& in, int w, int h, int dx, int dy) {
    if (dx == 0 && dy == 0) return in;
    Plane out(in.size(), 0.f);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h) continue;
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            if (sx >= 0 && sx < w) out[size_t(y) * w + x] = in[size_t(sy) * w + sx];
        }
    }
    return out;
}

struct Premul {
    float r, g, b, a;
};
Premul premul(format::Rgba c, float amount) {
    const float a = c.a / 255.f * amount;
    return {c.r / 255.f * a, c.g / 255.f * a, c.b / 255.f * a, a};
}

uint32_t pack(float r, float g, float b, float a) {
    auto q = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.f, 1.f) * 255.f + 0.5f); };
    const uint32_t A = q(a);
    return (A << 24) | (std::min(q(r), A) << 16) | (std::min(q(g), A) << 8) | std::min(q(b), A);
}
Premul unpack(uint32_t p) {
    return {((p >> 16) & 0xff) / 255.f, ((p >> 8) & 0xff) / 255.f, (p & 0xff) / 255.f,
            (p >> 24) / 255.f};
}

// Composites per pixel: `under` drawn first, `over` on top (both premultiplied).
Premul overOp(Premul top, Premul under) {
    const float k = 1 - top.a;
    return {top.r + under.r * k, top.g + under.g * k, top.b + under.b * k, top.a + under.a * k};
}

// A 256-entry premultiplied colour ramp for gradient glows and bevels.
std::vector<Premul> ramp(const format::Filter& f) {
    std::vector<Premul> lut(256, Premul{0, 0, 0, 0});
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
        lut[i] = premul(c, 1);
    }
    return lut;
}

void shadowLike(QImage& img, const format::Filter& f, double scale) {
    const int w = img.width(), h = img.height();
    const bool glow = f.type == format::Filter::Glow || f.type == format::Filter::GradientGlow;
    const double rad = f.angle;
    const int dx = glow ? 0 : static_cast<int>(std::lround(std::cos(rad) * f.distance * scale));
    const int dy = glow ? 0 : static_cast<int>(std::lround(std::sin(rad) * f.distance * scale));
    const Plane a = alphaPlane(img);
    Plane s(a.size());
    for (size_t i = 0; i < a.size(); ++i) s[i] = f.inner ? 1 - a[i] : a[i];
    s = shifted(s, w, h, dx, dy);
    blurPlane(s, w, h, f.blurX * scale, f.blurY * scale, f.passes);
    const bool gradient = f.type == format::Filter::GradientGlow;
    const auto lut = gradient ? ramp(f) : std::vector<Premul>{};
    const Premul color = premul(f.color, 1);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            float v = std::clamp(s[i] * static_cast<float>(f.strength), 0.f, 1.f);
            if (f.inner) v *= a[i];
            Premul sh;
            if (gradient) {
                const Premul g = lut[static_cast<int>(v * 255.f + 0.5f)];
                sh = g;
            } else {
                sh = {color.r * v, color.g * v, color.b * v, color.a * v};
            }
            const Premul src = unpack(row[x]);
            Premul out;
            if (f.inner)
                out = f.knockout || !f.compositeSource
                          ? sh
                          : Premul{sh.r + src.r * (1 - sh.a), sh.g + src.g * (1 - sh.a),
                                   sh.b + src.b * (1 - sh.a), src.a};
            else if (f.knockout)
                out = {sh.r * (1 - src.a), sh.g * (1 - src.a), sh.b * (1 - src.a),
                       sh.a * (1 - src.a)};
            else if (!f.compositeSource)
                out = sh;
            else
                out = overOp(src, sh);
            row[x] = pack(out.r, out.g, out.b, out.a);
        }
    }
}

void bevel(QImage& img, const format::Filter& f, double scale) {
    const int w = img.width(), h = img.height();
    const int dx = static_cast<int>(std::lround(std::cos(f.angle) * f.distance * scale));
    const int dy = static_cast<int>(std::lround(std::sin(f.angle) * f.distance * scale));
    const Plane a = alphaPlane(img);
    Plane s = a;
    blurPlane(s, w, h, f.blurX * scale, f.blurY * scale, f.passes);
    const Plane fwd = shifted(s, w, h, dx, dy), bwd = shifted(s, w, h, -dx, -dy);
    const bool gradient = f.type == format::Filter::GradientBevel;
    const auto lut = gradient ? ramp(f) : std::vector<Premul>{};
    const Premul hiC = premul(f.highlight, 1), shC = premul(f.color, 1);
    const float k = static_cast<float>(f.strength);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            float sh = std::clamp((fwd[i] - bwd[i]) * k, 0.f, 1.f);
            float hi = std::clamp((bwd[i] - fwd[i]) * k, 0.f, 1.f);
            float mask = 1;
            if (f.inner)
                mask = a[i];
            else if (!f.onTop)
                mask = 1 - a[i];  // outer bevel
            // onTop (full) keeps both sides
            Premul c;
            if (gradient) {
                const float v = std::clamp(0.5f + (sh - hi) * 0.5f, 0.f, 1.f);
                c = lut[static_cast<int>(v * 255.f + 0.5f)];
            } else {
                c = overOp({hiC.r * hi, hiC.g * hi, hiC.b * hi, hiC.a * hi},
                           {shC.r * sh, shC.g * sh, shC.b * sh, shC.a * sh});
            }
            c = {c.r * mask, c.g * mask, c.b * mask, c.a * mask};
            const Premul src = unpack(row[x]);
            Premul out;
            if (f.knockout || !f.compositeSource)
                out = c;
            else if (f.inner || f.onTop)
                out = {c.r + src.r * (1 - c.a), c.g + src.g * (1 - c.a), c.b + src.b * (1 - c.a),
                       std::max(src.a, c.a + src.a * (1 - c.a))};
            else
                out = overOp(src, c);
            row[x] = pack(out.r, out.g, out.b, out.a);
        }
    }
}

void colorMatrix(QImage& img, const std::array<float, 20>& m) {
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const Premul p = unpack(row[x]);
            const float a = p.a;
            const float r = a > 0 ? p.r / a * 255 : 0, g = a > 0 ? p.g / a * 255 : 0,
                        b = a > 0 ? p.b / a * 255 : 0, al = a * 255;
            float o[4];
            for (int k = 0; k < 4; ++k)
                o[k] = std::clamp(m[k * 5] * r + m[k * 5 + 1] * g + m[k * 5 + 2] * b +
                                      m[k * 5 + 3] * al + m[k * 5 + 4],
                                  0.f, 255.f) /
                       255.f;
            row[x] = pack(o[0] * o[3], o[1] * o[3], o[2] * o[3], o[3]);
        }
    }
}

void convolve(QImage& img, const format::Filter& f) {
    if (f.matrixX <= 0 || f.matrixY <= 0 || f.matrix.size() < size_t(f.matrixX) * f.matrixY) return;
    const QImage src = img.copy();
    const int w = img.width(), h = img.height();
    const float div = f.divisor != 0 ? f.divisor : 1;
    const Premul def = premul(f.defaultColor, 1);
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (int j = 0; j < f.matrixY; ++j)
                for (int i = 0; i < f.matrixX; ++i) {
                    int sx = x + i - f.matrixX / 2, sy = y + j - f.matrixY / 2;
                    Premul p;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                        if (f.clamp) {
                            sx = std::clamp(sx, 0, w - 1);
                            sy = std::clamp(sy, 0, h - 1);
                            p = unpack(
                                reinterpret_cast<const uint32_t*>(src.constScanLine(sy))[sx]);
                        } else {
                            p = def;
                        }
                    } else {
                        p = unpack(reinterpret_cast<const uint32_t*>(src.constScanLine(sy))[sx]);
                    }
                    const float k = f.matrix[size_t(j) * f.matrixX + i];
                    acc[0] += p.r * k;
                    acc[1] += p.g * k;
                    acc[2] += p.b * k;
                    acc[3] += p.a * k;
                }
            const Premul self = unpack(out[x]);
            const float bias = f.bias / 255.f;
            const float a = f.preserveAlpha ? self.a : acc[3] / div + bias;
            out[x] = pack(acc[0] / div + bias, acc[1] / div + bias, acc[2] / div + bias, a);
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

void boxBlur(QImage& img, double blurX, double blurY, int passes) {
    const int w = img.width(), h = img.height();
    std::array<Plane, 4> ch;
    for (auto& c : ch) c.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k)
                ch[k][size_t(y) * w + x] = ((row[x] >> (8 * k)) & 0xff) / 255.f;
    }
    for (auto& c : ch) blurPlane(c, w, h, blurX, blurY, passes);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            row[x] = pack(ch[2][i], ch[1][i], ch[0][i], ch[3][i]);
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
