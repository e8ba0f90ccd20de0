// setup.cpp: a new match stands ready. Flags and scores cleared, every player alive in its team's corner with the
// default attributes and an empty program, every bomb slot free. The grid comes from the map compiler.
#include "core/fusewick.h"
#include "core/tables.h"

namespace {

void resetPlayer(Player& p, uint32_t pose, Cell start) {
    p.type = DEFAULT_TYPE.code;
    p.pose = pose;
    p.status = PLAYER_ALIVE;
    p.hits = 0;
    p.health = DEFAULT_TYPE.health;
    p.step_ticks = DEFAULT_TYPE.step_ticks;
    p.blast_range = DEFAULT_TYPE.blast_range;
    p.max_bombs = DEFAULT_TYPE.max_bombs;
    p.cur_bombs = DEFAULT_TYPE.max_bombs;
    p.x = start.x;
    p.y = start.y;
    p.anim_ticks = 0;
    p.cmd_index = 0;
    p.cmd_count = 0;
    p.commands.clear();  // keeps its storage for the team compiler to fill again
    for (Bomb& b : p.bombs) {
        b.state = BOMB_FREE;
        b.chain_hit = 0;
    }
}

}  // namespace

void initGame() {
    game.running = 0;
    game.game_over = 0;
    game.end_requested = 0;
    const float w = static_cast<float>(game.width);
    const float h = static_cast<float>(game.height);
    for (int t = 0; t < TEAM_COUNT; ++t) {
        Team& team = game.teams[t];
        team.name.clear();
        team.winner = 0;
        game.score[t] = 0;
        const uint32_t pose = standingPose(START_CORNERS[static_cast<size_t>(t)].facing);
        for (int p = 0; p < PLAYER_COUNT; ++p) resetPlayer(team.players[p], pose, startCell(t, p, w, h));
    }
    refreshDerivedState(true);  // a new grid: no blast measured on another one may be used
}

void loadMatch() {
    compileMap();
    initGame();
    compileTeams();
}
