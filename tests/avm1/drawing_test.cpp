// The MovieClip drawing methods: what they paint, what they add to the clip's bounds, and
// what clear() takes away.

#include <QImage>
#include <cmath>
#include <functional>
#include <limits>

#include "tests/avm1/avm1_fixture.h"
#include "tests/avm1/player_run.h"
#include "tests/support/swf_writer_media.h"

using namespace avm1test;

namespace {

// obj.method(args...), its result dropped.
ActionWriter& call(ActionWriter& a, const char* obj, const char* method,
                   std::initializer_list<P> args) {
    std::vector<P> rev(args);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()), obj}).getVariable();
    push(a, {method}).op(op::CallMethod);
    return a.op(op::Pop);
}

// var name = parent.createEmptyMovieClip(name, depth)
void emptyClip(ActionWriter& a, const char* parent, const char* name, int depth) {
    push(a, {name, depth, name, 2, parent}).getVariable();
    push(a, {"createEmptyMovieClip"}).op(op::CallMethod).setVariable();
}

void square(ActionWriter& a, const char* clip, int rgb, int x0, int y0, int x1, int y1) {
    call(a, clip, "beginFill", {rgb, 100});
    call(a, clip, "moveTo", {x0, y0});
    call(a, clip, "lineTo", {x1, y0});
    call(a, clip, "lineTo", {x1, y1});
    call(a, clip, "lineTo", {x0, y1});  // endFill closes it
    call(a, clip, "endFill", {});
}

// Colour near enough, allowing for smoothed edges nearby.
bool near(QRgb got, QRgb want) {
    return std::abs(qRed(got) - qRed(want)) < 40 && std::abs(qGreen(got) - qGreen(want)) < 40 &&
           std::abs(qBlue(got) - qBlue(want)) < 40;
}

}  // namespace

