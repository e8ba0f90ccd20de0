// sheets.h: the nine sprite sheets of the game, each drawn by code. Their sizes and where each picture lies are the
// game's own sprite layout (gl/sprite_layout.h), which the drawing reads its texture coordinates from.
//
// Depends only on canvas.h and that layout; no OpenGL and nothing of the game's state.
#pragma once

#include "canvas.h"

#include "gl/sprite_layout.h"

#include <array>
#include <string>

namespace art {

using layout::FONT_CELL_HEIGHT;
using layout::FONT_CELL_WIDTH;
using layout::SCOREBOARD_HEIGHT;
using layout::SCOREBOARD_WIDTH;
using layout::TEAM_SHEET_HEIGHT;
using layout::TEAM_SHEET_WIDTH;
using layout::TILE;

// [SECTION] Team colours

// The sheet colours of a team. The suits echo the colours the scoreboard writes the team names in (light grey,
// dark grey, blue, red), so a team reads the same on the field and on the panel.
struct TeamColours {
    Rgba suit;  // suit and helmet
    Rgba trim;  // gloves and the helmet's visor rim: an accent that stands out against the suit
};

// Team 0 white, 1 charcoal, 2 blue, 3 red.
TeamColours teamColours(int team);

// [SECTION] Sheets

Image backgroundSheet();   // the background tiles side by side
Image teamSheet(int team); // every upright picture of the pose table at its columns
Image bombSheet();         // the fuse frames side by side
Image explosionSheet();    // the explosion pieces in their bands, for every blast frame
Image scoreboardSheet();   // digits, status icons per team, the panel's colour
Image fontSheet();         // the letter cells, A to Z
Image viewerFontSheet();   // the viewer's ASCII font (viewer_font.bmp), not loaded by the game

// A player's head and helmet for the scoreboard icons: alive, or dead (sooty, eyes crossed out). `height` is 15 or
// 16 texels; the picture is 15 wide.
Image playerIcon(int team, bool dead, int height);

// The game's sheets by their file names, in the game's texture slot order.
struct NamedSheet {
    std::string file;
    Image image;
};
std::array<NamedSheet, 9> allSheets();

// A mock match screen built from the sheets the way the game draws them, plus every sheet enlarged, for judging the
// art by eye.
Image previewScreen(const std::array<NamedSheet, 9>& sheets);

}  // namespace art
