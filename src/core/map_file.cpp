// map_file.cpp: the map compiler. A header line "width, height", then one line per grid row; only 'X' matters.
//
// Rows are stored exactly `width` bytes wide: a short line keeps its line end and is filled up with NUL bytes (open
// ground), a long line loses its surplus. Surplus row lines are reported and dropped; missing rows, a header that
// does not scan, a missing header and grids smaller than 2 x 2 are refused with exit code 7.
#include "core/fusewick.h"
#include "core/loaders.h"
#include "core/utils.h"

#include <cstdio>
#include <cstring>

namespace {

// The smallest grid the game can be played on: the four start corners need two rows and two columns.
constexpr unsigned MIN_GRID_SIDE = 2;

LoadFault mapFault(LoadFault::Place place, int line, std::string message) {
    return LoadFault{place, EXIT_MAP_INVALID, line, std::move(message)};
}

std::string formatted(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// A row takes the line's first `width` characters up to its NUL and is filled up with NUL bytes.
std::string rowFromLine(const char* line, uint16_t width) {
    std::string row(width, '\0');
    const size_t len = std::strlen(line);
    std::memcpy(row.data(), line, len < width ? len : width);
    return row;
}

}  // namespace

MapRead readMap(const SourceFile& source) {
    MapRead read;
    TextFile file(source);
    if (!file.is_open()) {
        read.fault = LoadFault{LoadFault::Place::Missing, EXIT_MAP_MISSING, 0, ""};
        return read;
    }

    bool header_seen = false;
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<std::string>& rows = read.map.rows;
    int row_lines = 0;  // row lines read, the dropped surplus ones included

    char line[TextFile::BUFFER_SIZE];
    while (file.nextSignificantLine(line)) {
        if (!header_seen) {
            if (std::sscanf(line, "%hu, %hu", &width, &height) != 2) {
                read.fault = mapFault(LoadFault::Place::Line, file.line_number(),
                                      "Invalid grid width and height specification");
                return read;
            }
            if (width < MIN_GRID_SIDE || height < MIN_GRID_SIDE) {
                read.fault = mapFault(LoadFault::Place::Line, file.line_number(),
                                      formatted("Grid of %u x %u cells is too small (at least %u x %u)\n", width,
                                                height, MIN_GRID_SIDE, MIN_GRID_SIDE));
                return read;
            }
            header_seen = true;
            rows.reserve(height);
        } else {
            if (rows.size() == height) {
                read.notices.push_back(mapFault(LoadFault::Place::Line, file.line_number(),
                                                formatted("Expected %d valid rows, found %d\n", height, row_lines)));
            } else {
                rows.push_back(rowFromLine(line, width));
            }
            ++row_lines;
        }
    }

    if (!header_seen) {
        read.fault = mapFault(LoadFault::Place::WholeFile, 0, "No line gives the grid width and height\n");
    } else if (rows.size() < height) {
        read.fault = mapFault(LoadFault::Place::WholeFile, 0,
                              formatted("Only %d valid rows detected (expected %d)\n", static_cast<int>(rows.size()),
                                        height));
    }
    read.map.width = width;
    read.map.height = height;
    return read;
}

void applyMap(const MapData& map) {
    game.width = map.width;
    game.height = map.height;
    game.rows = map.rows;
}

void compileMap(const SourceFile& source) {
    if (config.debug_level > 1) std::printf("Compiling map file %s\n", source.path.c_str());
    MapRead read = readMap(source);
    for (const LoadFault& notice : read.notices) printFault(source.path, notice);
    if (read.fault) reportFault(source.path, *read.fault);
    game.width = read.map.width;
    game.height = read.map.height;
    game.rows = std::move(read.map.rows);
}

void compileMap() { compileMap(SourceFile{config.map_file, std::nullopt}); }
