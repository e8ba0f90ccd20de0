// The team compiler: type lines, program lines, C scanning rules, counts as unsigned then float, team names,
// and every refusal with its exact detail lines.
#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <filesystem>

namespace {

const char* const TYPES = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";

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
        return fwtest::captureStdout(compileTeams);
    }
    const Player& player(int p) const { return game.teams[0].players[p]; }

    fwtest::TempDir dir;
};

TEST_F(TeamFileTest, ExampleFile) {
    EXPECT_EQ(compile("# hunters\nP1 CAPTAIN\nP2 Ghost\nP3 HULK\nP4 Safety\nP1.MOVE 3\nP1.LEFT\nP2.DROP\nP1.Wait\n"),
              "");
    EXPECT_EQ(player(0).type, CAPTAIN);
    EXPECT_EQ(player(1).type, GHOST);
    EXPECT_EQ(player(2).type, HULK);
    EXPECT_EQ(player(3).type, SAFETY);
    ASSERT_EQ(player(0).cmd_count, 3u);
    EXPECT_EQ(player(0).commands[0].opcode, MOVE);
    EXPECT_EQ(player(0).commands[0].count, 3.0f);
    EXPECT_EQ(player(0).commands[1].opcode, LEFT);
    EXPECT_EQ(player(0).commands[1].count, 0.0f);
    EXPECT_EQ(player(0).commands[2].opcode, WAIT);
    EXPECT_EQ(player(0).commands[2].count, 1.0f);
    ASSERT_EQ(player(1).cmd_count, 1u);
    EXPECT_EQ(player(1).commands[0].opcode, DROP);
    EXPECT_EQ(player(2).cmd_count, 0u);
}

struct TypeAttributes {
    const char* word;
    uint32_t type;
    int health, step_ticks, blast_range, max_bombs;
};

class TeamFileTypes : public TeamFileTest, public testing::WithParamInterface<TypeAttributes> {};

TEST_P(TeamFileTypes, SetTheirAttributes) {
    const TypeAttributes& a = GetParam();
    compile(std::string("P1 CAPTAIN\nP2 ") + a.word + "\nP3 CAPTAIN\nP4 CAPTAIN\n");
    const Player& p = player(1);
    EXPECT_EQ(p.type, a.type);
    EXPECT_EQ(p.health, a.health);
    EXPECT_EQ(p.step_ticks, a.step_ticks);
    EXPECT_EQ(p.blast_range, a.blast_range);
    EXPECT_EQ(p.max_bombs, a.max_bombs);
    EXPECT_EQ(p.cur_bombs, a.max_bombs);
}

// Both spellings of a keyword are accepted; one of each form is enough to show it.
INSTANTIATE_TEST_SUITE_P(
    Keywords, TeamFileTypes,
    testing::Values(TypeAttributes{"Captain", CAPTAIN, 1, 8, 2, 2}, TypeAttributes{"GHOST", GHOST, 1, 10, 2, 1},
                    TypeAttributes{"Stretcher", STRETCHER, 1, 10, 4, 2}, TypeAttributes{"SAFETY", SAFETY, 1, 8, 1, 1},
                    TypeAttributes{"Sprinter", SPRINTER, 1, 8, 2, 2}, TypeAttributes{"HOARDER", HOARDER, 1, 10, 2, 4},
                    TypeAttributes{"Hulk", HULK, 2, 16, 2, 3}),
    [](const testing::TestParamInfo<TypeAttributes>& info) { return std::string(info.param.word); });

struct CountCase {
    const char* line;
    uint32_t opcode;
    float count;
};

class TeamFileCounts : public TeamFileTest, public testing::WithParamInterface<CountCase> {};

