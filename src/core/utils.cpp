// utils.cpp: the command line, the help text, the configuration print and the exit-code messages.
//
// Values are scanned with the C library's "%d" and "%hu" conversions on purpose: a value that does not parse
// leaves the default in place without a word, and "%hu" wraps as players' scripts have always seen it wrap.
#include "core/utils.h"

#include <cstdio>
#include <cstring>
#include <new>

Config config;

namespace {

constexpr const char* PROGRAM_NAME = "fusewick";
constexpr const char* DEFAULT_MAP = "default.map";
constexpr const char* DEFAULT_TEAM = "default.fpl";

bool startsWith(const char* s, const char* prefix) {
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

bool isOption(const char* s) { return s[0] == '-'; }

// Team files stand last; how many there are (1 or 4) is read off the tail before any option is looked at.
int countTeamFiles(int argc, const char* const* argv) {
    if (argc == 2) return 1;
    if (isOption(argv[argc - 2]) || isOption(argv[argc - 3])) return 1;
    if (argc <= 4) raise_error(EXIT_USAGE);
    if (isOption(argv[argc - 4])) raise_error(EXIT_USAGE);
    return 4;
}

enum class Option { Debug, Height, Width, Map, Help };

// Short forms are exactly two characters; long forms match on their leading characters ("--mapfile" is "--map").
Option classifyOption(const char* entry) {
    const size_t len = std::strlen(entry);
    if (!isOption(entry) || len < 2) raise_error(EXIT_USAGE);
    if (entry[1] != '-') {
        if (len != 2) raise_error(EXIT_USAGE);
        switch (entry[1]) {
        case 'D': return Option::Debug;
        case 'H': return Option::Height;
        case 'W': return Option::Width;
        case 'M': return Option::Map;
        case 'h': return Option::Help;
        default: raise_error(EXIT_USAGE);
        }
    }
    if (startsWith(entry, "--height")) return Option::Height;
    if (startsWith(entry, "--width")) return Option::Width;
    if (startsWith(entry, "--debug")) return Option::Debug;
    if (startsWith(entry, "--map")) return Option::Map;
    if (startsWith(entry, "--help")) return Option::Help;
    raise_error(EXIT_USAGE);
}

}  // namespace

void parseArgs(int argc, const char* const* argv) {
    if (argc < 2) raise_error(EXIT_USAGE);
    const char* last = argv[argc - 1];
    if (startsWith(last, "-h") || startsWith(last, "--help")) print_help();
    if (isOption(last)) raise_error(EXIT_USAGE);

    const int team_files = countTeamFiles(argc, argv);

    config.debug_level = 0;
    config.pixel_height = 40;
    config.pixel_width = 40;
    config.map_file = DEFAULT_MAP;
    for (auto& file : config.team_file) file = DEFAULT_TEAM;

    // An int index: argument vectors of any length are read in full.
    for (int i = 1; i < argc - team_files; ++i) {
        const Option option = classifyOption(argv[i]);
        if (option == Option::Help) print_help();
        const char* value = argv[i + 1];  // exists: the last entry is always a team file
        ++i;
        switch (option) {
        case Option::Debug: std::sscanf(value, "%d", &config.debug_level); break;
        case Option::Height: std::sscanf(value, "%hu", &config.pixel_height); break;
        case Option::Width: std::sscanf(value, "%hu", &config.pixel_width); break;
        case Option::Map: config.map_file = value; break;
        case Option::Help: break;
        }
    }

    for (int t = 0; t < team_files; ++t) config.team_file[t] = argv[argc - team_files + t];
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
    for (int t = 0; t < 4; ++t) std::printf("Team %d file name:      %s\n", t, config.team_file[t].c_str());
    std::printf("Map file name:         %s\n", config.map_file.c_str());
    std::printf("\n");
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
