// bench_boards.h: the engine benchmarks' boards, built in memory. A quiet one: 16 players walking a 4 x 4 square in
// their corners, MOVE 4, LEFT, again and again. A busy one: 16 HOARDERs with all 64 bombs ticking, exploding and
// chaining, each freed slot armed again at once. Shared by engine_bench and engine_ratio; the latter is also built
// against the core of an older commit, so this header uses only what both cores offer (the records and initGame).
// Not a test: nothing is checked.
#pragma once

#include "core/fusewick.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

constexpr int SIDE = 32;    // the boards are SIDE x SIDE cells
constexpr int LAPS = 4000;  // MOVE 4, LEFT pairs per player: 128,000 ticks of walking

// Bombs set from outside the engine: today's engine is told (its slots in play), the old one has nothing to tell.
inline void bombsSet() {
#ifdef ENGINE_KEEPS_DERIVED_STATE
    refreshDerivedState();
#endif
}

// The start poses of setup make every team's square lie on the grid.
inline void quietBoard(uint32_t type, uint8_t step_ticks, uint8_t max_bombs) {
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

// The 64 bombs lie two cells apart in an 8 x 8 block in the middle, so every blast reaches its neighbours; the
// walkers' corner squares lie beyond every blast.
inline float bombX(int i) { return static_cast<float>(9 + 2 * (i % 8)); }
inline float bombY(int i) { return static_cast<float>(9 + 2 * (i / 8)); }
inline Player& ownerOf(int i) {
    return game.teams[static_cast<size_t>(i / 16)].players[static_cast<size_t>(i / 4 % 4)];
}
inline Bomb& bombOf(int i) { return ownerOf(i).bombs[static_cast<size_t>(i % 4)]; }

// Bomb `i` of the block back on its cell with a fresh fuse, as a DROP leaves it.
inline void arm(int i) {
    Bomb& b = bombOf(i);
    b.state = BOMB_ACTIVE;
    b.fuse_frame = 0;
    b.cycle_count = 0;
    b.tick_count = 0;
    b.chain_hit = 0;
    b.x = bombX(i);
    b.y = bombY(i);
    --ownerOf(i).cur_bombs;
}

inline void busyBoard() {
    quietBoard(HOARDER, 10, 4);
    for (int i = 0; i < 64; ++i) {
        arm(i);
        // Staggered fuses, so that fuses burn, blasts chain and explosions overlap at every moment.
        Bomb& b = bombOf(i);
        b.cycle_count = static_cast<uint8_t>(i % 3);
        b.fuse_frame = static_cast<uint32_t>(i / 3 % 3);
        b.tick_count = static_cast<uint8_t>(i * 7 % 15);
    }
    bombsSet();
}

// A freed slot is armed again at once, so all 64 bombs stay in play.
inline void rearmFreedBombs() {
    bool armed = false;
    for (int i = 0; i < 64; ++i) {
        if (bombOf(i).state != BOMB_FREE) continue;
        arm(i);
        armed = true;
    }
    if (armed) bombsSet();
}

}  // namespace bench
