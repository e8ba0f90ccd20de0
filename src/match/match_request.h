// match_request.h: a match asked for as texts (the browser's playground and window.fusewick.record): the request's
// reading, and the check of a match's files with the game's pure readers before anything loads them, so that a
// program that must live on (the WebAssembly module) never reaches a loader that would end it.
//
// A request is one JSON object: "map" (the map's text), "teams" (the four team files' texts), optionally "names"
// (the map's and the four team files' names as the game shows them; default.map and t1.fpl .. t4.fpl) and
// "maxTicks" (a whole number from 1, the cap; DEFAULT_MAX_TICKS when left out). No OpenGL in here.
#pragma once

#include "match/match.h"

#include <optional>
#include <string>
#include <string_view>

// The first fault the game would stop on when loading these sources, in its words, on one line with the place:
// "Error compiling t1.fpl, line 3: Invalid player type specification". Nothing when every file loads.
std::optional<std::string> firstLoadFault(const MatchSources& sources);

struct MatchRequest {
    MatchSources sources;  // every text in memory
    uint64_t max_ticks = DEFAULT_MAX_TICKS;
};

// The request read, or why it cannot be: a request that is not one, or the first fault of its files.
struct MatchRequestRead {
    std::optional<MatchRequest> request;
    std::string error;
};
MatchRequestRead readMatchRequest(std::string_view json);

// The configuration a match of these sources loads with: the default options, the sources' names.
Config requestConfig(const MatchSources& sources);
