// make_sample: writes the movie the player shows when nothing else is loaded (resource
// :/myswf/mysample). Text is turned into outlines here, at build time, so that the movie needs
// nothing but solid-filled shapes, plain lines and PlaceObject2 with matrix and colour transform.
//
// Usage: make_sample OUTPUT.swf [--scale N] [--png FRAME=PATH]...
//   --png rasterises the scene at a frame with QPainter, straight from the shape records
//   (fill0/fill1 sides honoured), to check the artwork without the engine; --scale N renders
//   those N times the stage size (a full-screen look).

#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextLayout>
#include <QTransform>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/swf_writer.h"

namespace {

using swftest::Cxform;
using swftest::Matrix;
using swftest::PathCmd;
using swftest::Rgba;
using swftest::ShapeDesc;

constexpr int kWidth = 480, kHeight = 320;
constexpr int kFrames = 48;  // two seconds at 24 fps, then the root timeline loops
constexpr double kFps = 24.0;
constexpr double kPi = std::numbers::pi;

const Rgba kBackground{0x10, 0x14, 0x18};
const Rgba kWhite{0xf2, 0xf5, 0xf7};
const Rgba kLime{0xa6, 0xe2, 0x2e};
const Rgba kGrey{0x5d, 0x6b, 0x75};
const Rgba kTrack{0x1d, 0x25, 0x2b};

int tw(double px) { return static_cast<int>(std::lround(px * 20.0)); }

Rgba mix(Rgba a, Rgba b, double t) {
    auto m = [t](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(x + (y - x) * t));
    };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), 255};
}

// ------------------------------------------------------------ QPainterPath -> SWF edges

struct Pt {
    double x, y;
};
Pt lerp(Pt a, Pt b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// Cubic -> quadratics: one quadratic when the cubic is (nearly) a degree-raised quadratic, as
// TrueType outlines are; else split at t = 1/2 until the approximation error is below tol (px).
void cubicToQuads(Pt p0, Pt c1, Pt c2, Pt p3, double tol, std::vector<PathCmd>& out,
                  int depth = 0) {
    const double ex = p3.x - 3 * c2.x + 3 * c1.x - p0.x, ey = p3.y - 3 * c2.y + 3 * c1.y - p0.y;
    const double err = std::sqrt(3.0) / 36.0 * std::hypot(ex, ey);
    if (err <= tol || depth >= 8) {
        const Pt q{(3 * (c1.x + c2.x) - p0.x - p3.x) / 4, (3 * (c1.y + c2.y) - p0.y - p3.y) / 4};
        out.push_back({PathCmd::Curve, tw(p3.x), tw(p3.y), tw(q.x), tw(q.y)});
        return;
    }
    const Pt a = lerp(p0, c1, .5), b = lerp(c1, c2, .5), c = lerp(c2, p3, .5);
    const Pt d = lerp(a, b, .5), e = lerp(b, c, .5), m = lerp(d, e, .5);
    cubicToQuads(p0, a, d, m, tol, out, depth + 1);
    cubicToQuads(m, e, c, p3, tol, out, depth + 1);
}

// One closed contour of a QPainterPath as SWF commands (absolute twips, starting with Move).
std::vector<PathCmd> contourCmds(const QPainterPath& sub) {
    std::vector<PathCmd> cmds;
    Pt start{0, 0}, cur{0, 0};
    for (int i = 0; i < sub.elementCount(); ++i) {
        const QPainterPath::Element e = sub.elementAt(i);
        switch (e.type) {
            case QPainterPath::MoveToElement:
                start = cur = {e.x, e.y};
                cmds.push_back({PathCmd::Move, tw(e.x), tw(e.y)});
                break;
            case QPainterPath::LineToElement:
                cur = {e.x, e.y};
                cmds.push_back({PathCmd::Line, tw(e.x), tw(e.y)});
                break;
            case QPainterPath::CurveToElement: {
                const QPainterPath::Element c2 = sub.elementAt(i + 1), p3 = sub.elementAt(i + 2);
                cubicToQuads(cur, {e.x, e.y}, {c2.x, c2.y}, {p3.x, p3.y}, 0.08, cmds);
                cur = {p3.x, p3.y};
                i += 2;
                break;
            }
            case QPainterPath::CurveToDataElement:
                break;
        }
    }
    if (!cmds.empty() && (cmds.back().x != tw(start.x) || cmds.back().y != tw(start.y)))
        cmds.push_back({PathCmd::Line, tw(start.x), tw(start.y)});
    return cmds;
}

std::vector<QPainterPath> splitContours(const QPainterPath& path) {
    std::vector<QPainterPath> subs;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            subs.emplace_back();
            subs.back().moveTo(e.x, e.y);
        } else if (subs.empty()) {
            continue;
        } else if (e.type == QPainterPath::LineToElement) {
            subs.back().lineTo(e.x, e.y);
        } else if (e.type == QPainterPath::CurveToElement) {
            const auto c2 = path.elementAt(i + 1), p3 = path.elementAt(i + 2);
            subs.back().cubicTo(e.x, e.y, c2.x, c2.y, p3.x, p3.y);
            i += 2;
        }
    }
    std::erase_if(subs, [](const QPainterPath& p) { return p.elementCount() < 3; });
    return subs;
}

