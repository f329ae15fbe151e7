#include "engine/format/records.h"

#include <algorithm>

namespace swf::format {

Rgba Cxform::apply(Rgba c) const {
    auto one = [](int v, int mult, int add) {
        return static_cast<uint8_t>(std::clamp(v * mult / 256 + add, 0, 255));
    };
    return {one(c.r, rm, ra), one(c.g, gm, ga), one(c.b, bm, ba), one(c.a, am, aa)};
}

Rect readRect(BitReader& r) {
    r.align();
    const int n = static_cast<int>(r.ub(5));
    Rect rc;
    rc.xMin = r.sb(n);
    rc.xMax = r.sb(n);
    rc.yMin = r.sb(n);
    rc.yMax = r.sb(n);
    r.align();
    return rc;
}

Rgba readRgb(BitReader& r) {
    Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rgba readRgba(BitReader& r) {
    Rgba c = readRgb(r);
    c.a = r.u8();
    return c;
}

Matrix readMatrix(BitReader& r) {
    r.align();
    Matrix m;
    if (r.flag()) {
        const int n = static_cast<int>(r.ub(5));
        m.sx = r.fb(n);
        m.sy = r.fb(n);
    }
    if (r.flag()) {
        const int n = static_cast<int>(r.ub(5));
        m.r0 = r.fb(n);
        m.r1 = r.fb(n);
    }
    const int n = static_cast<int>(r.ub(5));
    m.tx = r.sb(n);
    m.ty = r.sb(n);
    r.align();
    return m;
}

Cxform readCxform(BitReader& r, bool withAlpha) {
    r.align();
    Cxform c;
    const bool hasAdd = r.flag();
    const bool hasMult = r.flag();
    const int n = static_cast<int>(r.ub(4));
    if (hasMult) {
        c.rm = static_cast<int16_t>(r.sb(n));
        c.gm = static_cast<int16_t>(r.sb(n));
        c.bm = static_cast<int16_t>(r.sb(n));
        if (withAlpha) c.am = static_cast<int16_t>(r.sb(n));
    }
    if (hasAdd) {
        c.ra = static_cast<int16_t>(r.sb(n));
        c.ga = static_cast<int16_t>(r.sb(n));
        c.ba = static_cast<int16_t>(r.sb(n));
        if (withAlpha) c.aa = static_cast<int16_t>(r.sb(n));
    }
    r.align();
    return c;
}

}  // namespace swf::format
