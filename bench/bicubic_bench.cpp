// BicubicResize at the two sizes the programs use: the image (480 x 256 -> 480 x 512)
// and a cine frame (384 x 255 -> W x 288): W = 436 keeps the frame's own aspect
// (384 * 288 / 255 = 433.7, rounded to 434, moved to a multiple of 4 by the rule), and
// W = 132 is the example of a field of view of 45 at a depth range of 100 mm.
#include "imaging/Bicubic.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

namespace {

kelvo::Bitmap24 greyNoise(int w, int h) {
    std::mt19937 random(42);
    kelvo::Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto v = static_cast<std::uint8_t>(random());
            b.at(x, y) = {v, v, v};
        }
    return b;
}

void resize(benchmark::State& state, int ws, int hs, int w, int h) {
    const kelvo::Bitmap24 source = greyNoise(ws, hs);
    for (auto _ : state) {
        kelvo::Bitmap24 result = kelvo::BicubicResize(source, w, h);
        benchmark::DoNotOptimize(result);
    }
    state.counters["px/s"] =
        benchmark::Counter(static_cast<double>(w) * h, benchmark::Counter::kIsIterationInvariantRate);
}

void ImageScan_480x256_to_480x512(benchmark::State& state) {
    resize(state, 480, 256, 480, 512);
}
void CineFrame_384x255_to_436x288(benchmark::State& state) {
    resize(state, 384, 255, 436, 288);
}
void CineFrame_384x255_to_132x288(benchmark::State& state) {
    resize(state, 384, 255, 132, 288);
}

} // namespace

BENCHMARK(ImageScan_480x256_to_480x512)->Unit(benchmark::kMillisecond);
BENCHMARK(CineFrame_384x255_to_436x288)->Unit(benchmark::kMillisecond);
BENCHMARK(CineFrame_384x255_to_132x288)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
