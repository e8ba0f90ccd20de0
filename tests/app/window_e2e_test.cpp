// window_e2e_test.cpp: the real program in a private X server (Xvfb): real keys sent to its window, its console
// output and exit code, and a screenshot of the window read back pixel by pixel.
//
// Needs Xvfb, xdotool, xwd and xwdtopnm (Debian: xvfb, xdotool, x11-apps, netpbm). Every wait is bounded; every
// process started here is ended here.
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"
#include "support/x_server.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

// [SECTION] Processes and the X server ------------------------------------------------------------------------------

// Runs `script` with sh: its exit code, or -1 when it did not exit normally.
int sh(const std::string& script) {
    const int status = std::system(script.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `script` with sh in `dir` with DISPLAY set to `display`. There `game [options]` runs the game on the match
// files (killed after 20 s; output to game.out and game.err) and `x` runs xdotool (killed after 20 s). A sanitizer
// build's leak check stays off for the game: the GL driver is unloaded before it runs, so the driver's own blocks
// would show up as leaks of an unknown module.
int inMatch(const fwtest::TempDir& dir, const std::string& display, const std::string& script) {
    return sh("cd " + dir.path() + " || exit 125\nexport DISPLAY=" + display +
              "\ngame() { ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0 timeout 20 " FUSEWICK_BINARY
              " \"$@\" -W 24 -H 20 -M arena.map red.fpl green.fpl blue.fpl gold.fpl >game.out 2>game.err; }\n"
              "x() { timeout 20 xdotool \"$@\"; }\n" + script);
}

// [SECTION] Match files ---------------------------------------------------------------------------------------------

// Sprites of plain colours per picture, so that a screenshot tells what was drawn where.
constexpr uint32_t BLOCK = 0x5a5a5a, SHADED = 0x006400, PLAIN = 0x00aa00;
constexpr uint32_t TEAM_COLOURS[TEAM_COUNT] = {0xe61e1e, 0x1ee61e, 0x1e1ee6, 0xe6e61e};
uint32_t scoreboardColour(uint32_t column, uint32_t band) { return (column * 19) << 16 | (band * 50) << 8 | 77; }

// A bitmap of 32 bits per pixel whose pixel (x, y), counted from the bottom left, has the colour rgb(x, y) (0xRRGGBB).
void writeBmp(const std::string& path, uint32_t w, uint32_t h, const std::function<uint32_t(uint32_t, uint32_t)>& rgb) {
    std::string out = "BM";
    const auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out += char(v >> (8 * i) & 255u);
    };
    put(54 + w * h * 4, 4), put(0, 4), put(54, 4), put(40, 4), put(w, 4), put(h, 4), put(1, 2), put(32, 2);
    put(0, 4), put(w * h * 4, 4), out.append(16, '\0');
    for (uint32_t i = 0; i < w * h; ++i) put(rgb(i % w, i / w) | 0xff000000u, 4);  // blue, green, red, alpha
    std::ofstream(path, std::ios::binary) << out;
}

// A working directory with sprites/, arena.map (8 x 6 cells) and four team files whose players walk to and fro for a
// long time and never drop a bomb, so the scores stay 0 however many frames run.
void writeMatchFiles(const fwtest::TempDir& dir) {
    std::filesystem::create_directories(dir.file("sprites"));
    const auto sprite = [&](const std::string& name, uint32_t w, uint32_t h,
                            const std::function<uint32_t(uint32_t, uint32_t)>& rgb) {
        writeBmp(dir.file("sprites/" + name + ".bmp"), w, h, rgb);
    };
    sprite("background", 64, 16, [](uint32_t x, uint32_t) { return std::array{BLOCK, SHADED, PLAIN, 0u}[x / 16]; });
    for (int t = 0; t < TEAM_COUNT; ++t)
        sprite(std::string("team") + char('A' + t), 358, 24, [t](uint32_t, uint32_t) { return TEAM_COLOURS[t]; });
    sprite("bomb", 48, 16, [](uint32_t, uint32_t) { return 0x101010u; });
    sprite("explosion", 100, 40, [](uint32_t, uint32_t) { return 0xff8000u; });
    sprite("scoreboard", 208, 80, [](uint32_t x, uint32_t y) { return scoreboardColour(x / 16, y / 16); });
    sprite("font", 104, 8, [](uint32_t, uint32_t) { return 0xffffffu; });

    dir.write("arena.map", "8, 6\n--------\n--X-----\n--------\n-----X--\n--------\n--------\n");
    std::string team = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
    for (int i = 0; i < 60; ++i)
        for (const std::string p : {"P1", "P2", "P3", "P4"}) team += p + ".MOVE 1\n" + p + ".REVERSE\n";
    for (const std::string name : {"red", "green", "blue", "gold"}) dir.write(name + ".fpl", team);
}

// What the console must show: the status after three single steps, then the final table of the ended match.
std::string expectedConsole(const fwtest::TempDir& dir) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    fwtest::resetGlobals();
    fwtest::useFiles("arena.map", "red.fpl", "green.fpl", "blue.fpl", "gold.fpl");
    const std::string out = fwtest::captureStdout([] {
        loadMatch();
        for (int i = 0; i < 3; ++i) updateGame();
        printStatus();
        game.end_requested = 1;
        updateDone();
    });
    std::filesystem::current_path(cwd);
    return out;
}

