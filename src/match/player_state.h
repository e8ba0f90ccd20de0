// player_state.h: what a player is doing after a tick, in words: walking, turning, dropping, waiting, waiting for a
// bomb in hand, blocked by the edge, a wall or a bomb and whose, program finished, dying, dead; and the command that
// used the tick. Shared by the trace and the viewer's panel, so both say the same of the same tick. No OpenGL in
// here.
#pragma once

#include "core/game.h"

#include <string>
#include <vector>

// Where a player stood before the tick: the command it was at and its position.
struct PlayerBefore {
    uint32_t cmd_index = 0;
    float x = 0.0f, y = 0.0f;
};

// A bomb dropped during the tick, in the engine's pass order (teams, players and slots from 0).
struct TickDrop {
    int team, player, slot;
};

struct PlayerState {
    const char* word = "";        // "walking", "blocked", ...
    std::string detail;           // "by a bomb of 1.2 at (3, 4)", or empty
    int command = -1;             // index of the command that used the tick, or -1
    int blocker_team = -1;        // with "blocked" by a bomb: its owner, from 0
    int blocker_player = -1;
    int cell_x = 0, cell_y = 0;   // with "blocked": the closed cell ahead
    const char* blocker = "";     // with "blocked": "edge", "wall" or "bomb"
};

// The state of player `player` of team `team` in `game` right after a tick, given where it stood before the tick
// and the bombs dropped during the tick (a bomb dropped after the player's turn in the pass did not stop it).
PlayerState playerStateAfterTick(int team, int player, const PlayerBefore& before, const std::vector<TickDrop>& drops);

// Where every player of `game` stands now, to be passed as `before` after the next tick.
std::array<std::array<PlayerBefore, PLAYER_COUNT>, TEAM_COUNT> playersBefore();
