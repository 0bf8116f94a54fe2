// Speed of the sound resamplers: one image frame of 22050 Hz stereo sound
// (1470 sample frames) slowed to half speed by interpolation and sped to
// double by decimation, for 16- and 8-bit samples. Reports sample frames
// produced per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "audio_playback.h"

namespace {

constexpr int32_t kIn = 1470;
constexpr int32_t kChannels = 2;

template <typename Sample>
std::vector<Sample> frameOfSound()
{
    std::vector<Sample> in(size_t(kIn) * kChannels);
    for (size_t i = 0; i < in.size(); i++)
        in[i] = Sample((i * 2654435761u) >> 20);
    return in;
}

template <typename Sample, typename Interpolate>
void interpolate(benchmark::State &state, Interpolate run)
{
    const std::vector<Sample> in = frameOfSound<Sample>();
    const int32_t out = kIn * 2;
    std::vector<Sample> to(size_t(out) * kChannels);
    Sample joins[kChannels] = {};
    for (auto _ : state) {
        run(in.data(), to.data(), kIn, out, kChannels, joins, 0.5f);
        benchmark::DoNotOptimize(to.data());
    }
    state.SetItemsProcessed(state.iterations() * out);
}

template <typename Sample, typename Decimate>
void decimate(benchmark::State &state, Decimate run)
{
    const std::vector<Sample> in = frameOfSound<Sample>();
    const int32_t out = kIn / 2;
    std::vector<Sample> to(size_t(out) * kChannels);
    for (auto _ : state) {
        run(in.data(), to.data(), kIn, out, kChannels, 2.0f);
        benchmark::DoNotOptimize(to.data());
    }
    state.SetItemsProcessed(state.iterations() * out);
}

void BM_Interpolate16(benchmark::State &state) { interpolate<int16_t>(state, __mvInterpolate16Poly1); }
void BM_Decimate16(benchmark::State &state) { decimate<int16_t>(state, __mvDecimate16Poly1); }
void BM_Interpolate8(benchmark::State &state) { interpolate<int8_t>(state, __mvInterpolate8Poly1); }
void BM_Decimate8(benchmark::State &state) { decimate<int8_t>(state, __mvDecimate8Poly1); }

}  // namespace

BENCHMARK(BM_Interpolate16);
BENCHMARK(BM_Decimate16);
BENCHMARK(BM_Interpolate8);
BENCHMARK(BM_Decimate8);
