// Blast reach at the edges of its rule, and the closed form of the reach test that the engine uses, compared with
// the arm walk on random maps. Step blocking is tested through walking players in the engine tests.
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
const std::vector<std::string> WALLED = {"---------", "---------", "---------", "--X------",
                                         "---------", "---------", "---------"};

Bomb bombAt(float x, float y, uint8_t range) {
    return Bomb{.state = BOMB_EXPLODING, .range = range, .x = x, .y = y};
}

const float NaN = std::numeric_limits<float>::quiet_NaN();
// The float nearest to 16/17 lies above it, so two positions that far apart do not overlap; one ulp less does.
const float TOL = 16.0f / 17.0f;
const float BELOW_TOL = std::nextafter(TOL, 0.0f);

// A bomb on (bx, by) with `range` on the 9 x 7 grid with one wall, and whether it reaches (x, y).
struct Reach {
    const char* name;
    float bx, by;
    uint8_t range;
    float x, y;
    int expected;
};

class BoomIntersect : public testing::TestWithParam<Reach> {};

TEST_P(BoomIntersect, ReachesTheCrossOnly) {
    const Reach& c = GetParam();
    fwtest::resetGlobals();
    setGrid(WALLED);
    const Bomb b = bombAt(c.bx, c.by, c.range);
    EXPECT_EQ(boomIntersect(&b, c.x, c.y), c.expected);
    EXPECT_EQ(crossReaches(measureBlast(b), c.x, c.y), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BoomIntersect,
    testing::Values(Reach{"RangeZeroCentre", 4, 3, 0, 4.9f, 3.9f, 1}, Reach{"RangeZeroNoArm", 4, 3, 0, 5, 3, 0},
                    Reach{"CentreStrict", 0, 0, 0, TOL, 0, 0}, Reach{"CentreJustInside", 0, 0, 0, BELOW_TOL, 0, 1},
                    Reach{"ArmEndStrict", 1, 3, 1, -TOL, 3, 0}, Reach{"ArmEndJustInside", 1, 3, 1, -BELOW_TOL, 3, 1},
                    // 1 minus this float is below 16/17, but rounds up to the float above it.
                    Reach{"DifferenceInDouble", 1, 3, 0, static_cast<float>(1.0 - 16.0 / 17.0), 3, 1},
                    Reach{"RightAtRange", 4, 3, 2, 6, 3, 1}, Reach{"RightBeyondRange", 4, 3, 2, 7, 3, 0},
                    Reach{"DownBeyondRange", 4, 3, 2, 4, 5.95f, 0}, Reach{"WallCellItself", 4, 3, 2, 2, 3, 0},
                    Reach{"BehindWall", 4, 3, 5, 1, 3, 0}, Reach{"Diagonal", 4, 3, 2, 5, 4, 0},
                    Reach{"BesideArm", 4, 3, 2, 5, 3.9f, 1}, Reach{"NoWrapToLastColumn", 0, 0, 2, 8, 0, 0},
                    Reach{"LastCornerNoWrap", 8, 6, 2, 0, 6, 0}), fwtest::caseName);

// The engine tests points against a cross measured once per explosion; it must agree with the arm walk bit for
// bit, right at the edges of the tolerance too. The cheap test by cells that comes first may pass more points,
// never fewer.
TEST(BlastCross, AgreesWithArmWalkOnRandomPoints) {
    fwtest::resetGlobals();
    std::mt19937 rng(20261206);
    auto uniform = [&rng](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const float odd[] = {NaN, std::numeric_limits<float>::infinity(), -1.0e30f, 3.0e38f, -0.0f};
    int hits = 0, points = 0, passed_over = 0;
    for (int map = 0; map < 1500; ++map) {
        const int w = 2 + pick(14), h = 2 + pick(14);
        std::vector<std::string> rows(h, std::string(w, '-'));
        for (auto& r : rows)
            for (auto& cell : r) cell = pick(4) == 0 ? 'X' : '-';
        setGrid(rows);
        const uint8_t range = static_cast<uint8_t>(pick(10) == 0 ? 255 : pick(7));
        const Bomb b = bombAt(static_cast<float>(pick(w)), static_cast<float>(pick(h)), range);
        const BlastCross cross = measureBlast(b);
        ASSERT_TRUE(cross.closed_form);
        for (int i = 0; i < 150; ++i) {
            float x = uniform(-2.0f, w + 2.0f), y = uniform(-2.0f, h + 2.0f);  // anywhere around the grid
            const int kind = pick(4);
            if (kind == 1) {  // one ulp either side of the tolerance around a cell of the bomb's row or column
                const float off = pick(2) ? BELOW_TOL : TOL, across = pick(2) ? uniform(-1.0f, 1.0f) : 0.0f;
                const bool along_x = pick(2);
                const float cell = static_cast<float>(pick(along_x ? w : h)) + (pick(2) ? off : -off);
                x = along_x ? cell : b.x + across;
                y = along_x ? b.y + across : cell;
            } else if (kind == 2) {  // tiny offsets, where the double difference rounds
                const float tiny = (pick(2) ? 1.0e-30f : -1.0e-7f) * static_cast<float>(pick(3));
                x = b.x + static_cast<float>(pick(9) - 4) + tiny;
                y = b.y + static_cast<float>(pick(9) - 4) * static_cast<float>(pick(2));
            } else if (kind == 3) {  // values no player ever has
                x = pick(2) ? odd[pick(5)] : b.x;
                y = pick(2) ? odd[pick(5)] : b.y;
            }
            const int expected = boomIntersect(&b, x, y);
            ASSERT_EQ(crossReaches(cross, x, y), expected)
                << "bomb (" << b.x << ", " << b.y << ") range " << int(range) << " point (" << x << ", " << y << ")";
            const bool may = crossMayReach(cross, cellBelow(x), cellBelow(y));
            ASSERT_TRUE(may || expected == 0) << "passed over: point (" << x << ", " << y << ")";
            if (std::isfinite(x) && std::fabs(x) < 1.0e9f) {
                ASSERT_EQ(cellBelow(x), static_cast<long>(std::floor(x))) << x;
            }
            hits += expected;
            passed_over += may ? 0 : 1;
            ++points;
        }
    }
    // Both answers must be well represented for the comparison to mean anything.
    EXPECT_GT(hits, points / 10);
    EXPECT_LT(hits, points * 9 / 10);
    EXPECT_GT(passed_over, points / 10);
}

}  // namespace
