// view_match.h: matches for the viewer's tests, loaded from texts: the bundled default arena with its default
// teams, one with a team of its own, and a player that never stops walking.
#pragma once

#include "match/match.h"
#include "support/test_support.h"

#include <string>

namespace fwtest {

inline SourceFile bundled(const std::string& name) {
    return {name, readFile(std::string(FUSEWICK_SOURCE_DIR) + "/" + name)};
}

// The default arena with default.fpl in every seat but the first, which plays `first` (default.fpl when empty).
inline LoadedMatch loadViewMatch(const std::string& first = "") {
    resetGlobals();
    MatchSources sources{bundled("default.map"), {bundled("default.fpl"), bundled("default.fpl"),
                                                  bundled("default.fpl"), bundled("default.fpl")}};
    if (!first.empty()) sources.teams[0] = {"first.fpl", first};
    return loadMatchFrom(sources, defaultConfig());
}

}  // namespace fwtest
