// game.h: the records of a match and the global `game` that holds them.
//
// The whole state of a match lives in one plain global record. Loaders, setup and the engine write its fields
// directly; the drawing only reads them (apart from the scoreboard's score clamp). The field types carry the game's
// exact 8, 16 and 32-bit arithmetic, so keep them as they are. Nothing in here depends on OpenGL.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Player type codes, stored in Player::type.
enum PlayerType : uint32_t {
    CAPTAIN = 0,
    GHOST = 1,
    STRETCHER = 2,
    SAFETY = 3,
    SPRINTER = 4,
    HOARDER = 5,
    HULK = 6,
};

// Command codes, stored in Command::opcode.
enum Opcode : uint32_t {
    LEFT = 0,
    RIGHT = 1,
    REVERSE = 2,
    MOVE = 3,
    DROP = 4,
    WAIT = 5,
};

// Bomb slot states, stored in Bomb::state.
enum BombState : uint8_t {
    BOMB_FREE = 0,
    BOMB_ACTIVE = 1,
    BOMB_EXPLODING = 2,
};

// Player status, stored in Player::status.
enum PlayerStatus : uint8_t {
    PLAYER_ALIVE = 0,
    PLAYER_DEAD = 1,  // dying or dead: pose 16 and above
};

constexpr int TEAM_COUNT = 4;      // always four teams
constexpr int PLAYER_COUNT = 4;    // of four players
constexpr int BOMB_SLOTS = 4;      // with four bomb slots each
constexpr uint32_t POSE_DYING = 16;  // first dying frame; 16..19 are dying
constexpr uint32_t POSE_DEAD = 20;   // the final dead pose, never drawn

// One step of a compiled program.
struct Command {
    uint32_t opcode;  // LEFT..WAIT
    float count;      // MOVE and WAIT: remaining count, counted down while the command runs; others 0
};

// One bomb slot of a player.
struct Bomb {
    uint8_t state;         // BOMB_FREE, BOMB_ACTIVE (fuse burning) or BOMB_EXPLODING
    uint32_t fuse_frame;   // 0..2 while the fuse burns
    uint32_t blast_frame;  // 0..4 while exploding
    uint8_t chain_hit;     // 1: reached by another blast this tick, detonates in this tick's fuse pass
    uint8_t cycle_count;   // active: completed fuse cycles; exploding: ticks spent holding
    uint8_t range;         // blast reach in cells, copied from the owner's blast_range at detonation
    uint8_t tick_count;    // tick counter of the fuse and of the explosion phases
    uint8_t blast_phase;   // exploding: 0 growing, 1 holding, 2 shrinking
    float x;               // column of the bomb's cell (a whole number)
    float y;               // row of the bomb's cell (a whole number)
};

struct Player {
    uint32_t type;                // PlayerType
    uint32_t pose;                // 0..11 facing and walking frame, 16..19 dying, 20 dead
    uint8_t status;               // PLAYER_ALIVE or PLAYER_DEAD
    uint8_t hits;                 // blast hits taken during the current tick
    int8_t health;                // hit points
    uint8_t step_ticks;           // ticks per cell of a MOVE and per unit of a WAIT
    uint8_t blast_range;          // reach of this player's blasts
    uint8_t max_bombs;            // bomb slots the player may use, 1..4
    uint8_t cur_bombs;            // bombs in hand
    float x;                      // column, in cells
    float y;                      // row, in cells
    uint32_t anim_ticks;          // ticks since the animation frame last changed
    uint32_t cmd_index;           // command being executed; equal to cmd_count when the program is done
    uint32_t cmd_count;           // number of commands in the program
    std::vector<Command> commands;  // the compiled program; its storage is kept across restarts
    std::array<Bomb, BOMB_SLOTS> bombs;  // the bomb slots
};

struct Team {
    uint8_t winner;   // 1: this team's score equalled the top score at the end
    std::string name; // team file name without its extension
    std::array<Player, PLAYER_COUNT> players;
};

struct Game {
    std::array<int8_t, TEAM_COUNT> score;  // per team; the scoreboard clamps into -9..19
    uint8_t running;                       // 1: every frame advances the match by a tick
    uint8_t game_over;                     // 1: the match has ended and the table was printed
    uint8_t end_requested;                 // 1: the user asked to end the match
    uint16_t width;                        // grid width in cells
    uint16_t height;                       // grid height in cells
    std::vector<std::string> rows;         // height rows of exactly width cell bytes; 'X' is a wall
    std::array<Team, TEAM_COUNT> teams;
};

extern Game game;  // the match, zero at program start
