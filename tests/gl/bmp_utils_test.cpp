// The BMP reader on bitmaps built byte by byte in a temporary directory: conversions, padding, longer headers,
// row order, the header summary and every refusal with its exact detail lines.
#include "core/utils.h"
#include "gl/bmp_utils.h"
#include "support/test_support.h"

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>(v >> 8 & 0xff);
}

void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

std::string bytes(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A bitmap file: the headers, then `between` (colour table, masks or nothing), then `pixels` exactly as stored.
struct BmpFile {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 32;
    uint32_t info_size = 40;
    std::string between;
    std::string pixels;
    uint32_t data_offset = 0;  // 0: right after the headers and `between`

    std::string build() const {
        const uint32_t headers = 14 + (info_size < 40 ? 40 : info_size);
        std::string s = "BM";
        put32(s, static_cast<uint32_t>(headers + between.size() + pixels.size()));
        put32(s, 0);
        put32(s, data_offset != 0 ? data_offset : static_cast<uint32_t>(headers + between.size()));
        put32(s, info_size);
        put32(s, static_cast<uint32_t>(width));
        put32(s, static_cast<uint32_t>(height));
        put16(s, 1);
        put16(s, bits);
        put32(s, 0);
        put32(s, static_cast<uint32_t>(pixels.size()));
        put32(s, 2835);
        put32(s, 2835);
        put32(s, 0);
        put32(s, 0);
        if (info_size > 40 && info_size <= 4096) s += std::string(info_size - 40, '\x5a');  // huge ones stay absent
        return s + between + pixels;
    }
};

class BmpReadTest : public testing::Test {
protected:
    void SetUp() override { fwtest::resetGlobals(); }

    std::string write(const BmpFile& bmp) { return dir_.write("picture.bmp", bmp.build()); }

    fwtest::TempDir dir_;
};

// [SECTION] Conversions and padding

struct Conversion {
    const char* name;
    BmpFile file;
    Bytes expected;
};

void PrintTo(const Conversion& c, std::ostream* os) { *os << c.name; }

class BmpConversion : public BmpReadTest, public testing::WithParamInterface<Conversion> {};

TEST_P(BmpConversion, YieldsTheBufferBytes) {
    const Conversion& c = GetParam();
    uint32_t w = 0;
    uint32_t h = 0;
    uint16_t bits = 0;
    EXPECT_EQ(bmpRead(write(c.file).c_str(), &w, &h, &bits), c.expected);
    EXPECT_EQ(w, static_cast<uint32_t>(c.file.width));
    EXPECT_EQ(h, static_cast<uint32_t>(c.file.height < 0 ? -c.file.height : c.file.height));
    EXPECT_EQ(bits, c.file.bits);
}

Bytes sequence(int from, int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) b.push_back(static_cast<uint8_t>(from + i));
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpConversion,
    testing::Values(
        Conversion{"Bgra32", {2, 1, 32, 40, "", bytes({1, 2, 3, 4, 5, 6, 7, 8})}, {3, 2, 1, 4, 7, 6, 5, 8}},
        // S = 9: three padding bytes after each row, none kept.
        Conversion{"Bgr24PaddedRows",
                   {3, 2, 24, 40, "", bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0xee, 0xee, 0xee, 11, 12, 13, 14, 15, 16, 17, 18,
                                             19, 0xee, 0xee, 0xee})},
                   {3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17}},
        // S = 12: no padding.
        Conversion{"Bgr24UnpaddedRows",
                   {4, 2, 24, 40, "", bytes(sequence(1, 24))},
                   {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16, 21, 20, 19, 24, 23, 22}},
        Conversion{"Word16SwapsBytes",
                   {3, 1, 16, 40, "", bytes({1, 2, 3, 4, 5, 6, 0xee, 0xee})},
                   {2, 1, 4, 3, 6, 5}},
        Conversion{"Index8Copied",
                   {5, 2, 8, 40, "", bytes({1, 2, 3, 4, 5, 0xee, 0xee, 0xee, 6, 7, 8, 9, 10})},
                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        // The 84 bytes of a 124-byte header are skipped; the pixels follow them.
        Conversion{"LongInfoHeader", {1, 1, 32, 124, "", bytes({10, 20, 30, 40})}, {30, 20, 10, 40}},
        // A colour table between the headers and the pixels is skipped by the data offset, not read as pixels.
        Conversion{"ColourTableSkipped",
                   {2, 1, 8, 40, std::string(8, '\x77'), bytes({9, 8, 0xee, 0xee})},
                   {9, 8}},
        // A top-down file is returned bottom row first like any other.
        Conversion{"TopDownRowsReversed",
                   {1, -3, 32, 40, "", bytes(sequence(1, 12))},
                   {11, 10, 9, 12, 7, 6, 5, 8, 3, 2, 1, 4}}),
    [](const testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

TEST_F(BmpReadTest, ThirtyTwoBitRowsKeepFileOrderBottomRowFirst) {
    BmpFile bmp{16, 2, 32, 40, "", ""};
    for (int i = 0; i < 128; ++i) bmp.pixels += static_cast<char>(i < 64 ? 1 : 2);  // bottom row stored first
    uint32_t w = 0;
    uint32_t h = 0;
    const Bytes pixels = bmpRead(write(bmp).c_str(), &w, &h);
    ASSERT_EQ(pixels.size(), 128u);
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 64), Bytes(64, 1));
    EXPECT_EQ(Bytes(pixels.begin() + 64, pixels.end()), Bytes(64, 2));
}

