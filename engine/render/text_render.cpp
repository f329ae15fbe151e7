#include "engine/render/text_render.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/render/hard_fill.h"
#include "engine/runtime/movie.h"
#include "engine/runtime/text_field_view.h"

namespace swf::render {
namespace {

const FontCharacter::Built* fontById(const Movie& movie, uint16_t id) {
    const Character* ch = movie.character(id);
    const auto* f = ch ? std::get_if<FontCharacter>(ch) : nullptr;
    return f ? &f->get() : nullptr;
}

QString decodeEntities(QString s) {
    s.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"").replace("&apos;", "'");
    s.replace("&nbsp;", QString(QChar(0xa0)));
    static const QRegularExpression num("&#(x?)([0-9a-fA-F]+);");
    QString out;
    qsizetype last = 0;
    for (auto it = num.globalMatch(s); it.hasNext();) {
        const auto m = it.next();
        out += s.mid(last, m.capturedStart() - last);
        bool ok = false;
        const uint v = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        if (ok && v > 0 && v < 0x110000)
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&v), 1);
        last = m.capturedEnd();
    }
    out += s.mid(last);
    return out.replace("&amp;", "&");
}

QString attribute(const QString& tag, const QString& name) {
    const QRegularExpression re(name + R"re(\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re",
                                QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(tag);
    if (!m.hasMatch()) return {};
    for (int i = 1; i <= 3; ++i)
        if (m.capturedStart(i) >= 0) return m.captured(i);
    return {};
}

QFont deviceFont(const QString& face, double sizeTwips, bool bold, bool italic) {
    QString family = face;
    // _sans is drawn in Noto Sans, the face Flash Player pictures of it show. Arial, Times
    // New Roman, Courier New, _serif and _typewriter take the Liberation faces, which share
    // those fonts' metrics, so lines break where they did.
    QFont::StyleHint hint = QFont::AnyStyle;
    if (family.isEmpty() || family == "_sans") {
        family = "Noto Sans";
        hint = QFont::SansSerif;
    } else if (family.compare("Arial", Qt::CaseInsensitive) == 0) {
        family = "Liberation Sans";
        hint = QFont::SansSerif;
    } else if (family == "_serif" || family.compare("Times New Roman", Qt::CaseInsensitive) == 0) {
        family = "Liberation Serif";
        hint = QFont::Serif;
    } else if (family == "_typewriter" || family.compare("Courier New", Qt::CaseInsensitive) == 0) {
        family = "Liberation Mono";
        hint = QFont::TypeWriter;
    }
    QFont f(family);
    f.setStyleHint(hint);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(sizeTwips))));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// How one span is measured and drawn: with the embedded glyphs, or a system font.
struct Face {
    const FontCharacter::Built* font = nullptr;  // embedded
    QFont device;
    double size = 240;  // twips
    double scale() const { return size / font->font.emUnits(); }

    // Font metrics are whole twips, cut down.
    double ascent() const {
        if (font)
            return std::floor(font->font.hasLayout ? font->font.ascent * scale() : size * 0.8);
        return QFontMetricsF(device).ascent();
    }
    double descent() const {
        if (font)
            return std::floor(font->font.hasLayout ? font->font.descent * scale() : size * 0.2);
        return QFontMetricsF(device).descent();
    }
    double leading() const {
        if (font) return font->font.hasLayout ? font->font.leading * scale() : 0;
        return 0;
    }
    double advance(QChar c) const {
        if (!font) return QFontMetricsF(device).horizontalAdvance(c);
        auto it = font->byCode.find(c.unicode());
        if (it == font->byCode.end()) return 0;
        // Advances come to whole twips at the text's size, the fraction cut off.
        if (it->second < font->font.advances.size())
            return std::floor(font->font.advances[it->second] * scale() + 1e-9);
        return font->glyphs[it->second].boundingRect().right() * scale();
    }
    double width(const QString& s) const {
        if (!font) return QFontMetricsF(device).horizontalAdvance(s);
        double w = 0;
        for (QChar c : s) w += advance(c);
        return w;
    }
};

}  // namespace

QString fieldText(std::string_view bytes, int swfVersion) {
    bytes = bytes.substr(0, 1u << 20);  // a field never shows more
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // From SWF 6 on text is UTF-8; before, it is in the author's code page, which for the
    // movies this player meets is mostly GB2312/GBK (GB18030 reads both).
    if (swfVersion >= 6) return QString::fromUtf8(raw);
    QStringDecoder gb("GB18030");
    if (gb.isValid()) {
        QString s = gb.decode(raw);
        if (!gb.hasError()) return s;
    }
    return QString::fromLatin1(raw);
}

