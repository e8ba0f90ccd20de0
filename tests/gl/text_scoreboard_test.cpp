// text_scoreboard_test.cpp: sprite-font texts and the side panels (score digits and clamp, status icons, team names
// in their colours), drawn in a real offscreen context and read back.
#include "gl_test_support.h"

#include "support/test_support.h"

namespace {

using gltest::Offscreen;
using gltest::Rgba;

// [SECTION] Text ----------------------------------------------------------------------------------------------------

struct TextCase {
    const char* name;
    std::string text;
    float x, y, char_width, char_height;
    std::vector<int> cells;  // letter cell per character, -1 for an empty one
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextTest : public testing::TestWithParam<TextCase> {};

TEST_P(TextTest, CentredRowOfCaselessLetterCells) {
    const TextCase& c = GetParam();
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(6, "......"));
    Offscreen view;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_FONT]);
    drawText(c.text.data(), static_cast<uint8_t>(c.cells.size()), c.x, c.y, c.char_width, c.char_height);

    const float left = c.x - c.char_width * float(c.cells.size()) / 2.0f;
    const float top = c.y - c.char_height / 2.0f;
    for (size_t i = 0; i < c.cells.size(); ++i) {
        const float x0 = left + float(i) * c.char_width;
        const int k = c.cells[i];
        if (k < 0) {
            EXPECT_EQ(view.at(x0 + c.char_width / 2.0f, c.y), gltest::CLEAR_COLOUR) << "character " << i;
        } else {
            EXPECT_TRUE(view.showsQuad(TEX_FONT, x0, top, x0 + c.char_width, top + c.char_height, k / 26.0,
                                       (k + 1) / 26.0, 0.0, 1.0))
                << "character " << i;
        }
    }
    // Nothing beyond either end (where the view shows it).
    const float right = left + c.char_width * float(c.cells.size());
    if (left - 0.1f > -5.0f) {
        EXPECT_EQ(view.at(left - 0.1f, c.y), gltest::CLEAR_COLOUR);
    }
    EXPECT_EQ(view.at(right + 0.1f, c.y), gltest::CLEAR_COLOUR);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextTest,
    testing::Values(TextCase{"MixedCase", "Ab", 2.0f, 1.0f, 1.0f, 1.0f, {0, 1}},
                    TextCase{"UpperCase", "AB", 2.0f, 1.0f, 1.0f, 1.0f, {0, 1}},
                    TextCase{"DigitLeavesAGap", "A1B", 3.0f, 2.0f, 1.0f, 1.0f, {0, -1, 1}},
                    TextCase{"BytesBeyondAsciiLeaveGaps", "\xC1z\x80[`{", 3.0f, 2.0f, 1.0f, 2.0f,
                             {-1, 25, -1, -1, -1, -1}},
                    // Eight half-cell characters centred on (-3, 3.5) fill x -5..-1, y 3..4.
                    TextCase{"PanelWidth", "maps/red", -3.0f, 3.5f, 0.5f, 1.0f, {12, 0, 15, 18, -1, 17, 4, 3}},
                    TextCase{"OnlyTheGivenLength", "Zebra", 2.0f, 1.0f, 1.0f, 1.0f, {25, 4}},
                    TextCase{"Empty", "", 2.0f, 1.0f, 1.0f, 1.0f, {}}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// [SECTION] Scoreboard ----------------------------------------------------------------------------------------------

constexpr int W = 6;
constexpr int H = 8;

struct Corner {
    float x, y;  // score row's left end; the icon block lies below it
};
constexpr Corner CORNERS[TEAM_COUNT] = {{-4, 0}, {-4, H - 3}, {W + 2, 0}, {W + 2, H - 3}};

struct Band {
    double lower, upper;
};
constexpr Band DIGITS = {0.8125, 1.0};
constexpr Band ICONS[TEAM_COUNT] = {{0.6125, 0.8}, {0.4125, 0.6}, {0.2125, 0.4}, {0.0, 0.2}};

testing::AssertionResult showsColumn(const Offscreen& view, float x, float y, int column, Band band) {
    const double s0 = column * 16 / 208.0;
    return view.showsCell(TEX_SCOREBOARD, x, y, s0, s0 + 15 / 208.0, band.lower, band.upper);
}

void boardMatch() {
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(H, std::string(W, '.')));
}

struct ScoreCase {
    int8_t stored, shown;
    int tens, ones;  // sprite columns: 10 empty, 11 a one, 12 minus
};

void PrintTo(const ScoreCase& c, std::ostream* os) { *os << "score " << int(c.stored); }

class ScoreboardScoreTest : public testing::TestWithParam<ScoreCase> {};

