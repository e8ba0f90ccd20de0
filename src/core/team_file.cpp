// team_file.cpp: the team compiler. Four type lines "P<n> <TYPE>" for players 1 to 4 in order, then program lines
// "P<n>.<COMMAND> [count]" in any order of players.
//
// Lines are scanned with the C library's "%i" and "%s" conversions on purpose: "%i" takes octal and hexadecimal,
// a blank in the format matches any white space including none, and text after the last conversion is ignored.
// Counts are read as signed 32-bit, taken as unsigned 32-bit and stored as the nearest float (-1 becomes 2^32).
#include "core/fusewick.h"
#include "core/loaders.h"
#include "core/tables.h"
#include "core/utils.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The players' own wording of the two line faults, kept byte for byte because scripts match on it.
constexpr const char* BAD_TYPE_LINE = "Invalid player type specification\n";
constexpr const char* BAD_PROGRAM_LINE = "Invalid move type specification\n";

LoadFault lineFault(int line, std::string message) {
    return LoadFault{LoadFault::Place::Line, EXIT_TEAM_INVALID, line, std::move(message)};
}

std::optional<LoadFault> readTypeLine(TeamData& team, const char* line, int line_number) {
    int number = 0;
    char word[TextFile::BUFFER_SIZE] = {};  // a line holds at most 255 characters, so any word fits
    if (std::sscanf(line, "P%i %255s", &number, word) != 2 || number != team.types_given + 1)
        return lineFault(line_number, BAD_TYPE_LINE);
    const TypeInfo* type = findType(word);
    if (type == nullptr) return lineFault(line_number, BAD_TYPE_LINE);
    PlayerProgram& player = team.players[static_cast<size_t>(number - 1)];
    player.type = type->code;
    player.type_given = true;
    ++team.types_given;
    return std::nullopt;
}

std::optional<LoadFault> readProgramLine(TeamData& team, const char* line, int line_number) {
    int number = 0;
    int count = 0;
    char word[TextFile::BUFFER_SIZE] = {};
    const int fields = std::sscanf(line, "P%i.%255s %i", &number, word, &count);
    if (fields < 2) return lineFault(line_number, BAD_PROGRAM_LINE);
    // Only players 1 to 4 exist; P0, P5 and P-1 alike are refused.
    char message[64];
    if (number < 1 || number > PLAYER_COUNT) {
        std::snprintf(message, sizeof message, "Team specifier P%d is invalid\n", number);
        return lineFault(line_number, message);
    }
    const CommandInfo* command = findCommand(word);
    if (command == nullptr) return lineFault(line_number, std::string("Command ") + word + " not recognized\n");
    if (!command->takes_count && fields == 3) {
        std::snprintf(message, sizeof message, "Command \"%s\" requires no modifier\n", command->upper);
        return lineFault(line_number, message);
    }
    float value = 0.0f;
    if (command->takes_count) value = fields == 3 ? static_cast<float>(static_cast<uint32_t>(count)) : 1.0f;

    PlayerProgram& player = team.players[static_cast<size_t>(number - 1)];
    player.commands.push_back(Command{command->opcode, value});
    player.lines.push_back(line_number);
    return std::nullopt;
}

// A CAPTAIN keeps the defaults that setup has just given; every other type writes its attributes.
void applyType(Player& player, uint32_t code) {
    const TypeInfo& type = typeInfo(code);
    player.type = type.code;
    if (type.code == CAPTAIN) return;
    if (type.code == HULK) player.health = type.health;
    player.step_ticks = type.step_ticks;
    player.blast_range = type.blast_range;
    player.max_bombs = type.max_bombs;
    player.cur_bombs = type.max_bombs;
}

// The last team files read from memory, whole: reading is a function of the name and the text alone, and a
// tournament worker compiles the same few texts for every match it plays, where scanning their lines costs as much
// as a tenth of a short match. Files on disk are read afresh every time (they may have changed).
class RecentTeamReads {
public:
    TeamRead read(const SourceFile& source) {
        if (!source.text) return readTeam(source);
        for (const Entry& e : entries_)
            if (e.path == source.path && e.text == *source.text) return e.read;
        TeamRead fresh = readTeam(source);
        if (entries_.size() == KEPT) entries_.erase(entries_.begin());
        entries_.push_back(Entry{source.path, *source.text, fresh});
        return fresh;
    }

private:
    static constexpr size_t KEPT = 8;  // a tournament's teams, or a good share of them
    struct Entry {
        std::string path, text;
        TeamRead read;
    };
    std::vector<Entry> entries_;
};

TeamData compileTeamFile(Team& team, const SourceFile& source) {
    if (config.debug_level > 1) std::printf("Compiling team file %s\n", source.path.c_str());
    static RecentTeamReads recent;
    TeamRead read = recent.read(source);
    if (read.fault) reportFault(source.path, *read.fault);
    applyTeam(team, read.team);
    return std::move(read.team);
}

}  // namespace

std::string teamName(const std::string& path) {
    return path.size() > 4 ? path.substr(0, path.size() - 4) : path;
}

std::optional<LoadFault> readTeamLine(TeamData& team, const char* line, int line_number) {
    if (team.types_given < PLAYER_COUNT) return readTypeLine(team, line, line_number);
    return readProgramLine(team, line, line_number);
}

TeamRead readTeam(const SourceFile& source) {
    TeamRead read;
    TextFile file(source);
    if (!file.is_open()) {
        read.fault = LoadFault{LoadFault::Place::Missing, EXIT_TEAM_MISSING, 0, ""};
        return read;
    }
    read.team.name = teamName(source.path);
    char line[TextFile::BUFFER_SIZE];
    while (file.nextSignificantLine(line)) {
        read.fault = readTeamLine(read.team, line, file.line_number());
        if (read.fault) break;
    }
    return read;
}

void applyTeam(Team& team, const TeamData& data) {
    team.name = data.name;
    for (int p = 0; p < PLAYER_COUNT; ++p) {
        Player& player = team.players[static_cast<size_t>(p)];
        const PlayerProgram& program = data.players[static_cast<size_t>(p)];
        if (program.type_given) applyType(player, program.type);
        player.commands.assign(program.commands.begin(), program.commands.end());
        player.cmd_count = static_cast<uint32_t>(player.commands.size());
    }
}

std::array<TeamData, TEAM_COUNT> compileTeams(const std::array<SourceFile, TEAM_COUNT>& sources) {
    std::array<TeamData, TEAM_COUNT> teams;
    for (size_t t = 0; t < TEAM_COUNT; ++t) teams[t] = compileTeamFile(game.teams[t], sources[t]);
    return teams;
}

void compileTeams() {
    std::array<SourceFile, TEAM_COUNT> sources;
    for (int t = 0; t < TEAM_COUNT; ++t) sources[static_cast<size_t>(t)].path = config.team_file[static_cast<size_t>(t)];
    compileTeams(sources);
}
