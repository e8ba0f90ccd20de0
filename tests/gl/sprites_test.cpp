// sprites_test.cpp: loading the nine sprite bitmaps from sprites/ into textures, and refusing unusable ones.
#include "gl_test_support.h"

#include "core/utils.h"
#include "support/test_support.h"

#include <filesystem>

namespace {

using gltest::Offscreen;

// Runs in a temporary working directory holding sprites/ with the nine coded sprites as 32-bit bitmaps.
class SpriteFilesTest : public testing::Test {
protected:
    void SetUp() override {
        fwtest::resetGlobals();
        gltest::setMap({"...", "..."});
        std::filesystem::create_directories(dir_.file("sprites"));
        for (int slot = 0; slot < TEXTURE_COUNT; ++slot) writeSprite(slot, 32);
        old_cwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(old_cwd_); }

    void writeSprite(int slot, int bits) const {
        const gltest::SpriteSize size = gltest::spriteSize(slot);
        gltest::writeBmp(dir_.file(SPRITE_FILES[size_t(slot)]), size.width, size.height, gltest::codedSprite(slot),
                         bits);
    }

    fwtest::TempDir dir_;
    std::filesystem::path old_cwd_;
};

TEST_F(SpriteFilesTest, NineFreshTexturesInSlotOrder) {
    Offscreen view;
    const auto before = textures;
    loadSprites();
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) {
        for (int other = 0; other < slot; ++other) EXPECT_NE(textures[size_t(slot)], textures[size_t(other)]);
        EXPECT_EQ(std::count(before.begin(), before.end(), textures[size_t(slot)]), 0);
        glBindTexture(GL_TEXTURE_2D, textures[size_t(slot)]);
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(uint32_t(width), gltest::spriteSize(slot).width) << "slot " << slot;
    }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), textures[TEX_FONT]);

    // Slot 5 holds the bomb sprite, upright, its first third the first fuse frame.
    Bomb b{};
    b.x = 1.0f;
    glBindTexture(GL_TEXTURE_2D, textures[TEX_BOMB]);
    drawBomb(b);
    EXPECT_TRUE(view.showsCell(TEX_BOMB, 1.0f, 0.0f, 0.0, 1.0 / 3.0, 0.0, 1.0));
}

using SpriteFilesDeathTest = SpriteFilesTest;

TEST_F(SpriteFilesDeathTest, MissingSpriteEndsWithCode2) {
    std::filesystem::remove("sprites/bomb.bmp");
    EXPECT_RAISES(
        {
            Offscreen view;
            loadSprites();
        },
        EXIT_SPRITE_MISSING, "");
}

TEST_F(SpriteFilesDeathTest, SpriteOfOtherThan32BitsEndsWithCode5) {
    writeSprite(TEX_TEAM_A + 2, 24);  // the upload would read a third beyond the reader's buffer
    EXPECT_RAISES(
        {
            Offscreen view;
            loadSprites();
        },
        EXIT_SPRITE_INVALID, "Error reading sprites/teamC.bmp\nSprite has 24 bits per pixel, sprites need 32\n");
}

}  // namespace
