// Throughput of mvconvert's frame layout conversions on a 640 x 480 frame,
// in megapixels per second ("Mpix/s"): every packing a track may have, to
// the exported RGBA pictures and back from imported ones.
#include "pixels.h"

#include <cinelark/dmparams.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPackings[] = {DM_PACKING_RGBX, DM_PACKING_GRAY, DM_PACKING_XBGR, DM_PACKING_RGB555};

// A smooth ramp, as pictures are, with every byte different from its
// neighbour.
std::vector<uint8_t> ramp(size_t bytes)
{
    std::vector<uint8_t> v(bytes);
    for (size_t i = 0; i < bytes; ++i)
        v[i] = uint8_t(i * 7 + i / 2560);
    return v;
}

void report(benchmark::State &state)
{
    state.counters["Mpix/s"] = benchmark::Counter(double(state.iterations()) * kWidth * kHeight / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void FrameToRGBA(benchmark::State &state)
{
    const int packing = kPackings[state.range(0)];
    const std::vector<uint8_t> frame = ramp(mvconvert::frameBytes(packing, kWidth, kHeight));
    std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(mvconvert::frameToRGBA(packing, kWidth, kHeight, frame, rgba));
        benchmark::ClobberMemory();
    }
    report(state);
}

void RGBAToFrame(benchmark::State &state)
{
    const int packing = kPackings[state.range(0)];
    const std::vector<uint8_t> rgba = ramp(size_t(kWidth) * kHeight * 4);
    std::vector<uint8_t> frame(mvconvert::frameBytes(packing, kWidth, kHeight));
    for (auto _ : state) {
        benchmark::DoNotOptimize(mvconvert::rgbaToFrame(packing, kWidth, kHeight, rgba, frame));
        benchmark::ClobberMemory();
    }
    report(state);
}

// Arguments 0 to 3: packings 1001, 1005, 1090, 1091.
BENCHMARK(FrameToRGBA)->DenseRange(0, 3);
BENCHMARK(RGBAToFrame)->DenseRange(0, 3);

}  // namespace
