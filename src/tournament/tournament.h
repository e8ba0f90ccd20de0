// tournament.h: the fusewick-tournament program: its command line, the check of every file before play, the
// schedule, the worker pool, the results file and the standings; and its `merge` command.
#pragma once

namespace tournament {

// Exit codes of fusewick-tournament.
enum TournamentExit : int {
    EXIT_DONE = 0,            // every match played (or already in the results file), standings written
    EXIT_IO = 1,              // a file could not be read or written, or a worker could not be started
    EXIT_BAD_USAGE = 2,       // bad command line
    EXIT_FAULTY_FILE = 3,     // a team file or map is missing or refused by the game; nothing was played
    EXIT_MATCHES_FAILED = 4,  // a worker died twice on some matches: they are left out of the standings
    EXIT_PARTIAL = 5,         // merge: matches of the schedule are missing, or a results file could not be read
    EXIT_LOCKED = 6,          // another run is writing the same results file
    EXIT_MIXED = 7,           // merge: the files hold results of different tournaments (see --mixed)
    EXIT_STOPPED = 8,         // stopped by SIGINT or SIGTERM: the results so far are kept, --resume goes on
};

int tournamentMain(int argc, char** argv);

}  // namespace tournament
