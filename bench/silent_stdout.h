// silent_stdout.h: standard output sent to /dev/null for as long as the object lives, so that the final table of
// every match a benchmark plays does not flood its report.
#pragma once

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

class SilentStdout {
public:
    SilentStdout() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~SilentStdout() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    SilentStdout(const SilentStdout&) = delete;
    SilentStdout& operator=(const SilentStdout&) = delete;

private:
    int saved_;
};
