// store.cpp: the ladder's tables and every statement that reads or writes them.
#include "ladder/store.h"

#include "core/version.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cerrno>
#include <random>
#include <sodium.h>

namespace ladder {

namespace {

// Numbered steps of the schema; a database records the last one applied. Never edit a step once released: add one.
const std::vector<std::string> MIGRATIONS = {
    R"(CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE maps (id {id}, name TEXT NOT NULL UNIQUE, source TEXT NOT NULL, active INTEGER NOT NULL DEFAULT 1);
CREATE TABLE teams (id {id}, name TEXT NOT NULL, name_key TEXT NOT NULL UNIQUE, token_hash TEXT NOT NULL,
  created_at BIGINT NOT NULL, withdrawn_at BIGINT, version_id BIGINT);
CREATE TABLE versions (id {id}, team_id BIGINT NOT NULL REFERENCES teams(id), number INTEGER NOT NULL,
  source TEXT NOT NULL, created_at BIGINT NOT NULL);
CREATE TABLE matches (id {id}, map_id BIGINT NOT NULL REFERENCES maps(id),
  v1 BIGINT NOT NULL REFERENCES versions(id), v2 BIGINT NOT NULL REFERENCES versions(id),
  v3 BIGINT NOT NULL REFERENCES versions(id), v4 BIGINT NOT NULL REFERENCES versions(id),
  t1 BIGINT NOT NULL, t2 BIGINT NOT NULL, t3 BIGINT NOT NULL, t4 BIGINT NOT NULL,
  state TEXT NOT NULL DEFAULT 'queued', claim TEXT, lease_until BIGINT, attempts INTEGER NOT NULL DEFAULT 0,
  worker TEXT, created_at BIGINT NOT NULL, finished_at BIGINT, engine INTEGER,
  s1 INTEGER, s2 INTEGER, s3 INTEGER, s4 INTEGER, winners INTEGER, ticks BIGINT, capped INTEGER);
CREATE INDEX matches_by_state ON matches (state, id);
CREATE INDEX matches_by_finish ON matches (finished_at);
CREATE TABLE replays (match_id BIGINT PRIMARY KEY REFERENCES matches(id), data {bytes} NOT NULL);
CREATE TABLE workers (name TEXT PRIMARY KEY, host TEXT NOT NULL, pid INTEGER NOT NULL, engine INTEGER NOT NULL,
  started_at BIGINT NOT NULL, seen_at BIGINT NOT NULL, stopped_at BIGINT))",
    // Replays whose file texts are kept once, in maps and versions, rather than in every match's replay; keyed by
    // the match itself ({key}), where SQLite kept a second index beside its row ids. A team's versions, and its
    // matches newest first (seats), found without reading every version or walking every match. Matches queued
    // enter the index of finishing times only when they finish.
    R"(CREATE TABLE replays_by_match (match_id {key} REFERENCES matches(id), data {bytes} NOT NULL,
  sources_by_reference INTEGER NOT NULL DEFAULT 0);
INSERT INTO replays_by_match (match_id, data) SELECT match_id, data FROM replays;
DROP TABLE replays;
ALTER TABLE replays_by_match RENAME TO replays;
CREATE INDEX versions_by_team ON versions (team_id, number);
DROP INDEX matches_by_finish;
CREATE INDEX matches_by_finish ON matches (finished_at) WHERE finished_at IS NOT NULL;
CREATE TABLE seats (team_id BIGINT NOT NULL, match_id BIGINT NOT NULL REFERENCES matches(id),
  PRIMARY KEY (team_id, match_id)){clustered};
INSERT INTO seats (team_id, match_id) SELECT t1, id FROM matches UNION SELECT t2, id FROM matches
  UNION SELECT t3, id FROM matches UNION SELECT t4, id FROM matches)",
};

