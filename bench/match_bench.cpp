// match_bench.cpp: what watching a match costs. Whole matches with and without a trace (text and JSON Lines,
// written to /dev/null), with a replay being recorded, and a replay being checked; on the default match and on a
// 100,000-tick match. Items are ticks. Not a test: nothing is checked.
#include "match/replay.h"
#include "match/trace.h"

#include "match/quiet_stdout.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {


MatchSources defaultMatch() {
    MatchSources s{{FUSEWICK_SOURCE_DIR "/default.map", std::nullopt}, {}};
    for (auto& team : s.teams) team.path = FUSEWICK_SOURCE_DIR "/default.fpl";
    return readIntoMemory(s);
}

// Player 1.1 faces the top edge and walks into it for 12,500 cells: 100,000 ticks of a CAPTAIN; the others idle.
MatchSources longMatch() {
    MatchSources s = defaultMatch();
    s.teams[0] = {"long.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\nP1.REVERSE\nP1.MOVE 12500\n"};
    for (size_t t = 1; t < TEAM_COUNT; ++t) s.teams[t] = {"idle.fpl", "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n"};
    return s;
}

enum class Watch { None, TextTrace, JsonTrace, Record, Check };

void playMatch(benchmark::State& state, const MatchSources& sources, Watch watch) {
    QuietStdout silent;
    std::FILE* null = std::fopen("/dev/null", "w");
    Replay replay;
    if (watch == Watch::Check) {
        const LoadedMatch match = loadMatchFrom(sources, defaultConfig());
        ReplayRecorder recorder(match, DEFAULT_MAX_TICKS);
        replay = recorder.finish(runMatch(match, DEFAULT_MAX_TICKS, &recorder));
    }
    int64_t ticks = 0;
    for (auto _ : state) {
        const LoadedMatch match = loadMatchFrom(sources, defaultConfig());
        MatchResult result;
        switch (watch) {
        case Watch::None: result = runMatch(match); break;
        case Watch::TextTrace:
        case Watch::JsonTrace: {
            TraceWriter trace(null, watch == Watch::TextTrace ? TraceFormat::Text : TraceFormat::JsonLines,
                              TracePlayers::all());
            result = runMatch(match, DEFAULT_MAX_TICKS, &trace);
            trace.matchEnded(result);
            break;
        }
        case Watch::Record: {
            ReplayRecorder recorder(match, DEFAULT_MAX_TICKS);
            result = runMatch(match, DEFAULT_MAX_TICKS, &recorder);
            benchmark::DoNotOptimize(replayText(recorder.finish(result)));
            break;
        }
        case Watch::Check: {
            ReplayChecker checker(replay);
            result = runMatch(match, replay.max_ticks, &checker);
            if (checker.verdict(result)) state.SkipWithError("the replay did not reproduce");
            break;
        }
        }
        ticks += static_cast<int64_t>(result.ticks);
    }
    std::fclose(null);
    state.SetItemsProcessed(ticks);
}

void BM_DefaultMatch(benchmark::State& s, Watch w) { playMatch(s, defaultMatch(), w); }
void BM_LongMatch(benchmark::State& s, Watch w) { playMatch(s, longMatch(), w); }

BENCHMARK_CAPTURE(BM_DefaultMatch, plain, Watch::None)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DefaultMatch, text_trace, Watch::TextTrace)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DefaultMatch, json_trace, Watch::JsonTrace)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DefaultMatch, record, Watch::Record)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DefaultMatch, replay_check, Watch::Check)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongMatch, plain, Watch::None)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongMatch, json_trace, Watch::JsonTrace)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongMatch, replay_check, Watch::Check)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
