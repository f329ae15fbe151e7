// Loading: bit fields, the three containers, header fields, the tag stream, shapes and
// placements, and what broken or hostile files do.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstring>
#include <random>

#include "engine/format/bit_reader.h"
#include "engine/format/filter.h"
#include "engine/format/place.h"
#include "engine/format/shape.h"
#include "engine/format/text.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"
#include "tests/engine/test_util.h"
#include "tests/support/swf_writer_media.h"

using enginetest::load;
using swftest::BitWriter;
using swftest::Compression;
using swftest::SwfBuilder;

namespace {

SwfBuilder sampleMovie() {
    SwfBuilder b(8, 320, 240, 12.5);
    b.setBackground({10, 20, 30});
    const uint16_t rect = b.defineRect(0, 0, 2000, 1000, {255, 0, 0}, 3);
    b.place(rect, 1);
    b.showFrame();
    b.label("second");
    b.move(1, swftest::Matrix{.tx = 100, .ty = 200});
    b.showFrame();
    b.showFrame();
    return b;
}

std::string loadError(const std::vector<uint8_t>& bytes) {
    try {
        load(bytes);
    } catch (const swf::LoadError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(BitReader, FieldsAcrossBytesAndPastTheEnd) {
    BitWriter w;
    w.writeUB(5, 3);
    w.writeSB(-300, 11);
    w.writeFB(1.5, 19);
    w.align();
    w.u32(0xdeadbeef);
    w.string("abc");
    const auto bytes = w.bytes();
    swf::format::BitReader r(bytes);
    EXPECT_EQ(r.ub(3), 5u);
    EXPECT_EQ(r.sb(11), -300);
    EXPECT_DOUBLE_EQ(r.fb(19), 1.5);
    EXPECT_EQ(r.u32(), 0xdeadbeefu);
    EXPECT_EQ(r.string(), "abc");
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.ub(32), 0u);
    EXPECT_TRUE(r.overrun());

    const uint8_t unterminated[] = {'x', 'y'};
    swf::format::BitReader s(unterminated);
    EXPECT_EQ(s.string(), "xy");
    EXPECT_TRUE(s.overrun());
    EXPECT_EQ(s.bytes(5).size(), 0u);
}

TEST(Container, AllThreeCompressionsGiveTheSameMovie) {
    const SwfBuilder b = sampleMovie();
    const auto plain = b.bytes(Compression::None);
    for (auto c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        SCOPED_TRACE(static_cast<int>(c));
        auto movie = load(b.bytes(c));
        const swf::MovieInfo& i = swf::movieInfo(*movie);
        const char* sig = c == Compression::None ? "FWS" : c == Compression::Zlib ? "CWS" : "ZWS";
        EXPECT_STREQ(i.signature, sig);
        EXPECT_EQ(i.version, 8);
        EXPECT_EQ(i.length, plain.size());
        EXPECT_EQ(i.widthPixels(), 320);
        EXPECT_EQ(i.heightPixels(), 240);
        EXPECT_DOUBLE_EQ(i.frameRate, 12.5);
        EXPECT_EQ(i.frameCount, 3);
        EXPECT_EQ(i.background, QColor(10, 20, 30));
        EXPECT_FALSE(i.truncated);
        EXPECT_EQ(i.tagCounts.at("ShowFrame"), 3);
        EXPECT_EQ(i.tagCounts.at("DefineShape3"), 1);
        EXPECT_EQ(i.tagCounts.at("PlaceObject2"), 2);
        EXPECT_EQ(i.tagCounts.at("FrameLabel"), 1);
        EXPECT_EQ(i.tagCounts.at("End"), 1);
        EXPECT_EQ(i.skippedTags, 0);
        EXPECT_EQ(movie->root.labels.at("second"), 1);
    }
}

TEST(Container, DeclaredLengthLimits) {
    for (auto c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        SwfBuilder huge = sampleMovie();
        huge.setLengthOverride((1u << 30) + 1);
        EXPECT_NE(loadError(huge.bytes(c)).find("too large"), std::string::npos);

        // Declared longer than the data really inflates to: cut cleanly, still playable.
        SwfBuilder longer = sampleMovie();
        longer.setLengthOverride(static_cast<uint32_t>(sampleMovie().bytes().size() + 5000));
        auto movie = load(longer.bytes(c));
        EXPECT_TRUE(swf::movieInfo(*movie).truncated);
        EXPECT_EQ(swf::movieInfo(*movie).tagCounts.at("ShowFrame"), 3);
    }
    // Declared shorter: the stream stops there (here inside the second frame).
    auto plain = sampleMovie().bytes();
    enginetest::setDeclaredLength(plain, static_cast<uint32_t>(plain.size() - 6));
    auto cut = load(plain);
    EXPECT_TRUE(swf::movieInfo(*cut).truncated);
    EXPECT_EQ(swf::movieInfo(*cut).tagCounts.count("End"), 0u);
}

TEST(Container, NotASwfOrTooShort) {
    EXPECT_NE(loadError({}).find("not a SWF"), std::string::npos);
    EXPECT_NE(
        loadError({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}).find("not a SWF file (signature"),
        std::string::npos);
    EXPECT_EQ(loadError({'F', 'W', 'S', 6, 20}), "truncated header");
    // Complete container header, but the stage rectangle is cut off.
    EXPECT_EQ(loadError({'F', 'W', 'S', 6, 30, 0, 0, 0, 0x78, 0}), "truncated header");
    EXPECT_EQ(loadError({'Z', 'W', 'S', 13, 30, 0, 0, 0, 1, 0}), "truncated header");
    // zlib garbage after a valid signature.
    std::vector<uint8_t> garbage = {'C', 'W', 'S', 6, 100, 0, 0, 0};
    for (int i = 0; i < 64; ++i) garbage.push_back(static_cast<uint8_t>(i * 37));
    EXPECT_FALSE(loadError(garbage).empty());
    // Each error is one line.
    EXPECT_EQ(loadError(garbage).find('\n'), std::string::npos);
}

// Every prefix and many corrupted copies of real files either load or fail with LoadError.
TEST(Container, CutAndCorruptedFilesNeverCrash) {
    SwfBuilder b = sampleMovie();
    swftest::ShapeDesc s;
    s.version = 4;
    s.fills = {{1, 2, 3, 4}};
    s.lines = {{60, {9, 9, 9, 255}}};
    s.paths = {{.fill1 = 1,
                .line = 1,
                .cmds = {{swftest::PathCmd::Move, 10, 10},
                         {swftest::PathCmd::Curve, 500, 10, 200, -300},
                         {swftest::PathCmd::Line, 10, 10}}}};
    b.place(b.defineShape(s), 2);
    b.showFrame();
    std::mt19937 rng(7);
    for (auto c : {Compression::None, Compression::Zlib, Compression::Lzma}) {
        const auto whole = b.bytes(c);
        for (size_t n = 0; n <= whole.size(); ++n) {
            std::vector<uint8_t> prefix(whole.begin(), whole.begin() + n);
            try {
                auto movie = load(prefix);
                swf::Player p(movie);
                p.gotoFrame(p.totalFrames() - 1);
            } catch (const swf::LoadError&) {
            }
        }
        for (int round = 0; round < 300; ++round) {
            auto bad = whole;
            for (int k = 0; k < 3; ++k) bad[8 + rng() % (bad.size() - 8)] ^= 1 << (rng() % 8);
            try {
                auto movie = load(bad);
                swf::Player p(movie);
                p.gotoFrame(p.totalFrames() - 1);
            } catch (const swf::LoadError&) {
            }
        }
    }
}

TEST(TagStream, CountsUnknownAndSkipsCleanly) {
    SwfBuilder b = sampleMovie();
    const uint8_t junk[] = {1, 2, 3, 4, 5};
    b.rawTag(200, junk);
    b.rawTag(swftest::tag::DoAction, std::span<const uint8_t>(junk, 1));
    b.rawTag(swftest::tag::ShowFrame, {}, /*forceLong=*/true);
    b.setFrameCountOverride(4);
    auto movie = load(b.bytes());
    const auto& i = swf::movieInfo(*movie);
    EXPECT_EQ(i.tagCounts.at("Unknown(200)"), 1);
    EXPECT_EQ(i.tagCounts.at("DoAction"), 1);
    EXPECT_EQ(i.tagCounts.at("ShowFrame"), 4);
    EXPECT_EQ(i.skippedTags, 2);
    EXPECT_FALSE(i.truncated);
}

TEST(TagStream, TagRunningPastTheEndIsCut) {
    SwfBuilder b = sampleMovie();
    auto bytes = b.bytes(Compression::None, /*appendEnd=*/false);
    // A PlaceObject2 that claims 1000 bytes but has three.
    enginetest::append(bytes, swftest::tagHeader(swftest::tag::PlaceObject2, 1000));
    enginetest::append(bytes, {0x02, 0x05, 0x00});
    enginetest::setDeclaredLength(bytes, static_cast<uint32_t>(bytes.size()));
    auto movie = load(bytes);
    const auto& i = swf::movieInfo(*movie);
    EXPECT_TRUE(i.truncated);
    EXPECT_EQ(i.tagCounts.at("PlaceObject2"), 2);  // the cut one is not counted
    swf::Player p(movie);
    EXPECT_EQ(p.totalFrames(), 3);
}

TEST(TagStream, FrameCountZeroAndFramesBeyondTheTags) {
    SwfBuilder zero = sampleMovie();
    zero.setFrameCountOverride(0);
    swf::Player p0(load(zero.bytes()));
    EXPECT_EQ(p0.totalFrames(), 1);
    EXPECT_EQ(swf::movieInfo(p0.movie()).frameCount, 0);

    SwfBuilder more = sampleMovie();
    more.setFrameCountOverride(10);
    swf::Player p(load(more.bytes()));
    EXPECT_EQ(p.totalFrames(), 10);
    p.gotoFrame(2);
    const swf::DisplayList atTwo = p.displayList();
    p.gotoFrame(9);
    EXPECT_EQ(p.displayList(), atTwo);
}

namespace {

void straightEdge(BitWriter& w, int dx, int dy) {
    const int n = std::max(2, swftest::sbBits({dx, dy}));
    w.writeUB(1, 1);
    w.writeUB(1, 1);
    w.writeUB(n - 2, 4);
    w.writeUB(1, 1);
    w.writeSB(dx, n);
    w.writeSB(dy, n);
}

// DefineShape3: a gradient fill then a solid one, a line, four edges, then a new-styles
// record with one more solid fill and one edge.
std::vector<uint8_t> shapeWithGradientAndNewStyles() {
    BitWriter w;
    w.u16(7);
    swftest::writeRect(w, 0, 100, 0, 100);
    w.u8(2);
    w.u8(0x10);
    swftest::writeMatrix(w, {.sx = 0.5, .sy = 0.5});
    w.writeUB(0, 2);
    w.writeUB(0, 2);
    w.writeUB(2, 4);
    w.u8(0);
    swftest::writeRgba(w, {255, 0, 0, 255});
    w.u8(255);
    swftest::writeRgba(w, {0, 0, 255, 255});
    w.u8(0x00);
    swftest::writeRgba(w, {0, 255, 0, 128});
    w.u8(1);
    w.u16(40);
    swftest::writeRgba(w, {0, 0, 0, 255});
    w.writeUB(2, 4);  // fill bits
    w.writeUB(1, 4);  // line bits
    w.writeUB(0, 1);
    w.writeUB(0x0d, 5);  // line, fill1, move
    w.writeUB(2, 5);
    w.writeSB(0, 2);
    w.writeSB(0, 2);
    w.writeUB(2, 2);  // fill1 = the solid green
    w.writeUB(1, 1);  // line 1
    straightEdge(w, 100, 0);
    straightEdge(w, 0, 100);
    straightEdge(w, -100, 0);
    straightEdge(w, 0, -100);
    w.writeUB(0, 1);
    w.writeUB(0x14, 5);  // new styles, fill1
    w.writeUB(1, 2);     // fill1 = 1 of the new array
    w.align();
    w.u8(1);
    w.u8(0x00);
    swftest::writeRgba(w, {1, 2, 3, 255});
    w.u8(0);
    w.writeUB(1, 4);
    w.writeUB(0, 4);
    straightEdge(w, 10, 10);
    w.writeUB(0, 6);  // end of shape
    w.align();
    return w.take();
}

}  // namespace

TEST(Shapes, GradientAndNewStylesStayInSync) {
    const auto body = shapeWithGradientAndNewStyles();
    const auto s = swf::format::parseDefineShape(body, 3);
    EXPECT_FALSE(s.truncated);
    EXPECT_EQ(s.id, 7);
    ASSERT_EQ(s.fills.size(), 3u);
    EXPECT_TRUE(s.fills[0].isGradient());
    ASSERT_EQ(s.fills[0].gradient.stops.size(), 2u);
    EXPECT_EQ(s.fills[0].gradient.stops[1].color, (swf::format::Rgba{0, 0, 255, 255}));
    EXPECT_DOUBLE_EQ(s.fills[0].matrix.sx, 0.5);
    EXPECT_EQ(s.fills[1].color, (swf::format::Rgba{0, 255, 0, 128}));
    EXPECT_EQ(s.fills[2].color, (swf::format::Rgba{1, 2, 3, 255}));
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].width, 40);
    EXPECT_EQ(s.groupCount, 2u);
    ASSERT_EQ(s.paths.size(), 2u);
    EXPECT_EQ(s.paths[0].fill1, 2u);
    EXPECT_EQ(s.paths[0].line, 1u);
    EXPECT_EQ(s.paths[0].edges.size(), 4u);
    EXPECT_EQ(s.paths[1].fill1, 3u);
    EXPECT_EQ(s.paths[1].group, 1u);
    EXPECT_EQ(s.paths[1].edges[0].x1, 10);
}

