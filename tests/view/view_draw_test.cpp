// The viewer's picture in an offscreen OpenGL context (OSMesa), with the bundled sprites and font: the game's part is
// the game's own frame pixel for pixel, the timeline's marks stand in the columns of their ticks, and the panel
// marks the line of the followed player's current command.
//
// Links against OSMesa only, never libGL.
#include "view/view_draw.h"
#include "view_match.h"

#include <GL/osmesa.h>

#include <filesystem>
#include <memory>

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
Rgb rgbOf(ViewColour c) { return {c.r, c.g, c.b}; }

// An offscreen frame of w x h pixels with the bundled sprites and the viewer's font loaded, current while it lives.
class Offscreen {
public:
    Offscreen(int w, int h) : width_(w), height_(h), buffer_(size_t(w) * size_t(h) * 4) {
        if (!context_ || !OSMesaMakeCurrent(context_.get(), buffer_.data(), GL_UNSIGNED_BYTE, w, h))
            throw std::runtime_error("no offscreen GL context");
        const auto cwd = std::filesystem::current_path();
        std::filesystem::current_path(FUSEWICK_SOURCE_DIR);  // sprites/ lies there
        loadSprites();
        loadViewerFont();
        std::filesystem::current_path(cwd);
    }
    // The pixels of a window rectangle (y downward), row by row from the top.
    std::vector<Rgb> read(const ViewRect& r) const {
        std::vector<Rgb> rows(size_t(r.width) * size_t(r.height));
        std::vector<Rgb> line(size_t(r.width));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        for (int y = 0; y < r.height; ++y) {
            glReadPixels(r.x, height_ - 1 - (r.y + y), r.width, 1, GL_RGB, GL_UNSIGNED_BYTE, line.data());
            std::copy(line.begin(), line.end(), rows.begin() + long(y) * r.width);
        }
        return rows;
    }
    Rgb at(int x, int y) const { return read({x, y, 1, 1})[0]; }

private:
    int width_, height_;
    std::vector<uint8_t> buffer_;
    std::unique_ptr<osmesa_context, decltype(&OSMesaDestroyContext)> context_{
        OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr), OSMesaDestroyContext};
};

struct Shown {
    LoadedMatch match;
    std::unique_ptr<MatchTimeline> timeline;
    ViewControl control;
    ViewLayout layout;
};

std::unique_ptr<Shown> showMatch(const std::string& first_team, uint64_t tick) {
    auto s = std::make_unique<Shown>();
    s->match = fwtest::loadViewMatch(first_team);
    s->timeline = std::make_unique<MatchTimeline>(s->match);
    s->control.last_tick = s->timeline->lastTick();
    s->control.seek(tick);
    s->timeline->seek(tick);
    s->layout = viewLayout(game.width, game.height, config.pixel_width, config.pixel_height);
    return s;
}

TEST(ViewDrawTest, TheGamesPartIsTheGamesOwnFrame) {
    // Tick 390 of the default match: bombs, blasts and dying players on the field, scores on the panels.
    const auto s = showMatch("", 390);
    const ViewRect g = s->layout.game;
    std::vector<Rgb> viewer;
    {
        Offscreen view(s->layout.width, s->layout.height);
        drawViewerFrame(s->layout, s->layout.height, *s->timeline, s->control);
        viewer = view.read(g);
    }
    Offscreen window(g.width, g.height);  // the game's window: its viewport is the whole frame
    glViewport(0, 0, g.width, g.height);
    setupView(game.width, game.height);
    drawScene();
    const std::vector<Rgb> own = window.read({0, 0, g.width, g.height});
    ASSERT_EQ(viewer.size(), own.size());
    size_t differing = 0;
    for (size_t i = 0; i < own.size(); ++i) differing += !(own[i] == viewer[i]);
    EXPECT_EQ(differing, 0u) << "of " << own.size() << " pixels";
}

TEST(ViewDrawTest, TimelineMarksStandInTheColumnsOfTheirTicks) {
    const auto s = showMatch("", 500);
    Offscreen view(s->layout.width, s->layout.height);
    drawViewerFrame(s->layout, s->layout.height, *s->timeline, s->control);
    const ViewRect& track = s->layout.track;
    const std::vector<uint8_t> bits = markColumns(s->timeline->marks(), s->timeline->lastTick(), track.width);
    const int cursor = tickColumn(500, s->timeline->lastTick(), track.width);
    const struct {
        MarkKind kind;
        int y;
        ViewColour colour;
    } rows[] = {{MarkKind::Explosion, track.y + 2, MARK_EXPLOSION},
                {MarkKind::Death, track.y + track.height / 2, MARK_DEATH},
                {MarkKind::Hit, track.y + track.height - 2, MARK_HIT}};
    int marked = 0;
    for (const auto& row : rows) {
        const std::vector<Rgb> line = view.read({track.x, row.y, track.width, 1});
        for (int c = 0; c < track.width; ++c) {
            if (std::abs(c - cursor) <= 1) continue;  // under the cursor
            const bool set = (bits[size_t(c)] & uint8_t(row.kind)) != 0;
            marked += set;
            ASSERT_EQ(line[size_t(c)] == rgbOf(row.colour), set) << "column " << c << " kind " << int(row.kind);
        }
    }
    EXPECT_GE(marked, 6);
    EXPECT_EQ(view.at(track.x + cursor, track.y - 2), rgbOf(CURSOR));
    EXPECT_EQ(view.at(track.x + cursor, track.y + track.height + 2), rgbOf(CURSOR));
}