TEST_P(ScoreboardScoreTest, ClampedScoreAsTensCellAndDigitInEveryCorner) {
    const ScoreCase& c = GetParam();
    boardMatch();
    game.score.fill(c.stored);
    Offscreen view;
    drawScoreboard();
    for (int t = 0; t < TEAM_COUNT; ++t) {
        EXPECT_EQ(game.score[size_t(t)], c.shown);
        EXPECT_TRUE(showsColumn(view, CORNERS[t].x, CORNERS[t].y, c.tens, DIGITS)) << "team " << t;
        EXPECT_TRUE(showsColumn(view, CORNERS[t].x + 1, CORNERS[t].y, c.ones, DIGITS)) << "team " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, ScoreboardScoreTest,
                         testing::Values(ScoreCase{23, 19, 11, 9}, ScoreCase{-12, -9, 12, 9}, ScoreCase{0, 0, 10, 0},
                                         ScoreCase{7, 7, 10, 7}, ScoreCase{15, 15, 11, 5}, ScoreCase{-4, -4, 12, 4},
                                         ScoreCase{127, 19, 11, 9}, ScoreCase{-128, -9, 12, 9},
                                         ScoreCase{10, 10, 11, 0}));

TEST(ScoreboardTest, StatusIconsInTeamBandsAndPanelBackgrounds) {
    boardMatch();
    const uint8_t statuses[TEAM_COUNT][PLAYER_COUNT] = {{0, 1, 1, 0}, {1, 0, 0, 1}, {1, 1, 0, 0}, {0, 0, 1, 1}};
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p) game.teams[size_t(t)].players[size_t(p)].status = statuses[t][p];
    Offscreen view;
    drawScoreboard();
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p)
            EXPECT_TRUE(showsColumn(view, CORNERS[t].x + float(p % 2), CORNERS[t].y + 1 + float(p / 2),
                                    statuses[t][p], ICONS[t]))
                << "team " << t << " player " << p;

    // The last column of the lowest band stretched over each whole panel (the right one a cell wider than shown).
    const double s0 = 12 / 13.0, col = 1 / 13.0;
    EXPECT_TRUE(view.showsQuad(TEX_SCOREBOARD, -5, -1, -4, H + 1, s0, s0 + col / 4, 0.0, 0.2));
    EXPECT_TRUE(view.showsQuad(TEX_SCOREBOARD, W + 4, -1, W + 5, H + 1, s0 + col * 3 / 5, s0 + col * 4 / 5, 0.0, 0.2));

    // The GL state the rest of the frame relies on.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2], 3.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), textures[TEX_FONT]);
}

// A font whose letters in `opaque` are white and all others fully transparent: the team colour multiplies the
// texels, so a name's letters are told apart by whether its colour shows.
std::vector<uint8_t> maskedFont(const std::string& opaque) {
    std::vector<uint8_t> font(104 * 8 * 4, 0);
    gltest::paint(font, 104, [&](uint32_t x, uint32_t) { return opaque.find(char('a' + x / 4)) != std::string::npos; },
                  {255, 255, 255, 255});
    return font;
}

int slotAt(const Offscreen& view, float x, float y) { return view.at(x, y).b >> 4; }

TEST(ScoreboardTest, NamesCentredInTheirCornersInTeamColours) {
    boardMatch();
    game.teams[0].name = "maps/red";
    game.teams[1].name = "abcdefghijkl";  // only the first eight show
    game.teams[2].name = "Bob";
    game.teams[3].name = "Sam";
    Offscreen view;
    view.replaceSprite(TEX_FONT, maskedFont("mapshbs"));
    drawScoreboard();

    const Rgba grey = {220, 220, 220, 255}, dark = {85, 85, 85, 255}, blue = {0, 0, 184, 255}, red = {224, 0, 0, 255};
    // "maps/red" fills x -5..-1 on y 3..4: m a p s in colour, the rest transparent over the panel.
    EXPECT_EQ(view.at(-4.75f, 3.5f), grey);
    EXPECT_EQ(view.at(-3.25f, 3.5f), grey);
    EXPECT_EQ(slotAt(view, -2.75f, 3.5f), TEX_SCOREBOARD);
    EXPECT_EQ(slotAt(view, -1.25f, 3.5f), TEX_SCOREBOARD);
    // Of the twelve letters the eighth, h, ends the name at x -1; b is second.
    EXPECT_EQ(view.at(-1.25f, H - 3.5f), dark);
    EXPECT_EQ(view.at(-4.25f, H - 3.5f), dark);
    EXPECT_EQ(slotAt(view, -3.75f, H - 3.5f), TEX_SCOREBOARD);
    // Three characters centred on W + 3 span W + 2.25 .. W + 3.75.
    EXPECT_EQ(view.at(W + 2.3f, 3.5f), blue);
    EXPECT_EQ(slotAt(view, W + 2.2f, 3.5f), TEX_SCOREBOARD);
    EXPECT_EQ(view.at(W + 3.7f, 3.5f), blue);
    EXPECT_EQ(slotAt(view, W + 3.8f, 3.5f), TEX_SCOREBOARD);
    EXPECT_EQ(view.at(W + 3.0f, H - 3.5f), red);
}

TEST(ScoreboardTest, LaterQuadsCoverEarlierOnesExceptWhereTransparent) {
    // On a map 6 rows high the lower team's name row (y 2..3) lies over the upper team's lower icons.
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(6, "......"));
    game.teams[1].name = "ab";  // spans x -3.5 .. -2.5; b is transparent
    Offscreen view;
    view.replaceSprite(TEX_FONT, maskedFont("a"));
    drawScoreboard();
    EXPECT_EQ(view.at(-3.25f, 2.5f), (Rgba{85, 85, 85, 255}));
    EXPECT_TRUE(showsColumn(view, -3.0f, 2.0f, 0, ICONS[0]));  // behind the clear "b" the icon shows
}

}  // namespace
