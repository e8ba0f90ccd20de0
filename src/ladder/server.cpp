// server.cpp: the routes of the API and the pages, the submit rate, the tokens, and the life of the server process
// with its workers.
#include "ladder/server.h"

#include "ladder/pages.h"
#include "ladder/ratings.h"
#include "ladder/store.h"
#include "ladder/validate.h"
#include "ladder/worker.h"

#include "core/version.h"

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sodium.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ladder {

namespace {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

const char* PAGE_POLICY =
    "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self'; base-uri 'none'; "
    "frame-ancestors 'none'";
// The viewer runs its own scripts and WebAssembly, from this server only.
const char* SITE_POLICY =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; connect-src 'self'; base-uri 'none'; frame-ancestors 'none'";

constexpr size_t MAX_REQUEST_BYTES = 256 * 1024;  // a form carries the file encoded; the file itself is checked
constexpr int MAX_PAGE = 200;
constexpr auto REBUILD_AFTER = std::chrono::seconds(1);
// Connections the kernel holds for the server until its accepting thread takes them. The HTTP library's own 5 is far
// too few: when a crowd connects while that thread waits for the processor, the overflow is answered with SYN
// cookies, and a request that comes in two segments (a form's head and body) on such a connection is reset before the
// server ever sees it. The kernel's own limit (net.core.somaxconn) still applies.
constexpr int LISTEN_QUEUE = 1024;

// [SECTION] Per-thread database connections and the cached standings

struct Ranking {
    std::shared_ptr<const LadderStandings> fit;
    int64_t fit_mark = -1;  // the played matches it was fitted on
    int64_t generation = -1;
    Clock::time_point built;
    std::string json;
    std::string page;
};

std::string standingsJson(const LadderStandings& fit, const std::vector<Standing>& teams) {
    json list = json::array();
    for (const Standing& s : teams) {
        json t{{"id", s.team.id}, {"name", s.team.name}, {"matches", s.rating.matches}, {"version", s.team.version}};
        t["rating"] = s.rating.rated ? json(s.rating.rating) : json(nullptr);
        t["low"] = s.rating.rated ? json(s.rating.low) : json(nullptr);
        t["high"] = s.rating.rated ? json(s.rating.high) : json(nullptr);
        list.push_back(t);
    }
    return json{{"matches", fit.matches}, {"teams", list}}.dump(-1, ' ', false, json::error_handler_t::replace);
}

struct Shared {
    ServerOptions options;
    std::atomic<int64_t> team_generation{0};  // bumped whenever this server changes a team
    std::mutex ranking_mutex;
    std::shared_ptr<const Ranking> ranking;
    bool refitting = false;
    bool reranking = false;
    std::thread refresher;  // the refit under way, or the last one
    std::mutex rate_mutex;
    std::map<std::string, std::deque<Clock::time_point>> submissions;
    // The queue's counts go through every match: taken at most once a REBUILD_AFTER, however many ask.
    std::mutex status_mutex;
    json status;
    Clock::time_point status_taken;
};

Db& connection(const std::string& address) {
    // Each HTTP thread keeps its own connection: neither an SQLite handle nor a libpqxx connection is shared.
    thread_local std::unique_ptr<Db> db;
    if (!db) db = openDb(address);
    return *db;
}

// The teams as they are now, ranked with a fit; `generation` read before the teams are.
std::shared_ptr<const Ranking> rankWith(Db& db, std::shared_ptr<const LadderStandings> fit, int64_t fit_mark,
                                        int64_t generation) {
    auto fresh = std::make_shared<Ranking>();
    fresh->generation = generation;
    fresh->built = Clock::now();
    fresh->fit_mark = fit_mark;
    fresh->fit = std::move(fit);
    const std::vector<Standing> teams = rankTeams(*fresh->fit, activeTeams(db));
    fresh->json = standingsJson(*fresh->fit, teams);
    fresh->page = standingsPage(*fresh->fit, teams, queueCounts(db));
    return fresh;
}

// A refit when more matches were played since `old`, then the ranking.
std::shared_ptr<const Ranking> refitAndRank(Shared& shared, Db& db, const std::shared_ptr<const Ranking>& old) {
    const int64_t mark = playedCount(db);
    auto fit = old && old->fit_mark == mark ? old->fit
                                            : std::make_shared<const LadderStandings>(computeLadderStandings(db));
    return rankWith(db, std::move(fit), mark, shared.team_generation.load());
}

// Keeps the newest: a ranking made from an older state of the teams never replaces one made from a newer.
void keep(Shared& shared, const std::shared_ptr<const Ranking>& fresh) {
    const std::lock_guard<std::mutex> lock(shared.ranking_mutex);
    if (!shared.ranking || fresh->generation >= shared.ranking->generation) shared.ranking = fresh;
}

// The standings as served: the fit, the ranked teams, and their JSON and page already rendered.
// - A team changed by this server: the request ranks the teams again with the last fit (cheap), so a submitter sees
//   the change at once; requests that come while another one does so get the last ranking.
// - More than a second old: a thread of its own refits (a refit of thousands of versions takes seconds) and ranks,
//   while every request gets the last ranking.
std::shared_ptr<const Ranking> currentRanking(Shared& shared, Db& db) {
    const int64_t generation = shared.team_generation.load();
    std::shared_ptr<const Ranking> old;
    {
        const std::lock_guard<std::mutex> lock(shared.ranking_mutex);
        old = shared.ranking;
        if (old && old->generation == generation && (Clock::now() - old->built < REBUILD_AFTER || shared.refitting))
            return old;
        // Another request is ranking the changed teams already: this one gets the last ranking meanwhile.
        if (old && old->generation != generation && shared.reranking) return old;
        if (old && old->generation == generation) {
            shared.refitting = true;
            if (shared.refresher.joinable()) shared.refresher.join();  // finished: it cleared `refitting`
            shared.refresher = std::thread([&shared, old] {
                try {
                    const auto db = openDb(shared.options.db);
                    keep(shared, refitAndRank(shared, *db, old));
                } catch (const std::exception& e) {
                    logEvent("standings_failed", json{{"error", e.what()}});
                }
                const std::lock_guard<std::mutex> done(shared.ranking_mutex);
                shared.refitting = false;
            });
            return old;
        }
    }
    if (!old) {
        const auto fresh = refitAndRank(shared, db, nullptr);
        keep(shared, fresh);
        return fresh;
    }
    {
        const std::lock_guard<std::mutex> lock(shared.ranking_mutex);
        shared.reranking = true;
    }
    std::shared_ptr<const Ranking> fresh;
    try {
        fresh = rankWith(db, old->fit, old->fit_mark, generation);
    } catch (...) {
        const std::lock_guard<std::mutex> lock(shared.ranking_mutex);
        shared.reranking = false;
        throw;
    }
    keep(shared, fresh);
    const std::lock_guard<std::mutex> lock(shared.ranking_mutex);
    shared.reranking = false;
    return fresh;
}

bool overSubmitRate(Shared& shared, const std::string& address) {
    const std::lock_guard<std::mutex> lock(shared.rate_mutex);
    auto& times = shared.submissions[address];
    const auto now = Clock::now();
    while (!times.empty() && now - times.front() > std::chrono::minutes(1)) times.pop_front();
    if (times.size() >= static_cast<size_t>(shared.options.submit_rate)) return true;
    times.push_back(now);
    return false;
}

// [SECTION] Tokens: 32 random bytes from the system's source, only their SHA-256 kept

std::string newToken() {
    unsigned char raw[32];
    randombytes_buf(raw, sizeof raw);
    char hex[sizeof raw * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, raw, sizeof raw);
    return hex;
}

std::string tokenHash(const std::string& token) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(token.data()), token.size());
    char hex[sizeof digest * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

// [SECTION] The work behind both the API and the forms: a status and a JSON body

struct Reply {
    int status = 200;
    json body;
    std::vector<check::Diagnostic> diagnostics;
};

Reply error(int status, const std::string& message) { return {status, json{{"error", message}}, {}}; }

json diagnosticsJson(const std::vector<check::Diagnostic>& diagnostics) {
    json out = json::array();
    for (const check::Diagnostic& d : diagnostics)
        out.push_back({{"line", d.line}, {"column", d.column}, {"message", d.message}});
    return out;
}

std::optional<Reply> fileProblem(const std::string& name, const std::string& text) {
    FileCheck c = checkSubmission(name, text);
    switch (c.verdict) {
        case Verdict::Accepted: return std::nullopt;
        case Verdict::TooLarge: return error(413, c.error);
        case Verdict::Unreadable: return error(400, c.error);
        case Verdict::Refused: break;
    }
    Reply r = error(422, "the game would refuse this team file");
    r.body["diagnostics"] = diagnosticsJson(c.diagnostics);
    r.diagnostics = std::move(c.diagnostics);
    return r;
}

Reply submitTeam(Shared& shared, Db& db, const std::string& name, const std::string& text,
                 const std::string& address) {
    if (const auto problem = nameProblem(name)) return error(400, *problem);
    if (overSubmitRate(shared, address)) return error(429, "too many submissions from this address; wait a minute");
    if (auto problem = fileProblem(name, text)) return *problem;
    const std::string token = newToken();
    const Created created = createTeam(db, name, tokenHash(token), text);
    if (created.outcome == CreateOutcome::NameTaken) return error(409, "the name is taken");
    ++shared.team_generation;
    logEvent("team_created", json{{"team", created.team.id}, {"name", name}, {"from", address}});
    return {201, json{{"id", created.team.id}, {"name", created.team.name}, {"token", token}}, {}};
}

// 404 for no such team, 401 without a token, 403 for another team's token; nothing when the token is the team's.
std::optional<Reply> refuseToken(Db& db, int64_t team_id, const std::string& token) {
    const std::optional<std::string> hash = tokenHashOf(db, team_id);
    if (!hash) return error(404, "no such team");
    if (token.empty()) return error(401, "this needs the team's token");
    const std::string given = tokenHash(token);
    if (given.size() != hash->size() || sodium_memcmp(given.data(), hash->data(), given.size()) != 0)
        return error(403, "the token is not this team's");
    return std::nullopt;
}

Reply replaceTeam(Shared& shared, Db& db, int64_t team_id, const std::string& token, const std::string& text,
                  const std::string& address) {
    if (auto refused = refuseToken(db, team_id, token)) return *refused;
    const std::optional<Team> team = findTeam(db, team_id);
    if (team->withdrawn) return error(409, "the team is withdrawn");
    if (overSubmitRate(shared, address)) return error(429, "too many submissions from this address; wait a minute");
    if (auto problem = fileProblem(team->name, text)) return *problem;
    const Version v = addVersion(db, team_id, text);
    ++shared.team_generation;
    logEvent("team_replaced", json{{"team", team_id}, {"version", v.number}, {"from", address}});
    return {200, json{{"id", team_id}, {"name", team->name}, {"version", v.number}}, {}};
}

Reply withdraw(Shared& shared, Db& db, int64_t team_id, const std::string& token) {
    if (auto refused = refuseToken(db, team_id, token)) return *refused;
    withdrawTeam(db, team_id);
    ++shared.team_generation;
    logEvent("team_withdrawn", json{{"team", team_id}});
    return {200, json{{"id", team_id}, {"withdrawn", true}}, {}};
}

// [SECTION] Reading requests

std::string bearerToken(const httplib::Request& req) {
    const std::string header = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    return header.rfind(prefix, 0) == 0 ? header.substr(prefix.size()) : "";
}

// A positive decimal id that fits, or 0.
int64_t idOf(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoll(text);
}

void sendJson(httplib::Response& res, const Reply& reply) {
    res.status = reply.status;
    res.set_content(reply.body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void sendPage(httplib::Response& res, int status, const std::string& html) {
    res.status = status;
    res.set_content(html, "text/html; charset=utf-8");
}

json seatJson(const Seat& s, bool played) {
    json j{{"team", s.team_id}, {"name", s.team}, {"version", s.version}, {"version_id", s.version_id}};
    if (played) {
        j["score"] = s.score;
        j["winner"] = s.winner;
    }
    return j;
}

json matchJson(const Match& m) {
    const bool played = m.state == "done";
    json seats = json::array();
    json scores = json::array();
    json winners = json::array();
    for (const Seat& s : m.seats) {
        seats.push_back(seatJson(s, played));
        scores.push_back(s.score);
        winners.push_back(s.winner);
    }
    json j{{"id", m.id}, {"state", m.state}, {"map", m.map}, {"seats", seats}};
    if (played) {
        j["scores"] = scores;
        j["winners"] = winners;
        j["ticks"] = m.ticks;
        j["capped"] = m.capped;
        j["finished_at"] = m.finished_at;
        j["replay"] = "/api/matches/" + std::to_string(m.id) + "/replay";
    }
    return j;
}

FormReply formReply(const Reply& r, const std::string& done_title, const std::string& done_message) {
    FormReply f;
    f.status = r.status;
    const bool ok = r.status < 300;
    f.title = ok ? done_title : "Not accepted";
    f.message = ok ? done_message : r.body.value("error", "refused");
    if (r.body.contains("token")) f.token = r.body["token"].get<std::string>();
    if (r.body.contains("id")) f.team_id = r.body["id"].get<int64_t>();
    f.diagnostics = r.diagnostics;
    return f;
}

// [SECTION] Routes

json currentStatus(Shared& shared, Db& db) {
    const std::lock_guard<std::mutex> lock(shared.status_mutex);
    if (shared.status.is_null() || Clock::now() - shared.status_taken >= REBUILD_AFTER) {
        const QueueCounts q = queueCounts(db);
        shared.status = json{{"queued", q.queued},   {"claimed", q.claimed}, {"done", q.done},
                             {"failed", q.failed},   {"workers", q.workers},
                             {"matches_per_minute", static_cast<double>(q.last_minutes) / 5}};
        shared.status_taken = Clock::now();
    }
    return shared.status;
}

void apiRoutes(httplib::Server& svr, Shared& shared) {
    const std::string& address = shared.options.db;
    svr.Post("/api/teams", [&](const httplib::Request& req, httplib::Response& res) {
        sendJson(res, submitTeam(shared, connection(address), req.get_param_value("name"), req.body,
                                 req.remote_addr));
    });
    svr.Put(R"(/api/teams/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        sendJson(res, replaceTeam(shared, connection(address), idOf(req.matches[1]), bearerToken(req), req.body,
                                  req.remote_addr));
    });
    svr.Delete(R"(/api/teams/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        sendJson(res, withdraw(shared, connection(address), idOf(req.matches[1]), bearerToken(req)));
    });
    svr.Get("/api/standings", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(currentRanking(shared, connection(address))->json, "application/json");
    });
    svr.Get("/api/matches", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string team = req.get_param_value("team");
        const std::string after = req.get_param_value("after");
        const std::string limit_text = req.get_param_value("limit");
        const int64_t team_id = team.empty() ? 0 : idOf(team);
        const int64_t before = after.empty() ? 0 : idOf(after);
        const int64_t limit = limit_text.empty() ? 50 : idOf(limit_text);
        if ((!team.empty() && team_id == 0) || (!after.empty() && before == 0) || limit <= 0 || limit > MAX_PAGE)
            return sendJson(res, error(400, "team and after are match or team ids; limit is 1 to 200"));
        Db& db = connection(address);
        std::vector<Match> found = playedMatches(db, team_id, before, static_cast<int>(limit) + 1);
        json next = nullptr;
        if (found.size() > static_cast<size_t>(limit)) {
            found.pop_back();
            next = found.back().id;
        }
        json matches = json::array();
        for (const Match& m : found) matches.push_back(matchJson(m));
        sendJson(res, {200, json{{"matches", matches}, {"next", next}}, {}});
    });
    svr.Get(R"(/api/matches/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        const auto m = findMatch(connection(address), idOf(req.matches[1]));
        sendJson(res, m ? Reply{200, matchJson(*m), {}} : error(404, "no such match"));
    });
    svr.Get(R"(/api/matches/(\d+)/replay)", [&](const httplib::Request& req, httplib::Response& res) {
        const auto file = replayFile(connection(address), idOf(req.matches[1]));
        if (!file) return sendJson(res, error(404, "no replay of such a match"));
        res.set_content(*file, "application/json");
    });
    svr.Get("/api/status", [&](const httplib::Request&, httplib::Response& res) {
        sendJson(res, {200, currentStatus(shared, connection(address)), {}});
    });
}

