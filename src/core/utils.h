// utils.h: the command line and configuration, the fatal-error routine with its exit codes, the status report.
//
// `config` is filled once by parseArgs and read by everyone afterwards. raise_error never returns.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct Config {
    int32_t debug_level;                   // diagnostics on standard output above thresholds 1, 2, 3 and 5
    uint16_t pixel_width;                  // pixels per grid cell, horizontally
    uint16_t pixel_height;                 // pixels per grid cell, vertically
    std::array<std::string, 4> team_file;  // team program files of teams 1 to 4
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

// Fills `config` from the argument vector. Prints the help and exits 0 on request; exits 1 on a bad command line.
void parseArgs(int argc, const char* const* argv);

// Prints the help text and exits with status 0.
[[noreturn]] void print_help();

// Prints the configuration.
void printConfig();

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