std::string forDialect(std::string sql, Dialect dialect) {
    const auto replace = [&](const std::string& word, const std::string& by) {
        for (size_t at = sql.find(word); at != std::string::npos; at = sql.find(word, at + by.size()))
            sql.replace(at, word.size(), by);
    };
    replace("{id}", dialect == Dialect::Sqlite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY");
    replace("{bytes}", dialect == Dialect::Sqlite ? "BLOB" : "BYTEA");
    replace("{key}", dialect == Dialect::Sqlite ? "INTEGER PRIMARY KEY" : "BIGINT PRIMARY KEY");  // not generated
    replace("{clustered}", dialect == Dialect::Sqlite ? " WITHOUT ROWID" : "");  // the rows are the key's index
    return sql;
}

// SQLite runs one statement per call: a migration is split on its semicolons (none appear inside its text).
std::vector<std::string> statementsOf(const std::string& sql) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t at = sql.find(';'); from < sql.size(); at = sql.find(';', from)) {
        if (at == std::string::npos) at = sql.size();
        const std::string piece = sql.substr(from, at - from);
        if (piece.find_first_not_of(" \n") != std::string::npos) out.push_back(piece);
        from = at + 1;
    }
    return out;
}

std::string settingOr(Db& db, const std::string& key, const std::string& fallback) {
    const Result r = db.run("SELECT value FROM settings WHERE key = ?", {key});
    return r.rows.empty() || !r.rows[0][0] ? fallback : *r.rows[0][0];
}

void setSetting(Db& db, const std::string& key, const std::string& value) {
    if (db.run("UPDATE settings SET value = ? WHERE key = ?", {value, key}).changed == 0)
        db.run("INSERT INTO settings (key, value) VALUES (?, ?)", {key, value});
}

std::string randomHex(size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    randombytes_buf(raw.data(), raw.size());
    std::string hex(bytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), raw.data(), raw.size());
    hex.pop_back();
    return hex;
}

std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// With the current version's number joined in: one pass for a list of every team.
const char* TEAM_COLUMNS =
    "t.id, t.name, t.withdrawn_at, t.version_id, t.created_at, cv.number FROM teams t LEFT JOIN versions cv ON "
    "cv.id = t.version_id";

Team teamOf(const Row& r) {
    return Team{toInt(r[0]), r[1].value_or(""), r[2].has_value(), toInt(r[3]), static_cast<int>(toInt(r[5])),
                toInt(r[4])};
}

// The columns of a match with its map and seats' names and version numbers, and the tables they come from.
const std::string MATCH_COLUMNS =
    "SELECT m.id, m.state, m.map_id, mp.name, m.ticks, m.capped, m.finished_at, m.worker, m.winners, "
    "m.v1, m.t1, ta.name, va.number, m.s1, m.v2, m.t2, tb.name, vb.number, m.s2, "
    "m.v3, m.t3, tc.name, vc.number, m.s3, m.v4, m.t4, td.name, vd.number, m.s4 ";
const std::string MATCH_JOINS =
    "JOIN maps mp ON mp.id = m.map_id "
    "JOIN versions va ON va.id = m.v1 JOIN teams ta ON ta.id = m.t1 "
    "JOIN versions vb ON vb.id = m.v2 JOIN teams tb ON tb.id = m.t2 "
    "JOIN versions vc ON vc.id = m.v3 JOIN teams tc ON tc.id = m.t3 "
    "JOIN versions vd ON vd.id = m.v4 JOIN teams td ON td.id = m.t4 ";
const std::string MATCH_SELECT = MATCH_COLUMNS + "FROM matches m " + MATCH_JOINS;

Match matchOf(const Row& r) {
    Match m;
    m.id = toInt(r[0]);
    m.state = r[1].value_or("");
    m.map_id = toInt(r[2]);
    m.map = r[3].value_or("");
    m.ticks = static_cast<uint64_t>(toInt(r[4]));
    m.capped = toInt(r[5]) != 0;
    m.finished_at = toInt(r[6]);
    m.worker = r[7].value_or("");
    const int64_t winners = toInt(r[8]);
    for (size_t s = 0; s < SEATS; ++s) {
        const size_t c = 9 + s * 5;
        m.seats[s] = Seat{toInt(r[c + 1]), toInt(r[c]), r[c + 2].value_or(""), static_cast<int>(toInt(r[c + 3])),
                          static_cast<int>(toInt(r[c + 4])), ((winners >> s) & 1) != 0};
    }
    return m;
}

