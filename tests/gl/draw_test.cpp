// draw_test.cpp: the drawing in a real offscreen OpenGL context (OSMesa), read back from the frame: map, bombs and
// explosions, players in their poses and depth order, texts, the side panels; and the window's size.
//
// Links against OSMesa only, never libGL: the drawing library resolves its gl* calls to whichever one is linked.
#include "gl/gl_utils.h"

#include "support/test_support.h"

#include <GL/osmesa.h>

#include <cmath>
#include <memory>
#include <ostream>

namespace {

// [SECTION] Offscreen frames and probes -----------------------------------------------------------------------------

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "rgba(" << +c.r << ", " << +c.g << ", " << +c.b << ", " << +c.a << ")";
}
constexpr Rgba GREY = {64, 64, 64, 255};  // the view's clear colour

// Test sprites per slot: small, with every edge of the game's sheet layouts on a texel boundary.
constexpr uint32_t SPRITE_SIZES[TEXTURE_COUNT][2] = {{64, 16}, {358, 24}, {358, 24}, {358, 24}, {358, 24},
                                                     {48, 16}, {100, 40}, {208, 80}, {104, 8}};

// Texels that tell where they were sampled: red = x mod 256, green = y, blue = 16 * slot + x / 256; bottom row first.
std::vector<uint8_t> codedSprite(int slot) {
    std::vector<uint8_t> rgba;
    for (uint32_t y = 0; y < SPRITE_SIZES[slot][1]; ++y)
        for (uint32_t x = 0; x < SPRITE_SIZES[slot][0]; ++x)
            rgba.insert(rgba.end(), {uint8_t(x), uint8_t(y), uint8_t(16 * slot + int(x >> 8)), 255});
    return rgba;
}

// An open grid of w x h cells in `game`, every player out of sight (dead pose), no bomb in play.
void openMatch(int w, int h) {
    fwtest::resetGlobals();
    game.width = uint16_t(w);
    game.height = uint16_t(h);
    game.rows.assign(size_t(h), std::string(size_t(w), '.'));
    for (Team& team : game.teams)
        for (Player& p : team.players) p.pose = POSE_DEAD;
}

// An offscreen frame for the grid in `game` at 16 pixels per cell, with the game's view and the coded sprites in
// `textures`. Current for as long as it lives.
class Offscreen {
public:
    Offscreen() {
        if (!context_ || !OSMesaMakeCurrent(context_.get(), buffer_.data(), GL_UNSIGNED_BYTE, width_, height_))
            throw std::runtime_error("no offscreen GL context");
        glViewport(0, 0, width_, height_);
        setupView(game.width, game.height);
        glGenTextures(TEXTURE_COUNT, textures.data());
        for (int slot = 0; slot < TEXTURE_COUNT; ++slot) replaceSprite(slot, codedSprite(slot));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    void replaceSprite(int slot, const std::vector<uint8_t>& rgba) const {
        uploadSprite(textures[size_t(slot)], SPRITE_SIZES[slot][0], SPRITE_SIZES[slot][1], rgba.data());
    }

    Rgba at(float x, float y) const {  // the pixel under world point (x, y)
        Rgba c{};
        glReadPixels(pixel(x + 5), height_ - 1 - pixel(y + 1), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &c);
        return c;
    }
    int slotAt(float x, float y) const { return at(x, y).b >> 4; }

    // Whether the world rectangle x0..x1, y0..y1 shows sprite `slot` with s from s_left (left edge) to s_right and
    // t from t_bottom (lower screen edge) to t_top: at four inner points, the texel due at the pixel's centre.
    testing::AssertionResult shows(int slot, float x0, float y0, float x1, float y1, double s_left, double s_right,
                                   double t_bottom, double t_top) const {
        for (float fx : {0.3f, 0.7f})
            for (float fy : {0.3f, 0.7f}) {
                const float x = x0 + fx * (x1 - x0), y = y0 + fy * (y1 - y0);
                const double cx = (pixel(x + 5) + 0.5) / PX - 5, cy = (pixel(y + 1) + 0.5) / PX - 1;
                const double s = (s_left + (cx - x0) / (x1 - x0) * (s_right - s_left)) * SPRITE_SIZES[slot][0];
                const double t = (t_top + (cy - y0) / (y1 - y0) * (t_bottom - t_top)) * SPRITE_SIZES[slot][1];
                const Rgba c = at(x, y);
                if (c.a != 255 || c.b >> 4 != slot || std::abs(c.r + 256 * (c.b & 15) + 0.5 - s) > 1.0 ||
                    std::abs(c.g + 0.5 - t) > 1.0)
                    return testing::AssertionFailure() << "at (" << x << ", " << y << ") expected slot " << slot
                                                       << " texel (" << s << ", " << t << "), got " << c;
            }
        return testing::AssertionSuccess();
    }
    testing::AssertionResult showsCell(int slot, float x, float y, double s_left, double s_right, double t_bottom,
                                       double t_top) const {
        return shows(slot, x, y, x + 1, y + 1, s_left, s_right, t_bottom, t_top);
    }

private:
    static constexpr int PX = 16;
    static int pixel(float from_edge) { return int(std::floor(from_edge * PX)); }

    int width_ = (game.width + 10) * PX, height_ = (game.height + 2) * PX;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(size_t(width_) * size_t(height_) * 4);
    std::unique_ptr<osmesa_context, decltype(&OSMesaDestroyContext)> context_{
        OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr), OSMesaDestroyContext};
};

