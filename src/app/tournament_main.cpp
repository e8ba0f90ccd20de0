// tournament_main.cpp: fusewick-tournament, which plays every group of four teams in every seat order on every
// map on all cores and prints the standings. Everything is in the tournament library.
#include "tournament/tournament.h"

int main(int argc, char** argv) { return tournament::tournamentMain(argc, argv); }
