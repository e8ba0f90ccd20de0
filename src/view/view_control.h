// view_control.h: what the viewer's keys and clicks do to the shown tick, the play state, the speed and the followed
// player, and how a running viewer moves on from frame to frame. Plain data, no drawing and no match: the window
// hands the resulting tick to the timeline.
#pragma once

#include "core/game.h"

#include <cstdint>
#include <string>

enum class ViewAction {
    PlayPause,   // space
    StepForward, // Right: one tick on, paused
    StepBack,    // Left
    PageForward, // Page_Down: 100 ticks on, paused
    PageBack,    // Page_Up
    First,       // Home
    Last,        // End
    Faster,      // +: twice the speed
    Slower,      // -: half the speed
    NextPlayer,  // Tab: follow the next player, team by team
    HiddenBombs, // b: the overlay of bombs hidden under a player, on or off
};

struct ViewControl {
    static constexpr int SLOWEST = -2;  // a quarter of a tick per frame
    static constexpr int FASTEST = 6;   // 64 ticks per frame
    static constexpr uint64_t PAGE = 100;

    uint64_t tick = 0;       // the tick to show
    uint64_t last_tick = 0;  // the match's last tick
    bool playing = false;
    int speed = 0;           // ticks per frame as a power of two, SLOWEST..FASTEST
    int frames_waited = 0;   // below one tick per frame: frames since the last tick
    int followed = 0;        // team * 4 + player
    bool hidden_bombs = false;  // the overlay; off, the game's part of the picture is the game's frame

    // A key. Steps and jumps pause; play at the last tick starts over from tick 0.
    void apply(ViewAction action);

    // A click on the timeline: show `t` (at most the last tick); the play state stays.
    void seek(uint64_t t);

    // A jump ([ and ] to an event): show `t`, paused.
    void jump(uint64_t t);

    // One frame of the window: a playing viewer moves on by the speed, and pauses at the last tick.
    void frame();

    int followedTeam() const { return followed / PLAYER_COUNT; }
    int followedPlayer() const { return followed % PLAYER_COUNT; }

    // "1/4 tick", "1 tick", "64 ticks" per frame.
    std::string speedText() const;
};
