// trace.h: the trace of a match, to see why a program does what it does.
//
// After every tick, one line per player: the tick, team.player, type, cell, facing, health, bombs in hand, the
// command that used the tick as written in the team file with its file name, line and what is left of its count,
// and the player's state in words (walking, turning, dropping, waiting, waiting for a bomb in hand, blocked by the
// edge, a wall or a bomb and whose, program finished, dying, dead). Before the players' lines of a tick come its
// events: bombs dropped, bombs exploding with their reach, chains, hits with the health left and the score change,
// deaths, bombs back in hand; and at the end the final table. As readable text, or as JSON Lines with the same
// content (the keys are documented in the README). No OpenGL in here.
#pragma once

#include "match/match.h"
#include "match/player_state.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Which players get lines: all, or those listed.
struct TracePlayers {
    std::array<std::array<bool, PLAYER_COUNT>, TEAM_COUNT> shown{};

    static TracePlayers all();
    // "1.2,3.4" as the game numbers them (team.player, from 1); a team number alone ("1") stands for its four
    // players. Nothing when the list is not of that form.
    static std::optional<TracePlayers> parse(std::string_view list);
    bool has(int team, int player) const { return shown[static_cast<size_t>(team)][static_cast<size_t>(player)]; }
};

enum class TraceFormat { Text, JsonLines };

class TraceWriter final : public MatchObserver {
public:
    // Writes to `out`, which stays open and owned by the caller. With `changes_only`, a player gets a line only when
    // something changes for it: a command starts, it is blocked or freed, its program finishes, it dies; the events
    // are all kept.
    TraceWriter(std::FILE* out, TraceFormat format, TracePlayers players, bool changes_only = false);

    void matchStarted(const LoadedMatch& match) override;
    void tickStarting(uint64_t tick) override;
    void tickDone(uint64_t tick) override;

    void bombDropped(int team, int player, int slot) override;
    void bombSetOff(int team, int player, int slot, int by_team, int by_player, int by_slot) override;
    void bombDetonated(int team, int player, int slot) override;
    void playerHit(int by_team, int by_player, int by_slot, int team, int player, bool counted) override;
    void playerDied(int team, int player) override;
    void bombReturned(int team, int player, int slot) override;

    // The closing line with the final table and the winners.
    void matchEnded(const MatchResult& result);

private:
    struct Event {
        enum Kind { Drop, SetOff, Detonate, Hit, Death, Return } kind;
        int team, player, slot;
        int by_team, by_player, by_slot;
        bool counted;
        int score;  // with a hit: the owner's team's score right after this hit
    };

    // What a player line must differ in from the last one written to be written with `changes_only`.
    struct Shown {
        int command = -2;
        std::string state;
    };

    bool involves(const Event& e) const;
    void writeEvent(uint64_t tick, const Event& e);
    void writePlayer(uint64_t tick, int team, int player);
    bool changed(int team, int player, const PlayerState& state);
    std::string commandText(int team, int player, int command) const;

    std::FILE* out_;
    TraceFormat format_;
    TracePlayers players_;
    const LoadedMatch* match_ = nullptr;
    std::array<std::vector<std::string>, TEAM_COUNT> lines_;  // each team file's lines, for the command texts
    std::array<std::array<PlayerBefore, PLAYER_COUNT>, TEAM_COUNT> before_{};
    std::vector<TickDrop> drops_;  // this tick's drops, for the players' states
    std::vector<Event> events_;
    std::string buffer_;
    bool changes_only_;
    std::array<std::array<Shown, PLAYER_COUNT>, TEAM_COUNT> shown_{};
    std::array<int, TEAM_COUNT> running_score_{};  // the scores as this tick's hits so far leave them
};
