#pragma once
// NetStream's playback of FLV files and the Video objects that show it.

#include <string>

#include "engine/avm1/object.h"

namespace swf {
struct DisplayObject;
}

namespace swf::avm1 {

class Vm;

// Gives a stream made on a local connection what it needs to play.
void makeStream(Object* self);
// The value of a stream property (time, bufferLength, bytesLoaded ...) as a getter.
NativeFn streamGetter(std::string name);
void installStreamMethods(Vm& vm, Object* netStreamProto);
void installVideoMethods(Vm& vm, Object* videoProto);
// Ties a Video object to the timeline placement it stands for.
void linkVideo(Vm& vm, Object* video, Object* owner, int depth, int placedAt);
// The placement a Video object stands for, while it lasts.
DisplayObject* videoPlacement(Vm& vm, Object* video);
// Each frame's end: streams move on by the movie's time.
void updateStreams(Vm& vm);

}  // namespace swf::avm1
