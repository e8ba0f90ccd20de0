// bmp_utils.h: the BMP reader. Reads an uncompressed Windows bitmap into a plain pixel buffer whose first row is
// the file's first stored row (the picture's bottom row for a standard bitmap), which is the row order OpenGL takes.
//
// Needs no GL context: only files, memory and formatted output, and raise_error for fatal errors.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The headers as read from the file.
struct BmpHeader {
    std::array<uint8_t, 2> magic;         // normally "BM"; printed, never tested
    std::array<uint8_t, 12> file_header;  // file size, two reserved words, pixel data offset
    std::array<uint8_t, 40> info_header;  // size, width, height, planes, bits per pixel, compression, image size...
    std::vector<uint8_t> extra_header;    // the info header's bytes beyond 40, when it declares more
};

// Reads `path` and returns its pixels: `height` rows of ceil(bits * width / 8) bytes, no padding, 32-bit pixels as
// red, green, blue, alpha and 24-bit as red, green, blue. Stores the picture's size through `width` and `height`.
// Ends the process with 2 when the file cannot be opened, 5 when it cannot be used, 50 when memory runs out.
std::vector<uint8_t> bmpRead(const char* path, uint32_t* width, uint32_t* height);

// Prints a summary of the headers to standard output.
void bmpInfo(const BmpHeader& header);
