// effects.cpp: the bomb with its fuse burning in three frames, and the explosion pieces in five sizes.
//
// Explosion pieces are drawn as they must look on screen and then placed in the sheet the way the game reads them:
// horizontal end pieces with the tip on the left (the game mirrors them for the right arm), vertical pieces as the
// horizontal ones turned on their side with the tip up (flipped for the lower arm), and the centre upside down,
// because the game draws it upside down. Every piece has the same flame profile where it meets its neighbour, so
// the arms join without seams. Depends on canvas.h and the sprite layout only.
#include "sheets.h"

#include <algorithm>
#include <numbers>

namespace art {

namespace {

// [SECTION] Bomb

const Ramp BOMB_SHELL{rgb(16, 16, 28), rgb(34, 34, 52), rgb(54, 56, 80), rgb(98, 104, 140), rgb(196, 204, 232)};
const Ramp BOMB_CAP = rampOf(rgb(160, 158, 170));
constexpr Rgba FUSE = rgb(206, 166, 104);
constexpr Rgba FUSE_BURNT = rgb(90, 70, 56);
constexpr Rgba SPARK_WHITE = rgb(255, 255, 236);
constexpr Rgba SPARK_YELLOW = rgb(255, 222, 64);
constexpr Rgba SPARK_ORANGE = rgb(252, 134, 32);
constexpr Rgba SPARK_RED = rgb(214, 52, 24);

void spark(Image& t, int cx, int cy, int size) {
    const Frame px{};
    if (size == 0) {
        for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) t.set(cx + dx, cy + dy, SPARK_ORANGE);
        t.set(cx, cy, SPARK_YELLOW);
        return;
    }
    const int ray = size == 1 ? 2 : 3;
    for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
        line(t, px, cx, cy, cx + dx * ray, cy + dy * ray, size == 1 ? SPARK_ORANGE : SPARK_RED);
    for (auto [dx, dy] : {std::pair{-1, -1}, {1, -1}, {-1, 1}, {1, 1}})
        line(t, px, cx, cy, cx + dx * (ray - 1), cy + dy * (ray - 1), SPARK_ORANGE);
    for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {0, 0}}) t.set(cx + dx, cy + dy, SPARK_YELLOW);
    t.set(cx, cy, SPARK_WHITE);
    if (size == 2) {
        // Flying sparks.
        t.set(cx - 3, cy - 3, SPARK_YELLOW);
        t.set(cx + 2, cy + 4, SPARK_ORANGE);
        t.set(cx - 4, cy + 1, SPARK_ORANGE);
    }
}

Image bombFrame(int frame) {
    Image t(TILE, TILE);
    const float cx = 9.5f;
    const float cy = 11.8f;
    const float r = 7.0f;
    fillBall(t, Mask(TILE, TILE, ellipse(cx, cy, r, r)), BOMB_SHELL, Frame{}, cx, cy, r, r);
    // A sharp window reflection on the shell.
    t.set(6, 8, rgb(236, 240, 255));
    t.set(7, 8, rgb(236, 240, 255));
    t.set(6, 9, rgb(236, 240, 255));
    fillLit(t, Mask(TILE, TILE, roundBox(7.0f, 3.0f, 12.0f, 6.0f, 0.7f)), BOMB_CAP);
    outline(t, rgb(12, 10, 20));
    // The fuse curls up and to the right; its burnt end shortens a little from frame to frame.
    const Frame px{};
    line(t, px, 9, 2, 10, 1, FUSE);
    line(t, px, 11, 1, 13, 1, FUSE);
    line(t, px, 14, 2, 15, 2, frame == 0 ? FUSE : FUSE_BURNT);
    spark(t, 16, 3, frame);
    return t;
}

// [SECTION] Explosion

constexpr float HALF_WIDTHS[layout::BLAST_FRAMES] = {3.2f, 4.6f, 6.0f, 7.4f, 8.8f};
constexpr float MIDDLE = TILE / 2.0f;

