// flash.geom: Point, Rectangle, Matrix, ColorTransform (SWF 8 and later only).

#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;
using swf::avm1::Args;
using swf::avm1::Value;

namespace {

struct Geom {
    Stage s{8};
    swf::avm1::Vm& vm = s.vm;
    Value make(const char* cls, Args a) {
        Value geom = vm.get(vm.get(vm.global, "flash"), "geom");
        return vm.construct(vm.get(geom, cls), std::move(a));
    }
    std::string str(const Value& v) { return vm.toString(v); }
    std::string call(const Value& o, const char* m, Args a = {}) {
        return str(vm.callMethod(o, m, std::move(a)));
    }
};

}  // namespace

TEST(Avm1Geom, OnlyFromFlash8) {
    Stage s7(7), s8(8);
    EXPECT_EQ(s7.vm.typeOf(s7.vm.get(s7.vm.global, "flash")), "undefined");
    // A clip's transform is out of sight too, even for a movie that uncovers flash.geom.
    EXPECT_EQ(s7.vm.clipProto->findOwn(s7.vm.key("transform")), nullptr);
    EXPECT_NE(s8.vm.clipProto->findOwn(s8.vm.key("transform")), nullptr);
}

TEST(Avm1Geom, PointMath) {
    Geom g;
    Value p = g.make("Point", {Value(3), Value(4)});
    EXPECT_EQ(g.str(g.vm.get(p, "length")), "5");
    EXPECT_EQ(g.call(p, "add", {g.make("Point", {Value(1), Value(1)})}), "(x=4, y=5)");
    EXPECT_EQ(g.call(g.make("Point", {}), "toString"), "(x=0, y=0)");
    g.vm.callMethod(p, "normalize", {Value(10)});
    EXPECT_EQ(g.call(p, "toString"), "(x=6, y=8)");
}

TEST(Avm1Geom, RectangleEdgesAndSetOps) {
    Geom g;
    Value r = g.make("Rectangle", {Value(0), Value(0), Value(10), Value(10)});
    Value o = g.make("Rectangle", {Value(5), Value(5), Value(10), Value(10)});
    EXPECT_EQ(g.call(r, "intersection", {o}), "(x=5, y=5, w=5, h=5)");
    EXPECT_EQ(g.call(r, "union", {o}), "(x=0, y=0, w=15, h=15)");
    EXPECT_EQ(g.call(r, "contains", {Value(10), Value(5)}), "false");
    g.vm.set(r.o, "left", Value(2));  // moves the edge, keeps the right side
    EXPECT_EQ(g.call(r, "toString"), "(x=2, y=0, w=8, h=10)");
    EXPECT_EQ(g.str(g.vm.get(r, "bottomRight")), "(x=10, y=10)");
}

TEST(Avm1Geom, MatrixComposesInFlashOrder) {
    Geom g;
    Value m = g.make("Matrix", {});
    g.vm.callMethod(m, "translate", {Value(10), Value(0)});
    g.vm.callMethod(m, "scale", {Value(2), Value(3)});  // scales the translation too
    EXPECT_EQ(g.call(m, "toString"), "(a=2, b=0, c=0, d=3, tx=20, ty=0)");
    EXPECT_EQ(g.call(m, "transformPoint", {g.make("Point", {Value(1), Value(1)})}), "(x=22, y=3)");
    g.vm.callMethod(m, "invert", {});
    EXPECT_EQ(g.call(m, "transformPoint", {g.make("Point", {Value(22), Value(3)})}), "(x=1, y=1)");
    Value c = g.make("ColorTransform", {});
    g.vm.set(c.o, "rgb", Value(0x102030));
    EXPECT_EQ(g.str(g.vm.get(c, "redOffset")), "16");
    EXPECT_EQ(g.str(g.vm.get(c, "rgb")), std::to_string(0x102030));
}

// A side that is not a number spreads NaN through unions and empties intersections, and a
// missing point turns every coordinate NaN, as the player's own script does.
TEST(Avm1Geom, RectanglesWithNaNSides) {
    Geom g;
    Value r = g.make("Rectangle", {Value(1), Value(3), Value(5), Value(7)});
    Value noHeight = g.vm.newObject();
    g.vm.set(noHeight.o, "x", Value(3));
    g.vm.set(noHeight.o, "y", Value(5));
    g.vm.set(noHeight.o, "width", Value(1));
    EXPECT_EQ(g.call(r, "union", {noHeight}), "(x=1, y=3, w=5, h=NaN)");
    EXPECT_EQ(g.call(r, "intersection", {noHeight}), "(x=0, y=0, w=0, h=0)");
    EXPECT_EQ(g.call(r, "intersects", {noHeight}), "false");
    g.vm.callMethod(r, "offsetPoint", {});
    EXPECT_EQ(g.call(r, "toString"), "(x=NaN, y=NaN, w=5, h=7)");
    Value s = g.make("Rectangle", {Value(1), Value(3), Value(5), Value(7)});
    g.vm.callMethod(s, "inflatePoint", {});
    EXPECT_EQ(g.call(s, "toString"), "(x=NaN, y=NaN, w=NaN, h=NaN)");
}

// ColorTransform keeps numbers: all eight arguments or the identity, values converted when
// given or written. Rectangle() empties itself through its own setEmpty.
TEST(Avm1Geom, ConstructorsConvertAndEmptyThroughTheirMethods) {
    Geom g;
    const Args seven = {Value(2), Value(2), Value(2), Value(2), Value(1), Value(1), Value(1)};
    EXPECT_EQ(g.call(g.make("ColorTransform", seven), "toString"),
              "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
              "redOffset=0, greenOffset=0, blueOffset=0, alphaOffset=0)");
    Args eight = seven;
    eight.push_back(Value(true));
    Value c = g.make("ColorTransform", eight);
    EXPECT_EQ(g.str(g.vm.get(c, "alphaOffset")), "1");
    g.vm.set(c.o, "redOffset", Value(std::string("7")));
    EXPECT_EQ(g.vm.typeOf(g.vm.get(c, "redOffset")), "number");
    Value rectProto = g.vm.get(
        g.vm.get(g.vm.get(g.vm.get(g.vm.global, "flash"), "geom"), "Rectangle"), "prototype");
    g.vm.defineMethod(rectProto.o, "setEmpty",
                      [](swf::avm1::Vm& vm, swf::avm1::Object* self, Args&) -> Value {
                          vm.set(self, "y", Value(123));
                          return {};
                      });
    EXPECT_EQ(g.call(g.make("Rectangle", {}), "toString"),
              "(x=undefined, y=123, w=undefined, h=undefined)");
}
