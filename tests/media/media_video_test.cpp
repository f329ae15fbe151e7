// Embedded video: pictures drawn where the stream is placed, compared with ffmpeg's own
// decoding of the same file, before and after seeks.

#include <QPainter>
#include <functional>

#include "engine/format/video.h"
#include "engine/media/ffmpeg_ptr.h"
#include "engine/media/video_decode.h"
#include "tests/media/media_fixture.h"

using namespace mediatest;

namespace {

QImage stage(const swf::Player& p) {
    QImage img(p.info().widthPixels(), p.info().heightPixels(),
               QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&img);
    p.render(painter, img.rect(), swf::ScaleMode::ExactFit);
    return img;
}

// Frame n of a file as ffmpeg decodes it, rgb24.
std::vector<uint8_t> reference(const std::string& file, int n, const std::string& dir) {
    const std::string out = dir + "/ref" + std::to_string(n) + ".rgb";
    if (!ffmpeg("-i " + file + " -vf 'select=eq(n\\," + std::to_string(n) +
                ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + out))
        return {};
    return readFile(out);
}

// Mean difference per channel between a stage picture and an rgb24 reference.
double meanDiff(const QImage& img, const std::vector<uint8_t>& rgb) {
    if (rgb.size() != size_t(img.width() * img.height() * 3)) return 1e9;
    double sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const uint8_t* r = &rgb[size_t((y * img.width() + x) * 3)];
            sum +=
                std::abs(qRed(p) - r[0]) + std::abs(qGreen(p) - r[1]) + std::abs(qBlue(p) - r[2]);
        }
    return sum / (img.width() * img.height() * 3.0);
}

TEST(Video, SorensonPicturesMatchFfmpegAndSurviveSeeks) {
    REQUIRE_FFMPEG();
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString(), file = d + "/v.swf";
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i testsrc=size=160x120:rate=12:duration=2 -f lavfi -i "
               "sine=frequency=440:duration=2 -c:v flv1 -g 6 -q:v 3 -c:a libmp3lame "
               "-ar 44100 " +
               file));
    swf::Player p(load(readFile(file)));
    std::vector<QImage> seen;
    for (int f = 0; f < 20; ++f) {
        if (f) p.advanceFrame();
        seen.push_back(stage(p));
    }
    for (int f : {0, 7, 19}) EXPECT_LT(meanDiff(seen[size_t(f)], reference(file, f, d)), 3.0) << f;
    // Consecutive frames of testsrc differ; a stuck picture would not.
    EXPECT_NE(seen[3], seen[4]);
    for (int f : {5, 17, 2, 11}) {
        p.gotoFrame(f);
        EXPECT_EQ(stage(p), seen[size_t(f)]) << "after seeking to " << f;
    }
}

TEST(Video, JpegFramesFromFfmpeg) {
    REQUIRE_FFMPEG();
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString(), file = d + "/j.swf";
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i testsrc=size=160x120:rate=12:duration=1 -c:v mjpeg -q:v 2 " + file));
    swf::Player p(load(readFile(file)));
    for (int f = 0; f < 6; ++f) p.advanceFrame();
    // Qt's JPEG decoder and ffmpeg's round differently.
    EXPECT_LT(meanDiff(stage(p), reference(file, 6, d)), 8.0);
}

// Screen video and keyframes: ffmpeg writes FLV; its packets become VideoFrame tags here.
std::vector<uint8_t> swfFromFlv(const std::vector<uint8_t>& flv, uint8_t codec, int w, int h,
                                int frames) {
    const auto packets = flvPackets(flv, 9);
    swftest::SwfBuilder b(8, w, h, 12.0);
    swftest::BitWriter def;
    def.u16(1);
    def.u16(uint16_t(frames));
    def.u16(uint16_t(w));
    def.u16(uint16_t(h));
    def.u8(0);
    def.u8(codec);
    b.rawTag(60, def.bytes());
    for (int f = 0; f < frames && f < int(packets.size()); ++f) {
        swftest::BitWriter vf;
        vf.u16(1);
        vf.u16(uint16_t(f));
        vf.raw(packets[size_t(f)]);
        b.rawTag(61, vf.bytes(), true);
        swftest::PlaceArgs a;
        a.depth = 1;
        a.ratio = uint16_t(f);
        if (f == 0)
            a.id = 1;
        else
            a.move = true;
        b.placeObject(a);
        b.showFrame();
    }
    return b.bytes();
}

