#pragma once
// Reads SWF's bit-packed and byte-aligned fields from a bounded span. A read past the end
// yields zeros and sets a sticky error flag instead of touching memory outside the span.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace swf::format {

// Positions summed from the file's deltas (shape edges, glyph advances) stay within this
// many twips either way, so no sum of hostile deltas can overflow.
inline constexpr int32_t kMaxTwips = int32_t{1} << 30;
inline int32_t addTwips(int32_t a, int64_t b) {
    const int64_t s = int64_t{a} + b;
    return static_cast<int32_t>(s < -kMaxTwips ? -kMaxTwips : s > kMaxTwips ? kMaxTwips : s);
}

class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> data) : data_(data) {}

    // Bit fields, most significant bit first (n in 0..32).
    uint32_t ub(int n);
    int32_t sb(int n);
    double fb(int n);  // 16.16 fixed
    bool flag() { return ub(1) != 0; }
    void align() {
        if (bit_ != 0) {
            bit_ = 0;
            ++pos_;
        }
    }

    // Byte-aligned little-endian fields; each aligns first.
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    int16_t s16() { return static_cast<int16_t>(u16()); }
    double fixed8() { return s16() / 256.0; }
    double fixed16() { return static_cast<int32_t>(u32()) / 65536.0; }
    float f32();
    // Zero-terminated; a missing terminator takes the rest and records an error.
    std::string string();
    // Up to n bytes (fewer, with an error recorded, when the span ends first).
    std::span<const uint8_t> bytes(size_t n);
    void skip(size_t n) { (void)bytes(n); }

    size_t pos() const { return pos_; }
    size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    bool atEnd() const { return remaining() == 0; }
    std::span<const uint8_t> rest() const {
        return data_.subspan(pos_ < data_.size() ? pos_ : data_.size());
    }
    // True when some read wanted more than the span held.
    bool overrun() const { return overrun_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;  // current byte
    int bit_ = 0;     // bits already consumed of data_[pos_]
    bool overrun_ = false;
};

}  // namespace swf::format