std::vector<Match> matchesOf(const Result& r) {
    std::vector<Match> out;
    out.reserve(r.rows.size());
    for (const Row& row : r.rows) out.push_back(matchOf(row));
    return out;
}

}  // namespace

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void migrate(Db& db, int up_to) {
    if (sodium_init() < 0) throw DbError("libsodium cannot start");
    Transaction tx(db);
    // One process at a time brings the schema up to date; the others then find it done.
    if (db.dialect() == Dialect::Postgres) db.run("SELECT pg_advisory_xact_lock(7411)");
    db.run("CREATE TABLE IF NOT EXISTS schema_migrations (version INTEGER PRIMARY KEY, applied_at BIGINT NOT NULL)");
    const int64_t done = db.run("SELECT MAX(version) FROM schema_migrations").number(0);
    const size_t last = up_to > 0 ? std::min(MIGRATIONS.size(), static_cast<size_t>(up_to)) : MIGRATIONS.size();
    for (size_t step = static_cast<size_t>(done); step < last; ++step) {
        for (const std::string& statement : statementsOf(forDialect(MIGRATIONS[step], db.dialect())))
            db.run(statement);
        db.run("INSERT INTO schema_migrations (version, applied_at) VALUES (?, ?)",
               {static_cast<int64_t>(step + 1), nowSeconds()});
    }
    if (settingOr(db, "engine", "").empty()) setSetting(db, "engine", std::to_string(ENGINE_VERSION));
    tx.commit();
}

int schemaVersion(Db& db) { return static_cast<int>(db.run("SELECT MAX(version) FROM schema_migrations").number(0)); }

std::optional<int> ladderEngine(Db& db) {
    const std::string value = settingOr(db, "engine", "");
    if (value.empty()) return std::nullopt;
    return std::stoi(value);
}

void saveSettings(Db& db, const Settings& s) {
    Transaction tx(db);
    setSetting(db, "max_ticks", std::to_string(s.max_ticks));
    setSetting(db, "budget", std::to_string(s.budget));
    setSetting(db, "width", std::to_string(s.width));
    setSetting(db, "placement", std::to_string(s.placement));
    setSetting(db, "batch", std::to_string(s.batch));
    setSetting(db, "lease", std::to_string(s.lease));
    tx.commit();
}

Settings loadSettings(Db& db) {
    Settings s;
    s.max_ticks = std::stoull(settingOr(db, "max_ticks", std::to_string(s.max_ticks)));
    s.budget = std::stoull(settingOr(db, "budget", std::to_string(s.budget)));
    s.width = std::stod(settingOr(db, "width", std::to_string(s.width)));
    s.placement = std::stoi(settingOr(db, "placement", std::to_string(s.placement)));
    s.batch = std::stoi(settingOr(db, "batch", std::to_string(s.batch)));
    s.lease = std::stoll(settingOr(db, "lease", std::to_string(s.lease)));
    return s;
}

bool takeSchedulingTurn(Db& db, int64_t seconds) {
    Transaction tx(db);
    const int64_t now = nowSeconds();
    const Result r = db.run("SELECT value FROM settings WHERE key = 'scheduling_until'");
    if (!r.rows.empty() && toInt(r.rows[0][0]) > now) return false;
    setSetting(db, "scheduling_until", std::to_string(now + seconds));
    tx.commit();
    return true;
}

void endSchedulingTurn(Db& db) { setSetting(db, "scheduling_until", "0"); }

void saveMaps(Db& db, const std::vector<MapEntry>& maps) {
    Transaction tx(db);
    db.run("UPDATE maps SET active = 0");
    for (const MapEntry& map : maps) {
        if (db.run("UPDATE maps SET active = 1 WHERE name = ?", {map.name}).changed == 0)
            db.run("INSERT INTO maps (name, source, active) VALUES (?, ?, 1)", {map.name, map.text});
    }
    tx.commit();
}

