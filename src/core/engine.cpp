// engine.cpp: one tick of the match. First the four bomb passes (blasts and hits, damage and death, explosion
// phases, fuses), then every living player's program until one of its commands has used the tick.
//
// Every pass runs team 0 to 3, player 0 to 3, bomb slot 0 upward; that order fixes the order of the console
// messages and of simultaneous events. Positions and counts are 32-bit floats advanced in double precision and
// stored back, and a position or count within 1/17 of a whole number counts as whole. Reads `config`, writes
// `game`. Nothing in here depends on OpenGL.
//
// To go fast the engine keeps two kinds of derived data beside `game`, never in it (so fingerprints and snapshots do
// not see them): the slots in play and the players dying, kept up to date by every change of a bomb's state or a
// pose, so the passes visit only the bombs that are out and the players with something to do instead of all 64
// slots and 16 players several times a tick; and the blast cross of each exploding slot,
// measured once per explosion and kept with the bomb's cell and range it was measured for. Anything that sets
// bombs or replaces `game` from outside the engine (loading, a run's start, a snapshot restored, a test) calls
// refreshDerivedState. Builds with FUSEWICK_CHECK_DERIVED_STATE (the sanitizer and fuzzing builds) check before
// every tick that the slots kept are the slots in `game`.
#include "core/events.h"
#include "core/fusewick.h"
#include "core/geometry.h"
#include "core/tables.h"
#include "core/utils.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A coordinate stands on a cell centre, and a count is used up, when it lies closer than this to a whole number.
constexpr double CELL_TOLERANCE = 1.0 / 17.0;

constexpr uint32_t TICKS_PER_DYING_FRAME = 7;
constexpr uint32_t TICKS_PER_WALKING_FRAME = 6;

enum BlastPhase : uint8_t { GROWING = 0, HOLDING = 1, SHRINKING = 2 };

bool standsOnCentre(float c) {
    return std::fabs(static_cast<double>(c) - static_cast<double>(std::rintf(c))) < CELL_TOLERANCE;
}

bool usedUp(float count) { return std::fabs(static_cast<double>(count)) < CELL_TOLERANCE; }

// 1 / n for every step count, worked out by the compiler with the same correctly rounded division as at run time:
// a table look-up in place of a division for every walking and waiting player in every tick.
constexpr std::array<double, 256> STEP_SHARES = [] {
    std::array<double, 256> shares{};
    for (size_t n = 0; n < shares.size(); ++n) shares[n] = 1.0 / static_cast<double>(n == 0 ? 1 : n);
    return shares;
}();

// The share of a cell (or of a WAIT unit) that one tick covers. A step count of 0 never comes from a team file;
// it is taken as 1 so that no division by zero can happen.
double stepShare(const Player& p) { return STEP_SHARES[p.step_ticks]; }

void roundPosition(Player& p) {
    p.x = std::rintf(p.x);
    p.y = std::rintf(p.y);
}

// A tick's score changes are summed in full and added once, saturating at the limits of the 8-bit scores: a tick
// with very many hits (up to 64 bombs on 16 players) must not wrap a winner into a loser, and the result must not
// depend on the order of the hits.
void addToScores(const std::array<int, TEAM_COUNT>& delta) {
    for (int t = 0; t < TEAM_COUNT; ++t) {
        int v = game.score[static_cast<size_t>(t)] + delta[static_cast<size_t>(t)];
        if (v > INT8_MAX) v = INT8_MAX;
        if (v < INT8_MIN) v = INT8_MIN;
        game.score[static_cast<size_t>(t)] = static_cast<int8_t>(v);
    }
}

// [SECTION] Derived data

