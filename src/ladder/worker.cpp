// worker.cpp: the worker's loop, its play of one claimed match, and the replay's compression.
#include "ladder/worker.h"

#include "ladder/ratings.h"

#include "core/version.h"
#include "match/match.h"
#include "match/replay.h"

#include <nlohmann/json.hpp>
#include <libdeflate.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

namespace ladder {

std::atomic<bool> stop_requested{false};

namespace {

using Clock = std::chrono::steady_clock;

constexpr int LOOKS_APART = 8;  // matches played between two looks at the queue

// Keeps the claim's lease alive while a long match runs, and stops the run when the worker is told to stop.
class LeaseKeeper final : public MatchObserver {
public:
    LeaseKeeper(Db& db, const Claim& claim, int64_t lease) : db_(db), claim_(claim), lease_(lease) {}
    void tickDone(uint64_t tick) override {
        if (tick % 4096 != 0 || Clock::now() - last_ < std::chrono::seconds(std::max<int64_t>(lease_ / 3, 1))) return;
        last_ = Clock::now();
        try {
            db_.run("UPDATE matches SET lease_until = ? WHERE id = ? AND claim = ?",
                    {nowSeconds() + lease_, claim_.match_id, claim_.claim});
        } catch (const DbError& e) {
            logEvent("lease_renewal_failed", nlohmann::json{{"match", claim_.match_id}, {"error", e.what()}});
        }
    }
    bool stopRequested() const override { return stop_requested.load(); }

private:
    Db& db_;
    const Claim& claim_;
    int64_t lease_;
    Clock::time_point last_ = Clock::now();
};

std::string teamFileName(const std::string& team) { return team + ".fpl"; }

// The texts of maps and team versions, by id. A stored map or version never changes, so a worker reads each once.
struct SourceCache {
    std::map<int64_t, SourceFile> maps;
    std::map<int64_t, SourceFile> versions;
};

const SourceFile& mapSource(Db& db, SourceCache& cache, int64_t map_id) {
    const auto found = cache.maps.find(map_id);
    if (found != cache.maps.end()) return found->second;
    const std::optional<MapEntry> map = findMap(db, map_id);
    return cache.maps[map_id] = map ? SourceFile{map->name, map->text} : SourceFile{"", std::string()};
}

const SourceFile& versionSource(Db& db, SourceCache& cache, int64_t version_id) {
    const auto found = cache.versions.find(version_id);
    if (found != cache.versions.end()) return found->second;
    const std::optional<Version> v = findVersion(db, version_id);
    const std::optional<Team> team = v ? findTeam(db, v->team_id) : std::nullopt;
    return cache.versions[version_id] = SourceFile{teamFileName(team ? team->name : ""), v ? v->source : ""};
}

// The files of a match as its worker loads them: the map by its name, each seat's version as TEAM.fpl.
MatchSources sourcesOf(Db& db, SourceCache& cache, const Match& match) {
    MatchSources sources;
    sources.map = mapSource(db, cache, match.map_id);
    for (size_t s = 0; s < SEATS; ++s) sources.teams[s] = versionSource(db, cache, match.seats[s].version_id);
    return sources;
}

// Plays the claimed match; nothing when the worker was told to stop halfway.
std::optional<std::pair<Outcome, StoredReplay>> play(Db& db, SourceCache& cache, const Claim& claim,
                                                    const Settings& settings) {
    const std::optional<Match> match = claim.match ? claim.match : findMatchSeats(db, claim.match_id);
    if (!match) return std::nullopt;
    const LoadedMatch loaded = loadMatchFrom(sourcesOf(db, cache, *match), defaultConfig());
    ReplayRecorder recorder(loaded, settings.max_ticks);
    LeaseKeeper keeper(db, claim, settings.lease);
    ObserverList observers;
    observers.add(&recorder);
    observers.add(&keeper);
    const MatchResult result = runMatch(loaded, settings.max_ticks, &observers);
    if (result.stopped) return std::nullopt;
    Outcome outcome;
    for (size_t s = 0; s < SEATS; ++s) {
        outcome.scores[s] = result.teams[s].score;
        outcome.winners[s] = result.teams[s].winner;
    }
    outcome.ticks = result.ticks;
    outcome.capped = result.capped;
    return std::make_pair(outcome, storedReplay(recorder.finish(result)));
}

}  // namespace

std::string hostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

void logEvent(const std::string& event) { logEvent(event, nlohmann::json::object()); }

void logEvent(const std::string& event, nlohmann::json line) {
    if (!line.is_object()) line = nlohmann::json::object();
    line["time"] = nowSeconds();
    line["event"] = event;
    line["pid"] = getpid();
    std::fprintf(stderr, "%s\n", line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    std::fflush(stderr);
}

// libdeflate writes the same zlib format as zlib (which reads it back below, and so does any zlib tool) in about a
// third of zlib's time at its fastest level, where zlib's compression was a tenth of a worker's time; its compressor
// is made once per thread (it must not be shared between threads).
std::string compressReplay(const std::string& text) {
    thread_local const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(1), &libdeflate_free_compressor);
    if (!compressor) throw std::runtime_error("cannot compress a replay");
    std::string out(libdeflate_zlib_compress_bound(compressor.get(), text.size()), '\0');
    const size_t size = libdeflate_zlib_compress(compressor.get(), text.data(), text.size(), out.data(), out.size());
    if (size == 0) throw std::runtime_error("cannot compress a replay");
    out.resize(size);
    return out;
}

std::string decompressReplay(const std::string& bytes) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return "";
    std::string out;
    char buffer[65536];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        rc = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    inflateEnd(&stream);
    return rc == Z_STREAM_END ? out : "";
}

