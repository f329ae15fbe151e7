// Paints the pictures of the control panel, the playlist's frame and the add-directory bar in
// the look of the video window's frame: bevelled slate, a black well with lime light.
// Not part of the program's build; run it after changing the look and commit what it writes:
//   g++ -std=c++20 -fPIC skin/tools/make_panel_skin.cpp $(pkg-config --cflags --libs Qt6Gui) \
//       -o /tmp/make_panel_skin && /tmp/make_panel_skin skin
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
#include <functional>

namespace {

QString outDir;

void save(const QImage& image, const QString& name) {
    const QString path = outDir + '/' + name + QStringLiteral(".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "make_panel_skin: cannot write %s\n", qPrintable(path));
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

// The video window's colours.
const QColor kLight(0x5c, 0x6a, 0x77);
const QColor kShade(0x0a, 0x0d, 0x10);
const QColor kLime(0x4c, 0xc0, 0x1c);
const QColor kLimeBright(0x9c, 0xff, 0x3c);
const QColor kLimeDim(0x2a, 0x6e, 0x10);

// A sunken black well with a rounded rim, as the caption well of the video window.
void well(QPainter& p, QRectF r, double radius) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x33, 0x3e, 0x48));
    p.drawRoundedRect(r.translated(0, 1), radius, radius);
    p.setBrush(Qt::black);
    p.drawRoundedRect(r, radius, radius);
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0, QColor(0x02, 0x03, 0x04));
    fill.setColorAt(1, QColor(0x0b, 0x10, 0x0c));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
}

void lamp(QPainter& p, QPointF c, double r) {
    QRadialGradient glow(c, r * 2);
    glow.setColorAt(0, QColor(0x9c, 0xff, 0x3c, 150));
    glow.setColorAt(1, QColor(0x9c, 0xff, 0x3c, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(c, r * 2, r * 2);
    QRadialGradient body(c - QPointF(0.8, 0.8), r * 1.1);
    body.setColorAt(0, QColor(0xe8, 0xff, 0xc8));
    body.setColorAt(0.45, kLimeBright);
    body.setColorAt(1, kLimeDim);
    p.setPen(QPen(Qt::black, 0.8));
    p.setBrush(body);
    p.drawEllipse(c, r, r);
}

// A bevelled slate face: black outline, light top-left edge, shaded bottom-right edge.
void slate(QImage& image) {
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QColor c = mix(QColor(0x34, 0x3f, 0x4a), QColor(0x16, 0x1b, 0x20), double(y) / h);
            const int o = std::min({x, y, w - 1 - x, h - 1 - y});
            if (o == 0)
                c = Qt::black;
            else if (o == 1)
                c = (x == 1 || y == 1) ? kLight : kShade;
            image.setPixelColor(x, y, c);
        }
}

// ---- The panel ------------------------------------------------------------------------------

void writePanelBack() {
    QImage image(295, 128, QImage::Format_ARGB32);
    slate(image);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Caption bar.
    QLinearGradient bar(0, 2, 0, 14);
    bar.setColorAt(0, QColor(0x3e, 0x4a, 0x56));
    bar.setColorAt(1, QColor(0x1e, 0x25, 0x2c));
    p.fillRect(QRectF(2, 2, 291, 12), bar);
    p.fillRect(QRectF(2, 14, 291, 1), kLimeDim);
    p.fillRect(QRectF(2, 15, 291, 1), Qt::black);
    lamp(p, {8.5, 8.5}, 2.4);

    // The read-out display: time on the left, title and frames on the right.
    well(p, QRectF(6.5, 21.5, 282, 55), 5);
    p.fillRect(QRectF(114, 26, 1, 46), QColor(0x1a, 0x3a, 0x10));
    QFont small;
    small.setPixelSize(9);
    small.setBold(true);
    p.setFont(small);
    p.setPen(kLimeDim);
    p.drawText(QRectF(153, 44, 36, 13), Qt::AlignCenter, QStringLiteral("/"));
    p.drawText(QRectF(120, 59, 60, 12), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("FRAME"));
    p.drawText(QRectF(220, 59, 64, 12), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("LIST"));

    // The slider's groove under the thumb's path.
    const QRectF groove(21.5, 83.5, 267, 6);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(0x05, 0x07, 0x09));
    p.drawRoundedRect(groove, 3, 3);
    p.setPen(QPen(kLimeDim, 1));
    p.drawLine(QPointF(25, 86.5), QPointF(285, 86.5));

    // The button row sits in a shallow tray.
    QLinearGradient tray(0, 97, 0, 121);
    tray.setColorAt(0, QColor(0x0e, 0x12, 0x15));
    tray.setColorAt(1, QColor(0x1a, 0x20, 0x26));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(tray);
    p.drawRoundedRect(QRectF(20.5, 97.5, 247, 23), 4, 4);
    p.end();
    save(image, QStringLiteral("panel_back"));
}

