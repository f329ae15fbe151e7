#include "player/player_control.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QThreadPool>
#include <QWheelEvent>
#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "engine/media/sound_clock.h"
#include "player/audio_output.h"
#include "player/movie_cache.h"

Q_LOGGING_CATEGORY(lcPlayer, "lanfeng.player")

namespace {
// The Flash Player ran movies that declare no rate at 12 fps and never faster than this.
constexpr double kDefaultFps = 12.0;
constexpr double kMaxFps = 120.0;
// How many frames one beat may catch up at least; at most a second's worth of frames, beyond
// which (a suspended machine) the clock gives up on lost time.
constexpr int kMaxCatchUp = 4;
// How many frames one beat may advance, undrawn, to catch up with a stream sound.
constexpr int kMaxFollow = 12;

// The threads that draw the controls' frames, one frame of one control at a time each; the
// renderer shares a frame's tiles out further.
QThreadPool& drawingThreads() {
    static QThreadPool* threads = [] {
        auto* pool = new QThreadPool;  // lives as long as the program: drawings may be queued
        pool->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return pool;
    }();
    return *threads;
}
}  // namespace

// One frame drawn off the GUI thread. The player is not changed until it is done.
struct PlayerControl::Drawing {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    QImage image;  // null when the frame could not be drawn

    void wait() {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return done; });
    }
};

PlayerControl::PlayerControl(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);                   // roll-overs need moves without a button held
    setAttribute(Qt::WA_InputMethodEnabled);  // typed Chinese reaches the movie's fields
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &PlayerControl::beat);
}

PlayerControl::~PlayerControl() { unload(); }

void PlayerControl::unload() {
    timer_.stop();
    if (drawing_) drawing_->wait();
    drawing_.reset();
    heldInput_.clear();
    beatOwed_ = false;
    shown_ = QImage();
    spare_ = QImage();
    if (audio_) audio_->setPlayer(nullptr);
    player_.reset();
}

swf::Player* PlayerControl::player() {
    settle();
    return player_.get();
}

void PlayerControl::requestFrame() {
    if (!player_) {
        update();
        return;
    }
    frameWanted_ = true;
    if (drawing_ || kickPosted_) return;  // one drawing at a time; the newest state wins
    kickPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            kickPosted_ = false;
            if (frameWanted_ && !drawing_ && player_ && isVisible()) startDrawing();
        },
        Qt::QueuedConnection);
}

void PlayerControl::startDrawing() {
    frameWanted_ = false;
    auto drawing = std::make_shared<Drawing>();
    drawing_ = drawing;
    const swf::Player* player = player_.get();
    const QRect view = rect();
    const qreal ratio = devicePixelRatioF();
    const swf::ScaleMode mode = scale_;
    const std::optional<QColor> bg = bg_;
    const bool smooth = highQuality;
    QImage canvas = std::exchange(spare_, QImage());
    drawingThreads().start([=, this, canvas = std::move(canvas)]() mutable {
        QImage image;
        try {
            const QSize pixels = (QSizeF(view.size()) * ratio).toSize();
            if (canvas.size() == pixels && canvas.format() == QImage::Format_ARGB32_Premultiplied) {
                image = std::move(canvas);
                // A translucent background is blended over what lies under it.
                if (bg && bg->alpha() != 255) image.fill(Qt::transparent);
            } else {
                canvas = QImage();
                image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            }
            if (!image.isNull()) {
                image.setDevicePixelRatio(ratio);
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing, smooth);
                painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
                player->render(painter, view, mode, bg);
            }
        } catch (const std::exception& e) {
            qCWarning(lcPlayer).noquote() << "cannot draw a frame -" << e.what();
            image = QImage();
        }
        std::lock_guard lock(drawing->mutex);
        drawing->image = std::move(image);
        // Posted before done is set: the control waits for done before it goes away.
        QMetaObject::invokeMethod(
            this, [this, drawing] { drawingDone(drawing); }, Qt::QueuedConnection);
        drawing->done = true;
        drawing->finished.notify_all();
    });
}

