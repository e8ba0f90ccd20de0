// arena.cpp: the headless runner: its own options, the start-up in the game's order, the frame loop and the JSON
// result.
//
// The match runs through frameStep, the same step the window calls after drawing, so the console output is
// exactly what the windowed program prints for the same match started with the start key and left alone.
// Must not depend on OpenGL.
#include "core/arena.h"

#include "core/fusewick.h"
#include "core/utils.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

// [SECTION] Options

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool isOption(const std::string& s) { return !s.empty() && s[0] == '-'; }

enum class GameOption { Invalid, WithValue, Help };

// How the game's parser reads an entry in its option part: short forms are exactly two characters, long forms
// match on their leading characters.
GameOption classifyGameOption(const std::string& e) {
    if (e.size() < 2 || e[0] != '-') return GameOption::Invalid;
    if (e[1] != '-') {
        if (e.size() != 2) return GameOption::Invalid;
        if (std::strchr("DHWM", e[1]) != nullptr) return GameOption::WithValue;
        return e[1] == 'h' ? GameOption::Help : GameOption::Invalid;
    }
    for (const char* name : {"--height", "--width", "--debug", "--map"})
        if (startsWith(e, name)) return GameOption::WithValue;
    return startsWith(e, "--help") ? GameOption::Help : GameOption::Invalid;
}

// A decimal number of ticks; anything else (a sign, a blank, text, too many digits) is a usage fault.
uint64_t tickValue(const std::string& s) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos)
        raise_error(EXIT_USAGE);
    return std::stoull(s);
}

// [SECTION] Result

const char* typeName(uint32_t type) {
    static const char* const NAMES[] = {"CAPTAIN", "GHOST", "STRETCHER", "SAFETY", "SPRINTER", "HOARDER", "HULK"};
    return type < std::size(NAMES) ? NAMES[type] : "UNKNOWN";
}

}  // namespace

ArenaOptions takeArenaOptions(std::vector<std::string>& args) {
    ArenaOptions options;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& e = args[i];
        const bool ours = e == "--status-at" || e == "--max-ticks" || e == "--json";
        if (!ours) {
            rest.push_back(e);
            // A value of the game's own options stays with it, whatever it looks like.
            if (classifyGameOption(e) == GameOption::WithValue && i + 1 < args.size()) rest.push_back(args[++i]);
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

// Mirrors the order of the game's parser: a last entry -h... or --help... asks for help whatever precedes it;
// otherwise the team files are counted off the tail and the options before them are read until one is faulty.
bool asksForHelp(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    const std::string& last = args.back();
    if (startsWith(last, "-h") || startsWith(last, "--help")) return true;
    if (isOption(last)) return false;
    const size_t argc = args.size() + 1;
    auto entry = [&](size_t k) -> const std::string& { return args[k - 1]; };  // k >= 1, as in argv
    size_t team_files = 4;
    if (argc == 2 || isOption(entry(argc - 2)) || (argc > 3 && isOption(entry(argc - 3)))) {
        team_files = 1;
    } else if (argc <= 4 || isOption(entry(argc - 4))) {
        return false;
    }
    for (size_t i = 1; i < argc - team_files; i += 2) {
        const GameOption option = classifyGameOption(entry(i));
        if (option == GameOption::Invalid) return false;
        if (option == GameOption::Help) return true;
    }
    return false;
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

ArenaRun runArena(const ArenaOptions& options) {
    std::vector<uint64_t> reports = options.status_at;
    std::sort(reports.begin(), reports.end());
    auto next_report = reports.begin();

    ArenaRun run;
    game.running = 1;  // the start key, pressed before the first frame
    while (game.game_over == 0) {
        if (run.ticks >= options.max_ticks && !run.capped) {
            run.capped = true;
            std::fflush(stdout);
            std::fprintf(stderr, "fusewick-arena: match still on after tick %llu, ended as the end key would\n",
                         static_cast<unsigned long long>(run.ticks));
            game.end_requested = 1;  // the next frame ends it
        }
        const bool ticks = game.running == 1 && game.game_over == 0;
        frameStep();
        if (!ticks) continue;
        ++run.ticks;
        while (next_report != reports.end() && *next_report < run.ticks) ++next_report;
        for (; next_report != reports.end() && *next_report == run.ticks; ++next_report) printStatus();
    }
    return run;
}

void writeResultJson(std::ostream& out, const ArenaRun& run) {
    nlohmann::ordered_json result;
    result["ticks"] = run.ticks;
    result["capped"] = run.capped;
    result["teams"] = nlohmann::ordered_json::array();
    for (int t = 0; t < TEAM_COUNT; ++t) {
        const Team& team = game.teams[t];
        nlohmann::ordered_json players = nlohmann::ordered_json::array();
        for (const Player& p : team.players) {
            players.push_back({{"type", typeName(p.type)},
                               {"status", p.status == 0 ? "alive" : "dead"},
                               {"health", static_cast<int>(p.health)},
                               {"x", static_cast<double>(p.x)},
                               {"y", static_cast<double>(p.y)}});
        }
        result["teams"].push_back({{"name", team.name},
                                   {"score", static_cast<int>(game.score[t])},
                                   {"winner", team.winner == 1},
                                   {"players", std::move(players)}});
    }
    out << result.dump(2) << '\n';
}

int arenaMain(int argc, const char* const* argv) {
    installOutOfMemoryHandler();
    std::vector<std::string> args(argv + 1, argv + argc);
    // A help request is honoured before the runner's own option values are looked at, as the game does.
    if (asksForHelp(args)) {
        printArenaHelp();
        print_help();
    }
    const ArenaOptions options = takeArenaOptions(args);
    if (asksForHelp(args)) {
        printArenaHelp();
        print_help();
    }

    std::vector<const char*> game_argv{argc > 0 ? argv[0] : "fusewick-arena"};
    for (const std::string& a : args) game_argv.push_back(a.c_str());
    parseArgs(static_cast<int>(game_argv.size()), game_argv.data());
    if (config.debug_level > 5) printConfig();
    loadMatch();

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
    const ArenaRun run = runArena(options);
    std::fflush(stdout);
    if (json.is_open()) {
        writeResultJson(json, run);
        json.close();
        if (!json) {
            std::fprintf(stderr, "Error: cannot write result file %s\n", options.json_file.c_str());
            return EXIT_USAGE;
        }
    }
    return 0;
}
