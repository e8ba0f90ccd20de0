// store.h: the ladder's records in its database: teams and their versions, the maps, the matches from queued to
// played with their replays, the workers. One schema for SQLite and PostgreSQL, brought up to date by numbered
// migrations when a program opens the database. Everything a worker needs to play (maps, team texts, the rules of
// play) is in here, so a worker on another machine needs nothing but the database's address.
//
// Claims: a worker claims the oldest queued match (or one whose lease ran out) under a fresh claim id; the result is
// stored only while that claim is still the match's, in one transaction with the replay, so a match whose claim was
// taken over is never counted twice. No HTTP and no game state in here.
#pragma once

#include "ladder/db.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ladder {

constexpr int SEATS = 4;
constexpr int MAX_ATTEMPTS = 3;  // a match whose worker died this often is set aside as failed, not replayed forever

int64_t nowSeconds();

// Creates the tables or brings them up to date; records the engine version of a new ladder. Safe to call from
// several processes at once.
void migrate(Db& db, int up_to = 0);  // up to that schema version (0: the latest), for the tests of upgrades
int schemaVersion(Db& db);

// The engine version the ladder plays with, or nothing before the first migration.
std::optional<int> ladderEngine(Db& db);

// [SECTION] Settings: the rules every worker plays by, written by `serve`.
struct Settings {
    uint64_t max_ticks = 100000;
    uint64_t budget = 100000;  // matches at most, queued ones included
    double width = 100;        // play stops once every 95 % interval is narrower than this (Elo points)
    int placement = 8;         // matches of a new version before it takes part in the uncertainty-driven groups
    int batch = 8;             // matches queued at a time
    int64_t lease = 600;       // seconds a claim is held before it goes back to the queue
};
void saveSettings(Db& db, const Settings& settings);
Settings loadSettings(Db& db);

// The turn to choose the next matches: one process refits and queues at a time, the others play on meanwhile. A
// turn not given back (its holder died) lapses after `seconds`. True when this process now holds it.
bool takeSchedulingTurn(Db& db, int64_t seconds);
// Gives the turn back, inside the caller's transaction or on its own.
void endSchedulingTurn(Db& db);

// [SECTION] Maps
struct MapEntry {
    int64_t id = 0;
    std::string name;
    std::string text;
};
// Adds the maps that are not there yet (by name) and makes exactly these the ones played.
void saveMaps(Db& db, const std::vector<MapEntry>& maps);
std::vector<MapEntry> activeMaps(Db& db);
std::optional<MapEntry> findMap(Db& db, int64_t map_id);  // a map never changes once stored, active or not

// [SECTION] Teams
struct Team {
    int64_t id = 0;
    std::string name;
    bool withdrawn = false;
    int64_t version_id = 0;  // the current version
    int version = 0;         // its number, from 1
    int64_t created_at = 0;
};
struct Version {
    int64_t id = 0;
    int64_t team_id = 0;
    int number = 0;
    int64_t created_at = 0;
    std::string source;
};

enum class CreateOutcome { Created, NameTaken };
struct Created {
    CreateOutcome outcome = CreateOutcome::Created;
    Team team;
};
Created createTeam(Db& db, const std::string& name, const std::string& token_hash, const std::string& source);
std::optional<Team> findTeam(Db& db, int64_t id);
std::optional<std::string> tokenHashOf(Db& db, int64_t team_id);
// A new version becomes current; queued matches of the old one are cancelled (played ones stay).
Version addVersion(Db& db, int64_t team_id, const std::string& source);
void withdrawTeam(Db& db, int64_t team_id);
std::vector<Team> activeTeams(Db& db);
std::vector<Version> versionsOf(Db& db, int64_t team_id, bool with_source = false);
std::optional<Version> findVersion(Db& db, int64_t version_id);

// [SECTION] Matches
struct Seat {
    int64_t team_id = 0;
    int64_t version_id = 0;
    std::string team;  // its name
    int version = 0;   // its number
    int score = 0;
    bool winner = false;
};
struct Match {
    int64_t id = 0;
    std::string state;  // queued, claimed, done, cancelled, failed
    int64_t map_id = 0;
    std::string map;
    std::array<Seat, SEATS> seats;
    uint64_t ticks = 0;
    bool capped = false;
    int64_t finished_at = 0;
    std::string worker;
};
std::optional<Match> findMatch(Db& db, int64_t id);
// The map and the seats' versions and teams only, from the match's own row: what a worker needs to play it.
std::optional<Match> findMatchSeats(Db& db, int64_t id);
// Played matches, newest first, of one team (0: of all), with ids below `before` (0: from the newest).
std::vector<Match> playedMatches(Db& db, int64_t team_id, int64_t before, int limit);
// Every played match, oldest first: what the ratings are fitted on.
std::vector<Match> allPlayed(Db& db);
// The played matches from id `first` up, in id order.
std::vector<Match> playedFrom(Db& db, int64_t first);
// The lowest id of a match still queued or claimed (one past the last match when none is): every match below it
// has reached a state it never leaves.
int64_t unsettledFrom(Db& db);
// A match's replay as stored: compressed, and with the texts of its files left out when `sources_by_reference`
// (worker.h makes and reads both forms).
struct StoredReplay {
    std::string data;
    bool sources_by_reference = false;
};
std::optional<StoredReplay> replayOf(Db& db, int64_t match_id);

// Queues a match of four versions on a map.
int64_t queueMatch(Db& db, int64_t map_id, const std::array<int64_t, SEATS>& versions);

// [SECTION] Claims
struct Claim {
    int64_t match_id = 0;
    std::string claim;  // the claim's own id, which storing the result must still find on the match
    // Its map and its seats' versions and teams, read in the claim's own transaction (no names, no results).
    std::optional<Match> match;
};
std::optional<Claim> claimMatch(Db& db, const std::string& worker, int64_t lease_seconds);
struct Outcome {
    std::array<int, SEATS> scores{};
    std::array<bool, SEATS> winners{};
    uint64_t ticks = 0;
    bool capped = false;
};
// Stores the result and the replay in one transaction. False when the claim is no longer the match's: the match
// was handed to another worker and is counted once, by whoever still holds it.
// With `next`, claims the next match for the same worker in the same transaction.
bool finishMatch(Db& db, const Claim& claim, const Outcome& outcome, const StoredReplay& replay,
                 const std::string& worker, std::optional<Claim>* next = nullptr, int64_t lease_seconds = 0);
// Gives a claim back (a worker stopping) or sets a match aside that cannot be played.
void returnClaim(Db& db, const Claim& claim);
// Returns the claims of workers on this host whose processes are gone; the number returned.
int returnClaimsOfDeadWorkers(Db& db, const std::string& host);

// [SECTION] Workers and the queue
void workerSeen(Db& db, const std::string& name, const std::string& host, int pid, bool stopping);
struct QueueCounts {
    int64_t queued = 0, claimed = 0, done = 0, failed = 0, cancelled = 0;
    int64_t last_minutes = 0;  // played in the last five minutes
    int64_t workers = 0;       // seen in the last minute
};
QueueCounts queueCounts(Db& db);
// The number of played matches: what a cached fit is keyed by.
int64_t playedCount(Db& db);

}  // namespace ladder
