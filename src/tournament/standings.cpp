// standings.cpp: tallies, the Bradley-Terry fit and the two renderings of the standings.
#include "tournament/standings.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tournament {

namespace {

constexpr double ELO_PER_NAT = 400.0 / 2.302585092994046;  // 400 / ln 10
constexpr double Z95 = 1.959963984540054;
constexpr double PAIR_WEIGHT = 1.0 / (SEATS - 1);

double elo(double theta) { return 1500.0 + ELO_PER_NAT * theta; }

// The inverse of a symmetric positive definite matrix, by Gauss-Jordan elimination.
std::vector<std::vector<double>> inverse(std::vector<std::vector<double>> a) {
    const size_t n = a.size();
    std::vector<std::vector<double>> inv(n, std::vector<double>(n, 0.0));
    for (size_t i = 0; i < n; ++i) inv[i][i] = 1.0;
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < n; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        std::swap(a[col], a[pivot]);
        std::swap(inv[col], inv[pivot]);
        const double d = a[col][col];
        for (size_t k = 0; k < n; ++k) {
            a[col][k] /= d;
            inv[col][k] /= d;
        }
        for (size_t r = 0; r < n; ++r) {
            if (r == col || a[r][col] == 0.0) continue;
            const double f = a[r][col];
            for (size_t k = 0; k < n; ++k) {
                a[r][k] -= f * a[col][k];
                inv[r][k] -= f * inv[col][k];
            }
        }
    }
    return inv;
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string padLeft(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string padRight(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

// Rounding that prints the same digits everywhere: -0.0 becomes 0.0.
double tidy(double v) { return v == 0.0 ? 0.0 : v; }

// The name a team is shown under: its display name when one is given, else its path.
std::string nameOf(const std::map<std::string, std::string>& names, const std::string& path) {
    const auto it = names.find(path);
    return it == names.end() ? path : it->second;
}

// The ranking with a row per team, under the names given (a team without one shows its path).
std::string rankingTable(const Standings& s, const std::map<std::string, std::string>& names) {
    std::string out;
    size_t width = 4;
    for (const TeamStanding& t : s.teams) width = std::max(width, nameOf(names, t.team).size());
    out += "rank  " + padRight("team", width) + "  played    wins  avg score  avg place  capped  rating  95% interval\n";
    bool unrated = false;
    for (const TeamStanding& t : s.teams) {
        out += padLeft(t.rated ? std::to_string(t.rank) : "-", 4) + "  " + padRight(nameOf(names, t.team), width) +
               "  " + padLeft(std::to_string(t.played), 6) + "  " + padLeft(format("%.2f", tidy(t.wins)), 6) + "  " +
               padLeft(format("%.2f", tidy(t.average_score)), 9) + "  " +
               padLeft(format("%.2f", tidy(t.average_place)), 9) + "  " + padLeft(std::to_string(t.capped), 6) + "  ";
        if (t.rated) {
            out += padLeft(format("%.0f", tidy(t.rating)), 6) + "  " + padLeft(format("%.0f", tidy(t.low)), 5) +
                   " .. " + format("%.0f", tidy(t.high)) + "\n";
        } else {
            out += padLeft("capped", 6) + "\n";
            unrated = true;
        }
    }
    if (unrated) out += "A team rated \"capped\" hit the tick cap in every match: its results do not rank it.\n";
    return out;
}

}  // namespace

// [SECTION] The fit

Fit fitBradleyTerry(const std::vector<std::vector<double>>& wins) {
    const size_t n = wins.size();
    Fit fit;
    std::vector<double> p(n, 1.0);
    std::vector<double> won(n, 0.5);  // half of the virtual drawn game
    std::vector<std::vector<std::pair<size_t, double>>> games(n);  // per team: opponent, comparisons
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
            if (i == j) continue;
            won[i] += wins[i][j];
            if (wins[i][j] + wins[j][i] > 0) games[i].push_back({j, wins[i][j] + wins[j][i]});
        }
    std::vector<double> next(n);
    for (fit.iterations = 0; fit.iterations < 20000; ++fit.iterations) {
        double change = 0;
        for (size_t i = 0; i < n; ++i) {
            double denominator = 1.0 / (p[i] + 1.0);  // the virtual game
            for (const auto& [j, count] : games[i]) denominator += count / (p[i] + p[j]);
            next[i] = won[i] / denominator;
            change = std::max(change, std::fabs(std::log(next[i] / p[i])));
        }
        p.swap(next);
        if (change < 1e-12) break;
    }
    // Observed information of the log-strengths, the virtual team held fixed.
    std::vector<std::vector<double>> info(n, std::vector<double>(n, 0.0));
    for (size_t i = 0; i < n; ++i) {
        info[i][i] += p[i] / ((p[i] + 1.0) * (p[i] + 1.0));
        for (const auto& [j, count] : games[i]) {
            const double q = count * p[i] * p[j] / ((p[i] + p[j]) * (p[i] + p[j]));
            info[i][i] += q;
            info[i][j] -= q;
        }
    }
    // Centred on the teams' mean: the variance of theta_i - mean(theta) from the covariance C = info^-1.
    const std::vector<std::vector<double>> c = inverse(info);
    const auto count = static_cast<double>(n);
    double mean = 0, total = 0;
    std::vector<double> row(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        mean += std::log(p[i]) / count;
        for (size_t j = 0; j < n; ++j) row[i] += c[i][j];
        total += row[i];
    }
    for (size_t i = 0; i < n; ++i) {
        fit.theta.push_back(std::log(p[i]) - mean);
        const double variance = c[i][i] - 2.0 * row[i] / count + total / (count * count);
        fit.standard_error.push_back(std::sqrt(std::max(variance, 0.0)));
    }
    return fit;
}

// [SECTION] Tallies

Standings computeStandings(const std::vector<MatchLine>& all_lines) {
    // The ladder refits tens of thousands of lines, already in id order: they are tallied where they lie, and each
    // seat's team is looked up once a line rather than once a pair.
    std::vector<MatchLine> deduped;
    const bool as_given = inRisingIdOrder(all_lines);
    if (!as_given) deduped = dedupe(all_lines);
    const std::vector<MatchLine>& lines = as_given ? all_lines : deduped;
    Standings standings;
    std::unordered_set<std::string_view> names;
    for (const MatchLine& line : lines)
        for (const std::string& seat : line.seats) names.insert(seat);
    std::vector<std::string> teams(names.begin(), names.end());
    std::sort(teams.begin(), teams.end());
    std::unordered_map<std::string_view, size_t> index;
    for (size_t i = 0; i < teams.size(); ++i) index[teams[i]] = i;

    const size_t n = teams.size();
    std::vector<TeamStanding> tally(n);
    std::vector<double> score_sum(n, 0.0), place_sum(n, 0.0);
    std::vector<std::vector<double>> wins(n, std::vector<double>(n, 0.0));
    std::vector<std::vector<std::array<uint64_t, 3>>> h2h(n, std::vector<std::array<uint64_t, 3>>(n, {0, 0, 0}));
    for (size_t i = 0; i < n; ++i) tally[i].team = teams[i];

    for (const MatchLine& line : lines) {
        ++standings.matches;
        if (line.capped) ++standings.capped_matches;
        const auto winners = static_cast<double>(std::count(line.winners.begin(), line.winners.end(), true));
        std::array<size_t, SEATS> seated{};
        for (size_t s = 0; s < SEATS; ++s) seated[s] = index.find(line.seats[s])->second;
        for (size_t s = 0; s < SEATS; ++s) {
            const size_t t = seated[s];
            TeamStanding& team = tally[t];
            ++team.played;
            if (line.capped) ++team.capped;
            if (line.winners[s]) team.wins += 1.0 / winners;
            score_sum[t] += line.scores[s];
            int place = 1;
            for (size_t o = 0; o < SEATS; ++o) place += line.scores[o] > line.scores[s] ? 1 : 0;
            place_sum[t] += place;
            for (size_t o = 0; o < SEATS; ++o) {
                const size_t u = seated[o];
                if (o == s || u == t) continue;
                auto& record = h2h[t][u];
                if (line.scores[s] > line.scores[o]) {
                    ++record[0];
                    wins[t][u] += PAIR_WEIGHT;
                } else if (line.scores[s] == line.scores[o]) {
                    ++record[1];
                    wins[t][u] += PAIR_WEIGHT / 2;
                } else {
                    ++record[2];
                }
            }
        }
    }

    const Fit fit = fitBradleyTerry(wins);
    for (size_t i = 0; i < n; ++i) {
        TeamStanding& team = tally[i];
        const auto played = static_cast<double>(team.played);
        team.average_score = score_sum[i] / played;
        team.average_place = place_sum[i] / played;
        team.rated = team.capped < team.played;
        team.rating = elo(fit.theta[i]);
        team.low = elo(fit.theta[i] - Z95 * fit.standard_error[i]);
        team.high = elo(fit.theta[i] + Z95 * fit.standard_error[i]);
    }
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const TeamStanding& x = tally[a];
        const TeamStanding& y = tally[b];
        if (x.rated != y.rated) return x.rated;
        if (x.rated && x.rating != y.rating) return x.rating > y.rating;
        return x.team < y.team;
    });
    int rank = 0;
    for (size_t i : order) {
        if (tally[i].rated) tally[i].rank = ++rank;
        standings.teams.push_back(tally[i]);
    }
    for (size_t i : order)
        for (size_t j : order) {
            const auto& r = h2h[i][j];
            if (i == j || r[0] + r[1] + r[2] == 0) continue;
            standings.pairs.push_back({teams[i], teams[j], r[0] + r[1] + r[2], r[0], r[1], r[2]});
        }
    return standings;
}