// The slots whose bomb is ticking and whose bomb is exploding, one bit each (geometry.h's slotBit: bits rise in
// pass order), and the players dying. Taken from `game` by refreshDerivedState; every change of a bomb's state or
// of a dying pose in a tick updates them.
struct SlotsInPlay {
    uint64_t active = 0;
    uint64_t exploding = 0;
    uint32_t dying = 0;  // the players in a dying pose, bit team * 4 + player
    uint32_t hit = 0;    // the players hit in this tick's blast pass
};

constexpr uint32_t playerBit(int team, int player) { return uint32_t{1} << (team * PLAYER_COUNT + player); }

uint32_t dyingPlayers() {
    uint32_t dying = 0;
    for (int t = 0; t < TEAM_COUNT; ++t)
        for (int p = 0; p < PLAYER_COUNT; ++p)
            if (isDyingPose(game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)].pose)) dying |= playerBit(t, p);
    return dying;
}
SlotsInPlay in_play;

// The cross of an exploding slot, with the cell and range it was measured for: a slot whose bomb still matches is
// not measured again. The walls never change within a match; a new grid comes with refreshDerivedState(true).
struct KeptCross {
    bool valid = false;
    float x = 0, y = 0;
    uint8_t range = 0;
    BlastCross cross{};
};
std::array<KeptCross, TEAM_COUNT * PLAYER_COUNT * BOMB_SLOTS> kept_crosses;

const BlastCross& crossOf(const Bomb& bomb, int bit) {
    KeptCross& kept = kept_crosses[static_cast<size_t>(bit)];
    // Compared bit for bit: NaN never equals itself and is measured every time, as before.
    if (!kept.valid || kept.x != bomb.x || kept.y != bomb.y || kept.range != bomb.range) {
        kept = KeptCross{true, bomb.x, bomb.y, bomb.range, measureBlast(bomb)};
    }
    kept.cross.bomb = &bomb;
    return kept.cross;
}

Player& ownerOfSlot(int bit) {
    return game.teams[static_cast<size_t>(slotTeam(bit))].players[static_cast<size_t>(slotPlayer(bit))];
}

// [SECTION] Bomb passes

// Where a bomb slot is: team, player and slot numbers, for the events.
struct SlotPlace {
    int team, player, slot;
};

void detonate(Bomb& b, const Player& owner, SlotPlace at) {
    const uint64_t bit = uint64_t{1} << slotBit(at.team, at.player, at.slot);
    in_play.active &= ~bit;
    in_play.exploding |= bit;
    b.cycle_count = 0;
    b.range = owner.blast_range;
    b.state = BOMB_EXPLODING;
    b.blast_frame = 0;
    b.blast_phase = GROWING;
    if (engine_events != nullptr) engine_events->bombDetonated(at.team, at.player, at.slot);
}

// What a blast can reach, in pass order: each living player, followed by its ticking bombs. Neither changes
// during the blast pass (deaths come in the damage pass, detonations in the fuse pass), so the list is made once
// per tick and serves every exploding bomb.
struct Target {
    float x;
    float y;
    Player* player;  // a living player, or nullptr for a bomb
    Bomb* bomb;      // a ticking bomb, or nullptr for a player
    int team;
    int index;       // player number within the team
    int slot;        // the bomb's slot
    size_t row;      // its entries in TargetsByCell
    size_t column;
};

constexpr size_t MAX_TARGETS = TEAM_COUNT * PLAYER_COUNT * (1 + BOMB_SLOTS);
using Targets = std::array<Target, MAX_TARGETS>;

// A set of targets by their places in the list: bits rise in pass order.
struct TargetSet {
    std::array<uint64_t, 2> words{};
    void add(size_t i) { words[i / 64] |= uint64_t{1} << (i % 64); }
    TargetSet& operator|=(const TargetSet& o) {
        words[0] |= o.words[0];
        words[1] |= o.words[1];
        return *this;
    }
};

