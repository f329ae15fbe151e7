#pragma once
// What the VM asks of the player: the timelines scripts drive and the outside world (trace,
// log, URLs). The runtime implements these; tests can implement them with a few lines.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swf::avm1 {

class Object;

// One timeline (the root or a sprite instance) as scripts see it.
class ClipHost {
public:
    virtual ~ClipHost() = default;
    virtual int currentFrame() const = 0;  // 0-based
    virtual int totalFrames() const = 0;
    virtual int framesLoaded() const { return totalFrames(); }
    virtual bool isPlaying() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    // Moves the playhead (0-based, already clamped by the caller) and runs that frame's actions.
    virtual void gotoFrame(int frame, bool andPlay) = 0;
    virtual std::optional<int> labelFrame(std::string_view label) const = 0;
    virtual std::string name() const = 0;
    virtual void setName(std::string_view) {}
    // The bodies of that frame's DoAction tags (ActionCall).
    virtual std::vector<std::span<const uint8_t>> frameActions(int) const { return {}; }
    virtual ClipHost* parent() const { return nullptr; }
    virtual std::vector<ClipHost*> children() const { return {}; }
    virtual int depth() const { return 0; }
    // The level a root timeline stands on (_level0, _level1, ...).
    virtual int level() const { return 0; }
    // Display properties by index (_x = 0 ... as GetProperty numbers them); nullopt: not kept.
    virtual std::optional<double> property(int) const { return std::nullopt; }
    virtual void setProperty(int, double) {}
    // The script object of this clip, made by the VM on first use.
    Object* scriptObject = nullptr;
};

class VmHost {
public:
    virtual ~VmHost() = default;
    virtual void trace(std::string_view line) = 0;
    virtual void log(std::string_view) {}
    virtual void getUrl(std::string_view, std::string_view) {}
    virtual double timeMs() const { return 0; }  // movie time since start, for getTimer
};

}  // namespace swf::avm1
