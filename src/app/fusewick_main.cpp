// fusewick_main.cpp: the entry of the windowed program. Start-up in its fixed order, then the toolkit's loop.
//
// Holds no state of its own: everything it sets up lives in `config`, `game` and `textures`. Each step ends the
// process itself on a fault, so a later step never sees a half-built state.
#include "core/fusewick.h"
#include "core/utils.h"

#include "gl/gl_utils.h"

#include <GL/glut.h>

int main(int argc, char** argv) {
    installOutOfMemoryHandler();
    parseArgs(argc, argv);
    printConfigWhenAsked();
    // Map, setup, teams: the window's size follows the grid, so a bad team file ends the process before a window
    // opens.
    loadMatch();
    initGL(argc, argv);
    loadSprites();  // needs the window's GL context
    glutMainLoop();
    return 0;
}
