// web_exit.h: what the browser build throws where the game would end the process.
#pragma once

#include <string>

struct WebExit {
    int code;
    std::string message;
};