// The targets by the row and by the column they lie in (cellBelow), so that a blast looks only at the targets of
// the two rows and two columns it can reach (crossMayReach) instead of at every target. Entry r + 1 is row r, for
// r from -1 to the grid's height; a target in no such row or column (or at NaN) is in `anywhere`, looked at always.
struct TargetsByCell {
    std::vector<TargetSet> rows, columns;
    TargetSet anywhere;

    // Sized to the grid: a few bytes to compare per tick, and right whatever grid the match has.
    void fit() {
        rows.resize(static_cast<size_t>(game.height) + 2);
        columns.resize(static_cast<size_t>(game.width) + 2);
    }
    static size_t entry(long c, size_t size) {
        return c >= -1 && c + 1 < static_cast<long>(size) ? static_cast<size_t>(c + 1) : size;
    }
    void add(Target& target, size_t i) {
        target.row = entry(cellBelow(target.y), rows.size());
        target.column = entry(cellBelow(target.x), columns.size());
        if (target.row == rows.size() || target.column == columns.size()) {
            anywhere.add(i);
            return;
        }
        rows[target.row].add(i);
        columns[target.column].add(i);
    }
    // The targets an exploding bomb with this cross may reach; every one of them when the cross has no closed form.
    // A closed form lies on a whole cell of the grid, so rows by - 1 and by (entries by and by + 1) both exist.
    TargetSet near(const BlastCross& cross, size_t target_count) const {
        TargetSet found = anywhere;
        if (!cross.closed_form) {
            for (size_t i = 0; i < target_count; ++i) found.add(i);
            return found;
        }
        const auto bx = static_cast<size_t>(cross.x), by = static_cast<size_t>(cross.y);
        found |= rows[by];
        found |= rows[by + 1];
        found |= columns[bx];
        found |= columns[bx + 1];
        return found;
    }
    // Empties the sets again, touching only the entries that the listed targets filled.
    void clear(const Targets& targets, size_t target_count) {
        for (size_t i = 0; i < target_count; ++i) {
            if (targets[i].row < rows.size()) rows[targets[i].row] = TargetSet{};
            if (targets[i].column < columns.size()) columns[targets[i].column] = TargetSet{};
        }
        anywhere = TargetSet{};
    }
};
TargetsByCell targets_by_cell;

size_t listTargets(Targets& targets) {
    size_t n = 0;
    for (int t = 0; t < TEAM_COUNT; ++t) {
        for (int p = 0; p < PLAYER_COUNT; ++p) {
            Player& v = game.teams[t].players[p];
            if (v.status == PLAYER_ALIVE) targets[n++] = Target{v.x, v.y, &v, nullptr, t, p, 0, 0, 0};
            const uint64_t own = in_play.active >> slotBit(t, p, 0) & ((1u << BOMB_SLOTS) - 1);
            for (uint64_t left = own; left != 0; left &= left - 1) {
                const int s = std::countr_zero(left);
                Bomb& b = v.bombs[static_cast<size_t>(s)];
                targets[n++] = Target{b.x, b.y, nullptr, &b, t, p, s, 0, 0};
            }
        }
    }
    return n;
}

// One exploding bomb (of player t.p, slot s) against one target it reaches: a ticking bomb is marked to go off in
// this tick's fuse pass, a living player is hit (a SAFETY player is spared by its own team's bombs).
void blastTarget(const Target& target, int t, int p, int s, std::array<int, TEAM_COUNT>& score_delta) {
    if (target.bomb != nullptr) {
        if (engine_events != nullptr && target.bomb->chain_hit == 0)
            engine_events->bombSetOff(target.team, target.index, target.slot, t, p, s);
        target.bomb->chain_hit = 1;
        if (config.debug_level > 2) {
            std::printf("Bomb from player %d.%d hit bomb from player", t + 1, p + 1);
            std::printf(" %d.%d\n", target.team + 1, target.index + 1);
        }
        return;
    }
    Player& victim = *target.player;
    if (config.debug_level > 1)
        std::printf("Bomb from player %d.%d hit player %d.%d\n", t + 1, p + 1, target.team + 1, target.index + 1);
    const bool spared = target.team == t && victim.type == SAFETY;
    if (engine_events != nullptr) engine_events->playerHit(t, p, s, target.team, target.index, !spared);
    if (spared) {
        if (config.debug_level > 1) std::printf("Player %d.%d survives!\n", target.team + 1, target.index + 1);
        return;
    }
    if (victim.hits < UINT8_MAX) ++victim.hits;
    in_play.hit |= playerBit(target.team, target.index);
    victim.anim_ticks = 0;
    score_delta[static_cast<size_t>(t)] += target.team == t ? -1 : 1;
}