using Glyph = std::function<void(QPainter&)>;

void triangle(QPainter& p, double x0, double x1, bool right, double top = 3, double bottom = 11) {
    QPainterPath path;
    const double mid = (top + bottom) / 2;
    if (right) {
        path.moveTo(x0, top);
        path.lineTo(x1, mid);
        path.lineTo(x0, bottom);
    } else {
        path.moveTo(x1, top);
        path.lineTo(x0, mid);
        path.lineTo(x1, bottom);
    }
    path.closeSubpath();
    p.drawPath(path);
}

// A 23 x 16 transport button: raised, or sunk with a brighter glyph when pressed.
QImage transportButton(const Glyph& glyph, bool pressed) {
    QImage image = blank(23, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, 22, 15);
    QLinearGradient g(0, r.top(), 0, r.bottom());
    g.setColorAt(0, pressed ? QColor(0x0c, 0x10, 0x12) : QColor(0x44, 0x50, 0x5c));
    g.setColorAt(1, pressed ? QColor(0x22, 0x2a, 0x30) : QColor(0x1c, 0x22, 0x28));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 3, 3);
    p.setPen(QPen(pressed ? kLime : QColor(0x6a, 0x78, 0x84), 1));
    if (pressed)
        p.drawLine(QPointF(3, 14), QPointF(20, 14));
    else
        p.drawLine(QPointF(3, 1.5), QPointF(20, 1.5));
    // The glyph, 14 wide and 14 high, centred; a shadow under it.
    p.translate(4.5 + (pressed ? 0.5 : 0), 1 + (pressed ? 0.5 : 0));
    p.setPen(Qt::NoPen);
    p.translate(0.5, 0.7);
    p.setBrush(QColor(0, 0, 0, 170));
    glyph(p);
    p.translate(-0.5, -0.7);
    QLinearGradient lit(0, 3, 0, 11);
    lit.setColorAt(0, QColor(0xd8, 0xff, 0xb0));
    lit.setColorAt(0.5, pressed ? QColor(0xd8, 0xff, 0xb0) : kLimeBright);
    lit.setColorAt(1, kLime);
    p.setBrush(lit);
    glyph(p);
    return image;
}

