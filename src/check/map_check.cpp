// map_check.cpp: the checks of a map file.
//
// The verdict is the game's own: readMap says whether the map is refused, where, and which surplus rows it drops.
// The checker reads the same lines again through the same reader to say why, and to find what the game accepts
// but hardly anybody means: rows cut or filled, lower-case walls, a row of blanks, walls on the start cells, maps
// too small for the side panels.
#include "check/check.h"
#include "check/file_checks.h"
#include "check/words.h"

#include "core/loaders.h"
#include "core/tables.h"
#include "gl/sprite_layout.h"

#include <cctype>
#include <cstdio>
#include <set>

namespace check {

namespace {

// A row line is read 255 characters at a time.
constexpr unsigned WIDEST_ROW = TextFile::BUFFER_SIZE - 1;
// Each team starts in a 2 x 2 block in its corner.
constexpr unsigned START_BLOCK_SIDES = 2 * 2;

struct Line {
    int number;
    std::string text;
    bool continues;  // the rest of a line longer than 255 characters
};

size_t skipBlanks(const std::string& s, size_t i) {
    while (i < s.size() && isScanBlank(s[i])) ++i;
    return i;
}

// The line without its line end.
std::string content(const std::string& text) {
    std::string s = text;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
}

// A number as "%hu" reads it from `from` on: its value, where its text starts and where the scan stopped.
struct Size {
    unsigned short value;
    size_t begin, end;
};

std::optional<Size> scanSize(const std::string& s, size_t from) {
    unsigned short value = 0;
    int length = 0;
    if (from > s.size() || std::sscanf(s.c_str() + from, "%hu%n", &value, &length) != 1) return std::nullopt;
    return Size{value, skipBlanks(s, from), from + static_cast<size_t>(length)};
}

// The first two runs of digits of a line, for reading on past a size line the game refuses.
std::optional<std::pair<unsigned, unsigned>> twoNumbers(const std::string& s) {
    std::vector<unsigned> numbers;
    for (size_t i = 0; i < s.size() && numbers.size() < 2;) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        unsigned long v = 0;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) v = std::min(v * 10 + (s[i] - '0'), 100000ul);
        numbers.push_back(static_cast<unsigned>(v));
    }
    if (numbers.size() < 2 || numbers[0] < 2 || numbers[1] < 2 || numbers[0] > 65535 || numbers[1] > 65535)
        return std::nullopt;
    return std::make_pair(numbers[0], numbers[1]);
}

bool looksLikeRow(const std::string& s) {
    const std::string c = content(s);
    return !c.empty() && c.find_first_not_of("Xx-. \t") == std::string::npos;
}

// How "%hu" reads a size that it reads otherwise than it looks, or "".
std::string sizeReading(const char* what, const std::string& text, unsigned short value) {
    const bool negative = text.starts_with("-");
    const std::string digits = text.substr(text.starts_with("-") || text.starts_with("+") ? 1 : 0);
    const bool too_long = digits.size() > 5;
    if (!negative && !too_long && std::stoul(digits) == value) return "";
    return std::string("the ") + what + " " + text + " is read as " + std::to_string(value) +
           (negative ? ": sizes are taken as unsigned" : ": sizes are at most 65535");
}

class MapChecker {
public:
    explicit MapChecker(std::string path) : path_(std::move(path)) {}

