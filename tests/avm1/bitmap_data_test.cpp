// flash.display.BitmapData, flash.filters and the Color class, driven through the VM.

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <tuple>

#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;
using swf::avm1::Args;
using swf::avm1::Object;
using swf::avm1::ScriptThrow;
using swf::avm1::Value;
using swf::avm1::Vm;

namespace {

struct Bitmaps {
    explicit Bitmaps(int version = 8) : s(version) {}
    Stage s;
    Vm& vm = s.vm;
    Value make(const char* pkg, const char* cls, Args a) {
        Value p = vm.get(vm.get(vm.global, "flash"), pkg);
        return vm.construct(vm.get(p, cls), std::move(a));
    }
    Value bitmap(Args a) { return make("display", "BitmapData", std::move(a)); }
    Value rect(int x, int y, int w, int h) {
        return make("geom", "Rectangle", {Value(x), Value(y), Value(w), Value(h)});
    }
    Value point(int x, int y) { return make("geom", "Point", {Value(x), Value(y)}); }
    std::string str(const Value& v) { return vm.toString(v); }
    std::string call(const Value& o, const char* m, Args a = {}) {
        return str(vm.callMethod(o, m, std::move(a)));
    }
    // getPixel32 as unsigned hex
    std::string pixel(const Value& b, int x, int y) {
        const double v = vm.toNumber(vm.callMethod(b, "getPixel32", {Value(x), Value(y)}));
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08x", static_cast<uint32_t>(static_cast<int32_t>(v)));
        return buf;
    }
};

}  // namespace

TEST(Avm1BitmapData, SizesAreRefusedByVersion) {
    Bitmaps g9(9);
    EXPECT_TRUE(g9.bitmap({Value(2880), Value(2880)}).isObject());
    EXPECT_TRUE(g9.bitmap({Value(2881), Value(1)}).isUndefined());
    Bitmaps g10(10);
    EXPECT_TRUE(g10.bitmap({Value(8191), Value(1)}).isObject());
    EXPECT_TRUE(g10.bitmap({Value(8192), Value(1)}).isUndefined());
    EXPECT_TRUE(g10.bitmap({Value(4096), Value(4096)}).isUndefined());  // over 16777215 pixels
    Bitmaps g;
    EXPECT_TRUE(g.bitmap({Value(5)}).isUndefined());
    EXPECT_TRUE(g.bitmap({Value(), Value(5)}).isUndefined());
    EXPECT_TRUE(g.bitmap({Value(0), Value(5)}).isUndefined());
    Value b = g.bitmap({Value(5), Value(6)});
    EXPECT_EQ(g.str(g.vm.get(b, "rectangle")), "(x=0, y=0, w=5, h=6)");
    EXPECT_EQ(g.str(g.vm.get(b, "transparent")), "true");
    EXPECT_EQ(g.pixel(b, 0, 0), "ffffffff");
}

TEST(Avm1BitmapData, PixelsRoundTripThroughPremultipliedStorage) {
    Bitmaps g;
    Value t = g.bitmap({Value(3), Value(3), Value(true), Value(0xAABBCCDDu * 1.0)});
    EXPECT_EQ(g.pixel(t, 1, 1), "aabbccdc");
    g.vm.callMethod(t, "setPixel32", {Value(0), Value(0), Value(0x12345678)});
    EXPECT_EQ(g.pixel(t, 0, 0), "12395571");
    g.vm.callMethod(t, "setPixel", {Value(1), Value(0), Value(0x345678)});  // keeps alpha
    EXPECT_EQ(g.pixel(t, 1, 0), "aa345578");
    Value o = g.bitmap({Value(3), Value(3), Value(false), Value(0x12345678)});
    EXPECT_EQ(g.pixel(o, 2, 2), "ff345678");
    EXPECT_EQ(g.call(o, "getPixel", {Value(3), Value(0)}), "0");  // outside
    EXPECT_EQ(g.call(o, "getPixel", {Value(1)}), "-1");           // too few arguments
}

