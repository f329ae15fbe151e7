#pragma once
// Scripts of one player: the movie's action tags indexed by frame, the VM, and the root
// timeline as scripts see it. The player calls frameEntered() whenever its root lands on a
// frame; goto/play/stop from scripts come back through the hooks.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/avm1/host.h"

namespace swf {
class Movie;
}

namespace swf::avm1 {

class Vm;

// DoAction / DoInitAction bodies found in a movie's tag stream.
struct ScriptIndex {
    std::vector<std::vector<std::span<const uint8_t>>> rootFrames;  // per root frame
    struct Init {
        uint16_t spriteId;
        std::span<const uint8_t> code;
    };
    std::vector<std::vector<Init>> rootInits;  // per root frame
    // A sprite's frame actions, by sprite id then frame.
    std::map<uint16_t, std::vector<std::vector<std::span<const uint8_t>>>> spriteFrames;
    bool any = false;
};

// Reads the tag stream once; every length is checked, a cut stream ends the index.
ScriptIndex indexScripts(const Movie& movie);

class ScriptRunner : public VmHost, public ClipHost {
public:
    struct Hooks {
        std::function<int()> frame;
        std::function<void(int)> seek;  // display list only
        std::function<bool()> playing;
        std::function<void(bool)> setPlaying;
    };
    ScriptRunner(const Movie& movie, Hooks hooks, ScriptIndex index);
    ~ScriptRunner() override;
    // Null when the movie holds no actions: such a player needs no VM.
    static std::unique_ptr<ScriptRunner> create(const Movie& movie, Hooks hooks);

    // The root now shows `frame`: its init actions (first visit) and frame actions run, then
    // whatever gotos they caused, then due timers.
    void frameEntered(int frame);
    // After the player moved. A tick runs the new frame's actions when the root changed frame
    // and the timers of one frame's time; other moves only show the frame.
    void sync(bool tick);
    void setTraceSink(std::function<void(std::string_view)> sink);
    bool hasScripts() const { return index_.any; }
    Vm& vm() { return *vm_; }

    // VmHost
    void trace(std::string_view line) override;
    void log(std::string_view line) override;
    double timeMs() const override;

    // ClipHost (the root timeline)
    int currentFrame() const override;
    int totalFrames() const override;
    bool isPlaying() const override;
    void play() override;
    void stop() override;
    void gotoFrame(int frame, bool andPlay) override;
    std::optional<int> labelFrame(std::string_view label) const override;
    std::string name() const override { return {}; }
    std::vector<std::span<const uint8_t>> frameActions(int frame) const override;

private:
    void runFrame(int frame);
    void drain();

    const Movie& movie_;
    Hooks hooks_;
    ScriptIndex index_;
    std::unique_ptr<Vm> vm_;
    std::vector<bool> initDone_;
    std::deque<int> pending_;  // frames whose actions a goto queued
    bool running_ = false;
    int lastSeen_ = 0;
    int ticks_ = 0;
    std::function<void(std::string_view)> sink_;
    std::vector<std::string> buffered_;  // lines traced before a sink was set
};

}  // namespace swf::avm1