std::vector<TextSpan> parseFieldHtml(const QString& html) {
    std::vector<TextSpan> out;
    std::vector<TextSpan> stack{TextSpan{}};
    bool paragraphOpen = false;
    auto pushText = [&](const QString& text) {
        if (text.isEmpty()) return;
        TextSpan s = stack.back();
        s.text = text;
        if (!out.empty() && out.back().text.size() < 1000000) {
            TextSpan prev = out.back();
            prev.text = s.text;
            if (prev == s) {
                out.back().text += text;
                return;
            }
        }
        out.push_back(s);
    };
    qsizetype i = 0;
    const qsizetype n = html.size();
    while (i < n) {
        if (html[i] != '<') {
            qsizetype j = html.indexOf('<', i);
            if (j < 0) j = n;
            QString text = decodeEntities(html.mid(i, j - i));
            text.replace('\r', '\n');
            pushText(text);
            i = j;
            continue;
        }
        qsizetype j = html.indexOf('>', i);
        if (j < 0) break;
        const QString tag = html.mid(i + 1, j - i - 1).trimmed();
        i = j + 1;
        const bool closing = tag.startsWith('/');
        const QString name =
            (closing ? tag.mid(1) : tag).section(QRegularExpression("[\\s/]"), 0, 0).toLower();
        if (name == "br") {
            pushText("\n");
        } else if (name == "p") {
            if (closing) {
                pushText("\n");
                if (stack.size() > 1) stack.pop_back();
                paragraphOpen = false;
            } else {
                if (paragraphOpen) pushText("\n");
                TextSpan s = stack.back();
                const QString align = attribute(tag, "align").toLower();
                if (align == "left")
                    s.align = 0;
                else if (align == "right")
                    s.align = 1;
                else if (align == "center")
                    s.align = 2;
                else if (align == "justify")
                    s.align = 3;
                stack.push_back(s);
                paragraphOpen = true;
            }
        } else if (name == "b" || name == "i" || name == "u" || name == "font" || name == "a" ||
                   name == "textformat" || name == "span" || name == "li") {
            if (closing) {
                if (stack.size() > 1) stack.pop_back();
                continue;
            }
            if (stack.size() > 256) continue;  // nesting beyond reason adds nothing
            TextSpan s = stack.back();
            if (name == "b") s.bold = true;
            if (name == "i") s.italic = true;
            if (name == "u") s.underline = true;
            if (name == "font") {
                const QString face = attribute(tag, "face");
                if (!face.isEmpty()) s.face = face;
                const QString size = attribute(tag, "size");
                bool ok = false;
                const double px = size.toDouble(&ok);
                if (ok && px > 0 && px < 10000) s.size = px * 20;
                const QString color = attribute(tag, "color");
                if (QColor::isValidColorName(color)) s.color = QColor::fromString(color);
            }
            stack.push_back(s);
        }
    }
    // A trailing paragraph end adds no empty line.
    if (!out.empty() && out.back().text.endsWith('\n')) {
        out.back().text.chop(1);
        if (out.back().text.isEmpty()) out.pop_back();
    }
    return out;
}

// Fills a glyph drawn through the painter's transform. Its curves are cut as finely as a
// shape drawn in the glyph's own units would be (an em of 1024 twips for older fonts), never
// more coarsely than a shape's, so small text keeps the round tops and bowls the player draws.
static void fillGlyph(QPainter& p, const QPainterPath& glyph) {
    const double size = std::sqrt(std::abs(p.transform().determinant())) * 20;
    fillPainterPath(p, glyph, kHardCurveTolerance * std::clamp(size, 1e-3, 1.0));
}

// The same for system-font text, whose outline is given in field twips with an em of
// emTwips: its curves are cut as an embedded glyph of that size would be.
static void fillDeviceText(QPainter& p, const QPainterPath& outline, double emTwips) {
    const double emPixels = emTwips * std::sqrt(std::abs(p.transform().determinant()));
    fillPainterPath(p, outline, kHardCurveTolerance * std::clamp(emPixels / 51.2, 1e-3, 1.0));
}

void drawStaticText(QPainter& p, const Movie& movie, const format::StaticText& text,
                    const QTransform& world, const ColorTx& cx) {
    const QTransform base = QTransform(text.matrix.sx, text.matrix.r0, text.matrix.r1,
                                       text.matrix.sy, text.matrix.tx, text.matrix.ty) *
                            world;
    p.setPen(Qt::NoPen);
    for (const auto& run : text.runs) {
        const auto* font = fontById(movie, run.fontId);
        if (!font) continue;
        const double scale = run.height / font->font.emUnits();
        p.setBrush(cx.apply(run.color));
        double x = run.x;
        for (const auto& g : run.glyphs) {
            if (g.index < font->glyphs.size()) {
                p.setTransform(QTransform(scale, 0, 0, scale, x, run.y) * base);
                fillGlyph(p, font->glyphs[g.index]);
            }
            x += g.advance;
        }
    }
}

