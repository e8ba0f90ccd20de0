// standings.h: the standings of a set of match results: per team the matches played, wins, average score and
// place, and a rating with its 95% interval, plus the head-to-head record of every pair.
//
// The rating is a Bradley-Terry model fitted on all results at once: every pair of distinct teams in a match is one
// comparison, won by the higher score, halved on equal scores, and weighted 1/3 so that a match of four weighs as
// much for each team as one game. Every team also plays one virtual drawn game against a fixed team at 1500, which
// keeps the fit finite for a team that never lost (or never won). The fit is Hunter's MM algorithm; the intervals
// come from the observed Fisher information at the fit. Ratings are on the Elo scale, 1500 for the teams' mean: 400
// points are a factor of ten in the odds of finishing ahead.
//
// Everything here is a function of the set of results: the input is taken one line per id in id order, so the
// standings, down to their bytes, do not depend on the order in which matches were played, merged or read.
#pragma once

#include "tournament/result_line.h"

#include <map>
#include <string>
#include <vector>

namespace tournament {

struct TeamStanding {
    std::string team;        // the team file as the results name it
    uint64_t played = 0;     // seats taken (a team filling two seats of a match takes two)
    uint64_t capped = 0;     // of those, in matches that hit the tick cap
    double wins = 0;         // a win shared by k teams counts 1/k
    double average_score = 0;
    double average_place = 0;  // 1 + the number of seats with a higher score
    bool rated = false;      // false when every match of the team hit the tick cap: shown, not ranked
    int rank = 0;            // 1.. for rated teams, 0 otherwise
    double rating = 0;       // Elo scale, 1500 for the mean of the teams
    double low = 0;          // 95% interval
    double high = 0;
};

struct HeadToHead {
    std::string team;
    std::string opponent;
    uint64_t meetings = 0;  // comparisons of a seat of `team` with a seat of `opponent` in one match
    uint64_t ahead = 0;     // `team` scored more
    uint64_t tied = 0;
    uint64_t behind = 0;
};

struct Standings {
    uint64_t matches = 0;
    uint64_t capped_matches = 0;
    uint64_t expected_matches = 0;  // the schedule's size when known and larger than `matches`: partial standings
    std::vector<TeamStanding> teams;  // rated teams by rating (ties by name), then the others by name
    std::vector<HeadToHead> pairs;    // every ordered pair that met, in the order of `teams`
};

// The strength of each team in a Bradley-Terry fit: `wins[i][j]` is the weight of comparisons that team i won
// against j (a tie gives half to each). Returns log-strengths relative to their mean, with standard errors.
struct Fit {
    std::vector<double> theta;
    std::vector<double> standard_error;
    int iterations = 0;
};
Fit fitBradleyTerry(const std::vector<std::vector<double>>& wins);

// `lines` may hold repeats; each id counts once.
Standings computeStandings(const std::vector<MatchLine>& lines);

// The aligned table for people, and the JSON document for programs, byte for byte the same for the same results.
std::string standingsTable(const Standings& standings);
std::string standingsJson(const Standings& standings);

// Short names for team files, for people: the file name without folders and extension, with as many parent
// folders put before it as it takes for the names to differ ("ghosts", "a/red" and "b/red"). Keyed by path.
std::map<std::string, std::string> displayNames(const std::vector<std::string>& paths);

// The standings of each map on its own, in the maps' order by path.
struct MapStandings {
    std::string map;
    Standings standings;
};
std::vector<MapStandings> standingsByMap(const std::vector<MatchLine>& lines);

// What the renderings below show besides the standings themselves.
struct Presentation {
    std::vector<MapStandings> by_map;  // empty: no per-map tables
};

// The table with short names, the head-to-head shares and how many times each pair met, and per map when asked.
std::string publishedTable(const Standings& standings, const Presentation& presentation);
// The JSON document with short names, figures rounded, and per map when asked.
std::string publishedJson(const Standings& standings, const Presentation& presentation);
// A header line, then one line per team: map,rank,team,name,played,wins,average_score,average_place,capped,rating,
// low,high (documented in the README); `map` is empty for the whole tournament, and names the map in the lines
// that follow per map when asked. An unrated team has no rank, rating or interval.
std::string standingsCsv(const Standings& standings, const Presentation& presentation);

}  // namespace tournament