TEST(Avm1Drawing, FillsLinesChildrenBoundsAndClear) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    square(a, "mc", 0xff0000, 10, 10, 60, 60);
    call(a, "mc", "lineStyle", {4, 0x0000ff, 100});
    call(a, "mc", "moveTo", {100, 50});
    call(a, "mc", "lineTo", {180, 50});
    // Points that are not numbers or are far off must not break the drawing.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    emptyClip(a, "this", "far", 2);
    call(a, "far", "lineStyle", {4, 0x0000ff, 100});
    call(a, "far", "moveTo", {nan, 1e300});
    call(a, "far", "curveTo", {-1e300, nan, nan, nan});
    call(a, "far", "lineStyle", {});
    call(a, "far", "lineTo", {1e300, 1e300});  // no line, no fill: nothing drawn
    // A child of an empty clip is drawn above the clip's own drawing.
    emptyClip(a, "mc", "kid", 1);
    square(a, "kid", 0x00ff00, 120, 40, 150, 95);
    push(a, {"mc"}).getVariable();
    push(a, {"_height"}).op(op::GetMember).trace();
    push(a, {"kid"}).getVariable();
    push(a, {"_width"}).op(op::GetMember).trace();
    b.doAction(a);
    b.showFrame();
    ActionWriter a2;
    call(a2, "mc", "clear", {});
    push(a2, {"mc"}).getVariable();
    push(a2, {"_height"}).op(op::GetMember).trace();
    a2.stop();
    b.doAction(a2);
    b.showFrame();

    auto r = play(b);
    QImage img = r->frame();
    EXPECT_TRUE(near(img.pixel(35, 35), qRgb(255, 0, 0)));  // inside the fill
    EXPECT_TRUE(near(img.pixel(5, 5), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(img.pixel(110, 50), qRgb(0, 0, 255)));  // on the line
    EXPECT_TRUE(near(img.pixel(110, 45), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(img.pixel(135, 50), qRgb(0, 255, 0)));  // the child covers the line
    EXPECT_TRUE(near(img.pixel(135, 80), qRgb(0, 255, 0)));
    // The fill reaches 10..60, the child down to 95.
    EXPECT_EQ(r->take(), "85\n30\n");

    r->player->advanceFrame();
    img = r->frame();
    EXPECT_TRUE(near(img.pixel(35, 35), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(img.pixel(110, 50), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(img.pixel(135, 80), qRgb(0, 255, 0)));  // clear keeps the children
    EXPECT_EQ(r->take(), "55\n");
}

// A box gradient runs across its box; a curve's bounds reach its bulge, widened by the line
// only where strokes count; a duplicate starts with the drawing of its source.
TEST(Avm1Drawing, GradientsCurveBoundsAndDuplicates) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "g", 1);
    push(a, {"matrixType", "box", "x", 0, "y", 0, "w", 100, "h", 50, "r", 0, 6});
    a.op(op::InitObject);
    push(a, {255, 0, 2}).op(op::InitArray);
    push(a, {100, 100, 2}).op(op::InitArray);
    push(a, {0x0000ff, 0xff0000, 2}).op(op::InitArray);
    push(a, {"linear", 5, "g"}).getVariable();
    push(a, {"beginGradientFill"}).op(op::CallMethod).op(op::Pop);
    call(a, "g", "moveTo", {0, 0});
    call(a, "g", "lineTo", {100, 0});
    call(a, "g", "lineTo", {100, 50});
    call(a, "g", "lineTo", {0, 50});
    call(a, "g", "endFill", {});
    emptyClip(a, "this", "c", 2);
    call(a, "c", "lineStyle", {10, 0, 100});
    call(a, "c", "moveTo", {120, 10});
    call(a, "c", "curveTo", {160, 90, 190, 10});  // lowest at y = 50
    push(a, {"c"}).getVariable();
    push(a, {"_height"}).op(op::GetMember).trace();
    push(a, {"c"}).getVariable();
    push(a, {1, "c"}).getVariable();
    push(a, {"getRect"}).op(op::CallMethod);
    push(a, {"yMax"}).op(op::GetMember).trace();
    push(a, {"d"});
    push(a, {3, "d", 2, "c"}).getVariable();
    push(a, {"duplicateMovieClip"}).op(op::CallMethod).setVariable();
    push(a, {"d"}).getVariable();
    push(a, {"_height"}).op(op::GetMember).trace();
    a.stop();
    b.doAction(a);
    b.showFrame();

    auto r = play(b);
    EXPECT_EQ(r->take(), "50\n50\n50\n");
    const QImage img = r->frame();
    EXPECT_TRUE(near(img.pixel(3, 25), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(img.pixel(96, 25), qRgb(0, 0, 255)));
    const QRgb mid = img.pixel(50, 25);
    EXPECT_GT(qRed(mid), 60);
    EXPECT_GT(qBlue(mid), 60);
    EXPECT_TRUE(near(img.pixel(155, 48), qRgb(0, 0, 0)));  // on the curve's lowest part
    EXPECT_TRUE(near(img.pixel(155, 20), qRgb(255, 255, 255)));
}

namespace {

// Three 60 x 90 boxes 65 px apart, each filled by a red-to-blue radial gradient whose
// arguments before the colours (pushed last to first) `settings` writes for box i. True
// when the first two boxes come out alike and the third differs: the step between the
// second and third values shows and the one between the first two does not.
bool onlyTheLastStepShows(const std::function<void(ActionWriter&, int, int)>& settings, int count) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "m" + std::to_string(i);
        const int x = 65 * i;
        emptyClip(a, "this", name.c_str(), i + 1);
        settings(a, i, x);
        push(a, {0, 255, 2}).op(op::InitArray);
        push(a, {100, 100, 2}).op(op::InitArray);
        push(a, {0xff0000, 0x0000ff, 2}).op(op::InitArray);
        push(a, {"radial", count, name.c_str()}).getVariable();
        push(a, {"beginGradientFill"}).op(op::CallMethod).op(op::Pop);
        call(a, name.c_str(), "moveTo", {x, 0});
        call(a, name.c_str(), "lineTo", {x + 60, 0});
        call(a, name.c_str(), "lineTo", {x + 60, 90});
        call(a, name.c_str(), "lineTo", {x, 90});
        call(a, name.c_str(), "endFill", {});
    }
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    const QImage img = r->frame();
    int sameAsStep = 0, sameAsNextStep = 0;
    for (int y = 2; y < 88; ++y)
        for (int x = 2; x < 58; ++x) {
            sameAsStep += img.pixel(x, y) == img.pixel(x + 65, y);
            sameAsNextStep += img.pixel(x, y) == img.pixel(x + 130, y);
        }
    return sameAsStep == 86 * 56 && sameAsNextStep < 86 * 56 - 20;
}

}  // namespace

// A script's focal point is kept in 1/256 steps cut towards zero, as a movie's is: far
// outside a repeating focal gradient's circle the smallest step of the focal point shows.
TEST(Avm1Drawing, FocalPointsKeepWhole256ths) {
    const double focals[] = {0.8, 204 / 256.0, 205 / 256.0};
    EXPECT_TRUE(onlyTheLastStepShows(
        [&](ActionWriter& a, int i, int x) {
            push(a, {focals[i], "linearRGB", "repeat"});
            push(a, {"matrixType", "box", "x", x, "y", 0, "w", 12, "h", 12, "r", 0, 6});
            a.op(op::InitObject);
        },
        8));
}

// A script's gradient matrix is kept in 16.16 fixed point cut towards zero, as a movie's
// is: far outside a repeating gradient's circle the smallest step of the scale shows.
TEST(Avm1Drawing, GradientMatricesKeepWhole65536ths) {
    const double scales[] = {0.0073, 478 / 65536.0, 479 / 65536.0};
    EXPECT_TRUE(onlyTheLastStepShows(
        [&](ActionWriter& a, int i, int x) {
            push(a, {"repeat"});
            push(a, {"a", scales[i], "b", 0, "c", 0, "d", scales[i], "tx", x, "ty", 0, 6});
            a.op(op::InitObject);
        },
        6));
}

