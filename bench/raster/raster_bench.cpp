// Speed of the drawing the controls repeat on every repaint: the progress-bar
// image (rebuilt on each position change) and the composite blit per mode.
// Sizes are the controls': 288 x 13 (the installing step's bar), 80 x 27 (a
// wizard button), 490 x 297 (the whole client area).
#include <benchmark/benchmark.h>

#include <stdint.h>

#include "raster/pixel_bar.h"
#include "raster/pixel_blit.h"
#include "raster/pixel_buffer.h"

namespace {

struct Image {
    PixelBuffer* buffer;
    Image(int32_t width, int32_t height, uint32_t seed) : buffer(CreatePixelBuffer(width, height, 32, 1)) {
        // Varied bytes, so that every branch of the modes (alpha 0 and 255,
        // shading above, below and at 128) is taken.
        for (int64_t i = 0; i < (int64_t)width * height * 4; i++) {
            seed = seed * 1103515245u + 12345u;
            buffer->pixels[i] = (uint8_t)(seed >> 16);
        }
    }
    ~Image() { DestroyPixelBuffer(buffer); }
};

void setPixels(benchmark::State& state, int64_t pixelsPerIteration) {
    state.counters["pixels/s"] = benchmark::Counter((double)state.iterations() * pixelsPerIteration,
                                                    benchmark::Counter::kIsRate);
}

void BM_PixelBarFill(benchmark::State& state) {
    int32_t width = (int32_t)state.range(0), height = (int32_t)state.range(1);
    bool shaded = state.range(2) != 0;
    Image bar(width, height, 1), shading(40, height - 2, 2);
    PixelColor start = MakeColor(0, 0, 255), end = MakeColor(128, 128, 255);
    PixelColor border = MakeColor(0, 0, 0), background = MakeColor(255, 255, 255);
    int position = 0;
    for (auto _ : state) {
        float fraction = (float)(position++ % 101) / 100.0f;
        PixelBarFill(bar.buffer, shaded ? shading.buffer : nullptr, &start, &end, &background,
                     &border, fraction, 8);
        benchmark::DoNotOptimize(bar.buffer->pixels);
    }
    setPixels(state, (int64_t)width * height);
}

void BM_PixelBlit(benchmark::State& state) {
    int32_t width = (int32_t)state.range(0), height = (int32_t)state.range(1);
    int mode = (int)state.range(2);
    Image destination(width, height, 3), source(width, height, 4);
    for (auto _ : state) {
        PixelBlit(destination.buffer, 0, 0, width, height, source.buffer, 0, 0, mode);
        benchmark::DoNotOptimize(destination.buffer->pixels);
    }
    setPixels(state, (int64_t)width * height);
}

}  // namespace

BENCHMARK(BM_PixelBarFill)->ArgNames({"w", "h", "shaded"})
    ->Args({288, 13, 0})->Args({288, 13, 1})->Args({490, 297, 0});
BENCHMARK(BM_PixelBlit)->ArgNames({"w", "h", "mode"})
    ->ArgsProduct({{288}, {13}, {0, 1, 2, 3, 4, 5, 6}})
    ->ArgsProduct({{80}, {27}, {0, 1, 4, 6}})
    ->ArgsProduct({{490}, {297}, {0, 1, 2, 3, 4, 5, 6}});
