// The BMP reader on bitmaps built byte by byte in a temporary directory: conversions, padding, longer headers,
// row order, the header summary and the refusals of damaged files with their exact detail lines.
#include "core/utils.h"
#include "gl/bmp_utils.h"
#include "support/test_support.h"

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put(std::string& s, uint32_t v, int size) {
    for (int i = 0; i < size; ++i) s += static_cast<char>(v >> (8 * i) & 0xff);
}

// A bitmap file: the headers, then `between` (colour table, masks or nothing), then `pixels` exactly as stored.
struct BmpFile {
    int32_t width = 1, height = 1;
    uint16_t bits = 32;
    uint32_t info_size = 40;
    std::string between;
    Bytes pixels;
    uint32_t data_offset = 0;  // 0: right after the headers and `between`

    std::string build() const {
        const uint32_t headers = 14 + (info_size < 40 ? 40 : info_size);
        std::string s = "BM";
        put(s, static_cast<uint32_t>(headers + between.size() + pixels.size()), 4);
        put(s, 0, 4);
        put(s, data_offset != 0 ? data_offset : static_cast<uint32_t>(headers + between.size()), 4);
        for (uint32_t v : {info_size, static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) put(s, v, 4);
        put(s, 1u | static_cast<uint32_t>(bits) << 16, 4);  // one plane, then the depth
        for (uint32_t v : {0u, static_cast<uint32_t>(pixels.size()), 2835u, 2835u, 0u, 0u}) put(s, v, 4);
        if (info_size > 40 && info_size <= 4096) s += std::string(info_size - 40, '\x5a');  // huge ones stay absent
        return s + between + std::string(pixels.begin(), pixels.end());
    }
};

struct Conversion {
    const char* name;
    BmpFile file;
    Bytes expected;  // the buffer
};

class BmpConversion : public testing::TestWithParam<Conversion> {};

// Read at debug level 3, which prints nothing; 32-bit files read the same through the sprite reader.
TEST_P(BmpConversion, YieldsTheBufferBytes) {
    const Conversion& c = GetParam();
    fwtest::resetGlobals();
    config.debug_level = 3;
    fwtest::TempDir dir;
    const std::string path = dir.write("picture.bmp", c.file.build());
    uint32_t w = 0, h = 0;
    uint16_t bits = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(fwtest::captureStdout([&] { EXPECT_EQ(bmpRead(path.c_str(), &w, &h, &bits), c.expected); }), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(w, static_cast<uint32_t>(c.file.width));
    EXPECT_EQ(h, static_cast<uint32_t>(c.file.height < 0 ? -c.file.height : c.file.height));
    EXPECT_EQ(bits, c.file.bits);
    if (bits == 32) { EXPECT_EQ(bmpReadSprite(path.c_str(), &w, &h), c.expected); }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpConversion,
    testing::Values(
        Conversion{"Bgra32", {2, 1, 32, 40, "", {1, 2, 3, 4, 5, 6, 7, 8}}, {3, 2, 1, 4, 7, 6, 5, 8}},
        // S = 9: three padding bytes after the first row, none kept. Rows stay in file order (bottom row first).
        Conversion{"Bgr24PaddedRows", {3, 2, 24, 40, "", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xee, 0xee, 0xee, 11, 12, 13, 14,
                                                          15, 16, 17, 18, 19}},
                   {3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17}},
        Conversion{"Word16SwapsBytes", {3, 1, 16, 40, "", {1, 2, 3, 4, 5, 6}}, {2, 1, 4, 3, 6, 5}},
        Conversion{"Index8Copied", {5, 2, 8, 40, "", {1, 2, 3, 4, 5, 0xee, 0xee, 0xee, 6, 7, 8, 9, 10}},
                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        // The 84 bytes of a 124-byte header are skipped; the pixels follow them, even with a data offset inside.
        Conversion{"LongInfoHeader", {1, 1, 32, 124, "", {10, 20, 30, 40}, 1}, {30, 20, 10, 40}},
        // A colour table between the headers and the pixels is skipped by the data offset, not read as pixels.
        Conversion{"ColourTableSkipped", {2, 1, 8, 40, std::string(8, '\x77'), {9, 8}}, {9, 8}},
        // A top-down file is returned bottom row first like any other.
        Conversion{"TopDownRowsReversed", {1, -3, 32, 40, "", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                   {11, 10, 9, 12, 7, 6, 5, 8, 3, 2, 1, 4}}), fwtest::caseName);

struct Refusal {
    const char* name;
    std::string content;  // of the file; "-": no file at all, which ends with code 2 and no detail line
    std::string reason;   // the detail line after "Error reading <path>"; the code is 5
    bool sprite = false;  // read through the sprite reader
};

class BmpRefusalDeathTest : public testing::TestWithParam<Refusal> {};

TEST_P(BmpRefusalDeathTest, EndsWithTheDetailLine) {
    const Refusal& c = GetParam();
    fwtest::resetGlobals();
    fwtest::TempDir dir;
    const bool absent = c.content == "-";
    const std::string path = absent ? dir.file("absent.bmp") : dir.write("bad.bmp", c.content);
    const std::string out = absent ? "" : "Error reading " + path + "\n" + c.reason;
    uint32_t w = 0, h = 0;
    if (c.sprite) EXPECT_RAISES(bmpReadSprite(path.c_str(), &w, &h), 5, out);
    else EXPECT_RAISES(bmpRead(path.c_str(), &w, &h), absent ? 2 : 5, out);
}

// A file with four pixel bytes, `missing` bytes cut off its end.
std::string file(int32_t w, int32_t h, uint16_t bits, uint32_t info = 40, uint32_t offset = 0, size_t missing = 0) {
    const std::string s = BmpFile{w, h, bits, info, "", {1, 2, 3, 4}, offset}.build();
    return s.substr(0, s.size() - missing);
}

const std::string NEED = "The file has 58 bytes, its headers and pixel rows need ";

INSTANTIATE_TEST_SUITE_P(
    BadFiles, BmpRefusalDeathTest,
    testing::Values(
        Refusal{"Missing", "-", ""},
        Refusal{"ShortHeaders", file(1, 1, 32, 40, 0, 5), "The file ends inside its headers\n"},
        Refusal{"CoreHeader", file(1, 1, 32, 12), "Info header of 12 bytes is too short (40 at least)\n"},
        Refusal{"OneBit", file(8, 1, 1), "Color depth of 1 bits per pixel is not supported (8, 16, 24 or 32)\n"},
        Refusal{"ZeroWidth", file(0, 1, 32), "Picture size 0 x 1 is out of range (1 to 16384 pixels a side)\n"},
        Refusal{"TooTallTopDown", file(1, -16385, 32),
                "Picture size 1 x -16385 is out of range (1 to 16384 pixels a side)\n"},
        // A gigabyte of pixels or of header claimed by a 58-byte file is refused before anything is allocated.
        Refusal{"HugeSize", file(16384, 16384, 32), NEED + "1073741878\n"},
        Refusal{"HugeExtraHeader", file(1, 1, 32, 0xfffffff0u), NEED + "4294967298\n"},
        Refusal{"LastPixelByteMissing", file(1, 2, 8), NEED + "59\n"},
        Refusal{"DataOffsetBeyondEnd", file(1, 1, 32, 40, 1000), NEED + "1004\n"},
        Refusal{"SpriteOf24Bits", file(1, 1, 24), "Sprite has 24 bits per pixel, sprites need 32\n", true}),
    fwtest::caseName);

// A damaged header is still summarised before it is refused, so the debug output shows what was read.
TEST(BmpSummaryDeathTest, ComesBeforeTheRefusalAboveDebugLevelThree) {
    fwtest::resetGlobals();
    config.debug_level = 4;
    fwtest::TempDir dir;
    const std::string path = dir.write("bad.bmp", file(2, 3, 4));
    uint32_t w = 0, h = 0;
    EXPECT_EXIT_OUTPUT(bmpRead(path.c_str(), &w, &h), 5,
                       "Printing bmp file information:\n   Magic number is 4d42\n   File size is 58\n"
                       "   Header size is 40\n   Color depth is 4\n   Width = 2, Height = 3\n"
                       "   Number of pixel bytes = 4\nError reading " +
                           path + "\nColor depth of 4 bits per pixel is not supported (8, 16, 24 or 32)\n",
                       "Reading bmp header information from " + path + "\n" + fwtest::errorReport(5));
}

}  // namespace
