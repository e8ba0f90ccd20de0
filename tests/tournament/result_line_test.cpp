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
