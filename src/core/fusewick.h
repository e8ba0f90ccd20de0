// fusewick.h: the game's own operations on the global `game`: loaders, setup, blast geometry, the turn engine,
// the end of the match and the frame step shared by the window and the headless runner.
//
// Every function reads and writes `game` (and reads `config`) directly. Loaders end the process through
// raise_error on bad input and never return a failure. Nothing in here depends on OpenGL.
#pragma once

#include "core/game.h"
#include "core/loaders.h"
#include "core/text_file.h"

#include <array>

// --- Loaders and setup -------------------------------------------------------------------------------------------

// Reads config.map_file into game.width, game.height and game.rows. Exits with 4 (missing), 7 (invalid), 50.
void compileMap();

// The same for a map file on disk or held in memory: the same messages and exit codes under the source's name.
void compileMap(const SourceFile& source);

// Resets flags, scores, names, players (start cells, poses, default attributes, empty programs) and bomb slots.
// Needs the grid size of compileMap.
void initGame();

// Reads the four config.team_file files into team names, player types and programs. Exits with 3, 6 or 50.
// Must follow initGame.
void compileTeams();

// The same for four team files on disk or held in memory. Returns what each file gave, with the team file line of
// every command.
std::array<TeamData, TEAM_COUNT> compileTeams(const std::array<SourceFile, TEAM_COUNT>& sources);

// --- Blast geometry ----------------------------------------------------------------------------------------------

// 1 when two positions lie less than 16/17 of a cell apart in both x and y.
int intersectEq(float x1, float y1, float x2, float y2);

// 1 when the blast of exploding bomb `b` reaches (x, y): its cell or a cell on one of its arms, which end at the grid
// edge and before the first wall.
int boomIntersect(const Bomb* b, float x, float y);

// 1 when the cell ahead of player `p` is closed: off the grid, a wall, or (except for a GHOST) an active bomb.
int computeIntersect(const Player* p);

// --- Turn engine and end of the match ----------------------------------------------------------------------------

// Advances the match by one tick: the four bomb passes, then every living player's program.
void updateGame();

// Takes afresh from `game` what the engine keeps beside it to go faster (the slots in play). Call it whenever bombs
// are set or `game` is replaced from outside the engine: initGame does, and so do the start of a run (runMatch) and
// a restore of a snapshot. With `new_grid` (initGame) it also forgets the blasts measured on the grid before.
void refreshDerivedState(bool new_grid = false);

// Whether any bomb is ticking or exploding, from the engine's own record of the slots in play.
bool anyBombInPlay();

// Ends the match when nothing but waiting is left (or on request), prints the table, animates the result.
void updateDone();

// Clamps every score into the scoreboard's range -9..19, in place.
void clampScores();

// The non-drawing half of a frame: clamp the scores, one tick when the match runs and is not over, then the
// end-of-game check. The window calls it right after drawing (whose scoreboard has clamped the scores already, so
// the clamp here changes nothing there); the headless runner calls it alone. Both print the same console output.
void frameStep();

// Loads a new match in start-up order: map, setup, teams. The restart key runs this and then starts the match.
void loadMatch();
