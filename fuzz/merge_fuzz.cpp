// merge_fuzz.cpp: fuzzes the reader of results files that `fusewick-tournament merge` and --resume use, and the
// standings made from what it accepts. Any bytes: every accepted line is written back to the same line, the lines
// accepted and refused and the torn end account for the whole input, and the standings come out in one piece, in
// every published form (per map too) and as a report.
#include "tournament/report.h"
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
    tournament::Presentation presentation;
    presentation.by_map = tournament::standingsByMap(read.lines);
    if (tournament::publishedTable(standings, presentation).empty() ||
        tournament::publishedJson(standings, presentation).empty() ||
        tournament::standingsCsv(standings, presentation).empty())
        std::abort();
    const tournament::ReportInput input{&standings, presentation, unique, "replays", ""};
    if (tournament::buildReport("report.html", input).empty()) std::abort();
    return 0;
}
