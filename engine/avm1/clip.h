#pragma once
// MovieClip objects: the display properties and child names scripts reach through them.

#include <string_view>

#include "engine/avm1/vm.h"

namespace swf::avm1 {

// _x, _currentframe ... (any letter case); false when name is not one of them.
bool clipGet(Vm& vm, Object* clip, std::string_view name, Value& out);
bool clipSet(Vm& vm, Object* clip, std::string_view name, const Value& v);
bool clipHas(Vm& vm, Object* clip, std::string_view name);
// A named child instance.
bool clipGetChild(Vm& vm, Object* clip, std::string_view name, Value& out);
void setScriptClipDepth(ClipHost* clip, int depth);
bool isScriptClip(const ClipHost* clip);
// GetProperty/SetProperty by index.
Value clipGetIndex(Vm& vm, ClipHost* clip, int index);
void clipSetIndex(Vm& vm, ClipHost* clip, int index, const Value& v);

}  // namespace swf::avm1
