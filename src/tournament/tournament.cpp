// tournament.cpp: the command line of fusewick-tournament and the run of a tournament from the first check to the
// last line of the standings.
#include "tournament/tournament.h"

#include "tournament/play.h"
#include "tournament/pool.h"
#include "tournament/result_line.h"
#include "tournament/schedule.h"
#include "tournament/standings.h"

#include "core/loaders.h"
#include "core/utils.h"
#include "core/version.h"
#include "match/match.h"
#include "match/result_json.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace tournament {

namespace {

constexpr uint64_t TOURNAMENT_MAX_TICKS = 100000;
constexpr uint64_t MOST_GROUPS_UNASKED = 5000;  // more groups than this need --sample

const char* const EXIT_CODES =
    "Exit codes:\n"
    "  0  every match played (or found in --out), standings written\n"
    "  1  a file could not be read or written, or a worker could not be started\n"
    "  2  bad command line\n"
    "  3  a team file or map is missing or refused by the game: nothing was played\n"
    "  4  a worker died twice on some matches: they are left out of the standings (--resume plays them again)\n";

void warn(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "fusewick-tournament: %s\n", message.c_str());
}

// The game prints its faults on standard output; here they are errors, so they go where errors go.
void printFaultOnStderr(const std::string& path, const LoadFault& fault) {
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    printFault(path, fault);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    if (fault.place == LoadFault::Place::Missing || fault.exit_code != 0)
        std::fputs(errorMessage(fault.exit_code), stderr);
}

// Reads and compiles every file once. A faulty one is reported in the game's words; returns false then.
bool loadEntrants(const std::vector<std::string>& paths, bool maps, std::vector<Entrant>& out) {
    for (const std::string& path : paths) {
        Entrant entrant{path, {}};
        const std::optional<std::string> text = readFileText(path);
        const SourceFile source{path, text};
        std::optional<LoadFault> fault;
        if (maps) {
            const MapRead read = readMap(source);
            for (const LoadFault& notice : read.notices)
                printFaultOnStderr(path, LoadFault{notice.place, 0, notice.line, notice.message});
            fault = read.fault;
        } else {
            fault = readTeam(source).fault;
        }
        if (fault) {
            if (fault->place == LoadFault::Place::Missing) {
                std::fflush(stdout);
                std::fprintf(stderr, "Cannot open %s\n", path.c_str());
            }
            printFaultOnStderr(path, *fault);
            warn(std::string(maps ? "map " : "team file ") + path + " refused; nothing was played");
            return false;
        }
        entrant.text = *text;
        out.push_back(std::move(entrant));
    }
    return true;
}

// [SECTION] Progress on standard error

class Progress {
public:
    Progress(size_t total, bool quiet)
        : total_(total), quiet_(quiet), terminal_(::isatty(STDERR_FILENO) == 1), start_(Clock::now()),
          last_(start_) {}

    void done() { ++done_; }

    void show(bool final = false) {
        if (quiet_) return;
        const auto now = Clock::now();
        const double since_last = seconds(now - last_);
        if (!final && since_last < (terminal_ ? 0.2 : 5.0)) return;
        last_ = now;
        const double elapsed = seconds(now - start_);
        const double rate = elapsed > 0 ? static_cast<double>(done_) / elapsed : 0.0;
        char line[160];
        if (final) {
            std::snprintf(line, sizeof line, "%zu/%zu matches in %.1f s, %.1f matches/s", done_, total_, elapsed,
                          rate);
        } else {
            const double left = rate > 0 ? static_cast<double>(total_ - done_) / rate : 0.0;
            std::snprintf(line, sizeof line, "%zu/%zu matches, %.1f matches/s, %s left", done_, total_, rate,
                          clock(left).c_str());
        }
        if (terminal_)
            std::fprintf(stderr, "\r%s\033[K%s", line, final ? "\n" : "");
        else
            std::fprintf(stderr, "%s\n", line);
        std::fflush(stderr);
    }

    // Before another message: the line being redrawn is finished first.
    void interrupt() {
        if (!quiet_ && terminal_ && done_ > 0) std::fputs("\n", stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    static double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
    static std::string clock(double s) {
        const auto t = static_cast<long long>(s + 0.5);
        char buffer[32];
        if (t >= 3600)
            std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", t / 3600, t / 60 % 60, t % 60);
        else
            std::snprintf(buffer, sizeof buffer, "%lld:%02lld", t / 60, t % 60);
        return buffer;
    }

    size_t total_;
    size_t done_ = 0;
    bool quiet_;
    bool terminal_;
    Clock::time_point start_;
    Clock::time_point last_;
};

// [SECTION] Results files

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) warn("cannot write " + path);
    return static_cast<bool>(out);
}

