// make_frames OUT.swf FRAMES FPS [FIRST]: a movie whose frame k fills its 300 x 200 stage with
// frameColour(FIRST + k), for the previews' checks; prints each frame's colour as "k R,G,B".
#include <cstdio>
#include <cstdlib>

#include "tests/app/test_movies.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_frames OUT.swf FRAMES FPS [FIRST]\n");
        return 2;
    }
    const int frames = std::atoi(argv[2]);
    if (frames < 1 || frames > 16000) return 2;
    const int first = argc > 4 ? std::atoi(argv[4]) : 0;
    if (!testmovies::writeFile(QString::fromLocal8Bit(argv[1]),
                               testmovies::colourFrames(frames, std::atof(argv[3]), first)))
        return 1;
    for (int k = 0; k < frames; ++k) {
        const QColor c = testmovies::frameColour(first + k);
        std::printf("%d %d,%d,%d\n", k, c.red(), c.green(), c.blue());
    }
    return 0;
}
