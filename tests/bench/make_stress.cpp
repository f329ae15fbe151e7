// make_stress OUT.swf [--shapes N] [--max-size PX]: writes the render stress movie, N
// overlapping gradient-filled rectangles (default 1000, 20 to PX pixels a side, default 160)
// on a 1280 x 720 stage, for `lanfeng-cli bench`.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "tests/support/swf_writer_media.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_stress OUT.swf [--shapes N] [--max-size PX]\n");
        return 2;
    }
    int shapes = 1000;
    if (argc >= 4 && std::string(argv[2]) == "--shapes")
        shapes = std::clamp(std::atoi(argv[3]), 1, 60000);
    std::mt19937 rng(1000);
    std::uniform_int_distribution<int> pos(0, 1180), size(60, 400), channel(0, 255);
    swftest::SwfBuilder b(8, 1280, 720, 30);
    b.setBackground({255, 255, 255});
    for (int i = 0; i < shapes; ++i) {
        namespace media = swftest::media;
        media::Fill f;
        f.type = i % 3 == 0 ? 0x12 : 0x10;
        const int w = size(rng), h = size(rng);
        const double s = std::max(w, h) * 20 / 32768.0;
        f.matrix = {s, s, i % 5 == 0 ? s / 2 : 0, 0, w * 10, h * 10};
        f.spread = static_cast<uint8_t>(i % 3);
        for (int k = 0; k < 3; ++k)
            f.stops.push_back(
                {static_cast<uint8_t>(k * 127),
                 {static_cast<uint8_t>(channel(rng)), static_cast<uint8_t>(channel(rng)),
                  static_cast<uint8_t>(channel(rng)), static_cast<uint8_t>(160 + k * 40)}});
        const uint16_t id = b.reserveId();
        auto body = media::rectBody(id, 3, 0, 0, w * 20, h * 20, f);
        b.rawTag(media::code::DefineShape3, body);
        b.place(id, i + 1, {1, 1, 0, 0, pos(rng) * 20, pos(rng) * 12});
    }
    b.showFrame();
    // A second frame moves every tenth shape, so playing the movie redraws a changing stage.
    for (int i = 0; i < shapes; i += 10) b.move(i + 1, {1, 1, 0, 0, pos(rng) * 20, pos(rng) * 12});
    b.showFrame();
    const auto bytes = b.bytes(swftest::Compression::Zlib);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}
