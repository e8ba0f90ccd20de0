// fuzz_support.h: what the fuzz targets share: the exception the fuzzing build's exits throw, a scratch file for
// readers that take a path, and quiet standard streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

struct FuzzExit {
    int code;  // the exit code the real program would have ended with
};

// A file of this process's own, rewritten with every input.
inline const std::string& scratchPath(const char* suffix) {
    static const std::string path = "/tmp/fusewick-fuzz-" + std::to_string(getpid()) + suffix;
    return path;
}

inline const std::string& writeScratch(const uint8_t* data, size_t size, const char* suffix) {
    const std::string& path = scratchPath(suffix);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

// Compile messages and reports would flood the fuzzer's log.
inline void silenceOutput() {
    if (std::getenv("FUSEWICK_FUZZ_VERBOSE") == nullptr) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    }
}

// A refused input must end with one of the codes its reader documents.
inline void expectCode(const FuzzExit& e, std::initializer_list<int> allowed) {
    for (int code : allowed)
        if (e.code == code) return;
    std::fprintf(stderr, "unexpected exit code %d\n", e.code);
    std::abort();
}
