// state_hash.cpp: the state fingerprint. Fields are packed into 64-bit words and folded with a multiply-rotate
// step; the words are built from the fields (byte fields that lie side by side read in one load), never from a
// record's padding, so padding and the layout of the records do not enter.
// A recorder's batches fold many states' chains side by side: with AVX-512 where the processor has it (chosen when
// the program runs, so that one build serves every x86-64 machine), else with plain integer steps, the only ones on
// other targets such as WebAssembly. Both give the same values.
#include "match/state_hash.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint64_t SEED = 0x46757365776963ull;
constexpr uint64_t MULTIPLIER = 0x9E3779B97F4A7C15ull;
constexpr int ROTATION = 29;

uint64_t step(uint64_t h, uint64_t word) { return std::rotl((h ^ word) * MULTIPLIER, ROTATION); }

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

using WordRows = std::array<std::array<uint64_t, TickHashBatch::ROW>, TickHashBatch::WIDTH>;
using Chains = std::array<uint64_t, TickHashBatch::WIDTH>;
constexpr size_t SIDE = 8;  // chains folded side by side: as many as fit the registers, and one 512-bit vector
static_assert(TickHashBatch::WIDTH % SIDE == 0 && TickHashBatch::ROW % SIDE == 0);

size_t longestOf(const Chains& sizes, size_t first, size_t count) {
    return count == 0 ? 0 : *std::max_element(sizes.begin() + first, sizes.begin() + first + count);
}

