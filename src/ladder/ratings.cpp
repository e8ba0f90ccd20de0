// ratings.cpp: the refit of the standings from the stored results, and the scheduler.
#include "ladder/ratings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ladder {

namespace {

tournament::MatchLine lineOf(const Match& m) {
    tournament::MatchLine line;
    char id[24];
    std::snprintf(id, sizeof id, "%016lld", static_cast<long long>(m.id));  // id order is the number's order
    line.id = id;
    line.map = m.map;
    for (size_t s = 0; s < SEATS; ++s) {
        line.seats[s] = entrantOf(m.seats[s].version_id);
        line.scores[s] = m.seats[s].score;
        line.winners[s] = m.seats[s].winner;
    }
    line.ticks = m.ticks;
    line.capped = m.capped;
    return line;
}

int64_t versionOfEntrant(const std::string& entrant) { return std::atoll(entrant.c_str() + 1); }

double widthOf(const Candidate& c) {
    if (!c.rating || !c.rating->rated) return std::numeric_limits<double>::infinity();
    return c.rating->high - c.rating->low;
}

double ratingOf(const Candidate& c) { return c.rating && c.rating->rated ? c.rating->rating : 1500.0; }

}  // namespace

std::string entrantOf(int64_t version_id) { return "v" + std::to_string(version_id); }

std::optional<Rating> LadderStandings::ratingOf(int64_t version_id) const {
    const std::string name = entrantOf(version_id);
    for (const tournament::TeamStanding& t : fit.teams)
        if (t.team == name) return Rating{t.rating, t.low, t.high, t.played, t.rated};
    return std::nullopt;
}

std::vector<HeadToHeadRow> LadderStandings::headToHead(int64_t team_id) const {
    std::map<int64_t, HeadToHeadRow> rows;
    for (const tournament::HeadToHead& p : fit.pairs) {
        const auto own = team_of_version.find(versionOfEntrant(p.team));
        const auto other = team_of_version.find(versionOfEntrant(p.opponent));
        if (own == team_of_version.end() || other == team_of_version.end() || own->second != team_id ||
            other->second == team_id)
            continue;
        HeadToHeadRow& row = rows[other->second];
        row.opponent = other->second;
        const auto name = team_names.find(other->second);
        row.name = name == team_names.end() ? "" : name->second;
        row.meetings += p.meetings;
        row.ahead += p.ahead;
        row.tied += p.tied;
        row.behind += p.behind;
    }
    std::vector<HeadToHeadRow> out;
    for (auto& [id, row] : rows) out.push_back(row);
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.meetings > b.meetings; });
    return out;
}

LadderStandings computeLadderStandings(Db& db) {
    LadderStandings out;
    const std::vector<Match> played = allPlayed(db);
    std::vector<tournament::MatchLine> lines;
    lines.reserve(played.size());
    for (const Match& m : played) {
        lines.push_back(lineOf(m));
        for (const Seat& s : m.seats) {
            out.team_of_version[s.version_id] = s.team_id;
            out.team_names[s.team_id] = s.team;
        }
    }
    out.matches = played.size();
    if (!lines.empty()) out.fit = tournament::computeStandings(lines);
    const std::vector<Team> active = activeTeams(db);
    for (const Team& team : active) out.team_names[team.id] = team.name;
    out.teams = rankTeams(out, active);
    return out;
}

namespace {

// Adds a played match to what a process has read, in id order; one read before is left as it is.
void addPlayed(PlayedSoFar& so_far, const Match& m) {
    const auto at = std::lower_bound(so_far.ids.begin(), so_far.ids.end(), m.id);
    if (at != so_far.ids.end() && *at == m.id) return;
    const auto index = at - so_far.ids.begin();
    so_far.ids.insert(at, m.id);  // at the end but for a match that finished after later ones
    so_far.lines.insert(so_far.lines.begin() + index, lineOf(m));
    for (const Seat& s : m.seats) {
        ++so_far.seats_played[s.version_id];
        so_far.team_of_version[s.version_id] = s.team_id;
        so_far.team_names[s.team_id] = s.team;
    }
}

}  // namespace

LadderStandings computeLadderStandings(Db& db, PlayedSoFar& so_far) {
    // The frontier first: whatever lies below it has settled before the matches are read.
    const int64_t unsettled = unsettledFrom(db);
    for (const Match& m : playedFrom(db, so_far.unsettled_from)) addPlayed(so_far, m);
    so_far.unsettled_from = std::max(so_far.unsettled_from, unsettled);
    LadderStandings out;
    out.team_of_version = so_far.team_of_version;
    out.team_names = so_far.team_names;
    out.matches = so_far.lines.size();
    if (!so_far.lines.empty()) out.fit = tournament::computeStandings(so_far.lines);
    const std::vector<Team> active = activeTeams(db);
    for (const Team& team : active) out.team_names[team.id] = team.name;
    out.teams = rankTeams(out, active);
    return out;
}

