// arena_main.cpp: fusewick-arena, the headless runner. It takes the game's own command line plus options of its
// own, plays the match as the game does once the start key is pressed before the first frame, and prints the same
// console output. It can write the result as JSON, a trace of every player at every tick, and a replay file, and it
// plays a replay back and checks that it reproduces.
//
// A thin program on the match library: its own options are taken out of the argument vector, the rest goes to the
// game's command-line grammar unchanged.
#include "match/match.h"
#include "match/replay.h"
#include "match/result_json.h"
#include "match/trace.h"

#include "app/tool_options.h"
#include "core/utils.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr const char* NAME = "fusewick-arena";

// [SECTION] Options

struct ArenaOptions {
    std::vector<uint64_t> status_at;         // ticks after whose frame the status report is printed
    uint64_t max_ticks = DEFAULT_MAX_TICKS;  // after this tick a match still on is ended as the end key would
    bool max_ticks_given = false;
    std::string json_file;                   // the result as JSON; "-": standard output
    std::string trace_file;                  // the text trace; "-": standard output
    std::string trace_json_file;             // the trace as JSON Lines; "-": standard output
    TracePlayers trace_players = TracePlayers::all();
    std::string record_file;                 // write a replay here
    std::string replay_file;                 // play this replay instead of files
    bool trace_changes = false;              // trace a player only when something changes for it
    bool verbose = false;                    // with --replay: say on standard error that it reproduced
};

[[noreturn]] void usageError(const std::string& what) { ::usageError(NAME, "arena options", what); }

uint64_t ticksOf(const std::string& option, const std::string& value) {
    const auto ticks = tickValue(value);
    if (!ticks) usageError(option + " takes a number of ticks, not '" + value + "'");
    return *ticks;
}

ArenaOptions takeArenaOptions(std::vector<std::string>& args) {
    ArenaOptions o;
    auto take = [&](const std::string& e, const std::string& value) {
        if (value.empty()) usageError(e + " needs a value that is not empty");
        if (e == "--status-at") {
            o.status_at.push_back(ticksOf(e, value));
        } else if (e == "--max-ticks") {
            o.max_ticks = ticksOf(e, value);
            o.max_ticks_given = true;
        } else if (e == "--json") {
            o.json_file = value;
        } else if (e == "--trace") {
            o.trace_file = value;
        } else if (e == "--trace-json") {
            o.trace_json_file = value;
        } else if (e == "--trace-players") {
            const auto players = TracePlayers::parse(value);
            if (!players)
                usageError("--trace-players takes a list like 1.2,3.4 (team.player, 1 to 4) or 1 (a whole team), not '" +
                           value + "'");
            o.trace_players = *players;
        } else if (e == "--record") {
            o.record_file = value;
        } else {
            o.replay_file = value;
        }
    };
    for (const std::string& flag : takeOwnFlags(args, {"--trace-changes", "--verbose"})) {
        if (flag == "--trace-changes") o.trace_changes = true;
        if (flag == "--verbose") o.verbose = true;
    }
    takeOwnOptions(args, NAME,
                   {"--status-at", "--max-ticks", "--json", "--trace", "--trace-json", "--trace-players", "--record",
                    "--replay"},
                   take, [](const std::string& e) { usageError(e + " needs a value"); });
    return o;
}

bool asksForHelp(const std::vector<std::string>& args) {
    return readGameArgs(args).outcome == GameArgs::Outcome::Help;
}

void printArenaHelp() {
    std::printf("fusewick-arena plays a match without a window, as fusewick does once the start key is pressed,\n");
    std::printf("and prints the same console output.\n\n");
    std::printf("Usage: %s [arena options] [options] <file1> [<files> ...]\n", NAME);
    std::printf("       %s [arena options] --replay <file>\n\n", NAME);
    std::printf("Arena options (anywhere before the team files):\n");
    std::printf("--status-at <tick>                 Print the status report after the frame of that tick "
                "(repeatable)\n");
    std::printf("--max-ticks <n>                    End a match still on after tick <n> as the end key would "
                "(default is %d)\n",
                1000000);
    std::printf("--json <file>                      Write the result to <file> as JSON (-: standard output, the\n"
                "                                   match's console output then going to standard error)\n");
    std::printf("--trace <file>                     Write a line per player per tick and the events (-: standard "
                "output)\n");
    std::printf("--trace-json <file>                The same as JSON Lines\n");
    std::printf("--trace-players <list>             Trace only these players, e.g. 1.2,3.4 (team.player) or 1 (a "
                "team)\n");
    std::printf("--trace-changes                    Trace a player only when a command starts, it is blocked or "
                "freed,\n"
                "                                   its program finishes or it dies (the events all stay)\n");
    std::printf("--record <file>                    Write a replay of the match\n");
    std::printf("--replay <file>                    Play a replay (no other file is read) and check that it "
                "reproduces\n");
    std::printf("--verbose                          With --replay: say on standard error that it reproduced and how "
                "many\n"
                "                                   ticks were checked\n");
    std::printf("--version                          Print the version\n\n");
    std::printf("Exit codes beyond the game's: 8 a replay file that cannot be read, 9 a replay that went another "
                "way.\n\n");
    std::printf("Options and team files, as for fusewick:\n");
}

