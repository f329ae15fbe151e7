#include "engine/format/container.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace swf::format {
namespace {

constexpr size_t kFirstChunk = 64 * 1024;
constexpr uint64_t kLzmaMemLimit = 512ull << 20;  // refuses absurd dictionary sizes

// Grows out by at most doubling, never past cap; returns false when already at cap.
bool growOutput(std::vector<uint8_t>& out, size_t used, size_t cap) {
    if (used >= cap) return false;
    size_t next = std::max(kFirstChunk, out.size() * 2);
    out.resize(std::min(next, cap));
    return true;
}

// Inflates until the stream ends, the input runs out, or cap bytes are produced.
std::vector<uint8_t> inflateZlib(std::span<const uint8_t> in, size_t cap) {
    std::vector<uint8_t> out;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) throw FormatError("zlib could not be initialised");
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<size_t>(in.size(), UINT32_MAX));
    size_t used = 0;
    bool corrupt = false;
    while (used < cap) {
        if (used == out.size()) growOutput(out, used, cap);
        zs.next_out = out.data() + used;
        zs.avail_out = static_cast<uInt>(out.size() - used);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        used = out.size() - zs.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;  // input exhausted
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            corrupt = true;
            break;
        }
    }
    inflateEnd(&zs);
    // Corrupt data before anything came out means the file is not usable at all.
    if (corrupt && used == 0) throw FormatError("compressed data is corrupt (zlib)");
    out.resize(used);
    return out;
}

std::vector<uint8_t> inflateLzma(std::span<const uint8_t> props, std::span<const uint8_t> in,
                                 size_t cap) {
    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&ls, kLzmaMemLimit) != LZMA_OK)
        throw FormatError("LZMA could not be initialised");
    // The .lzma header the alone decoder expects: properties, then an unknown size; we stop
    // at the declared length ourselves.
    std::array<uint8_t, 13> header{};
    std::copy(props.begin(), props.end(), header.begin());
    std::fill(header.begin() + 5, header.end(), 0xff);

    std::vector<uint8_t> out;
    size_t used = 0;
    bool corrupt = false;
    lzma_ret rc = LZMA_OK;
    auto feed = [&](std::span<const uint8_t> chunk, lzma_action action) {
        ls.next_in = chunk.data();
        ls.avail_in = chunk.size();
        while (used < cap) {
            if (used == out.size()) growOutput(out, used, cap);
            ls.next_out = out.data() + used;
            ls.avail_out = out.size() - used;
            rc = lzma_code(&ls, action);
            used = out.size() - ls.avail_out;
            if (rc == LZMA_STREAM_END) return false;
            if (rc != LZMA_OK) {
                corrupt = rc != LZMA_BUF_ERROR;
                return false;
            }
            if (ls.avail_in == 0 && ls.avail_out != 0 && action == LZMA_RUN) return true;
        }
        return false;
    };
    if (feed(header, LZMA_RUN)) feed(in, LZMA_FINISH);
    lzma_end(&ls);
    if (rc == LZMA_MEMLIMIT_ERROR) throw FormatError("LZMA dictionary too large");
    if (corrupt && used == 0) throw FormatError("compressed data is corrupt (LZMA)");
    out.resize(used);
    return out;
}

uint32_t le32(std::span<const uint8_t> b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

}  // namespace

Container openContainer(std::span<const uint8_t> file) {
    if (file.size() < 3) throw FormatError("not a SWF file (too short)");
    const char c0 = static_cast<char>(file[0]);
    if (!((c0 == 'F' || c0 == 'C' || c0 == 'Z') && file[1] == 'W' && file[2] == 'S')) {
        char sig[32];
        std::snprintf(sig, sizeof sig, "%02x %02x %02x", file[0], file[1], file[2]);
        throw FormatError(std::string("not a SWF file (signature ") + sig + ")");
    }
    if (file.size() < 8) throw FormatError("truncated header");
    Container c;
    c.signature[0] = c0;
    c.signature[1] = 'W';
    c.signature[2] = 'S';
    c.version = file[3];
    c.declaredLength = le32(file, 4);
    if (c.declaredLength > kMaxDeclaredLength)
        throw FormatError("declared length " + std::to_string(c.declaredLength) +
                          " bytes is too large");
    // A length too small to hold even the signature is meaningless; read what is there.
    const bool lengthKnown = c.declaredLength >= 8;
    const size_t want = lengthKnown ? c.declaredLength - 8 : kMaxDeclaredLength - 8;

    if (c0 == 'F') {
        const auto rest = file.subspan(8);
        const size_t n = std::min(want, rest.size());
        c.body.assign(rest.begin(), rest.begin() + n);
    } else if (c0 == 'C') {
        c.body = inflateZlib(file.subspan(8), want);
    } else {
        if (file.size() < 17) throw FormatError("truncated header");
        c.body = inflateLzma(file.subspan(12, 5), file.subspan(17), want);
    }
    c.truncated = lengthKnown && c.body.size() < want;
    return c;
}

}  // namespace swf::format