QPainterPath staticTextOutline(const Movie& movie, const format::StaticText& text) {
    QPainterPath out;
    const QTransform base(text.matrix.sx, text.matrix.r0, text.matrix.r1, text.matrix.sy,
                          text.matrix.tx, text.matrix.ty);
    for (const auto& run : text.runs) {
        const auto* font = fontById(movie, run.fontId);
        if (!font) continue;
        const double scale = run.height / font->font.emUnits();
        double x = run.x;
        for (const auto& g : run.glyphs) {
            if (g.index < font->glyphs.size())
                out.addPath(
                    (QTransform(scale, 0, 0, scale, x, run.y) * base).map(font->glyphs[g.index]));
            x += g.advance;
        }
    }
    return out;
}

namespace {

// Embedded fonts by name, bold and italic, for fields that draw with their outlines.
class FontTable {
public:
    explicit FontTable(const Movie& movie) : movie_(movie) {}
    const FontCharacter::Built* find(const std::string& name, bool bold, bool italic) {
        if (!built_) {
            built_ = true;
            for (const auto& [id, ch] : movie_.characters) {
                const auto* f = std::get_if<FontCharacter>(&ch);
                if (!f) continue;
                const auto& b = f->get();
                if (b.glyphs.empty()) continue;
                std::string n = b.font.name;
                while (!n.empty() && n.back() == '\0') n.pop_back();
                fonts_.push_back({n, &b});
            }
        }
        const FontCharacter::Built* any = nullptr;
        for (const auto& [n, b] : fonts_) {
            if (n != name) continue;
            if (b->font.bold == bold && b->font.italic == italic) return b;
            if (!any) any = b;
        }
        return any;
    }

private:
    const Movie& movie_;
    bool built_ = false;
    std::vector<std::pair<std::string, const FontCharacter::Built*>> fonts_;
};

struct LaidPiece {
    QString text;
    size_t begin = 0;  // index of its first character in the field's text
    Face face;
    QColor color;
    bool underline = false;
    double x = 0, width = 0, letterSpacing = 0;  // twips
};

struct LaidLine {
    std::vector<LaidPiece> pieces;
    double left = 0;    // start of the line's room, twips from the text area's left
    double indent = 0;  // of it, what the first line's indent adds to the margins
    double room = 0;    // its width
    double width = 0;   // of its text, trailing spaces left out
    double extent = 0;  // what it counts for the text's width: with trailing spaces or not
    double ascent = 0, descent = 0, leading = 0;
    int align = 0;
    bool bullet = false;  // the first line of a list item: a bullet goes at bulletLeft
    double bulletLeft = 0;
    size_t begin = 0, end = 0;  // its characters in the field's text
    std::vector<double> xs;     // where each of them starts, and where the last ends
};

struct Layout {
    std::vector<LaidLine> lines;
    double width = 0, height = 0;  // twips
    double textWidth = 0;          // the widest line with its indent, margins left out
    double overflow = 0;           // the most a line reaches past its room, twips
};

int alignCode(const std::string& a) {
    if (a == "right") return 1;
    if (a == "center") return 2;
    if (a == "justify") return 3;
    return 0;
}

constexpr double kGutter = 40;  // 2 px between the box and the text
// List items' text stands this far in from their margin, the bullet in the room it leaves.
constexpr double kBulletIndent = 720;

// empty: the format of a field without text (its line, its caret).
Layout layoutText(const Movie& movie, const format::EditText& field, const RichText& t,
                  const FieldFormat* empty = nullptr) {
    Layout out;
    FontTable fonts(movie);
    auto faceFor = [&](const FieldFormat& f) {
        Face face;
        face.size = std::clamp(f.size, 0.0, 3000.0) * 20;
        if (field.useOutlines) face.font = fonts.find(f.font, f.bold, f.italic);
        if (!face.font)
            face.device = deviceFont(QString::fromStdString(f.font), face.size, f.bold, f.italic);
        return face;
    };
    const double boxWidth = double(field.bounds.xMax) - field.bounds.xMin;
    const bool wrap = field.wordWrap;
    std::u32string chars = t.chars;
    if (field.password)
        for (char32_t& c : chars)
            if (c != '\r') c = '*';
    // Per character: its run.
    std::vector<uint32_t> runOf(chars.size());
    {
        size_t at = 0;
        for (uint32_t r = 0; r < t.runs.size(); ++r)
            for (size_t k = 0; k < t.runs[r].length && at < runOf.size(); ++k) runOf[at++] = r;
    }
    std::vector<Face> faces;
    faces.reserve(t.runs.size());
    for (const auto& r : t.runs) faces.push_back(faceFor(r.format));
    const FieldFormat fallback;
    const FieldFormat& first = t.runs.empty() ? (empty ? *empty : fallback) : t.runs.front().format;
    const Face emptyFace = faceFor(first);

    size_t at = 0;
    size_t budget = 200000;  // characters laid out at most
    do {
        size_t end = chars.find('\r', at);
        if (end == std::u32string::npos) end = chars.size();
        const FieldFormat& p = formatAt(t, at, first);
        const double bulletLeft = (p.leftMargin + p.blockIndent) * 20;
        const double margins = bulletLeft + (p.bullet ? kBulletIndent : 0);
        const double roomAll = std::max(0.0, boxWidth - 2 * kGutter - margins - p.rightMargin * 20);
        bool firstLine = true;
        size_t i = at;
        do {
            LaidLine line;
            line.align = alignCode(p.align);
            const double indent = firstLine ? p.indent * 20 : 0;
            // A negative indent pulls the first line out, but never past the box's gutter.
            line.left = std::max(0.0, margins + indent);
            line.indent = line.left - margins;
            line.room = std::max(0.0, roomAll - indent);
            line.bullet = p.bullet && firstLine;
            line.bulletLeft = std::max(0.0, bulletLeft + indent);
            firstLine = false;
            // Advances up to the end of the paragraph or the first break that does not fit.
            double x = 0;
            size_t lineEnd = i, lastBreak = 0;
            std::vector<double> xs;
            for (size_t k = i; k < end && budget > 0; ++k, --budget) {
                const char32_t c = chars[k];
                const Face& face = faces[runOf[k]];
                const FieldFormat& f = t.runs[runOf[k]].format;
                double adv;
                if (c == '\t') {
                    // Past the last of the paragraph's own stops a tab moves nothing; without
                    // stops of its own there is one every 32 pixels.
                    double next = p.tabStops.empty() ? (std::floor(x / 640) + 1) * 640 : x;
                    for (double stop : p.tabStops)
                        if (stop * 20 > x) {
                            next = stop * 20;
                            break;
                        }
                    adv = next - x;
                } else {
                    adv = face.advance(QChar(c > 0xffff ? 0xfffd : char16_t(c))) +
                          f.letterSpacing * 20;
                }
                // A word is cut only on a line with room at all: pushed past the box by its
                // indent, the line keeps the word whole.
                if (wrap && c != ' ' && k > i && x + adv > line.room &&
                    (lastBreak > i || line.room > 0)) {
                    lineEnd = lastBreak > i ? lastBreak : k;
                    break;
                }
                xs.push_back(x);
                x += adv;
                lineEnd = k + 1;
                if (c == ' ' || c == '\t') lastBreak = k + 1;
            }
            if (lineEnd == i && i < end) lineEnd = i + 1;  // at least one character a line
            if (budget == 0) end = lineEnd;
            line.begin = i;
            line.end = lineEnd;
            line.xs.assign(xs.begin(), xs.begin() + std::min(xs.size(), lineEnd - i));
            line.xs.resize(lineEnd - i, x);
            line.xs.push_back(lineEnd - i < xs.size() ? xs[lineEnd - i] : x);
            // The line's pieces, one per run.
            double w = 0;
            for (size_t k = i; k < lineEnd;) {
                const uint32_t r = runOf[k];
                size_t e = k;
                while (e < lineEnd && runOf[e] == r) ++e;
                LaidPiece pc;
                pc.text = QString::fromUcs4(chars.data() + k, static_cast<qsizetype>(e - k));
                pc.begin = k;
                pc.face = faces[r];
                const FieldFormat& f = t.runs[r].format;
                pc.color = QColor(QRgb(0xff000000u | f.color));
                pc.underline = f.underline;
                pc.letterSpacing = f.letterSpacing * 20;
                pc.x = k - i < xs.size() ? xs[k - i] : x;
                pc.width = (e - i < xs.size() ? xs[e - i] : x) - pc.x;
                // Trailing spaces take no room for alignment or the text's width.
                size_t last = e;
                while (last > k && chars[last - 1] == ' ') --last;
                if (last > k) w = (last - i < xs.size() ? xs[last - i] : x);
                line.ascent = std::max(line.ascent, pc.face.ascent());
                line.descent = std::max(line.descent, pc.face.descent());
                line.pieces.push_back(std::move(pc));
                k = e;
            }
            if (line.pieces.empty()) {
                const Face& f = i < chars.size() ? faces[runOf[i]] : emptyFace;
                line.ascent = f.ascent();
                line.descent = f.descent();
            }
            line.width = w;
            // Left aligned text measures its trailing spaces; aligned otherwise it lets them
            // hang past the edge, which movies before SWF 8 measure all the same.
            line.extent = (line.align == 0 || movie.info.version < 8) && lineEnd > i
                              ? line.xs[lineEnd - i]
                              : w;
            line.leading = p.leading * 20;
            out.lines.push_back(std::move(line));
            i = lineEnd;
        } while (i < end && out.lines.size() < 100000);
        at = end + 1;
    } while (at <= chars.size() && out.lines.size() < 100000 && budget > 0);
    if (chars.empty()) return out;
    for (const auto& l : out.lines) {
        out.width = std::max(out.width, l.left + l.extent);
        out.textWidth = std::max(out.textWidth, l.indent + l.extent);
        if (!field.wordWrap) out.overflow = std::max(out.overflow, l.width - l.room);
        out.height += l.ascent + l.descent + l.leading;
    }
    // The last line's leading counts unless a multiline field holds more than one line.
    if (out.lines.size() > 1 && field.multiline) out.height -= out.lines.back().leading;
    return out;
}

// The line a view's scroll shows first, counted from 0.
size_t firstShownLine(const TextFieldView& view) {
    return static_cast<size_t>(std::max(0, view.scroll - 1));
}

// Calls fn(line, top) for each line shown from first on, tops in the field's space (twips):
// the first shown line stands at the box's top gutter, as scrolling leaves it.
template <typename Fn>
void forShownLines(const Layout& layout, const QRectF& box, size_t first, Fn&& fn) {
    double y = box.top() + kGutter;
    for (size_t i = first; i < layout.lines.size(); ++i) {
        const LaidLine& line = layout.lines[i];
        fn(line, y);
        y += line.ascent + line.descent + line.leading;
        if (y > box.bottom() + 20000) break;
    }
}

// The box and content of a field: its definition's, or what scripts made of it.
struct FieldFrame {
    bool background = false, border = false;
    QColor backgroundColor = Qt::white, borderColor = Qt::black;
    bool focused = false, caret = false;  // caret: the field takes typing
    size_t selBegin = 0, selEnd = 0;
    const FieldFormat* newFormat = nullptr;
    double hscroll = 0;    // twips
    size_t firstLine = 0;  // lines above it are scrolled out of sight
};

void drawField(QPainter& p, const Movie& movie, const format::EditText& field,
               const RichText& content, const FieldFrame& frame, const QTransform& world,
               const ColorTx& cx);

// The format a field's definition gives its text.
FieldFormat definedFormat(const Movie& movie, const format::EditText& field) {
    FieldFormat f;
    if (field.fontId) {
        if (const auto* font = fontById(movie, *field.fontId)) {
            std::string n = font->font.name;
            while (!n.empty() && n.back() == '\0') n.pop_back();
            if (!n.empty()) f.font = n;
            f.bold = font->font.bold;
            f.italic = font->font.italic;
        }
    }
    f.size = field.height / 20.0;
    if (field.color)
        f.color = (uint32_t(field.color->r) << 16) | (field.color->g << 8) | field.color->b;
    static const char* aligns[] = {"left", "right", "center", "justify"};
    f.align = aligns[field.align & 3];
    f.leftMargin = std::trunc(field.leftMargin / 20.0);
    f.rightMargin = std::trunc(field.rightMargin / 20.0);
    f.indent = std::trunc(field.indent / 20.0);
    f.leading = std::trunc(field.leading / 20.0);
    return f;
}

}  // namespace

