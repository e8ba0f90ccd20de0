// scenario.h: small matches for the engine tests. Map and team files are written to a temporary directory and
// loaded in start-up order (map, setup, teams); ticks run and their console output is returned.
#pragma once

#include "core/fusewick.h"
#include "core/utils.h"
#include "support/test_support.h"

#include <array>
#include <string>
#include <vector>

namespace fwtest {

// A map file text for the given rows.
inline std::string mapText(const std::vector<std::string>& rows) {
    std::string text = std::to_string(rows.at(0).size()) + ", " + std::to_string(rows.size()) + "\n";
    for (const std::string& r : rows) text += r + "\n";
    return text;
}

// An open map of w x h cells.
inline std::vector<std::string> openRows(int w, int h) { return std::vector<std::string>(h, std::string(w, '-')); }

// A team file text: four type lines, then the program lines as given ("P1.MOVE 3\nP1.DROP\n").
inline std::string teamText(const std::array<const char*, 4>& types, const std::string& program = "") {
    std::string text;
    for (int p = 0; p < 4; ++p) text += "P" + std::to_string(p + 1) + " " + types[p] + "\n";
    return text + program;
}

inline const std::string& idleTeam() {
    static const std::string text = teamText({"CAPTAIN", "CAPTAIN", "CAPTAIN", "CAPTAIN"});
    return text;
}

class Scenario {
public:
    // Loads the map and the four team files (team names "t1".."t4") at the given debug level.
    void load(const std::vector<std::string>& rows, const std::array<std::string, 4>& teams, int debug = 0) {
        resetGlobals();
        config.debug_level = debug;
        const std::string map = dir_.write("arena.map", mapText(rows));
        std::array<std::string, 4> files;
        for (int t = 0; t < 4; ++t) files[t] = dir_.write("t" + std::to_string(t + 1) + ".fpl", teams[t]);
        useFiles(map, files[0], files[1], files[2], files[3]);
        captureStdout([] { loadMatch(); });
    }

    // Runs `n` ticks of the engine and returns what they printed.
    static std::string ticks(int n) {
        return captureStdout([n] {
            for (int i = 0; i < n; ++i) updateGame();
        });
    }

    static Player& player(int team, int p) { return game.teams.at(team).players.at(p); }

private:
    TempDir dir_;
};

// Arms slot `slot` of a player directly: active, at (x, y), one tick before its fuse would have burnt down when
// `about_to_blow` is set.
inline void armBomb(Player& owner, int slot, float x, float y, bool about_to_blow = false) {
    Bomb& b = owner.bombs.at(slot);
    b = Bomb{};
    b.state = BOMB_ACTIVE;
    b.x = x;
    b.y = y;
    if (about_to_blow) {
        b.cycle_count = 2;
        b.fuse_frame = 2;
        b.tick_count = 14;
    }
    --owner.cur_bombs;
}

// Makes slot `slot` of a player an explosion that has just begun, with the owner's reach.
inline void explodeBomb(Player& owner, int slot, float x, float y) {
    armBomb(owner, slot, x, y);
    Bomb& b = owner.bombs.at(slot);
    b.state = BOMB_EXPLODING;
    b.range = owner.blast_range;
}

}  // namespace fwtest
