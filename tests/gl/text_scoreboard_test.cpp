// text_scoreboard_test.cpp: sprite-font texts and the side panels (score digits and clamp, status icons, team names
// in their colours), drawn in a real offscreen context and read back.
#include "gl_test_support.h"

#include "support/test_support.h"

namespace {

using gltest::CLEAR_COLOUR;
using gltest::Offscreen;
using gltest::Rgba;

// [SECTION] Text ----------------------------------------------------------------------------------------------------

struct TextCase {
    const char* name;
    std::string text;
    float x, y, char_width, char_height;
    std::vector<int> cells;  // letter cell per character drawn, -1 for an empty one
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextTest : public testing::TestWithParam<TextCase> {};

TEST_P(TextTest, CentredRowOfCaselessLetterCells) {
    const TextCase& c = GetParam();
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(6, "......"));
    Offscreen view;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_FONT]);
    drawText(c.text.data(), uint8_t(c.cells.size()), c.x, c.y, c.char_width, c.char_height);

    const float left = c.x - c.char_width * float(c.cells.size()) / 2.0f, top = c.y - c.char_height / 2.0f;
    for (size_t i = 0; i < c.cells.size(); ++i) {
        const float x0 = left + float(i) * c.char_width;
        const int k = c.cells[i];
        if (k < 0)
            EXPECT_EQ(view.at(x0 + c.char_width / 2.0f, c.y), CLEAR_COLOUR) << "character " << i;
        else
            EXPECT_TRUE(view.showsQuad(TEX_FONT, x0, top, x0 + c.char_width, top + c.char_height, k / 26.0,
                                       (k + 1) / 26.0, 0.0, 1.0))
                << "character " << i;
    }
    EXPECT_EQ(view.at(left + c.char_width * float(c.cells.size()) + 0.1f, c.y), CLEAR_COLOUR);  // nothing beyond
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextTest,
    testing::Values(TextCase{"BothCases", "aBzZ", 2.0f, 1.0f, 1.0f, 1.0f, {0, 1, 25, 25}},
                    TextCase{"DigitLeavesAGap", "A1B", 3.0f, 2.0f, 1.0f, 1.0f, {0, -1, 1}},
                    TextCase{"NoLettersBeyondAscii", "\xC1z\x80[`{", 3.0f, 2.0f, 1.0f, 2.0f, {-1, 25, -1, -1, -1, -1}},
                    // Eight half-cell characters centred on (-3, 3.5) fill x -5..-1, y 3..4.
                    TextCase{"PanelWidth", "maps/red", -3.0f, 3.5f, 0.5f, 1.0f, {12, 0, 15, 18, -1, 17, 4, 3}},
                    TextCase{"OnlyTheGivenLength", "Zebra", 2.0f, 1.0f, 1.0f, 1.0f, {25, 4}},
                    TextCase{"Empty", "", 2.0f, 1.0f, 1.0f, 1.0f, {}}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// [SECTION] Scoreboard ----------------------------------------------------------------------------------------------

constexpr int W = 6, H = 8;
constexpr float CORNERS[TEAM_COUNT][2] = {{-4, 0}, {-4, H - 3}, {W + 2, 0}, {W + 2, H - 3}};  // score rows
constexpr double DIGITS[2] = {0.8125, 1.0};
constexpr double ICONS[TEAM_COUNT][2] = {{0.6125, 0.8}, {0.4125, 0.6}, {0.2125, 0.4}, {0.0, 0.2}};

testing::AssertionResult showsColumn(const Offscreen& view, float x, float y, int column, const double band[2]) {
    const double s0 = column * 16 / 208.0;
    return view.showsCell(TEX_SCOREBOARD, x, y, s0, s0 + 15 / 208.0, band[0], band[1]);
}

void boardMatch(int h = H) {
    fwtest::resetGlobals();
    gltest::setMap(std::vector<std::string>(size_t(h), std::string(W, '.')));
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
        EXPECT_TRUE(showsColumn(view, CORNERS[t][0], CORNERS[t][1], c.tens, DIGITS)) << "team " << t;
        EXPECT_TRUE(showsColumn(view, CORNERS[t][0] + 1, CORNERS[t][1], c.ones, DIGITS)) << "team " << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, ScoreboardScoreTest,
                         testing::Values(ScoreCase{23, 19, 11, 9}, ScoreCase{-12, -9, 12, 9}, ScoreCase{0, 0, 10, 0},
                                         ScoreCase{7, 7, 10, 7}, ScoreCase{15, 15, 11, 5}, ScoreCase{-4, -4, 12, 4},
                                         ScoreCase{-128, -9, 12, 9}, ScoreCase{10, 10, 11, 0}));

TEST(ScoreboardTest, StatusIconsPanelBackgroundsAndTheStateLeftBehind) {
    boardMatch();
    const uint8_t statuses[TEAM_COUNT][PLAYER_COUNT] = {{0, 1, 1, 0}, {1, 0, 0, 1}, {1, 1, 0, 0}, {0, 0, 1, 1}};
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p) game.teams[size_t(t)].players[size_t(p)].status = statuses[t][p];
    Offscreen view;
    drawScoreboard();
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p)
            EXPECT_TRUE(showsColumn(view, CORNERS[t][0] + float(p % 2), CORNERS[t][1] + 1 + float(p / 2),
                                    statuses[t][p], ICONS[t]))
                << "team " << t << " player " << p;

    // The last column of the lowest band stretched over each whole panel (the right one a cell wider than shown).
    const double s0 = 12 / 13.0, col = 1 / 13.0;
    EXPECT_TRUE(view.showsQuad(TEX_SCOREBOARD, -5, -1, -4, H + 1, s0, s0 + col / 4, 0.0, 0.2));
    EXPECT_TRUE(view.showsQuad(TEX_SCOREBOARD, W + 4, -1, W + 5, H + 1, s0 + col * 3 / 5, s0 + col * 4 / 5, 0, 0.2));

    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2], 3.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

// A white font whose letters outside `opaque` are fully transparent: names show in their team's colour, letter by
// letter.
std::vector<uint8_t> maskedFont(const std::string& opaque) {
    std::vector<uint8_t> font;
    for (uint32_t i = 0; i < 104 * 8; ++i) {
        const bool shown = opaque.find(char('a' + i % 104 / 4)) != std::string::npos;
        font.insert(font.end(), {255, 255, 255, uint8_t(shown ? 255 : 0)});
    }
    return font;
}

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

    // On a map 6 rows high team 1's name row (y 2..3) lies over team 0's lower icons, covering them but where its
    // texels are transparent.
    boardMatch(6);
    game.teams[1].name = "ab";
    Offscreen low(16);
    low.replaceSprite(TEX_FONT, maskedFont("a"));
    drawScoreboard();
    EXPECT_EQ(low.at(-3.25f, 2.5f), dark);
    EXPECT_TRUE(showsColumn(low, -3.0f, 2.0f, 0, ICONS[0]));
}

}  // namespace