void drawEditText(QPainter& p, const Movie& movie, const format::EditText& field,
                  const QTransform& world, const ColorTx& cx) {
    FieldFrame frame;
    frame.background = frame.border = field.border;
    const FieldFormat base = definedFormat(movie, field);
    const QString text = fieldText(field.initialText, movie.info.version);
    RichText content;
    if (field.html) {
        content =
            parseHtmlText(text.toStdU32String(), base, field.multiline, false, movie.info.version);
    } else {
        std::u32string s = text.toStdU32String();
        std::u32string cr;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
            cr.push_back(s[i] == '\n' ? U'\r' : s[i]);
        }
        replaceRange(content, 0, 0, cr, base);
    }
    drawField(p, movie, field, content, frame, world, cx);
}

void drawTextFieldView(QPainter& p, const Movie& movie, const TextFieldView& view,
                       const QTransform& world, const ColorTx& cx) {
    FieldFrame frame;
    frame.background = view.background;
    frame.border = view.field.border;
    const auto& bg = view.backgroundColor;
    const auto& bc = view.borderColor;
    frame.backgroundColor = QColor(bg.r, bg.g, bg.b, bg.a);
    frame.borderColor = QColor(bc.r, bc.g, bc.b, bc.a);
    frame.focused = view.focused && !view.field.noSelect;
    frame.newFormat = &view.newFormat;
    frame.caret = !view.field.readOnly;
    frame.selBegin = static_cast<size_t>(std::max(0, std::min(view.selBegin, view.selEnd)));
    frame.selEnd = static_cast<size_t>(std::max(0, std::max(view.selBegin, view.selEnd)));
    frame.hscroll = std::max(0, view.hscroll) * 20.0;
    frame.firstLine = firstShownLine(view);
    drawField(p, movie, view.field, view.content, frame, world, cx);
}

