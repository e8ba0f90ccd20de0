// panel.cpp: the scoreboard sheet (display digits, player icons per team, the panel's background) and the letter
// font. Letters are white so that the team colour the game multiplies in shows unchanged, with a black outline so
// that light and dark team colours both read on the panel.
//
// Depends on canvas.h and the sprite layout only.
#include "sheets.h"

#include <sstream>

namespace art {

namespace {

// [SECTION] Display digits

constexpr int DRAWN = layout::SCOREBOARD_CELL;  // texels of a column and of a band that the game draws
constexpr Rgba PANEL = rgb(176, 166, 142);
const Ramp SCREEN{rgb(16, 14, 22), rgb(26, 24, 34), rgb(34, 32, 44), rgb(84, 80, 100), rgb(120, 116, 136)};
constexpr Rgba SEGMENT_ON = rgb(255, 198, 52);
constexpr Rgba SEGMENT_SHINE = rgb(255, 240, 168);

// Segments a to g: top, upper right, lower right, bottom, lower left, upper left, middle; as x0, y0, x1, y1 texels
// inclusive inside a 15 x 15 cell.
constexpr int SEGMENTS[7][4] = {{5, 2, 9, 3},   {10, 3, 11, 7}, {10, 8, 11, 12}, {5, 12, 9, 13},
                                {3, 8, 4, 12},  {3, 3, 4, 7},   {5, 7, 9, 8}};

// Which segments the symbol of each digit band column lights, bit 0 for a: digits 0 to 9, then the tens place's
// symbols: empty (layout::TENS_EMPTY), the digit 1 (TENS_ONE) and the minus sign (TENS_MINUS).
constexpr uint8_t SYMBOLS[layout::SCOREBOARD_COLUMNS] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d,
                                                         0x07, 0x7f, 0x6f, 0x00, 0x06, 0x40};

Image displayCell(uint8_t lit) {
    Image t(DRAWN, DRAWN);
    fillLit(t, Mask(DRAWN, DRAWN, roundBox(0, 0, DRAWN, DRAWN, 2.5f)), SCREEN);
    for (int s = 0; s < 7; ++s) {
        // Unlit segments stay dark: a faint 8 in the empty tens place would read as a digit.
        if ((lit >> s & 1) == 0) continue;
        const auto& g = SEGMENTS[s];
        for (int y = g[1]; y <= g[3]; ++y)
            for (int x = g[0]; x <= g[2]; ++x) t.set(x, y, y == g[1] ? SEGMENT_SHINE : SEGMENT_ON);
    }
    return t;
}

// [SECTION] Font

constexpr int GLYPH_LEFT = 1;  // the glyph body's offset in its cell; strokes use a 2-texel brush
constexpr int GLYPH_TOP = 4;

// Each letter as strokes on a 6 x 10 grid of brush positions ("x,y x,y ..." polylines, "|" between strokes), which
// the 2-texel brush turns into a 7 x 11 texel body.
constexpr const char* GLYPHS[layout::FONT_LETTERS] = {
    "0,9 0,2 2,0 3,0 5,2 5,9|1,5 4,5",                         // A
    "0,0 0,9 4,9 5,8 5,6 4,5 0,5|0,0 3,0 4,1 4,3 3,4",         // B
    "5,1 4,0 1,0 0,1 0,8 1,9 4,9 5,8",                         // C
    "0,0 0,9 3,9 5,7 5,2 3,0 0,0",                             // D
    "5,0 0,0 0,9 5,9|0,4 4,4",                                 // E
    "5,0 0,0 0,9|0,4 4,4",                                     // F
    "5,1 4,0 1,0 0,1 0,8 1,9 4,9 5,8 5,5 3,5",                 // G
    "0,0 0,9|5,0 5,9|0,4 5,4",                                 // H
    "0,0 4,0|0,9 4,9|2,0 2,9",                                 // I
    "2,0 5,0 5,8 4,9 1,9 0,8 0,7",                             // J
    "0,0 0,9|5,0 1,4|1,5 5,9",                                 // K
    "0,0 0,9 5,9",                                             // L
    "0,9 0,0 2,3 3,3 5,0 5,9",                                 // M
    "0,9 0,0 5,9 5,0",                                         // N
    "1,0 4,0 5,1 5,8 4,9 1,9 0,8 0,1 1,0",                     // O
    "0,9 0,0 4,0 5,1 5,4 4,5 0,5",                             // P
    "1,0 4,0 5,1 5,8 4,9 1,9 0,8 0,1 1,0|3,7 5,9",             // Q
    "0,9 0,0 4,0 5,1 5,3 4,4 0,4|3,5 5,9",                     // R
    "5,1 4,0 1,0 0,1 0,3 1,4 4,4 5,5 5,8 4,9 1,9 0,8",         // S
    "0,0 4,0|2,0 2,9",                                         // T
    "0,0 0,8 1,9 4,9 5,8 5,0",                                 // U
    "0,0 0,5 2,9 3,9 5,5 5,0",                                 // V
    "0,0 0,9 2,7 3,7 5,9 5,0",                                 // W
    "0,0 5,9|5,0 0,9",                                         // X
    "0,0 0,1 2,4 2,9|4,0 4,1 2,4",                             // Y
    "0,0 5,0 0,9 5,9",                                         // Z
};

Image letterCell(const char* strokes) {
    Image t(FONT_CELL_WIDTH, FONT_CELL_HEIGHT);
    std::istringstream all(strokes);
    std::string stroke;
    const Frame at{GLYPH_LEFT, GLYPH_TOP, 1, 1};
    while (std::getline(all, stroke, '|')) {
        std::istringstream points(stroke);
        int x = 0;
        int y = 0;
        char comma = 0;
        bool first = true;
        int px = 0;
        int py = 0;
        while (points >> x >> comma >> y) {
            if (!first) line(t, at, px, py, x, y, rgb(255, 255, 255), 2);
            if (first) line(t, at, x, y, x, y, rgb(255, 255, 255), 2);
            first = false;
            px = x;
            py = y;
        }
    }
    // White above, a light grey below: the team colour multiplied in keeps a little shading.
    for (int y = 0; y < t.height(); ++y) {
        for (int x = 0; x < t.width(); ++x) {
            if (!t.opaque(x, y)) continue;
            const int row = y - GLYPH_TOP;
            t.set(x, y, row < 5 ? rgb(255, 255, 255) : row < 8 ? rgb(236, 236, 240) : rgb(206, 206, 214));
        }
    }
    outline(t, rgb(0, 0, 0), true);
    return t;
}

}  // namespace

