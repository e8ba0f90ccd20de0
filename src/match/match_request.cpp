// match_request.cpp: reading a match request and checking its files before loading.
#include "match/match_request.h"

#include "core/loaders.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

std::string faultText(const std::string& path, const LoadFault& fault) {
    std::string where = "Error compiling " + path;
    if (fault.place == LoadFault::Place::Line) where += ", line " + std::to_string(fault.line);
    std::string message = fault.place == LoadFault::Place::Missing ? "the file is missing" : fault.message;
    // The game prints the message on lines of its own; here it follows the place on one line.
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    while (!message.empty() && message.back() == ' ') message.pop_back();
    return where + ": " + message;
}

const Json* textField(const Json& j, const char* key) {
    const auto found = j.find(key);
    return found != j.end() && found->is_string() ? &*found : nullptr;
}

}  // namespace

std::optional<std::string> firstLoadFault(const MatchSources& sources) {
    if (const MapRead map = readMap(sources.map); map.fault) return faultText(sources.map.path, *map.fault);
    for (const SourceFile& team : sources.teams)
        if (const TeamRead read = readTeam(team); read.fault) return faultText(team.path, *read.fault);
    return std::nullopt;
}

MatchRequestRead readMatchRequest(std::string_view json) {
    const Json r = Json::parse(json, nullptr, false);
    if (r.is_discarded() || !r.is_object()) return {std::nullopt, "a match request is a JSON object"};
    const Json* map = textField(r, "map");
    const auto teams = r.find("teams");
    if (map == nullptr || teams == r.end() || !teams->is_array() || teams->size() != TEAM_COUNT)
        return {std::nullopt, "a match request holds a map's text and four team files' texts"};
    for (const Json& t : *teams)
        if (!t.is_string()) return {std::nullopt, "a team file's text is a string"};

    std::array<std::string, TEAM_COUNT + 1> names{"default.map", "t1.fpl", "t2.fpl", "t3.fpl", "t4.fpl"};
    if (const auto given = r.find("names"); given != r.end()) {
        if (!given->is_array() || given->size() > names.size()) return {std::nullopt, "\"names\" lists up to five names"};
        for (size_t i = 0; i < given->size(); ++i) {
            if (!(*given)[i].is_string() || (*given)[i].get<std::string>().empty())
                return {std::nullopt, "a file name is a string that is not empty"};
            names[i] = (*given)[i].get<std::string>();
        }
    }
    MatchRequest request;
    if (const auto cap = r.find("maxTicks"); cap != r.end()) {
        if (!cap->is_number_unsigned() || cap->get<uint64_t>() == 0)
            return {std::nullopt, "\"maxTicks\" is a whole number from 1"};
        request.max_ticks = cap->get<uint64_t>();
    }
    request.sources.map = {names[0], map->get<std::string>()};
    for (size_t t = 0; t < TEAM_COUNT; ++t) request.sources.teams[t] = {names[t + 1], (*teams)[t].get<std::string>()};
    if (auto fault = firstLoadFault(request.sources)) return {std::nullopt, *fault};
    return {std::move(request), ""};
}

Config requestConfig(const MatchSources& sources) {
    Config c = defaultConfig();
    c.map_file = sources.map.path;
    for (size_t t = 0; t < TEAM_COUNT; ++t) c.team_file[t] = sources.teams[t].path;
    return c;
}
