#pragma once
// Button instances placed by timelines, as scripts see them: named children of their timeline
// whose objects (Button.prototype) hold onPress & co., tabEnabled, tabIndex, enabled ...
// Their objects read as their target path and show the placement properties (_x, _name ...),
// as text fields' objects do, and share that object class.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/avm1/host.h"

namespace swf {
struct DisplayObject;
}

namespace swf::avm1 {

class ScriptRunner;
class Vm;
class Object;

class ButtonHost : public ClipHost {
public:
    ButtonHost(ScriptRunner& runner, ClipHost* parent, const DisplayObject& o, std::string name);

    // The display object behind the button; null once it left the stage.
    DisplayObject* object() const;
    bool matches(const DisplayObject& o) const;
    uint16_t characterId() const { return characterId_; }
    int placedAt() const { return placedAt_; }

    int currentFrame() const override { return 0; }
    int totalFrames() const override { return 1; }
    bool isPlaying() const override { return false; }
    void play() override {}
    void stop() override {}
    void gotoFrame(int, bool) override {}
    std::optional<int> labelFrame(std::string_view) const override { return std::nullopt; }
    std::string name() const override { return name_; }
    void setName(std::string_view n) override { name_ = std::string(n); }
    ClipHost* parent() const override { return parent_; }
    void forgetParent() { parent_ = nullptr; }  // the parent timeline is going away
    int depth() const override { return depth_; }
    std::optional<double> property(int index) const override;
    void setProperty(int index, double v) override;
    // The clips of the state it shows.
    std::vector<ClipHost*> children() const override;

private:
    ScriptRunner& runner_;
    ClipHost* parent_;
    int depth_;
    uint16_t characterId_;
    int placedAt_;
    std::string name_;
};

// Every button instance of one player, found in the timelines' display lists.
class Buttons {
public:
    Buttons(Vm& vm, ScriptRunner& runner);
    ~Buttons();
    // The buttons on parent's display list (those that left it are let go).
    std::vector<ClipHost*> childrenOf(ClipHost* parent);
    // The button placed as o on parent's list.
    ButtonHost* find(ClipHost* parent, const DisplayObject& o);
    // parent leaves for good: its buttons go with it.
    void parentGone(const ClipHost* parent);
    Object* proto = nullptr;  // Button.prototype

private:
    using Live =
        std::map<std::tuple<const ClipHost*, int, uint16_t, int>, std::unique_ptr<ButtonHost>>;
    ButtonHost* instanceFor(ClipHost* parent, const DisplayObject& o);
    Live::iterator letGo(Live::iterator it);
    Vm& vm_;
    ScriptRunner& runner_;
    Live live_;  // buttons on the stage, by parent and placement
    std::vector<std::unique_ptr<ButtonHost>> gone_;  // kept: scripts may still point at them
};

// The buttons below parent (Vm::childrenOf adds them to a timeline's children).
std::vector<ClipHost*> buttonChildren(Vm& vm, ClipHost* parent);
// The buttons of a timeline that leaves for good are let go (their objects no longer reach them).
void buttonParentGone(Vm& vm, const ClipHost* parent);
// The button placed as o on parent's display list, if it is one.
ButtonHost* buttonAt(Vm& vm, ClipHost* parent, const DisplayObject& o);

// The button behind a script object; null for anything else.
ButtonHost* buttonOf(Object* o);

// The Button class; the instances are found once the runner is there.
void installButtonBuiltins(Vm& vm);

}  // namespace swf::avm1
