// terrain.cpp: the background sheet: a stone block for walls and the border, grass ground with and without the
// shadow that a wall above casts, and a spare flowered tile. Every tile repeats seamlessly.
//
// Depends on canvas.h and the sprite layout only.
#include "sheets.h"

namespace art {

namespace {

const Ramp STONE = rampOf(rgb(168, 166, 180));
constexpr Rgba MORTAR = rgb(54, 50, 66);
constexpr int FRONT_FACE = 14;  // rows from here down show the block's front face

// A raised stone block seen from above and a little from the front, as the players are: a lit, weathered top face,
// then a darker front face of two courses of bricks.
Image blockTile() {
    Image t(TILE, TILE, MORTAR);
    const Ramp front = rampOf(rgb(112, 108, 128));
    for (int y = 0; y < TILE; ++y) {
        for (int x = 0; x < TILE; ++x) {
            Rgba c;
            if (y < FRONT_FACE) {
                // Weathered stone: light toward the top left, a few darker chips and pits.
                const float n = noise(x, y, 11);
                c = (x + y) < 9 ? mix(STONE.base, STONE.light, 0.45f) : STONE.base;
                if (n < 0.10f) c = mix(STONE.base, STONE.shadow, 0.6f);
                else if (n > 0.94f) c = STONE.light;
                if (y == 0 || x == 0) c = STONE.highlight;
                else if (y == 1 || x == 1) c = STONE.light;
                if (x == TILE - 1) c = STONE.shadow;
                if (y == FRONT_FACE - 1) c = STONE.highlight;
            } else {
                c = front.base;
                if (y == FRONT_FACE) c = front.light;
                const bool joint = y == 16 || (y < 16 ? (x == 6 || x == 15) : (x == 2 || x == 11));
                if (joint) c = front.shadow;
                if (x == 0) c = front.light;
                if (x == TILE - 1) c = front.shadow;
                if (y == TILE - 1) c = MORTAR;
            }
            t.set(x, y, c);
        }
    }
    // Two chipped corners of the top face, shaded on their lit side like small dents.
    const int chips[][2] = {{14, 4}, {5, 9}};
    for (const auto& c : chips) {
        t.set(c[0], c[1], STONE.shadow);
        t.set(c[0] + 1, c[1], STONE.shadow);
        t.set(c[0], c[1] + 1, STONE.shadow);
        t.set(c[0] + 1, c[1] + 1, STONE.light);
        t.set(c[0] + 2, c[1] + 1, STONE.light);
        t.set(c[0] + 1, c[1] + 2, STONE.light);
    }
    return t;
}

// Short grass: a mid green with scattered darker and lighter blades, the same on every tile so the field is calm.
Image groundTile(int seed, bool flowers) {
    const Rgba base = rgb(92, 164, 72);
    const Rgba dark = rgb(70, 136, 58);
    const Rgba light = rgb(124, 190, 90);
    Image t(TILE, TILE, base);
    for (int y = 0; y < TILE; ++y) {
        for (int x = 0; x < TILE; ++x) {
            const float n = noise(x, y, seed);
            if (n < 0.16f) t.set(x, y, dark);
            else if (n > 0.93f) t.set(x, y, light);
        }
    }
    // Blades: a light tip over a dark root, at fixed spots spread over the tile.
    const int blades[][2] = {{3, 4}, {14, 2}, {8, 10}, {17, 13}, {2, 15}, {11, 17}, {6, 6}};
    for (const auto& b : blades) {
        t.set(b[0], b[1], light);
        t.set(b[0], b[1] + 1, dark);
        t.set(b[0] + 1, b[1] + 1, dark);
    }
    if (flowers) {
        const int spots[][2] = {{5, 12}, {15, 6}, {12, 15}};
        for (const auto& s : spots) {
            t.set(s[0], s[1], rgb(255, 240, 120));
            t.set(s[0] - 1, s[1], rgb(250, 250, 250));
            t.set(s[0] + 1, s[1], rgb(250, 250, 250));
            t.set(s[0], s[1] - 1, rgb(250, 250, 250));
            t.set(s[0], s[1] + 1, rgb(250, 250, 250));
        }
    }
    return t;
}

// The same grass in the shadow of the block above: dark along the top, fading out through a dithered edge.
Image shadedGroundTile() {
    Image t = groundTile(23, false);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < TILE; ++x) {
            const bool dithered = y >= 5 && ((x + y) % 2 == 0 || y == 7) && !(y == 7 && x % 3 != 0);
            if (y < 5 || dithered) t.set(x, y, mix(scale(t.get(x, y), 0.62f), rgb(20, 40, 60), 0.18f));
        }
    }
    return t;
}

}  // namespace

Image backgroundSheet() {
    Image sheet(layout::BACKGROUND_WIDTH, layout::BACKGROUND_HEIGHT);
    sheet.blit(blockTile(), layout::TILE_BLOCK * TILE, 0, true);
    sheet.blit(shadedGroundTile(), layout::TILE_SHADED * TILE, 0, true);
    sheet.blit(groundTile(23, false), layout::TILE_PLAIN * TILE, 0, true);
    sheet.blit(groundTile(23, true), layout::TILE_SPARE * TILE, 0, true);
    return sheet;
}

}  // namespace art