TEST(Video, ScreenVideoOneAndTwo) {
    REQUIRE_FFMPEG();
    for (auto [codec, name] : {std::pair{3, "flashsv"}, std::pair{6, "flashsv2"}}) {
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString(), flv = d + "/s.flv";
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=128x96:rate=12:duration=1 -c:v " +
                           std::string(name) + " " + flv));
        swf::Player p(load(swfFromFlv(readFile(flv), uint8_t(codec), 128, 96, 12)));
        for (int f = 0; f < 5; ++f) p.advanceFrame();
        const QImage at5 = stage(p);
        EXPECT_LT(meanDiff(at5, reference(flv, 5, d)), 3.0) << name;
        p.gotoFrame(9);
        p.gotoFrame(5);
        EXPECT_EQ(stage(p), at5) << name;
    }
}

// A flat grey 128x96 picture (lossless Screen Video, so its colour is exact) as stream 1 of a
// 128x96 white stage; `place` puts it (and anything else) on the first frame.
std::vector<uint8_t> greyVideoMovie(const std::string& dir,
                                    const std::function<void(swftest::SwfBuilder&)>& place) {
    const std::string flv = dir + "/g.flv";
    if (!ffmpeg("-f lavfi -i color=c=0x808080:size=128x96:rate=12:duration=1 -c:v flashsv " + flv))
        return {};
    const auto packets = flvPackets(readFile(flv), 9);
    if (packets.empty()) return {};
    swftest::SwfBuilder b(8, 128, 96, 12.0);
    b.setBackground({255, 255, 255, 255});
    const uint16_t video = b.reserveId();
    swftest::BitWriter def;
    def.u16(video);
    def.u16(1);
    def.u16(128);
    def.u16(96);
    def.u8(0);
    def.u8(3);
    b.rawTag(60, def.bytes());
    swftest::BitWriter vf;
    vf.u16(video);
    vf.u16(0);
    vf.raw(packets[0]);
    b.rawTag(61, vf.bytes(), true);
    place(b);
    b.showFrame();
    return b.bytes();
}

TEST(Video, ColourTransformMasksAndBlendModesApply) {
    REQUIRE_FFMPEG();
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    {  // through a colour transform, under a mask over the stage's left half
        const auto bytes = greyVideoMovie(d, [](swftest::SwfBuilder& b) {
            const uint16_t mask = b.defineRect(0, 0, 64 * 20, 96 * 20, {0, 0, 0, 255});
            b.place(mask, 1, {}, {}, {}, 2);
            swftest::PlaceArgs a;
            a.depth = 2;
            a.id = 1;
            a.ratio = 0;
            a.cxform = swftest::Cxform{128, 256, 256, 256, 0, 50, -20, 0};
            b.placeObject(a);
        });
        ASSERT_FALSE(bytes.empty());
        const QImage img = stage(swf::Player(load(bytes)));
        const QRgb inside = img.pixel(20, 48);
        EXPECT_NEAR(qRed(inside), 64, 1);
        EXPECT_NEAR(qGreen(inside), 178, 1);
        EXPECT_NEAR(qBlue(inside), 108, 1);
        EXPECT_EQ(img.pixel(100, 48), qRgb(255, 255, 255));
    }
    {  // half-width video as the mask of a red rectangle; multiplied over it at depth 3
        const auto bytes = greyVideoMovie(d, [](swftest::SwfBuilder& b) {
            const uint16_t red = b.defineRect(0, 0, 128 * 20, 96 * 20, {255, 0, 0, 255});
            swftest::PlaceArgs m;
            m.depth = 1;
            m.id = 1;
            m.ratio = 0;
            m.matrix = swftest::Matrix{0.5, 1};
            m.clipDepth = 2;
            b.placeObject(m);
            b.place(red, 2);
            swftest::PlaceArgs v;
            v.depth = 3;
            v.id = 1;
            v.ratio = 0;
            v.matrix = swftest::Matrix{1, 0.5};
            v.blendMode = 3;
            b.placeObject(v);
        });
        ASSERT_FALSE(bytes.empty());
        const QImage img = stage(swf::Player(load(bytes)));
        EXPECT_EQ(img.pixel(20, 70), qRgb(255, 0, 0));
        EXPECT_EQ(img.pixel(100, 70), qRgb(255, 255, 255));
        const QRgb under = img.pixel(20, 20), bare = img.pixel(100, 20);
        EXPECT_NEAR(qRed(under), 128, 1);
        EXPECT_EQ(qGreen(under), 0);
        EXPECT_NEAR(qRed(bare), 128, 1);
        EXPECT_NEAR(qGreen(bare), 128, 1);
    }
}

