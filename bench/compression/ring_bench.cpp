// Throughput of the data ring through the stream writer and reader: bytes
// per second moved from a producer to a consumer, in bulk pieces on two
// threads, interleaved on one thread, and as the 4-byte values that block
// coders store one at a time.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kStreamBytes = 16 << 20;

struct Stream {
  Stream(int ringBytes) {
    clAddAlgorithmOnce();
    clOpenDecompressor(scheme, &handle);
    ring = clCreateBuf(handle, CL_DATA, 1, ringBytes, nullptr);
  }
  ~Stream() { clCloseDecompressor(handle); }

  static int Open(int, CL_Handle*) { return 0; }
  static int Close(CL_Handle) { return 0; }
  static int Compress(CL_Handle, int, void*, int*, void*) { return 0; }
  static int Decompress(CL_Handle, int, int, void*, void*) { return 0; }
  static int Header(CL_Handle, int, void*) { return 0; }
  static int Query(const void*) { return -1; }
  static int Params(CL_Handle, int*, int) { return 0; }
  static void clAddAlgorithmOnce() {
    if (scheme < 0)
      clAddAlgorithm("Bench Ring", CL_VIDEO, 0, Open, Compress, Close, Open, Decompress, Close, Header, Query, Params,
                     Params, &scheme);
  }

  static inline int scheme = -1;
  CL_Handle handle = nullptr;
  CL_BufferHdl ring = nullptr;
};

void Write(CL_BufferHdl ring, const uint8_t* src, int total, int piece) {
  int left = total;
  while (left > 0) {
    void* at = nullptr;
    const int k = clWriteData(ring, std::min(piece, left), &at);
    std::memcpy(at, src, k);
    left -= k;
  }
  clWriteDone(ring, -1);
}

int64_t Read(CL_BufferHdl ring, uint8_t* dst, int total, int piece) {
  int64_t sum = 0;
  int left = total;
  while (left > 0) {
    void* at = nullptr;
    const int k = clReadDataRange(ring, 1, std::min(piece, left), &at);
    if (k <= 0) break;
    std::memcpy(dst, at, k);
    sum += dst[0];
    left -= k;
  }
  clDone(ring, -1);
  return sum;
}

// Producer and consumer on two threads through a 64 KB ring; the argument is
// the piece size both sides use.
void BM_RingTwoThreads(benchmark::State& state) {
  const int piece = static_cast<int>(state.range(0));
  std::vector<uint8_t> src(piece, 0x5A), dst(piece);
  for (auto _ : state) {
    Stream s(64 << 10);
    std::thread producer([&] {
      Write(s.ring, src.data(), kStreamBytes, piece);
      clDoneUpdatingHead(s.ring);
    });
    benchmark::DoNotOptimize(Read(s.ring, dst.data(), kStreamBytes, piece));
    producer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kStreamBytes);
}
BENCHMARK(BM_RingTwoThreads)->Arg(64)->Arg(1024)->Arg(16384)->UseRealTime()->Unit(benchmark::kMillisecond);

// Write a piece, read it back, on one thread: the cost of the calls and the
// wrap-around copies without any waiting.
void BM_RingInterleaved(benchmark::State& state) {
  const int piece = static_cast<int>(state.range(0));
  std::vector<uint8_t> src(piece, 0x33), dst(piece);
  Stream s(3 * piece + 7);  // odd size: pieces straddle the end
  for (auto _ : state) {
    for (int moved = 0; moved < kStreamBytes; moved += piece) {
      Write(s.ring, src.data(), piece, piece);
      benchmark::DoNotOptimize(Read(s.ring, dst.data(), piece, piece));
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kStreamBytes);
}
BENCHMARK(BM_RingInterleaved)->Arg(256)->Arg(4096)->Unit(benchmark::kMillisecond);

// 4-byte big-endian values through clWrite4Bytes, drained by a second thread.
void BM_RingWrite4Bytes(benchmark::State& state) {
  constexpr int kWords = 1 << 20;
  std::vector<uint8_t> dst(4096);
  for (auto _ : state) {
    Stream s(64 << 10);
    std::thread producer([&] {
      for (int i = 0; i < kWords; ++i) clWrite4Bytes(s.ring, 0, nullptr, i);
      clWriteDone(s.ring, -1);
      clDoneUpdatingHead(s.ring);
    });
    benchmark::DoNotOptimize(Read(s.ring, dst.data(), 4 * kWords, 4096));
    producer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 4 * kWords);
}
BENCHMARK(BM_RingWrite4Bytes)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
