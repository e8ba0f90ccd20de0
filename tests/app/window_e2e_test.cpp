// window_e2e_test.cpp: the real program in a private X server (Xvfb): real keys sent to its window, its console
// output and exit code, and a screenshot of the window read back pixel by pixel.
//
// Needs Xvfb, xdotool and xwd (Debian: xvfb, xdotool, x11-apps). Every wait is bounded; every process started here
// is ended here.
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// [SECTION] Processes and the X server ------------------------------------------------------------------------------

// Starts `args` in `cwd` with DISPLAY set to `display` (unset when empty), standard output and error to files.
pid_t spawn(const std::vector<std::string>& args, const std::string& cwd, const std::string& display,
            const std::string& out, const std::string& err) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int in = open("/dev/null", O_RDONLY), o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
              e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if ((!cwd.empty() && chdir(cwd.c_str()) != 0) || in < 0 || o < 0 || e < 0) _exit(126);
    dup2(in, 0), dup2(o, 1), dup2(e, 2);
    display.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits for `pid` to end: its exit status, or -1 when it had to be killed after `timeout`.
int waitExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(10ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs an X client tool to its end: its standard output, or "" on failure or timeout.
std::string runTool(const std::vector<std::string>& args, const std::string& display) {
    const fwtest::TempDir dir;
    const pid_t pid = spawn(args, "", display, dir.file("out"), dir.file("err"));
    return waitExit(pid, 30s) == 0 ? fwtest::readFile(dir.file("out")) : "";
}

// A private Xvfb. Each test process tries display numbers of its own, so that the servers of tests running at the
// same time do not contend for one; the first server that answers a client is kept.
class XServer {
public:
    XServer() {
        const int base = 200 + int(getpid() % 4000) * 6;
        for (int n = base; n < base + 6 && display_.empty(); ++n)
            if (!start(n) || runTool({"xdotool", "getdisplaygeometry"}, display_).empty()) stop();
    }
    ~XServer() { stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& display() const { return display_; }  // empty when no server answered

private:
    bool start(int number) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const std::string display = ":" + std::to_string(number), fd = std::to_string(fds[1]);
        pid_ = spawn({"Xvfb", display, "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, "",
                     "", "/dev/null", "/dev/null");
        close(fds[1]);
        // The server writes its number, then a line feed: closing our end before the line feed arrives would make
        // that second write fail and the server end.
        std::string line;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) == 1 && read(fds[0], &c, 1) == 1)
            line += c;
        close(fds[0]);
        if (line.find('\n') != std::string::npos) display_ = display;
        return !display_.empty();
    }
    void stop() {
        if (pid_ > 0) kill(pid_, SIGTERM), waitExit(pid_, 5s);
        pid_ = -1;
        display_.clear();
    }

    pid_t pid_ = -1;
    std::string display_;
};

// Header field `i` of a window dump in X's own format (xwd): 4 is the width, 5 the height.
uint32_t xwdField(const std::string& dump, size_t i) {
    uint32_t v = 0;
    for (size_t k = 0; k < 4 && i * 4 + k < dump.size(); ++k) v = (v << 8) | uint8_t(dump[i * 4 + k]);
    return v;
}

// The colour 0xRRGGBB at pixel (x, y) of a window dump of 32 bits per pixel; 0xff000000 when there is none.
uint32_t xwdPixel(const std::string& dump, double x, double y) {
    if (dump.size() < 100 || xwdField(dump, 11) != 32) return 0xff000000;
    const size_t pixels = xwdField(dump, 0) + size_t(xwdField(dump, 19)) * 12;  // after the header and colours
    const size_t o = pixels + size_t(y) * xwdField(dump, 12) + size_t(x) * 4;
    if (o + 4 > dump.size()) return 0xff000000;
    uint32_t v = 0;
    const bool lsb_first = xwdField(dump, 7) == 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | uint8_t(dump[o + (lsb_first ? 3 - i : i)]);
    return v & 0xffffff;
}

// [SECTION] Match files ---------------------------------------------------------------------------------------------

