// cli_fuzz.cpp: fuzzes the command-line parser. The input is split at NUL bytes into argument entries.
#include "core/utils.h"
#include "fuzz_support.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> entries{"fusewick"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            entries.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty()) entries.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& e : entries) argv.push_back(e.c_str());
    argv.push_back(nullptr);
    try {
        parseArgs(static_cast<int>(entries.size()), argv.data());
    } catch (const FuzzExit& e) {
        expectCode(e, {0, EXIT_USAGE});
    }
    return 0;
}
