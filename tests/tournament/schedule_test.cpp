// The schedule: how many matches, every team in every seat equally often, ids that name what decides a match,
// slices that cover the schedule once, samples that are reproducible and fair, and the window's command line.
#include "tournament/schedule.h"

#include "support/test_support.h"

#include <filesystem>
#include <map>
#include <set>

using namespace tournament;

namespace {

std::vector<Entrant> entrants(int n, const std::string& prefix) {
    std::vector<Entrant> out;
    for (int i = 0; i < n; ++i) out.push_back({prefix + std::to_string(i), "text " + std::to_string(i)});
    return out;
}

struct CountCase {
    int teams;
    SeatMode mode;
    size_t matches;  // on one map
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.teams << " teams, " << (c.mode == SeatMode::All ? "all orders" : "rotations");
}

class ScheduleCounts : public testing::TestWithParam<CountCase> {};

// Every team takes every seat equally often, no match is played twice, and (with four teams or more) no group
// names a team twice.
TEST_P(ScheduleCounts, EveryTeamInEverySeatEquallyOften) {
    const CountCase c = GetParam();
    ScheduleOptions options;
    options.seats = c.mode;
    const auto schedule = buildSchedule(entrants(c.teams, "t"), entrants(2, "m"), options);
    ASSERT_EQ(schedule.size(), 2 * c.matches);
    std::set<std::string> ids;
    std::map<std::pair<int, size_t>, int> seat_count;  // (team, seat) -> matches
    for (const ScheduledMatch& m : schedule) {
        EXPECT_TRUE(ids.insert(m.id).second) << m.id;
        for (size_t s = 0; s < SEATS; ++s) ++seat_count[{m.seats[s], s}];
        if (c.teams >= SEATS) {
            EXPECT_EQ(std::set<int>(m.seats.begin(), m.seats.end()).size(), size_t{SEATS});
        }
    }
    ASSERT_EQ(seat_count.size(), static_cast<size_t>(c.teams) * SEATS);
    for (const auto& [key, count] : seat_count) EXPECT_EQ(count, seat_count.begin()->second) << key.first;
    // The first map's matches come first, in the same order as the second's.
    EXPECT_EQ(schedule[0].map, 0);
    EXPECT_EQ(schedule[c.matches].map, 1);
    EXPECT_EQ(schedule[0].seats, schedule[c.matches].seats);
}

INSTANTIATE_TEST_SUITE_P(Counts, ScheduleCounts,
                         testing::Values(CountCase{1, SeatMode::Rotate, 1}, CountCase{1, SeatMode::All, 1},
                                         CountCase{2, SeatMode::Rotate, 4}, CountCase{2, SeatMode::All, 6},
                                         CountCase{3, SeatMode::Rotate, 12}, CountCase{3, SeatMode::All, 36},
                                         CountCase{4, SeatMode::Rotate, 4}, CountCase{4, SeatMode::All, 24},
                                         CountCase{5, SeatMode::Rotate, 20}, CountCase{7, SeatMode::Rotate, 140},
                                         CountCase{7, SeatMode::All, 840}),
                         [](const testing::TestParamInfo<CountCase>& info) {
                             return std::to_string(info.param.teams) + "Teams" +
                                    (info.param.mode == SeatMode::All ? "AllOrders" : "Rotations");
                         });

TEST(Schedule, GroupCountsSaturate) {
    EXPECT_EQ(groupCount(3), 0u);
    EXPECT_EQ(groupCount(4), 1u);
    EXPECT_EQ(groupCount(20), 4845u);
    EXPECT_EQ(groupCount(50000), 260385417812487500u);
    EXPECT_EQ(groupCount(1 << 30), UINT64_MAX);
}

// The id changes with the map, any team's path or text, the seat order and the cap, and with nothing else.
TEST(Schedule, IdNamesWhatDecidesTheMatch) {
    const Entrant map{"a.map", "5, 5\n"};
    const std::vector<Entrant> t = entrants(4, "t");
    const std::array<const Entrant*, SEATS> seats{&t[0], &t[1], &t[2], &t[3]};
    const std::string id = matchId(map, seats, 100);
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(id, matchId(Entrant{"a.map", "5, 5\n"}, seats, 100));
    const Entrant other_text{"t0", "changed"};
    const Entrant other_path{"u0", t[0].text};
    for (const std::string& other :
         {matchId({"b.map", map.text}, seats, 100), matchId({map.path, "6, 5\n"}, seats, 100),
          matchId(map, seats, 101), matchId(map, {&t[1], &t[0], &t[2], &t[3]}, 100),
          matchId(map, {&other_text, &t[1], &t[2], &t[3]}, 100), matchId(map, {&other_path, &t[1], &t[2], &t[3]}, 100)})
        EXPECT_NE(id, other);
}

TEST(Schedule, SlicesCoverTheScheduleOnce) {
    const auto schedule = buildSchedule(entrants(6, "t"), entrants(3, "m"), {});
    for (uint64_t count : {1u, 2u, 7u, 1000u}) {
        std::multiset<std::string> seen;
        for (uint64_t i = 0; i < count; ++i)
            for (const ScheduledMatch& m : shardOf(schedule, {i, count})) seen.insert(m.id);
        std::multiset<std::string> all;
        for (const ScheduledMatch& m : schedule) all.insert(m.id);
        EXPECT_EQ(seen, all) << count;
    }
    struct ShardText {
        const char* text;
        std::optional<std::pair<uint64_t, uint64_t>> parsed;
    };
    for (const ShardText& c : {ShardText{"0/1", {{0, 1}}}, ShardText{"3/4", {{3, 4}}}, ShardText{"4/4", {}},
                               ShardText{"0/0", {}}, ShardText{"-1/4", {}}, ShardText{"1", {}},
                               ShardText{"1/", {}}, ShardText{" 1/2", {}}, ShardText{"1/2/3", {}}}) {
        const auto shard = parseShard(c.text);
        ASSERT_EQ(shard.has_value(), c.parsed.has_value()) << c.text;
        if (shard) {
            EXPECT_EQ(std::make_pair(shard->index, shard->count), *c.parsed) << c.text;
        }
    }
}

// A sample is the same for the same seed, differs for another, holds distinct groups, and draws every team about
// equally often (the counts of any two teams differ by two at most).
TEST(Schedule, SamplesAreReproducibleAndFair) {
    ScheduleOptions options;
    for (const auto& [teams, k] : std::vector<std::pair<int, uint64_t>>{{10, 20}, {30, 45}, {6, 14}, {5, 4}}) {
        options.sample = k;
        options.seed = 7;
        const auto groups = scheduleGroups(teams, options);
        ASSERT_EQ(groups.size(), k);
        EXPECT_EQ(groups, scheduleGroups(teams, options));
        EXPECT_EQ(std::set(groups.begin(), groups.end()).size(), k);
        std::vector<int> drawn(static_cast<size_t>(teams), 0);
        for (const auto& g : groups)
            for (int t : g) ++drawn[static_cast<size_t>(t)];
        EXPECT_LE(*std::max_element(drawn.begin(), drawn.end()) - *std::min_element(drawn.begin(), drawn.end()), 2)
            << teams << " teams, " << k << " groups: " << testing::PrintToString(drawn);
        options.seed = 8;
        if (k < groupCount(teams) - 1) {
            EXPECT_NE(groups, scheduleGroups(teams, options));
        }
    }
    options.sample = 100;  // more than there are: all of them
    EXPECT_EQ(scheduleGroups(6, options).size(), 15u);
}

TEST(Schedule, OneTeamUnderTwoPathsIsOneTeam) {
    fwtest::TempDir dir;
    dir.write("a.fpl", "x");
    dir.write("sub/b.fpl", "x");
    std::filesystem::create_symlink(dir.file("a.fpl"), dir.file("link.fpl"));
    const std::string d = dir.path();
    EXPECT_EQ(distinctFiles({d + "/sub/b.fpl", d + "/a.fpl", d + "/./a.fpl", d + "/sub/../a.fpl", d + "/link.fpl",
                             d + "//sub/b.fpl"}),
              (std::vector<std::string>{d + "/a.fpl", d + "/sub/b.fpl"}));
}

TEST(Schedule, WindowCommandQuotesForTheShell) {
    EXPECT_EQ(windowCommand("maps/x.map", {"a.fpl", "my team.fpl", "it's.fpl", "-odd.fpl"}),
              "fusewick -M maps/x.map a.fpl 'my team.fpl' 'it'\\''s.fpl' ./-odd.fpl");
    EXPECT_EQ(shellQuote(""), "''");
    EXPECT_EQ(shellQuote("$HOME;rm"), "'$HOME;rm'");
}

}  // namespace