void PlayerControl::drawingDone(const std::shared_ptr<Drawing>& drawing) {
    if (drawing != drawing_) return;  // already taken in by settle()
    drawing_.reset();
    if (!drawing->image.isNull()) {
        spare_ = std::exchange(shown_, std::move(drawing->image));
        ++framesShown_;
    }
    update();
    // What waited for the drawing goes on in its order: the input, then the clock's beat.
    for (auto& f : std::exchange(heldInput_, {})) f();
    if (std::exchange(beatOwed_, false)) timer_.start(0);
    if (frameWanted_) requestFrame();
}

void PlayerControl::settle() {
    if (!drawing_) return;
    const std::shared_ptr<Drawing> drawing = drawing_;
    drawing->wait();
    drawingDone(drawing);
}

void PlayerControl::waitForFrame() {
    settle();
    if (!player_) return;
    const QSize want = (QSizeF(size()) * devicePixelRatioF()).toSize();
    if (frameWanted_ || shown_.size() != want) {
        startDrawing();
        settle();
    }
}

void PlayerControl::whenFree(std::function<void()> f) {
    if (drawing_)
        heldInput_.push_back(std::move(f));
    else
        f();
}

bool PlayerControl::soundLive() const { return audio_ && audio_->live(); }

// Without a device pulling the mix, each frame takes its share of sound here, so event
// sounds end and the stream moves on with the pictures.
void PlayerControl::keepSoundWithFrame() {
    if (!player_ || !player_->hasSound() || soundLive()) return;
    const double fps = periodNs_ > 0 ? 1e9 / double(periodNs_) : kDefaultFps;
    soundDue_ += 44100.0 / fps;
    const auto n = size_t(soundDue_);
    soundDue_ -= double(n);
    std::vector<int16_t> scratch(n * 2);
    player_->mixAudio(scratch);
}

void PlayerControl::setMovie(const QString& path) {
    start(path, [&] { return lanfeng::loadMovieShared(path); });
}

void PlayerControl::setMovieData(const QString& path, const QByteArray& bytes) {
    start(path, [&] {
        return swf::loadMovieAt(
            std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     size_t(bytes.size())),
            QFileInfo(path).absoluteFilePath().toStdString());
    });
}

void PlayerControl::start(const QString& path,
                          const std::function<std::shared_ptr<const swf::Movie>()>& load) {
    unload();
    path_ = path;
    loadError_.clear();
    try {
        // Shared objects persist in the user's data folder, one folder per movie file. A movie's
        // FSCommand quit is not asked for: it must not close the user's player.
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/shared-objects";
        player_ = std::make_unique<swf::Player>(
            load(), swf::PlayerStorage{folder.toStdString(),
                                       QFileInfo(path).absoluteFilePath().toStdString()});
    } catch (const std::exception& e) {
        loadError_ = QString::fromStdString(e.what());
        qCWarning(lcPlayer).noquote() << "cannot load" << path << "-" << loadError_;
    }
    if (player_) {
        // A movie's trace() lines go to the log, as a debugging player shows them.
        player_->setTraceSink([](std::string_view line) {
            qCInfo(lcPlayer).noquote()
                << "trace:" << QString::fromUtf8(line.data(), qsizetype(line.size()));
        });
        if (player_->hasSound()) {
            if (!audio_) audio_ = std::make_unique<AudioOutput>();
            audio_->setPlayer(player_.get());
            audio_->setMuted(!isVisible());
        }
        // Playing on load is how a player starts; a stop() in the first frame's script has
        // already had its say and is kept.
        running_ = playOnLoad;
        if (!playOnLoad) player_->stop();
        restartClock();
    }
    requestFrame();
    emit movieLoaded(path, player_ != nullptr);
}

// A question after a held command waits for it: the answer is the state the command made.
void PlayerControl::settleHeld() const {
    if (!heldInput_.empty()) const_cast<PlayerControl*>(this)->settle();
}

int PlayerControl::TotalFrames() const {
    settleHeld();
    return player_ ? player_->totalFrames() : 0;
}
int PlayerControl::CurrentFrame() const {
    settleHeld();
    return player_ ? player_->currentFrame() : 0;
}
bool PlayerControl::isPlaying() const {
    settleHeld();
    return player_ && player_->isPlaying();
}
bool PlayerControl::quitRequested() const {
    settleHeld();
    return player_ && player_->quitRequested();
}