std::vector<Standing> rankTeams(const LadderStandings& fitted, const std::vector<Team>& active) {
    std::vector<Standing> out;
    out.reserve(active.size());
    for (const Team& team : active) out.push_back({team, fitted.ratingOf(team.version_id).value_or(Rating{})});
    std::stable_sort(out.begin(), out.end(), [](const Standing& a, const Standing& b) {
        if (a.rating.rated != b.rating.rated) return a.rating.rated;
        if (a.rating.rated && a.rating.rating != b.rating.rating) return a.rating.rating > b.rating.rating;
        return a.team.name < b.team.name;
    });
    return out;
}

std::vector<std::array<int64_t, SEATS>> chooseGroups(std::vector<Candidate> candidates, const Settings& settings,
                                                     int count) {
    std::vector<std::array<int64_t, SEATS>> groups;
    if (candidates.size() < 2) return groups;
    const auto placing = [&](const Candidate& c) { return c.played < static_cast<uint64_t>(settings.placement); };
    for (int k = 0; k < count; ++k) {
        std::vector<size_t> order(candidates.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        size_t anchor = 0;
        const auto least_played = std::min_element(order.begin(), order.end(), [&](size_t a, size_t b) {
            return candidates[a].played < candidates[b].played;
        });
        if (placing(candidates[*least_played])) {
            anchor = *least_played;
            // Placement: the anchor against those that have played least, so every newcomer meets the field.
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                return candidates[a].played < candidates[b].played;
            });
        } else {
            // The interval that a match narrows most: the widest, shrunk by the matches already chosen for it.
            const auto effective = [&](size_t i) {
                const Candidate& c = candidates[i];
                const uint64_t done = c.rating ? c.rating->matches : 0;
                const double m = static_cast<double>(std::max<uint64_t>(done, 1));
                const double waiting = static_cast<double>(c.played > done ? c.played - done : 0);
                return widthOf(c) * std::sqrt(m / (m + waiting));
            };
            anchor = *std::max_element(order.begin(), order.end(),
                                       [&](size_t a, size_t b) { return effective(a) < effective(b); });
            if (widthOf(candidates[anchor]) < settings.width) break;
            const double centre = ratingOf(candidates[anchor]);
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                return std::abs(ratingOf(candidates[a]) - centre) < std::abs(ratingOf(candidates[b]) - centre);
            });
        }
        std::vector<size_t> chosen{anchor};
        for (size_t i : order)
            if (chosen.size() < SEATS && i != anchor) chosen.push_back(i);
        // Fewer than four teams: the seats are filled by taking the chosen ones again in turn.
        for (size_t i = 0; chosen.size() < SEATS; ++i) chosen.push_back(chosen[i]);
        std::array<int64_t, SEATS> group{};
        for (size_t s = 0; s < SEATS; ++s) {
            group[s] = candidates[chosen[s]].version_id;
            ++candidates[chosen[s]].played;
        }
        groups.push_back(group);
    }
    return groups;
}

// The batch grows with the ladder: a refit reads every played match, so refitting after every 1/16 of them keeps
// its cost per match the same however long the ladder has run. Queued at half a batch left, that is a refit per
// 1/16 of the ladder: ratings a few percent of the matches behind choose the groups, and the refit stays a small
// share of a worker's time.
int64_t batchSize(const Settings& settings, int64_t last_id) { return std::max<int64_t>(settings.batch, last_id / 8); }

int64_t batchSize(Db& db, const Settings& settings) {
    return batchSize(settings, db.run("SELECT MAX(id) FROM matches").number(0));  // an index look, not a count
}

constexpr int64_t SCHEDULING_TURN_SECONDS = 60;  // a turn whose holder died lapses after this

// At most how many matches wait, in one statement of index looks: matches are queued with rising ids and claimed
// oldest first, so the queued ones lie between the lowest and the highest queued id (those cancelled in that span
// make it more than there are), and the claimed ones are few. Counting the queue itself would walk half a batch,
// and the batch grows with the ladder. Also the highest id, for the batch's size.
struct QueueLook {
    int64_t waiting_at_most = 0;
    int64_t last_id = 0;
};
QueueLook lookAtQueue(Db& db) {
    const Row row = db.run("SELECT (SELECT MIN(id) FROM matches WHERE state = 'queued'), "
                           "(SELECT MAX(id) FROM matches WHERE state = 'queued'), "
                           "(SELECT COUNT(*) FROM matches WHERE state = 'claimed'), (SELECT MAX(id) FROM matches)")
                        .rows.at(0);
    const int64_t queued = row.at(0) ? toInt(row.at(1)) - toInt(row.at(0)) + 1 : 0;
    return {queued + toInt(row.at(2)), toInt(row.at(3))};
}

