// gl_test_support.h: a real offscreen OpenGL context (OSMesa) showing the game's view, sprites whose texels tell
// where they were sampled, and probes that read the drawn frame back at world coordinates.
//
// Links against OSMesa only, never libGL: the drawing library resolves its gl* calls to whichever one is linked.
#pragma once

#include "gl/gl_utils.h"

#include <gtest/gtest.h>

#include <GL/osmesa.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gltest {

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgba& c);

constexpr Rgba CLEAR_COLOUR = {64, 64, 64, 255};  // the view's grey, 0.25 of full

// Sizes of the test sprites per slot: small, but with every sheet edge of the game's layouts on a texel boundary.
struct SpriteSize {
    uint32_t width, height;
};
SpriteSize spriteSize(int slot);

// A sprite whose texels encode their own position and the slot: red = x mod 256, green = y, blue = 16 * slot +
// x / 256, alpha 255. Rows bottom first, as the texture upload takes them.
std::vector<uint8_t> codedSprite(int slot);

// Replaces the texels for which `pick(x, y)` holds by `colour`.
template <class Pick>
void paint(std::vector<uint8_t>& rgba, uint32_t width, Pick pick, Rgba colour) {
    for (size_t i = 0; i < rgba.size() / 4; ++i) {
        const uint32_t x = static_cast<uint32_t>(i % width);
        const uint32_t y = static_cast<uint32_t>(i / width);
        if (!pick(x, y)) continue;
        rgba[i * 4] = colour.r;
        rgba[i * 4 + 1] = colour.g;
        rgba[i * 4 + 2] = colour.b;
        rgba[i * 4 + 3] = colour.a;
    }
}

// Puts `rows` into `game` as its grid (all rows must be equally long).
void setMap(const std::vector<std::string>& rows);

// An offscreen frame buffer for the grid currently in `game`, at `cell_px` pixels per cell, with the game's view set
// up and the nine coded sprites uploaded into `textures`. Current for as long as it lives.
class Offscreen {
public:
    explicit Offscreen(int cell_px = 16);
    ~Offscreen();
    Offscreen(const Offscreen&) = delete;
    Offscreen& operator=(const Offscreen&) = delete;

    // Uploads another picture into a slot.
    void replaceSprite(int slot, const std::vector<uint8_t>& rgba) const;

    // The pixel under world point (x, y).
    Rgba at(float x, float y) const;

    // Checks that the world rectangle x0..x1, y0..y1 shows sprite `slot` mapped with s from s_left (left edge) to
    // s_right, and t from t_bottom (lower screen edge) to t_top, by sampling it at four inner points.
    testing::AssertionResult showsQuad(int slot, float x0, float y0, float x1, float y1, double s_left,
                                       double s_right, double t_bottom, double t_top) const;

    // The same for a one-cell quad whose top-left corner is (x, y).
    testing::AssertionResult showsCell(int slot, float x, float y, double s_left, double s_right, double t_bottom,
                                       double t_top) const {
        return showsQuad(slot, x, y, x + 1.0f, y + 1.0f, s_left, s_right, t_bottom, t_top);
    }

    // Checks that the four inner points of the one-cell rectangle at (x, y) show `colour`.
    testing::AssertionResult cellIs(float x, float y, Rgba colour) const;

private:
    int cell_px_;
    int width_px_;
    int height_px_;
    std::vector<uint8_t> buffer_;
    OSMesaContext context_;
};

// Writes an uncompressed bitmap of `bits` (24 or 32) per pixel from bottom-first RGBA rows.
void writeBmp(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba,
              int bits = 32);

}  // namespace gltest
