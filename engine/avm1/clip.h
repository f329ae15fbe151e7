#pragma once
// MovieClip objects: the display properties and child names scripts reach through them.

#include <QRectF>
#include <QTransform>
#include <optional>
#include <string>
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
// A frame given to a goto (number, label, or "path:frame"): its 0-based number, with clip
// moved to the timeline the path names. Labels and numbers as strings read in clip's timeline.
std::optional<int> frameArgument(Vm& vm, ClipHost*& clip, const Value& v);
// Moves clip to frame (0-based): past the end means the last frame, before the first none.
void gotoClipFrame(ClipHost* clip, int frame, bool play);
// duplicateMovieClip and removeMovieClip as the global functions (CloneSprite/RemoveSprite)
// reach them; depth counts as the display list does (script depth + 16384).
void cloneClip(Vm& vm, ClipHost* source, const std::string& name, double depth);
void removeScriptedClip(Vm& vm, ClipHost* clip);
// _width/_height in pixels (nullopt when the clip is not on stage), and setting them.
std::optional<double> clipExtent(Vm& vm, ClipHost* clip, bool width);
void setClipExtent(Vm& vm, ClipHost* clip, bool width, double v);
// What a clip draws (strokes included), or a button's hit area, in stage twips; nullopt when
// it is off the stage or covers nothing.
std::optional<QRectF> stageBounds(Vm& vm, ClipHost* clip);
// A clip's bounds in another clip's space, in pixels (getBounds, getRect); empty when it draws
// nothing, nullopt when either clip is off the stage.
struct ClipRect {
    QRectF pixels;
    bool empty = false;
};
std::optional<ClipRect> boundsIn(Vm& vm, ClipHost* clip, ClipHost* space, bool withStrokes);
// Where scripts moved the main movie's root (its _x, _rotation ...), in stage twips.
QTransform rootTransform(Vm& vm);
// The way back through a placement, kept as placements are: its move in whole twips.
QTransform placementInverse(const QTransform& t, bool* ok);
void installClipBoundsBuiltins(Vm& vm);
// Once every builtin is in place: hides from older movies the methods they cannot know.
void hideNewerClipMethods(Vm& vm);
void installDrawingBuiltins(Vm& vm);
// GetProperty/SetProperty by index.
Value clipGetIndex(Vm& vm, ClipHost* clip, int index);
void clipSetIndex(Vm& vm, ClipHost* clip, int index, const Value& v);

}  // namespace swf::avm1