TEST_F(BmpReadTest, SpriteReaderTakesThirtyTwoBits) {
    uint32_t w = 0;
    uint32_t h = 0;
    EXPECT_EQ(bmpReadSprite(write({1, 1, 32, 40, "", bytes({1, 2, 3, 255})}).c_str(), &w, &h), Bytes({3, 2, 1, 255}));
}

// [SECTION] Header summary

TEST_F(BmpReadTest, SummaryAboveDebugLevelThree) {
    const std::string path = write({2, 3, 32, 40, "", std::string(24, '\0')});
    uint32_t w = 0;
    uint32_t h = 0;
    for (int level : {3, 4}) {
        config.debug_level = level;
        testing::internal::CaptureStderr();
        const std::string out = fwtest::captureStdout([&] { bmpRead(path.c_str(), &w, &h); });
        const std::string err = testing::internal::GetCapturedStderr();
        if (level == 3) {
            EXPECT_EQ(out, "");
            EXPECT_EQ(err, "");
        } else {
            EXPECT_EQ(err, "Reading bmp header information from " + path + "\n");
            EXPECT_EQ(out,
                      "Printing bmp file information:\n"
                      "   Magic number is 4d42\n"
                      "   File size is 78\n"
                      "   Header size is 40\n"
                      "   Color depth is 32\n"
                      "   Width = 2, Height = 3\n"
                      "   Number of pixel bytes = 24\n");
        }
    }
}

// [SECTION] Refusals

using BmpReadDeathTest = BmpReadTest;