TEST(Avm1BitmapData, DisposedBitmapsAnswerMinusOne) {
    Bitmaps g;
    Value b = g.bitmap({Value(3), Value(3)});
    g.vm.callMethod(b, "dispose", {});
    EXPECT_EQ(g.str(g.vm.get(b, "width")), "-1");
    EXPECT_EQ(g.call(b, "getPixel32", {Value(0), Value(0)}), "-1");
    EXPECT_EQ(g.call(b, "fillRect", {g.rect(0, 0, 1, 1), Value(0)}), "-1");
    Value other = g.bitmap({Value(3), Value(3)});
    EXPECT_EQ(g.call(other, "copyPixels", {b, g.rect(0, 0, 1, 1), g.point(0, 0)}), "-3");
}

TEST(Avm1BitmapData, CopyPixelsBlendsAsFlash) {
    Bitmaps g;
    // Merging rounds the source-over down.
    Value target = g.bitmap({Value(5), Value(5), Value(true), Value(0x45112233)});
    Value source = g.bitmap({Value(5), Value(5), Value(true), Value(0x22445566)});
    g.vm.callMethod(
        target, "copyPixels",
        {source, g.rect(0, 0, 2, 2), g.point(0, 0), Value::null(), Value::null(), Value(true)});
    EXPECT_EQ(g.pixel(target, 1, 1), "5d243147");
    EXPECT_EQ(g.pixel(target, 2, 2), "45122134");
    // An opaque target shows through a transparent source even without merging.
    Value opaque = g.bitmap({Value(3), Value(3), Value(false), Value(0xAABBCCDDu * 1.0)});
    Value trans = g.bitmap({Value(3), Value(3), Value(true), Value(0x12345678)});
    g.vm.callMethod(opaque, "copyPixels", {trans, g.rect(0, 0, 2, 2), g.point(1, 1)});
    EXPECT_EQ(g.pixel(opaque, 1, 1), "ffb1c3d5");
    EXPECT_EQ(g.pixel(opaque, 0, 0), "ffbbccdd");
    // Without its point the alpha bitmap is left out.
    Value dest = g.bitmap({Value(3), Value(3), Value(true), Value(0xAABBCCDDu * 1.0)});
    Value src = g.bitmap({Value(3), Value(3), Value(false), Value(0x12345678)});
    g.vm.callMethod(dest, "copyPixels", {src, g.rect(0, 0, 2, 2), g.point(1, 1), trans});
    EXPECT_EQ(g.pixel(dest, 1, 1), "ff345678");
    g.vm.callMethod(dest, "copyPixels",
                    {src, g.rect(0, 0, 2, 2), g.point(1, 1), trans, g.point(1, 1)});
    EXPECT_EQ(g.pixel(dest, 1, 1), "112d5a78");
    // Where a transparent alpha bitmap ends, the copy leaves the target alone.
    Value wide = g.bitmap({Value(4), Value(1), Value(true), Value(0xFF0000FFu * 1.0)});
    Value narrow = g.bitmap({Value(2), Value(1), Value(true), Value(0xFF000000u * 1.0)});
    Value red = g.bitmap({Value(4), Value(1), Value(false), Value(0xFF0000)});
    g.vm.callMethod(wide, "copyPixels",
                    {red, g.rect(0, 0, 4, 1), g.point(0, 0), narrow, g.point(0, 0)});
    EXPECT_EQ(g.pixel(wide, 1, 0), "feff0000");  // alpha scaled by 255/256
    EXPECT_EQ(g.pixel(wide, 2, 0), "ff0000ff");
}

TEST(Avm1BitmapData, CopyPixelsThroughAnAlphaBitmapRoundsAsFlash) {
    Bitmaps g;
    // Masks of alpha 0x66 and 0xEE side by side, copied onto opaque red so the stored
    // result shows without un-premultiplying.
    Value mask = g.bitmap({Value(2), Value(1), Value(true), Value(0x66884422)});
    g.vm.callMethod(mask, "setPixel32", {Value(1), Value(0), Value(0xEE8844DDu * 1.0)});
    auto through = [&](const Value& src) {
        Value red = g.bitmap({Value(2), Value(1), Value(false), Value(0xFF0000)});
        g.vm.callMethod(red, "copyPixels",
                        {src, g.rect(0, 0, 2, 1), g.point(0, 0), mask, g.point(0, 0)});
        return g.pixel(red, 0, 0) + " " + g.pixel(red, 1, 0);
    };
    // A transparent source goes back to straight colour (halves up), its alpha is scaled
    // in 1/256ths and it is premultiplied again.
    EXPECT_EQ(through(g.bitmap({Value(2), Value(1), Value(true), Value(0xAA2288DDu * 1.0)})),
              "ffc5243a ff775589");
    EXPECT_EQ(through(g.bitmap({Value(2), Value(1), Value(true), Value(0x44888888)})),
              "fff20e0e ffe12121");
}

