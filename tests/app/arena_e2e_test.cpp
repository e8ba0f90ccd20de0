// The real fusewick-arena executable: a small match byte for byte with its JSON result file and status reports,
// the tick cap, the help text, and the exit codes and error reports.
#include "core/utils.h"
#include "match/replay.h"
#include "support/test_support.h"

#include <nlohmann/json.hpp>

#include <sys/wait.h>

namespace {

struct Result {
    int code;
    std::string out, err;
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

const std::string RULE = "----------------------------------------------\n";
const std::string IDLE = "Compiling team file idle.fpl\n";
const std::string COMPILED = "Compiling map file box.map\nCompiling team file bomber.fpl\n" + IDLE + IDLE + IDLE;

// The CAPTAIN of team 1 drops a bomb on its start cell and stays: the blast kills it and the two team mates in line
// with it, and in tick 187 the bomb is back and the match is over. Tick 0, never played, gets no status report.
TEST(ArenaProcess, SmallMatchByteForByteWithItsResultFileAndStatusReports) {
    fwtest::TempDir dir;
    dir.write("box.map", "# five by five\n5, 5\n-----\n-----\n-----\n-----\n-----\n");
    dir.write("bomber.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\n");
    dir.write("idle.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n");
    const Result r = runArenaProcess({"--json", "result.json", "-D", "2", "--status-at", "0", "-M", "box.map",
                                      "--max-ticks", "500", "bomber.fpl", "idle.fpl", "idle.fpl", "idle.fpl"},
                                     dir.path());
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "fusewick-arena: no status report at tick 0: the match reports after a tick, from tick 1 on\n");
    EXPECT_EQ(r.out, COMPILED + "Bomb from player 1.1 hit player 1.1\nBomb from player 1.1 hit player 1.2\n"
                     "Bomb from player 1.1 hit player 1.3\n\n" + RULE + "Game over - Total scores:\n"
                     "Team   bomber scored -3\nTeam     idle scored 0\nTeam     idle scored 0\nTeam     idle scored 0\n"
                     + RULE + "\nTeam     idle wins!\nTeam     idle wins!\nTeam     idle wins!\n");
    const nlohmann::json result = nlohmann::json::parse(fwtest::readFile(dir.file("result.json")));
    EXPECT_EQ(result["ticks"], 187);
    EXPECT_EQ(result["capped"], false);
    // Dropped in tick 1, the bomb goes off in tick 136 and hits from tick 137: the owner kills itself and two
    // team mates, giving three hits and taking one.
    EXPECT_EQ(result["schema"], 2);
    EXPECT_EQ(result["map"], "box.map");
    EXPECT_EQ(result["teams"][0], nlohmann::json::parse(R"({"name": "bomber", "score": -3, "winner": false,
        "file": "bomber.fpl", "seat": 1, "corner": "top left", "players": [
        {"type": "CAPTAIN", "status": "dead", "health": 0, "x": 0.0, "y": 0.0, "hits_given": 3, "hits_taken": 1,
         "death_tick": 137, "killed_by": "1.1"},
        {"type": "CAPTAIN", "status": "dead", "health": 0, "x": 0.0, "y": 1.0, "hits_given": 0, "hits_taken": 1,
         "death_tick": 137, "killed_by": "1.1"},
        {"type": "CAPTAIN", "status": "dead", "health": 0, "x": 1.0, "y": 0.0, "hits_given": 0, "hits_taken": 1,
         "death_tick": 137, "killed_by": "1.1"},
        {"type": "CAPTAIN", "status": "alive", "health": 1, "x": 1.0, "y": 1.0, "hits_given": 0, "hits_taken": 0,
         "death_tick": null, "killed_by": null}]})"));

