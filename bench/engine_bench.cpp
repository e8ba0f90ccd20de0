// engine_bench.cpp: ticks per second of the turn engine on a quiet board (16 players walking and turning) and
// on a busy one (16 HOARDERs with all 64 bombs ticking, exploding and chaining), and whole default matches.
//
// The boards are built in memory; the default match reads the bundled files. Not a test: nothing is checked.
#include "match/match.h"
#include "core/fusewick.h"
#include "core/utils.h"

#include "match/quiet_stdout.h"

#include "bench_boards.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace bench;

constexpr int RESTORE_EVERY = 50000;  // ticks between restores of the starting state

// Runs ticks from the board set up now, with `between` after each tick; the board is restored every
// RESTORE_EVERY ticks (outside the timing) so that the measured state never drifts into an idle one.
void runTicks(benchmark::State& state, void (*between)()) {
    const Game start = game;
    int64_t ticks = 0;
    int since_restore = 0;
    for (auto _ : state) {
        updateGame();
        between();
        ++ticks;
        if (++since_restore == RESTORE_EVERY) {
            state.PauseTiming();
            game = start;
            refreshDerivedState();
            since_restore = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(ticks);
    state.SetLabel("items = ticks");
}

void BM_QuietTicks(benchmark::State& state) {
    quietBoard(CAPTAIN, 8, 2);
    runTicks(state, [] {});
}
BENCHMARK(BM_QuietTicks);

void BM_BusyTicks(benchmark::State& state) {
    busyBoard();
    runTicks(state, rearmFreedBombs);
}
BENCHMARK(BM_BusyTicks);


// The bundled default match, loaded once and played from the start in every iteration.
void BM_DefaultMatch(benchmark::State& state) {
    Config files = defaultConfig();
    files.map_file = FUSEWICK_SOURCE_DIR "/default.map";
    for (auto& f : files.team_file) f = FUSEWICK_SOURCE_DIR "/default.fpl";
    const MatchSources sources = readIntoMemory(sourcesOf(files));
    if (!sources.teams[0].text) {
        state.SkipWithError("default.fpl is missing");
        return;
    }
    const LoadedMatch match = loadMatchFrom(sources, files);
    const Game start = game;
    int64_t ticks = 0;
    {
        QuietStdout silent;
        for (auto _ : state) {
            game = start;
            ticks += static_cast<int64_t>(runMatch(match).ticks);
        }
    }
    state.SetItemsProcessed(ticks);
    state.SetLabel("items = ticks");
}
BENCHMARK(BM_DefaultMatch)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
