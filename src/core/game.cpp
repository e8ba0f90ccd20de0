// game.cpp: storage of the global match record, zero at program start.
#include "core/game.h"

Game game;
