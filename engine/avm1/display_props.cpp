#include "engine/avm1/display_props.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/runtime/display_list.h"

namespace swf::avm1 {

int32_t pixelsToTwips(double px) {
    return static_cast<int32_t>(std::clamp(std::round(px * 20), -2147483648.0, 2147483647.0));
}

// _x 0, _y 1, _xscale 2, _yscale 3, _alpha 6, _visible 7, _rotation 10
std::optional<double> displayProperty(const DisplayObject& o, int index) {
    const auto& m = o.matrix;
    switch (index) {
        case 0:
            return m.tx / 20.0;
        case 1:
            return m.ty / 20.0;
        case 2:
            return std::hypot(m.sx, m.r0) * 100;
        case 3:
            return std::hypot(m.sy, m.r1) * 100;
        case 6:
            return o.cxform.am / 256.0 * 100;
        case 7:
            return o.visible ? 1 : 0;
        case 10:
            return std::atan2(m.r0, m.sx) * 180 / std::numbers::pi;
        default:
            return std::nullopt;
    }
}

bool setDisplayProperty(DisplayObject& o, int index, double v) {
    auto& m = o.matrix;
    switch (index) {
        case 0:
            m.tx = pixelsToTwips(v);
            return true;
        case 1:
            m.ty = pixelsToTwips(v);
            return true;
        case 2:
        case 3:
        case 10: {
            const double xs = std::hypot(m.sx, m.r0), ys = std::hypot(m.sy, m.r1);
            const double nx = index == 2 ? v / 100 : xs, ny = index == 3 ? v / 100 : ys;
            const double r = index == 10 ? v * std::numbers::pi / 180 : std::atan2(m.r0, m.sx);
            m.sx = nx * std::cos(r);
            m.r0 = nx * std::sin(r);
            m.r1 = -ny * std::sin(r);
            m.sy = ny * std::cos(r);
            return true;
        }
        case 6:
            o.cxform.am = static_cast<int16_t>(std::clamp(v * 2.56, -32768.0, 32767.0));
            return true;
        case 7:
            o.visible = v != 0;
            return true;
        default:
            return false;
    }
}

}  // namespace swf::avm1
