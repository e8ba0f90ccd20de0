// schedule.cpp: groups, seat orders, match ids and slices of the schedule.
#include "tournament/schedule.h"

#include "core/splitmix.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

namespace tournament {

namespace {

using Group = std::array<int, SEATS>;

std::vector<Group> allGroups(int n) {
    std::vector<Group> groups;
    for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b)
            for (int c = b + 1; c < n; ++c)
                for (int d = c + 1; d < n; ++d) groups.push_back({a, b, c, d});
    return groups;
}

// Four distinct teams, drawn uniformly, sorted.
Group randomGroup(int n, SplitMix64& random) {
    Group g{};
    for (int i = 0; i < SEATS; ++i) {
        int pick;
        do pick = static_cast<int>(random.below(static_cast<uint64_t>(n)));
        while (std::find(g.begin(), g.begin() + i, pick) != g.begin() + i);
        g[static_cast<size_t>(i)] = pick;
    }
    std::sort(g.begin(), g.end());
    return g;
}

// Draws `k` < all groups: each draw takes the four teams drawn least often so far (ties broken at random), or, when
// that group is taken already, the group of four among the least drawn few with the fewest draws in all, or, when
// those are all taken, a random group not yet taken. Teams end up drawn about equally often.
std::vector<Group> sampleGroups(int n, uint64_t k, uint64_t seed) {
    SplitMix64 random(seed);
    std::vector<uint64_t> drawn(static_cast<size_t>(n), 0);
    std::set<Group> taken;
    std::vector<Group> remaining;  // filled only if random draws keep hitting taken groups
    while (taken.size() < k) {
        // The teams by how often they were drawn, ties in random order; the first group of four of the first few
        // of them, by the least total draws, that is not taken yet.
        std::vector<std::pair<std::pair<uint64_t, uint64_t>, int>> order;
        for (int t = 0; t < n; ++t) order.push_back({{drawn[static_cast<size_t>(t)], random.next()}, t});
        std::sort(order.begin(), order.end());
        Group g{order[0].second, order[1].second, order[2].second, order[3].second};
        std::sort(g.begin(), g.end());
        for (int few : {8, 12}) {
            if (taken.count(g) == 0 || few > n + 4) break;
            std::optional<std::pair<uint64_t, Group>> best;
            for (const Group& pick : allGroups(std::min(few, n))) {
                uint64_t total = 0;
                Group candidate{};
                for (size_t i = 0; i < SEATS; ++i) {
                    const auto& [key, team] = order[static_cast<size_t>(pick[i])];
                    total += key.first;
                    candidate[i] = team;
                }
                std::sort(candidate.begin(), candidate.end());
                if (taken.count(candidate) == 0 && (!best || total < best->first)) best = {total, candidate};
            }
            if (best) g = best->second;
        }
        for (int tries = 0; taken.count(g) != 0 && tries < 1000; ++tries) g = randomGroup(n, random);
        if (taken.count(g) != 0) {
            if (remaining.empty()) {
                for (const Group& candidate : allGroups(n))
                    if (taken.count(candidate) == 0) remaining.push_back(candidate);
            }
            while (taken.count(g) != 0) {
                const size_t i = random.below(remaining.size());
                g = remaining[i];
                remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        taken.insert(g);
        for (int t : g) ++drawn[static_cast<size_t>(t)];
    }
    return {taken.begin(), taken.end()};
}

struct Fnv1a {
    uint64_t hash = 0xcbf29ce484222325ULL;
    void add(const std::string& bytes) {
        for (unsigned char c : bytes) {
            hash ^= c;
            hash *= 0x100000001b3ULL;
        }
        hash ^= 0xff;  // a separator no text can fake: the length follows
        hash *= 0x100000001b3ULL;
        for (size_t n = bytes.size(), i = 0; i < 8; ++i, n >>= 8) {
            hash ^= n & 0xff;
            hash *= 0x100000001b3ULL;
        }
    }
};

}  // namespace

// [SECTION] Entrants

std::vector<std::string> distinctFiles(const std::vector<std::string>& paths) {
    std::vector<std::string> kept;
    std::set<std::string> seen;
    for (const std::string& given : paths) {
        std::error_code ec;
        std::filesystem::path resolved = std::filesystem::weakly_canonical(given, ec);
        if (ec) resolved = std::filesystem::absolute(given).lexically_normal();
        if (!seen.insert(resolved.string()).second) continue;
        std::string path = std::filesystem::path(given).lexically_normal().string();
        kept.push_back(path.empty() ? given : path);
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

// [SECTION] Groups and seat orders

uint64_t groupCount(int team_count) {
    if (team_count < SEATS) return 0;
    if (team_count > 50000) return std::numeric_limits<uint64_t>::max();  // past this the product overflows
    const auto n = static_cast<uint64_t>(team_count);
    return n * (n - 1) * (n - 2) * (n - 3) / 24;
}

std::vector<Group> scheduleGroups(int n, const ScheduleOptions& options) {
    switch (n) {
    case 0: return {};
    case 1: return {{0, 0, 0, 0}};
    case 2: return {{0, 0, 1, 1}};
    case 3: return {{0, 0, 1, 2}, {0, 1, 1, 2}, {0, 1, 2, 2}};
    default: break;
    }
    if (options.sample && *options.sample < groupCount(n)) return sampleGroups(n, *options.sample, options.seed);
    return allGroups(n);
}

std::vector<Group> seatOrders(const Group& group, SeatMode mode) {
    std::vector<Group> orders;
    auto add = [&orders](const Group& g) {
        if (std::find(orders.begin(), orders.end(), g) == orders.end()) orders.push_back(g);
    };
    if (mode == SeatMode::Rotate) {
        for (size_t r = 0; r < SEATS; ++r) {
            Group g{};
            for (size_t s = 0; s < SEATS; ++s) g[s] = group[(s + r) % SEATS];
            add(g);
        }
    } else {
        Group g = group;
        std::sort(g.begin(), g.end());
        do add(g);
        while (std::next_permutation(g.begin(), g.end()));
    }
    return orders;
}

std::string matchId(const Entrant& map, const std::array<const Entrant*, SEATS>& seats, uint64_t max_ticks) {
    Fnv1a h;
    h.add("fusewick match");
    h.add(map.path);
    h.add(map.text);
    for (const Entrant* team : seats) {
        h.add(team->path);
        h.add(team->text);
    }
    h.add(std::to_string(max_ticks));
    static const char* const HEX = "0123456789abcdef";
    std::string id(16, '0');
    for (int i = 15; i >= 0; --i, h.hash >>= 4) id[static_cast<size_t>(i)] = HEX[h.hash & 0xf];
    return id;
}

namespace {

std::string hex(uint64_t hash) {
    static const char* const HEX = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<size_t>(i)] = HEX[hash & 0xf];
    return text;
}

std::string hashOf(const char* what, const std::vector<Entrant>& entrants) {
    Fnv1a h;
    h.add(what);
    for (const Entrant& e : entrants) {
        h.add(e.path);
        h.add(e.text);
    }
    return hex(h.hash);
}

}  // namespace

Fingerprint tournamentFingerprint(const std::vector<Entrant>& teams, const std::vector<Entrant>& maps,
                                  const ScheduleOptions& options) {
    Fingerprint f;
    f.teams = hashOf("fusewick teams", teams);
    f.maps = hashOf("fusewick maps", maps);
    f.seats = options.seats == SeatMode::All ? "all" : "rotate";
    f.sample = options.sample;
    f.seed = options.seed;
    f.max_ticks = options.max_ticks;
    Fnv1a h;
    h.add("fusewick tournament");
    h.add(f.teams);
    h.add(f.maps);
    h.add(f.seats);
    h.add(f.sample ? std::to_string(*f.sample) : "all groups");
    h.add(std::to_string(f.seed));
    h.add(std::to_string(f.max_ticks));
    f.id = hex(h.hash);
    return f;
}

std::vector<std::string> fingerprintDifferences(const Fingerprint& a, const Fingerprint& b) {
    std::vector<std::string> parts;
    if (a.teams != b.teams) parts.push_back("the team files");
    if (a.maps != b.maps) parts.push_back("the maps");
    if (a.seats != b.seats) parts.push_back("the seat mode");
    if (a.sample != b.sample) parts.push_back("the sample");
    if (a.seed != b.seed) parts.push_back("the seed");
    if (a.max_ticks != b.max_ticks) parts.push_back("the tick cap");
    return parts;
}

std::vector<ScheduledMatch> buildSchedule(const std::vector<Entrant>& teams, const std::vector<Entrant>& maps,
                                          const ScheduleOptions& options) {
    const std::vector<Group> groups = scheduleGroups(static_cast<int>(teams.size()), options);
    std::vector<ScheduledMatch> schedule;
    for (size_t m = 0; m < maps.size(); ++m) {
        for (const Group& group : groups) {
            for (const Group& order : seatOrders(group, options.seats)) {
                ScheduledMatch match;
                match.map = static_cast<int>(m);
                match.seats = order;
                std::array<const Entrant*, SEATS> seated{};
                for (size_t s = 0; s < SEATS; ++s) seated[s] = &teams[static_cast<size_t>(order[s])];
                match.id = matchId(maps[m], seated, options.max_ticks);
                schedule.push_back(std::move(match));
            }
        }
    }
    return schedule;
}

// [SECTION] Slices

std::optional<Shard> parseShard(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    auto number = [](const std::string& s) -> std::optional<uint64_t> {
        if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        return std::stoull(s);
    };
    const auto index = number(text.substr(0, slash));
    const auto count = number(text.substr(slash + 1));
    if (!index || !count || *count == 0 || *index >= *count) return std::nullopt;
    return Shard{*index, *count};
}

std::vector<ScheduledMatch> shardOf(const std::vector<ScheduledMatch>& schedule, Shard shard) {
    std::vector<ScheduledMatch> slice;
    for (size_t i = static_cast<size_t>(shard.index); i < schedule.size(); i += static_cast<size_t>(shard.count))
        slice.push_back(schedule[i]);
    return slice;
}

// [SECTION] The window's command line

std::string shellQuote(const std::string& word) {
    const bool plain = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                                "0123456789_./+-,:=@%") == std::string::npos;
    if (plain) return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string windowCommand(const std::string& map, const std::array<std::string, SEATS>& seats) {
    // A file name starting with '-' would read as an option.
    auto file = [](const std::string& path) { return shellQuote(path.starts_with("-") ? "./" + path : path); };
    std::string command = "fusewick -M " + file(map);
    for (const std::string& team : seats) command += " " + file(team);
    return command;
}

}  // namespace tournament
