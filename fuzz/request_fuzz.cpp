// request_fuzz.cpp: fuzzes the match request reader of the browser build. Any bytes are refused with a reason or
// read into a request whose files the game loads without ending the process: the pure readers that the module
// relies on agree with the loaders. A request that reads is played for a bounded number of ticks.
#include "fuzz_support.h"
#include "match/match_request.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MatchRequestRead read = readMatchRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.request) {
        if (read.error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    try {
        const MatchRequest& r = *read.request;
        const LoadedMatch match = loadMatchFrom(r.sources, requestConfig(r.sources));
        runMatch(match, r.max_ticks < 2000 ? r.max_ticks : 2000);
    } catch (const FuzzExit&) {
        std::abort();  // the module would have ended here
    }
    return 0;
}
