// Paints the program's skin: the eight pieces of the video window's frame, the playback strip
// and its buttons, the menu tick, the about box and the program's icon.
//
// The frame is painted once as a whole window at its designed size and cut into the pieces at
// their designed bounds, so corners and edges always meet. Edges only vary across their width,
// which lets the window stretch them along their length.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cstdio>

namespace {

QString outDir;

void save(const QImage& image, const char* name) {
    const QString path = outDir + '/' + QString::fromLatin1(name) + QStringLiteral(".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "make_skin: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QImage blank(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QColor mix(QColor a, QColor b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

// Shared colours: the slate of the other windows, lime for light, white for titles.
const QColor kBody(0x1c, 0x22, 0x28);
const QColor kLight(0x5c, 0x6a, 0x77);
const QColor kShade(0x0a, 0x0d, 0x10);
const QColor kLime(0x4c, 0xc0, 0x1c);
const QColor kLimeBright(0x9c, 0xff, 0x3c);
const QColor kLimeDim(0x2a, 0x6e, 0x10);
const QColor kWell(0x05, 0x07, 0x09);

// The whole frame at the designed window size; the player's rectangle stays black.
constexpr int kW = 417, kH = 308;
constexpr int kPlayerLeft = 16, kPlayerTop = 24, kRightBand = 12, kBottomBand = 34;

enum Band { Top, Left, Right, Bottom };

QImage paintFrame() {
    QImage image(kW, kH, QImage::Format_ARGB32);
    const int px0 = kPlayerLeft, py0 = kPlayerTop;
    const int px1 = kW - kRightBand - 1, py1 = kH - kBottomBand - 1;
    const int thickness[] = {kPlayerTop, kPlayerLeft, kRightBand, kBottomBand};
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (x >= px0 && x <= px1 && y >= py0 && y <= py1) {
                image.setPixelColor(x, y, Qt::black);
                continue;
            }
            const int d[] = {y, x, kW - 1 - x, kH - 1 - y};
            // Mitred corners: a pixel belongs to the band it lies deepest in, relative to width.
            int band = Top;
            for (int b = 1; b < 4; ++b)
                if (d[b] * thickness[band] < d[band] * thickness[b]) band = b;
            const int depth = d[band];
            const double s = double(depth) / thickness[band];
            const int ring = std::max({px0 - x, py0 - y, x - px1, y - py1});  // 1 = touching

            QColor c;
            if (depth == 0) {
                c = Qt::black;
            } else if (ring == 1) {
                c = kLimeDim;
            } else if (ring == 2) {
                c = Qt::black;
            } else if (ring == 3) {
                c = kShade;
            } else if (depth == 1) {
                c = (band == Top || band == Left) ? kLight : kShade;
            } else {
                switch (band) {
                    case Top:
                        c = mix(QColor(0x3a, 0x45, 0x50), QColor(0x1a, 0x20, 0x26), s * 1.15);
                        break;
                    case Left:
                        c = mix(QColor(0x30, 0x3a, 0x44), QColor(0x1b, 0x21, 0x27), s);
                        break;
                    case Right:
                        c = mix(QColor(0x14, 0x18, 0x1c), QColor(0x22, 0x29, 0x30), s);
                        break;
                    default:
                        c = mix(QColor(0x12, 0x16, 0x1a), QColor(0x26, 0x2e, 0x36), s);
                        break;
                }
            }
            image.setPixelColor(x, y, c);
        }
    }

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // The caption well in the bottom band: a dark slot where the lime caption line sits.
    const QRectF well(6.5, kH - 27.5, kW - 6.5 - 19, 18);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x33, 0x3e, 0x48));
    p.drawRoundedRect(well.translated(0, 1), 4, 4);
    p.setBrush(Qt::black);
    p.drawRoundedRect(well, 4, 4);
    QLinearGradient wellFill(0, well.top(), 0, well.bottom());
    wellFill.setColorAt(0, QColor(0x02, 0x03, 0x04));
    wellFill.setColorAt(1, QColor(0x0b, 0x10, 0x0c));
    p.setBrush(wellFill);
    p.drawRoundedRect(well.adjusted(1, 1, -1, -1), 3, 3);

    // Two lime lamps in the upper corners.
    auto lamp = [&p](QPointF c) {
        QRadialGradient glow(c, 5);
        glow.setColorAt(0, QColor(0x9c, 0xff, 0x3c, 150));
        glow.setColorAt(1, QColor(0x9c, 0xff, 0x3c, 0));
        p.setBrush(glow);
        p.drawEllipse(c, 5, 5);
        QRadialGradient body(c - QPointF(0.8, 0.8), 2.6);
        body.setColorAt(0, QColor(0xe8, 0xff, 0xc8));
        body.setColorAt(0.45, kLimeBright);
        body.setColorAt(1, kLimeDim);
        p.setPen(QPen(Qt::black, 0.8));
        p.setBrush(body);
        p.drawEllipse(c, 2.4, 2.4);
        p.setPen(Qt::NoPen);
    };
    lamp({8.5, 9.5});
    lamp({kW - 8.5, 9.5});

    // The resize grip: three ridges in the bottom-right corner.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < 3; ++i) {
        const int o = 4 + i * 4;
        p.setPen(kLight);
        p.drawLine(kW - 3, kH - 3 - o, kW - 3 - o, kH - 3);
        p.setPen(Qt::black);
        p.drawLine(kW - 3, kH - 2 - o, kW - 2 - o, kH - 3);
    }
    return image;
}