namespace {

// var name = new flash.<pkg>.<cls>(args...), kept in register reg too so that calls can pass it.
void newObject(ActionWriter& a, const char* name, int reg, const char* pkg, const char* cls,
               std::initializer_list<P> args) {
    constexpr uint8_t kNewMethod = 0x53, kStoreRegister = 0x87;
    push(a, {name});
    std::vector<P> rev(args);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()), "flash"}).getVariable();
    push(a, {pkg}).op(op::GetMember);
    push(a, {cls}).op(kNewMethod);
    const uint8_t r[] = {static_cast<uint8_t>(reg)};
    a.op(kStoreRegister, r);
    a.setVariable();
}

}  // namespace

// An attached bitmap shows the BitmapData as it is when drawn, not as it was when attached;
// it moves with its clip and counts for the clip's size.
TEST(Avm1Drawing, AttachedBitmapsShowLaterChanges) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    newObject(a, "bmp", 1, "display", "BitmapData", {20, 10, false, 0xff0000});
    emptyClip(a, "this", "holder", 1);
    call(a, "holder", "attachBitmap", {P::reg(1), 1});
    push(a, {"holder"}).getVariable();
    push(a, {"_x", 50}).op(op::SetMember);
    newObject(a, "r", 2, "geom", "Rectangle", {0, 0, 10, 10});
    call(a, "bmp", "fillRect", {P::reg(2), 0x0000ff});
    push(a, {"holder"}).getVariable();
    push(a, {"_width"}).op(op::GetMember).trace();
    // Nothing is placed over what is already at a depth.
    newObject(a, "other", 3, "display", "BitmapData", {5, 5, false, 0x00ff00});
    call(a, "holder", "attachBitmap", {P::reg(3), 1});
    a.stop();
    b.doAction(a);
    b.showFrame();

    auto r = play(b);
    EXPECT_EQ(r->take(), "20\n");
    const QImage img = r->frame();
    EXPECT_EQ(img.pixel(55, 5), qRgb(0, 0, 255));  // filled after attaching
    EXPECT_EQ(img.pixel(65, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(45, 5), qRgb(255, 255, 255));   // left of the moved clip
    EXPECT_EQ(img.pixel(55, 15), qRgb(255, 255, 255));  // below the bitmap
}

// A repeating bitmap fill tiles the bitmap through its matrix; a clipped one stretches its
// edge pixels beyond it. Both use the bitmap's pixels at drawing time.
TEST(Avm1Drawing, BitmapFillsRepeatOrStretchTheirEdges) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    newObject(a, "bmp", 1, "display", "BitmapData", {4, 4, false, 0x00ff00});
    newObject(a, "r", 2, "geom", "Rectangle", {0, 0, 2, 4});
    call(a, "bmp", "fillRect", {P::reg(2), 0xff0000});  // left half red, right half green
    newObject(a, "m", 3, "geom", "Matrix", {});
    call(a, "m", "scale", {5, 5});  // 20 pixels a tile
    emptyClip(a, "this", "tiles", 1);
    call(a, "tiles", "beginBitmapFill", {P::reg(1), P::reg(3), true, false});
    call(a, "tiles", "moveTo", {0, 0});
    call(a, "tiles", "lineTo", {80, 0});
    call(a, "tiles", "lineTo", {80, 40});
    call(a, "tiles", "lineTo", {0, 40});
    call(a, "tiles", "endFill", {});
    emptyClip(a, "this", "edge", 2);
    call(a, "edge", "beginBitmapFill", {P::reg(1), P::reg(3), false, false});
    call(a, "edge", "moveTo", {100, 50});
    call(a, "edge", "lineTo", {180, 50});
    call(a, "edge", "lineTo", {180, 90});
    call(a, "edge", "lineTo", {100, 90});
    call(a, "edge", "endFill", {});
    a.stop();
    b.doAction(a);
    b.showFrame();

    auto r = play(b);
    const QImage img = r->frame();
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(15, 5), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(25, 35), qRgb(255, 0, 0));  // the next tile
    EXPECT_EQ(img.pixel(75, 35), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(90, 5), qRgb(255, 255, 255));  // outside the shape
    // The clipped fill's bitmap sits at the clip's origin, far left of this shape: its right
    // column (green) is stretched over all of it.
    EXPECT_EQ(img.pixel(110, 60), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(175, 85), qRgb(0, 255, 0));
}

namespace {

// trace(obj.method(args...)); string args are constants, P::reg ones the objects made above.
void traceCall(ActionWriter& a, const char* obj, const char* method,
               std::initializer_list<P> args) {
    std::vector<P> rev(args);
    for (auto it = rev.rbegin(); it != rev.rend(); ++it) push(a, {*it});
    push(a, {static_cast<int>(args.size()), obj}).getVariable();
    push(a, {method}).op(op::CallMethod).trace();
}

}  // namespace