TEST(Avm1BitmapData, FillRectWithNegativeSizeReachesBack) {
    Bitmaps g;
    Value b = g.bitmap({Value(10), Value(10), Value(false), Value(0x0000FF)});
    g.vm.callMethod(b, "fillRect", {g.rect(10, 10, -3, -3), Value(0xFF0000)});
    EXPECT_EQ(g.pixel(b, 7, 7), "ffff0000");
    EXPECT_EQ(g.pixel(b, 9, 9), "ffff0000");
    EXPECT_EQ(g.pixel(b, 6, 9), "ff0000ff");
}

TEST(Avm1BitmapData, MergeCompareFloodFillThreshold) {
    Bitmaps g;
    Value src = g.bitmap({Value(3), Value(3), Value(true), Value(0x12345678)});
    auto fresh = [&] {
        return g.bitmap({Value(3), Value(3), Value(true), Value(0xAABBCCDDu * 1.0)});
    };
    Value d = fresh();
    // The alpha multiplier may be left out: all of the source's alpha.
    g.vm.callMethod(d, "merge",
                    {src, g.rect(0, 0, 2, 2), g.point(1, 1), Value(32), Value(64), Value(128)});
    EXPECT_EQ(g.pixel(d, 1, 1), "12aaaaaa");
    d = fresh();
    g.vm.callMethod(d, "merge",
                    {src, g.rect(0, 0, 2, 2), g.point(1, 1), Value(32), Value(64), Value(128),
                     Value(-1)});  // held to 0: the target's alpha
    EXPECT_EQ(g.pixel(d, 1, 1), "aaa9aea6");

    Value a = fresh(), b = fresh();
    EXPECT_EQ(g.call(a, "compare", {b}), "0");
    EXPECT_EQ(g.call(a, "compare", {g.bitmap({Value(2), Value(3)})}), "-3");
    EXPECT_EQ(g.call(a, "compare", {g.bitmap({Value(3), Value(2)})}), "-4");
    g.vm.callMethod(b, "setPixel32", {Value(0), Value(0), Value(0x01BBCCDD)});
    Value diff = g.vm.callMethod(a, "compare", {b});
    ASSERT_TRUE(diff.isObject());
    EXPECT_EQ(g.pixel(diff, 1, 1), "00000000");

    Value f = fresh();
    EXPECT_EQ(g.call(f, "floodFill", {Value(1), Value(1), Value(0xAABBCCDDu * 1.0)}), "0");
    EXPECT_EQ(g.call(f, "floodFill", {Value(1), Value(1), Value(0xFF000000u * 1.0)}), "1");
    EXPECT_EQ(g.pixel(f, 2, 2), "ff000000");

    Value t = fresh();
    EXPECT_EQ(g.call(t, "threshold",
                     {f, g.rect(0, 0, 2, 3), g.point(0, 0), Value("=="), Value(0xFF000000u * 1.0),
                      Value(0xFF00FF00u * 1.0)}),
              "6");
    EXPECT_EQ(g.pixel(t, 1, 2), "ff00ff00");
    EXPECT_EQ(g.pixel(t, 2, 2), "aabbccdc");
}

