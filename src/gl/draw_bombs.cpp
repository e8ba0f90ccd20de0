// draw_bombs.cpp: ticking bombs with their burning fuse and exploding bombs as crosses of explosion pieces.
//
// Needs only the GL headers; reads the bomb records and the grid of `game`, writes nothing. The arms follow the same
// reach rule as the blast itself: they end at the grid edge and before the first wall. Where each fuse frame and
// explosion piece lies on its sheet is in sprite_layout.h.
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"

namespace {

constexpr float BOMB_Z = -0.5f;
constexpr float EXPLOSION_Z = -0.25f;

// A texture rectangle: s0, t0 on the cell's left and lower screen edges, s1, t1 on its right and upper edges.
struct TexRect {
    float s0, s1, t0, t1;
};

// The four corners of a one-cell quad at (x, y), each texture coordinate before its vertex.
void sendCell(float x, float y, float z, const TexRect& r) {
    glTexCoord2d(r.s0, r.t0);
    glVertex3f(x, y + 1.0f, z);
    glTexCoord2d(r.s1, r.t0);
    glVertex3f(x + 1.0f, y + 1.0f, z);
    glTexCoord2d(r.s1, r.t1);
    glVertex3f(x + 1.0f, y, z);
    glTexCoord2d(r.s0, r.t1);
    glVertex3f(x, y, z);
}

// A sheet rectangle in the floats the quads are sent with.
TexRect texRect(const layout::SheetRect& r) {
    return {static_cast<float>(r.s_left), static_cast<float>(r.s_right), static_cast<float>(r.t_lower),
            static_cast<float>(r.t_upper)};
}

// The bomb sheet's column of the fuse frame, over the sheet's full height.
TexRect fuseFrameRect(uint32_t fuse_frame) {
    const int column = layout::fuseColumn(fuse_frame);
    return texRect({layout::columnS(column, layout::FUSE_FRAMES), layout::columnS(column + 1, layout::FUSE_FRAMES),
                    0.0, 1.0});
}

bool isWall(int x, int y) {
    return game.rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == 'X';
}

}  // namespace

void drawBomb(const Bomb& b) {
    glBegin(GL_QUADS);
    sendCell(b.x, b.y, BOMB_Z, fuseFrameRect(b.fuse_frame));
    glEnd();
}

void drawBoomPart(float x, float y, uint32_t frame, uint32_t kind) {
    if (kind < layout::PIECE_KINDS) sendCell(x, y, EXPLOSION_Z, texRect(layout::explosionRect(kind, frame)));
}

void drawBoom(const Bomb& b) {
    const uint8_t range = b.range;
    if (range == 0) return;
    const uint32_t frame = b.blast_frame;
    const float bx = b.x;
    const float by = b.y;

    glBegin(GL_QUADS);
    drawBoomPart(bx, by, frame, layout::PIECE_CENTRE);
    // Bombs always lie on the grid; a record that does not gets its centre but no arms, rather than reads beyond
    // the grid.
    const bool on_grid = bx >= 0.0f && by >= 0.0f && bx < static_cast<float>(game.width) &&
                         by < static_cast<float>(game.height);
    if (on_grid) {
        const int cx = static_cast<int>(bx);
        const int cy = static_cast<int>(by);
        for (const layout::BlastArm& arm : layout::BLAST_ARMS) {
            for (int i = 1; i <= range; ++i) {
                const int x = cx + arm.dx * i;
                const int y = cy + arm.dy * i;
                if (x < 0 || y < 0 || x >= game.width || y >= game.height) break;  // the grid edge ends the arm
                if (isWall(x, y)) break;                                           // so does the first wall
                const float fi = static_cast<float>(i);
                const float px = bx + static_cast<float>(arm.dx) * fi;
                const float py = by + static_cast<float>(arm.dy) * fi;
                drawBoomPart(px, py, frame, i < range ? arm.middle : arm.end);
            }
        }
    }
    glEnd();
}