// loadBitmap copies a library bitmap; draw paints a clip in its own space (its _x does not
// count) and a bitmap through a matrix, only inside the clip rectangle.
TEST(Avm1Drawing, LoadBitmapAndDrawClipsAndBitmaps) {
    swftest::SwfBuilder b(8, 200, 100);
    const uint16_t picId = b.reserveId();
    b.rawTag(swftest::media::code::DefineBitsLossless,
             swftest::media::losslessBody(picId, 1, 2, 2,
                                          {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xffffffffu}));
    std::vector<uint8_t> exports;
    putU16(exports, 1);
    putU16(exports, picId);
    putString(exports, "pic");
    b.rawTag(56, exports);
    ActionWriter a;
    constexpr uint8_t kStoreRegister = 0x87;
    const uint8_t r1[] = {1}, r3[] = {3};
    push(a, {"pic", "pic", 1, "flash"}).getVariable();
    push(a, {"display"}).op(op::GetMember);
    push(a, {"BitmapData"}).op(op::GetMember);
    push(a, {"loadBitmap"}).op(op::CallMethod);
    a.op(kStoreRegister, r1).setVariable();
    push(a, {"pic"}).getVariable();
    push(a, {"width"}).op(op::GetMember).trace();
    traceCall(a, "pic", "getPixel", {1, 0});
    push(a, {"none", 1, "flash"}).getVariable();
    push(a, {"display"}).op(op::GetMember);
    push(a, {"BitmapData"}).op(op::GetMember);
    push(a, {"loadBitmap"}).op(op::CallMethod).trace();

    emptyClip(a, "this", "mc", 1);
    square(a, "mc", 0xff0000, 0, 0, 10, 10);
    push(a, {"mc"}).getVariable();
    push(a, {"_x", 100}).op(op::SetMember);
    newObject(a, "dst", 2, "display", "BitmapData", {20, 20, false, 0xffffff});
    traceCall(a, "dst", "draw", {5});  // a number: nothing drawn
    push(a, {"mc"}).getVariable();
    a.op(kStoreRegister, r3).op(op::Pop);
    call(a, "dst", "draw", {P::reg(3)});
    traceCall(a, "dst", "getPixel", {5, 5});
    traceCall(a, "dst", "getPixel", {15, 15});

    newObject(a, "m", 2, "geom", "Matrix", {});
    call(a, "m", "scale", {5, 5});
    newObject(a, "cr", 3, "geom", "Rectangle", {0, 0, 5, 10});
    newObject(a, "dst2", 0, "display", "BitmapData", {10, 10, false, 0xffffff});
    call(a, "dst2", "draw", {P::reg(1), P::reg(2), P::null(), P::null(), P::reg(3)});
    traceCall(a, "dst2", "getPixel", {2, 2});  // red, scaled up
    traceCall(a, "dst2", "getPixel", {7, 2});  // green, but outside the clip rectangle
    traceCall(a, "dst2", "getPixel", {2, 7});  // blue
    a.stop();
    b.doAction(a);
    b.showFrame();

    auto r = play(b);
    EXPECT_EQ(r->take(),
              "2\n65280\nundefined\nundefined\n16711680\n16777215\n16711680\n16777215\n255\n");
}

namespace {

// trace(path[0].path[1]...)
void traceMember(ActionWriter& a, std::initializer_list<const char*> path) {
    auto it = path.begin();
    push(a, {*it++}).getVariable();
    for (; it != path.end(); ++it) push(a, {*it}).op(op::GetMember);
    a.trace();
}

}  // namespace

// MovieClip.transform is a view of the clip's placement: its matrix and colours read and
// written in place, the concatenated ones taking in the parents.
TEST(Avm1Drawing, TransformReadsAndWritesTheClip) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    emptyClip(a, "mc", "kid", 1);
    push(a, {"mc"}).getVariable();
    push(a, {"_x", 10}).op(op::SetMember);
    push(a, {"kid"}).getVariable();
    push(a, {"_x", 3}).op(op::SetMember);
    traceMember(a, {"mc", "transform", "matrix"});
    // mc.transform.matrix = new Matrix(2, 0, 0, 2, 5, 6)
    newObject(a, "m", 1, "geom", "Matrix", {2, 0, 0, 2, 5, 6});
    push(a, {"mc"}).getVariable();
    push(a, {"transform"}).op(op::GetMember);
    push(a, {"matrix", P::reg(1)}).op(op::SetMember);
    traceMember(a, {"mc", "_xscale"});
    traceMember(a, {"mc", "_x"});
    traceMember(a, {"kid", "transform", "concatenatedMatrix"});
    newObject(a, "c", 2, "geom", "ColorTransform", {0.5, 1, 1, 1, 10, 0, 0, 0});
    push(a, {"mc"}).getVariable();
    push(a, {"transform"}).op(op::GetMember);
    push(a, {"colorTransform", P::reg(2)}).op(op::SetMember);
    traceMember(a, {"kid", "transform", "concatenatedColorTransform"});
    // A Transform needs a clip.
    push(a, {0, "flash"}).getVariable();
    push(a, {"geom"}).op(op::GetMember);
    push(a, {"Transform"}).op(0x53).trace();
    a.stop();
    b.doAction(a);
    b.showFrame();

    auto r = play(b);
    EXPECT_EQ(r->take(),
              "(a=1, b=0, c=0, d=1, tx=10, ty=0)\n200\n5\n(a=2, b=0, c=0, d=2, tx=11, ty=6)\n"
              "(redMultiplier=0.5, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
              "redOffset=10, greenOffset=0, blueOffset=0, alphaOffset=0)\nundefined\n");
}

