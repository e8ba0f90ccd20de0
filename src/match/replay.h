// replay.h: replay files, which keep a match whole and prove that it reproduces.
//
// A replay is one JSON document: a format name and version, the program's version, the options the match ran with,
// the map and the four team files as texts with their file names (a text shared by several seats is kept once), the
// result, and fingerprints of the game state (state_hash.h): one of the state after loading, the low byte of the
// fingerprint after every tick, and the whole fingerprint after the last tick. Playing a replay reads no other file;
// checking it compares the fingerprints tick by tick, so a match that goes another way is caught at the tick it
// does. A file that is not a replay, of another version, cut short or edited is refused with a message, never a
// crash; so is a replay recorded by another engine version (another ENGINE_VERSION, core/version.h), whose match
// this program would play by other rules: it says so instead of reporting a divergence. The keys are documented in the README. No OpenGL in here.
#pragma once

#include "match/match.h"
#include "match/state_hash.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* REPLAY_FORMAT = "fusewick-replay";
constexpr int REPLAY_VERSION = 1;

// Exit codes of the programs that read replays, beside the game's own.
enum ReplayExitCode : int {
    EXIT_REPLAY_INVALID = 8,   // the file is not a replay this program can read
    EXIT_REPLAY_DIVERGED = 9,  // the match went another way than the replay says
};

// What a replay keeps of a match's outcome.
struct ReplayOutcome {
    uint64_t ticks = 0;
    bool capped = false;
    std::array<int, TEAM_COUNT> scores{};
    std::array<bool, TEAM_COUNT> winners{};

    bool operator==(const ReplayOutcome&) const = default;
};

ReplayOutcome outcomeOf(const MatchResult& result);

struct Replay {
    std::string program;               // the program and version that recorded it: "fusewick 1.0"
    int engine = 1;                    // the engine version (rules of play) it was recorded by; 1 without the key
    Config options;                    // debug level and cell size; the file names come from `sources`
    uint64_t max_ticks = DEFAULT_MAX_TICKS;
    std::vector<uint64_t> status_at;   // ticks after which the runner printed the status report
    MatchSources sources;              // every source with its text
    ReplayOutcome outcome;
    uint64_t start_hash = 0;           // the state after loading
    std::vector<uint8_t> tick_hashes;  // the low byte of the state's fingerprint after each tick, from tick 1
    uint64_t final_hash = 0;           // the state after the last tick
};

// Records a replay while the match runs. `match` must have been loaded from sources held in memory
// (readIntoMemory), since the replay keeps their texts; the options are taken from `config` as loading left it.
class ReplayRecorder final : public MatchObserver {
public:
    ReplayRecorder(const LoadedMatch& match, uint64_t max_ticks, std::vector<uint64_t> status_at = {});
    void tickDone(uint64_t tick) override;
    // The finished replay, with the result of the run. Called once: the recorder hands its replay over.
    Replay finish(const MatchResult& result);

private:
    Replay replay_;
    TickHashBatch pending_;  // ticks whose fingerprints are still to be folded
};

// The document, and its text as written to a file (compact JSON and a final line end).
std::string replayText(const Replay& replay);

// Writes the replay to `path` whole or not at all (through a temporary file that is renamed). False on failure.
bool writeReplay(const std::string& path, const Replay& replay);

// Reads a replay from its text, or says why it cannot: the reason is one line, fit to follow "<file>: ".
struct ReplayRead {
    std::optional<Replay> replay;
    std::string error;
};
ReplayRead parseReplay(std::string_view text);
ReplayRead readReplayFile(const std::string& path);

// What checking a run against a replay found: the play went the recorded way or not, and when it did, whether the
// recorded result (scores, winners, length) agrees with it. A replay whose result alone was edited plays the same.
struct ReplayVerdict {
    enum Kind { REPRODUCES, DIVERGES, RESULT_DIFFERS } kind = REPRODUCES;
    uint64_t tick = 0;  // where the play went another way (DIVERGES)

    // "reproduces", "diverges at tick T", "the play reproduces; the recorded result differs".
    std::string words() const;
};

// Checks a run against a replay, tick by tick; stops the run at the first tick that goes another way.
class ReplayChecker final : public MatchObserver {
public:
    explicit ReplayChecker(const Replay& replay) : replay_(replay) {}
    void matchStarted(const LoadedMatch& match) override;
    void tickDone(uint64_t tick) override;
    bool stopRequested() const override { return diverged_at_.has_value(); }

    // The first tick whose state differs from the replay's (0: already after loading), if any.
    std::optional<uint64_t> divergedAt() const { return diverged_at_; }

    // After the run: the tick where it went another way, counting a run that ended early or late, or a different
    // outcome, as going another way at its last tick. Nothing when the run reproduced the replay.
    std::optional<uint64_t> verdict(const MatchResult& result) const;

    // After the run: the same finding, telling a play that went another way from a recorded result that differs.
    ReplayVerdict judge(const MatchResult& result) const;

private:
    const Replay& replay_;
    std::optional<uint64_t> diverged_at_;
};