// [SECTION] Sheets

Image scoreboardSheet() {
    using layout::SCOREBOARD_PITCH;
    Image sheet(SCOREBOARD_WIDTH, SCOREBOARD_HEIGHT);
    const int digits_top = layout::DIGIT_ROWS.top;
    for (int c = 0; c < layout::SCOREBOARD_COLUMNS; ++c)
        sheet.blit(displayCell(SYMBOLS[c]), c * SCOREBOARD_PITCH, digits_top);
    for (int team = 0; team < TEAM_COUNT; ++team) {
        // The lowest band is drawn from its very bottom row, so its icons are one texel taller.
        const layout::BandRows band = layout::iconRows(team);
        sheet.blit(playerIcon(team, false, band.rows), PLAYER_ALIVE * SCOREBOARD_PITCH, band.top);
        sheet.blit(playerIcon(team, true, band.rows), PLAYER_DEAD * SCOREBOARD_PITCH, band.top);
    }
    // The panel behind both side columns: a plain colour, since the game stretches it over whole panels.
    const layout::BandRows panel = layout::PANEL_ROWS;
    for (int y = panel.top; y < panel.top + panel.rows; ++y)
        for (int x = layout::PANEL_COLUMN * SCOREBOARD_PITCH; x < SCOREBOARD_WIDTH; ++x) sheet.set(x, y, PANEL);
    return sheet;
}

Image fontSheet() {
    Image sheet(layout::FONT_LETTERS * FONT_CELL_WIDTH, FONT_CELL_HEIGHT);
    for (int k = 0; k < layout::FONT_LETTERS; ++k) sheet.blit(letterCell(GLYPHS[k]), k * FONT_CELL_WIDTH, 0);
    return sheet;
}

}  // namespace art
