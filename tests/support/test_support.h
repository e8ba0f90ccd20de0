// test_support.h: helpers shared by the tests: temporary files and working directory, captured console output, exit
// paths, a clean game.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace fwtest {

// A fresh directory under the system's temp dir, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes `content` byte for byte into `name` inside the directory and returns the file's full path.
    std::string write(const std::string& name, const std::string& content) const;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Makes `dir` the working directory for as long as it lives, then returns to the one before.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

std::string readFile(const std::string& path);

// Runs `fn` and returns what it printed to standard output.
std::string captureStdout(const std::function<void()>& fn);

// A regular expression that matches exactly `text` (for the stderr argument of EXPECT_EXIT).
std::string exactly(const std::string& text);

// The report raise_error writes to standard error for `code`.
std::string errorReport(int code);

// Sends standard output of a death-test child to a file that the parent reads afterwards.
class ChildStdout {
public:
    ChildStdout();
    void redirect() const;  // call in the child
    std::string read() const;

private:
    TempDir dir_;
    std::string path_;
};

// Names a case of a parameterised test by its `name` field.
inline constexpr auto caseName = [](const auto& info) { return std::string(info.param.name); };


struct ProcessResult {
    int code;  // exit status; -1 when ended by a signal
    std::string out, err;
};

// Runs `program` with `args` (none containing a single quote) in directory `cwd`, without standard input and
// without a display.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd);

// Writes a small match into `dir` for the programs' start-up: "m.map", an open 2 x 2 grid, and idle teams in
// "a.fpl" to "d.fpl" (the last left out when `teams` is 3). Returns its command line at debug level `level`:
// -D <level> -W 32 -M m.map a.fpl b.fpl c.fpl d.fpl.
std::vector<std::string> writeStartUpMatch(const TempDir& dir, int level, int teams = 4);

// What the start-up of that match prints: the configuration print at debug level `level`, and the compile messages.
std::string startUpConfigPrint(int level);
extern const std::string START_UP_COMPILED;

// Zeroes `game` and resets `config` to the defaults, as at program start.
void resetGlobals();

// Sets config to a map file and four team files (the same file for all four when only one is given).
void useFiles(const std::string& map, const std::string& t1, const std::string& t2 = "", const std::string& t3 = "",
              const std::string& t4 = "");

}  // namespace fwtest

// Expects `statement` to end the process with `code`, printing exactly `out` to stdout and `err` to stderr.
#define EXPECT_EXIT_OUTPUT(statement, code, out, err)                                                        \
    do {                                                                                                     \
        ::fwtest::ChildStdout child_stdout_;                                                                 \
        EXPECT_EXIT(                                                                                         \
            {                                                                                                \
                child_stdout_.redirect();                                                                    \
                statement;                                                                                   \
            },                                                                                               \
            ::testing::ExitedWithCode(code), ::fwtest::exactly(err));                                        \
        EXPECT_EQ(child_stdout_.read(), (out));                                                              \
    } while (0)

// Expects `statement` to end through raise_error(code) after printing exactly `out` to stdout.
#define EXPECT_RAISES(statement, code, out) EXPECT_EXIT_OUTPUT(statement, code, out, ::fwtest::errorReport(code))