TEST(Shapes, AbsurdCountsAreBounded) {
    // 2000 edges with a limit of 100: cut at the limit.
    BitWriter w;
    w.u16(1);
    swftest::writeRect(w, 0, 100, 0, 100);
    w.u8(1);
    w.u8(0);
    swftest::writeRgb(w, {1, 1, 1});
    w.u8(0);
    w.writeUB(1, 4);
    w.writeUB(0, 4);
    w.writeUB(0, 1);
    w.writeUB(0x04, 5);
    w.writeUB(1, 1);
    for (int i = 0; i < 2000; ++i) straightEdge(w, i % 2 ? 5 : -5, 3);
    w.writeUB(0, 6);
    const auto body = w.take();
    swf::format::ShapeLimits limits;
    limits.maxEdges = 100;
    const auto cut = swf::format::parseDefineShape(body, 1, limits);
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.edgeCount, 100u);
    EXPECT_EQ(swf::format::parseDefineShape(body, 1).edgeCount, 2000u);

    // A style budget smaller than the shape's styles stops the shape.
    swf::format::ShapeLimits fewStyles;
    fewStyles.maxStyles = 1;
    const auto styled =
        swf::format::parseDefineShape(shapeWithGradientAndNewStyles(), 3, fewStyles);
    EXPECT_TRUE(styled.truncated);
    EXPECT_EQ(styled.fills.size() + styled.lines.size(), 1u);

    // Extended style counts of 65535 with no styles behind them.
    const std::vector<uint8_t> lying = {1, 0, 0x08, 0, 0xff, 0xff, 0xff, 0x00};
    const auto s = swf::format::parseDefineShape(lying, 3);
    EXPECT_TRUE(s.truncated);
    EXPECT_LE(s.fills.size(), 1u);

    // The same through a whole movie, with the shape placed and drawn.
    SwfBuilder b;
    std::vector<uint8_t> tag = lying;
    b.rawTag(swftest::tag::DefineShape3, tag);
    b.place(1, 1);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    QImage img(50, 50, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&img);
    p.render(painter, img.rect(), swf::ScaleMode::ShowAll);
}

