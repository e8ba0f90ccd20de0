// view_frame_time.cpp: times the viewer's real frames (move on, seek, draw, swap) in its window, for a display such
// as Xvfb with Mesa's software renderer. Takes the speed as a power of two of ticks per frame (-2 to 6), then the
// game's own command line; plays the match from tick 0 at that speed (starting over at the end) and prints the
// mean, median and slowest frame in milliseconds. Needs sprites/ under the working directory.
//
// Not a test and not part of the viewer: a developer's measuring tool. Links libGL and the toolkit like the viewer.
#include "core/utils.h"
#include "view/timeline.h"
#include "view/view_window.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    constexpr int FRAMES = 300;
    if (argc < 3) {
        std::fprintf(stderr, "Usage: %s <speed -2..6> [options] <file1> [<file2> <file3> <file4>]\n", argv[0]);
        return 1;
    }
    const int speed = std::clamp(std::atoi(argv[1]), ViewControl::SLOWEST, ViewControl::FASTEST);
    argv[1] = argv[0];
    parseArgs(argc - 1, argv + 1);
    const LoadedMatch match = loadMatchFrom(readIntoMemory(sourcesOf(config)), config);
    MatchTimeline timeline(match);
    openViewer(argc - 1, argv + 1, timeline, 0);
    ViewControl& control = viewerControl();
    control.speed = speed;
    control.playing = true;

    std::vector<double> ms;
    ms.reserve(FRAMES);
    for (int i = 0; i < FRAMES; ++i) {
        glutMainLoopEvent();  // keep the window served between frames
        const auto start = std::chrono::steady_clock::now();
        viewerFrame();
        glFinish();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (!control.playing) control.apply(ViewAction::PlayPause);  // at the end: over again from tick 0
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0.0;
    for (double v : ms) sum += v;
    std::fprintf(stderr, "grid %ux%u at %ux%u px, %s per frame: %d frames, mean %.2f ms, median %.2f ms, max %.2f ms\n",
                 game.width, game.height, config.pixel_width, config.pixel_height, control.speedText().c_str(), FRAMES,
                 sum / FRAMES, ms[FRAMES / 2], ms.back());
    return 0;
}
