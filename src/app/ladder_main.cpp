// ladder_main.cpp: fusewick-ladder, the ranked ladder service: serve, work, status, standings, backup. Everything is
// in the ladder library.
#include "ladder/cli.h"

int main(int argc, char** argv) { return ladder::ladderMain(argc, argv); }
