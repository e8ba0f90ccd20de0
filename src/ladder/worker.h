// worker.h: a ladder worker: claims a match in the database, plays it with the match library in this process and
// stores the result with its compressed replay, until told to stop. The game's state is one record per process,
// so a worker is a process of its own (`fusewick-ladder work`, which `serve` also starts for its local workers).
#pragma once

#include "ladder/store.h"

#include "match/replay.h"

#include <nlohmann/json_fwd.hpp>

#include <atomic>
#include <optional>
#include <string>

namespace ladder {

// Exit codes of fusewick-ladder.
enum LadderExitCode : int {
    EXIT_LADDER_DONE = 0,
    EXIT_LADDER_FILES = 1,     // a map cannot be read or the game would refuse it; a backup cannot be written
    EXIT_LADDER_USAGE = 2,     // bad command line
    EXIT_LADDER_DATABASE = 3,  // the database cannot be opened or used
    EXIT_LADDER_ENGINE = 4,    // the ladder plays by another engine version than this program
    EXIT_LADDER_ADDRESS = 5,   // the server cannot listen on the address given
    EXIT_LADDER_VERIFY = 6,    // a stored replay does not reproduce its match, or differs from the stored result
};

struct WorkerOptions {
    std::string db;
    std::string name;      // host:pid unless given
    bool once = false;     // stop when nothing is left to play (tests, benchmarks)
    int64_t max_matches = 0;  // stop after this many (0: no limit)
};

// Set from a signal handler: finish nothing more, give the current claim back.
extern std::atomic<bool> stop_requested;

std::string hostName();

// The match's replay text compressed for storage, and back.
std::string compressReplay(const std::string& text);
std::string decompressReplay(const std::string& bytes);  // empty when the bytes are not a compressed replay

// A replay as a match's row keeps it. The texts of the map and the team versions are in their own tables once, so
// the stored replay leaves them out, its files named by the part they play; replayFile fills them in from the
// match's map and versions and gives the document the recorder made, byte for byte. Thousands of matches of the
// same versions then cost a fraction of the room, and a worker writes and compresses a fraction of the text.
StoredReplay storedReplay(Replay replay);
// The replay file of a played match, in either stored form; nothing when there is none or it cannot be read.
std::optional<std::string> replayFile(Db& db, int64_t match_id);

// Plays until stopped; the exit code.
int runWorker(const WorkerOptions& options);

// Plays every stored replay again with the replay checker and compares its outcome with the stored result; one
// JSON line of counts on standard error. The exit code: 0, EXIT_LADDER_VERIFY or EXIT_LADDER_DATABASE.
int verifyReplays(const std::string& db);

// One JSON line on standard error: the time, the event and its fields.
void logEvent(const std::string& event, nlohmann::json fields);
void logEvent(const std::string& event);

}  // namespace ladder
