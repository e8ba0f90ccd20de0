// soft_gl.cpp: the software rasteriser: the subset of OpenGL 1.x that the game's drawing calls (soft_gl_names.h
// renames the calls to these functions), painting into one pixel buffer.
//
// Its pixels equal those of the game's own frame, which on this platform comes from Mesa's llvmpipe driver, so it
// follows that driver's arithmetic step by step, not just OpenGL's rules (the comments at each step say which):
// - positions through the projection in single precision, term by term, then the viewport as one fused multiply-add;
// - quads sent between two changes of state form one draw; a quad becomes the triangles (0, 1, 2) and (0, 2, 3), or
//   (0, 1, 3) and (1, 2, 3) when a corner of any quad of its draw lies outside the view volume (the clipping stage
//   then cuts the triangles that cross it);
// - corners snapped to 1/256 of a pixel from the pixel centre, integer edge functions with the top-left rule as it
//   falls on a picture stored bottom row first;
// - the planes of s and t set up from the triangle's first corner in single precision in the driver's order of
//   operations, evaluated at each pixel with two fused multiply-adds; the nearest texel is floor(coord * size),
//   clamped to the texture;
// - a texel with alpha 0 fails the alpha test; depth is compared as a 24-bit number with "less"; the current colour
//   multiplies the texel and blending mixes by the source alpha.
// No GL library, no game rule.
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
    std::vector<std::array<Vertex, 4>> batch;  // quads sent since the last change of state
    std::vector<int> column_texel, row_texel;  // scratch of drawTriangle, kept to spare allocations
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

struct Clip {
    float x, y, z;
};

// Through the projection (the model-view is the identity), in single precision, term by term.
Clip toClip(const Vertex& v) {
    const auto& m = state().projection;
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12], m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13],
            m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14]};
}

// Past a face of the view volume (strictly beyond -1 or 1), as the reference renderer's vertex stage tests a corner.
bool outsideView(const Vertex& v) {
    const Clip c = toClip(v);
    return std::abs(c.x) > 1.0f || std::abs(c.y) > 1.0f || std::abs(c.z) > 1.0f;
}

Window toWindow(const Vertex& v) {
    const State& st = state();
    const auto [cx, cy, cz] = toClip(v);
    const float half_w = static_cast<float>(st.width) * 0.5f;
    const float half_h = static_cast<float>(st.height) * 0.5f;
    // The picture is stored top row first, so the viewport's y is turned over. The viewport's scale and offset are
    // one fused multiply-add, as Mesa's vertex stage computes them on a processor that has one.
    return {std::fma(cx, half_w, half_w), std::fma(cy, -half_h, half_h), cz * 0.5f + 0.5f};
}

// A window position on the reference renderer's grid: 1/256 of a pixel, measured from the centre of pixel (0, 0)
// (the half pixel is taken off in single precision first), rounded to the nearest, ties to even, as the processor's
// float-to-int conversion does.
int32_t snap(float v) { return static_cast<int32_t>(std::nearbyint((v - 0.5f) * 256.0f)); }

int texelIndex(float coord, int size) {
    const float c = std::clamp(coord, 0.0f, 1.0f) * static_cast<float>(size);
    return std::clamp(static_cast<int>(std::floor(c)), 0, size - 1);
}

void putPixel(State& st, int px, int py, uint32_t depth, const std::array<uint8_t, 4>& rgba) {
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
    // At the pixel with whole coordinates (px, py): the reference renderer's fragment stage adds the x step, then the
    // y step, each as one fused multiply-add.
    float at(float px, float py) const { return std::fma(dady, py, std::fma(dadx, px, a0)); }
};

// a / b rounded down, for b > 0.
int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// One edge of a triangle in fixed point: a pixel (px, py) lies inside when c + dcdy * py - dcdx * px > 0, the steps
// being in 1/256 pixel per whole pixel.
struct Edge {
    int64_t c, dcdx, dcdy;
    // Narrows [first, last] to the pixels of row py on the inside of this edge (empty when first > last).
    void clipRow(int py, int64_t& first, int64_t& last) const {
        const int64_t a = c + dcdy * 256 * py, b = dcdx * 256;  // inside: a - b * px > 0
        if (b > 0)
            last = std::min(last, floorDiv(a - 1, b));
        else if (b < 0)
            first = std::max(first, -floorDiv(a - 1, -b));
        else if (a <= 0)
            last = first - 1;
    }
};

