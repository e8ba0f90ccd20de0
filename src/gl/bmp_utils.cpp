// bmp_utils.cpp: the BMP reader. Turns an uncompressed Windows bitmap with a 40-byte (or longer) info header into a
// plain pixel buffer, bottom row first, and prints the header summary at debug level 4 and above.
//
// Must not depend on OpenGL or the toolkit: only the C library, `config`, raise_error and the data file lookup.
// Every damaged file is refused before a byte is read past its end or a buffer is sized from an absurd header.
#include "gl/bmp_utils.h"

#include "core/data_files.h"
#include "core/utils.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>

namespace {

// [SECTION] Header fields

constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint64_t HEADERS_SIZE = 2 + 12 + INFO_HEADER_SIZE;  // magic, file header, info header

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint32_t fileSizeField(const BmpHeader& h) { return le32(&h.file_header[0]); }
uint32_t dataOffsetField(const BmpHeader& h) { return le32(&h.file_header[8]); }
uint32_t infoSizeField(const BmpHeader& h) { return le32(&h.info_header[0]); }
int32_t widthField(const BmpHeader& h) { return static_cast<int32_t>(le32(&h.info_header[4])); }
int32_t heightField(const BmpHeader& h) { return static_cast<int32_t>(le32(&h.info_header[8])); }
uint16_t bitsField(const BmpHeader& h) { return le16(&h.info_header[14]); }
uint32_t imageSizeField(const BmpHeader& h) { return le32(&h.info_header[20]); }

// [SECTION] File access

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Prints the detail lines of a file that cannot be used and ends the process with code 5.
[[noreturn]] [[gnu::format(printf, 2, 3)]] void refuse(const char* path, const char* reason, ...) {
    std::printf("Error reading %s\n", path);
    std::va_list args;
    va_start(args, reason);
    std::vprintf(reason, args);
    va_end(args);
    raise_error(EXIT_SPRITE_INVALID);
}

bool readExactly(std::FILE* f, void* into, size_t n) { return std::fread(into, 1, n, f) == n; }

// Reads `n` bytes into `into` in bounded pieces, so a header that claims more than the stream holds costs no more
// memory than the stream really has.
bool readBytes(std::FILE* f, std::vector<uint8_t>& into, uint64_t n) {
    constexpr uint64_t PIECE = 1 << 16;
    into.clear();
    while (n > 0) {
        const size_t piece = static_cast<size_t>(n < PIECE ? n : PIECE);
        const size_t old = into.size();
        into.resize(old + piece);
        if (!readExactly(f, into.data() + old, piece)) return false;
        n -= piece;
    }
    return true;
}

bool skipBytes(std::FILE* f, uint64_t n) {
    uint8_t scratch[4096];
    while (n > 0) {
        const size_t piece = static_cast<size_t>(n < sizeof scratch ? n : sizeof scratch);
        if (!readExactly(f, scratch, piece)) return false;
        n -= piece;
    }
    return true;
}

// The file's length in bytes, or -1 when it cannot be told (a pipe); the read position is left where it was.
long long fileLength(std::FILE* f) {
    const long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(f);
    if (std::fseek(f, here, SEEK_SET) != 0) return -1;
    return end;
}

// [SECTION] Pixel conversion

// Converts one stored row of `size` bytes into buffer order: blue-green-red(-alpha) becomes red-green-blue(-alpha),
// 16-bit pixels have their two bytes exchanged, 8-bit indices are copied.
void convertRow(const uint8_t* in, uint8_t* out, size_t size, uint16_t bits) {
    switch (bits) {
    case 32:
    case 24: {
        const size_t step = bits / 8;
        for (size_t i = 0; i + step <= size; i += step) {
            out[i] = in[i + 2];
            out[i + 1] = in[i + 1];
            out[i + 2] = in[i];
            if (step == 4) out[i + 3] = in[i + 3];
        }
        break;
    }
    case 16:
        for (size_t i = 0; i + 2 <= size; i += 2) {
            out[i] = in[i + 1];
            out[i + 1] = in[i];
        }
        break;
    default:
        for (size_t i = 0; i < size; ++i) out[i] = in[i];
        break;
    }
}

bool isSupportedDepth(uint16_t bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

// [SECTION] Reader

std::vector<uint8_t> bmpRead(const char* path, uint32_t* width, uint32_t* height) {
    uint16_t bits = 0;
    return bmpRead(path, width, height, &bits);
}

std::vector<uint8_t> bmpRead(const char* path, uint32_t* width, uint32_t* height, uint16_t* bits_per_pixel) {
    File file(std::fopen(findDataFile(path).c_str(), "rb"), &std::fclose);
    if (!file) raise_error(EXIT_SPRITE_MISSING);
    std::FILE* f = file.get();

    if (config.debug_level > 3) std::fprintf(stderr, "Reading bmp header information from %s\n", path);
    BmpHeader header{};
    if (!readExactly(f, header.magic.data(), header.magic.size()) ||
        !readExactly(f, header.file_header.data(), header.file_header.size()) ||
        !readExactly(f, header.info_header.data(), header.info_header.size()))
        refuse(path, "The file ends inside its headers\n");
    if (config.debug_level > 3) bmpInfo(header);

    // An older, shorter info header would put other fields where width, height and depth are read.
    const uint32_t info_size = infoSizeField(header);
    if (info_size < INFO_HEADER_SIZE) refuse(path, "Info header of %u bytes is too short (40 at least)\n", info_size);
    const uint16_t bits = bitsField(header);
    if (!isSupportedDepth(bits))
        refuse(path, "Color depth of %u bits per pixel is not supported (8, 16, 24 or 32)\n", bits);

    // A negative height marks rows stored top row first; the buffer is bottom row first either way.
    const int32_t raw_width = widthField(header);
    const int32_t raw_height = heightField(header);
    const bool top_down = raw_height < 0;
    const int64_t signed_rows = top_down ? -static_cast<int64_t>(raw_height) : raw_height;
    if (raw_width < 1 || raw_width > static_cast<int64_t>(BMP_MAX_SIDE) || signed_rows < 1 ||
        signed_rows > static_cast<int64_t>(BMP_MAX_SIDE))
        refuse(path, "Picture size %d x %d is out of range (1 to %u pixels a side)\n", raw_width, raw_height,
               BMP_MAX_SIDE);
    const uint32_t cols = static_cast<uint32_t>(raw_width);
    const uint32_t rows = static_cast<uint32_t>(signed_rows);

    // Everything up to the last pixel byte must be in the file before anything is allocated for it. The pixel rows
    // start at the data offset when that lies beyond the headers (a colour table or colour masks in between), else
    // right after the headers; the last row's padding is not needed.
    const uint64_t extra = info_size - INFO_HEADER_SIZE;
    const uint64_t headers_end = HEADERS_SIZE + extra;
    const uint64_t offset = dataOffsetField(header);
    const uint64_t gap = offset > headers_end ? offset - headers_end : 0;
    const uint64_t row_size = (static_cast<uint64_t>(bits) * cols + 7) / 8;
    const uint64_t padding = (4 - row_size % 4) % 4;
    const uint64_t needed = headers_end + gap + (row_size + padding) * (rows - 1) + row_size;
    const long long length = fileLength(f);
    if (length >= 0 && static_cast<uint64_t>(length) < needed)
        refuse(path, "The file has %lld bytes, its headers and pixel rows need %llu\n", length,
               static_cast<unsigned long long>(needed));

    std::vector<uint8_t> pixels;
    std::vector<uint8_t> row;
    try {
        if (extra > 0 && !readBytes(f, header.extra_header, extra)) refuse(path, "The file ends inside its headers\n");
        if (!skipBytes(f, gap)) refuse(path, "The file ends before its pixel rows\n");
        pixels.resize(row_size * rows);
        row.resize(row_size);
    } catch (const std::bad_alloc&) {
        raise_error(EXIT_OUT_OF_MEMORY);
    }

    for (uint32_t r = 0; r < rows; ++r) {
        if (!readExactly(f, row.data(), row.size())) refuse(path, "The file ends inside its pixel rows\n");
        const uint32_t to = top_down ? rows - 1 - r : r;
        convertRow(row.data(), pixels.data() + to * row_size, row.size(), bits);
        if (r + 1 < rows && !skipBytes(f, padding)) refuse(path, "The file ends inside its pixel rows\n");
    }

    *width = cols;
    *height = rows;
    *bits_per_pixel = bits;
    return pixels;
}

std::vector<uint8_t> bmpReadSprite(const char* path, uint32_t* width, uint32_t* height) {
    uint16_t bits = 0;
    std::vector<uint8_t> pixels = bmpRead(path, width, height, &bits);
    if (bits != 32) refuse(path, "Sprite has %u bits per pixel, sprites need 32\n", bits);
    return pixels;
}

// [SECTION] Header summary

void bmpInfo(const BmpHeader& header) {
    std::printf("Printing bmp file information:\n");
    // The magic read as a little-endian 16-bit number: "BM" prints 4d42.
    std::printf("   Magic number is %x%x\n", header.magic[1], header.magic[0]);
    std::printf("   File size is %d\n", static_cast<int32_t>(fileSizeField(header)));
    std::printf("   Header size is %d\n", static_cast<int32_t>(infoSizeField(header)));
    std::printf("   Color depth is %d\n", bitsField(header));
    std::printf("   Width = %d, Height = %d\n", widthField(header), heightField(header));
    std::printf("   Number of pixel bytes = %d\n", static_cast<int32_t>(imageSizeField(header)));
}
