#pragma once
// Small movies for the window suites, written to disk by the project's SWF writer.

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

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

}  // namespace testmovies
