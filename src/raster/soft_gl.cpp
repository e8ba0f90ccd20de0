// soft_gl.cpp: the software rasteriser: the subset of OpenGL 1.x that the game's drawing calls (soft_gl_names.h
// renames the calls to these functions), painting into one pixel buffer.
//
// Follows the rules OpenGL sets and Mesa keeps: positions go through the projection and the viewport in single
// precision and are snapped to 1/256 of a pixel; a pixel is drawn when its centre lies inside the quad, a centre on
// the left or top edge counting as inside and one on the right or bottom edge not (rows counted from the top, as the
// picture is stored); the texture coordinate at the pixel centre picks the nearest texel, clamped to the texture;
// a texel with alpha 0 fails the alpha test; depth is compared as a 24-bit number with "less"; the current colour
// multiplies the texel and blending mixes by the source alpha. No GL library, no game rule.
#include "raster/soft_gl_names.h"

#include <GL/gl.h>

#include "raster/raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>

namespace {

struct Texture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;  // bottom row first
};

struct Vertex {
    float x, y, z;  // as sent
    float s, t;
};

struct State {
    int width = 1, height = 1;
    std::vector<uint8_t> colour = std::vector<uint8_t>(4, 0);
    std::vector<uint32_t> depth = std::vector<uint32_t>(1, 0);
    std::array<float, 16> projection{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::array<uint8_t, 4> clear{0, 0, 0, 0};
    std::array<uint8_t, 4> current{255, 255, 255, 255};
    float s = 0.0f, t = 0.0f;
    bool texturing = false, depth_test = false, alpha_test = false, blending = false;
    std::map<GLuint, Texture> textures;
    GLuint bound = 0;
    GLuint next_name = 1;
    std::vector<Vertex> quad;
};

State& state() {
    static State s;
    return s;
}

constexpr uint32_t DEPTH_MAX = (1u << 24) - 1;

uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// a * b / 255 rounded, as unsigned-normalised bytes multiply.
uint8_t mulNorm(uint32_t a, uint32_t b) {
    const uint32_t p = a * b + 128u;
    return static_cast<uint8_t>((p + (p >> 8)) >> 8);
}

struct Window {
    float x, y, z;  // pixels from the left and from the top; depth 0..1
};

Window toWindow(const Vertex& v) {
    const State& st = state();
    const auto& m = st.projection;
    const float cx = m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12];
    const float cy = m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13];
    const float cz = m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14];
    const float half_w = static_cast<float>(st.width) * 0.5f;
    const float half_h = static_cast<float>(st.height) * 0.5f;
    // The picture is stored top row first, so the viewport's y is turned over. The viewport's scale and offset are
    // one fused multiply-add, as Mesa's vertex stage computes them on a processor that has one.
    return {std::fma(cx, half_w, half_w), std::fma(cy, -half_h, half_h), cz * 0.5f + 0.5f};
}

// To 1/256 of a pixel.
int64_t snap(float v) { return std::llround(static_cast<double>(v) * 256.0); }

// The first and one-past-last pixel whose centre lies in [from, to) (fixed point, 1/256 pixel).
std::pair<int, int> coveredSpan(int64_t from, int64_t to, int limit) {
    // Centre of pixel i is i * 256 + 128; it is in when from <= centre < to.
    const auto first = static_cast<int64_t>(std::ceil((static_cast<double>(from) - 128.0) / 256.0));
    const auto end = static_cast<int64_t>(std::ceil((static_cast<double>(to) - 128.0) / 256.0));
    return {static_cast<int>(std::clamp<int64_t>(first, 0, limit)), static_cast<int>(std::clamp<int64_t>(end, 0, limit))};
}

int texelIndex(float coord, int size) {
    const float c = std::clamp(coord, 0.0f, 1.0f) * static_cast<float>(size);
    return std::clamp(static_cast<int>(std::floor(c)), 0, size - 1);
}

