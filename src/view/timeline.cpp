// timeline.cpp: the match played once with its marks and snapshots, and any tick restored from them.
#include "view/timeline.h"

#include "core/fusewick.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

// [SECTION] Timeline marks

int tickColumn(uint64_t tick, uint64_t last_tick, int columns) {
    if (columns <= 1 || last_tick == 0) return 0;
    const uint64_t t = std::min(tick, last_tick);
    const auto span = static_cast<uint64_t>(columns - 1);
    return static_cast<int>((t * span + last_tick / 2) / last_tick);
}

uint64_t columnTick(int column, uint64_t last_tick, int columns) {
    if (columns <= 1 || column <= 0) return 0;
    if (column >= columns - 1) return last_tick;
    const auto span = static_cast<uint64_t>(columns - 1);
    return (static_cast<uint64_t>(column) * last_tick + span / 2) / span;
}

std::vector<uint8_t> markColumns(const std::vector<TimelineMark>& marks, uint64_t last_tick, int columns) {
    std::vector<uint8_t> bits(static_cast<size_t>(std::max(columns, 0)), 0);
    if (bits.empty()) return bits;
    for (const TimelineMark& m : marks)
        bits[static_cast<size_t>(tickColumn(m.tick, last_tick, columns))] |= static_cast<uint8_t>(m.kind);
    return bits;
}

namespace {

// [SECTION] Watchers of the first pass and of the last replayed tick

// Takes the snapshots and the marks.
class Recorder final : public MatchObserver {
public:
    Recorder(std::vector<Game>& snapshots, std::vector<TimelineMark>& marks, uint64_t interval)
        : snapshots_(snapshots), marks_(marks), interval_(interval) {}

    void tickStarting(uint64_t tick) override { tick_ = tick; }
    void tickDone(uint64_t tick) override {
        if (tick % interval_ == 0) snapshots_.push_back(game);
    }
    void bombDetonated(int t, int p, int /*slot*/) override { marks_.push_back({tick_, MarkKind::Explosion, t, p}); }
    void playerHit(int, int, int, int t, int p, bool counted) override {
        if (counted) marks_.push_back({tick_, MarkKind::Hit, t, p});
    }
    void playerDied(int t, int p) override { marks_.push_back({tick_, MarkKind::Death, t, p}); }

private:
    std::vector<Game>& snapshots_;
    std::vector<TimelineMark>& marks_;
    uint64_t interval_;
    uint64_t tick_ = 0;
};

// The bombs dropped in one tick, for the players' states after it.
class DropCollector final : public EngineEvents {
public:
    explicit DropCollector(std::vector<TickDrop>& drops) : drops_(drops), previous_(engine_events) {
        drops_.clear();
        engine_events = this;
    }
    ~DropCollector() override { engine_events = previous_; }
    DropCollector(const DropCollector&) = delete;
    DropCollector& operator=(const DropCollector&) = delete;

    void bombDropped(int t, int p, int s) override { drops_.push_back({t, p, s}); }

private:
    std::vector<TickDrop>& drops_;
    EngineEvents* previous_;
};

}  // namespace

// [SECTION] The match and its snapshots

MatchTimeline::MatchTimeline(const LoadedMatch& match, uint64_t max_ticks, MatchObserver* extra,
                             uint64_t snapshot_interval)
    : match_(match), interval_(std::max<uint64_t>(snapshot_interval, 1)) {
    team_lines_ = teamFileLines(match_);
    snapshots_.push_back(game);
    Recorder recorder(snapshots_, marks_, interval_);
    ObserverList watchers;
    watchers.add(&recorder);
    watchers.add(&deaths_);
    watchers.add(extra);
    {
        const QuietStdout quiet;
        result_ = runMatch(match_, max_ticks, &watchers);
    }
    restore(0);
}

void MatchTimeline::restore(uint64_t snapshot_tick) {
    game = snapshots_[static_cast<size_t>(snapshot_tick / interval_)];
    refreshDerivedState();  // the engine's slots in play are those of the restored tick
    tick_ = snapshot_tick;
}

void MatchTimeline::seek(uint64_t t) {
    t = std::min(t, lastTick());
    if (t == tick_) return;
    if (t == 0) {
        restore(0);
        return;
    }
    // The snapshot at or before tick t - 1, so that at least the tick t itself is played and its players' states
    // are known.
    const uint64_t base = (t - 1) / interval_ * interval_;
    if (t < tick_ || tick_ < base) restore(base);
    stepTo(t);
}

void MatchTimeline::stepTo(uint64_t t) {
    const QuietStdout quiet;
    game.running = 1;  // as in the first pass; tick 0 is kept as loaded, paused
    const auto step = [this] {
        // A match that went past the cap was ended as the end key ends it, at the frame of its last tick.
        if (result_.capped && tick_ + 1 == lastTick()) game.end_requested = 1;
        frameStep();
        ++tick_;
    };
    while (tick_ + 1 < t) step();
    before_ = playersBefore();
    const DropCollector collector(drops_);
    step();
}

PlayerState MatchTimeline::playerState(int team, int player) const {
    if (tick_ > 0)
        return playerStateAfterTick(team, player, before_[static_cast<size_t>(team)][static_cast<size_t>(player)],
                                    drops_);
    const Player& p = game.teams[static_cast<size_t>(team)].players[static_cast<size_t>(player)];
    PlayerState state;
    state.word = p.cmd_index < p.cmd_count ? "ready to start" : "no commands";
    if (p.cmd_index < p.cmd_count) state.command = static_cast<int>(p.cmd_index);
    return state;
}

// [SECTION] Events and the overlay

uint64_t eventTick(const std::vector<TimelineMark>& marks, uint64_t tick, bool forward) {
    uint64_t found = tick;
    for (const TimelineMark& m : marks) {  // in tick order
        if (forward && m.tick > tick) return m.tick;
        if (!forward && m.tick < tick) found = m.tick;
    }
    return found;
}

std::vector<BombCell> hiddenBombs() {
    std::vector<BombCell> cells;
    const auto covered = [](const Bomb& b) {
        for (const Team& team : game.teams)
            for (const Player& p : team.players)
                if (p.pose < POSE_DEAD && std::fabs(p.x - b.x) < 1.0f && b.y - p.y < 1.0f && p.y - b.y < 1.5f)
                    return true;
        return false;
    };
    for (const Team& team : game.teams)
        for (const Player& owner : team.players)
            for (const Bomb& b : owner.bombs)
                if (b.state == BOMB_ACTIVE && covered(b))
                    cells.push_back({static_cast<int>(std::lround(b.x)), static_cast<int>(std::lround(b.y))});
    return cells;
}
