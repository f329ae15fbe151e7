#pragma once
// Recorded input for `lanfeng-cli run --input`: a JSON list of mouse, key and text events
// split into one batch per frame by its "Wait" entries.

#include <QRect>
#include <optional>
#include <string>
#include <vector>

#include "engine/player.h"

namespace cli {

// One recorded entry: an event for the player (its points are window pixels) or a Wait that
// ends the frame's batch.
struct InputEvent {
    bool wait = false;
    swf::InputEvent event;
};

// Reads a recording; nullopt and a one-line reason in error when the file is not one.
std::optional<std::vector<InputEvent>> readInputEvents(const std::string& path, std::string& error);

// Hands the events to the player up to the next Wait (or the end); returns where it stopped,
// past that Wait. The recorded points are pixels of the window (viewport), which shows the
// stage as mode lays it out.
size_t deliverInput(swf::Player& player, const std::vector<InputEvent>& events, size_t from,
                    const QRect& viewport, swf::ScaleMode mode);

}  // namespace cli
