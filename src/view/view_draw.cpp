// view_draw.cpp: the viewer's window picture: the game's frame, the panel and the strip.
#include "view/view_draw.h"

#include "core/tables.h"
#include "view/font_layout.h"
#include "core/utils.h"
#include "gl/bmp_utils.h"
#include "gl/sprite_layout.h"

#include <algorithm>
#include <cstdio>

GLuint viewer_font_texture = 0;

namespace {

// [SECTION] Layout constants

constexpr int PAD = 10;
constexpr int PANEL_WIDTH = VIEW_PANEL_COLUMNS * VIEW_CHAR_WIDTH + 2 * PAD;
constexpr int HEADER_LINES = 6;    // player, type and health, cell, state on two lines, file
constexpr int KEY_LINES = 5;
constexpr int MIN_PROGRAM_ROWS = 3;
constexpr int KEYS_GAP = 8;
constexpr int PANEL_MIN_HEIGHT =
    2 * PAD + (HEADER_LINES + MIN_PROGRAM_ROWS + KEY_LINES) * VIEW_CHAR_HEIGHT + KEYS_GAP;
constexpr int TRACK_TOP = 12;      // from the strip's top
constexpr int TRACK_HEIGHT = 28;
constexpr int STRIP_HEIGHT = TRACK_TOP + TRACK_HEIGHT + 8 + 2 * VIEW_CHAR_HEIGHT + PAD;

// [SECTION] Colours

constexpr ViewColour PANEL_BACKGROUND = {30, 32, 42};
constexpr ViewColour STRIP_BACKGROUND = {22, 24, 32};
constexpr ViewColour TEXT = {232, 232, 236};
constexpr ViewColour DIM = {150, 154, 170};
constexpr ViewColour ACCENT = {255, 214, 90};
constexpr ViewColour TRACK = {58, 62, 78};
constexpr ViewColour TRACK_PLAYED = {104, 114, 150};
// The teams as their players look on the field: light grey, charcoal, blue, red.
constexpr ViewColour TEAM_SWATCHES[TEAM_COUNT] = {{220, 220, 220}, {85, 85, 85}, {40, 80, 220}, {224, 30, 30}};

// [SECTION] Font sheet geometry (font_layout.h)

constexpr char SOLID = static_cast<char>(layout::VIEWER_FONT_SOLID);

struct TexRect {
    double s0, s1, t_top, t_bottom;
};

TexRect glyphRect(unsigned char c) {
    const layout::FontCell cell = layout::viewerFontCell(c);
    const double columns = layout::VIEWER_FONT_COLUMNS, rows = layout::VIEWER_FONT_ROWS;
    return {cell.column / columns, (cell.column + 1) / columns, 1.0 - cell.row / rows, 1.0 - (cell.row + 1) / rows};
}

// The middle of the solid block, so that nearest sampling never reaches a neighbouring cell.
TexRect solidRect() {
    const TexRect r = glyphRect(static_cast<unsigned char>(SOLID));
    const double ds = (r.s1 - r.s0) / 4;
    const double dt = (r.t_top - r.t_bottom) / 4;
    return {r.s0 + ds, r.s1 - ds, r.t_top - dt, r.t_bottom + dt};
}

void sendQuad(int x, int y, int w, int h, const TexRect& r) {
    const auto fx = static_cast<float>(x), fy = static_cast<float>(y);
    const auto fw = static_cast<float>(w), fh = static_cast<float>(h);
    glTexCoord2d(r.s0, r.t_bottom);
    glVertex2f(fx, fy + fh);
    glTexCoord2d(r.s1, r.t_bottom);
    glVertex2f(fx + fw, fy + fh);
    glTexCoord2d(r.s1, r.t_top);
    glVertex2f(fx + fw, fy);
    glTexCoord2d(r.s0, r.t_top);
    glVertex2f(fx, fy);
}

// Untextured: the software renderer fills plain colour faster than it samples a texture.
void fillRect(int x, int y, int w, int h, ViewColour c) {
    if (w <= 0 || h <= 0) return;
    glDisable(GL_TEXTURE_2D);
    glColor3ub(c.r, c.g, c.b);
    glBegin(GL_QUADS);
    sendQuad(x, y, w, h, solidRect());
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

void fillRect(const ViewRect& r, ViewColour c) { fillRect(r.x, r.y, r.width, r.height, c); }

// [SECTION] Words

// A position or a count to three decimals at most, as the text trace writes them: 2, 0.5, 2.938.
std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(v));
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string who(int team, int player) { return std::to_string(team + 1) + "." + std::to_string(player + 1); }

// `text` cut to `width` characters at a blank where one is near, and the rest.
std::pair<std::string, std::string> wrap(const std::string& text, size_t width) {
    if (text.size() <= width) return {text, ""};
    size_t cut = text.rfind(' ', width);
    if (cut == std::string::npos || cut < width / 2) cut = width;
    const size_t rest = text.find_first_not_of(' ', cut);
    return {text.substr(0, cut), rest == std::string::npos ? "" : text.substr(rest)};
}

// The end of a long path, marked as cut: "...eams/hoarders.fpl".
std::string tail(const std::string& text, size_t width) {
    if (text.size() <= width) return text;
    return "..." + text.substr(text.size() - (width - 3));
}

std::string trimmed(const std::string& s) {
    const size_t from = s.find_first_not_of(" \t");
    return from == std::string::npos ? "" : s.substr(from);
}

// The text a command shows in the listing: its team file line, or its name when the file's text is not at hand.
std::string commandLine(const MatchTimeline& timeline, int team, int player, size_t command) {
    const PlayerProgram& program = timeline.match().teams[static_cast<size_t>(team)].players[static_cast<size_t>(player)];
    const int line = program.lines[command];
    const auto& lines = timeline.teamLines(team);
    if (line >= 1 && static_cast<size_t>(line) <= lines.size()) return trimmed(lines[static_cast<size_t>(line - 1)]);
    return commandName(program.commands[command].opcode);
}

}  // namespace

