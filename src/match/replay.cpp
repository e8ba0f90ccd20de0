// replay.cpp: recording, writing, reading and checking replays.
#include "match/replay.h"

#include "match/result_json.h"
#include "match/state_hash.h"
#include "core/version.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include <unistd.h>

namespace {

using Json = nlohmann::ordered_json;

// [SECTION] Encodings

constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string toBase64(const std::vector<uint8_t>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
        uint32_t v = uint32_t{bytes[i]} << 16;
        if (n > 1) v |= uint32_t{bytes[i + 1]} << 8;
        if (n > 2) v |= bytes[i + 2];
        out += BASE64[(v >> 18) & 63];
        out += BASE64[(v >> 12) & 63];
        out += n > 1 ? BASE64[(v >> 6) & 63] : '=';
        out += n > 2 ? BASE64[v & 63] : '=';
    }
    return out;
}

std::optional<std::vector<uint8_t>> fromBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        uint32_t v = 0;
        int padding = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            uint32_t d = 0;
            if (c == '=' && k >= 2 && i + 4 == text.size()) {
                ++padding;
            } else {
                if (padding > 0) return std::nullopt;  // data after padding
                const char* at = std::char_traits<char>::find(BASE64, 64, c);
                if (at == nullptr) return std::nullopt;
                d = static_cast<uint32_t>(at - BASE64);
            }
            v = v << 6 | d;
        }
        out.push_back(static_cast<uint8_t>(v >> 16));
        if (padding < 2) out.push_back(static_cast<uint8_t>(v >> 8));
        if (padding < 1) out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

