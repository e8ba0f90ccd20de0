// schedule.h: who meets whom, where and in which seats. The schedule of a tournament is a pure function of the
// team files, the maps and the options: every group of four distinct teams (or a reproducible sample of them), each
// in its seat orders, on each map, in one fixed order. Every match has an id drawn from what decides its outcome
// (the map, the seated team files with their contents, the tick cap), so ids and order do not depend on how many
// workers play the schedule, nor on the slice of it a machine plays.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tournament {

constexpr int SEATS = 4;

// A team file or map of the tournament: the path as the user gave it (lexically normalised) and its bytes.
struct Entrant {
    std::string path;
    std::string text;
};

// Paths that name one file, compared by their resolved form (std::filesystem::weakly_canonical), are one entrant:
// the first spelling given is kept. The result is sorted by path, so the order of the arguments does not matter.
std::vector<std::string> distinctFiles(const std::vector<std::string>& paths);

enum class SeatMode { Rotate, All };

struct ScheduleOptions {
    SeatMode seats = SeatMode::Rotate;
    std::optional<uint64_t> sample;  // draw this many groups instead of playing all of them
    uint64_t seed = 0;
    uint64_t max_ticks = 0;          // part of every match id: a different cap may give a different result
};

struct ScheduledMatch {
    std::string id;                        // 16 hex digits
    int map = 0;                           // index into the maps
    std::array<int, SEATS> seats{};        // indices into the teams, in seat order
};

// The groups of four to play, as sorted team indices. Four or more teams: every combination of four (or `sample`
// of them, drawn with `seed` so that every team is drawn about equally often). Fewer: every way to fill four seats
// with all of them, each team repeated equally often over the groups (AABB for two teams; AABC, ABBC and ABCC for
// three; AAAA for one).
std::vector<std::array<int, SEATS>> scheduleGroups(int team_count, const ScheduleOptions& options);

// The number of groups of four distinct teams out of `team_count`, saturating at UINT64_MAX.
uint64_t groupCount(int team_count);

// The seat orders of one group: its four rotations, or all its orders; an order that repeats an earlier one (a
// group that names a team twice) is played once.
std::vector<std::array<int, SEATS>> seatOrders(const std::array<int, SEATS>& group, SeatMode mode);

// The whole schedule: for each map in the order given, for each group, for each seat order.
std::vector<ScheduledMatch> buildSchedule(const std::vector<Entrant>& teams, const std::vector<Entrant>& maps,
                                          const ScheduleOptions& options);

// The id of a match: a 64-bit FNV-1a hash, in hex, of the map, the seated team files (paths and contents) and the
// tick cap.
std::string matchId(const Entrant& map, const std::array<const Entrant*, SEATS>& seats, uint64_t max_ticks);

// What a tournament is made of, each part hashed or spelt out so that two results files can tell in which part
// their tournaments differ: the team files and the maps (paths and contents, in the schedule's order), the seat
// mode, the sample and its seed, and the tick cap. `id` hashes all of them.
struct Fingerprint {
    std::string id;
    std::string teams;
    std::string maps;
    std::string seats;                // "rotate" or "all"
    std::optional<uint64_t> sample;
    uint64_t seed = 0;
    uint64_t max_ticks = 0;

    bool operator==(const Fingerprint&) const = default;
};
Fingerprint tournamentFingerprint(const std::vector<Entrant>& teams, const std::vector<Entrant>& maps,
                                  const ScheduleOptions& options);

// The parts in which two fingerprints differ, in words: "the team files", "the maps", "the seat mode", "the
// sample", "the seed", "the tick cap". Empty when only the ids differ or nothing does.
std::vector<std::string> fingerprintDifferences(const Fingerprint& a, const Fingerprint& b);

// Slice `index` of `count` of a schedule: every match whose position modulo `count` is `index`, which spreads the
// maps and groups evenly over the slices.
struct Shard {
    uint64_t index = 0;
    uint64_t count = 1;

    bool operator==(const Shard&) const = default;
};
std::optional<Shard> parseShard(const std::string& text);  // "I/N" with 0 <= I < N
std::vector<ScheduledMatch> shardOf(const std::vector<ScheduledMatch>& schedule, Shard shard);

// The command line that shows a match in the game's window, every word quoted for a POSIX shell where needed.
std::string shellQuote(const std::string& word);
std::string windowCommand(const std::string& map, const std::array<std::string, SEATS>& seats);

}  // namespace tournament
