// ratings.h: the ladder's standings and its choice of the next matches.
//
// Ratings are the tournament's fit (tournament/standings.h) over every played match, each version of a team an
// entrant of its own: a new version starts afresh, and the matches of earlier versions and of withdrawn teams stay
// in the fit and so in the others' ratings. The standings show the current version of every active team.
//
// The next matches: a version that has played fewer than its placement matches goes first, with the teams that have
// played least; after that the version whose interval is widest is seated with the three closest to it in rating,
// seats rotated and maps in turn. Nothing is queued once every interval is narrower than the set width or the match
// budget is spent. No HTTP and no game state in here.
#pragma once

#include "ladder/store.h"

#include "tournament/standings.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ladder {

struct Rating {
    double rating = 0, low = 0, high = 0;
    uint64_t matches = 0;  // seats taken by this version in played matches
    bool rated = false;    // it has results that are not all ended by the tick cap
};

struct Standing {
    Team team;
    Rating rating;
};

struct HeadToHeadRow {
    int64_t opponent = 0;
    std::string name;
    uint64_t meetings = 0, ahead = 0, tied = 0, behind = 0;
};

struct LadderStandings {
    uint64_t matches = 0;
    std::vector<Standing> teams;  // rated teams by rating, then the others by name
    tournament::Standings fit;    // entrants named "v<version id>"
    std::map<int64_t, int64_t> team_of_version;
    std::map<int64_t, std::string> team_names;

    // The ratings of a version, when it has played.
    std::optional<Rating> ratingOf(int64_t version_id) const;
    // Meetings of any version of `team_id` with any version of each other team.
    std::vector<HeadToHeadRow> headToHead(int64_t team_id) const;
};

std::string entrantOf(int64_t version_id);

// A refit from the stored results.
LadderStandings computeLadderStandings(Db& db);

// The played matches as one process's refits have read them. A played match never changes, so each refit reads
// only the matches finished since the one before: a worker refits often, and reading every match each time cost it
// more than fitting them.
struct PlayedSoFar {
    std::vector<tournament::MatchLine> lines;  // in match id order, as the fit takes them
    std::vector<int64_t> ids;                  // their match ids, in the same order
    std::map<int64_t, uint64_t> seats_played;  // per version, the seats it took in these matches
    std::map<int64_t, int64_t> team_of_version;
    std::map<int64_t, std::string> team_names;
    int64_t unsettled_from = 1;  // matches from this id up were still waiting at the last read
};
// The same refit, reading only what `so_far` lacks and adding it there.
LadderStandings computeLadderStandings(Db& db, PlayedSoFar& so_far);

// The active teams ranked by a fit: rated ones by rating, then the others by name. A server keeps one fit for a
// while and ranks the teams as they are now with it.
std::vector<Standing> rankTeams(const LadderStandings& fitted, const std::vector<Team>& active);

// Queues matches until `settings.batch` are waiting; the number queued. One process at a time decides (the
// transaction holds the write lock); a call that finds enough waiting does nothing.
int scheduleMatches(Db& db, const Settings& settings, PlayedSoFar* so_far = nullptr);

// The groups for `count` matches, as version ids, given the standings and what each version has played or has
// waiting; pure, for the tests.
struct Candidate {
    int64_t version_id = 0;
    uint64_t played = 0;  // played and queued
    std::optional<Rating> rating;
};
std::vector<std::array<int64_t, SEATS>> chooseGroups(std::vector<Candidate> candidates, const Settings& settings,
                                                     int count);

}  // namespace ladder
