#include "engine/format/bitmap.h"

#include <zlib.h>

#include <algorithm>

#include "engine/format/bit_reader.h"

namespace swf::format {

BitmapTag parseBitmapTag(uint16_t code, std::span<const uint8_t> body) {
    BitReader r(body);
    BitmapTag t;
    t.id = r.u16();
    switch (code) {
        case 6:  // DefineBits
            t.usesTables = true;
            t.image = r.rest();
            break;
        case 21:  // DefineBitsJPEG2
            t.image = r.rest();
            break;
        case 35:    // DefineBitsJPEG3
        case 90: {  // DefineBitsJPEG4
            const uint32_t alphaOffset = r.u32();
            if (code == 90) r.u16();  // deblocking filter strength
            t.image = r.bytes(alphaOffset);
            t.alpha = r.rest();
            break;
        }
        case 20:
        case 36:
            t.kind = BitmapTag::Lossless;
            t.version = code == 36 ? 2 : 1;
            t.format = r.u8();
            t.width = r.u16();
            t.height = r.u16();
            if (t.format == 3) t.colorTableSize = r.u8() + 1;
            t.image = r.rest();
            break;
        default:
            return t;
    }
    t.valid = !r.overrun();
    return t;
}

std::vector<uint8_t> repairJpeg(std::span<const uint8_t> tables, std::span<const uint8_t> image) {
    std::vector<uint8_t> joined;
    joined.reserve(tables.size() + image.size());
    joined.insert(joined.end(), tables.begin(), tables.end());
    joined.insert(joined.end(), image.begin(), image.end());
    // An end marker followed by a start marker never occurs inside one valid stream (0xFF in
    // entropy-coded data is always stuffed), so every such pair is a seam to close.
    std::vector<uint8_t> out;
    out.reserve(joined.size());
    for (size_t i = 0; i < joined.size();) {
        if (i + 3 < joined.size() && joined[i] == 0xFF && joined[i + 1] == 0xD9 &&
            joined[i + 2] == 0xFF && joined[i + 3] == 0xD8) {
            i += 4;
            continue;
        }
        out.push_back(joined[i++]);
    }
    // Tables-only prefixes may leave two start markers in a row.
    while (out.size() >= 4 && out[0] == 0xFF && out[1] == 0xD8 && out[2] == 0xFF && out[3] == 0xD8)
        out.erase(out.begin(), out.begin() + 2);
    return out;
}

std::vector<uint8_t> inflateExactly(std::span<const uint8_t> in, size_t want) {
    std::vector<uint8_t> out(want);
    if (want == 0) return out;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return {};
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), UINT32_MAX));
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(want);
    while (zs.avail_out > 0) {
        const int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK) break;
    }
    out.resize(want - zs.avail_out);
    inflateEnd(&zs);
    return out;
}

std::vector<uint32_t> decodeLossless(const BitmapTag& t) {
    const uint32_t w = t.width, h = t.height;
    if (!t.valid || w == 0 || h == 0 || w > kMaxBitmapSide || h > kMaxBitmapSide ||
        uint64_t(w) * h > kMaxBitmapPixels)
        return {};
    const bool alpha = t.version == 2;
    auto premul = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
        // Stored premultiplied already; clamp what a broken file may exceed.
        r = std::min(r, a);
        g = std::min(g, a);
        b = std::min(b, a);
        return (a << 24) | (r << 16) | (g << 8) | b;
    };
    std::vector<uint32_t> px;
    if (t.format == 3) {
        const size_t entry = alpha ? 4 : 3;
        const size_t stride = (w + 3) & ~3u;
        const size_t tableBytes = entry * t.colorTableSize;
        const auto data = inflateExactly(t.image, tableBytes + stride * h);
        if (data.size() < tableBytes + stride * h) return {};
        std::vector<uint32_t> table(256, 0);
        for (int i = 0; i < t.colorTableSize; ++i) {
            const uint8_t* e = &data[i * entry];
            table[i] = alpha ? premul(e[3], e[0], e[1], e[2]) : premul(255, e[0], e[1], e[2]);
        }
        px.resize(size_t(w) * h);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                px[y * w + x] = table[data[tableBytes + y * stride + x]];
    } else if (t.format == 4) {
        const size_t stride = (w * 2 + 3) & ~3u;
        const auto data = inflateExactly(t.image, stride * h);
        if (data.size() < stride * h) return {};
        px.resize(size_t(w) * h);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const uint16_t v =
                    uint16_t(data[y * stride + 2 * x] << 8 | data[y * stride + 2 * x + 1]);
                const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                px[y * w + x] = premul(255, r * 255 / 31, g * 255 / 31, b * 255 / 31);
            }
    } else if (t.format == 5) {
        const size_t n = size_t(w) * h * 4;
        const auto data = inflateExactly(t.image, n);
        if (data.size() < n) return {};
        px.resize(size_t(w) * h);
        for (size_t i = 0; i < px.size(); ++i) {
            const uint8_t* p = &data[i * 4];
            px[i] = premul(alpha ? p[0] : 255, p[1], p[2], p[3]);
        }
    }
    return px;
}

}  // namespace swf::format
