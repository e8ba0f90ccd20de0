// load_client.cpp: ladder-load, a bounded load on a running ladder over loopback: readers that fetch the pages and
// the API in turn, and submitters that post new teams, for a set time, each on its own kept-alive connection. It
// prints one JSON document (requests, errors, requests a second, and the standings page's latency percentiles) and
// exits 1 when any request failed.
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
    std::mutex mutex;
    std::vector<double> standings_ms;
    std::atomic<uint64_t> requests{0}, errors{0}, submitted{0};
    std::vector<std::string> first_errors;

    void error(const std::string& what) {
        ++errors;
        const std::lock_guard<std::mutex> lock(mutex);
        if (first_errors.size() < 10) first_errors.push_back(what);
    }
};

constexpr time_t REQUEST_TIMEOUT_SECONDS = 30;

void readPages(const std::string& host, int port, Clock::time_point end, int index, Tally& tally) {
    httplib::Client client(host, port);
    client.set_keep_alive(true);
    // A request may wait for the database's write lock as long as the server's busy timeout (30 s), as a browser
    // would; the library's own 5 s would count a slow answer on a loaded machine as a failed one.
    client.set_read_timeout(REQUEST_TIMEOUT_SECONDS, 0);
    const std::vector<std::string> paths{"/",          "/api/standings", "/teams/1",
                                         "/matches/1", "/api/matches?limit=20", "/api/status"};
    std::vector<double> mine;
    for (size_t turn = static_cast<size_t>(index); Clock::now() < end; ++turn) {
        const std::string& path = paths[turn % paths.size()];
        const auto start = Clock::now();
        const auto res = client.Get(path.c_str());
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ++tally.requests;
        if (!res || res->status != 200) {
            tally.error("GET " + path + ": " + (res ? std::to_string(res->status) : httplib::to_string(res.error())));
            continue;
        }
        if (path == "/") mine.push_back(ms);
    }
    const std::lock_guard<std::mutex> lock(tally.mutex);
    tally.standings_ms.insert(tally.standings_ms.end(), mine.begin(), mine.end());
}

void submitTeams(const std::string& host, int port, Clock::time_point end, int index, const std::string& team,
            const std::string& prefix, Tally& tally) {
    httplib::Client client(host, port);
    client.set_keep_alive(true);
    // A request may wait for the database's write lock as long as the server's busy timeout (30 s), as a browser
    // would; the library's own 5 s would count a slow answer on a loaded machine as a failed one.
    client.set_read_timeout(REQUEST_TIMEOUT_SECONDS, 0);
    for (int n = 0; Clock::now() < end; ++n) {
        const std::string path = "/api/teams?name=" + prefix + std::to_string(index) + "_" + std::to_string(n);
        const auto res = client.Post(path.c_str(), team, "text/plain");
        ++tally.requests;
        if (!res || res->status != 201) {
            tally.error("POST " + path + ": " + (res ? std::to_string(res->status) : httplib::to_string(res.error())));
            continue;
        }
        ++tally.submitted;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a person at a form is slower still
    }
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"ladder-load: readers and submitters against a running ladder for a set time"};
    std::string host = "127.0.0.1", team_file, prefix = "load";
    int port = 8080, readers = 50, submitters = 20;
    double seconds = 15;
    app.add_option("--host", host);
    app.add_option("--port", port)->required();
    app.add_option("--readers", readers)->check(CLI::Range(0, 1000));
    app.add_option("--submitters", submitters)->check(CLI::Range(0, 1000));
    app.add_option("--seconds", seconds)->check(CLI::Range(0.1, 3600.0));
    app.add_option("--team", team_file, "The team file the submitters post")->required()->check(CLI::ExistingFile);
    app.add_option("--prefix", prefix, "The start of the submitted names");
    CLI11_PARSE(app, argc, argv);

    std::ifstream in(team_file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    Tally tally;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    std::vector<std::thread> threads;
    for (int i = 0; i < readers; ++i) threads.emplace_back(readPages, host, port, end, i, std::ref(tally));
    for (int i = 0; i < submitters; ++i)
        threads.emplace_back(submitTeams, host, port, end, i, text.str(), prefix, std::ref(tally));
    for (std::thread& t : threads) t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    const nlohmann::json out{
        {"seconds", elapsed},
        {"readers", readers},
        {"submitters", submitters},
        {"requests", tally.requests.load()},
        {"requests_per_second", static_cast<double>(tally.requests) / elapsed},
        {"submitted", tally.submitted.load()},
        {"errors", tally.errors.load()},
        {"first_errors", tally.first_errors},
        {"standings_page",
         {{"requests", tally.standings_ms.size()},
          {"requests_per_second", static_cast<double>(tally.standings_ms.size()) / elapsed},
          {"p50_ms", percentile(tally.standings_ms, 0.50)},
          {"p99_ms", percentile(tally.standings_ms, 0.99)}}}};
    std::printf("%s\n", out.dump(2).c_str());
    return tally.errors == 0 ? 0 : 1;
}
