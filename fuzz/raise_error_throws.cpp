// raise_error_throws.cpp: the fuzzing build's exits. A refused input must not end the fuzzer, so both ways out
// throw; the readers hold their files and buffers by RAII, so nothing leaks on the way up.
#include "core/utils.h"
#include "fuzz_support.h"

#include <cstdio>

void raise_error(int code) {
    std::fputs(errorMessage(code), stderr);
    throw FuzzExit{code};
}

void endProcess(int status) { throw FuzzExit{status}; }