// [SECTION] Tests ---------------------------------------------------------------------------------------------------

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(x_.display().empty()) << "Xvfb did not start (Debian package xvfb)";
        writeMatchFiles(dir_);
    }

    fwtest::XServer x_;
    fwtest::TempDir dir_;
};

TEST_F(WindowTest, KeysStepPrintEndRestartAndQuitWhileTheWindowShowsTheMatch) {
    const std::string expected = expectedConsole(dir_);
    // Real key events through the server to the focused window, each followed by a few frames to act on it. Without
    // a window manager the window opens a pixel off the screen: it is moved into view first.
    const int code = inMatch(dir_, x_.display(), R"(game & game=$!
w=$(x search --sync --onlyvisible --name '^Fusewick, v-1\.0a$' | head -n 1)
x windowmove --sync "$w" 0 0 && x windowfocus --sync "$w"
for k in n n n N p; do x key $k; sleep 0.25; done
xwd -silent -id "$w" | xwdtopnm >shot.ppm 2>/dev/null
for k in s e r q; do x key $k; sleep 0.25; done
wait $game)");
    EXPECT_EQ(code, 0) << fwtest::readFile(dir_.file("game.err"));
    EXPECT_EQ(fwtest::readFile(dir_.file("game.out")), expected);  // 'N' is not 'n': three single steps

    // (8 + 10) x (6 + 2) cells of 24 x 20 pixels; the cell (x, y) starts at pixel ((x + 5) * 24, (y + 1) * 20).
    std::ifstream ppm(dir_.file("shot.ppm"), std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    ppm >> magic >> width >> height >> maxval;
    ppm.get();
    const std::string rgb{std::istreambuf_iterator<char>(ppm), {}};
    ASSERT_EQ(std::tuple(magic, width, height, maxval, rgb.size()), std::tuple("P6", 432, 160, 255, 432 * 160 * 3u));
    const auto at = [&](double x, double y) {
        const size_t o = (size_t((y + 1) * 20) * 432 + size_t((x + 5) * 24)) * 3;
        return uint32_t(uint8_t(rgb[o])) << 16 | uint32_t(uint8_t(rgb[o + 1])) << 8 | uint8_t(rgb[o + 2]);
    };
    EXPECT_EQ(at(-0.5, -0.5), BLOCK);  // the ring
    EXPECT_EQ(at(2.5, 1.5), BLOCK);    // a wall
    EXPECT_EQ(at(3.5, 0.5), SHADED);   // row 0, under the border
    EXPECT_EQ(at(2.5, 2.5), SHADED);   // under the wall
    EXPECT_EQ(at(3.5, 2.5), PLAIN);
    // Players in their corners, three eighths of a cell on after three single steps.
    EXPECT_EQ(at(0.5, 0.2), TEAM_COLOURS[0]);
    EXPECT_EQ(at(0.5, 5.5), TEAM_COLOURS[1]);
    EXPECT_EQ(at(7.5, 0.2), TEAM_COLOURS[2]);
    EXPECT_EQ(at(7.5, 5.5), TEAM_COLOURS[3]);
    // Scoreboard: score 0 as an empty tens cell and the digit 0, the panel background, a name in its colour.
    EXPECT_EQ(at(-3.5, 0.5), scoreboardColour(10, 4));
    EXPECT_EQ(at(-2.5, 0.5), scoreboardColour(0, 4));
    EXPECT_EQ(at(8 + 3.5, 0.5), scoreboardColour(0, 4));
    EXPECT_EQ(at(-4.5, 3.5), scoreboardColour(12, 0));
    EXPECT_EQ(at(-3.5, 3.5), 0xdcdcdcu);  // "red": three letters centred on x = -3
}

TEST_F(WindowTest, MissingSpriteEndsWithCode2AfterTheEarlierSprites) {
    std::filesystem::remove(dir_.file("sprites/bomb.bmp"));
    EXPECT_EQ(inMatch(dir_, x_.display(), "game -D 4"), EXIT_SPRITE_MISSING);  // -D 4: each sprite named as read
    std::string expected;
    for (const std::string name : {"background", "teamA", "teamB", "teamC", "teamD"})
        expected += "Reading bmp header information from sprites/" + name + ".bmp\n";
    EXPECT_EQ(fwtest::readFile(dir_.file("game.err")), expected + fwtest::errorReport(EXIT_SPRITE_MISSING));
}

TEST(WindowlessTest, BadTeamFileEndsBeforeAnyWindowIsOpened) {
    // No display at all: reaching the window would fail in the toolkit, not with the team file's code.
    fwtest::TempDir dir;
    writeMatchFiles(dir);
    dir.write("blue.fpl", "P1 CAPTAIN\nP2 WIZARD\n");
    EXPECT_EQ(inMatch(dir, "", "game"), EXIT_TEAM_INVALID);
    EXPECT_EQ(fwtest::readFile(dir.file("game.out")),
              "Error compiling blue.fpl, line 2\nInvalid player type specification\n");
    EXPECT_EQ(fwtest::readFile(dir.file("game.err")), fwtest::errorReport(EXIT_TEAM_INVALID));
}

}  // namespace