std::vector<MapEntry> activeMaps(Db& db) {
    std::vector<MapEntry> out;
    for (const Row& r : db.run("SELECT id, name, source FROM maps WHERE active = 1 ORDER BY id").rows)
        out.push_back({toInt(r[0]), r[1].value_or(""), r[2].value_or("")});
    return out;
}

Created createTeam(Db& db, const std::string& name, const std::string& token_hash, const std::string& source) {
    Transaction tx(db);
    const std::string key = lowerCase(name);
    if (!db.run("SELECT id FROM teams WHERE name_key = ?", {key}).rows.empty())
        return {CreateOutcome::NameTaken, {}};
    const int64_t now = nowSeconds();
    const int64_t team = db.run("INSERT INTO teams (name, name_key, token_hash, created_at) VALUES (?, ?, ?, ?) "
                                "RETURNING id",
                                {name, key, token_hash, now})
                             .number();
    const int64_t version = db.run("INSERT INTO versions (team_id, number, source, created_at) VALUES (?, 1, ?, ?) "
                                   "RETURNING id",
                                   {team, source, now})
                                .number();
    db.run("UPDATE teams SET version_id = ? WHERE id = ?", {version, team});
    tx.commit();
    return {CreateOutcome::Created, Team{team, name, false, version, 1, now}};
}

std::optional<Team> findTeam(Db& db, int64_t id) {
    const Result r = db.run(std::string("SELECT ") + TEAM_COLUMNS + " WHERE t.id = ?", {id});
    if (r.rows.empty()) return std::nullopt;
    return teamOf(r.rows[0]);
}

std::optional<std::string> tokenHashOf(Db& db, int64_t team_id) {
    const Result r = db.run("SELECT token_hash FROM teams WHERE id = ?", {team_id});
    if (r.rows.empty()) return std::nullopt;
    return r.rows[0][0];
}

Version addVersion(Db& db, int64_t team_id, const std::string& source) {
    Transaction tx(db);
    const int number = static_cast<int>(
        db.run("SELECT MAX(number) FROM versions WHERE team_id = ?", {team_id}).number(0) + 1);
    const int64_t now = nowSeconds();
    const int64_t id = db.run("INSERT INTO versions (team_id, number, source, created_at) VALUES (?, ?, ?, ?) "
                              "RETURNING id",
                              {team_id, static_cast<int64_t>(number), source, now})
                           .number();
    db.run("UPDATE teams SET version_id = ? WHERE id = ?", {id, team_id});
    db.run("UPDATE matches SET state = 'cancelled' WHERE state = 'queued' AND (t1 = ? OR t2 = ? OR t3 = ? OR t4 = ?)",
           {team_id, team_id, team_id, team_id});
    tx.commit();
    return Version{id, team_id, number, now, source};
}

void withdrawTeam(Db& db, int64_t team_id) {
    Transaction tx(db);
    db.run("UPDATE teams SET withdrawn_at = ? WHERE id = ? AND withdrawn_at IS NULL", {nowSeconds(), team_id});
    db.run("UPDATE matches SET state = 'cancelled' WHERE state = 'queued' AND (t1 = ? OR t2 = ? OR t3 = ? OR t4 = ?)",
           {team_id, team_id, team_id, team_id});
    tx.commit();
}

std::vector<Team> activeTeams(Db& db) {
    std::vector<Team> out;
    for (const Row& r :
         db.run(std::string("SELECT ") + TEAM_COLUMNS + " WHERE t.withdrawn_at IS NULL ORDER BY t.id")
             .rows)
        out.push_back(teamOf(r));
    return out;
}

std::vector<Version> versionsOf(Db& db, int64_t team_id, bool with_source) {
    std::vector<Version> out;
    const std::string source = with_source ? "source" : "''";
    for (const Row& r : db.run("SELECT id, team_id, number, created_at, " + source +
                                   " FROM versions WHERE team_id = ? ORDER BY number",
                               {team_id})
                            .rows)
        out.push_back({toInt(r[0]), toInt(r[1]), static_cast<int>(toInt(r[2])), toInt(r[3]), r[4].value_or("")});
    return out;
}