void putPixel(int px, int py, uint32_t depth, const std::array<uint8_t, 4>& rgba) {
    State& st = state();
    const size_t at = static_cast<size_t>(st.height - 1 - py) * static_cast<size_t>(st.width) + static_cast<size_t>(px);
    if (st.depth_test) {
        if (!(depth < st.depth[at])) return;
        st.depth[at] = depth;
    }
    uint8_t* out = &st.colour[at * 4];
    if (st.blending) {
        const uint32_t a = rgba[3];
        for (int k = 0; k < 4; ++k)
            out[k] = static_cast<uint8_t>(std::min<uint32_t>(255, mulNorm(rgba[k], a) + mulNorm(out[k], 255 - a)));
    } else {
        for (int k = 0; k < 4; ++k) out[k] = rgba[k];
    }
}

// An attribute as a plane over the window: a0 at the origin (the half pixel folded in), its steps along x and y.
struct Plane {
    float a0, dadx, dady;
    // At the pixel with whole coordinates (px, py), with fused multiply-adds as Mesa's fragment stage does.
    float at(float px, float py) const { return std::fma(dady, py, std::fma(dadx, px, a0)); }
};

struct Triangle {
    Plane s, t;
};

// The planes of the texture coordinates over a triangle, set up from its first corner in single precision.
Triangle triangle(const Window& p0, const Window& p1, const Window& p2, const Vertex& v0, const Vertex& v1,
                  const Vertex& v2) {
    const float dx01 = p0.x - p1.x, dy01 = p0.y - p1.y;
    const float dx20 = p2.x - p0.x, dy20 = p2.y - p0.y;
    const float one_over_area = 1.0f / (dx01 * dy20 - dx20 * dy01);
    const auto plane = [&](float a0v, float a1v, float a2v) {
        const float da01 = a0v - a1v, da20 = a2v - a0v;
        const float dadx = (da01 * dy20 - dy01 * da20) * one_over_area;
        const float dady = (dx01 * da20 - da01 * dx20) * one_over_area;
        return Plane{a0v - (dadx * (p0.x - 0.5f) + dady * (p0.y - 0.5f)), dadx, dady};
    };
    return {plane(v0.s, v1.s, v2.s), plane(v0.t, v1.t, v2.t)};
}