TEST(Shapes, PositionsSummedFromHostileDeltasStayInRange) {
    using swf::format::kMaxTwips;
    // A move to the far right, then 40000 edges further right still.
    BitWriter w;
    w.u16(1);
    swftest::writeRect(w, 0, 100, 0, 100);
    w.u8(0);
    w.u8(0);
    w.writeUB(0, 4);
    w.writeUB(0, 4);
    w.writeUB(0, 1);
    w.writeUB(0x01, 5);
    w.writeUB(31, 5);
    w.writeSB(kMaxTwips - 1, 31);
    w.writeSB(0, 31);
    for (int i = 0; i < 40000; ++i) straightEdge(w, 65535, -65535);
    w.writeUB(0, 6);
    const auto shape = swf::format::parseDefineShape(w.take(), 1);
    ASSERT_EQ(shape.edgeCount, 40000u);
    const auto& last = shape.paths.back().edges.back();
    EXPECT_EQ(last.x1, kMaxTwips);
    EXPECT_EQ(last.y1, -kMaxTwips);

    // Static text: 255 glyphs advancing 2^31 - 1 twips each, then a run that follows them.
    BitWriter t;
    t.u16(2);
    swftest::writeRect(t, 0, 100, 0, 100);
    swftest::writeMatrix(t, {});
    t.u8(1);   // glyph bits
    t.u8(32);  // advance bits
    t.u8(0x81);
    t.u16(0);
    t.u8(255);
    for (int i = 0; i < 255; ++i) {
        t.writeUB(0, 1);
        t.writeSB(0x7fffffff, 32);
    }
    t.align();
    t.u8(0x80);
    t.u8(0);
    t.u8(0);
    const auto text = swf::format::parseDefineText(t.take(), 1);
    ASSERT_EQ(text.runs.size(), 2u);
    EXPECT_EQ(text.runs[1].x, kMaxTwips);
}