// Whether filling with the winding rule differs from even-odd: overlapping contours, which
// SWF's edge-side fills cannot express directly.
bool hasOverlaps(const QPainterPath& path) {
    const QRectF r = path.boundingRect().adjusted(-2, -2, 2, 2);
    QImage a(r.size().toSize() * 2, QImage::Format_Grayscale8), b = a;
    for (auto [img, rule] : {std::pair{&a, Qt::WindingFill}, std::pair{&b, Qt::OddEvenFill}}) {
        img->fill(0);
        QPainter p(img);
        p.scale(2, 2);
        p.translate(-r.topLeft());
        QPainterPath q = path;
        q.setFillRule(rule);
        p.fillPath(q, Qt::white);
    }
    long diff = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            diff += std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]) > 128;
    return diff > 4;
}

// Adds an outline (filled by the winding rule, as glyphs are) to a shape with one fill style.
// Each contour says on which side the ink is: ink on the right of the direction of travel
// (y down) is fill1, on the left fill0. So the shape fills correctly both by SWF's edge-side
// rule and by plain even-odd over all its edges.
void addOutline(ShapeDesc& shape, QPainterPath path, int fill) {
    path.setFillRule(Qt::WindingFill);
    if (hasOverlaps(path)) {
        // Merge the overlaps. simplified() flattens curves, so do it 8x larger: the facets
        // stay invisible when the movie is scaled up to a full screen.
        path = (QTransform::fromScale(8, 8).map(path)).simplified();
        path = QTransform::fromScale(0.125, 0.125).map(path);
    }
    const std::vector<QPainterPath> subs = splitContours(path);
    std::vector<QPolygonF> polys;
    for (const auto& s : subs) polys.push_back(s.toSubpathPolygons().value(0));
    for (size_t i = 0; i < subs.size(); ++i) {
        const QPolygonF& poly = polys[i];
        double area2 = 0;
        for (qsizetype k = 0; k < poly.size(); ++k) {
            const QPointF a = poly[k], b = poly[(k + 1) % poly.size()];
            area2 += a.x() * b.y() - b.x() * a.y();
        }
        int depth = 0;  // how many other contours enclose this one: odd = a hole
        for (size_t j = 0; j < subs.size(); ++j)
            if (j != i && polys[j].containsPoint(poly.value(0), Qt::OddEvenFill)) ++depth;
        const bool interiorOnRight = area2 > 0;  // clockwise on screen
        const bool inkOnRight = interiorOnRight == (depth % 2 == 0);
        ShapeDesc::Path p;
        (inkOnRight ? p.fill1 : p.fill0) = fill;
        p.cmds = contourCmds(subs[i]);
        shape.paths.push_back(std::move(p));
    }
}

// Text as outlines, glyph by glyph (so that only a glyph with overlapping strokes is merged),
// laid out by QTextLayout (kerning, letter spacing). origin is the left end of the baseline.
void addText(ShapeDesc& shape, const QFont& font, const QString& text, QPointF origin, int fill) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(100000);
    layout.endLayout();
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].isSpace()) continue;
        QPainterPath glyph;
        glyph.addText(origin + QPointF(line.cursorToX(i), 0), font, text.mid(i, 1));
        addOutline(shape, glyph, fill);
    }
}

// ------------------------------------------------------------ the scene

struct Placement {
    Matrix m;
    std::optional<Cxform> cx;
};

struct Layer {
    int shape;  // index into Scene::shapes
    int depth;
    std::function<Placement(int frame)> at;
    bool animated;
};

struct Scene {
    std::vector<ShapeDesc> shapes;
    std::vector<Layer> layers;
};

