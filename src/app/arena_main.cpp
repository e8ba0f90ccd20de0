// arena_main.cpp: fusewick-arena, the headless runner. It takes the game's own command line plus a few options of
// its own, plays the match as the game does once the start key is pressed before the first frame, prints the same
// console output, and can write the result as JSON.
//
// A thin program on the match library: its own options are taken out of the argument vector, the rest goes to the
// game's command-line grammar unchanged.
#include "match/match.h"
#include "match/result_json.h"

#include "core/utils.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// [SECTION] Options

struct ArenaOptions {
    std::vector<uint64_t> status_at;         // ticks after whose frame the status report is printed
    uint64_t max_ticks = DEFAULT_MAX_TICKS;  // after this tick a match still on is ended as the end key would
    std::string json_file;                   // where the result goes; empty: nowhere
};

// A decimal number of ticks; anything else (a sign, a blank, text, too many digits) is a usage fault.
uint64_t tickValue(const std::string& s) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos)
        raise_error(EXIT_USAGE);
    return std::stoull(s);
}

bool takesValue(GameOption option) { return option != GameOption::Invalid && option != GameOption::Help; }

// Removes the runner's options (each with its value) from `args`, the arguments without the program's name. Values
// of the game's own options stay with them even when they look like one of ours.
ArenaOptions takeArenaOptions(std::vector<std::string>& args) {
    ArenaOptions options;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& e = args[i];
        const bool ours = e == "--status-at" || e == "--max-ticks" || e == "--json";
        if (!ours) {
            rest.push_back(e);
            if (takesValue(classifyGameOption(e)) && i + 1 < args.size()) rest.push_back(args[++i]);
            continue;
        }
        if (i + 1 >= args.size()) raise_error(EXIT_USAGE);
        const std::string& value = args[++i];
        if (e == "--status-at") {
            options.status_at.push_back(tickValue(value));
        } else if (e == "--max-ticks") {
            options.max_ticks = tickValue(value);
        } else {
            if (value.empty()) raise_error(EXIT_USAGE);
            options.json_file = value;
        }
    }
    args = std::move(rest);
    return options;
}

bool asksForHelp(const std::vector<std::string>& args) {
    return readGameArgs(args).outcome == GameArgs::Outcome::Help;
}

void printArenaHelp() {
    std::printf("fusewick-arena plays a match without a window, as fusewick does once the start key is pressed,\n");
    std::printf("and prints the same console output.\n\n");
    std::printf("Usage: %s [arena options] [options] <file1> [<files> ...]\n\n", "fusewick-arena");
    std::printf("Arena options (anywhere before the team files):\n");
    std::printf("--status-at <tick>                 Print the status report after the frame of that tick "
                "(repeatable)\n");
    std::printf("--max-ticks <n>                    End a match still on after tick <n> as the end key would "
                "(default is %d)\n",
                1000000);
    std::printf("--json <file>                      Write the result to <file> as JSON\n\n");
    std::printf("Options and team files, as for fusewick:\n");
}

// [SECTION] Watching the run

// Prints the status report after the frames of the asked-for ticks and the notice when the cap ends the match.
class ArenaWatch final : public MatchObserver {
public:
    explicit ArenaWatch(std::vector<uint64_t> reports) : reports_(std::move(reports)) {
        std::sort(reports_.begin(), reports_.end());
        next_ = reports_.begin();
    }

    void tickDone(uint64_t tick) override {
        while (next_ != reports_.end() && *next_ < tick) ++next_;
        for (; next_ != reports_.end() && *next_ == tick; ++next_) printStatus();
    }

    void capReached(uint64_t tick) override {
        std::fflush(stdout);
        std::fprintf(stderr, "fusewick-arena: match still on after tick %llu, ended as the end key would\n",
                     static_cast<unsigned long long>(tick));
    }

private:
    std::vector<uint64_t> reports_;
    std::vector<uint64_t>::const_iterator next_;
};

[[noreturn]] void helpAndExit() {
    printArenaHelp();
    print_help();
}

}  // namespace

int main(int argc, char** argv) {
    installOutOfMemoryHandler();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // A help request is honoured before the runner's own option values are looked at, as the game does.
    if (asksForHelp(args)) helpAndExit();
    const ArenaOptions options = takeArenaOptions(args);
    if (asksForHelp(args)) helpAndExit();

    std::vector<const char*> game_argv{argc > 0 ? argv[0] : "fusewick-arena"};
    for (const std::string& a : args) game_argv.push_back(a.c_str());
    parseArgs(static_cast<int>(game_argv.size()), game_argv.data());
    if (config.debug_level > 5) printConfig();
    const LoadedMatch match = loadMatchFrom(sourcesOf(config), config);

    // The result file is opened before the match is played, so that a path that cannot be written is found early.
    std::ofstream json;
    if (!options.json_file.empty()) {
        json.open(options.json_file);
        if (!json) {
            std::fflush(stdout);
            std::fprintf(stderr, "Error: cannot write result file %s\n", options.json_file.c_str());
            return EXIT_USAGE;
        }
    }
    ArenaWatch watch(options.status_at);
    const MatchResult result = runMatch(match, options.max_ticks, &watch);
    std::fflush(stdout);
    if (json.is_open()) {
        json << resultJson(result).dump(2) << '\n';
        json.close();
        if (!json) {
            std::fprintf(stderr, "Error: cannot write result file %s\n", options.json_file.c_str());
            return EXIT_USAGE;
        }
    }
    return 0;
}
