// gl_test_support.cpp: the offscreen context, coded sprites and frame probes of the drawing tests.
#include "gl_test_support.h"

#include <cmath>
#include <ostream>

namespace gltest {

std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "rgba(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

SpriteSize spriteSize(int slot) {
    switch (slot) {
    case TEX_BACKGROUND: return {64, 16};
    case TEX_BOMB: return {48, 16};
    case TEX_EXPLOSION: return {100, 40};
    case TEX_SCOREBOARD: return {208, 80};
    case TEX_FONT: return {104, 8};
    default: return {358, 24};  // team sheets
    }
}

std::vector<uint8_t> codedSprite(int slot, bool (*pick)(uint32_t, uint32_t), Rgba colour) {
    const SpriteSize size = spriteSize(slot);
    std::vector<uint8_t> rgba;
    for (uint32_t y = 0; y < size.height; ++y)
        for (uint32_t x = 0; x < size.width; ++x) {
            if (pick != nullptr && pick(x, y))
                rgba.insert(rgba.end(), {colour.r, colour.g, colour.b, colour.a});
            else
                rgba.insert(rgba.end(), {uint8_t(x & 255u), uint8_t(y), uint8_t(16 * slot + int(x >> 8)), 255});
        }
    return rgba;
}

void setMap(const std::vector<std::string>& rows) {
    game.height = uint16_t(rows.size());
    game.width = uint16_t(rows.empty() ? 0 : rows[0].size());
    game.rows = rows;
}

Offscreen::Offscreen(int cell_px)
    : cell_px_(cell_px),
      width_px_((game.width + 10) * cell_px),
      height_px_((game.height + 2) * cell_px),
      buffer_(size_t(width_px_) * size_t(height_px_) * 4),
      context_(OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr)) {
    if (context_ == nullptr || !OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, width_px_, height_px_))
        throw std::runtime_error("no offscreen GL context");
    glViewport(0, 0, width_px_, height_px_);
    setupView(game.width, game.height);
    glGenTextures(TEXTURE_COUNT, textures.data());
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) replaceSprite(slot, codedSprite(slot));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Offscreen::~Offscreen() { OSMesaDestroyContext(context_); }

void Offscreen::replaceSprite(int slot, const std::vector<uint8_t>& rgba) const {
    uploadSprite(textures[size_t(slot)], spriteSize(slot).width, spriteSize(slot).height, rgba.data());
}

namespace {

constexpr float VIEW_LEFT = -5.0f, VIEW_TOP = -1.0f;

int pixelOf(float world, float origin, int cell_px) { return int(std::floor((world - origin) * float(cell_px))); }
double centreOf(int pixel, float origin, int cell_px) { return (pixel + 0.5) / cell_px + origin; }

}  // namespace

Rgba Offscreen::at(float x, float y) const {
    glFinish();
    Rgba c{};
    glReadPixels(pixelOf(x, VIEW_LEFT, cell_px_), height_px_ - 1 - pixelOf(y, VIEW_TOP, cell_px_), 1, 1, GL_RGBA,
                 GL_UNSIGNED_BYTE, &c);
    return c;
}

testing::AssertionResult Offscreen::showsQuad(int slot, float x0, float y0, float x1, float y1, double s_left,
                                              double s_right, double t_bottom, double t_top) const {
    const SpriteSize size = spriteSize(slot);
    for (float fx : {0.3f, 0.7f}) {
        for (float fy : {0.3f, 0.7f}) {
            const float wx = x0 + fx * (x1 - x0), wy = y0 + fy * (y1 - y0);
            // The texel expected at the centre of the pixel under the point.
            const double cx = centreOf(pixelOf(wx, VIEW_LEFT, cell_px_), VIEW_LEFT, cell_px_);
            const double cy = centreOf(pixelOf(wy, VIEW_TOP, cell_px_), VIEW_TOP, cell_px_);
            const double s = s_left + (cx - x0) / (x1 - x0) * (s_right - s_left);
            const double t = t_top + (cy - y0) / (y1 - y0) * (t_bottom - t_top);
            const Rgba c = at(wx, wy);
            const double tx = c.r + 256 * (c.b & 15) + 0.5, ty = c.g + 0.5;
            if (c.a != 255 || c.b >> 4 != slot || std::abs(tx - s * size.width) > 1.0 ||
                std::abs(ty - t * size.height) > 1.0)
                return testing::AssertionFailure() << "at (" << wx << ", " << wy << ") expected slot " << slot
                                                   << " texel (" << s * size.width << ", " << t * size.height
                                                   << "), got " << c;
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace gltest
