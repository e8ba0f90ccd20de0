// text_file.h: reading the game's plain-text files (maps and team programs) line by line.
//
// Both file kinds share one reading rule: at most 255 characters per read, so a longer line arrives in several
// pieces; a line whose first character is '#', a line feed or a carriage return is skipped; every read, skipped or
// not, advances the line number. The file is closed by RAII, also when a fuzzing build's raise_error throws.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

class TextFile {
public:
    static constexpr int BUFFER_SIZE = 256;  // 255 characters and the terminating NUL

    // Opens `path` for reading in text mode; is_open() tells whether that worked.
    explicit TextFile(const std::string& path) : file_(std::fopen(path.c_str(), "r"), &std::fclose) {}

    bool is_open() const { return file_ != nullptr; }

    // Reads the next significant line into `line` (NUL-terminated, line end included when it fit) and returns
    // true; returns false at the end of the file. line_number() is the number of the line just returned.
    bool nextSignificantLine(char (&line)[BUFFER_SIZE]) {
        while (std::fgets(line, BUFFER_SIZE, file_.get()) != nullptr) {
            ++line_number_;
            if (!isSkipped(line)) return true;
        }
        return false;
    }

    // The number of the last line read, counted from 1; 0 before the first read.
    int line_number() const { return line_number_; }

    static bool isSkipped(const char* line) { return line[0] == '#' || line[0] == '\n' || line[0] == '\r'; }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    int line_number_ = 0;
};
