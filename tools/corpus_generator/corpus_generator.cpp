// corpus_generator.cpp: fusewick-corpus, which writes the regression corpus of replays under tests/corpus/.
//
// Every entry is a match played in process and kept twice: NAME.replay, the replay file exactly as
// `fusewick-arena --record` writes it, and NAME.fingerprints.gz, a gzip text with one line per state (the state
// after loading, then the state after every tick), each the full 64-bit fingerprint in 16 lowercase hex digits.
// The entries are every bundled team on every bundled map in rotated seats, and generated matches: random
// programs, long matches, chain reactions, all bombs out, walls everywhere and the largest maps. Everything is
// drawn from a fixed seed with a generator of our own, so a run on any machine writes the same files. Regenerating
// is deliberate (scripts/corpus); no test runs this program. Uses the match library and zlib; no OpenGL.
#include "core/splitmix.h"
#include "match/match.h"
#include "match/quiet_stdout.h"
#include "match/replay.h"
#include "match/state_hash.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// [SECTION] Drawing numbers: splitmix64, the same sequence wherever it runs (unlike the standard distributions)

// The corpus's own draws (modulo a bound) on the shared sequence: the corpus files were written with these.
class Rng {
public:
    explicit Rng(uint64_t seed) : random_(seed) {}
    int pick(int n) { return static_cast<int>(random_.next() % static_cast<uint64_t>(n)); }
    int between(int lo, int hi) { return lo + pick(hi - lo + 1); }
    bool oneIn(int n) { return pick(n) == 0; }

private:
    SplitMix64 random_;
};

// [SECTION] Entries

struct Entry {
    std::string name;
    MatchSources sources;
    uint16_t cell = 40;  // pixels per cell recorded with the match; small for the largest maps
    uint64_t max_ticks = DEFAULT_MAX_TICKS;
};

const char* const TYPES[] = {"CAPTAIN", "GHOST", "STRETCHER", "SAFETY", "SPRINTER", "HOARDER", "HULK"};

std::string numbered(const char* kind, int n) {
    char text[64];
    std::snprintf(text, sizeof text, "%s-%03d", kind, n);
    return text;
}

std::string mapText(const std::vector<std::string>& rows) {
    std::string text = std::to_string(rows.front().size()) + ", " + std::to_string(rows.size()) + "\n";
    for (const std::string& row : rows) text += row + "\n";
    return text;
}

// A grid with each cell a wall with probability `walls_in_100` / 100.
std::vector<std::string> gridWithWalls(Rng& rng, int width, int height, int walls_in_100) {
    std::vector<std::string> rows(static_cast<size_t>(height), std::string(static_cast<size_t>(width), '-'));
    for (std::string& row : rows)
        for (char& c : row) c = rng.pick(100) < walls_in_100 ? 'X' : '-';
    return rows;
}

// One player's program line.
std::string line(int player, const std::string& command) { return "P" + std::to_string(player) + "." + command + "\n"; }

std::string typeLines(const std::array<const char*, PLAYER_COUNT>& types) {
    std::string text;
    for (int p = 0; p < PLAYER_COUNT; ++p) text += "P" + std::to_string(p + 1) + " " + types[static_cast<size_t>(p)] + "\n";
    return text;
}

std::array<const char*, PLAYER_COUNT> randomTypes(Rng& rng) {
    return {TYPES[rng.pick(7)], TYPES[rng.pick(7)], TYPES[rng.pick(7)], TYPES[rng.pick(7)]};
}

// Random commands with small counts; now and then a count of 0 or -1, which never runs out, or a written spelling.
std::string randomProgram(Rng& rng, int player, int length) {
    static const char* const COMMANDS[] = {"LEFT", "RIGHT", "REVERSE", "MOVE", "DROP", "WAIT"};
    std::string text;
    for (int i = 0; i < length; ++i) {
        const int op = rng.pick(6);
        std::string command = COMMANDS[op];
        if (op == MOVE || op == WAIT) {
            const int roll = rng.pick(60);
            command += roll == 0 ? " 0" : roll == 1 ? " -1" : " " + std::to_string(1 + roll % 6);
        }
        text += line(player, command);
    }
    return text;
}