// A corner of a triangle: where it lands in the window, on the fixed-point grid, and its texture coordinate.
struct Corner {
    Window w;
    int32_t x, y;
    float s, t;
};

// Edge i runs from corner i to corner i + 1. A pixel centre exactly on an edge belongs to the triangle when the edge
// is a left edge, or a horizontal edge with the inside above it (rows counted from the top): OpenGL's top-left rule
// with the picture stored bottom row first, as the reference renderer turns it for a window's frame buffer.
std::array<Edge, 3> edges(const std::array<Corner, 3>& k) {
    std::array<Edge, 3> e{};
    for (size_t i = 0; i < 3; ++i) {
        const Corner& a = k[i];
        const Corner& b = k[(i + 1) % 3];
        Edge& edge = e[i];
        edge.dcdy = int64_t{a.x} - b.x;
        edge.dcdx = int64_t{a.y} - b.y;
        edge.c = edge.dcdx * a.x - edge.dcdy * a.y;
        if (edge.dcdx < 0 || (edge.dcdx == 0 && edge.dcdy < 0)) ++edge.c;
    }
    return e;
}

// The planes of s and t over a triangle, in single precision and in the reference renderer's order of operations:
// the edge vectors are scaled by one over the area first, and a0 is taken back from the first corner's pixel centre.
std::array<Plane, 2> texturePlanes(const std::array<Corner, 3>& k) {
    const float x0 = k[0].w.x - 0.5f, y0 = k[0].w.y - 0.5f;
    const float dx01 = k[0].w.x - k[1].w.x, dy01 = k[0].w.y - k[1].w.y;
    const float dx20 = k[2].w.x - k[0].w.x, dy20 = k[2].w.y - k[0].w.y;
    const float one_over_area = 1.0f / (dx01 * dy20 - dy01 * dx20);
    const float dx01_ooa = dx01 * one_over_area, dy01_ooa = dy01 * one_over_area;
    const float dx20_ooa = dx20 * one_over_area, dy20_ooa = dy20 * one_over_area;
    const auto plane = [&](float a0, float a1, float a2) {
        const float da01 = a0 - a1, da20 = a2 - a0;
        const float dadx = da01 * dy20_ooa - da20 * dy01_ooa;
        const float dady = da20 * dx01_ooa - da01 * dx20_ooa;
        return Plane{a0 - (dadx * x0 + dady * y0), dadx, dady};
    };
    return {plane(k[0].s, k[1].s, k[2].s), plane(k[0].t, k[1].t, k[2].t)};
}

// The colour of texel (tx, ty) under the current colour (white leaves the texel as it is).
std::array<uint8_t, 4> shade(const Texture& tex, int tx, int ty, const std::array<uint8_t, 4>& current, bool white) {
    const uint8_t* texel =
        &tex.rgba[(static_cast<size_t>(ty) * static_cast<size_t>(tex.width) + static_cast<size_t>(tx)) * 4];
    std::array<uint8_t, 4> c{};
    if (white)
        std::copy_n(texel, 4, c.begin());
    else
        for (size_t k = 0; k < 4; ++k) c[k] = mulNorm(texel[k], current[k]);
    return c;
}