// Every exploding bomb, in pass order, against everything it reaches, in pass order.
void blastPass() {
    if (in_play.exploding == 0) return;
    Targets targets;
    const size_t target_count = listTargets(targets);
    TargetsByCell& by_cell = targets_by_cell;
    by_cell.fit();
    for (size_t i = 0; i < target_count; ++i) by_cell.add(targets[i], i);
    std::array<int, TEAM_COUNT> score_delta{};
    for (uint64_t left = in_play.exploding; left != 0; left &= left - 1) {
        const int bit = std::countr_zero(left);
        const Bomb& bomb = ownerOfSlot(bit).bombs[static_cast<size_t>(slotIndex(bit))];
        const BlastCross& cross = crossOf(bomb, bit);
        const TargetSet near = by_cell.near(cross, target_count);
        for (size_t w = 0; w < near.words.size(); ++w) {
            for (uint64_t rest = near.words[w]; rest != 0; rest &= rest - 1) {
                const Target& target = targets[w * 64 + static_cast<size_t>(std::countr_zero(rest))];
                if (crossReaches(cross, target.x, target.y))
                    blastTarget(target, slotTeam(bit), slotPlayer(bit), slotIndex(bit), score_delta);
            }
        }
    }
    by_cell.clear(targets, target_count);
    addToScores(score_delta);
}

// Dying players fall one frame further every 7 ticks; this tick's hits cost health and may kill.
// Only players hit in this tick or dying are visited, in pass order: for any other, nothing below changes a thing.
void damagePass() {
    for (uint32_t left = in_play.hit | in_play.dying; left != 0; left &= left - 1) {
        const int bit = std::countr_zero(left);
        const int t = bit / PLAYER_COUNT, i = bit % PLAYER_COUNT;
        {
            Player& p = game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(i)];
            if (isDyingPose(p.pose)) {
                ++p.anim_ticks;
                if (p.anim_ticks >= TICKS_PER_DYING_FRAME) {
                    p.anim_ticks = 0;
                    ++p.pose;
                }
            }
            const int health = p.health - p.hits;
            p.health = static_cast<int8_t>(health < INT8_MIN ? INT8_MIN : health);
            if (p.health <= 0 && p.hits > 0) {
                p.status = PLAYER_DEAD;
                p.pose = POSE_DYING;
                p.anim_ticks = 0;
                p.cmd_index = p.cmd_count;  // a dead player's program stops at once
                if (engine_events != nullptr) engine_events->playerDied(t, i);
            }
            p.hits = 0;
            if (isDyingPose(p.pose)) in_play.dying |= playerBit(t, i);
            else in_play.dying &= ~playerBit(t, i);
        }
    }
    in_play.hit = 0;
}

