#include "engine/player.h"

#include <QPainter>
#include <stdexcept>

#include "engine/render/renderer.h"
#include "engine/runtime/display_list.h"
#include "engine/runtime/movie.h"

namespace swf {

namespace {
// A backward seek replays at most this many frames from the nearest kept display list.
constexpr int kSnapshotInterval = 64;
}  // namespace

class PlayerState {
public:
    explicit PlayerState(const Movie& movie)
        : movie(movie),
          total(static_cast<int>(movie.root.frames.size())),
          snapshots((total + kSnapshotInterval - 1) / kSnapshotInterval) {
        enterFrame(0);
    }

    // Applies frame f's commands on top of the current list (f == frame + 1, or 0 on empty).
    void enterFrame(int f) {
        for (const auto& cmd : movie.root.frames[f].commands)
            std::visit([this](const auto& c) { list.apply(c); }, cmd);
        frame = f;
        if (f % kSnapshotInterval == 0 && !snapshots[f / kSnapshotInterval])
            snapshots[f / kSnapshotInterval] = list;
    }

    void seek(int target) {
        if (target == frame) return;
        if (target > frame) {
            while (frame < target) enterFrame(frame + 1);
            return;
        }
        // Backwards: the state of frame n is the timeline replayed up to n.
        int slot = target / kSnapshotInterval;
        while (slot > 0 && !snapshots[slot]) --slot;
        if (snapshots[slot]) {
            list = *snapshots[slot];
            frame = slot * kSnapshotInterval;
        } else {
            list = {};
            enterFrame(0);
        }
        while (frame < target) enterFrame(frame + 1);
    }

    const Movie& movie;
    const int total;
    DisplayList list;
    int frame = 0;
    bool playing = true;
    std::vector<std::optional<DisplayList>> snapshots;  // list after frame k * interval
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
