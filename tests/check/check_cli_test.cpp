// The real fusewick-check executable: its exit codes, maps by option and by name, its JSON, and its text read the
// way editors read a compiler's: a problem matcher's regular expression, and vim's quickfix list.
#include "support/test_support.h"

#include <nlohmann/json.hpp>

#include <regex>
#include <sstream>

#include <sys/wait.h>

namespace {

struct Outcome {
    int code;
    std::string out, err;
};

Outcome runCheck(const std::string& args, const std::string& cwd) {
    fwtest::TempDir capture;
    const std::string command = "cd '" + cwd + "' && '" FUSEWICK_CHECK "' " + args + " > '" + capture.file("out") +
                                "' 2> '" + capture.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fwtest::readFile(capture.file("out")),
            fwtest::readFile(capture.file("err"))};
}

const std::string CLEAN = "P1 CAPTAIN\nP2 GHOST\nP3 HULK\nP4 SAFETY\nP1.MOVE 3\nP2.DROP\nP3.WAIT\nP4.LEFT\n";

class CheckProgram : public testing::Test {
protected:
    void SetUp() override {
        dir.write("clean.fpl", CLEAN);
        dir.write("odd.fpl", CLEAN + "P1.MOVE 3 4\n");                           // one warning
        dir.write("bad.fpl", "P1 CAPTIAN\nP2 GHOST\nP3 HULK\nP4 SAFETY\nP1.move 3\n");  // two errors
        dir.write("arena.map", "4, 8\n----\n----\n----\n----\n----\n----\n----\n----\n");
        dir.write("arena.txt", "4 , 8\n");                                     // a faulty map by another name
    }
    Outcome run(const std::string& args) const { return runCheck(args, dir.path()); }

    fwtest::TempDir dir;
};

TEST_F(CheckProgram, ExitCodesTellCleanFromFaultyFromAMisuse) {
    struct Case {
        const char* args;
        int code;
    };
    for (const Case c : {Case{"clean.fpl arena.map", 0}, Case{"odd.fpl", 0}, Case{"--werror odd.fpl", 1},
                         Case{"--werror clean.fpl", 0}, Case{"bad.fpl clean.fpl", 1}, Case{"missing.fpl", 1},
                         Case{"", 2}, Case{"--bogus clean.fpl", 2}, Case{"clean.fpl -M", 2}, Case{"--help", 0},
                         Case{"--version", 0}}) {
        EXPECT_EQ(run(c.args).code, c.code) << c.args;
    }
    EXPECT_EQ(run("clean.fpl arena.map").out, "");
    EXPECT_NE(run("--help").out.find("--werror"), std::string::npos);
    EXPECT_EQ(run("--version").out, "fusewick-check 1.0\n");
}

// Notes never fail a check: the bundled teams, which show under their folder's name, pass --werror; two teams
// that would look alike on the scoreboard do not.
TEST_F(CheckProgram, WerrorPassesEveryBundledTeamAndMap) {
    const Outcome bundled = runCheck("--werror default.fpl teams/*.fpl default.map maps/*.map", FUSEWICK_SOURCE_DIR);
    EXPECT_EQ(bundled.code, 0) << bundled.out;
    EXPECT_EQ(bundled.out.find("warning:"), std::string::npos) << bundled.out;
    dir.write("contest/red.fpl", CLEAN);
    dir.write("contest/blue.fpl", CLEAN);
    const Outcome alike = run("--werror contest/red.fpl contest/blue.fpl");
    EXPECT_EQ(alike.code, 1);
    EXPECT_NE(alike.out.find("contest/red.fpl:1:1: warning: the scoreboard shows this team as \"CONTEST\", as it "
                             "shows contest/blue.fpl\n"),
              std::string::npos)
        << alike.out;
}

TEST_F(CheckProgram, MapsAreNamedByTheOptionOrByTheirName) {
    const Outcome r = run("-M arena.txt --map arena.map arena.map clean.fpl");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.starts_with("arena.txt:1:2: error: Invalid grid width and height specification: the comma must "
                                  "follow the width directly\n"))
        << r.out;
    EXPECT_EQ(r.out.find("arena.map"), std::string::npos) << r.out;
}

TEST_F(CheckProgram, JsonListsEveryDiagnosticWithItsFields) {
    const Outcome r = run("--json bad.fpl odd.fpl clean.fpl");
    EXPECT_EQ(r.code, 1);
    const nlohmann::json list = nlohmann::json::parse(r.out);
    ASSERT_EQ(list.size(), 3u) << r.out;
    EXPECT_EQ(list[0], nlohmann::json::parse(R"({"file": "bad.fpl", "line": 1, "column": 4, "severity": "error",
        "message": "Invalid player type specification: \"CAPTIAN\" is not a player type",
        "hint": "did you mean CAPTAIN? The types are CAPTAIN, GHOST, STRETCHER, SAFETY, SPRINTER, HOARDER, HULK"})"));
    EXPECT_EQ(list[1]["line"], 5);
    EXPECT_EQ(list[2]["severity"], "warning");
    EXPECT_EQ(list[2]["file"], "odd.fpl");
    EXPECT_EQ(run("--json clean.fpl").out, "[]\n");
}

// Every line is a diagnostic or its note in the compilers' form, which a problem matcher's expression takes apart
// (arena.txt, not named a map, is read as a team file).
TEST_F(CheckProgram, EveryLineIsTakenApartByACompilerProblemMatcher) {
    const Outcome r = run("bad.fpl odd.fpl missing.fpl arena.txt");
    const std::regex matcher(R"(^(.+):(\d+):(\d+): (error|warning): (.*)$)");
    const std::regex note(R"(^(.+):(\d+):(\d+): note: (.*)$)");
    std::istringstream lines(r.out);
    std::vector<std::string> places;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, matcher)) places.push_back(m[1].str() + " " + m[2].str() + " " + m[3].str() +
                                                                 " " + m[4].str());
        else EXPECT_TRUE(std::regex_match(line, note)) << line;
    }
    EXPECT_EQ(places, (std::vector<std::string>{"bad.fpl 1 4 error", "bad.fpl 5 4 error", "odd.fpl 9 11 warning",
                                                "missing.fpl 1 1 error", "arena.txt 1 1 error"}));
}

// vim's quickfix list with the errorformat of compilers' "file:line:column: type: message" lines: every line is a
// valid entry at its place, errors as 'e', warnings as 'w', hints as 'n'.
TEST_F(CheckProgram, VimReadsTheOutputIntoItsQuickfixList) {
    if (std::system("command -v vim > /dev/null 2>&1") != 0) GTEST_SKIP() << "vim is not installed";
    dir.write("out.txt", run("bad.fpl odd.fpl").out);
    dir.write("read.vim", "set errorformat=%f:%l:%c:\\ %t%*[^:]:\\ %m\n"
                          "cgetfile out.txt\n"
                          "call writefile(map(getqflist(), {_, e -> bufname(e.bufnr) . ' ' . e.lnum . ' ' . e.col . "
                          "' ' . e.type . ' ' . e.valid}), 'quickfix.txt')\n"
                          "qa!\n");
    const std::string command = "cd '" + dir.path() + "' && vim -u NONE -i NONE -N -es < read.vim > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(fwtest::readFile(dir.file("quickfix.txt")),
              "bad.fpl 1 4 e 1\nbad.fpl 1 4 n 1\nbad.fpl 5 4 e 1\nbad.fpl 5 4 n 1\nodd.fpl 9 11 w 1\nodd.fpl 9 11 n 1\n");
}

}  // namespace
