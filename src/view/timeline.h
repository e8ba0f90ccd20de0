// timeline.h: the viewer's model of a whole match, without any drawing. The match is played once, quietly, through
// the match library; what happened on the way (explosions, hits, deaths) is kept for the timeline, and copies of the
// whole state every `snapshot_interval` ticks. Any tick is then shown by restoring the nearest copy at or before it
// and playing on with the core's frame step, so a seek costs at most one interval of ticks however long the match.
//
// The state at tick T: the state after the frame that ran tick T, its end-of-game check included, exactly as the
// match library hands it to a watcher after that tick (tick 0: the match as loaded, paused). It is what the game's
// window shows after the match was opened paused and advanced T ticks with its step key, apart from the victory
// animation that the game goes on playing at every frame after the end: the viewer shows the last tick as the first
// picture of that animation and holds it.
//
// Reads and writes the core's global `game`. The match's console output (hit messages, the final table) is held
// back while the match is played and replayed; only the loading before, which the caller does, prints as the game.
// No OpenGL in here.
#pragma once

#include "match/match.h"
#include "match/quiet_stdout.h"
#include "match/player_state.h"
#include "view/death_causes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// [SECTION] Timeline marks ------------------------------------------------------------------------------------------

enum class MarkKind : uint8_t { Explosion = 1, Hit = 2, Death = 4 };

struct TimelineMark {
    uint64_t tick;
    MarkKind kind;
    int team, player;  // the bomb's owner (Explosion) or the player hit or killed; from 0
};

// The column (0..columns-1) of a track of `columns` pixels that shows `tick` of a match of `last_tick` ticks: tick 0
// at the left end, the last tick at the right end.
int tickColumn(uint64_t tick, uint64_t last_tick, int columns);

// The tick a click on `column` asks for: the nearest tick whose column is that one, clamped to the match.
uint64_t columnTick(int column, uint64_t last_tick, int columns);

// Per column, the MarkKind bits of the marks that fall into it.
std::vector<uint8_t> markColumns(const std::vector<TimelineMark>& marks, uint64_t last_tick, int columns);

// The tick of the first mark after `tick` (`forward`) or the last mark before it; `tick` itself when there is none.
// What the viewers' [ and ] keys go to.
uint64_t eventTick(const std::vector<TimelineMark>& marks, uint64_t tick, bool forward);

// The cells of the ticking bombs in `game` that a player's picture covers (it spans its cell and half the
// cell above), which the viewers' overlay marks.
struct BombCell {
    int x, y;
    bool operator==(const BombCell&) const = default;
};
std::vector<BombCell> hiddenBombs();

// [SECTION] The match and its snapshots ------------------------------------------------------------------------------

class MatchTimeline {
public:
    static constexpr uint64_t DEFAULT_SNAPSHOT_INTERVAL = 1000;

    // Plays the match that `match` loaded into `game` from its first frame to its end (or the cap), as runMatch
    // does, with `extra` (may be null) watching too. Leaves `game` at tick 0.
    explicit MatchTimeline(const LoadedMatch& match, uint64_t max_ticks = DEFAULT_MAX_TICKS,
                           MatchObserver* extra = nullptr, uint64_t snapshot_interval = DEFAULT_SNAPSHOT_INTERVAL);

    const LoadedMatch& match() const { return match_; }
    const MatchResult& result() const { return result_; }
    uint64_t lastTick() const { return result_.ticks; }
    const std::vector<TimelineMark>& marks() const { return marks_; }
    // Every death of the match with its cause, in the order they happened.
    const std::vector<DeathCause>& deaths() const { return deaths_.deaths(); }
    size_t snapshotCount() const { return snapshots_.size(); }

    // The lines of team `team`'s file as it was compiled (line n is entry n - 1), for the program listing; empty
    // when its text could not be had.
    const std::vector<std::string>& teamLines(int team) const { return team_lines_[static_cast<size_t>(team)]; }

    // The tick `game` holds now.
    uint64_t tick() const { return tick_; }

    // Sets `game` to the state at tick `t` (at most the last tick). Goes on from the current tick when that is at
    // least as close as the nearest snapshot.
    void seek(uint64_t t);

    // What the player did in the current tick, in the trace's words; at tick 0 the command it is about to start.
    PlayerState playerState(int team, int player) const;

private:
    void restore(uint64_t snapshot_tick);
    void stepTo(uint64_t t);

    LoadedMatch match_;
    MatchResult result_;
    uint64_t interval_;
    std::vector<Game> snapshots_;  // entry k: the state at tick k * interval_
    std::vector<TimelineMark> marks_;
    DeathRecorder deaths_;
    std::array<std::vector<std::string>, TEAM_COUNT> team_lines_;
    uint64_t tick_ = 0;
    std::array<std::array<PlayerBefore, PLAYER_COUNT>, TEAM_COUNT> before_{};  // before the current tick
    std::vector<TickDrop> drops_;                                             // in the current tick
};

