// raise_error_web.cpp: the browser build's ways out. The page checks every text before loading it, so these are
// never reached by a file; should one be, the module must live on, so both throw to the call that the page made.
#include "core/utils.h"

#include "web_exit.h"

void raise_error(int code) { throw WebExit{code, errorMessage(code)}; }

void endProcess(int status) { throw WebExit{status, "the program ended"}; }
