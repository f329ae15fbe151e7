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
