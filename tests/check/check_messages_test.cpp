// The checker's diagnostics, file by file: each fault a writer makes with the game's message, the place and the
// explanation; reading on after the first fault; and each class of warning with a file that has it and a near one
// that is clean.
#include "check/check.h"
#include "support/test_support.h"

namespace {

using check::Diagnostic;
using check::Severity;

const std::string TYPES = "P1 CAPTAIN\nP2 GHOST\nP3 HULK\nP4 SAFETY\n";
const std::string CAPTAINS = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
const std::string BUSY = "P2.MOVE\nP3.MOVE\nP4.MOVE\n";  // players 2 to 4 have a command each

std::vector<Diagnostic> team(const std::string& text, const std::string& path = "red.fpl") {
    return check::checkTeamFile(SourceFile{path, text});
}

std::vector<Diagnostic> map(const std::string& text) { return check::checkMapFile(SourceFile{"arena.map", text}); }

std::vector<Diagnostic> ofSeverity(const std::vector<Diagnostic>& all, Severity severity) {
    std::vector<Diagnostic> some;
    for (const Diagnostic& d : all)
        if (d.severity == severity) some.push_back(d);
    return some;
}

std::string listed(const std::vector<Diagnostic>& all) { return check::formatText(all); }

// [SECTION] Errors

struct ErrorCase {
    const char* mistake;
    std::string text;
    int line, column;
    const char* game_message;  // the game's words, which the message starts with
    const char* explanation;   // a piece of the checker's words
    const char* hint;          // a piece of the hint
};

TEST(CheckErrors, EachMistakeGetsTheGamesMessageAtItsPlaceWithTheReasonAndAHint) {
    const char* const BAD_TYPE = "Invalid player type specification: ";
    const char* const BAD_LINE = "Invalid move type specification: ";
    const std::string long_comment = "#" + std::string(260, 'x') + "\n";
    for (const ErrorCase& c : {
             ErrorCase{"misspelt type", "P1 CAPTIAN\nP2 GHOST\nP3 HULK\nP4 SAFETY\n", 1, 4, BAD_TYPE,
                       "\"CAPTIAN\" is not a player type",
                       "did you mean CAPTAIN? The types are CAPTAIN, GHOST, STRETCHER, SAFETY, SPRINTER, HOARDER, HULK"},
             // Suggestions whatever the case of the misspelt word.
             ErrorCase{"misspelt type in lower case", "P1 captian\nP2 GHOST\nP3 HULK\nP4 SAFETY\n", 1, 4, BAD_TYPE,
                       "\"captian\" is not a player type", "did you mean CAPTAIN?"},
             ErrorCase{"misspelt type capitalised", "P1 Hlk\n", 1, 4, BAD_TYPE, "\"Hlk\" is not a player type",
                       "did you mean HULK?"},
             ErrorCase{"misspelt command in lower case", TYPES + "P1.dorp\n", 5, 4, "Command dorp not recognized: ",
                       "\"dorp\" is not a command", "did you mean DROP?"},
             ErrorCase{"misspelt command capitalised", TYPES + "P1.Mvoe 2\n", 5, 4, "Command Mvoe not recognized: ",
                       "\"Mvoe\" is not a command", "did you mean MOVE?"},
             ErrorCase{"type in lower case", "P1 hulk\n", 1, 4, BAD_TYPE, "Hulk or HULK", "write HULK"},
             ErrorCase{"a command for a type", "P1 MOVE\n", 1, 4, BAD_TYPE, "is a command, not a player type",
                       "the types are"},
             ErrorCase{"no type word", "P1\n", 1, 3, BAD_TYPE, "the type is missing after P1", "P1 CAPTAIN"},
             ErrorCase{"three type lines", "P1 CAPTAIN\nP2 GHOST\nP3 HULK\nP1.MOVE 3\n", 4, 1, BAD_TYPE,
                       "only 3 type lines come before it: the type line of player 4 is missing",
                       "add the type line P4 CAPTAIN before this line"},
             ErrorCase{"types out of order", "P2 GHOST\nP1 CAPTAIN\n", 1, 2, BAD_TYPE,
                       "the type line of player 1 is missing", "add P1 CAPTAIN"},
             ErrorCase{"byte-order mark", "\xEF\xBB\xBF" + TYPES, 1, 1, BAD_TYPE, "byte-order mark",
                       "without a byte-order mark"},
             ErrorCase{"lower-case p", "p1 CAPTAIN\n", 1, 1, BAD_TYPE, "capital P", "write P1"},
             ErrorCase{"missing dot", TYPES + "P1MOVE 3\n", 5, 3, BAD_LINE, "the dot is missing between P1 and \"MOVE\"",
                       "write P1.MOVE"},
             ErrorCase{"blank for a dot", TYPES + "P1 MOVE 3\n", 5, 3, BAD_LINE, "the dot is missing", "write P1.MOVE"},
             ErrorCase{"indented line", TYPES + "  P1.MOVE 3\n", 5, 1, BAD_LINE, "the line is indented",
                       "remove the blanks"},
             ErrorCase{"indented comment", TYPES + "  # go\n", 5, 3, BAD_LINE, "a comment starts with # in the first column",
                       "first column"},
             ErrorCase{"line of blanks", TYPES + " \t \n", 5, 1, BAD_LINE, "only blanks", "delete the blanks"},
             ErrorCase{"no player", TYPES + "MOVE 3\n", 5, 1, BAD_LINE, "the player is missing", "P1.MOVE"},
             ErrorCase{"fifth type line", TYPES + "P5 HULK\n", 5, 2, BAD_LINE, "there are only four players", ""},
             ErrorCase{"no command", TYPES + "P1.\n", 5, 4, BAD_LINE, "the command is missing", "the commands are"},
             ErrorCase{"player 5", TYPES + "P5.MOVE\n", 5, 2, "Team specifier P5 is invalid: ", "numbered 1 to 4",
                       "P1 to P4"},
             ErrorCase{"lower-case command", TYPES + "P1.move 3\n", 5, 4, "Command move not recognized: ",
                       "keywords are written capitalised or in capitals, Move or MOVE", "write MOVE"},
             ErrorCase{"swapped letters", TYPES + "P1.DORP\n", 5, 4, "Command DORP not recognized: ",
                       "\"DORP\" is not a command", "did you mean DROP?"},
             ErrorCase{"count without a blank", TYPES + "P1.MOVE3\n", 5, 8, "Command MOVE3 not recognized: ",
                       "a blank must separate MOVE from what follows", "write MOVE 3"},
             ErrorCase{"a type for a command", TYPES + "P1.HULK\n", 5, 4, "Command HULK not recognized: ",
                       "is a player type, not a command", "the commands are"},
             ErrorCase{"count for DROP", TYPES + "P1.DROP 3\n", 5, 9, "Command \"DROP\" requires no modifier: ",
                       "DROP takes no count", "write P1.DROP"},
             ErrorCase{"rest of a long line", TYPES + long_comment, 6, 1, BAD_LINE,
                       "this is the rest of line 5, which is longer than 255 characters", "shorten line 5"},
         }) {
        const std::vector<Diagnostic> errors = ofSeverity(team(c.text), Severity::Error);
        ASSERT_FALSE(errors.empty()) << c.mistake;
        const Diagnostic& e = errors.front();
        EXPECT_EQ(std::make_pair(e.line, e.column), std::make_pair(c.line, c.column)) << c.mistake;
        EXPECT_TRUE(e.message.starts_with(c.game_message)) << c.mistake << ": " << e.message;
        EXPECT_NE(e.message.find(c.explanation), std::string::npos) << c.mistake << ": " << e.message;
        EXPECT_NE(e.hint.find(c.hint), std::string::npos) << c.mistake << ": " << e.hint;
    }
}

TEST(CheckErrors, AFileTheGameCannotOpenIsAnErrorWithItsExitCode) {
    fwtest::TempDir dir;
    const std::vector<std::pair<std::vector<Diagnostic>, const char*>> cases = {
        {check::checkTeamFile(SourceFile{dir.file("none.fpl"), std::nullopt}),
         "Error: .fpl player file not found: there is no such file (the game ends with exit code 3)"},
        {check::checkTeamFile(SourceFile{dir.path(), std::nullopt}),
         "Error: .fpl player file not found: this is a folder, not a team file (the game ends with exit code 3)"},
        {check::checkMapFile(SourceFile{dir.path(), std::nullopt}),
         "Error: .map map file not found: this is a folder, not a map file (the game ends with exit code 4)"},
    };
    for (const auto& [found, message] : cases) {
        ASSERT_EQ(found.size(), 1u) << message;
        EXPECT_EQ(found[0].message, message);
        EXPECT_EQ(std::make_pair(found[0].line, found[0].column), std::make_pair(1, 1));
    }
}

// After the first fault the checker mends or skips the line and reads on; the later faults are marked as likely
// ones, and a mended line counts as the game would read it mended.
TEST(CheckErrors, ReadingGoesOnAfterTheFirstFault) {
    const std::vector<Diagnostic> found = team("\xEF\xBB\xBFP1 CAPTAIN\nP2 ghost\nP3 HULK\nP4 SAFETY\nP1.DORP\n"
                                               "P2.MOVE 3\nP5.MOVE\nP3.DROP 2\nP4 .MOVE\n");
    std::vector<std::pair<int, bool>> errors;  // line, marked likely
    for (const Diagnostic& d : ofSeverity(found, Severity::Error))
        errors.emplace_back(d.line, d.message.find("(likely: the game stops on line 1 before this one)") != std::string::npos);
    EXPECT_EQ(errors, (std::vector<std::pair<int, bool>>{{1, false}, {2, true}, {5, true}, {7, true}, {8, true},
                                                         {9, true}}))
        << listed(found);

    // Three type lines and then the program: one error, not one for every program line.
    EXPECT_EQ(ofSeverity(team("P1 CAPTAIN\nP2 GHOST\nP3 HULK\nP1.MOVE 3\nP2.MOVE 1\nP3.DROP\nP4.MOVE\n"),
                         Severity::Error).size(),
              1u);
    // Two problems of one line: the second is found once the first is mended.
    const std::vector<Diagnostic> both = ofSeverity(team(TYPES + "p1.move\n"), Severity::Error);
    ASSERT_EQ(both.size(), 2u) << listed(both);
    EXPECT_TRUE(both[1].message.starts_with("Command move not recognized: ")) << both[1].message;
    EXPECT_NE(both[1].message.find("once the problem before it on this line is mended"), std::string::npos);
}

// [SECTION] Warnings

struct WarningCase {
    const char* what;
    std::string has;    // a file with the warning
    std::string lacks;  // a near file that is clean
    int line, column;   // where the warning stands in `has`
    const char* words;  // a piece of its message
    std::string path = "red.fpl";
    std::string clean_path = "red.fpl";
};

TEST(CheckWarnings, EachTeamFileWarningHasAFileWithItAndANearCleanOne) {
    const std::string ghost = "P1 GHOST\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
    const std::string comment = "#" + std::string(254, 'x');
    for (const WarningCase& c : std::vector<WarningCase>{
             {"empty file", "", CAPTAINS + "P1.MOVE\n" + BUSY, 1, 1, "no type lines and no commands"},
             {"two type lines", "P1 GHOST\nP2 HULK\n", CAPTAINS + "P1.MOVE\n" + BUSY, 2, 1,
              "the file ends after 2 type lines: players 3 to 4 play as CAPTAINs"},
             {"no commands", CAPTAINS, CAPTAINS + "P1.MOVE\n" + BUSY, 4, 1, "the file has no commands"},
             {"idle player", CAPTAINS + BUSY, CAPTAINS + "P1.MOVE\n" + BUSY, 1, 1, "player 1 has no commands"},
             {"count in words", CAPTAINS + "P1.MOVE three\n" + BUSY, CAPTAINS + "P1.MOVE 3\n" + BUSY, 5, 9,
              "the count \"three\" is not a number: the game reads MOVE without a count, as MOVE 1"},
             {"negative count", CAPTAINS + "P1.MOVE -3\n" + BUSY, CAPTAINS + "P1.MOVE 3\n" + BUSY, 5, 9,
              "the count -3 is read as 4294967293 (counts are taken as unsigned), and a MOVE that long never ends"},
             {"count beyond 32 bits", CAPTAINS + "P1.WAIT 99999999999\n" + BUSY, CAPTAINS + "P1.WAIT 9\n" + BUSY, 5,
              9, "the count 99999999999 does not fit in 32 bits and is read as 1215752191"},
             {"octal count", CAPTAINS + "P1.MOVE 010\n" + BUSY, CAPTAINS + "P1.MOVE 0x10\n" + BUSY, 5, 9,
              "the count 010 is read as 8 (a leading 0 makes a number octal)"},
             {"0x alone", CAPTAINS + "P1.WAIT 0x\n" + BUSY, CAPTAINS + "P1.WAIT 0x1\n" + BUSY, 5, 9,
              "the count 0x is read as 0"},
             {"second count", CAPTAINS + "P1.MOVE 3 4\n" + BUSY, CAPTAINS + "P1.MOVE 3\n" + BUSY, 5, 11,
              "the text after the count is ignored: \"4\""},
             {"comment after a count", CAPTAINS + "P1.MOVE 3 # go\n" + BUSY, CAPTAINS + "# go\nP1.MOVE 3\n" + BUSY,
              5, 11, "the text after the count is ignored: \"# go\""},
             {"text after DROP", CAPTAINS + "P1.DROP now\n" + BUSY, CAPTAINS + "P1.DROP\n" + BUSY, 5, 9,
              "the text after DROP is ignored: \"now\""},
             {"text after a type", "P1 CAPTAIN boss\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.MOVE\n" + BUSY,
              CAPTAINS + "P1.MOVE\n" + BUSY, 1, 12, "the text after the type is ignored: \"boss\""},
             {"carriage returns alone", "P1 CAPTAIN\rP2 CAPTAIN\rP3 CAPTAIN\rP4 CAPTAIN\rP1.MOVE\r",
              "P1 CAPTAIN\r\nP2 CAPTAIN\r\nP3 CAPTAIN\r\nP4 CAPTAIN\r\nP1.MOVE\r\n" + BUSY, 1, 12,
              "carriage returns that end no line"},
             {"MOVE 0", CAPTAINS + "P1.MOVE 0\n" + BUSY, CAPTAINS + "P1.MOVE 1\n" + BUSY, 5, 9,
              "MOVE 0 never ends"},
             {"after a WAIT 0", CAPTAINS + "P1.WAIT 0\nP1.MOVE\n" + BUSY, CAPTAINS + "P1.MOVE\nP1.WAIT 0\n" + BUSY,
              6, 4, "this command is never reached: WAIT 0 on line 5 never ends"},
             {"stuck count", CAPTAINS + "P1.WAIT 3000000\nP1.MOVE\n" + BUSY,
              CAPTAINS + "P1.MOVE\nP1.WAIT 3000000\n" + BUSY, 5, 9, "a WAIT of 3000000 never ends"},
             {"endless MOVE", CAPTAINS + "P1.MOVE 200000\n" + BUSY, CAPTAINS + "P1.MOVE 100000\n" + BUSY, 5, 9,
              "a MOVE of 200000 lasts 1600000 ticks"},
             {"ghost waits for its bomb", ghost + "P1.DROP\nP1.WAIT 18\nP1.DROP\n" + BUSY,
              ghost + "P1.DROP\nP1.WAIT 19\nP1.DROP\n" + BUSY, 7, 4,
              "this DROP waits 5 ticks for a bomb: a GHOST has one"},
             {"rest of a long line", CAPTAINS + comment + "P1.MOVE\n" + BUSY, CAPTAINS + comment + "\nP1.MOVE\n" + BUSY,
              6, 1, "this is the rest of line 5, which is longer than 255 characters"},
             {"folder in the name", CAPTAINS + "P1.MOVE\n" + BUSY, CAPTAINS + "P1.MOVE\n" + BUSY, 1, 1,
              "the scoreboard shows this team as \"TEAMS RE\"", "teams/red.fpl", "red.fpl"},
             {"digits in the name", CAPTAINS + "P1.MOVE\n" + BUSY, CAPTAINS + "P1.MOVE\n" + BUSY, 1, 1,
              "the scoreboard shows this team as \"TEAM\"", "team2.fpl", "red_team.fpl"},
             {"not a .fpl file", CAPTAINS + "P1.MOVE\n" + BUSY, CAPTAINS + "P1.MOVE\n" + BUSY, 1, 1,
              "the team's name is \"m\"", "mytea", "team.txt"},
             {"long name", CAPTAINS + "P1.MOVE\n" + BUSY, CAPTAINS + "P1.MOVE\n" + BUSY, 1, 1,
              "shows this team as \"SAPPERSA\"", "sappersabc.fpl", "ab"},
         }) {
        const std::vector<Diagnostic> has = team(c.has, c.path);
        EXPECT_TRUE(ofSeverity(has, Severity::Error).empty()) << c.what << "\n" << listed(has);
        EXPECT_TRUE(std::any_of(has.begin(), has.end(), [&c](const Diagnostic& d) {
            return d.line == c.line && d.column == c.column && d.message.find(c.words) != std::string::npos;
        })) << c.what << "\n" << listed(has);
        EXPECT_EQ(listed(team(c.lacks, c.clean_path)), "") << c.what;
    }
}

// A team in a folder shows under the folder's name: a note, which never fails a check; a warning only when two
// files checked together would show the same name.
TEST(CheckNotes, AFolderInTheNameIsANoteUnlessTwoTeamsLookAlike) {
    const std::vector<Diagnostic> folder = team(CAPTAINS + "P1.MOVE\n" + BUSY, "teams/red.fpl");
    ASSERT_EQ(folder.size(), 1u) << listed(folder);
    EXPECT_EQ(folder[0].severity, Severity::Note);
    EXPECT_FALSE(check::hasWarningsOrErrors(folder));
    EXPECT_TRUE(listed(folder).starts_with("teams/red.fpl:1:1: note: the scoreboard shows this team as \"TEAMS RE\""));
    EXPECT_EQ(check::formatJson(folder).find("\"severity\": \"note\"") != std::string::npos, true);

    const std::vector<Diagnostic> alike = check::sharedScoreboardNames({"contest/red.fpl", "contest/blue.fpl", "red.fpl"});
    ASSERT_EQ(alike.size(), 2u) << listed(alike);
    EXPECT_EQ(alike[0].file, "contest/red.fpl");
    EXPECT_EQ(alike[0].severity, Severity::Warning);
    EXPECT_EQ(alike[0].message, "the scoreboard shows this team as \"CONTEST\", as it shows contest/blue.fpl");
    EXPECT_EQ(alike[1].file, "contest/blue.fpl");
    EXPECT_TRUE(check::sharedScoreboardNames({"teams/red.fpl", "teams/blue.fpl", "teams/red.fpl"}).empty());
}

TEST(CheckWarnings, DropsOfTypesWithMoreBombsAreTheirOwnBusiness) {
    EXPECT_EQ(listed(team(CAPTAINS + "P1.DROP\nP1.DROP\nP1.DROP\n" + BUSY)), "");
}

TEST(CheckWarnings, EachMapWarningHasAMapWithItAndANearCleanOne) {
    const auto rows = [](int n, const std::string& row = "--------") {
        std::string text;
        for (int i = 0; i < n; ++i) text += row + "\n";
        return text;
    };
    const std::string clean = "8, 8\n" + rows(8);
    const auto with_row = [&rows](const std::string& row) { return "8, 8\n" + rows(2) + row + "\n" + rows(5); };
    for (const WarningCase& c : std::vector<WarningCase>{
             {"surplus row", clean + "--------\n", clean + "# --------\n", 10, 1,
              "Expected 8 valid rows, found 8: the size line says 8 rows, so the game reports and drops this line"},
             {"short row", with_row("-------"), with_row("--------"), 4, 8,
              "row 3 is 7 cells long, and the map is 8 wide: the game fills the last 1 with open ground"},
             {"long row", with_row("--------X"), with_row("-------- "), 4, 9,
              "the game drops the cells from column 9 on"},
             {"row of blanks", with_row("        "), with_row("--------"), 4, 1,
              "this line holds only blanks: the game reads it as row 3"},
             {"lower-case wall", with_row("---x----"), with_row("---X----"), 4, 4, "a lower-case x is open ground"},
             {"other character", with_row("---O----"), with_row("---.----"), 4, 4, "\"O\" is open ground"},
             {"row of # walls", "8, 8\n" + rows(2) + "########\n" + rows(6), "8, 8\n" + rows(2) + "# walls\n" + rows(6),
              4, 1, "skipped as a comment, though it looks like a row"},
             {"wall on a start cell", "8, 8\nX-------\n" + rows(7), "8, 8\n--X-----\n" + rows(7), 2, 1,
              "player 1 of team 1 (the top left corner) starts on a wall"},
             {"few rows", "8, 7\n" + rows(7), clean, 1, 4, "a map of fewer than 8 rows"},
             {"narrow map", "3, 8\n" + rows(8, "---"), "4, 8\n" + rows(8, "----"), 1, 1,
              "the 2 x 2 start blocks of the corners overlap"},
             {"text after the size", "8, 8 arena\n" + rows(8), clean, 1, 6,
              "the text after the height is ignored: \"arena\""},
             {"negative width", "-8, 8\n" + rows(8), clean, 1, 1, "the width -8 is read as 65528"},
             {"wide map", "300, 8\n" + rows(8), clean, 1, 1, "a row line holds at most 255 characters"},
         }) {
        const std::vector<Diagnostic> has = map(c.has);
        EXPECT_TRUE(ofSeverity(has, Severity::Error).empty()) << c.what << "\n" << listed(has);
        EXPECT_TRUE(std::any_of(has.begin(), has.end(), [&c](const Diagnostic& d) {
            return d.line == c.line && d.column == c.column && d.message.find(c.words) != std::string::npos;
        })) << c.what << "\n" << listed(has);
        EXPECT_EQ(listed(map(c.lacks)), "") << c.what;
    }
}

TEST(CheckErrors, MapFaultsGetTheGamesMessageWithTheReason) {
    struct MapError {
        std::string text;
        int line, column;
        const char* message;
    };
    for (const MapError& c : {
             MapError{"8 , 8\n", 1, 2, "Invalid grid width and height specification: the comma must follow the width"},
             MapError{"8x8\n", 1, 2, "Invalid grid width and height specification: a comma must follow the width"},
             MapError{"--------\n", 1, 1, "Invalid grid width and height specification: the size line is missing"},
             MapError{"\xEF\xBB\xBF" "2, 2\n--\n--\n", 1, 1, "Invalid grid width and height specification: the line "
                                                            "starts with a byte-order mark"},
             MapError{"# only a comment\n", 1, 1, "No line gives the grid width and height: the file holds only "
                                                  "comments and empty lines"},
             MapError{"1, 5\n", 1, 1, "Grid of 1 x 5 cells is too small (at least 2 x 2)"},
             MapError{"4, 3\n----\n\n# c\n----\n", 1, 4, "Only 2 valid rows detected (expected 3): the size line says "
                                                         "3 rows, and 2 row lines follow"},
         }) {
        const std::vector<Diagnostic> errors = ofSeverity(map(c.text), Severity::Error);
        ASSERT_FALSE(errors.empty()) << c.text;
        EXPECT_EQ(std::make_pair(errors[0].line, errors[0].column), std::make_pair(c.line, c.column)) << c.text;
        EXPECT_TRUE(errors[0].message.starts_with(c.message)) << errors[0].message;
    }
}

}  // namespace