TEST_P(TeamFileCounts, AreScannedAsCIntegersThenStoredAsFloats) {
    const CountCase& c = GetParam();
    EXPECT_EQ(compile(std::string(TYPES) + c.line), "");
    ASSERT_EQ(player(0).cmd_count, 1u);
    EXPECT_EQ(player(0).commands[0].opcode, c.opcode);
    EXPECT_EQ(player(0).commands[0].count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TeamFileCounts,
    testing::Values(CountCase{"P1.MOVE 2\n", MOVE, 2.0f}, CountCase{"P1.Move 2\n", MOVE, 2.0f},
                    CountCase{"P1.MOVE x\n", MOVE, 1.0f},           // the count does not scan: the default
                    CountCase{"P1.MOVE 0x10\n", MOVE, 16.0f},       // hexadecimal
                    CountCase{"P1.MOVE 010\n", MOVE, 8.0f},         // octal
                    CountCase{"P1.MOVE 0\n", MOVE, 0.0f},
                    CountCase{"P1.MOVE\t7 trailing\n", MOVE, 7.0f},
                    CountCase{"P1.WAIT -1\n", WAIT, 4294967296.0f},  // -1 taken as 2^32 - 1, nearest float 2^32
                    CountCase{"P1.WAIT -3\n", WAIT, 4294967296.0f},
                    CountCase{"P1.WAIT 16777217\n", WAIT, 16777216.0f},
                    CountCase{"P1.DROP\r\n", DROP, 0.0f},           // CRLF line end
                    CountCase{"P1.REVERSE", REVERSE, 0.0f},         // no final line end
                    CountCase{"P1.Right\n", RIGHT, 0.0f}));

TEST_F(TeamFileTest, ProgramLinesOfPlayersMayInterleave) {
    compile(std::string(TYPES) + "P2.MOVE 1\nP1.LEFT\n# c\nP2.WAIT 4\nP4.DROP\n");
    EXPECT_EQ(player(0).cmd_count, 1u);
    ASSERT_EQ(player(1).cmd_count, 2u);
    EXPECT_EQ(player(1).commands[1].opcode, WAIT);
    EXPECT_EQ(player(1).commands[1].count, 4.0f);
    EXPECT_EQ(player(2).cmd_count, 0u);
    EXPECT_EQ(player(3).cmd_count, 1u);
}

TEST_F(TeamFileTest, MissingTypeLinesLeaveCaptainsWithoutCommands) {
    compile("P1 GHOST\nP2 HULK\n");
    EXPECT_EQ(player(0).type, GHOST);
    EXPECT_EQ(player(1).type, HULK);
    EXPECT_EQ(player(2).type, CAPTAIN);
    EXPECT_EQ(player(3).max_bombs, 2);
    compile("# nothing but a comment\n");
    for (int p = 0; p < 4; ++p) EXPECT_EQ(player(p).cmd_count, 0u);
}

TEST_F(TeamFileTest, ABlankInTheFormatMatchesNoWhiteSpaceToo) {
    compile("P1GHOST\nP2   HULK\nP3\tSafety\nP4 Hoarder\n");
    EXPECT_EQ(player(0).type, GHOST);
    EXPECT_EQ(player(1).type, HULK);
    EXPECT_EQ(player(2).type, SAFETY);
}

TEST_F(TeamFileTest, RecompilingAfterSetupDoesNotKeepOldCommands) {
    compile(std::string(TYPES) + "P1.MOVE 1\nP1.MOVE 2\n");
    initGame();
    EXPECT_EQ(player(0).cmd_count, 0u);
    compile(std::string(TYPES) + "P1.WAIT 3\n");
    ASSERT_EQ(player(0).cmd_count, 1u);
    EXPECT_EQ(player(0).commands.size(), 1u);
    EXPECT_EQ(player(0).commands[0].opcode, WAIT);
}

TEST_F(TeamFileTest, TeamNameDropsTheLastFourCharacters) {
    // Relative names, as users type them; names of four characters or fewer are kept whole.
    const std::filesystem::path old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::string long_name;  // over 255 characters, through nested directories
    for (int i = 0; i < 60; ++i) long_name += "dir" + std::to_string(i % 10) + "/";
    long_name += "team";
    struct Name {
        std::string file;
        std::string name;
    };
    for (const Name& n : {Name{"red.fpl", "red"}, Name{"sub/red.fpl", "sub/red"}, Name{"x.fpl", "x"},
                          Name{"abc", "abc"}, Name{".fpl", ".fpl"}, Name{long_name + ".fpl", long_name}}) {
        dir.write(n.file, TYPES);
        config.team_file.fill(n.file);
        fwtest::captureStdout(compileTeams);
        EXPECT_EQ(game.teams[3].name, n.name);
    }
    std::filesystem::current_path(old_cwd);
}

TEST_F(TeamFileTest, DebugLevelTwoAnnouncesEachFile) {
    config.debug_level = 2;
    const std::string out = compile(TYPES);
    std::string expected;
    for (int t = 0; t < 4; ++t) expected += "Compiling team file " + config.team_file[t] + "\n";
    EXPECT_EQ(out, expected);
}

using TeamFileDeathTest = TeamFileTest;

TEST_F(TeamFileDeathTest, RefusedLinesReportFileLineAndReason) {
    struct Refusal {
        std::string content;
        int line;
        std::string message;
    };
    const std::string long_word(16, 'A');
    const std::vector<Refusal> refusals = {
        {"P1 CAPTAIN\nP1.MOVE\n", 2, "Invalid player type specification\n"},
        {"P2 CAPTAIN\nP1 CAPTAIN\n", 1, "Invalid player type specification\n"},
        {"# c\nP1 Captainx\n", 2, "Invalid player type specification\n"},
        {"P1 captain\n", 1, "Invalid player type specification\n"},
        {"P1\n", 1, "Invalid player type specification\n"},
        {"P1 " + long_word + "\n", 1, "Invalid player type specification\n"},
        {"P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP5 HULK\n", 5, "Invalid move type specification\n"},
        {std::string(TYPES) + "\nMOVE 3\n", 6, "Invalid move type specification\n"},
        {std::string(TYPES) + "P08.MOVE\n", 5, "Invalid move type specification\n"},
        {std::string(TYPES) + "P1 MOVE\n", 5, "Invalid move type specification\n"},
        {std::string(TYPES) + "P1.move\n", 5, "Command move not recognized\n"},
        {std::string(TYPES) + "P1.MOVE3\n", 5, "Command MOVE3 not recognized\n"},
        {std::string(TYPES) + "P1." + long_word + " 2\n", 5, "Command " + long_word + " not recognized\n"},
        {std::string(TYPES) + "P5.MOVE\n", 5, "Team specifier P5 is invalid\n"},
        {std::string(TYPES) + "P0.MOVE\n", 5, "Team specifier P0 is invalid\n"},
        {std::string(TYPES) + "P-1.MOVE\n", 5, "Team specifier P-1 is invalid\n"},
        {std::string(TYPES) + "P0x7fffffff.WAIT\n", 5, "Team specifier P2147483647 is invalid\n"},
        {std::string(TYPES) + "P1.LEFT 2\n", 5, "Command \"LEFT\" requires no modifier\n"},
        {std::string(TYPES) + "P1.Right 0\n", 5, "Command \"RIGHT\" requires no modifier\n"},
        {std::string(TYPES) + "P1.REVERSE -1\n", 5, "Command \"REVERSE\" requires no modifier\n"},
        {std::string(TYPES) + "P1.Drop 1\n", 5, "Command \"DROP\" requires no modifier\n"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.content);
        config.team_file.fill(dir.write("bad.fpl", r.content));
        EXPECT_RAISES(compileTeams(), 6,
                      "Error compiling " + config.team_file[0] + ", line " + std::to_string(r.line) + "\n" +
                          r.message);
    }
}

TEST_F(TeamFileDeathTest, AMissingLaterFileIsFoundAfterTheEarlierTeams) {
    config.debug_level = 2;
    const std::string good = dir.write("good.fpl", TYPES);
    config.team_file = {good, good, dir.file("absent.fpl"), good};
    EXPECT_RAISES(compileTeams(), 3,
                  "Compiling team file " + good + "\nCompiling team file " + good + "\nCompiling team file " +
                      config.team_file[2] + "\n");
}

}  // namespace
