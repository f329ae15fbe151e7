#pragma once
// 16-bit PCM WAV files, for lanfeng-cli and tests.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace swf::media {

// Writes interleaved s16 samples through a temporary file renamed into place, so a reader
// never sees half a file. Returns false (and leaves no temporary) when it cannot.
bool writeWav(const std::string& path, std::span<const int16_t> samples, int rate = 44100,
              int channels = 2);

// Reads a 16-bit PCM WAV written by writeWav (or any plain one); empty on failure.
struct WavData {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
};
WavData readWav(const std::string& path);

}  // namespace swf::media
