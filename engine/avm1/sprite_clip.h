#pragma once
// Sprite instances placed by a timeline, as scripts see them. A sprite clip names its place
// (parent, depth, character, creating frame) and finds its display object again on each use,
// since display lists are rebuilt and copied as the movie plays.

#include <cstdint>
#include <vector>

#include "engine/avm1/host.h"

namespace swf {
struct DisplayObject;
struct DisplayList;
}  // namespace swf

namespace swf::avm1 {

class ScriptRunner;

class SpriteClip : public ClipHost {
public:
    SpriteClip(ScriptRunner& runner, ClipHost* parent, const DisplayObject& o, std::string name);

    // The display object behind this clip; null once it left the stage.
    DisplayObject* object() const;
    // The list of its children (null when gone or not started).
    DisplayList* list() const;
    bool matches(const DisplayObject& o) const;

    int currentFrame() const override;
    int totalFrames() const override;
    bool isPlaying() const override;
    void play() override;
    void stop() override;
    void gotoFrame(int frame, bool andPlay) override;
    std::optional<int> labelFrame(std::string_view label) const override;
    std::string name() const override { return name_; }
    void setName(std::string_view n) override { name_ = std::string(n); }
    std::vector<std::span<const uint8_t>> frameActions(int frame) const override;
    ClipHost* parent() const override { return parent_; }
    std::vector<ClipHost*> children() const override;
    int depth() const override { return depth_; }
    std::optional<double> property(int index) const override;
    void setProperty(int index, double v) override;

    // An empty clip or a sprite declaring no frames: its _currentframe reads 0.
    bool frameless() const;
    uint16_t characterId() const { return characterId_; }
    ScriptRunner& runner() const { return runner_; }
    int placedAt() const { return placedAt_; }
    int rawDepth() const { return depth_; }
    void setParent(ClipHost* p) { parent_ = p; }
    void relocate(int depth, int placedAt) {
        depth_ = depth;
        placedAt_ = placedAt;
    }

    int lastFrame = -1;             // the frame whose actions ran last
    bool movedBeforeStart = false;  // a goto reached it before its first frame's actions ran
    bool alive = true;
    // Taken off its timeline with unload handlers to hear: it waits below zero until the next
    // frame drops it.
    bool removed = false;
    bool unloadHeard = false;     // its unload events ran or wait in the queue
    bool fresh = false;           // placed by a script: its events and first frame are still due
    bool constructed = false;     // its initialize/construct events ran
    bool constructFired = false;  // its construct events ran already, as a script duplicated it
    std::vector<std::pair<uint32_t, std::span<const uint8_t>>> events;  // onClipEvent handlers

private:
    ScriptRunner& runner_;
    ClipHost* parent_;
    int depth_;
    uint16_t characterId_;
    int placedAt_;
    std::string name_;
};

}  // namespace swf::avm1
