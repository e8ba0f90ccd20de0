// draw_scoreboard.cpp: the two side panels: each team's score, its players' status icons and its name, in the
// corner of the panel next to the team's start corner (teams 0 and 1 left, 2 and 3 right; even teams on top).
//
// Needs only the GL headers and the core's score clamp. Apart from that clamp it reads `game` and writes nothing.
// Draws with depth testing off, so later quads cover earlier ones wherever their texels are not fully transparent.
#include "gl/gl_utils.h"

#include "core/fusewick.h"
#include "gl/sprite_layout.h"

#include <algorithm>

namespace {

// The sheet's bands as the quads address them.
constexpr layout::Band DIGIT_BAND = layout::bandOf(layout::DIGIT_ROWS);
constexpr layout::Band PANEL_BAND = layout::bandOf(layout::PANEL_ROWS);
constexpr std::array<layout::Band, TEAM_COUNT> ICON_BANDS = [] {
    std::array<layout::Band, TEAM_COUNT> bands{};
    for (int t = 0; t < TEAM_COUNT; ++t) bands[static_cast<size_t>(t)] = layout::bandOf(layout::iconRows(t));
    return bands;
}();

// One quad on x..x+a, y..y+b with sprite columns s0..s1 and the band's lower t on its lower screen edge.
void sendQuad(float x, float y, float a, float b, float s0, float s1, const layout::Band& band) {
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
void sendCell(float x, float y, int column, const layout::Band& band) {
    const float s0 = static_cast<float>(layout::cellLeftS(column));
    const float s1 = static_cast<float>(layout::cellRightS(column));
    sendQuad(x, y, 1.0f, 1.0f, s0, s1, band);
}

// The tens cell and the ones digit of a score already clamped into -9..19.
struct ScoreCells {
    int tens, ones;
};
ScoreCells scoreCells(int8_t v) {
    if (v < 0) return {layout::TENS_MINUS, -v};
    if (v < 10) return {layout::TENS_EMPTY, v};
    return {layout::TENS_ONE, v % 10};
}

void sendPanels(float w, float h) {
    const float s0 = static_cast<float>(layout::columnS(layout::PANEL_COLUMN, layout::SCOREBOARD_COLUMNS));
    const float s1 = static_cast<float>(layout::columnS(layout::PANEL_COLUMN + 1, layout::SCOREBOARD_COLUMNS));
    for (const layout::PanelQuad& q : {layout::leftPanel(h), layout::rightPanel(w, h)})
        sendQuad(q.x, q.y, q.width, q.height, s0, s1, PANEL_BAND);
}

void sendTeamCells(int t, const layout::PanelCorner& c) {
    const ScoreCells score = scoreCells(game.score[static_cast<size_t>(t)]);
    sendCell(c.score_x, c.score_y, score.tens, DIGIT_BAND);
    sendCell(c.score_x + 1.0f, c.score_y, score.ones, DIGIT_BAND);

    // Players 0 and 1 on the upper row of the block, 2 and 3 on the lower; all four whatever their status.
    const Team& team = game.teams[static_cast<size_t>(t)];
    for (int p = 0; p < PLAYER_COUNT; ++p) {
        const float x = c.score_x + static_cast<float>(p % 2);
        const float y = c.score_y + 1.0f + static_cast<float>(p / 2);
        sendCell(x, y, team.players[static_cast<size_t>(p)].status, ICON_BANDS[static_cast<size_t>(t)]);
    }
}

void drawTeamName(int t, const layout::PanelCorner& c) {
    const std::string& name = game.teams[static_cast<size_t>(t)].name;
    // At most eight characters; counted in full width first, so a very long name never wraps to a short count.
    const auto length = static_cast<uint8_t>(std::min(name.size(), layout::NAME_CHARS));
    const layout::Rgb& colour = layout::NAME_COLOURS[static_cast<size_t>(t)];
    glColor3ub(colour.red, colour.green, colour.blue);  // multiplies the font's texels
    drawText(name.data(), length, c.name_x, c.name_y, layout::NAME_CHAR_WIDTH, layout::NAME_CHAR_HEIGHT);
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
    for (int t = 0; t < TEAM_COUNT; ++t) sendTeamCells(t, layout::panelCorner(t, w, h));
    glEnd();
    glFlush();

    glBindTexture(GL_TEXTURE_2D, textures[TEX_FONT]);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int t = 0; t < TEAM_COUNT; ++t) drawTeamName(t, layout::panelCorner(t, w, h));

    glColor3ub(255, 255, 255);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}
