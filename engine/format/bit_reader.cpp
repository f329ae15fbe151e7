#include "engine/format/bit_reader.h"

#include <cstring>

namespace swf::format {

uint32_t BitReader::ub(int n) {
    if (n <= 0) return 0;
    // Whole bytes at a time: take what is left of the current byte, then the next ones.
    if (pos_ >= data_.size() || (static_cast<size_t>(bit_) + n + 7) / 8 > data_.size() - pos_) {
        overrun_ = true;
        pos_ = data_.size();
        bit_ = 0;
        return 0;
    }
    uint64_t v = 0;
    int have = 0;
    size_t at = pos_;
    while (have < bit_ + n) {
        v = (v << 8) | data_[at++];
        have += 8;
    }
    const int end = bit_ + n;
    v = (v >> (have - end)) & ((uint64_t{1} << n) - 1);
    pos_ += end / 8;
    bit_ = end % 8;
    return static_cast<uint32_t>(v);
}

int32_t BitReader::sb(int n) {
    if (n <= 0) return 0;
    const uint32_t v = ub(n);
    if (n < 32 && (v & (1u << (n - 1)))) return static_cast<int32_t>(v | (~0u << n));
    return static_cast<int32_t>(v);
}

double BitReader::fb(int n) { return sb(n) / 65536.0; }

uint8_t BitReader::u8() {
    align();
    if (pos_ >= data_.size()) {
        overrun_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t BitReader::u16() {
    const uint16_t lo = u8();
    const uint16_t hi = u8();
    return static_cast<uint16_t>(lo | (hi << 8));
}

uint32_t BitReader::u32() {
    const uint32_t lo = u16();
    const uint32_t hi = u16();
    return lo | (hi << 16);
}

float BitReader::f32() {
    const uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::string BitReader::string() {
    align();
    std::string s;
    while (pos_ < data_.size()) {
        const uint8_t c = data_[pos_++];
        if (c == 0) return s;
        s.push_back(static_cast<char>(c));
    }
    overrun_ = true;
    return s;
}

std::span<const uint8_t> BitReader::bytes(size_t n) {
    align();
    const size_t avail = remaining();
    if (n > avail) {
        overrun_ = true;
        n = avail;
    }
    auto out = data_.subspan(pos_ < data_.size() ? pos_ : data_.size(), n);
    pos_ += n;
    return out;
}

}  // namespace swf::format