TEST(Avm1Filters, DefaultsClampsAndClone) {
    Bitmaps g;
    Value blur = g.make("filters", "BlurFilter", {Value(300), Value(-5), Value(20)});
    EXPECT_EQ(g.str(g.vm.get(blur, "blurX")), "255");
    EXPECT_EQ(g.str(g.vm.get(blur, "blurY")), "0");
    EXPECT_EQ(g.str(g.vm.get(blur, "quality")), "15");
    Value glow = g.make("filters", "GlowFilter", {});
    EXPECT_EQ(g.str(g.vm.get(glow, "color")), "16711680");
    EXPECT_EQ(g.str(g.vm.get(glow, "blurX")), "6");
    Value cm = g.make("filters", "ColorMatrixFilter", {});
    EXPECT_EQ(g.str(g.vm.get(cm, "matrix")), "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0");
    // Arrays go out as copies; clones are independent.
    g.vm.set(g.vm.get(cm, "matrix").o, "0", Value(5));
    EXPECT_EQ(g.str(g.vm.get(cm, "matrix")).substr(0, 2), "1,");
    Value copy = g.vm.callMethod(glow, "clone", {});
    g.vm.set(glow.o, "alpha", Value(7));
    EXPECT_EQ(g.str(g.vm.get(glow, "alpha")), "1");
    g.vm.set(glow.o, "alpha", Value(0.25));
    EXPECT_EQ(g.str(g.vm.get(copy, "alpha")), "1");
    Value conv = g.make(
        "filters", "ConvolutionFilter",
        {Value(3), Value(3), Value(), Value(9), Value(0), Value(true), Value(true), Value(128)});
    EXPECT_EQ(g.str(g.vm.get(conv, "alpha")), "1");
}

TEST(Avm1Filters, MapPointIsTakenEvenWhenACoordinateThrows) {
    Bitmaps g;
    Value f = g.make("filters", "DisplacementMapFilter", {});
    Object* bad = g.vm.newObject();
    g.vm.set(bad, "valueOf", Value(g.vm.newMethod([](Vm&, Object*, Args&) -> Value {
                 throw ScriptThrow{Value("boom")};
             })));
    Object* p = g.vm.newObject();
    g.vm.set(p, "x", Value(bad));
    g.vm.set(p, "y", Value(8));
    EXPECT_THROW(g.vm.set(f.o, "mapPoint", Value(p)), ScriptThrow);
    EXPECT_EQ(g.str(g.vm.get(f, "mapPoint")), "(x=-2147483648, y=8)");
    Object* onlyX = g.vm.newObject();
    g.vm.set(onlyX, "x", Value(1));
    g.vm.set(f.o, "mapPoint", Value(onlyX));
    EXPECT_EQ(g.str(g.vm.get(f, "mapPoint")), "(x=0, y=0)");
}

TEST(Avm1Color, TransformsTheTargetClip) {
    Bitmaps g(6);
    Value mc = g.vm.callMethod(Value(g.vm.clipObject(&g.s)), "createEmptyMovieClip",
                               {Value("mc"), Value(1)});
    ASSERT_TRUE(mc.isObject());
    Value color = g.vm.construct(g.vm.get(g.vm.global, "Color"), {mc});
    g.vm.callMethod(color, "setRGB", {Value(0x667799)});
    EXPECT_EQ(g.call(color, "getRGB"), std::to_string(0x667799));
    Object* t = g.vm.newObject();
    g.vm.set(t, "ab", Value(10));
    g.vm.set(t, "aa", Value(-20000));  // does not fit 8.8 bits: the most negative value
    g.vm.callMethod(color, "setTransform", {Value(t)});
    Value back = g.vm.callMethod(color, "getTransform", {});
    EXPECT_EQ(g.str(g.vm.get(back, "ab")), "10");
    EXPECT_EQ(g.str(g.vm.get(back, "rb")), "102");  // fields left out stay
    EXPECT_EQ(g.str(g.vm.get(mc, "_alpha")), "-12800");
    Value lost = g.vm.construct(g.vm.get(g.vm.global, "Color"), {Value("nothing")});
    EXPECT_TRUE(g.vm.callMethod(lost, "getRGB", {}).isUndefined());
}

