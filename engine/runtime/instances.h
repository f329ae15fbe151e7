#pragma once
// Sprites and buttons on a display list: starting them, ticking their timelines, and keeping
// their states across a rebuilt list.

#include <cstddef>

#include "engine/runtime/display_list.h"

namespace swf {

class Movie;
struct Timeline;

// One operation's allowance: a sprite that places itself, or deep fan-out, stops here.
struct InstanceContext {
    const Movie& movie;
    size_t budget = 100000;  // sprite/button states one operation may start
    static constexpr int kMaxNesting = 64;
};

// Gives every sprite or button on list (and below) that has no state yet its first frame.
void startInstances(DisplayList& list, InstanceContext& ctx, int nesting = 0);

// One tick of every running sprite on list: children first, then their own next frame.
void tickInstances(DisplayList& list, InstanceContext& ctx, int nesting = 0);

// Moves the states of objects that persist from before into after (same depth, character and
// creating frame; rewound: after is an earlier frame of the same timeline, where a timeline
// clip persists where that frame has a clip of the same ratio); the rest start afresh.
void carryStates(DisplayList& before, DisplayList& after, InstanceContext& ctx, int nesting = 0,
                 bool rewound = false);

// The same as carrying list's states into a copy of earlier (an earlier frame of the same
// timeline) and taking that copy, done in place, when every object of list lives on there;
// false, with list untouched, otherwise.
bool rewindInPlace(DisplayList& list, const DisplayList& earlier, InstanceContext& ctx,
                   int nesting = 0);

}  // namespace swf