std::string toHex(uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

std::optional<uint64_t> fromHex(std::string_view text) {
    if (text.size() != 16) return std::nullopt;
    uint64_t v = 0;
    for (const char c : text) {
        int d = 0;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return std::nullopt;
        v = v << 4 | static_cast<uint64_t>(d);
    }
    return v;
}

// [SECTION] Writing

Json outcomeJson(const ReplayOutcome& o) {
    return Json{{"ticks", o.ticks}, {"capped", o.capped}, {"scores", o.scores}, {"winners", o.winners}};
}

// The files of the match, each (name, text) pair once, and the index of each source among them.
struct FileTable {
    Json files = Json::array();
    std::map<std::pair<std::string, std::string>, size_t> index;

    size_t add(const SourceFile& source) {
        const auto key = std::make_pair(source.path, source.text.value_or(""));
        const auto found = index.find(key);
        if (found != index.end()) return found->second;
        files.push_back(Json{{"name", key.first}, {"text", key.second}});
        return index[key] = files.size() - 1;
    }
};

// The document; the ticks' fingerprints as an empty string when `tick_text` is false (see replayText).
Json replayJson(const Replay& r, bool tick_text = true) {
    FileTable table;
    const size_t map = table.add(r.sources.map);
    Json teams = Json::array();
    for (const SourceFile& team : r.sources.teams) teams.push_back(table.add(team));
    return Json{{"format", REPLAY_FORMAT},
                {"version", REPLAY_VERSION},
                {"program", r.program},
                {"engine", r.engine},
                {"options",
                 {{"debug", r.options.debug_level},
                  {"width", r.options.pixel_width},
                  {"height", r.options.pixel_height},
                  {"max_ticks", r.max_ticks},
                  {"status_at", r.status_at}}},
                {"files", std::move(table.files)},
                {"map", map},
                {"teams", std::move(teams)},
                {"result", outcomeJson(r.outcome)},
                {"hashes", {{"start", toHex(r.start_hash)}, {"ticks", tick_text ? toBase64(r.tick_hashes) : ""},
                            {"final", toHex(r.final_hash)}}}};
}

// [SECTION] Reading

// A reader that names the first thing wrong with the document and gives up there.
class Fields {
public:
    std::string error;

    const Json* get(const Json& object, const char* key, Json::value_t type, const char* what) {
        if (!error.empty()) return nullptr;
        const auto found = object.find(key);
        if (found == object.end()) return fail(std::string("no \"") + key + "\" (" + what + ")");
        const bool integer_kind = type == Json::value_t::number_integer && found->is_number_integer();
        if (found->type() != type && !integer_kind)
            return fail(std::string("\"") + key + "\" is not " + what);
        return &*found;
    }
    std::optional<uint64_t> count(const Json& object, const char* key, uint64_t max, const char* what) {
        const Json* v = get(object, key, Json::value_t::number_unsigned, what);
        if (v == nullptr) return std::nullopt;
        const uint64_t n = v->get<uint64_t>();
        if (n > max) {
            fail(std::string("\"") + key + "\" is out of range");
            return std::nullopt;
        }
        return n;
    }
    std::nullptr_t fail(std::string why) {
        if (error.empty()) error = std::move(why);
        return nullptr;
    }
};

std::optional<Replay> replayFromJson(const Json& doc, Fields& f) {
    using T = Json::value_t;
    if (!doc.is_object()) return f.fail("not a JSON object"), std::nullopt;
    const Json* format = f.get(doc, "format", T::string, "a format name");
    if (format == nullptr) return std::nullopt;
    if (*format != REPLAY_FORMAT) return f.fail("not a replay (format \"" + format->get<std::string>() + "\")"), std::nullopt;
    const Json* version = f.get(doc, "version", T::number_unsigned, "a version number");
    if (version == nullptr) return std::nullopt;
    if (*version != REPLAY_VERSION)
        return f.fail("replay version " + version->dump() + " is unknown (this program reads version " +
                      std::to_string(REPLAY_VERSION) + ")"),
               std::nullopt;

    Replay r;
    const Json* program = f.get(doc, "program", T::string, "the program's name and version");
    const Json* options = f.get(doc, "options", T::object, "the options");
    const Json* files = f.get(doc, "files", T::array, "the list of files");
    const Json* teams = f.get(doc, "teams", T::array, "the team file of each seat");
    const Json* result = f.get(doc, "result", T::object, "the result");
    const Json* hashes = f.get(doc, "hashes", T::object, "the state fingerprints");
    if (!f.error.empty()) return std::nullopt;
    r.program = program->get<std::string>();
    // Replays written before the engine had a version of its own carry no key: they are engine 1.
    if (doc.contains("engine")) {
        const Json* engine = f.get(doc, "engine", T::number_unsigned, "an engine version");
        if (engine == nullptr) return std::nullopt;
        if (*engine != ENGINE_VERSION)
            return f.fail("recorded by another engine version (engine " + engine->dump() + "; this program plays engine " +
                          std::to_string(ENGINE_VERSION) + ")"),
                   std::nullopt;
        r.engine = ENGINE_VERSION;
    }

    r.options = defaultConfig();
    const Json* debug = f.get(*options, "debug", T::number_integer, "the debug level");
    if (debug != nullptr) {
        const int64_t level = debug->get<int64_t>();
        if (level < INT32_MIN || level > INT32_MAX) return f.fail("\"debug\" is out of range"), std::nullopt;
        r.options.debug_level = static_cast<int32_t>(level);
    }
    if (const auto w = f.count(*options, "width", UINT16_MAX, "the cell width")) r.options.pixel_width = static_cast<uint16_t>(*w);
    if (const auto h = f.count(*options, "height", UINT16_MAX, "the cell height")) r.options.pixel_height = static_cast<uint16_t>(*h);
    if (const auto m = f.count(*options, "max_ticks", UINT64_MAX, "the tick cap")) r.max_ticks = *m;
    if (const Json* at = f.get(*options, "status_at", T::array, "a list of ticks")) {
        for (const Json& tick : *at) {
            if (!tick.is_number_unsigned()) return f.fail("\"status_at\" holds something that is not a tick"), std::nullopt;
            r.status_at.push_back(tick.get<uint64_t>());
        }
    }
    if (!f.error.empty()) return std::nullopt;

    std::vector<SourceFile> sources;
    for (const Json& file : *files) {
        if (!file.is_object()) return f.fail("an entry of \"files\" is not an object"), std::nullopt;
        const Json* name = f.get(file, "name", T::string, "a file name");
        const Json* text = f.get(file, "text", T::string, "the file's text");
        if (!f.error.empty()) return std::nullopt;
        sources.push_back(SourceFile{name->get<std::string>(), text->get<std::string>()});
    }
    auto source = [&](const Json& index) -> std::optional<SourceFile> {
        if (!index.is_number_unsigned() || index.get<uint64_t>() >= sources.size()) {
            f.fail("a file index is out of range");
            return std::nullopt;
        }
        return sources[index.get<size_t>()];
    };
    const Json* map = f.get(doc, "map", T::number_unsigned, "the index of the map file");
    if (map == nullptr) return std::nullopt;
    if (auto m = source(*map)) r.sources.map = *m;
    if (teams->size() != TEAM_COUNT) return f.fail("\"teams\" does not name four team files"), std::nullopt;
    for (size_t t = 0; t < TEAM_COUNT; ++t)
        if (auto s = source((*teams)[t])) r.sources.teams[t] = *s;
    if (!f.error.empty()) return std::nullopt;

    if (const auto ticks = f.count(*result, "ticks", UINT64_MAX, "a number of ticks")) r.outcome.ticks = *ticks;
    if (const Json* capped = f.get(*result, "capped", T::boolean, "true or false")) r.outcome.capped = capped->get<bool>();
    const Json* scores = f.get(*result, "scores", T::array, "the four scores");
    const Json* winners = f.get(*result, "winners", T::array, "the four winner flags");
    if (!f.error.empty()) return std::nullopt;
    if (scores->size() != TEAM_COUNT || winners->size() != TEAM_COUNT)
        return f.fail("the result does not hold four teams"), std::nullopt;
    for (size_t t = 0; t < TEAM_COUNT; ++t) {
        if (!(*scores)[t].is_number_integer() || !(*winners)[t].is_boolean())
            return f.fail("the result holds a score or winner flag of the wrong kind"), std::nullopt;
        const int64_t score = (*scores)[t].get<int64_t>();
        if (score < INT8_MIN || score > INT8_MAX) return f.fail("a score is out of range"), std::nullopt;
        r.outcome.scores[t] = static_cast<int>(score);
        r.outcome.winners[t] = (*winners)[t].get<bool>();
    }

    const Json* start = f.get(*hashes, "start", T::string, "a fingerprint");
    const Json* ticks = f.get(*hashes, "ticks", T::string, "the fingerprints of the ticks");
    const Json* final = f.get(*hashes, "final", T::string, "a fingerprint");
    if (!f.error.empty()) return std::nullopt;
    const auto start_hash = fromHex(start->get<std::string>());
    const auto final_hash = fromHex(final->get<std::string>());
    auto tick_hashes = fromBase64(ticks->get<std::string>());
    if (!start_hash || !final_hash || !tick_hashes) return f.fail("a state fingerprint is damaged"), std::nullopt;
    if (tick_hashes->size() != r.outcome.ticks)
        return f.fail("it holds fingerprints of " + std::to_string(tick_hashes->size()) + " ticks for a match of " +
                      std::to_string(r.outcome.ticks)),
               std::nullopt;
    r.start_hash = *start_hash;
    r.final_hash = *final_hash;
    r.tick_hashes = std::move(*tick_hashes);
    return r;
}

}  // namespace