// An explosion grows through frames 0..4, holds, shrinks back to 0, and then the bomb returns to its owner's hand.
void advanceExplosion(Bomb& b, Player& owner, SlotPlace at) {
    switch (b.blast_phase) {
    case GROWING:
        if (++b.tick_count >= TICKS_PER_BLAST_FRAME) {
            b.tick_count = 0;
            if (++b.blast_frame >= BLAST_FRAMES) {
                b.blast_frame = BLAST_FRAMES - 1;
                b.cycle_count = 0;
                b.blast_phase = HOLDING;
            }
        }
        break;
    case HOLDING:
        if (++b.cycle_count >= HOLDING_TICKS) {
            b.cycle_count = 0;
            b.tick_count = TICKS_PER_BLAST_FRAME;
            b.blast_phase = SHRINKING;
        }
        break;
    default:
        --b.tick_count;
        if (b.blast_frame == 0) {
            b.tick_count = 0;
            b.state = BOMB_FREE;
            b.fuse_frame = 0;
            in_play.exploding &= ~(uint64_t{1} << slotBit(at.team, at.player, at.slot));
            ++owner.cur_bombs;
            if (engine_events != nullptr) engine_events->bombReturned(at.team, at.player, at.slot);
        } else if (b.tick_count == 0) {
            b.tick_count = TICKS_PER_BLAST_FRAME;
            --b.blast_frame;
        }
        break;
    }
}

// A fuse burns three cycles of three frames of 15 ticks; a bomb reached by a blast goes off at once.
void burnFuse(Bomb& b, const Player& owner, SlotPlace at) {
    if (b.state == BOMB_ACTIVE && ++b.tick_count >= TICKS_PER_FUSE_FRAME) {
        b.tick_count = 0;
        if (++b.fuse_frame >= FUSE_FRAMES) {
            b.fuse_frame = 0;
            if (++b.cycle_count >= FUSE_CYCLES) detonate(b, owner, at);
        }
    }
    if (b.chain_hit == 1) {
        b.chain_hit = 0;
        b.tick_count = 0;
        detonate(b, owner, at);
    }
}

// The explosion pass and then the fuse pass, folded into one walk over the slots in play. That is the same as two
// walks: each step touches only its own bomb and its owner's hand, which neither pass reads, and a bomb that the
// fuse step sets off is not advanced as an explosion in the same tick, since the explosion step of its slot came
// first. A free slot has nothing to do in either pass (no blast marks a free slot).
void explosionAndFusePasses() {
    for (uint64_t left = in_play.active | in_play.exploding; left != 0; left &= left - 1) {
        const int bit = std::countr_zero(left);
        Player& owner = ownerOfSlot(bit);
        Bomb& b = owner.bombs[static_cast<size_t>(slotIndex(bit))];
        const SlotPlace at{slotTeam(bit), slotPlayer(bit), slotIndex(bit)};
        if (b.state == BOMB_EXPLODING) advanceExplosion(b, owner, at);
        else burnFuse(b, owner, at);
    }
}

// [SECTION] Program pass

void turn(Player& p, uint32_t opcode) { p.pose = turnedPose(p.pose, opcode); }

// Each walking frame shows for 6 ticks, cycling within the facing group.
void animateWalk(Player& p, Facing facing) {
    if (++p.anim_ticks >= TICKS_PER_WALKING_FRAME) {
        p.anim_ticks = 0;
        const uint32_t first = standingPose(facing);
        p.pose = p.pose + 1 >= first + POSES_PER_FACING ? first : p.pose + 1;
    }
}

// One tick of a MOVE: on a cell centre the position is rounded and the cell ahead tested; a closed cell costs the
// tick without moving. The count runs down either way, so a MOVE n always lasts n * step_ticks ticks.
void moveTick(Player& p, Command& c) {
    const bool walking = isWalkingPose(p.pose);
    const Facing facing = facingOf(p.pose);
    const bool along_x = facing == FACING_SMALLER_X || facing == FACING_LARGER_X;
    const double sign = facing == FACING_SMALLER_X || facing == FACING_SMALLER_Y ? -1.0 : 1.0;
    const double share = stepShare(p);
    if (walking) {
        float& coord = along_x ? p.x : p.y;
        bool blocked = false;
        if (standsOnCentre(coord)) {
            roundPosition(p);
            blocked = cellAheadAmong(p, in_play.active).closed != CellAhead::Closed::Open;
        }
        if (!blocked) coord = static_cast<float>(static_cast<double>(coord) + sign * share);
    }
    c.count = static_cast<float>(static_cast<double>(c.count) - share);
    const bool finished = usedUp(c.count);
    if (finished) ++p.cmd_index;
    if (!walking) return;
    // Walkers facing larger x restart their frame timer when a MOVE ends; the other facings keep it running.
    if (finished && facing == FACING_LARGER_X) p.anim_ticks = 0;
    animateWalk(p, facing);
}

