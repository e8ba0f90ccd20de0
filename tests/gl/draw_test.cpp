// draw_test.cpp: the playfield, bombs, explosions and players, drawn in a real offscreen context and read back from
// the frame; whole frames for the depth order and transparent texels; the window's size.
#include "gl_test_support.h"

#include "support/test_support.h"

namespace {

using gltest::CLEAR_COLOUR;
using gltest::Offscreen;

// [SECTION] Playfield -----------------------------------------------------------------------------------------------

TEST(PlayfieldTest, RingWallsAndShadingOnANonSquareMap) {
    fwtest::resetGlobals();
    gltest::setMap({"X.x..", ".X...", ".....", "....."});  // a lower-case x is ground
    Offscreen view;
    drawMapgrid();
    constexpr double BLOCK = 0.0, SHADED = 0.25, PLAIN = 0.5;
    const struct {
        int x, y;
        double s0;
    } cases[] = {
        // The ring lies exactly around the 5 x 4 grid, corners included.
        {-1, -1, BLOCK}, {5, -1, BLOCK}, {-1, 4, BLOCK}, {5, 4, BLOCK}, {2, -1, BLOCK}, {-1, 2, BLOCK}, {2, 4, BLOCK},
        // Row 0 is shaded wherever it is ground; under a wall shaded, under ground (a lower-case x too) plain.
        {0, 0, BLOCK}, {1, 0, SHADED}, {2, 0, SHADED}, {0, 1, SHADED}, {1, 1, BLOCK}, {2, 1, PLAIN},
        {1, 2, SHADED}, {0, 2, PLAIN}, {4, 3, PLAIN},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, float(c.x), float(c.y), c.s0, c.s0 + 0.25, 0.0, 1.0))
            << c.x << ", " << c.y;
    EXPECT_EQ(view.at(-1.5f, 1.5f), CLEAR_COLOUR);  // nothing beyond the ring
}

// [SECTION] Bombs and explosions ------------------------------------------------------------------------------------

TEST(BombDrawTest, FuseFrameSelectsAThirdOfTheSprite) {
    fwtest::resetGlobals();
    gltest::setMap({"....", "...."});
    Offscreen view;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BOMB]);
    const double thirds[] = {0.0, 1.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0};  // any frame beyond 2 shows the middle one
    for (uint32_t frame = 0; frame < 4; ++frame) {
        Bomb b{};
        b.x = float(frame);
        b.fuse_frame = frame;
        drawBomb(b);
        EXPECT_TRUE(view.showsCell(TEX_BOMB, float(frame), 0.0f, thirds[frame], thirds[frame] + 1 / 3.0, 0.0, 1.0));
    }
}

// Texture rectangle of an explosion piece: left, right, lower, upper screen edges.
struct PieceRect {
    double s_left, s_right, t_bottom, t_top;
};
PieceRect pieceRect(uint32_t f, uint32_t kind) {
    const double n = 0.1 * f, h = 0.2 * f;  // narrow pieces; horizontal arm pieces (end, then middle)
    const PieceRect table[9] = {
        {n, n + 0.1, 1.0, 0.75},        // centre, upside down
        {h + 0.1, h + 0.2, 0.0, 0.25},  // toward smaller x: middle, end
        {h, h + 0.1, 0.0, 0.25},
        {h + 0.2, h + 0.1, 0.0, 0.25},  // toward larger x: mirrored
        {h + 0.1, h, 0.0, 0.25},
        {n, n + 0.1, 0.25, 0.5},        // up: middle, end
        {n, n + 0.1, 0.5, 0.75},
        {n, n + 0.1, 0.5, 0.25},        // down: upside down
        {n, n + 0.1, 0.75, 0.5},
    };
    return table[kind];
}

struct BoomCase {
    const char* name;
    std::vector<std::string> map;
    int bx, by;
    uint8_t range;
    uint32_t frame;
    std::vector<std::array<int, 3>> pieces;  // x, y, kind
    std::vector<std::pair<int, int>> empty;  // cells showing nothing
};
void PrintTo(const BoomCase& c, std::ostream* os) { *os << c.name; }

class BoomDrawTest : public testing::TestWithParam<BoomCase> {};

TEST_P(BoomDrawTest, ArmsEndAtEdgesWallsAndRange) {
    const BoomCase& c = GetParam();
    fwtest::resetGlobals();
    gltest::setMap(c.map);
    Offscreen view;
    Bomb b{};
    b.x = float(c.bx);
    b.y = float(c.by);
    b.range = c.range;
    b.blast_frame = c.frame;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_EXPLOSION]);
    drawBoom(b);
    for (auto [x, y, kind] : c.pieces) {
        const PieceRect r = pieceRect(c.frame, uint32_t(kind));
        EXPECT_TRUE(view.showsCell(TEX_EXPLOSION, float(x), float(y), r.s_left, r.s_right, r.t_bottom, r.t_top))
            << "kind " << kind << " at " << x << ", " << y;
    }
    for (auto [x, y] : c.empty) EXPECT_EQ(view.at(x + 0.5f, y + 0.5f), CLEAR_COLOUR) << x << ", " << y;
}