// Per version, the matches played or waiting: one pass over the matches for all versions.
std::map<int64_t, uint64_t> seatsTaken(Db& db) {
    std::map<int64_t, uint64_t> taken;
    const Result r = db.run(
        "SELECT v, COUNT(*) FROM (SELECT v1 AS v FROM matches WHERE state IN ('queued', 'claimed', 'done') "
        "UNION ALL SELECT v2 FROM matches WHERE state IN ('queued', 'claimed', 'done') "
        "UNION ALL SELECT v3 FROM matches WHERE state IN ('queued', 'claimed', 'done') "
        "UNION ALL SELECT v4 FROM matches WHERE state IN ('queued', 'claimed', 'done')) s GROUP BY v");
    for (const Row& row : r.rows) taken[toInt(row[0])] = static_cast<uint64_t>(toInt(row[1]));
    return taken;
}

// The same from what a refit has just read, and the matches waiting (a look along the index on state): a pass over
// every match per batch would cost a long-running ladder more than its refits.
std::map<int64_t, uint64_t> seatsTaken(Db& db, const PlayedSoFar& so_far) {
    std::map<int64_t, uint64_t> taken = so_far.seats_played;
    for (const Row& row : db.run("SELECT v1, v2, v3, v4 FROM matches WHERE state IN ('queued', 'claimed')").rows)
        for (const auto& v : row) ++taken[toInt(v)];
    return taken;
}

int scheduleMatches(Db& db, const Settings& settings, PlayedSoFar* so_far) {
    // A cheap look without the write lock first: most calls find enough waiting. Matches are queued when half the
    // batch is left, so workers never wait for the refit. A queue that looks fuller than it is (matches cancelled
    // in it) is refilled when it runs dry: the worker that finds nothing to claim looks again.
    const QueueLook look = lookAtQueue(db);
    const int64_t waiting_now = look.waiting_at_most;
    if (waiting_now * 2 >= batchSize(settings, look.last_id)) return 0;
    // One process refits while the others play what still waits: two refits at once would choose the same batch
    // and one would be thrown away. An empty queue is refilled by whoever finds it so, turn or not, so that a turn
    // whose holder died stops no one.
    const bool turn = takeSchedulingTurn(db, SCHEDULING_TURN_SECONDS);
    if (!turn && waiting_now > 0) return 0;
    // A spent budget needs no refit to say so (a count of every match: only the process whose turn it is).
    if (db.run("SELECT COUNT(*) FROM matches WHERE state <> 'cancelled'").number() >=
        static_cast<int64_t>(settings.budget)) {
        if (turn) endSchedulingTurn(db);
        return 0;
    }
    const LadderStandings standings = so_far ? computeLadderStandings(db, *so_far) : computeLadderStandings(db);
    // What each version has played or has waiting is read before the write lock is taken, for the other workers
    // wait for that lock to store their results. Should another process queue matches meanwhile, the count of
    // those waiting, taken under the lock, finds the queue full and nothing is queued on this view. The teams and
    // maps are read under the lock: a version replaced meanwhile is never queued.
    const std::map<int64_t, uint64_t> taken = so_far ? seatsTaken(db, *so_far) : seatsTaken(db);
    Transaction tx(db);
    if (db.dialect() == Dialect::Postgres) db.run("SELECT pg_advisory_xact_lock(7412)");
    if (turn) endSchedulingTurn(db);
    const int64_t waiting = db.run("SELECT COUNT(*) FROM matches WHERE state IN ('queued', 'claimed')").number();
    const int64_t total = db.run("SELECT COUNT(*) FROM matches WHERE state NOT IN ('cancelled')").number();
    const std::vector<MapEntry> maps = activeMaps(db);
    const int64_t batch = batchSize(db, settings);
    const int64_t room = static_cast<int64_t>(settings.budget) - total;
    const int count = static_cast<int>(std::min<int64_t>(batch - waiting, room));
    if (waiting * 2 >= batch || maps.empty() || count <= 0) {
        tx.commit();  // the turn given back
        return 0;
    }

    std::vector<Candidate> candidates;
    for (const Team& team : activeTeams(db)) {
        const auto seats = taken.find(team.version_id);
        candidates.push_back(
            {team.version_id, seats == taken.end() ? 0 : seats->second, standings.ratingOf(team.version_id)});
    }
    const std::vector<std::array<int64_t, SEATS>> groups = chooseGroups(candidates, settings, count);
    for (size_t k = 0; k < groups.size(); ++k) {
        const int64_t turn_of_ladder = total + static_cast<int64_t>(k);
        // Seats rotated and maps in turn, counted over the whole ladder.
        std::array<int64_t, SEATS> seated{};
        for (size_t s = 0; s < SEATS; ++s) seated[s] = groups[k][(s + static_cast<size_t>(turn_of_ladder)) % SEATS];
        queueMatch(db, maps[static_cast<size_t>(turn_of_ladder) % maps.size()].id, seated);
    }
    tx.commit();
    return static_cast<int>(groups.size());
}

}  // namespace ladder
