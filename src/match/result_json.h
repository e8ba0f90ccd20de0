// result_json.h: a match result as a JSON document, for scripts and for the tools that collect many results.
// The keys are documented in the README; a key keeps its meaning from one schema version to the next.
#pragma once

#include "core/version.h"
#include "match/match.h"

#include <nlohmann/json.hpp>

// Bumped when a key changes its meaning or goes away; new keys do not bump it.
constexpr int RESULT_SCHEMA_VERSION = 2;

nlohmann::ordered_json resultJson(const MatchResult& result);
