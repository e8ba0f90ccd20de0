// replay_fuzz.cpp: fuzzes the replay reader. Any bytes are refused with a reason or read into a replay that writes
// back to a document which reads back the same; a replay that reads is loaded and checked for a bounded number of
// ticks, its files refused the game's way or played.
#include "fuzz_support.h"
#include "match/replay.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ReplayRead read = parseReplay(text);
    if (!read.replay) {
        if (read.error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const std::string written = replayText(*read.replay);
    const ReplayRead again = parseReplay(written);
    if (!again.replay || replayText(*again.replay) != written) std::abort();

    try {
        const LoadedMatch match = loadMatchFrom(read.replay->sources, read.replay->options);
        ReplayChecker checker(*read.replay);
        const uint64_t cap = read.replay->max_ticks < 2000 ? read.replay->max_ticks : 2000;
        checker.verdict(runMatch(match, cap, &checker));
    } catch (const FuzzExit& e) {
        expectCode(e, {EXIT_MAP_MISSING, EXIT_MAP_INVALID, EXIT_TEAM_MISSING, EXIT_TEAM_INVALID});
    }
    return 0;
}
