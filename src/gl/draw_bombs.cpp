// draw_bombs.cpp: ticking bombs with their burning fuse and exploding bombs as crosses of explosion pieces.
//
// Needs only the GL headers; reads the bomb records and the grid of `game`, writes nothing. The arms follow the same
// reach rule as the blast itself: they end at the grid edge and before the first wall.
#include "gl/gl_utils.h"

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

// The bomb sprite holds three fuse frames side by side; an unexpected frame shows the middle one.
TexRect fuseFrameRect(uint32_t fuse_frame) {
    double s0 = 1.0 / 3.0;
    double s1 = 2.0 / 3.0;
    if (fuse_frame == 0) {
        s0 = 0.0;
        s1 = 1.0 / 3.0;
    } else if (fuse_frame == 2) {
        s0 = 2.0 / 3.0;
        s1 = 1.0;
    }
    return {static_cast<float>(s0), static_cast<float>(s1), 0.0f, 1.0f};
}

// Explosion sprite bands from the bottom: horizontal arm pieces (end and middle side by side, 0.2 per frame),
// vertical middle pieces, vertical end pieces, centres (0.1 per frame each). Pieces of arms toward larger x are the
// horizontal pieces mirrored; pieces toward larger y and the centre are drawn upside down.
bool explosionPieceRect(uint32_t frame, uint32_t kind, TexRect* out) {
    const double f = frame;
    const float narrow0 = static_cast<float>(0.1 * f);
    const float narrow1 = static_cast<float>(0.1 * f + 0.1);
    const float end0 = static_cast<float>(0.2 * f);        // horizontal end piece: end0..mid0
    const float mid0 = static_cast<float>(0.2 * f + 0.1);  // horizontal middle piece: mid0..mid1
    const float mid1 = static_cast<float>(0.2 * f + 0.2);
    switch (kind) {
    case 0: *out = {narrow0, narrow1, 1.0f, 0.75f}; return true;
    case 1: *out = {mid0, mid1, 0.0f, 0.25f}; return true;
    case 2: *out = {end0, mid0, 0.0f, 0.25f}; return true;
    case 3: *out = {mid1, mid0, 0.0f, 0.25f}; return true;
    case 4: *out = {mid0, end0, 0.0f, 0.25f}; return true;
    case 5: *out = {narrow0, narrow1, 0.25f, 0.5f}; return true;
    case 6: *out = {narrow0, narrow1, 0.5f, 0.75f}; return true;
    case 7: *out = {narrow0, narrow1, 0.5f, 0.25f}; return true;
    case 8: *out = {narrow0, narrow1, 0.75f, 0.5f}; return true;
    default: return false;
    }
}

bool isWall(int x, int y) {
    return game.rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == 'X';
}

// Piece kinds of one arm: its middle piece and the end piece drawn at the full range.
struct Arm {
    int dx, dy;
    uint32_t middle, end;
};
constexpr Arm ARMS[4] = {{-1, 0, 1, 2}, {1, 0, 3, 4}, {0, -1, 5, 6}, {0, 1, 7, 8}};

}  // namespace

void drawBomb(const Bomb& b) {
    glBegin(GL_QUADS);
    sendCell(b.x, b.y, BOMB_Z, fuseFrameRect(b.fuse_frame));
    glEnd();
}

void drawBoomPart(float x, float y, uint32_t frame, uint32_t kind) {
    TexRect r{};
    if (explosionPieceRect(frame, kind, &r)) sendCell(x, y, EXPLOSION_Z, r);
}

void drawBoom(const Bomb& b) {
    const uint8_t range = b.range;
    if (range == 0) return;
    const uint32_t frame = b.blast_frame;
    const float bx = b.x;
    const float by = b.y;

    glBegin(GL_QUADS);
    drawBoomPart(bx, by, frame, 0);
    // Bombs always lie on the grid; a record that does not gets its centre but no arms, rather than reads beyond
    // the grid.
    const bool on_grid = bx >= 0.0f && by >= 0.0f && bx < static_cast<float>(game.width) &&
                         by < static_cast<float>(game.height);
    if (on_grid) {
        const int cx = static_cast<int>(bx);
        const int cy = static_cast<int>(by);
        for (const Arm& arm : ARMS) {
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
