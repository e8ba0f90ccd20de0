// tournament.cpp: the command line of fusewick-tournament and the run of a tournament from the first check to the
// last line of the standings.
#include "tournament/tournament.h"

#include "tournament/play.h"
#include "tournament/report.h"
#include "tournament/pool.h"
#include "tournament/result_line.h"
#include "tournament/schedule.h"
#include "tournament/standings.h"

#include "check/check.h"
#include "core/loaders.h"
#include "core/utils.h"
#include "core/version.h"
#include "match/match.h"
#include "match/result_json.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    "  4  a worker died twice on some matches: they are left out of the standings (--resume plays them again)\n"
    "  5  merge: matches of the schedule are missing, or a results file could not be read: partial standings\n"
    "  6  another run is writing the same --out file (the process and host are named)\n"
    "  7  merge: the files hold results of different tournaments (--mixed merges them all the same)\n"
    "  8  stopped by SIGINT or SIGTERM: the results so far are kept, and the command to go on is printed\n";

volatile std::sig_atomic_t stop_signal = 0;

void rememberStop(int signal) { stop_signal = signal; }

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void warn(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "fusewick-tournament: %s\n", message.c_str());
}

// Reads every file once. Every faulty one is reported, all of them before anything is played, with the
// checker's errors (the game's own message, the place and the reason; a folder called a folder). Returns how many
// files were refused.
size_t loadEntrants(const std::vector<std::string>& paths, bool maps, std::vector<Entrant>& out) {
    size_t refused = 0;
    for (const std::string& path : paths) {
        const std::optional<std::string> text = readFileText(path);
        const SourceFile source{path, text};
        const bool faulty = maps ? readMap(source).fault.has_value() : readTeam(source).fault.has_value();
        if (!faulty) {
            out.push_back(Entrant{path, *text});
            continue;
        }
        ++refused;
        std::vector<check::Diagnostic> errors = maps ? check::checkMapFile(source) : check::checkTeamFile(source);
        std::erase_if(errors, [](const check::Diagnostic& d) { return d.severity != check::Severity::Error; });
        std::fflush(stdout);
        std::fputs(check::formatText(errors).c_str(), stderr);
    }
    return refused;
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
            std::snprintf(line, sizeof line, "%zu/%zu %s in %.1f s, %.1f matches/s", done_, total_,
                          total_ == 1 ? "match" : "matches", elapsed, rate);
        } else {
            // No time left is told before a match has ended: there is nothing yet to tell it from.
            if (done_ == 0)
                std::snprintf(line, sizeof line, "0/%zu matches, the first still on", total_);
            else
                std::snprintf(line, sizeof line, "%zu/%zu matches, %.1f matches/s, %s left", done_, total_, rate,
                              clock(static_cast<double>(total_ - done_) / rate).c_str());
        }
        drawn_ = terminal_ && !final;
        if (terminal_)
            std::fprintf(stderr, "\r%s\033[K%s", line, final ? "\n" : "");
        else
            std::fprintf(stderr, "%s\n", line);
        std::fflush(stderr);
    }

    // Before another message: the line being redrawn is finished first.
    void interrupt() {
        if (drawn_) std::fputs("\n", stderr);
        drawn_ = false;
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
    bool drawn_ = false;  // a line being redrawn stands unfinished on the terminal
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

// [SECTION] Outputs

// Where the standings go besides standard output, as the run and merge take them.
struct Outputs {
    std::string standings;  // JSON
    std::string csv;
    std::string report;     // HTML
    std::string replays;    // for the report's links
    std::string site;       // the browser viewer's site, for the report's links
    bool by_map = false;
};

// Whether `path` can be written, found out before any match is played; a file made for the test is removed.
bool checkWritable(const std::string& path, const char* what) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        warn(std::string("the ") + what + " file " + path + " is a folder");
        return false;
    }
    const bool existed = std::filesystem::exists(path, ec);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        warn(std::string("cannot write the ") + what + " file " + path + ": " + std::strerror(errno));
        return false;
    }
    ::close(fd);
    if (!existed) std::filesystem::remove(path, ec);
    return true;
}

