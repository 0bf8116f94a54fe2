// Encode and decode speed of "RTR" on natural pictures at 320 x 240 and
// 640 x 480, at quality levels 1 (finest) and 4: frames in the codec's own
// YUV422 layout (no conversion), and RGBX frames converted on the way.
// Reports frames per second and the compressed bytes of one frame.
#include <benchmark/benchmark.h>
#include <cinelark/cl.h>
#include <cinelark/colorspace.h>

#include <vector>

#include "natural_picture.h"

namespace {

std::vector<uint8_t> Frame(int format, int w, int h) {
  const std::vector<uint32_t> words = benchpicture::NaturalPicture(w, h);
  std::vector<uint8_t> frame(size_t(w) * size_t(h) * (format == CL_YUV422 ? 2 : 4));
  csConvert(w, h, CS_RGBX, words.data(), format, frame.data());
  return frame;
}

CL_Handle Open(bool compressor, int format, int quality, int w, int h) {
  CL_Handle handle = nullptr;
  if (compressor) clOpenCompressor(CL_RTR, &handle);
  else clOpenDecompressor(CL_RTR, &handle);
  int pv[] = {CL_IMAGE_WIDTH, w, CL_IMAGE_HEIGHT, h, CL_ORIGINAL_FORMAT, format, CL_ALGORITHM_PARAMS, quality};
  clSetParams(handle, pv, 8);
  return handle;
}

void Encode(benchmark::State& state, int format, int quality) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const std::vector<uint8_t> frame = Frame(format, w, h);
  CL_Handle enc = Open(true, format, quality, w, h);
  std::vector<uint8_t> data(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE)));
  int size = 0;
  clCompress(enc, 1, const_cast<uint8_t*>(frame.data()), &size, data.data());  // the header goes out first
  for (auto _ : state) {
    clCompress(enc, 1, const_cast<uint8_t*>(frame.data()), &size, data.data());
    benchmark::DoNotOptimize(data.data());
  }
  clCloseCompressor(enc);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(size);
}

void Decode(benchmark::State& state, int format, int quality) {
  const int w = int(state.range(0)), h = int(state.range(1));
  std::vector<uint8_t> frame = Frame(format, w, h);
  CL_Handle enc = Open(true, format, quality, w, h);
  std::vector<uint8_t> first(size_t(clGetParam(enc, CL_COMPRESSED_BUFFER_SIZE))), codes(first.size());
  int firstSize = 0, size = 0;
  clCompress(enc, 1, frame.data(), &firstSize, first.data());
  clCompress(enc, 1, frame.data(), &size, codes.data());
  clCloseCompressor(enc);
  CL_Handle dec = Open(false, format, quality, w, h);
  clDecompress(dec, 1, firstSize, first.data(), frame.data());  // takes the header
  for (auto _ : state) {
    clDecompress(dec, 1, size, codes.data(), frame.data());
    benchmark::DoNotOptimize(frame.data());
  }
  clCloseDecompressor(dec);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(size);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
}

BENCHMARK_CAPTURE(Encode, yuv422_q1, CL_YUV422, 1)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, yuv422_q1, CL_YUV422, 1)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, yuv422_q4, CL_YUV422, 4)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, yuv422_q4, CL_YUV422, 4)->Apply(Sizes);
BENCHMARK_CAPTURE(Encode, rgbx_q1, CL_RGBX, 1)->Apply(Sizes);
BENCHMARK_CAPTURE(Decode, rgbx_q1, CL_RGBX, 1)->Apply(Sizes);

}  // namespace
