// Sprites: their own timelines under the root, nesting, colour transforms down the tree,
// masks made of sprites, and seeking with sprite states.
#include <gtest/gtest.h>

#include "engine/runtime/display_list.h"
#include "tests/engine/pixel_util.h"
#include "tests/engine/test_util.h"

using enginetest::load;
using enginetest::pixelNear;
using enginetest::stage;
using swftest::Rgba;
using swftest::SpriteBuilder;
using swftest::SwfBuilder;

namespace {

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kWhite(255, 255, 255);

// The timeline of a sprite that shows red, green, blue in its three frames (a 100 x 100 px
// square at 0,0).
SpriteBuilder rgbFrames(SwfBuilder& b) {
    const uint16_t r = b.defineRect(0, 0, 2000, 2000, {255, 0, 0});
    const uint16_t g = b.defineRect(0, 0, 2000, 2000, {0, 255, 0});
    const uint16_t bl = b.defineRect(0, 0, 2000, 2000, {0, 0, 255});
    SpriteBuilder s;
    s.place(r, 1);
    s.showFrame();
    s.replace(g, 1);
    s.showFrame();
    s.replace(bl, 1);
    s.showFrame();
    return s;
}

uint16_t rgbSprite(SwfBuilder& b) { return b.defineSprite(rgbFrames(b)); }

}  // namespace

TEST(Sprites, OwnTimelineAdvancesEachTickAndLoops) {
    SwfBuilder b(6, 200, 100);
    b.setBackground({255, 255, 255});
    b.place(rgbSprite(b), 1);
    b.showFrame();  // a one-frame root: only the sprite moves
    swf::Player p(load(b.bytes()));
    const QColor cycle[] = {kRed, kGreen, kBlue, kRed, kGreen};
    for (const QColor& want : cycle) {
        EXPECT_TRUE(pixelNear(stage(p), 50, 50, want));
        p.advanceFrame();
    }
}

TEST(Sprites, NestedSpritesEachKeepTheirFrame) {
    SwfBuilder b(6, 200, 100);
    b.setBackground({255, 255, 255});
    const uint16_t inner = rgbSprite(b);
    SpriteBuilder outer;
    outer.place(inner, 1);
    outer.showFrame();
    // The outer sprite moves its child right on its second frame; the child keeps running.
    outer.move(1, {1, 1, 0, 0, 2000, 0});
    outer.showFrame();
    b.place(b.defineSprite(outer), 1);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    EXPECT_TRUE(pixelNear(stage(p), 50, 50, kRed));
    p.advanceFrame();
    QImage img = stage(p);
    EXPECT_TRUE(pixelNear(img, 150, 50, kGreen));
    EXPECT_TRUE(pixelNear(img, 50, 50, kWhite));
    p.advanceFrame();  // outer loops to its frame 0: the child moves back but keeps its frame
    img = stage(p);
    EXPECT_TRUE(pixelNear(img, 50, 50, kBlue));
}

TEST(Sprites, ColorTransformAppliesToTheWholeSubtree) {
    SwfBuilder b(6, 200, 100);
    b.setBackground({0, 0, 0});
    const uint16_t white = b.defineRect(0, 0, 2000, 2000, {255, 255, 255});
    SpriteBuilder inner;
    inner.place(white, 1, {}, swftest::Cxform{256, 0, 0, 256});  // keeps red only
    inner.showFrame();
    SpriteBuilder outer;
    outer.place(b.defineSprite(inner), 1, {}, swftest::Cxform{128, 256, 256, 256});  // halves red
    outer.showFrame();
    b.place(b.defineSprite(outer), 1, {}, swftest::Cxform{256, 256, 256, 256, 0, 0, 100, 0});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    EXPECT_TRUE(pixelNear(stage(p), 50, 50, QColor(128, 0, 100), 3));
}

TEST(Sprites, MaskMadeOfASpriteAndNestedMasks) {
    SwfBuilder b(6, 200, 100);
    b.setBackground({255, 255, 255});
    const uint16_t left = b.defineRect(0, 0, 2000, 2000, {0, 0, 0});  // 0..100 px
    SpriteBuilder maskSprite;
    maskSprite.place(left, 1);
    maskSprite.showFrame();
    const uint16_t maskId = b.defineSprite(maskSprite);
    const uint16_t red = b.defineRect(0, 0, 4000, 2000, {255, 0, 0});
    const uint16_t top = b.defineRect(0, 0, 4000, 1000, {0, 0, 0});  // 0..50 px high
    // Inside a sprite: a second mask over the top half, so red shows where both allow.
    SpriteBuilder content;
    content.place(top, 1, {}, {}, {}, 3);
    content.place(red, 2);
    content.showFrame();
    b.place(maskId, 1, {}, {}, {}, 5);
    b.place(b.defineSprite(content), 2);
    b.place(red, 6, {1, 1, 0, 0, 0, 1600});  // above the mask's depths: not clipped
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = stage(p);
    EXPECT_TRUE(pixelNear(img, 50, 25, kRed));
    EXPECT_TRUE(pixelNear(img, 150, 25, kWhite));  // outside the sprite mask
    EXPECT_TRUE(pixelNear(img, 50, 65, kWhite));   // outside the inner mask
    EXPECT_TRUE(pixelNear(img, 150, 95, kRed));    // unmasked depth
}

