// canvas.cpp: images, shapes, masks, shading, outlines and the two file writers of the sprite generator.
//
// No OpenGL and nothing from the game; only the C++ standard library.
#include "canvas.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace art {

// [SECTION] Colours

namespace {

uint8_t clampByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f))); }

}  // namespace

Rgba mix(Rgba a, Rgba b, float t) {
    return Rgba{clampByte(a.r + (b.r - a.r) * t), clampByte(a.g + (b.g - a.g) * t), clampByte(a.b + (b.b - a.b) * t),
                255};
}

Rgba scale(Rgba c, float f) { return Rgba{clampByte(c.r * f), clampByte(c.g * f), clampByte(c.b * f), 255}; }

Ramp rampOf(Rgba base) {
    const Rgba cool = rgb(30, 28, 70);
    const Rgba warm = rgb(255, 248, 220);
    return Ramp{mix(scale(base, 0.42f), cool, 0.25f), mix(scale(base, 0.70f), cool, 0.12f), base,
                mix(base, warm, 0.30f), mix(base, warm, 0.62f)};
}

// [SECTION] Images

Image::Image(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

void Image::blit(const Image& src, int x, int y, bool all) {
    for (int j = 0; j < src.height(); ++j)
        for (int i = 0; i < src.width(); ++i)
            if (all || src.opaque(i, j)) set(x + i, y + j, src.get(i, j));
}

Image Image::flippedVertically() const {
    Image out(width_, height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) out.set(x, height_ - 1 - y, get(x, y));
    return out;
}

Image Image::flippedHorizontally() const {
    Image out(width_, height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) out.set(width_ - 1 - x, y, get(x, y));
    return out;
}

Image Image::transposed() const {
    Image out(height_, width_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) out.set(y, x, get(x, y));
    return out;
}

Image Image::enlarged(int factor) const {
    Image out(width_ * factor, height_ * factor);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) out.set(x, y, get(x / factor, y / factor));
    return out;
}

// [SECTION] Shapes

Shape ellipse(float cx, float cy, float rx, float ry) {
    return [=](float x, float y) {
        const float dx = (x - cx) / rx;
        const float dy = (y - cy) / ry;
        return dx * dx + dy * dy <= 1.0f;
    };
}

Shape box(float x0, float y0, float x1, float y1) {
    return [=](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape roundBox(float x0, float y0, float x1, float y1, float radius) {
    return [=](float x, float y) {
        if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
        const float dx = std::max({x0 + radius - x, 0.0f, x - (x1 - radius)});
        const float dy = std::max({y0 + radius - y, 0.0f, y - (y1 - radius)});
        return dx * dx + dy * dy <= radius * radius;
    };
}

Shape capsule(float ax, float ay, float bx, float by, float radius) {
    return [=](float x, float y) {
        const float vx = bx - ax;
        const float vy = by - ay;
        const float len2 = vx * vx + vy * vy;
        float t = len2 > 0 ? ((x - ax) * vx + (y - ay) * vy) / len2 : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const float dx = x - (ax + t * vx);
        const float dy = y - (ay + t * vy);
        return dx * dx + dy * dy <= radius * radius;
    };
}

Shape polygon(std::vector<std::pair<float, float>> points) {
    return [points = std::move(points)](float x, float y) {
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
        }
        return inside;
    };
}

Shape unite(Shape a, Shape b) {
    return [a = std::move(a), b = std::move(b)](float x, float y) { return a(x, y) || b(x, y); };
}

Shape intersect(Shape a, Shape b) {
    return [a = std::move(a), b = std::move(b)](float x, float y) { return a(x, y) && b(x, y); };
}

Shape subtract(Shape a, Shape b) {
    return [a = std::move(a), b = std::move(b)](float x, float y) { return a(x, y) && !b(x, y); };
}

// [SECTION] Masks

Mask::Mask(int width, int height, const Shape& shape, const Frame& frame) : Mask(width, height) {
    constexpr int N = 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int hits = 0;
            for (int j = 0; j < N; ++j) {
                for (int i = 0; i < N; ++i) {
                    const float px = x + (i + 0.5f) / N;
                    const float py = y + (j + 0.5f) / N;
                    if (shape((px - frame.ox) / frame.sx, (py - frame.oy) / frame.sy)) ++hits;
                }
            }
            set(x, y, hits * 2 >= N * N);
        }
    }
}

bool Mask::empty() const { return std::find(on_.begin(), on_.end(), 1) == on_.end(); }

Mask opaqueMask(const Image& image) {
    Mask m(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) m.set(x, y, image.opaque(x, y));
    return m;
}

