// preview.cpp: a mock match screen drawn from the sheets with the game's own texture coordinates (nearest texel,
// transparent texels dropped, the name colours multiplied in), followed by every sheet enlarged. It exists only to
// judge the art by eye; the game never reads it.
//
// Depends on canvas.h and sheets.h only: the texture coordinates below restate how the game addresses each sheet.
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

void drawField(View& v, const Image& bg) {
    for (int y = -1; y <= H; ++y) {
        for (int x = -1; x <= W; ++x) {
            if (x < 0 || y < 0 || x >= W || y >= H || wall(x, y)) {
                quad(v, bg, x, y, 1, 1, 0, 0.25, 0, 1);
            } else {
                const bool shaded = y == 0 || wall(x, y - 1);
                quad(v, bg, x, y, 1, 1, shaded ? 0.25 : 0.5, shaded ? 0.5 : 0.75, 0, 1);
            }
        }
    }
}

struct Scene {
    int score[4];
    const char* name[4];
    int dead[4][4];
};

void drawText(View& v, const Image& font, const char* text, float cx, float cy, Rgba colour) {
    const int n = std::min<int>(static_cast<int>(std::strlen(text)), 8);
    float pen = cx - 0.25f * n;
    for (int i = 0; i < n; ++i, pen += 0.5f) {
        const char c = text[i];
        const int k = c >= 'a' && c <= 'z' ? c - 'a' : c >= 'A' && c <= 'Z' ? c - 'A' : -1;
        if (k >= 0) quad(v, font, pen, cy - 0.5f, 0.5f, 1.0f, k / 26.0, (k + 1) / 26.0, 0, 1, colour);
    }
}

void drawScoreboard(View& v, const Image& sb, const Image& font, const Scene& s) {
    quad(v, sb, -5, -1, 4, H + 2, 12 / 13.0, 1, 0, 0.2);
    quad(v, sb, W + 1, -1, 5, H + 2, 12 / 13.0, 1, 0, 0.2);
    const float corner[4][2] = {{-4, 0}, {-4, H - 3.0f}, {W + 2.0f, 0}, {W + 2.0f, H - 3.0f}};
    const double band[4][2] = {{0.6125, 0.8}, {0.4125, 0.6}, {0.2125, 0.4}, {0.0, 0.2}};
    const Rgba colour[4] = {rgb(220, 220, 220), rgb(85, 85, 85), rgb(0, 0, 184), rgb(224, 0, 0)};
    const float name_y[4] = {3.5f, H - 3.5f, 3.5f, H - 3.5f};
    for (int t = 0; t < 4; ++t) {
        const int val = s.score[t];
        const int tens = val < 0 ? 12 : val >= 10 ? 11 : 10;
        const int ones = val < 0 ? -val : val % 10;
        const float x = corner[t][0];
        const float y = corner[t][1];
        quad(v, sb, x, y, 1, 1, tens / 13.0, tens / 13.0 + 15 / 208.0, 0.8125, 1.0);
        quad(v, sb, x + 1, y, 1, 1, ones * 16 / 208.0, ones * 16 / 208.0 + 15 / 208.0, 0.8125, 1.0);
        for (int p = 0; p < 4; ++p) {
            const int c = s.dead[t][p];
            quad(v, sb, x + p % 2, y + 1 + p / 2, 1, 1, c * 16 / 208.0, c * 16 / 208.0 + 15 / 208.0, band[t][0],
                 band[t][1]);
        }
        drawText(v, font, s.name[t], t < 2 ? -3.0f : W + 3.0f, name_y[t], colour[t]);
    }
}

// Explosion pieces as the game sends them: the piece table's texture rectangles by kind.
void boomPart(View& v, const Image& ex, float x, float y, int f, int kind) {
    const double a = 0.1 * f;
    const double b = 0.2 * f;
    switch (kind) {
    case 0: quad(v, ex, x, y, 1, 1, a, a + 0.1, 1.0, 0.75); break;
    case 1: quad(v, ex, x, y, 1, 1, b + 0.1, b + 0.2, 0, 0.25); break;
    case 2: quad(v, ex, x, y, 1, 1, b, b + 0.1, 0, 0.25); break;
    case 3: quad(v, ex, x, y, 1, 1, b + 0.2, b + 0.1, 0, 0.25); break;
    case 4: quad(v, ex, x, y, 1, 1, b + 0.1, b, 0, 0.25); break;
    case 5: quad(v, ex, x, y, 1, 1, a, a + 0.1, 0.25, 0.5); break;
    case 6: quad(v, ex, x, y, 1, 1, a, a + 0.1, 0.5, 0.75); break;
    case 7: quad(v, ex, x, y, 1, 1, a, a + 0.1, 0.5, 0.25); break;
    default: quad(v, ex, x, y, 1, 1, a, a + 0.1, 0.75, 0.5); break;
    }
}

void boom(View& v, const Image& ex, int cx, int cy, int range, int f) {
    boomPart(v, ex, cx, cy, f, 0);
    const int dir[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (int d = 0; d < 4; ++d) {
        for (int i = 1; i <= range; ++i) {
            const int x = cx + dir[d][0] * i;
            const int y = cy + dir[d][1] * i;
            if (x < 0 || y < 0 || x >= W || y >= H || wall(x, y)) break;
            boomPart(v, ex, x, y, f, 1 + 2 * d + (i == range ? 1 : 0));
        }
    }
}

double poseFrom(int pose) {
    if (pose >= 3 && pose <= 5) pose -= 3;
    for (const PoseCell& c : POSE_CELLS)
        if (c.pose == pose) return c.from / 358.0;
    return 0;
}

double poseTo(int pose) {
    if (pose >= 3 && pose <= 5) pose -= 3;
    for (const PoseCell& c : POSE_CELLS)
        if (c.pose == pose) return c.to / 358.0;
    return 0;
}

struct Figure {
    int team;
    float x;
    float y;
    int pose;
};

void drawFigure(View& v, const Image& sheet, const Figure& f) {
    const bool mirrored = f.pose >= 3 && f.pose <= 5;
    const double a = poseFrom(f.pose);
    const double b = poseTo(f.pose);
    quad(v, sheet, f.x, f.y - 0.5f, 1, 1.5f, mirrored ? b : a, mirrored ? a : b, 0, 1);
}

Image matchScreen(const std::array<NamedSheet, 9>& sheets) {
    Image screen((W + 10) * PX, (H + 2) * PX, rgb(64, 64, 64));
    View v{screen, -5, -1};
    drawField(v, sheets[0].image);
    const Scene scene{{3, 12, -2, 0}, {"default", "maps/red", "BLUEWAVE", "crimson"}, {{0, 0, 1, 0}, {0, 1, 1, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}}};
    drawScoreboard(v, sheets[7].image, sheets[8].image, scene);
    const Image& bomb = sheets[5].image;
    quad(v, bomb, 2, 0, 1, 1, 0, 1 / 3.0, 0, 1);
    quad(v, bomb, 12, 10, 1, 1, 1 / 3.0, 2 / 3.0, 0, 1);
    quad(v, bomb, 6, 5, 1, 1, 2 / 3.0, 1, 0, 1);
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
