// draw_players.cpp: one player as one quad from its team's sprite sheet, chosen by its pose.
//
// Needs only the GL headers; reads one player record, writes nothing, binds nothing. Where each pose's picture lies
// on the sheet is in sprite_layout.h.
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"

void drawPlayer(const Player& p) {
    const float x = p.x;
    const float y = p.y;
    glBegin(GL_QUADS);
    if (p.pose < POSE_DEAD) {
        const layout::PoseColumns c = layout::POSE_COLUMNS[p.pose];
        constexpr double SHEET_WIDTH = layout::TEAM_SHEET_WIDTH;
        const double s_from = c.from / SHEET_WIDTH;
        const double s_to = c.to / SHEET_WIDTH;
        // One cell wide, standing on its cell with the head in the cell above. The row is the depth, so a player
        // lower on the screen covers the head of one above it.
        glTexCoord2d(s_from, 0.0);
        glVertex3f(x, y + 1.0f, y);
        glTexCoord2d(s_to, 0.0);
        glVertex3f(x + 1.0f, y + 1.0f, y);
        glTexCoord2d(s_to, 1.0);
        glVertex3f(x + 1.0f, y - layout::PLAYER_HEAD_ROOM, y);
        glTexCoord2d(s_from, 1.0);
        glVertex3f(x, y - layout::PLAYER_HEAD_ROOM, y);
    }
    glEnd();
}
