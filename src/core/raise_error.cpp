// raise_error.cpp: the ways the core ends the process: the error report of raise_error and the plain exit after
// the help text.
//
// Kept in a file and library of their own so that a fuzzing build can link replacements that throw instead of
// ending the process. Depends only on the C library.
#include "core/utils.h"

#include <cstdio>
#include <cstdlib>

void raise_error(int code) {
    // Detail lines already on standard output come before the report when both reach one terminal.
    std::fflush(stdout);
    std::fputs("\n", stderr);
    std::fputs(errorMessage(code), stderr);
    std::fprintf(stderr, "%s exited with error code %d\n", "fusewick", code);
    // This platform has no "pause" command: nothing waits for a key, so scripts and tests are never blocked.
    endProcess(code);
}

void endProcess(int status) { std::exit(status); }
