// loaders.h: the map and team compilers as functions of a source text, apart from the global records.
//
// Each reader turns a source (a file on disk or a text in memory, text_file.h) into plain data or into the fault
// that refuses it, in the game's own words; nothing is printed and nothing ends the process here. The game's
// compileMap and compileTeams (fusewick.h) are these readers followed by reportFault or by applying the data to
// `game`, so a tool that reads a file through them finds exactly the faults the game would stop on.
// No OpenGL in here.
#pragma once

#include "core/game.h"
#include "core/text_file.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// [SECTION] Faults ----------------------------------------------------------------------------------------------------

// Why a file is refused (or, for a notice, what was dropped), as the game reports it.
struct LoadFault {
    enum class Place { Missing, Line, WholeFile };
    Place place = Place::Line;
    int exit_code = 0;    // the process's exit code for this fault
    int line = 0;         // the line, counted from 1, when place is Line
    std::string message;  // the detail line(s) printed after the "Error compiling" line, line ends included
};

// Prints a fault's detail lines to standard output: "Error compiling <path>, line <n>" (or without the line when it
// concerns the whole file) and the message. A missing file has no detail lines.
void printFault(const std::string& path, const LoadFault& fault);

// Prints the fault and ends the process through raise_error with its exit code.
[[noreturn]] void reportFault(const std::string& path, const LoadFault& fault);

// [SECTION] Maps --------------------------------------------------------------------------------------------------------

struct MapData {
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<std::string> rows;  // `height` rows of exactly `width` bytes
};

struct MapRead {
    MapData map;
    std::vector<LoadFault> notices;  // surplus rows, reported and dropped
    std::optional<LoadFault> fault;  // set when the game refuses the map
};

MapRead readMap(const SourceFile& source);

// Puts the grid into `game`.
void applyMap(const MapData& map);

// [SECTION] Team files ----------------------------------------------------------------------------------------------------

// One player as its team file describes it: its type (CAPTAIN when no type line names it) and its program, with the
// line of the team file that each command comes from.
struct PlayerProgram {
    uint32_t type = CAPTAIN;
    bool type_given = false;     // a type line named the type
    std::vector<Command> commands;
    std::vector<int> lines;      // source line of each command
};

struct TeamData {
    std::string name;  // the team's name: the file name without its last four characters
    std::array<PlayerProgram, PLAYER_COUNT> players;
    int types_given = 0;  // type lines read, 0..4
};

struct TeamRead {
    TeamData team;
    std::optional<LoadFault> fault;  // set when the game refuses the file; `team` then holds the lines before it
};

TeamRead readTeam(const SourceFile& source);

// The name a team file gives its team: the file name without its last four characters (the ".fpl"), directory
// part kept. A name of four characters or fewer is kept whole.
std::string teamName(const std::string& path);

// One significant line of a team file, read as the compiler reads it: the next type line while fewer than four have
// been read, a program line after that. Adds what the line gives to `team` or returns its fault. For tools that go
// on after a fault (a checker); readTeam is these calls over the whole file.
std::optional<LoadFault> readTeamLine(TeamData& team, const char* line, int line_number);

// Sets the type attributes and the program of every player of `team` as the team compiler does (setup must have
// reset the players first).
void applyTeam(Team& team, const TeamData& data);
