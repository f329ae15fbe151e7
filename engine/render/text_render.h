#pragma once
// Static text (DefineText) and text fields (DefineEditText) with QPainter.

#include <QPainterPath>
#include <QString>
#include <QTransform>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/format/text.h"
#include "engine/render/color.h"

class QPainter;

#include "engine/runtime/text_field_view.h"

namespace swf {
class Movie;
}  // namespace swf

namespace swf::render {

void drawStaticText(QPainter& p, const Movie& movie, const format::StaticText& text,
                    const QTransform& world, const ColorTx& cx);
// The glyph outlines of a static text in its own space (twips), for masks.
QPainterPath staticTextOutline(const Movie& movie, const format::StaticText& text);

void drawEditText(QPainter& p, const Movie& movie, const format::EditText& field,
                  const QTransform& world, const ColorTx& cx);

// A field as scripts left it (engine/runtime/text_field_view.h).
void drawTextFieldView(QPainter& p, const Movie& movie, const TextFieldView& view,
                       const QTransform& world, const ColorTx& cx);

// What of a field masks what it is set over, in device space: its glyph outlines, not cut to
// its box as drawn text is, or the box itself for device text or a filled background.
QPainterPath textFieldOutline(const Movie& movie, const TextFieldView& view,
                              const QTransform& world);

// The character of a field's text drawn at a point in the field's space (twips), lines scrolled
// as drawn; none off the text.
std::optional<size_t> textFieldCharAt(const Movie& movie, const TextFieldView& view,
                                      const QPointF& at);

// A field's stored text as characters: UTF-8 from SWF 6, the author's code page before.
QString fieldText(std::string_view bytes, int swfVersion);

// One piece of styled text from a field's content.
struct TextSpan {
    QString text;
    QString face;     // empty: the field's font
    double size = 0;  // twips; 0: the field's height
    QColor color;     // invalid: the field's colour
    bool bold = false, italic = false, underline = false;
    int align = -1;  // paragraph alignment, -1: the field's
    bool operator==(const TextSpan&) const = default;
};

// The subset of HTML Flash text fields read: p, br, b, i, u, font (face, size, color), a.
// Paragraph ends become "\n".
std::vector<TextSpan> parseFieldHtml(const QString& html);

// ---- styled text (text_html.cpp)

// The format of the character at i (the last one's past the end; base when there is none).
const FieldFormat& formatAt(const RichText& t, size_t i, const FieldFormat& base);
// Replaces [begin, end) with s in format f; positions are clamped.
void replaceRange(RichText& t, size_t begin, size_t end, std::u32string_view s,
                  const FieldFormat& f);
// Joins neighbouring runs of one format and drops empty ones.
void normalizeRuns(RichText& t);
// The [begin, end) of the paragraphs that [begin, end) touches.
std::pair<size_t, size_t> paragraphSpan(const RichText& t, size_t begin, size_t end);

// htmlText as a field reads it: the tags of Flash's subset on top of base. Without multiline,
// paragraphs tags add no line ends; condenseWhite folds white space as HTML does. Movies before
// SWF 8 know no letter spacing or kerning.
// A style sheet's say on a tag (lower-cased name, class attribute as written) opened in f.
using HtmlStyler =
    std::function<void(std::u32string_view tag, std::u32string_view cls, FieldFormat& f)>;
RichText parseHtmlText(std::u32string_view html, const FieldFormat& base, bool multiline,
                       bool condenseWhite, int swfVersion = 8, const HtmlStyler* styler = nullptr);
// htmlText as a field writes it back.
std::string writeHtmlText(const RichText& t);

// ---- layout

// How much room text takes in a field (pixels), laid out as it is drawn.
struct TextExtent {
    double width = 0, height = 0;  // width: with the margins, as the box fits round it
    int lines = 0;
    double textWidth = 0;  // of the text alone, the first line's indent counted
    // Whole pixels the widest line reaches past the room it has; 0 in wrapping fields.
    int maxHScroll = 0;
    // Each line's height and the leading below it, pixels.
    std::vector<double> lineHeights, lineLeadings;
};
TextExtent measureText(const Movie& movie, const format::EditText& field, const RichText& content);

}  // namespace swf::render
