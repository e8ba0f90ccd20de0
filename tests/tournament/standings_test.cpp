// Standings: the tallies of a small set of matches, the Bradley-Terry fit on results whose order is known, and
// bytes that do not depend on the order of the results.
#include "tournament/standings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include <nlohmann/json.hpp>
#include <random>

using namespace tournament;

namespace {

MatchLine match(const std::string& id, std::array<std::string, SEATS> seats, std::array<int, SEATS> scores,
                bool capped = false) {
    MatchLine line;
    line.id = id;
    line.map = "m.map";
    line.seats = seats;
    line.scores = scores;
    const int top = *std::max_element(scores.begin(), scores.end());
    for (size_t s = 0; s < SEATS; ++s) line.winners[s] = scores[s] == top && top >= -5;
    line.ticks = 100;
    line.capped = capped;
    line.command = windowCommand(line.map, seats);
    return line;
}

// Every rotation of the four teams, with the scores that the seats' teams get from `score_of`.
std::vector<MatchLine> rotations(const std::string& prefix, std::array<std::string, SEATS> teams,
                                 const std::function<int(const std::string&, int round)>& score_of, int rounds = 1) {
    std::vector<MatchLine> lines;
    for (int round = 0; round < rounds; ++round)
        for (size_t r = 0; r < SEATS; ++r) {
            std::array<std::string, SEATS> seats;
            std::array<int, SEATS> scores{};
            for (size_t s = 0; s < SEATS; ++s) {
                seats[s] = teams[(s + r) % SEATS];
                scores[s] = score_of(seats[s], round);
            }
            lines.push_back(match(prefix + std::to_string(round) + "-" + std::to_string(r), seats, scores));
        }
    return lines;
}

const TeamStanding& row(const Standings& s, const std::string& team) {
    return *std::find_if(s.teams.begin(), s.teams.end(), [&](const TeamStanding& t) { return t.team == team; });
}

TEST(Standings, TalliesSharedWinsPlacesAndHeadToHead) {
    const Standings s = computeStandings({match("1", {"a", "b", "c", "d"}, {4, 4, 1, -2}),
                                          match("2", {"d", "c", "b", "a"}, {0, 2, 2, 2}),
                                          match("2", {"d", "c", "b", "a"}, {0, 2, 2, 2})});  // a repeat
    EXPECT_EQ(s.matches, 2u);
    const TeamStanding& a = row(s, "a");
    EXPECT_EQ(a.played, 2u);
    EXPECT_DOUBLE_EQ(a.wins, 1.0 / 2 + 1.0 / 3);
    EXPECT_DOUBLE_EQ(a.average_score, 3.0);
    EXPECT_DOUBLE_EQ(a.average_place, 1.0);
    EXPECT_DOUBLE_EQ(row(s, "c").average_place, (3.0 + 1.0) / 2);
    EXPECT_DOUBLE_EQ(row(s, "d").wins, 0.0);
    const auto ab = std::find_if(s.pairs.begin(), s.pairs.end(),
                                 [](const HeadToHead& h) { return h.team == "a" && h.opponent == "b"; });
    ASSERT_NE(ab, s.pairs.end());
    EXPECT_EQ(std::make_tuple(ab->meetings, ab->ahead, ab->tied, ab->behind), std::make_tuple(2u, 0u, 2u, 0u));
    EXPECT_EQ(s.pairs.size(), 12u);
}

// A team that wins every match ranks first and one that always loses last, with intervals that do not overlap
// the others'; teams that share out the middle places evenly overlap.
TEST(Standings, FitRanksTheKnownOrder) {
    const auto lines = rotations("r", {"best", "mid1", "mid2", "worst"},
                                 [](const std::string& team, int round) {
                                     if (team == "best") return 5;
                                     if (team == "worst") return -3;
                                     return (team == "mid1") == (round % 2 == 0) ? 2 : 1;
                                 },
                                 6);
    const Standings s = computeStandings(lines);
    ASSERT_EQ(s.teams.size(), 4u);
    EXPECT_EQ(s.teams.front().team, "best");
    EXPECT_EQ(s.teams.back().team, "worst");
    const TeamStanding& m1 = row(s, "mid1");
    const TeamStanding& m2 = row(s, "mid2");
    EXPECT_NEAR(m1.rating, m2.rating, 1e-6);
    EXPECT_LT(m1.low, m2.high);
    EXPECT_LT(m2.low, m1.high);
    EXPECT_GT(s.teams.front().low, m1.high);
    EXPECT_LT(s.teams.back().high, m2.low);
    for (const TeamStanding& t : s.teams) EXPECT_TRUE(t.low < t.rating && t.rating < t.high) << t.team;
    // Centred: the ratings average 1500.
    double sum = 0;
    for (const TeamStanding& t : s.teams) sum += t.rating;
    EXPECT_NEAR(sum / 4, 1500.0, 1e-6);
}

TEST(Standings, FitOfTwoTeams) {
    // Equal records give equal strengths; more data narrows the interval; a clean sweep stays finite.
    const Fit even = fitBradleyTerry({{0, 3}, {3, 0}});
    EXPECT_NEAR(even.theta[0], 0.0, 1e-9);
    EXPECT_LT(fitBradleyTerry({{0, 30}, {30, 0}}).standard_error[0], even.standard_error[0]);
    const Fit sweep = fitBradleyTerry({{0, 10}, {0, 0}});
    EXPECT_GT(sweep.theta[0], 1.0);
    EXPECT_TRUE(std::isfinite(sweep.theta[0]) && std::isfinite(sweep.standard_error[0]));
    EXPECT_NEAR(sweep.theta[0], -sweep.theta[1], 1e-9);
}

// The same results in any order, with repeats, give the same bytes.
TEST(Standings, BytesDoNotDependOnTheOrderOfResults) {
    auto lines = rotations("x", {"a", "b", "c", "d"},
                           [](const std::string& team, int round) { return team[0] * (round + 1) % 7; },
                           5);
    const auto more = rotations("y", {"e", "b", "c", "a"},
                                [](const std::string& team, int round) { return team[0] % (round + 2); },
                                3);
    lines.insert(lines.end(), more.begin(), more.end());
    const Standings first = computeStandings(lines);
    const std::string table = standingsTable(first);
    const std::string json = standingsJson(first);
    std::mt19937 shuffle(1);
    for (int i = 0; i < 5; ++i) {
        std::shuffle(lines.begin(), lines.end(), shuffle);
        auto repeated = lines;
        repeated.insert(repeated.end(), lines.begin(), lines.begin() + i);
        const Standings again = computeStandings(repeated);
        EXPECT_EQ(standingsTable(again), table);
        EXPECT_EQ(standingsJson(again), json);
    }
}

// A team whose every match hit the tick cap is listed, unranked, below the ranked ones.
TEST(Standings, TeamCappedInEveryMatchIsShownNotRanked) {
    std::vector<MatchLine> lines{match("1", {"a", "b", "c", "loop"}, {1, 0, 0, 0}, true),
                                 match("2", {"loop", "a", "b", "c"}, {0, 1, 0, 2}, true),
                                 match("3", {"a", "b", "c", "d"}, {2, 1, 0, 0})};
    const Standings s = computeStandings(lines);
    EXPECT_EQ(s.capped_matches, 2u);
    EXPECT_EQ(s.teams.back().team, "loop");
    EXPECT_FALSE(s.teams.back().rated);
    EXPECT_EQ(s.teams.back().rank, 0);
    EXPECT_TRUE(row(s, "a").rated);
    const std::string table = standingsTable(s);
    EXPECT_NE(table.find("3 matches, 2 ended by the tick cap\n"), std::string::npos) << table;
    EXPECT_NE(table.find("   -  loop       2    0.00       0.00       2.50       2  capped\n"), std::string::npos)
        << table;
}

TEST(Standings, TableIsAligned) {
    const std::string table = standingsTable(computeStandings(
        {match("1", {"teams/long-name.fpl", "b", "c", "d"}, {1, 0, 0, -1}),
         match("2", {"b", "c", "d", "e"}, {0, 0, 0, 0})}));
    EXPECT_EQ(table.substr(0, table.find("\n\n")),
              "2 matches\n"
              "rank  team                 played    wins  avg score  avg place  capped  rating  95% interval\n"
              "   1  teams/long-name.fpl       1    1.00       1.00       1.00       0    1668   1197 .. 2140\n"
              "   2  b                         2    0.25       0.00       1.50       0    1486   1147 .. 1824\n"
              "   3  c                         2    0.25       0.00       1.50       0    1486   1147 .. 1824\n"
              "   4  e                         1    0.25       0.00       1.00       0    1475   1059 .. 1892\n"
              "   5  d                         2    0.25      -0.50       2.50       0    1385   1032 .. 1738");
}

// Short names: the file name alone, folders added from the nearest until the names differ.
TEST(Standings, DisplayNamesAreShortButDistinct) {
    const std::map<std::string, std::string> names =
        displayNames({"teams/ghosts.fpl", "default.fpl", "a/x/red.fpl", "b/x/red.fpl", "c/blue.fpl", "d/blue.fpl",
                      "../red2.fpl", "./sub/../red2.fpl"});
    const std::map<std::string, std::string> expected{
        {"teams/ghosts.fpl", "ghosts"}, {"default.fpl", "default"},    {"a/x/red.fpl", "a/x/red"},
        {"b/x/red.fpl", "b/x/red"},     {"c/blue.fpl", "c/blue"},      {"d/blue.fpl", "d/blue"},
        {"../red2.fpl", "../red2"},     {"./sub/../red2.fpl", "red2"}};
    EXPECT_EQ(names, expected);
}

// Partial standings say so; the JSON's figures are rounded; a pair that never met is told apart from the diagonal.
TEST(Standings, PublishedFormsSayWhatIsMissingAndRound) {
    std::vector<MatchLine> lines{match("1", {"p/a.fpl", "p/b.fpl", "p/c.fpl", "p/d.fpl"}, {3, 1, 1, 0}),
                                 match("2", {"p/a.fpl", "p/b.fpl", "p/c.fpl", "p/e.fpl"}, {0, 2, 1, 1})};
    Standings s = computeStandings(lines);
    s.expected_matches = 5;
    const std::string table = publishedTable(s, {});
    EXPECT_TRUE(table.starts_with("2 matches; PARTIAL: 3 of the schedule's 5 matches are missing\n")) << table;
    EXPECT_NE(table.find("never"), std::string::npos) << table;  // d and e never met
    const nlohmann::json j = nlohmann::json::parse(publishedJson(s, {}));
    EXPECT_EQ(j["complete"], false);
    EXPECT_EQ(j["missing_matches"], 3);
    for (const auto& team : j["teams"]) {
        for (const char* key : {"wins", "average_score", "average_place"}) {
            const double v = team[key];
            EXPECT_DOUBLE_EQ(v, std::round(v * 1000) / 1000) << key;
        }
        const double rating = team["rating"];
        EXPECT_DOUBLE_EQ(rating, std::round(rating * 10) / 10);
    }
    for (const auto& team : j["teams"])
        EXPECT_EQ("p/" + team["name"].get<std::string>() + ".fpl", team["team"].get<std::string>());
}

}  // namespace
