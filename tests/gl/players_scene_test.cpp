// players_scene_test.cpp: player poses, and whole frames drawn by drawScene: depth order of players, explosions and
// bombs, and transparent texels.
#include "gl_test_support.h"

#include "support/test_support.h"

namespace {

using gltest::Offscreen;

// [SECTION] Poses ---------------------------------------------------------------------------------------------------

struct PoseCase {
    uint32_t pose;
    int from, to;  // sheet columns in 358ths at the left and right corners
};

void PrintTo(const PoseCase& c, std::ostream* os) { *os << "pose " << c.pose; }

class PlayerPoseTest : public testing::TestWithParam<PoseCase> {};

TEST_P(PlayerPoseTest, PoseSelectsItsPictureOneCellWideAndOneAndAHalfTall) {
    fwtest::resetGlobals();
    gltest::setMap({"....", "....", "....", "...."});
    Offscreen view;
    Player p{};
    p.x = 2.0f;
    p.y = 3.0f;
    p.pose = GetParam().pose;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_TEAM_A]);
    drawPlayer(p);
    EXPECT_TRUE(view.showsQuad(TEX_TEAM_A, 2.0f, 2.5f, 3.0f, 4.0f, GetParam().from / 358.0, GetParam().to / 358.0,
                               0.0, 1.0));
    EXPECT_TRUE(view.cellIs(2.0f, 1.0f, gltest::CLEAR_COLOUR));  // nothing above the head
}

INSTANTIATE_TEST_SUITE_P(Sheet, PlayerPoseTest,
                         testing::Values(PoseCase{0, 54, 70}, PoseCase{2, 90, 108},
                                         PoseCase{3, 70, 54},  // facing larger x: pose 0 mirrored
                                         PoseCase{5, 108, 90}, PoseCase{7, 185, 201}, PoseCase{9, 0, 17},
                                         PoseCase{11, 35, 52}, PoseCase{14, 275, 291}, PoseCase{15, 257, 274},
                                         PoseCase{16, 292, 308}, PoseCase{19, 343, 358}));

TEST(PlayerPoseTest, DeadPoseAndBeyondDrawNothing) {
    fwtest::resetGlobals();
    gltest::setMap({"..", ".."});
    Offscreen view;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_TEAM_A]);
    for (uint32_t pose : {20u, 21u, 0xffffffffu}) {
        Player p{};
        p.x = 1.0f;
        p.y = 1.0f;
        p.pose = pose;
        drawPlayer(p);
        EXPECT_TRUE(view.cellIs(1.0f, 1.0f, gltest::CLEAR_COLOUR)) << "pose " << pose;
    }
}

// [SECTION] Whole frames --------------------------------------------------------------------------------------------

// An open map with every player out of sight (dead pose), ready for a test to place a few.
void emptyMatch(int w, int h) {
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(size_t(h), std::string(size_t(w), '.')));
    for (Team& team : game.teams)
        for (Player& p : team.players) p.pose = POSE_DEAD;
}

Player& place(int team, int player, float x, float y, uint32_t pose = 9) {
    Player& p = game.teams[size_t(team)].players[size_t(player)];
    p.x = x;
    p.y = y;
    p.pose = pose;
    return p;
}

// Which team sheet (0..3) a pixel shows, or -1 for anything else.
int teamAt(const Offscreen& view, float x, float y) {
    const int slot = view.at(x, y).b >> 4;
    return slot >= TEX_TEAM_A && slot < TEX_TEAM_A + TEAM_COUNT ? slot - TEX_TEAM_A : -1;
}

TEST(SceneTest, LowerPlayersLieInFrontWhateverTheDrawingOrder) {
    emptyMatch(6, 6);
    place(0, 0, 0.0f, 2.375f);  // walking, drawn first
    place(1, 0, 0.0f, 2.0f);    // above it: behind
    place(2, 0, 0.0f, 3.0f);    // below it: in front
    place(0, 1, 4.0f, 2.0f, 9);  // equal rows: the one drawn first stays in front
    place(0, 2, 4.0f, 2.0f, 10);
    place(3, 0, 4.0f, 2.0f);
    Offscreen view;
    drawScene();
    EXPECT_EQ(teamAt(view, 0.5f, 2.2f), 0);
    EXPECT_EQ(teamAt(view, 0.5f, 1.7f), 1);
    EXPECT_EQ(teamAt(view, 0.5f, 3.2f), 2);
    EXPECT_TRUE(view.showsQuad(TEX_TEAM_A, 4.0f, 1.5f, 5.0f, 3.0f, 0.0, 17 / 358.0, 0.0, 1.0));
}

