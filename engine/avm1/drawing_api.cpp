// MovieClip drawing methods: beginFill, lineStyle, moveTo, lineTo, curveTo, gradients, clear.
// They record into the clip's display list, where the renderer draws them under its children.

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>

#include "engine/avm1/bitmap_data.h"
#include "engine/avm1/clip.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/drawing.h"

namespace swf::avm1 {

namespace {

ScriptRunner* runnerOf(Vm& vm) { return dynamic_cast<ScriptRunner*>(&vm.host()); }

// The clip's drawing, ready to change: made on first use, copied first when shared.
Drawing* drawingOf(Vm& vm, Object* self, bool create = true) {
    if (!self || self->cls != ObjClass::MovieClip || !self->clip) return nullptr;
    ScriptRunner* r = runnerOf(vm);
    DisplayList* l = r ? r->listOf(self->clip) : nullptr;
    if (!l) return nullptr;
    if (!l->drawing) {
        if (!create) return nullptr;
        l->drawing = std::make_shared<Drawing>();
    } else if (l->drawing.use_count() > 1) {
        l->drawing = std::make_shared<Drawing>(*l->drawing);
    }
    return l->drawing.get();
}

double number(Vm& vm, const Value& v, double otherwise) {
    if (v.isUndefined()) return otherwise;
    const double d = vm.toNumber(v);
    return std::isnan(d) ? 0 : d;
}

format::Rgba color(Vm& vm, const Value& rgb, const Value& alpha) {
    const uint32_t c = static_cast<uint32_t>(toInt32(number(vm, rgb, 0)));
    const double a = std::clamp(number(vm, alpha, 100), 0.0, 100.0);
    return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(a * 2.55))};
}

std::optional<double> field(Vm& vm, Object* o, const char* name) {
    const Value v = vm.get(o, name);
    if (v.isUndefined()) return std::nullopt;
    const double d = vm.toNumber(v);
    return std::isnan(d) ? 0 : d;
}

int32_t twips(double px) {
    return static_cast<int32_t>(std::lround(std::clamp(px * 20, -268435456.0, 268435456.0)));
}

// Gradient matrices come as a box {matrixType:"box", x, y, w, h, r}, a flash.geom.Matrix
// {a, b, c, d, tx, ty} or a 3x3 {a, b, d, e, g, h}; all map the 1638.4-pixel gradient square.
format::Matrix gradientMatrix(Vm& vm, Object* m) {
    format::Matrix out;
    auto get = [&](const char* n) { return field(vm, m, n).value_or(0); };
    if (vm.toString(vm.get(m, "matrixType")) == "box") {
        const double w = get("w"), h = get("h"), r = get("r");
        out.sx = w / 1638.4 * std::cos(r);
        out.r0 = w / 1638.4 * std::sin(r);
        out.r1 = -h / 1638.4 * std::sin(r);
        out.sy = h / 1638.4 * std::cos(r);
        out.tx = twips(get("x") + w / 2);
        out.ty = twips(get("y") + h / 2);
    } else if (field(vm, m, "tx")) {
        out.sx = get("a");
        out.r0 = get("b");
        out.r1 = get("c");
        out.sy = get("d");
        out.tx = twips(get("tx"));
        out.ty = twips(get("ty"));
    } else {
        out.sx = get("a");
        out.r0 = get("b");
        out.r1 = get("d");
        out.sy = get("e");
        out.tx = twips(get("g"));
        out.ty = twips(get("h"));
    }
    // The player keeps the scale and skew in 16.16 fixed point, cut towards zero: far from
    // its centre a gradient shows the difference.
    auto fixed = [](double& v) {
        v = std::isfinite(v) ? std::trunc(std::clamp(v, -32768.0, 32767.0) * 65536) / 65536 : 0;
    };
    fixed(out.sx);
    fixed(out.r0);
    fixed(out.r1);
    fixed(out.sy);
    return out;
}

