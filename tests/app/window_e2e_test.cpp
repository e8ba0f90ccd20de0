// window_e2e_test.cpp: the real program in a real X server (Xvfb): real keys sent to its window, its console
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
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

// [SECTION] Processes -------------------------------------------------------------------------------------------------

// Starts `args` in `cwd` with DISPLAY set to `display` (unset when empty), standard output and error to files.
pid_t spawn(const std::vector<std::string>& args, const std::string& cwd, const std::string& display,
            const std::string& out, const std::string& err) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    const int in = open("/dev/null", O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || o < 0 || e < 0) _exit(126);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    if (display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", display.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits for `pid` to end; its exit status, or -1 when it had to be killed after `timeout`.
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

bool displayAnswers(const std::string& display);

// A private X server. Each test process tries display numbers of its own, so that the servers of tests running at
// the same time do not contend for one; a number that is taken anyway is skipped. The first server that answers a
// client is kept.
class XServer {
public:
    XServer() {
        const int base = 200 + int(getpid() % 4000) * 6;  // a range of six numbers no other test process uses
        for (int attempt = 0; attempt < 6 && display_.empty(); ++attempt) {
            if (start(base + attempt) && displayAnswers(display_)) break;
            stop();
        }
    }
    ~XServer() { stop(); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& display() const { return display_; }  // empty when no server answered

private:
    // Starts Xvfb on `number`; true once the server says it is ready.
    bool start(int number) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string display = ":" + std::to_string(number), fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The server writes the number and then a line feed; closing our end before the line feed has arrived
        // would make the server's second write fail, and the server end itself.
        std::string number_line;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && number_line.find('\n') == std::string::npos && poll(&p, 1, 20000) == 1 &&
               read(fds[0], &c, 1) == 1)
            number_line += c;
        if (number_line.find('\n') != std::string::npos) display_ = ":" + std::to_string(atoi(number_line.c_str()));
        close(fds[0]);
        return !display_.empty();
    }

    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitExit(pid_, 5s);
        }
        pid_ = -1;
        display_.clear();
    }

    pid_t pid_ = -1;
    std::string display_;
};

// Runs an X client tool to its end; its standard output, or "" on failure or timeout.
std::string runTool(const std::vector<std::string>& args, const std::string& display, const fwtest::TempDir& dir) {
    const std::string out = dir.file("tool.out");
    const pid_t pid = spawn(args, "", display, out, dir.file("tool.err"));
    return waitExit(pid, 30s) == 0 ? fwtest::readFile(out) : "";
}

bool displayAnswers(const std::string& display) {
    const fwtest::TempDir dir;
    return !runTool({"xdotool", "getdisplaygeometry"}, display, dir).empty();
}

// [SECTION] Screenshots -------------------------------------------------------------------------------------------

// A window dump in X's own format (xwd), true colour, 32 bits per pixel.
struct Screenshot {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, rows from the top
    std::string error;

    uint32_t at(double x, double y) const { return pixels[size_t(y) * width + size_t(x)]; }
};

uint32_t bigEndian32(const std::string& s, size_t offset) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | uint8_t(s[offset + i]);
    return v;
}

Screenshot readXwd(const std::string& bytes) {
    Screenshot shot;
    if (bytes.size() < 100) return shot.error = "no dump", shot;
    auto field = [&](int i) { return bigEndian32(bytes, size_t(i) * 4); };
    const uint32_t header_size = field(0), format = field(2), width = field(4), height = field(5);
    const uint32_t byte_order = field(7), bits_per_pixel = field(11), bytes_per_line = field(12);
    const uint32_t red_mask = field(14), green_mask = field(15), blue_mask = field(16), ncolors = field(19);
    if (format != 2 || bits_per_pixel != 32 || red_mask != 0xff0000 || green_mask != 0xff00 || blue_mask != 0xff)
        return shot.error = "not a 32-bit true colour dump", shot;
    const size_t data = header_size + size_t(ncolors) * 12;
    if (bytes.size() < data + size_t(bytes_per_line) * height) return shot.error = "short dump", shot;
    shot.width = width;
    shot.height = height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t o = data + size_t(y) * bytes_per_line + size_t(x) * 4;
            uint32_t v = 0;
            for (size_t i = 0; i < 4; ++i) {
                const uint8_t b = uint8_t(bytes[o + (byte_order == 0 ? 3 - i : i)]);  // 0: least significant first
                v = (v << 8) | b;
            }
            shot.pixels.push_back(v & 0xffffff);
        }
    }
    return shot;
}

