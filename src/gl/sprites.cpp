// sprites.cpp: the table of sprite textures and their loading from the nine bitmaps under sprites/.
//
// Needs only the GL headers and the BMP reader; no toolkit. The textures live for the whole process: a restart keeps
// them.
#include "gl/bmp_utils.h"
#include "gl/gl_utils.h"

#include "core/utils.h"

#include <cstddef>

std::array<GLuint, TEXTURE_COUNT> textures{};

const std::array<const char*, TEXTURE_COUNT> SPRITE_FILES = {
    "sprites/background.bmp", "sprites/teamA.bmp", "sprites/teamB.bmp",
    "sprites/teamC.bmp",      "sprites/teamD.bmp", "sprites/bomb.bmp",
    "sprites/explosion.bmp",  "sprites/scoreboard.bmp", "sprites/font.bmp",
};

void uploadSprite(GLuint name, uint32_t width, uint32_t height, const uint8_t* rgba) {
    glBindTexture(GL_TEXTURE_2D, name);
    // Nearest texels: a sprite drawn larger than its picture stays sharp, and no mipmaps are needed.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba);
}

namespace {

// The upload takes four bytes per pixel; a buffer of any other size would be read past its end.
bool holdsRgbaPixels(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height) {
    const uint64_t expected = static_cast<uint64_t>(width) * height * 4u;
    return pixels.size() == expected;
}

}  // namespace

void loadSprites() {
    glGenTextures(TEXTURE_COUNT, textures.data());
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) {
        uint32_t width = 0;
        uint32_t height = 0;
        const std::vector<uint8_t> pixels = bmpReadSprite(SPRITE_FILES[static_cast<size_t>(slot)], &width, &height);
        if (!holdsRgbaPixels(pixels, width, height)) raise_error(EXIT_SPRITE_INVALID);
        uploadSprite(textures[static_cast<size_t>(slot)], width, height, pixels.data());
    }
}