// One axis-aligned quad; others are not drawn (the game's drawing sends none).
void drawQuad(const std::array<Vertex, 4>& v) {
    State& st = state();
    std::array<Window, 4> w{};
    for (size_t i = 0; i < 4; ++i) w[i] = toWindow(v[i]);
    size_t lo_x = 0, lo_y = 0;  // the corners with the smallest x and smallest y (top)
    for (size_t i = 1; i < 4; ++i) {
        if (w[i].x < w[lo_x].x) lo_x = i;
        if (w[i].y < w[lo_y].y) lo_y = i;
    }
    size_t hi_x = 0, hi_y = 0;
    for (size_t i = 1; i < 4; ++i) {
        if (w[i].x > w[hi_x].x) hi_x = i;
        if (w[i].y > w[hi_y].y) hi_y = i;
    }
    const auto [x_first, x_end] = coveredSpan(snap(w[lo_x].x), snap(w[hi_x].x), st.width);
    const auto [y_first, y_end] = coveredSpan(snap(w[lo_y].y), snap(w[hi_y].y), st.height);
    if (x_first >= x_end || y_first >= y_end) return;

    // A quad is two triangles, (0, 1, 3) and (1, 2, 3) in the order sent, each with its own planes.
    const std::array<Triangle, 2> halves{triangle(w[0], w[1], w[3], v[0], v[1], v[3]),
                                         triangle(w[3], w[1], w[2], v[3], v[1], v[2])};
    // The shared diagonal runs from corner 1 to corner 3; corner 0 lies on the first triangle's side.
    const auto side = [&](float x, float y) { return (w[3].x - w[1].x) * (y - w[1].y) - (w[3].y - w[1].y) * (x - w[1].x); };
    const bool first_positive = side(w[0].x, w[0].y) > 0.0f;
    const auto depth = static_cast<uint32_t>(std::lround(static_cast<double>(std::clamp(w[0].z, 0.0f, 1.0f)) * DEPTH_MAX));

    const Texture* tex = nullptr;
    if (st.texturing) {
        const auto found = st.textures.find(st.bound);
        if (found != st.textures.end() && !found->second.rgba.empty()) tex = &found->second;
    }
    // Across an axis-aligned quad s changes along x only and t along y only (their other steps are exactly 0), so
    // the texel column is worked out once per pixel column and the texel row once per pixel row, for both triangles;
    // the diagonal is looked at only where the two triangles would pick different texels.
    const bool separable = halves[0].s.dady == 0.0f && halves[1].s.dady == 0.0f && halves[0].t.dadx == 0.0f &&
                           halves[1].t.dadx == 0.0f;
    const auto columns = static_cast<size_t>(x_end - x_first), rows = static_cast<size_t>(y_end - y_first);
    std::array<std::vector<int>, 2> tx_at, ty_at;
    if (tex && separable)
        for (size_t k = 0; k < 2; ++k) {
            tx_at[k].resize(columns);
            ty_at[k].resize(rows);
            for (size_t i = 0; i < columns; ++i)
                tx_at[k][i] = texelIndex(halves[k].s.at(static_cast<float>(x_first) + static_cast<float>(i), 0.0f), tex->width);
            for (size_t j = 0; j < rows; ++j)
                ty_at[k][j] = texelIndex(halves[k].t.at(0.0f, static_cast<float>(y_first) + static_cast<float>(j)), tex->height);
        }
    const bool white = st.current == std::array<uint8_t, 4>{255, 255, 255, 255};
    for (int py = y_first; py < y_end; ++py) {
        const auto fy = static_cast<float>(py);
        const auto j = static_cast<size_t>(py - y_first);
        for (int px = x_first; px < x_end; ++px) {
            std::array<uint8_t, 4> c = st.current;
            if (tex) {
                const auto fx = static_cast<float>(px);
                const auto i = static_cast<size_t>(px - x_first);
                int tx = 0, ty = 0;
                if (separable && tx_at[0][i] == tx_at[1][i] && ty_at[0][j] == ty_at[1][j]) {
                    tx = tx_at[0][i];
                    ty = ty_at[0][j];
                } else {
                    const size_t k = (side(fx + 0.5f, fy + 0.5f) > 0.0f) == first_positive ? 0 : 1;
                    tx = separable ? tx_at[k][i] : texelIndex(halves[k].s.at(fx, fy), tex->width);
                    ty = separable ? ty_at[k][j] : texelIndex(halves[k].t.at(fx, fy), tex->height);
                }
                const uint8_t* texel = &tex->rgba[(static_cast<size_t>(ty) * static_cast<size_t>(tex->width) +
                                                   static_cast<size_t>(tx)) * 4];
                if (white)
                    std::copy_n(texel, 4, c.begin());
                else
                    for (size_t k = 0; k < 4; ++k) c[k] = mulNorm(texel[k], st.current[k]);
            }
            if (st.alpha_test && c[3] == 0) continue;
            putPixel(px, py, depth, c);
        }
    }
}

}  // namespace

// [SECTION] The frame buffer ------------------------------------------------------------------------------------------

void rasterResize(int width, int height) {
    State& st = state();
    st.width = std::max(1, width);
    st.height = std::max(1, height);
    const size_t n = static_cast<size_t>(st.width) * static_cast<size_t>(st.height);
    st.colour.assign(n * 4, 0);
    st.depth.assign(n, DEPTH_MAX);
}

const std::vector<uint8_t>& rasterPixels() { return state().colour; }

