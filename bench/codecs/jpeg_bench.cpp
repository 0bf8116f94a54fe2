// Encode and decode speed of the "JPEG" codec at 320 x 240 and 640 x 480 on
// a natural-looking picture (soft shapes with sensor-like noise), at quality
// 75, both colour paths: through the colour-space converters as native
// movies code it, and full range as QuickTime "jpeg" frames are coded (the
// library converts, straight from or into the caller's RGBX words). Frames
// come bottom row first, as the movie library hands them over. Reports
// frames per second and the bytes of one compressed frame.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

std::vector<uint32_t> NaturalPicture(int w, int h) {
  std::vector<uint32_t> p(size_t(w) * size_t(h));
  uint32_t seed = 2463534242u;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      const double u = double(x) / w, v = double(y) / h;
      const double shade = 0.5 + 0.35 * std::sin(6.0 * u + 2.0 * std::cos(5.0 * v)) * std::cos(4.0 * v);
      const int noise = int(seed % 9) - 4;
      const int r = std::clamp(int(255 * shade * (0.6 + 0.4 * u)) + noise, 0, 255);
      const int g = std::clamp(int(200 * shade + 40 * v) + noise, 0, 255);
      const int b = std::clamp(int(255 * (1 - shade) * (0.5 + 0.5 * v)) + noise, 0, 255);
      p[size_t(y) * size_t(w) + size_t(x)] = uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
    }
  return p;
}

CL_Handle Open(bool compressor, int w, int h, int fullRange) {
  CL_Handle handle = nullptr;
  if (compressor) clOpenCompressor(CL_JPEG, &handle);
  else clOpenDecompressor(CL_JPEG, &handle);
  int pv[] = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, CL_RGBX, CL_ORIENTATION, 1};
  clSetParams(handle, pv, 8);
  JPEGFullRange(handle, fullRange);
  return handle;
}

std::vector<uint8_t> Compressed(CL_Handle enc, std::vector<uint32_t>& picture, int* size) {
  std::vector<uint8_t> data(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
  clCompress(enc, 1, picture.data(), size, data.data());
  return data;
}

void Encode(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint32_t> picture = NaturalPicture(w, h);
  CL_Handle enc = Open(true, w, h, int(state.range(2)));
  int size = 0;
  std::vector<uint8_t> data = Compressed(enc, picture, &size);
  for (auto _ : state) {
    if (clCompress(enc, 1, picture.data(), &size, data.data()) != 0) state.SkipWithError("compress failed");
  }
  clCloseCompressor(enc);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = size;
}

void Decode(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const int fullRange = int(state.range(2));
  std::vector<uint32_t> picture = NaturalPicture(w, h);
  CL_Handle enc = Open(true, w, h, fullRange);
  int size = 0;
  std::vector<uint8_t> data = Compressed(enc, picture, &size);
  clCloseCompressor(enc);
  CL_Handle dec = Open(false, w, h, fullRange);
  for (auto _ : state) {
    if (clDecompress(dec, 1, size, data.data(), picture.data()) != 0) state.SkipWithError("decompress failed");
  }
  clCloseDecompressor(dec);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = size;
}

// Arguments: width, height, full range.
void Sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h", "full"});
  for (int full : {0, 1}) {
    b->Args({320, 240, full});
    b->Args({640, 480, full});
  }
}

BENCHMARK(Encode)->Apply(Sizes);
BENCHMARK(Decode)->Apply(Sizes);

}  // namespace
