// preview.cpp: a mock match screen drawn from the sheets with the game's own texture coordinates (nearest texel,
// transparent texels dropped, the name colours multiplied in), followed by every sheet enlarged. It exists only to
// judge the art by eye; the game never reads it.
//
// Depends on canvas.h and sheets.h only; the texture coordinates and the panels' places come from the sprite layout
// the game's drawing reads.
#include "sheets.h"

#include <algorithm>
#include <cstring>

namespace art {

namespace {

// [SECTION] A small software stand-in for the game's textured quads

constexpr int PX = 40;  // pixels per cell, the game's default

struct View {
    Image& screen;
    float left;  // world x at the screen's left edge
    float top;   // world y at the screen's top edge
};

// Draws world rectangle (x, y)-(x + a, y + b) with sprite rectangle s0..s1 (left to right on screen) and t0..t1
// (lower to upper edge on screen), t = 0 being the sprite's bottom row.
void quad(View& v, const Image& tex, float x, float y, float a, float b, double s0, double s1, double t0, double t1,
          Rgba tint = rgb(255, 255, 255)) {
    const int px0 = static_cast<int>(std::lround((x - v.left) * PX));
    const int px1 = static_cast<int>(std::lround((x + a - v.left) * PX));
    const int py0 = static_cast<int>(std::lround((y - v.top) * PX));
    const int py1 = static_cast<int>(std::lround((y + b - v.top) * PX));
    for (int py = py0; py < py1; ++py) {
        for (int px = px0; px < px1; ++px) {
            const double u = (px + 0.5 - px0) / (px1 - px0);
            const double w = (py + 0.5 - py0) / (py1 - py0);
            const double s = s0 + (s1 - s0) * u;
            const double t = t1 + (t0 - t1) * w;
            const int tx = std::clamp(static_cast<int>(s * tex.width()), 0, tex.width() - 1);
            const int ty = std::clamp(static_cast<int>(t * tex.height()), 0, tex.height() - 1);
            const Rgba c = tex.get(tx, tex.height() - 1 - ty);
            if (c.a == 0) continue;
            v.screen.set(px, py, Rgba{static_cast<uint8_t>(c.r * tint.r / 255), static_cast<uint8_t>(c.g * tint.g / 255),
                                      static_cast<uint8_t>(c.b * tint.b / 255), 255});
        }
    }
}

// [SECTION] The mock match

const char* const MAP[] = {
    "---------------", "---X-------X---", "-X---X-X-X---X-", "---X-------X---", "-X---XX-XX---X-", "-----X---X-----",
    "-X---XX-XX---X-", "---X-------X---", "-X---X-X-X---X-", "---X-------X---", "---------------",
};
constexpr int W = 15;
constexpr int H = 11;

bool wall(int x, int y) { return x >= 0 && y >= 0 && x < W && y < H && MAP[y][x] == 'X'; }

// A one-cell quad showing column `column` of a sheet of `columns` columns over its full height.
void columnQuad(View& v, const Image& tex, float x, float y, int column, int columns) {
    quad(v, tex, x, y, 1, 1, layout::columnS(column, columns), layout::columnS(column + 1, columns), 0, 1);
}

void drawField(View& v, const Image& bg) {
    for (int y = -1; y <= H; ++y) {
        for (int x = -1; x <= W; ++x) {
            layout::BackgroundTile tile = layout::TILE_BLOCK;
            if (x >= 0 && y >= 0 && x < W && y < H && !wall(x, y))
                tile = y == 0 || wall(x, y - 1) ? layout::TILE_SHADED : layout::TILE_PLAIN;
            columnQuad(v, bg, x, y, tile, layout::BACKGROUND_TILES);
        }
    }
}

struct Scene {
    int score[4];
    const char* name[4];
    int dead[4][4];
};

void drawText(View& v, const Image& font, const char* text, float cx, float cy, Rgba colour) {
    using layout::NAME_CHAR_HEIGHT;
    using layout::NAME_CHAR_WIDTH;
    const size_t n = std::min(std::strlen(text), layout::NAME_CHARS);
    float pen = cx - NAME_CHAR_WIDTH / 2 * static_cast<float>(n);
    for (size_t i = 0; i < n; ++i, pen += NAME_CHAR_WIDTH) {
        const char c = text[i];
        const int k = c >= 'a' && c <= 'z' ? c - 'a' : c >= 'A' && c <= 'Z' ? c - 'A' : -1;
        if (k >= 0)
            quad(v, font, pen, cy - NAME_CHAR_HEIGHT / 2, NAME_CHAR_WIDTH, NAME_CHAR_HEIGHT,
                 layout::columnS(k, layout::FONT_LETTERS), layout::columnS(k + 1, layout::FONT_LETTERS), 0, 1, colour);
    }
}

// A scoreboard cell of column `column` in `band` on the grid cell at (x, y).
void scoreCell(View& v, const Image& sb, float x, float y, int column, const layout::Band& band) {
    quad(v, sb, x, y, 1, 1, layout::cellLeftS(column), layout::cellRightS(column), band.lower, band.upper);
}

void drawScoreboard(View& v, const Image& sb, const Image& font, const Scene& s) {
    const double panel_s0 = layout::columnS(layout::PANEL_COLUMN, layout::SCOREBOARD_COLUMNS);
    const layout::Band panel = layout::bandOf(layout::PANEL_ROWS);
    for (const layout::PanelQuad& q : {layout::leftPanel(H), layout::rightPanel(W, H)})
        quad(v, sb, q.x, q.y, q.width, q.height, panel_s0, 1, panel.lower, panel.upper);
    const layout::Band digits = layout::bandOf(layout::DIGIT_ROWS);
    for (int t = 0; t < TEAM_COUNT; ++t) {
        const layout::PanelCorner corner = layout::panelCorner(t, W, H);
        const int val = s.score[t];
        const int tens = val < 0 ? layout::TENS_MINUS : val >= 10 ? layout::TENS_ONE : layout::TENS_EMPTY;
        const int ones = val < 0 ? -val : val % 10;
        const float x = corner.score_x;
        const float y = corner.score_y;
        scoreCell(v, sb, x, y, tens, digits);
        scoreCell(v, sb, x + 1, y, ones, digits);
        for (int p = 0; p < PLAYER_COUNT; ++p)
            scoreCell(v, sb, x + p % 2, y + 1 + p / 2, s.dead[t][p], layout::bandOf(layout::iconRows(t)));
        const layout::Rgb c = layout::NAME_COLOURS[static_cast<size_t>(t)];
        drawText(v, font, s.name[t], corner.name_x, corner.name_y, rgb(c.red, c.green, c.blue));
    }
}

// Explosion pieces as the game sends them.
void boomPart(View& v, const Image& ex, float x, float y, int f, uint32_t kind) {
    const layout::SheetRect r = layout::explosionRect(kind, static_cast<uint32_t>(f));
    quad(v, ex, x, y, 1, 1, r.s_left, r.s_right, r.t_lower, r.t_upper);
}

void boom(View& v, const Image& ex, int cx, int cy, int range, int f) {
    boomPart(v, ex, cx, cy, f, layout::PIECE_CENTRE);
    for (const layout::BlastArm& arm : layout::BLAST_ARMS) {
        for (int i = 1; i <= range; ++i) {
            const int x = cx + arm.dx * i;
            const int y = cy + arm.dy * i;
            if (x < 0 || y < 0 || x >= W || y >= H || wall(x, y)) break;
            boomPart(v, ex, x, y, f, i == range ? arm.end : arm.middle);
        }
    }
}

struct Figure {
    int team;
    float x;
    float y;
    uint32_t pose;
};

void drawFigure(View& v, const Image& sheet, const Figure& f) {
    const layout::PoseColumns c = layout::POSE_COLUMNS[f.pose];
    const double width = TEAM_SHEET_WIDTH;
    const float head = layout::PLAYER_HEAD_ROOM;
    quad(v, sheet, f.x, f.y - head, 1, 1 + head, c.from / width, c.to / width, 0, 1);
}

Image matchScreen(const std::array<NamedSheet, 9>& sheets) {
    Image screen(layout::viewColumns(W) * PX, layout::viewRows(H) * PX, rgb(64, 64, 64));
    View v{screen, -layout::SIDE_MARGIN, -layout::END_MARGIN};
    drawField(v, sheets[0].image);
    const Scene scene{{3, 12, -2, 0}, {"default", "maps/red", "BLUEWAVE", "crimson"}, {{0, 0, 1, 0}, {0, 1, 1, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}}};
    drawScoreboard(v, sheets[7].image, sheets[8].image, scene);
    const Image& bomb = sheets[5].image;
    columnQuad(v, bomb, 2, 0, layout::fuseColumn(0), layout::FUSE_FRAMES);
    columnQuad(v, bomb, 12, 10, layout::fuseColumn(1), layout::FUSE_FRAMES);
    columnQuad(v, bomb, 6, 5, layout::fuseColumn(2), layout::FUSE_FRAMES);
    boom(v, sheets[6].image, 7, 3, 3, 4);
    boom(v, sheets[6].image, 0, 9, 2, 2);
    boom(v, sheets[6].image, 14, 5, 1, 0);
    std::vector<Figure> figures{
        {0, 0, 0, 9},  {0, 1.375f, 0, 4},  {0, 0, 1, 11}, {0, 4, 1, 16},   {1, 0, 10, 6},  {1, 1, 8.5f, 7},
        {1, 2, 10, 3}, {1, 3, 9, 18},      {2, 14, 0, 0}, {2, 13, 0, 1},   {2, 12, 1, 10}, {2, 10, 3.25f, 8},
        {3, 14, 10, 2}, {3, 13, 10, 5},    {3, 14, 9, 17}, {3, 10, 7, 19}, {0, 6, 8, 12},  {2, 8, 8, 14},
    };
    std::stable_sort(figures.begin(), figures.end(), [](const Figure& a, const Figure& b) { return a.y < b.y; });
    for (const Figure& f : figures) drawFigure(v, sheets[1 + f.team].image, f);
    return screen;
}

}  // namespace

// [SECTION] The preview page

Image previewScreen(const std::array<NamedSheet, 9>& sheets) {
    const Image screen = matchScreen(sheets);
    std::vector<Image> rows{screen};
    for (int t = 1; t <= 4; ++t) rows.push_back(sheets[t].image.enlarged(4));
    rows.push_back(sheets[0].image.enlarged(6));
    rows.push_back(sheets[5].image.enlarged(6));
    rows.push_back(sheets[6].image.enlarged(4));
    rows.push_back(sheets[7].image.enlarged(4));
    rows.push_back(sheets[8].image.enlarged(4));
    int width = 0;
    int height = 0;
    for (const Image& r : rows) {
        width = std::max(width, r.width());
        height += r.height() + 8;
    }
    Image page(width, height, rgb(40, 40, 48));
    int y = 0;
    for (const Image& r : rows) {
        page.blit(r, 0, y, true);
        y += r.height() + 8;
    }
    return page;
}

}  // namespace art
