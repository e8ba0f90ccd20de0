// The trace of hand-worked small matches, line by line, and its positions against the status report's.
#include "match/match.h"
#include "match/trace.h"
#include "support/test_support.h"

#include "core/fusewick.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

// [SECTION] Small matches from texts

const char* const IDLE = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";

// Team 1 plays `team1` (file "t1.fpl"), the others idle, on an open `side` x `side` map; nothing touches the disk.
MatchSources smallMatch(const std::string& team1, int side = 6) {
    std::string map = std::to_string(side) + ", " + std::to_string(side) + "\n";
    for (int r = 0; r < side; ++r) map += std::string(static_cast<size_t>(side), '-') + "\n";
    MatchSources s{{"arena.map", map}, {}};
    s.teams[0] = {"t1.fpl", team1};
    for (size_t t = 1; t < TEAM_COUNT; ++t) s.teams[t] = {"idle.fpl", IDLE};
    return s;
}

// The whole trace of a match, with its console output swallowed.
std::string traceOf(const MatchSources& sources, TraceFormat format = TraceFormat::Text,
                    TracePlayers players = TracePlayers::all()) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(sources, defaultConfig());
        TraceWriter trace(out, format, players);
        trace.matchEnded(runMatch(match, 2000, &trace));
    });
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

// [SECTION] Text lines

struct Case {
    const char* name;
    const char* team1;
    std::vector<std::string> lines;  // each must appear in the trace as a whole line
};

class TraceLines : public testing::TestWithParam<Case> {};

