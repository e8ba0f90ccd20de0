// The batched fingerprints: on many made-up states, each path (the vectors where this processor has them, and the
// plain steps every target uses) gives exactly the low bytes of hashTickState, in batches of every size.
#include "match/state_hash.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

using Path = TickHashBatch::Path;

// A state with every field the fingerprint reads set at random. Bomb slots are free, burning or exploding in
// turn with chance `busy`, and a free slot keeps a bomb's leftovers, as it does after an explosion.
Game randomState(std::mt19937_64& random, double busy) {
    std::uniform_int_distribution<uint32_t> any;
    std::bernoulli_distribution in_use(busy);
    const auto byte = [&] { return static_cast<uint8_t>(any(random)); };
    const auto cell = [&] { return static_cast<float>(any(random) % 64) + (any(random) % 8) / 8.0f; };
    Game g{};
    for (int8_t& s : g.score) s = static_cast<int8_t>(byte());
    g.running = byte() & 1;
    g.game_over = byte() & 1;
    g.end_requested = byte() & 1;
    for (Team& team : g.teams) {
        team.winner = byte() & 1;
        for (Player& p : team.players) {
            p.type = any(random) % 7;
            p.pose = any(random) % 21;
            p.status = byte() & 1;
            p.hits = byte();
            p.health = static_cast<int8_t>(byte());
            p.step_ticks = byte();
            p.blast_range = byte();
            p.max_bombs = byte();
            p.cur_bombs = byte();
            p.x = cell();
            p.y = cell();
            p.anim_ticks = any(random);
            p.cmd_index = any(random);
            p.cmd_count = any(random);
            for (Bomb& b : p.bombs) {
                b = Bomb{byte(),  any(random), any(random), byte(), byte(), byte(), byte(), byte(), cell(),
                         cell()};
                b.state = static_cast<uint8_t>(in_use(random) ? BOMB_ACTIVE + (byte() & 1) : BOMB_FREE);
            }
        }
    }
    return g;
}

struct Case {
    const char* name;
    Path path;
    double busy;  // the chance that a bomb slot is in use
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class TickHashBatchTest : public testing::TestWithParam<Case> {};

// Batches of 1 to WIDTH states, gathered and folded by the path under test, against one fingerprint at a time: states of
// different lengths side by side, a part-filled batch, and a batch reused after draining.
TEST_P(TickHashBatchTest, GivesTheLowBytesOfEachStatesFingerprint) {
    std::mt19937_64 random(17);
    auto batch = std::make_unique<TickHashBatch>(GetParam().path);
    for (int round = 0; round < 40; ++round) {
        const size_t count = 1 + round % TickHashBatch::WIDTH;
        std::vector<uint8_t> expected;
        for (size_t k = 0; k < count; ++k) {
            const Game state = randomState(random, GetParam().busy);
            batch->add(state);
            expected.push_back(static_cast<uint8_t>(hashTickState(state)));
        }
        std::vector<uint8_t> got{0xAB};  // drained bytes are appended after what the list holds
        batch->drainInto(got);
        expected.insert(expected.begin(), 0xAB);
        ASSERT_EQ(got, expected) << "round " << round << ", " << count << " states";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TickHashBatchTest,
    testing::Values(Case{"FastestFewBombs", Path::Fastest, 0.1}, Case{"FastestHalfTheSlots", Path::Fastest, 0.5},
                    Case{"FastestEverySlot", Path::Fastest, 1.0}, Case{"PortableFewBombs", Path::Portable, 0.1},
                    Case{"PortableHalfTheSlots", Path::Portable, 0.5}, Case{"PortableEverySlot", Path::Portable, 1.0}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
