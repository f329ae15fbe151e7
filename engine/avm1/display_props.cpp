#include "engine/avm1/display_props.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/runtime/display_list.h"

namespace swf::avm1 {

int32_t pixelsToTwips(double px) {
    if (!std::isfinite(px)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::clamp(std::round(px * 20), -2147483648.0, 2147483647.0));
}

namespace {

constexpr double kDegrees = 180 / std::numbers::pi;

// Scale and rotation (degrees) as scripts see them: kept as set once a script set them, so
// whole degrees read back whole, else read from the matrix (the x axis gives the rotation).
void readTransform(const DisplayObject& o, double& xs, double& ys, double& rot) {
    if (o.scriptTransformed) {
        xs = o.xscale;
        ys = o.yscale;
        rot = o.rotation;
        return;
    }
    const auto& m = o.matrix;
    xs = std::hypot(m.sx, m.r0);
    ys = std::hypot(m.sy, m.r1);
    rot = std::atan2(m.r0, m.sx) * kDegrees;
}

}  // namespace

// _x 0, _y 1, _xscale 2, _yscale 3, _alpha 6, _visible 7, _rotation 10
std::optional<double> displayProperty(const DisplayObject& o, int index) {
    const auto& m = o.matrix;
    double xs, ys, rot;
    readTransform(o, xs, ys, rot);
    switch (index) {
        case 0:
            return m.tx / 20.0;
        case 1:
            return m.ty / 20.0;
        case 2:
            return xs * 100;
        case 3:
            return ys * 100;
        case 6:
            return o.cxform.am / 256.0 * 100;
        case 7:
            return o.visible ? 1 : 0;
        case 10:
            return rot;
        default:
            return std::nullopt;
    }
}

void takeOverTransform(DisplayObject& o) {
    double xs, ys, rot;
    readTransform(o, xs, ys, rot);
    o.xscale = xs;
    o.yscale = ys;
    o.rotation = rot;
    o.scriptTransformed = true;
}

bool setDisplayProperty(DisplayObject& o, int index, double v) {
    auto& m = o.matrix;
    if (index != 7) takeOverTransform(o);
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
            // Each axis keeps its own angle, so a skew survives scaling and turning.
            // A negative scale flips its axis: its angle is the opposite direction's.
            const double fx = o.xscale < 0 ? -1 : 1, fy = o.yscale < 0 ? -1 : 1;
            const double ax = std::atan2(fx * m.r0, fx * m.sx);
            const double ay = std::atan2(-fy * m.r1, fy * m.sy);
            double turn = 0;
            if (index == 2) o.xscale = v / 100;
            if (index == 3) o.yscale = v / 100;
            if (index == 10) {
                // Angles wrap into [-180, 180).
                double deg = std::fmod(v, 360.0);
                if (deg > 180) deg -= 360;
                if (deg < -180) deg += 360;
                // An infinite angle reads back as NaN and leaves the matrix turned as it was.
                const double was = std::isnan(o.rotation) ? ax * kDegrees : o.rotation;
                turn = std::isnan(deg) ? 0 : (deg - was) / kDegrees;
                o.rotation = deg;
            }
            const double rx = (index == 10 ? ax + turn : ax), ry = (index == 10 ? ay + turn : ay);
            if (index != 3 || index == 10) {
                m.sx = o.xscale * std::cos(rx);
                m.r0 = o.xscale * std::sin(rx);
            }
            if (index != 2 || index == 10) {
                m.r1 = -o.yscale * std::sin(ry);
                m.sy = o.yscale * std::cos(ry);
            }
            // An infinite scale reads back as given but draws nothing.
            for (double* e : {&m.sx, &m.r0, &m.r1, &m.sy})
                if (!std::isfinite(*e)) *e = 0;
            return true;
        }
        case 6:
            o.cxform.am = std::isfinite(v)
                              ? static_cast<int16_t>(std::clamp(v * 2.56, -32768.0, 32767.0))
                              : 0;
            return true;
        case 7:
            o.visible = v != 0;
            return true;
        default:
            return false;
    }
}

}  // namespace swf::avm1
