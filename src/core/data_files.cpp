// data_files.cpp: the lookup of data files in the data folder of an installed program or of FUSEWICK_DATA.
#include "core/data_files.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

// The build sets both from its install layout; a build of the core elsewhere (a browser, a fuzzer) gets the usual one.
#ifndef FUSEWICK_DATA_FROM_BIN
#define FUSEWICK_DATA_FROM_BIN "../share/fusewick"
#endif
#ifndef FUSEWICK_BIN_FOLDER
#define FUSEWICK_BIN_FOLDER "bin"
#endif

namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// A regular file or anything else that opens like one; a folder does not count.
bool isFile(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec) && !fs::is_directory(path, ec);
}

// The installed data folder when `executable` lies in the programs' folder beside it; the build tree's binaries lie
// in src/app/ and never qualify.
std::optional<std::string> installedFolder(const std::string& executable) {
    if (executable.empty()) return std::nullopt;
    const fs::path bin = fs::path(executable).parent_path();
    if (bin.filename() != FUSEWICK_BIN_FOLDER) return std::nullopt;
    const fs::path data = (bin / FUSEWICK_DATA_FROM_BIN).lexically_normal();
    if (!isFolder(data)) return std::nullopt;
    return data.string();
}

std::string ownExecutable() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

}  // namespace

std::optional<std::string> dataFolderFor(const char* data_variable, const std::string& executable) {
    if (data_variable != nullptr && *data_variable != '\0') return std::string(data_variable);
    return installedFolder(executable);
}

const std::optional<std::string>& dataFolder() {
    static const std::optional<std::string> folder = dataFolderFor(std::getenv("FUSEWICK_DATA"), ownExecutable());
    return folder;
}

std::string findDataFileIn(const std::string& path, const std::optional<std::string>& folder) {
    if (!folder || path.empty() || fs::path(path).is_absolute() || isFile(path)) return path;
    const fs::path data(*folder);
    const std::array<fs::path, 3> candidates = {data / path, data / "maps" / path, data / "teams" / path};
    for (const fs::path& candidate : candidates)
        if (isFile(candidate)) return candidate.string();
    return path;
}

std::string findDataFile(const std::string& path) { return findDataFileIn(path, dataFolder()); }