void writePanelButtons() {
    struct Button {
        const char* name;
        Glyph glyph;
    };
    const Button buttons[] = {
        {"open",
         [](QPainter& p) {
             QPainterPath up;
             up.moveTo(7, 2.5);
             up.lineTo(12, 7.5);
             up.lineTo(2, 7.5);
             up.closeSubpath();
             p.drawPath(up);
             p.drawRect(QRectF(2, 9, 10, 2.2));
         }},
        {"play", [](QPainter& p) { triangle(p, 3.5, 11.5, true, 2.5, 11.5); }},
        {"rewind",
         [](QPainter& p) {
             p.drawRect(QRectF(1.5, 3, 1.8, 8));
             triangle(p, 3.3, 8, false);
             triangle(p, 7.5, 12.2, false);
         }},
        {"stepback",
         [](QPainter& p) {
             triangle(p, 2.5, 9, false);
             p.drawRect(QRectF(9.8, 3, 1.8, 8));
         }},
        {"pause",
         [](QPainter& p) {
             p.drawRect(QRectF(3.5, 3, 2.6, 8));
             p.drawRect(QRectF(7.9, 3, 2.6, 8));
         }},
        {"stepforward",
         [](QPainter& p) {
             p.drawRect(QRectF(2.4, 3, 1.8, 8));
             triangle(p, 5, 11.5, true);
         }},
        {"end",
         [](QPainter& p) {
             triangle(p, 1.8, 6.5, true);
             triangle(p, 6, 10.7, true);
             p.drawRect(QRectF(10.7, 3, 1.8, 8));
         }},
        {"stop", [](QPainter& p) { p.drawRect(QRectF(3.5, 3.5, 7, 7)); }},
        {"capture",
         [](QPainter& p) {
             QPainterPath body;
             body.addRoundedRect(QRectF(1.5, 4, 11, 7.5), 1.2, 1.2);
             body.addRect(QRectF(4.5, 2.5, 4, 2));
             QPainterPath lens;
             lens.addEllipse(QPointF(7, 7.7), 2.2, 2.2);
             p.drawPath(body.subtracted(lens));
             p.drawEllipse(QPointF(7, 7.7), 1.1, 1.1);
         }},
        {"fullscreen",
         [](QPainter& p) {
             QPainterPath corners;
             const double a = 1.5, b = 12.5, l = 4, t = 1.6;
             for (int sx = 0; sx < 2; ++sx)
                 for (int sy = 0; sy < 2; ++sy) {
                     const double x = sx ? b - l : a, y = sy ? b - l - 1 : a;
                     const double cx = sx ? b - t : a, cy = sy ? b - 1 - t : a;
                     corners.addRect(QRectF(x, cy, l, t));
                     corners.addRect(QRectF(cx, y, t, l));
                 }
             p.drawPath(corners.simplified());
         }},
        {"resume", [](QPainter& p) { triangle(p, 3.5, 11.5, true, 2.5, 11.5); }},
    };
    for (const Button& b : buttons) {
        const QString name = QStringLiteral("panel_") + QString::fromLatin1(b.name);
        save(transportButton(b.glyph, false), name);
        // Pause and resume swap with each other instead of showing a pressed look.
        if (qstrcmp(b.name, "pause") != 0 && qstrcmp(b.name, "resume") != 0)
            save(transportButton(b.glyph, true), name + QStringLiteral("_down"));
    }
}

void writePanelSmallParts() {
    // The slider's thumb, a lime pill like the strip's seek handle.
    QImage thumb = blank(33, 12);
    {
        QPainter p(&thumb);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 1, 0, 11);
        g.setColorAt(0, QColor(0xd8, 0xff, 0xb0));
        g.setColorAt(0.5, kLimeBright);
        g.setColorAt(1, kLimeDim);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(0.5, 0.5, 32, 11), 4, 4);
        p.setPen(QPen(QColor(0x1a, 0x40, 0x0a), 1));
        for (double x : {13.5, 16.5, 19.5}) p.drawLine(QPointF(x, 3.5), QPointF(x, 8.5));
    }
    save(thumb, QStringLiteral("panel_thumb"));

    QImage close = blank(8, 8);
    {
        QPainter p(&close);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, 1.5), QPointF(6.5, 6.5));
        p.drawLine(QPointF(6.5, 1.5), QPointF(1.5, 6.5));
        p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, 1.5), QPointF(6.5, 6.5));
        p.drawLine(QPointF(6.5, 1.5), QPointF(1.5, 6.5));
    }
    save(close, QStringLiteral("panel_close"));

    QImage dot = blank(8, 8);
    {
        QPainter p(&dot);
        p.setRenderHint(QPainter::Antialiasing);
        lamp(p, {4, 4}, 2.4);
    }
    save(dot, QStringLiteral("panel_dot"));

    // The playlist toggle's glyph: three list lines with their bullets.
    QImage list = blank(20, 11);
    {
        QPainter p(&list);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            const double y = 1 + i * 3.5;
            p.setBrush(kLimeBright);
            p.drawRect(QRectF(3, y, 2.2, 2.2));
            p.setBrush(kLime);
            p.drawRect(QRectF(7, y + 0.3, 11, 1.6));
        }
    }
    save(list, QStringLiteral("panel_list"));
}

