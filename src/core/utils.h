// utils.h: the command line and configuration, the fatal-error routine with its exit codes, the status report.
//
// `config` is filled once by parseArgs and read by everyone afterwards. raise_error never returns.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/game.h"

struct Config {
    int32_t debug_level;                   // diagnostics on standard output above thresholds 1, 2, 3 and 5
    uint16_t pixel_width;                  // pixels per grid cell, horizontally
    uint16_t pixel_height;                 // pixels per grid cell, vertically
    std::array<std::string, TEAM_COUNT> team_file;  // team program files of teams 1 to 4
    std::string map_file;                  // the map file
};

extern Config config;

// Exit codes of the process.
enum ExitCode : int {
    EXIT_USAGE = 1,
    EXIT_SPRITE_MISSING = 2,
    EXIT_TEAM_MISSING = 3,
    EXIT_MAP_MISSING = 4,
    EXIT_SPRITE_INVALID = 5,
    EXIT_TEAM_INVALID = 6,
    EXIT_MAP_INVALID = 7,
    EXIT_OUT_OF_MEMORY = 50,
};

// [SECTION] The command line: one grammar for the game and every program that takes the game's command line

// The configuration before any option: cells of 40 x 40 pixels, debug level 0, "default.map", "default.fpl" x 4.
Config defaultConfig();

// What an entry in the option part of the command line is. Every option but the help takes the next entry as its
// value. Short forms are exactly two characters; long forms match on their leading characters.
enum class GameOption { Invalid, Debug, Height, Width, Map, Help };
GameOption classifyGameOption(std::string_view entry);
constexpr bool optionTakesValue(GameOption option) {
    return option != GameOption::Invalid && option != GameOption::Help;
}

// How the game reads a command line (`args` without the program's name), without printing or exiting: a help
// request, a usage fault, or the configuration to run with. The order of the checks is the game's: a last entry
// starting with -h or --help asks for help whatever precedes it; then the team files (1 or 4) are counted off the
// end; then the options before them are read in order until one is faulty or asks for help. A value that does not
// scan as a number leaves the default in place.
struct GameArgs {
    enum class Outcome { Run, Help, Usage };
    Outcome outcome;
    Config config;   // with Run: the configuration
    int team_files;  // with Run: how many team files were given, 1 or 4
    std::string fault;  // with Usage: what is wrong, in a few words ("unknown option -x")
};
GameArgs readGameArgs(const std::vector<std::string>& args);

// Fills `config` from the argument vector. Prints the help and exits 0 on request; exits 1 on a bad command line.
void parseArgs(int argc, const char* const* argv);

// Prints the help text and exits with status 0.
[[noreturn]] void print_help();

// Prints the configuration.
void printConfig();

// Prints the configuration when the debug level asks for it (above 5), as every program does right after reading
// its command line.
void printConfigWhenAsked();

// Writes the error report of `code` to standard error and ends the process with `code`.
[[noreturn]] void raise_error(int code);

// Ends the process with `status` (std::exit; the fuzzing build throws instead).
[[noreturn]] void endProcess(int status);

// The message line of an exit code, as raise_error prints it.
const char* errorMessage(int code);

// Routes allocation failure to raise_error(50).
void installOutOfMemoryHandler();

// Prints the whole game state as an indented report.
void printStatus();