QFont pickFont(int pixelSize, bool bold) {
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    if (QFontInfo(f).family() != f.family()) {
        std::fprintf(stderr, "make_sample: WenQuanYi Micro Hei not found, using %s\n",
                     qPrintable(QFontInfo(QFont()).family()));
        f = QFont();
    }
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

Matrix rotation(double radians, double cx, double cy) {
    const double c = std::cos(radians), s = std::sin(radians);
    return {c, c, s, -s, tw(cx), tw(cy)};
}

Matrix scaleAbout(double sx, double sy, double x, double y) { return {sx, sy, 0, 0, tw(x), tw(y)}; }

// An annular sector from angle a0 to a1 (radians), radii r0 < r1, centred on the origin.
QPainterPath sector(double a0, double a1, double r0, double r1) {
    const double deg0 = a0 * 180 / kPi, span = (a1 - a0) * 180 / kPi;
    QPainterPath p;
    p.arcMoveTo(QRectF(-r1, -r1, 2 * r1, 2 * r1), -deg0);
    p.arcTo(QRectF(-r1, -r1, 2 * r1, 2 * r1), -deg0, -span);
    p.arcTo(QRectF(-r0, -r0, 2 * r0, 2 * r0), -deg0 - span, span);
    p.closeSubpath();
    return p;
}

Scene buildScene() {
    Scene sc;
    const double ringX = kWidth / 2.0, ringY = 104;

    // Faint outer circle, a plain line.
    {
        ShapeDesc s;
        s.lines = {{tw(1.0), {0x26, 0x31, 0x3a}}};
        QPainterPath c;
        c.addEllipse(QPointF(0, 0), 66, 66);
        for (const auto& sub : splitContours(c)) {
            ShapeDesc::Path p;
            p.line = 1;
            p.cmds = contourCmds(sub);
            s.paths.push_back(std::move(p));
        }
        sc.shapes.push_back(std::move(s));
        sc.layers.push_back({0, 1,
                             [=](int) {
                                 return Placement{{1, 1, 0, 0, tw(ringX), tw(ringY)}, {}};
                             },
                             false});
    }

    // Segmented ring: 24 segments fading from lime (head) into the track colour; turning once a
    // loop (7.5 degrees a frame).
    {
        ShapeDesc s;
        const int n = 24;
        const double step = 2 * kPi / n, gap = step * 0.22;
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / (n - 1);  // 0 head .. 1 tail
            s.fills.push_back(mix(kLime, kTrack, std::pow(t, 0.7)));
            const double a0 = -kPi / 2 - i * step;  // the head at 12 o'clock, tail anticlockwise
            addOutline(s, sector(a0 - step + gap / 2, a0 - gap / 2, 46, 56), i + 1);
        }
        sc.shapes.push_back(std::move(s));
        sc.layers.push_back(
            {1, 2,
             [=](int f) {
                 return Placement{rotation(2 * kPi * f / kFrames, ringX, ringY), {}};
             },
             true});
    }

    // Play triangle in the ring, breathing twice a loop.
    {
        ShapeDesc s;
        s.fills = {kWhite};
        QPainterPath tri;
        const double h = 34, w = h * 0.866;
        tri.moveTo(-w / 3, -h / 2);
        tri.lineTo(2 * w / 3, 0);
        tri.lineTo(-w / 3, h / 2);
        tri.closeSubpath();
        addOutline(s, tri, 1);
        sc.shapes.push_back(std::move(s));
        sc.layers.push_back({2, 3,
                             [=](int f) {
                                 const double k = 1.0 + 0.07 * std::sin(4 * kPi * f / kFrames);
                                 const int glow = static_cast<int>(
                                     std::lround(-24 + 24 * std::sin(4 * kPi * f / kFrames)));
                                 return Placement{scaleAbout(k, k, ringX + 3, ringY),
                                                  Cxform{.ra = glow, .ga = glow, .ba = glow}};
                             },
                             true});
    }

    // The name: 岚枫 and 播放器 in white, "flash" in lime (which shimmers).
    const QFont title = pickFont(40, true);
    const QFontMetricsF fm(title);
    const QString parts[3] = {QString::fromUtf8("岚枫"), QStringLiteral("flash"),
                              QString::fromUtf8("播放器")};
    const double gap = 4;
    double total = 0;
    for (const auto& p : parts) total += fm.horizontalAdvance(p);
    total += 2 * gap;
    double x = (kWidth - total) / 2;
    const double baseline = 206;
    ShapeDesc whiteText, limeText;
    whiteText.fills = {kWhite};
    limeText.fills = {kLime};
    for (int i = 0; i < 3; ++i) {
        addText(i == 1 ? limeText : whiteText, title, parts[i], {x, baseline}, 1);
        x += fm.horizontalAdvance(parts[i]) + gap;
    }
    sc.shapes.push_back(std::move(whiteText));
    sc.layers.push_back({3, 4, [](int) { return Placement{}; }, false});
    sc.shapes.push_back(std::move(limeText));
    sc.layers.push_back({4, 5,
                         [](int f) {
                             const int add = static_cast<int>(
                                 std::lround(20 + 20 * std::sin(2 * kPi * f / kFrames)));
                             return Placement{{}, Cxform{.ra = add, .ga = add, .ba = add}};
                         },
                         true});

    // Sub-line: a spaced-out "FLASH PLAYER" between two short rules.
    {
        QFont small = pickFont(11, false);
        small.setLetterSpacing(QFont::AbsoluteSpacing, 4);
        const QString text = QStringLiteral("FLASH  PLAYER");
        const double w = QFontMetricsF(small).horizontalAdvance(text) - 4;
        const double x0 = (kWidth - w) / 2, y = 234;
        ShapeDesc s;
        s.fills = {kGrey};
        addText(s, small, text, {x0, y}, 1);
        s.lines = {{tw(1.0), {0x2c, 0x37, 0x40}}};
        const double ry = y - 4;
        for (auto [a, b] : {std::pair{x0 - 60, x0 - 14}, std::pair{x0 + w + 14, x0 + w + 60}}) {
            ShapeDesc::Path rule;
            rule.line = 1;
            rule.cmds = {{PathCmd::Move, tw(a), tw(ry)}, {PathCmd::Line, tw(b), tw(ry)}};
            s.paths.push_back(std::move(rule));
        }
        sc.shapes.push_back(std::move(s));
        sc.layers.push_back({5, 6, [](int) { return Placement{}; }, false});
    }

    // Equaliser: bars growing up from a baseline, each a sum of two waves that repeat exactly
    // every loop; taller bars are brighter.
    {
        const int bars = 21;
        const double barW = 6, pitch = 10, maxH = 26, base = 292;
        ShapeDesc s;
        s.fills = {kLime};
        QPainterPath r;
        r.addRect(QRectF(-barW / 2, -maxH, barW, maxH));
        addOutline(s, r, 1);
        sc.shapes.push_back(std::move(s));
        const int shapeIdx = static_cast<int>(sc.shapes.size()) - 1;
        for (int i = 0; i < bars; ++i) {
            const double bx = kWidth / 2.0 + (i - bars / 2) * pitch;
            const double centre = 1.0 - std::abs(i - bars / 2) / (bars / 2.0 + 2);
            sc.layers.push_back({shapeIdx, 10 + i,
                                 [=](int f) {
                                     const double t = 2 * kPi * f / kFrames;
                                     const double v = 0.5 + 0.3 * std::sin(2 * t + i * 0.9) +
                                                      0.2 * std::sin(3 * t - i * 1.7);
                                     const double h = std::clamp(
                                         0.12 + 0.88 * v * (0.35 + 0.65 * centre), 0.1, 1.0);
                                     const int mult =
                                         static_cast<int>(std::lround(256 * (0.45 + 0.55 * h)));
                                     return Placement{scaleAbout(1, h, bx, base),
                                                      Cxform{.rm = mult, .gm = mult, .bm = mult}};
                                 },
                                 true});
        }
    }
    return sc;
}

