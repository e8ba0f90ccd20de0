// The end of the match: when it ends, the final table and the winners, the result on the playfield.
#include "scenario.h"

namespace {

using fwtest::captureStdout;

// Four teams with empty programs and free bomb slots on a 6 x 6 grid.
void quietMatch(const std::array<const char*, 4>& names, const std::array<int8_t, 4>& scores) {
    fwtest::resetGlobals();
    game.width = 6;
    game.height = 6;
    game.rows = fwtest::openRows(6, 6);
    initGame();
    for (int t = 0; t < 4; ++t) {
        game.teams[t].name = names[t];
        game.score[t] = scores[t];
    }
}

const char* const RULE = "----------------------------------------------\n";

std::string table(const std::string& lines, const std::string& winners) {
    return std::string("\n") + RULE + "Game over - Total scores:\n" + lines + RULE + "\n" + winners;
}

struct Final {
    const char* name;
    std::array<const char*, 4> names;
    std::array<int8_t, 4> scores;
    std::string expected;
    std::array<uint8_t, 4> winners;
};

class FinalTable : public testing::TestWithParam<Final> {};

TEST_P(FinalTable, PrintsScoresAndWinnersOnce) {
    const Final& c = GetParam();
    quietMatch(c.names, c.scores);
    EXPECT_EQ(captureStdout(updateDone), c.expected);
    EXPECT_EQ(game.game_over, 1);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(game.teams[t].winner, c.winners[t]) << "team " << t;
    EXPECT_EQ(captureStdout(updateDone), "") << "the table is printed once";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FinalTable,
    testing::Values(
        Final{"TieForTheTop",
              {"red", "blue", "longername12", "teams/x"},
              {3, 3, -2, 1},
              table("Team      red scored 3\nTeam     blue scored 3\nTeam longername12 scored -2\n"
                    "Team  teams/x scored 1\n",
                    "Team      red wins!\nTeam     blue wins!\n"),
              {1, 1, 0, 0}},
        Final{"AllScoresZeroAllWin",
              {"a", "b", "c", "d"},
              {0, 0, 0, 0},
              table("Team        a scored 0\nTeam        b scored 0\nTeam        c scored 0\nTeam        d scored 0\n",
                    "Team        a wins!\nTeam        b wins!\nTeam        c wins!\nTeam        d wins!\n"),
              {1, 1, 1, 1}},
        // The top score starts at -5: a team must reach it to win.
        Final{"AllBelowMinusFiveNobodyWins",
              {"a", "b", "c", "d"},
              {-6, -9, -7, -128},
              table("Team        a scored -6\nTeam        b scored -9\nTeam        c scored -7\nTeam        d scored -128\n",
                    ""),
              {0, 0, 0, 0}},
        Final{"MinusFiveIsEnough",
              {"a", "b", "c", "d"},
              {-6, -5, -7, -9},
              table("Team        a scored -6\nTeam        b scored -5\nTeam        c scored -7\nTeam        d scored -9\n",
                    "Team        b wins!\n"),
              {0, 1, 0, 0}}),
    [](const testing::TestParamInfo<Final>& info) { return info.param.name; });

struct Holding {
    const char* name;
    std::vector<uint32_t> program;
    uint32_t cmd_index;
    uint8_t bomb_state;  // of slot 0
    uint8_t status;
    bool ends;
};

class WhatHoldsTheEnd : public testing::TestWithParam<Holding> {};

TEST_P(WhatHoldsTheEnd, OnlyCommandsOtherThanWaitAndBombsOut) {
    const Holding& c = GetParam();
    quietMatch({"a", "b", "c", "d"}, {0, 0, 0, 0});
    Player& p = game.teams[2].players[3];
    for (uint32_t op : c.program) p.commands.push_back(Command{op, 1.0f});
    p.cmd_count = static_cast<uint32_t>(p.commands.size());
    p.cmd_index = c.cmd_index;
    p.bombs[0].state = c.bomb_state;
    p.status = c.status;
    captureStdout(updateDone);
    EXPECT_EQ(game.game_over, c.ends ? 1 : 0);
    game.end_requested = 1;
    captureStdout(updateDone);
    EXPECT_EQ(game.game_over, 1) << "the end key always ends it";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WhatHoldsTheEnd,
    testing::Values(Holding{"OnlyWaitsLeft", {MOVE, WAIT, WAIT}, 1, BOMB_FREE, 0, true},
                    Holding{"CurrentMove", {MOVE, WAIT}, 0, BOMB_FREE, 0, false},
                    Holding{"DropAfterWaits", {WAIT, WAIT, DROP}, 0, BOMB_FREE, 0, false},
                    Holding{"TurnLeft", {LEFT}, 0, BOMB_FREE, 0, false},
                    Holding{"ProgramDone", {MOVE, DROP}, 2, BOMB_FREE, 0, true},
                    Holding{"BombTicking", {}, 0, BOMB_ACTIVE, 0, false},
                    Holding{"DeadPlayersBombExploding", {MOVE}, 1, BOMB_EXPLODING, 1, false}),
    [](const testing::TestParamInfo<Holding>& info) { return info.param.name; });

TEST(Result, DyingJumpToDeadAndWinnersCheer) {
    quietMatch({"a", "b", "c", "d"}, {4, 1, 4, 0});
    Player& winner = game.teams[0].players[1];
    Player& dead_winner = game.teams[2].players[0];
    Player& dying_loser = game.teams[1].players[2];
    dead_winner.status = 1;
    dead_winner.pose = POSE_DEAD;
    dying_loser.status = 1;
    dying_loser.pose = 17;
    winner.anim_ticks = 3;

    captureStdout(updateDone);  // the match ends in this call
    EXPECT_EQ(winner.pose, 9u);
    EXPECT_EQ(winner.anim_ticks, 0u);
    EXPECT_EQ(dying_loser.pose, 17u) << "still dying in the frame in which the match ends";
    EXPECT_EQ(dead_winner.pose, POSE_DEAD);

    const uint32_t loser_pose = game.teams[1].players[0].pose;
    std::vector<uint32_t> poses;
    for (int frame = 1; frame <= 45; ++frame) {
        updateDone();
        if (frame % 15 == 14 || frame % 15 == 0) poses.push_back(winner.pose);
    }
    EXPECT_EQ(dying_loser.pose, POSE_DEAD);
    EXPECT_EQ(poses, (std::vector<uint32_t>{9, 10, 10, 9, 9, 10}));
    EXPECT_EQ(dead_winner.pose, POSE_DEAD);
    EXPECT_EQ(game.teams[1].players[0].pose, loser_pose) << "losers do not cheer";
}

}  // namespace
