// sprite_layout.h: where every picture lies in the nine sprite sheets, and where the view puts the grid and the
// side panels. Written once for the drawing (src/gl) and for the sprite generator (tools/sprite_generator), which
// paints each picture exactly where the drawing will look for it.
//
// Only constexpr data and tiny pure functions: no OpenGL, and nothing here reads or writes the game's records.
// Sheet coordinates: s runs from 0 on a sheet's left edge to 1 on its right edge, t from 0 on its bottom row to 1 on
// its top row. The generator counts texel rows from the top, so a band whose top texel row is r has its upper edge at
// t = 1 - r / height. World coordinates are grid cells, x to the right and y downward, as in gl_utils.h.
#pragma once

#include "core/tables.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace layout {

// The s of the left edge of column `column` of a sheet cut into `columns` equal columns; the column's right edge is
// the left edge of the next. Rows of equal bands give t the same way, counted from the bottom.
constexpr double columnS(int64_t column, int columns) { return static_cast<double>(column) / columns; }

// [SECTION] The view -------------------------------------------------------------------------------------------------

// The window shows the grid with a margin of whole cells: the ring of blocks on every side, and a side panel left
// and right of the ring.
constexpr int RING_CELLS = 1;                          // the ring of blocks around the grid is one cell thick
constexpr int PANEL_CELLS = 4;                         // the width of a side panel within the view
constexpr int SIDE_MARGIN = RING_CELLS + PANEL_CELLS;  // 5 cells left and right of the grid
constexpr int END_MARGIN = RING_CELLS;                 // 1 cell above and below it

// The cells the window spans across and down for a grid of `width` x `height` cells.
constexpr int viewColumns(int width) { return width + 2 * SIDE_MARGIN; }
constexpr int viewRows(int height) { return height + 2 * END_MARGIN; }

// [SECTION] Background sheet -------------------------------------------------------------------------------------------

// Texels per side of a background tile, a bomb frame and an explosion piece: two texels a pixel at 40 pixels a cell.
constexpr int TILE = 20;

// The background sheet: one row of tiles, each the sheet's full height.
enum BackgroundTile : int {
    TILE_BLOCK = 0,   // walls and the ring
    TILE_SHADED = 1,  // ground under a wall, or under the top of the ring
    TILE_PLAIN = 2,   // all other ground
    TILE_SPARE = 3,   // a flowered ground tile that the game does not show
};
constexpr int BACKGROUND_TILES = 4;
constexpr int BACKGROUND_WIDTH = BACKGROUND_TILES * TILE;
constexpr int BACKGROUND_HEIGHT = TILE;

// [SECTION] Team sheets ------------------------------------------------------------------------------------------------

constexpr int TEAM_SHEET_WIDTH = 358;  // texels; every picture's edges are whole texel columns
constexpr int TEAM_SHEET_HEIGHT = 26;  // 17 x 26 pictures on a 1 x 1.5 cell quad keep their aspect

// A player's picture is one cell wide and stands on its cell, reaching this far into the cell above (the head), so a
// player lower on the screen covers the head of the one above it.
constexpr float PLAYER_HEAD_ROOM = 0.5f;

// The picture of a pose: texel columns `from` and `to` of the team sheet go on the quad's left and right edges. With
// from < to the picture is columns from..to-1, upright; with from > to it is columns to..from-1, mirrored.
struct PoseColumns {
    int from, to;
    constexpr bool mirrored() const { return from > to; }
    constexpr int first() const { return mirrored() ? to : from; }  // the picture's first texel column
    constexpr int width() const { return mirrored() ? from - to : to - from; }
};

// Per pose below POSE_DEAD, which is never drawn. Facing larger x has no pictures of its own: its poses mirror those
// of facing smaller x, so the figures facing smaller x on the sheet face left.
constexpr std::array<PoseColumns, POSE_DEAD> POSE_COLUMNS{{
    {54, 70},   {72, 89},   {90, 108},                   // facing smaller x: standing, then the two steps
    {70, 54},   {89, 72},   {108, 90},                   // facing larger x: the same pictures mirrored
    {167, 183}, {185, 201}, {203, 219},                  // facing smaller y
    {0, 17},    {18, 34},   {35, 52},                    // facing larger y, also the winners' cheer (POSE_VICTORY)
    {222, 238}, {239, 256}, {275, 291}, {257, 274},      // spare pictures: poses the engine never gives
    {292, 308}, {309, 325}, {326, 342}, {343, 358},      // dying, from POSE_DYING on
}};

