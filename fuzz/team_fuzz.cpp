// team_fuzz.cpp: fuzzes the team compiler with the input as all four team files. Any bytes: programs of valid
// opcodes and player types, or exit 6; and the same bytes read from memory give the same programs or the same fault
// as from the disk.
#include "core/fusewick.h"
#include "core/loaders.h"
#include "core/utils.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    game.width = 5;
    game.height = 4;
    initGame();
    config.team_file.fill(writeScratch(data, size, ".fpl"));
    config.debug_level = 2;
    const TeamRead disk = readTeam(SourceFile{config.team_file[0], std::nullopt});
    const TeamRead memory =
        readTeam(SourceFile{config.team_file[0], std::string(reinterpret_cast<const char*>(data), size)});
    if (disk.fault.has_value() != memory.fault.has_value() || disk.team.types_given != memory.team.types_given)
        std::abort();
    if (disk.fault && (disk.fault->line != memory.fault->line || disk.fault->message != memory.fault->message))
        std::abort();
    for (size_t p = 0; p < PLAYER_COUNT; ++p) {
        const PlayerProgram& a = disk.team.players[p];
        const PlayerProgram& b = memory.team.players[p];
        if (a.type != b.type || a.lines != b.lines || a.commands.size() != b.commands.size()) std::abort();
        for (size_t i = 0; i < a.commands.size(); ++i)
            if (a.commands[i].opcode != b.commands[i].opcode || a.commands[i].count != b.commands[i].count) std::abort();
    }
    try {
        compileTeams();
    } catch (const FuzzExit& e) {
        expectCode(e, {EXIT_TEAM_INVALID});
        return 0;
    }
    for (const Team& team : game.teams) {
        for (const Player& p : team.players) {
            if (p.type > HULK || p.max_bombs < 1 || p.max_bombs > 4 || p.cmd_count != p.commands.size()) std::abort();
            for (const Command& c : p.commands)
                if (c.opcode > WAIT) std::abort();
        }
    }
    return 0;
}
