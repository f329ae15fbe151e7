// flash.geom: Point, Rectangle, Matrix, ColorTransform and Transform. Plain objects whose
// fields are ordinary properties, as in Flash 8, so scripts may read and change them freely.

#include <QTransform>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/avm1/clip.h"
#include "engine/avm1/display_props.h"
#include "engine/avm1/movie_scripts.h"
#include "engine/avm1/sprite_clip.h"
#include "engine/avm1/vm.h"
#include "engine/runtime/display_list.h"

namespace swf::avm1 {

namespace {

double num(Vm& vm, Object* o, std::string_view name) { return vm.toNumber(vm.get(o, name)); }

// Math.min and Math.max as scripts see them: NaN on either side gives NaN.
double lo(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : std::min(a, b); }
double hi(double a, double b) { return std::isnan(a) || std::isnan(b) ? NAN : std::max(a, b); }

Value construct(Vm& vm, Object* ctor, Args args) {
    return vm.construct(Value(ctor), std::move(args));
}

// A ColorTransform's multipliers and offsets, red, green, blue, alpha each.
struct ColorTransformData : NativeData {
    double v[8] = {1, 1, 1, 1, 0, 0, 0, 0};
};

ColorTransformData* colorTransformOf(Object* o) {
    return o ? dynamic_cast<ColorTransformData*>(o->native.get()) : nullptr;
}

void accessor(Vm& vm, Object* proto, std::string_view name, NativeFn get, NativeFn set,
              uint16_t flags = DontEnum) {
    Property& p = proto->setOwn(name, vm.key(name), Value(), flags);
    p.setFlags(flags, vm.version());  // version bits hide it from older movies
    p.getter = vm.newMethod(std::move(get));
    p.setter = vm.newMethod(std::move(set));
}

// Point, Rectangle and Matrix are written as scripts in the player: their members are plain
// properties, each method a function with a prototype object and each accessor addProperty's.
void scriptMethod(Vm& vm, Object* o, std::string_view name, NativeFn fn) {
    vm.defineFunction(o, name, std::move(fn), 0);
}
void scriptAccessor(Vm& vm, Object* proto, std::string_view name, NativeFn get, NativeFn set) {
    accessor(vm, proto, name, std::move(get), std::move(set), 0);
}

std::string fields(Vm& vm, Object* o,
                   std::initializer_list<std::pair<const char*, const char*>> f) {
    std::string out = "(";
    bool first = true;
    for (const auto& [label, name] : f) {
        if (!first) out += ", ";
        first = false;
        out += label;
        out += '=';
        out += vm.toString(addOperand(vm, vm.get(o, name)));  // as "(x=" + x would
    }
    return out + ")";
}

}  // namespace

void installGeomBuiltins(Vm& vm) {
    Object* flash = vm.newObject();
    vm.defineValue(vm.global, "flash", flash);
    // The flash package came with Flash 8; older movies see it once ASSetPropFlags unhides it.
    vm.addFlags(vm.global, "flash", From8);
    Object* geom = vm.newObject();
    vm.defineValue(flash, "geom", geom);

    // ---- Point
    Object* pointProto = vm.newObject();
    Object* point = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            vm.set(self, "x", a.empty() ? Value(0) : a[0]);
            vm.set(self, "y", a.empty() ? Value(0) : arg(a, 1));
            return {};
        },
        pointProto);
    vm.defineValue(geom, "Point", point, 0);
    auto newPoint = [point](Vm& vm, double x, double y) {
        return construct(vm, point, {Value(x), Value(y)});
    };
    scriptAccessor(
        vm, pointProto, "length",
        [](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            return Value(std::hypot(num(vm, self, "x"), num(vm, self, "y")));
        },
        [](Vm&, Object*, Args&) -> Value { return {}; });
    // The script operator's +: text joins (a missing point adds undefined), numbers add.
    auto plus = [](Vm& vm, const Value& l, const Value& r) -> Value {
        if (!l.isString() && !r.isString()) return Value(vm.toNumber(l) + vm.toNumber(r));
        std::string out = vm.toString(l) + vm.toString(r);
        if (out.size() > vm.limits().maxStringBytes) return Value(NAN);
        return Value(std::move(out));
    };
    scriptMethod(vm, pointProto, "add", [point, plus](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const Value& p = arg(a, 0);
        return construct(vm, point,
                         {plus(vm, vm.get(self, "x"), vm.get(p, "x")),
                          plus(vm, vm.get(self, "y"), vm.get(p, "y"))});
    });
    scriptMethod(vm, pointProto, "subtract", [newPoint](Vm& vm, Object* self, Args& a) -> Value {
        Object* p = arg(a, 0).isObject() ? a[0].o : nullptr;
        if (!self || !p) return newPoint(vm, NAN, NAN);
        return newPoint(vm, num(vm, self, "x") - num(vm, p, "x"),
                        num(vm, self, "y") - num(vm, p, "y"));
    });
    scriptMethod(vm, pointProto, "clone", [point](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return construct(vm, point, {vm.get(self, "x"), vm.get(self, "y")});
    });
    scriptMethod(vm, pointProto, "equals", [point](Vm& vm, Object* self, Args& a) -> Value {
        Object* p = arg(a, 0).isObject() ? a[0].o : nullptr;
        if (!self || !p || !vm.instanceOf(Value(p), point)) return Value(false);
        return Value(vm.looseEquals(vm.get(self, "x"), vm.get(p, "x")) &&
                     vm.looseEquals(vm.get(self, "y"), vm.get(p, "y")));
    });
    scriptMethod(vm, pointProto, "normalize", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const double x = num(vm, self, "x"), y = num(vm, self, "y");
        const double len = std::hypot(x, y);
        if (len == 0) return {};
        const double want = vm.toNumber(arg(a, 0));
        vm.set(self, "x", Value(x * want / len));
        vm.set(self, "y", Value(y * want / len));
        return {};
    });
    scriptMethod(vm, pointProto, "offset", [plus](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || a.empty()) return {};
        vm.set(self, "x", plus(vm, vm.get(self, "x"), a[0]));
        vm.set(self, "y", plus(vm, vm.get(self, "y"), arg(a, 1)));
        return {};
    });
    scriptMethod(vm, pointProto, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return Value(fields(vm, self, {{"x", "x"}, {"y", "y"}}));
    });
    scriptMethod(vm, point, "distance", [](Vm& vm, Object*, Args& a) -> Value {
        if (!arg(a, 0).isObject() || !arg(a, 1).isObject()) return {};
        return Value(std::hypot(num(vm, a[0].o, "x") - num(vm, a[1].o, "x"),
                                num(vm, a[0].o, "y") - num(vm, a[1].o, "y")));
    });
    // p2 + (p1 - p2) * f, the last step with the script's + (text stays text).
    scriptMethod(vm, point, "interpolate",
                 [newPoint, point, plus](Vm& vm, Object*, Args& a) -> Value {
                     if (!arg(a, 0).isObject() || !arg(a, 1).isObject())
                         return newPoint(vm, NAN, NAN);
                     const double f = vm.toNumber(arg(a, 2));
                     auto along = [&](const char* n) {
                         const Value to = vm.get(a[1].o, n);
                         return plus(vm, to, Value((num(vm, a[0].o, n) - vm.toNumber(to)) * f));
                     };
                     return construct(vm, point, {along("x"), along("y")});
                 });
    scriptMethod(vm, point, "polar", [newPoint](Vm& vm, Object*, Args& a) -> Value {
        const double len = vm.toNumber(arg(a, 0)), angle = vm.toNumber(arg(a, 1));
        return newPoint(vm, len * std::cos(angle), len * std::sin(angle));
    });

    // ---- Rectangle
    Object* rectProto = vm.newObject();
    Object* rect = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            // With no arguments it empties itself through its setEmpty, whoever wrote that.
            if (a.empty()) {
                vm.callMethod(Value(self), "setEmpty", {});
                return {};
            }
            const char* names[] = {"x", "y", "width", "height"};
            for (size_t i = 0; i < 4; ++i) vm.set(self, names[i], arg(a, i));
            return {};
        },
        rectProto);
    vm.defineValue(geom, "Rectangle", rect, 0);
    auto newRect = [rect](Vm& vm, double x, double y, double w, double h) {
        return construct(vm, rect, {Value(x), Value(y), Value(w), Value(h)});
    };
    struct Box {
        double x, y, w, h;
    };
    auto box = [](Vm& vm, Object* o) {
        return Box{num(vm, o, "x"), num(vm, o, "y"), num(vm, o, "width"), num(vm, o, "height")};
    };
    // left and top move one edge and keep the far one: the size takes up the difference.
    auto nearEdge = [&vm, rectProto](const char* name, const char* pos, const char* size) {
        scriptAccessor(
            vm, rectProto, name,
            [pos](Vm& vm, Object* self, Args&) -> Value {
                return self ? vm.get(self, pos) : Value();
            },
            [pos, size](Vm& vm, Object* self, Args& a) -> Value {
                if (!self) return {};
                const double to = vm.toNumber(arg(a, 0));
                vm.set(self, size, Value(num(vm, self, size) + num(vm, self, pos) - to));
                vm.set(self, pos, arg(a, 0));
                return {};
            });
    };
    nearEdge("left", "x", "width");
    nearEdge("top", "y", "height");
    // right and bottom are position plus size; setting one changes the size.
    auto farEdge = [&vm, rectProto](const char* name, const char* pos, const char* size) {
        scriptAccessor(
            vm, rectProto, name,
            [pos, size](Vm& vm, Object* self, Args&) -> Value {
                return self ? Value(num(vm, self, pos) + num(vm, self, size)) : Value();
            },
            [pos, size](Vm& vm, Object* self, Args& a) -> Value {
                if (self) vm.set(self, size, Value(vm.toNumber(arg(a, 0)) - num(vm, self, pos)));
                return {};
            });
    };
    farEdge("right", "x", "width");
    farEdge("bottom", "y", "height");
    // size, topLeft and bottomRight: a new Point of two fields; setting one takes any value's x
    // and y (a primitive's read as undefined).
    auto pointPair = [&vm, rectProto](const char* name, NativeFn get, const char* toX,
                                      const char* toY) {
        scriptAccessor(vm, rectProto, name, std::move(get),
                       [toX, toY](Vm& vm, Object* self, Args& a) -> Value {
                           if (!self) return {};
                           vm.set(self, toX, vm.get(arg(a, 0), "x"));
                           vm.set(self, toY, vm.get(arg(a, 0), "y"));
                           return {};
                       });
    };
    pointPair(
        "size",
        [point](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            return construct(vm, point, {vm.get(self, "width"), vm.get(self, "height")});
        },
        "width", "height");
    pointPair(
        "topLeft",
        [point](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            return construct(vm, point, {vm.get(self, "x"), vm.get(self, "y")});
        },
        "left", "top");
    pointPair(
        "bottomRight",
        [newPoint](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            return newPoint(vm, num(vm, self, "x") + num(vm, self, "width"),
                            num(vm, self, "y") + num(vm, self, "height"));
        },
        "right", "bottom");
    scriptMethod(vm, rectProto, "clone", [rect](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return construct(
            vm, rect,
            {vm.get(self, "x"), vm.get(self, "y"), vm.get(self, "width"), vm.get(self, "height")});
    });
    scriptMethod(vm, rectProto, "isEmpty", [box](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return Value(true);
        const Box b = box(vm, self);
        return Value(!(b.w > 0) || !(b.h > 0));
    });
    scriptMethod(vm, rectProto, "setEmpty", [](Vm& vm, Object* self, Args&) -> Value {
        if (self)
            for (const char* n : {"x", "y", "width", "height"}) vm.set(self, n, Value(0));
        return {};
    });
    // Written as a chain of comparisons joined by &&, as the player's own script has them: the
    // first false one gives false, a comparison with NaN gives undefined.
    struct Test {
        double a, b;
        char op;  // 'g' a >= b, 'l' a < b, 'e' a <= b
    };
    auto chain = [](std::initializer_list<Test> tests) -> Value {
        for (const Test& t : tests) {
            if (std::isnan(t.a) || std::isnan(t.b)) return {};
            const bool ok = t.op == 'g' ? t.a >= t.b : t.op == 'l' ? t.a < t.b : t.a <= t.b;
            if (!ok) return Value(false);
        }
        return Value(true);
    };
    auto inside = [box, chain](Vm& vm, Object* self, double x, double y) {
        const Box b = box(vm, self);
        return chain({{x, b.x, 'g'}, {x, b.x + b.w, 'l'}, {y, b.y, 'g'}, {y, b.y + b.h, 'l'}});
    };
    scriptMethod(vm, rectProto, "contains", [inside](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return Value(false);
        const auto [x, y] = argNumbers<2>(vm, a);
        return inside(vm, self, x, y);
    });
    scriptMethod(vm, rectProto, "containsPoint", [inside](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return Value(false);
        return inside(vm, self, vm.toNumber(vm.get(arg(a, 0), "x")),
                      vm.toNumber(vm.get(arg(a, 0), "y")));
    });
    scriptMethod(vm, rectProto, "containsRectangle",
                 [box, chain](Vm& vm, Object* self, Args& a) -> Value {
                     if (!self) return Value(false);
                     const Box b = box(vm, self);
                     auto n = [&](const char* f) { return vm.toNumber(vm.get(arg(a, 0), f)); };
                     const Box o{n("x"), n("y"), n("width"), n("height")};
                     return chain({{o.x, b.x, 'g'},
                                   {o.y, b.y, 'g'},
                                   {o.x + o.w, b.x + b.w, 'e'},
                                   {o.y + o.h, b.y + b.h, 'e'}});
                 });
    scriptMethod(vm, rectProto, "equals", [rect, box](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !arg(a, 0).isObject() || !vm.instanceOf(a[0], rect)) return Value(false);
        const Box b = box(vm, self), o = box(vm, a[0].o);
        return Value(b.x == o.x && b.y == o.y && b.w == o.w && b.h == o.h);
    });
    auto inflate = [](Vm& vm, Object* self, double dx, double dy) {
        vm.set(self, "x", Value(num(vm, self, "x") - dx));
        vm.set(self, "width", Value(num(vm, self, "width") + 2 * dx));
        vm.set(self, "y", Value(num(vm, self, "y") - dy));
        vm.set(self, "height", Value(num(vm, self, "height") + 2 * dy));
    };
    scriptMethod(vm, rectProto, "inflate", [inflate](Vm& vm, Object* self, Args& a) -> Value {
        const auto [dx, dy] = argNumbers<2>(vm, a);
        if (self) inflate(vm, self, dx, dy);
        return {};
    });
    // A missing point reads as one whose coordinates are undefined: everything turns NaN.
    auto pointArg = [](Vm& vm, const Value& v, double& x, double& y) {
        x = v.isObject() ? num(vm, v.o, "x") : NAN;
        y = v.isObject() ? num(vm, v.o, "y") : NAN;
    };
    scriptMethod(vm, rectProto, "inflatePoint",
                 [inflate, pointArg](Vm& vm, Object* self, Args& a) -> Value {
                     double x, y;
                     pointArg(vm, arg(a, 0), x, y);
                     if (self) inflate(vm, self, x, y);
                     return {};
                 });
    auto offset = [](Vm& vm, Object* self, double dx, double dy) {
        vm.set(self, "x", Value(num(vm, self, "x") + dx));
        vm.set(self, "y", Value(num(vm, self, "y") + dy));
    };
    scriptMethod(vm, rectProto, "offset", [offset](Vm& vm, Object* self, Args& a) -> Value {
        const auto [dx, dy] = argNumbers<2>(vm, a);
        if (self) offset(vm, self, dx, dy);
        return {};
    });
    scriptMethod(vm, rectProto, "offsetPoint",
                 [offset, pointArg](Vm& vm, Object* self, Args& a) -> Value {
                     double x, y;
                     pointArg(vm, arg(a, 0), x, y);
                     if (self) offset(vm, self, x, y);
                     return {};
                 });
    scriptMethod(vm, rectProto, "intersects", [box](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !arg(a, 0).isObject()) return Value(false);
        const Box b = box(vm, self), o = box(vm, a[0].o);
        return Value(hi(b.x, o.x) < lo(b.x + b.w, o.x + o.w) &&
                     hi(b.y, o.y) < lo(b.y + b.h, o.y + o.h));
    });
    scriptMethod(vm, rectProto, "intersection",
                 [box, newRect](Vm& vm, Object* self, Args& a) -> Value {
                     if (!self || !arg(a, 0).isObject()) return newRect(vm, 0, 0, 0, 0);
                     const Box b = box(vm, self), o = box(vm, a[0].o);
                     const double x = hi(b.x, o.x), y = hi(b.y, o.y);
                     const double r = lo(b.x + b.w, o.x + o.w);
                     const double btm = lo(b.y + b.h, o.y + o.h);
                     if (!(r > x) || !(btm > y)) return newRect(vm, 0, 0, 0, 0);
                     return newRect(vm, x, y, r - x, btm - y);
                 });
    scriptMethod(vm, rectProto, "union", [box, newRect](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !arg(a, 0).isObject()) return newRect(vm, NAN, NAN, NAN, NAN);
        const Box b = box(vm, self), o = box(vm, a[0].o);
        // Only a size known to be empty drops a side; a NaN one spreads into the result.
        if (o.w <= 0 || o.h <= 0) return newRect(vm, b.x, b.y, b.w, b.h);
        if (b.w <= 0 || b.h <= 0) return newRect(vm, o.x, o.y, o.w, o.h);
        const double x = lo(b.x, o.x), y = lo(b.y, o.y);
        return newRect(vm, x, y, hi(b.x + b.w, o.x + o.w) - x, hi(b.y + b.h, o.y + o.h) - y);
    });
    scriptMethod(vm, rectProto, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return Value(fields(vm, self, {{"x", "x"}, {"y", "y"}, {"w", "width"}, {"h", "height"}}));
    });

    // ---- Matrix
    Object* matrixProto = vm.newObject();
    static constexpr const char* kM[] = {"a", "b", "c", "d", "tx", "ty"};
    auto setM = [](Vm& vm, Object* o, const double m[6]) {
        for (int i = 0; i < 6; ++i) vm.set(o, kM[i], Value(m[i]));
    };
    auto getM = [](Vm& vm, Object* o, double m[6]) {
        for (int i = 0; i < 6; ++i) m[i] = num(vm, o, kM[i]);
    };
    Object* matrix = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            if (a.empty()) {
                const double id[6] = {1, 0, 0, 1, 0, 0};
                for (int i = 0; i < 6; ++i) vm.set(self, kM[i], Value(id[i]));
            } else {
                for (size_t i = 0; i < 6; ++i) vm.set(self, kM[i], arg(a, i));
            }
            return {};
        },
        matrixProto);
    vm.defineValue(geom, "Matrix", matrix, 0);
    scriptMethod(vm, matrixProto, "identity", [setM](Vm& vm, Object* self, Args&) -> Value {
        const double id[6] = {1, 0, 0, 1, 0, 0};
        if (self) setM(vm, self, id);
        return {};
    });
    scriptMethod(vm, matrixProto, "clone", [matrix](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        Args a;
        for (const char* n : kM) a.push_back(vm.get(self, n));
        return construct(vm, matrix, std::move(a));
    });
    // this = this followed by other
    auto concat = [setM, getM](Vm& vm, Object* self, const double o[6]) {
        double m[6];
        getM(vm, self, m);
        const double r[6] = {m[0] * o[0] + m[1] * o[2],        m[0] * o[1] + m[1] * o[3],
                             m[2] * o[0] + m[3] * o[2],        m[2] * o[1] + m[3] * o[3],
                             m[4] * o[0] + m[5] * o[2] + o[4], m[4] * o[1] + m[5] * o[3] + o[5]};
        setM(vm, self, r);
    };
    scriptMethod(vm, matrixProto, "concat", [concat, getM](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !arg(a, 0).isObject()) return {};
        double o[6];
        getM(vm, a[0].o, o);
        concat(vm, self, o);
        return {};
    });
    scriptMethod(vm, matrixProto, "translate", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        vm.set(self, "tx", Value(num(vm, self, "tx") + vm.toNumber(arg(a, 0))));
        vm.set(self, "ty", Value(num(vm, self, "ty") + vm.toNumber(arg(a, 1))));
        return {};
    });
    scriptMethod(vm, matrixProto, "scale", [concat](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const double s[6] = {vm.toNumber(arg(a, 0)), 0, 0, vm.toNumber(arg(a, 1)), 0, 0};
        concat(vm, self, s);
        return {};
    });
    scriptMethod(vm, matrixProto, "rotate", [concat](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        const double r = vm.toNumber(arg(a, 0));
        const double m[6] = {std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0};
        concat(vm, self, m);
        return {};
    });
    scriptMethod(vm, matrixProto, "invert", [setM, getM](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        double m[6];
        getM(vm, self, m);
        const double det = m[0] * m[3] - m[1] * m[2];
        if (det == 0) {
            const double id[6] = {1, 0, 0, 1, 0, 0};
            setM(vm, self, id);
            return {};
        }
        const double r[6] = {m[3] / det,
                             -m[1] / det,
                             -m[2] / det,
                             m[0] / det,
                             (m[2] * m[5] - m[3] * m[4]) / det,
                             (m[1] * m[4] - m[0] * m[5]) / det};
        setM(vm, self, r);
        return {};
    });
    auto createBox = [setM](Vm& vm, Object* self, double sx, double sy, double rot, double tx,
                            double ty) {
        const double m[6] = {sx * std::cos(rot),
                             sy * std::sin(rot),
                             -sx * std::sin(rot),
                             sy * std::cos(rot),
                             tx,
                             ty};
        setM(vm, self, m);
    };
    scriptMethod(vm, matrixProto, "createBox", [createBox](Vm& vm, Object* self, Args& a) -> Value {
        if (!self) return {};
        // A missing rotation is no number at all; missing offsets are 0.
        const auto [sx, sy, turn] = argNumbers<3>(vm, a);
        const double tx = a.size() > 3 ? vm.toNumber(a[3]) : 0;
        const double ty = a.size() > 4 ? vm.toNumber(a[4]) : 0;
        createBox(vm, self, sx, sy, turn, tx, ty);
        return {};
    });
    scriptMethod(vm, matrixProto, "createGradientBox",
                 [createBox](Vm& vm, Object* self, Args& a) -> Value {
                     if (!self) return {};
                     const double w = vm.toNumber(arg(a, 0)), h = vm.toNumber(arg(a, 1));
                     const double tx = a.size() > 3 ? vm.toNumber(a[3]) : 0;
                     const double ty = a.size() > 4 ? vm.toNumber(a[4]) : 0;
                     createBox(vm, self, w / 1638.4, h / 1638.4,
                               a.size() > 2 ? vm.toNumber(a[2]) : 0, tx + w / 2, ty + h / 2);
                     return {};
                 });
    // transformPoint and deltaTransformPoint: the point through the matrix, with or without
    // its translation.
    for (const bool moves : {true, false})
        scriptMethod(vm, matrixProto, moves ? "transformPoint" : "deltaTransformPoint",
                     [getM, newPoint, moves](Vm& vm, Object* self, Args& a) -> Value {
                         if (!self) return {};
                         if (!arg(a, 0).isObject()) return newPoint(vm, NAN, NAN);
                         double m[6];
                         getM(vm, self, m);
                         const double x = num(vm, a[0].o, "x"), y = num(vm, a[0].o, "y");
                         return newPoint(vm, m[0] * x + m[2] * y + (moves ? m[4] : 0),
                                         m[1] * x + m[3] * y + (moves ? m[5] : 0));
                     });
    scriptMethod(vm, matrixProto, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return Value(
            fields(vm, self,
                   {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"tx", "tx"}, {"ty", "ty"}}));
    });

    // ---- ColorTransform
    static constexpr const char* kC[] = {"redMultiplier",   "greenMultiplier", "blueMultiplier",
                                         "alphaMultiplier", "redOffset",       "greenOffset",
                                         "blueOffset",      "alphaOffset"};
    Object* ctProto = vm.newObject();
    Object* ct = vm.newFunction(
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            // All eight or none: fewer give the identity. Converted in order, even below
            // SWF 8, where scripts do not see the values.
            auto data = std::make_unique<ColorTransformData>();
            if (a.size() >= 8)
                for (size_t i = 0; i < 8; ++i) data->v[i] = vm.toNumber(a[i]);
            self->native = std::move(data);
            return {};
        },
        ctProto);
    // The values are numbers kept behind the object, read and written through the
    // prototype's accessors (from SWF 8): what is written is converted then.
    if (vm.version() >= 8) {
        for (size_t i = 0; i < 8; ++i) {
            accessor(
                vm, ctProto, kC[i],
                [i](Vm&, Object* self, Args&) -> Value {
                    auto* d = colorTransformOf(self);
                    return d ? Value(d->v[i]) : Value();
                },
                [i](Vm& vm, Object* self, Args& a) -> Value {
                    auto* d = colorTransformOf(self);
                    const double n = vm.toNumber(arg(a, 0));
                    if (d) d->v[i] = n;
                    return {};
                });
        }
    }
    vm.defineValue(geom, "ColorTransform", ct, 0);
    accessor(
        vm, ctProto, "rgb",
        [](Vm& vm, Object* self, Args&) -> Value {
            if (!self) return {};
            auto ch = [&](const char* n) {
                return static_cast<uint32_t>(toInt32(num(vm, self, n))) & 0xFF;
            };
            return Value(static_cast<double>((ch("redOffset") << 16) | (ch("greenOffset") << 8) |
                                             ch("blueOffset")));
        },
        [](Vm& vm, Object* self, Args& a) -> Value {
            if (!self) return {};
            const uint32_t rgb = toUint32(vm.toNumber(arg(a, 0)));
            vm.set(self, "redMultiplier", Value(0));
            vm.set(self, "greenMultiplier", Value(0));
            vm.set(self, "blueMultiplier", Value(0));
            vm.set(self, "redOffset", Value(static_cast<int>((rgb >> 16) & 0xFF)));
            vm.set(self, "greenOffset", Value(static_cast<int>((rgb >> 8) & 0xFF)));
            vm.set(self, "blueOffset", Value(static_cast<int>(rgb & 0xFF)));
            return {};
        });
    vm.defineMethod(ctProto, "concat", [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !arg(a, 0).isObject()) return {};
        Object* o = a[0].o;
        double s[8], t[8];
        for (int i = 0; i < 8; ++i) {
            s[i] = num(vm, self, kC[i]);
            t[i] = num(vm, o, kC[i]);
        }
        for (int i = 0; i < 4; ++i) {
            vm.set(self, kC[i + 4], Value(s[i + 4] + s[i] * t[i + 4]));
            vm.set(self, kC[i], Value(s[i] * t[i]));
        }
        return {};
    });
    vm.defineMethod(ctProto, "toString", [](Vm& vm, Object* self, Args&) -> Value {
        if (!self) return {};
        return Value(fields(vm, self,
                            {{kC[0], kC[0]},
                             {kC[1], kC[1]},
                             {kC[2], kC[2]},
                             {kC[3], kC[3]},
                             {kC[4], kC[4]},
                             {kC[5], kC[5]},
                             {kC[6], kC[6]},
                             {kC[7], kC[7]}}));
    });

    // ---- Transform: a view of one clip's placement, read and written through its display
    // object each time.
    Object* trProto = vm.newObject();
    Object* tr = vm.newFunction([](Vm&, Object*, Args&) -> Value { return {}; }, trProto);
    tr->fn->newMayFail = true;
    tr->fn->construct = [](Vm& vm, Object* self, Args& a) -> Value {
        if (!self || !arg(a, 0).isObject() || a[0].o->cls != ObjClass::MovieClip) return {};
        vm.defineValue(self, "\001clip", a[0], DontEnum);
        return Value(self);
    };
    vm.defineValue(geom, "Transform", tr, 0);
    auto clipOf = [](Vm& vm, Object* self) -> ClipHost* {
        if (!self) return nullptr;
        Property* p = self->findAny(vm.key("\001clip"));
        return p && p->value.isObject() && p->value.o->cls == ObjClass::MovieClip ? p->value.o->clip
                                                                                  : nullptr;
    };
    // A root on its own level has a placement too: where scripts put it.
    auto objectOf = [](ClipHost* c) -> DisplayObject* {
        if (auto* r = dynamic_cast<ScriptRunner*>(c)) return r->rootPlacement();
        auto* s = dynamic_cast<SpriteClip*>(c);
        return s ? s->object() : nullptr;
    };
    auto makeMatrix = [matrix](Vm& vm, const QTransform& t) {
        return construct(vm, matrix,
                         {Value(t.m11()), Value(t.m12()), Value(t.m21()), Value(t.m22()),
                          Value(t.dx() / 20), Value(t.dy() / 20)});
    };
    auto qtMatrix = [](const format::Matrix& m) {
        return QTransform(m.sx, m.r0, m.r1, m.sy, m.tx, m.ty);
    };
    accessor(
        vm, trProto, "matrix",
        [clipOf, objectOf, makeMatrix, qtMatrix](Vm& vm, Object* self, Args&) -> Value {
            ClipHost* c = clipOf(vm, self);
            if (!c) return {};
            DisplayObject* o = objectOf(c);
            return makeMatrix(vm, o ? qtMatrix(o->matrix) : QTransform());
        },
        [clipOf, objectOf, matrix, getM](Vm& vm, Object* self, Args& a) -> Value {
            DisplayObject* o = objectOf(clipOf(vm, self));
            if (!o || !arg(a, 0).isObject() || !vm.instanceOf(a[0], matrix)) return {};
            double m[6];
            getM(vm, a[0].o, m);
            for (double& v : m)
                if (!std::isfinite(v)) v = 0;
            o->matrix.sx = m[0];
            o->matrix.r0 = m[1];
            o->matrix.r1 = m[2];
            o->matrix.sy = m[3];
            o->matrix.tx = pixelsToTwips(m[4]);
            o->matrix.ty = pixelsToTwips(m[5]);
            o->xscale = std::hypot(m[0], m[1]);
            o->yscale = std::hypot(m[2], m[3]);
            o->rotation = std::atan2(m[1], m[0]) * 180 / std::numbers::pi;
            o->scriptTransformed = true;
            return {};
        },
        DontEnum | From8);
    accessor(
        vm, trProto, "concatenatedMatrix",
        [clipOf, objectOf, makeMatrix, qtMatrix](Vm& vm, Object* self, Args&) -> Value {
            ClipHost* c = clipOf(vm, self);
            if (!c) return {};
            QTransform t;
            for (int n = 0; c && n < 256; c = c->parent(), ++n)
                if (DisplayObject* o = objectOf(c)) t = t * qtMatrix(o->matrix);
            return makeMatrix(vm, t);
        },
        [](Vm&, Object*, Args&) -> Value { return {}; }, DontEnum | From8);
    auto makeCx = [ct](Vm& vm, const double v[8]) {
        Args a;
        for (int i = 0; i < 8; ++i) a.push_back(Value(v[i]));
        return construct(vm, ct, std::move(a));
    };
    auto cxValues = [](const format::Cxform& cx, double v[8]) {
        const int16_t f[] = {cx.rm, cx.gm, cx.bm, cx.am, cx.ra, cx.ga, cx.ba, cx.aa};
        for (int i = 0; i < 8; ++i) v[i] = i < 4 ? f[i] / 256.0 : f[i];
    };
    accessor(
        vm, trProto, "colorTransform",
        [clipOf, objectOf, makeCx, cxValues](Vm& vm, Object* self, Args&) -> Value {
            ClipHost* c = clipOf(vm, self);
            if (!c) return {};
            DisplayObject* o = objectOf(c);
            double v[8];
            cxValues(o ? o->cxform : format::Cxform{}, v);
            return makeCx(vm, v);
        },
        [clipOf, objectOf, ct](Vm& vm, Object* self, Args& a) -> Value {
            DisplayObject* o = objectOf(clipOf(vm, self));
            if (!o || !arg(a, 0).isObject() || !vm.instanceOf(a[0], ct)) return {};
            // Kept as 8.8 fixed point multipliers and whole offsets, as placed objects are.
            auto fixed = [](double d) -> int16_t {
                if (std::isnan(d)) return 0;
                return static_cast<int16_t>(std::clamp(std::trunc(d), -32768.0, 32767.0));
            };
            takeOverTransform(*o);
            int16_t* f[] = {&o->cxform.rm, &o->cxform.gm, &o->cxform.bm, &o->cxform.am,
                            &o->cxform.ra, &o->cxform.ga, &o->cxform.ba, &o->cxform.aa};
            for (int i = 0; i < 8; ++i) {
                const double d = num(vm, a[0].o, kC[i]);
                *f[i] = fixed(i < 4 ? d * 256 : d);
            }
            return {};
        },
        DontEnum | From8);
    accessor(
        vm, trProto, "concatenatedColorTransform",
        [clipOf, objectOf, makeCx, cxValues](Vm& vm, Object* self, Args&) -> Value {
            ClipHost* c = clipOf(vm, self);
            if (!c) return {};
            // The clip's own transform first, then each parent's over it.
            double t[8] = {1, 1, 1, 1, 0, 0, 0, 0};
            for (int n = 0; c && n < 256; c = c->parent(), ++n) {
                DisplayObject* o = objectOf(c);
                if (!o) continue;
                double p[8];
                cxValues(o->cxform, p);
                // Offsets are kept as 16-bit whole numbers: they round down and wrap. Multipliers
                // are products of 8.8 fixed-point numbers.
                for (int i = 0; i < 4; ++i) {
                    const double v = std::floor(t[i + 4] * p[i] + p[i + 4]);
                    t[i + 4] = std::isfinite(v)
                                   ? std::fmod(std::fmod(v + 32768, 65536) + 65536, 65536) - 32768
                                   : 0;
                    t[i] = std::floor(t[i] * p[i] * 256) / 256;  // 8.8 fixed point, rounded down
                }
            }
            return makeCx(vm, t);
        },
        [](Vm&, Object*, Args&) -> Value { return {}; }, DontEnum | From8);
    accessor(
        vm, trProto, "pixelBounds",
        [clipOf, objectOf, rect](Vm& vm, Object* self, Args&) -> Value {
            ClipHost* c = clipOf(vm, self);
            if (!c) return {};
            // The clip's bounds on the stage, in whole pixels.
            const auto b = boundsIn(vm, c, vm.root_, true);
            if (!b || b->empty)
                return construct(vm, rect, {Value(0), Value(0), Value(0), Value(0)});
            QRectF r = b->pixels;
            // The root's own placement takes its bounds onto the stage.
            if (const DisplayObject* place = objectOf(vm.root_)) {
                const auto& m = place->matrix;
                r = QTransform(m.sx, m.r0, m.r1, m.sy, m.tx / 20.0, m.ty / 20.0).mapRect(r);
            }
            const double x0 = std::floor(r.left()), y0 = std::floor(r.top());
            const double x1 = std::ceil(r.right()), y1 = std::ceil(r.bottom());
            if (!(x1 >= x0) || !(y1 >= y0) || std::abs(x0) > 1e8)
                return construct(vm, rect, {Value(0), Value(0), Value(0), Value(0)});
            return construct(vm, rect, {Value(x0), Value(y0), Value(x1 - x0), Value(y1 - y0)});
        },
        [](Vm&, Object*, Args&) -> Value { return {}; }, DontEnum | From8);

    // MovieClip.transform: a new view each time; setting one copies its matrix and colours.
    accessor(
        vm, vm.clipProto, "transform",
        [tr](Vm& vm, Object* self, Args&) -> Value {
            if (!self || self->cls != ObjClass::MovieClip) return {};
            return construct(vm, tr, {Value(self)});
        },
        [tr](Vm& vm, Object* self, Args& a) -> Value {
            if (!self || self->cls != ObjClass::MovieClip || !arg(a, 0).isObject() ||
                !vm.instanceOf(a[0], tr))
                return {};
            Value mine = construct(vm, tr, {Value(self)});
            if (!mine.isObject()) return {};
            vm.set(mine.o, "matrix", vm.get(a[0].o, "matrix"));
            vm.set(mine.o, "colorTransform", vm.get(a[0].o, "colorTransform"));
            return {};
        },
        DontEnum | From8);

    // MovieClip.scrollRect: a copy of the shown rectangle, or undefined; any object with the
    // four fields sets it, null or undefined removes it.
    accessor(
        vm, vm.clipProto, "scrollRect",
        [objectOf, newRect](Vm& vm, Object* self, Args&) -> Value {
            DisplayObject* o =
                self && self->cls == ObjClass::MovieClip ? objectOf(self->clip) : nullptr;
            if (!o || !o->scrollRect) return {};
            const ScrollRect& r = *o->scrollRect;
            return newRect(vm, r.x / 20, r.y / 20, r.width / 20, r.height / 20);
        },
        [objectOf](Vm& vm, Object* self, Args& a) -> Value {
            DisplayObject* o =
                self && self->cls == ObjClass::MovieClip ? objectOf(self->clip) : nullptr;
            if (!o) return {};
            const Value& v = arg(a, 0);
            if (v.isNull() || v.isUndefined()) {
                o->scrollRect.reset();
                return {};
            }
            if (!v.isObject()) return {};
            auto twips = [&](const char* k) {
                const double d = num(vm, v.o, k) * 20;
                return std::isfinite(d) ? std::clamp(d, -1e9, 1e9) : 0.0;
            };
            o->scrollRect = ScrollRect{twips("x"), twips("y"), std::max(0.0, twips("width")),
                                       std::max(0.0, twips("height"))};
            return {};
        });

    installBitmapBuiltins(vm);
    installFilterBuiltins(vm);
    installColorBuiltins(vm);
}

}  // namespace swf::avm1