// The root's own placement is part of every concatenated transform; offsets that grow past
// 16 bits wrap as the player keeps them.
TEST(Avm1Drawing, ConcatenatedTransformsTakeInTheRootsPlacement) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "kid", 1);
    push(a, {"this"}).getVariable();
    push(a, {"_x", 10}).op(op::SetMember);
    newObject(a, "c", 1, "geom", "ColorTransform", {1, 1, 1, 1, 0, 0, -523, 0});
    push(a, {"kid"}).getVariable();
    push(a, {"transform"}).op(op::GetMember);
    push(a, {"colorTransform", P::reg(1)}).op(op::SetMember);
    newObject(a, "r", 2, "geom", "ColorTransform", {1, 1, 127.5, 1, 0, 0, 0, 0});
    push(a, {"this"}).getVariable();
    push(a, {"transform"}).op(op::GetMember);
    push(a, {"colorTransform", P::reg(2)}).op(op::SetMember);
    traceMember(a, {"kid", "transform", "concatenatedMatrix"});
    traceMember(a, {"kid", "transform", "concatenatedColorTransform"});
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(),
              "(a=1, b=0, c=0, d=1, tx=10, ty=0)\n"
              "(redMultiplier=1, greenMultiplier=1, blueMultiplier=127.5, alphaMultiplier=1, "
              "redOffset=0, greenOffset=0, blueOffset=-1147, alphaOffset=0)\n");
}

// setMask shows a clip only where its mask clip would draw, and hides the mask itself; the
// mask may live under another parent; setMask(null) shows both again.
TEST(Avm1Drawing, SetMaskClipsToAnotherClip) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "pic", 1);
    square(a, "pic", 0xff0000, 0, 0, 100, 100);
    emptyClip(a, "this", "m", 2);
    square(a, "m", 0x0000ff, 20, 20, 40, 40);
    push(a, {"m"}).getVariable();
    push(a, {1, "pic"}).getVariable();
    push(a, {"setMask"}).op(op::CallMethod).op(op::Pop);
    // The second mask sits inside a moved holder: its place counts.
    emptyClip(a, "this", "pic2", 3);
    square(a, "pic2", 0x00ff00, 100, 0, 200, 100);
    emptyClip(a, "this", "holder", 4);
    push(a, {"holder"}).getVariable();
    push(a, {"_x", 50}).op(op::SetMember);
    emptyClip(a, "holder", "m2", 1);
    square(a, "m2", 0x0000ff, 100, 60, 120, 80);
    push(a, {"holder.m2"}).getVariable();
    push(a, {1, "pic2"}).getVariable();
    push(a, {"setMask"}).op(op::CallMethod).op(op::Pop);
    b.doAction(a);
    b.showFrame();
    ActionWriter a2;
    push(a2, {P::null()});
    push(a2, {1, "pic"}).getVariable();
    push(a2, {"setMask"}).op(op::CallMethod).op(op::Pop);
    a2.stop();
    b.doAction(a2);
    b.showFrame();

    auto r = play(b);
    QImage img = r->frame();
    EXPECT_TRUE(near(img.pixel(30, 30), qRgb(255, 0, 0)));      // inside the mask
    EXPECT_TRUE(near(img.pixel(70, 70), qRgb(255, 255, 255)));  // outside it
    EXPECT_TRUE(near(img.pixel(160, 70), qRgb(0, 255, 0)));     // the moved nested mask
    EXPECT_TRUE(near(img.pixel(120, 70), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(img.pixel(160, 20), qRgb(255, 255, 255)));

    r->player->advanceFrame();
    img = r->frame();
    EXPECT_TRUE(near(img.pixel(70, 70), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(img.pixel(30, 30), qRgb(0, 0, 255)));  // the mask is drawn again
}

// endFill closes an open fill with an edge stroked in the current line; a mask named by a
// number that a variable of the root holds (a clip) is taken like one given as a clip.
TEST(Avm1Drawing, EndFillStrokesTheClosingEdgeAndMasksFollowPathsThroughMembers) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "open", 1);
    call(a, "open", "lineStyle", {4, 0x0000ff, 100});
    square(a, "open", 0xff0000, 10, 10, 60, 60);  // left side drawn only by endFill
    emptyClip(a, "this", "shown", 2);
    square(a, "shown", 0x00ff00, 100, 10, 190, 90);
    emptyClip(a, "this", "hole", 3);
    square(a, "hole", 0xffffff, 120, 30, 140, 50);
    push(a, {"_root"}).getVariable();
    push(a, {1234, "hole"}).getVariable().op(op::SetMember);
    push(a, {1234, 1, "shown"}).getVariable();
    push(a, {"setMask"}).op(op::CallMethod).trace();
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "true\n");
    const QImage img = r->frame();
    EXPECT_TRUE(near(img.pixel(10, 35), qRgb(0, 0, 255)));       // the closing edge
    EXPECT_TRUE(near(img.pixel(35, 35), qRgb(255, 0, 0)));       // the fill inside
    EXPECT_TRUE(near(img.pixel(130, 40), qRgb(0, 255, 0)));      // under the mask
    EXPECT_TRUE(near(img.pixel(170, 70), qRgb(255, 255, 255)));  // masked away
    EXPECT_FALSE(near(img.pixel(170, 70), qRgb(0, 255, 0)));
}