TEST_P(TraceLines, AppearWhole) {
    const std::string trace = "\n" + traceOf(smallMatch(GetParam().team1));
    for (const std::string& line : GetParam().lines)
        EXPECT_NE(trace.find("\n" + line + "\n"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TraceLines,
    testing::Values(
        // 1.2 drops on (0, 1) in tick 1; 1.1 waits a cell's time and then finds the bomb in its way.
        Case{"BlockedByATeamMatesBomb",
             "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.WAIT 1\nP1.MOVE 2\nP2.DROP\n",
             {"     1  1.2 dropped a bomb at (0, 1)",
              "     8  1.1 CAPTAIN   (0, 0)         down  health 1  bombs 2  t1.fpl:5 P1.WAIT 1 (0 left)  waiting",
              "     9  1.1 CAPTAIN   (0, 0)         down  health 1  bombs 2  t1.fpl:6 P1.MOVE 2 (1.875 left)  "
              "blocked by a bomb of 1.2 at (0, 1)",
              "     9  1.2 CAPTAIN   (0, 1)         down  health 1  bombs 1  program finished"}},
        // A SAFETY holds one bomb: the second DROP waits until the first is back in tick 187.
        Case{"WaitingForABombInHand",
             "P1 SAFETY\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\nP1.DROP\n",
             {"     1  1.1 SAFETY    (0, 0)         down  health 1  bombs 0  t1.fpl:5 P1.DROP  dropping",
              "     2  1.1 SAFETY    (0, 0)         down  health 1  bombs 0  t1.fpl:6 P1.DROP  waiting for a bomb in hand",
              "   136  bomb of 1.1 exploded at (0, 0), reaching x 0..1 and y 0..1",
              "   137  1.1 hit by the bomb of 1.1 from (0, 0): spared, a SAFETY is unharmed by its own team's bombs",
              "   187  1.1 has its bomb back",
              "   187  1.1 SAFETY    (0, 0)         down  health 1  bombs 0  t1.fpl:6 P1.DROP  dropping"}},
        // The owner's bomb kills it and the team mates beside it; each hit costs team 1 a point, and each hit line
        // shows the score as that hit leaves it.
        Case{"OwnTeamKill",
             "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\n",
             {"   137  1.1 hit by the bomb of 1.1 from (0, 0): health 0 left, team 1 -1 (score -1)",
              "   137  1.2 hit by the bomb of 1.1 from (0, 0): health 0 left, team 1 -1 (score -2)",
              "   137  1.3 hit by the bomb of 1.1 from (0, 0): health 0 left, team 1 -1 (score -3)",
              "   137  1.1 died", "   137  1.1 CAPTAIN   (0, 0)         none  health 0  bombs 1  dying",
              "   166  1.1 CAPTAIN   (0, 0)         none  health 0  bombs 1  dead"}},
        // A HULK takes two hits: the first leaves it standing, the second, a tick later, kills it.
        Case{"HulkSurvivesAHit",
             "P1 HULK\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\n",
             {"   137  1.1 hit by the bomb of 1.1 from (0, 0): health 1 left, team 1 -1 (score -1)",
              "   137  1.1 HULK      (0, 0)         down  health 1  bombs 2  program finished",
              "   138  1.1 hit by the bomb of 1.1 from (0, 0): health 0 left, team 1 -1 (score -4)",
              "   138  1.1 died"}},
        // 1.2's bomb, dropped a cell below 1.1's 24 ticks later, is set off a tick after 1.1's goes off.
        Case{"Chain", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\nP1.LEFT\nP1.MOVE 3\nP2.WAIT 3\nP2.DROP\n",
             {"   136  bomb of 1.1 exploded at (0, 0), reaching x 0..2 and y 0..2",
              "   137  chain: bomb of 1.2 at (0, 1) set off by the bomb of 1.1 at (0, 0)",
              "   137  bomb of 1.2 exploded at (0, 1), reaching x 0..2 and y 0..3"}},
        // Turning only: the program ends in its first tick, facing the last turn's way.
        Case{"TurnsOnly", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.LEFT\nP1.LEFT\nP2.MOVE 1\n",
             {"     1  1.1 CAPTAIN   (0, 0)         up    health 1  bombs 2  t1.fpl:6 P1.LEFT  turning, program finished"}},
        // Facing the top edge.
        Case{"BlockedByTheEdge", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.REVERSE\nP1.MOVE 1\n",
             {"     1  1.1 CAPTAIN   (0, 0)         up    health 1  bombs 2  t1.fpl:6 P1.MOVE 1 (0.875 left)  "
              "blocked by the edge"}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Only the listed players get lines, and only the events that concern them.
TEST(Trace, KeepsOnlyTheListedPlayers) {
    const std::string trace = traceOf(smallMatch("P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP2.DROP\n"),
                                      TraceFormat::Text, *TracePlayers::parse("1.1,3.4"));
    EXPECT_NE(trace.find("  1.1 CAPTAIN"), std::string::npos);
    EXPECT_NE(trace.find("  3.4 CAPTAIN"), std::string::npos);
    EXPECT_EQ(trace.find("  1.2 CAPTAIN"), std::string::npos);
    EXPECT_EQ(trace.find("1.2 dropped"), std::string::npos);
    // 1.2's bomb hits 1.1: the event concerns a listed player.
    EXPECT_NE(trace.find("1.1 hit by the bomb of 1.2"), std::string::npos);
    for (const char* bad : {"", "1.5", "0.1", "1.1,", "5", "1.", "11", ".1"}) EXPECT_FALSE(TracePlayers::parse(bad)) << bad;
}

// A team number alone stands for its four players.
TEST(Trace, TeamNumberSelectsTheWholeTeam) {
    EXPECT_EQ(TracePlayers::parse("1")->shown, TracePlayers::parse("1.1,1.2,1.3,1.4")->shown);
    EXPECT_EQ(TracePlayers::parse("2,3.1")->shown, TracePlayers::parse("2.1,2.2,2.3,2.4,3.1")->shown);
}

// The self-harm case: a HOARDER held up by a team mate's bomb, which then goes off on its own team. With only the
// changes, the whole team's trace reads in a few lines; text after a command's count is not part of the command.
TEST(Trace, ChangesOnlyTellTheSelfHarmCaseInAFewLines) {
    const std::string team = "P1 HOARDER\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.WAIT 1\nP1.MOVE 2 to the middle\n"
                             "P2.DROP\n";
    const auto count = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(smallMatch(team), defaultConfig());
        TraceWriter trace(out, TraceFormat::Text, *TracePlayers::parse("1"), true);
        trace.matchEnded(runMatch(match, 2000, &trace));
    });
    std::fclose(out);
    const std::string changes(data, size);
    std::free(data);
    const std::string whole = traceOf(smallMatch(team), TraceFormat::Text, *TracePlayers::parse("1"));
    EXPECT_GT(count(whole), 700);
    EXPECT_EQ(count(changes), 23) << changes;
    for (const char* line :
         {"     1  1.1 HOARDER   (0, 0)         down  health 1  bombs 4  t1.fpl:5 P1.WAIT 1 (0.9 left)  waiting",
          "    11  1.1 HOARDER   (0, 0)         down  health 1  bombs 4  t1.fpl:6 P1.MOVE 2 (1.9 left)  blocked by a "
          "bomb of 1.2 at (0, 1)",
          "   137  1.4 hit by the bomb of 1.2 from (0, 1): health 0 left, team 1 -1 (score -3)",
          "   137  1.1 HOARDER   (0, 0)         none  health 0  bombs 4  dying",
          "   165  1.1 HOARDER   (0, 0)         none  health 0  bombs 4  dead"})
        EXPECT_NE(("\n" + changes).find("\n" + std::string(line) + "\n"), std::string::npos) << line;
    EXPECT_EQ(changes.find("to the middle"), std::string::npos);
}

// Each kind of thing that blocks a player, as the JSON trace names it: the edge, a wall (not the edge), a bomb.
TEST(Trace, JsonNamesEachKindOfBlocker) {
    struct Blocked {
        const char* kind;
        std::string map;
        const char* team1;
        nlohmann::json expected;
    };
    const std::string open = "4, 4\n----\n----\n----\n----\n";
    for (const Blocked& b : std::vector<Blocked>{
             {"edge", open, "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.REVERSE\nP1.MOVE 1\n",
              {{"kind", "edge"}, {"x", 0}, {"y", -1}}},
             {"wall", "4, 4\n----\nX---\n----\n----\n", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.MOVE 1\n",
              {{"kind", "wall"}, {"x", 0}, {"y", 1}}},
             {"bomb", open, "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.WAIT 1\nP1.MOVE 1\nP2.DROP\n",
              {{"kind", "bomb"}, {"x", 0}, {"y", 1}, {"team", 1}, {"player", 2}}}}) {
        MatchSources sources = smallMatch(b.team1);
        sources.map.text = b.map;
        std::istringstream lines(traceOf(sources, TraceFormat::JsonLines, *TracePlayers::parse("1.1")));
        nlohmann::json first;
        for (std::string line; std::getline(lines, line);) {
            const nlohmann::json j = nlohmann::json::parse(line);
            if (j.value("state", "") == "blocked") {
                first = j["blocked_by"];
                break;
            }
        }
        EXPECT_EQ(first, b.expected) << b.kind;
    }
}

// [SECTION] JSON Lines against the status report

// After every tick the JSON trace gives each player the position that the status report prints at that tick.
TEST(Trace, JsonPositionsAreTheStatusReportsOnTheDefaultMatch) {
    MatchSources sources{{FUSEWICK_SOURCE_DIR "/default.map", std::nullopt}, {}};
    for (auto& team : sources.teams) team.path = FUSEWICK_SOURCE_DIR "/default.fpl";

    // Status reports after some ticks, printed among the match's console output.
    struct Reports final : MatchObserver {
        std::vector<uint64_t> ticks;
        void tickDone(uint64_t tick) override {
            if (tick % 97 != 1) return;
            ticks.push_back(tick);
            printStatus();
        }
    } reports;
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    const std::string console = fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(sources, defaultConfig());
        TraceWriter trace(out, TraceFormat::JsonLines, TracePlayers::all());
        ObserverList both;
        both.add(&trace);
        both.add(&reports);
        runMatch(match, DEFAULT_MAX_TICKS, &both);
    });
    std::fclose(out);
    std::istringstream lines(std::string(data, size));
    std::free(data);

    std::map<uint64_t, std::string> located;  // per reported tick, the "Located at" lines the trace gives
    size_t player_lines = 0;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json j = nlohmann::json::parse(line);
        if (j.contains("event")) continue;
        ++player_lines;
        for (const char* key : {"tick", "team", "player", "type", "x", "y", "facing", "health", "status", "bombs",
                                "file", "line", "command", "state"})
            ASSERT_TRUE(j.contains(key)) << key << " in " << line;
        const uint64_t tick = j["tick"];
        if (std::find(reports.ticks.begin(), reports.ticks.end(), tick) == reports.ticks.end()) continue;
        char text[96];
        std::snprintf(text, sizeof text, "---- Located at [%f, %f]\n", j["x"].get<double>(), j["y"].get<double>());
        located[tick] += text;
    }
    EXPECT_EQ(player_lines % 16, 0u);
    // The reports' position lines, 16 to a report, in the order of the reported ticks.
    std::vector<std::string> reported(reports.ticks.size());
    std::istringstream in(console);
    size_t report = 0;
    for (std::string line; std::getline(in, line);) {
        if (line == "Printing status information") ++report;
        if (line.starts_with("---- Located at") && report >= 1 && report <= reported.size())
            reported[report - 1] += line + "\n";
    }
    ASSERT_GE(reports.ticks.size(), 5u);
    for (size_t i = 0; i < reports.ticks.size(); ++i)
        EXPECT_EQ(located[reports.ticks[i]], reported[i]) << "tick " << reports.ticks[i];
}

}  // namespace
