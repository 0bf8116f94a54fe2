// Throughput of every converter and every fast and zoom variant on a
// 640 x 480 picture, in source megapixels per second ("Mpix/s"); the zooming
// variants also report the output pixels they write ("out Mpix/s").
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cinelark/colorspace.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

const char* const kNames[8] = {"RGB", "RGBX", "RGBA", "RGB332", "Grayscale", "YUV", "YUV422", "YUV422HC"};
constexpr int kBytesPerPixel[8] = {3, 4, 4, 1, 1, 3, 2, 2};

struct Variant {
    const char* name;
    int src, dst, fast, zoom, outScale;
};

// The variants the switches choose, named after the routine that runs.
constexpr Variant kVariants[] = {
    {"FastYUVToRGBX", CS_YUV, CS_RGBX, 1, 1, 1},
    {"FastZoom2YUVToRGBX", CS_YUV, CS_RGBX, 0, 2, 4},
    {"FastZoomX2Y4YUVToRGBX", CS_YUV, CS_RGBX, 0, 4, 8},
    {"FastYUV422ToRGBX", CS_YUV422, CS_RGBX, 1, 1, 1},
    {"FastZoom2YUV422ToRGBX", CS_YUV422, CS_RGBX, 0, 2, 4},
    {"FastZoomX2Y4YUV422ToRGBX", CS_YUV422, CS_RGBX, 0, 4, 8},
    {"FastYUV422HCToRGBX", CS_YUV422HC, CS_RGBX, 1, 1, 1},
    {"FastZoom2YUV422HCToRGBX", CS_YUV422HC, CS_RGBX, 0, 2, 4},
    {"FastZoomX2Y4YUV422HCToRGBX", CS_YUV422HC, CS_RGBX, 0, 4, 8},
    {"FastZoomX2Y4YUV422HCToRGBXInt", CS_YUV422HC, CS_RGBX, 0, 5, 8},
    {"FastYUV422HCToRGB332", CS_YUV422HC, CS_RGB332, 1, 1, 1},
    {"FastZoom2YUV422HCToRGB332", CS_YUV422HC, CS_RGB332, 0, 2, 4},
};

// A picture with varied content: a pseudo-random byte pattern, so table
// lookups do not all hit the same line.
std::vector<uint8_t> makeSource(int format)
{
    std::vector<uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * kBytesPerPixel[format]);
    uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

void runConversion(benchmark::State& state, int src, int dst, int fast, int zoom, int outScale)
{
    std::vector<uint8_t> in = makeSource(src);
    std::vector<uint8_t> out(static_cast<std::size_t>(kWidth) * kHeight * kBytesPerPixel[dst] * outScale);
    csFast(fast);
    csZoom(zoom, zoom);
    for (auto _ : state) {
        csConvert(kWidth, kHeight, src, in.data(), dst, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    csFast(0);
    csZoom(1, 1);
    const double pixels = static_cast<double>(kWidth) * kHeight * static_cast<double>(state.iterations());
    state.counters["Mpix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
    if (outScale > 1)
        state.counters["out Mpix/s"] = benchmark::Counter(pixels * outScale / 1e6, benchmark::Counter::kIsRate);
}

const int registered = [] {
    for (int s = 0; s < 8; ++s) {
        for (int d = 0; d < 8; ++d) {
            if (s == d)
                continue;
            std::string name = std::string(kNames[s]) + "To" + kNames[d];
            benchmark::RegisterBenchmark(name.c_str(), runConversion, s, d, 0, 1, 1);
        }
    }
    for (const Variant& v : kVariants)
        benchmark::RegisterBenchmark(v.name, runConversion, v.src, v.dst, v.fast, v.zoom, v.outScale);
    return 0;
}();

}  // namespace
