#include "engine/media/wav_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace swf::media {
namespace {

void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
uint32_t get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

}  // namespace

bool writeWav(const std::string& path, std::span<const int16_t> samples, int rate, int channels) {
    // The RIFF sizes are 32-bit.
    if (samples.size() * 2 > 0xffffffffu - 64) return false;
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    put32(h, 36 + dataBytes);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(h, 16);
    put16(h, 1);  // PCM
    put16(h, uint16_t(channels));
    put32(h, uint32_t(rate));
    put32(h, uint32_t(rate * channels * 2));
    put16(h, uint16_t(channels * 2));
    put16(h, 16);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    put32(h, dataBytes);

    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(h.data()), std::streamsize(h.size()));
        // WAV is little-endian, as is every machine this runs on.
        out.write(reinterpret_cast<const char*>(samples.data()), std::streamsize(dataBytes));
        out.flush();
        if (!out) {
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

WavData readWav(const std::string& path) {
    WavData w;
    std::ifstream in(path, std::ios::binary);
    if (!in) return w;
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(b.data() + 8, "WAVE", 4))
        return w;
    size_t pos = 12;
    int bits = 0;
    while (pos + 8 <= b.size()) {
        const uint32_t size = get32(&b[pos + 4]);
        const size_t body = pos + 8;
        const size_t len = std::min<size_t>(size, b.size() - body);
        if (!std::memcmp(&b[pos], "fmt ", 4) && len >= 16) {
            w.channels = get16(&b[body + 2]);
            w.rate = int(get32(&b[body + 4]));
            bits = get16(&b[body + 14]);
        } else if (!std::memcmp(&b[pos], "data", 4) && bits == 16) {
            w.samples.resize(len / 2);
            std::memcpy(w.samples.data(), &b[body], w.samples.size() * 2);
            return w;
        }
        pos = body + len + (len & 1);
    }
    return {};
}

}  // namespace swf::media
