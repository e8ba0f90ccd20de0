// merge_fuzz.cpp: fuzzes the reader of results files that `fusewick-tournament merge` and --resume use, and the
// standings made from what it accepts. Any bytes: every accepted line is written back to the same line, the lines
// accepted and refused and the torn end account for the whole input, and the standings come out in one piece.
#include "tournament/result_line.h"
#include "tournament/standings.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tournament::ResultsRead read = tournament::readResults(text);
    if (read.complete_bytes > size) std::abort();
    if (read.torn_end != (read.complete_bytes < size)) std::abort();
    for (const tournament::MatchLine& line : read.lines) {
        const auto again = tournament::parseLine(tournament::formatLine(line));
        if (!again || !(*again == line)) std::abort();
    }
    const auto unique = tournament::dedupe(read.lines);
    const tournament::Standings standings = tournament::computeStandings(read.lines);
    if (standings.matches != unique.size()) std::abort();
    if (tournament::standingsTable(standings).empty() || tournament::standingsJson(standings).empty()) std::abort();
    return 0;
}