TEST(TagStream, CommandBudgetCutsTheTimeline) {
    SwfBuilder b;
    const uint16_t rect = b.defineRect(0, 0, 100, 100, {255, 0, 0});
    b.place(rect, 1);
    for (int f = 0; f < 500; ++f) {
        b.move(1, {.tx = f});
        b.showFrame();
    }
    swf::LoadLimits limits;
    limits.maxCommandsPerMovie = 100;
    auto movie = swf::loadMovie(b.bytes(), limits);
    EXPECT_TRUE(swf::movieInfo(*movie).truncated);
    swf::Player p(movie);
    EXPECT_EQ(p.totalFrames(), 500);
    p.gotoFrame(499);
    EXPECT_EQ(p.displayList().objects.at(1).matrix.tx, 98);  // the last move that was kept
}

TEST(Placement, PlaceObject3ExtrasAreReadOver) {
    BitWriter w;
    w.u8(0x26);  // name, matrix, character
    w.u8(0x0f);  // class name, cache as bitmap, blend mode, filters
    w.u16(5);
    w.string("Foo");
    w.u16(3);
    swftest::writeMatrix(w, {.tx = 40, .ty = -20});
    w.string("inst");
    w.u8(2);
    w.u8(1);  // blur
    for (int i = 0; i < 9; ++i) w.u8(0);
    w.u8(0);  // drop shadow
    for (int i = 0; i < 23; ++i) w.u8(0);
    w.u8(3);  // blend mode: layer
    w.u8(1);  // cache as bitmap
    const auto body = w.take();
    const auto p = swf::format::parsePlaceObject(body, 3);
    EXPECT_FALSE(p.truncated);
    EXPECT_EQ(p.depth, 5);
    EXPECT_EQ(p.className, "Foo");
    EXPECT_EQ(p.characterId, 3);
    EXPECT_EQ(p.matrix->tx, 40);
    EXPECT_EQ(p.matrix->ty, -20);
    EXPECT_EQ(p.name, "inst");
    EXPECT_EQ(p.filterCount, 2);
    EXPECT_EQ(p.blendMode, 3);
    EXPECT_EQ(p.cacheAsBitmap, true);

    auto unknownFilter = body;
    unknownFilter[body.size() - 2 - 24 - 10] = 99;  // the first filter's id
    const auto q = swf::format::parsePlaceObject(unknownFilter, 3);
    EXPECT_TRUE(q.truncated);
    EXPECT_EQ(q.characterId, 3);
    EXPECT_FALSE(q.blendMode.has_value());
}

