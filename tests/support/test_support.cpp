// test_support.cpp: helpers shared by the tests.
#include "support/test_support.h"

#include "core/game.h"
#include "core/utils.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
