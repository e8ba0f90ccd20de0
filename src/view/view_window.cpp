// view_window.cpp: the viewer's window. The only file of the viewer that needs the toolkit (GLUT). The 30 ms timer
// moves a playing viewer on and draws a frame; keys and clicks change the control and redraw at once.
#include "view/view_window.h"

#include "core/utils.h"
#include "view/view_draw.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned int FRAME_MS = 30;
constexpr unsigned char KEY_TAB = 9;
constexpr unsigned char KEY_ESCAPE = 27;
constexpr int TRACK_SLACK = 8;  // a click this far above or below the timeline still hits it

MatchTimeline* shown = nullptr;
ViewControl control;
ViewLayout layout{};
int window_height = 0;
bool dragging = false;

void display() {
    shown->seek(control.tick);
    drawViewerFrame(layout, window_height, *shown, control);
    glutSwapBuffers();
}

void timer(int value) {
    // A paused viewer draws only when something changed: a key, a click, the window shown again.
    if (control.playing) {
        control.frame();
        glutPostRedisplay();
    }
    // Re-armed when it fires, as the game's: slower frames slow the viewer, they do not queue up.
    glutTimerFunc(FRAME_MS, timer, value);
}

void act(ViewAction action) {
    control.apply(action);
    glutPostRedisplay();
}

void viewKey(unsigned char key, int /*x*/, int /*y*/) {
    switch (key) {
    case 'q':
    case KEY_ESCAPE: std::exit(0);
    case ' ': act(ViewAction::PlayPause); break;
    case '+':
    case '=': act(ViewAction::Faster); break;
    case '-': act(ViewAction::Slower); break;
    case KEY_TAB: act(ViewAction::NextPlayer); break;
    case 'b': act(ViewAction::HiddenBombs); break;
    case '[':
    case ']':
        control.jump(eventTick(shown->marks(), control.tick, key == ']'));
        glutPostRedisplay();
        break;
    default: break;
    }
}

void navigationKey(int key, int /*x*/, int /*y*/) {
    switch (key) {
    case GLUT_KEY_RIGHT: act(ViewAction::StepForward); break;
    case GLUT_KEY_LEFT: act(ViewAction::StepBack); break;
    case GLUT_KEY_PAGE_DOWN: act(ViewAction::PageForward); break;
    case GLUT_KEY_PAGE_UP: act(ViewAction::PageBack); break;
    case GLUT_KEY_HOME: act(ViewAction::First); break;
    case GLUT_KEY_END: act(ViewAction::Last); break;
    default: break;
    }
}

// A click or drag on the timeline shows the tick under the pointer.
void seekTo(int x) {
    const ViewRect& track = layout.track;
    control.seek(columnTick(x - track.x, shown->lastTick(), track.width));
    glutPostRedisplay();
}

void mouse(int button, int state, int x, int y) {
    if (button != GLUT_LEFT_BUTTON) return;
    const ViewRect& t = layout.track;
    const ViewRect hit{t.x - TRACK_SLACK, t.y - TRACK_SLACK, t.width + 2 * TRACK_SLACK, t.height + 2 * TRACK_SLACK};
    dragging = state == GLUT_DOWN && hit.contains(x, y);
    if (dragging) seekTo(x);
}

void motion(int x, int /*y*/) {
    if (dragging) seekTo(x);
}

void reshape(int /*width*/, int height) { window_height = height; }

}  // namespace

ViewControl& viewerControl() { return control; }

void openViewer(int argc, char** argv, MatchTimeline& timeline, uint64_t start_tick) {
    shown = &timeline;
    control.last_tick = timeline.lastTick();
    control.seek(start_tick);
    layout = viewLayout(game.width, game.height, config.pixel_width, config.pixel_height);
    window_height = layout.height;

    int toolkit_argc = argc;
    glutInit(&toolkit_argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(layout.width, layout.height);
    glutCreateWindow(VIEWER_TITLE);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(viewKey);
    glutSpecialFunc(navigationKey);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);

    loadSprites();
    loadViewerFont();
    glutTimerFunc(FRAME_MS, timer, 0);
}

void viewerFrame() {
    control.frame();
    display();
    std::fflush(stdout);
}