[[noreturn]] void helpAndExit() {
    printArenaHelp();
    print_help();
}

// [SECTION] Watching the run

// Prints the status report after the frames of the asked-for ticks and the notice when the cap ends the match.
class ArenaWatch final : public MatchObserver {
public:
    explicit ArenaWatch(std::vector<uint64_t> reports) : reports_(std::move(reports)) {
        std::sort(reports_.begin(), reports_.end());
        next_ = reports_.begin();
    }

    void tickDone(uint64_t tick) override {
        while (next_ != reports_.end() && *next_ < tick) ++next_;
        for (; next_ != reports_.end() && *next_ == tick; ++next_) printStatus();
    }

    void capReached(uint64_t tick) override {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: match still on after tick %llu, ended as the end key would\n", NAME,
                     static_cast<unsigned long long>(tick));
    }

    // Asked-for reports that never came: tick 0 (before any tick) and ticks after the end.
    void reportMissed(uint64_t ticks_played) const {
        for (const uint64_t tick : reports_) {
            if (tick >= 1 && tick <= ticks_played) continue;
            std::fprintf(stderr, "%s: no status report at tick %llu: the match %s\n", NAME,
                         static_cast<unsigned long long>(tick),
                         tick == 0 ? "reports after a tick, from tick 1 on"
                                   : ("ended after tick " + std::to_string(ticks_played)).c_str());
        }
    }

private:
    std::vector<uint64_t> reports_;
    std::vector<uint64_t>::const_iterator next_;
};

// An output file of the runner: standard output for "-", else a file opened before the match is played, so that a
// path that cannot be written is found early.
struct Output {
    std::FILE* file = nullptr;
    bool owned = false;
    std::string name;

    ~Output() {
        if (owned && file != nullptr) std::fclose(file);
    }
    bool open(const std::string& path, std::FILE* standard) {
        name = path;
        if (path == "-") {
            file = standard;
            return true;
        }
        file = std::fopen(path.c_str(), "w");
        owned = file != nullptr;
        return owned;
    }
    // Closes the file and tells whether everything reached it.
    bool close() {
        if (file == nullptr) return true;
        const bool ok = std::fflush(file) == 0 && std::ferror(file) == 0;
        if (owned) {
            const bool closed = std::fclose(file) == 0;
            file = nullptr;
            return ok && closed;
        }
        return ok;
    }
};

[[noreturn]] void cannotWrite(const char* what, const std::string& path) {
    std::fflush(stdout);
    std::fprintf(stderr, "Error: cannot write %s file %s\n", what, path.c_str());
    std::exit(EXIT_USAGE);
}

// [SECTION] Setting up the match

ToolSetup fromReplay(const std::string& path, ArenaOptions& options) {
    ToolSetup setup = setupFromReplay(NAME, path);
    // The replay's own cap and reports, unless asked otherwise.
    if (!options.max_ticks_given) options.max_ticks = setup.replay->max_ticks;
    if (options.status_at.empty()) options.status_at = setup.replay->status_at;
    return setup;
}

ToolSetup fromCommandLine(std::vector<std::string>& args, const ArenaOptions& options) {
    const GameArgs read = readGameArgs(args);
    if (read.outcome == GameArgs::Outcome::Help) helpAndExit();
    if (read.outcome == GameArgs::Outcome::Usage) usageError(read.fault);
    ToolSetup setup{sourcesOf(read.config), read.config, std::nullopt};
    // A replay keeps the texts as they were when the match was played.
    if (!options.record_file.empty()) setup.sources = readIntoMemory(setup.sources);
    return setup;
}

}  // namespace