void PlayerControl::BGColor(const QString& colour) {
    bgText_ = colour;
    QString c = colour.trimmed();
    if (c.isEmpty()) {
        bg_.reset();
    } else {
        if (!c.startsWith('#')) c.prepend('#');
        QColor parsed = QColor::fromString(c);
        if (parsed.isValid()) bg_ = parsed;
    }
    requestFrame();
}

void PlayerControl::Scale(const QString& mode) {
    if (auto parsed = swf::parseScaleMode(mode.toStdString())) {
        scale_ = *parsed;
        scaleText_ = mode;  // read back as it was given
        requestFrame();
    }
}

// The commands never wait for a drawing under way: they are held, in order, until it is done,
// and whatever reads the player's state first takes them in.
void PlayerControl::Play() {
    whenFree([this] {
        if (!player_) return;
        const bool wasRunning = running_ && player_->isPlaying();
        running_ = true;
        if (!player_->isPlaying()) player_->play();
        if (!wasRunning || !timer_.isActive()) restartClock();
    });
}

void PlayerControl::Stop() {
    whenFree([this] {
        if (!player_) return;
        running_ = false;
        player_->stop();
        timer_.stop();
    });
}

// Back, Forward and Rewind: the clock stops and the frame moves.
void PlayerControl::step(void (swf::Player::*move)()) {
    whenFree([this, move] {
        if (!player_) return;
        running_ = false;
        (player_.get()->*move)();
        timer_.stop();
        requestFrame();
    });
}

void PlayerControl::Back() { step(&swf::Player::back); }
void PlayerControl::Forward() { step(&swf::Player::forward); }
void PlayerControl::Rewind() { step(&swf::Player::rewind); }

void PlayerControl::GotoFrame(int frame) {
    whenFree([this, frame] {
        if (!player_) return;
        player_->gotoFrame(frame);
        requestFrame();
    });
}

bool PlayerControl::clockHeld() const { return !runWhileHidden && !isVisible(); }

void PlayerControl::restartClock() {
    if (!player_ || !running_ || clockHeld()) return;
    double fps = player_->info().frameRate;
    if (!(fps > 0)) fps = kDefaultFps;
    fps = std::min(fps, kMaxFps);
    periodNs_ = qint64(1e9 / fps);
    clock_.start();
    nextDueNs_ = periodNs_;
    scheduleNext();
}

