// death_causes.cpp: the causes of death kept while a match plays, and their words.
#include "view/death_causes.h"

#include <cmath>

std::string DeathCause::words() const {
    if (by_team < 0) return "died";
    return "hit by the bomb of " + std::to_string(by_team + 1) + "." + std::to_string(by_player + 1) + " from (" +
           std::to_string(bomb_x) + ", " + std::to_string(bomb_y) + ")";
}

void DeathRecorder::tickStarting(uint64_t tick) {
    tick_ = tick;
    hits_.clear();
}

void DeathRecorder::playerHit(int by_team, int by_player, int by_slot, int team, int player, bool counted) {
    if (!counted) return;
    const Bomb& b = game.teams[static_cast<size_t>(by_team)].players[static_cast<size_t>(by_player)]
                        .bombs[static_cast<size_t>(by_slot)];
    hits_.push_back({by_team, by_player, static_cast<int>(std::lround(b.x)), static_cast<int>(std::lround(b.y)), team,
                     player});
}

void DeathRecorder::playerDied(int team, int player) {
    DeathCause cause{tick_, team, player};
    for (const Hit& h : hits_) {
        if (h.team != team || h.player != player) continue;
        cause.by_team = h.by_team;
        cause.by_player = h.by_player;
        cause.bomb_x = h.x;
        cause.bomb_y = h.y;
        break;
    }
    deaths_.push_back(cause);
}

const DeathCause* deathOf(const std::vector<DeathCause>& deaths, int team, int player, uint64_t tick) {
    for (const DeathCause& d : deaths)
        if (d.team == team && d.player == player && d.tick <= tick) return &d;
    return nullptr;
}
