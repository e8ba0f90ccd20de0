// raster_frame.cpp: the game's frame on the rasteriser: the window's size, the view and drawScene, called under
// their rasteriser names (soft_gl_names.h is forced in front of this file too).
#include "gl/gl_utils.h"
#include "core/utils.h"
#include "raster/raster.h"

void rasterLoadSprites() { loadSprites(); }

void rasterDrawFrame() {
    const WindowSize size = windowSize(game.width, game.height, config.pixel_width, config.pixel_height);
    if (size.width != rasterWidth() || size.height != rasterHeight()) rasterResize(size.width, size.height);
    setupView(game.width, game.height);
    drawScene();
}
