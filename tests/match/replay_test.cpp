// Replays: recorded from a match held in memory, read back, checked tick by tick; damaged files refused.
#include "match/replay.h"
#include "core/version.h"
#include "support/test_support.h"

#include <nlohmann/json.hpp>

namespace {

MatchSources defaultMatch() {
    MatchSources s{{FUSEWICK_SOURCE_DIR "/default.map", std::nullopt}, {}};
    for (auto& team : s.teams) team.path = FUSEWICK_SOURCE_DIR "/default.fpl";
    return readIntoMemory(s);
}

Replay record(const MatchSources& sources) {
    Replay replay;
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(sources, defaultConfig());
        ReplayRecorder recorder(match, DEFAULT_MAX_TICKS);
        replay = recorder.finish(runMatch(match, DEFAULT_MAX_TICKS, &recorder));
    });
    return replay;
}

// The tick at which playing `replay` went another way, or nothing when it reproduced.
std::optional<uint64_t> check(const Replay& replay) {
    std::optional<uint64_t> verdict;
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(replay.sources, replay.options);
        ReplayChecker checker(replay);
        verdict = checker.verdict(runMatch(match, replay.max_ticks, &checker));
    });
    return verdict;
}

// What checking says of a replay in words, as the arena's --verbose and the browser viewer show it.
std::string verdictWords(const Replay& replay) {
    std::string words;
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(replay.sources, replay.options);
        ReplayChecker checker(replay);
        words = checker.judge(runMatch(match, replay.max_ticks, &checker)).words();
    });
    return words;
}

struct Edit {
    const char* name;
    void (*apply)(Replay&);
    const char* words;
};

class EditedReplay : public testing::TestWithParam<Edit> {};

// An edited result is told apart from a play that went another way; an edited final fingerprint is the play's.
TEST_P(EditedReplay, IsJudgedInWords) {
    Replay replay = record(defaultMatch());
    GetParam().apply(replay);
    EXPECT_EQ(verdictWords(replay), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditedReplay,
    testing::Values(Edit{"Untouched", [](Replay&) {}, "reproduces"},
                    Edit{"Score", [](Replay& r) { r.outcome.scores[2] += 1; },
                         "the play reproduces; the recorded result differs"},
                    Edit{"Winner", [](Replay& r) { r.outcome.winners[0] = !r.outcome.winners[0]; },
                         "the play reproduces; the recorded result differs"},
                    Edit{"TickFingerprint", [](Replay& r) { r.tick_hashes[99] ^= 1; }, "diverges at tick 100"},
                    Edit{"FinalFingerprint", [](Replay& r) { r.final_hash ^= 1; }, "diverges at tick 861"},
                    Edit{"Program",
                         [](Replay& r) {
                             std::string& text = *r.sources.teams[0].text;
                             text.replace(text.find("P2.MOVE 2\n"), 9, "P2.MOVE 3");
                         },
                         "diverges at tick 16"}),
    [](const testing::TestParamInfo<Edit>& info) { return info.param.name; });

// The recorder folds the fingerprints of several ticks at once; each must be the one the state had after its tick,
// however many ticks the match lasts (whole batches or not).
class RecordedFingerprints : public testing::TestWithParam<uint64_t> {};

TEST_P(RecordedFingerprints, AreThoseOfEachTicksState) {
    struct EachTick final : MatchObserver {
        std::vector<uint8_t> hashes;
        void tickDone(uint64_t /*tick*/) override { hashes.push_back(static_cast<uint8_t>(hashTickState(game))); }
    };
    Replay replay;
    EachTick each;
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(defaultMatch(), defaultConfig());
        ReplayRecorder recorder(match, GetParam());
        ObserverList both;
        both.add(&recorder);
        both.add(&each);
        replay = recorder.finish(runMatch(match, GetParam(), &both));
    });
    EXPECT_EQ(replay.tick_hashes, each.hashes);
    EXPECT_EQ(replay.final_hash, hashTickState(game));
}

INSTANTIATE_TEST_SUITE_P(TickCaps, RecordedFingerprints, testing::Values(1, 2, 3, 4, 6, 9, 300, DEFAULT_MAX_TICKS));

TEST(Replay, OfTheDefaultMatchReadsBackAndReproducesWithinTwoKilobytesOfItsFiles) {
    const MatchSources sources = defaultMatch();
    const Replay replay = record(sources);
    EXPECT_EQ(replay.outcome.ticks, replay.tick_hashes.size());

    const std::string text = replayText(replay);
    size_t inputs = sources.map.text->size();
    for (const SourceFile& team : sources.teams) inputs += team.text->size();
    EXPECT_LE(text.size(), inputs + 2048);

    const ReplayRead read = parseReplay(text);
    ASSERT_TRUE(read.replay) << read.error;
    EXPECT_EQ(replayText(*read.replay), text);
    EXPECT_EQ(check(*read.replay), std::nullopt);
}