// [SECTION] Layout

ViewLayout viewLayout(uint16_t width, uint16_t height, uint16_t pixel_width, uint16_t pixel_height) {
    const WindowSize g = windowSize(width, height, pixel_width, pixel_height);
    const int upper = std::max(g.height, PANEL_MIN_HEIGHT);
    ViewLayout l{};
    l.game = {0, 0, g.width, g.height};
    l.panel = {g.width, 0, PANEL_WIDTH, upper};
    l.width = g.width + PANEL_WIDTH;
    l.strip = {0, upper, l.width, STRIP_HEIGHT};
    l.height = upper + STRIP_HEIGHT;
    l.track = {PAD, upper + TRACK_TOP, l.width - 2 * PAD, TRACK_HEIGHT};
    l.program_rows =
        (upper - 2 * PAD - (HEADER_LINES + KEY_LINES) * VIEW_CHAR_HEIGHT - KEYS_GAP) / VIEW_CHAR_HEIGHT;
    return l;
}

// [SECTION] Font

void loadViewerFont() {
    uint32_t width = 0;
    uint32_t height = 0;
    const std::vector<uint8_t> pixels = bmpReadSprite(VIEWER_FONT_FILE, &width, &height);
    if (pixels.size() != static_cast<uint64_t>(width) * height * 4u) raise_error(EXIT_SPRITE_INVALID);
    glGenTextures(1, &viewer_font_texture);
    uploadSprite(viewer_font_texture, width, height, pixels.data());
}

void drawViewText(std::string_view text, int x, int y, ViewColour colour, size_t max_chars) {
    const size_t n = std::min(text.size(), max_chars);
    glColor3ub(colour.r, colour.g, colour.b);
    glBegin(GL_QUADS);
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c > layout::VIEWER_FONT_FIRST && c <= layout::VIEWER_FONT_SOLID)
            sendQuad(x + static_cast<int>(i) * VIEW_CHAR_WIDTH, y, VIEW_CHAR_WIDTH, VIEW_CHAR_HEIGHT, glyphRect(c));
    }
    glEnd();
}

