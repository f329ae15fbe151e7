#pragma once
// A text field as scripts left it (engine/avm1/text_field.*): the renderer draws this in place
// of the field's DefineEditText, and draws it for fields scripts created.

#include <string>

#include "engine/format/records.h"
#include "engine/format/text.h"

namespace swf {

struct TextFieldView {
    format::EditText field;  // bounds, flags, font, colour and layout as they are now
    std::string text;        // UTF-8; HTML when field.html
    bool background = false;
    format::Rgba backgroundColor{255, 255, 255, 255};
    format::Rgba borderColor{0, 0, 0, 255};
};

}  // namespace swf