std::optional<Version> findVersion(Db& db, int64_t version_id) {
    const Result r =
        db.run("SELECT id, team_id, number, created_at, source FROM versions WHERE id = ?", {version_id});
    if (r.rows.empty()) return std::nullopt;
    const Row& row = r.rows[0];
    return Version{toInt(row[0]), toInt(row[1]), static_cast<int>(toInt(row[2])), toInt(row[3]),
                   row[4].value_or("")};
}

std::optional<Match> findMatch(Db& db, int64_t id) {
    const Result r = db.run(MATCH_SELECT + "WHERE m.id = ?", {id});
    if (r.rows.empty()) return std::nullopt;
    return matchOf(r.rows[0]);
}

std::optional<Match> findMatchSeats(Db& db, int64_t id) {
    const Result r = db.run("SELECT id, state, map_id, v1, t1, v2, t2, v3, t3, v4, t4 FROM matches WHERE id = ?", {id});
    if (r.rows.empty()) return std::nullopt;
    const Row& row = r.rows[0];
    Match m;
    m.id = toInt(row[0]);
    m.state = row[1].value_or("");
    m.map_id = toInt(row[2]);
    for (size_t s = 0; s < SEATS; ++s) {
        m.seats[s].version_id = toInt(row[3 + 2 * s]);
        m.seats[s].team_id = toInt(row[4 + 2 * s]);
    }
    return m;
}

std::vector<Match> playedMatches(Db& db, int64_t team_id, int64_t before, int limit) {
    // A team's matches from its seats, newest first along their key: the matches of a team that has not played for
    // long are found without walking every match played since.
    std::string sql = team_id != 0 ? MATCH_COLUMNS + "FROM seats s JOIN matches m ON m.id = s.match_id " + MATCH_JOINS +
                                         "WHERE s.team_id = ? AND m.state = 'done'"
                                   : MATCH_SELECT + "WHERE m.state = 'done'";
    std::vector<Value> params;
    if (team_id != 0) params.emplace_back(team_id);
    if (before != 0) {
        sql += team_id != 0 ? " AND s.match_id < ?" : " AND m.id < ?";
        params.emplace_back(before);
    }
    sql += team_id != 0 ? " ORDER BY s.match_id DESC LIMIT ?" : " ORDER BY m.id DESC LIMIT ?";
    params.emplace_back(static_cast<int64_t>(limit));
    return matchesOf(db.run(sql, params));
}

std::vector<Match> allPlayed(Db& db) {
    return matchesOf(db.run(MATCH_SELECT + "WHERE m.state = 'done' ORDER BY m.id"));
}

std::vector<Match> playedFrom(Db& db, int64_t first) {
    return matchesOf(db.run(MATCH_SELECT + "WHERE m.state = 'done' AND m.id >= ? ORDER BY m.id", {first}));
}

int64_t unsettledFrom(Db& db) {
    // Each a look along the index on (state, id).
    const Result r = db.run("SELECT (SELECT MIN(id) FROM matches WHERE state = 'queued'), "
                            "(SELECT MIN(id) FROM matches WHERE state = 'claimed'), "
                            "(SELECT COALESCE(MAX(id), 0) + 1 FROM matches)");
    const Row& row = r.rows.at(0);
    int64_t from = toInt(row.at(2));
    for (size_t i = 0; i < 2; ++i)
        if (row.at(i)) from = std::min(from, toInt(row[i]));
    return from;
}

std::optional<StoredReplay> replayOf(Db& db, int64_t match_id) {
    const Result r = db.run("SELECT data, sources_by_reference FROM replays WHERE match_id = ?", {match_id});
    if (r.rows.empty()) return std::nullopt;
    return StoredReplay{r.rows[0][0].value_or(""), toInt(r.rows[0][1]) != 0};
}

std::optional<MapEntry> findMap(Db& db, int64_t map_id) {
    const Result r = db.run("SELECT id, name, source FROM maps WHERE id = ?", {map_id});
    if (r.rows.empty()) return std::nullopt;
    return MapEntry{toInt(r.rows[0][0]), r.rows[0][1].value_or(""), r.rows[0][2].value_or("")};
}

