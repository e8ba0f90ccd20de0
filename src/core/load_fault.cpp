// load_fault.cpp: the one reporter of the "Error compiling" faults of both compilers.
#include "core/loaders.h"
#include "core/utils.h"

#include <cstdio>

void printFault(const std::string& path, const LoadFault& fault) {
    switch (fault.place) {
    case LoadFault::Place::Missing: return;
    case LoadFault::Place::Line: std::printf("Error compiling %s, line %d\n", path.c_str(), fault.line); break;
    case LoadFault::Place::WholeFile: std::printf("Error compiling %s\n", path.c_str()); break;
    }
    std::fputs(fault.message.c_str(), stdout);
}

void reportFault(const std::string& path, const LoadFault& fault) {
    printFault(path, fault);
    raise_error(fault.exit_code);
}
