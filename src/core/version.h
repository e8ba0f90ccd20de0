// version.h: the two versions the programs speak of.
//
// PROGRAM_VERSION is the release, set once in the top CMakeLists.txt (project VERSION) and printed by every tool's
// --version, written into results and replays. ENGINE_VERSION names the rules of play: it changes only when a change
// to the engine makes an existing match play differently, so a replay or a ladder worker of another engine version is
// told apart from one that diverges. Faster code that keeps every result bit keeps the engine version.
#pragma once

#ifndef FUSEWICK_VERSION
#error "FUSEWICK_VERSION is set by the build (project VERSION in CMakeLists.txt)"
#endif

constexpr const char* PROGRAM_VERSION = FUSEWICK_VERSION;
constexpr int ENGINE_VERSION = 1;
