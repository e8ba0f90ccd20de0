// utils.cpp: the command line, the help text, the configuration print and the exit-code messages.
//
// Values are scanned with the C library's "%d" and "%hu" conversions on purpose: a value that does not parse
// leaves the default in place without a word, and "%hu" wraps as players' scripts have always seen it wrap.
#include "core/utils.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

Config config;

namespace {

constexpr const char* PROGRAM_NAME = "fusewick";
constexpr const char* DEFAULT_MAP = "default.map";
constexpr const char* DEFAULT_TEAM = "default.fpl";

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool isOption(std::string_view s) { return !s.empty() && s[0] == '-'; }

// Team files stand last; how many there are (1 or 4) is read off the tail before any option is looked at. 0: the
// tail is a usage fault.
int countTeamFiles(const std::vector<std::string>& args) {
    const size_t argc = args.size() + 1;  // counted as in the argument vector, the program's name included
    // Entry 0 is the program's name, which is never taken for an option.
    static const std::string program_name;
    auto entry = [&](size_t k) -> const std::string& { return k == 0 ? program_name : args[k - 1]; };
    if (argc == 2) return 1;
    if (isOption(entry(argc - 2)) || isOption(entry(argc - 3))) return 1;
    if (argc <= 4) return 0;
    if (isOption(entry(argc - 4))) return 0;
    return 4;
}

}  // namespace

Config defaultConfig() {
    Config c;
    c.debug_level = 0;
    c.pixel_width = 40;
    c.pixel_height = 40;
    c.map_file = DEFAULT_MAP;
    for (auto& file : c.team_file) file = DEFAULT_TEAM;
    return c;
}

// Short forms are exactly two characters; long forms match on their leading characters ("--mapfile" is "--map").
GameOption classifyGameOption(std::string_view entry) {
    if (!isOption(entry) || entry.size() < 2) return GameOption::Invalid;
    if (entry[1] != '-') {
        if (entry.size() != 2) return GameOption::Invalid;
        switch (entry[1]) {
        case 'D': return GameOption::Debug;
        case 'H': return GameOption::Height;
        case 'W': return GameOption::Width;
        case 'M': return GameOption::Map;
        case 'h': return GameOption::Help;
        default: return GameOption::Invalid;
        }
    }
    if (startsWith(entry, "--height")) return GameOption::Height;
    if (startsWith(entry, "--width")) return GameOption::Width;
    if (startsWith(entry, "--debug")) return GameOption::Debug;
    if (startsWith(entry, "--map")) return GameOption::Map;
    if (startsWith(entry, "--help")) return GameOption::Help;
    return GameOption::Invalid;
}

GameArgs readGameArgs(const std::vector<std::string>& args) {
    GameArgs result{GameArgs::Outcome::Usage, defaultConfig(), 0, ""};
    if (args.empty()) {
        result.fault = "no team file given";
        return result;
    }
    const std::string& last = args.back();
    if (startsWith(last, "-h") || startsWith(last, "--help")) {
        result.outcome = GameArgs::Outcome::Help;
        return result;
    }
    if (isOption(last)) {
        result.fault = "the last argument, " + last + ", must be a team file";
        return result;
    }

    const int team_files = countTeamFiles(args);
    if (team_files == 0) {
        result.fault = "give 1 or 4 team files after the options";
        return result;
    }
    result.team_files = team_files;

    Config& c = result.config;
    const size_t option_end = args.size() - static_cast<size_t>(team_files);
    for (size_t i = 0; i < option_end; i += 2) {
        const GameOption option = classifyGameOption(args[i]);
        if (option == GameOption::Invalid) {
            result.fault = isOption(args[i]) ? "unknown option " + args[i]
                                             : args[i] + " is not an option: team files stand last, 1 or 4 of them";
            return result;
        }
        if (option == GameOption::Help) {
            result.outcome = GameArgs::Outcome::Help;
            return result;
        }
        const char* value = args[i + 1].c_str();  // exists: the last entry is always a team file
        switch (option) {
        case GameOption::Debug: std::sscanf(value, "%d", &c.debug_level); break;
        case GameOption::Height: std::sscanf(value, "%hu", &c.pixel_height); break;
        case GameOption::Width: std::sscanf(value, "%hu", &c.pixel_width); break;
        case GameOption::Map: c.map_file = value; break;
        default: break;
        }
    }
    for (int t = 0; t < team_files; ++t)
        c.team_file[static_cast<size_t>(t)] = args[args.size() - static_cast<size_t>(team_files - t)];
    result.outcome = GameArgs::Outcome::Run;
    return result;
}

void parseArgs(int argc, const char* const* argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    GameArgs read = readGameArgs(args);
    switch (read.outcome) {
    case GameArgs::Outcome::Help: print_help();
    case GameArgs::Outcome::Usage: raise_error(EXIT_USAGE);
    case GameArgs::Outcome::Run: config = std::move(read.config); break;
    }
}

void print_help() {
    std::printf("Usage: %s [options] <file1> [<files> ...]\n\n", PROGRAM_NAME);
    std::printf("Main options:\n");
    std::printf("-W <value>, --width <value>        Per-grid pixel width ");
    std::printf("(default is %d)\n", 40);
    std::printf("-H <value>, --height <value>       Per-grid pixel height ");
    std::printf("(default is %d)\n", 40);
    std::printf("-D <value>, --debug <value>        Debug level ");
    std::printf("(default is %d)\n", 0);
    std::printf("-M <file>, --map <file>            Map file ");
    std::printf("(default is %s)\n", DEFAULT_MAP);
    std::printf("-h, --help                         Print this message\n");
    std::printf("<file1> <file2> <file3> <file4>    Team files ");
    std::printf("(default is %s)\n", DEFAULT_TEAM);
    endProcess(0);
}

void printConfig() {
    std::printf("\nCurrent configuration information:\n");
    std::printf("Debug level:           %d\n", config.debug_level);
    std::printf("Per-grid pixel width:  %d\n", config.pixel_width);
    std::printf("Per-grid pixel height: %d\n", config.pixel_height);
    for (int t = 0; t < TEAM_COUNT; ++t) std::printf("Team %d file name:      %s\n", t, config.team_file[t].c_str());
    std::printf("Map file name:         %s\n", config.map_file.c_str());
    std::printf("\n");
}

void printConfigWhenAsked() {
    if (config.debug_level > 5) printConfig();
}

const char* errorMessage(int code) {
    switch (static_cast<unsigned>(code)) {
    case 1:
        return "Usage: fusewick [-W <n>] [-H <n>] [-D <n>] [-M <file>] <file1> [<file2> <file3> <file4>]\n";
    case 2: return "Error: .bmp texture file not found\n";
    case 3: return "Error: .fpl player file not found\n";
    case 4: return "Error: .map map file not found\n";
    case 5: return "Error: .bmp texture file is invalid\n";
    case 6: return "Error: .fpl player file is invalid\n";
    case 7: return "Error: .map map file is invalid\n";
    case 50: return "Error: application ran out of memory\n";
    default: return "Error: undefined error\n";
    }
}

void installOutOfMemoryHandler() {
    std::set_new_handler([] { raise_error(EXIT_OUT_OF_MEMORY); });
}
