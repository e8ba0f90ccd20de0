// view_e2e_test.cpp: the real viewer in a private X server (Xvfb) driven by real keys (xdotool): a tick reached by
// playing, by stepping forward, by stepping back from later, by opening at it and from a replay is one picture, and
// its game part is the game's own window at that tick. Faulty match files are reported as the game reports them,
// faulty replays as the runner reports them.
//
// Needs Xvfb, xdotool, xwd and xwdtopnm (Debian: xvfb, xdotool, x11-apps, netpbm). Every wait is bounded; every
// process started here is ended here.
#include "core/utils.h"
#include "match/replay.h"
#include "support/test_support.h"
#include "support/x_server.h"

#include <sys/wait.h>

#include <filesystem>

namespace {

int sh(const std::string& script) {
    const int status = std::system(script.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A working directory with the bundled sprites, default.map and default.fpl.
class ViewerDir {
public:
    ViewerDir() {
        std::filesystem::create_directory_symlink(std::string(FUSEWICK_SOURCE_DIR) + "/sprites", dir.file("sprites"));
        for (const std::string name : {"default.map", "default.fpl", "maps/pillars.map", "teams/hulks.fpl",
                                       "teams/hoarders.fpl", "teams/sappers.fpl"})
            dir.write(name.substr(name.find('/') + 1), fwtest::readFile(std::string(FUSEWICK_SOURCE_DIR) + "/" + name));
    }
    // Runs `script` with sh in the directory with DISPLAY set. There `view`, `game` and `arena` run the programs
    // (killed after 60 s; output to NAME.out and NAME.err), `x` runs xdotool, `shot FILE` saves the window `$w` as
    // PPM once two screenshots in a row agree (a busy machine may take a while to work off the keys) and `find TITLE` makes `$w` the window with that title, moved to the screen's top-left corner and focused;
    // a key that both programs ignore goes first, so that a press lost while the focus settles is not one that counts.
    int run(const std::string& display, const std::string& script) const {
        return sh("cd " + dir.path() + " || exit 125\nexport DISPLAY=" + display +
                  "\nexport ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0"
                  "\nview() { timeout 60 " FUSEWICK_VIEW " \"$@\" >view.out 2>view.err; }"
                  "\ngame() { timeout 60 " FUSEWICK_BINARY " \"$@\" >game.out 2>game.err; }"
                  "\narena() { timeout 60 " FUSEWICK_ARENA " \"$@\" >arena.out 2>arena.err; }"
                  "\nx() { timeout 20 xdotool \"$@\"; }"
                  "\nshot() { p=; for i in 1 2 3 4 5 6 7 8 9 10 11 12; do sleep 0.4;"
                  " xwd -silent -id \"$w\" | xwdtopnm >\"$1\" 2>/dev/null; c=$(md5sum <\"$1\");"
                  " [ \"$c\" = \"$p\" ] && return 0; p=$c; done; }"
                  "\nfind() { w=$(x search --sync --onlyvisible --name \"^$1\\$\" | head -n 1) &&"
                  " x windowmove --sync \"$w\" 0 0 && x windowfocus --sync \"$w\" && sleep 0.3 &&"
                  " x key x && sleep 0.2; }\n" +
                  script);
    }
    fwtest::Screenshot shot(const std::string& name) const { return fwtest::Screenshot::read(dir.file(name)); }

    fwtest::TempDir dir;
};

TEST(ViewerWindowTest, ATickIsOnePictureHoweverReachedAndItsGamePartIsTheGamesWindow) {
    const fwtest::XServer x("1600x1200x24");
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start (Debian package xvfb)";
    const ViewerDir d;
    // A match on the small hall of pillars; at tick 140 bombs have gone off and blasts reach. The way back to tick
    // 140 from the last tick is counted from the match's length, as the runner tells it. The game's step key
    // alternates with an ignored key, so that no two presses of it in a row look like a key held down.
    const int code = d.run(x.display(), R"(set -e
set -- -M pillars.map hulks.fpl hoarders.fpl default.fpl sappers.fpl
arena --json - "$@"; back=$(( $(sed -n 's/^  "ticks": \([0-9]*\),$/\1/p' arena.out) - 140 ))
view "$@" & v=$!
find 'Fusewick viewer'
x key --repeat 6 --repeat-delay 15 plus
x key space; sleep 4                          # plays to the end at 64 ticks a frame and stops there
x key --repeat 6 --repeat-delay 15 minus
shot end_played.ppm
x key Home Page_Down; x key --repeat 40 --repeat-delay 15 Right; shot forward.ppm
x key Left Right; shot again.ppm
x key End
for k in Page_Up:$((back / 100)) Left:$((back % 100)); do
  if [ "${k#*:}" -gt 0 ]; then x key --repeat "${k#*:}" --repeat-delay 15 "${k%:*}"; fi
done
shot back.ppm
x key q; wait $v
view --tick 140 "$@" & v=$!; find 'Fusewick viewer'; shot opened.ppm; x key q; wait $v
view --tick 99999 "$@" & v=$!; find 'Fusewick viewer'; shot end_opened.ppm; x key Escape; wait $v
arena --record match.replay "$@"
view --replay match.replay --tick 140 & v=$!; find 'Fusewick viewer'; shot replay.ppm; x key q; wait $v
game "$@" & g=$!; find 'Fusewick, v-1\.0a'
x key --repeat 140 --repeat-delay 10 n x; shot game.ppm; x key q; wait $g)");
    ASSERT_EQ(code, 0) << fwtest::readFile(d.dir.file("view.err")) << fwtest::readFile(d.dir.file("game.err"));
    EXPECT_EQ(fwtest::readFile(d.dir.file("view.out")), "") << "the match's console output is held back";

    const fwtest::Screenshot forward = d.shot("forward.ppm");
    ASSERT_FALSE(forward.rgb.empty());
    for (const char* name : {"again.ppm", "back.ppm", "opened.ppm", "replay.ppm"})
        EXPECT_TRUE(d.shot(name) == forward) << name << " differs from tick 140 reached by stepping forward";
    EXPECT_TRUE(d.shot("end_played.ppm") == d.shot("end_opened.ppm")) << "the last tick played to and opened at";
    EXPECT_FALSE(d.shot("end_played.ppm") == forward);

    const fwtest::Screenshot game = d.shot("game.ppm");
    ASSERT_EQ(std::pair(game.width, game.height), std::pair(760, 440));  // (9 + 10) x (9 + 2) cells of 40 pixels
    EXPECT_TRUE(forward.crop(0, 0, 760, 440) == game) << "the viewer's game part differs from the game's window";
}

// [SECTION] Faulty files, without a display: the viewer stops before it opens a window.

struct Fault {
    const char* name;
    const char* args;
    int code;
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.args; }

class ViewerFaultTest : public testing::TestWithParam<Fault> {};

TEST_P(ViewerFaultTest, ReportedAsTheGameReportsIt) {
    const ViewerDir d;
    d.dir.write("bad.fpl", "P1 CAPTAIN\nP2 WIZARD\n");
    d.dir.write("bad.map", "7 5\n-------\n");
    const std::string args = GetParam().args;
    EXPECT_EQ(d.run("", "view " + args), GetParam().code);
    EXPECT_EQ(d.run("", "game " + args), GetParam().code);
    EXPECT_EQ(fwtest::readFile(d.dir.file("view.out")), fwtest::readFile(d.dir.file("game.out")));
    EXPECT_EQ(fwtest::readFile(d.dir.file("view.err")), fwtest::readFile(d.dir.file("game.err")));
    EXPECT_NE(fwtest::readFile(d.dir.file("view.err")), "");
}

INSTANTIATE_TEST_SUITE_P(Files, ViewerFaultTest,
                         testing::Values(Fault{"MissingTeam", "default.fpl none.fpl default.fpl default.fpl",
                                               EXIT_TEAM_MISSING},
                                         Fault{"InvalidTeam", "-D 2 default.fpl default.fpl bad.fpl default.fpl",
                                               EXIT_TEAM_INVALID},
                                         Fault{"MissingMap", "-M none.map default.fpl", EXIT_MAP_MISSING},
                                         Fault{"InvalidMap", "-M bad.map default.fpl", EXIT_MAP_INVALID}),
                         [](const auto& info) { return std::string(info.param.name); });

// The viewer's own options: a usage fault says what is wrong, the help names the keys.
TEST(ViewerOptionsTest, UsageFaultsHelpAndVersion) {
    const ViewerDir d;
    const std::string usage = "Usage: fusewick-view [view options] [options] <file1> [<file2> <file3> <file4>]\n"
                              "Try 'fusewick-view --help' for more information.\n";
    const struct {
        const char* args;
        int code;
        std::string out, err;
    } cases[] = {
        {"--tick 12x default.fpl", EXIT_USAGE, "", "fusewick-view: --tick takes a number of ticks, not '12x'\n" + usage},
        {"default.fpl --max-ticks", EXIT_USAGE, "", "fusewick-view: --max-ticks needs a value\n" + usage},
        {"--replay m.replay default.fpl", EXIT_USAGE, "",
         "fusewick-view: a replay brings its own map and team files: default.fpl is one too many\n" + usage},
        {"-X 3 default.fpl", EXIT_USAGE, "", "fusewick-view: unknown option -X\n" + usage},
        {"--version", 0, "fusewick-view 1.0\n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(d.run("", std::string("view ") + c.args), c.code) << c.args;
        EXPECT_EQ(fwtest::readFile(d.dir.file("view.out")), c.out) << c.args;
        EXPECT_EQ(fwtest::readFile(d.dir.file("view.err")), c.err) << c.args;
    }
    EXPECT_EQ(d.run("", "view --tick 3 --help"), 0);
    const std::string help = fwtest::readFile(d.dir.file("view.out"));
    for (const char* key : {"space", "Page_Down", "Home", "Tab", "Escape", "Usage: fusewick [options]"})
        EXPECT_NE(help.find(key), std::string::npos) << key;
}

// A replay that cannot be read or does not reproduce: the runner's message under the viewer's name.
TEST(ViewerReplayTest, BadReplaysEndAsTheRunnersDo) {
    const ViewerDir d;
    ASSERT_EQ(d.run("", "arena --record good.replay default.fpl"), 0);
    std::string text = fwtest::readFile(d.dir.file("good.replay"));
    const size_t at = text.find("P1.MOVE 17");
    ASSERT_NE(at, std::string::npos);
    d.dir.write("other.replay", text.replace(at, 10, "P1.MOVE 16"));  // the captain turns a cell early
    d.dir.write("cut.replay", text.substr(0, text.size() / 2));
    for (const auto& [file, code] : {std::pair{"cut.replay", EXIT_REPLAY_INVALID}, std::pair{"none.replay", EXIT_REPLAY_INVALID},
                                     std::pair{"other.replay", EXIT_REPLAY_DIVERGED}}) {
        EXPECT_EQ(d.run("", std::string("view --replay ") + file), code) << file;
        EXPECT_EQ(d.run("", std::string("arena --replay ") + file), code) << file;
        std::string arena = fwtest::readFile(d.dir.file("arena.err"));
        arena.replace(0, std::string("fusewick-arena").size(), "fusewick-view");
        EXPECT_EQ(fwtest::readFile(d.dir.file("view.err")), arena) << file;
        EXPECT_EQ(fwtest::readFile(d.dir.file("view.out")), "") << file;
    }
}

}  // namespace
