// state_hash.cpp: the state fingerprint. Fields are packed into 64-bit words and folded with a multiply-rotate
// step; the words are built from the fields (byte fields that lie side by side read in one load), never from a
// record's padding, so padding and the layout of the records do not enter.
#include "match/state_hash.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr uint64_t SEED = 0x46757365776963ull;

uint64_t step(uint64_t h, uint64_t word) { return std::rotl((h ^ word) * 0x9E3779B97F4A7C15ull, 29); }

uint64_t finalMix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class Hasher {
public:
    void add(uint64_t word) { h_ = step(h_, word); }
    void add(float a, float b) { add(uint64_t{std::bit_cast<uint32_t>(a)} << 32 | std::bit_cast<uint32_t>(b)); }
    void add(const std::string& s) {
        add(s.size());
        for (size_t i = 0; i < s.size(); i += 8) {
            uint64_t w = 0;
            std::memcpy(&w, s.data() + i, s.size() - i < 8 ? s.size() - i : 8);
            add(w);
        }
    }
    // A last mixing step, so that words added late spread over every bit.
    uint64_t value() const { return finalMix(h_); }

private:
    uint64_t h_ = SEED;
};

// The words a Hasher would be given, kept instead of folded, in room for the most a state has.
class WordList {
public:
    explicit WordList(uint64_t* words) : first_(words), next_(words) {}
    // A pointer that moves, not a count: a count is of the words' own type, and the compiler would have to reload
    // it after every word stored.
    void add(uint64_t word) { *next_++ = word; }
    void add(float a, float b) { add(uint64_t{std::bit_cast<uint32_t>(a)} << 32 | std::bit_cast<uint32_t>(b)); }
    size_t size() const { return static_cast<size_t>(next_ - first_); }

private:
    uint64_t* first_;
    uint64_t* next_;
};

uint64_t bytes(uint8_t a, uint8_t b = 0, uint8_t c = 0, uint8_t d = 0, uint8_t e = 0, uint8_t f = 0,
               uint8_t g = 0, uint8_t h = 0) {
    return uint64_t{a} | uint64_t{b} << 8 | uint64_t{c} << 16 | uint64_t{d} << 24 | uint64_t{e} << 32 |
           uint64_t{f} << 40 | uint64_t{g} << 48 | uint64_t{h} << 56;
}

// The byte fields that follow one another in a record, as bytes() would pack them from `first` up: one load in
// place of one per field. Only where the record's layout keeps them side by side and the machine is little-endian
// (checked below); elsewhere the fields are packed one by one.
// Eight bytes are read in one load and the ones past the fields masked off (what lies there, padding or the next
// field, never enters); a copy of fewer bytes would be assembled in memory and read back, which stalls.
template <size_t COUNT>
uint64_t packedBytes(const uint8_t* first) {
    static_assert(COUNT < 8);
    uint64_t w;
    std::memcpy(&w, first, sizeof w);
    return w & ((uint64_t{1} << (COUNT * 8)) - 1);
}

constexpr bool PLAYER_BYTES_IN_A_ROW =
    std::endian::native == std::endian::little && offsetof(Player, hits) == offsetof(Player, status) + 1 &&
    offsetof(Player, health) == offsetof(Player, status) + 2 &&
    offsetof(Player, step_ticks) == offsetof(Player, status) + 3 &&
    offsetof(Player, blast_range) == offsetof(Player, status) + 4 &&
    offsetof(Player, max_bombs) == offsetof(Player, status) + 5 &&
    offsetof(Player, cur_bombs) == offsetof(Player, status) + 6 && offsetof(Player, status) + 8 <= sizeof(Player);
constexpr bool BOMB_BYTES_IN_A_ROW =
    std::endian::native == std::endian::little && offsetof(Bomb, cycle_count) == offsetof(Bomb, chain_hit) + 1 &&
    offsetof(Bomb, range) == offsetof(Bomb, chain_hit) + 2 &&
    offsetof(Bomb, tick_count) == offsetof(Bomb, chain_hit) + 3 &&
    offsetof(Bomb, blast_phase) == offsetof(Bomb, chain_hit) + 4 && offsetof(Bomb, chain_hit) + 8 <= sizeof(Bomb);

