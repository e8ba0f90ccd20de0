// status.cpp: the status report, the whole game state as an indented text report on standard output.
// It only reads `game`.
#include "core/fusewick.h"
#include "core/utils.h"

#include <cstdio>

void printStatus() {
    std::printf("\nPrinting status information\n");
    for (int t = 0; t < TEAM_COUNT; ++t) {
        const Team& team = game.teams[t];
        std::printf("-----------------------------------------------\n");
        std::printf("- Team %d: %s\n", t + 1, team.name.c_str());
        std::printf("-- Score %d\n", game.score[t]);
        for (int p = 0; p < PLAYER_COUNT; ++p) {
            const Player& pl = team.players[p];
            std::printf("---- Player %d, type %d, status %d, current command number %d\n", p + 1,
                        static_cast<int>(pl.type), pl.status, static_cast<int>(pl.cmd_index + 1));
            std::printf("---- Located at [%f, %f]\n", static_cast<double>(pl.x), static_cast<double>(pl.y));
            std::printf("---- max_bombs = %d, cur_bombs = %d\n", pl.max_bombs, pl.cur_bombs);
            for (int b = 0; b < BOMB_SLOTS; ++b) {
                const Bomb& bomb = pl.bombs[b];
                if (bomb.state == BOMB_ACTIVE)
                    std::printf("-------- bomb %d (active), located at [%f, %f]\n", b + 1,
                                static_cast<double>(bomb.x), static_cast<double>(bomb.y));
                else if (bomb.state == BOMB_EXPLODING)
                    std::printf("-------- bomb %d (explode), located at [%f, %f]\n", b + 1,
                                static_cast<double>(bomb.x), static_cast<double>(bomb.y));
            }
        }
    }
}
