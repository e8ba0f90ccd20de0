// geometry.h: the blast cross of one exploding bomb, measured once against the grid, so that the engine can test
// many points against it cheaply within a tick.
//
// crossReaches gives exactly the result of boomIntersect (fusewick.h) for the same bomb, grid and point; the
// engine uses it because a tick tests every exploding bomb against every living player and every ticking bomb.
// Reads `game` (the grid) only while measuring. Nothing in here depends on OpenGL.
#pragma once

#include "core/fusewick.h"
#include "core/game.h"

// The farthest cells of the four arms of one blast. Between two tests the grid and the bomb must not change.
struct BlastCross {
    const Bomb* bomb;  // the measured bomb, tested the slow way when `closed_form` is false
    bool closed_form;  // the bomb lies on a whole cell of the grid, so the closed form below holds
    float x;           // the bomb's cell
    float y;
    float left;        // first column of the horizontal bar (the arm toward smaller x ends here)
    float right;       // last column of the horizontal bar
    float top;         // first row of the vertical bar
    float bottom;      // last row of the vertical bar
};

// The cell ahead of a walking player and whether it is closed, and by what: off the grid, a wall, or (except for a
// GHOST) an active bomb, the first in pass order. A player facing nowhere (dying or dead) has the cell open.
struct CellAhead {
    enum class Closed { Open, Edge, Wall, Bomb };
    Closed closed = Closed::Open;
    long x = 0, y = 0;                   // the cell ahead (off the grid for Edge)
    int team = -1, player = -1, slot = -1;  // with Bomb: the bomb's slot, from 0
};

// The bit of a bomb slot in a set of slots (64 slots: 4 teams x 4 players x 4 slots).
constexpr int slotBit(int team, int player, int slot) { return (team * PLAYER_COUNT + player) * BOMB_SLOTS + slot; }

// computeIntersect with its reason. Bombs whose slot bit is set in `ignored_slots` are passed over (a trace asking
// after the tick leaves out the bombs dropped later in the same tick).
CellAhead cellAhead(const Player& p, uint64_t ignored_slots = 0);

// Walks the four arms of `bomb` over the grid once: each ends at the grid edge, before the first wall, or after
// `range` cells.
BlastCross measureBlast(const Bomb& bomb);

namespace blast_detail {

// Two positions overlap when they lie less than this far apart on both axes (compared in double precision).
constexpr double OVERLAP = 16.0 / 17.0;

inline bool overlaps(float a, float b) {
    const double d = static_cast<double>(a) - static_cast<double>(b);
    return (d < 0 ? -d : d) < OVERLAP;
}

// The union of the overlap intervals of the whole cells first..last is one open interval, since neighbouring
// intervals overlap; v lies in it when it is closer than the tolerance to the nearer end or lies between the ends.
// The differences are formed exactly as the point test forms them, so the result is bit for bit the same.
inline bool withinBar(float first, float last, float v) {
    return static_cast<double>(first) - static_cast<double>(v) < OVERLAP &&
           static_cast<double>(v) - static_cast<double>(last) < OVERLAP;
}

}  // namespace blast_detail

// 1 when the measured blast reaches (x, y), with the same result as boomIntersect(cross.bomb, x, y).
inline int crossReaches(const BlastCross& cross, float x, float y) {
    using namespace blast_detail;
    if (!cross.closed_form) return boomIntersect(cross.bomb, x, y);
    // The horizontal bar (the centre and the arms along x), then the vertical one.
    if (overlaps(cross.y, y) && withinBar(cross.left, cross.right, x)) return 1;
    if (overlaps(cross.x, x) && withinBar(cross.top, cross.bottom, y)) return 1;
    return 0;
}
