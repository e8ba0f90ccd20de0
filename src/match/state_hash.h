// state_hash.h: a 64-bit fingerprint of the game's state, for replays that prove they reproduce.
//
// Two states that a match can reach hash alike exactly when every field of the play is equal: flags, scores, and
// per player its attributes, position, pose and animation, health, bombs in hand, which command of its program it
// is at, and its bomb slots (a free slot by its state only: what stays behind in it is never read again). What is
// left of the current command's count is the program's own bookkeeping and stays out, so a replay whose program was
// changed is caught at the tick where the change shows in the play, not before it. The grid and the team names do
// not change during a match and are covered by the hash at the start, hashStart.
// Fast enough to run after every tick without changing the runner's speed much. No OpenGL in here.
#pragma once

#include "core/game.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The state of `game` as it changes from tick to tick.
uint64_t hashTickState(const Game& game);

// The state after loading: the tick state plus the grid, the team names and every program.
uint64_t hashStart(const Game& game);

// The low bytes of the fingerprints of several states in a row (hashTickState's values), computed in batches: one
// fingerprint is a chain of multiplications, each waiting for the one before, and folding several side by side
// lets them overlap. For a recorder that needs them only at the end.
class TickHashBatch {
public:
    static constexpr size_t WIDTH = 16;

    // How the words are folded: with the widest vectors this processor has (AVX-512 on x86-64, where the processor
    // and the system support it), or with the plain integer steps every target has. Both give the same bytes;
    // Portable is there so that the tests can compare them on a machine that has both.
    enum class Path { Fastest, Portable };
    explicit TickHashBatch(Path path = Path::Fastest);
    // Whether Fastest folds with vectors here.
    static bool vectorFoldAvailable();

    // Adds the state of `game` as it is now.
    void add(const Game& game);
    bool full() const { return count_ == WIDTH; }
    // Appends the low byte of each added state's fingerprint, in order, and empties the batch.
    void drainInto(std::vector<uint8_t>& low_bytes);

    // The most words a state's fingerprint folds: the scores, and per team its flag and per player four words and
    // two per bomb slot.
    static constexpr size_t MAX_WORDS = 1 + TEAM_COUNT * (1 + PLAYER_COUNT * (4 + BOMB_SLOTS * 2));
    // Room for a state's words, rounded up to whole blocks of eight: the vector fold reads them eight at a time.
    static constexpr size_t ROW = (MAX_WORDS + 7) / 8 * 8;

private:
    // Per state the words its fingerprint folds, one after another: the order they are gathered in, with stores
    // that follow one another. The folds read them across the states.
    alignas(64) std::array<std::array<uint64_t, ROW>, WIDTH> words_{};
    alignas(64) std::array<uint64_t, WIDTH> sizes_{};  // zero for the states not added: their chains are never taken
    size_t count_ = 0;
    bool vector_fold_;
};
