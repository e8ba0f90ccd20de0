// Match requests: the browser's way to ask for a match as texts. Requests that are not one are refused with a
// reason; faulty files are refused exactly when the real game refuses them, with the game's place and message.
#include "match/match_request.h"
#include "support/test_support.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace {

using Json = nlohmann::json;

std::string bundled(const char* name) { return fwtest::readFile(std::string(FUSEWICK_SOURCE_DIR) + "/" + name); }

Json defaultRequest() {
    const std::string team = bundled("default.fpl");
    return {{"map", bundled("default.map")}, {"teams", {team, team, team, team}}};
}

TEST(MatchRequestTest, ReadsTextsNamesAndCap) {
    Json j = defaultRequest();
    MatchRequestRead read = readMatchRequest(j.dump());
    ASSERT_TRUE(read.request) << read.error;
    EXPECT_EQ(read.request->max_ticks, DEFAULT_MAX_TICKS);
    EXPECT_EQ(read.request->sources.map.path, "default.map");
    EXPECT_EQ(read.request->sources.teams[3].path, "t4.fpl");
    EXPECT_EQ(read.request->sources.teams[0].text, bundled("default.fpl"));

    j["names"] = {"arena.map", "red.fpl"};
    j["maxTicks"] = 500;
    read = readMatchRequest(j.dump());
    ASSERT_TRUE(read.request) << read.error;
    EXPECT_EQ(read.request->max_ticks, 500u);
    EXPECT_EQ(read.request->sources.map.path, "arena.map");
    EXPECT_EQ(read.request->sources.teams[0].path, "red.fpl");
    EXPECT_EQ(read.request->sources.teams[1].path, "t2.fpl");
    EXPECT_EQ(requestConfig(read.request->sources).team_file[0], "red.fpl");
}

TEST(MatchRequestTest, RefusesWhatIsNotARequest) {
    const Json good = defaultRequest();
    const auto with = [&](const char* key, const Json& value) {
        Json j = good;
        j[key] = value;
        return j.dump();
    };
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {"", "a match request is a JSON object"},
        {"[1, 2]", "a match request is a JSON object"},
        {"{\"map\": \"x\"}", "a match request holds a map's text and four team files' texts"},
        {with("teams", {"a", "b", "c"}), "a match request holds a map's text and four team files' texts"},
        {with("teams", {"a", "b", "c", 4}), "a team file's text is a string"},
        {with("map", 7), "a match request holds a map's text and four team files' texts"},
        {with("names", {"a", "b", "c", "d", "e", "f"}), "\"names\" lists up to five names"},
        {with("names", {""}), "a file name is a string that is not empty"},
        {with("maxTicks", 0), "\"maxTicks\" is a whole number from 1"},
        {with("maxTicks", -5), "\"maxTicks\" is a whole number from 1"},
        {with("maxTicks", 2.5), "\"maxTicks\" is a whole number from 1"},
    };
    for (const auto& c : cases) {
        const MatchRequestRead read = readMatchRequest(c.text);
        EXPECT_FALSE(read.request) << c.text;
        EXPECT_EQ(read.error, c.reason) << c.text;
    }
}

// The real game on the same files: it stops exactly where the request's check does, with the same message.
struct FaultCase {
    const char* name;
    const char* map;   // empty: the default map
    const char* team;  // the first team; the others play default.fpl
    int game_code;     // the game's exit code for these files; 0 when it plays them
    const char* fault; // the start of the request's error, or empty
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class MatchRequestFaultTest : public testing::TestWithParam<FaultCase> {};

TEST_P(MatchRequestFaultTest, RefusedExactlyWhenTheGameRefuses) {
    const FaultCase& c = GetParam();
    const std::string map = *c.map ? c.map : bundled("default.map");
    const std::string team = *c.team ? c.team : bundled("default.fpl");
    Json j = defaultRequest();
    j["map"] = map;
    j["teams"][0] = team;
    j["names"] = {"m.map", "a.fpl"};
    j["maxTicks"] = 50;
    const MatchRequestRead read = readMatchRequest(j.dump());
    EXPECT_EQ(read.error.rfind(c.fault, 0), 0u) << read.error;
    EXPECT_EQ(read.request.has_value(), c.game_code == 0);

    const fwtest::TempDir dir;
    dir.write("m.map", map);
    dir.write("a.fpl", team);
    dir.write("b.fpl", bundled("default.fpl"));
    const fwtest::ProcessResult run = fwtest::runProgram(
        FUSEWICK_ARENA, {"--max-ticks", "50", "-M", "m.map", "a.fpl", "b.fpl", "b.fpl", "b.fpl"}, dir.path());
    EXPECT_EQ(run.code, c.game_code) << run.out << run.err;
    if (!read.request) {
        // The game prints "Error compiling <file>, line <n>" and then the message that the request puts after it.
        const std::string place = read.error.substr(0, read.error.find(": "));
        EXPECT_NE(run.out.find(place), std::string::npos) << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, MatchRequestFaultTest,
    testing::Values(FaultCase{"Plays", "", "", 0, ""},
                    FaultCase{"UnknownCommand", "", "P1 CAPTAIN\nP1.FLY 2\n", 6, "Error compiling a.fpl, line 2: "},
                    FaultCase{"UnknownType", "", "P1 WIZARD\n", 6, "Error compiling a.fpl, line 1: "},
                    FaultCase{"MapWithoutSize", "---\n---\n", "", 7, "Error compiling m.map"},
                    FaultCase{"MapTooSmall", "2, 1\n--\n", "", 7, "Error compiling m.map"}),
    fwtest::caseName);

}  // namespace
