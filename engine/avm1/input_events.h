#pragma once
// Mouse and keyboard: buttons (DefineButton/DefineButton2 hit areas, up/over/down states and
// their on(...) actions), clips acting as buttons (onPress ...), onClipEvent mouse and key
// events, onMouseDown/Move/Up, Mouse and Key listeners, Key.isDown/getCode/getAscii and
// _xmouse/_ymouse.

#include <QPainterPath>
#include <QTransform>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <tuple>
#include <vector>

#include "engine/avm1/value.h"
#include "engine/runtime/basics.h"
#include "engine/runtime/input_event.h"

namespace swf {
class Movie;
struct DisplayList;
struct DisplayObject;
struct SpriteState;
}  // namespace swf

namespace swf::avm1 {

class Buttons;
class ClipHost;
class ScriptRunner;
class Vm;
class Object;

// Button condition bits of DefineButton2 (CondIdleToOverUp = 1 ...); the key code of
// CondKeyPress sits in bits 9-15.
enum ButtonCondition : uint16_t {
    kIdleToOverUp = 0x001,       // rollOver
    kOverUpToIdle = 0x002,       // rollOut
    kOverUpToOverDown = 0x004,   // press
    kOverDownToOverUp = 0x008,   // release
    kOverDownToOutDown = 0x010,  // dragOut
    kOutDownToOverDown = 0x020,  // dragOver
    kOutDownToIdle = 0x040,      // releaseOutside
    kIdleToOverDown = 0x080,     // dragOver (menu)
    kOverDownToIdle = 0x100,     // dragOut (menu)
};

struct ButtonAction {
    uint16_t conditions = 0;
    std::span<const uint8_t> code;
};

// The actions of every button in the movie, by character id (DefineButton's are on release).
std::map<uint16_t, std::vector<ButtonAction>> indexButtonActions(const Movie& movie);

// What scripts ask of the keyboard and mouse (Key.isDown, _xmouse ...).
struct InputState {
    std::set<int> keysDown;
    int lastCode = 0;
    int lastAscii = 0;
    double mouseX = 0, mouseY = 0;  // stage twips
    // The mouse in the window's pixels, and how many of them a stage pixel covers.
    double windowX = 0, windowY = 0, windowScale = 1;
    bool mouseDown = false;
    bool keyboardFocus = false;  // the focused object hears the keys (not since the mouse moved)
    bool highlight = false;      // the focus highlight shows (until the mouse really moves)
    bool focusRect = false;      // _focusrect allowed it when the focus last moved by key or script
    std::function<void()> flushRolls;  // runs the rolls focus moves left waiting
    int selBegin = 0, selEnd = 0;      // the focused text field's selection (caret at selEnd)
    // The input method's uncommitted text in the focused field: where it starts, how long.
    int composeAt = 0, composeLength = 0;
    std::set<int> toggled;             // keys (and the left button) pressed an odd number of times
    // Every press of a key toggles it, not only the lock keys.
    void toggle(int code) {
        if (!toggled.erase(code)) toggled.insert(code);
    }
    std::shared_ptr<Buttons> buttons;  // the button instances scripts know
};

void installInputBuiltins(Vm& vm);
// The mouse in clip's own coordinates, pixels (_xmouse when x, else _ymouse).
double mouseLocal(Vm& vm, ClipHost* clip, bool x);

class InputRouter {
public:
    using Sound = std::function<void(uint16_t buttonId, ButtonTransition)>;
    InputRouter(const Movie& movie, std::function<DisplayList*()> rootList, ScriptRunner* scripts,
                Sound sound);
    ~InputRouter();

