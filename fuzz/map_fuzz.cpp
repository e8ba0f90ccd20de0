// map_fuzz.cpp: fuzzes the map compiler. Any bytes: a grid whose rows are all exactly width bytes, or exit 7.
#include "core/fusewick.h"
#include "core/utils.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    config.map_file = writeScratch(data, size, ".map");
    config.debug_level = 2;
    try {
        compileMap();
    } catch (const FuzzExit& e) {
        expectCode(e, {EXIT_MAP_INVALID});
        return 0;
    }
    if (game.width < 2 || game.height < 2 || game.rows.size() != game.height) std::abort();
    for (const std::string& row : game.rows)
        if (row.size() != game.width) std::abort();
    return 0;
}