TEST(Placement, DisplayListCommands) {
    SwfBuilder b;
    const uint16_t a = b.defineRect(0, 0, 100, 100, {255, 0, 0});
    const uint16_t c = b.defineRect(0, 0, 100, 100, {0, 0, 255});
    b.placeV1(a, 1, {.tx = 20});
    b.place(a, 2, {.tx = 40}, swftest::Cxform{.rm = 128}, std::string("two"), 0, 7);
    b.place3(c, 3, {}, {}, {}, 0, {}, /*blendMode=*/2, /*cacheAsBitmap=*/true);
    b.showFrame();
    b.move(2, {.tx = 60});
    b.replace(c, 1, {.tx = 80});
    b.removeV1(c, 3);
    b.showFrame();
    b.remove(2);
    b.showFrame();
    swf::Player p(load(b.bytes()));
    const auto& objs = p.displayList().objects;
    ASSERT_EQ(objs.size(), 3u);
    EXPECT_EQ(objs.at(2).name, "two");
    EXPECT_EQ(objs.at(2).ratio, 7);
    EXPECT_EQ(objs.at(2).cxform.rm, 128);
    EXPECT_EQ(objs.at(3).blendMode, 2);
    p.forward();
    ASSERT_EQ(objs.size(), 2u);
    EXPECT_EQ(objs.at(2).matrix.tx, 60);
    EXPECT_EQ(objs.at(2).name, "two");  // a move keeps what it does not set
    EXPECT_EQ(objs.at(2).cxform.rm, 128);
    EXPECT_EQ(objs.at(1).characterId, c);
    EXPECT_EQ(objs.at(1).matrix.tx, 80);
    p.forward();
    EXPECT_EQ(objs.size(), 1u);
    EXPECT_EQ(objs.count(1), 1u);
}