TextExtent measureText(const Movie& movie, const format::EditText& field, const RichText& content) {
    const Layout l = layoutText(movie, field, content);
    TextExtent e{l.width / 20,
                 l.height / 20,
                 static_cast<int>(l.lines.size()),
                 l.textWidth / 20,
                 static_cast<int>(std::clamp(std::floor(l.overflow / 20), 0.0, 1e9)),
                 {},
                 {}};
    for (const auto& line : l.lines) {
        e.lineHeights.push_back((line.ascent + line.descent) / 20);
        e.lineLeadings.push_back(line.leading / 20);
    }
    return e;
}

namespace {

// Edges of the selection and caret fall on quarter pixels, as Flash covers pixels.
QRectF onQuarterPixels(const QRectF& r) {
    auto q = [](double v) { return std::floor(v * 4) / 4; };
    return QRectF(QPointF(q(r.left()), q(r.top())), QPointF(q(r.right()), q(r.bottom())));
}

// Where a laid line's text starts, twips in the field's space, scrolled hscroll to the left.
double lineLeft(const LaidLine& line, const QRectF& box, double hscroll) {
    double shift = 0;
    if (line.align == 1)
        shift = line.room - line.width;
    else if (line.align == 2)
        shift = (line.room - line.width) / 2;
    return box.left() + kGutter + line.left + shift - hscroll;
}

// The outline of system-font text starting at (x, baseline) in field space. Unturned text
// starts where the field puts it, to the twip, and steps each character's advance rounded
// to whole pixels, as the player's hard-edged text does.
QPainterPath hardDeviceText(const QFont& font, const QString& text, double x, double baseline,
                            const QTransform& world) {
    QPainterPath out;
    const bool upright = world.m12() == 0 && world.m21() == 0 && world.m11() != 0;
    if (!upright) {
        out.addText(QPointF(x, baseline), font, text);
        return out;
    }
    const QFontMetricsF fm(font);
    const double k = world.m11();
    double at = x * k + world.dx();  // device pixels
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        const QString ch = text.mid(i, n);
        out.addText(QPointF((at - world.dx()) / k, baseline), font, ch);
        at += std::round(fm.horizontalAdvance(ch) * k);
        i += n;
    }
    return out;
}

