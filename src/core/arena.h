// arena.h: the headless runner. It takes the game's own command line and team files plus a few options of its
// own, starts the match as if the start key had been pressed before the first frame, runs frames until the match
// is over and can write the result as JSON.
//
// Lives in the core library so that it can be tested without a window. No OpenGL in here.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The runner's own options, taken out of the argument vector before the game's parser sees it.
struct ArenaOptions {
    std::vector<uint64_t> status_at;  // ticks after whose frame the status report is printed
    uint64_t max_ticks = 1000000;     // after this tick a match still on is ended as the end key would
    std::string json_file;            // where the result goes; empty: nowhere
};

// What the run loop did.
struct ArenaRun {
    uint64_t ticks = 0;   // ticks played, the closing one after the cap included
    bool capped = false;  // the match was ended because it ran past max_ticks
};

// Removes the runner's options (--status-at, --max-ticks, --json, each with its value) from `args`, which holds the
// arguments without the program name, and returns them. Values of the game's own options are left alone even when
// they look like one of ours. A missing or bad value ends the process with the usage report (code 1).
ArenaOptions takeArenaOptions(std::vector<std::string>& args);

// True when the game's parser, given `args` (without the program name), would print its help text.
bool asksForHelp(const std::vector<std::string>& args);

// Prints the runner's own part of the help text (the game's help text follows it).
void printArenaHelp();

// Runs frames of the loaded match until it is over, with the status reports and the tick cap of `options`.
// The match runs from the first frame on. Prints to standard output (and the cap notice to standard error).
ArenaRun runArena(const ArenaOptions& options);

// Writes the result of the match in `game` as JSON: teams with name, score and winner flag, ticks played, and
// each player's type, status, health and final position.
void writeResultJson(std::ostream& out, const ArenaRun& run);

// The whole runner: options, start-up in the game's order, the run, the JSON file. Returns the exit status.
int arenaMain(int argc, const char* const* argv);
