// result_line.cpp: writing and reading the match lines of a results file.
#include "tournament/result_line.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>
#include <map>

namespace tournament {

namespace {

using Json = nlohmann::json;

template <typename T, typename Check, typename Get>
bool readFour(const Json& j, const char* key, std::array<T, SEATS>& out, Check check, Get get) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_array() || it->size() != SEATS) return false;
    for (size_t i = 0; i < SEATS; ++i) {
        if (!check((*it)[i])) return false;
        out[i] = get((*it)[i]);
    }
    return true;
}

bool readString(const Json& j, const char* key, std::string& out) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}

bool isScore(const Json& v) {
    if (v.is_number_unsigned()) return v.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int>::max());
    if (!v.is_number_integer()) return false;
    const int64_t n = v.get<int64_t>();
    return n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max();
}

bool readCount(const Json& j, const char* key, uint64_t& out) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_number_unsigned()) return false;
    out = it->get<uint64_t>();
    return true;
}

// The tournament, slice and counts of a line that names them; nothing when one of them is missing or malformed.
std::optional<MatchLine::Origin> readOrigin(const Json& j) {
    MatchLine::Origin o;
    const auto t = j.find("tournament");
    if (t == j.end() || !t->is_object()) return std::nullopt;
    Fingerprint& f = o.tournament;
    std::string shard;
    if (!readString(*t, "id", f.id) || !readString(*t, "teams", f.teams) || !readString(*t, "maps", f.maps) ||
        !readString(*t, "seats", f.seats) || !readCount(*t, "seed", f.seed) ||
        !readCount(*t, "max_ticks", f.max_ticks) || !readString(j, "shard", shard) ||
        !readCount(j, "schedule_matches", o.schedule_matches) || !readCount(j, "shard_matches", o.shard_matches))
        return std::nullopt;
    const auto sample = t->find("sample");
    if (sample == t->end()) return std::nullopt;
    if (sample->is_number_unsigned())
        f.sample = sample->get<uint64_t>();
    else if (!sample->is_null())
        return std::nullopt;
    const std::optional<Shard> parsed = parseShard(shard);
    if (!parsed || o.shard_matches > o.schedule_matches) return std::nullopt;
    o.shard = *parsed;
    return o;
}

}  // namespace

std::string formatLine(const MatchLine& line) {
    nlohmann::ordered_json j;
    j["id"] = line.id;
    j["map"] = line.map;
    j["seats"] = line.seats;
    j["scores"] = line.scores;
    j["winners"] = line.winners;
    j["ticks"] = line.ticks;
    j["capped"] = line.capped;
    j["command"] = line.command;
    if (line.origin) {
        const MatchLine::Origin& o = *line.origin;
        const Fingerprint& f = o.tournament;
        j["tournament"] = {{"id", f.id},           {"teams", f.teams},
                           {"maps", f.maps},       {"seats", f.seats},
                           {"sample", f.sample ? nlohmann::ordered_json(*f.sample) : nlohmann::ordered_json(nullptr)},
                           {"seed", f.seed},       {"max_ticks", f.max_ticks}};
        j["shard"] = std::to_string(o.shard.index) + "/" + std::to_string(o.shard.count);
        j["schedule_matches"] = o.schedule_matches;
        j["shard_matches"] = o.shard_matches;
    }
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<MatchLine> parseLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    const Json j = Json::parse(text.begin(), text.end(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) return std::nullopt;
    MatchLine line;
    if (!readString(j, "id", line.id) || line.id.empty() || !readString(j, "map", line.map) ||
        !readString(j, "command", line.command))
        return std::nullopt;
    if (!readFour(j, "seats", line.seats, [](const Json& v) { return v.is_string(); },
                  [](const Json& v) { return v.get<std::string>(); }) ||
        !readFour(j, "scores", line.scores, isScore,
                  [](const Json& v) { return static_cast<int>(v.get<int64_t>()); }) ||
        !readFour(j, "winners", line.winners, [](const Json& v) { return v.is_boolean(); },
                  [](const Json& v) { return v.get<bool>(); }))
        return std::nullopt;
    const auto ticks = j.find("ticks");
    const auto capped = j.find("capped");
    if (ticks == j.end() || !ticks->is_number_unsigned() || capped == j.end() || !capped->is_boolean())
        return std::nullopt;
    line.ticks = ticks->get<uint64_t>();
    line.capped = capped->get<bool>();
    if (j.contains("tournament") || j.contains("shard")) {
        line.origin = readOrigin(j);
        if (!line.origin) return std::nullopt;
    }
    return line;
}

ResultsRead readResults(std::string_view content) {
    ResultsRead read;
    int number = 0;
    for (size_t start = 0; start < content.size();) {
        const size_t end = content.find('\n', start);
        ++number;
        if (end == std::string_view::npos) {  // cut off before its line feed: never counted, played again
            read.torn_end = true;
            break;
        }
        const std::string_view text = content.substr(start, end - start);
        if (auto line = parseLine(text))
            read.lines.push_back(std::move(*line));
        else if (!text.empty() && text != "\r")
            read.rejected.push_back(number);
        start = end + 1;
        read.complete_bytes = start;
    }
    return read;
}

bool inRisingIdOrder(const std::vector<MatchLine>& lines) {
    const auto out_of_order = [](const MatchLine& a, const MatchLine& b) { return !(a.id < b.id); };
    return std::adjacent_find(lines.begin(), lines.end(), out_of_order) == lines.end();
}

std::vector<MatchLine> dedupe(const std::vector<MatchLine>& lines, std::vector<std::string>* conflicts) {
    // Lines already in strictly rising id order hold no id twice and come out as they went in: the ladder's refit
    // passes thousands of them, and formatting each to compare would cost more than the fit.
    if (inRisingIdOrder(lines)) {
        if (conflicts != nullptr) std::sort(conflicts->begin(), conflicts->end());
        return lines;
    }
    // Compared by their results: a line of an older version, without the tournament's fingerprint, agrees with
    // the same result written with it, and the line with the fingerprint is kept.
    const auto resultText = [](const MatchLine& line) {
        MatchLine bare = line;
        bare.origin.reset();
        return formatLine(bare);
    };
    const auto better = [](const MatchLine& a, const MatchLine& b) {
        if (a.origin.has_value() != b.origin.has_value()) return a.origin.has_value();
        return formatLine(a) < formatLine(b);
    };
    std::map<std::string, std::pair<std::string, const MatchLine*>> by_id;
    for (const MatchLine& line : lines) {
        std::string text = resultText(line);
        auto [it, inserted] = by_id.try_emplace(line.id, text, &line);
        if (inserted) continue;
        if (it->second.first == text) {
            if (better(line, *it->second.second)) it->second.second = &line;
            continue;
        }
        if (conflicts != nullptr && std::find(conflicts->begin(), conflicts->end(), line.id) == conflicts->end())
            conflicts->push_back(line.id);
        if (text < it->second.first) it->second = {std::move(text), &line};
    }
    std::vector<MatchLine> unique;
    for (const auto& [id, kept] : by_id) unique.push_back(*kept.second);
    if (conflicts != nullptr) std::sort(conflicts->begin(), conflicts->end());
    return unique;
}

}  // namespace tournament