// Glyph offsets that go back over one glyph's bytes, to have them parsed again for every
// other glyph, give empty glyphs: a font's glyphs read its table at most once.
TEST(Fonts, GlyphsThatShareBytesAreParsedOnce) {
    std::vector<swftest::media::Glyph> glyphs(64, {'a', {{0, 0}, {10, 0}, {10, 10}}, 10});
    for (int i = 0; i < 400; ++i) glyphs[0].outline.push_back({i % 2 ? 0 : 500, i});
    auto body = swftest::media::fontBody(1, 2, "", glyphs, 800, 200);
    const size_t table = 2 + 3 + 2;  // id, flags, language, name length; then the glyph count
    auto at = [&](size_t i) { return body.data() + table + 4 * i; };
    uint32_t start = 0, end = 0;
    std::memcpy(&start, at(0), 4);
    std::memcpy(&end, at(1), 4);
    for (size_t i = 2; i < 64; ++i) std::memcpy(at(i), i % 2 ? &end : &start, 4);

    const auto font = swf::format::parseDefineFont(body, 2);
    ASSERT_EQ(font.glyphs.size(), 64u);
    EXPECT_GT(font.glyphs[0].edgeCount, 400u);
    size_t parsedAgain = 0;
    for (size_t i = 2; i < 64; i += 2) parsedAgain += font.glyphs[i].edgeCount > 0;
    EXPECT_EQ(parsedAgain, 0u);
}

// Convolution kernels wider or taller than 15 are read over and dropped; the filters around
// them stay (a 255 x 255 kernel would cost 65025 products a pixel).
TEST(Filters, OversizedKernelsAreDropped) {
    for (const auto& [side, kept] : {std::pair{15, 3}, std::pair{16, 2}, std::pair{255, 2}}) {
        std::vector<uint8_t> b;
        auto u8 = [&](int v) { b.push_back(uint8_t(v)); };
        auto blur = [&] {
            u8(swf::format::Filter::Blur);
            for (int i = 0; i < 8; ++i) u8(i == 2 || i == 6 ? 1 : 0);
            u8(1 << 3);
        };
        blur();
        u8(swf::format::Filter::Convolution);
        u8(side);
        u8(side == 255 ? 255 : 3);
        for (int i = 0; i < 8 + 4 * side * (side == 255 ? 255 : 3) + 4 + 1; ++i) u8(0);
        blur();
        swf::format::BitReader r(b);
        std::vector<swf::format::Filter> out;
        EXPECT_TRUE(swf::format::readFilters(r, 3, out)) << side;
        EXPECT_EQ(out.size(), size_t(kept)) << side;
        EXPECT_EQ(r.remaining(), 0u) << side;
    }
}
