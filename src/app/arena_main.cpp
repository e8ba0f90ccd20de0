// arena_main.cpp: the entry of the headless runner; everything else lives in the core library (arena.h).
#include "core/arena.h"

int main(int argc, char** argv) { return arenaMain(argc, argv); }