bool checkOutputs(const Outputs& o) {
    bool ok = true;
    if (!o.standings.empty()) ok = checkWritable(o.standings, "standings") && ok;
    if (!o.csv.empty()) ok = checkWritable(o.csv, "CSV") && ok;
    if (!o.report.empty()) ok = checkWritable(o.report, "report") && ok;
    return ok;
}

bool publish(const std::vector<MatchLine>& lines, uint64_t expected, const Outputs& o) {
    const std::vector<MatchLine> unique = dedupe(lines);
    Standings standings = computeStandings(unique);
    if (expected > standings.matches) standings.expected_matches = expected;
    Presentation presentation;
    if (o.by_map) presentation.by_map = standingsByMap(unique);
    std::fputs(publishedTable(standings, presentation).c_str(), stdout);
    std::fflush(stdout);
    bool ok = true;
    if (!o.standings.empty()) ok = writeText(o.standings, publishedJson(standings, presentation)) && ok;
    if (!o.csv.empty()) ok = writeText(o.csv, standingsCsv(standings, presentation)) && ok;
    if (!o.report.empty()) {
        ReportInput input{&standings, presentation, unique, o.replays, o.site};
        for (const ReportPage& page : buildReport(o.report, input)) ok = writeText(page.path, page.html) && ok;
    }
    return ok;
}

// [SECTION] The lock on a results file

// The lock of `out`: the file out + ".lock", held with flock() for as long as the run lives, and naming the
// process and host that hold it. The kernel lets go of it when the process dies however it dies, so a lock file
// left behind by a dead run is simply taken over.
class OutLock {
public:
    ~OutLock() {
        if (fd_ >= 0) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
            ::close(fd_);
        }
    }
    // Empty on success, else why not.
    std::string take(const std::string& out) {
        path_ = out + ".lock";
        for (int attempt = 0; attempt < 10; ++attempt) {
            const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) return "cannot make the lock file " + path_ + ": " + std::strerror(errno);
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                char holder[512] = {};
                const ssize_t n = ::pread(fd, holder, sizeof holder - 1, 0);
                ::close(fd);
                std::string who = n > 0 ? std::string(holder, static_cast<size_t>(n)) : "";
                while (!who.empty() && (who.back() == '\n' || who.back() == ' ')) who.pop_back();
                return out + " is being written by another run (" + (who.empty() ? "a process" : who) +
                       "; lock " + path_ + ")";
            }
            // The file locked must still be the one at the path: a run ending just now removes it.
            struct stat held {}, named {};
            if (::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
                held.st_dev == named.st_dev) {
                char host[256] = {};
                ::gethostname(host, sizeof host - 1);
                const std::string me = "process " + std::to_string(::getpid()) + " on " + host + "\n";
                // Who holds the lock only helps the message of a second run: a failure to write it is no fault.
                const bool named = ::ftruncate(fd, 0) == 0 && ::pwrite(fd, me.data(), me.size(), 0) >= 0;
                static_cast<void>(named);
                fd_ = fd;
                return "";
            }
            ::close(fd);
        }
        return "cannot take the lock " + path_ + ": it keeps changing";
    }
    int fd() const { return fd_; }

private:
    std::string path_;
    int fd_ = -1;
};

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
    Outputs outputs;
    bool quiet = false;
    bool list = false;
    std::vector<std::string> command_line;  // as given, to tell how to go on after a stop
};

// The command that goes on with a run: the one given, with --resume when it was not there.
std::string resumeCommand(const std::vector<std::string>& given) {
    std::string command;
    for (const std::string& word : given) command += (command.empty() ? "" : " ") + shellQuote(word);
    if (std::find(given.begin(), given.end(), "--resume") == given.end()) command += " --resume";
    return command;
}

struct MergeOptions {
    std::vector<std::string> files;
    std::string out;
    Outputs outputs;
    bool mixed = false;
};

// What the fingerprinted lines of a merge say about the tournament they belong to: how many matches each slice
// holds and how many of them are there.
struct Completeness {
    uint64_t expected = 0;  // the schedule's matches; 0 when no line tells
    std::vector<std::string> gaps;
};