std::vector<uint8_t> writeMovie(const Scene& sc) {
    swftest::SwfBuilder b(6, kWidth, kHeight, kFps);
    b.setBackground(kBackground);
    std::vector<uint16_t> ids;
    for (const auto& s : sc.shapes) ids.push_back(b.defineShape(s));
    for (int f = 0; f < kFrames; ++f) {
        if (f == 0) b.label("logo");
        for (const Layer& l : sc.layers) {
            const Placement p = l.at(f);
            if (f == 0)
                b.place(ids[l.shape], l.depth, p.m, p.cx);
            else if (l.animated)
                b.move(l.depth, p.m, p.cx);
        }
        b.showFrame();
    }
    return b.bytes(swftest::Compression::Zlib);
}

// ------------------------------------------------------------ preview (no engine needed)

QColor toQColor(Rgba c, const std::optional<Cxform>& cx) {
    if (!cx) return QColor(c.r, c.g, c.b, c.a);
    auto ch = [](int v, int m, int a) { return std::clamp(v * m / 256 + a, 0, 255); };
    return QColor(ch(c.r, cx->rm, cx->ra), ch(c.g, cx->gm, cx->ga), ch(c.b, cx->bm, cx->ba),
                  ch(c.a, cx->am, cx->aa));
}

void appendCmds(QPainterPath& out, const std::vector<PathCmd>& cmds, QPointF pen, bool reverse) {
    std::vector<QPointF> pts{pen};
    std::vector<std::optional<QPointF>> ctrl{std::nullopt};
    for (const PathCmd& c : cmds) {
        if (c.kind == PathCmd::Move) {
            pts = {QPointF(c.x, c.y)};
            ctrl = {std::nullopt};
            continue;
        }
        pts.emplace_back(c.x, c.y);
        ctrl.push_back(c.kind == PathCmd::Curve ? std::optional(QPointF(c.cx, c.cy))
                                                : std::nullopt);
    }
    if (!reverse) {
        out.moveTo(pts[0]);
        for (size_t i = 1; i < pts.size(); ++i)
            ctrl[i] ? out.quadTo(*ctrl[i], pts[i]) : out.lineTo(pts[i]);
    } else {
        out.moveTo(pts.back());
        for (size_t i = pts.size() - 1; i > 0; --i)
            ctrl[i] ? out.quadTo(*ctrl[i], pts[i - 1]) : out.lineTo(pts[i - 1]);
    }
}

