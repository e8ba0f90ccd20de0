// game.cpp: storage of the global match record, zero at program start.
#include "core/game.h"

Game game;

#include "core/events.h"

EngineEvents* engine_events = nullptr;
