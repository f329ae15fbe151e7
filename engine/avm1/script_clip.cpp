// Clips that scripts create: an empty timeline of one frame with a name and a depth. They hold
// no artwork; their display properties live on their script objects.

#include <algorithm>

#include "engine/avm1/button_object.h"
#include "engine/avm1/loader.h"
#include "engine/avm1/text_field.h"
#include "engine/avm1/vm.h"

namespace swf::avm1 {

namespace {

class ScriptClip : public ClipHost {
public:
    ScriptClip(ClipHost* parent, std::string name, int depth)
        : parent_(parent), name_(std::move(name)), depth_(depth) {}
    int currentFrame() const override { return 0; }
    int totalFrames() const override { return 1; }
    bool isPlaying() const override { return playing_; }
    void play() override { playing_ = true; }
    void stop() override { playing_ = false; }
    void gotoFrame(int, bool andPlay) override { playing_ = andPlay; }
    std::optional<int> labelFrame(std::string_view) const override { return std::nullopt; }
    std::string name() const override { return name_; }
    void setName(std::string_view n) override { name_ = std::string(n); }
    ClipHost* parent() const override { return parent_; }
    int depth() const override { return depth_ + 16384; }
    void setDepth(int d) { depth_ = d; }
    void detach() { parent_ = nullptr; }

private:
    ClipHost* parent_;
    std::string name_;
    int depth_;
    bool playing_ = true;
};

}  // namespace

std::vector<ClipHost*> Vm::childrenOf(ClipHost* clip) const {
    if (!clip) return {};
    std::vector<ClipHost*> out = clip->children();
    // A movie loaded into a clip takes its place.
    if (loads)
        for (ClipHost*& c : out) c = shownClip(const_cast<Vm&>(*this), c);
    for (const auto& c : scriptClips_)
        if (c->parent() == clip) out.push_back(c.get());
    if (textFields)
        for (ClipHost* f : textFields->childrenOf(clip)) out.push_back(f);
    for (ClipHost* b : buttonChildren(const_cast<Vm&>(*this), clip)) out.push_back(b);
    return out;
}

ClipHost* Vm::createClip(ClipHost* parent, std::string_view name, int depth) {
    if (!parent || scriptClips_.size() >= 100000) return nullptr;
    // A new clip takes the depth from whatever script clip held it.
    for (const auto& c : scriptClips_)
        if (c->parent() == parent && c->depth() == depth + 16384) {
            removeClip(c.get());
            break;
        }
    scriptClips_.push_back(std::make_unique<ScriptClip>(parent, std::string(name), depth));
    return scriptClips_.back().get();
}

void Vm::removeClip(ClipHost* clip) {
    auto it = std::find_if(scriptClips_.begin(), scriptClips_.end(),
                           [&](const auto& c) { return c.get() == clip; });
    if (it == scriptClips_.end()) return;
    // Its children go with it.
    for (ClipHost* child : childrenOf(clip)) removeClip(child);
    it = std::find_if(scriptClips_.begin(), scriptClips_.end(),
                      [&](const auto& c) { return c.get() == clip; });
    if (clip->scriptObject) clip->scriptObject->clip = nullptr;
    if (textFields) textFields->parentGone(clip);
    scriptClips_.erase(it);
}

void setScriptClipDepth(ClipHost* clip, int depth) {
    if (auto* s = dynamic_cast<ScriptClip*>(clip)) s->setDepth(depth);
}

bool isScriptClip(const ClipHost* clip) { return dynamic_cast<const ScriptClip*>(clip) != nullptr; }

}  // namespace swf::avm1
