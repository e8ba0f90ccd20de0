// The regression corpus (tests/corpus/): every replay there is loaded and played in process, and the full 64-bit
// fingerprint of the state after loading and after every tick equals the one written beside it when the corpus was
// made; the replay's own check agrees. A faster engine that changes a single bit of any tick of any entry fails
// here, at the entry and tick where it happens.
#include "match/replay.h"
#include "match/state_hash.h"
#include "support/test_support.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const std::string CORPUS = FUSEWICK_SOURCE_DIR "/tests/corpus";

std::vector<std::string> corpusNames() {
    std::vector<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(CORPUS))
        if (file.path().extension() == ".replay") names.push_back(file.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The fingerprints file's lines as numbers; a line that is not 16 hex digits fails the test.
std::vector<uint64_t> readFingerprints(const std::string& path) {
    std::vector<uint64_t> hashes;
    gzFile in = gzopen(path.c_str(), "rb");
    if (in == nullptr) {
        ADD_FAILURE() << path << ": cannot be read";
        return hashes;
    }
    char line[64];
    while (gzgets(in, line, sizeof line) != nullptr) {
        const std::string text(line);
        if (text.size() != 17 || text.find_first_not_of("0123456789abcdef") != 16) {
            ADD_FAILURE() << path << ", line " << hashes.size() + 1 << ": not 16 hex digits";
            break;
        }
        hashes.push_back(std::strtoull(text.c_str(), nullptr, 16));
    }
    gzclose(in);
    return hashes;
}

// Compares every state with the recorded fingerprint; remembers the first that differs.
class FingerprintCheck final : public MatchObserver {
public:
    explicit FingerprintCheck(const std::vector<uint64_t>& expected) : expected_(expected) {}
    void matchStarted(const LoadedMatch&) override { compare(0, hashStart(game)); }
    void tickDone(uint64_t tick) override { compare(tick, hashTickState(game)); }
    bool stopRequested() const override { return first_difference.has_value(); }

    std::optional<uint64_t> first_difference;

private:
    void compare(uint64_t tick, uint64_t hash) {
        if (first_difference) return;
        if (tick >= expected_.size() || expected_[tick] != hash) first_difference = tick;
    }
    const std::vector<uint64_t>& expected_;
};

class Corpus : public testing::TestWithParam<std::string> {};

TEST_P(Corpus, ReproducesEveryFingerprintOfEveryTick) {
    const std::string base = CORPUS + "/" + GetParam();
    const ReplayRead read = readReplayFile(base + ".replay");
    ASSERT_TRUE(read.replay) << read.error;
    const Replay& replay = *read.replay;
    const std::vector<uint64_t> expected = readFingerprints(base + ".fingerprints.gz");
    ASSERT_EQ(expected.size(), replay.outcome.ticks + 1) << "one fingerprint after loading and one per tick";

    FingerprintCheck prints(expected);
    ReplayChecker checker(replay);
    ObserverList watchers;
    watchers.add(&prints);
    watchers.add(&checker);
    MatchResult result;
    fwtest::captureStdout([&] {
        const LoadedMatch match = loadMatchFrom(replay.sources, replay.options);
        result = runMatch(match, replay.max_ticks, &watchers);
    });
    EXPECT_EQ(prints.first_difference, std::nullopt) << "the first state that differs, 0 after loading";
    EXPECT_EQ(checker.verdict(result), std::nullopt) << "the replay's own check";
    EXPECT_EQ(result.ticks, replay.outcome.ticks);
}

// The writer as the recorder's output has always been: every entry, read and written again, byte for byte.
TEST_P(Corpus, WritesBackByteForByte) {
    std::ifstream in(CORPUS + "/" + GetParam() + ".replay", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const ReplayRead read = parseReplay(text);
    ASSERT_TRUE(read.replay) << read.error;
    EXPECT_EQ(replayText(*read.replay), text);
}

INSTANTIATE_TEST_SUITE_P(Entries, Corpus, testing::ValuesIn(corpusNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// The corpus is what every change to the engine is checked against: it must not shrink unnoticed.
TEST(CorpusFolder, HoldsAtLeast150EntriesEachWithItsFingerprints) {
    const std::vector<std::string> names = corpusNames();
    EXPECT_GE(names.size(), 150u);
    for (const std::string& name : names)
        EXPECT_TRUE(std::filesystem::exists(CORPUS + "/" + name + ".fingerprints.gz")) << name;
}

}  // namespace