// [SECTION] Map, bombs and explosions -------------------------------------------------------------------------------

TEST(SceneTest, TilesBombsAndExplosionArmsEndingAtEdgesWallsAndRange) {
    openMatch(12, 9);
    game.rows[0].replace(0, 3, "X.x");  // a lower-case x is ground
    game.rows[1][1] = game.rows[3][6] = game.rows[7][3] = 'X';
    // Any slot is drawn by its state alone.
    const Bomb bombs[] = {
        // In a corner: the edges cut two arms.
        {.state = BOMB_EXPLODING, .blast_frame = 1, .range = 2, .x = 11, .y = 0},
        // Two arms cut by the edges, one by a wall, one at full range.
        {.state = BOMB_EXPLODING, .blast_frame = 2, .range = 3, .x = 1, .y = 7},
        {.state = BOMB_EXPLODING, .blast_frame = 4, .range = 1, .x = 6, .y = 4},   // the last frame, next to a wall
        {.state = BOMB_EXPLODING, .blast_frame = 3, .range = 0, .x = 10, .y = 6},  // range 0 draws nothing
        {.state = BOMB_ACTIVE, .x = 7, .y = 4},                                     // under an arm
        {.state = BOMB_ACTIVE, .x = 5, .y = 7},
        {.state = BOMB_ACTIVE, .fuse_frame = 1, .x = 6, .y = 7},
        {.state = BOMB_ACTIVE, .fuse_frame = 2, .x = 7, .y = 7},
        {.state = BOMB_ACTIVE, .fuse_frame = 3, .x = 8, .y = 7},  // any fuse frame beyond 2 shows the middle one
    };
    for (size_t i = 0; i < std::size(bombs); ++i) game.teams[i % 4].players[i / 4].bombs[3 - i % 4] = bombs[i];
    Offscreen view;
    drawScene();

    constexpr double BLOCK = 0.0, SHADED = 0.25, PLAIN = 0.5;  // background columns
    const struct {
        float x, y;
        double s0;
    } tiles[] = {
        {-1, -1, BLOCK}, {12, 9, BLOCK},  // the ring's corners
        // Row 0 shaded wherever it is ground; below it shaded under a wall, else plain.
        {0, 0, BLOCK}, {1, 0, SHADED}, {2, 0, SHADED}, {0, 1, SHADED}, {1, 1, BLOCK}, {2, 1, PLAIN}, {1, 2, SHADED},
        // Where arms end: the ring, walls, beyond the range; and the cell of a bomb of range 0.
        {12, 0, BLOCK}, {11, -1, BLOCK}, {-1, 7, BLOCK}, {1, 9, BLOCK}, {3, 7, BLOCK}, {6, 3, BLOCK},
        {1, 3, PLAIN}, {4, 4, PLAIN}, {10, 6, PLAIN},
    };
    for (const auto& c : tiles)
        EXPECT_TRUE(view.showsCell(TEX_BACKGROUND, c.x, c.y, c.s0, c.s0 + 0.25, 0, 1)) << c.x << ", " << c.y;

    // Explosion bands from the bottom: horizontal arms (end, middle: 0.2 per frame), vertical middles, vertical ends,
    // centres (0.1 per frame). Arms toward larger x are mirrored; toward larger y and the centre upside down.
    constexpr int EX = TEX_EXPLOSION, BO = TEX_BOMB;
    const struct {
        int slot;
        float x, y;
        double s_left, s_right, t_bottom, t_top;
    } pieces[] = {
        {EX, 11, 0, .1, .2, 1, .75},  {EX, 10, 0, .3, .4, 0, .25},  {EX, 9, 0, .2, .3, 0, .25},  // frame 1
        {EX, 11, 1, .1, .2, .5, .25}, {EX, 11, 2, .1, .2, .75, .5},
        {EX, 1, 7, .2, .3, 1, .75},   {EX, 0, 7, .5, .6, 0, .25},   {EX, 2, 7, .6, .5, 0, .25},  // frame 2
        {EX, 1, 6, .2, .3, .25, .5},  {EX, 1, 5, .2, .3, .25, .5},  {EX, 1, 4, .2, .3, .5, .75},
        {EX, 1, 8, .2, .3, .5, .25},
        {EX, 6, 4, .4, .5, 1, .75},   {EX, 5, 4, .8, .9, 0, .25},   {EX, 7, 4, .9, .8, 0, .25},  // frame 4
        {EX, 6, 5, .4, .5, .75, .5},
        {BO, 5, 7, 0, 1 / 3., 0, 1},  {BO, 6, 7, 1 / 3., 2 / 3., 0, 1}, {BO, 7, 7, 2 / 3., 1, 0, 1},
        {BO, 8, 7, 1 / 3., 2 / 3., 0, 1},
    };
    for (const auto& c : pieces)
        EXPECT_TRUE(view.showsCell(c.slot, c.x, c.y, c.s_left, c.s_right, c.t_bottom, c.t_top)) << c.x << ", " << c.y;
}

