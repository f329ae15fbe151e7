#pragma once
// Static text (DefineText) and text fields (DefineEditText) with QPainter.

#include <QPainterPath>
#include <QString>
#include <QTransform>
#include <string_view>
#include <vector>

#include "engine/format/text.h"
#include "engine/render/color.h"

class QPainter;

namespace swf {
class Movie;
struct TextFieldView;
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

}  // namespace swf::render
