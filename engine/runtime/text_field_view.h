#pragma once
// A text field as scripts left it (engine/avm1/text_field.*): the renderer draws this in place
// of the field's DefineEditText, and draws it for fields scripts created.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/format/records.h"
#include "engine/format/text.h"

namespace swf {

// A complete text format: of characters (font to letterSpacing) and of the paragraph they are
// in (align to tabStops; a paragraph takes its first character's).
struct FieldFormat {
    std::string font = "Times New Roman";
    double size = 12;  // pixels
    uint32_t color = 0;
    bool bold = false, italic = false, underline = false, bullet = false, kerning = false;
    std::string url, target, align = "left", display = "block";
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0, blockIndent = 0;
    double letterSpacing = 0;
    std::vector<double> tabStops;
    bool operator==(const FieldFormat&) const = default;
};

// Styled text: characters ("\r" ends a paragraph) and the formats of consecutive runs of them.
struct RichText {
    struct Run {
        size_t length = 0;
        FieldFormat format;
    };
    std::u32string chars;
    std::vector<Run> runs;  // lengths add up to chars.size()
};

struct TextFieldView {
    format::EditText field;  // bounds, flags, font, colour and layout as they are now
    RichText content;
    bool background = false;
    format::Rgba backgroundColor{255, 255, 255, 255};
    format::Rgba borderColor{0, 0, 0, 255};
    // The keyboard focus as the field shows it: a caret in an input field at selEnd, and the
    // characters between selBegin and selEnd inverted.
    bool focused = false;
    int selBegin = 0, selEnd = 0;
    FieldFormat newFormat;  // what an empty field's line and caret are measured by
    int hscroll = 0;        // pixels the text is moved left by, within the box
    int scroll = 1;         // the first line shown, from 1; lines above it are out of sight
    // Different for every view made, so that a drawing cache sees the change even where a new
    // view takes an old one's memory.
    uint64_t serial = 0;
};

}  // namespace swf
