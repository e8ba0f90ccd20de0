// play.cpp: a scheduled match through the match library.
#include "tournament/play.h"

#include "match/match.h"
#include "match/replay.h"

#include <stdexcept>

namespace tournament {

std::string replayPath(const std::string& dir, const std::string& id) { return dir + "/" + id + ".replay"; }

MatchLine playScheduled(const Field& field, const ScheduledMatch& match) {
    const Entrant& map = field.maps[static_cast<size_t>(match.map)];
    MatchSources sources;
    sources.map = SourceFile{map.path, map.text};
    MatchLine line;
    line.id = match.id;
    line.map = map.path;
    for (size_t s = 0; s < SEATS; ++s) {
        const Entrant& team = field.teams[static_cast<size_t>(match.seats[s])];
        sources.teams[s] = SourceFile{team.path, team.text};
        line.seats[s] = team.path;
    }
    const LoadedMatch loaded = loadMatchFrom(sources, defaultConfig());
    MatchResult result;
    if (field.replay_dir.empty()) {
        result = runMatch(loaded, field.max_ticks);
    } else {
        ReplayRecorder recorder(loaded, field.max_ticks);
        result = runMatch(loaded, field.max_ticks, &recorder);
        const std::string path = replayPath(field.replay_dir, match.id);
        if (!writeReplay(path, recorder.finish(result))) throw std::runtime_error("cannot write the replay " + path);
    }
    for (size_t s = 0; s < SEATS; ++s) {
        line.scores[s] = result.teams[s].score;
        line.winners[s] = result.teams[s].winner;
    }
    line.ticks = result.ticks;
    line.capped = result.capped;
    line.command = windowCommand(line.map, line.seats);
    return line;
}

}  // namespace tournament
