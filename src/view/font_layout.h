// font_layout.h: where every character lies in the viewer's font sheet (sprites/viewer_font.bmp). Written once for
// the viewer's drawing (src/view) and for the sprite generator, which paints each glyph where the drawing looks.
//
// Only constexpr data and a tiny pure function: no OpenGL. Sheet coordinates as in gl/sprite_layout.h: s from 0 on
// the left edge to 1 on the right, t from 0 on the bottom row to 1 on the top row.
#pragma once

namespace layout {

// ASCII 32 (the blank) to 127 in 16 columns of 6 rows, the blank at the top left; 127 is a solid block that the
// viewer draws its bars and swatches with.
constexpr int VIEWER_FONT_CELL_WIDTH = 6;    // texels
constexpr int VIEWER_FONT_CELL_HEIGHT = 12;
constexpr int VIEWER_FONT_COLUMNS = 16;
constexpr int VIEWER_FONT_ROWS = 6;
constexpr int VIEWER_FONT_FIRST = 32;
constexpr int VIEWER_FONT_SOLID = 127;
constexpr int VIEWER_FONT_WIDTH = VIEWER_FONT_COLUMNS * VIEWER_FONT_CELL_WIDTH;
constexpr int VIEWER_FONT_HEIGHT = VIEWER_FONT_ROWS * VIEWER_FONT_CELL_HEIGHT;

// The cell of character `code` (VIEWER_FONT_FIRST..VIEWER_FONT_SOLID): its column and its row from the top.
struct FontCell {
    int column, row;
};
constexpr FontCell viewerFontCell(int code) {
    const int k = code - VIEWER_FONT_FIRST;
    return {k % VIEWER_FONT_COLUMNS, k / VIEWER_FONT_COLUMNS};
}

}  // namespace layout
