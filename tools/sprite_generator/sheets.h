// sheets.h: the nine sprite sheets of the game, each drawn by code, and the layout facts they share with the game's
// drawing (which texture coordinates show which picture).
//
// Depends only on canvas.h; no OpenGL and nothing from the game itself.
#pragma once

#include "canvas.h"

#include <array>
#include <string>

namespace art {

// [SECTION] Layouts

constexpr int TILE = 20;                 // background tiles, bomb frames and explosion cells: 2 texels a pixel at 40
constexpr int TEAM_SHEET_WIDTH = 358;    // the pose table's edges are whole 358ths
constexpr int TEAM_SHEET_HEIGHT = 26;    // 17 x 26 pictures on a 1 x 1.5 cell quad keep their aspect
constexpr int SCOREBOARD_WIDTH = 208;    // 13 columns of 16
constexpr int SCOREBOARD_HEIGHT = 80;    // 5 bands of 16
constexpr int FONT_CELL_WIDTH = 10;      // letters are drawn half a cell wide and a cell tall
constexpr int FONT_CELL_HEIGHT = 20;

constexpr int TEAMS = 4;

// One picture of a team sheet: the pose it serves and its columns [from, to) of the 358.
struct PoseCell {
    int pose;
    int from;
    int to;
};

// Every picture that the sheet holds, in the order of the pose table (poses 3 to 5 mirror 0 to 2 and have none).
constexpr std::array<PoseCell, 17> POSE_CELLS{{
    {0, 54, 70},    {1, 72, 89},    {2, 90, 108},   {6, 167, 183},  {7, 185, 201},  {8, 203, 219},
    {9, 0, 17},     {10, 18, 34},   {11, 35, 52},   {12, 222, 238}, {13, 239, 256}, {14, 275, 291},
    {15, 257, 274}, {16, 292, 308}, {17, 309, 325}, {18, 326, 342}, {19, 343, 358},
}};

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

Image backgroundSheet();   // block, shaded ground, plain ground, spare: four TILE x TILE columns
Image teamSheet(int team); // TEAM_SHEET_WIDTH x TEAM_SHEET_HEIGHT, pictures at POSE_CELLS
Image bombSheet();         // three fuse frames of TILE x TILE side by side
Image explosionSheet();    // 10 x 4 cells of TILE: arm pieces, middle pieces, end pieces, centres
Image scoreboardSheet();   // SCOREBOARD_WIDTH x SCOREBOARD_HEIGHT: digits, icons per team, panel
Image fontSheet();         // 26 letter cells of FONT_CELL_WIDTH x FONT_CELL_HEIGHT

// A player's head and helmet for the scoreboard icons: alive, or dead (sooty, eyes crossed out). `height` is 15 or
// 16 texels; the picture is 15 wide.
Image playerIcon(int team, bool dead, int height);

// The sheets by their file names, in the game's texture slot order.
struct NamedSheet {
    std::string file;
    Image image;
};
std::array<NamedSheet, 9> allSheets();

// A mock match screen built from the sheets the way the game draws them, plus every sheet enlarged, for judging the
// art by eye.
Image previewScreen(const std::array<NamedSheet, 9>& sheets);

}  // namespace art