TEST(Avm1BitmapData, NoiseSeedsAndRanges) {
    Bitmaps g;
    auto noisy = [&](Args a) {
        Value b = g.bitmap({Value(3), Value(3), Value(false)});
        g.vm.callMethod(b, "noise", std::move(a));
        return g.pixel(b, 1, 2) + g.pixel(b, 2, 1);
    };
    EXPECT_EQ(noisy({Value(0)}), noisy({Value(1)}));  // seeds below 1 count up from 1
    EXPECT_EQ(noisy({Value(-1)}), noisy({Value(2)}));
    EXPECT_NE(noisy({Value(1)}), noisy({Value(2)}));
    EXPECT_EQ(noisy({Value(1), Value(10), Value(2)}), "ff0a0a0aff0a0a0a");  // upside down
    // Alpha asked of an opaque bitmap takes no numbers from the generator.
    EXPECT_EQ(noisy({Value(5), Value(0), Value(255), Value(-1), Value(true)}),
              noisy({Value(5), Value(0), Value(255), Value(1), Value(true)}));
}

// rectangle is made by whatever flash.geom.Rectangle is at the time.
TEST(Avm1BitmapData, RectangleUsesTheCurrentRectangleClass) {
    Bitmaps g;
    Value b = g.bitmap({Value(20), Value(10)});
    Value geom = g.vm.get(g.vm.get(g.vm.global, "flash"), "geom");
    Value saved = g.vm.get(geom, "Rectangle");
    g.vm.set(geom.o, "Rectangle", Value(2));
    EXPECT_EQ(g.str(g.vm.get(b, "rectangle")), "-1");
    g.vm.set(geom.o, "Rectangle", saved);
    EXPECT_EQ(g.str(g.vm.get(b, "rectangle")), "(x=0, y=0, w=20, h=10)");
}

// Each call writes the seed's pixel and numPixels more, and returns where it stopped: chained
// calls add numPixels new pixels each until every pixel of the area was reached once.
TEST(Avm1BitmapData, PixelDissolveContinuesFromTheSeedItReturns) {
    Bitmaps g;
    auto redCount = [&](const Value& b, int w, int h) {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) n += g.pixel(b, x, y) == "ffff0000";
        return n;
    };
    for (auto [w, h, step] : {std::tuple{10, 10, 1}, {7, 9, 1}, {5, 13, 3}, {150, 2, 5}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        Value b = g.bitmap({Value(w), Value(h), Value(false), Value(0xFFCCCCCCu * 1.0)});
        Value seed(0);
        const int area = w * h;
        for (int round = 1; round * step <= area + step; ++round) {
            seed = g.vm.callMethod(b, "pixelDissolve",
                                   {b, g.vm.get(b, "rectangle"), g.point(0, 0), seed, Value(step),
                                    Value(0xFFFF0000u * 1.0)});
            ASSERT_EQ(redCount(b, w, h), std::min(area, round * step + 1)) << "round " << round;
        }
    }
    // A count of 0 writes the seed's pixel alone; no count at all writes nothing.
    Value one = g.bitmap({Value(6), Value(6), Value(false), Value(0)});
    for (int i = 0; i < 3; ++i)
        g.vm.callMethod(
            one, "pixelDissolve",
            {one, g.rect(0, 0, 6, 6), g.point(0, 0), Value(4), Value(0), Value(0xFFFF0000u * 1.0)});
    EXPECT_EQ(redCount(one, 6, 6), 1);
    Value none = g.bitmap({Value(6), Value(6), Value(false), Value(0xFFFF0000u * 1.0)});
    g.vm.callMethod(none, "pixelDissolve", {none, g.rect(0, 0, 6, 6), g.point(0, 0)});
    EXPECT_EQ(redCount(none, 6, 6), 36);  // no black pixel appeared
    // The copy lands on the destination point; a bad source answers -1.
    Value src = g.bitmap({Value(4), Value(4), Value(false), Value(0xFFFF0000u * 1.0)});
    Value dst = g.bitmap({Value(8), Value(8), Value(false), Value(0)});
    g.vm.callMethod(dst, "pixelDissolve",
                    {src, g.rect(0, 0, 4, 4), g.point(4, 4), Value(0), Value(15)});
    EXPECT_EQ(redCount(dst, 8, 8), 16);
    EXPECT_EQ(g.pixel(dst, 4, 4), "ffff0000");
    EXPECT_EQ(g.pixel(dst, 3, 3), "ff000000");
    EXPECT_EQ(g.call(dst, "pixelDissolve", {Value(5), g.rect(0, 0, 4, 4), g.point(0, 0)}), "-1");
    EXPECT_EQ(g.call(dst, "pixelDissolve", {src, Value(), g.point(0, 0)}), "-4");
}