// [SECTION] Players -------------------------------------------------------------------------------------------------

TEST(PlayerDrawTest, PoseSelectsItsPictureOneCellWideAndOneAndAHalfTall) {
    openMatch(11, 2);
    const struct {
        uint32_t pose;
        int from, to;  // sheet columns in 358ths at the left and right corners; from < 0: nothing drawn
    } cases[] = {{0, 54, 70},    {2, 90, 108},   {3, 70, 54},    {5, 108, 90}, {7, 185, 201},     {9, 0, 17},
                 {14, 275, 291}, {15, 257, 274}, {19, 343, 358}, {20, -1, -1}, {0xffffffff, -1, -1}};
    Offscreen view;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_TEAM_A]);
    for (size_t i = 0; i < std::size(cases); ++i) drawPlayer(Player{.pose = cases[i].pose, .x = float(i), .y = 1});
    for (size_t i = 0; i < std::size(cases); ++i) {
        const float x = float(i);
        if (cases[i].from < 0)
            EXPECT_EQ(view.at(x + 0.5f, 1.5f), GREY) << "pose " << cases[i].pose;
        else
            EXPECT_TRUE(view.shows(TEX_TEAM_A, x, 0.5f, x + 1, 2, cases[i].from / 358.0, cases[i].to / 358.0, 0, 1))
                << "pose " << cases[i].pose;
    }
}

TEST(SceneTest, PlayersInFrontByRowWhateverTheDrawingOrderAndOnlyWhereTheirTexelsShow) {
    openMatch(3, 6);
    const auto place = [](int team, int player, float x, float y, uint32_t pose) {
        Player& p = game.teams[size_t(team)].players[size_t(player)];
        p.x = x, p.y = y, p.pose = pose;
    };
    place(0, 0, 0, 2.375f, 0);  // walking, drawn first: in front of the one above, behind the one below
    place(1, 0, 0, 2, 0);
    place(2, 0, 0, 3, 0);
    place(0, 1, 1, 4, 9);  // drawn before the one behind it, in a picture transparent in its upper half (below)
    place(1, 1, 1, 3, 0);
    place(3, 0, 2, 5, 0);  // on an explosion
    game.teams[2].players[3].bombs[1] = Bomb{.state = BOMB_EXPLODING, .range = 1, .x = 2, .y = 5};
    Offscreen view;
    // Team A's standing picture (texels 0..16): the bottom rows at alpha 1 of 255, the upper half at alpha 0.
    std::vector<uint8_t> sheet = codedSprite(TEX_TEAM_A);
    for (uint32_t y = 0; y < 24; ++y)
        for (uint32_t x = 0; x < 17; ++x) {
            uint8_t* texel = &sheet[(y * 358 + x) * 4];
            if (y < 3) texel[0] = 10, texel[1] = 20, texel[2] = 30, texel[3] = 1;
            if (y >= 12) texel[3] = 0;
        }
    view.replaceSprite(TEX_TEAM_A, sheet);
    drawScene();

    EXPECT_EQ(view.slotAt(0.5f, 2.2f), TEX_TEAM_A);
    EXPECT_EQ(view.slotAt(0.5f, 1.7f), TEX_TEAM_A + 1);
    EXPECT_EQ(view.slotAt(0.5f, 3.2f), TEX_TEAM_A + 2);
    EXPECT_EQ(view.slotAt(1.5f, 3.7f), TEX_TEAM_A + 1);  // through transparent texels, which left no depth
    const Rgba faint = view.at(1.5f, 4.95f);             // drawn, and opaque
    EXPECT_EQ((Rgba{faint.r, faint.g, faint.b, 255}), (Rgba{10, 20, 30, 255}));
    EXPECT_TRUE(view.shows(TEX_TEAM_A + 3, 2, 4.5f, 3, 6, 54 / 358.0, 70 / 358.0, 0, 1));
}

