#pragma once
// Input as the engine takes it: one event type for the mouse, the keys, typing, editing, the
// clipboard and the window's focus, and the one table from Qt's keys to the Flash key codes.

#include <cstdint>
#include <string>

namespace swf {

// Editing commands of the focused text field (the keyboard's shortcuts for them).
enum class TextCommand {
    Enter,
    Backspace,
    Delete,
    MoveLeft,
    MoveRight,
    LineStart,
    LineEnd,
    SelectAll,
    Copy,
    Cut,
    Paste
};

}  // namespace swf
