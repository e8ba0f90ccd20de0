// What an organiser relies on around the results, with the real fusewick-tournament: a merge that says which
// slices miss matches, refuses to mix tournaments and goes on past a file it cannot read; a results file that one
// run at a time writes; outputs checked before the first match; the CSV, the per-map standings and the report.
#include "support/test_support.h"

#include "tournament/result_line.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int code;
    std::string out, err;
};

Result tournament(const std::vector<std::string>& args) {
    fwtest::TempDir capture;
    std::string command = "cd '" FUSEWICK_SOURCE_DIR "' && '" FUSEWICK_TOURNAMENT "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " > '" + capture.file("out") + "' 2> '" + capture.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fwtest::readFile(capture.file("out")),
            fwtest::readFile(capture.file("err"))};
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const std::vector<std::string> FIELD{"-q", "-m", "default.map", "default.fpl", "teams/ghosts.fpl",
                                     "teams/hoarders.fpl", "teams/hulks.fpl", "teams/sappers.fpl"};

// Four slices with one left out, then added; a slice of another tournament; a file that cannot be read; lines of
// an earlier version without a fingerprint.
TEST(Organiser, MergeTellsWhatIsMissingAndRefusesToMixTournaments) {
    fwtest::TempDir dir;
    const Result single = tournament(with(FIELD, {"--standings", dir.file("single.json")}));
    ASSERT_EQ(single.code, 0) << single.err;
    std::vector<std::string> slices;
    for (int i = 0; i < 4; ++i) {
        slices.push_back(dir.file("slice-" + std::to_string(i)));
        ASSERT_EQ(tournament(with(FIELD, {"--shard", std::to_string(i) + "/4", "--out", slices.back()})).code, 0);
    }
    // Slice 2 left out, and half of slice 3 lost.
    const std::string three = fwtest::readFile(slices[3]);
    dir.write("slice-3-half", three.substr(0, three.find('\n') + 1));
    const Result partial = tournament({"merge", "--standings", dir.file("partial.json"), slices[0], slices[1],
                                       dir.file("slice-3-half")});
    EXPECT_EQ(partial.code, 5);
    EXPECT_TRUE(partial.out.starts_with("11 matches; PARTIAL: 9 of the schedule's 20 matches are missing\n"))
        << partial.out;
    EXPECT_EQ(partial.err, "fusewick-tournament: slice 2/4: no results at all (is its file missing from the merge?)\n"
                           "fusewick-tournament: slice 3/4: 4 matches of 5 missing (resume it with --resume)\n"
                           "fusewick-tournament: partial standings: 9 matches of 20 missing\n");
    const nlohmann::json json = nlohmann::json::parse(fwtest::readFile(dir.file("partial.json")));
    EXPECT_EQ(json["complete"], false);
    EXPECT_EQ(json["missing_matches"], 9);

    // All four: the standings of the single run, byte for byte.
    const Result whole = tournament(with({"merge", "--standings", dir.file("merged.json")}, slices));
    EXPECT_EQ(whole.code, 0) << whole.err;
    EXPECT_EQ(whole.out, single.out);
    EXPECT_EQ(fwtest::readFile(dir.file("merged.json")), fwtest::readFile(dir.file("single.json")));

    // A slice of a tournament with another tick cap: refused, and the part that differs named.
    const std::string other = dir.file("other");
    ASSERT_EQ(tournament(with(FIELD, {"--max-ticks", "5000", "--shard", "0/4", "--out", other})).code, 0);
    const Result mixed = tournament(with({"merge"}, with(slices, {other})));
    EXPECT_EQ(mixed.code, 7);
    EXPECT_EQ(mixed.out, "");
    EXPECT_NE(mixed.err.find(" in the tick cap\n"), std::string::npos) << mixed.err;
    EXPECT_NE(mixed.err.find("(--mixed merges them all the same)\n"), std::string::npos) << mixed.err;
    EXPECT_EQ(tournament(with({"merge", "--mixed"}, with(slices, {other}))).code, 0);

    // A file that cannot be read, and a folder: named, the rest merged, the standings partial.
    const Result unreadable = tournament(with({"merge"}, with(slices, {dir.file("none"), dir.path()})));
    EXPECT_EQ(unreadable.code, 5);
    EXPECT_EQ(unreadable.out, single.out);
    EXPECT_NE(unreadable.err.find("merging the others without " + dir.file("none") + "\n"), std::string::npos);
    EXPECT_NE(unreadable.err.find(dir.path() + " is a folder, not a results file; merging the others\n"),
              std::string::npos);

    // Lines of an earlier version: read as before, with a warning.
    std::string bare;
    for (tournament::MatchLine line : tournament::readResults(fwtest::readFile(slices[0])).lines) {
        line.origin.reset();
        bare += tournament::formatLine(line) + "\n";
    }
    dir.write("bare", bare);
    const Result old = tournament({"merge", dir.file("bare")});
    EXPECT_EQ(old.code, 0);
    EXPECT_EQ(old.err, "fusewick-tournament: " + dir.file("bare") + ": 5 lines carry no tournament fingerprint "
                       "(written by an earlier version): read as before, but whether matches are missing cannot be "
                       "told\n");
}