TEST(ViewDrawTest, PanelMarksTheCurrentLineOfTheProgram) {
    // Player 1.1 waits 40 times one cell's time (8 ticks each) on lines 5 to 44; after tick 164 it is half way
    // through its 21st WAIT, on line 25, in the middle of the listing.
    std::string team = "P1 CAPTAIN\nP2 CAPTAIN\nP3 CAPTAIN\nP4 CAPTAIN\n";
    for (int i = 0; i < 40; ++i) team += "P1.WAIT 1\n";
    team += "P1.DROP\n";
    const auto s = showMatch(team, 164);
    Offscreen view(s->layout.width, s->layout.height);
    drawViewerFrame(s->layout, s->layout.height, *s->timeline, s->control);

    const ViewRect& panel = s->layout.panel;
    const int right = panel.x + panel.width - 8;  // inside the bar, right of any text
    std::vector<int> bar_rows;
    for (int y = 0; y < panel.height; ++y)
        if (view.at(right, y) == rgbOf(MARKED_LINE)) bar_rows.push_back(y);
    ASSERT_EQ(bar_rows.size(), size_t(VIEW_CHAR_HEIGHT));
    const int top = bar_rows.front();
    EXPECT_EQ(bar_rows.back(), top + VIEW_CHAR_HEIGHT - 1);
    EXPECT_EQ(top, 10 + (6 + s->layout.program_rows / 2) * VIEW_CHAR_HEIGHT);  // header lines, then the middle row

    // The marked line reads as this text, glyph for glyph.
    const ViewRect line{panel.x + 10, top, VIEW_PANEL_COLUMNS * VIEW_CHAR_WIDTH, VIEW_CHAR_HEIGHT};
    const std::vector<Rgb> drawn = view.read(line);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);  // as the viewer draws its text
    drawViewText(">  25 P1.WAIT 1 (0.5 left)", line.x, line.y, {255, 255, 255});
    const std::vector<Rgb> expected = view.read(line);
    for (size_t i = 0; i < drawn.size(); ++i)
        ASSERT_EQ(!(drawn[i] == rgbOf(MARKED_LINE)), !(expected[i] == Rgb{0, 0, 0})) << "pixel " << i % size_t(line.width)
                                                                               << ", " << i / size_t(line.width);
}


// The overlay (b) frames exactly the cells of the bombs hidden under a player and leaves the rest of the game's
// part as the game draws it; off, nothing of it shows.
TEST(ViewDrawTest, HiddenBombOverlayFramesOnlyTheHiddenBombs) {
    auto s = showMatch("", 0);
    uint64_t tick = 1;
    for (; tick <= s->timeline->lastTick(); ++tick) {
        s->timeline->seek(tick);
        if (!hiddenBombs().empty()) break;
    }
    ASSERT_LE(tick, s->timeline->lastTick()) << "the default match has a bomb under a player";
    s->control.seek(tick);
    const std::vector<BombCell> hidden = hiddenBombs();
    const ViewRect g = s->layout.game;
    Offscreen view(s->layout.width, s->layout.height);
    drawViewerFrame(s->layout, s->layout.height, *s->timeline, s->control);
    const std::vector<Rgb> off = view.read(g);
    s->control.apply(ViewAction::HiddenBombs);
    drawViewerFrame(s->layout, s->layout.height, *s->timeline, s->control);
    const std::vector<Rgb> on = view.read(g);
    const int cw = config.pixel_width, ch = config.pixel_height;
    const auto onFrame = [&](int x, int y) {
        for (const BombCell& b : hidden) {
            const int x0 = (b.x + 5) * cw, y0 = (b.y + 1) * ch;
            const bool inside = x >= x0 && x < x0 + cw && y >= y0 && y < y0 + ch;
            if (inside && (x < x0 + 2 || x >= x0 + cw - 2 || y < y0 + 2 || y >= y0 + ch - 2)) return true;
        }
        return false;
    };
    size_t framed = 0;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const size_t i = size_t(y) * size_t(g.width) + size_t(x);
            if (onFrame(x, y)) {
                ASSERT_EQ(on[i], (Rgb{255, 0, 255})) << x << ", " << y;
                ++framed;
            } else {
                ASSERT_EQ(on[i], off[i]) << x << ", " << y;
            }
        }
    EXPECT_GE(framed, size_t(4 * (cw - 2) * 2));
}

}  // namespace