namespace detail {

// Facing larger x mirrors facing smaller x frame by frame, and the upright pictures lie on the sheet without
// overlapping, so the generator can paint each one into its own columns.
constexpr bool poseColumnsFit() {
    for (uint32_t frame = 0; frame < POSES_PER_FACING; ++frame) {
        const PoseColumns seen = POSE_COLUMNS[standingPose(FACING_SMALLER_X) + frame];
        const PoseColumns mirror = POSE_COLUMNS[standingPose(FACING_LARGER_X) + frame];
        if (seen.mirrored() || mirror.from != seen.to || mirror.to != seen.from) return false;
    }
    for (const PoseColumns& a : POSE_COLUMNS) {
        if (a.width() <= 0 || a.first() < 0 || a.first() + a.width() > TEAM_SHEET_WIDTH) return false;
        for (const PoseColumns& b : POSE_COLUMNS)
            if (&a != &b && !a.mirrored() && !b.mirrored() && a.from < b.to && b.from < a.to) return false;
    }
    return true;
}
static_assert(poseColumnsFit());

}  // namespace detail

// [SECTION] Bomb sheet -----------------------------------------------------------------------------------------------

// The fuse's frames side by side, a tile each.
constexpr int FUSE_FRAMES = 3;
constexpr int BOMB_WIDTH = FUSE_FRAMES * TILE;
constexpr int BOMB_HEIGHT = TILE;

// The column a bomb shows: its fuse frame; a frame beyond the last shows the middle one.
constexpr int fuseColumn(uint32_t fuse_frame) {
    return fuse_frame < FUSE_FRAMES ? static_cast<int>(fuse_frame) : FUSE_FRAMES / 2;
}

// [SECTION] Explosion sheet ------------------------------------------------------------------------------------------

// A blast grows and shrinks through five frames, from the thinnest flame (0) to the widest.
constexpr int BLAST_FRAMES = 5;

// The sheet's bands of a tile's height, from the bottom (t = 0) up. Every piece is a tile.
enum ExplosionBand : int {
    BAND_ACROSS = 0,          // pieces of the arms along x: per frame an end piece (tip on the left), then a middle one
    BAND_UPRIGHT_MIDDLE = 1,  // middle pieces of the arms along y, a column per frame
    BAND_UPRIGHT_END = 2,     // end pieces of the arms along y, tip up
    BAND_CENTRE = 3,          // centre pieces, stored upside down because they are drawn so
};
constexpr int EXPLOSION_BANDS = 4;
constexpr int EXPLOSION_COLUMNS = 2 * BLAST_FRAMES;  // the across band's two pieces a frame; the others use 5
constexpr int EXPLOSION_WIDTH = EXPLOSION_COLUMNS * TILE;
constexpr int EXPLOSION_HEIGHT = EXPLOSION_BANDS * TILE;

// The pieces a blast is drawn with, as the drawing numbers them: the centre, then per arm its middle and end piece.
enum PieceKind : uint32_t {
    PIECE_CENTRE = 0,
    PIECE_LEFT_MIDDLE = 1,  // the arm toward smaller x
    PIECE_LEFT_END = 2,
    PIECE_RIGHT_MIDDLE = 3,  // toward larger x
    PIECE_RIGHT_END = 4,
    PIECE_UP_MIDDLE = 5,  // toward smaller y
    PIECE_UP_END = 6,
    PIECE_DOWN_MIDDLE = 7,  // toward larger y
    PIECE_DOWN_END = 8,
};
constexpr uint32_t PIECE_KINDS = 9;

// Where a piece lies on the sheet and how it is turned on screen.
struct ExplosionPiece {
    int band;       // ExplosionBand
    bool end;       // in the across band: the frame's end piece, else its middle piece
    bool mirrored;  // drawn right to left
    bool flipped;   // drawn upside down
};
constexpr std::array<ExplosionPiece, PIECE_KINDS> EXPLOSION_PIECES{{
    {BAND_CENTRE, false, false, true},
    {BAND_ACROSS, false, false, false},
    {BAND_ACROSS, true, false, false},
    {BAND_ACROSS, false, true, false},  // the arm toward larger x mirrors the one toward smaller x
    {BAND_ACROSS, true, true, false},
    {BAND_UPRIGHT_MIDDLE, false, false, false},
    {BAND_UPRIGHT_END, false, false, false},
    {BAND_UPRIGHT_MIDDLE, false, false, true},  // the arm toward larger y turns the one toward smaller y upside down
    {BAND_UPRIGHT_END, false, false, true},
}};

