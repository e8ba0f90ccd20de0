// tables.h: the game's tables, written down once: player types with their numbers, commands with their keywords,
// poses and facings, player status, and which bomb slots a player may use.
//
// Engine, setup, loaders, end of game, drawing and every tool read these facts from here and nowhere else. Only
// data and tiny pure functions; nothing in here depends on OpenGL or on the global records' contents.
#pragma once

#include "core/game.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// [SECTION] Player types ----------------------------------------------------------------------------------------------

// One row of the type table: the keyword in its two accepted spellings and what the type sets.
struct TypeInfo {
    PlayerType code;
    const char* capitalised;  // "Captain"
    const char* upper;        // "CAPTAIN", also the name tools print
    uint8_t step_ticks;       // ticks per cell of a MOVE and per unit of a WAIT
    uint8_t blast_range;      // cells the blast reaches along each arm
    uint8_t max_bombs;        // usable bomb slots
    int8_t health;            // hit points
    const char* special;      // the type's own rule in a few words, or "" (for help texts and references)
};

constexpr std::array<TypeInfo, 7> TYPE_TABLE{{
    {CAPTAIN, "Captain", "CAPTAIN", 8, 2, 2, 1, ""},
    {GHOST, "Ghost", "GHOST", 10, 2, 1, 1, "walks through bombs"},
    {STRETCHER, "Stretcher", "STRETCHER", 10, 4, 2, 1, ""},
    {SAFETY, "Safety", "SAFETY", 8, 1, 1, 1, "unharmed by its own team's blasts"},
    {SPRINTER, "Sprinter", "SPRINTER", 8, 2, 2, 1, ""},
    {HOARDER, "Hoarder", "HOARDER", 10, 2, 4, 1, ""},
    {HULK, "Hulk", "HULK", 16, 2, 3, 2, "survives one hit"},
}};

// The attributes every player gets at setup, before its team file names its type: a CAPTAIN's.
inline constexpr const TypeInfo& DEFAULT_TYPE = TYPE_TABLE[CAPTAIN];

// The table row of a type code; codes beyond the table read as the default type.
constexpr const TypeInfo& typeInfo(uint32_t code) {
    return code < TYPE_TABLE.size() ? TYPE_TABLE[code] : DEFAULT_TYPE;
}

// The upper-case name of a type code ("HULK"), or "UNKNOWN" for a code no team file gives.
constexpr const char* typeName(uint32_t code) { return code < TYPE_TABLE.size() ? TYPE_TABLE[code].upper : "UNKNOWN"; }

// [SECTION] Commands ----------------------------------------------------------------------------------------------------

struct CommandInfo {
    Opcode opcode;
    const char* capitalised;  // "Move"
    const char* upper;        // "MOVE"
    bool takes_count;         // MOVE and WAIT take a count (1 when none is given); the others refuse one
};

constexpr std::array<CommandInfo, 6> COMMAND_TABLE{{
    {LEFT, "Left", "LEFT", false},
    {RIGHT, "Right", "RIGHT", false},
    {REVERSE, "Reverse", "REVERSE", false},
    {MOVE, "Move", "MOVE", true},
    {DROP, "Drop", "DROP", false},
    {WAIT, "Wait", "WAIT", true},
}};

constexpr const char* commandName(uint32_t opcode) {
    return opcode < COMMAND_TABLE.size() ? COMMAND_TABLE[opcode].upper : "UNKNOWN";
}

// Keywords are words of at most this many characters, in their capitalised or upper-case spelling only.
constexpr size_t MAX_KEYWORD = 15;

// The table row whose keyword is exactly `word` in one of its two spellings.
const TypeInfo* findType(std::string_view word);
const CommandInfo* findCommand(std::string_view word);

// [SECTION] Poses and facings --------------------------------------------------------------------------------------------

// A walking pose is a facing group of three frames; the first frame of a group is the standing one.
enum Facing : uint32_t {
    FACING_SMALLER_X = 0,  // left on screen
    FACING_LARGER_X = 1,   // right on screen
    FACING_SMALLER_Y = 2,  // up on screen
    FACING_LARGER_Y = 3,   // down on screen
};
constexpr uint32_t FACING_COUNT = 4;
constexpr uint32_t POSES_PER_FACING = 3;
constexpr uint32_t WALKING_POSES = FACING_COUNT * POSES_PER_FACING;  // poses 0..11; 12..15 never occur
constexpr uint32_t POSE_VICTORY = 9;            // the winners cheer facing down, alternating frames 9 and 10
constexpr uint32_t POSE_AFTER_VICTORY = 11;     // the frame after the second cheering one wraps back to 9
constexpr uint32_t DYING_POSES = POSE_DEAD - POSE_DYING;  // 16..19

constexpr bool isWalkingPose(uint32_t pose) { return pose < WALKING_POSES; }
constexpr bool isDyingPose(uint32_t pose) { return pose >= POSE_DYING && pose < POSE_DEAD; }
constexpr Facing facingOf(uint32_t pose) { return static_cast<Facing>(pose / POSES_PER_FACING); }
constexpr uint32_t standingPose(Facing f) { return static_cast<uint32_t>(f) * POSES_PER_FACING; }

