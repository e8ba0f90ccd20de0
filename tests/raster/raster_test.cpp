// raster_test.cpp: the browser's frame against the game's: the game's drawing on the software rasteriser against the
// same drawing on OSMesa, for several matches, ticks and cell sizes, pixel for pixel. Odd cell sizes put pixel centres
// exactly on the edges between texels and make the view's outer corners land a rounding error outside it, so they
// check that the rasteriser repeats the reference renderer's arithmetic, not only OpenGL's rules.
//
// Links OSMesa for the game's own drawing and the rasteriser for the same sources under their soft names.
#include "gl/gl_utils.h"
#include "match/match.h"
#include "raster/raster.h"
#include "support/test_support.h"
#include "view/timeline.h"

#include <GL/osmesa.h>

#include <filesystem>
#include <memory>
#include <ostream>

namespace {

struct Sources {
    const char* map;
    std::array<const char*, TEAM_COUNT> teams;
};

struct Case {
    const char* name;
    Sources sources;
    uint16_t cell_w, cell_h;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name << " at " << c.cell_w << " x " << c.cell_h; }

SourceFile bundled(const std::string& name) { return {name, fwtest::readFile(std::string(FUSEWICK_SOURCE_DIR) + "/" + name)}; }

// The game's frame on OSMesa, bottom row first, for the grid and cell size in `game` and `config`.
std::vector<uint8_t> osmesaFrame(int width, int height) {
    std::vector<uint8_t> buffer(size_t(width) * size_t(height) * 4);
    std::unique_ptr<osmesa_context, decltype(&OSMesaDestroyContext)> context{
        OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr), OSMesaDestroyContext};
    if (!context || !OSMesaMakeCurrent(context.get(), buffer.data(), GL_UNSIGNED_BYTE, width, height))
        throw std::runtime_error("no offscreen GL context");
    glViewport(0, 0, width, height);
    setupView(game.width, game.height);
    loadSprites();
    drawScene();
    glFinish();
    return buffer;
}

class RasterTest : public testing::TestWithParam<Case> {};

TEST_P(RasterTest, TheFrameIsTheGamesFrameAtEveryTick) {
    const Case& c = GetParam();
    fwtest::resetGlobals();
    MatchSources sources{bundled(c.sources.map), {}};
    for (size_t t = 0; t < TEAM_COUNT; ++t) sources.teams[t] = bundled(c.sources.teams[t]);
    Config options = defaultConfig();
    options.pixel_width = c.cell_w;
    options.pixel_height = c.cell_h;
    const LoadedMatch match = loadMatchFrom(sources, options);
    MatchTimeline timeline(match);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(FUSEWICK_SOURCE_DIR);  // the sprites
    rasterLoadSprites();
    const uint64_t last = timeline.lastTick();
    for (const uint64_t tick : {uint64_t{0}, last / 4, last / 2, last * 3 / 4, last}) {
        timeline.seek(tick);
        const Game before = game;
        rasterDrawFrame();
        game = before;  // the frame clamps the scores: both drawings start from the same state
        const WindowSize size = windowSize(game.width, game.height, config.pixel_width, config.pixel_height);
        const std::vector<uint8_t> own = osmesaFrame(size.width, size.height);
        const std::vector<uint8_t>& ours = rasterPixels();
        ASSERT_EQ(own.size(), ours.size()) << "tick " << tick;
        size_t differing = 0, first = own.size();
        for (size_t i = 0; i < own.size(); i += 4)
            if (!std::equal(&own[i], &own[i] + 3, &ours[i])) {
                ++differing;
                if (first == own.size()) first = i / 4;
            }
        EXPECT_EQ(differing, 0u) << "tick " << tick << ": first at x " << first % size_t(size.width) << ", row "
            << first / size_t(size.width) << " from the bottom, of " << own.size() / 4;
    }
    std::filesystem::current_path(cwd);
}

const Sources DEFAULT{"default.map", {"default.fpl", "default.fpl", "default.fpl", "default.fpl"}};
const Sources CROSSROADS{"maps/crossroads.map", {"teams/hulks.fpl", "teams/raiders.fpl", "teams/sappers.fpl", "teams/ghosts.fpl"}};
const Sources WARREN{"maps/warren.map", {"teams/hoarders.fpl", "teams/hulks.fpl", "default.fpl", "teams/sappers.fpl"}};

INSTANTIATE_TEST_SUITE_P(Matches, RasterTest,
                         testing::Values(Case{"DefaultAt40", DEFAULT, 40, 40}, Case{"DefaultAt17x23", DEFAULT, 17, 23},
                                         Case{"DefaultAt7", DEFAULT, 7, 7},
                                         Case{"CrossroadsAt40", CROSSROADS, 40, 40},
                                         Case{"CrossroadsAt33x29", CROSSROADS, 33, 29},
                                         Case{"WarrenAt40", WARREN, 40, 40}, Case{"WarrenAt12x9", WARREN, 12, 9},
                                         Case{"DefaultAt3", DEFAULT, 3, 3}, Case{"DefaultAt9x11", DEFAULT, 9, 11},
                                         Case{"CrossroadsAt11x37", CROSSROADS, 11, 37},
                                         Case{"WarrenAt5", WARREN, 5, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
