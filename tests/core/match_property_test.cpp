// Random maps and programs played to the end while the lifecycle invariants of the game state are checked after
// every frame.
#include "scenario.h"

#include <cmath>
#include <random>

namespace {

using Rng = std::mt19937;

int pick(Rng& rng, int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

std::vector<std::string> randomRows(Rng& rng) {
    std::vector<std::string> rows(2 + pick(rng, 13), std::string(2 + pick(rng, 13), '-'));
    for (auto& r : rows)
        for (auto& c : r) c = pick(rng, 7) == 0 ? 'X' : '-';
    return rows;
}

// Random types and programs; a few counts are 0 or -1, which never run out.
std::string randomTeam(Rng& rng) {
    static const char* const TYPES[] = {"CAPTAIN", "GHOST", "STRETCHER", "SAFETY", "SPRINTER", "HOARDER", "HULK"};
    static const char* const COMMANDS[] = {"LEFT", "RIGHT", "REVERSE", "MOVE", "DROP", "WAIT"};
    std::string text;
    for (int p = 1; p <= 4; ++p) text += "P" + std::to_string(p) + " " + TYPES[pick(rng, 7)] + "\n";
    for (int p = 1; p <= 4; ++p)
        for (int i = pick(rng, 14); i > 0; --i) {
            const int op = pick(rng, 6), roll = pick(rng, 40);
            const std::string count = roll == 0 ? " 0" : roll == 1 ? " -1" : " " + std::to_string(1 + roll % 4);
            text += "P" + std::to_string(p) + "." + COMMANDS[op] + (op == MOVE || op == WAIT ? count : "") + "\n";
        }
    return text;
}

bool whole(float v) { return std::fabs(static_cast<double>(v) - std::rint(v)) < 1e-5; }

// Returns a description of the first broken invariant, or "" when all hold.
std::string brokenInvariant() {
    const float w = game.width, h = game.height;
    for (int t = 0; t < 4; ++t) {
        for (int pi = 0; pi < 4; ++pi) {
            const Player& p = game.teams[t].players[pi];
            const std::string who = "player " + std::to_string(t + 1) + "." + std::to_string(pi + 1) + ": ";
            if (p.cmd_index > p.cmd_count) return who + "cmd_index beyond cmd_count";
            if (p.status == 1 && p.cmd_index != p.cmd_count) return who + "dead with a program running";
            if ((p.status == 1) != (p.pose >= POSE_DYING)) return who + "status and pose disagree";
            if (p.pose > POSE_DEAD || (p.pose >= 12 && p.pose < POSE_DYING)) return who + "impossible pose";
            if (p.hits != 0) return who + "hits left over between ticks";
            int out = 0;
            for (int s = 0; s < BOMB_SLOTS; ++s) {
                const Bomb& b = p.bombs[s];
                if (b.state == BOMB_FREE) continue;
                if (s >= p.max_bombs) return who + "slot beyond max_bombs in use";
                if (b.x != std::rint(b.x) || b.y != std::rint(b.y)) return who + "bomb off a whole cell";
                if (b.x < 0 || b.y < 0 || b.x > w - 1 || b.y > h - 1) return who + "bomb off the grid";
                if (b.chain_hit != 0) return who + "chain hit left over between ticks";
                ++out;
            }
            if (p.cur_bombs + out != p.max_bombs) return who + "bombs in hand and out do not add up";
            if (p.x < -1e-4f || p.y < -1e-4f || p.x > w - 1 + 1e-4f || p.y > h - 1 + 1e-4f)
                return who + "off the grid";
            if (p.status != 0 || game.game_over) continue;
            const bool moving = p.cmd_index < p.cmd_count && p.commands[p.cmd_index].opcode == MOVE;
            if (!moving && !(whole(p.x) && whole(p.y))) return who + "off a cell centre while not moving";
            if (moving && !whole(p.pose < 6 ? p.y : p.x)) return who + "off the line of its walk";
        }
    }
    return "";
}

TEST(RandomMatches, KeepTheStateInvariantsEveryFrame) {
    constexpr int MATCHES = 150;
    int ended_alone = 0;
    for (uint32_t seed = 1; seed <= MATCHES; ++seed) {
        Rng rng(seed);
        const auto rows = randomRows(rng);
        fwtest::loadScenario(rows, {randomTeam(rng), randomTeam(rng), randomTeam(rng), randomTeam(rng)});
        game.running = 1;
        std::string broken;
        int frame = 0;
        // Output is captured once per match: capturing goes through a file and would dominate the run time.
        fwtest::captureStdout([&] {
            for (; frame < 3000 && !game.game_over && broken.empty(); ++frame) {
                frameStep();
                broken = brokenInvariant();
            }
        });
        ASSERT_EQ(broken, "") << "seed " << seed << ", frame " << frame;
        ended_alone += game.game_over;
        game.end_requested = 1;
        fwtest::captureStdout(frameStep);
        ASSERT_EQ(game.game_over, 1) << "seed " << seed;
        ASSERT_EQ(brokenInvariant(), "") << "seed " << seed << " after the end";
    }
    // Most random matches run out of commands and bombs on their own; a few walk on with MOVE 0 or a huge count.
    EXPECT_GT(ended_alone, MATCHES / 2);
}

}  // namespace