void drawTriangle(std::array<Corner, 3> k, const Texture* tex, uint32_t depth) {
    State& st = state();
    const int64_t area = (int64_t{k[0].x} - k[1].x) * (int64_t{k[2].y} - k[0].y) -
                         (int64_t{k[2].x} - k[0].x) * (int64_t{k[0].y} - k[1].y);
    if (area == 0) return;
    // The other winding is drawn with its first two corners swapped, which also makes the second corner the
    // planes' origin.
    if (area < 0) std::swap(k[0], k[1]);
    const std::array<Edge, 3> e = edges(k);
    const auto [lo_x, hi_x] = std::minmax({k[0].x, k[1].x, k[2].x});
    const auto [lo_y, hi_y] = std::minmax({k[0].y, k[1].y, k[2].y});
    const int x_first = std::max(0, lo_x >> 8), x_last = std::min(st.width - 1, (hi_x >> 8) + 1);
    const int y_first = std::max(0, lo_y >> 8), y_last = std::min(st.height - 1, (hi_y >> 8) + 1);
    if (x_first > x_last || y_first > y_last) return;

    // The texel of every pixel column and row. When s does not change along y nor t along x (their steps are
    // exactly 0, as on every upright quad), the fused multiply-add of a zero step changes nothing, so s depends on
    // the column alone and t on the row alone and each is worked out once; otherwise per pixel.
    const std::array<Plane, 2> planes = tex ? texturePlanes(k) : std::array<Plane, 2>{};
    const bool separable = planes[0].dady == 0.0f && planes[1].dadx == 0.0f;
    std::vector<int>& column_texel = st.column_texel;
    std::vector<int>& row_texel = st.row_texel;
    column_texel.clear();
    row_texel.clear();
    if (tex && separable) {
        for (int px = x_first; px <= x_last; ++px)
            column_texel.push_back(texelIndex(planes[0].at(static_cast<float>(px), 0.0f), tex->width));
        for (int py = y_first; py <= y_last; ++py)
            row_texel.push_back(texelIndex(planes[1].at(0.0f, static_cast<float>(py)), tex->height));
    }
    const bool white = st.current == std::array<uint8_t, 4>{255, 255, 255, 255};
    for (int py = y_first; py <= y_last; ++py) {
        int64_t first = x_first, last = x_last;
        for (const Edge& edge : e) edge.clipRow(py, first, last);
        if (first > last) continue;  // else both lie within [x_first, x_last]
        for (auto px = static_cast<int>(first); px <= static_cast<int>(last); ++px) {
            std::array<uint8_t, 4> c = st.current;
            if (tex && separable) {
                c = shade(*tex, column_texel[static_cast<size_t>(px - x_first)],
                          row_texel[static_cast<size_t>(py - y_first)], st.current, white);
            } else if (tex) {
                const auto fx = static_cast<float>(px), fy = static_cast<float>(py);
                c = shade(*tex, texelIndex(planes[0].at(fx, fy), tex->width),
                          texelIndex(planes[1].at(fx, fy), tex->height), st.current, white);
            }
            if (st.alpha_test && c[3] == 0) continue;
            putPixel(st, px, py, depth, c);
        }
    }
}

// A corner on its way through the reference renderer's clipping stage: its clip coordinates, and where it lands.
struct ClipCorner {
    Clip c;
    Corner k;
};

// The distance past each face of the view volume (negative outside), as a dot product with the face's plane:
// x + 1, 1 - x, y + 1, 1 - y, z + 1, 1 - z.
float faceDistance(const Clip& c, size_t face) {
    const float v = face < 2 ? c.x : face < 4 ? c.y : c.z;
    return (face % 2 == 0 ? v : -v) + 1.0f;
}

// The point at `t` from `out` towards `in`, as the clipping stage makes it: clip coordinates and texture coordinates
// as out + t * (in - out), the window position from the clip coordinates by a multiply and an add (no fused
// multiply-add in that stage).
ClipCorner between(float t, const ClipCorner& out, const ClipCorner& in) {
    const auto lerp = [t](float o, float i) { return o + t * (i - o); };
    const State& st = state();
    ClipCorner n{};
    n.c = {lerp(out.c.x, in.c.x), lerp(out.c.y, in.c.y), lerp(out.c.z, in.c.z)};
    const float half_w = static_cast<float>(st.width) * 0.5f, half_h = static_cast<float>(st.height) * 0.5f;
    const Window w{n.c.x * half_w + half_w, n.c.y * -half_h + half_h, n.c.z * 0.5f + 0.5f};
    n.k = {w, snap(w.x), snap(w.y), lerp(out.k.s, in.k.s), lerp(out.k.t, in.k.t)};
    return n;
}

// Cuts the polygon by one face of the view volume, keeping the corners' order (Sutherland-Hodgman, with the clipping
// stage's choice of direction for the new corner so that t is the smaller fraction).
std::vector<ClipCorner> clipByFace(const std::vector<ClipCorner>& in, size_t face) {
    std::vector<ClipCorner> out;
    float d_prev = faceDistance(in[0].c, face);
    for (size_t i = 1; i <= in.size(); ++i) {
        const ClipCorner& prev = in[i - 1];
        const ClipCorner& cur = in[i % in.size()];
        const float d = faceDistance(cur.c, face);
        bool crosses = false;
        if (d_prev >= 0.0f) {
            out.push_back(prev);
            crosses = d < 0.0f;
        } else {
            crosses = !(d < 0.0f);
        }
        if (crosses) {
            const float denom = d - d_prev;
            if (d < 0.0f)  // going out
                out.push_back(-d < d_prev ? between(d / denom, cur, prev) : between(-d_prev / denom, prev, cur));
            else  // coming back in
                out.push_back(-d_prev < d ? between(-d_prev / denom, prev, cur) : between(d / denom, cur, prev));
        }
        d_prev = d;
    }
    return out;
}