// The chains of `count` states, eight side by side at a time: each step waits for the one before in its own chain
// only, so the others' multiplications fill the wait.
// A state with fewer words (fewer bombs in play) keeps its chain as it is past its last word, by a choice rather
// than a branch; the words read there are an earlier state's, or zero, and never enter.
void foldPortable(const WordRows& words, const Chains& sizes, size_t count, Chains& h) {
    for (size_t first = 0; first < count; first += SIDE) {
        std::array<uint64_t, SIDE> chain;
        chain.fill(SEED);
        const size_t longest = longestOf(sizes, first, SIDE);
        for (size_t i = 0; i < longest; ++i) {
#pragma GCC unroll 8
            for (size_t k = 0; k < SIDE; ++k) {
                const uint64_t next = step(chain[k], words[first + k][i]);
                chain[k] = i < sizes[first + k] ? next : chain[k];
            }
        }
        std::copy(chain.begin(), chain.end(), h.begin() + first);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FUSEWICK_VECTOR_FOLD 1
#define FUSEWICK_AVX512 __attribute__((target("avx512f,avx512dq")))

// Eight words of eight states, one state to a register, turned around to one word to a register (the j-th word of
// every state, state k in lane k): three rounds of shuffles, of single words, then of pairs, then of quarters.
// (The zero-masked forms with every lane kept are the plain instructions; GCC 12 warns about the plain forms'
// intrinsics themselves.)
constexpr __mmask8 EVERY_LANE = 0xFF;
FUSEWICK_AVX512 __m512i pairsLow(__m512i a, __m512i b) { return _mm512_maskz_unpacklo_epi64(EVERY_LANE, a, b); }
FUSEWICK_AVX512 __m512i pairsHigh(__m512i a, __m512i b) { return _mm512_maskz_unpackhi_epi64(EVERY_LANE, a, b); }
template <int QUARTERS>
FUSEWICK_AVX512 __m512i quarters(__m512i a, __m512i b) {
    return _mm512_maskz_shuffle_i64x2(EVERY_LANE, a, b, QUARTERS);
}
constexpr int EVEN_QUARTERS = 0x88;  // quarters 0 and 2 of a, then of b
constexpr int ODD_QUARTERS = 0xDD;   // quarters 1 and 3

FUSEWICK_AVX512 void transpose(__m512i (&v)[SIDE]) {
    __m512i a[SIDE];
#pragma GCC unroll 4
    for (size_t k = 0; k < SIDE; k += 2) {
        a[k] = pairsLow(v[k], v[k + 1]);      // words 0 2 4 6 of states k, k+1, interleaved
        a[k + 1] = pairsHigh(v[k], v[k + 1]);  // words 1 3 5 7
    }
    __m512i b[SIDE];
#pragma GCC unroll 2
    for (size_t half = 0; half < SIDE; half += 4) {
        b[half + 0] = quarters<EVEN_QUARTERS>(a[half + 0], a[half + 2]);  // words 0 4 of four states
        b[half + 1] = quarters<ODD_QUARTERS>(a[half + 0], a[half + 2]);  // words 2 6
        b[half + 2] = quarters<EVEN_QUARTERS>(a[half + 1], a[half + 3]);  // words 1 5
        b[half + 3] = quarters<ODD_QUARTERS>(a[half + 1], a[half + 3]);  // words 3 7
    }
    v[0] = quarters<EVEN_QUARTERS>(b[0], b[4]);
    v[4] = quarters<ODD_QUARTERS>(b[0], b[4]);
    v[2] = quarters<EVEN_QUARTERS>(b[1], b[5]);
    v[6] = quarters<ODD_QUARTERS>(b[1], b[5]);
    v[1] = quarters<EVEN_QUARTERS>(b[2], b[6]);
    v[5] = quarters<ODD_QUARTERS>(b[2], b[6]);
    v[3] = quarters<EVEN_QUARTERS>(b[3], b[7]);
    v[7] = quarters<ODD_QUARTERS>(b[3], b[7]);
}

// The same steps on every chain of the batch at once, eight chains to a 512-bit register (the 64-bit multiply is
// AVX512DQ's), all the batch's registers in flight so that one's multiply fills another's wait. The words are read
// eight of a state at a time, as they were stored, and transposed. A chain past its state's last word is masked
// out of the rotation that ends each step, so it keeps its value.
FUSEWICK_AVX512 void foldVector(const WordRows& words, const Chains& sizes, size_t count, Chains& h) {
    constexpr size_t REGISTERS = TickHashBatch::WIDTH / SIDE;
    __m512i chain[REGISTERS];
    __m512i size[REGISTERS];
    for (size_t r = 0; r < REGISTERS; ++r) {
        chain[r] = _mm512_set1_epi64(static_cast<long long>(SEED));
        size[r] = _mm512_loadu_si512(sizes.data() + r * SIDE);
    }
    const __m512i factor = _mm512_set1_epi64(static_cast<long long>(MULTIPLIER));
    const size_t longest = longestOf(sizes, 0, count);
    for (size_t block = 0; block < longest; block += SIDE) {
        __m512i row[REGISTERS][SIDE];
#pragma GCC unroll 2
        for (size_t r = 0; r < REGISTERS; ++r) {
#pragma GCC unroll 8
            for (size_t k = 0; k < SIDE; ++k) row[r][k] = _mm512_loadu_si512(words[r * SIDE + k].data() + block);
            transpose(row[r]);
        }
#pragma GCC unroll 8
        for (size_t j = 0; j < SIDE; ++j) {
            const __m512i at = _mm512_set1_epi64(static_cast<long long>(block + j));
#pragma GCC unroll 2
            for (size_t r = 0; r < REGISTERS; ++r) {
                const __mmask8 live = _mm512_cmpgt_epu64_mask(size[r], at);
                const __m512i product = _mm512_mullo_epi64(_mm512_xor_si512(chain[r], row[r][j]), factor);
                chain[r] = _mm512_mask_rol_epi64(chain[r], live, product, ROTATION);
            }
        }
    }
    for (size_t r = 0; r < REGISTERS; ++r) _mm512_storeu_si512(h.data() + r * SIDE, chain[r]);
}

bool processorHasVectorFold() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
}
#endif

}  // namespace

TickHashBatch::TickHashBatch(Path path) : vector_fold_(path == Path::Fastest && vectorFoldAvailable()) {}

bool TickHashBatch::vectorFoldAvailable() {
#ifdef FUSEWICK_VECTOR_FOLD
    static const bool available = processorHasVectorFold();
    return available;
#else
    return false;
#endif
}

void TickHashBatch::add(const Game& game) {
    WordList list(words_[count_].data());
    addTickState(list, game);
    sizes_[count_++] = list.size();
}

void TickHashBatch::drainInto(std::vector<uint8_t>& low_bytes) {
    Chains h;
#ifdef FUSEWICK_VECTOR_FOLD
    if (vector_fold_) foldVector(words_, sizes_, count_, h);
#endif
    if (!vector_fold_) foldPortable(words_, sizes_, count_, h);
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
