// scenario.h: small matches for the engine tests. Map and team files are written to a temporary directory and
// loaded in start-up order (map, setup, teams); ticks run and their console output is returned.
// Core only: nothing in here may depend on OpenGL.
#pragma once

#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace fwtest {

// An open map of w x h cells.
inline std::vector<std::string> openRows(int w, int h) { return std::vector<std::string>(h, std::string(w, '-')); }

// A team file text: player 1 of type `first`, three CAPTAINs, then the program lines ("P1.MOVE 3\nP1.DROP\n").
inline std::string teamText(const std::string& program = "", const std::string& first = "CAPTAIN") {
    return "P1 " + first + "\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n" + program;
}

// Loads a match into `game` from the given rows and team texts (an empty text: four idle CAPTAINs), at the given
// debug level, with the team names ".../t1" to ".../t4". The match stays paused.
inline void loadScenario(const std::vector<std::string>& rows, const std::array<std::string, 4>& teams = {},
                         int debug = 0) {
    resetGlobals();
    config.debug_level = debug;
    const TempDir dir;
    std::string map = std::to_string(rows.at(0).size()) + ", " + std::to_string(rows.size()) + "\n";
    for (const std::string& r : rows) map += r + "\n";
    std::array<std::string, 4> files;
    for (int t = 0; t < 4; ++t)
        files[t] = dir.write("t" + std::to_string(t + 1) + ".fpl", teams[t].empty() ? teamText() : teams[t]);
    useFiles(dir.write("arena.map", map), files[0], files[1], files[2], files[3]);
    captureStdout([] { loadMatch(); });
}

// Runs `n` ticks of the engine and returns what they printed.
inline std::string ticks(int n) {
    return captureStdout([n] {
        for (int i = 0; i < n; ++i) updateGame();
    });
}

inline Player& player(int team, int p) { return game.teams.at(team).players.at(p); }

// Gives an idle player the state of one long dead; its bombs go on as any others.
inline void markDead(Player& p) { p.status = 1; p.pose = POSE_DEAD; }

// A player's place and program state in a few words, positions to six significant digits:
// "(0, 2) pose 11 anim 4 cmd 1".
inline std::string describe(const Player& p) {
    std::ostringstream text;
    text << '(' << p.x << ", " << p.y << ") pose " << p.pose << " anim " << p.anim_ticks << " cmd " << p.cmd_index;
    return text.str();
}

// Arms slot `slot` of a player directly at (x, y), with a fresh fuse.
inline Bomb& armBomb(Player& owner, int slot, float x, float y) {
    --owner.cur_bombs;
    owner.bombs.at(slot) = Bomb{.state = BOMB_ACTIVE, .x = x, .y = y};  // every counter 0
    refreshDerivedState();
    return owner.bombs.at(slot);
}

// Makes slot `slot` of a player an explosion that has just begun, with the owner's reach.
inline Bomb& explodeBomb(Player& owner, int slot, float x, float y) {
    --owner.cur_bombs;
    owner.bombs.at(slot) = Bomb{.state = BOMB_EXPLODING, .range = owner.blast_range, .x = x, .y = y};
    refreshDerivedState();
    return owner.bombs.at(slot);
}

}  // namespace fwtest