    std::vector<Diagnostic> run(const SourceFile& source) {
        const MapRead read = readMap(source);
        if (read.fault && read.fault->place == LoadFault::Place::Missing) {
            out_.push_back(cannotOpen(path_, FileKind::Map));
            return std::move(out_);
        }
        readLines(source);
        if (lines_.empty()) {
            error(1, 1, read.fault.value_or(LoadFault{}),
                  read_any_ ? "the file holds only comments and empty lines" : "the file is empty",
                  "begin the map with its size, 'width, height', e.g. 20, 15");
            return std::move(out_);
        }
        const Line& header = lines_.front();
        unsigned width = read.map.width;
        unsigned height = read.map.height;
        if (read.fault && read.fault->place == LoadFault::Place::Line) {
            const int column = headerFault(header.text);
            error(header.number, column, *read.fault, why_, hint_);
            const auto numbers = twoNumbers(header.text);
            if (!numbers) return std::move(out_);
            width = numbers->first;
            height = numbers->second;
        } else {
            headerWarnings(header.text, width, height);
        }
        rows(read, width, height);
        if (!has_errors_) mapWarnings(read.map);
        sortByLine(out_);
        return std::move(out_);
    }

private:
    void readLines(const SourceFile& source) {
        TextFile file(source);
        char piece[TextFile::BUFFER_SIZE];
        bool continues = false;
        while (file.nextLine(piece)) {
            read_any_ = true;
            const std::string text = piece;
            if (!TextFile::isSkipped(piece)) lines_.push_back(Line{file.line_number(), text, continues});
            else if (text[0] == '#') comments_.push_back(Line{file.line_number(), text, continues});
            continues = isCutPiece(text);
        }
    }

    // [SECTION] The size line

    // Says why the game refuses the size line (into why_ and hint_) and returns the column.
    int headerFault(const std::string& s) {
        const std::string form = "the first significant line gives the size as 'width, height', e.g. 20, 15";
        hint_ = "";
        if (s.starts_with(BYTE_ORDER_MARK)) {
            why_ = "the line starts with a byte-order mark (bytes EF BB BF), which the game reads as text before the "
                   "width";
            hint_ = "save the file as UTF-8 without a byte-order mark";
            return 1;
        }
        const std::optional<Size> width = scanSize(s, 0);
        if (!width) {
            why_ = looksLikeRow(s) ? "the size line is missing: this line reads like a row, and " + form : form;
            hint_ = "begin the map with its size, e.g. 20, 15";
            return static_cast<int>(skipBlanks(s, 0)) + 1;
        }
        const size_t after = width->end;
        const size_t next = skipBlanks(s, after);
        if (next < s.size() && s[next] == ',' && next > after) {
            why_ = "the comma must follow the width directly";
            if (const auto numbers = twoNumbers(s))
                hint_ = "write " + std::to_string(numbers->first) + ", " + std::to_string(numbers->second);
            return static_cast<int>(after) + 1;
        }
        if (after >= s.size() || s[after] != ',') {
            why_ = next >= s.size() ? "the height is missing: " + form : "a comma must follow the width: " + form;
            return static_cast<int>(after) + 1;
        }
        const std::optional<Size> height = scanSize(s, after + 1);
        if (!height) {
            why_ = "the height is missing after the comma: " + form;
            return static_cast<int>(after) + 2;
        }
        why_ = "the four teams start in its corners";
        const std::string reading =
            sizeReading("width", s.substr(width->begin, width->end - width->begin), width->value) +
            sizeReading("height", s.substr(height->begin, height->end - height->begin), height->value);
        if (!reading.empty()) why_ += "; " + reading;
        return static_cast<int>(width->value < 2 ? width->begin : height->begin) + 1;
    }