int64_t queueMatch(Db& db, int64_t map_id, const std::array<int64_t, SEATS>& versions) {
    std::vector<Value> params{map_id};
    for (int64_t v : versions) params.emplace_back(v);
    for (int64_t v : versions) params.emplace_back(v);
    params.emplace_back(nowSeconds());
    const Row row =
        db.run("INSERT INTO matches (map_id, v1, v2, v3, v4, t1, t2, t3, t4, created_at) VALUES (?, ?, ?, ?, ?, "
               "(SELECT team_id FROM versions WHERE id = ?), (SELECT team_id FROM versions WHERE id = ?), "
               "(SELECT team_id FROM versions WHERE id = ?), (SELECT team_id FROM versions WHERE id = ?), ?) "
               "RETURNING id, t1, t2, t3, t4",
               params)
            .rows.at(0);
    const int64_t id = toInt(row.at(0));
    // Each team once, however many seats it takes.
    std::vector<int64_t> teams;
    for (size_t s = 1; s <= SEATS; ++s)
        if (std::find(teams.begin(), teams.end(), toInt(row.at(s))) == teams.end()) teams.push_back(toInt(row.at(s)));
    std::string sql = "INSERT INTO seats (team_id, match_id) VALUES ";
    std::vector<Value> seats;
    for (size_t t = 0; t < teams.size(); ++t) {
        sql += t == 0 ? "(?, ?)" : ", (?, ?)";
        seats.insert(seats.end(), {teams[t], id});
    }
    db.run(sql, seats);
    return id;
}

namespace {

// The claim itself, inside a transaction of the caller's.
std::optional<Claim> claimWithin(Db& db, const std::string& worker, int64_t lease_seconds) {
    const int64_t now = nowSeconds();
    // SKIP LOCKED lets workers on several machines claim side by side; SQLite's one writer needs no such clause.
    const std::string lock = db.dialect() == Dialect::Postgres ? " FOR UPDATE SKIP LOCKED" : "";
    // Two looks, each along the index on (state, id): one query with OR would walk every played match first.
    Result r = db.run("SELECT id FROM matches WHERE state = 'queued' AND attempts < ? ORDER BY id LIMIT 1" + lock,
                      {static_cast<int64_t>(MAX_ATTEMPTS)});
    if (r.rows.empty())
        r = db.run("SELECT id FROM matches WHERE state = 'claimed' AND lease_until < ? AND attempts < ? ORDER BY id "
                   "LIMIT 1" + lock,
                   {now, static_cast<int64_t>(MAX_ATTEMPTS)});
    if (r.rows.empty()) {
        // Matches whose workers died on every attempt: set aside, so that the queue moves on.
        db.run("UPDATE matches SET state = 'failed' WHERE state IN ('queued', 'claimed') AND attempts >= ? AND "
               "(state = 'queued' OR lease_until < ?)",
               {static_cast<int64_t>(MAX_ATTEMPTS), now});
        return std::nullopt;
    }
    Claim claim{r.number(), randomHex(16), std::nullopt};
    db.run("UPDATE matches SET state = 'claimed', claim = ?, lease_until = ?, worker = ?, attempts = attempts + 1 "
           "WHERE id = ?",
           {claim.claim, now + lease_seconds, worker, claim.match_id});
    // What the worker needs to play it, read while the transaction is open: a read of its own would be a
    // transaction more per match, each starting with a page cache that the other writers' commits emptied.
    claim.match = findMatchSeats(db, claim.match_id);
    return claim;
}

}  // namespace

std::optional<Claim> claimMatch(Db& db, const std::string& worker, int64_t lease_seconds) {
    Transaction tx(db);
    std::optional<Claim> claim = claimWithin(db, worker, lease_seconds);
    tx.commit();
    return claim;
}

