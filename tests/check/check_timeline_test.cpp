// The checker's walk through a program in ticks against the engine itself: how long a one-bomb player's DROP waits
// for its bomb, and which counts never run down.
#include "check/check.h"
#include "match/match.h"
#include "support/test_support.h"

#include <regex>

namespace {

const std::string OPEN_MAP = "12, 12\n" + [] {
    std::string rows;
    for (int i = 0; i < 12; ++i) rows += "------------\n";
    return rows;
}();
const std::string IDLE_TEAM = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";

// Plays `team` as team 1 against idle teams for up to `ticks` ticks and watches player 1 of team 1.
struct Watch : MatchObserver {
    uint64_t tick = 0;
    std::vector<uint64_t> drops;  // ticks of player 1's DROPs
    uint32_t cmd_index = 0;       // after the last tick
    float first_count = 0.0f;     // the count of its first command after the last tick

    void tickStarting(uint64_t t) override { tick = t; }
    void bombDropped(int team, int player, int) override {
        if (team == 0 && player == 0) drops.push_back(tick);
    }
    void tickDone(uint64_t) override {
        const Player& p = game.teams[0].players[0];
        cmd_index = p.cmd_index;
        first_count = p.commands.empty() ? 0.0f : p.commands[0].count;
    }
};

Watch play(const std::string& team, uint64_t ticks) {
    Watch watch;
    MatchSources sources{SourceFile{"open.map", OPEN_MAP}, {}};
    sources.teams = {SourceFile{"t.fpl", team}, SourceFile{"i.fpl", IDLE_TEAM}, SourceFile{"i.fpl", IDLE_TEAM},
                     SourceFile{"i.fpl", IDLE_TEAM}};
    fwtest::captureStdout([&] { runMatch(loadMatchFrom(sources, defaultConfig()), ticks, &watch); });
    return watch;
}

// The checker's word on the second DROP of `team`: how many ticks it waits, 0 when it does not.
uint64_t checkerWait(const std::string& team) {
    static const std::regex waits("this DROP waits (\\d+) tick");
    for (const check::Diagnostic& d : check::checkTeamFile(SourceFile{"t.fpl", team})) {
        std::smatch m;
        if (std::regex_search(d.message, m, waits)) return std::stoull(m[1]);
    }
    return 0;
}

// The player drops a bomb, walks three cells out of its blast, waits, and drops again: the second DROP is tried in
// tick 2 + the ticks of the walk and the wait, and done when the first bomb is back.
TEST(CheckTimeline, ADropWaitsAsLongAsTheEngineMakesItWait) {
    struct Case {
        const char* type;
        int step_ticks;
        int wait;
    };
    for (const Case c : {Case{"SAFETY", 8, 20}, Case{"SAFETY", 8, 21}, Case{"GHOST", 10, 14}, Case{"GHOST", 10, 15},
                         Case{"GHOST", 10, 16}, Case{"SAFETY", 8, 19}}) {
        const std::string team = std::string("P1 ") + c.type + "\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.DROP\n"
                                 "P1.MOVE 3\nP1.WAIT " + std::to_string(c.wait) + "\nP1.DROP\n";
        const Watch watch = play(team, 400);
        ASSERT_EQ(watch.drops.size(), 2u) << team;
        const uint64_t tried = 2 + static_cast<uint64_t>((3 + c.wait) * c.step_ticks);
        EXPECT_EQ(checkerWait(team), watch.drops[1] - tried) << team;
    }
}

// A count of 0 runs past 0 at once; a count so large that a tick's share is lost in its rounding stays put. Either
// way the command never ends and the next one is never reached.
TEST(CheckTimeline, CountsThatNeverRunDownAreTheOnesTheEngineNeverEnds) {
    for (const char* count : {"0", "1", "2000000", "3000000", "-3", "4194303", "4194304", "0x"}) {
        const std::string team = std::string("P1 SAFETY\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.WAIT ") + count +
                                 "\nP1.MOVE\n";
        const Watch watch = play(team, 100);
        const bool engine_never = watch.cmd_index == 0 && (watch.first_count <= 0.0f ||
                                                           watch.first_count == play(team, 1).first_count);
        const std::vector<check::Diagnostic> found = check::checkTeamFile(SourceFile{"t.fpl", team});
        const bool checker_never = std::any_of(found.begin(), found.end(), [](const check::Diagnostic& d) {
            return d.message.starts_with("this command is never reached");
        });
        EXPECT_EQ(checker_never, engine_never) << count << "\n" << check::formatText(found);
    }
}

}  // namespace