TEST(Video, SeeksDecodeFromTheKeyframeAndBrokenStreamsDrawNothing) {
    REQUIRE_FFMPEG();
    QTemporaryDir dir;
    const std::string flv = dir.path().toStdString() + "/k.flv";
    ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=64x48:rate=12:duration=2 -c:v flv1 -g 6 " + flv));
    const auto packets = flvPackets(readFile(flv), 9);
    ASSERT_GE(packets.size(), 24u);
    std::map<uint16_t, std::span<const uint8_t>> frames;
    for (size_t i = 0; i < packets.size(); ++i) {
        frames.emplace(uint16_t(i), packets[i]);
        EXPECT_EQ(swf::media::isVideoKeyFrame(2, packets[i]), i % 6 == 0) << i;
    }
    swf::format::DefineVideoStream def;
    def.width = 64;
    def.height = 48;
    def.codec = 2;
    swf::media::VideoDecoder dec(def);
    ASSERT_TRUE(dec.ok());
    EXPECT_FALSE(dec.frame(17, frames).isNull());
    EXPECT_EQ(dec.framesDecoded(), 6);  // frames 12..17
    dec.frame(18, frames);
    EXPECT_EQ(dec.framesDecoded(), 7);  // on from there

    // Garbage frames of an absurd size: decoded to nothing, never a crash.
    def.width = 65535;
    def.height = 65535;
    for (uint8_t codec : {2, 3, 4, 5, 6, 9}) {
        def.codec = codec;
        swf::media::VideoDecoder bad(def);
        std::vector<uint8_t> junk(5000, 0x5a);
        std::map<uint16_t, std::span<const uint8_t>> f{{0, junk}, {1, std::span(junk).first(3)}};
        EXPECT_TRUE(bad.frame(1, f).isNull() || bad.frame(1, f).width() <= 4096);
    }
}