std::string randomTeam(Rng& rng, int max_length) {
    std::string text = typeLines(randomTypes(rng));
    for (int p = 1; p <= PLAYER_COUNT; ++p) text += randomProgram(rng, p, rng.pick(max_length + 1));
    return text;
}

Entry generated(const std::string& name, const std::vector<std::string>& rows, const std::array<std::string, 4>& teams,
                uint64_t max_ticks) {
    Entry e{name, {}, 40, max_ticks};
    e.sources.map = SourceFile{name + ".map", mapText(rows)};
    for (size_t t = 0; t < TEAM_COUNT; ++t)
        e.sources.teams[t] = SourceFile{name + "-" + std::to_string(t + 1) + ".fpl", teams[t]};
    return e;
}

// Every bundled team in every seat on every bundled map: the six teams in a ring, four neighbours per match, each
// rotation of the ring one match.
std::vector<Entry> bundledMatches(const std::string& root) {
    const std::vector<std::string> teams = {"default.fpl", "teams/ghosts.fpl", "teams/hoarders.fpl",
                                            "teams/hulks.fpl", "teams/raiders.fpl", "teams/sappers.fpl"};
    const std::vector<std::string> maps = {"default.map", "maps/crossroads.map", "maps/open.map", "maps/pillars.map",
                                           "maps/warren.map"};
    std::vector<Entry> out;
    for (const std::string& map : maps) {
        const std::string stem = std::filesystem::path(map).stem().string();
        for (size_t r = 0; r < teams.size(); ++r) {
            Entry e{"bundled-" + stem + "-" + std::to_string(r + 1), {}, 40, DEFAULT_MAX_TICKS};
            // Names as the game is given them from the repository root; the texts from the checkout.
            e.sources.map = SourceFile{map, readFileText(root + "/" + map)};
            for (size_t t = 0; t < TEAM_COUNT; ++t) {
                const std::string& team = teams[(r + t) % teams.size()];
                e.sources.teams[t] = SourceFile{team, readFileText(root + "/" + team)};
            }
            out.push_back(std::move(e));
        }
    }
    return out;
}

std::vector<Entry> randomMatches(Rng& rng, int count) {
    std::vector<Entry> out;
    for (int n = 1; n <= count; ++n) {
        const auto rows = gridWithWalls(rng, rng.between(2, 40), rng.between(2, 30), 14);
        const int length = rng.between(3, 30);
        out.push_back(generated(numbered("random", n), rows,
                                {randomTeam(rng, length), randomTeam(rng, length), randomTeam(rng, length),
                                 randomTeam(rng, length)},
                                5000));
    }
    return out;
}

// Walls on a third to two thirds of the cells: blocked walks, short blasts.
std::vector<Entry> wallMatches(Rng& rng, int count) {
    std::vector<Entry> out;
    for (int n = 1; n <= count; ++n) {
        const auto rows = gridWithWalls(rng, rng.between(5, 30), rng.between(5, 25), rng.between(30, 70));
        out.push_back(generated(numbered("walls", n), rows,
                                {randomTeam(rng, 25), randomTeam(rng, 25), randomTeam(rng, 25), randomTeam(rng, 25)},
                                5000));
    }
    return out;
}

// Bombs dropped in rows a cell or two apart, so that one blast sets off the next along the row, across teams.
std::string chainTeam(Rng& rng) {
    std::string text = typeLines({"HOARDER", rng.oneIn(2) ? "HOARDER" : "STRETCHER", "CAPTAIN", TYPES[rng.pick(7)]});
    for (int p = 1; p <= PLAYER_COUNT; ++p) {
        if (rng.oneIn(2)) text += line(p, rng.oneIn(2) ? "LEFT" : "RIGHT");
        text += line(p, "MOVE " + std::to_string(rng.between(1, 4)));
        const int gap = rng.between(1, 2);
        for (int d = rng.between(2, 5); d > 0; --d) text += line(p, "DROP") + line(p, "MOVE " + std::to_string(gap));
        text += line(p, rng.oneIn(2) ? "REVERSE" : "LEFT") + line(p, "MOVE " + std::to_string(rng.between(2, 9)));
    }
    return text;
}