// A program changed inside the replay is caught at the tick where the change shows in the play: the SPRINTER 1.2
// of the default team ends its first MOVE 2 after 16 ticks, or keeps walking when it says MOVE 3.
TEST(Replay, WithAnEditedProgramGoesAnotherWayAtTheTickItShows) {
    Replay replay = record(defaultMatch());
    std::string& text = *replay.sources.teams[0].text;
    const size_t at = text.find("P2.MOVE 2\n");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 9, "P2.MOVE 3");
    EXPECT_EQ(check(replay), 16u);

    // A result edited to another score is refused at the match's last tick.
    Replay scored = record(defaultMatch());
    scored.outcome.scores[2] += 1;
    EXPECT_EQ(check(scored), scored.outcome.ticks);
}

// Every damaged or foreign document is refused with a reason, never a crash.
struct Damage {
    const char* name;
    std::string (*edit)(nlohmann::json doc);
    const char* reason;
};

class DamagedReplay : public testing::TestWithParam<Damage> {};

// Replays recorded before the engine had a version of its own carry no "engine" key; they are engine 1 and play.
TEST(Replay, WithoutAnEngineVersionIsOfTheFirstEngineAndReproduces) {
    nlohmann::json doc = nlohmann::json::parse(replayText(record(defaultMatch())));
    EXPECT_EQ(doc["engine"], ENGINE_VERSION);
    doc.erase("engine");
    const ReplayRead read = parseReplay(doc.dump());
    ASSERT_TRUE(read.replay) << read.error;
    EXPECT_EQ(read.replay->engine, 1);
    EXPECT_EQ(check(*read.replay), std::nullopt);
}

TEST_P(DamagedReplay, IsRefusedWithItsReason) {
    static const std::string good = replayText(record(defaultMatch()));
    const ReplayRead read = parseReplay(GetParam().edit(nlohmann::json::parse(good)));
    EXPECT_FALSE(read.replay);
    EXPECT_EQ(read.error, GetParam().reason);
}

using J = nlohmann::json;
INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedReplay,
    testing::Values(
        Damage{"Empty", [](J) { return std::string(); }, "the file is empty"},
        Damage{"CutShort", [](J d) { return d.dump().substr(0, 900); }, "not a replay: the JSON is damaged or cut short"},
        Damage{"NotAnObject", [](J) { return std::string("[1, 2]"); }, "not a JSON object"},
        Damage{"OtherFormat", [](J d) { d["format"] = "fusewick-result"; return d.dump(); },
               "not a replay (format \"fusewick-result\")"},
        Damage{"NoFormat", [](J d) { d.erase("format"); return d.dump(); }, "no \"format\" (a format name)"},
        Damage{"LaterVersion", [](J d) { d["version"] = 2; return d.dump(); },
               "replay version 2 is unknown (this program reads version 1)"},
        Damage{"OtherEngine", [](J d) { d["engine"] = 2; return d.dump(); },
               "recorded by another engine version (engine 2; this program plays engine 1)"},
        Damage{"EngineNotANumber", [](J d) { d["engine"] = "1"; return d.dump(); }, "\"engine\" is not an engine version"},
        Damage{"TextNotAString", [](J d) { d["files"][0]["text"] = 5; return d.dump(); },
               "\"text\" is not the file's text"},
        Damage{"TeamIndexOutOfRange", [](J d) { d["teams"][3] = 9; return d.dump(); }, "a file index is out of range"},
        Damage{"ThreeTeams", [](J d) { d["teams"].erase(3); return d.dump(); },
               "\"teams\" does not name four team files"},
        Damage{"CellWidthTooLarge", [](J d) { d["options"]["width"] = 70000; return d.dump(); },
               "\"width\" is out of range"},
        Damage{"NegativeTicks", [](J d) { d["result"]["ticks"] = -1; return d.dump(); },
               "\"ticks\" is not a number of ticks"},
        Damage{"ScoreOutOfRange", [](J d) { d["result"]["scores"][0] = 300; return d.dump(); }, "a score is out of range"},
        Damage{"FingerprintNotHex", [](J d) { d["hashes"]["final"] = "zz"; return d.dump(); },
               "a state fingerprint is damaged"},
        Damage{"TicksNotBase64", [](J d) { d["hashes"]["ticks"] = "@@@@"; return d.dump(); },
               "a state fingerprint is damaged"},
        Damage{"FingerprintsCutShort",
               [](J d) {
                   d["hashes"]["ticks"] = d["hashes"]["ticks"].get<std::string>().substr(0, 100);
                   return d.dump();
               },
               "it holds fingerprints of 75 ticks for a match of 861"}),
    [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

}  // namespace
