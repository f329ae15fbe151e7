#pragma once
// The player set-up a recorded reference run declares beside its movie (test.toml): the stage
// quality it drew at and the size of its window. Only these two keys are read.

#include <optional>
#include <string>

#include "engine/player.h"

namespace cli {

struct RunSetup {
    std::optional<swf::Quality> quality;
    int viewportWidth = 0, viewportHeight = 0;  // 0: the movie's own stage size
};

// Reads the [player_options] table of text in that format. Anything it does not understand is
// left out; an absurd viewport (beyond 8192 pixels a side) is ignored.
RunSetup parseRunSetup(const std::string& text);

// The set-up in "test.toml" beside movieFile, or an empty one.
RunSetup runSetupBeside(const std::string& movieFile);

}  // namespace cli
