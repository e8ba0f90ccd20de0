// The end of the match: when it ends, the winners under the final table, the result on the playfield. The table
// itself is checked byte for byte on the runner's output.
#include "scenario.h"

namespace {

using namespace fwtest;

// The teams "a" to "d" with these scores, idle programs and no bombs: the first call ends the match.
struct Final {
    const char* name;
    std::array<int8_t, 4> scores;
    std::string wins;  // the lines under the table
    std::array<uint8_t, 4> winners;
};

class FinalTable : public testing::TestWithParam<Final> {};

TEST_P(FinalTable, NamesTheWinnersOnce) {
    const Final& c = GetParam();
    loadScenario(openRows(6, 6));
    for (int t = 0; t < 4; ++t) {
        game.teams[t].name = std::string(1, static_cast<char>('a' + t));
        game.score[t] = c.scores[t];
    }
    const std::string out = captureStdout(updateDone);
    EXPECT_TRUE(out.ends_with("----------------------------------------------\n\n" + c.wins)) << out;
    for (int t = 0; t < 4; ++t) EXPECT_EQ(game.teams[t].winner, c.winners[t]) << "team " << t;
    EXPECT_EQ(captureStdout(updateDone), "") << "the table is printed once";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FinalTable,
    testing::Values(Final{"TieForTheTop", {3, 3, -2, 1}, "Team        a wins!\nTeam        b wins!\n", {1, 1, 0, 0}},
                    // The top score starts at -5: a team must reach it to win.
                    Final{"AllBelowMinusFiveNobodyWins", {-6, -9, -7, -128}, "", {0, 0, 0, 0}},
                    Final{"MinusFiveIsEnough", {-6, -5, -7, -9}, "Team        b wins!\n", {0, 1, 0, 0}}),
    fwtest::caseName);

// Player 3.4 with `program` at `cmd_index`, its slot 0 in `bomb_state`, and `status`; all others idle.
struct Holding {
    const char *name, *program;
    uint32_t cmd_index;
    uint8_t bomb_state, status;
    bool ends;
};

class WhatHoldsTheEnd : public testing::TestWithParam<Holding> {};

TEST_P(WhatHoldsTheEnd, OnlyCommandsOtherThanWaitAndBombsOut) {
    const Holding& c = GetParam();
    loadScenario(openRows(6, 6), {"", "", teamText(c.program)});
    Player& p = player(2, 3);
    p.cmd_index = c.cmd_index;
    p.bombs[0].state = c.bomb_state;
    p.status = c.status;
    refreshDerivedState();  // a bomb set from outside the engine
    captureStdout(updateDone);
    EXPECT_EQ(game.game_over, c.ends ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WhatHoldsTheEnd,
    testing::Values(Holding{"OnlyWaitsLeft", "P4.MOVE 1\nP4.WAIT 1\nP4.WAIT 1\n", 1, BOMB_FREE, 0, true},
                    Holding{"CurrentMove", "P4.MOVE 1\nP4.WAIT 1\n", 0, BOMB_FREE, 0, false},
                    Holding{"DropAfterWaits", "P4.WAIT 1\nP4.WAIT 1\nP4.DROP\n", 0, BOMB_FREE, 0, false},
                    Holding{"BombTicking", "", 0, BOMB_ACTIVE, 0, false},
                    Holding{"DeadPlayersBombExploding", "P4.MOVE 1\n", 1, BOMB_EXPLODING, 1, false}), fwtest::caseName);

TEST(Result, DyingJumpToDeadAndWinnersCheer) {
    loadScenario(openRows(6, 6));
    game.score = {4, 1, 4, 0};
    Player &winner = player(0, 1), &dead_winner = player(2, 0), &dying_loser = player(1, 2);
    markDead(dead_winner);
    dying_loser.status = 1;
    dying_loser.pose = 17;
    winner.anim_ticks = 3;  // restarts with the victory
    refreshDerivedState();  // poses set from outside the engine
    const uint32_t loser_pose = player(1, 0).pose;
    captureStdout(updateDone);  // the match ends in this call
    EXPECT_EQ(winner.pose, 9u);
    EXPECT_EQ(dying_loser.pose, 17u) << "still dying in the frame in which the match ends";
    std::vector<uint32_t> poses;
    for (int frame = 1; frame <= 45; ++frame) {
        updateDone();
        if (frame % 15 == 14 || frame % 15 == 0) poses.push_back(winner.pose);
    }
    EXPECT_EQ(poses, (std::vector<uint32_t>{9, 10, 10, 9, 9, 10}));
    EXPECT_EQ(dying_loser.pose, POSE_DEAD);
    EXPECT_EQ(dead_winner.pose, POSE_DEAD);
    EXPECT_EQ(player(1, 0).pose, loser_pose) << "losers do not cheer";
}

}  // namespace
