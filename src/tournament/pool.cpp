// pool.cpp: forking the workers, handing out tasks, reading the results, burying the dead.
#include "tournament/pool.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tournament {

namespace {

struct Worker {
    pid_t pid = -1;
    int tasks = -1;    // parent's end: task numbers to the worker
    int results = -1;  // parent's end: result lines from the worker
    std::string buffer;
    std::optional<size_t> task;
};

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool readAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string describe(int status) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        return "was killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    if (WIFEXITED(status)) return "exited with code " + std::to_string(WEXITSTATUS(status));
    return "stopped";
}

[[noreturn]] void workerLoop(int tasks, int results, pid_t parent, const PoolHooks& hooks) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a parent killed outright takes its workers along
    if (::getppid() != parent) ::_exit(0);
    std::signal(SIGPIPE, SIG_DFL);
    if (hooks.worker_started) hooks.worker_started();
    for (;;) {
        uint64_t task = 0;
        if (!readAll(tasks, &task, sizeof task)) ::_exit(0);  // no more tasks
        std::string line;
        try {
            line = hooks.play(static_cast<size_t>(task));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "fusewick-tournament: worker: %s\n", e.what());
            ::_exit(70);
        }
        line += '\n';
        if (!writeAll(results, line.data(), line.size())) ::_exit(0);
    }
}

class Pool {
public:
    Pool(size_t count, int jobs, const PoolHooks& hooks) : hooks_(hooks), jobs_(jobs < 1 ? 1 : jobs) {
        for (size_t t = 0; t < count; ++t) queue_.push_back(t);
    }
    ~Pool() { stopAll(); }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    bool run(std::string& error) {
        const size_t wanted = std::min(queue_.size(), static_cast<size_t>(jobs_));
        for (size_t i = 0; i < wanted; ++i)
            if (!start(error)) return false;
        for (Worker& w : workers_) hand(w);
        while (busy() > 0) {
            std::vector<pollfd> fds;
            std::vector<size_t> owner;
            for (size_t i = 0; i < workers_.size(); ++i) {
                if (workers_[i].results < 0) continue;
                fds.push_back({workers_[i].results, POLLIN, 0});
                owner.push_back(i);
            }
            const int ready = ::poll(fds.data(), fds.size(), 1000);
            if (ready < 0 && errno != EINTR) {
                error = std::string("poll: ") + std::strerror(errno);
                return false;
            }
            if (hooks_.tick) hooks_.tick();
            if (hooks_.keep_going && !hooks_.keep_going()) return false;
            for (size_t k = 0; k < fds.size(); ++k) {
                if (fds[k].revents == 0) continue;
                if (!drain(owner[k], error)) return false;
            }
        }
        return true;
    }

private:
    size_t busy() const {
        size_t n = 0;
        for (const Worker& w : workers_) n += w.task ? 1 : 0;
        return n;
    }

    bool start(std::string& error) {
        int to_worker[2];
        int from_worker[2];
        if (::pipe2(to_worker, O_CLOEXEC) != 0) {
            error = std::string("cannot start a worker: ") + std::strerror(errno);
            return false;
        }
        if (::pipe2(from_worker, O_CLOEXEC) != 0) {
            ::close(to_worker[0]);
            ::close(to_worker[1]);
            error = std::string("cannot start a worker: ") + std::strerror(errno);
            return false;
        }
        std::fflush(nullptr);
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) {
            for (int fd : {to_worker[0], to_worker[1], from_worker[0], from_worker[1]}) ::close(fd);
            error = std::string("cannot start a worker: ") + std::strerror(errno);
            return false;
        }
        if (pid == 0) {
            // Only this worker's own ends stay open, so that every other worker's death is seen as an end of file.
            for (Worker& w : workers_) {
                closeFd(w.tasks);
                closeFd(w.results);
            }
            ::close(to_worker[1]);
            ::close(from_worker[0]);
            workerLoop(to_worker[0], from_worker[1], parent, hooks_);
        }
        ::close(to_worker[0]);
        ::close(from_worker[1]);
        Worker w;
        w.pid = pid;
        w.tasks = to_worker[1];
        w.results = from_worker[0];
        workers_.push_back(std::move(w));
        return true;
    }

    // Gives the worker its next task, or tells it there is none (it then ends).
    void hand(Worker& w) {
        if (queue_.empty()) {
            closeFd(w.tasks);
            return;
        }
        const size_t task = queue_.front();
        queue_.pop_front();
        w.task = task;
        const uint64_t wire = task;
        if (!writeAll(w.tasks, &wire, sizeof wire)) closeFd(w.tasks);  // it died: its results pipe tells
    }

    bool drain(size_t index, std::string& error) {
        char chunk[65536];
        const ssize_t n = ::read(workers_[index].results, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
        if (n <= 0) return buried(index, error);
        Worker& w = workers_[index];
        w.buffer.append(chunk, static_cast<size_t>(n));
        size_t end;
        while ((end = w.buffer.find('\n')) != std::string::npos) {
            const std::string line = w.buffer.substr(0, end);
            w.buffer.erase(0, end + 1);
            if (!w.task) continue;  // nothing was asked: not a result
            const size_t task = *w.task;
            w.task.reset();
            if (!hooks_.result(task, line)) {
                error.clear();
                return false;
            }
            hand(workers_[index]);
        }
        return true;
    }

    // The worker's results pipe reached its end: the worker is gone. Its task, if any, goes to a fresh worker.
    bool buried(size_t index, std::string& error) {
        Worker& w = workers_[index];
        closeFd(w.tasks);
        closeFd(w.results);
        int status = 0;
        while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {}
        w.pid = -1;
        if (!w.task) return true;
        const size_t task = *w.task;
        w.task.reset();
        const bool again = ++deaths_[task] < 2;
        if (hooks_.died) hooks_.died(task, "worker " + describe(status), again);
        if (again) queue_.push_front(task);
        if (queue_.empty()) return true;
        if (!start(error)) return false;
        hand(workers_.back());
        return true;
    }

    void stopAll() {
        for (Worker& w : workers_) {
            closeFd(w.tasks);
            closeFd(w.results);
            if (w.pid > 0 && w.task) ::kill(w.pid, SIGKILL);  // busy: stop it now
        }
        for (Worker& w : workers_) {
            if (w.pid <= 0) continue;
            int status = 0;
            while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {}
            w.pid = -1;
        }
    }

    const PoolHooks& hooks_;
    int jobs_;
    std::deque<size_t> queue_;
    std::vector<Worker> workers_;
    std::map<size_t, int> deaths_;
};

}  // namespace

bool runPool(size_t count, int jobs, const PoolHooks& hooks, std::string& error) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGPIPE, &ignore, &previous);  // a worker that died must not take the parent with it
    bool ok;
    {
        Pool pool(count, jobs, hooks);
        ok = pool.run(error);
    }
    ::sigaction(SIGPIPE, &previous, nullptr);
    return ok;
}

}  // namespace tournament
