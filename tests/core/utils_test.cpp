// Command line, help text, configuration print and the error report.
#include "core/utils.h"
#include "support/test_support.h"

#include <new>
#include <tuple>
#include <vector>

namespace {

using fwtest::errorReport;

void parse(std::vector<const char*> args) {
    args.insert(args.begin(), "fusewick");
    parseArgs(static_cast<int>(args.size()), args.data());
}

class ParseArgsTest : public testing::Test {
protected:
    void SetUp() override { fwtest::resetGlobals(); }
};

// Each accepted command line and the configuration it gives: debug, width, height, map, then team files 1 to 4.
TEST_F(ParseArgsTest, FillsConfig) {
    const char* const D = "default.fpl";
    struct Parsed {
        std::vector<const char*> args;
        std::tuple<int, int, int, std::string, std::string, std::string, std::string, std::string> config;
    };
    for (const Parsed& c : std::vector<Parsed>{
             {{"red.fpl"}, {0, 40, 40, "default.map", "red.fpl", D, D, D}},
             {{"a", "b", "c", "d"}, {0, 40, 40, "default.map", "a", "b", "c", "d"}},
             // The option reads 3 as its value, and 3 is also the first of four team files.
             {{"-D", "3", "a", "b", "c"}, {3, 40, 40, "default.map", "3", "a", "b", "c"}},
             // The map value is also the single team file.
             {{"-M", "maze.map"}, {0, 40, 40, "maze.map", "maze.map", D, D, D}},
             {{"-W", "32", "-H", "24", "-M", "maze.map", "red.fpl"}, {0, 32, 24, "maze.map", "red.fpl", D, D, D}},
             {{"-W", "abc", "-D", "0x10", "r"}, {0, 40, 40, "default.map", "r", D, D, D}},  // unparsable: default
             {{"--mapfile", "m.map", "--widthX", "7", "--height", "9", "--debug", "-2", "r"},  // leading characters
              {-2, 7, 9, "m.map", "r", D, D, D}},
             {{"-W", "-1", "-H", "70000", "r"}, {0, 65535, 4464, "default.map", "r", D, D, D}},  // %hu wraps
             {{"-D", "1", "-D", "7", "r"}, {7, 40, 40, "default.map", "r", D, D, D}},           // last one wins
         }) {
        fwtest::resetGlobals();
        parse(c.args);
        EXPECT_EQ(std::make_tuple(config.debug_level, int{config.pixel_width}, int{config.pixel_height},
                                  config.map_file, config.team_file[0], config.team_file[1], config.team_file[2],
                                  config.team_file[3]),
                  c.config)
            << c.args[0];
    }
}

TEST_F(ParseArgsTest, ReadsLongArgumentVectorsInFull) {
    std::vector<const char*> args;
    for (int i = 0; i < 100; ++i) {
        args.push_back("-D");
        args.push_back(i == 99 ? "42" : "1");
    }
    args.push_back("last.fpl");
    parse(args);  // 202 entries
    EXPECT_EQ(config.debug_level, 42);
    EXPECT_EQ(config.team_file[0], "last.fpl");
}

using ParseArgsDeathTest = ParseArgsTest;

TEST_F(ParseArgsDeathTest, BadCommandLinesGiveTheUsageReport) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"a.fpl", "b.fpl"},
        {"a.fpl", "b.fpl", "c.fpl"},
        {"-D", "3", "a.fpl", "b.fpl"},
        {"-x", "1", "red.fpl"},
        {"-WW", "1", "red.fpl"},
        {"red.fpl", "-D"},
        {"--wide", "1", "red.fpl"},
        {"-", "1", "red.fpl"},
        {"x", "-D", "1", "red.fpl"},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
        EXPECT_RAISES(parse(args), 1, "");
    }
}

TEST_F(ParseArgsDeathTest, HelpWinsWhenLast) {
    const std::string help =
        "Usage: fusewick [options] <file1> [<files> ...]\n\n"
        "Main options:\n"
        "-W <value>, --width <value>        Per-grid pixel width (default is 40)\n"
        "-H <value>, --height <value>       Per-grid pixel height (default is 40)\n"
        "-D <value>, --debug <value>        Debug level (default is 0)\n"
        "-M <file>, --map <file>            Map file (default is default.map)\n"
        "-h, --help                         Print this message\n"
        "<file1> <file2> <file3> <file4>    Team files (default is default.fpl)\n";
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"-h"}, {"--help"}, {"-hx"}, {"--helpme"}, {"-x", "y", "z", "--help"}, {"-h", "red.fpl"}}) {
        SCOPED_TRACE(args[0]);
        EXPECT_EXIT_OUTPUT(parse(args), 0, help, "");
    }
}

TEST_F(ParseArgsTest, PrintConfigNumbersTeamsFromZero) {
    parse({"-D", "6", "-W", "32", "-M", "m.map", "a", "b", "c", "d"});
    EXPECT_EQ(fwtest::captureStdout(printConfig),
              "\nCurrent configuration information:\n"
              "Debug level:           6\n"
              "Per-grid pixel width:  32\n"
              "Per-grid pixel height: 40\n"
              "Team 0 file name:      a\n"
              "Team 1 file name:      b\n"
              "Team 2 file name:      c\n"
              "Team 3 file name:      d\n"
              "Map file name:         m.map\n"
              "\n");
}

using RaiseErrorDeathTest = ParseArgsTest;

TEST_F(RaiseErrorDeathTest, WritesTheReportAndExitsWithTheCode) {
    struct Case {
        int code;
        const char* message;
    };
    for (const Case c : {Case{1, "Usage: fusewick [-W <n>] [-H <n>] [-D <n>] [-M <file>] <file1> [<file2> <file3> "
                                 "<file4>]\n"},
                         Case{2, "Error: .bmp texture file not found\n"}, Case{3, "Error: .fpl player file not found\n"},
                         Case{4, "Error: .map map file not found\n"}, Case{5, "Error: .bmp texture file is invalid\n"},
                         Case{6, "Error: .fpl player file is invalid\n"}, Case{7, "Error: .map map file is invalid\n"},
                         Case{50, "Error: application ran out of memory\n"}, Case{8, "Error: undefined error\n"}}) {
        EXPECT_EXIT_OUTPUT(raise_error(c.code), c.code, "",
                           std::string("\n") + c.message + "fusewick exited with error code " +
                               std::to_string(c.code) + "\n");
    }
    // A negative code is an undefined error; the process status keeps its low byte.
    EXPECT_EXIT_OUTPUT(raise_error(-1), 255, "", "\nError: undefined error\nfusewick exited with error code -1\n");
}

TEST_F(RaiseErrorDeathTest, AllocationFailureExitsWithFifty) {
    // The handler itself: sanitizer runtimes end a failed allocation before any handler runs.
    EXPECT_RAISES(
        {
            installOutOfMemoryHandler();
            std::get_new_handler()();
        },
        50, "");
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_RAISES(
        {
            installOutOfMemoryHandler();
            std::vector<char> huge(static_cast<size_t>(1) << 62);
        },
        50, "");
#endif
}

}  // namespace