std::vector<Entry> chainMatches(Rng& rng, int count) {
    std::vector<Entry> out;
    for (int n = 1; n <= count; ++n) {
        const auto rows = gridWithWalls(rng, rng.between(7, 20), rng.between(7, 16), rng.pick(8));
        out.push_back(generated(numbered("chain", n), rows, {chainTeam(rng), chainTeam(rng), chainTeam(rng), chainTeam(rng)},
                                20000));
    }
    return out;
}

// Sixteen HOARDERs that drop all four bombs each within the first fuse: all 64 bomb slots in play at once.
std::string allBombsTeam(Rng& rng) {
    std::string text = typeLines({"HOARDER", "HOARDER", "HOARDER", "HOARDER"});
    for (int p = 1; p <= PLAYER_COUNT; ++p) {
        if (rng.oneIn(3)) text += line(p, "RIGHT");
        for (int d = 0; d < BOMB_SLOTS; ++d) text += line(p, "DROP") + line(p, "MOVE " + std::to_string(rng.between(1, 2)));
        text += line(p, "REVERSE") + line(p, "MOVE " + std::to_string(rng.between(0, 3) + 1));
        text += line(p, "WAIT " + std::to_string(rng.between(1, 20)));
        // Some come back for a second round.
        if (rng.oneIn(2))
            for (int d = 0; d < BOMB_SLOTS; ++d) text += line(p, "DROP") + line(p, "MOVE 1");
    }
    return text;
}

std::vector<Entry> allBombsMatches(Rng& rng, int count) {
    std::vector<Entry> out;
    for (int n = 1; n <= count; ++n) {
        const auto rows = gridWithWalls(rng, rng.between(6, 24), rng.between(6, 18), rng.pick(5));
        out.push_back(generated(numbered("allbombs", n), rows,
                                {allBombsTeam(rng), allBombsTeam(rng), allBombsTeam(rng), allBombsTeam(rng)}, 20000));
    }
    return out;
}

// Players that walk laps for a long time, dropping now and then: tens of thousands of ticks.
std::string longTeam(Rng& rng, int laps) {
    std::string text = typeLines(randomTypes(rng));
    for (int p = 1; p <= PLAYER_COUNT; ++p) {
        const int side = rng.between(2, 5);
        for (int l = 0; l < laps; ++l) {
            text += line(p, "MOVE " + std::to_string(side)) + line(p, "LEFT");
            if (l % 17 == 0 && rng.oneIn(3)) text += line(p, "DROP");
        }
    }
    return text;
}

std::vector<Entry> longMatches(Rng& rng) {
    std::vector<Entry> out;
    const int laps[] = {400, 1000, 2500};
    for (int n = 1; n <= 3; ++n) {
        const auto rows = gridWithWalls(rng, rng.between(15, 30), rng.between(12, 20), 0);
        const int l = laps[n - 1];
        out.push_back(generated(numbered("long", n), rows, {longTeam(rng, l), longTeam(rng, l), longTeam(rng, l), longTeam(rng, l)},
                                DEFAULT_MAX_TICKS));
    }
    return out;
}

// The widest grid there is and tall ones: long walks across, drops on the way; drawn at 4 pixels a cell.
std::string largeTeam(Rng& rng) {
    std::string text = typeLines(randomTypes(rng));
    for (int p = 1; p <= PLAYER_COUNT; ++p)
        for (int i = rng.between(4, 10); i > 0; --i) {
            text += line(p, "MOVE " + std::to_string(rng.between(5, 60)));
            text += line(p, rng.oneIn(2) ? "DROP" : (rng.oneIn(2) ? "LEFT" : "RIGHT"));
        }
    return text;
}

std::vector<Entry> largeMatches(Rng& rng) {
    std::vector<Entry> out;
    const int heights[] = {255, 255, 400, 120, 600};
    for (int n = 1; n <= 5; ++n) {
        const auto rows = gridWithWalls(rng, 255, heights[n - 1], n == 1 ? 0 : rng.pick(6));
        Entry e = generated(numbered("large", n), rows, {largeTeam(rng), largeTeam(rng), largeTeam(rng), largeTeam(rng)},
                            20000);
        e.cell = 4;
        out.push_back(std::move(e));
    }
    return out;
}