StoredReplay storedReplay(Replay replay) {
    // Distinct names, so that the recorder's table of files keeps all five apart whatever their texts.
    replay.sources.map = SourceFile{"map", std::string()};
    for (size_t s = 0; s < SEATS; ++s) replay.sources.teams[s] = SourceFile{"seat " + std::to_string(s + 1), std::string()};
    return StoredReplay{compressReplay(replayText(replay)), true};
}

std::optional<std::string> replayFile(Db& db, int64_t match_id) {
    const std::optional<StoredReplay> stored = replayOf(db, match_id);
    if (!stored) return std::nullopt;
    std::string text = decompressReplay(stored->data);
    if (text.empty()) return std::nullopt;
    if (!stored->sources_by_reference) return text;
    ReplayRead read = parseReplay(text);
    const std::optional<Match> match = findMatch(db, match_id);
    if (!read.replay || !match) return std::nullopt;
    SourceCache cache;
    read.replay->sources = sourcesOf(db, cache, *match);
    return replayText(*read.replay);
}

int runWorker(const WorkerOptions& options) {
    std::unique_ptr<Db> db;
    try {
        db = openDb(options.db);
        migrate(*db);
    } catch (const DbError& e) {
        logEvent("database_error", nlohmann::json{{"error", e.what()}});
        return EXIT_LADDER_DATABASE;
    }
    const std::optional<int> engine = ladderEngine(*db);
    if (engine != ENGINE_VERSION) {
        logEvent("engine_refused", nlohmann::json{{"ladder", engine.value_or(0)}, {"worker", ENGINE_VERSION}});
        std::fprintf(stderr, "fusewick-ladder: this ladder plays by engine version %d, this worker by %d\n",
                     engine.value_or(0), ENGINE_VERSION);
        return EXIT_LADDER_ENGINE;
    }
    const std::string host = hostName();
    const std::string name = options.name.empty() ? host + ":" + std::to_string(getpid()) : options.name;
    // The game prints its console output on standard output; a worker's own account goes to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return EXIT_LADDER_DATABASE;
    logEvent("worker_started", nlohmann::json{{"worker", name}, {"engine", ENGINE_VERSION}});
    int64_t played = 0;
    auto last_reap = Clock::now() - std::chrono::hours(1);
    std::chrono::milliseconds idle(10);
    Settings settings;
    std::optional<Claim> claim;
    PlayedSoFar played_so_far;
    SourceCache sources;
    int since_look = 0;
    try {
        workerSeen(*db, name, host, getpid(), false);
        while (!stop_requested) {
            if (Clock::now() - last_reap > std::chrono::seconds(5)) {
                last_reap = Clock::now();
                settings = loadSettings(*db);  // `serve` may have been restarted with others
                if (const int n = returnClaimsOfDeadWorkers(*db, host); n > 0)
                    logEvent("claims_returned", nlohmann::json{{"count", n}});
                workerSeen(*db, name, host, getpid(), false);
            }
            // The queue is refilled at half a batch left, and a batch is tens to thousands of matches: a look every
            // few matches is soon enough, and one when nothing is left to claim.
            if (!claim || ++since_look >= LOOKS_APART) {
                since_look = 0;
                scheduleMatches(*db, settings, &played_so_far);
            }
            if (!claim) claim = claimMatch(*db, name, settings.lease);
            if (!claim) {
                if (options.once) break;
                // Nothing to play: look again soon after a burst of work, rarely once the ladder rests.
                std::this_thread::sleep_for(idle);
                idle = std::min(idle * 2, std::chrono::milliseconds(1000));
                continue;
            }
            idle = std::chrono::milliseconds(10);
            const auto started = Clock::now();
            const auto played_match = play(*db, sources, *claim, settings);
            if (!played_match) {
                returnClaim(*db, *claim);
                logEvent("claim_returned", nlohmann::json{{"match", claim->match_id}});
                claim.reset();
                break;
            }
            // The next claim comes with the result; at the budget's end or when stopping, none is taken.
            const bool last = stop_requested || (options.max_matches > 0 && played + 1 >= options.max_matches);
            std::optional<Claim> next;
            const bool stored = finishMatch(*db, *claim, played_match->first, played_match->second, name,
                                            last ? nullptr : &next, settings.lease);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
            logEvent(stored ? "match_stored" : "claim_lost",
                     nlohmann::json{{"match", claim->match_id}, {"ticks", played_match->first.ticks}, {"ms", ms}}
                         );
            claim = next;
            if (stored && options.max_matches > 0 && ++played >= options.max_matches) break;
        }
        if (claim) returnClaim(*db, *claim);
        workerSeen(*db, name, host, getpid(), true);
    } catch (const DbError& e) {
        logEvent("database_error", nlohmann::json{{"error", e.what()}});
        return EXIT_LADDER_DATABASE;
    }
    logEvent("worker_stopped", nlohmann::json{{"worker", name}});
    return 0;
}

