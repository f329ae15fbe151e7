#include "engine/format/filter.h"

namespace swf::format {
namespace {

void readFlags(BitReader& r, Filter& f, bool bevelLike) {
    f.inner = r.flag();
    f.knockout = r.flag();
    f.compositeSource = r.flag();
    if (bevelLike) {
        f.onTop = r.flag();
        f.passes = static_cast<int>(r.ub(4));
    } else {
        f.passes = static_cast<int>(r.ub(5));
    }
}

}  // namespace

bool readFilters(BitReader& r, int count, std::vector<Filter>& out) {
    for (int i = 0; i < count; ++i) {
        Filter f;
        f.type = r.u8();
        switch (f.type) {
            case Filter::DropShadow:
                f.color = readRgba(r);
                f.blurX = r.fixed16();
                f.blurY = r.fixed16();
                f.angle = r.fixed16();
                f.distance = r.fixed16();
                f.strength = r.fixed8();
                readFlags(r, f, false);
                break;
            case Filter::Blur:
                f.blurX = r.fixed16();
                f.blurY = r.fixed16();
                f.passes = static_cast<int>(r.ub(5));
                r.ub(3);
                break;
            case Filter::Glow:
                f.color = readRgba(r);
                f.blurX = r.fixed16();
                f.blurY = r.fixed16();
                f.strength = r.fixed8();
                readFlags(r, f, false);
                break;
            case Filter::Bevel:
                // Files hold the highlight colour first, then the shadow colour.
                f.highlight = readRgba(r);
                f.color = readRgba(r);
                f.blurX = r.fixed16();
                f.blurY = r.fixed16();
                f.angle = r.fixed16();
                f.distance = r.fixed16();
                f.strength = r.fixed8();
                readFlags(r, f, true);
                break;
            case Filter::GradientGlow:
            case Filter::GradientBevel: {
                const int n = r.u8();
                for (int k = 0; k < n; ++k) f.gradientColors.push_back(readRgba(r));
                for (int k = 0; k < n; ++k) f.gradientRatios.push_back(r.u8());
                f.blurX = r.fixed16();
                f.blurY = r.fixed16();
                f.angle = r.fixed16();
                f.distance = r.fixed16();
                f.strength = r.fixed8();
                readFlags(r, f, true);
                break;
            }
            case Filter::Convolution: {
                f.matrixX = r.u8();
                f.matrixY = r.u8();
                f.divisor = r.f32();
                f.bias = r.f32();
                const size_t n = size_t(f.matrixX) * f.matrixY;
                if (n * 4 > r.remaining()) return false;
                for (size_t k = 0; k < n; ++k) f.matrix.push_back(r.f32());
                f.defaultColor = readRgba(r);
                r.ub(6);
                f.clamp = r.flag();
                f.preserveAlpha = r.flag();
                break;
            }
            case Filter::ColorMatrix:
                for (auto& v : f.colorMatrix) v = r.f32();
                break;
            default:
                return false;
        }
        if (r.overrun()) return false;
        // A kernel past the limit would cost its square per pixel: it is read over and dropped.
        const bool tooWide = f.type == Filter::Convolution &&
                             (f.matrixX > kMaxKernelSide || f.matrixY > kMaxKernelSide);
        if (out.size() < kMaxFilters && !tooWide) out.push_back(std::move(f));
    }
    return true;
}

}  // namespace swf::format
