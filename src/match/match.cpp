// match.cpp: loading a match from its sources, running it frame by frame with a watcher, and its result.
#include "match/match.h"

#include "core/data_files.h"
#include "core/fusewick.h"
#include "core/tables.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/stat.h>

namespace {

// [SECTION] Reading files into memory

SourceFile inMemory(const SourceFile& source) {
    if (source.text) return source;
    return SourceFile{source.path, readFileText(source.path)};
}

// [SECTION] The tally of hits and deaths behind every run

// Counts what the result needs and hands every event on to the caller's observer.
class Tally final : public EngineEvents {
public:
    Tally(MatchResult& result, MatchObserver* observer) : result_(result), observer_(observer) {}

    void startTick(uint64_t tick) {
        tick_ = tick;
        for (auto& team : first_hit_) team.fill({-1, -1});
    }

    void bombDropped(int t, int p, int s) override {
        if (observer_ != nullptr) observer_->bombDropped(t, p, s);
    }
    void bombSetOff(int t, int p, int s, int bt, int bp, int bs) override {
        if (observer_ != nullptr) observer_->bombSetOff(t, p, s, bt, bp, bs);
    }
    void bombDetonated(int t, int p, int s) override {
        if (observer_ != nullptr) observer_->bombDetonated(t, p, s);
    }
    void playerHit(int bt, int bp, int bs, int t, int p, bool counted) override {
        if (counted) {
            ++player(bt, bp).hits_given;
            ++player(t, p).hits_taken;
            auto& first = first_hit_[static_cast<size_t>(t)][static_cast<size_t>(p)];
            if (first[0] < 0) first = {bt, bp};
        }
        if (observer_ != nullptr) observer_->playerHit(bt, bp, bs, t, p, counted);
    }
    void playerDied(int t, int p) override {
        PlayerResult& r = player(t, p);
        r.death_tick = tick_;
        const auto& first = first_hit_[static_cast<size_t>(t)][static_cast<size_t>(p)];
        r.killer_team = first[0];
        r.killer_player = first[1];
        if (observer_ != nullptr) observer_->playerDied(t, p);
    }
    void bombReturned(int t, int p, int s) override {
        if (observer_ != nullptr) observer_->bombReturned(t, p, s);
    }

private:
    PlayerResult& player(int t, int p) {
        return result_.teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
    }

    MatchResult& result_;
    MatchObserver* observer_;
    uint64_t tick_ = 0;
    std::array<std::array<std::array<int, 2>, PLAYER_COUNT>, TEAM_COUNT> first_hit_{};  // per tick
};

// Sets the engine's watcher for the length of a run and takes it away again, also when the run throws.
class EventsInstalled {
public:
    explicit EventsInstalled(EngineEvents* events) : previous_(engine_events) { engine_events = events; }
    ~EventsInstalled() { engine_events = previous_; }
    EventsInstalled(const EventsInstalled&) = delete;
    EventsInstalled& operator=(const EventsInstalled&) = delete;

private:
    EngineEvents* previous_;
};

void fillFinalState(MatchResult& result, const LoadedMatch& match) {
    result.map_path = match.sources.map.path;
    for (int t = 0; t < TEAM_COUNT; ++t) {
        const Team& team = game.teams[static_cast<size_t>(t)];
        TeamResult& r = result.teams[static_cast<size_t>(t)];
        r.name = team.name;
        r.path = match.sources.teams[static_cast<size_t>(t)].path;
        r.seat = t + 1;
        r.score = game.score[static_cast<size_t>(t)];
        r.winner = team.winner == 1;
        for (int p = 0; p < PLAYER_COUNT; ++p) {
            const Player& player = team.players[static_cast<size_t>(p)];
            PlayerResult& pr = r.players[static_cast<size_t>(p)];
            pr.type = player.type;
            pr.status = player.status;
            pr.health = player.health;
            pr.x = player.x;
            pr.y = player.y;
        }
    }
}

}  // namespace

std::optional<std::string> readFileText(const std::string& given) {
    const std::string path = findDataFile(given);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

std::array<std::vector<std::string>, TEAM_COUNT> teamFileLines(const LoadedMatch& match) {
    std::array<std::vector<std::string>, TEAM_COUNT> lines;
    for (size_t t = 0; t < TEAM_COUNT; ++t) {
        const SourceFile& source = match.sources.teams[t];
        const std::optional<std::string> text = source.text ? source.text : readFileText(source.path);
        if (!text) continue;
        std::istringstream in(*text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines[t].push_back(std::move(line));
        }
    }
    return lines;
}

MatchSources sourcesOf(const Config& c) {
    MatchSources sources;
    sources.map.path = c.map_file;
    for (int t = 0; t < TEAM_COUNT; ++t) sources.teams[static_cast<size_t>(t)].path = c.team_file[static_cast<size_t>(t)];
    return sources;
}

MatchSources readIntoMemory(const MatchSources& sources) {
    MatchSources read;
    read.map = inMemory(sources.map);
    for (int t = 0; t < TEAM_COUNT; ++t) read.teams[static_cast<size_t>(t)] = inMemory(sources.teams[static_cast<size_t>(t)]);
    return read;
}

LoadedMatch loadMatchFrom(const MatchSources& sources, const Config& options) {
    game = Game{};
    config = options;
    config.map_file = sources.map.path;
    for (int t = 0; t < TEAM_COUNT; ++t) config.team_file[static_cast<size_t>(t)] = sources.teams[static_cast<size_t>(t)].path;

    LoadedMatch match{sources, {}};
    compileMap(sources.map);
    initGame();
    match.teams = compileTeams(sources.teams);
    return match;
}

MatchResult runMatch(const LoadedMatch& match, uint64_t max_ticks, MatchObserver* observer) {
    MatchResult result;
    Tally tally(result, observer);
    const EventsInstalled installed(&tally);
    if (observer != nullptr) observer->matchStarted(match);

    refreshDerivedState();  // the run starts from whatever `game` holds now
    game.running = 1;  // the start key, pressed before the first frame
    while (game.game_over == 0) {
        if (result.ticks >= max_ticks && !result.capped) {
            result.capped = true;
            if (observer != nullptr) observer->capReached(result.ticks);
            game.end_requested = 1;  // the next frame ends it
        }
        const bool ticks = game.running == 1 && game.game_over == 0;
        if (ticks) {
            tally.startTick(result.ticks + 1);
            if (observer != nullptr) observer->tickStarting(result.ticks + 1);
        }
        frameStep();
        if (!ticks) continue;
        ++result.ticks;
        if (observer == nullptr) continue;
        observer->tickDone(result.ticks);
        if (observer->stopRequested()) {
            result.stopped = true;
            break;
        }
    }
    fillFinalState(result, match);
    return result;
}

const char* seatCorner(int seat) {
    return seat >= 1 && seat <= TEAM_COUNT ? START_CORNERS[static_cast<size_t>(seat - 1)].name : "";
}