// (type, colors, alphas, ratios, matrix[, spread, interpolation, focal]); nullopt when the
// arguments do not make a gradient, which then draws nothing.
std::optional<format::FillStyle> gradientArgs(Vm& vm, const Args& a) {
    if (a.size() < 5 || a.size() > 8) return std::nullopt;
    const std::string type = vm.toString(a[0]);
    if (type != "linear" && type != "radial") return std::nullopt;
    for (int i = 1; i <= 4; ++i)
        if (!a[i].isObject()) return std::nullopt;
    auto length = [&](Object* o) { return number(vm, vm.get(o, "length"), 0); };
    const double n = length(a[1].o);
    if (n < 1 || length(a[2].o) != n || length(a[3].o) != n) return std::nullopt;
    format::FillStyle f;
    f.type =
        type == "linear" ? format::FillStyle::LinearGradient : format::FillStyle::RadialGradient;
    // A gradient holds at most 15 colours.
    const int count = static_cast<int>(std::min(n, 15.0));
    for (int i = 0; i < count; ++i) {
        const std::string k = std::to_string(i);
        const double r = number(vm, vm.get(a[3].o, k), 0);
        if (r <= -1 || r >= 256) return std::nullopt;
        format::GradientStop s;
        s.ratio = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
        s.color = color(vm, vm.get(a[1].o, k), vm.get(a[2].o, k));
        f.gradient.stops.push_back(s);
    }
    f.matrix = gradientMatrix(vm, a[4].o);
    const std::string spread = a.size() > 5 ? vm.toString(a[5]) : "";
    f.gradient.spread = spread == "reflect" ? 1 : spread == "repeat" ? 2 : 0;
    f.gradient.interpolation = a.size() > 6 && vm.toString(a[6]) == "linearRGB" ? 1 : 0;
    if (a.size() > 7 && f.type == format::FillStyle::RadialGradient) {
        f.type = format::FillStyle::FocalGradient;
        // Kept as the movie format keeps it, in 1/256 steps, cut towards zero.
        f.gradient.focalPoint = std::trunc(std::clamp(number(vm, a[7], 0), -1.0, 1.0) * 256) / 256;
    }
    return f;
}

Value none() { return {}; }

// A flash.geom.Matrix from bitmap pixels to the clip's pixels, as a fill's matrix from
// bitmap pixels to twips; anything else is the identity.
format::Matrix bitmapMatrix(Vm& vm, const Value& v) {
    format::Matrix m;
    m.sx = m.sy = 20;
    if (!v.isObject()) return m;
    auto get = [&](const char* n, double otherwise) {
        const double d = field(vm, v.o, n).value_or(otherwise);
        return std::isfinite(d) ? d : 0;
    };
    m.sx = get("a", 1) * 20;
    m.r0 = get("b", 0) * 20;
    m.r1 = get("c", 0) * 20;
    m.sy = get("d", 1) * 20;
    m.tx = twips(get("tx", 0));
    m.ty = twips(get("ty", 0));
    return m;
}

// Placement order for attached bitmaps, below any the timeline or clip code hands out.
std::atomic<int> nextAttached{-(1 << 30) - 1};

}  // namespace

