// The sprite generator end to end: it writes the nine game sheets and the viewer's font as 32-bit bitmaps of the
// sizes the layouts need, every run writes the same bytes, and the committed sprites are the ones it writes today.
#include "core/utils.h"
#include "gl/bmp_utils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Sheet {
    const char* file;
    uint32_t width;
    uint32_t height;
};

constexpr Sheet SHEETS[] = {
    {"background.bmp", 80, 20}, {"teamA.bmp", 358, 26},     {"teamB.bmp", 358, 26},
    {"teamC.bmp", 358, 26},     {"teamD.bmp", 358, 26},     {"bomb.bmp", 60, 20},
    {"explosion.bmp", 200, 80}, {"scoreboard.bmp", 208, 80}, {"font.bmp", 260, 20},
    {"viewer_font.bmp", 96, 72},  // the viewer's, not the game's
};

TEST(SpriteGenerator, WritesTheSheetsAsCommitted) {
    std::string pattern = (fs::temp_directory_path() / "fusewick-sprites-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path out = pattern;
    const std::string command = std::string("\"") + SPRITE_GENERATOR + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    for (const Sheet& sheet : SHEETS) {
        const fs::path path = out / sheet.file;
        uint32_t width = 0;
        uint32_t height = 0;
        const std::vector<uint8_t> pixels = bmpReadSprite(path.c_str(), &width, &height);
        EXPECT_EQ(width, sheet.width) << sheet.file;
        EXPECT_EQ(height, sheet.height) << sheet.file;
        EXPECT_EQ(pixels.size(), size_t{sheet.width} * sheet.height * 4) << sheet.file;
        EXPECT_EQ(contents(path), contents(fs::path(FUSEWICK_SOURCE_DIR) / "sprites" / sheet.file))
            << sheet.file << " differs from the committed sprite: run the generator into sprites/ and commit";
    }
    fs::remove_all(out);
}

}  // namespace
