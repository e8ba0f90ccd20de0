// cli.h: fusewick-ladder's command line (CLI11): serve, work, status, standings, verify, backup. The program's main is
// one call to ladderMain.
#pragma once

namespace ladder {

int ladderMain(int argc, char** argv);

}  // namespace ladder
