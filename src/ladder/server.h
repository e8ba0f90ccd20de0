// server.h: `fusewick-ladder serve`: the HTTP API and the pages on cpp-httplib, over the ladder's database, with
// the local workers as child processes (`fusewick-ladder work`, started from this program's own file and started
// again when one dies). A SIGTERM stops the listening, asks the workers to give their claims back and waits for them.
#pragma once

#include <cstdint>
#include <string>

namespace ladder {

struct ServerOptions {
    std::string db = "ladder.db";
    std::string host = "127.0.0.1";
    int port = 8080;
    int workers = 0;       // local worker processes
    int threads = 128;     // HTTP threads: one per connection kept alive, so at least the expected clients
    int submit_rate = 30;  // submissions a minute from one address
    std::string site;      // the browser viewer's folder, served under /site/ when given
    std::string program;   // this program's file, to start the workers
};

int runServer(const ServerOptions& options);

}  // namespace ladder
