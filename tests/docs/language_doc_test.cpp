// language_doc_test.cpp: docs/language.md checked against the real fusewick-arena.
//
// Every `console` block of the document ("$ fusewick-arena ..." and the output it shows) is run in a fresh
// directory holding the files of the blocks tagged "file=NAME", standard error merged into standard output; the
// output must match, a line "..." standing for any number of lines, and the exit code must be the one the shown
// error report names (0 without one). The type table is measured through the runner: walking time, bombs, blast
// reach and health of every type.
#include "support/test_support.h"

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DOC = FUSEWICK_SOURCE_DIR "/docs/language.md";
const std::string PROMPT = "$ fusewick-arena ";
const std::string ELLIPSIS = "...";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

struct Example {
    int line;  // of the command in the document
    std::vector<std::string> args;
    std::vector<std::string> expected;
};

void PrintTo(const Example& e, std::ostream* os) { *os << "the example at docs/language.md, line " << e.line; }

struct Document {
    std::vector<std::string> lines;
    std::map<std::string, std::string> files;
    std::vector<Example> examples;
};

// The fenced blocks of the document: "```<info>" up to the next "```".
Document readDocument() {
    Document doc;
    doc.lines = splitLines(fwtest::readFile(DOC));
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        if (!doc.lines[i].starts_with("```")) continue;
        const std::string info = doc.lines[i].substr(3);
        const size_t first = i + 1;
        size_t end = first;
        while (end < doc.lines.size() && doc.lines[end] != "```") ++end;
        const std::vector<std::string> body(doc.lines.begin() + static_cast<long>(first),
                                            doc.lines.begin() + static_cast<long>(end));
        for (const std::string& word : splitWords(info)) {
            if (!word.starts_with("file=")) continue;
            std::string content;
            for (const std::string& l : body) content += l + "\n";
            doc.files[word.substr(5)] = content;
        }
        if (info == "console" && !body.empty() && body[0].starts_with(PROMPT))
            doc.examples.push_back({static_cast<int>(first) + 1, splitWords(body[0].substr(PROMPT.size())),
                                    std::vector<std::string>(body.begin() + 1, body.end())});
        i = end;
    }
    return doc;
}

const Document& document() {
    static const Document doc = readDocument();
    return doc;
}

struct Output {
    int code;
    std::string out;  // standard output and standard error, in the order written
};

// Runs the arena in a fresh directory holding the document's files and `extra` ones.
Output runArena(const std::vector<std::string>& args, const std::map<std::string, std::string>& extra = {}) {
    fwtest::TempDir dir;
    for (const auto& [name, content] : document().files) dir.write(name, content);
    for (const auto& [name, content] : extra) dir.write(name, content);
    std::string command = "cd '" + dir.path() + "' && '" FUSEWICK_ARENA "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " > out.txt 2>&1 < /dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fwtest::readFile(dir.file("out.txt"))};
}

// Whether `actual` matches `expected`, a line "..." in `expected` standing for any number of lines.
bool matches(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    const size_t m = expected.size();
    const size_t n = actual.size();
    // ok[i][j]: expected[i..] matches actual[j..]; filled from the ends.
    std::vector<std::vector<char>> ok(m + 1, std::vector<char>(n + 1, 0));
    ok[m][n] = 1;
    for (size_t i = m; i-- > 0;) {
        for (size_t j = n + 1; j-- > 0;) {
            if (expected[i] == ELLIPSIS) ok[i][j] = ok[i + 1][j] || (j < n && ok[i][j + 1]);
            else ok[i][j] = j < n && expected[i] == actual[j] && ok[i + 1][j + 1];
        }
    }
    return ok[0][0] == 1;
}

struct MatchCase {
    std::vector<std::string> expected, actual;
    bool match;
};

TEST(LanguageDocMatcher, EllipsisStandsForAnyNumberOfLines) {
    const MatchCase cases[] = {
        {{"a", "...", "d"}, {"a", "b", "c", "d"}, true},
        {{"a", "...", "b"}, {"a", "b"}, true},
        {{"...", "x", "..."}, {"a", "b"}, false},
        {{"a", "b"}, {"a", "b", "c"}, false},
        {{"a", "...", "c", "..."}, {"a", "c", "b"}, true},
        {{"", "a"}, {"a"}, false},
    };
    for (const MatchCase& c : cases)
        EXPECT_EQ(matches(c.expected, c.actual), c.match) << testing::PrintToString(c.expected);
}

class LanguageDocExample : public testing::TestWithParam<Example> {};

TEST_P(LanguageDocExample, PrintsWhatTheDocumentShows) {
    const Example& e = GetParam();
    const Output r = runArena(e.args);
    EXPECT_TRUE(matches(e.expected, splitLines(r.out)))
        << "docs/language.md, line " << e.line << ": the arena printed\n" << r.out;
    const std::string report = "fusewick exited with error code ";
    const int code = !e.expected.empty() && e.expected.back().starts_with(report)
                         ? std::stoi(e.expected.back().substr(report.size()))
                         : 0;
    EXPECT_EQ(r.code, code) << "docs/language.md, line " << e.line;
}

