// player_state.cpp: a player's state after a tick in the trace's words.
#include "match/player_state.h"

#include "core/geometry.h"
#include "core/tables.h"

namespace {

bool isTurn(uint32_t opcode) { return opcode == LEFT || opcode == RIGHT || opcode == REVERSE; }

std::string who(int team, int player) { return std::to_string(team + 1) + "." + std::to_string(player + 1); }

}  // namespace

std::array<std::array<PlayerBefore, PLAYER_COUNT>, TEAM_COUNT> playersBefore() {
    std::array<std::array<PlayerBefore, PLAYER_COUNT>, TEAM_COUNT> before{};
    for (size_t t = 0; t < TEAM_COUNT; ++t)
        for (size_t p = 0; p < PLAYER_COUNT; ++p) {
            const Player& player = game.teams[t].players[p];
            before[t][p] = PlayerBefore{player.cmd_index, player.x, player.y};
        }
    return before;
}

PlayerState playerStateAfterTick(int t, int p, const PlayerBefore& before, const std::vector<TickDrop>& drops) {
    const Player& player = game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
    PlayerState state;
    if (player.status != PLAYER_ALIVE) {
        state.word = player.pose >= POSE_DEAD ? "dead" : "dying";
        return state;
    }
    if (before.cmd_index >= player.cmd_count) {
        state.word = "program finished";
        return state;
    }
    // Turns take no time: the command that used the tick is the first one after them.
    uint32_t i = before.cmd_index;
    while (i < player.cmd_count && isTurn(player.commands[i].opcode)) ++i;
    if (i >= player.cmd_count) {
        state.word = "turning";
        state.detail = "program finished";
        state.command = static_cast<int>(i) - 1;
        return state;
    }
    state.command = static_cast<int>(i);
    switch (player.commands[i].opcode) {
    case WAIT: state.word = "waiting"; break;
    case DROP: state.word = player.cmd_index > i ? "dropping" : "waiting for a bomb in hand"; break;
    default: {
        if (player.x != before.x || player.y != before.y) {
            state.word = "walking";
            break;
        }
        // Bombs dropped later in this tick's program pass were not there when this player tried its step.
        uint64_t later_drops = 0;
        for (const TickDrop& d : drops)
            if (d.team > t || (d.team == t && d.player > p)) later_drops |= uint64_t{1} << slotBit(d.team, d.player, d.slot);
        const CellAhead ahead = cellAhead(player, later_drops);
        state.word = "blocked";
        state.cell_x = static_cast<int>(ahead.x);
        state.cell_y = static_cast<int>(ahead.y);
        const std::string at = "(" + std::to_string(ahead.x) + ", " + std::to_string(ahead.y) + ")";
        switch (ahead.closed) {
        case CellAhead::Closed::Edge: state.blocker = "edge"; state.detail = "by the edge"; break;
        case CellAhead::Closed::Wall: state.blocker = "wall"; state.detail = "by a wall at " + at; break;
        case CellAhead::Closed::Bomb:
            state.blocker = "bomb";
            state.blocker_team = ahead.team;
            state.blocker_player = ahead.player;
            state.detail = "by a bomb of " + who(ahead.team, ahead.player) + " at " + at;
            break;
        case CellAhead::Closed::Open: state.word = "walking"; break;  // a step of a facing that cannot walk
        }
        break;
    }
    }
    return state;
}