struct Refusal {
    const char* name;
    std::string content;
    const char* reason;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class BmpRefusalDeathTest : public BmpReadTest, public testing::WithParamInterface<Refusal> {};

TEST_P(BmpRefusalDeathTest, EndsWithInvalidTexture) {
    const std::string path = dir_.write("bad.bmp", GetParam().content);
    uint32_t w = 0;
    uint32_t h = 0;
    EXPECT_RAISES(bmpRead(path.c_str(), &w, &h), 5, "Error reading " + path + "\n" + GetParam().reason);
}

std::string truncated(const BmpFile& f, size_t missing) {
    std::string s = f.build();
    return s.substr(0, s.size() - missing);
}

const std::string ONE_PIXEL = bytes({1, 2, 3, 4});

INSTANTIATE_TEST_SUITE_P(
    BadFiles, BmpRefusalDeathTest,
    testing::Values(
        Refusal{"Empty", "", "The file ends inside its headers\n"},
        Refusal{"ShortHeaders", truncated({1, 1, 32, 40, "", ONE_PIXEL}, 5), "The file ends inside its headers\n"},
        Refusal{"CoreHeader", BmpFile{1, 1, 32, 12, "", ONE_PIXEL}.build(),
                "Info header of 12 bytes is too short (40 at least)\n"},
        Refusal{"OneBit", BmpFile{8, 1, 1, 40, "", ONE_PIXEL}.build(),
                "Color depth of 1 bits per pixel is not supported (8, 16, 24 or 32)\n"},
        Refusal{"FourBits", BmpFile{8, 1, 4, 40, "", ONE_PIXEL}.build(),
                "Color depth of 4 bits per pixel is not supported (8, 16, 24 or 32)\n"},
        Refusal{"TwelveBits", BmpFile{1, 1, 12, 40, "", ONE_PIXEL}.build(),
                "Color depth of 12 bits per pixel is not supported (8, 16, 24 or 32)\n"},
        Refusal{"ZeroWidth", BmpFile{0, 1, 32, 40, "", ONE_PIXEL}.build(),
                "Picture size 0 x 1 is out of range (1 to 16384 pixels a side)\n"},
        Refusal{"NegativeWidth", BmpFile{-1, 1, 32, 40, "", ONE_PIXEL}.build(),
                "Picture size -1 x 1 is out of range (1 to 16384 pixels a side)\n"},
        Refusal{"TooTall", BmpFile{1, 16385, 32, 40, "", ONE_PIXEL}.build(),
                "Picture size 1 x 16385 is out of range (1 to 16384 pixels a side)\n"},
        Refusal{"TooTallTopDown", BmpFile{1, -16385, 32, 40, "", ONE_PIXEL}.build(),
                "Picture size 1 x -16385 is out of range (1 to 16384 pixels a side)\n"},
        // A gigabyte of pixels claimed by a 58-byte file is refused before anything is allocated.
        Refusal{"HugeOverflowingSize", BmpFile{16384, 16384, 32, 40, "", ONE_PIXEL}.build(),
                "The file has 58 bytes, its headers and pixel rows need 1073741878\n"},
        Refusal{"HugeExtraHeader", BmpFile{1, 1, 32, 0xfffffff0u, "", ONE_PIXEL}.build().substr(0, 58),
                "The file has 58 bytes, its headers and pixel rows need 4294967298\n"},
        Refusal{"LastPixelByteMissing", truncated({1, 2, 24, 40, "", bytes({1, 2, 3, 0, 4, 5, 6})}, 1),
                "The file has 60 bytes, its headers and pixel rows need 61\n"},
        Refusal{"DataOffsetBeyondEnd", BmpFile{1, 1, 32, 40, "", ONE_PIXEL, 1000}.build(),
                "The file has 58 bytes, its headers and pixel rows need 1004\n"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(BmpReadDeathTest, MissingFileIsNotFound) {
    uint32_t w = 0;
    uint32_t h = 0;
    EXPECT_RAISES(bmpRead(dir_.file("absent.bmp").c_str(), &w, &h), 2, "");
}

TEST_F(BmpReadDeathTest, SpriteReaderRefusesOtherDepths) {
    const std::string path = write({1, 1, 24, 40, "", bytes({1, 2, 3, 0})});
    uint32_t w = 0;
    uint32_t h = 0;
    EXPECT_RAISES(bmpReadSprite(path.c_str(), &w, &h), 5,
                  "Error reading " + path + "\nSprite has 24 bits per pixel, sprites need 32\n");
}

// A damaged header is still summarised before it is refused, so the debug output shows what was read.
TEST_F(BmpReadDeathTest, SummaryComesBeforeTheRefusal) {
    config.debug_level = 4;
    const std::string path = write({1, 1, 4, 40, "", ONE_PIXEL});
    uint32_t w = 0;
    uint32_t h = 0;
    EXPECT_EXIT_OUTPUT(bmpRead(path.c_str(), &w, &h), 5,
                       "Printing bmp file information:\n   Magic number is 4d42\n   File size is 58\n"
                       "   Header size is 40\n   Color depth is 4\n   Width = 1, Height = 1\n"
                       "   Number of pixel bytes = 4\nError reading " +
                           path + "\nColor depth of 4 bits per pixel is not supported (8, 16, 24 or 32)\n",
                       "Reading bmp header information from " + path + "\n" + fwtest::errorReport(5));
}

}  // namespace
