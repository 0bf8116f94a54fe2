// Encode and decode speed of "MVC1" at 320 x 240 and 640 x 480, on a natural
// picture: smooth shading (a sky, a lit ground) broken by hard edges (a sun,
// houses with windows, a horizon), 32-bit RGBX words, in the bottom-up row
// order of movie frames ("Orientation" 1, so frames are coded in place) and
// top-down through the conversion area ("Orientation" 0). Each benchmark
// reports frames per second and the compressed bytes of one frame.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

std::vector<uint32_t> Scene(int w, int h) {
  std::vector<uint32_t> p(size_t(w) * size_t(h));
  const int horizon = h * 3 / 5;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int r, g, b;
      if (y < horizon) {  // sky: light towards the horizon
        r = 90 + 110 * y / horizon;
        g = 140 + 80 * y / horizon;
        b = 230 - 20 * y / horizon;
      } else {  // ground: darker towards the viewer, lit from the left
        r = 120 - 60 * (y - horizon) / (h - horizon) + 30 * (w - x) / w;
        g = 160 - 70 * (y - horizon) / (h - horizon) + 20 * (w - x) / w;
        b = 60;
      }
      const int dx = x - w * 4 / 5, dy = y - h / 5, sun = h / 10;
      if (dx * dx + dy * dy < sun * sun) r = 255, g = 230, b = 120;
      for (int house = 0; house < 4; ++house) {
        const int left = w / 10 + house * w / 5, right = left + w / 7, top = horizon - h / 6 - house * h / 40;
        if (x >= left && x < right && y >= top && y < horizon + h / 20) {
          r = 170 - 25 * house + (x - left) * 30 / (right - left);
          g = 120 - 10 * house;
          b = 90 + 20 * house;
          if ((x - left) % 12 > 4 && (x - left) % 12 < 10 && (y - top) % 16 > 4 && (y - top) % 16 < 11) {
            r = 250, g = 240, b = 170;  // a lit window
          }
        }
      }
      p[size_t(y) * size_t(w) + size_t(x)] = uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
    }
  }
  return p;
}

CL_Handle Open(bool compressor, int w, int h, int orientation) {
  CL_Handle handle = nullptr;
  if (compressor) clOpenCompressor(CL_MVC1, &handle);
  else clOpenDecompressor(CL_MVC1, &handle);
  int pv[] = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, CL_RGBX, CL_ORIENTATION, orientation};
  clSetParams(handle, pv, 8);
  return handle;
}

void Report(benchmark::State& state, int bytes) {
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(bytes);
}

void Encode(benchmark::State& state, int orientation) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint32_t> frame = Scene(w, h);
  CL_Handle enc = Open(true, w, h, orientation);
  std::vector<uint8_t> data(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
  int size = 0;
  clCompress(enc, 1, frame.data(), &size, data.data());  // the header goes out first
  for (auto _ : state) {
    clCompress(enc, 1, frame.data(), &size, data.data());
    benchmark::DoNotOptimize(data.data());
  }
  clCloseCompressor(enc);
  Report(state, size);
}

void Decode(benchmark::State& state, int orientation) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint32_t> frame = Scene(w, h);
  CL_Handle enc = Open(true, w, h, orientation);
  std::vector<uint8_t> first(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE))), codes(first.size());
  int firstSize = 0, size = 0;
  clCompress(enc, 1, frame.data(), &firstSize, first.data());
  clCompress(enc, 1, frame.data(), &size, codes.data());
  clCloseCompressor(enc);

  CL_Handle dec = Open(false, w, h, orientation);
  clDecompress(dec, 1, firstSize, first.data(), frame.data());  // takes the header
  for (auto _ : state) {
    clDecompress(dec, 1, size, codes.data(), frame.data());
    benchmark::DoNotOptimize(frame.data());
  }
  clCloseDecompressor(dec);
  Report(state, size);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(Encode, MVC1_bottom_up, 1)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, MVC1_bottom_up, 1)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, MVC1_top_down, 0)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, MVC1_top_down, 0)->Apply(Sizes);

}  // namespace
