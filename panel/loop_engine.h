#pragma once
// The loop engine's rules that need no window; the ticks themselves are TForm2::Timer2Timer,
// Timer3Timer and Timer4Timer (loop_engine.cpp).

#include <random>

namespace lanfeng {

// The player gives no end-of-movie event: a movie counts as near its end over its last 12
// frames, and always when it has 12 frames or fewer.
inline bool nearEnd(int totalFrames, int currentFrame) { return totalFrames - 13 < currentFrame; }

// The whole-list index after a lookup: the entry after the last one is the first one.
inline int wholeListIndex(int index, int count) { return index == count - 1 ? -1 : index; }

// Any entry of the list, each equally likely, the current movie included; -1 for an empty list.
int randomEntry(int count, std::mt19937& generator);

}  // namespace lanfeng