ReplayOutcome outcomeOf(const MatchResult& result) {
    ReplayOutcome o;
    o.ticks = result.ticks;
    o.capped = result.capped;
    for (size_t t = 0; t < TEAM_COUNT; ++t) {
        o.scores[t] = result.teams[t].score;
        o.winners[t] = result.teams[t].winner;
    }
    return o;
}

ReplayRecorder::ReplayRecorder(const LoadedMatch& match, uint64_t max_ticks, std::vector<uint64_t> status_at) {
    replay_.program = std::string("fusewick ") + PROGRAM_VERSION;
    replay_.engine = ENGINE_VERSION;
    replay_.options = config;
    replay_.max_ticks = max_ticks;
    replay_.status_at = std::move(status_at);
    replay_.sources = match.sources;
    replay_.start_hash = hashStart(game);
    // A second of play at a time, so that long matches grow the list in few steps.
    replay_.tick_hashes.reserve(4096);
}

void ReplayRecorder::tickDone(uint64_t /*tick*/) {
    pending_.add(game);
    if (pending_.full()) pending_.drainInto(replay_.tick_hashes);
}

Replay ReplayRecorder::finish(const MatchResult& result) {
    pending_.drainInto(replay_.tick_hashes);
    replay_.outcome = outcomeOf(result);
    replay_.final_hash = hashTickState(game);
    return std::move(replay_);
}

