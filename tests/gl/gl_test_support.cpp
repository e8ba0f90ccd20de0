// gl_test_support.cpp: the offscreen context, coded sprites, frame probes and a bitmap writer for the drawing tests.
#include "gl_test_support.h"

#include "core/game.h"

#include <cmath>
#include <fstream>
#include <ostream>

namespace gltest {

std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "rgba(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

SpriteSize spriteSize(int slot) {
    switch (slot) {
    case TEX_BACKGROUND: return {64, 16};   // four tile columns of 16
    case TEX_BOMB: return {48, 16};         // three fuse frames of 16
    case TEX_EXPLOSION: return {100, 40};   // tenths of 10, bands of 10
    case TEX_SCOREBOARD: return {208, 80};  // the sheet's own pixel grid
    case TEX_FONT: return {104, 8};         // 26 letters of 4
    default: return {358, 24};              // team sheets: 358ths
    }
}

std::vector<uint8_t> codedSprite(int slot) {
    const SpriteSize size = spriteSize(slot);
    std::vector<uint8_t> rgba(size_t{size.width} * size.height * 4);
    for (uint32_t y = 0; y < size.height; ++y) {
        for (uint32_t x = 0; x < size.width; ++x) {
            uint8_t* p = &rgba[(size_t{y} * size.width + x) * 4];
            p[0] = static_cast<uint8_t>(x & 255u);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(16 * slot + static_cast<int>(x >> 8));
            p[3] = 255;
        }
    }
    return rgba;
}

void setMap(const std::vector<std::string>& rows) {
    game.height = static_cast<uint16_t>(rows.size());
    game.width = static_cast<uint16_t>(rows.empty() ? 0 : rows[0].size());
    game.rows = rows;
}

Offscreen::Offscreen(int cell_px)
    : cell_px_(cell_px),
      width_px_((game.width + 10) * cell_px),
      height_px_((game.height + 2) * cell_px),
      buffer_(static_cast<size_t>(width_px_) * static_cast<size_t>(height_px_) * 4),
      context_(OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr)) {
    if (context_ == nullptr || !OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, width_px_, height_px_))
        throw std::runtime_error("no offscreen GL context");
    glViewport(0, 0, width_px_, height_px_);
    setupView(game.width, game.height);
    glGenTextures(TEXTURE_COUNT, textures.data());
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) replaceSprite(slot, codedSprite(slot));
    glColor3ub(255, 255, 255);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Offscreen::~Offscreen() { OSMesaDestroyContext(context_); }

void Offscreen::replaceSprite(int slot, const std::vector<uint8_t>& rgba) const {
    const SpriteSize size = spriteSize(slot);
    uploadSprite(textures[static_cast<size_t>(slot)], size.width, size.height, rgba.data());
}

namespace {

// The pixel column or row under a world coordinate, and the world coordinate of that pixel's centre.
int pixelOf(float world, float origin, int cell_px) {
    return static_cast<int>(std::floor((world - origin) * static_cast<float>(cell_px)));
}
double centreOf(int pixel, float origin, int cell_px) { return (pixel + 0.5) / cell_px + origin; }

constexpr float VIEW_LEFT = -5.0f;
constexpr float VIEW_TOP = -1.0f;
constexpr float INNER_POINTS[2] = {0.3f, 0.7f};

}  // namespace

Rgba Offscreen::at(float x, float y) const {
    glFinish();
    const int px = pixelOf(x, VIEW_LEFT, cell_px_);
    const int row_from_top = pixelOf(y, VIEW_TOP, cell_px_);
    Rgba c{};
    glReadPixels(px, height_px_ - 1 - row_from_top, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &c);
    return c;
}

testing::AssertionResult Offscreen::showsQuad(int slot, float x0, float y0, float x1, float y1, double s_left,
                                              double s_right, double t_bottom, double t_top) const {
    const SpriteSize size = spriteSize(slot);
    for (float fx : INNER_POINTS) {
        for (float fy : INNER_POINTS) {
            const float wx = x0 + fx * (x1 - x0);
            const float wy = y0 + fy * (y1 - y0);
            // Where the sample really lies: the centre of the pixel under the point.
            const double cx = centreOf(pixelOf(wx, VIEW_LEFT, cell_px_), VIEW_LEFT, cell_px_);
            const double cy = centreOf(pixelOf(wy, VIEW_TOP, cell_px_), VIEW_TOP, cell_px_);
            const double s = s_left + (cx - x0) / (x1 - x0) * (s_right - s_left);
            const double t = t_top + (cy - y0) / (y1 - y0) * (t_bottom - t_top);
            const Rgba c = at(wx, wy);
            const int got_slot = c.b >> 4;
            const double tx = c.r + 256 * (c.b & 15) + 0.5;
            const double ty = c.g + 0.5;
            if (c.a != 255 || got_slot != slot || std::abs(tx - s * size.width) > 1.0 ||
                std::abs(ty - t * size.height) > 1.0)
                return testing::AssertionFailure()
                       << "at (" << wx << ", " << wy << ") expected slot " << slot << " texel ("
                       << s * size.width << ", " << t * size.height << "), got " << c << " = slot " << got_slot
                       << " texel (" << tx << ", " << ty << ")";
        }
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult Offscreen::cellIs(float x, float y, Rgba colour) const {
    for (float fx : INNER_POINTS) {
        for (float fy : INNER_POINTS) {
            const Rgba c = at(x + fx, y + fy);
            if (!(c == colour))
                return testing::AssertionFailure() << "at (" << x + fx << ", " << y + fy << ") expected " << colour
                                                   << ", got " << c;
        }
    }
    return testing::AssertionSuccess();
}

namespace {

void put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 255u);
    out += static_cast<char>((v >> 8) & 255u);
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xffffu);
    put16(out, v >> 16);
}

}  // namespace

void writeBmp(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba, int bits) {
    const uint32_t bytes = static_cast<uint32_t>(bits / 8);
    const uint32_t row = width * bytes;
    const uint32_t padded = (row + 3u) & ~3u;
    std::string out = "BM";
    put32(out, 54 + padded * height);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bits));
    put32(out, 0);
    put32(out, padded * height);
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = &rgba[(size_t{y} * width + x) * 4];
            out += static_cast<char>(p[2]);
            out += static_cast<char>(p[1]);
            out += static_cast<char>(p[0]);
            if (bytes == 4) out += static_cast<char>(p[3]);
        }
        out.append(padded - row, '\0');
    }
    std::ofstream(path, std::ios::binary) << out;
}

}  // namespace gltest
