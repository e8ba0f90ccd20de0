// engine_ratio.cpp: ticks per second of the engine on a quiet board (16 players walking laps) and a busy one (16
// HOARDERs with all 64 bombs ticking, exploding and chaining), printed as one line per board.
//
// Built twice from this one file: against today's core (engine_ratio) and against the core of commit 3fee054, the
// engine before the speed work (engine_ratio_3fee054); bench/engine_ratio.sh runs both in turns and prints the
// ratios. So this file uses only what both cores offer: the records, initGame and frameStep. Not a test.
//
// Usage: engine_ratio [quiet|busy|both] [ticks per round] [rounds]
#include "core/fusewick.h"
#include "core/utils.h"

#include "bench_boards.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <time.h>

namespace {

using namespace bench;

constexpr long RESTORE_EVERY = 100000;

// The processor time this thread has used: on a machine that others share, less disturbed than the clock on the wall.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Ticks per second of one round from the board as set up now. The board goes back to its start every
// RESTORE_EVERY ticks, long before the walkers' programs run out (a copy of the record, as a snapshot is restored;
// the grid stays the same, so the engine keeps what it measured on it).
double round(long ticks, bool busy) {
    const Game start_state = game;
    const double start = cpuSeconds();
    for (long i = 0; i < ticks; ++i) {
        frameStep();  // the tick and the end-of-game check, as every program plays a frame
        if (busy) rearmFreedBombs();
        if ((i + 1) % RESTORE_EVERY == 0) {
            game = start_state;
            bombsSet();
        }
    }
    return static_cast<double>(ticks) / (cpuSeconds() - start);
}

// The best round: on a shared machine the slower ones measure the others' load.
double best(bool busy, long ticks, int rounds) {
    double top = 0;
    for (int r = 0; r < rounds; ++r) {
        if (busy) busyBoard();
        else quietBoard(CAPTAIN, 8, 2);
        const double rate = round(ticks, busy);
        if (rate > top) top = rate;
    }
    return top;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "both";
    const long ticks = argc > 2 ? std::atol(argv[2]) : 0;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    // The default round lasts about a second on today's engine.
    if (which == "quiet" || which == "both")
        std::printf("quiet %.0f ticks/s\n", best(false, ticks > 0 ? ticks : 5000000, rounds));
    if (which == "busy" || which == "both")
        std::printf("busy %.0f ticks/s\n", best(true, ticks > 0 ? ticks : 1000000, rounds));
    return 0;
}
