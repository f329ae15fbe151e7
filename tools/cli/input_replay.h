#pragma once
// Recorded input for `lanfeng-cli run --input`: a JSON list of mouse, key and text events
// split into one batch per frame by its "Wait" entries.

#include <QRect>
#include <optional>
#include <string>
#include <vector>

#include "engine/player.h"

namespace cli {

struct InputEvent {
    enum class Kind {
        MouseMove,
        MouseDown,
        MouseUp,
        KeyDown,
        KeyUp,
        Text,
        TextControl,
        Clipboard,
        FocusLost,
        FocusGained,
        Wait
    };
    Kind kind = Kind::Wait;
    double x = 0, y = 0;     // window pixels
    bool leftButton = true;  // the mouse's main button
    int button = 1;          // as Key.isDown names it: 1 left, 2 right, 4 middle
    int keyCode = 0;         // Flash key code
    char32_t character = 0;  // what the key or the text event typed
    std::string text;        // a text command's name, or the clipboard's new content
};

// Reads a recording; nullopt and a one-line reason in error when the file is not one.
std::optional<std::vector<InputEvent>> readInputEvents(const std::string& path, std::string& error);

// Hands the events to the player up to the next Wait (or the end); returns where it stopped,
// past that Wait. The recorded points are pixels of the window (viewport), which shows the
// stage as mode lays it out.
size_t deliverInput(swf::Player& player, const std::vector<InputEvent>& events, size_t from,
                    const QRect& viewport, swf::ScaleMode mode);

}  // namespace cli
