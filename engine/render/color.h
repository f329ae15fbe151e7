#pragma once
// Colour transforms as they are composed down a display tree.

#include <QColor>
#include <algorithm>

#include "engine/format/records.h"

namespace swf::render {

struct ColorTx {
    double mr = 1, mg = 1, mb = 1, ma = 1;  // multipliers
    double ar = 0, ag = 0, ab = 0, aa = 0;  // adds, 0..255 units

    static ColorTx from(const format::Cxform& c) {
        return {c.rm / 256.0, c.gm / 256.0, c.bm / 256.0, c.am / 256.0,
                double(c.ra), double(c.ga), double(c.ba), double(c.aa)};
    }
    // This transform applied first, then outer.
    ColorTx then(const ColorTx& o) const {
        return {mr * o.mr,        mg * o.mg,        mb * o.mb,        ma * o.ma,
                ar * o.mr + o.ar, ag * o.mg + o.ag, ab * o.mb + o.ab, aa * o.ma + o.aa};
    }
    bool isIdentity() const {
        return mr == 1 && mg == 1 && mb == 1 && ma == 1 && ar == 0 && ag == 0 && ab == 0 && aa == 0;
    }
    bool colorOnlyAlpha() const {
        return mr == 1 && mg == 1 && mb == 1 && ar == 0 && ag == 0 && ab == 0 && aa == 0;
    }
    static int clamp8(double v) { return std::clamp(static_cast<int>(v), 0, 255); }
    QColor apply(format::Rgba c) const {
        return QColor(clamp8(c.r * mr + ar), clamp8(c.g * mg + ag), clamp8(c.b * mb + ab),
                      clamp8(c.a * ma + aa));
    }
    QColor apply(const QColor& c) const {
        return apply(format::Rgba{uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()),
                                  uint8_t(c.alpha())});
    }
};

}  // namespace swf::render
