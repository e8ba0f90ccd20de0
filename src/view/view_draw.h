// view_draw.h: the viewer's picture. The game's frame, drawn by the game's own drawScene into exactly the game
// window's rectangle at the top left, a panel on its right about the followed player and its program, and a strip
// below both with the timeline of the whole match and the play state.
//
// Needs only the GL headers, like the game's drawing: whoever links it picks the GL implementation (the viewer's
// window libGL, the offscreen tests OSMesa). Text is drawn from the viewer's own ASCII font sheet,
// sprites/viewer_font.bmp, with textured quads, two screen pixels per texel.
#pragma once

#include "gl/gl_utils.h"
#include "view/timeline.h"
#include "view/view_control.h"

#include <string>
#include <string_view>

// [SECTION] Layout -------------------------------------------------------------------------------------------------

constexpr int VIEW_CHAR_WIDTH = 12;   // a font cell of 6 x 12 texels, drawn twice as large
constexpr int VIEW_CHAR_HEIGHT = 24;
constexpr int VIEW_PANEL_COLUMNS = 32;
constexpr int VIEW_TRACK_MARK_HEIGHT = 9;  // the timeline's rows of explosions (top) and hits (bottom); deaths between

// Rectangles in window pixels, x to the right and y downward from the top-left corner of the window.
struct ViewRect {
    int x, y, width, height;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct ViewLayout {
    int width, height;  // the whole window
    ViewRect game;      // the game's window, at the top left
    ViewRect panel;     // right of the game
    ViewRect strip;     // below both, across the window
    ViewRect track;     // the timeline inside the strip: one column per pixel
    int program_rows;   // program lines the panel has room for
};

// The viewer's layout for a grid of `width` x `height` cells at `pixel_width` x `pixel_height` pixels per cell: the
// game's rectangle is windowSize's.
ViewLayout viewLayout(uint16_t width, uint16_t height, uint16_t pixel_width, uint16_t pixel_height);

// [SECTION] Font ---------------------------------------------------------------------------------------------------

constexpr const char* VIEWER_FONT_FILE = "sprites/viewer_font.bmp";
extern GLuint viewer_font_texture;

// Loads the viewer's font into a fresh texture. Needs a current GL context. Ends the process as the game does for
// its sprites: 2 for a missing file, 5 for one that cannot be used.
void loadViewerFont();

// [SECTION] Drawing ------------------------------------------------------------------------------------------------

struct ViewColour {
    GLubyte r, g, b;
};

// Draws `text` with the top-left corner of its first cell at window pixel (x, y), at most `max_chars` characters;
// bytes outside 33..127 leave a blank cell, 127 is a solid block. Needs the pixel projection and the font bound, as
// drawViewerFrame sets them.
void drawViewText(std::string_view text, int x, int y, ViewColour colour, size_t max_chars = std::string_view::npos);

// The whole window: the game's frame of `game` drawn by drawScene in layout.game, the game's projection mapped onto
// exactly that rectangle; the panel with the followed player's team, type, health, bombs, cell and state and its
// program around the current line with that line marked (line numbers of the team file), and the keys; the strip
// with the timeline, its marks and the cursor, tick and total, speed, play state and at the end the winners. For
// the timeline's current tick and the control's state. `window_height` is the height of the framebuffer, whose rows
// GL counts from the bottom. Leaves the game's GL state (setupView's) with the pixel projection on the whole window.
void drawViewerFrame(const ViewLayout& layout, int window_height, const MatchTimeline& timeline,
                     const ViewControl& control);

// The colours of the marks and of the marked program line, for whoever checks the picture.
constexpr ViewColour MARK_EXPLOSION = {255, 150, 40};
constexpr ViewColour MARK_HIT = {250, 230, 60};
constexpr ViewColour MARK_DEATH = {235, 40, 40};
constexpr ViewColour MARKED_LINE = {70, 86, 150};
constexpr ViewColour CURSOR = {255, 255, 255};
