// gl_test_support.h: a real offscreen OpenGL context (OSMesa) showing the game's view, sprites whose texels tell
// where they were sampled, and probes that read the drawn frame back at world coordinates.
//
// Links against OSMesa only, never libGL: the drawing library resolves its gl* calls to whichever one is linked.
#pragma once

#include "gl/gl_utils.h"

#include <gtest/gtest.h>

#include <GL/osmesa.h>

#include <string>
#include <vector>

namespace gltest {

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgba& c);
constexpr Rgba CLEAR_COLOUR = {64, 64, 64, 255};  // the view's grey

// Test sprite sizes per slot: small, with every edge of the game's sheet layouts on a texel boundary.
struct SpriteSize {
    uint32_t width, height;
};
SpriteSize spriteSize(int slot);

// A sprite whose texels encode their position and slot: red = x mod 256, green = y, blue = 16 * slot + x / 256,
// alpha 255; rows bottom first. `pick(x, y)` texels get `colour` instead.
std::vector<uint8_t> codedSprite(int slot, bool (*pick)(uint32_t x, uint32_t y) = nullptr, Rgba colour = {});

// Puts `rows` into `game` as its grid.
void setMap(const std::vector<std::string>& rows);

// An offscreen frame buffer for the grid in `game` at `cell_px` pixels per cell, with the game's view set up and
// the nine coded sprites in `textures`. Current for as long as it lives.
class Offscreen {
public:
    explicit Offscreen(int cell_px = 16);
    ~Offscreen();
    Offscreen(const Offscreen&) = delete;
    Offscreen& operator=(const Offscreen&) = delete;

    void replaceSprite(int slot, const std::vector<uint8_t>& rgba) const;

    Rgba at(float x, float y) const;                      // the pixel under world point (x, y)
    int slotAt(float x, float y) const { return at(x, y).b >> 4; }

    // Whether the world rectangle x0..x1, y0..y1 shows sprite `slot` with s from s_left (left edge) to s_right and
    // t from t_bottom (lower screen edge) to t_top, judged at four inner points.
    testing::AssertionResult showsQuad(int slot, float x0, float y0, float x1, float y1, double s_left,
                                       double s_right, double t_bottom, double t_top) const;
    testing::AssertionResult showsCell(int slot, float x, float y, double s_left, double s_right, double t_bottom,
                                       double t_top) const {
        return showsQuad(slot, x, y, x + 1.0f, y + 1.0f, s_left, s_right, t_bottom, t_top);
    }

private:
    int cell_px_, width_px_, height_px_;
    std::vector<uint8_t> buffer_;
    OSMesaContext context_;
};

}  // namespace gltest
