// The turn engine and the bomb passes, on small matches loaded from files.
#include "scenario.h"

#include <set>

namespace {

using fwtest::armBomb;
using fwtest::explodeBomb;
using fwtest::idleTeam;
using fwtest::openRows;
using fwtest::Scenario;
using fwtest::teamText;

// [SECTION] Walking, turning, waiting

struct Walk {
    const char* name;
    std::vector<std::string> rows;
    std::array<const char*, 4> types;  // of team 1
    const char* program;               // of team 1
    int ticks;
    float x, y;  // of player 1.1
    uint32_t pose;
    uint32_t anim_ticks;
    uint32_t cmd_index;
};

class Walking : public testing::TestWithParam<Walk> {};

// Player 1.1 starts on (0, 0) facing larger y, player 1.2 on (0, 1).
TEST_P(Walking, EndsWhereExpected) {
    const Walk& c = GetParam();
    Scenario s;
    s.load(c.rows, {teamText(c.types, c.program), idleTeam(), idleTeam(), idleTeam()});
    Scenario::ticks(c.ticks);
    const Player& p = Scenario::player(0, 0);
    EXPECT_NEAR(p.x, c.x, 1e-5);
    EXPECT_NEAR(p.y, c.y, 1e-5);
    EXPECT_EQ(p.pose, c.pose);
    EXPECT_EQ(p.anim_ticks, c.anim_ticks);
    EXPECT_EQ(p.cmd_index, c.cmd_index);
}

const std::array<const char*, 4> CAPTAINS = {"CAPTAIN", "CAPTAIN", "CAPTAIN", "CAPTAIN"};
const std::array<const char*, 4> HULK_FIRST = {"HULK", "CAPTAIN", "CAPTAIN", "CAPTAIN"};
const std::array<const char*, 4> GHOST_FIRST = {"GHOST", "CAPTAIN", "CAPTAIN", "CAPTAIN"};
const std::vector<std::string> OPEN = openRows(6, 6);
const std::vector<std::string> WALL_BELOW = {"------", "X-----", "------", "------", "------", "------"};

INSTANTIATE_TEST_SUITE_P(
    Programs, Walking,
    testing::Values(
        Walk{"MoveTwoCells", OPEN, CAPTAINS, "P1.MOVE 2\n", 16, 0, 2, 11, 4, 1},
        Walk{"HulkHalfWay", OPEN, HULK_FIRST, "P1.MOVE 1\n", 8, 0, 0.5f, 10, 2, 0},
        Walk{"GhostTenthsSumToACell", OPEN, GHOST_FIRST, "P1.MOVE 3\n", 30, 0, 3, 11, 0, 1},
        Walk{"WallAheadCountsDownInPlace", WALL_BELOW, CAPTAINS, "P1.MOVE 3\n", 24, 0, 0, 10, 0, 1},
        Walk{"EdgeAhead", OPEN, CAPTAINS, "P1.REVERSE\nP1.MOVE 1\n", 8, 0, 0, 7, 2, 2},
        Walk{"TurnAndFirstStepInOneTick", OPEN, CAPTAINS, "P1.LEFT\nP1.MOVE 2\n", 1, 0.125f, 0, 3, 1, 1},
        // Facing larger x, the end of a MOVE restarts the frame timer (MoveTwoCells shows larger y does not).
        Walk{"LargerXRestartsTimerAtEnd", OPEN, CAPTAINS, "P1.LEFT\nP1.MOVE 1\n", 8, 1, 0, 4, 1, 2},
        Walk{"MoveZeroWalksToTheEdgeAndStays", OPEN, CAPTAINS, "P1.MOVE 0\nP1.LEFT\n", 200, 0, 5, 9, 2, 0},
        Walk{"HugeCountNeverEnds", OPEN, CAPTAINS, "P1.MOVE -1\nP1.LEFT\n", 200, 0, 5, 9, 2, 0},
        Walk{"WaitKeepsPose", OPEN, CAPTAINS, "P1.WAIT 2\n", 16, 0, 0, 9, 0, 1},
        Walk{"ActiveBombBlocks", OPEN, CAPTAINS, "P1.WAIT 1\nP1.MOVE 2\nP2.DROP\n", 24, 0, 0, 11, 4, 2},
        Walk{"GhostWalksThroughBomb", OPEN, GHOST_FIRST, "P1.WAIT 1\nP1.MOVE 2\nP2.DROP\n", 30, 0, 2, 9, 2, 2},
        Walk{"OwnBombBehindDoesNotBlock", OPEN, CAPTAINS, "P1.DROP\nP1.MOVE 2\n", 17, 0, 2, 11, 4, 2}),
    [](const testing::TestParamInfo<Walk>& info) { return info.param.name; });

// [SECTION] Bomb timing

// A SAFETY player drops its only bomb in tick 1 and a second DROP waits for it to come back.
TEST(BombTiming, DetonatesHitsAndReturnsOnTime) {
    Scenario s;
    s.load(openRows(6, 6),
           {teamText({"SAFETY", "SAFETY", "SAFETY", "SAFETY"}, "P1.DROP\nP1.DROP\n"), idleTeam(), idleTeam(),
            idleTeam()},
           2);
    const Player& p = Scenario::player(0, 0);
    const Bomb& b = p.bombs[0];
    std::set<int> hit_ticks;
    for (int tick = 1; tick <= 190; ++tick) {
        const std::string out = Scenario::ticks(1);
        if (out.find("Bomb from player 1.1 hit player 1.1\nPlayer 1.1 survives!\n") != std::string::npos)
            hit_ticks.insert(tick);
        if (tick == 1) {
            EXPECT_EQ(p.cur_bombs, 0);
        }
        if (tick == 135) {
            EXPECT_EQ(b.state, BOMB_ACTIVE);
        }
        if (tick == 136) {
            EXPECT_EQ(b.state, BOMB_EXPLODING);
        }
        if (tick == 186) {
            EXPECT_EQ(p.cmd_index, 1u) << "the second DROP still waits";
        }
        if (tick == 187) {
            // The bomb came back in the explosion pass and the waiting DROP used it in the same tick.
            EXPECT_EQ(b.state, BOMB_ACTIVE);
            EXPECT_EQ(b.tick_count, 0);
            EXPECT_EQ(p.cur_bombs, 0);
            EXPECT_EQ(p.cmd_index, 2u);
        }
    }
    std::set<int> expected;
    for (int t = 137; t <= 187; ++t) expected.insert(t);
    EXPECT_EQ(hit_ticks, expected);
    EXPECT_EQ(game.score[0], 0);
    EXPECT_EQ(p.status, 0);
}

// [SECTION] Hits, damage and scores

struct Blast {
    const char* name;
    int victim_team;
    uint32_t victim_type;
    std::vector<std::pair<int, int>> owners;  // (team, player) of each exploding bomb reaching the victim
    int ticks;
    uint8_t status;
    int8_t health;
    std::array<int8_t, 4> score;
    const char* output;
};

class BlastOutcome : public testing::TestWithParam<Blast> {};

// The victim, player 3 of its team, stands on (4, 4) of an open 9 x 9 map; the bombs explode next to it.
TEST_P(BlastOutcome, HitsCostHealthAndScore) {
    const Blast& c = GetParam();
    Scenario s;
    s.load(openRows(9, 9), {idleTeam(), idleTeam(), idleTeam(), idleTeam()}, 2);
    Player& victim = Scenario::player(c.victim_team, 2);
    victim.type = c.victim_type;
    victim.health = c.victim_type == HULK ? 2 : 1;
    victim.x = 4;
    victim.y = 4;
    int slot_of[4][4] = {};
    for (size_t i = 0; i < c.owners.size(); ++i) {
        auto [t, p] = c.owners[i];
        Player& owner = Scenario::player(t, p);
        explodeBomb(owner, slot_of[t][p]++, i % 2 ? 5.0f : 3.0f, 4);
    }
    EXPECT_EQ(Scenario::ticks(c.ticks), c.output);
    EXPECT_EQ(victim.status, c.status);
    EXPECT_EQ(victim.health, c.health);
    EXPECT_EQ(game.score, c.score);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlastOutcome,
    testing::Values(
        Blast{"EnemyHit", 1, CAPTAIN, {{0, 0}}, 1, 1, 0, {1, 0, 0, 0}, "Bomb from player 1.1 hit player 2.3\n"},
        Blast{"TwoBombsOneTick",
              1,
              CAPTAIN,
              {{0, 0}, {0, 1}},
              1,
              1,
              -1,
              {2, 0, 0, 0},
              "Bomb from player 1.1 hit player 2.3\nBomb from player 1.2 hit player 2.3\n"},
        Blast{"OwnTeamHit", 0, CAPTAIN, {{0, 0}}, 1, 1, 0, {-1, 0, 0, 0}, "Bomb from player 1.1 hit player 1.3\n"},
        Blast{"OwnBombHitsOwner", 2, CAPTAIN, {{2, 2}}, 1, 1, 0, {0, 0, -1, 0},
              "Bomb from player 3.3 hit player 3.3\n"},
        Blast{"SafetySparedByOwnTeam", 0, SAFETY, {{0, 0}}, 3, 0, 1, {0, 0, 0, 0},
              "Bomb from player 1.1 hit player 1.3\nPlayer 1.3 survives!\n"
              "Bomb from player 1.1 hit player 1.3\nPlayer 1.3 survives!\n"
              "Bomb from player 1.1 hit player 1.3\nPlayer 1.3 survives!\n"},
        Blast{"SafetyHitByEnemy", 3, SAFETY, {{0, 0}}, 3, 1, 0, {1, 0, 0, 0}, "Bomb from player 1.1 hit player 4.3\n"},
        Blast{"HulkSurvivesOneHit", 1, HULK, {{0, 0}}, 1, 0, 1, {1, 0, 0, 0}, "Bomb from player 1.1 hit player 2.3\n"},
        Blast{"HulkDiesOnSecondHit", 1, HULK, {{0, 0}}, 5, 1, 0, {2, 0, 0, 0},
              "Bomb from player 1.1 hit player 2.3\nBomb from player 1.1 hit player 2.3\n"},
        Blast{"HulkOfOwnTeam", 0, HULK, {{0, 0}}, 2, 1, 0, {-2, 0, 0, 0},
              "Bomb from player 1.1 hit player 1.3\nBomb from player 1.1 hit player 1.3\n"}),
    [](const testing::TestParamInfo<Blast>& info) { return info.param.name; });

TEST(Damage, DeathStopsTheProgramInTheSameTickAndTheBodyFalls) {
    Scenario s;
    s.load(openRows(9, 9), {idleTeam(), teamText({"CAPTAIN", "CAPTAIN", "CAPTAIN", "CAPTAIN"}, "P1.MOVE 3\n"),
                            idleTeam(), idleTeam()});
    Player& walker = Scenario::player(1, 0);  // on (0, 8) facing larger x
    Scenario::ticks(2);
    ASSERT_FLOAT_EQ(walker.x, 0.25f);
    // A bomb of team 1 whose blast covers the walker's path; its owner is long dead, which changes nothing.
    Player& owner = Scenario::player(0, 0);
    owner.status = 1;
    owner.pose = POSE_DEAD;
    explodeBomb(owner, 0, 0, 8);

    Scenario::ticks(1);
    const int8_t score_at_death = game.score[0];
    EXPECT_EQ(walker.status, 1);
    EXPECT_FLOAT_EQ(walker.x, 0.25f) << "the dead do not take their step";
    EXPECT_EQ(walker.cmd_index, walker.cmd_count);
    EXPECT_EQ(walker.pose, POSE_DYING);
    for (uint32_t frame = 17; frame <= POSE_DEAD; ++frame) {
        Scenario::ticks(6);
        EXPECT_EQ(walker.pose, frame - 1);
        Scenario::ticks(1);
        EXPECT_EQ(walker.pose, frame);
    }
    Scenario::ticks(40);
    EXPECT_EQ(walker.pose, POSE_DEAD);
    EXPECT_EQ(game.score[0], score_at_death) << "the dead are not hit again";
}

// Each bomb of a row goes off one tick after the blast of the one before reaches it; a wall stops the row, and
// a HOARDER's fourth slot is set off by a player who owns a single slot.
TEST(Chain, OneBombPerTick) {
    std::vector<std::string> rows = openRows(12, 9);
    rows[4][9] = 'X';
    Scenario s;
    s.load(rows,
           {teamText({"HOARDER", "CAPTAIN", "CAPTAIN", "CAPTAIN"}), teamText({"GHOST", "CAPTAIN", "CAPTAIN", "CAPTAIN"}),
            idleTeam(), idleTeam()},
           3);
    armBomb(Scenario::player(1, 0), 0, 2, 4, true);
    armBomb(Scenario::player(0, 0), 3, 4, 4);
    armBomb(Scenario::player(0, 0), 0, 6, 4);
    armBomb(Scenario::player(2, 0), 1, 8, 4);
    armBomb(Scenario::player(3, 0), 0, 10, 4);  // behind the wall
    const Bomb* row[] = {&Scenario::player(1, 0).bombs[0], &Scenario::player(0, 0).bombs[3],
                         &Scenario::player(0, 0).bombs[0], &Scenario::player(2, 0).bombs[1]};
    std::vector<std::string> outputs;
    for (int tick = 1; tick <= 6; ++tick) {
        outputs.push_back(Scenario::ticks(1));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(row[i]->state, tick > i ? BOMB_EXPLODING : BOMB_ACTIVE) << "bomb " << i << " tick " << tick;
    }
    EXPECT_EQ(Scenario::player(3, 0).bombs[0].state, BOMB_ACTIVE);
    EXPECT_EQ(outputs[0], "");
    EXPECT_EQ(outputs[1], "Bomb from player 2.1 hit bomb from player 1.1\n");
    // Exploding bombs are reached again but not set off again; only the next active one is.
    EXPECT_EQ(outputs[2], "Bomb from player 1.1 hit bomb from player 1.1\n");
    EXPECT_EQ(outputs[3], "Bomb from player 1.1 hit bomb from player 3.1\n");
}

// Scores saturate at the int8 limits instead of wrapping when one tick brings very many hits.
TEST(Score, SaturatesInsteadOfWrapping) {
    Scenario s;
    const std::string hoarders = teamText({"HOARDER", "HOARDER", "HOARDER", "HOARDER"});
    s.load(openRows(9, 9), {hoarders, hoarders, hoarders, hoarders});
    for (int t = 0; t < 4; ++t) {
        for (int p = 0; p < 4; ++p) {
            Player& pl = Scenario::player(t, p);
            pl.x = 4;
            pl.y = 4;
            for (int slot = 0; slot < 4; ++slot) explodeBomb(pl, slot, 4, 4);
        }
    }
    // Every bomb: four own players (-4) and twelve enemies (+12); 16 bombs a team make +128.
    Scenario::ticks(1);
    EXPECT_EQ(game.score, (std::array<int8_t, 4>{127, 127, 127, 127}));

    s.load(openRows(9, 9), {hoarders, idleTeam(), idleTeam(), idleTeam()});
    game.score[0] = -100;
    for (int p = 0; p < 4; ++p) {
        Player& pl = Scenario::player(0, p);
        pl.x = 4;
        pl.y = 4;
        for (int slot = 0; slot < 4; ++slot) explodeBomb(pl, slot, 4, 4);
    }
    Scenario::ticks(1);  // 64 own hits
    EXPECT_EQ(game.score[0], -128);
}

// [SECTION] Frame step

TEST(FrameStep, ClampsThenTicksOnlyWhileRunningAndNotOver) {
    Scenario s;
    s.load(openRows(6, 6), {teamText({"CAPTAIN", "CAPTAIN", "CAPTAIN", "CAPTAIN"}, "P1.MOVE 0\n"), idleTeam(),
                            idleTeam(), idleTeam()});
    const Player& p = Scenario::player(0, 0);
    game.score = {23, -12, 19, -9};
    fwtest::captureStdout(frameStep);
    EXPECT_EQ(game.score, (std::array<int8_t, 4>{19, -9, 19, -9}));
    EXPECT_EQ(p.y, 0.0f) << "paused: no tick";
    game.running = 1;
    fwtest::captureStdout(frameStep);
    EXPECT_EQ(p.y, 0.125f);
    // MOVE 0 keeps the match going until the end is asked for.
    for (int i = 0; i < 500; ++i) fwtest::captureStdout(frameStep);
    EXPECT_EQ(game.game_over, 0);
    game.end_requested = 1;
    const std::string out = fwtest::captureStdout(frameStep);
    EXPECT_EQ(game.game_over, 1);
    EXPECT_NE(out.find("Game over - Total scores:\n"), std::string::npos);
    const float count = p.commands[0].count;
    fwtest::captureStdout(frameStep);
    EXPECT_EQ(p.commands[0].count, count) << "over: no tick";
    EXPECT_EQ(fwtest::captureStdout(updateGame), "");
}

}  // namespace
