#pragma once
// Input as the engine takes it: one event type for the mouse, the keys, typing, editing, the
// clipboard and the window's focus, and the one table from Qt's keys to the Flash key codes.

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

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

// One thing the user did, as the player takes it. Points are stage pixels (as _xmouse reads
// them on the root); key codes are the Flash Player's (Key.LEFT = 37 ...).
struct InputEvent {
    static constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
    enum class Type : uint8_t {
        MouseMove,
        MouseDown,
        MouseUp,
        MouseWheel,
        KeyDown,
        KeyUp,
        Text,       // characters typed (a key's, or an input method's commit)
        Compose,    // an input method's text not yet committed (text; empty: none)
        Command,    // an editing command for the focused text field
        Clipboard,  // the clipboard's content changed
        FocusLost,  // the window lost the keyboard
        FocusGained
    };
    Type type = Type::MouseMove;
    double x = 0, y = 0;     // mouse events
    // Mouse events: the point in the window's own pixels, when the window is scaled; a clip
    // flattened to nothing reads the mouse there. NaN: the same as x, y.
    double windowX = kUnset, windowY = kUnset;
    double windowScale = 1;  // window pixels to a stage pixel
    int button = 1;          // down/up: 1 main, 2 right, 4 middle (as Key.isDown names them)
    int delta = 0;           // wheel: lines, positive away from the user
    int keyCode = 0;         // key events
    char32_t character = 0;  // key down: what the key types, 0 for none
    std::u32string text;     // typed characters
    std::string clipboard;   // the clipboard's text, UTF-8
    TextCommand command = TextCommand::Enter;

    static InputEvent mouseMove(double x, double y) { return mouse(Type::MouseMove, x, y, 1); }
    static InputEvent mouseDown(double x, double y, int button = 1) {
        return mouse(Type::MouseDown, x, y, button);
    }
    static InputEvent mouseUp(double x, double y, int button = 1) {
        return mouse(Type::MouseUp, x, y, button);
    }
    static InputEvent wheel(double x, double y, int lines) {
        InputEvent e = mouse(Type::MouseWheel, x, y, 1);
        e.delta = lines;
        return e;
    }
    static InputEvent keyDown(int code, char32_t character = 0) {
        InputEvent e = of(Type::KeyDown);
        e.keyCode = code;
        e.character = character;
        return e;
    }
    static InputEvent keyUp(int code) {
        InputEvent e = of(Type::KeyUp);
        e.keyCode = code;
        return e;
    }
    static InputEvent typed(std::u32string text) {
        InputEvent e = of(Type::Text);
        e.text = std::move(text);
        return e;
    }
    static InputEvent typed(char32_t c) { return typed(std::u32string(1, c)); }
    static InputEvent edit(TextCommand command) {
        InputEvent e = of(Type::Command);
        e.command = command;
        return e;
    }
    static InputEvent clipboardText(std::string text) {
        InputEvent e = of(Type::Clipboard);
        e.clipboard = std::move(text);
        return e;
    }
    static InputEvent focus(bool gained) {
        return of(gained ? Type::FocusGained : Type::FocusLost);
    }

private:
    static InputEvent of(Type t) {
        InputEvent e;
        e.type = t;
        return e;
    }
    static InputEvent mouse(Type t, double x, double y, int button) {
        InputEvent e = of(t);
        e.x = x;
        e.y = y;
        e.button = button;
        return e;
    }
};

// The Flash key code of a Qt key (Qt::Key_A ...); keypad: the key is on the numeric keypad
// (Qt::KeypadModifier). Keys are placed as on a US keyboard; 0 for keys Flash has no code for.
int flashKeyCode(int qtKey, bool keypad = false);

}  // namespace swf
