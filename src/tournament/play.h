// play.h: one scheduled match played in this process from the texts held in memory, as a result line.
#pragma once

#include "tournament/result_line.h"
#include "tournament/schedule.h"

#include <string>
#include <vector>

namespace tournament {

// What every match of a tournament shares: the entrants, read once, and the rules of play.
struct Field {
    std::vector<Entrant> teams;
    std::vector<Entrant> maps;
    uint64_t max_ticks = 0;
    std::string replay_dir;  // empty: no replays
};

// Where the replay of match `id` goes: <dir>/<id>.replay, which `fusewick-arena --replay` plays and checks.
std::string replayPath(const std::string& dir, const std::string& id);

// Plays `match` with the game's console output going wherever standard output goes. With a replay folder, writes
// the match's replay there (an std::runtime_error when that fails).
MatchLine playScheduled(const Field& field, const ScheduledMatch& match);

}  // namespace tournament
