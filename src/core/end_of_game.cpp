// end_of_game.cpp: when the match is over, the final score table and the winners, and afterwards the result on
// the playfield (dying players fall into their dead pose, the winners' living players cheer).
//
// Runs every frame, paused or not. Reads and writes `game`; prints to standard output. No OpenGL in here.
#include "core/fusewick.h"
#include "core/tables.h"

#include <cstdio>

namespace {

constexpr uint32_t TICKS_PER_VICTORY_FRAME = 15;

// Anything but WAIT left in the program, the current command included, keeps the match going.
bool hasWorkLeft(const Player& p) {
    const uint32_t end = p.cmd_count < p.commands.size() ? p.cmd_count : static_cast<uint32_t>(p.commands.size());
    for (uint32_t i = p.cmd_index; i < end; ++i)
        if (p.commands[i].opcode != WAIT) return true;
    return false;
}

// A bomb out anywhere keeps the match going; the engine knows without a walk over the slots.
bool matchHasEnded() {
    if (game.end_requested == 1) return true;
    if (anyBombInPlay()) return false;
    for (const Team& team : game.teams)
        for (const Player& p : team.players)
            if (hasWorkLeft(p)) return false;
    return true;
}

void printTableAndWinners() {
    std::printf("\n----------------------------------------------\n");
    std::printf("Game over - Total scores:\n");
    int top = STARTING_TOP_SCORE;
    for (int t = 0; t < TEAM_COUNT; ++t) {
        if (game.score[t] > top) top = game.score[t];
        std::printf("Team %8s scored %i\n", game.teams[t].name.c_str(), static_cast<int>(game.score[t]));
    }
    std::printf("----------------------------------------------\n\n");
    for (int t = 0; t < TEAM_COUNT; ++t) {
        if (game.score[t] != top) continue;
        game.teams[t].winner = 1;
        std::printf("Team %8s wins!\n", game.teams[t].name.c_str());
    }
}

void startVictory() {
    for (Team& team : game.teams) {
        if (team.winner != 1) continue;
        for (Player& p : team.players) {
            if (p.status != PLAYER_ALIVE) continue;
            p.anim_ticks = 0;
            p.pose = POSE_VICTORY;
        }
    }
}

void animateResult() {
    for (Team& team : game.teams)
        for (Player& p : team.players)
            if (isDyingPose(p.pose)) p.pose = POSE_DEAD;
    for (Team& team : game.teams) {
        if (team.winner != 1) continue;
        for (Player& p : team.players) {
            if (p.status != PLAYER_ALIVE) continue;
            if (++p.anim_ticks < TICKS_PER_VICTORY_FRAME) continue;
            p.anim_ticks = 0;
            ++p.pose;
            if (p.pose == POSE_AFTER_VICTORY) p.pose = POSE_VICTORY;
        }
    }
}

}  // namespace

void updateDone() {
    if (game.game_over == 1) {
        animateResult();
        return;
    }
    if (!matchHasEnded()) return;
    game.game_over = 1;
    printTableAndWinners();
    startVictory();
}
