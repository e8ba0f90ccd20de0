// cli.cpp: the subcommands of fusewick-ladder and what each hands to the library.
#include "ladder/cli.h"

#include "ladder/ratings.h"
#include "ladder/server.h"
#include "ladder/store.h"
#include "ladder/worker.h"

#include "check/check.h"
#include "core/data_files.h"
#include "core/version.h"
#include "match/match.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace ladder {

void backupSqlite(const std::string& from, const std::string& to);  // db_sqlite.cpp

namespace {

const char* EXIT_CODES = "Exit codes: 0 done, 1 a map refused or a backup not written, 2 bad command line,\n"
                         "3 database unusable, 4 another engine version, 5 cannot listen on the address,\n"
                         "6 a stored replay refuted by verify.";

void onStopSignal(int) { stop_requested = true; }

void installStopHandlers() {
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::string selfPath(const char* argv0) {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(argv0) : path.string();
}

// The bundled maps: maps/ in the working directory, as in the source tree, or the maps of the game's data folder
// (the installed one, or FUSEWICK_DATA) found as every program finds its data.
std::vector<std::string> bundledMaps() {
    std::vector<std::filesystem::path> folders{"maps"};
    if (dataFolder()) folders.push_back(std::filesystem::path(*dataFolder()) / "maps");
    for (const std::filesystem::path& dir : folders) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) continue;
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
            if (entry.path().extension() == ".map") found.push_back(entry.path().string());
        std::sort(found.begin(), found.end());
        if (!found.empty()) return found;
    }
    return {};
}

// The maps as the ladder stores them: by file name, each checked as the game would load it.
std::optional<std::vector<MapEntry>> readMaps(const std::vector<std::string>& paths) {
    std::vector<MapEntry> maps;
    for (const std::string& path : paths) {
        const std::optional<std::string> text = readFileText(path);
        if (!text) {
            std::fprintf(stderr, "fusewick-ladder: cannot read the map %s\n", path.c_str());
            return std::nullopt;
        }
        const auto diagnostics = check::checkMapFile(SourceFile{path, *text});
        if (check::hasErrors(diagnostics)) {
            std::fprintf(stderr, "%s", check::formatText(diagnostics).c_str());
            return std::nullopt;
        }
        maps.push_back({0, std::filesystem::path(path).filename().string(), *text});
    }
    return maps;
}

// host:port, :port or port.
bool parseListen(const std::string& text, ServerOptions& options) {
    const size_t colon = text.rfind(':');
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    if (colon != std::string::npos && colon > 0) options.host = text.substr(0, colon);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    options.port = std::stoi(port);
    return options.port > 0 && options.port < 65536;
}

int status(const std::string& address) {
    try {
        const auto db = openDb(address);
        migrate(*db);
        const QueueCounts q = queueCounts(*db);
        const nlohmann::json out{{"queued", q.queued},   {"claimed", q.claimed},
                                 {"done", q.done},       {"failed", q.failed},
                                 {"workers", q.workers}, {"matches_per_minute", static_cast<double>(q.last_minutes) / 5},
                                 {"schema", schemaVersion(*db)}, {"engine", ladderEngine(*db).value_or(0)}};
        std::printf("%s\n", out.dump(2).c_str());
        return EXIT_LADDER_DONE;
    } catch (const DbError& e) {
        std::fprintf(stderr, "fusewick-ladder: %s\n", e.what());
        return EXIT_LADDER_DATABASE;
    }
}

// The standings refitted from the stored results, as the API shows them: for checks of a running ladder.
int standings(const std::string& address) {
    try {
        const auto db = openDb(address);
        migrate(*db);
        const LadderStandings s = computeLadderStandings(*db);
        nlohmann::json teams = nlohmann::json::array();
        for (const Standing& t : s.teams) {
            nlohmann::json j{{"id", t.team.id}, {"name", t.team.name}, {"matches", t.rating.matches},
                             {"version", t.team.version}};
            j["rating"] = t.rating.rated ? nlohmann::json(t.rating.rating) : nlohmann::json(nullptr);
            j["low"] = t.rating.rated ? nlohmann::json(t.rating.low) : nlohmann::json(nullptr);
            j["high"] = t.rating.rated ? nlohmann::json(t.rating.high) : nlohmann::json(nullptr);
            teams.push_back(j);
        }
        std::printf("%s\n", nlohmann::json{{"matches", s.matches}, {"teams", teams}}.dump().c_str());
        return EXIT_LADDER_DONE;
    } catch (const DbError& e) {
        std::fprintf(stderr, "fusewick-ladder: %s\n", e.what());
        return EXIT_LADDER_DATABASE;
    }
}

int backup(const std::string& address, const std::string& to) {
    if (isPostgres(address)) {
        std::fprintf(stderr, "fusewick-ladder: back up a PostgreSQL ladder with pg_dump (see the README)\n");
        return EXIT_LADDER_USAGE;
    }
    try {
        backupSqlite(address, to);
        return EXIT_LADDER_DONE;
    } catch (const DbError& e) {
        std::fprintf(stderr, "fusewick-ladder: %s\n", e.what());
        return EXIT_LADDER_FILES;
    }
}

