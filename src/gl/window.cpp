// window.cpp: the game window, the frame cycle and the keys.
//
// The only file of the window library that needs the toolkit (GLUT). Everything happens in three callbacks that the
// toolkit calls one at a time on its one thread: the 30 ms timer asks for a frame, the display callback draws the
// frame and then advances the match by the core's frame step, the keyboard callback changes the match's flags.
#include "gl/gl_utils.h"

#include "core/fusewick.h"
#include "core/utils.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* WINDOW_TITLE = "Fusewick, v-1.0a";
constexpr unsigned int FRAME_MS = 30;
constexpr unsigned char KEY_LINE_FEED = 10;
constexpr unsigned char KEY_ENTER = 13;
constexpr unsigned char KEY_ESCAPE = 27;

void toggleRunning() { game.running = game.running == 0 ? 1 : 0; }

}  // namespace

void initGL(int argc, char** argv) {
    // The toolkit may strip its own options; it does so on this copy, not on the caller's count.
    int toolkit_argc = argc;
    glutInit(&toolkit_argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    const WindowSize size = windowSize(game.width, game.height, config.pixel_width, config.pixel_height);
    glutInitWindowSize(size.width, size.height);
    glutCreateWindow(WINDOW_TITLE);

    glutDisplayFunc(displayGame);
    glutIgnoreKeyRepeat(1);  // a key held down acts once
    glutKeyboardFunc(keyPress);

    setupView(game.width, game.height);
    glutTimerFunc(FRAME_MS, timerCallback, 0);
}

void displayGame() {
    drawScene();
    glutSwapBuffers();
    // One displayed frame of a running match is one tick: the frame shows the state before this frame's tick.
    frameStep();
    // Hit messages and the final table reach a pipe (a log, tee) as they happen, not when the program ends.
    std::fflush(stdout);
}

void timerCallback(int value) {
    glutPostRedisplay();
    // Re-armed when it fires, not when the frame is done: slower frames slow the match, they do not queue up.
    glutTimerFunc(FRAME_MS, timerCallback, value);
}

void keyPress(unsigned char key, int /*x*/, int /*y*/) {
    switch (key) {
    case 'q':
    case KEY_ESCAPE: std::exit(0);
    case 'p':
        printStatus();
        std::fflush(stdout);
        break;
    case 'r':
        // The files as they are on disk now; a restarted match runs at once. The sprites stay as loaded.
        loadMatch();
        game.running = 1;
        break;
    case 's':
    case KEY_ENTER:
    case KEY_LINE_FEED: toggleRunning(); break;
    case 'e': game.end_requested = 1; break;
    case 'n':
        if (game.running == 0) updateGame();
        break;
    default: break;  // keys are case-sensitive; everything else is ignored
    }
}
