// view_window.h: the viewer's window (GLUT): its frame timer, keys and mouse on a played match.
#pragma once

#include "view/timeline.h"
#include "view/view_control.h"

#include <cstdint>

constexpr const char* VIEWER_TITLE = "Fusewick viewer";

// Opens the viewer's window for the match of `timeline` (kept by reference for the window's whole life) at the cell
// size of `config`, loads the game's sprites and the viewer's font (ending the process as the game does on a bad
// one) and shows tick `start_tick` paused. The toolkit may consume its own options from a copy of argc.
void openViewer(int argc, char** argv, MatchTimeline& timeline, uint64_t start_tick);

// One frame of the viewer: moves a playing viewer on by its speed, brings `game` to the shown tick, draws and shows
// the window. The frame timer calls it every 30 ms.
void viewerFrame();

// The viewer's control, for tools that drive it without keys.
ViewControl& viewerControl();
