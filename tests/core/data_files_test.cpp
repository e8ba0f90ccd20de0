// The data folder an installed program or FUSEWICK_DATA gives, and which file a path opens through it.
#include "core/data_files.h"
#include "core/loaders.h"
#include "support/test_support.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// A prefix laid out as an install: bin/ with a program, share/fusewick/ with a map in each place looked at.
struct InstalledPrefix {
    fwtest::TempDir dir;
    std::string data = dir.path() + "/share/fusewick";
    InstalledPrefix() {
        fs::create_directories(data + "/maps");
        fs::create_directories(data + "/teams");
        fs::create_directories(dir.path() + "/bin");
        dir.write("bin/fusewick-arena", "");
        dir.write("share/fusewick/top.map", "2, 2\n");
        dir.write("share/fusewick/maps/in_maps.map", "2, 2\n");
        dir.write("share/fusewick/teams/in_teams.fpl", "");
        dir.write("share/fusewick/teams/in_maps.map", "");  // maps/ is looked at before teams/
        fs::create_directories(data + "/folder.map");       // a folder is no file
    }
};

TEST(DataFolder, FromTheVariableOrTheInstalledPlaceOnly) {
    const InstalledPrefix prefix;
    const std::string installed = prefix.dir.path() + "/bin/fusewick-arena";
    fs::create_directories(prefix.dir.path() + "/src/app");
    const std::string build_tree = prefix.dir.path() + "/src/app/fusewick-arena";
    fwtest::TempDir bare;  // bin/ without share/fusewick beside it
    fs::create_directories(bare.path() + "/bin");

    EXPECT_EQ(dataFolderFor(nullptr, installed), fs::path(prefix.data).lexically_normal().string());
    EXPECT_EQ(dataFolderFor("", installed), fs::path(prefix.data).lexically_normal().string());
    EXPECT_EQ(dataFolderFor("/elsewhere", installed), "/elsewhere");
    EXPECT_EQ(dataFolderFor("/elsewhere", build_tree), "/elsewhere");
    EXPECT_EQ(dataFolderFor(nullptr, build_tree), std::nullopt);
    EXPECT_EQ(dataFolderFor(nullptr, bare.path() + "/bin/fusewick-arena"), std::nullopt);
    EXPECT_EQ(dataFolderFor(nullptr, ""), std::nullopt);
}

// The build tree's binaries are not installed, wherever the build folder lies.
TEST(DataFolder, NoneForTheBuildTree) {
    EXPECT_EQ(dataFolderFor(nullptr, fs::read_symlink("/proc/self/exe").string()), std::nullopt);
}

TEST(FindDataFile, WorkingDirectoryFirstThenTheDataFolderItsMapsAndItsTeams) {
    const InstalledPrefix prefix;
    fwtest::TempDir work;
    work.write("top.map", "");
    const fwtest::WorkingDirectory cwd(work.path());
    const std::optional<std::string> data = prefix.data;
    const std::string absent = prefix.dir.path() + "/top.map";  // absolute paths are never looked up
    struct Case {
        std::string path, opened;
    };
    for (const Case& c : std::vector<Case>{
             {"top.map", "top.map"},  // present here
             {"in_maps.map", prefix.data + "/maps/in_maps.map"},
             {"in_teams.fpl", prefix.data + "/teams/in_teams.fpl"},
             {"maps/in_maps.map", prefix.data + "/maps/in_maps.map"},
             {"nowhere.map", "nowhere.map"},
             {"folder.map", "folder.map"},
             {absent, absent},
             {"", ""},
         })
        EXPECT_EQ(findDataFileIn(c.path, data), c.opened) << c.path;
    EXPECT_EQ(findDataFileIn("in_maps.map", std::nullopt), "in_maps.map");
}

// The reader opens the found file and keeps the name as given for the team's name and its faults. The child
// starts afresh, so that it reads the variable rather than the folder this process settled on.
TEST(FindDataFile, ReadersKeepThePathAsGiven) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    fwtest::TempDir data;
    fs::create_directories(data.path() + "/teams");
    data.write("teams/bad.fpl", "P1 CAPTAIN\nP2 NOBODY\n");
    setenv("FUSEWICK_DATA", data.path().c_str(), 1);
    EXPECT_EXIT(
        {
            fwtest::TempDir work;
            const fwtest::WorkingDirectory cwd(work.path());
            const TeamRead read = readTeam(SourceFile{"bad.fpl", std::nullopt});
            std::exit(read.team.name == "bad" && read.fault && read.fault->line == 2 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    unsetenv("FUSEWICK_DATA");
}

}  // namespace