// threshold compares the colours as stored, premultiplied by their alpha; an operation that is
// none of the six compares as "<".
TEST(Avm1BitmapData, ThresholdComparesStoredColoursAndDefaultsToLess) {
    Bitmaps g;
    Value src = g.bitmap({Value(2), Value(1), Value(true), Value(0x12345678)});
    g.vm.callMethod(src, "setPixel32", {Value(1), Value(0), Value(0xFFFFFFFFu * 1.0)});
    auto hits = [&](Value op) {
        Value d = g.bitmap({Value(2), Value(1), Value(true), Value(0)});
        std::string out = g.call(d, "threshold",
                                 {src, g.rect(0, 0, 2, 1), g.point(0, 0), op, Value(0x33333333),
                                  Value(0xAAAAAAAAu * 1.0), Value(0x00FF0000)});
        if (g.pixel(d, 0, 0) == "aaa9a9a9") out += "L";
        if (g.pixel(d, 1, 0) == "aaa9a9a9") out += "R";
        return out;
    };
    // Red 0x34 at alpha 0x12 is stored as 0x04, below the threshold's 0x33.
    EXPECT_EQ(hits(Value("<")), "1L");
    EXPECT_EQ(hits(Value(">")), "1R");
    EXPECT_EQ(hits(Value("!=")), "2LR");
    EXPECT_EQ(hits(Value()), "1L");
    EXPECT_EQ(hits(Value(">=(")), "1L");
    // Into an opaque bitmap both the colour and the copied source go as stored, alpha and all.
    Value opaque = g.bitmap({Value(2), Value(1), Value(false), Value(0)});
    g.call(opaque, "threshold",
           {src, g.rect(0, 0, 2, 1), g.point(0, 0), Value(">"), Value(0x33333333),
            Value(0xAAAAAAAAu * 1.0), Value(0x00FF0000), Value(true)});
    EXPECT_EQ(g.call(opaque, "getPixel32", {Value(0), Value(0)}),
              std::to_string(int32_t(0x12040608)));
    EXPECT_EQ(g.call(opaque, "getPixel32", {Value(1), Value(0)}),
              std::to_string(int32_t(0xaa717171)));
}

// hitTest answers the code of the first argument it cannot use: points need their own x and
// y, the second object must be a bitmap, a rectangle or a point, a bitmap's point not null.
TEST(Avm1BitmapData, HitTestNamesTheArgumentItCannotUse) {
    Bitmaps g;
    Value b = g.bitmap({Value(5), Value(5), Value(true), Value(0xFFFFFFFFu * 1.0)});
    Value other = g.bitmap({Value(2), Value(2)});
    Value xOnly = Value(g.vm.newObject());
    g.vm.set(xOnly.o, "x", Value(0));
    Value undef;
    EXPECT_EQ(g.call(b, "hitTest", {undef, undef, undef, undef, undef}), "-2");
    EXPECT_EQ(g.call(b, "hitTest", {Value::null(), Value(0), b}), "-2");
    EXPECT_EQ(g.call(b, "hitTest", {xOnly, Value(0), b}), "-2");
    Value base = Value(g.vm.newObject());
    g.vm.set(base.o, "x", Value(0));
    g.vm.set(base.o, "y", Value(0));
    Value child = Value(g.vm.newObject(base.o));  // x and y only inherited
    EXPECT_EQ(g.call(b, "hitTest", {child, Value(0), b}), "-2");
    EXPECT_EQ(g.call(b, "hitTest", {g.point(0, 0), Value(0), Value(g.vm.newObject())}), "-3");
    EXPECT_EQ(g.call(b, "hitTest", {g.point(0, 0), Value(0), b, Value::null()}), "-4");
    EXPECT_EQ(g.call(b, "hitTest", {g.point(0, 0), Value(0), other, g.point(0, 0)}), "true");
    EXPECT_EQ(g.call(b, "hitTest", {g.point(0, 0), Value(0), g.point(4, 4)}), "true");
    g.vm.callMethod(other, "dispose", {});
    EXPECT_EQ(g.call(b, "hitTest", {g.point(0, 0), Value(0), other, g.point(0, 0)}), "-3");
}

