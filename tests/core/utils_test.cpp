// Command line, help text and the error report. The configuration print is checked where the programs start up.
#include "core/utils.h"
#include "support/test_support.h"

#include <new>
#include <tuple>
#include <vector>

namespace {

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

struct CommandLine {
    const char* name;
    std::vector<const char*> args;
};

class BadCommandLineDeathTest : public ParseArgsTest, public testing::WithParamInterface<CommandLine> {};

TEST_P(BadCommandLineDeathTest, GivesTheUsageReport) { EXPECT_RAISES(parse(GetParam().args), 1, ""); }

INSTANTIATE_TEST_SUITE_P(Lines, BadCommandLineDeathTest,
                         testing::Values(CommandLine{"NoArguments", {}},
                                         CommandLine{"TwoTeamFiles", {"a.fpl", "b.fpl"}},
                                         CommandLine{"ThreeTeamFiles", {"a.fpl", "b.fpl", "c.fpl"}},
                                         CommandLine{"OptionBeforeTwoTeamFiles", {"-D", "3", "a.fpl", "b.fpl"}},
                                         CommandLine{"UnknownShortOption", {"-x", "1", "red.fpl"}},
                                         CommandLine{"ShortOptionTooLong", {"-WW", "1", "red.fpl"}},
                                         CommandLine{"OptionLast", {"red.fpl", "-D"}},
                                         CommandLine{"UnknownLongOption", {"--wide", "1", "red.fpl"}},
                                         CommandLine{"LoneDash", {"-", "1", "red.fpl"}},
                                         CommandLine{"WordBeforeOptions", {"x", "-D", "1", "red.fpl"}}),
                         fwtest::caseName);

const std::string HELP =
    "Usage: fusewick [options] <file1> [<files> ...]\n\n"
    "Main options:\n"
    "-W <value>, --width <value>        Per-grid pixel width (default is 40)\n"
    "-H <value>, --height <value>       Per-grid pixel height (default is 40)\n"
    "-D <value>, --debug <value>        Debug level (default is 0)\n"
    "-M <file>, --map <file>            Map file (default is default.map)\n"
    "-h, --help                         Print this message\n"
    "<file1> <file2> <file3> <file4>    Team files (default is default.fpl)\n";

class HelpDeathTest : public ParseArgsTest, public testing::WithParamInterface<CommandLine> {};

TEST_P(HelpDeathTest, WinsWhenLast) { EXPECT_EXIT_OUTPUT(parse(GetParam().args), 0, HELP, ""); }

INSTANTIATE_TEST_SUITE_P(Requests, HelpDeathTest,
                         testing::Values(CommandLine{"Short", {"-h"}}, CommandLine{"Long", {"--help"}},
                                         CommandLine{"ShortWithSuffix", {"-hx"}},
                                         CommandLine{"LongWithSuffix", {"--helpme"}},
                                         CommandLine{"LastAfterBadOption", {"-x", "y", "z", "--help"}},
                                         CommandLine{"BeforeTeamFile", {"-h", "red.fpl"}}), fwtest::caseName);

struct Report {
    const char* name;
    int code;
    const char* message;
};

class RaiseErrorDeathTest : public ParseArgsTest, public testing::WithParamInterface<Report> {};

TEST_P(RaiseErrorDeathTest, WritesTheReportAndExits) {
    const Report& r = GetParam();
    EXPECT_EXIT_OUTPUT(raise_error(r.code), r.code & 0xff, "",  // the process status keeps the low byte
                       std::string("\n") + r.message + "fusewick exited with error code " + std::to_string(r.code) +
                           "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, RaiseErrorDeathTest,
    testing::Values(
        Report{"Usage", 1,
               "Usage: fusewick [-W <n>] [-H <n>] [-D <n>] [-M <file>] <file1> [<file2> <file3> <file4>]\n"},
        Report{"SpriteMissing", 2, "Error: .bmp texture file not found\n"},
        Report{"TeamMissing", 3, "Error: .fpl player file not found\n"},
        Report{"MapMissing", 4, "Error: .map map file not found\n"},
        Report{"SpriteInvalid", 5, "Error: .bmp texture file is invalid\n"},
        Report{"TeamInvalid", 6, "Error: .fpl player file is invalid\n"},
        Report{"MapInvalid", 7, "Error: .map map file is invalid\n"},
        Report{"OutOfMemory", 50, "Error: application ran out of memory\n"},
        Report{"Undefined", 8, "Error: undefined error\n"},
        Report{"Negative", -1, "Error: undefined error\n"}), fwtest::caseName);

using OutOfMemoryDeathTest = ParseArgsTest;

TEST_F(OutOfMemoryDeathTest, AllocationFailureExitsWithFifty) {
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