Completeness checkCompleteness(const std::vector<MatchLine>& unique) {
    Completeness c;
    // Per slicing (N) and slice (I): the matches it should hold and the ids found.
    std::map<uint64_t, std::map<uint64_t, std::pair<uint64_t, std::set<std::string>>>> slices;
    std::set<std::string> ids;
    for (const MatchLine& line : unique) {
        if (!line.origin) continue;
        c.expected = std::max(c.expected, line.origin->schedule_matches);
        auto& slice = slices[line.origin->shard.count][line.origin->shard.index];
        slice.first = line.origin->shard_matches;
        slice.second.insert(line.id);
        ids.insert(line.id);
    }
    if (ids.size() >= c.expected) return c;
    for (const auto& [count, of] : slices) {
        for (uint64_t i = 0; i < count; ++i) {
            const std::string name = "slice " + std::to_string(i) + "/" + std::to_string(count);
            const auto it = of.find(i);
            if (it == of.end()) {
                c.gaps.push_back(name + ": no results at all (is its file missing from the merge?)");
            } else if (it->second.second.size() < it->second.first) {
                c.gaps.push_back(name + ": " + plural(it->second.first - it->second.second.size(), "match", "matches") +
                                 " of " + std::to_string(it->second.first) + " missing (resume it with --resume)");
            }
        }
    }
    return c;
}