// Calls fn(character index, outline, its device transform) for each embedded glyph of a
// piece starting at (px, baseline).
template <typename Fn>
void placeGlyphs(const LaidPiece& pc, double px, double baseline, const QTransform& world, Fn&& fn,
                 bool snap = true) {
    // Flash 8 fonts (DefineFont3) are fitted to the pixel grid; older fonts are drawn as
    // plain shapes where their advances put them.
    const bool upright =
        snap && pc.face.font->font.version >= 3 && world.m12() == 0 && world.m21() == 0;
    const double scale = pc.face.scale();
    double gx = px;
    size_t index = pc.begin;
    for (QChar ch : pc.text) {
        const size_t at = index;
        if (!ch.isLowSurrogate()) ++index;
        auto it = pc.face.font->byCode.find(ch.unicode());
        if (it != pc.face.font->byCode.end() && it->second < pc.face.font->glyphs.size()) {
            QTransform t = QTransform(scale, 0, 0, scale, gx, baseline) * world;
            // Unturned Flash 8 glyphs start on whole pixels.
            if (upright)
                t.setMatrix(t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(),
                            std::round(t.dx()), t.dy(), t.m33());
            fn(at, pc.face.font->glyphs[it->second], t);
        }
        gx += pc.face.advance(ch) + pc.letterSpacing;
    }
}

