#pragma once
// The pixels of a script's BitmapData, shared with what shows them (attached bitmaps, bitmap
// fills) so later changes appear on screen without copying.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace swf {

struct BitmapSurface {
    int width = 0;
    int height = 0;
    bool transparent = true;
    bool disposed = false;
    std::vector<uint32_t> px;  // premultiplied 0xAARRGGBB, row by row
    // Bytes held by all bitmaps of one movie; this one's share is returned when it goes.
    std::shared_ptr<size_t> budget;

    BitmapSurface() = default;
    BitmapSurface(const BitmapSurface&) = delete;
    BitmapSurface& operator=(const BitmapSurface&) = delete;
    ~BitmapSurface() {
        if (budget) *budget -= px.capacity() * sizeof(uint32_t);
    }

    uint32_t& at(int x, int y) { return px[static_cast<size_t>(y) * width + x]; }
    uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    // The pixels as Qt draws them, without a copy: valid until the bitmap next changes size.
    // Null once disposed.
    QImage view() const {
        if (disposed || width <= 0 || height <= 0 || px.size() < size_t(width) * height) return {};
        return QImage(reinterpret_cast<const uchar*>(px.data()), width, height, width * 4,
                      QImage::Format_ARGB32_Premultiplied);
    }
};

}  // namespace swf