const std::vector<std::string> OPEN = {"......", "......", "......", "......", "......"};

INSTANTIATE_TEST_SUITE_P(
    Cases, BoomDrawTest,
    testing::Values(
        BoomCase{"Corner", OPEN, 0, 0, 2, 0, {{0, 0, 0}, {1, 0, 3}, {2, 0, 4}, {0, 1, 7}, {0, 2, 8}}, {{3, 0}, {1, 1}}},
        // A wall two cells to the left and the grid edge on the right cut their arms to middle pieces.
        BoomCase{"WallAndEdge", {"......", "......", ".X....", "......", "......"}, 3, 2, 3, 1,
                 {{2, 2, 1}, {4, 2, 3}, {5, 2, 3}, {3, 0, 5}, {3, 4, 7}}, {{1, 2}, {0, 2}}},
        BoomCase{"AdjacentWall", {"...", ".X.", "..."}, 1, 2, 2, 2, {{1, 2, 0}, {0, 2, 1}, {2, 2, 3}}, {{1, 1}}},
        BoomCase{"RangeOne", OPEN, 2, 2, 1, 3, {{1, 2, 2}, {3, 2, 4}, {2, 1, 6}, {2, 3, 8}}, {{0, 2}, {2, 4}}},
        // The last frame takes the last columns: left middle s 0.9..1, left end 0.8..0.9, centre 0.4..0.5.
        BoomCase{"LastFrame", OPEN, 3, 2, 2, 4, {{3, 2, 0}, {2, 2, 1}, {1, 2, 2}, {3, 4, 8}}, {}},
        BoomCase{"RangeZero", OPEN, 2, 2, 0, 1, {}, {{2, 2}, {1, 2}}}),
    [](const testing::TestParamInfo<BoomCase>& info) { return std::string(info.param.name); });

// [SECTION] Players -------------------------------------------------------------------------------------------------

TEST(PlayerDrawTest, PoseSelectsItsPictureOneCellWideAndOneAndAHalfTall) {
    fwtest::resetGlobals();
    gltest::setMap({"....", "....", "....", "...."});
    const struct {
        uint32_t pose;
        int from, to;  // sheet columns in 358ths at the left and right corners; from < 0: nothing drawn
    } cases[] = {{0, 54, 70},   {2, 90, 108}, {3, 70, 54}, {5, 108, 90},  {7, 185, 201}, {9, 0, 17},
                 {14, 275, 291}, {15, 257, 274}, {19, 343, 358}, {20, -1, -1}, {0xffffffff, -1, -1}};
    for (const auto& c : cases) {
        Offscreen view;
        Player p{};
        p.x = 2.0f;
        p.y = 3.0f;
        p.pose = c.pose;
        glBindTexture(GL_TEXTURE_2D, textures[TEX_TEAM_A]);
        drawPlayer(p);
        if (c.from < 0)
            EXPECT_EQ(view.at(2.5f, 3.5f), CLEAR_COLOUR) << "pose " << c.pose;
        else
            EXPECT_TRUE(view.showsQuad(TEX_TEAM_A, 2.0f, 2.5f, 3.0f, 4.0f, c.from / 358.0, c.to / 358.0, 0.0, 1.0))
                << "pose " << c.pose;
    }
}

// [SECTION] Whole frames --------------------------------------------------------------------------------------------

// An open map with every player out of sight (dead pose) but those a test places.
void emptyMatch(int w, int h) {
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(size_t(h), std::string(size_t(w), '.')));
    for (Team& team : game.teams)
        for (Player& p : team.players) p.pose = POSE_DEAD;
}

void place(int team, int player, float x, float y, uint32_t pose = 9) {
    Player& p = game.teams[size_t(team)].players[size_t(player)];
    p.x = x;
    p.y = y;
    p.pose = pose;
}