void pageRoutes(httplib::Server& svr, Shared& shared) {
    const std::string& address = shared.options.db;
    svr.Get("/", [&](const httplib::Request&, httplib::Response& res) {
        sendPage(res, 200, currentRanking(shared, connection(address))->page);
    });
    svr.Get("/style.css", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(styleSheet(), "text/css");
    });
    svr.Get(R"(/teams/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        Db& db = connection(address);
        const auto team = findTeam(db, idOf(req.matches[1]));
        if (!team) return sendPage(res, 404, notFoundPage("There is no such team."));
        const auto standings = currentRanking(shared, db)->fit;
        TeamPageData data{*team, versionsOf(db, team->id), standings->ratingOf(team->version_id),
                          standings->headToHead(team->id), {}, 0};
        for (HeadToHeadRow& row : data.head_to_head)  // the names as they are now, not as at the fit
            if (const auto opponent = findTeam(db, row.opponent)) row.name = opponent->name;
        const std::string before = req.get_param_value("before");
        data.history = playedMatches(db, team->id, before.empty() ? 0 : idOf(before), 51);
        if (data.history.size() > 50) {
            data.history.pop_back();
            data.older = data.history.back().id;
        }
        sendPage(res, 200, teamPage(data));
    });
    svr.Get(R"(/matches/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        const auto m = findMatch(connection(address), idOf(req.matches[1]));
        if (!m) return sendPage(res, 404, notFoundPage("There is no such match."));
        sendPage(res, 200, matchPage(*m, !shared.options.site.empty()));
    });
    svr.Get("/submit", [](const httplib::Request&, httplib::Response& res) { sendPage(res, 200, submitPage()); });
    svr.Post("/submit", [&](const httplib::Request& req, httplib::Response& res) {
        const Reply r = submitTeam(shared, connection(address), req.get_param_value("name"),
                                   req.get_param_value("file"), req.remote_addr);
        sendPage(res, r.status, replyPage(formReply(r, "Team submitted", "The team is on the ladder.")));
    });
    svr.Post(R"(/teams/(\d+)/replace)", [&](const httplib::Request& req, httplib::Response& res) {
        const Reply r = replaceTeam(shared, connection(address), idOf(req.matches[1]), req.get_param_value("token"),
                                    req.get_param_value("file"), req.remote_addr);
        sendPage(res, r.status, replyPage(formReply(r, "New version submitted", "It plays its placement matches.")));
    });
    svr.Post(R"(/teams/(\d+)/withdraw)", [&](const httplib::Request& req, httplib::Response& res) {
        const Reply r = withdraw(shared, connection(address), idOf(req.matches[1]), req.get_param_value("token"));
        sendPage(res, r.status, replyPage(formReply(r, "Team withdrawn", "It has left the standings.")));
    });
}