void drawField(QPainter& p, const Movie& movie, const format::EditText& field,
               const RichText& content, const FieldFrame& frame, const QTransform& world,
               const ColorTx& cx) {
    const QRectF box(field.bounds.xMin, field.bounds.yMin, field.bounds.xMax - field.bounds.xMin,
                     field.bounds.yMax - field.bounds.yMin);
    p.setTransform(world);
    // Unturned fields get their box on whole pixels: the border one pixel wide on the pixels
    // its edges fall on.
    if ((frame.background || frame.border) && world.m12() == 0 && world.m21() == 0 &&
        world.m11() > 0 && world.m22() > 0) {
        const QRectF d = world.mapRect(box);
        auto snap = [](double v) { return std::ceil(v - 0.5); };
        const double l = snap(d.left()), t = snap(d.top());
        const double r = l + snap(d.width()), b = t + snap(d.height());
        p.save();
        p.resetTransform();
        p.setPen(Qt::NoPen);
        if (frame.background) {
            p.setBrush(cx.apply(frame.backgroundColor));
            p.drawRect(QRectF(l, t, r - l, b - t));
        }
        if (frame.border) {
            p.setBrush(cx.apply(frame.borderColor));
            if (r > l && b > t) {
                p.drawRect(QRectF(l, t, r - l, 1));
                p.drawRect(QRectF(l, b, r - l, 1));
                p.drawRect(QRectF(l, t, 1, b - t));
                p.drawRect(QRectF(r, t, 1, b - t));
                // A field drawing embedded glyphs draws its border smooth with them: the
                // lines' ends meet over part of the bottom right corner.
                if (field.useOutlines && p.testRenderHint(QPainter::Antialiasing)) {
                    QColor corner = cx.apply(frame.borderColor);
                    corner.setAlphaF(corner.alphaF() * (160.0 / 255));
                    p.setBrush(corner);
                    p.drawRect(QRectF(r, b, 1, 1));
                }
            }
        }
        p.restore();
    } else if (frame.background) {
        p.setPen(Qt::NoPen);
        p.setBrush(cx.apply(frame.backgroundColor));
        p.drawRect(box);
    }
    if (frame.border &&
        !(world.m12() == 0 && world.m21() == 0 && world.m11() > 0 && world.m22() > 0)) {
        QPen pen(cx.apply(frame.borderColor));
        pen.setCosmetic(true);
        pen.setWidthF(1);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
    }
    const Layout layout = layoutText(movie, field, content, frame.newFormat);
    const bool upright = world.m12() == 0 && world.m21() == 0;
    p.save();
    // Text scrolled sideways shows only between the gutters.
    p.setClipRect(frame.hscroll > 0 ? box.adjusted(kGutter, 0, -kGutter, 0) : box,
                  Qt::IntersectClip);
    const bool selecting = frame.focused && frame.selBegin < frame.selEnd;
    const FieldFormat empty = frame.newFormat ? *frame.newFormat : FieldFormat{};
    auto selected = [&](size_t i) { return selecting && i >= frame.selBegin && i < frame.selEnd; };
    // The caret goes on the last line that starts at or before it.
    const LaidLine* caretLine = nullptr;
    if (frame.focused && frame.caret && !selecting)
        for (const auto& line : layout.lines)
            if (line.begin <= frame.selEnd) caretLine = &line;
    forShownLines(layout, box, frame.firstLine, [&](const LaidLine& line, double y) {
        const double baseline = y + line.ascent;
        const double textLeft = lineLeft(line, box, frame.hscroll);
        auto xAt = [&](size_t i) {
            const size_t k = std::clamp(i, line.begin, line.end) - line.begin;
            return textLeft + (k < line.xs.size() ? line.xs[k] : 0);
        };
        // Selected text shows inverted: on black, its glyphs white.
        QRectF selRect;
        if (selecting && frame.selBegin < line.end && frame.selEnd > line.begin) {
            const double x0 = xAt(std::max(frame.selBegin, line.begin));
            const double x1 = xAt(std::min(frame.selEnd, line.end));
            selRect = QRectF(x0, y, x1 - x0, line.ascent + line.descent);
            p.setPen(Qt::NoPen);
            p.setBrush(cx.apply(QColor(Qt::black)));
            if (upright) {
                p.save();
                p.resetTransform();
                p.drawRect(onQuarterPixels(world.mapRect(selRect)));
                p.restore();
            } else {
                p.setTransform(world);
                p.drawRect(selRect);
            }
        }
        if (caretLine == &line) {
            // One pixel wide, from the line's top to its bottom, on the pixel it falls in.
            const double x = xAt(frame.selEnd);
            p.setPen(Qt::NoPen);
            p.setBrush(cx.apply(
                QColor(QRgb(0xff000000u |
                            formatAt(content, frame.selEnd ? frame.selEnd - 1 : 0, empty).color))));
            if (upright) {
                const QPointF a = world.map(QPointF(x, y));
                const QPointF b = world.map(QPointF(x, y + line.ascent + line.descent));
                p.save();
                p.resetTransform();
                p.drawRect(onQuarterPixels(QRectF(std::floor(a.x()), a.y(), 1, b.y() - a.y())));
                p.restore();
            } else {
                p.setTransform(world);
                p.drawRect(QRectF(x, y, 20, line.ascent + line.descent));
            }
        }
        auto drawPiece = [&](const LaidPiece& pc, double px) {
            const QColor c = cx.apply(pc.color);
            const QColor inverted = cx.apply(QColor(Qt::white));
            if (pc.face.font) {
                p.setPen(Qt::NoPen);
                placeGlyphs(pc, px, baseline, world,
                            [&](size_t index, const QPainterPath& glyph, const QTransform& t) {
                                p.setBrush(selected(index) ? inverted : c);
                                p.setTransform(t);
                                fillGlyph(p, glyph);
                            });
                p.setTransform(world);
            } else {
                p.setTransform(world);
                QFont device = pc.face.device;
                if (!p.testRenderHint(QPainter::Antialiasing)) {
                    // Low quality fills the system font's outlines with hard edges like any
                    // shape; unturned text starts on a whole pixel and steps whole pixels.
                    const QPainterPath outline =
                        hardDeviceText(device, pc.text, px, baseline, world);
                    p.setPen(Qt::NoPen);
                    p.setBrush(c);
                    fillDeviceText(p, outline, device.pixelSize());
                    if (!selRect.isEmpty()) {
                        p.save();
                        p.setClipRect(selRect, Qt::IntersectClip);
                        p.setBrush(inverted);
                        fillDeviceText(p, outline, device.pixelSize());
                        p.restore();
                    }
                } else {
                    p.setFont(device);
                    p.setPen(c);
                    p.drawText(QPointF(px, baseline), pc.text);
                    if (!selRect.isEmpty()) {
                        p.save();
                        p.setClipRect(selRect, Qt::IntersectClip);
                        p.setPen(inverted);
                        p.drawText(QPointF(px, baseline), pc.text);
                        p.restore();
                    }
                }
            }
            if (pc.underline) {
                p.setTransform(world);
                QPen pen(c);
                pen.setWidthF(std::max(20.0, pc.face.size / 16));
                p.setPen(pen);
                p.drawLine(QPointF(px, baseline + 40), QPointF(px + pc.width, baseline + 40));
            }
        };
        // A list item's bullet, in its first character's face and colour, never selected.
        if (line.bullet && !line.pieces.empty()) {
            LaidPiece bullet = line.pieces.front();
            bullet.text = QString(QChar(0x2022));
            bullet.begin = std::numeric_limits<size_t>::max();
            bullet.underline = false;
            drawPiece(bullet, box.left() + kGutter + line.bulletLeft - frame.hscroll);
        }
        for (const auto& pc : line.pieces) drawPiece(pc, textLeft + pc.x);
    });
    p.restore();
}

}  // namespace

