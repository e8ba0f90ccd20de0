// The viewer's model: any tick restored from the snapshots equals the tick as the match played it, whatever the way
// there; the marks are the match's events; the panel's words are the trace's; clicks, keys and frames move the
// shown tick as documented.
#include "view/timeline.h"
#include "view/view_control.h"
#include "view_match.h"

#include "match/state_hash.h"
#include "match/trace.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace {

// The fingerprint of the state after every tick of a plain run, tick 0 as loaded.
class Fingerprints final : public MatchObserver {
public:
    std::vector<uint64_t> hashes{hashTickState(game)};
    std::vector<int> counted_hits;
    std::map<uint64_t, int> deaths, explosions;
    uint64_t tick = 0;

    void tickStarting(uint64_t t) override { tick = t; }
    void tickDone(uint64_t) override { hashes.push_back(hashTickState(game)); }
    void bombDetonated(int, int, int) override { ++explosions[tick]; }
    void playerDied(int, int) override { ++deaths[tick]; }
};

struct Played {
    Fingerprints prints;
    MatchResult result;
};

Played playPlain(const std::string& first, uint64_t max_ticks) {
    Played played;
    const LoadedMatch match = fwtest::loadViewMatch(first);
    played.prints.hashes = {hashTickState(game)};
    fwtest::captureStdout([&] { played.result = runMatch(match, max_ticks, &played.prints); });
    return played;
}

// [SECTION] Seeking

struct SeekCase {
    const char* name;
    std::string first_team;  // "" for default.fpl
    uint64_t max_ticks;
    uint64_t interval;
};

void PrintTo(const SeekCase& c, std::ostream* os) { *os << c.name; }

class SeekTest : public testing::TestWithParam<SeekCase> {};

TEST_P(SeekTest, EveryWayToATickGivesTheStateThePlayHad) {
    const SeekCase& c = GetParam();
    const Played plain = playPlain(c.first_team, c.max_ticks);
    const LoadedMatch match = fwtest::loadViewMatch(c.first_team);
    std::string printed = fwtest::captureStdout([&] {
        MatchTimeline timeline(match, c.max_ticks, nullptr, c.interval);
        ASSERT_EQ(timeline.lastTick(), plain.result.ticks);
        ASSERT_EQ(timeline.result().capped, plain.result.capped);
        EXPECT_EQ(timeline.snapshotCount(), 1 + timeline.lastTick() / c.interval);
        const uint64_t last = timeline.lastTick(), k = c.interval;
        // Forward and back across snapshot borders, far jumps both ways, the ends, repeats.
        const std::vector<uint64_t> path = {last, 0,        k - 1, k,    k + 1, 1,    2 * k + 3, k,     last - 1,
                                            last, last / 2, 3,     last, 0,     last, k + 1, k + 2, last / 2 + 1};
        for (uint64_t t : path) {
            t = std::min(t, last);
            timeline.seek(t);
            ASSERT_EQ(timeline.tick(), t);
            ASSERT_EQ(hashTickState(game), plain.prints.hashes[t]) << "tick " << t;
        }
        timeline.seek(last + 5);  // beyond the end: the last tick
        EXPECT_EQ(timeline.tick(), last);
    });
    EXPECT_EQ(printed, "") << "the match's console output is held back";
}

