// tool_options.h: what the programs that take the game's command line plus options of their own (fusewick-arena,
// fusewick-view) share: how they report a usage fault, how they read a number of ticks, and how they take their own
// options out of the argument vector so that the rest goes to the game's grammar unchanged.
#pragma once

#include "core/utils.h"
#include "core/version.h"
#include "match/replay.h"
#include "match/result_json.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Says what is wrong, how the program is called and where the help is, and exits with the usage code.
[[noreturn]] inline void usageError(const char* program, const char* own_options, const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "%s: %s\nUsage: %s [%s] [options] <file1> [<file2> <file3> <file4>]\n"
                 "Try '%s --help' for more information.\n",
                 program, what.c_str(), program, own_options, program);
    std::exit(EXIT_USAGE);
}

// A decimal number of ticks, or nothing for anything else (a sign, a blank, text, too many digits).
inline std::optional<uint64_t> tickValue(const std::string& s) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return std::stoull(s);
}

// Takes the program's own options out of `args` (the arguments without the program's name) and hands each with
// its value to `take(option, value)`; "--version" prints the version and exits. An option without its value calls
// `missing(option)`. Values of the game's own options stay with them, even when they look like one of ours.
template <typename Take, typename Missing>
void takeOwnOptions(std::vector<std::string>& args, const char* program, const std::vector<std::string>& own,
                    Take take, Missing missing) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& e = args[i];
        if (e == "--version") {
            std::printf("%s %s\n", program, PROGRAM_VERSION);
            std::exit(0);
        }
        if (std::find(own.begin(), own.end(), e) == own.end()) {
            rest.push_back(e);
            if (optionTakesValue(classifyGameOption(e)) && i + 1 < args.size()) rest.push_back(args[++i]);
            continue;
        }
        if (i + 1 >= args.size()) missing(e);
        take(e, args[++i]);
    }
    args = std::move(rest);
}

// Takes the program's own flags (options without a value) out of `args`, as takeOwnOptions takes its options:
// returns the flags found. Values of the game's own options stay with them.
inline std::vector<std::string> takeOwnFlags(std::vector<std::string>& args, const std::vector<std::string>& own) {
    std::vector<std::string> rest;
    std::vector<std::string> found;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& e = args[i];
        if (std::find(own.begin(), own.end(), e) != own.end()) {
            found.push_back(e);
            continue;
        }
        rest.push_back(e);
        if (optionTakesValue(classifyGameOption(e)) && i + 1 < args.size()) rest.push_back(args[++i]);
    }
    args = std::move(rest);
    return found;
}

// What a program plays: the sources, the configuration, and the replay they came from, if any.
struct ToolSetup {
    MatchSources sources;
    Config config;
    std::optional<Replay> replay;
};

// The match a replay file holds, with the configuration it ran with; a file that is not a readable replay ends the
// process with "<program>: <file>: <reason>" and exit code 8, as every program that reads replays reports it.
inline ToolSetup setupFromReplay(const char* program, const std::string& path) {
    ReplayRead read = readReplayFile(path);
    if (!read.replay) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s: %s\n", program, path.c_str(), read.error.c_str());
        std::exit(EXIT_REPLAY_INVALID);
    }
    ToolSetup setup{read.replay->sources, read.replay->options, std::move(read.replay)};
    setup.config.map_file = setup.sources.map.path;
    for (size_t t = 0; t < TEAM_COUNT; ++t) setup.config.team_file[t] = setup.sources.teams[t].path;
    return setup;
}