// A triangle through the clipping stage: untouched when all its corners lie inside the view volume, otherwise cut by
// each face it crosses and drawn as the fan (i - 1, i, 0).
void drawClippedTriangle(const std::array<ClipCorner, 3>& tri, const Texture* tex, uint32_t depth) {
    const auto crosses = [&tri](size_t face) {
        return std::any_of(tri.begin(), tri.end(), [face](const ClipCorner& k) { return faceDistance(k.c, face) < 0.0f; });
    };
    std::array<bool, 6> faces{};
    for (size_t face = 0; face < 6; ++face) faces[face] = crosses(face);
    if (std::none_of(faces.begin(), faces.end(), [](bool f) { return f; })) {
        drawTriangle({tri[0].k, tri[1].k, tri[2].k}, tex, depth);
        return;
    }
    std::vector<ClipCorner> poly(tri.begin(), tri.end());
    for (size_t face = 0; face < 6 && poly.size() >= 3; ++face)
        if (faces[face]) poly = clipByFace(poly, face);
    for (size_t i = 2; i < poly.size(); ++i) drawTriangle({poly[i - 1].k, poly[i].k, poly[0].k}, tex, depth);
}

// A quad is drawn as the triangles (0, 1, 2) and (0, 2, 3) of its corners in the order sent, as the reference
// renderer splits one when its frame buffer has a depth buffer; through the clipping stage it is (0, 1, 3) and
// (1, 2, 3) instead.
void drawQuad(const std::array<Vertex, 4>& v, bool through_clipper) {
    const State& st = state();
    std::array<ClipCorner, 4> k{};
    for (size_t i = 0; i < 4; ++i) {
        const Window w = toWindow(v[i]);
        k[i] = {toClip(v[i]), {w, snap(w.x), snap(w.y), v[i].s, v[i].t}};
    }
    const Texture* tex = nullptr;
    if (st.texturing) {
        const auto found = st.textures.find(st.bound);
        if (found != st.textures.end() && !found->second.rgba.empty()) tex = &found->second;
    }
    const auto depth =
        static_cast<uint32_t>(std::lround(static_cast<double>(std::clamp(k[0].k.w.z, 0.0f, 1.0f)) * DEPTH_MAX));
    if (through_clipper) {
        drawClippedTriangle({k[0], k[1], k[3]}, tex, depth);
        drawClippedTriangle({k[1], k[2], k[3]}, tex, depth);
    } else {
        drawTriangle({k[0].k, k[1].k, k[2].k}, tex, depth);
        drawTriangle({k[0].k, k[2].k, k[3].k}, tex, depth);
    }
}

// Draws the quads sent since the last change of state, as the reference renderer gets them: merged into one draw of
// up to 1024 quads at a time; when a corner of any of them lies outside the view (a rounding error past the edge is
// enough), the whole draw goes through its clipping stage, which splits each quad into (0, 1, 3) and (1, 2, 3).
void flushBatch() {
    State& st = state();
    constexpr size_t QUADS_PER_DRAW = 1024;
    for (size_t first = 0; first < st.batch.size(); first += QUADS_PER_DRAW) {
        const size_t end = std::min(st.batch.size(), first + QUADS_PER_DRAW);
        bool clipped = false;
        for (size_t q = first; q < end && !clipped; ++q)
            clipped = std::any_of(st.batch[q].begin(), st.batch[q].end(), outsideView);
        for (size_t q = first; q < end; ++q) drawQuad(st.batch[q], clipped);
    }
    st.batch.clear();
}

}  // namespace

// [SECTION] The frame buffer ------------------------------------------------------------------------------------------

void rasterResize(int width, int height) {
    flushBatch();
    State& st = state();
    st.width = std::max(1, width);
    st.height = std::max(1, height);
    const size_t n = static_cast<size_t>(st.width) * static_cast<size_t>(st.height);
    st.colour.assign(n * 4, 0);
    st.depth.assign(n, DEPTH_MAX);
}

const std::vector<uint8_t>& rasterPixels() {
    flushBatch();
    return state().colour;
}