INSTANTIATE_TEST_SUITE_P(Doc, LanguageDocExample, testing::ValuesIn(document().examples),
                         [](const testing::TestParamInfo<Example>& info) {
                             return "Line" + std::to_string(info.param.line);
                         });

TEST(LanguageDoc, HasExamplesAndTheirFiles) {
    EXPECT_GE(document().examples.size(), 12u);
    for (const char* name : {"field.map", "idle.fpl", "timeline.fpl"})
        EXPECT_EQ(document().files.count(name), 1u) << name;
}

struct TypeRow {
    std::string name;
    int ticks_per_cell, blast_range, bombs, health;
};

// The rows of the table headed "| type | ticks per cell | blast range | bombs | health | special |".
std::vector<TypeRow> typeTable() {
    const std::vector<std::string>& lines = document().lines;
    size_t i = 0;
    while (i < lines.size() && !lines[i].starts_with("| type | ticks per cell | blast range | bombs | health |")) ++i;
    std::vector<TypeRow> rows;
    for (i += 2; i < lines.size() && lines[i].starts_with("| `"); ++i) {
        std::vector<std::string> cells;
        std::istringstream in(lines[i].substr(1));
        for (std::string cell; std::getline(in, cell, '|');) cells.push_back(cell);
        const std::string name = splitWords(cells.at(0)).at(0);
        rows.push_back({name.substr(1, name.size() - 2), std::stoi(cells.at(1)), std::stoi(cells.at(2)),
                        std::stoi(cells.at(3)), std::stoi(cells.at(4))});
    }
    return rows;
}

// The lines of team 1's player 1 in a status report.
std::string firstPlayer(const std::string& report) {
    const size_t from = report.find("---- Player 1,");
    return report.substr(from, report.find("---- Player 2,") - from);
}

// Player 1 of team 1, of the type under test, drops a bomb on (0, 0) and walks to (1, 1) by (1, 0), out of the
// cross. Team mate 2 walks down to (0, range) and is hit; team mate 3 walks right to (range + 1, 0) and is not.
TEST(LanguageDoc, TypeTableAgreesWithTheGame) {
    const std::vector<TypeRow> rows = typeTable();
    ASSERT_EQ(rows.size(), 7u);
    for (const TypeRow& type : rows) {
        SCOPED_TRACE(type.name);
        std::string capitalised = type.name;
        for (size_t k = 1; k < capitalised.size(); ++k)
            capitalised[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(capitalised[k])));
        std::string team = "P1 " + capitalised + "\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n"
                           "P1.DROP\nP1.LEFT\nP1.MOVE 1\nP1.RIGHT\nP1.MOVE 1\nP3.LEFT\nP3.MOVE " +
                           std::to_string(type.blast_range) + "\n";
        if (type.blast_range > 1) team += "P2.MOVE " + std::to_string(type.blast_range - 1) + "\n";
        const int t = type.ticks_per_cell;
        fwtest::TempDir keep;
        const Output r = runArena({"--json", keep.file("result.json"), "--status-at", "1", "--status-at",
                                   std::to_string(t), "--status-at", std::to_string(t + 1), "-M", "field.map",
                                   "probe.fpl", "idle.fpl", "idle.fpl", "idle.fpl", "--max-ticks", "1000"},
                                  {{"probe.fpl", team}});
        ASSERT_EQ(r.code, 0) << r.out;
        std::vector<std::string> reports;
        for (size_t at = r.out.find("Printing status information"); at != std::string::npos;) {
            const size_t next = r.out.find("Printing status information", at + 1);
            reports.push_back(firstPlayer(r.out.substr(at, next - at)));
            at = next;
        }
        ASSERT_EQ(reports.size(), 3u) << r.out;
        EXPECT_NE(reports[0].find("max_bombs = " + std::to_string(type.bombs) + ", cur_bombs = " +
                                  std::to_string(type.bombs - 1) + "\n"),
                  std::string::npos)
            << reports[0];
        EXPECT_NE(reports[1].find("current command number 3\n"), std::string::npos) << "still walking at tick " << t;
        EXPECT_NE(reports[2].find("current command number 4\n---- Located at [1.000000, 0.000000]\n"),
                  std::string::npos)
            << "one cell walked in " << t << " ticks:\n" << reports[2];

        const nlohmann::json result = nlohmann::json::parse(fwtest::readFile(keep.file("result.json")));
        const nlohmann::json& players = result["teams"][0]["players"];
        EXPECT_EQ(players[0]["status"], "alive");
        EXPECT_EQ(players[0]["health"], type.health);
        EXPECT_EQ(players[1]["status"], "dead") << "team mate " << type.blast_range << " cells away";
        EXPECT_EQ(players[2]["status"], "alive") << "team mate " << type.blast_range + 1 << " cells away";
        EXPECT_EQ(result["teams"][0]["score"], -1);
    }
}

}  // namespace