// [SECTION] Match files -----------------------------------------------------------------------------------------

// Sprites of plain colours per picture, so that a screenshot tells what was drawn where.
constexpr uint32_t BLOCK = 0x5a5a5a, SHADED = 0x006400, PLAIN = 0x00aa00;
constexpr uint32_t TEAM_COLOURS[TEAM_COUNT] = {0xe61e1e, 0x1ee61e, 0x1e1ee6, 0xe6e61e};

std::vector<uint8_t> solid(uint32_t w, uint32_t h, const std::function<uint32_t(uint32_t x, uint32_t y)>& colour) {
    std::vector<uint8_t> rgba;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            rgba.insert(rgba.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
        }
    return rgba;
}

void writeBmp32(const std::string& path, uint32_t w, uint32_t h, const std::vector<uint8_t>& rgba) {
    std::string out = "BM";
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 255u);
    };
    put(54 + w * h * 4, 4), put(0, 4), put(54, 4), put(40, 4), put(w, 4), put(h, 4), put(1, 2), put(32, 2);
    put(0, 4), put(w * h * 4, 4), put(0, 4), put(0, 4), put(0, 4), put(0, 4);
    for (size_t i = 0; i < rgba.size(); i += 4)
        out += {char(rgba[i + 2]), char(rgba[i + 1]), char(rgba[i]), char(rgba[i + 3])};  // blue, green, red, alpha
    std::ofstream(path, std::ios::binary) << out;
}

// The scoreboard's sheet: 13 columns of 16 pixels, 5 bands of 16 rows (band 0 at the bottom).
uint32_t scoreboardColour(uint32_t column, uint32_t band) { return (column * 19) << 16 | (band * 50) << 8 | 77; }

constexpr int MAP_W = 8, MAP_H = 6, CELL_W = 24, CELL_H = 20;
const char* const TEAM_FILES[TEAM_COUNT] = {"red.fpl", "green.fpl", "blue.fpl", "gold.fpl"};

// A working directory with sprites/, arena.map and four team files whose players walk to and fro for a long time
// and never drop a bomb, so the scores stay 0 however many frames run.
void writeMatchFiles(const fwtest::TempDir& dir) {
    std::filesystem::create_directories(dir.file("sprites"));
    const uint32_t tiles[4] = {BLOCK, SHADED, PLAIN, 0xff00ff};
    writeBmp32(dir.file("sprites/background.bmp"), 64, 16,
               solid(64, 16, [&](uint32_t x, uint32_t) { return tiles[x / 16]; }));
    const char* sheets[TEAM_COUNT] = {"teamA", "teamB", "teamC", "teamD"};
    for (int t = 0; t < TEAM_COUNT; ++t)
        writeBmp32(dir.file(std::string("sprites/") + sheets[t] + ".bmp"), 358, 24,
                   solid(358, 24, [&](uint32_t, uint32_t) { return TEAM_COLOURS[t]; }));
    writeBmp32(dir.file("sprites/bomb.bmp"), 48, 16, solid(48, 16, [](uint32_t, uint32_t) { return 0x101010u; }));
    writeBmp32(dir.file("sprites/explosion.bmp"), 100, 40,
               solid(100, 40, [](uint32_t, uint32_t) { return 0xff8000u; }));
    writeBmp32(dir.file("sprites/scoreboard.bmp"), 208, 80,
               solid(208, 80, [](uint32_t x, uint32_t y) { return scoreboardColour(x / 16, y / 16); }));
    writeBmp32(dir.file("sprites/font.bmp"), 104, 8, solid(104, 8, [](uint32_t, uint32_t) { return 0xffffffu; }));

    dir.write("arena.map", "8, 6\n--------\n--X-----\n--------\n-----X--\n--------\n--------\n");
    std::string team = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
    for (int i = 0; i < 60; ++i)
        for (int p = 1; p <= 4; ++p) team += "P" + std::to_string(p) + ".MOVE 1\nP" + std::to_string(p) + ".REVERSE\n";
    for (const char* name : TEAM_FILES) dir.write(name, team);
}

