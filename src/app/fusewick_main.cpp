// fusewick_main.cpp: the entry of the windowed program. Start-up in its fixed order, then the toolkit's loop.
#include "core/fusewick.h"
#include "core/utils.h"

int main(int argc, char** argv) {
    installOutOfMemoryHandler();
    parseArgs(argc, argv);
    if (config.debug_level > 5) printConfig();
    compileMap();
    initGame();
    compileTeams();
    return 0;
}