INSTANTIATE_TEST_SUITE_P(
    Matches, SeekTest,
    testing::Values(SeekCase{"Default", "", DEFAULT_MAX_TICKS, 100},
                    // The cap ends the match as the end key would, at the frame of the tick after it.
                    SeekCase{"Capped", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.MOVE 0\n", 250, 40},
                    SeekCase{"OneSnapshot", "", DEFAULT_MAX_TICKS, 5000},
                    // Snapshots every 7 ticks land with bombs burning and exploding: a restore must leave the
                    // engine's own record of the bombs in play (kept beside the game state) as the restored tick's.
                    SeekCase{"BombsAcrossSnapshots",
                             "P1 HOARDER\nP2 HOARDER\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\nP1.MOVE 1\nP1.DROP\nP1.MOVE 1\n"
                             "P1.DROP\nP1.MOVE 2\nP2.RIGHT\nP2.DROP\nP2.MOVE 1\nP2.DROP\nP2.MOVE 3\n",
                             DEFAULT_MAX_TICKS, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimelineTest, MarksAreTheMatchsExplosionsCountedHitsAndDeaths) {
    const Played plain = playPlain("", DEFAULT_MAX_TICKS);
    const LoadedMatch match = fwtest::loadViewMatch();
    const MatchTimeline timeline(match);
    std::map<uint64_t, int> explosions, deaths;
    int hits = 0;
    for (const TimelineMark& m : timeline.marks()) {
        if (m.kind == MarkKind::Explosion) ++explosions[m.tick];
        if (m.kind == MarkKind::Death) ++deaths[m.tick];
        hits += m.kind == MarkKind::Hit;
    }
    EXPECT_EQ(explosions, plain.prints.explosions);
    EXPECT_EQ(deaths, plain.prints.deaths);
    int given = 0;
    for (const TeamResult& t : plain.result.teams)
        for (const PlayerResult& p : t.players) given += p.hits_given;
    EXPECT_EQ(hits, given);
    EXPECT_FALSE(deaths.empty());
}

// What the panel says a player did in a tick is what the trace says, for every player at many ticks.
TEST(TimelineTest, PlayerStatesAreTheTracesWords) {
    const LoadedMatch traced = fwtest::loadViewMatch();
    const fwtest::TempDir dir;
    const std::string path = dir.file("trace.txt");
    std::FILE* out = std::fopen(path.c_str(), "w");
    TraceWriter writer(out, TraceFormat::Text, TracePlayers::all());
    fwtest::captureStdout([&] { runMatch(traced, DEFAULT_MAX_TICKS, &writer); });
    std::fclose(out);
    std::map<std::pair<uint64_t, std::string>, std::string> lines;  // (tick, "t.p") -> line
    std::istringstream in(fwtest::readFile(path));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        uint64_t tick = 0;
        std::string who;
        if (words >> tick >> who && who.size() == 3 && who[1] == '.') lines[{tick, who}] = line;
    }

    const LoadedMatch match = fwtest::loadViewMatch();
    MatchTimeline timeline(match, DEFAULT_MAX_TICKS, nullptr, 100);
    std::set<std::string> seen;
    for (uint64_t t = timeline.lastTick(); t >= 1; t -= t > 40 ? 7 : 1) {  // backward: every state from a snapshot
        timeline.seek(t);
        for (int team = 0; team < TEAM_COUNT; ++team)
            for (int p = 0; p < PLAYER_COUNT; ++p) {
                const PlayerState s = timeline.playerState(team, p);
                const std::string words =
                    std::string(s.word) + (s.detail.empty() ? "" : (s.word[0] == 't' ? ", " : " ") + s.detail);
                const std::string& line = lines[{t, std::to_string(team + 1) + "." + std::to_string(p + 1)}];
                ASSERT_TRUE(line.ends_with("  " + words)) << line << "\nviewer: " << words;
                seen.insert(s.word);
            }
    }
    EXPECT_GE(seen.size(), 5u) << "walking, blocked, waiting, dropping, dying, dead...";
    timeline.seek(0);
    EXPECT_STREQ(timeline.playerState(0, 0).word, "ready to start");
    EXPECT_EQ(timeline.playerState(0, 0).command, 0);
}

// [SECTION] The timeline's columns

TEST(TimelineColumnsTest, TicksAndColumnsMapBothWays) {
    struct Case {
        uint64_t tick, last;
        int columns, column;
    } cases[] = {
        {0, 861, 1000, 0},  {861, 861, 1000, 999}, {430, 861, 1000, 499}, {431, 861, 1000, 500},
        {5, 0, 1000, 0},    {7, 10, 1, 0},          {900, 861, 1000, 999}, {50000, 100001, 101, 50},
    };
    for (const Case& c : cases) EXPECT_EQ(tickColumn(c.tick, c.last, c.columns), c.column) << c.tick << "/" << c.last;
    // A click on any column shows a tick drawn in that very column, for short and long matches.
    for (const uint64_t last : {uint64_t{3}, uint64_t{861}, uint64_t{100001}})
        for (int column = 0; column < 1380; ++column) {
            const uint64_t tick = columnTick(column, last, 1380);
            ASSERT_LE(tick, last);
            if (last >= 1379) {
                ASSERT_EQ(tickColumn(tick, last, 1380), column) << last << " " << column;
            }
        }
    EXPECT_EQ(columnTick(-4, 861, 100), 0u);
    EXPECT_EQ(columnTick(400, 861, 100), 861u);

    const std::vector<TimelineMark> marks = {{0, MarkKind::Explosion, 0, 0}, {10, MarkKind::Hit, 1, 1},
                                             {10, MarkKind::Death, 1, 1},    {11, MarkKind::Explosion, 2, 0},
                                             {20, MarkKind::Hit, 0, 0}};
    EXPECT_EQ(markColumns(marks, 20, 5), (std::vector<uint8_t>{1, 0, 7, 0, 2}));
    EXPECT_TRUE(markColumns(marks, 20, 0).empty());
}

// [SECTION] Keys and frames


// Each death has its cause, told as the match result tells who killed whom.
TEST(TimelineTest, DeathsHaveTheirCausesInWords) {
    const LoadedMatch match = fwtest::loadViewMatch();
    const MatchTimeline timeline(match);
    std::vector<std::tuple<uint64_t, int, int>> marked, told;
    for (const TimelineMark& m : timeline.marks())
        if (m.kind == MarkKind::Death) marked.emplace_back(m.tick, m.team, m.player);
    for (const DeathCause& d : timeline.deaths()) {
        told.emplace_back(d.tick, d.team, d.player);
        const PlayerResult& r = timeline.result().teams[size_t(d.team)].players[size_t(d.player)];
        EXPECT_EQ(std::pair(d.by_team, d.by_player), std::pair(r.killer_team, r.killer_player));
        EXPECT_EQ(r.death_tick, d.tick);
    }
    EXPECT_EQ(told, marked);
    ASSERT_FALSE(timeline.deaths().empty());
    const DeathCause& first = timeline.deaths().front();
    EXPECT_EQ(first.words(), "hit by the bomb of " + std::to_string(first.by_team + 1) + "." +
                                 std::to_string(first.by_player + 1) + " from (" + std::to_string(first.bomb_x) + ", " +
                                 std::to_string(first.bomb_y) + ")");
    EXPECT_EQ(deathOf(timeline.deaths(), first.team, first.player, first.tick - 1), nullptr);
    EXPECT_EQ(deathOf(timeline.deaths(), first.team, first.player, first.tick), &first);
}

TEST(TimelineTest, EventKeysGoToTheNeighbouringMarks) {
    const std::vector<TimelineMark> marks{{10, MarkKind::Explosion, 0, 0}, {10, MarkKind::Hit, 1, 0},
                                          {25, MarkKind::Death, 1, 0}};
    const struct {
        uint64_t from;
        bool forward;
        uint64_t to;
    } cases[] = {{0, true, 10}, {10, true, 25}, {24, true, 25}, {25, true, 25}, {90, true, 90},
                 {0, false, 0}, {10, false, 10}, {11, false, 10}, {25, false, 10}, {90, false, 25}};
    for (const auto& c : cases) EXPECT_EQ(eventTick(marks, c.from, c.forward), c.to) << c.from << " " << c.forward;
    EXPECT_EQ(eventTick({}, 7, true), 7u);
}

// A bomb just dropped lies under its owner; the overlay finds it, and no bomb that nobody covers.
TEST(TimelineTest, HiddenBombsAreTheOnesUnderAPlayer) {
    const LoadedMatch match = fwtest::loadViewMatch();
    MatchTimeline timeline(match);
    int under = 0, open = 0;
    for (uint64_t t = 0; t <= timeline.lastTick(); ++t) {
        timeline.seek(t);
        const std::vector<BombCell> hidden = hiddenBombs();
        for (const Team& team : game.teams)
            for (const Player& owner : team.players)
                for (const Bomb& b : owner.bombs) {
                    if (b.state != BOMB_ACTIVE) continue;
                    const BombCell cell{int(b.x), int(b.y)};
                    bool on_cell = false, near = false;
                    for (const Team& t2 : game.teams)
                        for (const Player& p : t2.players) {
                            if (p.pose >= POSE_DEAD) continue;
                            on_cell |= p.x == b.x && p.y == b.y;
                            near |= std::abs(p.x - b.x) < 2.0f && std::abs(p.y - b.y) < 2.0f;
                        }
                    const bool found = std::find(hidden.begin(), hidden.end(), cell) != hidden.end();
                    if (on_cell) {
                        EXPECT_TRUE(found) << "tick " << t;
                    }
                    if (!near) {
                        EXPECT_FALSE(found) << "tick " << t;
                    }
                    under += on_cell;
                    open += !near;
                }
    }
    EXPECT_GT(under, 0);
    EXPECT_GT(open, 0);
}

TEST(ViewControlTest, KeysAndFramesMoveTheShownTick) {
    using A = ViewAction;
    struct Step {
        std::vector<A> keys;
        int frames;
        uint64_t tick;
        bool playing;
        const char* speed;
    };
    ViewControl c;
    c.last_tick = 250;
    const Step steps[] = {
        {{A::StepBack}, 0, 0, false, "1 tick"},
        {{A::StepForward, A::StepForward}, 3, 2, false, "1 tick"},  // paused: frames change nothing
        {{A::PlayPause}, 3, 5, true, "1 tick"},
        {{A::Slower, A::Slower, A::Slower}, 8, 7, true, "1/4 tick"},  // no slower than a quarter
        {{A::Faster, A::Faster, A::Faster}, 2, 11, true, "2 ticks"},
        {{A::StepForward}, 0, 12, false, "2 ticks"},  // a step pauses
        {{A::PageForward, A::PageForward, A::PageForward}, 0, 250, false, "2 ticks"},
        {{A::PageBack}, 0, 150, false, "2 ticks"},
        {{A::Faster, A::Faster, A::Faster, A::Faster, A::Faster, A::Faster}, 0, 150, false, "64 ticks"},
        {{A::PlayPause}, 1, 214, true, "64 ticks"},
        {{}, 1, 250, false, "64 ticks"},  // pauses at the last tick
        {{A::PlayPause}, 1, 64, true, "64 ticks"},  // and plays again from the start
        {{A::Last, A::PageBack, A::PageBack, A::PageBack}, 0, 0, false, "64 ticks"},
        {{A::Last, A::StepBack, A::First}, 0, 0, false, "64 ticks"},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        for (const A a : steps[i].keys) c.apply(a);
        for (int f = 0; f < steps[i].frames; ++f) c.frame();
        EXPECT_EQ(std::tuple(c.tick, c.playing, c.speedText()), std::tuple(steps[i].tick, steps[i].playing, steps[i].speed))
            << "step " << i;
    }
    c.seek(999);
    EXPECT_EQ(c.tick, 250u);
    c.apply(A::PlayPause);
    c.jump(40);  // [ and ]: there, paused
    EXPECT_EQ(std::pair(c.tick, c.playing), std::pair(uint64_t{40}, false));
    EXPECT_FALSE(c.hidden_bombs);  // the overlay is off until b
    c.apply(A::HiddenBombs);
    EXPECT_TRUE(c.hidden_bombs);

    std::vector<std::pair<int, int>> followed;
    for (int i = 0; i < 17; ++i, c.apply(A::NextPlayer)) followed.emplace_back(c.followedTeam(), c.followedPlayer());
    EXPECT_EQ(followed[1], std::pair(0, 1));
    EXPECT_EQ(followed[4], std::pair(1, 0));  // team by team
    EXPECT_EQ(followed[15], std::pair(3, 3));
    EXPECT_EQ(followed[16], std::pair(0, 0));
}

}  // namespace
