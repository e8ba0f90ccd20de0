// geometry.h: the blast cross of one exploding bomb, measured once against the grid, so that the engine can test
// many points against it cheaply within a tick.
//
// crossReaches gives exactly the result of boomIntersect (fusewick.h) for the same bomb, grid and point; the
// engine uses it because a tick tests every exploding bomb against every living player and every ticking bomb.
// Reads `game` (the grid) only while measuring. Nothing in here depends on OpenGL.
#pragma once

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

// Walks the four arms of `bomb` over the grid once: each ends at the grid edge, before the first wall, or after
// `range` cells.
BlastCross measureBlast(const Bomb& bomb);

// 1 when the measured blast reaches (x, y), with the same result as boomIntersect(cross.bomb, x, y).
int crossReaches(const BlastCross& cross, float x, float y);
