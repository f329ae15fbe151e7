// The end-of-movie loop engine: once a second the active loop timer samples the main player's
// frame, and near the end of a movie, or once its frame stops moving, moves on.
#include "panel/loop_engine.h"

#include <chrono>

#include "app/forms.h"
#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "video/playback_rules.h"
#include "video/tform1.h"

namespace lanfeng {

int randomEntry(int count, std::mt19937& generator) {
    if (count <= 0) return -1;
    return std::uniform_int_distribution<int>(0, count - 1)(generator);
}

}  // namespace lanfeng

namespace {

QStringList playlist() { return Form4 ? Form4->entries() : QStringList(); }

}  // namespace

void TForm2::sampleLoopFrame() {
    LoopPrevFrame = LoopLastFrame;
    LoopLastFrame = Form1->ShockwaveFlash1->CurrentFrame();
}

void TForm2::loopAdvance(int entry) {
    const QStringList entries = playlist();
    if (entry < 0 || entry >= entries.size()) return;  // an empty list loads nothing
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->BGColor(QString());
    player->Movie(entries[entry]);
    player->Play();
}

// Single: a movie whose frame has stood still for three ticks is stepped on and played again.
void TForm2::Timer2Timer() {
    if (!Form1) return;
    sampleLoopFrame();
    if (LoopLastFrame != LoopPrevFrame) return;
    if (++LoopStallCount <= 2) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    player->Forward();
    Timer1.start();
    player->Play();
    LoopStallCount = 0;
}

// Whole list: near the end the next entry is loaded, after the last the first.
void TForm2::Timer3Timer() {
    if (!Form1) return;
    PlayerControl* player = Form1->ShockwaveFlash1;
    sampleLoopFrame();
    const QStringList entries = playlist();
    LoopListIndex = lanfeng::playlistIndex(entries, player->Movie());
    LoopListIndex = lanfeng::wholeListIndex(LoopListIndex, int(entries.size()));
    if (lanfeng::nearEnd(player->TotalFrames(), player->CurrentFrame()))
        loopAdvance(LoopListIndex + 1);
    if (LoopLastFrame != LoopPrevFrame) return;
    if (++LoopStallCount <= 2) return;
    // The total is the loaded movie's, which the step above may just have changed.
    if (lanfeng::nearEnd(player->TotalFrames(), LoopLastFrame)) loopAdvance(LoopListIndex + 1);
    player->Forward();
    player->Play();
    LoopStallCount = 0;
}

// Random: near the end any entry is loaded, the current one included.
void TForm2::Timer4Timer() {
    if (!Form1) return;
    LoopRandom.seed(std::mt19937::result_type(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    PlayerControl* player = Form1->ShockwaveFlash1;
    sampleLoopFrame();
    const QStringList entries = playlist();
    LoopListIndex = lanfeng::playlistIndex(entries, player->Movie());
    if (lanfeng::nearEnd(player->TotalFrames(), player->CurrentFrame()))
        loopAdvance(lanfeng::randomEntry(int(entries.size()), LoopRandom));
    if (LoopLastFrame != LoopPrevFrame) return;
    if (++LoopStallCount <= 2) return;
    if (lanfeng::nearEnd(player->TotalFrames(), LoopLastFrame))
        loopAdvance(lanfeng::randomEntry(int(entries.size()), LoopRandom));
    player->Forward();
    player->Play();
    LoopStallCount = 0;
}
