// The turn engine and the bomb passes, on small matches loaded from files.
#include "scenario.h"

#include <numeric>

namespace {

using namespace fwtest;

// [SECTION] Walking, turning, waiting

// Player 1.1, of type `type`, starts on (0, 0) facing larger y, player 1.2 on (0, 1); `ticks` ticks of the team's
// program leave player 1.1 as `after` describes it.
struct Walk {
    const char* name;
    std::vector<std::string> rows;
    const char *type, *program;
    int ticks;
    const char* after;
};

class Walking : public testing::TestWithParam<Walk> {};

TEST_P(Walking, EndsWhereExpected) {
    loadScenario(GetParam().rows, {teamText(GetParam().program, GetParam().type)});
    ticks(GetParam().ticks);
    EXPECT_EQ(describe(player(0, 0)), GetParam().after);
}

const std::vector<std::string> OPEN = openRows(6, 6);
const std::vector<std::string> WALL_BELOW = {"------", "X-----", "------", "------", "------", "------"};

INSTANTIATE_TEST_SUITE_P(
    Programs, Walking,
    testing::Values(
        Walk{"MoveTwoCells", OPEN, "CAPTAIN", "P1.MOVE 2\n", 16, "(0, 2) pose 11 anim 4 cmd 1"},
        Walk{"HulkHalfWay", OPEN, "HULK", "P1.MOVE 1\n", 8, "(0, 0.5) pose 10 anim 2 cmd 0"},
        Walk{"GhostTenthsSumToACell", OPEN, "GHOST", "P1.MOVE 3\n", 30, "(0, 3) pose 11 anim 0 cmd 1"},
        Walk{"WallAheadCountsDown", WALL_BELOW, "CAPTAIN", "P1.MOVE 3\n", 24, "(0, 0) pose 10 anim 0 cmd 1"},
        Walk{"WallStopsGhost", WALL_BELOW, "GHOST", "P1.MOVE 1\n", 10, "(0, 0) pose 10 anim 4 cmd 1"},
        Walk{"EdgeAhead", OPEN, "CAPTAIN", "P1.REVERSE\nP1.MOVE 1\n", 8, "(0, 0) pose 7 anim 2 cmd 2"},
        // Turns take no time: five of them and the first step of the MOVE in one tick.
        Walk{"TurnsAndFirstStep", OPEN, "CAPTAIN", "P1.REVERSE\nP1.LEFT\nP1.LEFT\nP1.RIGHT\nP1.REVERSE\nP1.MOVE 2\n", 1,
             "(0.125, 0) pose 3 anim 1 cmd 5"},
        // Facing larger x, the end of a MOVE restarts the frame timer (MoveTwoCells shows larger y does not).
        Walk{"LargerXRestartsTimerAtEnd", OPEN, "CAPTAIN", "P1.LEFT\nP1.MOVE 1\n", 8, "(1, 0) pose 4 anim 1 cmd 2"},
        Walk{"MoveZeroNeverEnds", OPEN, "CAPTAIN", "P1.MOVE 0\nP1.LEFT\n", 200, "(0, 5) pose 9 anim 2 cmd 0"},
        Walk{"WaitKeepsPose", OPEN, "CAPTAIN", "P1.WAIT 2\n", 16, "(0, 0) pose 9 anim 0 cmd 1"},
        Walk{"ActiveBombBlocks", OPEN, "CAPTAIN", "P1.WAIT 1\nP1.MOVE 2\nP2.DROP\n", 24, "(0, 0) pose 11 anim 4 cmd 2"},
        Walk{"GhostPassesBomb", OPEN, "GHOST", "P1.WAIT 1\nP1.MOVE 2\nP2.DROP\n", 30, "(0, 2) pose 9 anim 2 cmd 2"},
        // The bomb ahead explodes in tick 136; its blast spares the SAFETY player, who walks through it.
        Walk{"ExplodingOpen", OPEN, "SAFETY", "P1.WAIT 17\nP1.MOVE 2\nP2.DROP\n", 152, "(0, 2) pose 11 anim 4 cmd 2"},
        Walk{"OwnBombBehindIsNoBar", OPEN, "CAPTAIN", "P1.DROP\nP1.MOVE 2\n", 17, "(0, 2) pose 11 anim 4 cmd 2"}),
    fwtest::caseName);

// A one-command program turns player 1.1 from each walking frame of the facing group that begins with `facing`.
struct Turn {
    const char* name;
    uint32_t facing;
    const char* command;
    uint32_t pose;  // the first frame of the new group
};

class TurnTable : public testing::TestWithParam<Turn> {};

TEST_P(TurnTable, GivesTheNewGroupFromEveryWalkingFrame) {
    const Turn& c = GetParam();
    loadScenario(openRows(4, 4), {teamText("P1." + std::string(c.command) + "\n")});
    Player& p = player(0, 0);
    for (uint32_t frame = c.facing; frame < c.facing + 3; ++frame) {
        p.pose = frame;
        p.cmd_index = 0;
        ticks(1);
        EXPECT_EQ(describe(p), "(0, 0) pose " + std::to_string(c.pose) + " anim 0 cmd 1") << "from pose " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, TurnTable,
    testing::Values(Turn{"SmallerXLeft", 0, "LEFT", 9}, Turn{"SmallerXRight", 0, "RIGHT", 6},
                    Turn{"SmallerXReverse", 0, "REVERSE", 3}, Turn{"LargerXLeft", 3, "LEFT", 6},
                    Turn{"LargerXRight", 3, "RIGHT", 9}, Turn{"LargerXReverse", 3, "REVERSE", 0},
                    Turn{"SmallerYLeft", 6, "LEFT", 0}, Turn{"SmallerYRight", 6, "RIGHT", 3},
                    Turn{"SmallerYReverse", 6, "REVERSE", 9}, Turn{"LargerYLeft", 9, "LEFT", 3},
                    Turn{"LargerYRight", 9, "RIGHT", 0}, Turn{"LargerYReverse", 9, "REVERSE", 6}), fwtest::caseName);

// [SECTION] Bombs

// A SAFETY player drops its only bomb in tick 1, which goes off in tick 136; the blast spares it from tick 137 to
// 187, and a second DROP waits for the bomb, which comes back in the explosion pass of tick 187 and is dropped again
// in the same tick.
TEST(BombTiming, DetonatesHitsAndReturnsOnTime) {
    loadScenario(openRows(6, 6), {teamText("P1.DROP\nP1.DROP\n", "SAFETY")}, 2);
    const Player& p = player(0, 0);
    std::vector<int> hit_ticks, expected(51);
    for (int tick = 1; tick <= 190; ++tick)
        if (ticks(1).find("Bomb from player 1.1 hit player 1.1\nPlayer 1.1 survives!\n") != std::string::npos)
            hit_ticks.push_back(tick);
    std::iota(expected.begin(), expected.end(), 137);
    EXPECT_EQ(hit_ticks, expected);
    EXPECT_EQ(p.cmd_index, 2u);
    EXPECT_EQ(p.bombs[0].tick_count, 3) << "dropped again in tick 187";
}

// The victim, player 3 of team `victim_team`, stands on (4, 4) of an open 9 x 9 map; beside it explode bombs of the
// `owners` (team, player). After `ticks` ticks the victim has the given status and health, the teams the scores.
struct Blast {
    const char* name;
    int victim_team;
    uint32_t victim_type;
    std::vector<std::pair<int, int>> owners;
    int ticks, status, health;
    std::array<int8_t, 4> score;
    std::string output;
};

class BlastOutcome : public testing::TestWithParam<Blast> {};

TEST_P(BlastOutcome, HitsCostHealthAndScore) {
    const Blast& c = GetParam();
    loadScenario(openRows(9, 9), {}, 2);
    Player& victim = player(c.victim_team, 2);
    victim.type = c.victim_type;
    victim.health = c.victim_type == HULK ? 2 : 1;
    victim.x = victim.y = 4;
    for (size_t i = 0; i < c.owners.size(); ++i)
        explodeBomb(player(c.owners[i].first, c.owners[i].second), 0, i % 2 ? 5.0f : 3.0f, 4);
    EXPECT_EQ(ticks(c.ticks), c.output);
    EXPECT_EQ(victim.status, c.status);
    EXPECT_EQ(victim.health, c.health);
    EXPECT_EQ(game.score, c.score);
}

const std::string HIT_2_3 = "Bomb from player 1.1 hit player 2.3\n";
const std::string SPARED = "Bomb from player 1.1 hit player 1.3\nPlayer 1.3 survives!\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BlastOutcome,
    testing::Values(
        Blast{"TwoBombsOneTick", 1, CAPTAIN, {{0, 0}, {0, 1}}, 1, 1, -1, {2, 0, 0, 0},
              HIT_2_3 + "Bomb from player 1.2 hit player 2.3\n"},
        Blast{"OwnerHit", 2, CAPTAIN, {{2, 2}}, 1, 1, 0, {0, 0, -1, 0}, "Bomb from player 3.3 hit player 3.3\n"},
        Blast{"SafetySparedByOwnTeam", 0, SAFETY, {{0, 0}}, 2, 0, 1, {0, 0, 0, 0}, SPARED + SPARED},
        Blast{"SafetyHitByEnemy", 3, SAFETY, {{0, 0}}, 3, 1, 0, {1, 0, 0, 0}, "Bomb from player 1.1 hit player 4.3\n"},
        Blast{"HulkDiesOnSecondHitAndIsNotHitAgain", 1, HULK, {{0, 0}}, 5, 1, 0, {2, 0, 0, 0}, HIT_2_3 + HIT_2_3}),
    fwtest::caseName);

// Player 1.3, a SAFETY, stands in the blast of team mate 1.1's bomb, beside an active bomb of player 2.1. Above
// debug level 1 the hit and the spared player are reported, above level 2 also the bomb that the blast reaches.
struct Level {
    const char* name;
    int debug;
    std::string output;
};

class BlastMessages : public testing::TestWithParam<Level> {};

TEST_P(BlastMessages, ShowAboveTheirDebugLevel) {
    loadScenario(openRows(9, 9), {}, GetParam().debug);
    Player& safety = player(0, 2);
    safety.type = SAFETY;
    safety.x = safety.y = 4;
    explodeBomb(player(0, 0), 0, 3, 4);
    armBomb(player(1, 0), 0, 2, 4);
    EXPECT_EQ(ticks(1), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, BlastMessages,
    testing::Values(Level{"One", 1, ""}, Level{"Two", 2, SPARED},
                    Level{"Three", 3, SPARED + "Bomb from player 1.1 hit bomb from player 2.1\n"}), fwtest::caseName);

TEST(Damage, DeathStopsTheProgramInTheSameTickAndTheBodyFalls) {
    loadScenario(openRows(9, 9), {"", teamText("P1.MOVE 3\n")});
    Player& walker = player(1, 0);  // on (0, 8) facing larger x
    ticks(2);
    // A bomb of team 1 whose blast covers the walker's path; its owner is long dead, which changes nothing.
    markDead(player(0, 0));
    explodeBomb(player(0, 0), 0, 0, 8);
    ticks(1);
    EXPECT_EQ(walker.status, 1);
    EXPECT_FLOAT_EQ(walker.x, 0.25f) << "the dead do not take their step";
    EXPECT_EQ(walker.cmd_index, walker.cmd_count);
    EXPECT_EQ(walker.pose, POSE_DYING);
    ticks(27);
    EXPECT_EQ(walker.pose, POSE_DYING + 3);
    ticks(1);
    EXPECT_EQ(walker.pose, POSE_DEAD) << "each dying frame shows for 7 ticks";
    EXPECT_EQ(game.score[0], 3) << "the dead are not hit again: the walker and two team mates once each";
}

// Each bomb of a row goes off one tick after the blast of the one before reaches it, whoever owns it (a dead
// player's too); a wall stops the row, and a HOARDER's fourth slot is set off by a GHOST, who owns a single slot.
TEST(Chain, OneBombPerTick) {
    std::vector<std::string> rows = openRows(12, 9);
    rows[4][9] = 'X';
    loadScenario(rows, {teamText("", "HOARDER"), teamText("", "GHOST")}, 3);
    markDead(player(2, 0));
    const Bomb* row[] = {&explodeBomb(player(1, 0), 0, 2, 4), &armBomb(player(0, 0), 3, 4, 4),
                         &armBomb(player(0, 0), 0, 6, 4), &armBomb(player(2, 0), 1, 8, 4)};
    const Bomb& behind_wall = armBomb(player(3, 0), 0, 10, 4);
    std::vector<std::string> outputs;
    for (int tick = 1; tick <= 5; ++tick) outputs.push_back(ticks(1));
    for (const Bomb* b : row) EXPECT_EQ(b->state, BOMB_EXPLODING);
    EXPECT_EQ(behind_wall.state, BOMB_ACTIVE);
    EXPECT_EQ(row[3]->tick_count, 2) << "a chained explosion starts from its first tick";
    // One bomb a tick; exploding bombs are reached again but not set off again, only the next active one is.
    EXPECT_EQ(outputs, (std::vector<std::string>{"Bomb from player 2.1 hit bomb from player 1.1\n",
                                                 "Bomb from player 1.1 hit bomb from player 1.1\n",
                                                 "Bomb from player 1.1 hit bomb from player 3.1\n", "", ""}));
}

// Scores saturate at the int8 limits instead of wrapping when one tick brings very many hits: team 1 drops 16
// bombs on its own four players (-64), the other teams 16 bombs each on their twelve (+4 a bomb, +64 a team).
TEST(Score, SaturatesInsteadOfWrapping) {
    loadScenario(openRows(9, 9));
    game.score = {-100, 100, 100, 100};
    for (int t = 0; t < 4; ++t)
        for (Player& p : game.teams[t].players) {
            p.x = p.y = t == 0 ? 2.0f : 6.0f;
            p.max_bombs = p.cur_bombs = 4;
            for (int slot = 0; slot < 4; ++slot) explodeBomb(p, slot, p.x, p.y);
        }
    ticks(1);
    EXPECT_EQ(game.score, (std::array<int8_t, 4>{-128, 127, 127, 127}));
}

// [SECTION] Frame step

TEST(FrameStep, ClampsThenTicksOnlyWhileRunningAndNotOver) {
    loadScenario(openRows(6, 6), {teamText("P1.MOVE 0\n")});
    const Player& p = player(0, 0);
    game.score = {23, -12, 19, -9};
    captureStdout(frameStep);
    EXPECT_EQ(game.score, (std::array<int8_t, 4>{19, -9, 19, -9}));
    EXPECT_EQ(p.y, 0.0f) << "paused: no tick";
    game.running = 1;
    captureStdout(frameStep);
    EXPECT_EQ(p.y, 0.125f);
    game.end_requested = 1;
    EXPECT_NE(captureStdout(frameStep).find("Game over - Total scores:\n"), std::string::npos);
    const float count = p.commands[0].count;
    captureStdout(updateGame);
    EXPECT_EQ(p.commands[0].count, count) << "over: a tick changes nothing";
}

}  // namespace