void commonHandlers(httplib::Server& svr, Shared& shared) {
    svr.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        res.set_header("Content-Security-Policy", req.path.rfind("/site/", 0) == 0 ? SITE_POLICY : PAGE_POLICY);
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Referrer-Policy", "no-referrer");
    });
    // Errors the library answers itself (no route, a body too large) get a body that says so.
    svr.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const std::string message = res.status == 413   ? "the request is too large"
                                    : res.status == 404 ? "no such page"
                                                        : "the request cannot be served";
        if (req.path.rfind("/api/", 0) == 0)
            res.set_content(json{{"error", message}}.dump(), "application/json");
        else
            res.set_content(notFoundPage(message), "text/html; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    }));
    svr.set_exception_handler([](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "unknown";
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        logEvent("request_failed", json{{"path", req.path}, {"error", what}});
        res.status = 503;
        res.set_content(json{{"error", "the ladder cannot answer now; try again"}}.dump(), "application/json");
    });
    if (!shared.options.site.empty()) svr.set_mount_point("/site", shared.options.site);
    svr.set_payload_max_length(MAX_REQUEST_BYTES);
    svr.set_keep_alive_max_count(1000);
    svr.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        if (res.status >= 400)
            logEvent("request", json{{"method", req.method}, {"path", req.path}, {"status", res.status}});
    });
}

