// bmp_fuzz.cpp: fuzzes the BMP reader. Any bytes: a buffer of exactly the size the picture needs, or exit 5.
#include "core/utils.h"
#include "fuzz_support.h"
#include "gl/bmp_utils.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = writeScratch(data, size, ".bmp");
    config.debug_level = 4;
    uint32_t width = 0;
    uint32_t height = 0;
    try {
        const std::vector<uint8_t> pixels = bmpRead(path.c_str(), &width, &height);
        // Touch every byte so that a buffer shorter than it claims shows up under the sanitizers.
        volatile uint8_t sum = 0;
        for (uint8_t b : pixels) sum = static_cast<uint8_t>(sum + b);
    } catch (const FuzzExit& e) {
        expectCode(e, {EXIT_SPRITE_INVALID});
    }
    return 0;
}
