#pragma once
// Typing into the focused input text field: characters (restrict, maxChars), newlines in
// multiline fields, deleting, moving the caret, selecting all, and the clipboard; onChanged
// follows each change. Fields are read and written through their script properties, so
// variable binding and redrawing happen as for a script's change.

#include <string>

#include "engine/runtime/input_event.h"

namespace swf::avm1 {

class Vm;
class Object;

// Whether restrict lets c be typed (a null or undefined restrict lets everything in).
bool restrictAllows(std::u32string_view restrict, char32_t c);

// A character typed into field (an input text field's object).
void typeInto(Vm& vm, Object* field, char32_t c);
void editField(Vm& vm, Object* field, TextCommand command, std::string& clipboard);
// An input method's uncommitted text, in field in place of the last (no onChanged yet).
void composeInto(Vm& vm, Object* field, std::u32string_view text);
// The field loses the focus: its uncommitted text stays, as typed (onChanged follows).
void commitComposition(Vm& vm, Object* field);

}  // namespace swf::avm1
