// death_causes.h: why each player died, in words, for the viewers (the browser page and fusewick-view), so both say
// the same: "hit by the bomb of 1.2 from (0, 3)", the first blast that hit the player in the tick it died, the
// bomb's owner as team.player from 1 and the bomb's cell. No OpenGL in here.
#pragma once

#include "match/match.h"

#include <cstdint>
#include <string>
#include <vector>

struct DeathCause {
    uint64_t tick = 0;
    int team = 0, player = 0;             // the player who died, from 0
    int by_team = -1, by_player = -1;     // the owner of the bomb, from 0; -1 when no hit was seen in the tick
    int bomb_x = 0, bomb_y = 0;           // the bomb's cell

    std::string words() const;
};

// Watches a match and keeps every death with its cause, in the order they happened.
class DeathRecorder final : public MatchObserver {
public:
    void tickStarting(uint64_t tick) override;
    void playerHit(int by_team, int by_player, int by_slot, int team, int player, bool counted) override;
    void playerDied(int team, int player) override;

    const std::vector<DeathCause>& deaths() const { return deaths_; }

private:
    struct Hit {
        int by_team, by_player, x, y, team, player;
    };
    uint64_t tick_ = 0;
    std::vector<Hit> hits_;  // the counted hits of the current tick
    std::vector<DeathCause> deaths_;
};

// The cause of death of the player, if it died by tick `tick`; null otherwise.
const DeathCause* deathOf(const std::vector<DeathCause>& deaths, int team, int player, uint64_t tick);
