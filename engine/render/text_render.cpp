#include "engine/render/text_render.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>

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
    if (family.isEmpty() || family == "_sans")
        family = "sans-serif";
    else if (family == "_serif")
        family = "serif";
    else if (family == "_typewriter")
        family = "monospace";
    QFont f(family);
    f.setStyleHint(family == "serif"       ? QFont::Serif
                   : family == "monospace" ? QFont::TypeWriter
                                           : QFont::SansSerif);
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

    double ascent() const {
        if (font) return font->font.hasLayout ? font->font.ascent * scale() : size * 0.8;
        return QFontMetricsF(device).ascent();
    }
    double descent() const {
        if (font) return font->font.hasLayout ? font->font.descent * scale() : size * 0.2;
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
        if (it->second < font->font.advances.size())
            return font->font.advances[it->second] * scale();
        return font->glyphs[it->second].boundingRect().right() * scale();
    }
    double width(const QString& s) const {
        if (!font) return QFontMetricsF(device).horizontalAdvance(s);
        double w = 0;
        for (QChar c : s) w += advance(c);
        return w;
    }
};

struct Piece {
    QString text;
    Face face;
    QColor color;
    bool underline;
    double x = 0;
};

struct Line {
    std::vector<Piece> pieces;
    double width = 0, ascent = 0, descent = 0, leading = 0;
    int align = 0;
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
                p.drawPath(font->glyphs[g.index]);
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

// The box and content of a field: its definition's, or what scripts made of it.
struct FieldFrame {
    bool background = false, border = false;
    QColor backgroundColor = Qt::white, borderColor = Qt::black;
};

void drawField(QPainter& p, const Movie& movie, const format::EditText& field, QString content,
               const FieldFrame& frame, const QTransform& world, const ColorTx& cx);

}  // namespace

void drawEditText(QPainter& p, const Movie& movie, const format::EditText& field,
                  const QTransform& world, const ColorTx& cx) {
    FieldFrame frame;
    frame.background = frame.border = field.border;
    drawField(p, movie, field, fieldText(field.initialText, movie.info.version), frame, world, cx);
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
    drawField(p, movie, view.field, QString::fromStdString(view.text), frame, world, cx);
}