void PlayerControl::scheduleNext() {
    if (!player_ || !running_ || clockHeld()) return;
    // Due times accumulate from one start, so rounding of single beats never adds up to drift.
    const qint64 waitNs = std::max<qint64>(0, nextDueNs_ - clock_.nsecsElapsed());
    timer_.start(int((waitNs + 999'999) / 1'000'000));
}

void PlayerControl::clockTick() {
    settle();
    tick();
}

// The timer's beat waits for a drawing under way: the frames it owes are caught up after.
void PlayerControl::beat() {
    if (drawing_)
        beatOwed_ = true;
    else
        tick();
}

void PlayerControl::tick() {
    if (!player_ || !running_) return;
    if (!clock_.isValid()) restartClock();
    const qint64 now = clock_.nsecsElapsed();
    // A stream sound on a device sets the pace: frames the sound has passed are advanced
    // without being drawn, and the timeline waits while it is ahead.
    // The sound heard, not the sound mixed: what the device still holds is yet to come.
    const size_t unheard = audio_ ? audio_->unplayedFrames() : 0;
    if (const auto soundFrame = player_->soundClockFrame(unheard); soundFrame && soundLive()) {
        const int steps =
            swf::media::framesToFollow(player_->currentFrame(), soundFrame, kMaxFollow);
        for (int i = 0; i < steps && running_; ++i) {
            if (!loop && player_->isPlaying() &&
                player_->currentFrame() + 1 >= player_->totalFrames()) {
                Stop();
                return;
            }
            player_->advanceFrame();
        }
        nextDueNs_ = now + periodNs_;
        if (steps) requestFrame();
        scheduleNext();
        return;
    }
    // Every frame the clock owes is advanced, the ones between undrawn, so a movie whose frames
    // take longer to draw than their interval keeps its time and its sound, not slowing down.
    const int maxSteps =
        std::max<qint64>(kMaxCatchUp, 1'000'000'000 / std::max<qint64>(1, periodNs_));
    int steps = 0;
    do {
        if (!loop && player_->isPlaying() &&
            player_->currentFrame() + 1 >= player_->totalFrames()) {
            Stop();
            return;
        }
        player_->advanceFrame();
        keepSoundWithFrame();
        nextDueNs_ += periodNs_;
        ++steps;
    } while (now >= nextDueNs_ && steps < maxSteps && running_);
    if (now >= nextDueNs_) nextDueNs_ = now + periodNs_;  // too far behind: let the lost time go
    requestFrame();
    scheduleNext();
}

void PlayerControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // An empty control shows nothing of its own: just the dark of the window behind it. A
    // movie's first frame not yet drawn shows its background.
    QColor fill = bg_.value_or(Qt::black);
    if (player_ && !bg_) fill = player_->info().background.value_or(QColor(Qt::white));
    if (!player_ || shown_.isNull()) {
        painter.fillRect(rect(), fill);
        return;
    }
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), shown_);
    // A frame drawn for an older size leaves the rest until the next one comes.
    const QRectF drawn(QPointF(0, 0), shown_.deviceIndependentSize());
    if (drawn.width() < width())
        painter.fillRect(QRectF(drawn.width(), 0, width() - drawn.width(), height()), fill);
    if (drawn.height() < height())
        painter.fillRect(QRectF(0, drawn.height(), drawn.width(), height() - drawn.height()), fill);
}

void PlayerControl::resizeEvent(QResizeEvent*) { requestFrame(); }

void PlayerControl::showEvent(QShowEvent*) {
    if (frameWanted_ || shown_.isNull()) requestFrame();
    if (audio_) audio_->setMuted(false);
    if (!runWhileHidden && running_ && !timer_.isActive()) restartClock();
}

void PlayerControl::hideEvent(QHideEvent*) {
    // A hidden control stays silent.
    if (audio_) audio_->setMuted(true);
    if (clockHeld()) timer_.stop();
}

QPointF PlayerControl::stagePoint(const QPointF& at) const {
    return player_ ? player_->stagePoint(rect(), scale_, at) : QPointF();
}

void PlayerControl::afterInput() {
    if (!player_) return;
    // A click that plays a root the user had not stopped wakes the clock; normally it runs.
    if (player_->isPlaying() && !timer_.isActive()) {
        running_ = true;
        restartClock();
    }
    setCursor(player_->mouseOverButton() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    requestFrame();
}

void PlayerControl::deliver(const swf::InputEvent& event) {
    if (!player_) return;
    whenFree([this, event] {
        player_->handleEvent(event);
        afterInput();
    });
}

namespace {

// Key.isDown's codes of the mouse buttons; 0 for buttons the Flash Player does not report.
int flashButton(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton:
            return 1;
        case Qt::RightButton:
            return 2;
        case Qt::MiddleButton:
            return 4;
        default:
            return 0;
    }
}

// The editing command a key press means for a text field, if any.
std::optional<swf::TextCommand> editCommand(const QKeyEvent* e) {
    using C = swf::TextCommand;
    if (e->matches(QKeySequence::SelectAll)) return C::SelectAll;
    if (e->matches(QKeySequence::Copy)) return C::Copy;
    if (e->matches(QKeySequence::Cut)) return C::Cut;
    if (e->matches(QKeySequence::Paste)) return C::Paste;
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return C::Enter;
        case Qt::Key_Backspace:
            return C::Backspace;
        case Qt::Key_Delete:
            return C::Delete;
        case Qt::Key_Left:
            return C::MoveLeft;
        case Qt::Key_Right:
            return C::MoveRight;
        case Qt::Key_Home:
            return C::LineStart;
        case Qt::Key_End:
            return C::LineEnd;
        default:
            return std::nullopt;
    }
}

// What a key press types into a field: printable characters without Ctrl or Alt held.
std::u32string typedText(const QKeyEvent* e) {
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
    std::u32string out;
    for (char32_t c : e->text().toStdU32String())
        if (c >= 0x20 && c != 0x7f) out.push_back(c);
    return out;
}

}  // namespace

void PlayerControl::mousePressEvent(QMouseEvent* event) {
    const int button = flashButton(event->button());
    if (!player_ || !button) return QWidget::mousePressEvent(event);
    const QPointF p = stagePoint(event->position());
    deliver(swf::InputEvent::mouseDown(p.x(), p.y(), button));
}