    void headerWarnings(const std::string& s, unsigned width, unsigned height) {
        const Line& header = lines_.front();
        const Size w = *scanSize(s, 0);
        const Size h = *scanSize(s, w.end + 1);
        height_column_ = static_cast<int>(h.begin) + 1;
        for (const auto& [what, size] : {std::pair{"width", w}, std::pair{"height", h}}) {
            const std::string reading = sizeReading(what, s.substr(size.begin, size.end - size.begin), size.value);
            if (!reading.empty()) warn(header.number, static_cast<int>(size.begin) + 1, reading, "");
        }
        const size_t rest = skipBlanks(s, h.end);
        if (rest < s.size())
            warn(header.number, static_cast<int>(rest) + 1,
                 "the text after the height is ignored: " + inQuotes(content(s).substr(rest)),
                 content(s)[rest] == '#' ? "a # starts a comment only in the first column of a line" : "");
        if (width > WIDEST_ROW)
            warn(header.number, static_cast<int>(w.begin) + 1,
                 "a row line holds at most 255 characters (the game reads 255 at a time and takes the rest for the "
                 "next row), so the columns from 256 to " + std::to_string(width) + " are open ground",
                 "");
        if (height < static_cast<unsigned>(layout::ROWS_FOR_CORNERS))
            warn(header.number, height_column_,
                 "a map of fewer than " + std::to_string(layout::ROWS_FOR_CORNERS) + " rows leaves the side panels "
                 "too little room: the names and scores of the top and bottom teams overlap",
                 "");
        if (width < START_BLOCK_SIDES || height < START_BLOCK_SIDES)
            warn(header.number, 1,
                 "on a map narrower or lower than 4 cells the 2 x 2 start blocks of the corners overlap: players of "
                 "different teams start on the same cells",
                 "");
    }

    // [SECTION] Rows

    void rows(const MapRead& read, unsigned width, unsigned height) {
        size_t stored = 0;
        size_t notice = 0;
        for (size_t i = 1; i < lines_.size(); ++i) {
            const Line& line = lines_[i];
            if (stored == height) {
                surplus(line, read, notice, height);
                continue;
            }
            row_line_.push_back(line.number);
            row(line, stored++, width);
        }
        commentsAmongRows(width);
        if (stored < height) {
            const Line& header = lines_.front();
            const std::string message = read.fault && read.fault->place == LoadFault::Place::WholeFile
                                            ? read.fault->message
                                            : "Only " + std::to_string(stored) + " valid rows detected (expected " +
                                                  std::to_string(height) + ")";
            error(header.number, height_column_, LoadFault{LoadFault::Place::WholeFile, 0, 0, message},
                  "the size line says " + std::to_string(height) + " rows, and " + std::to_string(stored) +
                      " row lines follow",
                  stored < 2 ? std::string("add the missing rows (empty lines and # lines are no rows)")
                             : "add the missing rows, or make the height " + std::to_string(stored) +
                                   " (empty lines and # lines are no rows)");
        }
    }

    // A row line beyond the height: the game reports it in its own words and drops it. After a size line the game
    // refuses, the game never gets this far, and the words are the checker's.
    void surplus(const Line& line, const MapRead& read, size_t& notice, unsigned height) {
        const bool reported = notice < read.notices.size() && read.notices[notice].line == line.number;
        std::string message = reported ? read.notices[notice++].message : "";
        while (!message.empty() && message.back() == '\n') message.pop_back();
        warn(line.number, 1,
             (reported ? message + ": the size line says " : "the size line says ") + std::to_string(height) +
                 " rows, so the game " + (reported ? "reports and drops" : "would drop") + " this line",
             "delete the line, or make the height larger in the size line");
    }

