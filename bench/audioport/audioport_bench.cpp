// Throughput of the converter family: every write member and every read
// member on a block of 4096 frames, in caller samples per second
// ("items_per_second"). The wrap members convert one frame at a ring's end
// and are measured per frame.
#include "converters.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace cinelark::audioport {
namespace {

constexpr int kFrames = 4096;

// Caller buffers big enough for four channels of doubles, filled with small
// values that need no clamping except in the four-to-two mixes.
std::vector<unsigned char> caller_buffer() {
  std::vector<unsigned char> b(kFrames * 4 * 8);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<unsigned char>((i * 37) & 0x3F);
  return b;
}

struct WriteMember {
  const char* name;
  WriteBulk bulk;
  int caller_channels;
  int device_channels;
};

constexpr WriteMember kWrites[] = {
    {"MonoToStereo_8t", _ALWriteMonoToStereo_8t, 1, 2},
    {"MonoToStereo_16t", _ALWriteMonoToStereo_16t, 1, 2},
    {"MonoToStereo_24t", _ALWriteMonoToStereo_24t, 1, 2},
    {"MonoToStereo_ft", _ALWriteMonoToStereo_ft, 1, 2},
    {"MonoToStereo_dt", _ALWriteMonoToStereo_dt, 1, 2},
    {"StereoToStereo_8t", _ALWriteStereoToStereo_8t, 2, 2},
    {"StereoToStereo_16t", _ALWriteStereoToStereo_16t, 2, 2},
    {"StereoToStereo_24t", _ALWriteStereoToStereo_24t, 2, 2},
    {"StereoToStereo_f", _ALWriteStereoToStereo_f, 2, 2},
    {"StereoToStereo_d", _ALWriteStereoToStereo_d, 2, 2},
    {"4ChanTo2Chan_8t", _ALWrite4ChanTo2Chan_8t, 4, 2},
    {"4ChanTo2Chan_16t", _ALWrite4ChanTo2Chan_16t, 4, 2},
    {"4ChanTo2Chan_24t", _ALWrite4ChanTo2Chan_24t, 4, 2},
    {"4ChanTo2Chan_ft", _ALWrite4ChanTo2Chan_ft, 4, 2},
    {"4ChanTo2Chan_dt", _ALWrite4ChanTo2Chan_dt, 4, 2},
    {"4ChanTo4Chan_8t", _ALWrite4ChanTo4Chan_8t, 4, 4},
    {"4ChanTo4Chan_16t", _ALWrite4ChanTo4Chan_16t, 4, 4},
    {"4ChanTo4Chan_24t", _ALWrite4ChanTo4Chan_24t, 4, 4},
    {"4ChanTo4Chan_ft", _ALWrite4ChanTo4Chan_ft, 4, 4},
    {"4ChanTo4Chan_dt", _ALWrite4ChanTo4Chan_dt, 4, 4},
};

void BM_Write(benchmark::State& state, WriteMember m) {
  std::vector<unsigned char> in = caller_buffer();
  // Stereo members count words, so a block is twice the frames.
  const int units = m.caller_channels == 2 ? kFrames * 2 : kFrames;
  std::vector<int32_t> ring(static_cast<std::size_t>(kFrames) * m.device_channels);
  for (auto _ : state) {
    m.bulk(in.data(), ring.data(), units, 1.0);
    benchmark::DoNotOptimize(ring.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kFrames} * m.caller_channels);
}

struct ReadMember {
  const char* name;
  ReadBulk bulk;
  int caller_channels;
  int device_channels;
};

constexpr ReadMember kReads[] = {
    {"MonoFromStereo_16t", _ALReadMonoFromStereo_16t, 1, 2},
    {"MonoFromStereo_ft", _ALReadMonoFromStereo_ft, 1, 2},
    {"StereoFromStereo_16", _ALReadStereoFromStereo_16, 2, 2},
    {"StereoFromStereo_d", _ALReadStereoFromStereo_d, 2, 2},
    {"4ChanFromStereo_16t", _ALRead4ChanFromStereo_16t, 4, 2},
    {"4ChanFrom4Chan_24t", _ALRead4ChanFrom4Chan_24t, 4, 4},
};

void BM_Read(benchmark::State& state, ReadMember m) {
  std::vector<int32_t> ring(static_cast<std::size_t>(kFrames) * m.device_channels, 0x123400);
  std::vector<unsigned char> out(kFrames * 4 * 8);
  const int units = m.caller_channels == 2 ? kFrames * 2 : kFrames;
  for (auto _ : state) {
    m.bulk(ring.data(), out.data(), units, 1.0);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kFrames} * m.caller_channels);
}

void BM_WrapFrame(benchmark::State& state) {
  const int16_t frame[4] = {1, 2, 3, 4};
  int32_t ring[8] = {};
  for (auto _ : state) {
    _ALWrite4ChanTo4Chan_16w(frame, ring + 6, 2, ring, 1.0);
    benchmark::DoNotOptimize(ring);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_WrapFrame);

const bool registered = [] {
  for (const WriteMember& m : kWrites)
    benchmark::RegisterBenchmark((std::string("Write/") + m.name).c_str(), BM_Write, m);
  for (const ReadMember& m : kReads)
    benchmark::RegisterBenchmark((std::string("Read/") + m.name).c_str(), BM_Read, m);
  return true;
}();

}  // namespace
}  // namespace cinelark::audioport
