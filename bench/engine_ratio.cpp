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

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <time.h>

namespace {

constexpr int SIDE = 32;     // the boards are SIDE x SIDE cells
constexpr int LAPS = 4000;   // MOVE 4, LEFT pairs per player: 128,000 ticks of walking
constexpr long RESTORE_EVERY = 100000;

// Every player walks a 4 x 4 square in its corner: MOVE 4, LEFT, again and again.
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

float bombX(int i) { return static_cast<float>(9 + 2 * (i % 8)); }
float bombY(int i) { return static_cast<float>(9 + 2 * (i / 8)); }
Player& ownerOf(int i) { return game.teams[static_cast<size_t>(i / 16)].players[static_cast<size_t>(i / 4 % 4)]; }

// Bombs set from outside the engine: today's engine is told (its slots in play), the old one has nothing to tell.
void bombsSet() {
#ifdef ENGINE_KEEPS_DERIVED_STATE
    refreshDerivedState();
#endif
}

// Bomb `i` of the 8 x 8 block, two cells apart, back on its cell with a fresh fuse as a DROP leaves it.
void arm(int i) {
    Player& owner = ownerOf(i);
    Bomb& b = owner.bombs[static_cast<size_t>(i % 4)];
    b.state = BOMB_ACTIVE;
    b.fuse_frame = 0;
    b.cycle_count = 0;
    b.tick_count = 0;
    b.chain_hit = 0;
    b.x = bombX(i);
    b.y = bombY(i);
    --owner.cur_bombs;
}

void busyBoard() {
    quietBoard(HOARDER, 10, 4);
    for (int i = 0; i < 64; ++i) {
        arm(i);
        // Staggered fuses, so that fuses burn, blasts chain and explosions overlap at every moment.
        Bomb& b = ownerOf(i).bombs[static_cast<size_t>(i % 4)];
        b.cycle_count = static_cast<uint8_t>(i % 3);
        b.fuse_frame = static_cast<uint32_t>(i / 3 % 3);
        b.tick_count = static_cast<uint8_t>(i * 7 % 15);
    }
    bombsSet();
}

// A freed slot is armed again at once, so all 64 bombs stay in play.
void rearmFreedBombs() {
    bool armed = false;
    for (int i = 0; i < 64; ++i) {
        if (ownerOf(i).bombs[static_cast<size_t>(i % 4)].state != BOMB_FREE) continue;
        arm(i);
        armed = true;
    }
    if (armed) bombsSet();
}

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
