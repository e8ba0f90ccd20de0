// data_files.h: where a program finds a data file (map, team file, sprite) that the working directory lacks.
//
// A program that runs from its installed place (its binary in PREFIX/bin beside an existing PREFIX/share/fusewick)
// looks for a relative path it cannot find in the data folder, then in its maps/ and teams/ folders; FUSEWICK_DATA
// names another data folder and is honoured from anywhere. A program that is neither installed nor given
// FUSEWICK_DATA (the build tree, the tests, scripts/play) opens every path exactly as given.
// Only the file that is opened changes: messages, team names, replays and results keep the path as given.
// No OpenGL, no global records.
#pragma once

#include <optional>
#include <string>

// The path to open for `path`: `path` itself when it exists or no data folder applies, else the first of
// <data>/<path>, <data>/maps/<path>, <data>/teams/<path> that exists, else `path` again (so that a missing file is
// reported as it always was).
std::string findDataFile(const std::string& path);

// The data folder this process looks in: FUSEWICK_DATA when set and not empty, else the installed folder when the
// program runs from its installed place, else nothing.
const std::optional<std::string>& dataFolder();

// The data folder for a given FUSEWICK_DATA value and program location (the binary's own path), for tests.
std::optional<std::string> dataFolderFor(const char* data_variable, const std::string& executable);

// findDataFile against a given data folder, for tests.
std::string findDataFileIn(const std::string& path, const std::optional<std::string>& folder);
