// Engine timings (Google Benchmark; never assertions). Goals from the design:
//   BM_LoadCws10MB within 1.5x of BM_InflateOnly (parsing costs little beside inflating);
//   BM_GotoLastFrame10k under 5 ms; seeking one frame back on a long movie stays cheap.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/player.h"
#include "tests/support/swf_writer.h"

namespace {

using swftest::Cxform;
using swftest::Matrix;
using swftest::PathCmd;
using swftest::Rgba;
using swftest::ShapeDesc;

// A shape like drawn artwork: a few closed outlines of mixed lines and curves, solid fills from
// a palette, sometimes a stroke. Points sit on a quarter-pixel grid, as authoring tools snap
// them, so the movie compresses about as well as real ones (not like random noise).
ShapeDesc randomShape(std::mt19937& rng) {
    std::uniform_int_distribution<int> coord(-400, 400), step(-80, 80);
    static const Rgba palette[] = {{255, 255, 255}, {0, 0, 0},     {204, 0, 0},    {0, 102, 204},
                                   {255, 204, 0},   {51, 153, 51}, {153, 102, 51}, {255, 153, 204},
                                   {102, 102, 102}, {0, 204, 204}, {255, 102, 0},  {102, 0, 153}};
    ShapeDesc s;
    s.version = (rng() % 3 == 0) ? 3 : 1;
    const int fills = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < fills; ++i) s.fills.push_back(palette[rng() % std::size(palette)]);
    if (rng() % 2) s.lines.push_back({20 + static_cast<int>(rng() % 60), {0, 0, 0, 255}});
    const int contours = 2 + static_cast<int>(rng() % 4);
    for (int c = 0; c < contours; ++c) {
        ShapeDesc::Path p;
        p.fill1 = 1 + c % fills;
        p.line = s.lines.empty() ? 0 : 1;
        const int x0 = coord(rng) * 5, y0 = coord(rng) * 5;
        p.cmds.push_back({PathCmd::Move, x0, y0});
        int x = x0, y = y0;
        const int edges = 12 + static_cast<int>(rng() % 40);
        for (int e = 0; e < edges; ++e) {
            const int nx = x + step(rng) * 5, ny = y + step(rng) * 5;
            if (rng() % 2)
                p.cmds.push_back({PathCmd::Line, nx, ny});
            else
                p.cmds.push_back({PathCmd::Curve, nx, ny, (x + nx) / 2 + step(rng) * 2,
                                  (y + ny) / 2 + step(rng) * 2});
            x = nx;
            y = ny;
        }
        p.cmds.push_back({PathCmd::Line, x0, y0});
        s.paths.push_back(std::move(p));
    }
    return s;
}

Matrix randomMatrix(std::mt19937& rng) {
    std::uniform_int_distribution<int> scale(6, 36), rot(-12, 12), pos(0, 550);
    Matrix m{scale(rng) / 20.0, scale(rng) / 20.0, 0, 0, pos(rng) * 20, pos(rng) * 20};
    if (rng() % 3 == 0) {
        m.r0 = rot(rng) / 20.0;
        m.r1 = -m.r0;
    }
    return m;
}

// About 10 MB uncompressed, shaped like an animation: shapes defined along the way (as movies
// stream their artwork), two dozen objects tweening (a steady drift, sometimes a fade),
// a dozen or two moved each frame, and now and then a place, replace or remove.
const std::vector<uint8_t>& cws10MB() {
    static const std::vector<uint8_t> bytes = [] {
        std::mt19937 rng(20260917);
        swftest::SwfBuilder b(8, 550, 400, 24);
        b.setBackground({255, 255, 255});
        std::vector<uint16_t> shapes;
        constexpr int kDepths = 24;
        struct Tween {
            Matrix m;
            int vx, vy;
            int alpha;
        };
        std::vector<Tween> tweens(kDepths + 1);
        auto restart = [&](int depth) {
            tweens[depth] = {randomMatrix(rng), static_cast<int>(rng() % 61) - 30,
                             static_cast<int>(rng() % 61) - 30, 256};
        };
        for (int i = 0; i < 40; ++i) shapes.push_back(b.defineShape(randomShape(rng)));
        for (int d = 1; d <= kDepths; ++d) {
            restart(d);
            b.place(shapes[rng() % shapes.size()], d, tweens[d].m);
        }
        size_t size = 0;
        for (int frame = 0; size < 10'000'000; ++frame) {
            if (frame % 4 == 0) shapes.push_back(b.defineShape(randomShape(rng)));
            const int moves = 12 + static_cast<int>(rng() % 12);
            for (int k = 0; k < moves; ++k) {
                const int depth = 1 + (frame * 7 + k) % kDepths;
                Tween& t = tweens[depth];
                t.m.tx = (t.m.tx + t.vx + 11000) % 11000;
                t.m.ty = (t.m.ty + t.vy + 8000) % 8000;
                std::optional<Cxform> cx;
                if (depth % 4 == 0) {
                    t.alpha = t.alpha > 8 ? t.alpha - 8 : 256;
                    cx = Cxform{.am = t.alpha};
                }
                b.move(depth, t.m, cx);
            }
            if (frame % 10 == 0) {
                const int depth = 1 + static_cast<int>(rng() % kDepths);
                restart(depth);
                b.remove(depth);
                b.place(shapes[rng() % shapes.size()], depth, tweens[depth].m);
            } else if (frame % 10 == 5) {
                const int depth = 1 + static_cast<int>(rng() % kDepths);
                b.replace(shapes[rng() % shapes.size()], depth, tweens[depth].m);
            }
            b.showFrame();
            if (frame % 256 == 0) size = b.tagBytes().size();
        }
        return b.bytes(swftest::Compression::Zlib);
    }();
    return bytes;
}