TEST(Sprites, SeeksKeepPersistingSpritesAndRestartRecreatedOnes) {
    SwfBuilder b(6, 200, 100);
    b.setBackground({255, 255, 255});
    const uint16_t sp = rgbSprite(b);
    b.place(sp, 1);  // lives through all root frames
    b.showFrame();
    b.place(sp, 2, {1, 1, 0, 0, 2000, 0});  // placed on frame 1 only
    b.showFrame();
    b.remove(2);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    p.advanceFrame();  // root 1: first sprite at its frame 1, second just placed
    QImage img = stage(p);
    EXPECT_TRUE(pixelNear(img, 50, 50, kGreen));
    EXPECT_TRUE(pixelNear(img, 150, 50, kRed));
    p.gotoFrame(0);  // the first one persists: it keeps its frame
    EXPECT_TRUE(pixelNear(stage(p), 50, 50, kGreen));
    p.gotoFrame(2);
    p.gotoFrame(1);  // the second one is made again: it starts over
    img = stage(p);
    EXPECT_TRUE(pixelNear(img, 50, 50, kGreen));
    EXPECT_TRUE(pixelNear(img, 150, 50, kRed));
    // Seeking twice to the same place gives the same lists, sprite states included.
    const swf::DisplayList here = p.displayList();
    p.gotoFrame(2);
    p.gotoFrame(1);
    EXPECT_EQ(p.displayList(), here);
}

TEST(Sprites, SelfPlacingSpritesStopAtTheNestingLimit) {
    SwfBuilder b(6, 100, 100);
    const uint16_t id = b.reserveId();
    SpriteBuilder s;
    s.place(id, 1);  // places itself
    s.place(id, 2);
    s.showFrame();
    swftest::BitWriter w;
    w.u16(id);
    w.u16(1);
    w.raw(s.tagBytes());
    w.u16(0);  // End
    b.rawTag(swftest::tag::DefineSprite, w.bytes());
    b.place(id, 1);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    for (int i = 0; i < 3; ++i) p.advanceFrame();
    (void)stage(p);  // finishes: the instance budget cuts the doubling tree
}

TEST(Sprites, ChildrenOfAScaledSpriteLandOnWholeTwips) {
    // Scaled by 0.55545, a child placed 10000 twips down sits at 5554.5 twips, kept as 5555:
    // its square's bottom edge comes to 305.52 px and takes row 305, which the unrounded
    // 305.498 px would leave.
    SwfBuilder b(8, 100, 400);
    b.setBackground({255, 255, 255});
    SpriteBuilder s;
    s.place(b.defineRect(0, 0, 1000, 1000, {255, 0, 0}), 1, {1, 1, 0, 0, 0, 10000});
    s.showFrame();
    b.place(b.defineSprite(s), 1, {1, 0.555450439453125, 0, 0, 0, 0});
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const QImage img = stage(p, swf::Quality::Low);
    EXPECT_EQ(img.pixelColor(10, 277), kWhite);
    EXPECT_EQ(img.pixelColor(10, 278), kRed);
    EXPECT_EQ(img.pixelColor(10, 305), kRed);
    EXPECT_EQ(img.pixelColor(10, 306), kWhite);
}

TEST(Sprites, PlayTheFramesTheirStreamHoldsAndLoopOnlyWhenItEnds) {
    // The header claims one frame; the stream holds three. Cut off before its End tag, the
    // sprite stays on its last frame; ended properly, it goes round again.
    for (const bool ended : {false, true}) {
        SCOPED_TRACE(ended);
        SwfBuilder b(6, 200, 100);
        b.setBackground({255, 255, 255});
        const SpriteBuilder s = rgbFrames(b);
        const uint16_t id = b.reserveId();
        swftest::BitWriter w;
        w.u16(id);
        w.u16(1);
        w.raw(s.tagBytes());
        if (ended) w.u16(0);
        b.rawTag(swftest::tag::DefineSprite, w.bytes());
        b.place(id, 1);
        b.showFrame();
        swf::Player p(load(b.bytes()));
        const QColor seen[] = {kRed, kGreen, kBlue, ended ? kRed : kBlue, ended ? kGreen : kBlue};
        for (const QColor& want : seen) {
            EXPECT_TRUE(pixelNear(stage(p), 50, 50, want));
            p.advanceFrame();
        }
    }
}

// A place onto a taken depth: SWF 6 and later keep what is there, SWF 5 replaces it. A move
// (with or without a character) onto an empty depth places nothing.
TEST(Sprites, PlacingOntoTakenOrEmptyDepthsFollowsTheVersion) {
    struct Case {
        int version;
        QColor secondFrame;
    } cases[] = {{5, kGreen}, {6, kRed}, {8, kRed}};
    for (const Case& c : cases) {
        SwfBuilder b(c.version, 200, 100);
        b.setBackground({255, 255, 255});
        const uint16_t red = b.defineRect(0, 0, 2000, 2000, {255, 0, 0});
        const uint16_t green = b.defineRect(0, 0, 2000, 2000, {0, 255, 0});
        const uint16_t blue = b.defineRect(0, 0, 2000, 2000, {0, 0, 255});
        b.place(red, 1);
        b.showFrame();
        b.place(green, 1);
        b.showFrame();
        b.remove(1);
        b.replace(blue, 1);
        b.showFrame();
        swf::Player p(load(b.bytes()));
        p.stop();
        EXPECT_TRUE(pixelNear(stage(p), 50, 50, kRed)) << c.version;
        p.gotoFrame(1);
        EXPECT_TRUE(pixelNear(stage(p), 50, 50, c.secondFrame)) << c.version;
        p.gotoFrame(2);
        EXPECT_TRUE(pixelNear(stage(p), 50, 50, kWhite)) << c.version;
        p.gotoFrame(0);
        p.gotoFrame(2);  // the same by a rebuild from the start
        EXPECT_TRUE(pixelNear(stage(p), 50, 50, kWhite)) << c.version;
    }
}