// Reads a results file; reports lines that are not results. A missing file reads as empty when `may_miss`.
std::optional<ResultsRead> readResultsFile(const std::string& path, bool may_miss) {
    std::error_code ec;
    if (may_miss && !std::filesystem::exists(path, ec)) return ResultsRead{};
    const std::optional<std::string> text = readFileText(path);
    if (!text) {
        warn("cannot read " + path);
        return std::nullopt;
    }
    ResultsRead read = readResults(*text);
    for (int line : read.rejected) warn(path + ", line " + std::to_string(line) + ": not a match result; ignored");
    return read;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool finishStandings(const std::vector<MatchLine>& lines, const std::string& standings_file) {
    const Standings standings = computeStandings(lines);
    std::fputs(standingsTable(standings).c_str(), stdout);
    std::fflush(stdout);
    return standings_file.empty() || writeText(standings_file, standingsJson(standings));
}

// [SECTION] The two commands

struct RunOptions {
    std::vector<std::string> teams;
    std::vector<std::string> maps{"default.map"};
    int jobs = 0;
    std::string seats = "rotate";
    std::optional<uint64_t> sample;
    uint64_t seed = 0;
    uint64_t max_ticks = TOURNAMENT_MAX_TICKS;
    std::string out;
    bool resume = false;
    std::string shard = "0/1";
    std::string standings;
    std::string replays;
    bool quiet = false;
    bool list = false;
};

struct MergeOptions {
    std::vector<std::string> files;
    std::string standings;
    std::string out;
};

int merge(const MergeOptions& options) {
    std::vector<MatchLine> lines;
    bool torn = false;
    for (const std::string& file : options.files) {
        const std::optional<ResultsRead> read = readResultsFile(file, false);
        if (!read) return EXIT_IO;
        if (read->torn_end) warn(file + " ends in a torn line; ignored");
        torn = torn || read->torn_end;
        lines.insert(lines.end(), read->lines.begin(), read->lines.end());
    }
    std::vector<std::string> conflicts;
    const std::vector<MatchLine> unique = dedupe(lines, &conflicts);
    for (const std::string& id : conflicts)
        warn("match " + id + " has differing results; the first in byte order is kept");
    if (!options.out.empty()) {
        std::string text;
        for (const MatchLine& line : unique) text += formatLine(line) + "\n";
        if (!writeText(options.out, text)) return EXIT_IO;
    }
    return finishStandings(unique, options.standings) ? EXIT_DONE : EXIT_IO;
}

int play(const RunOptions& options) {
    const std::optional<Shard> shard = parseShard(options.shard);
    if (!shard) {
        warn("--shard takes I/N with 0 <= I < N, e.g. 0/4");
        return EXIT_BAD_USAGE;
    }
    if (options.resume && options.out.empty()) {
        warn("--resume needs --out");
        return EXIT_BAD_USAGE;
    }
    Field field;
    field.max_ticks = options.max_ticks;
    field.replay_dir = options.replays;
    if (!loadEntrants(distinctFiles(options.maps), true, field.maps) ||
        !loadEntrants(distinctFiles(options.teams), false, field.teams))
        return EXIT_FAULTY_FILE;

    ScheduleOptions schedule_options;
    schedule_options.seats = options.seats == "all" ? SeatMode::All : SeatMode::Rotate;
    schedule_options.sample = options.sample;
    schedule_options.seed = options.seed;
    schedule_options.max_ticks = options.max_ticks;
    const uint64_t groups = groupCount(static_cast<int>(field.teams.size()));
    if (!options.sample && groups > MOST_GROUPS_UNASKED) {
        warn(std::to_string(field.teams.size()) + " teams make " + std::to_string(groups) +
             " groups of four; choose how many to play with --sample K (--sample " + std::to_string(groups) +
             " plays them all)");
        return EXIT_BAD_USAGE;
    }
    const std::vector<ScheduledMatch> schedule =
        shardOf(buildSchedule(field.teams, field.maps, schedule_options), *shard);

    if (options.list) {
        for (const ScheduledMatch& m : schedule) {
            std::array<std::string, SEATS> seats;
            for (size_t s = 0; s < SEATS; ++s) seats[s] = field.teams[static_cast<size_t>(m.seats[s])].path;
            const std::string command = windowCommand(field.maps[static_cast<size_t>(m.map)].path, seats);
            std::printf("%s  %s\n", m.id.c_str(), command.c_str());
        }
        return EXIT_DONE;
    }

    // Results already in --out: with --resume, the matches of this schedule among them are not played again.
    std::vector<MatchLine> results;
    std::set<std::string> done;
    std::set<std::string> wanted;
    for (const ScheduledMatch& m : schedule) wanted.insert(m.id);
    int out_fd = -1;
    if (!options.out.empty()) {
        std::error_code ec;
        if (!options.resume && std::filesystem::exists(options.out, ec) &&
            (!std::filesystem::is_regular_file(options.out, ec) || std::filesystem::file_size(options.out, ec) > 0)) {
            warn(options.out + " holds results already: pass --resume to go on with them, or remove it");
            return EXIT_BAD_USAGE;
        }
        const std::optional<ResultsRead> read = readResultsFile(options.out, true);
        if (!read) return EXIT_IO;
        size_t foreign = 0;
        for (const MatchLine& line : read->lines) {
            if (wanted.count(line.id) == 0) {
                ++foreign;
                continue;
            }
            if (done.insert(line.id).second) results.push_back(line);
        }
        if (foreign > 0)
            warn(std::to_string(foreign) + " results in " + options.out +
                 " belong to no match of this tournament; left out of the standings");
        out_fd = ::open(options.out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out_fd < 0) {
            warn("cannot write " + options.out + ": " + std::strerror(errno));
            return EXIT_IO;
        }
        if (read->torn_end) {
            // The line the last run was writing when it was stopped: cut off here and played again.
            if (::ftruncate(out_fd, static_cast<off_t>(read->complete_bytes)) != 0) {
                warn("cannot cut the torn last line of " + options.out + ": " + std::strerror(errno));
                ::close(out_fd);
                return EXIT_IO;
            }
            warn("the torn last line of " + options.out + " is dropped; its match is played again");
        }
    }
    if (!options.replays.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.replays, ec);
        const std::string probe = options.replays + "/.fusewick-tournament-probe";
        const bool writable = !ec && std::filesystem::is_directory(options.replays, ec) && writeText(probe, "");
        std::filesystem::remove(probe, ec);
        if (!writable) {
            warn("cannot make the replay folder " + options.replays);
            if (out_fd >= 0) ::close(out_fd);
            return EXIT_IO;
        }
    }

    std::vector<size_t> todo;
    for (size_t i = 0; i < schedule.size(); ++i)
        if (done.count(schedule[i].id) == 0) todo.push_back(i);
    const int cores = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    const int jobs = options.jobs > 0 ? options.jobs : cores;
    if (!options.quiet) {
        std::fprintf(stderr, "fusewick-tournament: %zu teams, %zu maps, %zu matches", field.teams.size(),
                     field.maps.size(), schedule.size());
        if (shard->count > 1)
            std::fprintf(stderr, " in slice %llu of 0..%llu", static_cast<unsigned long long>(shard->index),
                         static_cast<unsigned long long>(shard->count - 1));
        if (!done.empty()) std::fprintf(stderr, ", %zu already in %s", done.size(), options.out.c_str());
        std::fprintf(stderr, "; %zu to play on %d workers\n", todo.size(),
                     static_cast<int>(std::min<size_t>(todo.size(), static_cast<size_t>(jobs))));
    }

    Progress progress(todo.size(), options.quiet);
    size_t failed = 0;
    bool write_failed = false;
    PoolHooks hooks;
    hooks.worker_started = [out_fd] {
        if (out_fd >= 0) ::close(out_fd);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);  // the game's console output
            ::close(null);
        }
    };
    hooks.play = [&](size_t task) { return formatLine(playScheduled(field, schedule[todo[task]])); };
    hooks.result = [&](size_t task, const std::string& text) {
        std::optional<MatchLine> line = parseLine(text);
        if (!line || line->id != schedule[todo[task]].id) {
            progress.interrupt();
            warn("a worker sent a garbled result for match " + schedule[todo[task]].id);
            ++failed;
            return true;
        }
        if (out_fd >= 0 && !writeAll(out_fd, text + "\n")) {
            progress.interrupt();
            warn("cannot write " + options.out + ": " + std::strerror(errno));
            write_failed = true;
            return false;
        }
        results.push_back(std::move(*line));
        progress.done();
        progress.show();
        return true;
    };
    hooks.died = [&](size_t task, const std::string& why, bool again) {
        const ScheduledMatch& m = schedule[todo[task]];
        std::array<std::string, SEATS> seats;
        for (size_t s = 0; s < SEATS; ++s) seats[s] = field.teams[static_cast<size_t>(m.seats[s])].path;
        progress.interrupt();
        warn("a " + why + " while playing match " + m.id + " (" +
             windowCommand(field.maps[static_cast<size_t>(m.map)].path, seats) + ")" +
             (again ? "; playing it again" : "; it is left out"));
        if (!again) ++failed;
    };
    hooks.tick = [&] { progress.show(); };

    std::string error;
    const bool ran = runPool(todo.size(), jobs, hooks, error);
    if (out_fd >= 0) ::close(out_fd);
    if (!ran) {
        if (!error.empty()) warn(error);
        return EXIT_IO;
    }
    progress.show(true);
    if (!finishStandings(results, options.standings) || write_failed) return EXIT_IO;
    if (failed > 0) {
        warn(std::to_string(failed) + " matches failed and are left out of the standings");
        return EXIT_MATCHES_FAILED;
    }
    return EXIT_DONE;
}

}  // namespace

