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

// The largest picture side the reader accepts, in pixels; larger sides are refused as damaged files.
constexpr uint32_t BMP_MAX_SIDE = 16384;

// Reads `path` and returns its pixels: `height` rows of ceil(bits * width / 8) bytes, no padding, 32-bit pixels as
// red, green, blue, alpha and 24-bit as red, green, blue. Stores the picture's size through `width` and `height`.
// Ends the process with 2 when the file cannot be opened, 5 when it cannot be used, 50 when memory runs out.
// Understands 8, 16, 24 and 32 bits per pixel; a top-down file (negative height) is returned bottom row first too.
std::vector<uint8_t> bmpRead(const char* path, uint32_t* width, uint32_t* height);

// As above, and also stores the file's bits per pixel (8, 16, 24 or 32) through `bits_per_pixel`.
std::vector<uint8_t> bmpRead(const char* path, uint32_t* width, uint32_t* height, uint16_t* bits_per_pixel);

// Reads a sprite: as bmpRead, and ends the process with 5 unless the file has 32 bits per pixel, which is what the
// texture upload takes (four bytes per pixel, alpha last).
std::vector<uint8_t> bmpReadSprite(const char* path, uint32_t* width, uint32_t* height);

// Prints a summary of the headers to standard output.
void bmpInfo(const BmpHeader& header);