// The facing as a word: "left", "right", "up", "down" (on screen).
constexpr const char* facingName(Facing f) {
    constexpr const char* NAMES[FACING_COUNT] = {"left", "right", "up", "down"};
    return f < FACING_COUNT ? NAMES[f] : "none";
}

// The standing pose after LEFT, RIGHT and REVERSE, by the facing before. LEFT and RIGHT are turns as the player
// sees them, with y growing downward on screen.
constexpr uint32_t TURN_TABLE[FACING_COUNT][3] = {
    // LEFT                            RIGHT                            REVERSE
    {standingPose(FACING_LARGER_Y), standingPose(FACING_SMALLER_Y), standingPose(FACING_LARGER_X)},  // facing -x
    {standingPose(FACING_SMALLER_Y), standingPose(FACING_LARGER_Y), standingPose(FACING_SMALLER_X)},  // facing +x
    {standingPose(FACING_SMALLER_X), standingPose(FACING_LARGER_X), standingPose(FACING_LARGER_Y)},  // facing -y
    {standingPose(FACING_LARGER_X), standingPose(FACING_SMALLER_X), standingPose(FACING_SMALLER_Y)},  // facing +y
};

// The pose a turn command gives from `pose`; a pose that is not walking does not turn.
constexpr uint32_t turnedPose(uint32_t pose, uint32_t opcode) {
    return isWalkingPose(pose) && opcode <= REVERSE ? TURN_TABLE[facingOf(pose)][opcode] : pose;
}

// [SECTION] Start corners -----------------------------------------------------------------------------------------------

// Each team fills a 2 x 2 block in its corner, facing along an edge: player 2 stands one cell ahead of player 1,
// player 3 one cell along the other edge, player 4 diagonally. Offsets count from the corner cell inward.
struct StartCorner {
    const char* name;       // "top left"
    bool right;             // the corner is at the largest column
    bool bottom;            // the corner is at the largest row
    Facing facing;
    std::array<std::array<uint8_t, 2>, PLAYER_COUNT> offset;  // per player: cells in from the corner along x, y
};

constexpr std::array<StartCorner, TEAM_COUNT> START_CORNERS{{
    {"top left", false, false, FACING_LARGER_Y, {{{0, 0}, {0, 1}, {1, 0}, {1, 1}}}},
    {"bottom left", false, true, FACING_LARGER_X, {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}}},
    {"top right", true, false, FACING_SMALLER_X, {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}}},
    {"bottom right", true, true, FACING_SMALLER_Y, {{{0, 0}, {0, 1}, {1, 0}, {1, 1}}}},
}};

// The start cell of player `p` of team `t` on a grid of `width` x `height` cells.
struct Cell {
    float x, y;
};
constexpr Cell startCell(int t, int p, float width, float height) {
    const StartCorner& c = START_CORNERS[static_cast<size_t>(t)];
    const auto& o = c.offset[static_cast<size_t>(p)];
    return {c.right ? width - 1.0f - o[0] : static_cast<float>(o[0]),
            c.bottom ? height - 1.0f - o[1] : static_cast<float>(o[1])};
}

// [SECTION] Bomb slots -------------------------------------------------------------------------------------------------

// The bomb slots a player may use: the first max_bombs of its four.
constexpr int usableSlots(const Player& p) { return p.max_bombs < BOMB_SLOTS ? p.max_bombs : BOMB_SLOTS; }

// [SECTION] Bomb timing --------------------------------------------------------------------------------------------

// A fuse burns three cycles of three frames; the blast grows through five frames, holds, and shrinks back.
constexpr uint8_t TICKS_PER_FUSE_FRAME = 15;
constexpr uint32_t FUSE_FRAMES = 3;
constexpr uint8_t FUSE_CYCLES = 3;
constexpr uint8_t TICKS_PER_BLAST_FRAME = 5;
constexpr uint32_t BLAST_FRAMES = 5;  // blast_frame 0..4
constexpr uint8_t HOLDING_TICKS = 5;

// A bomb dropped in tick T is back in its owner's hand for a DROP in tick T + BOMB_AWAY_TICKS, unless another
// blast sets it off sooner: the fuse, the growing blast, the hold, and the shrinking blast, whose last frame ends in
// the explosion pass of that tick, before the program pass.
constexpr uint32_t BOMB_AWAY_TICKS = TICKS_PER_FUSE_FRAME * FUSE_FRAMES * FUSE_CYCLES +
                                     TICKS_PER_BLAST_FRAME * BLAST_FRAMES + HOLDING_TICKS +
                                     TICKS_PER_BLAST_FRAME * (BLAST_FRAMES - 1) + 1;
static_assert(BOMB_AWAY_TICKS == 186);

// [SECTION] Scores ----------------------------------------------------------------------------------------------------------

// The scoreboard shows two digit cells, so a score is held within this range at every frame.
constexpr int8_t LOWEST_SHOWN_SCORE = -9;
constexpr int8_t HIGHEST_SHOWN_SCORE = 19;

// The top score starts here when the winners are found, so a team must score at least this to win.
constexpr int STARTING_TOP_SCORE = -5;
