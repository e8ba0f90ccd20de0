// report.h: the tournament's standings as a web page to publish: the ranking with each rating's interval drawn, the
// standings per map, the head-to-head table with how often each pair met, and every match with its result, the
// command that shows it in the game's window and a link to its replay. The page loads nothing from elsewhere; past
// MATCHES_PER_PAGE matches the match list goes into pages of its own next to the report, so the report stays light
// for tens of thousands of matches. No game code in here: it works on result lines and standings.
#pragma once

#include "tournament/result_line.h"
#include "tournament/standings.h"

#include <string>
#include <vector>

namespace tournament {

inline constexpr size_t MATCHES_PER_PAGE = 1000;

struct ReportInput {
    const Standings* standings = nullptr;
    Presentation presentation;
    std::vector<MatchLine> matches;  // one per id
    std::string replay_dir;          // empty: no replays to link
    std::string site_dir;            // the browser viewer's site; empty: look for "site" next to the report
};

// The pages of the report at `path`: the first is the report itself, the others (when there are more than
// MATCHES_PER_PAGE matches) the match list, as path with "-matches-K.html" for ".html". Paths are as written.
struct ReportPage {
    std::string path;
    std::string html;
};
std::vector<ReportPage> buildReport(const std::string& path, const ReportInput& input);

// Where a match's replay link points from the report at `report_path`: the viewer's page with the replay as
// "#src=" when the site is there, else the replay file; relative to the report's folder.
std::string replayLink(const std::string& report_path, const std::string& replay_dir, const std::string& site_dir,
                       const std::string& id);

}  // namespace tournament
