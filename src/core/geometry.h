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

// The slots whose bomb is in `state`, one bit each, among the slots their players may use. Bits rise in pass order.
uint64_t slotsIn(uint8_t state);

// The team, player and slot of a slot bit.
constexpr int slotTeam(int bit) { return bit / (PLAYER_COUNT * BOMB_SLOTS); }
constexpr int slotPlayer(int bit) { return bit / BOMB_SLOTS % PLAYER_COUNT; }
constexpr int slotIndex(int bit) { return bit % BOMB_SLOTS; }

// computeIntersect with its reason. Bombs whose slot bit is set in `ignored_slots` are passed over (a trace asking
// after the tick leaves out the bombs dropped later in the same tick).
CellAhead cellAhead(const Player& p, uint64_t ignored_slots = 0);

// The same when the caller knows the slots of the active bombs: exactly those are tested, in pass order. The engine
// keeps them as it goes, which spares it a walk over all 64 slots for every step.
CellAhead cellAheadAmong(const Player& p, uint64_t active_slots);

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

// The column or row a coordinate lies in, rounded down, for crossMayReach; NOT_A_CELL for NaN and far-off values.
constexpr long NOT_A_CELL = -0x40000000L;
inline long cellBelow(float v) {
    if (!(v > -1.0e9f && v < 1.0e9f)) return NOT_A_CELL;
    const long c = static_cast<long>(v);  // toward zero, then down for negative fractions
    return static_cast<float>(c) > v ? c - 1 : c;
}

// A cheap first test for many points against one blast: false only when crossReaches is 0 for every point whose
// coordinates lie in column cx and row cy (cellBelow). A point in row y overlaps a bar in whole row r only when
// |r - y| < 16/17, so r - 1 <= y < r + 1 and y lies in row r - 1 or r; the same holds for columns.
inline bool crossMayReach(const BlastCross& cross, long cx, long cy) {
    if (!cross.closed_form || cx == NOT_A_CELL || cy == NOT_A_CELL) return true;
    const long bx = static_cast<long>(cross.x);
    const long by = static_cast<long>(cross.y);
    return cy == by || cy == by - 1 || cx == bx || cx == bx - 1;
}

// 1 when the measured blast reaches (x, y), with the same result as boomIntersect(cross.bomb, x, y).
inline int crossReaches(const BlastCross& cross, float x, float y) {
    using namespace blast_detail;
    if (!cross.closed_form) return boomIntersect(cross.bomb, x, y);
    // The horizontal bar (the centre and the arms along x), then the vertical one.
    if (overlaps(cross.y, y) && withinBar(cross.left, cross.right, x)) return 1;
    if (overlaps(cross.x, x) && withinBar(cross.top, cross.bottom, y)) return 1;
    return 0;
}
