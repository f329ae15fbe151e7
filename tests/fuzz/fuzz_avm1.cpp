// The bytes as the actions of a movie's first frame, run for five frames with a click on the
// stage in between.
#include <vector>

#include "engine/player.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void putU16(std::vector<uint8_t>& b, unsigned v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void putTag(std::vector<uint8_t>& b, unsigned code, const uint8_t* body, size_t size) {
    putU16(b, (code << 6) | 0x3f);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
    b.insert(b.end(), body, body + size);
}

// SWF 8, a 100×100 stage at 12 frames/s, the actions on frame 1, five frames.
std::vector<uint8_t> movieAround(const uint8_t* actions, size_t size) {
    std::vector<uint8_t> m = {'F', 'W', 'S', 8, 0, 0, 0, 0};
    // RECT of 15-bit fields: 0, 2000, 0, 2000 twips.
    const uint8_t rect[] = {0x78, 0x00, 0x00, 0xfa, 0x00, 0x00, 0x03, 0xe8, 0x00};
    m.insert(m.end(), rect, rect + sizeof rect);
    putU16(m, 12 << 8);
    putU16(m, 5);
    // ScriptLimits: the default depth, one second for all the scripts, so that a loop the
    // fuzzer writes ends long before its timeout.
    const uint8_t limits[] = {0x00, 0x01, 0x01, 0x00};
    putTag(m, 65, limits, sizeof limits);
    putTag(m, 12, actions, size);                          // DoAction
    for (int i = 0; i < 5; ++i) putTag(m, 1, nullptr, 0);  // ShowFrame
    putTag(m, 0, nullptr, 0);
    const uint32_t length = static_cast<uint32_t>(m.size());
    for (int i = 0; i < 4; ++i) m[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ensureGuiApp();
    const std::vector<uint8_t> bytes = movieAround(data, size);
    std::shared_ptr<const swf::Movie> movie;
    try {
        movie = swf::loadMovie(bytes);
    } catch (const swf::LoadError&) {
        return 0;
    }
    swf::Player player(movie);
    player.setTraceSink([](std::string_view) {});
    for (int frame = 0; frame < 5; ++frame) {
        if (frame == 2) {
            player.handleEvent(swf::InputEvent::mouseMove(50, 50));
            player.handleEvent(swf::InputEvent::mouseDown(50, 50));
            player.handleEvent(swf::InputEvent::mouseUp(50, 50));
        }
        player.advanceFrame();
    }
    return 0;
}