// A stream from the movie's folder shown by a timeline video: the picture of the stream's
// time, which follows the movie's frames, and its sound, which pauses with it. H.264 with
// B-frames holds pictures back: its first picture shows at once, later ones come late.
TEST(Video, NetStreamShowsItsFileInTheMoviesTime) {
    REQUIRE_FFMPEG();
    const struct {
        const char* codec;
        int exactFrames;
    } kStreams[] = {{"flv1", 8}, {"libx264 -bf 0 -pix_fmt yuv420p", 8}, {"libx264 -pix_fmt yuv420p", 1}};
    for (const auto& stream : kStreams) {
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString(), flv = d + "/clip.flv";
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=128x96:rate=12:duration=2 -f lavfi -i "
                           "sine=frequency=440:duration=2 -g 6 -c:v " + std::string(stream.codec) +
                           " -c:a adpcm_swf -ar 44100 " + flv));
        swftest::SwfBuilder b(8, 128, 96, 12.0);
        const uint16_t video = b.reserveId();
        swftest::BitWriter def;
        def.u16(video);
        def.u16(0);
        def.u16(128);
        def.u16(96);
        def.u8(0);
        def.u8(2);
        b.rawTag(60, def.bytes());
        swftest::PlaceArgs at;
        at.id = video;
        at.name = "v";
        b.placeObject(at);
        // nc = new NetConnection(); nc.connect(null); ns = new NetStream(nc);
        // v.attachVideo(ns); ns.play("clip.flv");
        swftest::ActionWriter a;
        a.pushString("nc").pushInt(0).pushString("NetConnection").op(0x40).setVariable();
        a.pushNull().pushInt(1).pushString("nc").getVariable().pushString("connect").op(0x52).pop();
        a.pushString("ns").pushString("nc").getVariable().pushInt(1).pushString("NetStream");
        a.op(0x40).setVariable();
        a.pushString("ns").getVariable().pushInt(1).pushString("v").getVariable();
        a.pushString("attachVideo").op(0x52).pop();
        a.pushString("clip.flv").pushInt(1).pushString("ns").getVariable();
        a.pushString("play").op(0x52).pop();
        b.doAction(a);
        for (int f = 0; f < 10; ++f) b.showFrame();
        swftest::ActionWriter pause;
        pause.pushInt(0).pushString("ns").getVariable().pushString("pause").op(0x52).pop();
        b.doAction(pause);
        for (int f = 0; f < 10; ++f) b.showFrame();
        swf::Player p(swf::loadMovie(b.bytes(), d));
        // The first frame's end starts the stream at its first picture; each frame moves it
        // on by a frame of the movie, which here is one of the stream's.
        std::vector<std::vector<uint8_t>> refs;
        for (int n = 0; n < 9; ++n) refs.push_back(reference(flv, n, d));
        for (int n = 0; n < stream.exactFrames; ++n) {
            const QImage shown = stage(p);
            int best = -1;
            double bestDiff = 1e9;
            for (int k = 0; k < 9; ++k)
                if (const double diff = meanDiff(shown, refs[size_t(k)]); diff < bestDiff)
                    best = k, bestDiff = diff;
            EXPECT_EQ(best, n) << stream.codec;
            EXPECT_LT(bestDiff, 3.0) << stream.codec << " " << n;
            p.advanceFrame();
        }
        while (p.currentFrame() < 8) p.advanceFrame();
        EXPECT_NEAR(frequencyOf(mix(p, 4410), 0), 440, 5) << stream.codec;
        while (p.currentFrame() < 11) p.advanceFrame();
        EXPECT_EQ(peak(mix(p, 4410)), 0) << stream.codec;
    }
}

}  // namespace

TEST(Video, FourTwoZeroPicturesConvertAsFlashDoes) {
    swf::media::FramePtr f(av_frame_alloc());
    f->width = 4;
    f->height = 2;
    f->format = AV_PIX_FMT_YUVA420P;
    ASSERT_EQ(av_frame_get_buffer(f.get(), 0), 0);
    // Luma per pixel; one chroma sample per 2x2 block, not blended with its neighbour.
    const uint8_t luma[2][4] = {{159, 16, 235, 128}, {159, 16, 235, 128}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            f->data[0][y * f->linesize[0] + x] = luma[y][x];
            f->data[3][y * f->linesize[3] + x] = x == 3 ? 64 : 255;
        }
    f->data[1][0] = 165, f->data[2][0] = 180;
    f->data[1][1] = 128, f->data[2][1] = 128;
    const QImage rgb = swf::media::yuv420ToImage(*f, false);
    ASSERT_EQ(rgb.size(), QSize(4, 2));
    // Rounding lands on 249, not 250, for this colour.
    EXPECT_EQ(rgb.pixel(0, 1), qRgb(249, 110, 241));
    EXPECT_EQ(rgb.pixel(1, 0), qRgb(83, 0, 75));  // same chroma as its left neighbour
    EXPECT_EQ(rgb.pixel(2, 0), qRgb(255, 255, 255));
    EXPECT_EQ(rgb.pixel(3, 0), qRgb(130, 130, 130));
    // With alpha the colour is already multiplied by it, so it never exceeds it.
    const QImage argb = swf::media::yuv420ToImage(*f, true);
    ASSERT_EQ(argb.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(reinterpret_cast<const QRgb*>(argb.constScanLine(0))[3], qRgba(64, 64, 64, 64));
    EXPECT_EQ(qAlpha(argb.pixel(2, 0)), 255);
    f->width = 0;
    EXPECT_TRUE(swf::media::yuv420ToImage(*f, false).isNull());
}
