// fusewick_web.cpp: the browser build's interface, called from the page's Web Worker. Every call takes and returns
// text (JSON), so the page holds no game rule: it asks the engine to check a replay, record a match, open one for
// viewing, show a tick (the game's frame drawn by the software rasteriser) and check a team file or a map.
//
// A text is checked with the game's pure readers before it is loaded, so a faulty file is reported in the game's
// words and never reaches the loaders that would end the program; should anything else still refuse, the throw of
// raise_error_web.cpp comes back here as an error. No GL library; one match at a time, as in every program.
#include "raster/soft_gl_names.h"

#include "check/check.h"
#include "core/fusewick.h"
#include "core/loaders.h"
#include "core/tables.h"
#include "core/version.h"
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"
#include "match/match_request.h"
#include "match/replay.h"
#include "match/state_hash.h"
#include "raster/raster.h"
#include "view/death_causes.h"
#include "view/timeline.h"
#include "web_exit.h"

#include <emscripten/emscripten.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

using Json = nlohmann::json;

namespace {

std::string& reply() {
    static std::string text;
    return text;
}

const char* answer(const Json& j) {
    reply() = j.dump(-1, ' ', false, Json::error_handler_t::replace);
    return reply().c_str();
}

const char* fail(const std::string& message) { return answer(Json{{"error", message}}); }

bool allInMemory(const MatchSources& sources) {
    if (!sources.map.text) return false;
    for (const SourceFile& t : sources.teams)
        if (!t.text) return false;
    return true;
}

// A replay's sources loaded into `game` with its options, or why not.
std::optional<std::string> loadReplay(const Replay& replay, std::optional<LoadedMatch>& loaded) {
    if (!allInMemory(replay.sources)) return "the replay does not hold every file's text";
    if (auto fault = firstLoadFault(replay.sources)) return *fault;
    Config options = replay.options;
    options.map_file = replay.sources.map.path;
    for (size_t t = 0; t < TEAM_COUNT; ++t) options.team_file[t] = replay.sources.teams[t].path;
    loaded = loadMatchFrom(replay.sources, options);
    return std::nullopt;
}

std::string verdictWord(const ReplayVerdict& v) {
    // The page's short form of the third verdict.
    return v.kind == ReplayVerdict::RESULT_DIFFERS ? "result differs" : v.words();
}

// Every fingerprint of a match: the state after loading (hashStart), then after each tick (hashTickState).
class FingerprintRecorder final : public MatchObserver {
public:
    void matchStarted(const LoadedMatch&) override { add(hashStart(game)); }
    void tickDone(uint64_t) override { add(hashTickState(game)); }
    std::string text;

private:
    void add(uint64_t h) {
        char line[24];
        std::snprintf(line, sizeof line, "%016llx\n", static_cast<unsigned long long>(h));
        text += line;
    }
};

// [SECTION] The match open for viewing

struct Viewing {
    Replay replay;
    std::unique_ptr<MatchTimeline> timeline;
    std::vector<uint8_t> frame;
    bool sprites_loaded = false;
};

Viewing& viewing() {
    static Viewing v;
    return v;
}

Json openedMatch(const Viewing& v, const ReplayVerdict& verdict) {
    const MatchTimeline& tl = *v.timeline;
    Json teams = Json::array();
    for (int t = 0; t < TEAM_COUNT; ++t) {
        const Team& team = game.teams[static_cast<size_t>(t)];
        Json players = Json::array();
        for (int p = 0; p < PLAYER_COUNT; ++p) {
            const PlayerProgram& prog = tl.match().teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
            players.push_back({{"type", typeName(team.players[static_cast<size_t>(p)].type)}, {"lines", prog.lines}});
        }
        const layout::Rgb& colour = layout::NAME_COLOURS[static_cast<size_t>(t)];
        teams.push_back({{"name", team.name},
                         {"colour", {colour.red, colour.green, colour.blue}},
                         {"file", tl.match().sources.teams[static_cast<size_t>(t)].path},
                         {"score", tl.result().teams[static_cast<size_t>(t)].score},
                         {"winner", tl.result().teams[static_cast<size_t>(t)].winner},
                         {"lines", tl.teamLines(t)},
                         {"players", players}});
    }
    Json marks = Json::array();
    for (const TimelineMark& m : tl.marks()) marks.push_back({m.tick, static_cast<int>(m.kind), m.team, m.player});
    Json deaths = Json::array();
    for (const DeathCause& d : tl.deaths())
        deaths.push_back({{"tick", d.tick}, {"team", d.team}, {"player", d.player}, {"words", d.words()}});
    const WindowSize size = windowSize(game.width, game.height, config.pixel_width, config.pixel_height);
    return {{"replay", verdictWord(verdict)},
            {"ticks", tl.lastTick()},
            {"width", size.width},
            {"height", size.height},
            {"grid", {game.width, game.height}},
            {"map", tl.match().sources.map.path},
            {"program", v.replay.program},
            {"teams", teams},
            {"marks", marks},
            {"deaths", deaths}};
}

// The overlay's cells (the shared viewer model's hiddenBombs).
Json hiddenBombCells() {
    Json out = Json::array();
    for (const BombCell& b : hiddenBombs()) out.push_back({b.x, b.y});
    return out;
}

}  // namespace