// [SECTION] Renderings

std::string standingsTable(const Standings& s) {
    std::string out;
    out += std::to_string(s.matches) + (s.matches == 1 ? " match" : " matches");
    if (s.capped_matches > 0) out += ", " + std::to_string(s.capped_matches) + " ended by the tick cap";
    out += "\n";
    if (s.teams.empty()) return out;

    out += rankingTable(s, {});
    size_t width = 4;
    for (const TeamStanding& t : s.teams) width = std::max(width, t.team.size());

    // Head to head: the row team's share of its meetings with the column team, ties counting half.
    std::map<std::pair<std::string, std::string>, const HeadToHead*> pairs;
    for (const HeadToHead& h : s.pairs) pairs[{h.team, h.opponent}] = &h;
    out += "\nHead to head: % of meetings in which the row team scored more (ties count half)\n";
    const size_t numbers = std::to_string(s.teams.size()).size();
    out += std::string(numbers + 2 + width, ' ');
    for (size_t c = 0; c < s.teams.size(); ++c) out += padLeft(std::to_string(c + 1), 5);
    out += "\n";
    for (size_t r = 0; r < s.teams.size(); ++r) {
        out += padLeft(std::to_string(r + 1), numbers) + "  " + padRight(s.teams[r].team, width);
        for (size_t c = 0; c < s.teams.size(); ++c) {
            const auto it = pairs.find({s.teams[r].team, s.teams[c].team});
            if (it == pairs.end()) {
                out += padLeft("-", 5);
                continue;
            }
            const HeadToHead& h = *it->second;
            const double share = (static_cast<double>(h.ahead) + 0.5 * static_cast<double>(h.tied)) /
                                 static_cast<double>(h.meetings);
            out += padLeft(format("%.0f", 100.0 * share), 5);
        }
        out += "\n";
    }
    return out;
}

