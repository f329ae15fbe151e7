#include "engine/avm1/movie_scripts.h"

#include <algorithm>
#include <cstdio>

#include "engine/avm1/context.h"
#include "engine/avm1/vm.h"
#include "engine/format/container.h"
#include "engine/format/tags.h"
#include "engine/runtime/movie.h"

namespace swf::avm1 {

namespace {

constexpr uint16_t kShowFrame = 1, kDoAction = 12, kDefineSprite = 39, kDoInitAction = 59;

// Frame action lists of one tag stream; init actions only at the root.
void scanTimeline(std::span<const uint8_t> data, ScriptIndex& index,
                  std::vector<std::vector<std::span<const uint8_t>>>& frames,
                  std::vector<std::vector<ScriptIndex::Init>>* inits, int depth) {
    format::TagReader tags(data);
    format::Tag tag;
    size_t frame = 0;
    auto at = [&](auto& v) -> auto& {
        if (v.size() <= frame) v.resize(frame + 1);
        return v[frame];
    };
    while (tags.next(tag)) {
        switch (tag.code) {
            case kShowFrame:
                ++frame;
                break;
            case kDoAction:
                if (!tag.body.empty()) {
                    at(frames).push_back(tag.body);
                    index.any = true;
                }
                break;
            case kDoInitAction:
                if (inits && tag.body.size() > 2) {
                    const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
                    at(*inits).push_back({id, tag.body.subspan(2)});
                    index.any = true;
                }
                break;
            case kDefineSprite:
                if (depth == 0 && tag.body.size() >= 4) {
                    const uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
                    if (!index.spriteFrames.contains(id))
                        scanTimeline(tag.body.subspan(4), index, index.spriteFrames[id], nullptr,
                                     depth + 1);
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace

ScriptIndex indexScripts(const Movie& movie) {
    ScriptIndex index;
    std::span<const uint8_t> data(movie.data);
    size_t offset = 0;
    try {
        offset = format::readMovieHeader(data).tagsOffset;
    } catch (const format::FormatError&) {
        return index;
    }
    if (offset > data.size()) return index;
    scanTimeline(data.subspan(offset), index, index.rootFrames, &index.rootInits, 0);
    return index;
}

std::unique_ptr<ScriptRunner> ScriptRunner::create(const Movie& movie, Hooks hooks) {
    ScriptIndex index = indexScripts(movie);
    if (!index.any) return nullptr;
    return std::make_unique<ScriptRunner>(movie, std::move(hooks), std::move(index));
}

ScriptRunner::ScriptRunner(const Movie& movie, Hooks hooks, ScriptIndex index)
    : movie_(movie), hooks_(std::move(hooks)), index_(std::move(index)) {
    vm_ = std::make_unique<Vm>(movie.info.version, *this);
    vm_->setRoot(this);
    initDone_.assign(index_.rootInits.size(), false);
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::setTraceSink(std::function<void(std::string_view)> sink) {
    sink_ = std::move(sink);
    if (sink_) {
        for (const auto& l : buffered_) sink_(l);
        buffered_.clear();
    }
}

void ScriptRunner::trace(std::string_view line) {
    if (sink_) {
        sink_(line);
    } else if (buffered_.size() < 100000) {
        buffered_.emplace_back(line);
    }
}

void ScriptRunner::log(std::string_view line) {
    std::fprintf(stderr, "avm1: %.*s\n", static_cast<int>(line.size()), line.data());
}

double ScriptRunner::timeMs() const {
    const double fps = movie_.info.frameRate > 0 ? movie_.info.frameRate : 12;
    return ticks_ * 1000.0 / fps;
}

void ScriptRunner::runFrame(int frame) {
    if (frame < 0) return;
    const size_t f = static_cast<size_t>(frame);
    if (f < index_.rootInits.size() && !initDone_[f]) {
        initDone_[f] = true;
        for (const auto& init : index_.rootInits[f]) vm_->runActions(init.code, this);
    }
    if (f < index_.rootFrames.size())
        for (auto code : index_.rootFrames[f]) vm_->runActions(code, this);
}

// Gotos inside scripts queue the target frame; its actions run once the current list ends.
void ScriptRunner::drain() {
    int guard = 0;
    while (!pending_.empty() && guard++ < 10000) {
        const int f = pending_.front();
        pending_.pop_front();
        runFrame(f);
    }
    pending_.clear();
}

void ScriptRunner::frameEntered(int frame) {
    if (running_) return;
    running_ = true;
    lastSeen_ = frame;
    runFrame(frame);
    drain();
    running_ = false;
}

void ScriptRunner::sync(bool tick) {
    if (running_) return;
    const int f = hooks_.frame();
    if (!tick) {
        // The control's own seeks show a frame without running its actions.
        lastSeen_ = f;
        return;
    }
    ++ticks_;
    running_ = true;
    vm_->dispatchEnterFrame();
    drain();
    running_ = false;
    if (f != lastSeen_) frameEntered(f);
    {
        running_ = true;
        vm_->runTimers();
        drain();
        running_ = false;
    }
    vm_->maybeCollect();
}

int ScriptRunner::currentFrame() const { return hooks_.frame(); }
int ScriptRunner::totalFrames() const { return static_cast<int>(movie_.root.frames.size()); }
bool ScriptRunner::isPlaying() const { return hooks_.playing(); }
void ScriptRunner::play() { hooks_.setPlaying(true); }
void ScriptRunner::stop() { hooks_.setPlaying(false); }

void ScriptRunner::gotoFrame(int frame, bool andPlay) {
    hooks_.setPlaying(andPlay);
    if (frame == hooks_.frame()) return;
    hooks_.seek(frame);
    lastSeen_ = frame;
    if (running_)
        pending_.push_back(frame);
    else
        frameEntered(frame);
}

std::optional<int> ScriptRunner::labelFrame(std::string_view label) const {
    const std::string want = asciiLower(label);
    for (const auto& [name, f] : movie_.root.labels)
        if (asciiLower(name) == want) return f;
    return std::nullopt;
}

std::vector<std::span<const uint8_t>> ScriptRunner::frameActions(int frame) const {
    if (frame < 0 || static_cast<size_t>(frame) >= index_.rootFrames.size()) return {};
    return index_.rootFrames[frame];
}

}  // namespace swf::avm1