int serve(ServerOptions options, const std::string& listen, std::vector<std::string> map_paths, Settings settings,
          const char* argv0) {
    if (!listen.empty() && !parseListen(listen, options)) {
        std::fprintf(stderr, "fusewick-ladder: --port takes PORT or HOST:PORT, not %s\n", listen.c_str());
        return EXIT_LADDER_USAGE;
    }
    options.program = selfPath(argv0);
    // Started in the source tree after scripts/web, the matches' pages open their replays in the browser viewer.
    std::error_code ec;
    if (options.site.empty() && std::filesystem::is_regular_file("build-web/site/index.html", ec))
        options.site = "build-web/site";
    if (map_paths.empty()) map_paths = bundledMaps();
    if (map_paths.empty()) {
        std::fprintf(stderr, "fusewick-ladder: no maps: give --maps, or run where maps/ holds the game's maps\n");
        return EXIT_LADDER_FILES;
    }
    const auto maps = readMaps(map_paths);
    if (!maps) return EXIT_LADDER_FILES;
    try {
        const auto db = openDb(options.db);
        migrate(*db);
        saveMaps(*db, *maps);
        saveSettings(*db, settings);
    } catch (const DbError& e) {
        std::fprintf(stderr, "fusewick-ladder: %s\n", e.what());
        return EXIT_LADDER_DATABASE;
    }
    return runServer(options);
}

}  // namespace

int ladderMain(int argc, char** argv) {
    CLI::App app{"fusewick-ladder keeps submitted teams ranked: an HTTP server with pages and a JSON API, workers\n"
                 "that play the matches, and the results in SQLite or PostgreSQL."};
    app.name("fusewick-ladder");
    app.set_version_flag("--version", std::string("fusewick-ladder ") + PROGRAM_VERSION);
    app.footer(EXIT_CODES);
    app.require_subcommand(1);

    std::string db = "ladder.db";
    const auto add_db = [&db](CLI::App* command) {
        command->add_option("--db", db, "SQLite file, or postgresql://user@host/database")->capture_default_str();
    };

    ServerOptions server;
    server.workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string listen;
    std::vector<std::string> maps;
    Settings settings;
    CLI::App* serve_command = app.add_subcommand("serve", "Serve the pages and the API, with local workers");
    add_db(serve_command);
    serve_command->add_option("--port", listen, "PORT or HOST:PORT to listen on (default 127.0.0.1:8080)");
    serve_command->add_option("--workers", server.workers, "Local worker processes (default: one per core)")
        ->check(CLI::Range(0, 256))
        ->capture_default_str();
    serve_command->add_option("--threads", server.threads, "HTTP threads (connections served at once)")
        ->check(CLI::Range(4, 1024))
        ->capture_default_str();
    serve_command->add_option("--maps", maps, "Maps to play on (default: the bundled maps)")->type_name("FILE");
    serve_command->add_option("--max-ticks", settings.max_ticks, "End a match still on after N ticks")
        ->check(CLI::Range(uint64_t{1}, uint64_t{1} << 40))
        ->capture_default_str();
    serve_command->add_option("--submit-rate", server.submit_rate, "Submissions a minute from one address")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    serve_command->add_option("--budget", settings.budget, "Matches at most; play stops when they are spent")
        ->capture_default_str();
    serve_command->add_option("--width", settings.width, "Play stops once every 95 % interval is narrower")
        ->check(CLI::Range(1.0, 10000.0))
        ->capture_default_str();
    serve_command->add_option("--placement", settings.placement, "Placement matches of a new version")
        ->check(CLI::Range(0, 1000))
        ->capture_default_str();
    serve_command->add_option("--batch", settings.batch, "Matches queued at a time")
        ->check(CLI::Range(1, 10000))
        ->capture_default_str();
    serve_command->add_option("--lease", settings.lease, "Seconds a claimed match is held before it is queued again")
        ->check(CLI::Range(int64_t{5}, int64_t{86400}))
        ->capture_default_str();
    serve_command->add_option("--site", server.site, "The browser viewer's folder, served under /site/ (default: build-web/site when scripts/web has built it)")
        ->check(CLI::ExistingDirectory);

    WorkerOptions worker;
    CLI::App* work_command = app.add_subcommand("work", "Play matches for a ladder, here or on another machine");
    add_db(work_command);
    work_command->add_option("--name", worker.name, "The worker's name in the database (default HOST:PID)");
    work_command->add_flag("--once", worker.once, "Stop when nothing is left to play");
    work_command->add_option("--matches", worker.max_matches, "Stop after N matches")->check(CLI::Range(0, 1 << 30));

    CLI::App* status_command = app.add_subcommand("status", "The queue, the workers and the matches a minute");
    add_db(status_command);
    CLI::App* standings_command =
        app.add_subcommand("standings", "The standings refitted from the stored results, as JSON");
    add_db(standings_command);
    CLI::App* verify_command = app.add_subcommand(
        "verify", "Play every stored replay again and compare it with the stored result");
    add_db(verify_command);
    std::string backup_to;
    CLI::App* backup_command = app.add_subcommand("backup", "A consistent copy of an SQLite ladder while it runs");
    add_db(backup_command);
    backup_command->add_option("file", backup_to, "The copy")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? EXIT_LADDER_DONE : EXIT_LADDER_USAGE;
    }
    installStopHandlers();
    if (serve_command->parsed()) {
        server.db = db;
        return serve(server, listen, maps, settings, argv[0]);
    }
    if (work_command->parsed()) {
        worker.db = db;
        return runWorker(worker);
    }
    if (status_command->parsed()) return status(db);
    if (standings_command->parsed()) return standings(db);
    if (verify_command->parsed()) return verifyReplays(db);
    return backup(db, backup_to);
}

}  // namespace ladder