// A second run on the same results file is refused, naming the process and host; a lock left by a run killed
// outright is taken over.
TEST(Organiser, OneRunAtATimeWritesAResultsFile) {
    fwtest::TempDir dir;
    // A team that never ends its match: the first run holds the file for as long as the test wants.
    dir.write("stuck.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.REVERSE\nP1.MOVE 0\n");
    const std::string out = dir.file("results");
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        const std::string stuck = dir.file("stuck.fpl");
        ::execl(FUSEWICK_TOURNAMENT, FUSEWICK_TOURNAMENT, "-q", "-j", "1", "--max-ticks", "1000000000000", "--out",
                out.c_str(), "-m", FUSEWICK_SOURCE_DIR "/default.map", stuck.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 200 && fwtest::readFile(out + ".lock").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const Result second = tournament(with(FIELD, {"--out", out, "--resume"}));
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(second.code, 6);
    EXPECT_EQ(second.err, "fusewick-tournament: " + out + " is being written by another run (process " +
                              std::to_string(first) + " on " + host + "; lock " + out + ".lock)\n");
    EXPECT_TRUE(std::filesystem::exists(out + ".lock"));  // left behind by the killed run
    const Result third = tournament(with(FIELD, {"--out", out, "--resume"}));
    EXPECT_EQ(third.code, 0) << third.err;
    EXPECT_FALSE(std::filesystem::exists(out + ".lock"));
}

// Stopped by SIGTERM (a batch system's cancel, a shutdown), a run keeps its results, releases its lock and prints
// the command that goes on with it.
TEST(Organiser, AStoppedRunSaysHowToGoOn) {
    fwtest::TempDir dir;
    dir.write("stuck.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.REVERSE\nP1.MOVE 0\n");
    const std::string out = dir.file("results"), stuck = dir.file("stuck.fpl"), err = dir.file("err");
    const pid_t run = ::fork();
    ASSERT_GE(run, 0);
    if (run == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen(err.c_str(), "w", stderr);
        ::execl(FUSEWICK_TOURNAMENT, "fusewick-tournament", "-q", "--max-ticks", "1000000000000", "--out",
                out.c_str(), "-m", FUSEWICK_SOURCE_DIR "/default.map", stuck.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 200 && fwtest::readFile(out + ".lock").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(run, SIGTERM);
    int status = 0;
    ::waitpid(run, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 8);
    EXPECT_EQ(fwtest::readFile(err),
              "fusewick-tournament: stopped by SIGTERM after 0 matches; the results are kept in " + out +
                  "; to go on: fusewick-tournament -q --max-ticks 1000000000000 --out " + out + " -m " +
                  FUSEWICK_SOURCE_DIR "/default.map " + stuck + " --resume\n");
    EXPECT_FALSE(std::filesystem::exists(out + ".lock"));
}

// Every output is checked before the first match: nothing is played, nothing is written.
TEST(Organiser, OutputsAreCheckedBeforeTheFirstMatch) {
    fwtest::TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    struct Case {
        const char* option;
        std::string path;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {"--standings", "/proc/none/s.json", "cannot write the standings file /proc/none/s.json: "},
             {"--csv", dir.file("folder"), "the CSV file " + dir.file("folder") + " is a folder"},
             {"--report", "/proc/none/r.html", "cannot write the report file /proc/none/r.html: "},
             {"--out", dir.file("folder"), "the results file " + dir.file("folder") + " is a folder"}}) {
        const std::string option = c.option;
        const Result r = tournament(option == "--out" ? with(FIELD, {"--out", c.path})
                                                      : with(FIELD, {"--out", dir.file("results"), c.option, c.path}));
        EXPECT_EQ(r.code, 1) << c.option;
        EXPECT_TRUE(r.err.starts_with("fusewick-tournament: " + c.err)) << r.err;
        EXPECT_EQ(r.out, "") << c.option;
        EXPECT_FALSE(std::filesystem::exists(dir.file("results")) &&
                     !fwtest::readFile(dir.file("results")).empty())
            << c.option;
    }
}

// A sample of groups leaves pairs that never met. The CSV has its documented columns, per map too; the report
// holds the standings per map, the head-to-head table with "never met", and every match with its command and a
// link to its replay.
TEST(Organiser, CsvPerMapAndReportOfASample) {
    fwtest::TempDir dir;
    const Result r = tournament({"-q", "--sample", "2", "--seed", "3", "-m", "default.map", "-m", "maps/open.map",
                                 "--by-map", "--csv", dir.file("s.csv"), "--report", dir.file("report.html"),
                                 "--replays", dir.file("replays"), "default.fpl", "teams/ghosts.fpl",
                                 "teams/hoarders.fpl", "teams/hulks.fpl", "teams/sappers.fpl", "teams/raiders.fpl"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("== On maps/open.map: 8 matches\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("never"), std::string::npos) << r.out;
    const std::string csv = fwtest::readFile(dir.file("s.csv"));
    EXPECT_TRUE(csv.starts_with("map,rank,team,name,played,wins,average_score,average_place,capped,rating,low,high\n"))
        << csv;
    EXPECT_NE(csv.find("\ndefault.map,1,teams/"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n,1,teams/"), std::string::npos) << csv;
    const std::string html = fwtest::readFile(dir.file("report.html"));
    EXPECT_NE(html.find("<h2>On maps/open.map</h2>"), std::string::npos);
    EXPECT_NE(html.find("never met"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos) << "the report loads nothing from elsewhere";
    size_t links = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("replays"))) {
        const std::string name = entry.path().filename().string();
        EXPECT_NE(html.find("<a href=\"replays/" + name + "\">"), std::string::npos) << name;
        ++links;
    }
    EXPECT_EQ(links, 16u);
    // With the viewer's site next to the report, a link opens the replay in it.
    dir.write("site/index.html", "<!DOCTYPE html>");
    ASSERT_EQ(tournament({"merge", "--report", dir.file("merged.html"), "--replays", dir.file("replays"),
                          dir.file("none")})
                  .code,
              5);
    const std::string results = dir.file("results");
    ASSERT_EQ(tournament(with(FIELD, {"--out", results})).code, 0);
    ASSERT_EQ(tournament({"merge", "--report", dir.file("merged.html"), "--replays", dir.file("replays"), results})
                  .code,
              0);
    EXPECT_NE(fwtest::readFile(dir.file("merged.html")).find("href=\"site/index.html#src=../replays/"),
              std::string::npos);
}

}  // namespace