void installDrawingBuiltins(Vm& vm) {
    Object* mp = vm.clipProto;
    vm.defineMethod(mp, "beginFill", [](Vm& vm, Object* self, Args& a) -> Value {
        Drawing* d = drawingOf(vm, self);
        if (!d) return none();
        if (a.empty() || a[0].isUndefined()) {
            d->beginFill(std::nullopt);
            return none();
        }
        format::FillStyle f;
        f.color = color(vm, a[0], a.size() > 1 ? a[1] : Value());
        d->beginFill(f);
        return none();
    });
    vm.defineMethod(mp, "beginGradientFill", [](Vm& vm, Object* self, Args& a) -> Value {
        // Without a type the fill ends; other bad arguments leave the current fill alone.
        auto f = gradientArgs(vm, a);
        if (!f && !(a.empty() || a[0].isUndefined())) return none();
        if (Drawing* d = drawingOf(vm, self)) d->beginFill(f);
        return none();
    });
    vm.defineMethod(mp, "beginBitmapFill", [](Vm& vm, Object* self, Args& a) -> Value {
        auto bmp = sharedBitmap(arg(a, 0));
        if (!bmp || bmp->disposed) return none();
        format::FillStyle f;
        const bool repeat = a.size() > 2 ? vm.toBoolean(a[2]) : true;
        const bool smooth = a.size() > 3 && vm.toBoolean(a[3]);
        f.type = repeat ? (smooth ? format::FillStyle::RepeatingBitmap
                                  : format::FillStyle::NonSmoothedRepeatingBitmap)
                        : (smooth ? format::FillStyle::ClippedBitmap
                                  : format::FillStyle::NonSmoothedClippedBitmap);
        f.matrix = bitmapMatrix(vm, arg(a, 1));
        if (Drawing* d = drawingOf(vm, self)) d->beginBitmapFill(std::move(bmp), f);
        return none();
    });
    vm.defineMethod(mp, "attachBitmap", [](Vm& vm, Object* self, Args& a) -> Value {
        if (a.size() < 2 || !self || self->cls != ObjClass::MovieClip || !self->clip) return none();
        auto bmp = sharedBitmap(a[0]);
        ScriptRunner* r = runnerOf(vm);
        DisplayList* l = r ? r->listOf(self->clip) : nullptr;
        const double depth = vm.toNumber(a[1]);
        if (!bmp || bmp->disposed || !l || !(depth >= -16384 && depth <= 2130690045)) return none();
        const int raw = static_cast<int>(depth) + 16384;
        // Something already at that depth keeps its place.
        if (l->objects.count(raw)) return none();
        DisplayObject o;
        o.depth = raw;
        int order = nextAttached.load();
        if (order > INT_MIN + 1) order = nextAttached--;
        o.placedAt = order;
        o.bitmap = std::move(bmp);
        o.bitmapSmoothing = a.size() > 3 && vm.toBoolean(a[3]);
        l->objects.emplace(raw, std::move(o));
        return none();
    });
    vm.defineMethod(mp, "endFill", [](Vm& vm, Object* self, Args&) -> Value {
        if (Drawing* d = drawingOf(vm, self, false)) d->endFill();
        return none();
    });
    vm.defineMethod(mp, "lineStyle", [](Vm& vm, Object* self, Args& a) -> Value {
        Drawing* d = drawingOf(vm, self);
        if (!d) return none();
        if (a.empty() || a[0].isUndefined()) {
            d->lineStyle(std::nullopt);
            return none();
        }
        auto at = [&](size_t i) { return i < a.size() ? a[i] : Value(); };
        format::LineStyle l;
        l.width =
            static_cast<uint16_t>(std::lround(std::clamp(number(vm, a[0], 0), 0.0, 255.0) * 20));
        l.color = color(vm, at(1), at(2));
        l.pixelHinting = vm.toBoolean(at(3));
        const std::string noScale = vm.toString(at(4));
        l.noHScale = noScale == "none" || noScale == "horizontal";
        l.noVScale = noScale == "none" || noScale == "vertical";
        const std::string caps = vm.toString(at(5)), joint = vm.toString(at(6));
        l.startCap = l.endCap = caps == "none"     ? format::LineStyle::NoCap
                                : caps == "square" ? format::LineStyle::SquareCap
                                                   : format::LineStyle::RoundCap;
        l.join = joint == "miter"   ? format::LineStyle::MiterJoin
                 : joint == "bevel" ? format::LineStyle::BevelJoin
                                    : format::LineStyle::RoundJoin;
        l.miterLimit = std::clamp(number(vm, at(7), 3), 1.0, 255.0);
        d->lineStyle(l);
        return none();
    });
    vm.defineMethod(mp, "lineGradientStyle", [](Vm& vm, Object* self, Args& a) -> Value {
        if (auto f = gradientArgs(vm, a))
            if (Drawing* d = drawingOf(vm, self)) d->lineFill(*f);
        return none();
    });
    vm.defineMethod(mp, "moveTo", [](Vm& vm, Object* self, Args& a) -> Value {
        if (a.size() < 2) return none();
        const auto [x, y] = argNumbers<2>(vm, a);
        if (Drawing* d = drawingOf(vm, self)) d->moveTo(x, y);
        return none();
    });
    vm.defineMethod(mp, "lineTo", [](Vm& vm, Object* self, Args& a) -> Value {
        if (a.size() < 2) return none();
        const auto [x, y] = argNumbers<2>(vm, a);
        if (Drawing* d = drawingOf(vm, self)) d->lineTo(x, y);
        return none();
    });
    vm.defineMethod(mp, "curveTo", [](Vm& vm, Object* self, Args& a) -> Value {
        if (a.size() < 4) return none();
        const auto [cx, cy, x, y] = argNumbers<4>(vm, a);
        if (Drawing* d = drawingOf(vm, self)) d->curveTo(cx, cy, x, y);
        return none();
    });
    vm.defineMethod(mp, "clear", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self || self->cls != ObjClass::MovieClip || !self->clip) return none();
        ScriptRunner* r = runnerOf(vm);
        if (DisplayList* l = r ? r->listOf(self->clip) : nullptr) l->drawing.reset();
        return none();
    });
}

}  // namespace swf::avm1
