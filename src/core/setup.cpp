// setup.cpp: a new match stands ready. Flags and scores cleared, every player alive in its team's corner with the
// default attributes and an empty program, every bomb slot free. The grid comes from the map compiler.
#include "core/fusewick.h"

namespace {

struct Corner {
    uint32_t pose;    // the team's starting facing
    float x[PLAYER_COUNT];
    float y[PLAYER_COUNT];
};

// Each team fills a 2 x 2 block in one corner: player 2 stands one cell ahead of player 1 in the team's facing,
// player 3 one cell along the other edge, player 4 diagonally.
Corner cornerOf(int team, float w, float h) {
    switch (team) {
    case 0: return {9, {0.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 1.0f}};
    case 1: return {3, {0.0f, 1.0f, 0.0f, 1.0f}, {h - 1.0f, h - 1.0f, h - 2.0f, h - 2.0f}};
    case 2: return {0, {w - 1.0f, w - 2.0f, w - 1.0f, w - 2.0f}, {0.0f, 0.0f, 1.0f, 1.0f}};
    default: return {6, {w - 1.0f, w - 1.0f, w - 2.0f, w - 2.0f}, {h - 1.0f, h - 2.0f, h - 1.0f, h - 2.0f}};
    }
}

void resetPlayer(Player& p, uint32_t pose, float x, float y) {
    p.type = CAPTAIN;
    p.pose = pose;
    p.status = 0;
    p.hits = 0;
    p.health = 1;
    p.step_ticks = 8;
    p.blast_range = 2;
    p.max_bombs = 2;
    p.cur_bombs = 2;
    p.x = x;
    p.y = y;
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
        const Corner corner = cornerOf(t, w, h);
        for (int p = 0; p < PLAYER_COUNT; ++p) resetPlayer(team.players[p], corner.pose, corner.x[p], corner.y[p]);
    }
}

void loadMatch() {
    compileMap();
    initGame();
    compileTeams();
}
