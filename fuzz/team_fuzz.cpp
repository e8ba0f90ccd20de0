// team_fuzz.cpp: fuzzes the team compiler with the input as all four team files. Any bytes: programs of valid
// opcodes and player types, or exit 6.
#include "core/fusewick.h"
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
