// frame_time.cpp: times the window's real frames (draw, swap, tick) in the game window, for a display such as Xvfb
// with Mesa's software renderer. Takes the game's own command line, plays the match running (restarting it when it
// ends) and prints the mean, median and slowest frame in milliseconds. Needs sprites/ under the working directory.
//
// Not a test and not part of the game: a developer's measuring tool. Links libGL and the toolkit like the game.
#include "core/fusewick.h"
#include "core/utils.h"
#include "gl/gl_utils.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    constexpr int FRAMES = 300;
    parseArgs(argc, argv);
    loadMatch();
    initGL(argc, argv);
    loadSprites();
    game.running = 1;

    std::vector<double> ms;
    ms.reserve(FRAMES);
    for (int i = 0; i < FRAMES; ++i) {
        glutMainLoopEvent();  // keep the window served between frames
        const auto start = std::chrono::steady_clock::now();
        displayGame();
        glFinish();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (game.game_over == 1) {
            loadMatch();
            game.running = 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0.0;
    for (double v : ms) sum += v;
    std::fprintf(stderr, "grid %ux%u at %ux%u px: %d frames, mean %.2f ms, median %.2f ms, max %.2f ms\n", game.width,
                 game.height, config.pixel_width, config.pixel_height, FRAMES, sum / FRAMES, ms[FRAMES / 2],
                 ms.back());
    return 0;
}