void rasterPixelsTopDown(std::vector<uint8_t>& out) {
    flushBatch();
    const State& st = state();
    const size_t row = static_cast<size_t>(st.width) * 4;
    out.resize(st.colour.size());
    for (size_t y = 0; y < static_cast<size_t>(st.height); ++y)
        std::copy_n(&st.colour[(static_cast<size_t>(st.height) - 1 - y) * row], row, &out[y * row]);
}

int rasterWidth() { return state().width; }
int rasterHeight() { return state().height; }

// [SECTION] The OpenGL subset -------------------------------------------------------------------------------------------
// Every call that changes state first draws the quads sent before it (flushBatch), as the reference renderer ends its
// merged draw there: which quads share a draw decides how they are split into triangles.

void glViewport(GLint, GLint, GLsizei width, GLsizei height) { rasterResize(width, height); }

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    flushBatch();
    state().clear = {toByte(r), toByte(g), toByte(b), toByte(a)};
}

void glClear(GLbitfield mask) {
    flushBatch();
    State& st = state();
    if (mask & GL_COLOR_BUFFER_BIT)
        for (size_t i = 0; i < st.colour.size(); i += 4) std::copy(st.clear.begin(), st.clear.end(), &st.colour[i]);
    if (mask & GL_DEPTH_BUFFER_BIT) std::fill(st.depth.begin(), st.depth.end(), DEPTH_MAX);
}

void glMatrixMode(GLenum) { flushBatch(); }  // only the projection is ever set; the model-view stays the identity

void glLoadIdentity() {
    flushBatch();
    state().projection = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val, GLdouble far_val) {
    flushBatch();
    // In single precision, from the arguments as floats, as Mesa builds the matrix.
    const auto l = static_cast<float>(left), r = static_cast<float>(right);
    const auto b = static_cast<float>(bottom), t = static_cast<float>(top);
    const auto n = static_cast<float>(near_val), f = static_cast<float>(far_val);
    state().projection = {2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, -2.0f / (f - n), 0,
                          -(r + l) / (r - l), -(t + b) / (t - b), -(f + n) / (f - n), 1};
}

void glEnable(GLenum cap) {
    flushBatch();
    State& st = state();
    if (cap == GL_TEXTURE_2D) st.texturing = true;
    if (cap == GL_DEPTH_TEST) st.depth_test = true;
    if (cap == GL_ALPHA_TEST) st.alpha_test = true;
    if (cap == GL_BLEND) st.blending = true;
}

void glDisable(GLenum cap) {
    flushBatch();
    State& st = state();
    if (cap == GL_TEXTURE_2D) st.texturing = false;
    if (cap == GL_DEPTH_TEST) st.depth_test = false;
    if (cap == GL_ALPHA_TEST) st.alpha_test = false;
    if (cap == GL_BLEND) st.blending = false;
}

void glAlphaFunc(GLenum, GLclampf) { flushBatch(); }           // the drawing only ever asks for "greater than 0"
void glBlendFunc(GLenum, GLenum) { flushBatch(); }             // and for source alpha, one minus source alpha
void glTexParameteri(GLenum, GLenum, GLint) { flushBatch(); }  // nearest and clamped, always
void glFlush() { flushBatch(); }

void glGenTextures(GLsizei n, GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) names[i] = state().next_name++;
}

void glBindTexture(GLenum, GLuint name) {
    flushBatch();
    state().bound = name;
}

void glTexImage2D(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum, GLenum, const GLvoid* pixels) {
    flushBatch();
    Texture& tex = state().textures[state().bound];
    tex.width = width;
    tex.height = height;
    const auto* bytes = static_cast<const uint8_t*>(pixels);
    tex.rgba.assign(bytes, bytes + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
}

void glColor3ub(GLubyte r, GLubyte g, GLubyte b) {
    flushBatch();
    state().current = {r, g, b, 255};
}

void glTexCoord2d(GLdouble s, GLdouble t) {
    state().s = static_cast<float>(s);
    state().t = static_cast<float>(t);
}

void glBegin(GLenum) { state().quad.clear(); }

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    State& st = state();
    st.quad.push_back({x, y, z, st.s, st.t});
    if (st.quad.size() == 4) {
        st.batch.push_back({st.quad[0], st.quad[1], st.quad[2], st.quad[3]});
        st.quad.clear();
    }
}

void glVertex2f(GLfloat x, GLfloat y) { glVertex3f(x, y, 0.0f); }

void glEnd() { state().quad.clear(); }
