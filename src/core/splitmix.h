// splitmix.h: a small reproducible source of random numbers for the tools (a tournament's sample, generated
// matches). The standard library's distributions differ from one library to the next; this sequence is the same
// wherever it runs, so a seed names the same draw on every machine. Not used by the game itself.
#pragma once

#include <cstdint>
#include <limits>

class SplitMix64 {
public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound), bound > 0, without modulo bias.
    uint64_t below(uint64_t bound) {
        const uint64_t limit = std::numeric_limits<uint64_t>::max() - std::numeric_limits<uint64_t>::max() % bound;
        uint64_t x = next();
        while (x >= limit) x = next();
        return x % bound;
    }

private:
    uint64_t state_;
};