// A scroll rectangle shows only that part of the clip, its top left at the clip's origin: the
// rest is neither drawn, hit nor counted in the clip's size, and children move with it.
// Setting undefined shows the whole clip again.
TEST(Avm1Drawing, ScrollRectShowsPartOfTheClip) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    push(a, {"mc"}).getVariable();
    push(a, {"_x", 100}).op(op::SetMember);
    square(a, "mc", 0xff0000, 0, 0, 40, 40);
    square(a, "mc", 0x0000ff, 40, 0, 80, 40);
    emptyClip(a, "mc", "kid", 1);
    square(a, "kid", 0x00ff00, 44, 0, 50, 10);
    newObject(a, "rect", 1, "geom", "Rectangle", {40, 0, 20, 20});
    push(a, {"mc"}).getVariable();
    push(a, {"scrollRect", P::reg(1)}).op(op::SetMember);
    // What is read back is a copy: changing the given one later changes nothing.
    push(a, {"rect"}).getVariable();
    push(a, {"x", 0}).op(op::SetMember);
    traceMember(a, {"mc", "scrollRect"});
    traceMember(a, {"mc", "_width"});
    traceMember(a, {"mc", "_height"});
    push(a, {0, "_root"}).getVariable();
    push(a, {1, "kid"}).getVariable();
    push(a, {"getBounds"}).op(op::CallMethod);
    push(a, {"xMin"}).op(op::GetMember).trace();
    traceCall(a, "mc", "hitTest", {107, 5, true});
    traceCall(a, "mc", "hitTest", {105, 30, true});  // blue there, but below the rectangle
    traceCall(a, "mc", "hitTest", {125, 5, false});
    b.doAction(a);
    b.showFrame();
    ActionWriter a2;
    push(a2, {"mc"}).getVariable();
    push(a2, {"scrollRect", P::undef()}).op(op::SetMember);
    traceMember(a2, {"mc", "scrollRect"});
    traceMember(a2, {"mc", "_width"});
    a2.stop();
    b.doAction(a2);
    b.showFrame();

    auto r = play(b);
    QImage img = r->frame();
    EXPECT_TRUE(near(img.pixel(115, 5), qRgb(0, 0, 255)));       // 55 of the clip, at 15
    EXPECT_TRUE(near(img.pixel(107, 5), qRgb(0, 255, 0)));       // the child moved with it
    EXPECT_TRUE(near(img.pixel(125, 5), qRgb(255, 255, 255)));   // right of the rectangle
    EXPECT_TRUE(near(img.pixel(115, 30), qRgb(255, 255, 255)));  // below it
    EXPECT_TRUE(near(img.pixel(150, 5), qRgb(255, 255, 255)));
    EXPECT_EQ(r->take(), "(x=40, y=0, w=20, h=20)\n20\n20\n104\ntrue\nfalse\nfalse\n");

    r->player->advanceFrame();
    img = r->frame();
    EXPECT_TRUE(near(img.pixel(115, 5), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(img.pixel(150, 30), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(img.pixel(147, 5), qRgb(0, 255, 0)));
    EXPECT_EQ(r->take(), "undefined\n80\n");
}

// A clip that draws nothing reports the largest twips value for its edges. SWF 8 code sees it
// kept in single precision once carried into another clip's space, never in the clip's own.
TEST(Avm1Drawing, EmptyBoundsRoundUpInAnotherSpace) {
    struct Case {
        int version;
        const char* space;
        const char* want;
    };
    for (const Case& c : {Case{7, "this", "6710886.35\n6710886.35\n"},
                          Case{8, "this", "6710886.4\n6710886.4\n"},
                          Case{8, "mc", "6710886.35\n6710886.35\n"}}) {
        swftest::SwfBuilder b(c.version, 200, 100);
        ActionWriter a;
        emptyClip(a, "this", "mc", 1);
        for (int i = 0; i < 2; ++i) {
            push(a, {c.space}).getVariable();
            push(a, {1, "mc"}).getVariable();
            push(a, {"getBounds"}).op(op::CallMethod);
            push(a, {"xMin"}).op(op::GetMember).trace();
        }
        a.stop();
        b.doAction(a);
        b.showFrame();
        EXPECT_EQ(play(b)->take(), c.want) << "SWF " << c.version << " into " << c.space;
    }
}

// Sizing a turned clip takes both scales anew against the clip turned but not scaled: a
// quarter turn first stretches the axis across the asked one, then the one along it.
TEST(Avm1Drawing, SizingATurnedClipTakesBothScales) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    square(a, "mc", 0xff0000, 0, 0, 40, 20);
    setMember(a, "mc", "_rotation", 90);
    for (int i = 0; i < 2; ++i) {
        setMember(a, "mc", "_width", 10);
        for (const char* p : {"_xscale", "_yscale", "_width", "_height"}) traceMember(a, {"mc", p});
    }
    a.stop();
    b.doAction(a);
    b.showFrame();
    EXPECT_EQ(play(b)->take(), "50\n100\n20\n20\n50\n50\n10\n20\n");
}