uint32_t declaredLength(const std::vector<uint8_t>& swf) {
    return swf[4] | swf[5] << 8 | swf[6] << 16 | uint32_t{swf[7]} << 24;
}

void BM_LoadCws10MB(benchmark::State& state) {
    const auto& swf = cws10MB();
    for (auto _ : state) {
        auto movie = swf::loadMovie(swf);
        benchmark::DoNotOptimize(movie.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * declaredLength(swf));
    state.counters["compressedMB"] = swf.size() / 1e6;
    state.counters["uncompressedMB"] = declaredLength(swf) / 1e6;
}
BENCHMARK(BM_LoadCws10MB)->Unit(benchmark::kMillisecond);

void BM_InflateOnly(benchmark::State& state) {
    const auto& swf = cws10MB();
    std::vector<uint8_t> out(declaredLength(swf) - 8);
    for (auto _ : state) {
        uLongf outLen = out.size();
        const int rc = uncompress(out.data(), &outLen, swf.data() + 8, swf.size() - 8);
        if (rc != Z_OK) state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * declaredLength(swf));
}
BENCHMARK(BM_InflateOnly)->Unit(benchmark::kMillisecond);

// 10,000 frames: a few shapes, one move a frame, a remove and a place back every 50 frames.
const std::vector<uint8_t>& movie10kBytes() {
    static const auto bytes = [] {
        swftest::SwfBuilder b(6, 550, 400, 24);
        std::vector<uint16_t> ids;
        const Rgba colours[] = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 40}};
        for (int i = 0; i < 4; ++i)
            ids.push_back(b.defineRect(0, 0, 400 + i * 200, 300, colours[i]));
        for (int d = 1; d <= 4; ++d) b.place(ids[d - 1], d, Matrix{.tx = d * 1000, .ty = 1000});
        for (int f = 0; f < 10000; ++f) {
            const int depth = 1 + f % 4;
            if (f > 0 && f % 50 == 0) {
                b.remove(depth);
            } else if (f > 0 && f % 50 == 1) {
                b.place(ids[(f / 50) % 4], 1 + (f - 1) % 4, Matrix{.tx = 500, .ty = 500});
            } else {
                b.move(depth, Matrix{.tx = (f * 37) % 10000, .ty = (f * 91) % 7000});
            }
            b.showFrame();
        }
        return b.bytes(swftest::Compression::Zlib);
    }();
    return bytes;
}

std::shared_ptr<const swf::Movie> movie10k() {
    static const auto movie = swf::loadMovie(movie10kBytes());
    return movie;
}

void BM_GotoLastFrame10k(benchmark::State& state) {
    swf::Player player(movie10k());
    for (auto _ : state) {
        state.PauseTiming();
        player.gotoFrame(0);
        state.ResumeTiming();
        player.gotoFrame(9999);
        benchmark::DoNotOptimize(player.currentFrame());
    }
    if (player.currentFrame() != 9999) state.SkipWithError("did not reach frame 9999");
}
BENCHMARK(BM_GotoLastFrame10k)->Unit(benchmark::kMicrosecond);

// The first long seek of a freshly loaded movie also replays the timeline once to keep its
// snapshots (they are made on demand, not at load).
void BM_FirstGotoLastFrame10k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto movie = swf::loadMovie(movie10kBytes());
        swf::Player player(movie);
        state.ResumeTiming();
        player.gotoFrame(9999);
        benchmark::DoNotOptimize(player.currentFrame());
    }
}
BENCHMARK(BM_FirstGotoLastFrame10k)->Unit(benchmark::kMicrosecond);

// Backwards by one from the end: a rebuild from the start or from a kept snapshot.
void BM_GotoBackOne10k(benchmark::State& state) {
    swf::Player player(movie10k());
    for (auto _ : state) {
        state.PauseTiming();
        player.gotoFrame(9999);
        state.ResumeTiming();
        player.gotoFrame(9998);
        benchmark::DoNotOptimize(player.currentFrame());
    }
    if (player.currentFrame() != 9998) state.SkipWithError("did not reach frame 9998");
}
BENCHMARK(BM_GotoBackOne10k)->Unit(benchmark::kMicrosecond);

// The nine-grid's pattern: jumps spread over the movie, in both directions.
void BM_GotoScattered10k(benchmark::State& state) {
    swf::Player player(movie10k());
    const int targets[] = {0, 1111, 2222, 3333, 4444, 5555, 6666, 7777, 8888, 9999, 5000, 17};
    size_t i = 0;
    for (auto _ : state) {
        player.gotoFrame(targets[i++ % std::size(targets)]);
        benchmark::DoNotOptimize(player.currentFrame());
    }
}
BENCHMARK(BM_GotoScattered10k)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
