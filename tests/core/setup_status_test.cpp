// Match setup (start cells and poses, resets) and the status report right after start-up.
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <tuple>

namespace {

class SetupTest : public testing::Test {
protected:
    void SetUp() override { fwtest::resetGlobals(); }
    fwtest::TempDir dir;
};

TEST_F(SetupTest, ResetsAPlayedMatchButKeepsTheGrid) {
    game.width = 4;
    game.height = 3;
    game.rows = {"XXXX", "----", "XXXX"};
    game.running = game.game_over = game.end_requested = 1;
    game.score = {5, -3, 19, -9};
    Team& team = game.teams[2];
    team.winner = 1;
    team.name = "old";
    Player& p = team.players[1];
    p = Player{.type = HULK, .pose = 20, .status = 1, .hits = 3, .health = -1, .step_ticks = 16, .blast_range = 2,
               .max_bombs = 3, .cur_bombs = 0, .x = 2.5f, .y = 1.0f, .anim_ticks = 7, .cmd_index = 4, .cmd_count = 4,
               .commands = {{.opcode = MOVE, .count = 1.0f}}};
    p.bombs[3].state = BOMB_EXPLODING;
    p.bombs[3].chain_hit = 1;
    initGame();
    EXPECT_EQ(game.running + game.game_over + game.end_requested, 0);
    EXPECT_EQ(game.score, (std::array<int8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(team.winner, 0);
    EXPECT_EQ(team.name, "");
    const auto fields = [](const Player& q) {
        return std::make_tuple(q.type, q.pose, q.status, q.hits, q.health, q.step_ticks, q.blast_range, q.max_bombs,
                               q.cur_bombs, q.x, q.y, q.anim_ticks, q.cmd_index, q.cmd_count, q.commands.size(),
                               q.bombs[3].state, q.bombs[3].chain_hit);
    };
    EXPECT_EQ(fields(p), std::make_tuple(uint32_t{CAPTAIN}, 0u, uint8_t{0}, uint8_t{0}, int8_t{1}, uint8_t{8},
                                         uint8_t{2}, uint8_t{2}, uint8_t{2}, 2.0f, 0.0f, 0u, 0u, 0u, size_t{0},
                                         uint8_t{BOMB_FREE}, uint8_t{0}));
    EXPECT_EQ(game.rows.size(), 3u);
}

// The report right after start-up also shows every start cell of a map that is not square.
TEST_F(SetupTest, StatusReportRightAfterStartUp) {
    config.map_file = dir.write("m.map", "4, 3\n----\n-X--\n----\n");
    const std::string team = dir.write("a.fpl", "P1 GHOST\nP2 HULK\nP3 Hoarder\nP4 SAFETY\nP1.MOVE\n");
    config.team_file = {team, team, team, team};
    loadMatch();
    game.score[1] = -3;
    Bomb& b = game.teams[3].players[2].bombs[1];
    b.state = BOMB_ACTIVE;
    b.x = 2.0f;
    b.y = 1.0f;
    game.teams[3].players[2].bombs[2] = b;
    game.teams[3].players[2].bombs[2].state = BOMB_EXPLODING;

    const std::string name = team.substr(0, team.size() - 4);
    const char* const located[4][4] = {
        {"[0.000000, 0.000000]", "[0.000000, 1.000000]", "[1.000000, 0.000000]", "[1.000000, 1.000000]"},
        {"[0.000000, 2.000000]", "[1.000000, 2.000000]", "[0.000000, 1.000000]", "[1.000000, 1.000000]"},
        {"[3.000000, 0.000000]", "[2.000000, 0.000000]", "[3.000000, 1.000000]", "[2.000000, 1.000000]"},
        {"[3.000000, 2.000000]", "[3.000000, 1.000000]", "[2.000000, 2.000000]", "[2.000000, 1.000000]"},
    };
    std::string expected = "\nPrinting status information\n";
    for (int t = 0; t < 4; ++t) {
        expected += "-----------------------------------------------\n- Team " + std::to_string(t + 1) + ": " + name +
                    "\n-- Score " + (t == 1 ? "-3" : "0") + "\n";
        const char* bombs[4] = {"1, cur_bombs = 1", "3, cur_bombs = 3", "4, cur_bombs = 4", "1, cur_bombs = 1"};
        for (int p = 0; p < 4; ++p) {
            expected += "---- Player " + std::to_string(p + 1) + ", type " + "1653"[p] + ", status 0" +
                        ", current command number 1\n---- Located at " + located[t][p] + "\n" +
                        "---- max_bombs = " + bombs[p] + "\n";
            if (t == 3 && p == 2)
                expected += "-------- bomb 2 (active), located at [2.000000, 1.000000]\n"
                            "-------- bomb 3 (explode), located at [2.000000, 1.000000]\n";
        }
    }
    EXPECT_EQ(fwtest::captureStdout(printStatus), expected);
    for (int t = 0; t < 4; ++t)
        for (const Player& p : game.teams[t].players) EXPECT_EQ(p.pose, (std::array<uint32_t, 4>{9, 3, 0, 6}[t]));
}

}  // namespace
