// events.h: what happens inside a tick, told to a tool that watches the match (a trace, a result with hits and
// deaths). The engine calls the hooks of `engine_events` when it is set; when it is null, as in the game, an event
// costs the test of one pointer and the engine does exactly what it does without it.
//
// Teams, players and bomb slots are numbered from 0 here. No OpenGL in here.
#pragma once

struct EngineEvents {
    virtual ~EngineEvents() = default;

    // A DROP armed `slot` of the player at the player's (just rounded) cell.
    virtual void bombDropped(int /*team*/, int /*player*/, int /*slot*/) {}

    // An exploding bomb first reached a ticking bomb in this tick's blast pass; the ticking bomb goes off in the
    // fuse pass of the same tick. Told once per bomb set off, for the first blast (in pass order) that reached it.
    virtual void bombSetOff(int /*team*/, int /*player*/, int /*slot*/, int /*by_team*/, int /*by_player*/,
                            int /*by_slot*/) {}

    // A bomb went off: its fuse burnt out, or a blast set it off. Its range is set; its blast hits from the next
    // tick on.
    virtual void bombDetonated(int /*team*/, int /*player*/, int /*slot*/) {}

    // A blast reached a living player. `counted` is false for a SAFETY player reached by its own team's bomb, which
    // is spared; otherwise the hit costs health and changes the owner's score.
    virtual void playerHit(int /*by_team*/, int /*by_player*/, int /*by_slot*/, int /*team*/, int /*player*/,
                           bool /*counted*/) {}

    // The player's health fell to 0 or below in this tick's damage pass: it dies and its program stops.
    virtual void playerDied(int /*team*/, int /*player*/) {}

    // An explosion ended: the slot is free and the bomb back in its owner's hand.
    virtual void bombReturned(int /*team*/, int /*player*/, int /*slot*/) {}
};

// The watcher of the engine's events; null unless a tool has set one.
extern EngineEvents* engine_events;
