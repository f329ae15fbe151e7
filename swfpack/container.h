#pragma once
// The trailer that ends a projector container, shared by the library that writes it and the
// projector that finds its movie by it.

#include <cstdint>

namespace swfpack {

constexpr uint32_t kSignature = 0xFA123456;
constexpr int kTrailerSize = 8;

enum class TrailerKind {
    None,        // no signature: not a container
    Impossible,  // the signature, but a length larger than the data before the trailer
    Movie,       // a movie of the given length ends right before the trailer
};

struct Trailer {
    TrailerKind kind = TrailerKind::None;
    uint32_t length = 0;
};

inline uint32_t readLE32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void writeLE32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// tail: the last kTrailerSize bytes of a file of fileSize bytes (fileSize >= kTrailerSize).
inline Trailer readTrailer(const unsigned char* tail, uint64_t fileSize) {
    if (fileSize < uint64_t(kTrailerSize) || readLE32(tail) != kSignature) return {};
    const uint32_t length = readLE32(tail + 4);
    if (uint64_t(length) > fileSize - kTrailerSize) return {TrailerKind::Impossible, length};
    return {TrailerKind::Movie, length};
}

inline void writeTrailer(unsigned char* out, uint32_t length) {
    writeLE32(out, kSignature);
    writeLE32(out + 4, length);
}

}  // namespace swfpack