    // Status reports after the frames of ticks 1 and 187 (the last); tick 5000 is never played.
    const Result s = runArenaProcess({"--status-at", "187", "-D", "2", "--status-at", "1", "--status-at", "5000",
                                      "-M", "box.map", "bomber.fpl", "idle.fpl", "idle.fpl", "idle.fpl"},
                                     dir.path());
    EXPECT_EQ(s.err, "fusewick-arena: no status report at tick 5000: the match ended after tick 187\n");
    const std::string report = "\nPrinting status information\n";
    const size_t second = s.out.find(report, COMPILED.size() + 1);
    EXPECT_TRUE(s.out.starts_with(COMPILED + report));
    EXPECT_LT(s.out.find("-------- bomb 1 (active), located at [0.000000, 0.000000]\n"), second);
    EXPECT_GT(second, s.out.find("Game over - Total scores:\n"));
    EXPECT_NE(second, std::string::npos);
    EXPECT_EQ(s.out.find(report, second + 1), std::string::npos);
}

// The runs below use the bundled files in the source directory.
struct Exit {
    const char* name;
    std::vector<std::string> args;
    int code;
    const char* err = nullptr;  // standard error; nullptr: the error report of the code
    bool help = false;          // the runner's help and the game's follow on standard output
};

class ArenaProcessExits : public testing::TestWithParam<Exit> {};

// The runner's part of the help is printed exactly when the game's help text follows it, the game's parser
// deciding; a help request is honoured before the runner's own option values are looked at.
TEST_P(ArenaProcessExits, WithCodeReportAndHelpOnlyWithTheGamesHelp) {
    const Exit& c = GetParam();
    const Result r = runArenaProcess(c.args);
    EXPECT_EQ(r.code, c.code);
    std::string err = c.err != nullptr ? c.err : fwtest::errorReport(c.code);
    if (c.code == EXIT_USAGE && c.err != nullptr && !std::string(c.err).starts_with("Error:"))
        err = "fusewick-arena: " + err + "\nUsage: fusewick-arena [arena options] [options] <file1> [<file2> <file3> "
              "<file4>]\nTry 'fusewick-arena --help' for more information.\n";
    EXPECT_EQ(r.err, err);
    const std::string own =
        "fusewick-arena plays a match without a window, as fusewick does once the start key is pressed,\n"
        "and prints the same console output.\n\n"
        "Usage: fusewick-arena [arena options] [options] <file1> [<files> ...]\n"
        "       fusewick-arena [arena options] --replay <file>\n\n"
        "Arena options (anywhere before the team files):\n"
        "--status-at <tick>                 Print the status report after the frame of that tick (repeatable)\n"
        "--max-ticks <n>                    End a match still on after tick <n> as the end key would (default is "
        "1000000)\n"
        "--json <file>                      Write the result to <file> as JSON (-: standard output, the\n"
        "                                   match's console output then going to standard error)\n"
        "--trace <file>                     Write a line per player per tick and the events (-: standard output)\n"
        "--trace-json <file>                The same as JSON Lines\n"
        "--trace-players <list>             Trace only these players, e.g. 1.2,3.4 (team.player) or 1 (a team)\n"
        "--trace-changes                    Trace a player only when a command starts, it is blocked or freed,\n"
        "                                   its program finishes or it dies (the events all stay)\n"
        "--record <file>                    Write a replay of the match\n"
        "--replay <file>                    Play a replay (no other file is read) and check that it reproduces\n"
        "--verbose                          With --replay: say on standard error that it reproduced and how many\n"
        "                                   ticks were checked\n"
        "--version                          Print the version\n\n"
        "Exit codes beyond the game's: 8 a replay file that cannot be read, 9 a replay that went another way.\n\n"
        "Options and team files, as for fusewick:\n";
    EXPECT_EQ(r.out.starts_with(own + "Usage: fusewick [options] <file1> [<files> ...]\n\nMain options:\n"), c.help);
    EXPECT_EQ(r.out.find("Usage: fusewick [options]") != std::string::npos, c.help) << "the game's help alone";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArenaProcessExits,
    testing::Values(Exit{"HelpLast", {"r", "--helpme"}, 0, "", true},
                    Exit{"HelpBeforeTeamFile", {"-h", "r"}, 0, "", true},
                    Exit{"HelpAfterValue", {"-W", "3", "--helpx", "r"}, 0, "", true},
                    Exit{"HelpBeforeFourTeamFiles", {"--help", "a", "b", "c", "d"}, 0, "", true},
                    Exit{"HelpBeforeBadRunnerValue", {"--status-at", "soon", "--help"}, 0, "", true},
                    Exit{"DashHAsDebugValue", {"-D", "-h", "r"}, EXIT_TEAM_MISSING},
                    Exit{"DashHAfterBadOption", {"-x", "-h", "r"}, EXIT_USAGE, "unknown option -x"},
                    Exit{"NoArguments", {}, EXIT_USAGE, "no team file given"},
                    Exit{"DashHelpAmongTeamFiles", {"a", "b", "--help", "c"}, EXIT_USAGE,
                         "a is not an option: team files stand last, 1 or 4 of them"},
                    Exit{"ThreeTeamFiles", {"-D", "a", "b", "c"}, EXIT_USAGE,
                         "give 1 or 4 team files after the options"},
                    Exit{"OptionLast", {"r", "-D"}, EXIT_USAGE, "the last argument, -D, must be a team file"},
                    Exit{"SignedTick", {"--max-ticks", "+3", "default.fpl"}, EXIT_USAGE,
                         "--max-ticks takes a number of ticks, not '+3'"},
                    Exit{"EmptyTick", {"--status-at", "", "r"}, EXIT_USAGE, "--status-at needs a value that is not empty"},
                    Exit{"ValueMissing", {"r", "--json"}, EXIT_USAGE, "--json needs a value"},
                    Exit{"HugeTick", {"--status-at", "99999999999999999999", "r"}, EXIT_USAGE,
                         "--status-at takes a number of ticks, not '99999999999999999999'"},
                    Exit{"BadPlayerList", {"--trace-players", "1.5", "r"}, EXIT_USAGE,
                         "--trace-players takes a list like 1.2,3.4 (team.player, 1 to 4) or 1 (a whole team), not '1.5'"},
                    Exit{"ReplayWithTeamFiles", {"--replay", "x.replay", "r"}, EXIT_USAGE,
                         "a replay brings its own map and team files: r is one too many"},
                    Exit{"MissingReplay", {"--replay", "no-such.replay"}, EXIT_REPLAY_INVALID,
                         "fusewick-arena: no-such.replay: cannot be read\n"},
                    Exit{"VersionFirst", {"--version", "-x"}, 0, ""},
                    // The game's parser reads the entry after -M (or --map...) as the map, whatever it looks like.
                    Exit{"MapNamedLikeOurOption", {"-M", "--json", "default.fpl"}, EXIT_MAP_MISSING},
                    Exit{"LongMapNamedLikeOurOption", {"--mapfile", "--max-ticks", "default.fpl"}, EXIT_MAP_MISSING},
                    Exit{"UnwritableResult", {"--json", "/no-such-dir/result.json", "default.fpl"}, EXIT_USAGE,
                         "Error: cannot write result file /no-such-dir/result.json\n"},
                    // A match still on after the cap is ended as the end key would; the run is not a failure.
                    Exit{"CapEndsTheMatch", {"--max-ticks", "10", "default.fpl"}, 0,
                         "fusewick-arena: match still on after tick 10, ended as the end key would\n"}),
    [](const testing::TestParamInfo<Exit>& info) { return info.param.name; });

}  // namespace