std::string replayText(const Replay& replay) {
    // The ticks' fingerprints are most of a long match's file, and the JSON library's writer looks at every character
    // of a string for what to escape. Base64 has nothing to escape: the text goes in where the library wrote an empty
    // string, the same bytes in a fraction of the time. Strings inside the document have their quotes escaped, so
    // the last `"ticks":""` is the one in "hashes", the document's last key.
    std::string text = replayJson(replay, false).dump();
    constexpr std::string_view EMPTY_TICKS = R"("ticks":"")";
    text.insert(text.rfind(EMPTY_TICKS) + EMPTY_TICKS.size() - 1, toBase64(replay.tick_hashes));
    text += '\n';
    return text;
}

bool writeReplay(const std::string& path, const Replay& replay) {
    const std::string temporary = path + ".part" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary);
        out << replayText(replay);
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

ReplayRead parseReplay(std::string_view text) {
    ReplayRead read;
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        read.error = text.empty() ? "the file is empty" : "not a replay: the JSON is damaged or cut short";
        return read;
    }
    Fields fields;
    read.replay = replayFromJson(doc, fields);
    if (!read.replay) read.error = fields.error.empty() ? "not a replay" : fields.error;
    return read;
}

ReplayRead readReplayFile(const std::string& path) {
    SourceFile file{path, std::nullopt};
    const MatchSources in_memory = readIntoMemory(MatchSources{file, {}});
    if (!in_memory.map.text) return ReplayRead{std::nullopt, "cannot be read"};
    return parseReplay(*in_memory.map.text);
}

void ReplayChecker::matchStarted(const LoadedMatch& /*match*/) {
    if (hashStart(game) != replay_.start_hash) diverged_at_ = 0;
}

void ReplayChecker::tickDone(uint64_t tick) {
    if (diverged_at_) return;
    const uint64_t hash = hashTickState(game);
    const bool beyond = tick > replay_.tick_hashes.size();
    if (beyond || static_cast<uint8_t>(hash) != replay_.tick_hashes[tick - 1]) diverged_at_ = tick;
    else if (tick == replay_.tick_hashes.size() && hash != replay_.final_hash) diverged_at_ = tick;
}

std::optional<uint64_t> ReplayChecker::verdict(const MatchResult& result) const {
    if (diverged_at_) return diverged_at_;
    if (result.ticks != replay_.outcome.ticks || outcomeOf(result) != replay_.outcome) return result.ticks;
    return std::nullopt;
}

ReplayVerdict ReplayChecker::judge(const MatchResult& result) const {
    if (diverged_at_) return {ReplayVerdict::DIVERGES, *diverged_at_};
    // Every tick was checked as it ran; a run shorter than the recording went another way at its end.
    if (result.ticks != replay_.tick_hashes.size()) return {ReplayVerdict::DIVERGES, result.ticks};
    if (outcomeOf(result) != replay_.outcome) return {ReplayVerdict::RESULT_DIFFERS, 0};
    return {};
}

std::string ReplayVerdict::words() const {
    switch (kind) {
    case DIVERGES: return "diverges at tick " + std::to_string(tick);
    case RESULT_DIFFERS: return "the play reproduces; the recorded result differs";
    case REPRODUCES: break;
    }
    return "reproduces";
}