    // Stage coordinates in twips.
    void mouseMove(double x, double y);
    void mouseDown(double x, double y);
    void mouseUp(double x, double y);
    // A button other than the main one: only Key.isDown sees it.
    void otherButton(int code, bool down);
    // Flash key codes (Key.LEFT 37 ...) and the character typed, if any.
    void keyDown(int code, char32_t ch);
    void keyUp(int code);
    // Typing and editing in the focused text field.
    void textInput(char32_t ch);
    // An input method's text not yet committed, shown in the focused field in place of its last.
    void compose(const std::u32string& text);
    void textCommand(TextCommand command);
    // The wheel turned by lines (positive away from the user): Mouse listeners' onMouseWheel.
    void mouseWheel(int lines);
    void windowFocus(bool focused);
    std::string clipboard;
    // After the stage changed: what is under the mouse again, and the buttons' shown states.
    void refresh();
    // Whether something that takes clicks is under the point (for the hand cursor).
    bool overButton() const { return hover_.valid(); }

private:
    // A button, or a clip acting as one, on the stage.
    struct Target {
        const DisplayList* list = nullptr;
        int depth = 0;
        uint16_t characterId = 0;
        int placedAt = 0;
        bool isClip = false;           // a sprite with onPress & co.
        ClipHost* timeline = nullptr;  // the button's parent (runs its actions), or the clip
        bool valid() const { return list != nullptr; }
        bool operator==(const Target& o) const {
            return list == o.list && depth == o.depth && characterId == o.characterId &&
                   placedAt == o.placedAt && isClip == o.isClip;
        }
    };
    struct Found {
        Target target;
        DisplayObject* object = nullptr;
        QTransform world;
    };
    enum class State { Up, Over, Down };

    void collect(std::vector<Found>& out, DisplayList& list, ClipHost* timeline,
                 const QTransform& world, int nesting);
    Target pick(double x, double y, std::vector<Found>* all = nullptr);
    // Shows the state each button was last set to, before anything looks at it.
    void showStates();
    // The clips of a timeline, by their display objects.
    std::map<const DisplayObject*, ClipHost*> clipsOf(ClipHost* timeline);
    // The button object standing for o on timeline: the timeline of what is inside it.
    ClipHost* buttonTimeline(ClipHost* timeline, const DisplayObject& o);
    // The target as the stage holds it now, its timeline found again; none once it left
    // (a kept target's list and clip may be gone with it: never follow them unchecked).
    std::optional<Target> current(const Target& t);
    // The script object of a target, and whether its enabled lets it take the mouse.
    Object* objectOf(const Target& t);
    Object* objectOfLive(const Target& t);  // t just checked by current()
    bool enabled(const Target& t);
    // Menu items (trackAsMenu) take a press the mouse brings in held down.
    bool tracksAsMenu(const Target& t);
    const QPainterPath& hitArea(uint16_t buttonId);
    QPainterPath outline(uint16_t characterId, int nesting);
    QPainterPath liveOutline(const DisplayList& list, int nesting);
    void setState(const Target& t, State s);
    void applyStates(std::vector<Found>& all);
    // Runs the target's handlers of a condition (or key); whether there were any.
    bool fire(const Target& t, uint16_t condition, int key = 0);
    void tellFocused(const char* method);
    void flushRolls();
    // The keyboard focus rolling over (or out of) a clip or button.
    void roll(Object* obj, bool over);
    // The mouse took over from the keyboard: the focus highlight goes and its object rolls out,
    // unless it is what the mouse is now over (keep: that one stays over).
    void dropHighlight(Object* keep = nullptr);
    void broadcast(const char* clipEvent, uint32_t eventBit, const char* method,
                   std::vector<Value> listenerArgs = {});
    void transition(const Target& from, const Target& to);

    const Movie& movie_;
    std::function<DisplayList*()> rootList_;
    ScriptRunner* scripts_;
    Sound sound_;
    std::map<uint16_t, std::vector<ButtonAction>> actions_;
    std::map<uint16_t, QPainterPath> hitAreas_;
    double x_ = -1e9, y_ = -1e9;
    bool down_ = false;
    Target hover_;    // under the mouse
    // Tab took the over state from what the mouse is over: nothing rolls over by the mouse
    // until it moves.
    bool tabbedAway_ = false;
    Target pressed_;  // took the press; follows the mouse until release
    struct Shown {
        State state;
        const SpriteState* applied;
    };
    std::map<std::tuple<const DisplayList*, int, uint16_t, int>, Shown> shown_;
};

}  // namespace swf::avm1