// [SECTION] Playing and writing an entry

// The fingerprint of the state after loading and after every tick, and what the entry's summary line tells: the
// most bombs in play at once, bombs set off by another blast, deaths.
class Fingerprints final : public MatchObserver {
public:
    void matchStarted(const LoadedMatch& /*match*/) override { hashes.push_back(hashStart(game)); }
    void tickDone(uint64_t /*tick*/) override {
        hashes.push_back(hashTickState(game));
        int in_play = 0;
        for (const Team& team : game.teams)
            for (const Player& p : team.players)
                for (const Bomb& b : p.bombs) in_play += b.state != BOMB_FREE ? 1 : 0;
        most_bombs = std::max(most_bombs, in_play);
    }
    void bombSetOff(int, int, int, int, int, int) override { ++set_off; }
    void playerDied(int, int) override { ++deaths; }

    std::vector<uint64_t> hashes;
    int most_bombs = 0, set_off = 0, deaths = 0;
};


bool writeFingerprints(const std::string& path, const std::vector<uint64_t>& hashes) {
    gzFile out = gzopen(path.c_str(), "wb9");
    if (out == nullptr) return false;
    bool ok = true;
    for (const uint64_t h : hashes) {
        char text[18];
        std::snprintf(text, sizeof text, "%016llx\n", static_cast<unsigned long long>(h));
        ok = ok && gzputs(out, text) == 17;
    }
    return gzclose(out) == Z_OK && ok;
}

// Plays one entry, writes its two files and prints its summary; the number of ticks played, or nothing when writing
// failed.
std::optional<uint64_t> writeEntry(const Entry& e, const std::string& dir) {
    Config options = defaultConfig();
    options.pixel_width = e.cell;
    options.pixel_height = e.cell;
    const LoadedMatch match = loadMatchFrom(e.sources, options);
    ReplayRecorder recorder(match, e.max_ticks);
    Fingerprints fingerprints;
    ObserverList watchers;
    watchers.add(&recorder);
    watchers.add(&fingerprints);
    MatchResult result;
    {
        const QuietStdout quiet;
        result = runMatch(match, e.max_ticks, &watchers);
    }
    if (!writeReplay(dir + "/" + e.name + ".replay", recorder.finish(result))) return std::nullopt;
    if (!writeFingerprints(dir + "/" + e.name + ".fingerprints.gz", fingerprints.hashes)) return std::nullopt;
    std::fprintf(stderr, "%-24s %7llu ticks%s, at most %2d bombs in play, %3d set off by a blast, %2d deaths\n",
                 e.name.c_str(), static_cast<unsigned long long>(result.ticks), result.capped ? " (capped)" : "",
                 fingerprints.most_bombs, fingerprints.set_off, fingerprints.deaths);
    return result.ticks;
}

std::vector<Entry> allEntries(const std::string& root) {
    Rng rng(0x46757365ull);  // one seed for the whole corpus: the entries depend on their order
    std::vector<Entry> all = bundledMatches(root);
    for (auto part : {randomMatches(rng, 70), wallMatches(rng, 20), chainMatches(rng, 15), allBombsMatches(rng, 10),
                      longMatches(rng), largeMatches(rng)})
        for (Entry& e : part) all.push_back(std::move(e));
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: fusewick-corpus <repository root> <output folder>\n");
        return EXIT_USAGE;
    }
    const std::string root = argv[1], dir = argv[2];
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    uint64_t total = 0;
    const std::vector<Entry> entries = allEntries(root);
    for (const Entry& e : entries) {
        const auto ticks = writeEntry(e, dir);
        if (!ticks) {
            std::fprintf(stderr, "fusewick-corpus: cannot write %s in %s\n", e.name.c_str(), dir.c_str());
            return EXIT_USAGE;
        }
        total += *ticks;
    }
    std::fprintf(stderr, "%zu matches, %llu ticks\n", entries.size(), static_cast<unsigned long long>(total));
    return 0;
}
