#pragma once
// Keeping pictures with a stream sound: the frame clock asks how far the timeline must move.

#include <optional>

namespace swf::media {

// Frames to advance on this beat. Without a sound clock, one. With one: none while the
// timeline is ahead of the sound, otherwise as many as bring it to the sound's frame (the
// ones in between are advanced without being drawn), at most maxSteps.
inline int framesToFollow(int current, std::optional<int> soundFrame, int maxSteps) {
    if (!soundFrame) return 1;
    if (*soundFrame <= current) return 0;
    const int behind = *soundFrame - current;
    return behind < maxSteps ? behind : maxSteps;
}

}  // namespace swf::media
