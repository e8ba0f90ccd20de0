// frame.cpp: the non-drawing half of a frame, shared by the window and the headless runner so that both print the
// same console output for the same match. Reads and writes `game`; no OpenGL in here.
#include "core/fusewick.h"
#include "core/tables.h"

void clampScores() {
    for (int8_t& score : game.score) {
        if (score < LOWEST_SHOWN_SCORE) score = LOWEST_SHOWN_SCORE;
        if (score > HIGHEST_SHOWN_SCORE) score = HIGHEST_SHOWN_SCORE;
    }
}

void frameStep() {
    clampScores();
    if (game.running == 1 && game.game_over == 0) updateGame();
    updateDone();
}
