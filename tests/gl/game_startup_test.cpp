// The windowed program's start-up at the debug levels on both sides of its thresholds: the configuration print
// above 5, before any file is read, and the compile messages above 1. The decision lives in the program's main, so
// the real program runs; its last team file is missing, which ends it before a window opens.
#include "core/utils.h"
#include "support/test_support.h"

#include <filesystem>

namespace {

struct Start {
    const char* name;
    int debug;
    bool config_shown, compiled_shown;
};

class GameStartUp : public testing::TestWithParam<Start> {};

TEST_P(GameStartUp, PrintsConfigurationAndCompileMessagesAboveTheirLevels) {
    const Start& c = GetParam();
    const std::string game = FUSEWICK_BINARY;
    ASSERT_TRUE(std::filesystem::exists(game)) << game << " is not built: build the whole project first";
    const fwtest::TempDir dir;
    const fwtest::ProcessResult r = fwtest::runProgram(game, fwtest::writeStartUpMatch(dir, c.debug, 3), dir.path());
    EXPECT_EQ(r.out, (c.config_shown ? fwtest::startUpConfigPrint(c.debug) : "") +
                         (c.compiled_shown ? fwtest::START_UP_COMPILED : ""));
    EXPECT_EQ(r.err, fwtest::errorReport(EXIT_TEAM_MISSING));
    EXPECT_EQ(r.code, EXIT_TEAM_MISSING);
}

INSTANTIATE_TEST_SUITE_P(Levels, GameStartUp,
                         testing::Values(Start{"One", 1, false, false}, Start{"Two", 2, false, true},
                                         Start{"Five", 5, false, true}, Start{"Six", 6, true, true}), fwtest::caseName);

}  // namespace
