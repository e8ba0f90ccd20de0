// match.h: the match library that tools share. Load a match from files or from texts, run it to its end or to a
// tick cap, watch every tick, and collect the result.
//
// It drives the game core exactly as the game does: start-up in the game's order (map, setup, teams), then the
// core's frame step once per frame, so every tool prints the game's console output for the same match. The game's
// state stays in the core's global records, so one process runs one match at a time; loading a match first resets
// them to their program-start state, which makes the second match of a process the same as the first of a fresh
// one. No OpenGL in here.
#pragma once

#include "core/events.h"
#include "core/game.h"
#include "core/loaders.h"
#include "core/utils.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// [SECTION] Loading ------------------------------------------------------------------------------------------------------

// The files of a match: the map and the four team files, each on disk or held as a text.
struct MatchSources {
    SourceFile map;
    std::array<SourceFile, TEAM_COUNT> teams;
};

// The files named by a configuration, to be read from disk.
MatchSources sourcesOf(const Config& config);

// The bytes of a regular file (looked up in the data folder when missing, core/data_files.h), or nothing when it is
// a folder or cannot be read.
std::optional<std::string> readFileText(const std::string& path);

// The same sources with every file read into memory, as a replay keeps them. A file that cannot be read is left to
// be read from disk, so that loading reports it exactly as the game does.
MatchSources readIntoMemory(const MatchSources& sources);

// What a loaded match knows beyond `game`: its sources and, per team, the compiled programs with the team file line
// of every command.
struct LoadedMatch {
    MatchSources sources;
    std::array<TeamData, TEAM_COUNT> teams;
};

// Each team file's lines without their line ends, from the texts in memory or else from the disk: line n of the
// team file of team t is entry [t][n - 1]. For tools that show a command as it was written.
std::array<std::vector<std::string>, TEAM_COUNT> teamFileLines(const LoadedMatch& match);

// Resets `game` to its program-start state and loads the match into it in the game's order: map, setup, teams.
// `config` gets the sources' names and `options`' debug level and cell size. A faulty file ends the process with
// the game's messages and exit code. The match stands paused, as the game opens it.
LoadedMatch loadMatchFrom(const MatchSources& sources, const Config& options);

// [SECTION] Watching ----------------------------------------------------------------------------------------------------

// A watcher of a running match: the engine's events within each tick (events.h) and a call after each tick. Every
// hook is optional; a match run without a watcher costs nothing more than the game.
class MatchObserver : public EngineEvents {
public:
    // Before the first frame, with the match loaded and paused.
    virtual void matchStarted(const LoadedMatch& /*match*/) {}
    // The frame of tick `tick` (counted from 1) is about to run; the engine's events that follow belong to it.
    virtual void tickStarting(uint64_t /*tick*/) {}
    // The frame of tick `tick` has run: the state is the state after that tick (and after the end-of-game check).
    virtual void tickDone(uint64_t /*tick*/) {}
    // The match went past the tick cap after tick `tick`; the next frame ends it as the end key would.
    virtual void capReached(uint64_t /*tick*/) {}
    // Asked after every tick: true stops the run there, with the match still on (a replay that went another way).
    virtual bool stopRequested() const { return false; }
};

// Hands every call on to each of several watchers, in order.
class ObserverList final : public MatchObserver {
public:
    void add(MatchObserver* observer) {
        if (observer != nullptr) observers_.push_back(observer);
    }
    bool empty() const { return observers_.empty(); }

    void matchStarted(const LoadedMatch& m) override { for (auto* o : observers_) o->matchStarted(m); }
    void tickStarting(uint64_t t) override { for (auto* o : observers_) o->tickStarting(t); }
    void tickDone(uint64_t t) override { for (auto* o : observers_) o->tickDone(t); }
    void capReached(uint64_t t) override { for (auto* o : observers_) o->capReached(t); }
    bool stopRequested() const override {
        for (auto* o : observers_)
            if (o->stopRequested()) return true;
        return false;
    }
    void bombDropped(int t, int p, int s) override { for (auto* o : observers_) o->bombDropped(t, p, s); }
    void bombSetOff(int t, int p, int s, int bt, int bp, int bs) override {
        for (auto* o : observers_) o->bombSetOff(t, p, s, bt, bp, bs);
    }
    void bombDetonated(int t, int p, int s) override { for (auto* o : observers_) o->bombDetonated(t, p, s); }
    void playerHit(int bt, int bp, int bs, int t, int p, bool counted) override {
        for (auto* o : observers_) o->playerHit(bt, bp, bs, t, p, counted);
    }
    void playerDied(int t, int p) override { for (auto* o : observers_) o->playerDied(t, p); }
    void bombReturned(int t, int p, int s) override { for (auto* o : observers_) o->bombReturned(t, p, s); }

private:
    std::vector<MatchObserver*> observers_;
};

// [SECTION] Running and results -----------------------------------------------------------------------------------------

struct PlayerResult {
    uint32_t type = CAPTAIN;
    uint8_t status = PLAYER_ALIVE;
    int health = 0;
    float x = 0.0f;           // the final position, in cells
    float y = 0.0f;
    int hits_given = 0;       // counted hits by this player's bombs, on any player (its own team and itself included)
    int hits_taken = 0;       // counted hits on this player
    std::optional<uint64_t> death_tick;  // the tick of its death
    int killer_team = -1;     // with death_tick: the owner of the first bomb that hit it in that tick, from 0
    int killer_player = -1;
};

struct TeamResult {
    std::string name;    // as the game shows it
    std::string path;    // the team file as given
    int seat = 0;        // 1..4: the team's place on the command line, which fixes its start corner
    int score = 0;
    bool winner = false;
    std::array<PlayerResult, PLAYER_COUNT> players;
};

struct MatchResult {
    uint64_t ticks = 0;   // ticks played, the closing one after the cap included
    bool capped = false;  // the match was ended because it went past the cap
    bool stopped = false; // a watcher stopped the run before the end; the match is still on
    std::string map_path;
    std::array<TeamResult, TEAM_COUNT> teams;
};

// After this many ticks a match still on is ended as the end key would end it.
constexpr uint64_t DEFAULT_MAX_TICKS = 1000000;

// Runs the loaded match from the first frame on, as the game does once the start key is pressed before the first
// frame, until it is over. `observer` may be null. Prints the game's console output.
MatchResult runMatch(const LoadedMatch& match, uint64_t max_ticks = DEFAULT_MAX_TICKS,
                     MatchObserver* observer = nullptr);

// Where a team starts: "top left", "bottom left", "top right", "bottom right" for seats 1..4.
const char* seatCorner(int seat);
