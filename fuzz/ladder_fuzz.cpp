// ladder_fuzz.cpp: fuzzes what the ladder reads from submitters and from its database: the input's first line as a
// team name, the rest as a submitted team file, and the whole as a stored replay's compressed bytes. It must not
// crash; a name it accepts holds only the allowed characters; a file it accepts is one the game loads; escaped text
// holds no markup; a replay it cannot read comes back empty.
#include "ladder/pages.h"
#include "ladder/validate.h"
#include "ladder/worker.h"

#include "core/loaders.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t line_end = input.find('\n');
    const std::string name = input.substr(0, line_end);
    const std::string file = line_end == std::string::npos ? "" : input.substr(line_end + 1);

    if (!ladder::nameProblem(name) &&
        (name.empty() || name.size() > ladder::MAX_NAME_LENGTH ||
         name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.") !=
             std::string::npos))
        std::abort();

    const ladder::FileCheck checked = ladder::checkSubmission("fuzz", file);
    if (checked.verdict == ladder::Verdict::Accepted) {
        if (!ladder::isUtf8(file) || readTeam(SourceFile{"fuzz.fpl", file}).fault) std::abort();
    }
    if (checked.verdict == ladder::Verdict::Refused && checked.diagnostics.empty()) std::abort();

    const std::string escaped = ladder::escapeHtml(input);
    if (escaped.find_first_of("<>\"'") != std::string::npos) std::abort();

    (void)ladder::decompressReplay(input);
    return 0;
}
