// The headless runner: its own options, the help decision, the run loop with status reports and the tick cap,
// and the JSON result.
#include "core/arena.h"
#include "scenario.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using fwtest::captureStdout;
using fwtest::idleTeam;
using fwtest::Scenario;
using fwtest::teamText;

using Args = std::vector<std::string>;

struct Taken {
    const char* name;
    Args args;
    Args rest;
    std::vector<uint64_t> status_at;
    uint64_t max_ticks;
    std::string json;
};

class TakeArenaOptions : public testing::TestWithParam<Taken> {};

TEST_P(TakeArenaOptions, RemovesOnlyTheRunnersOptions) {
    const Taken& c = GetParam();
    Args args = c.args;
    const ArenaOptions options = takeArenaOptions(args);
    EXPECT_EQ(args, c.rest);
    EXPECT_EQ(options.status_at, c.status_at);
    EXPECT_EQ(options.max_ticks, c.max_ticks);
    EXPECT_EQ(options.json_file, c.json);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TakeArenaOptions,
    testing::Values(
        Taken{"None", {"-D", "2", "red.fpl"}, {"-D", "2", "red.fpl"}, {}, 1000000, ""},
        Taken{"Mixed",
              {"--json", "r.json", "--status-at", "5", "-D", "2", "--status-at", "1", "--max-ticks", "0", "red.fpl"},
              {"-D", "2", "red.fpl"},
              {5, 1},
              0,
              "r.json"},
        Taken{"BeforeFourTeamFiles", {"--max-ticks", "77", "a", "b", "c", "d"}, {"a", "b", "c", "d"}, {}, 77, ""},
        // The game's parser reads the entry after -M as the map, whatever it looks like.
        Taken{"ValueOfAGameOption", {"-M", "--json", "red.fpl"}, {"-M", "--json", "red.fpl"}, {}, 1000000, ""},
        Taken{"ValueOfALongGameOption",
              {"--mapfile", "--status-at", "red.fpl"},
              {"--mapfile", "--status-at", "red.fpl"},
              {},
              1000000,
              ""}),
    [](const testing::TestParamInfo<Taken>& info) { return info.param.name; });

class ArenaOptionsDeathTest : public testing::TestWithParam<Args> {};

