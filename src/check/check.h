// check.h: fusewick-check's reading of team files and maps: every problem of a file at once, as diagnostics with
// a place (line and column), a severity, a message and a hint.
//
// Errors are exactly the faults the game stops on: the files are read through the game's own readers (loaders.h),
// so a file gets an error if and only if the game refuses it, and its first error stands on the line where the game
// stops, with the game's message. After a fault the reading goes on as if the faulty line were mended or skipped, so
// later errors are likely ones. Warnings are what the game accepts but a writer hardly means: ignored text, counts
// read otherwise than they look, commands that never end, players without commands, maps with rows cut or filled.
#pragma once

#include "core/text_file.h"

#include <string>
#include <vector>

namespace check {

// A note is for information only: it never fails a check, not even with --werror.
enum class Severity { Error, Warning, Note };

struct Diagnostic {
    std::string file;  // as given
    int line = 1;      // counted from 1, as the game counts (skipped lines included)
    int column = 1;    // counted from 1, in bytes
    Severity severity = Severity::Error;
    std::string message;
    std::string hint;  // what to do about it, or empty
};

// All diagnostics of one team file, or of one map file, in line order.
std::vector<Diagnostic> checkTeamFile(const SourceFile& source);
std::vector<Diagnostic> checkMapFile(const SourceFile& source);

bool hasErrors(const std::vector<Diagnostic>& diagnostics);

// Warnings when two of the team files at `paths` show the same name on the scoreboard: the match's window could not
// tell the teams apart.
std::vector<Diagnostic> sharedScoreboardNames(const std::vector<std::string>& paths);

// Whether any diagnostic is an error or a warning (notes do not count).
bool hasWarningsOrErrors(const std::vector<Diagnostic>& diagnostics);

// One line per diagnostic, "file:line:column: error: message" (or warning, or note), each followed by a line
// "file:line:column: note: hint" when it has a hint: the form compilers use, which editors and CI read.
std::string formatText(const std::vector<Diagnostic>& diagnostics);

// A JSON array of objects with file, line, column, severity ("error", "warning" or "note"), message and hint (null when
// none). Bytes that are not UTF-8 are replaced.
std::string formatJson(const std::vector<Diagnostic>& diagnostics);

}  // namespace check