std::vector<std::string> gameArgs(const std::string& binary) {
    std::vector<std::string> args = {binary, "-W", std::to_string(CELL_W), "-H", std::to_string(CELL_H),
                                     "-M", "arena.map"};
    args.insert(args.end(), std::begin(TEAM_FILES), std::end(TEAM_FILES));
    return args;
}

// What the console must show: the status after three single steps, then the final table of the ended match.
std::string expectedConsole(const fwtest::TempDir& dir) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    fwtest::resetGlobals();
    config.map_file = "arena.map";
    for (int t = 0; t < TEAM_COUNT; ++t) config.team_file[size_t(t)] = TEAM_FILES[t];
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

// [SECTION] Tests ----------------------------------------------------------------------------------------------------

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(x_.display().empty()) << "Xvfb did not start (Debian package xvfb)";
        writeMatchFiles(dir_);
    }

    // Starts the game; its window id, or "" when no window showed up in time.
    std::string startGame(const std::vector<std::string>& args) {
        pid_ = spawn(args, dir_.path(), x_.display(), dir_.file("game.out"), dir_.file("game.err"));
        std::string id = runTool(
            {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Fusewick, v-1\\.0a$"}, x_.display(), dir_);
        id = id.substr(0, id.find('\n'));
        // Without a window manager the toolkit's default place is one pixel off the screen's corner: move it fully
        // into view so that a screenshot holds the whole window.
        if (!id.empty()) runTool({"xdotool", "windowmove", "--sync", id, "0", "0"}, x_.display(), dir_);
        return id;
    }

    // Sends one key press and release straight to the window, then gives the game a few frames to act on it.
    void key(const std::string& window, const std::string& name) {
        runTool({"xdotool", "key", "--window", window, name}, x_.display(), dir_);
        std::this_thread::sleep_for(250ms);
    }

    void TearDown() override {
        if (pid_ > 0) waitExit(pid_, 1ms);  // kills it if a failed test left it running
    }

    XServer x_;
    fwtest::TempDir dir_;
    pid_t pid_ = -1;
};

TEST_F(WindowTest, KeysStepPrintEndRestartAndQuitWhileTheWindowShowsTheMatch) {
    const std::string expected = expectedConsole(dir_);
    const std::string window = startGame(gameArgs(FUSEWICK_BINARY));
    ASSERT_FALSE(window.empty()) << fwtest::readFile(dir_.file("game.err"));

    for (int i = 0; i < 3; ++i) key(window, "n");
    key(window, "N");  // upper case is ignored
    key(window, "p");
    const Screenshot shot = readXwd(runTool({"xwd", "-silent", "-id", window}, x_.display(), dir_));
    key(window, "s");
    key(window, "e");
    key(window, "r");
    key(window, "q");
    EXPECT_EQ(waitExit(pid_, 10s), 0);
    pid_ = -1;
    EXPECT_EQ(fwtest::readFile(dir_.file("game.out")), expected);

    // The window: (8 + 10) x (6 + 2) cells of 24 x 20 pixels; cell (x, y) from ((x + 5) * 24, (y + 1) * 20).
    ASSERT_EQ(shot.error, "");
    ASSERT_EQ(shot.width, uint32_t((MAP_W + 10) * CELL_W));
    ASSERT_EQ(shot.height, uint32_t((MAP_H + 2) * CELL_H));
    auto at = [&](double x, double y) { return shot.at((x + 5) * CELL_W, (y + 1) * CELL_H); };
    EXPECT_EQ(at(-0.5, -0.5), BLOCK);   // the ring
    EXPECT_EQ(at(8.5, 6.5), BLOCK);
    EXPECT_EQ(at(2.5, 1.5), BLOCK);     // a wall
    EXPECT_EQ(at(3.5, 0.5), SHADED);    // row 0, under the border
    EXPECT_EQ(at(2.5, 2.5), SHADED);    // under the wall
    EXPECT_EQ(at(3.5, 2.5), PLAIN);
    // Players in their corners, three eighths of a cell on after three single steps.
    EXPECT_EQ(at(0.5, 0.2), TEAM_COLOURS[0]);
    EXPECT_EQ(at(0.5, 5.5), TEAM_COLOURS[1]);
    EXPECT_EQ(at(7.5, 0.2), TEAM_COLOURS[2]);
    EXPECT_EQ(at(7.5, 5.5), TEAM_COLOURS[3]);
    // Scoreboard: score 0 as an empty tens cell and the digit 0, the panel background, the name in its colour.
    EXPECT_EQ(at(-3.5, 0.5), scoreboardColour(10, 4));
    EXPECT_EQ(at(-2.5, 0.5), scoreboardColour(0, 4));
    EXPECT_EQ(at(-4.5, 2.5), scoreboardColour(12, 0));
    EXPECT_EQ(at(-3.5, 3.5), 0xdcdcdcu);   // "red", three letters centred on x = -3
    EXPECT_EQ(at(-4.5, 3.5), scoreboardColour(12, 0));
    EXPECT_EQ(at(MAP_W + 3.5, 0.5), scoreboardColour(0, 4));  // team 2's digit 0 on the right panel
}

TEST_F(WindowTest, MissingSpriteEndsWithCode2AfterTheEarlierSprites) {
    std::filesystem::remove(dir_.file("sprites/bomb.bmp"));
    std::vector<std::string> args = gameArgs(FUSEWICK_BINARY);
    args.insert(args.begin() + 1, {"-D", "4"});  // the reader names each sprite as it reads it
    pid_ = spawn(args, dir_.path(), x_.display(), dir_.file("game.out"), dir_.file("game.err"));
    EXPECT_EQ(waitExit(pid_, 20s), EXIT_SPRITE_MISSING);
    pid_ = -1;
    std::string expected;
    for (const char* name : {"background", "teamA", "teamB", "teamC", "teamD"})
        expected += std::string("Reading bmp header information from sprites/") + name + ".bmp\n";
    expected += fwtest::errorReport(EXIT_SPRITE_MISSING);
    EXPECT_EQ(fwtest::readFile(dir_.file("game.err")), expected);
}

TEST(WindowlessTest, BadTeamFileEndsBeforeAnyWindowIsOpened) {
    // No display at all: reaching the window would fail in the toolkit, not with the team file's code.
    fwtest::TempDir dir;
    writeMatchFiles(dir);
    dir.write("blue.fpl", "P1 CAPTAIN\nP2 WIZARD\n");
    const pid_t pid = spawn(gameArgs(FUSEWICK_BINARY), dir.path(), "", dir.file("out"), dir.file("err"));
    EXPECT_EQ(waitExit(pid, 20s), EXIT_TEAM_INVALID);
    EXPECT_EQ(fwtest::readFile(dir.file("out")),
              "Error compiling blue.fpl, line 2\nInvalid player type specification\n");
    EXPECT_EQ(fwtest::readFile(dir.file("err")), fwtest::errorReport(EXIT_TEAM_INVALID));
}

}  // namespace
