// Random maps and programs played to the end while the lifecycle invariants of the game state are checked after
// every frame.
#include "scenario.h"

#include <cmath>
#include <random>
#include <sstream>

namespace {

class RandomMatch {
public:
    explicit RandomMatch(uint32_t seed) : rng_(seed) {}

    std::vector<std::string> rows() {
        const int w = 2 + pick(13);
        const int h = 2 + pick(13);
        std::vector<std::string> rows(h, std::string(w, '-'));
        for (auto& r : rows)
            for (auto& c : r)
                if (pick(7) == 0) c = 'X';
        return rows;
    }

    std::string team() {
        static const char* const TYPES[] = {"CAPTAIN", "GHOST", "STRETCHER", "SAFETY", "SPRINTER", "HOARDER", "HULK"};
        static const char* const COMMANDS[] = {"LEFT", "RIGHT", "REVERSE", "MOVE", "DROP", "WAIT"};
        std::ostringstream text;
        for (int p = 1; p <= 4; ++p) text << "P" << p << " " << TYPES[pick(7)] << "\n";
        for (int p = 1; p <= 4; ++p) {
            const int length = pick(14);
            for (int i = 0; i < length; ++i) {
                const int op = pick(6);
                text << "P" << p << "." << COMMANDS[op];
                if (op == MOVE || op == WAIT) {
                    const int roll = pick(40);
                    if (roll == 0) text << " 0";
                    else if (roll == 1) text << " -1";
                    else text << " " << 1 + pick(4);
                }
                text << "\n";
            }
        }
        return text.str();
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    std::mt19937 rng_;
};

bool whole(float v, double tolerance = 1e-5) { return std::fabs(static_cast<double>(v) - std::rint(v)) < tolerance; }

// Returns a description of the first broken invariant, or "" when all hold.
std::string brokenInvariant() {
    const float w = game.width;
    const float h = game.height;
    for (int t = 0; t < 4; ++t) {
        for (int pi = 0; pi < 4; ++pi) {
            const Player& p = game.teams[t].players[pi];
            const std::string who = "player " + std::to_string(t + 1) + "." + std::to_string(pi + 1) + ": ";
            if (p.cmd_count != p.commands.size()) return who + "cmd_count differs from the program";
            if (p.cmd_index > p.cmd_count) return who + "cmd_index beyond cmd_count";
            if (p.status == 1 && p.cmd_index != p.cmd_count) return who + "dead with a program running";
            for (const Command& c : p.commands)
                if (c.opcode > WAIT) return who + "bad opcode";
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
            const bool along_x = p.pose < 6;
            if (!moving && !(whole(p.x) && whole(p.y))) return who + "off a cell centre while not moving";
            if (moving && !whole(along_x ? p.y : p.x)) return who + "off the line of its walk";
        }
    }
    return "";
}

TEST(RandomMatches, KeepTheStateInvariantsEveryFrame) {
    constexpr int MATCHES = 150;
    constexpr int FRAME_CAP = 3000;
    int ended_alone = 0;
    for (uint32_t seed = 1; seed <= MATCHES; ++seed) {
        RandomMatch random(seed);
        fwtest::Scenario s;
        const auto rows = random.rows();
        s.load(rows, {random.team(), random.team(), random.team(), random.team()});
        game.running = 1;
        std::string broken;
        int frame = 0;
        // Output is captured once per match: capturing goes through a file and would dominate the run time.
        fwtest::captureStdout([&] {
            for (; frame < FRAME_CAP && !game.game_over && broken.empty(); ++frame) {
                frameStep();
                broken = brokenInvariant();
            }
        });
        ASSERT_EQ(broken, "") << "seed " << seed << ", frame " << frame;
        if (game.game_over) ++ended_alone;
        game.end_requested = 1;
        fwtest::captureStdout(frameStep);
        ASSERT_EQ(game.game_over, 1) << "seed " << seed;
        ASSERT_EQ(brokenInvariant(), "") << "seed " << seed << " after the end";
    }
    // Most random matches run out of commands and bombs on their own; a few walk on with MOVE 0 or a huge count.
    EXPECT_GT(ended_alone, MATCHES / 2);
}

}  // namespace
