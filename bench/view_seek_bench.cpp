// view_seek_bench.cpp: how long the viewer takes to show a tick of a 100,000-tick match: the first pass that plays
// the match and keeps its snapshots, and a seek to the last tick and to the worst tick (one before a snapshot, so
// that 999 ticks are played on from the snapshot before it), from tick 0.
//
// Two long matches on the default arena, built in memory: every player waits 12,500 cells' time and then turns
// (the match ends after tick 100,001), or every player walks one cell out and back 6,250 times (16 players moving
// at every tick). Not a test: nothing is checked.
#include "view/timeline.h"

#include "core/utils.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

std::string bundled(const std::string& name) {
    std::ifstream in(std::string(FUSEWICK_SOURCE_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string longTeam(bool walking) {
    std::string text = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
    for (int p = 1; p <= 4; ++p) {
        const std::string P = "P" + std::to_string(p);
        if (!walking) {
            text += P + ".WAIT 12500\n" + P + ".LEFT\n";
            continue;
        }
        for (int i = 0; i < 6250; ++i) text += P + ".MOVE 1\n" + P + ".REVERSE\n" + P + ".MOVE 1\n" + P + ".REVERSE\n";
    }
    return text;
}

struct LongMatch {
    LoadedMatch loaded;
    std::unique_ptr<MatchTimeline> timeline;
};

LongMatch& longMatch(bool walking) {
    static std::unique_ptr<LongMatch> matches[2];
    auto& m = matches[walking ? 1 : 0];
    if (!m) {
        m = std::make_unique<LongMatch>();
        const SourceFile team{"long.fpl", longTeam(walking)};
        m->loaded = loadMatchFrom({{"default.map", bundled("default.map")}, {team, team, team, team}}, defaultConfig());
        m->timeline = std::make_unique<MatchTimeline>(m->loaded);
    }
    return *m;
}

void BM_FirstPass(benchmark::State& state) {
    const bool walking = state.range(0) == 1;
    LongMatch& m = longMatch(walking);
    for (auto _ : state) {
        const MatchTimeline timeline(m.loaded);
        benchmark::DoNotOptimize(timeline.lastTick());
    }
    state.counters["ticks"] = static_cast<double>(m.timeline->lastTick());
    state.SetLabel(walking ? "walking" : "waiting");
}
BENCHMARK(BM_FirstPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Seeks from tick 0 to the last tick (Arg 0) or to the tick before the last snapshot (Arg 1).
void BM_Seek(benchmark::State& state) {
    const bool walking = state.range(1) == 1;
    MatchTimeline& timeline = *longMatch(walking).timeline;
    const uint64_t last = timeline.lastTick();
    const uint64_t target = state.range(0) == 0 ? last : last / MatchTimeline::DEFAULT_SNAPSHOT_INTERVAL *
                                                                  MatchTimeline::DEFAULT_SNAPSHOT_INTERVAL - 1;
    for (auto _ : state) {
        state.PauseTiming();
        timeline.seek(0);
        state.ResumeTiming();
        timeline.seek(target);
        benchmark::DoNotOptimize(game.score);
    }
    state.counters["tick"] = static_cast<double>(target);
    state.SetLabel(std::string(walking ? "walking" : "waiting") + (state.range(0) == 0 ? ", last tick" : ", worst tick"));
}
BENCHMARK(BM_Seek)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
