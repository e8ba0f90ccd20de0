// map_fuzz.cpp: fuzzes the map compiler. Any bytes: a grid whose rows are all exactly width bytes, or exit 7; and
// the same bytes read from memory give the same grid or the same fault as from the disk.
#include "core/fusewick.h"
#include "core/loaders.h"
#include "core/utils.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    config.map_file = writeScratch(data, size, ".map");
    config.debug_level = 2;
    const MapRead disk = readMap(SourceFile{config.map_file, std::nullopt});
    const MapRead memory = readMap(SourceFile{config.map_file, std::string(reinterpret_cast<const char*>(data), size)});
    if (disk.fault.has_value() != memory.fault.has_value() || disk.map.rows != memory.map.rows ||
        disk.notices.size() != memory.notices.size())
        std::abort();
    if (disk.fault && (disk.fault->line != memory.fault->line || disk.fault->message != memory.fault->message))
        std::abort();
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