int merge(const MergeOptions& options) {
    if (!checkOutputs(options.outputs) || (!options.out.empty() && !checkWritable(options.out, "results")))
        return EXIT_IO;
    std::vector<MatchLine> lines;
    bool unreadable = false;
    for (const std::string& file : options.files) {
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec)) {
            warn(file + " is a folder, not a results file; merging the others");
            unreadable = true;
            continue;
        }
        const std::optional<ResultsRead> read = readResultsFile(file, false);
        if (!read) {
            warn("merging the others without " + file);
            unreadable = true;
            continue;
        }
        if (read->torn_end) warn(file + " ends in a torn line; ignored");
        const auto bare = std::count_if(read->lines.begin(), read->lines.end(),
                                        [](const MatchLine& l) { return !l.origin; });
        if (bare > 0)
            warn(file + ": " + plural(static_cast<uint64_t>(bare), "line carries", "lines carry") +
                 " no tournament fingerprint (written by an earlier version): read as before, but whether matches "
                 "are missing cannot be told");
        lines.insert(lines.end(), read->lines.begin(), read->lines.end());
    }
    // Results of different tournaments: refused unless asked for, naming what differs.
    std::map<std::string, std::pair<Fingerprint, std::string>> tournaments;  // id: fingerprint, a file's line
    for (const MatchLine& line : lines)
        if (line.origin) tournaments.try_emplace(line.origin->tournament.id, line.origin->tournament, line.id);
    if (tournaments.size() > 1) {
        const Fingerprint& first = tournaments.begin()->second.first;
        for (auto it = std::next(tournaments.begin()); it != tournaments.end(); ++it) {
            std::string parts;
            for (const std::string& part : fingerprintDifferences(first, it->second.first))
                parts += (parts.empty() ? "" : ", ") + part;
            warn("tournament " + it->first + " differs from tournament " + first.id + " in " +
                 (parts.empty() ? std::string("its fingerprint") : parts));
        }
        if (!options.mixed) {
            warn("the files hold results of " + plural(tournaments.size(), "tournament", "tournaments") +
                 "; nothing merged (--mixed merges them all the same)");
            return EXIT_MIXED;
        }
    }
    std::vector<std::string> conflicts;
    const std::vector<MatchLine> unique = dedupe(lines, &conflicts);
    for (const std::string& id : conflicts)
        warn("match " + id + " has differing results; the first in byte order is kept");
    Completeness complete;
    if (tournaments.size() == 1) {
        complete = checkCompleteness(unique);
        for (const std::string& gap : complete.gaps) warn(gap);
    }
    if (!options.out.empty()) {
        std::string text;
        for (const MatchLine& line : unique) text += formatLine(line) + "\n";
        if (!writeText(options.out, text)) return EXIT_IO;
    }
    if (!publish(unique, complete.expected, options.outputs)) return EXIT_IO;
    const bool partial = unreadable || complete.expected > unique.size();
    if (partial) {
        warn(complete.expected > unique.size()
                 ? "partial standings: " + plural(complete.expected - unique.size(), "match", "matches") + " of " +
                       std::to_string(complete.expected) + " missing"
                 : std::string("partial standings: a results file could not be read"));
        return EXIT_PARTIAL;
    }
    return EXIT_DONE;
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
    field.replay_dir = options.outputs.replays;
    const size_t refused = loadEntrants(distinctFiles(options.maps), true, field.maps) +
                           loadEntrants(distinctFiles(options.teams), false, field.teams);
    if (refused > 0) {
        warn(plural(refused, "file", "files") + " refused; nothing was played");
        return EXIT_FAULTY_FILE;
    }

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
    const std::vector<ScheduledMatch> whole = buildSchedule(field.teams, field.maps, schedule_options);
    const std::vector<ScheduledMatch> schedule = shardOf(whole, *shard);
    const MatchLine::Origin origin{tournamentFingerprint(field.teams, field.maps, schedule_options), *shard,
                                   whole.size(), schedule.size()};

    if (options.list) {
        for (const ScheduledMatch& m : schedule) {
            std::array<std::string, SEATS> seats;
            for (size_t s = 0; s < SEATS; ++s) seats[s] = field.teams[static_cast<size_t>(m.seats[s])].path;
            const std::string command = windowCommand(field.maps[static_cast<size_t>(m.map)].path, seats);
            std::printf("%s  %s\n", m.id.c_str(), command.c_str());
        }
        return EXIT_DONE;
    }

    // A run stopped by Ctrl-C, kill or a batch system keeps what it wrote and says how to go on; the
    // signals are caught before the lock is taken, so that the lock is always let go.
    stop_signal = 0;
    struct sigaction stop {};
    stop.sa_handler = rememberStop;
    ::sigaction(SIGINT, &stop, nullptr);
    ::sigaction(SIGTERM, &stop, nullptr);
    // Every output is checked before the first match, and the results file is locked against a second run.
    if (!checkOutputs(options.outputs)) return EXIT_IO;
    OutLock lock;
    if (!options.out.empty()) {
        if (std::filesystem::is_directory(options.out)) {
            warn("the results file " + options.out + " is a folder");
            return EXIT_IO;
        }
        const std::string why = lock.take(options.out);
        if (!why.empty()) {
            warn(why);
            return EXIT_LOCKED;
        }
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
        size_t bare = 0;
        std::set<std::string> differences;
        for (const MatchLine& line : read->lines) {
            if (!line.origin) ++bare;
            if (line.origin && line.origin->tournament.id != origin.tournament.id)
                for (const std::string& part : fingerprintDifferences(line.origin->tournament, origin.tournament))
                    differences.insert(part);
            if (wanted.count(line.id) == 0) {
                ++foreign;
                continue;
            }
            if (done.insert(line.id).second) results.push_back(line);
        }
        if (foreign > 0)
            warn(plural(foreign, "result", "results") + " in " + options.out +
                 (foreign == 1 ? " belongs" : " belong") + " to no match of this tournament; left out of the standings");
        if (bare > 0)
            warn(options.out + ": " + plural(bare, "line carries", "lines carry") +
                 " no tournament fingerprint (written by an earlier version): read as before");
        if (!differences.empty()) {
            std::string parts;
            for (const std::string& part : differences) parts += (parts.empty() ? "" : ", ") + part;
            warn(options.out + " holds results of another tournament, which differs from this one in " + parts);
        }
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
    if (!options.outputs.replays.empty()) {
        const std::string& replays = options.outputs.replays;
        std::error_code ec;
        std::filesystem::create_directories(replays, ec);
        const std::string probe = replays + "/.fusewick-tournament-probe";
        const bool writable = !ec && std::filesystem::is_directory(replays, ec) && writeText(probe, "");
        std::filesystem::remove(probe, ec);
        if (!writable) {
            warn("cannot make the replay folder " + replays);
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
        std::fprintf(stderr, "fusewick-tournament: %s, %s, %s", plural(field.teams.size(), "team", "teams").c_str(),
                     plural(field.maps.size(), "map", "maps").c_str(),
                     plural(schedule.size(), "match", "matches").c_str());
        if (shard->count > 1)
            std::fprintf(stderr, " in slice %llu of 0..%llu", static_cast<unsigned long long>(shard->index),
                         static_cast<unsigned long long>(shard->count - 1));
        if (!done.empty()) std::fprintf(stderr, ", %zu already in %s", done.size(), options.out.c_str());
        const size_t workers = std::min<size_t>(todo.size(), static_cast<size_t>(jobs));
        std::fprintf(stderr, "; %zu to play on %s\n", todo.size(), plural(workers, "worker", "workers").c_str());
    }

    Progress progress(todo.size(), options.quiet);
    size_t failed = 0;
    bool write_failed = false;
    PoolHooks hooks;
    hooks.worker_started = [out_fd, lock_fd = lock.fd()] {
        if (out_fd >= 0) ::close(out_fd);
        if (lock_fd >= 0) ::close(lock_fd);  // the lock stays with the run, not with a worker left behind
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);  // the game's console output
            ::close(null);
        }
    };
    hooks.play = [&](size_t task) {
        MatchLine line = playScheduled(field, schedule[todo[task]]);
        line.origin = origin;
        return formatLine(line);
    };
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
    hooks.keep_going = [] { return stop_signal == 0; };

    std::string error;
    const bool ran = runPool(todo.size(), jobs, hooks, error);
    if (out_fd >= 0) ::close(out_fd);
    if (!ran && stop_signal != 0) {
        progress.interrupt();
        warn("stopped by " + std::string(stop_signal == SIGINT ? "SIGINT" : "SIGTERM") + " after " +
             plural(results.size() - done.size(), "match", "matches") +
             (options.out.empty() ? std::string("; the results were not kept (no --out)")
                                  : "; the results are kept in " + options.out +
                                        "; to go on: " + resumeCommand(options.command_line)));
        return EXIT_STOPPED;
    }
    if (!ran) {
        if (!error.empty()) warn(error);
        return EXIT_IO;
    }
    progress.show(true);
    if (!publish(results, 0, options.outputs) || write_failed) return EXIT_IO;
    if (failed > 0) {
        warn(plural(failed, "match", "matches") + " failed and " + (failed == 1 ? "is" : "are") +
             " left out of the standings");
        return EXIT_MATCHES_FAILED;
    }
    return EXIT_DONE;
}

