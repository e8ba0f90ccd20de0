// team_file.cpp: the team compiler. Four type lines "P<n> <TYPE>" for players 1 to 4 in order, then program lines
// "P<n>.<COMMAND> [count]" in any order of players.
//
// Lines are scanned with the C library's "%i" and "%s" conversions on purpose: "%i" takes octal and hexadecimal,
// a blank in the format matches any white space including none, and text after the last conversion is ignored.
// Counts are read as signed 32-bit, taken as unsigned 32-bit and stored as the nearest float (-1 becomes 2^32).
#include "core/fusewick.h"
#include "core/text_file.h"
#include "core/utils.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// Type and command words have at most 15 characters; a longer word is no keyword.
constexpr size_t MAX_WORD = 15;

// The players' own wording of the two line faults, kept byte for byte because scripts match on it.
constexpr const char* BAD_TYPE_LINE = "Invalid player type specification\n";
constexpr const char* BAD_PROGRAM_LINE = "Invalid move type specification\n";

struct TypeEntry {
    const char* capitalised;
    const char* upper;
    uint32_t code;
    int8_t health;
    uint8_t step_ticks;
    uint8_t blast_range;
    uint8_t max_bombs;
};

constexpr TypeEntry TYPE_TABLE[] = {
    {"Captain", "CAPTAIN", CAPTAIN, 1, 8, 2, 2},
    {"Ghost", "GHOST", GHOST, 1, 10, 2, 1},
    {"Stretcher", "STRETCHER", STRETCHER, 1, 10, 4, 2},
    {"Safety", "SAFETY", SAFETY, 1, 8, 1, 1},
    {"Sprinter", "SPRINTER", SPRINTER, 1, 8, 2, 2},
    {"Hoarder", "HOARDER", HOARDER, 1, 10, 2, 4},
    {"Hulk", "HULK", HULK, 2, 16, 2, 3},
};

struct CommandEntry {
    const char* capitalised;
    const char* upper;
    uint32_t opcode;
    bool takes_count;
};

constexpr CommandEntry COMMAND_TABLE[] = {
    {"Left", "LEFT", LEFT, false},     {"Right", "RIGHT", RIGHT, false}, {"Reverse", "REVERSE", REVERSE, false},
    {"Move", "MOVE", MOVE, true},      {"Drop", "DROP", DROP, false},    {"Wait", "WAIT", WAIT, true},
};

// Keywords match exactly, in their capitalised or upper-case form only.
template <typename Entry, size_t N>
const Entry* lookUp(const Entry (&table)[N], const char* word) {
    if (std::strlen(word) > MAX_WORD) return nullptr;
    for (const Entry& e : table)
        if (std::strcmp(word, e.capitalised) == 0 || std::strcmp(word, e.upper) == 0) return &e;
    return nullptr;
}

[[noreturn]] void refuse(const std::string& file, int line, const char* message) {
    std::printf("Error compiling %s, line %d\n", file.c_str(), line);
    std::printf("%s", message);
    raise_error(EXIT_TEAM_INVALID);
}

// The team's name is its file name without the last four characters (the ".fpl"), directory part kept. A name of
// four characters or fewer has nothing left once cut, so it is kept whole.
std::string teamName(const std::string& file) {
    return file.size() > 4 ? file.substr(0, file.size() - 4) : file;
}

// A CAPTAIN keeps the defaults that setup has just given; every other type writes its attributes.
void applyType(Player& player, const TypeEntry& type) {
    player.type = type.code;
    if (type.code == CAPTAIN) return;
    if (type.code == HULK) player.health = type.health;
    player.step_ticks = type.step_ticks;
    player.blast_range = type.blast_range;
    player.max_bombs = type.max_bombs;
    player.cur_bombs = type.max_bombs;
}

void compileTypeLine(Team& team, const std::string& path, int line_number, const char* line, int types_seen) {
    int number = 0;
    char word[TextFile::BUFFER_SIZE] = {};  // a line holds at most 255 characters, so any word fits
    if (std::sscanf(line, "P%i %255s", &number, word) != 2 || number != types_seen + 1)
        refuse(path, line_number, BAD_TYPE_LINE);
    const TypeEntry* type = lookUp(TYPE_TABLE, word);
    if (type == nullptr) refuse(path, line_number, BAD_TYPE_LINE);
    applyType(team.players[number - 1], *type);
}

void compileProgramLine(Team& team, const std::string& path, int line_number, const char* line) {
    int number = 0;
    int count = 0;
    char word[TextFile::BUFFER_SIZE] = {};
    const int fields = std::sscanf(line, "P%i.%255s %i", &number, word, &count);
    if (fields < 2) refuse(path, line_number, BAD_PROGRAM_LINE);
    // Only players 1 to 4 exist; P0, P5 and P-1 alike are refused.
    if (number < 1 || number > PLAYER_COUNT) {
        char message[64];
        std::snprintf(message, sizeof message, "Team specifier P%d is invalid\n", number);
        refuse(path, line_number, message);
    }
    const CommandEntry* command = lookUp(COMMAND_TABLE, word);
    if (command == nullptr) {
        std::printf("Error compiling %s, line %d\n", path.c_str(), line_number);
        std::printf("Command %s not recognized\n", word);
        raise_error(EXIT_TEAM_INVALID);
    }
    if (!command->takes_count && fields == 3) {
        char message[64];
        std::snprintf(message, sizeof message, "Command \"%s\" requires no modifier\n", command->upper);
        refuse(path, line_number, message);
    }
    float value = 0.0f;
    if (command->takes_count) value = fields == 3 ? static_cast<float>(static_cast<uint32_t>(count)) : 1.0f;

    Player& player = team.players[number - 1];
    player.commands.push_back(Command{command->opcode, value});
    player.cmd_count = static_cast<uint32_t>(player.commands.size());
}

void compileTeamFile(Team& team, const std::string& path) {
    if (config.debug_level > 1) std::printf("Compiling team file %s\n", path.c_str());
    TextFile file(path);
    if (!file.is_open()) raise_error(EXIT_TEAM_MISSING);
    team.name = teamName(path);

    int types_seen = 0;
    char line[TextFile::BUFFER_SIZE];
    while (file.nextSignificantLine(line)) {
        if (types_seen < PLAYER_COUNT) {
            compileTypeLine(team, path, file.line_number(), line, types_seen);
            ++types_seen;
        } else {
            compileProgramLine(team, path, file.line_number(), line);
        }
    }
}

}  // namespace

void compileTeams() {
    for (int t = 0; t < TEAM_COUNT; ++t) compileTeamFile(game.teams[t], config.team_file[t]);
}