// [SECTION] Text and scoreboard -------------------------------------------------------------------------------------

TEST(TextTest, CentredRowsOfCaselessLetterCells) {
    openMatch(6, 6);
    const struct {
        std::string text;
        float x, y, char_width, char_height;
        std::vector<int> cells;  // letter cell per character drawn, -1 for an empty one
    } texts[] = {
        {"aBzZ", 2, 0.5f, 1, 1, {0, 1, 25, 25}},
        {"A1B", 3, 1.5f, 1, 1, {0, -1, 1}},
        {"\xC1z\x80[`{", 3, 3, 1, 2, {-1, 25, -1, -1, -1, -1}},           // no letters beyond ASCII
        {"maps/red", -3, 4.5f, 0.5f, 1, {12, 0, 15, 18, -1, 17, 4, 3}},  // a name fills its panel, x -5..-1
        {"Zebra", 2, 5.5f, 1, 1, {25, 4}},                               // only the given length
    };
    Offscreen view;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_FONT]);
    for (const auto& c : texts)
        drawText(c.text.data(), uint8_t(c.cells.size()), c.x, c.y, c.char_width, c.char_height);
    for (const auto& c : texts) {
        const float left = c.x - c.char_width * float(c.cells.size()) / 2, top = c.y - c.char_height / 2;
        for (size_t i = 0; i < c.cells.size(); ++i) {
            const float x0 = left + float(i) * c.char_width;
            const int k = c.cells[i];
            if (k < 0)
                EXPECT_EQ(view.at(x0 + c.char_width / 2, c.y), GREY) << c.text << ", character " << i;
            else
                EXPECT_TRUE(view.shows(TEX_FONT, x0, top, x0 + c.char_width, top + c.char_height, k / 26.0,
                                       (k + 1) / 26.0, 0, 1))
                    << c.text << ", character " << i;
        }
        EXPECT_EQ(view.at(left + c.char_width * float(c.cells.size()) + 0.1f, c.y), GREY) << c.text;  // nothing beyond
    }
}