QImage renderFrame(const Scene& sc, int frame, double scale) {
    QImage img(QSize(kWidth, kHeight) * scale, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(kBackground.r, kBackground.g, kBackground.b));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    std::vector<const Layer*> order;
    for (const auto& l : sc.layers) order.push_back(&l);
    std::sort(order.begin(), order.end(), [](auto a, auto b) { return a->depth < b->depth; });
    for (const Layer* l : order) {
        const Placement pl = l->at(frame);
        const ShapeDesc& s = sc.shapes[l->shape];
        p.setTransform(
            QTransform(pl.m.sx, pl.m.r0, pl.m.r1, pl.m.sy, pl.m.tx / 20.0, pl.m.ty / 20.0) *
            QTransform::fromScale(scale, scale));
        p.scale(0.05, 0.05);
        // Fill k's region: its fill1 contours as drawn, its fill0 contours reversed, by the
        // winding rule, so that a wrongly chosen side shows up as a filled hole.
        for (size_t k = 1; k <= s.fills.size(); ++k) {
            QPainterPath region;
            region.setFillRule(Qt::WindingFill);
            for (const auto& path : s.paths) {
                if (path.fill1 == static_cast<int>(k)) appendCmds(region, path.cmds, {}, false);
                if (path.fill0 == static_cast<int>(k)) appendCmds(region, path.cmds, {}, true);
            }
            p.fillPath(region, toQColor(s.fills[k - 1], pl.cx));
        }
        for (const auto& path : s.paths) {
            if (path.line == 0) continue;
            const auto& ls = s.lines[path.line - 1];
            QPainterPath stroke;
            appendCmds(stroke, path.cmds, {}, false);
            p.strokePath(stroke, QPen(toQColor(ls.color, pl.cx), ls.width, Qt::SolidLine,
                                      Qt::RoundCap, Qt::RoundJoin));
        }
    }
    return img;
}

bool writeFile(const QString& path, const std::vector<uint8_t>& bytes) {
    QSaveFile f(path);  // temp file + rename: a half-written movie never appears
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
        return false;
    return f.commit();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString output;
    std::vector<std::pair<int, QString>> pngs;
    double scale = 1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            scale = std::clamp(args[++i].toDouble(), 0.1, 16.0);
        } else if (args[i] == QLatin1String("--png") && i + 1 < args.size()) {
            const QString spec = args[++i];
            const qsizetype eq = spec.indexOf('=');
            pngs.emplace_back(spec.left(eq).toInt(), spec.mid(eq + 1));
        } else if (output.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            output = args[i];
        } else {
            output.clear();
            break;
        }
    }
    if (output.isEmpty()) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.swf [--scale N] [--png FRAME=PATH]...\n");
        return 2;
    }
    const Scene scene = buildScene();
    const std::vector<uint8_t> swf = writeMovie(scene);
    if (!writeFile(output, swf)) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", qPrintable(output));
        return 1;
    }
    for (const auto& [frame, path] : pngs) {
        if (!renderFrame(scene, std::clamp(frame, 0, kFrames - 1), scale).save(path)) {
            std::fprintf(stderr, "make_sample: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