// A size given to a clip that shows nothing flattens that axis for good: what it draws later
// has no size in either direction.
TEST(Avm1Drawing, SizingAnEmptyClipFlattensIt) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    setMember(a, "mc", "_width", 20);
    square(a, "mc", 0xff0000, 0, 0, 40, 100);
    traceMember(a, {"mc", "_xscale"});
    traceMember(a, {"mc", "_width"});
    traceMember(a, {"mc", "_height"});
    a.stop();
    b.doAction(a);
    b.showFrame();
    EXPECT_EQ(play(b)->take(), "0\n0\n0\n");
}

// A shape hit test finds strokes as well as fills; a clipping layer is not hit itself and
// lets what it masks be hit only inside it.
TEST(Avm1Drawing, ShapeHitTestsSeeStrokesAndClippingLayers) {
    using swftest::PathCmd;
    swftest::SwfBuilder b(8, 400, 200);
    auto rect = [](int x0, int y0, int x1, int y1) {
        swftest::ShapeDesc s;
        s.fills = {{0, 0, 255}};
        s.paths = {{.fill1 = 1,
                    .cmds = {{PathCmd::Move, x0, y0},
                             {PathCmd::Line, x1, y0},
                             {PathCmd::Line, x1, y1},
                             {PathCmd::Line, x0, y1},
                             {PathCmd::Line, x0, y0}}}};
        return s;
    };
    swftest::ShapeDesc line;
    line.lines = {{200, {0, 0, 0}}};  // 10 pixels wide
    line.paths = {{.line = 1, .cmds = {{PathCmd::Move, 0, 1000}, {PathCmd::Line, 2000, 1000}}}};
    b.place(b.defineShape(line), 1);
    b.place(b.defineShape(rect(2000, 0, 3000, 2000)), 2, {}, {}, {}, 3);  // masks depth 3
    b.place(b.defineShape(rect(2000, 0, 4000, 2000)), 3);
    ActionWriter a;
    for (const auto& [x, y] :
         std::vector<std::pair<int, int>>{{50, 50}, {50, 58}, {120, 50}, {170, 50}})
        traceCall(a, "_root", "hitTest", {x, y, true});
    // A mask a script sets keeps the test inside it as well.
    emptyClip(a, "this", "m", 10);
    square(a, "m", 0xff0000, 0, 150, 100, 200);
    emptyClip(a, "this", "k", 11);
    square(a, "k", 0x00ff00, 0, 150, 50, 200);
    call(a, "m", "setMask", {"k"});
    traceCall(a, "m", "hitTest", {20, 170, true});
    traceCall(a, "m", "hitTest", {70, 170, true});
    a.stop();
    b.doAction(a);
    b.showFrame();
    EXPECT_EQ(play(b)->take(), "true\nfalse\ntrue\nfalse\ntrue\nfalse\n");
}

