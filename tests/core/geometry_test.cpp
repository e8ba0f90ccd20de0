// Blast reach and step blocking, and the closed form of the reach test that the engine uses.
#include "core/fusewick.h"
#include "core/geometry.h"
#include "support/test_support.h"

#include <cmath>
#include <limits>
#include <random>

namespace {

void setGrid(const std::vector<std::string>& rows) {
    game.width = static_cast<uint16_t>(rows.at(0).size());
    game.height = static_cast<uint16_t>(rows.size());
    game.rows = rows;
}

// 9 x 7, one wall at (2, 3).
const std::vector<std::string> WALLED = {
    "---------", "---------", "---------", "--X------", "---------", "---------", "---------",
};

Bomb bombAt(float x, float y, uint8_t range) {
    Bomb b{};
    b.state = BOMB_EXPLODING;
    b.x = x;
    b.y = y;
    b.range = range;
    return b;
}

const float NaN = std::numeric_limits<float>::quiet_NaN();

TEST(IntersectEq, ToleranceIsStrictAndInDouble) {
    EXPECT_EQ(intersectEq(3, 5, 3, 5), 1);
    EXPECT_EQ(intersectEq(3, 5, 3.94f, 4.06f), 1);
    EXPECT_EQ(intersectEq(3, 5, 3.95f, 5), 0);
    EXPECT_EQ(intersectEq(3, 5, 3, 5.95f), 0);
    // The float nearest to 16/17 lies above it, so that difference is already too far.
    EXPECT_GT(static_cast<double>(16.0f / 17.0f), 16.0 / 17.0);
    EXPECT_EQ(intersectEq(0, 0, 16.0f / 17.0f, 0), 0);
    EXPECT_EQ(intersectEq(0, 0, std::nextafter(16.0f / 17.0f, 0.0f), 0), 1);
    EXPECT_EQ(intersectEq(0, 0, NaN, 0), 0);
    EXPECT_EQ(intersectEq(0, 0, 0, NaN), 0);
}

struct Reach {
    const char* name;
    float bx, by;
    uint8_t range;
    float x, y;
    int expected;
};

class BoomIntersect : public testing::TestWithParam<Reach> {
protected:
    void SetUp() override {
        fwtest::resetGlobals();
        setGrid(WALLED);
    }
};

TEST_P(BoomIntersect, ReachesTheCrossOnly) {
    const Reach& c = GetParam();
    const Bomb b = bombAt(c.bx, c.by, c.range);
    EXPECT_EQ(boomIntersect(&b, c.x, c.y), c.expected);
    EXPECT_EQ(crossReaches(measureBlast(b), c.x, c.y), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoomIntersect,
    testing::Values(Reach{"Centre", 4, 3, 2, 4, 3, 1}, Reach{"RangeZeroCentre", 4, 3, 0, 4.9f, 3, 1}, Reach{"RightAtRange", 4, 3, 2, 6, 3, 1},
                    Reach{"RightBeyondRange", 4, 3, 2, 7, 3, 0}, Reach{"UpAtRange", 4, 3, 2, 4, 1, 1},
                    Reach{"LeftBeforeWall", 4, 3, 2, 3, 3, 1}, Reach{"WallCellItself", 4, 3, 2, 2, 3, 0},
                    Reach{"BehindWall", 4, 3, 5, 1, 3, 0}, Reach{"NearWallFromOpenSide", 4, 3, 2, 2.06f, 3, 1},
                    Reach{"Diagonal", 4, 3, 2, 5, 4, 0}, Reach{"BesideArm", 4, 3, 2, 5, 3.9f, 1},
                    Reach{"InLine094", 4, 3, 2, 6.94f, 3, 1}, Reach{"InLine095", 4, 3, 2, 6.95f, 3, 0},
                    Reach{"WalkerBetweenCells", 4, 3, 2, 6.5f, 3, 1}, Reach{"FirstColumnNoLeftArm", 0, 0, 2, -1, 0, 0}, Reach{"NoWrapToLastColumn", 0, 0, 2, 8, 0, 0},
                    Reach{"LastCornerNoWrap", 8, 6, 2, 0, 6, 0}, Reach{"NaNPoint", 4, 3, 2, NaN, 3, 0}),
    [](const testing::TestParamInfo<Reach>& info) { return info.param.name; });

struct Step {
    const char* name;
    uint32_t type;
    uint32_t pose;
    float x, y;
    uint8_t bomb_state;  // of a bomb of team 3 player 2 at (5, 3); 0: none
    int bomb_slot;
    int expected;
};

class ComputeIntersect : public testing::TestWithParam<Step> {
protected:
    void SetUp() override {
        fwtest::resetGlobals();
        setGrid(WALLED);
        for (Team& t : game.teams)
            for (Player& p : t.players) p.max_bombs = 2;
    }
};

TEST_P(ComputeIntersect, ClosedByEdgeWallOrActiveBomb) {
    const Step& c = GetParam();
    if (c.bomb_state != 0) {
        Bomb& b = game.teams[2].players[1].bombs.at(c.bomb_slot);
        b = bombAt(5, 3, 2);
        b.state = c.bomb_state;
    }
    Player walker{};
    walker.type = c.type;
    walker.pose = c.pose;
    walker.x = c.x;
    walker.y = c.y;
    // Another player on the cell ahead never blocks.
    game.teams[1].players[0].x = c.x + 1;
    game.teams[1].players[0].y = c.y;
    EXPECT_EQ(computeIntersect(&walker), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComputeIntersect,
    testing::Values(Step{"FirstColumnFacingSmallerX", CAPTAIN, 0, 0, 3, 0, 0, 1},
                    Step{"LastColumnFacingLargerX", CAPTAIN, 5, 8, 3, 0, 0, 1},
                    Step{"LastRowFacingLargerY", CAPTAIN, 9, 4, 6, 0, 0, 1},
                    Step{"OpenCell", CAPTAIN, 3, 6, 3, 0, 0, 0},
                    Step{"Wall", CAPTAIN, 1, 3, 3, 0, 0, 1}, Step{"WallStopsGhost", GHOST, 2, 3, 3, 0, 0, 1},
                    Step{"ActiveBomb", CAPTAIN, 3, 4, 3, BOMB_ACTIVE, 0, 1},
                    Step{"GhostPassesActiveBomb", GHOST, 3, 4, 3, BOMB_ACTIVE, 0, 0},
                    Step{"ExplodingBombOpen", CAPTAIN, 3, 4, 3, BOMB_EXPLODING, 0, 0},
                    Step{"SlotBeyondMaxBombsIgnored", CAPTAIN, 3, 4, 3, BOMB_ACTIVE, 3, 0},
                    Step{"DyingFacesNowhere", CAPTAIN, POSE_DYING, 0, 3, 0, 0, 0},
                    Step{"DeadFacesNowhere", CAPTAIN, POSE_DEAD, 8, 6, 0, 0, 0}),
    [](const testing::TestParamInfo<Step>& info) { return info.param.name; });

// The engine tests points against a cross measured once per tick; it must agree with the arm walk bit for bit,
// right at the edges of the tolerance too.
TEST(BlastCross, AgreesWithArmWalkOnRandomPoints) {
    fwtest::resetGlobals();
    std::mt19937 rng(20261206);
    auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const float tol = 16.0f / 17.0f;
    int hits = 0;
    int points = 0;
    for (int map = 0; map < 1500; ++map) {
        const int w = 2 + pick(14);
        const int h = 2 + pick(14);
        std::vector<std::string> rows(h, std::string(w, '-'));
        for (auto& r : rows)
            for (auto& cell : r)
                if (pick(4) == 0) cell = 'X';
        setGrid(rows);
        const uint8_t range = static_cast<uint8_t>(pick(10) == 0 ? 255 : pick(7));
        const Bomb b = bombAt(static_cast<float>(pick(w)), static_cast<float>(pick(h)), range);
        const BlastCross cross = measureBlast(b);
        ASSERT_TRUE(cross.closed_form);
        for (int i = 0; i < 150; ++i) {
            float x = 0;
            float y = 0;
            switch (pick(4)) {
            case 0:  // anywhere around the grid
                x = uniform(-2.0f, static_cast<float>(w) + 2.0f);
                y = uniform(-2.0f, static_cast<float>(h) + 2.0f);
                break;
            case 1: {  // one ulp either side of the tolerance around a cell of the bomb's row or column
                const float off = pick(2) ? std::nextafter(tol, 0.0f) : tol;
                const float across = pick(2) ? uniform(-1.0f, 1.0f) : 0.0f;
                if (pick(2)) {
                    const float cell = static_cast<float>(pick(w));
                    x = pick(2) ? cell + off : cell - off;
                    y = b.y + across;
                } else {
                    const float cell = static_cast<float>(pick(h));
                    x = b.x + across;
                    y = pick(2) ? cell + off : cell - off;
                }
                break;
            }
            case 2:  // tiny offsets, where the double difference rounds
                x = b.x + static_cast<float>(pick(9) - 4) + (pick(2) ? 1.0e-30f : -1.0e-7f) * static_cast<float>(pick(3));
                y = b.y + static_cast<float>(pick(9) - 4) * static_cast<float>(pick(2));
                break;
            default: {  // values no player ever has
                const float odd[] = {NaN, std::numeric_limits<float>::infinity(), -1.0e30f, 3.0e38f, -0.0f};
                x = pick(2) ? odd[pick(5)] : b.x;
                y = pick(2) ? odd[pick(5)] : b.y;
                break;
            }
            }
            const int expected = boomIntersect(&b, x, y);
            ASSERT_EQ(crossReaches(cross, x, y), expected) << "bomb (" << b.x << ", " << b.y << ") range "
                                                          << int(range) << " point (" << x << ", " << y << ")";
            hits += expected;
            ++points;
        }
    }
    // Both answers must be well represented for the comparison to mean anything.
    EXPECT_GT(hits, points / 10);
    EXPECT_LT(hits, points * 9 / 10);
}

}  // namespace
