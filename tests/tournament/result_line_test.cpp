// Result lines: written and read back unchanged, refused when they are not whole results, torn last lines set
// aside, and one result per id whatever the order of the lines.
#include "tournament/result_line.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

using namespace tournament;

namespace {

MatchLine sample(const std::string& id, std::array<int, SEATS> scores = {3, -1, 0, 3}) {
    MatchLine line;
    line.id = id;
    line.map = "maps/open.map";
    line.seats = {"a.fpl", "b.fpl", "my team.fpl", "a.fpl"};
    line.scores = scores;
    const int top = *std::max_element(scores.begin(), scores.end());
    for (size_t s = 0; s < SEATS; ++s) line.winners[s] = scores[s] == top;
    line.ticks = 1234;
    line.capped = false;
    line.command = windowCommand(line.map, line.seats);
    return line;
}

TEST(ResultLine, WrittenOnOneLineAndReadBackUnchanged) {
    const MatchLine line = sample("00ff");
    const std::string text = formatLine(line);
    EXPECT_EQ(text, R"({"id":"00ff","map":"maps/open.map","seats":["a.fpl","b.fpl","my team.fpl","a.fpl"],)"
                    R"("scores":[3,-1,0,3],"winners":[true,false,false,true],"ticks":1234,"capped":false,)"
                    R"("command":"fusewick -M maps/open.map a.fpl b.fpl 'my team.fpl' a.fpl"})");
    EXPECT_EQ(parseLine(text), line);
    EXPECT_EQ(parseLine(text + "\r\n"), line);
    EXPECT_EQ(parseLine(R"({"extra":[1],)" + text.substr(1)), line);  // keys added later are allowed
}

TEST(ResultLine, RefusesWhatIsNotAWholeResult) {
    const std::string good = formatLine(sample("1"));
    // The good line with one key set to another JSON value, or taken away.
    auto with = [&good](const std::string& key, const std::string& value) {
        nlohmann::ordered_json j = nlohmann::ordered_json::parse(good);
        if (value.empty())
            j.erase(key);
        else
            j[key] = nlohmann::ordered_json::parse(value);
        return j.dump();
    };
    for (const std::string& bad :
         {std::string(""), std::string("[]"), std::string("{}"), good.substr(0, good.size() - 1), with("id", "\"\""),
          with("id", "7"), with("map", "null"), with("map", ""), with("capped", ""), with("seats", R"(["a","b","c"])"),
          with("seats", R"(["a","b","c",4])"), with("scores", "[1,2,3]"), with("scores", "[1,2,3,1.5]"),
          with("scores", "[1,2,3,99999999999]"), with("winners", "[true,false,false,1]"),
          with("ticks", "-1"), with("ticks", "1.0"), with("capped", "0"), with("command", "[]")})
        EXPECT_FALSE(parseLine(bad)) << bad;
    EXPECT_TRUE(parseLine(with("scores", "[-5,2,3,1]")));
}

// The tournament and slice a line belongs to: read back whole, refused when malformed; a line without them, as
// written before, and the same result with them count as one.
TEST(ResultLine, OriginReadBackRefusedWhenMalformedAndNotAConflict) {
    MatchLine line = sample("2");
    ScheduleOptions options;
    options.sample = 7;
    options.max_ticks = 100;
    const Fingerprint fingerprint = tournamentFingerprint({{"a.fpl", "x"}}, {{"m.map", "y"}}, options);
    line.origin = MatchLine::Origin{fingerprint, Shard{3, 8}, 40, 5};
    const std::string text = formatLine(line);
    EXPECT_EQ(parseLine(text), line);
    nlohmann::ordered_json j = nlohmann::ordered_json::parse(text);
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"shard", "\"8/8\""}, {"shard", "3"}, {"shard_matches", "41"}, {"schedule_matches", "-1"}}) {
        nlohmann::ordered_json bad = j;
        bad[key] = nlohmann::ordered_json::parse(value);
        EXPECT_FALSE(parseLine(bad.dump())) << key << " " << value;
    }
    for (const char* key : {"id", "seats", "sample", "max_ticks"}) {
        nlohmann::ordered_json bad = j;
        bad["tournament"].erase(key);
        EXPECT_FALSE(parseLine(bad.dump())) << key;
    }
    MatchLine bare = line;
    bare.origin.reset();
    std::vector<std::string> conflicts;
    const std::vector<MatchLine> one = dedupe({bare, line}, &conflicts);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], line);
    EXPECT_TRUE(conflicts.empty());
}