void addOutputOptions(CLI::App& app, Outputs& outputs) {
    app.add_option("--standings", outputs.standings, "Write the standings as JSON to FILE")->type_name("FILE");
    app.add_option("--csv", outputs.csv, "Write the standings as CSV to FILE")->type_name("FILE");
    app.add_option("--report", outputs.report, "Write the standings, the matches and links to their replays as a "
                                               "web page to FILE.html")
        ->type_name("FILE");
    app.add_option("--site", outputs.site, "The browser viewer's site the report opens replays in (default: a "
                                           "folder site next to the report, when there is one)")
        ->type_name("DIR");
    app.add_flag("--by-map", outputs.by_map, "Standings per map too, in the table, the JSON, the CSV and the report");
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
    addOutputOptions(app, run.outputs);
    app.add_option("--replays", run.outputs.replays, "Keep a replay of every match in DIR")->type_name("DIR");
    app.add_flag("-q,--quiet", run.quiet, "No progress on standard error");
    app.add_flag("--list", run.list, "Print the schedule (id and the window's command line), play nothing");

    MergeOptions merge_options;
    CLI::App* merge_command =
        app.add_subcommand("merge", "Combine results files (shards, resumed runs) into one set of standings; "
                                    "each match counts once");
    merge_command->add_option("files", merge_options.files, "Results files")->type_name("FILE")->required();
    addOutputOptions(*merge_command, merge_options.outputs);
    merge_command->add_option("--replays", merge_options.outputs.replays, "The replay folder the report links to")
        ->type_name("DIR");
    merge_command->add_flag("--mixed", merge_options.mixed,
                            "Merge results of different tournaments (different team files, maps or options)");
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
    run.command_line.assign(argv, argv + argc);
    if (run.teams.empty()) {
        std::fputs("fusewick-tournament: give at least one team file\nRun with --help for more information.\n", stderr);
        return EXIT_BAD_USAGE;
    }
    return play(run);
}

}  // namespace tournament
