// draw_scoreboard.cpp: the two side panels: each team's score, its players' status icons and its name, in the
// corner of the panel next to the team's start corner (teams 0 and 1 left, 2 and 3 right; even teams on top).
//
// Needs only the GL headers and the core's score clamp. Apart from that clamp it reads `game` and writes nothing.
// Draws with depth testing off, so later quads cover earlier ones wherever their texels are not fully transparent.
#include "gl/gl_utils.h"

#include "core/fusewick.h"

#include <algorithm>

namespace {

// Scoreboard sprite: 13 columns of 16/208 of the width, each drawn 15/208 wide; five bands from the bottom up.
constexpr double COLUMN_PITCH = 16.0 / 208.0;
constexpr double CELL_WIDTH = 15.0 / 208.0;
constexpr int TENS_EMPTY = 10;
constexpr int TENS_ONE = 11;
constexpr int TENS_MINUS = 12;

struct Band {
    float lower, upper;  // t on the quad's lower and upper screen edges
};
constexpr Band DIGIT_BAND = {0.8125f, 1.0f};
constexpr Band ICON_BANDS[TEAM_COUNT] = {{0.6125f, 0.8f}, {0.4125f, 0.6f}, {0.2125f, 0.4f}, {0.0f, 0.2f}};
constexpr Band PANEL_BAND = {0.0f, 0.2f};

struct TeamLook {
    GLubyte red, green, blue;  // colour of the team's name
};
constexpr TeamLook TEAM_LOOKS[TEAM_COUNT] = {{220, 220, 220}, {85, 85, 85}, {0, 0, 184}, {224, 0, 0}};

constexpr size_t NAME_CHARS = 8;  // eight half-cell characters fill the four cells of a panel
constexpr float NAME_CHAR_WIDTH = 0.5f;
constexpr float NAME_CHAR_HEIGHT = 1.0f;

// One quad on x..x+a, y..y+b with sprite columns s0..s1 and the band's lower t on its lower screen edge.
void sendQuad(float x, float y, float a, float b, float s0, float s1, const Band& band) {
    glTexCoord2d(s0, band.lower);
    glVertex2f(x, y + b);
    glTexCoord2d(s1, band.lower);
    glVertex2f(x + a, y + b);
    glTexCoord2d(s1, band.upper);
    glVertex2f(x + a, y);
    glTexCoord2d(s0, band.upper);
    glVertex2f(x, y);
}

// One sprite cell of column `column` on the grid cell at (x, y).
void sendCell(float x, float y, int column, const Band& band) {
    const float s0 = static_cast<float>(column * COLUMN_PITCH);
    const float s1 = static_cast<float>(column * COLUMN_PITCH + CELL_WIDTH);
    sendQuad(x, y, 1.0f, 1.0f, s0, s1, band);
}

// The tens cell and the ones digit of a score already clamped into -9..19.
struct ScoreCells {
    int tens, ones;
};
ScoreCells scoreCells(int8_t v) {
    if (v < 0) return {TENS_MINUS, -v};
    if (v < 10) return {TENS_EMPTY, v};
    return {TENS_ONE, v % 10};
}

// Where team t's corner lies: the score row, the 2 x 2 icon block below it, and the centre of the name.
struct Corner {
    float score_x, score_y, name_x, name_y;
};
Corner cornerOf(int t, float w, float h) {
    const float left = -4.0f;
    const float right = w + 2.0f;
    switch (t) {
    case 0: return {left, 0.0f, -3.0f, 3.5f};
    case 1: return {left, h - 3.0f, -3.0f, h - 3.5f};
    case 2: return {right, 0.0f, w + 3.0f, 3.5f};
    default: return {right, h - 3.0f, w + 3.0f, h - 3.5f};
    }
}

void sendPanels(float w, float h) {
    const float s0 = static_cast<float>(12.0 / 13.0);
    // The right panel reaches one cell beyond the visible margin.
    sendQuad(-5.0f, -1.0f, 4.0f, h + 2.0f, s0, 1.0f, PANEL_BAND);
    sendQuad(w + 1.0f, -1.0f, 5.0f, h + 2.0f, s0, 1.0f, PANEL_BAND);
}

void sendTeamCells(int t, const Corner& c) {
    const ScoreCells score = scoreCells(game.score[static_cast<size_t>(t)]);
    sendCell(c.score_x, c.score_y, score.tens, DIGIT_BAND);
    sendCell(c.score_x + 1.0f, c.score_y, score.ones, DIGIT_BAND);

    // Players 0 and 1 on the upper row of the block, 2 and 3 on the lower; all four whatever their status.
    const Team& team = game.teams[static_cast<size_t>(t)];
    for (int p = 0; p < PLAYER_COUNT; ++p) {
        const float x = c.score_x + static_cast<float>(p % 2);
        const float y = c.score_y + 1.0f + static_cast<float>(p / 2);
        sendCell(x, y, team.players[static_cast<size_t>(p)].status, ICON_BANDS[t]);
    }
}

void drawTeamName(int t, const Corner& c) {
    const std::string& name = game.teams[static_cast<size_t>(t)].name;
    // At most eight characters; counted in full width first, so a very long name never wraps to a short count.
    const auto length = static_cast<uint8_t>(std::min(name.size(), NAME_CHARS));
    const TeamLook& look = TEAM_LOOKS[t];
    glColor3ub(look.red, look.green, look.blue);  // multiplies the font's texels
    drawText(name.data(), length, c.name_x, c.name_y, NAME_CHAR_WIDTH, NAME_CHAR_HEIGHT);
}

}  // namespace

void drawScoreboard() {
    clampScores();

    const float w = static_cast<float>(game.width);
    const float h = static_cast<float>(game.height);

    glBindTexture(GL_TEXTURE_2D, textures[TEX_SCOREBOARD]);
    glDisable(GL_DEPTH_TEST);
    glBegin(GL_QUADS);
    sendPanels(w, h);
    for (int t = 0; t < TEAM_COUNT; ++t) sendTeamCells(t, cornerOf(t, w, h));
    glEnd();
    glFlush();

    glBindTexture(GL_TEXTURE_2D, textures[TEX_FONT]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int t = 0; t < TEAM_COUNT; ++t) drawTeamName(t, cornerOf(t, w, h));

    glColor3ub(255, 255, 255);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}