TEST(SceneTest, PlayerCoversExplosionWhichCoversBombAndGround) {
    emptyMatch(6, 6);
    place(0, 0, 4.0f, 4.0f);
    Bomb& under_player = game.teams[0].players[0].bombs[3];  // any slot is drawn, whatever max_bombs says
    under_player = Bomb{BOMB_EXPLODING, 0, 0, 0, 0, 1, 0, 0, 4.0f, 4.0f};
    Bomb& ticking = game.teams[2].players[1].bombs[0];
    ticking = Bomb{BOMB_ACTIVE, 2, 0, 0, 0, 0, 0, 0, 1.0f, 5.0f};
    Bomb& chained = game.teams[3].players[3].bombs[1];  // a ticking bomb on an explosion's arm
    chained = Bomb{BOMB_ACTIVE, 0, 0, 0, 0, 0, 0, 0, 3.0f, 4.0f};
    Bomb& spent = game.teams[1].players[2].bombs[2];  // exploding with range 0: neither bomb nor explosion
    spent = Bomb{BOMB_EXPLODING, 0, 0, 0, 0, 0, 0, 0, 1.0f, 1.0f};
    Offscreen view;
    drawScene();
    EXPECT_EQ(teamAt(view, 4.5f, 4.5f), 0);
    EXPECT_TRUE(view.showsCell(TEX_EXPLOSION, 3.0f, 4.0f, 0.0, 0.1, 0.0, 0.25));   // left end piece, frame 0
    EXPECT_TRUE(view.showsCell(TEX_EXPLOSION, 5.0f, 4.0f, 0.1, 0.0, 0.0, 0.25));   // right end piece, mirrored
    EXPECT_TRUE(view.showsCell(TEX_BOMB, 1.0f, 5.0f, 2.0 / 3.0, 1.0, 0.0, 1.0));   // fuse frame 2
    EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, 2.0f, 5.0f, 0.5, 0.75, 0.0, 1.0));  // plain ground
    EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, 1.0f, 1.0f, 0.5, 0.75, 0.0, 1.0));
}

TEST(SceneTest, TransparentTexelsLeaveWhatLiesBehindAndWriteNoDepth) {
    emptyMatch(4, 6);
    place(0, 0, 1.0f, 4.0f);  // in front, drawn first
    place(1, 0, 1.0f, 3.0f);  // behind, drawn later
    place(0, 1, 3.0f, 4.0f);  // alone on ground
    Offscreen view;
    // Team A's standing picture (texels 0..16): its upper half fully transparent, its bottom rows almost so.
    std::vector<uint8_t> sheet = gltest::codedSprite(TEX_TEAM_A);
    gltest::paint(sheet, 358, [](uint32_t x, uint32_t y) { return x < 17 && y >= 12; }, {0, 0, 0, 0});
    gltest::paint(sheet, 358, [](uint32_t x, uint32_t y) { return x < 17 && y < 3; }, {10, 20, 30, 1});
    view.replaceSprite(TEX_TEAM_A, sheet);
    drawScene();

    EXPECT_EQ(teamAt(view, 1.5f, 3.7f), 1);                       // the player behind shows through
    EXPECT_EQ(view.at(3.5f, 3.7f).b >> 4, TEX_BACKGROUND);         // so does the ground
    const gltest::Rgba faint = view.at(3.5f, 4.95f);               // alpha 1 of 255 is drawn, opaque
    EXPECT_EQ((gltest::Rgba{faint.r, faint.g, faint.b, 255}), (gltest::Rgba{10, 20, 30, 255}));
}

// [SECTION] Window size ---------------------------------------------------------------------------------------------

TEST(WindowSizeTest, GridPlusMarginsInCellsOfTheConfiguredSize) {
    struct Case {
        uint16_t w, h, pw, ph;
        int width, height;
    };
    const Case cases[] = {
        {20, 15, 40, 40, 1200, 680},
        {20, 15, 32, 24, 960, 408},
        {1, 1, 40, 40, 440, 120},
        {65535, 65535, 65535, 65535, WINDOW_MAX_SIDE, WINDOW_MAX_SIDE},  // no int overflow, a side X can make
        {15, 11, 0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        const WindowSize size = windowSize(c.w, c.h, c.pw, c.ph);
        EXPECT_EQ(size.width, c.width) << c.w << "x" << c.h << " at " << c.pw << "x" << c.ph;
        EXPECT_EQ(size.height, c.height) << c.w << "x" << c.h << " at " << c.pw << "x" << c.ph;
    }
}

}  // namespace
