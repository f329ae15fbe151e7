#pragma once
// The keyboard focus: Selection (getFocus/setFocus, onSetFocus/onKillFocus and its listeners),
// the Tab order (tabEnabled, tabIndex, tabChildren, or the objects' places on the stage), and
// which object the mouse gives the focus to.

#include <QRectF>
#include <optional>
#include <utility>
#include <vector>

#include "engine/avm1/value.h"

namespace swf::avm1 {

class Vm;
class Object;
class ClipHost;
class TextFieldHost;

// The object holding the focus (a clip or text field object), or null.
Value focusedObject(Vm& vm);
// How the focus moves: by a script, by Tab, or by a click.
enum class FocusBy { Script, Tab, Mouse };
// Moves the focus to target (an object or null): onKillFocus, onSetFocus, then Selection's
// listeners hear onSetFocus; nothing of that when it already has it. A clip or button losing
// or taking the keyboard's focus also rolls out or over (for a script even when the focus
// stays): at once for Tab, at the next key or the end of the frame for a script.
void giveFocus(Vm& vm, Value target, FocusBy by = FocusBy::Script);
// The roll-outs and roll-overs the keyboard's focus moves left waiting, in their order:
// (object, true for over).
std::vector<std::pair<Object*, bool>> takeFocusRolls(Vm& vm);
// The focused object left the stage or was hidden: the focus goes (to null), and the handlers
// hear of it as of any change. With leaving, the focus goes too when it is that clip (or, with
// within, in it), which is about to leave or was just hidden.
void dropLostFocus(Vm& vm, ClipHost* leaving = nullptr, bool within = true);
// _focusrect: one setting for the player (the root's own), and from SWF 6 one per other
// object, null until set, which then rules for it. SWF 5 reads it as 0/1.
Value focusRectOf(Vm& vm, ClipHost* clip);
void setFocusRect(Vm& vm, ClipHost* clip, const Value& v);
// Whether the highlight shows around obj.
bool showsFocusRect(Vm& vm, Object* obj);
// Where the yellow highlight goes around the focused clip or button, in stage twips: nullopt
// while none shows (a text field shows its caret instead).
std::optional<QRectF> focusHighlight(Vm& vm);
// The focused text field's box in stage twips (where an input method puts its candidates).
std::optional<QRectF> focusedFieldBounds(Vm& vm);
// The selection replaceSel works on in field (len characters long): the focused field's own,
// the start of the text for any other; then the caret after what replaced it.
std::pair<size_t, size_t> replaceRangeOf(Vm& vm, Object* field, size_t len);
void caretAfterReplace(Vm& vm, Object* field, size_t at);
// Whether a script may give obj the focus.
bool canTakeFocus(Vm& vm, Object* obj);
// The objects Tab visits, in their order.
std::vector<Object*> tabOrder(Vm& vm);
// Tab (or Shift+Tab): the focus goes to the next object of the tab order.
void tabFocus(Vm& vm, bool backwards);

// The topmost text field one can select under a stage point (twips), or null.
Object* selectableFieldAt(Vm& vm, double x, double y);
// The topmost text field under a stage point (twips), only those one can select if selectable,
// and the point in the field's space; null where there is none.
TextFieldHost* textFieldAt(Vm& vm, double x, double y, bool selectable, QPointF* local);

// proto.tabIndex for clips and buttons: whole numbers kept as 32-bit integers (what has none
// becomes the lowest), undefined kept.
void installTabIndex(Vm& vm, Object* proto, bool enumerable);

void installFocusBuiltins(Vm& vm);

}  // namespace swf::avm1