void PlayerControl::mouseMoveEvent(QMouseEvent* event) {
    if (!player_) return QWidget::mouseMoveEvent(event);
    const QPointF p = stagePoint(event->position());
    deliver(swf::InputEvent::mouseMove(p.x(), p.y()));
}

void PlayerControl::mouseReleaseEvent(QMouseEvent* event) {
    const int button = flashButton(event->button());
    if (!player_ || !button) return QWidget::mouseReleaseEvent(event);
    const QPointF p = stagePoint(event->position());
    deliver(swf::InputEvent::mouseUp(p.x(), p.y(), button));
}

void PlayerControl::wheelEvent(QWheelEvent* event) {
    // 120 units are one notch, which the Flash Player reports as three lines.
    const int lines = event->angleDelta().y() * 3 / 120;
    if (!player_ || !lines) return QWidget::wheelEvent(event);
    const QPointF p = stagePoint(event->position());
    deliver(swf::InputEvent::wheel(p.x(), p.y(), lines));
}

void PlayerControl::keyPressEvent(QKeyEvent* event) {
    if (player_) {
        const QString t = event->text();
        const char32_t ch = t.isEmpty() ? 0 : t.toUcs4().value(0);
        const int code = swf::flashKeyCode(event->key(), event->modifiers() & Qt::KeypadModifier);
        const auto command = editCommand(event);
        const std::u32string typed = typedText(event);
        whenFree([this, code, ch, command, typed] {
            if (code) player_->handleEvent(swf::InputEvent::keyDown(code, ch));
            if (command)
                editField(*command);
            else if (!typed.empty())
                player_->handleEvent(swf::InputEvent::typed(typed));
            afterInput();
        });
    }
    QWidget::keyPressEvent(event);  // the windows' own keys still reach them
}

void PlayerControl::keyReleaseEvent(QKeyEvent* event) {
    const int code = swf::flashKeyCode(event->key(), event->modifiers() & Qt::KeypadModifier);
    if (player_ && code && !event->isAutoRepeat()) deliver(swf::InputEvent::keyUp(code));
    QWidget::keyReleaseEvent(event);
}

void PlayerControl::editField(swf::TextCommand command) {
    // The movie's fields share the desktop's clipboard: pasting reads it, copying writes it.
    QClipboard* board = QGuiApplication::clipboard();
    if (command == swf::TextCommand::Paste && board)
        player_->handleEvent(swf::InputEvent::clipboardText(board->text().toStdString()));
    const std::string before = player_->clipboard();
    player_->handleEvent(swf::InputEvent::edit(command));
    const std::string after = player_->clipboard();
    const bool copies = command == swf::TextCommand::Copy || command == swf::TextCommand::Cut;
    if (copies && board && after != before) board->setText(QString::fromStdString(after));
}

void PlayerControl::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
    if (!player_) return;
    auto compose = [this](const QString& text) {
        swf::InputEvent e;
        e.type = swf::InputEvent::Type::Compose;
        e.text = text.toStdU32String();
        deliver(e);
        composing_ = !text.isEmpty();
    };
    // The text being composed shows in the field until it is committed or dropped; the
    // committed text then takes its place.
    const QString commit = event->commitString(), preedit = event->preeditString();
    if (composing_ && (!commit.isEmpty() || preedit.isEmpty())) compose({});
    if (!commit.isEmpty()) deliver(swf::InputEvent::typed(commit.toStdU32String()));
    if (!preedit.isEmpty()) compose(preedit);
}

QVariant PlayerControl::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled) return true;
    if (query == Qt::ImCursorRectangle) {
        if (player_)
            if (const auto r = player_->textInputRect(rect(), scale_))
                return QRectF(r->left(), r->top(), 1, r->height()).toRect();
        return QRect();
    }
    return QWidget::inputMethodQuery(query);
}

void PlayerControl::focusInEvent(QFocusEvent* event) {
    deliver(swf::InputEvent::focus(true));
    QWidget::focusInEvent(event);
}

void PlayerControl::focusOutEvent(QFocusEvent* event) {
    deliver(swf::InputEvent::focus(false));
    QWidget::focusOutEvent(event);
}

void PlayerControl::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PlayerControl::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    emit filesDropped(paths);
}
