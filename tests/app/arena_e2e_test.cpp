// The real fusewick-arena executable on temporary and bundled files: console output byte for byte, exit codes,
// the JSON result, and agreement with an in-process run of the same match.
#include "core/arena.h"
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <sys/wait.h>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

// Runs the executable with `args` in directory `cwd`.
Result runArenaProcess(const std::vector<std::string>& args, const std::string& cwd = FUSEWICK_SOURCE_DIR) {
    fwtest::TempDir capture;
    std::string command = "cd '" + cwd + "' && '" FUSEWICK_ARENA "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " > '" + capture.file("out") + "' 2> '" + capture.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fwtest::readFile(capture.file("out")),
            fwtest::readFile(capture.file("err"))};
}

// The same match played in this process through the core library.
std::string runInProcess(const std::string& map, const std::string& team, int debug) {
    fwtest::resetGlobals();
    config.debug_level = debug;
    fwtest::useFiles(map, team);
    return fwtest::captureStdout([] {
        loadMatch();
        runArena(ArenaOptions{});
    });
}

const std::string SEPARATOR = "----------------------------------------------\n";

TEST(ArenaProcess, SmallMatchByteForByte) {
    fwtest::TempDir dir;
    dir.write("box.map", "# five by five\n5, 5\n-----\n-----\n-----\n-----\n-----\n");
    dir.write("bomber.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\n");
    dir.write("idle.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n");
    const Result r = runArenaProcess(
        {"--json", "result.json", "-D", "2", "-M", "box.map", "bomber.fpl", "idle.fpl", "idle.fpl", "idle.fpl"},
        dir.path());
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Compiling map file box.map\n"
                     "Compiling team file bomber.fpl\n"
                     "Compiling team file idle.fpl\n"
                     "Compiling team file idle.fpl\n"
                     "Compiling team file idle.fpl\n"
                     "Bomb from player 1.1 hit player 1.1\n"
                     "Bomb from player 1.1 hit player 1.2\n"
                     "Bomb from player 1.1 hit player 1.3\n"
                     "\n" + SEPARATOR + "Game over - Total scores:\n"
                     "Team   bomber scored -3\n"
                     "Team     idle scored 0\n"
                     "Team     idle scored 0\n"
                     "Team     idle scored 0\n" + SEPARATOR + "\n"
                     "Team     idle wins!\n"
                     "Team     idle wins!\n"
                     "Team     idle wins!\n");
    // The content of the result is checked in the core tests; here the file must be written and parse.
    const nlohmann::json result = nlohmann::json::parse(fwtest::readFile(dir.file("result.json")));
    EXPECT_EQ(result["teams"][0]["name"], "bomber");
}

// Every bundled map with the bundled team, as the executable and as the library play it.
TEST(ArenaProcess, BundledFilesMatchTheInProcessRun) {
    const std::filesystem::path root = FUSEWICK_SOURCE_DIR;
    if (!std::filesystem::exists(root / "default.fpl") || !std::filesystem::exists(root / "default.map"))
        GTEST_SKIP() << "the bundled default files are not there";
    std::vector<std::string> maps = {"default.map"};
    if (std::filesystem::is_directory(root / "maps"))
        for (const auto& entry : std::filesystem::directory_iterator(root / "maps"))
            if (entry.path().extension() == ".map") maps.push_back("maps/" + entry.path().filename().string());
    for (const std::string& map : maps) {
        const Result r = runArenaProcess({"-D", "3", "-M", map, "default.fpl"});
        EXPECT_EQ(r.code, 0) << map;
        EXPECT_EQ(r.err, "") << map;
        const std::filesystem::path cwd = std::filesystem::current_path();
        std::filesystem::current_path(root);
        const std::string expected = runInProcess(map, "default.fpl", 3);
        std::filesystem::current_path(cwd);
        EXPECT_EQ(r.out, expected) << map;
        EXPECT_NE(r.out.find("Game over - Total scores:\n"), std::string::npos) << map;
    }
}

TEST(ArenaProcess, HelpDocumentsTheRunnerThenTheGame) {
    const Result r = runArenaProcess({"--status-at", "3", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    const std::string own = fwtest::captureStdout(printArenaHelp);
    ASSERT_EQ(r.out.substr(0, own.size()), own);
    const std::string game_help = r.out.substr(own.size());
    EXPECT_EQ(game_help.rfind("Usage: fusewick [options] <file1> [<files> ...]\n\nMain options:\n", 0), 0u);
    EXPECT_TRUE(game_help.ends_with("<file1> <file2> <file3> <file4>    Team files (default is default.fpl)\n"));
}

struct Failing {
    const char* name;
    std::vector<std::string> args;
    int code;
    std::string err;  // empty: the error report of the code
};

class ArenaProcessFails : public testing::TestWithParam<Failing> {};

TEST_P(ArenaProcessFails, WithTheGamesErrors) {
    const Failing& c = GetParam();
    const Result r = runArenaProcess(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.err, c.err.empty() ? fwtest::errorReport(c.code) : c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArenaProcessFails,
    testing::Values(Failing{"NoArguments", {}, EXIT_USAGE, ""},
                    Failing{"BadTickCap", {"--max-ticks", "many", "default.fpl"}, EXIT_USAGE, ""},
                    Failing{"BadGameOption", {"--json", "x.json", "-x", "1", "default.fpl"}, EXIT_USAGE, ""},
                    Failing{"MissingTeamFile", {"no-such-team.fpl"}, EXIT_TEAM_MISSING, ""},
                    Failing{"MissingMapFile", {"-M", "no-such.map", "default.fpl"}, EXIT_MAP_MISSING, ""},
                    Failing{"UnwritableResult",
                            {"--json", "/no-such-dir/result.json", "default.fpl"},
                            EXIT_USAGE,
                            "Error: cannot write result file /no-such-dir/result.json\n"}),
    [](const testing::TestParamInfo<Failing>& info) { return info.param.name; });

}  // namespace
