// check_fuzz.cpp: fuzzes the checker with the input as a team file and as a map, held in memory. It must not crash,
// and its verdict must be the game's: an error exactly when the reader refuses the file, the first on the line the
// reader names, and for a map a warning on every surplus row the reader drops. The reports must format.
#include "check/check.h"
#include "core/loaders.h"

#include <cstdlib>
#include <string>

namespace {

const check::Diagnostic* firstError(const std::vector<check::Diagnostic>& found) {
    for (const check::Diagnostic& d : found)
        if (d.severity == check::Severity::Error) return &d;
    return nullptr;
}

void agrees(const std::vector<check::Diagnostic>& found, const std::optional<LoadFault>& fault) {
    const check::Diagnostic* error = firstError(found);
    if ((error != nullptr) != fault.has_value()) std::abort();
    if (fault && fault->place == LoadFault::Place::Line && error->line != fault->line) std::abort();
    if (check::formatText(found).empty() != found.empty() || check::formatJson(found).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const SourceFile team{"fuzz.fpl", text};
    agrees(check::checkTeamFile(team), readTeam(team).fault);

    const SourceFile map{"fuzz.map", text};
    const std::vector<check::Diagnostic> found = check::checkMapFile(map);
    const MapRead read = readMap(map);
    agrees(found, read.fault);
    for (const LoadFault& notice : read.notices) {
        bool warned = false;
        for (const check::Diagnostic& d : found)
            warned = warned || (d.line == notice.line && d.severity == check::Severity::Warning);
        if (!warned) std::abort();
    }
    return 0;
}