// The sheet column of a piece in blast frame `frame`.
constexpr int64_t explosionColumn(const ExplosionPiece& piece, uint32_t frame) {
    const int64_t f = frame;
    return piece.band == BAND_ACROSS ? 2 * f + (piece.end ? 0 : 1) : f;
}

// A sheet rectangle as drawn on a cell: s on the cell's left and right edges, t on its lower and upper edges.
struct SheetRect {
    double s_left, s_right, t_lower, t_upper;
};

// The rectangle of piece `kind` (below PIECE_KINDS) in blast frame `frame`.
constexpr SheetRect explosionRect(uint32_t kind, uint32_t frame) {
    const ExplosionPiece& piece = EXPLOSION_PIECES[kind];
    const int64_t column = explosionColumn(piece, frame);
    const double s0 = columnS(column, EXPLOSION_COLUMNS);
    const double s1 = columnS(column + 1, EXPLOSION_COLUMNS);
    const double t0 = columnS(piece.band, EXPLOSION_BANDS);
    const double t1 = columnS(piece.band + 1, EXPLOSION_BANDS);
    return {piece.mirrored ? s1 : s0, piece.mirrored ? s0 : s1, piece.flipped ? t1 : t0, piece.flipped ? t0 : t1};
}

// The arms of a blast: the step from the centre and the pieces along it; the end piece lies on the cell at the
// blast's full range, middle pieces on the cells before it.
struct BlastArm {
    int dx, dy;
    uint32_t middle, end;
};
constexpr std::array<BlastArm, 4> BLAST_ARMS{{
    {-1, 0, PIECE_LEFT_MIDDLE, PIECE_LEFT_END},
    {1, 0, PIECE_RIGHT_MIDDLE, PIECE_RIGHT_END},
    {0, -1, PIECE_UP_MIDDLE, PIECE_UP_END},
    {0, 1, PIECE_DOWN_MIDDLE, PIECE_DOWN_END},
}};

// [SECTION] Scoreboard sheet ---------------------------------------------------------------------------------------

// Columns and bands of a pitch of 16 texels, of which a cell shows 15: the texel between keeps neighbours apart.
constexpr int SCOREBOARD_COLUMNS = 13;
constexpr int SCOREBOARD_BANDS = 5;
constexpr int SCOREBOARD_PITCH = 16;
constexpr int SCOREBOARD_CELL = 15;
constexpr int SCOREBOARD_WIDTH = SCOREBOARD_COLUMNS * SCOREBOARD_PITCH;  // 208
constexpr int SCOREBOARD_HEIGHT = SCOREBOARD_BANDS * SCOREBOARD_PITCH;   // 80

// Columns of the digit band: the ones digits 0 to 9, then the three symbols of the tens place. A status icon's
// column is the player's status (PLAYER_ALIVE, PLAYER_DEAD).
constexpr int TENS_EMPTY = 10;  // scores 0 to 9
constexpr int TENS_ONE = 11;    // 10 to 19
constexpr int TENS_MINUS = 12;  // -9 to -1
// The panel's colour: the last column of the lowest band, stretched over each whole side panel.
constexpr int PANEL_COLUMN = SCOREBOARD_COLUMNS - 1;

// The s of the left and right edges of a cell of column `column`.
constexpr double SCOREBOARD_PITCH_S = static_cast<double>(SCOREBOARD_PITCH) / SCOREBOARD_WIDTH;
constexpr double SCOREBOARD_CELL_S = static_cast<double>(SCOREBOARD_CELL) / SCOREBOARD_WIDTH;
constexpr double cellLeftS(int column) { return column * SCOREBOARD_PITCH_S; }
constexpr double cellRightS(int column) { return column * SCOREBOARD_PITCH_S + SCOREBOARD_CELL_S; }