void writeFrame() {
    const QImage frame = paintFrame();
    struct Piece {
        const char* name;
        QRect bounds;
    };
    const Piece pieces[] = {
        {"lt", {0, 0, 25, 25}},          {"top1", {25, 0, 368, 29}},     {"rt", {392, 0, 25, 30}},
        {"left1", {0, 25, 25, 249}},     {"right1", {392, 29, 24, 244}}, {"lb", {0, 272, 25, 36}},
        {"bottom1", {24, 272, 369, 36}}, {"rb", {392, 272, 25, 36}},
    };
    for (const Piece& piece : pieces) save(frame.copy(piece.bounds), piece.name);
}

// The playback strip: a bar 24 high, stretched along, and 23 x 22 buttons in three states.
void writeStrip() {
    QImage strip(16, 24, QImage::Format_ARGB32);
    for (int y = 0; y < 24; ++y) {
        QColor c = mix(QColor(0x33, 0x3d, 0x47), QColor(0x15, 0x1a, 0x1f), y / 23.0);
        if (y == 0) c = kLight;
        if (y == 22) c = kLimeDim;
        if (y == 23) c = Qt::black;
        for (int x = 0; x < 16; ++x) strip.setPixelColor(x, y, c);
    }
    save(strip, "strip");

    auto button = [](QColor top, QColor bottom, QColor edge, bool sunk) {
        QImage image = blank(23, 22);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(1.5, 1.5, 20, 19);
        QLinearGradient g(0, r.top(), 0, r.bottom());
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(g);
        p.drawRoundedRect(r, 3, 3);
        p.setPen(QPen(edge, 1));
        p.setBrush(Qt::NoBrush);
        const QRectF inner = r.adjusted(1, 1, -1, -1);
        if (sunk)
            p.drawLine(inner.bottomLeft() + QPointF(2, 0), inner.bottomRight() - QPointF(2, 0));
        else
            p.drawLine(inner.topLeft() + QPointF(2, 0), inner.topRight() - QPointF(2, 0));
        return image;
    };
    save(
        button(QColor(0x3a, 0x45, 0x50), QColor(0x1c, 0x22, 0x28), QColor(0x6a, 0x78, 0x84), false),
        "button");
    save(
        button(QColor(0x3c, 0x55, 0x34), QColor(0x1c, 0x2a, 0x18), QColor(0x9c, 0xff, 0x3c), false),
        "button_hover");
    save(button(QColor(0x0c, 0x10, 0x12), QColor(0x22, 0x2a, 0x30), QColor(0x4c, 0xc0, 0x1c), true),
         "button_down");
}

