// Frame throughput of the movie library on memory movies: pictures read for
// display in each stored packing (the conversion the playback engine's file
// thread runs for every shown frame), and sample frames read and inserted.
#include <cstdint>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include <cinelark/movie.h>

#include "frames.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrames = 8;

struct ParamsDeleter {
    void operator()(DMparams *p) const { dmParamsDestroy(p); }
};
using Params = std::unique_ptr<DMparams, ParamsDeleter>;

Params newParams()
{
    DMparams *p = nullptr;
    dmParamsCreate(&p);
    return Params(p);
}

// A memory movie that lives as long as one benchmark.
struct BenchMovie {
    std::vector<uint8_t> memory = std::vector<uint8_t>(16u << 20);
    MVid id = 0;

    BenchMovie()
    {
        Params p = newParams();
        mvSetMovieDefaults(p.get(), MV_FORMAT_NATIVE_3);
        mvCreateMem(memory.data(), memory.size(), p.get(), nullptr, &id);
    }
    ~BenchMovie() { mvClose(id); }
    BenchMovie(const BenchMovie &) = delete;
    BenchMovie &operator=(const BenchMovie &) = delete;
};

MVid imageTrack(BenchMovie &movie, int packing)
{
    Params p = newParams();
    dmSetImageDefaults(p.get(), kWidth, kHeight, packing);
    MVid track = 0;
    if (mvAddTrack(movie.id, DM_MEDIUM_IMAGE, p.get(), nullptr, &track) != 0)
        return 0;
    std::vector<uint8_t> frames(dmImageFrameSize(p.get()) * kFrames);
    for (size_t i = 0; i < frames.size(); i++)
        frames[i] = uint8_t(i * 13);
    mvInsertFrames(track, 0, kFrames, frames.size(), frames.data());
    return track;
}

void BM_DisplayRead(benchmark::State &state)
{
    BenchMovie movie;
    MVid track = imageTrack(movie, int(state.range(0)));
    if (track == 0) {
        state.SkipWithError("cannot make the track");
        return;
    }
    std::vector<uint32_t> shown(size_t(kWidth) * kHeight);
    int frame = 0;
    for (auto _ : state) {
        if (__mvT_ReadRGBXImage(track, frame, shown.size() * 4, shown.data()) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        frame = (frame + 1) % kFrames;
        benchmark::DoNotOptimize(shown.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["Mpixels/s"] = benchmark::Counter(
        double(state.iterations()) * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DisplayRead)
    ->ArgName("packing")
    ->Arg(DM_PACKING_RGBX)
    ->Arg(DM_PACKING_GRAY)
    ->Arg(DM_PACKING_XBGR)
    ->Arg(DM_PACKING_RGB555);

// 16-bit stereo audio read in blocks of one 15 fps picture's worth at 44.1 kHz.
void BM_AudioRead(benchmark::State &state)
{
    BenchMovie movie;
    Params p = newParams();
    dmSetAudioDefaults(p.get(), 16, 44100.0, 2);
    MVid track = 0;
    mvAddTrack(movie.id, DM_MEDIUM_AUDIO, p.get(), nullptr, &track);
    constexpr int kSeconds = 10, kBlock = 2940, kTotal = 44100 * kSeconds;
    std::vector<int16_t> samples(size_t(kTotal) * 2, 1234);
    mvInsertFrames(track, 0, kTotal, samples.size() * 2, samples.data());
    std::vector<int16_t> block(size_t(kBlock) * 2);
    int at = 0;
    for (auto _ : state) {
        mvReadFrames(track, at, kBlock, block.size() * 2, block.data());
        at = (at + kBlock) % (kTotal - kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlock * 4);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()) * kBlock, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AudioRead);

}  // namespace