TEST(ScoreboardTest, ClampedScoresStatusIconsPanelsAndNamesInTeamColours) {
    constexpr int W = 6, H = 8;
    openMatch(W, H);
    const uint8_t statuses[TEAM_COUNT][PLAYER_COUNT] = {{0, 1, 1, 0}, {1, 0, 0, 1}, {1, 1, 0, 0}, {0, 0, 1, 1}};
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p) game.teams[size_t(t)].players[size_t(p)].status = statuses[t][p];
    game.teams[0].name = "maps/red";
    game.teams[1].name = "abcdefghijkl";  // only the first eight show
    game.teams[2].name = "Bob";
    game.teams[3].name = "Sam";
    Offscreen view;
    // A white font whose letters but m, a, p, s, h, b are transparent: names show letter by letter in their colours.
    std::vector<uint8_t> font;
    for (uint32_t i = 0; i < 104 * 8; ++i) {
        const bool shown = std::string("mapshb").find(char('a' + i % 104 / 4)) != std::string::npos;
        font.insert(font.end(), {255, 255, 255, uint8_t(shown ? 255 : 0)});
    }
    view.replaceSprite(TEX_FONT, font);

    // Sprite columns are 16/208 apart and 15/208 wide; digits on top, then each team's icons, from the top down.
    const double DIGITS[2] = {0.8125, 1.0};
    const double ICONS[TEAM_COUNT][2] = {{0.6125, 0.8}, {0.4125, 0.6}, {0.2125, 0.4}, {0, 0.2}};
    const auto column = [&](float x, float y, int column, const double band[2]) {
        return view.showsCell(TEX_SCOREBOARD, x, y, column * 16 / 208.0, (column * 16 + 15) / 208.0, band[0], band[1]);
    };
    const float corners[TEAM_COUNT][2] = {{-4, 0}, {-4, H - 3}, {W + 2, 0}, {W + 2, H - 3}};  // score rows
    // Per frame and team: stored and shown score, tens cell (10 empty, 11 a one, 12 minus) and ones digit.
    const struct {
        int8_t stored;
        int shown, tens, ones;
    } frames[2][TEAM_COUNT] = {{{23, 19, 11, 9}, {-12, -9, 12, 9}, {0, 0, 10, 0}, {7, 7, 10, 7}},
                               {{15, 15, 11, 5}, {-4, -4, 12, 4}, {-128, -9, 12, 9}, {10, 10, 11, 0}}};
    for (const auto& frame : frames) {
        for (int t = 0; t < TEAM_COUNT; ++t) game.score[size_t(t)] = frame[t].stored;
        drawScoreboard();
        for (int t = 0; t < TEAM_COUNT; ++t) {
            EXPECT_EQ(int(game.score[size_t(t)]), frame[t].shown);
            EXPECT_TRUE(column(corners[t][0], corners[t][1], frame[t].tens, DIGITS)) << "team " << t;
            EXPECT_TRUE(column(corners[t][0] + 1, corners[t][1], frame[t].ones, DIGITS)) << "team " << t;
        }
    }
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p)
            EXPECT_TRUE(column(corners[t][0] + float(p % 2), corners[t][1] + float(1 + p / 2), statuses[t][p],
                               ICONS[t]))
                << "team " << t << " player " << p;

    // The last column of the lowest band stretched over each whole panel (the right one a cell wider than shown).
    const double s0 = 12 / 13.0, col = 1 / 13.0;
    EXPECT_TRUE(view.shows(TEX_SCOREBOARD, -5, -1, -4, H + 1, s0, s0 + col / 4, 0.0, 0.2));
    EXPECT_TRUE(view.shows(TEX_SCOREBOARD, W + 4, -1, W + 5, H + 1, s0 + col * 3 / 5, s0 + col * 4 / 5, 0, 0.2));

    const Rgba grey = {220, 220, 220, 255}, dark = {85, 85, 85, 255}, blue = {0, 0, 184, 255}, red = {224, 0, 0, 255};
    EXPECT_EQ(view.at(-4.75f, 3.5f), grey);  // "maps/red" fills x -5..-1: m, then s at -3.5..-3
    EXPECT_EQ(view.at(-3.25f, 3.5f), grey);
    EXPECT_EQ(view.slotAt(-1.25f, 3.5f), TEX_SCOREBOARD);  // a transparent d over the panel
    EXPECT_EQ(view.at(-1.25f, H - 3.5f), dark);            // h, the eighth of twelve letters, ends at x -1
    EXPECT_EQ(view.slotAt(-3.75f, H - 3.5f), TEX_SCOREBOARD);
    EXPECT_EQ(view.at(W + 2.3f, 3.5f), blue);  // three characters centred on W + 3 span W + 2.25 .. W + 3.75
    EXPECT_EQ(view.at(W + 3.7f, 3.5f), blue);
    EXPECT_EQ(view.slotAt(W + 2.2f, 3.5f), TEX_SCOREBOARD);
    EXPECT_EQ(view.slotAt(W + 3.8f, 3.5f), TEX_SCOREBOARD);
    EXPECT_EQ(view.at(W + 3.0f, H - 3.5f), red);
}

// [SECTION] Window size ---------------------------------------------------------------------------------------------

TEST(WindowSizeTest, GridPlusMarginsInCellsOfTheConfiguredSizeWithinWhatXCanMake) {
    const struct {
        uint16_t w, h, pixel_w, pixel_h;
        int width, height;
    } cases[] = {{20, 15, 32, 24, 960, 408},
                 {65535, 65535, 65535, 65535, WINDOW_MAX_SIDE, WINDOW_MAX_SIDE},  // no int overflow; a side X can make
                 {15, 11, 0, 0, 1, 1}};
    for (const auto& c : cases) {
        const WindowSize size = windowSize(c.w, c.h, c.pixel_w, c.pixel_h);
        EXPECT_EQ(std::pair(size.width, size.height), std::pair(c.width, c.height))
            << c.w << "x" << c.h << " at " << c.pixel_w << "x" << c.pixel_h;
    }
}

}  // namespace
