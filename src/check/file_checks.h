// file_checks.h: what the team and map checks share: a file the game cannot open, the pieces of overlong lines,
// the byte-order mark, the team's name on the scoreboard, and the order of the diagnostics.
#pragma once

#include "check/check.h"

#include <optional>
#include <string>
#include <vector>

namespace check {

inline constexpr const char* BYTE_ORDER_MARK = "\xEF\xBB\xBF";

enum class FileKind { Team, Map };

// The error for a file the game cannot open (missing, a folder, unreadable), with the game's message and exit code.
Diagnostic cannotOpen(const std::string& path, FileKind kind);

// Whether a piece the game read is the first part of a line longer than 255 characters, so that the next piece is
// the rest of that line.
bool isCutPiece(const std::string& piece);

// The team name as the scoreboard shows it: its first 8 characters, letters in capitals, anything else a gap.
std::string scoreboardText(const std::string& name);

// A warning (a note for a team in a folder, which shows under the folder's name) when the scoreboard shows the team of the file at `path` (named `name` by the game) otherwise than its
// writer may expect from the file's own name.
std::optional<Diagnostic> scoreboardNameWarning(const std::string& path, const std::string& name);

// Sorts by line; within a line the errors first, in the order found, then the warnings by column.
void sortByLine(std::vector<Diagnostic>& diagnostics);

}  // namespace check