TEST_P(ArenaOptionsDeathTest, BadValueIsAUsageFault) {
    Args args = GetParam();
    EXPECT_RAISES(takeArenaOptions(args), EXIT_USAGE, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, ArenaOptionsDeathTest,
                         testing::Values(Args{"--max-ticks", "abc", "r.fpl"}, Args{"--max-ticks", "-1", "r.fpl"},
                                         Args{"--status-at", "", "r.fpl"}, Args{"--status-at", "+3", "r.fpl"},
                                         Args{"--status-at", "99999999999999999999", "r.fpl"},
                                         Args{"--json", "", "r.fpl"}, Args{"r.fpl", "--json"}));

struct Help {
    Args args;
    bool help;
};

class AsksForHelpDeathTest : public testing::TestWithParam<Help> {};

// The runner prints its part of the help exactly when the game's parser goes on to print the game's help.
TEST_P(AsksForHelpDeathTest, AgreesWithTheGamesParser) {
    const Help& c = GetParam();
    EXPECT_EQ(asksForHelp(c.args), c.help);
    std::vector<const char*> argv{"fusewick-arena"};
    for (const std::string& a : c.args) argv.push_back(a.c_str());
    const bool help = c.help;
    EXPECT_EXIT(
        {
            std::fclose(stdout);
            parseArgs(static_cast<int>(argv.size()), argv.data());
            std::exit(99);
        },
        [help](int status) { return WIFEXITED(status) && (WEXITSTATUS(status) == 0) == help; }, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, AsksForHelpDeathTest,
                         testing::Values(Help{{"-h"}, true}, Help{{"red.fpl", "--helpme"}, true},
                                         Help{{"-x", "-help"}, true}, Help{{"-h", "red.fpl"}, true},
                                         Help{{"-W", "3", "--helpx", "r"}, true},
                                         Help{{"--help", "a", "b", "c", "d"}, true},
                                         Help{{"-D", "-h", "red.fpl"}, false}, Help{{"-x", "-h", "red.fpl"}, false},
                                         Help{{"a", "b", "--help", "c"}, false}, Help{{"a", "b"}, false},
                                         Help{{"red.fpl"}, false}));

// [SECTION] The run

// On a 5 x 5 map the CAPTAIN of team 1 drops a bomb on its start cell and stays: in tick 137 the blast kills
// it and the two team mates in line with it, and in tick 187 the bomb is back and the match is over.
void loadSelfBombing(Scenario& s, const std::string& program = "P1.DROP\n") {
    s.load(fwtest::openRows(5, 5),
           {teamText({"CAPTAIN", "CAPTAIN", "CAPTAIN", "CAPTAIN"}, program), idleTeam(), idleTeam(), idleTeam()}, 2);
}

TEST(RunArena, PlaysToTheEndWithStatusReportsAfterTheirTicks) {
    Scenario s;
    loadSelfBombing(s);
    ArenaOptions options;
    options.status_at = {187, 1, 5000};
    ArenaRun run;
    const std::string out = captureStdout([&] { run = runArena(options); });
    EXPECT_EQ(run.ticks, 187u);
    EXPECT_FALSE(run.capped);

    const size_t first_report = out.find("\nPrinting status information\n");
    const size_t hits = out.find("Bomb from player 1.1 hit player 1.1\nBomb from player 1.1 hit player 1.2\n"
                                 "Bomb from player 1.1 hit player 1.3\n\n");
    const size_t table = out.find("Game over - Total scores:\n");
    const size_t second_report = out.find("\nPrinting status information\n", first_report + 1);
    EXPECT_EQ(first_report, 0u);
    EXPECT_NE(out.find("-------- bomb 1 (active), located at [0.000000, 0.000000]\n"), std::string::npos);
    EXPECT_LT(first_report, hits);
    EXPECT_LT(hits, table);
    EXPECT_LT(table, second_report);
    EXPECT_EQ(out.find("Printing status", second_report + 2), std::string::npos) << "tick 5000 was never played";
}

TEST(RunArena, CapEndsAMoveZeroAsTheEndKeyWould) {
    Scenario s;
    loadSelfBombing(s, "P1.MOVE 0\n");
    ArenaOptions options;
    options.max_ticks = 50;
    ArenaRun run;
    testing::internal::CaptureStderr();
    const std::string out = captureStdout([&] { run = runArena(options); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "fusewick-arena: match still on after tick 50, ended as the end key would\n");
    EXPECT_TRUE(run.capped);
    EXPECT_EQ(run.ticks, 51u) << "the closing frame of a running match ticks once more";
    EXPECT_EQ(game.game_over, 1);
    EXPECT_NE(out.find("Game over - Total scores:\n"), std::string::npos);
    EXPECT_EQ(Scenario::player(0, 0).y, 4.0f);
}

TEST(RunArena, ResultAsJson) {
    Scenario s;
    loadSelfBombing(s);
    ArenaRun run;
    captureStdout([&] { run = runArena(ArenaOptions{}); });
    std::ostringstream text;
    writeResultJson(text, run);
    const nlohmann::json result = nlohmann::json::parse(text.str());
    EXPECT_EQ(result["ticks"], 187);
    EXPECT_EQ(result["capped"], false);
    ASSERT_EQ(result["teams"].size(), 4u);
    const nlohmann::json& first = result["teams"][0];
    EXPECT_TRUE(first["name"].get<std::string>().ends_with("/t1"));
    EXPECT_EQ(first["score"], -3);
    EXPECT_EQ(first["winner"], false);
    EXPECT_EQ(result["teams"][3]["winner"], true);
    ASSERT_EQ(first["players"].size(), 4u);
    EXPECT_EQ(first["players"][0], nlohmann::json::parse(
                                       R"({"type":"CAPTAIN","status":"dead","health":0,"x":0.0,"y":0.0})"));
    EXPECT_EQ(first["players"][3]["status"], "alive");
    EXPECT_EQ(result["teams"][2]["players"][1]["x"], 3.0);
}

}  // namespace
