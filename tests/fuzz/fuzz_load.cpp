// The container and the tag stream: any bytes either load or give a LoadError.
#include "engine/player.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        (void)swf::loadMovie(std::span<const uint8_t>(data, size));
    } catch (const swf::LoadError&) {
    }
    return 0;
}
