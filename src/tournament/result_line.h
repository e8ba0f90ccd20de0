// result_line.h: one played match as one line of JSON, the unit of a tournament's results file.
//
// A results file holds one line per match, appended and flushed as each match ends, so a file cut off at any
// moment holds complete lines and at most one torn last line. Readers take every line that is a complete match
// result and set the rest aside; the same match (by id) counts once however often it appears.
#pragma once

#include "tournament/schedule.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tournament {

struct MatchLine {
    std::string id;
    std::string map;
    std::array<std::string, SEATS> seats;  // team file paths in seat order
    std::array<int, SEATS> scores{};
    std::array<bool, SEATS> winners{};
    uint64_t ticks = 0;
    bool capped = false;
    std::string command;  // the window's command line for this match

    // Which tournament and slice the match belongs to. Lines written before these were kept have none.
    struct Origin {
        Fingerprint tournament;
        Shard shard;
        uint64_t schedule_matches = 0;  // in the whole schedule
        uint64_t shard_matches = 0;     // in this slice of it

        bool operator==(const Origin&) const = default;
    };
    std::optional<Origin> origin;

    bool operator==(const MatchLine&) const = default;
};

// The line, without its line feed. Keys in a fixed order, so the same match always gives the same bytes.
std::string formatLine(const MatchLine& line);

// A line of a results file (line feed and carriage return at the end allowed), or nothing when it is not a whole
// match result: not JSON, a key missing or of the wrong type, not four seats, scores and winners, an empty id.
std::optional<MatchLine> parseLine(std::string_view text);

struct ResultsRead {
    std::vector<MatchLine> lines;   // in file order, repeats included
    std::vector<int> rejected;      // numbers (from 1) of the lines that are not match results
    bool torn_end = false;          // the last line has no line feed: cut off while written, not a result
    uint64_t complete_bytes = 0;    // bytes up to and including the last line feed
};

ResultsRead readResults(std::string_view content);

// One result per id. When two lines of one id differ (results of another build, say), the smallest line in byte
// order is kept, whatever the order of the files; `conflicts` gets the ids.
std::vector<MatchLine> dedupe(const std::vector<MatchLine>& lines, std::vector<std::string>* conflicts = nullptr);
// Lines in strictly rising id order: no id twice, and dedupe gives them back as they are.
bool inRisingIdOrder(const std::vector<MatchLine>& lines);

}  // namespace tournament