void fill(Image& image, const Mask& mask, const std::function<Rgba(int x, int y)>& paint) {
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (mask.get(x, y)) image.set(x, y, paint(x, y));
}

void fill(Image& image, const Mask& mask, Rgba colour) {
    fill(image, mask, [colour](int, int) { return colour; });
}

void fillLit(Image& image, const Mask& m, const Ramp& ramp) {
    fill(image, m, [&](int x, int y) {
        if (!m.get(x, y + 1) || !m.get(x + 1, y)) return ramp.shadow;
        if (!m.get(x, y - 1) || !m.get(x - 1, y)) return ramp.light;
        return ramp.base;
    });
}

void fillBall(Image& image, const Mask& m, const Ramp& ramp, const Frame& frame, float cx, float cy, float rx,
              float ry) {
    // Light from the upper left and a little toward the viewer.
    const float lx = -0.48f;
    const float ly = -0.62f;
    const float lz = 0.62f;
    fill(image, m, [&](int x, int y) {
        const float nx = ((x + 0.5f - frame.ox) / frame.sx - cx) / rx;
        const float ny = ((y + 0.5f - frame.oy) / frame.sy - cy) / ry;
        const float nz = std::sqrt(std::max(0.0f, 1.0f - nx * nx - ny * ny));
        const float d = lx * nx + ly * ny + lz * nz;
        if (d > 0.93f) return ramp.highlight;
        if (d > 0.70f) return ramp.light;
        if (d > 0.30f) return ramp.base;
        if (d > -0.05f) return ramp.shadow;
        return ramp.dark;
    });
}

void outline(Image& image, Rgba colour, bool corners) {
    const Mask m = opaqueMask(image);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (m.get(x, y)) continue;
            bool next = m.get(x - 1, y) || m.get(x + 1, y) || m.get(x, y - 1) || m.get(x, y + 1);
            if (corners) next = next || m.get(x - 1, y - 1) || m.get(x + 1, y - 1) || m.get(x - 1, y + 1) ||
                                m.get(x + 1, y + 1);
            if (next) image.set(x, y, colour);
        }
    }
}

void dot(Image& image, const Frame& frame, float x, float y, Rgba colour) {
    image.set(static_cast<int>(std::floor(frame.ox + x * frame.sx)),
              static_cast<int>(std::floor(frame.oy + y * frame.sy)), colour);
}

void line(Image& image, const Frame& frame, float ax, float ay, float bx, float by, Rgba colour, int brush) {
    int x0 = static_cast<int>(std::floor(frame.ox + ax * frame.sx));
    int y0 = static_cast<int>(std::floor(frame.oy + ay * frame.sy));
    const int x1 = static_cast<int>(std::floor(frame.ox + bx * frame.sx));
    const int y1 = static_cast<int>(std::floor(frame.oy + by * frame.sy));
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int stepx = x0 < x1 ? 1 : -1;
    const int stepy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        for (int j = 0; j < brush; ++j)
            for (int i = 0; i < brush; ++i) image.set(x0 + i, y0 + j, colour);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += stepx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += stepy;
        }
    }
}

float noise(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xffffff) / static_cast<float>(0x1000000);
}

// [SECTION] Files

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>(v >> 8 & 0xff);
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

bool writeAll(const std::string& path, const std::string& bytes) {
    File f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
    return std::fclose(f.release()) == 0;
}

}  // namespace

bool writeBmp(const std::string& path, const Image& image) {
    const uint32_t pixel_bytes = static_cast<uint32_t>(image.width() * image.height() * 4);
    std::string s = "BM";
    put32(s, 54 + pixel_bytes);
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, static_cast<uint32_t>(image.width()));
    put32(s, static_cast<uint32_t>(image.height()));
    put16(s, 1);
    put16(s, 32);
    put32(s, 0);
    put32(s, pixel_bytes);
    put32(s, 2835);  // 72 dots per inch
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            const Rgba c = image.get(x, y);
            s += static_cast<char>(c.b);
            s += static_cast<char>(c.g);
            s += static_cast<char>(c.r);
            s += static_cast<char>(c.a);
        }
    }
    return writeAll(path, s);
}

bool writePpm(const std::string& path, const Image& image) {
    std::string s = "P6\n" + std::to_string(image.width()) + " " + std::to_string(image.height()) + "\n255\n";
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            Rgba c = image.get(x, y);
            if (c.a == 0) c = ((x / 6 + y / 6) % 2) != 0 ? rgb(236, 160, 236) : rgb(190, 120, 190);
            s += static_cast<char>(c.r);
            s += static_cast<char>(c.g);
            s += static_cast<char>(c.b);
        }
    }
    return writeAll(path, s);
}

}  // namespace art
