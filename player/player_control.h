#pragma once
// The player control: a child widget that loads, times and draws one movie and offers the
// operations the windows call (Movie, TotalFrames, BGColor, Scale, Play, Stop, Back, Forward,
// Rewind, GotoFrame, CurrentFrame).

#include <QElapsedTimer>
#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/player.h"

class AudioOutput;

class PlayerControl : public QWidget {
    Q_OBJECT
public:
    explicit PlayerControl(QWidget* parent = nullptr);
    ~PlayerControl() override;

    // Loads the file and, playing on load, starts it. A file that cannot be loaded leaves the
    // control empty (nothing shown, 0 frames) and logs the reason; it never shows a box.
    void setMovie(const QString& path);
    // As setMovie with the file's bytes already read (a projector carries its movie inside
    // itself); path still names the movie's folder and its shared objects.
    void setMovieData(const QString& path, const QByteArray& bytes);
    QString Movie() const { return path_; }
    void Movie(const QString& path) { setMovie(path); }

    int TotalFrames() const;
    int CurrentFrame() const;
    // "" clears the colour so the movie's own background shows; "#RRGGBB" or "RRGGBB" sets it.
    void BGColor(const QString& colour);
    QString BGColor() const { return bgText_; }
    // showall, noborder, exactfit or noscale in any letter case; other values are ignored.
    void Scale(const QString& mode);
    QString Scale() const { return scaleText_; }

    void Play();
    void Stop();
    void Back();
    void Forward();
    void Rewind();
    void GotoFrame(int frame);

    bool isPlaying() const;
    // The movie asked to quit (FSCommand quit); asking never waits for a drawing.
    bool quitRequested() const;
    QString loadError() const { return loadError_; }
    swf::ScaleMode scaleMode() const { return scale_; }
    // The running movie, once no drawing reads it: the caller may change it.
    swf::Player* player();

    // Waits until the frame asked for last is drawn and shown, even while hidden (what the
    // screen shows, for captures and tests).
    void waitForFrame();
    // A drawing thread is drawing this control's frame now.
    bool drawingUnderWay() const { return drawing_ != nullptr; }
    // Frames drawn and shown since the control was made.
    int framesShown() const { return framesShown_; }

    // The settings every control is created with.
    bool playOnLoad = true;
    bool loop = true;
    bool highQuality = true;
    // A hidden control whose frames nobody reads (a grid cell) holds its clock until shown.
    bool runWhileHidden = true;

    // Where an input method's candidates go: the movie's focused text field.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    // One beat of the frame clock; public so tests can drive the clock by hand.
    void clockTick();

signals:
    void filesDropped(const QStringList& paths);
    void movieLoaded(const QString& path, bool ok);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The mouse and keys go to the movie (buttons, clip events, listeners).
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Text an input method composed (Chinese ...).
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    struct Drawing;
    // The picture is out of date: a drawing starts once the events at hand are handled.
    void requestFrame();
    void startDrawing();
    // A drawing finished: its frame is shown, and what waited for it goes on.
    void drawingDone(const std::shared_ptr<Drawing>& drawing);
    // Waits for the drawing under way, if any; the player is the GUI thread's again.
    void settle();
    // Takes in held commands before a question about the player is answered.
    void settleHeld() const;
    void step(void (swf::Player::*move)());
    // Runs f now, or after the drawing under way when it changes the player.
    void whenFree(std::function<void()> f);
    void beat();
    void tick();
    void start(const QString& path, const std::function<std::shared_ptr<const swf::Movie>()>& load);
    void restartClock();
    bool clockHeld() const;
    void scheduleNext();
    void unload();
    bool soundLive() const;
    void keepSoundWithFrame();
    // After the movie saw input: its scripts may have started or stopped it, or changed it.
    void afterInput();
    void deliver(const swf::InputEvent& event);
    // An editing command for the movie's focused field, the desktop's clipboard in step.
    void editField(swf::TextCommand command);
    QPointF stagePoint(const QPointF& widgetPoint) const;

    QString path_;
    QString loadError_;
    QString bgText_;
    QString scaleText_ = QStringLiteral("showall");
    std::optional<QColor> bg_;
    swf::ScaleMode scale_ = swf::ScaleMode::ShowAll;
    std::unique_ptr<swf::Player> player_;
    QTimer timer_;
    // The movie runs (clips animate, scripts tick) until the user stops it; a script's stop()
    // halts only the root timeline, as in the Flash Player.
    bool running_ = false;
    QElapsedTimer clock_;
    qint64 nextDueNs_ = 0;
    qint64 periodNs_ = 0;
    std::unique_ptr<AudioOutput> audio_;  // made for movies with sound
    double soundDue_ = 0;                 // frames of sound owed when no device pulls it
    bool composing_ = false;              // an input method's uncommitted text shows in the field
    // The frame being drawn on a drawing thread; while set, the player only is read.
    std::shared_ptr<Drawing> drawing_;
    QImage shown_;  // the last frame drawn, what paintEvent shows
    // The frame shown before it, drawn over by the next drawing: a full-screen frame in fresh
    // memory costs the system more than drawing it (set by drawingDone, taken by startDrawing).
    QImage spare_;
    bool frameWanted_ = false;  // the picture changed since the last drawing began
    bool kickPosted_ = false;   // a drawing is due to start from the event loop
    bool beatOwed_ = false;     // the clock fell due while a drawing was under way
    // Input and commands that came during a drawing, in order; run when it is done.
    std::vector<std::function<void()>> heldInput_;
    int framesShown_ = 0;
};
