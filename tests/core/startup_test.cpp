// The headless runner's start-up at the debug levels on both sides of its thresholds: the configuration print
// above 5, before any file is read (team files numbered from 0), and the compile messages above 1. The decision
// lives in the runner's main, so the real program runs.
#include "support/test_support.h"

#include <filesystem>

namespace {

struct Start {
    const char* name;
    int debug;
    bool config_shown, compiled_shown;
};

class ArenaStartUp : public testing::TestWithParam<Start> {};

// Four idle teams on an open 2 x 2 grid: the match ends in its first frame.
TEST_P(ArenaStartUp, PrintsConfigurationAndCompileMessagesAboveTheirLevels) {
    const Start& c = GetParam();
    const std::string arena = FUSEWICK_ARENA;
    ASSERT_TRUE(std::filesystem::exists(arena)) << arena << " is not built: build the whole project first";
    const fwtest::TempDir dir;
    const fwtest::ProcessResult r = fwtest::runProgram(arena, fwtest::writeStartUpMatch(dir, c.debug), dir.path());
    const std::string rule = "----------------------------------------------\n";
    EXPECT_EQ(r.out, (c.config_shown ? fwtest::startUpConfigPrint(c.debug) : "") +
                         (c.compiled_shown ? fwtest::START_UP_COMPILED : "") + "\n" + rule +
                         "Game over - Total scores:\nTeam        a scored 0\nTeam        b scored 0\n"
                         "Team        c scored 0\nTeam        d scored 0\n" + rule +
                         "\nTeam        a wins!\nTeam        b wins!\nTeam        c wins!\nTeam        d wins!\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.code, 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, ArenaStartUp,
                         testing::Values(Start{"One", 1, false, false}, Start{"Two", 2, false, true},
                                         Start{"Five", 5, false, true}, Start{"Six", 6, true, true}), fwtest::caseName);

}  // namespace