std::string standingsJson(const Standings& s) {
    nlohmann::ordered_json j;
    j["matches"] = s.matches;
    j["capped_matches"] = s.capped_matches;
    j["rating"] = "Bradley-Terry on the pairs within each match, Elo scale, 95% interval from the observed "
                  "Fisher information";
    j["teams"] = nlohmann::ordered_json::array();
    for (const TeamStanding& t : s.teams) {
        nlohmann::ordered_json team;
        team["rank"] = t.rated ? nlohmann::ordered_json(t.rank) : nlohmann::ordered_json(nullptr);
        team["team"] = t.team;
        team["played"] = t.played;
        team["wins"] = tidy(t.wins);
        team["average_score"] = tidy(t.average_score);
        team["average_place"] = tidy(t.average_place);
        team["capped"] = t.capped;
        team["rated"] = t.rated;
        team["rating"] = tidy(t.rating);
        team["interval"] = {tidy(t.low), tidy(t.high)};
        j["teams"].push_back(std::move(team));
    }
    j["head_to_head"] = nlohmann::ordered_json::array();
    for (const HeadToHead& h : s.pairs)
        j["head_to_head"].push_back({{"team", h.team},
                                     {"opponent", h.opponent},
                                     {"meetings", h.meetings},
                                     {"ahead", h.ahead},
                                     {"tied", h.tied},
                                     {"behind", h.behind}});
    return j.dump(2) + "\n";
}

}  // namespace tournament

// [SECTION] Published standings: short names, per map, meetings, CSV

