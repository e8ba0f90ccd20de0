// test_support.cpp: helpers shared by the tests.
#include "support/test_support.h"

#include "core/game.h"
#include "core/utils.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace fwtest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fusewick-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const std::string full = file(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary);
    out << content;
    return full;
}

WorkingDirectory::WorkingDirectory(const std::string& dir) : previous_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(dir);
}

WorkingDirectory::~WorkingDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string captureStdout(const std::function<void()>& fn) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string exactly(const std::string& text) {
    std::string re = "^";
    for (char c : text) {
        if (std::string(".[]{}()\\*+?^$|").find(c) != std::string::npos) re += '\\';
        re += c;
    }
    return re + "$";
}

std::string errorReport(int code) {
    return std::string("\n") + errorMessage(code) + "fusewick exited with error code " + std::to_string(code) + "\n";
}

ChildStdout::ChildStdout() : path_(dir_.file("stdout")) {}

void ChildStdout::redirect() const {
    std::fflush(stdout);
    if (std::freopen(path_.c_str(), "w", stdout) == nullptr) std::abort();
}

std::string ChildStdout::read() const { return readFile(path_); }

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& cwd) {
    const TempDir capture;
    std::string command = "cd '" + cwd + "' && env -u DISPLAY '" + program + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " > '" + capture.file("out") + "' 2> '" + capture.file("err") + "' < /dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(capture.file("out")), readFile(capture.file("err"))};
}

std::vector<std::string> writeStartUpMatch(const TempDir& dir, int level, int teams) {
    dir.write("m.map", "2, 2\n--\n--\n");
    std::vector<std::string> args = {"-D", std::to_string(level), "-W", "32", "-M", "m.map"};
    for (int t = 0; t < 4; ++t) {
        args.push_back(std::string(1, static_cast<char>('a' + t)) + ".fpl");
        if (t < teams) dir.write(args.back(), "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n");
    }
    return args;
}

std::string startUpConfigPrint(int level) {
    return "\nCurrent configuration information:\nDebug level:           " + std::to_string(level) +
           "\nPer-grid pixel width:  32\nPer-grid pixel height: 40\nTeam 0 file name:      a.fpl\n"
           "Team 1 file name:      b.fpl\nTeam 2 file name:      c.fpl\nTeam 3 file name:      d.fpl\n"
           "Map file name:         m.map\n\n";
}

const std::string START_UP_COMPILED = "Compiling map file m.map\nCompiling team file a.fpl\nCompiling team file b.fpl\n"
                                      "Compiling team file c.fpl\nCompiling team file d.fpl\n";

void resetGlobals() {
    game = Game{};
    config = Config{};
    config.pixel_width = 40;
    config.pixel_height = 40;
    config.map_file = "default.map";
    for (auto& f : config.team_file) f = "default.fpl";
}

void useFiles(const std::string& map, const std::string& t1, const std::string& t2, const std::string& t3,
              const std::string& t4) {
    config.map_file = map;
    config.team_file = {t1, t2.empty() ? t1 : t2, t3.empty() ? t1 : t3, t4.empty() ? t1 : t4};
}

}  // namespace fwtest
