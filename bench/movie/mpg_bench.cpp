// Demultiplexing speed of system streams: a second of a 1.5 Mbit/s program
// (25 packs of a 7.5 KB video packet and a 768-byte sound packet, each with
// a time stamp), split in memory. Reported as bytes and seconds of program
// per second.
#include <cstdint>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "mpeg/system/demux.h"

namespace {

void Append(std::vector<uint8_t> *out, int id, size_t payload)
{
    const size_t size = payload + 5;
    const uint8_t head[] = {0, 0, 1, uint8_t(id), uint8_t(size >> 8), uint8_t(size), 0x21, 0, 1, 0, 1};
    out->insert(out->end(), head, head + sizeof head);
    out->insert(out->end(), payload, 0x5A);
}

void BM_Demultiplex(benchmark::State &state)
{
    std::vector<uint8_t> program;
    for (int pack = 0; pack < 25; ++pack) {
        const uint8_t header[] = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0, 1};
        program.insert(program.end(), header, header + sizeof header);
        Append(&program, 0xE0, 7500);
        Append(&program, 0xC0, 768);
    }
    for (auto _ : state) {
        cinelark::mpeg::Program split;
        cinelark::mpeg::Demultiplex(int64_t(program.size()), [&](int64_t at, uint8_t *out, size_t n) {
            std::memcpy(out, program.data() + at, n);
            return true;
        }, &split);
        benchmark::DoNotOptimize(split.video.bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(program.size()));
    state.counters["seconds"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Demultiplex);

}  // namespace
