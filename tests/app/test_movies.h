#pragma once
// Small movies for the window suites, written to disk by the project's SWF writer.

#include <QColor>
#include <QFile>
#include <QString>

#include "tests/support/swf_writer.h"

namespace testmovies {

// frames frames; a red square moves one step per frame on a blue stage.
inline QByteArray movingSquare(int frames, double fps = 24.0) {
    swftest::SwfBuilder b(6, 200, 100, fps);
    b.setBackground({0, 0, 255});
    const uint16_t square = b.defineRect(0, 0, 400, 400, {255, 0, 0});
    b.place(square, 1);
    b.showFrame();
    for (int i = 1; i < frames; ++i) {
        swftest::Matrix m;
        m.tx = i * 20;
        b.move(1, m);
        b.showFrame();
    }
    const auto bytes = b.bytes(swftest::Compression::Zlib);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// The colour that fills the whole stage in frame k of colourFrames: far apart for nearby k.
inline QColor frameColour(int k) {
    return QColor((k * 67 + 30) % 256, (k * 151 + 90) % 256, (k * 29 + 200) % 256);
}

// frames frames on a 300 x 200 stage (the shape of a grid cell), frame k filled with
// frameColour(first + k): what a picture of the movie shows names the frame it stands at.
inline QByteArray colourFrames(int frames, double fps = 24.0, int first = 0) {
    swftest::SwfBuilder b(6, 300, 200, fps);
    b.setBackground({0, 0, 0});
    for (int k = 0; k < frames; ++k) {
        const QColor c = frameColour(first + k);
        const uint16_t id = b.defineRect(0, 0, 6000, 4000,
                                         {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())});
        if (k == 0)
            b.place(id, 1);
        else
            b.replace(id, 1);
        b.showFrame();
    }
    const auto bytes = b.bytes(swftest::Compression::Zlib);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

}  // namespace testmovies