void waitTick(Player& p, Command& c) {
    c.count = static_cast<float>(static_cast<double>(c.count) - stepShare(p));
    if (usedUp(c.count)) {
        roundPosition(p);
        ++p.cmd_index;
    }
}

// A DROP with no bomb in hand stays current and is tried again next tick.
void dropTick(Player& p, int team, int index) {
    if (p.cur_bombs == 0) return;
    for (int s = 0; s < usableSlots(p); ++s) {
        Bomb& b = p.bombs[static_cast<size_t>(s)];
        if (b.state != BOMB_FREE) continue;
        roundPosition(p);
        in_play.active |= uint64_t{1} << slotBit(team, index, s);
        b.state = BOMB_ACTIVE;
        b.fuse_frame = 0;
        b.cycle_count = 0;
        b.tick_count = 0;
        b.x = p.x;
        b.y = p.y;
        --p.cur_bombs;
        ++p.cmd_index;
        if (engine_events != nullptr) engine_events->bombDropped(team, index, s);
        return;
    }
}

// Turns take no time; the first MOVE, WAIT or DROP uses the player's tick.
void runProgram(Player& p, int team, int index) {
    while (p.cmd_index < p.cmd_count && p.cmd_index < p.commands.size()) {
        Command& c = p.commands[p.cmd_index];
        switch (c.opcode) {
        case LEFT:
        case RIGHT:
        case REVERSE: turn(p, c.opcode); ++p.cmd_index; break;
        case MOVE: moveTick(p, c); return;
        case WAIT: waitTick(p, c); return;
        case DROP: dropTick(p, team, index); return;
        default: ++p.cmd_index; break;  // no such command is ever compiled; passing over it is harmless
        }
    }
}

void programPass() {
    for (int t = 0; t < TEAM_COUNT; ++t) {
        for (int i = 0; i < PLAYER_COUNT; ++i) {
            Player& p = game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(i)];
            if (p.status == PLAYER_ALIVE && p.cmd_index != p.cmd_count) runProgram(p, t, i);
        }
    }
}

#ifdef FUSEWICK_CHECK_DERIVED_STATE
// The checking builds' guard: the derived data must be what `game` holds, or someone set bombs or poses without
// refreshDerivedState.
void checkDerivedState(const char* where) {
    if (in_play.active != slotsIn(BOMB_ACTIVE) || in_play.exploding != slotsIn(BOMB_EXPLODING) ||
        in_play.dying != dyingPlayers()) {
        std::fprintf(stderr, "%s: bombs or poses were set without refreshDerivedState\n", where);
        std::abort();
    }
}
#endif

}  // namespace

bool anyBombInPlay() {
#ifdef FUSEWICK_CHECK_DERIVED_STATE
    checkDerivedState("anyBombInPlay");
#endif
    return (in_play.active | in_play.exploding) != 0;
}

void refreshDerivedState(bool new_grid) {
    if (new_grid) kept_crosses.fill(KeptCross{});
    in_play = SlotsInPlay{slotsIn(BOMB_ACTIVE), slotsIn(BOMB_EXPLODING), dyingPlayers(), 0};
}

void updateGame() {
    if (game.game_over == 1) return;
#ifdef FUSEWICK_CHECK_DERIVED_STATE
    checkDerivedState("updateGame");
#endif
    blastPass();
    damagePass();
    explosionAndFusePasses();
    programPass();
}
