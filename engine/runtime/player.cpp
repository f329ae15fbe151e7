#include "engine/player.h"

#include <QPainter>
#include <algorithm>
#include <stdexcept>

#include "engine/render/renderer.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf {

class PlayerState {
public:
    explicit PlayerState(const Movie& movie)
        : movie(movie), total(static_cast<int>(movie.root.frames.size())) {
        enterFrame(0);
    }

    // Applies frame f's commands on top of the current list.
    void enterFrame(int f) {
        applyFrame(list, movie, movie.root.frames[f]);
        frame = f;
    }

    // The state of frame n is the timeline replayed up to n: start from the latest kept list
    // at or before n when that saves work (always, going backwards), then apply in order.
    void seek(int target) {
        if (target == frame) return;
        const auto& snaps = movie.rootSnapshots;
        auto it = std::upper_bound(snaps.begin(), snaps.end(), target,
                                   [](int t, const TimelineSnapshot& s) { return t < s.frame; });
        const TimelineSnapshot* base = it == snaps.begin() ? nullptr : &*std::prev(it);
        if (target < frame || (base && base->frame > frame)) {
            if (base) {
                list = base->list;
                frame = base->frame;
            } else {
                list = {};
                enterFrame(0);
            }
        }
        while (frame < target) enterFrame(frame + 1);
    }

    const Movie& movie;
    const int total;
    DisplayList list;
    int frame = 0;
    bool playing = true;
    std::function<void(std::string_view)> trace;
};

Player::Player(std::shared_ptr<const Movie> movie) : movie_(std::move(movie)) {
    if (!movie_) throw std::invalid_argument("swf::Player needs a movie");
    state_ = std::make_unique<PlayerState>(*movie_);
}

Player::~Player() = default;

const MovieInfo& Player::info() const { return movie_->info; }

void Player::advanceFrame() {
    if (!state_->playing) return;
    const int next = state_->frame + 1;
    state_->seek(next < state_->total ? next : 0);
}

void Player::play() { state_->playing = true; }
void Player::stop() { state_->playing = false; }
bool Player::isPlaying() const { return state_->playing; }

void Player::back() {
    if (state_->frame > 0) state_->seek(state_->frame - 1);
    state_->playing = false;
}

void Player::forward() {
    if (state_->frame + 1 < state_->total) state_->seek(state_->frame + 1);
    state_->playing = false;
}

void Player::rewind() {
    state_->seek(0);
    state_->playing = false;
}

void Player::gotoFrame(int frame) { state_->seek(std::clamp(frame, 0, state_->total - 1)); }

int Player::currentFrame() const { return state_->frame; }
int Player::totalFrames() const { return state_->total; }

const DisplayList& Player::displayList() const { return state_->list; }

void Player::render(QPainter& painter, const QRect& viewport, ScaleMode mode,
                    std::optional<QColor> bg) const {
    const QColor fill = bg ? *bg : movie_->info.background.value_or(QColor(Qt::white));
    render::renderStage(painter, viewport, mode, fill, *movie_, state_->list);
}

void Player::setTraceSink(std::function<void(std::string_view)> sink) {
    state_->trace = std::move(sink);
}

}  // namespace swf
