// The writer's few failure-prone spots: signed bit packing, tag headers, the header length,
// compressed bodies, and shape edge records.
#include "tests/support/swf_writer.h"

#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

using namespace swftest;

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

// Minimal MSB-first reader, to decode what the writer packed.
struct BitReader {
    std::span<const uint8_t> d;
    size_t bit = 0;
    uint32_t ub(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) v = v << 1 | ((d[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    }
    int32_t sb(int n) {
        const uint32_t v = ub(n);
        return n > 0 && (v >> (n - 1)) ? static_cast<int32_t>(v | (~0u << (n - 1)))
                                       : static_cast<int32_t>(v);
    }
};

}  // namespace

TEST(BitWriter, SignedBitCounts) {
    EXPECT_EQ(sbBits(0), 1);
    EXPECT_EQ(sbBits(-1), 1);
    EXPECT_EQ(sbBits(1), 2);
    EXPECT_EQ(sbBits(-2), 2);
    EXPECT_EQ(sbBits(127), 8);
    EXPECT_EQ(sbBits(-128), 8);
    EXPECT_EQ(sbBits(128), 9);
    EXPECT_EQ(sbBits(-129), 9);
    EXPECT_EQ(sbBits({3, -20, 0}), 6);
    EXPECT_EQ(ubBits(0), 0);
    EXPECT_EQ(ubBits(255), 8);
}

TEST(BitWriter, PacksSignedValuesMsbFirst) {
    BitWriter w;
    w.writeUB(5, 3);   // 101
    w.writeSB(-2, 4);  // 1110
    w.writeSB(3, 3);   // 011
    w.writeSB(-1, 1);  // 1
    w.align();
    w.u16(0x1234);
    ASSERT_EQ(w.bytes().size(), 4u);
    EXPECT_EQ(w.bytes()[0], 0b10111100);
    EXPECT_EQ(w.bytes()[1], 0b11100000);
    EXPECT_EQ(w.bytes()[2], 0x34);
    EXPECT_EQ(w.bytes()[3], 0x12);
    BitWriter bad;
    EXPECT_THROW(bad.writeSB(4, 3), std::invalid_argument);
    EXPECT_THROW(bad.writeSB(-5, 3), std::invalid_argument);
}

TEST(Records, RectAndMatrix) {
    BitWriter r;
    writeRect(r, 0, 11000, 0, 8000);  // the classic 550 x 400 stage
    EXPECT_EQ(r.bytes(),
              (std::vector<uint8_t>{0x78, 0x00, 0x05, 0x5f, 0x00, 0x00, 0x0f, 0xa0, 0x00}));
    BitWriter identity;
    writeMatrix(identity, {});
    EXPECT_EQ(identity.bytes(), std::vector<uint8_t>{0x00});
    BitWriter moved;
    writeMatrix(moved, Matrix{.tx = 20, .ty = -20});  // 0 0 00110 010100 101100
    EXPECT_EQ(moved.bytes(), (std::vector<uint8_t>{0x0c, 0xa5, 0x80}));
    BitWriter scaled;
    writeMatrix(scaled, Matrix{.sx = -0.5, .sy = 2.0});
    BitReader br{scaled.bytes()};
    ASSERT_EQ(br.ub(1), 1u);
    const int n = static_cast<int>(br.ub(5));
    EXPECT_EQ(br.sb(n), -32768);
    EXPECT_EQ(br.sb(n), 131072);
    EXPECT_EQ(br.ub(1), 0u);
}

TEST(Tags, ShortAndLongHeaders) {
    EXPECT_EQ(tagHeader(tag::ShowFrame, 0), (std::vector<uint8_t>{0x40, 0x00}));
    EXPECT_EQ(tagHeader(tag::PlaceObject2, 62), (std::vector<uint8_t>{0xbe, 0x06}));
    EXPECT_EQ(tagHeader(tag::PlaceObject2, 63), (std::vector<uint8_t>{0xbf, 0x06, 63, 0, 0, 0}));
    EXPECT_EQ(tagHeader(tag::ShowFrame, 0, true), (std::vector<uint8_t>{0x7f, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(tagHeader(tag::DefineShape, 0x12345),
              (std::vector<uint8_t>{0xbf, 0x00, 0x45, 0x23, 0x01, 0x00}));
}

TEST(Header, LengthAndFrameCount) {
    SwfBuilder b(6, 550, 400, 12.5);
    b.setBackground({1, 2, 3});
    const uint16_t id = b.defineRect(0, 0, 200, 200, {255, 0, 0});
    b.place(id, 1);
    b.showFrame();
    b.move(1, Matrix{.tx = 40});
    b.showFrame();
    const auto fws = b.bytes();
    ASSERT_GT(fws.size(), 21u);
    EXPECT_EQ(std::string(fws.begin(), fws.begin() + 3), "FWS");
    EXPECT_EQ(fws[3], 6);
    EXPECT_EQ(le32(fws, 4), fws.size());
    EXPECT_EQ(fws[17] | fws[18] << 8, 12 * 256 + 128);  // 8.8 frame rate after the 9-byte RECT
    EXPECT_EQ(fws[19] | fws[20] << 8, 2);
    EXPECT_EQ(fws[fws.size() - 2], 0);  // End
    EXPECT_EQ(fws[fws.size() - 1], 0);

    b.setFrameCountOverride(7);
    b.setLengthOverride(99);
    const auto odd = b.bytes();
    EXPECT_EQ(le32(odd, 4), 99u);
    EXPECT_EQ(odd[19] | odd[20] << 8, 7);
    EXPECT_EQ(b.bytes(Compression::None, false).size(), fws.size() - 2);
}

TEST(Header, CompressedBodiesInflateToTheFwsBody) {
    SwfBuilder b(13);
    const uint16_t id = b.defineRect(0, 0, 400, 300, {10, 200, 30});
    b.place(id, 1);
    for (int i = 0; i < 50; ++i) {
        b.move(1, Matrix{.tx = i * 20, .ty = i * 10});
        b.showFrame();
    }
    const auto fws = b.bytes();
    const std::vector<uint8_t> body(fws.begin() + 8, fws.end());

    const auto cws = b.bytes(Compression::Zlib);
    EXPECT_EQ(std::string(cws.begin(), cws.begin() + 3), "CWS");
    EXPECT_EQ(le32(cws, 4), fws.size());
    std::vector<uint8_t> inflated(body.size());
    uLongf outLen = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &outLen, cws.data() + 8, cws.size() - 8), Z_OK);
    inflated.resize(outLen);
    EXPECT_EQ(inflated, body);

    // ZWS: u32 packed size (after the 5 property bytes), properties, raw LZMA1 data.
    const auto zws = b.bytes(Compression::Lzma);
    EXPECT_EQ(std::string(zws.begin(), zws.begin() + 3), "ZWS");
    EXPECT_EQ(le32(zws, 4), fws.size());
    EXPECT_EQ(le32(zws, 8), zws.size() - 17);
    std::vector<uint8_t> alone(zws.begin() + 12, zws.begin() + 17);  // .lzma header for liblzma
    alone.insert(alone.end(), 8, 0xff);                              // size unknown: end marker
    alone.insert(alone.end(), zws.begin() + 17, zws.end());
    lzma_stream s = LZMA_STREAM_INIT;
    ASSERT_EQ(lzma_alone_decoder(&s, UINT64_MAX), LZMA_OK);
    std::vector<uint8_t> unpacked(body.size() + 16);
    s.next_in = alone.data();
    s.avail_in = alone.size();
    s.next_out = unpacked.data();
    s.avail_out = unpacked.size();
    EXPECT_EQ(lzma_code(&s, LZMA_FINISH), LZMA_STREAM_END);
    unpacked.resize(unpacked.size() - s.avail_out);
    lzma_end(&s);
    EXPECT_EQ(unpacked, body);
}

TEST(Shapes, EdgesAreRelativeAndBoundsIncludeStrokes) {
    ShapeDesc d;
    d.fills = {{255, 255, 255}};
    d.lines = {{40, {0, 0, 0}}};
    ShapeDesc::Path p;
    p.fill1 = 1;
    p.line = 1;
    p.cmds = {{PathCmd::Move, 100, 100},
              {PathCmd::Line, 300, 100},             // horizontal +200
              {PathCmd::Curve, 100, 300, 300, 300},  // control (300,300) anchor (100,300)
              {PathCmd::Line, 100, 100}};            // vertical -200
    d.paths = {p};
    const Bounds b = shapeBounds(d, true);
    EXPECT_EQ(b.xMin, 80);
    EXPECT_EQ(b.xMax, 320);
    EXPECT_EQ(b.yMin, 80);
    EXPECT_EQ(b.yMax, 320);

    const auto rec = shapeWithStyle(d);
    // 1 fill (00 RGB) and 1 line (u16 width, RGB) for DefineShape 1, then the bit counts.
    ASSERT_EQ(rec[0], 1);
    ASSERT_EQ(rec[5], 1);
    BitReader r{std::span(rec).subspan(11)};
    ASSERT_EQ(r.ub(4), 1u);         // fill bits
    ASSERT_EQ(r.ub(4), 1u);         // line bits
    EXPECT_EQ(r.ub(6), 0b001111u);  // style change: line, fill1, fill0, move
    const int mb = static_cast<int>(r.ub(5));
    EXPECT_EQ(r.sb(mb), 100);
    EXPECT_EQ(r.sb(mb), 100);
    EXPECT_EQ(r.ub(1), 0u);     // fill0
    EXPECT_EQ(r.ub(1), 1u);     // fill1
    EXPECT_EQ(r.ub(1), 1u);     // line
    EXPECT_EQ(r.ub(2), 0b11u);  // straight edge
    int n = static_cast<int>(r.ub(4)) + 2;
    EXPECT_EQ(r.ub(2), 0b00u);  // not general, horizontal
    EXPECT_EQ(r.sb(n), 200);
    EXPECT_EQ(r.ub(2), 0b10u);  // curved edge
    n = static_cast<int>(r.ub(4)) + 2;
    EXPECT_EQ(r.sb(n), 0);
    EXPECT_EQ(r.sb(n), 200);
    EXPECT_EQ(r.sb(n), -200);
    EXPECT_EQ(r.sb(n), 0);
    EXPECT_EQ(r.ub(2), 0b11u);
    n = static_cast<int>(r.ub(4)) + 2;
    EXPECT_EQ(r.ub(2), 0b01u);  // vertical
    EXPECT_EQ(r.sb(n), -200);
    EXPECT_EQ(r.ub(6), 0u);  // end of shape
}
