// playfield_bombs_test.cpp: the map tiles and the bombs and explosions, drawn in a real offscreen context and read
// back from the frame.
#include "gl_test_support.h"

#include "support/test_support.h"

namespace {

using gltest::Offscreen;

// [SECTION] Playfield -----------------------------------------------------------------------------------------------

enum class Tile { Block, Shaded, Plain };

struct TileCase {
    int x, y;
    Tile tile;
};

double tileS(Tile tile) {
    switch (tile) {
    case Tile::Block: return 0.0;
    case Tile::Shaded: return 0.25;
    default: return 0.5;
    }
}

TEST(PlayfieldTest, RingWallsAndShadingOnANonSquareMap) {
    fwtest::resetGlobals();
    gltest::setMap({
        "X.x..",  // a lower-case x is ground
        ".X...",
        ".....",
        ".....",
    });
    Offscreen view;
    drawMapgrid();

    const TileCase cases[] = {
        // The ring lies exactly around the 5 x 4 grid, corners included.
        {-1, -1, Tile::Block}, {5, -1, Tile::Block}, {-1, 4, Tile::Block}, {5, 4, Tile::Block},
        {2, -1, Tile::Block}, {-1, 2, Tile::Block}, {5, 2, Tile::Block}, {2, 4, Tile::Block},
        // Row 0 is shaded wherever it is ground: the border lies above it.
        {0, 0, Tile::Block}, {1, 0, Tile::Shaded}, {2, 0, Tile::Shaded}, {4, 0, Tile::Shaded},
        // Under a wall shaded; under ground (a lower-case x too) plain; a wall is a block whatever lies above.
        {0, 1, Tile::Shaded}, {1, 1, Tile::Block}, {2, 1, Tile::Plain}, {1, 2, Tile::Shaded},
        {0, 2, Tile::Plain}, {4, 3, Tile::Plain},
    };
    for (const TileCase& c : cases) {
        const double s0 = tileS(c.tile);
        EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, float(c.x), float(c.y), s0, s0 + 0.25, 0.0, 1.0))
            << "cell " << c.x << ", " << c.y;
    }
    // Nothing beyond the ring.
    EXPECT_TRUE(view.cellIs(-2.0f, 1.0f, gltest::CLEAR_COLOUR));
    EXPECT_TRUE(view.cellIs(6.0f, 4.0f, gltest::CLEAR_COLOUR));
}

TEST(PlayfieldTest, OneByOneMapIsOneTileInARingOfNine) {
    fwtest::resetGlobals();
    gltest::setMap({"."});
    Offscreen view;
    drawMapgrid();
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) {
            const double s0 = x == 0 && y == 0 ? 0.25 : 0.0;
            EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, float(x), float(y), s0, s0 + 0.25, 0.0, 1.0));
        }
}

// [SECTION] Bombs -----------------------------------------------------------------------------------------------------

class BombDrawTest : public testing::TestWithParam<std::pair<uint32_t, double>> {};

TEST_P(BombDrawTest, FuseFrameSelectsAThirdOfTheSprite) {
    fwtest::resetGlobals();
    gltest::setMap({"....", "...."});
    Offscreen view;
    Bomb b{};
    b.state = BOMB_ACTIVE;
    b.x = 2.0f;
    b.y = 1.0f;
    b.fuse_frame = GetParam().first;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BOMB]);
    drawBomb(b);
    const double s0 = GetParam().second;
    EXPECT_TRUE(view.showsCell(TEX_BOMB, 2.0f, 1.0f, s0, s0 + 1.0 / 3.0, 0.0, 1.0));
}

INSTANTIATE_TEST_SUITE_P(Frames, BombDrawTest,
                         testing::Values(std::pair{0u, 0.0}, std::pair{1u, 1.0 / 3.0}, std::pair{2u, 2.0 / 3.0},
                                         std::pair{3u, 1.0 / 3.0}, std::pair{4000000000u, 1.0 / 3.0}));

// [SECTION] Explosions ------------------------------------------------------------------------------------------------

// Texture rectangle of a piece kind in frame f: left, right, lower, upper (screen edges).
struct PieceRect {
    double s_left, s_right, t_bottom, t_top;
};
PieceRect pieceRect(uint32_t f, uint32_t kind) {
    const double n = 0.1 * f;  // narrow pieces
    const double h = 0.2 * f;  // horizontal arm pieces: end, then middle
    const PieceRect table[9] = {
        {n, n + 0.1, 1.0, 0.75},             // centre, upside down
        {h + 0.1, h + 0.2, 0.0, 0.25},       // toward smaller x, middle
        {h, h + 0.1, 0.0, 0.25},             // toward smaller x, end
        {h + 0.2, h + 0.1, 0.0, 0.25},       // toward larger x, middle, mirrored
        {h + 0.1, h, 0.0, 0.25},             // toward larger x, end, mirrored
        {n, n + 0.1, 0.25, 0.5},             // up, middle
        {n, n + 0.1, 0.5, 0.75},             // up, end
        {n, n + 0.1, 0.5, 0.25},             // down, middle, upside down
        {n, n + 0.1, 0.75, 0.5},             // down, end, upside down
    };
    return table[kind];
}