// Sprites of plain colours per picture, so that a screenshot tells what was drawn where.
constexpr uint32_t BLOCK = 0x5a5a5a, SHADED = 0x006400, PLAIN = 0x00aa00;
constexpr uint32_t TEAM_COLOURS[TEAM_COUNT] = {0xe61e1e, 0x1ee61e, 0x1e1ee6, 0xe6e61e};
uint32_t scoreboardColour(uint32_t column, uint32_t band) { return (column * 19) << 16 | (band * 50) << 8 | 77; }

using Picture = std::function<uint32_t(uint32_t x, uint32_t y)>;  // 0xRRGGBB per pixel

void writeBmp32(const std::string& path, uint32_t w, uint32_t h, const Picture& rgb) {
    std::string out = "BM";
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 255u);
    };
    put(54 + w * h * 4, 4), put(0, 4), put(54, 4), put(40, 4), put(w, 4), put(h, 4), put(1, 2), put(32, 2);
    put(0, 4), put(w * h * 4, 4), put(0, 8), put(0, 8);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) put(rgb(x, y) | 0xff000000u, 4);  // blue, green, red, alpha
    std::ofstream(path, std::ios::binary) << out;
}

constexpr int MAP_W = 8, MAP_H = 6, CELL_W = 24, CELL_H = 20;
const std::vector<std::string> TEAM_FILES = {"red.fpl", "green.fpl", "blue.fpl", "gold.fpl"};

// A working directory with sprites/, arena.map and four team files whose players walk to and fro for a long time
// and never drop a bomb, so the scores stay 0 however many frames run.
void writeMatchFiles(const fwtest::TempDir& dir) {
    std::filesystem::create_directories(dir.file("sprites"));
    const auto sprite = [&](const char* name, uint32_t w, uint32_t h, const Picture& f) {
        writeBmp32(dir.file(std::string("sprites/") + name + ".bmp"), w, h, f);
    };
    const uint32_t tiles[4] = {BLOCK, SHADED, PLAIN, 0xff00ff};
    sprite("background", 64, 16, [&](uint32_t x, uint32_t) { return tiles[x / 16]; });
    const char* sheets[TEAM_COUNT] = {"teamA", "teamB", "teamC", "teamD"};
    for (int t = 0; t < TEAM_COUNT; ++t)
        sprite(sheets[t], 358, 24, [&](uint32_t, uint32_t) { return TEAM_COLOURS[t]; });
    sprite("bomb", 48, 16, [](uint32_t, uint32_t) { return 0x101010u; });
    sprite("explosion", 100, 40, [](uint32_t, uint32_t) { return 0xff8000u; });
    sprite("scoreboard", 208, 80, [](uint32_t x, uint32_t y) { return scoreboardColour(x / 16, y / 16); });
    sprite("font", 104, 8, [](uint32_t, uint32_t) { return 0xffffffu; });

    dir.write("arena.map", "8, 6\n--------\n--X-----\n--------\n-----X--\n--------\n--------\n");
    std::string team = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
    for (int i = 0; i < 60; ++i)
        for (const char* p : {"P1", "P2", "P3", "P4"}) team += std::string(p) + ".MOVE 1\n" + p + ".REVERSE\n";
    for (const std::string& name : TEAM_FILES) dir.write(name, team);
}

std::vector<std::string> gameArgs() {
    std::vector<std::string> args = {FUSEWICK_BINARY, "-W", std::to_string(CELL_W), "-H", std::to_string(CELL_H),
                                     "-M", "arena.map"};
    args.insert(args.end(), TEAM_FILES.begin(), TEAM_FILES.end());
    return args;
}

// What the console must show: the status after three single steps, then the final table of the ended match.
std::string expectedConsole(const fwtest::TempDir& dir) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    fwtest::resetGlobals();
    config.map_file = "arena.map";
    for (int t = 0; t < TEAM_COUNT; ++t) config.team_file[size_t(t)] = TEAM_FILES[size_t(t)];
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
    void TearDown() override {
        if (pid_ > 0) waitExit(pid_, 1ms);  // kills what a failed test left running
    }
    void startGame(const std::vector<std::string>& args) {
        pid_ = spawn(args, dir_.path(), x_.display(), dir_.file("game.out"), dir_.file("game.err"));
    }
    int gameExit() {
        const int status = waitExit(pid_, 20s);
        pid_ = -1;
        return status;
    }

    XServer x_;
    fwtest::TempDir dir_;
    pid_t pid_ = -1;
};