int tournamentMain(int argc, char** argv) {
    installOutOfMemoryHandler();
    CLI::App app{"fusewick-tournament plays every group of four teams in every seat order on every map, on all\n"
                 "cores, and prints the standings."};
    app.name("fusewick-tournament");
    app.set_version_flag("--version", std::string("fusewick-tournament ") + PROGRAM_VERSION);
    app.footer(EXIT_CODES);
    app.require_subcommand(0, 1);

    RunOptions run;
    app.add_option("teams", run.teams, "Team files (the same file under two paths is one team)")->type_name("TEAM");
    app.add_option("-m,--map", run.maps, "Map to play on (repeatable; default: default.map)")
        ->type_name("FILE")
        ->allow_extra_args(false);  // one file per -m: the team files follow
    app.add_option("-j,--jobs", run.jobs, "Worker processes (default: one per core)")
        ->check(CLI::Range(1, 4096));
    app.add_option("--seats", run.seats, "Seat orders of each group: its 4 rotations, or all 24 orders")
        ->check(CLI::IsMember({"rotate", "all"}))
        ->capture_default_str();
    app.add_option("--sample", run.sample, "Play K groups drawn at random instead of all of them")
        ->type_name("K")
        ->check(CLI::Range(uint64_t{1}, std::numeric_limits<uint64_t>::max()));
    app.add_option("--seed", run.seed, "Seed of the --sample draw")->type_name("S")->capture_default_str();
    app.add_option("--max-ticks", run.max_ticks, "End a match still on after N ticks as the end key would")
        ->type_name("N")
        ->check(CLI::Range(uint64_t{1}, uint64_t{1} << 40))
        ->capture_default_str();
    app.add_option("--out", run.out, "Append one JSON line per match to FILE")->type_name("FILE");
    app.add_flag("--resume", run.resume, "Go on with the results already in --out: play only the others");
    app.add_option("--shard", run.shard, "Play only slice I (0..N-1) of N slices of the schedule")
        ->type_name("I/N")
        ->capture_default_str();
    app.add_option("--standings", run.standings, "Write the standings as JSON to FILE")->type_name("FILE");
    app.add_option("--replays", run.replays, "Keep a replay of every match in DIR")->type_name("DIR");
    app.add_flag("-q,--quiet", run.quiet, "No progress on standard error");
    app.add_flag("--list", run.list, "Print the schedule (id and the window's command line), play nothing");

    MergeOptions merge_options;
    CLI::App* merge_command =
        app.add_subcommand("merge", "Combine results files (shards, resumed runs) into one set of standings; "
                                    "each match counts once");
    merge_command->add_option("files", merge_options.files, "Results files")->type_name("FILE")->required();
    merge_command->add_option("--standings", merge_options.standings, "Write the standings as JSON to FILE")
        ->type_name("FILE");
    merge_command->add_option("--out", merge_options.out, "Write the combined results, one line per match, to FILE")
        ->type_name("FILE");
    merge_command->footer(EXIT_CODES);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? EXIT_DONE : EXIT_BAD_USAGE;
    }
    if (merge_command->parsed()) return merge(merge_options);
    if (run.teams.empty()) {
        std::fputs("fusewick-tournament: give at least one team file\nRun with --help for more information.\n", stderr);
        return EXIT_BAD_USAGE;
    }
    return play(run);
}

}  // namespace tournament