    void row(const Line& line, size_t index, unsigned width) {
        const std::string cells = content(line.text);
        const std::string which = "row " + std::to_string(index + 1);
        if (line.continues)
            warn(line.number, 1,
                 "this is the rest of line " + std::to_string(line.number - 1) + ", which is longer than 255 "
                 "characters: the game reads at most 255 characters at a time and takes the rest for a row of its "
                 "own",
                 "rows are at most 255 cells wide");
        else if (cells.find_first_not_of(" \t\v\f") == std::string::npos)
            warn(line.number, 1,
                 "this line holds only blanks: the game reads it as " + which + ", all open ground, not as an empty "
                 "line",
                 "delete the blanks to skip the line, or draw the row");
        else if (cells.size() < width)
            warn(line.number, static_cast<int>(cells.size()) + 1,
                 which + " is " + std::to_string(cells.size()) + " cells long, and the map is " +
                     std::to_string(width) + " wide: the game fills the last " +
                     std::to_string(width - cells.size()) + " with open ground",
                 "draw all " + std::to_string(width) + " cells, or fix the width in the size line");
        else if (cells.size() > width && cells.find_first_not_of(" \t", width) != std::string::npos)
            warn(line.number, static_cast<int>(width) + 1,
                 which + " is " + std::to_string(cells.size()) + " cells long, and the map is " +
                     std::to_string(width) + " wide: the game drops the cells from column " +
                     std::to_string(width + 1) + " on",
                 "fix the width in the size line, or shorten the row");
        const std::string drawn = cells.substr(0, width);
        for (size_t x = 0; x < drawn.size(); ++x) {
            const char c = drawn[x];
            if (std::string("X-. \t").find(c) != std::string::npos || !other_cells_.insert(c).second) continue;
            warn(line.number, static_cast<int>(x) + 1,
                 c == 'x' ? std::string("a lower-case x is open ground: only a capital X is a wall")
                          : inQuotes(std::string(1, c)) + " is open ground: only X is a wall, and every other "
                                                        "character is open ground",
                 "draw walls with X and open ground with - or .");
        }
    }

    // A # line between the rows that looks like a row of the map: a row of walls drawn with #, skipped as a comment.
    void commentsAmongRows(unsigned width) {
        if (row_line_.empty()) return;
        for (const Line& comment : comments_) {
            if (comment.number < lines_.front().number || comment.number > row_line_.back()) continue;
            const std::string cells = content(comment.text);
            if (cells.size() != width || cells.find_first_not_of("#Xx-. ") != std::string::npos) continue;
            warn(comment.number, 1,
                 "this line starts with # and is skipped as a comment, though it looks like a row of the map",
                 "draw walls with X: only X is a wall");
        }
    }

    // [SECTION] The grid

    void mapWarnings(const MapData& map) {
        for (int t = 0; t < TEAM_COUNT; ++t) {
            for (int p = 0; p < PLAYER_COUNT; ++p) {
                const Cell cell = startCell(t, p, map.width, map.height);
                const auto x = static_cast<size_t>(cell.x);
                const auto y = static_cast<size_t>(cell.y);
                if (map.rows[y][x] != 'X') continue;
                warn(row_line_[y], static_cast<int>(x) + 1,
                     "player " + std::to_string(p + 1) + " of team " + std::to_string(t + 1) + " (the " +
                         START_CORNERS[static_cast<size_t>(t)].name + " corner) starts on a wall: the game puts the "
                         "players in their corners whatever stands there",
                     "keep the 2 x 2 cells in each corner open");
                break;  // one warning a team
            }
        }
    }

    // [SECTION] Reporting

    void error(int line, int col, const LoadFault& fault, const std::string& why, const std::string& hint) {
        std::string message = fault.message;
        while (!message.empty() && message.back() == '\n') message.pop_back();
        message += ": " + why;
        if (has_errors_) message += " (likely: the game stops before it)";
        has_errors_ = true;
        out_.push_back(Diagnostic{path_, line, col, Severity::Error, message, hint});
    }

    void warn(int line, int col, std::string message, std::string hint) {
        out_.push_back(Diagnostic{path_, line, col, Severity::Warning, std::move(message), std::move(hint)});
    }

    std::string path_;
    std::vector<Diagnostic> out_;
    std::vector<Line> lines_;     // the significant lines
    std::vector<Line> comments_;  // the # lines
    std::vector<int> row_line_;   // the line of each row
    std::set<char> other_cells_;  // the characters other than X - . and blanks already warned about
    bool read_any_ = false;
    bool has_errors_ = false;
    int height_column_ = 1;
    std::string why_, hint_;
};

}  // namespace

std::vector<Diagnostic> checkMapFile(const SourceFile& source) { return MapChecker(source.path).run(source); }

}  // namespace check
