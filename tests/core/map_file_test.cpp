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
        return fwtest::captureStdout([] { compileMap(); });
    }
    std::string row(int y) const { return game.rows.at(y); }

    fwtest::TempDir dir;
    const std::string path = dir.file("m.map");
};

TEST_F(MapFileTest, ReadsIntoTheGrid) {
    using namespace std::string_literals;
    struct Grid {
        std::string content;
        std::vector<std::string> rows;  // the grid is as wide as the rows
    };
    for (const Grid& g : std::vector<Grid>{
             {"# arena\n5, 3\nXX--X\n\n-----\nX--XX\n", {"XX--X", "-----", "X--XX"}},
             {"3, 2\nX-X\n-X-", {"X-X", "-X-"}},  // no final line end
             {"2,\t2 trailing words\nab\ncd\n", {"ab", "cd"}},
             // CRLF: the carriage return stays in a short row, and an empty CRLF line is skipped.
             {"3, 2\r\n\r\nX-\r\nXXX\r\n", {"X-\r", "XXX"}},
             // A short row keeps its line end and is filled with NUL bytes; a long row loses its surplus.
             {"4, 2\nX\nXXXXXXX\n", {"X\n\0\0"s, "XXXX"}},
             // Only the first character decides a skip: a leading space makes a row.
             {"2, 2\n X\n#c\nX \n", {" X", "X "}},
             {"3, 2\nX\0X\nXXX\n"s, {"X\0\0"s, "XXX"}},  // a NUL byte ends what is copied of a line
         }) {
        EXPECT_EQ(compile(g.content), "");
        EXPECT_EQ(game.width, g.rows[0].size());
        EXPECT_EQ(game.rows, g.rows) << g.content;
    }
}

TEST_F(MapFileTest, SurplusRowsAreReportedAndDropped) {
    config.debug_level = 2;
    EXPECT_EQ(compile("2, 2\nab\ncd\n# c\nef\ngh\n"),
              "Compiling map file " + path + "\nError compiling " + path + ", line 5\nExpected 2 valid rows, found 2\n"
              "Error compiling " + path + ", line 6\nExpected 2 valid rows, found 3\n");
    EXPECT_EQ(game.rows, (std::vector<std::string>{"ab", "cd"}));
}

TEST_F(MapFileTest, OverlongLineIsReadInPiecesThatCountAsRowsAndLines) {
    // 300 characters: a piece of 255 and one of 45, each a row; the line after them is line 4.
    EXPECT_EQ(compile("255, 2\n" + std::string(300, 'X') + "\nYY\n"),
              "Error compiling " + path + ", line 4\nExpected 2 valid rows, found 2\n");
    EXPECT_EQ(row(0), std::string(255, 'X'));
    EXPECT_EQ(row(1).substr(0, 46), std::string(45, 'X') + "\n");
}

struct Refusal {
    const char* name;
    std::string content;
    std::string detail;  // after "Error compiling <file>"
};

class MapFileRefusalDeathTest : public MapFileTest, public testing::WithParamInterface<Refusal> {};

TEST_P(MapFileRefusalDeathTest, ExitsWithSevenAfterTheDetail) {
    config.map_file = dir.write("bad.map", GetParam().content);
    EXPECT_RAISES(compileMap(), 7, "Error compiling " + config.map_file + GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MapFileRefusalDeathTest,
    testing::Values(Refusal{"BlankBeforeComma", "40 , 30\n", ", line 1\nInvalid grid width and height specification"},
                    Refusal{"NoCommaAfterSkippedLines", "# c\n\n40x30\n",
                            ", line 3\nInvalid grid width and height specification"},
                    Refusal{"RowFirst", "XX--\n", ", line 1\nInvalid grid width and height specification"},
                    Refusal{"RowMissing", "3, 3\nXXX\n\nXXX\n", "\nOnly 2 valid rows detected (expected 3)\n"},
                    Refusal{"Empty", "", "\nNo line gives the grid width and height\n"},
                    Refusal{"OnlySkippedLines", "# only a comment\n\r\n",
                            "\nNo line gives the grid width and height\n"},
                    Refusal{"OneColumn", "1, 5\nX\nX\nX\nX\nX\n",
                            ", line 1\nGrid of 1 x 5 cells is too small (at least 2 x 2)\n"},
                    Refusal{"NoRows", "\n5, 0\n", ", line 2\nGrid of 5 x 0 cells is too small (at least 2 x 2)\n"}),
    fwtest::caseName);

using MapFileDeathTest = MapFileTest;

TEST_F(MapFileDeathTest, MissingFilePrintsNothingAndExitsWithFour) {
    config.map_file = dir.file("absent.map");
    EXPECT_RAISES(compileMap(), 4, "");
}

}  // namespace
