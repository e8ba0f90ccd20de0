// text_file.h: reading the game's plain-text files (maps and team programs) line by line, from the disk or from a
// text held in memory, through one reading rule.
//
// The rule: at most 255 characters per read, so a longer line arrives in several pieces; a line whose first
// character is '#', a line feed or a carriage return is skipped; every read, skipped or not, advances the line
// number. A text in memory is cut into exactly the pieces the C library's fgets makes of the same bytes on disk,
// so a file compiles with the same messages wherever it comes from. A folder is not a readable file.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

// Where a text file's bytes come from: the disk, or a text held in memory (a replay, a tournament worker, an
// editor's buffer) under the file's name.
struct SourceFile {
    std::string path;                 // the name in messages, and the file read when `text` is empty
    std::optional<std::string> text;  // the file's bytes, when held in memory
};

class TextFile {
public:
    static constexpr int BUFFER_SIZE = 256;  // 255 characters and the terminating NUL

    // Opens the source for reading; is_open() tells whether that worked. A folder counts as not openable.
    explicit TextFile(const SourceFile& source);

    bool is_open() const { return file_ != nullptr || memory_ != nullptr; }

    // Reads the next significant line into `line` (NUL-terminated, line end included when it fit) and returns
    // true; returns false at the end of the file. line_number() is the number of the line just returned.
    bool nextSignificantLine(char (&line)[BUFFER_SIZE]);

    // Reads the next piece, skipped or not, into `line` and returns true; returns false at the end of the file.
    // For tools that look at every line the game reads (and skips), such as the checker; line_number() is the
    // number of the piece just returned.
    bool nextLine(char (&line)[BUFFER_SIZE]);

    // The number of the last line read, counted from 1; 0 before the first read.
    int line_number() const { return line_number_; }

    static bool isSkipped(const char* line) { return line[0] == '#' || line[0] == '\n' || line[0] == '\r'; }

private:
    bool readPiece(char (&line)[BUFFER_SIZE]);

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
    const std::string* memory_ = nullptr;  // the text held in memory, owned by the SourceFile
    size_t offset_ = 0;                    // next byte of memory_ to read
    int line_number_ = 0;
};