TEST(SceneTest, DepthOrdersPlayersExplosionsAndBombsWhateverTheDrawingOrder) {
    emptyMatch(6, 6);
    place(0, 0, 0.0f, 2.375f);  // walking, drawn first: in front of the one above, behind the one below
    place(1, 0, 0.0f, 2.0f);
    place(2, 0, 0.0f, 3.0f);
    place(0, 1, 4.0f, 2.0f, 9);  // equal rows: the one drawn first stays in front
    place(0, 2, 4.0f, 2.0f, 10);
    place(3, 0, 4.0f, 2.0f);
    place(1, 1, 4.0f, 5.0f);  // on an explosion
    // Any slot is drawn by its state alone: an explosion under a player, a bomb under an arm, a spent explosion.
    game.teams[0].players[0].bombs[3] = Bomb{BOMB_EXPLODING, 0, 0, 0, 0, 1, 0, 0, 4.0f, 5.0f};
    game.teams[2].players[1].bombs[0] = Bomb{BOMB_ACTIVE, 2, 0, 0, 0, 0, 0, 0, 3.0f, 5.0f};
    game.teams[3].players[3].bombs[1] = Bomb{BOMB_ACTIVE, 0, 0, 0, 0, 0, 0, 0, 1.0f, 5.0f};
    game.teams[1].players[2].bombs[2] = Bomb{BOMB_EXPLODING, 0, 0, 0, 0, 0, 0, 0, 2.0f, 4.0f};
    Offscreen view;
    drawScene();
    EXPECT_EQ(view.slotAt(0.5f, 2.2f), TEX_TEAM_A);
    EXPECT_EQ(view.slotAt(0.5f, 1.7f), TEX_TEAM_A + 1);
    EXPECT_EQ(view.slotAt(0.5f, 3.2f), TEX_TEAM_A + 2);
    EXPECT_TRUE(view.showsQuad(TEX_TEAM_A, 4.0f, 1.5f, 5.0f, 3.0f, 0.0, 17 / 358.0, 0.0, 1.0));
    EXPECT_EQ(view.slotAt(4.5f, 5.5f), TEX_TEAM_A + 1);
    EXPECT_TRUE(view.showsCell(TEX_EXPLOSION, 3.0f, 5.0f, 0.0, 0.1, 0.0, 0.25));   // left end piece over a bomb
    EXPECT_TRUE(view.showsCell(TEX_BOMB, 1.0f, 5.0f, 0.0, 1 / 3.0, 0.0, 1.0));
    EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, 2.0f, 4.0f, 0.5, 0.75, 0.0, 1.0));  // range 0: ground only

    // An explosion drawn before a bomb on its cell still lies in front of it.
    Bomb b{};
    b.range = 1;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_EXPLOSION]);
    drawBoom(b);
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BOMB]);
    drawBomb(b);
    EXPECT_EQ(view.slotAt(0.5f, 0.5f), TEX_EXPLOSION);
}

TEST(SceneTest, TransparentTexelsLeaveWhatLiesBehindAndWriteNoDepth) {
    emptyMatch(4, 6);
    place(0, 0, 1.0f, 4.0f);  // in front, drawn first
    place(1, 0, 1.0f, 3.0f);  // behind, drawn later
    place(0, 1, 3.0f, 4.0f);  // alone on ground
    Offscreen view;
    // Team A's standing picture (texels 0..16): bottom rows alpha 1 of 255, upper half fully transparent.
    std::vector<uint8_t> sheet =
        gltest::codedSprite(TEX_TEAM_A, [](uint32_t x, uint32_t y) { return x < 17 && y < 3; }, {10, 20, 30, 1});
    for (uint32_t y = 12; y < 24; ++y)
        for (uint32_t x = 0; x < 17; ++x) sheet[(y * 358 + x) * 4 + 3] = 0;
    view.replaceSprite(TEX_TEAM_A, sheet);
    drawScene();
    EXPECT_EQ(view.slotAt(1.5f, 3.7f), TEX_TEAM_A + 1);  // the player behind shows through
    EXPECT_EQ(view.slotAt(3.5f, 3.7f), TEX_BACKGROUND);  // so does the ground
    const gltest::Rgba faint = view.at(3.5f, 4.95f);     // drawn, and opaque
    EXPECT_EQ((gltest::Rgba{faint.r, faint.g, faint.b, 255}), (gltest::Rgba{10, 20, 30, 255}));
}

// [SECTION] Window size ---------------------------------------------------------------------------------------------

TEST(WindowSizeTest, GridPlusMarginsInCellsOfTheConfiguredSize) {
    const struct {
        uint16_t w, h, pw, ph;
        int width, height;
    } cases[] = {
        {20, 15, 40, 40, 1200, 680},
        {20, 15, 32, 24, 960, 408},
        {1, 1, 40, 40, 440, 120},
        {65535, 65535, 65535, 65535, WINDOW_MAX_SIDE, WINDOW_MAX_SIDE},  // no int overflow; a side X can make
        {15, 11, 0, 0, 1, 1},
    };
    for (const auto& c : cases) {
        const WindowSize size = windowSize(c.w, c.h, c.pw, c.ph);
        EXPECT_EQ(size.width, c.width) << c.w << "x" << c.h << " at " << c.pw << "x" << c.ph;
        EXPECT_EQ(size.height, c.height) << c.w << "x" << c.h << " at " << c.pw << "x" << c.ph;
    }
}

}  // namespace
