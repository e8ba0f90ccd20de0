// The worker pool with stand-in tasks: every task's result arrives once whatever the number of workers; a worker
// that dies is reported with its task, which is played once more and given up after a second death; a result the
// parent cannot take stops the pool without waiting for the busy workers.
#include "tournament/pool.h"

#include "support/test_support.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>

#include <unistd.h>

using namespace tournament;

namespace {

struct PoolRun {
    bool ok = false;
    std::string error;
    std::map<size_t, std::string> results;
    std::vector<std::pair<size_t, bool>> deaths;  // task, played again
    std::vector<std::string> why;
};

PoolRun runTasks(size_t count, int jobs, std::function<std::string(size_t)> play) {
    PoolRun run;
    PoolHooks hooks;
    hooks.play = std::move(play);
    hooks.result = [&run](size_t task, const std::string& line) {
        EXPECT_TRUE(run.results.emplace(task, line).second) << "task " << task << " came back twice";
        return true;
    };
    hooks.died = [&run](size_t task, const std::string& why, bool again) {
        run.deaths.push_back({task, again});
        run.why.push_back(why);
    };
    run.ok = runPool(count, jobs, hooks, run.error);
    return run;
}

TEST(Pool, EveryResultOnceForAnyNumberOfWorkers) {
    for (int jobs : {1, 2, 5}) {
        const PoolRun run = runTasks(40, jobs, [](size_t task) { return "r" + std::to_string(task * task); });
        EXPECT_TRUE(run.ok);
        ASSERT_EQ(run.results.size(), 40u) << jobs;
        for (const auto& [task, line] : run.results) EXPECT_EQ(line, "r" + std::to_string(task * task));
        EXPECT_TRUE(run.deaths.empty());
    }
    EXPECT_TRUE(runTasks(0, 3, [](size_t) { return std::string("x"); }).ok);
}

// Task 3 kills its worker the first time only (a marker file remembers it), task 5 every time.
TEST(Pool, DeadWorkerReportedItsTaskPlayedOnceMoreThenGivenUp) {
    fwtest::TempDir dir;
    const std::string marker = dir.file("task3-died");
    const PoolRun run = runTasks(12, 2, [&marker](size_t task) {
        if (task == 3 && !std::filesystem::exists(marker)) {
            std::FILE* f = std::fopen(marker.c_str(), "w");
            std::fclose(f);
            std::raise(SIGKILL);  // (a sanitizer would catch SIGSEGV and exit instead)
        }
        if (task == 5) ::_exit(9);
        return "ok" + std::to_string(task);
    });
    EXPECT_TRUE(run.ok);
    EXPECT_EQ(run.results.size(), 11u);
    EXPECT_EQ(run.results.count(5), 0u);
    EXPECT_EQ(run.results.at(3), "ok3");
    std::multiset<std::pair<size_t, bool>> deaths(run.deaths.begin(), run.deaths.end());
    EXPECT_EQ(deaths, (std::multiset<std::pair<size_t, bool>>{{3, true}, {5, true}, {5, false}}));
    const std::set<std::string> why(run.why.begin(), run.why.end());
    EXPECT_EQ(why, (std::set<std::string>{"worker was killed by signal 9 (Killed)",
                                          "worker exited with code 9"}));
}

TEST(Pool, StopsAtOnceWhenAResultCannotBeTaken) {
    PoolHooks hooks;
    hooks.play = [](size_t task) {
        if (task > 0) ::sleep(60);  // the busy workers are killed, not waited for
        return std::string("first");
    };
    int taken = 0;
    hooks.result = [&taken](size_t, const std::string&) { return ++taken < 1; };
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(runPool(10, 3, hooks, error));
    EXPECT_EQ(taken, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
