// result_json.cpp: the JSON form of a match result.
#include "match/result_json.h"

#include "core/tables.h"

namespace {

nlohmann::ordered_json playerJson(const PlayerResult& p) {
    nlohmann::ordered_json j = {{"type", typeName(p.type)},
                                {"status", p.status == PLAYER_ALIVE ? "alive" : "dead"},
                                {"health", p.health},
                                {"x", static_cast<double>(p.x)},
                                {"y", static_cast<double>(p.y)},
                                {"hits_given", p.hits_given},
                                {"hits_taken", p.hits_taken}};
    if (p.death_tick) {
        j["death_tick"] = *p.death_tick;
        // The owner of the first bomb that hit the player in the tick it died, as "team.player".
        j["killed_by"] = p.killer_team < 0 ? nlohmann::ordered_json(nullptr)
                                           : nlohmann::ordered_json(std::to_string(p.killer_team + 1) + "." +
                                                                    std::to_string(p.killer_player + 1));
    } else {
        j["death_tick"] = nullptr;
        j["killed_by"] = nullptr;
    }
    return j;
}

}  // namespace

nlohmann::ordered_json resultJson(const MatchResult& result) {
    nlohmann::ordered_json j;
    j["schema"] = RESULT_SCHEMA_VERSION;
    j["version"] = PROGRAM_VERSION;
    j["map"] = result.map_path;
    j["ticks"] = result.ticks;
    j["capped"] = result.capped;
    j["teams"] = nlohmann::ordered_json::array();
    for (const TeamResult& team : result.teams) {
        nlohmann::ordered_json players = nlohmann::ordered_json::array();
        for (const PlayerResult& p : team.players) players.push_back(playerJson(p));
        j["teams"].push_back({{"name", team.name},
                              {"score", team.score},
                              {"winner", team.winner},
                              {"file", team.path},
                              {"seat", team.seat},
                              {"corner", seatCorner(team.seat)},
                              {"players", std::move(players)}});
    }
    return j;
}
