// canvas.h: the sprite generator's drawing kit. RGBA images addressed top row first, shapes given as inside-tests in
// continuous coordinates and rasterised into masks, mask-based shading and outlines, and the BMP and PPM writers.
//
// Plain C++ only: no OpenGL, nothing from the game. Everything is deterministic, so the same build writes the same
// bytes every time.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace art {

// [SECTION] Colours

struct Rgba {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0;
    bool operator==(const Rgba&) const = default;
};

constexpr Rgba CLEAR{0, 0, 0, 0};

// An opaque colour.
constexpr Rgba rgb(int r, int g, int b) {
    return Rgba{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), 255};
}

// The colour `t` of the way from `a` to `b` (t from 0 to 1), opaque.
Rgba mix(Rgba a, Rgba b, float t);

// Brightness scaled by `f` (below 1 darker, above 1 lighter, clamped), opaque.
Rgba scale(Rgba c, float f);

// A shade ramp for one material: dark edge, shadow, base, light, highlight.
struct Ramp {
    Rgba dark;
    Rgba shadow;
    Rgba base;
    Rgba light;
    Rgba highlight;
};

// A ramp around `base`, its shades leaning toward cool shadows and warm lights as painters do.
Ramp rampOf(Rgba base);

// [SECTION] Images

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgba fill = CLEAR);

    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    // Row 0 is the top row of the picture as seen.
    Rgba get(int x, int y) const { return contains(x, y) ? pixels_[index(x, y)] : CLEAR; }
    void set(int x, int y, Rgba c) {
        if (contains(x, y)) pixels_[index(x, y)] = c;
    }
    bool opaque(int x, int y) const { return get(x, y).a != 0; }

    // Copies `src` with its top-left corner at (x, y); transparent source pixels are copied too when `all` is set.
    void blit(const Image& src, int x, int y, bool all = false);

    Image flippedVertically() const;
    Image flippedHorizontally() const;
    Image transposed() const;
    // Each pixel repeated `factor` times in both directions.
    Image enlarged(int factor) const;

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }

    int width_ = 0;
    int height_ = 0;
    std::vector<Rgba> pixels_;
};

// [SECTION] Shapes and masks

// An inside-test in continuous picture coordinates (x right, y down, pixel (i, j) covering i..i+1, j..j+1).
using Shape = std::function<bool(float x, float y)>;

Shape ellipse(float cx, float cy, float rx, float ry);
Shape box(float x0, float y0, float x1, float y1);
Shape roundBox(float x0, float y0, float x1, float y1, float radius);
// A thick segment with round ends: all points within `radius` of the segment from (ax, ay) to (bx, by).
Shape capsule(float ax, float ay, float bx, float by, float radius);
Shape polygon(std::vector<std::pair<float, float>> points);
Shape unite(Shape a, Shape b);
Shape intersect(Shape a, Shape b);
Shape subtract(Shape a, Shape b);

// Maps the shape's own ("logical") coordinates onto pixels: pixel = origin + logical * scale. Lets one design serve
// pictures of slightly different sizes, and squash or move a whole figure.
struct Frame {
    float ox = 0;
    float oy = 0;
    float sx = 1;
    float sy = 1;
};

// Which pixels a shape covers: a pixel is in when at least half of its 4 x 4 samples are inside.
class Mask {
public:
    Mask(int width, int height) : width_(width), height_(height), on_(static_cast<size_t>(width) * height, 0) {}
    Mask(int width, int height, const Shape& shape, const Frame& frame = {});

    int width() const { return width_; }
    int height() const { return height_; }
    bool get(int x, int y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_ && on_[static_cast<size_t>(y) * width_ + x] != 0;
    }
    void set(int x, int y, bool v) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) on_[static_cast<size_t>(y) * width_ + x] = v ? 1 : 0;
    }
    bool empty() const;

private:
    int width_;
    int height_;
    std::vector<uint8_t> on_;
};

// The opaque pixels of an image.
Mask opaqueMask(const Image& image);

// Paints every pixel of `mask` with the colour `paint` gives for it.
void fill(Image& image, const Mask& mask, const std::function<Rgba(int x, int y)>& paint);
void fill(Image& image, const Mask& mask, Rgba colour);

// Paints a mask lit from the top left: pixels on its upper and left rims get the ramp's light, those on its lower
// and right rims its shadow, a second pixel in from the lower right a softer shadow, the rest its base.
void fillLit(Image& image, const Mask& mask, const Ramp& ramp);

// Paints an ellipse-shaped mask as a lit ball: tones follow the surface normal toward a light at the top left.
void fillBall(Image& image, const Mask& mask, const Ramp& ramp, const Frame& frame, float cx, float cy, float rx,
              float ry);

// Gives every transparent pixel next to an opaque one (4 neighbours, or 8 with `corners`) the colour `colour`.
void outline(Image& image, Rgba colour, bool corners = false);

// Sets single pixels, placed by rounding logical coordinates through `frame` so that small details never vanish.
void dot(Image& image, const Frame& frame, float x, float y, Rgba colour);

// A one-pixel line between two logical points (through `frame`), with a square brush of `brush` pixels.
void line(Image& image, const Frame& frame, float ax, float ay, float bx, float by, Rgba colour, int brush = 1);

// A small deterministic hash of a pixel position and a seed, uniform in 0..1.
float noise(int x, int y, int seed);

// [SECTION] Files

// Writes an uncompressed 32-bit BMP: 14-byte file header, 40-byte info header, rows bottom first, bytes
// blue, green, red, alpha. Returns false when the file cannot be written.
bool writeBmp(const std::string& path, const Image& image);

// Writes a binary PPM (no alpha: transparent pixels show a checkerboard so that holes are visible).
bool writePpm(const std::string& path, const Image& image);

}  // namespace art
