// view_control.cpp: keys, clicks and frames of the viewer on the shown tick.
#include "view/view_control.h"

#include <algorithm>

void ViewControl::apply(ViewAction action) {
    const auto pauseAt = [this](uint64_t t) {
        playing = false;
        tick = std::min(t, last_tick);
    };
    switch (action) {
    case ViewAction::PlayPause:
        if (!playing && tick >= last_tick) tick = 0;  // a finished match plays again from the start
        playing = !playing;
        frames_waited = 0;
        break;
    case ViewAction::StepForward: pauseAt(tick + 1); break;
    case ViewAction::StepBack: pauseAt(tick > 0 ? tick - 1 : 0); break;
    case ViewAction::PageForward: pauseAt(tick + PAGE); break;
    case ViewAction::PageBack: pauseAt(tick > PAGE ? tick - PAGE : 0); break;
    case ViewAction::First: pauseAt(0); break;
    case ViewAction::Last: pauseAt(last_tick); break;
    case ViewAction::Faster: speed = std::min(speed + 1, FASTEST); break;
    case ViewAction::Slower: speed = std::max(speed - 1, SLOWEST); break;
    case ViewAction::NextPlayer: followed = (followed + 1) % (TEAM_COUNT * PLAYER_COUNT); break;
    case ViewAction::HiddenBombs: hidden_bombs = !hidden_bombs; break;
    }
}

void ViewControl::seek(uint64_t t) { tick = std::min(t, last_tick); }

void ViewControl::jump(uint64_t t) {
    playing = false;
    seek(t);
}

void ViewControl::frame() {
    if (!playing) return;
    uint64_t ticks = 1;
    if (speed < 0) {
        if (++frames_waited < (1 << -speed)) return;
        frames_waited = 0;
    } else {
        ticks = uint64_t{1} << speed;
    }
    tick = std::min(tick + ticks, last_tick);
    if (tick == last_tick) playing = false;
}

std::string ViewControl::speedText() const {
    if (speed < 0) return "1/" + std::to_string(1 << -speed) + " tick";
    const int ticks = 1 << speed;
    return std::to_string(ticks) + (ticks == 1 ? " tick" : " ticks");
}
