// view_main.cpp: fusewick-view, the viewer. It opens a match from the game's own command line or from a replay file,
// plays it once without a window to know every tick, then shows any tick of it in a window, forward and back, with
// the program line of every player.
//
// A thin program on the viewer's library: its own options are taken out of the argument vector, the rest goes to
// the game's command-line grammar unchanged, as fusewick-arena does.
#include "match/match.h"
#include "match/replay.h"
#include "match/result_json.h"
#include "view/timeline.h"
#include "view/view_window.h"

#include "app/tool_options.h"
#include "core/utils.h"

#include <GL/glut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* NAME = "fusewick-view";

struct ViewOptions {
    std::string replay_file;  // open this replay instead of files
    uint64_t tick = 0;        // open paused at this tick
    uint64_t max_ticks = DEFAULT_MAX_TICKS;
    bool max_ticks_given = false;
};

[[noreturn]] void usageError(const std::string& what) { ::usageError(NAME, "view options", what); }

uint64_t ticksOf(const std::string& option, const std::string& value) {
    const auto ticks = tickValue(value);
    if (!ticks) usageError(option + " takes a number of ticks, not '" + value + "'");
    return *ticks;
}

// Removes the viewer's options (each with its value) from `args`; values of the game's own options stay with them.
ViewOptions takeViewOptions(std::vector<std::string>& args) {
    ViewOptions o;
    auto take = [&](const std::string& e, const std::string& value) {
        if (e == "--replay") {
            if (value.empty()) usageError(e + " needs a value that is not empty");
            o.replay_file = value;
        } else if (e == "--tick") {
            o.tick = ticksOf(e, value);
        } else {
            o.max_ticks = ticksOf(e, value);
            o.max_ticks_given = true;
        }
    };
    takeOwnOptions(args, NAME, {"--replay", "--tick", "--max-ticks"}, take,
                   [](const std::string& e) { usageError(e + " needs a value"); });
    return o;
}

bool asksForHelp(const std::vector<std::string>& args) {
    return readGameArgs(args).outcome == GameArgs::Outcome::Help;
}

[[noreturn]] void helpAndExit() {
    std::printf("fusewick-view shows any tick of a match in a window, forward and back, with the program line of\n");
    std::printf("every player. It plays the match once without a window first (its console output held back; a\n");
    std::printf("faulty file is reported as fusewick reports it), then opens paused.\n\n");
    std::printf("Usage: %s [view options] [options] <file1> [<files> ...]\n", NAME);
    std::printf("       %s [view options] --replay <file>\n\n", NAME);
    std::printf("View options (anywhere before the team files):\n");
    std::printf("--tick <n>                         Open at tick <n> (default: before the first tick)\n");
    std::printf("--replay <file>                    Open a replay (no other file is read), checked first\n");
    std::printf("--max-ticks <n>                    End a match still on after tick <n> as the end key would "
                "(default is %d)\n",
                1000000);
    std::printf("--version                          Print the version\n\n");
    std::printf("Keys: space play or pause; Right, Left one tick forward, back; Page_Down, Page_Up 100 ticks;\n");
    std::printf("Home, End the first, the last tick; + and - the speed (1/4 to 64 ticks per frame); Tab the next\n");
    std::printf("player to follow; a click on the timeline goes to that tick; q, Escape quit.\n\n");
    std::printf("Exit codes beyond the game's: 8 a replay file that cannot be read, 9 a replay that went another "
                "way.\n\n");
    std::printf("Options and team files, as for fusewick:\n");
    print_help();
}

ToolSetup fromReplay(const std::string& path, ViewOptions& options) {
    ToolSetup setup = setupFromReplay(NAME, path);
    if (!options.max_ticks_given) options.max_ticks = setup.replay->max_ticks;
    return setup;
}

ToolSetup fromCommandLine(const std::vector<std::string>& args) {
    const GameArgs read = readGameArgs(args);
    if (read.outcome == GameArgs::Outcome::Help) helpAndExit();
    if (read.outcome == GameArgs::Outcome::Usage) usageError(read.fault);
    // The texts as compiled, for the program listing; a file that cannot be read is left to the loader to report.
    return ToolSetup{readIntoMemory(sourcesOf(read.config)), read.config, std::nullopt};
}

}  // namespace

int main(int argc, char** argv) {
    installOutOfMemoryHandler();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (asksForHelp(args)) helpAndExit();
    ViewOptions options = takeViewOptions(args);
    if (asksForHelp(args)) helpAndExit();
    if (!options.replay_file.empty() && !args.empty())
        usageError("a replay brings its own map and team files: " + args.front() + " is one too many");

    const ToolSetup setup = options.replay_file.empty() ? fromCommandLine(args) : fromReplay(options.replay_file, options);
    config = setup.config;
    if (config.debug_level > 5) printConfig();

    // Loading prints what the game prints and ends the process on a faulty file, before any window opens.
    const LoadedMatch match = loadMatchFrom(setup.sources, setup.config);
    std::optional<ReplayChecker> checker;
    if (setup.replay) checker.emplace(*setup.replay);
    MatchTimeline timeline(match, options.max_ticks, checker ? &*checker : nullptr);
    if (checker) {
        if (const auto tick = checker->verdict(timeline.result())) {
            std::fprintf(stderr, "%s: %s does not reproduce: the match went another way at tick %llu\n", NAME,
                         options.replay_file.c_str(), static_cast<unsigned long long>(*tick));
            return EXIT_REPLAY_DIVERGED;
        }
    }
    std::fflush(stdout);

    openViewer(argc, argv, timeline, std::min(options.tick, timeline.lastTick()));
    glutMainLoop();
    return 0;
}