// perlinNoise: the same seed gives the same picture and another seed another; grey scale
// gives equal channels, unchosen channels stay 0, an opaque bitmap stays opaque, and no
// octaves leave fractal noise mid-grey. Stitching makes the right edge lead into the left.
TEST(Avm1BitmapData, PerlinNoiseChannelsSeedsAndStitching) {
    Bitmaps g;
    g.vm.deadline =
        std::chrono::steady_clock::now() + std::chrono::minutes(1);  // a script's budget
    auto perlin = [&](bool transparent, int seed, bool stitch, int octaves, int channels,
                      bool gray) {
        Value b = g.bitmap({Value(40), Value(40), Value(transparent), Value(0)});
        g.call(b, "perlinNoise",
               {Value(20), Value(20), Value(octaves), Value(seed), Value(stitch), Value(true),
                Value(channels), Value(gray)});
        return b;
    };
    auto all = [&](const Value& b) {
        std::string s;
        for (int y = 0; y < 40; y += 3)
            for (int x = 0; x < 40; x += 3) s += g.pixel(b, x, y);
        return s;
    };
    const Value a = perlin(true, 5, false, 2, 15, false);
    EXPECT_EQ(all(a), all(perlin(true, 5, false, 2, 15, false)));
    EXPECT_NE(all(a), all(perlin(true, 6, false, 2, 15, false)));
    std::set<std::string> seen;
    for (int y = 0; y < 40; y += 3)
        for (int x = 0; x < 40; x += 3) seen.insert(g.pixel(a, x, y));
    EXPECT_GT(seen.size(), 20u);  // it varies over the picture

    const Value grey = perlin(false, 5, false, 3, 7, true);
    const Value red = perlin(false, 5, false, 3, 1, false);
    for (int y = 0; y < 40; y += 7)
        for (int x = 0; x < 40; x += 7) {
            const std::string p = g.pixel(grey, x, y);
            EXPECT_EQ(p.substr(0, 2), "ff");
            EXPECT_EQ(p.substr(2, 2), p.substr(4, 2));
            EXPECT_EQ(p.substr(4, 2), p.substr(6, 2));
            EXPECT_EQ(g.pixel(red, x, y).substr(4), "0000");
        }
    EXPECT_EQ(g.pixel(perlin(false, 5, false, 0, 7, false), 9, 9), "ff808080");

    // Stitched, the step from the last column to the first is like any step between columns.
    const Value st = perlin(false, 9, true, 1, 7, true);
    auto level = [&](int x, int y) {
        return std::stoi(g.pixel(st, x, y).substr(2, 2), nullptr, 16);
    };
    for (int y = 0; y < 40; y += 5) EXPECT_LE(std::abs(level(39, y) - level(0, y)), 12);
}

// getColorBoundsRect boxes the pixels that match (or, not finding, those that do not); what
// lies only in the first column or row gives no box, as in the player.
TEST(Avm1BitmapData, ColorBoundsMissWhatLiesOnlyAtTheOrigin) {
    Bitmaps g;
    Value b = g.bitmap({Value(3), Value(3), Value(true), Value(0xFFFFFFFFu * 1.0)});
    auto bounds = [&](bool find) {
        return g.call(b, "getColorBoundsRect",
                      {Value(0xFFFFFFFFu * 1.0), Value(0xFFFFFFFFu * 1.0), Value(find)});
    };
    auto set = [&](int x, int y, double c) {
        g.vm.callMethod(b, "setPixel32", {Value(x), Value(y), Value(c)});
    };
    set(0, 0, 0xFF00FF00u);
    EXPECT_EQ(bounds(true), "(x=0, y=0, w=3, h=3)");
    EXPECT_EQ(bounds(false), "(x=0, y=0, w=0, h=0)");
    set(1, 1, 0xFF00FF00u);
    EXPECT_EQ(bounds(false), "(x=0, y=0, w=2, h=2)");
    set(0, 0, 0xFFFFFFFFu);
    EXPECT_EQ(bounds(false), "(x=1, y=1, w=1, h=1)");
}
