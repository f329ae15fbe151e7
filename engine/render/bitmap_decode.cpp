// Bitmap characters to QImage: JPEG/PNG/GIF through Qt's image readers, lossless data from zlib.
#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/runtime/movie.h"

namespace swf {
namespace {

bool sizeAllowed(QSize s) {
    return s.isValid() && s.width() > 0 && s.height() > 0 &&
           uint32_t(s.width()) <= format::kMaxBitmapSide &&
           uint32_t(s.height()) <= format::kMaxBitmapSide &&
           uint64_t(s.width()) * uint64_t(s.height()) <= format::kMaxBitmapPixels;
}

QImage readEncoded(const std::vector<uint8_t>& bytes) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The size is known from the stream's header: refuse huge images before decoding them.
    if (!sizeAllowed(reader.size())) return {};
    QImage img;
    if (!reader.read(&img)) return {};
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage decodeJpeg(const format::BitmapTag& t, const Movie& movie) {
    const std::vector<uint8_t> stream =
        format::repairJpeg(t.usesTables ? movie.jpegTables : std::span<const uint8_t>(), t.image);
    QImage img = readEncoded(stream);
    if (img.isNull() || t.alpha.empty()) return img;
    const size_t n = size_t(img.width()) * img.height();
    const std::vector<uint8_t> alpha = format::inflateExactly(t.alpha, n);
    if (alpha.size() < n) return img;  // a short alpha plane is ignored, as Flash did
    // The colour data is stored premultiplied by this alpha already.
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const uint32_t a = alpha[size_t(y) * img.width() + x];
            const uint32_t p = row[x];
            const uint32_t r = std::min<uint32_t>((p >> 16) & 0xff, a),
                           g = std::min<uint32_t>((p >> 8) & 0xff, a),
                           b = std::min<uint32_t>(p & 0xff, a);
            row[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    return img;
}

QImage losslessImage(const format::BitmapTag& t) {
    std::vector<uint32_t> px = format::decodeLossless(t);
    if (px.empty()) return {};
    QImage img(t.width, t.height, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return {};
    for (int y = 0; y < t.height; ++y)
        std::memcpy(img.scanLine(y), px.data() + size_t(y) * t.width, size_t(t.width) * 4);
    return img;
}

}  // namespace

const QImage& BitmapCharacter::image(const Movie& movie) const {
    return lazy.get([&] {
        QImage img =
            tag.kind == format::BitmapTag::Lossless ? losslessImage(tag) : decodeJpeg(tag, movie);
        const auto bytes = size_t(img.sizeInBytes());
        if (const size_t got = movie.bitmapBudget.take(bytes); got < bytes) {
            movie.bitmapBudget.giveBack(got);
            if (!movie.bitmapBudgetReported.exchange(true))
                std::fprintf(stderr,
                             "render: the movie's bitmaps reached the limit of %zu MiB "
                             "decoded; further bitmaps are not drawn.\n",
                             kMaxDecodedBitmapBytes >> 20);
            return QImage();
        }
        return img;
    });
}

}  // namespace swf
