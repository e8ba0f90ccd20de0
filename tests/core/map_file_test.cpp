// The map compiler: line reading rules, header scanning, row filling, surplus and missing rows, refusals.
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

namespace {

class MapFileTest : public testing::Test {
protected:
    void SetUp() override { fwtest::resetGlobals(); }

    // Compiles `content` as the map file and returns what was printed.
    std::string compile(const std::string& content) {
        config.map_file = path;
        dir.write("m.map", content);
        return fwtest::captureStdout(compileMap);
    }
    std::string row(int y) const { return game.rows.at(y); }

    fwtest::TempDir dir;
    const std::string path = dir.file("m.map");
};

struct Grid {
    const char* name;
    std::string content;
    uint16_t width;
    uint16_t height;
    std::vector<std::string> rows;
};

class MapFileReads : public MapFileTest, public testing::WithParamInterface<Grid> {};

TEST_P(MapFileReads, IntoTheGrid) {
    const Grid& g = GetParam();
    EXPECT_EQ(compile(g.content), "");
    EXPECT_EQ(game.width, g.width);
    EXPECT_EQ(game.height, g.height);
    ASSERT_EQ(game.rows.size(), g.rows.size());
    for (size_t y = 0; y < g.rows.size(); ++y) EXPECT_EQ(row(static_cast<int>(y)), g.rows[y]) << "row " << y;
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Files, MapFileReads,
    testing::Values(
        Grid{"Example", "# arena\n5, 3\nXX--X\n\n-----\nX--XX\n", 5, 3, {"XX--X", "-----", "X--XX"}},
        Grid{"NoFinalNewline", "3, 2\nX-X\n-X-", 3, 2, {"X-X", "-X-"}},
        Grid{"NoSpaceAfterComma", "2,2\nXX\nXX\n", 2, 2, {"XX", "XX"}},
        Grid{"TabAfterComma", "2,\t2 trailing words\nab\ncd\n", 2, 2, {"ab", "cd"}},
        // CRLF: the carriage return stays in a short row, and an empty CRLF line is skipped.
        Grid{"Crlf", "3, 2\r\n\r\nX-\r\nXXX\r\n", 3, 2, {"X-\r", "XXX"}},
        // A short row keeps its line end and is filled with NUL bytes; a long row loses its surplus.
        Grid{"ShortAndLongRows", "4, 2\nX\nXXXXXXX\n", 4, 2, {"X\n\0\0"s, "XXXX"}},
        // Only the first character decides a skip: a leading space makes a row.
        Grid{"LeadingSpaceIsARow", "2, 2\n X\n#c\nX \n", 2, 2, {" X", "X "}},
        // A NUL byte ends what is copied of a line.
        Grid{"EmbeddedNul", "3, 2\nX\0X\nXXX\n"s, 3, 2, {"X\0\0"s, "XXX"}}),
    [](const testing::TestParamInfo<Grid>& info) { return std::string(info.param.name); });

TEST_F(MapFileTest, SurplusRowsAreReportedAndDropped) {
    EXPECT_EQ(compile("2, 2\nab\ncd\n# c\nef\ngh\n"),
              "Error compiling " + path + ", line 5\nExpected 2 valid rows, found 2\n"
              "Error compiling " + path + ", line 6\nExpected 2 valid rows, found 3\n");
    EXPECT_EQ(row(0), "ab");
    EXPECT_EQ(row(1), "cd");
}

TEST_F(MapFileTest, OverlongLineIsReadInPiecesThatCountAsRowsAndLines) {
    // 300 characters: a piece of 255 and one of 45, each a row; the line after them is line 4.
    const std::string long_line(300, 'X');
    EXPECT_EQ(compile("255, 2\n" + long_line + "\nYY\n"),
              "Error compiling " + path + ", line 4\nExpected 2 valid rows, found 2\n");
    EXPECT_EQ(row(0), std::string(255, 'X'));
    EXPECT_EQ(row(1).substr(0, 46), std::string(45, 'X') + "\n");
}

TEST_F(MapFileTest, DebugLevelTwoAnnouncesTheFile) {
    config.debug_level = 2;
    EXPECT_EQ(compile("2, 2\nab\ncd\n"), "Compiling map file " + path + "\n");
}

TEST_F(MapFileTest, RecompilingReplacesTheGrid) {
    compile("3, 3\nXXX\nXXX\nXXX\n");
    compile("2, 2\n--\n--\n");
    EXPECT_EQ(game.rows.size(), 2u);
    EXPECT_EQ(row(1), "--");
}

using MapFileDeathTest = MapFileTest;

TEST_F(MapFileDeathTest, RefusedFiles) {
    struct Refusal {
        std::string content;
        std::string detail;  // after "Error compiling <file>"
    };
    const std::vector<Refusal> refusals = {
        {"40 , 30\n", ", line 1\nInvalid grid width and height specification"},
        {"# c\n\n40x30\n", ", line 3\nInvalid grid width and height specification"},
        {"XX--\n", ", line 1\nInvalid grid width and height specification"},
        {"3, 3\nXXX\n\nXXX\n", "\nOnly 2 valid rows detected (expected 3)\n"},
        {"", "\nNo line gives the grid width and height\n"},
        {"# only a comment\n\r\n", "\nNo line gives the grid width and height\n"},
        {"1, 5\nX\nX\nX\nX\nX\n", ", line 1\nGrid of 1 x 5 cells is too small (at least 2 x 2)\n"},
        {"\n5, 0\n", ", line 2\nGrid of 5 x 0 cells is too small (at least 2 x 2)\n"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.content);
        const std::string path = dir.write("bad.map", r.content);
        config.map_file = path;
        EXPECT_RAISES(compileMap(), 7, "Error compiling " + path + r.detail);
    }
}

TEST_F(MapFileDeathTest, MissingFilePrintsNothingAndExitsWithFour) {
    config.map_file = dir.file("absent.map");
    EXPECT_RAISES(compileMap(), 4, "");
}

}  // namespace