namespace tournament {

namespace {

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Figures rounded for people and programs alike: what the table shows is what the JSON holds.
double rounded(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return tidy(std::round(v * scale) / scale);
}

std::map<std::string, std::string> namesOf(const Standings& s) {
    std::vector<std::string> paths;
    for (const TeamStanding& t : s.teams) paths.push_back(t.team);
    return displayNames(paths);
}

std::string headline(const Standings& s) {
    std::string out = plural(s.matches, "match", "matches");
    if (s.capped_matches > 0) out += ", " + std::to_string(s.capped_matches) + " ended by the tick cap";
    if (s.expected_matches > s.matches)
        out += "; PARTIAL: " + std::to_string(s.expected_matches - s.matches) + " of the schedule's " +
               std::to_string(s.expected_matches) + " matches are missing";
    return out + "\n";
}

// A square table over the teams in standings order: `cell(row, column, pair or null)`; the diagonal is "-".
template <typename Cell>
std::string pairTable(const Standings& s, const std::map<std::string, std::string>& names, size_t cell_width,
                      Cell cell) {
    std::map<std::pair<std::string, std::string>, const HeadToHead*> pairs;
    for (const HeadToHead& h : s.pairs) pairs[{h.team, h.opponent}] = &h;
    size_t width = 4;
    for (const TeamStanding& t : s.teams) width = std::max(width, nameOf(names, t.team).size());
    const size_t numbers = std::to_string(s.teams.size()).size();
    std::string out = std::string(numbers + 2 + width, ' ');
    for (size_t c = 0; c < s.teams.size(); ++c) out += padLeft(std::to_string(c + 1), cell_width);
    out += "\n";
    for (size_t r = 0; r < s.teams.size(); ++r) {
        out += padLeft(std::to_string(r + 1), numbers) + "  " + padRight(nameOf(names, s.teams[r].team), width);
        for (size_t c = 0; c < s.teams.size(); ++c) {
            const auto it = pairs.find({s.teams[r].team, s.teams[c].team});
            out += padLeft(r == c ? "-" : cell(it == pairs.end() ? nullptr : it->second), cell_width);
        }
        out += "\n";
    }
    return out;
}

std::string shareText(const HeadToHead* h) {
    if (h == nullptr) return "never";
    const double share =
        (static_cast<double>(h->ahead) + 0.5 * static_cast<double>(h->tied)) / static_cast<double>(h->meetings);
    return format("%.0f", 100.0 * share);
}

std::string meetingsText(const HeadToHead* h) { return h == nullptr ? "never" : std::to_string(h->meetings); }

std::string publishedText(const Standings& s, const std::map<std::string, std::string>& names) {
    std::string out = headline(s);
    if (s.teams.empty()) return out;
    out += rankingTable(s, names);
    out += "\nHead to head: % of meetings in which the row team scored more (ties count half)\n";
    out += pairTable(s, names, 6, shareText);
    out += "\nMeetings: how many times the row team met the column team (seat against seat)\n";
    out += pairTable(s, names, 6, meetingsText);
    return out;
}

nlohmann::ordered_json teamsJson(const Standings& s, const std::map<std::string, std::string>& names) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const TeamStanding& t : s.teams) {
        nlohmann::ordered_json team;
        team["rank"] = t.rated ? nlohmann::ordered_json(t.rank) : nlohmann::ordered_json(nullptr);
        team["team"] = t.team;
        team["name"] = nameOf(names, t.team);
        team["played"] = t.played;
        team["wins"] = rounded(t.wins, 3);
        team["average_score"] = rounded(t.average_score, 3);
        team["average_place"] = rounded(t.average_place, 3);
        team["capped"] = t.capped;
        team["rated"] = t.rated;
        team["rating"] = rounded(t.rating, 1);
        team["interval"] = {rounded(t.low, 1), rounded(t.high, 1)};
        list.push_back(std::move(team));
    }
    return list;
}

nlohmann::ordered_json pairsJson(const Standings& s) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const HeadToHead& h : s.pairs)
        list.push_back({{"team", h.team},
                        {"opponent", h.opponent},
                        {"meetings", h.meetings},
                        {"ahead", h.ahead},
                        {"tied", h.tied},
                        {"behind", h.behind}});
    return list;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string csvRows(const Standings& s, const std::map<std::string, std::string>& names, const std::string& map) {
    std::string out;
    for (const TeamStanding& t : s.teams) {
        out += csvField(map) + "," + (t.rated ? std::to_string(t.rank) : "") + "," + csvField(t.team) + "," +
               csvField(nameOf(names, t.team)) + "," + std::to_string(t.played) + "," +
               format("%.3f", rounded(t.wins, 3)) + "," + format("%.3f", rounded(t.average_score, 3)) + "," +
               format("%.3f", rounded(t.average_place, 3)) + "," + std::to_string(t.capped) + "," +
               (t.rated ? format("%.1f", rounded(t.rating, 1)) + "," + format("%.1f", rounded(t.low, 1)) + "," +
                              format("%.1f", rounded(t.high, 1))
                        : ",,") +
               "\n";
    }
    return out;
}

}  // namespace

