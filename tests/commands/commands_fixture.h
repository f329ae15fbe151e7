#pragma once
// The running program's windows with movies of the project's own SWF writer; commands and loop
// ticks are called directly, so nothing depends on timers firing.

#include "panel/tform2.h"
#include "playlist/tform4.h"
#include "tests/playlist/playlist_fixture.h"
#include "video/tform1.h"

class Commands : public PlaylistWindow {
protected:
    void SetUp() override {
        PlaylistWindow::SetUp();
        start();
    }
    static PlayerControl* player() { return Form1->ShockwaveFlash1; }
    // A playlist of movies made on disk, each with the given number of frames.
    QStringList makeList(std::initializer_list<const char*> names, int frames) {
        QStringList paths;
        for (const char* name : names) paths << makeMovie(QString::fromLatin1(name), frames);
        Form4->setEntries(paths);
        return paths;
    }
    static void play(const QString& path) {
        player()->BGColor(QString());
        player()->Movie(path);
        player()->Play();
    }
    // One beat of the player's own clock: the movie moves on by a frame.
    static void beat() { player()->clockTick(); }
};