struct Piece {
    int x, y;
    uint32_t kind;
};

struct BoomCase {
    const char* name;
    std::vector<std::string> map;
    int bx, by;
    uint8_t range;
    uint32_t frame;
    std::vector<Piece> pieces;           // cells that show a piece
    std::vector<std::pair<int, int>> empty;  // cells that show nothing
};

void PrintTo(const BoomCase& c, std::ostream* os) { *os << c.name; }

class BoomDrawTest : public testing::TestWithParam<BoomCase> {};

TEST_P(BoomDrawTest, ArmsEndAtEdgesWallsAndRange) {
    const BoomCase& c = GetParam();
    fwtest::resetGlobals();
    gltest::setMap(c.map);
    Offscreen view;
    Bomb b{};
    b.state = BOMB_EXPLODING;
    b.x = float(c.bx);
    b.y = float(c.by);
    b.range = c.range;
    b.blast_frame = c.frame;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_EXPLOSION]);
    drawBoom(b);
    for (const Piece& p : c.pieces) {
        const PieceRect r = pieceRect(c.frame, p.kind);
        EXPECT_TRUE(view.showsCell(TEX_EXPLOSION, float(p.x), float(p.y), r.s_left, r.s_right, r.t_bottom, r.t_top))
            << "piece " << p.kind << " at " << p.x << ", " << p.y;
    }
    for (auto [x, y] : c.empty) EXPECT_TRUE(view.cellIs(float(x), float(y), gltest::CLEAR_COLOUR));
}

const std::vector<std::string> OPEN_6x5 = {"......", "......", "......", "......", "......"};

INSTANTIATE_TEST_SUITE_P(
    Cases, BoomDrawTest,
    testing::Values(
        BoomCase{"CornerRangeTwo", OPEN_6x5, 0, 0, 2, 0,
                 {{0, 0, 0}, {1, 0, 3}, {2, 0, 4}, {0, 1, 7}, {0, 2, 8}},
                 {{3, 0}, {0, 3}, {1, 1}, {-1, 0}, {0, -1}}},
        // A wall two cells to the left cuts the arm to one middle piece; the grid edge on the right cuts it too.
        BoomCase{"WallAndEdgeCutArms",
                 {"......", "......", ".X....", "......", "......"}, 3, 2, 3, 1,
                 {{3, 2, 0}, {2, 2, 1}, {4, 2, 3}, {5, 2, 3}, {3, 1, 5}, {3, 0, 5}, {3, 3, 7}, {3, 4, 7}},
                 {{1, 2}, {0, 2}, {3, -1}, {3, 5}}},
        BoomCase{"AdjacentWallLeavesNoArm", {"...", ".X.", ".*."}, 1, 2, 2, 2,
                 {{1, 2, 0}, {0, 2, 1}, {2, 2, 3}},
                 {{1, 1}, {1, 0}}},
        BoomCase{"RangeOneIsEndPiecesAlone", OPEN_6x5, 2, 2, 1, 3,
                 {{2, 2, 0}, {1, 2, 2}, {3, 2, 4}, {2, 1, 6}, {2, 3, 8}},
                 {{0, 2}, {4, 2}, {2, 0}, {2, 4}}},
        // Frame 4 takes the last columns: left middle s 0.9..1.0, left end 0.8..0.9, centre 0.4..0.5.
        BoomCase{"LastFrame", OPEN_6x5, 3, 2, 2, 4,
                 {{3, 2, 0}, {2, 2, 1}, {1, 2, 2}, {4, 2, 3}, {5, 2, 4}, {3, 1, 5}, {3, 0, 6}, {3, 3, 7}, {3, 4, 8}},
                 {}},
        BoomCase{"RangeZeroDrawsNothing", OPEN_6x5, 2, 2, 0, 1, {}, {{2, 2}, {1, 2}, {3, 2}}}),
    [](const testing::TestParamInfo<BoomCase>& info) { return std::string(info.param.name); });

TEST(BoomDrawTest, ExplosionLiesInFrontOfABombOnItsCell) {
    fwtest::resetGlobals();
    gltest::setMap({"...", "..."});
    Offscreen view;
    Bomb b{};
    b.x = 1.0f;
    b.y = 0.0f;
    b.range = 1;
    // Drawn in the wrong order on purpose: depth alone must decide.
    glBindTexture(GL_TEXTURE_2D, textures[TEX_EXPLOSION]);
    drawBoom(b);
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BOMB]);
    drawBomb(b);
    EXPECT_TRUE(view.showsCell(TEX_EXPLOSION, 1.0f, 0.0f, 0.0, 0.1, 1.0, 0.75));
}

}  // namespace
