// geometry.cpp: the two spatial questions of a tick. Does an exploding bomb's blast reach a point, and is the cell
// ahead of a walking player closed?
//
// Positions are 32-bit floats in cells; the overlap of two positions is decided in double precision with a strict
// tolerance of 16/17 of a cell, so a walker half-way between two cells is caught by either of them. Only the grid
// cell byte 'X' means anything here. Reads `game`, writes nothing. Nothing in here depends on OpenGL.
#include "core/fusewick.h"
#include "core/geometry.h"
#include "core/tables.h"

#include <bit>
#include <cmath>

namespace {

using blast_detail::overlaps;

// Grid coordinates far outside any grid (and NaN) become -1, so that converting them to int is always defined.
constexpr float FAR_AWAY = 1.0e9f;

long roundedCell(float v) {
    if (!(v > -FAR_AWAY && v < FAR_AWAY)) return -1;
    return static_cast<long>(std::rintf(v));
}

long truncatedCell(float v) {
    if (!(v > -FAR_AWAY && v < FAR_AWAY)) return -1;
    return static_cast<long>(v);
}

// A wall stops blasts and steps. Cells outside the stored rows count as walls, so that a position off the grid
// never reads outside it; on the grid this is exactly the 'X' test.
bool wallAt(long x, long y) {
    if (y < 0 || static_cast<size_t>(y) >= game.rows.size()) return true;
    const std::string& row = game.rows[static_cast<size_t>(y)];
    if (x < 0 || static_cast<size_t>(x) >= row.size()) return true;
    return row[static_cast<size_t>(x)] == 'X';
}

// How many cells an arm from (x, y) in direction (dx, dy) covers before the grid edge, a wall or the end of its
// range. Reads the row buffers directly: this runs for every exploding bomb in every tick. A cell beyond the
// stored rows ends the arm, as wallAt would.
int armLength(long x, long y, int dx, int dy, int range) {
    const long width = game.width;
    const long height = game.height < game.rows.size() ? game.height : static_cast<long>(game.rows.size());
    int n = 0;
    if (dy == 0) {
        const std::string& row = game.rows[static_cast<size_t>(y)];
        const long end = width < static_cast<long>(row.size()) ? width : static_cast<long>(row.size());
        for (long cx = x + dx; n < range && cx >= 0 && cx < end && row[static_cast<size_t>(cx)] != 'X'; cx += dx) ++n;
    } else {
        for (long cy = y + dy; n < range && cy >= 0 && cy < height; cy += dy) {
            const std::string& row = game.rows[static_cast<size_t>(cy)];
            if (x >= width || x >= static_cast<long>(row.size()) || row[static_cast<size_t>(x)] == 'X') break;
            ++n;
        }
    }
    return n;
}

}  // namespace

int intersectEq(float x1, float y1, float x2, float y2) {
    if (!overlaps(x1, x2)) return 0;
    if (!overlaps(y1, y2)) return 0;
    return 1;
}

int boomIntersect(const Bomb* b, float x, float y) {
    const float bx = b->x;
    const float by = b->y;
    const int range = b->range;
    if (intersectEq(bx, by, x, y)) return 1;

    float c = bx;
    for (int i = 1; i <= range; ++i) {
        c = c - 1.0f;
        if (c < 0.0f || wallAt(roundedCell(c), roundedCell(by))) break;
        if (intersectEq(c, by, x, y)) return 1;
    }
    c = bx;
    for (int i = 1; i <= range; ++i) {
        c = c + 1.0f;
        if (c >= static_cast<float>(game.width) || wallAt(roundedCell(c), roundedCell(by))) break;
        if (intersectEq(c, by, x, y)) return 1;
    }
    float r = by;
    for (int i = 1; i <= range; ++i) {
        r = r - 1.0f;
        if (r < 0.0f || wallAt(roundedCell(bx), roundedCell(r))) break;
        if (intersectEq(bx, r, x, y)) return 1;
    }
    r = by;
    for (int i = 1; i <= range; ++i) {
        r = r + 1.0f;
        if (r >= static_cast<float>(game.height) || wallAt(roundedCell(bx), roundedCell(r))) break;
        if (intersectEq(bx, r, x, y)) return 1;
    }
    return 0;
}