TEST_F(WindowTest, KeysStepPrintEndRestartAndQuitWhileTheWindowShowsTheMatch) {
    const std::string expected = expectedConsole(dir_);
    startGame(gameArgs());
    std::string window =
        runTool({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Fusewick, v-1\\.0a$"}, x_.display());
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty()) << fwtest::readFile(dir_.file("game.err"));
    // Without a window manager the toolkit's default place is a pixel off the screen: bring it all into view.
    runTool({"xdotool", "windowmove", "--sync", window, "0", "0"}, x_.display());
    const auto key = [&](const char* name) {  // straight to the window; then a few frames to act on it
        runTool({"xdotool", "key", "--window", window, name}, x_.display());
        std::this_thread::sleep_for(250ms);
    };

    for (const char* k : {"n", "n", "n", "N", "p"}) key(k);  // upper case is ignored
    const std::string shot = runTool({"xwd", "-silent", "-id", window}, x_.display());
    for (const char* k : {"s", "e", "r", "q"}) key(k);
    EXPECT_EQ(gameExit(), 0);
    EXPECT_EQ(fwtest::readFile(dir_.file("game.out")), expected);

    // (8 + 10) x (6 + 2) cells of 24 x 20 pixels; the cell (x, y) starts at pixel ((x + 5) * 24, (y + 1) * 20).
    const auto at = [&](double x, double y) { return xwdPixel(shot, (x + 5) * CELL_W, (y + 1) * CELL_H); };
    EXPECT_EQ(xwdField(shot, 4), uint32_t((MAP_W + 10) * CELL_W));
    EXPECT_EQ(xwdField(shot, 5), uint32_t((MAP_H + 2) * CELL_H));
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
    EXPECT_EQ(at(MAP_W + 3.5, 0.5), scoreboardColour(0, 4));
    EXPECT_EQ(at(-4.5, 3.5), scoreboardColour(12, 0));
    EXPECT_EQ(at(-3.5, 3.5), 0xdcdcdcu);  // "red": three letters centred on x = -3
}

TEST_F(WindowTest, MissingSpriteEndsWithCode2AfterTheEarlierSprites) {
    std::filesystem::remove(dir_.file("sprites/bomb.bmp"));
    std::vector<std::string> args = gameArgs();
    args.insert(args.begin() + 1, {"-D", "4"});  // the reader names each sprite as it reads it
    startGame(args);
    EXPECT_EQ(gameExit(), EXIT_SPRITE_MISSING);
    std::string expected;
    for (const char* name : {"background", "teamA", "teamB", "teamC", "teamD"})
        expected += std::string("Reading bmp header information from sprites/") + name + ".bmp\n";
    EXPECT_EQ(fwtest::readFile(dir_.file("game.err")), expected + fwtest::errorReport(EXIT_SPRITE_MISSING));
}

TEST(WindowlessTest, BadTeamFileEndsBeforeAnyWindowIsOpened) {
    // No display at all: reaching the window would fail in the toolkit, not with the team file's code.
    fwtest::TempDir dir;
    writeMatchFiles(dir);
    dir.write("blue.fpl", "P1 CAPTAIN\nP2 WIZARD\n");
    const pid_t pid = spawn(gameArgs(), dir.path(), "", dir.file("out"), dir.file("err"));
    EXPECT_EQ(waitExit(pid, 20s), EXIT_TEAM_INVALID);
    EXPECT_EQ(fwtest::readFile(dir.file("out")),
              "Error compiling blue.fpl, line 2\nInvalid player type specification\n");
    EXPECT_EQ(fwtest::readFile(dir.file("err")), fwtest::errorReport(EXIT_TEAM_INVALID));
}

}  // namespace
