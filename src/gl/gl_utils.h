// gl_utils.h: the window library's interface: the sprite textures, the drawing of the whole scene, the window with
// its frame timer and keys.
//
// World coordinates of all drawing: one unit per grid cell, x to the right, y downward, cell (x, y) covering x..x+1
// and y..y+1; the view shows x from -5 to width+5 and y from -1 to height+1; a larger z lies in front. Every picture
// is a textured quad whose corners go (x, y+b), (x+a, y+b), (x+a, y), (x, y) with t = 0 on the lower screen edge.
// Between frames the current colour is white, blending is off, depth testing, texturing and the alpha test are on.
//
// Two halves with different link needs:
// - drawing and sprites (sprites.cpp, scene.cpp, draw_*.cpp) need only the GL headers: whoever links them picks the
//   GL implementation (the window's libGL, or OSMesa in the offscreen tests and benchmarks);
// - the window (window.cpp) needs the toolkit (GLUT) as well.
#pragma once

#include "core/game.h"

#include <GL/gl.h>

#include <array>
#include <cstdint>

// [SECTION] Sprite textures ------------------------------------------------------------------------------------------

// Texture slots: which sprite each entry of `textures` holds.
enum TextureSlot : int {
    TEX_BACKGROUND = 0,  // block and ground tiles
    TEX_TEAM_A = 1,      // player sheets of teams 0..3 are slots 1..4
    TEX_BOMB = 5,        // three fuse frames
    TEX_EXPLOSION = 6,   // explosion pieces in five frames
    TEX_SCOREBOARD = 7,  // digits, status icons, panel background
    TEX_FONT = 8,        // the letters A to Z
    TEXTURE_COUNT = 9,
};

// The nine sprite texture names, filled once by loadSprites and read by the drawing.
extern std::array<GLuint, TEXTURE_COUNT> textures;

// The sprite file of each slot, relative to the working directory.
extern const std::array<const char*, TEXTURE_COUNT> SPRITE_FILES;

// Makes `name` the bound 2D texture and uploads `rgba` (width x height pixels of red, green, blue, alpha, bottom row
// first) with nearest filtering and clamped coordinates.
void uploadSprite(GLuint name, uint32_t width, uint32_t height, const uint8_t* rgba);

// Loads the nine sprite bitmaps into fresh textures, in slot order. Needs a current GL context. Ends the process with
// 2 for a missing file (the earlier slots are uploaded by then), 5 for a bitmap that is not 32 bits per pixel.
void loadSprites();

// [SECTION] Scene --------------------------------------------------------------------------------------------------

// Puts OpenGL into the state every drawing function relies on for a grid of `width` x `height` cells: grey clear
// colour, the world projection, texturing, depth testing and the alpha test that drops fully transparent texels.
void setupView(uint16_t width, uint16_t height);

// The window's size in pixels for a grid of `width` x `height` cells at `pixel_width` x `pixel_height` pixels per
// cell: the grid plus a margin of 5 cells left and right and 1 above and below. Each side is kept within
// 1..WINDOW_MAX_SIDE, which the window system can make.
struct WindowSize {
    int width, height;
};
constexpr int WINDOW_MAX_SIDE = 32767;
WindowSize windowSize(uint16_t width, uint16_t height, uint16_t pixel_width, uint16_t pixel_height);

// Draws one whole frame of `game` into the current buffer: clear, map, scoreboard (which clamps the scores), bombs,
// explosions, players. Swaps nothing and advances nothing.
void drawScene();

// [SECTION] Playfield ----------------------------------------------------------------------------------------------

// Binds the background sprite and draws the ring of blocks around the grid and one tile per cell: a block for a wall
// ('X'), shaded ground under a wall or the top border, plain ground elsewhere.
void drawMapgrid();

// A block tile on the cell whose top-left corner is (x, y), with whatever texture is bound.
void drawBlock(float x, float y);

// A ground tile on the cell whose top-left corner is (x, y): the shaded variant when `shaded` is 1, else plain.
void drawGround(float x, float y, uint8_t shaded);

// [SECTION] Bombs and explosions -----------------------------------------------------------------------------------

// One ticking bomb: the fuse frame's third of the bound bomb sprite on the bomb's cell.
void drawBomb(const Bomb& b);

// One exploding bomb: the centre piece and the arms of the bound explosion sprite, each arm ending at the grid edge,
// before the first wall, or with an end piece at the full range. A range of 0 draws nothing.
void drawBoom(const Bomb& b);

// One explosion piece of `kind` (0 centre, 1..8 arm pieces) and `frame` on the cell at (x, y). Sends four corners
// only: call it between glBegin(GL_QUADS) and glEnd.
void drawBoomPart(float x, float y, uint32_t frame, uint32_t kind);

// [SECTION] Players ------------------------------------------------------------------------------------------------

// One player from the bound team sheet: the picture of its pose, one cell wide and one and a half tall, standing on
// its cell at depth y. Pose 20 and above draws nothing.
void drawPlayer(const Player& p);

// [SECTION] Text and scoreboard ------------------------------------------------------------------------------------

// Draws `length` bytes of `text` from the bound font sprite, centred on (x, y), each character in a cell of
// char_width x char_height. Letters of either case take their letter's cell; any other byte leaves an empty cell.
void drawText(const char* text, uint8_t length, float x, float y, float char_width, float char_height);

// Clamps the scores into -9..19 (in `game`), then draws both side panels: scores, player status icons and team names.
// Leaves the font sprite bound, the colour white, blending off and depth testing on.
void drawScoreboard();

// [SECTION] Window, frame cycle and keys (window.cpp: needs GLUT) ----------------------------------------------------

// Opens the window for the grid of `game` at the cell size of `config`, sets up the view, registers the display and
// keyboard callbacks and arms the 30 ms frame timer. The toolkit may consume its own options from a copy of argc.
void initGL(int argc, char** argv);

// The display callback: draws the frame, shows it, then advances the match by one tick when it runs and runs the
// end-of-game check.
void displayGame();

// The frame timer: asks for a redraw and re-arms itself for 30 ms later with the same value.
void timerCallback(int value);

// The keyboard callback: q/Esc quit, s/Enter/line feed start and pause, n steps while paused, e ends the match,
// r restarts it from the files and runs it, p prints the status report. Other keys are ignored.
void keyPress(unsigned char key, int x, int y);
