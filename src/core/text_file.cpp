// text_file.cpp: the line reader of the game's text files, from the disk or from memory.
#include "core/text_file.h"

#include "core/data_files.h"

#include <cstring>

#include <sys/stat.h>

namespace {

// fopen opens a folder for reading on this platform and the first read then fails, which would make a folder read
// as an empty file. It is refused as a file that cannot be opened.
bool isFolder(std::FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

TextFile::TextFile(const SourceFile& source) {
    if (source.text.has_value()) {
        memory_ = &*source.text;
        return;
    }
    file_.reset(std::fopen(findDataFile(source.path).c_str(), "r"));
    if (file_ != nullptr && isFolder(file_.get())) file_.reset();
}

// One fgets-sized piece: up to 255 bytes, ending after the first line feed. NUL bytes are copied like any other,
// so the piece reads as ending at the first of them, as it does from the disk.
bool TextFile::readPiece(char (&line)[BUFFER_SIZE]) {
    if (file_ != nullptr) return std::fgets(line, BUFFER_SIZE, file_.get()) != nullptr;
    const std::string& text = *memory_;
    if (offset_ >= text.size()) return false;
    size_t n = 0;
    while (n < BUFFER_SIZE - 1 && offset_ < text.size()) {
        const char c = text[offset_++];
        line[n++] = c;
        if (c == '\n') break;
    }
    line[n] = '\0';
    return true;
}

bool TextFile::nextLine(char (&line)[BUFFER_SIZE]) {
    if (!readPiece(line)) return false;
    ++line_number_;
    return true;
}

bool TextFile::nextSignificantLine(char (&line)[BUFFER_SIZE]) {
    while (nextLine(line))
        if (!isSkipped(line)) return true;
    return false;
}