// [SECTION] The calls ---------------------------------------------------------------------------------------------------

extern "C" {

// {"replay": words} for a replay's text, or {"error": why it cannot be checked}.
EMSCRIPTEN_KEEPALIVE const char* fw_verify(const char* text) {
    try {
        ReplayRead read = parseReplay(text);
        if (!read.replay) return fail(read.error);
        std::optional<LoadedMatch> loaded;
        if (auto fault = loadReplay(*read.replay, loaded)) return fail(*fault);
        ReplayChecker checker(*read.replay);
        const MatchResult result = runMatch(*loaded, read.replay->max_ticks, &checker);
        return answer(Json{{"replay", verdictWord(checker.judge(result))}});
    } catch (const WebExit& e) {
        return fail(e.message);
    }
}

// Plays a replay's match and answers {"fingerprints": one 16-hex-digit line per state, after loading and after
// each tick}, the full 64 bits that the replay keeps only a byte of, or {"error": ...}.
EMSCRIPTEN_KEEPALIVE const char* fw_fingerprints(const char* text) {
    try {
        ReplayRead read = parseReplay(text);
        if (!read.replay) return fail(read.error);
        std::optional<LoadedMatch> loaded;
        if (auto fault = loadReplay(*read.replay, loaded)) return fail(*fault);
        FingerprintRecorder prints;
        runMatch(*loaded, read.replay->max_ticks, &prints);
        return answer(Json{{"fingerprints", prints.text}});
    } catch (const WebExit& e) {
        return fail(e.message);
    }
}

// Plays a match from texts (a request, match_request.h) and answers {"replay": the replay file's text} or
// {"error": the game's message}.
EMSCRIPTEN_KEEPALIVE const char* fw_record(const char* request) {
    try {
        const MatchRequestRead read = readMatchRequest(request);
        if (!read.request) return fail(read.error);
        const MatchRequest& r = *read.request;
        const LoadedMatch match = loadMatchFrom(r.sources, requestConfig(r.sources));
        ReplayRecorder recorder(match, r.max_ticks);
        const MatchResult result = runMatch(match, r.max_ticks, &recorder);
        return answer(Json{{"replay", replayText(recorder.finish(result))}, {"ticks", result.ticks}});
    } catch (const WebExit& e) {
        return fail(e.message);
    }
}

// Opens a replay for viewing: plays it once, checking every tick, with the marks, snapshots and deaths the viewer
// shows. Answers what the page needs to know of the whole match, or {"error": ...}.
EMSCRIPTEN_KEEPALIVE const char* fw_open(const char* text) {
    Viewing& v = viewing();
    try {
        v.timeline.reset();
        ReplayRead read = parseReplay(text);
        if (!read.replay) return fail(read.error);
        v.replay = std::move(*read.replay);
        std::optional<LoadedMatch> loaded;
        if (auto fault = loadReplay(v.replay, loaded)) return fail(*fault);
        if (!v.sprites_loaded) {
            loadSprites();
            v.sprites_loaded = true;
        }
        ReplayChecker checker(v.replay);
        v.timeline = std::make_unique<MatchTimeline>(*loaded, v.replay.max_ticks, &checker);
        const ReplayVerdict verdict = checker.judge(v.timeline->result());
        const WindowSize size = windowSize(game.width, game.height, config.pixel_width, config.pixel_height);
        rasterResize(size.width, size.height);
        setupView(game.width, game.height);
        return answer(openedMatch(v, verdict));
    } catch (const WebExit& e) {
        v.timeline.reset();
        return fail(e.message);
    }
}

// Shows tick `tick` of the open match: draws the game's frame (fw_frame) and answers every player's state.
EMSCRIPTEN_KEEPALIVE const char* fw_show(double tick) {
    Viewing& v = viewing();
    if (!v.timeline) return fail("no match is open");
    try {
        MatchTimeline& tl = *v.timeline;
        tl.seek(tick <= 0 ? 0 : static_cast<uint64_t>(tick));
        drawScene();
        rasterPixelsTopDown(v.frame);
        Json players = Json::array();
        for (int t = 0; t < TEAM_COUNT; ++t)
            for (int p = 0; p < PLAYER_COUNT; ++p) {
                const Player& pl = game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
                const PlayerState s = tl.playerState(t, p);
                const DeathCause* death = deathOf(tl.deaths(), t, p, tl.tick());
                const auto& lines = tl.match().teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)].lines;
                // The command that used the tick, else the one the player stands at.
                const int64_t command = s.command >= 0 ? s.command : static_cast<int64_t>(pl.cmd_index);
                const int line = command >= 0 && static_cast<size_t>(command) < lines.size()
                                     ? lines[static_cast<size_t>(command)] : 0;
                players.push_back({{"x", pl.x}, {"y", pl.y}, {"health", pl.health}, {"alive", pl.status == PLAYER_ALIVE},
                                   {"bombs", pl.cur_bombs}, {"state", s.word}, {"detail", s.detail}, {"line", line},
                                   {"death", death ? death->words() : ""}});
            }
        return answer(Json{{"tick", tl.tick()}, {"scores", game.score}, {"players", players}, {"hidden", hiddenBombCells()}});
    } catch (const WebExit& e) {
        return fail(e.message);
    }
}

