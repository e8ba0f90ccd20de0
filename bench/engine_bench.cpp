// engine_bench.cpp: ticks per second of the turn engine on a quiet board (16 players walking and turning) and
// on a busy one (16 HOARDERs with all 64 bombs ticking, exploding and chaining), and whole default matches.
//
// The boards are built in memory; the default match reads the bundled files. Not a test: nothing is checked.
#include "match/match.h"
#include "core/fusewick.h"
#include "core/utils.h"

#include "match/quiet_stdout.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int SIDE = 32;      // the boards are SIDE x SIDE cells
constexpr int LAPS = 4000;    // MOVE 4, LEFT pairs per player: far more ticks than one restore period
constexpr int RESTORE_EVERY = 50000;  // ticks between restores of the starting state

// Every player walks a 4 x 4 square in its corner: MOVE 4, LEFT, again and again. The start poses of setup make
// every team's square lie on the grid.
void quietBoard(uint32_t type, uint8_t step_ticks, uint8_t max_bombs) {
    game = Game{};
    config.debug_level = 0;
    game.width = SIDE;
    game.height = SIDE;
    game.rows.assign(SIDE, std::string(SIDE, '-'));
    initGame();
    for (Team& team : game.teams) {
        team.name = "bench";
        for (Player& p : team.players) {
            p.type = type;
            p.step_ticks = step_ticks;
            p.max_bombs = max_bombs;
            p.cur_bombs = max_bombs;
            for (int i = 0; i < LAPS; ++i) {
                p.commands.push_back(Command{MOVE, 4.0f});
                p.commands.push_back(Command{LEFT, 0.0f});
            }
            p.cmd_count = static_cast<uint32_t>(p.commands.size());
        }
    }
    game.running = 1;
}

// Puts bomb `slot` of `owner` back on its cell with a fresh fuse, as a DROP would.
void arm(Player& owner, int slot, float x, float y) {
    Bomb& b = owner.bombs[static_cast<size_t>(slot)];
    b.state = BOMB_ACTIVE;
    b.fuse_frame = 0;
    b.cycle_count = 0;
    b.tick_count = 0;
    b.chain_hit = 0;
    b.x = x;
    b.y = y;
    --owner.cur_bombs;
}

// The 64 bombs lie two cells apart in an 8 x 8 block in the middle, so every blast reaches its neighbours; the
// walkers' corner squares lie beyond every blast.
float bombX(int i) { return static_cast<float>(9 + 2 * (i % 8)); }
float bombY(int i) { return static_cast<float>(9 + 2 * (i / 8)); }

void busyBoard() {
    quietBoard(HOARDER, 10, 4);
    for (int i = 0; i < 64; ++i) {
        Player& owner = game.teams[static_cast<size_t>(i / 16)].players[static_cast<size_t>(i / 4 % 4)];
        arm(owner, i % 4, bombX(i), bombY(i));
        // Staggered fuses, so that fuses burn, blasts chain and explosions overlap at every moment.
        Bomb& b = owner.bombs[static_cast<size_t>(i % 4)];
        b.cycle_count = static_cast<uint8_t>(i % 3);
        b.fuse_frame = static_cast<uint32_t>(i / 3 % 3);
        b.tick_count = static_cast<uint8_t>(i * 7 % 15);
    }
    refreshDerivedState();
}

// A freed slot is armed again at once, so all 64 bombs stay in play.
void rearmFreedBombs() {
    bool armed = false;
    for (int i = 0; i < 64; ++i) {
        Player& owner = game.teams[static_cast<size_t>(i / 16)].players[static_cast<size_t>(i / 4 % 4)];
        if (owner.bombs[static_cast<size_t>(i % 4)].state != BOMB_FREE) continue;
        arm(owner, i % 4, bombX(i), bombY(i));
        armed = true;
    }
    if (armed) refreshDerivedState();  // bombs set from outside the engine
}

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