void rasterPixelsTopDown(std::vector<uint8_t>& out) {
    const State& st = state();
    const size_t row = static_cast<size_t>(st.width) * 4;
    out.resize(st.colour.size());
    for (size_t y = 0; y < static_cast<size_t>(st.height); ++y)
        std::copy_n(&st.colour[(static_cast<size_t>(st.height) - 1 - y) * row], row, &out[y * row]);
}

int rasterWidth() { return state().width; }
int rasterHeight() { return state().height; }

// [SECTION] The OpenGL subset -------------------------------------------------------------------------------------------

void glViewport(GLint, GLint, GLsizei width, GLsizei height) { rasterResize(width, height); }

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { state().clear = {toByte(r), toByte(g), toByte(b), toByte(a)}; }

void glClear(GLbitfield mask) {
    State& st = state();
    if (mask & GL_COLOR_BUFFER_BIT)
        for (size_t i = 0; i < st.colour.size(); i += 4) std::copy(st.clear.begin(), st.clear.end(), &st.colour[i]);
    if (mask & GL_DEPTH_BUFFER_BIT) std::fill(st.depth.begin(), st.depth.end(), DEPTH_MAX);
}

void glMatrixMode(GLenum) {}  // only the projection is ever set; the model-view stays the identity

void glLoadIdentity() { state().projection = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val, GLdouble far_val) {
    // In single precision, from the arguments as floats, as Mesa builds the matrix.
    const auto l = static_cast<float>(left), r = static_cast<float>(right);
    const auto b = static_cast<float>(bottom), t = static_cast<float>(top);
    const auto n = static_cast<float>(near_val), f = static_cast<float>(far_val);
    state().projection = {2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, -2.0f / (f - n), 0,
                          -(r + l) / (r - l), -(t + b) / (t - b), -(f + n) / (f - n), 1};
}

void glEnable(GLenum cap) {
    State& st = state();
    if (cap == GL_TEXTURE_2D) st.texturing = true;
    if (cap == GL_DEPTH_TEST) st.depth_test = true;
    if (cap == GL_ALPHA_TEST) st.alpha_test = true;
    if (cap == GL_BLEND) st.blending = true;
}

void glDisable(GLenum cap) {
    State& st = state();
    if (cap == GL_TEXTURE_2D) st.texturing = false;
    if (cap == GL_DEPTH_TEST) st.depth_test = false;
    if (cap == GL_ALPHA_TEST) st.alpha_test = false;
    if (cap == GL_BLEND) st.blending = false;
}

void glAlphaFunc(GLenum, GLclampf) {}        // the drawing only ever asks for "greater than 0"
void glBlendFunc(GLenum, GLenum) {}          // and for source alpha, one minus source alpha
void glTexParameteri(GLenum, GLenum, GLint) {}  // nearest and clamped, always
void glFlush() {}

void glGenTextures(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) names[i] = state().next_name++;
}

void glBindTexture(GLenum, GLuint name) { state().bound = name; }

void glTexImage2D(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum, GLenum, const GLvoid* pixels) {
    Texture& tex = state().textures[state().bound];
    tex.width = width;
    tex.height = height;
    const auto* bytes = static_cast<const uint8_t*>(pixels);
    tex.rgba.assign(bytes, bytes + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
}

void glColor3ub(GLubyte r, GLubyte g, GLubyte b) { state().current = {r, g, b, 255}; }

void glTexCoord2d(GLdouble s, GLdouble t) {
    state().s = static_cast<float>(s);
    state().t = static_cast<float>(t);
}

void glBegin(GLenum) { state().quad.clear(); }

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    State& st = state();
    st.quad.push_back({x, y, z, st.s, st.t});
    if (st.quad.size() == 4) {
        drawQuad({st.quad[0], st.quad[1], st.quad[2], st.quad[3]});
        st.quad.clear();
    }
}

void glVertex2f(GLfloat x, GLfloat y) { glVertex3f(x, y, 0.0f); }

void glEnd() { state().quad.clear(); }
