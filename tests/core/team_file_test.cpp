// The team compiler: type lines, program lines, C scanning rules, counts as unsigned then float, team names,
// and every refusal with its exact detail lines.
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <sstream>

namespace {

const std::string TYPES = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";

class TeamFileTest : public testing::Test {
protected:
    void SetUp() override {
        fwtest::resetGlobals();
        game.width = 6;
        game.height = 5;
        initGame();
    }

    // Compiles `content` as the file of all four teams and returns what was printed.
    std::string compile(const std::string& content, const std::string& name = "t.fpl") {
        config.team_file.fill(dir.write(name, content));
        return fwtest::captureStdout([] { compileTeams(); });
    }
    const Player& player(int p) const { return game.teams[0].players[p]; }

    // A player's type and program as "type:opcode/count,opcode/count".
    std::string summary(int p) const {
        std::ostringstream s;
        s << player(p).type << ":";
        for (uint32_t i = 0; i < player(p).cmd_count; ++i)
            s << (i ? "," : "") << player(p).commands[i].opcode << "/" << player(p).commands[i].count;
        return s.str();
    }

    fwtest::TempDir dir;
};

TEST_F(TeamFileTest, TypeAndProgramLinesOfInterleavedPlayers) {
    EXPECT_EQ(compile("# hunters\nP1 CAPTAIN\nP2 Ghost\n\nP3 HULK\nP4 Safety\nP1.MOVE 3\nP1.LEFT\nP2.DROP\n"
                      "# c\nP1.Wait\nP4.Right\nP2.REVERSE"),
              "");
    EXPECT_EQ(summary(0), "0:3/3,0/0,5/1");
    EXPECT_EQ(summary(1), "1:4/0,2/0");
    EXPECT_EQ(summary(2), "6:");
    EXPECT_EQ(summary(3), "3:1/0");
}

TEST_F(TeamFileTest, EachTypeSetsItsAttributes) {
    struct Attributes {
        const char* word;  // both spellings are keywords; the table mixes them
        uint32_t type;
        int health, step_ticks, blast_range, max_bombs;
    };
    for (const Attributes a : {Attributes{"Captain", CAPTAIN, 1, 8, 2, 2}, Attributes{"GHOST", GHOST, 1, 10, 2, 1},
                               Attributes{"Stretcher", STRETCHER, 1, 10, 4, 2},
                               Attributes{"SAFETY", SAFETY, 1, 8, 1, 1}, Attributes{"Sprinter", SPRINTER, 1, 8, 2, 2},
                               Attributes{"HOARDER", HOARDER, 1, 10, 2, 4}, Attributes{"Hulk", HULK, 2, 16, 2, 3}}) {
        initGame();
        compile(std::string("P1 CAPTAIN\nP2 ") + a.word + "\n");
        const Player& p = player(1);
        EXPECT_EQ(std::make_tuple(p.type, int{p.health}, int{p.step_ticks}, int{p.blast_range}, int{p.max_bombs},
                                  int{p.cur_bombs}),
                  std::make_tuple(a.type, a.health, a.step_ticks, a.blast_range, a.max_bombs, a.max_bombs))
            << a.word;
        EXPECT_EQ(summary(2), "0:") << "players without a type line stay captains";
    }
}

TEST_F(TeamFileTest, CountsAreScannedAsCIntegersThenStoredAsFloats) {
    struct CountCase {
        const char* line;
        const char* program;
    };
    for (const CountCase c : {
             CountCase{"P1.Move 2\n", "0:3/2"},
             CountCase{"P1.MOVE x\n", "0:3/1"},    // the count does not scan: the default
             CountCase{"P1.MOVE 0x10\n", "0:3/16"},  // hexadecimal
             CountCase{"P1.MOVE 010\n", "0:3/8"},    // octal
             CountCase{"P1.MOVE\t7 trailing\n", "0:3/7"},
             CountCase{"P1.WAIT -1\n", "0:5/4.29497e+09"},  // 2^32 - 1 as unsigned, nearest float 2^32
             CountCase{"P1.DROP\r\n", "0:4/0"},              // CRLF line end
         }) {
        initGame();
        EXPECT_EQ(compile(TYPES + c.line), "");
        EXPECT_EQ(summary(0), c.program) << c.line;
    }
    initGame();
    compile("P1GHOST\nP2   HULK\n");  // a blank in the format matches no white space too
    EXPECT_EQ(summary(0) + summary(1), "1:6:");
    initGame();
    compile(TYPES + "P1.WAIT -1\nP1.WAIT 16777217\n");
    EXPECT_EQ(player(0).commands[0].count, 4294967296.0f);
    EXPECT_EQ(player(0).commands[1].count, 16777216.0f);
}

TEST_F(TeamFileTest, RecompilingAfterSetupDoesNotKeepOldCommands) {
    compile(TYPES + "P1.MOVE 1\nP1.MOVE 2\n");
    initGame();
    compile(TYPES + "P1.WAIT 3\n");
    EXPECT_EQ(summary(0), "0:5/3");
    EXPECT_EQ(player(0).commands.size(), 1u);
}

TEST_F(TeamFileTest, TeamNameDropsTheLastFourCharacters) {
    // Relative names, as users type them; names of four characters or fewer are kept whole.
    const fwtest::WorkingDirectory cwd(dir.path());
    std::string long_name;  // over 255 characters, through nested directories
    for (int i = 0; i < 60; ++i) long_name += "dir" + std::to_string(i % 10) + "/";
    long_name += "team";
    for (const auto& [file, name] : std::vector<std::pair<std::string, std::string>>{
             {"red.fpl", "red"}, {"sub/red.fpl", "sub/red"}, {"abc", "abc"}, {".fpl", ".fpl"},
             {long_name + ".fpl", long_name}}) {
        dir.write(file, TYPES);
        config.team_file.fill(file);
        fwtest::captureStdout([] { compileTeams(); });
        EXPECT_EQ(game.teams[3].name, name);
    }
}

struct Refusal {
    const char* name;
    std::string content;
    int line;
    std::string message;
};

class TeamFileRefusalDeathTest : public TeamFileTest, public testing::WithParamInterface<Refusal> {};

TEST_P(TeamFileRefusalDeathTest, ReportsFileLineAndReason) {
    const Refusal& r = GetParam();
    config.team_file.fill(dir.write("bad.fpl", r.content));
    EXPECT_RAISES(compileTeams(), 6,
                  "Error compiling " + config.team_file[0] + ", line " + std::to_string(r.line) + "\n" + r.message);
}

const std::string LONG_WORD(16, 'A');
const std::string BAD_TYPE = "Invalid player type specification\n";
const std::string BAD_COMMAND = "Invalid move type specification\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, TeamFileRefusalDeathTest,
    testing::Values(
        Refusal{"ProgramLineBeforeFourTypes", "P1 CAPTAIN\nP1.MOVE\n", 2, BAD_TYPE},
        Refusal{"TypesOutOfOrder", "P2 CAPTAIN\nP1 CAPTAIN\n", 1, BAD_TYPE},
        Refusal{"TypeWordWithSuffix", "# c\nP1 Captainx\n", 2, BAD_TYPE},
        Refusal{"LowerCaseType", "P1 captain\n", 1, BAD_TYPE},
        Refusal{"NoType", "P1\n", 1, BAD_TYPE},
        Refusal{"TypeWordTooLong", "P1 " + LONG_WORD + "\n", 1, BAD_TYPE},
        Refusal{"FifthTypeLine", TYPES + "P5 HULK\n", 5, BAD_COMMAND},
        Refusal{"NoPlayer", TYPES + "\nMOVE 3\n", 6, BAD_COMMAND},
        Refusal{"BadOctalPlayer", TYPES + "P08.MOVE\n", 5, BAD_COMMAND},
        Refusal{"LowerCaseCommand", TYPES + "P1.move\n", 5, "Command move not recognized\n"},
        Refusal{"CountWithoutBlank", TYPES + "P1.MOVE3\n", 5, "Command MOVE3 not recognized\n"},
        Refusal{"CommandWordTooLong", TYPES + "P1." + LONG_WORD + " 2\n", 5,
                "Command " + LONG_WORD + " not recognized\n"},
        Refusal{"PlayerFive", TYPES + "P5.MOVE\n", 5, "Team specifier P5 is invalid\n"},
        Refusal{"PlayerZero", TYPES + "P0.MOVE\n", 5, "Team specifier P0 is invalid\n"},
        Refusal{"NegativePlayer", TYPES + "P-1.MOVE\n", 5, "Team specifier P-1 is invalid\n"},
        Refusal{"LeftWithCount", TYPES + "P1.LEFT 2\n", 5, "Command \"LEFT\" requires no modifier\n"},
        Refusal{"RightWithZero", TYPES + "P1.Right 0\n", 5, "Command \"RIGHT\" requires no modifier\n"},
        Refusal{"ReverseWithNegative", TYPES + "P1.REVERSE -1\n", 5,
                "Command \"REVERSE\" requires no modifier\n"},
        Refusal{"DropWithCount", TYPES + "P1.Drop 1\n", 5, "Command \"DROP\" requires no modifier\n"}),
    fwtest::caseName);

using TeamFileDeathTest = TeamFileTest;

TEST_F(TeamFileDeathTest, AMissingLaterFileIsFoundAfterTheEarlierTeams) {
    config.debug_level = 2;
    const std::string good = dir.write("good.fpl", TYPES);
    config.team_file = {good, good, dir.file("absent.fpl"), good};
    EXPECT_RAISES(compileTeams(), 3,
                  "Compiling team file " + good + "\nCompiling team file " + good + "\nCompiling team file " +
                      config.team_file[2] + "\n");
}

}  // namespace