// The tick that [ (forward 0) or ] (forward 1) goes to from `tick`: the shared viewer model's eventTick.
EMSCRIPTEN_KEEPALIVE double fw_event_tick(double tick, int forward) {
    const Viewing& v = viewing();
    if (!v.timeline || tick < 0) return tick;
    return static_cast<double>(eventTick(v.timeline->marks(), static_cast<uint64_t>(tick), forward != 0));
}

EMSCRIPTEN_KEEPALIVE const uint8_t* fw_frame() { return viewing().frame.data(); }
EMSCRIPTEN_KEEPALIVE int fw_frame_size() { return static_cast<int>(viewing().frame.size()); }

// The checker's diagnostics of a team file ("team") or a map ("map"), as fusewick-check's JSON.
EMSCRIPTEN_KEEPALIVE const char* fw_check(const char* kind, const char* path, const char* text) {
    try {
        const SourceFile source{path, std::string(text)};
        const auto found = std::string(kind) == "map" ? check::checkMapFile(source) : check::checkTeamFile(source);
        reply() = check::formatJson(found);
        return reply().c_str();
    } catch (const WebExit& e) {
        return fail(e.message);
    }
}

EMSCRIPTEN_KEEPALIVE const char* fw_version() {
    return answer(Json{{"program", PROGRAM_VERSION}, {"engine", ENGINE_VERSION}});
}

}  // extern "C"
