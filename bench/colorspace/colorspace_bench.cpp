// Throughput of every converter and every fast and zoom variant on a
// 640 x 480 picture, in source megapixels per second ("Mpix/s"); the zooming
// variants also report the output pixels they write ("out Mpix/s"). The
// YUV paths run a second time on random bytes ("/noise").
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

enum class Content { Natural, Noise };

// Natural content: every byte channel a smooth diagonal ramp with a little
// grain, the way camera pictures vary from pixel to pixel, so the table
// lookups wander as they do on real video. Noise content: independent random
// bytes, the worst case for the lookup tables (every lookup a cache miss in
// the 128 KiB and 512 KiB tables).
std::vector<uint8_t> makeSource(int format, Content content)
{
    const int bpp = kBytesPerPixel[format];
    std::vector<uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * bpp);
    uint32_t state = 12345;
    std::size_t at = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int b = 0; b < kWidth * bpp; ++b, ++at) {
            state = state * 1103515245u + 12345u;
            const int grain = static_cast<int>(state >> 28);
            const int channel = b % bpp;
            const int x = b / bpp;
            const int ramp = (x * 3 / 8 + y / 4 + 50 * channel) % 200 + 28;
            bytes[at] = static_cast<uint8_t>(content == Content::Noise ? state >> 16 : ramp + grain);
        }
    }
    return bytes;
}

void runConversion(benchmark::State& state, int src, int dst, int fast, int zoom, int outScale, Content content)
{
    std::vector<uint8_t> in = makeSource(src, content);
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
            benchmark::RegisterBenchmark(name.c_str(), runConversion, s, d, 0, 1, 1, Content::Natural);
        }
    }
    for (const Variant& v : kVariants)
        benchmark::RegisterBenchmark(v.name, runConversion, v.src, v.dst, v.fast, v.zoom, v.outScale,
                                     Content::Natural);
    // The table-driven YUV paths once more on noise.
    for (const int src : {CS_YUV, CS_YUV422, CS_YUV422HC}) {
        std::string name = std::string(kNames[src]) + "ToRGBX/noise";
        benchmark::RegisterBenchmark(name.c_str(), runConversion, src, CS_RGBX, 0, 1, 1, Content::Noise);
    }
    for (const Variant& v : kVariants) {
        std::string name = std::string(v.name) + "/noise";
        benchmark::RegisterBenchmark(name.c_str(), runConversion, v.src, v.dst, v.fast, v.zoom, v.outScale,
                                     Content::Noise);
    }
    return 0;
}();

}  // namespace