QPainterPath textFieldOutline(const Movie& movie, const TextFieldView& view,
                              const QTransform& world) {
    const auto& b = view.field.bounds;
    const QRectF box(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin);
    QPainterPath boxPath;
    boxPath.addRect(box);
    // Device text has no outlines of ours to mask with: its box stands for it, as does a
    // filled background.
    if (!view.field.useOutlines || view.background) return world.map(boxPath);
    QPainterPath out;
    const Layout layout = layoutText(movie, view.field, view.content, &view.newFormat);
    forShownLines(layout, box, firstShownLine(view), [&](const LaidLine& line, double y) {
        const double baseline = y + line.ascent;
        const double textLeft = lineLeft(line, box, view.hscroll * 20.0);
        for (const auto& pc : line.pieces)
            if (pc.face.font)
                placeGlyphs(
                    pc, textLeft + pc.x, baseline, world,
                    [&](size_t, const QPainterPath& glyph, const QTransform& t) {
                        out.addPath(t.map(glyph));
                    },
                    false);
    });
    // What is scrolled out of sight masks nothing.
    if (view.hscroll > 0 || view.scroll > 1) {
        QPainterPath inner;
        inner.addRect(box.adjusted(kGutter, 0, -kGutter, 0));
        out = out.intersected(world.map(inner));
    }
    return out;
}

std::optional<size_t> textFieldCharAt(const Movie& movie, const TextFieldView& view,
                                      const QPointF& at) {
    const auto& b = view.field.bounds;
    const QRectF box(b.xMin, b.yMin, b.xMax - b.xMin, b.yMax - b.yMin);
    if (!box.contains(at)) return std::nullopt;
    const Layout layout = layoutText(movie, view.field, view.content, &view.newFormat);
    std::optional<size_t> hit;
    forShownLines(layout, box, firstShownLine(view), [&](const LaidLine& line, double y) {
        if (hit || at.y() < y || at.y() >= y + line.ascent + line.descent + line.leading) return;
        const double left = lineLeft(line, box, view.hscroll * 20.0);
        for (size_t k = 0; k + 1 < line.xs.size() && line.begin + k < line.end; ++k)
            if (at.x() >= left + line.xs[k] && at.x() < left + line.xs[k + 1]) {
                hit = line.begin + k;
                return;
            }
    });
    return hit;
}

}  // namespace swf::render