std::map<std::string, std::string> displayNames(const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    // Each path's parts from the file's stem outwards: "teams/red.fpl" gives "red", "teams".
    std::map<std::string, std::vector<std::string>> parts;
    for (const std::string& path : paths) {
        const fs::path p = fs::path(path).lexically_normal();
        std::vector<std::string> words{p.stem().string()};
        for (fs::path up = p.parent_path(); !up.empty() && up.has_filename(); up = up.parent_path())
            words.push_back(up.filename().string());
        parts[path] = words;
    }
    const auto nameAt = [&](const std::string& path, size_t depth) {
        const std::vector<std::string>& words = parts[path];
        std::string name = words[0];
        for (size_t d = 1; d <= depth && d < words.size(); ++d) name = words[d] + "/" + name;
        return name;
    };
    std::map<std::string, size_t> depth;
    for (const std::string& path : paths) depth[path] = 0;
    // Names that clash get one more folder, until none clash or no folder is left to add.
    for (bool clashing = true; clashing;) {
        clashing = false;
        std::map<std::string, std::vector<std::string>> by_name;
        for (const auto& [path, d] : depth) by_name[nameAt(path, d)].push_back(path);
        for (const auto& [name, same] : by_name) {
            if (same.size() < 2) continue;
            for (const std::string& path : same)
                if (depth[path] + 1 < parts[path].size()) {
                    ++depth[path];
                    clashing = true;
                }
        }
    }
    std::map<std::string, std::string> names;
    for (const auto& [path, d] : depth) names[path] = nameAt(path, d);
    // Paths that still clash (the same file name under ".." and "."): the path itself tells them apart.
    std::map<std::string, int> uses;
    for (const auto& [path, name] : names) ++uses[name];
    for (auto& [path, name] : names)
        if (uses[name] > 1) name = path;
    return names;
}

std::vector<MapStandings> standingsByMap(const std::vector<MatchLine>& lines) {
    std::map<std::string, std::vector<MatchLine>> by_map;
    for (const MatchLine& line : dedupe(lines)) by_map[line.map].push_back(line);
    std::vector<MapStandings> out;
    for (const auto& [map, matches] : by_map) out.push_back({map, computeStandings(matches)});
    return out;
}

std::string publishedTable(const Standings& s, const Presentation& presentation) {
    const std::map<std::string, std::string> names = namesOf(s);
    std::string out = publishedText(s, names);
    for (const MapStandings& m : presentation.by_map)
        out += "\n== On " + m.map + ": " + publishedText(m.standings, names);
    return out;
}

std::string publishedJson(const Standings& s, const Presentation& presentation) {
    const std::map<std::string, std::string> names = namesOf(s);
    nlohmann::ordered_json j;
    j["matches"] = s.matches;
    j["capped_matches"] = s.capped_matches;
    j["complete"] = s.expected_matches <= s.matches;
    j["missing_matches"] = s.expected_matches > s.matches ? s.expected_matches - s.matches : 0;
    j["rating"] = "Bradley-Terry on the pairs within each match, Elo scale, 95% interval from the observed "
                  "Fisher information";
    j["teams"] = teamsJson(s, names);
    j["head_to_head"] = pairsJson(s);
    if (!presentation.by_map.empty()) {
        j["by_map"] = nlohmann::ordered_json::array();
        for (const MapStandings& m : presentation.by_map)
            j["by_map"].push_back({{"map", m.map},
                                   {"matches", m.standings.matches},
                                   {"capped_matches", m.standings.capped_matches},
                                   {"teams", teamsJson(m.standings, names)},
                                   {"head_to_head", pairsJson(m.standings)}});
    }
    return j.dump(2) + "\n";
}

std::string standingsCsv(const Standings& s, const Presentation& presentation) {
    const std::map<std::string, std::string> names = namesOf(s);
    std::string out = "map,rank,team,name,played,wins,average_score,average_place,capped,rating,low,high\n";
    out += csvRows(s, names, "");
    for (const MapStandings& m : presentation.by_map) out += csvRows(m.standings, names, m.map);
    return out;
}

}  // namespace tournament