// Transport glyphs, lime on transparent, 16 x 16.
void writeGlyphs() {
    auto glyph = [](auto draw, const char* name) {
        QImage image = blank(16, 16);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.translate(0.6, 0.8);
        p.setBrush(QColor(0, 0, 0, 170));
        draw(p);  // shadow
        p.translate(-0.6, -0.8);
        QLinearGradient g(0, 3, 0, 13);
        g.setColorAt(0, QColor(0xd8, 0xff, 0xb0));
        g.setColorAt(0.5, kLimeBright);
        g.setColorAt(1, kLime);
        p.setBrush(g);
        draw(p);
        save(image, name);
    };
    auto triangle = [](QPainter& p, double x0, double x1, bool right) {
        QPainterPath path;
        if (right) {
            path.moveTo(x0, 3.5);
            path.lineTo(x1, 8);
            path.lineTo(x0, 12.5);
        } else {
            path.moveTo(x1, 3.5);
            path.lineTo(x0, 8);
            path.lineTo(x1, 12.5);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    glyph(
        [&](QPainter& p) {
            p.drawRect(QRectF(2.5, 3.5, 2, 9));
            triangle(p, 4.5, 9, false);
            triangle(p, 8.5, 13, false);
        },
        "glyph_previous");
    glyph(
        [&](QPainter& p) {
            triangle(p, 3.5, 10, false);
            p.drawRect(QRectF(10.5, 3.5, 2, 9));
        },
        "glyph_back");
    glyph(
        [&](QPainter& p) {
            p.drawRect(QRectF(4, 3.5, 3, 9));
            p.drawRect(QRectF(9, 3.5, 3, 9));
        },
        "glyph_pause");
    glyph([&](QPainter& p) { triangle(p, 4.5, 12.5, true); }, "glyph_play");
    glyph(
        [&](QPainter& p) {
            p.drawRect(QRectF(3.5, 3.5, 2, 9));
            triangle(p, 6, 12.5, true);
        },
        "glyph_forward");
    glyph(
        [&](QPainter& p) {
            triangle(p, 3, 7.5, true);
            triangle(p, 7, 11.5, true);
            p.drawRect(QRectF(11.5, 3.5, 2, 9));
        },
        "glyph_next");

    // The menu's tick.
    QImage tick = blank(12, 12);
    QPainter p(&tick);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kLimeBright, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{2.0, 6.5}, {5.0, 9.5}, {10.0, 2.5}}));
    p.end();
    save(tick, "tick");
}

// The program's mark: a lime ring around a white play mark.
QImage paintLogo(int size) {
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    p.scale(s, s);
    QRadialGradient disc(QPointF(26, 24), 34);
    disc.setColorAt(0, QColor(0x2e, 0x38, 0x42));
    disc.setColorAt(1, QColor(0x0c, 0x10, 0x13));
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(disc);
    p.drawEllipse(QPointF(32, 32), 30, 30);
    QLinearGradient ring(0, 6, 0, 58);
    ring.setColorAt(0, kLimeBright);
    ring.setColorAt(1, kLimeDim);
    p.setPen(QPen(QBrush(ring), 4.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(32, 32), 24, 24);
    QPainterPath play;
    play.moveTo(26, 19);
    play.lineTo(46, 32);
    play.lineTo(26, 45);
    play.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 140));
    p.drawPath(play.translated(1.2, 1.5));
    QLinearGradient mark(0, 19, 0, 45);
    mark.setColorAt(0, Qt::white);
    mark.setColorAt(1, QColor(0xc8, 0xd2, 0xdc));
    p.setBrush(mark);
    p.drawPath(play);
    return image;
}

// The about box: the same bevelled slate with a lime line around its face.
void writeAbout() {
    constexpr int w = 340, h = 196;
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int o = std::min({x, y, w - 1 - x, h - 1 - y});
            QColor c = mix(QColor(0x2c, 0x35, 0x3e), QColor(0x16, 0x1b, 0x20), double(y) / h);
            if (o == 0)
                c = Qt::black;
            else if (o == 1)
                c = (x == 1 || y == 1) ? kLight : kShade;
            else if (o == 7)
                c = kShade;
            else if (o == 8)
                c = Qt::black;
            else if (o == 9)
                c = kLimeDim;
            image.setPixelColor(x, y, c);
        }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(QPoint(26, 30), paintLogo(72));
    // A thin lime rule under the title area.
    QLinearGradient rule(118, 0, w - 24, 0);
    rule.setColorAt(0, kLime);
    rule.setColorAt(1, QColor(0x4c, 0xc0, 0x1c, 0));
    p.fillRect(QRectF(118, 64, w - 142, 1), rule);
    p.end();
    save(image, "about");
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(outDir);
    writeFrame();
    writeStrip();
    writeGlyphs();
    writeAbout();
    save(paintLogo(48), "icon");
    return 0;
}
