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
    static constexpr size_t WIDTH = 8;
    // Adds the state of `game` as it is now.
    void add(const Game& game);
    bool full() const { return count_ == WIDTH; }
    // Appends the low byte of each added state's fingerprint, in order, and empties the batch.
    void drainInto(std::vector<uint8_t>& low_bytes);

    // The most words a state's fingerprint folds: the scores, and per team its flag and per player four words and
    // two per bomb slot.
    static constexpr size_t MAX_WORDS = 1 + TEAM_COUNT * (1 + PLAYER_COUNT * (4 + BOMB_SLOTS * 2));

private:
    std::array<std::array<uint64_t, MAX_WORDS>, WIDTH> words_{};  // per state, the words its fingerprint folds
    std::array<size_t, WIDTH> sizes_{};  // zero for the states not added: their chains are never taken
    size_t count_ = 0;
};
