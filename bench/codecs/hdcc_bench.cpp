// Encode and decode speed of "HDCC" on natural pictures at 320 x 240 and
// 640 x 480 in RGB332. The encoder is fed two frames in turn, the second the
// first moved two pixels to the right, so every frame has tiles to send;
// "all" sends every changed tile per frame, "limited" at most 300. The
// decoder writes the records of such frames into RGBA words or RGB8 bytes.
// Reports frames per second and the compressed bytes of one frame.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>
#include <cinelark/colorspace.h>

#include <vector>

#include "natural_picture.h"

namespace {

// The natural picture in RGB332, moved right by shift pixels.
std::vector<uint8_t> Frame(int w, int h, int shift) {
  std::vector<uint32_t> words = benchpicture::NaturalPicture(w + shift, h);
  std::vector<uint32_t> moved(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) moved[size_t(y * w + x)] = words[size_t(y * (w + shift) + x + shift)];
  std::vector<uint8_t> frame(moved.size());
  csConvert(w, h, CS_RGBX, moved.data(), CS_RGB332, frame.data());
  return frame;
}

CL_Handle OpenEncoder(int w, int h, int tiles) {
  CL_Handle handle = nullptr;
  clOpenCompressor(CL_HDCC, &handle);
  int pv[] = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, CL_RGB332, CL_COMPRESSED_BUFFER_SIZE,
              tiles * 20};
  clSetParams(handle, pv, tiles > 0 ? 8 : 6);
  return handle;
}

void Encode(benchmark::State& state, int tiles) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint8_t> frames[2] = {Frame(w, h, 0), Frame(w, h, 2)};
  CL_Handle enc = OpenEncoder(w, h, tiles);
  std::vector<uint8_t> data(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
  int size = 0, turn = 0;
  for (auto _ : state) {
    clCompress(enc, 1, frames[turn ^= 1].data(), &size, data.data());
    benchmark::DoNotOptimize(data.data());
  }
  clCloseCompressor(enc);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(size);
}

void Decode(benchmark::State& state, int format) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint8_t> frames[2] = {Frame(w, h, 0), Frame(w, h, 2)};
  CL_Handle enc = OpenEncoder(w, h, 0);
  std::vector<uint8_t> codes[2];
  int sizes[2] = {};
  for (int i = 0; i < 2; ++i) {
    codes[i].resize(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
    clCompress(enc, 1, frames[(i + 1) % 2].data(), &sizes[i], codes[i].data());
  }
  clCloseCompressor(enc);
  CL_Handle dec = nullptr;
  clOpenDecompressor(CL_HDCC, &dec);
  int pv[] = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, format};
  clSetParams(dec, pv, 6);
  std::vector<uint8_t> out(size_t(w) * size_t(h) * (format == CL_RGBA ? 4 : 1));
  int turn = 0;
  for (auto _ : state) {
    turn ^= 1;
    clDecompress(dec, 1, sizes[turn], codes[turn].data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  clCloseDecompressor(dec);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(sizes[1]);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(Encode, all, 0)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, limited, 300)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, rgba, CL_RGBA)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, rgb8, CL_RGB8)->Apply(Sizes);

}  // namespace