uint64_t slotsIn(uint8_t state) {
    uint64_t slots = 0;
    for (int t = 0; t < TEAM_COUNT; ++t) {
        for (int o = 0; o < PLAYER_COUNT; ++o) {
            const Player& owner = game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(o)];
            for (int s = 0; s < usableSlots(owner); ++s)
                if (owner.bombs[static_cast<size_t>(s)].state == state) slots |= uint64_t{1} << slotBit(t, o, s);
        }
    }
    return slots;
}

CellAhead cellAhead(const Player& p, uint64_t ignored_slots) {
    return cellAheadAmong(p, slotsIn(BOMB_ACTIVE) & ~ignored_slots);
}

CellAhead cellAheadAmong(const Player& p, uint64_t active_slots) {
    CellAhead ahead;
    if (!isWalkingPose(p.pose)) return ahead;  // dying and dead poses face nowhere
    const long cx = truncatedCell(p.x);
    const long cy = truncatedCell(p.y);
    long ax = cx;
    long ay = cy;
    bool off_grid = false;
    switch (facingOf(p.pose)) {
    case FACING_SMALLER_X: off_grid = cx <= 0; ax = cx - 1; break;
    case FACING_LARGER_X: off_grid = cx >= static_cast<long>(game.width) - 1; ax = cx + 1; break;
    case FACING_SMALLER_Y: off_grid = cy <= 0; ay = cy - 1; break;
    default: off_grid = cy >= static_cast<long>(game.height) - 1; ay = cy + 1; break;
    }
    ahead.x = ax;
    ahead.y = ay;
    if (off_grid) {
        ahead.closed = CellAhead::Closed::Edge;
        return ahead;
    }
    if (wallAt(ax, ay)) {
        ahead.closed = CellAhead::Closed::Wall;
        return ahead;
    }
    if (p.type == GHOST) return ahead;  // a GHOST walks through bombs, not through walls

    for (uint64_t left = active_slots; left != 0; left &= left - 1) {
        const int bit = std::countr_zero(left);
        const Bomb& bomb = game.teams[static_cast<size_t>(slotTeam(bit))]
                               .players[static_cast<size_t>(slotPlayer(bit))]
                               .bombs[static_cast<size_t>(slotIndex(bit))];
        if (truncatedCell(bomb.x) != ax || truncatedCell(bomb.y) != ay) continue;
        ahead.closed = CellAhead::Closed::Bomb;
        ahead.team = slotTeam(bit);
        ahead.player = slotPlayer(bit);
        ahead.slot = slotIndex(bit);
        return ahead;
    }
    return ahead;
}

int computeIntersect(const Player* p) { return cellAhead(*p).closed != CellAhead::Closed::Open ? 1 : 0; }

BlastCross measureBlast(const Bomb& bomb) {
    BlastCross cross{&bomb, false, bomb.x, bomb.y, bomb.x, bomb.x, bomb.y, bomb.y};
    const long bx = roundedCell(bomb.x);
    const long by = roundedCell(bomb.y);
    // The closed form needs whole, in-grid bomb coordinates, which every dropped bomb has.
    if (bx < 0 || by < 0 || bx >= game.width || by >= game.height || static_cast<size_t>(by) >= game.rows.size() ||
        static_cast<float>(bx) != bomb.x || static_cast<float>(by) != bomb.y)
        return cross;
    cross.closed_form = true;
    cross.left = static_cast<float>(bx - armLength(bx, by, -1, 0, bomb.range));
    cross.right = static_cast<float>(bx + armLength(bx, by, 1, 0, bomb.range));
    cross.top = static_cast<float>(by - armLength(bx, by, 0, -1, bomb.range));
    cross.bottom = static_cast<float>(by + armLength(bx, by, 0, 1, bomb.range));
    return cross;
}
