// raster.h: the software rasteriser's frame buffer. The game's own drawing (src/gl, built with soft_gl_names.h)
// paints into it through a small subset of OpenGL 1.x that follows OpenGL's rules and, step by step, the arithmetic
// of the renderer the game's own frame comes from (soft_gl.cpp says which), so the two frames are equal pixel for
// pixel: quads split into triangles, clipped to the view, corners snapped to 1/256 pixel, the top-left fill rule, the
// nearest texel at each pixel centre with clamped coordinates, the alpha test, a 24-bit depth test (less),
// source-alpha blending and the colour multiplying the texel. Only what the game's drawing uses: textured quads.
//
// No GL library and no game rule here: a pixel buffer, a depth buffer and the textures. One frame buffer per
// process (the drawing is a set of free functions, as GL's is).
#pragma once

#include <cstdint>
#include <vector>

// Makes the frame buffer `width` x `height` pixels with the viewport on all of it, keeps the textures.
void rasterResize(int width, int height);

// The pixels as red, green, blue, alpha, bottom row first, as glReadPixels and OSMesa give them.
const std::vector<uint8_t>& rasterPixels();

// The same pixels top row first, as a canvas takes them.
void rasterPixelsTopDown(std::vector<uint8_t>& out);

int rasterWidth();
int rasterHeight();

// The game's own drawing on this rasteriser (its sources built with soft_gl_names.h):
// loads the nine sprite sheets from sprites/ (as the game's loadSprites, ending the same way on a bad file);
void rasterLoadSprites();
// sizes the buffer to the game's window for the grid of `game` at the cell size of `config` and draws the game's
// frame of `game` into it (drawScene: it clamps the scores, as the game's frame does).
void rasterDrawFrame();