// ---- The playlist's frame -------------------------------------------------------------------

// The whole frame at the docked size (295 x 180), the list's rectangle black; cut into the
// pieces at their laid-out bounds. Edges vary across their width only, so they stretch.
void writeListFrame() {
    constexpr int W = 295, H = 180;
    constexpr int top = 20, left = 16, right = 16, bottom = 27;
    QImage image(W, H, QImage::Format_ARGB32);
    const int px0 = left, py0 = top, px1 = W - right - 1, py1 = H - bottom - 1;
    const int thickness[] = {top, left, right, bottom};
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (x >= px0 && x <= px1 && y >= py0 && y <= py1) {
                image.setPixelColor(x, y, Qt::black);
                continue;
            }
            const int d[] = {y, x, W - 1 - x, H - 1 - y};
            int band = 0;
            for (int b = 1; b < 4; ++b)
                if (d[b] * thickness[band] < d[band] * thickness[b]) band = b;
            const int depth = d[band];
            const double s = double(depth) / thickness[band];
            const int ring = std::max({px0 - x, py0 - y, x - px1, y - py1});
            QColor c;
            if (depth == 0)
                c = Qt::black;
            else if (ring == 1)
                c = kLimeDim;
            else if (ring == 2)
                c = Qt::black;
            else if (depth == 1)
                c = (band == 0 || band == 1) ? kLight : kShade;
            else if (band == 0)
                c = mix(QColor(0x3a, 0x45, 0x50), QColor(0x1a, 0x20, 0x26), s * 1.15);
            else if (band == 1)
                c = mix(QColor(0x30, 0x3a, 0x44), QColor(0x1b, 0x21, 0x27), s);
            else if (band == 2)
                c = mix(QColor(0x14, 0x18, 0x1c), QColor(0x22, 0x29, 0x30), s);
            else
                c = mix(QColor(0x12, 0x16, 0x1a), QColor(0x26, 0x2e, 0x36), s);
            image.setPixelColor(x, y, c);
        }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    lamp(p, {8.5, 8.5}, 2.4);
    lamp(p, {W - 7.5, 8.5}, 2.4);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < 3; ++i) {  // the resize grip
        const int o = 4 + i * 4;
        p.setPen(kLight);
        p.drawLine(W - 3, H - 3 - o, W - 3 - o, H - 3);
        p.setPen(Qt::black);
        p.drawLine(W - 3, H - 2 - o, W - 2 - o, H - 3);
    }
    p.end();
    struct Piece {
        const char* name;
        QRect bounds;
    };
    const Piece pieces[] = {
        {"lt", {0, 0, 33, 25}},          {"top1", {25, 0, 245, 25}},     {"rt", {270, 0, 25, 25}},
        {"left1", {0, 25, 33, 130}},     {"right1", {269, 24, 25, 131}}, {"lb", {0, 155, 33, 25}},
        {"bottom1", {32, 155, 247, 25}}, {"rb", {270, 155, 25, 25}},
    };
    for (const Piece& piece : pieces)
        save(image.copy(piece.bounds), QStringLiteral("list_") + QString::fromLatin1(piece.name));
}

// The add-directory window's top bar, 29 high.
void writeDirectoryBar() {
    QImage image(307, 29, QImage::Format_ARGB32);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 307; ++x) {
            QColor c = mix(QColor(0x3a, 0x45, 0x50), QColor(0x16, 0x1b, 0x20), y / 26.0);
            if (y == 0 || x == 0 || x == 306)
                c = Qt::black;
            else if (y == 1)
                c = kLight;
            if (y == 27) c = kLimeDim;
            if (y == 28) c = Qt::black;
            image.setPixelColor(x, y, c);
        }
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    lamp(p, {9.5, 9.5}, 2.4);
    lamp(p, {297.5, 9.5}, 2.4);
    p.end();
    save(image, QStringLiteral("dir_top"));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(outDir);
    writePanelBack();
    writePanelButtons();
    writePanelSmallParts();
    writeListFrame();
    writeDirectoryBar();
    return 0;
}
