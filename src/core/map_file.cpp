// map_file.cpp: the map compiler. A header line "width, height", then one line per grid row; only 'X' matters.
//
// Rows are stored exactly `width` bytes wide: a short line keeps its line end and is filled up with NUL bytes (open
// ground), a long line loses its surplus. Surplus row lines are reported and dropped; missing rows, a header that
// does not scan, a missing header and grids smaller than 2 x 2 are refused with exit code 7.
#include "core/fusewick.h"
#include "core/text_file.h"
#include "core/utils.h"

#include <cstdio>
#include <cstring>

namespace {

// The smallest grid the game can be played on: the four start corners need two rows and two columns.
constexpr unsigned MIN_GRID_SIDE = 2;

[[noreturn]] void refuseAtLine(const std::string& file, int line, const char* message) {
    std::printf("Error compiling %s, line %d\n", file.c_str(), line);
    std::printf("%s", message);
    raise_error(EXIT_MAP_INVALID);
}

// A row takes the line's first `width` characters up to its NUL and is filled up with NUL bytes.
std::string rowFromLine(const char* line, uint16_t width) {
    std::string row(width, '\0');
    const size_t len = std::strlen(line);
    std::memcpy(row.data(), line, len < width ? len : width);
    return row;
}

}  // namespace

void compileMap() {
    const std::string& path = config.map_file;
    if (config.debug_level > 1) std::printf("Compiling map file %s\n", path.c_str());

    TextFile file(path);
    if (!file.is_open()) raise_error(EXIT_MAP_MISSING);

    bool header_seen = false;
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<std::string> rows;  // built aside and moved in whole, one row allocated per row line read
    int row_lines = 0;              // row lines read, the dropped surplus ones included

    char line[TextFile::BUFFER_SIZE];
    while (file.nextSignificantLine(line)) {
        if (!header_seen) {
            if (std::sscanf(line, "%hu, %hu", &width, &height) != 2)
                refuseAtLine(path, file.line_number(), "Invalid grid width and height specification");
            if (width < MIN_GRID_SIDE || height < MIN_GRID_SIDE) {
                std::printf("Error compiling %s, line %d\n", path.c_str(), file.line_number());
                std::printf("Grid of %u x %u cells is too small (at least %u x %u)\n", width, height,
                            MIN_GRID_SIDE, MIN_GRID_SIDE);
                raise_error(EXIT_MAP_INVALID);
            }
            header_seen = true;
            rows.reserve(height);
        } else {
            if (rows.size() == height) {
                std::printf("Error compiling %s, line %d\n", path.c_str(), file.line_number());
                std::printf("Expected %d valid rows, found %d\n", height, row_lines);
            } else {
                rows.push_back(rowFromLine(line, width));
            }
            ++row_lines;
        }
    }

    if (!header_seen) {
        std::printf("Error compiling %s\n", path.c_str());
        std::printf("No line gives the grid width and height\n");
        raise_error(EXIT_MAP_INVALID);
    }
    if (rows.size() < height) {
        std::printf("Error compiling %s\n", path.c_str());
        std::printf("Only %d valid rows detected (expected %d)\n", static_cast<int>(rows.size()), height);
        raise_error(EXIT_MAP_INVALID);
    }

    game.width = width;
    game.height = height;
    game.rows = std::move(rows);
}