namespace {

// [SECTION] Replays and traces through the real program

// Each bundled team against the default team: the replay plays back with the console output of the original run,
// status reports and debug messages included, reading no other file.
class ArenaReplay : public testing::TestWithParam<std::string> {};

TEST_P(ArenaReplay, PlaysBackWithTheOriginalsOutput) {
    fwtest::TempDir dir;
    const std::string replay = dir.file("match.replay");
    const std::string team = GetParam();
    const Result original = runArenaProcess(
        {"--record", replay, "-D", "2", "--status-at", "100", team, "default.fpl", team, "default.fpl"});
    ASSERT_EQ(original.code, 0) << original.err;
    const Result played = runArenaProcess({"--replay", replay}, dir.path());
    EXPECT_EQ(played.code, 0) << played.err;
    EXPECT_EQ(played.out, original.out);
    EXPECT_EQ(played.err, original.err);
}

INSTANTIATE_TEST_SUITE_P(Bundled, ArenaReplay,
                         testing::Values("default.fpl", "teams/sappers.fpl", "teams/ghosts.fpl", "teams/hulks.fpl",
                                         "teams/hoarders.fpl"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             const std::string& p = info.param;
                             return p.substr(p.rfind('/') + 1, p.find('.', p.rfind('/') + 1) - p.rfind('/') - 1);
                         });

TEST(ArenaReplay, ThatGoesAnotherWayExitsWithNineAndTheTick) {
    fwtest::TempDir dir;
    const std::string replay = dir.file("match.replay");
    ASSERT_EQ(runArenaProcess({"--record", replay, "default.fpl"}).code, 0);
    std::string text = fwtest::readFile(replay);
    text.replace(text.find("P2.MOVE 2\\n"), 9, "P2.MOVE 3");
    dir.write("match.replay", text);
    const Result r = runArenaProcess({"--replay", "match.replay"}, dir.path());
    EXPECT_EQ(r.code, EXIT_REPLAY_DIVERGED);
    EXPECT_EQ(r.err, "fusewick-arena: match.replay does not reproduce: the match went another way at tick 16\n");

    dir.write("match.replay", text.substr(0, text.size() / 2));
    const Result cut = runArenaProcess({"--replay", "match.replay"}, dir.path());
    EXPECT_EQ(cut.code, EXIT_REPLAY_INVALID);
    EXPECT_EQ(cut.err, "fusewick-arena: match.replay: not a replay: the JSON is damaged or cut short\n");
}

// --verbose says what the check found: a match that reproduced and how many ticks were checked, a play that went
// another way, or a play that reproduced under a recorded result that was edited; the exit codes stay.
TEST(ArenaReplay, VerboseSaysWhatTheCheckFound) {
    fwtest::TempDir dir;
    ASSERT_EQ(runArenaProcess({"--record", dir.file("match.replay"), "default.fpl"}).code, 0);
    const std::string text = fwtest::readFile(dir.file("match.replay"));
    struct Case {
        const char* name;
        std::string replay;
        int code;
        std::string err;
    };
    std::string result_edited = text;
    const size_t scores = result_edited.find("\"scores\":[") + 10;
    result_edited.replace(scores, 1, result_edited[scores] == '9' ? "8" : "9");
    std::string program_edited = text;
    program_edited.replace(program_edited.find("P2.MOVE 2\\n"), 9, "P2.MOVE 3");
    for (const Case& c : std::vector<Case>{
             {"untouched", text, 0, "fusewick-arena: match.replay reproduces: 861 ticks checked\n"},
             {"result", result_edited, EXIT_REPLAY_DIVERGED,
              "fusewick-arena: match.replay: the play reproduces; the recorded result differs\n"},
             {"program", program_edited, EXIT_REPLAY_DIVERGED,
              "fusewick-arena: match.replay does not reproduce: the match went another way at tick 16\n"}}) {
        dir.write("match.replay", c.replay);
        const Result r = runArenaProcess({"--replay", "match.replay", "--verbose"}, dir.path());
        EXPECT_EQ(r.code, c.code) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
}

// With "--json -" standard output is the result alone at every debug level: the configuration printed from level 6
// on goes with the match's console output to standard error.
TEST(ArenaOutputs, JsonAloneOnStandardOutputAtEveryDebugLevel) {
    const Result r = runArenaProcess({"--json", "-", "-D", "6", "default.fpl"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.starts_with("{")) << r.out.substr(0, 200);
    EXPECT_FALSE(nlohmann::json::parse(r.out, nullptr, false).is_discarded());
    EXPECT_NE(r.err.find("Game over - Total scores:"), std::string::npos);
}

// With "--json -" standard output is the result alone; the match's console output goes to standard error. A trace
// to standard output has one line per player per tick and the closing line.
TEST(ArenaOutputs, JsonAndTraceOnStandardOutput) {
    const Result json = runArenaProcess({"--json", "-", "default.fpl"});
    EXPECT_EQ(json.code, 0);
    const nlohmann::json result = nlohmann::json::parse(json.out);
    EXPECT_EQ(result["ticks"], 861);
    EXPECT_EQ(result["teams"][2]["corner"], "top right");
    EXPECT_NE(json.err.find("Game over - Total scores:"), std::string::npos);

    // At the cap the closing frame plays one more tick, and the result says so.
    const Result capped = runArenaProcess({"--max-ticks", "10", "--json", "-", "default.fpl"});
    const nlohmann::json at_cap = nlohmann::json::parse(capped.out);
    EXPECT_EQ(at_cap["ticks"], 11);
    EXPECT_EQ(at_cap["capped"], true);
    const Result uncapped = runArenaProcess({"--max-ticks", "861", "--json", "-", "default.fpl"});
    EXPECT_EQ(nlohmann::json::parse(uncapped.out)["capped"], false);

    const Result trace = runArenaProcess({"--trace", "-", "--trace-players", "2.3", "default.fpl"});
    EXPECT_EQ(trace.code, 0);
    size_t lines = 0;
    for (size_t at = trace.out.find("  2.3 STRETCHER"); at != std::string::npos;
         at = trace.out.find("  2.3 STRETCHER", at + 1))
        ++lines;
    EXPECT_EQ(lines, 861u);
    EXPECT_NE(trace.out.find("   861  end of the match: 1 default 3; 2 default 10; 3 default 10; 4 default 3; "
                             "winners 2, 3\n"),
              std::string::npos);
}

}  // namespace
