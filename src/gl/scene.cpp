// scene.cpp: the fixed GL state of the game's view and the drawing half of a frame.
//
// Needs only the GL headers (no toolkit), so the same frame can be drawn in the window and in an offscreen context.
// The scene only reads `game`, apart from the scoreboard's score clamp.
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"

#include <algorithm>

namespace {

// In 64 bits: a wide map at a large cell size overflows an int.
int windowSide(int cells, uint16_t pixels_per_cell) {
    const int64_t side = int64_t{cells} * pixels_per_cell;
    return static_cast<int>(std::clamp<int64_t>(side, 1, WINDOW_MAX_SIDE));
}

}  // namespace

WindowSize windowSize(uint16_t width, uint16_t height, uint16_t pixel_width, uint16_t pixel_height) {
    return {windowSide(layout::viewColumns(width), pixel_width), windowSide(layout::viewRows(height), pixel_height)};
}

void setupView(uint16_t width, uint16_t height) {
    glClearColor(0.25f, 0.25f, 0.25f, 1.0f);

    // World units are grid cells, with the view's margins around the grid. Bottom (height + 1) greater than top (-1)
    // turns the y axis downward; z runs over the rows so that a player's row can be its depth. The model-view matrix
    // stays the identity.
    const int left = -layout::SIDE_MARGIN;
    const int right = width + layout::SIDE_MARGIN;
    const int top = -layout::END_MARGIN;
    const int bottom = height + layout::END_MARGIN;
    const int depth = height + 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(static_cast<double>(left), static_cast<double>(right), static_cast<double>(bottom),
            static_cast<double>(top), static_cast<double>(-depth), static_cast<double>(depth));

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    // A texel with alpha 0 leaves neither colour nor depth; any other alpha is drawn opaque.
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_ALPHA_TEST);
}

void drawScene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawMapgrid();
    drawScoreboard();

    // Bombs are drawn by slot state alone, in every slot, so the drawing needs no knowledge of max_bombs.
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BOMB]);
    for (const Team& team : game.teams)
        for (const Player& player : team.players)
            for (const Bomb& bomb : player.bombs)
                if (bomb.state == BOMB_ACTIVE) drawBomb(bomb);

    glBindTexture(GL_TEXTURE_2D, textures[TEX_EXPLOSION]);
    for (const Team& team : game.teams)
        for (const Player& player : team.players)
            for (const Bomb& bomb : player.bombs)
                if (bomb.state == BOMB_EXPLODING) drawBoom(bomb);

    for (int t = 0; t < TEAM_COUNT; ++t) {
        glBindTexture(GL_TEXTURE_2D, textures[static_cast<size_t>(TEX_TEAM_A + t)]);
        for (const Player& player : game.teams[static_cast<size_t>(t)].players) drawPlayer(player);
    }
}