// Debian builds the HTTP library as a shared library, so its listen() keeps the queue length it was compiled with
// whatever we define; a second listen() on the listening socket sets the length anew.
bool lengthenListenQueue(socket_t listening) {
    return listening != INVALID_SOCKET && ::listen(listening, LISTEN_QUEUE) == 0;
}

// [SECTION] The worker processes

std::vector<pid_t> workers;
std::mutex workers_mutex;

pid_t startWorker(const ServerOptions& options) {
    const pid_t pid = fork();
    if (pid == 0) {
        // A worker ends with its server, even one killed outright, and gives its claim back as it goes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        execl(options.program.c_str(), options.program.c_str(), "work", "--db", options.db.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

void superviseWorkers(const ServerOptions& options) {
    while (!stop_requested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::lock_guard<std::mutex> lock(workers_mutex);
        for (pid_t& pid : workers) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid || stop_requested) continue;
            logEvent("worker_ended", json{{"worker_pid", pid}, {"status", status}});
            if (WIFEXITED(status) && WEXITSTATUS(status) == EXIT_LADDER_ENGINE) continue;
            pid = startWorker(options);
        }
    }
}

void stopWorkers() {
    const std::lock_guard<std::mutex> lock(workers_mutex);
    for (pid_t pid : workers) kill(pid, SIGTERM);
    for (pid_t pid : workers) waitpid(pid, nullptr, 0);
}

}  // namespace