// A band's texel rows, counted from the sheet's top row.
struct BandRows {
    int top, rows;
};
// The digits lie in the top band, the icons of team t in band t + 1 from the top. The lowest band is drawn down to
// its bottom row, so the panel and the last team's icons show all 16 of its rows.
constexpr BandRows DIGIT_ROWS{0, SCOREBOARD_CELL};
constexpr BandRows iconRows(int team) {
    return {SCOREBOARD_PITCH * (team + 1), team == TEAM_COUNT - 1 ? SCOREBOARD_PITCH : SCOREBOARD_CELL};
}
constexpr BandRows PANEL_ROWS{(SCOREBOARD_BANDS - 1) * SCOREBOARD_PITCH, SCOREBOARD_PITCH};

// A band as the drawing addresses it: t on the quad's lower and upper screen edges.
struct Band {
    float lower, upper;
};
constexpr Band bandOf(BandRows r) {
    return {static_cast<float>(columnS(SCOREBOARD_HEIGHT - r.top - r.rows, SCOREBOARD_HEIGHT)),
            static_cast<float>(columnS(SCOREBOARD_HEIGHT - r.top, SCOREBOARD_HEIGHT))};
}

// [SECTION] Font sheet -----------------------------------------------------------------------------------------------

// One row of letter cells, A to Z, serving both cases.
constexpr int FONT_LETTERS = 26;
constexpr int FONT_CELL_WIDTH = 10;  // texels; a letter is drawn half a cell wide and a cell tall
constexpr int FONT_CELL_HEIGHT = 20;

// [SECTION] Side panels --------------------------------------------------------------------------------------------

// The panels' quads reach from the top of the ring to its bottom. The left one fills its margin up to the ring; the
// right one starts after the ring and reaches one cell beyond the view's edge.
struct PanelQuad {
    float x, y, width, height;
};
constexpr PanelQuad leftPanel(float h) {
    return {-static_cast<float>(SIDE_MARGIN), -static_cast<float>(END_MARGIN), static_cast<float>(PANEL_CELLS),
            h + static_cast<float>(2 * END_MARGIN)};
}
constexpr PanelQuad rightPanel(float w, float h) {
    return {w + static_cast<float>(RING_CELLS), -static_cast<float>(END_MARGIN), static_cast<float>(PANEL_CELLS + 1),
            h + static_cast<float>(2 * END_MARGIN)};
}

// Each team has a corner of the panels next to its start corner: a block two cells wide, centred on its panel, with
// the score (tens cell, ones digit), the status icons (players 1 and 2 above 3 and 4) and the team's name. A corner
// at the top reads in that order from the top down; one at the bottom has its name above the score.
constexpr int ICON_ROWS = PLAYER_COUNT / 2;
constexpr int CORNER_ROWS = 1 + ICON_ROWS + 1;
// A grid of at least this many rows keeps a panel's upper and lower corners apart, names included.
constexpr int ROWS_FOR_CORNERS = 2 * CORNER_ROWS;

// A name shows its first NAME_CHARS letters, half a cell wide and a cell tall, which fill the panel's width.
constexpr size_t NAME_CHARS = 8;
constexpr float NAME_CHAR_WIDTH = 0.5f;
constexpr float NAME_CHAR_HEIGHT = 1.0f;
static_assert(NAME_CHARS * NAME_CHAR_WIDTH == PANEL_CELLS);

// The colour of each team's name, multiplied into the font's white letters.
struct Rgb {
    uint8_t red, green, blue;
};
constexpr std::array<Rgb, TEAM_COUNT> NAME_COLOURS{{{220, 220, 220}, {85, 85, 85}, {0, 0, 184}, {224, 0, 0}}};

// Where team `team`'s corner lies on a grid of w x h cells: the top-left corner of its score cells (the icons fill
// the two rows below them) and the centre of its name.
struct PanelCorner {
    float score_x, score_y, name_x, name_y;
};
constexpr PanelCorner panelCorner(int team, float w, float h) {
    const StartCorner& start = START_CORNERS[static_cast<size_t>(team)];
    constexpr int CENTRE = RING_CELLS + PANEL_CELLS / 2;  // the panel's centre, in cells out from the grid's edge
    const float score_x = start.right ? w + static_cast<float>(CENTRE - 1) : -static_cast<float>(CENTRE + 1);
    const float name_x = start.right ? w + static_cast<float>(CENTRE) : -static_cast<float>(CENTRE);
    const float name_row = static_cast<float>(CORNER_ROWS - 1) + 0.5f;  // the name's centre, rows from the edge
    if (start.bottom) return {score_x, h - static_cast<float>(CORNER_ROWS - 1), name_x, h - name_row};
    return {score_x, 0.0f, name_x, name_row};
}

}  // namespace layout
