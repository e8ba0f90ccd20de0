// draw_playfield.cpp: the map of one frame: the ring of blocks around the grid, blocks for walls, ground tiles
// shaded under a wall or under the top border.
//
// Needs only the GL headers; reads `game` and `textures`, writes nothing.
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"

namespace {

// Depths: blocks lie in front of ground, and everything else in front of both.
constexpr float GROUND_Z = -1.0f;
constexpr float BLOCK_Z = -0.75f;

// The four corners of one tile at (x, y): the background sheet's column `tile` over its full height, upright.
void sendTile(float x, float y, float z, layout::BackgroundTile tile) {
    const double s0 = layout::columnS(tile, layout::BACKGROUND_TILES);
    const double s1 = layout::columnS(tile + 1, layout::BACKGROUND_TILES);
    glTexCoord2d(s0, 0.0);
    glVertex3f(x, y + 1.0f, z);
    glTexCoord2d(s1, 0.0);
    glVertex3f(x + 1.0f, y + 1.0f, z);
    glTexCoord2d(s1, 1.0);
    glVertex3f(x + 1.0f, y, z);
    glTexCoord2d(s0, 1.0);
    glVertex3f(x, y, z);
}

bool isWall(char cell) { return cell == 'X'; }

}  // namespace

void drawBlock(float x, float y) {
    glBegin(GL_QUADS);
    sendTile(x, y, BLOCK_Z, layout::TILE_BLOCK);
    glEnd();
}

void drawGround(float x, float y, uint8_t shaded) {
    glBegin(GL_QUADS);
    sendTile(x, y, GROUND_Z, shaded == 1 ? layout::TILE_SHADED : layout::TILE_PLAIN);
    glEnd();
}

void drawMapgrid() {
    // One begin/end pair per tile. Sending all tiles in one pair measured no faster on Mesa's software renderer
    // (it merges consecutive quads itself), and dropping the flush below made large maps three times slower there.
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BACKGROUND]);
    const int w = game.width;
    const int h = game.height;

    // The ring; its four corner blocks are drawn twice, to the same effect.
    for (int y = -1; y <= h; ++y) {
        drawBlock(-1.0f, static_cast<float>(y));
        drawBlock(static_cast<float>(w), static_cast<float>(y));
    }
    for (int x = -1; x <= w; ++x) {
        drawBlock(static_cast<float>(x), -1.0f);
        drawBlock(static_cast<float>(x), static_cast<float>(h));
    }

    // The map compiler gives every one of the h rows exactly w bytes. Any byte but 'X' is ground, the NUL filler of
    // a short line included.
    for (int y = 0; y < h; ++y) {
        const std::string& row = game.rows[static_cast<size_t>(y)];
        for (int x = 0; x < w; ++x) {
            const float fx = static_cast<float>(x);
            const float fy = static_cast<float>(y);
            if (isWall(row[static_cast<size_t>(x)])) {
                drawBlock(fx, fy);
            } else {
                // Shaded under a wall, or under the top border.
                const bool under_wall =
                    y == 0 || isWall(game.rows[static_cast<size_t>(y - 1)][static_cast<size_t>(x)]);
                drawGround(fx, fy, under_wall ? 1 : 0);
            }
        }
    }
    glFlush();
}
