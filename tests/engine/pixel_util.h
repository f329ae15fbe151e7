#pragma once
// Drawing a player into an image and reading pixels with a tolerance, for the render suites.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "engine/player.h"

namespace enginetest {

inline QImage stage(const swf::Player& p, swf::Quality q = swf::Quality::High) {
    const auto& i = p.info();
    QImage img(i.widthPixels(), i.heightPixels(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter painter(&img);
    const_cast<swf::Player&>(p).setQuality(q);
    p.render(painter, img.rect(), swf::ScaleMode::ExactFit);
    return img;
}

// Pixels that differ at all between two pictures; -1 when their sizes differ.
inline int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

inline int colorDistance(QColor a, QColor b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue())});
}

inline ::testing::AssertionResult pixelNear(const QImage& img, int x, int y, QColor want,
                                            int tolerance = 8) {
    const QColor got = img.pixelColor(x, y);
    if (colorDistance(got, want) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << "," << y << ") is " << got.name().toStdString() << ", want "
           << want.name().toStdString();
}

}  // namespace enginetest
