// The real fusewick-tournament on the bundled teams and maps: standings that do not depend on the number of
// workers or on slices merged in any order, a run killed again and again that resumes to the same standings, a
// faulty team refused before anything is played, match lines whose command replays the match, usage faults.
#include "support/test_support.h"

#include "tournament/result_line.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <csignal>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int code;
    std::string out, err;
};

std::string quoted(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += " '" + a + "'";
    return line;
}

Result runProgram(const std::string& program, const std::vector<std::string>& args) {
    fwtest::TempDir capture;
    const std::string command = "cd '" FUSEWICK_SOURCE_DIR "' && '" + program + "'" + quoted(args) + " > '" +
                                capture.file("out") + "' 2> '" + capture.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fwtest::readFile(capture.file("out")),
            fwtest::readFile(capture.file("err"))};
}

Result tournament(const std::vector<std::string>& args) { return runProgram(FUSEWICK_TOURNAMENT, args); }

const std::vector<std::string> TEAMS{"default.fpl", "teams/ghosts.fpl", "teams/hoarders.fpl", "teams/hulks.fpl",
                                     "teams/sappers.fpl"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The results of a results file, one line per match without the tournament and slice it was played in.
std::vector<std::string> sortedResults(const std::string& text) {
    std::vector<std::string> lines;
    for (tournament::MatchLine line : tournament::readResults(text).lines) {
        line.origin.reset();
        lines.push_back(tournament::formatLine(line));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(Tournament, SameStandingsForAnyWorkersAndSlicesMergedInAnyOrder) {
    fwtest::TempDir dir;
    const auto base = with({"-q", "-m", "default.map", "-m", "maps/pillars.map"}, TEAMS);
    const Result one =
        tournament(with(base, {"-j", "1", "--out", dir.file("one"), "--standings", dir.file("one.json")}));
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(one.err, "");
    EXPECT_TRUE(one.out.starts_with("40 matches\nrank  team ")) << one.out;
    const Result two =
        tournament(with(base, {"-j", "2", "--out", dir.file("two"), "--standings", dir.file("two.json")}));
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(fwtest::readFile(dir.file("two.json")), fwtest::readFile(dir.file("one.json")));
    EXPECT_EQ(sortedLines(fwtest::readFile(dir.file("two"))), sortedLines(fwtest::readFile(dir.file("one"))));

    std::vector<std::string> shards;
    for (const char* shard : {"0/3", "1/3", "2/3"}) {
        shards.push_back(dir.file(std::string("shard") + shard[0]));
        ASSERT_EQ(tournament(with(base, {"--shard", shard, "--out", shards.back()})).code, 0);
    }
    for (const auto& order : {std::vector<std::string>{shards[2], shards[0], shards[1]},
                              std::vector<std::string>{shards[0], shards[1], shards[1], shards[2], shards[0]}}) {
        const Result merged =
            tournament(with({"merge", "--standings", dir.file("merged.json"), "--out", dir.file("all")}, order));
        EXPECT_EQ(merged.code, 0) << merged.err;
        EXPECT_EQ(merged.out, one.out);
        EXPECT_EQ(fwtest::readFile(dir.file("merged.json")), fwtest::readFile(dir.file("one.json")));
        EXPECT_EQ(sortedResults(fwtest::readFile(dir.file("all"))), sortedResults(fwtest::readFile(dir.file("one"))));
    }
}

// Killed outright again and again, once with half a line appended, the run resumes to exactly the standings of a
// run left alone, with every match in the file once.
TEST(Tournament, KilledAndResumedGivesTheSameStandings) {
    fwtest::TempDir dir;
    const auto args = with({"-q", "--seats", "all", "-m", "default.map", "-m", "maps/open.map", "-m",
                            "maps/warren.map"},
                           TEAMS);
    const Result whole = tournament(with(args, {"--out", dir.file("whole")}));
    const auto base = with(args, {"--out", dir.file("results"), "--resume"});
    ASSERT_EQ(whole.code, 0) << whole.err;

    int status = 0;
    for (int attempt = 0; attempt < 30; ++attempt) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::chdir(FUSEWICK_SOURCE_DIR);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            std::vector<const char*> argv{FUSEWICK_TOURNAMENT, "-j", "2"};
            for (const std::string& a : base) argv.push_back(a.c_str());
            argv.push_back(nullptr);
            ::execv(FUSEWICK_TOURNAMENT, const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 13 * attempt));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        if (WIFEXITED(status)) break;  // finished before the kill
        if (attempt == 1) {
            const std::string text = fwtest::readFile(dir.file("results"));
            std::FILE* f = std::fopen(dir.file("results").c_str(), "a");
            std::fputs(text.substr(0, text.find('\n') / 2).c_str(), f);
            std::fclose(f);
        }
    }
    const Result resumed = tournament(base);
    ASSERT_EQ(resumed.code, 0) << resumed.err;
    EXPECT_EQ(resumed.out, whole.out);
    const auto lines = sortedLines(fwtest::readFile(dir.file("results")));
    EXPECT_EQ(lines, sortedLines(fwtest::readFile(dir.file("whole"))));
    std::set<std::string> ids;
    for (const std::string& line : lines) EXPECT_TRUE(ids.insert(tournament::parseLine(line)->id).second);
    // Nothing left to play: the standings come from the file alone.
    EXPECT_EQ(tournament(base).out, whole.out);
}

// Every faulty file at once, each with the checker's errors (the game's message first), before anything is played.
TEST(Tournament, FaultyFilesAllRefusedBeforeAnythingIsPlayed) {
    fwtest::TempDir dir;
    dir.write("bad.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n# fine so far\nP1.JUMP\n");
    std::filesystem::create_directory(dir.file("folder.fpl"));
    const Result r = tournament({"--out", dir.file("out"), "-m", dir.file("none.map"), "default.fpl",
                                 dir.file("bad.fpl"), dir.file("folder.fpl"), "teams/ghosts.fpl"});
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, dir.file("none.map") + ":1:1: error: Error: .map map file not found: there is no such file (the "
                     "game ends with exit code 4)\n" +
                     dir.file("bad.fpl") + ":6:4: error: Command JUMP not recognized: \"JUMP\" is not a command\n" +
                     dir.file("bad.fpl") + ":6:4: note: the commands are LEFT, RIGHT, REVERSE, MOVE, DROP, WAIT\n" +
                     dir.file("folder.fpl") + ":1:1: error: Error: .fpl player file not found: this is a folder, not "
                     "a team file (the game ends with exit code 3)\n"
                     "fusewick-tournament: 3 files refused; nothing was played\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

// The command of a match line shows that match: played by the headless runner, it gives the same scores. Every
// match leaves a replay that the runner plays back to the same end.
TEST(Tournament, MatchLineCommandAndReplayShowTheMatch) {
    fwtest::TempDir dir;
    ASSERT_EQ(tournament({"-q", "-m", "maps/crossroads.map", "--out", dir.file("out"), "--replays", dir.file("replays"),
                          "default.fpl", "teams/ghosts.fpl"})
                  .code,
              0);
    const auto lines = tournament::readResults(fwtest::readFile(dir.file("out"))).lines;
    ASSERT_EQ(lines.size(), 4u);  // two teams: AABB in its four rotations
    const tournament::MatchLine& line = lines[1];
    ASSERT_TRUE(line.command.starts_with("fusewick -M ")) << line.command;
    const std::string json = dir.file("r.json");
    const std::string command = "cd '" FUSEWICK_SOURCE_DIR "' && '" FUSEWICK_ARENA "' --json '" + json + "' " +
                                line.command.substr(9) + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const nlohmann::json result = nlohmann::json::parse(fwtest::readFile(json));
    for (size_t s = 0; s < tournament::SEATS; ++s) {
        EXPECT_EQ(result["teams"][s]["file"], line.seats[s]);
        EXPECT_EQ(result["teams"][s]["score"], line.scores[s]);
        EXPECT_EQ(result["teams"][s]["winner"], line.winners[s]);
    }
    EXPECT_EQ(result["ticks"], line.ticks);
    for (const tournament::MatchLine& played : lines) {
        const Result replay = runProgram(FUSEWICK_ARENA, {"--replay", dir.file("replays/" + played.id + ".replay")});
        EXPECT_EQ(replay.code, 0) << replay.err;
        EXPECT_NE(replay.out.find("Game over - Total scores:"), std::string::npos);
    }
    EXPECT_EQ(tournament({"-q", "--replays", "/proc/none", "default.fpl"}).code, 1);
}

TEST(Tournament, UsageFaultsAndOneTeamUnderTwoNames) {
    fwtest::TempDir dir;
    dir.write("full", "{}\n");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string err_start;
    };
    for (const Case& c : std::vector<Case>{
             {{}, 2, "fusewick-tournament: give at least one team file"},
             {{"--shard", "2/2", "default.fpl"}, 2, "fusewick-tournament: --shard takes I/N"},
             {{"--resume", "default.fpl"}, 2, "fusewick-tournament: --resume needs --out"},
             {{"--out", dir.file("full"), "default.fpl"}, 2,
              "fusewick-tournament: " + dir.file("full") + " holds results"},
             {{"--seats", "some", "default.fpl"}, 2, "--seats: some not in {rotate,all}"},
             {{"-j", "0", "default.fpl"}, 2, "--jobs: Value 0 not in range"},
             {{"--max-ticks", "x", "default.fpl"}, 2, "--max-ticks: Value x not in range"},
             {{"--frobnicate", "default.fpl"}, 2, "The following argument was not expected: --frobnicate"},
             {{"merge"}, 2, "files is required"},
             {{"merge", dir.file("missing")}, 5, "fusewick-tournament: cannot read " + dir.file("missing")},
             {{"--help"}, 0, ""},
             {{"--version"}, 0, ""}}) {
        const Result r = tournament(c.args);
        EXPECT_EQ(r.code, c.code) << quoted(c.args) << "\n" << r.err;
        EXPECT_TRUE(r.err.starts_with(c.err_start)) << quoted(c.args) << "\n" << r.err;
    }
    EXPECT_NE(tournament({"--help"}).out.find("Exit codes:\n  0  every match played"), std::string::npos);
    EXPECT_EQ(tournament({"--version"}).out, "fusewick-tournament 1.0\n");
    // One team given three ways: one match, AAAA.
    const Result same = tournament({"-q", "--list", "default.fpl", "./default.fpl", "teams/../default.fpl"});
    EXPECT_EQ(same.code, 0);
    EXPECT_TRUE(same.out.ends_with("  fusewick -M default.map default.fpl default.fpl default.fpl default.fpl\n"))
        << same.out;
    EXPECT_EQ(std::count(same.out.begin(), same.out.end(), '\n'), 1);
}

}  // namespace