int runServer(const ServerOptions& options) {
    std::unique_ptr<Db> db;
    try {
        db = openDb(options.db);
        migrate(*db);
        if (const int n = returnClaimsOfDeadWorkers(*db, hostName()); n > 0)
            logEvent("claims_returned", json{{"count", n}});
    } catch (const DbError& e) {
        std::fprintf(stderr, "fusewick-ladder: %s\n", e.what());
        return EXIT_LADDER_DATABASE;
    }
    if (ladderEngine(*db) != ENGINE_VERSION) {
        std::fprintf(stderr, "fusewick-ladder: this ladder plays by engine version %d, this program by %d\n",
                     ladderEngine(*db).value_or(0), ENGINE_VERSION);
        return EXIT_LADDER_ENGINE;
    }
    Shared shared;
    shared.options = options;
    httplib::Server svr;
    const size_t threads = static_cast<size_t>(std::max(options.threads, 4));
    svr.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };  // the library owns and frees it
    // The library shares a port it listens on with any other process that asks (SO_REUSEPORT): a second ladder
    // started on a taken port would quietly get half of the connections. Only SO_REUSEADDR, so that it is refused.
    // The library closes a socket it cannot bind and tries the next address, so the last one seen here is bound.
    socket_t listening = INVALID_SOCKET;
    svr.set_socket_options([&listening](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = sock;
    });
    commonHandlers(svr, shared);
    apiRoutes(svr, shared);
    pageRoutes(svr, shared);
    if (!svr.bind_to_port(options.host.c_str(), options.port) || !lengthenListenQueue(listening)) {
        std::fprintf(stderr, "fusewick-ladder: cannot listen on %s:%d\n", options.host.c_str(), options.port);
        return EXIT_LADDER_ADDRESS;
    }
    {
        const std::lock_guard<std::mutex> lock(workers_mutex);
        for (int i = 0; i < options.workers; ++i) workers.push_back(startWorker(options));
    }
    std::thread supervisor(superviseWorkers, std::cref(options));
    std::thread stopper([&svr] {
        while (!stop_requested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        svr.stop();
    });
    logEvent("server_started", json{{"address", options.host + ":" + std::to_string(options.port)},
                                    {"workers", options.workers}, {"db", isPostgres(options.db) ? "postgresql" : "sqlite"}}
                                   );
    svr.listen_after_bind();
    stop_requested = true;
    std::thread last;
    {
        const std::lock_guard<std::mutex> lock(shared.ranking_mutex);
        last = std::move(shared.refresher);
    }
    if (last.joinable()) last.join();  // outside the lock, which the refit takes as it ends
    stopper.join();
    supervisor.join();
    stopWorkers();
    logEvent("server_stopped");
    return 0;
}

}  // namespace ladder
