// pool.h: a pool of forked worker processes that play tasks one at a time and send their result lines back over
// pipes. Each worker is a copy of the parent made before the first task, so it holds everything the tasks need in
// memory; a task is only its number. A worker that dies is reported with the task it was on, which is handed to a
// fresh worker once more and given up after a second death; the pool never waits on a dead worker.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tournament {

struct PoolHooks {
    // In the worker: plays task `task` and returns its result line (without a line feed). May end the process.
    std::function<std::string(size_t task)> play;
    // In the parent, as each result arrives, in arrival order. Returning false stops the pool (its workers are
    // killed) and runPool returns false.
    std::function<bool(size_t task, const std::string& line)> result;
    // In the parent: a worker died on `task`; `why` says how; `again` tells whether the task is played once more.
    std::function<void(size_t task, const std::string& why, bool again)> died;
    // In the parent, about once a second while results are awaited, and after each result.
    std::function<void()> tick;
    // In the parent, after every wait for results: returning false stops the pool as `result` does.
    std::function<bool()> keep_going;
    // In the worker, first thing after the fork (e.g. to send standard output away).
    std::function<void()> worker_started;
};

// Plays tasks 0..count-1 on up to `jobs` workers. Returns false when a hook stopped the pool or a worker could not
// be started (`error` then says why); true otherwise, also when some tasks were given up.
bool runPool(size_t count, int jobs, const PoolHooks& hooks, std::string& error);

}  // namespace tournament