namespace {

// [SECTION] The game's part

// The game's own frame in the game window's rectangle: its projection maps onto that rectangle through the
// viewport. Its clear takes the whole window (a full clear is the software renderer's fastest fill); the panel and
// the strip are painted over the rest afterwards.
void drawGamePart(const ViewLayout& layout, int window_height) {
    const ViewRect& g = layout.game;
    glViewport(g.x, window_height - g.y - g.height, g.width, g.height);  // GL counts rows from the bottom
    setupView(game.width, game.height);
    drawScene();
}

// The overlay: a frame on the cell of every bomb that a player's picture covers, over the game's frame.
void drawHiddenBombs(const ViewLayout& layout) {
    constexpr ViewColour OVERLAY = {255, 0, 255};
    const ViewRect& g = layout.game;
    const int cw = config.pixel_width, ch = config.pixel_height;
    for (const BombCell& b : hiddenBombs()) {
        const int x = g.x + (b.x + layout::SIDE_MARGIN) * cw;
        const int y = g.y + (b.y + layout::END_MARGIN) * ch;
        fillRect(x, y, cw, 2, OVERLAY);
        fillRect(x, y + ch - 2, cw, 2, OVERLAY);
        fillRect(x, y, 2, ch, OVERLAY);
        fillRect(x + cw - 2, y, 2, ch, OVERLAY);
    }
}

// [SECTION] Strip

void drawStrip(const ViewLayout& layout, const MatchTimeline& timeline, const ViewControl& control) {
    const ViewRect& track = layout.track;
    const uint64_t last = timeline.lastTick();
    const int cursor = tickColumn(control.tick, last, track.width);

    // The bar, lighter up to the shown tick; explosions above it, hits below it, deaths on it.
    const int bar_top = track.y + VIEW_TRACK_MARK_HEIGHT;
    const int bar_height = track.height - 2 * VIEW_TRACK_MARK_HEIGHT;
    fillRect(track.x, bar_top, track.width, bar_height, TRACK);
    fillRect(track.x, bar_top, cursor + 1, bar_height, TRACK_PLAYED);
    const std::vector<uint8_t> columns = markColumns(timeline.marks(), last, track.width);
    for (const auto& [bit, colour, top, height] :
         {std::tuple{MarkKind::Explosion, MARK_EXPLOSION, track.y, VIEW_TRACK_MARK_HEIGHT},
          std::tuple{MarkKind::Hit, MARK_HIT, bar_top + bar_height, VIEW_TRACK_MARK_HEIGHT},
          std::tuple{MarkKind::Death, MARK_DEATH, bar_top, bar_height}}) {
        glColor3ub(colour.r, colour.g, colour.b);
        glBegin(GL_QUADS);
        for (size_t c = 0; c < columns.size(); ++c)
            if ((columns[c] & static_cast<uint8_t>(bit)) != 0)
                sendQuad(track.x + static_cast<int>(c), top, 1, height, solidRect());
        glEnd();
    }
    fillRect(track.x + cursor - 1, track.y - 4, 3, track.height + 8, CURSOR);

    // The tick, the speed and what the viewer is doing.
    const int line = track.y + track.height + 8;
    std::string status = "tick " + std::to_string(control.tick) + " / " + std::to_string(last) + "   " +
                         control.speedText() + " per frame   ";
    drawViewText(status, PAD, line, TEXT);
    const int after = PAD + static_cast<int>(status.size()) * VIEW_CHAR_WIDTH;
    std::string state;
    if (control.tick >= last) {
        std::string winners;
        for (const TeamResult& t : timeline.result().teams)
            if (t.winner) winners += (winners.empty() ? "" : ", ") + t.name;
        state = std::string(timeline.result().capped ? "ENDED AT THE CAP" : "END") + "   " +
                (winners.empty() ? "no winner" : "winners: " + winners) + "   (space: play again)";
    } else {
        state = control.playing ? "PLAYING (space: pause)" : "PAUSED (space: play)";
    }
    drawViewText(state, after, line, ACCENT);

    // The legend of the marks.
    const int legend = line + VIEW_CHAR_HEIGHT;
    int x = PAD;
    for (const auto& [colour, word] : {std::pair{MARK_EXPLOSION, " explosion   "}, std::pair{MARK_HIT, " hit   "},
                                       std::pair{MARK_DEATH, " death   "}}) {
        drawViewText(std::string(1, SOLID), x, legend, colour);
        drawViewText(word, x + VIEW_CHAR_WIDTH, legend, DIM);
        x += (1 + static_cast<int>(std::string_view(word).size())) * VIEW_CHAR_WIDTH;
    }
    drawViewText("click the timeline to go to that tick", x, legend, DIM);
}

// [SECTION] Panel

void drawPanel(const ViewLayout& layout, const MatchTimeline& timeline, const ViewControl& control) {
    const ViewRect& panel = layout.panel;
    const int t = control.followedTeam();
    const int p = control.followedPlayer();
    const Player& player = game.teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
    const PlayerState state = timeline.playerState(t, p);
    const int x = panel.x + PAD;
    int y = panel.y + PAD;
    const size_t width = VIEW_PANEL_COLUMNS;
    const auto row = [&](const std::string& text, ViewColour colour, int indent = 0) {
        drawViewText(text, x + indent * VIEW_CHAR_WIDTH, y, colour, width - static_cast<size_t>(indent));
        y += VIEW_CHAR_HEIGHT;
    };

    // Who: a swatch in the team's colour (framed, for the dark team), the player and its team.
    fillRect(x, y + 1, VIEW_CHAR_WIDTH, VIEW_CHAR_HEIGHT - 2, DIM);
    fillRect(x + 1, y + 2, VIEW_CHAR_WIDTH - 2, VIEW_CHAR_HEIGHT - 4, TEAM_SWATCHES[t]);
    row("player " + who(t, p) + " of " + game.teams[static_cast<size_t>(t)].name, TEXT, 2);
    row(std::string(typeName(player.type)) + "  health " + std::to_string(player.health) + "  bombs " +
            std::to_string(player.cur_bombs) + "/" + std::to_string(player.max_bombs),
        TEXT);
    const char* facing = isWalkingPose(player.pose) ? facingName(facingOf(player.pose)) : "none";
    row("at (" + number(player.x) + ", " + number(player.y) + ") facing " + facing, TEXT);
    std::string doing = state.word;
    if (!state.detail.empty()) doing += (state.word[0] == 't' ? ", " : " ") + state.detail;
    if (const DeathCause* death = deathOf(timeline.deaths(), t, p, timeline.tick())) doing += ", " + death->words();
    const auto [first, rest] = wrap(doing, width);
    row(first, ACCENT);
    row(rest, ACCENT);

    // The program: the player's commands with their team file lines, the current one marked.
    const std::string& file = timeline.match().sources.teams[static_cast<size_t>(t)].path;
    row(tail(file, width), DIM);
    const PlayerProgram& program = timeline.match().teams[static_cast<size_t>(t)].players[static_cast<size_t>(p)];
    const int count = static_cast<int>(program.commands.size());
    const int rows = std::max(layout.program_rows, 0);
    if (count == 0) {
        row("  (no commands)", DIM);
    } else {
        const int marked = state.command;
        const int centre = marked >= 0 ? marked : std::min(static_cast<int>(player.cmd_index), count - 1);
        const int top = std::clamp(centre - rows / 2, 0, std::max(count - rows, 0));
        for (int i = top; i < std::min(top + rows, count); ++i) {
            char head[16];
            std::snprintf(head, sizeof head, "%c%4d ", i == marked ? '>' : ' ', program.lines[static_cast<size_t>(i)]);
            std::string text = head + commandLine(timeline, t, p, static_cast<size_t>(i));
            const Command& c = player.commands[static_cast<size_t>(i)];
            if (i == marked && (c.opcode == MOVE || c.opcode == WAIT))
                text += " (" + number(c.count) + " left)";
            if (i == marked) fillRect(panel.x + PAD / 2, y, panel.width - PAD, VIEW_CHAR_HEIGHT, MARKED_LINE);
            row(text, i == marked ? ACCENT : TEXT);
        }
    }

    // The keys, at the bottom.
    y = panel.y + panel.height - PAD - KEY_LINES * VIEW_CHAR_HEIGHT;
    fillRect(panel.x + PAD / 2, y - KEYS_GAP / 2 - 1, panel.width - PAD, 1, DIM);
    row("space play/pause   + - speed", DIM);
    row("Left Right 1 tick  Tab player", DIM);
    row("PgUp PgDn 100 ticks", DIM);
    row("Home End first/last [ ] event", DIM);
    row("b hidden bombs   q Esc quit", DIM);
}

}  // namespace

// [SECTION] The whole window

void drawViewerFrame(const ViewLayout& layout, int window_height, const MatchTimeline& timeline,
                     const ViewControl& control) {
    drawGamePart(layout, window_height);

    // Window pixels, y downward, for the panel and the strip.
    glViewport(0, window_height - layout.height, layout.width, layout.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, layout.width, layout.height, 0.0, -1.0, 1.0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, viewer_font_texture);
    fillRect(layout.panel, PANEL_BACKGROUND);
    fillRect(layout.strip, STRIP_BACKGROUND);
    // Below a game window lower than the panel.
    fillRect({0, layout.game.height, layout.game.width, layout.panel.height - layout.game.height}, STRIP_BACKGROUND);
    if (control.hidden_bombs) drawHiddenBombs(layout);
    drawPanel(layout, timeline, control);
    drawStrip(layout, timeline, control);

    // Back to the state the game's drawing expects between frames.
    glColor3ub(255, 255, 255);
    glEnable(GL_DEPTH_TEST);
    glFlush();
}