// A script moving, hiding or fading the root moves everything on it: what is drawn and where
// the mouse lands in local terms. hitTest's points and localToGlobal stay in the root's space.
TEST(Avm1Drawing, TheRootCarriesItsPlacement) {
    swftest::SwfBuilder b(6, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    square(a, "mc", 0xff0000, 0, 0, 20, 20);
    setMember(a, "mc", "_y", 10);
    setMember(a, "_root", "_x", 100);
    push(a, {"_root"}).getVariable();
    push(a, {"_x"}).op(op::GetMember).trace();
    push(a, {"pt", "x", 5, "y", 5, 2}).op(op::InitObject).setVariable();
    for (const char* way : {"localToGlobal", "globalToLocal", "globalToLocal"}) {
        push(a, {"pt"}).getVariable();
        push(a, {1, "mc"}).getVariable();
        push(a, {way}).op(op::CallMethod).pop();
        push(a, {"pt"}).getVariable();
        push(a, {"y"}).op(op::GetMember).trace();
    }
    // The point's members count even where version bits hide them from this movie.
    auto propFlags = [&](int set, int clear) {
        push(a, {clear, set, P::null(), "pt", 4, "ASSetPropFlags"}).op(op::CallFunction).pop();
    };
    propFlags(1024, 0);  // out of sight before SWF 7
    push(a, {"pt"}).getVariable();
    push(a, {1, "mc"}).getVariable();
    push(a, {"localToGlobal"}).op(op::CallMethod).pop();
    propFlags(0, 1024);
    push(a, {"pt"}).getVariable();
    push(a, {"y"}).op(op::GetMember).trace();
    b.doAction(a);
    b.showFrame();
    ActionWriter a2;
    push(a2, {"_root"}).getVariable();
    push(a2, {"_xmouse"}).op(op::GetMember).trace();
    push(a2, {"mc"}).getVariable();
    push(a2, {"_xmouse"}).op(op::GetMember).trace();
    for (int x : {110, 10}) {
        push(a2, {true, 15, x, 3, "_root"}).getVariable();
        push(a2, {"hitTest"}).op(op::CallMethod).trace();
    }
    setMember(a2, "_root", "_alpha", 50);
    b.doAction(a2);
    b.showFrame();
    ActionWriter a3;
    setMember(a3, "_root", "_visible", false);
    a3.stop();
    b.doAction(a3);
    b.showFrame();

    auto r = play(b);
    QImage img = r->frame();
    EXPECT_EQ(img.pixel(105, 15), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(5, 15), qRgb(255, 255, 255));
    EXPECT_EQ(r->take(), "100\n15\n5\n-5\n5\n");

    r->player->handleEvent(swf::InputEvent::mouseMove(115, 10));
    r->player->advanceFrame();
    EXPECT_EQ(r->take(), "15\n15\nfalse\ntrue\n");
    img = r->frame();
    EXPECT_TRUE(near(img.pixel(105, 15), qRgb(255, 127, 127)));
    EXPECT_EQ(img.pixel(5, 15), qRgb(255, 255, 255));

    r->player->advanceFrame();
    EXPECT_EQ(r->frame().pixel(105, 15), qRgb(255, 255, 255));
}

// Turning a clip (or the root) step by step reads back the very degrees given, wrapped into
// (-180, 180], without drifting off whole numbers.
TEST(Avm1Drawing, RotationStepsReadBackWhole) {
    swftest::SwfBuilder b(6, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    for (const char* clip : {"mc", "_root"}) {
        setMember(a, clip, "_rotation", 170);
        for (int i = 0; i < 4; ++i) {
            push(a, {clip}).getVariable();
            push(a, {"_rotation"});
            push(a, {clip}).getVariable();
            push(a, {"_rotation"}).op(op::GetMember);
            push(a, {7}).add2().op(op::SetMember);
            push(a, {clip}).getVariable();
            push(a, {"_rotation"}).op(op::GetMember).trace();
        }
    }
    a.stop();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    const std::string steps = "177\n-176\n-169\n-162\n";
    EXPECT_EQ(r->take(), steps + steps);
}

// hitTest by shape hits only the inside of the fill: the corner of a square is out, though
// the bounds hold it.
TEST(Avm1Drawing, ShapeHitsLeaveOutTheEdge) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "mc", 1);
    square(a, "mc", 0xff0000, 10, 10, 50, 50);
    const struct {
        int x, y;
        bool shape;
    } cases[] = {{5, 5, true}, {10, 10, true}, {15, 15, true}, {10, 10, false}, {49, 30, true}};
    for (const auto& c : cases) {
        push(a, {c.shape, c.y, c.x, 3, "mc"}).getVariable();
        push(a, {"hitTest"}).op(op::CallMethod).trace();
    }
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "false\nfalse\ntrue\ntrue\ntrue\n");
}

// Flash 8's display settings set by scripts are drawn: a blend mode by name, filters given as
// filter objects (kept as copies a read gives back), the bitmap cache flag.
TEST(Avm1Drawing, ScriptsSetBlendModesFiltersAndTheBitmapCache) {
    swftest::SwfBuilder b(8, 200, 100);
    ActionWriter a;
    emptyClip(a, "this", "inv", 1);
    square(a, "inv", 0xff0000, 10, 10, 60, 60);
    setMember(a, "inv", "blendMode", "invert");
    emptyClip(a, "this", "blur", 2);
    square(a, "blur", 0x0000ff, 120, 20, 160, 60);
    // blur.filters = [new flash.filters.BlurFilter(16, 16, 1)]
    push(a, {"blur"}).getVariable();
    push(a, {"filters", 1, 16, 16, 3, "flash"}).getVariable();
    push(a, {"filters"}).op(op::GetMember);
    push(a, {"BlurFilter"}).op(0x53);
    push(a, {1}).op(op::InitArray).op(op::SetMember);
    setMember(a, "blur", "cacheAsBitmap", true);
    for (const char* read : {"blendMode", "cacheAsBitmap"}) {
        push(a, {"inv"}).getVariable();
        push(a, {read}).op(op::GetMember).trace();
    }
    push(a, {"blur"}).getVariable();
    push(a, {"filters"}).op(op::GetMember);
    push(a, {0}).op(op::GetMember);
    push(a, {"blurX"}).op(op::GetMember).trace();
    push(a, {"blur"}).getVariable();
    push(a, {"cacheAsBitmap"}).op(op::GetMember).trace();
    b.doAction(a);
    b.showFrame();
    auto r = play(b);
    EXPECT_EQ(r->take(), "invert\nfalse\n16\ntrue\n");
    const QImage img = r->frame();
    EXPECT_TRUE(near(img.pixel(35, 35), qRgb(0, 0, 0)));  // the white beneath, inverted
    EXPECT_GT(qBlue(img.pixel(140, 40)), 200);
    // The blur spreads the square past its edge.
    EXPECT_LT(qRed(img.pixel(165, 40)), 250);
}