// The flame edge's ripple along a beam: repeats every half tile, so it is the same at both edges of every piece.
float ripple(float along, int frame) {
    const float k = 2.0f * std::numbers::pi_v<float> / (TILE / 2.0f);
    const float amp = 0.35f + 0.15f * frame;
    return amp * (std::sin(k * along + frame * 1.7f) + 0.5f * std::sin(2 * k * along + frame * 0.9f));
}

// How far a point lies toward the flame's edge: 0 on the beam's axis, 1 on its edge.
float beamDepth(float across, float along, int frame) {
    return std::abs(across - MIDDLE) / (HALF_WIDTHS[frame] + ripple(along, frame));
}

enum class Piece { Middle, End, Centre };

float pieceDepth(Piece piece, float x, float y, int frame) {
    const float along_beam = beamDepth(y, x, frame);
    switch (piece) {
    case Piece::Middle: return along_beam;
    case Piece::End: {
        if (x >= MIDDLE) return along_beam;
        // The tip: a rounded end whose radius follows the beam's width.
        const float d = std::hypot(x - MIDDLE, y - MIDDLE);
        return d / (HALF_WIDTHS[frame] + ripple(x, frame));
    }
    case Piece::Centre: {
        const float across_beam = beamDepth(x, y, frame);
        const float angle = std::atan2(y - MIDDLE, x - MIDDLE);
        const float burst = HALF_WIDTHS[frame] * 1.22f + 0.7f * std::sin(8 * angle + frame);
        return std::min({along_beam, across_beam, std::hypot(x - MIDDLE, y - MIDDLE) / burst});
    }
    }
    return 2;
}

// One piece as it must look on screen, lying along x for the arm pieces.
Image flamePiece(Piece piece, int frame) {
    Image t(TILE, TILE);
    for (int y = 0; y < TILE; ++y) {
        for (int x = 0; x < TILE; ++x) {
            const float q = pieceDepth(piece, x + 0.5f, y + 0.5f, frame);
            if (q > 1.0f) continue;
            const float n = q + (noise(x, y, 40 + frame) - 0.5f) * 0.2f;
            Rgba c = rgb(212, 48, 20);
            if (n < 0.36f) c = rgb(255, 252, 222);
            else if (n < 0.60f) c = rgb(255, 222, 70);
            else if (n < 0.84f) c = rgb(250, 138, 30);
            t.set(x, y, c);
        }
    }
    return t;
}

// Puts a piece as it looks on screen where the layout keeps piece `kind` of frame `frame`, upside down when the
// drawing shows that piece upside down.
void place(Image& sheet, const Image& piece, uint32_t kind, int frame) {
    const layout::ExplosionPiece& where = layout::EXPLOSION_PIECES[kind];
    const int64_t column = layout::explosionColumn(where, static_cast<uint32_t>(frame));
    const int top = (layout::EXPLOSION_BANDS - 1 - where.band) * TILE;  // bands count from the bottom
    sheet.blit(where.flipped ? piece.flippedVertically() : piece, static_cast<int>(column) * TILE, top);
}

}  // namespace

Image bombSheet() {
    Image sheet(layout::BOMB_WIDTH, layout::BOMB_HEIGHT);
    for (int f = 0; f < layout::FUSE_FRAMES; ++f) sheet.blit(bombFrame(f), f * TILE, 0);
    return sheet;
}

Image explosionSheet() {
    Image sheet(layout::EXPLOSION_WIDTH, layout::EXPLOSION_HEIGHT);
    for (int f = 0; f < layout::BLAST_FRAMES; ++f) {
        const Image middle = flamePiece(Piece::Middle, f);
        const Image end = flamePiece(Piece::End, f);
        // The arms toward smaller x and y are stored as they look; the drawing mirrors or flips them for the others.
        place(sheet, flamePiece(Piece::Centre, f), layout::PIECE_CENTRE, f);
        place(sheet, end.transposed(), layout::PIECE_UP_END, f);
        place(sheet, middle.transposed(), layout::PIECE_UP_MIDDLE, f);
        place(sheet, end, layout::PIECE_LEFT_END, f);
        place(sheet, middle, layout::PIECE_LEFT_MIDDLE, f);
    }
    return sheet;
}

}  // namespace art