bool finishMatch(Db& db, const Claim& claim, const Outcome& o, const StoredReplay& replay,
                 const std::string& worker, std::optional<Claim>* next, int64_t lease_seconds) {
    Transaction tx(db);
    int64_t winners = 0;
    for (size_t s = 0; s < SEATS; ++s) winners |= o.winners[s] ? (int64_t{1} << s) : 0;
    const Result r = db.run(
        "UPDATE matches SET state = 'done', claim = NULL, lease_until = NULL, finished_at = ?, engine = ?, "
        "s1 = ?, s2 = ?, s3 = ?, s4 = ?, winners = ?, ticks = ?, capped = ?, worker = ? "
        "WHERE id = ? AND state = 'claimed' AND claim = ?",
        {nowSeconds(), static_cast<int64_t>(ENGINE_VERSION), int64_t{o.scores[0]}, int64_t{o.scores[1]},
         int64_t{o.scores[2]}, int64_t{o.scores[3]}, winners, static_cast<int64_t>(o.ticks),
         int64_t{o.capped ? 1 : 0}, worker, claim.match_id, claim.claim});
    const bool stored = r.changed == 1;
    if (stored)
        db.run("INSERT INTO replays (match_id, data, sources_by_reference) VALUES (?, ?, ?)",
               {claim.match_id, Bytes{replay.data}, int64_t{replay.sources_by_reference ? 1 : 0}});
    // The next claim in the same transaction: one commit a match instead of two.
    if (next != nullptr) *next = claimWithin(db, worker, lease_seconds);
    tx.commit();
    return stored;
}

void returnClaim(Db& db, const Claim& claim) {
    db.run("UPDATE matches SET state = 'queued', claim = NULL, lease_until = NULL, attempts = attempts - 1 "
           "WHERE id = ? AND state = 'claimed' AND claim = ?",
           {claim.match_id, claim.claim});
}

int returnClaimsOfDeadWorkers(Db& db, const std::string& host) {
    int returned = 0;
    const std::string prefix = host + ":";
    for (const Row& r : db.run("SELECT id, claim, worker FROM matches WHERE state = 'claimed'").rows) {
        const std::string worker = r[2].value_or("");
        if (worker.rfind(prefix, 0) != 0) continue;
        const int pid = std::atoi(worker.c_str() + prefix.size());
        if (pid <= 0 || kill(pid, 0) == 0 || errno != ESRCH) continue;
        // The attempt stays counted: a match that kills its worker must not be played forever.
        returned += static_cast<int>(db.run("UPDATE matches SET state = 'queued', claim = NULL, lease_until = NULL "
                                            "WHERE id = ? AND state = 'claimed' AND claim = ?",
                                            {toInt(r[0]), r[1].value_or("")})
                                         .changed);
    }
    return returned;
}

void workerSeen(Db& db, const std::string& name, const std::string& host, int pid, bool stopping) {
    const int64_t now = nowSeconds();
    const Value stopped = stopping ? Value{now} : Value{nullptr};
    if (db.run("UPDATE workers SET seen_at = ?, stopped_at = ? WHERE name = ?", {now, stopped, name}).changed == 0)
        db.run("INSERT INTO workers (name, host, pid, engine, started_at, seen_at, stopped_at) "
               "VALUES (?, ?, ?, ?, ?, ?, ?)",
               {name, host, int64_t{pid}, int64_t{ENGINE_VERSION}, now, now, stopped});
}

QueueCounts queueCounts(Db& db) {
    QueueCounts q;
    for (const Row& r : db.run("SELECT state, COUNT(*) FROM matches GROUP BY state").rows) {
        const std::string state = r[0].value_or("");
        const int64_t n = toInt(r[1]);
        if (state == "queued") q.queued = n;
        if (state == "claimed") q.claimed = n;
        if (state == "done") q.done = n;
        if (state == "failed") q.failed = n;
        if (state == "cancelled") q.cancelled = n;
    }
    const int64_t now = nowSeconds();
    q.last_minutes = db.run("SELECT COUNT(*) FROM matches WHERE finished_at >= ?", {now - 300}).number();
    q.workers = db.run("SELECT COUNT(*) FROM workers WHERE seen_at >= ? AND stopped_at IS NULL", {now - 60}).number();
    return q;
}

int64_t playedCount(Db& db) { return db.run("SELECT COUNT(*) FROM matches WHERE state = 'done'").number(); }

}  // namespace ladder
