// draw_bench.cpp: the cost of one frame (the whole scene drawn, plus the tick) on Mesa's software renderer, in an
// offscreen OSMesa context, for the default arena and for larger open maps with pillars.
//
// Links OSMesa only, never libGL or the toolkit. A frame must fit the window's 30 ms timer, or the match slows down.
#include "core/fusewick.h"
#include "core/utils.h"
#include "gl/gl_utils.h"
#include "gl/sprite_layout.h"

#include <GL/osmesa.h>
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A map of `w` x `h` cells with a pillar on every odd column of every odd row, like the example arenas.
void pillarMap(uint16_t w, uint16_t h) {
    game.width = w;
    game.height = h;
    game.rows.assign(h, std::string(w, '-'));
    for (uint16_t y = 1; y < h; y += 2)
        for (uint16_t x = 1; x < w; x += 2) game.rows[y][x] = 'X';
}

// Plain sprites of the game's own sizes: the texel content does not change the cost.
void uploadPlainSprites() {
    constexpr uint32_t sizes[TEXTURE_COUNT][2] = {{64, 16},  {358, 24}, {358, 24}, {358, 24}, {358, 24},
                                                  {48, 16},  {100, 40}, {208, 80}, {104, 8}};
    glGenTextures(TEXTURE_COUNT, textures.data());
    for (int slot = 0; slot < TEXTURE_COUNT; ++slot) {
        const std::vector<uint8_t> rgba(size_t{sizes[slot][0]} * sizes[slot][1] * 4, 200);
        uploadSprite(textures[size_t(slot)], sizes[slot][0], sizes[slot][1], rgba.data());
    }
}

// A running match of four default teams on the map in `game`.
void startMatch() {
    for (auto& file : config.team_file) file = FUSEWICK_SOURCE_DIR "/default.fpl";
    initGame();
    compileTeams();
    game.running = 1;
}

// One offscreen frame buffer of the window's size for the map in `game` at `cell_px` pixels per cell.
class Offscreen {
public:
    explicit Offscreen(int cell_px)
        : width_(layout::viewColumns(game.width) * cell_px),
          height_(layout::viewRows(game.height) * cell_px),
          buffer_(size_t(width_) * size_t(height_) * 4),
          context_(OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr)) {
        if (context_ == nullptr || !OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, width_, height_))
            throw std::runtime_error("no offscreen GL context");
        glViewport(0, 0, width_, height_);
        setupView(game.width, game.height);
        uploadPlainSprites();
    }
    ~Offscreen() { OSMesaDestroyContext(context_); }
    Offscreen(const Offscreen&) = delete;
    Offscreen& operator=(const Offscreen&) = delete;

private:
    int width_, height_;
    std::vector<uint8_t> buffer_;
    OSMesaContext context_;
};

// Arguments: map width, map height (0, 0: the default arena), pixels per cell.
void BM_Frame(benchmark::State& state) {
    const auto w = static_cast<uint16_t>(state.range(0));
    const auto h = static_cast<uint16_t>(state.range(1));
    if (w == 0) {
        config.map_file = FUSEWICK_SOURCE_DIR "/default.map";
        compileMap();
    } else {
        pillarMap(w, h);
    }
    startMatch();
    Offscreen view(static_cast<int>(state.range(2)));
    for (auto _ : state) {
        drawScene();
        glFinish();  // the renderer works on threads of its own: count the frame until it is done
        frameStep();
        if (game.game_over == 1) {
            state.PauseTiming();
            startMatch();
            state.ResumeTiming();
        }
    }
}

BENCHMARK(BM_Frame)
    ->ArgNames({"w", "h", "px"})
    ->Args({0, 0, 40})
    ->Args({60, 40, 40})
    ->Args({60, 40, 16})
    ->Args({200, 150, 8})
    ->Args({200, 150, 40})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