int verifyReplays(const std::string& address) {
    int64_t checked = 0, failed = 0;
    try {
        const auto db = openDb(address);
        migrate(*db);
        if (std::freopen("/dev/null", "w", stdout) == nullptr) return EXIT_LADDER_DATABASE;
        for (const Match& m : allPlayed(*db)) {
            ++checked;
            const std::optional<std::string> stored = replayFile(*db, m.id);
            const ReplayRead read = parseReplay(stored.value_or(""));
            std::string problem = read.replay ? "" : "unreadable replay: " + read.error;
            if (read.replay) {
                const Replay& replay = *read.replay;
                const LoadedMatch loaded = loadMatchFrom(replay.sources, replay.options);
                ReplayChecker checker(replay);
                const MatchResult result = runMatch(loaded, replay.max_ticks, &checker);
                ReplayOutcome recorded;
                recorded.ticks = m.ticks;
                recorded.capped = m.capped;
                for (size_t s = 0; s < SEATS; ++s) {
                    recorded.scores[s] = m.seats[s].score;
                    recorded.winners[s] = m.seats[s].winner;
                }
                if (checker.verdict(result)) problem = "the replay does not reproduce";
                else if (!(outcomeOf(result) == recorded)) problem = "the stored result differs from the replay's";
            }
            if (!problem.empty()) {
                ++failed;
                logEvent("replay_refuted", nlohmann::json{{"match", m.id}, {"problem", problem}});
            }
        }
    } catch (const DbError& e) {
        logEvent("database_error", nlohmann::json{{"error", e.what()}});
        return EXIT_LADDER_DATABASE;
    }
    logEvent("replays_verified", nlohmann::json{{"checked", checked}, {"failed", failed}});
    return failed == 0 ? EXIT_LADDER_DONE : EXIT_LADDER_VERIFY;
}

}  // namespace ladder