TEST(ResultLine, FingerprintsTellWhichPartDiffers) {
    const std::vector<Entrant> teams{{"a.fpl", "x"}, {"b.fpl", "y"}}, maps{{"m.map", "z"}};
    const ScheduleOptions base;
    const Fingerprint f = tournamentFingerprint(teams, maps, base);
    EXPECT_EQ(tournamentFingerprint(teams, maps, base), f);
    struct Change {
        std::vector<Entrant> teams, maps;
        ScheduleOptions options;
        std::vector<std::string> parts;
    };
    ScheduleOptions all = base, sampled = base, seeded = base, capped = base;
    all.seats = SeatMode::All;
    sampled.sample = 3;
    seeded.seed = 1;
    capped.max_ticks = 5;
    for (const Change& c : std::vector<Change>{{{{"a.fpl", "x"}, {"b.fpl", "Y"}}, maps, base, {"the team files"}},
                                               {teams, {{"n.map", "z"}}, base, {"the maps"}},
                                               {teams, maps, all, {"the seat mode"}},
                                               {teams, maps, sampled, {"the sample"}},
                                               {teams, maps, seeded, {"the seed"}},
                                               {teams, maps, capped, {"the tick cap"}}}) {
        const Fingerprint other = tournamentFingerprint(c.teams, c.maps, c.options);
        EXPECT_NE(other.id, f.id);
        EXPECT_EQ(fingerprintDifferences(f, other), c.parts);
    }
}

TEST(ResultLine, FileReadLineByLineWithTheTornEndSetAside) {
    const std::string a = formatLine(sample("a")), b = formatLine(sample("b"));
    const std::string text = a + "\n\nnot json\n" + b + "\r\n" + b.substr(0, 20);
    const ResultsRead read = readResults(text);
    ASSERT_EQ(read.lines.size(), 2u);
    EXPECT_EQ(read.lines[1].id, "b");
    EXPECT_EQ(read.rejected, std::vector<int>{3});
    EXPECT_TRUE(read.torn_end);
    EXPECT_EQ(read.complete_bytes, text.size() - 20);
    // A whole line without its line feed was still being written: it is torn too.
    const ResultsRead unfinished = readResults(a + "\n" + b);
    EXPECT_EQ(unfinished.lines.size(), 1u);
    EXPECT_TRUE(unfinished.torn_end);
    EXPECT_FALSE(readResults(a + "\n").torn_end);
}

TEST(ResultLine, OneResultPerIdWhateverTheOrder) {
    const MatchLine a = sample("a"), b = sample("b"), b2 = sample("b", {0, 0, 0, 1});
    std::vector<MatchLine> lines{b, a, b2, a, b};
    std::vector<std::string> conflicts;
    const auto unique = dedupe(lines, &conflicts);
    ASSERT_EQ(unique.size(), 2u);
    EXPECT_EQ(unique[0], a);
    EXPECT_EQ(conflicts, std::vector<std::string>{"b"});
    std::sort(lines.begin(), lines.end(), [](const MatchLine& x, const MatchLine& y) {
        return formatLine(x) > formatLine(y);
    });
    do EXPECT_EQ(dedupe(lines), unique);
    while (std::next_permutation(lines.begin(), lines.end(), [](const MatchLine& x, const MatchLine& y) {
        return formatLine(x) > formatLine(y);
    }));
}

}  // namespace