int main(int argc, char** argv) {
    installOutOfMemoryHandler();
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // A help request is honoured before the runner's own option values are looked at, as the game does.
    if (asksForHelp(args)) helpAndExit();
    ArenaOptions options = takeArenaOptions(args);
    if (asksForHelp(args)) helpAndExit();
    if (!options.replay_file.empty() && !args.empty())
        usageError("a replay brings its own map and team files: " + args.front() + " is one too many");

    ToolSetup setup = options.replay_file.empty() ? fromCommandLine(args, options) : fromReplay(options.replay_file, options);
    config = setup.config;

    // With the result on standard output, the match's console output goes to standard error, the configuration
    // printed at the highest debug levels with it.
    Output json, trace, trace_json;
    const bool json_to_stdout = options.json_file == "-";
    if (!options.json_file.empty() && !json_to_stdout && !json.open(options.json_file, stdout))
        cannotWrite("result", options.json_file);
    int saved_stdout = -1;
    if (json_to_stdout) {
        std::fflush(stdout);
        saved_stdout = dup(STDOUT_FILENO);
        dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    printConfigWhenAsked();
    if (!options.trace_file.empty() && !trace.open(options.trace_file, stdout)) cannotWrite("trace", options.trace_file);
    if (!options.trace_json_file.empty() && !trace_json.open(options.trace_json_file, stdout))
        cannotWrite("trace", options.trace_json_file);

    const LoadedMatch match = loadMatchFrom(setup.sources, setup.config);

    ObserverList watchers;
    ArenaWatch watch(options.status_at);
    watchers.add(&watch);
    std::unique_ptr<TraceWriter> text_trace, json_trace;
    if (trace.file != nullptr) {
        text_trace = std::make_unique<TraceWriter>(trace.file, TraceFormat::Text, options.trace_players,
                                                  options.trace_changes);
        watchers.add(text_trace.get());
    }
    if (trace_json.file != nullptr) {
        json_trace = std::make_unique<TraceWriter>(trace_json.file, TraceFormat::JsonLines, options.trace_players,
                                                  options.trace_changes);
        watchers.add(json_trace.get());
    }
    std::unique_ptr<ReplayRecorder> recorder;
    if (!options.record_file.empty()) {
        recorder = std::make_unique<ReplayRecorder>(match, options.max_ticks, options.status_at);
        watchers.add(recorder.get());
    }
    std::unique_ptr<ReplayChecker> checker;
    if (setup.replay) {
        checker = std::make_unique<ReplayChecker>(*setup.replay);
        watchers.add(checker.get());
    }

    const MatchResult result = runMatch(match, options.max_ticks, &watchers);
    if (text_trace && !result.stopped) text_trace->matchEnded(result);
    if (json_trace && !result.stopped) json_trace->matchEnded(result);
    std::fflush(stdout);
    if (!trace.close()) cannotWrite("trace", trace.name);
    if (!trace_json.close()) cannotWrite("trace", trace_json.name);

    if (checker) {
        const ReplayVerdict verdict = checker->judge(result);
        if (verdict.kind == ReplayVerdict::RESULT_DIFFERS && options.verbose) {
            std::fprintf(stderr, "%s: %s: %s\n", NAME, options.replay_file.c_str(), verdict.words().c_str());
            return EXIT_REPLAY_DIVERGED;
        }
        if (const auto tick = checker->verdict(result)) {
            std::fprintf(stderr, "%s: %s does not reproduce: the match went another way at tick %llu\n", NAME,
                         options.replay_file.c_str(), static_cast<unsigned long long>(*tick));
            return EXIT_REPLAY_DIVERGED;
        }
        if (options.verbose)
            std::fprintf(stderr, "%s: %s %s: %llu %s checked\n", NAME, options.replay_file.c_str(),
                         verdict.words().c_str(), static_cast<unsigned long long>(result.ticks),
                         result.ticks == 1 ? "tick" : "ticks");
    }
    watch.reportMissed(result.ticks);
    if (recorder && !writeReplay(options.record_file, recorder->finish(result))) cannotWrite("replay", options.record_file);

    if (json_to_stdout) {
        dup2(saved_stdout, STDOUT_FILENO);
        close(saved_stdout);
        std::printf("%s\n", resultJson(result).dump(2).c_str());
        if (std::fflush(stdout) != 0) cannotWrite("result", "-");
    } else if (json.file != nullptr) {
        const std::string text = resultJson(result).dump(2) + "\n";
        std::fwrite(text.data(), 1, text.size(), json.file);
        if (!json.close()) cannotWrite("result", options.json_file);
    }
    return 0;
}
