// The bundled maps and teams through the match library: every map is tall enough for the side panels, every team
// plays every map to its end, and a match read into memory, played again in the same process or played by a fresh
// fusewick-arena gives the same console output and the same result, byte for byte.
//
// The files are found in the source tree when the tests run, so a map or team added there is covered at once.
#include "gl/sprite_layout.h"
#include "match/match.h"
#include "match/result_json.h"

#include "core/utils.h"
#include "support/test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path SOURCE_DIR = FUSEWICK_SOURCE_DIR;

// The top-level default file and every file with its extension in `folder`, in name order.
std::vector<std::string> bundled(const std::string& default_file, const std::string& folder,
                                 const std::string& extension) {
    std::vector<std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(SOURCE_DIR / folder))
        if (e.is_regular_file() && e.path().extension() == extension) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    files.insert(files.begin(), (SOURCE_DIR / default_file).string());
    return files;
}

const std::vector<std::string>& bundledMaps() {
    static const std::vector<std::string> maps = bundled("default.map", "maps", ".map");
    return maps;
}

const std::vector<std::string>& bundledTeams() {
    static const std::vector<std::string> teams = bundled("default.fpl", "teams", ".fpl");
    return teams;
}

// The teams of rotation `r`: the bundled teams from the r-th on, one a seat, wrapping around. Over as many
// rotations as there are teams, every team sits in every seat once.
std::array<std::string, TEAM_COUNT> rotation(size_t r) {
    const auto& teams = bundledTeams();
    std::array<std::string, TEAM_COUNT> seats;
    for (size_t s = 0; s < seats.size(); ++s) seats[s] = teams[(r + s) % teams.size()];
    return seats;
}

// The game's command line for a match on `map` with `teams`, and the configuration the game reads from it.
std::vector<std::string> commandLine(const std::string& map, const std::array<std::string, TEAM_COUNT>& teams) {
    std::vector<std::string> args{"-M", map};
    args.insert(args.end(), teams.begin(), teams.end());
    return args;
}

Config configOf(const std::vector<std::string>& args) {
    const GameArgs read = readGameArgs(args);
    EXPECT_EQ(read.outcome, GameArgs::Outcome::Run);
    return read.config;
}

struct Played {
    std::string out;   // the console output, loading included
    MatchResult result;
    std::string json;  // the result as fusewick-arena writes it
};

// Loads and plays a match in this process, on whatever state the matches before it left behind.
Played play(const MatchSources& sources, const Config& options) {
    Played p;
    p.out = fwtest::captureStdout([&] { p.result = runMatch(loadMatchFrom(sources, options)); });
    p.json = resultJson(p.result).dump(2) + '\n';
    return p;
}

// Plays the match of the command line in a fresh fusewick-arena process.
Played playInFreshProcess(const std::vector<std::string>& args) {
    fwtest::TempDir dir;
    std::string command = "'" FUSEWICK_ARENA "' --json '" + dir.file("result.json") + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " > '" + dir.file("out") + "' 2> '" + dir.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    EXPECT_EQ(fwtest::readFile(dir.file("err")), "");
    return {fwtest::readFile(dir.file("out")), {}, fwtest::readFile(dir.file("result.json"))};
}

class BundledMap : public testing::TestWithParam<std::string> {};

TEST_P(BundledMap, IsTallEnoughForThePanelsAndEveryBundledTeamPlaysItToTheEnd) {
    const std::string& map = GetParam();
    for (size_t r = 0; r < bundledTeams().size(); ++r) {
        const Config options = configOf(commandLine(map, rotation(r)));
        const MatchSources sources = readIntoMemory(sourcesOf(options));
        ASSERT_TRUE(sources.map.text.has_value()) << map;
        for (const SourceFile& team : sources.teams) ASSERT_TRUE(team.text.has_value()) << team.path;

        const Played p = play(sources, options);
        // Below this many rows the names of a panel's upper and lower corner are drawn over each other.
        ASSERT_GE(game.height, layout::ROWS_FOR_CORNERS) << map;
        EXPECT_FALSE(p.result.capped) << map << ", rotation " << r << " (seat 1: " << rotation(r)[0] << ")";
        EXPECT_LT(p.result.ticks, DEFAULT_MAX_TICKS);
    }
}

// Played from disk first and from memory second in this process (after whatever ran before), and in a fresh
// process: the same output and result every time. Each map takes the next rotation.
TEST_P(BundledMap, SameMatchFromDiskFromMemoryAgainInTheProcessAndInAFreshOne) {
    const std::string& map = GetParam();
    const auto place = std::find(bundledMaps().begin(), bundledMaps().end(), map) - bundledMaps().begin();
    const std::vector<std::string> args = commandLine(map, rotation(static_cast<size_t>(place)));
    const Config options = configOf(args);
    const Played from_disk = play(sourcesOf(options), options);
    const Played from_memory = play(readIntoMemory(sourcesOf(options)), options);
    const Played fresh = playInFreshProcess(args);

    EXPECT_NE(fresh.out.find("Game over"), std::string::npos) << fresh.out;
    EXPECT_EQ(from_disk.out, fresh.out);
    EXPECT_EQ(from_memory.out, fresh.out);
    EXPECT_EQ(from_disk.json, fresh.json);
    EXPECT_EQ(from_memory.json, fresh.json);
}

std::string mapName(const testing::TestParamInfo<std::string>& info) { return fs::path(info.param).stem().string(); }

INSTANTIATE_TEST_SUITE_P(Bundled, BundledMap, testing::ValuesIn(bundledMaps()), mapName);

}  // namespace