uint64_t playerBytes(const Player& p) {
    if constexpr (PLAYER_BYTES_IN_A_ROW) return packedBytes<7>(&p.status);
    return bytes(p.status, p.hits, static_cast<uint8_t>(p.health), p.step_ticks, p.blast_range, p.max_bombs,
                 p.cur_bombs);
}

uint64_t bombBytes(const Bomb& b) {
    if constexpr (BOMB_BYTES_IN_A_ROW) return b.state | packedBytes<5>(&b.chain_hit) << 8;
    return bytes(b.state, b.chain_hit, b.cycle_count, b.range, b.tick_count, b.blast_phase);
}

template <class Sink>
void addBomb(Sink& h, const Bomb& b) {
    if (b.state == BOMB_FREE) {
        h.add(0);
        return;
    }
    h.add(bombBytes(b) | uint64_t{b.fuse_frame & 0xFF} << 48 | uint64_t{b.blast_frame & 0xFF} << 56);
    h.add(b.x, b.y);
}

template <class Sink>
void addPlayer(Sink& h, const Player& p) {
    h.add(playerBytes(p) ^ uint64_t{p.type} << 56);
    h.add(uint64_t{p.pose} << 32 | p.anim_ticks);
    h.add(uint64_t{p.cmd_index} << 32 | p.cmd_count);
    h.add(p.x, p.y);
    // Unrolled: the loop's own steps cost as much as hashing a free slot, and this runs after every tick.
#pragma GCC unroll 4
    for (const Bomb& b : p.bombs) addBomb(h, b);
}

template <class Sink>
void addTickState(Sink& h, const Game& game) {
    h.add(bytes(static_cast<uint8_t>(game.score[0]), static_cast<uint8_t>(game.score[1]),
                static_cast<uint8_t>(game.score[2]), static_cast<uint8_t>(game.score[3]), game.running,
                game.game_over, game.end_requested));
    for (const Team& team : game.teams) {
        h.add(team.winner);
#pragma GCC unroll 4
        for (const Player& p : team.players) addPlayer(h, p);
    }
}

}  // namespace

void TickHashBatch::add(const Game& game) {
    WordList list(words_[count_].data());
    addTickState(list, game);
    sizes_[count_++] = list.size();
}

void TickHashBatch::drainInto(std::vector<uint8_t>& low_bytes) {
    // The words every state has are folded side by side, WIDTH chains in one loop: each step waits for the one
    // before in its own chain only, so the others' multiplications fill the wait.
    // A state with fewer words (fewer bombs in play) keeps its chain as it is past its last word, by a choice
    // rather than a branch; the words read there are an earlier state's, or zero, and never enter.
    std::array<uint64_t, WIDTH> h;
    h.fill(SEED);
    const size_t longest = count_ == 0 ? 0 : *std::max_element(sizes_.begin(), sizes_.begin() + count_);
    for (size_t i = 0; i < longest; ++i) {
#pragma GCC unroll 8
        for (size_t k = 0; k < WIDTH; ++k) {
            const uint64_t next = step(h[k], words_[k][i]);
            h[k] = i < sizes_[k] ? next : h[k];
        }
    }
    for (size_t k = 0; k < count_; ++k) low_bytes.push_back(static_cast<uint8_t>(finalMix(h[k])));
    count_ = 0;
    sizes_.fill(0);
}

uint64_t hashTickState(const Game& game) {
    Hasher h;
    addTickState(h, game);
    return h.value();
}

uint64_t hashStart(const Game& game) {
    Hasher h;
    addTickState(h, game);
    h.add(uint64_t{game.width} << 16 | game.height);
    for (const std::string& row : game.rows) h.add(row);
    for (const Team& team : game.teams) h.add(team.name);
    return h.value();
}
