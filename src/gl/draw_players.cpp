// draw_players.cpp: one player as one quad from its team's sprite sheet, chosen by its pose.
//
// Needs only the GL headers; reads one player record, writes nothing, binds nothing.
#include "gl/gl_utils.h"

namespace {

// Sheet columns in 358ths of the sheet's width, per pose: left and right corner. Facing larger x has no pictures of
// its own: poses 3..5 reverse the columns of 0..2, which mirrors them.
struct SheetColumns {
    int from, to;
};
constexpr SheetColumns POSE_COLUMNS[20] = {
    {54, 70},   {72, 89},   {90, 108},   // 0..2 facing smaller x
    {70, 54},   {89, 72},   {108, 90},   // 3..5 facing larger x, mirrored
    {167, 183}, {185, 201}, {203, 219},  // 6..8 facing smaller y
    {0, 17},    {18, 34},   {35, 52},    // 9..11 facing larger y
    {222, 238}, {239, 256}, {275, 291}, {257, 274},  // 12..15 spare pictures
    {292, 308}, {309, 325}, {326, 342}, {343, 358},  // 16..19 dying
};
constexpr double SHEET_UNITS = 358.0;

}  // namespace

void drawPlayer(const Player& p) {
    const float x = p.x;
    const float y = p.y;
    glBegin(GL_QUADS);
    if (p.pose < 20) {
        const SheetColumns c = POSE_COLUMNS[p.pose];
        const double s_from = c.from / SHEET_UNITS;
        const double s_to = c.to / SHEET_UNITS;
        // One cell wide, one and a half tall: the head reaches into the cell above. The row is the depth, so a
        // player lower on the screen covers the head of one above it.
        glTexCoord2d(s_from, 0.0);
        glVertex3f(x, y + 1.0f, y);
        glTexCoord2d(s_to, 0.0);
        glVertex3f(x + 1.0f, y + 1.0f, y);
        glTexCoord2d(s_to, 1.0);
        glVertex3f(x + 1.0f, y - 0.5f, y);
        glTexCoord2d(s_from, 1.0);
        glVertex3f(x, y - 0.5f, y);
    }
    glEnd();
}
