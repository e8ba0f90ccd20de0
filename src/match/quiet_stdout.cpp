// quiet_stdout.cpp: standard output sent to /dev/null and brought back.
#include "match/quiet_stdout.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

QuietStdout::QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
}

QuietStdout::~QuietStdout() {
    std::fflush(stdout);
    if (saved_ >= 0) {
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
}
