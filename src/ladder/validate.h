// validate.h: what the ladder accepts from a submitter before anything is stored: a team name, and a team file the
// game would load. The file is judged by the checker (check.h), whose errors are exactly the game's refusals, so a
// worker never meets a file that ends its process. No HTTP and no database in here.
#pragma once

#include "check/check.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ladder {

constexpr size_t MAX_TEAM_FILE_BYTES = 64 * 1024;
constexpr size_t MAX_NAME_LENGTH = 32;

// Why a name is refused, or nothing for a good one: 1 to 32 letters, digits, '-', '_' and '.'.
std::optional<std::string> nameProblem(std::string_view name);

bool isUtf8(std::string_view text);

enum class Verdict { Accepted, TooLarge, Unreadable, Refused };

struct FileCheck {
    Verdict verdict = Verdict::Accepted;
    std::string error;                         // for TooLarge and Unreadable: one sentence
    std::vector<check::Diagnostic> diagnostics;  // for Refused: the checker's errors (warnings left out)
};

// The team file as submitted under the team name `name`.
FileCheck checkSubmission(const std::string& name, const std::string& text);

}  // namespace ladder