namespace {

void drawField(QPainter& p, const Movie& movie, const format::EditText& field, QString content,
               const FieldFrame& frame, const QTransform& world, const ColorTx& cx) {
    const QRectF box(field.bounds.xMin, field.bounds.yMin, field.bounds.xMax - field.bounds.xMin,
                     field.bounds.yMax - field.bounds.yMin);
    p.setTransform(world);
    if (frame.background) {
        p.setPen(Qt::NoPen);
        p.setBrush(cx.apply(frame.backgroundColor));
        p.drawRect(box);
    }
    if (frame.border) {
        QPen pen(cx.apply(frame.borderColor));
        pen.setCosmetic(true);
        pen.setWidthF(1);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
    }
    if (field.password) content.fill('*');
    std::vector<TextSpan> spans;
    if (field.html) {
        spans = parseFieldHtml(content);
    } else {
        content.replace("\r\n", "\n").replace('\r', '\n');
        spans.push_back(TextSpan{content});
    }
    const FontCharacter::Built* embedded = field.fontId ? fontById(movie, *field.fontId) : nullptr;
    if (embedded && embedded->glyphs.empty()) embedded = nullptr;
    const QColor fieldColor =
        field.color ? QColor(field.color->r, field.color->g, field.color->b, field.color->a)
                    : QColor(Qt::black);
    auto faceFor = [&](const TextSpan& s) {
        Face f;
        f.size = s.size > 0 ? s.size : field.height;
        const bool useGlyphs =
            embedded && field.useOutlines &&
            (s.face.isEmpty() || s.face == QString::fromUtf8(embedded->font.name));
        if (useGlyphs) {
            f.font = embedded;
        } else {
            // A span without a face of its own takes the field font's name and style.
            const bool fieldFont = s.face.isEmpty() && embedded;
            const QString family = fieldFont ? QString::fromUtf8(embedded->font.name) : s.face;
            f.device = deviceFont(family, f.size, s.bold || (fieldFont && embedded->font.bold),
                                  s.italic || (fieldFont && embedded->font.italic));
        }
        return f;
    };

    constexpr double kGutter = 40;  // 2 px between the box and the text
    const double left = box.left() + kGutter + field.leftMargin;
    const double right = box.right() - kGutter - field.rightMargin;
    const double avail = std::max(0.0, right - left);
    const bool wrap = field.wordWrap;
    const bool multi = field.multiline || field.html;

    std::vector<Line> lines(1);
    lines.back().align = field.align;
    double x = field.indent;
    auto newLine = [&](int align) {
        lines.emplace_back();
        lines.back().align = align;
        x = 0;
    };
    size_t glyphBudget = 200000;  // a field never lays out more than this
    for (const auto& s : spans) {
        const Face face = faceFor(s);
        const QColor color = s.color.isValid() ? s.color : fieldColor;
        const int align = s.align >= 0 ? s.align : field.align;
        lines.back().align = align;
        const QStringList paragraphs = s.text.split('\n');
        for (qsizetype pi = 0; pi < paragraphs.size(); ++pi) {
            if (pi > 0) {
                if (!multi) break;
                newLine(align);
            }
            // Words keep their trailing spaces; a word too long for a line is broken by letters.
            const QString& para = paragraphs[pi];
            qsizetype at = 0;
            while (at < para.size()) {
                qsizetype end = at;
                while (end < para.size() && para[end] != ' ') ++end;
                while (end < para.size() && para[end] == ' ') ++end;
                QString word = para.mid(at, end - at);
                at = end;
                if (word.size() > qsizetype(glyphBudget)) word.truncate(glyphBudget);
                glyphBudget -= std::min<size_t>(glyphBudget, word.size());
                double w = face.width(word);
                if (wrap && x > 0 && x + face.width(word.trimmed()) > avail) newLine(align);
                Line& line = lines.back();
                line.pieces.push_back({word, face, color, s.underline, x});
                x += w;
                line.width = std::max(line.width, x);
                if (glyphBudget == 0) break;
            }
            Line& line = lines.back();
            line.ascent = std::max(line.ascent, face.ascent());
            line.descent = std::max(line.descent, face.descent());
            line.leading = std::max(line.leading, face.leading());
        }
    }
    // Empty lines take the field's own metrics.
    const Face fieldFace = faceFor(TextSpan{});
    p.save();
    p.setClipRect(box, Qt::IntersectClip);
    double y = box.top() + kGutter;
    for (auto& line : lines) {
        if (line.ascent == 0 && line.descent == 0) {
            line.ascent = fieldFace.ascent();
            line.descent = fieldFace.descent();
        }
        // Trailing spaces do not count for alignment.
        double width = 0;
        for (const auto& pc : line.pieces)
            width = std::max(
                width,
                pc.x + pc.face.width(pc.text.trimmed() == pc.text
                                         ? pc.text
                                         : QString(pc.text).remove(QRegularExpression(" +$"))));
        double shift = 0;
        if (line.align == 1)
            shift = avail - width;
        else if (line.align == 2)
            shift = (avail - width) / 2;
        const double baseline = y + line.ascent;
        for (const auto& pc : line.pieces) {
            const QColor c = cx.apply(pc.color);
            const double px = left + shift + pc.x;
            if (pc.face.font) {
                const double scale = pc.face.scale();
                p.setPen(Qt::NoPen);
                p.setBrush(c);
                double gx = px;
                for (QChar ch : pc.text) {
                    auto it = pc.face.font->byCode.find(ch.unicode());
                    if (it != pc.face.font->byCode.end() &&
                        it->second < pc.face.font->glyphs.size()) {
                        p.setTransform(QTransform(scale, 0, 0, scale, gx, baseline) * world);
                        p.drawPath(pc.face.font->glyphs[it->second]);
                    }
                    gx += pc.face.advance(ch);
                }
                p.setTransform(world);
            } else {
                p.setTransform(world);
                p.setFont(pc.face.device);
                p.setPen(c);
                p.drawText(QPointF(px, baseline), pc.text);
            }
            if (pc.underline) {
                p.setTransform(world);
                QPen pen(c);
                pen.setWidthF(std::max(20.0, pc.face.size / 16));
                p.setPen(pen);
                p.drawLine(QPointF(px, baseline + 40),
                           QPointF(px + pc.face.width(pc.text), baseline + 40));
            }
        }
        y += line.ascent + line.descent + line.leading + field.leading;
        if (y > box.bottom() + 20000) break;
    }
    p.restore();
}

}  // namespace

}  // namespace swf::render
